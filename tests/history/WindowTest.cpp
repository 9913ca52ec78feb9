#include "HistoryTestSupport.h"

#include "history/Window.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace history;
using namespace historytest;

namespace {

// Opens a log as the user does and waits for the reading thread to hand it over.
bool Open(THistoryWindow& window, const QString& path) {
    QSignalSpy opened(&window, &THistoryWindow::LogOpened);
    window.OpenLog(path);
    return opened.wait(5000) && opened.last().at(0).toBool();
}

class HistoryWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 240; ++i)
            live.Measurement(kStart + i * kPoll, Block(static_cast<std::uint8_t>(40 + i % 20)),
                             {QStringLiteral("A"), {}});
        window = std::make_unique<THistoryWindow>(&live);
        window->show();
    }
    THistoryStore live;
    std::unique_ptr<THistoryWindow> window;
};

} // namespace

TEST_F(HistoryWindowTest, FollowsTheLatestAndStopsWhenMovedBack) {
    THistoryChart* chart = window->Chart;
    EXPECT_TRUE(window->FollowBox->isChecked());
    chart->Refresh();
    EXPECT_GT(chart->View().To, live.At(live.Size() - 1).Time);
    live.Measurement(kStart + 10'000'000, Block(1), {QStringLiteral("A"), {}});
    window->LiveChanged();
    EXPECT_GT(chart->View().To, kStart + 10'000'000);

    chart->setFocus();
    QTest::keyClick(chart, Qt::Key_Left);
    EXPECT_FALSE(window->FollowBox->isChecked());
    const qint64 to = chart->View().To;
    live.Measurement(kStart + 20'000'000, Block(1), {QStringLiteral("A"), {}});
    window->LiveChanged();
    EXPECT_EQ(chart->View().To, to);
    QTest::keyClick(chart, Qt::Key_End);
    EXPECT_TRUE(window->FollowBox->isChecked());
    EXPECT_GT(chart->View().To, kStart + 20'000'000);
}

TEST_F(HistoryWindowTest, TheLivePointCountGrowsWithEachPoll) {
    EXPECT_EQ(window->Status->text(), QStringLiteral("Текущие измерения, точек: 240"));
    live.Measurement(kStart + 240 * kPoll, Block(1), {QStringLiteral("A"), {}});
    window->LiveChanged();
    EXPECT_EQ(window->Status->text(), QStringLiteral("Текущие измерения, точек: 241"));
}

TEST_F(HistoryWindowTest, KeysZoomAndPan) {
    THistoryChart* chart = window->Chart;
    chart->SetFollow(false);
    chart->SetRange(kStart, kStart + 120'000);
    QTest::keyClick(chart, Qt::Key_Plus);
    EXPECT_EQ(chart->View().To - chart->View().From, 60'000);
    QTest::keyClick(chart, Qt::Key_Minus);
    QTest::keyClick(chart, Qt::Key_Minus);
    EXPECT_EQ(chart->View().To - chart->View().From, 240'000);
    const qint64 from = chart->View().From;
    QTest::keyClick(chart, Qt::Key_Right);
    EXPECT_EQ(chart->View().From, from + 24'000);
    // Never narrower than ten seconds.
    for (int i = 0; i < 20; ++i)
        QTest::keyClick(chart, Qt::Key_Plus);
    EXPECT_EQ(chart->View().To - chart->View().From, THistoryChart::kShortestSpan);
}

TEST_F(HistoryWindowTest, LegendBoxesHideSeriesAndTheDescriptionTellsTheRange) {
    window->SeriesBoxes[2]->click();
    EXPECT_FALSE(window->Chart->SeriesVisible(2));
    window->Chart->SetFollow(false);
    window->Chart->SetRange(kStart, kStart + 240 * kPoll);
    EXPECT_FALSE(window->Chart->accessibleName().isEmpty());
    const QString description = window->Chart->RangeDescription();
    // OS1 min runs over counts 40 to 59 at scale 64.
    EXPECT_TRUE(description.contains(QStringLiteral("0.69"))) << description.toStdString();
    EXPECT_TRUE(description.contains(QStringLiteral("1.01"))) << description.toStdString();
}

TEST_F(HistoryWindowTest, ALogOfSeveralUnitsOffersTheChoice) {
    ASSERT_TRUE(Open(*window, Data("units.jsonl")));
    EXPECT_FALSE(window->ShowingLive());
    EXPECT_FALSE(window->FollowBox->isChecked());
    ASSERT_EQ(window->UnitBox->count(), 2);
    EXPECT_TRUE(window->UnitBox->isVisible());
    EXPECT_EQ(window->Chart->Store()->Size(), 4u);
    window->UnitBox->setCurrentIndex(1);
    EXPECT_EQ(window->Chart->Store()->Size(), 2u);
    window->LiveButton->click();
    EXPECT_TRUE(window->ShowingLive());
    EXPECT_EQ(window->Chart->Store(), &live);
    EXPECT_FALSE(window->UnitBox->isVisible());
}

TEST_F(HistoryWindowTest, AFileThatIsNoLogLeavesTheChartAndSaysWhy) {
    EXPECT_FALSE(Open(*window, Data("notalog.txt")));
    EXPECT_TRUE(window->ShowingLive());
    EXPECT_TRUE(window->Status->text().contains(QStringLiteral("notalog.txt")));
    EXPECT_EQ(window->Chart->Store(), &live);
}

TEST_F(HistoryWindowTest, TheOpenButtonAsksForAFile) {
    window->AskPath = [](bool save, const QString&) {
        return save ? QString() : Data("current.csv");
    };
    QSignalSpy opened(window.get(), &THistoryWindow::LogOpened);
    QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
    window->OpenButton->click(); // one log at a time: a second press while it opens does nothing
    ASSERT_TRUE(opened.wait(5000));
    EXPECT_TRUE(opened.last().at(0).toBool());
    EXPECT_FALSE(window->ShowingLive());
    EXPECT_EQ(window->Chart->Store()->Size(), 5u);
}

TEST_F(HistoryWindowTest, PngExportIsTheChart) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("chart.png"));
    ASSERT_TRUE(window->ExportPng(path));
    const QImage image(path);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), window->Chart->size() * window->Chart->devicePixelRatioF());
    // The first series is drawn in its colour somewhere.
    bool found = false;
    for (int y = 0; y < image.height() && !found; ++y)
        for (int x = 0; x < image.width() && !found; ++x)
            found = image.pixel(x, y) == SeriesInfo(0).Colour.rgb();
    EXPECT_TRUE(found);
}

// The reading runs on a thread of its own: the window goes on with the live chart meanwhile, shows
// the progress and a cancel, takes one log at a time, and a cancelled log never shows.
TEST_F(HistoryWindowTest, OpeningALogIsAJobThatCanBeCancelled) {
    window->OpenLog(Data("current.csv"));
    EXPECT_TRUE(window->Opening());
    EXPECT_EQ(window->Chart->Store(), &live);
    EXPECT_TRUE(window->Progress->isVisible());
    EXPECT_TRUE(window->CancelButton->isVisible());
    EXPECT_FALSE(window->OpenButton->isEnabled());
    QSignalSpy opened(window.get(), &THistoryWindow::LogOpened);
    window->CancelButton->click();
    EXPECT_FALSE(window->Opening());
    ASSERT_EQ(opened.size(), 1);
    EXPECT_FALSE(opened.at(0).at(0).toBool());
    EXPECT_FALSE(window->Progress->isVisible());
    EXPECT_TRUE(window->OpenButton->isEnabled());
    QCoreApplication::processEvents();
    EXPECT_TRUE(window->ShowingLive());
    EXPECT_EQ(window->Chart->Store(), &live);

    // Closing the window gives up a log being opened too.
    window->OpenLog(Data("current.csv"));
    window->close();
    EXPECT_FALSE(window->Opening());
    QCoreApplication::processEvents();
    EXPECT_TRUE(window->ShowingLive());
}

TEST_F(HistoryWindowTest, OnlyARegularFileIsOpened) {
    QTemporaryDir folder;
    EXPECT_FALSE(Open(*window, folder.path()));
    EXPECT_TRUE(window->Status->text().contains(QStringLiteral("папка")))
        << window->Status->text().toStdString();
#ifdef Q_OS_UNIX
    // Neither waited on (a FIFO with no writer) nor read without end (a device).
    const QString fifo = folder.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_FALSE(Open(*window, fifo));
    EXPECT_TRUE(window->Status->text().contains(QStringLiteral("канал")))
        << window->Status->text().toStdString();
    EXPECT_FALSE(Open(*window, QStringLiteral("/dev/zero")));
    EXPECT_TRUE(window->Status->text().contains(QStringLiteral("устройство")));
#endif
    EXPECT_TRUE(window->ShowingLive());
    EXPECT_EQ(window->Chart->Store(), &live);
}

// A fresh window shows the little there is across the chart, not squashed into the right edge of
// ten minutes; once the data is longer than the span, the span follows the latest.
TEST(HistoryChartFit, TheViewFitsTheDataUntilItIsLongerThanTheSpan) {
    THistoryStore store;
    for (int i = 0; i < 12; ++i)
        store.Measurement(kStart + i * kPoll, Block(40), {QStringLiteral("A"), {}});
    THistoryWindow window(&store);
    window.show();
    THistoryChart* chart = window.Chart;
    chart->Refresh();
    const qint64 last = kStart + 11 * kPoll;
    EXPECT_LE(chart->View().From, kStart);
    EXPECT_GT(chart->View().To, last);
    // The 5.5 s of data take most of the shortest span, 10 s.
    EXPECT_EQ(chart->View().To - chart->View().From, THistoryChart::kShortestSpan);

    // Two minutes: all of them, and little more.
    for (int i = 12; i < 240; ++i)
        store.Measurement(kStart + i * kPoll, Block(40), {QStringLiteral("A"), {}});
    window.LiveChanged();
    EXPECT_LE(chart->View().From, kStart);
    EXPECT_LT(chart->View().To - chart->View().From, 130'000);

    // Longer than the ten minutes shown by default: the ten minutes up to the latest.
    for (int i = 240; i < 2000; ++i)
        store.Measurement(kStart + i * kPoll, Block(40), {QStringLiteral("A"), {}});
    window.LiveChanged();
    const qint64 latest = kStart + 1999 * kPoll;
    EXPECT_GT(chart->View().To, latest);
    EXPECT_NEAR(static_cast<double>(chart->View().To - chart->View().From), 600'000.0, 1000.0);
    EXPECT_GT(chart->View().From, kStart);
}

#ifdef Q_OS_UNIX
// An export replaces the file in one step: a second name of the old file (a reader holding it)
// keeps the old bytes whole, and the new file is whole too. A file written in place would be cut
// short by a full disk.
TEST_F(HistoryWindowTest, ExportsReplaceTheFileWhole) {
    QTemporaryDir folder;
    for (const char* name : {"chart.png", "range.csv"}) {
        const QString path = folder.filePath(QLatin1String(name));
        const QString reader = path + QStringLiteral(".reader");
        {
            QFile old(path);
            ASSERT_TRUE(old.open(QIODevice::WriteOnly));
            old.write("old");
        }
        ASSERT_EQ(
            ::link(QFile::encodeName(path).constData(), QFile::encodeName(reader).constData()), 0);
        const bool saved = QString::fromLatin1(name).endsWith(QStringLiteral(".png"))
                               ? window->ExportPng(path)
                               : window->ExportCsv(path);
        ASSERT_TRUE(saved) << name;
        QFile kept(reader);
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll(), QByteArray("old")) << name;
        QFile written(path);
        ASSERT_TRUE(written.open(QIODevice::ReadOnly));
        EXPECT_GT(written.size(), 100) << name;
    }
    // Into a folder that is not there: nothing written, and the status says so.
    EXPECT_FALSE(window->ExportPng(folder.filePath(QStringLiteral("none/chart.png"))));
    EXPECT_TRUE(window->Status->text().contains(QStringLiteral("none/chart.png")));
}
#endif
