#!/usr/bin/env python3
"""Writes file_rw.dat (50 MB of mixed text and bytes) into the current folder."""
import os

SIZE = 50 * 1024 * 1024
if not (os.path.exists("file_rw.dat") and os.path.getsize("file_rw.dat") == SIZE):
    line = ("2024/01/05,売上,12345," + "x" * 40 + "\r\n").encode("cp932")
    block = (line * (65536 // len(line) + 1))[:65536]
    block = block[:-256] + bytes(range(256))
    with open("file_rw.dat", "wb") as f:
        for _ in range(SIZE // len(block)):
            f.write(block)
