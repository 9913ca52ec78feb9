#include "app/HistoryLink.h"

#include "app/Unit1.h"
#include "history/Store.h"
#include "history/Window.h"

#include <QAction>
#include <QDateTime>
#include <QDialog>
#include <QEvent>

THistoryLink::THistoryLink(TTarvenik_Control_Form& form)
    : QObject(&form), form_(form), store_(std::make_unique<history::THistoryStore>()) {
    setObjectName(QStringLiteral("HistoryLink"));
    OpenAction = new QAction(tr("История измерений…"), this);
    OpenAction->setObjectName(QStringLiteral("HistoryAction"));
    OpenAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    // The form's own layout and controls stay as designed: the history is reached from the
    // oscillogram's context menu and by its key anywhere in the window.
    form.Image->setContextMenuPolicy(Qt::ActionsContextMenu);
    form.Image->addAction(OpenAction);
    form.addAction(OpenAction);
    connect(OpenAction, &QAction::triggered, this, &THistoryLink::Open);
    form.installEventFilter(this);
}

THistoryLink::~THistoryLink() = default;

qint64 THistoryLink::Now() const {
    return Clock ? Clock() : QDateTime::currentMSecsSinceEpoch();
}

void THistoryLink::Polled(bool answered, bool silent) {
    if (!Recording)
        return;
    if (answered)
        store_->Measurement(Now(), form_.State.data_block, form_.HeldIdentity);
    else
        store_->Gap(Now(),
                    silent ? history::TGapReason::NoAnswer : history::TGapReason::FailedRead);
    if (window_)
        window_->LiveChanged();
}

void THistoryLink::Gap(history::TGapReason reason) {
    if (!Recording)
        return;
    store_->Gap(Now(), reason);
    if (window_)
        window_->LiveChanged();
}

void THistoryLink::Open() {
    if (!window_) {
        window_ = std::make_unique<history::THistoryWindow>(store_.get());
        window_->installEventFilter(this);
        if (RememberedPlace)
            window_->restoreGeometry(RememberedPlace());
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
    window_->Chart->Refresh();
}

void THistoryLink::Close() {
    if (!window_)
        return;
    // A dialog of the window runs an event loop of its own, which would keep the program from
    // ending: it is answered as cancelled.
    for (QDialog* dialog : window_->findChildren<QDialog*>())
        dialog->reject();
    window_->close();
}

bool THistoryLink::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Close) {
        if (watched == &form_)
            Close();
        else if (window_ && watched == window_.get() && RememberPlace)
            RememberPlace(window_->saveGeometry());
    }
    return QObject::eventFilter(watched, event);
}
