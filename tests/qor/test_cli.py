"""qor's command line: usage listing, command word, option syntax, argument vector limits."""
import unittest

import harness
from simctl import AcSim, ClosedPort

LISTING = (
    "\nAvailable COMMAND type:\n"
    "ac\tPrint AC information\n"
    "\t--json\t\t\tprint in json format\n"
    "wtps\tPrint WTP information\n"
    "\t--json\t\t\tprint in json format\n"
    "\t--managed\t\tprint managed wtps only\n"
    "\t--unmanaged\t\tprint unmanaged wtps only\n"
    "\t--join\t\t\tprint joined wtps only\n"
    "\t--password\t\tprint password MD5\n"
    "\t--mac MAC\t\tprint the wtp specified by mac address list\n"
    "\t--fwresult\t\tprint the result of upgrading firmware\n"
    "\t--breif\t\t\tprint a breif list\n"
    "\t--no_cfg\t\tfilter out configuration\n"
    "\t--basic\t\t\tprint wtp's basic info\n"
    "\t--no_stainf\t\tfilter out station info\n"
    "cfg\tUpdate WTP setting\n"
    "\t--mac MAC\t\tthe wtp's mac address list\n"
    "\t--type TYPE\t\tspecify the type of cfg file. 0:AP 1:Switch\n"
    "\t--add\t\t\tadd the wtp to management list\n"
    "\t--del\t\t\tdelete the wtp from management list\n"
    "\t--file FILE\t\tspecify the json config file\n"
    "\t--ip IP/MSK/GW/DNS1/DNS2 specify ip setting when the wtp joins\n"
    "\t--wait SEC\t\thow many seconds to wait before applying config\n"
    "upg\tUpgrade WTP image\n"
    "\t--mac MAC\t\tthe wtp's mac address list\n"
    "\t--period SEC\t\toffline timeout value for upgrading\n"
    "rst\tReset WTP\n"
    "\t--mac MAC\t\tthe wtp's mac address list\n"
    "\t--factory\t\treset to factory settings\n"
    "\t--wait SEC\t\thow many seconds to wait before reset\n"
    "mem\tShow AC memory info\n"
    "\t--all\t\t\tlist every memory info instead of a summary\n"
    "initfw\tSet Upgrading state\n"
    "\t--fwstat\t\tlist initialize WTPs status of firmware\n"
    "wtpflag\tShow filter WTPs\n"
    "\t--mac MAC\t\tthe wtp's mac address list\n"
    "\t--flag\t\t\tlist Display the WTP information according to the following flag:\n"
    "\t\t\t\t1: show 2step upgrading AP infomation according to mac list\n"
    "\t\t\t\t2: show number of upgrading AP according to mac list\n"
    "scan\tDo sitesurvey\n"
    "\t--mac MAC\t\tthe wtp's mac address list\n"
    "\t--radio 2g/5g\t\tthe radio type\n"
    "bgscan\tDo background sitesurvey\n"
    "\t--radio 2g/5g\t\tradio type\n"
    "\t--enable 0/1\t\tenable or not\n"
    "\t--period \t\tinterval in seconds\n"
    "autoch\tDo auto channel selection\n"
    "\t--radio 2g/5g\t\tradio type\n"
    "\t--enable 0/1\t\tenable or not\n"
    "\t--period \t\tinterval in seconds\n"
    "autotp\tDo auto tx power\n"
    "\t--radio 2g/5g\t\tradio type\n"
    "\t--enable 0/1\t\tenable or not\n"
    "\t--period \t\tinterval in seconds\n"
    "kick\tKick wireless client\n"
    "\t--mac MAC\t\tthe wtp's mac address list\n"
    "\t--radio 2g/5g\t\tthe sitesurvey radio\n"
    "\t--wlan NUM\t\tthe wlan number\n"
    "\t--client MAC\t\tthe client's mac address list\n"
    "online\tShow the number of online wtps\n"
    "exit\tTerminate AC\n"
    "kill\tKill AC\n"
    "dbg\tEnable/Disable Debug Log\n"
    "\t--enable 0/1\t\tenable or not\n"
    "\t--wtp\t\t\tset wtp debug log\n"
    "\t--mac MAC\t\t\tthe wtp's MAC to be set\n"
    "nodc\tDisable AC discovery\n"
    "cac\tLet WTP connect to specific AC\n"
    "\t--mac MAC\t\tthe wtp's mac address list\n"
    "\t--ip ADDR\t\tAC IP address or host name\n"
    "sh\tDo shell command\n"
    "\t--mac MAC\t\tthe wtp's mac address list\n"
    "\t--cmd COMMAND\t\tshell commag\t\t\n"
    "\t--type 0/1/2\t\tspecify output type. 0:all 1:stdout 2:stderr\n"
    "\t--timeout SEC\t\tspecify how many seconds to wait for commmand execution\n"
    "fwlist\tShow firmware upgrade list\n"
    "\t--mac MAC\t\tthe wtp's mac address list\n"
)

MAC = "00:11:22:33:44:55"

# Every long option but acserver and acport, with whether it takes a value.
HANDLER_OPTIONS = {
    "file": True, "ip": True, "mac": True, "add": False, "del": False, "json": False,
    "managed": False, "unmanaged": False, "join": False, "period": True, "password": False,
    "factory": False, "all": False, "fwstat": True, "fwresult": False, "flag": True,
    "no_cfg": False, "radio": True, "wlan": True, "client": True, "type": True, "breif": False,
    "enable": True, "basic": False, "cmd": True, "wtp": False, "no_stainf": False,
    "timeout": True, "wait": True, "flickreboot": False,
}

# The options each command takes (nodc takes and ignores everything).
ACCEPTED = {
    "ac": {"json"},
    "wtps": {"mac", "json", "managed", "unmanaged", "join", "password", "fwresult", "no_cfg",
             "breif", "basic", "no_stainf"},
    "cfg": {"mac", "type", "add", "del", "file", "ip", "wait"},
    "upg": {"mac", "period", "type"},
    "rst": {"mac", "factory", "wait", "flickreboot"},
    "mem": {"all"},
    "initfw": {"fwstat"},
    "wtpflag": {"mac", "flag"},
    "scan": {"mac", "radio"},
    "bgscan": {"radio", "enable", "period"},
    "autoch": {"radio", "enable", "period"},
    "autotp": {"radio", "enable", "period"},
    "kick": {"mac", "radio", "wlan", "client"},
    "online": set(),
    "exit": set(),
    "kill": set(),
    "dbg": {"enable", "wtp", "mac"},
    "cac": {"mac", "ip"},
    "sh": {"mac", "cmd", "type", "timeout"},
    "fwlist": {"mac"},
}

# An option each command takes, with a value its own checks accept.
LEADING = {"ac": "--json", "wtps": "--json", "cfg": "--add", "upg": "--period=5",
           "rst": "--factory", "mem": "--all", "initfw": "--fwstat=1", "wtpflag": "--flag=1",
           "scan": "--radio=2g", "bgscan": "--enable=1", "autoch": "--radio=5g",
           "autotp": "--period=9", "kick": "--wlan=1", "dbg": "--wtp", "cac": "--ip=10.0.0.1",
           "sh": "--cmd=ls", "fwlist": "--mac=" + MAC}


class Listing(unittest.TestCase):
    def test_no_command_prints_the_listing_and_fails(self):
        r = harness.run("qor")
        self.assertEqual(r.returncode, 1)
        self.assertEqual(r.stderr, b"")
        prog = harness.prog("qor")[-1]
        self.assertEqual(r.stdout.decode(), "usage: %s COMMAND [ARGS]\n" % prog + LISTING)
        commands = [l.split("\t")[0] for l in LISTING.splitlines() if l and l[0] not in "\tA"]
        self.assertEqual(len(commands), 21)


class CommandWord(unittest.TestCase):
    def test_command_must_be_the_first_word(self):
        for words, shown in ((["--json", "ac"], "--json"), (["AC"], "AC"), (["rs"], "rs"),
                             (["rstx", "--mac", MAC], "rstx")):
            r = harness.run("qor", words)
            self.assertEqual((r.returncode, r.stdout, r.stderr.decode()),
                             (1, b"", "ERROR: Wrong command specified '%s'\n" % shown))


class OptionSyntax(unittest.TestCase):
    """Errors found while reading options end the run before any connection."""

    def check(self, words, err):
        with ClosedPort() as p:
            r = harness.run("qor", words + ["--acport", str(p.port)])
        self.assertEqual((r.returncode, r.stdout, r.stderr.decode()), (1, b"", err), words)

    def test_option_errors(self):
        self.check(["rst", "-x"], "ERROR: Unknown option -x.\n")
        self.check(["rst", "--factory", "-mac"], "ERROR: Unknown option -m.\n")
        self.check(["rst", "--foo"], "ERROR: Unknown option `--foo'.\n")
        self.check(["wtps", "--no"], "ERROR: Unknown option `--no'.\n")
        self.check(["rst", "--json=1"], "ERROR: Option --json doesn't allow an argument.\n")
        with ClosedPort() as p:
            for words, name in ((["--mac"], "mac"), (["--wai"], "wait"), (["--acp"], "acport")):
                r = harness.run("qor", ["rst", "--acport", str(p.port)] + words)
                self.assertEqual(r.stderr.decode(),
                                 "ERROR: Option --%s requires an argument.\n" % name)
                self.assertEqual(r.returncode, 1)

    def test_sixty_five_options_are_refused_before_connecting(self):
        words = ["rst", "--mac=" + MAC] + ["--factory"] * 64
        self.check(words, "ERROR: Too many arguments\n")

    def test_connection_comes_after_options_and_before_every_handler(self):
        with ClosedPort() as p:
            for cmd in ("online", "nodc", "rst", "dbg"):
                r = harness.run("qor", [cmd, "--acport", str(p.port)])
                self.assertEqual((r.returncode, r.stderr), (1, b"ERROR: AC is not running.\n"))


class OptionsAgainstTheAc(unittest.TestCase):
    def setUp(self):
        self.sim = AcSim("result 0\nwtp %s\n" % MAC).__enter__()

    def tearDown(self):
        self.sim.__exit__(None, None, None)

    def rst_body(self, r):
        self.assertEqual((r.returncode, r.stdout, r.stderr), (0, b"", b""))
        block = self.sim.next_block()
        return block["recv"]

    def test_sixty_four_options_are_accepted(self):
        r = self.sim.qor("rst", "--mac=" + MAC, *(["--factory"] * 63),
                         "--acserver=127.0.0.1")
        self.assertEqual(self.rst_body(r)[:4], bytes([6, 0, 14, 1]))

    def test_prefixes_values_and_non_options(self):
        # --wai is --wait; "stray" is skipped; after "--" nothing is an option.
        r = self.sim.qor("rst", "stray", "--wai", "300", "--mac", MAC, "--", "--factory")
        self.assertEqual(self.rst_body(r),
                         bytes.fromhex("06000e" "00" "00" "0000012c" "0001" "001122334455" "00"))
        r = self.sim.qor("rst", "--mac=" + MAC, "--wait=abc", "--fl")
        self.assertEqual(r.stderr, b"ERROR: Unknown option `--fl'.\n")

    def test_server_and_port_never_reach_the_handler(self):
        # The last --acport wins; a server text that is no dotted address leaves the
        # address all zeros (no name is looked up).
        r = harness.run("qor", ["dbg", "--acport", "1", "--enable", "1", "--acserver", "host.invalid",
                                "--acport", str(self.sim.port)])
        self.assertEqual((r.returncode, r.stderr), (0, b""))
        self.assertEqual(self.sim.next_block()["recv"][:1], b"\x0f")

    def test_handler_refuses_options_of_other_commands(self):
        r = self.sim.qor("rst", "--mac=" + MAC, "--json")
        self.assertEqual((r.returncode, r.stderr), (1, b"ERROR: Unknown option --json.\n"))
        # Nothing but the closing byte was sent.
        self.assertEqual(self.sim.next_block()["recv"], b"\x00")

    def test_every_option_outside_a_commands_set_is_unknown(self):
        # Alone and after an option the command takes, and followed by another one: the
        # message names the first unknown option, and only the closing byte reaches the AC.
        self.assertEqual(len(ACCEPTED), 20)
        runs = 0
        for cmd, accepted in sorted(ACCEPTED.items()):
            leads = [[]] + ([[LEADING[cmd]]] if cmd in LEADING else [])
            for opt, has_value in sorted(HANDLER_OPTIONS.items()):
                if opt in accepted:
                    continue
                word = "--%s=1" % opt if has_value else "--" + opt
                for lead in leads:
                    args = [cmd] + lead + [word, "--add"]
                    r = self.sim.qor(*args)
                    self.assertEqual((r.returncode, r.stdout, r.stderr.decode()),
                                     (1, b"", "ERROR: Unknown option --%s.\n" % opt), args)
                    self.assertEqual(self.sim.next_block()["recv"], b"\x00", args)
                    runs += 1
        self.assertEqual(runs, 2 * 20 * 30 - 2 * sum(len(a) for a in ACCEPTED.values()) - 3 * 30)
        # nodc ignores every one of them and sends its request.
        r = self.sim.qor("nodc", *["--%s=1" % o if v else "--" + o for o, v in HANDLER_OPTIONS.items()])
        self.assertEqual((r.returncode, r.stderr), (0, b""))
        self.assertEqual(self.sim.next_block()["recv"].hex(), "10" "00000000" "00")


if __name__ == "__main__":
    unittest.main()
