#include "platform/wayland/wayland_output.h"

#include <wayland-client.h>

#include "xdg-output-unstable-v1-client-protocol.h"

namespace waylandbackend {
namespace {

// Names longer than this are cut: a compositor's names are short, and nothing here needs more.
constexpr size_t kMaxNameLength = 64;

std::string boundedName(const char* name) {
    std::string text = name ? std::string(name) : std::string();
    if (text.size() > kMaxNameLength) text.resize(kMaxNameLength);
    return text;
}

const wl_output_listener kOutputListener = {
    &WaylandOutput::handleGeometry, &WaylandOutput::handleMode,  &WaylandOutput::handleDone,
    &WaylandOutput::handleScale,    &WaylandOutput::handleName, &WaylandOutput::handleDescription,
};

const zxdg_output_v1_listener kXdgOutputListener = {
    &WaylandOutput::handleLogicalPosition, &WaylandOutput::handleLogicalSize, &WaylandOutput::handleXdgDone,
    &WaylandOutput::handleXdgName,         &WaylandOutput::handleXdgDescription,
};

WaylandOutput* self(void* data) { return static_cast<WaylandOutput*>(data); }

}  // namespace

WaylandOutput::WaylandOutput(wl_output* output, uint32_t globalName, uint32_t version)
    : output_(output), globalName_(globalName), version_(version) {
    wl_output_add_listener(output_, &kOutputListener, this);
}

WaylandOutput::~WaylandOutput() {
    if (xdgOutput_) zxdg_output_v1_destroy(xdgOutput_);
    if (version_ >= WL_OUTPUT_RELEASE_SINCE_VERSION)
        wl_output_release(output_);
    else
        wl_output_destroy(output_);
}

void WaylandOutput::watchLogicalGeometry(zxdg_output_manager_v1* manager, uint32_t managerVersion) {
    if (xdgOutput_ || !manager) return;
    xdgOutput_ = zxdg_output_manager_v1_get_xdg_output(manager, output_);
    xdgVersion_ = managerVersion;
    zxdg_output_v1_add_listener(xdgOutput_, &kXdgOutputListener, this);
    // The logical description follows; until it is complete the output is not described anew.
    wlDone_ = xdgDone_ = false;
}

std::string WaylandOutput::label() const {
    return current_.name.empty() ? "output " + std::to_string(globalName_) : current_.name;
}

bool WaylandOutput::takeChanged() {
    const bool changed = changed_;
    changed_ = false;
    return changed;
}

void WaylandOutput::commit() {
    // With an xdg-output, a description counts only once its logical layout has come and both
    // halves are done: from version 3 on its events end with the wl_output's done, before that
    // with a done of its own.
    if (xdgOutput_) {
        if (!pending_.hasLogicalGeometry || !(xdgVersion_ >= 3 ? wlDone_ : xdgDone_)) return;
    } else {
        // No logical layout: the mode divided by the scale, at the position the output claims.
        const int32_t scale = pending_.scale > 0 ? pending_.scale : 1;
        pending_.width = pending_.modeWidth / scale;
        pending_.height = pending_.modeHeight / scale;
    }
    const OutputDescription& p = pending_;
    const OutputDescription& c = current_;
    changed_ = changed_ || !ready_ || p.name != c.name || p.x != c.x || p.y != c.y || p.width != c.width ||
               p.height != c.height || p.scale != c.scale || p.modeWidth != c.modeWidth ||
               p.modeHeight != c.modeHeight;
    current_ = pending_;
    ready_ = true;
}

void WaylandOutput::handleGeometry(void* data, wl_output*, int32_t x, int32_t y, int32_t, int32_t, int32_t,
                                   const char*, const char*, int32_t) {
    WaylandOutput* o = self(data);
    if (!o->pending_.hasLogicalGeometry) {
        o->pending_.x = x;
        o->pending_.y = y;
    }
}

void WaylandOutput::handleMode(void* data, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t) {
    if (!(flags & WL_OUTPUT_MODE_CURRENT)) return;
    self(data)->pending_.modeWidth = width;
    self(data)->pending_.modeHeight = height;
}

void WaylandOutput::handleDone(void* data, wl_output*) {
    self(data)->wlDone_ = true;
    self(data)->commit();
}

void WaylandOutput::handleScale(void* data, wl_output*, int32_t factor) { self(data)->pending_.scale = factor; }

void WaylandOutput::handleName(void* data, wl_output*, const char* name) {
    self(data)->pending_.name = boundedName(name);
}

void WaylandOutput::handleDescription(void*, wl_output*, const char*) {}

void WaylandOutput::handleLogicalPosition(void* data, zxdg_output_v1*, int32_t x, int32_t y) {
    WaylandOutput* o = self(data);
    o->pending_.x = x;
    o->pending_.y = y;
    o->pending_.hasLogicalGeometry = true;
}

void WaylandOutput::handleLogicalSize(void* data, zxdg_output_v1*, int32_t width, int32_t height) {
    WaylandOutput* o = self(data);
    o->pending_.width = width;
    o->pending_.height = height;
    o->pending_.hasLogicalGeometry = true;
}

void WaylandOutput::handleXdgDone(void* data, zxdg_output_v1*) {
    self(data)->xdgDone_ = true;
    self(data)->commit();
}

void WaylandOutput::handleXdgName(void* data, zxdg_output_v1*, const char* name) {
    // wl_output's own name (version 4) wins where both are told; they agree on every compositor
    // seen, and the xdg-output name is the older of the two.
    if (self(data)->pending_.name.empty()) self(data)->pending_.name = boundedName(name);
}

void WaylandOutput::handleXdgDescription(void*, zxdg_output_v1*, const char*) {}

}  // namespace waylandbackend
