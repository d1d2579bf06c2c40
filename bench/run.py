#!/usr/bin/env python3
"""Runs every benchmark triplet bench/NAME.{srn,py,lua} and prints the times.

Each program does the same work in Sorane, Python 3 and Lua 5.4 (the
Python is the system's python3, see baseline.py). A
bench/gen_NAME.py, when present, is run first to write input data into
bench/out/. Every program runs with bench/out/ as its current folder; the median
of five runs is reported, with the ratios to Python 3 and Lua 5.4.

With --before OLD, a second Sorane executable (an earlier build) runs each
benchmark in the same pass, right before the current one, so both are measured
under the same load; its time and its ratio to Python are printed too.

usage: bench/run.py [--before path/to/old-sorane] [path/to/sorane] [name-filter]
"""
import glob
import os
import shutil
import subprocess
import sys
import time

import baseline

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "out")


TIMEOUT = 120  # seconds for one run; a program that takes longer is reported as "> 120"


def median_of(cmd, runs=5):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        try:
            proc = subprocess.run(cmd, cwd=OUT, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                  timeout=TIMEOUT)
        except subprocess.TimeoutExpired:
            return float("inf")
        elapsed = time.perf_counter() - start
        if proc.returncode != 0:
            sys.stderr.write("failed: %s\n%s\n" % (" ".join(cmd), proc.stderr.decode("utf-8", "replace")))
            return None
        times.append(elapsed)
    times.sort()
    return times[len(times) // 2]


def main():
    args = sys.argv[1:]
    before = None
    if len(args) >= 2 and args[0] == "--before":
        before = os.path.abspath(args[1])
        args = args[2:]
    sorane = os.path.abspath(args[0] if args else os.path.join(HERE, "..", "build", "sorane"))
    name_filter = args[1] if len(args) > 1 else ""
    lua = shutil.which("lua5.4") or shutil.which("lua")
    python = baseline.python()
    os.makedirs(OUT, exist_ok=True)
    print("python: %s" % baseline.describe(python))
    head = "%-18s" % "benchmark"
    if before:
        head += " %10s %8s" % ("before s", "x py")
    print(head + " %10s %10s %10s %8s %8s" % ("sorane s", "python s", "lua s", "x py", "x lua"))
    for srn in sorted(glob.glob(os.path.join(HERE, "*.srn"))):
        name = os.path.basename(srn)[:-4]
        if name_filter not in name:
            continue
        gen = os.path.join(HERE, "gen_%s.py" % name)
        if os.path.exists(gen):
            subprocess.run([sys.executable, gen], cwd=OUT, check=True)
        t_b = median_of([before, "--console", srn]) if before else None
        t_s = median_of([sorane, "--console", srn])
        py = os.path.join(HERE, name + ".py")
        t_p = median_of([python, py]) if os.path.exists(py) else None
        lu = os.path.join(HERE, name + ".lua")
        t_l = median_of([lua, lu]) if lua and os.path.exists(lu) else None
        fmt = lambda t: ("%10s" % "-" if t is None else
                         "%10s" % ("> %d" % TIMEOUT) if t == float("inf") else "%10.3f" % t)
        ratio = lambda a, b: ("%8s" % "-" if a is None or not b or b == float("inf") else
                              "%8s" % "-" if a == float("inf") else "%8.2f" % (a / b))
        line = "%-18s" % name
        if before:
            line += " %s %s" % (fmt(t_b), ratio(t_b, t_p))
        print(line + " %s %s %s %s %s" % (fmt(t_s), fmt(t_p), fmt(t_l), ratio(t_s, t_p), ratio(t_s, t_l)), flush=True)


if __name__ == "__main__":
    main()
