#!/usr/bin/env python3
"""Checks the hand-written documentation and editor files.

    check-docs.py tutorial DOC FOLDER [--update]
        Every example in DOC is a fenced block after a marker line
        `<!-- NAME -->`; it must equal FOLDER/NAME (the script tests that run
        it), and every FOLDER/*.srn must appear in DOC. --update rewrites the
        blocks from the files instead.
    check-docs.py man PAGE
        The man page (UTF-8) renders with groff without a warning.
    check-docs.py grammar JSON [VIMFILE...]
        The TextMate grammar is valid JSON with a scope name and patterns whose
        regular expressions compile; Vim sources the syntax files without an
        error (when vim is installed).
"""
import glob
import json
import os
import re
import shutil
import subprocess
import sys

EXAMPLE = re.compile(r"<!-- (\S+) -->\n```[a-z]*\n(.*?)```\n", re.S)


def tutorial(doc, folder, update):
    with open(doc, encoding="utf-8") as f:
        text = f.read()
    problems, seen = [], set()

    def block(m):
        name = m.group(1)
        seen.add(name)
        path = os.path.join(folder, name)
        if not os.path.exists(path):
            problems.append("%s: no file %s" % (doc, path))
            return m.group(0)
        with open(path, encoding="utf-8") as f:
            wanted = f.read()
        if m.group(2) != wanted:
            problems.append("%s: the example %s differs from %s" % (doc, name, path))
        kind = "srn" if name.endswith(".srn") else "text"
        return "<!-- %s -->\n```%s\n%s```\n" % (name, kind, wanted)

    new_text = EXAMPLE.sub(block, text)
    for path in sorted(glob.glob(os.path.join(folder, "*.srn"))):
        if os.path.basename(path) not in seen:
            problems.append("%s: %s is not shown in the tutorial" % (doc, path))
    if update:
        with open(doc, "w", encoding="utf-8") as f:
            f.write(new_text)
        problems = [p for p in problems if "differs" not in p]
    for p in problems:
        print(p)
    if problems and not update:
        print("after changing a test script, update the tutorial with\n"
              "    scripts/check-docs.py tutorial %s %s --update" % (doc, folder))
    return 1 if problems else 0


def man(page):
    groff = shutil.which("groff")
    if not groff:
        print("groff is not installed (Debian package groff-base)")
        return 1
    # The page is UTF-8: -k runs it through preconv, as man does.
    proc = subprocess.run([groff, "-k", "-Tutf8", "-man", "-ww", "-z", page],
                          capture_output=True, text=True)
    if proc.returncode or proc.stderr:
        print(proc.stderr or "groff failed")
        return 1
    return 0


def regexes(node, where="grammar"):
    """Yields (where, regex) for every match/begin/end/while of the grammar."""
    if isinstance(node, dict):
        for key, value in node.items():
            if key in ("match", "begin", "end", "while") and isinstance(value, str):
                yield "%s.%s" % (where, key), value
            else:
                yield from regexes(value, "%s.%s" % (where, key))
    elif isinstance(node, list):
        for i, value in enumerate(node):
            yield from regexes(value, "%s[%d]" % (where, i))


def grammar(path, vim_files):
    problems = []
    with open(path, encoding="utf-8") as f:
        data = json.load(f)
    for key in ("scopeName", "patterns", "repository"):
        if key not in data:
            problems.append("%s: no %s" % (path, key))
    for name, pattern in data.get("repository", {}).items():
        if not pattern:
            problems.append("%s: empty repository entry %s" % (path, name))
    for where, regex in regexes(data):
        # Back-references to begin captures (\1 in an end pattern) only exist
        # inside the editor's matcher.
        if re.search(r"\\[1-9]", regex) and where.endswith(".end"):
            continue
        try:
            re.compile(regex)
        except re.error as e:
            problems.append("%s: %s: %s: %s" % (path, where, regex, e))
    includes = re.findall(r'"include": "#([^"]+)"', json.dumps(data))
    for name in includes:
        if name not in data.get("repository", {}):
            problems.append("%s: include of missing #%s" % (path, name))
    vim = shutil.which("vim")
    for vim_file in vim_files if vim else []:
        proc = subprocess.run(
            [vim, "-N", "-u", "NONE", "-i", "NONE", "-es", "-c", "syntax on",
             "-c", "try | source %s | catch | call writefile([v:exception], '/dev/stderr') "
             "| cquit | endtry" % vim_file,
             "-c", "qall!"], capture_output=True, text=True, stdin=subprocess.DEVNULL)
        if proc.returncode:
            problems.append("%s: %s" % (vim_file, (proc.stdout + proc.stderr).strip()))
    for p in problems:
        print(p)
    return 1 if problems else 0


def main(argv):
    if len(argv) >= 4 and argv[1] == "tutorial":
        return tutorial(argv[2], argv[3], "--update" in argv[4:])
    if len(argv) == 3 and argv[1] == "man":
        return man(argv[2])
    if len(argv) >= 3 and argv[1] == "grammar":
        return grammar(argv[2], argv[3:])
    print(__doc__.strip(), file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
