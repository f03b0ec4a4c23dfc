# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
"""The browser remote: every refusal from a raw socket on loopback; the page in headless Chromium
on a phone made of a network namespace (so that, as on a real phone, it is not a secure context),
driven by emulated touches against the record backend, and once against x11 on Xvfb."""
import base64
import json
import os
import re
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import time
import unittest

from browser import Chromium, Hosts, WebSocket, answer, http, stored_secret, until, web_port
from harness import BIN, Client, Server, Xvfb, main, require, stop
from test_headless import CLICK, events

HEADERS = {"X-Content-Type-Options": "nosniff", "Referrer-Policy": "no-referrer", "Cache-Control": "no-store"}
PAGE = "http://198.51.100.1:61918/"
CONNECTED = "document.body && document.body.dataset.state === 'connected'"
CONTROLS = ("button", "textbox", "searchbox", "slider", "checkbox", "tab", "switch", "combobox")
# Every text and placeholder whose contrast with what is behind it (the backgrounds blended up to an
# opaque one) is below WCAG AA's 4.5:1, shown or not.
LOW_CONTRAST = """(() => {
  const rgba = (c) => { const m = c.match(/[\\d.]+/g).map(Number); return [m[0], m[1], m[2], m.length > 3 ? m[3] : 1]; };
  const over = (top, under) => top.map((v, i) => (i < 3 ? v * top[3] + under[i] * (1 - top[3]) : 1));
  const behind = (e) => {
    const layers = [];
    for (; e && layers.every((c) => c[3] < 1); e = e.parentElement)
      layers.push(rgba(getComputedStyle(e).backgroundColor));
    return layers.reduceRight((under, c) => over(c, under), [255, 255, 255, 1]);
  };
  const lum = (c) => c.slice(0, 3).map((v) => v / 255).map((v) => (v <= 0.03928 ? v / 12.92 : ((v + 0.055) / 1.055) ** 2.4))
    .reduce((sum, v, i) => sum + v * [0.2126, 0.7152, 0.0722][i], 0);
  const ratio = (a, b) => (Math.max(lum(a), lum(b)) + 0.05) / (Math.min(lum(a), lum(b)) + 0.05);
  const low = [];
  for (const e of document.querySelectorAll("body *")) {
    const text = [...e.childNodes].some((n) => n.nodeType === 3 && n.textContent.trim());
    for (const color of [text && getComputedStyle(e).color, e.placeholder && getComputedStyle(e, "::placeholder").color]) {
      const r = color && ratio(over(rgba(color), behind(e)), behind(e));
      if (color && r < 4.5) low.push((e.id || e.className || e.tagName) + " " + r.toFixed(2));
    }
  }
  return low;
})()"""


def wait_events(path, start, condition, timeout=5.0):
    got = until(lambda: (lambda e: condition(e) and e)(events(path, start)), timeout)
    assert got, f"events never matched: {events(path, start)}"
    return got


def websocket_payloads(capture, port):
    """The payload of each WebSocket frame in a tcpdump capture (IPv4 over Ethernet), unmasked as its
    receiver reads it, by direction ("up" to the port, "down" from it): what anyone on the Wi-Fi can read."""
    with open(capture, "rb") as f:
        data = f.read()
    streams, at = {}, 24
    while at + 16 <= len(data):
        length = int.from_bytes(data[at + 8:at + 12], "little")
        ip, at = data[at + 16 + 14:at + 16 + length], at + 16 + length
        if len(ip) < 20 or ip[9] != 6:
            continue
        tcp = ip[(ip[0] & 15) * 4:int.from_bytes(ip[2:4], "big")]
        source, target = int.from_bytes(tcp[0:2], "big"), int.from_bytes(tcp[2:4], "big")
        if port in (source, target):
            key = ("up", source) if target == port else ("down", target)
            streams[key] = streams.get(key, b"") + tcp[(tcp[12] >> 4) * 4:]
    frames = {"up": [], "down": []}
    for (direction, client), stream in streams.items():
        if not streams.get(("up", client), b"").startswith(b"GET /ws ") or b"\r\n\r\n" not in stream:
            continue  # a request for one of the page's files
        stream = stream[stream.index(b"\r\n\r\n") + 4:]
        while len(stream) >= 2:
            size, head = stream[1] & 127, 2
            if size >= 126:
                head = 4 if size == 126 else 10
                size = int.from_bytes(stream[2:head], "big")
            mask = stream[head:head + 4] if stream[1] & 128 else bytes(4)
            head += 4 if stream[1] & 128 else 0
            frames[direction].append(bytes(b ^ mask[i % 4] for i, b in enumerate(stream[head:head + size])))
            stream = stream[head + size:]
    return frames


def swipe(b, x, y, dy):
    """Two fingers moved by dy in 20 steps, and stopped before they are lifted (no momentum)."""
    b.touch("touchStart", (x - 30, y), (x + 30, y))
    for i in range(1, 21):
        b.touch("touchMove", (x - 30, y + dy * i / 20), (x + 30, y + dy * i / 20))
    time.sleep(0.1)
    b.touch("touchEnd")


def text_rows(display, window):
    """Dark pixels in each row of the middle half of a window, read from its image (xwd)."""
    data = subprocess.run(["xwd", "-silent", "-id", window], env={"DISPLAY": display}, capture_output=True, timeout=10,
                          check=True).stdout
    header = struct.unpack(">25I", data[:100])
    width, height, stride = header[4], header[5], header[12]
    pixels = data[header[0] + 12 * header[19]:]
    return [sum(1 for x in range(width // 4, 3 * width // 4) if pixels[y * stride + 4 * x + 1] < 128)
            for y in range(height)]


def scrolled(before, after, top, bottom):
    """How far the text between rows top and bottom moved up, in pixels: the best-matching shift."""
    def mismatch(shift):
        pairs = [(before[y + shift], after[y]) for y in range(top, bottom) if top <= y + shift < bottom]
        return sum(abs(a - b) for a, b in pairs) / len(pairs) if len(pairs) > 60 else float("inf")
    return min(range(top - bottom, bottom - top), key=mismatch)


def decode_terminal_qr(rows, folder):
    """The half blocks drawn as a dark terminal shows them (in its light text colour), read by zbarimg."""
    require(shutil.which("zbarimg") is not None, "zbarimg (zbar-tools) is not installed")
    light, width, scale = {"█": (1, 1), "▀": (1, 0), "▄": (0, 1), " ": (0, 0)}, max(map(len, rows)), 6
    pixels = [b"".join((b"\xff" if light[c][half] else b"\0") * scale for c in row.ljust(width))
              for row in rows for half in (0, 1) for _ in range(scale)]
    path = os.path.join(folder, "terminal-qr.pgm")
    with open(path, "wb") as f:
        f.write(b"P5 %d %d 255\n" % (width * scale, len(pixels)) + b"".join(pixels))
    return subprocess.run(["zbarimg", "-q", "--raw", path], capture_output=True, timeout=30).stdout.decode().strip()


class Refusals(unittest.TestCase):
    """What a hostile peer gets: the status each check names, and nothing else."""

    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="quillmote-web-")
        self.addCleanup(shutil.rmtree, self.tmp, True)
        self.record = os.path.join(self.tmp, "events.jsonl")
        os.chmod(self.tmp, 0o700)  # also its single-instance socket's folder, which --new-link reaches
        self.server = Server(args=("--headless", "--input", "record:" + self.record), env={"XDG_RUNTIME_DIR": self.tmp})
        self.addCleanup(self.server.__exit__)
        self.port = web_port(self.server)
        self.paired = self.server.paired_client()
        self.addCleanup(self.paired.close)
        self.mac = self.paired.exchange(b"PAIR:" + self.server.code.encode()).decode()[len("PAIR_SUCCESS|"):]

    def test_http_checks_in_their_order_with_their_status(self):
        p, secret = self.port, stored_secret(self.server.config_home)
        for method, path, host, status in [
                ("GET", "/", f"127.0.0.1:{p}", 200), ("GET", "/app.js?v=1", f"localhost:{p}", 200),
                ("POST", "/", "evil.example", 405), ("HEAD", "/", f"127.0.0.1:{p}", 405), ("GET", "/", None, 421),
                ("GET", "/", f"evil.example:{p}", 421), ("GET", "/", f"127.0.0.1:{p + 1}", 421),
                ("GET", "/", "127.0.0.1", 421),
                ("GET", "/../etc/passwd", f"127.0.0.1:{p}", 404), ("GET", "/ws", f"127.0.0.1:{p}", 404)]:
            got, headers, body = http(p, f"{method} {path} HTTP/1.1\r\n" +
                                      (f"Host: {host}\r\n" if host else "") + "\r\n")
            self.assertEqual((got, {k: headers.get(k) for k in HEADERS}), (status, HEADERS), (method, path, host))
            self.assertRegex(headers["Content-Security-Policy"],
                             "^default-src 'self'; connect-src 'self'.*; frame-ancestors 'none'$")
            self.assertFalse("Set-Cookie" in headers or secret.encode() in body)  # no page gets a secret it lacks
        headers = http(p, f"GET / HTTP/1.1\r\nHost: 127.0.0.1:{p}\r\n\r\n")[1]
        self.assertIn(f"connect-src 'self' ws://127.0.0.1:{p};", headers["Content-Security-Policy"])
        for origin, status in ((f"http://evil.example:{p}", 403), ("", 403), (f"http://127.0.0.1:{p}", 101)):
            self.assertEqual(WebSocket(p, origin=origin).status, status, origin)
        # A head too long, or not finished in time, is closed unanswered.
        self.assertEqual(http(p, b"GET / HTTP/1.1\r\nX: " + b"a" * 9000 + b"\r\n\r\n")[0], 0)
        with socket.create_connection(("127.0.0.1", p), timeout=15) as slow:
            began = slow.sendall(b"GET / HTTP/1.1\r\n") or time.monotonic()
            self.assertEqual((slow.recv(100), round(time.monotonic() - began)), (b"", 10))
        self.assertEqual(self.paired.exchange(b"MOVE:1,0"), b"ACK_MOVE")  # nobody else disturbed
        self.assertEqual(events(self.record), [("mouse", 5, 0, 0, 1.0, 0.0)])

    def test_websocket_pairing_limits_and_silence(self):
        secret = stored_secret(self.server.config_home)
        ws, other = WebSocket(self.port), WebSocket(self.port)
        self.assertRegex(ws.challenge, r"^[0-9a-f]{32}$")
        for command in ("MOVE:5,5", "KEY:ENTER", "CLICK:LEFT", "TYPE:aGk="):
            self.assertEqual(ws.exchange(command, timeout=0.3), "", command)  # nothing before pairing
        for wrong in (answer(secret, other.challenge), answer(secret, ws.challenge).upper()):
            self.assertEqual(ws.exchange(f"AUTH:{wrong}|{'00' * 16}"), "PAIR_FAILED")
        self.assertEqual(ws.exchange(f"AUTH:{answer(secret, ws.challenge)}"), "PAIR_FAILED")  # no nonce: no channel
        self.assertEqual(ws.authenticate(secret), "PAIR_SUCCESS|" + self.mac)
        for command, reply in (("MOVE:2,3", "ACK_MOVE"), ("KEY:F13", "ACK_KEY"), ("PING", "PONG"),
                               ("SCROLL:0,1", ""), ("PAIR:000000", "PAIR_FAILED"), ("MOVE:1,0", "ACK_MOVE")):
            self.assertEqual(ws.exchange(command, timeout=2 if reply else 0.3), reply, command)
        self.assertEqual(ws.input, "INPUT:GRANTED")  # told once paired, as the page is
        self.assertEqual(other.exchange("PAIR:" + self.server.code), "PAIR_SUCCESS|" + self.mac)
        self.assertIsNotNone(self.server.wait_for(r"^Status: Device connected \(3\)$"))
        for payload, binary in (("TYPE:" + "A" * (64 * 1024), False), (b"MOVE:1,1", True)):  # too big, or binary
            closing = WebSocket(self.port)
            closing.send(payload, binary)
            self.assertTrue(closing.closed(), binary)
        # A peer that answers no ping (it reads nothing) is closed within the silence limit, and
        # its button let go.
        self.assertEqual(other.exchange("MOUSE_DOWN"), "ACK_MOUSE_DOWN")
        began = time.monotonic()
        while [e for e in events(self.record) if e[:2] == ("mouse", 2)] == [] and time.monotonic() - began < 10:
            self.assertEqual(ws.receive(timeout=0.05), "")  # answering its pings meanwhile
        self.assertTrue(5.5 < time.monotonic() - began < 8.5, time.monotonic() - began)
        self.assertTrue(other.closed())
        self.assertEqual(ws.exchange("MOVE:0,1"), "ACK_MOVE")
        self.assertEqual(self.paired.exchange(b"MOVE:1,0"), b"ACK_MOVE")
        self.assertEqual([e[1] for e in events(self.record) if e[0] == "mouse"], [5, 5, 1, 2, 5, 5])

    def test_sealed_channel_device_keys_and_a_new_link(self):
        """Paired with the link, every message is sealed; what is altered, replayed or sent in clear ends the
        channel; the browser's own key pairs it later, until a new link is drawn."""
        secret, before = stored_secret(self.server.config_home), len(events(self.record))
        spoils = {"altered": lambda ws, sealed: ws.send(sealed[:-1] + bytes([sealed[-1] ^ 1]), binary=True),
                  "replayed": lambda ws, sealed: (ws.send(sealed, binary=True), ws.send(sealed, binary=True)),
                  "in clear": lambda ws, sealed: ws.ws.send("MOVE:1,1")}
        for name, spoil in spoils.items():
            ws = WebSocket(self.port)
            self.assertEqual(ws.authenticate(secret), "PAIR_SUCCESS|" + self.mac)
            spoil(ws, ws.channel.seal("MOVE:1,1"))
            self.assertTrue(ws.closed(), name)
        ws = WebSocket(self.port)
        self.assertEqual(ws.authenticate(secret), "PAIR_SUCCESS|" + self.mac)
        self.assertEqual(ws.exchange("MOVE:7,7"), "ACK_MOVE")
        self.assertEqual(len(events(self.record)), before + 2)  # the replay above was refused, the first taken
        device_id, device_key = ws.device
        self.assertRegex(device_id, "^[0-9a-f]{16}$")
        again = WebSocket(self.port)
        self.assertEqual(again.authenticate(device_key, device_id), "PAIR_SUCCESS|" + self.mac)
        self.assertIsNone(again.device)  # no second key
        self.assertEqual(WebSocket(self.port).authenticate(device_key, "0" * 16), "PAIR_FAILED")
        done = subprocess.run([BIN, "--new-link"], env={**os.environ, "XDG_RUNTIME_DIR": self.tmp},
                              capture_output=True, timeout=10)
        self.assertEqual((done.returncode, done.stdout), (0, b"new link drawn\n"), done)
        for cut in (ws, again):
            self.assertTrue(cut.closed(timeout=1.0))
        self.assertNotEqual(stored_secret(self.server.config_home), secret)
        for key, device in ((secret, None), (device_key, device_id)):
            self.assertEqual(WebSocket(self.port).authenticate(key, device), "PAIR_FAILED")
        self.assertEqual(self.paired.exchange(b"MOVE:1,0"), b"ACK_MOVE")  # the phone app is not a browser

    def test_link_pairs_while_the_code_is_under_attack_and_unpaired_pages_share_the_bound(self):
        for i in range(2, 12):  # wrong codes from many sources spend the budget they share ...
            for _ in range(3):
                Client(self.server.port, source=f"127.0.1.{i}").exchange(b"PAIR:000000")
        newcomer = Client(self.server.port, source="127.0.2.1")
        self.assertEqual(newcomer.exchange(b"PAIR:" + self.server.code.encode()), b"PAIR_FAILED")
        ws = WebSocket(self.port, source="127.0.2.2")  # ... which the link's answer never draws on
        self.assertEqual(ws.authenticate(stored_secret(self.server.config_home)), "PAIR_SUCCESS|" + self.mac)
        with Server(prefix=("sh", "-c", 'ulimit -n 96 && exec "$0" "$@"')) as server:  # (96 - 32) / 2 = 32
            sockets = [WebSocket(web_port(server)) for _ in range(40)]
            self.assertIsNotNone(server.wait_for("^Dropping the longest-idle unpaired connection from 127.0.0.1$"))
            self.assertTrue(sockets[0].closed())
            self.assertTrue(WebSocket(web_port(server)).exchange("PAIR:" + server.code).startswith("PAIR_SUCCESS|"))


class Page(unittest.TestCase):
    """The phone's browser opens the link from the QR code and drives the computer."""

    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="quillmote-page-")
        self.addCleanup(shutil.rmtree, self.tmp, True)
        self.hosts = Hosts()
        self.addCleanup(self.hosts.delete)
        self.marker = os.path.join(self.tmp, "opened")
        os.makedirs(os.path.join(self.tmp, "share", "applications"))
        with open(os.path.join(self.tmp, "share", "applications", "quillmote-test-pad.desktop"), "w") as f:
            f.write(
                f'[Desktop Entry]\nType=Application\nName=Quillmote Test Pad\nExec=/bin/sh -c "echo opened > {self.marker}"\n')
        self.browser = Chromium(prefix=self.hosts.phone.exec_prefix())
        self.addCleanup(self.browser.close)

    def start(self, backend, env=None):
        os.makedirs(os.path.join(self.tmp, "run"), mode=0o700, exist_ok=True)
        server = Server(args=("--headless", "--input", backend), port=None, prefix=self.hosts.pc.exec_prefix(),
                        config_home=os.path.join(self.tmp, "config"),
                        env={"XDG_DATA_DIRS": os.path.join(self.tmp, "share"), **self.runtime(), **(env or {})})
        self.addCleanup(server.__exit__)
        return server

    def runtime(self):
        return {"XDG_RUNTIME_DIR": os.path.join(self.tmp, "run")}

    def answer(self, server, verb):
        """Answers the server's question about the phone as its user would, from the console."""
        asked = server.wait_for(r"^Allow Chrome on \w+ \(198\.51\.100\.\d+, [0-9a-f:]{17}\) to control this computer\? "
                                r".* --allow (\d+) ")
        self.assertIsNotNone(asked, server.lines)
        done = subprocess.run([BIN, verb, asked.group(1)], env={**os.environ, **self.runtime()}, capture_output=True,
                              timeout=10)
        self.assertEqual(done.returncode, 0, done)

    def open_from_headless_qr(self, server, one_to_one=False):
        link = server.wait_for(r"^Browser remote: (http://\S+)$", after_seen=False)
        self.assertRegex(link.group(1), r"^http://198\.51\.100\.1:61918/#k=[A-Za-z0-9_-]{22}$")
        server.settle(0.5)
        rows = [line for line in server.lines[server.lines.index(link.group(0)) + 1:]
                if line and set(line) <= set("█▀▄ ")]
        self.assertEqual(decode_terminal_qr(rows, self.tmp), link.group(1))
        self.browser.open(link.group(1))
        if one_to_one:  # one speed, no acceleration: the pointer's path is then the finger's
            self.browser.js("localStorage.setItem('quillmote.speed', '1');"
                            "localStorage.setItem('quillmote.acceleration', 'false')")
            self.browser.open(PAGE)
        return link.group(1)

    def test_nothing_typed_or_commanded_through_the_link_is_readable_on_the_wifi(self):
        require(shutil.which("tcpdump") is not None, "tcpdump is not installed")
        capture = os.path.join(self.tmp, "wifi.pcap")
        dump = subprocess.Popen([*self.hosts.pc.exec_prefix(), "tcpdump", "-i", "qm0", "--immediate-mode", "-U",
                                 "-w", capture, "tcp"],
                                stderr=subprocess.PIPE, stdout=subprocess.DEVNULL)
        self.addCleanup(stop, dump)
        self.assertIn(b"listening on", dump.stderr.readline())
        record = os.path.join(self.tmp, "events.jsonl")
        server, b = self.start("record:" + record), self.browser
        self.open_from_headless_qr(server)
        b.wait_until(CONNECTED)
        password = "my bank password hunter2"
        b.tap_on("#tabs [data-view=keys-view]", "#live")
        b.call("Input.insertText", {"text": password})
        b.tap_on("[data-send='KEY:F5']")
        wait_events(record, 0, lambda e: ("clipboard", password) in e)
        time.sleep(0.5)
        stop(dump)
        frames = websocket_payloads(capture, 61918)
        self.assertTrue(frames["down"][0].startswith(b"CHALLENGE:"), frames)  # the capture holds the channel
        self.assertTrue(frames["up"][0].startswith(b"AUTH:"), frames)
        readable = b"".join(frames["up"] + frames["down"])
        for clear in (password.encode(), base64.b64encode(password.encode()), b"TYPE:", b"KEY:", b"ACK_", b"PAIR_",
                      b"DEVICE:", b"PING", b"PONG"):
            self.assertNotIn(clear, readable, clear)
        self.assertGreaterEqual(len(frames["up"]), 4)  # answer, text, key and pings, all sealed

    def test_code_entry_without_the_secret_and_the_x11_pointer_following_the_finger(self):
        require(shutil.which("Xvfb") and shutil.which("xdotool"), "Xvfb and xdotool are needed")
        xvfb = Xvfb()
        self.addCleanup(xvfb.stop)
        server, b = self.start("x11", env={"DISPLAY": xvfb.display}), self.browser
        self.open_from_headless_qr(server, one_to_one=True)
        b.tap_on("#settings-button", "#forget")
        b.wait_until("!document.querySelector('#code-sheet').hidden && document.body.dataset.state === 'needsCode'")
        # A wrong code; then the right one from a phone the computer has never seen, which pairs only once
        # the user there allows it (the link's secret was the user's leave; a code may have been overheard).
        message = "document.querySelector('#code-message').textContent"
        for code, verb, outcome in (("000000", None, f"/not accepted/.test({message})"),
                                    (server.code, "--deny", f"/did not allow/.test({message})"),
                                    (server.code, "--allow", CONNECTED)):
            b.tap_on("#code")
            b.call("Input.insertText", {"text": code})
            b.tap_on("#code-form [type=submit]")
            if verb:
                b.wait_until("document.body.dataset.state === 'approval'")
                self.answer(server, verb)
            b.wait_until(outcome)
        # Paired with the code, the channel is in clear, and the page says so and what to do instead.
        self.assertTrue(b.js("!document.querySelector('#privacy').hidden && "
                             "/Scan the QR code/.test(document.querySelector('#privacy').textContent)"))
        xvfb.run("xdotool", "mousemove", "300", "200")
        time.sleep(0.3)
        x, y = b.center("#pad")
        b.stroke((x - 100, y - 100), (150, 90), seconds=1.0)
        self.assertEqual(until(lambda: (lambda at: at == (450, 290) and at)(xvfb.pointer())) or xvfb.pointer(),
                         (450, 290))
        # A click of the wheel per 60 pixels: 200 up scroll 3 down (natural scrolling), 100 back one up.
        # Mousepad, under the pointer, moves its text by about the finger's distance, as a laptop's
        # touchpad scrolls it (libinput: about a pixel per pixel).
        require(shutil.which("mousepad") and shutil.which("xwd"), "mousepad and xwd are needed")
        document = os.path.join(self.tmp, "lines.txt")
        with open(document, "w", encoding="utf-8") as f:
            f.write("".join(f"{i:03d} " + "x" * (i * 7 % 53) + "\n" for i in range(400)))
        editor = subprocess.Popen(["mousepad", document], env={**xvfb.env(), "HOME": self.tmp},
                                  stderr=subprocess.DEVNULL)
        self.addCleanup(stop, editor)
        window = until(lambda: subprocess.run(["xdotool", "search", "--onlyvisible", "--class", "mousepad"], text=True,
                                              env=xvfb.env(), capture_output=True, timeout=5).stdout.split()[-1:], 15)
        self.assertTrue(window, "Mousepad did not open")
        from test_x11 import RawEvents
        raw = RawEvents(xvfb)
        self.addCleanup(raw.stop)
        time.sleep(1)
        before = text_rows(xvfb.display, window[0])
        swipe(b, x, y, -200)
        self.assertEqual([d for k, d in raw.events(0.5) if k == "RawButtonPress"], [5, 5, 5])
        distance = scrolled(before, text_rows(xvfb.display, window[0]), 120, 440)
        self.assertTrue(100 <= distance <= 400, distance)
        swipe(b, x, y, 100)
        self.assertEqual([d for k, d in raw.events(0.5) if k == "RawButtonPress"], [5, 5, 5, 4])
        # With the display gone nothing sent reaches a desktop: the page says so instead of "Connected".
        state = "document.querySelector('#state-text').textContent"
        self.assertEqual(b.js(state), "Connected")
        raw.stop()
        xvfb.stop()
        b.wait_until(f"/cannot reach the desktop/.test({state}) && {CONNECTED}")
        b.open(PAGE, state="needsCode")  # a code is not kept: the page asks again


class PageOnRecord(unittest.TestCase):
    """The link from the headless QR code opened once, then each gesture and view against the record backend."""

    @classmethod
    def setUpClass(cls):
        cls.page = Page("start")  # Page's helpers and cleanups, on one instance for the whole class
        cls.addClassCleanup(cls.page.doCleanups)
        cls.page.setUp()
        cls.record = os.path.join(cls.page.tmp, "events.jsonl")
        cls.server, cls.b = cls.page.start("record:" + cls.record), cls.page.browser
        cls.link = cls.page.open_from_headless_qr(cls.server)
        cls.b.wait_until(CONNECTED)
        cls.first_look = cls.b.js("[location.href, localStorage.getItem('quillmote.secret'),"
                                  " JSON.parse(localStorage.getItem('quillmote.device')).id,"
                                  " document.querySelector('#code-sheet').hidden && document.querySelector('#privacy').hidden,"
                                  " isSecureContext]")
        cls.page.open_from_headless_qr(cls.server, one_to_one=True)
        cls.x, cls.y = cls.b.center("#pad")

    def setUp(self):
        self.b.tap_on("#tabs [data-view=pad-view]")  # whichever test showed another view before

    def expect(self, count, gesture, timeout=5.0):
        n = len(events(self.record))
        gesture()
        return wait_events(self.record, n, lambda e: len(e) >= count, timeout)

    def double_tap_and_hold(self, moves=10):
        b, x, y = self.b, self.x, self.y
        b.tap((x, y))
        time.sleep(0.1)
        b.touch("touchStart", (x, y))
        time.sleep(0.35)
        for i in range(1, moves + 1):
            b.touch("touchMove", (x + 4 * i, y))
            time.sleep(0.02)

    def test_the_secret_leaves_the_address_bar_for_a_key_of_the_browser_s_own_and_no_code_is_asked_for(self):
        device = self.first_look[2]
        with open(os.path.join(self.server.config_home, "Quillmote", "Quillmote.conf"), encoding="utf-8") as f:
            self.assertIn(f'\\"id\\":\\"{device}\\"', f.read())
        self.assertEqual(self.first_look, [PAGE, None, device, True, False])

    def test_a_tap_clicks_at_its_lift_two_taps_click_twice_and_a_two_finger_tap_clicks_the_right_button(self):
        x, y, lags = self.x, self.y, []
        for _ in range(5):  # from the lift's dispatch to the click in the record
            n = len(events(self.record))
            self.b.touch("touchStart", (x, y))
            ident, lifted = self.b.touch("touchEnd", wait=False), time.monotonic()
            clicked = until(lambda: len(events(self.record, n)) >= 2, timeout=2, every=0.001)
            lags.append(time.monotonic() - lifted)
            self.b.answer(ident)
            self.assertEqual(clicked and events(self.record, n), CLICK)
            time.sleep(0.4)  # no double tap
        print(f"tap to click: {sorted(round(1000 * lag) for lag in lags)} ms", file=sys.stderr)
        self.assertLess(sorted(lags)[2], 0.03)
        self.assertEqual([e[1] for e in self.expect(4, lambda: (self.b.tap((x, y)), self.b.tap((x, y))))], [1, 2, 1, 2])
        self.assertEqual([e[1] for e in self.expect(2, lambda: self.b.tap((x - 30, y), (x + 30, y)))], [3, 4])

    def test_a_stroke_moves_the_pointer_by_the_finger_s_path_once_per_frame(self):
        n = len(events(self.record))
        self.b.stroke((self.x - 100, self.y - 100), (180.5, 120.25), seconds=1.0)
        moves = wait_events(self.record, n, lambda e: abs(sum(m[4] for m in e) - 180.5) < 0.01)
        self.assertEqual(({m[1] for m in moves}, round(sum(m[5] for m in moves), 2)), ({5}, 120.25))
        self.assertGreater(len(moves), 40, "moves are sent once per frame, not at 30 Hz")

    def test_a_double_tap_and_hold_drags(self):
        got = self.expect(14, lambda: (self.double_tap_and_hold(), self.b.touch("touchEnd")))
        click, drag = got[:2], got[2:]  # the first tap clicked at once
        self.assertEqual((click, drag[0][1], {e[1] for e in drag[1:-1]}, drag[-1][1]), (CLICK, 1, {6}, 2))
        self.assertAlmostEqual(sum(e[4] for e in drag[1:-1]), 40.0, delta=0.01)

    def test_two_fingers_scroll_by_their_distance_there_and_back(self):
        for dy in (-200, 100):  # natural scrolling: fingers up scroll down
            n = len(events(self.record))
            swipe(self.b, self.x, self.y, dy)
            scrolled = wait_events(self.record, n, lambda e: abs(sum(s[1] for s in e) - dy) <= 1)
            self.assertEqual({e[0] for e in scrolled}, {"scroll"})

    def test_views_and_sheets_are_history_entries_tabs_say_which_is_shown_texts_are_readable_and_nothing_covers_or_overflows(self):
        b = self.b

        def phone(width, height): return b.call("Emulation.setDeviceMetricsOverride", {
            "width": width, "height": height, "deviceScaleFactor": 2, "mobile": True})

        def scheme(value): return b.call("Emulation.setEmulatedMedia", {
            "features": [{"name": "prefers-color-scheme", "value": value}]})
        self.addCleanup(phone, 390, 844)
        self.addCleanup(scheme, "light")

        def tabs():
            nodes = b.call("Accessibility.getFullAXTree")["nodes"]
            props = [{p["name"]: p["value"].get("value") for p in n.get("properties", [])} for n in nodes]
            return ([n["role"]["value"] for n in nodes].count("tablist"),
                    [(n["name"]["value"], p.get("selected"), bool(p.get("controls")))
                     for n, p in zip(nodes, props) if n["role"]["value"] == "tab"])
        b.js("window.sameDocument = true")
        b.tap_on("#tabs [data-view=keys-view]")
        # Only the shown view is in the tree, so only its tab controls anything.
        self.assertEqual(tabs(), (1, [("Touchpad", False, False), ("Keyboard", True, True), ("Actions", False, False),
                                      ("Apps", False, False)]))

        def back():
            history = b.call("Page.getNavigationHistory")
            b.call("Page.navigateToHistoryEntry", {"entryId": history["entries"][history["currentIndex"] - 1]["id"]})
        b.tap_on("#settings-button")
        back()  # closes the sheet first
        b.wait_until("document.querySelector('#settings').hidden && !document.querySelector('#keys-view').hidden")
        back()
        b.wait_until("!document.querySelector('#pad-view').hidden && document.querySelector('#keys-view').hidden")
        self.assertEqual(b.js("[window.sameDocument, document.body.dataset.state]"), [True, "connected"])
        self.assertEqual(tabs()[1][:2], [("Touchpad", True, True), ("Keyboard", False, False)])
        for value in ("light", "dark"):
            scheme(value)
            self.assertEqual(b.js(LOW_CONTRAST), [], value)
        # On its side, the phone shows the status and the buttons beside the pad; at 320 px, no button
        # leaves the screen or its row, nor its text the button.
        phone(844, 390)
        b.wait_until("innerWidth === 844")
        self.assertEqual(b.js("(() => { const pad = document.querySelector('#pad').getBoundingClientRect();"
                              " return [...document.querySelectorAll('#bar > *')].filter((e) => { const r = e.getBoundingClientRect();"
                              " return r.width && r.right > pad.left && r.left < pad.right && r.bottom > pad.top && r.top < pad.bottom;"
                              " }).map((e) => e.id); })()"), [])
        phone(320, 640)
        b.wait_until("innerWidth === 320")
        for view in ("pad-view", "keys-view", "actions-view", "apps-view"):
            b.tap_on(f"#tabs [data-view={view}]")
            # Every control has a name, and shows where the focus is to someone using a keyboard.
            nodes = [n for n in b.call("Accessibility.getFullAXTree")["nodes"] if not n.get("ignored")]
            self.assertEqual([n["role"]["value"] for n in nodes if n["role"]["value"] in CONTROLS
                              and not n.get("name", {}).get("value")], [], view)
            for kind in ("keyDown", "keyUp"):  # what the browser takes as a keyboard being used
                b.call("Input.dispatchKeyEvent", {"type": kind, "key": "Shift", "code": "ShiftLeft",
                                                  "windowsVirtualKeyCode": 16})
            self.assertEqual(b.js("[...document.querySelectorAll('button, input, textarea')].filter((e) => e.offsetParent)"
                                  ".filter((e) => { e.focus(); const s = getComputedStyle(e); return document.activeElement !== e"
                                  " || s.outlineStyle === 'none' || !parseFloat(s.outlineWidth); })"
                                  ".map((e) => e.id || e.textContent)"), [], view)
            b.js("document.activeElement.blur()")
            self.assertEqual(b.js("[...document.querySelectorAll('button')].filter((e) => e.offsetParent).filter((e) => {"
                                  " const r = e.getBoundingClientRect(); return r.left < 0 || r.right > innerWidth"
                                  " || e.scrollWidth > e.clientWidth || e.parentElement.scrollWidth > e.parentElement.clientWidth;"
                                  " }).map((e) => e.textContent)"), [], view)

    def typed(self, start):
        """The text an editor on the computer holds after the events since start: pasted runs, Enter, Backspace."""
        text = ""
        for e in events(self.record, start):
            if e[0] == "clipboard":
                text += e[1]
            elif e[:3] == ("key", 36, True):
                text += "\n"
            elif e[:3] == ("key", 51, True):
                text = re.sub(r"(?:\u200d?.[\u0300-\u036f\ufe0f\U0001f3fb-\U0001f3ff]*)\Z", "", text, flags=re.S)
        return text

    def test_the_phone_s_keyboard_types_live_whatever_it_composes_and_the_draft_sends_at_once(self):
        b = self.b
        b.tap_on("#tabs [data-view=keys-view]", "#live")
        with open(os.path.join(os.path.dirname(__file__), "..", "web", "keyboard-traces.json"), encoding="utf-8") as f:
            traces = json.load(f)["traces"]
        # Each trace's events dispatched on the page's field as the keyboard's browser dispatches them,
        # then a line break between traces.
        replay = """(async (steps) => {
          const field = document.querySelector('#live');
          for (const s of steps) {
            if (s[0] === 'input') {
              const at = field.value.length - (s[5] || 0);
              field.value = field.value.slice(0, at - s[2]) + s[3] + field.value.slice(at);
              field.dispatchEvent(new InputEvent('input', {inputType: s[1], data: s[3] || null, isComposing: s[4]}));
            } else if (s[0].startsWith('composition')) {
              field.dispatchEvent(new CompositionEvent(s[0], {data: s[1] || ''}));
            } else {
              const e = new KeyboardEvent(s[0], {key: s[1], isComposing: s[3], cancelable: true});
              Object.defineProperty(e, 'keyCode', {value: s[2]});
              field.dispatchEvent(e);
            }
            await new Promise((done) => setTimeout(done, 5));
          }
        })(%s)"""
        n = len(events(self.record))
        steps = [step for t in traces for step in t["steps"] + [["input", "insertLineBreak", 0, "\n", False]]]
        b.call("Runtime.evaluate", {"expression": replay % json.dumps(steps), "awaitPromise": True}, timeout=30)
        expected = "\n".join(t["text"] for t in traces) + "\n"
        until(lambda: self.typed(n) == expected, timeout=10)
        self.assertEqual(self.typed(n), expected)
        # Chromium's own composition and keys: pinyin composed and committed, ⌫, Enter, ⌫ in the emptied field.
        n = len(events(self.record))
        for text in ("n", "ni", "nihao"):
            b.call("Input.imeSetComposition", {"text": text, "selectionStart": len(text), "selectionEnd": len(text)})
        b.call("Input.insertText", {"text": "你好"})
        for down, key, code, text in ((True, "Backspace", 8, ""), (True, "Enter", 13, "\r"), (True, "Backspace", 8, "")):
            b.call("Input.dispatchKeyEvent", {"type": "keyDown", "key": key, "code": key, "windowsVirtualKeyCode": code,
                                              "text": text})
            b.call("Input.dispatchKeyEvent", {"type": "keyUp", "key": key, "code": key, "windowsVirtualKeyCode": code})
        b.call("Input.insertText", {"text": "ok"})
        until(lambda: self.typed(n) == "你ok", timeout=5)
        self.assertEqual(self.typed(n), "你ok")
        self.assertIn(("clipboard", "hao"), events(self.record, n))  # the composition went out as it grew
        # Ctrl latched, then c from the keyboard: a chord; ← held repeats; the draft goes as one text.
        n = len(events(self.record))
        b.tap_on("[data-latch=CTRL]")
        b.call("Input.insertText", {"text": "c"})
        b.touch("touchStart", b.center("[data-send='KEY:LEFT']"))
        time.sleep(0.8)
        b.touch("touchEnd")
        b.tap_on("#draft-button", "#text")
        b.call("Input.insertText", {"text": "你好，\n世界 😀"})
        b.tap_on("#type-form [type=submit]")
        got = wait_events(self.record, n, lambda e: ("clipboard", "你好，\n世界 😀") in e)
        keys = [e[1:] for e in got if e[0] == "key" and e[2]]
        self.assertEqual(keys[:3], [(55, True, 0), (8, True, 0x100000), (123, True, 0)], got)
        self.assertGreaterEqual(keys.count((123, True, 0)), 4, "a held ← repeats")
        self.assertEqual(self.b.js("document.querySelector('[data-latch=CTRL]').getAttribute('aria-pressed')"), "false")

    def test_action_buttons_press_system_keys(self):
        buttons = ("#tabs [data-view=actions-view]", "[data-send='VOLUME:MUTE']", "[data-send='KEY:PLAY_PAUSE']")
        self.assertEqual(self.expect(4, lambda: self.b.tap_on(*buttons)),
                         [("system", 0x70a00), ("system", 0x70b00), ("system", 0x100a00), ("system", 0x100b00)])

    def test_an_application_found_by_search_is_opened(self):
        self.b.tap_on("#tabs [data-view=apps-view]", "#app-search")
        self.b.call("Input.insertText", {"text": "test pad"})
        self.b.wait_until("document.querySelectorAll('#app-results button').length === 1")
        self.b.tap_on("#app-results button")
        self.assertTrue(until(lambda: os.path.exists(self.page.marker), 10), "the application was not opened")

    def test_the_network_lost_mid_drag_lets_the_button_go_and_the_page_comes_back(self):
        """Also a network lost for 3 s, too short for the connection to die: the page says so, then connected."""
        b, hosts = self.b, self.page.hosts
        self.addCleanup(hosts.phone_link, True)
        hosts.phone_link(False)
        b.wait_until("document.body.dataset.state === 'offline'", timeout=3)
        time.sleep(3 - 0.5)
        hosts.phone_link(True)
        b.wait_until(CONNECTED, timeout=5)
        self.assertEqual(self.expect(3, lambda: self.double_tap_and_hold(0)), CLICK + CLICK[:1])
        self.assertEqual(self.expect(1, lambda: hosts.phone_link(False), timeout=10)[-1][1], 2)
        b.touch("touchEnd")
        self.assertIsNotNone(self.server.wait_for(r"^Status: Waiting for a connection", timeout=5))
        b.wait_until("document.body.dataset.state !== 'connected'", timeout=8)
        hosts.phone_link(True)
        b.wait_until(CONNECTED, timeout=20)

    def test_a_restarted_server_is_paired_again_with_the_secret_the_page_kept(self):
        """Also after its first answers were refused for now (wrong answers from its address)."""
        self.server.stop()
        type(self).record = os.path.join(self.page.tmp, "events-2.jsonl")
        type(self).server = self.page.start("record:" + self.record)
        self.b.wait_until(CONNECTED, timeout=20)
        self.assertEqual(len(self.expect(2, lambda: self.b.tap((self.x, self.y)))), 2)
        secret = self.b.js("localStorage.getItem('quillmote.secret')")
        wrong_answer = ("(() => { window.wrong = ''; const s = new WebSocket('ws://' + location.host + '/ws');"
                        " s.onmessage = (e) => { if (e.data.startsWith('CHALLENGE:')) s.send('AUTH:' + '0'.repeat(64));"
                        " else { window.wrong = e.data; s.close(); } }; })()")
        for pause in (0, 0, 0, 0, 1.05):  # from the phone's address; the fifth holds its answers back for 2 s
            time.sleep(pause)
            self.b.js(wrong_answer)
            self.b.wait_until("window.wrong === 'PAIR_FAILED'", timeout=3)
        self.b.reload()
        self.b.wait_until("document.body && document.body.dataset.state === 'throttled'", timeout=5)
        self.b.wait_until(CONNECTED, timeout=15)
        self.assertEqual(self.b.js("localStorage.getItem('quillmote.secret')"), secret)


if __name__ == "__main__":
    main()
