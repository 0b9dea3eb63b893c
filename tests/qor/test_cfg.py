"""cfg against ac_sim: add, delete and apply requests byte for byte, the items that access
point and switch files become, every option and conversion message, the file limits."""
import hashlib
import glob
import os
import struct
import tempfile
import unittest

from simctl import SimTestCase, mac_bytes
from wire import addr as ip, item, u16, u32

M1, M2, M3 = "00:11:22:33:44:55", "00:11:22:33:44:66", "00:11:22:33:44:77"
X9 = "02:00:00:00:00:09"  # not in the fleet: "not found"

FLEET = """
unknown_result 6
wtp 00:11:22:33:44:55 cfg_msg="applied"
wtp 00:11:22:33:44:66 add=8 del=9 cfg=19 cfg_msg="bad radio"
wtp 00:11:22:33:44:77 add=7
"""
EXAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "sim")


def name256(text):
    return text.encode().ljust(256, b"\0")


def config_request(macs, lists, dev=3, wait=0, several=0):
    """REQ_CONFIG: code, u32 length of the rest, u16 n, MACs, device type, u32 wait, the
    several-files flag, then each list's items and a u16 0."""
    body = struct.pack(">H", len(macs)) + b"".join(mac_bytes(m) for m in macs)
    body += bytes([dev]) + u32(wait) + bytes([several])
    for items in lists:
        body += b"".join(items) + b"\0\0"
    return (b"\x05" + u32(len(body)) + body).hex()


OK_M1 = "00 07" + b"applied".hex()  # the reply for M1
MSG_M1 = "Msg: applied.\n"


class Cfg(SimTestCase):
    fleet = FLEET

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.dir = tempfile.TemporaryDirectory()

    @classmethod
    def tearDownClass(cls):
        cls.dir.cleanup()
        super().tearDownClass()

    def file(self, text, name="cfg.json"):
        path = os.path.join(self.dir.name, name)
        with open(path, "wb") as f:
            f.write(text.encode() if isinstance(text, str) else text)
        return path

    def apply(self, text, items, dev=3, extra=()):
        """Applies one file to M1 and checks the request's items."""
        args = ["cfg", "--mac", M1, "--file", self.file(text)] + list(extra)
        self.exchange(args, config_request([M1], [items], dev) + "00", OK_M1, stderr=MSG_M1)

    def refused_file(self, text, err, extra=()):
        self.refused(["cfg", "--mac", M1, "--file", self.file(text)] + list(extra), err)


class AddDelete(Cfg):
    def test_add_without_and_with_ip_settings(self):
        self.exchange(["cfg", "--mac", M1, "--add"], "03 001122334455 0000 00", "00")
        # --type and --wait change nothing here; MSK alone leaves GW and the DNS servers 0.
        self.exchange(["cfg", "--add", "--type", "1", "--wait", "5", "--mac", M1,
                       "--ip", "192.168.1.10/255.255.255.0"],
                      "03 001122334455 001a 0003 0000 0014 c0a8010a ffffff00" + "00" * 12 + "00",
                      "00")
        self.exchange(["cfg", "--mac", M1, "--add", "--ip=0.0.0.0"],
                      "03 001122334455 001a 0003 0000 0014" + "00" * 20 + "00", "00")

    def test_add_goes_on_after_a_failure_but_stops_at_the_managed_maximum(self):
        self.exchange(["cfg", "--mac", M2 + "," + M1, "--add"],
                      "03 001122334466 0000 03 001122334455 0000 00", "08 00", status=1,
                      stderr="ERROR: Device 00:11:22:33:44:66 is already managed.\n")
        self.exchange(["cfg", "--mac", ",".join([M3, M1, M2]), "--add"],
                      "03 001122334477 0000 00", "07", status=1,
                      stderr="ERROR: Reach the maximum number of managed Devices.\n")

    def test_delete_every_mac(self):
        self.exchange(["cfg", "--del", "--mac", ",".join([M2, X9, M1])],
                      "04 001122334466 04 020000000009 04 001122334455 00", "09 06 00", status=1,
                      stderr="ERROR: Device 00:11:22:33:44:66 is not managed.\n"
                             "ERROR: Device 02:00:00:00:00:09 was not found.\n")
        # An empty MAC list sends nothing for add and delete.
        self.exchange(["cfg", "--mac=,", "--add"], "00")
        self.exchange(["cfg", "--mac=,", "--del"], "00")


class Options(Cfg):
    def test_option_messages(self):
        good = self.file('{"wtp_cfg":{"name":"a"}}', "good.json")
        cases = [
            (["cfg"], "ERROR: Require --mac.\n"),
            (["cfg", "--add", "--file", good], "ERROR: Require --mac.\n"),
            (["cfg", "--mac", M1, "--mac", M2], "ERROR: Specify more than one --mac.\n"),
            (["cfg", "--mac", "01:02:03:04:05:06", "--add"],
             "ERROR: Invalid --mac argument '01:02:03:04:05:06'.\n"),
            (["cfg", "--mac", M1, "--add", "--del"], "ERROR: --add and --del conflict.\n"),
            (["cfg", "--del", "--add", "--mac", M1], "ERROR: --add and --del conflict.\n"),
            (["cfg", "--file", good, "--file", good], "ERROR: Specify more than one --file.\n"),
            (["cfg", "--ip", "0.0.0.0", "--file", good], "ERROR: Could not specify --file and --ip.\n"),
            (["cfg", "--file", good, "--ip", "0.0.0.0"], "ERROR: Could not specify --file and --ip.\n"),
            (["cfg", "--ip", "0.0.0.0", "--ip", "0.0.0.0"], "ERROR: Specify more than one --ip.\n"),
            (["cfg", "--ip", "0.0.0.1"], "ERROR: Invalid --ip argument '0.0.0.1'.\n"),
            (["cfg", "--ip", "1.2.3.4/255.255.255.0/1.2.3.1/1.2.3.0"],
             "ERROR: Invalid --ip argument '1.2.3.4/255.255.255.0/1.2.3.1/1.2.3.0'.\n"),
            (["cfg", "--type", "2"], "ERROR: Invalid --type argument '2'.\n"),
            (["cfg", "--mac", M1, "--json"], "ERROR: Unknown option --json.\n"),
            (["cfg", "--json", "--mac", "bad"], "ERROR: Unknown option --json.\n"),
            (["cfg", "--mac", M1], "ERROR: Require --file.\n"),
            (["cfg", "--mac", M1, "--ip", "0.0.0.0"], "ERROR: Require --file.\n"),
            (["cfg", "--mac", M1, "--del", "--ip", "0.0.0.0"],
             "ERROR: Could not use --ip when --del is specified.\n"),
            (["cfg", "--mac", M1 + "," + M2, "--file", "a,b,c"],
             "ERROR: File number is not equal to MAC number when multiple files are specified\n"),
            (["cfg", "--mac", M1, "--file", ",,"], "ERROR: Invalid --file argument ',,'.\n"),
            (["cfg", "--mac", M1, "--file", ",".join(["f"] * 1001)],
             "ERROR: More than 1000 files in --file.\n"),
            # Files are converted before --add and --del are refused.
            (["cfg", "--mac", M1, "--file", good, "--add"],
             "ERROR: Could not use --file when --add is specified.\n"),
            (["cfg", "--del", "--mac", M1, "--file", good],
             "ERROR: Could not use --file when --del is specified.\n"),
            (["cfg", "--mac", M1, "--file", self.file("{", "broken.json"), "--add"],
             "ERROR: Invalid config file %s.\n" % os.path.join(self.dir.name, "broken.json")),
        ]
        for args, err in cases:
            self.refused(args, err)


class Files(Cfg):
    def test_access_point_file(self):
        doc = """{"wtp_cfg": {
          "name": "lobby", "timezone": -720,
          "led": {"power": 1, "lan": 0, "mesh": 1},
          "ac_list": ["ac1", "10.0.0.2"],
          "radio": [
            {"data_rate": "5.5M", "mesh": {"link_robust_threshold": -96},
             "portal": {"radius_server": "", "radius_port": 1812},
             "wlan": [
               {"ssid": "guest"},
               {"ssid": "co\\u0000rp", "vlan": 4094, "downloadlimit": -1,
                "acl": {"mode": 1, "mac": ["00:11:22:33:44:55", "0a:0b:0c:0d:0e:0f"]},
                "wep": {"key": ["k0", "k1"]},
                "wpa": {"radius": {"addr": "10.0.0.9", "port": 1812}}}]},
            {"data_rate": "MCS7", "wlan": []}],
          "lan_port": [{"po": 0, "en": 1, "vid": 10}],
          "ipv4": "192.168.1.10/255.255.255.0/192.168.1.1",
          "dns1": "8.8.8.8", "password": "secret", "unknown_key": 5,
          "status": {"anything": true}, "name": "hall"}}"""
        items = [
            item(1, value=b"lobby"), item(157, value=u32(-720)),
            item(63, value=u32(1)), item(64, value=u32(0)), item(67, value=u32(1)),
            # A list item drops its array's index byte (here the 2 left by "led").
            item(90, value=name256("ac1") + name256("10.0.0.2")),
            item(4, b"\x01", u32(2)),  # slot byte: member 1 of ac_list walked last
            item(45, b"\x00", u32(5500)),
            item(114, b"\x00", u16(-96)),
            item(71, b"\x00", ip("0.0.0.0")), item(75, b"\x00", u16(1812)),
            item(17, b"\x00\x01", u32(2)),  # radio 0, slot byte 1 left by "portal"
            item(19, b"\x00\x00", b"guest"),
            item(19, b"\x00\x01", b"co"),  # text ends at its first zero byte
            item(23, b"\x00\x01", u32(4094)), item(53, b"\x00\x01", u32(-1)),
            item(39, b"\x00\x01", u32(1)),
            item(40, b"\x00\x01", mac_bytes(M1) + bytes.fromhex("0a0b0c0d0e0f")),
            item(28, b"\x00\x01\x00", b"k0"), item(28, b"\x00\x01\x01", b"k1"),
            item(32, b"\x00\x01", ip("10.0.0.9")), item(33, b"\x00\x01", u16(1812)),
            item(45, b"\x01", u32(8)),
            item(17, b"\x01\x01", u32(0)),  # radio 1, slot byte left by radio 0's WLANs
            item(93, b"\x01", u32(1)),
            item(94, b"\x00", u32(1)), item(95, b"\x00", u32(10)),
            item(3, value=ip("192.168.1.10") + ip("255.255.255.0") + ip("192.168.1.1")),
            item(41, value=ip("8.8.8.8")),
            item(44, value=hashlib.md5(b"secret\n").digest()),
            item(1, value=b"hall"),
        ]
        self.apply(doc, items)
        self.apply(doc, items, extra=["--type", "0"])

    def test_switch_file(self):
        doc = """{"wtp_cfg": {
          "name": "core-sw", "admin": "root", "password": "p'w", "dns2": "1.1.1.1",
          "switch_port": [{"port": 1, "mode": 10, "flow_control": 1, "descp": "uplink"},
                          {"port": 2, "mode": 0}],
          "power_budget": 370,
          "poe_port": [{"port": 1, "enable": 1, "priority": 3, "power_limit_type": 2,
                        "user_power_limit": 300}],
          "ac_list": ["ac1", "ac1"],
          "manage_mac_list": ["00:11:22:33:44:55", "00:aa:bb:cc:dd:ee"],
          "redundancyMode": 1, "pdl_enable": 1,
          "pd_lifeguard": [{"port": 3, "specified_ip": "192.168.1.50", "ping_interval": 3600,
                            "pd_bootup_time": 50, "clear_reboot_count": 1, "status": "ok"}],
          "pdl_status": [{"port": 3, "mac": "not-a-mac", "management_ip": "192.168.1.51"}],
          "radio": [{"wlan": [{"ssid": "x"}]}], "timezone": 60}}"""
        items = [
            item(1, value=b"core-sw"), item(6, value=b"root"), item(7, value=b"p'w"),
            item(5, value=ip("1.1.1.1")),
            item(8, b"\x00", u32(2)),
            item(9, b"\x00", u32(1)), item(10, b"\x00", u32(10)), item(11, b"\x00", u32(1)),
            item(22, b"\x00", b"uplink"),
            item(9, b"\x01", u32(2)), item(10, b"\x01", u32(0)),
            item(12, value=u32(370)),
            item(13, b"\x01", u32(1)),
            item(14, b"\x00", u32(1)), item(15, b"\x00", u32(1)), item(16, b"\x00", u32(3)),
            item(17, b"\x00", u32(2)), item(18, b"\x00", u32(300)),
            item(19, value=name256("ac1") * 2),  # no duplicate check for a switch
            item(20, value=mac_bytes(M1) + bytes.fromhex("00aabbccddee")),
            item(21, value=u32(1)), item(23, value=u32(1)),
            item(24, b"\x01", u32(1)),
            item(25, b"\x00", u32(3)), item(29, b"\x00", ip("192.168.1.50")),
            item(30, b"\x00", u32(3600)), item(35, b"\x00", u32(50)), item(36, b"\x00", u32(1)),
            item(37, b"\x00", b"ok"),
            item(38, b"\x00", u32(1)),
            item(39, b"\x00", u32(3)), item(43, b"\x00", b"not-a-mac"),
            item(44, b"\x00", ip("192.168.1.51")),
            # Count items go out for either device type; the radio keys themselves do not.
            item(4, b"\x00", u32(1)), item(17, b"\x00\x00", u32(1)),
        ]
        self.apply(doc, items, dev=2, extra=["--type", "1"])

    def test_empty_lists(self):
        self.apply('{"wtp_cfg":{"ac_list":[],"radio":[{"wlan":[{"acl":{"mac":[]},"l2macWlist":[]}]}]}}',
                   [item(90), item(4, b"\x00", u32(1)), item(17, b"\x00\x00", u32(1)),
                    item(40, b"\x00\x00"), item(161, b"\x00\x00")])
        self.apply('{"wtp_cfg":{"ac_list":[],"manage_mac_list":[]}}', [item(19), item(20)], dev=2,
                   extra=["--type", "1"])
        # A full management list in an access-point file has no row there: skipped.
        self.apply('{"wtp_cfg":{"manage_mac_list":["00:11:22:33:44:55"],"name":"a"}}',
                   [item(1, value=b"a")])

    def test_files_and_macs(self):
        a = self.file('{"wtp_cfg":{"name":"a"}}', "a.json")
        b = self.file('{"wtp_cfg":{"name":"b"}}', "b.json")
        empty = self.file("", "empty.json")
        reply = OK_M1 + " 13 09" + b"bad radio".hex()
        err = MSG_M1 + "ERROR: Incorrect configuration for device 00:11:22:33:44:66.\nMsg: bad radio.\n"
        # One file for every MAC: one list, flag 0.
        self.exchange(["cfg", "--mac", M1 + "," + M2, "--file", a, "--wait", "30"],
                      config_request([M1, M2], [[item(1, value=b"a")]], wait=30) + "00",
                      reply, status=1, stderr=err)
        # A file per MAC, in order: flag 1; an empty file is an empty list.
        self.exchange(["cfg", "--mac", M1 + "," + M2, "--file", b + "," + empty],
                      config_request([M1, M2], [[item(1, value=b"b")], []], several=1) + "00",
                      reply, status=1, stderr=err)
        self.exchange(["cfg", "--mac", M1, "--file", empty],
                      config_request([M1], [[]]) + "00", OK_M1, stderr=MSG_M1)
        # No MAC: the request goes out with a count of 0 and nothing is read back.
        self.exchange(["cfg", "--mac", ",", "--file", a], config_request([], [[item(1, value=b"a")]]) + "00")

    def test_parser_leniency_kept(self):
        # Trailing commas are accepted; a member written twice is converted twice.
        self.apply('{"wtp_cfg":{"name":"a","name":"b",},}', [item(1, value=b"a"), item(1, value=b"b")])

    def test_file_errors(self):
        missing = os.path.join(self.dir.name, "missing.json")
        self.refused(["cfg", "--mac", M1, "--file", missing], "ERROR: Open %s failed.\n" % missing)
        self.refused(["cfg", "--mac", M1, "--file", self.dir.name],
                     "ERROR: read %s failed.\n" % self.dir.name)
        path = os.path.join(self.dir.name, "cfg.json")
        for text in ['{"wtp_cfg":', "[tru", "nul", '{"a" 1}', "\xff"]:
            self.refused_file(text, "ERROR: Invalid config file %s.\n" % path)
        # A broken second file stops the command before anything is sent.
        good = self.file('{"wtp_cfg":{"name":"a"}}', "good.json")
        self.refused(["cfg", "--mac", M1 + "," + M2, "--file", good + "," + missing],
                     "ERROR: Open %s failed.\n" % missing)


class HostileFiles(Cfg):
    """Files that are not configuration files: only regular files of at most 1 MiB are read,
    and a document nested far deeper than the walk goes is parsed and refused quickly."""

    def test_only_bounded_regular_files_are_read(self):
        fifo = os.path.join(self.dir.name, "fifo")
        os.mkfifo(fifo)
        for path in (fifo, "/dev/zero", "/dev/null"):
            self.refused(["cfg", "--mac", M1, "--file", path],
                         "ERROR: %s is not a regular file.\n" % path)
        # A sparse file of 4 GiB, and one byte over the limit.
        huge = os.path.join(self.dir.name, "huge.json")
        for size in (4 << 30, (1 << 20) + 1):
            with open(huge, "wb") as f:
                f.truncate(size)
            self.refused(["cfg", "--mac", M1, "--file", huge],
                         "ERROR: %s is larger than 1048576 bytes.\n" % huge)
        # At the limit the file is read: a document padded with blanks to 1 MiB.
        text = '{"wtp_cfg":{"name":"a"}}'
        self.apply(text + " " * ((1 << 20) - len(text)), [item(1, value=b"a")])

    def test_deep_nesting_stops_at_the_walk(self):
        for opening, closing in (("[", "]"), ('{"":', "}")):
            with self.subTest(opening=opening):
                self.refused_file(opening * 200000 + "1" + closing * 200000,
                                  "ERROR: json iter stack is full.\n")


class Conversion(Cfg):
    def test_validation_and_encoding_messages(self):
        ap, sw = [], ["--type", "1"]
        cases = [
            ('{"wtp_cfg":{"radio":[{"wlan":[{"enable":true}]}]}}', ap,
             "ERROR: json config value is not matched for 'wtp_cfg.radio[].wlan[].enable'\n"),
            ('{"wtp_cfg":{"radio":[{"wlan":[{"enable":1.0}]}]}}', ap,
             "ERROR: json config value is not matched for 'wtp_cfg.radio[].wlan[].enable'\n"),
            ('{"wtp_cfg":{"name":5}}', sw, "ERROR: json config value is not matched for 'wtp_cfg.name'\n"),
            # Beyond 64 bits the parser gives a double.
            ('{"wtp_cfg":{"timezone":99999999999999999999}}', ap,
             "ERROR: json config value is not matched for 'wtp_cfg.timezone'\n"),
            ('{"wtp_cfg":{"radio":[{"wlan":[{"vlan":4095}]}]}}', ap,
             "ERROR: config value '4095' is out of range (0 to 4094) for 'wtp_cfg.radio[].wlan[].vlan'.\n"),
            ('{"wtp_cfg":{"timezone":-721}}', ap,
             "ERROR: config value '-721' is out of range (-720 to 780) for 'wtp_cfg.timezone'.\n"),
            ('{"wtp_cfg":{"power_budget":9223372036854775807}}', sw,
             "ERROR: config value '9223372036854775807' is out of range (0 to 65535) for "
             "'wtp_cfg.power_budget'.\n"),
            ('{"wtp_cfg":{"radio":[{"wlan":[{"ssid":"%s"}]}]}}' % ("s" * 33), ap,
             "ERROR: config string length '33' is out of range (0-32) for 'wtp_cfg.radio[].wlan[].ssid'.\n"),
            ('{"wtp_cfg":{"radio":[{"mesh":{"wpa_key":"1234567"}}]}}', ap,
             "ERROR: config string length '7' is out of range (8-63) for 'wtp_cfg.radio[].mesh.wpa_key'.\n"),
            ('{"wtp_cfg":{"ipv4":"1.2.3.4/1.2.3.4/1.2.3"}}', ap,
             "ERROR: config string length '21' is out of range (23-47) for 'wtp_cfg.ipv4'.\n"),
            ('{"wtp_cfg":{"admin":""}}', sw,
             "ERROR: config string length '0' is out of range (1-255) for 'wtp_cfg.admin'.\n"),
            ('{"wtp_cfg":{"dns1":""}}', ap, "ERROR: Invalid config value '' for 'wtp_cfg.dns1'.\n"),
            ('{"wtp_cfg":{"ipv4":"192.168.1.10/255.255.255.0/192.168.2.1"}}', sw,
             "ERROR: Invalid config value '192.168.1.10/255.255.255.0/192.168.2.1' for 'wtp_cfg.ipv4'.\n"),
            ('{"wtp_cfg":{"radio":[{"data_rate":"11"}]}}', ap,
             "ERROR: Invalid config value '11' for 'wtp_cfg.radio[].data_rate'.\n"),
            ('{"wtp_cfg":{"radio":[{"wlan":[{"wpa":{"radius":{"addr":""}}}]}]}}', ap,
             "ERROR: Invalid config value '' for 'wtp_cfg.radio[].wlan[].wpa.radius.addr'.\n"),
            ('{"wtp_cfg":{"radio":[{"wlan":[{"acl":{"mac":["01:00:5e:00:00:01"]}}]}]}}', ap,
             "ERROR: Invalid config value '01:00:5e:00:00:01' for 'wtp_cfg.radio[].wlan[].acl.mac[]'.\n"),
            ('{"wtp_cfg":{"manage_mac_list":["00:00:00:00:00:00"]}}', sw,
             "ERROR: Invalid config value '00:00:00:00:00:00' for 'wtp_cfg.manage_mac_list[]'.\n"),
            ('{"wtp_cfg":{"radio":[{"wlan":[{"acl":{"mac":["0:1:2:3:4:5","00:01:02:03:04:05"]}}]}]}}', ap,
             "ERROR: Duplicate MACs in 'wtp_cfg.radio[].wlan[].acl.mac[]'.\n"),
            ('{"wtp_cfg":{"radio":[{"wlan":[{"l2macWlist":["2:0:0:0:0:1","2:0:0:0:0:2","2:0:0:0:0:1"]}]}]}}', ap,
             "ERROR: Duplicate MACs in 'wtp_cfg.radio[].wlan[].l2macWlist[]'.\n"),
            ('{"wtp_cfg":{"manage_mac_list":["2:0:0:0:0:1","2:0:0:0:0:1"]}}', sw,
             "ERROR: Duplicate MACs in 'wtp_cfg.manage_mac_list[]'.\n"),
            ('{"wtp_cfg":{"ac_list":["ac","ac"]}}', ap, "ERROR: Duplicate hostname in 'wtp_cfg.ac_list[]'.\n"),
            ('{"wtp_cfg":{"manage_mac_list":[]}}', ap, "ERROR: Only support Switch device\n"),
            # An empty object anywhere fails without a message.
            ("{}", ap, ""),
            ('{"wtp_cfg":{"name":"a","led":{}}}', ap, ""),
            # 63 levels are walked, the 64th is refused.
            ("[" * 63 + "1" + "]" * 63, ap, "ERROR: json iter stack is full.\n"),
            ('{"wtp_cfg":{"%s":{"x":1}}}' % ("k" * 250),
             ap, "ERROR: json key path 'wtp_cfg.%s...' is longer than 255 characters.\n" % ("k" * 247)),
            ('{"wtp_cfg":{"radio":[%s]}}' % ",".join(["{}"] * 257), ap,
             "ERROR: json array 'wtp_cfg.radio[]' has more than 256 elements.\n"),
        ]
        for text, extra, err in cases:
            self.refused_file(text, err, extra)

    def test_bounds_that_pass(self):
        self.apply('{"wtp_cfg":{"radio":[{"wlan":[{"vlan":4094,"ssid":"","hotspot20":"%s"}],'
                   '"mesh":{"wpa_key":"%s"}}],"timezone":780}}' % ("h" * 4000, "k" * 63),
                   [item(4, b"\x00", u32(1)), item(17, b"\x00\x00", u32(1)),
                    item(23, b"\x00\x00", u32(4094)), item(19, b"\x00\x00"),
                    item(164, b"\x00\x00", b"h" * 4000), item(113, b"\x00", b"k" * 63),
                    item(157, value=u32(780))])
        # 63 levels; keys differing in case and scalars at the top match no row.
        self.apply("[" * 62 + "1" + "]" * 62, [])
        self.apply('{"WTP_CFG":{"name":"a"},"wtp_cfg":{"Name":"b"}}', [])
        self.apply("7", [])

    def test_password_digest_of_any_content(self):
        # Quotes, backslashes, a command substitution, spaces and non-ASCII bytes, 255 bytes
        # (the longest the row takes); the digest is that of printf '%s\n' "$pw" | md5sum.
        marker = os.path.join(self.dir.name, "pwned")
        pw = "a'b\"c\\d \\n $(touch %s) `touch %s` ; \u00fc\u20ac " % (marker, marker)
        pw = pw.encode()
        pw += b"x" * (255 - len(pw))
        quoted = pw.decode().replace("\\", "\\\\").replace('"', '\\"')
        before = set(glob.glob("/tmp/qor.*.tmp"))
        self.apply('{"wtp_cfg":{"password":"%s"}}' % quoted,
                   [item(44, value=hashlib.md5(pw + b"\n").digest())])
        self.assertFalse(os.path.exists(marker))
        self.assertEqual(before, set(glob.glob("/tmp/qor.*.tmp")))
        self.refused_file('{"wtp_cfg":{"password":"%s"}}' % ("p" * 256),
                          "ERROR: config string length '256' is out of range (1-255) for "
                          "'wtp_cfg.password'.\n")

    def test_shipped_examples_apply(self):
        for name, extra in (("cfg-ap.json", []), ("cfg-switch.json", ["--type", "1"])):
            r = self.qor("cfg", "--mac", M1, "--file", os.path.join(EXAMPLES, name), *extra)
            self.assertEqual((r.returncode, r.stderr.decode()), (0, MSG_M1), name)
            block = self.sim.next_block()
            self.assertEqual(block["recv"][:1], b"\x05", name)
            self.assertFalse([n for n in block["notes"] if n.startswith("error")], block["notes"])


if __name__ == "__main__":
    unittest.main()
