#!/usr/bin/env python3
"""Runs every benchmark triplet bench/NAME.{srn,py,lua} and prints the times.

Each program does the same work in Sorane, Python 3 and Lua 5.4. A
bench/gen_NAME.py, when present, is run first to write input data into
bench/out/. Every program runs with bench/out/ as its current folder; the best of
three runs is reported, with the ratios to Python 3 and Lua 5.4.

usage: bench/run.py [path/to/sorane] [name-filter]
"""
import glob
import os
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "out")


def best_of(cmd, runs=3):
    best = None
    for _ in range(runs):
        start = time.perf_counter()
        proc = subprocess.run(cmd, cwd=OUT, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        elapsed = time.perf_counter() - start
        if proc.returncode != 0:
            sys.stderr.write("failed: %s\n%s\n" % (" ".join(cmd), proc.stderr.decode("utf-8", "replace")))
            return None
        best = elapsed if best is None else min(best, elapsed)
    return best


def main():
    sorane = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "..", "build", "sorane"))
    name_filter = sys.argv[2] if len(sys.argv) > 2 else ""
    lua = shutil.which("lua5.4") or shutil.which("lua")
    os.makedirs(OUT, exist_ok=True)
    print("%-18s %10s %10s %10s %8s %8s" % ("benchmark", "sorane s", "python s", "lua s", "x py", "x lua"))
    for srn in sorted(glob.glob(os.path.join(HERE, "*.srn"))):
        name = os.path.basename(srn)[:-4]
        if name_filter not in name:
            continue
        gen = os.path.join(HERE, "gen_%s.py" % name)
        if os.path.exists(gen):
            subprocess.run([sys.executable, gen], cwd=OUT, check=True)
        t_s = best_of([sorane, "--console", srn])
        py = os.path.join(HERE, name + ".py")
        t_p = best_of([sys.executable, py]) if os.path.exists(py) else None
        lu = os.path.join(HERE, name + ".lua")
        t_l = best_of([lua, lu]) if lua and os.path.exists(lu) else None
        fmt = lambda t: "%10.3f" % t if t is not None else "%10s" % "-"
        ratio = lambda a, b: "%8.2f" % (a / b) if a is not None and b else "%8s" % "-"
        print("%-18s %s %s %s %s %s" % (name, fmt(t_s), fmt(t_p), fmt(t_l), ratio(t_s, t_p), ratio(t_s, t_l)))


if __name__ == "__main__":
    main()
