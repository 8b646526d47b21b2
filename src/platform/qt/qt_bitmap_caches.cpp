#include "platform/qt/qt_bitmap_caches.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "platform/qt/alpha_blur.h"
#include "platform/qt/pixel_kernels.h"
#include "platform/qt/qt_pixel_buffers.h"
#include "platform/qt/subpixel_shift.h"

namespace qtbackend {

double silhouetteSigma(double sigma) { return std::lround(std::clamp(sigma, 0.0, 4096.0) * 4) / 4.0; }

BlurredSilhouette blurSilhouette(const QImage& image, double sigma) {
    const QImage source = image.format() == QImage::Format_ARGB32_Premultiplied || image.format() == QImage::Format_ARGB32
                              ? image
                              : image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const SilhouetteGeometry g = silhouetteGeometry(source.width(), source.height(), sigma);
    BlurredSilhouette s;
    s.step = g.step;
    s.padding = g.padding;
    s.width = g.width;
    s.height = g.height;
    s.alpha.resize(static_cast<size_t>(s.width) * static_cast<size_t>(s.height));
    blurAlpha(constPixelsOf(source), g, s.alpha.data());
    return s;
}

const QImage& BlurredSilhouette::tintedWith(QRgb color) {
    if (!tinted.isNull() && tint == color) return tinted;
    if (tinted.width() != width || tinted.height() != height)
        tinted = QImage(width, height, QImage::Format_ARGB32_Premultiplied);
    if (tinted.isNull()) return tinted;
    tintAlpha(alpha.data(), color, pixelsOf(tinted));
    tint = color;
    return tinted;
}

BlurredSilhouette& SilhouetteCache::get(const QImage& source, double sigma) {
    if (source.cacheKey() != sourceKey_) {
        entries_.clear();
        glows_.clear();
        bytes_ = 0;
        sourceKey_ = source.cacheKey();
    }
    const int quarterPixels = static_cast<int>(silhouetteSigma(sigma) * 4);
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->quarterPixels != quarterPixels) continue;
        if (it != entries_.begin()) entries_.splice(entries_.begin(), entries_, it);
        return entries_.front().silhouette;
    }
    entries_.push_front({quarterPixels, blurSilhouette(source, quarterPixels / 4.0)});
    ++blursMade_;
    const BlurredSilhouette& made = entries_.front().silhouette;
    // The alpha and its tinted copy: five bytes a pixel.
    bytes_ += static_cast<size_t>(made.width) * static_cast<size_t>(made.height) * 5;
    while (entries_.size() > 1 && (bytes_ > kMaxBytes || entries_.size() > kMaxEntries)) {
        const BlurredSilhouette& old = entries_.back().silhouette;
        glows_.clear();  // it may hold glows of the silhouette that goes
        bytes_ -= static_cast<size_t>(old.width) * static_cast<size_t>(old.height) * 5;
        entries_.pop_back();
    }
    return entries_.front().silhouette;
}

void GlowCache::clear() {
    entries_.clear();
    bytes_ = 0;
    lastQuarterPixels_ = -1;
    tintedFrom_ = nullptr;
}

const QImage* GlowCache::get(const BlurredSilhouette& silhouette, int quarterPixels, double scaleX, double scaleY,
                             int phaseX, int phaseY, QRgb tint) {
    if (quarterPixels == lastQuarterPixels_ && scaleX == lastScaleX_ && scaleY == lastScaleY_) {
        sameBlurRequests_ = std::min(sameBlurRequests_ + 1, kRequestsToKeep);
    } else {
        sameBlurRequests_ = 1;
        lastQuarterPixels_ = quarterPixels;
        lastScaleX_ = scaleX;
        lastScaleY_ = scaleY;
    }
    const bool blurLasts = sameBlurRequests_ >= kRequestsToKeep;
    auto it = entries_.begin();
    for (; it != entries_.end(); ++it) {
        if (it->quarterPixels == quarterPixels && it->scaleX == scaleX && it->scaleY == scaleY &&
            it->phaseX == phaseX && it->phaseY == phaseY)
            break;
    }
    const UpscaledGlow* found = nullptr;
    if (it != entries_.end()) {
        if (it != entries_.begin()) entries_.splice(entries_.begin(), entries_, it);
        found = &entries_.front();
    } else {
        const double ox = static_cast<double>(phaseX) / kPhases, oy = static_cast<double>(phaseY) / kPhases;
        const double w = std::ceil(silhouette.width * scaleX + ox) + 1;
        const double h = std::ceil(silhouette.height * scaleY + oy) + 1;
        if (!(w > 0 && w <= kMaxSide && h > 0 && h <= kMaxSide) || silhouette.alpha.empty()) return nullptr;
        // A glow that is not kept is made in the one spare entry, whose memory is used again: it
        // is drawn exactly as a kept one would be, so a frame never depends on what was kept.
        UpscaledGlow& glow = blurLasts ? entries_.emplace_front() : spare_;
        if (!blurLasts && tintedFrom_ == &spare_) tintedFrom_ = nullptr;
        glow.quarterPixels = quarterPixels;
        glow.scaleX = scaleX;
        glow.scaleY = scaleY;
        glow.phaseX = phaseX;
        glow.phaseY = phaseY;
        glow.width = static_cast<int>(w);
        glow.height = static_cast<int>(h);
        glow.alpha.resize(static_cast<size_t>(glow.width) * static_cast<size_t>(glow.height));
        upscaleAlphaBilinear(silhouette.alpha.data(), silhouette.width, silhouette.height, scaleX, scaleY, ox, oy,
                             glow.alpha.data(), glow.width, glow.height);
        found = &glow;
        if (blurLasts) {
            bytes_ += glow.alpha.size();
            while (entries_.size() > 1 && (bytes_ > kMaxBytes || entries_.size() > kMaxEntries)) {
                if (tintedFrom_ == &entries_.back()) tintedFrom_ = nullptr;
                bytes_ -= entries_.back().alpha.size();
                entries_.pop_back();
            }
        }
    }
    const UpscaledGlow& glow = *found;
    if (tintedFrom_ != &glow || tint_ != tint || tinted_.isNull()) {
        if (tinted_.width() != glow.width || tinted_.height() != glow.height)
            tinted_ = QImage(glow.width, glow.height, QImage::Format_ARGB32_Premultiplied);
        if (tinted_.isNull()) return nullptr;
        tintAlpha(glow.alpha.data(), tint, pixelsOf(tinted_));
        tintedFrom_ = &glow;
        tint_ = tint;
    }
    return &tinted_;
}

void drawImageInBands(QPainter& painter, const QTransform& world, const QTransform& toDevice, const QRectF& target,
                      const QImage& image, const QRect& bound) {
    // Without antialiasing each device row is one span (the image's own edges are smoothed by the
    // filtering and our images have transparent borders), so a band's span count stays small.
    const bool antialiased = painter.testRenderHint(QPainter::Antialiasing);
    if (antialiased) painter.setRenderHint(QPainter::Antialiasing, false);
    QRectF box = (world * toDevice).mapRect(target);
    if (!bound.isNull()) box &= QRectF(bound);
    if (box.isEmpty()) {
        painter.setWorldTransform(world);  // nothing of it inside the bound
    } else if (box.height() <= kBandRows && bound.isNull()) {
        painter.setWorldTransform(world);
        painter.drawImage(target, image);
    } else {
        const QTransform fromDevice = toDevice.inverted();
        const int left = static_cast<int>(std::floor(box.left())) - 1;
        const int width = static_cast<int>(std::ceil(box.width())) + 3;
        for (int y = static_cast<int>(std::floor(box.top())); y < box.bottom(); y += kBandRows) {
            QRect band(left, y, width, kBandRows);
            if (!bound.isNull()) band &= bound;
            painter.setWorldTransform(fromDevice);  // the band is cut in device pixels
            painter.setClipRect(band);
            painter.setWorldTransform(world);
            painter.drawImage(target, image);
        }
        painter.setClipping(false);
    }
    if (antialiased) painter.setRenderHint(QPainter::Antialiasing, true);
}

QRect opaqueBounds(const QImage& image) {
    const QImage argb = image.format() == QImage::Format_ARGB32_Premultiplied || image.format() == QImage::Format_ARGB32
                            ? image
                            : image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const PixelRect bounds = opaquePixelBounds(constPixelsOf(argb));
    return bounds.isEmpty() ? QRect() : QRect(bounds.x, bounds.y, bounds.width, bounds.height);
}

const TurnedImage* TurnedCache::get(const QImage& source, const QTransform& linear, QPointF shift) {
    if (source.cacheKey() != sourceKey_) {
        entries_.clear();
        bytes_ = 0;
        sourceKey_ = source.cacheKey();
        sourceOpaque_ = opaqueBounds(source);
    }
    ++uses_;
    for (Entry& entry : entries_) {
        // The same angle gives bit for bit the same matrix, frame after frame.
        if (entry.m11 != linear.m11() || entry.m12 != linear.m12() || entry.m21 != linear.m21() ||
            entry.m22 != linear.m22() || entry.shiftX != shift.x() || entry.shiftY != shift.y())
            continue;
        entry.lastUse = uses_;
        return &entry.image;
    }

    TurnedImage turned;
    const double phaseX = shift.x() * kSubpixelPhases, phaseY = shift.y() * kSubpixelPhases;
    const bool shiftedOnly = linear.isIdentity() && source.format() == QImage::Format_ARGB32_Premultiplied &&
                             phaseX == std::floor(phaseX) && phaseY == std::floor(phaseY);
    if (shiftedOnly) {
        // Every output pixel is a fixed mix of four source pixels; only the opaque part and the
        // pixel it spreads onto, right and down, are made.
        const QRect& part = sourceOpaque_;
        turned.origin = part.topLeft();
        if (!part.isEmpty()) {
            turned.pixels = QImage(part.width() + 1, part.height() + 1, QImage::Format_ARGB32_Premultiplied);
            if (turned.pixels.isNull()) return nullptr;
            const ConstPixelBuffer whole = constPixelsOf(source);
            const ConstPixelBuffer opaque(whole.row(part.top()) + part.left(), whole.stride, part.width(), part.height());
            shiftBySubpixelPhase(opaque, static_cast<int>(phaseX), static_cast<int>(phaseY), pixelsOf(turned.pixels));
        }
    } else {
        const QRectF box = linear.mapRect(QRectF(0, 0, source.width(), source.height())).translated(shift);
        if (!(box.width() < kMaxSide) || !(box.height() < kMaxSide)) return nullptr;
        // One transparent pixel around the turned edges keeps their smoothing whole.
        turned.origin = QPoint(static_cast<int>(std::floor(box.left())) - 1, static_cast<int>(std::floor(box.top())) - 1);
        const QSize size(static_cast<int>(std::ceil(box.right())) + 1 - turned.origin.x(),
                         static_cast<int>(std::ceil(box.bottom())) + 1 - turned.origin.y());
        turned.pixels = QImage(size, QImage::Format_ARGB32_Premultiplied);
        if (turned.pixels.isNull()) return nullptr;
        turned.pixels.fill(Qt::transparent);
        QPainter painter(&turned.pixels);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        drawImageInBands(painter, linear * QTransform::fromTranslate(shift.x() - turned.origin.x(),
                                                                     shift.y() - turned.origin.y()),
                         QTransform(), QRectF(0, 0, source.width(), source.height()), source);
    }

    // Keep only what shows: a turned disc leaves the corners of its box empty.
    const QRect shown = shiftedOnly ? turned.pixels.rect() : opaqueBounds(turned.pixels);
    if (shown != turned.pixels.rect()) {
        turned.pixels = shown.isEmpty() ? QImage() : turned.pixels.copy(shown);
        turned.origin += shown.topLeft();
    }
    const size_t bytes = static_cast<size_t>(turned.pixels.width()) * static_cast<size_t>(turned.pixels.height()) * 4;
    ++copiesMade_;
    bytes_ += bytes;
    // Room is made before the new copy goes in, so that it is never the one to go.
    while (!entries_.empty() && (bytes_ > kMaxBytes || entries_.size() + 1 > kMaxEntries)) {
        const auto oldest = std::min_element(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) {
            return a.lastUse < b.lastUse;
        });
        const QImage& old = oldest->image.pixels;
        bytes_ -= static_cast<size_t>(old.width()) * static_cast<size_t>(old.height()) * 4;
        if (oldest != entries_.end() - 1) *oldest = std::move(entries_.back());
        entries_.pop_back();
    }
    entries_.push_back(
        {linear.m11(), linear.m12(), linear.m21(), linear.m22(), shift.x(), shift.y(), uses_, std::move(turned)});
    return &entries_.back().image;
}

}  // namespace qtbackend
