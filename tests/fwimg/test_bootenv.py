"""-a: the installed firmware's magic number copied into the boot environment, against the
stand-ins of sim/bootenv on a private store. /tmp/app/image1.txt and image2.txt are saved and
restored around every test."""
import os
import shutil
import subprocess
import tempfile
import unittest

from harness import run

STANDINS = os.environ.get("BOOTENV_STANDIN_DIR") or os.path.join(
    os.path.dirname(os.path.abspath(__file__)), "../../sim/bootenv")
APP = "/tmp/app"
FILES = [os.path.join(APP, "image1.txt"), os.path.join(APP, "image2.txt")]


class BootEnv(unittest.TestCase):
    def setUp(self):
        self._tmp = tempfile.TemporaryDirectory()
        self.env = {"BOOTENV_DIR": os.path.join(self._tmp.name, "store"),
                    "PATH": STANDINS + os.pathsep + os.environ.get("PATH", "")}
        self.saved = {}
        self.app_existed = os.path.isdir(APP)
        for f in FILES:
            if os.path.exists(f):
                self.saved[f] = open(f, "rb").read()
                os.unlink(f)
        os.makedirs(APP, exist_ok=True)

    def tearDown(self):
        for f in FILES:
            if os.path.exists(f):
                os.unlink(f)
            if f in self.saved:
                with open(f, "wb") as out:
                    out.write(self.saved[f])
        if not self.app_existed and not os.listdir(APP):
            os.rmdir(APP)
        self._tmp.cleanup()

    def tool(self, *args):
        p = subprocess.run(list(args), capture_output=True, env=dict(os.environ, **self.env))
        return p.returncode, p.stdout.decode()

    def image_file(self, n, magic_line):
        with open(FILES[n - 1], "w") as f:
            f.write("Filename: fw.img\n%s\nversion: 1.02.03\n" % magic_line)

    def fwimg_a(self):
        return run("fwimg", ["-a", "x"], env=self.env)

    def magic(self):
        return self.tool("fw_printenv", "magic_number")

    def test_from_the_partition_in_use(self):
        for part, n in (("0", 1), ("1", 2)):
            with self.subTest(part=part):
                shutil.rmtree(self.env["BOOTENV_DIR"], ignore_errors=True)
                self.tool("fw_setsys", "bootpartition", part)
                self.image_file(1, "magic: 0x80800002 (magic number)")
                self.image_file(2, "magic: 0x80800005 (magic number)")
                p = self.fwimg_a()
                # The stand-in's own complaint about the missing variable passes through.
                self.assertEqual((1, b"", b'## Error: "magic_number" not defined\n'),
                                 (p.returncode, p.stdout, p.stderr))
                self.assertEqual((0, "magic_number=0x8080000%d\n" % (2 if n == 1 else 5)), self.magic())

    def test_unset_partition_is_reset_to_0(self):
        self.image_file(1, "magic: 80600001 (magic number)")
        p = self.fwimg_a()
        self.assertEqual(1, p.returncode)
        self.assertEqual((0, "bootpartition=0\n"), self.tool("fw_printsys", "bootpartition"))
        self.assertEqual((0, "magic_number=80600001\n"), self.magic())

    def test_magic_number_present_is_kept(self):
        self.tool("fw_setenv", "magic_number", "0x11111111")
        self.tool("fw_setsys", "bootpartition", "1")
        self.image_file(2, "magic: 0x80800002 (magic number)")
        p = self.fwimg_a()
        self.assertEqual((1, b""), (p.returncode, p.stderr))
        self.assertEqual((0, "magic_number=0x11111111\n"), self.magic())

    def test_other_partition_number_changes_nothing(self):
        self.tool("fw_setsys", "bootpartition", "7")
        self.image_file(1, "magic: 0x80800002 (magic number)")
        self.assertEqual(1, self.fwimg_a().returncode)
        self.assertEqual(1, self.magic()[0])

    def test_answers_that_are_not_hexadecimal_are_refused(self):
        marker = os.path.join(self._tmp.name, "ran")
        lines = ["magic: $(touch${IFS}%s) (magic number)" % marker,
                 "magic: 0x1;touch${IFS}%s (magic number)" % marker,
                 "magic: 0x123456789 (magic number)",
                 "magic number"]
        self.tool("fw_setsys", "bootpartition", "0")
        for line in lines:
            with self.subTest(line=line):
                self.image_file(1, line)
                p = self.fwimg_a()
                self.assertEqual(1, p.returncode)
                self.assertIn(b"is not a hexadecimal number; not set\n", p.stderr)
                self.assertFalse(os.path.exists(marker))
                self.assertEqual(1, self.magic()[0])
        # No file at all: an empty answer, refused as well.
        os.unlink(FILES[0])
        self.assertEqual(1, self.fwimg_a().returncode)
        self.assertEqual(1, self.magic()[0])


if __name__ == "__main__":
    unittest.main()
