"""ac_sim decoding configuration requests into its status fleet: the requests it refuses,
with the result and message it answers, and the items it skips."""
import unittest

from simctl import FleetCase, mac_bytes
from wire import item, u8, u16, u32

AP, SW = "00:11:22:33:44:55", "00:11:22:33:44:77"


class ConfigCase(FleetCase):
    """The sample status fleet served afresh for every test."""


def config_request(mac, items, dev=3):
    """REQ_CONFIG for one WTP and one list, no wait."""
    body = u16(1) + mac_bytes(mac) + u8(dev) + u32(0) + u8(0) + b"".join(items) + u16(0)
    return u8(5) + u32(len(body)) + body


def reply(code, msg):
    return bytes([code, len(msg)]) + msg.encode()


class Refusals(ConfigCase):
    def test_what_the_ac_refuses_and_says(self):
        before = self.run_ok("wtps", "--json", "--password")
        cases = [
            # Elements the count items did not make.
            (AP, [item(19, b"\x05\x00", b"x")], "wtp_cfg.radio[5] does not exist"),
            (AP, [item(4, b"\x00", u32(1)), item(19, b"\x00\x02", b"x")],
             "wtp_cfg.radio[0].wlan[2] does not exist"),
            (AP, [item(23, b"\x00\x00", u32(4095))],
             "wtp_cfg.radio[0].wlan[0].vlan: 4095 is out of range (0 to 4094)"),
            (AP, [item(157, value=u32(-721))], "wtp_cfg.timezone: -721 is out of range (-720 to 780)"),
            (AP, [item(19, b"\x00\x00", b"s" * 33)],
             "wtp_cfg.radio[0].wlan[0].ssid: 33 bytes of text, out of range (0-32)"),
            (AP, [item(1, value=b"\xff")], "wtp_cfg.name: the text is not UTF-8"),
            (AP, [item(41, value=b"\x01\x02")], "wtp_cfg.dns1: 2 value bytes for 4"),
            (AP, [item(40, b"\x00\x00", b"\x02" * 7)],
             "wtp_cfg.radio[0].wlan[0].acl.mac: 7 value bytes for entries of 6"),
            (AP, [item(90, value=b"a" * 256)],
             "wtp_cfg.ac_list: entry 0 is not a UTF-8 text with its terminating zero"),
            (AP, [item(164, b"\x00\x00", b"{nope")], "wtp_cfg.radio[0].wlan[0].hotspot20: not a JSON text"),
            (AP, [item(4, b"\x00", u32(257))], "wtp_cfg.radio: 257 elements, more than index bytes reach"),
            (AP, [item(200, b"\x01\x02")], "item 200 with index bytes 01 02 has no key"),
            (AP, [item(1, value=b"a"), item(99, b"\x00", b"\0\0\0\0\0")],
             "wtp_cfg.radio[0].portal.radius_server2: 5 value bytes for 4"),
            (SW, [item(1, value=b"a")], "an access-point configuration for a switch"),
            (AP, [item(1, value=b"a")], "a switch configuration for an access point"),
        ]
        for mac, items, msg in cases:
            dev = 2 if msg.startswith("a switch") else 3
            self.assertEqual(self.sim.ask(config_request(mac, items, dev)), reply(19, msg), msg)
        # Nothing of a refused configuration was kept, not even its first items.
        self.assertEqual(self.run_ok("wtps", "--json", "--password"), before)
        # The counts of arrays a device does not have, and the empty lists of the other
        # device type, are skipped.
        self.assertEqual(self.sim.ask(config_request(SW, [
            item(4, b"\x00", u32(1)), item(17, b"\x00\x00", u32(1)), item(93, b"\x00", u32(2)),
            item(40, b"\x00\x00"), item(161, b"\x00\x00"), item(1, value=b"sw")], dev=2)),
            reply(0, ""))
        self.assertEqual(self.records()[SW]["wtp_cfg"]["name"], "sw")
        # Through qor, the reason is shown after the result.
        self.run_ok("cfg", "--mac", SW, "--file", self.cfg_file({"wtp_cfg": {"name": "a"}}),
                    status=1, stderr=b"ERROR: Incorrect configuration for device "
                    b"00:11:22:33:44:77.\nMsg: an access-point configuration for a switch.\n")


class RateCodes(ConfigCase):
    def test_rate_codes_shown_as_texts(self):
        cases = [(0, "auto"), (1, "MCS0"), (8, "MCS7"), (32, "MCS31"), (101, "VHTMCS0"),
                 (110, "VHTMCS9"), (1000, "1M"), (5500, "5.5M"), (54000, "54M"),
                 (866700, "866.7M")]
        for code, text in cases:
            items = [item(4, b"\x00", u32(1)), item(45, b"\x00", u32(code))]
            self.assertEqual(self.sim.ask(config_request(AP, items)), reply(0, ""), code)
            self.assertEqual(self.records()[AP]["wtp_cfg"]["radio"][0]["data_rate"], text, code)


if __name__ == "__main__":
    unittest.main()
