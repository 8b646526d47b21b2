/* Injects input into KWin through org_kde_kwin_fake_input (KWin's own protocol, the one its
 * remote-input tools use). KWin 5.27 hides this global from clients unless it runs with
 * KWIN_WAYLAND_NO_PERMISSION_CHECKS=1 (or the client's executable has a desktop file granting
 * it), and grants every "authenticate" request.
 *
 * usage: kwin_fake_input STEP...
 *   wait MS        sleep (binding the global makes KWin add a fake pointer+keyboard device; a
 *                  client learns of the new wl_pointer capability only after a moment)
 *   key CODE       press and release an evdev key code (30 = KEY_A, 57 = KEY_SPACE)
 *   move DX DY     relative pointer motion, in logical pixels
 *   abs X Y        absolute pointer motion, in global logical coordinates
 *   button CODE    press and release a button (272 = BTN_LEFT)
 * Each step is flushed and round-tripped, so it has reached KWin when the next one starts.
 * Exit status 0, or 1 when KWin does not offer the global (or only below version 4).
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <wayland-client.h>

#include "fake-input-client-protocol.h"

static struct org_kde_kwin_fake_input *fake;

static void global(void *data, struct wl_registry *registry, uint32_t name, const char *interface,
                   uint32_t version)
{
    (void)data;
    if (strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 4)
        fake = wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 4);
}

static void global_remove(void *data, struct wl_registry *registry, uint32_t name)
{
    (void)data, (void)registry, (void)name;
}

static const struct wl_registry_listener registry_listener = {global, global_remove};

static void sleep_ms(long ms)
{
    struct timespec t = {ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&t, NULL);
}

int main(int argc, char **argv)
{
    struct wl_display *display = wl_display_connect(NULL);
    if (!display) {
        fprintf(stderr, "kwin_fake_input: cannot connect to the Wayland display\n");
        return 1;
    }
    struct wl_registry *registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registry_listener, NULL);
    wl_display_roundtrip(display);
    if (!fake) {
        fprintf(stderr, "kwin_fake_input: no org_kde_kwin_fake_input v4 (is KWin running with "
                        "KWIN_WAYLAND_NO_PERMISSION_CHECKS=1?)\n");
        return 1;
    }
    org_kde_kwin_fake_input_authenticate(fake, "kwin-lab", "end-to-end test input");
    wl_display_roundtrip(display);

    for (int i = 1; i < argc; i++) {
        const char *step = argv[i];
        int args = (strcmp(step, "move") == 0 || strcmp(step, "abs") == 0) ? 2 : 1;
        if (i + args > argc - 1) {
            fprintf(stderr, "kwin_fake_input: %s needs %d argument(s)\n", step, args);
            return 2;
        }
        if (strcmp(step, "wait") == 0) {
            sleep_ms(atol(argv[++i]));
        } else if (strcmp(step, "key") == 0) {
            uint32_t code = (uint32_t)atoi(argv[++i]);
            org_kde_kwin_fake_input_keyboard_key(fake, code, 1);
            org_kde_kwin_fake_input_keyboard_key(fake, code, 0);
        } else if (strcmp(step, "button") == 0) {
            uint32_t code = (uint32_t)atoi(argv[++i]);
            org_kde_kwin_fake_input_button(fake, code, 1);
            org_kde_kwin_fake_input_button(fake, code, 0);
        } else if (strcmp(step, "move") == 0 || strcmp(step, "abs") == 0) {
            wl_fixed_t x = wl_fixed_from_double(atof(argv[i + 1]));
            wl_fixed_t y = wl_fixed_from_double(atof(argv[i + 2]));
            if (step[0] == 'm')
                org_kde_kwin_fake_input_pointer_motion(fake, x, y);
            else
                org_kde_kwin_fake_input_pointer_motion_absolute(fake, x, y);
            i += 2;
        } else {
            fprintf(stderr, "kwin_fake_input: unknown step %s\n", step);
            return 2;
        }
        if (wl_display_roundtrip(display) < 0) {
            fprintf(stderr, "kwin_fake_input: connection lost\n");
            return 1;
        }
    }
    wl_display_disconnect(display);
    return 0;
}
