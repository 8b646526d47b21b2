#include "platform/wayland/layer_surface.h"

#include <wayland-client.h>

#include "platform/wayland/wayland_connection.h"
#include "platform/wayland/wayland_output.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"

namespace waylandbackend {
namespace {

const zwlr_layer_surface_v1_listener kLayerSurfaceListener = {&LayerSurface::handleConfigure,
                                                              &LayerSurface::handleClosed};

/// The namespace compositors show in their rules and lists.
constexpr char kNamespace[] = "tavrin";

LayerSurface* self(void* data) { return static_cast<LayerSurface*>(data); }

}  // namespace

LayerSurface::LayerSurface(const WaylandConnection& connection, WaylandOutput& output, const SurfaceRole& role)
    : OutputSurface(connection, output) {
    // Named output, every edge anchored, size 0 × 0: the compositor gives the output's size.
    layerSurface_ = zwlr_layer_shell_v1_get_layer_surface(connection.globals().layerShell, surface(),
                                                          output.output(), role.layer, kNamespace);
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
    wl_surface_commit(surface());
}

LayerSurface::~LayerSurface() {
    // The role goes before the surface, which the base destroys.
    if (layerSurface_) zwlr_layer_surface_v1_destroy(layerSurface_);
}

void LayerSurface::handleConfigure(void* data, zwlr_layer_surface_v1*, uint32_t serial, uint32_t width,
                                   uint32_t height) {
    self(data)->recordConfigure(serial, width, height);
}

void LayerSurface::handleClosed(void* data, zwlr_layer_surface_v1*) { self(data)->recordClosed(); }

void LayerSurface::ackConfigure(uint32_t serial) { zwlr_layer_surface_v1_ack_configure(layerSurface_, serial); }

}  // namespace waylandbackend
