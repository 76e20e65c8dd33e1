#!/usr/bin/env python3
"""The icon files that scripts/make_icons.py writes, read back by an independent parser."""

import os
import struct
import sys
import tempfile
import unittest
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scripts"))
import make_icons  # noqa: E402


def write(kind, sizes):
    handle, path = tempfile.mkstemp(suffix="." + kind)
    os.close(handle)
    make_icons.main([kind, path] + [str(s) for s in sizes])
    with open(path, "rb") as data:
        content = data.read()
    os.remove(path)
    return content


def ico_images(data):
    """(width, height, bits, image bytes) per directory entry, checked against each other."""
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    assert (reserved, kind) == (0, 1)
    images = []
    for i in range(count):
        w, h, colours, zero, planes, bits, length, offset = struct.unpack_from(
            "<BBBBHHII", data, 6 + 16 * i
        )
        assert (colours, zero, planes) == (0, 0, 1)
        assert offset + length <= len(data)
        images.append((w, h, bits, data[offset : offset + length]))
    return images


def png_chunks(data):
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    chunks = []
    at = 8
    while at < len(data):
        (length,) = struct.unpack_from(">I", data, at)
        kind = data[at + 4 : at + 8]
        body = data[at + 8 : at + 8 + length]
        (crc,) = struct.unpack_from(">I", data, at + 8 + length)
        chunks.append((kind, body, crc == zlib.crc32(kind + body) & 0xFFFFFFFF))
        at += 12 + length
    return chunks


class Drawing(unittest.TestCase):
    def test_every_size_is_square_and_opaque_with_a_grey_edge(self):
        for size in (16, 32, 48):
            rows = make_icons.draw(size)
            self.assertEqual(len(rows), size)
            self.assertTrue(all(len(row) == size for row in rows))
            self.assertTrue(all(p[3] == 255 for row in rows for p in row))
            for i in range(size):
                for x, y in ((i, 0), (i, size - 1), (0, i), (size - 1, i)):
                    self.assertEqual(rows[y][x][:3], make_icons.EDGE)

    def test_every_point_colour_shows_even_at_the_smallest_size(self):
        colours = {p[:3] for row in make_icons.draw(16) for p in row}
        for colour in (make_icons.RED, make_icons.GREEN, make_icons.BLUE, make_icons.MAGENTA,
                       make_icons.BLACK, make_icons.FRAME):
            self.assertIn(colour, colours)

    def test_sizes_too_small_for_the_motif_are_refused(self):
        with self.assertRaises(ValueError):
            make_icons.draw(7)
        with self.assertRaises(SystemExit):
            make_icons.main(["ico", os.devnull, "300"])
        with self.assertRaises(SystemExit):
            make_icons.main(["png", os.devnull, "16", "32"])


class IconFile(unittest.TestCase):
    def test_directory_lists_each_size_as_32_bit_image(self):
        images = ico_images(write("ico", [32, 16]))
        self.assertEqual([(w, h, bits) for w, h, bits, _ in images], [(32, 32, 32), (16, 16, 32)])

    def test_images_are_bottom_up_bgra_with_a_clear_mask(self):
        for w, h, _, image in ico_images(write("ico", [32, 16])):
            size, width, height, planes, bits, compression = struct.unpack_from("<IiiHHI", image)
            self.assertEqual((size, width, height, planes, bits, compression), (40, w, 2 * h, 1, 32, 0))
            mask_stride = ((w + 31) // 32) * 4
            self.assertEqual(len(image), 40 + w * h * 4 + mask_stride * h)
            rows = make_icons.draw(w)
            pixels = image[40 : 40 + w * h * 4]
            for y in range(h):
                for x in range(w):
                    b, g, r, a = pixels[((h - 1 - y) * w + x) * 4 : ((h - 1 - y) * w + x) * 4 + 4]
                    self.assertEqual((r, g, b, a), rows[y][x])
            self.assertEqual(image[40 + w * h * 4 :], bytes(mask_stride * h))


class PngFile(unittest.TestCase):
    def test_chunks_are_sound_and_rows_hold_the_drawing(self):
        chunks = png_chunks(write("png", [48]))
        self.assertEqual([kind for kind, _, _ in chunks], [b"IHDR", b"IDAT", b"IEND"])
        self.assertTrue(all(sound for _, _, sound in chunks))
        self.assertEqual(struct.unpack(">IIBBBBB", chunks[0][1]), (48, 48, 8, 6, 0, 0, 0))
        raw = zlib.decompress(chunks[1][1])
        self.assertEqual(len(raw), 48 * (1 + 48 * 4))
        rows = make_icons.draw(48)
        for y in range(48):
            line = raw[y * (1 + 48 * 4) : (y + 1) * (1 + 48 * 4)]
            self.assertEqual(line[0], 0)
            self.assertEqual(line[1:], b"".join(bytes(p) for p in rows[y]))


if __name__ == "__main__":
    unittest.main()
