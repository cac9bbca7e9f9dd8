#!/usr/bin/env python3
"""Draws the bitmaps and the icon that resources/plinthora.rc links in.

    python3 tools/draw_resources.py                  # rewrite the files in resources/
    python3 tools/draw_resources.py --check          # exit 1 if they differ from the drawings
    python3 tools/draw_resources.py --preview DIR    # also write enlarged PNGs to look at

The small images are character grids: one character a pixel, '.' the background. The
item-state images sit on magenta, which the image list treats as transparent. The toolbar
images sit on the classic button face; the toolbar maps that colour to the current button
colour, and black, dark grey and white to the text, shadow and highlight colours, by rewriting
the colour table. So both bitmaps are written with a colour table (8 bits a pixel), and the
drawings avoid those mapped colours so that only the background changes with the theme.
The icon is drawn from shapes with anti-aliased edges and real alpha, since it is shown on
any background.

Python standard library only, so that anyone can redraw the images without extra packages.
"""

import argparse
import math
import pathlib
import struct
import sys
import zlib

RESOURCES = pathlib.Path(__file__).resolve().parent.parent / "resources"

MAGENTA = (255, 0, 255)
BUTTON_FACE = (192, 192, 192)
# The colours a toolbar remaps in the colour table of its bitmap.
TOOLBAR_MAPPED = {(0, 0, 0), (128, 128, 128), BUTTON_FACE, (255, 255, 255)}

# Near-black, grey and near-white rather than the exact ones: see TOOLBAR_MAPPED.
PALETTE = {
    "K": (16, 16, 16),
    "k": (64, 64, 64),
    "g": (124, 124, 124),
    "l": (212, 212, 212),
    "w": (232, 232, 232),
    "W": (252, 252, 252),
    "b": (0, 32, 128),
    "B": (32, 96, 208),
    "L": (120, 170, 240),
    "c": (200, 228, 255),
    "r": (144, 0, 0),
    "R": (224, 32, 32),
    "p": (255, 136, 136),
    "h": (0, 100, 0),
    "G": (40, 176, 40),
    "y": (136, 96, 16),
    "Y": (240, 196, 64),
    "n": (96, 64, 32),
}

# Item states, 16x16 each: how the item list shows where a component file stands.

ITEM_SEARCHED = """
.kkkkkkkk.......
.kWWWWWWkk......
.kWWWWWWkWk.....
.kWggggWkkkk....
.kWWWWWWWWWk....
.kWgggggggWk....
.kWWWWWWkkkk....
.kWgggWkWcck....
.kWgggkWcccck...
.kWWWWkcccccK...
.kWgggkccccck...
.kWWWWWkccckKn..
.kWWWWWWkkkKnn..
.kWggggWWWWkKnn.
.kkkkkkkkkkk.Knn
..............Kn
"""

ITEM_FOUND = """
....kkk.........
.kk.kwk.kk......
.kwkwwlklk......
..kwkkklk.......
kkwk...kgkk.....
kwwk...kggk.....
kklk...kgkk.....
..klkkkgk.......
.klkgggkgk.yy...
.kk.kgk.ky.YY.y.
....kkk..yYYYYy.
........yYYnnYYy
........yYYnnYyy
.........yYYyyy.
.........y.yy.y.
...........yy...
"""

ITEM_MISSING = """
................
.rrr.......rrr..
.rRRr.....rRRr..
.rRpRr...rRRRr..
..rRpRr.rRRRr...
...rRRRrRRRr....
....rRRRRRr.....
.....rRRRr......
....rRRRRRr.....
...rRRRrRRRr....
..rRRRr.rRRRr...
.rRRRr...rRRRr..
.rRRr.....rRRr..
.rrr.......rrr..
................
................
"""

# Toolbar buttons, 16x15 each, in command order. Add, edit and delete share a list page with
# a badge drawn over its corner; the two "/u for all items" buttons share a stack of pages.

TOOL_RUN = """
................
................
...b............
...bbb..........
...bLBbb........
...bLBBBbb......
...bLBBBBBbb....
...bLBBBBBBBbb..
...bLBBBBBbb....
...bLBBBbb......
...bLBbb........
...bbb..........
...b............
................
................
"""

TOOL_SAVE_LOG = """
.KKKKKKKKKKKKK..
.KBBllllllllBBK.
.KBBlllllkklBBK.
.KBBlllllkklBBK.
.KBBlllllkklBBK.
.KBBllllllllBBK.
.KBBBBBBBBBBBBK.
.KBWWWWWWWWWWBK.
.KBWggggggggWBK.
.KBWWWWWWWWWWBK.
.KBWggggggggWBK.
.KBWWWWWWWWWWBK.
.KBWWWWWWWWWWBK.
.KKKKKKKKKKKKKK.
................
"""

LIST_PAGE = """
.kkkkkkkk.......
.kWWWWWWkk......
.kWWWWWWkWk.....
.kWbWgggkkkk....
.kWWWWWWWWWk....
.kWbWgggggWk....
.kWWWWWWWWWk....
.kWbWgggggWk....
.kWWWWWWWWWk....
.kWbWgggggWk....
.kWWWWWWWWWk....
.kWbWgggggWk....
.kWWWWWWWWWk....
.kkkkkkkkkkk....
................
"""

BADGE_PLUS = """
..hhhh..
..hGGh..
hhhGGhhh
hGGGGGGh
hGGGGGGh
hhhGGhhh
..hGGh..
..hhhh..
"""

BADGE_PENCIL = """
.......kk.
......kLBk
.....kLBk.
....kLBk..
...kLBk...
..kYYk....
.kYYk.....
.kKk......
.kk.......
"""

BADGE_CROSS = """
rr....rr
rRr..rRr
.rRrrRr.
..rRRr..
..rRRr..
.rRrrRr.
rRr..rRr
rr....rr
"""

PAGE_STACK = """
....kkkkkkkkkkk.
....kWWWWWWWWWk.
....kWWWWWWWWWk.
.kkkkkkkkkkkWWk.
.kWWWWWWWWWkWWk.
.kWWWWWWWWWkWWk.
.kWWWWWWWWWkWWk.
.kWWWWWWWWWkWWk.
.kWWWWWWWWWkWWk.
.kWWWWWWWWWkWWk.
.kWWWWWWWWWkkkk.
.kWWWWWWWWWk....
.kWWWWWWWWWk....
.kWWWWWWWWWk....
.kkkkkkkkkkk....
"""

SLASH_U = """
..b.....
..b.b..b
.b..b..b
.b..b..b
b...b..b
b....bbb
"""


def parse_grid(text):
    return text.strip("\n").split("\n")


def overlay(base, top, x, y):
    """The grid `base` with `top` drawn over it at (x, y); '.' in `top` lets `base` show."""
    rows = [list(row) for row in base]
    for dy, line in enumerate(top):
        for dx, ch in enumerate(line):
            if ch != ".":
                rows[y + dy][x + dx] = ch
    return ["".join(row) for row in rows]


def item_state_grids():
    return [parse_grid(g) for g in (ITEM_SEARCHED, ITEM_FOUND, ITEM_MISSING)]


def toolbar_grids():
    page = parse_grid(LIST_PAGE)
    stack = parse_grid(PAGE_STACK)
    return [
        parse_grid(TOOL_RUN),
        parse_grid(TOOL_SAVE_LOG),
        overlay(page, parse_grid(BADGE_PLUS), 8, 7),
        overlay(page, parse_grid(BADGE_PENCIL), 6, 5),
        overlay(page, parse_grid(BADGE_CROSS), 8, 7),
        overlay(stack, parse_grid(SLASH_U), 2, 6),
        stack,
    ]


def strip(grids, width, height, background, reserved):
    """Lays the grids side by side as one image: rows of (r, g, b), top row first. No drawn
    pixel may have a colour in `reserved`: whatever shows the image would make it transparent
    or recolour it."""
    for index, grid in enumerate(grids):
        if len(grid) != height or any(len(line) != width for line in grid):
            raise ValueError(f"image {index} is not {width}x{height}")
        clash = {ch for line in grid for ch in line if ch != "." and PALETTE[ch] in reserved}
        if clash:
            raise ValueError(f"image {index} draws with background colours: {sorted(clash)}")
    rows = []
    for y in range(height):
        row = []
        for grid in grids:
            for ch in grid[y]:
                row.append(background if ch == "." else PALETTE[ch])
        rows.append(row)
    return rows


def item_states():
    return strip(item_state_grids(), 16, 16, MAGENTA, {MAGENTA})


def toolbar():
    return strip(toolbar_grids(), 16, 15, BUTTON_FACE, TOOLBAR_MAPPED)


def bmp_bytes(rows):
    """A bottom-up BMP of rows of (r, g, b), 8 bits a pixel with a colour table of the
    colours used, in order of first use."""
    height, width = len(rows), len(rows[0])
    colours = list(dict.fromkeys(px for row in rows for px in row))
    if len(colours) > 256:
        raise ValueError("more than 256 colours")
    index = {c: i for i, c in enumerate(colours)}
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in colours)
    stride = (width + 3) & ~3
    pixels = bytearray()
    for row in reversed(rows):
        pixels += bytes(index[px] for px in row) + bytes(stride - width)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, len(pixels), 2835, 2835,
                       len(colours), 0)
    offset = 14 + len(info) + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return header + info + table + bytes(pixels)


def ico_bytes(images):
    """An icon file of square images, each rows of (r, g, b, a) straight alpha: 32-bit colour
    with its alpha channel, plus the AND mask that readers without alpha support use."""
    entries, blobs = [], []
    offset = 6 + 16 * len(images)
    for rows in images:
        size = len(rows)
        colour = bytearray()
        for row in reversed(rows):
            for r, g, b, a in row:
                colour += bytes((b, g, r, a))
        mask_stride = ((size + 31) // 32) * 4
        mask = bytearray()
        for row in reversed(rows):
            line = bytearray(mask_stride)
            for x, (_, _, _, a) in enumerate(row):
                if a == 0:
                    line[x // 8] |= 0x80 >> (x % 8)
            mask += line
        info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                           len(colour) + len(mask), 0, 0, 0, 0)
        blob = info + bytes(colour) + bytes(mask)
        entries.append(struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32,
                                   len(blob), offset))
        blobs.append(blob)
        offset += len(blob)
    return struct.pack("<HHH", 0, 1, len(images)) + b"".join(entries) + b"".join(blobs)


# The icon: a blue plug-in block (a puzzle piece) with a green badge carrying a white check
# mark. Shapes are signed distances in a 0..1 square (negative inside), so each size gets
# smooth edges and an outline of whole pixels.

def _box(px, py, x0, y0, x1, y1, radius):
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - radius, (y1 - y0) / 2 - radius
    qx, qy = abs(px - cx) - hx, abs(py - cy) - hy
    outside = math.hypot(max(qx, 0), max(qy, 0))
    return outside + min(max(qx, qy), 0) - radius


def _circle(px, py, cx, cy, r):
    return math.hypot(px - cx, py - cy) - r


def _segment(px, py, ax, ay, bx, by, r):
    vx, vy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * vx + (py - ay) * vy) / (vx * vx + vy * vy)))
    return math.hypot(px - ax - t * vx, py - ay - t * vy) - r


def _piece(px, py):
    body = _box(px, py, 0.04, 0.22, 0.70, 0.88, 0.06)
    knob_top = _circle(px, py, 0.37, 0.145, 0.115)
    knob_right = _circle(px, py, 0.775, 0.47, 0.115)
    notch_left = _circle(px, py, 0.0, 0.55, 0.11)
    return max(min(body, knob_top, knob_right), -notch_left)


def _check(px, py, width):
    return min(_segment(px, py, 0.615, 0.755, 0.70, 0.84, width),
               _segment(px, py, 0.70, 0.84, 0.865, 0.655, width))


def _mix(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def _icon_sample(px, py, size):
    """Straight (r, g, b, a) at one point of the icon, later layers over earlier ones."""
    line = 1.0 / size if size < 32 else 1.5 / size
    colour, alpha = (0.0, 0.0, 0.0), 0.0

    def paint(c, a=1.0):
        nonlocal colour, alpha
        out = a + alpha * (1 - a)
        if out > 0:
            colour = tuple((ci * a + co * alpha * (1 - a)) / out for ci, co in zip(c, colour))
        alpha = out

    d = _piece(px, py)
    if d < 0:
        shade = max(0.0, min(1.0, (px + py - 0.3) / 1.3))
        fill = _mix((110, 170, 250), (30, 80, 200), shade)
        paint((20, 50, 140) if d > -line else fill)
    badge_r = 0.25
    d = _circle(px, py, 0.74, 0.75, badge_r + line)
    if d < 0:
        paint((255, 255, 255))  # a light rim keeps the badge apart from the piece
    d = _circle(px, py, 0.74, 0.75, badge_r)
    if d < 0:
        shade = max(0.0, min(1.0, (py - 0.5) / 0.45))
        fill = _mix((90, 210, 90), (20, 140, 30), shade)
        paint((0, 90, 0) if d > -line else fill)
    check_w = 0.05 if size >= 32 else 0.07
    if _check(px, py, check_w) < 0:
        paint((255, 255, 255))
    return colour, alpha


def draw_icon(size, samples=6):
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(samples):
                for sx in range(samples):
                    px = (x + (sx + 0.5) / samples) / size
                    py = (y + (sy + 0.5) / samples) / size
                    (r, g, b), a = _icon_sample(px, py, size)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            n = samples * samples
            a = acc[3] / n
            if a < 1 / 255:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(round(acc[i] / acc[3]) for i in range(3)) + (round(a * 255),))
        rows.append(row)
    return rows


ICON_SIZES = (16, 32, 48)

# At 16 pixels smooth edges only blur the shapes, so the smallest icon is drawn by hand.
ICON_16 = """
....bbbb........
...bLLLLb.......
...bLBBBb.......
.bbbbLBbbbbb....
.bLLLLBBBBBbbb..
.bLBBBBBBBBLLBb.
..bBBBBBBBBBBBb.
..bBBBBBBhhhhhb.
..bBBBBBhGGGGGh.
.bBBBBBhGGGGGGWh
.bBBBBBhGGGGGWWh
.bBBBBBhGWGGWWGh
.bBBBBBhGWWWWGGh
.bDDDDDhGGWWGGGh
.bbbbbbbhGGGGGh.
.........hhhhh..
"""

ICON_PALETTE = {
    "b": (20, 50, 140),
    "L": (120, 178, 250),
    "B": (60, 120, 225),
    "D": (40, 92, 205),
    "h": (0, 90, 0),
    "G": (40, 165, 45),
    "W": (255, 255, 255),
}


def icon_16():
    return [[(0, 0, 0, 0) if ch == "." else ICON_PALETTE[ch] + (255,) for ch in line]
            for line in parse_grid(ICON_16)]


def icon_image(size):
    return icon_16() if size == 16 else draw_icon(size)


def build():
    """The generated files, by name, as bytes."""
    return {
        "item_states.bmp": bmp_bytes(item_states()),
        "toolbar.bmp": bmp_bytes(toolbar()),
        "plinthora.ico": ico_bytes([icon_image(size) for size in ICON_SIZES]),
    }


def png_bytes(rows, scale, background=None):
    """A PNG of rows of (r, g, b[, a]) enlarged `scale` times, for looking at the drawings;
    alpha is flattened over `background` when given."""
    raw = bytearray()
    for row in rows:
        line = bytearray()
        for px in row:
            r, g, b = px[:3]
            if background is not None and len(px) == 4:
                a = px[3] / 255
                r, g, b = (round(c * a + bg * (1 - a)) for c, bg in zip((r, g, b), background))
            line += bytes((r, g, b)) * scale
        for _ in range(scale):
            raw += b"\0" + line
    height, width = len(rows) * scale, len(rows[0]) * scale

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def write_previews(folder):
    folder.mkdir(parents=True, exist_ok=True)
    (folder / "item_states.png").write_bytes(png_bytes(item_states(), 12))
    (folder / "toolbar.png").write_bytes(png_bytes(toolbar(), 12))
    for size in ICON_SIZES:
        for name, bg in (("light", (255, 255, 255)), ("dark", (40, 40, 40))):
            (folder / f"icon{size}_{name}.png").write_bytes(
                png_bytes(icon_image(size), 96 // size * 2, bg))


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--check", action="store_true",
                        help="compare with the files in resources/ instead of writing them")
    parser.add_argument("--preview", type=pathlib.Path, metavar="DIR",
                        help="also write enlarged PNG previews to DIR")
    parser.add_argument("--out", type=pathlib.Path, default=RESOURCES, metavar="DIR",
                        help="where the files go (default: resources/)")
    args = parser.parse_args(argv)

    files = build()
    if args.check:
        stale = [name for name, data in files.items()
                 if not (args.out / name).is_file() or (args.out / name).read_bytes() != data]
        for name in stale:
            print(f"{args.out / name} differs from its drawing; run {sys.argv[0]}", file=sys.stderr)
        return 1 if stale else 0
    for name, data in files.items():
        (args.out / name).write_bytes(data)
    if args.preview:
        write_previews(args.preview)
    return 0


if __name__ == "__main__":
    sys.exit(main())
