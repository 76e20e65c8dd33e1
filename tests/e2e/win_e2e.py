#!/usr/bin/python3
"""End-to-end tests of the Windows program under wine on a virtual X display.

Each scenario starts Veloplot.exe, drives it with xdotool and judges screenshots of its client
area: text against the same text drawn by GDI in a helper program (win32_text_probe.exe), the
plot against the picture that the Linux renderer (veloplot-render) makes of the same state at
the same client size. Every scenario ends with File > Exit and expects exit code 0.
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


class Context:
    def __init__(self, args, wine, x, workdir):
        self.exe = os.path.abspath(args.exe)
        self.probe = os.path.abspath(args.probe)
        self.render = os.path.abspath(args.render)
        self.wine = wine
        self.x = x
        self.workdir = workdir
        self.data = os.path.join(workdir, "data")
        os.makedirs(self.data)
        self.failures = os.path.join(workdir, "failures")
        self.text_images = {}
        self.frame = self.probe_frame()

    def probe_frame(self):
        out = os.path.join(self.workdir, "frame.txt")
        with open(out, "wb") as sink:
            subprocess.run(
                [self.wine.loader, self.probe, "frame"],
                stdin=subprocess.DEVNULL,
                stdout=sink,
                stderr=subprocess.DEVNULL,
                env=self.wine.env,
                check=True,
                timeout=120,
            )
        with open(out) as text:
            return tuple(int(v) for v in text.read().split())

    def text_image(self, text, size):
        """`text` drawn by GDI's DrawTextA on white, at the client size."""
        key = (text, size)
        if key not in self.text_images:
            n = len(self.text_images)
            source = os.path.join(self.workdir, "text-%d.txt" % n)
            picture = os.path.join(self.workdir, "text-%d.ppm" % n)
            with open(source, "wb") as out:
                out.write(text.encode("latin-1"))
            code = self.wine.run([self.probe, "text", source, picture, str(size[0]), str(size[1])])
            if code != 0:
                raise RuntimeError("win32_text_probe failed with %d" % code)
            with Image.open(picture) as image:
                self.text_images[key] = image.convert("RGB")
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


class Program:
    """One run of Veloplot.exe with its main window."""

    def __init__(self, ctx, *args):
        self.ctx = ctx
        self.process = ctx.wine.start([ctx.exe] + list(args), cwd=ctx.data)
        self.window = ctx.x.wait_for_window(MAIN_WINDOW)
        x, y, width, height = ctx.x.geometry(self.window)
        left, top, right, bottom = ctx.frame
        self.origin = (x + left, y + top)
        self.size = (width - left - right, height - top - bottom)
        if self.size[0] < 700 or self.size[1] < 300:
            raise AssertionError("unexpected client size %r" % (self.size,))

    def title(self):
        return self.ctx.x.name(self.window)

    def client(self):
        ox, oy = self.origin
        box = (ox, oy, ox + self.size[0], oy + self.size[1])
        return self.ctx.x.settled(box).crop(box)

    def keys(self, *keys):
        self.ctx.x.keys(self.window, *keys)

    def double_click(self, x, y):
        self.ctx.x.double_click(self.origin[0] + x, self.origin[1] + y)

    def expect_text(self, client, text, what, box=None):
        want = self.ctx.text_image(text, self.size)
        box = box or (0, 0) + self.size
        count, examples = differences(client, want, box)
        if count:
            got_path = self.ctx.keep(what + "-got", client)
            want_path = self.ctx.keep(what + "-want", want)
            raise AssertionError("%s: %d pixels differ from GDI's text, e.g. %r (%s, %s)"
                                 % (what, count, examples, got_path, want_path))

    def expect_plot(self, client, keys, what):
        """Plot and panel as the Linux renderer has them after the same keys."""
        reference, text = self.ctx.rendered(keys, self.size)
        count, examples = differences(client, reference, self.frame_box())
        if count:
            got_path = self.ctx.keep(what + "-got", client)
            want_path = self.ctx.keep(what + "-want", reference)
            raise AssertionError("%s: %d pixels inside the frame differ from veloplot-render, "
                                 "e.g. %r (%s, %s)" % (what, count, examples, got_path, want_path))
        self.expect_text(client, text, what + "-panel", (0, 0, PANEL_RIGHT, self.size[1]))

    def frame_box(self):
        left, top, right, bottom = plot_rect(*self.size)
        return (left, top, right + 1, bottom + 1)

    def exit_via_menu(self):
        self.keys("alt+f")
        time.sleep(0.5)
        self.ctx.x.xdotool("key", "x")
        try:
            code = self.process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            raise AssertionError("File > Exit did not end the program")
        self.ctx.x.wait_for_no_window(MAIN_WINDOW)
        if code != 0:
            raise AssertionError("exit code %d after File > Exit" % code)

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait(timeout=30)


def expect_equal(actual, expected, what):
    if actual != expected:
        raise AssertionError("%s: %r, expected %r" % (what, actual, expected))


def expect_same_picture(got, want, what, ctx):
    if got.tobytes() != want.tobytes():
        raise AssertionError("%s changed (%s, %s)" % (what, ctx.keep(what + "-got", got),
                                                      ctx.keep(what + "-want", want)))


def scenario_no_file(ctx):
    program = Program(ctx)
    try:
        expect_equal(program.title(), "Veloplot", "title")
        program.expect_text(program.client(), "Usage: Veloplot.exe <file name>", "usage")
        program.exit_via_menu()
    finally:
        program.stop()


def scenario_missing_file(ctx):
    program = Program(ctx, "nosuch.csv", "ignored.csv")
    try:
        expect_equal(program.title(), "Veloplot - nosuch.csv", "title")
        message = "Cound not open file: nosuch.csv"
        program.expect_text(program.client(), message, "missing")
        # While a message shows, every command but 'h' is ignored.
        program.keys("c", "Next", "Up", "shift+Up", "x", "d")
        program.double_click(500, 200)
        program.expect_text(program.client(), message, "missing-after-keys")
        program.keys("h")
        program.expect_text(program.client(), HELP_TEXT, "missing-help")
        program.keys("h")
        program.expect_text(program.client(), message, "missing-help-off")
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
            program.expect_text(program.client(), message, name)
            program.exit_via_menu()
        finally:
            program.stop()


def scenario_plot_and_commands(ctx):
    program = Program(ctx, "sample.csv")
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
        keys_so_far = ""
        for xkeys, render_keys, what in steps:
            if xkeys:
                program.keys(*xkeys)
            keys_so_far = (keys_so_far + " " + render_keys).strip()
            program.expect_plot(program.client(), keys_so_far, what)
        program.double_click(520, 240)
        keys_so_far += " dblclick:520,240"
        shown = program.client()
        program.expect_plot(shown, keys_so_far, "double-click")

        program.keys("h")
        program.expect_text(program.client(), HELP_TEXT, "help")
        program.keys("h")
        expect_same_picture(program.client(), shown, "after-help", ctx)
        program.exit_via_menu()
    finally:
        program.stop()


def scenario_about_box(ctx):
    program = Program(ctx, "sample.csv")
    try:
        before = program.client()
        for opener, closer in (("alt+question", "Escape"), ("alt+slash", "Escape")):
            program.keys(opener)
            dialog = ctx.x.wait_for_window(ABOUT_WINDOW)
            x, y, width, height = ctx.x.geometry(dialog)
            if width < 200 or height < 60:
                raise AssertionError("About box of %dx%d" % (width, height))
            shot = ctx.x.settled()
            if shot.crop((x, y, x + width, y + height)).getcolors(1 << 16) is None:
                raise AssertionError("About box has too many colours to be a dialog")
            ctx.x.keys(dialog, closer)
            ctx.x.wait_for_no_window(ABOUT_WINDOW)
            expect_same_picture(program.client(), before, "after-" + opener, ctx)
        # The Help menu's item opens it too, and its default button OK closes it.
        program.keys("alt+h")
        time.sleep(0.5)
        ctx.x.xdotool("key", "Return")
        dialog = ctx.x.wait_for_window(ABOUT_WINDOW)
        ctx.x.keys(dialog, "Return")
        ctx.x.wait_for_no_window(ABOUT_WINDOW)
        expect_same_picture(program.client(), before, "after-menu-about", ctx)
        program.exit_via_menu()
    finally:
        program.stop()


SCENARIOS = [
    ("no file name: usage text and plain title", scenario_no_file),
    ("missing file: message, commands ignored, help", scenario_missing_file),
    ("bad files: the reader's and the column message", scenario_bad_files),
    ("valid file: plot equals the Linux renderer through keys and a double-click",
     scenario_plot_and_commands),
    ("About box: Alt+?, Alt+/, Help menu; Escape and OK close it", scenario_about_box),
]


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--exe", required=True, help="Veloplot.exe")
    parser.add_argument("--probe", required=True, help="win32_text_probe.exe")
    parser.add_argument("--render", required=True, help="the Linux veloplot-render")
    parser.add_argument("--wine", default="wine", help="wine loader (wine or wine64)")
    parser.add_argument("--arch", default="win32", help="WINEARCH of the fresh prefix")
    parser.add_argument("--keep", action="store_true", help="keep the work folder")
    parser.add_argument("--only", help="run only scenarios whose function name holds this")
    args = parser.parse_args(argv)

    workdir = tempfile.mkdtemp(prefix="veloplot-e2e-")
    display = wine = None
    passed = failed = 0
    try:
        display = Display(workdir)
        wine = Wine(args.wine, args.arch, display, workdir)
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
