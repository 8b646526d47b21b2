#include "platform/wayland/wayland_connection.h"

#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "fractional-scale-v1-client-protocol.h"
#include "platform/wayland/wayland_output.h"
#include "platform/wayland/wayland_seat.h"
#include "viewporter-client-protocol.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace waylandbackend {
namespace {

// The highest versions this backend knows how to use.
constexpr uint32_t kCompositorVersion = 4;  // damage_buffer
constexpr uint32_t kShmVersion = 1;
constexpr uint32_t kLayerShellVersion = 4;
constexpr uint32_t kWmBaseVersion = 1;  // fullscreen toplevels need nothing newer
constexpr uint32_t kXdgOutputVersion = 3;
constexpr uint32_t kOutputVersion = 4;  // names
constexpr uint32_t kSeatVersion = 7;
/// Most outputs and seats followed: a compositor announcing more is not believed.
constexpr size_t kMaxOutputs = 32;
constexpr size_t kMaxSeats = 8;

template <typename T>
T* bind(wl_registry* registry, uint32_t name, const wl_interface* interface, uint32_t offered, uint32_t wanted,
        uint32_t* bound = nullptr) {
    const uint32_t version = std::min(offered, wanted);
    if (bound) *bound = version;
    return static_cast<T*>(wl_registry_bind(registry, name, interface, version));
}

/// The compositor asks whether the client is alive: the answer goes out with the next flush,
/// which follows every batch of events.
void answerPing(void*, xdg_wm_base* base, uint32_t serial) { xdg_wm_base_pong(base, serial); }

const xdg_wm_base_listener kWmBaseListener = {&answerPing};

}  // namespace

std::unique_ptr<WaylandConnection> WaylandConnection::connect(std::string* error) {
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        *error = std::string("cannot connect to the Wayland compositor: ") + std::strerror(errno);
        return nullptr;
    }
    std::unique_ptr<WaylandConnection> connection(new WaylandConnection(display));
    // The globals come in answer to the registry; one roundtrip has them all.
    if (!connection->roundtrip(5000)) {
        *error = "the Wayland compositor did not answer";
        return nullptr;
    }
    return connection;
}

WaylandConnection::WaylandConnection(wl_display* display)
    : display_(display), pump_(std::make_unique<DisplayPump>(display)) {
    QObject::connect(pump_.get(), &DisplayPump::dispatched, this, &WaylandConnection::dispatched);
    QObject::connect(pump_.get(), &DisplayPump::failed, this,
                     [this](const QString& message, bool protocolError, int) { emit failed(message, protocolError); });
    registry_ = wl_display_get_registry(display_);
    static const wl_registry_listener listener = {&WaylandConnection::handleGlobal,
                                                  &WaylandConnection::handleGlobalRemove};
    wl_registry_add_listener(registry_, &listener, this);
}

WaylandConnection::~WaylandConnection() {
    removedOutputs_.clear();
    outputs_.clear();
    seats_.clear();
    if (globals_.fractionalScale) wp_fractional_scale_manager_v1_destroy(globals_.fractionalScale);
    if (globals_.viewporter) wp_viewporter_destroy(globals_.viewporter);
    if (globals_.xdgOutputManager) zxdg_output_manager_v1_destroy(globals_.xdgOutputManager);
    if (globals_.wmBase) xdg_wm_base_destroy(globals_.wmBase);
    if (globals_.layerShell) {
        if (globals_.layerShellVersion >= ZWLR_LAYER_SHELL_V1_DESTROY_SINCE_VERSION)
            zwlr_layer_shell_v1_destroy(globals_.layerShell);
        else
            wl_proxy_destroy(reinterpret_cast<wl_proxy*>(globals_.layerShell));
    }
    if (globals_.shm) wl_shm_destroy(globals_.shm);
    if (globals_.compositor) wl_compositor_destroy(globals_.compositor);
    if (registry_) wl_registry_destroy(registry_);
    pump_.reset();  // sends the destructions
    wl_display_disconnect(display_);
}

void WaylandConnection::handleGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
                                     uint32_t version) {
    auto* c = static_cast<WaylandConnection*>(data);
    Globals& g = c->globals_;
    const std::string_view which(interface);
    if (which == wl_compositor_interface.name && !g.compositor) {
        g.compositor = bind<wl_compositor>(registry, name, &wl_compositor_interface, version, kCompositorVersion,
                                           &g.compositorVersion);
    } else if (which == wl_shm_interface.name && !g.shm) {
        g.shm = bind<wl_shm>(registry, name, &wl_shm_interface, version, kShmVersion);
    } else if (which == zwlr_layer_shell_v1_interface.name && !g.layerShell) {
        g.layerShell = bind<zwlr_layer_shell_v1>(registry, name, &zwlr_layer_shell_v1_interface, version,
                                                 kLayerShellVersion, &g.layerShellVersion);
    } else if (which == xdg_wm_base_interface.name && !g.wmBase) {
        g.wmBase = bind<xdg_wm_base>(registry, name, &xdg_wm_base_interface, version, kWmBaseVersion);
        xdg_wm_base_add_listener(g.wmBase, &kWmBaseListener, c);
    } else if (which == zxdg_output_manager_v1_interface.name && !g.xdgOutputManager) {
        g.xdgOutputManager = bind<zxdg_output_manager_v1>(registry, name, &zxdg_output_manager_v1_interface, version,
                                                          kXdgOutputVersion, &g.xdgOutputVersion);
        for (const auto& output : c->outputs_) output->watchLogicalGeometry(g.xdgOutputManager, g.xdgOutputVersion);
    } else if (which == wp_viewporter_interface.name && !g.viewporter) {
        g.viewporter = bind<wp_viewporter>(registry, name, &wp_viewporter_interface, version, 1);
    } else if (which == wp_fractional_scale_manager_v1_interface.name && !g.fractionalScale) {
        g.fractionalScale = bind<wp_fractional_scale_manager_v1>(
            registry, name, &wp_fractional_scale_manager_v1_interface, version, 1);
    } else if (which == wl_output_interface.name) {
        if (c->started_)
            c->bindOutput(name, version);
        else
            c->pendingOutputs_.emplace_back(name, version);
    } else if (which == wl_seat_interface.name) {
        if (c->started_ && !c->withSeats_) return;
        if (c->started_)
            c->bindSeat(name, version);
        else
            c->pendingSeats_.emplace_back(name, version);
    }
}

void WaylandConnection::handleGlobalRemove(void* data, wl_registry*, uint32_t name) {
    auto* c = static_cast<WaylandConnection*>(data);
    std::erase_if(c->pendingOutputs_, [name](const auto& p) { return p.first == name; });
    std::erase_if(c->pendingSeats_, [name](const auto& p) { return p.first == name; });
    const auto output = std::find_if(c->outputs_.begin(), c->outputs_.end(),
                                     [name](const auto& o) { return o->globalName() == name; });
    if (output != c->outputs_.end()) {
        c->removedOutputs_.push_back(std::move(*output));
        c->outputs_.erase(output);
    }
    std::erase_if(c->seats_, [name](const auto& s) { return s->globalName() == name; });
}

void WaylandConnection::bindOutput(uint32_t name, uint32_t version) {
    if (outputs_.size() >= kMaxOutputs) return;
    uint32_t bound = 0;
    auto* output = bind<wl_output>(registry_, name, &wl_output_interface, version, kOutputVersion, &bound);
    outputs_.push_back(std::make_unique<WaylandOutput>(output, name, bound));
    outputs_.back()->watchLogicalGeometry(globals_.xdgOutputManager, globals_.xdgOutputVersion);
}

void WaylandConnection::bindSeat(uint32_t name, uint32_t version) {
    if (seats_.size() >= kMaxSeats) return;
    uint32_t bound = 0;
    auto* seat = bind<wl_seat>(registry_, name, &wl_seat_interface, version, kSeatVersion, &bound);
    seats_.push_back(std::make_unique<WaylandSeat>(seat, name, bound));
}

std::vector<std::unique_ptr<WaylandOutput>> WaylandConnection::takeRemovedOutputs() {
    return std::exchange(removedOutputs_, {});
}

void WaylandConnection::start(bool withSeats) {
    if (started_ || pump_->hasFailed()) return;
    started_ = true;
    withSeats_ = withSeats;
    for (const auto& [name, version] : std::exchange(pendingOutputs_, {})) bindOutput(name, version);
    for (const auto& [name, version] : std::exchange(pendingSeats_, {}))
        if (withSeats_) bindSeat(name, version);
    pump_->start();
}

void WaylandConnection::flush() { pump_->flush(); }

bool WaylandConnection::roundtrip(int timeoutMs) { return pump_->roundtrip(timeoutMs); }

bool WaylandConnection::hasFailed() const { return pump_->hasFailed(); }

void WaylandConnection::setReadOnlyWhenAsked(bool onlyWhenAsked) { pump_->setReadOnlyWhenAsked(onlyWhenAsked); }

void WaylandConnection::readNow() { pump_->readNow(); }

}  // namespace waylandbackend
