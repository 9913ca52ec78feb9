// The system's WM_DEVICECHANGE broadcast reaches the notify window's handler on its own thread, as
// the Linux node-change notification does.

#include "hid/HidNotifyWindow.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <thread>
#include <vector>

namespace {

struct TMessage {
    UINT Msg;
    WPARAM WParam;
};

class TRecorder {
public:
    LRESULT Handle(UINT msg, WPARAM wParam, LPARAM) {
        messages.push_back({msg, wParam});
        threads.push_back(std::this_thread::get_id());
        return 0;
    }
    std::vector<TMessage> messages;
    std::vector<std::thread::id> threads;
};

} // namespace

TEST(NotifyWindow, ABroadcastDeviceChangeReachesTheHandlerOnTheWindowsThread) {
    TRecorder recorder;
    THidNotifyWindow window(TWindowProc(&recorder, &TRecorder::Handle));
    ASSERT_NE(window.SystemWindow(), nullptr);
    EXPECT_TRUE(window.Watching());

    // Sent from another thread as the system's broadcast is: it arrives through the window
    // thread's message queue, which Qt's event loop serves.
    std::thread sender([hwnd = window.SystemWindow()] {
        DWORD_PTR result = 0;
        SendMessageTimeoutW(hwnd, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0, SMTO_NORMAL, 5000,
                            &result);
    });
    const QDeadlineTimer deadline(5000);
    while (recorder.messages.empty() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    sender.join();

    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0].Msg, static_cast<UINT>(WM_DEVICECHANGE));
    EXPECT_EQ(recorder.messages[0].WParam, static_cast<WPARAM>(DBT_DEVNODES_CHANGED));
    EXPECT_EQ(recorder.threads[0], std::this_thread::get_id());
}

// The system asks for its broadcast to be answered at once and announces one plug several times:
// the handler (the controller's rescan, which opens every HID device) runs afterwards, from the
// event loop, once for the lot; a change announced after it has run gets a run of its own.
TEST(NotifyWindow, SeveralBroadcastsInARowGiveOneRunOfTheHandlerAfterThem) {
    TRecorder recorder;
    THidNotifyWindow window(TWindowProc(&recorder, &TRecorder::Handle));
    ASSERT_NE(window.SystemWindow(), nullptr);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(SendMessageW(window.SystemWindow(), WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0),
                  TRUE);
        EXPECT_TRUE(recorder.messages.empty()) << "the handler ran inside broadcast " << i;
    }
    QCoreApplication::sendPostedEvents();
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0].WParam, static_cast<WPARAM>(DBT_DEVNODES_CHANGED));

    SendMessageW(window.SystemWindow(), WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(recorder.messages.size(), 2u);
}

TEST(NotifyWindow, NoMessageReachesAWindowThatHasGone) {
    TRecorder recorder;
    HWND hwnd = nullptr;
    {
        THidNotifyWindow window(TWindowProc(&recorder, &TRecorder::Handle));
        hwnd = window.SystemWindow();
        ASSERT_NE(hwnd, nullptr);
    }
    EXPECT_FALSE(IsWindow(hwnd));
    PostMessageW(hwnd, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
    QCoreApplication::processEvents();
    EXPECT_TRUE(recorder.messages.empty());
}

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
