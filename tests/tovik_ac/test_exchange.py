"""tovik_ac against mgmt_sim: wire bytes of every request kind, both transports, enciphered
and plain, reply results, broken and segmented replies, time-outs and failing socket calls."""
import os
import re
import socket
import struct
import tempfile
import time

import tovik_common as tc
from tovik_common import elem, harness, head, packet, tail

A_MAC = "00:11:22:33:44:55"
UUID = "00000000-0000-0000-C000-000000000046"
SUCCESS = "Success, %s\n" % tc.WAN


class Exchange(tc.ClientTest):
    def setUp(self):
        super().setUp()
        self.tmp = tempfile.TemporaryDirectory()
        self.addCleanup(self.tmp.cleanup)
        self.log = os.path.join(self.tmp.name, "requests.jsonl")

    def sim(self, *args):
        return harness.Server("mgmt_sim", ["--log", self.log] + list(args))

    def exchange(self, args, sim_args=(), proto="tcp"):
        """One run against a fresh simulator; returns the run and the request it logged."""
        if os.path.exists(self.log):
            os.remove(self.log)
        with self.sim(*sim_args) as sim:
            extra = ["-p", "udp"] if proto == "udp" else []
            proc = tc.client(extra + ["-sp", str(sim.port)] + list(args))
            # Every exchange here sends its request: the simulator logs it while it runs.
            reqs = tc.wait_requests(self.log)
        self.assertLessEqual(len(reqs), 1)
        return proc, (reqs[0] if reqs else None)

    def assert_request(self, req, expected, proto):
        self.assertIsNotNone(req)
        self.assertEqual(req["proto"], proto)
        self.assertEqual(req["wire"], expected.hex())
        self.assertEqual(req["check"], 0, req["problem"])


class RequestKinds(Exchange):
    """Each request kind, over both transports, enciphered and plain: exact wire bytes."""

    KINDS = [
        ("register", ["-un", "admin", "-email", "ops@example.net", "-uuid", UUID],
         head(b"admin") + [elem(10, "ops@example.net"), elem(13, UUID)] + tail()),
        ("add AP", ["-un", "admin", "-addmac", A_MAC, "-checkcode", "0A1b2C3d"],
         head(b"admin") + [elem(11, A_MAC), elem(13, ""), elem(14, "0A1b2C3d")] + tail()),
        ("delete AP", ["-delmac", A_MAC, "-checkcode", "12345678", "-uuid", UUID],
         head() + [elem(12, A_MAC), elem(13, UUID), elem(14, "12345678")] + tail()),
        ("search AP", ["-searchmac", A_MAC],
         head() + [elem(13, ""), elem(17, A_MAC)] + tail()),
        ("delete controller", ["-delac", "-email", "ignored@example.net"],
         head() + [elem(13, ""), elem(15, b"\x01")] + tail()),
        ("test run", ["-addmac", A_MAC, "-checkcode", "12345678", "-test"],
         head() + [elem(13, ""), elem(16, b"\x01")] + tail()),
        ("cid", ["-email", "ops@example.net", "-cid", "7"],
         head() + [elem(13, "")] + tail() + [elem(24, b"\x07")]),
        ("cid low byte", ["-cid", "255", "-cp", "8080"],
         head(port=8080) + [elem(13, "")] + tail() + [elem(24, b"\xff")]),
        ("extra texts", ["-srvn", "srv-1", "-desc", "[lab] rack 3: a/b\\c #2", "-cn",
                         "ACME (NZ)", "-pn", "(09) 555-0100", "-country", "NZ"],
         head() + [elem(10, ""), elem(13, "")] +
         tail(("srv-1", "[lab] rack 3: a/b\\c #2", "", "ACME (NZ)", "(09) 555-0100", "NZ"))),
    ]

    def test_every_kind_both_ways(self):
        for name, args, elements in self.KINDS:
            for proto in ("tcp", "udp"):
                for encode in (True, False):
                    with self.subTest(kind=name, proto=proto, encode=encode):
                        extra = [] if encode else ["-noencode"]
                        proc, req = self.exchange(args + extra, proto=proto)
                        self.expect(proc, SUCCESS)
                        self.assert_request(req, packet(elements, encode), proto)

    def test_control_characters_in_free_text(self):
        value = "line one\r\nline two"
        proc, req = self.exchange(["-desc", value])
        self.expect(proc, SUCCESS)
        expected = packet(head() + [elem(10, ""), elem(13, "")] +
                          tail(("", value, "", "", "", "")))
        self.assert_request(req, expected, "tcp")


class Replies(Exchange):
    def test_reply_encoding_independent_of_request(self):
        for proto in ("tcp", "udp"):
            for request_plain in (False, True):
                for reply_mode in ("on", "off"):
                    with self.subTest(proto=proto, request_plain=request_plain, reply=reply_mode):
                        args = ["-noencode"] if request_plain else []
                        proc, req = self.exchange(args, ["--encode", reply_mode], proto)
                        self.expect(proc, SUCCESS)
                        reply = bytes.fromhex(req["reply"])
                        self.assertEqual(reply[6], 1 if reply_mode == "on" else 0)
                        if reply_mode == "on":  # the address is not readable on the wire
                            self.assertNotIn(bytes([5, 4, 203, 0, 113, 7]), reply)

    def test_result_codes(self):
        cases = [
            ("0", SUCCESS),
            ("26", "[ERR] result=26, Checkcode Error\n"),
            ("32", "[ERR] result=32, REGISTERED\n"),
            ("34", "[ERR] result=34, REGISTERED_BY_OTHER\n"),
            ("40", "[ERR] result=40, Tovik_ac version too old, please update it\n"),
        ]
        for code, out in cases:
            for proto in ("tcp", "udp"):
                with self.subTest(code=code, proto=proto):
                    proc, _ = self.exchange([], ["--result", code], proto)
                    self.expect(proc, out)

    def test_checkcode_rejected_by_server(self):
        proc, req = self.exchange(["-addmac", A_MAC, "-checkcode", "87654321"],
                                  ["--checkcode", "12345678"])
        self.expect(proc, "[ERR] result=26, Checkcode Error\n")
        self.assertEqual(req["problem"], "checkcode")

    def test_broken_headers(self):
        cases = [
            (["--magic", "124"], "[ERR] Wrong Magic Number\n"),
            (["--magic", "X23", "--result", "26"], "[ERR] Wrong Magic Number\n"),
        ]
        base = bytes.fromhex("31323300030200001000300000000000")
        for field, value, text in ((4, 5, "Version not support"), (5, 8, "Type not support"),
                                   (7, 4, "Encode type not support"),
                                   (8, 26, "Action not support")):
            raw = bytearray(base)
            raw[field] = value
            cases.append((["--reply-hex", raw.hex()], "[ERR] %s\n" % text))
        for sim_args, out in cases:
            with self.subTest(sim=sim_args):
                proc, _ = self.exchange([], sim_args)
                self.expect(proc, out)

    def test_header_only_reply(self):
        for proto in ("tcp", "udp"):
            with self.subTest(proto=proto):
                proc, req = self.exchange([], ["--header-only"], proto)
                self.expect(proc, "Success, 192.168.0.3\n")
                self.assertEqual(len(bytes.fromhex(req["reply"])), 16)

    def test_reply_without_address_keeps_initial_one(self):
        proc, _ = self.exchange([], ["--no-wan", "--wan", "198.51.100.1"])
        self.expect(proc, "Success, 192.168.0.3\n")

    def test_other_address(self):
        proc, _ = self.exchange([], ["--wan", "198.51.100.1"], "udp")
        self.expect(proc, "Success, 198.51.100.1\n")

    def test_short_address_element_is_not_an_address(self):
        for encode in ("on", "off"):
            with self.subTest(encode=encode):
                proc, _ = self.exchange([], ["--wan-length", "2", "--encode", encode])
                self.expect(proc, "Success, 192.168.0.3\n")

    def test_element_past_total_length_prints_nothing(self):
        for encode in ("on", "off"):
            with self.subTest(encode=encode):
                proc, _ = self.exchange([], ["--total-length", "5", "--encode", encode])
                self.expect(proc, "")

    def test_total_length_beyond_bytes_received_prints_nothing(self):
        for total in ("7", "300", "65535"):
            with self.subTest(total=total):
                proc, _ = self.exchange([], ["--total-length", total, "--encode", "off"])
                self.expect(proc, "")
        raw = bytes.fromhex("313233000302000010003000000000ff") + bytes([1, 0]) * 248
        proc, _ = self.exchange([], ["--reply-hex", raw.hex()])
        self.expect(proc, "")

    def test_reply_shorter_than_header_is_not_success(self):
        proc, _ = self.exchange([], ["--reply-hex", "313233"], "udp")
        self.expect(proc, "")


class SegmentedReplies(Exchange):
    """A TCP reply may arrive in pieces: it is read until its header and the payload that
    total_length announces (padded to whole words when enciphered) are in."""

    def test_reply_in_two_segments(self):
        # The reply is the header and one address element: 22 bytes plain, 24 enciphered.
        for encode, splits in (("off", (1, 3, 15, 16, 21)), ("on", (1, 16, 22, 23))):
            for split in splits:
                with self.subTest(encode=encode, split=split):
                    self.guard.clear()
                    proc, req = self.exchange(["-dbg", "1"],
                                              ["--encode", encode, "--split", str(split)])
                    self.expect(proc, SUCCESS)
                    length = len(bytes.fromhex(req["reply"]))
                    self.assertEqual(length, 22 if encode == "off" else 24)
                    self.assertIn("] read_size=%d\n" % length, tc.read_text(tc.TCP_LOG))

    def test_segmented_header_failures(self):
        cases = [(["--magic", "124", "--split", "16"], "[ERR] Wrong Magic Number\n"),
                 (["--result", "26", "--split", "9"], "[ERR] result=26, Checkcode Error\n")]
        for sim_args, out in cases:
            with self.subTest(sim=sim_args):
                proc, _ = self.exchange([], sim_args)
                self.expect(proc, out)

    def test_rest_that_never_comes(self):
        # Header and two bytes of the element arrive, the rest never: at the time limit the
        # client walks what it has, which ends inside the element.
        start = time.monotonic()
        proc, _ = self.exchange(["-t", "1"], ["--encode", "off", "--split", "18", "--stall"])
        self.expect(proc, "")
        self.assertGreaterEqual(time.monotonic() - start, 0.9)


def loopback_name_from_hosts_file():
    """A name that /etc/hosts maps to a loopback address, where the files are asked before
    any other source; None otherwise (a lookup could then leave the machine)."""
    try:
        sources = []
        for line in open("/etc/nsswitch.conf"):
            words = line.split("#")[0].split()
            if words and words[0] == "hosts:":
                sources = words[1:]
        if not sources or sources[0] != "files":
            return None
        for line in open("/etc/hosts"):
            words = line.split("#")[0].split()
            if len(words) >= 2 and words[0].startswith("127."):
                for name in words[1:]:
                    if re.fullmatch(r"\w+(\.\w+)+|localhost", name):
                        return name, words[0]
    except OSError:
        pass
    return None


class SimulatorChecks(Exchange):
    """The simulator's own checks, which the wire comparisons above rely on."""

    def ask(self, request):
        with self.sim() as sim:
            with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
                s.settimeout(10)
                s.sendto(request, ("127.0.0.1", sim.port))
                reply = s.recv(512)
            return reply, tc.wait_requests(self.log)[-1]

    def test_requests_that_fail_the_checks(self):
        good = packet(head() + [elem(13, "")] + tail(), False)
        cases = [
            (b"124" + good[3:], 5, "magic"),
            (good[:8] + b"\x11" + good[9:], 15, "header fields"),
            (good[:-1], 15, "length"),
            (good[:14] + b"\x00\x01" + good[16:17], 15, "element overrun"),
        ]
        for request, code, problem in cases:
            with self.subTest(problem=problem):
                reply, logged = self.ask(request)
                self.assertEqual(reply[9], code)
                self.assertEqual(logged["problem"], problem)
        reply, logged = self.ask(good)
        self.assertEqual((reply[9], logged["check"]), (0, 0))


class ServerName(Exchange):
    def test_name_from_hosts_file(self):
        found = loopback_name_from_hosts_file()
        if not found or found[1] != "127.0.0.1":
            self.skipTest("no name for 127.0.0.1 in /etc/hosts")
        proc, req = self.exchange(["-sa", found[0]])
        self.expect(proc, SUCCESS)
        self.assertIsNotNone(req)


class Failures(Exchange):
    def test_udp_time_out(self):
        start = time.monotonic()
        proc, req = self.exchange(["-t", "1"], ["--silent"], "udp")
        elapsed = time.monotonic() - start
        self.expect(proc, "[ERR] Recv Timeout\n")
        self.assertIsNotNone(req)  # the request did arrive
        self.assertGreaterEqual(elapsed, 0.9)

    def test_tcp_time_out(self):
        proc, _ = self.exchange(["-t", "1"], ["--silent"], "tcp")
        self.expect(proc, "[ERR] Recv Timeout\n")

    def test_connection_refused(self):
        with self.sim() as sim:
            port = sim.port
        # The simulator is gone; nothing listens on its port any more.
        proc = tc.client(["-sp", str(port)])
        self.expect(proc, "[ERR] Socket connect error, errno=111\n")

    def shim_env(self, **values):
        return tc.shim_env(self, **values)

    def test_socket_cannot_be_opened(self):
        # The first socket is the one that learns the own addresses; the second is the exchange.
        env = self.shim_env(FAILSHIM_SOCKET="2")
        for proto, out in (("tcp", "[ERR] Could not create TCP socket, errno=24\n"),
                           ("udp", "[ERR] Could not create UDP socket, errno=24\n")):
            with self.subTest(proto=proto):
                with self.sim() as sim:
                    args = ["-sp", str(sim.port)] + (["-p", "udp"] if proto == "udp" else [])
                    self.expect(tc.client(args, env=env), out)
                self.assertEqual(tc.read_requests(self.log), [])

    def test_time_limits_cannot_be_set(self):
        for name in ("SO_RCVTIMEO", "SO_SNDTIMEO"):
            for proto in ("tcp", "udp"):
                with self.subTest(option=name, proto=proto):
                    env = self.shim_env(FAILSHIM_SETSOCKOPT=name)
                    with self.sim() as sim:
                        args = ["-sp", str(sim.port), "-p", proto]
                        self.expect(tc.client(args, env=env),
                                    "[ERR] setsockopt %s failed\n" % name)
                    # TCP connected but sent nothing; UDP sent nothing at all.
                    self.assertTrue(all(r["wire"] == "" for r in tc.read_requests(self.log)))


if __name__ == "__main__":
    tc.main()
