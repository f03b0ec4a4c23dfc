#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
"""scroll-gtk.py: a fullscreen GTK 4 TextView in a ScrolledWindow, 5000 lines long, that tells on
stdout what it sees, one report a line:
  ready PAGE UPPER     the view is up (its vertical adjustment's page size and upper bound)
  scroll DX DY UNIT    a scroll event as GTK hands it to widgets (UNIT: wheel or surface)
  value V              the vertical adjustment's value after each change
GTK picks its backend from the environment (GDK_BACKEND=wayland and WAYLAND_DISPLAY make it a
Wayland client). Exit 77: no GTK 4 for Python."""
import sys

try:
    import gi
    gi.require_version("Gtk", "4.0")
    from gi.repository import GLib, Gtk
except (ImportError, ValueError):
    print("SKIP: GTK 4 for Python is not installed (python3-gi, gir1.2-gtk-4.0)", file=sys.stderr)
    sys.exit(77)


def say(*words):
    print(*words, flush=True)


def activate(app):
    window = Gtk.ApplicationWindow(application=app)
    scrolled = Gtk.ScrolledWindow()
    text = Gtk.TextView()
    text.get_buffer().set_text("\n".join(f"line {i}" for i in range(5000)))
    scrolled.set_child(text)
    window.set_child(scrolled)
    adjustment = scrolled.get_vadjustment()
    adjustment.connect("value-changed", lambda a: say("value", round(a.get_value(), 2)))
    # Seen before the scrolled window's own controller, and passed on to it.
    events = Gtk.EventControllerScroll.new(Gtk.EventControllerScrollFlags.BOTH_AXES)
    events.set_propagation_phase(Gtk.PropagationPhase.CAPTURE)

    def scrolled_by(controller, dx, dy):
        say("scroll", dx, dy, controller.get_unit().value_nick)
        return False
    events.connect("scroll", scrolled_by)
    window.add_controller(events)
    window.fullscreen()
    window.present()

    def ready():
        if adjustment.get_page_size() <= 0:
            return True
        say("ready", adjustment.get_page_size(), adjustment.get_upper())
        return False
    GLib.timeout_add(200, ready)


if __name__ == "__main__":
    application = Gtk.Application()
    application.connect("activate", activate)
    sys.exit(application.run([]))
