#include "app/Translation.h"

#include "app/AppLogging.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTranslator>

namespace translation {

namespace {

// Where an installed program keeps its translations, relative to the folder of the program file.
constexpr const char* kInstalledFolder = "../share/tarvenik/translations";

// The language part of a code such as "de-DE", "en_GB.UTF-8" or "eng".
QString CodeOf(const QString& uiLanguage) {
    return uiLanguage.section(QLatin1Char('-'), 0, 0)
        .section(QLatin1Char('_'), 0, 0)
        .section(QLatin1Char('.'), 0, 0)
        .section(QLatin1Char('@'), 0, 0);
}

// The language of a code such as "de-DE", "en_GB" or "eng"; AnyLanguage for whatever names no
// language Qt knows.
QLocale::Language LanguageOf(const QString& uiLanguage) {
    return QLocale::codeToLanguage(CodeOf(uiLanguage));
}

} // namespace

bool WantsEnglish(const QStringList& uiLanguages) {
    // The first language the window has texts in decides; Russian is the one it was written in.
    // A reader of any other language, one Qt does not know too (Berber, Toki Pona, a made-up
    // code), more likely reads English than Russian; the C and POSIX locales name no language
    // and keep the window as designed, as does "und", the code for no language determined.
    bool otherLanguage = false;
    for (const QString& uiLanguage : uiLanguages) {
        const QString code = CodeOf(uiLanguage);
        const QLocale::Language language = LanguageOf(uiLanguage);
        if (language == QLocale::Russian)
            return false;
        if (language == QLocale::English)
            return true;
        const bool namesNone = code.isEmpty() || code == QLatin1String("C") ||
                               code == QLatin1String("POSIX") || code == QLatin1String("und");
        otherLanguage = otherLanguage || !namesNone;
    }
    return otherLanguage;
}

bool Install(QTranslator& translator, const QLocale& locale) {
    if (!WantsEnglish(locale.uiLanguages()))
        return false;
    const QString installed =
        QDir(QCoreApplication::applicationDirPath())
            .filePath(QLatin1String(kInstalledFolder) + QLatin1String("/tarvenik_en.qm"));
    const bool loaded = (QFileInfo::exists(installed) && translator.load(installed)) ||
                        translator.load(QString::fromLatin1(kBuiltInEnglish));
    if (!loaded) {
        qCWarning(lcApp) << "the English texts could not be loaded from" << installed
                         << "nor from the program itself; the window stays Russian";
        return false;
    }
    return QCoreApplication::installTranslator(&translator);
}

} // namespace translation
