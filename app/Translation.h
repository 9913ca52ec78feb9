#pragma once
// The window's language. Its texts are written in Russian, as designed; the English translation
// (translations/tarvenik_en.ts) is used when the user's languages, in the order Qt reads them
// (LANGUAGE, LC_ALL, LC_MESSAGES, LANG), name English before Russian, or name neither but some
// other language, whether Qt knows it or not (ber_MA, tok, xx_YY). The C and POSIX locales, which
// name none, keep the Russian texts. Numbers
// follow the user's locale either way.

#include <QLocale>
#include <QStringList>

class QTranslator;

namespace translation {

// The built-in copy of the English texts, for a build tree or a lost installed file.
inline constexpr const char* kBuiltInEnglish = ":/i18n/tarvenik_en.qm";

// Whether `uiLanguages` (as QLocale::uiLanguages() gives them, most wanted first) are better
// served by English than by Russian.
bool WantsEnglish(const QStringList& uiLanguages);

// Loads the English texts into `translator` and installs it in the application when `locale`
// asks for English; the installed file is preferred to the built-in copy. Answers whether it did.
bool Install(QTranslator& translator, const QLocale& locale = QLocale());

} // namespace translation
