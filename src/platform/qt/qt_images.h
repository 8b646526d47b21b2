// The images of the Qt backend: SVG images through QSvgRenderer, and RGBA bitmaps in QImage, each
// with what the drawing keeps with it between frames.
#pragma once

#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <memory>

#include "host/graphics.h"
#include "platform/qt/qt_bitmap_caches.h"

namespace qtbackend {

/// A vector image read from an SVG file.
class QtSvgImage : public host::Image {
public:
    explicit QtSvgImage(std::unique_ptr<QSvgRenderer> renderer);
    /// The view box's size.
    host::CGSize size() const override;
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
class QtBitmap : public host::BitmapImageRep {
public:
    QtBitmap(int64_t pixelsWide, int64_t pixelsHigh);
    host::CGSize size() const override { return points_; }
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
