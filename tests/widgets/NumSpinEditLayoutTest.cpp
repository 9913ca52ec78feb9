// Where the button sits, how tall the field must be, and where text may go.

#include "WidgetTestSupport.h"

#include <QFontMetrics>
#include <QPointer>
#include <QStyle>
#include <gtest/gtest.h>

using namespace widgettest;

namespace {

// Tall enough for any font the offscreen platform picks.
constexpr int kWidth = 61;
constexpr int kHeight = 40;

} // namespace

TEST(NumSpinEditLayout, HeightNeverFallsBelowTheMinimum) {
    TNumSpinEdit f;
    EXPECT_EQ(f.MinimumHeight(), QFontMetrics(f.font()).height() + 4 + 1);
    f.show();
    f.resize(kWidth, 5);
    EXPECT_EQ(f.height(), f.MinimumHeight());
    QFont big = f.font();
    big.setPixelSize(QFontMetrics(big).height() * 3);
    f.setFont(big);
    EXPECT_GT(f.MinimumHeight(), 3 * QFontMetrics(QFont()).height());
    EXPECT_EQ(f.height(), f.MinimumHeight());
}

TEST(NumSpinEditLayout, HeightHeldBelowTheMinimumStillPlacesTheButton) {
    TNumSpinEdit f;
    const int H = f.MinimumHeight() - 2;
    f.setMaximumHeight(H);
    f.show();
    f.resize(kWidth, H);
    ASSERT_EQ(f.height(), H);
    EXPECT_EQ(f.ButtonHolder()->geometry(), QRect(kWidth - H + 1, 1, H - 3, H - 3));
    EXPECT_EQ(f.textMargins(), QMargins(0, 0, H - 3 + 2, 0));
}

TEST(NumSpinEditLayout, DiagonalButtonSitsInsideTheSunkenEdge) {
    TNumSpinEdit f;
    f.show();
    f.resize(kWidth, kHeight);
    const int H = kHeight;
    // (W - H - 1, -1) inside the 2-pixel edge, (H - 3) square.
    EXPECT_EQ(f.ButtonHolder()->geometry(), QRect(kWidth - H + 1, 1, H - 3, H - 3));
    EXPECT_EQ(f.Button()->geometry(), QRect(0, 0, H - 3, H - 3));
    EXPECT_EQ(f.ButtonWidth(), H - 3);
    EXPECT_EQ(f.textMargins(), QMargins(0, 0, H - 3 + 2, 0));
    // The row above the edge's inside is hidden, as the native child window's.
    EXPECT_FALSE(f.ButtonHolder()->mask().contains(QPoint(5, 0)));
    EXPECT_TRUE(f.ButtonHolder()->mask().contains(QPoint(5, 1)));

    f.setFrame(false);
    f.PlaceButton();
    EXPECT_EQ(f.ButtonHolder()->geometry(), QRect(kWidth - H, 0, H, H));
    EXPECT_EQ(f.Button()->size(), QSize(H, H));
}

TEST(NumSpinEditLayout, RightToLeftMovesTheButtonLeft) {
    TNumSpinEdit f;
    f.show();
    f.resize(kWidth, kHeight);
    f.setLayoutDirection(Qt::RightToLeft);
    EXPECT_EQ(f.ButtonHolder()->geometry(), QRect(1, 1, kHeight - 3, kHeight - 3));
    EXPECT_EQ(f.textMargins(), QMargins(kHeight - 3 + 1, 0, 1, 0));
}

TEST(NumSpinEditLayout, TextNeverRunsUnderTheButton) {
    TNumSpinEdit f;
    f.show();
    f.resize(kWidth, kHeight);
    f.setText(QString(40, u'8'));
    f.end(false);
    f.grab(); // the edit scrolls its text while painting
    // The cursor rectangle is padded for repainting; its middle is the caret.
    const QRect caret = f.inputMethodQuery(Qt::ImCursorRectangle).toRect();
    EXPECT_GT(caret.center().x(), f.ButtonHolder()->x() - 10) << "the text did scroll";
    EXPECT_LT(caret.center().x(), f.ButtonHolder()->x());
}

TEST(NumSpinEditLayout, StandardKindIsAnUpDownAtTheRightEdge) {
    TNumSpinEdit f;
    f.show();
    f.resize(kWidth, kHeight);
    QPointer<QWidget> holder = f.ButtonHolder();
    f.SetButtonKind(bkStandard);
    EXPECT_TRUE(holder.isNull()) << "the diagonal button and its holder are gone";
    EXPECT_EQ(f.Button(), nullptr);
    ASSERT_NE(f.UpDown(), nullptr);
    const int w = f.DefaultButtonWidth();
    EXPECT_LE(w, 15);
    EXPECT_EQ(f.UpDown()->geometry(), QRect(kWidth - 2 - w, 2, w, kHeight - 4));
    EXPECT_EQ(f.textMargins().right(), w + 2);
    f.UpDown()->resize(40, 10);
    EXPECT_EQ(f.UpDown()->width(), w) << "the width always comes back";

    f.setLayoutDirection(Qt::RightToLeft);
    EXPECT_EQ(f.UpDown()->x(), 2);

    QPointer<TNumUpDown> upDown = f.UpDown();
    f.SetButtonKind(bkStandard);
    EXPECT_EQ(f.UpDown(), upDown.data()) << "no rebuild without a change of kind";
    f.SetButtonKind(bkDiagonal);
    EXPECT_TRUE(upDown.isNull());
    EXPECT_NE(f.Button(), nullptr);
}

TEST(NumSpinEditLayout, OldSystemsAlwaysGetTheDiagonalButton) {
    SystemVersionScope old(3);
    TNumSpinEdit f;
    QPointer<TNumSpinButton> button = f.Button();
    f.SetButtonKind(bkStandard);
    EXPECT_EQ(f.ButtonKind(), bkStandard);
    EXPECT_EQ(f.UpDown(), nullptr);
    EXPECT_EQ(f.Button(), button.data());
    f.show();
    f.resize(kWidth, kHeight);
    EXPECT_EQ(f.ButtonHolder()->geometry(), QRect(kWidth - kHeight + 2, 2, kHeight, kHeight))
        << "without the 3-D look the holder is H x H at W - H";
}

TEST(NumSpinEditLayout, EnablingTheFieldEnablesItsButton) {
    TNumSpinEdit f;
    f.setEnabled(false);
    EXPECT_FALSE(f.Button()->isEnabled());
    f.setEnabled(true);
    EXPECT_TRUE(f.Button()->isEnabled());
    f.SetButtonKind(bkStandard);
    f.setEnabled(false);
    EXPECT_FALSE(f.UpDown()->isEnabled());
}

TEST(NumSpinEditLayout, AlignmentMapsToTheEditAlignment) {
    TNumSpinEdit f;
    EXPECT_TRUE(f.alignment() & Qt::AlignLeft);
    f.SetAlignment(taRightJustify);
    EXPECT_TRUE(f.alignment() & Qt::AlignRight);
    f.SetAlignment(taCenter);
    EXPECT_TRUE(f.alignment() & Qt::AlignHCenter);
    EXPECT_EQ(f.Alignment(), taCenter);
    f.SetAlignment(taLeftJustify);
    f.setLayoutDirection(Qt::RightToLeft);
    EXPECT_TRUE(QStyle::visualAlignment(f.layoutDirection(), f.alignment()) & Qt::AlignRight)
        << "left-justified reads from the right in right-to-left";
}
