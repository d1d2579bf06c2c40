#!/usr/bin/env python3
"""Runs the same generated scripts with two builds and reports any difference.

    scripts/compare-builds.py OLD/sorane NEW/sorane [count] [first-seed]

The scripts store and read decimals, whole numbers and texts, call the
elementary functions, a label returning a number, the rounding commands,
whole quotients (INT(A/B)), comparisons, whole numbers held as texts and
文字数, fill a dictionary and write every value as text. A change to how
numbers are kept, computed or written must leave every output, error report
and exit status as it was; the differing seeds are printed so a case can be
made again (the generator is seeded).
"""
import os
import random
import subprocess
import sys
import tempfile

FUNCTIONS = ["SIN", "COS", "TAN", "ATAN", "EXP", "LN", "LOG10", "LOG2", "SQRT", "INT", "ABS"]
POSITIVE = {"LN", "LOG10", "LOG2", "SQRT"}


def number(r):
    k = r.random()
    if k < 0.3:
        return str(r.randint(-50, 200))
    if k < 0.6:
        return "%d.%d" % (r.randint(0, 999), r.randint(0, 9999))
    if k < 0.7:
        return "0.%s%d" % ("0" * r.randint(0, 8), r.randint(1, 99))
    if k < 0.8:
        return str(r.randint(1, 10 ** r.randint(1, 18)))
    return "%d.%d" % (r.randint(0, 10 ** r.randint(1, 12)), r.randint(0, 99999))


def operand(r, names):
    k = r.random()
    if names and k < 0.45:
        return r.choice(names)
    if k < 0.6:
        f = r.choice(FUNCTIONS)
        a = operand(r, names) if r.random() < 0.5 else number(r)
        if f in POSITIVE:
            a = "ABS(%s)+0.5" % a
        if f == "EXP":
            a = "%s/1000" % a
        return "%s(%s)" % (f, a)
    if k < 0.65:
        exponent = r.choice(["0.25", "0.5", "2", "3", "1.5", "-1", "0.1", "0.333"])
        return "POWER(ABS(%s)+0.1,%s)" % (operand(r, names), exponent)
    if k < 0.7:
        return "倍(%s)" % operand(r, names)
    if k < 0.75 and names:
        return "Hの(%d)" % r.randint(0, 5)
    if k < 0.78 and names:
        return "(%s%s%s)" % (r.choice(names), r.choice(["<", ">", "=", "<=", ">=", "<>"]),
                             r.choice(names + [str(r.randint(-5, 50))]))
    if k < 0.82 and names:
        divisor = r.choice(names + [str(r.randint(-9, 1200)), str(r.randint(1, 10**6))])
        return "%s(%s/%s)" % (r.choice(["INT", "TRUNC", "整数"]), r.choice(names), divisor)
    return number(r)


def calculation(r, names):
    e = operand(r, names)
    for _ in range(r.randint(0, 3)):
        op = r.choice("+-*/+*")
        right = operand(r, names)
        e += op + ("(ABS(%s)+1)" % right if op == "/" else right)
    return e


def script(seed):
    r = random.Random(seed)
    lines = ["「倍」を、「?の」で、関数定義", "記録は、「」"]
    names = []
    for _ in range(r.randint(5, 25)):
        k = r.random()
        if k < 0.45 or not names:
            name = r.choice("ABCDEFG")
            lines.append("%sは、%s" % (name, calculation(r, names)))
            if name not in names:
                names.append(name)
        elif k < 0.55:
            lines.append("Hの、(%d)は、%s" % (r.randint(0, 5), calculation(r, names)))
        elif k < 0.65:
            command = r.choice(["四捨五入", "切り捨て"])
            lines.append("%sを、%d位で、%s" % (r.choice(names), r.randint(-2, 6), command))
            lines.append("記録は、記録&それ&「;」")
        elif k < 0.72:
            lines.append("それは、%s" % calculation(r, names))
        elif k < 0.8:
            body = "%sは、%s" % (r.choice(names), calculation(r, names + ["I"]))
            lines.append("Iを、1から、%dまで、繰り返す(%s)" % (r.randint(1, 5), body))
        elif k < 0.85:
            lines.append("%sは、%s&「x」" % (r.choice("ABCDEFG"), r.choice(names)))
        elif k < 0.9:
            # a whole number held as a text, compared and computed with
            name = r.choice("ABCDEFG")
            lines.append("%sは、「%d」" % (name, r.randint(-20, 120)))
            if name not in names:
                names.append(name)
        lines.append("記録は、記録&%s&「/」&文字数(%s)&「/」&それ&「,」" % (r.choice(names), r.choice(names)))
    lines += ["記録は、記録&「」&H", "記録を、表示", "戻る", "*倍", "Xは、引数取得", "それは、X*2+0.5", "戻る"]
    return ("\r\n".join(lines) + "\r\n").encode("cp932")


def run(binary, path):
    p = subprocess.run([binary, "--console", path], capture_output=True, timeout=60)
    return p.stdout, p.stderr, p.returncode


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    old, new = sys.argv[1], sys.argv[2]
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 2000
    first = int(sys.argv[4]) if len(sys.argv) > 4 else 0
    differ = []
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "generated.srn")
        for seed in range(first, first + count):
            with open(path, "wb") as f:
                f.write(script(seed))
            if run(old, path) != run(new, path):
                differ.append(seed)
    print("%d scripts, %d differ" % (count, len(differ)))
    for seed in differ[:20]:
        print("seed", seed)
    sys.exit(1 if differ else 0)


if __name__ == "__main__":
    main()
