/* wl_pointer_move: moves or clicks the pointer of a wlroots compositor (sway) through a virtual
 * pointer, for end-to-end tests.
 *
 *   wl_pointer_move DX DY [STEPS]   relative motion totalling DX, DY in STEPS frames (default 1)
 *   wl_pointer_move --click         left button press and release
 *   wl_pointer_move --hold          keeps a virtual pointer until killed, so that the seat has
 *                                   a pointer for its clients before and between the others;
 *                                   prints a line once the compositor has it
 *
 * Each run adds a pointer device to the seat and removes it at its end; sway gives the seat the
 * pointer capability only while it has a pointer device, so a client sees wl_seat capabilities
 * change with each run and misses the motion of a run that comes before it binds wl_pointer.
 * A test keeps "--hold" running in the background to have the capability throughout: all the
 * devices of a seat move the one cursor.
 *
 * Status: 0 done, 1 failure (no display, protocol error), 2 the compositor offers no virtual
 * pointer manager, 64 bad arguments. */
#define _POSIX_C_SOURCE 200809L
#include <linux/input-event-codes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <wayland-client.h>

#include "virtual-pointer-client-protocol.h"

static struct zwlr_virtual_pointer_manager_v1 *manager;

static void on_global(void *data, struct wl_registry *registry, uint32_t name,
                      const char *interface, uint32_t version)
{
    (void)data;
    (void)version;
    /* Version 1 has all the tool sends: any compositor with the protocol accepts it. */
    if (!manager && strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        manager = wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1);
}

static void on_global_remove(void *data, struct wl_registry *registry, uint32_t name)
{
    (void)data;
    (void)registry;
    (void)name;
}

static const struct wl_registry_listener registry_listener = {on_global, on_global_remove};

/* Milliseconds of the monotonic clock, strictly increasing from one call to the next, so that
 * each frame has a later timestamp than the one before even within the same millisecond. */
static uint32_t next_time(void)
{
    static uint32_t last;
    static int started;
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    uint32_t ms = (uint32_t)(now.tv_sec * 1000u + (uint64_t)now.tv_nsec / 1000000u);
    if (started && (int32_t)(ms - last) <= 0)
        ms = last + 1;
    started = 1;
    last = ms;
    return ms;
}

/* A number within +-1e6: wl_fixed_t holds about +-8e6, and comparisons reject NaN. */
static int parse_number(const char *text, double *out)
{
    char *end;
    *out = strtod(text, &end);
    return end != text && *end == '\0' && *out > -1e6 && *out < 1e6;
}

static int fail_display(struct wl_display *display, const char *what)
{
    const struct wl_interface *interface = NULL;
    uint32_t id = 0;
    uint32_t code = wl_display_get_protocol_error(display, &interface, &id);
    if (interface)
        fprintf(stderr, "wl_pointer_move: %s: protocol error %u on %s@%u\n", what, code,
                interface->name, id);
    else
        fprintf(stderr, "wl_pointer_move: %s: %s\n", what, strerror(wl_display_get_error(display)));
    wl_display_disconnect(display);
    return 1;
}

int main(int argc, char **argv)
{
    int click = argc == 2 && strcmp(argv[1], "--click") == 0;
    int hold = argc == 2 && strcmp(argv[1], "--hold") == 0;
    double dx = 0, dy = 0, steps = 1;
    if (!click && !hold && (argc < 3 || argc > 4 || !parse_number(argv[1], &dx) ||
                   !parse_number(argv[2], &dy) || (argc == 4 && !parse_number(argv[3], &steps)) ||
                   steps < 1 || steps != (int)steps)) {
        fprintf(stderr, "usage: wl_pointer_move DX DY [STEPS] | --click | --hold\n");
        return 64;
    }

    /* A null name makes libwayland use WAYLAND_SOCKET, else WAYLAND_DISPLAY. */
    struct wl_display *display = wl_display_connect(NULL);
    if (!display) {
        const char *name = getenv("WAYLAND_DISPLAY");
        fprintf(stderr, "wl_pointer_move: cannot connect to the Wayland display %s\n",
                getenv("WAYLAND_SOCKET") ? "of WAYLAND_SOCKET" : name ? name : "wayland-0");
        return 1;
    }
    struct wl_registry *registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registry_listener, NULL);
    if (wl_display_roundtrip(display) < 0)
        return fail_display(display, "reading the globals");
    if (!manager) {
        fprintf(stderr, "wl_pointer_move: the compositor does not offer %s\n",
                zwlr_virtual_pointer_manager_v1_interface.name);
        wl_display_disconnect(display);
        return 2;
    }

    /* A null seat: the compositor's default seat. */
    struct zwlr_virtual_pointer_v1 *pointer =
        zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager, NULL);
    if (hold) {
        if (wl_display_roundtrip(display) < 0)
            return fail_display(display, "adding the pointer");
        /* The line tells a test that the seat has the pointer now. */
        printf("holding a virtual pointer\n");
        fflush(stdout);
        while (wl_display_dispatch(display) >= 0) {
        }
        return fail_display(display, "holding the pointer");
    }
    if (click) {
        zwlr_virtual_pointer_v1_button(pointer, next_time(), BTN_LEFT,
                                       WL_POINTER_BUTTON_STATE_PRESSED);
        zwlr_virtual_pointer_v1_frame(pointer);
        zwlr_virtual_pointer_v1_button(pointer, next_time(), BTN_LEFT,
                                       WL_POINTER_BUTTON_STATE_RELEASED);
        zwlr_virtual_pointer_v1_frame(pointer);
    } else {
        /* Each step moves to the next point of the straight line in fixed-point units, so the
         * steps add up to exactly DX, DY whatever the rounding. */
        int n = (int)steps;
        wl_fixed_t sent_x = 0, sent_y = 0;
        for (int i = 1; i <= n; i++) {
            wl_fixed_t x = wl_fixed_from_double(dx * i / n);
            wl_fixed_t y = wl_fixed_from_double(dy * i / n);
            zwlr_virtual_pointer_v1_motion(pointer, next_time(), x - sent_x, y - sent_y);
            zwlr_virtual_pointer_v1_frame(pointer);
            sent_x = x;
            sent_y = y;
        }
    }
    /* The compositor handles requests in order: once it answers the roundtrip, it has
     * applied every event above. */
    if (wl_display_roundtrip(display) < 0)
        return fail_display(display, "sending the events");
    zwlr_virtual_pointer_v1_destroy(pointer);
    zwlr_virtual_pointer_manager_v1_destroy(manager);
    wl_registry_destroy(registry);
    if (wl_display_roundtrip(display) < 0)
        return fail_display(display, "removing the pointer");
    wl_display_disconnect(display);
    return 0;
}
