// A buffer of shared memory the compositor reads a surface's frame from, with a QImage over the
// same pixels for drawing. The buffer is the compositor's from its attach until it says it is
// released; only then is it drawn into again.
#pragma once

#include <QImage>
#include <cstddef>
#include <memory>

#include "platform/qt/qt_frame_renderer.h"

struct wl_buffer;
struct wl_shm;

namespace waylandbackend {

/// How the compositor is told to read the pixels, which are opaque and laid out alike either way.
enum class ShmFormat {
    Xrgb8888,  ///< no alpha: a compositor that blends by format copies the pixels
    Argb8888,  ///< with alpha (all opaque), for compositors that keep only such textures (Mutter)
};

class ShmBuffer {
public:
    /// A buffer of `width` × `height` pixels drawn at `devicePixelRatio`; none when the memory or
    /// the buffer cannot be made.
    static std::unique_ptr<ShmBuffer> create(wl_shm* shm, int width, int height, double devicePixelRatio,
                                             ShmFormat format);
    ~ShmBuffer();
    ShmBuffer(const ShmBuffer&) = delete;
    ShmBuffer& operator=(const ShmBuffer&) = delete;

    wl_buffer* buffer() const { return buffer_; }
    QImage& image() { return image_; }
    /// What the pixels show, for drawing only what changed since this buffer was last drawn.
    qtbackend::ShownFrame& shown() { return shown_; }
    bool isBusy() const { return busy_; }
    /// Called when the buffer is attached and committed: the compositor holds it until released.
    void markBusy() { busy_ = true; }

    /// The compositor's event: it no longer reads the buffer.
    static void handleRelease(void* data, wl_buffer*);

private:
    ShmBuffer() = default;

    wl_buffer* buffer_ = nullptr;
    void* memory_ = nullptr;
    size_t size_ = 0;
    QImage image_;
    qtbackend::ShownFrame shown_;
    bool busy_ = false;
};

}  // namespace waylandbackend
