"""readerd run as a separate process for the client's tests: its socket in
a fresh directory, the library's environment (a simulated terminal's ports)
taken from this process's."""

import os
import shutil
import subprocess
import tempfile
import time
import unittest


def readerd_path():
    path = os.environ.get("READERD")
    if not path:
        raise unittest.SkipTest("READERD (the path of readerd) is not set")
    return path


class ReaderdProcess:
    """`readerd --socket DIR/readerd.sock`; start() returns once the socket
    exists (clients connecting before the reader has started wait in its
    backlog)."""

    def __init__(self):
        self.directory = None
        self.process = None
        self.path = None

    def start(self, timeout=60):
        self.directory = tempfile.mkdtemp(prefix="readerd-client-")
        self.path = os.path.join(self.directory, "readerd.sock")
        self.process = subprocess.Popen([readerd_path(), "--socket", self.path],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        deadline = time.monotonic() + timeout
        while not os.path.exists(self.path):
            if self.process.poll() is not None:
                error = self.process.stderr.read().decode(errors="replace")
                raise RuntimeError("readerd exited with %d: %s" % (self.process.returncode, error))
            if time.monotonic() > deadline:
                self.stop()
                raise RuntimeError("readerd made no socket within %d s" % timeout)
            time.sleep(0.01)
        return self

    def stop(self):
        """SIGTERM, then waits for the exit; returns readerd's exit status."""
        status = None
        if self.process is not None:
            if self.process.poll() is None:
                self.process.terminate()
            try:
                status = self.process.wait(timeout=30)
            except subprocess.TimeoutExpired:
                self.process.kill()
                status = self.process.wait()
            self.process.stderr.close()
            self.process = None
        if self.directory is not None:
            shutil.rmtree(self.directory, ignore_errors=True)
            self.directory = None
        return status
