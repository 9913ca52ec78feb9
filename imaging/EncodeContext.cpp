#include "imaging/EncodeContext.h"

#include "imaging/jpeg.h"

#include <QRect>
#include <cmath>

namespace imaging {

namespace {

// Throttle of the running progress reports.
constexpr std::uint32_t kProgressIntervalMs = 500;

jpeg_error_mgr ErrorManagerTemplate() {
    jpeg_error_mgr manager{};
    manager.error_exit = RaiseJpegError;
    manager.emit_message = IgnoreJpegMessage;
    manager.output_message = IgnoreJpegOutput;
    manager.format_message = IgnoreJpegFormat;
    manager.reset_error_mgr = ResetJpegErrors;
    return manager;
}

} // namespace

EncodeContext::EncodeContext() : Error(ErrorManagerTemplate()), Progress{}, Cinfo{} {
    Cinfo.err = &Error;
    Cinfo.client_data = this;
    try {
        Call([this] {
            jpeg_CreateCompress(&Cinfo, JPEG_LIB_VERSION, sizeof(jpeg_compress_struct));
        });
    } catch (...) {
        // No destructor runs for a constructor that fails; the library has
        // allocated nothing at this point, but release on principle.
        ReleaseEncodeContext();
        throw;
    }
}

void EncodeContext::AttachProgress(TJPEGImage* Owner) {
    Progress.pub.progress_monitor = ReportJpegProgress;
    Progress.Owner = Owner;
    Cinfo.progress = &Progress.pub;
}

void EncodeContext::ReleaseEncodeContext() {
    if (Cinfo.err) {
        jpeg_destroy(reinterpret_cast<j_common_ptr>(&Cinfo));
        Cinfo.err = nullptr;
    }
}

// setjmp must sit in a frame that stays alive while the library runs, and
// that frame must not be inlined into code with live locals: keep it apart.
[[gnu::noinline]] void EncodeContext::CallGuarded(void (*Run)(void*), void* Callable) {
    if (setjmp(jump_) == 0) {
        Run(Callable);
        return;
    }
    RaiseKept();
}

void EncodeContext::Bail() noexcept {
    std::longjmp(jump_, 1);
}

void EncodeContext::RaiseKept() {
    if (pending_) {
        std::exception_ptr failure = pending_;
        pending_ = nullptr;
        std::rethrow_exception(failure);
    }
    throw EJPEG(Error.msg_code);
}

void RaiseJpegError(j_common_ptr Info) {
    EncodeContext::Of(Info).Bail();
}

void IgnoreJpegMessage(j_common_ptr, int) {}
void IgnoreJpegOutput(j_common_ptr) {}
void IgnoreJpegFormat(j_common_ptr, char*) {}

void ResetJpegErrors(j_common_ptr Info) {
    Info->err->num_warnings = 0;
    Info->err->msg_code = 0;
}

int ProgressPercent(long PassCounter, long PassLimit, int CompletedPasses, int TotalPasses) {
    if (PassLimit <= 0 || TotalPasses <= 0)
        return -1;
    const double percent = (double(PassCounter) / double(PassLimit) + double(CompletedPasses)) *
                           100.0 / double(TotalPasses);
    if (!(percent >= 0.0))
        return 0;
    return percent >= 100.0 ? 100 : int(percent);
}

void ReportJpegProgress(j_common_ptr Info) {
    auto* record = reinterpret_cast<JpegProgressRecord*>(Info->progress);
    if (!record || !record->Owner)
        return;
    EncodeContext& context = EncodeContext::Of(Info);
    try {
        const std::uint32_t now = record->Owner->TickCount();
        if (std::uint32_t(now - record->LastTime) < kProgressIntervalMs)
            return;
        const std::uint32_t previous = record->LastTime;
        record->LastTime = now;
        if (previous == 0)
            return;          // the first call only starts the clock
        const QRect changed; // compression has no output rows to show
        const int percent = ProgressPercent(record->pub.pass_counter, record->pub.pass_limit,
                                            record->pub.completed_passes, record->pub.total_passes);
        if (percent < 0 || percent == record->LastPercent)
            return;
        record->LastPercent = percent;
        record->Owner->Progress(framework::psRunning, std::uint8_t(percent), changed.height() >= 4,
                                changed, QString());
    } catch (...) {
        context.KeepCurrentException();
    }
    if (context.HasKeptException())
        context.Bail();
}

} // namespace imaging
