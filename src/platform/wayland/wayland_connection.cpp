#include "platform/wayland/wayland_connection.h"

#include <poll.h>
#include <wayland-client.h>

#include <QElapsedTimer>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "fractional-scale-v1-client-protocol.h"
#include "platform/wayland/wayland_output.h"
#include "platform/wayland/wayland_seat.h"
#include "viewporter-client-protocol.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"

namespace waylandbackend {
namespace {

// The highest versions this backend knows how to use.
constexpr uint32_t kCompositorVersion = 4;  // damage_buffer
constexpr uint32_t kShmVersion = 1;
constexpr uint32_t kLayerShellVersion = 4;
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

WaylandConnection::WaylandConnection(wl_display* display) : display_(display) {
    registry_ = wl_display_get_registry(display_);
    static const wl_registry_listener listener = {&WaylandConnection::handleGlobal,
                                                  &WaylandConnection::handleGlobalRemove};
    wl_registry_add_listener(registry_, &listener, this);
}

WaylandConnection::~WaylandConnection() {
    readNotifier_.reset();
    writeNotifier_.reset();
    removedOutputs_.clear();
    outputs_.clear();
    seats_.clear();
    if (globals_.fractionalScale) wp_fractional_scale_manager_v1_destroy(globals_.fractionalScale);
    if (globals_.viewporter) wp_viewporter_destroy(globals_.viewporter);
    if (globals_.xdgOutputManager) zxdg_output_manager_v1_destroy(globals_.xdgOutputManager);
    if (globals_.layerShell) {
        if (globals_.layerShellVersion >= ZWLR_LAYER_SHELL_V1_DESTROY_SINCE_VERSION)
            zwlr_layer_shell_v1_destroy(globals_.layerShell);
        else
            wl_proxy_destroy(reinterpret_cast<wl_proxy*>(globals_.layerShell));
    }
    if (globals_.shm) wl_shm_destroy(globals_.shm);
    if (globals_.compositor) wl_compositor_destroy(globals_.compositor);
    if (registry_) wl_registry_destroy(registry_);
    if (!failed_) wl_display_flush(display_);
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
    if (started_ || failed_) return;
    started_ = true;
    withSeats_ = withSeats;
    for (const auto& [name, version] : std::exchange(pendingOutputs_, {})) bindOutput(name, version);
    for (const auto& [name, version] : std::exchange(pendingSeats_, {}))
        if (withSeats_) bindSeat(name, version);
    readNotifier_ = std::make_unique<QSocketNotifier>(wl_display_get_fd(display_), QSocketNotifier::Read);
    QObject::connect(readNotifier_.get(), &QSocketNotifier::activated, this, [this] { readEvents(); });
    writeNotifier_ = std::make_unique<QSocketNotifier>(wl_display_get_fd(display_), QSocketNotifier::Write);
    writeNotifier_->setEnabled(false);
    QObject::connect(writeNotifier_.get(), &QSocketNotifier::activated, this, [this] { flush(); });
    flush();
}

void WaylandConnection::flush() {
    if (failed_) return;
    if (wl_display_flush(display_) >= 0) {
        if (writeNotifier_) writeNotifier_->setEnabled(false);
        return;
    }
    if (errno == EAGAIN) {
        // The socket is full: the rest goes out when it can take more, never by spinning here.
        if (writeNotifier_) writeNotifier_->setEnabled(true);
        return;
    }
    checkFailure();
}

bool WaylandConnection::roundtrip(int timeoutMs) {
    if (failed_) return false;
    // wl_display_roundtrip would wait for ever on a compositor that stalls: the same, with a limit.
    wl_callback* done = wl_display_sync(display_);
    bool answered = false;
    static const wl_callback_listener listener = {
        [](void* data, wl_callback*, uint32_t) { *static_cast<bool*>(data) = true; }};
    wl_callback_add_listener(done, &listener, &answered);
    QElapsedTimer clock;
    clock.start();
    bool ok = false;
    for (;;) {
        if (wl_display_dispatch_pending(display_) < 0) {
            checkFailure();
            break;
        }
        if (answered) {
            ok = true;
            break;
        }
        if (wl_display_prepare_read(display_) != 0) continue;  // more events queued meanwhile
        if (wl_display_flush(display_) < 0 && errno != EAGAIN) {
            wl_display_cancel_read(display_);
            checkFailure();
            break;
        }
        const int left = timeoutMs - static_cast<int>(clock.elapsed());
        pollfd fd{wl_display_get_fd(display_), POLLIN, 0};
        if (left <= 0 || ::poll(&fd, 1, left) <= 0) {
            wl_display_cancel_read(display_);
            break;
        }
        if (wl_display_read_events(display_) < 0) {
            checkFailure();
            break;
        }
    }
    wl_callback_destroy(done);
    return ok;
}

void WaylandConnection::readEvents() {
    if (failed_) return;
    // Events another path read into the queue are dispatched before reading: prepare_read
    // refuses until the queue is empty.
    while (wl_display_prepare_read(display_) != 0) {
        if (wl_display_dispatch_pending(display_) < 0) {
            checkFailure();
            return;
        }
    }
    if (wl_display_read_events(display_) < 0) {
        checkFailure();
        return;
    }
    dispatchPending();
}

void WaylandConnection::dispatchPending() {
    if (wl_display_dispatch_pending(display_) < 0) {
        checkFailure();
        return;
    }
    emit dispatched();
    flush();
}

void WaylandConnection::checkFailure() {
    const int error = wl_display_get_error(display_);
    if (failed_) return;
    failed_ = true;
    if (readNotifier_) readNotifier_->setEnabled(false);
    if (writeNotifier_) writeNotifier_->setEnabled(false);
    if (error == EPROTO) {
        const wl_interface* interface = nullptr;
        uint32_t id = 0;
        const uint32_t code = wl_display_get_protocol_error(display_, &interface, &id);
        emit failed(QStringLiteral("the Wayland compositor reported a protocol error on %1 (object %2, code %3)")
                        .arg(QString::fromUtf8(interface ? interface->name : "an unknown interface"))
                        .arg(id)
                        .arg(code),
                    true);
        return;
    }
    emit failed(QStringLiteral("lost the connection to the Wayland compositor (%1)")
                    .arg(QString::fromUtf8(std::strerror(error ? error : EPIPE))),
                false);
}

}  // namespace waylandbackend
