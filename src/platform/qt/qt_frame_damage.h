// What changes from one frame to the next. Everything the view draws lies on a black background,
// so a frame differs from the one before only where either of them drew something else: the
// damage is the union of both frames' bounds. The bounds come from a pass over the same drawing
// calls through a context that draws nothing and records where the Qt context would draw.
#pragma once

#include <QRect>
#include <QRgb>
#include <QSize>
#include <QTransform>
#include <cstdint>
#include <vector>

#include "host/graphics.h"
#include "platform/qt/qt_images.h"

namespace qtbackend {

/// A graphics context that records, for each drawing, the device pixels the Qt context would
/// touch (a little more at antialiased edges), clipped to the device. Fills of opaque black are
/// the background and record nothing.
class DamageRecorder : public host::GraphicsContext, private QtImageDrawer {
public:
    /// Starts a pass over a view `heightPoints` high (y upwards in points) shown on a device of
    /// `devicePixels` at `devicePixelRatio` pixels per point. Keeps the memory of the last pass.
    void begin(double heightPoints, double devicePixelRatio, QSize devicePixels);
    /// The device rectangles recorded since begin (one per drawing, unmerged).
    std::vector<QRect>& rects() { return rects_; }

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

private:
    struct State {
        QTransform ctm;  ///< module coordinates → painter coordinates (points, y down)
        bool shadow = false;
        host::CGSize shadowOffset;
        double shadowBlur = 0;
    };
    void add(const QRect& deviceRect);
    void drawBitmap(const QtBitmap& bitmap, const ImageDrawing& drawing) override;
    void drawSvg(const QtSvgImage& image, const ImageDrawing& drawing) override;
    /// The shadow under an image of `source` pixels drawn into `target` through `upright`.
    void addShadow(QSize source, QSizeF target, const QTransform& upright);

    QTransform base_;
    QTransform baseInverse_;
    QTransform toDevice_;
    QRect device_;
    QRgb fill_ = 0;
    State state_;
    std::vector<State> stack_;
    std::vector<QRect> rects_;
};

/// Merges `rects` in place into at most `maxCount` rectangles that cover every one of them. Two
/// rectangles merge when their union costs no more than both apart, a rectangle costing its area
/// plus `rectCost` pixels (each one is a clip, a blit and a request to the window system of its
/// own); above `maxCount` the cost of a rectangle is raised until enough of them merge.
void coalesceDamage(std::vector<QRect>& rects, int maxCount, int64_t rectCost);

/// The rectangles of a frame's damage: few enough to clip and flush cheaply, merged where the
/// gap between them is smaller than a 64 × 64 tile. Room for a default starfield of 50 stars to
/// keep a rectangle for each star: at 32, far-apart stars were merged into boxes of mostly black
/// that were filled, drawn and sent to the X server every frame (a quarter of the damage at
/// 1080p).
inline constexpr int kMaxDamageRects = 64;
inline constexpr int64_t kDamageRectCost = 64 * 64;

}  // namespace qtbackend
