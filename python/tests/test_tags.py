"""Tag reads and writes, and the trigger's auto-read announced as a decode."""

import unittest

from simulated_terminal import TerminalTestCase

from reader3100xe import TAG, Reader, ReaderError


class TagTest(TerminalTestCase):
    SIM_OPTIONS = ("--engine=0", "--module=6")

    def setUp(self):
        self.terminal.command("tag clear")
        self.terminal.command("tag place tagit:A1B2C3D4:48656C6C6F")

    def test_read_gives_the_uid_and_the_data(self):
        with Reader() as reader:
            self.assertEqual(reader.read_tag_uid(), "A1B2C3D4")
            self.assertEqual(reader.read_tag(length=5), b"Hello")
            last = reader.last_decode(TAG)
            self.assertEqual((last.type_char, last.uid, last.data), ("T", "A1B2C3D4", b"Hello"))

    def test_written_bytes_are_read_back(self):
        with Reader() as reader:
            self.assertEqual(reader.write_tag(b"p\x00y", start=1), 3)
            # The block's other bytes keep their content.
            self.assertEqual(reader.read_tag(start=0, length=6), b"Hp\x00yo\x00")
            self.assertEqual(reader.read_tag(length=128)[:5], b"Hp\x00yo")

    def test_the_trigger_reads_the_tag_in_the_field(self):
        with Reader() as reader:
            reader.settings.update(auto_read_start=-1, auto_read_length=5, rfid_output_uid=1,
                                   rfid_output_data=1, rfid_data_separator=ord(";"), prefix="",
                                   suffix="", output_type_code=0, output_length=0)
            reader.trigger_keys_enabled = True
            reader.press_trigger()
            try:
                decode = next(reader.decodes(timeout=20, device=TAG))
            finally:
                reader.release_trigger()
            self.assertEqual((decode.device, decode.type_char, decode.uid, decode.data),
                             (TAG, "T", "A1B2C3D4", b"Hello"))
            self.assertEqual(decode.output_record, b"A1B2C3D4;Hello")


class NoTagTest(TerminalTestCase):
    SIM_OPTIONS = ("--engine=0", "--module=5")

    def test_no_tag_raises_the_read_and_write_codes(self):
        with Reader() as reader:
            with self.assertRaises(ReaderError) as raised:
                reader.read_tag()
            self.assertEqual(raised.exception.code, -280)
            with self.assertRaises(ReaderError) as raised:
                reader.write_tag(b"x")
            self.assertEqual(raised.exception.code, -276)


if __name__ == "__main__":
    unittest.main()
