#pragma once
// The platform plugin options the panel gives Qt on its system, one file per system:
// - Linux: none; Qt's choice stands.
// - Windows: Qt 6.4's GDI font engine draws text on a scaled screen through a scaled glyph
//   cache; under wine at 150 % its glyphs lose their left part ("˥ериод" for "Период"; about
//   half the ink of 100 %'s, scaled). Qt's own FreeType engine, reading the same font files,
//   draws them whole at every scaling.
// A platform the user names in QT_QPA_PLATFORM (the tests' offscreen one among them) stands too.

#include <QByteArray>

namespace startup {

// What follows "-platform" on Qt's command line, or empty for none.
QByteArray QtPlatformOptions();

} // namespace startup
