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
    // The engine took the image's own pixels when it began, and an image being painted is copied
    // in full, so no copy shares them: asked for writable, they are that same buffer. Should one
    // share them all the same, writing would part the image from the engine's buffer.
    if (!image.isDetached()) return std::nullopt;
    return pixelsOf(image);
}

}  // namespace qtbackend
