"""reader-sim run as a separate process for the binding's tests: its
environment put into this process's, so that the library finds its ports."""

import os
import shlex
import subprocess
import time
import unittest

SIM_VARIABLES = ("READER_COM1", "READER_COM2", "READER_HW_INFO", "READER_MODEL",
                 "READER_SERIAL_NUMBER", "READER_SIM_CONTROL", "READER_SIM_PID")


def reader_sim_path():
    path = os.environ.get("READER_SIM")
    if not path:
        raise unittest.SkipTest("READER_SIM (the path of reader-sim) is not set")
    return path


class SimulatedTerminal:
    """`reader-sim --daemon OPTIONS`; start() exports what it prints."""

    def __init__(self, *options):
        self.options = options
        self.environment = {}

    def start(self):
        done = subprocess.run([reader_sim_path(), "--daemon", *self.options], check=True,
                              stdout=subprocess.PIPE, text=True, timeout=60)
        for line in done.stdout.splitlines():
            words = shlex.split(line)
            if words[:1] == ["export"]:
                name, _, value = words[1].partition("=")
                self.environment[name] = value
            elif words[:1] == ["unset"]:
                self.environment[words[1]] = None
        for name in SIM_VARIABLES:
            os.environ.pop(name, None)
        for name, value in self.environment.items():
            if value is not None:
                os.environ[name] = value
        return self

    def command(self, line):
        """One run-time command through the control FIFO."""
        with open(self.environment["READER_SIM_CONTROL"], "w") as fifo:
            fifo.write(line + "\n")

    def stop(self):
        pid = int(self.environment.get("READER_SIM_PID", 0))
        for name in SIM_VARIABLES:
            os.environ.pop(name, None)
        if not pid:
            return
        try:
            os.kill(pid, 15)
        except ProcessLookupError:
            return
        # Not our child (the daemon left its parent): wait until it is gone.
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline and _alive(pid):
            time.sleep(0.02)


def _alive(pid):
    try:
        with open("/proc/%d/stat" % pid) as stat:
            return stat.read().rsplit(")", 1)[1].split()[0] != "Z"
    except FileNotFoundError:
        return False


class TerminalTestCase(unittest.TestCase):
    """Runs one simulated terminal, with the options in SIM_OPTIONS, for
    the test cases of a class."""

    SIM_OPTIONS = ()

    @classmethod
    def setUpClass(cls):
        cls.terminal = SimulatedTerminal(*cls.SIM_OPTIONS).start()

    @classmethod
    def tearDownClass(cls):
        cls.terminal.stop()
