"""Start, halt and the device queries; library results as exceptions."""

import os
import re
import subprocess
import sys
import threading
import unittest

from simulated_terminal import TerminalTestCase

from reader3100xe import Reader, ReaderError
from reader3100xe import lowlevel

HEADER = os.path.join(os.path.dirname(__file__), "..", "..", "include", "3100XE_DLL.h")


class LifecycleTest(TerminalTestCase):
    SIM_OPTIONS = ("--engine=2", "--module=6", "--serial=PY3100XE0042")

    def test_start_reports_the_terminal(self):
        with Reader() as reader:
            self.assertEqual(reader.start_result, 1)
            self.assertRegex(reader.version, r"^\d\.\d\d\.\d{4}$")
            self.assertEqual(reader.serial_number, "PY3100XE0042")
            self.assertEqual(reader.reader_type, lowlevel.READER_TYPE_TEXT_ENGINE | lowlevel.READER_TYPE_HEX_MODULE)
            self.assertEqual((reader.engine_kind, reader.module_kind), (2, 6))
            self.assertEqual((reader.link_speed(1), reader.link_speed(2), reader.link_speed(3)), (115200, 115200, 0))
            reader.trigger_keys_enabled = True
            self.assertTrue(reader.trigger_keys_enabled)
            reader.trigger_keys_enabled = False
            self.assertFalse(reader.trigger_keys_enabled)
            reader.active_devices = 7
            self.assertEqual(reader.active_devices, 7)
            reader.active_devices = 255
            self.assertEqual(reader.active_devices, 255)

    def test_extended_start(self):
        with Reader(extended=True) as reader:
            self.assertEqual(reader.start_result, 1)
            self.assertEqual(reader.engine_kind, 2)

    def test_leaving_the_block_by_an_exception_halts(self):
        with self.assertRaises(KeyError):
            with Reader() as reader:
                raise KeyError("body")
        # The channels are closed: the library starts again instead of
        # answering -51 (already started), and the ports are free.
        self.assertEqual(lowlevel.InitReader(), 1)
        self.assertEqual(lowlevel.HaltReader(255), 1)
        with Reader() as reader:
            self.assertEqual(reader.serial_number, "PY3100XE0042")

    def test_library_codes_become_exceptions(self):
        self.assertEqual(lowlevel.InitReader(), 1)
        try:
            with self.assertRaises(ReaderError) as raised:
                Reader().start()
            self.assertEqual(raised.exception.code, -51)
            self.assertEqual(raised.exception.function, "InitReader")
            self.assertIn("already", raised.exception.meaning)
            self.assertIn("-51", str(raised.exception))
        finally:
            lowlevel.HaltReader(255)
        with Reader() as reader:
            with self.assertRaises(ReaderError) as raised:
                reader.beep(-1)
            self.assertEqual(raised.exception.code, -242)
            with self.assertRaises(ReaderError) as raised:
                reader.write_tag(b"")
            self.assertEqual(raised.exception.code, -276)
            with self.assertRaises(ReaderError) as raised:
                reader.read_tag(length=0)
            self.assertEqual(raised.exception.code, -280)
            with self.assertRaises(RuntimeError):
                Reader().start()  # one started reader per process

    def test_a_failed_start_leaves_nothing_started(self):
        saved = os.environ.pop("READER_COM1"), os.environ.pop("READER_COM2")
        try:
            with self.assertRaises(ReaderError) as raised:
                Reader().start()
            self.assertEqual(raised.exception.code, -102)
            os.environ["READER_COM2"] = saved[1]
            with self.assertRaises(ReaderError) as raised:
                Reader().start()
            self.assertEqual(raised.exception.code, -111)
            with Reader(allow_partial=True) as reader:
                self.assertEqual(reader.start_result, -111)
                self.assertEqual(reader.module_kind, 6)
        finally:
            os.environ["READER_COM1"], os.environ["READER_COM2"] = saved
        with Reader() as reader:
            self.assertEqual(reader.start_result, 1)

    def test_decodes_only_on_the_starting_thread(self):
        with Reader() as reader:
            errors = []

            def elsewhere():
                try:
                    next(reader.decodes(timeout=0))
                except RuntimeError as error:
                    errors.append(error)

            thread = threading.Thread(target=elsewhere)
            thread.start()
            thread.join()
            self.assertEqual(len(errors), 1)
            self.assertEqual(list(reader.decodes(timeout=0)), [])


class LowLevelTest(unittest.TestCase):
    def test_every_function_of_the_header_has_a_prototype(self):
        with open(HEADER) as header:
            text = header.read()
        declared = set(re.findall(r"READER_API\s[^;(]*?READER_CALL\s*(\w+)\s*\(", text))
        self.assertEqual(len(declared), 31)
        self.assertEqual(declared, set(lowlevel.PROTOTYPES))
        for name in declared:
            self.assertIsNotNone(getattr(lowlevel, name).restype or name.startswith("ReaderHostSet"))

    def test_a_library_path_that_does_not_load_is_named(self):
        environment = dict(os.environ, READER3100XE_LIBRARY="/nonexistent/lib3100XE_DLL.so.2")
        done = subprocess.run([sys.executable, "-c", "import reader3100xe.lowlevel as l; l.load()"],
                              env=environment, stderr=subprocess.PIPE, text=True,
                              cwd=os.path.join(os.path.dirname(__file__), ".."))
        self.assertNotEqual(done.returncode, 0)
        self.assertIn("/nonexistent/lib3100XE_DLL.so.2", done.stderr)
        self.assertIn("READER3100XE_LIBRARY", done.stderr)


if __name__ == "__main__":
    unittest.main()
