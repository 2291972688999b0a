"""The settings record as a mutable mapping of readerctl's field names."""

from collections.abc import MutableMapping

from .settings_fields import ALIASES, FIELDS, VIBRATE_SWITCH_BYTE

RECORD_SIZE = 401

# The values each numeric kind takes, as readerctl checks them.
_RANGES = {
    "Flag": (0, 1),
    "Bits2": (0, 3),
    "Bits4": (0, 15),
    "Bits7": (0, 127),
    "Byte": (0, 255),
    "VibrateTime": (0, 255),
    "OnWithValue": (0, 4),
    "LengthMode": (0, 3),  # 1 excluded below
    "UpToTwo": (0, 2),
    "StartAddress": (-1, 255),  # -1: the tag family's first data block
}

FIELDS_BY_NAME = {field[0]: field for field in FIELDS}


def engine_kind_of(record):
    """The fitted engine's kind from byte 0 of a record (2, 3, 4), 0 for none."""
    if record[0] & 1:
        return 2
    if record[0] & 4:
        return 3
    if record[0] & 2:
        return 4
    return 0


def field_value(field, record):
    """A field's value in `record`: an int, or a str for text fields."""
    name, offset, kind, section, size = field
    byte = record[offset]
    if kind == "Text":
        text = bytes(record[offset:offset + size - 1])
        return text.split(b"\0", 1)[0].decode("latin-1")
    if kind == "StartAddress":
        return -1 if byte == 255 else byte
    if kind == "VibrateTime":
        return byte if record[VIBRATE_SWITCH_BYTE] else 0
    return byte


def store_field_value(field, value, record):
    """Stores `value` into the bytearray `record`; ValueError or TypeError
    (nothing changed) when the field does not take it."""
    name, offset, kind, section, size = field
    if kind == "DeviceMask":
        raise ValueError("%s is read only" % name)
    if kind == "Text":
        if isinstance(value, str):
            value = value.encode("latin-1")
        if not isinstance(value, (bytes, bytearray)):
            raise TypeError("%s takes text" % name)
        if len(value) > size - 1 or b"\0" in value:
            raise ValueError("%s takes at most %d characters" % (name, size - 1))
        record[offset:offset + size] = bytes(value).ljust(size, b"\0")
        return
    if isinstance(value, bool) or not isinstance(value, int):
        raise TypeError("%s takes an integer, not %r" % (name, value))
    low, high = _RANGES[kind]
    if not low <= value <= high or (kind == "LengthMode" and value == 1):
        takes = "0, 2 or 3" if kind == "LengthMode" else "%d to %d" % (low, high)
        raise ValueError("bad value %r for %s: takes %s" % (value, name, takes))
    if kind == "StartAddress" and value < 0:
        value = 255
    if kind == "VibrateTime":
        record[VIBRATE_SWITCH_BYTE] = 1 if value else 0
    record[offset] = value


class Settings(MutableMapping):
    """The reader's settings record: the fields of the fitted engine's section
    and the library options, by readerctl's names ("k2.trigger_mode",
    "prefix", ...). Read from the reader when created (and by refresh());
    each assignment writes the record back with SetReaderSettings at once,
    update() writes once for all its fields. A field's former name (see
    settings_fields.ALIASES) is accepted too. Values are ints, and str for
    the text fields (prefix, suffix, auto_read_key; bytes as latin-1).
    Fields cannot be deleted."""

    def __init__(self, reader):
        self._reader = reader
        self._record = bytearray(reader.read_settings_record())

    @property
    def record(self):
        """The 401-byte record as last read or written."""
        return bytes(self._record)

    @property
    def engine_kind(self):
        return engine_kind_of(self._record)

    def refresh(self):
        """Reads the record from the reader again (what it really holds)."""
        self._record = bytearray(self._reader.read_settings_record())

    def reset(self, devices=255):
        """ResetReaderToDefault(devices), then reads the record again."""
        self._reader.reset_settings(devices)
        self.refresh()

    def _field(self, name):
        field = FIELDS_BY_NAME.get(ALIASES.get(name, name))
        if field is None:
            raise KeyError(name)
        if field[3] not in (0, self.engine_kind):
            raise KeyError("%s belongs to the engine of kind %d" % (name, field[3]))
        return field

    def __getitem__(self, name):
        return field_value(self._field(name), self._record)

    def __setitem__(self, name, value):
        self.update({name: value})

    def update(self, other=(), **values):
        changed = bytearray(self._record)
        for name, value in dict(other, **values).items():
            store_field_value(self._field(name), value, changed)
        self._reader.write_settings_record(bytes(changed))
        self._record = changed

    def __delitem__(self, name):
        raise TypeError("settings fields cannot be removed")

    def __iter__(self):
        kind = self.engine_kind
        return (field[0] for field in FIELDS if field[3] in (0, kind))

    def __len__(self):
        return sum(1 for _ in self)

    def __repr__(self):
        return "Settings(%r)" % dict(self)
