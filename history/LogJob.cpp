#include "history/LogJob.h"

#include "history/Chart.h"

#include <QThread>

#include <algorithm>

namespace history {

TLogOpenJob::TLogOpenJob(const QString& path, QObject* parent)
    : QObject(parent), path_(path), reader_(std::make_unique<TLogReader>(path)) {}

TLogOpenJob::~TLogOpenJob() {
    stop_ = true;
    if (thread_) {
        thread_->wait();
        ended_.load(std::memory_order_acquire);
        delete thread_;
    }
}

void TLogOpenJob::Start(int columns) {
    if (thread_)
        return;
    running_ = true;
    reader_->Stop = &stop_;
    // Runs on the reading thread; the signal reaches the window's thread queued.
    reader_->OnProgress = [this](qint64 done, qint64 total) {
        const int permille =
            total > 0 ? static_cast<int>(std::clamp<qint64>(done * 1000 / total, 0, 1000)) : 0;
        if (permille_.exchange(permille) != permille)
            emit Progress(permille);
    };
    TLogReader* reader = reader_.get();
    TReduction* overview = &overview_;
    std::atomic<bool>* ended = &ended_;
    thread_ = QThread::create([reader, overview, columns, ended] {
        struct TEnd {
            std::atomic<bool>* Ended;
            ~TEnd() { Ended->store(true, std::memory_order_release); }
        } end{ended};
        // The first chart of a long log is drawn from columns made here, not on the window's
        // thread.
        if (!reader->ReadMore() || reader->Units().empty() || columns <= 0)
            return;
        const THistoryStore& store = *reader->Store(reader->Units().front());
        if (const auto range =
                WholeRange(store, THistoryChart::kShortestSpan, THistoryChart::kLongestSpan))
            *overview = Reduce(store, range->From, range->To, columns);
    });
    // `finished` comes from the reading thread: Done runs on this object's thread.
    connect(thread_, &QThread::finished, this, &TLogOpenJob::Done);
    thread_->start();
}

void TLogOpenJob::Cancel() {
    stop_ = true;
}

void TLogOpenJob::Done() {
    if (!running_)
        return;
    thread_->wait();
    ended_.load(std::memory_order_acquire);
    running_ = false;
    // From here on the reader belongs to this thread alone.
    reader_->Stop = nullptr;
    reader_->OnProgress = nullptr;
    emit Finished(stop_);
}

std::unique_ptr<TLogReader> TLogOpenJob::TakeReader() {
    if (running_ || stop_)
        return nullptr;
    return std::move(reader_);
}

} // namespace history
