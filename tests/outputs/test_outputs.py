"""Outputs that are lost or lie: every program's output is whole or absent, and every failure
to write one is told and ends with a failure status.

    python3 tests/outputs/test_outputs.py SIM_DIR [unittest options]

SIM_DIR holds the simulator's sample fleets (sim/), for qor's rows.
"""
import os
import subprocess
import sys
import tempfile
import time
import unittest

import harness
from harness import run
from smallfs import SmallFs

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../fwimg"))
from fwimg_common import AC, BUILDS, ENV, STD, header, image_crc, read, write  # noqa: E402

SIM_DIR = sys.argv.pop(1) if len(sys.argv) > 1 and not sys.argv[1].startswith("-") else \
    os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../sim")

NOSPC = b"write fail: No space left on device\n"
EIO_READ = b"read fail: Input/output error\n"
EINVAL = b"strerror:Invalid argument\n"
DATA_NAME = {STD: "IMG-2.3.4.5_ACME-2.3.4.image", AC: "vornhelm_3.4.5_arm.tar.gz"}
IMAGE_NAME = {STD: "IMG-2.3.4.5_ACME-2.3.4.img", AC: "vornhelm_3.4.5_arm.bin"}
EARLIER = {"file_info.txt": b"earlier information\n"}


def pattern(size):
    block = bytes(range(256)) * 4096
    return (block * (size // len(block) + 1))[:size]


class Base(unittest.TestCase):
    def setUp(self):
        self._tmp = tempfile.TemporaryDirectory()
        self.dir = self._tmp.name

    def tearDown(self):
        self._tmp.cleanup()

    def fwimg(self, build, *args, **kw):
        return run(build, list(args), env=ENV, cwd=self.dir, **kw)

    def make_image(self, build, data, where=None):
        """Wraps `data` into an image in `where` (default the test's folder); its path."""
        where = where or self.dir
        src = write(os.path.join(self.dir, "fw.bin"), data)
        p = self.fwimg(build, "-i", "x", "-v", "2.3.4.5", "-c", "ACME", "-f", src, "-e",
                       "-o", where)
        self.assertEqual((0, b""), (p.returncode, p.stderr))
        return os.path.join(where, IMAGE_NAME[build])


class TakeApartOntoFullOrReadOnly(Base):
    """-d onto a file system that is full or read-only: the earlier outputs stay as they
    were, nothing partial is left, the failure is told and the header is not printed."""

    def test_rows(self):
        rows = [
            # (build, options before -d, how the file system is spoiled, earlier files, stderr)
            (STD, [], "small", True, NOSPC),
            (AC, [], "small", True, NOSPC),
            (STD, [], "filled", False, NOSPC),
            (STD, ["-s", "x"], "filled", True, NOSPC),
            (AC, ["-s", "x"], "filled", False, NOSPC),
            (STD, ["-s", "x"], "read-only", True, b"open: Read-only file system\n"),
            (STD, ["-s", "x"], "read-only", False, b"open: Read-only file system\n"),
            (AC, [], "read-only", True, b"open: Read-only file system\n"),
        ]
        images = {b: self.make_image(b, pattern(3000000)) for b in (STD, AC)}
        for build, opts, spoil, earlier, err in rows:
            with self.subTest(build=build, opts=opts, spoil=spoil, earlier=earlier):
                with SmallFs("2m") as fs:
                    before = dict(EARLIER, **{DATA_NAME[build]: b"earlier data"}) if earlier else {}
                    for name, content in before.items():
                        write(fs.join(name), content)
                    if spoil == "filled":
                        fs.fill()
                    elif spoil == "read-only":
                        fs.read_only()
                    p = self.fwimg(build, *opts, "-d", images[build], "-o", fs.path)
                    self.assertEqual((1, b"", err), (p.returncode, p.stdout, p.stderr))
                    self.assertEqual(before, fs.listing())

    def test_information_file_that_cannot_be_written_fails_the_run(self):
        img = self.make_image(STD, b"small data")
        with SmallFs("64k") as fs:
            fs.fill()
            p = self.fwimg(STD, "-d", img, "-o", fs.path)
            self.assertEqual((1, b"", NOSPC), (p.returncode, p.stdout, p.stderr))
            self.assertEqual({}, fs.listing())


class LinksAtOutputNames(Base):
    """A link standing at an output's name is replaced, never written through."""

    def test_rows(self):
        data = b"payload " * 100
        img = self.make_image(STD, data)
        out = os.path.join(self.dir, "out")
        for linked in ([DATA_NAME[STD]], ["file_info.txt"], [DATA_NAME[STD], "file_info.txt"]):
            with self.subTest(linked=linked):
                os.mkdir(out)
                victims = {}
                for name in linked:
                    victims[name] = write(os.path.join(self.dir, "victim-" + name), b"victim")
                    os.symlink(victims[name], os.path.join(out, name))
                p = self.fwimg(STD, "-i", "x", "-d", img, "-o", out)
                self.assertEqual((0, b""), (p.returncode, p.stderr))
                for name, victim in victims.items():
                    self.assertEqual(b"victim", read(victim))
                    self.assertFalse(os.path.islink(os.path.join(out, name)))
                self.assertEqual(data, read(os.path.join(out, DATA_NAME[STD])))
                self.assertTrue(read(os.path.join(out, "file_info.txt")).startswith(
                    b"Filename: " + IMAGE_NAME[STD].encode() + b"\n"))
                self.assertEqual(sorted([DATA_NAME[STD], "file_info.txt"]), sorted(os.listdir(out)))
                for name in os.listdir(out):
                    os.unlink(os.path.join(out, name))
                os.rmdir(out)


class InputCutWhileRead(Base):
    """An input cut short while -e or -d reads it is a read failure, not a signal; no image or
    data is left under the output's name, so the next run is not blocked."""

    SIZE = 128 << 20

    def attempt(self, cmd, victim, restore, delay):
        restore()
        proc = subprocess.Popen(harness.prog(cmd[0]) + cmd[1:], stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, cwd=self.dir, env=dict(os.environ, **ENV))
        time.sleep(delay)
        os.truncate(victim, 0)
        out, err = proc.communicate(timeout=120)
        return proc.returncode, out, err

    def cut_runs(self, cmd, victim, restore, out_dir, good_outputs, failure_stdout):
        """Runs `cmd` with `victim` cut at several moments; at least one cut must land while it
        is read. Every run either fails as a read failure with nothing left behind, or (the cut
        came before the input was opened or after it was read) succeeds with an output that is
        whole."""
        restore()
        start = time.monotonic()
        p = subprocess.run(harness.prog(cmd[0]) + cmd[1:], capture_output=True, cwd=self.dir)
        whole = time.monotonic() - start
        self.assertEqual(0, p.returncode, p.stderr)
        for name in os.listdir(out_dir):
            os.unlink(os.path.join(out_dir, name))
        hit = False
        for share in (0.5, 0.3, 0.7, 0.15, 0.4, 0.6):
            rc, out, err = self.attempt(cmd, victim, restore, whole * share)
            left = sorted(os.listdir(out_dir))
            with self.subTest(share=share):
                self.assertGreaterEqual(rc, 0, "ended by signal %d" % -rc)
                if rc == 0:
                    self.assertIn(left, [sorted(g) for g in good_outputs(left)])
                else:
                    self.assertEqual(1, rc)
                    self.assertIn((out, err), [(failure_stdout, EIO_READ), (b"", EIO_READ),
                                               (EINVAL, b"")])
                    self.assertEqual([], left)
                    hit = hit or err == EIO_READ
            for name in left:
                os.unlink(os.path.join(out_dir, name))
            if hit:
                break
        self.assertTrue(hit, "no cut landed while the input was read")
        # Nothing blocks the next run.
        restore()
        p = subprocess.run(harness.prog(cmd[0]) + cmd[1:], capture_output=True, cwd=self.dir)
        self.assertEqual((0, b""), (p.returncode, p.stderr))

    def test_encapsulate(self):
        with SmallFs("700m") as fs:
            data = pattern(self.SIZE)
            src = fs.join("fw.bin")
            out = fs.join("out")
            os.mkdir(out)
            name = IMAGE_NAME[STD]

            def restore():
                write(src, data)

            def good(left):
                # Whole: the image of all the data, or of none when the cut came first.
                img = read(os.path.join(out, name)) if left == [name] else b""
                ok = img[64:] in (data, b"") and len(img) >= 64 and \
                    img[24:28] == image_crc(img[64:]).to_bytes(4, "big")
                return [[name]] if ok else []

            self.cut_runs([STD, "-i", "x", "-v", "2.3.4.5", "-c", "ACME", "-f", src, "-e",
                           "-o", out], src, restore, out, good, b"")

    def test_decapsulate(self):
        with SmallFs("900m") as fs:
            data = pattern(self.SIZE)
            work = fs.join("work")
            os.mkdir(work)
            good_image = read(self.make_image(STD, data, work))
            img = fs.join("fw.img")
            out = fs.join("out")
            os.mkdir(out)

            def restore():
                write(img, good_image)

            def good(left):
                whole = left == sorted([DATA_NAME[STD], "file_info.txt"]) and \
                    read(os.path.join(out, DATA_NAME[STD])) == data
                return [left] if whole else []

            self.cut_runs([STD, "-i", "x", "-d", img, "-o", out], img, restore, out, good, EINVAL)


class EmptyAndFullForTheSmallTools(Base):
    def test_lattermark_encode_onto_a_full_file_system(self):
        for earlier in (None, b"\x0b\x68"):
            with self.subTest(earlier=earlier), SmallFs("64k") as fs:
                out = fs.join("model.bin")
                if earlier is not None:
                    write(out, earlier)
                fs.fill()
                p = run("lattermark", ["encode", "AP123", out])
                self.assertEqual((255, b"Can't open file\n"), (p.returncode, p.stdout))
                self.assertEqual({} if earlier is None else {"model.bin": earlier}, fs.listing())
                p = run("lattermark", ["decode", out])
                if earlier is None:
                    self.assertEqual((255, b"File open fail\n"), (p.returncode, p.stderr))
                else:
                    self.assertEqual((0, b"AP\n"), (p.returncode, p.stdout))

    def test_image_shorter_than_a_header(self):
        empty = write(os.path.join(self.dir, "empty.img"), b"")
        short = write(os.path.join(self.dir, "short.img"), b"\x80" * 63)
        out = os.path.join(self.dir, "out")
        os.mkdir(out)
        for build in (STD, AC):
            for path in (empty, short):
                # -r ends the option walk with its failure, which is told as such.
                for args, stdout in ((["-s", "x", "-d", path], b""),
                                     (["-s", "x", "-d", path, "-o", out], b""),
                                     (["-r", path], b"strerror:Input/output error\n")):
                    with self.subTest(build=build, args=args):
                        p = self.fwimg(build, *args)
                        self.assertEqual((1, stdout, b"%s is too short for an image\n" % path.encode()),
                                         (p.returncode, p.stdout, p.stderr))
                        self.assertEqual([], os.listdir(out))


class StandardOutputThatCannotBeWritten(Base):
    """Every program checks standard output at exit: a full device or file system fails the
    run with a message on standard error."""

    def test_rows(self):
        img = self.make_image(STD, b"data")
        switch = write(os.path.join(self.dir, "switch.img"),
                       header(0x1, 1700000000, b"x", b"", (1, 2, 3, 0), b"IMG-1.2.3", b"\x0b",
                              standard=True) + b"x")
        fleet = os.path.join(SIM_DIR, "fleet.sample")
        status = os.path.join(SIM_DIR, "fleet.json")
        qor_full = b"ERROR: Writing standard output failed: No space left on device.\n"
        with harness.Server("ac_sim", ["--quiet", "--fleet", fleet, "--status", status]) as sim:
            at = ["--acserver", "127.0.0.1", "--acport", str(sim.port)]
            rows = [
                ("qor", ["wtps", "--json"] + at, 1, qor_full),
                ("qor", ["ac"] + at, 1, qor_full),
                (STD, ["-d", img], 1, b"stdout write fail: No space left on device\n"),
                (AC, ["-h"], 1, b"stdout write fail: No space left on device\n"),
                ("lattermark", ["show_info", switch], 255,
                 b"Can't write standard output: No space left on device\n"),
                ("lattermark", ["encode", "AP123"], 255,
                 b"Can't write standard output: No space left on device\n"),
                ("tovik_ac", ["-h"], 1,
                 b"[ERR] Writing standard output failed: No space left on device\n"),
            ]
            for prog, args, status_code, err in rows:
                with self.subTest(prog=prog, args=args):
                    # The same run with a standard output that takes it succeeds.
                    p = run(prog, args, env=ENV)
                    self.assertEqual((0, b""), (p.returncode, p.stderr))
                    self.assertNotEqual(b"", p.stdout)
                    with open("/dev/full", "wb") as full:
                        p = run(prog, args, env=ENV, stdout=full)
                    self.assertEqual((status_code, err), (p.returncode, p.stderr))
            # A status saved to a full file system is a failure, not a truncated success.
            with SmallFs("64k") as fs:
                fs.fill()
                with open(fs.join("status.json"), "wb") as f:
                    p = run("qor", ["wtps", "--json"] + at, stdout=f)
                self.assertEqual((1, qor_full), (p.returncode, p.stderr))


if __name__ == "__main__":
    unittest.main()
