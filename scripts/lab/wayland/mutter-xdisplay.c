// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
/* mutter whose Xwayland starts its search for a free display at a chosen number:
 *   MUTTER_X_DISPLAY=80 mutter-xdisplay --headless --wayland ...
 * mutter has no option for this and would otherwise take the first free display from :0 up, which
 * on a shared machine collides with other X servers. Same start sequence as mutter's own main(),
 * plus meta_xwayland_override_display_number(). libmutter ships no development package here, so
 * the prototypes are declared below and the program links against libmutter-N.so.0 directly. */
#include <glib.h>
#include <stdlib.h>

typedef struct _MetaContext MetaContext;
MetaContext *meta_create_context (const char *name);
gboolean meta_context_configure (MetaContext *, int *, char ***, GError **);
void meta_context_set_plugin_name (MetaContext *, const char *);
gboolean meta_context_setup (MetaContext *, GError **);
gboolean meta_context_start (MetaContext *, GError **);
void meta_context_notify_ready (MetaContext *);
gboolean meta_context_run_main_loop (MetaContext *, GError **);
void meta_context_destroy (MetaContext *);
void meta_xwayland_override_display_number (int);

static int fail (const char *step, GError *error)
{
  g_printerr ("%s: %s\n", step, error->message);
  return 1;
}

int main (int argc, char **argv)
{
  GError *error = NULL;
  const char *n = g_getenv ("MUTTER_X_DISPLAY");
  MetaContext *ctx = meta_create_context ("Mutter");

  if (n)
    meta_xwayland_override_display_number (atoi (n));
  if (!meta_context_configure (ctx, &argc, &argv, &error))
    return fail ("configure", error);
  meta_context_set_plugin_name (ctx, "libdefault");
  if (!meta_context_setup (ctx, &error))
    return fail ("setup", error);
  if (!meta_context_start (ctx, &error))
    return fail ("start", error);
  meta_context_notify_ready (ctx);
  if (!meta_context_run_main_loop (ctx, &error))
    return fail ("main loop", error);
  meta_context_destroy (ctx);
  return 0;
}
