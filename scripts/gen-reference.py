#!/usr/bin/env python3
"""Writes docs/reference.md from the run-time's own listing.

    scripts/gen-reference.py build/sorane > docs/reference.md
    scripts/gen-reference.py build/sorane --check docs/reference.md

The commands and system variables come from `sorane --commands` and
`sorane --variables` (one line per entry, see src/app/reference.cpp). With
--check, the file is compared with what would be written and the exit status is
1 when it differs.
"""
import re
import subprocess
import sys

COMMAND = re.compile(r"^(\S+)(?: (.*?))? — (.*?)$")
VARIABLE = re.compile(
    r"^(\S+) = 「(.*?)」(?: — (.*?))?(?: \(((?:number|text)?(?:, )?(?:read-only)?)\))?$")

HEADER = """\
# Command reference

Every built-in command and system variable of Sorane. This file is generated
from the run-time's own tables by `scripts/gen-reference.py build/sorane >
docs/reference.md`; do not edit it by hand. The same list is printed by
`sorane --commands [WORD]` and `sorane --variables`.

A template lists the argument slots: each `?` is an argument and the text after
it the particle that marks it, so `?を,?へ` is written `「文」を、「a.txt」へ、保存`.
Names are found with okurigana folded (繰り返す, 繰返す and 繰返 are one command).
See [the tutorial](tutorial.md) for how statements are written.
"""

VARIABLES_INTRO = """\
Values a script reads or sets by name. Read-only ones are kept up to date by
the run-time; the paths, コマンドライン引数, OS and the desktop size are filled in
when a run starts. The type is the kind of value the variable holds.
"""


def listing(exe, option):
    out = subprocess.run([exe, option], check=True, capture_output=True).stdout
    return out.decode("utf-8").splitlines()


def code(text):
    """A Markdown code span holding `text` exactly (empty for an empty text)."""
    if not text:
        return ""
    fence = "``" if "`" in text else "`"
    pad = " " if text.startswith("`") or text.endswith("`") else ""
    return fence + pad + text + pad + fence


def cell(text):
    return text.replace("|", "\\|")


def rows(exe, option, pattern):
    """The regular-expression groups of every line `sorane OPTION` prints."""
    for line in listing(exe, option):
        m = pattern.match(line)
        if not m:
            raise SystemExit("unexpected line from %s: %s" % (option, line))
        yield m.groups()


def generate(exe):
    lines = [HEADER, "## Commands", "",
             "| command | template | description |", "|---|---|---|"]
    for name, template, text in rows(exe, "--commands", COMMAND):
        lines.append("| %s | %s | %s |" % (cell(name), cell(code(template or "")), cell(text)))
    lines += ["", "## System variables", "", VARIABLES_INTRO,
              "| variable | default | description | type |", "|---|---|---|---|"]
    for name, default, text, kind in rows(exe, "--variables", VARIABLE):
        lines.append("| %s | %s | %s | %s |" % (
            cell(name), cell(code(default)), cell(text or ""), kind or ""))
    return "\n".join(lines) + "\n"


def main(argv):
    if len(argv) == 2:
        sys.stdout.write(generate(argv[1]))
        return 0
    if len(argv) == 4 and argv[2] == "--check":
        with open(argv[3], encoding="utf-8") as f:
            current = f.read()
        if current == generate(argv[1]):
            return 0
        print("%s does not match the run-time's command tables; regenerate it with\n"
              "    scripts/gen-reference.py %s > %s" % (argv[3], argv[1], argv[3]))
        return 1
    print(__doc__.strip(), file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
