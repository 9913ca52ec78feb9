#include "HistoryTestSupport.h"

#include "history/Window.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace history;
using namespace historytest;

namespace {

class HistoryWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 240; ++i)
            live.Measurement(kStart + i * kPoll, Block(static_cast<std::uint8_t>(40 + i % 20)),
                             {QStringLiteral("A"), {}});
        window = std::make_unique<THistoryWindow>(&live);
        window->show();
    }
    THistoryStore live;
    std::unique_ptr<THistoryWindow> window;
};

} // namespace

TEST_F(HistoryWindowTest, FollowsTheLatestAndStopsWhenMovedBack) {
    THistoryChart* chart = window->Chart;
    EXPECT_TRUE(window->FollowBox->isChecked());
    chart->Refresh();
    EXPECT_GT(chart->View().To, live.At(live.Size() - 1).Time);
    live.Measurement(kStart + 10'000'000, Block(1), {QStringLiteral("A"), {}});
    window->LiveChanged();
    EXPECT_GT(chart->View().To, kStart + 10'000'000);

    chart->setFocus();
    QTest::keyClick(chart, Qt::Key_Left);
    EXPECT_FALSE(window->FollowBox->isChecked());
    const qint64 to = chart->View().To;
    live.Measurement(kStart + 20'000'000, Block(1), {QStringLiteral("A"), {}});
    window->LiveChanged();
    EXPECT_EQ(chart->View().To, to);
    QTest::keyClick(chart, Qt::Key_End);
    EXPECT_TRUE(window->FollowBox->isChecked());
    EXPECT_GT(chart->View().To, kStart + 20'000'000);
}

TEST_F(HistoryWindowTest, KeysZoomAndPan) {
    THistoryChart* chart = window->Chart;
    chart->SetFollow(false);
    chart->SetRange(kStart, kStart + 120'000);
    QTest::keyClick(chart, Qt::Key_Plus);
    EXPECT_EQ(chart->View().To - chart->View().From, 60'000);
    QTest::keyClick(chart, Qt::Key_Minus);
    QTest::keyClick(chart, Qt::Key_Minus);
    EXPECT_EQ(chart->View().To - chart->View().From, 240'000);
    const qint64 from = chart->View().From;
    QTest::keyClick(chart, Qt::Key_Right);
    EXPECT_EQ(chart->View().From, from + 24'000);
    // Never narrower than ten seconds.
    for (int i = 0; i < 20; ++i)
        QTest::keyClick(chart, Qt::Key_Plus);
    EXPECT_EQ(chart->View().To - chart->View().From, THistoryChart::kShortestSpan);
}

TEST_F(HistoryWindowTest, LegendBoxesHideSeriesAndTheDescriptionTellsTheRange) {
    window->SeriesBoxes[2]->click();
    EXPECT_FALSE(window->Chart->SeriesVisible(2));
    window->Chart->SetFollow(false);
    window->Chart->SetRange(kStart, kStart + 240 * kPoll);
    EXPECT_FALSE(window->Chart->accessibleName().isEmpty());
    const QString description = window->Chart->RangeDescription();
    // OS1 min runs over counts 40 to 59 at scale 64.
    EXPECT_TRUE(description.contains(QStringLiteral("0.69"))) << description.toStdString();
    EXPECT_TRUE(description.contains(QStringLiteral("1.01"))) << description.toStdString();
}

TEST_F(HistoryWindowTest, ALogOfSeveralUnitsOffersTheChoice) {
    ASSERT_TRUE(window->OpenLog(Data("units.jsonl")));
    EXPECT_FALSE(window->ShowingLive());
    EXPECT_FALSE(window->FollowBox->isChecked());
    ASSERT_EQ(window->UnitBox->count(), 2);
    EXPECT_TRUE(window->UnitBox->isVisible());
    EXPECT_EQ(window->Chart->Store()->Size(), 4u);
    window->UnitBox->setCurrentIndex(1);
    EXPECT_EQ(window->Chart->Store()->Size(), 2u);
    window->LiveButton->click();
    EXPECT_TRUE(window->ShowingLive());
    EXPECT_EQ(window->Chart->Store(), &live);
    EXPECT_FALSE(window->UnitBox->isVisible());
}

TEST_F(HistoryWindowTest, AFileThatIsNoLogLeavesTheChartAndSaysWhy) {
    EXPECT_FALSE(window->OpenLog(Data("notalog.txt")));
    EXPECT_TRUE(window->ShowingLive());
    EXPECT_TRUE(window->Status->text().contains(QStringLiteral("notalog.txt")));
    EXPECT_EQ(window->Chart->Store(), &live);
}

TEST_F(HistoryWindowTest, TheOpenButtonAsksForAFile) {
    window->AskPath = [](bool save, const QString&) {
        return save ? QString() : Data("current.csv");
    };
    QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
    window->OpenButton->click();
    EXPECT_FALSE(window->ShowingLive());
    EXPECT_EQ(window->Chart->Store()->Size(), 5u);
}

TEST_F(HistoryWindowTest, PngExportIsTheChart) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("chart.png"));
    ASSERT_TRUE(window->ExportPng(path));
    const QImage image(path);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), window->Chart->size() * window->Chart->devicePixelRatioF());
    // The first series is drawn in its colour somewhere.
    bool found = false;
    for (int y = 0; y < image.height() && !found; ++y)
        for (int x = 0; x < image.width() && !found; ++x)
            found = image.pixel(x, y) == SeriesInfo(0).Colour.rgb();
    EXPECT_TRUE(found);
}
