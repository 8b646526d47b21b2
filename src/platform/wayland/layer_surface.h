// A layer surface (zwlr_layer_shell_v1) on one output: anchored to every edge at the size the
// compositor chooses, on the overlay layer for a screen saver or the background layer for a lock
// screen's background.
#pragma once

#include <cstdint>

#include "platform/wayland/output_surface.h"

struct zwlr_layer_surface_v1;

namespace waylandbackend {

/// How the surfaces of a run sit on their outputs.
struct SurfaceRole {
    uint32_t layer = 3;           ///< zwlr_layer_shell_v1.layer: 3 overlay (a saver), 0 background
    bool takesKeyboard = true;    ///< exclusive keyboard interactivity, to see key presses
};

class LayerSurface : public OutputSurface {
public:
    /// Makes the surface on `output` and commits its state; the compositor answers with a configure.
    LayerSurface(const WaylandConnection& connection, WaylandOutput& output, const SurfaceRole& role);
    ~LayerSurface() override;

    const char* kind() const override { return "a layer surface"; }

    // The compositor's events; they only record what it said.
    static void handleConfigure(void* data, zwlr_layer_surface_v1*, uint32_t serial, uint32_t width, uint32_t height);
    static void handleClosed(void* data, zwlr_layer_surface_v1*);

protected:
    void ackConfigure(uint32_t serial) override;

private:
    zwlr_layer_surface_v1* layerSurface_ = nullptr;
};

}  // namespace waylandbackend
