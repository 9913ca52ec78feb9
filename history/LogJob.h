#pragma once
// Opening a log as a job: a TLogReader reads the file on a thread of its own, so the window and
// the poll keep answering however large or slow the file is. The job tells its progress and its
// end by signals, which reach the window's thread queued; the reader is handed over once the job
// has finished. Cancel() stops the reading between two chunks; the job's end is then a cancelled
// one and its reader is dropped.

#include "history/LogReader.h"
#include "history/Reduce.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

class QThread;

namespace history {

class TLogOpenJob : public QObject {
    Q_OBJECT
public:
    explicit TLogOpenJob(const QString& path, QObject* parent = nullptr);
    // Cancels, and waits for the thread: it stops within one chunk of the file.
    ~TLogOpenJob() override;

    // `columns`: the plot's pixel columns, for the reduction of the first unit's whole log, made
    // on the reading thread too (0: none).
    void Start(int columns = 0);
    void Cancel();
    // From Start until Finished has been delivered on the job's own thread.
    bool Running() const { return running_; }
    const QString& Path() const { return path_; }
    // The reader, once Finished said it was not cancelled; then null.
    std::unique_ptr<TLogReader> TakeReader();
    // That reduction (of the first unit, over its WholeRange), once finished.
    TReduction TakeOverview() { return std::move(overview_); }

signals:
    // Thousandths of the file read, each change once.
    void Progress(int permille);
    // The reading is over: read, failed (the reader's Error() says why) or cancelled.
    void Finished(bool cancelled);

private:
    void Done();

    QString path_;
    std::unique_ptr<TLogReader> reader_;
    TReduction overview_;
    QThread* thread_ = nullptr;
    std::atomic<bool> stop_{false};
    // Set by the reading thread as its last act and read after QThread::wait(): the order of its
    // work and this thread's use of the reader, in a form the thread sanitizer sees too.
    std::atomic<bool> ended_{false};
    std::atomic<int> permille_{-1};
    bool running_ = false;
};

} // namespace history
