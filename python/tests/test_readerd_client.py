"""The readerd client: against a readerd process serving a simulated
terminal, and against a scripted peer for what a live reader does not
readily produce (lost announcements, tags, reader events)."""

import json
import os
import socket
import tempfile
import threading
import unittest
from datetime import timezone
from unittest import mock

from readerd_process import ReaderdProcess
from simulated_terminal import TerminalTestCase

from reader3100xe.readerd import Barcode, ReaderdClient, ReaderdClosed, ReaderdError, ReaderState, Tag


class ServedTerminalTest(TerminalTestCase):
    SIM_OPTIONS = ("--engine=3", "--engine-speed=115200", "--module=0")

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        try:
            cls.readerd = ReaderdProcess().start()
        except BaseException:
            super().tearDownClass()
            raise
        with ReaderdClient(cls.readerd.path) as client:
            running = client.wait_running(60)
        if not running:
            cls.tearDownClass()
            raise RuntimeError("readerd's reader did not start")

    @classmethod
    def tearDownClass(cls):
        status = cls.readerd.stop()
        super().tearDownClass()
        if status != 0:
            raise AssertionError("readerd exited with %s after SIGTERM" % status)

    def setUp(self):
        self.terminal.command("clear")

    def test_replies_come_back_and_errors_raise(self):
        with ReaderdClient(self.readerd.path) as client:
            version = client.request("version")
            self.assertEqual((version["reply"], version["id"]), ("version", 1))
            self.assertRegex(version["library"], r"^\d+\.\d\d\.\d{4}$")
            with self.assertRaises(ReaderdError) as raised:
                client.request("no_such_command")
            self.assertEqual(raised.exception.code, "unknown_command")
            self.assertIn("no_such_command", raised.exception.message)
            with self.assertRaises(ReaderdError) as raised:
                client.request("trigger", key=3, pressed=True)
            self.assertEqual(raised.exception.code, "bad_argument")
            # The connection goes on after an error.
            status = client.request("status")
            self.assertEqual((status["reply"], status["reader"]), ("status", "running"))

    def test_the_socket_is_found_through_the_environment(self):
        with mock.patch.dict(os.environ, {"READERD_SOCKET": self.readerd.path}):
            with ReaderdClient() as client:
                self.assertEqual(client.path, self.readerd.path)
                self.assertEqual(client.request("version")["reply"], "version")
        missing = os.path.join(self.readerd.directory, "missing.sock")
        with self.assertRaises(FileNotFoundError) as raised:
            ReaderdClient(missing)
        self.assertIn(missing, str(raised.exception))

    def test_a_trigger_press_announces_the_queued_barcode(self):
        for line in ("barcode code128:PY-D1", "barcode code128:x\\x00y\\xe9"):
            self.terminal.command(line)
        with ReaderdClient(self.readerd.path) as client:
            decodes = client.decodes("barcodes", timeout=20)
            seen = []
            for _ in range(2):
                self.assertTrue(client.request("trigger", key=1, pressed=True)["pressed"])
                seen.append(next(decodes))
                client.request("trigger", key=1, pressed=False)
        self.assertTrue(all(isinstance(decode, Barcode) for decode in seen))
        self.assertEqual([(d.seq, d.missed, d.type, d.data) for d in seen],
                         [(1, 0, ord("I"), b"PY-D1"), (2, 0, ord("I"), b"x\x00y\xe9")])
        self.assertIn(b"x\x00y\xe9", seen[1].record)
        self.assertTrue(seen[0].type_name)
        self.assertEqual(seen[0].time.tzinfo, timezone.utc)


class ScriptedPeer:
    """A Unix socket in a fresh directory whose one client is answered by
    `script(lines, write)` on a thread: `lines` reads the client's request
    lines (parsed), `write` sends one object. The connection closes after."""

    def __init__(self, script):
        self.directory = tempfile.mkdtemp(prefix="readerd-peer-")
        self.path = os.path.join(self.directory, "readerd.sock")
        self.received = []
        self.failure = None
        self.listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.listener.bind(self.path)
        self.listener.listen(1)
        self.listener.settimeout(30)
        self.thread = threading.Thread(target=self._serve, args=(script,))
        self.thread.start()

    def _serve(self, script):
        try:
            connection, _ = self.listener.accept()
            with connection, connection.makefile("rwb") as stream:
                def lines():
                    line = stream.readline()
                    self.received.append(line)
                    return json.loads(line)

                def write(obj):
                    stream.write(json.dumps(obj).encode("ascii") + b"\n")
                    stream.flush()

                script(lines, write)
        except Exception as error:  # reported by finish()
            self.failure = error

    def finish(self):
        self.thread.join(timeout=30)
        self.listener.close()
        os.unlink(self.path)
        os.rmdir(self.directory)
        if self.failure is not None:
            raise self.failure


class ScriptedPeerTest(unittest.TestCase):
    def test_gaps_events_and_byte_strings(self):
        def script(lines, write):
            subscribe = lines()
            # An announcement that overtakes the reply is kept for the events.
            write({"event": "barcode", "seq": 1, "device": 7, "type": 73, "type_name": "Code 128",
                   "data": "A1", "record": "A1\r", "time": "2026-12-09T02:00:00.000Z"})
            write({"reply": "subscribe", "id": subscribe["id"], "barcodes": True, "tags": True})
            # Two announcements (and one reply) lost while the client lagged.
            write({"event": "overflow", "missed": 3})
            write({"event": "barcode", "seq": 4, "device": 7, "type": 73, "type_name": "Code 128",
                   "data": "caf\u00e9\u0000", "record": "", "time": "2026-12-09T02:00:01.250Z"})
            write({"event": "reader", "state": "restarting", "retry_in": 2})
            write({"event": "weather", "sky": "clear"})
            write({"event": "tag", "seq": 5, "device": 32, "type": 84, "type_name": "Tag-it",
                   "uid": "A1B2C3D4", "data_hex": "48656C00FF", "record": "A1B2C3D4;He",
                   "time": "2026-12-09T02:00:02.000Z"})
            request = lines()
            write({"error": "not_permitted", "id": request["id"], "message": "not in group reader"})

        peer = ScriptedPeer(script)
        try:
            with ReaderdClient(peer.path, timeout=30) as client:
                events = client.subscribe("all", timeout=30)
                first, fourth, state, tag = (next(events) for _ in range(4))
                with self.assertRaises(ReaderdError) as raised:
                    client.request("tag_write", start=0, text=b"caf\xe9", uid_only=False, key=None)
                with self.assertRaises(ReaderdClosed):
                    next(events)
        finally:
            peer.finish()

        self.assertEqual((first.seq, first.missed, first.data, first.record), (1, 0, b"A1", b"A1\r"))
        self.assertEqual((fourth.seq, fourth.missed, fourth.data), (4, 2, b"caf\xe9\x00"))
        self.assertEqual(fourth.time.microsecond, 250000)
        self.assertEqual(state, ReaderState("restarting", {"retry_in": 2}))
        self.assertIsInstance(tag, Tag)
        self.assertEqual((tag.seq, tag.missed, tag.uid, tag.data, tag.type_name),
                         (5, 0, "A1B2C3D4", b"He\x6c\x00\xff", "Tag-it"))
        self.assertEqual((client.missed, client.overflowed), (2, 3))
        self.assertEqual((raised.exception.code, raised.exception.message),
                         ("not_permitted", "not in group reader"))
        # Bytes go as readerd's byte strings: each byte its own code point.
        self.assertEqual(peer.received[0], b'{"cmd":"subscribe","id":1,"what":"all"}\n')
        self.assertEqual(json.loads(peer.received[1]),
                         {"cmd": "tag_write", "id": 2, "start": 0, "text": "caf\u00e9", "uid_only": False,
                          "key": None})
        self.assertIn(b'"caf\\u00e9"', peer.received[1])


if __name__ == "__main__":
    unittest.main()
