"""Staging the programs for the appliance's root file system: cmake --install with DESTDIR.

    python3 tests/install/test_install.py BUILD_DIR [--cmake CMAKE] [unittest options]

ctest runs it on its own build tree; scripts/test.sh also runs it on a tree configured with
-DBUILD_TESTS=OFF. The tree must be built: cmake --install copies, it does not build.
"""
import argparse
import os
import stat
import subprocess
import sys
import tempfile
import unittest

_ap = argparse.ArgumentParser(add_help=False)
_ap.add_argument("build_dir")
_ap.add_argument("--cmake", default="cmake")
_args, _rest = _ap.parse_known_args()
BUILD_DIR, CMAKE = _args.build_dir, _args.cmake
sys.argv[1:] = _rest  # the rest is unittest's

PROGRAMS = ("qor", "tovik_ac", "fwimg", "fwimg_ac", "lattermark")


def read(path):
    with open(path, "rb") as f:
        return f.read()


class Staging(unittest.TestCase):
    def install(self, *extra):
        """Installs the tree under a fresh DESTDIR with prefix /usr; returns the DESTDIR."""
        dest = tempfile.TemporaryDirectory()
        self.addCleanup(dest.cleanup)
        p = subprocess.run([CMAKE, "--install", BUILD_DIR, "--prefix", "/usr", *extra],
                           env=dict(os.environ, DESTDIR=dest.name), capture_output=True,
                           timeout=120)
        self.assertEqual(0, p.returncode, p.stderr.decode(errors="replace"))
        return dest.name

    def assert_programs_only(self, dest):
        entries = set()
        for folder, dirs, files in os.walk(dest):
            for name in dirs + files:
                entries.add(os.path.relpath(os.path.join(folder, name), dest))
        self.assertEqual({"usr", "usr/bin"} | {"usr/bin/" + p for p in PROGRAMS}, entries)
        for p in PROGRAMS:
            mode = os.lstat(os.path.join(dest, "usr/bin", p)).st_mode
            self.assertTrue(stat.S_ISREG(mode), p)
            # Started by anyone, changed by root only.
            self.assertEqual((0o111, 0), (mode & 0o111, mode & 0o022), "%s: %o" % (p, mode))

    def test_stages_the_five_programs_as_built(self):
        dest = self.install()
        self.assert_programs_only(dest)
        for p in PROGRAMS:
            self.assertEqual(read(os.path.join(BUILD_DIR, "bin", p)),
                             read(os.path.join(dest, "usr/bin", p)), p)

    def test_strip_keeps_programs_of_the_target(self):
        # The toolchain's strip, not the host's: the cross build's programs come out as ARM
        # programs still, only smaller.
        dest = self.install("--strip")
        self.assert_programs_only(dest)
        for p in PROGRAMS:
            built = read(os.path.join(BUILD_DIR, "bin", p))
            stripped = read(os.path.join(dest, "usr/bin", p))
            self.assertEqual(built[:20], stripped[:20], p)  # ELF identification and machine
            self.assertLess(len(stripped), len(built), p)


if __name__ == "__main__":
    unittest.main()
