#pragma once
// The window's font: Tahoma at 11 pixels. A system without Tahoma in its font folders may still
// have the copy that Debian's fonts-wine package keeps outside them; it is loaded for this program
// only. Without either, a condensed sans-serif stands in, so the designed texts still fit.

#include <QFont>
#include <QString>

namespace design {

// Needs a QGuiApplication. Loads the fallback file on the first call only.
QFont DesignFont();

// Where Debian's fonts-wine package puts its Tahoma.
inline constexpr const char* kWineTahomaFile = "/usr/share/wine/fonts/tahoma.ttf";

// The family to ask for, given whether Tahoma is known to the system, the families a font file
// loaded from kWineTahomaFile gave (empty when it could not be loaded), and the families the
// system has. An empty answer means: any sans-serif, condensed.
QString ChooseFamily(bool systemHasTahoma, const QStringList& loadedFamilies,
                     const QStringList& systemFamilies);

} // namespace design
