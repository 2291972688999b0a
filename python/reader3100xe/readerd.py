"""A client of readerd, the service that owns the reader and serves it on a
Unix socket, one JSON object per line (standard library only; the library
itself is not loaded).

    from reader3100xe.readerd import ReaderdClient
    with ReaderdClient() as client:
        print(client.request("status")["reader"])
        for barcode in client.decodes(timeout=30):
            print(barcode.type_name, barcode.data, barcode.missed)

readerd writes every byte of a string that is not printable ASCII as the
JSON escape of its value (0xE9 is \\u00e9): the client turns such strings
back into bytes, and sends bytes the same way.
"""

import json
import os
import select
import socket
import time
from collections import deque
from dataclasses import dataclass, field
from datetime import datetime
from typing import Optional

SOCKET_ENVIRONMENT_VARIABLE = "READERD_SOCKET"
SYSTEM_SOCKET = "/run/readerd/readerd.sock"

BARCODE = 7
TAG = 32


def default_socket_path():
    """$READERD_SOCKET; else a readerd of the user's own
    ($XDG_RUNTIME_DIR/readerd.sock) when its socket exists; else the
    system's, /run/readerd/readerd.sock."""
    path = os.environ.get(SOCKET_ENVIRONMENT_VARIABLE)
    if path:
        return path
    runtime = os.environ.get("XDG_RUNTIME_DIR", "")
    if runtime.startswith("/"):
        own = os.path.join(runtime, "readerd.sock")
        if os.path.exists(own):
            return own
    return SYSTEM_SOCKET


def wire_bytes(text):
    """A string as readerd means it: each code point below 256 is that byte.
    (readerd writes no others; one that comes anyway is kept as UTF-8.)"""
    if text is None:
        return None
    try:
        return text.encode("latin-1")
    except UnicodeEncodeError:
        return b"".join(c.encode("latin-1") if ord(c) < 256 else c.encode("utf-8") for c in text)


def _wire_value(value):
    if isinstance(value, (bytes, bytearray)):
        return bytes(value).decode("latin-1")
    if value is None or isinstance(value, (bool, int, float, str)):
        return value
    raise TypeError("readerd takes strings, bytes, numbers, booleans and None, not %s"
                    % type(value).__name__)


def _time_of(text):
    if not text:
        return None
    try:
        return datetime.fromisoformat(text.replace("Z", "+00:00"))
    except ValueError:
        return None


class ReaderdError(Exception):
    """An error object readerd answered with: `code` ("unknown_command",
    "bad_argument", "reader_failed", ...), `message` in words, `result` the
    library's code for "reader_failed" (else None), `reply` the whole object."""

    def __init__(self, reply):
        self.reply = reply
        self.code = reply.get("error")
        self.message = reply.get("message", "")
        self.result = reply.get("result")
        text = "%s: %s" % (self.code, self.message)
        if self.result is not None:
            text += " (result %s)" % self.result
        super().__init__(text)


class ReaderdClosed(ConnectionError):
    """readerd closed the connection (it stopped, or dropped this client)."""


@dataclass(frozen=True)
class Barcode:
    """A barcode readerd announced. `seq` numbers the announcements sent to
    this client; `missed` counts those lost just before this one (the client
    did not read fast enough), 0 when none was."""

    seq: int
    type: int
    type_name: str
    data: bytes
    record: bytes
    time: Optional[datetime]
    missed: int = 0
    device: int = BARCODE


@dataclass(frozen=True)
class Tag:
    """A tag readerd announced: `uid` its UID text, `data` the bytes read;
    `seq` and `missed` as for Barcode."""

    seq: int
    type: int
    type_name: str
    uid: str
    data: bytes
    record: bytes
    time: Optional[datetime]
    missed: int = 0
    device: int = TAG


@dataclass(frozen=True)
class ReaderState:
    """The reader started, is restarting or stopped: `state` is "running",
    "restarting" or "stopped"; `members` the event's other members."""

    state: str
    members: dict = field(default_factory=dict)


class ReaderdClient:
    """One connection to readerd. `path`: the socket (default_socket_path()
    when None). `timeout`: seconds a request waits for its answer.

    Not for use by several threads at once: requests and events share one
    stream; events that arrive while a request waits are kept for events()."""

    def __init__(self, path=None, timeout=30.0):
        self.path = path or default_socket_path()
        self.timeout = timeout
        # Announcements this client missed in all, from the gaps in `seq`,
        # and objects readerd reported dropped ("overflow" events: replies
        # and other events included).
        self.missed = 0
        self.overflowed = 0
        self._socket = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        try:
            self._socket.connect(self.path)
        except OSError as error:
            self._socket.close()
            raise type(error)(error.errno, "cannot connect to readerd at %s: %s"
                              % (self.path, error.strerror or error)) from None
        self._input = bytearray()
        self._events = deque()
        self._next_id = 1
        self._last_seq = 0

    def close(self):
        self._socket.close()

    def fileno(self):
        return self._socket.fileno()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def request(self, cmd, **arguments):
        """Sends {"cmd": cmd, ...arguments} and returns readerd's reply (the
        whole object, "reply" and "id" included). Raises ReaderdError for an
        error object, TimeoutError when nothing answers within `timeout`,
        ReaderdClosed when readerd closes. Bytes arguments go as readerd's
        byte strings; names that are not Python identifiers (settings_set's
        "k2.trigger_mode") go through **{"name": value}."""
        ident = self._next_id
        self._next_id += 1
        message = {"cmd": cmd, "id": ident}
        for name, value in arguments.items():
            message[name] = _wire_value(value)
        self._socket.sendall(json.dumps(message, separators=(",", ":")).encode("ascii") + b"\n")
        deadline = None if self.timeout is None else time.monotonic() + self.timeout
        while True:
            answer = self._read_object(deadline)
            if answer is None:
                raise TimeoutError("readerd did not answer %s within %s s" % (cmd, self.timeout))
            if "event" in answer:
                self._events.append(answer)
                continue
            # An error without an id answers a line readerd could not read:
            # only this one is outstanding. Any other id is a late answer to a
            # request that timed out.
            if answer.get("id", None) not in (ident, None):
                continue
            if "error" in answer:
                raise ReaderdError(answer)
            return answer

    def wait_running(self, timeout=60.0):
        """Waits until readerd's reader is running (it starts the reader
        when it starts, and again after a device came back). True once it
        is, False when `timeout` seconds pass first."""
        deadline = time.monotonic() + timeout
        while True:
            if self.request("status").get("reader") == "running":
                return True
            if time.monotonic() >= deadline:
                return False
            time.sleep(0.05)

    def subscribe(self, what="all", timeout=None):
        """Subscribes to `what` ("barcodes", "tags", "all" or "none") at once
        and returns events(timeout)."""
        self.request("subscribe", what=what)
        return self.events(timeout)

    def decodes(self, what="barcodes", timeout=None):
        """Subscribes to `what` at once and returns a generator of the
        Barcode and Tag objects announced (other events are skipped)."""
        self.request("subscribe", what=what)
        return (event for event in self.events(timeout) if isinstance(event, (Barcode, Tag)))

    def events(self, timeout=None):
        """Yields each event as it comes: Barcode, Tag or ReaderState. Ends
        when none comes within `timeout` seconds of the last one (None:
        waits for ever); raises ReaderdClosed when readerd closes. Requests
        may be made between two events."""
        while True:
            if self._events:
                raw = self._events.popleft()
            else:
                deadline = None if timeout is None else time.monotonic() + timeout
                raw = self._read_object(deadline)
                if raw is None:
                    return
                if "event" not in raw:
                    continue  # a late answer to a request that timed out
            event = self._event(raw)
            if event is not None:
                yield event

    def _event(self, raw):
        kind = raw.get("event")
        if kind == "overflow":
            self.overflowed += int(raw.get("missed", 0))
            return None
        if kind == "reader":
            members = {k: v for k, v in raw.items() if k not in ("event", "state")}
            return ReaderState(raw.get("state", ""), members)
        if kind not in ("barcode", "tag"):
            return None  # an event this client does not know yet
        seq = int(raw.get("seq", 0))
        missed = max(seq - self._last_seq - 1, 0)
        self._last_seq = max(seq, self._last_seq)
        self.missed += missed
        common = dict(seq=seq, type=int(raw.get("type", 0)), type_name=raw.get("type_name", ""),
                      record=wire_bytes(raw.get("record", "")), time=_time_of(raw.get("time")),
                      missed=missed)
        if kind == "tag":
            return Tag(uid=raw.get("uid", ""), data=bytes.fromhex(raw.get("data_hex", "")), **common)
        return Barcode(data=wire_bytes(raw.get("data", "")), **common)

    def _read_object(self, deadline):
        """The next object readerd sent, or None when `deadline` (monotonic;
        None: none) passes first."""
        while True:
            end = self._input.find(b"\n")
            if end >= 0:
                line = bytes(self._input[:end])
                del self._input[:end + 1]
                if line.strip():
                    return json.loads(line)
                continue
            if deadline is None:
                wait = None
            else:
                wait = deadline - time.monotonic()
                if wait <= 0:
                    return None
            readable, _, _ = select.select([self._socket], [], [], wait)
            if not readable:
                return None
            chunk = self._socket.recv(65536)
            if not chunk:
                raise ReaderdClosed("readerd closed the connection (%s)" % self.path)
            self._input += chunk
