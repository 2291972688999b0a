"""Barcode scans: queued through reader-sim's control FIFO, the trigger
pressed through the host API, decodes announced on the starting thread."""

import threading
import unittest

from simulated_terminal import TerminalTestCase

from reader3100xe import BARCODE, Reader
from reader3100xe import lowlevel


class ScanningTest(TerminalTestCase):
    SIM_OPTIONS = ("--engine=3", "--engine-speed=115200", "--module=0")

    def setUp(self):
        self.terminal.command("clear")

    def test_a_scan_returns_the_queued_barcode(self):
        self.terminal.command("barcode code128:PY-123")
        with Reader() as reader:
            decode = reader.scan(timeout=10)
            self.assertIsNotNone(decode)
            self.assertEqual((decode.device, decode.type_char, decode.data), (BARCODE, "I", b"PY-123"))
            self.assertIn(b"PY-123", decode.output_record)
            self.assertEqual(reader.last_decode(), decode)
            # The announcement also signalled the named event, once.
            self.assertTrue(reader.wait_event("DecodeEventBC", 0))
            self.assertFalse(reader.wait_event("DecodeEventBC", 0))

    def test_the_iterator_yields_each_decode_in_order(self):
        for line in ("barcode code39:ONE", "barcode ean8:12345670", "barcode code128:x\\x00y\\xe9"):
            self.terminal.command(line)
        with Reader() as reader:
            reader.trigger_keys_enabled = True
            decodes = reader.decodes(timeout=10)
            seen = []
            for _ in range(3):
                reader.press_trigger()
                seen.append(next(decodes))
                reader.release_trigger()
            self.assertEqual([(d.type_char, d.data) for d in seen],
                             [("A", b"ONE"), ("M", b"12345670"), ("I", b"x\x00y\xe9")])

    def test_nothing_in_view_ends_the_scan_empty(self):
        with Reader() as reader:
            self.assertIsNone(reader.scan(timeout=0.5))
            self.assertEqual(list(reader.decodes(timeout=0.2)), [])

    def test_keystrokes_reach_the_output_listener(self):
        outputs = []
        self.terminal.command("barcode code39:KEYS")
        with Reader(output=outputs.append) as reader:
            reader.settings["keyboard_output"] = 1
            self.assertEqual(reader.scan(timeout=10).data, b"KEYS")
        typed = "".join(o.text for o in outputs if o.kind == lowlevel.READER_OUTPUT_KEY_CHARS)
        self.assertIn("KEYS", typed)

    def test_announcements_run_on_the_starting_thread(self):
        threads = []
        self.terminal.command("barcode code39:T")
        with Reader() as reader:
            listener = reader._on_broadcast

            def recording(message, *rest):
                threads.append((message, threading.get_ident()))
                listener(message, *rest)

            # Wrapped behind the library's back: which thread delivers.
            callback = lowlevel.ReaderBroadcastListener(recording)
            lowlevel.ReaderHostSetBroadcastListener(callback, None)
            self.assertEqual(reader.scan(timeout=10).data, b"T")
        self.assertIn((b"WM_DECODEDATA", threading.get_ident()), threads)


if __name__ == "__main__":
    unittest.main()
