"""Firmware and radio commands against ac_sim: upg, initfw, fwlist, scan, bgscan, autoch,
autotp, kick. Wire bytes, output, messages and exit statuses."""
import unittest

from simctl import SimTestCase, distinct_macs

M1, M2, M3 = "00:11:22:33:44:55", "00:11:22:33:44:66", "00:11:22:33:44:77"
C1, C2, C3 = "02:00:00:00:00:01", "02:00:00:00:00:02", "aa:bb:cc:dd:ee:0f"

FLEET = """
unknown_result 6
wtp 00:11:22:33:44:55 fwstep=1
wtp 00:11:22:33:44:66 fwstep=2 fwlist=12 scan=13
wtp 00:11:22:33:44:77 fwstep=1 kick=17
wtp 02:00:00:00:00:09 fwstep=1
"""


class Ops(SimTestCase):
    fleet = FLEET


class Firmware(Ops):
    def test_upg_reports_each_failing_wtp(self):
        # type -1 travels as 0xFFFFFFFF; the period is taken as typed.
        self.exchange(["upg", "--mac", M1 + "," + "00:00:00:00:00:01", "--period=600", "--type", "-1"],
                      "02 0016 0002 00000258 ffffffff 001122334455 000000000001 00", "00 06",
                      status=1, stderr="ERROR: Device 00:00:00:00:00:01 was not found.\n")
        self.exchange(["upg", "--type=2", "--mac=" + M1, "--period", "abc"],
                      "02 0010 0001 00000000 00000002 001122334455 00", "00")

    def test_upg_with_no_mac_in_the_list_reads_no_results(self):
        self.exchange(["upg", "--mac=,"], "02 000a 0000 00000000 00000000 00")

    def test_upg_option_errors(self):
        self.refused(["upg"], "ERROR: Require --mac.\n")
        self.refused(["upg", "--period", "5", "--type", "1"], "ERROR: Require --mac.\n")
        self.refused(["upg", "--mac", M1, "--type", "3"], "ERROR: Invalid --type argument '3'.\n")
        self.refused(["upg", "--type", "3", "--mac", "bad"], "ERROR: Invalid --type argument '3'.\n")
        self.refused(["upg", "--mac", M1, "--mac", M2], "ERROR: Specify more than one --mac.\n")
        self.refused(["upg", "--mac", "01:00:00:00:00:01"],
                     "ERROR: Invalid --mac argument '01:00:00:00:00:01'.\n")
        self.refused(["upg", "--mac", M1, "--radio", "2g"], "ERROR: Unknown option --radio.\n")

    def test_initfw_sends_the_last_state(self):
        self.exchange(["initfw"], "09 00000000 00")
        self.exchange(["initfw", "--fwstat", "-1"], "09 ffffffff 00")
        self.exchange(["initfw", "--fwstat", "3", "--fwstat=x"], "09 00000000 00")
        self.refused(["initfw", "--fwstat", "1", "--mac", M1], "ERROR: Unknown option --mac.\n")

    def test_fwlist_prints_both_lists_on_one_line_without_a_line_end(self):
        # The AC answers the requested WTPs' steps; M2's result 12 is reported, not a failure.
        self.exchange(["fwlist", "--mac", "00:11:22:33:44:77,00:11:22:33:44:55,0:11:22:33:44:66"],
                      "13 0014 0003 001122334477 001122334455 001122334466 00",
                      "00 00 0c 0002 001122334455 001122334477 0001 001122334466",
                      stdout=b"one step=00:11:22:33:44:55,00:11:22:33:44:77two step=00:11:22:33:44:66",
                      stderr="ERROR: No response from device 00:11:22:33:44:66.\n")
        self.exchange(["fwlist", "--mac", "02:00:00:00:00:09"], "13 0008 0001 020000000009 00",
                      "00 0001 020000000009 0000", stdout=b"one step=02:00:00:00:00:09")

    def test_fwlist_with_no_mac_still_reads_the_lists(self):
        self.exchange(["fwlist", "--mac=,,"], "13 0002 0000 00",
                      "0003 001122334455 001122334477 020000000009 0001 001122334466",
                      stdout=b"one step=00:11:22:33:44:55,00:11:22:33:44:77,02:00:00:00:00:09"
                             b"two step=00:11:22:33:44:66")

    def test_fwlist_with_empty_lists_prints_nothing(self):
        self.exchange(["fwlist", "--mac", "02:00:00:00:00:0a"], "13 0008 0001 02000000000a 00",
                      "06 0000 0000", stderr="ERROR: Device 02:00:00:00:00:0a was not found.\n")

    def test_fwlist_option_errors(self):
        self.refused(["fwlist"], "ERROR: Require --mac.\n")
        self.refused(["fwlist", "--mac", M1, "--period", "1"], "ERROR: Unknown option --period.\n")
        self.refused(["fwlist", "--mac", M1, "--mac", M1], "ERROR: Specify more than one --mac.\n")
        self.refused(["fwlist", "--mac", "1:2:3:4:5"], "ERROR: Invalid --mac argument '1:2:3:4:5'.\n")


class FirmwareListCut(Ops):
    # The reply stops inside the one-step list: result byte, count, two bytes of a MAC.
    sim_args = ("--cut", "5")

    def test_a_list_cut_short_prints_nothing_and_fails(self):
        r = self.sim.qor("fwlist", "--mac", M1)
        self.assertEqual((r.returncode, r.stdout, r.stderr), (1, b"", b""))
        self.sim.next_block()


class Radio(Ops):
    def test_scan(self):
        self.exchange(["scan", "--radio", "5g", "--mac", M1], "0a 0009 01 0001 001122334455 00", "00")
        self.exchange(["scan", "--mac", M1 + "," + M2, "--radio=2g"],
                      "0a 000f 00 0002 001122334455 001122334466 00", "00 0d", status=1,
                      stderr="ERROR: Device 00:11:22:33:44:66 doesn't support this operation.\n")

    def test_scan_option_errors(self):
        self.refused(["scan"], "ERROR: Require --mac.\n")
        self.refused(["scan", "--radio", "2g"], "ERROR: Require --mac.\n")
        self.refused(["scan", "--mac", M1], "ERROR: Require --radio.\n")
        self.refused(["scan", "--mac", M1, "--radio", "5g1"], "ERROR: Require --radio.\n")
        # A later radio that is no keyword unsets an earlier one; keywords are case-sensitive.
        self.refused(["scan", "--mac", M1, "--radio", "2g", "--radio", "2G"], "ERROR: Require --radio.\n")
        self.refused(["scan", "--mac", M1, "--mac", M2], "ERROR: Specify more than one --mac.\n")
        self.refused(["scan", "--mac", M1, "--enable", "1"], "ERROR: Unknown option --enable.\n")

    def test_autoch_and_autotp_send_radio_enable_period_and_read_nothing(self):
        self.exchange(["autoch", "--radio", "5g", "--enable", "1", "--period", "300"],
                      "0c 0009 00000001 01 0000012c 00")
        self.exchange(["autotp", "--radio=5g1", "--enable=0"], "0d 0009 00000002 00 00000000 00")
        self.exchange(["autotp", "--period", "-1", "--enable", "1", "--radio", "2g"],
                      "0d 0009 00000000 01 ffffffff 00")

    def test_radio_automation_option_errors(self):
        for cmd in ("bgscan", "autoch", "autotp"):
            self.refused([cmd], "ERROR: Invalid --radio argument.\n")
            self.refused([cmd, "--enable", "1"], "ERROR: Invalid --radio argument.\n")
            self.refused([cmd, "--period", "1"], "ERROR: Invalid --radio argument.\n")
            self.refused([cmd, "--radio", "2g"], "ERROR: Invalid --enable argument.\n")
            for value in ("yes", " 1", "1 ", "01", "2", ""):
                self.refused([cmd, "--radio", "2g", "--enable=" + value], "ERROR: Invalid --enable argument.\n")
            # A bad enable ends the command before a later radio is looked at.
            self.refused([cmd, "--enable", "x", "--radio", "bad"], "ERROR: Invalid --enable argument.\n")
            self.refused([cmd, "--radio", "2g", "--enable", "1", "--mac", M1],
                         "ERROR: Unknown option --mac.\n")
        self.refused(["autoch", "--radio", "5g1", "--enable", "1"], "ERROR: Invalid --radio argument.\n")

    def test_kick(self):
        # 2 WTPs and 3 clients: body length 6 * (3 + 1 + 2) = 36; wlan 257 travels as 1.
        self.exchange(["kick", "--mac", M1 + "," + M3, "--radio", "5g1", "--wlan", "257",
                       "--client", ",".join((C1, C2, C3))],
                      "0e 0024 02 01 0003 020000000001 020000000002 aabbccddee0f"
                      "0002 001122334455 001122334477 00", "00 11", status=1,
                      stderr="ERROR: Device 00:11:22:33:44:77 is not ready.\n")
        self.exchange(["kick", "--client=" + C1, "--wlan=1x", "--radio", "2g", "--mac", M1],
                      "0e 0012 00 01 0001 020000000001 0001 001122334455 00", "00")
        self.exchange(["kick", "--client=,", "--wlan=0", "--radio", "5g", "--mac", ","],
                      "0e 0006 01 00 0000 0000 00")

    def test_kick_option_errors(self):
        base = ["kick", "--mac", M1, "--radio", "2g", "--wlan", "1", "--client", C1]
        self.refused(["kick"], "ERROR: Require --mac.\n")
        self.refused(["kick", "--mac", M1, "--wlan", "x1"], "ERROR:  Invalid --wlan argument 'x1'.\n")
        self.refused(["kick", "--mac", M1, "--wlan", " 1"], "ERROR:  Invalid --wlan argument ' 1'.\n")
        self.refused(["kick", "--mac", M1, "--wlan="], "ERROR:  Invalid --wlan argument ''.\n")
        self.refused(["kick", "--client", C1 + ",03:00:00:00:00:01"],
                     "ERROR: Invalid --client argument '%s,03:00:00:00:00:01'.\n" % C1)
        self.refused(base + ["--client", C2], "ERROR: Specify more than one --client.\n")
        self.refused(base + ["--mac", M2], "ERROR: Specify more than one --mac.\n")
        self.refused(base + ["--period", "1"], "ERROR: Unknown option --period.\n")
        # Missing parts are named in the order mac, radio, wlan, client.
        self.refused(["kick", "--client", C1, "--wlan", "1", "--radio", "2g"], "ERROR: Require --mac.\n")
        self.refused(["kick", "--client", C1, "--wlan", "1", "--mac", M1], "ERROR: Require --radio.\n")
        self.refused(["kick", "--client", C1, "--radio", "x", "--mac", M1], "ERROR: Require --radio.\n")
        self.refused(["kick", "--client", C1, "--radio", "5g1", "--mac", M1], "ERROR: Require --wlan.\n")
        self.refused(["kick", "--radio", "5g1", "--wlan", "1", "--mac", M1], "ERROR: Require --client.\n")

    def test_kick_lists_whose_length_field_would_wrap(self):
        # 6 * (c + 1 + n) must fit 16 bits: 11001 MACs in all give 66006. The longer list is named.
        def macs(tag, count):
            return ",".join(distinct_macs(count, tag))
        r = self.sim.qor("kick", "--radio", "2g", "--wlan", "1", "--mac", macs(0, 10000),
                         "--client", macs(1, 1000))
        self.assertEqual((r.returncode, r.stderr[:31]), (1, b"ERROR: Invalid --mac argument '"))
        self.assertEqual(self.sim.next_block()["recv"], b"\x00")
        r = self.sim.qor("kick", "--radio", "2g", "--wlan", "1", "--mac", macs(0, 100),
                         "--client", macs(1, 10900))
        self.assertEqual((r.returncode, r.stderr[:34]), (1, b"ERROR: Invalid --client argument '"))
        self.assertEqual(self.sim.next_block()["recv"], b"\x00")


class BackgroundSurvey(Ops):
    fleet = "bgscan_status 0,0,0\n"

    def test_bgscan_reads_the_status_bytes(self):
        self.exchange(["bgscan", "--radio", "5g1", "--enable", "1", "--period", "30"],
                      "0b 0009 00000002 01 0000001e 00", "00000003 000000")


class BackgroundSurveyFailing(Ops):
    fleet = "bgscan_status 0,7,0\n"

    def test_a_non_zero_status_fails_without_a_message(self):
        self.exchange(["bgscan", "--radio", "2g", "--enable", "0"],
                      "0b 0009 00000000 00 00000000 00", "00000003 000700", status=1)


class BackgroundSurveyCut(Ops):
    # The AC claims three status bytes and closes after one.
    fleet = "bgscan_status 0,0,0\n"
    sim_args = ("--cut", "5")

    def test_status_bytes_cut_short_fail(self):
        r = self.sim.qor("bgscan", "--radio", "2g", "--enable", "0")
        self.assertEqual((r.returncode, r.stdout, r.stderr), (1, b"", b""))
        self.assertEqual(self.sim.next_block()["sent"].hex(), "00000001" "00000003" "00")


if __name__ == "__main__":
    unittest.main()
