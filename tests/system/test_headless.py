# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
"""The headless executable as a client and a user see it, on loopback."""
import base64
import fcntl
import json
import os
import re
import resource
import select
import shutil
import stat
import signal
import socket
import subprocess
import tempfile
import threading
import time
import unittest

from browser import stored_secret
from harness import BIN, Client, Server, main, require, stop, until

WAITING = "Waiting for a connection..."


class CommandLine(unittest.TestCase):
    def test_help_version_and_bad_arguments(self):
        for args, status, said in ((["--help"], 0, "--headless"), (["--version"], 0, r"^quillmote \d+\.\d+\.\d+\n$"),
                                   (["--port", "65536"], 2, "^quillmote: ")):  # the rest: tst_ui's table
            out = subprocess.run([BIN, *args], capture_output=True, text=True, timeout=10)
            self.assertEqual(out.returncode, status, args)
            self.assertRegex(out.stdout if status == 0 else out.stderr, said)
        with Server(args=("--input=none", "--headless", "--port=0")) as server:
            self.assertIsNotNone(server.wait_for("^Input backend: none$", after_seen=False))
            server.settle()  # a first start writes the settings, which --verbose would trace
            self.assertFalse([line for line in server.lines if line.startswith("quillmote.")])

    def test_verbose_traces_every_part_but_never_what_is_typed(self):
        secret = "hunter2-Geheimnis"
        with Server(args=("--headless", "--input", "record:/dev/null", "--verbose")) as server:
            client = server.paired_client()
            self.assertEqual(client.exchange(b"TYPE:" + base64.b64encode(secret.encode())), b"ACK_TYPE")
            self.assertEqual(client.exchange(b"MOVE:3,4"), b"ACK_MOVE")
            self.assertIsNotNone(server.wait_for(r"^quillmote\.protocol: \d+ MOVE: with 3 characters -> ACK_MOVE$"))
            trace = "\n".join(line for line in server.lines if line.startswith("quillmote."))
            for part in ("settings: wrote SavedPairingCode", "server: paired", "protocol:", "input: text of 17"):
                self.assertIn("quillmote." + part, trace)
            for private in (secret, base64.b64encode(secret.encode()).decode(), server.code):
                self.assertNotIn(private, trace)
            client.close()


class Lifecycle(unittest.TestCase):
    def test_output_lines_then_signals_end_cleanly(self):
        for sig in (signal.SIGTERM, signal.SIGINT):
            with Server() as server:
                self.assertIsNotNone(server.wait_for("^Status: " + WAITING + "$"))
                Client(server.port).close()  # an unpaired connection ending: the status is unchanged
                server.settle(0.3)
                self.assertEqual(server.lines.count("Status: " + WAITING), 1, server.lines)
                started = time.monotonic()
                self.assertEqual(server.stop(sig), 0)
                self.assertLess(time.monotonic() - started, 2.0)
                self.assertEqual(sum(1 for l in server.lines if l.startswith("Listening on port")), 1)
                self.assertEqual(sum(1 for l in server.lines if l.startswith("Pairing code:")), 1)

    def test_pairing_code_kept_across_runs_and_malformed_value_replaced(self):
        with Server() as first:
            code = first.code
            config = os.path.join(first.config_home, "Quillmote", "Quillmote.conf")
            self.assertTrue(first.wait_for("^Status: "))
            with open(config) as f:
                self.assertIn("SavedPairingCode=" + code, f.read())
            with Server(config_home=first.config_home) as second:
                self.assertEqual(second.code, code)
                self.assertIsNone(second.wait_for("not six digits", timeout=0.5))
            for bad in ("12345", "1234567", "12a456", "１２３４５６"):
                with open(config, "w") as f:
                    f.write(f"[General]\nSavedPairingCode={bad}\n")
                with Server(config_home=first.config_home) as third:
                    self.assertIsNotNone(third.wait_for("^Stored pairing code is not six digits; a new code was "
                                                        "drawn.$"), bad)
                    self.assertNotEqual(third.code, bad)
            with Server(config_home=first.config_home) as third:
                new_code = third.code
                self.assertEqual(Client(third.port).exchange(b"PAIR:"), b"PAIR_FAILED")
                self.assertTrue(Client(third.port).exchange(b"PAIR:" + new_code.encode()).startswith(b"PAIR_SUCCESS|"))
            with open(config) as f:
                self.assertIn("SavedPairingCode=" + new_code, f.read())


class Ports(unittest.TestCase):
    def test_the_usual_ports_held_by_another_user_catch_a_worthless_code_and_link(self):
        require(os.geteuid() == 0 and shutil.which("setpriv"), "acting as another user needs root and setpriv")
        squat = ("import socket, sys\nheld = []\nfor port in (61917, 61918):\n"
                 "    s = socket.socket(socket.AF_INET6)\n    s.setsockopt(socket.IPPROTO_IPV6, socket.IPV6_V6ONLY, 0)\n"
                 "    s.bind(('::', port))\n    s.listen()\n    held.append(s)\nprint('held', flush=True)\n"
                 "sys.stdin.read()\n")
        with Server(show_link=False) as first:  # its code and link, on ports of the system's choosing
            # The link's secret stays out of standard output unless asked for.
            self.assertIsNotNone(first.wait_for(r"^Browser remote: http://[^#\s]+/ \(its link with the secret: "
                                                r"--show-link\)$", after_seen=False), first.lines)
            code, config_home = first.code, first.config_home
            link = "#k=" + stored_secret(config_home)
            self.assertFalse([line for line in first.lines if stored_secret(config_home) in line])
            first.stop()
            squatter = subprocess.Popen(["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups",
                                         "/usr/bin/python3", "-c", squat], stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, text=True)
            self.addCleanup(squatter.wait, 10)
            self.addCleanup(squatter.stdin.close)
            self.addCleanup(squatter.stdout.close)
            self.assertEqual(squatter.stdout.readline(), "held\n")
            with Server(port=None, config_home=config_home) as second:
                for port, what in ((61917, "the pairing code was changed"),
                                   (61918, "the browser remote has a new link")):
                    self.assertIsNotNone(second.wait_for(f"^Port {port} is held by user nobody: {what}",
                                                         after_seen=False), second.lines)
                self.assertNotIn(second.port, (61917, 0))
                new_code = [line for line in second.lines if line.startswith("Pairing code: ")][-1][14:]
                self.assertNotEqual(new_code, code)
                new_link = second.wait_for(r"^Browser remote: (\S+)$", after_seen=False).group(1)
                self.assertNotEqual(new_link.split("#k=")[1], link.split("#k=")[1])
                self.assertEqual(Client(second.port).exchange(b"PAIR:" + code.encode()), b"PAIR_FAILED")
                self.assertTrue(Client(second.port).exchange(b"PAIR:" + new_code.encode()).startswith(b"PAIR_SUCCESS|"))

    def test_default_fallback_command_line_setting_and_failure(self):
        def on_free_port(start):
            # A port seen free can be taken before the server binds it; then another is tried.
            for _ in range(5):
                with socket.socket(socket.AF_INET6) as probe:
                    probe.setsockopt(socket.IPPROTO_IPV6, socket.IPV6_V6ONLY, 0)
                    probe.bind(("::", 0))
                    wanted = probe.getsockname()[1]
                server = start(wanted)
                outcome = server.wait_for(r"^(Listening on port \d+|Server Failed: .*)$", after_seen=False)
                if outcome and outcome.group(0).startswith("Listening"):
                    return server, wanted
                server.__exit__()
            self.fail("no free port could be bound")

        with Server(port=None) as server:
            self.assertEqual(server.port, 61917)
            # Taken: a port the system chooses, said once.
            with Server(port=None) as second:
                self.assertNotEqual(second.port, 61917)
                self.assertIsNotNone(second.wait_for(
                    "^Port 61917 is in use; listening on a port the system chooses$", after_seen=False))
                self.assertTrue(Client(second.port).exchange(b"PAIR:" + second.code.encode())
                                .startswith(b"PAIR_SUCCESS|"))
            # A port the user named must be had.
            with Server(args=("--headless", "--input", "none", "--port", "61917")) as third:
                self.assertIsNotNone(third.wait_for(
                    "^Server Failed: cannot listen on TCP port 61917: Address already in use$", after_seen=False))
        server, wanted = on_free_port(lambda port: Server(args=("--headless", "--input", "none", "--port", str(port))))
        with server:
            self.assertEqual(server.port, wanted)
            config = os.path.join(server.config_home, "Quillmote", "Quillmote.conf")
            server.stop()

            def with_setting(port):
                with open(config, encoding="utf-8") as f:
                    kept = [line for line in f.read().splitlines() if not line.startswith("Port=")]
                with open(config, "w", encoding="utf-8") as f:
                    f.write("\n".join(kept + [f"Port={port}"]) + "\n")
                return Server(config_home=server.config_home, port=None)

            again, wanted = on_free_port(with_setting)
            with again:
                self.assertEqual(again.port, wanted)


class Connections(unittest.TestCase):
    def test_end_of_stream_and_reset_print_their_lines(self):
        with Server() as server:
            pair = b"PAIR:" + server.code.encode()
            c, other = Client(server.port), Client(server.port)
            for client in (c, c, other):  # pairing again does not count twice
                self.assertTrue(client.exchange(pair).startswith(b"PAIR_SUCCESS|"))
            self.assertIsNotNone(server.wait_for(r"^Status: Device connected \(2\)$"))
            self.assertEqual(other.exchange(b"PAIR:000000x"), b"PAIR_FAILED")  # a wrong code later unpairs nobody
            other.close()
            self.assertIsNotNone(server.wait_for(r"^Status: Device connected \(1\)$"))
            c.close()
            self.assertIsNotNone(server.wait_for("^连接断开$"))
            self.assertIsNotNone(server.wait_for("^Status: " + WAITING + "$"))

            c = Client(server.port)
            self.assertTrue(c.exchange(pair).startswith(b"PAIR_SUCCESS|"))
            self.assertIsNotNone(server.wait_for(r"^Status: Device connected \(1\)$"))
            c.reset()
            self.assertIsNotNone(server.wait_for("^连接错误: Connection reset by peer$"))
            # A connection that ended in an error is not counted as connected any more.
            self.assertIsNotNone(server.wait_for("^Status: " + WAITING + "$"))

    def test_flood_of_resets_is_coalesced_with_a_count(self):
        with Server() as server:
            port = server.port
            clients = [Client(port) for _ in range(40)]
            for c in clients:
                c.reset()
            plain, summarized = 0, 0
            deadline = time.monotonic() + 5
            while plain + summarized < 40 and time.monotonic() < deadline:
                server.settle(0.2)
                lines = [l for l in server.lines if l.startswith("连接错误: Connection reset by peer")]
                plain = sum(1 for l in lines if l == "连接错误: Connection reset by peer")
                summarized = sum(int(m.group(1)) for m in
                                 (re.match(r"^连接错误: Connection reset by peer \((\d+) more like this in the last "
                                           r"second\)$", l) for l in lines) if m)
            self.assertEqual(plain + summarized, 40, server.lines)
            self.assertLessEqual(plain, 6)


class Console(unittest.TestCase):
    def test_unread_standard_output_never_stalls_the_server(self):
        read_end, write_end = os.pipe()
        fcntl.fcntl(write_end, 1031, 4096)  # F_SETPIPE_SZ: a full pipe after a few lines
        empty = tempfile.mkdtemp(prefix="quillmote-console-")
        self.addCleanup(shutil.rmtree, empty, True)
        proc = subprocess.Popen([BIN, "--headless", "--input", "none", "--port", "0"], stdout=write_end,
                                stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, start_new_session=True,
                                env={**os.environ, "XDG_CONFIG_HOME": empty, "XDG_DATA_DIRS": empty,
                                     "XDG_DATA_HOME": empty})
        os.close(write_end)
        self.addCleanup(os.close, read_end)
        self.addCleanup(lambda: proc.poll() is None and proc.kill())

        seen = [b""]

        def read_until(pattern, timeout):
            deadline = time.monotonic() + timeout
            while time.monotonic() < deadline:
                m = re.search(pattern, seen[0])
                if m:
                    return m
                if select.select([read_end], [], [], 0.1)[0]:
                    seen[0] += os.read(read_end, 65536)
            return None

        port = int(read_until(rb"Listening on port (\d+)\n", 10).group(1))
        code = read_until(rb"Pairing code: (\d{6})\n", 1)
        client = Client(port)
        self.assertTrue(client.exchange(b"PAIR:" + code.group(1)).startswith(b"PAIR_SUCCESS|"))

        def flood():
            # Every one of these prints a long line that nobody reads; every one is still answered.
            for i in range(100):
                self.assertEqual(client.exchange(b"CMD:OPEN:APP:" + b"n" * 900, timeout=2.0), b"ACK_OPEN_APP", i)

        flood()
        # Once output is read again, it says how many lines were lost.
        self.assertIsNotNone(read_until(rb"\(\d+ console lines were dropped: standard output was not read\)\n", 5))
        flood()
        # Ending is not held up by a full pipe either.
        started = time.monotonic()
        proc.terminate()
        self.assertEqual(proc.wait(timeout=5), 0)
        self.assertLess(time.monotonic() - started, 3.0)


class OpenWifi(unittest.TestCase):
    """What NetworkManager tells about the Wi-Fi network, as its D-Bus interface says it (python-dbusmock's
    template on a private system bus)."""

    def test_an_open_network_is_named_and_a_protected_one_is_not(self):
        require(shutil.which("dbus-daemon") is not None, "dbus-daemon is not installed")
        try:
            import dbus
            import dbusmock
        except ImportError:
            require(False, "python3-dbusmock is not installed")
        bus = subprocess.run(["dbus-daemon", "--session", "--fork", "--print-address=1", "--print-pid=1",
                              "--nopidfile"], capture_output=True, timeout=10, check=True).stdout.decode().split()
        self.addCleanup(os.kill, int(bus[1]), signal.SIGTERM)
        env = {**os.environ, "DBUS_SYSTEM_BUS_ADDRESS": bus[0]}
        nm = subprocess.Popen(["/usr/bin/python3", "-m", "dbusmock", "--system", "--template", "networkmanager"],
                              env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(stop, nm)
        system = dbus.bus.BusConnection(bus[0])
        self.assertTrue(until(lambda: system.name_has_owner("org.freedesktop.NetworkManager"), 10),
                        "NetworkManager's stand-in never came up")
        mock = dbus.Interface(system.get_object("org.freedesktop.NetworkManager", "/org/freedesktop/NetworkManager"),
                              dbusmock.MOCK_IFACE)
        device = mock.AddWiFiDevice("wlan0", "wlan0", 100)

        def join(name, security):
            point = mock.AddAccessPoint(device, name, name, "02:00:00:00:0c:01", 2, 2412, 54000, 80, security)
            mock.AddActiveConnection([device], mock.AddWiFiConnection(device, name, name, ""), point, name, 2)

        join("Home", 0x100)  # a pre-shared key
        with Server(env={"DBUS_SYSTEM_BUS_ADDRESS": bus[0]}) as server:
            server.settle(1.0)
            self.assertFalse([line for line in server.lines if "Wi-Fi" in line])
            join("Cafe", 0)  # joined later, without a reload
            self.assertIsNotNone(server.wait_for(r'^This computer is on the open Wi-Fi network "Cafe": anyone near '
                                                 r"can read what the phone app sends"), server.lines)


class Files(unittest.TestCase):
    def test_settings_and_record_file_are_private(self):
        with tempfile.TemporaryDirectory() as tmp:
            record = os.path.join(tmp, "events.jsonl")
            with Server(args=("--headless", "--input", "record:" + record)) as server:
                code = server.code
                folder = os.path.join(server.config_home, "Quillmote")
                config = os.path.join(folder, "Quillmote.conf")

                def modes():
                    return [stat.S_IMODE(os.stat(path).st_mode) for path in (folder, config, record)]
                self.assertEqual(modes(), [0o700, 0o600, 0o600])
                os.chmod(folder, 0o755)
                with Server(config_home=server.config_home) as second:
                    self.assertEqual(second.code, code)
                    self.assertIsNotNone(second.wait_for(
                        r"^The settings \(with the pairing code\) were readable by other users; .*Quillmote.conf is "
                        r"now 0600 and its folder 0700\.$", after_seen=False))
                    self.assertEqual(modes(), [0o700, 0o600, 0o600])

    def test_links_and_other_users_files_are_not_trusted(self):
        require(os.geteuid() == 0, "needs root to give files to another user")
        with tempfile.TemporaryDirectory() as tmp:
            theirs, link = os.path.join(tmp, "theirs.jsonl"), os.path.join(tmp, "link.jsonl")
            open(theirs, "w").close()
            os.chmod(theirs, 0o666)
            os.chown(theirs, 65534, 65534)
            os.symlink(os.path.join(tmp, "elsewhere"), link)
            for path, reason in ((link, b"it is a symbolic link"), (theirs, b"it belongs to another user")):
                out = subprocess.run([BIN, "--headless", "--input", "record:" + path], capture_output=True, timeout=10)
                self.assertEqual(out.returncode, 2)
                self.assertIn(reason, out.stderr)
            self.assertFalse(os.path.exists(os.path.join(tmp, "elsewhere")))
            # A settings folder made by someone else (a first run under umask 000) with their code.
            folder = os.path.join(tmp, "Quillmote")
            os.makedirs(folder)
            with open(os.path.join(folder, "Quillmote.conf"), "w") as f:
                f.write("[General]\nSavedPairingCode=111111\n")
            os.chown(folder, 65534, 65534)
            with Server(config_home=tmp) as server:
                self.assertNotEqual(server.code, "111111")
                self.assertIsNotNone(server.wait_for("belongs to another user: not used", after_seen=False))


class RecordBackend(unittest.TestCase):
    def test_record_file_has_one_json_line_per_event(self):
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "events.jsonl")
            with Server(args=("--headless", "--input", "record:" + path)) as server:
                self.assertIsNotNone(server.wait_for("^Input backend: record$", after_seen=False))
                c = Client(server.port)
                self.assertEqual(c.exchange(b"MOVE:10,-5"), b"")  # not paired yet
                self.assertTrue(c.exchange(b"PAIR:" + server.code.encode()).startswith(b"PAIR_SUCCESS|"))
                for message, reply in ((b"MOVE:10,-5", b"ACK_MOVE"), (b"MOVE:0.7,-0.7", b"ACK_MOVE"),
                                       (b"SCROLL:0,10", b""), (b"VOLUME:MUTE", b""), (b"KEY:ENTER", b"ACK_KEY"),
                                       (b"TYPE:" + base64.b64encode("你好\t\"\\\x1b\n".encode()), b"ACK_TYPE"),
                                       (b"TYPE:", b"ACK_TYPE")):
                    self.assertEqual(c.exchange(message, timeout=2.0 if reply else 0.2), reply, message)
                time.sleep(0.2)
            with open(path, encoding="utf-8") as f:
                lines = f.read().splitlines()
        # One JSON object a line, one line an event; the exact bytes of each kind are tst_record's.
        recorded = [json.loads(line) for line in lines]
        self.assertEqual([summary(e) for e in recorded], [
            ("mouse", 5, 0, 0, 10.0, -5.0), ("mouse", 5, 0, 0, 0.7, -0.7), ("scroll", 12, 0), ("system", 0x70a00),
            ("system", 0x70b00), *key(36), ("clipboard", "你好\t\"\\\x1b\n"), *key(9, 0x100000), ("clipboard", ""),
            *key(9, 0x100000)])
        self.assertEqual([(e["x"], e["y"]) for e in recorded[:2]], [(970.0, 535.0), (970.7, 534.3)])

    def test_failed_writes_are_said_once(self):
        with Server(args=("--headless", "--input", "record:/dev/full")) as server:
            c = server.paired_client()
            for _ in range(5):
                self.assertEqual(c.exchange(b"MOVE:1,1"), b"ACK_MOVE")
            self.assertIsNotNone(server.wait_for("^Cannot write to the record file /dev/full: .+; events are not "
                                                 "recorded$"))
            server.settle(0.3)
            self.assertEqual(sum(1 for line in server.lines if line.startswith("Cannot write")), 1)

    def test_unwritable_record_file_is_an_error(self):
        out = subprocess.run([BIN, "--headless", "--input", "record:/proc/no/such/file"], capture_output=True,
                             timeout=10)
        self.assertEqual(out.returncode, 2)
        self.assertIn(b"cannot open /proc/no/such/file for recording", out.stderr)


def key(code, flags=0):
    """What one key press posts: its modifiers down, the key down and up, the modifiers up."""
    mods = [m for bit, m in ((0x100000, 55), (0x20000, 56), (0x80000, 58), (0x40000, 59)) if flags & bit]
    return ([("key", m, True, 0) for m in mods] + [("key", code, True, flags), ("key", code, False, flags)] +
            [("key", m, False, 0) for m in reversed(mods)])


def events(path, start=0):
    """The events of a record file, summarised, from the start-th on."""
    with open(path, encoding="utf-8") as f:
        return [summary(json.loads(line)) for line in f.read().splitlines()[start:]]


def summary(e):
    return {"mouse": lambda: ("mouse", e["type"], e["button"], e["clickState"], e["deltaXf"], e["deltaYf"]),
            "key": lambda: ("key", e["keyCode"], e["down"], e["flags"]),
            "scroll": lambda: ("scroll", e["wheel1"], e["wheel2"]), "system": lambda: ("system", e["data1"]),
            "clipboard": lambda: ("clipboard", e["text"])}[e["event"]]()


CLICK = [("mouse", 1, 0, 1, 0.0, 0.0), ("mouse", 2, 0, 1, 0.0, 0.0)]
COMMANDS = [  # message, reply, events (summarised)
    (b"MOVE:10,-5", b"ACK_MOVE", [("mouse", 5, 0, 0, 10.0, -5.0)]),
    (b"MOVE:inf,0", b"ACK_MOVE", []), (b"MOVE:NaN,1", b"ACK_MOVE", []),  # acknowledged, not posted
    (b"MOVE:1", b"", []), (b"MOVE:1,2\n", b"", []),
    (b"MOVE:1,2MOVE:3,4", b"ACK_MOVEACK_MOVE", [("mouse", 5, 0, 0, 1.0, 2.0), ("mouse", 5, 0, 0, 3.0, 4.0)]),
    (b"DRAG:3,4", b"ACK_DRAG", [("mouse", 6, 0, 0, 3.0, 4.0)]), (b"DRAG:3", b"", []),
    (b"MOUSE_DOWN", b"ACK_MOUSE_DOWN", CLICK[:1]), (b"MOUSE_UP", b"ACK_MOUSE_UP", CLICK[1:]),
    (b"MOUSE_DOWN ", b"", []), (b"SCROLL:0,10", b"", [("scroll", 12, 0)]), (b"SCROLL:x,1", b"", []),
    (b"MAGNIFY:1.5", b"", []), (b"CLICK:LEFT", b"ACK_CLICK", CLICK),
    (b"CLICK:RIGHT", b"ACK_CLICK", [("mouse", 3, 1, 1, 0.0, 0.0), ("mouse", 4, 1, 1, 0.0, 0.0)]),
    (b"CLICK:DOUBLE", b"ACK_DOUBLE_CLICK", CLICK + [("mouse", 1, 0, 2, 0.0, 0.0), ("mouse", 2, 0, 2, 0.0, 0.0)]),
    (b"CLICK:left", b"", []), (b"VOLUME:up", b"", []),
    (b"VOLUME:UP", b"", [("system", 0xa00), ("system", 0xb00)]),
    (b"VOLUME:DOWN", b"", [("system", 0x10a00), ("system", 0x10b00)]),
    (b"VOLUME:MUTE", b"", [("system", 0x70a00), ("system", 0x70b00)]),
    (b"KEY:ENTER", b"ACK_KEY", key(36)), (b"KEY:ESC", b"ACK_KEY", key(53)), (b"KEY:UP", b"ACK_KEY", key(126)),
    (b"KEY:COMMAND", b"ACK_KEY", key(55)), (b"KEY:PASTE", b"ACK_KEY", key(9, 0x100000)),
    (b"KEY:F13", b"ACK_KEY", []), (b"TYPE:aGVsbG8", b"", []), (b"TYPE://79", b"", []),
    *[(b"KEY:" + name.encode(), b"ACK_KEY", key(code)) for name, code in (
        ("BACKSPACE", 51), ("SPACE", 49), ("TAB", 48), ("DOWN", 125), ("LEFT", 123), ("RIGHT", 124), ("DELETE", 0x75),
        ("HOME", 0x73), ("END", 0x77), ("PAGE_UP", 0x74), ("PAGE_DOWN", 0x79), ("F1", 0x7A), ("F12", 0x6F))],
    *[(b"KEY:" + chord, b"ACK_KEY", key(code, flags)) for chord, code, flags in (
        (b"CTRL+C", 8, 0x100000), (b"CTRL+SHIFT+T", 17, 0x120000), (b"ALT+F4", 0x76, 0x80000), (b"SUPER+D", 2, 0x40000),
        (b"SHIFT+TAB", 48, 0x20000), (b"CTRL+ALT+SHIFT+SUPER+7", 26, 0x1e0000))],
    *[(b"KEY:" + bad, b"ACK_KEY", []) for bad in (b"CTRL+c", b"CTRL+", b"+C", b"CTRL+CTRL+C", b"CTRL+SHIFT", b"CTRL+@")],
    (b"KEY:NEXT_TRACK", b"ACK_KEY", [("system", 0x110a00), ("system", 0x110b00)]), (b"KEY:enter", b"ACK_KEY", []),
    (b"CLICK:MIDDLE", b"ACK_CLICK", [("mouse", 25, 2, 1, 0.0, 0.0), ("mouse", 26, 2, 1, 0.0, 0.0)]),
    (b"JUMP:1,2", b"", []),
]
MERGED = [  # one read, and the commands it holds sent one by one
    (b"MOVE:1,0DRAG:2,1MOUSE_DOWNMOUSE_UPSCROLL:0,10MAGNIFY:1CLICK:LEFTVOLUME:MUTEKEY:LEFTCLICK:DOUBLE",
     [b"MOVE:1,0", b"DRAG:2,1", b"MOUSE_DOWN", b"MOUSE_UP", b"SCROLL:0,10", b"MAGNIFY:1", b"CLICK:LEFT",
      b"VOLUME:MUTE", b"KEY:LEFT", b"CLICK:DOUBLE"]),
    (b"KEY:UPPAIR:000000MOVE:5,5", [b"KEY:UP", b"PAIR:000000MOVE:5,5"]),
    (b"MOVE:1,1" * 100, [b"MOVE:1,1"] * 100),
]


class Commands(unittest.TestCase):
    def test_every_command_word_before_and_after_pairing_and_merged_in_one_read(self):
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "events.jsonl")
            with Server(args=("--headless", "--input", "record:" + path)) as server:
                def exchange(client, message, size):
                    client.send(message)
                    got = b""
                    while len(got) < size and (more := client.receive(timeout=2.0)):
                        got += more
                    return got if size else got + client.receive(timeout=0.1)
                client, code = Client(server.port), server.code.encode()
                # Nothing before pairing (the gate), nor for lower case or reads that are not UTF-8,
                # an encoded surrogate or a character cut at the end of the read included.
                for message in [m for m, _, _ in COMMANDS] + [b"pair:" + code, b"PAIR:" + code + b"\xff",
                                                              b"PAIR:" + code + b"\xed\xa0\x80"] + [
                        b"PAIR:" + code + c.encode()[:cut] for c in "é€😀" for cut in range(1, len(c.encode()))]:
                    self.assertEqual(exchange(client, message, 0), b"", message)
                for wrong in (code[:5], b" " + code, b"abcdef"):  # three wrong codes are free
                    self.assertEqual(client.exchange(b"PAIR:" + wrong), b"PAIR_FAILED")
                for suffix in (b"", b"\n", b"99", "你好".encode(), b"7" * 3000):
                    self.assertTrue(exchange(client, b"PAIR:" + code + suffix, 20).startswith(b"PAIR_SUCCESS|"))
                self.assertEqual(events(path), [])
                for message, reply, expected in COMMANDS:
                    before = len(events(path))
                    self.assertEqual(exchange(client, message, len(reply)), reply, message)
                    time.sleep(0.02)
                    self.assertEqual(events(path)[before:], expected, message)
                for merged, alone in MERGED:
                    before = len(events(path))
                    replies = b"".join(exchange(client, piece, 0) for piece in alone)
                    one_by_one = events(path)[before:]
                    self.assertEqual(exchange(client, merged, len(replies)), replies, merged)
                    time.sleep(0.05)
                    self.assertEqual(events(path)[before + len(one_by_one):], one_by_one, merged)


class Streams(unittest.TestCase):
    def test_nothing_lost_at_read_boundaries_and_a_long_text_arrives_whole(self):
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "events.jsonl")
            with Server(args=("--headless", "--input", "record:" + path)) as server:
                client = server.paired_client()
                drained = []
                reader = threading.Thread(target=lambda: drained.append(read_all(client.sock)))
                reader.start()
                # Moves of every length in large writes: the reads are full and cut anywhere,
                # also inside a keyword ("...MO" + "VE:...").
                moves = b"".join(b"MOVE:%d,1" % (i % 200 - 100) for i in range(20000))
                text = "长文本 ".join(str(i) for i in range(400)).encode()  # ~3,000 bytes of base64
                stream = moves + b"TYPE:" + base64.b64encode(text)
                client.send(stream)
                time.sleep(0.1)
                client.send(b"MOVE:1,1" * 128)  # a full read with nothing after it is whole
                # Again in 1,400-byte writes, each read before the next comes: shorter reads end
                # anywhere too. Then writes cut inside a command, the rest 200 ms later.
                for at in range(0, len(stream), 1400):
                    client.send(stream[at:at + 1400])
                    time.sleep(0.002)
                for head, rest in ((b"MOVE:7,", b"3"), (b"MO", b"VE:-4,2"), (b"MOVE:2,2MO", b"VE:5,-5"), (b"KEY:ENTE", b"R")):
                    client.send(head)
                    time.sleep(0.2)
                    client.send(rest)
                deadline = time.monotonic() + 20
                while time.monotonic() < deadline and count(path, '"type":5') < 40132:
                    time.sleep(0.2)
                client.sock.shutdown(socket.SHUT_WR)
                reader.join(10)
            with open(path, encoding="utf-8") as f:
                events = [json.loads(line) for line in f]
            moved = [(e["deltaXf"], e["deltaYf"]) for e in events if e.get("type") == 5]
            self.assertEqual(len(moved), 40132)
            self.assertEqual(sum(dx for dx, _ in moved), 2 * -10000 + 128 + 10)
            self.assertEqual(moved[-4:], [(7, 3), (-4, 2), (2, 2), (5, -5)])
            keys = [(e["keyCode"], e["down"]) for e in events if e["event"] == "key"]
            self.assertEqual(keys[-2:], [(36, True), (36, False)])  # after each text's paste chord
            self.assertEqual([e["text"] for e in events if e["event"] == "clipboard"], [text.decode()] * 2)
            self.assertEqual(drained[0].count(b"ACK_MOVE"), 40132)

    def test_a_client_that_never_reads_is_bounded_and_others_are_served(self):
        # Under AddressSanitizer freed memory waits in a quarantine, which would count as growth.
        quarantine = {"ASAN_OPTIONS": os.environ.get("ASAN_OPTIONS", "") + ":quarantine_size_mb=1"}
        with Server(env=quarantine) as server:
            greedy, other = server.paired_client(), server.paired_client()
            greedy.sock.setblocking(False)
            # Measured from a second into the flood: what the allocator keeps once warm (more
            # under AddressSanitizer) is not growth; replies piling up would go on growing.
            start, rss, warm, deadline = None, 0, time.monotonic() + 1, time.monotonic() + 9
            while time.monotonic() < deadline:
                try:
                    greedy.sock.send(b"MOVE:1,0" * 4096)
                except BlockingIOError:  # the server stopped reading: the kernel holds the rest
                    time.sleep(0.05)
                if start is None and time.monotonic() >= warm:
                    start = server.resident_kib()
                if start is not None:
                    rss = max(rss, server.resident_kib())
            self.assertEqual(other.exchange(b"MOVE:1,0"), b"ACK_MOVE")
            self.assertLess(rss - start, 4 * 1024, "the replies nobody reads pile up in the server")


def read_all(sock):
    sock.settimeout(20)
    data = b""
    while chunk := sock.recv(65536):
        data += chunk
    return data


def count(path, needle):
    with open(path, encoding="utf-8") as f:
        return sum(needle in line for line in f)


class Exhaustion(unittest.TestCase):
    def test_idle_flood_does_not_keep_a_client_from_pairing(self):
        soft = resource.getrlimit(resource.RLIMIT_NOFILE)[0]
        with Server(prefix=("sh", "-c", 'ulimit -n 256 && exec "$0" "$@"')) as server:
            pair = b"PAIR:" + server.code.encode()
            paired = Client(server.port)
            self.assertTrue(paired.exchange(pair).startswith(b"PAIR_SUCCESS|"))
            flood = [Client(server.port) for _ in range(min(600, soft - 64))]
            self.assertIsNotNone(server.wait_for("^Dropping the longest-idle unpaired connection from 127.0.0.1$"))
            # Folded: hundreds were dropped, a few lines say so.
            self.assertIsNotNone(server.wait_for(r"^Dropping the longest-idle unpaired connection from 127\.0\.0\.1 "
                                                 r"\(\d+ more like this in the last second\)$"))
            self.assertLessEqual(sum(line.startswith("Dropping") for line in server.lines), 8)
            newcomer = Client(server.port)
            self.assertTrue(newcomer.exchange(pair).startswith(b"PAIR_SUCCESS|"))
            self.assertTrue(paired.exchange(pair).startswith(b"PAIR_SUCCESS|"))
            flood[0].sock.settimeout(2)
            self.assertEqual(flood[0].sock.recv(1), b"")  # the longest idle made room
            for c in flood:
                c.close()

    def test_descriptor_exhaustion_recovers_without_spinning(self):
        """On both ports: the phones' and the browser remote's."""
        with Server(prefix=("sh", "-c", 'ulimit -n 48 && exec "$0" "$@"')) as server:
            web_port = int(server.wait_for(r"^Browser remote listening on port (\d+)$").group(1))
            pair = b"PAIR:" + server.code.encode()
            paired, stuck = [], None
            for _ in range(60):
                c = Client(server.port)
                reply = c.exchange(pair, timeout=0.5)
                if not reply:
                    stuck = c  # connected in the kernel's backlog, never accepted
                    break
                paired.append(c)
            self.assertIsNotNone(stuck, "the descriptor limit was never reached")
            self.assertIsNotNone(server.wait_for("^Accepting paused: "))
            browser = socket.create_connection(("127.0.0.1", web_port), timeout=5)
            self.addCleanup(browser.close)
            browser.sendall(f"GET / HTTP/1.1\r\nHost: 127.0.0.1:{web_port}\r\n\r\n".encode())
            self.assertIsNotNone(server.wait_for(r"^Browser remote: accepting paused \(out of file descriptors"))
            before = server.cpu_seconds()
            time.sleep(2.0)
            self.assertLess(server.cpu_seconds() - before, 0.3, "accepting spins while out of descriptors")
            for c in paired[:8]:
                c.close()
            self.assertTrue(stuck.receive(timeout=5.0).startswith(b"PAIR_SUCCESS|"))
            browser.settimeout(5)
            got = browser.recv(64)
            self.assertTrue(got.startswith(b"HTTP/1.1 200 "), got)
            self.assertTrue(Client(server.port).exchange(pair).startswith(b"PAIR_SUCCESS|"))
            for c in paired[8:]:
                c.close()


if __name__ == "__main__":
    main()
