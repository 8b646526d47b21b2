#include "platform/wayland/xdg_toplevel_surface.h"

#include <wayland-client.h>

#include <utility>

#include "platform/wayland/wayland_connection.h"
#include "platform/wayland/wayland_output.h"
#include "xdg-shell-client-protocol.h"

namespace waylandbackend {
namespace {

const xdg_surface_listener kSurfaceListener = {&XdgToplevelSurface::handleSurfaceConfigure};
// Version 1 is bound: the events of later versions (bounds, capabilities) never come.
const xdg_toplevel_listener kToplevelListener = {&XdgToplevelSurface::handleToplevelConfigure,
                                                 &XdgToplevelSurface::handleClose,
                                                 [](void*, xdg_toplevel*, int32_t, int32_t) {},
                                                 [](void*, xdg_toplevel*, wl_array*) {}};

XdgToplevelSurface* self(void* data) { return static_cast<XdgToplevelSurface*>(data); }

}  // namespace

XdgToplevelSurface::XdgToplevelSurface(const WaylandConnection& connection, WaylandOutput& output)
    : OutputSurface(connection, output) {
    xdgSurface_ = xdg_wm_base_get_xdg_surface(connection.globals().wmBase, surface());
    xdg_surface_add_listener(xdgSurface_, &kSurfaceListener, this);
    toplevel_ = xdg_surface_get_toplevel(xdgSurface_);
    xdg_toplevel_add_listener(toplevel_, &kToplevelListener, this);
    // The name of the desktop entry, by which the compositor finds the icon and the name to show.
    xdg_toplevel_set_app_id(toplevel_, "tavrin");
    xdg_toplevel_set_title(toplevel_, "Tavrin");
    // Asked before the first commit, so that the first configure is already the full-screen one.
    askToCoverOutput();
    wl_surface_commit(surface());
}

void XdgToplevelSurface::askToCoverOutput() {
    if (toplevel_) xdg_toplevel_set_fullscreen(toplevel_, output().output());
}

XdgToplevelSurface::~XdgToplevelSurface() {
    // The roles go before the surface, which the base destroys.
    takeDown();
}

void XdgToplevelSurface::takeDown() {
    if (toplevel_) xdg_toplevel_destroy(std::exchange(toplevel_, nullptr));
    if (xdgSurface_) xdg_surface_destroy(std::exchange(xdgSurface_, nullptr));
}

void XdgToplevelSurface::handleToplevelConfigure(void* data, xdg_toplevel*, int32_t width, int32_t height,
                                                 wl_array* states) {
    XdgToplevelSurface* s = self(data);
    // A negative side is nonsense; it reads as the largest size, which is refused.
    s->nextWidth_ = static_cast<uint32_t>(width);
    s->nextHeight_ = static_cast<uint32_t>(height);
    s->nextFullscreen_ = false;
    const size_t count = states ? states->size / sizeof(uint32_t) : 0;
    for (size_t i = 0; i < count; ++i)
        if (static_cast<const uint32_t*>(states->data)[i] == XDG_TOPLEVEL_STATE_FULLSCREEN) s->nextFullscreen_ = true;
}

void XdgToplevelSurface::handleSurfaceConfigure(void* data, xdg_surface*, uint32_t serial) {
    XdgToplevelSurface* s = self(data);
    s->recordConfigure(serial, s->nextWidth_, s->nextHeight_);
    s->pendingFullscreen_ = s->nextFullscreen_;
}

void XdgToplevelSurface::handleClose(void* data, xdg_toplevel*) { self(data)->recordCloseRequested(); }

void XdgToplevelSurface::ackConfigure(uint32_t serial) {
    if (xdgSurface_) xdg_surface_ack_configure(xdgSurface_, serial);
}

}  // namespace waylandbackend
