#!/usr/bin/python3
"""Builds the saver's model table, checks it, and writes scene/model_table.inc.

The model: an upright blade (a thin double wedge) standing between two swept
wings. Each wing is a lofted band of 17 quadrilateral cross-sections: it rises
from a spike beside the blade, turns outward and sweeps back round in a
crescent, narrowing and climbing to a pointed tip behind the blade. The two
wings are near mirror images in the plane y = 0.

Usage:  /usr/bin/python3 tools/make_model.py [--check-only]

All geometry is held in integer units of 1/64, so every check is exact. The
run fails (exit status 1, reasons on stderr) if any property of the table
breaks; only then is nothing written. The output is deterministic.
"""

import math
import os
import sys
from fractions import Fraction

UNIT = 64                      # grid: every coordinate is a multiple of 1/64
ROWS = 276
PIECES = ((0, 132), (132, 264), (264, 276))   # [first, end) rows per piece
PIECE_POINTS = (68, 68, 8)
PIECE_EDGES = (198, 198, 18)
STATIONS = 17                  # cross-sections per wing

OUTPUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scene",
                      "model_table.inc")


def point(text):
    """A point from "x, y, z" text (exact decimals) in 1/64 units."""
    values = []
    for part in text.split(","):
        value = Fraction(part.strip().replace("\u2212", "-")) * UNIT
        if value.denominator != 1:
            raise ValueError("off the 1/64 grid: " + text)
        values.append(int(value))
    return tuple(values)


def grid(x, y, z):
    """A designed point rounded to the 1/64 grid."""
    return (round(x * UNIT), round(y * UNIT), round(z * UNIT))


# Rows whose corners are fixed, by row number (1-based), corners p0, p1, p2.
FIXED_ROWS = {
    1: ("-15.390625, 8.65625, 16.3125", "-14.046875, 10.609375, 15.859375",
        "-14.28125, 10.359375, 14.953125"),
    2: ("-14.28125, 10.359375, 14.953125", "-14.046875, 10.609375, 15.859375",
        "-12.71875, 12.015625, 14.21875"),
    3: ("-14.28125, 10.359375, 14.953125", "-12.71875, 12.015625, 14.21875",
        "-12.71875, 12.75, 14.046875"),
    31: ("12.21875, 2.890625, -4.34375", "12.0625, 3.125, -4.34375",
         "12.125, 2.875, -4.34375"),
    132: ("6.46875, 12.359375, 9.765625", "8.1875, 10.40625, 9.734375",
          "9.484375, 11.15625, 9.296875"),
    133: ("13.5625, -2.9375, 9.484375", "12.921875, -5.96875, 9.484375",
          "12.890625, -5.96875, 14.5"),
    264: ("12.3125, -2.8125, -4.34375", "11.984375, -2.78125, 9.484375",
          "12.203125, -2.78125, -4.34375"),
    265: ("13.609375, 2.21875, 9.765625", "12.125, 2.21875, 9.765625",
          "12.125, 0.125, -10.5"),
    266: ("12.125, 0.125, -10.5", "12.125, 2.21875, 9.765625",
          "12.125, -1.96875, 9.765625"),
    267: ("12.125, 0.125, -10.5", "12.125, -1.96875, 9.765625",
          "12.828125, 0.125, -10.5"),
    268: ("12.828125, 0.125, -10.5", "12.125, -1.96875, 9.765625",
          "13.609375, -1.96875, 9.765625"),
    269: ("12.828125, 0.125, -10.5", "13.609375, -1.96875, 9.765625",
          "13.609375, 2.21875, 9.765625"),
    270: ("13.609375, 2.21875, 9.765625", "13.609375, -1.96875, 9.765625",
          "12.828125, 0.125, 30.734375"),
    271: ("13.609375, 2.21875, 9.765625", "12.828125, 0.125, 30.734375",
          "12.125, 2.21875, 9.765625"),
    272: ("12.125, 2.21875, 9.765625", "12.828125, 0.125, 30.734375",
          "12.125, 0.125, 30.734375"),
    273: ("12.125, 2.21875, 9.765625", "12.125, 0.125, 30.734375",
          "12.125, -1.96875, 9.765625"),
    274: ("12.125, -1.96875, 9.765625", "12.125, 0.125, 30.734375",
          "13.609375, -1.96875, 9.765625"),
    275: ("12.125, 0.125, -10.5", "12.828125, 0.125, -10.5",
          "13.609375, 2.21875, 9.765625"),
    276: ("12.828125, 0.125, 30.734375", "13.609375, -1.96875, 9.765625",
          "12.125, 0.125, 30.734375"),
}
FIXED = {row: tuple(point(p) for p in corners) for row, corners in FIXED_ROWS.items()}

# Normals of the fixed rows as listed, a check on the cross product.
FIXED_NORMALS = {
    1: "1.88330078125, -1.323974609375, -0.121826171875",
    2: "1.6845703125, -1.588134765625, 0.00244140625",
    3: "-0.254638671875, -0.2685546875, -1.1474609375",
    31: "0, 0, -0.0244140625",
    132: "-0.8779296875, -0.71142578125, -3.822021484375",
    133: "15.20361328125, -3.213134765625, 0.0947265625",
    264: "0.43212890625, 1.512451171875, 0.0068359375",
    265: "0, 30.081787109375, -3.10791015625",
    266: "-84.8623046875, 0, 0",
    267: "0, -14.249267578125, -1.47216796875",
    268: "0, -30.081787109375, -3.10791015625",
    269: "84.8623046875, 0, -3.271484375",
    270: "87.806640625, 0, 3.271484375",
    271: "0, 31.12548828125, 3.10791015625",
    272: "0, 14.74365234375, 1.47216796875",
    273: "-87.806640625, 0, 0",
    274: "0, -31.12548828125, 3.10791015625",
    275: "0, 14.249267578125, -1.47216796875",
    276: "0, -14.74365234375, 1.47216796875",
}

# Ranges per piece: (min, max) of x, y, z, each bound reached by some corner.
RANGES = (
    (("-15.734375", "13.46875"), ("2.875", "18.234375"), ("-4.34375", "16.3125")),
    (("-15.734375", "13.5625"), ("-18.4375", "-2.78125"), ("-4.34375", "16.3125")),
    (("12.125", "13.609375"), ("-1.96875", "2.21875"), ("-10.5", "30.734375")),
)
MAX_RADIUS = Fraction("33.31")          # no corner farther from the origin
MIRROR_TOLERANCE = Fraction("0.22")     # piece 1 mirrored onto piece 2
BLADE_CENTRE = (Fraction("12.671875"), Fraction("0.125"), Fraction("9.94140625"))


# ----------------------------------------------------------------------------
# Design of the right-hand wing (piece 1, y > 0)
#
# Each cross-section has four corners: top-front, top-back, bottom-back,
# bottom-front. Near the blade "front" faces +x; along the crescent the front
# is the outer (convex) face and the back the inner one. Station 0 is the
# spike's foot on the floor plane z = -4.34375, station 1 the level section
# at z = 9.484375 where the band starts, station 16 the tip.
# ----------------------------------------------------------------------------

def fixed_corner(row, corner):
    """A corner of a fixed row, in 1/64 units."""
    return FIXED[row][corner]


def to_units(p):
    """A designed point (floats) from 1/64 units."""
    return tuple(c / UNIT for c in p)


def radial(a_deg):
    """Unit vector at an angle in the plan."""
    a = math.radians(a_deg)
    return (math.cos(a), math.sin(a))


def polar(centre, p):
    """Angle (degrees) and radius of a plan point about a centre."""
    dx, dy = p[0] - centre[0], p[1] - centre[1]
    return math.degrees(math.atan2(dy, dx)), math.hypot(dx, dy)


def lerp(a, b, t):
    return a + (b - a) * t


def smooth(t):
    """Smooth step from 0 to 1."""
    return t * t * (3 - 2 * t)


def design_right_wing():
    """The 17 cross-sections of piece 1 as lists [tf, tb, bb, bf] (1/64 units)."""
    J = to_units(fixed_corner(132, 1))      # bottom-back, station 3
    K = to_units(fixed_corner(132, 2))      # bottom-front, station 3
    I = to_units(fixed_corner(132, 0))      # bottom-back, station 4
    B = to_units(fixed_corner(1, 1))        # top-back, station 14
    D = to_units(fixed_corner(2, 2))        # bottom-back, station 14
    E = to_units(fixed_corner(3, 2))        # bottom-front, station 14
    A = to_units(fixed_corner(1, 0))        # top-back, station 15
    C = to_units(fixed_corner(1, 2))        # bottom-back, station 15

    # The crescent: bottom-back corners of stations 4..14 on a plan arc
    # through I and D about a centre behind the blade.
    centre = (-3.125, 5.5)
    a_first, r_first = polar(centre, I)
    a_last, r_last = polar(centre, D)
    bottom_z = {4: I[2], 5: 9.5, 6: 9.25, 7: 9.1875, 8: 9.3125, 9: 9.625,
                10: 10.15625, 11: 10.90625, 12: 11.84375, 13: 12.96875, 14: D[2]}
    top_z = {3: 15.03125, 4: 15.25, 5: 15.375, 6: 15.4375, 7: 15.46875, 8: 15.5,
             9: 15.53125, 10: 15.5625, 11: 15.625, 12: 15.6875, 13: 15.765625}
    thick = {2: 1.40625, 3: 1.46875, 4: 1.375, 5: 1.28125, 6: 1.1875, 7: 1.09375,
             8: 1.0, 9: 0.9375, 10: 0.875, 11: 0.8125, 12: 0.765625, 13: 0.75}

    sections = [None] * STATIONS
    sections[0] = [fixed_corner(31, 0), fixed_corner(31, 2), fixed_corner(31, 1),
                   grid(12.28125, 3.15625, -4.34375)]
    sections[1] = [grid(13.46875, 2.953125, 9.484375), grid(11.984375, 2.875, 9.484375),
                   grid(11.453125, 5.890625, 9.484375), grid(12.921875, 5.96875, 9.484375)]

    ob1 = to_units(sections[1][2])
    bottom_back = {1: ob1, 3: J, 4: I, 14: D, 15: C}
    for k in range(5, 14):
        t = (k - 4) / 10.0
        out = radial(lerp(a_first, a_last, t))
        r = lerp(r_first, r_last, t)
        bottom_back[k] = (centre[0] + r * out[0], centre[1] + r * out[1], bottom_z[k])
    # Station 2 sits between the level root section and station 3.
    bottom_back[2] = (lerp(ob1[0], J[0], 0.55), lerp(ob1[1], J[1], 0.5), 9.5625)

    def plan_frame(k):
        """Tangent and outward (front) normal of the band at station k."""
        p, q = bottom_back[k - 1], bottom_back[k + 1]
        dx, dy = q[0] - p[0], q[1] - p[1]
        n = math.hypot(dx, dy)
        tangent = (dx / n, dy / n)
        return tangent, (tangent[1], -tangent[0])

    # Top edge: lean inward near the blade, shear toward the tip near the tip.
    for k in range(2, 14):
        tangent, normal = plan_frame(k)
        bb = bottom_back[k]
        th = thick[k]
        bf = (bb[0] + th * normal[0], bb[1] + th * normal[1], bb[2])
        if k == 2:
            tf = to_units(point("12.890625, 5.96875, 14.5"))
            tb = (tf[0] - 0.9 * th * normal[0], tf[1] - 0.9 * th * normal[1], tf[2])
        else:
            u = (k - 3) / 11.0
            lean = lerp(1.1, 0.0, smooth(u))
            shear = lerp(-2.0, 1.9, smooth(u))
            tb = (bb[0] + shear * tangent[0] - lean * normal[0],
                  bb[1] + shear * tangent[1] - lean * normal[1], top_z[k])
            tf = (tb[0] + 0.85 * th * normal[0], tb[1] + 0.85 * th * normal[1], tb[2])
        sections[k] = [grid(*tf), grid(*tb), grid(*bb), grid(*bf)]
    sections[3][3] = fixed_corner(132, 2)

    # Stations 14 and 15 near the tip, then the tip itself.
    n14 = plan_frame(14)[1]
    sections[14] = [grid(B[0] + 0.5 * n14[0], B[1] + 0.5 * n14[1], B[2] - 0.0625),
                    fixed_corner(1, 1), fixed_corner(2, 2), fixed_corner(3, 2)]
    sections[15] = [grid(-15.734375, 9.0625, 16.25), fixed_corner(1, 0),
                    fixed_corner(1, 2), grid(-14.484375, 10.90625, 14.8125)]
    sections[16] = [grid(-15.59375, 7.40625, 16.0625), grid(-15.375, 7.28125, 16.0625),
                    grid(-15.3125, 7.375, 15.8125), grid(-15.5625, 7.5, 15.8125)]
    return sections


def mirror(p):
    return (p[0], -p[1], p[2])


def design_left_wing(right):
    """Piece 2: the right wing mirrored in y = 0, with its own root and reach."""
    sections = [[mirror(p) for p in section] for section in right]
    sections[0][0] = fixed_corner(264, 0)      # top-front of the spike foot
    sections[0][1] = fixed_corner(264, 2)      # top-back
    sections[1][0] = fixed_corner(133, 0)      # top-front of the level section
    sections[1][1] = fixed_corner(264, 1)      # top-back
    sections[1][3] = fixed_corner(133, 1)      # bottom-front
    sections[2][0] = fixed_corner(133, 2)      # top-front of station 2
    # The left wing reaches a little farther out than the right one.
    k, c = farthest_out(right)
    x, y, z = sections[k][c]
    sections[k][c] = (x, point("0, -18.4375, 0")[1], z)
    return sections


def farthest_out(sections):
    """Station and corner of the right wing's largest y."""
    best = None
    for k, section in enumerate(sections):
        for c, p in enumerate(section):
            if best is None or p[1] > best[0]:
                best = (p[1], k, c)
    return best[1], best[2]


def reach_out(sections):
    """Sets the right wing's farthest corner to its exact reach."""
    k, c = farthest_out(sections)
    x, y, z = sections[k][c]
    sections[k][c] = (x, point("0, 18.234375, 0")[1], z)


# ----------------------------------------------------------------------------
# Triangulation of a loft
# ----------------------------------------------------------------------------

def sub(a, b):
    return (a[0] - b[0], a[1] - b[1], a[2] - b[2])


def cross(a, b):
    return (a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0])


def dot(a, b):
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]


def normal(tri):
    """n = (p2 - p0) x (p1 - p0), in 1/4096 units."""
    p0, p1, p2 = tri
    return cross(sub(p2, p0), sub(p1, p0))


def same_cycle(a, b):
    """True if triangle b is triangle a with its corners rotated."""
    return any(b == a[i:] + a[:i] for i in range(3))


def split_quad(quad, fixed_rows, diagonal_ac=True):
    """Two triangles for a quad (a, b, c, d), keeping its cycle direction.

    Uses the diagonal of a fixed row that lies in the quad, else a-c or b-d
    as asked, so that the facets of a strip run the same way."""
    a, b, c, d = quad
    splits = (((a, b, c), (a, c, d)), ((a, b, d), (b, c, d)))
    for split in splits:
        for tri in split:
            for fixed in fixed_rows:
                if set(tri) == set(fixed):
                    return split
    return splits[0] if diagonal_ac else splits[1]


def loft(sections, fixed_rows):
    """Closed surface of a loft: side quads segment by segment from the tip
    back to the root, then the two end caps."""
    triangles = []
    for k in range(len(sections) - 2, -1, -1):
        s, t = sections[k], sections[k + 1]
        for c in (1, 2, 3, 0):      # back, bottom rim, front, top rim
            c1 = (c + 1) % 4
            triangles.extend(split_quad((s[c], s[c1], t[c1], t[c]), fixed_rows, c != 2))
    first, last = sections[0], sections[-1]
    triangles.extend(split_quad(tuple(reversed(first)), fixed_rows))
    triangles.extend(split_quad(tuple(last), fixed_rows))
    return triangles


def orient_outward(triangles):
    """Reverses every triangle if the surface is wound the wrong way round.

    With n = (p2 - p0) x (p1 - p0) pointing out, the sum of p0 . (p1 x p2)
    over a closed surface is -6 times its volume."""
    six_volume = sum(dot(t[0], cross(t[1], t[2])) for t in triangles)
    if six_volume > 0:
        return [(t[0], t[2], t[1]) for t in triangles]
    return triangles


def place_rows(triangles, first_row, fixed_rows_by_number):
    """Orders a piece's triangles: fixed rows at their numbers, exactly as
    listed, the rest in loft order."""
    remaining = list(triangles)
    for number, fixed in fixed_rows_by_number.items():
        matches = [t for t in remaining if same_cycle(t, fixed)]
        reversed_matches = [t for t in remaining if same_cycle(t, (fixed[0], fixed[2], fixed[1]))]
        if len(matches) != 1:
            raise SystemExit("row %d: %s in the loft" % (
                number, "wound the other way" if reversed_matches else "not found"))
        remaining.remove(matches[0])
    rows = []
    for number in range(first_row, first_row + len(triangles)):
        rows.append(fixed_rows_by_number[number] if number in fixed_rows_by_number
                    else remaining.pop(0))
    return rows


def build_table():
    """The 276 rows: right wing, left wing, blade."""
    right = design_right_wing()
    reach_out(right)
    left = design_left_wing(right)
    table = []
    for piece, sections in enumerate((right, left)):
        first, end = PIECES[piece]
        fixed = {n: FIXED[n] for n in FIXED if first < n <= end}
        triangles = orient_outward(loft(sections, list(fixed.values())))
        table.extend(place_rows(triangles, first + 1, fixed))
    table.extend(FIXED[n] for n in range(265, 277))
    return table


# ----------------------------------------------------------------------------
# Checks
# ----------------------------------------------------------------------------

class Checks:
    """Collects failed properties; the run fails if any."""

    def __init__(self):
        self.failures = []
        self.passed = 0

    def expect(self, condition, what):
        if condition:
            self.passed += 1
        else:
            self.failures.append(what)


def piece_rows(table, piece):
    first, end = PIECES[piece]
    return table[first:end]


def points_of(rows):
    return sorted({p for row in rows for p in row})


def check_topology(table, checks):
    """Counts, closedness with opposite edge use, Euler, connectedness."""
    checks.expect(len(table) == ROWS, "the table has %d rows" % len(table))
    all_points = [points_of(piece_rows(table, i)) for i in range(3)]
    for i in range(3):
        rows = piece_rows(table, i)
        pts = all_points[i]
        checks.expect(len(pts) == PIECE_POINTS[i],
                      "piece %d has %d distinct points" % (i + 1, len(pts)))
        directed = {}
        for r, row in enumerate(rows):
            for e in range(3):
                edge = (row[e], row[(e + 1) % 3])
                directed[edge] = directed.get(edge, 0) + 1
        bad = [e for e, n in directed.items() if n != 1 or directed.get((e[1], e[0])) != 1]
        checks.expect(not bad, "piece %d: %d edges not used once each way" % (i + 1, len(bad)))
        edges = {frozenset(e) for e in directed}
        checks.expect(len(edges) == PIECE_EDGES[i],
                      "piece %d has %d edges" % (i + 1, len(edges)))
        euler = len(pts) - len(edges) + len(rows)
        checks.expect(euler == 2, "piece %d: V - E + F = %d" % (i + 1, euler))
        # Connected through shared edges.
        neighbours = {p: set() for p in pts}
        for a, b in directed:
            neighbours[a].add(b)
        seen, todo = {pts[0]}, [pts[0]]
        while todo:
            for q in neighbours[todo.pop()]:
                if q not in seen:
                    seen.add(q)
                    todo.append(q)
        checks.expect(len(seen) == len(pts), "piece %d is not connected" % (i + 1))
    shared = (set(all_points[0]) & set(all_points[1])) | (set(all_points[0]) & set(all_points[2])) \
        | (set(all_points[1]) & set(all_points[2]))
    checks.expect(not shared, "pieces share %d points" % len(shared))
    total = len(points_of(table))
    checks.expect(total == 144, "the table has %d distinct points" % total)
    for row in table:
        checks.expect(len(set(row)) == 3, "a row repeats a corner")


def check_fixed_rows(table, checks):
    for number, fixed in FIXED.items():
        checks.expect(table[number - 1] == fixed, "row %d differs from its listed corners" % number)
        n = normal(table[number - 1])
        listed = tuple(int(Fraction(v.strip()) * UNIT * UNIT)
                       for v in FIXED_NORMALS[number].split(","))
        checks.expect(n == listed, "row %d normal %s, listed %s" % (number, n, listed))


def check_extent(table, checks):
    """Ranges per piece exactly, bounds reached, radius."""
    for i in range(3):
        pts = points_of(piece_rows(table, i))
        for axis in range(3):
            low, high = (point("%s, 0, 0" % v)[0] for v in RANGES[i][axis])
            values = [p[axis] for p in pts]
            checks.expect(min(values) == low and max(values) == high,
                          "piece %d axis %s spans %s..%s, wanted %s..%s" % (
                              i + 1, "xyz"[axis], min(values) / UNIT, max(values) / UNIT,
                              low / UNIT, high / UNIT))
    limit = MAX_RADIUS * UNIT
    far = max(dot(p, p) for p in points_of(table))
    checks.expect(far <= limit * limit, "a corner lies %.4f from the origin" % (math.sqrt(far) / UNIT))


def check_normals(table, checks):
    """Non-zero normals, exact in single precision; row 31 shortest, 270 longest."""
    lengths = []
    for r, row in enumerate(table):
        p0, p1, p2 = row
        a, b = sub(p2, p0), sub(p1, p0)
        # Every product and every component must be exact in a float's 24 bits.
        products = [a[1] * b[2], a[2] * b[1], a[2] * b[0], a[0] * b[2], a[0] * b[1], a[1] * b[0]]
        n = normal(row)
        checks.expect(all(abs(v) < 1 << 24 for v in products + list(n)),
                      "row %d: normal not exact in single precision" % (r + 1))
        checks.expect(n != (0, 0, 0), "row %d is degenerate" % (r + 1))
        lengths.append(dot(n, n))
    shortest = min(range(ROWS), key=lambda r: lengths[r])
    longest = max(range(ROWS), key=lambda r: lengths[r])
    checks.expect(shortest == 30 and lengths.count(lengths[30]) == 1,
                  "shortest normal on row %d (%.6f)" % (shortest + 1,
                                                        math.sqrt(lengths[shortest]) / 4096))
    checks.expect(longest == 269 and lengths.count(lengths[269]) == 1,
                  "longest normal on row %d" % (longest + 1))


def solid_angle(p, tri):
    """Signed solid angle of a triangle seen from p (Van Oosterom-Strackee)."""
    a, b, c = (sub(q, p) for q in tri)
    la, lb, lc = (math.sqrt(dot(v, v)) for v in (a, b, c))
    numerator = dot(a, cross(b, c))
    denominator = la * lb * lc + dot(a, b) * lc + dot(a, c) * lb + dot(b, c) * la
    return 2.0 * math.atan2(numerator, denominator)


def winding(p, rows):
    """Winding number of a piece's surface about p: -1 inside (clockwise from
    outside), 0 outside."""
    return sum(solid_angle(p, tri) for tri in rows) / (4 * math.pi)


def check_outward(table, checks):
    """Every normal points out of its own piece: just off each face along n
    lies outside the piece, just off against n lies inside."""
    for i in range(3):
        rows = piece_rows(table, i)
        pts = [tuple(float(c) for c in p) for p in points_of(rows)]
        six_volume = sum(dot(t[0], cross(t[1], t[2])) for t in rows)
        checks.expect(six_volume < 0, "piece %d is wound anticlockwise from outside" % (i + 1))
        frows = [tuple(tuple(float(c) for c in p) for p in row) for row in rows]
        for r, row in enumerate(frows):
            n = normal(rows[r])
            length = math.sqrt(dot(n, n))
            centre = tuple(sum(p[k] for p in row) / 3.0 for k in range(3))
            step = 0.02   # 1/64 units: well inside the thinnest part
            outside = tuple(centre[k] + step * n[k] / length for k in range(3))
            inside = tuple(centre[k] - step * n[k] / length for k in range(3))
            w_out, w_in = winding(outside, frows), winding(inside, frows)
            checks.expect(abs(w_out) < 1e-6 and abs(w_in + 1) < 1e-6,
                          "row %d: winding %.3f outside, %.3f inside" % (
                              PIECES[i][0] + r + 1, w_out, w_in))
    centre = tuple(c * UNIT for c in BLADE_CENTRE)
    for r in range(264, 276):
        n = normal(table[r])
        away = sum(n[k] * (table[r][0][k] - centre[k]) for k in range(3))
        checks.expect(away > 0, "row %d faces the blade's centre" % (r + 1))


def check_mirror(table, checks):
    """Each point of piece 1 mirrored in y = 0 lies near a point of piece 2."""
    right = points_of(piece_rows(table, 0))
    left = points_of(piece_rows(table, 1))
    limit = MIRROR_TOLERANCE * UNIT
    worst = 0
    for p in right:
        m = mirror(p)
        nearest = min(dot(sub(m, q), sub(m, q)) for q in left)
        worst = max(worst, nearest)
    checks.expect(worst <= limit * limit,
                  "a mirrored point lies %.4f from piece 2" % (math.sqrt(worst) / UNIT))
    return math.sqrt(worst) / UNIT


def orient(a, b, c, d):
    """Sign of the volume of (a, b, c, d): which side of plane abc d lies."""
    v = dot(sub(b, a), cross(sub(c, a), sub(d, a)))
    return (v > 0) - (v < 0)


def drop_axis(tri_normal):
    """The axis to drop when projecting a plane to 2D."""
    m = [abs(c) for c in tri_normal]
    return m.index(max(m))


def orient2(a, b, c):
    v = (b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0])
    return (v > 0) - (v < 0)


def project(p, axis):
    return tuple(p[k] for k in range(3) if k != axis)


def segments_meet_2d(p, q, a, b):
    """Closed 2D segments pq and ab intersect."""
    d1, d2 = orient2(a, b, p), orient2(a, b, q)
    d3, d4 = orient2(p, q, a), orient2(p, q, b)
    if d1 * d2 < 0 and d3 * d4 < 0:
        return True

    def on(s, t, r):
        return min(s[0], t[0]) <= r[0] <= max(s[0], t[0]) and \
            min(s[1], t[1]) <= r[1] <= max(s[1], t[1])
    return (d1 == 0 and on(a, b, p)) or (d2 == 0 and on(a, b, q)) or \
        (d3 == 0 and on(p, q, a)) or (d4 == 0 and on(p, q, b))


def inside_2d(p, tri):
    s = [orient2(tri[i], tri[(i + 1) % 3], p) for i in range(3)]
    return not (min(s) < 0 < max(s))


def segment_meets_triangle(p, q, tri):
    """Closed segment pq meets closed triangle tri (exact)."""
    a, b, c = tri
    sp, sq = orient(a, b, c, p), orient(a, b, c, q)
    if sp * sq > 0:
        return False
    if sp == 0 and sq == 0:
        axis = drop_axis(normal(tri))
        p2, q2 = project(p, axis), project(q, axis)
        t2 = [project(v, axis) for v in tri]
        if inside_2d(p2, t2) or inside_2d(q2, t2):
            return True
        return any(segments_meet_2d(p2, q2, t2[i], t2[(i + 1) % 3]) for i in range(3))
    s = [orient(p, q, a, b), orient(p, q, b, c), orient(p, q, c, a)]
    return not (min(s) < 0 < max(s))


def triangles_meet(t, u):
    """Closed triangles t and u intersect (exact)."""
    return any(segment_meets_triangle(t[i], t[(i + 1) % 3], u) for i in range(3)) or \
        any(segment_meets_triangle(u[i], u[(i + 1) % 3], t) for i in range(3))


def ray_enters_corner(v, a, tri):
    """For a segment va lying in the plane of tri, with v a corner of tri:
    whether the segment runs into tri beyond v."""
    axis = drop_axis(normal(tri))
    others = [p for p in tri if p != v]
    v2, a2 = project(v, axis), project(a, axis)
    b2, c2 = (project(p, axis) for p in others)
    s1, s2 = orient2(v2, b2, a2), orient2(v2, c2, a2)
    turn = orient2(v2, b2, c2)
    # a lies within the closed angle b-v-c, on the same side as the triangle.
    if s1 == 0 and s2 == 0:
        return False
    ab = (a2[0] - v2[0]) * (b2[0] - v2[0]) + (a2[1] - v2[1]) * (b2[1] - v2[1])
    ac = (a2[0] - v2[0]) * (c2[0] - v2[0]) + (a2[1] - v2[1]) * (c2[1] - v2[1])
    if s1 == 0:
        return ab > 0
    if s2 == 0:
        return ac > 0
    return s1 == turn and s2 == -turn


def adjacent_overlap(t, u):
    """For triangles sharing corners: whether they meet beyond what they share."""
    shared = set(t) & set(u)
    if len(shared) == 2:
        a, b = shared
        c = next(p for p in t if p not in shared)
        d = next(p for p in u if p not in shared)
        if orient(a, b, c, d) != 0:
            return False
        axis = drop_axis(normal(t))
        return orient2(*[project(p, axis) for p in (a, b, c)]) == \
            orient2(*[project(p, axis) for p in (a, b, d)])
    v = next(iter(shared))
    ta = [p for p in t if p != v]
    ua = [p for p in u if p != v]
    if segment_meets_triangle(ta[0], ta[1], u) or segment_meets_triangle(ua[0], ua[1], t):
        return True
    for own, other in ((ta, u), (ua, t)):
        for a in own:
            if orient(*other, a) == 0 and ray_enters_corner(v, a, other):
                return True
    return False


def check_no_self_intersection(table, checks):
    """No two triangles of a piece meet except where they share corners, and
    the pieces do not touch each other."""
    for i in range(3):
        rows = piece_rows(table, i)
        crossings = []
        boxes = [bounds(t) for t in rows]
        for r in range(len(rows)):
            for s in range(r + 1, len(rows)):
                if not boxes_overlap(boxes[r], boxes[s]):
                    continue
                if set(rows[r]) & set(rows[s]):
                    if adjacent_overlap(rows[r], rows[s]):
                        crossings.append((r, s))
                elif triangles_meet(rows[r], rows[s]):
                    crossings.append((r, s))
        first = PIECES[i][0]
        checks.expect(not crossings, "piece %d cuts itself at rows %s" % (
            i + 1, [(first + r + 1, first + s + 1) for r, s in crossings[:8]]))
    for i, j in ((0, 1), (0, 2), (1, 2)):
        touching = [(r, s) for r in piece_rows(table, i) for s in piece_rows(table, j)
                    if boxes_overlap(bounds(r), bounds(s)) and triangles_meet(r, s)]
        checks.expect(not touching, "pieces %d and %d touch" % (i + 1, j + 1))


def bounds(tri):
    return tuple(min(p[k] for p in tri) for k in range(3)) + \
        tuple(max(p[k] for p in tri) for k in range(3))


def boxes_overlap(a, b):
    return all(a[k] <= b[k + 3] and b[k] <= a[k + 3] for k in range(3))


def check_table(table):
    checks = Checks()
    check_topology(table, checks)
    check_fixed_rows(table, checks)
    check_extent(table, checks)
    check_normals(table, checks)
    check_outward(table, checks)
    worst_mirror = check_mirror(table, checks)
    check_no_self_intersection(table, checks)
    return checks, worst_mirror


# ----------------------------------------------------------------------------
# Output
# ----------------------------------------------------------------------------

def literal(v):
    """An exact C++ float literal for a value in 1/64 units."""
    text = repr(v / UNIT)          # exact: v / 64 is a short binary fraction
    assert Fraction(text) == Fraction(v, UNIT) and "." in text and "e" not in text
    return text + "f"


def write_table(table, path):
    lines = [
        "// Generated by tools/make_model.py; do not edit by hand, change the tool",
        "// and run it again. The rows of ModelTriangles: corners p0, p1, p2 in the",
        "// model's own coordinates, each a multiple of 1/64.",
    ]
    titles = {0: "Right wing (y > 0)", 132: "Left wing (y < 0)", 264: "Blade"}
    for r, row in enumerate(table):
        if r in titles:
            lines.append("// %s: rows %d to %d" % (titles[r], r + 1,
                                                   next(e for f, e in PIECES if f == r)))
        corners = ", ".join("{ %s }" % ", ".join(literal(c) for c in p) for p in row)
        lines.append("{ %s }, // %d" % (corners, r + 1))
    text = "\n".join(lines) + "\n"
    with open(path, "w", newline="\n") as f:
        f.write(text)


def main():
    table = build_table()
    checks, worst_mirror = check_table(table)
    if checks.failures:
        for failure in checks.failures:
            print("make_model: " + failure, file=sys.stderr)
        print("make_model: %d checks failed, table not written" % len(checks.failures),
              file=sys.stderr)
        return 1
    lengths = [math.sqrt(dot(normal(t), normal(t))) / 4096 for t in table]
    print("make_model: %d checks passed; normals %.10g (row 31) to %.6g (row 270); "
          "mirror within %.4f" % (checks.passed, min(lengths), max(lengths), worst_mirror))
    if "--check-only" not in sys.argv[1:]:
        write_table(table, os.path.normpath(OUTPUT))
        print("make_model: wrote " + os.path.normpath(OUTPUT))
    return 0


if __name__ == "__main__":
    sys.exit(main())
