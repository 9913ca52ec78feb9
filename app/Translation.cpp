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

bool IsLanguage(const QString& uiLanguage, QLatin1StringView language) {
    return uiLanguage == language || uiLanguage.startsWith(language + QLatin1Char('-')) ||
           uiLanguage.startsWith(language + QLatin1Char('_'));
}

} // namespace

bool WantsEnglish(const QStringList& uiLanguages) {
    // The first language the window has texts in decides; Russian is the one it was written in.
    for (const QString& language : uiLanguages) {
        if (IsLanguage(language, QLatin1StringView("ru")))
            return false;
        if (IsLanguage(language, QLatin1StringView("en")))
            return true;
    }
    return false;
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
