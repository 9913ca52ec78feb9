#pragma once
// Switches the default locale, and with it the decimal separator the spin
// field reads and writes, for as long as it lives.

#include <QLocale>
#include <QString>

namespace widgettest {

class LocaleScope {
public:
    explicit LocaleScope(const char* name) : saved_(QLocale()) {
        QLocale::setDefault(QLocale(QString::fromLatin1(name)));
    }
    ~LocaleScope() { QLocale::setDefault(saved_); }
    LocaleScope(const LocaleScope&) = delete;
    LocaleScope& operator=(const LocaleScope&) = delete;

private:
    QLocale saved_;
};

} // namespace widgettest
