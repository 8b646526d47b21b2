// The idle watcher's connection to the Wayland compositor: the display, the registry, the seats
// and which idle protocols the compositor offers, with the display's socket watched by Qt's event
// loop. It binds nothing of outputs or surfaces: the watcher draws nothing.
//
// Listeners only record what the compositor said; after each batch of events the connection
// says what changed (seatChanged(), dispatched()), and its owner acts on it.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/wayland/display_pump.h"

struct wl_display;
struct wl_registry;
struct wl_seat;

namespace idle {

class IdleWaylandConnection : public QObject {
    Q_OBJECT
public:
    /// A global the compositor announced: its name in the registry and the version it offers
    /// (name 0: not offered).
    struct Offer {
        uint32_t name = 0;
        uint32_t version = 0;
    };

    /// Connects as libwayland does when given no name (the descriptor in WAYLAND_SOCKET, else
    /// the socket WAYLAND_DISPLAY names) and reads the globals. None, with the reason in
    /// `error`, when there is no compositor to reach.
    static std::unique_ptr<IdleWaylandConnection> connect(std::string* error);
    ~IdleWaylandConnection() override;
    IdleWaylandConnection(const IdleWaylandConnection&) = delete;
    IdleWaylandConnection& operator=(const IdleWaylandConnection&) = delete;

    wl_registry* registry() const { return registry_; }
    const Offer& extIdleNotifier() const { return extIdleNotifier_; }
    const Offer& kdeIdle() const { return kdeIdle_; }
    /// The seat watched: the first announced of those still there; none while there is none.
    wl_seat* seat() const { return seats_.empty() ? nullptr : seats_.front().seat; }

    /// Watches the display's socket from now on.
    void start();
    /// Sends the requests made so far; a full socket is flushed as soon as it can take more.
    void flush();
    bool hasFailed() const;

signals:
    /// A batch of events was dispatched.
    void dispatched();
    /// The seat watched changed (it went away, or one came where there was none), after a batch
    /// of events; the old seat's objects are to be destroyed now.
    void seatChanged();
    /// The connection ended: status 0 when the compositor went away, 1 on a protocol error or
    /// another failure, which `why` names.
    void failed(int status, const QString& why);

private:
    struct Seat {
        wl_seat* seat;
        uint32_t name;
        uint32_t version;
    };
    explicit IdleWaylandConnection(wl_display* display);
    static void handleGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
                             uint32_t version);
    static void handleGlobalRemove(void* data, wl_registry* registry, uint32_t name);
    static void releaseSeat(const Seat& seat);
    bool roundtrip(int timeoutMs);
    void afterDispatch();

    wl_display* display_ = nullptr;
    std::unique_ptr<waylandbackend::DisplayPump> pump_;
    wl_registry* registry_ = nullptr;
    Offer extIdleNotifier_, kdeIdle_;
    std::vector<Seat> seats_;
    /// Seats the compositor removed, released once their objects are gone.
    std::vector<Seat> removedSeats_;
    wl_seat* seatAnnounced_ = nullptr;  ///< seat() as the owner last heard of it
    bool started_ = false;
};

}  // namespace idle
