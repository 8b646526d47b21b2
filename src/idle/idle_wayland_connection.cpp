#include "idle/idle_wayland_connection.h"

#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "ext-idle-notify-v1-client-protocol.h"
#include "org-kde-kwin-idle-client-protocol.h"

namespace idle {
namespace {

/// wl_seat's release request came with version 5; the watcher needs nothing else of a seat.
constexpr uint32_t kSeatVersion = 5;
/// Most seats followed: a compositor announcing more is not believed.
constexpr size_t kMaxSeats = 8;
/// How long the compositor has to answer the first roundtrip (the list of its globals).
constexpr int kFirstAnswerMs = 5000;

}  // namespace

std::unique_ptr<IdleWaylandConnection> IdleWaylandConnection::connect(std::string* error) {
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        *error = std::string("cannot connect to the Wayland compositor: ") + std::strerror(errno);
        return nullptr;
    }
    std::unique_ptr<IdleWaylandConnection> connection(new IdleWaylandConnection(display));
    if (!connection->roundtrip(kFirstAnswerMs)) {
        *error = "the Wayland compositor did not answer";
        return nullptr;
    }
    return connection;
}

IdleWaylandConnection::IdleWaylandConnection(wl_display* display)
    : display_(display), pump_(std::make_unique<waylandbackend::DisplayPump>(display)) {
    QObject::connect(pump_.get(), &waylandbackend::DisplayPump::dispatched, this,
                     &IdleWaylandConnection::afterDispatch);
    QObject::connect(pump_.get(), &waylandbackend::DisplayPump::failed, this,
                     [this](const QString& message, bool protocolError, int error) {
                         // The compositor closed the socket (it ended or was killed): the session
                         // is over, which is no failure of the watcher's.
                         const bool ended = !protocolError && (error == 0 || error == EPIPE || error == ECONNRESET);
                         emit failed(ended ? 0 : 1, message);
                     });
    registry_ = wl_display_get_registry(display_);
    static const wl_registry_listener listener = {&IdleWaylandConnection::handleGlobal,
                                                  &IdleWaylandConnection::handleGlobalRemove};
    wl_registry_add_listener(registry_, &listener, this);
}

IdleWaylandConnection::~IdleWaylandConnection() {
    for (const Seat& seat : removedSeats_) releaseSeat(seat);
    for (const Seat& seat : seats_) releaseSeat(seat);
    wl_registry_destroy(registry_);
    pump_.reset();  // sends the releases
    wl_display_disconnect(display_);
}

void IdleWaylandConnection::handleGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
                                         uint32_t version) {
    auto* c = static_cast<IdleWaylandConnection*>(data);
    const std::string_view which(interface);
    if (which == ext_idle_notifier_v1_interface.name && c->extIdleNotifier_.name == 0) {
        c->extIdleNotifier_ = {name, version};
    } else if (which == org_kde_kwin_idle_interface.name && c->kdeIdle_.name == 0) {
        c->kdeIdle_ = {name, version};
    } else if (which == wl_seat_interface.name && c->seats_.size() < kMaxSeats) {
        const uint32_t bound = std::min(version, kSeatVersion);
        auto* seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, bound));
        c->seats_.push_back({seat, name, bound});
    }
}

void IdleWaylandConnection::handleGlobalRemove(void* data, wl_registry*, uint32_t name) {
    auto* c = static_cast<IdleWaylandConnection*>(data);
    // A notifier that goes keeps the objects it made working; only a seat matters.
    const auto seat =
        std::find_if(c->seats_.begin(), c->seats_.end(), [name](const Seat& s) { return s.name == name; });
    if (seat == c->seats_.end()) return;
    c->removedSeats_.push_back(*seat);
    c->seats_.erase(seat);
}

void IdleWaylandConnection::releaseSeat(const Seat& seat) {
    if (seat.version >= WL_SEAT_RELEASE_SINCE_VERSION)
        wl_seat_release(seat.seat);
    else
        wl_seat_destroy(seat.seat);
}

void IdleWaylandConnection::start() {
    if (started_ || pump_->hasFailed()) return;
    started_ = true;
    seatAnnounced_ = seat();
    pump_->start();
}

void IdleWaylandConnection::flush() { pump_->flush(); }

bool IdleWaylandConnection::roundtrip(int timeoutMs) { return pump_->roundtrip(timeoutMs); }

bool IdleWaylandConnection::hasFailed() const { return pump_->hasFailed(); }

void IdleWaylandConnection::afterDispatch() {
    if (seat() != seatAnnounced_) {
        seatAnnounced_ = seat();
        emit seatChanged();
    }
    // The owner has destroyed what it made on a removed seat: the seat itself goes last.
    for (const Seat& seat : std::exchange(removedSeats_, {})) releaseSeat(seat);
    emit dispatched();
}

}  // namespace idle
