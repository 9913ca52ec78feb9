#pragma once
// What ties the control window to the measurement history: the store the polls feed, the window
// showing it, opened from the oscillogram's context menu or with Ctrl+H. The poll calls the three
// feeding points below; nothing else of the control window knows about the history.

#include "history/Feed.h"

#include <QByteArray>
#include <QObject>

#include <functional>
#include <memory>

class QAction;
class TTarvenik_Control_Form;

namespace history {
class THistoryStore;
class THistoryWindow;
} // namespace history

class THistoryLink : public QObject {
    Q_OBJECT
public:
    // A child of the form; adds the action to the oscillogram's context menu and to the form.
    explicit THistoryLink(TTarvenik_Control_Form& form);
    ~THistoryLink() override;

    // A poll has ended: the block the unit answered with, or a gap (a failed read, or a request
    // that timed out when `silent`).
    void Polled(bool answered, bool silent);
    // Polling stopped: the box unticked, or the unit gone.
    void Gap(history::TGapReason reason);

    // Opens the history window, or raises it when it is open.
    void Open();
    // Closes the history window, giving up whatever it does: a log being opened, a file dialog.
    void Close();

    history::THistoryStore& Store() { return *store_; }
    // Null until first opened.
    history::THistoryWindow* Window() const { return window_.get(); }
    QAction* OpenAction = nullptr;
    // Milliseconds since the epoch; the system clock unless a test puts its own in.
    std::function<qint64()> Clock;
    // Where the history window was left (QWidget::saveGeometry), to open it there again; unset,
    // it opens where the system puts it. Kept each time it closes.
    std::function<QByteArray()> RememberedPlace;
    std::function<void(const QByteArray&)> RememberPlace;
    // Off: polls and gaps are not kept. Only the poll benchmark turns it off, to weigh what
    // keeping them costs.
    bool Recording = true;

protected:
    // The control window closing (its close button, or a stop signal) closes the history window
    // too: the program ends with its last window. The history window's own closing keeps its
    // place.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    qint64 Now() const;

    TTarvenik_Control_Form& form_;
    std::unique_ptr<history::THistoryStore> store_;
    std::unique_ptr<history::THistoryWindow> window_;
};
