"""Reader: the terminal's barcode engine and RFID module as one object."""

import atexit
import collections
import ctypes
import threading
import time

from . import lowlevel as ll
from .decode import BARCODE, TAG, Decode, Output
from .errors import ReaderError, check
from .settings import RECORD_SIZE, Settings

DEVICE_ALL = ll.READER_DEVICE_ALL

# The library is one per process: so is the started Reader.
_started_lock = threading.Lock()
_started = None


def _read_buffer(function, *args, size=4096, limit=1 << 20):
    """Calls a copying function with a buffer that holds its whole result;
    returns the bytes. A result equal to the size means "cut": try larger."""
    while True:
        buffer = ctypes.create_string_buffer(size)
        count = check(function(*args, buffer, size), function.__name__)
        if count < size or size >= limit:
            return buffer.raw[:min(count, size - 1)]
        size *= 16


def _text(function):
    return _read_buffer(function, size=256).decode("latin-1")


class Reader:
    """Starts the reader on entering a `with` block (InitReader, or
    InitReaderEx with extended=True) and halts it on leaving, also when the
    block raises.

    A start that finds one device failing (-111 engine, -112 module) raises
    ReaderError and halts again, unless allow_partial is true: the reader
    then stays started and `start_result` tells which failed. `output`, a
    callable taking an Output, receives the terminal drivers' outputs (the
    vibrator, sounds, keystrokes, trace lines) on the library's threads.

    Decodes are announced on the thread that started the reader, while it
    dispatches: iterate decodes() (or call dispatch()) on that thread."""

    def __init__(self, extended=False, allow_partial=False, output=None):
        self.extended = extended
        self.allow_partial = allow_partial
        self.start_result = None
        self._output = output
        self._thread = None
        self._pending = collections.deque()
        self._listener_error = None
        self._broadcast_callback = ll.ReaderBroadcastListener(self._on_broadcast)
        self._output_callback = ll.ReaderOutputListener(self._on_output)
        self._settings = None

    # ---- Lifecycle -----------------------------------------------------

    def start(self):
        """Starts the reader; returns the start's result (1, or -111/-112
        with allow_partial)."""
        global _started
        with _started_lock:
            if _started is not None:
                raise RuntimeError("a Reader is already started in this process")
            _started = self
        try:
            lib = ll.load()
            lib.ReaderHostSetBroadcastListener(self._broadcast_callback, None)
            if self._output is not None:
                lib.ReaderHostSetOutputListener(self._output_callback, None)
            self._thread = threading.get_ident()
            function = lib.InitReaderEx if self.extended else lib.InitReader
            result = function()
            partial = result in (ll.READER_ERR_BARCODE_FAILED, ll.READER_ERR_RFID_FAILED)
            if result != ll.READER_OK and not (partial and self.allow_partial):
                # A partial start leaves the working device open; -51 is
                # another start's, which stays.
                if result != ll.READER_ERR_ALREADY_STARTED:
                    lib.HaltReader(DEVICE_ALL)
                raise ReaderError(result, function.__name__)
            self.start_result = result
            return result
        except BaseException:
            self._release()
            raise

    def close(self):
        """Halts every device and lets go of the library's listeners."""
        if _started is not self:
            return
        ll.load().HaltReader(DEVICE_ALL)  # -101: nothing was open
        self._release()

    def _release(self):
        global _started
        try:
            lib = ll.load()
            lib.ReaderHostSetBroadcastListener(ll.ReaderBroadcastListener(), None)
            lib.ReaderHostSetOutputListener(ll.ReaderOutputListener(), None)
        finally:  # also when the library never loaded
            self._settings = None
            with _started_lock:
                if _started is self:
                    _started = None

    def halt(self, devices=DEVICE_ALL):
        """HaltReader(devices): closes the selected devices only."""
        check(ll.load().HaltReader(devices), "HaltReader")

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exception):
        self.close()
        return False

    # ---- Device queries ------------------------------------------------

    @property
    def version(self):
        """The library's version text, "2.00.0027"."""
        buffer = ctypes.create_string_buffer(64)
        if ll.load().GetDllVer(buffer, len(buffer)) != 1:
            raise ReaderError(ll.READER_ERR_BAD_BUFFER, "GetDllVer")
        return buffer.value.decode("latin-1")

    @property
    def serial_number(self):
        return _text(ll.load().GetSerialNumber)

    @property
    def reader_type(self):
        """The fitted devices as a mask of READER_TYPE_* bits."""
        return ll.load().GetReaderType()

    @property
    def engine_kind(self):
        """The fitted engine: 2 text engine, 3 and 4 SSI variants, 0 none."""
        kind = self.reader_type
        return 2 if kind & 1 else 3 if kind & 4 else 4 if kind & 2 else 0

    @property
    def module_kind(self):
        """The fitted RFID module: 5 ASCII commands, 6 hex frames, 0 none."""
        kind = self.reader_type
        return 5 if kind & 32 else 6 if kind & 16 else 0

    def link_speed(self, port):
        """The line speed of COM port 1 (engine) or 2 (module) in bit/s while
        its device is present, else 0."""
        return ll.load().ReaderHostGetLinkSpeed(port)

    def set_handled_outputs(self, kinds):
        """Says which outputs (READER_OUTPUT_* kinds, an iterable of ints) the
        host handles itself; the terminal's own drivers handle the others.
        The output listener still receives every output."""
        mask = 0
        for kind in kinds:
            mask |= 1 << int(kind)
        ll.load().ReaderHostSetHandledOutputs(mask)

    @property
    def active_devices(self):
        """0, 7 (engine), 32 (module) or 255 (both): the devices scanning."""
        return ll.load().GetActiveDevice()

    @active_devices.setter
    def active_devices(self, devices):
        check(ll.load().SetActiveDevice(devices), "SetActiveDevice")

    @property
    def trigger_keys_enabled(self):
        return bool(ll.load().GetTriggerKeyStatus())

    @trigger_keys_enabled.setter
    def trigger_keys_enabled(self, enabled):
        ll.load().SetTriggerKey(1 if enabled else 0)

    # ---- Trigger keys and announcements -------------------------------

    def press_trigger(self, key=1):
        """What the key driver does when trigger key 1 or 2 goes down."""
        if ll.load().ReaderHostTriggerKey(key, 1) != 1:
            raise ValueError("trigger key %r: only 1 and 2 exist" % (key,))

    def release_trigger(self, key=1):
        if ll.load().ReaderHostTriggerKey(key, 0) != 1:
            raise ValueError("trigger key %r: only 1 and 2 exist" % (key,))

    def dispatch(self, timeout=0.0):
        """Dispatches the hidden window's messages (the trigger keys act,
        decodes are announced), waiting up to `timeout` seconds for the
        first one (None: without limit). Returns how many were dispatched.
        Only on the thread that started the reader."""
        self._check_thread()
        milliseconds = -1 if timeout is None else max(0, int(timeout * 1000))
        count = ll.load().ReaderHostDispatch(milliseconds)
        self._raise_listener_error()
        return count

    def wait_event(self, name, timeout=None):
        """Waits for the named event ("DecodeEventBC", "DecodeEventRFID");
        True when signalled, False on time-out. Any thread."""
        milliseconds = -1 if timeout is None else max(0, int(timeout * 1000))
        result = ll.load().ReaderHostWaitEvent(name.encode(), milliseconds)
        if result < 0:
            raise ValueError("no event named %r (or the reader halted)" % name)
        return result == 1

    def decodes(self, timeout=None, device=DEVICE_ALL):
        """Yields each decode announced (Decode objects, barcodes and tags;
        `device` 7 or 32 keeps one kind), dispatching on this thread, which
        must be the one that started the reader. Ends when none comes within
        `timeout` seconds of the last (None: never)."""
        self._check_thread()
        deadline = None if timeout is None else time.monotonic() + timeout
        while True:
            while self._pending:
                decode = self._pending.popleft()
                if device & decode.device:
                    yield decode
                    if timeout is not None:
                        deadline = time.monotonic() + timeout
            remaining = 0.1 if deadline is None else deadline - time.monotonic()
            if remaining <= 0:
                return
            # In short turns, so that Ctrl-C is seen.
            self.dispatch(min(remaining, 0.1))

    def scan(self, timeout=5.0, key=1):
        """One scan as the key driver makes it: enables the trigger keys,
        holds `key` down until a barcode is announced (or `timeout` seconds
        pass) and lets it up. Returns the Decode, or None."""
        self.trigger_keys_enabled = True
        self._pending.clear()
        self.press_trigger(key)
        try:
            for decode in self.decodes(timeout=timeout, device=BARCODE):
                return decode
            return None
        finally:
            self.release_trigger(key)
            self.dispatch(0)

    def _check_thread(self):
        if _started is not self:
            raise RuntimeError("the reader is not started")
        if threading.get_ident() != self._thread:
            raise RuntimeError("decodes are dispatched on the thread that started the reader")

    # Runs where the library broadcasts: WM_DECODEDATA inside dispatch() on
    # the starting thread. The decode is read here, before a later one can
    # replace it.
    def _on_broadcast(self, message, w_param, l_param, context):
        try:
            if message == b"WM_DECODEDATA" and w_param in (BARCODE, TAG):
                self._pending.append(self.last_decode(w_param))
        except BaseException as error:  # ctypes would only print it
            self._listener_error = error

    def _raise_listener_error(self):
        error, self._listener_error = self._listener_error, None
        if error is not None:
            raise error

    def _on_output(self, pointer, context):
        try:
            raw = pointer.contents
            text = raw.text.decode("utf-8", "replace") if raw.text is not None else None
            data = None
            if raw.kind == ll.READER_OUTPUT_KEY_CHARS and raw.data:
                characters = ctypes.cast(raw.data, ctypes.POINTER(ctypes.c_int32))
                text = "".join(chr(characters[i]) for i in range(raw.dataLength))
            elif raw.data and raw.dataLength > 0:
                data = ctypes.string_at(raw.data, raw.dataLength)
            self._output(Output(raw.kind, raw.value, raw.value2, text, data))
        except BaseException as error:
            self._listener_error = error

    # ---- Decode results ------------------------------------------------

    def last_decode(self, device=BARCODE):
        """The last decode of the device (7 barcode, 32 tag), as the query
        functions give it; type_code 0 and empty data before the first."""
        lib = ll.load()
        record = _read_buffer(lib.GetOutputRecord, device)
        if device == TAG:
            return Decode(TAG, lib.GetDecodeTagType(), _read_buffer(lib.GetDecodeRfidData),
                          record, _text(lib.GetDecodeRfidUID))
        return Decode(BARCODE, lib.GetDecodeType(), _read_buffer(lib.GetDecodeData), record)

    # ---- Tag memory ----------------------------------------------------

    def read_tag(self, start=-1, length=16, key=None):
        """Reads `length` (1 to 128) data bytes of the tag in the field from
        byte address `start` (-1: the family's first data block); Mifare
        sectors are logged in to with `key`. Returns the bytes read (fewer
        when a block could not be read). ReaderError -280 when no tag."""
        size = max(length, 0) + 1
        buffer = ctypes.create_string_buffer(size)
        count = ll.load().ReadRfidData(ll.READER_RFID_READ_DATA, buffer, size, start, length, 0,
                                      _key(key))
        return buffer.raw[:check(count, "ReadRfidData")]

    def read_tag_uid(self):
        """Reads the tag in the field; returns its UID as hexadecimal text."""
        buffer = ctypes.create_string_buffer(64)
        count = ll.load().ReadRfidData(ll.READER_RFID_READ_UID, buffer, len(buffer), -1, 1, 0, None)
        return buffer.raw[:check(count, "ReadRfidData")].decode("latin-1")

    def write_tag(self, data, start=-1, key=None):
        """Writes the bytes `data` (1 to 128) into the tag in the field from
        byte address `start`. Returns the count written (fewer when the write
        ended early). ReaderError -276 when nothing was written.

        On a module taking hex frames the tag is read first, as readerctl
        does: such a module writes only with the air protocol it last
        selected, and a reader just started has selected none."""
        data = bytes(data)
        if self.module_kind == 6 and data:
            buffer = ctypes.create_string_buffer(64)  # no tag: the write says so
            ll.load().ReadRfidData(ll.READER_RFID_READ_UID, buffer, len(buffer), -1, 1, 0, None)
        written = ctypes.c_int(0)
        result = ll.load().WriteRfidData(data, start, len(data), ctypes.byref(written), 0, 0,
                                         _key(key))
        check(result, "WriteRfidData")
        return written.value

    # ---- Feedback ------------------------------------------------------

    def beep(self, number=1, sound_file=None):
        """Plays good-read sound 1 to 9, or with number -1 the sound file."""
        name = sound_file.encode() if sound_file is not None else None
        check(ll.load().Beeper(number, name), "Beeper")

    def vibrate(self, time_units):
        """Vibrates for time_units x 500 ms; returns when it has stopped."""
        ll.load().SetVibrator(1, time_units)

    def stop_vibrating(self):
        ll.load().SetVibrator(0, 0)

    # ---- Settings ------------------------------------------------------

    @property
    def settings(self):
        """The settings record as a mutable mapping (see Settings); read
        from the reader at the first use."""
        if self._settings is None:
            self._settings = Settings(self)
        return self._settings

    def read_settings_record(self):
        """GetReaderSettings: the 401-byte record."""
        record = ctypes.create_string_buffer(RECORD_SIZE)
        check(ll.load().GetReaderSettings(record), "GetReaderSettings")
        return record.raw

    def write_settings_record(self, record):
        """SetReaderSettings with a 401-byte record."""
        if len(record) != RECORD_SIZE:
            raise ValueError("the settings record has %d bytes" % RECORD_SIZE)
        check(ll.load().SetReaderSettings(bytes(record)), "SetReaderSettings")

    def reset_settings(self, devices=DEVICE_ALL):
        """ResetReaderToDefault: the library options back to their defaults,
        the default set-up sent to the selected devices."""
        check(ll.load().ResetReaderToDefault(devices), "ResetReaderToDefault")
        if self._settings is not None:
            self._settings.refresh()

    def default_settings(self):
        """GetDllDefaultSettings: resets both devices and returns the record
        they then hold as a dict of field names."""
        record = ctypes.create_string_buffer(RECORD_SIZE)
        check(ll.load().GetDllDefaultSettings(record), "GetDllDefaultSettings")
        if self._settings is not None:
            self._settings.refresh()
        return dict(_SnapshotSettings(record.raw))


class _SnapshotSettings(Settings):
    """A record already read, as a read-only mapping."""

    def __init__(self, record):
        self._record = bytearray(record)


@atexit.register
def _halt_at_exit():
    # The library outlives the interpreter: its listeners must not call
    # into Python after this, nor its devices stay open.
    reader = _started
    if reader is not None:
        reader.close()


def _key(key):
    if key is None:
        return None
    return key.encode("latin-1") if isinstance(key, str) else bytes(key)
