# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
"""The uinput backend in Debian's own kernel under QEMU (scripts/lab), where /dev/uinput and evdev
are real: this file runs itself inside the guest, drives quillmote over loopback and reads back
what the kernel passes on from the /dev/input/event nodes of its devices."""
import base64
import json
import os
import select
import struct
import subprocess
import sys
import threading
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
LAB = os.path.normpath(os.path.join(HERE, "..", "..", "scripts", "lab", "uinput"))
EV_KEY, EV_REL = 1, 2
NAMES = {(EV_REL, 0): "X", (EV_REL, 1): "Y", (EV_REL, 6): "HWHEEL", (EV_REL, 8): "WHEEL", (EV_REL, 11): "WHEEL_HI",
         (EV_REL, 12): "HWHEEL_HI", (EV_KEY, 272): "BTN_LEFT", (EV_KEY, 273): "BTN_RIGHT"}


def device(name):
    """The evdev node of the input device name, opened to read what it passes on."""
    for node in os.listdir("/sys/class/input"):
        if node.startswith("event"):
            with open(f"/sys/class/input/{node}/device/name") as f:
                if f.read().strip() == name:
                    return os.open(f"/dev/input/{node}", os.O_RDONLY | os.O_NONBLOCK)
    raise LookupError(f"no input device {name}")


def changes(fd):
    """(type, code, value) of each event the device passed on since the last look."""
    found = []
    while True:
        try:
            data = os.read(fd, 24 * 64)
        except BlockingIOError:
            return found
        found.extend((kind, code, value) for _, _, kind, code, value in struct.iter_unpack("qqHHi", data))


def paired(server):
    """Pairs with the server; gives a function that sends messages and returns what its devices passed on."""
    client = server.paired_client(timeout=10)  # the port is printed once the devices exist
    devices = [device("Quillmote pointer"), device("Quillmote keyboard")]

    def events(*messages):
        found, sent = [], threading.Event()

        def read():  # while the phone sends, as a compositor reads: the kernel keeps 64 events a reader
            while select.select(devices, [], [], 0.6)[0] or not sent.is_set():
                for fd in devices:
                    found.extend([NAMES.get((kind, code), code), value] for kind, code, value in changes(fd)
                                 if kind in (EV_KEY, EV_REL))
        reader = threading.Thread(target=read)
        reader.start()
        for message in messages:
            client.exchange(message, timeout=0.3)
        sent.set()
        reader.join(10)
        return found
    return events


def writable_tmp(binary):
    """The host's root is read-only in the guest, and Xvfb needs its socket folder in /tmp: a tmpfs
    goes over /tmp, and a checkout or build that lives in /tmp is bound back into it."""
    keep = sorted({os.path.realpath(p).split(os.sep)[2] for p in (HERE, binary)
                   if os.path.realpath(p).startswith("/tmp/")})
    if keep:
        os.makedirs("/run/host-tmp", exist_ok=True)
        subprocess.run(["mount", "--bind", "/tmp", "/run/host-tmp"], check=True)
    subprocess.run(["mount", "-t", "tmpfs", "tmpfs", "/tmp"], check=True)
    for top in keep:
        os.makedirs(f"/tmp/{top}")
        subprocess.run(["mount", "--bind", f"/run/host-tmp/{top}", f"/tmp/{top}"], check=True)


def guest(binary):
    """Inside the VM, as root; returns what was seen, for the host to compare."""
    os.environ.update(QUILLMOTE_BIN=binary, QT_QPA_PLATFORM="offscreen")
    sys.path.insert(0, HERE)
    from harness import Server, Xvfb
    subprocess.run(["ip", "link", "set", "lo", "up"], check=True)
    nobody = ("setpriv", "--reuid=65534", "--regid=65534", "--clear-groups")
    seen = {}

    # Without the udev rule only root may open /dev/uinput.
    os.chmod("/dev/uinput", 0o600)
    env = {"QUILLMOTE_UINPUT_DEVICE": "/dev/uinput", "XDG_SESSION_TYPE": "wayland"}
    with Server(args=("--headless", "--input", "uinput"), prefix=nobody, env=env) as server:
        seen["refused"] = [server.proc.wait(timeout=30), server.wait_for("udevadm trigger", after_seen=False)
                           is not None]
    # The rule has logind give the session's user access, as this does.
    os.chown("/dev/uinput", 65534, 65534)
    with Server(args=("--headless", "--input", "auto"), prefix=nobody, env=env) as server:
        seen["choice"] = server.wait_for("^Input backend: .*", after_seen=False, timeout=30).group(0)
        events = paired(server)
        seen["motion"] = events(b"MOVE:100,-50", b"MOVE:0.5,0.25", b"MOVE:0.5,0.75")
        seen["buttons"] = events(b"CLICK:LEFT", b"CLICK:RIGHT", b"MOUSE_DOWN", b"DRAG:5,0", b"MOUSE_UP")
        seen["scroll"] = events(b"SCROLL:0,55", b"SCROLL:0,-110", b"SCROLL:55,0")
        seen["keys"] = events(b"KEY:ENTER", b"KEY:PASTE", b"VOLUME:UP")
        seen["text"] = events(b"TYPE:" + base64.b64encode(b"Pa$$W0rd! " * 8))  # some 300 events, none lost

    # An X display, as Xwayland offers one, with V and X swapped in its keymap: the shortcut's
    # letter is the key that gives it there.
    writable_tmp(binary)
    xvfb = Xvfb()
    try:
        xvfb.run("xmodmap", "-e", "keycode 55 = x X", "-e", "keycode 53 = v V")
        with Server(args=("--headless", "--input", "uinput"), env={**env, "DISPLAY": xvfb.display}) as server:
            events = paired(server)
            seen["layout"] = events(b"KEY:PASTE", b"TYPE:" + base64.b64encode("粘贴".encode()))
    finally:
        xvfb.stop()
    return seen


def in_vm(test, command, timeout, *options, modules=""):
    """Runs command as root in the VM (BIN stands for quillmote); gives what it wrote to $LAB_OUT/seen.json."""
    from harness import BIN, require
    work = os.environ.get("QUILLMOTE_LAB_DIR", "/var/tmp/quillmote-lab")
    for step in (["bash", f"{LAB}/fetch-kernel.sh", work], ["bash", f"{LAB}/build-initramfs.sh", work]):
        done = subprocess.run(step, capture_output=True, text=True, timeout=600,
                              env={**os.environ, "LAB_MODULES": modules})
        require(done.returncode != 77, done.stderr.strip())
        test.assertEqual(done.returncode, 0, done.stderr)
    out = os.path.join(work, "uinput", f"out-{os.getpid()}")
    test.addCleanup(lambda: subprocess.run(["rm", "-rf", out]))
    run = subprocess.run(["/usr/bin/python3", f"{LAB}/run-vm.py", "--dir", work, "--out", out, "--timeout", str(timeout),
                          *options, command.replace("BIN", BIN)], capture_output=True, text=True, timeout=timeout + 60)
    require(run.returncode != 77, run.stderr.strip())
    seen = {}
    if os.path.exists(os.path.join(out, "seen.json")):
        with open(os.path.join(out, "seen.json")) as f:
            seen = json.load(f)
    test.assertEqual(run.returncode, 0, f"{seen.get('stopped')}\n{run.stdout[-3000:]}{run.stderr[-2000:]}")
    return seen


class UinputInTheKernel(unittest.TestCase):
    def test_devices_post_what_the_phone_sends_and_need_the_permission(self):
        seen = in_vm(self, f"/usr/bin/python3 {os.path.abspath(__file__)} BIN", 240)
        self.assertNotEqual(seen["refused"][0], 0)
        self.assertTrue(seen["refused"][1], "no advice on the udev rule")
        self.assertRegex(seen["choice"], r"^Input backend: uinput \(Wayland session: XDG_SESSION_TYPE is wayland; "
                                         r"portal: .*\)$")
        # Whole pixels, the fractions summed: 0.5 + 0.5 and 0.25 + 0.75 make one.
        self.assertEqual(seen["motion"], [["X", 100], ["Y", -50], ["X", 1], ["Y", 1]])
        self.assertEqual(seen["buttons"], [["BTN_LEFT", 1], ["BTN_LEFT", 0], ["BTN_RIGHT", 1], ["BTN_RIGHT", 0],
                                           ["BTN_LEFT", 1], ["X", 5], ["BTN_LEFT", 0]])
        # 66 pixels up: 132 high-resolution units and one notch of 60; then -132 with the 6 kept
        # dropped: two notches down; 66 pixels left is the horizontal wheel's negative side.
        self.assertEqual(seen["scroll"], [["WHEEL_HI", 132], ["WHEEL", 1], ["WHEEL_HI", -264], ["WHEEL", -2],
                                          ["HWHEEL_HI", -132], ["HWHEEL", -1]])
        # Without Xwayland the focused window is not known: Paste is the chord that pastes in any window.
        self.assertEqual(seen["keys"], [[28, 1], [28, 0], [42, 1], [110, 1], [110, 0], [42, 0], [115, 1], [115, 0]])
        # US keys: Shift (42) around P, $ (5), W, 0... in that order, every one pressed and released.
        shifted = {"P": 25, "$": 5, "W": 17, "!": 2}
        plain = {"a": 30, "s": 31, "0": 11, "r": 19, "d": 32, " ": 57}
        self.assertEqual(seen["text"], [change for c in "Pa$$W0rd! " * 8 for change in (
            [[42, 1], [shifted[c], 1], [shifted[c], 0], [42, 0]] if c in shifted else [[plain[c], 1], [plain[c], 0]])])
        # No window class is known there: Shift+Insert, which needs no letter of the layout.
        self.assertEqual(seen["layout"], [[42, 1], [110, 1], [110, 0], [42, 0]] * 2)


class UnlockOnDrm:
    """gnome-shell as the VM's display server, its input from evdev (scripts/lab/uinput/gnome-unlock.py): the
    phone wakes the screen from the shield (the idle one; on GNOME 48 the phone's own screen saver) through
    uinput; while the lock screen holds the portal back, nothing the phone sends goes out while another user's
    session is in front; back in front, the phone raises the prompt, types the password through uinput, and
    the portal carries input again. Nobody at the computer beyond the first consent."""

    def unlock(self, command):
        seen = in_vm(self, command, 900, "--gpu", "800x600", "--smp", "2", "--mem", "3072", modules="virtio-gpu")
        # The shield, then the phone's wake through uinput: the shield down, the portal back.
        self.assertEqual([seen["blank"], seen["woken"]], [[True, True, "true"], [True, "false", [True]]])
        self.assertEqual(seen["locked"], [True, True, "true"])
        # Another user's session in front: not a key from the phone reached the devices, then or after.
        self.assertEqual(seen["switched"], [True, 0, 0, 1])
        self.assertEqual([seen["password"], seen["wrong"]], ["password right", []])
        self.assertEqual(seen["unlocked"], [True, True, "false"])
        self.assertEqual(seen["back"], [True])
        return seen


class GnomeLockScreenOnDrm(UnlockOnDrm, unittest.TestCase):
    """GNOME 43: its portal asks again after the unlock, and the phone answers the dialog."""

    def test_the_phone_unlocks_through_uinput_and_the_portal_comes_back(self):
        self.assertIn("answers", self.unlock(f"/usr/bin/python3 {LAB}/gnome-unlock.py BIN"))


class Gnome48LockScreenOnDrm(UnlockOnDrm, unittest.TestCase):
    """GNOME 48 from Debian 13's chroot with the program built there (make test-debian13): its portal
    remembers the grant, so after the unlock the portal is back with nobody asked. The shield is the one the
    phone's screen saver raises, which the shell says is up only once drawn: 5-25 s after it ended the session
    here under emulation, and input goes on through uinput from the end of the session on."""

    def test_the_phone_unlocks_and_the_remembered_grant_comes_back(self):
        from harness import require
        root = os.path.join(os.environ.get("QUILLMOTE_LAB_CACHE", "/var/cache/quillmote-lab"), "trixie")
        binary = os.path.join(HERE, "..", "..", "build-debian13", "quillmote")
        require(os.path.exists(f"{root}/.quillmote-deps") and os.access(binary, os.X_OK),
                "no Debian 13 chroot or build in build-debian13 (make test-debian13 makes both)")
        seen = self.unlock(f"/bin/sh {LAB}/in-chroot.sh {root} /usr/bin/python3 {LAB}/gnome-unlock.py "
                           f"{os.path.normpath(binary)} phone")
        self.assertNotIn("answers", seen)
        self.assertLess(seen["restored_s"], 10)  # emulated: a restored grant takes about a second here


if __name__ == "__main__":
    if len(sys.argv) == 2 and os.environ.get("LAB_GUEST") == "1":
        with open(os.path.join(os.environ["LAB_OUT"], "seen.json"), "w") as f:
            json.dump(guest(sys.argv[1]), f)
        sys.exit(0)
    sys.path.insert(0, HERE)
    from harness import main
    main()
