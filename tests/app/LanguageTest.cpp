// The window's language: the Russian texts exactly as designed for a Russian user and the C and
// POSIX locales, English for an English user and any other; and how the demo copy names itself.

#include "app/CommandLine.h"
#include "app/Desktop.h"
#include "app/Translation.h"
#include "app/Unit1.h"
#include "history/Store.h"
#include "history/Window.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QTranslator>

#include <memory>

namespace {

// The translator of one test, taken out of the application again when the test ends.
struct Language {
    QTranslator translator;
    bool installed = false;
    explicit Language(const QLocale& locale)
        : installed(translation::Install(translator, locale)) {}
    ~Language() { QCoreApplication::removeTranslator(&translator); }
};

} // namespace

TEST(Language, TheFirstOfTheUsersLanguagesThatTheWindowHasDecides) {
    EXPECT_TRUE(translation::WantsEnglish({"en-US", "en"}));
    EXPECT_TRUE(translation::WantsEnglish({"en_GB"}));
    EXPECT_TRUE(translation::WantsEnglish({"de-DE", "de", "en-US"})); // LANGUAGE=de:en
    EXPECT_FALSE(translation::WantsEnglish({"ru-RU", "ru", "en"}));
    EXPECT_FALSE(translation::WantsEnglish({"de", "de-Latn-DE", "ru-RU"})); // LANGUAGE=de:ru
    EXPECT_TRUE(translation::WantsEnglish({"eng"}));                        // ISO 639-2 codes too
    EXPECT_FALSE(translation::WantsEnglish({"rus", "en"}));
}

TEST(Language, AnyOtherRealLanguageGetsEnglishRatherThanRussian) {
    EXPECT_TRUE(translation::WantsEnglish({"de-DE", "de-Latn-DE", "de"}));
    EXPECT_TRUE(translation::WantsEnglish({"fr", "fr-Latn-FR", "fr-FR"}));
    EXPECT_TRUE(translation::WantsEnglish({"ja-JP", "ja-Jpan-JP", "ja"}));
    EXPECT_TRUE(translation::WantsEnglish({"uk_UA"}));
    EXPECT_TRUE(
        translation::WantsEnglish(QLocale(QLocale::German, QLocale::Germany).uiLanguages()));
}

TEST(Language, TheCAndPosixLocalesAndNoLanguageKeepTheRussian) {
    // What Qt gives for LANG=C, C.UTF-8, POSIX or none at all.
    ASSERT_EQ(QLocale::c().uiLanguages(), QStringList{"C"});
    EXPECT_FALSE(translation::WantsEnglish(QLocale::c().uiLanguages()));
    EXPECT_FALSE(translation::WantsEnglish({"C"}));
    EXPECT_FALSE(translation::WantsEnglish({"POSIX"}));
    EXPECT_FALSE(translation::WantsEnglish({}));
    EXPECT_FALSE(translation::WantsEnglish({""}));
    EXPECT_FALSE(translation::WantsEnglish({"und"}));
}

TEST(Language, ALanguageQtDoesNotKnowGetsEnglishToo) {
    // As Qt gives them for LANG=ber_MA.UTF-8 (a locale Debian ships), LANG=tok and LANG=xx_YY: the
    // code as it stands, then C.
    EXPECT_TRUE(translation::WantsEnglish({"ber-MA", "C"}));
    EXPECT_TRUE(translation::WantsEnglish({"tok", "C"}));
    EXPECT_TRUE(translation::WantsEnglish({"xx-YY", "C"}));
    EXPECT_TRUE(translation::WantsEnglish({"ber_MA.UTF-8"}));
    // Russian first still decides, and Russian in any spelling Qt gives.
    EXPECT_FALSE(translation::WantsEnglish({"tok", "ru-RU", "C"}));
    EXPECT_FALSE(translation::WantsEnglish({"ru_UA.UTF-8"}));
    EXPECT_FALSE(translation::WantsEnglish({"C.UTF-8"}));
    EXPECT_FALSE(translation::WantsEnglish({"POSIX", "C"}));
}

TEST(Language, AnEnglishUserGetsEveryTextInEnglish) {
    const Language english(QLocale(QLocale::English, QLocale::UnitedStates));
    ASSERT_TRUE(english.installed); // the built-in copy, in a build tree
    TTarvenik_Control_Form form;
    EXPECT_EQ(form.Label1->text(), "Poll period");
    EXPECT_EQ(form.Label2->text(), "Threshold \"0\", V");
    EXPECT_EQ(form.CheckBox1->text(), "Connect");
    EXPECT_EQ(form.GoButton->text(), "Execute");
    EXPECT_EQ(form.FuncComboBox->itemText(1), "Read the parameters from EEPROM");
    EXPECT_EQ(form.SpinEdit35->accessibleName(), "Poll period");
    // Every text the window shows has its translation: none is left in Russian.
    for (const QWidget* w : form.findChildren<QWidget*>()) {
        QString text;
        if (const auto* label = qobject_cast<const QLabel*>(w))
            text = label->text();
        else if (const auto* button = qobject_cast<const QAbstractButton*>(w))
            text = button->text();
        for (const QChar c : text + w->accessibleName())
            EXPECT_FALSE(c.script() == QChar::Script_Cyrillic) << w->objectName().toStdString();
    }
    for (int i = 0; i < form.FuncComboBox->count(); ++i)
        EXPECT_FALSE(form.FuncComboBox->itemText(i).contains(QChar(0x0430)))
            << form.FuncComboBox->itemText(i).toStdString();
}

// The history counts its points in words that fit any number: "1 point" and "2 points" in
// English, and a Russian form that needs no plural agreement.
TEST(Language, TheHistoryCountsItsPointsRightInBothLanguages) {
    history::THistoryStore live;
    const auto status = [&live] { return history::THistoryWindow(&live).Status->text(); };
    live.Measurement(1'000, TDataBlock{}, {QStringLiteral("A"), {}});
    EXPECT_EQ(status(), QStringLiteral("Текущие измерения, точек: 1"));
    {
        const Language english(QLocale(QLocale::English, QLocale::UnitedStates));
        ASSERT_TRUE(english.installed);
        EXPECT_EQ(status(), QStringLiteral("Live measurements: 1 point"));
        live.Measurement(1'500, TDataBlock{}, {QStringLiteral("A"), {}});
        EXPECT_EQ(status(), QStringLiteral("Live measurements: 2 points"));
    }
    EXPECT_EQ(status(), QStringLiteral("Текущие измерения, точек: 2"));
}

TEST(Language, AGermanUserGetsTheEnglishWindow) {
    const Language german(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_TRUE(german.installed);
    TTarvenik_Control_Form form;
    EXPECT_EQ(form.CheckBox1->text(), "Connect");
}

TEST(Language, RussianAndTheCLocaleKeepTheDesignedRussian) {
    for (const QLocale& locale : {QLocale::c(), QLocale(QLocale::Russian, QLocale::Russia)}) {
        const Language other(locale);
        EXPECT_FALSE(other.installed) << locale.name().toStdString();
        TTarvenik_Control_Form form;
        EXPECT_EQ(form.Label2->text(), "Порог \"0\", В");
        EXPECT_EQ(form.Label3->text(), "Порог \"1\", B"); // the Latin B, as designed
        EXPECT_EQ(form.CheckBox2->text(), "Делать SS");
        EXPECT_EQ(form.FuncComboBox->itemText(3), "Сброс значений оперативных переменных");
    }
}

TEST(Desktop, TheDemoNamesItselfAndTheIconIsBuiltIn) {
    EXPECT_EQ(desktop::ApplicationName(false), "tarvenik");
    EXPECT_EQ(desktop::ApplicationName(true), "tarvenik-demo");
    EXPECT_FALSE(QIcon(QString::fromLatin1(desktop::kBuiltInIcon)).isNull());
    EXPECT_FALSE(desktop::PanelIcon().isNull());

    EXPECT_TRUE(
        ParseCommandLine({"tarvenik", "--version"}, true).Text.startsWith("tarvenik-demo "));
    EXPECT_TRUE(ParseCommandLine({"tarvenik", "-v"}, true).Text.contains("demo"));
    EXPECT_FALSE(ParseCommandLine({"tarvenik", "--version"}).Text.contains("demo"));
    // Each system's own way to the demo and the manual: Windows has no man pages.
    const QString help = ParseCommandLine({"tarvenik", "--help"}).Text;
#ifdef _WIN32
    EXPECT_TRUE(help.contains("demo\\tarvenik.exe")) << help.toStdString();
    EXPECT_TRUE(help.contains("doc\\tarvenik.html")) << help.toStdString();
    EXPECT_FALSE(help.contains("(1)")) << help.toStdString();
#else
    EXPECT_TRUE(help.contains("tarvenik-demo starts")) << help.toStdString();
    EXPECT_TRUE(help.contains("Manual: tarvenik(1).")) << help.toStdString();
#endif
}
