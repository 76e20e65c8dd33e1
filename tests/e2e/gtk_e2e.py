#!/usr/bin/python3
"""End-to-end tests of the Linux window, and of veloplot-render's progress on a terminal.

Each scenario starts `veloplot` on a virtual X server, drives it with xdotool as a person would,
and compares the client area on the screen with the picture that `veloplot-render -o` draws for
the same file, client size and keys. The loading scenarios use a file of 1.5 GB
(VELOPLOT_E2E_BIG_MB megabytes), so that its load lasts a few seconds.

    gtk_e2e.py BUILD_DIR [--artifacts DIR]

BUILD_DIR holds the two programs. One line per check, then 'N passed, N failed'; the exit status
is 1 when a check failed.
"""

import argparse
import configparser
import ctypes
import math
import os
import pty
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time

from PIL import Image, ImageChops, ImageGrab

from e2e_checks import CheckFailed, Results, VirtualDisplay, require, wait_until

SCREEN = (1280, 1024)
PANEL_STRIP_RIGHT = 300
ICON_FRAME = (0, 150, 170)
WHITE = (255, 255, 255)
FRAME_CYAN = (0, 255, 255)
# Dialog units of the About box: its size and the middle of its OK button.
ABOUT_SIZE = (230, 59)
ABOUT_OK_CENTER = (195 + 15, 6 + 5.5)

PAINT_LINE = re.compile(r"veloplot: paint (\d+)x(\d+) right (\d+):")
PROGRESS_LINE = re.compile(r"veloplot: progress (\d+)x(\d+): Loading the data file: (\d+)% read")
DONE_LINE = re.compile(r"veloplot: start-up done")
# Where the progress bar lies in the client area, and its fill, as app/load_progress.h has them.
PROGRESS_BAR_INSIDE = (1, 21, 299, 35)
PROGRESS_FILL = (0, 0, 255)
BIG_FILE_MB = int(os.environ.get("VELOPLOT_E2E_BIG_MB", "1500"))


class Session:
    """One running veloplot window and the means to drive and watch it."""

    def __init__(self, suite, args):
        self.suite = suite
        self.env = suite.program_env()
        self.proc = subprocess.Popen([suite.veloplot] + args, env=self.env,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        self.started = time.monotonic()
        self.paints = []
        # (seconds since the start, client size, percent) of each progress drawn.
        self.progress = []
        self.done_at = None
        # Whatever else the program says, for the report of a check that fails.
        self.other_lines = []
        self.lock = threading.Lock()
        self.reader = threading.Thread(target=self._read_stderr, daemon=True)
        self.reader.start()
        self.wid = None

    def _read_stderr(self):
        for line in self.proc.stderr:
            now = time.monotonic() - self.started
            paint = PAINT_LINE.match(line)
            progress = PROGRESS_LINE.match(line)
            with self.lock:
                if paint:
                    self.paints.append(tuple(int(group) for group in paint.groups()))
                elif progress:
                    width, height, percent = (int(group) for group in progress.groups())
                    self.progress.append((now, (width, height), percent))
                elif DONE_LINE.match(line):
                    self.done_at = now
                else:
                    self.other_lines.append(line.rstrip("\n"))

    def no_window(self):
        with self.lock:
            said = " | ".join(self.other_lines[-5:])
        return f"the main window did not appear (exit status {self.proc.poll()}; said {said!r})"

    def loading(self):
        with self.lock:
            return self.done_at is None

    def progress_lines(self):
        with self.lock:
            return list(self.progress)

    def xdotool(self, *args, timeout=10):
        result = subprocess.run(["xdotool"] + [str(a) for a in args], env=self.env,
                                capture_output=True, text=True, timeout=timeout)
        return result.stdout.strip()

    def find_window(self, name_pattern, timeout=10):
        def search():
            found = self.xdotool("search", "--all", "--onlyvisible", "--pid", self.proc.pid,
                                 "--name", name_pattern)
            return found.split()[0] if found else None
        return wait_until(search, timeout)

    def start(self):
        self.wid = self.find_window("^Veloplot", timeout=20)
        require(self.wid, self.no_window())
        require(wait_until(lambda: self.paint_count() > 0, 10), "the window was never painted")
        self.focus(self.wid)

    def focus(self, wid):
        self.xdotool("windowfocus", "--sync", wid)

    def paint_count(self):
        with self.lock:
            return len(self.paints)

    def last_paint(self):
        with self.lock:
            return self.paints[-1]

    def client_size(self):
        """As the last paint gave it, or the last progress while the data loads."""
        with self.lock:
            if self.paints:
                return self.paints[-1][:2]
            return self.progress[-1][1]

    def geometry(self, wid):
        values = dict(line.split("=", 1) for line in self.xdotool(
            "getwindowgeometry", "--shell", wid).splitlines())
        return tuple(int(values[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))

    def menu_height(self):
        _, _, _, height = self.geometry(self.wid)
        return height - self.client_size()[1]

    def screenshot(self, box):
        return ImageGrab.grab(bbox=box, xdisplay=self.suite.display).convert("RGB")

    def client_image(self):
        x, y, _, height = self.geometry(self.wid)
        width, client_height = self.client_size()
        top = y + height - client_height
        return self.screenshot((x, top, x + width, top + client_height))

    def title(self, wid=None):
        return self.xdotool("getwindowname", wid or self.wid)

    def key(self, *keys):
        self.xdotool("key", "--delay", 40, *keys)

    def open_menu(self, mnemonic):
        """Alt + the menu's mnemonic; returns once the menu is on the screen."""
        def windows():
            return len(self.xdotool("search", "--all", "--onlyvisible", "--pid", self.proc.pid,
                                    "--class", ".").split())
        before = windows()
        self.key("alt+" + mnemonic)
        require(wait_until(lambda: windows() > before, 5), "the menu did not open")

    def double_click(self, x, y):
        self.xdotool("mousemove", "--window", self.wid, x, y + self.menu_height())
        self.xdotool("click", "--repeat", 2, "--delay", 60, 1)

    def close(self):
        """Asks the window to close as a window manager's close button does."""
        send_delete_window(self.suite.display, int(self.wid))

    def wait_exit(self, timeout=10):
        try:
            return self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None

    def stop(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()


class XClientMessageEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]


class XEvent(ctypes.Union):
    _fields_ = [("xclient", XClientMessageEvent), ("pad", ctypes.c_long * 24)]


def send_delete_window(display_name, wid):
    x11 = ctypes.CDLL("libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                               ctypes.POINTER(XEvent)]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    display = x11.XOpenDisplay(display_name.encode())
    if not display:
        raise RuntimeError("cannot open " + display_name)
    event = XEvent()
    event.xclient.type = 33  # ClientMessage
    event.xclient.window = wid
    event.xclient.message_type = x11.XInternAtom(display, b"WM_PROTOCOLS", 0)
    event.xclient.format = 32
    event.xclient.data[0] = x11.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
    x11.XSendEvent(display, wid, 0, 0, ctypes.byref(event))
    x11.XFlush(display)
    x11.XCloseDisplay(display)


def plot_interior(width, height):
    """The pixels inside the plot frame, as a box for PIL."""
    right = max(width - 70, 600)
    bottom = max(height - 30, 210)
    return (PANEL_STRIP_RIGHT + 1, 11, min(right, width), min(bottom, height))


def difference(expected, actual):
    """None when the pictures are equal, else what differs."""
    if expected.size != actual.size:
        return f"size {actual.size} instead of {expected.size}"
    box = ImageChops.difference(expected, actual).getbbox()
    if box is None:
        return None
    interior = plot_interior(*expected.size)
    inside = ImageChops.difference(expected.crop(interior), actual.crop(interior)).getbbox()
    where = "the plot inside the frame" if inside else "outside the plot"
    return f"pixels differ in {where}, within {box}"


class Suite(Results):
    def __init__(self, build_dir, display, work_dir, artifacts):
        super().__init__()
        self.build_dir = build_dir
        self.veloplot = os.path.join(build_dir, "veloplot")
        self.render = os.path.join(build_dir, "veloplot-render")
        self.display = display
        self.work = work_dir
        self.artifacts = artifacts
        self.sample = self.write_file("sample data.csv", sample_csv())
        self.bad = self.write_file("bad.csv", "a,b,c\n1,2,3\n4,five,6\n")
        self.big = None

    def write_file(self, name, text):
        path = os.path.join(self.work, name)
        with open(path, "w") as out:
            out.write(text)
        return path

    def program_env(self):
        env = dict(os.environ)
        env.update(DISPLAY=self.display, GDK_BACKEND="x11", NO_AT_BRIDGE="1",
                   VELOPLOT_TRACE_PAINT="1")
        env.pop("WAYLAND_DISPLAY", None)
        return env

    def reference(self, size, keys, file_name):
        out = os.path.join(self.work, "reference.png")
        if os.path.exists(out):
            os.remove(out)
        command = [self.render, "--size", f"{size[0]}x{size[1]}", "--keys", " ".join(keys),
                   "-o", out] + ([file_name] if file_name else [])
        result = subprocess.run(command, capture_output=True, text=True, timeout=300)
        require(os.path.exists(out), f"veloplot-render wrote no picture: {result.stderr.strip()}")
        with Image.open(out) as picture:
            return picture.convert("RGB")

    def save(self, label, *images):
        if not self.artifacts:
            return
        os.makedirs(self.artifacts, exist_ok=True)
        safe = re.sub(r"[^A-Za-z0-9]+", "-", label).strip("-")
        for kind, image in zip(("expected", "actual"), images):
            image.save(os.path.join(self.artifacts, f"{safe}-{kind}.png"))


def sample_csv(rows=3000):
    lines = ["alpha,beta,gamma,delta,epsilon"]
    for i in range(rows):
        t = i / rows
        alpha = math.sin(7 * t) * 40 + i % 13
        beta = math.cos(5 * t) * 30 + (i * 7) % 11
        lines.append(f"{alpha:.4f},{beta:.4f},{t * 100:.3f},{(i * 37) % 101},{math.sin(i) * 5:.5f}")
    return "\n".join(lines) + "\n"


class Scenario:
    """Runs one window; each check inside it is recorded on its own."""

    def __init__(self, suite, title, args):
        self.suite = suite
        self.title = title
        self.args = args
        self.session = None

    def __enter__(self):
        self.session = Session(self.suite, self.args)
        return self

    def __exit__(self, kind, error, _):
        self.session.stop()
        if kind is None or not issubclass(kind, Exception):
            return False
        self.suite.record(f"{self.title}: runs to its end", f"{kind.__name__}: {error}")
        return True

    def check(self, name, function):
        self.suite.check(f"{self.title}: {name}", function)

    def shows(self, keys, file_name, label, timeout=5):
        """Waits until the client area equals veloplot-render's picture for these keys."""
        size = self.session.client_size()
        expected = self.suite.reference(size, keys, file_name)
        actual = None

        def matches():
            nonlocal actual
            actual = self.session.client_image()
            return difference(expected, actual) is None
        if not wait_until(matches, timeout, step=0.1):
            self.suite.save(f"{self.title} {label}", expected, actual)
            raise CheckFailed(difference(expected, actual))

    def press(self, typed, keys, file_name, label):
        """A check: after these keys the window shows what veloplot-render draws for `keys`."""
        def step():
            self.session.key(*typed)
            self.shows(keys, file_name, label)
        return step

    def stays_unpainted(self, send, settle=0.5):
        before = self.session.paint_count()
        send()
        time.sleep(settle)
        require(self.session.paint_count() == before, "the window was painted again")

    def exits_with_zero(self):
        code = self.session.wait_exit()
        require(code == 0, f"exit status {code}")

    def exit_from_menu(self):
        self.session.open_menu("f")
        self.session.key("x")
        self.exits_with_zero()


def without_display(suite):
    env = suite.program_env()
    del env["DISPLAY"]
    result = subprocess.run([suite.veloplot, suite.sample], env=env, capture_output=True,
                            text=True, timeout=30)
    lines = result.stderr.splitlines()
    suite.record("without a display: exit status 1", None if result.returncode == 1 else
                 f"exit status {result.returncode}")
    suite.record("without a display: one line that points to veloplot-render -o",
                 None if len(lines) == 1 and "veloplot-render -o" in lines[0]
                 else f"stderr was {lines!r}")


def usage_window(suite):
    with Scenario(suite, "no file name", []) as scenario:
        s = scenario.session
        s.start()
        scenario.check("title", lambda: require(s.title() == "Veloplot", f"title {s.title()!r}"))
        scenario.check("usage text", lambda: scenario.shows([], None, "usage"))
        scenario.check("data keys are ignored", lambda: scenario.stays_unpainted(
            lambda: s.key("x", "Next", "shift+Up", "d")))
        scenario.check("h shows the help", scenario.press(["h"], ["h"], None, "help"))
        scenario.check("File > Exit ends with status 0", scenario.exit_from_menu)


def message_windows(suite):
    missing = os.path.join(suite.work, "no such file.csv")
    for title, path in (("missing file", missing), ("bad file", suite.bad)):
        with Scenario(suite, title, [path]) as scenario:
            s = scenario.session
            s.start()
            scenario.check("title", lambda: require(
                s.title() == "Veloplot - " + path, f"title {s.title()!r}"))
            scenario.check("message text", lambda: scenario.shows([], path, "message"))
            scenario.check("data keys are ignored", lambda: scenario.stays_unpainted(
                lambda: s.key("Next", "c", "Up")))
            s.close()
            scenario.check("closing the window ends with status 0", scenario.exits_with_zero)


# Each step: the keys as veloplot-render takes them, the keys as xdotool sends them, and whether
# only the panel strip is repainted.
KEY_STEPS = [
    (["PageDown"], ["Next"], True),
    (["PageDown"], ["Next"], True),
    (["c"], ["c"], False),
    (["Shift+Up"], ["shift+Up"], False),
    (["Left"], ["Left"], False),
    (["PageDown"], ["Next"], True),
    (["m"], ["m"], False),
    (["Up"], ["Up"], False),
    (["Shift+Down"], ["shift+Down"], False),
    (["Right"], ["Right"], False),
    (["x"], ["x"], False),
    (["PageDown"], ["Next"], True),
    (["y"], ["y"], False),
    (["d"], ["d"], True),
    (["Down", "Down"], ["Down", "Down"], False),
    (["PageUp"], ["Prior"], True),
    (["d"], ["d"], True),
    (["PageUp", "PageUp"], ["Prior", "Prior"], True),
    (["m"], ["m"], False),
]


def sample_window(suite):
    with Scenario(suite, "sample file", [suite.sample]) as scenario:
        s = scenario.session
        s.start()
        scenario.check("a file name with a blank loads; title", lambda: require(
            s.title() == "Veloplot - " + suite.sample, f"title {s.title()!r}"))

        def default_size():
            x, y, width, height = s.geometry(s.wid)
            require(s.client_size() == (1000, 700), f"client {s.client_size()}")
            require(x + width <= SCREEN[0] and y + height <= SCREEN[1],
                    f"window {width}x{height} at {x},{y}")
        scenario.check("opens with a 1000x700 client area", default_size)
        scenario.check("first paint", lambda: scenario.shows([], suite.sample, "first"))
        scenario.check("a small file shows no progress", lambda: require(
            not s.progress_lines(), f"progress drawn: {s.progress_lines()}"))

        keys = []
        for render_keys, typed, strip_only in KEY_STEPS:
            def step():
                before = s.paint_count()
                s.key(*typed)
                keys.extend(render_keys)
                scenario.shows(keys, suite.sample, " ".join(keys))
                if strip_only:
                    require(s.paint_count() > before, "no repaint")
                    require(s.last_paint()[2] == PANEL_STRIP_RIGHT,
                            f"repainted up to x = {s.last_paint()[2]}, not the panel strip")
            scenario.check("after " + " ".join(render_keys), step)

        def double_click(x, y):
            def step():
                s.double_click(x, y)
                keys.append(f"dblclick:{x},{y}")
                scenario.shows(keys, suite.sample, keys[-1])
            return step
        scenario.check("double-click in the plot", double_click(640, 250))

        def coloured_points():
            interior = s.client_image().crop(plot_interior(*s.client_size()))
            colours = {c for _, c in interior.getcolors(1 << 16)} - {WHITE, FRAME_CYAN}
            require(len(colours) >= 4, f"points in {len(colours)} colours")
        scenario.check("points in the five tick colours", coloured_points)
        scenario.check("upper-case letters do nothing", lambda: scenario.stays_unpainted(
            lambda: s.key("shift+x", "shift+c", "shift+h")))

        def help_on():
            scenario.press(["h"], keys, suite.sample, "help on")()
            colours = {c for _, c in s.client_image().getcolors(1 << 16)}
            require(FRAME_CYAN not in colours, "the plot is drawn under the help")
        keys.append("h")
        scenario.check("h shows the help alone", help_on)
        keys.append("h")
        scenario.check("h again shows the plot",
                       scenario.press(["h"], keys, suite.sample, "help off"))
        scenario.check("double-click in the panel", double_click(120, 600))
        s.close()
        scenario.check("closing the window ends with status 0", scenario.exits_with_zero)


def about_box(suite):
    with Scenario(suite, "About box", [suite.sample]) as scenario:
        s = scenario.session
        s.start()

        def opens(typed):
            def step():
                s.key(*typed)
                dialog = s.find_window("^About$", timeout=5)
                require(dialog, "no About box")
                require(s.title(dialog) == "About", f"title {s.title(dialog)!r}")
                s.focus(dialog)
                return dialog
            return step

        def closes(dialog_step, how):
            def step():
                dialog = dialog_step()
                how(dialog)
                require(wait_until(lambda: not s.find_window("^About$", timeout=0.2), 5),
                        "the About box is still open")
                s.focus(s.wid)
                scenario.shows([], suite.sample, "after About")
            return step

        def layout(dialog):
            x, y, width, height = s.geometry(dialog)
            # A dialog unit is a quarter of a character across and an eighth of a line down, and a
            # line is about twice as high as a character is wide.
            ratio = (width / ABOUT_SIZE[0]) / (height / ABOUT_SIZE[1])
            require(0.75 < ratio < 1.25, f"{width}x{height} is not shaped as 230x59 dialog units")
            picture = s.screenshot((x, y, x + width, y + height))
            left = picture.crop((0, 0, width // 4, height))
            require(ICON_FRAME in [c for _, c in left.getcolors(1 << 16)], "no icon at the left")
            before = s.paint_count()
            s.key("h")
            time.sleep(0.3)
            require(s.find_window("^About$", timeout=0.2), "h closed the About box")
            require(s.paint_count() == before, "h reached the main window through the box")

        def with_layout(dialog_step):
            def step():
                dialog = dialog_step()
                layout(dialog)
                return dialog
            return step

        scenario.check("Alt+? opens it, laid out with the icon at the left; Escape closes it",
                       closes(with_layout(opens(["alt+question"])), lambda d: s.key("Escape")))
        scenario.check("Alt+/ opens it; Return closes it",
                       closes(opens(["alt+slash"]), lambda d: s.key("Return")))

        def click_ok(dialog):
            _, _, width, height = s.geometry(dialog)
            x = round(ABOUT_OK_CENTER[0] * width / ABOUT_SIZE[0])
            y = round(ABOUT_OK_CENTER[1] * height / ABOUT_SIZE[1])
            s.xdotool("mousemove", "--window", dialog, x, y)
            s.xdotool("click", 1)

        def from_menu():
            s.open_menu("h")
            return opens(["a"])()
        scenario.check("Help > About opens it; the OK button at the top right closes it",
                       closes(from_menu, click_ok))

        # Keys given at one client size and drawn at another cannot be replayed by the renderer,
        # so the resizing runs here, where no key has changed the state.
        def resized(width, height):
            def step():
                s.xdotool("windowsize", s.wid, width, height)
                require(wait_until(lambda: s.client_size()[0] == width, 5), "no repaint")
                scenario.shows([], suite.sample, f"{width}x{height}")
            return step
        scenario.check("a resized window paints anew", resized(800, 600))
        scenario.check("a window narrower than the panel strip has no plot", resized(280, 400))
        scenario.check("File > Exit ends with status 0", scenario.exit_from_menu)


def desktop_install(suite):
    prefix = os.path.join(suite.work, "prefix")
    result = subprocess.run(["cmake", "--install", suite.build_dir, "--prefix", prefix],
                            capture_output=True, text=True, timeout=120)
    suite.record("install: cmake --install succeeds",
                 None if result.returncode == 0 else result.stderr.strip())
    program = os.path.join(prefix, "bin", "veloplot")
    suite.record("install: the program in bin",
                 None if os.access(program, os.X_OK) else "no bin/veloplot")

    def entry():
        parser = configparser.ConfigParser(interpolation=None)
        parser.optionxform = str
        read = parser.read(os.path.join(prefix, "share", "applications", "veloplot.desktop"))
        require(read, "no share/applications/veloplot.desktop")
        fields = parser["Desktop Entry"]
        for name, value in (("Type", "Application"), ("Name", "Veloplot"), ("Icon", "veloplot"),
                            ("Terminal", "false")):
            require(fields.get(name) == value, f"{name}={fields.get(name)}")
        require(fields.get("Exec", "").split()[0] == "veloplot", f"Exec={fields.get('Exec')}")

    def icon():
        path = os.path.join(prefix, "share", "icons", "hicolor", "48x48", "apps", "veloplot.png")
        require(os.path.exists(path), "no 48x48 icon in the hicolor theme")
        with Image.open(path) as picture:
            require(picture.size == (48, 48), f"icon of {picture.size}")
    suite.check("install: a desktop entry that starts veloplot with our icon", entry)
    suite.check("install: a 48x48 icon in the hicolor theme", icon)


def big_file(suite):
    """The file of the loading scenarios, made once: the sample's rows over and over."""
    if suite.big is None:
        header, _, rows = sample_csv().partition("\n")
        block = rows.encode()
        suite.big = os.path.join(suite.work, "big.csv")
        with open(suite.big, "wb") as out:
            out.write(header.encode() + b"\n")
            for _ in range(BIG_FILE_MB * 1_000_000 // len(block) + 1):
                out.write(block)
    return suite.big


def bar_fill(session):
    """How many columns of the progress bar are filled on the screen now."""
    left, top, right, bottom = PROGRESS_BAR_INSIDE
    middle = (top + bottom) // 2
    row = session.client_image().crop((left, middle, right, middle + 1))
    return sum(1 for x in range(row.width) if row.getpixel((x, 0)) == PROGRESS_FILL)


def while_loading(session, what):
    require(session.loading(), f"the data was in before {what}: the file loads too fast here "
            "for this check (raise VELOPLOT_E2E_BIG_MB)")


def loading_window(suite):
    big = big_file(suite)
    with Scenario(suite, "loading a big file", [big]) as scenario:
        s = scenario.session
        s.wid = s.find_window("^Veloplot", timeout=20)
        appeared = time.monotonic() - s.started
        require(s.wid, s.no_window())
        s.focus(s.wid)

        def at_once():
            require(s.title() == "Veloplot - " + big, f"title {s.title()!r}")
            require(appeared < 2, f"the window appeared {appeared:.2f} s after the start")
            while_loading(s, "the window appeared")
        scenario.check("the window appears at once with its final title", at_once)

        keys = []

        def input_during_load():
            for typed, render_key in (("Next", "PageDown"), ("Next", "PageDown"), ("x", "x"),
                                      ("c", "c"), ("shift+Up", "Shift+Up"), ("Left", "Left")):
                s.key(typed)
                keys.append(render_key)
            while_loading(s, "the keys were given")
        scenario.check("keys during the load", input_during_load)

        def menu_opens():
            asked = time.monotonic()
            s.open_menu("f")
            took = time.monotonic() - asked
            s.key("Escape")
            while_loading(s, "the menu opened")
            require(took < 1, f"the File menu took {took:.2f} s to open")
        scenario.check("the File menu opens during the load", menu_opens)

        def progress_shown():
            require(wait_until(s.progress_lines, 10), "no progress was drawn")
            first = s.progress_lines()[0][0]
            require(first >= 1, f"progress drawn {first:.2f} s after the start, within a second")
            before = wait_until(lambda: bar_fill(s), 3)
            require(before, "no filled bar on the screen")
            after = wait_until(lambda: bar_fill(s) > before and bar_fill(s), 5)
            require(after, f"the bar stayed at {before} columns")
            while_loading(s, "the bar grew")
        scenario.check("after a second, the progress on the screen, growing", progress_shown)

        def double_click_during_load():
            s.double_click(640, 250)
            keys.append("dblclick:640,250")
            while_loading(s, "the double-click was given")
        scenario.check("a double-click during the load", double_click_during_load)

        def paced():
            lines = s.progress_lines()
            times = [t for t, _, _ in lines]
            percents = [p for _, _, p in lines]
            require(len(times) >= 3, f"progress drawn {len(times)} times")
            gaps = [b - a for a, b in zip(times, times[1:])]
            mean = sum(gaps) / len(gaps)
            require(max(gaps) < 1 and mean < 0.5,
                    f"progress drawn every {mean:.2f} s, once after {max(gaps):.2f} s")
            require(percents == sorted(percents), f"the share went back: {percents}")

        def final_picture():
            require(wait_until(lambda: s.paint_count() > 0, 120), "the data never came in")
            paced()
            scenario.shows(keys, big, "after the load", timeout=10)
        scenario.check("progress a few times a second; then the picture of veloplot-render with "
                       "the keys of the load", final_picture)
        s.close()
        scenario.check("closing the window ends with status 0", scenario.exits_with_zero)


def closing_during_load(suite):
    big = big_file(suite)

    def close_button(session):
        session.close()

    def file_exit(session):
        session.open_menu("f")
        session.key("x")

    for title, close in (("close button during the load", close_button),
                         ("File > Exit during the load", file_exit)):
        with Scenario(suite, title, [big]) as scenario:
            s = scenario.session
            s.wid = s.find_window("^Veloplot", timeout=20)
            require(s.wid, s.no_window())
            require(wait_until(s.progress_lines, 10), "no progress was drawn")
            close(s)
            asked = time.monotonic()
            code = s.wait_exit()
            took = time.monotonic() - asked
            scenario.check("exit status 0", lambda: require(code == 0, f"exit status {code}"))
            scenario.check("ends at once, without waiting for the data", lambda: require(
                took < 1 and s.loading(), f"ended {took:.2f} s later, data in: {not s.loading()}"))


def on_terminal(command):
    """Runs a command with standard error on a new terminal: (status, stdout, terminal bytes,
    seconds)."""
    leader, follower = pty.openpty()
    started = time.monotonic()
    proc = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=follower)
    os.close(follower)
    received = []
    while True:
        try:
            chunk = os.read(leader, 4096)
        except OSError:  # the terminal is gone once the program has ended
            break
        if not chunk:
            break
        received.append(chunk)
    out = proc.stdout.read()
    proc.wait()
    os.close(leader)
    return proc.returncode, out, b"".join(received), time.monotonic() - started


def render_progress(suite):
    big = big_file(suite)
    piped = subprocess.run([suite.render, "--print-text", big], capture_output=True, timeout=300)
    suite.record("veloplot-render, long load, standard error a pipe: nothing on it",
                 None if piped.returncode == 0 and piped.stderr == b"" else
                 f"exit status {piped.returncode}, standard error {piped.stderr[:300]!r}")

    def terminal_long():
        code, out, shown, seconds = on_terminal([suite.render, "--print-text", big])
        require(code == 0 and out == piped.stdout, f"exit status {code}, other output")
        require(seconds > 1.2, f"the load took {seconds:.2f} s: too short to check")
        match = re.fullmatch(rb"((?:\rveloplot-render: Loading the data file: \d+% read)+)"
                             rb"\r\x1b\[K", shown)
        require(match, f"the terminal got {shown[:300]!r}")
        percents = [int(p) for p in re.findall(rb"(\d+)% read", shown)]
        require(percents == sorted(percents), f"the share went back: {percents}")
    suite.check("veloplot-render, long load, standard error a terminal: one line of progress, "
                "erased at the end", terminal_long)

    def terminal_short():
        small = subprocess.run([suite.render, "--print-text", suite.sample], capture_output=True,
                               timeout=60)
        code, out, shown, _ = on_terminal([suite.render, "--print-text", suite.sample])
        require(code == 0 and out == small.stdout, f"exit status {code}, other output")
        require(shown == b"", f"the terminal got {shown[:300]!r}")
    suite.check("veloplot-render, short load, standard error a terminal: nothing on it",
                terminal_short)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build_dir")
    parser.add_argument("--artifacts", help="where to save the pictures of failed comparisons")
    args = parser.parse_args()
    for tool in ("Xvfb", "xdotool"):
        if not shutil.which(tool):
            print(f"{tool} is missing (scripts/setup-debian.sh installs it)")
            print("0 passed, 1 failed")
            return 1
    with tempfile.TemporaryDirectory() as work, VirtualDisplay(SCREEN) as display:
        suite = Suite(os.path.abspath(args.build_dir), display.name, work, args.artifacts)
        for scenario in (without_display, usage_window, message_windows, sample_window,
                         about_box, desktop_install, loading_window, closing_during_load,
                         render_progress):
            scenario(suite)
    print(suite.summary())
    return 1 if suite.failed else 0


if __name__ == "__main__":
    sys.exit(main())
