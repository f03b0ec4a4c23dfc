# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
"""What the browser-remote tests drive: headless Chromium over the DevTools protocol (a pipe, so it
works inside a network namespace), a WebSocket client, and a computer and a phone made of namespaces."""
import base64
import hashlib
import hmac
import json
import os
import re
import select
import shutil
import socket
import subprocess
import tempfile
import time

from harness import require, until

CHROMIUM = shutil.which("chromium")
# Debian's chromium reaches for the network unless told not to; there is none here.
QUIET = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run", "--disable-sync",
         "--disable-background-networking", "--disable-component-update", "--remote-debugging-pipe"]


def web_port(server):
    return int(server._required(r"^Browser remote listening on port (\d+)$"))


def key_bytes(text):
    return base64.urlsafe_b64decode(text + "=" * (-len(text) % 4))


def answer(secret_text, challenge):
    return hmac.new(key_bytes(secret_text), challenge.encode(), hashlib.sha256).hexdigest()


class Channel:
    """The page's half of the sealed channel, written again from its description (python3-cryptography)."""

    def __init__(self, key, challenge, nonce):
        from cryptography.hazmat.primitives.ciphers.aead import ChaCha20Poly1305
        material = bytes.fromhex(challenge) + nonce
        self.up, self.down = (ChaCha20Poly1305(hmac.new(key, label + material, hashlib.sha256).digest())
                              for label in (b"quillmote up", b"quillmote down"))
        self.sent = self.received = 0

    @staticmethod
    def nonce(number):
        return bytes(4) + number.to_bytes(8, "little")

    def seal(self, text):
        plain = text.encode()
        bucket = 32
        while bucket < len(plain) and bucket < 4096:
            bucket *= 2
        size = bucket if len(plain) <= bucket else -(-len(plain) // 4096) * 4096
        self.sent += 1
        return self.up.encrypt(self.nonce(self.sent - 1), plain.ljust(size, b"\0"), None)

    def open(self, sealed):
        plain = self.down.decrypt(self.nonce(self.received), sealed, None)
        self.received += 1
        return plain.split(b"\0", 1)[0].decode()


def stored_secret(config_home):
    with open(os.path.join(config_home, "Quillmote", "Quillmote.conf"), encoding="utf-8") as f:
        return re.search(r"^WebRemoteSecret=(\S+)$", f.read(), re.M).group(1)


class Chromium:
    """One headless browser showing a phone-sized page whose touches are emulated."""

    def __init__(self, prefix=(), dark=False, wayland_env=None, url="about:blank"):
        """wayland_env: a window on that Wayland display, showing url, instead of a headless browser."""
        require(CHROMIUM is not None, "chromium is not installed")
        self.profile = tempfile.mkdtemp(prefix="quillmote-chromium-")
        to_browser, self._out = os.pipe()
        self._in, from_browser = os.pipe()
        flags = QUIET if wayland_env is None else [f for f in QUIET if f != "--headless"] + ["--ozone-platform=wayland"]
        self.proc = subprocess.Popen([*prefix, CHROMIUM, *flags, "--user-data-dir=" + self.profile, url],
                                     env=None if wayland_env is None else {**os.environ, **wayland_env},
                                     pass_fds=(3, 4), preexec_fn=lambda: (os.dup2(to_browser, 3), os.dup2(from_browser, 4)),
                                     stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                     start_new_session=True)
        os.close(to_browser)
        os.close(from_browser)
        self._buffer, self._next, self._answers, self.session = b"", 0, {}, None
        if wayland_env is None:
            target = self.call("Target.createTarget", {"url": "about:blank"}, timeout=30)["targetId"]
        else:  # the window's own tab: another window could take the keyboard from it
            pages = until(lambda: [t["targetId"] for t in self.call("Target.getTargets", timeout=30)["targetInfos"]
                                   if t["type"] == "page"], 30)
            assert pages, "chromium shows no page"
            target = pages[0]
        self.session = self.call("Target.attachToTarget", {"targetId": target, "flatten": True})["sessionId"]
        self.call("Emulation.setDeviceMetricsOverride",
                  {"width": 390, "height": 844, "deviceScaleFactor": 2, "mobile": True})
        self.call("Emulation.setTouchEmulationEnabled", {"enabled": True, "maxTouchPoints": 5})
        scheme = [{"name": "prefers-color-scheme", "value": "dark" if dark else "light"}]
        self.call("Emulation.setEmulatedMedia", {"features": scheme})

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
                self._buffer += os.read(self._in, 1 << 20) or b"\0{\"closed\": 1}\0"
            raw, self._buffer = self._buffer.split(b"\0", 1)
            reply = json.loads(raw or "{}")
            assert "closed" not in reply, "chromium closed its pipe"
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
        def probe():
            try:
                return self.js(expression)
            except AssertionError as gone:  # the document navigated away while asked: not yet
                if str(gone).startswith("command ") and ("navigated or closed" in str(gone) or "context" in str(gone)):
                    return False
                raise
        if not until(probe, timeout):
            raise AssertionError(f"never true within {timeout} s: {expression}")

    def reload(self):
        """Reloads as the user would; an evaluated location.reload() loses its answer when the
        navigation overtakes it."""
        self.call("Page.reload")

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
        steps, began, sent = int(seconds * steps_per_second), time.monotonic(), []
        for i in range(1, steps + 1):
            sent.append(self.touch("touchMove", (start[0] + delta[0] * i / steps, start[1] + delta[1] * i / steps),
                                   wait=False))
            time.sleep(max(0.0, began + i / steps_per_second - time.monotonic()))
        [self.answer(ident) for ident in sent]
        self.touch("touchEnd")

    def close(self):
        os.killpg(self.proc.pid, 9)
        self.proc.wait(timeout=10)
        os.close(self._out)
        os.close(self._in)
        shutil.rmtree(self.profile, ignore_errors=True)


class WebSocket:
    """A client (python3-websocket) that sends what no browser would; it answers pings only while it reads."""

    def __init__(self, port, host_header=None, origin=None, source=None):
        import websocket
        self.errors = (websocket.WebSocketTimeoutException, websocket.WebSocketConnectionClosedException, OSError)
        host_header = host_header or f"127.0.0.1:{port}"
        self.ws, self.status, self.challenge, self.channel, self.device = websocket.WebSocket(), 101, None, None, None
        self.input = None
        try:
            self.ws.connect(f"ws://127.0.0.1:{port}/ws", host=host_header, timeout=3,
                            origin=f"http://{host_header}" if origin is None else origin, suppress_origin=origin == "",
                            socket=socket.create_connection(("127.0.0.1", port), 3, (source, 0) if source else None))
        except websocket.WebSocketBadStatusException as refused:
            self.status = refused.status_code
            return
        # The server speaks first, with the challenge for the link's secret.
        self.challenge = self.receive()[len("CHALLENGE:"):]

    def send(self, payload, binary=False):
        """Sealed once the channel is, unless binary bytes are given as they are."""
        if self.channel and not binary:
            payload, binary = self.channel.seal(payload), True
        self.ws.send(payload, opcode=2 if binary else 1)

    def receive(self, timeout=2.0):
        """The next message, opened; "" for silence, None once the server closed the connection. What
        the server says of input on its own (INPUT:…) is no reply: it is kept in self.input."""
        self.ws.settimeout(timeout)
        try:
            message = self.ws.recv()
        except self.errors[0]:
            return ""
        except self.errors[1:]:
            return None
        if isinstance(message, bytes) and message:
            self.last_sealed = message
            message = (self.channel or self.opening).open(message)
        if message and message.startswith("INPUT:"):
            self.input = message
            return self.receive(timeout)
        return message or None

    def authenticate(self, key_text, device=None, answer_text=None):
        """Answers the challenge with the link's secret or a device key as the page does; the reply, opened."""
        key, nonce = key_bytes(key_text), os.urandom(16)
        self.opening = Channel(key, self.challenge, nonce)
        mac = answer_text or hmac.new(key, self.challenge.encode(), hashlib.sha256).hexdigest()
        self.send(f"AUTH:{mac}|{nonce.hex()}" + (f"|{device}" if device else ""))
        reply = self.receive()
        if reply and reply.startswith("PAIR_SUCCESS|"):
            self.channel = self.opening
            if device is None:  # a browser paired with the link is given a key of its own
                given = self.receive()
                assert given.startswith("DEVICE:"), given
                self.device = given[len("DEVICE:"):].split("|")
        return reply

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
    """A computer and a phone, namespaces on one link: 198.51.100.1 and .2; the link names the computer's
    address because its default route goes there."""

    def __init__(self):
        from test_netns import Namespace, require_root_tools
        require_root_tools()
        self.pc, self.phone = Namespace("pc"), Namespace("phone")
        self.pc.link(self.phone, "qm0", "qm1", "198.51.100")
        self.pc.ip("route", "add", "default", "via", "198.51.100.254", "dev", "qm0", "onlink")

    def phone_link(self, up):
        self.phone.ip("link", "set", "qm1", "up" if up else "down")

    def delete(self):
        self.phone.delete()
        self.pc.delete()
