"""A virtual X display and a wine prefix for driving the Windows program from Linux.

Every child process writes to a log file, never to a pipe of ours: wine's helper processes
inherit their parent's output and would hold a pipe open long after the program has gone.
"""

import os
import re
import shutil
import subprocess
import tempfile
import time

from PIL import Image


def run_logged(args, log_path, env=None, cwd=None, timeout=120):
    """Runs a command to its end with its output in a file; returns the exit code."""
    with open(log_path, "ab") as log:
        return subprocess.run(
            args,
            stdin=subprocess.DEVNULL,
            stdout=log,
            stderr=subprocess.STDOUT,
            env=env,
            cwd=cwd,
            timeout=timeout,
        ).returncode


def start_detached(args, log_path, env=None, cwd=None):
    with open(log_path, "ab") as log:
        return subprocess.Popen(
            args,
            stdin=subprocess.DEVNULL,
            stdout=log,
            stderr=subprocess.STDOUT,
            env=env,
            cwd=cwd,
            start_new_session=True,
        )


class Display:
    """An Xvfb server on the first free display number, or a display already running."""

    def __init__(self, workdir, size=(1280, 1024), name=None):
        self.process = None
        if name:
            self.name = name
            return
        self.log = os.path.join(workdir, "xvfb.log")
        read_end, write_end = os.pipe()
        with open(self.log, "ab") as log:
            self.process = subprocess.Popen(
                [
                    "Xvfb",
                    "-displayfd",
                    str(write_end),
                    "-screen",
                    "0",
                    "%dx%dx24" % size,
                    "-nolisten",
                    "tcp",
                    # Not reset when the last client leaves, which a program starting
                    # in that moment would meet as a display it cannot open.
                    "-noreset",
                ],
                stdin=subprocess.DEVNULL,
                stdout=log,
                stderr=subprocess.STDOUT,
                pass_fds=(write_end,),
                start_new_session=True,
            )
        os.close(write_end)
        with os.fdopen(read_end) as numbers:
            number = numbers.readline().strip()
        if not number:
            self.process.kill()
            raise RuntimeError("Xvfb did not start; see " + self.log)
        self.name = ":" + number

    def close(self):
        if self.process is None:
            return
        self.process.terminate()
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()


class Wine:
    """A 64-bit wine prefix, fresh or given, its server kept running; `loader` runs the programs.

    The prefix is always made by wine64: a 32-bit one made under emulation takes a quarter of an
    hour, and the 32-bit loader runs 32-bit programs in a 64-bit prefix as well.
    """

    def __init__(self, loader, display, workdir, prefix=None, tool="/usr/lib/wine/wine64"):
        self.loader = loader
        self.tool = tool
        self.log = os.path.join(workdir, "wine.log")
        self.own_prefix = prefix is None
        self.prefix = prefix or tempfile.mkdtemp(prefix="wineprefix-", dir=workdir)
        self.env = dict(os.environ)
        self.env.update(
            {
                "WINEPREFIX": self.prefix,
                "WINEARCH": "win64",
                "WINEDEBUG": "-all",
                "WINEDLLOVERRIDES": "mscoree,mshtml=",
                "DISPLAY": display.name,
            }
        )
        self.server = None
        if self.own_prefix:
            if run_logged([tool, "wineboot", "-i"], self.log, self.env, timeout=900) != 0:
                raise RuntimeError("wineboot failed; see " + self.log)
            self.wait_for_server()
        # Unmanaged windows: no window manager runs, and wine then draws the frames itself.
        key = r"HKCU\Software\Wine\X11 Driver"
        args = [tool, "reg", "add", key, "/v", "Managed", "/d", "N", "/f"]
        if run_logged(args, self.log, self.env) != 0:
            raise RuntimeError("reg add failed; see " + self.log)
        # A given prefix comes with its server; a fresh one gets a lasting one now.
        if self.own_prefix:
            self.wait_for_server()
            self.server = start_detached(["wineserver", "-p"], self.log, self.env)

    def wait_for_server(self):
        run_logged(["wineserver", "-w"], self.log, self.env, timeout=300)

    def start(self, args, cwd=None):
        return start_detached([self.loader] + list(args), self.log, self.env, cwd)

    def close(self):
        """Ends a fresh prefix's server and removes the prefix; a given one is left as it was."""
        if not self.own_prefix:
            return
        run_logged(["wineserver", "-k"], self.log, self.env, timeout=60)
        try:
            self.server.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.server.kill()
        shutil.rmtree(self.prefix, ignore_errors=True)


class X:
    """xdotool and screenshots on one display."""

    def __init__(self, display, workdir):
        self.env = dict(os.environ, DISPLAY=display.name)
        self.shot_path = os.path.join(workdir, "screen.png")

    def xdotool(self, *args, timeout=30):
        result = subprocess.run(
            ["xdotool"] + [str(a) for a in args],
            stdin=subprocess.DEVNULL,
            capture_output=True,
            text=True,
            env=self.env,
            timeout=timeout,
        )
        return result.returncode, result.stdout

    def windows(self, name_pattern):
        code, out = self.xdotool("search", "--onlyvisible", "--name", name_pattern)
        return [int(w) for w in out.split()] if code == 0 else []

    def wait_for_window(self, name_pattern, timeout):
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            found = self.windows(name_pattern)
            if found:
                return found[0]
            time.sleep(0.2)
        raise AssertionError("no window named like %r appeared" % name_pattern)

    def wait_for_no_window(self, name_pattern, timeout=60):
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            if not self.windows(name_pattern):
                return
            time.sleep(0.2)
        raise AssertionError("window named like %r is still there" % name_pattern)

    def name(self, window):
        return self.xdotool("getwindowname", window)[1].rstrip("\n")

    def geometry(self, window):
        out = self.xdotool("getwindowgeometry", "--shell", window)[1]
        values = dict(re.findall(r"(\w+)=(-?\d+)", out))
        return tuple(int(values[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))

    def focus(self, window):
        self.xdotool("windowfocus", "--sync", window)

    def keys(self, window, *keys):
        self.focus(window)
        self.xdotool("key", "--delay", "80", *keys)

    def double_click(self, x, y):
        self.xdotool("mousemove", "--sync", x, y)
        self.xdotool("click", "--repeat", "2", "--delay", "80", "1")

    def screenshot(self):
        subprocess.run(
            ["import", "-window", "root", "png:" + self.shot_path],
            stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL,
            env=self.env,
            check=True,
            timeout=60,
        )
        with Image.open(self.shot_path) as shot:
            return shot.convert("RGB")

    def settled(self, box=None, timeout=20):
        """A screenshot taken once two in a row agree (within `box` when given)."""
        previous = self.screenshot()
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            time.sleep(0.25)
            current = self.screenshot()
            a = previous.crop(box) if box else previous
            b = current.crop(box) if box else current
            if a.tobytes() == b.tobytes():
                return current
            previous = current
        raise AssertionError("the screen did not settle")
