// One seat's keyboard, pointer and touch, reduced to what stops a screen saver: a key or button
// pressed, a touch, a wheel turned, and where the pointer is. The listeners only record; the
// session reads and clears the record after each batch of events.
#pragma once

#include <cstdint>
#include <optional>

struct wl_seat;
struct wl_keyboard;
struct wl_pointer;
struct wl_touch;
struct wl_surface;

namespace waylandbackend {

/// What the user did since the record was last cleared.
struct InputRecord {
    const char* stopReason = nullptr;  ///< "key press", "mouse click"...; none when nothing stops
    wl_surface* pointerSurface = nullptr;  ///< the surface the pointer is over, or none
    double pointerX = 0, pointerY = 0;     ///< its latest position there, surface-local
    bool pointerMoved = false;             ///< it entered or moved since the last clear
};

class WaylandSeat {
public:
    WaylandSeat(wl_seat* seat, uint32_t globalName, uint32_t version);
    ~WaylandSeat();
    WaylandSeat(const WaylandSeat&) = delete;
    WaylandSeat& operator=(const WaylandSeat&) = delete;

    uint32_t globalName() const { return globalName_; }
    InputRecord& record() { return record_; }
    /// Forgets the pointer's surface if it is `surface`, which is about to be destroyed.
    void forgetSurface(const wl_surface* surface);

    // The compositor's events.
    static void handleCapabilities(void* data, wl_seat*, uint32_t capabilities);
    static void handleName(void*, wl_seat*, const char*) {}

private:
    void stopWith(const char* reason);
    void pointerAt(wl_surface* surface, double x, double y);
    friend struct SeatListeners;

    wl_seat* seat_;
    uint32_t globalName_;
    uint32_t version_;
    wl_keyboard* keyboard_ = nullptr;
    wl_pointer* pointer_ = nullptr;
    wl_touch* touch_ = nullptr;
    InputRecord record_;
};

}  // namespace waylandbackend
