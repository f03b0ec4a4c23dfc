#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
"""text-view.py 3|4 OUT: a fullscreen GTK 3 or GTK 4 window filled by a TextView that has the focus
from the start, and writes its whole buffer to OUT after each change (to OUT.tmp, then renamed, so
a reader never sees half of it). Says "shown" on stdout once the window is mapped. GTK picks its
backend from the environment (GDK_BACKEND=wayland and WAYLAND_DISPLAY make it a Wayland client).
Exit 77: no such GTK for Python."""
import os
import sys

if len(sys.argv) != 3 or sys.argv[1] not in ("3", "4"):
    print("usage: text-view.py 3|4 OUT", file=sys.stderr)
    sys.exit(2)
VERSION, OUT = int(sys.argv[1]), sys.argv[2]
try:
    import gi
    gi.require_version("Gtk", f"{VERSION}.0")
    from gi.repository import Gtk
except (ImportError, ValueError):
    print(f"SKIP: GTK {VERSION} for Python is not installed (python3-gi, gir1.2-gtk-{VERSION}.0)", file=sys.stderr)
    sys.exit(77)


def save(buffer):
    text = buffer.get_text(buffer.get_start_iter(), buffer.get_end_iter(), True)
    with open(OUT + ".tmp", "w", encoding="utf-8") as f:
        f.write(text)
    os.replace(OUT + ".tmp", OUT)


def activate(app):
    window = Gtk.ApplicationWindow(application=app, title="text-view")
    view = Gtk.TextView()
    view.get_buffer().connect("changed", save)
    save(view.get_buffer())  # an empty file until the first key: its presence says nothing was typed yet
    if VERSION == 3:
        window.add(view)
        # map-event: the window is on the screen, not just mapped in GTK's own tree.
        window.connect("map-event", lambda *_: print("shown", flush=True) and False)
    else:
        window.set_child(view)
        window.connect("map", lambda *_: print("shown", flush=True))
    window.fullscreen()
    view.grab_focus()
    if VERSION == 3:
        window.show_all()
    else:
        window.present()


if __name__ == "__main__":
    application = Gtk.Application()
    application.connect("activate", activate)
    sys.exit(application.run([]))
