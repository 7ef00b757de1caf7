#!/usr/bin/env python3
"""Generate Tandrel's pictures and map files into data/.

    python3 tools/make_art.py          (from anywhere; plain python3, no extras)

Writes data/header1.bmp, data/header2.bmp and, for each map folder under
data/maps/ (desert, city, sky), map.def and the map's BMP pictures. Every
picture is drawn here from simple shapes on a half-resolution grid, outlined,
and doubled, which gives the chunky pixel look. The output is the same on
every run (the only randomness is a fixed-seed generator).

Geometry the pictures follow (screen y grows downwards):
  base_y = screen_h - 150 + ground_offset  (ground_offset is 0 in all maps)
  classic: the runner's and every obstacle's TOP edge is at base_y, so all
           classic sprites are SPRITE_H pixels high with their feet on the
           bottom row; the ground surface of bg.bmp therefore lies
           150 - SPRITE_H pixels above its bottom edge.
  bg.bmp is tiled along the bottom of the screen, is 2560 pixels wide and
  wraps without a seam; its top row is the map's background colour, which
  fills the sky above it.
  Pixels of pure magenta (0xFF00FF) are transparent, except in bg.bmp.
"""
import math
import os
import random
import struct

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
DATA = os.path.join(ROOT, "data")
FONT_CPP = os.path.join(ROOT, "platform", "font_data.cpp")

KEY = 0xFF00FF
BG_W = 2560
SPRITE_H = 52                  # classic runner and obstacle pictures
GROUND_UP = 150 - SPRITE_H     # ground surface, pixels above the screen's bottom edge
SCALE = 2                      # art is drawn on a half-resolution grid


# ---------------------------------------------------------------- canvas ----

class Canvas:
    """A picture being drawn: rows of 0xRRGGBB ints, None for transparent."""

    def __init__(self, w, h, fill=None, margin=0):
        # margin: free border around the drawing area (room for the outline);
        # drawing coordinates start inside it.
        self.m = margin
        self.w, self.h = w + 2 * margin, h + 2 * margin
        self.px = [[fill] * self.w for _ in range(self.h)]

    def get(self, x, y):
        x, y = x + self.m, y + self.m
        if 0 <= x < self.w and 0 <= y < self.h:
            return self.px[y][x]
        return None

    def set(self, x, y, c):
        x, y = x + self.m, y + self.m
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def rect(self, x0, y0, x1, y1, c):
        m = self.m
        for y in range(max(0, y0 + m), min(self.h, y1 + m + 1)):
            row = self.px[y]
            for x in range(max(0, x0 + m), min(self.w, x1 + m + 1)):
                row[x] = c

    def ellipse(self, cx, cy, rx, ry, c):
        for y in range(int(cy - ry) - 1, int(cy + ry) + 2):
            for x in range(int(cx - rx) - 1, int(cx + rx) + 2):
                if ((x - cx) / (rx + 0.45)) ** 2 + ((y - cy) / (ry + 0.45)) ** 2 <= 1.0:
                    self.set(x, y, c)

    def disc(self, cx, cy, r, c):
        self.ellipse(cx, cy, r, r, c)

    def line(self, x0, y0, x1, y1, c, w=1):
        n = max(abs(x1 - x0), abs(y1 - y0), 1)
        for i in range(n + 1):
            x = round(x0 + (x1 - x0) * i / n)
            y = round(y0 + (y1 - y0) * i / n)
            self.rect(x - (w - 1) // 2, y - (w - 1) // 2, x + w // 2, y + w // 2, c)

    def poly(self, pts, c):
        ys = [p[1] for p in pts]
        for y in range(int(min(ys)), int(max(ys)) + 1):
            yc = y + 0.5
            xs = []
            for (xa, ya), (xb, yb) in zip(pts, pts[1:] + pts[:1]):
                if (ya <= yc < yb) or (yb <= yc < ya):
                    xs.append(xa + (yc - ya) * (xb - xa) / (yb - ya))
            xs.sort()
            for a, b in zip(xs[::2], xs[1::2]):
                for x in range(int(math.ceil(a - 0.5)), int(math.floor(b - 0.5)) + 1):
                    self.set(x, y, c)

    def outline(self, c, diagonal=False):
        """Paint every transparent pixel next to a painted one with c."""
        add = []
        nbrs = [(1, 0), (-1, 0), (0, 1), (0, -1)]
        if diagonal:
            nbrs += [(1, 1), (1, -1), (-1, 1), (-1, -1)]
        def at(x, y):
            return self.px[y][x] if 0 <= x < self.w and 0 <= y < self.h else None
        for y in range(self.h):
            for x in range(self.w):
                if self.px[y][x] is None and any(
                        at(x + dx, y + dy) is not None for dx, dy in nbrs):
                    add.append((x, y))
        for x, y in add:
            self.px[y][x] = c

    def recolour(self, mapping):
        for row in self.px:
            for i, v in enumerate(row):
                if v in mapping:
                    row[i] = mapping[v]

    def crop(self):
        """The smallest canvas holding every painted pixel."""
        xs = [x for row in self.px for x, v in enumerate(row) if v is not None]
        ys = [y for y, row in enumerate(self.px) if any(v is not None for v in row)]
        out = Canvas(max(xs) - min(xs) + 1, max(ys) - min(ys) + 1)
        for y in range(out.h):
            out.px[y] = self.px[min(ys) + y][min(xs):max(xs) + 1]
        return out

    def scaled(self, k):
        out = Canvas(self.w * k, self.h * k)
        for y in range(self.h):
            row = [v for v in self.px[y] for _ in range(k)]
            for j in range(k):
                out.px[y * k + j] = list(row)
        return out

    def padded_top(self, h):
        """Bottom-aligned in a canvas of height h (transparent rows on top)."""
        assert self.h <= h, (self.h, h)
        out = Canvas(self.w, h)
        out.px[h - self.h:] = [list(r) for r in self.px]
        return out



def mix(a, b, t):
    """Blend colour a towards b by t (0..1)."""
    t = max(0.0, min(1.0, t))
    return tuple_rgb(*(round(((a >> s) & 255) * (1 - t) + ((b >> s) & 255) * t) for s in (16, 8, 0)))


def tuple_rgb(r, g, b):
    return (r << 16) | (g << 8) | b


def shade(c, f):
    """Lighten (f > 0) or darken (f < 0) a colour."""
    return mix(c, 0xFFFFFF if f > 0 else 0x000000, abs(f))


# ------------------------------------------------------------------- BMP ----

def write_bmp(path, canvas, fill_key=True):
    """24-bit uncompressed BMP, bottom-up rows padded to 4 bytes."""
    w, h = canvas.w, canvas.h
    stride = (w * 3 + 3) & ~3
    body = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray()
        for v in canvas.px[y]:
            if v is None:
                assert fill_key, path + ": transparent pixel in an opaque picture"
                v = KEY
            row += bytes((v & 255, (v >> 8) & 255, (v >> 16) & 255))
        row += bytes(stride - len(row))
        body += row
    header = struct.pack("<2sIHHI", b"BM", 54 + len(body), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(body), 2835, 2835, 0, 0)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(header + info + body)


def write_map_def(path, values):
    """One line of comma-separated values ended by CR LF; names in quotes."""
    parts = ['"%s"' % v if isinstance(v, str) else str(v) for v in values]
    with open(path, "wb") as f:
        f.write((",".join(parts) + "\r\n").encode("cp437"))


def classic_sprite(art):
    """Outline, double and bottom-align a classic sprite to SPRITE_H."""
    return art.crop().scaled(SCALE).padded_top(SPRITE_H)


def free_sprite(art):
    return art.crop().scaled(SCALE)


def bg_canvas(height):
    """The empty half-resolution canvas of a bg.bmp `height` pixels high, with
    its width, its height and its first ground row (where the classic runners'
    feet stand)."""
    h = height // SCALE
    w = BG_W // SCALE
    return Canvas(w, h), w, h, (height - GROUND_UP) // SCALE


def periodic(x, period, terms):
    """Sum of sines that repeats exactly every `period`: terms (freq, amp, phase)."""
    return sum(a * math.sin(2 * math.pi * f * x / period + p) for f, a, p in terms)


def hline_noise(rng, period, count, lo, hi):
    return [(rng.randrange(1, count + 1), rng.uniform(lo, hi), rng.uniform(0, 6.283))
            for _ in range(count)]


# ---------------------------------------------------------------- banner ----

def font_8x16():
    src = open(FONT_CPP, encoding="utf-8").read()
    part = src.split("glyphs_8x16[256][16] = {")[1].split("};")[0]
    glyphs = []
    for line in part.strip().splitlines():
        inner = line[line.index("{") + 1:line.index("}")]
        glyphs.append([int(v, 16) for v in inner.split(",")])
    return glyphs


def banner(frame):
    glyphs = font_8x16()
    text = "Tandrel"
    rows = [r for r in range(16) if any(glyphs[ord(ch)][r] for ch in text)]
    top, bottom = rows[0], rows[-1]
    sx, sy = 5, 4
    gw, gh = len(text) * 8 * sx, (bottom - top + 1) * sy
    W, H = 300, 68
    ox, oy = (W - gw) // 2 + 2, (H - gh) // 2
    mask = set()
    for i, ch in enumerate(text):
        g = glyphs[ord(ch)]
        for r in range(top, bottom + 1):
            for b in range(8):
                if g[r] & (0x80 >> b):
                    for yy in range(sy):
                        for xx in range(sx):
                            mask.add((ox + (i * 8 + b) * sx + xx, oy + (r - top) * sy + yy))

    def grow(points, n):
        out = set(points)
        for _ in range(n):
            out |= {(x + dx, y + dy) for x, y in out for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1))}
        return out

    c = Canvas(W, H)
    if frame == 2:   # soft glow around the letters
        glow3 = grow(mask, 8)
        glow2 = grow(mask, 6)
        for x, y in glow3:
            c.set(x, y, 0x4A1800)
        for x, y in glow2:
            c.set(x, y, 0x8A3A00)
    ring = grow(mask, 3)
    for x, y in {(x + 3, y + 4) for x, y in ring}:
        c.set(x, y, 0x3A0A14)
    for x, y in ring:
        c.set(x, y, 0xC02818 if frame == 1 else 0xFF5A1E)
    for x, y in grow(mask, 1):
        c.set(x, y, 0x5A0A08 if frame == 1 else 0x902008)
    if frame == 1:
        top_c, bot_c = 0xFFE45C, 0xF07818
    else:
        top_c, bot_c = 0xFFFFD8, 0xFFB02E
    for x, y in mask:
        t = (y - oy) / max(1, gh - 1)
        col = mix(top_c, bot_c, t)
        if (x, y - 1) not in mask or (x, y - 2) not in mask:
            col = mix(col, 0xFFFFFF, 0.55)        # lit top edges
        elif (x, y + 1) not in mask or (x, y + 2) not in mask:
            col = mix(col, 0x802000, 0.45)        # shaded lower edges
        c.set(x, y, col)
    if frame == 2:   # sparkles
        for sx0, sy0, r in ((ox + 14, oy + 4, 6), (ox + 126, oy + 2, 5),
                            (ox + 248, oy + 10, 7), (ox + 190, oy + gh - 6, 4),
                            (ox + 64, oy + gh - 4, 4)):
            for d in range(-r, r + 1):
                k = 0xFFFFFF if abs(d) < r - 1 else 0xFFE8A0
                c.set(sx0 + d, sy0, k)
                c.set(sx0, sy0 + d, k)
            for d in (-1, 1):
                c.set(sx0 + d, sy0 + d, 0xFFF4C0)
                c.set(sx0 + d, sy0 - d, 0xFFF4C0)
    return c


# ---------------------------------------------------------------- runner ----

def runner(jump, palette, feet, dress, headwear):
    """A classic runner facing right, in the stride or jump both maps share.

    palette: (light, shaded) pairs for skin, top and trousers; shoe, sole
    (None where the shoe is one colour down to the ground) and outline.
    feet[jump]: (ankle, foot) of the back leg, then of the front leg; a foot
    is (left x, top y, right x) and two rows high. The runners differ there
    because their footwear does.
    dress(a, jump) and headwear(a) draw what the runner wears over the torso
    and on the head."""
    a = Canvas(24, 26, margin=2)
    SKIN, SKIND = palette["skin"]
    TOP, TOPD = palette["top"]
    TROUSERS, TROUSERSD = palette["trousers"]
    (back_ankle, back_foot), (front_ankle, front_foot) = feet[jump]

    def leg(hip, knee, ankle, foot, colour):
        a.line(*hip, *knee, colour, 2)
        a.line(*knee, *ankle, colour, 2)
        x0, y0, x1 = foot
        a.rect(x0, y0, x1, y0 + 1, palette["shoe"])
        if palette["sole"] is not None:
            a.rect(x0, y0 + 1, x1, y0 + 1, palette["sole"])

    if not jump:
        back_knee, front_knee = (7, 19), (15, 19)
        back_arm, back_hand = (10, 10, 13, 13), (13, 13, 14, 14)   # swinging forward
        front_arm, front_hand = (11, 10, 8, 13), (6, 13, 7, 14)
    else:
        back_knee, front_knee = (6, 18), (16, 17)
        back_arm, back_hand = (10, 10, 7, 6), (6, 5, 7, 6)
        front_arm, front_hand = (12, 10, 16, 7), (16, 5, 17, 6)
    # back leg and arm (far side, darker): the leg pushing off behind
    leg((9, 16), back_knee, back_ankle, back_foot, TROUSERSD)
    a.line(*back_arm, TOPD, 2)
    a.rect(*back_hand, SKIND)
    # torso
    a.rect(9, 8, 13, 15, TOP)
    a.rect(9, 13, 13, 15, TOPD)
    a.rect(9, 15, 13, 16, TROUSERS)
    dress(a, jump)
    leg((12, 16), front_knee, front_ankle, front_foot, TROUSERS)
    # head
    a.rect(10, 2, 14, 7, SKIN)
    a.rect(10, 6, 11, 7, SKIND)
    a.set(13, 4, 0x1A1010)                          # eye
    a.set(15, 5, SKIN)                              # nose
    headwear(a)
    # front arm
    a.line(*front_arm, TOP, 2)
    a.rect(*front_hand, SKIN)
    a.outline(palette["outline"])
    return classic_sprite(a)


# ---------------------------------------------------------------- desert ----

DESERT_SKY = 0x2D6CB5
OUTLINE = 0x24140C


def explorer(jump):
    """The desert runner: explorer with hat and scarf, facing right."""
    HAT, HATD, BAND, SCARF = 0xD9A55B, 0x9C6B33, 0x5A3418, 0xD8342A
    palette = dict(skin=(0xF2C08A, 0xC98B58), top=(0xE8DCC0, 0xB8A880),
                   trousers=(0x6E5A3A, 0x4A3A24), shoe=0x4A2A14, sole=None,
                   outline=OUTLINE)
    # the shins reach down into the tops of the boots
    feet = {False: (((4, 22), (2, 22, 5)), ((15, 22), (15, 22, 18))),
            True: (((3, 20), (1, 20, 3)), ((16, 21), (16, 21, 19)))}

    def belt_and_scarf(a, jump):
        a.rect(9, 14, 13, 14, BAND)                 # belt
        a.rect(9, 8, 13, 9, SCARF)                  # scarf, tail flying back
        a.line(9, 9, 6, 11 if not jump else 9, SCARF, 2)

    def hair_and_hat(a):
        a.rect(9, 3, 10, 5, 0x6A3A1E)               # hair at the back
        # hat: crown and wide brim (the band hides the head's top row)
        a.rect(10, 0, 14, 2, HAT)
        a.rect(10, 2, 14, 2, BAND)
        a.rect(7, 3, 17, 3, HATD)
        a.rect(11, 0, 13, 0, shade(HAT, 0.3))

    return runner(jump, palette, feet, belt_and_scarf, hair_and_hat)


def cactus():
    a = Canvas(20, 24, margin=2)
    G, GL, GD = 0x3F9A3A, 0x7BCB5A, 0x24652A
    a.rect(7, 1, 11, 21, G)                          # trunk
    a.ellipse(9, 2, 2, 2, G)
    a.rect(2, 8, 4, 14, G)                           # left arm
    a.ellipse(3, 8, 1, 1, G)
    a.rect(2, 13, 7, 15, G)
    a.rect(14, 5, 16, 11, G)                         # right arm
    a.ellipse(15, 5, 1, 1, G)
    a.rect(11, 10, 16, 12, G)
    for x in (8, 10):                                # ribs
        a.rect(x, 2, x, 20, GD)
    a.rect(7, 2, 7, 20, GL)
    a.rect(2, 9, 2, 14, GL)
    a.rect(14, 6, 14, 11, GL)
    for y in range(3, 20, 3):                        # spines
        a.set(6, y, 0xF0E0A0)
        a.set(12, y + 1, 0xF0E0A0)
    a.set(9, 0, 0xF04A7A)                            # a flower on top
    a.set(8, 0, 0xF8B0C8)
    a.set(10, 0, 0xF8B0C8)
    a.rect(4, 21, 14, 21, 0xC9A060)                  # sand heaped at the foot
    a.rect(5, 20, 6, 20, 0xC9A060)
    a.rect(12, 20, 13, 20, 0xC9A060)
    a.outline(0x15301A)
    return classic_sprite(a)


def boulder():
    a = Canvas(22, 20, margin=2)
    R, RL, RD, RDD = 0xB0654A, 0xD8906A, 0x7E4232, 0x5A2C22
    a.poly([(1, 17), (2, 9), (5, 4), (9, 2), (13, 5), (16, 11), (16, 17)], R)
    a.poly([(3, 9), (5, 5), (9, 3), (10, 5), (7, 7), (5, 11)], RL)
    a.poly([(11, 10), (16, 11), (16, 17), (10, 17)], RD)
    a.line(7, 8, 10, 12, RDD)                        # crack
    a.line(10, 12, 9, 15, RDD)
    a.rect(3, 13, 5, 13, RD)                         # strata
    a.rect(11, 7, 13, 7, RD)
    a.rect(0, 17, 17, 17, 0xC9A060)                  # sand
    a.rect(3, 16, 4, 16, 0xC9A060)
    a.outline(0x2E160E)
    return classic_sprite(a)


def skull_post():
    """A bleached ox skull on a wooden stake."""
    a = Canvas(24, 22, margin=2)
    B, BL, BD, WOOD, WOODD = 0xEFE6D0, 0xFFFFF2, 0xB8AC90, 0x8A5A30, 0x5E3A1C
    a.rect(10, 10, 12, 20, WOOD)                     # stake
    a.rect(12, 10, 12, 20, WOODD)
    a.ellipse(11, 7, 5, 4, B)                        # cranium
    a.rect(8, 9, 14, 12, B)                          # snout
    a.rect(9, 13, 13, 13, B)
    a.line(6, 5, 4, 4, B, 2)                         # horns
    a.line(4, 4, 3, 1, B, 2)
    a.line(16, 5, 18, 4, B, 2)
    a.line(18, 4, 19, 1, B, 2)
    a.rect(8, 4, 13, 4, BL)
    a.rect(8, 6, 9, 7, 0x2A1A14)                     # eye holes
    a.rect(13, 6, 14, 7, 0x2A1A14)
    a.set(10, 11, BD)                                # nostrils
    a.set(12, 11, BD)
    a.rect(8, 12, 14, 12, BD)
    a.rect(6, 20, 16, 20, 0xC9A060)                  # sand heap
    a.rect(8, 19, 14, 19, 0xC9A060)
    a.outline(0x3A2A1E)
    return classic_sprite(a)


def desert_bg():
    c, w, h, ground = bg_canvas(250)
    rng = random.Random(7)
    horizon = ground - 34
    for y in range(h):                               # sky: deep blue to warm haze
        t = (y / horizon) ** 1.6 if y < horizon else 1.0
        c.rect(0, y, w - 1, y, mix(DESERT_SKY, 0xE8C89A, t * 0.85))
    # far mesas
    far = hline_noise(rng, w, 5, 1.5, 4)
    for x in range(w):
        top = horizon - 10 + periodic(x, w, far)
        c.rect(x, int(top), x, ground, 0xC99A8A)
    for cx0, width, hh in ((90, 70, 30), (420, 110, 24), (760, 60, 36), (1050, 90, 27)):
        for x in range(cx0 - width // 2 - 6, cx0 + width // 2 + 7):
            edge = abs(x - cx0) - width // 2
            top = horizon - hh + max(0, edge) * 4
            c.rect(x % w, int(top), x % w, ground, 0xB27A6E)
            if edge < 0:
                c.set(x % w, int(top), 0xD6A08A)
                if (x - cx0) % 9 == 0:
                    c.rect(x % w, int(top) + 3, x % w, int(top) + hh // 2, 0x9A6660)
    # dunes in front
    near = hline_noise(rng, w, 6, 1, 3)
    for x in range(w):
        top = horizon + 6 + periodic(x, w, near)
        for y in range(int(top), ground):
            c.set(x, y, mix(0xE7B96E, 0xD39A52, (y - top) / 14))
        c.set(x, int(top), 0xF4D08C)
    # a few small far cacti on the dunes
    for x0 in range(37, w, 173):
        y0 = ground - 6 - rng.randrange(0, 4)
        c.rect(x0, y0 - 5, x0, y0, 0x5C8A40)
        c.rect(x0 - 2, y0 - 3, x0 - 2, y0 - 2, 0x5C8A40)
        c.rect(x0 - 2, y0 - 2, x0, y0 - 2, 0x5C8A40)
        c.rect(x0 + 2, y0 - 4, x0 + 2, y0 - 3, 0x5C8A40)
        c.rect(x0, y0 - 3, x0 + 2, y0 - 3, 0x5C8A40)
    # the track: packed sand with a bright edge, stones, and darker layers
    for y in range(ground, h):
        t = (y - ground) / (h - ground)
        c.rect(0, y, w - 1, y, mix(0xD9A45A, 0xA8703A, t))
    c.rect(0, ground, w - 1, ground, 0xF2CF86)
    c.rect(0, ground + 1, w - 1, ground + 1, 0xE4B46A)
    for _ in range(260):
        x, y = rng.randrange(w), rng.randrange(ground + 3, h)
        col = rng.choice((0xB77E44, 0xC48C50, 0x8E5A30, 0xE8BE7A))
        c.set(x, y, col)
        if rng.random() < 0.4:
            c.set((x + 1) % w, y, col)
    for x0 in range(0, w, 40):                       # wind ripples
        x = x0 + rng.randrange(0, 20)
        y = rng.randrange(ground + 8, h - 4)
        for d in range(6):
            c.set((x + d) % w, y + (1 if d in (0, 5) else 0), 0xC2884A)
    for x0 in range(11, w, 97):                      # pebbles on the edge
        c.rect(x0, ground + 2, x0 + 1, ground + 3, 0x9A6A44)
        c.set(x0, ground + 2, 0xC9A070)
    return c.scaled(SCALE)


# ------------------------------------------------------------------ city ----

CITY_SKY = 0x1A2348


def kid(jump):
    """The city runner: a kid in a cap, hoodie and sneakers, facing right."""
    CAP, CAPD = 0xE23A2E, 0xA0221C
    palette = dict(skin=(0xE8B088, 0xB8805C), top=(0x3A9AD8, 0x236A9C),
                   trousers=(0x34487A, 0x233258), shoe=0xF2F2F2, sole=0xD0302A,
                   outline=0x10121E)
    # low sneakers: the shins stop short of them, and the front foot is
    # tucked a row higher in the jump
    feet = {False: (((4, 21), (2, 22, 5)), ((15, 21), (15, 22, 18))),
            True: (((3, 20), (1, 20, 3)), ((16, 20), (16, 20, 19)))}

    def hoodie_print(a, jump):
        a.rect(10, 11, 12, 12, 0xF2D04A)            # print on the front

    def hair_and_cap(a):
        a.rect(9, 3, 10, 6, 0x3A2418)               # hair
        a.rect(9, 0, 14, 2, CAP)                    # cap with the peak forward
        a.rect(14, 2, 17, 2, CAPD)
        a.set(11, 0, shade(CAP, 0.35))

    return runner(jump, palette, feet, hoodie_print, hair_and_cap)


def hydrant():
    a = Canvas(16, 22, margin=2)
    R, RL, RD = 0xD8302A, 0xF06A50, 0x8A1A18
    a.rect(4, 5, 10, 18, R)                          # barrel
    a.rect(3, 4, 11, 5, R)                           # top ring
    a.ellipse(7, 3, 3, 2, R)                         # dome
    a.rect(6, 0, 8, 1, RD)                           # cap nut
    a.rect(1, 8, 13, 10, R)                          # side outlets
    a.rect(0, 8, 0, 10, RD)
    a.rect(14, 8, 14, 10, RD)
    a.rect(6, 8, 8, 10, 0xF2C43A)                    # front cap
    a.rect(2, 18, 12, 19, RD)                        # base flange
    a.rect(5, 5, 5, 17, RL)
    a.rect(10, 5, 10, 17, RD)
    a.rect(5, 12, 9, 12, RD)
    a.outline(0x1A0A0A)
    return classic_sprite(a)


def trash_can():
    a = Canvas(16, 22, margin=2)
    M, ML, MD = 0x8E9AA4, 0xC4CED6, 0x5A646E
    a.poly([(2, 5), (13, 5), (12, 19), (3, 19)], M)  # tapered body
    for x in (4, 7, 10):                             # ribs
        a.rect(x, 6, x, 18, ML if x == 4 else MD)
    a.rect(1, 3, 14, 4, MD)                          # lid
    a.rect(2, 2, 13, 2, M)
    a.rect(6, 0, 9, 1, MD)                           # handle
    a.rect(7, 1, 8, 1, None)
    a.rect(3, 19, 12, 19, MD)
    a.rect(9, 1, 11, 1, 0x6AA84A)                    # a lettuce leaf sticking out
    a.set(12, 2, 0x6AA84A)
    a.outline(0x14181E)
    return classic_sprite(a)


def traffic_cone():
    a = Canvas(18, 22, margin=2)
    O, OL, OD, W = 0xF57A1E, 0xFFA858, 0xB84E10, 0xF4F4F4
    a.poly([(7, 0), (9, 0), (14, 17), (2, 17)], O)
    a.poly([(5, 6), (11, 6), (12, 9), (4, 9)], W)     # reflective stripes
    a.poly([(3, 12), (13, 12), (13.5, 14), (2.5, 14)], W)
    a.line(7, 1, 4, 16, OL)
    a.rect(0, 17, 16, 19, 0x3A3A3A)                  # rubber base
    a.rect(0, 17, 16, 17, 0x5A5A5A)
    a.outline(0x1A1008)
    return classic_sprite(a)


def city_bg():
    c, w, h, ground = bg_canvas(280)
    rng = random.Random(11)
    for y in range(h):                               # night sky, lighter at the horizon
        c.rect(0, y, w - 1, y, mix(CITY_SKY, 0x5A3C6A, (y / ground) ** 2.2))
    for _ in range(60):                              # stars
        c.set(rng.randrange(w), rng.randrange(3, ground // 2), rng.choice((0xFFFFFF, 0xC8D0FF, 0x8890C0)))
    c.disc(980, 12, 6, 0xF4F0D0)                     # the moon
    c.disc(983, 10, 5, mix(CITY_SKY, 0x5A3C6A, 0.02))

    def skyline(base, lo, hi, wmin, wmax, body, lit, unlit, lit_share, seed):
        r = random.Random(seed)
        x = 0
        while x < w:
            bw = r.randrange(wmin, wmax)
            bh = r.randrange(lo, hi)
            top = base - bh
            for xx in range(x, min(x + bw, w)):
                c.rect(xx, top, xx, base, body)
            if r.random() < 0.3:                     # roof tank or antenna
                ax = x + bw // 2
                c.rect(ax, top - 5, ax, top, body)
                c.set(ax, top - 6, 0xFF4040)
            for wy in range(top + 3, base - 2, 4):
                for wx in range(x + 2, x + bw - 2, 3):
                    if wx + 1 < min(x + bw, w):
                        c.rect(wx, wy, wx + 1, wy + 1, lit if r.random() < lit_share else unlit)
            x += bw + r.randrange(0, 3)

    skyline(ground - 4, 30, 70, 14, 34, 0x2A2C50, 0x6A6490, 0x30325A, 0.25, 3)
    skyline(ground - 2, 14, 46, 18, 40, 0x191A30, 0xF2D27A, 0x24263E, 0.35, 5)
    # street lamps
    for x0 in range(40, w, 160):
        c.rect(x0, ground - 30, x0, ground - 1, 0x40424E)
        c.rect(x0, ground - 30, x0 + 5, ground - 30, 0x40424E)
        c.rect(x0 + 4, ground - 29, x0 + 6, ground - 29, 0xFFF2B0)
        for dy in range(1, 12):                      # a soft cone of light
            for dx in range(-dy // 2, dy // 2 + 1):
                p = c.get((x0 + 5 + dx) % w, ground - 29 + dy)
                if p is not None:
                    c.set((x0 + 5 + dx) % w, ground - 29 + dy, mix(p, 0xFFE8A0, 0.18))
    # pavement: the running surface, kerb, road with lane markings
    c.rect(0, ground, w - 1, ground + 11, 0x8A8C96)
    c.rect(0, ground, w - 1, ground, 0xB4B6C0)
    for x0 in range(0, w, 16):                       # paving slabs
        c.rect(x0, ground + 1, x0, ground + 11, 0x72747E)
    c.rect(0, ground + 6, w - 1, ground + 6, 0x7A7C86)
    c.rect(0, ground + 12, w - 1, ground + 14, 0xC8C8C8)   # kerb
    c.rect(0, ground + 14, w - 1, ground + 14, 0x808080)
    c.rect(0, ground + 15, w - 1, h - 1, 0x3A3C44)   # road
    for _ in range(400):
        c.set(rng.randrange(w), rng.randrange(ground + 15, h), rng.choice((0x44464E, 0x32343A)))
    lane = ground + 15 + (h - ground - 15) // 2
    for x0 in range(0, w, 40):
        c.rect(x0, lane, x0 + 19, lane + 1, 0xE8D060)
    for x0 in range(0, w, 160):                      # drains on the kerb
        c.rect(x0 + 90, ground + 15, x0 + 95, ground + 16, 0x22232A)
    return c.scaled(SCALE)


# ------------------------------------------------------------------- sky ----

SKY_BLUE = 0x2F74C6


def plane():
    """The free run's character: a small red biplane, facing right."""
    a = Canvas(24, 14, margin=2)
    R, RL, RD = 0xD83A2E, 0xF27A5A, 0x8E2018
    a.rect(8, 1, 8, 5, 0x5A3A2A)                     # struts
    a.rect(15, 1, 15, 5, 0x5A3A2A)
    a.poly([(1, 5), (16, 5), (19, 6), (19, 10), (16, 11), (5, 10), (1, 7)], R)  # fuselage
    a.poly([(0, 1), (3, 1), (6, 5), (1, 6)], R)        # tail fin
    a.rect(1, 1, 2, 1, RL)
    a.rect(6, 9, 17, 11, RD)                         # lower wing seen from the side
    a.rect(6, 9, 17, 9, R)
    a.rect(5, 0, 18, 1, R)                           # upper wing
    a.rect(5, 0, 18, 0, RL)
    a.rect(2, 6, 16, 6, RL)                          # highlight along the top
    a.rect(0, 7, 5, 7, RD)                           # tail plane
    a.disc(12, 4, 1, 0x6A4428)                       # pilot in a leather cap
    a.rect(13, 4, 13, 4, 0x9CD4F4)                   # goggles
    a.rect(15, 5, 16, 5, 0x9CD4F4)                   # windscreen
    a.rect(20, 7, 20, 9, 0x707070)                   # spinner
    a.rect(21, 2, 21, 13, 0xD0D4D8)                  # spinning propeller
    a.rect(21, 2, 21, 3, 0xF0F0F0)
    a.rect(21, 12, 21, 13, 0xF0F0F0)
    a.line(11, 11, 10, 12, 0x3A3A3A)                 # landing gear
    a.disc(10, 13, 1, 0x222222)
    a.outline(0x1E0C0A)
    return free_sprite(a)


def bird():
    """A dark crow, wings raised."""
    a = Canvas(20, 16, margin=2)
    B, BL, BEAK = 0x2A2A36, 0x4A4A60, 0xF2B22A
    a.ellipse(9, 10, 5, 2, B)                        # body
    a.disc(15, 8, 2, B)                              # head
    a.poly([(17, 8), (19, 9), (17, 10)], BEAK)
    a.set(15, 7, 0xFFFFFF)
    a.poly([(6, 9), (3, 2), (1, 0), (5, 1), (11, 8)], B)   # far wing
    a.poly([(8, 9), (9, 2), (13, 0), (12, 4), (12, 9)], BL)  # near wing
    a.poly([(4, 10), (0, 12), (1, 9)], B)            # tail
    a.rect(9, 13, 9, 13, BEAK)                       # feet
    a.rect(11, 13, 11, 13, BEAK)
    a.outline(0x0E0E14)
    return free_sprite(a)


def balloons():
    """A bunch of escaped party balloons."""
    a = Canvas(18, 19, margin=2)
    EDGE = 0x141A26
    for cx, cy, col in ((3, 4, 0xE8342E), (13, 4, 0xF2C42A), (8, 7, 0x38A8E8)):
        a.ellipse(cx, cy, 4, 5, EDGE)
        a.ellipse(cx, cy, 3, 4, col)
        a.set(cx - 1, cy - 2, shade(col, 0.6))
        a.set(cx - 2, cy - 1, shade(col, 0.35))
        a.set(cx, cy + 5, EDGE)
    a.outline(EDGE)
    STRING = 0xE8E8E8                                # thin strings, drawn unoutlined
    a.line(3, 11, 8, 18, STRING)
    a.line(13, 11, 8, 18, STRING)
    a.line(8, 14, 8, 18, STRING)
    return free_sprite(a)


def storm_cloud():
    """A dark thundercloud with a lightning bolt."""
    a = Canvas(24, 18, margin=2)
    C, CL, CD = 0x5A6070, 0x7E8496, 0x3A3E4A
    for cx, cy, r in ((6, 6, 4), (12, 4, 5), (18, 6, 4), (9, 8, 4), (15, 8, 4)):
        a.disc(cx, cy, r, C)
    a.disc(11, 3, 3, CL)
    a.disc(6, 5, 2, CL)
    a.rect(3, 10, 21, 11, CD)
    Y = 0xFFE24A
    a.poly([(12, 11), (15, 11), (13, 14), (15, 14), (10, 18), (11, 15), (9, 15)], Y)
    a.set(13, 12, 0xFFFFFF)
    a.outline(0x1A1C24)
    return free_sprite(a)


def drone():
    a = Canvas(22, 14, margin=2)
    G, GL, GD = 0x5A5E66, 0x9AA0AA, 0x2E3036
    a.rect(7, 6, 14, 9, G)                           # body
    a.rect(8, 6, 13, 6, GL)
    a.rect(3, 5, 18, 5, GD)                          # arms
    a.rect(3, 3, 3, 5, GD)
    a.rect(18, 3, 18, 5, GD)
    a.rect(0, 2, 6, 2, 0xC8D0D8)                     # rotors
    a.rect(15, 2, 21, 2, 0xC8D0D8)
    a.set(13, 8, 0xFF3030)                           # light
    a.rect(9, 10, 12, 11, GD)                        # camera
    a.set(10, 11, 0x58C0FF)
    a.rect(6, 10, 6, 12, GD)                         # legs
    a.rect(15, 10, 15, 12, GD)
    a.outline(0x101216)
    return free_sprite(a)


def sky_bg():
    c, w, h, _ = bg_canvas(300)                      # the free run has no ground
    rng = random.Random(5)
    for y in range(h):
        c.rect(0, y, w - 1, y, mix(SKY_BLUE, 0xB8DCF4, (y / h) ** 1.3))
    # far snowy mountains: a ring of peaks that wraps around the picture
    ridge = [h - 40] * w
    for px0 in range(0, w, 80):
        peak_x = px0 + rng.randrange(0, 50)
        peak_h = rng.randrange(40, 70)
        for dx in range(-70, 71):
            y = h - 40 - peak_h + abs(dx) * 0.9
            x = (peak_x + dx) % w
            ridge[x] = min(ridge[x], y)
    for x in range(w):
        top = int(ridge[x])
        for y in range(top, h):
            sunny = ridge[(x + 1) % w] > ridge[x]       # slopes falling to the right
            col = 0x8A9CC0 if sunny else 0x6E80A6
            if y < top + 6 and top < h - 70:
                col = 0xF4F8FC if sunny else 0xC8D4E6
            c.set(x, y, col)
    # clouds drifting in front of the mountains
    for cx0 in range(30, w, 190):
        cy0 = rng.randrange(h - 100, h - 60)
        for k in range(5):
            r = rng.randrange(5, 10)
            c.ellipse((cx0 + k * 8) % w, cy0 - r // 2, r + 3, r, 0xFFFFFF)
        for k in range(5):
            c.ellipse((cx0 + k * 8) % w, cy0 + 3, 9, 3, 0xDDE8F4)
    # green hills
    near = [(4, 7, 0.3), (9, 4, 1.7), (17, 2, 2.6)]
    for x in range(w):
        top = int(h - 34 + periodic(x, w, near))
        for y in range(top, h):
            c.set(x, y, mix(0x5CB04A, 0x2E7A34, (y - top) / 30))
        c.set(x, top, 0x8ED66A)
    # a few trees on the hills
    for x0 in range(25, w, 63):
        top = int(h - 34 + periodic(x0, w, near))
        c.rect(x0, top - 2, x0, top + 1, 0x5A3A1E)
        c.disc(x0, top - 5, 3, 0x2A6A2A)
        c.set(x0 - 1, top - 7, 0x4A9A40)
    return c.scaled(SCALE)


# ------------------------------------------------------------------ main ----

def check_bg(canvas, name):
    assert canvas.w == BG_W, name
    assert all(v is not None for row in canvas.px for v in row), name


def write_map(name, characters, bg, obstacles, map_def):
    """One map folder: the character pictures (file name, picture), bg.bmp,
    the obstacles numbered from 1 in the given order, and map.def."""
    d = os.path.join(DATA, "maps", name)
    for file_name, picture in characters:
        write_bmp(os.path.join(d, file_name), picture)
    check_bg(bg, name)
    write_bmp(os.path.join(d, "bg.bmp"), bg, fill_key=False)
    for k, sprite in enumerate(obstacles, 1):
        write_bmp(os.path.join(d, "hindernis_%d.bmp" % k), sprite)
    write_map_def(os.path.join(d, "map.def"), map_def)


def main():
    write_bmp(os.path.join(DATA, "header1.bmp"), banner(1))
    write_bmp(os.path.join(DATA, "header2.bmp"), banner(2))
    write_map("desert", [("runner.bmp", explorer(False)), ("runnerjump.bmp", explorer(True))],
              desert_bg(), (cactus(), boulder(), skull_post()),
              [DESERT_SKY, 10, "Fennek", 0, 3, 5])
    write_map("city", [("runner.bmp", kid(False)), ("runnerjump.bmp", kid(True))],
              city_bg(), (hydrant(), trash_can(), traffic_cone()),
              [CITY_SKY, 10, "Taxi", 0, 3, 5])
    write_map("sky", [("char.bmp", plane())],
              sky_bg(), (bird(), balloons(), storm_cloud(), drone()),
              [SKY_BLUE, 10, "Pilot", 0, 4, 340, 5])
    print("wrote pictures and map files under", DATA)


if __name__ == "__main__":
    main()
