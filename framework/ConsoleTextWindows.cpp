#include "framework/ConsoleText.h"

#include <cstdio>
#include <iostream>
#include <streambuf>

#include <windows.h>

namespace framework {

namespace {

// Every write goes to the console at once: a console is read by a person, and a character cut
// between two writes waits in the converter.
class TConsoleBuffer : public std::streambuf {
public:
    explicit TConsoleBuffer(HANDLE console) : console_(console) {}

protected:
    std::streamsize xsputn(const char* bytes, std::streamsize count) override {
        return Write(std::string_view(bytes, static_cast<std::size_t>(count))) ? count : 0;
    }
    int_type overflow(int_type byte) override {
        if (traits_type::eq_int_type(byte, traits_type::eof()))
            return traits_type::not_eof(byte);
        const char one = traits_type::to_char_type(byte);
        return Write(std::string_view(&one, 1)) ? byte : traits_type::eof();
    }

private:
    bool Write(std::string_view bytes) {
        const std::u16string text = pieces_.Take(bytes);
        std::size_t done = 0;
        while (done < text.size()) {
            DWORD written = 0;
            if (!WriteConsoleW(console_, text.data() + done, static_cast<DWORD>(text.size() - done),
                               &written, nullptr) ||
                written == 0)
                return false;
            done += written;
        }
        return true;
    }

    HANDLE console_;
    TUtf8Pieces pieces_;
};

bool IsConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

} // namespace

void ReachStartingConsole() {
    const auto nowhere = [](DWORD which) {
        const HANDLE handle = GetStdHandle(which);
        return handle == nullptr || handle == INVALID_HANDLE_VALUE;
    };
    const bool out = nowhere(STD_OUTPUT_HANDLE);
    const bool err = nowhere(STD_ERROR_HANDLE);
    if ((!out && !err) || !AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    // Only what led nowhere: a redirection to a file or a pipe stays.
    if (out)
        std::freopen("CONOUT$", "w", stdout);
    if (err)
        std::freopen("CONOUT$", "w", stderr);
}

struct TConsoleText::TStreams {
    struct TRedirect {
        TRedirect(std::ostream& stream, HANDLE console)
            : Stream(stream), Buffer(console), Before(stream.rdbuf(&Buffer)) {}
        ~TRedirect() {
            Stream.flush();
            Stream.rdbuf(Before);
        }
        std::ostream& Stream;
        TConsoleBuffer Buffer;
        std::streambuf* Before;
    };
    std::unique_ptr<TRedirect> Out;
    std::unique_ptr<TRedirect> Err;
};

TConsoleText::TConsoleText() : streams_(std::make_unique<TStreams>()) {
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (IsConsole(out)) {
        std::cout.flush();
        streams_->Out = std::make_unique<TStreams::TRedirect>(std::cout, out);
    }
    if (IsConsole(err)) {
        std::cerr.flush();
        streams_->Err = std::make_unique<TStreams::TRedirect>(std::cerr, err);
    }
}

TConsoleText::~TConsoleText() = default;

} // namespace framework
