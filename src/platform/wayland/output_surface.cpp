#include "platform/wayland/output_surface.h"

#include <wayland-client.h>

#include <QPainter>
#include <cmath>

#include "fractional-scale-v1-client-protocol.h"
#include "host/host.h"
#include "platform/wayland/wayland_connection.h"
#include "platform/wayland/wayland_output.h"
#include "viewporter-client-protocol.h"

namespace waylandbackend {
namespace {

const wp_fractional_scale_v1_listener kFractionalScaleListener = {&OutputSurface::handlePreferredScale};
const wl_callback_listener kFrameListener = {&OutputSurface::handleFrameDone};
const wl_surface_listener kSurfaceListener = {&OutputSurface::handleEnter, &OutputSurface::handleLeave};

OutputSurface* self(void* data) { return static_cast<OutputSurface*>(data); }

}  // namespace

bool SurfaceWindow::isVisible() const { return surface_ && surface_->isRepainted(); }

uint64_t SurfaceWindow::occlusionState() const { return isVisible() ? host::NSWindowOcclusionStateVisible : 0; }

std::shared_ptr<host::Screen> SurfaceWindow::screen() const {
    if (!surface_) return nullptr;
    return surface_->screen();
}

double SurfaceWindow::backingScaleFactor() const {
    if (!surface_) return 0;
    const BufferGeometry g = surface_->geometry();
    return g.width > 0 ? g.devicePixelRatio : 0;
}

OutputSurface::OutputSurface(const WaylandConnection& connection, WaylandOutput& output)
    : connection_(connection), output_(output), screen_(output.screen()) {
    sinceMade_.start();
    const Globals& g = connection.globals();
    surface_ = wl_compositor_create_surface(g.compositor);
    wl_surface_add_listener(surface_, &kSurfaceListener, this);
    if (g.fractionalScale) {
        fractionalScale_ = wp_fractional_scale_manager_v1_get_fractional_scale(g.fractionalScale, surface_);
        wp_fractional_scale_v1_add_listener(fractionalScale_, &kFractionalScaleListener, this);
    }
    // A viewport shows buffers at a fractional scale; without fractional scales there is none.
    if (g.viewporter && g.fractionalScale) viewport_ = wp_viewporter_get_viewport(g.viewporter, surface_);
}

OutputSurface::~OutputSurface() {
    if (window_) window_->detach();
    if (view_ && host::hasHost()) {
        // The view may outlive the surface (queued work can hold it): it never asks a window that
        // is gone.
        view_->hostAttachWindow(nullptr);
        view_->viewDidMoveToWindow();
    }
    renderer_.reset();
    view_.reset();
    if (frameCallback_) wl_callback_destroy(frameCallback_);
    if (fractionalScale_) wp_fractional_scale_v1_destroy(fractionalScale_);
    if (viewport_) wp_viewport_destroy(viewport_);
    if (surface_) wl_surface_destroy(surface_);
    for (auto& b : buffers_) b.reset();
}

void OutputSurface::recordConfigure(uint32_t serial, uint32_t width, uint32_t height) {
    configurePending_ = true;
    pendingSerial_ = serial;
    pendingWidth_ = width;
    pendingHeight_ = height;
}

void OutputSurface::handlePreferredScale(void* data, wp_fractional_scale_v1*, uint32_t scale) {
    self(data)->preferredScale120_ = scale;
}

void OutputSurface::handleFrameDone(void* data, wl_callback* callback, uint32_t) {
    OutputSurface* s = self(data);
    wl_callback_destroy(callback);
    if (s->frameCallback_ == callback) s->frameCallback_ = nullptr;
    s->callbackPending_ = false;
}

void OutputSurface::handleEnter(void* data, wl_surface*, wl_output* output) {
    OutputSurface* s = self(data);
    // An output this client has already let go of comes as null.
    if (output && output != s->output_.output()) s->strayOutput_ = output;
}

void OutputSurface::handleLeave(void* data, wl_surface*, wl_output* output) {
    if (self(data)->strayOutput_ == output) self(data)->strayOutput_ = nullptr;
}

void OutputSurface::acceptConfigure(int32_t width, int32_t height) {
    if (!configurePending_) return;
    configurePending_ = false;
    ackConfigure(pendingSerial_);
    if (width_ == 0) sinceConfigure_.start();
    width_ = width;
    height_ = height;
    // The compositor waits for a frame of the new size: it is drawn next, whatever was pending.
    callbackPending_ = false;
}

BufferGeometry OutputSurface::geometryFor(int32_t width, int32_t height) const {
    return bufferGeometry(width, height, output_.description().scale, preferredScale120_, viewport_ != nullptr);
}

void OutputSurface::attachView(std::shared_ptr<host::ScreenSaverView> view) {
    view_ = std::move(view);
    renderer_ = std::make_unique<qtbackend::FrameRenderer>(*view_);
    window_ = std::make_shared<SurfaceWindow>(this);
    view_->hostAttachWindow(window_);
    view_->viewDidMoveToWindow();
}

void OutputSurface::applyGeometry(const BufferGeometry& geometry) {
    const bool densityChanged = geometry.devicePixelRatio != applied_.devicePixelRatio;
    applied_ = geometry;
    for (auto& b : buffers_) b.reset();
    onSurface_.valid = false;
    // Every pixel is opaque: the compositor need not draw what lies under the surface.
    wl_region* opaque = wl_compositor_create_region(connection_.globals().compositor);
    wl_region_add(opaque, 0, 0, width_, height_);
    wl_surface_set_opaque_region(surface_, opaque);
    wl_region_destroy(opaque);
    if (geometry.viewport) {
        wl_surface_set_buffer_scale(surface_, 1);
        wp_viewport_set_destination(viewport_, width_, height_);
    } else {
        if (viewport_) wp_viewport_set_destination(viewport_, -1, -1);
        if (connection_.globals().compositorVersion >= WL_SURFACE_SET_BUFFER_SCALE_SINCE_VERSION)
            wl_surface_set_buffer_scale(surface_, geometry.bufferScale);
    }
    if (densityChanged && view_) view_->viewDidChangeBackingProperties();
}

ShmBuffer* OutputSurface::freeBuffer() {
    for (auto& b : buffers_)
        if (b && !b->isBusy()) return b.get();
    for (auto& b : buffers_) {
        if (b) continue;
        b = ShmBuffer::create(connection_.globals().shm, applied_.width, applied_.height, applied_.devicePixelRatio,
                              bufferFormat());
        return b.get();
    }
    return nullptr;  // all held by the compositor: the next frame callback frees one
}

bool OutputSurface::drawFrame(bool showFrameRate) {
    if (!view_ || width_ <= 0 || closed_) return false;
    const BufferGeometry g = geometry();
    if (g.width <= 0) return false;
    if (g != applied_) applyGeometry(g);
    ShmBuffer* buffer = freeBuffer();
    if (!buffer) return false;

    const double heightPoints = height_;
    const double dpr = g.devicePixelRatio;
    qtbackend::FrameRenderer& renderer = *renderer_;
    renderer.measure(heightPoints, dpr, QSize(g.width, g.height));
    // The frame rate is drawn over the scene every frame: the scene is drawn again under its box.
    auto deviceBox = [dpr](const QRect& points) {
        if (points.isEmpty()) return QRect();
        return QRect(QPoint(static_cast<int>(std::floor(points.left() * dpr)),
                            static_cast<int>(std::floor(points.top() * dpr))),
                     QPoint(static_cast<int>(std::ceil((points.right() + 1) * dpr)) - 1,
                            static_cast<int>(std::ceil((points.bottom() + 1) * dpr)) - 1));
    };
    const QRect rateBefore = showFrameRate ? deviceBox(frameRate_.box()) : QRect();

    const bool wholeBuffer = renderer.takeDamage(buffer->shown());
    if (!rateBefore.isEmpty()) renderer.includeInChanged(rateBefore);
    if (wholeBuffer || !renderer.changed().empty()) renderer.draw(buffer->image(), heightPoints, wholeBuffer);
    QRect rate;
    if (showFrameRate) {
        QPainter painter(&buffer->image());
        frameRate_.draw(painter, height_);
        rate = rateBefore | deviceBox(frameRate_.box());
    }

    const bool wholeSurface = renderer.takeDamage(onSurface_);
    view_->setNeedsDisplay(false);
    if (!wholeSurface && renderer.changed().empty() && rate.isEmpty() && mapped_) return true;  // nothing new

    const bool bufferDamage = connection_.globals().compositorVersion >= WL_SURFACE_DAMAGE_BUFFER_SINCE_VERSION;
    auto damage = [&](const QRect& r) {
        if (bufferDamage) {
            wl_surface_damage_buffer(surface_, r.x(), r.y(), r.width(), r.height());
        } else {
            // Surface units, outwards.
            const int x0 = static_cast<int>(std::floor(r.left() / dpr));
            const int y0 = static_cast<int>(std::floor(r.top() / dpr));
            const int x1 = static_cast<int>(std::ceil((r.right() + 1) / dpr));
            const int y1 = static_cast<int>(std::ceil((r.bottom() + 1) / dpr));
            wl_surface_damage(surface_, x0, y0, x1 - x0, y1 - y0);
        }
    };
    if (wholeSurface) {
        damage(QRect(0, 0, g.width, g.height));
    } else {
        for (const QRect& r : renderer.changed()) damage(r);
        if (!rate.isEmpty()) damage(rate);
    }
    if (frameCallback_) wl_callback_destroy(frameCallback_);
    wl_surface_attach(surface_, buffer->buffer(), 0, 0);
    buffer->markBusy();
    frameCallback_ = wl_surface_frame(surface_);
    wl_callback_add_listener(frameCallback_, &kFrameListener, this);
    callbackPending_ = true;
    callbackAsked_.start();
    wl_surface_commit(surface_);
    mapped_ = true;
    ++framesCommitted_;
    return true;
}

void OutputSurface::unmap() {
    if (!mapped_ || closed_) return;
    takeDown();
    mapped_ = false;
}

void OutputSurface::takeDown() {
    wl_surface_attach(surface_, nullptr, 0, 0);
    wl_surface_commit(surface_);
}

}  // namespace waylandbackend
