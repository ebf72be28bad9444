#!/usr/bin/python3
"""Checks the picture generator and the pictures the build made with it.

    pictures_test.py GENERATOR BUILT_DIR [unittest arguments]

GeneratorTest runs the generator itself (byte-identical reruns, the BMP
writer, wrapping of stars and noise); PictureTest reads the three files in
BUILT_DIR with a reader of its own and checks what the scene relies on.
"""

import importlib.util
import os
import struct
import subprocess
import sys
import tempfile
import unittest

GENERATOR = None
BUILT_DIR = None
NAMES = ('cloud.bmp', 'stars.bmp', 'quad.bmp')


# Loads the generator as a module, to reach its drawing functions.
def load_generator():
    found = importlib.util.spec_from_file_location('make_pictures', GENERATOR)
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


# Runs the generator into a folder and returns the files' bytes by name.
def generate(folder):
    subprocess.run([sys.executable, GENERATOR, folder], check=True)
    result = {}
    for name in NAMES:
        with open(os.path.join(folder, name), 'rb') as f:
            result[name] = f.read()
    return result


class Picture:
    """A 24-bit BMP file decoded to rows of (r, g, b), bottom row first."""

    # Parses the file's bytes, failing the test case on any header fault.
    def __init__(self, test, data):
        test.assertEqual(data[0:2], b'BM')
        file_size, _, _, offset = struct.unpack_from('<IHHI', data, 2)
        (info_size, width, height, planes, bits, compression, image_size,
         _, _, _, _) = struct.unpack_from('<IiiHHIIiiII', data, 14)
        test.assertEqual(info_size, 40)
        test.assertEqual(offset, 54)
        test.assertEqual((planes, bits, compression), (1, 24, 0))
        test.assertGreater(width, 0)
        test.assertGreater(height, 0)
        stride = (width * 3 + 3) // 4 * 4
        test.assertEqual(image_size, stride * height)
        test.assertEqual(file_size, len(data))
        test.assertEqual(len(data), offset + stride * height)
        self.width = width
        self.height = height
        self.rows = []
        for y in range(height):
            start = offset + y * stride
            row = []
            for x in range(width):
                b, g, r = data[start + 3 * x:start + 3 * x + 3]
                row.append((r, g, b))
            self.rows.append(row)

    # Returns the brightness (0..255) of the texel at column x, row y.
    def luma(self, x, y):
        r, g, b = self.rows[y][x]
        return 0.299 * r + 0.587 * g + 0.114 * b

    # Returns the mean channel difference between columns x1 and x2.
    def column_step(self, x1, x2):
        total = 0
        for row in self.rows:
            total += sum(abs(p - q) for p, q in zip(row[x1], row[x2]))
        return total / self.height

    # Returns the mean channel difference between rows y1 and y2.
    def row_step(self, y1, y2):
        total = 0
        for p, q in zip(self.rows[y1], self.rows[y2]):
            total += sum(abs(a - b) for a, b in zip(p, q))
        return total / self.width


# Returns whether n is a power of two.
def power_of_two(n):
    return n > 0 and n & (n - 1) == 0


class GeneratorTest(unittest.TestCase):

    def test_reruns_are_byte_identical_and_match_the_build(self):
        with tempfile.TemporaryDirectory() as first, \
                tempfile.TemporaryDirectory() as second:
            one = generate(first)
            two = generate(os.path.join(second, 'made', 'here'))
        for name in NAMES:
            self.assertEqual(one[name], two[name], name)
            with open(os.path.join(BUILT_DIR, name), 'rb') as f:
                self.assertEqual(f.read(), one[name], name + ' is stale')

    def test_usage_error_without_folder(self):
        run = subprocess.run([sys.executable, GENERATOR],
                             stderr=subprocess.PIPE)
        self.assertEqual(run.returncode, 2)
        self.assertIn(b'usage', run.stderr)

    def test_bmp_writer_pads_rows_and_stores_blue_first(self):
        gen = load_generator()
        rgb = bytes(range(1, 3 * 3 * 2 + 1))          # 3 x 2, 9 bytes a row
        data = gen.bmp_file(3, 2, rgb)
        picture = Picture(self, data)
        self.assertEqual((picture.width, picture.height), (3, 2))
        self.assertEqual(picture.rows[0], [(1, 2, 3), (4, 5, 6), (7, 8, 9)])
        self.assertEqual(picture.rows[1][2], (16, 17, 18))
        self.assertEqual(data[54 + 9:54 + 12], bytes(3))  # row padding

    def test_star_near_a_corner_wraps_to_all_four_corners(self):
        gen = load_generator()
        size = gen.SIZE
        sky = [[[0.0] * 3 for x in range(size)] for y in range(size)]
        gen.draw_star(sky, 0.5, 0.5, 1.0, 200.0, 4.0, 0.1, (1.0, 1.0, 1.0))
        centre = sky[0][0][0]
        self.assertGreater(centre, 150.0)
        for x, y in ((size - 1, 0), (0, size - 1), (size - 1, size - 1)):
            self.assertGreater(sky[y][x][0], 0.0, (x, y))
            self.assertLess(sky[y][x][0], centre)
        self.assertEqual(sky[0][size - 1], sky[size - 1][0])
        self.assertEqual(sky[0][1], sky[0][size - 1])   # symmetric about 0

    def test_noise_repeats_with_the_tile(self):
        gen = load_generator()
        noise = gen.FractalNoise(2, 4, 1234)
        values = []
        for u, v in ((0.1, 0.2), (0.37, 0.81), (0.0, 0.5), (0.93, 0.06)):
            here = noise.at(u, v)
            values.append(here)
            self.assertAlmostEqual(here, noise.at(u + 1.0, v), places=9)
            self.assertAlmostEqual(here, noise.at(u, v - 1.0), places=9)
        self.assertGreater(max(values) - min(values), 0.05)   # not flat
        self.assertAlmostEqual(noise.at(0.0, 0.3), noise.at(1.0 - 1e-9, 0.3),
                               places=6)


class PictureTest(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        cls.pictures = {}
        for name in NAMES:
            with open(os.path.join(BUILT_DIR, name), 'rb') as f:
                cls.pictures[name] = f.read()

    # Returns the decoded picture of that file.
    def picture(self, name):
        return Picture(self, self.pictures[name])

    def test_headers_and_power_of_two_sides(self):
        for name in NAMES:
            with self.subTest(name):
                picture = self.picture(name)
                self.assertTrue(power_of_two(picture.width))
                self.assertTrue(power_of_two(picture.height))
                # Old 3D cards take textures of at most 256 x 256; the star
                # picture is uploaded unscaled.
                self.assertLessEqual(max(picture.width, picture.height), 256)

    def test_pictures_tile_without_seams(self):
        # Across each wrap the step must look like any step inside.
        for name in NAMES:
            with self.subTest(name):
                p = self.picture(name)
                inside_x = max(p.column_step(x, x + 1)
                               for x in range(p.width - 1))
                inside_y = max(p.row_step(y, y + 1)
                               for y in range(p.height - 1))
                self.assertLessEqual(p.column_step(p.width - 1, 0),
                                     1.25 * inside_x)
                self.assertLessEqual(p.row_step(p.height - 1, 0),
                                     1.25 * inside_y)

    def test_stars_are_varied_points_on_black(self):
        p = self.picture('stars.bmp')
        black = sum(1 for row in p.rows for texel in row if max(texel) < 8)
        self.assertGreater(black, 0.85 * p.width * p.height)
        peaks = []
        for y in range(p.height):
            for x in range(p.width):
                here = p.luma(x, y)
                if here < 12:
                    continue
                if all(here >= p.luma((x + dx) % p.width, (y + dy) % p.height)
                       for dx in (-1, 0, 1) for dy in (-1, 0, 1)):
                    peaks.append((here, p.rows[y][x]))
        self.assertGreater(len(peaks), 500)
        brightness = sorted(level for level, colour in peaks)
        self.assertLess(brightness[len(brightness) // 2], 100)  # mostly faint
        self.assertGreaterEqual(brightness[-1], 250)            # a few bright
        blue = sum(1 for level, (r, g, b) in peaks if b > r + 8)
        red = sum(1 for level, (r, g, b) in peaks if r > b + 8)
        self.assertGreater(blue, 20)
        self.assertGreater(red, 20)

    def test_cloud_is_dim_but_visible(self):
        p = self.picture('cloud.bmp')
        brightest = max(max(texel) for row in p.rows for texel in row)
        lumas = sorted(p.luma(x, y) for y in range(p.height)
                       for x in range(p.width))
        mean = sum(lumas) / len(lumas)
        self.assertLessEqual(brightest, 100)
        self.assertGreaterEqual(brightest, 40)
        self.assertLess(mean, 20.0)
        self.assertGreater(mean, 3.0)
        self.assertLess(lumas[len(lumas) // 2], 0.25 * lumas[-1])

    def test_skin_half_is_bright_with_dark_edges(self):
        # Triangles show the half t <= s, the edges being t = 0, s = 1 and
        # s = t; they must be darker than the plate they frame.
        p = self.picture('quad.bmp')
        n = p.width
        edges = ([p.luma(x, 0) for x in range(n)] +
                 [p.luma(n - 1, y) for y in range(n)] +
                 [p.luma(x, x) for x in range(n)])
        half = [p.luma(x, y) for y in range(n) for x in range(n) if y <= x]
        inner = [p.luma(x, y) for y in range(n) for x in range(n)
                 if y + n // 8 < x < n - n // 8 and y > n // 8]
        half_mean = sum(half) / len(half)
        inner_mean = sum(inner) / len(inner)
        self.assertGreater(half_mean, 90.0)
        # Small triangles sample the mipmap levels, which average the whole
        # picture: the unseen half must carry the same colours.
        whole = [p.luma(x, y) for y in range(n) for x in range(n)]
        self.assertGreater(sum(whole) / len(whole), 0.9 * half_mean)
        self.assertLess(max(edges), 0.6 * inner_mean)
        saturated = sum(1 for y in range(n) for x in range(y, n)
                        if max(p.rows[y][x]) - min(p.rows[y][x]) > 60)
        self.assertGreater(saturated, 0.5 * len(half))


if __name__ == '__main__':
    GENERATOR = os.path.abspath(sys.argv[1])
    BUILT_DIR = os.path.abspath(sys.argv[2])
    unittest.main(argv=[sys.argv[0]] + sys.argv[3:])
