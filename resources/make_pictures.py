#!/usr/bin/env python3
"""Draws the window's pictures and the program's icons.

Run from anywhere: python3 resources/make_pictures.py
The PNG and ICO files it writes beside itself are committed; run it again
after changing the artwork. It needs Debian's ImageMagick (convert) and
optipng: the shapes are drawn by convert, each PNG is then recompressed by
optipng (lossless: the same pixels in fewer bytes), and the icon containers
are written here so that every image is a plain 32-bit BGRA bitmap, as
Windows XP expects.
"""
import os
import struct
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
CONVERT = "/usr/bin/convert" if os.path.exists("/usr/bin/convert") else "convert"
OPTIPNG = "/usr/bin/optipng" if os.path.exists("/usr/bin/optipng") else "optipng"
FONT_BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"

# Colours the program's painting code relies on (text is drawn over them).
PANEL = "rgb(249,249,249)"
BORDER = "rgb(171,171,171)"
SEPARATOR = "rgb(176,176,176)"
FOOTER = "rgb(235,235,235)"
GREEN = "rgb(83,142,58)"
INK = "rgb(51,51,51)"

# Reproducible PNGs: no time stamps, no comments.
PNG_OPTS = ["-define", "png:exclude-chunks=date,time,tIME,tEXt,zTXt,iTXt", "-strip"]


def convert(*args):
    subprocess.run([CONVERT, *args], check=True)


def write_png(name, png_format, *args):
    """Draws a picture with convert as PNG24 or PNG32, then lets optipng pick
    the smallest lossless encoding (it writes no time stamp, so the bytes are
    the same on every run)."""
    convert(*args, *PNG_OPTS, f"{png_format}:{out(name)}")
    subprocess.run([OPTIPNG, "-quiet", "-o7", "-strip", "all", out(name)], check=True)


def out(name):
    return os.path.join(HERE, name)


def badge_draw(size):
    """The product badge: a green rounded tile with a white phone whose screen
    shows a quill, drawn for a square of the given size."""
    s = size / 48.0
    r = 10 * s

    def p(x, y):
        return f"{x * s:.2f},{y * s:.2f}"

    return [
        # Tile with a soft top-to-bottom shade.
        "(", "-size", f"{size}x{size}", "gradient:rgb(112,176,80)-rgb(70,126,48)", ")",
        "(", "-size", f"{size}x{size}", "xc:none", "-fill", "white",
        "-draw", f"roundrectangle 0,0 {size - 1},{size - 1} {r:.2f},{r:.2f}", ")",
        "-compose", "CopyOpacity", "-composite", "-compose", "Over",
        # Phone body.
        "-fill", "white", "-stroke", "none",
        "-draw", f"roundrectangle {p(15, 7)} {p(33, 41)} {3 * s:.2f},{3 * s:.2f}",
        "-fill", "rgb(70,126,48)",
        "-draw", f"rectangle {p(17.5, 11)} {p(30.5, 34)}",
        "-fill", "white",
        "-draw", f"circle {p(24, 37.5)} {p(24, 39)}",
        # Quill on the phone's screen.
        "-fill", "white",
        "-draw", f"path 'M {p(28.5, 12.5)} C {p(22, 15)} {p(19.5, 22)} {p(20, 30.5)} "
                 f"L {p(21.5, 28)} C {p(26, 26)} {p(29, 20)} {p(28.5, 12.5)} Z'",
        "-stroke", "rgb(70,126,48)", "-strokewidth", f"{max(0.6, 0.9 * s):.2f}", "-fill", "none",
        "-draw", f"line {p(27.5, 14.5)} {p(20.8, 29.5)}",
    ]


def make_background():
    w, h = 482, 273
    args = [
        "-size", f"{w}x{h}", f"xc:{PANEL}",
        # Footer band under the separator, then the separator and the border.
        "-fill", FOOTER, "-draw", f"rectangle 1,222 {w - 2},{h - 2}",
        "-fill", SEPARATOR, "-draw", f"rectangle 1,221 {w - 2},221",
        "-fill", "none", "-stroke", BORDER, "-strokewidth", "1",
        "-draw", f"rectangle 0,0 {w - 1},{h - 1}", "-stroke", "none",
    ]
    # Logo at the top left: the badge at 22 px and the brand name.
    badge = out("_badge22.png")
    convert(*badge_draw(22), "PNG32:" + badge)
    args += [badge, "-geometry", "+12+9", "-composite",
             "-font", FONT_BOLD, "-pointsize", "13", "-fill", INK,
             "-annotate", "+40+25", "Travik"]
    # Emblem centred near the top: a monitor and a phone joined by a cable.
    cx = w // 2
    args += [
        # Soft halo behind the devices.
        "-fill", "rgb(238,245,234)", "-draw", f"ellipse {cx},58 62,40 0,360",
        # Monitor: bezel, screen, stand.
        "-fill", "rgb(84,92,102)", "-draw", f"roundrectangle {cx - 44},26 {cx + 16},70 4,4",
        "(", "-size", "54x38", "gradient:rgb(124,188,222)-rgb(62,132,180)", ")",
        "-geometry", f"+{cx - 41}+29", "-composite",
        "-fill", "rgba(255,255,255,0.22)", "-draw",
        f"polygon {cx - 41},29 {cx - 6},29 {cx - 41},55",
        "-fill", "rgb(84,92,102)",
        "-draw", f"rectangle {cx - 18},70 {cx - 10},78",
        "-draw", f"roundrectangle {cx - 30},78 {cx + 2},82 2,2",
        # Cable from the monitor to the phone.
        "-fill", "none", "-stroke", "rgb(150,160,170)", "-strokewidth", "2",
        "-draw", f"path 'M {cx + 16},62 C {cx + 24},62 {cx + 22},80 {cx + 30},80'",
        "-stroke", "none",
        # Phone in front, to the right.
        "-fill", "rgb(52,58,66)", "-draw", f"roundrectangle {cx + 22},36 {cx + 46},86 4,4",
        "(", "-size", "18x36", f"gradient:rgb(112,176,80)-{GREEN}", ")",
        "-geometry", f"+{cx + 25}+41", "-composite",
        "-fill", "rgb(200,206,212)", "-draw", f"circle {cx + 34},82 {cx + 35},82",
        # A check mark on the phone: devices joined.
        "-fill", "none", "-stroke", "white", "-strokewidth", "2.4",
        "-draw", f"polyline {cx + 29},59 {cx + 33},64 {cx + 40},53",
        "-stroke", "none",
    ]
    write_png("background.png", "PNG24", *args)
    os.remove(badge)


def make_button(name, w, h, top, bottom, edge, highlight):
    args = [
        "(", "-size", f"{w}x{h}", f"gradient:{top}-{bottom}", ")",
        # Rounded outline and a one-pixel light line inside the top edge.
        "-fill", "none", "-stroke", edge, "-strokewidth", "1",
        "-draw", f"roundrectangle 0,0 {w - 1},{h - 1} 3,3",
        "-stroke", highlight, "-draw", f"line 3,1 {w - 4},1", "-stroke", "none",
        "(", "-size", f"{w}x{h}", "xc:none", "-fill", "white",
        "-draw", f"roundrectangle 0,0 {w - 1},{h - 1} 3,3", ")",
        "-compose", "DstIn", "-composite",
    ]
    write_png(name, "PNG32", *args)


def make_buttons():
    make_button("button_wide.png", 119, 35, "rgb(104,166,74)", "rgb(80,138,56)",
                "rgb(64,116,44)", "rgb(150,200,126)")
    make_button("button_wide_hover.png", 119, 35, "rgb(122,186,90)", "rgb(96,158,68)",
                "rgb(72,128,50)", "rgb(172,218,150)")
    make_button("button_small.png", 57, 34, "rgb(252,252,252)", "rgb(230,230,230)",
                "rgb(184,184,184)", "rgb(255,255,255)")
    make_button("button_small_hover.png", 57, 34, "rgb(255,255,255)", "rgb(238,242,246)",
                "rgb(140,160,180)", "rgb(255,255,255)")
    write_png("button_details.png", "PNG24", "-size", "100x26", f"xc:{PANEL}")


def rgba_pixels(convert_args, size):
    data = subprocess.run([CONVERT, *convert_args, "-depth", "8", "RGBA:-"],
                          check=True, stdout=subprocess.PIPE).stdout
    assert len(data) == size * size * 4, (len(data), size)
    return data


def write_ico(name, images):
    """images: list of (size, RGBA bytes). Each entry is a 32-bit BGRA DIB
    with its AND mask, the form every Windows version reads."""
    header = struct.pack("<HHH", 0, 1, len(images))
    entries = b""
    blobs = b""
    offset = 6 + 16 * len(images)
    for size, rgba in images:
        rows = []
        for y in range(size - 1, -1, -1):  # bottom-up
            row = bytearray()
            for x in range(size):
                i = (y * size + x) * 4
                r, g, b, a = rgba[i:i + 4]
                row += bytes((b, g, r, a))
            rows.append(bytes(row))
        mask_stride = ((size + 31) // 32) * 4
        mask = b""
        for y in range(size - 1, -1, -1):
            bits = bytearray(mask_stride)
            for x in range(size):
                if rgba[(y * size + x) * 4 + 3] == 0:
                    bits[x // 8] |= 0x80 >> (x % 8)
            mask += bytes(bits)
        dib = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                          size * size * 4 + len(mask), 0, 0, 0, 0) + b"".join(rows) + mask
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(dib), offset)
        blobs += dib
        offset += len(dib)
    with open(out(name), "wb") as f:
        f.write(header + entries + blobs)


def make_app_icons():
    images = [(n, rgba_pixels(badge_draw(n), n)) for n in (48, 32, 24, 16)]
    write_ico("app.ico", images)


def caption_icon(glyph, pressed):
    # Pressed faces keep the glyph and move it one pixel down and right, the
    # way a pushed button looks.
    d = 1 if pressed else 0
    args = ["-size", "14x14", f"xc:{PANEL}"]
    if glyph == "minimize":
        args += ["-fill", "rgb(87,87,87)", "-draw", f"rectangle {3 + d},{9 + d} {10 + d},{10 + d}"]
    else:
        args += ["-fill", "none", "-stroke", "rgb(110,110,110)", "-strokewidth", "1.6",
                 "-draw", f"line {3 + d},{3 + d} {10 + d},{10 + d}",
                 "-draw", f"line {10 + d},{3 + d} {3 + d},{10 + d}"]
    return [(14, rgba_pixels(args, 14))]


def make_caption_icons():
    write_ico("minimize.ico", caption_icon("minimize", False))
    write_ico("minimize_pressed.ico", caption_icon("minimize", True))
    write_ico("close.ico", caption_icon("close", False))
    write_ico("close_pressed.ico", caption_icon("close", True))


def main():
    make_background()
    make_buttons()
    make_app_icons()
    make_caption_icons()
    return 0


if __name__ == "__main__":
    sys.exit(main())
