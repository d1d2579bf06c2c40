#!/usr/bin/env python3
"""The operations of images.cpp in Python with Pillow on a 4000 x 3000 RGB
picture: one line per operation, name and the best of three times in seconds
(the process's CPU time, as images.cpp measures).
Each operation makes a new picture from the source, as the filters do."""
import sys
import time

from PIL import Image, ImageFilter, ImageOps

W, H = 4000, 3000


def test_picture():
    # Gradients in blue and green, noise in red (as images.cpp).
    import random
    random.seed(1)
    blue = Image.linear_gradient("L").rotate(90).resize((W, H))
    green = Image.linear_gradient("L").resize((W, H))
    red = Image.frombytes("L", (W, H), random.randbytes(W * H))
    return Image.merge("RGB", (red, green, blue))


def lut(f):
    return [max(0, min(255, int(f(v)))) for v in range(256)] * 3


def sepia(im):
    grey = im.convert("L")
    tint = (0xCC, 0x66, 0x33)
    tables = []
    for k in tint:
        t = [(i * k) >> 7 for i in range(128)]
        t += [((i * 255) >> 7) + (127 - i) * k // 128 for i in range(128)]
        tables.append(t)
    return Image.merge("RGB", [grey.point(t) for t in tables])


OPS = [
    ("flip_vertical", lambda im: im.transpose(Image.Transpose.FLIP_TOP_BOTTOM)),
    ("flip_horizontal", lambda im: im.transpose(Image.Transpose.FLIP_LEFT_RIGHT)),
    ("rotate_right", lambda im: im.transpose(Image.Transpose.ROTATE_270)),
    ("negative", ImageOps.invert),
    ("grayscale", lambda im: im.convert("L").convert("RGB")),
    ("solarize", lambda im: im.point(lut(lambda v: min(v, 255 - v)))),
    ("brightness", lambda im: im.point(lut(lambda v: v + 40))),
    ("gamma", lambda im: im.point(lut(lambda v: round(255 * (v / 255) ** (1.5 / 2.2))))),
    ("rotate", lambda im: im.rotate(30)),
    ("edges", lambda im: im.filter(ImageFilter.Kernel((3, 3), [1, 1, 1, 1, -8, 1, 1, 1, 1], 1))),
    ("blur", lambda im: im.filter(ImageFilter.BoxBlur(2))),
    ("sharpen", lambda im: im.filter(ImageFilter.SHARPEN)),
    ("sepia", sepia),
    ("enlarge", lambda im: im.resize((6000, 4500), Image.Resampling.BILINEAR)),
    ("shrink", lambda im: im.resize((1000, 750), Image.Resampling.BOX)),
]


def main():
    only = sys.argv[1] if len(sys.argv) > 1 else ""
    source = test_picture()
    for name, op in OPS:
        if only and only != name:
            continue
        best = 1e9
        for _ in range(3):
            start = time.process_time()
            op(source)
            best = min(best, time.process_time() - start)
        print("%s %.4f" % (name, best), flush=True)


if __name__ == "__main__":
    main()
