#!/usr/bin/env python3
"""A broken art file must stop the icon tool with the line that is wrong, and
leave no icon behind; docs/icons.png must show the art as it is. The icons
themselves are checked where it counts, by the Windows loader (tests/ui)."""

import importlib.util
import os
import subprocess
import sys
import tempfile
import unittest
import zlib

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
TOOL = os.path.join(ROOT, "tools", "make-icons.py")
found = importlib.util.spec_from_file_location("makeicons", TOOL)
makeicons = importlib.util.module_from_spec(found)
found.loader.exec_module(makeicons)

# A real art file: its picture rows are the lines of 32 characters without a space.
with open(os.path.join(ROOT, "ui", "icons", "101-envelope.txt")) as file:
    LINES = file.read().split("\n")
FIRST = next(i for i, line in enumerate(LINES) if len(line) == 32 and " " not in line)


def changed(at, replacement):
    """The art with line `at` (0-based) replaced by the given lines."""
    return "\n".join(LINES[:at] + replacement + LINES[at + 1:])


def legend(old, new):
    return "\n".join(LINES).replace(old, new, 1)


class BrokenArt(unittest.TestCase):
    def testEachFaultNamesItsLine(self):
        row = LINES[FIRST]
        cases = [
            (changed(FIRST + 2, [row + "."]), f"a.txt:{FIRST + 3}: row 3 has 33 characters, expected 32"),
            (changed(FIRST + 9, [row[:-1]]), f"a.txt:{FIRST + 10}: row 10 has 31 characters"),
            (changed(FIRST + 4, ["Z" + row[1:]]), f"a.txt:{FIRST + 5}: column 1: 'Z' is not in the legend"),
            (changed(FIRST + 31, []), "a.txt: 31 rows, expected 32"),
            (changed(FIRST + 31, [row, row]), f"a.txt:{FIRST + 33}: more than 32 rows"),
            (changed(FIRST + 7, ["", row]), f"a.txt:{FIRST + 8}: blank line inside the picture (after row 7)"),
            (legend("(128, 0, 0)", "(127, 0, 0)"), "(127, 0, 0) is not one of the 16 standard colours"),
            (legend("R = red (", "R = blue ("), "(255, 0, 0) is called red, not 'blue'"),
            (legend("W = white", "K = white"), "'K' is already in the legend"),
            (legend("D = dark grey (128, 128, 128)", "D = dark red (128, 0, 0)"), "(128, 0, 0) is already in"),
            (legend(". = transparent", ". = transparent\n_ = transparent"), "a second character for transparent"),
            (legend(". = transparent", "= = transparent"), "'=' cannot stand for a pixel"),
            (legend("W = white (255, 255, 255)\n", ""), "the legend lacks white"),
            (legend(". = transparent\n", ""), "the legend lacks transparent"),
            (legend("G = green (0, 255, 0)", "G = green 0 255 0"), "a legend line reads"),
        ]
        for text, fragment in cases:
            with self.subTest(fragment):
                with self.assertRaises(makeicons.ArtError) as caught:
                    makeicons.parseArt("a.txt", text)
                self.assertIn(fragment, str(caught.exception))

    def testTheToolFailsWithoutLeavingAnIcon(self):
        with tempfile.TemporaryDirectory() as folder:
            for name, data, fragment in [("short.txt", changed(FIRST, []).encode(), "31 rows"),
                                         ("latin.txt", ("# caf\u00e9\n" + "\n".join(LINES)).encode("latin-1"),
                                          "not plain ASCII")]:
                source, target = os.path.join(folder, name), os.path.join(folder, name + ".ico")
                with open(source, "wb") as file:
                    file.write(data)
                result = subprocess.run([sys.executable, TOOL, "ico", source, target],
                                        capture_output=True, text=True, timeout=60)
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertIn(fragment, result.stderr)
                # A half-written icon would count as up to date at the next build.
                self.assertFalse(os.path.exists(target))


def picture(path):
    """A PNG's size and pixels: another zlib may pack the same picture differently."""
    with open(path, "rb") as file:
        data = file.read()
    at, packed = 8, b""
    while at < len(data):
        length = int.from_bytes(data[at:at + 4], "big")
        if data[at + 4:at + 8] == b"IDAT":
            packed += data[at + 8:at + 8 + length]
        at += 12 + length
    return data[16:24], zlib.decompress(packed)


class CommittedSheet(unittest.TestCase):
    def testDocsSheetShowsTheArtAsItIs(self):
        folder = os.path.join(ROOT, "ui", "icons")
        arts = sorted(os.path.join(folder, name) for name in os.listdir(folder) if name.endswith(".txt"))
        with tempfile.TemporaryDirectory() as temporary:
            fresh = os.path.join(temporary, "icons.png")
            makeicons.writeSheet(fresh, [makeicons.readArt(path) for path in arts])
            self.assertTrue(picture(fresh) == picture(os.path.join(ROOT, "docs", "icons.png")),
                            "docs/icons.png is out of date: tools/make-icons.py sheet docs/icons.png ui/icons/*.txt")


if __name__ == "__main__":
    unittest.main()
