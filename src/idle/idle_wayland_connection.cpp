#include "idle/idle_wayland_connection.h"

#include <poll.h>
#include <wayland-client.h>

#include <QElapsedTimer>
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

IdleWaylandConnection::IdleWaylandConnection(wl_display* display) : display_(display) {
    registry_ = wl_display_get_registry(display_);
    static const wl_registry_listener listener = {&IdleWaylandConnection::handleGlobal,
                                                  &IdleWaylandConnection::handleGlobalRemove};
    wl_registry_add_listener(registry_, &listener, this);
}

IdleWaylandConnection::~IdleWaylandConnection() {
    readNotifier_.reset();
    writeNotifier_.reset();
    for (const Seat& seat : removedSeats_) releaseSeat(seat);
    for (const Seat& seat : seats_) releaseSeat(seat);
    wl_registry_destroy(registry_);
    if (!failed_) wl_display_flush(display_);
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
    if (readNotifier_ || failed_) return;
    seatAnnounced_ = seat();
    readNotifier_ = std::make_unique<QSocketNotifier>(wl_display_get_fd(display_), QSocketNotifier::Read);
    QObject::connect(readNotifier_.get(), &QSocketNotifier::activated, this, [this] { readEvents(); });
    writeNotifier_ = std::make_unique<QSocketNotifier>(wl_display_get_fd(display_), QSocketNotifier::Write);
    writeNotifier_->setEnabled(false);
    QObject::connect(writeNotifier_.get(), &QSocketNotifier::activated, this, [this] { flush(); });
    flush();
}

void IdleWaylandConnection::flush() {
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

bool IdleWaylandConnection::roundtrip(int timeoutMs) {
    // wl_display_roundtrip would wait for ever on a compositor that stalls: the same, with a limit.
    wl_callback* done = wl_display_sync(display_);
    bool answered = false;
    static const wl_callback_listener listener = {
        [](void* data, wl_callback*, uint32_t) { *static_cast<bool*>(data) = true; }};
    wl_callback_add_listener(done, &listener, &answered);
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (wl_display_dispatch_pending(display_) < 0) break;
        if (answered) break;
        if (wl_display_prepare_read(display_) != 0) continue;  // more events queued meanwhile
        if (wl_display_flush(display_) < 0 && errno != EAGAIN) {
            wl_display_cancel_read(display_);
            break;
        }
        const int left = timeoutMs - static_cast<int>(clock.elapsed());
        pollfd fd{wl_display_get_fd(display_), POLLIN, 0};
        if (left <= 0 || ::poll(&fd, 1, left) <= 0) {
            wl_display_cancel_read(display_);
            break;
        }
        if (wl_display_read_events(display_) < 0) break;
    }
    wl_callback_destroy(done);
    return answered;
}

void IdleWaylandConnection::readEvents() {
    if (failed_) return;
    // Events already in the queue are dispatched first: prepare_read refuses until it is empty.
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

void IdleWaylandConnection::dispatchPending() {
    if (wl_display_dispatch_pending(display_) < 0) {
        checkFailure();
        return;
    }
    if (seat() != seatAnnounced_) {
        seatAnnounced_ = seat();
        emit seatChanged();
    }
    // The owner has destroyed what it made on a removed seat: the seat itself goes last.
    for (const Seat& seat : std::exchange(removedSeats_, {})) releaseSeat(seat);
    emit dispatched();
    flush();
}

void IdleWaylandConnection::checkFailure() {
    if (failed_) return;
    failed_ = true;
    if (readNotifier_) readNotifier_->setEnabled(false);
    if (writeNotifier_) writeNotifier_->setEnabled(false);
    const int error = wl_display_get_error(display_);
    if (error == EPROTO) {
        const wl_interface* interface = nullptr;
        uint32_t id = 0;
        const uint32_t code = wl_display_get_protocol_error(display_, &interface, &id);
        emit failed(1, QStringLiteral("the Wayland compositor reported a protocol error on %1 (object %2, code %3)")
                           .arg(QString::fromUtf8(interface ? interface->name : "an unknown interface"))
                           .arg(id)
                           .arg(code));
        return;
    }
    // The compositor closed the socket (it ended or was killed): the session is over.
    if (error == 0 || error == EPIPE || error == ECONNRESET) {
        emit failed(0, QStringLiteral("lost the connection to the Wayland compositor"));
        return;
    }
    emit failed(1, QStringLiteral("the connection to the Wayland compositor failed: %1")
                       .arg(QString::fromUtf8(std::strerror(error))));
}

}  // namespace idle
