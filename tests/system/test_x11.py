# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
"""The x11 backend on a real X server (Xvfb), observed from outside: xdotool for the pointer,
xinput for buttons and keys, xclip for the clipboard, xmodmap for what the keycodes mean."""
import base64
import os
import re
import shutil
import signal
import sys
import subprocess
import threading
import time
import unittest

from harness import SCREEN, Server, Xvfb, main, require, stop, until


class RawEvents:
    """xinput test-xi2 --root in the background; events() gives (kind, detail) pairs."""

    def __init__(self, xvfb):
        self.proc = subprocess.Popen(["xinput", "test-xi2", "--root"], env=xvfb.env(), stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL, text=True)
        self.lines = []
        self.thread = threading.Thread(target=lambda: self.lines.extend(self.proc.stdout), daemon=True)
        self.thread.start()
        time.sleep(0.3)  # let it select its events before anything happens

    def events(self, settle=0.3):
        time.sleep(settle)
        found, kind = [], None
        for line in list(self.lines):
            m = re.match(r"EVENT type \d+ \((\w+)\)", line)
            if m:
                kind = m.group(1)
                continue
            m = re.match(r"\s+detail: (\d+)", line)
            if m and kind and kind.startswith("Raw"):
                found.append((kind, int(m.group(1))))
                kind = None
        return found

    def stop(self):
        stop(self.proc)
        self.thread.join(timeout=5)
        self.proc.stdout.close()


class X11Backend(unittest.TestCase):
    def setUp(self):
        for tool in ("Xvfb", "xdotool", "xinput", "xclip", "xmodmap", "xrandr"):
            require(shutil.which(tool) is not None, f"{tool} is not installed")
        self.xvfb = Xvfb()
        self.addCleanup(self.xvfb.stop)
        self.server = Server(args=("--headless", "--input", "x11"), env={"DISPLAY": self.xvfb.display})
        self.addCleanup(self.server.__exit__)
        self.client = self.server.paired_client()
        self.addCleanup(self.client.close)
        # "keycode  36 = Return NoSymbol Return": a keycode's first keysym.
        self.keysyms = {int(parts[1]): parts[3] for parts in map(str.split, self.xvfb.run("xmodmap", "-pke").splitlines())
                        if len(parts) >= 4}

    def send(self, message, reply=None):
        got = self.client.exchange(message, timeout=2.0 if reply else 0.15)
        self.assertEqual(got, reply or b"", message)

    def keys(self, events, kind="RawKeyPress"):
        return [self.keysyms.get(detail) for k, detail in events if k == kind]

    def test_pointer_moves_adds_fractions_clamps_and_sees_moves_by_others(self):
        self.xvfb.run("xdotool", "mousemove", "100", "100")
        self.send(b"MOVE:10,-5", b"ACK_MOVE")
        self.assertEqual(self.xvfb.pointer(), (110, 95))
        for _ in range(10):
            self.send(b"MOVE:0.4,0", b"ACK_MOVE")
        self.assertEqual(self.xvfb.pointer(), (114, 95))
        self.send(b"MOVE:100000,100000", b"ACK_MOVE")
        self.assertEqual(self.xvfb.pointer(), (SCREEN[0] - 1, SCREEN[1] - 1))
        self.send(b"MOVE:-1e9,-1e9", b"ACK_MOVE")
        self.assertEqual(self.xvfb.pointer(), (0, 0))

        # Warped by another client right after a move: the next move starts from there.
        self.xvfb.run("xdotool", "mousemove", "100", "100")
        self.send(b"MOVE:0.5,0", b"ACK_MOVE")
        self.assertEqual(self.xvfb.pointer(), (100, 100))
        # A relative move, as a user's mouse makes, is seen at once (a raw motion event).
        self.xvfb.run("xdotool", "mousemove_relative", "--", "40", "0")
        self.send(b"MOVE:0.5,0", b"ACK_MOVE")
        self.assertEqual(self.xvfb.pointer(), (140, 100))
        self.send(b"MOVE:0.5,0", b"ACK_MOVE")  # the fraction is kept again
        self.assertEqual(self.xvfb.pointer(), (141, 100))
        self.xvfb.run("xdotool", "mousemove", "300", "200")
        self.send(b"MOVE:1,1", b"ACK_MOVE")
        self.assertEqual(self.xvfb.pointer(), (301, 201))
        # Warped away from the edge the server last saw it at, within 100 ms of that look: the
        # move is clamped against where the pointer is, not where it was.
        for x, y in ((300, 200), (50, 400), (1000, 10)):
            time.sleep(0.15)
            self.send(b"MOVE:-1e9,0", b"ACK_MOVE")
            start = time.monotonic()
            self.xvfb.run("xdotool", "mousemove", str(x), str(y))
            self.send(b"MOVE:-10,0", b"ACK_MOVE")
            print(f"warped and moved {1000 * (time.monotonic() - start):.0f} ms after a move", file=sys.stderr)
            self.assertEqual(self.xvfb.pointer(), (x - 10, y))

    def test_two_monitors_clamp_to_their_bounding_box(self):
        # A move first, so that the whole-screen monitor is what the server last knew.
        self.send(b"MOVE:1,0", b"ACK_MOVE")
        # Bound to the output, the first one takes the place of the whole-screen monitor.
        self.xvfb.run("xrandr", "--setmonitor", "qm-left", "600/160x400/100+0+0", "screen")
        self.xvfb.run("xrandr", "--setmonitor", "qm-right", "400/100x300/80+700+100", "none")
        self.addCleanup(lambda: [subprocess.run(["xrandr", "--delmonitor", m], env=self.xvfb.env(),
                                                capture_output=True) for m in ("qm-left", "qm-right")])
        self.xvfb.run("xdotool", "mousemove", "500", "300")
        self.send(b"MOVE:150,50", b"ACK_MOVE")  # in the gap between them: left alone
        self.assertEqual(self.xvfb.pointer(), (650, 350))
        self.send(b"MOVE:5000,5000", b"ACK_MOVE")
        self.assertEqual(self.xvfb.pointer(), (1099, 399))

    def test_buttons_and_drag_are_seen_as_real_buttons(self):
        raw = RawEvents(self.xvfb)
        self.addCleanup(raw.stop)
        self.send(b"CLICK:LEFT", b"ACK_CLICK")
        self.send(b"CLICK:RIGHT", b"ACK_CLICK")
        self.send(b"CLICK:DOUBLE", b"ACK_DOUBLE_CLICK")
        self.send(b"MOUSE_DOWN", b"ACK_MOUSE_DOWN")
        before = self.xvfb.pointer()
        for _ in range(3):
            self.send(b"DRAG:5,0", b"ACK_DRAG")
        self.send(b"MOUSE_UP", b"ACK_MOUSE_UP")
        buttons = [(k, d) for k, d in raw.events() if "Button" in k]
        self.assertEqual(buttons, [(kind, button) for button in (1, 3, 1, 1, 1)
                                   for kind in ("RawButtonPress", "RawButtonRelease")])
        self.assertEqual(self.xvfb.pointer(), (before[0] + 15, before[1]))

    def test_named_and_volume_keys_arrive_as_linux_keysyms(self):
        expected = {b"ENTER": ["Return"], b"ESC": ["Escape"], b"BACKSPACE": ["BackSpace"], b"SPACE": ["space"],
                    b"TAB": ["Tab"], b"UP": ["Up"], b"DOWN": ["Down"], b"LEFT": ["Left"], b"RIGHT": ["Right"],
                    b"COMMAND": ["Control_L"], b"PASTE": ["Shift_L", "Insert"], b"F13": [],
                    b"VOLUME:UP": ["XF86AudioRaiseVolume"], b"VOLUME:DOWN": ["XF86AudioLowerVolume"],
                    b"VOLUME:MUTE": ["XF86AudioMute"], b"VOLUME:up": [],
                    b"CTRL+SHIFT+T": ["Control_L", "Shift_L", "t"], b"ALT+F4": ["Alt_L", "F4"]}
        for name, keysyms in expected.items():
            raw = RawEvents(self.xvfb)
            self.send(name if name.startswith(b"VOLUME:") else b"KEY:" + name,
                      None if name.startswith(b"VOLUME:") else b"ACK_KEY")
            events = raw.events()
            raw.stop()
            self.assertEqual(self.keys(events), keysyms, name)
            self.assertEqual(self.keys(events, "RawKeyRelease"), list(reversed(keysyms)), name)

    def test_a_pasted_text_is_offered_only_in_the_targets_that_carry_it(self):
        # No window has the focus: a TARGETS request is not the paste, and the text stays up to 3 s.
        def clipboard(target):
            return subprocess.run(["xclip", "-o", "-selection", "clipboard", "-t", target], env=self.xvfb.env(),
                                  capture_output=True, timeout=5).stdout
        for text, latin1 in (("中文\nok", False), ("Grüße\n", True)):
            self.send(b"TYPE:" + base64.b64encode(text.encode()), b"ACK_TYPE")
            until(lambda: b"UTF8_STRING" in clipboard("TARGETS"), 2)
            self.assertEqual(b"STRING" in clipboard("TARGETS").split(), latin1, text)
            self.assertEqual(clipboard("STRING"), text.encode("latin-1") if latin1 else b"", text)
            self.assertEqual(clipboard("UTF8_STRING"), text.encode(), text)
            time.sleep(0.5)  # given back after its fetch

    def test_scrolling_a_gtk_window_goes_about_as_far_as_asked(self):
        require(subprocess.run(["/usr/bin/python3", "-c", GTK_PROBE], capture_output=True).returncode == 0,
                "GTK 3 for Python is not installed (gir1.2-gtk-3.0)")
        view = subprocess.Popen(["/usr/bin/python3", "-u", "-c", GTK_VIEW], env=self.xvfb.env(), text=True,
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.addCleanup(lambda: (view.kill(), view.wait(5), view.stdout.close()))
        self.assertEqual(view.stdout.readline().strip(), "shown")
        self.xvfb.run("xdotool", "mousemove", "200", "300")
        for _ in range(12):
            self.send(b"SCROLL:0,-25")  # 30 pixels down each: 360
        time.sleep(1.0)  # GTK animates the scroll
        self.xvfb.run("xdotool", "mousemove", "201", "300")  # a last event: the view reports where it is
        position = float(view.stdout.readline())
        print(f"GTK 3 scrolled {position} pixels for 360", file=sys.stderr)
        self.assertTrue(180 <= position <= 720, position)

    def test_scroll_back_is_not_swallowed_by_the_rest_of_the_other_way(self):
        raw = RawEvents(self.xvfb)
        self.addCleanup(raw.stop)
        self.send(b"SCROLL:0,-45")  # 54 pixels down: less than a click, kept
        self.send(b"SCROLL:0,55")   # 66 up: a click up, not 12 after the 54
        self.send(b"SCROLL:-10,0")  # 12 right: kept
        presses = [d for k, d in raw.events() if k == "RawButtonPress"]
        self.assertEqual(presses, [4])


GTK_PROBE = "import gi; gi.require_version('Gtk', '3.0'); from gi.repository import Gtk"
# A GTK 3 text view of 400 lines in a 400x600 window at the top left; prints "shown", then its
# scroll position at each motion event after it scrolled.
GTK_VIEW = GTK_PROBE + """
from gi.repository import GLib
w = Gtk.Window(default_width=400, default_height=600); w.move(0, 0)
s = Gtk.ScrolledWindow(); t = Gtk.TextView(); t.get_buffer().set_text("\\n".join(f"line {i}" for i in range(400)))
s.add(t); w.add(s); w.connect("destroy", Gtk.main_quit)
def moved(*a):
    v = s.get_vadjustment().get_value()
    if v > 0: print(v); w.disconnect_by_func(moved)
w.add_events(4); w.connect("motion-notify-event", moved)
w.connect("map-event", lambda *a: GLib.timeout_add(300, lambda: print("shown")))
w.show_all(); Gtk.main()
"""


class DisplayLoss(unittest.TestCase):
    def test_x_server_killed_and_restarted(self):
        for tool in ("Xvfb", "xdotool"):
            require(shutil.which(tool) is not None, f"{tool} is not installed")
        xvfb = Xvfb()
        self.addCleanup(lambda: xvfb.stop())
        with Server(args=("--headless", "--input", "x11"), env={"DISPLAY": xvfb.display}) as server:
            client = server.paired_client()
            xvfb.stop(signal.SIGKILL)
            self.assertIsNotNone(server.wait_for("^Lost the X display", timeout=5))
            self.assertEqual(client.exchange(b"MOVE:5,5"), b"ACK_MOVE")  # still answered, nothing posted
            self.assertEqual(client.exchange(b"KEY:ENTER"), b"ACK_KEY")
            self.assertIsNone(server.proc.poll())

            xvfb = Xvfb(xvfb.display)
            self.assertIsNotNone(server.wait_for("^X display .* is back", timeout=10))
            xvfb.run("xdotool", "mousemove", "200", "200")
            self.assertEqual(client.exchange(b"MOVE:7,3"), b"ACK_MOVE")
            self.assertEqual(xvfb.pointer(), (207, 203))
            client.close()

    def test_auto_backend_follows_the_display(self):
        require(shutil.which("Xvfb") is not None, "Xvfb is not installed")
        xvfb = Xvfb()
        self.addCleanup(xvfb.stop)
        with Server(args=("--headless",), env={"DISPLAY": xvfb.display}) as server:
            self.assertIsNotNone(server.wait_for("^Input backend: x11$"))
        with Server(args=("--headless",), env={"DISPLAY": ""}) as server:
            self.assertIsNotNone(server.wait_for("^Input backend: none$"))
        # Xwayland's display only reaches X clients: never chosen by itself, taken when named.
        wayland = {"DISPLAY": xvfb.display, "XDG_SESSION_TYPE": "wayland"}
        with Server(args=("--headless",), env=wayland) as server:
            self.assertIsNotNone(server.wait_for(r"^Input backend: none \(Wayland session: XDG_SESSION_TYPE is wayland; "
                                                 r"portal: .+; uinput: cannot open /nonexistent/uinput: .+\)$"))
        with Server(args=("--headless", "--input", "x11"), env=wayland) as server:
            self.assertIsNotNone(server.wait_for("^This is a Wayland session .*: only X clients receive input$"))
            self.assertIsNotNone(server.wait_for("^Input backend: x11$"))
        out = subprocess.run([os.environ["QUILLMOTE_BIN"], "--headless", "--input", "x11"], capture_output=True,
                             env={**os.environ, "DISPLAY": ":9999"}, timeout=10)
        self.assertEqual(out.returncode, 2)
        self.assertIn(b"cannot open X display", out.stderr)


if __name__ == "__main__":
    main()
