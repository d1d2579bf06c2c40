#!/usr/bin/env python3
"""Runs every script test twice, with the run-time's caches on and with them
off (SORANE_NO_CACHE=1), and requires the same standard output, standard error
(the error log) and exit status from both runs. Any difference is a fault of a
cache: the caches may only make a script faster.

usage: scripts/cache-differential.py [path/to/sorane] [jobs]
"""
import concurrent.futures
import os
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests"))
import run_script_tests  # noqa: E402


def compare(exe, folder, name):
    cached = run_script_tests.run_script(exe, folder, name)
    uncached = run_script_tests.run_script(exe, folder, name, {"SORANE_NO_CACHE": "1"})
    if cached == uncached:
        return None
    what = []
    for label, a, b in zip(("exit status", "stdout", "stderr"), cached, uncached):
        if a != b:
            what.append("%s with caches:\n%r\nwithout:\n%r" % (label, a, b))
    return "%s/%s\n%s" % (os.path.basename(folder), name, "\n".join(what))


def main():
    exe = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "sorane"))
    jobs = int(sys.argv[2]) if len(sys.argv) > 2 else (os.cpu_count() or 2)
    scripts_dir = os.path.join(ROOT, "tests", "scripts")
    work = []
    for family in sorted(os.listdir(scripts_dir)):
        folder = os.path.join(scripts_dir, family)
        if not os.path.isdir(folder):
            continue
        for name in sorted({f[:-4] for f in os.listdir(folder) if f.endswith((".srn", ".cmd"))}):
            work.append((folder, name))
    with concurrent.futures.ThreadPoolExecutor(jobs) as pool:
        results = list(pool.map(lambda w: compare(exe, *w), work))
    differences = [r for r in results if r]
    for d in differences:
        print("DIFFERS " + d)
    print("%d scripts run with and without caches, %d differ" % (len(work), len(differences)))
    return 1 if differences else 0


if __name__ == "__main__":
    sys.exit(main())
