#include "platform/qt/qt_placement.h"

#include <cmath>

#include "platform/qt/qt_bitmap_caches.h"
#include "platform/qt/subpixel_shift.h"

namespace qtbackend {
namespace {

/// True when the transform moves and scales but neither turns nor flips.
bool isUnturned(const QTransform& t) { return t.type() <= QTransform::TxScale && t.m11() > 0 && t.m22() > 0; }

QRect outward(const QRectF& r, int margin) {
    if (!std::isfinite(r.left() + r.top() + r.width() + r.height())) return QRect();
    return QRect(QPoint(static_cast<int>(std::floor(r.left())) - margin, static_cast<int>(std::floor(r.top())) - margin),
                 QPoint(static_cast<int>(std::ceil(r.right())) + margin - 1,
                        static_cast<int>(std::ceil(r.bottom())) + margin - 1));
}

}  // namespace

BitmapPlacement placeBitmap(QSize pixels, QSizeF target, const QTransform& uprightToDevice) {
    const QTransform device =
        QTransform::fromScale(target.width() / pixels.width(), target.height() / pixels.height()) * uprightToDevice;
    BitmapPlacement p;
    p.asIs = isUnturned(device) && std::fabs(device.m11() - 1) * pixels.width() < 1 &&
             std::fabs(device.m22() - 1) * pixels.height() < 1;
    if (p.asIs) {
        const int phases = subpixelPhasesFor(static_cast<int64_t>(pixels.width()) * pixels.height());
        const SubpixelPosition x = splitSubpixel(device.dx(), phases);
        const SubpixelPosition y = splitSubpixel(device.dy(), phases);
        p.pixel = QPoint(x.pixel, y.pixel);
        p.shift = QPointF(static_cast<double>(x.phase) / kSubpixelPhases, static_cast<double>(y.phase) / kSubpixelPhases);
    } else {
        p.linear = QTransform(device.m11(), device.m12(), device.m21(), device.m22(), 0, 0);
        const double x = std::floor(device.dx()), y = std::floor(device.dy());
        p.pixel = std::isfinite(x) && std::isfinite(y) && std::fabs(x) < 1e9 && std::fabs(y) < 1e9
                      ? QPoint(static_cast<int>(x), static_cast<int>(y))
                      : QPoint();
        p.shift = QPointF(device.dx() - x, device.dy() - y);
    }
    return p;
}

QRect placedBitmapFootprint(const BitmapPlacement& placement, QSize pixels, const QRect& opaque) {
    if (placement.asIs) {
        if (opaque.isEmpty()) return QRect();
        // A shifted copy spreads each pixel onto the next one right and down.
        return QRect(placement.pixel + opaque.topLeft(),
                     opaque.size() + QSize(placement.shift.x() != 0 ? 1 : 0, placement.shift.y() != 0 ? 1 : 0));
    }
    // The turned copy's box, as the cache makes it, before its transparent margin is cut away.
    const QRectF box = placement.linear.mapRect(QRectF(0, 0, pixels.width(), pixels.height())).translated(placement.shift);
    return outward(box, 1).translated(placement.pixel);
}

std::optional<DeviceDisc> smallDeviceDisc(const QRectF& rect, const QTransform& toDevice) {
    if (rect.width() != rect.height()) return std::nullopt;
    if (toDevice.type() > QTransform::TxScale || std::fabs(std::fabs(toDevice.m11()) - std::fabs(toDevice.m22())) > 1e-9)
        return std::nullopt;
    const double radius = rect.width() / 2 * std::fabs(toDevice.m11());
    if (!(radius > 0) || radius > kSmallDiscRadius) return std::nullopt;
    const QPointF centre = toDevice.map(QPointF(rect.x() + rect.width() / 2, rect.y() + rect.height() / 2));
    if (!std::isfinite(centre.x()) || !std::isfinite(centre.y())) return std::nullopt;
    return DeviceDisc{centre, radius};
}

std::optional<QRect> wholePixelFill(const QRectF& rect, const QTransform& toDevice, const QRect& surface) {
    if (toDevice.type() > QTransform::TxScale) return std::nullopt;
    const QRectF mapped = toDevice.mapRect(rect);
    if (!std::isfinite(mapped.left() + mapped.top() + mapped.width() + mapped.height())) return std::nullopt;
    const QRectF area = mapped & QRectF(surface);
    if (area.isEmpty()) return QRect();
    const auto whole = [](double v) { return std::fabs(v - std::round(v)) < 1e-6; };
    if (!whole(area.left()) || !whole(area.top()) || !whole(area.right()) || !whole(area.bottom())) return std::nullopt;
    return QRect(QPoint(static_cast<int>(std::round(area.left())), static_cast<int>(std::round(area.top()))),
                 QPoint(static_cast<int>(std::round(area.right())) - 1, static_cast<int>(std::round(area.bottom())) - 1));
}

QRect filteredFootprint(const QRectF& target, const QTransform& toDevice) {
    // Smooth filtering reaches into the pixel beyond an edge.
    return outward(toDevice.mapRect(target), 2);
}

ShadowPlacement placeShadow(QSize source, QSizeF target, const QTransform& upright, const QTransform& base,
                            const QTransform& baseInverse, host::CGSize offset, double blur) {
    ShadowPlacement p;
    const QTransform toBase = upright * baseInverse;
    const double userScale = std::sqrt(std::fabs(toBase.determinant()));
    if (!(userScale > 0) || source.isEmpty() || target.isEmpty()) return p;
    const double pixelsPerUnit = std::sqrt(source.width() / target.width() * (source.height() / target.height()));
    p.sigma = silhouetteSigma(blur * kSigmaPerBlur / userScale * pixelsPerUnit);
    const SilhouetteGeometry g = silhouetteGeometry(source.width(), source.height(), p.sigma);

    const double ux = target.width() / source.width();  // local units per source pixel
    const double uy = target.height() / source.height();
    const double reach = static_cast<double>(g.padding) * g.step;
    p.padded = QRectF(-reach * ux, -reach * uy, g.width * g.step * ux, g.height * g.step * uy);
    p.world = toBase * QTransform::fromTranslate(offset.width, offset.height) * base;
    p.visible = true;
    return p;
}

std::optional<ScaledGlowPlacement> placeScaledGlow(const ShadowPlacement& shadow, const QTransform& toDevice,
                                                   double blur, QSize silhouette) {
    const QTransform device = shadow.world * toDevice;
    if (blur != std::floor(blur) || !isUnturned(device) || silhouette.isEmpty()) return std::nullopt;
    constexpr int kPhases = GlowCache::kPhases;
    const QPointF corner = device.map(shadow.padded.topLeft());
    const double qx = std::round(corner.x() * kPhases), qy = std::round(corner.y() * kPhases);
    const double px = std::floor(qx / kPhases), py = std::floor(qy / kPhases);
    if (!(std::fabs(px) < 1e9 && std::fabs(py) < 1e9)) return std::nullopt;
    ScaledGlowPlacement g;
    g.quarterPixels = static_cast<int>(std::lround(shadow.sigma * 4));
    g.scaleX = device.m11() * shadow.padded.width() / silhouette.width();
    g.scaleY = device.m22() * shadow.padded.height() / silhouette.height();
    g.phaseX = static_cast<int>(qx - px * kPhases);
    g.phaseY = static_cast<int>(qy - py * kPhases);
    g.pixel = QPoint(static_cast<int>(px), static_cast<int>(py));
    return g;
}

QSize svgShadowRaster(QSizeF target, const QTransform& uprightToDevice) {
    const double scale = std::sqrt(std::fabs(uprightToDevice.determinant()));
    const auto side = [](double v) { return v >= 1 ? static_cast<int>(std::min(v, 4096.0)) : 1; };
    return QSize(side(std::ceil(target.width() * scale)), side(std::ceil(target.height() * scale)));
}

}  // namespace qtbackend
