# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
"""The desktop application on a real X server: its one window, hidden on close, brought back
by launching the program again; and the headless fallback without any display."""
import ctypes
import os
import re
import shutil
import subprocess
import tempfile
import time
import unittest

from browser import http, stored_secret, until
from harness import BIN, Server, Xvfb, main, require


def close_window(display, window):
    """Asks the window to close as a window manager's close button does (WM_DELETE_WINDOW)."""

    class ClientMessage(ctypes.Structure):
        _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                    ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                    ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]

    class Event(ctypes.Union):
        _fields_ = [("message", ClientMessage), ("pad", ctypes.c_long * 24)]

    x = ctypes.cdll.LoadLibrary("libX11.so.6")
    x.XOpenDisplay.restype = ctypes.c_void_p
    x.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x.XInternAtom.restype = ctypes.c_ulong
    x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
    x.XFlush.argtypes = [ctypes.c_void_p]
    x.XCloseDisplay.argtypes = [ctypes.c_void_p]
    dpy = x.XOpenDisplay(display.encode())
    assert dpy, "cannot open " + display
    event = Event()
    event.message.type = 33  # ClientMessage
    event.message.window = window
    event.message.message_type = x.XInternAtom(dpy, b"WM_PROTOCOLS", 0)
    event.message.format = 32
    event.message.data[0] = x.XInternAtom(dpy, b"WM_DELETE_WINDOW", 0)
    x.XSendEvent(dpy, window, 0, 0, ctypes.byref(event))
    x.XFlush(dpy)
    x.XCloseDisplay(dpy)


class DesktopApplication(unittest.TestCase):
    def setUp(self):
        require(shutil.which("Xvfb") and shutil.which("xdotool"), "Xvfb and xdotool are needed")
        self.xvfb = Xvfb()
        self.addCleanup(self.xvfb.stop)
        self.runtime = tempfile.mkdtemp(prefix="quillmote-runtime-")
        os.chmod(self.runtime, 0o700)
        self.addCleanup(shutil.rmtree, self.runtime, True)
        self.env = {"DISPLAY": self.xvfb.display, "QT_QPA_PLATFORM": "xcb", "XDG_RUNTIME_DIR": self.runtime,
                    "LANG": "en_US.UTF-8"}

    def onboarded_config(self):
        config = tempfile.mkdtemp(prefix="quillmote-desktop-")
        self.addCleanup(shutil.rmtree, config, True)
        os.makedirs(os.path.join(config, "Quillmote"))
        with open(os.path.join(config, "Quillmote", "Quillmote.conf"), "w") as f:
            f.write("[General]\nhasCompletedOnboarding=true\n")
        return config

    def visible_windows(self):
        out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Quillmote$"],
                             env=self.xvfb.env(), capture_output=True, timeout=5)
        return [int(w) for w in out.stdout.split()]

    def wait_windows(self, count, timeout=10.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            windows = self.visible_windows()
            if len(windows) == count:
                return windows
            time.sleep(0.1)
        return self.visible_windows()

    def launch_again(self, config_home):
        env = {**os.environ, **self.env, "XDG_CONFIG_HOME": config_home}
        return subprocess.run([BIN], env=env, capture_output=True, timeout=15)

    def test_one_window_hidden_on_close_and_shown_by_a_second_launch(self):
        with Server(args=("--input", "x11"), env=self.env) as server:
            windows = self.wait_windows(1)
            self.assertEqual(len(windows), 1, server.lines)
            close_window(self.xvfb.display, windows[0])
            self.assertEqual(self.wait_windows(0), [])
            self.assertIsNone(server.proc.poll())  # closing the window does not quit

            second = self.launch_again(server.config_home)
            self.assertEqual(second.returncode, 0, second.stderr)
            self.assertIn(b"already running", second.stdout)
            self.assertEqual(self.wait_windows(1), windows)  # the same window, not a new one
            self.assertIsNone(server.proc.poll())

    def test_login_start_stays_in_the_tray_and_opens_the_window_without_one(self):
        require(shutil.which("trayer") and shutil.which("xwininfo"), "trayer and xwininfo are needed")
        config = self.onboarded_config()

        def icon_in_tray():
            tree = subprocess.run(["xwininfo", "-root", "-tree"], env=self.xvfb.env(), capture_output=True,
                                  timeout=5).stdout.decode().splitlines()
            panels = [i for i, line in enumerate(tree) if '("panel" "trayer")' in line]
            return any('("quillmote" "Quillmote")' in line for i in panels for line in tree[i + 1:i + 10])

        tray = subprocess.Popen(["trayer", "--edge", "top"], env=self.xvfb.env(), stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        self.addCleanup(lambda: (tray.terminate(), tray.wait(5)))
        time.sleep(1.0)
        with Server(args=("--input", "none", "--minimized"), env=self.env, config_home=config) as server:
            self.assertTrue(self.listening(server.proc.pid), server.lines)
            deadline = time.monotonic() + 5
            while not icon_in_tray() and time.monotonic() < deadline:
                time.sleep(0.1)
            self.assertTrue(icon_in_tray())
            time.sleep(1.0)
            self.assertEqual(self.visible_windows(), [])
        tray.terminate()
        tray.wait(5)
        # No tray at all: after a grace period for a panel that starts late, the window opens.
        with Server(args=("--input", "none", "--minimized"), env=self.env, config_home=config) as server:
            self.assertTrue(self.listening(server.proc.pid), server.lines)
            self.assertEqual(self.visible_windows(), [])
            self.assertEqual(len(self.wait_windows(1, timeout=10)), 1)

    def test_dashboard_qr_code_is_the_link(self):
        require(shutil.which("zbarimg") is not None, "zbarimg (zbar-tools) is not installed")
        config = self.onboarded_config()
        with Server(args=("--input", "none"), env=self.env, config_home=config) as server:
            self.assertEqual(len(self.wait_windows(1)), 1, server.lines)
            shot = os.path.join(config, "screen.xwd")
            link = until(lambda: self.xvfb.run("sh", "-c", f"xwd -root -silent > {shot}; zbarimg -q --raw {shot} || :")
                         .strip(), timeout=10, every=0.3)
            m = re.match(r"^http://[^/]+:(\d+)/#k=(\S+)$", link)
            self.assertEqual(m and m.group(2), stored_secret(config), link)
            port = int(m.group(1))  # its port serves the page (asked on loopback)
            self.assertEqual(http(port, f"GET / HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\n\r\n")[0], 200)

    @staticmethod
    def listening(pid, timeout=5.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            out = subprocess.run(["ss", "-Htlnp"], capture_output=True, timeout=5).stdout.decode()
            if f"pid={pid}," in out:
                return True
            time.sleep(0.1)
        return False


class NoDisplay(unittest.TestCase):
    def test_without_a_graphical_session_it_runs_headless_in_the_users_language(self):
        env = {"DISPLAY": "", "WAYLAND_DISPLAY": "", "QT_QPA_PLATFORM": "", "LANG": "en_US.UTF-8", "LC_ALL": ""}
        with Server(args=("--input", "none"), env=env) as server:
            self.assertIsNotNone(server.wait_for(r"^No graphical session .*running headless\.$", after_seen=False))
            self.assertIsNotNone(server.port)
            self.assertIsNotNone(server.code)
            self.assertIsNotNone(server.wait_for(r"^Status: Waiting for a connection\.\.\.$", after_seen=False))


if __name__ == "__main__":
    main()
