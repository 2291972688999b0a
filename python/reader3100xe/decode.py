"""What the library announces and hands to the host: decodes and outputs."""

from dataclasses import dataclass
from typing import Optional

BARCODE = 7
TAG = 32


@dataclass(frozen=True)
class Decode:
    """One announced decode. `device` is 7 for a barcode, 32 for a tag;
    `type_code` the decode type code (barcode) or the tag family letter's
    code ('M', 'V', ...), 0 when there is none; `data` the barcode data or
    the tag data bytes read; `output_record` what GetOutputRecord gives for
    the device; `uid` the tag's UID text (None for barcodes)."""

    device: int
    type_code: int
    data: bytes
    output_record: bytes
    uid: Optional[str] = None

    @property
    def type_char(self):
        """The type code as a character, None when there is no code."""
        return chr(self.type_code) if self.type_code else None

    @property
    def is_tag(self):
        return self.device == TAG


@dataclass(frozen=True)
class Output:
    """One output of the terminal's drivers (ReaderHostSetOutputListener):
    `kind` a READER_OUTPUT_* value; `text` the sound path or trace line, or
    the typed characters (kind 4); `data` the audio driver's record (kind 2)."""

    kind: int
    value: int
    value2: int
    text: Optional[str]
    data: Optional[bytes]
