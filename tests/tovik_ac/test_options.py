"""tovik_ac options: help, version, lookups and every option error with its exit code."""
import os
import time

import tovik_common as tc
from tovik_common import harness

# (option, help text, example) in the order the help lists them.
ROWS = [
    ("-p", "Transmission protocol", "[tcp | udp]"),
    ("-i", "Ethernet interface", "[eth0]"),
    ("-t", "Maximum timeout time", "[0-1000]"),
    ("-sp", "Server service port", "[0-65535]"),
    ("-dbg", "Debug level setup", "[0-3]"),
    ("-sa", "Server service IP Address", "[IP address | domain name]"),
    ("-noencode", "Disable encode packet", ""),
    ("-cp", "Vornhelm service port", "[0-65535]"),
    ("-un", "Username of Vornhelm", "[username]"),
    ("-email", "Email of Vornhelm administrator", "[admin@example.com]"),
    ("-addmac", "MAC address of being mananged AP", "[00:00:00:00:00:01]"),
    ("-delmac", "MAC address of leaving mananged AP", "[00:00:00:00:00:01]"),
    ("-uuid", "Unique ID of AP", "[00000000-0000-0000-C000-000000000046]"),
    ("-checkcode", "Hash code of AP MAC address", "[12345678]"),
    ("-delac", "Delete Vornhelm", ""),
    ("-test", "Emulate connection of AP to Vornhelm", ""),
    ("-searchmac", "Search the AP", "[00:00:00:00:00:01]"),
    ("-srvn", "Extra Information", "[server name]"),
    ("-desc", "Extra Information", "[description]"),
    ("-fn", "Extra Information", "[full name]"),
    ("-cn", "Extra Information", "[company name]"),
    ("-pn", "Extra Information", "[phone number]"),
    ("-country", "Extra Information", "[country]"),
    ("-cid", "CID", "[CID]"),
    ("-v", "Show version", ""),
    ("-h", "Help information", ""),
    ("--help", "Help information", ""),
    ("?", "Help information", ""),
]

TRY = "Try `tovik_ac ?' or `tovik_ac -h' or `tovik_ac --help' for more information.\n"
HOST_NOT_FOUND = "Host not found, please check your domain name service"


def help_text():
    out = "Usage: tovik_ac [OPTION...] [PARAMETER]...\n\n"
    for opt, text, example in ROWS:
        out += "    %-16s %-48s  Example : tovik_ac %s %s\n" % (opt + ",", text, opt, example)
    return out + "\n\n"


class HelpAndVersion(tc.ClientTest):
    def test_help_lists_every_row(self):
        expected = help_text()
        self.assertEqual(len([l for l in expected.splitlines() if "Example : " in l]), 28)
        for word in ("-h", "--help", "?"):
            self.expect(tc.client([word]), expected)

    def test_help_ends_the_walk_before_later_errors(self):
        self.expect(tc.client(["-h", "-P"]), help_text())

    def test_version(self):
        self.expect(tc.client(["-v"]), "tovik_ac version: 0.5.14\n")


class OptionErrors(tc.ClientTest):
    def test_unrecognised_options(self):
        for word in ("-P", "-dbg3", "--sa", "tcp", ""):
            self.expect(tc.client([word]), "[ERR] Option [%s] not support\n" % word + TRY, 15)

    def test_missing_parameter(self):
        self.expect(tc.client(["-t"]),
                    "[ERR] Option [-t] should give parameter, Example: [0-1000]\n", 15)
        self.expect(tc.client(["-email"]),
                    "[ERR] Option [-email] should give parameter, Example: [admin@example.com]\n",
                    15)

    def test_parameter_is_taken_whatever_it_looks_like(self):
        # "-un" takes "-dbg" as its value, then "3" is an unknown option.
        self.expect(tc.client(["-un", "-dbg", "3"]), "[ERR] Option [3] not support\n" + TRY, 15)

    def test_malformed_parameters(self):
        cases = [
            ("-dbg", "4", "[0-3]"),
            ("-p", "http", "[tcp | udp]"),
            ("-t", "x5", "[0-1000]"),
            ("-sp", "65536", "[0-65535]"),
            ("-cp", "-1", "[0-65535]"),
            ("-i", "eth0:1", "[eth0]"),
            ("-sa", "1.2.3.", "[IP address | domain name]"),
            ("-addmac", "00:11:22:33:44", "[00:00:00:00:00:01]"),
            ("-delmac", "00-11-22-33-44-55", "[00:00:00:00:00:01]"),
            ("-searchmac", "", "[00:00:00:00:00:01]"),
            ("-uuid", "00000000-0000-0000-C000-00000000004", "[00000000-0000-0000-C000-000000000046]"),
            ("-checkcode", "1234567g", "[12345678]"),
            ("-email", "nobody", "[admin@example.com]"),
            ("-un", "bob smith", "[username]"),
            ("-srvn", "a\tb", "[server name]"),
            ("-country", "New Zealand", "[country]"),
            ("-cid", "256", "[CID]"),
        ]
        for opt, value, example in cases:
            with self.subTest(opt=opt):
                self.expect(tc.client([opt, value]),
                            "[ERR] Wrong parameter [%s] with option [%s], the parameter should "
                            "like %s\n" % (value, opt, example), 15)

    def test_protocol_other_than_tcp_or_udp(self):
        for value in ("tcpx", "xudp"):
            self.expect(tc.client(["-p", value]), "[ERR] Protocol not support\n", 3)

    def test_conflicting_modes(self):
        a, b = "00:11:22:33:44:55", "00:11:22:33:44:66"
        cases = [
            (["-addmac", a, "-searchmac", b], "search failed\n"),
            (["-searchmac", a, "-addmac", b], "add failed\n"),
            (["-addmac", a, "-delmac", b], "del failed\n"),
            (["-delmac", a, "-delac"], "del failed\n"),
            (["-delac", "-delac"], "del failed\n"),
            (["-test", "-test"], "test failed\n"),
        ]
        for args, out in cases:
            with self.subTest(args=args):
                self.expect(tc.client(args), out, 1)

    def test_first_error_wins(self):
        self.expect(tc.client(["-p", "tcpx", "-dbg", "9"]), "[ERR] Protocol not support\n", 3)
        self.expect(tc.client(["-test", "-test", "-P"]), "test failed\n", 1)

    def test_over_long_parameter_is_refused(self):
        long_name = "u" * 256
        self.expect(tc.client(["-un", long_name]),
                    "[ERR] Parameter of option [-un] is too long, at most 255 characters\n", 15)
        self.expect(tc.client(["-desc", "d" * 1000]),
                    "[ERR] Parameter of option [-desc] is too long, at most 255 characters\n", 15)

    def test_request_that_cannot_fit_is_refused_before_sending(self):
        with harness.Server("mgmt_sim", ["--log", self.sim_log()]) as sim:
            # 64 bytes of fixed elements, 255 + 193 of text: exactly 512 bytes.
            texts = ["-sp", str(sim.port), "-un", "u", "-srvn", "t" * 255]
            proc = tc.client(texts + ["-desc", "d" * 193])
            self.expect(proc, "Success, %s\n" % tc.WAN)
            self.assertEqual(len(bytes.fromhex(tc.read_requests(self.sim_log())[0]["wire"])), 512)
            proc = tc.client(texts + ["-desc", "d" * 194])
            self.expect(proc, "[ERR] Parameters too long, the request does not fit in 512 "
                              "bytes\n", 15)
            self.assertEqual(len(tc.read_requests(self.sim_log())), 1)

    def sim_log(self):
        return os.path.join(self.guard_dir(), "requests.jsonl")

    def guard_dir(self):
        if not hasattr(self, "_dir"):
            import tempfile
            self._tmp = tempfile.TemporaryDirectory()
            self._dir = self._tmp.name
        return self._dir


class HostLookup(tc.ClientTest):
    def test_unresolvable_name_in_empty_namespace(self):
        with open(tc.HOST_LOG, "w") as f:
            f.write("old contents\nmore\n")
        proc = tc.failing_lookup(self, ["-dbg", "1"])
        self.expect(proc, HOST_NOT_FOUND + "\n", 15)
        self.assertEqual(tc.read_text(tc.HOST_LOG), HOST_NOT_FOUND + "\n")

    def test_lookup_bounded_by_timeout_given_before(self):
        # The stand-in lookup never returns; "localhost" is in /etc/hosts in any case.
        env = tc.shim_env(self, FAILSHIM_HANG_LOOKUP="localhost")
        start = time.monotonic()
        proc = tc.client(["-t", "1", "-sa", "localhost"], env=env, timeout=30)
        self.expect(proc, HOST_NOT_FOUND + "\n", 15)
        self.assertLess(time.monotonic() - start, 10)
        self.assertEqual(tc.read_text(tc.HOST_LOG), HOST_NOT_FOUND + "\n")


if __name__ == "__main__":
    tc.main()
