#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets (fuzz/corpus/<target>/) from the inputs the
tests use: the replies ac_sim sends for the tests' fleets (taken from its wire log), the
tests' configuration files, memory records, tovik_ac command lines and replies, images.
Run from the top folder after a native build (build/bin): python3 fuzz/make_seeds.py"""
import hashlib
import json
import os
import struct
import sys
import zlib

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path[:0] = [os.path.join(TOP, "tests/lib"), os.path.join(TOP, "tests/qor"),
                os.path.join(TOP, "tests/ac_sim"), os.path.join(TOP, "tests/tovik_ac")]
import simctl  # noqa: E402
import test_status  # noqa: E402
import tovik_common  # noqa: E402

CORPUS = os.path.join(TOP, "fuzz/corpus")


def seed(target, data):
    d = os.path.join(CORPUS, target)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, hashlib.sha1(data).hexdigest()[:16]), "wb") as f:
        f.write(data)


def replies(fleet, runs, status=None):
    """The reply bytes (after the admission word) of each qor run against ac_sim."""
    out = []
    with simctl.AcSim(fleet, status=status) as sim:
        for args in runs:
            sim.qor(*args)
            out.append(sim.next_block()["sent"][4:])
    return out


def macs(n):
    return ",".join("00:11:22:33:44:%02x" % (i + 1) for i in range(n))


FLEET = """wtp 00:11:22:33:44:01 output="Linux wtp1 4.14\\n" cfg_msg="applied" fwstep=1
wtp 00:11:22:33:44:02 sh=12 rst=10 cac=17 upg=5 scan=13 kick=11 add=8 del=9 cfg=19 cfg_msg="bad radio" fwstep=2
wtp 00:11:22:33:44:03 output="" fwstep=1
bgscan_status 0,7,0
"""


def wtp_list_seeds():
    with open(os.path.join(TOP, "sim/fleet.json")) as f:
        sample = json.load(f)
    for status in (sample, test_status.FLEET):
        for args in (["wtps"], ["wtps", "--no_stainf"], ["wtps", "--basic"]):
            for r in replies("", [args], status=status):
                seed("wtp_list", b"\x00" + r)
                seed("wtp_list", b"\x03" + r)


def op_seeds():
    n = 3
    m = macs(n)
    runs = [
        (0, ["upg", "--mac", m]),
        (1, ["rst", "--mac", m]),
        (2, ["scan", "--mac", m, "--radio", "5g"]),
        (3, ["kick", "--mac", m, "--radio", "2g", "--wlan", "1", "--client",
             "00:aa:bb:cc:dd:01,00:aa:bb:cc:dd:02"]),
        (4, ["cac", "--mac", m, "--ip", "192.168.1.2"]),
        (5, ["cfg", "--mac", m, "--add"]),
        (6, ["cfg", "--mac", m, "--del"]),
        (8, ["sh", "--mac", m, "--cmd", "uptime"]),
        (9, ["fwlist", "--mac", m]),
        (10, ["ac"]),
    ]
    cfg = os.path.join(CORPUS, "..", "seed-cfg.json")
    with open(cfg, "w") as f:
        f.write('{"wtp_cfg":{"name":"a"}}')
    runs.append((7, ["cfg", "--mac", m, "--file", cfg]))
    got = replies(FLEET, [a for _, a in runs])
    os.unlink(cfg)
    for (code, _), r in zip(runs, got):
        seed("op_replies", bytes([code, n - 1, 0]) + r)
    seed("op_replies", bytes([10, 0, 1]) + replies(FLEET, [["bgscan", "--radio", "5g1",
                                                           "--enable", "1"]])[0])
    for vary in (0, 1, 2, 3, 4, 5):
        seed("op_replies", bytes([11, 0, vary]) + b"\x00" + MEM_RECORDS)


MEM_RECORDS = b"a.c:10:100:1000\na.c:10:50:2000\nthree:fields:only\nb.c:5:10:1500\n"


def mem_seeds():
    for rec in (MEM_RECORDS, b"x" * 300 + b":1:2:3\n::a.c::7::8::9\n", b"n:1:2:3"):
        seed("mem_report", b"\x00" + rec)
        seed("mem_report", b"\x01" + rec)


def config_seeds():
    for name, kind in (("cfg-ap.json", 0), ("cfg-switch.json", 1)):
        with open(os.path.join(TOP, "sim", name), "rb") as f:
            text = f.read()
        seed("config_file", bytes([kind]) + text)
        seed("config_file", bytes([kind | 2]) + text)
    for text in (b'{"wtp_cfg":{"name":"a"}}', b'{"wtp_cfg":{"radio":[{"wlan":[{"enable":1}]}]}}',
                 b'{"wtp_cfg":{"ac_list":["a","b"],"manage_mac_list":["00:11:22:33:44:55"]}}'):
        seed("config_file", b"\x00" + text)
        seed("config_file", b"\x01" + text)


def tovik_seeds():
    for args in (["-p", "tcp", "-sa", "127.0.0.1", "-i", "lo", "-un", "admin", "-email",
                  "admin@example.com", "-uuid", "00000000-0000-0000-C000-000000000046"],
                 ["-addmac", "00:00:00:00:00:01", "-checkcode", "12345678", "-noencode"],
                 ["-delmac", "00:00:00:00:00:01", "-test", "-cid", "7", "-t", "5"],
                 ["-searchmac", "00:00:00:00:00:01", "-srvn", "server", "-desc", "a b",
                  "-country", "de", "-sp", "80", "-cp", "1234"], ["-delac", "-dbg", "2"]):
        seed("tovik_options", b"\x00".join(a.encode() for a in args))
    # Replies as the tests' management server sends them: plain and enciphered, a result
    # code of the server's own, an AC-IP element among others.
    for encode in (False, True):
        for result in (0, 32):
            seed("tovik_reply", tovik_common.packet(
                [tovik_common.elem(5, bytes([203, 0, 113, 7])), tovik_common.elem(4, "aa")],
                encode=encode, result=result))
    seed("tovik_reply", tovik_common.packet([], encode=False))


def image_seeds():
    body = b"payload of a firmware image\n" * 4
    for standard in (False, True):
        hdr = bytearray(64)
        struct.pack_into(">I", hdr, 0, 0x80800002 if not standard else 0x80600001)
        struct.pack_into(">I", hdr, 8, 1700000000)
        struct.pack_into(">I", hdr, 12, len(body))
        hdr[16:24] = b"company\0"
        hdr[28:32] = bytes([1, 2, 3, 4])
        hdr[32:64] = (b"IMG-1.2.3\0" + b"\x05\x10\x83").ljust(32, b"\0")
        dcrc = zlib.crc32(body) if standard else image_crc(body)
        struct.pack_into(">I", hdr, 24, dcrc)
        hcrc = zlib.crc32(bytes(hdr)) if standard else image_crc(bytes(hdr))
        struct.pack_into(">I", hdr, 4, hcrc)
        img = bytes(hdr) + body
        for t in ("fwimg_image", "fwimg_ac_image"):
            for c in (0, 1, 4):
                seed(t, bytes([c]) + img)
        for c in (0, 1, 2):
            seed("fwimg_uboot", bytes([c]) + img)
        seed("lattermark_info", img)
    for packed in (b"\x05\x10\x83", b"\x45\x10\x83\x41\x42\x43", b"\x01"):
        seed("lattermark_decode", packed)


def image_crc(data):
    """The image CRC: the CRC-32 table, register from 0, no complements."""
    reg = 0
    for b in data:
        reg ^= b
        for _ in range(8):
            reg = (reg >> 1) ^ (0xEDB88320 if reg & 1 else 0)
    return reg


if __name__ == "__main__":
    wtp_list_seeds()
    op_seeds()
    mem_seeds()
    config_seeds()
    tovik_seeds()
    image_seeds()
