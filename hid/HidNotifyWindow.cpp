#include "hid/HidNotifyWindow.h"

#include "hid/HidLogging.h"
#include "hid/SetupApi.h"

#include <QCoreApplication>
#include <QEvent>
#include <QSocketNotifier>

namespace {

class TWindowMessageEvent : public QEvent {
public:
    TWindowMessageEvent(UINT msg, WPARAM wParam, LPARAM lParam)
        : QEvent(type()), Msg(msg), WParam(wParam), LParam(lParam) {}

    static QEvent::Type type() {
        static const auto registered = static_cast<QEvent::Type>(QEvent::registerEventType());
        return registered;
    }

    const UINT Msg;
    const WPARAM WParam;
    const LPARAM LParam;
};

#ifdef _WIN32

// The system broadcasts device changes to top-level windows only (a message-only window gets
// none): a hidden one, on the thread that creates it, whose messages Qt's event loop dispatches.
LRESULT CALLBACK SystemWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DEVICECHANGE) {
        if (auto* window =
                reinterpret_cast<THidNotifyWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)))
            window->Announce(msg, wParam, lParam);
        return TRUE;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

HWND CreateSystemWindow(THidNotifyWindow* owner) {
    static const wchar_t kClassName[] = L"TarvenikHidNotifyWindow";
    static const bool registered = [] {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = SystemWindowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kClassName;
        if (RegisterClassW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS)
            return true;
        qCWarning(lcHid) << "no window class for device changes:"
                         << qt_error_string(static_cast<int>(GetLastError()));
        return false;
    }();
    if (!registered)
        return nullptr;
    const HWND hwnd = CreateWindowExW(0, kClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                      GetModuleHandleW(nullptr), nullptr);
    if (hwnd == nullptr) {
        qCWarning(lcHid) << "no window for device changes:"
                         << qt_error_string(static_cast<int>(GetLastError()));
        return nullptr;
    }
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
    return hwnd;
}

#endif

} // namespace

LRESULT DefWindowProcA(QObject* /*window*/, UINT /*Msg*/, WPARAM /*wParam*/, LPARAM /*lParam*/) {
    return 0;
}

THidNotifyWindow::THidNotifyWindow(const TWindowProc& handler) : Handler_(handler) {
    setObjectName(QStringLiteral("NotifyWindow"));
#ifdef _WIN32
    SystemWindow_ = CreateSystemWindow(this);
#else
    if (SetupApi::DevNodeNotifyOpen != nullptr)
        NotifyFd_ = SetupApi::DevNodeNotifyOpen();
    if (NotifyFd_ >= 0) {
        Notifier_ = std::make_unique<QSocketNotifier>(NotifyFd_, QSocketNotifier::Read);
        connect(Notifier_.get(), &QSocketNotifier::activated, this,
                &THidNotifyWindow::NotificationReadable);
    }
#endif
}

THidNotifyWindow::~THidNotifyWindow() {
    Notifier_.reset();
#ifdef _WIN32
    if (SystemWindow_ != nullptr)
        DestroyWindow(SystemWindow_);
#else
    if (NotifyFd_ >= 0 && SetupApi::DevNodeNotifyClose != nullptr)
        SetupApi::DevNodeNotifyClose(NotifyFd_);
#endif
}

void THidNotifyWindow::PostMessage(UINT Msg, WPARAM wParam, LPARAM lParam) {
    QCoreApplication::postEvent(this, new TWindowMessageEvent(Msg, wParam, lParam));
}

LRESULT THidNotifyWindow::SendMessage(UINT Msg, WPARAM wParam, LPARAM lParam) {
    if (Handler_)
        return Handler_(Msg, wParam, lParam);
    return DefWindowProcA(this, Msg, wParam, lParam);
}

void THidNotifyWindow::Announce(UINT Msg, WPARAM wParam, LPARAM lParam) {
    const bool nodeChange = Msg == WM_DEVICECHANGE && wParam == DBT_DEVNODES_CHANGED;
    if (nodeChange) {
        if (NodeChangeQueued_)
            return;
        NodeChangeQueued_ = true;
    }
    PostMessage(Msg, wParam, lParam);
}

bool THidNotifyWindow::Watching() const {
    return SystemWindow_ != nullptr || (Notifier_ && Notifier_->isEnabled());
}

bool THidNotifyWindow::event(QEvent* event) {
    if (event->type() == TWindowMessageEvent::type()) {
        const auto* message = static_cast<TWindowMessageEvent*>(event);
        // A change announced from here on may come after the scan below has looked: it gets one
        // of its own.
        if (message->Msg == WM_DEVICECHANGE && message->WParam == DBT_DEVNODES_CHANGED)
            NodeChangeQueued_ = false;
        SendMessage(message->Msg, message->WParam, message->LParam);
        return true;
    }
    return QObject::event(event);
}

void THidNotifyWindow::NotificationReadable() {
#ifndef _WIN32
    const int changes =
        SetupApi::DevNodeNotifyRead != nullptr ? SetupApi::DevNodeNotifyRead(NotifyFd_) : -1;
    if (changes < 0) {
        // A notification that can't be read stays readable: stop watching
        // rather than spin on it.
        Notifier_->setEnabled(false);
        return;
    }
    if (changes > 0)
        SendMessage(WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
#endif
}
