#include "hid/HidNotifyWindow.h"

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

} // namespace

LRESULT DefWindowProcA(QObject* /*window*/, UINT /*Msg*/, WPARAM /*wParam*/, LPARAM /*lParam*/) {
    return 0;
}

THidNotifyWindow::THidNotifyWindow(const TWindowProc& handler) : Handler_(handler) {
    setObjectName(QStringLiteral("NotifyWindow"));
#ifndef _WIN32
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
#ifndef _WIN32
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

bool THidNotifyWindow::Watching() const {
    return Notifier_ && Notifier_->isEnabled();
}

bool THidNotifyWindow::event(QEvent* event) {
    if (event->type() == TWindowMessageEvent::type()) {
        const auto* message = static_cast<TWindowMessageEvent*>(event);
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
