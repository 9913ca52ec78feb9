#pragma once
// The image control: a widget that shows a bitmap of its own size. The bitmap is made on the first
// call to Canvas(), white, as large as the control is at that moment; drawing on the canvas
// schedules a repaint. Before that the control paints nothing.

#include "framework/Canvas.h"

#include <QImage>
#include <QWidget>

#include <memory>

namespace framework {

class TImage : public QWidget {
    Q_OBJECT
public:
    explicit TImage(QWidget* parent = nullptr);
    ~TImage() override;

    TCanvas* Canvas();
    bool HasBitmap() const { return canvas_ != nullptr; }
    // The pixels shown; a null image before the first Canvas() call.
    QImage Picture() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::unique_ptr<TCanvas> canvas_;
};

} // namespace framework
