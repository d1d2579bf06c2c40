#!/usr/bin/env python3
"""Fails when a source under src/ includes a header of a layer it must not see.

Every `#include "dir/..."` line is an edge from the including file's folder
(src/<folder>/...) to <dir>. A folder may always include itself; any other edge
must be listed below. Lists every forbidden edge as file:line and exits 1.
"""
import os
import re
import sys

# folder -> the folders it may include (besides itself).
_BELOW_GUI = ["text", "words", "runtime", "platform", "policy", "debug", "library"]
ALLOWED = {
    "text":      [],
    "platform":  ["text"],
    "words":     ["text"],
    "runtime":   ["text", "words", "platform"],
    "policy":    ["text", "words", "runtime", "platform"],
    "debug":     ["text", "words", "runtime", "platform"],
    "library":   ["text", "words", "runtime", "platform", "policy", "debug"],
    "gui":       _BELOW_GUI,
    "net":       _BELOW_GUI,
    "interop":   _BELOW_GUI,
    "packaging": _BELOW_GUI,
    "app":       _BELOW_GUI + ["gui", "net", "interop", "packaging"],
}

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"/]+)/[^"]*"')


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src")
    root = os.path.normpath(root)
    errors = []
    for folder, _dirs, files in sorted(os.walk(root)):
        rel = os.path.relpath(folder, root)
        if rel == ".":
            continue
        layer = rel.split(os.sep)[0]
        for name in sorted(files):
            if not name.endswith((".h", ".hpp", ".cpp", ".cc", ".c", ".inc")):
                continue
            path = os.path.join(folder, name)
            shown = os.path.relpath(path, os.path.dirname(root))
            if layer not in ALLOWED:
                errors.append("%s: folder src/%s is not in the layer table" % (shown, layer))
                continue
            with open(path, encoding="utf-8", errors="replace") as f:
                for number, line in enumerate(f, 1):
                    m = INCLUDE.match(line)
                    if not m:
                        continue
                    target = m.group(1)
                    if target == layer or target in ALLOWED[layer]:
                        continue
                    errors.append("%s:%d: %s -> %s" % (shown, number, layer, target))
    if errors:
        print("layer check: includes that cross a layer the wrong way:")
        for e in errors:
            print("  " + e)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
