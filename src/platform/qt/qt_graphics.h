// The graphics of the Qt backend: the host's graphics context over a QPainter, flipped so that y
// grows upwards, and the factory of the backend's images (qt_images.h). The context translates
// the host's calls: where things land and how a shadow is drawn are decided in qt_placement.h,
// pixel loops run in the kernels (pixel_kernels.h). Drop shadows are real: a blurred, tinted copy
// of the image's alpha drawn under the image, kept with the image between frames.
#pragma once

#include <QImage>
#include <QPainter>
#include <QRegion>
#include <QTransform>
#include <memory>
#include <optional>
#include <vector>

#include "host/graphics.h"
#include "platform/qt/pixel_kernels.h"
#include "platform/qt/qt_bitmap_caches.h"
#include "platform/qt/qt_images.h"
#include "platform/qt/qt_placement.h"

namespace qtbackend {

/// A graphics context over a QPainter. The module's coordinates (points, y upwards) are mapped to
/// the painter's by a base transform fixed at creation. The context keeps the current transform
/// and shadow itself, per saved state, and hands the painter only what a drawing needs, so saving
/// and restoring cost no painter state. The painter is left as it was found when the context goes.
///
/// Shadows fall under drawn images; fills draw without a shadow (the module never fills under one).
class QPainterContext : public host::GraphicsContext, private QtImageDrawer {
public:
    /// A context over a painter whose device is `heightPoints` high, in the painter's units.
    QPainterContext(QPainter& painter, double heightPoints);
    /// A context whose `base` maps the module's coordinates to the painter's.
    QPainterContext(QPainter& painter, const QTransform& base);
    /// A context that draws only inside `deviceClip` (device pixels), for a painter that has no
    /// clip of its own: each drawing goes to the region's rectangles it reaches, one at a time, so
    /// that the raster engine keeps to its paths for a rectangular clip.
    QPainterContext(QPainter& painter, double heightPoints, const QRegion& deviceClip);
    ~QPainterContext() override;
    QPainterContext(const QPainterContext&) = delete;
    QPainterContext& operator=(const QPainterContext&) = delete;

    void setFillColor(const host::Color& color) override;
    void fillRect(const host::CGRect& rect) override;
    void fillEllipseInRect(const host::CGRect& rect) override;
    void saveGState() override;
    void restoreGState() override;
    void translateCTM(double tx, double ty) override;
    void rotateCTM(double radians) override;
    void setShadow(host::CGSize offset, double blur, const host::Color& color) override;
    void drawImage(const host::Image& image, const host::CGRect& rect, host::CompositingOperation op,
                   double fraction) override;

    static QColor toQColor(const host::Color& color);

protected:
    QPainterContext(std::unique_ptr<QPainter> owned, const QTransform& base);

private:
    struct Shadow {
        bool on = false;
        host::CGSize offset;
        double blur = 0;
        QRgb premultiplied = 0;
    };
    struct State {
        QTransform ctm;  ///< module coordinates → painter coordinates
        Shadow shadow;
    };

    void begin();
    void drawBitmap(const QtBitmap& bitmap, const ImageDrawing& drawing) override;
    void drawSvg(const QtSvgImage& image, const ImageDrawing& drawing) override;
    bool hasShadow() const { return state_.shadow.on && qAlpha(state_.shadow.premultiplied) > 0; }
    /// Runs `draw` once for each clip rectangle of the owner's that `footprint` (device pixels)
    /// reaches, clipped to it; once and unclipped without such rectangles.
    template <typename Draw>
    void drawInsideClip(const QRect& footprint, Draw draw);
    void useTransform(const QTransform& transform);
    void useComposition(QPainter::CompositionMode mode);
    void useSmoothing(bool smooth);
    /// Draws an image with smooth filtering through `world`, in bands when the caller set no clip.
    void drawFiltered(const QTransform& world, const QRectF& target, const QImage& image);
    /// Replaces a rectangle on whole device pixels straight in the device's pixels; false when
    /// it is not done that way.
    bool fillWholePixels(const host::CGRect& rect);
    /// Blends a small disc straight into the device's pixels; false when it is not drawn that way.
    bool fillSmallDisc(const host::CGRect& rect);
    void drawShadow(const QImage& source, SilhouetteCache& cache, const QTransform& upright, QSizeF target,
                    double opacity);
    /// Blits `part` of `image` unscaled with its top-left corner at the device pixel `at`.
    void blit(const QImage& image, const QRect& part, QPoint at);

    std::unique_ptr<QPainter> owned_;
    QPainter* painter_;
    QTransform base_;
    QTransform baseInverse_;
    QTransform toDevice_;    ///< the painter's coordinates → device pixels
    QTransform fromDevice_;
    std::optional<PixelBuffer> directPixels_;  ///< the device's pixels, when fills and small discs go straight in
    std::vector<PixelRect> directClip_;        ///< where they may go, device pixels, a region's rectangles
    bool callerClips_ = false;        ///< the painter came with a clip of its own
    bool ownerClips_ = false;         ///< drawing is limited to ownerClip_
    std::vector<QRect> ownerClip_;    ///< device pixels, a region's rectangles
    State state_;
    std::vector<State> stack_;
    QColor fill_;
    // What the painter holds now, to skip redundant changes.
    QTransform painterTransform_;
    QPainter::CompositionMode painterComposition_ = QPainter::CompositionMode_SourceOver;
    QColor painterBrush_;
    bool painterSmooth_ = true;
    double outerOpacity_ = 1;
};

/// A context that owns its painter on a bitmap; one unit is one point of the bitmap's size.
class BitmapContext : public QPainterContext {
public:
    explicit BitmapContext(QtBitmap& bitmap);
};

class QtGraphics : public host::Graphics {
public:
    std::shared_ptr<host::Image> imageWithContentsOfSVGFile(const char* path) override;
    std::shared_ptr<host::BitmapImageRep> createBitmap(int64_t pixelsWide, int64_t pixelsHigh) override;
    std::unique_ptr<host::GraphicsContext> contextForBitmap(host::BitmapImageRep& bitmap) override;

    /// Largest side of a bitmap that is made; larger requests fail.
    static constexpr int64_t kMaxBitmapSide = 16384;
};

}  // namespace qtbackend
