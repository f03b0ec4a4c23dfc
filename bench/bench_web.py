# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
"""The browser remote: MOVE -> ACK_MOVE round trips over its WebSocket, in clear (paired with the
code) and sealed (paired with the link), next to the TCP protocol in the same run (one Python
client for all, doing the same per message but the sealing), and what one
finger stroke in headless Chromium becomes: moves per second against the touch events and the
animation frames of the same run, and the share of the stroke's distance that was recorded.
Usage: QUILLMOTE_BIN=... /usr/bin/python3 bench_web.py"""
import json
import os
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "system"))
from browser import CHROMIUM, Chromium, WebSocket, stored_secret, web_port  # noqa: E402
from harness import Client, Server  # noqa: E402

MOVES = 5000


def percentiles(times):
    times.sort()
    return times[len(times) // 2], times[int(len(times) * 0.99)]


def timed(exchange):
    times = []
    for i in range(MOVES):
        start = time.perf_counter()
        if exchange("MOVE:-1,0" if i % 2 else "MOVE:1,0") not in ("ACK_MOVE", b"ACK_MOVE"):
            raise SystemExit("no ACK_MOVE")
        times.append((time.perf_counter() - start) * 1e6)
    return percentiles(times)


def frame(text, opcode=1):
    """A client frame, masked with a zero key: the same bytes on every send, so that the client
    does no more per message than the TCP client does."""
    return bytes([0x80 | opcode, 0x80 | len(text)]) + b"\0\0\0\0" + text.encode()


def frames_from(sock):
    """The server's frames one at a time (short ones: the replies and pings of this bench), its
    pings answered as a browser would; bytes of the next frame are kept for the next call."""
    pending = bytearray()

    def next_frame():
        while True:
            while len(pending) < 2 or len(pending) < 2 + (pending[1] & 127):
                pending.extend(sock.recv(4096))
            size = 2 + (pending[1] & 127)
            opcode, payload = pending[0] & 15, bytes(pending[2:size])
            del pending[:size]
            if opcode != 9:
                return payload
            sock.sendall(frame("", 10))
    return next_frame


def websocket_exchange(sock):
    frames, next_frame = {m: frame(m) for m in ("MOVE:1,0", "MOVE:-1,0")}, frames_from(sock)

    def exchange(message):
        sock.sendall(frames[message])
        while (reply := next_frame().decode()).startswith("INPUT:"):
            pass  # the input state, which the page shows: not a reply
        return reply
    return exchange


def sealed_exchange(ws):
    channel, sock = ws.channel, ws.ws.sock
    next_frame = frames_from(sock)

    def exchange(message):
        sealed = channel.seal(message)
        sock.sendall(bytes([0x82, 0x80 | len(sealed)]) + b"\0\0\0\0" + sealed)
        while (reply := channel.open(next_frame())).startswith("INPUT:"):
            pass
        return reply
    return exchange


def round_trips():
    with Server() as server:
        tcp = server.paired_client()
        ws, sealed = WebSocket(web_port(server)), WebSocket(web_port(server))
        ws.exchange("PAIR:" + server.code)
        sealed.authenticate(stored_secret(server.config_home))
        for socket in (ws, sealed):
            socket.ws.sock.settimeout(5)
        results = {}
        for _ in range(2):  # alternated, so that none gets the warmer machine
            results["tcp"] = timed(lambda m: tcp.exchange(m.encode(), timeout=5))
            results["ws"] = timed(websocket_exchange(ws.ws.sock))
            results["sealed"] = timed(sealed_exchange(sealed))
        tcp.close()
        ws.ws.close()
        sealed.ws.close()
    (t50, t99), (w50, w99), (s50, s99) = results["tcp"], results["ws"], results["sealed"]
    print(f"MOVE round trip, input none, p50 / p99: WebSocket {w50:.1f} / {w99:.1f} us, "
          f"TCP {t50:.1f} / {t99:.1f} us ({w50 / t50:.2f} / {w99 / t99:.2f} x TCP); "
          f"sealed WebSocket {s50:.1f} / {s99:.1f} us ({s50 / w50:.2f} / {s99 / w99:.2f} x in clear, "
          "the client's own sealing included)")


def stroke():
    if CHROMIUM is None:
        print("finger stroke: skipped (chromium is not installed)")
        return
    with tempfile.TemporaryDirectory() as tmp:
        record = os.path.join(tmp, "events.jsonl")
        with Server(args=("--headless", "--input", "record:" + record)) as server:
            port = web_port(server)
            secret = server.wait_for(r"^Browser remote: (\S+)$", after_seen=False).group(1).split("#k=")[1]
            browser = Chromium()
            try:
                browser.open(f"http://127.0.0.1:{port}/#k={secret}")
                browser.js("localStorage.setItem('quillmote.speed', '1');"
                           "localStorage.setItem('quillmote.acceleration', 'false')")
                browser.open(f"http://127.0.0.1:{port}/")
                x, y = browser.center("#pad")
                browser.js("window.frames_ = 0; (function count() { window.frames_++;"
                           " requestAnimationFrame(count); })(); true")
                began = time.monotonic()
                browser.stroke((x - 120, y - 120), (240.0, 180.0), seconds=2.0)
                seconds = time.monotonic() - began
                frames = browser.js("window.frames_")
                time.sleep(0.5)
            finally:
                browser.close()
        with open(record, encoding="utf-8") as f:
            moves = [json.loads(line) for line in f if '"type":5' in line]
    sent = sum(e["deltaXf"] for e in moves), sum(e["deltaYf"] for e in moves)
    share = (sent[0] ** 2 + sent[1] ** 2) ** 0.5 / 300.0
    print(f"finger stroke of 300 px over {seconds:.2f} s: {len(moves) / seconds:.0f} moves/s arrived "
          f"(touch events sent: {240 / seconds:.0f}/s, the page's animation frames: {frames / seconds:.0f}/s); "
          f"{100 * share:.2f} % of the distance recorded ({sent[0]:.2f}, {sent[1]:.2f} of 240, 180)")


if __name__ == "__main__":
    round_trips()
    stroke()
