#include "app/Oscillogram.h"

namespace oscillogram {

namespace {

void DrawTrace(framework::TCanvas& canvas, const TDataBlock& data, int channel) {
    canvas.MoveTo(0, kBaseRow - data[static_cast<std::size_t>(channel)]);
    for (int i = 0; i < block::kSamplePairs; ++i)
        canvas.LineTo(kSampleStep * i, kBaseRow - data[static_cast<std::size_t>(2 * i + channel)]);
}

void DrawThreshold(framework::TCanvas& canvas, framework::TColor color, int raw, int width) {
    canvas.Pen.Color = color;
    canvas.MoveTo(0, kBaseRow - raw);
    canvas.LineTo(width, kBaseRow - raw);
}

} // namespace

void Draw(framework::TCanvas& canvas, const TDataBlock& data, int width, int height) {
    canvas.Pen.Color = framework::clWhite;
    canvas.FillRect(0, 0, width, height); // with the brush, which stays white

    canvas.Pen.Width = 1;
    DrawThreshold(canvas, kThreshold0Color, data[block::kThreshold0], width);
    DrawThreshold(canvas, kThreshold1Color, data[block::kThreshold1], width);

    canvas.Pen.Width = 1;
    canvas.Pen.Color = kChannelAColor;
    DrawTrace(canvas, data, 0);
    canvas.Pen.Color = kChannelBColor;
    DrawTrace(canvas, data, 1);

    canvas.Pen.Width = kMarkerWidth;
    canvas.Pen.Color = kMarkerColor;
    const int x = MarkerX(data[block::kPosition]);
    canvas.MoveTo(x, 0);
    canvas.LineTo(x, height);
}

} // namespace oscillogram
