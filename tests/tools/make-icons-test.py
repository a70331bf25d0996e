#!/usr/bin/env python3
"""The icon tool's handling of broken art, and the committed preview sheet.

The .ico files themselves are checked where it counts, by the Windows loader
(tests/ui/IconResourceTest.cpp); here: a broken art file must stop the build
with the line that is wrong, and docs/icons.png must show the art as it is."""

import importlib.util
import os
import struct
import subprocess
import sys
import tempfile
import unittest
import zlib

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
TOOL = os.path.join(ROOT, "tools", "make-icons.py")
ART_DIR = os.path.join(ROOT, "ui", "icons")

found = importlib.util.spec_from_file_location("makeicons", TOOL)
makeicons = importlib.util.module_from_spec(found)
found.loader.exec_module(makeicons)

LEGEND = """\
. = transparent
K = black (0, 0, 0)
r = dark red (128, 0, 0)
g = dark green (0, 128, 0)
y = dark yellow (128, 128, 0)
b = dark blue (0, 0, 128)
m = dark magenta (128, 0, 128)
c = dark cyan (0, 128, 128)
L = light grey (192, 192, 192)
D = dark grey (128, 128, 128)
R = red (255, 0, 0)
G = green (0, 255, 0)
Y = yellow (255, 255, 0)
B = blue (0, 0, 255)
M = magenta (255, 0, 255)
C = cyan (0, 255, 255)
W = white (255, 255, 255)
"""
LEGEND_LINES = LEGEND.count("\n")
ROW = "." * 16 + "KRGBWYCM" + "." * 8


def art(legend=LEGEND, rows=None):
    rows = [ROW] * 32 if rows is None else rows
    return "# comment\n" + legend + "\n" + "\n".join(rows) + "\n"


def firstArtLine(row):
    """The line number of a picture row (1-based) in a text made by art()."""
    return 1 + LEGEND_LINES + 1 + row


def pngPixels(data):
    """The raw RGB rows of a PNG as this tool writes it (truecolour, filter 0)."""
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    position, idat, header = 8, b"", None
    while position < len(data):
        length, kind = struct.unpack(">I4s", data[position:position + 8])
        body = data[position + 8:position + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        position += 12 + length
    width, height = header[:2]
    raw = zlib.decompress(idat)
    stride = 1 + 3 * width
    assert all(raw[y * stride] == 0 for y in range(height))
    return width, height, raw


class BrokenArt(unittest.TestCase):
    def assertFault(self, text, fragment):
        with self.assertRaises(makeicons.ArtError) as caught:
            makeicons.parseArt("a.txt", text)
        self.assertIn(fragment, str(caught.exception))

    def testAWellFormedFileParses(self):
        parsed = makeicons.parseArt("a.txt", art())
        self.assertEqual(parsed.pixels[0][16:24], [0, 9, 10, 12, 15, 11, 14, 13])
        self.assertIsNone(parsed.pixels[31][0])

    def testPictureFaultsNameTheirLine(self):
        rows = [ROW] * 32
        cases = [
            ("long row", art(rows=rows[:2] + [ROW + "."] + rows[3:]),
             f"a.txt:{firstArtLine(3)}: row 3 has 33 characters, expected 32"),
            ("short row", art(rows=rows[:9] + [ROW[:-1]] + rows[10:]),
             f"a.txt:{firstArtLine(10)}: row 10 has 31 characters"),
            ("unknown character", art(rows=rows[:4] + ["....Z" + ROW[5:]] + rows[5:]),
             f"a.txt:{firstArtLine(5)}: column 5: 'Z' is not in the legend"),
            ("tab", art(rows=["\t" + ROW[1:]] + rows[1:]), "column 1: '\\t' is not in the legend"),
            ("31 rows", art(rows=rows[:31]), "a.txt: 31 rows, expected 32"),
            ("33 rows", art(rows=rows + [ROW]), f"a.txt:{firstArtLine(33)}: more than 32 rows"),
            ("row after the picture", art(rows=rows) + "\n" + ROW + "\n", "more than 32 rows"),
            ("gap in the picture", art(rows=rows[:7] + [""] + rows[7:]),
             f"a.txt:{firstArtLine(8)}: blank line inside the picture (after row 7)"),
            ("no picture", "# nothing\n" + LEGEND, "a.txt: 0 rows, expected 32"),
        ]
        for name, text, fragment in cases:
            with self.subTest(name):
                self.assertFault(text, fragment)

    def testLegendFaults(self):
        cases = [
            ("colour outside the palette", LEGEND.replace("(128, 0, 0)", "(127, 0, 0)"),
             "a.txt:4: (127, 0, 0) is not one of the 16 standard colours"),
            ("name that lies", LEGEND.replace("R = red (255", "R = blue (255"),
             "(255, 0, 0) is called red, not 'blue'"),
            ("same character twice", LEGEND.replace("W = white", "K = white"), "'K' is already in the legend"),
            ("same colour twice", LEGEND.replace("D = dark grey (128, 128, 128)", "D = dark red (128, 0, 0)"),
             "(128, 0, 0) is already in the legend"),
            ("colour missing", LEGEND.replace("W = white (255, 255, 255)\n", ""), "the legend lacks white"),
            ("transparent missing", LEGEND.replace(". = transparent\n", ""), "the legend lacks transparent"),
            ("two transparents", LEGEND + "_ = transparent\n", "a second character for transparent ('_')"),
            ("malformed line", LEGEND.replace("G = green (0, 255, 0)", "G = green 0 255 0"),
             "a legend line reads 'X = name (r, g, b)'"),
            ("reserved character", LEGEND.replace(". = transparent", "= = transparent"),
             "'=' cannot stand for a pixel"),
        ]
        for name, legend, fragment in cases:
            with self.subTest(name):
                self.assertFault(art(legend=legend), fragment)


class CommandLine(unittest.TestCase):
    def runTool(self, *arguments):
        return subprocess.run([sys.executable, TOOL, *arguments], capture_output=True, text=True, timeout=60)

    def testBrokenArtFailsWithoutLeavingAnIcon(self):
        with tempfile.TemporaryDirectory() as folder:
            source = os.path.join(folder, "broken.txt")
            target = os.path.join(folder, "broken.ico")
            with open(source, "w") as file:
                file.write(art(rows=[ROW] * 31))
            result = self.runTool("ico", source, target)
            self.assertEqual(result.returncode, 1, result.stderr)
            self.assertIn("broken.txt: 31 rows, expected 32", result.stderr)
            # A half-written output would count as up to date at the next build.
            self.assertFalse(os.path.exists(target))

    def testNonAsciiArtIsRefused(self):
        with tempfile.TemporaryDirectory() as folder:
            source = os.path.join(folder, "latin.txt")
            with open(source, "wb") as file:
                file.write(art().replace("# comment", "# caf\u00e9").encode("latin-1"))
            result = self.runTool("ico", source, os.path.join(folder, "latin.ico"))
            self.assertEqual(result.returncode, 1)
            self.assertIn("not plain ASCII", result.stderr)

    def testWrongArgumentsPrintTheUsage(self):
        result = self.runTool("ico", "only-one.txt")
        self.assertEqual(result.returncode, 2)
        self.assertIn("usage:", result.stderr)


class CommittedSheet(unittest.TestCase):
    def testDocsSheetShowsTheArtAsItIs(self):
        arts = sorted(os.path.join(ART_DIR, name) for name in os.listdir(ART_DIR) if name.endswith(".txt"))
        self.assertEqual(len(arts), 12)
        with tempfile.TemporaryDirectory() as folder:
            fresh = os.path.join(folder, "icons.png")
            makeicons.writeSheet(fresh, [makeicons.readArt(path) for path in arts])
            with open(fresh, "rb") as file:
                expected = pngPixels(file.read())
        with open(os.path.join(ROOT, "docs", "icons.png"), "rb") as file:
            committed = pngPixels(file.read())
        # Pixels, not bytes: another zlib may pack the same picture differently.
        self.assertEqual(committed[:2], expected[:2], "size of docs/icons.png")
        self.assertTrue(committed[2] == expected[2],
                        "docs/icons.png is out of date: tools/make-icons.py sheet docs/icons.png ui/icons/*.txt")


if __name__ == "__main__":
    unittest.main()
