// Plain views of Qt's image memory for the pixel kernels (pixel_kernels.h).
#pragma once

#include <QImage>
#include <QPainter>
#include <QRect>
#include <optional>

#include "platform/qt/pixel_kernels.h"

namespace qtbackend {

/// The pixels of a 32-bit image (ARGB32, premultiplied or not, or RGB32), to read.
inline ConstPixelBuffer constPixelsOf(const QImage& image) {
    return {reinterpret_cast<const uint32_t*>(image.constBits()), image.bytesPerLine(), image.width(), image.height()};
}

/// The pixels of a 32-bit image, to write. The image stops sharing its pixels with copies first.
inline PixelBuffer pixelsOf(QImage& image) {
    uint32_t* bits = reinterpret_cast<uint32_t*>(image.bits());
    return {bits, image.bytesPerLine(), image.width(), image.height()};
}

inline PixelRect toPixelRect(const QRect& r) { return {r.x(), r.y(), r.width(), r.height()}; }

/// The pixels that `painter` draws into, to write beside it: those of the 32-bit premultiplied
/// (or RGB32) image its raster engine paints, an image of its own or a window's backing store.
/// None for any other device (and for an image whose pixels a copy shares, which painting
/// prevents).
std::optional<PixelBuffer> paintedPixels(QPainter& painter);

}  // namespace qtbackend
