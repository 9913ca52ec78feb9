#pragma once
// The three faces of the diagonal spin button, drawn into images once and
// copied on every paint.

#include "widgets/NumSpinTypes.h"

#include <QImage>
#include <QPalette>
#include <QRgb>
#include <QSize>

namespace numspin {

struct TSpinFaceColors {
    QRgb face;      // button face
    QRgb frame;     // window frame
    QRgb shadow;    // button shadow
    QRgb highlight; // button highlight
};

// The system colours, the same whether the button is enabled or not.
TSpinFaceColors SystemFaceColors(const QPalette& palette);

// One face, W x H. Lines leave out their end point; each glyph is copied
// with its transparent colour (its bottom-left pixel) turned into the face
// colour.
QImage RenderSpinFace(QSize size, TNumSpinButtonState state, const TSpinFaceColors& colors,
                      const QImage& upGlyph, const QImage& downGlyph);

// The built-in glyphs "NUMSPINUP" and "NUMSPINDOWN", 6 x 6 monochrome.
QImage LoadSpinGlyph(const char* name);

} // namespace numspin
