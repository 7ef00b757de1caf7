#!/usr/bin/env python3
"""Build platform/font_data.cpp: the built-in 8x8, 8x14 and 8x16 fonts.

The glyphs come from the VGA console fonts of Debian's console-setup-linux
package (/usr/share/consolefonts/*-VGA{8,14,16}.psf.gz). Each of the 256 codes
of code page 437 is mapped to its Unicode code point and the glyph for that
code point is taken from the first font (in SOURCES order) whose Unicode table
lists it. Licence: see platform/fonts/LICENSE.

Run from the repository root:  python3 tools/make_font.py
"""
import gzip
import os
import sys

FONT_DIR = "/usr/share/consolefonts"
SOURCES = ["Uni2", "FullGreek", "Uni1"]   # tried in this order
SIZES = [8, 14, 16]
OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "platform", "font_data.cpp")

# Code page 437: code -> Unicode code point. 0 is blank; 1..31 and 127 are the
# graphic characters the PC shows for control codes.
CP437 = [0x0000] + [ord(c) for c in
    "☺☻♥♦♣♠•◘○◙♂♀♪♫☼►◄↕‼¶§▬↨↑↓→←∟↔▲▼"] + list(range(0x20, 0x7F)) + [0x2302] + [ord(c) for c in
    "ÇüéâäàåçêëèïîìÄÅÉæÆôöòûùÿÖÜ¢£¥₧ƒáíóúñÑªº¿⌐¬½¼¡«»"
    "░▒▓│┤╡╢╖╕╣║╗╝╜╛┐└┴┬├─┼╞╟╚╔╩╦╠╣╬╧╨╤╥╙╘╒╓╫╪┘┌█▄▌▐▀"
    "αßΓπΣσµτΦΘΩδ∞φε∩≡±≥≤⌠⌡÷≈°∙·√ⁿ²■\u00a0"]
# Oops-proofing: the box drawing row above is typed by hand; rebuild it from
# the code points so a typo cannot slip in.
_BOX = [0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
        0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
        0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
        0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
        0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
        0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580]
CP437[0xB0:0xE0] = _BOX
CP437[0xE0:0x100] = [0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
                     0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
                     0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
                     0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0]
assert len(CP437) == 256, len(CP437)

# Second choices for code points a font may lack.
# A negative entry -c means "code point c mirrored left to right".
FALLBACK = {
    0x25BA: [0x25B6, 0x25B8], 0x25C4: [0x25C0, 0x25C2], 0x2310: [-0x00AC],
    0x00A0: [0x0020], 0x221F: [0x2514],
}
# Still missing after that: the 8x16 glyph squeezed into the smaller cell
# (rows OR-ed together), and as a last resort the plain ASCII look-alike.
LAST_RESORT = {0x20A7: 0x0050, 0x221E: 0x006F, 0x2229: 0x006E, 0x2261: 0x003D}


def read_psf(path):
    """Return (height, glyphs, {codepoint: glyph index}) of a PSF1/PSF2 font."""
    data = gzip.open(path, "rb").read()
    umap = {}
    if data[:2] == b"\x36\x04":
        mode, height = data[2], data[3]
        count = 512 if mode & 1 else 256
        pos = 4
        glyphs = [data[pos + i * height: pos + (i + 1) * height] for i in range(count)]
        pos += count * height
        if mode & 6:
            for i in range(count):
                in_seq = False
                while True:
                    u = data[pos] | data[pos + 1] << 8
                    pos += 2
                    if u == 0xFFFF:
                        break
                    if u == 0xFFFE:
                        in_seq = True
                    elif not in_seq:
                        umap.setdefault(u, i)
        return height, glyphs, umap
    if data[:4] == b"\x72\xb5\x4a\x86":
        import struct
        _, hsize, flags, count, size, height, width = struct.unpack("<7I", data[4:32])
        if width != 8:
            raise ValueError(path + ": not 8 pixels wide")
        glyphs = [data[hsize + i * size: hsize + (i + 1) * size] for i in range(count)]
        pos = hsize + count * size
        if flags & 1:
            for i in range(count):
                end = data.index(b"\xff", pos)
                text = data[pos:end].split(b"\xfe")[0].decode("utf-8")
                for ch in text:
                    umap.setdefault(ord(ch), i)
                pos = end + 1
        return height, glyphs, umap
    raise ValueError(path + ": not a PSF font")


# Glyphs that are drawn wrongly in the console fonts themselves (their bitmaps
# show other characters, e.g. a box piece for Gamma); these are squeezed from
# the 8x16 glyph instead.
BROKEN = {
    8: [0xE0, 0xE2, 0xE3, 0xE4, 0xE5, 0xE7, 0xE8, 0xE9, 0xEA, 0xEB, 0xED, 0xEE],
    14: [0xFC],
}
BLANK_CODES = {0x20, 0xFF}


def load(height):
    fonts = []
    for name in SOURCES:
        path = os.path.join(FONT_DIR, "%s-VGA%d.psf.gz" % (name, height))
        if os.path.exists(path):
            h, glyphs, umap = read_psf(path)
            assert h == height, path
            fonts.append((name, glyphs, umap))
    if not fonts:
        sys.exit("no VGA%d console font found in %s" % (height, FONT_DIR))
    return fonts


def lookup(fonts, cp):
    """The glyph for code point cp and the font it came from, or (None, None)."""
    for name, glyphs, umap in fonts:
        if cp in umap:
            return glyphs[umap[cp]], name
    return None, None


def mirror(glyph):
    return bytes(int(format(b, "08b")[::-1], 2) for b in glyph)


def squeeze(glyph, height):
    """Shrink a taller glyph to `height` rows, OR-ing the rows that merge."""
    src = len(glyph)
    out = []
    for i in range(height):
        lo, hi = i * src // height, max((i + 1) * src // height, i * src // height + 1)
        v = 0
        for r in range(lo, hi):
            v |= glyph[r]
        out.append(v)
    return bytes(out)


def build(height, tall):
    fonts = load(height)
    table, notes = [], []
    for code, cp in enumerate(CP437):
        if code == 0:
            table.append(bytes(height))
            continue
        glyph, name = lookup(fonts, cp)
        if code in BROKEN.get(height, []):
            glyph = None
        elif glyph is not None and not any(glyph) and code not in BLANK_CODES:
            # an empty bitmap for a visible character: look further
            glyph, name = lookup([f for f in fonts if not f[2].get(cp) is None
                                  and any(f[1][f[2][cp]])], cp)
        if glyph is not None and name != SOURCES[0]:
            notes.append("0x%02X U+%04X from %s" % (code, cp, name))
        for alt in FALLBACK.get(cp, []) if glyph is None else []:
            glyph, name = lookup(fonts, abs(alt))
            if glyph is not None:
                if alt < 0:
                    glyph = mirror(glyph)
                notes.append("0x%02X U+%04X drawn as %sU+%04X of %s"
                             % (code, cp, "mirrored " if alt < 0 else "", abs(alt), name))
                break
        if glyph is None and tall is not None and height < len(tall[code]) and any(tall[code]):
            glyph = squeeze(tall[code], height)
            notes.append("0x%02X U+%04X squeezed from the 8x%d glyph" % (code, cp, len(tall[code])))
        if glyph is None and cp in LAST_RESORT:
            glyph, name = lookup(fonts, LAST_RESORT[cp])
            notes.append("0x%02X U+%04X drawn as U+%04X" % (code, cp, LAST_RESORT[cp]))
        if glyph is None:
            notes.append("0x%02X U+%04X missing: blank" % (code, cp))
            glyph = bytes(height)
        table.append(glyph)
    return table, notes


def main():
    out = []
    out.append("// Generated by tools/make_font.py -- do not edit; rerun the script instead.\n")
    out.append("//\n")
    out.append("// The 256 code page 437 glyphs in 8x8, 8x14 and 8x16 cells, one byte per\n")
    out.append("// row, most significant bit leftmost. The glyphs are taken from the VGA\n")
    out.append("// console fonts (%s-VGA8/14/16.psf.gz) of Debian's\n" % ", ".join(SOURCES))
    out.append("// console-setup-linux package, picked through each font's Unicode table.\n")
    out.append("// Licence: see platform/fonts/LICENSE.\n")
    all_notes = []
    tables = {}
    for h in sorted(SIZES, reverse=True):
        tables[h], notes = build(h, tables.get(16))
        all_notes += ["8x%d: %s" % (h, n) for n in notes]
    if all_notes:
        out.append("//\n// Substitutions:\n")
        out += ["//   %s\n" % n for n in all_notes]
    out.append("\n#include \"platform/font.h\"\n\nnamespace platform::font {\n")
    for h in SIZES:
        out.append("\nconst std::uint8_t glyphs_8x%d[256][%d] = {\n" % (h, h))
        for code, g in enumerate(tables[h]):
            out.append("    {%s},  // 0x%02X\n" % (", ".join("0x%02x" % b for b in g), code))
        out.append("};\n")
    out.append("\n}  // namespace platform::font\n")
    with open(OUT, "w", encoding="utf-8") as f:
        f.write("".join(out))
    for n in all_notes:
        print(n)
    print("wrote", os.path.normpath(OUT))


if __name__ == "__main__":
    main()
