#pragma once
// Shared by the window tests. AppTestMain.cpp makes the application object.

namespace apptest {

// Records the calls an event slot receives.
struct Recorder {
    int calls = 0;
    void* sender = nullptr;
    void Hit(void* Sender) {
        ++calls;
        sender = Sender;
    }
};

} // namespace apptest
