// What the Qt context keeps with a bitmap between frames:
// - blurred silhouettes for drop shadows. The blurred alpha of an image depends only on the
//   image's pixels and the blur radius, so it is made once; only the tint is applied again when
//   the shadow's colour changes;
// - copies turned (or scaled) and shifted by a sub-pixel phase for drawing. A sprite's trail
//   draws it again at the angles and positions of the frames before, so each angle and phase is
//   rasterised once with smooth filtering and then placed pixel for pixel, which costs a fraction
//   of a transformed draw.
#pragma once

#include <QImage>
#include <QPainter>
#include <QPoint>
#include <QTransform>
#include <cstdint>
#include <list>
#include <vector>

#include "platform/qt/alpha_blur.h"

namespace qtbackend {

/// The blurred alpha of an image, at a reduced resolution for wide blurs, padded on every side
/// far enough to hold the whole blur.
struct BlurredSilhouette {
    int width = 0;   ///< low-resolution pixels, padding included
    int height = 0;
    int step = 1;     ///< source pixels per low-resolution pixel
    int padding = 0;  ///< low-resolution pixels added on each side
    std::vector<uint8_t> alpha;  ///< width × height, row 0 at the top like the source
    QImage tinted;               ///< alpha tinted with `tint`, premultiplied ARGB
    QRgb tint = 0;               ///< premultiplied colour of `tinted`; 0 when not tinted yet

    /// The silhouette tinted with a premultiplied colour (made again only when the colour changed).
    const QImage& tintedWith(QRgb premultipliedColor);
};

/// The blur that a silhouette is made for when `sigma` is asked: a quarter of a pixel apart.
double silhouetteSigma(double sigma);

/// Blurs the alpha channel of `source` (premultiplied ARGB) by a Gaussian of standard deviation
/// `sigma` source pixels (see alpha_blur.h).
BlurredSilhouette blurSilhouette(const QImage& source, double sigma);

/// Silhouettes of one image for the radii it was recently drawn with. A flash widens the blur
/// frame by frame along the same sequence every time, so a few dozen radii are kept; the cache is
/// bounded by memory and forgets the least recently used radius first. A change of the source's
/// pixels (its cache key) empties it.
/// A blurred silhouette scaled up to device pixels at a quarter-pixel phase. A glow that keeps its
/// blur frame after frame is then blitted, a fraction of the work of filtering it each time; a
/// glow is blurry enough for a quarter pixel to pass unseen.
struct UpscaledGlow {
    int quarterPixels = -1;         ///< the silhouette's blur
    double scaleX = 0, scaleY = 0;  ///< device pixels per silhouette pixel
    int phaseX = 0, phaseY = 0;     ///< quarters of a device pixel, right and down
    int width = 0, height = 0;
    std::vector<uint8_t> alpha;     ///< width × height, row 0 at the top
};

/// The scaled glows of one image's silhouettes, the most recently used ones, and the last one
/// tinted for drawing. Only glows of a blur that lasts are kept: asked for after kRequestsToKeep
/// requests in a row for the same blur and scale. The widest blur of a collision flash lasts a
/// frame or three; kept, its glows would pile up one phase per flash for most of an hour, and
/// the memory of a run would keep growing. Any other glow is made in one spare entry, used again
/// each time.
class GlowCache {
public:
    static constexpr int kPhases = 4;  ///< per device pixel on each axis

    /// `silhouette` (made for `quarterPixels`) scaled by (scaleX, scaleY), moved by the phases
    /// and tinted with a premultiplied colour; its top-left pixel lands on the whole device pixel
    /// where the phases were measured from. None when it would be too large to keep.
    const QImage* get(const BlurredSilhouette& silhouette, int quarterPixels, double scaleX, double scaleY,
                      int phaseX, int phaseY, QRgb tint);
    void clear();
    size_t entryCount() const { return entries_.size(); }

    static constexpr size_t kMaxBytes = 12u << 20;
    static constexpr size_t kMaxEntries = 2 * kPhases * kPhases;
    static constexpr int kRequestsToKeep = 8;  ///< a quarter of a second of frames
    static constexpr int kMaxSide = 4096;

private:
    std::list<UpscaledGlow> entries_;  ///< most recently used first
    size_t bytes_ = 0;
    int lastQuarterPixels_ = -1;  ///< the blur and scale of the requests before
    double lastScaleX_ = 0, lastScaleY_ = 0;
    int sameBlurRequests_ = 0;    ///< how many in a row were for them, up to kRequestsToKeep
    UpscaledGlow spare_;  ///< the last glow made without being kept
    QImage tinted_;
    const UpscaledGlow* tintedFrom_ = nullptr;
    QRgb tint_ = 0;
};

class SilhouetteCache {
public:
    /// The silhouette of `source` blurred by `sigma` source pixels (rounded to a quarter pixel).
    BlurredSilhouette& get(const QImage& source, double sigma);
    size_t entryCount() const { return entries_.size(); }
    /// Silhouettes made so far (hits are not counted).
    int64_t blursMade() const { return blursMade_; }
    /// The scaled glows made from these silhouettes.
    GlowCache& glows() { return glows_; }

    static constexpr size_t kMaxBytes = 24u << 20;
    static constexpr size_t kMaxEntries = 64;

private:
    struct Entry {
        int quarterPixels;
        BlurredSilhouette silhouette;
    };
    qint64 sourceKey_ = 0;
    std::list<Entry> entries_;  ///< most recently used first
    size_t bytes_ = 0;
    int64_t blursMade_ = 0;
    GlowCache glows_;
};

/// Draws `image` into `target` through the world transform `world` in bands of at most kBandRows
/// device rows, each clipped to its band (and to `bound`, device pixels, when given); `toDevice`
/// maps the painter's world coordinates to device pixels. The raster engine hands the spans of a large filtered draw to worker threads
/// and waits for them, which costs more than it saves on a busy machine; a band is small enough
/// to stay on this thread. Leaves `world` set and no clip; the image's edges are not antialiased
/// beyond what its filtering gives (images drawn here have transparent borders).
void drawImageInBands(QPainter& painter, const QTransform& world, const QTransform& toDevice, const QRectF& target,
                      const QImage& image, const QRect& bound = QRect());
inline constexpr int kBandRows = 64;

/// The smallest rectangle holding every pixel of the image that is not fully transparent (empty
/// for a fully transparent image). Drawing only that part saves blending the transparent margin.
QRect opaqueBounds(const QImage& image);

/// The opaque bounds of one image, found again only when its pixels change.
class OpaqueBoundsCache {
public:
    const QRect& get(const QImage& image) {
        if (image.cacheKey() != key_) {
            key_ = image.cacheKey();
            bounds_ = opaqueBounds(image);
        }
        return bounds_;
    }

private:
    qint64 key_ = 0;
    QRect bounds_;
};

/// An image turned (or only shifted) for drawing: its pixels land at `origin` (device pixels) from
/// the whole pixel at or below the point where the source's top-left corner lands.
struct TurnedImage {
    QImage pixels;  ///< premultiplied ARGB
    QPoint origin;
};

class TurnedCache {
public:
    /// The source drawn through `linear` (source pixels → device pixels, no translation) and moved
    /// right and down by `shift` (each in [0, 1) device pixels), or none when that copy would be
    /// too large to keep. Unturned, the shift is a sub-pixel phase (see subpixel_shift.h); turned,
    /// it is exact: a trail's ghost has bit for bit the angle and position of the sprite frames
    /// before, so it finds the copy made then.
    const TurnedImage* get(const QImage& source, const QTransform& linear, QPointF shift = QPointF());
    size_t entryCount() const { return entries_.size(); }
    /// Copies rasterised so far (hits are not counted).
    int64_t copiesMade() const { return copiesMade_; }

    /// Enough for all phases of an unturned bitmap (see kSubpixelPhaseBytes), or the copies of
    /// a whole trail of a turning one.
    static constexpr size_t kMaxBytes = 24u << 20;
    /// Room for every phase of an unturned bitmap, or for the angles of a whole trail.
    static constexpr size_t kMaxEntries = 72;
    static constexpr int kMaxSide = 4096;

private:
    struct Entry {
        qreal m11, m12, m21, m22;
        qreal shiftX, shiftY;
        uint64_t lastUse;  ///< the lookup that last found or made it
        TurnedImage image;
    };
    qint64 sourceKey_ = 0;
    QRect sourceOpaque_;  ///< the source's opaque bounds
    /// In one block, so that the lookups of a frame's trail (one per ghost, each passing over
    /// the entries before its own) stay within a few cache lines; the least recently used goes.
    std::vector<Entry> entries_;
    uint64_t uses_ = 0;
    size_t bytes_ = 0;
    int64_t copiesMade_ = 0;
};

}  // namespace qtbackend
