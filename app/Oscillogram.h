#pragma once
// The oscillogram of one data block on the image's canvas: white background, the two threshold
// lines, both traces and the position marker. A raw byte v lies on row 255 - v, so 0 falls one row
// below the picture.

#include "app/DataBlock.h"
#include "framework/Canvas.h"

namespace oscillogram {

inline constexpr int kBaseRow = 255;   // the row of the value 0
inline constexpr int kSampleStep = 4;  // pixels between sample pairs
inline constexpr int kMarkerWidth = 4; // the grey position marker's pen

inline constexpr framework::TColor kThreshold0Color = framework::clBlue;
inline constexpr framework::TColor kThreshold1Color = framework::clGreen;
inline constexpr framework::TColor kChannelAColor = framework::clBlack;
inline constexpr framework::TColor kChannelBColor = framework::clRed;
inline constexpr framework::TColor kMarkerColor = framework::clGray;

// The marker's centre column for a position: two pixels a step, position 1 at x 0.
constexpr int MarkerX(int position) {
    return 2 * position - 2;
}

// The top of the right axis's live value label for a raw value: centred on the value's row, but
// never over the axis's "0" label (whose top is zeroLabelTop) that the values near 0 would
// centre it on; those sit just above it instead.
constexpr int SignalLabelTop(int raw, int labelHeight, int zeroLabelTop) {
    const int centred = kBaseRow - raw - labelHeight / 2;
    return centred + labelHeight > zeroLabelTop ? zeroLabelTop - labelHeight : centred;
}

// Draws everything on `canvas`, whose picture is width x height pixels.
void Draw(framework::TCanvas& canvas, const TDataBlock& data, int width, int height);

} // namespace oscillogram
