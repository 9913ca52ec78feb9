#pragma once
// The measurement history window: the chart of the live measurements or of a saved log, with the
// controls to open a log, choose its unit, follow the latest, show or hide each series, and
// export the range shown as PNG or CSV. A normal, resizable top-level window; every action has a
// key.

#include "history/Chart.h"
#include "history/LogJob.h"
#include "history/LogReader.h"
#include "history/Store.h"

#include <QString>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class QCheckBox;
class QComboBox;
class QFileSystemWatcher;
class QLabel;
class QProgressBar;
class QPushButton;

namespace history {

class THistoryWindow : public QWidget {
    Q_OBJECT
public:
    // `live`: the measurements of the running panel (not owned); may be null.
    explicit THistoryWindow(const THistoryStore* live, QWidget* parent = nullptr);
    ~THistoryWindow() override;

    // Begins to read a saved log on a thread of its own, with its progress and a cancel shown;
    // LogOpened tells the end. A log being opened already is given up for it. A log that can't be
    // read or is no log leaves the chart as it was, with the reason in the status line.
    void OpenLog(const QString& path);
    bool Opening() const { return job_ != nullptr; }
    // Gives up the log being opened, if any.
    void CancelOpen();
    // Reads what has been appended to the open log since (a lot of it: as a job, like an open).
    void ReadLogAgain();
    // Back to the live measurements.
    void ShowLive();
    bool ShowingLive() const { return reader_ == nullptr; }
    // Shows this unit of the open log.
    void ShowUnit(const unit::TUnitIdentity& unit);

    // The live store has new measurements.
    void LiveChanged();

    bool ExportPng(const QString& path);
    bool ExportCsv(const QString& path);

    // Asks the user for a file: `save` for an export, with a filter such as "*.png". Replaceable
    // so the actions can run without a dialog; empty: cancelled.
    std::function<QString(bool save, const QString& filter)> AskPath;

    THistoryChart* Chart = nullptr;
    QPushButton* OpenButton = nullptr;
    QPushButton* LiveButton = nullptr;
    QComboBox* UnitBox = nullptr;
    QCheckBox* FollowBox = nullptr;
    QPushButton* PngButton = nullptr;
    QPushButton* CsvButton = nullptr;
    std::array<QCheckBox*, kSeriesCount> SeriesBoxes{};
    QLabel* Status = nullptr;
    QProgressBar* Progress = nullptr;
    QPushButton* CancelButton = nullptr;

signals:
    // A log asked for with OpenLog is shown (true), or not: unreadable, no log, or cancelled.
    void LogOpened(bool shown);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Build();
    void OpenClicked();
    void PngClicked();
    void CsvClicked();
    void ShowLogStatus();
    void FillUnits(const std::optional<unit::TUnitIdentity>& keep);
    void ShowUnit(const unit::TUnitIdentity& unit, bool fit);
    unit::TUnitIdentity CurrentUnit() const;
    void OpenFinished(bool cancelled);
    void ShowOpening(bool on);

    const THistoryStore* live_;
    std::unique_ptr<TLogReader> reader_;
    std::unique_ptr<TLogOpenJob> job_;
    // The open log is opened again, not a new one: its unit stays chosen and the view stays.
    bool reopening_ = false;
    QFileSystemWatcher* watcher_ = nullptr;
    bool filling_ = false;
};

} // namespace history
