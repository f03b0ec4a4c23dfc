# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
"""System and application commands of the real executable, with the tools that would act on
this machine (opener, suspend, screen saver) replaced, in a mount namespace of the server's own,
by scripts in /usr/local/bin that record their arguments, and applications that are real
desktop entries run by GIO."""
import json
import os
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

from harness import Server, main, require, stop, until

STUB = """#!/bin/sh
printf '%s' "$(basename "$0")" >> "{log}"
for a in "$@"; do printf '\\t%s' "$a" >> "{log}"; done
printf '\\n' >> "{log}"
"""


def read_lines(path):
    try:
        with open(path, encoding="utf-8") as f:
            return f.read().splitlines()
    except FileNotFoundError:
        return []


class Fixture:
    """A home, XDG data folders with desktop entries, stub tools on PATH, a record file."""

    def __init__(self, tools=("xdg-open", "systemctl", "xdg-screensaver", "xfce4-appfinder")):
        self.root = tempfile.mkdtemp(prefix="quillmote-actions-")
        self.calls = os.path.join(self.root, "calls.log")
        self.launches = os.path.join(self.root, "launches.log")
        self.record = os.path.join(self.root, "events.jsonl")
        self.home = os.path.join(self.root, "home")
        self.bin_dir = os.path.join(self.root, "bin")
        apps = os.path.join(self.root, "data", "applications")
        for d in (self.bin_dir, apps, os.path.join(self.home, "AppImages")):
            os.makedirs(d)
        for tool in tools:
            self._write(os.path.join(self.bin_dir, tool), STUB.format(log=self.calls), executable=True)
        self._write(os.path.join(apps, "launch-probe.desktop"),
                    "[Desktop Entry]\nType=Application\nName=Launch Probe\nName[zh_CN]=启动探针\n"
                    f"Exec=/bin/sh -c 'echo desktop >> {self.launches}'\n")
        self.appimage = os.path.join(self.home, "AppImages", "Probe Tool.AppImage")
        self._write(self.appimage, f"#!/bin/sh\necho appimage >> {self.launches}\n", executable=True)
        self.hide_system_tools = False
        self.env = {
            "HOME": self.home,
            "XDG_DATA_HOME": os.path.join(self.root, "data"),
            "XDG_DATA_DIRS": os.path.join(self.root, "no-system-data"),
            "XDG_CURRENT_DESKTOP": "XFCE",
            # The wake's bus call must not reach the desktop the tests may run in.
            "DBUS_SESSION_BUS_ADDRESS": "unix:path=" + os.path.join(self.root, "no-bus"),
        }

    @staticmethod
    def _write(path, text, executable=False):
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)
        if executable:
            os.chmod(path, 0o755)

    def server(self, cwd=None):
        # Tools are taken from the system folders only: the stubs are mounted over the first of
        # them, where only this server sees them. Hiding the system tools leaves the stubs alone.
        require(shutil.which("unshare") is not None, "unshare is not installed")
        mounts = [f"mount --bind {self.bin_dir} /usr/local/bin"]
        if self.hide_system_tools:
            empty = os.path.join(self.root, "empty")
            os.makedirs(empty, exist_ok=True)
            mounts = [f"mount --bind {empty} /usr/local/sbin", f"mount --bind {empty} /usr/sbin", *mounts,
                      f"mount --bind {self.bin_dir} /usr/bin"]
        script = " && ".join(mounts) + ' && exec "$0" "$@"'
        flags = "-m" if os.geteuid() == 0 else "-rm"
        return Server(args=("--headless", "--input", "record:" + self.record), env=self.env, cwd=cwd,
                      prefix=("unshare", flags, "--propagation", "private", "sh", "-c", script))

    def events(self):
        return [json.loads(line) for line in read_lines(self.record)]

    def close(self):
        shutil.rmtree(self.root, ignore_errors=True)


def paired(test, server):
    client = server.paired_client()
    test.addCleanup(client.close)
    return client


class SystemCommands(unittest.TestCase):
    def setUp(self):
        self.fixture = Fixture()
        self.addCleanup(self.fixture.close)

    def test_every_command_replies_and_starts_its_tool(self):
        f = self.fixture
        with f.server() as server:
            client = paired(self, server)
            expected_calls = []
            for message, reply, call in [
                (b"CMD:SCREENSAVER", b"ACK_SCREENSAVER", "xdg-screensaver\tactivate"),
                (b"CMD:DISPLAY_SLEEP", b"ACK_DISPLAY_SLEEP", "xdg-screensaver\tactivate"),
                (b"CMD:SLEEP", b"ACK_SLEEP", "systemctl\tsuspend"),
                (b"CMD:OPEN:URL:https://example.com/a?b=c", b"ACK_OPEN_URL", "xdg-open\thttps://example.com/a?b=c"),
                (b"CMD:OPEN:URL:www.example.com", b"ACK_OPEN_URL", "xdg-open\thttps://www.example.com"),
                (b"CMD:OPEN:URL:www/../../etc/shadow", b"ACK_OPEN_URL", "xdg-open\thttps://www/../../etc/shadow"),
                *((b"CMD:OPEN:URL:" + bad, b"ACK_OPEN_URL", None) for bad in (
                    b"ftp://example.com", b"http:/etc/passwd", b"httpx://example.com", b"HTTP://example.com",
                    b" http://example.com", b"https://example.com/a b", b"file:///etc/passwd")),
                (b"CMD:OPEN:APP:/etc/hosts", b"ACK_OPEN_APP", None),
                (b"CMD:REBOOT", b"", None),
                (b"CMD:sleep", b"", None),
            ]:
                self.assertEqual(client.exchange(message, timeout=0.3 if not reply else 2.0), reply, message)
                if call:
                    expected_calls.append(call)
                self.assertTrue(until(lambda: read_lines(f.calls) == expected_calls), read_lines(f.calls))

            self.assertIsNotNone(server.wait_for("^Refused to open the address http:/etc/passwd$", after_seen=False))
            self.assertIsNotNone(server.wait_for("^Refused to open /etc/hosts: not an application$", after_seen=False))
            # A peer's text cannot break a console line to forge one, nor reorder it; a NUL is no path.
            self.assertEqual(client.exchange("CMD:OPEN:APP:x\nPairing code: 000000\x1b[2K\u202e".encode()),
                             b"ACK_OPEN_APP")
            self.assertIsNotNone(server.wait_for(r"^No application named x\\x0aPairing code: 000000\\x1b\[2K\\u202e$"))
            self.assertEqual(client.exchange(b"CMD:OPEN:APP:/usr/bin/true\x00.desktop"), b"ACK_OPEN_APP")
            self.assertIsNotNone(server.wait_for(r"^Refused to open /usr/bin/true\\x00\.desktop: not a path$"))
            self.assertFalse(any(line.startswith("Pairing code: 000000") for line in server.lines))

            # This desktop's (XFCE) own launcher; no overview, so nothing is pressed; F5 reloads.
            for word in (b"DOCK", b"SPOTLIGHT", b"MISSION_CONTROL", b"REFRESH", b"CLOSE_WINDOW"):
                self.assertEqual(client.exchange(b"CMD:" + word), b"ACK_" + word)
            self.assertTrue(until(lambda: len(f.events()) == 12))
            self.assertIsNotNone(server.wait_for("^This desktop has no window overview; nothing was done$"))
            self.assertTrue(until(lambda: read_lines(f.calls)[-1:] == ["xfce4-appfinder"]), read_lines(f.calls))
            keys = [(e["keyCode"], e["down"], e["flags"]) for e in f.events()]
            self.assertEqual(keys[:6], [(55, True, 0), (58, True, 0), (2, True, 0x180000), (2, False, 0x180000),
                                        (58, False, 0), (55, False, 0)])  # Ctrl+Alt+D: no window manager here
            self.assertEqual(keys[6:8], [(96, True, 0), (96, False, 0)])  # F5

    def test_each_desktop_has_its_own_launcher_overview_show_desktop_and_workspaces(self):
        f = Fixture(tools=("dbus-send", "budgie-run-dialog", "mate-panel"))
        self.addCleanup(f.close)
        bus, super_d = "dbus-send\t--session\t--type=method_call\t--dest=", [59, 2]
        kwin = bus + "org.kde.kglobalaccel\t/component/kwin\torg.kde.kglobalaccel.Component.invokeShortcut\tstring:"
        sideways = ([55, 58, 123], [55, 58, 124])  # Control+Alt+Left and Right
        # Keys pressed (modifiers first) or the tool started, for each of the five commands.
        # GNOME binds no show-desktop key by default: its overview, never a Super+D no one grabs.
        table = {"ubuntu:GNOME": ([59], [59], [59], *sideways),
                 "KDE": (bus + "org.kde.krunner\t/App\torg.kde.krunner.App.display", kwin + "Overview", super_d,
                         kwin + "Switch One Desktop to the Left", kwin + "Switch One Desktop to the Right"),
                 "X-Cinnamon": ([59], [55, 58, 126], super_d, *sideways),
                 "Budgie:GNOME": ("budgie-run-dialog", None, super_d, *sideways),
                 "LXQt": ([58, 120], None, None, *sideways), "MATE": ("mate-panel\t--run-dialog", None, None, *sideways),
                 "": (None, None, None, None, None)}
        for desktop, expected in table.items():
            f.env["XDG_CURRENT_DESKTOP"] = desktop
            with self.subTest(desktop), f.server() as server:
                client = paired(self, server)
                for message, want in zip((b"CMD:SPOTLIGHT", b"CMD:MISSION_CONTROL", b"CMD:DOCK", b"CMD:WORKSPACE_LEFT",
                                          b"CMD:WORKSPACE_RIGHT"), expected):
                    events, calls = len(f.events()), len(read_lines(f.calls))
                    self.assertTrue(client.exchange(message).startswith(b"ACK_"))
                    wanted_calls = [want] if isinstance(want, str) else []
                    until(lambda: len(read_lines(f.calls)) - calls == len(wanted_calls), timeout=2)
                    time.sleep(0.05)
                    downs = [e["keyCode"] for e in f.events()[events:] if e["event"] == "key" and e["down"]]
                    self.assertEqual(downs, want if isinstance(want, list) else [], message)
                    self.assertEqual(read_lines(f.calls)[calls:], wanted_calls, message)

        # The key a GNOME user bound to showing the desktop, read from the real GSettings.
        schemas = "/usr/share/glib-2.0/schemas"
        require(os.path.exists(os.path.join(schemas, "org.gnome.desktop.wm.keybindings.gschema.xml")),
                "GNOME's keybinding settings schema is not installed (gsettings-desktop-schemas)")
        settings = os.path.join(f.root, "config", "glib-2.0", "settings")
        os.makedirs(settings)
        Fixture._write(os.path.join(settings, "keyfile"),
                       "[org/gnome/desktop/wm/keybindings]\nshow-desktop=['<Primary><Alt>d']\n")
        f.env.update({"XDG_CURRENT_DESKTOP": "GNOME", "GSETTINGS_SCHEMA_DIR": schemas, "GSETTINGS_BACKEND": "keyfile",
                      "XDG_CONFIG_HOME": os.path.join(f.root, "config")})
        with f.server() as server:
            client = paired(self, server)
            events = len(f.events())
            self.assertEqual(client.exchange(b"CMD:DOCK"), b"ACK_DOCK")
            self.assertTrue(until(lambda: len(f.events()) - events == 6, timeout=3), f.events()[events:])
            self.assertEqual([e["keyCode"] for e in f.events()[events:] if e["down"]], [55, 58, 2])

    def test_wake_tells_the_session_bus_resets_the_screen_saver_then_nudges_the_pointer(self):
        f = self.fixture
        require(shutil.which("dbus-monitor") is not None, "dbus-monitor is not installed")
        bus = subprocess.run(["dbus-daemon", "--session", "--fork", "--print-address=1", "--print-pid=1",
                              "--nopidfile"], capture_output=True, timeout=10, check=True).stdout.decode().split()
        self.addCleanup(os.kill, int(bus[1]), signal.SIGTERM)
        monitor = subprocess.Popen(["dbus-monitor", "--address", bus[0], "interface=org.freedesktop.ScreenSaver"],
                                   stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        self.addCleanup(stop, monitor)
        f.env["DBUS_SESSION_BUS_ADDRESS"] = bus[0]
        with f.server() as server:
            client = paired(self, server)
            sent = time.monotonic()
            self.assertEqual(client.exchange(b"CMD:TOGGLE_DISPLAY"), b"ACK_TOGGLE_DISPLAY")
            self.assertTrue(until(lambda: len(f.events()) >= 1, timeout=3, every=0.01))
            first = time.monotonic() - sent
            self.assertTrue(until(lambda: len(f.events()) >= 2, timeout=3, every=0.01))
            second = time.monotonic() - sent
            self.assertGreaterEqual(first, 0.5)
            self.assertLess(first, 0.9)
            self.assertGreaterEqual(second - first, 0.05)
            self.assertEqual([(e["x"], e["deltaX"]) for e in f.events()], [(962.0, 2), (960.0, -2)])
            self.assertEqual(read_lines(f.calls), ["xdg-screensaver\treset"])
            monitor.terminate()
            self.assertIn("member=SimulateUserActivity", monitor.communicate(timeout=5)[0])

    def test_missing_tool_is_reported_and_still_acknowledged(self):
        f = Fixture(tools=("xdg-open",))
        self.addCleanup(f.close)
        f.hide_system_tools = True
        # A tool of the same name in the working folder, with "." on PATH, is never started.
        planted = os.path.join(f.root, "cwd")
        os.makedirs(planted)
        f._write(os.path.join(planted, "systemctl"), STUB.format(log=f.calls), executable=True)
        f.env["PATH"] = ".:/usr/bin"
        with f.server(cwd=planted) as server:
            client = paired(self, server)
            for message, reply, said in (
                    (b"CMD:SLEEP", b"ACK_SLEEP", "systemctl: not found in the system folders$"),
                    (b"CMD:SCREENSAVER", b"ACK_SCREENSAVER", r"xdg-screensaver: \S"),
                    (b"CMD:OPEN:APP:/no/such/thing.desktop", b"ACK_OPEN_APP", "/no/such/thing.desktop: no such file$")):
                self.assertEqual(client.exchange(message), reply)
                self.assertIsNotNone(server.wait_for("^(Failed to run command|Refused to open) " + said), message)
            self.assertEqual(client.exchange(b"CMD:WAKE"), b"ACK_WAKE")  # the rest of the wake goes on
            self.assertTrue(until(lambda: len(f.events()) == 2, timeout=3))
            self.assertEqual(read_lines(f.calls), [])


class Applications(unittest.TestCase):
    def setUp(self):
        self.fixture = Fixture()
        self.addCleanup(self.fixture.close)

    def test_search_ranks_filters_and_opens_only_unambiguous_names(self):
        f = self.fixture
        apps = os.path.join(f.env["XDG_DATA_HOME"], "applications")
        entries = {"thunar": "Thunar File Manager\nGenericName=File Manager\nKeywords=folder;files;",
                   "thunar-bulk-rename": "Bulk Rename\nGenericName=Bulk Renamer",
                   "thunar-settings": "File Manager Settings\nCategories=X-XFCE-SettingsDialog;",
                   "xfce-mouse-settings": "Mouse and Touchpad\nCategories=Settings;DesktopSettings;",
                   "xfce4-settings-editor": "Settings Editor\nCategories=Settings;",
                   "org.xfce.mousepad": "Mousepad\nGenericName=Text Editor\nKeywords=text;editor;",
                   "netease": "NetEase Cloud Music\nName[zh_CN]=网易云音乐", "hidden": "Hidden Music\nHidden=true",
                   "helper": "Music Helper\nNoDisplay=true", "kde-music": "Plasma Music\nOnlyShowIn=KDE;",
                   "twin-a": "Twin", "twin-b": "Twin"}  # the same name: opened as named, not left as a tie
        entries.update({f"bulk-{i:02}": f"Bulk Tool {i:02}" for i in range(20)})
        for id_, fields in entries.items():
            f._write(os.path.join(apps, id_ + ".desktop"), f"[Desktop Entry]\nType=Application\nName={fields}\n"
                     f"Exec=/bin/sh -c 'echo {id_} >> {f.launches}'\n")
        # Shadowed by the user's entry of the same id.
        os.makedirs(os.path.join(f.env["XDG_DATA_DIRS"], "applications"))
        f._write(os.path.join(f.env["XDG_DATA_DIRS"], "applications", "thunar.desktop"),
                 "[Desktop Entry]\nType=Application\nName=Old Music\nExec=true\n")
        folder = os.path.join(f.home, "Applications")
        for name, executable in ((".Hidden Music.AppImage", True), ("music lower.appimage", True),
                                 ("Nested/Deep Music.AppImage", True), ("Music Notes.AppImage", False)):
            os.makedirs(os.path.dirname(os.path.join(folder, name)), exist_ok=True)
            f._write(os.path.join(folder, name), "#!/bin/sh\n", executable)
        os.symlink("/bin/true", os.path.join(f.home, "AppImages", "Linked.AppImage"))

        with f.server() as server:
            client = paired(self, server)

            def names(query):
                reply = client.exchange(b"QUERY:APP:" + query.encode()).decode()
                self.assertTrue(reply.startswith("RESULT:APP:"), reply)
                return [r.split("::")[0] for r in reply[len("RESULT:APP:"):].split("||") if r]
            # By name, id, generic name and keywords, best match first, applications before
            # settings panels, then by name; hidden, undisplayed, other-desktop and shadowed
            # entries never; folders after the catalogue. The catalogue is read in the background.
            self.assertTrue(until(lambda: names("thunar") == ["Thunar File Manager", "Bulk Rename",
                                                              "File Manager Settings"]), names("thunar"))
            self.assertEqual(names("FILE MAN"), ["File Manager Settings", "Thunar File Manager"])
            self.assertEqual(names("anager"), ["Thunar File Manager", "File Manager Settings"])
            self.assertEqual(names("mouse"), ["Mousepad", "Mouse and Touchpad"])
            self.assertEqual(names("edit"), ["Mousepad", "Settings Editor"])
            self.assertEqual(names("music"), ["NetEase Cloud Music", ".Hidden Music", "Music Notes"])
            self.assertEqual(names("网易云音乐"), ["NetEase Cloud Music", ".Hidden Music", "Music Notes"])
            self.assertEqual(names("bulk"), ["Bulk Rename"] + [f"Bulk Tool {i:02}" for i in range(14)])
            self.assertEqual(names("player|netease"), [])
            self.assertEqual(client.exchange(b"QUERY:APP:probe"), f"RESULT:APP:Launch Probe::{apps}/launch-probe."
                             f"desktop||Probe Tool::{f.appimage}".encode())
            # By name: the exact one, else the only best match; an ambiguous name opens nothing,
            # nor does an AppImage that leads out of the folders or a file that is no application.
            # A link to a listed entry is that entry; a copy that the menus do not list is nothing.
            os.symlink(os.path.join(apps, "org.xfce.mousepad.desktop"), os.path.join(f.root, "link.desktop"))
            shutil.copy(os.path.join(apps, "org.xfce.mousepad.desktop"), os.path.join(f.root, "copy.desktop"))
            for target in (os.path.join(f.root, "link.desktop"), os.path.join(f.root, "copy.desktop"),
                           "mousepad", "text editor", "mouse", "manager", "twin", f.appimage,
                           os.path.join(f.home, "AppImages", "Linked.AppImage"), "/etc/hosts",
                           os.path.join(folder, "Music Notes.AppImage")):
                self.assertEqual(client.exchange(b"CMD:OPEN:APP:" + target.encode()), b"ACK_OPEN_APP")
            self.assertTrue(until(lambda: len(read_lines(f.launches)) >= 5))
            time.sleep(0.3)
            self.assertEqual(sorted(read_lines(f.launches))[:4], ["appimage"] + ["org.xfce.mousepad"] * 3)
            self.assertIn(sorted(read_lines(f.launches))[4:], (["twin-a"], ["twin-b"]))
            for refused in ("Linked.AppImage: not an application", "Music Notes.AppImage: not an application",
                            "copy.desktop: not an application the desktop lists"):
                self.assertIsNotNone(server.wait_for(f"^Refused to open .*/{refused}$", after_seen=False), refused)
            for line in ("mouse; it matches Mousepad, Mouse and Touchpad",
                         "manager; it matches Thunar File Manager, File Manager Settings"):
                self.assertIsNotNone(server.wait_for(f"^No application named {line}$", after_seen=False), line)

            # The catalogue follows what is installed while the server runs.
            fresh = os.path.join(apps, "fresh.desktop")
            f._write(fresh, "[Desktop Entry]\nType=Application\nName=Fresh Arrival\nExec=true\n")
            self.assertTrue(until(lambda: names("fresh") == ["Fresh Arrival"]))
            os.remove(fresh)
            self.assertTrue(until(lambda: names("fresh") == []))

    def test_a_name_opened_while_a_large_catalogue_loads_is_opened_once_loaded(self):
        f = self.fixture
        apps = os.path.join(f.env["XDG_DATA_HOME"], "applications")
        for i in range(3000):
            f._write(os.path.join(apps, f"filler-{i}.desktop"),
                     f"[Desktop Entry]\nType=Application\nName=Filler {i}\nExec=true\n")
        with f.server() as server:
            client = paired(self, server)
            self.assertEqual(client.exchange(b"CMD:OPEN:APP:Launch Probe"), b"ACK_OPEN_APP")
            self.assertTrue(until(lambda: read_lines(f.launches) == ["desktop"], timeout=20), server.lines)

    def test_a_hundred_launches_leave_no_zombies(self):
        f = self.fixture
        with f.server() as server:
            client = paired(self, server)
            for i in range(50):
                self.assertEqual(client.exchange(b"CMD:OPEN:APP:Launch Probe"), b"ACK_OPEN_APP")
                self.assertEqual(client.exchange(b"CMD:SLEEP"), b"ACK_SLEEP")
            self.assertTrue(until(lambda: len(read_lines(f.launches)) == 50, timeout=20))
            self.assertTrue(until(lambda: len(read_lines(f.calls)) == 50, timeout=20))

            def zombies():
                found = []
                for pid in filter(str.isdigit, os.listdir("/proc")):
                    try:
                        with open(f"/proc/{pid}/stat") as stat:
                            fields = stat.read().rsplit(")", 1)[1].split()
                    except OSError:
                        continue
                    if fields[0] == "Z" and int(fields[1]) == server.proc.pid:
                        found.append(pid)
                return found

            self.assertTrue(until(lambda: not zombies(), timeout=5), zombies())


if __name__ == "__main__":
    main()
