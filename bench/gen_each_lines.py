#!/usr/bin/env python3
"""Writes lines_1m.txt (1,000,000 lines "item N,M", CR LF line ends) into the
current folder for the each_lines benchmark; the data is the same on every run."""
import os

NAME = "lines_1m.txt"


def main():
    data = "".join("item %d,%d\r\n" % (i, i % 97) for i in range(1, 1000001)).encode("ascii")
    if os.path.exists(NAME) and os.path.getsize(NAME) == len(data):
        return
    with open(NAME, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
