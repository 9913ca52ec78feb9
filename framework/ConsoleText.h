#pragma once
// Text for a console window. A Windows console shows bytes in its own code page (CP866 for a
// Russian user), not UTF-8: while a TConsoleText lives, what the program writes to std::cout and
// std::cerr reaches a console as UTF-16 through WriteConsoleW, and a file or a pipe still gets the
// UTF-8 bytes as they are. On Linux the terminal takes UTF-8: nothing changes
// (ConsoleTextPosix.cpp, ConsoleTextWindows.cpp).

#include <memory>
#include <string>
#include <string_view>

namespace framework {

// UTF-8 in pieces to UTF-16: a character cut between two pieces comes out whole with the second.
// A byte that starts no valid sequence comes out as U+FFFD.
class TUtf8Pieces {
public:
    std::u16string Take(std::string_view piece);

private:
    std::string held_; // the start of a character whose last bytes have not come yet
};

// For a window program (the panel on Windows, which starts with no console): when its standard
// output and error lead nowhere, they are given the console of the program that started it, if
// that has one, so that `tarvenik --help` in a command prompt shows its text. Nothing on Linux.
void ReachStartingConsole();

class TConsoleText {
public:
    TConsoleText();
    ~TConsoleText();
    TConsoleText(const TConsoleText&) = delete;
    TConsoleText& operator=(const TConsoleText&) = delete;

    struct TStreams;

private:
    std::unique_ptr<TStreams> streams_;
};

} // namespace framework
