#pragma once
// The controller's hidden notify window: a Qt object on the user-interface
// thread that receives device-change messages and hands them to its message
// handler. Messages come from PostMessage (queued on the event loop), from
// SendMessage (handled at once), and from the device-node notification of
// the setup services: each readable notification that consumed at least one
// node change arrives as WM_DEVICECHANGE / DBT_DEVNODES_CHANGED, lParam 0. On Windows a hidden
// top-level window of the system receives the WM_DEVICECHANGE broadcast instead and hands it on.

#include "framework/BoundEvent.h"
#include "platform/win32/WinTypes.h"

#include <QObject>

#include <memory>

class QSocketNotifier;

using TWindowProc = framework::TBoundEvent<LRESULT(UINT Msg, WPARAM wParam, LPARAM lParam)>;

// What a window does with a message nobody handled: nothing.
LRESULT DefWindowProcA(QObject* window, UINT Msg, WPARAM wParam, LPARAM lParam);

class THidNotifyWindow : public QObject {
    Q_OBJECT
public:
    explicit THidNotifyWindow(const TWindowProc& handler);
    ~THidNotifyWindow() override;

    // Queues the message; the event loop delivers it. Messages still queued
    // when the window ends are dropped.
    void PostMessage(UINT Msg, WPARAM wParam, LPARAM lParam);
    LRESULT SendMessage(UINT Msg, WPARAM wParam, LPARAM lParam);
    // A change the system announces: the handler gets it from the event loop, never inside the
    // announcement (the system asks its broadcast to be answered at once, and a rescan opens
    // every HID device). A node change announced again before the handler got the first comes
    // once: the system announces one plug several times.
    void Announce(UINT Msg, WPARAM wParam, LPARAM lParam);
    // True while node-change notifications are watched.
    bool Watching() const;
    // The hidden system window on Windows, null elsewhere.
    HWND SystemWindow() const { return SystemWindow_; }

protected:
    bool event(QEvent* event) override;

private:
    void NotificationReadable();

    TWindowProc Handler_;
    int NotifyFd_ = -1;
    HWND SystemWindow_ = nullptr;
    bool NodeChangeQueued_ = false;
    std::unique_ptr<QSocketNotifier> Notifier_;
};
