#pragma once
// The platform plugin options the panel gives Qt on its system, one file per system:
// - Linux: none; Qt's choice stands.
// - Windows: Qt 6.4 draws text through DirectWrite whenever the screen is scaled (125 %, 150 %,
//   200 %) and through GDI at 100 %; under wine, DirectWrite's glyphs at a scaled screen lose
//   their left part ("˥ериод" for "Период"). The panel asks for one engine at every scaling.
// A platform the user names in QT_QPA_PLATFORM (the tests' offscreen one among them) stands too.

#include <QByteArray>

namespace startup {

// What follows "-platform" on Qt's command line, or empty for none.
QByteArray QtPlatformOptions();

} // namespace startup
