// The images of the Qt backend: SVG images through QSvgRenderer, and RGBA bitmaps in QImage, each
// with what the drawing keeps with it between frames. Whoever draws them (the painter context, or
// the damage recorder measuring where the context would draw) is handed each kind by a virtual
// of the images' common base.
#pragma once

#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <memory>

#include "host/graphics.h"
#include "platform/qt/qt_bitmap_caches.h"

namespace qtbackend {

class QtBitmap;
class QtSvgImage;

/// A drawing of an image asked through the host: the rectangle in the module's coordinates, how
/// it combines, and its opacity in (0, 1].
struct ImageDrawing {
    host::CGRect rect;
    host::CompositingOperation op = host::CompositingOperation::SourceOver;
    double opacity = 1;
};

/// Draws the backend's images, each kind in its own way.
class QtImageDrawer {
public:
    virtual void drawBitmap(const QtBitmap& bitmap, const ImageDrawing& drawing) = 0;
    virtual void drawSvg(const QtSvgImage& image, const ImageDrawing& drawing) = 0;

protected:
    ~QtImageDrawer() = default;
};

/// What every image of the backend is besides a host image: it hands itself to the drawer's
/// method for its kind.
class QtImage : public host::PlatformImage {
public:
    virtual void drawWith(QtImageDrawer& drawer, const ImageDrawing& drawing) const = 0;

protected:
    ~QtImage() = default;
};

/// The backend's side of a host image; none for an image that QtGraphics did not make. (The
/// backend is the only platform in its process, so a platform image is one of its own.)
inline const QtImage* qtImageOf(const host::Image& image) {
    return static_cast<const QtImage*>(image.platformImage());
}

/// A vector image read from an SVG file.
class QtSvgImage : public host::Image, public QtImage {
public:
    explicit QtSvgImage(std::unique_ptr<QSvgRenderer> renderer);
    /// The view box's size.
    host::CGSize size() const override;
    const host::PlatformImage* platformImage() const override { return this; }
    void drawWith(QtImageDrawer& drawer, const ImageDrawing& drawing) const override {
        drawer.drawSvg(*this, drawing);
    }
    /// Renders the whole image into the rectangle of the painter's current coordinates.
    void render(QPainter& painter, const QRectF& target) const;
    /// How many times the image was rendered from its source.
    int64_t renderCount() const { return renderCount_; }

    /// A raster copy of the image at a pixel size, for its shadow; kept until another size is asked.
    const QImage& rasterAt(QSize pixels) const;
    SilhouetteCache& silhouettes() const { return silhouettes_; }

private:
    std::unique_ptr<QSvgRenderer> renderer_;
    mutable int64_t renderCount_ = 0;
    mutable QImage raster_;
    mutable SilhouetteCache silhouettes_;
};

/// A bitmap of premultiplied ARGB pixels with a size in points. The pixels map onto the size in
/// points on each axis separately, so a bitmap of ceil(w × scale) pixels covers exactly w points.
class QtBitmap : public host::BitmapImageRep, public QtImage {
public:
    QtBitmap(int64_t pixelsWide, int64_t pixelsHigh);
    host::CGSize size() const override { return points_; }
    const host::PlatformImage* platformImage() const override { return this; }
    void drawWith(QtImageDrawer& drawer, const ImageDrawing& drawing) const override {
        drawer.drawBitmap(*this, drawing);
    }
    int64_t pixelsWide() const override { return image_.width(); }
    int64_t pixelsHigh() const override { return image_.height(); }
    void setSize(host::CGSize points) override { points_ = points; }
    QImage& image() { return image_; }
    const QImage& image() const { return image_; }
    SilhouetteCache& silhouettes() const { return silhouettes_; }
    TurnedCache& turned() const { return turned_; }
    /// The part of the bitmap that is not fully transparent.
    const QRect& opaqueBounds() const { return opaque_.get(image_); }

private:
    QImage image_;
    host::CGSize points_;
    mutable SilhouetteCache silhouettes_;
    mutable TurnedCache turned_;
    mutable OpaqueBoundsCache opaque_;
};

}  // namespace qtbackend
