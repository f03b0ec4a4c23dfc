# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
"""Quillmote on hosts made of network namespaces: the link-layer address it reports, and
DNS-SD end to end with a real avahi-daemon and a python3-zeroconf browser on another host.

Needs root. Every namespace, bus and daemon is made here and removed again; traffic stays
inside the namespaces.
"""
import contextlib
import json
import os
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

from harness import BIN, HERE, Server, main, require, stop

SUFFIX = str(os.getpid())
# Sends argv[2] to port argv[1] on host argv[3], prints the reply (waited for up to argv[4] seconds)
# and keeps the connection open for argv[5] seconds more.
PAIR_CLIENT = ("import socket,sys,time;s=socket.create_connection((sys.argv[3],int(sys.argv[1])),"
               "timeout=float(sys.argv[4]));s.sendall(sys.argv[2].encode());print(s.recv(256).decode(),flush=True);"
               "time.sleep(float(sys.argv[5]))")
SERVICE_UP = "^Status: Service advertised$"


def run(*args, **kwargs):
    return subprocess.run(args, check=True, capture_output=True, timeout=30, **kwargs)


def require_root_tools(*tools):
    require(os.geteuid() == 0, "needs root to create network namespaces")
    for tool in ("ip", *tools):
        require(shutil.which(tool) is not None, f"{tool} is not installed")
    probe = f"qm-probe-{SUFFIX}"
    made = subprocess.run(["ip", "netns", "add", probe], capture_output=True).returncode == 0
    if made:
        subprocess.run(["ip", "netns", "del", probe], capture_output=True)
    require(made, "cannot create network namespaces here")


class Namespace:
    def __init__(self, name):
        self.name = f"qm-{name}-{SUFFIX}"
        run("ip", "netns", "add", self.name)
        self.ip("link", "set", "lo", "up")

    def ip(self, *args):
        return run("ip", "-n", self.name, *args)

    def exec_prefix(self):
        return ("ip", "netns", "exec", self.name)

    def add_interface(self, name, mac, up=True, address=None):
        self.ip("link", "add", name, "address", mac, "type", "veth", "peer", "name", name + "p")
        if up:
            self.ip("link", "set", name, "up")
        if address:
            self.ip("addr", "add", address, "dev", name)

    def link(self, other, dev, peer, net, mac=None):
        """A veth pair to the other namespace, with addresses net.1 here and net.2 (and mac) there."""
        run("ip", "link", "add", dev, "netns", self.name, "type", "veth", "peer", "name", peer, "netns", other.name,
            *(("address", mac) if mac else ()))
        for ns, d, address in ((self, dev, net + ".1/24"), (other, peer, net + ".2/24")):
            ns.ip("addr", "add", address, "dev", d)
            ns.ip("link", "set", d, "up")

    def pair(self, port, code, host="127.0.0.1"):
        out = run(*self.exec_prefix(), "/usr/bin/python3", "-c", PAIR_CLIENT, str(port), "PAIR:" + code, host, "3", "0")
        return out.stdout.decode().strip("\n")

    def pair_waiting(self, test, server, host, wait, stay=0):
        """A phone pairing from here that waits for the reply, then stays without closing its side."""
        client = subprocess.Popen([*self.exec_prefix(), "/usr/bin/python3", "-c", PAIR_CLIENT, str(server.port),
                                   "PAIR:" + server.code, host, str(wait), str(stay)], stdout=subprocess.PIPE)
        test.addCleanup(client.stdout.close)
        test.addCleanup(stop, client, signal.SIGKILL)
        return client

    def delete(self):
        for pid in subprocess.run(["ip", "netns", "pids", self.name], capture_output=True).stdout.split():
            with contextlib.suppress(ProcessLookupError):
                os.kill(int(pid), signal.SIGKILL)
        subprocess.run(["ip", "netns", "del", self.name], capture_output=True)


class LinkLayerAddress(unittest.TestCase):
    """Which interface's address goes into "PAIR_SUCCESS|", on hosts with chosen interfaces."""

    def setUp(self):
        require_root_tools()

    def reply_on(self, name, interfaces, default_route=None):
        ns = Namespace(name)
        self.addCleanup(ns.delete)
        for spec in interfaces:
            ns.add_interface(*spec)
        for metric, dev in enumerate(default_route or ()):  # the lowest metric is the default route
            ns.ip("route", "add", "default", "via", "192.0.2.254", "dev", dev, "onlink", "metric", str(metric + 1))
        with Server(prefix=ns.exec_prefix()) as server:
            reply = ns.pair(server.port, server.code)
            warned = any(l.startswith("⚠️ WARNING: Failed to get MAC address.") for l in server.lines)
        return reply, warned

    def test_interface_rules(self):
        cases = [
            ("en0", [("en0", "02:00:00:00:0e:00", False), ("aaa0", "02:00:00:00:00:aa", True, "192.0.2.1/24")],
             ("aaa0",), "PAIR_SUCCESS|02:00:00:00:0e:00"),
            ("route", [("aaa0", "02:00:00:00:00:11", True, "192.0.2.3/24"),
                       ("zzz0", "02:00:00:00:00:22", True, "192.0.2.1/24")], ("zzz0", "aaa0"),
             "PAIR_SUCCESS|02:00:00:00:00:22"),
        ]
        for name, interfaces, route, expected in cases:
            with self.subTest(name):
                reply, warned = self.reply_on(name, interfaces, route)
                self.assertEqual(reply, expected)
                self.assertFalse(warned)

    def test_no_usable_interface_warns_and_replies_without_address(self):
        reply, warned = self.reply_on("bare", [])
        self.assertEqual(reply, "PAIR_SUCCESS|")
        self.assertTrue(warned)


class VanishedPhone(unittest.TestCase):
    """A paired phone whose link goes away without a word (Wi-Fi lost, battery out)."""

    def test_is_no_longer_counted_within_about_a_minute(self):
        require_root_tools()
        host, phone = Namespace("ka-srv"), Namespace("ka-phone")
        self.addCleanup(host.delete)
        self.addCleanup(phone.delete)
        host.link(phone, "qmka0", "qmka1", "192.0.2")
        with Server(prefix=host.exec_prefix()) as server:
            client = phone.pair_waiting(self, server, "192.0.2.1", 5, stay=300)  # then only listens
            self.assertTrue(client.stdout.readline().startswith(b"PAIR_SUCCESS|"))
            self.assertIsNotNone(server.wait_for(r"^Status: Device connected \(1\)$"))
            cut = time.monotonic()
            phone.ip("link", "set", "qmka1", "down")
            self.assertIsNotNone(server.wait_for("^连接错误: ", timeout=90), server.lines)
            self.assertLess(time.monotonic() - cut, 75)
            self.assertIsNotNone(server.wait_for("^Status: Waiting for a connection...$", timeout=5))


class NewDevices(unittest.TestCase):
    """The right code from a device that never paired pairs it only once the user allows it."""

    def test_asked_once_allowed_and_remembered_refused_or_left_unanswered(self):
        require_root_tools()
        host, phone, other = Namespace("nd-srv"), Namespace("nd-phone"), Namespace("nd-other")
        for ns in (host, phone, other):
            self.addCleanup(ns.delete)
        host.link(phone, "qmnd0", "qmnd1", "192.0.2", "02:00:00:00:0a:01")
        host.link(other, "qmnd2", "qmnd3", "198.51.100", "02:00:00:00:0a:02")
        runtime = tempfile.mkdtemp(prefix="quillmote-run-")
        self.addCleanup(shutil.rmtree, runtime, True)
        env = {"XDG_RUNTIME_DIR": runtime}

        def answer(*args):
            done = subprocess.run([BIN, *args], env={**os.environ, **env}, capture_output=True, timeout=10)
            return done.returncode, done.stdout.decode().strip()

        with Server(prefix=host.exec_prefix(), env=env, ask_new_devices=True) as server:
            client = phone.pair_waiting(self, server, "192.0.2.1", 70)
            asked = server.wait_for(r"^Allow Phone app \(192\.0\.2\.2, 02:00:00:00:0a:01\) to control this computer\? "
                                    r".* quillmote --allow (\d+) \(or --deny \1\)$")
            self.assertIsNotNone(asked, server.lines)
            time.sleep(0.5)
            self.assertIsNone(client.poll())  # no reply before the answer
            self.assertEqual(answer("--allow", asked.group(1)), (0, "allowed"))
            self.assertTrue(client.stdout.readline().startswith(b"PAIR_SUCCESS|"))
            self.assertTrue(phone.pair(server.port, server.code, "192.0.2.1").startswith("PAIR_SUCCESS|"))  # known
            refused = other.pair_waiting(self, server, "198.51.100.1", 70)
            asked = server.wait_for(r"^Allow Phone app \(198\.51\.100\.2, 02:00:00:00:0a:02\).* --allow (\d+) ")
            self.assertEqual(answer("--deny", asked.group(1)), (0, "refused"))
            self.assertEqual(refused.stdout.readline(), b"PAIR_FAILED\n")
            self.assertEqual(answer("--allow", asked.group(1))[0], 1)  # answered already
            # Remembered: a server started on the same settings lets the phone pair at once.
            with Server(prefix=host.exec_prefix(), config_home=server.config_home) as again:
                self.assertTrue(phone.pair(again.port, again.code, "192.0.2.1").startswith("PAIR_SUCCESS|"))
        self.assertEqual(answer("--allow", "1")[0], 1)  # nobody to answer


class DnsSd(unittest.TestCase):
    """A browser on a second host finds the service, pairs over the link, and keeps finding it
    when avahi-daemon restarts; a second server with the same name is renamed."""

    def setUp(self):
        require_root_tools("avahi-daemon", "dbus-daemon", "unshare")
        require(subprocess.run(["/usr/bin/python3", "-c", "import zeroconf"], capture_output=True).returncode == 0,
                "python3-zeroconf is not installed")
        self.tmp = tempfile.mkdtemp(prefix="qm-dnssd-")
        self.addCleanup(shutil.rmtree, self.tmp, True)
        bus = os.path.join(self.tmp, "system_bus_socket")
        out = run("dbus-daemon", "--config-file=/usr/share/dbus-1/system.conf", f"--address=unix:path={bus}",
                  "--nopidfile", "--fork", "--print-pid")
        bus_pid = int(out.stdout.split()[0])
        self.addCleanup(os.kill, bus_pid, signal.SIGTERM)
        self.env = {"DBUS_SYSTEM_BUS_ADDRESS": f"unix:path={bus}"}
        self.host = Namespace("srv")
        self.phone = Namespace("phone")
        self.addCleanup(self.host.delete)
        self.addCleanup(self.phone.delete)
        self.host.link(self.phone, "qmsrv", "qmphone", "192.0.2")
        for ns, dev in ((self.host, "qmsrv"), (self.phone, "qmphone")):
            ns.ip("route", "add", "224.0.0.0/4", "dev", dev)
        self.start_avahi()

    def start_avahi(self):
        # avahi-daemon's pid file and socket live at fixed paths: give it a /run of its own so
        # that an instance of the machine is left alone.
        self.avahi = subprocess.Popen(
            [*self.host.exec_prefix(), "unshare", "-m", "sh", "-c",
             "mount -t tmpfs tmpfs /run && mkdir /run/avahi-daemon && "
             "exec avahi-daemon --no-drop-root --no-chroot --no-rlimits"],
            env={**os.environ, **self.env}, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(stop, self.avahi)

    def browse(self, seconds, code):
        out = run(*self.phone.exec_prefix(), "/usr/bin/python3", os.path.join(HERE, "browse.py"), str(seconds), code)
        return json.loads(out.stdout)

    def server(self):
        # The host's name as a desktop sets it, in an /etc of the server's own (an overlay).
        etc = tempfile.mkdtemp(dir=self.tmp)
        os.makedirs(os.path.join(etc, "upper"))
        os.makedirs(os.path.join(etc, "work"))
        with open(os.path.join(etc, "upper", "machine-info"), "w", encoding="utf-8") as f:
            f.write('CHASSIS=laptop\nPRETTY_HOSTNAME="Ada\'s \\"Book\\" 书房"\n')
        script = f'mount -t overlay overlay -o lowerdir=/etc,upperdir={etc}/upper,workdir={etc}/work /etc && exec "$0" "$@"'
        server = Server(prefix=(*self.host.exec_prefix(), "unshare", "-m", "sh", "-c", script), env=self.env)
        self.addCleanup(server.__exit__)
        return server

    def test_found_paired_restarted_and_renamed(self):
        first = self.server()
        self.assertIsNotNone(first.wait_for(SERVICE_UP, timeout=15), first.lines)
        found = self.browse(4, first.code)
        self.assertEqual(len(found), 1, found)
        self.assertEqual(found[0]["port"], first.port)
        self.assertEqual(found[0]["txt"], {})
        self.assertIn("192.0.2.1", found[0]["addresses"])
        self.assertRegex(found[0]["reply"], r"^PAIR_SUCCESS\|([0-9a-f]{2}:){5}[0-9a-f]{2}$")
        name = found[0]["name"]
        self.assertEqual(name, 'Ada\'s "Book" 书房._zoduvived._tcp.local.')

        stop(self.avahi)
        self.assertIsNotNone(first.wait_for("^Listener waiting: avahi-daemon is not reachable", timeout=10))
        self.start_avahi()
        found = self.browse(5, first.code)
        self.assertEqual([(e["name"], e["port"]) for e in found], [(name, first.port)])
        self.assertTrue(found[0]["reply"].startswith("PAIR_SUCCESS|"))

        second = self.server()
        renamed = second.wait_for(r'^Service name "(.+)" is taken; advertising as "(.+)"$', timeout=15)
        self.assertIsNotNone(renamed, second.lines)
        self.assertIsNotNone(second.wait_for(SERVICE_UP, timeout=15))
        found = self.browse(5, second.code)
        ports = {e["name"]: e["port"] for e in found}
        self.assertEqual(len(found), 2, found)
        self.assertEqual(ports[name], first.port)
        self.assertEqual(ports[renamed.group(2) + "._zoduvived._tcp.local."], second.port)

        # Another host on the link already uses the name: the newcomer gives way.
        for s in (first, second):
            s.stop()
        holder = subprocess.Popen([*self.phone.exec_prefix(), "/usr/bin/python3", os.path.join(HERE, "browse.py"),
                                   "--publish", name, "20"], stdout=subprocess.PIPE, text=True)
        self.addCleanup(holder.stdout.close)
        self.addCleanup(stop, holder, signal.SIGKILL)
        self.assertEqual(holder.stdout.readline().strip(), "published")
        third = self.server()
        self.assertIsNotNone(third.wait_for(r'^Service name "(.+)" is taken; advertising as "(.+)"$', timeout=15),
                             third.lines)
        self.assertIsNotNone(third.wait_for(SERVICE_UP, timeout=15), third.lines)

    def test_an_impostor_under_our_name_is_shown_and_taken_names_never_stop_advertising(self):
        require(shutil.which("avahi-publish") is not None, "avahi-publish (avahi-utils) is not installed")
        name = 'Ada\'s "Book" 书房'
        # Another local user takes the name (its letters in another case: the same name to DNS-SD)
        # and every alternative Avahi would offer.
        deadline = time.monotonic() + 10
        for i, taken in enumerate([name.swapcase()] + [f"{name} #{n}" for n in range(2, 18)]):
            while True:  # the daemon may still be starting
                holder = subprocess.Popen([*self.host.exec_prefix(), "avahi-publish", "-s", taken, "_zoduvived._tcp",
                                           str(4444 + i)], env={**os.environ, **self.env}, stdout=subprocess.PIPE,
                                          stderr=subprocess.STDOUT, text=True)
                self.addCleanup(stop, holder)
                self.addCleanup(holder.stdout.close)
                said = holder.stdout.readline()
                if "Established" in said or time.monotonic() > deadline:
                    break
                time.sleep(0.2)
            self.assertIn("Established", said)
        server = self.server()
        self.assertIsNotNone(server.wait_for(r'^Another program advertises "aDA\'S "bOOK" 书房" at 192\.0\.2\.1:4444; '
                                             r"it is not this computer$", timeout=15), server.lines)
        self.assertIsNotNone(server.wait_for(SERVICE_UP, timeout=30), server.lines)
        ours = [e for e in self.browse(5, server.code) if e["port"] == server.port]
        self.assertEqual(len(ours), 1, ours)
        self.assertRegex(ours[0]["name"], r'^Ada\'s "Book" 书房 \([0-9a-f]+\)\._zoduvived\._tcp\.local\.$')
        self.assertTrue(ours[0]["reply"].startswith("PAIR_SUCCESS|"))


if __name__ == "__main__":
    main()
