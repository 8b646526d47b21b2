// The connection to the Wayland compositor: the display, the registry and the globals the
// backend's surfaces need (layer-shell, or xdg-shell where there is none), with the display's
// socket watched by Qt's event loop.
//
// Listeners only record what the compositor said; after each batch of events the connection
// emits dispatched(), and its owner acts on what changed.
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
struct wl_compositor;
struct wl_shm;
struct zwlr_layer_shell_v1;
struct xdg_wm_base;
struct zxdg_output_manager_v1;
struct wp_viewporter;
struct wp_fractional_scale_manager_v1;

namespace waylandbackend {

class WaylandOutput;
class WaylandSeat;

/// The globals bound once, with the versions bound (0: not offered).
struct Globals {
    wl_compositor* compositor = nullptr;
    uint32_t compositorVersion = 0;
    wl_shm* shm = nullptr;
    zwlr_layer_shell_v1* layerShell = nullptr;
    uint32_t layerShellVersion = 0;
    xdg_wm_base* wmBase = nullptr;  ///< answered at once when it pings
    zxdg_output_manager_v1* xdgOutputManager = nullptr;
    uint32_t xdgOutputVersion = 0;
    wp_viewporter* viewporter = nullptr;
    wp_fractional_scale_manager_v1* fractionalScale = nullptr;
};

class WaylandConnection : public QObject {
    Q_OBJECT
public:
    /// Connects to the compositor as libwayland does when given no name (the descriptor in
    /// WAYLAND_SOCKET, else the socket WAYLAND_DISPLAY names) and reads its globals. None, with
    /// the reason in `error`, when there is no compositor to reach.
    static std::unique_ptr<WaylandConnection> connect(std::string* error);
    ~WaylandConnection() override;
    WaylandConnection(const WaylandConnection&) = delete;
    WaylandConnection& operator=(const WaylandConnection&) = delete;

    wl_display* display() const { return display_; }
    const Globals& globals() const { return globals_; }
    /// The outputs and seats known now, in the order the compositor announced them.
    const std::vector<std::unique_ptr<WaylandOutput>>& outputs() const { return outputs_; }
    const std::vector<std::unique_ptr<WaylandSeat>>& seats() const { return seats_; }

    /// Binds the outputs (and, `withSeats`, the seats) found so far and later, and watches the
    /// display's socket from now on.
    void start(bool withSeats);
    /// Sends the requests made so far. A full socket is flushed as soon as it can take more,
    /// without waiting here.
    void flush();
    /// Sends the requests made so far and waits until the compositor has handled them (at most
    /// `timeoutMs`). False when the connection failed (see failed()).
    bool roundtrip(int timeoutMs);
    /// Whether the connection has failed; then it is never used again.
    bool hasFailed() const;
    /// Whether events are read only at readNow() (see DisplayPump::setReadOnlyWhenAsked).
    void setReadOnlyWhenAsked(bool onlyWhenAsked);
    /// Reads and dispatches the events that have come, without waiting for more.
    void readNow();
    /// The outputs removed since the last call (the objects, already unbound); the caller takes them.
    std::vector<std::unique_ptr<WaylandOutput>> takeRemovedOutputs();

signals:
    /// A batch of events was dispatched: outputs, surfaces and input may have changed.
    void dispatched();
    /// The connection ended: the compositor went away (`protocolError` false) or sent a protocol
    /// error (true). `message` says which, naming the interface of a protocol error.
    void failed(const QString& message, bool protocolError);

private:
    explicit WaylandConnection(wl_display* display);
    static void handleGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
                             uint32_t version);
    static void handleGlobalRemove(void* data, wl_registry* registry, uint32_t name);
    void bindOutput(uint32_t name, uint32_t version);
    void bindSeat(uint32_t name, uint32_t version);

    wl_display* display_ = nullptr;
    std::unique_ptr<DisplayPump> pump_;
    wl_registry* registry_ = nullptr;
    Globals globals_;
    std::vector<std::unique_ptr<WaylandOutput>> outputs_;
    std::vector<std::unique_ptr<WaylandOutput>> removedOutputs_;
    std::vector<std::unique_ptr<WaylandSeat>> seats_;
    /// Outputs and seats announced before start(), bound by it (xdg-output may come later).
    std::vector<std::pair<uint32_t, uint32_t>> pendingOutputs_, pendingSeats_;
    bool started_ = false;
    bool withSeats_ = false;
};

}  // namespace waylandbackend
