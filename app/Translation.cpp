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

// The language of a code such as "de-DE", "en_GB" or "eng"; AnyLanguage for "C", "POSIX" and
// whatever names no language Qt knows.
QLocale::Language LanguageOf(const QString& uiLanguage) {
    const QString code = uiLanguage.section(QLatin1Char('-'), 0, 0).section(QLatin1Char('_'), 0, 0);
    return QLocale::codeToLanguage(code);
}

} // namespace

bool WantsEnglish(const QStringList& uiLanguages) {
    // The first language the window has texts in decides; Russian is the one it was written in.
    // A reader of any other language more likely reads English than Russian; the C and POSIX
    // locales name no language and keep the window as designed.
    bool otherLanguage = false;
    for (const QString& uiLanguage : uiLanguages) {
        const QLocale::Language language = LanguageOf(uiLanguage);
        if (language == QLocale::Russian)
            return false;
        if (language == QLocale::English)
            return true;
        otherLanguage = otherLanguage || language != QLocale::AnyLanguage;
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
