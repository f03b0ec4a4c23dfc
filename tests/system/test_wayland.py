# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
"""Wayland sessions: headless GNOME (mutter) and KDE (KWin) with their RemoteDesktop portals, started
by scripts/lab. What arrives is observed from outside: a fullscreen X window on Xwayland logs each
event (X keycode = evdev code + 8), and wl-paste reads the clipboard as a Wayland client."""
import base64
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

from harness import HERE, Client, Server, main, require, write_office_profile

LAB = os.path.normpath(os.path.join(HERE, "..", "..", "scripts", "lab", "wayland"))
PY = "/usr/bin/python3"
XWAYLAND_CLIPBOARD = ("xclip", "-o", "-selection", "clipboard")
# English, Chinese, emoji and mixed lines: typed, pasted, and both in one line.
LINES = ["plain words, typed: 1+1=2 & ~ok?", "一整行中文", "emoji 🎉🚀 and more", "mixed 混合 text 末尾",
         "第二行 with tail", "🙂", "last line."]


def until(probe, timeout):
    deadline = time.monotonic() + timeout
    while not probe() and time.monotonic() < deadline:
        time.sleep(0.1)
    return probe()


class Stack:
    """One desktop stack for a test class; stop() ends everything it started, even after a failed start."""

    def __init__(self, kind, env=None):
        self.kind = kind
        self.dir = tempfile.mkdtemp(prefix="qmw", dir="/tmp")  # socket paths must stay short
        start = subprocess.run(["bash", f"{LAB}/{kind}-stack.sh", "start", "--portal", self.dir], capture_output=True,
                               text=True, timeout=120, env={**os.environ, **(env or {})})
        if start.returncode == 77:
            self.stop()
            require(False, start.stderr.strip().splitlines()[-1])
        if start.returncode != 0:
            self.stop()
            raise AssertionError(f"{kind} stack did not start: {start.stderr[-2000:]}")
        self.env = {}
        with open(f"{self.dir}/{kind}/env") as f:
            for line in f:
                key, _, value = line.removeprefix("export ").strip().partition("=")
                self.env[key] = value.replace("\\,", ",")
        self.log = self.env["LAB_XCOVER_LOG"]

    def stop(self):
        subprocess.run(["bash", f"{LAB}/{self.kind}-stack.sh", "stop", self.dir], capture_output=True, timeout=60)
        shutil.rmtree(self.dir, ignore_errors=True)

    def lines(self):
        with open(self.log) as f:
            return [line.strip() for line in f]

    def expect(self, mark, pattern, count=1, timeout=10.0):
        """The observer's lines after mark, once `count` of them match pattern (None after timeout)."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            seen = self.lines()[mark:]
            if len([line for line in seen if re.search(pattern, line)]) >= count:
                return seen
            time.sleep(0.05)
        return None

    def run(self, *args):
        return subprocess.run(args, env={**os.environ, **self.env}, capture_output=True, timeout=20)


class PortalDesktop:
    KIND = None
    LAYOUT = {}
    W_KEY = 25  # the X keycode of the key that gives w in the desktop's layout
    # The portal's own calls (--input portal), or libei for its session as auto takes it where the
    # portal hands that out: the same tests for both.
    LIBEI = False
    INPUT = ("--headless", "--input", "portal")
    ENV = {}

    @classmethod
    def setUpClass(cls):
        require(shutil.which("wl-paste") is not None, "wl-paste is not installed (wl-clipboard)")
        cls.stack = Stack(cls.KIND, cls.LAYOUT)
        try:
            mark = len(cls.stack.lines())
            cls.server = Server(args=cls.INPUT, env={**cls.stack.env, **cls.ENV,
                                                     "XDG_CURRENT_DESKTOP": cls.KIND.split("-")[0].upper()})
            backend = cls.server.wait_for(r"^Input backend: portal( \(libei\))?( \(Wayland session: .*\))?$",
                                          after_seen=False)
            assert backend, cls.server.lines
            if cls.LIBEI and not backend.group(1):
                portal = cls.stack.run("gdbus", "introspect", "--session", "-d", "org.freedesktop.portal.Desktop",
                                       "-o", "/org/freedesktop/portal/desktop").stdout
                if b"ConnectToEIS" not in portal:
                    raise unittest.SkipTest(f"the {cls.KIND} portal hands out no libei connection")
                require(False, "built without libei (libei-dev)")
            assert bool(backend.group(1)) == cls.LIBEI and bool(backend.group(2)) == cls.LIBEI, cls.server.lines
            cls.answer_dialog(mark)
            assert cls.server.wait_for("^The desktop allows remote input$", timeout=20), cls.server.lines
            assert not cls.LIBEI or cls.server.wait_for("^Input goes through libei$"), cls.server.lines
        except BaseException:
            cls.tearDownClass()
            raise

    @classmethod
    def answer_dialog(cls, mark):
        """A consent dialog (where the stack expects one) takes the focus; the stack's keys answer it."""
        if cls.stack.env.get("LAB_ANSWER"):
            assert cls.stack.expect(mark, "^focusout$", timeout=20), cls.stack.lines()[mark:]
            cls.stack.run(cls.stack.env["LAB_ANSWER"])

    @classmethod
    def tearDownClass(cls):
        if getattr(cls, "server", None):
            cls.server.__exit__(*sys.exc_info())
        cls.stack.stop()

    def setUp(self):
        self.client = self.server.paired_client()
        self.addCleanup(self.client.close)

    def send(self, *messages):
        for message in messages:
            self.client.exchange(message, timeout=0.15)

    def input_lines(self, mark, last, count=1):
        seen = self.stack.expect(mark, last, count)
        self.assertIsNotNone(seen, f"no {last!r} after: {self.stack.lines()[mark:]}")
        return [re.sub(r" root=\S+", "", line).replace(" state=0x0", "") for line in seen
                if not line.startswith(("motion", "enter", "focus"))]

    def save_in_mutter(self):
        """Control+S through mutter's own input, as the user's keyboard would."""
        return self.stack.run(PY, f"{LAB}/mutter-rd.py", "down:29", "key:31", "up:29")

    def rounds_into(self, name, command, reader=None, env=None, save=None, paste=False):
        """Runs `cat > FILE` in a terminal (command ends with the option that takes a command), or,
        with save, opens FILE in an editor that save() makes write it; sends the lines as TYPE and
        ENTER rounds, with paste a KEY:PASTE line after them; FILE must hold them exactly (the
        pasted line: the user's text), and reader (run in the stack), if any, the user's text
        afterwards (Xwayland's side: the Wayland side is not always given back)."""
        require(shutil.which(command[0]) is not None, f"{command[0]} is not installed")
        out = os.path.join(self.stack.dir, f"{name}.txt")
        env = {**os.environ, **self.stack.env, "QT_QPA_PLATFORM": "wayland", "HOME": self.stack.dir, **(env or {})}
        if save:
            open(out, "w").close()
        mark = len(self.stack.lines())
        argv = command + ([out] if save else ["sh", "-c", f"cat > {out}"])
        app = subprocess.Popen(argv, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                               start_new_session=True)
        self.addCleanup(lambda: (app.kill(), app.wait(10)))

        def written():
            if not os.path.exists(out):
                return ""
            # utf-8-sig: LibreOffice's plain text starts with a byte order mark.
            with open(out, encoding="utf-8-sig", errors="replace") as f:
                return f.read()
        probes = ""
        if save:
            # The observer's X window loses the focus to the editor's window once that is up.
            self.assertIsNotNone(self.stack.expect(mark, "^focusout$", timeout=30), f"{name} never took the focus")
            time.sleep(1)
        else:
            # A terminal takes the focus once it is up: probe lines until one arrives.
            deadline = time.monotonic() + 30
            while not written():
                self.assertLess(time.monotonic(), deadline, f"{name} never took input")
                self.send(b"TYPE:" + base64.b64encode(b"probe"), b"KEY:ENTER")
                time.sleep(0.5)
            time.sleep(0.5)
            probes = written()
        for line in LINES:
            self.send(b"TYPE:" + base64.b64encode(line.encode()), b"KEY:ENTER")
        if paste:
            self.send(b"KEY:PASTE", b"KEY:ENTER")
        expected = probes + "\n".join(LINES + ["the user's text"] * paste) + "\n"
        if save and name in ("gnome-text-editor", "soffice"):
            # GtkSourceView's implicit trailing newline; LibreOffice's last, empty paragraph's.
            expected += "\n"
        deadline = time.monotonic() + 30
        if save:
            # Control held for the save would change keys still arriving: only once they are all in.
            time.sleep(10)
        while written() != expected and time.monotonic() < deadline:
            if save:
                save()
            time.sleep(2 if save else 0.2)
        self.assertEqual(written(), expected, name)
        app.kill()
        app.wait(10)
        deadline = time.monotonic() + 8
        while reader and (held := self.stack.run(*reader).stdout) != "the user's text".encode():
            self.assertLess(time.monotonic(), deadline, f"after {name} the clipboard holds {held!r}")
            time.sleep(0.2)

    def test_consent_is_remembered_across_a_restart(self):
        if int(self.stack.env.get("LAB_RD_VERSION", 1)) < 2:  # a skip under CI too: the version lacks it
            self.skipTest("the portal's RemoteDesktop has no restore tokens (version 1)")
        with Server(args=("--headless", "--input", "portal"), env=self.stack.env,
                    config_home=self.server.config_home) as again:  # the grant's token; nobody answers a dialog
            self.assertIsNotNone(again.wait_for("^The desktop allows remote input$", timeout=20), again.lines)

    def test_input_sent_while_the_desktop_is_asked_goes_out_once_allowed(self):
        mark = len(self.stack.lines())
        with Server(args=self.INPUT, env=self.stack.env) as fresh:  # no grant kept: the desktop asks
            client = fresh.paired_client()
            self.addCleanup(client.close)
            keys = len(self.stack.lines())
            self.assertEqual(client.exchange(b"KEY:ESC"), b"ACK_KEY")
            self.answer_dialog(mark)
            self.assertIsNotNone(fresh.wait_for("^The desktop allows remote input$", timeout=20), fresh.lines)
            self.input_lines(keys, r"^keyrelease detail=9 ")

    def test_pointer_buttons_scroll_keys_and_paste(self):
        stack = self.stack
        mark = len(stack.lines())
        self.send(b"MOVE:-5000,-5000", b"MOVE:100,50", b"MOVE:0.5,0.25", b"MOVE:0.5,0.75")
        self.assertIsNotNone(stack.expect(mark, r"^motion .* root=101,51 "), stack.lines()[mark:])

        mark = len(stack.lines())
        self.send(b"CLICK:LEFT", b"CLICK:RIGHT", b"CLICK:DOUBLE", b"MOUSE_DOWN", b"DRAG:5,0", b"DRAG:5,0",
                  b"DRAG:5,0", b"MOUSE_UP")
        lines = self.input_lines(mark, r"^release detail=1 root=116,51 ", 1)
        self.assertEqual([line.split(" state")[0] for line in lines],
                         ["press detail=1", "release detail=1", "press detail=3", "release detail=3"] +
                         ["press detail=1", "release detail=1"] * 3)
        self.assertIsNotNone(stack.expect(mark, r"^motion detail=0 root=116,51 "))

        # 66 pixels up: one notch of 60; -732 more, the 6 kept dropped: twelve down, each one X wheel
        # click (KDE's 10 a notch: more or less would scroll Qt and Firefox as much further); sideways the same.
        mark = len(stack.lines())
        self.send(b"SCROLL:0,55", b"SCROLL:0,-610", b"SCROLL:55,0", b"SCROLL:-55,0", b"KEY:ESC")
        lines = self.input_lines(mark, r"^keyrelease detail=9 ")
        self.assertEqual([line for line in lines if line.startswith("press")],
                         ["press detail=4"] + ["press detail=5"] * 12 + ["press detail=6", "press detail=7"])

        # Named keys by code; a chord's letter by keysym (where w is in this layout, Control held);
        # the paste chord of a window whose class is not known, and the volume key
        # (XF86AudioRaiseVolume, evdev 115).
        mark = len(stack.lines())
        self.send(b"KEY:ENTER", b"CMD:CLOSE_WINDOW", b"KEY:PASTE", b"VOLUME:UP")
        lines = self.input_lines(mark, r"^keyrelease detail=123 ")
        self.assertEqual(lines, ["keypress detail=36", "keyrelease detail=36",
                                 "keypress detail=37", f"keypress detail={self.W_KEY} state=0x4",
                                 f"keyrelease detail={self.W_KEY} state=0x4", "keyrelease detail=37 state=0x4",
                                 "keypress detail=50", "keypress detail=118 state=0x1",
                                 "keyrelease detail=118 state=0x1", "keyrelease detail=50 state=0x1",
                                 "keypress detail=123", "keyrelease detail=123"])

        # Pasted (the rounds tests read what arrives), with Enter after the paste.
        mark = len(stack.lines())
        self.assertEqual(self.client.exchange(b"TYPE:" + base64.b64encode("你好，世界".encode())), b"ACK_TYPE")
        self.send(b"KEY:ENTER")
        lines = self.input_lines(mark, r"^keyrelease detail=36 ")
        self.assertEqual([line.split(" state")[0] for line in lines if line.startswith("keypress")],
                         ["keypress detail=50", "keypress detail=118", "keypress detail=36"])


class KdePortal(PortalDesktop, unittest.TestCase):
    KIND = "kde"
    # Dvorak has w where US has the comma: Control+W must press that key.
    LAYOUT = {"XKB_DEFAULT_LAYOUT": "us", "XKB_DEFAULT_VARIANT": "dvorak"}
    W_KEY = 59

    def end_from_tray(self):
        """Presses "End" in the menu of the desktop's remote-control tray item, as a user would."""
        import dbus
        bus = dbus.bus.BusConnection(self.stack.env["DBUS_SESSION_BUS_ADDRESS"])
        try:
            for name in (n for n in bus.list_names() if n.startswith(":")):
                try:
                    item = bus.get_object(name, "/StatusNotifierItem", introspect=False)
                    if item.Get("org.kde.StatusNotifierItem", "Title", dbus_interface=dbus.PROPERTIES_IFACE) \
                            not in ("Remote Desktop", "Remote Control"):
                        continue
                except dbus.DBusException:
                    continue
                menu = dbus.Interface(bus.get_object(name, "/MenuBar", introspect=False), "com.canonical.dbusmenu")
                entries = menu.GetLayout(0, -1, dbus.Array([], signature="s"))[1][2]
                end = next(e[0] for e in entries if e[1].get("label") == "End")
                menu.Event(end, "clicked", dbus.Int32(0, variant_level=1), dbus.UInt32(0))
                return
            self.fail("the desktop shows no remote-control tray item")
        finally:
            bus.close()

    def test_paste_without_xwayland_goes_through_wl_copy(self):
        mark = len(self.stack.lines())
        with Server(args=self.INPUT, env={**self.stack.env, "DISPLAY": ""}) as server:
            self.answer_dialog(mark)  # a start without the settings that hold the grant
            self.assertIsNotNone(server.wait_for("^The desktop allows remote input$", timeout=20), server.lines)
            client = server.paired_client()
            self.addCleanup(client.close)
            # Nothing tells the focused window's class: the chord that pastes in any window.
            self.assertIsNotNone(server.wait_for(
                "^No Xwayland display .*: pastes use Shift\\+Insert", after_seen=False))
            # The user's image, given back after the paste; a copy made meanwhile is not written over.
            image = bytes(range(256)) * 4096
            subprocess.run(["wl-copy", "--type", "image/png"], input=image, env={**os.environ, **self.stack.env},
                           timeout=20, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            mark = len(self.stack.lines())
            self.assertEqual(client.exchange(b"TYPE:" + base64.b64encode("不经，Ｘ".encode())), b"ACK_TYPE")
            self.assertIn("keypress detail=118 state=0x1", self.input_lines(mark, r"^keyrelease detail=50 "))
            self.assertEqual(self.stack.run("wl-paste", "--no-newline").stdout.decode(), "不经，Ｘ")
            self.assertTrue(until(lambda: self.stack.run("wl-paste", "--type", "image/png").stdout == image, 5))
            self.assertEqual(client.exchange(b"TYPE:" + base64.b64encode("中文".encode())), b"ACK_TYPE")
            until(lambda: self.stack.run("wl-paste", "--no-newline").stdout == "中文".encode(), 2)
            subprocess.run(["wl-copy", "newer"], env={**os.environ, **self.stack.env}, timeout=20,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            time.sleep(2.5)
            self.assertEqual(self.stack.run("wl-paste", "--no-newline").stdout.decode(), "newer")

    def test_rounds_into_wayland_and_x_clients_arrive_whole_and_in_order(self):
        """KWrite and Konsole (running cat) as Qt Wayland clients, then xfce4-terminal on Xwayland:
        typed characters, and pasted ones through the Wayland clipboard and through Xwayland's."""
        subprocess.run(["wl-copy", "the user's text"], env={**os.environ, **self.stack.env}, timeout=20,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)  # its server keeps output open
        # KWin does not always take back what the clipboard held: not checked here.
        config = os.path.join(self.stack.dir, ".config")
        os.makedirs(config, exist_ok=True)
        with open(os.path.join(config, "kwriterc"), "w") as f:
            # It saves by itself every second: no Control+S to send.
            f.write("[KTextEditor Document]\nAuto Save=true\nAuto Save Interval=1\n")
        self.rounds_into("kwrite", ["kwrite"], save=lambda: None)
        self.rounds_into("konsole", ["konsole", "--nofork", "-e"])
        self.rounds_into("xfce4-terminal", ["xfce4-terminal", "--disable-server", "-x"],
                         env={"GDK_BACKEND": "x11"})

    def test_session_ended_by_the_user_is_asked_for_again(self):
        self.end_from_tray()
        self.assertIsNotNone(self.server.wait_for("^The desktop closed the remote input session", timeout=10))
        for active in ("true", "false"):  # a lock and unlock later are no reason to ask (nor to go on through uinput)
            self.stack.run("dbus-send", "--session", "--type=signal", "/org/freedesktop/ScreenSaver",
                           "org.freedesktop.ScreenSaver.ActiveChanged", f"boolean:{active}")
        mark = len(self.stack.lines())
        self.send(b"CLICK:RIGHT")  # within a minute of the first ask: not asked yet
        self.assertIsNone(self.server.wait_for("^Asking the desktop", timeout=1))
        # Input asks again, at most once a minute: the first ask was at start-up. Until then
        # nothing is posted; the click that asks waits for the answer, and one more follows it.
        deadline = time.monotonic() + 75
        while not self.server.wait_for("^Asking the desktop to allow remote input$", timeout=2):
            self.assertLess(time.monotonic(), deadline, "not asked again")
            self.send(b"CLICK:RIGHT")
        self.assertIsNotNone(self.server.wait_for("^The desktop allows remote input$", timeout=20))
        self.send(b"CLICK:RIGHT")
        self.assertEqual(self.input_lines(mark, r"^release detail=3 ", 2),
                         ["press detail=3", "release detail=3 state=0x400"] * 2)
        time.sleep(0.5)  # and none of the clicks dropped before the ask come late
        self.assertEqual([line.split(" ")[:2] for line in self.stack.lines()[mark:]].count(["press", "detail=3"]), 2)


class GnomePortal(PortalDesktop, unittest.TestCase):
    KIND = "gnome"

    def test_rounds_into_gtk4_editor_and_terminal_arrive_whole_and_in_order(self):
        """gnome-text-editor (GTK 4) and gnome-terminal (VTE, which pastes the primary selection) as
        Wayland clients: typed characters, and pasted ones through Xwayland's selections; the
        phone's Paste pastes the clipboard in the terminal."""
        for selection, text in (("clipboard", b"the user's text"), ("primary", b"selected by the user")):
            subprocess.run(["xclip", "-selection", selection], input=text, timeout=20,
                           env={**os.environ, **self.stack.env}, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.rounds_into("gnome-text-editor", ["gnome-text-editor", "--standalone"], XWAYLAND_CLIPBOARD,
                         save=self.save_in_mutter)
        if shutil.which("ptyxis"):  # GNOME's terminal since 47, VTE too
            return self.rounds_into("ptyxis", ["ptyxis", "-s", "--"], XWAYLAND_CLIPBOARD, paste=True)
        # Its server started here, with the stack's display: one the bus starts would lack it.
        require(os.path.exists("/usr/libexec/gnome-terminal-server"), "gnome-terminal is not installed")
        app_id = "org.quillmote.TestTerminal"
        server = subprocess.Popen(["/usr/libexec/gnome-terminal-server", "--app-id", app_id],
                                  env={**os.environ, **self.stack.env, "HOME": self.stack.dir},
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        self.addCleanup(lambda: (server.kill(), server.wait(10)))
        deadline = time.monotonic() + 15
        while b"true" not in self.stack.run("dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                                            "/", "org.freedesktop.DBus.NameHasOwner", f"string:{app_id}").stdout:
            self.assertLess(time.monotonic(), deadline, "gnome-terminal-server did not start")
            time.sleep(0.2)
        self.rounds_into("gnome-terminal", ["gnome-terminal", "--app-id", app_id, "--wait", "--"], XWAYLAND_CLIPBOARD,
                         paste=True)


class GnomeBrowser(PortalDesktop, unittest.TestCase):
    """Chromium as a Wayland client on GNOME: a browser of its own, so run on its own (not in the labs'
    chroots, which have no browser)."""
    KIND = "gnome"

    def test_writer_as_a_wayland_client_gets_every_line_before_its_enter(self):
        """LibreOffice Writer inserts typed characters once no more keys are queued: an Enter sent right
        behind them went in first. The user's clipboard stays."""
        profile = os.path.join(self.stack.dir, "office")
        write_office_profile(profile)
        subprocess.run(["xclip", "-selection", "clipboard"], input=b"the user's text", timeout=20,
                       env={**os.environ, **self.stack.env}, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.rounds_into("soffice", ["soffice", f"-env:UserInstallation=file://{profile}", "--norestore", "--nologo",
                                     "--writer"], XWAYLAND_CLIPBOARD, env={"SAL_USE_VCLPLUGIN": "gtk3"},
                         save=self.save_in_mutter)

    def test_chromium_as_a_wayland_client_gets_pasted_text_whole(self):
        """Pasted through Xwayland's clipboard and mutter's bridge: every character, none as "?"."""
        from browser import Chromium
        mark = len(self.stack.lines())
        browser = Chromium(wayland_env={**self.stack.env, "HOME": self.stack.dir},
                           url="data:text/html,<textarea autofocus></textarea>")
        self.addCleanup(browser.close)
        self.assertIsNotNone(self.stack.expect(mark, "^focusout$", timeout=30), "chromium never took the focus")
        field = "document.querySelector('textarea').value"
        browser.wait_until("document.querySelector('textarea') !== null")
        browser.js("document.querySelector('textarea').focus()")
        # The window takes keys a moment after it is shown: probe with a space until one lands.
        self.assertTrue(until(lambda: self.client.exchange(b"KEY:SPACE") and browser.js(field), 15),
                        browser.js("[document.hasFocus(), document.activeElement.tagName, document.visibilityState]"))
        # Probes still queued land later on a loaded machine: the field is cleared once it rests for a second.
        deadline, last = time.monotonic() + 15, None
        while (now := browser.js(field)) != last and time.monotonic() < deadline:
            last = now
            time.sleep(1)
        browser.js("document.querySelector('textarea').value = ''")
        text = "Grüße 中文 🎉\nok"
        self.assertEqual(self.client.exchange(b"TYPE:" + base64.b64encode(text.encode())), b"ACK_TYPE")
        until(lambda: browser.js(field) == text, 10)
        self.assertEqual(browser.js(field), text, browser.js("[document.hasFocus(), document.activeElement.tagName]"))


class GnomeShield(PortalDesktop, unittest.TestCase):
    """gnome-shell nested on an Xvfb screen: its screen shield ends remote input and refuses new sessions."""
    KIND = "gnome-shield"
    # The stand-in logind says this session is in front: uinput is tried, on no device of this host's.
    ENV = {"QUILLMOTE_UINPUT_DEVICE": "/nonexistent/uinput"}

    def click_arrives(self):
        mark = len(self.stack.lines())
        self.send(b"CLICK:LEFT")
        self.input_lines(mark, r"^release detail=1 ")

    def test_asked_again_once_the_screen_shield_goes_down(self):
        self.click_arrives()
        self.send(b"CMD:SCREENSAVER")  # as the idle shield would: where xdg-screensaver reaches nothing yet
        self.assertIsNotNone(self.server.wait_for(
            "^The desktop closed the remote input session at its screen shield; it is asked for again once the "
            "screen is back$", timeout=10), self.server.lines)
        self.assertIsNotNone(self.server.wait_for(
            "^At the screen shield, input cannot go through uinput: cannot open /nonexistent/uinput"), self.server.lines)
        # The shell says so once the shield is drawn, after the session here was taken as closed by it.
        self.assertTrue(until(lambda: self.stack.run(self.stack.env["LAB_SHIELD"]).stdout == b"true\n", 10))
        self.send(b"CLICK:LEFT", b"MOVE:5,5", b"CLICK:LEFT")  # the desktop would refuse: not asked
        self.assertIsNone(self.server.wait_for("^Asking the desktop", timeout=2), self.server.lines)
        mark = len(self.stack.lines())
        self.stack.run(self.stack.env["LAB_WAKE"])
        self.assertIsNotNone(self.server.wait_for("^The screen shield went down$", timeout=10), self.server.lines)
        self.assertIsNotNone(self.server.wait_for("^Asking the desktop to allow remote input$", timeout=2.5))
        remembered = int(self.stack.env.get("LAB_RD_VERSION", 1)) >= 2  # nobody at the computer is asked
        if not remembered:
            self.answer_dialog(mark)
        self.assertIsNotNone(self.server.wait_for("^The desktop allows remote input$", timeout=1 if remembered else 20),
                             self.server.lines)
        self.click_arrives()


class KdeLockScreen(PortalDesktop, unittest.TestCase):
    """KWin's real lock screen, whose greeter checks the password through PAM against the stack's own /etc/shadow."""
    KIND = "kde"
    LAYOUT = {"LAB_KDE_LOCKSCREEN": "1", "LAB_PASSWORD": "Pa$$W0rd!"}  # capitals and symbols: Shift must be down
    ENV = {"QUILLMOTE_UINPUT_DEVICE": "/nonexistent/uinput"}  # the stand-in logind says this session is in front

    def unlocked(self):
        return self.stack.run(self.stack.env["LAB_LOCKED"]).stdout == b"false\n"

    def test_the_phone_types_the_password_at_the_lock_screen_and_keeps_control(self):
        mark = len(self.stack.lines())  # the application gets none of the keys typed at the lock
        self.assertEqual(self.stack.run(self.stack.env["LAB_LOCK"]).returncode, 0, "the screen did not lock")
        # The password once, as at the computer: the greeter takes keys from the phone's wake on.
        self.send(b"CMD:WAKE", b"TYPE:" + base64.b64encode(self.LAYOUT["LAB_PASSWORD"].encode()), b"KEY:ENTER")
        self.assertTrue(until(self.unlocked, 8), "the password typed from the phone did not unlock")
        # KDE keeps the portal's session through its lock: nothing closed, nothing asked again.
        self.assertIsNone(self.server.wait_for("closed|shield|uinput|^Asking", timeout=1), self.server.lines)
        self.send(b"MOVE:-5000,-5000", b"MOVE:100,50", b"TYPE:" + base64.b64encode(b"Ok!"))
        self.assertIsNotNone(self.stack.expect(mark, r"^motion .* root=100,50 "), self.stack.lines()[mark:])
        self.assertEqual(self.input_lines(mark, r"^keyrelease detail=10 "), [  # "Ok!": O and ! with Shift
            "keypress detail=50", "keypress detail=32 state=0x1", "keyrelease detail=32 state=0x1",
            "keyrelease detail=50 state=0x1", "keypress detail=45", "keyrelease detail=45", "keypress detail=50",
            "keypress detail=10 state=0x1", "keyrelease detail=10 state=0x1", "keyrelease detail=50 state=0x1"])
        # The greeter does check: one Shift short does not unlock. Last, as keys typed in the seconds after a
        # failure are lost (PAM's delay of 1-3 s, then the greeter's grace lock of 3 s).
        self.assertEqual(self.stack.run(self.stack.env["LAB_LOCK"]).returncode, 0, "the screen did not lock again")
        self.send(b"CMD:WAKE", b"TYPE:" + base64.b64encode(b"pa$$W0rd!"), b"KEY:ENTER")
        self.assertFalse(until(self.unlocked, 5), "a wrong password unlocked")


class KdeLibei(KdePortal):
    LIBEI = True
    INPUT = ("--headless", "--input", "auto")


class GnomeLibei(GnomePortal):
    LIBEI = True
    INPUT = ("--headless", "--input", "auto")


if __name__ == "__main__":
    main()
