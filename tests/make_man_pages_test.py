#!/usr/bin/env python3
"""The manual pages that scripts/make_man_pages.py makes from a README and a help text."""

import gzip
import os
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scripts"))
import make_man_pages  # noqa: E402

HELP = r'''
inline constexpr char kHelpText[] =
    "\n"
    " Keys:\n"
    " - Page Down / Page Up - select next / previous dimension (marked by *),\n"
    " - c - constrain within its center + - tolerance,\n"
    " - left mouse button double-click - center the graph near the point clicked.\n";
'''

README = """# Tool

## Programs

| program | what it is |
|---|---|
| `veloplot FILE` | the window |
| `veloplot-render [OPTIONS] FILE` | the renderer |

### veloplot

    veloplot [FILE]

Opens FILE. A path such as C:\\data works.
.hidden starts a line that roff would take for a request.

Exit status: 0 when closed; 1 without a display (see `veloplot-render -o x.png FILE`).

Example:

    veloplot data.csv

### veloplot-render

    veloplot-render [--size WxH] FILE

Draws.

- `--size WxH`: the size
  (1 to 16384; continued).
- `-o FILE`, `--output FILE`: a picture.

Exit status: 0 when loaded; 1 when a message came (also on standard error; outputs still
written); 2 for a usage error.

Example, a picture:

    veloplot-render -o plot.png data.csv

## Input

Numbers such as `-1.5` and nothing else.

- `Invalid value detected in line N.` a bad number

## Layout

Not in any page.
"""


def pages(readme=README, help_text=HELP):
    keys = make_man_pages.help_keys(help_text)
    return {p: make_man_pages.page(p, readme, keys, "9.9") for p in make_man_pages.PROGRAMS}


class Pages(unittest.TestCase):
    def test_sections_from_the_readme_and_the_keys_from_the_help(self):
        window = pages()["veloplot"]
        self.assertIn(".TH VELOPLOT 1 \"\" \"Veloplot 9.9\"", window)
        self.assertIn("veloplot \\- the window\n", window)
        self.assertIn(".SH KEYS\n.TP\n\\fBPage Down / Page Up\\fR\n"
                      "select next / previous dimension (marked by *)\n", window)
        self.assertIn("\\fBleft mouse button double-click\\fR\ncenter the graph near the point "
                      "clicked\n", window)
        self.assertIn(".SH EXAMPLE\n.PP\n.RS\n.nf\nveloplot data.csv\n", window)
        self.assertNotIn("Not in any page", window)
        self.assertNotIn("--size", window)

    def test_options_messages_and_statuses_as_tagged_paragraphs(self):
        render = pages()["veloplot-render"]
        self.assertIn(".TP\n\\fB\\-\\-size \\fIWxH\\fB\\fR\nthe size (1 to 16384; continued).\n",
                      render)
        self.assertIn(".TP\n\\fB\\-o \\fIFILE\\fB\\fR, \\fB\\-\\-output \\fIFILE\\fB\\fR\n", render)
        self.assertIn(".TP\n\\fBInvalid value detected in line \\fIN\\fB.\\fR\na bad number\n",
                      render)
        # A semicolon inside the text of a status does not start another status.
        self.assertIn(".TP\n\\fB1\\fR\nwhen a message came (also on standard error; outputs still "
                      "written)\n.TP\n\\fB2\\fR\n", render)
        self.assertIn(".SH EXAMPLE\n.PP\nA picture:\n", render)
        self.assertIn("veloplot\\-render \\-o plot.png data.csv\n", render)

    def test_text_that_roff_would_misread_is_escaped(self):
        window = pages()["veloplot"]
        self.assertIn("C:\\edata", window)
        for line in window.splitlines():
            self.assertFalse(line.startswith(".hidden"), line)
        self.assertIn("\\fBveloplot\\-render \\-o x.png \\fIFILE\\fB\\fR", window)
        text = pages(README.replace("Draws.", "Draws \u00b1 5."))["veloplot-render"]
        self.assertIn("Draws \\[u00B1] 5.", text)
        text.encode("ascii")

    def test_a_readme_without_a_piece_stops_the_build(self):
        for piece in ("### veloplot-render\n", "Exit status: 0 when loaded",
                      "Example, a picture:\n", "## Input\n", "| `veloplot FILE` | the window |\n"):
            broken = README.replace(piece, "")
            with self.assertRaises(make_man_pages.ReadmeError, msg=piece):
                pages(broken)
        with self.assertRaises(make_man_pages.ReadmeError):
            make_man_pages.help_keys('kHelpText[] = "no keys\\n";')
        with self.assertRaises(make_man_pages.ReadmeError):
            pages(README.replace("`-1.5`", "`-1.5"))


class Command(unittest.TestCase):
    def test_writes_both_pages_gzipped_the_same_bytes_each_time(self):
        with tempfile.TemporaryDirectory() as work:
            readme = os.path.join(work, "README.md")
            header = os.path.join(work, "help_text.h")
            with open(readme, "w") as out:
                out.write(README)
            with open(header, "w") as out:
                out.write(HELP)
            made = []
            for run in range(2):
                out_dir = os.path.join(work, f"out{run}")
                self.assertEqual(make_man_pages.main(
                    ["--readme", readme, "--help-text", header, "--version", "1", out_dir]), 0)
                made.append({})
                for name in sorted(os.listdir(out_dir)):
                    with open(os.path.join(out_dir, name), "rb") as page:
                        made[-1][name] = page.read()
            self.assertEqual(sorted(made[0]), ["veloplot-render.1.gz", "veloplot.1.gz"])
            self.assertEqual(made[0], made[1])
            text = gzip.decompress(made[0]["veloplot.1.gz"]).decode("ascii")
            self.assertTrue(text.startswith(".\\\""))

            with open(readme, "w") as out:
                out.write(README.replace("## Input", "## Elsewhere"))
            failed = subprocess.run([sys.executable, make_man_pages.__file__, "--readme", readme,
                                     "--help-text", header, "--version", "1",
                                     os.path.join(work, "out2")], capture_output=True, text=True)
            self.assertEqual(failed.returncode, 1)
            self.assertIn("no section 'Input'", failed.stderr)
            self.assertFalse(os.path.exists(os.path.join(work, "out2", "veloplot.1.gz")))


if __name__ == "__main__":
    unittest.main()
