# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
"""What the browser-remote tests drive: headless Chromium over the DevTools protocol (a pipe, so
it works from inside a network namespace), a raw WebSocket client, and two hosts made of network
namespaces, a computer and a phone, joined by a veth pair."""
import base64
import hashlib
import hmac
import json
import os
import re
import select
import shutil
import socket
import struct
import subprocess
import tempfile
import time

from harness import require

CHROMIUM = shutil.which("chromium")
# Debian's chromium reaches for the network unless told not to; there is none here.
QUIET = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--remote-debugging-pipe"]


def web_port(server):
    return int(server._required(r"^Browser remote listening on port (\d+)$"))


def answer(secret_text, challenge):
    secret = base64.urlsafe_b64decode(secret_text + "=" * (-len(secret_text) % 4))
    return hmac.new(secret, challenge.encode(), hashlib.sha256).hexdigest()


def stored_secret(config_home):
    with open(os.path.join(config_home, "Quillmote", "Quillmote.conf"), encoding="utf-8") as f:
        return re.search(r"^WebRemoteSecret=(\S+)$", f.read(), re.M).group(1)


class Chromium:
    """One headless browser showing a phone-sized page whose touches are emulated."""

    def __init__(self, prefix=(), dark=False):
        require(CHROMIUM is not None, "chromium is not installed")
        self.profile = tempfile.mkdtemp(prefix="quillmote-chromium-")
        to_browser, self._out = os.pipe()
        self._in, from_browser = os.pipe()
        self.proc = subprocess.Popen([*prefix, CHROMIUM, *QUIET, "--user-data-dir=" + self.profile, "about:blank"],
                                     pass_fds=(3, 4), preexec_fn=lambda: (os.dup2(to_browser, 3),
                                                                          os.dup2(from_browser, 4)),
                                     stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL, start_new_session=True)
        os.close(to_browser)
        os.close(from_browser)
        self._buffer, self._next, self._answers, self.session = b"", 0, {}, None
        target = self.call("Target.createTarget", {"url": "about:blank"}, timeout=30)["targetId"]
        self.session = self.call("Target.attachToTarget", {"targetId": target, "flatten": True})["sessionId"]
        self.call("Emulation.setDeviceMetricsOverride", {"width": 390, "height": 844, "deviceScaleFactor": 2,
                                                         "mobile": True})
        self.call("Emulation.setTouchEmulationEnabled", {"enabled": True, "maxTouchPoints": 5})
        self.call("Emulation.setEmulatedMedia", {"features": [{"name": "prefers-color-scheme",
                                                               "value": "dark" if dark else "light"}]})

    def send(self, method, params=None):
        """Sends a command without waiting for its answer; returns its id."""
        self._next += 1
        message = {"id": self._next, "method": method, "params": params or {}, "sessionId": self.session}
        os.write(self._out, json.dumps({k: v for k, v in message.items() if v is not None}).encode() + b"\0")
        return self._next

    def answer(self, ident, timeout=10):
        deadline = time.monotonic() + timeout
        while ident not in self._answers:
            while b"\0" not in self._buffer:
                remaining = deadline - time.monotonic()
                if remaining <= 0 or not select.select([self._in], [], [], remaining)[0]:
                    raise AssertionError("chromium did not answer in time")
                chunk = os.read(self._in, 1 << 20)
                if not chunk:
                    raise AssertionError("chromium closed its pipe")
                self._buffer += chunk
            raw, self._buffer = self._buffer.split(b"\0", 1)
            reply = json.loads(raw)
            if "id" in reply:  # events (no id) are not needed
                self._answers[reply["id"]] = reply
        reply = self._answers.pop(ident)
        if "error" in reply:
            raise AssertionError(f"command {ident}: {reply['error']}")
        return reply.get("result", {})

    def call(self, method, params=None, timeout=10):
        return self.answer(self.send(method, params), timeout)

    def open(self, url, state="connected"):
        self.call("Page.navigate", {"url": url})
        self.wait_until(f"document.body && document.body.dataset.state === '{state}'")

    def js(self, expression):
        result = self.call("Runtime.evaluate", {"expression": expression, "returnByValue": True})
        if "exceptionDetails" in result:
            raise AssertionError(f"{expression}: {result['exceptionDetails']}")
        return result["result"].get("value")

    def wait_until(self, expression, timeout=10):
        deadline = time.monotonic() + timeout
        while not self.js(expression):
            if time.monotonic() > deadline:
                raise AssertionError(f"never true within {timeout} s: {expression}")
            time.sleep(0.05)

    def touch(self, kind, *points, wait=True):
        ident = self.send("Input.dispatchTouchEvent", {"type": kind, "touchPoints": [
            {"x": x, "y": y, "id": i} for i, (x, y) in enumerate(points)]})
        return self.answer(ident) if wait else ident

    def tap(self, *points):
        self.touch("touchStart", *points)
        self.touch("touchEnd")

    def center(self, selector):
        return self.js(f"(() => {{ const e = document.querySelector({json.dumps(selector)});"
                       " e.scrollIntoView({block: 'center'}); const r = e.getBoundingClientRect();"
                       " return [r.x + r.width / 2, r.y + r.height / 2]; })()")

    def tap_on(self, *selectors):
        for selector in selectors:
            self.tap(self.center(selector))
            time.sleep(0.05)

    def stroke(self, start, delta, seconds=1.0, steps_per_second=120):
        """One finger moved by delta over `seconds`, as a phone reports it (about 120 Hz). The
        browser answers each touch only after a frame, so they are sent without waiting."""
        self.touch("touchStart", start)
        steps, began = int(seconds * steps_per_second), time.monotonic()
        sent = []
        for i in range(1, steps + 1):
            sent.append(self.touch("touchMove", (start[0] + delta[0] * i / steps, start[1] + delta[1] * i / steps),
                                   wait=False))
            time.sleep(max(0.0, began + i / steps_per_second - time.monotonic()))
        for ident in sent:
            self.answer(ident)
        self.touch("touchEnd")

    def screenshot(self, path):
        with open(path, "wb") as f:
            f.write(base64.b64decode(self.call("Page.captureScreenshot", {"format": "png"})["data"]))

    def close(self):
        os.killpg(self.proc.pid, 9)
        self.proc.wait(timeout=10)
        os.close(self._out)
        os.close(self._in)
        shutil.rmtree(self.profile, ignore_errors=True)


class WebSocket:
    """A WebSocket client on a raw socket, so that a test can send what no browser would."""

    def __init__(self, port, host_header=None, origin=None, source=None):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=3,
                                             source_address=(source, 0) if source else None)
        host_header = host_header or f"127.0.0.1:{port}"
        origin = f"http://{host_header}" if origin is None else origin
        self.sock.sendall((f"GET /ws HTTP/1.1\r\nHost: {host_header}\r\nUpgrade: websocket\r\n"
                           "Connection: Upgrade\r\nSec-WebSocket-Version: 13\r\n"
                           f"Sec-WebSocket-Key: {base64.b64encode(os.urandom(16)).decode()}\r\n"
                           + (f"Origin: {origin}\r\n" if origin else "") + "\r\n").encode())
        self._buffer = b""
        while b"\r\n\r\n" not in self._buffer and (chunk := self.sock.recv(4096)):
            self._buffer += chunk
        head, _, self._buffer = self._buffer.partition(b"\r\n\r\n")
        self.status = int(head.split(b" ")[1]) if head else 0
        # The server speaks first, with the challenge for the link's secret.
        self.challenge = self.receive()[len("CHALLENGE:"):] if self.status == 101 else None

    def send(self, payload, opcode=1):
        data = payload.encode() if isinstance(payload, str) else payload
        mask, size = os.urandom(4), len(data)
        head = struct.pack("!BB", 0x80 | opcode, 0x80 | size) if size < 126 else (
            struct.pack("!BBH", 0x80 | opcode, 0xFE, size) if size < 65536 else
            struct.pack("!BBQ", 0x80 | opcode, 0xFF, size))
        self.sock.sendall(head + mask + bytes(b ^ mask[i % 4] for i, b in enumerate(data)))

    def _read(self, count, deadline):
        while len(self._buffer) < count:
            self.sock.settimeout(max(0.01, deadline - time.monotonic()))
            chunk = self.sock.recv(65536)
            if not chunk:
                raise ConnectionError("closed")
            self._buffer += chunk
        out, self._buffer = self._buffer[:count], self._buffer[count:]
        return out

    def receive(self, timeout=2.0, answer_pings=True):
        """The next text message; "" for silence, None once the server closed the connection."""
        deadline = time.monotonic() + timeout
        try:
            while True:
                first, size = self._read(2, deadline)
                size &= 0x7F
                if size >= 126:
                    size = int.from_bytes(self._read(2 if size == 126 else 8, deadline), "big")
                payload = self._read(size, deadline)
                if first & 0x0F == 8:
                    return None
                if first & 0x0F == 9 and answer_pings:
                    self.send(payload, opcode=10)
                elif first & 0x0F == 1:
                    return payload.decode()
        except (socket.timeout, TimeoutError):
            return ""
        except OSError:
            return None

    def closed(self, timeout=3.0):
        """Whether the server closes the connection within timeout, whatever it sends before."""
        deadline = time.monotonic() + timeout
        while (message := self.receive(max(0.01, deadline - time.monotonic()))) is not None:
            if message == "":
                return False
        return True

    def exchange(self, message, timeout=2.0):
        self.send(message)
        return self.receive(timeout)

    def close(self):
        self.sock.close()


def http(port, head):
    """Sends a raw request head; returns (status, headers, body), status 0 when closed unanswered."""
    with socket.create_connection(("127.0.0.1", port), timeout=3) as s:
        s.sendall(head.encode() if isinstance(head, str) else head)
        data = b""
        try:
            while chunk := s.recv(65536):
                data += chunk
        except ConnectionResetError:  # closed unanswered, with input still unread
            pass
    head, _, body = data.partition(b"\r\n\r\n")
    lines = head.decode("latin-1").split("\r\n")
    return (int(lines[0].split(" ")[1]) if data else 0,
            dict(line.split(": ", 1) for line in lines[1:] if ": " in line), body)


class Hosts:
    """A computer and a phone, each a network namespace, on one link: 198.51.100.1 and .2. The
    computer's default route goes over it, so that the link names that address."""

    def __init__(self):
        from test_netns import Namespace, require_root_tools
        require_root_tools()
        self.pc, self.phone = Namespace("pc"), Namespace("phone")
        self.pc.ip("link", "add", "qm0", "type", "veth", "peer", "name", "qm1", "netns", self.phone.name)
        for ns, dev, address in ((self.pc, "qm0", "198.51.100.1/24"), (self.phone, "qm1", "198.51.100.2/24")):
            ns.ip("addr", "add", address, "dev", dev)
            ns.ip("link", "set", dev, "up")
        self.pc.ip("route", "add", "default", "via", "198.51.100.254", "dev", "qm0", "onlink")

    def phone_link(self, up):
        self.phone.ip("link", "set", "qm1", "up" if up else "down")

    def delete(self):
        self.phone.delete()
        self.pc.delete()
