#!/usr/bin/env python3
"""The release check must pass a sound zip and name each fault of a broken one.

    check-release-test.py PELLMOR_EXE VERSION

PELLMOR_EXE is a pellmor.exe of the 64-bit test build: the check runs on it as
on the 32-bit one, with --machine x86_64; the 32-bit zip itself is checked by
the release target of build/win32."""

import os
import subprocess
import sys
import tempfile
import unittest
import zipfile

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
CHECKER = os.path.join(ROOT, "tools", "check-release")
EXE = None
VERSION = None

README = b"# Pellmor\r\n\r\nA mail notifier.\r\n"
LICENSE = b"MIT License\r\n\r\nCopyright (c) 2026 The Pellmor developers\r\n"


def patched(data, old, new):
    assert len(old) == len(new)
    assert old in data, old
    return data.replace(old, new, 1)


class CheckRelease(unittest.TestCase):
    def setUp(self):
        with open(EXE, "rb") as f:
            self.exe = f.read()
        self.folder = tempfile.TemporaryDirectory()
        self.addCleanup(self.folder.cleanup)

    def check(self, files, machine="x86_64", version=None):
        """Runs the checker on a zip of FILES (name -> bytes); returns its
        exit code and its report."""
        path = os.path.join(self.folder.name, "pellmor.zip")
        with zipfile.ZipFile(path, "w") as archive:
            for name, data in files.items():
                archive.writestr(name, data)
        result = subprocess.run(
            [sys.executable, CHECKER, "--machine", machine, "--version", version or VERSION, path],
            capture_output=True, text=True, timeout=60)
        return result.returncode, result.stderr

    def sound(self):
        return {"pellmor.exe": self.exe, "README.txt": README, "LICENSE.txt": LICENSE}

    def assertFault(self, files, words, **options):
        code, report = self.check(files, **options)
        self.assertEqual(code, 1, report)
        for word in words:
            self.assertIn(word, report)

    def test_a_sound_zip_passes(self):
        self.assertEqual(self.check(self.sound()), (0, ""))

    def test_each_missing_file_is_named(self):
        for name in ("pellmor.exe", "README.txt", "LICENSE.txt"):
            with self.subTest(name=name):
                files = self.sound()
                del files[name]
                self.assertFault(files, ["lacks " + name])

    def test_a_file_that_does_not_belong_fails(self):
        for name in ("docs/tray.png", "release/pellmor.exe", "README.md"):
            with self.subTest(name=name):
                files = self.sound()
                files[name] = b"x"
                self.assertFault(files, [name])

    def test_texts_must_suit_notepad(self):
        cases = {
            "LF alone": (b"line one\r\nline two\nline three\r\n", "line 2 ends with LF alone"),
            "no last line end": (b"line one\r\nline two", "no line end"),
            "stray CR": (b"line one\r\r\nline two\r\n", "CR that ends no line"),
            "not ASCII": ("line one\r\nna\u00efve\r\n".encode("utf-8"), "line 2 is not plain ASCII"),
            "empty": (b"\r\n", "is empty"),
        }
        for name in ("README.txt", "LICENSE.txt"):
            for case, (text, words) in cases.items():
                with self.subTest(name=name, case=case):
                    files = self.sound()
                    files[name] = text
                    self.assertFault(files, [name, words])

    def test_the_program_is_for_the_machine_asked_for(self):
        self.assertFault(self.sound(), ["not i386"], machine="i386")

    def test_a_console_program_fails(self):
        pe = int.from_bytes(self.exe[0x3C:0x40], "little")
        subsystem = pe + 4 + 20 + 68
        self.assertEqual(self.exe[subsystem:subsystem + 2], b"\x02\x00")
        files = self.sound()
        files["pellmor.exe"] = self.exe[:subsystem] + b"\x03\x00" + self.exe[subsystem + 2:]
        self.assertFault(files, ["not a GUI program"])

    def test_a_program_needing_a_runtime_dll_fails(self):
        # The import of KERNEL32.dll renamed to a runtime DLL of the same length.
        files = self.sound()
        files["pellmor.exe"] = patched(self.exe, b"KERNEL32.dll\0", b"libgcc_s.dll\0")
        self.assertFault(files, ["needs libgcc_s.dll", "not linked statically"])

    def test_the_version_block_must_carry_the_version(self):
        major, _, rest = VERSION.partition(".")
        other = str(int(major) + 1) + ("." + rest if rest else "")
        self.assertFault(self.sound(), ["file version", "product version", "not " + other], version=other)

        files = self.sound()
        files["pellmor.exe"] = patched(self.exe, b"\xbd\x04\xef\xfe", b"\0\0\0\0")
        self.assertFault(files, ["no version block"])

        name = "Pellmor\0".encode("utf-16-le")
        files["pellmor.exe"] = patched(self.exe, "ProductName\0".encode("utf-16-le") + b"\0\0" + name,
                                       "ProductName\0".encode("utf-16-le") + b"\0\0" + "Pellmer\0".encode("utf-16-le"))
        self.assertFault(files, ['product "Pellmor"'])

    def test_what_is_no_program_or_no_zip_is_reported(self):
        files = self.sound()
        files["pellmor.exe"] = b"MZ" + b"\0" * 100
        self.assertFault(files, ["no readable Windows program"])

        code = subprocess.run([sys.executable, CHECKER, os.path.join(self.folder.name, "absent.zip")],
                              capture_output=True, text=True, timeout=60)
        self.assertEqual(code.returncode, 1)
        self.assertIn("absent.zip", code.stderr)


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit("usage: check-release-test.py PELLMOR_EXE VERSION")
    EXE, VERSION = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1] + sys.argv[3:])
