#!/usr/bin/env python3
"""Runs the picture benchmarks: bench_images (the run-time's filters and
resize, built with `cmake --build build --target bench_images`) and images.py
(the same operations in Python with Pillow, python3-pil), and prints both times
and their ratio. Each program reports the best of three runs of every
operation; with ROUNDS > 1 both programs run that many times, alternately, and
the best of all is kept (the machine's load then hurts both sides alike).

usage: bench/run_images.py [path/to/bench_images] [python with Pillow] [ROUNDS]
"""
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def times(cmd):
    out = subprocess.run(cmd, check=True, capture_output=True, text=True).stdout
    return {name: float(t) for name, t in (line.split() for line in out.splitlines())}


def main():
    exe = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "..", "build", "bench", "bench_images")
    python = sys.argv[2] if len(sys.argv) > 2 else "/usr/bin/python3"
    rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 1
    ours, pillow = {}, {}
    for _ in range(rounds):
        for best, cmd in ((ours, [exe]), (pillow, [python, os.path.join(HERE, "images.py")])):
            for name, t in times(cmd).items():
                best[name] = min(t, best.get(name, t))
    print("%-16s %10s %10s %8s" % ("operation", "sorane s", "pillow s", "x pillow"))
    for name, t in ours.items():
        p = pillow.get(name)
        print("%-16s %10.4f %10s %8s" % (name, t, "%.4f" % p if p else "-", "%.2f" % (t / p) if p else "-"))


if __name__ == "__main__":
    main()
