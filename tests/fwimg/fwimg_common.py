"""Helpers of the fwimg tests: expected headers built here, independently of the programs."""
import os
import struct
import zlib

STD = "fwimg"
AC = "fwimg_ac"
BUILDS = {
    STD: {"magic": 0x80800002, "prefix": "IMG-"},
    AC: {"magic": 0x80600001, "prefix": "vornhelm_"},
}
ALPHABET = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz-"
ENV = {"TZ": "UTC0"}
MTIME = 1700000000  # 2023/11/14 22:13 UTC


def image_crc(data):
    """Register from 0, no complements."""
    return zlib.crc32(data, 0xFFFFFFFF) ^ 0xFFFFFFFF


def pack_model(model):
    codes = [ALPHABET.index(c) + 1 for c in model]
    out = bytes([codes[0]])
    for i in range(1, len(codes), 4):
        c = codes[i:i + 4] + [0] * (4 - len(codes[i:i + 4]))
        group = bytes([(c[0] << 2 | c[1] >> 4) & 0xFF, (c[1] << 4 | c[2] >> 2) & 0xFF,
                       (c[2] << 6 | c[3]) & 0xFF])
        out += group.split(b"\0")[0]
    return out


def header(magic, date, data, company=b"", version=(0, 0, 0, 0), module=b"", model=b"",
           standard=False):
    crc = (lambda b: zlib.crc32(b)) if standard else image_crc
    name = (module + b"\0" + model).ljust(32, b"\0")
    fields = [magic, 0, date, len(data), company.ljust(8, b"\0"), crc(data), bytes(version), name]
    raw = struct.pack(">IIII8sI4s32s", *fields)
    fields[1] = crc(raw)
    return struct.pack(">IIII8sI4s32s", *fields)


def write(path, data, mtime=MTIME):
    with open(path, "wb") as f:
        f.write(data)
    os.utime(path, (mtime, mtime))
    return path


def read(path):
    with open(path, "rb") as f:
        return f.read()
