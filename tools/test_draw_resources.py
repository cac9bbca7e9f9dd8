#!/usr/bin/env python3
"""Checks the image files that draw_resources.py writes, by reading them back with readers
written here rather than the writer's own code."""

import pathlib
import struct
import sys
import unittest

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import draw_resources as dr  # noqa: E402


def read_bmp(data):
    """(width, height, bits, rows of (r, g, b) top row first) of an uncompressed BMP."""
    magic, file_size, _, _, offset = struct.unpack_from("<2sIHHI", data, 0)
    assert magic == b"BM" and file_size == len(data)
    (size, width, height, planes, bits, compression, _, _, _, used, _) = struct.unpack_from(
        "<IiiHHIIiiII", data, 14)
    assert size == 40 and planes == 1 and compression == 0 and height > 0
    table = [data[14 + 40 + 4 * i: 14 + 40 + 4 * i + 3][::-1] for i in range(used)]
    stride = (width * bits // 8 + 3) & ~3
    assert offset + stride * height == len(data)
    rows = []
    for y in range(height):
        line = data[offset + (height - 1 - y) * stride:][:stride]
        if bits == 8:
            rows.append([tuple(table[i]) for i in line[:width]])
        else:
            rows.append([tuple(line[3 * x:3 * x + 3][::-1]) for x in range(width)])
    return width, height, bits, rows


def read_ico(data):
    """{size: rows of (r, g, b, a), the AND mask as rows of bools} of a 32-bit icon file."""
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    assert (reserved, kind) == (0, 1)
    images = {}
    for i in range(count):
        w, h, _, _, planes, bits, length, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        assert w == h and planes == 1 and bits == 32 and offset + length <= len(data)
        size = w or 256
        hdr_size, hw, hh, _, hbits = struct.unpack_from("<IiiHH", data, offset)
        assert (hdr_size, hw, hh, hbits) == (40, size, 2 * size, 32)
        colour = offset + 40
        mask = colour + size * size * 4
        mask_stride = ((size + 31) // 32) * 4
        assert mask + mask_stride * size == offset + length
        rows, masks = [], []
        for y in range(size):
            src = colour + (size - 1 - y) * size * 4
            rows.append([(data[p + 2], data[p + 1], data[p], data[p + 3])
                         for p in range(src, src + size * 4, 4)])
            line = data[mask + (size - 1 - y) * mask_stride:][:mask_stride]
            masks.append([bool(line[x // 8] & (0x80 >> (x % 8))) for x in range(size)])
        images[size] = (rows, masks)
    return images


class WritersRoundTrip(unittest.TestCase):
    def test_bmp_keeps_pixels_at_widths_that_need_row_padding(self):
        for width in (1, 3, 5, 16):
            rows = [[((x * 40) % 256, y * 90, 7) for x in range(width)] for y in range(3)]
            self.assertEqual(read_bmp(dr.bmp_bytes(rows)), (width, 3, 8, rows))

    def test_icon_keeps_pixels_and_masks_exactly_the_transparent_ones(self):
        pattern = [(10, 20, 30, 255), (0, 0, 0, 0), (200, 100, 50, 128)]
        rows = [[pattern[(x + y) % 3] for x in range(17)] for y in range(17)]
        images = read_ico(dr.ico_bytes([rows, [[(1, 2, 3, 255)] * 5] * 5]))
        self.assertEqual(sorted(images), [5, 17])
        got, mask = images[17]
        self.assertEqual(got, rows)
        self.assertEqual(mask, [[p[3] == 0 for p in row] for row in rows])


class GeneratedFiles(unittest.TestCase):
    def test_files_in_resources_are_the_current_drawings(self):
        for name, data in dr.build().items():
            with self.subTest(name=name):
                self.assertTrue((dr.RESOURCES / name).read_bytes() == data,
                                f"{name} is stale: run tools/draw_resources.py")

    def test_bitmaps_have_the_sizes_the_program_slices_them_by(self):
        for name, size, count, background in (("item_states.bmp", (16, 16), 3, dr.MAGENTA),
                                              ("toolbar.bmp", (16, 15), 7, dr.BUTTON_FACE)):
            with self.subTest(name=name):
                width, height, bits, rows = read_bmp((dr.RESOURCES / name).read_bytes())
                self.assertEqual((width, height), (size[0] * count, size[1]))
                # A colour table, so that the toolbar can map its background colour.
                self.assertEqual(bits, 8)
                for i in range(count):
                    cells = [px for row in rows for px in row[i * size[0]:(i + 1) * size[0]]]
                    self.assertEqual(cells[0], background, f"image {i} corner")
                    self.assertGreater(sum(px != background for px in cells), 20, f"image {i} blank")

    def test_toolbar_maps_nothing_but_its_background(self):
        _, _, _, rows = read_bmp((dr.RESOURCES / "toolbar.bmp").read_bytes())
        used = {px for row in rows for px in row}
        self.assertEqual(used & dr.TOOLBAR_MAPPED, {dr.BUTTON_FACE})

    def test_drawing_with_a_background_colour_is_refused(self):
        grid = ["." * 15 + "l"] * 15
        old = dr.PALETTE["l"]
        try:
            dr.PALETTE["l"] = dr.BUTTON_FACE
            with self.assertRaises(ValueError):
                dr.strip([grid], 16, 15, dr.BUTTON_FACE, dr.TOOLBAR_MAPPED)
        finally:
            dr.PALETTE["l"] = old

    def test_icon_has_each_size_opaque_in_the_middle_and_clear_in_a_corner(self):
        images = read_ico((dr.RESOURCES / "plinthora.ico").read_bytes())
        self.assertEqual(sorted(images), [16, 32, 48])
        for size, (rows, mask) in images.items():
            with self.subTest(size=size):
                self.assertEqual(rows[size // 2][size // 2][3], 255)
                self.assertEqual(rows[size - 1][0][3], 0)
                self.assertTrue(mask[size - 1][0])
                self.assertFalse(mask[size // 2][size // 2])


if __name__ == "__main__":
    unittest.main()
