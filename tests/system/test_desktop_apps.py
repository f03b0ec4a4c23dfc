# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
"""Real applications: XFCE's window manager with its text editor (Mousepad), its terminal and its
launcher on Xvfb, with a session bus of their own, driven through the x11 backend as a phone
would; what they did is read back from the files they wrote."""
import grp
import os
import pwd
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import base64
import http.server
import json

from harness import SCREEN, Server, Xvfb, main, require, stop, until, write_office_profile


def type_command(text):
    return b"TYPE:" + base64.b64encode(text.encode())


# English, accented Latin, Cyrillic, Chinese, emoji and mixed lines: on X11 every one typed as keys,
# those the layout lacks on keys lent for the moment, none through the clipboard.
LINES = ["plain words, typed: 1+1=2 & ~ok?", "一整行中文", "emoji 🎉🚀 and more", "mixed 混合 text 末尾",
         "Ünïcödé spëlt ñ, Grüße ça va € ½", "Привет, мир! Ёж", "第二行 with tail", "🙂",
         "mix: Жук, 中文, é, 🎉 end", "last line.",
         # More distinct characters than there are spare keys: typed in parts, keys lent again.
         "".join(chr(0x4e00 + 37 * i) for i in range(90))]
# The layouts typed in: a Russian-only one lacks the Latin letters.
LAYOUTS = ["us", "de", "fr", "ru"]
# A 1x1 PNG, offered as an image by the "user's" clipboard.
PNG = base64.b64decode(
    "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8BQDwAEhQGAhKmMIQAAAABJRU5ErkJggg==")


# An owner that answers each request late (argv[2] seconds), offering its text in five targets.
SLOW_OWNER = r"""
import sys, time
from Xlib import X, Xatom, display
from Xlib.protocol import event
d = display.Display()
w = d.screen().root.create_window(0, 0, 1, 1, 0, X.CopyFromParent)
names = ["TARGETS", "UTF8_STRING", "STRING", "TEXT", "text/plain", "text/plain;charset=utf-8"]
atoms = [d.intern_atom(n) for n in names]
w.set_selection_owner(d.intern_atom("CLIPBOARD"), X.CurrentTime)
d.flush()
print("owner", flush=True)
while True:
    e = d.next_event()
    if e.type == X.SelectionClear:
        break
    if e.type != X.SelectionRequest:
        continue
    time.sleep(float(sys.argv[2]))
    prop = e.property or e.target
    if e.target == atoms[0]:
        e.requestor.change_property(prop, Xatom.ATOM, 32, atoms)
    elif e.target in atoms:
        e.requestor.change_property(prop, e.target, 8, sys.argv[1].encode())
    else:
        prop = X.NONE
    e.requestor.send_event(event.SelectionNotify(time=e.time, requestor=e.requestor, selection=e.selection,
                                                 target=e.target, property=prop))
    d.flush()
"""


def contents(path):
    """What a file the test waits for holds; "" while it does not exist."""
    if not os.path.exists(path):
        return ""
    with open(path, encoding="utf-8", errors="replace") as f:
        return f.read()


def free_keycodes(pke):
    """The keycodes without symbols in `xmodmap -pke` output, lowest first."""
    return [int(line.split()[1]) for line in pke.decode().splitlines() if not line.partition("=")[2].strip()]


class Session(unittest.TestCase):
    """Xvfb, a session bus and a window manager; a paired client of quillmote --input x11."""
    app = ()
    app_class = ""
    window_manager = "xfwm4"
    desktop = "XFCE"
    clipboard_manager = False

    def setUp(self):
        for tool in ("Xvfb", "xdotool", self.window_manager, "dbus-daemon", self.app[0]):
            require(shutil.which(tool) is not None, f"{tool} is not installed")
        self.tmp = tempfile.mkdtemp(prefix="quillmote-apps-")
        self.addCleanup(shutil.rmtree, self.tmp, True)
        self.xvfb = Xvfb()
        self.addCleanup(self.xvfb.stop)
        bus = subprocess.run(["dbus-daemon", "--session", "--fork", "--print-address=1", "--print-pid=1",
                              "--nopidfile"], capture_output=True, timeout=10, check=True).stdout.decode().split()
        self.addCleanup(lambda: os.kill(int(bus[1]), signal.SIGTERM))
        self.env = {**self.xvfb.env(), "DBUS_SESSION_BUS_ADDRESS": bus[0], "HOME": self.tmp,
                    "XDG_CONFIG_HOME": os.path.join(self.tmp, "config"), "XDG_CURRENT_DESKTOP": self.desktop}
        self.start(self.window_manager)
        if self.clipboard_manager:
            require(shutil.which("xfce4-clipman") is not None, "xfce4-clipman is not installed")
            self.stop_clipboard_manager = self.start("xfce4-clipman")
        self.document = os.path.join(self.tmp, "document.txt")
        open(self.document, "w").close()
        self.start(*[part.format(tmp=self.tmp, document=self.document) for part in self.app])
        self.window = self.wait_window(self.app_class)
        # The window can come up before the window manager manages it (and answers activation).
        self.assertTrue(self.wait(lambda: self.activate(self.window)), "the window could not be activated")
        self.server = Server(args=("--headless", "--input", "x11", "--port", "0"), env=self.env)
        self.addCleanup(self.server.__exit__)
        self.client = self.server.paired_client()
        self.addCleanup(self.client.close)

    def start(self, *command):
        proc = subprocess.Popen(command, env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(stop, proc)
        return lambda: stop(proc)

    def wait_window(self, window_class, timeout=15.0):
        found = self.wait(lambda: self.visible(window_class), timeout)
        self.assertTrue(found, f"no {window_class} window appeared")
        return found[0].decode()

    def activate(self, window):
        return subprocess.run(["xdotool", "windowactivate", "--sync", window], env=self.env, capture_output=True,
                              timeout=10).returncode == 0

    def send_all(self, commands):
        # Back to back, each answered at once, as a phone sends them.
        for command in commands:
            self.assertTrue(self.client.exchange(command).startswith(b"ACK_"), command)

    def visible(self, window_class):
        return subprocess.run(["xdotool", "search", "--onlyvisible", "--class", window_class], env=self.env,
                              capture_output=True, timeout=5).stdout.split()

    def own(self, selection, data, target=None):
        """An owner that keeps the selection in the foreground and ends once another client takes it."""
        args = ["xclip", "-quiet", "-selection", selection, "-i"] + (["-t", target] if target else [])
        proc = subprocess.Popen(args, stdin=subprocess.PIPE, env=self.env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        proc.stdin.write(data)
        proc.stdin.close()
        self.addCleanup(lambda: (proc.kill(), proc.wait(5)))
        self.assertTrue(self.wait(lambda: self.selection(selection, target) == data, timeout=5))
        return proc

    def keymap(self, xkb=True):
        """The server's keymap, as xmodmap and xkbcomp print it."""
        return (subprocess.run(["xmodmap", "-pke"], env=self.env, capture_output=True, timeout=10).stdout,
                subprocess.run(["xkbcomp", "-xkb", self.env["DISPLAY"], "-"], env=self.env, capture_output=True,
                               timeout=10).stdout if xkb else b"")

    def set_layout(self, layout):
        subprocess.run(["setxkbmap", "-layout", layout], env=self.env, timeout=10, check=True)
        before = self.keymap()
        self.assertTrue(before[0] and before[1], f"the {layout} keymap cannot be read")
        return before

    def offer(self, selection, data, target=None):
        """Puts data on a selection as an application would (xclip serves it until replaced)."""
        args = ["xclip", "-selection", selection, "-i"] + (["-t", target] if target else [])
        subprocess.run(args, input=data, env=self.env, timeout=5, check=True)

    def selection(self, selection, target=None, timeout=5):
        args = ["xclip", "-o", "-selection", selection] + (["-t", target] if target else [])
        return subprocess.run(args, env=self.env, capture_output=True, timeout=timeout).stdout

    def assert_given_back(self, selection, data, target=None):
        self.assertTrue(self.wait(lambda: self.selection(selection, target) == data, timeout=8),
                        f"{selection} holds {self.selection(selection, target)[:80]!r}, not {data[:80]!r}")

    def send_rounds(self):
        """TYPE + ENTER rounds: back to back, then 50 ms apart."""
        for i, line in enumerate(LINES):
            self.send_all([type_command(line), b"KEY:ENTER"])
            if i >= len(LINES) // 2:
                time.sleep(0.05)

    def wait(self, predicate, timeout=10.0):
        return until(predicate, timeout, every=0.1)


class MousepadSession(Session):
    app = ("mousepad", "{document}")
    app_class = "mousepad"

    def setUp(self):
        super().setUp()
        # A window is mapped before its editor takes keys: wait until a probe key lands.
        self.wait_for_input("")

    def wait_for_input(self, text):
        deadline = time.monotonic() + 15
        probe = text
        while probe == text:
            self.assertLess(time.monotonic(), deadline, "the editor never took input")
            self.send_all([b"KEY:SPACE"])
            probe = self.saved_text(text + " ", timeout=1.0)
        self.send_all([b"KEY:BACKSPACE"] * (len(probe) - len(text)))
        self.assertEqual(self.saved_text(text), text)

    def saved_text(self, expected, timeout=5.0):
        deadline = time.monotonic() + timeout
        time.sleep(0.2)  # keys of another kind go out 50 ms apart: Control+S must not come among them
        while True:
            subprocess.run(["xdotool", "key", "ctrl+s"], env=self.env, timeout=5)
            time.sleep(0.3)
            text = self.read_document()
            if text == expected or time.monotonic() > deadline:
                return text

    def read_document(self):
        return contents(self.document)


class Mousepad(MousepadSession):
    clipboard_manager = True  # xfce4-clipman fetches every new clipboard text at once

    def test_desktop_actions_show_the_desktop_and_the_launcher_without_stray_keys(self):
        self.send_all([type_command("text")])
        self.assertEqual(self.saved_text("text"), "text")
        # Show desktop through the window manager, and back.
        self.send_all([b"CMD:DOCK"])
        self.assertTrue(self.wait(lambda: not self.visible("mousepad")), "the desktop was not shown")
        self.send_all([b"CMD:DOCK"])
        self.assertTrue(self.wait(lambda: self.visible("mousepad")), "the windows did not come back")
        self.activate(self.wait_window("mousepad"))
        self.launcher_and_overview()
        self.activate(self.wait_window("mousepad"))
        self.assertEqual(self.saved_text("text"), "text")

    def launcher_and_overview(self):
        # The workspace beside this one, through xfwm4's own keys, and back.
        for command, workspace in ((b"CMD:WORKSPACE_RIGHT", "1"), (b"CMD:WORKSPACE_LEFT", "0")):
            self.send_all([command])
            self.assertTrue(self.wait(lambda: subprocess.run(["xdotool", "get_desktop"], env=self.env, text=True,
                                                             capture_output=True, timeout=5).stdout.strip() == workspace),
                            command)
        # XFCE has no overview: nothing may be pressed. Its launcher is a window of its own.
        require(shutil.which("xfce4-appfinder") is not None, "xfce4-appfinder is not installed")
        self.send_all([b"CMD:MISSION_CONTROL", b"CMD:SPOTLIGHT"])
        self.assertIsNotNone(self.server.wait_for("^This desktop has no window overview; nothing was done$"))
        self.assertTrue(self.wait(lambda: self.visible("xfce4-appfinder")), "the launcher did not open")
        for launcher in self.visible("xfce4-appfinder"):
            pid = subprocess.run(["xdotool", "getwindowpid", launcher], env=self.env, capture_output=True,
                                 timeout=5).stdout.strip()
            if pid:
                os.kill(int(pid), signal.SIGTERM)

    def test_typed_text_and_keys_arrive_in_the_order_sent(self):
        self.send_all([type_command("abc"), b"KEY:LEFT", b"KEY:LEFT", b"KEY:SPACE", b"KEY:RIGHT", b"KEY:RIGHT"])
        self.assertEqual(self.saved_text("a bc"), "a bc")

    def test_rounds_of_mixed_text_arrive_whole_and_in_order_and_the_clipboard_is_given_back(self):
        require(shutil.which("xclip") is not None and shutil.which("setxkbmap") is not None,
                "xclip or setxkbmap is not installed")
        clipboard = self.own("clipboard", "the user's text".encode())
        primary = self.own("primary", b"selected by the user")
        expected = ""
        for layout in ("us", "ru"):
            before = self.set_layout(layout)
            self.send_rounds()
            expected += "\n".join(LINES) + "\n"
            # Saving presses Control: only once the keys are given back, that is, all was typed.
            self.assertTrue(self.wait(lambda: self.keymap() == before, timeout=8), f"{layout}: keymap not restored")
            self.assertEqual(self.saved_text(expected, timeout=15), expected, layout)
        # Typed, not pasted: the owners kept their selections throughout.
        self.assertIsNone(clipboard.poll(), "the clipboard was taken")
        self.assertIsNone(primary.poll(), "the primary selection was taken")
        # A text with a line break is still pasted, also with a layout that lacks the V of Control+V,
        # and the clipboard given back after it.
        self.send_all([type_command("two\nlines é")])
        expected += "two\nlines é"
        self.assertEqual(self.saved_text(expected, timeout=15), expected)
        self.assert_given_back("clipboard", "the user's text".encode())
        self.assert_given_back("primary", b"selected by the user")

    def slow_owner(self, text, delay):
        owner = subprocess.Popen([sys.executable, "-c", SLOW_OWNER, text, str(delay)], env=self.env, text=True,
                                 stdout=subprocess.PIPE)
        self.addCleanup(owner.stdout.close)
        self.addCleanup(stop, owner, signal.SIGKILL)
        self.assertEqual(owner.stdout.readline(), "owner\n")
        return owner

    def test_a_pasted_text_gives_back_a_large_image_and_a_slow_owner_s_text_and_leaves_a_busy_one_alone(self):
        # xclip serves one requestor at a time, and one that fetches 8 MB slowly (a clipboard manager)
        # holds it meanwhile: that owner is busy, the last case here.
        if self.clipboard_manager:
            self.stop_clipboard_manager()
        image = PNG + os.urandom(8_400_000)  # more than one request carries: handed over in pieces
        self.offer("clipboard", image, "image/png")
        self.send_all([type_command("two\nlines 中文\n")])
        self.assertEqual(self.saved_text("two\nlines 中文\n", timeout=15), "two\nlines 中文\n")
        self.assert_given_back("clipboard", image, "image/png")
        self.slow_owner("copied slowly", 0.1)
        self.send_all([type_command("and\nmore")])
        self.assertEqual(self.saved_text("two\nlines 中文\nand\nmore", timeout=15), "two\nlines 中文\nand\nmore")
        self.assert_given_back("clipboard", b"copied slowly")
        # An owner that answers too late to be copied keeps its clipboard; the text is not pasted.
        busy = self.slow_owner("copied busily", 1.5)
        self.send_all([type_command("not\npasted")])
        self.assertIsNotNone(self.server.wait_for("^The clipboard's owner did not answer in time"))
        self.assertIsNone(busy.poll(), "the busy owner lost the clipboard")
        self.assertEqual(self.selection("clipboard"), b"copied busily")
        self.assertEqual(self.saved_text("two\nlines 中文\nand\nmore"), "two\nlines 中文\nand\nmore")


class Writer(MousepadSession):
    """LibreOffice Writer, saving plain text, with its corrections while typing off."""
    clipboard_manager = True
    app = ("soffice", "-env:UserInstallation=file://{tmp}/office", "--norestore", "--nologo", "--writer",
           "{document}")
    app_class = "libreoffice"

    def start(self, *command):
        if command[0] == "soffice":
            write_office_profile(os.path.join(self.tmp, "office"))
        return super().start(*command)

    def read_document(self):
        # Writer's plain text starts with a byte order mark and ends every paragraph with a line break.
        with open(self.document, encoding="utf-8-sig") as f:
            text = f.read()
        return text[:-1] if text.endswith("\n") else text

    def test_mixed_lines_and_the_keys_right_after_them_arrive_in_order(self):
        # Writer inserts typed characters once no key is queued, and those beyond the BMP at once:
        # an Enter or Backspace close behind them went in first, and 🎉 before the space ahead of it.
        require(shutil.which("xclip") is not None, "xclip is not installed")
        clipboard = self.own("clipboard", "the user's text".encode())
        before = self.keymap()
        self.send_rounds()
        self.send_all([type_command("teh"), b"KEY:BACKSPACE", b"KEY:BACKSPACE", type_command("he"), b"KEY:ENTER"])
        expected = "\n".join(LINES) + "\nthe\n"
        self.assertTrue(self.wait(lambda: self.keymap() == before, timeout=15), "keymap not restored")
        self.assertEqual(self.saved_text(expected, timeout=15), expected)
        self.assertIsNone(clipboard.poll(), "the clipboard was taken")


# A text area that tells the test what it holds after every change, numbered, as the browser sees it.
PAGE = b"""<!doctype html><meta charset="utf-8"><textarea id="t" style="width:90vw;height:90vh"></textarea><script>
let n = 0; const t = document.getElementById("t");
const tell = () => fetch("/", {method: "POST", body: JSON.stringify({n: ++n, text: t.value})});
t.addEventListener("input", tell); t.addEventListener("focus", tell); t.focus();</script>"""


class Observer(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        self.send_response(200)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.end_headers()
        self.wfile.write(PAGE)

    def do_POST(self):
        told = json.loads(self.rfile.read(int(self.headers["Content-Length"])))
        if told["n"] > self.server.told["n"]:  # fetches may overtake each other
            self.server.told = told
        self.send_response(204)
        self.end_headers()

    def log_message(self, *args):
        pass


class Firefox(Session):
    """A browser showing a text area on a loopback page, which reports what it holds."""
    app = ("firefox-esr", "--no-remote", "--profile", "{tmp}", "{url}")
    app_class = "firefox"
    clipboard_manager = True

    def setUp(self):
        self.observer = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Observer)
        self.observer.told = {"n": 0, "text": None}
        threading.Thread(target=self.observer.serve_forever, daemon=True).start()
        self.addCleanup(self.observer.server_close)
        self.addCleanup(self.observer.shutdown)
        url = f"http://127.0.0.1:{self.observer.server_port}/"
        self.app = tuple(part.replace("{url}", url) for part in self.app)
        super().setUp()
        self.assertTrue(self.wait(lambda: self.observer.told["text"] is not None, timeout=30), "the page never showed")

    def test_rounds_of_mixed_text_arrive_whole_and_in_order_and_the_clipboard_stays(self):
        require(shutil.which("xclip") is not None, "xclip is not installed")
        clipboard = self.own("clipboard", "the user's text".encode())
        self.send_rounds()
        expected = "\n".join(LINES) + "\n"
        self.assertTrue(self.wait(lambda: self.observer.told["text"] == expected, timeout=20),
                        f"the page holds {self.observer.told['text']!r}")
        self.assertIsNone(clipboard.poll(), "the clipboard was taken")


class Chromium(Firefox):
    app = ("chromium", "--user-data-dir={tmp}/chromium", "--no-first-run", "--no-default-browser-check",
           "--password-store=basic", "--ozone-platform=x11", "--no-sandbox", "{url}")
    app_class = "chromium"


class OpenboxMousepad(Mousepad):
    """The same on a plain window manager, which has no launcher and no overview."""
    window_manager = "openbox"
    desktop = ""
    clipboard_manager = False

    def launcher_and_overview(self):
        pass  # it has neither; what the commands then do is in test_actions


class ScreenLock(MousepadSession):
    """xscreensaver locking the screen for a user of its own, who exists only in a mount namespace
    of the test's; the phone starts it and types the password that unlocks."""
    password = "Pa$$W0rd!"  # capitals and symbols: Shift must be down when the dialog reads them

    def setUp(self):
        for tool in ("xscreensaver", "xscreensaver-command", "xdg-screensaver", "xprop", "unshare", "setpriv",
                     "openssl"):
            require(shutil.which(tool) is not None, f"{tool} is not installed")
        require(os.geteuid() == 0, "a user of the test's own needs root")
        super().setUp()
        users = {user.pw_uid for user in pwd.getpwall()}
        uid = next(uid for uid in range(61000, 62000) if uid not in users)
        home = tempfile.mkdtemp(prefix="quillmote-lock-")
        self.addCleanup(shutil.rmtree, home, True)
        with open(os.path.join(home, ".xscreensaver"), "w") as f:
            f.write("mode: blank\nlock: True\nlockTimeout: 0:00:00\ntimeout: 0:30:00\nsplash: False\n"
                    "fade: False\nunfade: False\n")
        for path in (home, os.path.join(home, ".xscreensaver")):
            os.chown(path, uid, uid)
        hashed = subprocess.run(["openssl", "passwd", "-6", "-stdin"], input=self.password, text=True,
                                capture_output=True, timeout=10, check=True).stdout.strip()
        entries = {"passwd": f"quillmote-lock:x:{uid}:{uid}::{home}:/bin/sh\n", "group": f"quillmote-lock:x:{uid}:\n",
                   "shadow": f"quillmote-lock:{hashed}:20000:0:99999:7:::\n"}
        mounts = []
        for name, entry in entries.items():
            copy = os.path.join(self.tmp, name)
            with open(f"/etc/{name}") as original, open(copy, "w") as f:
                f.write(original.read() + entry)
            mounts.append(f"mount --bind {copy} /etc/{name}")
        os.chown(os.path.join(self.tmp, "shadow"), 0, grp.getgrnam("shadow").gr_gid)
        os.chmod(os.path.join(self.tmp, "shadow"), 0o640)
        self.start("unshare", "--mount", "sh", "-c",
                   " && ".join(mounts) + f" && exec setpriv --reuid {uid} --regid {uid} --clear-groups "
                   f"env HOME={home} USER=quillmote-lock LOGNAME=quillmote-lock xscreensaver -no-splash")
        self.assertTrue(self.wait(lambda: self.status() == 0), "xscreensaver did not start")

    def status(self):
        """The first of xscreensaver's status numbers: 0 while the screen is neither blank nor locked."""
        out = subprocess.run(["xprop", "-root", "_SCREENSAVER_STATUS"], env=self.env, capture_output=True,
                             text=True, timeout=5).stdout
        return int(out.split("=")[1].split(",")[0]) if "=" in out else None

    def test_the_phone_locks_the_screen_and_types_the_password_that_unlocks_it(self):
        self.send_all([type_command("before")])
        self.assertEqual(self.saved_text("before"), "before")
        self.send_all([b"CMD:SCREENSAVER"])
        self.assertTrue(self.wait(lambda: self.status() not in (None, 0)), "the screen saver did not start")
        # At the blanked lock: the first key would only wake the dialog, and the next ones be lost.
        self.send_all([type_command(self.password), b"KEY:ENTER"])
        self.assertIsNotNone(self.server.wait_for("^The screen is (locked|blank): keys wait"))
        self.assertTrue(self.wait(lambda: self.status() == 0, timeout=20), "the typed password did not unlock")
        # It lets go of the keyboard a moment after it says so.
        self.wait_for_input("before")
        self.send_all([type_command(" after")])
        self.assertEqual(self.saved_text("before after"), "before after")
        # Woken from the phone, the lock shows its dialog, ready for the password.
        self.send_all([b"CMD:SCREENSAVER"])
        self.assertTrue(self.wait(lambda: self.status() not in (None, 0)), "the screen saver did not start")
        self.assertFalse(self.dialog())
        self.send_all([b"CMD:WAKE"])
        self.assertTrue(self.wait(self.dialog, timeout=5), "the wake did not bring up the unlock dialog")

    def dialog(self):
        """Whether xscreensaver shows a window smaller than the screen: its unlock dialog."""
        tree = subprocess.run(["xwininfo", "-root", "-children"], env=self.env, capture_output=True, text=True,
                              timeout=5).stdout
        return any('"XScreenSaver": (' in line and f" {SCREEN[0]}x{SCREEN[1]}+" not in line for line in tree.splitlines())


class Terminal(Session):
    app = ("xfce4-terminal", "--disable-server", "--working-directory={tmp}")
    app_class = "xfce4-terminal"
    clipboard_manager = True

    def setUp(self):
        super().setUp()
        # The window comes before its shell: wait until the terminal runs one.
        pid = subprocess.run(["xdotool", "getwindowpid", self.window], env=self.env, capture_output=True,
                             timeout=5).stdout.decode().strip()
        self.assertTrue(self.wait(lambda: subprocess.run(["pgrep", "-P", pid], capture_output=True,
                                                         timeout=5).returncode == 0, timeout=15))
        time.sleep(0.5)

    def test_rounds_into_cat_arrive_whole_in_every_layout_and_the_clipboard_stays_untouched(self):
        require(shutil.which("xclip") is not None and shutil.which("setxkbmap") is not None,
                "xclip or setxkbmap is not installed")
        out = os.path.join(self.tmp, "lines.txt")
        clipboard = self.own("clipboard", PNG, "image/png")
        primary = self.own("primary", b"selected by the user")
        self.send_all([type_command("cat > lines.txt"), b"KEY:ENTER"])
        self.assertTrue(self.wait(lambda: os.path.exists(out)), "cat did not start")
        expected = ""
        for layout in LAYOUTS:
            before = self.set_layout(layout)
            # The lowest free keycodes, where xdotool types what the layout lacks, stay free throughout.
            left_free = free_keycodes(before[0])[:2]
            taken = []
            done = threading.Event()

            def watch():
                while not done.wait(0.05):
                    taken.append(set(left_free) - set(free_keycodes(self.keymap(xkb=False)[0])))
            watcher = threading.Thread(target=watch)
            watcher.start()
            self.send_rounds()
            expected += "\n".join(LINES) + "\n"
            self.wait(lambda: contents(out) == expected, timeout=15)
            self.assertEqual(contents(out), expected, layout)
            self.assertTrue(self.wait(lambda: self.keymap() == before, timeout=5), f"{layout}: keymap not restored")
            done.set()
            watcher.join(10)
            self.assertEqual([keys for keys in taken if keys], [], f"{layout}: keys left to others were lent")
        self.assertIsNone(clipboard.poll(), "the clipboard was taken")
        self.assertIsNone(primary.poll(), "the primary selection was taken")
        self.assert_given_back("clipboard", PNG, "image/png")

    def test_paste_runs_the_clipboard_s_command_and_close_closes_the_terminal(self):
        # Control+V would insert the next key literally, and the terminal's Shift+Insert pastes
        # the primary selection: the clipboard's command must run, the selection stay.
        self.offer("primary", b"selected by the user")
        self.offer("clipboard", b"echo pasted > out.txt")
        self.send_all([b"KEY:PASTE", b"KEY:ENTER"])
        self.assertTrue(self.wait(lambda: contents(os.path.join(self.tmp, "out.txt")) == "pasted\n"),
                        "the pasted command did not run")
        self.assert_given_back("primary", b"selected by the user")
        self.send_all([b"CMD:CLOSE_WINDOW"])
        self.assertTrue(self.wait(lambda: not self.visible("xfce4-terminal")), "the terminal stayed open")


if __name__ == "__main__":
    main()
