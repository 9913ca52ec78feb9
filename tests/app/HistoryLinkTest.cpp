// The measurement history beside the control window: opened from the oscillogram's context menu
// and with Ctrl+H, fed by the polls against the virtual unit, and its exports read back.

#include "PanelTestSupport.h"
#include "tests/support/ActiveWindow.h"

#include "app/HistoryLink.h"
#include "history/LogReader.h"
#include "history/Window.h"
#include "unit/Record.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QDialog>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace paneltest {
namespace {

class HistoryLinkTest : public PanelTest {
protected:
    void SetUp() override {
        PanelTest::SetUp();
        form->History->Clock = [this] { return now += 500; };
    }
    TDataBlock Measured(std::uint8_t os1Min) {
        TDataBlock b = QuietBlock();
        b[block::kOs1Min] = os1Min;
        b[block::kOs1Max] = 200;
        b[block::kOs2PulseTime] = 33;
        return b;
    }
    qint64 now = 1'740'000'000'000;
};

TEST_F(HistoryLinkTest, TheOscillogramsContextMenuOpensTheWindow) {
    EXPECT_EQ(form->Image->contextMenuPolicy(), Qt::ActionsContextMenu);
    const QList<QAction*> actions = form->Image->actions();
    ASSERT_EQ(actions.size(), 1);
    EXPECT_EQ(actions[0]->text(), QStringLiteral("История измерений…"));
    EXPECT_EQ(form->History->Window(), nullptr);
    actions[0]->trigger();
    ASSERT_NE(form->History->Window(), nullptr);
    EXPECT_TRUE(form->History->Window()->isVisible());
    EXPECT_EQ(form->History->Window()->Chart->Store(), &form->History->Store());
    // A second time raises the same window.
    history::THistoryWindow* first = form->History->Window();
    actions[0]->trigger();
    EXPECT_EQ(form->History->Window(), first);
}

TEST_F(HistoryLinkTest, CtrlHOpensTheWindow) {
    form->show();
    ASSERT_TRUE(testsupport::MakeActive(*form));
    QTest::keyClick(form->CheckBox1, Qt::Key_H, Qt::ControlModifier);
    ASSERT_NE(form->History->Window(), nullptr);
    EXPECT_TRUE(form->History->Window()->isVisible());
}

TEST_F(HistoryLinkTest, PollsFeedTheHistoryAndTheWindowFollows) {
    SetFixedBlock(Measured(40));
    Connect();
    form->History->Open();
    history::THistoryChart* chart = form->History->Window()->Chart;
    for (int i = 0; i < 3; ++i)
        Poll();
    const history::THistoryStore& store = form->History->Store();
    ASSERT_EQ(store.Size(), 3u);
    EXPECT_EQ(store.At(2).Time, now);
    EXPECT_EQ(store.At(2).Bytes[block::kOs1Min - history::kFirstKeptByte], 40);
    EXPECT_EQ(store.At(2).Bytes[block::kOs2PulseTime - history::kFirstKeptByte], 33);
    EXPECT_GE(chart->View().To, now);
    EXPECT_LT(chart->View().From, now);

    SetFixedBlock(Measured(90));
    Poll();
    EXPECT_EQ(store.At(3).Bytes[block::kOs1Min - history::kFirstKeptByte], 90);
    EXPECT_GE(chart->View().To, now);

    // Unticking is a gap: the line does not run on to the next connection.
    form->CheckBox1->setChecked(false);
    ASSERT_EQ(store.Size(), 5u);
    EXPECT_EQ(store.At(4).Gap, static_cast<std::uint8_t>(history::TGapReason::Unticked));
}

TEST_F(HistoryLinkTest, AnUnpluggedUnitIsAGap) {
    SetFixedBlock(Measured(40));
    Connect();
    Poll();
    UnplugNow(0);
    Poll();
    const history::THistoryStore& store = form->History->Store();
    ASSERT_EQ(store.Size(), 2u);
    EXPECT_EQ(store.At(1).Gap, static_cast<std::uint8_t>(history::TGapReason::Unplugged));
}

// The benchmark's switch: off, neither polls nor gaps are kept; on again, the next poll is.
TEST_F(HistoryLinkTest, NothingIsKeptWhileRecordingIsOff) {
    SetFixedBlock(Measured(40));
    Connect();
    form->History->Recording = false;
    Poll();
    EXPECT_TRUE(form->History->Store().Empty());
    form->History->Recording = true;
    Poll();
    EXPECT_EQ(form->History->Store().Size(), 1u);
    form->History->Recording = false;
    UnplugNow(0);
    Poll();
    EXPECT_EQ(form->History->Store().Size(), 1u) << "the unplugged unit was kept as a gap";
}

// The close button and SIGTERM both close the control window: the history window must go with it,
// whatever it is doing, or the program, with a window still shown, never ends.
TEST_F(HistoryLinkTest, ClosingThePanelClosesTheHistoryWindowAndGivesUpItsJob) {
    QByteArray place;
    form->History->RememberPlace = [&place](const QByteArray& kept) { place = kept; };
    form->show();
    form->History->Open();
    history::THistoryWindow* window = form->History->Window();
    ASSERT_TRUE(window->isVisible());
    QTemporaryDir folder;
    const QString log = folder.filePath(QStringLiteral("log.csv"));
    {
        QFile file(log);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        QByteArray all = unit::CsvHeader().toUtf8();
        for (int i = 0; i < 2000; ++i)
            all += unit::CsvRecord(QDateTime::fromMSecsSinceEpoch(now + i * 500), Measured(40),
                                   form->HeldIdentity)
                       .toUtf8();
        ASSERT_EQ(file.write(all), all.size());
    }
    window->OpenLog(log);
    ASSERT_TRUE(window->Opening());

    form->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->Opening());
    for (QWidget* top : QApplication::topLevelWidgets())
        EXPECT_FALSE(top->isVisible()) << top->objectName().toStdString();
    EXPECT_FALSE(place.isEmpty());
    // What the reading thread had done is dropped.
    QCoreApplication::processEvents();
    EXPECT_TRUE(window->ShowingLive());
}

// A file dialog of the history window runs a loop of its own: closing the panel answers it, or
// the program would wait in it.
TEST_F(HistoryLinkTest, ClosingThePanelAnswersTheHistoryWindowsFileDialog) {
    form->show();
    form->History->Open();
    history::THistoryWindow* window = form->History->Window();
    bool closed = false, dialogShown = false, dialogLeft = false;
    QTimer::singleShot(0, form.get(), [&] {
        for (QDialog* dialog : window->findChildren<QDialog*>())
            dialogShown = dialogShown || dialog->isVisible();
        form->close();
        closed = true;
        for (QDialog* dialog : window->findChildren<QDialog*>())
            dialogLeft = dialogLeft || dialog->isVisible();
    });
    // Should the dialog stay, the test fails instead of waiting for ever.
    QTimer::singleShot(5000, window, [window] {
        for (QDialog* dialog : window->findChildren<QDialog*>())
            dialog->reject();
    });
    window->OpenButton->click(); // returns once the dialog has been answered
    EXPECT_TRUE(closed);
    EXPECT_TRUE(dialogShown);
    EXPECT_FALSE(dialogLeft);
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->Opening());
}

TEST_F(HistoryLinkTest, ExportsOfTheLiveRangeReadBackToTheSameValues) {
    Connect();
    for (std::uint8_t v : {10, 60, 120, 250}) {
        SetFixedBlock(Measured(v));
        Poll();
    }
    form->History->Open();
    history::THistoryWindow* window = form->History->Window();
    window->Chart->SetFollow(false);
    window->Chart->SetRange(now - 60'000, now + 1);
    QTemporaryDir folder;
    const QString csv = folder.filePath(QStringLiteral("range.csv"));
    const QString png = folder.filePath(QStringLiteral("range.png"));
    window->AskPath = [&](bool, const QString& filter) {
        return filter.contains(QStringLiteral("png")) ? png : csv;
    };
    window->CsvButton->click();
    window->PngButton->click();
    EXPECT_FALSE(QImage(png).isNull());

    history::TLogReader reader(csv);
    ASSERT_TRUE(reader.ReadMore());
    EXPECT_EQ(reader.Malformed(), 0u);
    ASSERT_EQ(reader.Units().size(), 1u);
    EXPECT_EQ(reader.Units()[0].Serial, form->HeldIdentity.Serial);
    const history::THistoryStore* back = reader.Store(reader.Units()[0]);
    const history::THistoryStore& live = form->History->Store();
    ASSERT_EQ(back->Size(), live.Size());
    for (std::size_t i = 0; i < live.Size(); ++i) {
        EXPECT_EQ(back->At(i).Time, live.At(i).Time);
        EXPECT_EQ(back->At(i).Bytes, live.At(i).Bytes);
    }
}

} // namespace
} // namespace paneltest
