#!/usr/bin/env python3
"""The release check must pass a sound zip and name each fault of a broken one.

    check-release-test.py PELLMOR_EXE VERSION

PELLMOR_EXE is the 64-bit test build's pellmor.exe, checked with --machine
x86_64; the 32-bit zip itself is checked when build/win32 makes it."""

import os
import subprocess
import sys
import tempfile
import unittest
import zipfile

CHECKER = os.path.join(os.path.dirname(__file__), "..", "..", "tools", "check-release")
TEXT = b"Pellmor\r\n\r\nA mail notifier.\r\n"


def patched(data, old, new):
    assert len(old) == len(new) and old in data, old
    return data.replace(old, new, 1)


class CheckRelease(unittest.TestCase):
    def check(self, files, *options):
        """The checker's exit code and report on a zip of FILES (name -> bytes)."""
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "pellmor.zip")
            with zipfile.ZipFile(path, "w") as archive:
                for name, data in files.items():
                    archive.writestr(name, data)
            result = subprocess.run([sys.executable, CHECKER, "--machine", "x86_64", "--version", VERSION,
                                     *options, path], capture_output=True, text=True, timeout=60)
        return result.returncode, result.stderr

    def testEachFaultIsNamed(self):
        with open(EXE, "rb") as file:
            exe = file.read()
        sound = {"pellmor.exe": exe, "README.txt": TEXT, "LICENSE.txt": TEXT}
        self.assertEqual(self.check(sound), (0, ""))
        subsystem = int.from_bytes(exe[0x3C:0x40], "little") + 4 + 20 + 68
        other = str(int(VERSION.split(".")[0]) + 1) + VERSION[VERSION.find("."):]
        name = "ProductName\0".encode("utf-16-le") + b"\0\0"
        cases = [
            ({"README.txt": None}, ["lacks README.txt"]),
            ({"docs/tray.png": b"x"}, ["docs/tray.png"]),
            ({"LICENSE.txt": b"one\r\ntwo\nthree\r\n"}, ["LICENSE.txt: line 2 ends with LF alone"]),
            ({"README.txt": b"one\r\ntwo"}, ["no line end"]),
            ({"README.txt": b"one\r\r\ntwo\r\n"}, ["CR that ends no line"]),
            ({"README.txt": "na\u00efve\r\n".encode()}, ["line 1 is not plain ASCII"]),
            ({"README.txt": b"\r\n"}, ["is empty"]),
            ({}, ["not i386"], "--machine", "i386"),
            ({"pellmor.exe": exe[:subsystem] + b"\x03\x00" + exe[subsystem + 2:]}, ["not a GUI program"]),
            ({"pellmor.exe": patched(exe, b"KERNEL32.dll\0", b"libgcc_s.dll\0")}, ["needs libgcc_s.dll"]),
            ({}, ["file version", "product version", "not " + other], "--version", other),
            ({"pellmor.exe": patched(exe, b"\xbd\x04\xef\xfe", b"\0\0\0\0")}, ["no version block"]),
            ({"pellmor.exe": patched(exe, name + b"P\0e\0l\0l\0m\0o", name + b"P\0e\0l\0l\0m\0e")}, ['product "Pellmor"']),
            ({"pellmor.exe": b"MZ" + b"\0" * 100}, ["no readable Windows program"]),
        ]
        for change, words, *options in cases:
            with self.subTest(words[0]):
                files = {name: data for name, data in {**sound, **change}.items() if data is not None}
                code, report = self.check(files, *options)
                self.assertEqual(code, 1, report)
                for word in words:
                    self.assertIn(word, report)


if __name__ == "__main__":
    EXE, VERSION = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1])
