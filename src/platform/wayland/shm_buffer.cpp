#include "platform/wayland/shm_buffer.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

namespace waylandbackend {
namespace {

const wl_buffer_listener kBufferListener = {&ShmBuffer::handleRelease};

}  // namespace

std::unique_ptr<ShmBuffer> ShmBuffer::create(wl_shm* shm, int width, int height, double devicePixelRatio,
                                             ShmFormat format) {
    if (!shm || width < 1 || height < 1) return nullptr;
    const int stride = width * 4;
    const size_t size = static_cast<size_t>(stride) * static_cast<size_t>(height);
    const int fd = ::memfd_create("tavrin-frame", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0) return nullptr;
    if (::ftruncate(fd, static_cast<off_t>(size)) != 0) {
        ::close(fd);
        return nullptr;
    }
    // The size is sealed: the compositor maps the same memory and must never see it shrink.
    ::fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL);
    void* memory = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (memory == MAP_FAILED) {
        ::close(fd);
        return nullptr;
    }
    std::unique_ptr<ShmBuffer> b(new ShmBuffer);
    b->memory_ = memory;
    b->size_ = size;
    wl_shm_pool* pool = wl_shm_create_pool(shm, fd, static_cast<int32_t>(size));
    b->buffer_ = wl_shm_pool_create_buffer(
        pool, 0, width, height, stride,
        format == ShmFormat::Argb8888 ? WL_SHM_FORMAT_ARGB8888 : WL_SHM_FORMAT_XRGB8888);
    // The buffer keeps the pool's memory; neither the pool nor the descriptor is needed again.
    wl_shm_pool_destroy(pool);
    ::close(fd);
    wl_buffer_add_listener(b->buffer_, &kBufferListener, b.get());
    // Both formats in memory are the byte order of Qt's 32-bit formats; every pixel drawn is opaque.
    b->image_ = QImage(static_cast<uchar*>(memory), width, height, stride, QImage::Format_ARGB32_Premultiplied);
    b->image_.setDevicePixelRatio(devicePixelRatio);
    b->image_.fill(Qt::black);
    return b;
}

ShmBuffer::~ShmBuffer() {
    image_ = QImage();
    if (buffer_) wl_buffer_destroy(buffer_);
    if (memory_) ::munmap(memory_, size_);
}

void ShmBuffer::handleRelease(void* data, wl_buffer*) { static_cast<ShmBuffer*>(data)->busy_ = false; }

}  // namespace waylandbackend
