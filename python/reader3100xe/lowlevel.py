"""The library's C functions, one for one, with their ctypes prototypes.

Every exported function of 3100XE_DLL.h and the POSIX host API is an
attribute of this module under its C name (``lowlevel.InitReader()``,
``lowlevel.GetDllVer(buffer, size)``); the first use loads the library.
They take and return what the C functions do: ints, ``ctypes`` buffers,
``bytes`` for ``const char *`` arguments, and results are not checked.

The library is looked for, in this order:

1. the path in the environment variable ``READER3100XE_LIBRARY``;
2. ``lib3100XE_DLL.so.2`` or ``lib3100XE_DLL.so`` beside this package;
3. the system's loader (``lib3100XE_DLL.so.2``, then ``lib3100XE_DLL.so``).
"""

import ctypes
import os
import threading

LIBRARY_ENVIRONMENT_VARIABLE = "READER3100XE_LIBRARY"
LIBRARY_NAMES = ("lib3100XE_DLL.so.2", "lib3100XE_DLL.so")

# ---- API return codes --------------------------------------------------
READER_OK = 1
READER_ERR_ALREADY_STARTED = -51
READER_ERR_NO_DEVICE = -101
READER_ERR_START_FAILED = -102
READER_ERR_BARCODE_FAILED = -111
READER_ERR_RFID_FAILED = -112
READER_ERR_SETTINGS = -121
READER_ERR_NO_BARCODE = -131
READER_ERR_NO_RFID = -132
READER_ERR_NO_SOUND = -242
READER_ERR_RFID_WRITE = -276
READER_ERR_RFID_READ = -280
READER_ERR_BAD_BUFFER = -300

# ---- Device masks --------------------------------------------------------
READER_DEVICE_BARCODE = 7
READER_DEVICE_RFID = 32
READER_DEVICE_ALL = 255

# ---- Reader type mask (GetReaderType) -----------------------------------
READER_TYPE_TEXT_ENGINE = 1
READER_TYPE_SSI_ENGINE_4 = 2
READER_TYPE_SSI_ENGINE_3 = 4
READER_TYPE_HEX_MODULE = 16
READER_TYPE_ASCII_MODULE = 32

# ---- Tag memory ----------------------------------------------------------
READER_RFID_READ_UID = 1
READER_RFID_READ_DATA = 2

READER_SETTINGS_RECORD_SIZE = 401

# ---- Host outputs (enum ReaderOutputKind) --------------------------------
READER_OUTPUT_VIBRATOR = 1
READER_OUTPUT_AUDIO = 2
READER_OUTPUT_SOUND = 3
READER_OUTPUT_KEY_CHARS = 4
READER_OUTPUT_KEY_EVENT = 5
READER_OUTPUT_TRACE = 6
READER_OUTPUT_PORT_ERROR = 7


class ReaderOutput(ctypes.Structure):
    """struct ReaderOutput."""

    _fields_ = [
        ("kind", ctypes.c_int),
        ("value", ctypes.c_long),
        ("value2", ctypes.c_long),
        ("text", ctypes.c_char_p),
        ("data", ctypes.c_void_p),
        ("dataLength", ctypes.c_int),
    ]


ReaderBroadcastListener = ctypes.CFUNCTYPE(
    None, ctypes.c_char_p, ctypes.c_long, ctypes.c_long, ctypes.c_void_p)
ReaderOutputListener = ctypes.CFUNCTYPE(None, ctypes.POINTER(ReaderOutput), ctypes.c_void_p)

_int = ctypes.c_int
_uint = ctypes.c_uint
_char_buffer = ctypes.c_char_p  # writable buffers: pass ctypes.create_string_buffer(n)
_record = ctypes.c_char_p       # the settings record: create_string_buffer(401)

# name: (restype, argtypes)
PROTOTYPES = {
    # Lifecycle
    "InitReader": (_int, []),
    "InitReaderEx": (_int, []),
    "HaltReader": (_int, [_int]),
    # Device queries
    "GetReaderType": (_int, []),
    "GetActiveDevice": (_int, []),
    "SetActiveDevice": (_int, [_int]),
    "GetTriggerKeyStatus": (_int, []),
    "SetTriggerKey": (_int, [_int]),
    "GetDllVer": (_int, [_char_buffer, _int]),
    "GetSerialNumber": (_int, [_char_buffer, _int]),
    # Decode results
    "GetDecodeData": (_int, [_char_buffer, _int]),
    "GetDecodeType": (_int, []),
    "GetDecodeRfidData": (_int, [_char_buffer, _int]),
    "GetDecodeRfidUID": (_int, [_char_buffer, _int]),
    "GetDecodeTagType": (_int, []),
    "GetOutputRecord": (_int, [_int, _char_buffer, _int]),
    # Tag memory
    "ReadRfidData": (_int, [_int, _char_buffer, _uint, _int, _int, _int, ctypes.c_char_p]),
    "WriteRfidData": (_int, [ctypes.c_char_p, _int, _int, ctypes.POINTER(_int), _int, _int,
                             ctypes.c_char_p]),
    # Feedback
    "Beeper": (_int, [_int, ctypes.c_char_p]),
    "SetVibrator": (_int, [_int, _int]),
    # Settings
    "GetReaderSettings": (_int, [_record]),
    "SetReaderSettings": (_int, [_record]),
    "ResetReaderToDefault": (_int, [_int]),
    "GetDllDefaultSettings": (_int, [_record]),
    # POSIX host API
    "ReaderHostDispatch": (_int, [_int]),
    "ReaderHostTriggerKey": (_int, [_int, _int]),
    "ReaderHostWaitEvent": (_int, [ctypes.c_char_p, _int]),
    "ReaderHostSetBroadcastListener": (None, [ReaderBroadcastListener, ctypes.c_void_p]),
    "ReaderHostSetOutputListener": (None, [ReaderOutputListener, ctypes.c_void_p]),
    "ReaderHostGetLinkSpeed": (_int, [_int]),
    "ReaderHostSetHandledOutputs": (None, [ctypes.c_uint]),
}

_lock = threading.Lock()
_library = None
_loaded_from = None


def _candidates():
    override = os.environ.get(LIBRARY_ENVIRONMENT_VARIABLE)
    if override:
        # Given explicitly: no fallback hides a wrong path.
        return [override]
    here = os.path.dirname(os.path.abspath(__file__))
    beside = [os.path.join(here, name) for name in LIBRARY_NAMES]
    return [path for path in beside if os.path.exists(path)] + list(LIBRARY_NAMES)


def load(path=None):
    """Loads the library once (from `path`, or by the search above) and sets
    every function's prototype. Returns the ctypes.CDLL."""
    global _library, _loaded_from
    with _lock:
        if _library is not None:
            return _library
        tried = []
        for candidate in [path] if path else _candidates():
            try:
                library = ctypes.CDLL(candidate)
            except OSError as error:
                tried.append(f"{candidate}: {error}")
                continue
            for name, (restype, argtypes) in PROTOTYPES.items():
                function = getattr(library, name)
                function.restype = restype
                function.argtypes = argtypes
            _library = library
            _loaded_from = candidate
            return library
        raise OSError("cannot load the reader library (set %s to its path); tried:\n  %s"
                      % (LIBRARY_ENVIRONMENT_VARIABLE, "\n  ".join(tried)))


def loaded_from():
    """The path or name the library was loaded by; None before the first use."""
    return _loaded_from


def __getattr__(name):
    if name in PROTOTYPES:
        return getattr(load(), name)
    raise AttributeError(f"module {__name__!r} has no attribute {name!r}")
