"""What the end-to-end scripts of the Linux side share: checks that record their outcome one line
each, waiting for a condition, and a virtual X display."""

import os
import subprocess
import sys
import time


class CheckFailed(Exception):
    pass


def require(condition, detail):
    if not condition:
        raise CheckFailed(detail)


def wait_until(predicate, timeout, step=0.05):
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value or time.monotonic() >= deadline:
            return value
        time.sleep(step)


class Results:
    """The checks run so far, each printed as 'ok' or 'FAILED' when it ends."""

    def __init__(self):
        self.passed = 0
        self.failed = 0

    def check(self, name, function):
        """Records one check; a check that fails does not stop the ones after it. Returns what
        the function returned, None when the check failed."""
        try:
            value = function()
            self.record(name, None)
            return value
        except CheckFailed as failure:
            self.record(name, str(failure))
            return None

    def record(self, name, error):
        if error is None:
            self.passed += 1
            print(f"ok     {name}")
        else:
            self.failed += 1
            print(f"FAILED {name}: {error}")
        sys.stdout.flush()

    def summary(self):
        return f"{self.passed} passed, {self.failed} failed"


class VirtualDisplay:
    """An Xvfb server on a free display number, which it picks itself."""

    def __init__(self, size=(1280, 1024)):
        self.size = size

    def __enter__(self):
        read_end, write_end = os.pipe()
        # -noreset: by default the server resets when its last client leaves, and a program
        # started in that moment cannot open the display.
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0",
             f"{self.size[0]}x{self.size[1]}x24", "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            number = pipe.readline().strip()
        if not number:
            self.server.kill()
            raise RuntimeError("Xvfb did not start")
        self.name = ":" + number
        return self

    def __exit__(self, *exc):
        self.server.terminate()
        self.server.wait(timeout=10)
