#include "platform/qt/qt_graphics.h"

#include <QFileInfo>
#include <cmath>

namespace qtbackend {
namespace {

QRectF toQRect(const host::CGRect& r) { return QRectF(r.origin.x, r.origin.y, r.size.width, r.size.height); }

}  // namespace

QtSvgImage::QtSvgImage(std::unique_ptr<QSvgRenderer> renderer) : renderer_(std::move(renderer)) {}

host::CGSize QtSvgImage::size() const {
    const QRectF box = renderer_->viewBoxF();
    return {box.width(), box.height()};
}

QtBitmap::QtBitmap(int64_t w, int64_t h)
    : image_(static_cast<int>(w), static_cast<int>(h), QImage::Format_ARGB32_Premultiplied),
      points_{static_cast<double>(w), static_cast<double>(h)} {
    image_.fill(Qt::transparent);
}

void QtBitmap::setSize(host::CGSize points) {
    points_ = points;
    if (points.width > 0) image_.setDevicePixelRatio(static_cast<double>(image_.width()) / points.width);
}

QPainterContext::QPainterContext(QPainter& painter, double heightPoints) : painter_(painter) {
    painter_.setRenderHint(QPainter::Antialiasing, true);
    painter_.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter_.translate(0, heightPoints);
    painter_.scale(1, -1);
    painter_.setPen(Qt::NoPen);
}

QColor QPainterContext::toQColor(const host::Color& color) {
    const host::RGBA c = color.rgba();
    return QColor::fromRgbF(static_cast<float>(c.red), static_cast<float>(c.green), static_cast<float>(c.blue),
                            static_cast<float>(c.alpha));
}

void QPainterContext::setFillColor(const host::Color& color) { fill_ = toQColor(color); }

void QPainterContext::fillRect(const host::CGRect& rect) {
    const auto mode = painter_.compositionMode();
    painter_.setCompositionMode(QPainter::CompositionMode_Source);
    painter_.fillRect(toQRect(rect), fill_);
    painter_.setCompositionMode(mode);
}

void QPainterContext::fillEllipseInRect(const host::CGRect& rect) {
    painter_.setBrush(fill_);
    painter_.drawEllipse(toQRect(rect));
}

void QPainterContext::saveGState() {
    painter_.save();
    shadowStack_.push_back(shadow_);
}

void QPainterContext::restoreGState() {
    painter_.restore();
    if (!shadowStack_.empty()) {
        shadow_ = shadowStack_.back();
        shadowStack_.pop_back();
    }
}

void QPainterContext::translateCTM(double tx, double ty) { painter_.translate(tx, ty); }

void QPainterContext::rotateCTM(double radians) { painter_.rotate(radians * 180.0 / M_PI); }

void QPainterContext::setShadow(host::CGSize offset, double blur, const host::Color& color) {
    shadow_.on = true;
    shadow_.offset = offset;
    shadow_.blur = blur;
    shadow_.color = toQColor(color);
}

void QPainterContext::drawImage(const host::Image& image, const host::CGRect& rect, host::CompositingOperation op,
                                double fraction) {
    painter_.save();
    painter_.setCompositionMode(op == host::CompositingOperation::Copy ? QPainter::CompositionMode_Source
                                                                     : QPainter::CompositionMode_SourceOver);
    painter_.setOpacity(painter_.opacity() * std::clamp(fraction, 0.0, 1.0));
    // Images are stored top row first: flip back locally so they appear upright.
    painter_.translate(rect.origin.x, rect.origin.y + rect.size.height);
    painter_.scale(1, -1);
    const QRectF target(0, 0, rect.size.width, rect.size.height);
    if (auto* svg = dynamic_cast<const QtSvgImage*>(&image)) {
        svg->renderer().render(&painter_, target);
    } else if (auto* bitmap = dynamic_cast<const QtBitmap*>(&image)) {
        painter_.drawImage(target, bitmap->image());
    }
    painter_.restore();
}

BitmapContext::BitmapContext(QtBitmap& bitmap) : BitmapContext(bitmap, std::make_unique<QPainter>(&bitmap.image())) {}

BitmapContext::BitmapContext(QtBitmap& bitmap, std::unique_ptr<QPainter> painter)
    : QPainterContext(*painter, bitmap.size().height), owned_(std::move(painter)) {}

BitmapContext::~BitmapContext() { owned_->end(); }

std::shared_ptr<host::Image> QtGraphics::imageWithContentsOfSVGFile(const char* path) {
    if (!path || !QFileInfo(QString::fromUtf8(path)).isFile()) return nullptr;
    auto renderer = std::make_unique<QSvgRenderer>(QString::fromUtf8(path));
    if (!renderer->isValid() || renderer->viewBoxF().isEmpty()) return nullptr;
    return std::make_shared<QtSvgImage>(std::move(renderer));
}

std::shared_ptr<host::BitmapImageRep> QtGraphics::createBitmap(int64_t w, int64_t h) {
    if (w <= 0 || h <= 0 || w > kMaxBitmapSide || h > kMaxBitmapSide) return nullptr;
    auto bitmap = std::make_shared<QtBitmap>(w, h);
    if (bitmap->image().isNull()) return nullptr;
    return bitmap;
}

std::unique_ptr<host::GraphicsContext> QtGraphics::contextForBitmap(host::BitmapImageRep& bitmap) {
    auto* qt = dynamic_cast<QtBitmap*>(&bitmap);
    if (!qt || qt->image().isNull()) return nullptr;
    return std::make_unique<BitmapContext>(*qt);
}

}  // namespace qtbackend
