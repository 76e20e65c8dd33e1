#!/usr/bin/env python3
"""Writes the manual pages veloplot(1) and veloplot-render(1), gzipped, from README.md and the
window's help text, so that no text of either is kept twice by hand.

    make_man_pages.py --readme README.md --help-text app/help_text.h --version V OUT_DIR

For each program, README's Programs table gives the one-line summary, its section "### NAME" the
synopsis (the first indented block), the description, the options (the list), the exit status
(the paragraph that starts "Exit status:") and the example (the paragraph that starts "Example"
and the block after it); "## Input" gives the input format and its messages for both pages. The
keys are the lines " - KEY - what it does" of the help text that 'h' shows. A piece that cannot
be found stops the build, so that README and the pages cannot drift apart unnoticed.
"""

import argparse
import gzip
import os
import re
import sys

PROGRAMS = ("veloplot", "veloplot-render")
# Words in code that stand for something the user supplies: FILE, WxH, SEQ, N, X, Y.
METAVARIABLE = re.compile(r"\b([A-Z]+(?:x[A-Z]+)?)\b")


class ReadmeError(Exception):
    pass


def sections(markdown):
    """Heading title -> the lines under it, down to the next heading of its level or above."""
    lines = markdown.splitlines()
    found = {}
    for i, line in enumerate(lines):
        match = re.match(r"(#+) (.*)", line)
        if not match:
            continue
        level = len(match.group(1))
        end = i + 1
        while end < len(lines):
            other = re.match(r"(#+) ", lines[end])
            if other and len(other.group(1)) <= level:
                break
            end += 1
        found[match.group(2).strip()] = lines[i + 1:end]
    return found


def blocks(lines):
    """Paragraphs, lists, indented code and tables as (kind, content); stops at a subheading."""
    result = []
    i = 0
    while i < len(lines):
        line = lines[i]
        if line.startswith("#"):
            break
        if not line.strip():
            i += 1
        elif line.startswith("    "):
            code = []
            while i < len(lines) and (lines[i].startswith("    ") or not lines[i].strip()):
                code.append(lines[i][4:])
                i += 1
            while code and not code[-1].strip():
                code.pop()
            result.append(("code", code))
        elif line.startswith("- "):
            items = []
            while i < len(lines) and (lines[i].startswith("- ") or lines[i].startswith("  ")):
                if lines[i].startswith("- "):
                    items.append(lines[i][2:].strip())
                else:
                    items[-1] += " " + lines[i].strip()
                i += 1
            result.append(("list", items))
        elif line.startswith("|"):
            rows = []
            while i < len(lines) and lines[i].startswith("|"):
                cells = [cell.strip() for cell in lines[i].strip().strip("|").split("|")]
                if not all(re.fullmatch(r"-+", cell) for cell in cells):
                    rows.append(cells)
                i += 1
            result.append(("table", rows))
        else:
            words = []
            while i < len(lines) and lines[i].strip() and not re.match(r"(    |- |\||#)", lines[i]):
                words.append(lines[i].strip())
                i += 1
            result.append(("paragraph", " ".join(words)))
    return result


def escape(text):
    """Plain text for roff: backslashes and characters beyond ASCII as escapes."""
    out = text.replace("\\", "\\e")
    return "".join(c if ord(c) < 128 else "\\[u%04X]" % ord(c) for c in out)


def code_font(text):
    """Code as the pages set it: bold, with the words the user supplies in italics."""
    body = escape(text).replace("-", "\\-")
    body = METAVARIABLE.sub(lambda m: "\\fI" + m.group(1) + "\\fB", body)
    return "\\fB" + body + "\\fR"


def inline(text):
    """README's inline markup, of which code spans are the only kind these sections use."""
    parts = text.split("`")
    if len(parts) % 2 == 0:
        raise ReadmeError(f"unbalanced backquotes in: {text}")
    return "".join(code_font(p) if i % 2 else escape(p) for i, p in enumerate(parts))


def plain(text):
    return escape(text.replace("`", ""))


def line_safe(text):
    """A text line that roff does not take for a request."""
    return "\\&" + text if text[:1] in (".", "'") else text


def paragraph(text):
    return [".PP", line_safe(inline(text))]


def code_block(lines):
    out = [".PP", ".RS", ".nf"]
    for line in lines:
        out.append(line_safe(escape(line).replace("-", "\\-")))
    return out + [".fi", ".RE"]


def synopsis(line):
    body = escape(line).replace("-", "\\-")
    body = re.sub(r"(?<![\w\\])((?:\\-)+[a-z][a-z\\-]*)", r"\\fB\1\\fR", body)
    body = METAVARIABLE.sub(lambda m: "\\fI" + m.group(1) + "\\fR", body)
    name, _, rest = body.partition(" ")
    return [".B " + name, line_safe(rest)] if rest else [".B " + name]


def tagged_list(items):
    """List items that open with code, as the option and message lists do: a tag, then text."""
    out = []
    for item in items:
        match = re.match(r"((?:`[^`]+`(?:, )?)+):?\s*(.*)", item)
        if not match:
            raise ReadmeError(f"a list item that does not start with code: {item}")
        out += [".TP", line_safe(inline(match.group(1))), line_safe(inline(match.group(2)))]
    return out


def exit_status(text):
    """'0 when ...; 1 when ...' as one tagged paragraph per status."""
    items = [item.strip() for item in re.split(r"; (?=\d+ )", text)]
    parsed = [re.fullmatch(r"(\d+) (.*?)\.?", item, re.S) for item in items]
    if not all(parsed):
        return paragraph(text)
    out = []
    for match in parsed:
        out += [".TP", "\\fB" + match.group(1) + "\\fR", line_safe(inline(match.group(2)))]
    return out


def help_keys(header_text):
    """(key, what it does) from the help text's lines ' - KEY - what it does'."""
    start = header_text.index("kHelpText")
    literals = re.findall(r'"((?:[^"\\]|\\.)*)"', header_text[start:])
    text = "".join(literals)
    text = re.sub(r"\\(.)", lambda m: {"n": "\n", "t": "\t"}.get(m.group(1), m.group(1)), text)
    keys = []
    for line in text.splitlines():
        match = re.fullmatch(r" - (.+?) - (.+?)[,.]?", line)
        if match:
            keys.append((match.group(1), match.group(2)))
    if not keys:
        raise ReadmeError("no key lines in the help text")
    return keys


def program_summary(programs_table, program):
    for row in programs_table:
        words = row[0].strip("`").split()
        if words and words[0] == program:
            return plain(row[1])
    raise ReadmeError(f"no row for {program} in the Programs table")


def page(program, readme, keys, version):
    found = sections(readme)
    for needed in ("Programs", "### " + program, "Input"):
        title = needed.removeprefix("### ")
        if title not in found:
            raise ReadmeError(f"README has no section {needed!r}")
    tables = [content for kind, content in blocks(found["Programs"]) if kind == "table"]
    if not tables:
        raise ReadmeError("README's Programs section has no table")
    own = blocks(found[program])

    synopsis_lines, description, options, status, example = None, [], [], None, None
    for index, (kind, content) in enumerate(own):
        if kind == "code" and synopsis_lines is None:
            synopsis_lines = content
        elif kind == "list":
            options += tagged_list(content)
        elif kind == "paragraph" and content.startswith("Exit status:"):
            status = exit_status(content[len("Exit status:"):].strip())
        elif kind == "paragraph" and content.startswith("Example"):
            if index + 1 >= len(own) or own[index + 1][0] != "code":
                raise ReadmeError(f"{program}: the example has no indented command after it")
            intro = content[len("Example"):].lstrip(":, ")
            intro = intro[:1].upper() + intro[1:]
            example = (paragraph(intro) if intro else []) + code_block(own[index + 1][1])
        elif kind == "paragraph":
            description += paragraph(content)
    for piece, value in (("synopsis", synopsis_lines), ("exit status", status),
                         ("example", example)):
        if not value:
            raise ReadmeError(f"{program}: README gives no {piece}")

    input_lines = []
    for kind, content in blocks(found["Input"]):
        input_lines += tagged_list(content) if kind == "list" else paragraph(content)

    key_lines = []
    for key, action in keys:
        key_lines += [".TP", "\\fB" + escape(key) + "\\fR", line_safe(escape(action))]

    other = [p for p in PROGRAMS if p != program][0]
    out = [
        '.\\" Made by scripts/make_man_pages.py from README.md and app/help_text.h; edit those.',
        f'.TH {program.upper()} 1 "" "Veloplot {version}" "User Commands"',
        ".SH NAME",
        f"{program} \\- {program_summary(tables[0], program)}",
        ".SH SYNOPSIS",
    ]
    for line in synopsis_lines:
        out += synopsis(line)
    out += [".SH DESCRIPTION"] + description
    if options:
        out += [".SH OPTIONS"] + options
    out += [".SH KEYS"] + key_lines
    out += [".SH INPUT"] + input_lines
    out += [".SH EXIT STATUS"] + status
    out += [".SH EXAMPLE"] + example
    out += [".SH SEE ALSO", f".BR {other} (1)"]
    return "\n".join(out) + "\n"


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--readme", required=True)
    parser.add_argument("--help-text", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("out_dir")
    args = parser.parse_args(argv)
    with open(args.readme, encoding="utf-8") as source:
        readme = source.read()
    with open(args.help_text, encoding="utf-8") as source:
        keys = help_keys(source.read())
    os.makedirs(args.out_dir, exist_ok=True)
    try:
        pages = {program: page(program, readme, keys, args.version) for program in PROGRAMS}
    except ReadmeError as error:
        print(f"make_man_pages.py: {error}", file=sys.stderr)
        return 1
    for program, text in pages.items():
        path = os.path.join(args.out_dir, program + ".1.gz")
        # No time stamp and no file name inside, so that a rebuild gives the same bytes.
        with open(path + ".new", "wb") as out:
            out.write(gzip.compress(text.encode("ascii"), compresslevel=9, mtime=0))
        os.replace(path + ".new", path)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
