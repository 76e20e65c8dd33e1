#!/usr/bin/python3
"""End-to-end tests of the Windows program under wine on a virtual X display.

Each scenario starts Veloplot.exe, drives it with xdotool and waits until its client area shows
what is expected: text as the same text drawn by GDI in a helper program (win32_text_probe.exe),
the plot as the picture that the Linux renderer (veloplot-render) makes of the same state at the
same client size. Starts are few, since under emulation each takes a minute: the helper starts
once, and the plot and About scenarios share one program. Every program ends with File > Exit
and exit code 0.
"""

import argparse
import math
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time
import traceback

from PIL import Image

from wine_session import Display, Wine, X

MAIN_WINDOW = r"^Veloplot( - .*)?$"
# Limits, not waits: under emulation a start takes a minute and a repaint a few seconds.
START_TIMEOUT = 300
SCREEN_TIMEOUT = 60
ABOUT_WINDOW = r"^About$"
HELP_TEXT = (
    "\n"
    " Veloplot - very simple program for plotting and analysis of multidimensional numeric data\n"
    "\n"
    " Executing (command line): Veloplot.exe <file name>\n"
    "\n"
    " Input file must be a csv (comma-separated values) file with numeric data and text headers"
    " in its first line.\n"
    "\n"
    " Keybord commands (when data is loaded):\n"
    " - Page Down / Page Up - select next / previous dimension (marked by *),\n"
    " - d - show all / significant dimensions,\n"
    " - x / y - map the selected dimension to X (horizontal) / Y (vertical) axis,\n"
    " - c - constrain plotted data so that values in the selected dimension are within its"
    " center + - tolerance,\n"
    " - m - constrain plotted data so that values in the selected dimension are near 5 values"
    " spread throughout its range,\n"
    " - a - remove data constraint based on values in the selected dimension,\n"
    " - Up / Down - increase / decrease range of the selected dimension,\n"
    " - Left / Right - decrease / increase center of the selected dimension,\n"
    " - Shift + Up / Shift + Down - increase / decrease tolerance of the selected dimension,\n"
    " - left mouse button double-click - center the graph near the point clicked.\n"
)
# Labels of the X ticks start 5 pixels left of the frame; the panel is compared left of them.
PANEL_RIGHT = 295


def plot_rect(width, height):
    return (
        300,
        10,
        width - 70 if width >= 670 else 600,
        height - 30 if height >= 240 else 210,
    )


def write_sample(path):
    """Four short-named columns, so that no panel line reaches into the plot."""
    rng = random.Random(7)
    with open(path, "w") as out:
        out.write("t,u,v,w\n")
        for _ in range(3000):
            t = rng.uniform(0, 10)
            out.write(
                "%.4f,%.4f,%.4f,%.4f\n"
                % (t, math.sin(t) * 3 + rng.gauss(0, 0.5), rng.uniform(-1, 1) * t, rng.gauss(5, 2))
            )


def differences(got, want, box):
    """Pixels inside `box` (left, top, right, bottom, exclusive) where the images differ."""
    left, top, right, bottom = box
    g = got.crop(box).tobytes()
    w = want.crop(box).tobytes()
    if g == w:
        return 0, []
    width = right - left
    found = []
    count = 0
    for i in range(0, len(g), 3):
        if g[i : i + 3] != w[i : i + 3]:
            count += 1
            if len(found) < 5:
                pixel = i // 3
                found.append((left + pixel % width, top + pixel // width, tuple(g[i : i + 3]),
                              tuple(w[i : i + 3])))
    return count, found


class TextProbe:
    """win32_text_probe.exe, started once; draws texts with GDI on request (see its source)."""

    def __init__(self, wine, exe, workdir):
        self.dir = os.path.join(workdir, "probe")
        os.makedirs(self.dir)
        self.process = wine.start([exe, self.dir])
        self.requests = 0

    def answer(self, name):
        path = os.path.join(self.dir, name)
        end = time.monotonic() + START_TIMEOUT
        while not os.path.exists(path):
            if self.process.poll() is not None:
                raise RuntimeError("win32_text_probe ended with %d" % self.process.returncode)
            if time.monotonic() > end:
                raise RuntimeError("win32_text_probe gave no %s" % name)
            time.sleep(0.05)
        return path

    def frame(self):
        with open(self.answer("frame.txt")) as text:
            return tuple(int(v) for v in text.read().split())

    def draw(self, text, size):
        n = self.requests
        self.requests += 1
        part = os.path.join(self.dir, "%d.part" % n)
        with open(part, "wb") as out:
            out.write(b"%d %d\n" % size + text.encode("latin-1"))
        os.replace(part, os.path.join(self.dir, "%d.req" % n))
        with Image.open(self.answer("%d.ppm" % n)) as image:
            return image.convert("RGB")

    def close(self):
        open(os.path.join(self.dir, "stop"), "w").close()
        try:
            self.process.wait(timeout=60)
        except subprocess.TimeoutExpired:
            self.process.kill()


class Context:
    def __init__(self, args, wine, x, workdir):
        self.exe = os.path.abspath(args.exe)
        self.render = os.path.abspath(args.render)
        self.wine = wine
        self.x = x
        self.workdir = workdir
        self.data = os.path.join(workdir, "data")
        os.makedirs(self.data)
        self.failures = os.path.join(workdir, "failures")
        self.text_images = {}
        # Started now, it comes up while the first program does.
        self.probe = TextProbe(wine, os.path.abspath(args.probe), workdir)
        self._frame = None
        self.sample = None

    @property
    def frame(self):
        if self._frame is None:
            self._frame = self.probe.frame()
        return self._frame

    def text_image(self, text, size):
        """`text` drawn by GDI's DrawTextA on white, at the client size."""
        key = (text, size)
        if key not in self.text_images:
            self.text_images[key] = self.probe.draw(text, size)
        return self.text_images[key]

    def rendered(self, keys, size, data_file="sample.csv"):
        """The Linux renderer's picture and top-left text after `keys`."""
        picture = os.path.join(self.workdir, "render.png")
        common = [self.render, "--size", "%dx%d" % size, "--keys", keys]
        subprocess.run(common + ["-o", picture, data_file], cwd=self.data, check=True,
                       stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
        text = subprocess.run(common + ["--print-text", data_file], cwd=self.data, check=True,
                              stdin=subprocess.DEVNULL, capture_output=True, timeout=120).stdout
        with Image.open(picture) as image:
            return image.convert("RGB"), text.decode("latin-1")

    def keep(self, name, image):
        os.makedirs(self.failures, exist_ok=True)
        path = os.path.join(self.failures, name + ".png")
        image.save(path)
        return path

    def sample_program(self):
        """The program on sample.csv that the plot and About scenarios share."""
        if self.sample is None:
            self.sample = Program(self, "sample.csv")
        return self.sample

    def end_sample_program(self, exit_via_menu):
        program, self.sample = self.sample, None
        try:
            if exit_via_menu:
                program.exit_via_menu()
        finally:
            program.stop()


class Program:
    """One run of Veloplot.exe with its main window."""

    def __init__(self, ctx, *args):
        self.ctx = ctx
        self.process = ctx.wine.start([ctx.exe] + list(args), cwd=ctx.data)
        self.window = ctx.x.wait_for_window(MAIN_WINDOW, START_TIMEOUT)
        x, y, width, height = ctx.x.geometry(self.window)
        left, top, right, bottom = ctx.frame
        self.origin = (x + left, y + top)
        self.size = (width - left - right, height - top - bottom)
        if self.size[0] < 700 or self.size[1] < 300:
            raise AssertionError("unexpected client size %r" % (self.size,))
        # veloplot-render's keys for what this program has been sent so far.
        self.render_keys = ""

    def title(self):
        return self.ctx.x.name(self.window)

    def look(self):
        """The client area now."""
        ox, oy = self.origin
        return self.ctx.x.screenshot().crop((ox, oy, ox + self.size[0], oy + self.size[1]))

    def whole(self):
        return (0, 0) + self.size

    def shows(self, checks, what):
        """Waits until the client area equals each (picture, box) of `checks` inside its box, and
        returns it; fails with the differences of the last look when it does not in time."""
        end = time.monotonic() + SCREEN_TIMEOUT
        while True:
            client = self.look()
            found = [(differences(client, want, box), want) for want, box in checks]
            if all(count == 0 for (count, _), _ in found):
                return client
            if time.monotonic() > end:
                (count, examples), want = next(f for f in found if f[0][0])
                got_path = self.ctx.keep(what + "-got", client)
                want_path = self.ctx.keep(what + "-want", want)
                raise AssertionError("%s: %d pixels differ, e.g. %r (%s, %s)"
                                     % (what, count, examples, got_path, want_path))
            time.sleep(0.2)

    def keys(self, *keys):
        self.ctx.x.keys(self.window, *keys)

    def double_click(self, x, y):
        self.ctx.x.double_click(self.origin[0] + x, self.origin[1] + y)

    def expect_text(self, text, what):
        return self.shows([(self.ctx.text_image(text, self.size), self.whole())], what)

    def expect_plot(self, what):
        """Plot and panel as the Linux renderer has them after the same keys."""
        reference, text = self.ctx.rendered(self.render_keys, self.size)
        panel = self.ctx.text_image(text, self.size)
        panel_box = (0, 0, PANEL_RIGHT, self.size[1])
        return self.shows([(reference, self.frame_box()), (panel, panel_box)], what)

    def expect_picture(self, picture, what):
        return self.shows([(picture, self.whole())], what)

    def frame_box(self):
        left, top, right, bottom = plot_rect(*self.size)
        return (left, top, right + 1, bottom + 1)

    def open_menu(self, key):
        """Opens a menu by its key and waits until it shows over the client area's corner."""
        corner = (0, 0, 150, 60)
        before = self.look()
        self.keys(key)
        end = time.monotonic() + SCREEN_TIMEOUT
        while differences(self.look(), before, corner)[0] == 0:
            if time.monotonic() > end:
                raise AssertionError("the menu of %s did not open" % key)
            time.sleep(0.2)

    def exit_via_menu(self):
        self.open_menu("alt+f")
        self.ctx.x.xdotool("key", "x")
        try:
            code = self.process.wait(timeout=START_TIMEOUT)
        except subprocess.TimeoutExpired:
            raise AssertionError("File > Exit did not end the program")
        self.ctx.x.wait_for_no_window(MAIN_WINDOW)
        if code != 0:
            raise AssertionError("exit code %d after File > Exit" % code)

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait(timeout=30)
            self.ctx.x.wait_for_no_window(MAIN_WINDOW)


def expect_equal(actual, expected, what):
    if actual != expected:
        raise AssertionError("%s: %r, expected %r" % (what, actual, expected))


def scenario_no_file(ctx):
    program = Program(ctx)
    try:
        expect_equal(program.title(), "Veloplot", "title")
        program.expect_text("Usage: Veloplot.exe <file name>", "usage")
        program.exit_via_menu()
    finally:
        program.stop()


def scenario_missing_file(ctx):
    program = Program(ctx, "nosuch.csv", "ignored.csv")
    try:
        expect_equal(program.title(), "Veloplot - nosuch.csv", "title")
        message = "Cound not open file: nosuch.csv"
        program.expect_text(message, "missing")
        # While a message shows, every command but 'h' is ignored: once the help that follows
        # them shows, they have been handled, and turning it off must bring back the message.
        program.keys("c", "Next", "Up", "shift+Up", "x", "d")
        program.double_click(500, 200)
        program.keys("h")
        program.expect_text(HELP_TEXT, "missing-help")
        program.keys("h")
        program.expect_text(message, "missing-help-off")
        program.exit_via_menu()
    finally:
        program.stop()


def scenario_bad_files(ctx):
    cases = [
        ("bad.csv", "a,b\n1,2\n1,2,3\n", "Too many values in line 2."),
        ("letters.csv", "a,b\n1,2\n3,x\n", "Invalid character detected in line 2."),
        ("one.csv", "a\n1\n2\n", "There must be at least 2 columns in the input data."),
    ]
    for name, content, message in cases:
        with open(os.path.join(ctx.data, name), "w") as out:
            out.write(content)
        program = Program(ctx, name)
        try:
            expect_equal(program.title(), "Veloplot - " + name, "title")
            program.expect_text(message, name)
            program.exit_via_menu()
        finally:
            program.stop()


def scenario_plot_and_commands(ctx):
    program = ctx.sample_program()
    try:
        expect_equal(program.title(), "Veloplot - sample.csv", "title")
        # (xdotool keys, the same keys for veloplot-render, what the step exercises)
        # Each step ends in the kind of repaint it checks: the panel strip alone after the
        # selection moves and after 'd', the whole area after the others.
        steps = [
            ([], "", "start"),
            (["Next"], "PageDown", "select"),
            (["Next", "c", "shift+Up", "shift+Up", "Left"],
             "PageDown c Shift+Up Shift+Up Left", "band"),
            (["Next", "m", "shift+Down", "Up"], "PageDown m Shift+Down Up", "multi"),
            (["Next", "Down", "Right", "Right"], "PageDown Down Right Right", "x-scale"),
            (["Next", "Next", "a"], "PageDown PageDown a", "free"),
            (["d"], "d", "significant-only"),
            (["y"], "y", "new-y-axis"),
            (["d", "Prior", "x", "Up", "Up"], "d PageUp x Up Up", "new-x-axis"),
        ]
        for xkeys, render_keys, what in steps:
            if xkeys:
                program.keys(*xkeys)
            program.render_keys = (program.render_keys + " " + render_keys).strip()
            program.expect_plot(what)
        program.double_click(520, 240)
        program.render_keys += " dblclick:520,240"
        shown = program.expect_plot("double-click")

        program.keys("h")
        program.expect_text(HELP_TEXT, "help")
        program.keys("h")
        program.expect_picture(shown, "after-help")
    except BaseException:
        ctx.end_sample_program(exit_via_menu=False)
        raise


def scenario_about_box(ctx):
    program = ctx.sample_program()
    try:
        before = program.expect_plot("before-about")
        for opener, closer in (("alt+question", "Escape"), ("alt+slash", "Escape")):
            program.keys(opener)
            dialog = ctx.x.wait_for_window(ABOUT_WINDOW, SCREEN_TIMEOUT)
            x, y, width, height = ctx.x.geometry(dialog)
            if width < 200 or height < 60:
                raise AssertionError("About box of %dx%d" % (width, height))
            shot = ctx.x.settled()
            if shot.crop((x, y, x + width, y + height)).getcolors(1 << 16) is None:
                raise AssertionError("About box has too many colours to be a dialog")
            ctx.x.keys(dialog, closer)
            ctx.x.wait_for_no_window(ABOUT_WINDOW)
            program.expect_picture(before, "after-" + opener)
        # The Help menu's item opens it too, and its default button OK closes it.
        program.open_menu("alt+h")
        ctx.x.xdotool("key", "Return")
        dialog = ctx.x.wait_for_window(ABOUT_WINDOW, SCREEN_TIMEOUT)
        ctx.x.keys(dialog, "Return")
        ctx.x.wait_for_no_window(ABOUT_WINDOW)
        program.expect_picture(before, "after-menu-about")
    except BaseException:
        ctx.end_sample_program(exit_via_menu=False)
        raise
    ctx.end_sample_program(exit_via_menu=True)


SCENARIOS = [
    ("no file name: usage text and plain title", scenario_no_file),
    ("missing file: message, commands ignored, help", scenario_missing_file),
    ("bad files: the reader's and the column message", scenario_bad_files),
    ("valid file: plot equals the Linux renderer through keys and a double-click",
     scenario_plot_and_commands),
    ("About box: Alt+?, Alt+/, Help menu; Escape and OK close it; File > Exit",
     scenario_about_box),
]


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--exe", required=True, help="Veloplot.exe")
    parser.add_argument("--probe", required=True, help="win32_text_probe.exe")
    parser.add_argument("--render", required=True, help="the Linux veloplot-render")
    parser.add_argument("--wine", default="/usr/lib/wine/wine",
                        help="wine loader for the programs (wine for 32-bit ones, or wine64)")
    parser.add_argument("--prefix", help="a 64-bit wine prefix to use instead of a fresh one")
    parser.add_argument("--display", help="an X display to use instead of a fresh Xvfb")
    parser.add_argument("--keep", action="store_true", help="keep the work folder")
    parser.add_argument("--only", help="run only scenarios whose function name holds this")
    args = parser.parse_args(argv)

    workdir = tempfile.mkdtemp(prefix="veloplot-e2e-")
    display = wine = ctx = None
    passed = failed = 0
    try:
        display = Display(workdir, name=args.display)
        wine = Wine(args.wine, display, workdir, prefix=args.prefix)
        ctx = Context(args, wine, X(display, workdir), workdir)
        write_sample(os.path.join(ctx.data, "sample.csv"))
        for title, scenario in SCENARIOS:
            if args.only and args.only not in scenario.__name__:
                continue
            started = time.monotonic()
            try:
                scenario(ctx)
                passed += 1
                print("PASS %s (%.1f s)" % (title, time.monotonic() - started), flush=True)
            except Exception as error:  # every fault is one failed scenario
                failed += 1
                print("FAIL %s: %s" % (title, error), flush=True)
                if not isinstance(error, AssertionError):
                    traceback.print_exc()
    finally:
        if ctx is not None:
            ctx.probe.close()
        if wine is not None:
            wine.close()
        if display is not None:
            display.close()
        if failed or args.keep:
            print("work folder kept: " + workdir)
        else:
            shutil.rmtree(workdir, ignore_errors=True)
    print("e2e: %d passed, %d failed" % (passed, failed))
    return 1 if failed or not passed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
