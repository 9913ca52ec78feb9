#include "history/Window.h"

#include "history/Export.h"
#include "history/HistoryLogging.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

namespace history {

namespace {

// The count that picks a text's plural form; a long log may count past what an int holds.
int Count(std::size_t n) {
    return static_cast<int>(std::min<std::size_t>(n, std::numeric_limits<int>::max()));
}

} // namespace

namespace {} // namespace

THistoryWindow::THistoryWindow(const THistoryStore* live, QWidget* parent)
    : QWidget(parent, Qt::Window), live_(live) {
    setObjectName(QStringLiteral("HistoryWindow"));
    setWindowTitle(QCoreApplication::translate("history", "История измерений"));
    resize(1000, 620);
    Build();
    Chart->SetStore(live_);
    ShowLogStatus();
}

THistoryWindow::~THistoryWindow() = default;

void THistoryWindow::Build() {
    auto* layout = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout;
    OpenButton = new QPushButton(QCoreApplication::translate("history", "&Открыть…"), this);
    OpenButton->setShortcut(QKeySequence::Open);
    LiveButton =
        new QPushButton(QCoreApplication::translate("history", "&Текущие измерения"), this);
    UnitBox = new QComboBox(this);
    UnitBox->setAccessibleName(QCoreApplication::translate("history", "Устройство журнала"));
    UnitBox->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    UnitBox->setVisible(false); // until a log of several units is open
    FollowBox =
        new QCheckBox(QCoreApplication::translate("history", "&Следить за последними"), this);
    FollowBox->setChecked(true);
    PngButton = new QPushButton(QCoreApplication::translate("history", "Сохранить &PNG…"), this);
    CsvButton = new QPushButton(QCoreApplication::translate("history", "Сохранить &CSV…"), this);
    for (QWidget* w : std::initializer_list<QWidget*>{OpenButton, LiveButton, UnitBox, FollowBox,
                                                      PngButton, CsvButton})
        bar->addWidget(w);
    bar->addStretch();
    layout->addLayout(bar);

    auto* legend = new QHBoxLayout;
    for (int s = 0; s < kSeriesCount; ++s) {
        // Alt with the digit toggles the series.
        auto* box = new QCheckBox(QStringLiteral("&%1 ").arg(s + 1) + SeriesName(s), this);
        box->setChecked(true);
        QPalette palette = box->palette();
        palette.setColor(QPalette::WindowText, SeriesInfo(s).Colour.darker(130));
        box->setPalette(palette);
        SeriesBoxes[static_cast<std::size_t>(s)] = box;
        legend->addWidget(box);
    }
    legend->addStretch();
    layout->addLayout(legend);

    Chart = new THistoryChart(this);
    layout->addWidget(Chart, 1);
    Status = new QLabel(this);
    Status->setTextFormat(Qt::PlainText);
    layout->addWidget(Status);

    connect(OpenButton, &QPushButton::clicked, this, &THistoryWindow::OpenClicked);
    connect(LiveButton, &QPushButton::clicked, this, &THistoryWindow::ShowLive);
    connect(PngButton, &QPushButton::clicked, this, &THistoryWindow::PngClicked);
    connect(CsvButton, &QPushButton::clicked, this, &THistoryWindow::CsvClicked);
    connect(FollowBox, &QCheckBox::toggled, Chart, &THistoryChart::SetFollow);
    connect(Chart, &THistoryChart::FollowChanged, FollowBox, &QCheckBox::setChecked);
    for (int s = 0; s < kSeriesCount; ++s)
        connect(SeriesBoxes[static_cast<std::size_t>(s)], &QCheckBox::toggled, Chart,
                [this, s](bool on) { Chart->SetSeriesVisible(s, on); });
    connect(Chart, &THistoryChart::SeriesVisibilityChanged, this,
            [this](int s, bool on) { SeriesBoxes[static_cast<std::size_t>(s)]->setChecked(on); });
    connect(UnitBox, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!filling_ && index >= 0)
            ShowUnit(UnitBox->itemData(index).toString());
    });
    // The chart is where the keys act; F6 takes the focus there from the controls.
    auto* toChart = new QShortcut(QKeySequence(Qt::Key_F6), this);
    connect(toChart, &QShortcut::activated, Chart, [this] { Chart->setFocus(); });
    auto* close = new QShortcut(QKeySequence::Close, this);
    connect(close, &QShortcut::activated, this, &QWidget::close);

    setTabOrder(OpenButton, LiveButton);
    setTabOrder(LiveButton, UnitBox);
    setTabOrder(UnitBox, FollowBox);
    setTabOrder(FollowBox, PngButton);
    setTabOrder(PngButton, CsvButton);
    setTabOrder(CsvButton, SeriesBoxes[0]);
    for (int s = 1; s < kSeriesCount; ++s)
        setTabOrder(SeriesBoxes[static_cast<std::size_t>(s - 1)],
                    SeriesBoxes[static_cast<std::size_t>(s)]);
    setTabOrder(SeriesBoxes.back(), Chart);
}

bool THistoryWindow::OpenLog(const QString& path) {
    auto reader = std::make_unique<TLogReader>(path);
    if (!reader->ReadMore() || reader->Units().empty()) {
        QString why = reader->Error();
        if (why.isEmpty())
            why =
                reader->Malformed() > 0
                    ? QCoreApplication::translate(
                          "history", "В файле нет ни одной записи измерений (пропущено строк: %n).",
                          nullptr, Count(reader->Malformed()))
                    : QCoreApplication::translate("history", "В файле нет записей измерений.");
        Status->setText(QFileInfo(path).fileName() + QStringLiteral(": ") + why);
        return false;
    }
    reader_ = std::move(reader);
    delete watcher_;
    watcher_ = new QFileSystemWatcher(QStringList{path}, this);
    connect(watcher_, &QFileSystemWatcher::fileChanged, this, &THistoryWindow::ReadLogAgain);
    FillUnits();
    Chart->SetFollow(false);
    ShowUnit(UnitBox->currentData().toString());
    Chart->ShowAll();
    return true;
}

void THistoryWindow::ReadLogAgain() {
    if (!reader_)
        return;
    const QString serial = UnitBox->currentData().toString();
    reader_->ReadMore();
    // A log that is written anew drops what it held; its units are those of the new file.
    if (reader_->Restarted() || UnitBox->count() != static_cast<int>(reader_->Units().size()))
        FillUnits();
    ShowUnit(serial);
    if (watcher_ && !watcher_->files().contains(reader_->Path()))
        watcher_->addPath(reader_->Path()); // a file replaced by a rename is watched again
}

void THistoryWindow::FillUnits() {
    filling_ = true;
    const QString current = UnitBox->currentData().toString();
    UnitBox->clear();
    if (reader_)
        for (const QString& serial : reader_->Units())
            UnitBox->addItem(serial.isEmpty()
                                 ? QCoreApplication::translate("history", "(без серийного номера)")
                                 : serial,
                             serial);
    const int keep = UnitBox->findData(current);
    UnitBox->setCurrentIndex(keep >= 0 ? keep : 0);
    // The choice matters only when the log holds more than one unit.
    UnitBox->setVisible(UnitBox->count() > 1);
    filling_ = false;
}

void THistoryWindow::ShowUnit(const QString& serial) {
    if (!reader_)
        return;
    const THistoryStore* store = reader_->Store(serial);
    if (!store && !reader_->Units().empty())
        store = reader_->Store(reader_->Units().front());
    const int index = UnitBox->findData(serial);
    if (index >= 0 && index != UnitBox->currentIndex()) {
        filling_ = true;
        UnitBox->setCurrentIndex(index);
        filling_ = false;
    }
    const bool changed = Chart->Store() != store;
    Chart->SetStore(store);
    if (changed)
        Chart->ShowAll();
    ShowLogStatus();
}

void THistoryWindow::ShowLive() {
    reader_.reset();
    delete watcher_;
    watcher_ = nullptr;
    FillUnits();
    Chart->SetStore(live_);
    Chart->SetFollow(true);
    ShowLogStatus();
}

void THistoryWindow::LiveChanged() {
    if (ShowingLive() && isVisible())
        Chart->Refresh();
}

void THistoryWindow::ShowLogStatus() {
    LiveButton->setEnabled(reader_ != nullptr);
    if (!reader_) {
        // Counted first: lupdate's parser does not get through a ?: among translate's arguments.
        const int points = Count(live_ ? live_->Size() : 0);
        Status->setText(QCoreApplication::translate("history", "Текущие измерения, точек: %n",
                                                    nullptr, points));
        return;
    }
    QString text = QCoreApplication::translate("history", "%1, записей: %n", nullptr,
                                               Count(reader_->Records()))
                       .arg(QFileInfo(reader_->Path()).fileName());
    if (reader_->Malformed() > 0)
        text += QStringLiteral(", ") +
                QCoreApplication::translate("history", "пропущено строк (не записи журнала): %n",
                                            nullptr, Count(reader_->Malformed()));
    if (reader_->Units().size() > 1)
        text +=
            QStringLiteral(", ") +
            QCoreApplication::translate("history", "устройств: %1").arg(reader_->Units().size());
    Status->setText(text);
}

bool THistoryWindow::ExportPng(const QString& path) {
    // At the screen's pixel density, so the picture is as sharp as the window.
    const qreal ratio = Chart->devicePixelRatioF();
    QImage image((QSizeF(Chart->size()) * ratio).toSize(), QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    {
        QPainter painter(&image);
        painter.setFont(Chart->font());
        static const THistoryStore kEmpty(1);
        TChartView view = Chart->View();
        view.CursorX.reset();
        RenderChart(painter, Chart->size(), ratio, Chart->Store() ? *Chart->Store() : kEmpty, view);
    }
    if (!image.save(path, "PNG")) {
        qCWarning(lcHistory).noquote() << "the chart could not be saved to" << path;
        Status->setText(
            QCoreApplication::translate("history", "Не удалось сохранить %1").arg(path));
        return false;
    }
    Status->setText(QCoreApplication::translate("history", "Сохранено: %1").arg(path));
    return true;
}

bool THistoryWindow::ExportCsv(const QString& path) {
    if (!Chart->Store()) {
        Status->setText(QCoreApplication::translate("history", "Нет измерений для сохранения"));
        return false;
    }
    QString error;
    if (!history::ExportCsv(*Chart->Store(), Chart->View().From, Chart->View().To, path, &error)) {
        Status->setText(
            QCoreApplication::translate("history", "Не удалось сохранить %1: %2").arg(path, error));
        return false;
    }
    Status->setText(QCoreApplication::translate("history", "Сохранено: %1").arg(path));
    return true;
}

namespace {

QString DialogPath(QWidget* parent, bool save, const QString& filter) {
    return save ? QFileDialog::getSaveFileName(parent,
                                               QCoreApplication::translate("history", "Сохранить"),
                                               QString(), filter)
                : QFileDialog::getOpenFileName(
                      parent, QCoreApplication::translate("history", "Открыть журнал"), QString(),
                      filter);
}

} // namespace

void THistoryWindow::OpenClicked() {
    const QString filter = QCoreApplication::translate(
        "history", "Журналы (*.csv *.jsonl *.json *.log);;Все файлы (*)");
    const QString path = AskPath ? AskPath(false, filter) : DialogPath(this, false, filter);
    if (!path.isEmpty())
        OpenLog(path);
}

void THistoryWindow::PngClicked() {
    const QString filter = QCoreApplication::translate("history", "Рисунок PNG (*.png)");
    const QString path = AskPath ? AskPath(true, filter) : DialogPath(this, true, filter);
    if (!path.isEmpty())
        ExportPng(path);
}

void THistoryWindow::CsvClicked() {
    const QString filter = QCoreApplication::translate("history", "Журнал CSV (*.csv)");
    const QString path = AskPath ? AskPath(true, filter) : DialogPath(this, true, filter);
    if (!path.isEmpty())
        ExportCsv(path);
}

} // namespace history
