"""lattermark: usage, encode, decode and show_info, compared byte for byte."""
import os
import struct
import sys
import tempfile
import unittest
import zlib

from harness import run

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../fwimg"))
from fwimg_common import header, pack_model, read, write  # noqa: E402

USAGE = (b"encode\t\tencode model name\n\t\t<model_name> <file_path>\n\n"
         b"decode\t\tdecode model name\n\t\t<model_name_path> <file_path>\n\n"
         b"show_info\tshow switch header infomation\n\t\t<image_path> <file_path>\n\n")
DATE = 1700000000  # 2023-11-14 UTC; 2023-11-15 east of UTC+1:47


def lm(*args, tz="UTC0"):
    return run("lattermark", list(args), env={"TZ": tz})


class Commands(unittest.TestCase):
    def setUp(self):
        self._tmp = tempfile.TemporaryDirectory()
        self.dir = self._tmp.name

    def tearDown(self):
        self._tmp.cleanup()

    def path(self, name):
        return os.path.join(self.dir, name)

    def test_usage_and_argument_counts(self):
        p = lm()
        self.assertEqual((255, USAGE), (p.returncode, p.stdout))
        p = lm("pack", "x")
        self.assertEqual((0, b"The format is incorrect\n"), (p.returncode, p.stdout))
        for cmd, arg in (("encode", "model_name"), ("decode", "model_name_path"),
                         ("show_info", "image_path")):
            line = b"The correct format is: ./lattermark %s <%s> <file_path>\n" % (cmd.encode(), arg.encode())
            for args in ([cmd], [cmd, "a", "b", "c"]):
                p = lm(*args)
                self.assertEqual((255, line), (p.returncode, p.stdout))

    def test_encode(self):
        cases = {"AP123": b"\x0b\x68\x20\xc4", "ab": b"\x25\x98", "Z": b"\x24",
                 "LS2024P-4F": pack_model("LS2024P-4F")}
        for model, packed in cases.items():
            with self.subTest(model=model):
                p = lm("encode", model)
                self.assertEqual((0, packed + b"\n"), (p.returncode, p.stdout))
                out = self.path("packed")
                p = lm("encode", model, out)
                self.assertEqual((0, b""), (p.returncode, p.stdout))
                self.assertEqual(packed, read(out))

    def test_encode_refusals(self):
        cases = {
            "AP_1": b"The model name holds a character other than 0-9, A-Z, a-z and -\n",
            "A" * 18: b"The model name is longer than 17 characters\n",
            "AxF0z": b"The model name cannot be packed: a packed byte would be zero\n",
        }
        for model, msg in cases.items():
            with self.subTest(model=model):
                out = self.path("never")
                p = lm("encode", model, out)
                self.assertEqual((255, msg), (p.returncode, p.stdout))
                self.assertFalse(os.path.exists(out))
        p = lm("encode", "AP1", self.path("no/such/dir"))
        self.assertEqual((255, b"Can't open file\n"), (p.returncode, p.stdout))

    def test_decode_reads_what_encode_wrote(self):
        for model in ("AP123", "ab", "A", "ABCDEFGHIJKLMNOPQ", "x-9"):
            with self.subTest(model=model):
                packed = self.path("packed")
                lm("encode", model, packed)
                p = lm("decode", packed)
                self.assertEqual((0, model.encode() + b"\n"), (p.returncode, p.stdout))
                out = self.path("model")
                self.assertEqual(0, lm("decode", packed, out).returncode)
                self.assertEqual(model.encode(), read(out))

    def test_decode_edges(self):
        p = lm("decode", self.path("missing"))
        self.assertEqual((255, b"", b"File open fail\n"), (p.returncode, p.stdout, p.stderr))
        p = lm("decode", write(self.path("empty"), b""))
        self.assertEqual((0, b"\n"), (p.returncode, p.stdout))
        p = lm("decode", write(self.path("z"), b"\x0b\x68\x20\xc4\0garbage"))
        self.assertEqual((0, b"AP123\n"), (p.returncode, p.stdout))
        p = lm("decode", write(self.path("long"), b"\x0b" * 40))
        self.assertEqual((255, b"The packed model is longer than 16 bytes\n"), (p.returncode, p.stdout))

    def test_inputs_that_are_not_regular_files(self):
        # A FIFO without a writer would hold the open forever, a device may never end: both
        # are refused at once with the command's own message.
        fifo = self.path("fifo")
        os.mkfifo(fifo)
        for path in (fifo, "/dev/zero", self.dir):
            with self.subTest(path=path):
                p = run("lattermark", ["decode", path], timeout=20)
                self.assertEqual((255, b"", b"File open fail\n"), (p.returncode, p.stdout, p.stderr))
                p = run("lattermark", ["show_info", path, self.path("out")], timeout=20)
                self.assertEqual((255, b"Can't read image file\n", b""), (p.returncode, p.stdout, p.stderr))
                self.assertFalse(os.path.exists(self.path("out")))
        # A link to a regular file is still read.
        lm("encode", "AP123", self.path("packed"))
        os.symlink(self.path("packed"), self.path("link"))
        p = lm("decode", self.path("link"))
        self.assertEqual((0, b"AP123\n"), (p.returncode, p.stdout))


def switch_image(data, magic=0x80800002, module=b"IMG-1.2.3", model=None, date=DATE):
    packed = pack_model("AP123") if model is None else model
    return header(magic, date, data, b"", (1, 2, 3, 0), module, packed, standard=True) + data


class ShowInfo(unittest.TestCase):
    def setUp(self):
        self._tmp = tempfile.TemporaryDirectory()
        self.img = os.path.join(self._tmp.name, "sw.img")

    def tearDown(self):
        self._tmp.cleanup()

    def show(self, content, tz="UTC0"):
        write(self.img, content)
        return lm("show_info", self.img, tz=tz)

    def test_summary_line(self):
        data = b"12345"
        p = self.show(switch_image(data))
        self.assertEqual((0, b"AP123:v1.2.3:231114:      5:80800002:Y:0\n"), (p.returncode, p.stdout))
        # Dates are in UTC whatever the local zone.
        self.assertEqual(p.stdout, lm("show_info", self.img, tz="XYZ-9").stdout)
        out = os.path.join(self._tmp.name, "line")
        self.assertEqual(0, lm("show_info", self.img, out).returncode)
        self.assertEqual(b"AP123:v1.2.3:231114:      5:80800002:Y:0", read(out))

    def test_model_table_and_tag_bits(self):
        p = self.show(switch_image(b"x" * 1234567, magic=0x80A00205))
        self.assertEqual(b"LS2024P-4F:v1.2.3:231114:1234567:80A00205:Y:none\n", p.stdout)
        p = self.show(switch_image(b"", module=b"IMG-2.0-1.5", model=bytes([0xC0 | 11, 0x68, 0x20, 0xC4])))
        self.assertEqual(b"AP123:v2.0-1.5:231114:      0:80800002:Y:3\n", p.stdout)

    def test_checks_fail(self):
        good = switch_image(b"payload" * 20000)
        cases = {
            "header": good[:30] + b"\xff" + good[31:],
            "data": good[:-1] + b"?",
            "short": good[:-10],
        }
        for what, content in cases.items():
            with self.subTest(what=what):
                p = self.show(content)
                self.assertEqual(0, p.returncode)
                self.assertEqual(b"N", p.stdout.split(b":")[5])
        # The image CRC of fwimg is not the switch CRC-32.
        data = b"abc"
        own = header(0x80800002, DATE, data, b"", (1, 2, 3, 0), b"IMG-1.2.3", b"\x0b") + data
        self.assertEqual(b"A:v1.2.3:231114:      3:80800002:N:0\n", self.show(own).stdout)

    def test_without_module_text(self):
        p = self.show(switch_image(b"", module=b"vornhelm_1.2"))
        self.assertEqual((255, b"The image header has no IMG- module text\n"), (p.returncode, p.stdout))
        p = self.show(b"IMG-")  # far shorter than a header
        self.assertEqual(255, p.returncode)
        # A name field without any zero: the version ends with the field.
        full = bytearray(switch_image(b""))
        full[32:64] = b"IMG-" + b"9" * 28
        p = self.show(bytes(full))
        self.assertEqual((0, b":v" + b"9" * 28 + b":231114:      0:80800002:N:0\n"), (p.returncode, p.stdout))
        p = lm("show_info", os.path.join(self._tmp.name, "missing"))
        self.assertEqual((255, b"Can't read image file\n"), (p.returncode, p.stdout))


if __name__ == "__main__":
    unittest.main()
