#!/usr/bin/env python3
"""Checks pixels of a captured screen that holds the window at (271, 227).

Usage: rendering_probe.py <capture.png> <state> [dpi]
Reads the window's pixels through ImageMagick and checks what must hold for
the state: panel, border, separator, footer, the texts (pixels that differ
from the background inside each text's rectangle), button faces and the
progress bar. Prints each check and exits 1 when any fails. Places are
given at 96 DPI; at another dpi the window is that much larger and every
place is scaled with it.
"""
import subprocess
import sys

DPI = 96
CONVERT = "/usr/bin/convert"


def scaled(length):
    # As the program rounds: MulDiv(length, dpi, 96).
    return (length * DPI + 48) // 96


def load(path):
    W, H = scaled(482), scaled(273)
    LEFT, TOP = (1024 - W) // 2, (768 - H) // 2 - 20
    raw = subprocess.run([CONVERT, path, "-crop", f"{W}x{H}+{LEFT}+{TOP}", "+repage",
                          "-depth", "8", "rgb:-"], check=True, stdout=subprocess.PIPE).stdout
    assert len(raw) == W * H * 3, len(raw)
    return raw


class Window:
    def __init__(self, raw):
        self.raw = raw

    def at(self, x, y):
        i = (scaled(y) * scaled(482) + scaled(x)) * 3
        return tuple(self.raw[i:i + 3])

    def count(self, left, top, right, bottom, test):
        width = scaled(482)

        def pixel(x, y):
            i = (y * width + x) * 3
            return tuple(self.raw[i:i + 3])
        return sum(1 for y in range(scaled(top), scaled(bottom))
                   for x in range(scaled(left), scaled(right)) if test(pixel(x, y)))


def dark(c):
    return max(c) < 160


def link_blue(c):
    return c[2] > c[0] + 60 and c[2] > 120


def near(c, target, tolerance=6):
    return all(abs(a - b) <= tolerance for a, b in zip(c, target))


def main():
    global DPI
    path, state = sys.argv[1], sys.argv[2]
    DPI = int(sys.argv[3]) if len(sys.argv) > 3 else 96
    # One-pixel lines are smoothed into their neighbours when scaled.
    thin = 0 if DPI == 96 else 45
    w = Window(load(path))
    failures = []

    def check(name, ok):
        print(("ok   " if ok else "FAIL ") + name)
        if not ok:
            failures.append(name)

    check("border top-left", near(w.at(0, 0), (171, 171, 171), thin))
    check("border right edge", near(w.at(481, 150), (171, 171, 171), thin))
    check("panel", near(w.at(100, 100), (249, 249, 249), 0))
    if state not in ("download", "failed"):  # the progress bar lies over it
        check("separator at y=221", near(w.at(60, 221), (176, 176, 176), thin))
    check("footer band", near(w.at(470, 262), (235, 235, 235), 0))
    check("close icon drawn", w.count(458, 10, 472, 24, dark) > 4)

    if state in ("main", "hint", "hover"):
        check("heading text", w.count(164, 113, 482, 142, dark) > 60)
    if state == "main":
        check("XP note on the main screen", w.count(27, 188, 400, 202, dark) > 20)
        check("install-driver face", w.at(273, 237)[1] > w.at(273, 237)[0] + 40)
        check("install-driver label", w.count(280, 237, 370, 262, lambda c: min(c) > 220) > 20)
    if state == "hover":
        normal = w.at(273, 255)
        check("install-driver hover face is the lighter green",
              normal[1] > 160 and normal[1] > normal[0] + 40)
    if state == "download":
        check("caption text", w.count(194, 148, 482, 164, dark) > 20)
        check("status text", w.count(20, 235, 260, 253, dark) > 20)
        check("progress line text", w.count(20, 250, 260, 264, dark) > 20)
        check("progress filled part", near(w.at(40, 222), (83, 142, 58), 12))
        check("progress empty part", near(w.at(400, 222), (226, 226, 226), 12))
        check("install-driver gone", near(w.at(273, 245), (235, 235, 235), 0))
    if state == "failed":
        check("error text", w.count(20, 231, 260, 248, dark) > 20)
        check("caption emptied", w.count(194, 148, 482, 164, dark) == 0)
        check("progress bar stays", near(w.at(40, 222), (83, 142, 58), 12))
        check("retry face", near(w.at(406, 250), (240, 240, 240), 14))
        check("retry label", w.count(410, 237, 455, 262, dark) > 10)
    if state == "hint":
        check("hint text", w.count(27, 188, 230, 202, dark) > 20)
        # The XP note, which shares the hint's place, runs much further right.
        check("no XP note on the hint screen", w.count(300, 188, 482, 202, dark) == 0)
        check("details label in link blue", w.count(234, 188, 300, 209, link_blue) > 10)
    if state == "details":
        check("detail line 1", w.count(27, 113, 482, 128, dark) > 20)
        check("address lines in link blue", w.count(27, 153, 482, 186, link_blue) > 40)
        check("open-page face", w.at(273, 237)[1] > w.at(273, 237)[0] + 40)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
