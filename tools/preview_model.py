#!/usr/bin/python3
"""Renders the model table as the saver shows it, for looking at the design.

Reads scene/model_table.inc (what the program draws) and writes PNGs to
tools/preview/: the saver's view (45-degree 4:3 perspective, model moved to
(0, -10, -65), pitched -90 degrees and spun about its own z axis) at several
spins, plus plan and side views. Flat shading with the saver's light at the
eye: brightness 0.24 + 0.8 * max(0, n . l).

Usage:  /usr/bin/python3 tools/preview_model.py [spin ...]
"""

import math
import os
import re
import sys

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
TABLE = os.path.join(HERE, "..", "scene", "model_table.inc")
OUT = os.path.join(HERE, "preview")
WIDTH, HEIGHT, SUPER = 640, 480, 2
COLOURS = ((0.95, 0.78, 0.42), (0.95, 0.78, 0.42), (0.80, 0.85, 0.95))


def read_table(path):
    rows = []
    number = re.compile(r"-?\d+(?:\.\d+)?f")
    for line in open(path):
        if line.startswith("{"):
            values = [float(v[:-1]) for v in number.findall(line.split("//")[0])]
            rows.append((tuple(values[0:3]), tuple(values[3:6]), tuple(values[6:9])))
    return rows


def rotate(v, angle, axis):
    """glRotatef about a principal axis (0 x, 1 y, 2 z)."""
    a = math.radians(angle)
    c, s = math.cos(a), math.sin(a)
    x, y, z = v
    if axis == 0:
        return (x, c * y - s * z, s * y + c * z)
    if axis == 1:
        return (c * x + s * z, y, -s * x + c * z)
    return (c * x - s * y, s * x + c * y, z)


def saver_view(spin, pitch=-90.0, yaw=0.0):
    """Eye coordinates of a model point, as the frame places the model."""
    def place(v):
        v = rotate(v, spin, 2)
        v = rotate(v, yaw, 1)
        v = rotate(v, pitch, 0)
        return (v[0], v[1] - 10.0, v[2] - 65.0)

    def turn(n):
        return rotate(rotate(rotate(n, spin, 2), yaw, 1), pitch, 0)
    f = 1.0 / math.tan(math.radians(22.5))

    def screen(e):
        return (f / (4.0 / 3.0) * e[0] / -e[2], f * e[1] / -e[2])
    return place, turn, screen


def ortho_view(axes, flip, scale, centre):
    """An orthographic view: axes picks screen x, screen y and depth."""
    def place(v):
        return tuple(v[a] * s for a, s in zip(axes, flip))

    def screen(e):
        return ((e[0] - centre[0]) / scale, (e[1] - centre[1]) / scale)
    return place, place, screen


def render(rows, place, turn, screen, perspective, name):
    w, h = WIDTH * SUPER, HEIGHT * SUPER
    depth = [float("inf")] * (w * h)
    pixels = bytearray(w * h * 3)
    for r, (p0, p1, p2) in enumerate(rows):
        a = [p2[k] - p0[k] for k in range(3)]
        b = [p1[k] - p0[k] for k in range(3)]
        n = (a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0])
        en = turn(n)
        ln = math.sqrt(sum(c * c for c in en))
        eye = [place(p) for p in (p0, p1, p2)]
        centre = [sum(e[k] for e in eye) / 3 for k in range(3)]
        if perspective:
            lv = [-c for c in centre]
        else:
            lv = [0.0, 0.0, 1.0]
        ll = math.sqrt(sum(c * c for c in lv))
        lit = 0.24 + 0.8 * max(0.0, sum(en[k] * lv[k] for k in range(3)) / (ln * ll))
        lit = min(1.0, lit)
        colour = COLOURS[0 if r < 132 else 1 if r < 264 else 2]
        rgb = bytes(int(255 * min(1.0, lit * c)) for c in colour)
        pts = []
        for e in eye:
            sx, sy = screen(e)
            pts.append(((sx + 1) * 0.5 * w, (1 - sy) * 0.5 * h, -e[2]))
        (x0, y0, z0), (x1, y1, z1), (x2, y2, z2) = pts
        area = (x1 - x0) * (y2 - y0) - (x2 - x0) * (y1 - y0)
        if area == 0:
            continue
        for y in range(max(0, int(min(y0, y1, y2))), min(h, int(max(y0, y1, y2)) + 2)):
            py = y + 0.5
            for x in range(max(0, int(min(x0, x1, x2))), min(w, int(max(x0, x1, x2)) + 2)):
                px = x + 0.5
                w0 = ((x1 - px) * (y2 - py) - (x2 - px) * (y1 - py)) / area
                w1 = ((x2 - px) * (y0 - py) - (x0 - px) * (y2 - py)) / area
                w2 = 1 - w0 - w1
                if w0 < 0 or w1 < 0 or w2 < 0:
                    continue
                if perspective:
                    z = 1.0 / (w0 / z0 + w1 / z1 + w2 / z2)
                else:
                    z = w0 * z0 + w1 * z1 + w2 * z2
                i = y * w + x
                if z < depth[i]:
                    depth[i] = z
                    pixels[3 * i:3 * i + 3] = rgb
    image = Image.frombytes("RGB", (w, h), bytes(pixels))
    image = image.resize((WIDTH, HEIGHT), Image.LANCZOS)
    os.makedirs(OUT, exist_ok=True)
    path = os.path.join(OUT, name)
    image.save(path)
    return path


def contact_sheet(paths, name):
    """The saver views side by side, three to a row, at half size."""
    columns = min(3, len(paths))
    rows = (len(paths) + columns - 1) // columns
    w, h = WIDTH // 2, HEIGHT // 2
    sheet = Image.new("RGB", (w * columns, h * rows))
    for i, path in enumerate(paths):
        sheet.paste(Image.open(path).resize((w, h), Image.LANCZOS), ((i % columns) * w, (i // columns) * h))
    path = os.path.join(OUT, name)
    sheet.save(path)
    return path


def main():
    rows = read_table(TABLE)
    spins = [float(s) for s in sys.argv[1:]] or [0, 45, 90, 135, 180, 270]
    paths = []
    for spin in spins:
        place, turn, screen = saver_view(spin)
        paths.append(render(rows, place, turn, screen, True, "saver-spin%03d.png" % int(spin)))
        print(paths[-1])
    print(contact_sheet(paths, "saver-all.png"))
    # Plan (from above, x right, y up), front (x right, z up), end-on (y, z).
    views = (("plan.png", (0, 1, 2), (1, 1, 1)), ("side.png", (0, 2, 1), (1, 1, -1)),
             ("end.png", (1, 2, 0), (1, 1, 1)))
    for name, axes, flip in views:
        place, turn, screen = ortho_view(axes, flip, 24.0, (-1.0, 6.0 if axes[1] == 2 else 0.0))
        print(render(rows, place, turn, screen, False, name))


if __name__ == "__main__":
    main()
