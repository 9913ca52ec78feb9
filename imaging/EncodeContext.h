#pragma once
// The state of one compression: the library's error manager, the progress
// record and the compression object, plus what it takes to carry failures
// back into C++.
//
// The library is C and may be built without unwind tables, so no C++
// exception may pass through it. Library calls therefore go through Call():
// an error the library reports (its error_exit) jumps back there with
// longjmp, and an exception raised in one of our callbacks (progress handler,
// stream destination) is caught in the callback, kept, and carried back the
// same way. Call() then raises it as an ordinary C++ exception. The frames
// jumped over hold nothing that needs destroying.

#include <csetjmp>
#include <cstdint>
#include <cstdio> // jpeglib.h needs FILE and size_t
#include <exception>
#include <jpeglib.h>
#include <type_traits>

namespace imaging {

class TJPEGImage;

struct JpegProgressRecord {
    jpeg_progress_mgr pub; // first, so the library's pointer is ours too
    TJPEGImage* Owner;
    std::int32_t LastPercent;
    std::uint32_t LastTime;
    std::int32_t LastScanLine; // reading only
};

class EncodeContext {
public:
    // Creates the compression object. A library of another version or
    // structure size raises EJPEG; there is nothing to release then.
    EncodeContext();
    ~EncodeContext() { ReleaseEncodeContext(); }
    EncodeContext(const EncodeContext&) = delete;
    EncodeContext& operator=(const EncodeContext&) = delete;

    // Attaches the progress record; Owner receives the reports.
    void AttachProgress(TJPEGImage* Owner);

    // Runs library calls; a library error comes out as EJPEG, an exception
    // from a callback as itself. The callable must own no objects with
    // destructors: a failure leaves it by longjmp.
    template <typename F> void Call(F&& LibraryCalls) {
        using Callable = std::remove_reference_t<F>;
        CallGuarded([](void* callable) { (*static_cast<Callable*>(callable))(); },
                    const_cast<void*>(static_cast<const void*>(&LibraryCalls)));
    }

    // Destroys the library object once; later calls do nothing.
    void ReleaseEncodeContext();

    j_compress_ptr Compress() { return &Cinfo; }
    static EncodeContext& Of(j_common_ptr Info) {
        return *static_cast<EncodeContext*>(Info->client_data);
    }

    // For callbacks: keeps the exception in flight (call inside a catch
    // block), to be raised again when control is back in Call().
    void KeepCurrentException() noexcept { pending_ = std::current_exception(); }
    void KeepException(std::exception_ptr Failure) noexcept { pending_ = std::move(Failure); }
    bool HasKeptException() const noexcept { return static_cast<bool>(pending_); }
    // Leaves the library for Call(). Call outside any try block, with no
    // objects with destructors alive in the calling frame.
    [[noreturn]] void Bail() noexcept;

    jpeg_error_mgr Error;
    JpegProgressRecord Progress;
    jpeg_compress_struct Cinfo;

private:
    void CallGuarded(void (*Run)(void*), void* Callable);
    [[noreturn]] void RaiseKept();

    std::jmp_buf jump_;
    std::exception_ptr pending_;
};

// The error manager's entries, and the progress monitor.
void RaiseJpegError(j_common_ptr Info);
void IgnoreJpegMessage(j_common_ptr Info, int Level);
void IgnoreJpegOutput(j_common_ptr Info);
void IgnoreJpegFormat(j_common_ptr Info, char* Buffer);
void ResetJpegErrors(j_common_ptr Info);
void ReportJpegProgress(j_common_ptr Info);

// The progress percentage of the library's pass counters, 0..100; none (-1)
// when the counters make no sense.
int ProgressPercent(long PassCounter, long PassLimit, int CompletedPasses, int TotalPasses);

} // namespace imaging
