#include "platform/qt/qt_images.h"

namespace qtbackend {

QtSvgImage::QtSvgImage(std::unique_ptr<QSvgRenderer> renderer) : renderer_(std::move(renderer)) {}

host::CGSize QtSvgImage::size() const {
    const QRectF box = renderer_->viewBoxF();
    return {box.width(), box.height()};
}

void QtSvgImage::render(QPainter& painter, const QRectF& target) const {
    ++renderCount_;
    renderer_->render(&painter, target);
}

const QImage& QtSvgImage::rasterAt(QSize pixels) const {
    if (raster_.size() != pixels) {
        raster_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        raster_.fill(Qt::transparent);
        QPainter p(&raster_);
        p.setRenderHint(QPainter::Antialiasing, true);
        render(p, QRectF(0, 0, pixels.width(), pixels.height()));
    }
    return raster_;
}

QtBitmap::QtBitmap(int64_t w, int64_t h)
    : image_(static_cast<int>(w), static_cast<int>(h), QImage::Format_ARGB32_Premultiplied),
      points_{static_cast<double>(w), static_cast<double>(h)} {
    if (!image_.isNull()) image_.fill(Qt::transparent);
}

}  // namespace qtbackend
