// Progress reports, cancelling through them, and failures raised inside the
// library's callbacks.
#include "JpegDecoder.h"
#include "ProgressLog.h"
#include "imaging/EncodeContext.h"
#include "imaging/StreamDestination.h"
#include "imaging/jpeg.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <jerror.h>
#include <new>

using framework::TBitmap;
using imaging::TJPEGImage;
using namespace testing_jpeg;

namespace {

// Drives the progress monitor by hand: the pass counters as the library
// would set them, the clock as the test wants it.
struct MonitorBench {
    TJPEGImage owner;
    ProgressLog log;
    imaging::EncodeContext context;
    std::uint32_t now = 0;

    MonitorBench() {
        log.Attach(owner);
        owner.SetTickSource([this] { return now; });
        context.AttachProgress(&owner);
    }
    void Report(std::uint32_t at, long counter, long limit, int completed = 0, int total = 1) {
        now = at;
        jpeg_progress_mgr& progress = context.Progress.pub;
        progress.pass_counter = counter;
        progress.pass_limit = limit;
        progress.completed_passes = completed;
        progress.total_passes = total;
        imaging::ReportJpegProgress(reinterpret_cast<j_common_ptr>(context.Compress()));
    }
    std::vector<int> Percents() const {
        std::vector<int> seen;
        for (const auto& e : log.entries)
            seen.push_back(e.percent);
        return seen;
    }
};

} // namespace

TEST(JpegProgress, RunningReportsComeAtMostEvery500MsAndOnlyOnChange) {
    MonitorBench bench;
    bench.Report(10000, 10, 100); // the first call starts the clock
    bench.Report(10499, 20, 100); // too soon
    bench.Report(10500, 30, 100);
    bench.Report(10700, 40, 100); // too soon
    bench.Report(11000, 30, 100); // no change, but the clock moves on
    bench.Report(11400, 60, 100); // too soon after 11000
    bench.Report(11500, 60, 100);
    bench.Report(12000, 999, 1000); // 99.9 counts as 99
    EXPECT_EQ(bench.Percents(), (std::vector<int>{30, 60, 99}));
    for (const auto& e : bench.log.entries) {
        EXPECT_EQ(e.stage, framework::psRunning);
        EXPECT_FALSE(e.redrawNow);
        EXPECT_TRUE(e.rect.isEmpty());
        EXPECT_EQ(e.rect.topLeft(), QPoint(0, 0));
        EXPECT_TRUE(e.message.isEmpty());
    }
}

TEST(JpegProgress, PercentagesSpanAllPassesAndSurviveOddCounters) {
    MonitorBench bench;
    bench.Report(1000, 0, 10, 0, 2);
    bench.Report(2000, 5, 10, 0, 2);  // half of the first of two passes
    bench.Report(3000, 5, 10, 1, 2);  // half of the second
    bench.Report(4000, 1, 3, 2, 3);   // a third of the last of three
    bench.Report(5000, 7, 0, 0, 1);   // no limit: nothing to say
    bench.Report(6000, 7, 10, 0, 0);  // no passes: nothing to say
    bench.Report(7000, 50, 10, 0, 1); // past the limit: at most 100
    EXPECT_EQ(bench.Percents(), (std::vector<int>{25, 75, 77, 100}));
}

TEST(JpegProgress, TheTickCounterMayWrapAround) {
    MonitorBench bench;
    bench.Report(0xFFFFFF00u, 1, 10);
    bench.Report(0x00000100u, 5, 10); // 512 ms later
    EXPECT_EQ(bench.Percents(), (std::vector<int>{50}));
}

TEST(JpegProgress, ACompressionReportsStartAndEnd) {
    TBitmap bitmap(64, 48);
    TJPEGImage image;
    ProgressLog log;
    log.Attach(image);
    image.AssignFrom(bitmap);
    Save(image);
    ASSERT_EQ(log.entries.size(), 2u);
    EXPECT_EQ(log.entries[0].stage, framework::psStarting);
    EXPECT_EQ(log.entries[0].percent, 0);
    EXPECT_EQ(log.entries[1].stage, framework::psEnding);
    EXPECT_EQ(log.entries[1].percent, 100);
    for (const auto& e : log.entries) {
        EXPECT_FALSE(e.redrawNow);
        EXPECT_TRUE(e.rect.isEmpty());
        EXPECT_TRUE(e.message.isEmpty());
    }
}

TEST(JpegProgress, ASlowProgressiveCompressionReportsRunningPercentages) {
    TBitmap bitmap(64, 160);
    TJPEGImage image;
    ProgressLog log;
    log.Attach(image);
    SteppingClock clock{100000, 600};
    image.SetTickSource([&clock] { return clock(); });
    image.ProgressiveSave = true;
    image.AssignFrom(bitmap);
    Save(image);
    ASSERT_GE(log.entries.size(), 4u);
    EXPECT_EQ(log.entries.front().stage, framework::psStarting);
    EXPECT_EQ(log.entries.back().stage, framework::psEnding);
    EXPECT_EQ(log.entries.back().percent, 100);
    int last = 0;
    for (size_t i = 1; i + 1 < log.entries.size(); ++i) {
        EXPECT_EQ(log.entries[i].stage, framework::psRunning);
        EXPECT_GT(log.entries[i].percent, last);
        EXPECT_LE(log.entries[i].percent, 100);
        last = log.entries[i].percent;
    }

    // The same work with a clock five times faster reports far less often.
    TJPEGImage fast;
    ProgressLog fastLog;
    fastLog.Attach(fast);
    SteppingClock fastClock{100000, 100};
    fast.SetTickSource([&fastClock] { return fastClock(); });
    fast.ProgressiveSave = true;
    fast.AssignFrom(bitmap);
    Save(fast);
    EXPECT_EQ(fastClock.readings, clock.readings);
    EXPECT_LE(fastLog.Count(framework::psRunning), fastClock.readings / 5);
    EXPECT_LT(fastLog.Count(framework::psRunning), log.Count(framework::psRunning));
}

TEST(JpegProgress, AbortFromAHandlerThrowsThePartialStreamAwaySilently) {
    for (framework::TProgressStage at :
         {framework::psStarting, framework::psRunning, framework::psEnding}) {
        TBitmap bitmap(64, 160);
        TJPEGImage image;
        ProgressLog log;
        log.Attach(image);
        log.reaction = [at](const ProgressEntry& e) {
            if (e.stage == at)
                throw framework::EAbort();
        };
        SteppingClock clock{100000, 600};
        image.SetTickSource([&clock] { return clock(); });
        image.ProgressiveSave = true;
        image.AssignFrom(bitmap);
        const imaging::TJPEGData* before = &image.JpegData();
        QByteArray written;
        ASSERT_NO_THROW(written = Save(image)) << at;
        EXPECT_TRUE(written.isEmpty());
        EXPECT_FALSE(image.JpegData().Bytes);
        EXPECT_NE(&image.JpegData(), before); // a fresh shared data
        EXPECT_EQ(log.Count(framework::psEnding), at == framework::psStarting ? 0 : 1);

        // Without the handler the same image compresses in full.
        log.reaction = nullptr;
        EXPECT_TRUE(Decode(Save(image)).ok);
    }
}

TEST(JpegProgress, OtherHandlerErrorsPassOnAfterTheCleanUps) {
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("shot.jpg"));
    TBitmap bitmap(64, 160);
    TJPEGImage image;
    ProgressLog log;
    log.Attach(image);
    log.reaction = [](const ProgressEntry& e) {
        if (e.stage == framework::psRunning)
            throw framework::Exception(QStringLiteral("stopped"));
    };
    SteppingClock clock{100000, 600};
    image.SetTickSource([&clock] { return clock(); });
    image.ProgressiveSave = true;
    image.AssignFrom(bitmap);
    try {
        image.SaveJpegFile(name);
        ADD_FAILURE() << "saved";
    } catch (const imaging::EJPEG&) {
        ADD_FAILURE() << "the handler's error became a library error";
    } catch (const framework::Exception& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("stopped"));
    }
    EXPECT_EQ(QFile(name).size(), 0);
    ASSERT_FALSE(log.entries.empty());
    EXPECT_EQ(log.entries.back().stage, framework::psEnding);
    EXPECT_EQ(log.entries.back().percent, 0);

    log.reaction = nullptr;
    image.SaveJpegFile(name);
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(Decode(file.readAll()).ok);
}

namespace {

// A target that fails in one of three ways, or takes everything and
// remembers the size of every write.
class TestDevice : public QIODevice {
public:
    enum Mode { Records, Short, Throws, NoMemory };
    explicit TestDevice(Mode mode) : mode_(mode) { open(QIODevice::WriteOnly); }
    std::vector<qint64> writes;

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 length) override {
        writes.push_back(length);
        if (mode_ == Throws)
            throw framework::EStreamError(QStringLiteral("device gone"));
        if (mode_ == NoMemory)
            throw std::bad_alloc();
        return mode_ == Short ? length - 1 : length;
    }

private:
    Mode mode_;
};

// Compresses a 128 x 128 noise picture into target through a bare context;
// noise compresses badly, so the output spans several buffers.
void CompressInto(QIODevice& target) {
    constexpr int kSide = 128;
    std::vector<JSAMPLE> pixels(kSide * kSide * 3);
    std::uint32_t seed = 12345;
    for (auto& sample : pixels) {
        seed = seed * 1103515245u + 12345u;
        sample = JSAMPLE(seed >> 24);
    }
    std::vector<JSAMPROW> rows;
    for (int y = 0; y < kSide; ++y)
        rows.push_back(pixels.data() + y * kSide * 3);
    imaging::EncodeContext context;
    j_compress_ptr info = context.Compress();
    context.Call([&] { imaging::AttachStreamDestination(info, &target); });
    info->image_width = kSide;
    info->image_height = kSide;
    info->input_components = 3;
    info->in_color_space = JCS_EXT_BGR;
    JSAMPARRAY offer = rows.data();
    context.Call([info, offer] {
        jpeg_set_defaults(info);
        jpeg_start_compress(info, TRUE);
        jpeg_write_scanlines(info, offer, kSide);
        jpeg_finish_compress(info);
    });
}

} // namespace

TEST(JpegDestination, WritesInPiecesOf4096BytesAndReportsShortWrites) {
    TestDevice recorder(TestDevice::Records);
    CompressInto(recorder);
    ASSERT_GE(recorder.writes.size(), 3u);
    for (size_t i = 0; i + 1 < recorder.writes.size(); ++i)
        EXPECT_EQ(recorder.writes[i], imaging::kStreamBufferSize);
    EXPECT_GT(recorder.writes.back(), 0);
    EXPECT_LE(recorder.writes.back(), imaging::kStreamBufferSize);

    TestDevice shortWrites(TestDevice::Short);
    try {
        CompressInto(shortWrites);
        ADD_FAILURE() << "compressed";
    } catch (const imaging::EJPEG& e) {
        EXPECT_EQ(e.Code(), JERR_FILE_WRITE);
    }
    EXPECT_EQ(shortWrites.writes.size(), 1u); // the first short write stops it
}

TEST(JpegDestination, DeviceErrorsComeBackAsThemselves) {
    TestDevice throws(TestDevice::Throws);
    try {
        CompressInto(throws);
        ADD_FAILURE() << "compressed";
    } catch (const framework::EStreamError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("device gone"));
    }
    TestDevice full(TestDevice::NoMemory);
    try {
        CompressInto(full);
        ADD_FAILURE() << "compressed";
    } catch (const framework::EStreamError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Out of memory while expanding memory stream"));
    }
}

TEST(JpegDestination, LibraryCallsOutOfOrderAreLibraryErrors) {
    imaging::EncodeContext context;
    j_compress_ptr info = context.Compress();
    try {
        context.Call([&] { jpeg_finish_compress(info); });
        ADD_FAILURE() << "accepted";
    } catch (const imaging::EJPEG& e) {
        EXPECT_EQ(e.Code(), JERR_BAD_STATE);
    }
    context.ReleaseEncodeContext();
    context.ReleaseEncodeContext(); // a second release does nothing
    EXPECT_EQ(info->err, nullptr);
}
