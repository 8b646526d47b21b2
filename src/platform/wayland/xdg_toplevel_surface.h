// A fullscreen toplevel (xdg_toplevel) on one output, for compositors without layer-shell (GNOME's
// Mutter, weston): asked to be full screen on its output before its first commit, and drawn at
// the size each configure gives, never another. The compositor may leave a side to the client
// (0), place the toplevel elsewhere or not make it full screen at all: the listeners record what
// it said, and the session logs what is wrong and goes on.
#pragma once

#include <cstdint>

#include "platform/wayland/output_surface.h"

struct wl_array;
struct xdg_surface;
struct xdg_toplevel;

namespace waylandbackend {

class XdgToplevelSurface : public OutputSurface {
public:
    /// Makes the toplevel, asks for full screen on `output` and commits; the compositor answers
    /// with a configure.
    XdgToplevelSurface(const WaylandConnection& connection, WaylandOutput& output);
    ~XdgToplevelSurface() override;

    const char* kind() const override { return "a fullscreen toplevel"; }
    bool leavesSizeToClient() const override { return true; }
    bool pendingIsFullscreen() const override { return pendingFullscreen_; }
    void askToCoverOutput() override;

    // The compositor's events; they only record what it said. A toplevel's configure is complete
    // with the xdg_surface's configure that follows it.
    static void handleSurfaceConfigure(void* data, xdg_surface*, uint32_t serial);
    static void handleToplevelConfigure(void* data, xdg_toplevel*, int32_t width, int32_t height, wl_array* states);
    static void handleClose(void* data, xdg_toplevel*);

protected:
    void ackConfigure(uint32_t serial) override;
    /// The toplevel goes as a whole: Mutter gives the keyboard back to the window under the saver
    /// when its windows are destroyed, not when they only lose their buffers.
    void takeDown() override;
    /// With alpha: Mutter 43 keeps the texture of such a buffer and uploads only the damage, where
    /// for XRGB8888 it makes a new texture of the whole buffer at every commit and repaints the
    /// whole monitor (GNOME Shell then spends over fifteen times the CPU on the saver). The opaque
    /// region still says that nothing is to be blended.
    ShmFormat bufferFormat() const override { return ShmFormat::Argb8888; }

private:
    xdg_surface* xdgSurface_ = nullptr;
    xdg_toplevel* toplevel_ = nullptr;
    uint32_t nextWidth_ = 0, nextHeight_ = 0;  ///< of the toplevel's configure, until the surface's
    bool nextFullscreen_ = false;
    bool pendingFullscreen_ = false;
};

}  // namespace waylandbackend
