#!/usr/bin/env python3
"""Times 圧縮 and 解凍 against bsdtar on the same tree.

A tree of about SIZE megabytes (default 200) is generated once in
bench/out/archive/tree: text files of a few kilobytes to a few megabytes made of
words (they compress about 3:1), in nested folders with Japanese names, plus a
few larger files of random bytes. For each format, sorane and bsdtar each
compress the tree and extract their own archive into an empty folder, by turns;
the best of three wall-clock times and of three CPU times (user + system; RUNS=N
in the environment for another count) are printed with the ratios sorane /
bsdtar. The CPU times hold when other work shares the machine.

usage: bench/archive_vs_bsdtar.py [path/to/sorane] [SIZE_MB] [format ...]
"""
import os
import random
import resource
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
WORK = os.path.join(HERE, "out", "archive")
WORDS = ("sora ame kaze yuki hana tsuki umi yama kawa mori hikari kage oto koe "
         "michi machi hito toki kokoro yume 空 雨 風 雪 花 月 海 山 川 森 光").split()


def make_tree(root, size_mb):
    stamp = os.path.join(root, ".size")
    if os.path.exists(stamp) and open(stamp).read() == str(size_mb):
        return
    shutil.rmtree(root, ignore_errors=True)
    rng = random.Random(1)
    text = " ".join(rng.choice(WORDS) for _ in range(1200000)).encode("utf-8")
    total, target, n = 0, size_mb << 20, 0
    while total < target:
        folder = os.path.join(root, "資料%d" % (n % 10), "sub%d" % (n % 7))
        os.makedirs(folder, exist_ok=True)
        if n % 50 == 49:
            size = min(target - total, 4 << 20)
            data = os.urandom(size)
            name = "blob%d.bin" % n
        else:
            size = min(target - total, rng.choice([2, 8, 32, 128, 512, 2048]) << 10)
            start = rng.randrange(0, len(text) - size)
            data = text[start:start + size]
            name = "文書%d.txt" % n
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
        total += size
        n += 1
    os.makedirs(os.path.join(root, "空のフォルダ"), exist_ok=True)
    with open(stamp, "w") as f:
        f.write(str(size_mb))


RUNS = int(os.environ.get("RUNS", "3"))


def timed(setup, cmd):
    """Wall-clock and CPU (user + system) seconds of one run."""
    setup()
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    proc = subprocess.run(cmd, cwd=WORK, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    if proc.returncode != 0 or proc.stderr:
        sys.exit("failed: %s\n%s" % (" ".join(cmd), proc.stderr.decode("utf-8", "replace")))
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return wall, cpu


def compare(ours, theirs):
    """The best wall and CPU times of each, the two commands run by turns."""
    best = {"ours": [1e9, 1e9], "theirs": [1e9, 1e9]}
    for _ in range(RUNS):
        for key, (setup, cmd) in (("ours", ours), ("theirs", theirs)):
            wall, cpu = timed(setup, cmd)
            best[key] = [min(best[key][0], wall), min(best[key][1], cpu)]
    return best["ours"], best["theirs"]


def fresh(path):
    def setup():
        if os.path.isdir(path):
            shutil.rmtree(path)
        elif os.path.exists(path):
            os.remove(path)
    return setup


def fresh_folder(path):
    def setup():
        shutil.rmtree(path, ignore_errors=True)
        os.makedirs(path)
    return setup


def main():
    sorane = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else
                             os.path.join(HERE, "..", "build", "sorane"))
    size_mb = int(sys.argv[2]) if len(sys.argv) > 2 else 200
    formats = sys.argv[3:] or ["tar", "tar.gz", "zip", "tar.xz", "7z"]
    os.makedirs(WORK, exist_ok=True)
    make_tree(os.path.join(WORK, "tree"), size_mb)
    print("%-8s %-8s %9s %9s %6s %9s %9s %6s %8s" % (
        "format", "step", "sorane s", "bsdtar s", "ratio", "sorane cpu", "bsdtar cpu", "ratio",
        "MB"))
    for fmt in formats:
        ours, theirs = "ours." + fmt, "theirs." + fmt
        bsdtar_create = ["bsdtar", "-cf", theirs, "-a", "tree"]
        if fmt == "7z":
            bsdtar_create = ["bsdtar", "--format", "7zip", "-cf", theirs, "tree"]
        rows = [
            ("compress",) + compare(
                (fresh(os.path.join(WORK, ours)),
                 [sorane, "--console", "--eval", "「tree」を、「%s」へ、圧縮" % ours]),
                (fresh(os.path.join(WORK, theirs)), bsdtar_create)),
            ("extract",) + compare(
                (fresh_folder(os.path.join(WORK, "x1")),
                 [sorane, "--console", "--eval", "「%s」を、「x1」へ、解凍" % ours]),
                (fresh_folder(os.path.join(WORK, "x2")), ["bsdtar", "-xf", theirs, "-C", "x2"])),
        ]
        size = os.path.getsize(os.path.join(WORK, ours)) / 1048576
        for step, a, b in rows:
            print("%-8s %-8s %9.3f %9.3f %6.2f %9.3f %9.3f %6.2f %8.1f" % (
                fmt, step, a[0], b[0], a[0] / b[0], a[1], b[1], a[1] / b[1], size))
        sys.stdout.flush()
    for name in os.listdir(WORK):
        if name != "tree":
            fresh(os.path.join(WORK, name))()


if __name__ == "__main__":
    main()
