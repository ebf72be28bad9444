#!/usr/bin/python3
"""Makes the three pictures the saver reads from c:\\zelvodata\\.

    make_pictures.py OUTDIR

writes OUTDIR/cloud.bmp, OUTDIR/stars.bmp and OUTDIR/quad.bmp: 24-bit
uncompressed BMP files, 256 x 256 (the largest texture the 3D cards of the
day take; the star picture is uploaded unscaled), rows bottom-up.

- stars.bmp: black sky with stars of many sizes, brightnesses and tints; it
  tiles without seams (stars near an edge wrap round to the opposite one).
- cloud.bmp: a dim, seamless nebula; it is added onto the whole picture.
- quad.bmp: the model's skin. Every triangle of the model shows the lower
  right half of it (t <= s), so that half is drawn as one shell plate with a
  dark seam along its three edges; the other half mirrors it.

Only integer arithmetic, + - * / and square roots enter the pixels, and the
random numbers come from our own generator, so the files are byte-identical
on every run, machine and Python 3 version.
"""

import math
import os
import struct
import sys

SIZE = 256
MASK32 = 0xFFFFFFFF


# ---------------------------------------------------------------- randomness

# Returns the next state of a 32-bit xorshift generator (never 0 from non-0).
def xorshift32(state):
    state ^= (state << 13) & MASK32
    state ^= state >> 17
    state ^= (state << 5) & MASK32
    return state


class Random:
    """A seeded stream of uniform numbers in [0, 1)."""

    # Starts the stream from a seed; 0 is replaced, as xorshift sticks at it.
    def __init__(self, seed):
        self.state = (seed & MASK32) or 0x9E3779B9

    # Returns a uniform number in [0, 1) with 32 random bits.
    def uniform(self):
        self.state = xorshift32(self.state)
        return self.state / 4294967296.0

    # Returns a uniform number in [low, high).
    def between(self, low, high):
        return low + (high - low) * self.uniform()


# Mixes a lattice point and a seed into 32 well-spread bits.
def hash_point(i, j, seed):
    h = (i * 0x8DA6B343 + j * 0xD8163841 + seed * 0xCB1AB31F) & MASK32
    h ^= h >> 16
    h = (h * 0x7FEB352D) & MASK32
    h ^= h >> 15
    h = (h * 0x846CA68B) & MASK32
    h ^= h >> 16
    return h


# ------------------------------------------------------ periodic noise fields

SQRT_HALF = 0.7071067811865476
GRADIENTS = ((1.0, 0.0), (-1.0, 0.0), (0.0, 1.0), (0.0, -1.0),
             (SQRT_HALF, SQRT_HALF), (-SQRT_HALF, SQRT_HALF),
             (SQRT_HALF, -SQRT_HALF), (-SQRT_HALF, -SQRT_HALF))


# Returns the gradients of a period x period lattice that wraps both ways.
def make_lattice(period, seed):
    return [[GRADIENTS[hash_point(i, j, seed) & 7] for i in range(period)]
            for j in range(period)]


# Returns gradient noise (about -0.7..0.7) at tile position (u, v), where the
# lattice spans the tile once, so the field repeats with the tile.
def gradient_noise(lattice, u, v):
    period = len(lattice)
    x = (u % 1.0) * period
    y = (v % 1.0) * period
    i0 = int(x)
    j0 = int(y)
    fx = x - i0
    fy = y - j0
    i0 %= period
    j0 %= period
    i1 = (i0 + 1) % period
    j1 = (j0 + 1) % period
    row0 = lattice[j0]
    row1 = lattice[j1]
    g = row0[i0]
    n00 = g[0] * fx + g[1] * fy
    g = row0[i1]
    n10 = g[0] * (fx - 1.0) + g[1] * fy
    g = row1[i0]
    n01 = g[0] * fx + g[1] * (fy - 1.0)
    g = row1[i1]
    n11 = g[0] * (fx - 1.0) + g[1] * (fy - 1.0)
    wx = fx * fx * fx * (fx * (fx * 6.0 - 15.0) + 10.0)
    wy = fy * fy * fy * (fy * (fy * 6.0 - 15.0) + 10.0)
    top = n00 + (n10 - n00) * wx
    bottom = n01 + (n11 - n01) * wx
    return top + (bottom - top) * wy


class FractalNoise:
    """Octaves of periodic gradient noise, each twice as fine and half as
    strong as the one before; the sum repeats with the tile."""

    # Builds octaves on lattices of first_period, twice that, ... cells.
    def __init__(self, first_period, octaves, seed, falloff=0.5):
        self.layers = []
        period = first_period
        weight = 1.0
        for octave in range(octaves):
            self.layers.append((make_lattice(period, seed + 101 * octave),
                                weight))
            period *= 2
            weight *= falloff

    # Returns the sum of the octaves at tile position (u, v).
    def at(self, u, v):
        total = 0.0
        for lattice, weight in self.layers:
            total += weight * gradient_noise(lattice, u, v)
        return total


# ------------------------------------------------------------------- helpers

# Returns x limited to [low, high].
def clamp(x, low, high):
    return low if x < low else high if x > high else x


# Returns the smooth 0..1 step of x between edge0 and edge1.
def smoothstep(edge0, edge1, x):
    t = clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0)
    return t * t * (3.0 - 2.0 * t)


# Returns the colour between a and b at fraction f.
def mix(a, b, f):
    return (a[0] + (b[0] - a[0]) * f, a[1] + (b[1] - a[1]) * f,
            a[2] + (b[2] - a[2]) * f)


# Returns a 0..255 byte for a colour channel value.
def to_byte(value):
    return int(clamp(value, 0.0, 255.0) + 0.5)


# Packs rows of (r, g, b) floats, bottom row first, into RGB bytes.
def pack_rows(rows):
    data = bytearray()
    for row in rows:
        for r, g, b in row:
            data += bytes((to_byte(r), to_byte(g), to_byte(b)))
    return data


# ---------------------------------------------------------------------- stars

# Star colours, from blue-white to red, with how often each occurs.
STAR_TINTS = (
    (0.25, (0.80, 0.88, 1.00)),
    (0.40, (1.00, 1.00, 1.00)),
    (0.20, (1.00, 0.94, 0.80)),
    (0.10, (1.00, 0.80, 0.60)),
    (0.05, (1.00, 0.66, 0.55)),
)

# Star classes: count, core radius range (texels), peak range, glow
# (radius range, strength relative to the peak; 0: none).
STAR_CLASSES = (
    (900, (0.45, 0.65), (18.0, 90.0), (0.0, 0.0), 0.0),
    (160, (0.60, 0.85), (90.0, 200.0), (0.0, 0.0), 0.0),
    (28, (0.80, 1.10), (200.0, 320.0), (2.5, 3.5), 0.10),
    (6, (1.10, 1.40), (420.0, 560.0), (4.0, 6.0), 0.12),
)


# Picks a star tint by its share of the sky.
def pick_tint(rng):
    x = rng.uniform()
    for share, tint in STAR_TINTS:
        if x < share:
            return tint
        x -= share
    return STAR_TINTS[-1][1]


# Adds brightness times tint into the texel at (x, y), wrapping round.
def add_light(sky, x, y, brightness, tint):
    texel = sky[y % SIZE][x % SIZE]
    texel[0] += brightness * tint[0]
    texel[1] += brightness * tint[1]
    texel[2] += brightness * tint[2]


# Draws one star at (cx, cy) into the sky: a round core with a soft rim and,
# for bright stars, a faint wide glow; texels past an edge wrap round.
def draw_star(sky, cx, cy, core, peak, glow_radius, glow_strength, tint):
    reach = core * 2.5
    if glow_strength > 0.0:
        reach = max(reach, glow_radius * 3.0)
    left = int(cx - reach) - 1
    bottom = int(cy - reach) - 1
    span = int(2 * reach) + 3
    core_squared = core * core
    glow_squared = glow_radius * glow_radius
    for y in range(bottom, bottom + span):
        dy = y + 0.5 - cy
        for x in range(left, left + span):
            dx = x + 0.5 - cx
            d2 = dx * dx + dy * dy
            fall = 1.0 / (1.0 + d2 / core_squared)
            brightness = peak * fall * fall * fall
            if glow_strength > 0.0:
                halo = 1.0 / (1.0 + d2 / glow_squared)
                brightness += peak * glow_strength * halo * halo
            if brightness >= 0.25:
                add_light(sky, x, y, brightness, tint)


# Returns the star picture as RGB rows, bottom row first.
def make_stars():
    sky = [[[0.0, 0.0, 0.0] for x in range(SIZE)] for y in range(SIZE)]
    rng = Random(0x5EED57A2)
    for count, core, peak, glow, glow_strength in STAR_CLASSES:
        for n in range(count):
            cx = rng.between(0.0, SIZE)
            cy = rng.between(0.0, SIZE)
            radius = rng.between(*core)
            brightness = rng.between(*peak)
            glow_radius = rng.between(*glow)
            draw_star(sky, cx, cy, radius, brightness, glow_radius,
                      glow_strength, pick_tint(rng))
    return pack_rows(sky)


# ---------------------------------------------------------------------- cloud

CLOUD_VIOLET = (42.0, 27.0, 94.0)   # the thin parts, in one region
CLOUD_TEAL = (15.0, 76.0, 90.0)     # the thin parts, in another
CLOUD_CORE = (80.0, 72.0, 94.0)     # the densest knots, paler


# Returns the cloud picture as RGB rows, bottom row first: warped fractal
# noise for the body, a ridged field for brighter filaments inside it, and a
# slow field that shifts the hue between violet and teal.
def make_cloud():
    density = FractalNoise(4, 5, 0xC10D)
    strands = FractalNoise(4, 4, 0x57A4D)
    warp_u = FractalNoise(2, 3, 0xBEEF)
    warp_v = FractalNoise(2, 3, 0xF00D)
    hue = FractalNoise(2, 2, 0xA11CE)
    rows = []
    for y in range(SIZE):
        v = y / SIZE
        row = []
        for x in range(SIZE):
            u = x / SIZE
            wu = u + 0.22 * warp_u.at(u, v)
            wv = v + 0.22 * warp_v.at(u, v)
            haze = smoothstep(-0.45, 0.70, density.at(wu, wv))
            ridge = 1.0 - clamp(abs(strands.at(wu, wv)) * 3.0, 0.0, 1.0)
            body = haze * math.sqrt(haze) * (0.5 + 0.5 * ridge * ridge * ridge)
            tint = mix(CLOUD_VIOLET, CLOUD_TEAL,
                       smoothstep(-0.15, 0.15, hue.at(u, v)))
            colour = mix(tint, CLOUD_CORE, body * body)
            row.append((colour[0] * body, colour[1] * body,
                        colour[2] * body))
        rows.append(row)
    return pack_rows(rows)


# ----------------------------------------------------------------------- quad

SEAM = (38.0, 28.0, 10.0)           # dark brown between plates
RIM = (150.0, 156.0, 62.0)          # raised rim just inside the seam
PLATE = (110.0, 130.0, 42.0)        # olive green body of a plate
GROOVE = (70.0, 82.0, 26.0)         # growth rings
CENTRE = (224.0, 176.0, 60.0)       # amber centre
RAY = (204.0, 158.0, 52.0)          # amber rays from the centre


# Returns the barycentric weights of (s, t) in the triangle (0,0) (1,0) (1,1)
# of the picture, mirrored into it when t > s.
def plate_weights(s, t):
    if t > s:
        s, t = t, s
    return 1.0 - s, s - t, t


# Returns the 0..1 strength of the amber rays at the weights (a, b, c): a
# bold one from the centre to each corner and a faint one to the middle of
# each edge, all narrowing outwards. On a median two weights are equal.
def ray_strength(a, b, c):
    strength = 0.0
    for own, side1, side2 in ((a, b, c), (b, c, a), (c, a, b)):
        gap = abs(side1 - side2)
        if own > side1 and own > side2:
            width = 0.010 + 0.075 * (side1 + side2)
            weight = 1.0
        else:
            width = 0.012 + 0.09 * own
            weight = 0.45
        ray = weight * (1.0 - smoothstep(0.2 * width, width, gap))
        strength = max(strength, ray)
    return strength


# Returns the 0..1 depth of a growth-ring groove at plate depth d.
def groove_strength(d):
    phase = (d * 4.0 + 0.5) % 1.0
    return 1.0 - smoothstep(0.0, 0.22, min(phase, 1.0 - phase))


# Returns the colour of the skin at tile position (s, t); mottle is a small
# brightness change from a noise field.
def plate_colour(s, t, mottle):
    a, b, c = plate_weights(s, t)
    depth = 3.0 * min(a, b, c)              # 0 at the edges, 1 at the centre
    colour = mix(PLATE, GROOVE, 0.6 * groove_strength(depth))
    colour = mix(colour, RIM, 1.0 - smoothstep(0.10, 0.24, depth))
    rays = ray_strength(a, b, c) * smoothstep(0.08, 0.3, depth)
    colour = mix(colour, RAY, 0.8 * rays)
    colour = mix(colour, CENTRE, smoothstep(0.66, 0.86, depth))
    shade = 1.0 + mottle
    colour = (colour[0] * shade, colour[1] * shade, colour[2] * shade)
    return mix(SEAM, colour, smoothstep(0.025, 0.11, depth))


# Returns the skin picture as RGB rows, bottom row first.
def make_quad():
    grain = FractalNoise(8, 4, 0x5CA1E)
    rows = []
    for y in range(SIZE):
        t = (y + 0.5) / SIZE
        row = []
        for x in range(SIZE):
            s = (x + 0.5) / SIZE
            row.append(plate_colour(s, t, 0.28 * grain.at(s, t)))
        rows.append(row)
    return pack_rows(rows)


# ------------------------------------------------------------------------ BMP

# Returns a 24-bit uncompressed BMP file of packed RGB rows, bottom row first.
def bmp_file(width, height, rgb):
    stride = (width * 3 + 3) & ~3
    pixels = bytearray()
    padding = bytes(stride - width * 3)
    for y in range(height):
        row = rgb[y * width * 3:(y + 1) * width * 3]
        bgr = bytearray(len(row))
        bgr[0::3] = row[2::3]
        bgr[1::3] = row[1::3]
        bgr[2::3] = row[0::3]
        pixels += bgr + padding
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0,
                       len(pixels), 2835, 2835, 0, 0)
    header = struct.pack('<2sIHHI', b'BM', 14 + len(info) + len(pixels),
                         0, 0, 14 + len(info))
    return header + info + bytes(pixels)


# Writes one picture file into the folder.
def write_picture(folder, name, rgb):
    with open(os.path.join(folder, name), 'wb') as out:
        out.write(bmp_file(SIZE, SIZE, rgb))


# Makes the three pictures in the folder named on the command line.
def main(argv):
    if len(argv) != 2:
        sys.stderr.write('usage: make_pictures.py OUTDIR\n')
        return 2
    folder = argv[1]
    os.makedirs(folder, exist_ok=True)
    write_picture(folder, 'stars.bmp', make_stars())
    write_picture(folder, 'cloud.bmp', make_cloud())
    write_picture(folder, 'quad.bmp', make_quad())
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
