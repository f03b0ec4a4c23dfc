# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
"""The desktop application on a real X server: its one window, hidden on close, brought back
by launching the program again; and the headless fallback without any display."""
import contextlib
import ctypes
import glob
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

from browser import http, stored_secret, until
from harness import BIN, Server, Xvfb, main, require, stop
from test_netns import Namespace, require_root_tools


def close_window(display, window):
    """Asks the window to close as a window manager's close button does (WM_DELETE_WINDOW)."""
    x = ctypes.cdll.LoadLibrary("libX11.so.6")
    x.XOpenDisplay.restype = ctypes.c_void_p
    x.XInternAtom.restype = ctypes.c_ulong
    x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
    x.XFlush.argtypes = x.XCloseDisplay.argtypes = [ctypes.c_void_p]
    dpy = x.XOpenDisplay(display.encode())
    assert dpy, "cannot open " + display
    # An XClientMessageEvent in its 64-bit layout: type, serial, send_event, display, window,
    # message_type, format, then the data longs.
    event = (ctypes.c_long * 24)(33, 0, 0, 0, window, x.XInternAtom(dpy, b"WM_PROTOCOLS", 0), 32,
                                 x.XInternAtom(dpy, b"WM_DELETE_WINDOW", 0))
    x.XSendEvent(dpy, window, 0, 0, event)
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
        until(lambda: len(self.visible_windows()) == count, timeout, every=0.1)
        return self.visible_windows()

    def assert_ends_on_sigterm(self, server):
        started = time.monotonic()
        self.assertEqual(server.stop(timeout=2.0), 0, server.lines)
        self.assertLess(time.monotonic() - started, 2.0)

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
            self.assert_ends_on_sigterm(server)

    def test_login_start_stays_in_the_tray_sigterm_ends_it_window_open_or_not_and_no_tray_opens_it(self):
        require(shutil.which("trayer") and shutil.which("xwininfo"), "trayer and xwininfo are needed")
        config = self.onboarded_config()

        def icon_in_tray():
            tree = subprocess.run(["xwininfo", "-root", "-tree"], env=self.xvfb.env(), capture_output=True,
                                  timeout=5).stdout.decode().splitlines()
            panels = [i for i, line in enumerate(tree) if '("panel" "trayer")' in line]
            return any('("quillmote" "Quillmote")' in line for i in panels for line in tree[i + 1:i + 10])

        tray = subprocess.Popen(["trayer", "--edge", "top"], env=self.xvfb.env(), stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        self.addCleanup(stop, tray)
        time.sleep(1.0)
        # The tray's icon is a window too: a quit that asks every window to close (ours refuses)
        # would end the program or not depending on the order Qt takes them in.
        for shown in (0, 1, 1, 1, 1):  # windows: none for a login start
            args = ("--input", "none") + (() if shown else ("--minimized",))
            with Server(args=args, env=self.env, config_home=config) as server:
                self.assertTrue(self.listening(server.proc.pid), server.lines)
                self.assertTrue(until(icon_in_tray, timeout=5, every=0.1))
                time.sleep(1.0 - shown)
                self.assertEqual(len(self.wait_windows(shown)), shown)
                self.assert_ends_on_sigterm(server)
        stop(tray)
        # No tray at all: after a grace period for a panel that starts late, the window opens.
        with Server(args=("--input", "none", "--minimized"), env=self.env, config_home=config) as server:
            self.assertTrue(self.listening(server.proc.pid), server.lines)
            self.assertEqual(self.visible_windows(), [])
            self.assertEqual(len(self.wait_windows(1, timeout=10)), 1)

    def test_onboarding_without_avahi_daemon_leads_to_the_dashboard_whose_qr_code_is_the_link(self):
        require(shutil.which("zbarimg") is not None, "zbarimg (zbar-tools) is not installed")
        config = tempfile.mkdtemp(prefix="quillmote-desktop-")
        self.addCleanup(shutil.rmtree, config, True)
        settings = os.path.join(config, "Quillmote", "Quillmote.conf")
        env = {**self.env, "DBUS_SYSTEM_BUS_ADDRESS": "unix:path=/nonexistent/quillmote-system-bus"}
        with Server(args=("--input", "x11"), env=env, config_home=config) as server:
            windows = self.wait_windows(1)
            self.assertEqual(len(windows), 1, server.lines)

            def started():  # Get Started, at the bottom of the onboarding, once it is enabled
                geometry = dict(line.split("=") for line in self.xvfb.run(
                    "xdotool", "getwindowgeometry", "--shell", str(windows[0])).split())
                self.xvfb.run("xdotool", "mousemove", "--window", str(windows[0]), str(int(geometry["WIDTH"]) // 2),
                              str(int(geometry["HEIGHT"]) - 45), "click", "1")
                time.sleep(0.3)
                with open(settings) as f:
                    return "hasCompletedOnboarding=true" in f.read()
            self.assertTrue(until(started, timeout=10, every=0.5), server.lines)
            shot = os.path.join(config, "screen.xwd")
            link = until(lambda: self.xvfb.run("sh", "-c", f"xwd -root -silent > {shot}; zbarimg -q --raw {shot} || :")
                         .strip(), timeout=10, every=0.3)
            m = re.match(r"^http://[^/]+:(\d+)/#k=(\S+)$", link)
            self.assertEqual(m and m.group(2), stored_secret(config), link)
            port = int(m.group(1))  # its port serves the page (asked on loopback)
            self.assertEqual(http(port, f"GET / HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\n\r\n")[0], 200)

    def test_shown_window_follows_network_changes_and_the_hidden_one_sleeps(self):
        require_root_tools("dbus-daemon")
        require(shutil.which("zbarimg") is not None, "zbarimg (zbar-tools) is not installed")
        # A bus without avahi-daemon on it, as on a desktop without the daemon: nothing to retry.
        bus = subprocess.run(["dbus-daemon", "--session", "--fork", "--print-address=1", "--print-pid=1",
                              "--nopidfile"], capture_output=True, timeout=10, check=True).stdout.decode().split()
        self.addCleanup(os.kill, int(bus[1]), signal.SIGTERM)
        host = Namespace("idle")
        self.addCleanup(host.delete)
        host.add_interface("qmwired", "02:00:00:00:00:32", address="10.9.9.9/24")  # listed first, no default route
        host.add_interface("qmidle", "02:00:00:00:00:33", up=False)
        env = {**self.env, "DBUS_SYSTEM_BUS_ADDRESS": bus[0]}
        config = self.onboarded_config()
        with Server(args=("--input", "none"), prefix=host.exec_prefix(), env=env, config_home=config) as server:
            windows = self.wait_windows(1)
            self.assertEqual(len(windows), 1, server.lines)
            # The laptop joins a network with the window open: the QR code's link follows.
            host.ip("link", "set", "qmidle", "up")
            host.ip("addr", "add", "198.51.100.7/24", "dev", "qmidle")
            host.ip("route", "add", "default", "via", "198.51.100.1", "dev", "qmidle")
            shot = os.path.join(config, "screen.xwd")
            self.assertTrue(until(lambda: re.match(r"^http://198\.51\.100\.7:\d+/#k=", self.xvfb.run(
                "sh", "-c", f"xwd -root -silent > {shot}; zbarimg -q --raw {shot} || :")), timeout=10, every=0.3))

            def switches():  # per thread: one that ends takes its count with it
                counts = {}
                for status in glob.glob(f"/proc/{server.proc.pid}/task/*/status"):
                    with contextlib.suppress(FileNotFoundError), open(status) as f:
                        counts[status] = sum(int(line.split()[1]) for line in f if "ctxt_switches" in line)
                return counts

            def wakeups_while_addresses_change():
                time.sleep(1.0)
                before = switches()
                for i in range(10):
                    host.ip("addr", "add" if i % 2 == 0 else "del", "192.0.2.9/24", "dev", "qmidle")
                    time.sleep(0.3)
                return sum(n - before.get(task, 0) for task, n in switches().items())

            self.assertGreater(wakeups_while_addresses_change(), 5)  # the shown addresses follow
            close_window(self.xvfb.display, windows[0])
            self.assertEqual(self.wait_windows(0), [])
            self.assertEqual(wakeups_while_addresses_change(), 0)

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
