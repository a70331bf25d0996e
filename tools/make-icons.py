#!/usr/bin/env python3
"""Pellmor's icon tool: text pixel art in, 16-colour .ico files and previews out.

    make-icons.py ico ART.txt OUT.ico
        One art file as a 32 x 32, 4-bit .ico with its AND mask.
    make-icons.py sheet OUT.png ART.txt...
        All images enlarged and labelled, and below them the envelope with a
        square and each overlay laid on it as the tray shows them.
    make-icons.py preview OUT.png ART.txt...
        Those tray pictures at their real size and shrunk to 16 x 16 (by
        averaging and by dropping pixels), on light and dark task bars, each
        also magnified: for judging whether the art reads at tray size.

An art file holds, in this order: a legend of 17 lines, one per character
("K = black (0, 0, 0)" for the 16 standard colours, ". = transparent"), then
32 rows of 32 characters, the top row first. Lines that begin with "#" are
comments; blank lines may separate the parts. For the sheet and the preview a
file is named for its resource number and picture: "101-envelope.txt",
"108-square-blue.txt", "111-overlay-question.txt".

Python 3 standard library only: the build runs it on a bare Debian.
"""

import os
import re
import struct
import sys
import zlib

SIZE = 32

# The standard 16-colour Windows palette in palette order: a colour's place
# here is the 4-bit value written into the .ico. Each colour may be named by
# any of its names in a legend.
PALETTE = [
    ((0, 0, 0), ("black",)),
    ((128, 0, 0), ("dark red", "maroon")),
    ((0, 128, 0), ("dark green",)),
    ((128, 128, 0), ("dark yellow", "olive")),
    ((0, 0, 128), ("dark blue", "navy")),
    ((128, 0, 128), ("dark magenta", "purple")),
    ((0, 128, 128), ("dark cyan", "teal")),
    ((192, 192, 192), ("light grey", "silver")),
    ((128, 128, 128), ("dark grey", "grey")),
    ((255, 0, 0), ("red",)),
    ((0, 255, 0), ("green", "lime")),
    ((255, 255, 0), ("yellow",)),
    ((0, 0, 255), ("blue",)),
    ((255, 0, 255), ("magenta", "fuchsia")),
    ((0, 255, 255), ("cyan", "aqua")),
    ((255, 255, 255), ("white",)),
]
PALETTE_INDEX = {rgb: index for index, (rgb, _) in enumerate(PALETTE)}

LEGEND_LINE = re.compile(r"^(\S) = (?:(transparent)|([a-z][a-z ]*[a-z]) \((\d+), (\d+), (\d+)\))$")
ART_NAME = re.compile(r"^(\d+)-(envelope|square|overlay)(?:-([a-z-]+))?$")


class ArtError(Exception):
    """A fault in an art file or in the way the tool was called."""


class Art:
    """One parsed image: pixels[y][x] is a palette index, or None where transparent."""

    def __init__(self, path, pixels):
        self.path = path
        self.pixels = pixels
        self.stem = os.path.splitext(os.path.basename(path))[0]

    def role(self):
        """(resource number, kind, picture word) from the file name, for the sheet."""
        match = ART_NAME.match(self.stem)
        if not match:
            raise ArtError(f"{self.path}: the name must read NUMBER-envelope, NUMBER-square-COLOUR "
                           f"or NUMBER-overlay-PICTURE")
        return int(match.group(1)), match.group(2), match.group(3) or match.group(2)


def parseLegendLine(where, line, legend, colours):
    match = LEGEND_LINE.match(line)
    if not match:
        raise ArtError(f"{where}: a legend line reads 'X = name (r, g, b)' or 'X = transparent', "
                       f"not {line!r}")
    char = match.group(1)
    if char in "#=":
        raise ArtError(f"{where}: {char!r} cannot stand for a pixel")
    if char in legend:
        raise ArtError(f"{where}: {char!r} is already in the legend")
    if match.group(2):
        value = None
        if None in colours:
            raise ArtError(f"{where}: a second character for transparent ({char!r})")
    else:
        rgb = tuple(int(match.group(n)) for n in (4, 5, 6))
        if rgb not in PALETTE_INDEX:
            raise ArtError(f"{where}: {rgb} is not one of the 16 standard colours")
        value = PALETTE_INDEX[rgb]
        names = PALETTE[value][1]
        if match.group(3) not in names:
            raise ArtError(f"{where}: {rgb} is called {' or '.join(names)}, not {match.group(3)!r}")
        if value in colours:
            raise ArtError(f"{where}: {rgb} is already in the legend")
    legend[char] = value
    colours.add(value)


def checkLegendComplete(path, legend):
    values = set(legend.values())
    missing = [PALETTE[i][1][0] for i in range(len(PALETTE)) if i not in values]
    if None not in values:
        missing.append("transparent")
    if missing:
        raise ArtError(f"{path}: the legend lacks {', '.join(missing)}")


def parseArt(path, text):
    """Parses the text of one art file; raises ArtError naming the line of the first fault."""
    legend = {}
    colours = set()
    rows = []
    gap = None      # the first blank line after the picture began
    for number, line in enumerate(text.split("\n"), start=1):
        line = line.rstrip("\r")
        where = f"{path}:{number}"
        if line.startswith("#"):
            continue
        if not line:
            if rows and gap is None:
                gap = (where, len(rows))
            continue
        if " " in line and not rows:
            parseLegendLine(where, line, legend, colours)
            continue
        if not rows:
            checkLegendComplete(path, legend)
        if len(rows) == SIZE:
            raise ArtError(f"{where}: more than {SIZE} rows")
        if gap:
            # A gap inside the picture would silently shift every row below it.
            raise ArtError(f"{gap[0]}: blank line inside the picture (after row {gap[1]})")
        if len(line) != SIZE:
            raise ArtError(f"{where}: row {len(rows) + 1} has {len(line)} characters, expected {SIZE}")
        row = []
        for column, char in enumerate(line):
            if char not in legend:
                raise ArtError(f"{where}: column {column + 1}: {char!r} is not in the legend")
            row.append(legend[char])
        rows.append(row)
    if not rows:
        checkLegendComplete(path, legend)
    if len(rows) != SIZE:
        raise ArtError(f"{path}: {len(rows)} rows, expected {SIZE}")
    return Art(path, rows)


def readArt(path):
    try:
        with open(path, encoding="ascii", newline="") as file:
            text = file.read()
    except UnicodeDecodeError as error:
        raise ArtError(f"{path}: not plain ASCII ({error.reason} at byte {error.start})") from None
    except OSError as error:
        raise ArtError(f"{path}: {error.strerror}") from None
    return parseArt(path, text)


def icoBytes(art):
    """The .ico file of one image: one 32 x 32 entry, 4 bits per pixel, standard palette.

    Transparent pixels get colour 0 and mask bit 1, so that the screen under
    them is ANDed with 1 and XORed with 0, i.e. left alone."""
    colourRowBytes = SIZE * 4 // 8          # 16: already a multiple of 4
    maskRowBytes = (SIZE + 31) // 32 * 4    # rows of the mask are padded to 32 bits
    bitsSize = SIZE * (colourRowBytes + maskRowBytes)
    imageSize = 40 + 16 * 4 + bitsSize
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, imageSize, 6 + 16)
    # The height counts the colour and the mask bitmaps together.
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 4, 0, bitsSize, 0, 0, 0, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b), _ in PALETTE)
    colourBits = bytearray()
    maskBits = bytearray()
    for row in reversed(art.pixels):        # DIB rows run bottom-up
        for x in range(0, SIZE, 2):
            high, low = (0 if p is None else p for p in row[x:x + 2])
            colourBits.append(high << 4 | low)
        mask = 0
        for p in row:
            mask = mask << 1 | (p is None)
        maskBits += mask.to_bytes(maskRowBytes, "big")
    return directory + entry + header + palette + bytes(colourBits) + bytes(maskBits)


# ---- Pictures for people: the sheet and the preview ---------------------------------

def compose(base, overlay):
    """The tray's rule: the overlay where it is opaque, the base elsewhere."""
    return [[o if o is not None else b for b, o in zip(baseRow, overlayRow)]
            for baseRow, overlayRow in zip(base, overlay)]


def rgbOf(index):
    return PALETTE[index][0]


# A 5 x 7 font for the labels; each glyph is seven rows, top first.
FONT = {c: g.split() for c, g in {
    "A": ".###. #...# #...# ##### #...# #...# #...#", "B": "####. #...# #...# ####. #...# #...# ####.",
    "C": ".###. #...# #.... #.... #.... #...# .###.", "D": "####. #...# #...# #...# #...# #...# ####.",
    "E": "##### #.... #.... ####. #.... #.... #####", "F": "##### #.... #.... ####. #.... #.... #....",
    "G": ".###. #...# #.... #.### #...# #...# .####", "H": "#...# #...# #...# ##### #...# #...# #...#",
    "I": ".###. ..#.. ..#.. ..#.. ..#.. ..#.. .###.", "J": "..### ...#. ...#. ...#. ...#. #..#. .##..",
    "K": "#...# #..#. #.#.. ##... #.#.. #..#. #...#", "L": "#.... #.... #.... #.... #.... #.... #####",
    "M": "#...# ##.## #.#.# #.#.# #...# #...# #...#", "N": "#...# #...# ##..# #.#.# #..## #...# #...#",
    "O": ".###. #...# #...# #...# #...# #...# .###.", "P": "####. #...# #...# ####. #.... #.... #....",
    "Q": ".###. #...# #...# #...# #.#.# #..#. .##.#", "R": "####. #...# #...# ####. #.#.. #..#. #...#",
    "S": ".###. #...# #.... .###. ....# #...# .###.", "T": "##### ..#.. ..#.. ..#.. ..#.. ..#.. ..#..",
    "U": "#...# #...# #...# #...# #...# #...# .###.", "V": "#...# #...# #...# #...# #...# .#.#. ..#..",
    "W": "#...# #...# #...# #.#.# #.#.# #.#.# .#.#.", "X": "#...# #...# .#.#. ..#.. .#.#. #...# #...#",
    "Y": "#...# #...# .#.#. ..#.. ..#.. ..#.. ..#..", "Z": "##### ....# ...#. ..#.. .#... #.... #####",
    "0": ".###. #...# #..## #.#.# ##..# #...# .###.", "1": "..#.. .##.. ..#.. ..#.. ..#.. ..#.. .###.",
    "2": ".###. #...# ....# ...#. ..#.. .#... #####", "3": "##### ...#. ..#.. ...#. ....# #...# .###.",
    "4": "...#. ..##. .#.#. #..#. ##### ...#. ...#.", "5": "##### #.... ####. ....# ....# #...# .###.",
    "6": "..##. .#... #.... ####. #...# #...# .###.", "7": "##### ....# ...#. ..#.. .#... .#... .#...",
    "8": ".###. #...# #...# .###. #...# #...# .###.", "9": ".###. #...# #...# .#### ....# ...#. .##..",
    "+": "..... ..#.. ..#.. ##### ..#.. ..#.. .....", "-": "..... ..... ..... ##### ..... ..... .....",
    " ": "..... ..... ..... ..... ..... ..... .....",
}.items()}


class Canvas:
    """An RGB picture that is written as a PNG (8-bit truecolour, no interlace)."""

    def __init__(self, width, height, background):
        self.width = width
        self.height = height
        self.data = bytearray(bytes(background) * (width * height))

    def fill(self, left, top, width, height, rgb):
        colour = bytes(rgb)
        for y in range(max(top, 0), min(top + height, self.height)):
            start = (y * self.width + max(left, 0)) * 3
            end = (y * self.width + min(left + width, self.width)) * 3
            self.data[start:end] = colour * ((end - start) // 3)

    def image(self, left, top, pixels, scale, backdrop):
        """pixels: rows of palette indices or None; None shows backdrop(x, y)."""
        for y, row in enumerate(pixels):
            for x, p in enumerate(row):
                rgb = rgbOf(p) if p is not None else backdrop(x, y)
                self.fill(left + x * scale, top + y * scale, scale, scale, rgb)

    def rgbImage(self, left, top, rows, scale):
        for y, row in enumerate(rows):
            for x, rgb in enumerate(row):
                self.fill(left + x * scale, top + y * scale, scale, scale, rgb)

    def text(self, left, top, text, scale, rgb):
        for i, char in enumerate(text.upper()):
            glyph = FONT.get(char, FONT[" "])
            for y, bits in enumerate(glyph):
                for x, bit in enumerate(bits):
                    if bit == "#":
                        self.fill(left + (i * 6 + x) * scale, top + y * scale, scale, scale, rgb)

    def png(self):
        def chunk(kind, body):
            return (struct.pack(">I", len(body)) + kind + body
                    + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))
        stride = self.width * 3
        raw = b"".join(b"\0" + bytes(self.data[y * stride:(y + 1) * stride]) for y in range(self.height))
        header = struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0)
        return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
                + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def groupArts(arts):
    """The envelope, the squares and the overlays, each in resource-number order."""
    groups = {"envelope": [], "square": [], "overlay": []}
    for art in arts:
        number, kind, word = art.role()
        groups[kind].append((number, word, art))
    for kind in groups:
        groups[kind].sort(key=lambda item: item[0])
    if len(groups["envelope"]) != 1 or not groups["square"]:
        raise ArtError("the sheet and the preview need one envelope and at least one square")
    return groups


def trayPictures(groups):
    """The envelope with a square, bare and under each overlay; squares taken in turn."""
    envelopeNumber, _, envelope = groups["envelope"][0]
    squares = groups["square"]
    pictures = []
    for i, overlay in enumerate([None] + groups["overlay"]):
        squareNumber, _, square = squares[i % len(squares)]
        pixels = compose(envelope.pixels, square.pixels)
        label = f"{envelopeNumber}+{squareNumber}"
        if overlay:
            pixels = compose(pixels, overlay[2].pixels)
            label += f"+{overlay[0]}"
        pictures.append((label, pixels))
    return pictures


def writeSheet(outPath, arts, scale=8):
    groups = groupArts(arts)
    cell = SIZE * scale
    gap, labelScale = 16, 2
    labelHeight = 7 * labelScale
    sections = [
        [(f"{n} {w}", a.pixels) for n, w, a in groups["envelope"] + groups["square"]],
        [(f"{n} {w}", a.pixels) for n, w, a in groups["overlay"]],
        trayPictures(groups),
    ]
    columns = max(len(s) for s in sections)
    rowHeight = cell + 8 + labelHeight + gap
    canvas = Canvas(gap + columns * (cell + gap), gap + len(sections) * rowHeight, (250, 250, 250))
    # A beige checkerboard, one square per pixel: unlike any of the 16 colours,
    # so that transparency never passes for white or grey.
    checker = lambda x, y: (236, 226, 204) if (x + y) % 2 else (222, 206, 176)
    for row, section in enumerate(sections):
        top = gap + row * rowHeight
        for column, (label, pixels) in enumerate(section):
            left = gap + column * (cell + gap)
            canvas.fill(left - 1, top - 1, cell + 2, cell + 2, (96, 96, 96))
            canvas.image(left, top, pixels, scale, checker)
            canvas.text(left, top + cell + 8, label, labelScale, (32, 32, 32))
    writeFile(outPath, canvas.png())


def shrink(rows, average):
    """32 x 32 RGB rows to 16 x 16: each 2 x 2 block averaged, or its top-left pixel kept."""
    result = []
    for y in range(0, len(rows), 2):
        line = []
        for x in range(0, len(rows[y]), 2):
            block = [rows[y][x], rows[y][x + 1], rows[y + 1][x], rows[y + 1][x + 1]]
            line.append(tuple(sum(c) // 4 for c in zip(*block)) if average else block[0])
        result.append(line)
    return result


def writePreview(outPath, arts):
    pictures = trayPictures(groupArts(arts))
    bars = [(212, 208, 200), (240, 240, 240), (32, 32, 32)]   # classic, light and dark task bars
    magnify, gap = 8, 12
    big = 16 * magnify
    columnWidth = big + gap
    bandHeight = 40 + 2 * (big + gap)
    canvas = Canvas(gap + len(pictures) * columnWidth, len(bars) * bandHeight, (255, 255, 255))
    for band, bar in enumerate(bars):
        top = band * bandHeight
        canvas.fill(0, top, canvas.width, bandHeight, bar)
        for i, (_, pixels) in enumerate(pictures):
            left = gap + i * columnWidth
            rows = [[rgbOf(p) if p is not None else bar for p in row] for row in pixels]
            averaged, dropped = shrink(rows, True), shrink(rows, False)
            canvas.rgbImage(left, top + 4, rows, 1)
            canvas.rgbImage(left + 40, top + 4, averaged, 1)
            canvas.rgbImage(left + 60, top + 4, dropped, 1)
            canvas.rgbImage(left, top + 40, averaged, magnify)
            canvas.rgbImage(left, top + 40 + big + gap, dropped, magnify)
    writeFile(outPath, canvas.png())


def writeFile(path, data):
    try:
        with open(path, "wb") as file:
            file.write(data)
    except OSError as error:
        raise ArtError(f"{path}: {error.strerror}") from None


USAGE = """usage: make-icons.py ico ART.txt OUT.ico
       make-icons.py sheet OUT.png ART.txt...
       make-icons.py preview OUT.png ART.txt..."""


def main(argv):
    if len(argv) < 3 or argv[0] not in ("ico", "sheet", "preview") or (argv[0] == "ico" and len(argv) != 3):
        print(USAGE, file=sys.stderr)
        return 2
    try:
        if argv[0] == "ico":
            writeFile(argv[2], icoBytes(readArt(argv[1])))
        elif argv[0] == "sheet":
            writeSheet(argv[1], [readArt(path) for path in argv[2:]])
        else:
            writePreview(argv[1], [readArt(path) for path in argv[2:]])
    except ArtError as error:
        print(f"make-icons.py: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
