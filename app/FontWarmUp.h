#pragma once
// The system's font configuration read on a thread of its own while the application connects to
// the display. With fontconfig that reading (dozens of XML files) is the largest single piece of
// start-up, and Qt wants it only when the window's font is chosen. Elsewhere it does nothing.

#include <thread>

namespace startup {

class TFontWarmUp {
public:
    // Starts reading; before the application object exists is best.
    TFontWarmUp();
    ~TFontWarmUp();
    TFontWarmUp(const TFontWarmUp&) = delete;
    TFontWarmUp& operator=(const TFontWarmUp&) = delete;

    // Returns when the configuration is read: call before the first font is chosen, so Qt finds
    // it ready instead of reading it a second time beside the thread.
    void Wait();

private:
    std::thread thread_;
};

} // namespace startup
