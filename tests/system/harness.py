# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
"""Runs the real quillmote executable and talks to it over real sockets.

Every wait is bounded; every process started here is ended by its context manager.
"""
import contextlib
import os
import queue
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest

BIN = os.environ.get("QUILLMOTE_BIN", "")
IN_CI = os.environ.get("CI") == "true"
HERE = os.path.dirname(os.path.abspath(__file__))


def require(condition, reason):
    """Skips the test when a prerequisite is missing; under CI that is a failure."""
    if condition:
        return
    if IN_CI:
        raise AssertionError("prerequisite missing under CI: " + reason)
    raise unittest.SkipTest(reason)


def until(probe, timeout=5.0, every=0.05):
    """probe's first true value within timeout, else its last one."""
    deadline = time.monotonic() + timeout
    while not (value := probe()) and time.monotonic() < deadline:
        time.sleep(every)
    return value


def stop(proc, sig=signal.SIGTERM):
    """Ends a process started here: sig, then SIGKILL if it is still there after 5 s."""
    if proc.poll() is None:
        proc.send_signal(sig)
        try:
            proc.wait(timeout=5)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait(timeout=5)


class Server:
    """quillmote --headless with its own settings folder, on a port the system chooses unless port=None,
    and no session bus unless the test brings one (one autolaunched for a display outlives it). Not in
    a Wayland session, and never on this machine's /dev/uinput, unless the test says so."""

    def __init__(self, *, args=("--headless", "--input", "none"), prefix=(), env=None, config_home=None, cwd=None,
                 port="0", show_link=True, ask_new_devices=False):
        if show_link and "--headless" in args:
            args = (*args, "--show-link")
        for option in ("--port", "--web-port"):
            if port is not None and not any(a.startswith(option) for a in args):
                args = (*args, option, port)
        self._own_config = config_home is None
        self.config_home = config_home or tempfile.mkdtemp(prefix="quillmote-test-")
        if self._own_config and not ask_new_devices:
            # Phones made of namespaces pair without a question unless the test is about that.
            os.makedirs(os.path.join(self.config_home, "Quillmote"), mode=0o700)
            settings = os.open(os.path.join(self.config_home, "Quillmote", "Quillmote.conf"),
                               os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o600)
            os.write(settings, b"[General]\nAskBeforeNewDevice=false\n")
            os.close(settings)
        full_env = {**os.environ, "DBUS_SESSION_BUS_ADDRESS": "unix:path=/nonexistent/quillmote-test-bus",
                    "XDG_CONFIG_HOME": self.config_home, "XDG_SESSION_TYPE": "", "WAYLAND_DISPLAY": "",
                    "QUILLMOTE_UINPUT_DEVICE": "/nonexistent/uinput"}
        full_env.update(env or {})
        self.proc = subprocess.Popen([*prefix, BIN, *args], stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                     stdin=subprocess.DEVNULL, env=full_env, start_new_session=True, cwd=cwd)
        self.lines = []
        self._queue = queue.Queue()
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()
        self._seen = 0

    def _read(self):
        for raw in self.proc.stdout:
            line = raw.decode("utf-8", "replace").rstrip("\n")
            self._queue.put(line)
        self._queue.put(None)

    def _drain(self, timeout):
        try:
            line = self._queue.get(timeout=timeout)
        except queue.Empty:
            return False
        if line is not None:
            self.lines.append(line)
        return line is not None

    def wait_for(self, pattern, timeout=10.0, after_seen=True):
        """The first line matching pattern (only lines after the last wait_for match, unless
        after_seen is False); None when none comes within timeout."""
        rx = re.compile(pattern)
        deadline = time.monotonic() + timeout
        checked = self._seen if after_seen else 0
        while True:
            for i in range(checked, len(self.lines)):
                m = rx.search(self.lines[i])
                if m:
                    if after_seen:
                        self._seen = i + 1
                    return m
            checked = len(self.lines)
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                return None
            if not self._drain(min(remaining, 0.2)) and self.proc.poll() is not None and self._queue.empty():
                return None

    def settle(self, seconds=0.3):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            self._drain(0.05)

    @property
    def port(self):
        return int(self._required(r"^Listening on port (\d+)$"))

    @property
    def code(self):
        return self._required(r"^Pairing code: (\d{6})$")

    def _required(self, pattern):
        m = self.wait_for(pattern, after_seen=False)
        if not m:
            raise AssertionError(f"quillmote printed no line matching {pattern!r} (exit status "
                                 f"{self.proc.poll()}); its output: {self.lines}")
        return m.group(1)

    def stop(self, sig=signal.SIGTERM, timeout=5.0):
        """Sends sig and returns the exit status (None if it had to be killed)."""
        if self.proc.stdout.closed:
            return self.proc.returncode
        if self.proc.poll() is None:
            self.proc.send_signal(sig)
        try:
            status = self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            status = None
        with contextlib.suppress(ProcessLookupError):  # what it left behind (a launched application) holds its output open
            os.killpg(self.proc.pid, signal.SIGKILL)
        self.proc.wait(timeout=5)
        self._reader.join(timeout=5)
        self.settle(0.05)
        if not self._reader.is_alive():  # closing under a blocked reader would block too
            self.proc.stdout.close()
        return status

    def paired_client(self, timeout=3.0):
        """A client that sent the code and was answered PAIR_SUCCESS."""
        client = Client(self.port, timeout=timeout)
        reply = client.exchange(b"PAIR:" + self.code.encode(), timeout=timeout)
        if not reply.startswith(b"PAIR_SUCCESS|"):
            client.close()
            raise AssertionError(f"pairing was answered {reply!r}")
        return client

    def resident_kib(self):
        with open(f"/proc/{self.proc.pid}/status") as f:
            return next(int(line.split()[1]) for line in f if line.startswith("VmRSS:"))

    def cpu_seconds(self):
        with open(f"/proc/{self.proc.pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

    def __enter__(self):
        return self

    def __exit__(self, exc_type=None, *exc):
        status = self.stop()
        if exc_type is not None:
            # What the server said is the first thing to read when a test fails.
            print(f"--- quillmote exited with {status}; its output:", file=sys.stderr)
            for line in self.lines:
                print("    " + line, file=sys.stderr)
        if self._own_config:
            shutil.rmtree(self.config_home, ignore_errors=True)


SCREEN = (1280, 800)
# Every X server of a run gets a display number of its own: reusing one that a server has
# just given up now and then leaves the next client unable to connect.
_displays = iter(range(300 + (os.getpid() % 500) * 20, 300 + (os.getpid() % 500) * 20 + 20))


def _free_display():
    for number in _displays:
        if not os.path.exists(f"/tmp/.X{number}-lock") and not os.path.exists(f"/tmp/.X11-unix/X{number}"):
            return f":{number}"
    raise AssertionError("no free X display number left for this run")


class Xvfb:
    def __init__(self, display=None):
        self.display = display or _free_display()
        args = ["Xvfb", self.display, "-noreset", "-nolisten", "tcp", "-screen", "0",
                f"{SCREEN[0]}x{SCREEN[1]}x24"]
        self.proc = subprocess.Popen(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while self.display and time.monotonic() < deadline and not self._answers():
            time.sleep(0.05)

    def _answers(self):
        try:
            return subprocess.run(["xdotool", "getmouselocation"], env=self.env(), capture_output=True,
                                  timeout=5).returncode == 0
        except subprocess.TimeoutExpired:  # a server still starting on a busy machine
            return False

    def env(self):
        return {**os.environ, "DISPLAY": self.display}

    def run(self, *args):
        return subprocess.run(args, env=self.env(), capture_output=True, timeout=10, check=True).stdout.decode()

    def pointer(self):
        m = re.match(r"x:(-?\d+) y:(-?\d+)", self.run("xdotool", "getmouselocation"))
        return int(m.group(1)), int(m.group(2))

    def stop(self, sig=signal.SIGTERM):
        stop(self.proc, sig)


class Client:
    """One TCP connection; exchange() sends a message and returns the reply (b"" = silence)."""

    def __init__(self, port, host="127.0.0.1", source=None, timeout=3.0):
        self.sock = socket.create_connection((host, port), timeout=timeout,
                                             source_address=(source, 0) if source else None)

    def send(self, data):
        self.sock.sendall(data)

    def receive(self, timeout=2.0):
        self.sock.settimeout(timeout)
        try:
            return self.sock.recv(4096)
        except socket.timeout:
            return b""

    def exchange(self, data, timeout=2.0):
        self.send(data)
        return self.receive(timeout)

    def reset(self):
        import struct
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        self.sock.close()

    def close(self):
        self.sock.close()


def write_office_profile(directory):
    """A LibreOffice profile that saves plain text without asking, with its corrections while typing off."""
    settings = {"Office.Common/Save/Document": ("WarnAlienFormat", "false"),
                "Office.Common/Misc": ("ShowTipOfTheDay", "false"),
                "Office.Writer/AutoFunction/Completion": ("Enable", "false"),
                "Office.Writer/AutoFunction/Format/ByInput": ("Enable", "false"),
                "Setup/Office": ("ooSetupLastVersion", "99")}
    items = "".join(f'<item oor:path="/org.openoffice.{path}"><prop oor:name="{name}" oor:op="fuse">'
                    f'<value>{value}</value></prop></item>' for path, (name, value) in settings.items())
    os.makedirs(os.path.join(directory, "user"))
    with open(os.path.join(directory, "user", "registrymodifications.xcu"), "w") as f:
        f.write(f'<?xml version="1.0" encoding="UTF-8"?><oor:items xmlns:oor="http://openoffice.org/2001/registry">'
                f'{items}</oor:items>')


def main():
    """unittest's main, with exit status 77 when everything was skipped (CTest's 'skipped')."""
    if not (BIN and os.access(BIN, os.X_OK)):
        print("QUILLMOTE_BIN does not name the executable", file=sys.stderr)
        sys.exit(1)
    result = unittest.main(exit=False, verbosity=2).result
    # A class skipped in setUpClass is listed among the skipped without having run: only skipped
    # tests count against those that ran.
    ran = result.testsRun - sum(isinstance(test, unittest.TestCase) for test, _ in result.skipped)
    failed = len(result.failures) + len(result.errors)
    print(f"{ran - failed} passed, {failed} failed, {len(result.skipped)} skipped")
    if failed:
        sys.exit(1)
    sys.exit(77 if ran == 0 and result.skipped else 0)
