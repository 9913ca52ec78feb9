#include "app/FirstFrame.h"

#include <QEvent>
#include <QPointer>
#include <QTimer>

#include <utility>

namespace startup {

namespace {

class TFirstFrameWatch : public QObject {
public:
    TFirstFrameWatch(QWidget& window, std::function<void()> then)
        : QObject(&window), then_(std::move(then)) {
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Paint || fired_)
            return false;
        fired_ = true;
        watched->removeEventFilter(this);
        // The paint is still to be flushed to the screen; the work comes after, in its own turn.
        QTimer::singleShot(0, this, [this] {
            const std::function<void()> then = std::move(then_);
            deleteLater();
            then();
        });
        return false;
    }

private:
    std::function<void()> then_;
    bool fired_ = false;
};

} // namespace

void AfterFirstFrame(QWidget& window, std::function<void()> then) {
    new TFirstFrameWatch(window, std::move(then));
}

} // namespace startup
