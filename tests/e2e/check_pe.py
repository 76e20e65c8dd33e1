#!/usr/bin/python3
"""Checks that a program is a 32-bit Windows GUI program that needs only the system's DLLs.

    check_pe.py [--objdump i686-w64-mingw32-objdump] Veloplot.exe
"""

import argparse
import re
import subprocess
import sys

SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "msvcrt.dll"}


def problems(dump):
    found = []
    magic = re.search(r"^Magic\s+([0-9a-fA-F]+)", dump, re.MULTILINE)
    if not magic or magic.group(1).lower() != "010b":
        found.append("not PE32 (magic %s)" % (magic.group(1) if magic else "missing"))
    subsystem = re.search(r"^Subsystem\s+([0-9a-fA-F]+)", dump, re.MULTILINE)
    if not subsystem or int(subsystem.group(1), 16) != 2:
        found.append("not the Windows GUI subsystem")
    dlls = {name.lower() for name in re.findall(r"DLL Name:\s*(\S+)", dump)}
    if not dlls:
        found.append("no imports found")
    for name in sorted(dlls - SYSTEM_DLLS):
        found.append("needs %s" % name)
    return found


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--objdump", default="i686-w64-mingw32-objdump")
    parser.add_argument("program")
    args = parser.parse_args(argv)
    dump = subprocess.run(
        [args.objdump, "-p", args.program], capture_output=True, text=True, check=True
    ).stdout
    found = problems(dump)
    for problem in found:
        print("%s: %s" % (args.program, problem))
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
