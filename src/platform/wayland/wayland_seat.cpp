#include "platform/wayland/wayland_seat.h"

#include <unistd.h>
#include <wayland-client.h>

namespace waylandbackend {

/// The listeners of the seat's devices. Every event a bound version may send has a function,
/// since libwayland calls through the table without checking for null.
struct SeatListeners {
    static WaylandSeat* self(void* data) { return static_cast<WaylandSeat*>(data); }

    // Keyboard. Keys already down when the surface gets the keyboard come with enter and are
    // not presses; only a key pressed while it has the keyboard stops the saver.
    static void keymap(void*, wl_keyboard*, uint32_t, int32_t fd, uint32_t) { ::close(fd); }
    static void enter(void*, wl_keyboard*, uint32_t, wl_surface*, wl_array*) {}
    static void leave(void*, wl_keyboard*, uint32_t, wl_surface*) {}
    static void key(void* data, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t state) {
        if (state == WL_KEYBOARD_KEY_STATE_PRESSED) self(data)->stopWith("key press");
    }
    static void modifiers(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {}
    static void repeatInfo(void*, wl_keyboard*, int32_t, int32_t) {}

    // Pointer.
    static void pointerEnter(void* data, wl_pointer* pointer, uint32_t serial, wl_surface* surface, wl_fixed_t x,
                             wl_fixed_t y) {
        // No cursor over the saver.
        wl_pointer_set_cursor(pointer, serial, nullptr, 0, 0);
        self(data)->pointerAt(surface, wl_fixed_to_double(x), wl_fixed_to_double(y));
    }
    static void pointerLeave(void* data, wl_pointer*, uint32_t, wl_surface* surface) {
        if (self(data)->record_.pointerSurface == surface) self(data)->record_.pointerSurface = nullptr;
    }
    static void motion(void* data, wl_pointer*, uint32_t, wl_fixed_t x, wl_fixed_t y) {
        WaylandSeat* seat = self(data);
        if (seat->record_.pointerSurface)
            seat->pointerAt(seat->record_.pointerSurface, wl_fixed_to_double(x), wl_fixed_to_double(y));
    }
    static void button(void* data, wl_pointer*, uint32_t, uint32_t, uint32_t, uint32_t state) {
        if (state == WL_POINTER_BUTTON_STATE_PRESSED) self(data)->stopWith("mouse click");
    }
    static void axis(void* data, wl_pointer*, uint32_t, uint32_t, wl_fixed_t) { self(data)->stopWith("mouse wheel"); }
    static void frame(void*, wl_pointer*) {}
    static void axisSource(void*, wl_pointer*, uint32_t) {}
    static void axisStop(void*, wl_pointer*, uint32_t, uint32_t) {}
    static void axisDiscrete(void*, wl_pointer*, uint32_t, int32_t) {}
    static void axisValue120(void*, wl_pointer*, uint32_t, int32_t) {}

    // Touch.
    static void down(void* data, wl_touch*, uint32_t, uint32_t, wl_surface*, int32_t, wl_fixed_t, wl_fixed_t) {
        self(data)->stopWith("touch");
    }
    static void up(void*, wl_touch*, uint32_t, uint32_t, int32_t) {}
    static void touchMotion(void*, wl_touch*, uint32_t, int32_t, wl_fixed_t, wl_fixed_t) {}
    static void touchFrame(void*, wl_touch*) {}
    static void cancel(void*, wl_touch*) {}
    static void shape(void*, wl_touch*, int32_t, wl_fixed_t, wl_fixed_t) {}
    static void orientation(void*, wl_touch*, int32_t, wl_fixed_t) {}
};

namespace {

constexpr wl_keyboard_listener kKeyboardListener = {SeatListeners::keymap,    SeatListeners::enter,
                                                    SeatListeners::leave,     SeatListeners::key,
                                                    SeatListeners::modifiers, SeatListeners::repeatInfo};
constexpr wl_pointer_listener kPointerListener = {
    SeatListeners::pointerEnter, SeatListeners::pointerLeave, SeatListeners::motion,
    SeatListeners::button,       SeatListeners::axis,         SeatListeners::frame,
    SeatListeners::axisSource,   SeatListeners::axisStop,     SeatListeners::axisDiscrete,
    SeatListeners::axisValue120};
constexpr wl_touch_listener kTouchListener = {SeatListeners::down,       SeatListeners::up,
                                              SeatListeners::touchMotion, SeatListeners::touchFrame,
                                              SeatListeners::cancel,     SeatListeners::shape,
                                              SeatListeners::orientation};
constexpr wl_seat_listener kSeatListener = {&WaylandSeat::handleCapabilities, &WaylandSeat::handleName};

template <typename T>
void releaseDevice(T*& device, uint32_t seatVersion, void (*release)(T*), void (*destroy)(T*)) {
    if (!device) return;
    // release (seat version 3) tells the compositor; destroy only forgets the object here.
    if (seatVersion >= 3)
        release(device);
    else
        destroy(device);
    device = nullptr;
}

}  // namespace

WaylandSeat::WaylandSeat(wl_seat* seat, uint32_t globalName, uint32_t version)
    : seat_(seat), globalName_(globalName), version_(version) {
    wl_seat_add_listener(seat_, &kSeatListener, this);
}

WaylandSeat::~WaylandSeat() {
    releaseDevice(keyboard_, version_, wl_keyboard_release, wl_keyboard_destroy);
    releaseDevice(pointer_, version_, wl_pointer_release, wl_pointer_destroy);
    releaseDevice(touch_, version_, wl_touch_release, wl_touch_destroy);
    if (version_ >= WL_SEAT_RELEASE_SINCE_VERSION)
        wl_seat_release(seat_);
    else
        wl_seat_destroy(seat_);
}

void WaylandSeat::forgetSurface(const wl_surface* surface) {
    if (record_.pointerSurface == surface) record_.pointerSurface = nullptr;
}

void WaylandSeat::stopWith(const char* reason) {
    if (!record_.stopReason) record_.stopReason = reason;
}

void WaylandSeat::pointerAt(wl_surface* surface, double x, double y) {
    record_.pointerSurface = surface;
    record_.pointerX = x;
    record_.pointerY = y;
    record_.pointerMoved = true;
}

void WaylandSeat::handleCapabilities(void* data, wl_seat*, uint32_t capabilities) {
    WaylandSeat* s = static_cast<WaylandSeat*>(data);
    const bool keyboard = capabilities & WL_SEAT_CAPABILITY_KEYBOARD;
    const bool pointer = capabilities & WL_SEAT_CAPABILITY_POINTER;
    const bool touch = capabilities & WL_SEAT_CAPABILITY_TOUCH;
    if (keyboard && !s->keyboard_) {
        s->keyboard_ = wl_seat_get_keyboard(s->seat_);
        wl_keyboard_add_listener(s->keyboard_, &kKeyboardListener, s);
    } else if (!keyboard) {
        releaseDevice(s->keyboard_, s->version_, wl_keyboard_release, wl_keyboard_destroy);
    }
    if (pointer && !s->pointer_) {
        s->pointer_ = wl_seat_get_pointer(s->seat_);
        wl_pointer_add_listener(s->pointer_, &kPointerListener, s);
    } else if (!pointer) {
        releaseDevice(s->pointer_, s->version_, wl_pointer_release, wl_pointer_destroy);
        s->record_.pointerSurface = nullptr;
    }
    if (touch && !s->touch_) {
        s->touch_ = wl_seat_get_touch(s->seat_);
        wl_touch_add_listener(s->touch_, &kTouchListener, s);
    } else if (!touch) {
        releaseDevice(s->touch_, s->version_, wl_touch_release, wl_touch_destroy);
    }
}

}  // namespace waylandbackend
