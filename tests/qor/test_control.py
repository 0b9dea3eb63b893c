"""WTP control commands against ac_sim: rst, sh, cac, dbg, byte for byte."""
import unittest

from simctl import SimTestCase, distinct_macs

M1, M2, M3 = "00:11:22:33:44:55", "00:11:22:33:44:66", "00:11:22:33:44:77"

FLEET = """
wtp 00:11:22:33:44:55 output="Linux wtp1 4.14\\n"
wtp 00:11:22:33:44:66 sh=12 rst=10 cac=17 output="never shown"
wtp 00:11:22:33:44:77 output=""
wtp 02:00:00:00:00:01 output="line1\\nline2"
"""


class Control(SimTestCase):
    fleet = FLEET

    # ---- rst ------------------------------------------------------------------------

    def test_rst_factory_reset_of_one_wtp(self):
        self.exchange(["rst", "--mac=" + M1, "--factory"],
                      "06 000e 01 00 00000000 0001 001122334455 00", "00")

    def test_rst_flags_wait_and_list(self):
        self.exchange(["rst", "--mac", M1, "--factory", "--flickreboot"],
                      "06 000e 01 01 00000000 0001 001122334455 00", "00")
        self.exchange(["rst", "--flickreboot", "--wait", "4294967295", "--mac=a:b:c:d:e:f,0:11:22:33:44:55"],
                      "06 0014 00 01 7fffffff 0002 0a0b0c0d0e0f 001122334455 00", "06 00",
                      status=1, stderr="ERROR: Device 0a:0b:0c:0d:0e:0f was not found.\n")
        self.exchange(["rst", "--wait=-2", "--wait", "7x", "--mac", M3 + "," + M2],
                      "06 0014 00 00 00000007 0002 001122334477 001122334466 00", "00 0a",
                      status=1, stderr="ERROR: Device 00:11:22:33:44:66 is busy.\n")

    def test_rst_option_errors(self):
        self.refused(["rst"], "ERROR: Require --mac.\n")
        self.refused(["rst", "--factory", "--wait", "3"], "ERROR: Require --mac.\n")
        self.refused(["rst", "--mac", M1, "--mac", M2], "ERROR: Specify more than one --mac.\n")
        self.refused(["rst", "--mac=01:02:03:04:05:06"],
                     "ERROR: Invalid --mac argument '01:02:03:04:05:06'.\n")
        self.refused(["rst", "--mac=00:00:00:00:00:00"],
                     "ERROR: Invalid --mac argument '00:00:00:00:00:00'.\n")
        self.refused(["rst", "--mac=" + M1 + ",1:2:3"], "ERROR: Invalid --mac argument '%s,1:2:3'.\n" % M1)
        # Entries are examined in order.
        self.refused(["rst", "--mac=bad", "--json"], "ERROR: Invalid --mac argument 'bad'.\n")
        self.refused(["rst", "--json", "--mac=bad"], "ERROR: Unknown option --json.\n")
        self.refused(["rst", "--factory", "--cmd", "x"], "ERROR: Unknown option --cmd.\n")

    def test_rst_mac_list_whose_length_field_would_wrap(self):
        # 10922 distinct MACs of 11 characters fit one argument; 6n + 8 is then 65540.
        macs = distinct_macs(10922)
        r = self.qor("rst", "--mac=" + ",".join(macs))
        self.assertEqual(r.returncode, 1)
        self.assertTrue(r.stderr.startswith(b"ERROR: Invalid --mac argument '2:0:0:0:0:0,"))
        self.assertEqual(self.sim.next_block()["recv"], b"\x00")
        r = self.qor("rst", "--mac=" + ",".join(macs[1:]))
        self.assertEqual(r.returncode, 1)
        self.assertEqual(r.stderr.count(b" was not found.\n"), 10920)  # one is in the fleet
        self.assertEqual(self.sim.next_block()["recv"][:5], bytes.fromhex("06fffe0000"))

    # ---- sh -------------------------------------------------------------------------

    def test_sh_three_wtps_one_without_response(self):
        out = ("WTP 00:11:22:33:44:55 output:\nLinux wtp1 4.14\n\n"
               "WTP 00:11:22:33:44:77 output:\n\n").encode()
        self.exchange(["sh", "--mac", ",".join([M1, M2, M3]), "--cmd", "uname -a", "--type", "1",
                       "--timeout", "30"],
                      "12 0023 0003 001122334455 001122334466 001122334477 01 0000001e 0008"
                      + b"uname -a".hex() + "00",
                      "00 0010" + b"Linux wtp1 4.14\n".hex() + " 0c 00 0000",
                      stdout=out, stderr="ERROR: No response from device 00:11:22:33:44:66.\n")

    def test_sh_values(self):
        # A later --cmd wins; the type "abc" converts to 0; upper-case MACs print in lower case.
        self.exchange(["sh", "--cmd", "a", "--type", "abc", "--mac", "02:00:00:00:00:01",
                       "--cmd", "free", "--type", "2", "--type=abc"],
                      "12 0013 0001 020000000001 00 00000000 0004" + b"free".hex() + "00",
                      "00 000b" + b"line1\nline2".hex(),
                      stdout=b"WTP 02:00:00:00:00:01 output:\nline1\nline2\n")

    def test_sh_option_errors(self):
        self.refused(["sh"], "ERROR: Require --mac.\n")
        self.refused(["sh", "--cmd", "ls"], "ERROR: Require --mac.\n")
        self.refused(["sh", "--mac", M1], "ERROR: Require --cmd.\n")
        self.refused(["sh", "--mac", M1, "--type", "3", "--cmd", "ls"],
                     "ERROR: Invalid --type argument '3'.\n")
        self.refused(["sh", "--mac", M1, "--type", "-1", "--cmd", "ls"],
                     "ERROR: Invalid --type argument '-1'.\n")
        self.refused(["sh", "--mac", M1, "--timeout", "-1", "--cmd", "ls"],
                     "ERROR: Invalid --timeout argument '-1'.\n")
        self.refused(["sh", "--mac", M1, "--mac", M1, "--cmd", "ls"],
                     "ERROR: Specify more than one --mac.\n")
        self.refused(["sh", "--mac=zz", "--cmd", "ls"], "ERROR: Invalid --mac argument 'zz'.\n")
        self.refused(["sh", "--mac", M1, "--cmd", "ls", "--wait", "1"],
                     "ERROR: Unknown option --wait.\n")

    def test_sh_command_text_too_long_for_its_length_field(self):
        text = "x" * (65535 - 9 - 6 + 1)
        self.refused(["sh", "--mac", M1, "--cmd", text], "ERROR: Invalid --cmd argument '%s'.\n" % text)
        r = self.qor("sh", "--mac", M1, "--cmd", text[1:])
        self.assertEqual(r.returncode, 0)
        self.assertEqual(self.sim.next_block()["recv"][:3], bytes.fromhex("12ffff"))

    # ---- cac ------------------------------------------------------------------------

    def test_cac_address_sent_as_typed(self):
        self.exchange(["cac", "--mac", M1, "--ip", "192.168.10.2"],
                      "11 0015 0001 001122334455 0c" + b"192.168.10.2".hex() + "00", "00")
        self.exchange(["cac", "--ip", "ac-main.lan", "--mac", M1 + "," + M2],
                      "11 001a 0002 001122334455 001122334466 0b" + b"ac-main.lan".hex() + "00",
                      "00 11", status=1, stderr="ERROR: Device 00:11:22:33:44:66 is not ready.\n")
        longest = "h" * 255
        self.exchange(["cac", "--mac", M1, "--ip", longest],
                      "11 0108 0001 001122334455 ff" + longest.encode().hex() + "00", "00")

    def test_cac_option_errors(self):
        self.refused(["cac"], "ERROR: Require --mac.\n")
        self.refused(["cac", "--ip", "1.2.3.4"], "ERROR: Require --mac.\n")
        self.refused(["cac", "--mac", M1], "ERROR: Require --ip.\n")
        self.refused(["cac", "--mac", M1, "--ip", "10.0.0.300"],
                     "ERROR: Invalid ip value '10.0.0.300'.\n")
        self.refused(["cac", "--mac", M1, "--ip", "1.2.3"], "ERROR: Invalid ip value '1.2.3'.\n")
        self.refused(["cac", "--mac", M1, "--ip", "h" * 256],
                     "ERROR: Invalid addr value '%s'.\n" % ("h" * 256))
        self.refused(["cac", "--mac", M1, "--ip", "a", "--ip", "b"],
                     "ERROR: Specify more than one --ip.\n")
        self.refused(["cac", "--mac", M1, "--mac", M2, "--ip", "a"],
                     "ERROR: Specify more than one --mac.\n")
        self.refused(["cac", "--mac", "1:2:3:4:5:6", "--ip", "a"],
                     "ERROR: Invalid --mac argument '1:2:3:4:5:6'.\n")
        self.refused(["cac", "--mac", M1, "--ip", "a", "--factory"],
                     "ERROR: Unknown option --factory.\n")

    # ---- dbg ------------------------------------------------------------------------

    def test_dbg_requests(self):
        self.exchange(["dbg", "--enable", "1"], "0f 00000001 00000000 000000000000 00", "")
        self.exchange(["dbg", "--enable", "yes", "--wtp", "--mac", M1 + "," + M2],
                      "0f 00000000 00000001 001122334455 00", "")
        self.exchange(["dbg", "--mac", M2, "--enable", "-7", "--mac", M1 + "junk"],
                      "0f 00000001 00000000 001122334455 00", "")

    def test_dbg_option_errors(self):
        self.refused(["dbg"], "ERROR: Require --enable.\n")
        self.refused(["dbg", "--wtp"], "ERROR: Require --enable.\n")
        self.refused(["dbg", "--enable", "1", "--mac", "01:00:00:00:00:01"],
                     "ERROR: Invalid --mac argument '01:00:00:00:00:01'.\n")
        self.refused(["dbg", "--enable", "1", "--mac", "0:0:0:0:0:0"],
                     "ERROR: Invalid --mac argument '0:0:0:0:0:0'.\n")
        self.refused(["dbg", "--enable", "1", "--all"], "ERROR: Unknown option --all.\n")


if __name__ == "__main__":
    unittest.main()
