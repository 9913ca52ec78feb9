#include "app/DesignFont.h"

#include "app/Design.h"

#include <QFontDatabase>
#include <QStringList>

namespace design {

namespace {

const QString kTahoma = QString::fromLatin1(kFontFamily);

// Narrow sans-serif families found on Linux desktops, best first.
const QStringList kCondensedFamilies{"DejaVu Sans Condensed", "Liberation Sans Narrow",
                                     "Arial Narrow", "Nimbus Sans Narrow"};

QString ResolveFamily() {
    if (QFontDatabase::families().contains(kTahoma, Qt::CaseInsensitive))
        return ChooseFamily(true, {}, {});
    QStringList loaded;
    const int id = QFontDatabase::addApplicationFont(QString::fromLatin1(kWineTahomaFile));
    if (id >= 0)
        loaded = QFontDatabase::applicationFontFamilies(id);
    return ChooseFamily(false, loaded, QFontDatabase::families());
}

} // namespace

QString ChooseFamily(bool systemHasTahoma, const QStringList& loadedFamilies,
                     const QStringList& systemFamilies) {
    if (systemHasTahoma)
        return kTahoma;
    for (const QString& family : loadedFamilies)
        if (family.compare(kTahoma, Qt::CaseInsensitive) == 0)
            return family;
    for (const QString& family : kCondensedFamilies)
        if (systemFamilies.contains(family, Qt::CaseInsensitive))
            return family;
    return {};
}

QFont DesignFont() {
    static const QString family = ResolveFamily();
    QFont font;
    if (family.isEmpty()) {
        font.setStyleHint(QFont::SansSerif);
        font.setStretch(QFont::Condensed);
    } else {
        font.setFamily(family);
    }
    font.setPixelSize(kFontPixelSize);
    return font;
}

} // namespace design
