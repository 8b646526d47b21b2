#include "platform/qt/qt_graphics.h"

#include <QFileInfo>
#include <QPaintEngine>
#include <QRegion>
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "platform/qt/pixel_kernels.h"
#include "platform/qt/qt_pixel_buffers.h"

namespace qtbackend {
namespace {

/// The rectangles of a region's list (sorted in bands from the top, as QRegion keeps them) that
/// can meet the rows `top` to `bottom`.
std::pair<const QRect*, const QRect*> piecesAcross(const std::vector<QRect>& pieces, int top, int bottom) {
    const QRect* begin = pieces.data();
    const QRect* end = begin + pieces.size();
    const QRect* first = std::lower_bound(begin, end, top, [](const QRect& r, int y) { return r.bottom() < y; });
    const QRect* last = std::upper_bound(first, end, bottom, [](int y, const QRect& r) { return y < r.top(); });
    return {first, last};
}

}  // namespace

// --- The context ---

QPainterContext::QPainterContext(QPainter& painter, double heightPoints)
    : QPainterContext(painter, QTransform(1, 0, 0, -1, 0, heightPoints)) {}

QPainterContext::QPainterContext(QPainter& painter, const QTransform& base) : painter_(&painter) {
    // The base is taken in the painter's current coordinates, whatever the caller set up.
    base_ = base * painter.worldTransform();
    begin();
}

QPainterContext::QPainterContext(QPainter& painter, double heightPoints, const QRegion& deviceClip)
    : painter_(&painter), ownerClips_(true), ownerClip_(deviceClip.begin(), deviceClip.end()) {
    base_ = QTransform(1, 0, 0, -1, 0, heightPoints) * painter.worldTransform();
    begin();
}

QPainterContext::QPainterContext(std::unique_ptr<QPainter> owned, const QTransform& base)
    : owned_(std::move(owned)), painter_(owned_.get()), base_(base) {
    begin();
}

void QPainterContext::begin() {
    baseInverse_ = base_.inverted();
    state_.ctm = base_;
    stack_.reserve(32);
    if (!painter_->isActive()) return;
    painter_->save();
    outerOpacity_ = painter_->opacity();
    painter_->setRenderHint(QPainter::Antialiasing, true);
    painter_->setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter_->setPen(Qt::NoPen);
    painter_->setBrush(painterBrush_);
    painter_->setCompositionMode(painterComposition_);
    painter_->setWorldTransform(painterTransform_ = state_.ctm);
    toDevice_ = painter_->worldTransform().inverted() * painter_->deviceTransform();
    fromDevice_ = toDevice_.inverted();
    callerClips_ = painter_->hasClipping();

    // Small discs and fills on whole pixels go straight into the pixels when the painter draws
    // into a 32-bit premultiplied image with the raster engine; the system clip (a widget's
    // update region, in device pixels) is kept.
    if (const std::optional<PixelBuffer> pixels = paintedPixels(*painter_)) {
        const QRect surface(0, 0, pixels->width, pixels->height);
        const auto keep = [&](const QRect& r) {
            const QRect inside = r & surface;
            if (!inside.isEmpty()) directClip_.push_back(toPixelRect(inside));
        };
        directClip_.clear();
        if (ownerClips_) {
            for (const QRect& r : ownerClip_) keep(r);
        } else if (const QRegion clip = painter_->paintEngine()->systemClip(); clip.isEmpty()) {
            keep(surface);
        } else {
            for (const QRect& r : clip) keep(r);
        }
        directPixels_ = *pixels;
    }
}

QPainterContext::~QPainterContext() {
    if (painter_->isActive()) painter_->restore();
    if (owned_) owned_->end();
}

void QPainterContext::useTransform(const QTransform& transform) {
    if (painterTransform_ == transform) return;
    painterTransform_ = transform;
    painter_->setWorldTransform(transform);
}

void QPainterContext::useComposition(QPainter::CompositionMode mode) {
    if (painterComposition_ == mode) return;
    painterComposition_ = mode;
    painter_->setCompositionMode(mode);
}

void QPainterContext::useSmoothing(bool smooth) {
    if (painterSmooth_ == smooth) return;
    painterSmooth_ = smooth;
    painter_->setRenderHint(QPainter::SmoothPixmapTransform, smooth);
}

QColor QPainterContext::toQColor(const host::Color& color) {
    const host::RGBA c = color.rgba();
    return QColor::fromRgbF(static_cast<float>(c.red), static_cast<float>(c.green), static_cast<float>(c.blue),
                            static_cast<float>(c.alpha));
}

void QPainterContext::setFillColor(const host::Color& color) { fill_ = toQColor(color); }

template <typename Draw>
void QPainterContext::drawInsideClip(const QRect& footprint, Draw draw) {
    if (!ownerClips_) {
        draw();
        return;
    }
    bool clipped = false;
    const auto [first, last] = piecesAcross(ownerClip_, footprint.top(), footprint.bottom());
    for (const QRect* clip = first; clip != last; ++clip) {
        const QRect part = *clip & footprint;
        if (part.isEmpty()) continue;
        useTransform(fromDevice_);  // the clip is given in device pixels
        painter_->setClipRect(part);
        clipped = true;
        draw();
    }
    if (clipped) painter_->setClipping(false);
}

void QPainterContext::fillRect(const host::CGRect& rect) {
    if (!painter_->isActive() || fillWholePixels(rect)) return;
    drawInsideClip(filteredFootprint(toQRectF(rect), state_.ctm * toDevice_), [&] {
        useTransform(state_.ctm);
        useComposition(QPainter::CompositionMode_Source);
        painter_->fillRect(toQRectF(rect), fill_);
    });
}

void QPainterContext::fillEllipseInRect(const host::CGRect& rect) {
    if (!painter_->isActive()) return;
    if (fillSmallDisc(rect)) return;
    drawInsideClip(filteredFootprint(toQRectF(rect), state_.ctm * toDevice_), [&] {
        useTransform(state_.ctm);
        useComposition(QPainter::CompositionMode_SourceOver);
        if (painterBrush_ != fill_) {
            painterBrush_ = fill_;
            painter_->setBrush(fill_);
        }
        painter_->drawEllipse(toQRectF(rect));
    });
}

bool QPainterContext::fillWholePixels(const host::CGRect& rect) {
    if (!directPixels_ || painter_->hasClipping() || outerOpacity_ != 1) return false;
    const std::optional<QRect> pixels =
        wholePixelFill(toQRectF(rect), state_.ctm * toDevice_, QRect(0, 0, directPixels_->width, directPixels_->height));
    if (!pixels) return false;
    fillPixelRect(*directPixels_, toPixelRect(*pixels), directClip_, fill_.rgba64().premultiplied().toArgb32());
    return true;
}

bool QPainterContext::fillSmallDisc(const host::CGRect& rect) {
    if (!directPixels_ || painter_->hasClipping()) return false;
    const std::optional<DeviceDisc> disc = smallDeviceDisc(toQRectF(rect), state_.ctm * toDevice_);
    if (!disc) return false;
    QRgb color = fill_.rgba64().premultiplied().toArgb32();
    if (outerOpacity_ < 1) color = byteMul(color, static_cast<uint>(std::clamp(outerOpacity_, 0.0, 1.0) * 255 + 0.5));
    if (qAlpha(color) == 0) return true;
    blendDisc(*directPixels_, disc->centre.x(), disc->centre.y(), disc->radius, color, directClip_);
    return true;
}

void QPainterContext::saveGState() { stack_.push_back(state_); }

void QPainterContext::restoreGState() {
    if (stack_.empty()) return;
    state_ = stack_.back();
    stack_.pop_back();
}

void QPainterContext::translateCTM(double tx, double ty) { state_.ctm = QTransform::fromTranslate(tx, ty) * state_.ctm; }

void QPainterContext::rotateCTM(double radians) {
    // Applied in the module's y-up space, so a positive angle turns counter-clockwise on screen.
    QTransform turn;
    turn.rotateRadians(radians);
    state_.ctm = turn * state_.ctm;
}

void QPainterContext::setShadow(host::CGSize offset, double blur, const host::Color& color) {
    state_.shadow.on = true;
    state_.shadow.offset = offset;
    state_.shadow.blur = std::isfinite(blur) ? std::max(blur, 0.0) : 0.0;
    state_.shadow.premultiplied = toQColor(color).rgba64().premultiplied().toArgb32();
}

void QPainterContext::drawImage(const host::Image& image, const host::CGRect& rect, host::CompositingOperation op,
                                double fraction) {
    if (!painter_->isActive() || host::NSIsEmptyRect(rect)) return;
    const double opacity = std::isfinite(fraction) ? std::clamp(fraction, 0.0, 1.0) : 0.0;
    if (opacity <= 0) return;
    if (const QtImage* qt = qtImageOf(image)) qt->drawWith(*this, {rect, op, opacity});
}

void QPainterContext::drawBitmap(const QtBitmap& bitmap, const ImageDrawing& drawing) {
    const QImage& pixels = bitmap.image();
    if (pixels.isNull()) return;
    const QTransform upright = uprightIn(drawing.rect) * state_.ctm;
    const QRectF target(0, 0, drawing.rect.size.width, drawing.rect.size.height);
    if (hasShadow()) drawShadow(pixels, bitmap.silhouettes(), upright, target.size(), drawing.opacity);
    useComposition(drawing.op == host::CompositingOperation::Copy ? QPainter::CompositionMode_Source
                                                                  : QPainter::CompositionMode_SourceOver);
    painter_->setOpacity(outerOpacity_ * drawing.opacity);
    // Every bitmap is placed pixel for pixel, which the raster engine blits without filtering:
    // as it is when it lands within a pixel of its own size unturned (a sprite's bitmap is made
    // for its size), else as a turned copy kept with it. Either lands at the whole device pixel
    // below its position, shifted by the sub-pixel phase nearest the rest.
    const BitmapPlacement placement = placeBitmap(pixels.size(), target.size(), upright * toDevice_);
    const QImage* placed = &pixels;
    QPoint origin;
    QRect part = pixels.rect();
    if (placement.asIs && placement.shift.isNull()) {
        // Blending leaves fully transparent pixels unchanged: only the rest is drawn. A copy
        // replaces the whole rectangle.
        if (drawing.op != host::CompositingOperation::Copy) part = bitmap.opaqueBounds();
        origin = part.topLeft();
    } else if (const TurnedImage* turned = bitmap.turned().get(pixels, placement.linear, placement.shift)) {
        placed = &turned->pixels;
        origin = turned->origin;
        part = placed->rect();
    } else {
        placed = nullptr;
    }
    if (placed) {
        blit(*placed, part, placement.pixel + origin);
    } else {
        useSmoothing(true);
        drawFiltered(upright, target, pixels);
    }
    painter_->setOpacity(outerOpacity_);
}

void QPainterContext::drawSvg(const QtSvgImage& svg, const ImageDrawing& drawing) {
    const QTransform upright = uprightIn(drawing.rect) * state_.ctm;
    const QRectF target(0, 0, drawing.rect.size.width, drawing.rect.size.height);
    if (hasShadow()) {
        // Drawn straight from its source (no bitmap could be made): the shadow needs pixels.
        drawShadow(svg.rasterAt(svgShadowRaster(target.size(), upright * toDevice_)), svg.silhouettes(), upright,
                   target.size(), drawing.opacity);
    }
    painter_->setOpacity(outerOpacity_ * drawing.opacity);
    drawInsideClip(filteredFootprint(target, upright * toDevice_), [&] {
        useComposition(drawing.op == host::CompositingOperation::Copy ? QPainter::CompositionMode_Source
                                                                      : QPainter::CompositionMode_SourceOver);
        useTransform(upright);
        svg.render(*painter_, target);
    });
    painter_->setOpacity(outerOpacity_);
    // The renderer changes the painter's state behind our back and puts it back; only the
    // transform is tracked, and it is what we set.
}

void QPainterContext::blit(const QImage& image, const QRect& part, QPoint at) {
    // With clip rectangles of our own, the piece in each is blitted on its own, which keeps the
    // engine on its unclipped fast path.
    const QRect landed(at, part.size());
    const auto piece = [&](const QRect& onDevice) {
        if (onDevice.isEmpty()) return;
        useTransform(QTransform::fromTranslate(onDevice.left(), onDevice.top()) * fromDevice_);
        useSmoothing(false);
        painter_->drawImage(QPointF(0, 0), image, onDevice.translated(part.topLeft() - landed.topLeft()));
    };
    if (ownerClips_) {
        const auto [first, last] = piecesAcross(ownerClip_, landed.top(), landed.bottom());
        for (const QRect* clip = first; clip != last; ++clip) piece(landed & *clip);
    } else {
        piece(landed);
    }
}

void QPainterContext::drawShadow(const QImage& source, SilhouetteCache& cache, const QTransform& upright,
                                 QSizeF target, double opacity) {
    const ShadowPlacement placement =
        placeShadow(source.size(), target, upright, base_, baseInverse_, state_.shadow.offset, state_.shadow.blur);
    if (!placement.visible) return;
    BlurredSilhouette& silhouette = cache.get(source, placement.sigma);

    // A glow that keeps its size under an unturned image is scaled up once for each phase and
    // then blitted; any other is filtered (see placeScaledGlow).
    if (!callerClips_) {
        if (const std::optional<ScaledGlowPlacement> scaled =
                placeScaledGlow(placement, toDevice_, state_.shadow.blur, QSize(silhouette.width, silhouette.height))) {
            if (const QImage* glow = cache.glows().get(silhouette, scaled->quarterPixels, scaled->scaleX, scaled->scaleY,
                                                       scaled->phaseX, scaled->phaseY, state_.shadow.premultiplied)) {
                useComposition(QPainter::CompositionMode_SourceOver);
                painter_->setOpacity(outerOpacity_ * opacity);
                blit(*glow, glow->rect(), scaled->pixel);
                painter_->setOpacity(outerOpacity_);
                return;
            }
        }
    }
    const QImage& tinted = silhouette.tintedWith(state_.shadow.premultiplied);
    if (tinted.isNull()) return;
    useComposition(QPainter::CompositionMode_SourceOver);
    useSmoothing(true);
    painter_->setOpacity(outerOpacity_ * opacity);
    drawFiltered(placement.world, placement.padded, tinted);
    painter_->setOpacity(outerOpacity_);
}

void QPainterContext::drawFiltered(const QTransform& world, const QRectF& target, const QImage& image) {
    if (callerClips_) {
        // Bands would replace the caller's own clip: draw in one go.
        useTransform(world);
        painter_->drawImage(target, image);
        return;
    }
    if (ownerClips_) {
        const QRect footprint = filteredFootprint(target, world * toDevice_);
        const auto [first, last] = piecesAcross(ownerClip_, footprint.top(), footprint.bottom());
        for (const QRect* clip = first; clip != last; ++clip) {
            const QRect part = *clip & footprint;
            if (part.isEmpty()) continue;
            drawImageInBands(*painter_, world, toDevice_, target, image, part);
            painterTransform_ = world;
        }
        return;
    }
    drawImageInBands(*painter_, world, toDevice_, target, image);
    painterTransform_ = world;
}

BitmapContext::BitmapContext(QtBitmap& bitmap)
    : QPainterContext(std::make_unique<QPainter>(&bitmap.image()),
                      // Points to pixels, each axis by its own factor, y upwards.
                      QTransform(bitmap.image().width() / bitmap.size().width, 0, 0,
                                 -bitmap.image().height() / bitmap.size().height, 0, bitmap.image().height())) {}

// --- Making images ---

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
    // The bitmaps of this backend are QtBitmaps; one of another graphics has no platform image.
    if (!bitmap.platformImage()) return nullptr;
    auto& qt = static_cast<QtBitmap&>(bitmap);
    if (qt.image().isNull() || !(qt.size().width > 0) || !(qt.size().height > 0)) return nullptr;
    return std::make_unique<BitmapContext>(qt);
}

}  // namespace qtbackend
