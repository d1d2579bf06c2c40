#!/usr/bin/env python3
"""Runs one benchmark in Sorane and in Python 3 back to back, many times, and
prints their ratio by the machine's mode.

On a shared machine the speed of a run may drop by half for a few seconds
and come back, and it does not drop alike for both programs: a run of either
may fall into a slow spell while the other does not. A median over runs of
each program then mixes the modes. Here each round runs the two programs one
right after the other (in a shuffled order), and the ratio is reported
separately for the rounds where both runs were fast and where both were slow
(a run counts as slow when it took more than SLOW times the fastest run of its
program); rounds where only one run was slow are counted, not used.

usage: bench/run_pairs.py [path/to/sorane] [name] [rounds]
  (defaults: build/sorane, fib25, 200)
"""
import os
import random
import subprocess
import sys
import time

import baseline

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "out")
SLOW = 1.3


def timed(cmd):
    start = time.perf_counter()
    subprocess.run(cmd, cwd=OUT, stdout=subprocess.DEVNULL, check=True)
    return time.perf_counter() - start


def quantile(values, fraction):
    values = sorted(values)
    return values[int(fraction * (len(values) - 1))]


def report(label, rounds):
    if not rounds:
        print("%-10s no rounds" % label)
        return
    ratios = [s / p for s, p in rounds]
    print("%-10s %4d rounds  sorane %.4f s  python %.4f s  ratio median %.3f  p90 %.3f  max %.3f"
          % (label, len(rounds), quantile([s for s, _ in rounds], 0.5),
             quantile([p for _, p in rounds], 0.5), quantile(ratios, 0.5), quantile(ratios, 0.9),
             max(ratios)))


def main():
    args = sys.argv[1:]
    sorane = os.path.abspath(args[0] if args else os.path.join(HERE, "..", "build", "sorane"))
    name = args[1] if len(args) > 1 else "fib25"
    count = int(args[2]) if len(args) > 2 else 200
    os.makedirs(OUT, exist_ok=True)
    programs = {
        "sorane": [sorane, "--console", os.path.join(HERE, name + ".srn")],
        "python": [baseline.python(), os.path.join(HERE, name + ".py")],
    }
    rounds = []
    for _ in range(count):
        order = list(programs)
        random.shuffle(order)
        times = {key: timed(programs[key]) for key in order}
        rounds.append((times["sorane"], times["python"]))
    fastest_sorane = min(s for s, _ in rounds)
    fastest_python = min(p for _, p in rounds)
    fast, slow, mixed = [], [], 0
    for s, p in rounds:
        s_slow = s > SLOW * fastest_sorane
        p_slow = p > SLOW * fastest_python
        if s_slow and p_slow:
            slow.append((s, p))
        elif not s_slow and not p_slow:
            fast.append((s, p))
        else:
            mixed += 1
    print("python: %s" % baseline.describe(programs["python"][0]))
    print("%s: %d rounds, %d with one run slow and the other not (not used)" % (name, count, mixed))
    report("both fast", fast)
    report("both slow", slow)


if __name__ == "__main__":
    main()
