"""Boot-loader images made by the real mkimage, checked with -u and printed with -r."""
import os
import struct
import subprocess
import tempfile
import unittest

from harness import run
from fwimg_common import ENV, STD, AC, read, write

LEGACY = "27051956"


def expected_print(h):
    magic, hcrc, date, size, _load, _entry, dcrc, _types, name = struct.unpack(">IIIIIII4s32s", h)
    module, _, rest = name.partition(b"\0")
    import time
    t = time.gmtime(date)
    return (b"magic number: 0x%08x\nheader crc: 0x%x\ndate: %u/%u/%u %02d:%02d\nfilesize: %d\n"
            b"Data crc: 0x%x\nModule: %s\nModel: %s\nCheckFlag:%d\n"
            % (magic, hcrc, t.tm_year, t.tm_mon, t.tm_mday, t.tm_hour, t.tm_min, size, dcrc,
               module, rest.split(b"\0")[0], 0 if magic == 0xFFFFFFFF else 1))


class BootLoader(unittest.TestCase):
    def setUp(self):
        self._tmp = tempfile.TemporaryDirectory()
        self.dir = self._tmp.name
        data = write(os.path.join(self.dir, "kernel"), os.urandom(3000) + b"end")
        self.img = os.path.join(self.dir, "uImage")
        subprocess.run(["mkimage", "-A", "arm", "-O", "linux", "-T", "kernel", "-C", "none",
                        "-a", "0x8000", "-e", "0x8000", "-n", "wlc-kernel", "-d", data, self.img],
                       check=True, capture_output=True, env=dict(os.environ, SOURCE_DATE_EPOCH="1700000000"))
        self.good = read(self.img)

    def tearDown(self):
        self._tmp.cleanup()

    def fwimg(self, *args, build=STD):
        return run(build, list(args), env=ENV)

    def test_intact_image_passes_and_prints(self):
        for build in (STD, AC):
            p = self.fwimg("-g", LEGACY, "-u", self.img, build=build)
            self.assertEqual((1, expected_print(self.good[:64]), b""), (p.returncode, p.stdout, p.stderr))
        self.assertIn(b"date: 2023/11/14 22:13\n", p.stdout)
        self.assertIn(b"Module: wlc-kernel\nModel: \nCheckFlag:1\n", p.stdout)

    def test_damaged_or_foreign_image_prints_nothing(self):
        cases = {
            "data": self.good[:500] + bytes([self.good[500] ^ 4]) + self.good[501:],
            "header": self.good[:20] + bytes([self.good[20] ^ 4]) + self.good[21:],
            "longer": self.good + b"\0",
        }
        for what, content in cases.items():
            with self.subTest(what=what):
                write(self.img, content)
                p = self.fwimg("-g", LEGACY, "-u", self.img)
                self.assertEqual((1, b""), (p.returncode, p.stdout))
                # -s before -u skips the check.
                p = self.fwimg("-s", "x", "-g", LEGACY, "-u", self.img)
                self.assertEqual(expected_print(content[:64]), p.stdout)
        write(self.img, self.good)
        p = self.fwimg("-u", self.img)  # the configured magic number is not the legacy one
        self.assertEqual((1, b""), (p.returncode, p.stdout))

    def test_printheader_prints_whatever_the_crcs(self):
        damaged = self.good[:-1] + b"X"
        write(self.img, damaged)
        p = self.fwimg("-r", self.img)
        self.assertEqual((1, expected_print(damaged[:64])), (p.returncode, p.stdout))

    def test_erased_area(self):
        erased = write(os.path.join(self.dir, "erased"), b"\xff" * 128)
        p = self.fwimg("-r", erased)
        self.assertEqual(1, p.returncode)
        self.assertTrue(p.stdout.endswith(b"\nCheckFlag:0\n"), p.stdout)

    def test_unreadable(self):
        p = self.fwimg("-r", os.path.join(self.dir, "missing"))
        self.assertEqual((1, b"open: No such file or directory\n"), (p.returncode, p.stderr))
        short = write(os.path.join(self.dir, "short"), b"\x27\x05\x19\x56")
        p = self.fwimg("-g", LEGACY, "-u", short)
        self.assertEqual((1, b""), (p.returncode, p.stdout))


if __name__ == "__main__":
    unittest.main()
