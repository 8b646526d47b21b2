#include "platform/wayland/layer_surface.h"

#include <wayland-client.h>

#include <QPainter>
#include <cmath>

#include "fractional-scale-v1-client-protocol.h"
#include "host/host.h"
#include "platform/wayland/wayland_connection.h"
#include "platform/wayland/wayland_output.h"
#include "viewporter-client-protocol.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"

namespace waylandbackend {
namespace {

const zwlr_layer_surface_v1_listener kLayerSurfaceListener = {&LayerSurface::handleConfigure,
                                                              &LayerSurface::handleClosed};
const wp_fractional_scale_v1_listener kFractionalScaleListener = {&LayerSurface::handlePreferredScale};
const wl_callback_listener kFrameListener = {&LayerSurface::handleFrameDone};

/// The namespace compositors show in their rules and lists.
constexpr char kNamespace[] = "tavrin";

LayerSurface* self(void* data) { return static_cast<LayerSurface*>(data); }

}  // namespace

bool LayerWindow::isVisible() const { return surface_ && surface_->isMapped(); }

uint64_t LayerWindow::occlusionState() const { return isVisible() ? host::NSWindowOcclusionStateVisible : 0; }

std::shared_ptr<host::Screen> LayerWindow::screen() const {
    if (!surface_) return nullptr;
    return surface_->screen();
}

double LayerWindow::backingScaleFactor() const {
    if (!surface_) return 0;
    const BufferGeometry g = surface_->geometry();
    return g.width > 0 ? g.devicePixelRatio : 0;
}

LayerSurface::LayerSurface(const WaylandConnection& connection, WaylandOutput& output, const SurfaceRole& role)
    : connection_(connection), output_(output), screen_(output.screen()) {
    sinceMade_.start();
    const Globals& g = connection.globals();
    surface_ = wl_compositor_create_surface(g.compositor);
    if (g.fractionalScale) {
        fractionalScale_ = wp_fractional_scale_manager_v1_get_fractional_scale(g.fractionalScale, surface_);
        wp_fractional_scale_v1_add_listener(fractionalScale_, &kFractionalScaleListener, this);
    }
    // A viewport shows buffers at a fractional scale; without fractional scales there is none.
    if (g.viewporter && g.fractionalScale) viewport_ = wp_viewporter_get_viewport(g.viewporter, surface_);
    // Named output, every edge anchored, size 0 × 0: the compositor gives the output's size.
    layerSurface_ = zwlr_layer_shell_v1_get_layer_surface(g.layerShell, surface_, output.output(), role.layer,
                                                          kNamespace);
    zwlr_layer_surface_v1_add_listener(layerSurface_, &kLayerSurfaceListener, this);
    zwlr_layer_surface_v1_set_size(layerSurface_, 0, 0);
    zwlr_layer_surface_v1_set_anchor(layerSurface_,
                                     ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                         ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
    // Not moved aside by panels: the surface reaches every edge of the output.
    zwlr_layer_surface_v1_set_exclusive_zone(layerSurface_, -1);
    zwlr_layer_surface_v1_set_keyboard_interactivity(
        layerSurface_, role.takesKeyboard ? ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE
                                          : ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_NONE);
    wl_surface_commit(surface_);
}

LayerSurface::~LayerSurface() {
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
    if (layerSurface_) zwlr_layer_surface_v1_destroy(layerSurface_);
    if (surface_) wl_surface_destroy(surface_);
    for (auto& b : buffers_) b.reset();
}

void LayerSurface::handleConfigure(void* data, zwlr_layer_surface_v1*, uint32_t serial, uint32_t width,
                                   uint32_t height) {
    LayerSurface* s = self(data);
    s->configurePending_ = true;
    s->pendingSerial_ = serial;
    s->pendingWidth_ = width;
    s->pendingHeight_ = height;
}

void LayerSurface::handleClosed(void* data, zwlr_layer_surface_v1*) { self(data)->closed_ = true; }

void LayerSurface::handlePreferredScale(void* data, wp_fractional_scale_v1*, uint32_t scale) {
    self(data)->preferredScale120_ = scale;
}

void LayerSurface::handleFrameDone(void* data, wl_callback* callback, uint32_t) {
    LayerSurface* s = self(data);
    wl_callback_destroy(callback);
    if (s->frameCallback_ == callback) s->frameCallback_ = nullptr;
    s->callbackPending_ = false;
}

void LayerSurface::acceptConfigure() {
    if (!configurePending_) return;
    configurePending_ = false;
    zwlr_layer_surface_v1_ack_configure(layerSurface_, pendingSerial_);
    if (width_ == 0) sinceConfigure_.start();
    width_ = static_cast<int32_t>(pendingWidth_);
    height_ = static_cast<int32_t>(pendingHeight_);
    // The compositor waits for a frame of the new size: it is drawn next, whatever was pending.
    callbackPending_ = false;
}

BufferGeometry LayerSurface::geometryFor(int32_t width, int32_t height) const {
    return bufferGeometry(width, height, output_.description().scale, preferredScale120_, viewport_ != nullptr);
}

void LayerSurface::attachView(std::shared_ptr<host::ScreenSaverView> view) {
    view_ = std::move(view);
    renderer_ = std::make_unique<qtbackend::FrameRenderer>(*view_);
    window_ = std::make_shared<LayerWindow>(this);
    view_->hostAttachWindow(window_);
    view_->viewDidMoveToWindow();
}

void LayerSurface::applyGeometry(const BufferGeometry& geometry) {
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

ShmBuffer* LayerSurface::freeBuffer() {
    for (auto& b : buffers_)
        if (b && !b->isBusy()) return b.get();
    for (auto& b : buffers_) {
        if (b) continue;
        b = ShmBuffer::create(connection_.globals().shm, applied_.width, applied_.height, applied_.devicePixelRatio);
        return b.get();
    }
    return nullptr;  // all held by the compositor: the next frame callback frees one
}

bool LayerSurface::drawFrame(bool showFrameRate) {
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
    wl_surface_commit(surface_);
    mapped_ = true;
    ++framesCommitted_;
    return true;
}

void LayerSurface::unmap() {
    if (!mapped_ || closed_) return;
    wl_surface_attach(surface_, nullptr, 0, 0);
    wl_surface_commit(surface_);
    mapped_ = false;
}

}  // namespace waylandbackend
