// Where the Qt context puts what it draws, in device pixels: a bitmap placed pixel for pixel at a
// sub-pixel phase, and the blurred silhouette under it. The drawing and the damage bounds of a
// frame both ask these functions, so the bounds cover exactly what the drawing touches.
#pragma once

#include <QPoint>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QTransform>
#include <optional>

#include "host/geometry.h"

namespace qtbackend {

/// A host rectangle as Qt's.
inline QRectF toQRectF(const host::CGRect& r) { return QRectF(r.origin.x, r.origin.y, r.size.width, r.size.height); }

/// Maps a rectangle's local, top-down coordinates (origin at its upper-left corner) to the
/// module's y-up coordinates, so that images, stored top row first, appear upright.
inline QTransform uprightIn(const host::CGRect& r) {
    return QTransform(1, 0, 0, -1, r.origin.x, r.origin.y + r.size.height);
}

/// Standard deviation of the Gaussian for a shadow's blur radius, both in points.
inline constexpr double kSigmaPerBlur = 0.5;

/// How a bitmap of `pixels` lands on the device when drawn into a target of `target` local units
/// through `uprightToDevice` (local, top-down units → device pixels).
struct BitmapPlacement {
    /// Unturned and within a pixel of its own size: drawn as it is, only shifted.
    bool asIs = false;
    /// Source pixels → device pixels without translation; the identity when as it is.
    QTransform linear;
    /// The whole device pixel at or below where the source's top-left corner lands...
    QPoint pixel;
    /// ...and the rest, right and down, in [0, 1): the nearest sub-pixel phase when drawn as it is
    /// (see subpixel_shift.h), exact when turned.
    QPointF shift;
};
BitmapPlacement placeBitmap(QSize pixels, QSizeF target, const QTransform& uprightToDevice);

/// The device pixels a placed bitmap can touch: its opaque part, shifted, when drawn as it is;
/// the box of its turned copy otherwise. `opaque` is the bitmap's opaque bounds.
QRect placedBitmapFootprint(const BitmapPlacement& placement, QSize pixels, const QRect& opaque);

/// The largest disc, in device pixels of radius, that is blended pixel by pixel instead of being
/// handed to the painter's path rasteriser (which costs a few microseconds for any ellipse).
inline constexpr double kSmallDiscRadius = 16;

/// A disc on the device: centre and radius in device pixels.
struct DeviceDisc {
    QPointF centre;
    double radius = 0;
};
/// The ellipse inscribed in `rect` (painter units) as a disc on the device, when it stays a disc
/// through `toDevice` (no turn, the same scale on both axes) and is no larger than
/// kSmallDiscRadius; none otherwise, and for an empty or a far too large or undefined one.
std::optional<DeviceDisc> smallDeviceDisc(const QRectF& rect, const QTransform& toDevice);

/// The device pixels a fill of `rect` (painter units) through `toDevice` replaces, when the part
/// of it on `surface` has its edges on whole device pixels, unturned: its edge pixels are then
/// replaced outright, not in part. An empty rectangle when nothing of it is on the surface; none
/// when it covers pixels only in part.
std::optional<QRect> wholePixelFill(const QRectF& rect, const QTransform& toDevice, const QRect& surface);

/// The device pixels that a smooth draw of `target` through `toDevice` can touch.
QRect filteredFootprint(const QRectF& target, const QTransform& toDevice);

/// Where a shadow's blurred silhouette is drawn: `padded` (local units of the silhouette) through
/// `world` (into the painter's coordinates), blurred by `sigma` source pixels.
struct ShadowPlacement {
    bool visible = false;
    double sigma = 0;
    QTransform world;
    QRectF padded;
};
/// The shadow under an image of `source` pixels drawn into `target` through `upright` (local →
/// painter coordinates). The blur and the offset are measured in the module's base coordinates
/// (`base`: module → painter, `baseInverse` its inverse), whatever the current transform turns or
/// scales: as with a shadow cast on the page.
ShadowPlacement placeShadow(QSize source, QSizeF target, const QTransform& upright, const QTransform& base,
                            const QTransform& baseInverse, host::CGSize offset, double blur);

/// A shadow's silhouette scaled up to device pixels once and then blitted: scaled by (scaleX,
/// scaleY) device pixels per silhouette pixel, moved right and down by quarters of a device pixel
/// (phaseX, phaseY in 0 … GlowCache::kPhases − 1) and blitted with its top-left pixel at `pixel`.
struct ScaledGlowPlacement {
    int quarterPixels = 0;  ///< the silhouette's blur, quarters of a source pixel
    double scaleX = 0, scaleY = 0;
    int phaseX = 0, phaseY = 0;
    QPoint pixel;
};
/// How the silhouette of `shadow` (`silhouette` pixels large) is scaled and placed when drawn
/// through `toDevice` under an unturned image; none when it is to be filtered instead. A glow is
/// blurry enough for a quarter pixel to pass unseen, and one that keeps its size frame after
/// frame costs a blit instead of a filtered draw. Glow sizes are whole points: a flash widens the
/// glow through fractions (`blur`, points), and a size drawn once is cheaper filtered.
std::optional<ScaledGlowPlacement> placeScaledGlow(const ShadowPlacement& shadow, const QTransform& toDevice,
                                                   double blur, QSize silhouette);

/// The pixel size of the raster copy that the shadow of an SVG image drawn into `target` through
/// `uprightToDevice` is made from: the image's size on the device, 1 to 4096 pixels a side.
QSize svgShadowRaster(QSizeF target, const QTransform& uprightToDevice);

}  // namespace qtbackend
