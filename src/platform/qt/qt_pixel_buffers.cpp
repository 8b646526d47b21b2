#include "platform/qt/qt_pixel_buffers.h"

#include <QPaintEngine>

namespace qtbackend {

std::optional<PixelBuffer> paintedPixels(QPainter& painter) {
    QPaintEngine* engine = painter.paintEngine();
    QPaintDevice* device = engine ? engine->paintDevice() : nullptr;
    if (!engine || engine->type() != QPaintEngine::Raster || !device || device->devType() != QInternal::Image)
        return std::nullopt;
    QImage& image = *static_cast<QImage*>(device);
    if (image.format() != QImage::Format_ARGB32_Premultiplied && image.format() != QImage::Format_RGB32)
        return std::nullopt;
    // The engine took the image's own pixels when it began; while no copy shares them, asking for
    // them writable hands back that same buffer.
    if (!image.isDetached()) return std::nullopt;
    return pixelsOf(image);
}

}  // namespace qtbackend
