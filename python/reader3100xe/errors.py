"""ReaderError: a failure the library reported, with its code and meaning."""

# The library's codes, in the words of its header.
CODE_MEANINGS = {
    -51: "already started: a device channel is already open",
    -101: "neither engine nor module present",
    -102: "start failed: nothing opened (window, port or thread)",
    -111: "the barcode engine failed (fitted but not opened or not set up)",
    -112: "the RFID module failed (fitted but not opened or not set up)",
    -121: "null settings record",
    -131: "barcode selected but none fitted",
    -132: "RFID selected but none fitted",
    -242: "no sound was named",
    -276: "tag write failed: bad arguments, no tag, or nothing written",
    -280: "tag read failed: bad arguments or no tag",
    -300: "null buffer or size below 1",
}


def meaning_of(code):
    """The meaning of a library code in words."""
    return CODE_MEANINGS.get(code, "unknown result %d" % code)


class ReaderError(Exception):
    """A library call that failed. `code` is the library's result (-102,
    -280, ...), `meaning` its meaning in words, `function` the C function."""

    def __init__(self, code, function=None):
        self.code = code
        self.meaning = meaning_of(code)
        self.function = function
        where = "%s: " % function if function else ""
        super().__init__("%s%d (%s)" % (where, code, self.meaning))


def check(result, function):
    """`result` when it is not negative, else raises ReaderError."""
    if result < 0:
        raise ReaderError(result, function)
    return result
