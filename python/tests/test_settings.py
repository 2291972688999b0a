"""The settings record as a mapping: names, values, the round trip through
the engine, validation, reset and the defaults."""

import os
import subprocess
import sys
import unittest

from simulated_terminal import TerminalTestCase

from reader3100xe import Reader
from reader3100xe.settings_fields import ALIASES, FIELDS

SOURCE_DIR = os.path.join(os.path.dirname(__file__), "..", "..")


class SettingsTest(TerminalTestCase):
    SIM_OPTIONS = ("--engine=2", "--module=6")

    def test_names_are_the_fitted_engines_and_the_options(self):
        with Reader() as reader:
            settings = reader.settings
            names = set(settings)
            self.assertEqual(len(settings), len(names))
            self.assertIn("k2.trigger_mode", names)
            self.assertIn("prefix", names)
            self.assertFalse([name for name in names if name.startswith(("k3.", "k4."))])
            self.assertEqual(settings["device_mask"] & 1, 1)
            with self.assertRaises(KeyError):
                settings["k3.code39.enable"]
            with self.assertRaises(KeyError):
                settings["no_such_field"]
            self.assertEqual(len(settings.record), 401)
            # A field renamed is still found by its former name.
            for alias, name in ALIASES.items():
                if name in names:
                    self.assertNotIn(alias, names)
                    self.assertEqual(settings[alias], settings[name])

    def test_values_written_are_read_back_from_the_reader(self):
        with Reader() as reader:
            settings = reader.settings
            settings["k2.trigger_mode"] = 0
            settings.update({"prefix": "AB", "suffix": "\xe9Z", "vibrate_time": 3, "auto_read_start": -1,
                             "k2.scan_time": 7})
            self.assertEqual(settings["prefix"], "AB")
            settings.refresh()
            self.assertEqual(
                [settings[name] for name in ("k2.trigger_mode", "prefix", "suffix", "vibrate_time",
                                             "auto_read_start", "k2.scan_time")],
                [0, "AB", "\xe9Z", 3, -1, 7])
            self.assertEqual(settings.record[344], 1)  # the vibrator's on/off byte
            self.assertEqual(settings.record[318], 255)
            settings["vibrate_time"] = 0
            settings.refresh()
            self.assertEqual((settings["vibrate_time"], settings.record[344]), (0, 0))
        # The engine keeps its own settings over a new start.
        with Reader() as reader:
            self.assertEqual((reader.settings["k2.trigger_mode"], reader.settings["k2.scan_time"]), (0, 7))

    def test_values_a_field_does_not_take_change_nothing(self):
        with Reader() as reader:
            settings = reader.settings
            before = settings.record
            for name, value, error in [("k2.trigger_mode", 16, ValueError), ("k2.code128", 2, ValueError),
                                       ("auto_read_start", -2, ValueError), ("prefix", "x" * 11, ValueError),
                                       ("prefix", "a\0b", ValueError), ("device_mask", 1, ValueError),
                                       ("k2.scan_time", "7", TypeError), ("k2.code128", True, TypeError)]:
                with self.subTest(name=name, value=value), self.assertRaises(error):
                    settings[name] = value
            with self.assertRaises(ValueError):  # one bad value: none written
                settings.update({"prefix": "OK", "k2.trigger_mode": 99})
            with self.assertRaises(TypeError):
                del settings["prefix"]
            self.assertEqual(settings.record, before)
            settings.refresh()
            self.assertEqual(settings.record, before)

    def test_reset_puts_the_options_back(self):
        with Reader() as reader:
            settings = reader.settings
            defaults = reader.default_settings()
            self.assertEqual(set(defaults), set(settings))
            settings.update(prefix="PRE", keyboard_output=1 - defaults["keyboard_output"])
            settings.reset()
            self.assertEqual(settings["prefix"], defaults["prefix"])
            self.assertEqual(settings["keyboard_output"], defaults["keyboard_output"])
            self.assertEqual(dict(settings), defaults)


class FieldTableTest(unittest.TestCase):
    def test_the_field_table_follows_readerctl(self):
        source = os.path.join(SOURCE_DIR, "src", "settings", "settings_record_layout.h")
        if not os.path.exists(source):
            self.skipTest("no source tree")
        generator = os.path.join(os.path.dirname(__file__), "..", "tools", "generate_settings_fields.py")
        done = subprocess.run([sys.executable, generator, "--check", SOURCE_DIR], stderr=subprocess.PIPE,
                              text=True)
        self.assertEqual(done.returncode, 0, done.stderr)

    def test_fields_do_not_overlap(self):
        for section in (2, 3, 4):
            taken = {}
            for name, offset, kind, field_section, size in FIELDS:
                if field_section in (0, section):
                    for byte in range(offset, offset + size):
                        self.assertNotIn(byte, taken, "%s and %s" % (name, taken.get(byte)))
                        taken[byte] = name
            self.assertLess(max(taken), 401)


if __name__ == "__main__":
    unittest.main()
