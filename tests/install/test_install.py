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
# Beside the programs: staged path -> the built file it is a copy of.
SHARED = {
    "usr/share/man/man8/qor.8.gz": "man/gz/qor.8.gz",
    "usr/share/man/man8/tovik_ac.8.gz": "man/gz/tovik_ac.8.gz",
    "usr/share/man/man8/fwimg.8.gz": "man/gz/fwimg.8.gz",
    "usr/share/man/man8/lattermark.8.gz": "man/gz/lattermark.8.gz",
    "usr/share/man/man5/qor-cfg.5.gz": "man/gz/qor-cfg.5.gz",
    "usr/share/qor/cfg-ap.schema.json": "share/cfg-ap.schema.json",
    "usr/share/qor/cfg-switch.schema.json": "share/cfg-switch.schema.json",
    "usr/share/bash-completion/completions/qor": "share/qor.bash-completion",
}
PAGE_LINK = "usr/share/man/man8/fwimg_ac.8.gz"  # the page of fwimg, through a link


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
        """The programs with their pages, schemas and completion: no simulators, no tests."""
        entries = set()
        for folder, dirs, files in os.walk(dest):
            for name in dirs + files:
                entries.add(os.path.relpath(os.path.join(folder, name), dest))
        files = {"usr/bin/" + p for p in PROGRAMS} | set(SHARED) | {PAGE_LINK}
        folders = {os.path.dirname(f) for f in files}
        while True:
            more = {os.path.dirname(f) for f in folders if os.path.dirname(f)} - folders
            if not more:
                break
            folders |= more
        self.assertEqual(files | folders, entries)
        for p in PROGRAMS:
            mode = os.lstat(os.path.join(dest, "usr/bin", p)).st_mode
            self.assertTrue(stat.S_ISREG(mode), p)
            # Started by anyone, changed by root only.
            self.assertEqual((0o111, 0), (mode & 0o111, mode & 0o022), "%s: %o" % (p, mode))
        for staged, built in SHARED.items():
            mode = os.lstat(os.path.join(dest, staged)).st_mode
            self.assertEqual(0o644, mode & 0o777, staged)
            self.assertEqual(read(os.path.join(BUILD_DIR, built)), read(os.path.join(dest, staged)))
        self.assertEqual("fwimg.8.gz", os.readlink(os.path.join(dest, PAGE_LINK)))

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
