// The field's number: reading, writing, steps and their events, kind changes.

#include "WidgetTestSupport.h"

#include <QSignalSpy>
#include <gtest/gtest.h>
#include <stdexcept>

#if defined(__SANITIZE_ADDRESS__)
#define WIDGETTEST_LSAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define WIDGETTEST_LSAN 1
#endif
#endif
#ifdef WIDGETTEST_LSAN
#include <sanitizer/lsan_interface.h>
#endif

using namespace widgettest;

namespace {

// Allocations made while one lives are not reported as leaks (a no-op
// without LeakSanitizer).
#ifdef WIDGETTEST_LSAN
using LeakCheckPause = __lsan::ScopedDisabler;
#else
struct LeakCheckPause {};
#endif

} // namespace

TEST(NumSpinEdit, NewFieldHoldsZeroUnderDefaults) {
    TNumSpinEdit f;
    EXPECT_EQ(f.text(), "0");
    EXPECT_EQ(f.Value(), 0.0L);
    EXPECT_EQ(f.MinValue(), 0.0L);
    EXPECT_EQ(f.MaxValue(), 0.0L);
    EXPECT_EQ(f.Increment(), 1.0L);
    EXPECT_EQ(f.Decimal(), 2);
    EXPECT_EQ(f.ValueType(), vtInteger);
    EXPECT_EQ(f.Alignment(), taLeftJustify);
    EXPECT_TRUE(f.ArrowKeys());
    EXPECT_TRUE(f.EditorEnabled());
    EXPECT_FALSE(f.Stepping());
    EXPECT_EQ(f.ButtonKind(), bkDiagonal);
    ASSERT_NE(f.Button(), nullptr);
    ASSERT_NE(f.ButtonHolder(), nullptr);
    EXPECT_EQ(f.Button()->parentWidget(), f.ButtonHolder());
    EXPECT_EQ(f.Button()->FocusControl(), &f);
    EXPECT_EQ(f.UpDown(), nullptr);
}

TEST(NumSpinEdit, EqualLimitsClampNothing) {
    TNumSpinEdit f;
    f.SetValue(1e9L);
    EXPECT_EQ(f.text(), "1000000000");
    f.SetValue(-77);
    EXPECT_EQ(f.text(), "-77");
    f.SetMinValue(5);
    f.SetMaxValue(5);
    f.SetValue(-3);
    EXPECT_EQ(f.text(), "-3");
}

TEST(NumSpinEdit, LimitsApplyOnWriteNotOnRead) {
    TNumSpinEdit f;
    MakeByteField(f);
    f.setText("300");
    EXPECT_EQ(f.Value(), 300.0L);
    f.setText("");
    EXPECT_EQ(f.Value(), 1.0L) << "the lower limit is the fallback";
    f.SetValue(300);
    EXPECT_EQ(f.text(), "255");
    f.SetValue(-4);
    EXPECT_EQ(f.text(), "1");
    f.SetMaxValue(100);
    EXPECT_EQ(f.text(), "1") << "setting a limit only stores it";
}

TEST(NumSpinEdit, IntegerFieldRoundsHalvesToEven) {
    TNumSpinEdit f;
    f.SetValue(2.5L);
    EXPECT_EQ(f.text(), "2");
    f.SetValue(3.5L);
    EXPECT_EQ(f.text(), "4");
    f.SetValue(-2.5L);
    EXPECT_EQ(f.text(), "-2");
}

TEST(NumSpinEdit, IntegerValueTruncatesTowardZero) {
    TNumSpinEdit f;
    f.SetValueType(vtFloat);
    f.setText("2.99");
    EXPECT_EQ(f.IntegerValue(), 2);
    f.setText("-2.99");
    EXPECT_EQ(f.IntegerValue(), -2);
    f.setText("1e12");
    EXPECT_EQ(f.IntegerValue(), 2147483647) << "saturated, not wrapped";
}

TEST(NumSpinEdit, FixedPointFieldWritesInTheLocaleSeparator) {
    const struct {
        long double written;
        const char* stop;
        const char* comma;
    } cases[] = {{4.3828125L, "4.00", "4,00"},
                 {0, "0.01", "0,01"},
                 {0.125L, "0.13", "0,13"},
                 {1.2345L, "1.23", "1,23"}};
    for (const char* locale : {"C", "ru_RU"}) {
        LocaleScope scope(locale);
        const bool comma = QLocale().decimalPoint() == ",";
        TNumSpinEdit f;
        MakeVoltField(f);
        for (const auto& c : cases) {
            f.SetValue(c.written);
            EXPECT_EQ(f.text(), QString::fromLatin1(comma ? c.comma : c.stop)) << locale;
            EXPECT_EQ(f.Value(), f.ClampValue(f.Value()));
        }
        f.setText(comma ? "1,5" : "1.5");
        EXPECT_EQ(f.Value(), 1.5L) << locale;
        f.setText(comma ? "1.5" : "1,5");
        EXPECT_EQ(f.Value(), 0.01L) << "the other separator does not parse: " << locale;
    }
}

TEST(NumSpinEdit, WritingRaisesChangeOnlyForANewText) {
    TNumSpinEdit f;
    EventCounter change;
    f.OnChange = change.Slot();
    QSignalSpy changed(&f, &TNumSpinEdit::Changed);
    f.SetValue(5);
    EXPECT_EQ(change.count, 1);
    EXPECT_EQ(change.lastSender, &f);
    f.SetValue(5);
    EXPECT_EQ(change.count, 1);
    f.setText("7");
    EXPECT_EQ(change.count, 2) << "any other change of the text";
    f.SetStepping(true);
    f.SetValue(9);
    EXPECT_EQ(f.text(), "9");
    EXPECT_EQ(change.count, 2) << "no notification while stepping";
    EXPECT_EQ(changed.count(), 2);
}

TEST(NumSpinEdit, WritingANonFiniteNumberKeepsTheText) {
    TNumSpinEdit f;
    f.SetValueType(vtFloat);
    f.SetValue(1.5L);
    f.SetValue(std::numeric_limits<long double>::infinity());
    f.SetValue(std::nanl(""));
    EXPECT_EQ(f.text(), "1.50");
    f.SetIncrement(std::numeric_limits<long double>::max());
    f.SetValue(std::numeric_limits<long double>::max());
    f.StepUp(&f);
    EXPECT_EQ(f.Value(), f.ClampValue(f.Value()));
    EXPECT_FALSE(f.text().isEmpty());
}

TEST(NumSpinEdit, StepsToTheLimitThenStaysWithoutChange) {
    TNumSpinEdit f;
    MakeVoltField(f);
    f.setText("3.99");
    f.setModified(false);
    EventCounter change, top, bottom;
    f.OnChange = change.Slot();
    f.OnTopClick = top.Slot();
    f.OnBottomClick = bottom.Slot();
    f.StepUp(&f);
    EXPECT_EQ(f.text(), "4.00");
    EXPECT_EQ(change.count, 1);
    EXPECT_EQ(top.count, 1);
    EXPECT_EQ(top.lastSender, &f);
    EXPECT_TRUE(f.isModified());
    EXPECT_FALSE(f.Stepping());
    f.StepUp(&f);
    EXPECT_EQ(f.text(), "4.00");
    EXPECT_EQ(change.count, 1);
    EXPECT_EQ(top.count, 2) << "raised after every step";
    f.StepDown(&f);
    EXPECT_EQ(f.text(), "3.99");
    EXPECT_EQ(change.count, 2);
    EXPECT_EQ(bottom.count, 1);
    EXPECT_EQ(top.count, 2);
}

TEST(NumSpinEdit, StepFromAnUnreadableTextStartsAtTheFallback) {
    TNumSpinEdit f;
    MakeByteField(f);
    f.setText("abc");
    f.StepUp(&f);
    EXPECT_EQ(f.text(), "2");
    f.setText("");
    f.StepDown(&f);
    EXPECT_EQ(f.text(), "1");
}

TEST(NumSpinEdit, StepIgnoresLetterCaseWhenLookingForAChange) {
    TNumSpinEdit f;
    f.SetValueType(vtHex);
    f.SetIncrement(0);
    f.setText("ff");
    EventCounter change;
    f.OnChange = change.Slot();
    f.StepUp(&f);
    EXPECT_EQ(f.text(), "FF");
    EXPECT_EQ(change.count, 0);
}

TEST(NumSpinEdit, ReadOnlyFieldBeepsAndDoesNotStep) {
    BeepCounter beeps;
    TNumSpinEdit f;
    MakeByteField(f);
    f.SetValue(10);
    f.setReadOnly(true);
    EventCounter change, top, bottom;
    f.OnChange = change.Slot();
    f.OnTopClick = top.Slot();
    f.OnBottomClick = bottom.Slot();
    f.StepUp(&f);
    f.StepDown(&f);
    EXPECT_EQ(f.text(), "10");
    EXPECT_EQ(beeps.count, 2);
    EXPECT_EQ(change.count + top.count + bottom.count, 0);
}

TEST(NumSpinEdit, SteppingIsClearedWhenAStepThrows) {
    TNumSpinEdit f;
    Thrower thrower;
    f.OnTopClick = framework::TNotifyEvent(&thrower, &Thrower::Fire);
    EXPECT_THROW(f.StepUp(&f), std::runtime_error);
    EXPECT_FALSE(f.Stepping());
    EXPECT_EQ(f.text(), "1");

    // A listener of the text that throws while the step writes. Qt Widgets
    // is built without exception support: the throw passes its frames without
    // running their destructors, and the copy of the new text that
    // QWidgetLineControl::finishChange holds is lost with them. That loss is
    // Qt's; it is the only allocation kept from the leak check here.
    TNumSpinEdit g;
    QObject::connect(&g, &QLineEdit::textChanged,
                     [](const QString&) { throw std::runtime_error("listener failed"); });
    {
        [[maybe_unused]] const LeakCheckPause qtLosesTheTextCopy;
        EXPECT_THROW(g.StepDown(&g), std::runtime_error);
    }
    EXPECT_FALSE(g.Stepping());
}

TEST(NumSpinEdit, KindChangeRereadsTheTextAndRoundsTheIncrement) {
    const struct {
        long double increment;
        long double expected;
    } cases[] = {{0.4L, 1}, {2.5L, 2}, {3.5L, 4}, {0.01L, 1}, {-0.5L, 1}, {-1.5L, -2}};
    for (const auto& c : cases) {
        TNumSpinEdit f;
        f.SetValueType(vtFloat);
        f.setText("12.5");
        f.SetIncrement(c.increment);
        f.SetValueType(vtInteger);
        EXPECT_EQ(f.text(), "0") << "12.5 is no integer; the fallback is the lower limit";
        EXPECT_EQ(f.Increment(), c.expected) << double(c.increment);
    }
    TNumSpinEdit f;
    f.SetValue(255);
    f.SetIncrement(0.25L);
    f.SetValueType(vtFloat);
    EXPECT_EQ(f.text(), "255.00");
    EXPECT_EQ(f.Increment(), 0.25L) << "a fixed-point field keeps its increment";
    f.SetValueType(vtHex);
    EXPECT_EQ(f.text(), "0");
    f.SetValue(255);
    EXPECT_EQ(f.text(), "FF");
    f.SetValueType(vtInteger);
    EXPECT_EQ(f.text(), "0") << "FF is no decimal integer";
}

TEST(NumSpinEdit, DecimalChangeRewritesTheText) {
    TNumSpinEdit f;
    f.SetValueType(vtFloat);
    f.SetValue(1.5L);
    EXPECT_EQ(f.text(), "1.50");
    f.SetDecimal(1);
    EXPECT_EQ(f.text(), "1.5");
    f.SetDecimal(0);
    EXPECT_EQ(f.text(), "2");
    f.SetDecimal(3);
    EXPECT_EQ(f.text(), "2.000");
    EXPECT_EQ(f.Decimal(), 3);
}

TEST(NumSpinEdit, LoadingInPropertyOrderFormatsTheStoredValue) {
    // Decimal, Increment, MaxValue, MinValue, ValueType, then Value.
    TNumSpinEdit f;
    f.SetIncrement(0.01L);
    f.SetMaxValue(4);
    f.SetMinValue(0.01L);
    f.SetValueType(vtFloat);
    EXPECT_EQ(f.text(), "0.01") << "the text 0 is rewritten under the limits already known";
    f.SetValue(0.01L);
    EXPECT_EQ(f.text(), "0.01");
}
