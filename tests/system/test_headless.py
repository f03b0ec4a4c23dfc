# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quillmote developers
"""The headless executable as a client and a user see it, on loopback."""
import os
import resource
import signal
import subprocess
import time
import unittest

from harness import BIN, Client, Server, main

WAITING = "等待连接..."


class CommandLine(unittest.TestCase):
    def test_help_version_and_bad_arguments(self):
        out = subprocess.run([BIN, "--help"], capture_output=True, timeout=10)
        self.assertEqual(out.returncode, 0)
        self.assertIn(b"--headless", out.stdout)
        out = subprocess.run([BIN, "--version"], capture_output=True, timeout=10)
        self.assertEqual(out.returncode, 0)
        self.assertRegex(out.stdout.decode(), r"^quillmote \d+\.\d+\.\d+\n$")
        for bad in (["--input", "wayland"], ["--input"], ["--frobnicate"]):
            out = subprocess.run([BIN, *bad], capture_output=True, timeout=10)
            self.assertEqual(out.returncode, 2, bad)
            self.assertIn(b"quillmote:", out.stderr)


class Lifecycle(unittest.TestCase):
    def test_output_lines_then_signals_end_cleanly(self):
        for sig in (signal.SIGTERM, signal.SIGINT):
            with Server() as server:
                self.assertIsNotNone(server.code)
                self.assertIsNotNone(server.port)
                self.assertIsNotNone(server.wait_for("^Status: " + WAITING + "$"))
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
            with open(config, "w") as f:
                f.write("[General]\nSavedPairingCode=12345\n")
            with Server(config_home=first.config_home) as third:
                self.assertIsNotNone(third.wait_for("^Stored pairing code is not six digits; a new code was drawn.$"))
                new_code = third.code
                self.assertRegex(new_code, r"^\d{6}$")
                port = third.port
                self.assertEqual(Client(port).exchange(b"PAIR:"), b"PAIR_FAILED")
                self.assertTrue(Client(port).exchange(b"PAIR:" + new_code.encode()).startswith(b"PAIR_SUCCESS|"))
            with open(config) as f:
                self.assertIn("SavedPairingCode=" + new_code, f.read())


class Connections(unittest.TestCase):
    def test_end_of_stream_and_reset_print_their_lines(self):
        with Server() as server:
            pair = b"PAIR:" + server.code.encode()
            c = Client(server.port)
            self.assertTrue(c.exchange(pair).startswith(b"PAIR_SUCCESS|"))
            self.assertIsNotNone(server.wait_for(r"^Status: 设备已连接 \(1\)$"))
            c.close()
            self.assertIsNotNone(server.wait_for("^连接断开$"))
            self.assertIsNotNone(server.wait_for("^Status: " + WAITING + "$"))

            c = Client(server.port)
            self.assertTrue(c.exchange(pair).startswith(b"PAIR_SUCCESS|"))
            self.assertIsNotNone(server.wait_for(r"^Status: 设备已连接 \(1\)$"))
            c.reset()
            self.assertIsNotNone(server.wait_for("^连接错误: Connection reset by peer$"))
            # A read error changes neither the registry nor the status.
            self.assertIsNone(server.wait_for("^Status: ", timeout=0.5))

    def test_three_wrong_codes_then_right_pairs_at_once(self):
        with Server() as server:
            code = server.code
            wrong = b"PAIR:%06d" % ((int(code) + 1) % 1000000)
            c = Client(server.port)
            for _ in range(3):
                self.assertEqual(c.exchange(wrong), b"PAIR_FAILED")
            started = time.monotonic()
            self.assertTrue(c.exchange(b"PAIR:" + code.encode()).startswith(b"PAIR_SUCCESS|"))
            self.assertLess(time.monotonic() - started, 0.5)


class RecordBackend(unittest.TestCase):
    def test_record_file_has_one_json_line_per_event(self):
        import base64
        import json
        import tempfile
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "events.jsonl")
            with Server(args=("--headless", "--input", "record:" + path)) as server:
                self.assertIsNotNone(server.wait_for("^Input backend: record$", after_seen=False))
                c = Client(server.port)
                self.assertEqual(c.exchange(b"MOVE:10,-5"), b"")  # not paired yet
                self.assertTrue(c.exchange(b"PAIR:" + server.code.encode()).startswith(b"PAIR_SUCCESS|"))
                for message, reply in ((b"MOVE:10,-5", b"ACK_MOVE"), (b"MOVE:0.7,-0.7", b"ACK_MOVE"),
                                       (b"SCROLL:0,10", b""), (b"VOLUME:MUTE", b""), (b"KEY:ENTER", b"ACK_KEY"),
                                       (b"TYPE:" + base64.b64encode("你好".encode()), b"ACK_TYPE"),
                                       (b"TYPE:", b"ACK_TYPE")):
                    self.assertEqual(c.exchange(message, timeout=2.0 if reply else 0.2), reply, message)
                time.sleep(0.2)
            with open(path, encoding="utf-8") as f:
                lines = f.read().splitlines()
        paste = ['{"event":"key","keyCode":55,"down":true,"flags":0}',
                 '{"event":"key","keyCode":9,"down":true,"flags":1048576}',
                 '{"event":"key","keyCode":9,"down":false,"flags":1048576}',
                 '{"event":"key","keyCode":55,"down":false,"flags":0}']
        self.assertEqual(lines, [
            '{"event":"mouse","type":5,"x":970.0,"y":535.0,"button":0,"clickState":0,'
            '"deltaX":10,"deltaY":-5,"deltaXf":10.0,"deltaYf":-5.0}',
            '{"event":"mouse","type":5,"x":970.7,"y":534.3,"button":0,"clickState":0,'
            '"deltaX":0,"deltaY":0,"deltaXf":0.7,"deltaYf":-0.7}',
            '{"event":"scroll","unit":0,"wheel1":12,"wheel2":0,"wheel3":0}',
            '{"event":"system","subtype":8,"data1":461312,"data2":-1,"flags":2560}',
            '{"event":"system","subtype":8,"data1":461568,"data2":-1,"flags":2816}',
            '{"event":"key","keyCode":36,"down":true,"flags":0}',
            '{"event":"key","keyCode":36,"down":false,"flags":0}',
            '{"event":"clipboard","text":"你好"}', *paste,
            '{"event":"clipboard","text":""}', *paste,
        ])
        for line in lines:
            json.loads(line)

    def test_unwritable_record_file_is_an_error(self):
        out = subprocess.run([BIN, "--headless", "--input", "record:/proc/no/such/file"], capture_output=True,
                             timeout=10)
        self.assertEqual(out.returncode, 2)
        self.assertIn(b"cannot open /proc/no/such/file for recording", out.stderr)


class Exhaustion(unittest.TestCase):
    def test_idle_flood_does_not_keep_a_client_from_pairing(self):
        soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
        with Server(prefix=("sh", "-c", 'ulimit -n 256 && exec "$0" "$@"')) as server:
            pair = b"PAIR:" + server.code.encode()
            paired = Client(server.port)
            self.assertTrue(paired.exchange(pair).startswith(b"PAIR_SUCCESS|"))
            flood = [Client(server.port) for _ in range(min(600, soft - 64))]
            self.assertIsNotNone(server.wait_for("^Dropping the longest-idle unpaired connection from 127.0.0.1$"))
            newcomer = Client(server.port)
            self.assertTrue(newcomer.exchange(pair).startswith(b"PAIR_SUCCESS|"))
            self.assertTrue(paired.exchange(pair).startswith(b"PAIR_SUCCESS|"))
            for c in flood:
                c.close()

    def test_descriptor_exhaustion_recovers_without_spinning(self):
        with Server(prefix=("sh", "-c", 'ulimit -n 48 && exec "$0" "$@"')) as server:
            pair = b"PAIR:" + server.code.encode()
            paired = []
            stuck = None
            for _ in range(60):
                c = Client(server.port)
                reply = c.exchange(pair, timeout=0.5)
                if not reply:
                    stuck = c  # connected in the kernel's backlog, never accepted
                    break
                paired.append(c)
            self.assertIsNotNone(stuck, "the descriptor limit was never reached")
            self.assertIsNotNone(server.wait_for("^Accepting paused: "))
            before = server.cpu_seconds()
            time.sleep(2.0)
            self.assertLess(server.cpu_seconds() - before, 0.3, "accepting spins while out of descriptors")
            for c in paired[:8]:
                c.close()
            self.assertTrue(stuck.receive(timeout=5.0).startswith(b"PAIR_SUCCESS|"))
            self.assertTrue(Client(server.port).exchange(pair).startswith(b"PAIR_SUCCESS|"))
            for c in paired[8:]:
                c.close()


if __name__ == "__main__":
    main()
