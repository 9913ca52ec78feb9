// The screenshot trigger of the poll and the picture it saves.

#include "../imaging/JpegDecoder.h"
#include "PanelTestSupport.h"
#include "app/InstallLayout.h"
#ifndef _WIN32 // a file size limit is a POSIX resource limit
#include "tests/support/FileSizeLimit.h"
#endif

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#ifndef _WIN32
#include <sys/stat.h>
#endif

using namespace paneltest;

namespace {

// A clock that moves on one second at every look, and a record of the positions it was read at,
// which are the positions that took a picture.
struct TShotClock {
    QDateTime next{QDate(2026, 12, 6), QTime(14, 15, 30)};
    std::vector<int> positions;
    QDateTime Now(const TDataBlock& data) {
        positions.push_back(data[block::kPosition]);
        const QDateTime now = next;
        next = next.addSecs(1);
        return now;
    }
};

class Screenshots : public PanelTest {
protected:
    void SetUp() override {
        PanelTest::SetUp();
        ASSERT_TRUE(folder.isValid());
        form->ScreenshotHooks.Now = [this] { return clock.Now(form->State.data_block); };
        form->ScreenshotHooks.Folder = [this] { return folder.path(); };
    }

    void PollAt(int position) {
        TDataBlock b = QuietBlock();
        b[block::kPosition] = static_cast<std::uint8_t>(position);
        b[block::kThreshold1] = 200;
        for (int i = 0; i < block::kSamplePairs; ++i)
            b[static_cast<std::size_t>(2 * i + 1)] = 50;
        SetFixedBlock(b);
        Poll();
    }

    QStringList Pictures() const { return QDir(folder.path()).entryList({"*.jpg"}, QDir::Files); }

    QTemporaryDir folder;
    TShotClock clock;
};

// The first value of the first quantisation table: 16 for the standard table at quality 50.
int FirstQuantisationValue(const QByteArray& jpeg) {
    const qsizetype dqt = jpeg.indexOf(QByteArray("\xFF\xDB", 2));
    if (dqt < 0 || dqt + 5 >= jpeg.size())
        return -1;
    return static_cast<unsigned char>(jpeg[dqt + 5]);
}

} // namespace

TEST_F(Screenshots, APictureAtEachRiseAboveTwoHundred) {
    Connect();
    form->CheckBox2->setChecked(true);
    for (int position : {180, 201, 230, 199, 150, 149, 205})
        PollAt(position);
    EXPECT_EQ(clock.positions, (std::vector<int>{201, 205}));
    EXPECT_EQ(Pictures(), (QStringList{"061226_141530.jpg", "061226_141531.jpg"}));
    EXPECT_TRUE(form->State.shot_latched);
    EXPECT_EQ(form->State.shot_position, 205);
    EXPECT_TRUE(form->Timer->isActive());
}

TEST_F(Screenshots, TheLatchWaitsWhileScreenshotsAreOff) {
    Connect();
    PollAt(230); // off: nothing, the latch stays open
    EXPECT_TRUE(clock.positions.empty());
    EXPECT_FALSE(form->State.shot_latched);

    form->CheckBox2->setChecked(true);
    PollAt(230); // ticked while above 200: a picture in the next cycle
    form->CheckBox2->setChecked(false);
    PollAt(100); // off: the fall is not seen, the latch holds
    EXPECT_TRUE(form->State.shot_latched);
    form->CheckBox2->setChecked(true);
    PollAt(230);
    EXPECT_EQ(clock.positions, (std::vector<int>{230}));
    PollAt(100);
    PollAt(230);
    EXPECT_EQ(clock.positions, (std::vector<int>{230, 230}));
}

TEST_F(Screenshots, TheTriggerNeedsTheFallBelowTheLastPicture) {
    form->CheckBox2->setChecked(true);
    form->ScreenshotTrigger(201);
    form->ScreenshotTrigger(140); // below 150 and below 201: re-armed
    EXPECT_FALSE(form->State.shot_latched);
    form->State.shot_latched = true;
    form->State.shot_position = 120; // a picture taken at a position that was lower
    form->ScreenshotTrigger(140);
    EXPECT_TRUE(form->State.shot_latched);
}

TEST_F(Screenshots, ThePictureShowsTheWindowAsItStands) {
    Connect();
    form->CheckBox2->setChecked(true);
    PollAt(210); // marker centred on x 418 of the image, 434 of the window
    const QStringList pictures = Pictures();
    ASSERT_EQ(pictures.size(), 1);
    QFile file(QDir(folder.path()).filePath(pictures[0]));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_EQ(FirstQuantisationValue(bytes), 16); // quality 50
    // Read back with libjpeg itself: Qt may be built without a JPEG reader (as for Windows).
    const testing_jpeg::Decoded picture = testing_jpeg::Decode(bytes);
    ASSERT_TRUE(picture.ok);

    // The outer size less 6 by 52, from the client area's corner.
    const QRect outer = form->frameGeometry();
    EXPECT_EQ(QSize(picture.width, picture.height), QSize(outer.width() - 6, outer.height() - 52));

    auto closeTo = [&](int x, int y, int r, int g, int b) {
        const QColor c = picture.At(x, y);
        return std::abs(c.red() - r) < 40 && std::abs(c.green() - g) < 40 &&
               std::abs(c.blue() - b) < 40;
    };
    EXPECT_TRUE(closeTo(16 + 200, 100, 255, 255, 255)); // the oscillogram's white
    EXPECT_TRUE(closeTo(16 + 418, 150, 128, 128, 128)); // the grey marker
    const QColor trace = picture.At(16 + 200, 205);
    EXPECT_GT(trace.red() - trace.green(), 40) << "channel B's red trace on row 205";
    const QColor above = picture.At(16 + 200, 200);
    EXPECT_LT(std::abs(above.red() - above.green()), 30);
    // The window's own background beside the image, not the oscillogram.
    const QColor face = form->palette().color(QPalette::Window);
    EXPECT_TRUE(closeTo(3, 150, face.red(), face.green(), face.blue()));
}

TEST_F(Screenshots, AFolderThatCannotBeWrittenSendsThePictureToThePicturesFolder) {
    const QDir fallback(QStandardPaths::writableLocation(QStandardPaths::PicturesLocation) +
                        "/Tarvenik");
    QDir(fallback).removeRecursively();
    Connect();
    form->CheckBox2->setChecked(true);
    form->ScreenshotHooks.Folder = [this] { return folder.filePath("missing/deeper"); };
    PollAt(230);
    EXPECT_EQ(clock.positions, (std::vector<int>{230})); // it tried
    EXPECT_TRUE(Pictures().isEmpty());
    EXPECT_TRUE(form->Timer->isActive()); // the poll went on
    EXPECT_EQ(form->Label41->text(), "Min значение OS1 = 0.00 В");
    EXPECT_EQ(fallback.entryList(QDir::Files | QDir::Hidden), QStringList{"061226_141530.jpg"});
    QDir(fallback).removeRecursively();
}

#ifndef _WIN32 // the install tree of the Linux layout; Windows has its own below
TEST_F(Screenshots, AnInstalledProgramNeverWritesIntoItsInstallTreeEvenWhereItCould) {
    const QDir fallback(QStandardPaths::writableLocation(QStandardPaths::PicturesLocation) +
                        "/Tarvenik");
    // An installed tree in miniature, every folder writable (as all are to root): the programs'
    // folder and the demo copies' (with the virtual pair beside them), the real pair in its
    // private folder as the layout places it from either.
    const QString programs = folder.filePath("usr/bin");
    const QString demo = folder.filePath("usr/lib/a/b/demo");
    for (const auto& place : {std::pair{programs, installlayout::kPrivateFromBin},
                              std::pair{demo, installlayout::kPrivateFromDemo}}) {
        const QString programFolder = place.first; // a plain name: the hook below captures it
        const auto privateFromIt = place.second;
        QDir(fallback).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(programFolder));
        const QString privateFolder = QDir::cleanPath(programFolder + "/" + privateFromIt);
        ASSERT_TRUE(QDir().mkpath(privateFolder));
        QFile besideModule(programFolder + "/libhidsvc.so");
        ASSERT_TRUE(besideModule.open(QIODevice::WriteOnly));
        besideModule.close();
        QFile privateModule(privateFolder + "/libhidsvc.so");
        ASSERT_TRUE(privateModule.open(QIODevice::WriteOnly));
        privateModule.close();
        form->ScreenshotHooks.Folder = [programFolder] { return programFolder; };

        form->make_screen_short();
        EXPECT_EQ(QDir(programFolder).entryList(QDir::Files | QDir::Hidden),
                  QStringList{"libhidsvc.so"})
            << programFolder.toStdString();
        EXPECT_EQ(fallback.entryList(QDir::Files | QDir::Hidden).size(), 1);

        // The same folder outside an install tree (program and modules side by side, as in a
        // build tree or an unpacked folder) keeps the pictures.
        ASSERT_TRUE(QFile::remove(privateFolder + "/libhidsvc.so"));
        form->make_screen_short();
        EXPECT_EQ(QDir(programFolder).entryList({"*.jpg"}, QDir::Files).size(), 1);
        ASSERT_TRUE(QDir(programFolder).removeRecursively());
    }
    QDir(fallback).removeRecursively();
}
#else
// An elevated panel could write into C:\Program Files\Tarvenik, and the uninstaller would leave
// the pictures there: the setup program's tree (its uninstaller at the top, the demo below) is
// never written; the same programs unpacked from the .zip keep their pictures beside them.
TEST_F(Screenshots, AnInstalledProgramNeverWritesIntoItsInstallTreeEvenWhereItCould) {
    const QDir fallback(QStandardPaths::writableLocation(QStandardPaths::PicturesLocation) +
                        "/Tarvenik");
    const QString top = folder.filePath("Program Files/Tarvenik");
    const QString demo = top + "/" + installlayout::kDemoFolder;
    ASSERT_TRUE(QDir().mkpath(demo));
    QFile uninstaller(top + "/" + installlayout::kUninstaller);
    ASSERT_TRUE(uninstaller.open(QIODevice::WriteOnly));
    uninstaller.close();
    for (const QString& programFolder : {top, demo}) {
        QDir(fallback).removeRecursively();
        form->ScreenshotHooks.Folder = [programFolder] { return programFolder; };
        form->make_screen_short();
        EXPECT_TRUE(QDir(programFolder).entryList({"*.jpg"}, QDir::Files).isEmpty())
            << programFolder.toStdString();
        EXPECT_EQ(fallback.entryList(QDir::Files | QDir::Hidden).size(), 1);
    }

    // Unpacked from the .zip: no uninstaller.
    ASSERT_TRUE(QFile::remove(top + "/" + installlayout::kUninstaller));
    for (const QString& programFolder : {top, demo}) {
        form->ScreenshotHooks.Folder = [programFolder] { return programFolder; };
        form->make_screen_short();
        EXPECT_EQ(QDir(programFolder).entryList({"*.jpg"}, QDir::Files).size(), 1)
            << programFolder.toStdString();
    }
    QDir(fallback).removeRecursively();
}
#endif

TEST_F(Screenshots, ALinkPlantedUnderThePicturesNameIsReplacedNotWrittenThrough) {
    const QString victim = folder.filePath("victim.txt");
    {
        QFile file(victim);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("keep me");
    }
    ASSERT_TRUE(QFile::link(victim, folder.filePath("061226_141530.jpg")));
    form->CheckBox2->setChecked(true);
    form->ScreenshotTrigger(230);

    QFile kept(victim);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "keep me");
    const QFileInfo picture(folder.filePath("061226_141530.jpg"));
    EXPECT_FALSE(picture.isSymLink());
    EXPECT_GT(picture.size(), 1000);
}

#ifndef _WIN32 // a FIFO, as a user may make one in the program's folder
TEST_F(Screenshots, AFifoUnderThePicturesNameStaysAndNoPartIsLeft) {
    const QString name = folder.filePath("061226_141530.jpg");
    ASSERT_EQ(::mkfifo(QFile::encodeName(name).constData(), 0600), 0);
    form->CheckBox2->setChecked(true);
    form->ScreenshotTrigger(230);
    EXPECT_EQ(clock.positions.size(), 1u); // it tried
    struct stat status {};
    ASSERT_EQ(::lstat(QFile::encodeName(name).constData(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));
    EXPECT_EQ(QDir(folder.path())
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
              QStringList{"061226_141530.jpg"});
}
#endif

#ifndef _WIN32 // a full disk is made with a POSIX file size limit
TEST_F(Screenshots, AFullDiskLeavesNoPictureAndNoPartOfOne) {
    form->CheckBox2->setChecked(true);
    {
        // Writes past a few bytes fail as on a full disk; the signal that would end the process is
        // ignored, as a full disk raises none.
        testsupport::TFileSizeLimit full(64);
        form->ScreenshotTrigger(230);
    }
    EXPECT_EQ(clock.positions.size(), 1u); // it tried
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList());

    // Two pictures in one second leave one file, the later.
    clock.next = clock.next.addSecs(-1);
    form->State.shot_latched = false;
    form->ScreenshotTrigger(230);
    clock.next = clock.next.addSecs(-1);
    form->State.shot_latched = false;
    form->ScreenshotTrigger(240);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{"061226_141530.jpg"});
}
#endif

TEST_F(Screenshots, WithoutHooksThePictureGoesBesideTheProgramNamedByTheTime) {
    form->ScreenshotHooks = {};
    QDir programFolder(QCoreApplication::applicationDirPath());
    const QStringList before = programFolder.entryList({"*.jpg"}, QDir::Files);
    form->make_screen_short();
    QStringList added = programFolder.entryList({"*.jpg"}, QDir::Files);
    for (const QString& name : before)
        added.removeAll(name);
    ASSERT_EQ(added.size(), 1);
    EXPECT_TRUE(QRegularExpression("^\\d{6}_\\d{6}\\.jpg$").match(added[0]).hasMatch())
        << added[0].toStdString();
    const QDateTime now = QDateTime::currentDateTime();
    EXPECT_TRUE(added[0].startsWith(now.toString("ddMMyy")) ||
                added[0].startsWith(now.addSecs(-5).toString("ddMMyy")));
    EXPECT_TRUE(programFolder.remove(added[0]));
}
