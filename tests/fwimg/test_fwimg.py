"""fwimg and fwimg_ac on the command line: headers, file names, round trips, refusals."""
import os
import struct
import tempfile
import unittest

from harness import run
from fwimg_common import AC, BUILDS, ENV, MTIME, STD, header, pack_model, read, write

HELP = (b"-m: module name \n-e: encapsulate to image \n-d: decapsulate from image \n"
        b"-g: magic \n-s: extract header skip crc check \n-v: version \n"
        b"-f: full filename & path \n-o: output directory \n-t: output type \n"
        b"-r: Print header for uboot mkimage\n-a: Check magic number\n-b: Controller version\n")
EINVAL = b"strerror:Invalid argument\n"


def printed(h, ac=False):
    """The header print of a 64-byte header."""
    magic, hcrc, date, size, company, dcrc, v, name = struct.unpack(">IIII8sI4s32s", h)
    module, _, rest = name.partition(b"\0")
    model = rest.split(b"\0")[0]
    version = (b"version: %d.%d.%d.%d\n" % tuple(v)) if ac else (b"version: %d.%02d.%02d\n" % tuple(v[:3]))
    return (b"magic number: 0x%x\nheader crc: 0x%x\ndate: 2023/11/14 22:13\nfilesize: %d\n"
            b"company: %s\nData crc: 0x%x\n" % (magic, hcrc, size, company.rstrip(b"\0"), dcrc)
            + version + b"Module: %s\nModel: %s\n" % (module, model))


class Base(unittest.TestCase):
    def setUp(self):
        self._tmp = tempfile.TemporaryDirectory()
        self.dir = self._tmp.name
        self.data = bytes(range(256)) * 3 + b"tail"
        self.input = write(os.path.join(self.dir, "fw.bin"), self.data)
        self.out = os.path.join(self.dir, "out")
        os.mkdir(self.out)

    def tearDown(self):
        self._tmp.cleanup()

    def fwimg(self, build, *args, cwd=None):
        return run(build, list(args), env=ENV, cwd=cwd or self.dir)


class Encapsulate(Base):
    def test_header_bytes_and_print_both_builds(self):
        for build in (STD, AC):
            with self.subTest(build=build):
                p = self.fwimg(build, "-v", "1.2.3.4", "-b", "4.5", "-c", "ACME", "-m", "AP123",
                               "-f", self.input, "-e", "-o", self.out + "/")
                ac = build == AC
                module = (BUILDS[build]["prefix"] + "1.2.3.4-4.5").encode()
                model = b"AP123" if ac else pack_model("AP123")
                h = header(BUILDS[build]["magic"], MTIME, self.data, b"ACME", (1, 2, 3, 4),
                           module, model)
                name = "vornhelm_2.3.4_arm.bin" if ac else "IMG-1.2.3.4-4.5_ACME-1.2.3.img"
                self.assertEqual((p.returncode, p.stderr), (0, b""))
                self.assertEqual(printed(h, ac) + b"\n\n", p.stdout)
                self.assertEqual(h + self.data, read(os.path.join(self.out, name)))
                self.assertEqual(0o600, os.stat(os.path.join(self.out, name)).st_mode & 0o777)

    def test_packed_model_bytes_and_version_bytes(self):
        self.fwimg(STD, "-v", "1.300", "-m", "ab", "-f", self.input, "-e", "-i", "x")
        img = read(os.path.join(self.dir, "IMG-1.300_-1.44.0.img"))
        self.assertEqual(bytes([1, 0x2C, 0, 0]), img[28:32])
        self.assertEqual(b"IMG-1.300\0\x25\x98\0", img[32:45])

    def test_without_output_directory_carries_the_magic_number(self):
        for build in (STD, AC):
            with self.subTest(build=build):
                cwd = tempfile.mkdtemp(dir=self.dir)
                p = self.fwimg(build, "-i", "x", "-v", "1.2.3", "-c", "X", "-f", self.input, "-e",
                               cwd=cwd)
                self.assertEqual((0, b"", b""), (p.returncode, p.stdout, p.stderr))
                (name,) = os.listdir(cwd)
                prefix = BUILDS[build]["prefix"]
                self.assertEqual(prefix + "1.2.3_X-1.2.3.img", name)
                img = os.path.join(cwd, name)
                self.assertEqual(BUILDS[build]["magic"], struct.unpack(">I", read(img)[:4])[0])
                # The build takes its own image back.
                p = self.fwimg(build, "-i", "x", "-d", img)
                self.assertEqual((0, b""), (p.returncode, p.stdout))

    def test_config_names(self):
        cwd = tempfile.mkdtemp(dir=self.dir)
        cases = [
            (["-t", "Config"], cwd, "IMG-1.2.3.cfg"),
            (["-t", "Config", "-n", "site"], cwd, "site.cfg"),
            (["-t", "Config", "-o", self.out], self.out, "IMG-1.2.3.cfg"),
        ]
        for args, where, name in cases:
            with self.subTest(args=args):
                p = self.fwimg(STD, "-i", "x", "-v", "1.2.3", "-f", self.input, "-e", *args, cwd=cwd)
                self.assertEqual(0, p.returncode)
                self.assertTrue(os.path.exists(os.path.join(where, name)), os.listdir(where))

    def test_second_run_finds_the_image_and_keeps_it(self):
        args = ["-v", "1.2.3", "-f", self.input, "-e", "-o", self.out]
        self.fwimg(STD, *args)
        target = os.path.join(self.out, "IMG-1.2.3_-1.2.3.img")
        first = read(target)
        write(self.input, b"other")
        p = self.fwimg(STD, *args)
        self.assertEqual(0, p.returncode)
        self.assertTrue(p.stdout.endswith(b"\n\nfilename %s \n" % target.encode()))
        self.assertEqual(b"open fail: File exists\n", p.stderr)
        self.assertEqual(first, read(target))
        p = self.fwimg(STD, "-i", "x", *args)
        self.assertEqual((0, b"", b""), (p.returncode, p.stdout, p.stderr))

    def test_empty_input_gives_an_empty_data_part(self):
        empty = write(os.path.join(self.dir, "empty"), b"")
        p = self.fwimg(STD, "-i", "x", "-v", "1", "-f", empty, "-e", "-o", self.out)
        self.assertEqual(0, p.returncode)
        img = read(os.path.join(self.out, "IMG-1_-1.0.0.img"))
        self.assertEqual(64, len(img))
        self.assertEqual(b"\0\0\0\0", img[24:28])

    def test_refusals(self):
        long_path = os.path.join(self.dir, "d" * 200)
        cases = [
            (["-c", "ABCDEFGH"], EINVAL),
            (["-v", "1" * 29], EINVAL),
            (["-v", "1" * 27], EINVAL),  # no room left for the zeros
            (["-v", "1", "-m", "AP_1"], EINVAL),
            (["-v", "1", "-m", "A" * 18], EINVAL),
            (["-g", "8080zz02"], EINVAL),
            (["-t", "x" * 20], b"strerror:File name too long\n"),
            (["-o", "o" * 1024], b"strerror:File name too long\n"),
            (["-f", long_path + "/" + "f" * 200], b"strerror:File name too long\n"),
        ]
        for args, out in cases:
            with self.subTest(args=args):
                p = self.fwimg(STD, *args, "-f", self.input, "-e", "-o", self.out)
                self.assertEqual((1, out), (p.returncode, p.stdout))
                self.assertEqual([], os.listdir(self.out))
                p = self.fwimg(STD, "-i", "x", *args, "-f", self.input, "-e", "-o", self.out)
                self.assertEqual((1, b""), (p.returncode, p.stdout))

    def test_e_without_f(self):
        p = self.fwimg(STD, "-v", "1", "-e", "-o", self.out)
        self.assertEqual((1, b"", b"-e needs an input file: give it with -f\n"),
                         (p.returncode, p.stdout, p.stderr))

    def test_input_that_is_not_a_file(self):
        p = self.fwimg(STD, "-f", self.out, "-e")
        self.assertEqual((1, b"%s is not a file\n" % self.out.encode()), (p.returncode, p.stderr))
        p = self.fwimg(STD, "-f", os.path.join(self.dir, "missing"), "-e")
        self.assertEqual((1, b"open: No such file or directory\n"), (p.returncode, p.stderr))
        # A FIFO with no writer must not block the open before the check.
        fifo = os.path.join(self.dir, "fifo")
        os.mkfifo(fifo)
        p = self.fwimg(STD, "-f", fifo, "-e")
        self.assertEqual((1, b"%s is not a file\n" % fifo.encode()), (p.returncode, p.stderr))

    def test_help(self):
        p = self.fwimg(STD, "-h")
        self.assertEqual((0, HELP), (p.returncode, p.stdout))
        p = self.fwimg(AC, "--help", "-x")
        self.assertEqual(HELP * 2, p.stdout)
        self.assertEqual(0, p.returncode)


class Decapsulate(Base):
    def make(self, build=STD, *extra):
        p = self.fwimg(build, "-i", "x", "-v", "2.3.4.5", "-c", "ACME", "-f", self.input, "-e",
                       "-o", self.dir, *extra)
        self.assertEqual(0, p.returncode)
        name = "vornhelm_3.4.5_arm.bin" if build == AC else "IMG-2.3.4.5_ACME-2.3.4.img"
        return os.path.join(self.dir, name)

    def test_round_trip_and_information_file(self):
        for build in (STD, AC):
            with self.subTest(build=build):
                img = self.make(build)
                # Stale, longer output files are replaced, not overwritten in part.
                name = "vornhelm_3.4.5_arm.tar.gz" if build == AC else "IMG-2.3.4.5_ACME-2.3.4.image"
                write(os.path.join(self.out, name), b"x" * 5000)
                write(os.path.join(self.out, "file_info.txt"), b"y" * 5000)
                p = self.fwimg(build, "-d", img, "-o", self.out)
                self.assertEqual((0, b""), (p.returncode, p.stderr))
                self.assertEqual(printed(read(img)[:64], build == AC), p.stdout)
                self.assertEqual(self.data, read(os.path.join(self.out, name)))
                module = BUILDS[build]["prefix"] + "2.3.4.5"
                info = ("Filename: %s\nmagic number: 0x%08x\ndate: 2023/11/14 22:13\nsize: %d\n"
                        "Vendor: ACME\nversion: 2.03.04\nmodule: %s\n"
                        % (os.path.basename(img), BUILDS[build]["magic"], len(self.data), module))
                self.assertEqual(info.encode(), read(os.path.join(self.out, "file_info.txt")))
                for f in os.listdir(self.out):
                    os.unlink(os.path.join(self.out, f))
                os.unlink(img)

    def test_without_directory_prints_only(self):
        img = self.make()
        p = self.fwimg(STD, "-d", img)
        self.assertEqual((0, printed(read(img)[:64])), (p.returncode, p.stdout))
        p = self.fwimg(STD, "-i", "x", "-d", img)
        self.assertEqual((0, b""), (p.returncode, p.stdout))

    def test_header_only_writes_only_the_information_file(self):
        img = self.make()
        p = self.fwimg(STD, "-s", "x", "-d", img, "-o", self.out)
        self.assertEqual(0, p.returncode)
        self.assertEqual(["file_info.txt"], os.listdir(self.out))

    def test_damaged_images(self):
        img = self.make()
        good = read(img)
        damaged = {
            "data": good[:100] + bytes([good[100] ^ 1]) + good[101:],
            "header": good[:40] + bytes([good[40] ^ 1]) + good[41:],
            "longer": good + b"\0",
            "shorter": good[:-1],
            "tiny": good[:10],
        }
        for what, content in damaged.items():
            with self.subTest(what=what):
                write(img, content)
                p = self.fwimg(STD, "-d", img, "-o", self.out)
                self.assertEqual((1, EINVAL), (p.returncode, p.stdout))
                self.assertEqual([], os.listdir(self.out))
        # -s before -d skips the check; the length test still guards the data.
        write(img, damaged["data"])
        p = self.fwimg(STD, "-s", "x", "-d", img)
        self.assertEqual(0, p.returncode)
        p = self.fwimg(STD, "-d", img, "-s", "x")
        self.assertEqual((1, EINVAL), (p.returncode, p.stdout))

    def test_check_comes_first_whatever_follows(self):
        img = self.make()
        good = read(img)
        name = os.path.join(self.out, "IMG-2.3.4.5_ACME-2.3.4.image")
        write(img, good[:100] + bytes([good[100] ^ 1]) + good[101:])
        # An output file of an earlier run stays as it was.
        write(name, b"earlier")
        p = self.fwimg(STD, "-d", img, "-o", self.out)
        self.assertEqual((1, EINVAL, b""), (p.returncode, p.stdout, p.stderr))
        self.assertEqual(b"earlier", read(name))
        # Neither a later option's print nor its failure comes before the failed check.
        for later in (["-h"], ["-o", "x" * 2000], ["-g", "zz"], ["-f", self.input, "-e"],
                      ["-c", "TOOLONGX"], ["--company=ACME", "-v", "9.9"], ["-m", "AP1", "-c"],
                      ["--modulename", "ab", "--output"], ["-e"], ["-i", "x"], ["-nname", "-x"]):
            with self.subTest(later=later):
                p = self.fwimg(STD, "-d", img, "-o", self.out, *later)
                self.assertEqual((1, EINVAL, b""), (p.returncode, p.stdout, p.stderr))
                self.assertEqual(["IMG-2.3.4.5_ACME-2.3.4.image"], os.listdir(self.out))
        # The check's own message, once.
        p = self.fwimg(STD, "-d", os.path.join(self.dir, "none.img"), "-o", self.out)
        self.assertEqual((1, EINVAL, b"open: No such file or directory\n"),
                         (p.returncode, p.stdout, p.stderr))
        # A good image, then options that set values only: taken apart.
        write(img, good)
        p = self.fwimg(STD, "-d", img, "-o", self.out, "--company=OTHER", "-v", "9.9")
        self.assertEqual((0, b""), (p.returncode, p.stderr))
        self.assertEqual(read(self.input), read(name))
        # A good image, then an option that fails.
        p = self.fwimg(STD, "-d", img, "-o", "x" * 2000)
        self.assertEqual((1, b"strerror:File name too long\n"), (p.returncode, p.stdout))

    def test_controller_build_refuses_other_magic(self):
        img = self.make(STD)
        p = self.fwimg(AC, "-d", img, "-o", self.out)
        self.assertEqual((1, EINVAL), (p.returncode, p.stdout))
        p = self.fwimg(AC, "-g", "80800002", "-d", img)
        self.assertEqual(0, p.returncode)

    def test_names_from_the_image_stay_in_the_directory(self):
        data = b"payload"
        h = header(0x80800002, MTIME, data, b"x", (1, 0, 0, 0), b"IMG-../../escape")
        img = write(os.path.join(self.dir, "evil.img"), h + data)
        p = self.fwimg(STD, "-d", img, "-o", self.out)
        self.assertEqual(1, p.returncode)
        self.assertIn(b"holds a '/'", p.stderr)
        self.assertFalse(os.path.exists(os.path.join(self.dir, "escape_x-1.0.0.image")))
        self.assertEqual([], os.listdir(self.out))


if __name__ == "__main__":
    unittest.main()
