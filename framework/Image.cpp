#include "framework/Image.h"

#include <QPainter>

namespace framework {

TImage::TImage(QWidget* parent) : QWidget(parent) {}

TImage::~TImage() = default;

TCanvas* TImage::Canvas() {
    if (!canvas_) {
        QImage bitmap(size().expandedTo(QSize(0, 0)), QImage::Format_RGB32);
        bitmap.fill(clWhite.ToRgb());
        canvas_ = std::make_unique<TCanvas>(std::move(bitmap));
        canvas_->SetOnChange([this] { update(); });
        update();
    }
    return canvas_.get();
}

QImage TImage::Picture() const {
    return canvas_ ? canvas_->Bitmap() : QImage();
}

void TImage::paintEvent(QPaintEvent*) {
    if (!canvas_)
        return;
    // The painter is already clipped to the region that needs repainting.
    QPainter painter(this);
    painter.drawImage(0, 0, canvas_->Bitmap());
}

} // namespace framework
