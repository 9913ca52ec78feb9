#include "app/HistoryLink.h"

#include "app/Unit1.h"
#include "history/Store.h"
#include "history/Window.h"

#include <QAction>
#include <QDateTime>

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
    if (!window_)
        window_ = std::make_unique<history::THistoryWindow>(store_.get());
    window_->show();
    window_->raise();
    window_->activateWindow();
    window_->Chart->Refresh();
}
