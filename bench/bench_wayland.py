# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
"""MOVE -> ACK_MOVE round trips with the portal backend (headless KWin and mutter), through the
portal's own calls and through libei where the portal hands that out, and the uinput backend
(Debian's kernel under QEMU) next to x11 on Xvfb, in one run. The guest emulates its CPU (TCG),
so uinput is compared with the none backend measured in the same guest. On the portal, and for
XTest on Xvfb, typing latency too: from TYPE: to the last key at the focused X window, and what a
character and a move cost there (2,000 typed characters, 500 moves).
Usage: QUILLMOTE_BIN=... /usr/bin/python3 bench_wayland.py"""
import base64
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "system"))
if sys.argv[1:2] == ["guest"]:
    os.environ["QUILLMOTE_BIN"] = sys.argv[2]
from harness import BIN, Client, Server, Xvfb  # noqa: E402

MOVES = 2000
UDEVD = "/lib/systemd/systemd-udevd" if os.path.exists("/lib/systemd/systemd-udevd") else None


def round_trips(server):
    client = Client(server.port, timeout=10)
    client.exchange(b"PAIR:" + server.code.encode(), timeout=10)
    times = []
    for i in range(MOVES):
        start = time.perf_counter()
        client.send(b"MOVE:-1,0" if i % 2 else b"MOVE:1,0")
        if client.receive(5) != b"ACK_MOVE":
            raise SystemExit("no ACK_MOVE")
        times.append((time.perf_counter() - start) * 1e6)
    client.close()
    times.sort()
    return times[len(times) // 2], times[int(len(times) * 0.99)]


def typing(server, stack):
    """Milliseconds (median) from TYPE: to the text's last key press seen by the stack's observer,
    for 10, 200 and 2,000 characters that take one key each."""
    client = Client(server.port, timeout=10)
    client.exchange(b"PAIR:" + server.code.encode(), timeout=10)
    medians = {}
    for n in (10, 200, 2000):
        message = b"TYPE:" + base64.b64encode(("typed text " * 200)[:n].encode())
        times = []
        for _ in range(3 if n == 2000 else 7):
            # Only what the observer appends is read: reading the whole log at every look would
            # take the CPU the desktop needs.
            with open(stack.log) as log:
                log.seek(0, os.SEEK_END)
                seen, start = "", time.perf_counter()
                client.send(message)
                deadline = start + 60
                while seen.count("keypress") < n:
                    if time.perf_counter() > deadline:
                        raise SystemExit(f"{n} typed characters did not all arrive")
                    time.sleep(0.002)
                    seen += log.read()
                times.append((time.perf_counter() - start) * 1e3)
            time.sleep(0.3)
        medians[n] = sorted(times)[len(times) // 2]
    client.close()
    return medians


def moves_at_desktop(server, stack, n=500):
    """Microseconds per move from the first of n MOVE:1,0 to the pointer's arrival n pixels on, as
    the observer sees it (the median of three)."""
    client = Client(server.port, timeout=10)
    client.exchange(b"PAIR:" + server.code.encode(), timeout=10)
    times = []
    for _ in range(3):
        client.exchange(b"MOVE:-5000,-5000", timeout=10)
        time.sleep(0.5)
        with open(stack.log) as log:
            log.seek(0, os.SEEK_END)
            seen, start = "", time.perf_counter()
            for _ in range(n):
                client.send(b"MOVE:1,0")
            deadline = start + 60
            while not re.search(rf"root={n},0 ", seen):
                if time.perf_counter() > deadline:
                    raise SystemExit(f"{n} moves did not all arrive")
                time.sleep(0.002)
                seen += log.read()
            times.append((time.perf_counter() - start) * 1e6 / n)
    client.close()
    return sorted(times)[1]


class XvfbObserver:
    """The lab's observer window on Xvfb: what XTest's input looks like to the same measurements."""

    def __init__(self, xvfb):
        import tempfile
        self.log = tempfile.mktemp(prefix="qm-xcover-")
        lab = os.path.join(HERE, "..", "scripts", "lab", "wayland")
        self.proc = subprocess.Popen(["/usr/bin/python3", "-u", os.path.join(lab, "xcover.py")],
                                     env={**xvfb.env()}, stdout=open(self.log, "w"), stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while "mapped" not in open(self.log).read():
            if time.monotonic() > deadline:
                raise SystemExit("the observer did not map on Xvfb")
            time.sleep(0.05)

    def stop(self):
        self.proc.kill()
        self.proc.wait(10)
        os.unlink(self.log)


def acceleration(server):
    """What libinput's default (adaptive) profile makes of one 100-pixel move, and of ten 10-pixel
    moves 10 ms apart: the compositor's view of the device. libinput wants udev's database."""
    if not UDEVD or not shutil.which("libinput"):
        return None
    subprocess.run(["udevadm", "settle", "-t", "10"], check=True)
    node = next("/dev/input/" + n for n in os.listdir("/sys/class/input") if n.startswith("event") and
                open(f"/sys/class/input/{n}/device/name").read().strip() == "Quillmote pointer")
    watcher = subprocess.Popen(["stdbuf", "-oL", "libinput", "debug-events", "--device", node],
                               stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    client = Client(server.port, timeout=10)
    client.exchange(b"PAIR:" + server.code.encode(), timeout=10)
    time.sleep(1.5)
    client.exchange(b"MOVE:100,0", timeout=0.5)
    time.sleep(0.5)
    for _ in range(10):
        client.exchange(b"MOVE:10,0", timeout=0.5)
        time.sleep(0.01)
    time.sleep(0.5)
    client.close()
    watcher.send_signal(signal.SIGINT)
    output = watcher.communicate(timeout=10)[0]
    moved = [float(m) for m in re.findall(r"POINTER_MOTION\s+\S+\s+(-?[\d.]+)/", output)]
    if len(moved) != 11:
        print("libinput saw", output, file=sys.stderr)
        return None
    return [moved[0], sum(moved[1:])]


def guest():
    """In the VM: none, then uinput, on the same emulated CPU."""
    subprocess.run(["ip", "link", "set", "lo", "up"], check=True)
    if UDEVD:  # before the devices exist, so that it sees them come
        subprocess.run([UDEVD, "--daemon"], check=True)
    rows = {}
    for backend in ("none", "uinput"):
        with Server(args=("--headless", "--input", backend), env={"QUILLMOTE_UINPUT_DEVICE": "/dev/uinput"}) as s:
            rows[backend] = round_trips(s)
            if backend == "uinput":
                rows["acceleration"] = acceleration(s)
    with open(os.path.join(os.environ["LAB_OUT"], "bench.json"), "w") as f:
        json.dump(rows, f)


def portal(kind, libei):
    """Round trips, typing and moves through the portal's calls, or through libei (auto); None
    when the portal hands out no libei connection."""
    from test_wayland import GnomePortal, KdePortal, Stack
    desktop = {"kde": KdePortal, "gnome": GnomePortal}[kind]
    stack = Stack(kind)
    try:
        mark = len(stack.lines())
        with Server(args=("--headless", "--input", "auto" if libei else "portal"), env=stack.env) as server:
            desktop.stack = stack
            desktop.answer_dialog(mark)
            if not server.wait_for("^The desktop allows remote input$", timeout=20):
                raise SystemExit(f"{kind}: input not allowed")
            if libei and not server.wait_for("^Input goes through libei$", timeout=5):
                return None
            return round_trips(server), typing(server, stack), moves_at_desktop(server, stack)
    finally:
        stack.stop()


def uinput_in_guest():
    """The none and uinput backends' round trips, and the pointer's acceleration, in the QEMU guest."""
    lab = os.path.join(HERE, "..", "scripts", "lab", "uinput")
    work = os.environ.get("QUILLMOTE_LAB_DIR", "/var/tmp/quillmote-lab")
    out = os.path.join(work, "uinput", f"bench-{os.getpid()}")
    for step in ("fetch-kernel.sh", "build-initramfs.sh"):
        subprocess.run(["bash", os.path.join(lab, step), work], check=True, capture_output=True, timeout=600)
    subprocess.run(["/usr/bin/python3", os.path.join(lab, "run-vm.py"), "--dir", work, "--out", out, "--timeout",
                    "300", f"/usr/bin/python3 {os.path.abspath(__file__)} guest {BIN}"], check=True, capture_output=True,
                   timeout=360)
    with open(os.path.join(out, "bench.json")) as f:
        guest_rows = json.load(f)
    subprocess.run(["rm", "-rf", out])
    return guest_rows


def main():
    rows = []
    xvfb = Xvfb()
    try:
        observer = XvfbObserver(xvfb)
        try:
            with Server(args=("--headless", "--input", "x11"), env={"DISPLAY": xvfb.display}) as server:
                x11 = round_trips(server)
                typed = {"XTest (x11 on Xvfb)": (typing(server, observer), moves_at_desktop(server, observer))}
        finally:
            observer.stop()
    finally:
        xvfb.stop()
    rows.append(("x11 on Xvfb (baseline)", x11, x11))
    for kind, desktop in (("kde", "KWin (headless)"), ("gnome", "mutter (headless)")):
        for libei in (False, True):
            label = f"{'libei' if libei else 'portal'} on {desktop}"
            measured = portal(kind, libei)
            if measured is None:
                print(f"{label}: the portal hands out no libei connection", file=sys.stderr)
                continue
            moves, typed[label] = measured[0], measured[1:]
            rows.append((label, moves, x11))

    guest_rows = uinput_in_guest() if shutil.which("qemu-system-x86_64") else {}
    if guest_rows:
        rows.append(("none in the QEMU guest (guest baseline)", guest_rows["none"], guest_rows["none"]))
        rows.append(("uinput in the QEMU guest", guest_rows["uinput"], guest_rows["none"]))
    else:  # a machine with the desktops but not the test tools (the Debian 13 lab's chroot)
        print("uinput: not measured (no qemu-system-x86_64)", file=sys.stderr)

    print(f"{'MOVE:1,0 -> ACK_MOVE, ' + str(MOVES) + ' each (µs)':<44} {'p50':>9} {'p99':>9} "
          f"{'p50/base':>9} {'p99/base':>9}")
    for label, (p50, p99), (b50, b99) in rows:
        print(f"{label:<44} {p50:9.1f} {p99:9.1f} {p50 / b50:8.2f}x {p99 / b99:8.2f}x")
    print(f"\n{'TYPE: -> last key at the desktop (ms, median)':<44} {'10':>9} {'200':>9} {'2000':>9} "
          f"{'ms/char':>9} {'/XTest':>7} {'µs/move':>9} {'/XTest':>7}")
    base_char = typed["XTest (x11 on Xvfb)"][0][2000] / 2000
    base_move = typed["XTest (x11 on Xvfb)"][1]
    for label, (medians, per_move) in typed.items():
        per_char = medians[2000] / 2000
        print(f"{label:<44} " + " ".join(f"{medians[n]:9.1f}" for n in (10, 200, 2000)) +
              f" {per_char:9.3f} {per_char / base_char:6.2f}x {per_move:9.1f} {per_move / base_move:6.2f}x")
    accel = guest_rows.get("acceleration")
    print("\nuinput pointer through libinput's default profile (pixels on screen for pixels sent):")
    if accel:
        print(f"  one MOVE:100,0 after a pause      {accel[0]:6.1f} for 100")
        print(f"  ten MOVE:10,0, 10 ms apart         {accel[1]:6.1f} for 100")
    else:
        print("  not measured (needs QEMU, and udev and libinput-tools in the guest)")


if __name__ == "__main__":
    if sys.argv[1:2] == ["guest"]:
        guest()
    else:
        main()
