#pragma once
// The measurement history window: the chart of the live measurements or of a saved log, with the
// controls to open a log, choose its unit, follow the latest, show or hide each series, and
// export the range shown as PNG or CSV. A normal, resizable top-level window; every action has a
// key.

#include "history/Chart.h"
#include "history/LogReader.h"
#include "history/Store.h"

#include <QString>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QFileSystemWatcher;
class QLabel;
class QPushButton;

namespace history {

class THistoryWindow : public QWidget {
    Q_OBJECT
public:
    // `live`: the measurements of the running panel (not owned); may be null.
    explicit THistoryWindow(const THistoryStore* live, QWidget* parent = nullptr);
    ~THistoryWindow() override;

    // Shows a saved log; false, with the reason in the status line, when it can't be read or is no
    // log (the chart then keeps what it showed).
    bool OpenLog(const QString& path);
    // Reads what has been appended to the open log since.
    void ReadLogAgain();
    // Back to the live measurements.
    void ShowLive();
    bool ShowingLive() const { return reader_ == nullptr; }
    // Shows the unit of the open log with this serial.
    void ShowUnit(const QString& serial);

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

private:
    void Build();
    void OpenClicked();
    void PngClicked();
    void CsvClicked();
    void ShowLogStatus();
    void FillUnits();

    const THistoryStore* live_;
    std::unique_ptr<TLogReader> reader_;
    QFileSystemWatcher* watcher_ = nullptr;
    bool filling_ = false;
};

} // namespace history
