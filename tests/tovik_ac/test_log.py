"""tovik_ac debug log: records per level, the file per transport, dumps and their format."""
import contextlib
import os
import struct
import tempfile

import tovik_common as tc
from tovik_common import elem, harness, head, hexdump, packet, tail

UUID = "00000000-0000-0000-C000-000000000046"
MAC = "00:11:22:33:44:55"
DUMP_START = "\n===============packet dump start===============\n"
DUMP_END = "\n===============packet dump finished=============\n"
UNKNOWN_P = "[ERR] Option [-P] not support\n" \
    "Try `tovik_ac ?' or `tovik_ac -h' or `tovik_ac --help' for more information.\n"
HOST_NOT_FOUND = "Host not found, please check your domain name service\n"


def rec(func, text):
    return "[DBG][Func:%s][Line:N] %s" % (func, text)


def walk_records(reply_plain):
    """What the reply walk logs for a reply (header plus elements) that checks out."""
    total = struct.unpack(">H", reply_plain[14:16])[0]
    out = rec("ac_pkt_access", "BEGIN header_check()\n") + \
        rec("header_check", 'Header check:[0], message:"Success" \n') + \
        rec("ac_pkt_access", "FINISH header_check()\n") + \
        rec("ac_pkt_access", "ac_pkt_access[N], ver=%d, type=%d, encode_type=%d, action=%d, "
            "total_length=%d\n" % (reply_plain[4], reply_plain[5], reply_plain[7],
                                   reply_plain[8], total))
    at = 16
    while at < 16 + total:
        out += rec("ac_pkt_access", "ac_pkt_access[N]\n")
        at += 2 + reply_plain[at + 1]
    return out


def start_records(ifname="lo"):
    return rec("main", "Vornhelm Interface = %s\n" % ifname) + \
        rec("main", "Vornhelm MAC Addr  = 00:00:00:00:00:00\n") + \
        rec("main", "Vornhelm IP  Addr  = 127.0.0.1\n")


def option(name, value_record=None):
    out = rec("checkoption", "Option [%s] matched\n" % name)
    return out + (rec("checkoption", value_record) if value_record else "")


def code_block(title, data):
    return title + hexdump(data) + "\n--\n"


def blocks(payload_len):
    return "len(no header)=%d, blockNumb=%d\n" % (payload_len, (payload_len + 3) // 4)


class DebugLog(tc.ClientTest):
    def setUp(self):
        super().setUp()
        self.tmp = tempfile.TemporaryDirectory()
        self.addCleanup(self.tmp.cleanup)
        self.req_log = os.path.join(self.tmp.name, "requests.jsonl")

    def run_against_sim(self, args, sim_args=()):
        with harness.Server("mgmt_sim", ["--log", self.req_log] + list(sim_args)) as sim:
            proc = tc.client(["-sp", str(sim.port)] + list(args))
        reqs = tc.read_requests(self.req_log)
        self.assertEqual(len(reqs), 1)
        return proc, reqs[0]

    def logs(self):
        return tuple(tc.normalise(t) if t is not None else None
                     for t in (tc.read_text(tc.TCP_LOG), tc.read_text(tc.UDP_LOG)))

    def test_level_zero_writes_no_log(self):
        proc, _ = self.run_against_sim(["-un", "bob"])
        self.expect(proc, "Success, %s\n" % tc.WAN)
        self.assertEqual(self.logs(), (None, None))

    def test_level_one_tcp_plain(self):
        proc, req = self.run_against_sim(["-dbg", "1", "-noencode", "-un", "bob", "-email",
                                          "a@b.cd"])
        self.expect(proc, "Success, %s\n" % tc.WAN)
        request = packet(head(b"bob") + [elem(10, "a@b.cd"), elem(13, "")] + tail(), False)
        self.assertEqual(req["wire"], request.hex())
        reply = bytes.fromhex(req["reply"])
        expected = rec("checkoption", "debug level=1\n") + \
            option("-noencode", "encode flag=DISABLED\n") + \
            option("-un", "username=bob\n") + option("-email", "email=a@b.cd\n") + \
            start_records() + \
            rec("ac_process", "BEGIN ac_pkt_gen()\n") + \
            rec("ac_process", "FINISH ac_pkt_gen()\n") + \
            rec("ac_process", "len=%d\n" % len(request)) + \
            rec("ac_process", "read_size=%d\n" % len(reply)) + walk_records(reply)
        self.assertEqual(self.logs(), (expected, None))

    def test_level_two_udp_dumps_request_twice(self):
        proc, req = self.run_against_sim(["-p", "udp", "-dbg", "2", "-searchmac", MAC],
                                         ["--encode", "off"])
        self.expect(proc, "Success, %s\n" % tc.WAN)
        elements = head() + [elem(13, ""), elem(17, MAC)] + tail()
        plain, sent = packet(elements, True), packet(elements, True)
        plain = plain[:6] + bytes([1]) + plain[7:16] + b"".join(elements)
        self.assertEqual(req["wire"], sent.hex())
        reply = bytes.fromhex(req["reply"])
        expected = rec("checkoption", "debug level=2\n") + \
            option("-searchmac", "searchmac=%s\n" % MAC) + start_records() + \
            rec("ac_process", "BEGIN ac_pkt_gen()\n") + \
            rec("ac_process", "FINISH ac_pkt_gen()\n") + \
            DUMP_START + hexdump(plain) + DUMP_END + \
            rec("ac_process", "read_size=%d\n" % len(reply)) + \
            DUMP_START + hexdump(sent) + DUMP_END + walk_records(reply)
        self.assertEqual(self.logs(), (None, expected))

    def test_level_three_tcp_encode_and_decode(self):
        proc, req = self.run_against_sim(["-dbg", "3", "-delac", "-uuid", UUID],
                                         ["--encode", "on", "--wan", "198.51.100.20"])
        self.expect(proc, "Success, 198.51.100.20\n")
        elements = head() + [elem(13, UUID), elem(15, b"\x01")] + tail()
        payload = b"".join(elements)
        sent = packet(elements, True)
        plain = sent[:16] + payload
        self.assertEqual(req["wire"], sent.hex())
        reply = bytes.fromhex(req["reply"])
        reply_payload = elem(5, bytes([198, 51, 100, 20]))
        reply_plain = reply[:16] + reply_payload + bytes(len(reply) - 16 - len(reply_payload))
        self.assertEqual(reply[16:], tc.encipher_payload(reply_payload))
        expected = rec("checkoption", "debug level=3\n") + \
            option("-delac", "add_mac_flag=DEL_AC") + option("-uuid", "uuid=%s\n" % UUID) + \
            start_records() + \
            rec("ac_process", "BEGIN ac_pkt_gen()\n") + \
            rec("ac_process", "FINISH ac_pkt_gen()\n") + \
            DUMP_START + hexdump(plain) + DUMP_END + \
            rec("ac_process", "len=%d\n" % len(plain)) + \
            code_block("Send_buf no encoded:\n", plain) + blocks(len(payload)) + \
            code_block("Send_buf after encoded:\n", sent) + \
            rec("ac_process", "read_size=%d\n" % len(reply)) + \
            DUMP_START + hexdump(sent) + DUMP_END + \
            code_block("Recv_buf no decoded:\n", reply) + blocks(len(reply) - 16) + \
            code_block("Recv_buf after decoded:\n", reply_plain) + walk_records(reply_plain)
        self.assertEqual(self.logs(), (expected, None))

    def test_dump_of_seventeen_bytes(self):
        raw = bytes.fromhex("31323300030201001000300000000000ab")
        proc, _ = self.run_against_sim(["-p", "udp", "-dbg", "3", "-noencode"],
                                       ["--reply-hex", raw.hex()])
        self.expect(proc, "Success, 192.168.0.3\n")
        udp = self.logs()[1]
        block = "Recv_buf no decoded:\n" \
            "31-32-33-00-03-02-01-00  10-00-30-00-00-00-00-00\nAB\n--\n" \
            "len(no header)=1, blockNumb=1\n" \
            "Recv_buf after decoded:\n" \
            "31-32-33-00-03-02-01-00  10-00-30-00-00-00-00-00\nAB-00-00-00\n--\n"
        self.assertIn(block, udp)

    def test_log_follows_transport_at_the_time(self):
        proc, _ = self.run_against_sim(["-dbg", "1", "-p", "udp", "-t", "7", "-cp", "4321"])
        self.expect(proc, "Success, %s\n" % tc.WAN)
        tcp, udp = self.logs()
        self.assertEqual(tcp, rec("checkoption", "debug level=1\n") + option("-p"))
        self.assertTrue(udp.startswith(rec("checkoption", "protocol=udp\n") +
                                       option("-t", "timeout=7\n") +
                                       option("-cp", "ac port=4321\n") + start_records()))

    def test_value_records_of_every_option(self):
        args = ["-dbg", "1", "-p", "tcp", "-i", "lo", "-t", "1000", "-sp", "9", "-sa",
                "127.0.0.1", "-cp", "77", "-un", "u~1", "-email", "a.b@c.de", "-uuid", UUID,
                "-checkcode", "1234abCD", "-srvn", "S 1", "-desc", "D", "-fn", "F", "-cn", "C",
                "-pn", "P", "-country", "NZ", "-cid", "9", "-test", "-delmac", MAC,
                "-addmac", MAC]
        self.expect(tc.client(args), "add failed\n", 1)
        expected = rec("checkoption", "debug level=1\n") + \
            option("-p", "protocol=tcp\n") + option("-i", "interface=lo\n") + \
            option("-t", "timeout=1000\n") + option("-sp", "server port=9\n") + \
            option("-sa", "server address=127.0.0.1\n") + option("-cp", "ac port=77\n") + \
            option("-un", "username=u~1\n") + option("-email", "email=a.b@c.de\n") + \
            option("-uuid", "uuid=%s\n" % UUID) + option("-checkcode", "checkcode=1234abCD\n") + \
            option("-srvn", "serverName=S 1\n") + option("-desc", "description=D\n") + \
            option("-fn", "fullName=F\n") + option("-cn", "companyName=C\n") + \
            option("-pn", "phoneNumber=P\n") + option("-country", "country=NZ\n") + \
            option("-cid", "cid=9\n") + option("-test", "test_flag=AP2AC") + \
            option("-delmac", "delmac=%s\n" % MAC) + option("-addmac")
        self.assertEqual(self.logs(), (expected, None))
        self.guard.clear()
        self.expect(tc.client(["-dbg", "1", "-addmac", MAC, "-searchmac", MAC]),
                    "search failed\n", 1)
        self.assertEqual(self.logs()[0], rec("checkoption", "debug level=1\n") +
                         option("-addmac", "addmac=%s\n" % MAC) + option("-searchmac"))

    def test_timeout_takes_the_leading_number(self):
        # The pattern admits any text ending in 1000; only leading digits count.
        self.expect(tc.client(["-dbg", "1", "-t", "5000", "-t", "-1000", "-t", "12x1000", "-P"]),
                    UNKNOWN_P, 15)
        self.assertEqual(self.logs()[0], rec("checkoption", "debug level=1\n") +
                         option("-t", "timeout=5000\n") + option("-t", "timeout=0\n") +
                         option("-t", "timeout=12\n"))

    def test_level_set_back_to_zero_stops_records(self):
        self.expect(tc.client(["-dbg", "2", "-un", "a", "-dbg", "0", "-un", "b", "-P"]),
                    UNKNOWN_P, 15)
        self.assertEqual(self.logs(), (rec("checkoption", "debug level=2\n") +
                                       option("-un", "username=a\n") + option("-dbg"), None))

    def test_failure_records(self):
        with harness.Server("mgmt_sim", ["--silent"]) as sim:
            proc = tc.client(["-p", "udp", "-dbg", "1", "-t", "1", "-sp", str(sim.port)])
        self.expect(proc, "[ERR] Recv Timeout\n")
        self.assertTrue(self.logs()[1].endswith(
            rec("ac_process", "FINISH ac_pkt_gen()\n") + rec("ac_process", "Recv Timeout\n")))
        with harness.Server("mgmt_sim") as sim:
            port = sim.port
        self.guard.clear()
        proc = tc.client(["-dbg", "1", "-sp", str(port)])
        self.expect(proc, "[ERR] Socket connect error, errno=111\n")
        self.assertTrue(self.logs()[0].endswith(
            start_records() + rec("ac_process", "Socket connect error, errno=111\n")))

    def test_failing_call_records(self):
        preload = tc.shim_env(self)
        cases = [
            ({"FAILSHIM_SOCKET": "2"}, "tcp", "Could not create TCP socket, errno=24\n"),
            ({"FAILSHIM_SOCKET": "2"}, "udp", "Could not create UDP socket, errno=24"),
            ({"FAILSHIM_SETSOCKOPT": "SO_RCVTIMEO"}, "tcp", "setsockopt SO_RCVTIMEO failed\n"),
            ({"FAILSHIM_SETSOCKOPT": "SO_SNDTIMEO"}, "udp", "setsockopt SO_SNDTIMEO failed\n"),
        ]
        for env, proto, record in cases:
            with self.subTest(record=record):
                self.guard.clear()
                env = dict(preload, **env)
                with harness.Server("mgmt_sim") as sim:
                    proc = tc.client(["-p", proto, "-dbg", "1", "-sp", str(sim.port)], env=env)
                self.assertEqual(proc.returncode, 0)
                log = self.logs()[0 if proto == "tcp" else 1]
                self.assertTrue(log.endswith(rec("ac_process", record)), log)


class PlantedLinks(tc.ClientTest):
    """A link planted at one of the fixed log paths is never followed: the record is skipped,
    the link stays, and the file it names is neither written, truncated nor created."""

    def setUp(self):
        super().setUp()
        self.tmp = tempfile.TemporaryDirectory()
        self.addCleanup(self.tmp.cleanup)

    @contextlib.contextmanager
    def planted(self, path, target):
        # Outside a private /tmp the path is shared: plant only where nothing lies already,
        # and remove only the link planted here.
        try:
            os.symlink(target, path)
        except FileExistsError:
            self.skipTest(path + " exists and is not ours to replace")
        try:
            yield
        finally:
            if os.path.islink(path) and os.readlink(path) == target:
                os.remove(path)

    def check_run(self, path, run, stdout, code):
        target = os.path.join(self.tmp.name, "target")
        for existing in (True, False):
            with self.subTest(path=path, target_exists=existing):
                self.guard.clear()
                if existing:
                    with open(target, "w") as f:
                        f.write("not a log\n")
                elif os.path.exists(target):
                    os.remove(target)
                with self.planted(path, target):
                    self.expect(run(), stdout, code)
                    self.assertTrue(os.path.islink(path))
                if existing:
                    self.assertEqual(tc.read_text(target), "not a log\n")
                else:
                    self.assertFalse(os.path.exists(target))

    def test_debug_logs(self):
        for path, proto in ((tc.TCP_LOG, "tcp"), (tc.UDP_LOG, "udp")):
            self.check_run(path, lambda: tc.client(["-p", proto, "-dbg", "3", "-P"]),
                           UNKNOWN_P, 15)

    def test_host_not_found_log(self):
        self.check_run(tc.HOST_LOG, lambda: tc.failing_lookup(self), HOST_NOT_FOUND, 15)


if __name__ == "__main__":
    tc.main()
