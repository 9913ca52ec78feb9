#include "history/Window.h"

#include "framework/Files.h"
#include "history/Export.h"
#include "history/HistoryLogging.h"

#include <QBuffer>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
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

// What a growing log may have appended and still be read on the window's thread at once: a few
// milliseconds of parsing.
constexpr qint64 kReadOnTheSpot = 256 * 1024;

} // namespace

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
    auto* statusLine = new QHBoxLayout;
    Status = new QLabel(this);
    Status->setTextFormat(Qt::PlainText);
    statusLine->addWidget(Status, 1);
    Progress = new QProgressBar(this);
    Progress->setRange(0, 1000);
    Progress->setTextVisible(false);
    Progress->setAccessibleName(QCoreApplication::translate("history", "Открытие журнала"));
    CancelButton = new QPushButton(QCoreApplication::translate("history", "Отм&ена"), this);
    statusLine->addWidget(Progress);
    statusLine->addWidget(CancelButton);
    Progress->setVisible(false);
    CancelButton->setVisible(false);
    layout->addLayout(statusLine);

    connect(OpenButton, &QPushButton::clicked, this, &THistoryWindow::OpenClicked);
    connect(LiveButton, &QPushButton::clicked, this, &THistoryWindow::ShowLive);
    connect(CancelButton, &QPushButton::clicked, this, &THistoryWindow::CancelOpen);
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
        if (!filling_ && reader_ && index >= 0 && index < static_cast<int>(reader_->Units().size()))
            ShowUnit(reader_->Units()[static_cast<std::size_t>(index)]);
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

void THistoryWindow::OpenLog(const QString& path) {
    CancelOpen();
    job_ = std::make_unique<TLogOpenJob>(path);
    connect(job_.get(), &TLogOpenJob::Progress, Progress, &QProgressBar::setValue);
    connect(job_.get(), &TLogOpenJob::Finished, this, &THistoryWindow::OpenFinished);
    Progress->setValue(0);
    ShowOpening(true);
    Status->setText(
        QCoreApplication::translate("history", "Открывается %1…").arg(QFileInfo(path).fileName()));
    job_->Start(Chart->Columns());
}

void THistoryWindow::ShowOpening(bool on) {
    Progress->setVisible(on);
    CancelButton->setVisible(on);
    // One log at a time: another is opened once this one is in or given up.
    OpenButton->setEnabled(!on);
}

void THistoryWindow::CancelOpen() {
    if (!job_)
        return;
    // The reading stops within a chunk; the job's thread is waited for here.
    job_.reset();
    const bool wasReopening = reopening_;
    reopening_ = false;
    ShowOpening(false);
    if (wasReopening)
        ShowLogStatus();
    else
        Status->setText(QCoreApplication::translate("history", "Открытие отменено."));
    emit LogOpened(false);
}

void THistoryWindow::OpenFinished(bool cancelled) {
    // Released in the job's own signal: deleted once it has returned.
    TLogOpenJob* job = job_.release();
    job->deleteLater();
    const bool wasReopening = reopening_;
    reopening_ = false;
    ShowOpening(false);
    std::unique_ptr<TLogReader> reader = cancelled ? nullptr : job->TakeReader();
    if (!reader || reader->State() != TLogReader::TState::Reading || reader->Units().empty()) {
        QString why =
            reader ? reader->Error() : QCoreApplication::translate("history", "Открытие отменено.");
        if (why.isEmpty())
            why =
                reader->Malformed() > 0
                    ? QCoreApplication::translate(
                          "history", "В файле нет ни одной записи измерений (пропущено строк: %n).",
                          nullptr, Count(reader->Malformed()))
                    : QCoreApplication::translate("history", "В файле нет записей измерений.");
        Status->setText(QFileInfo(job->Path()).fileName() + QStringLiteral(": ") + why);
        emit LogOpened(false);
        return;
    }
    const std::optional<unit::TUnitIdentity> shown =
        wasReopening ? std::optional(CurrentUnit()) : std::nullopt;
    reader_ = std::move(reader);
    delete watcher_;
    watcher_ = new QFileSystemWatcher(QStringList{reader_->Path()}, this);
    connect(watcher_, &QFileSystemWatcher::fileChanged, this, &THistoryWindow::ReadLogAgain);
    FillUnits(shown);
    if (!wasReopening)
        Chart->SetFollow(false);
    ShowUnit(shown ? *shown : reader_->Units().front(), !wasReopening);
    Chart->Adopt(job->TakeOverview());
    emit LogOpened(true);
}

unit::TUnitIdentity THistoryWindow::CurrentUnit() const {
    const int index = UnitBox->currentIndex();
    if (!reader_ || index < 0 || index >= static_cast<int>(reader_->Units().size()))
        return {};
    return reader_->Units()[static_cast<std::size_t>(index)];
}

void THistoryWindow::ReadLogAgain() {
    if (!reader_ || job_)
        return;
    if (watcher_ && !watcher_->files().contains(reader_->Path()))
        watcher_->addPath(reader_->Path()); // a file replaced by a rename is watched again
    // Much appended, or the file replaced by a longer one: read off this thread, whole.
    if (reader_->Unread() > kReadOnTheSpot) {
        const QString path = reader_->Path();
        OpenLog(path);
        reopening_ = true;
        return;
    }
    const unit::TUnitIdentity unit = CurrentUnit();
    reader_->ReadMore();
    // A log that is written anew drops what it held; its units are those of the new file.
    if (reader_->Restarted() || UnitBox->count() != static_cast<int>(reader_->Units().size()))
        FillUnits(unit);
    ShowUnit(unit, false);
}

void THistoryWindow::FillUnits(const std::optional<unit::TUnitIdentity>& keep) {
    filling_ = true;
    UnitBox->clear();
    int chosen = 0;
    if (reader_)
        for (const unit::TUnitIdentity& unit : reader_->Units()) {
            QString name = unit.Serial.isEmpty()
                               ? QCoreApplication::translate("history", "(без серийного номера)")
                               : unit.Serial;
            if (!unit.Location.isEmpty())
                name += QStringLiteral(" (%1)").arg(unit.Location);
            if (keep && keep->Serial == unit.Serial && keep->Location == unit.Location)
                chosen = UnitBox->count();
            UnitBox->addItem(name);
        }
    UnitBox->setCurrentIndex(UnitBox->count() > 0 ? chosen : -1);
    // The choice matters only when the log holds more than one unit.
    UnitBox->setVisible(UnitBox->count() > 1);
    filling_ = false;
}

void THistoryWindow::ShowUnit(const unit::TUnitIdentity& unit) {
    ShowUnit(unit, true);
}

void THistoryWindow::ShowUnit(const unit::TUnitIdentity& unit, bool fit) {
    if (!reader_ || reader_->Units().empty())
        return;
    const auto& units = reader_->Units();
    auto it = std::find_if(units.begin(), units.end(), [&](const unit::TUnitIdentity& each) {
        return each.Serial == unit.Serial && each.Location == unit.Location;
    });
    if (it == units.end())
        it = units.begin();
    const int index = static_cast<int>(it - units.begin());
    if (index != UnitBox->currentIndex()) {
        filling_ = true;
        UnitBox->setCurrentIndex(index);
        filling_ = false;
    }
    const THistoryStore* store = reader_->Store(*it);
    const bool changed = Chart->Store() != store;
    Chart->SetStore(store);
    if (changed && fit)
        Chart->ShowAll();
    ShowLogStatus();
}

void THistoryWindow::ShowLive() {
    CancelOpen();
    reader_.reset();
    delete watcher_;
    watcher_ = nullptr;
    FillUnits(std::nullopt);
    Chart->SetStore(live_);
    Chart->SetFollow(true);
    ShowLogStatus();
}

void THistoryWindow::closeEvent(QCloseEvent* event) {
    // Whatever is being read is given up with the window.
    CancelOpen();
    QWidget::closeEvent(event);
}

void THistoryWindow::LiveChanged() {
    if (!ShowingLive() || !isVisible())
        return;
    Chart->Refresh();
    // The count of live points grows with each poll, not only when the window opens.
    if (!reader_)
        ShowLogStatus();
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
    if (reader_->OtherUnitsRecords() > 0)
        text += QStringLiteral(", ") +
                QCoreApplication::translate("history", "не показаны записи устройств сверх %1: %n",
                                            nullptr, Count(reader_->OtherUnitsRecords()))
                    .arg(TLogReader::kMostUnits);
    if (reader_->Stride() > 1)
        text +=
            QStringLiteral(", ") +
            QCoreApplication::translate(
                "history", "журнал велик: показаны наименьшее и наибольшее из каждых %1 записей")
                .arg(reader_->Stride());
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
    // Encoded whole first, then put in the file's place in one step: a full disk leaves the old
    // file, never a cut one.
    QByteArray png;
    QBuffer buffer(&png);
    QString why;
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG") ||
        !framework::WriteInPlaceOf(path, png, why)) {
        qCWarning(lcHistory).noquote() << "the chart could not be saved to" << path << "-" << why;
        Status->setText(
            why.isEmpty()
                ? QCoreApplication::translate("history", "Не удалось сохранить %1").arg(path)
                : QCoreApplication::translate("history", "Не удалось сохранить %1: %2")
                      .arg(path, why));
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
