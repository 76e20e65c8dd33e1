#!/usr/bin/python3
"""End-to-end tests of the packages: the Debian package of the Linux programs and the Windows zip.

    package_e2e.py BUILD_DIR [--windows-build DIR]

BUILD_DIR is a Release build of the Linux programs, already built. The Debian package is made
there with `cpack -G DEB`, checked with lintian, appstreamcli and desktop-file-validate,
installed with dpkg, used as a person would (the installed programs, their manual pages through
`man`, a CSV file opened through the desktop entry on a virtual display) and removed again.
DIR is a build of the windows preset whose zip is made with CPack and looked into (the preset's
own cpack when DIR is its build-win). Needs root, as CI has it. One line per check, then
'N passed, N failed'; the exit status is 1 when a check failed.
"""

import argparse
import glob
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import zipfile

from e2e_checks import Results, VirtualDisplay, require, wait_until

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
THEME_ICON_SIZES = (16, 24, 32, 48, 64, 128, 256)
# Files the package must hold, beside the icons.
PACKAGE_FILES = (
    "usr/bin/veloplot",
    "usr/bin/veloplot-render",
    "usr/share/applications/veloplot.desktop",
    "usr/share/metainfo/io.github.veloplot.Veloplot.metainfo.xml",
    "usr/share/man/man1/veloplot.1.gz",
    "usr/share/man/man1/veloplot-render.1.gz",
    "usr/share/doc/veloplot/copyright",
    "usr/share/doc/veloplot/changelog.gz",
)
# Data that gives each of the reader's messages, and the exit status it ends in.
FAULTY_FILES = {
    "Invalid value detected in line N.": "a,b\n1,2\n3,1e999\n",
    "Too many values in line N.": "a,b\n1,2,3\n",
    "Not enough values in line N.": "a,b\n1\n",
    "Invalid character detected in line N.": "a,b\n1,2\n3,x\n",
    "There must be at least 2 columns in the input data.": "a\n1\n",
    "There are no data rows in the input file.": "a,b\n",
}
DPKG_LOCK_WAIT = 600


def run(command, timeout=600, **kwargs):
    return subprocess.run(command, capture_output=True, text=True, timeout=timeout, **kwargs)


class Suite(Results):
    def __init__(self, work):
        super().__init__()
        self.work = work


def dpkg(*args):
    """dpkg, waiting while another install holds its lock."""
    deadline = time.monotonic() + DPKG_LOCK_WAIT
    while True:
        result = run(["dpkg"] + list(args))
        locked = result.returncode != 0 and "lock" in result.stderr
        if not locked or time.monotonic() > deadline:
            return result
        time.sleep(5)


def png_size(path):
    with open(path, "rb") as data:
        head = data.read(24)
    require(head[:8] == b"\x89PNG\r\n\x1a\n" and head[12:16] == b"IHDR", f"{path} is no PNG")
    return struct.unpack(">II", head[16:24])


def man_page(name):
    """The page as `man` shows it, in plain ASCII; warnings of the formatter count as faults."""
    env = dict(os.environ, LC_ALL="C", MANWIDTH="100", MANPAGER="cat", PAGER="cat")
    result = run(["man", "--warnings", name], env=env)
    require(result.returncode == 0, f"man {name}: exit status {result.returncode}: "
            f"{result.stderr.strip()}")
    require(not result.stderr.strip(), f"man {name} warns: {result.stderr.strip()}")
    return result.stdout


def section(page, title):
    """The text of one section of a formatted page, its lines joined by single blanks."""
    match = re.search(rf"^{title}\n(.*?)(?=^[A-Z][A-Z ]+\n|\Z)", page, re.M | re.S)
    require(match, f"no {title} section")
    return match.group(1)


def flat(text):
    return " ".join(text.split())


def build_deb(suite, build):
    def make():
        for old in glob.glob(os.path.join(build, "veloplot_*.deb")):
            os.remove(old)
        result = run(["cpack", "-G", "DEB"], cwd=build)
        require(result.returncode == 0, result.stdout[-2000:] + result.stderr[-2000:])
        debs = glob.glob(os.path.join(build, "veloplot_*_amd64.deb"))
        require(len(debs) == 1, f"packages made: {os.listdir(build)}")
        version = run(["dpkg-deb", "-f", debs[0], "Version"]).stdout.strip()
        expected = f"veloplot_{version}_amd64.deb"
        require(os.path.basename(debs[0]) == expected, f"{debs[0]} is not named {expected}")
        return debs[0]
    return suite.check("cpack -G DEB makes veloplot_VERSION_amd64.deb", make)


def package_contents(suite, deb, tree):
    def files():
        run(["dpkg-deb", "-x", deb, tree])
        missing = [path for path in PACKAGE_FILES if not os.path.isfile(os.path.join(tree, path))]
        require(not missing, f"missing: {missing}")
        for size in THEME_ICON_SIZES:
            icon = os.path.join(tree, f"usr/share/icons/hicolor/{size}x{size}/apps/veloplot.png")
            require(os.path.isfile(icon), f"no {size}x{size} icon")
            require(png_size(icon) == (size, size), f"the {size}x{size} icon is {png_size(icon)}")
    suite.check("the package holds both programs, the desktop entry, the metadata, the manual "
                "pages, the copyright and icons of 16 to 256 pixels", files)

    def depends():
        fields = run(["dpkg-deb", "-f", deb, "Package", "Architecture", "Depends"]).stdout
        require("Package: veloplot\n" in fields and "Architecture: amd64\n" in fields, fields)
        depends = re.search(r"^Depends: (.*)$", fields, re.M)
        require(depends, "no Depends")
        # dpkg-shlibdeps, run here on the packaged programs, must find what the package names.
        os.makedirs(os.path.join(tree, "debian"), exist_ok=True)
        open(os.path.join(tree, "debian", "control"), "w").close()
        found = run(["dpkg-shlibdeps", "-O", "-eusr/bin/veloplot", "-eusr/bin/veloplot-render"],
                    cwd=tree)
        shutil.rmtree(os.path.join(tree, "debian"))
        computed = found.stdout.strip().removeprefix("shlibs:Depends=")
        require(depends.group(1) == computed,
                f"Depends: {depends.group(1)}\ndpkg-shlibdeps: {computed}")
        require("libgtk-3-0" in computed and "libc6" in computed, computed)
    suite.check("Depends as dpkg-shlibdeps computes it (libc6, libgtk-3-0, ...)", depends)


def package_lints(suite, deb, tree):
    def lintian():
        result = run(["lintian", "--fail-on", "error", deb])
        for line in result.stdout.splitlines():
            print(f"       lintian: {line}")
        errors = [line for line in result.stdout.splitlines() if line.startswith("E:")]
        require(result.returncode == 0 and not errors, f"exit status {result.returncode}")
    suite.check("lintian reports no error", lintian)

    def appstream():
        metainfo = os.path.join(tree, "usr/share/metainfo/io.github.veloplot.Veloplot.metainfo.xml")
        result = run(["appstreamcli", "validate", "--no-net", metainfo])
        for line in (result.stdout + result.stderr).splitlines():
            if line.strip():
                print(f"       appstreamcli: {line}")
        require(result.returncode == 0, f"exit status {result.returncode}")
    suite.check("appstreamcli validate passes", appstream)

    def desktop_entry():
        entry = os.path.join(tree, "usr/share/applications/veloplot.desktop")
        result = run(["desktop-file-validate", entry])
        require(result.returncode == 0 and not result.stdout.strip(),
                result.stdout + result.stderr)
    suite.check("desktop-file-validate passes", desktop_entry)


def installed_programs(suite, build):
    sample = os.path.join(ROOT, "examples", "weather.csv")

    def render():
        installed = run(["/usr/bin/veloplot-render", "--print-state", sample])
        built = run([os.path.join(build, "veloplot-render"), "--print-state", sample])
        require(installed.returncode == 0, f"exit status {installed.returncode}")
        require(installed.stdout == built.stdout and installed.stdout, "another state")
        picture = os.path.join(suite.work, "installed.png")
        drawn = run(["/usr/bin/veloplot-render", "-o", picture, sample])
        require(drawn.returncode == 0 and png_size(picture) == (1000, 700),
                f"no 1000x700 picture: {drawn.stderr}")
    suite.check("the installed veloplot-render loads the sample and draws it", render)

    def window_binary():
        result = run(["/usr/bin/veloplot", sample], env={"PATH": "/usr/bin:/bin"})
        require(result.returncode == 1 and "veloplot-render -o" in result.stderr,
                f"exit status {result.returncode}: {result.stderr.strip()}")
    suite.check("the installed veloplot starts (and, without a display, says so)", window_binary)


def manual_pages(suite):
    pages = {}
    for name in ("veloplot", "veloplot-render"):
        pages[name] = suite.check(f"man {name} shows the page without warnings",
                                  lambda name=name: man_page(name))
    if not all(pages.values()):
        return

    usage = run(["/usr/bin/veloplot-render", "--help"]).stdout
    help_text = run(["/usr/bin/veloplot-render", "--keys", "h", "--print-text"],
                    stdin=subprocess.DEVNULL).stdout

    def options():
        listed = set(re.findall(r"(?<![\w-])(--?[a-z][a-z-]*)", "\n".join(
            line for line in usage.splitlines() if line.startswith("  "))))
        require(len(listed) >= 8, f"--help lists {sorted(listed)}")
        text = section(pages["veloplot-render"], "OPTIONS")
        missing = [option for option in sorted(listed) if option not in text]
        require(not missing, f"not in OPTIONS: {missing}")
    suite.check("veloplot-render(1) explains every option of --help", options)

    def keys():
        listed = [flat(match) for match in re.findall(r"^ - (.+?) - ", help_text, re.M)]
        require(len(listed) >= 10, f"the help lists {listed}")
        for name, page in pages.items():
            text = flat(section(page, "KEYS"))
            missing = [key for key in listed if key not in text]
            require(not missing, f"{name}(1) lacks the keys {missing}")
    suite.check("both pages list every key of the window's help", keys)

    def messages():
        for message, data in FAULTY_FILES.items():
            path = os.path.join(suite.work, "faulty.csv")
            with open(path, "w") as out:
                out.write(data)
            result = run(["/usr/bin/veloplot-render", path])
            said = re.sub(r"line \d+\.", "line N.", result.stderr.strip())
            require(result.returncode == 1 and said == message,
                    f"exit status {result.returncode}, said {result.stderr.strip()!r}")
            for name, page in pages.items():
                require(message in flat(section(page, "INPUT")), f"{name}(1) lacks {message!r}")
    suite.check("both pages give the input format's messages as the program says them",
                messages)

    def statuses():
        for name, codes in (("veloplot", ("0", "1")), ("veloplot-render", ("0", "1", "2"))):
            text = section(pages[name], "EXIT STATUS")
            tags = re.findall(r"^ {7}(\d+) ", text, re.M)
            require(tuple(tags) == codes, f"{name}(1) gives the statuses {tags}")
        bad_option = run(["/usr/bin/veloplot-render", "--no-such-option"])
        require(bad_option.returncode == 2, f"a usage error ends in {bad_option.returncode}")
    suite.check("the exit statuses: 0 and 1 for the window, 0, 1 and 2 for the renderer",
                statuses)

    def example():
        text = section(pages["veloplot-render"], "EXAMPLE")
        commands = [line.strip() for line in text.splitlines()
                    if line.strip().startswith("veloplot-render ")]
        require(len(commands) == 1, f"example commands: {commands}")
        folder = os.path.join(suite.work, "example")
        os.makedirs(os.path.join(folder, "examples"), exist_ok=True)
        shutil.copy(os.path.join(ROOT, "examples", "weather.csv"), os.path.join(folder, "examples"))
        result = run(["/bin/sh", "-c", commands[0]], cwd=folder,
                     env=dict(os.environ, PATH="/usr/bin:/bin"))
        require(result.returncode == 0, f"{commands[0]}: exit status {result.returncode}")
        written = [f for f in os.listdir(folder) if f != "examples"]
        require(written, f"{commands[0]} wrote nothing")
        window = section(pages["veloplot"], "EXAMPLE")
        require("veloplot examples/weather.csv" in window, f"veloplot(1) example: {window}")
    suite.check("the example of veloplot-render(1) runs as printed", example)


def open_from_file_manager(suite):
    """A CSV file opened as a file manager opens it: through the desktop entry that claims it."""
    def registered():
        result = run(["gio", "mime", "text/csv"], env=dict(os.environ, HOME=suite.work))
        require("veloplot.desktop" in result.stdout, result.stdout + result.stderr)
    suite.check("the desktop entry is registered for text/csv", registered)

    def opens():
        csv = os.path.join(suite.work, "opened from a file manager.csv")
        shutil.copy(os.path.join(ROOT, "examples", "weather.csv"), csv)
        with VirtualDisplay() as display:
            env = dict(os.environ, DISPLAY=display.name, GDK_BACKEND="x11", NO_AT_BRIDGE="1",
                       HOME=suite.work)
            launcher = subprocess.Popen(
                ["gio", "launch", "/usr/share/applications/veloplot.desktop", csv], env=env,
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            try:
                found = wait_until(lambda: run(
                    ["xdotool", "search", "--onlyvisible", "--name", "^Veloplot - "],
                    env=env).stdout.split(), 20, step=0.2)
                require(found, "no window appeared")
                title = run(["xdotool", "getwindowname", found[0]], env=env).stdout.strip()
                require(title == "Veloplot - " + csv, f"the window's title is {title!r}")
                pid = run(["xdotool", "getwindowpid", found[0]], env=env).stdout.strip()
                require(pid.isdigit(), f"no process for the window: {pid!r}")
                os.kill(int(pid), signal.SIGTERM)
            finally:
                launcher.wait(timeout=10)
    suite.check("a CSV file opened through the desktop entry starts the window on it", opens)


def debian_package(suite, build):
    deb = build_deb(suite, build)
    if not deb:
        return
    tree = os.path.join(suite.work, "tree")
    package_contents(suite, deb, tree)
    package_lints(suite, deb, tree)

    def install():
        result = dpkg("-i", deb)
        require(result.returncode == 0, result.stdout + result.stderr)
        return True
    if not suite.check("dpkg -i installs the package", install):
        dpkg("--purge", "veloplot")
        return
    try:
        installed_programs(suite, build)
        manual_pages(suite)
        open_from_file_manager(suite)
    finally:
        def remove():
            result = dpkg("--purge", "veloplot")
            require(result.returncode == 0, result.stdout + result.stderr)
            left = [path for path in PACKAGE_FILES if os.path.exists("/" + path)]
            require(not left, f"left behind: {left}")
        suite.check("dpkg --purge removes it again", remove)


def windows_zip(suite, windows_build):
    def make():
        version = re.search(r'^set\(CPACK_PACKAGE_VERSION "(.*)"\)', open(
            os.path.join(windows_build, "CPackConfig.cmake")).read(), re.M).group(1)
        name = f"Veloplot-{version}-win32.zip"
        path = os.path.join(windows_build, name)
        if os.path.exists(path):
            os.remove(path)
        if os.path.realpath(windows_build) == os.path.join(ROOT, "build-win"):
            command = ["cpack", "--preset", "windows"]
        else:
            command = ["cpack", "--config", os.path.join(windows_build, "CPackConfig.cmake"),
                       "-B", windows_build]
        result = run(command, cwd=ROOT)
        require(result.returncode == 0 and os.path.exists(path),
                f"{' '.join(command)} made no {name}: {result.stdout[-1500:]}{result.stderr}")
        return path, version
    made = suite.check("cpack makes Veloplot-VERSION-win32.zip", make)
    if not made:
        return
    path, version = made

    def contents():
        folder = f"Veloplot-{version}-win32/"
        with zipfile.ZipFile(path) as archive:
            names = sorted(archive.namelist())
            require(names == [folder + "README.txt", folder + "Veloplot.exe"], f"holds {names}")
            text = archive.read(folder + "README.txt")
            archive.extract(folder + "Veloplot.exe", suite.work)
        require(b"\r\n" in text and b"\n" not in text.replace(b"\r\n", b""),
                "the text's lines do not all end in CR LF")
        require(b"Veloplot.exe C:\\" in text, "the text does not say how to start the program")
        checked = run([sys.executable, os.path.join(ROOT, "tests", "e2e", "check_pe.py"),
                       os.path.join(suite.work, folder, "Veloplot.exe")])
        require(checked.returncode == 0, checked.stdout + checked.stderr)
    suite.check("the zip holds Veloplot.exe (32-bit, GUI) and a text on how to start it",
                contents)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build_dir")
    parser.add_argument("--windows-build", help="a build of the windows preset")
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as work:
        suite = Suite(work)
        if os.geteuid() != 0:
            suite.record("running as root, as dpkg -i needs", "not root")
        else:
            debian_package(suite, os.path.abspath(args.build_dir))
        if args.windows_build:
            windows_zip(suite, os.path.abspath(args.windows_build))
        else:
            suite.record("cpack makes Veloplot-VERSION-win32.zip", "no Windows build was given")
    print(suite.summary())
    return 1 if suite.failed else 0


if __name__ == "__main__":
    sys.exit(main())
