/* SPDX-License-Identifier: GPL-3.0-or-later
 * SPDX-FileCopyrightText: 2026 Quillmote developers
 *
 * kwin-key CODE...: press and release evdev keys through KWin's org_kde_kwin_fake_input, as the
 * user's keyboard would (the lab answers Plasma's consent dialog with it). Exit 2 when KWin does not
 * offer the global to this executable: it offers it only to a client whose executable is the Exec
 * of a .desktop file with X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input, read when KWin starts. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wayland-client.h>
#include "fake-input-client.h"

static void global(void *data, struct wl_registry *registry, uint32_t name, const char *iface, uint32_t version)
{
    if (strcmp(iface, "org_kde_kwin_fake_input") == 0)
        *(struct org_kde_kwin_fake_input **)data =
            wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, version < 4 ? version : 4);
}

static void global_remove(void *data, struct wl_registry *registry, uint32_t name) {}

static const struct wl_registry_listener listener = {global, global_remove};

int main(int argc, char **argv)
{
    struct org_kde_kwin_fake_input *input = NULL;
    struct wl_display *display = wl_display_connect(NULL);
    if (!display) {
        fprintf(stderr, "kwin-key: no Wayland display\n");
        return 1;
    }
    wl_registry_add_listener(wl_display_get_registry(display), &listener, &input);
    wl_display_roundtrip(display);
    if (!input) {
        fprintf(stderr, "kwin-key: org_kde_kwin_fake_input not offered to this executable\n");
        return 2;
    }
    /* KWin ignores the requests of a client that has not authenticated; the strings are only shown. */
    org_kde_kwin_fake_input_authenticate(input, "lab", "input tests");
    for (int i = 1; i < argc; i++) {
        uint32_t code = (uint32_t)strtoul(argv[i], NULL, 10);
        org_kde_kwin_fake_input_keyboard_key(input, code, 1);
        wl_display_roundtrip(display);
        org_kde_kwin_fake_input_keyboard_key(input, code, 0);
        wl_display_roundtrip(display);
    }
    wl_display_disconnect(display);
    return 0;
}
