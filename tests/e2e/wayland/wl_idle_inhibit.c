/* wl_idle_inhibit: holds an idle inhibitor on a visible window, as a video player does, for the
 * idle watcher's end-to-end tests.
 *
 *   wl_idle_inhibit   shows a small xdg-shell toplevel with a grey buffer, holds a
 *                     zwp_idle_inhibitor_v1 on its surface, and prints "inhibiting" once the
 *                     compositor has shown the window (its first frame callback came back);
 *                     it holds them until it is killed, which releases both.
 *
 * Compositors apply an inhibitor only while its surface is visible, hence the window.
 *
 * Status: 1 failure (no display, protocol error, lost connection), 2 the compositor lacks a
 * protocol; it never ends by itself otherwise. */
#define _GNU_SOURCE
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include "idle-inhibit-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

enum { WIDTH = 64, HEIGHT = 64 };

static struct wl_compositor *compositor;
static struct wl_shm *shm;
static struct xdg_wm_base *wm_base;
static struct zwp_idle_inhibit_manager_v1 *inhibit_manager;
static int configured, shown;

static void on_global(void *data, struct wl_registry *registry, uint32_t name,
                      const char *interface, uint32_t version)
{
    (void)data;
    (void)version;
    if (!compositor && strcmp(interface, wl_compositor_interface.name) == 0)
        compositor = wl_registry_bind(registry, name, &wl_compositor_interface, 1);
    else if (!shm && strcmp(interface, wl_shm_interface.name) == 0)
        shm = wl_registry_bind(registry, name, &wl_shm_interface, 1);
    else if (!wm_base && strcmp(interface, xdg_wm_base_interface.name) == 0)
        wm_base = wl_registry_bind(registry, name, &xdg_wm_base_interface, 1);
    else if (!inhibit_manager && strcmp(interface, zwp_idle_inhibit_manager_v1_interface.name) == 0)
        inhibit_manager = wl_registry_bind(registry, name, &zwp_idle_inhibit_manager_v1_interface, 1);
}

static void on_global_remove(void *data, struct wl_registry *registry, uint32_t name)
{
    (void)data;
    (void)registry;
    (void)name;
}

static const struct wl_registry_listener registry_listener = {on_global, on_global_remove};

static void on_ping(void *data, struct xdg_wm_base *base, uint32_t serial)
{
    (void)data;
    xdg_wm_base_pong(base, serial);
}

static const struct xdg_wm_base_listener wm_base_listener = {on_ping};

static void on_surface_configure(void *data, struct xdg_surface *surface, uint32_t serial)
{
    (void)data;
    xdg_surface_ack_configure(surface, serial);
    configured = 1;
}

static const struct xdg_surface_listener surface_listener = {on_surface_configure};

static void on_frame_done(void *data, struct wl_callback *callback, uint32_t time)
{
    (void)data;
    (void)time;
    wl_callback_destroy(callback);
    shown = 1;
}

static const struct wl_callback_listener frame_listener = {on_frame_done};

/* A grey buffer in shared memory. */
static struct wl_buffer *make_buffer(void)
{
    const int stride = WIDTH * 4, size = stride * HEIGHT;
    int fd = memfd_create("wl_idle_inhibit", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, size) < 0)
        return NULL;
    void *pixels = mmap(NULL, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (pixels == MAP_FAILED) {
        close(fd);
        return NULL;
    }
    memset(pixels, 0x80, size);
    munmap(pixels, size);
    struct wl_shm_pool *pool = wl_shm_create_pool(shm, fd, size);
    struct wl_buffer *buffer =
        wl_shm_pool_create_buffer(pool, 0, WIDTH, HEIGHT, stride, WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    return buffer;
}

static int fail_display(struct wl_display *display, const char *what)
{
    const struct wl_interface *interface = NULL;
    uint32_t id = 0;
    uint32_t code = wl_display_get_protocol_error(display, &interface, &id);
    if (interface)
        fprintf(stderr, "wl_idle_inhibit: %s: protocol error %u on %s@%u\n", what, code,
                interface->name, id);
    else
        fprintf(stderr, "wl_idle_inhibit: %s: %s\n", what, strerror(wl_display_get_error(display)));
    wl_display_disconnect(display);
    return 1;
}

int main(void)
{
    struct wl_display *display = wl_display_connect(NULL);
    if (!display) {
        fprintf(stderr, "wl_idle_inhibit: cannot connect to the Wayland display\n");
        return 1;
    }
    struct wl_registry *registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registry_listener, NULL);
    if (wl_display_roundtrip(display) < 0)
        return fail_display(display, "reading the globals");
    if (!compositor || !shm || !wm_base || !inhibit_manager) {
        fprintf(stderr, "wl_idle_inhibit: the compositor lacks %s\n",
                !inhibit_manager ? zwp_idle_inhibit_manager_v1_interface.name
                                 : "wl_compositor, wl_shm or xdg_wm_base");
        wl_display_disconnect(display);
        return 2;
    }
    xdg_wm_base_add_listener(wm_base, &wm_base_listener, NULL);

    struct wl_surface *surface = wl_compositor_create_surface(compositor);
    struct xdg_surface *xdg_surface = xdg_wm_base_get_xdg_surface(wm_base, surface);
    xdg_surface_add_listener(xdg_surface, &surface_listener, NULL);
    struct xdg_toplevel *toplevel = xdg_surface_get_toplevel(xdg_surface);
    /* The toplevel's configure and close need no answer: the buffer keeps its size. */
    xdg_toplevel_set_title(toplevel, "idle inhibitor");
    zwp_idle_inhibit_manager_v1_create_inhibitor(inhibit_manager, surface);
    wl_surface_commit(surface);
    while (!configured)
        if (wl_display_dispatch(display) < 0)
            return fail_display(display, "waiting for the window's configure");

    struct wl_buffer *buffer = make_buffer();
    if (!buffer) {
        perror("wl_idle_inhibit: shared memory");
        return 1;
    }
    wl_surface_attach(surface, buffer, 0, 0);
    wl_surface_damage(surface, 0, 0, WIDTH, HEIGHT);
    wl_callback_add_listener(wl_surface_frame(surface), &frame_listener, NULL);
    wl_surface_commit(surface);
    while (!shown)
        if (wl_display_dispatch(display) < 0)
            return fail_display(display, "waiting for the window to be shown");
    printf("inhibiting\n");
    fflush(stdout);

    while (wl_display_dispatch(display) >= 0) {
    }
    wl_buffer_destroy(buffer);
    return fail_display(display, "holding the inhibitor");
}
