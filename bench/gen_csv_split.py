#!/usr/bin/env python3
"""Writes csv_sales.csv (a header and 100,000 sales rows, CR LF line ends, some
quoted cells with commas and quotes) into the current folder. Shared by the
csv_* benchmarks; the data is the same on every run."""
import os
import random

ROWS = 100000
NAME = "csv_sales.csv"


def main():
    rng = random.Random(20240401)
    products = ["Pencil", "Notebook", '"Widget, large"', '"Pen ""Pro"""', "Eraser", "Folder"]
    regions = ["East-%d" % i for i in range(1, 6)] + ["West-%d" % i for i in range(1, 6)] + ["North"]
    lines = ["id,date,region,product,qty,amount"]
    for i in range(1, ROWS + 1):
        qty = rng.randint(1, 200)
        lines.append("%d,2024/%02d/%02d,%s,%s,%d,%d" % (
            i, rng.randint(1, 12), rng.randint(1, 28), rng.choice(regions),
            rng.choice(products), qty, qty * rng.randint(50, 900)))
    data = ("\r\n".join(lines) + "\r\n").encode("ascii")
    if os.path.exists(NAME) and os.path.getsize(NAME) == len(data):
        return
    with open(NAME, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
