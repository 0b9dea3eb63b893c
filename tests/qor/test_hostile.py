"""qor against a hostile AC: a sample reply of every request cut at every byte (sampled
between the record boundaries of long ones) and sent one byte at a time, replies announcing
huge counts and lengths, and garbage where markers and presence bytes go. Every run ends by
itself with its status, nothing but the messages the reply earns, and little memory."""
import os
import random
import unittest

from simctl import AcSim, mac_bytes
from standin_ac import HostileAc
from test_status_cmds import common, plain
from wire import text, u8, u16, u32

TOP = os.path.join(os.path.dirname(os.path.abspath(__file__)), "../..")
M1, M2 = "00:11:22:33:44:55", "00:11:22:33:44:66"
M3 = "02:00:00:00:00:09"  # not in the fleet: added, then deleted again
MAX_RSS_KIB = 16 * 1024

FLEET = """status %s/sim/fleet.json
bgscan_status 0,0,0
mem_file ""
wtp %s fwstep=1 output="Linux wtp 4.14.0\\n" cfg_msg="applied"
wtp %s fwstep=2 output="load average: 0.08"
""" % (TOP, M1, M2)

REQUESTS = [
    ["wtps"], ["wtps", "--json"], ["ac"], ["ac", "--json"], ["wtpflag", "--flag=1"], ["online"],
    ["upg", "--mac", M1 + "," + M2], ["rst", "--mac", M1 + "," + M2, "--factory"],
    ["scan", "--mac", M1 + "," + M2, "--radio", "2g"],
    ["bgscan", "--radio", "2g", "--enable", "1"], ["autoch", "--radio", "5g", "--enable", "1"],
    ["autotp", "--radio", "2g", "--enable", "0"],
    ["kick", "--mac", M1, "--radio", "2g", "--wlan", "1", "--client", "02:00:00:00:00:01"],
    ["dbg", "--enable", "1"], ["nodc"], ["cac", "--mac", M1 + "," + M2, "--ip", "10.0.0.9"],
    ["sh", "--mac", M1 + "," + M2, "--cmd", "uname -a"], ["fwlist", "--mac", M1 + "," + M2],
    ["mem"], ["initfw", "--fwstat", "1"], ["cfg", "--mac", M3, "--add"],
    ["cfg", "--mac", M3, "--del"],
    ["cfg", "--mac", M1 + "," + M2, "--file", os.path.join(TOP, "sim/cfg-ap.json")],
]


def hostile(stream, args, **kw):
    return HostileAc(stream, **kw).qor(args)


class Hostile(unittest.TestCase):
    def bounded(self, rss, what):
        if rss is not None:
            self.assertLess(rss, MAX_RSS_KIB, what)


class SampleReplies(Hostile):
    """What the simulated AC answers each request, replayed whole, byte by byte and cut."""

    @classmethod
    def setUpClass(cls):
        cls.samples = []
        with AcSim(FLEET) as sim:
            for args in REQUESTS:
                r = sim.qor(*args)
                block = sim.next_block()
                ends = cls.record_ends(sim, block["recv"]) if block["recv"][:1] == b"\x01" else []
                cls.samples.append((args, block["sent"], (r.returncode, r.stdout, r.stderr), ends))

    @staticmethod
    def record_ends(sim, request):
        """Where each record of a WTP list reply ends (offsets in the stream that starts with
        the admission word): the same selection asked for one WTP at a time."""
        ends, end = [4], 4
        for mac in ("00:11:22:33:44:55", "00:11:22:33:44:66", "00:11:22:33:44:77",
                    "00:11:22:33:44:88"):
            one = sim.ask(request[:5] + u16(1) + mac_bytes(mac))
            end += len(one) - 1  # its marker and record, without the end marker
            ends.append(end)
        return ends

    def test_samples_are_successes(self):
        for args, stream, result, ends in self.samples:
            self.assertEqual(result[0], 0, (args, result))
            if ends:
                self.assertEqual(ends[-1], len(stream) - 1, args)
            self.assertTrue(stream.startswith(u32(1)), args)

    def offsets(self, stream, ends):
        if len(stream) <= 400:
            return range(len(stream))
        # Long replies: around every record boundary, the first bytes, and a sample between.
        picked = set(range(24)) | set(range(24, len(stream), 61)) | {len(stream) - 1}
        for end in ends:
            picked |= {end - 1, end, end + 1}
        return sorted(o for o in picked if 0 <= o < len(stream))

    def test_whole_and_one_byte_at_a_time(self):
        for args, stream, result, _ in self.samples:
            with self.subTest(args=args):
                status, out, err, rss = hostile(stream, args)
                self.assertEqual((status, out, err), result)
                self.bounded(rss, args)
                status, out, err, _ = hostile(stream, args, chunk=1,
                                              pause=0.0002 if len(stream) < 2000 else 0)
                self.assertEqual((status, out, err), result)

    def test_closed_at_every_offset(self):
        # Status 1; what was printed is what the whole reply prints up to that point.
        for args, stream, (_, whole_out, whole_err), ends in self.samples:
            for cut in self.offsets(stream, ends):
                status, out, err, rss = hostile(stream[:cut], args)
                what = (args, cut, out, err)
                self.assertEqual(status, 1, what)
                self.assertTrue(whole_out.startswith(out) and whole_err.startswith(err), what)
                self.bounded(rss, what)


# ---- hand-made replies ----------------------------------------------------------------------

def station(mac):
    return mac_bytes(mac) + u32(10) + u32(20) + u32(-60) + text("linux") + text("host") \
        + bytes([10, 0, 0, 7])


def access_point(detail=1, sta_flag=1, cfg_flag=0, stations=1, announced=None):
    """An access point record with one radio and one WLAN; `announced` stations are
    announced and `stations` sent (then the record ends without its configuration flag)."""
    radio = mac_bytes("00:11:22:33:44:10") + u32(1) + u32(20) + bytes(21) + u32(6) + u32(20) \
        + u32(100) + u32(0) + bytes(6)
    wlan = mac_bytes("00:11:22:33:44:11") + bytes(21) + u32(1) + u32(2) + u32(3) + u32(4)
    body = u8(0) + common(3, "00:11:22:33:44:01") + u32(7) + text("SKU") + bytes(21) + u8(detail)
    if detail:
        body += u8(1) + radio + u32(1) + wlan + u8(sta_flag)
        if sta_flag:
            body += u32(stations if announced is None else announced) + b"".join(
                station("02:00:00:%02x:00:%02x" % (i >> 8, i & 255)) for i in range(stations))
    return body + u8(cfg_flag) if announced is None else body


def switch_head(max_port):
    return u8(0) + common(2, "00:11:22:33:44:02") + bytes(21) + u32(0) + u8(1) + u32(max_port) \
        + b"".join(u32(i) for i in range(10))


class HugeCountsAndLengths(Hostile):
    """Counts and lengths far beyond what follows, then the close: status 1, no output, no
    message, and memory for what arrived only."""

    def check(self, args, reply):
        status, out, err, rss = hostile(u32(1) + reply, args)
        self.assertEqual((status, out, err), (1, b"", b""), args)
        self.bounded(rss, args)

    def test_texts_and_lists_of_the_operations(self):
        self.check(["ac"], u16(0xFFFF) + b"2.1.0")
        self.check(["mem"], u16(0xFFFF) + b"/tmp/records")
        self.check(["sh", "--mac", M1, "--cmd", "ls"], u8(0) + u16(0xFFFF) + b"output")
        self.check(["fwlist", "--mac", M1], u8(0) + u16(0xFFFF) + mac_bytes(M1) + b"\x00\x11")
        self.check(["fwlist", "--mac", M1], u8(0) + u16(0) + u16(0xFFFF) + mac_bytes(M2))
        # Four billion status bytes announced, one MiB of them sent.
        self.check(["bgscan", "--radio", "2g", "--enable", "1"], u32(0xFFFFFFFF) + bytes(1 << 20))
        self.check(["cfg", "--mac", M1, "--file", os.path.join(TOP, "sim/cfg-ap.json")],
                   u8(19) + u8(255) + b"partial message")

    def test_records(self):
        # 65535 hardware ports and ten of them; 65535 topology devices with 2^31 links.
        self.check(["wtps"], switch_head(0xFFFF) + bytes(80))
        topo = u32(1) * 5 + mac_bytes("00:11:22:33:44:03") + bytes(4) + text("n") + text("m") \
            + u32(0x7FFFFFFF) + u32(1) + mac_bytes("00:11:22:33:44:04") + text("ge1")
        self.check(["wtps", "--json"], switch_head(0) + u8(0) * 3 + u32(0) + u32(0) + u8(0)
                   + u16(0xFFFF) + topo)
        # Four billion stations, 200 of them sent.
        self.check(["wtps", "--json"], access_point(stations=200, announced=0xFFFFFFFF))


class Garbage(Hostile):
    def run_ok(self, args, reply):
        status, out, err, rss = hostile(u32(1) + reply, args)
        self.assertEqual((status, err), (0, b""), args)
        self.bounded(rss, args)
        return out

    def test_any_non_zero_marker_or_presence_byte_means_the_same(self):
        plains = plain("00:11:22:33:44:01") + plain("00:11:22:33:44:02", state=2)
        for args in (["wtps"], ["wtps", "--json"], ["online"]):
            expected = self.run_ok(args, plains + u8(1))
            for marker in (0x02, 0x80, 0xFF):
                self.assertEqual(self.run_ok(args, plains + u8(marker)), expected, (args, marker))
            expected = self.run_ok(args, access_point() + u8(1))
            self.assertEqual(self.run_ok(args, access_point(detail=0xA5, sta_flag=0xFF)
                                         + u8(0x7F)), expected, args)

    def test_random_bytes_after_a_record_marker(self):
        # Whatever the bytes say, the run ends: as a list (status 0) or cut short (status 1,
        # nothing printed); never with a message of its own, never large.
        rnd = random.Random(13)
        for seed in range(12):
            junk = bytes(rnd.randrange(256) for _ in range(rnd.choice((64, 700, 3000))))
            for args in (["wtps"], ["wtps", "--json"]):
                status, out, err, rss = hostile(u32(1) + u8(0) + junk, args)
                what = (args, seed)
                self.assertIn(status, (0, 1), what)
                self.assertEqual(err, b"", what)
                if status == 1:
                    self.assertEqual(out, b"", what)
                self.bounded(rss, what)


if __name__ == "__main__":
    unittest.main()
