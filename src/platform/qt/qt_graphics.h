// The graphics of the Qt backend: a context over QPainter flipped so that y grows upwards, SVG
// images through QSvgRenderer, and RGBA bitmaps in QImage.
#pragma once

#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <memory>

#include "host/graphics.h"

namespace qtbackend {

/// A vector image read from an SVG file.
class QtSvgImage : public host::Image {
public:
    explicit QtSvgImage(std::unique_ptr<QSvgRenderer> renderer);
    host::CGSize size() const override;
    QSvgRenderer& renderer() const { return *renderer_; }

private:
    std::unique_ptr<QSvgRenderer> renderer_;
};

/// A bitmap of premultiplied ARGB pixels with a size in points.
class QtBitmap : public host::BitmapImageRep {
public:
    QtBitmap(int64_t pixelsWide, int64_t pixelsHigh);
    host::CGSize size() const override { return points_; }
    int64_t pixelsWide() const override { return image_.width(); }
    int64_t pixelsHigh() const override { return image_.height(); }
    void setSize(host::CGSize points) override;
    QImage& image() { return image_; }
    const QImage& image() const { return image_; }

private:
    QImage image_;
    host::CGSize points_;
};

/// A graphics context over a QPainter whose device is `heightPoints` high. The painter's
/// transform is flipped once at creation so that the module draws with y upwards.
class QPainterContext : public host::GraphicsContext {
public:
    QPainterContext(QPainter& painter, double heightPoints);
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

private:
    struct Shadow {
        bool on = false;
        host::CGSize offset;
        double blur = 0;
        QColor color;
    };
    QPainter& painter_;
    QColor fill_;
    Shadow shadow_;
    std::vector<Shadow> shadowStack_;
};

/// A context that owns its painter on a bitmap.
class BitmapContext : public QPainterContext {
public:
    explicit BitmapContext(QtBitmap& bitmap);
    ~BitmapContext() override;

private:
    std::unique_ptr<QPainter> owned_;
    BitmapContext(QtBitmap& bitmap, std::unique_ptr<QPainter> painter);
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
