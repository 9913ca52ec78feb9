// Preloaded (LD_PRELOAD) into an installed copy of the panel by check-package, and on Windows
// loaded into it by Qt as a generic plugin (QT_QPA_GENERIC_PLUGINS=tarvenikprobe, the DLL in the
// program's generic\ folder) by tests/installer: it drives the window as a user would and ends
// the program with a verdict, so the check proves the installed files work together, not only
// that they are there. The program itself knows nothing of it.
//
// Environment:
//   TARVENIK_PROBE          "plain": the window shows, disconnected, with the module pair loaded
//                           from TARVENIK_PROBE_MODULES; then the program quits.
//                           "demo": the same, then ticks "CheckBox1" and waits until polls found
//                           the virtual unit and feature reports reached it; then opens the
//                           history window by its Ctrl+H action and waits until its chart shows
//                           the live polls.
//                           "unit": against a real unit (the kernel machine's USB gadget, under
//                           wine too): ticks "CheckBox1", waits for the caption of a found unit
//                           and two live points in the history window, then saves the OS2
//                           length 9 ("SpinEdit38", the function "Сохранить переменные в
//                           eeprom", "GoButton") and waits for two more points. The modules are
//                           checked only when TARVENIK_PROBE_MODULES names a folder.
//                           "text": the same as "plain", then reports the ink of Label1's text as
//                           grab() draws it at the screen's scaling (see InkOf), so that the
//                           check compares it across scalings.
//                           Unset: the library does nothing (it is also loaded into the
//                           launcher's shell and its helpers on the way).
//   TARVENIK_PROBE_MODULES  the folder the two modules must have been loaded from.
//   TARVENIK_PROBE_SECONDS  the time allowed for all of it (default 30).
//   TARVENIK_PROBE_LANGUAGE "en": the window's texts must be English, else the Russian ones.
//   TARVENIK_PROBE_DESKTOP  the desktop file name the program must give (default "tarvenik").
// Every window must show an icon.
// Ends the event loop with 0 after printing "package-probe: PASS ...", or with 1 after
// "package-probe: FAIL ...".

#include "platform/virtual/VirtualUnitControl.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFontInfo>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <QImage>
#include <QPixmap>

#include <algorithm>
#include <cstdio>
#ifdef _WIN32
#include <QGenericPlugin>
#include <psapi.h>
#include <windows.h>
#else
#include <link.h>
#endif

namespace {

// Where a label's text put ink (device pixels darker than mid-grey) when drawn at the screen's
// scaling: a text drawn whole at 150 % has 1.5 times the extent of 100 %'s, and 2.25 times the
// pixels; glyphs that lose a part fall short.
QString InkOf(QWidget* label) {
    const QImage image = label->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int left = image.width(), right = -1, top = image.height(), bottom = -1, dark = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(row[x]) >= 128)
                continue;
            ++dark;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    return QStringLiteral("ratio %1, ink %2x%3 from x %4, %5 dark pixels, \"%6\" in %7")
        .arg(image.devicePixelRatio())
        .arg(std::max(0, right - left + 1))
        .arg(std::max(0, bottom - top + 1))
        .arg(left)
        .arg(dark)
        .arg(label->property("text").toString(), QFontInfo(label->font()).family());
}

const QString kIdleCaption = QStringLiteral("Tarvenik. www.mirdal-vk.example ");

// What the windows say in each language: the caption of a found unit, two controls' texts, and the
// history window's title and (a pattern) its count of live points, more than none.
struct Texts {
    QString found, connect, pollPeriod, history, livePoints;
};
const Texts kRussian{QStringLiteral("Устройство обнаруженно :)"), QStringLiteral("Подключение"),
                     QStringLiteral("Период опроса"), QStringLiteral("История измерений"),
                     QStringLiteral("^Текущие измерения, точек: ([1-9][0-9]*)$")};
const Texts kEnglish{QStringLiteral("Device found :)"), QStringLiteral("Connect"),
                     QStringLiteral("Poll period"), QStringLiteral("Measurement history"),
                     QStringLiteral("^Live measurements: ([1-9][0-9]*) points?$")};
constexpr int kReadsWanted = 4; // the read-back's two reads on connecting, and two polls
// What the "unit" mode saves: the OS2 length field, and the selector's item of the save.
constexpr const char* kSavedField = "SpinEdit38";
constexpr const char* kSavedValue = "9";
constexpr int kSaveItem = 2;

enum class Mode { Plain, Demo, Unit, Text };
const char* ModeName(Mode mode) {
    return mode == Mode::Plain  ? "plain"
           : mode == Mode::Demo ? "demo"
           : mode == Mode::Unit ? "unit"
                                : "text";
}

// The folder each loaded module file came from, by file name.
struct LoadedModules {
    QString hidsvc, setupsvc;
};

#ifdef _WIN32
// The demo's pair carries names of its own (hidsvc.dll, setupsvc.dll), which nothing of the system
// loads: a module of that name from the wanted folder is the one looked for.
LoadedModules ModulesFrom(const QString& wanted) {
    LoadedModules found;
    HMODULE modules[1024];
    DWORD bytes = 0;
    if (!EnumProcessModules(GetCurrentProcess(), modules, sizeof modules, &bytes))
        return found;
    for (DWORD i = 0; i < bytes / sizeof(HMODULE); ++i) {
        wchar_t path[MAX_PATH];
        const DWORD length = GetModuleFileNameW(modules[i], path, MAX_PATH);
        const QFileInfo file(QString::fromWCharArray(path, static_cast<int>(length)));
        if (file.canonicalPath() != wanted)
            continue;
        if (file.fileName().compare(QLatin1String("hidsvc.dll"), Qt::CaseInsensitive) == 0)
            found.hidsvc = wanted;
        else if (file.fileName().compare(QLatin1String("setupsvc.dll"), Qt::CaseInsensitive) == 0)
            found.setupsvc = wanted;
    }
    return found;
}
#else
int noteModule(dl_phdr_info* info, size_t, void* data) {
    auto* found = static_cast<LoadedModules*>(data);
    const QFileInfo file(QString::fromLocal8Bit(info->dlpi_name));
    if (file.fileName() == QLatin1String("libhidsvc.so"))
        found->hidsvc = file.canonicalPath();
    else if (file.fileName() == QLatin1String("libsetupsvc.so"))
        found->setupsvc = file.canonicalPath();
    return 0;
}

LoadedModules ModulesFrom(const QString&) {
    LoadedModules loaded;
    dl_iterate_phdr(noteModule, &loaded);
    return loaded;
}
#endif

class Probe : public QObject {
public:
    Probe(Mode mode, QString modules, int seconds, QObject* parent)
        : QObject(parent), mode_(mode), modules_(std::move(modules)), limitMs_(seconds * 1000),
          texts_(qEnvironmentVariable("TARVENIK_PROBE_LANGUAGE") == QLatin1String("en") ? kEnglish
                                                                                        : kRussian),
          desktopFile_(qEnvironmentVariable("TARVENIK_PROBE_DESKTOP", QStringLiteral("tarvenik"))) {
        clock_.start();
        connect(&tick_, &QTimer::timeout, this, &Probe::step);
        tick_.start(100);
    }

private:
    enum class Stage { WaitWindow, WaitPolls, WaitHistory, WaitSaved };

    void step() {
        if (clock_.elapsed() > limitMs_)
            return finish(false, waitingFor());
        QWidget* window = panel();
        if (window == nullptr)
            return;
        if (stage_ == Stage::WaitWindow)
            return windowShown(window);
        if (stage_ == Stage::WaitPolls)
            return pollsSeen(window);
        if (stage_ == Stage::WaitHistory)
            return historyShown(window);
        savedAndPolled();
    }

    // The top-level window that holds the connect box.
    QWidget* panel() {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (auto* box = top->findChild<QCheckBox*>(QStringLiteral("CheckBox1")))
                if (top->isVisible() && top->isWindow()) {
                    box_ = box;
                    return top;
                }
        }
        return nullptr;
    }

    void windowShown(QWidget* window) {
        if (window->windowTitle() != kIdleCaption)
            return finish(false, "caption on start-up: \"" + window->windowTitle() + "\"");
        if (box_->isChecked())
            return finish(false, QStringLiteral("CheckBox1 is ticked on start-up"));
        // The icon comes after the first frame.
        iconless_ = window->windowIcon().isNull();
        if (iconless_)
            return;
        if (QGuiApplication::desktopFileName() != desktopFile_)
            return finish(false, "desktop file name \"" + QGuiApplication::desktopFileName() +
                                     "\", not \"" + desktopFile_ + "\"");
        auto* pollPeriod = window->findChild<QLabel*>(QStringLiteral("Label1"));
        if (box_->text() != texts_.connect || !pollPeriod ||
            pollPeriod->text() != texts_.pollPeriod)
            return finish(false, "texts \"" + box_->text() + "\" and \"" +
                                     (pollPeriod ? pollPeriod->text() : QString()) + "\", not \"" +
                                     texts_.connect + "\" and \"" + texts_.pollPeriod + "\"");
        const QString wanted = QDir(modules_).canonicalPath();
        const LoadedModules loaded = ModulesFrom(wanted);
        if ((mode_ != Mode::Unit || !modules_.isEmpty()) &&
            (wanted.isEmpty() || loaded.hidsvc != wanted || loaded.setupsvc != wanted))
            return finish(false, "modules loaded from \"" + loaded.hidsvc + "\" and \"" +
                                     loaded.setupsvc + "\", not from \"" + modules_ + "\"");
        if (mode_ == Mode::Text)
            return finish(true, "text: " + InkOf(pollPeriod));
        if (mode_ == Mode::Plain)
            return finish(true, "window shown, disconnected, \"" + box_->text() + "\", icon, " +
                                    desktopFile_ + ".desktop, modules from " + wanted);
        if (mode_ == Mode::Demo) {
            unit_ = virtualunit::resolveVirtualUnitControl();
            if (!unit_.complete())
                return finish(false, QStringLiteral("no virtual unit controls in libsetupsvc.so"));
        }
        stage_ = Stage::WaitPolls;
        box_->click();
    }

    void pollsSeen(QWidget* window) {
        caption_ = window->windowTitle();
        reads_ = 0;
        const int count = mode_ == Mode::Demo ? unit_.LogCount() : 0;
        for (int i = 0; i < count; ++i) {
            VirtualUnitLogEntry entry{};
            if (unit_.LogEntry(i, &entry) == 0 && entry.direction == 1 && entry.length == 252)
                ++reads_;
        }
        // A real unit's reads are not seen from here: the history's live points count them.
        if (caption_ != texts_.found || (mode_ == Mode::Demo && reads_ < kReadsWanted) ||
            !box_->isChecked())
            return;
        auto* history = window->findChild<QAction*>(QStringLiteral("HistoryAction"));
        if (!history || history->shortcut() != QKeySequence(Qt::CTRL | Qt::Key_H))
            return finish(false, QStringLiteral("no history action on Ctrl+H"));
        stage_ = Stage::WaitHistory;
        history->trigger();
    }

    // The number of live points the history window shows, or -1 while it shows none.
    int livePoints() {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top->objectName() != QLatin1String("HistoryWindow") || !top->isVisible())
                continue;
            historyTitle_ = top->windowTitle();
            if (historyTitle_ != texts_.history || top->windowIcon().isNull() ||
                !top->findChild<QWidget*>(QStringLiteral("HistoryChart")))
                return -1;
            const QRegularExpression livePoints(texts_.livePoints);
            for (const QLabel* label : top->findChildren<QLabel*>()) {
                const QRegularExpressionMatch match = livePoints.match(label->text());
                if (match.hasMatch()) {
                    pointsText_ = label->text();
                    return match.captured(1).toInt();
                }
            }
        }
        return -1;
    }

    // The history window, shown with its icon, counting the live polls it has drawn.
    void historyShown(QWidget* window) {
        const int points = livePoints();
        if (points < 1)
            return;
        if (mode_ == Mode::Unit)
            return save(window, points);
        finish(true, QStringLiteral("connected to the virtual unit, %1 feature reads, "
                                    "caption \"%2\", icon, %3.desktop, platform %4, "
                                    "history \"%5\": \"%6\"")
                         .arg(reads_)
                         .arg(caption_, desktopFile_, QGuiApplication::platformName(),
                              historyTitle_, pointsText_));
    }

    // Two polls after connecting, the OS2 length is saved as a user would save it.
    void save(QWidget* window, int points) {
        if (points < 2)
            return;
        auto* field = window->findChild<QLineEdit*>(QLatin1String(kSavedField));
        auto* functions = window->findChild<QComboBox*>(QStringLiteral("FuncComboBox"));
        auto* go = window->findChild<QPushButton*>(QStringLiteral("GoButton"));
        if (!field || !functions || !go || !field->isEnabled() || !go->isEnabled())
            return finish(false, QStringLiteral("no enabled %1, FuncComboBox and GoButton")
                                     .arg(QLatin1String(kSavedField)));
        field->setText(QLatin1String(kSavedValue));
        functions->setCurrentIndex(kSaveItem);
        go->click();
        pointsAtSave_ = points;
        stage_ = Stage::WaitSaved;
    }

    void savedAndPolled() {
        const int points = livePoints();
        if (points < pointsAtSave_ + 2)
            return;
        finish(true, QStringLiteral("connected to the unit, caption \"%1\", %2 = %3 saved, "
                                    "history \"%4\"")
                         .arg(caption_, QLatin1String(kSavedField), QLatin1String(kSavedValue),
                              pointsText_));
    }

    QString waitingFor() const {
        if (stage_ == Stage::WaitWindow)
            return iconless_ ? QStringLiteral("the window has no icon")
                             : QStringLiteral("no window with CheckBox1 was shown");
        if (stage_ == Stage::WaitHistory)
            return "the history window did not show the polls: title \"" + historyTitle_ + "\"";
        if (stage_ == Stage::WaitSaved)
            return "no polls after the save: \"" + pointsText_ + "\"";
        return QStringLiteral("no poll found the unit: caption \"%1\", %2 feature reads")
            .arg(caption_)
            .arg(reads_);
    }

    void finish(bool passed, const QString& what) {
        tick_.stop();
        std::fprintf(stderr, "package-probe: %s %s: %s\n", passed ? "PASS" : "FAIL",
                     ModeName(mode_), qUtf8Printable(what));
        std::fflush(stderr);
        QCoreApplication::exit(passed ? 0 : 1);
    }

    const Mode mode_;
    const QString modules_;
    const qint64 limitMs_;
    const Texts texts_;
    const QString desktopFile_;
    QElapsedTimer clock_;
    QTimer tick_;
    Stage stage_ = Stage::WaitWindow;
    QCheckBox* box_ = nullptr;
    virtualunit::VirtualUnitControl unit_;
    QString caption_;
    int reads_ = 0;
    bool iconless_ = false;
    QString historyTitle_;
    QString pointsText_;
    int pointsAtSave_ = 0;
};

void startProbe() {
    const QByteArray mode = qgetenv("TARVENIK_PROBE");
    if (mode.isEmpty())
        return;
    if (mode != "plain" && mode != "demo" && mode != "unit" && mode != "text") {
        std::fprintf(stderr, "package-probe: FAIL: unknown TARVENIK_PROBE \"%s\"\n",
                     mode.constData());
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [] { QCoreApplication::exit(1); }, Qt::QueuedConnection);
        return;
    }
    bool ok = false;
    int seconds = qEnvironmentVariableIntValue("TARVENIK_PROBE_SECONDS", &ok);
    if (!ok || seconds <= 0)
        seconds = 30;
    // This runs inside the application object's constructor; the probe starts once the event
    // loop runs, owned by the application object, so it goes when the program ends.
    const Mode probeMode = mode == "demo"   ? Mode::Demo
                           : mode == "unit" ? Mode::Unit
                           : mode == "text" ? Mode::Text
                                            : Mode::Plain;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [probeMode, seconds] {
            new Probe(probeMode, qEnvironmentVariable("TARVENIK_PROBE_MODULES"), seconds,
                      QCoreApplication::instance());
        },
        Qt::QueuedConnection);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(startProbe)

#ifdef _WIN32
// Only what makes Qt load the DLL: loading it starts the probe.
class ProbePlugin : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "probe-plugin.json")
public:
    QObject* create(const QString&, const QString&) override { return nullptr; }
};

#include "PackageProbe.moc"
#endif
