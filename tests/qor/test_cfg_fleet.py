"""cfg against the simulated AC serving the sample status fleet: what wtps prints for a WTP,
fed back as a configuration file, leaves the WTP as it was; what cfg changes shows in wtps;
the management list; the changed fleet written back."""
import copy
import hashlib
import json
import os
import tempfile
import unittest

from simctl import AcSim, FleetCase

TOP = os.path.join(os.path.dirname(__file__), "../..")
SAMPLE = os.path.join(TOP, "sim/fleet.json")
AP, AP2, SW, UNMANAGED = ("00:11:22:33:44:55", "00:11:22:33:44:66", "00:11:22:33:44:77",
                          "00:11:22:33:44:88")
NEW = "02:00:00:00:00:01"


class RoundTrip(FleetCase):
    def test_printed_configuration_applied_changes_nothing(self):
        before = self.records()
        printed = self.run_ok("wtps", "--json", "--password")
        for mac, extra in ((AP, []), (AP2, []), (SW, ["--type", "1"])):
            doc = {"wtp_cfg": copy.deepcopy(before[mac]["wtp_cfg"])}
            self.run_ok("cfg", "--mac", mac, "--file", self.cfg_file(doc), *extra)
            # Members that are never sent: changing them in the file changes nothing.
            c = doc["wtp_cfg"]
            if mac == AP:
                c["password_md5"] = "00" * 16
                c["radio"][0]["wlan"][0]["hotspot20"]["enable"] = 0
            elif mac == AP2:
                for i, port in enumerate(c["lan_port"]):
                    port["po"] = i + 7
            else:
                c["timezone"] = c["timezone"] + 60
            self.run_ok("cfg", "--mac", mac, "--file", self.cfg_file(doc), *extra)
        self.assertEqual(self.run_ok("wtps", "--json", "--password"), printed)


class Changes(FleetCase):
    def test_access_point_file_shows_in_wtps(self):
        before = self.records()
        doc = {"wtp_cfg": {
            "name": "hall-ap", "password": "n3w pass", "dns2": "1.1.1.1", "timezone": -720,
            "ipv4": "192.168.10.30/255.255.255.0/192.168.10.1",
            "ac_list": ["ac-main"], "lan_port": [{"en": 0, "vid": 4094}],
            "radio": [{"data_rate": "VHTMCS9", "mesh": {"link_robust_threshold": -96},
                       "portal": {"radius_server": ""},
                       "wlan": [{}, {"ssid": "Staff2", "downloadlimit": -1,
                                     "acl": {"mac": ["0a:0b:0c:0d:0e:0f"]}, "l2macWlist": [],
                                     "hotspot20": '{"enable":1,"venue":{"group":1}}'}]}]}}
        # An empty object fails the walk: "{}" cannot stand for the first WLAN.
        doc["wtp_cfg"]["radio"][0]["wlan"][0] = {"enable": 0}
        self.run_ok("cfg", "--mac", AP, "--file", self.cfg_file(doc))
        want = copy.deepcopy(before[AP])
        c = want["wtp_cfg"]
        c.update(name="hall-ap", dns2="1.1.1.1", timezone=-720, ac_list=["ac-main"],
                 ipv4="192.168.10.30/255.255.255.0/192.168.10.1",
                 password_md5=hashlib.md5(b"n3w pass\n").hexdigest())
        c["lan_port"] = [{"po": 0, "en": 0, "vlan_mode": 0, "vid": 4094}]  # a new element
        c["radio"] = c["radio"][:1]  # the radio count item gives the number of radios
        r = c["radio"][0]
        r["data_rate"] = "VHTMCS9"
        r["mesh"]["link_robust_threshold"] = -96
        r["portal"]["radius_server"] = "0.0.0.0"
        r["wlan"][0]["enable"] = 0
        w = r["wlan"][1]
        w.update(ssid="Staff2", downloadlimit=-1, l2macWlist=[],
                 hotspot20={"enable": 1, "venue": {"group": 1}})
        w["acl"]["mac"] = ["0A:0B:0C:0D:0E:0F"]
        self.assertEqual(self.records()[AP], want)

    def test_switch_file_and_new_elements(self):
        before = self.records()
        doc = {"wtp_cfg": {
            "name": "core", "admin": "root", "password": "sw-pass",
            "switch_port": [{"port": 9, "mode": 2, "descp": "uplink"}],
            "poe_port": before[SW]["wtp_cfg"]["poe_port"] + [{"port": 24, "enable": 1,
                                                             "power_limit_type": 2}],
            "manage_mac_list": ["02:00:00:00:00:0a"], "ac_list": [],
            "pdl_status": [], "radio": [{"wlan": [{"acl": {"mac": []}}]}]}}
        self.run_ok("cfg", "--mac", SW, "--type", "1", "--file", self.cfg_file(doc))
        want = copy.deepcopy(before[SW])
        c = want["wtp_cfg"]
        c.update(name="core", admin="root", ac_list=[], manage_mac_list=["02:00:00:00:00:0A"],
                 pdl_status=[])
        c["switch_port"] = [dict(c["switch_port"][0], port=9, mode=2, descp="uplink")]
        c["poe_port"].append({"port": 24, "enable": 1, "power_limit_type": 2,
                              "user_power_limit": 0, "priority": 0})
        self.assertEqual(self.records()[SW], want)


class Management(FleetCase):
    def test_add_and_delete(self):
        def managed():
            return self.run_ok("ac").split(b"\n")[2]

        self.assertEqual(managed(), b"Managed WTPs\t3")
        self.run_ok("cfg", "--add", "--mac", NEW + "," + UNMANAGED,
                    "--ip", "192.168.10.50/255.255.255.0/192.168.10.1/8.8.8.8")
        recs = self.records()
        self.assertEqual(managed(), b"Managed WTPs\t5")
        self.assertEqual(recs[NEW]["managed"], 1)
        self.assertEqual(recs[NEW]["state"], 0)
        self.assertEqual(recs[NEW]["wtp_cfg"], {
            "name": "", "location": "", "admin": "", "timezone": 0,
            "ipv4": "192.168.10.50/255.255.255.0/192.168.10.1", "dns1": "8.8.8.8",
            "dns2": "0.0.0.0", "ac_list": []})
        self.assertEqual(recs[UNMANAGED]["wtp_cfg"]["ipv4"], "192.168.10.50/255.255.255.0/192.168.10.1")
        self.run_ok("cfg", "--add", "--mac", AP, status=1,
                    stderr=b"ERROR: Device 00:11:22:33:44:55 is already managed.\n")
        self.run_ok("cfg", "--del", "--mac", ",".join([NEW, NEW.replace("01", "02"), AP2]),
                    status=1, stderr=b"ERROR: Device 02:00:00:00:00:02 was not found.\n")
        self.run_ok("cfg", "--del", "--mac", NEW, status=1,
                    stderr=b"ERROR: Device 02:00:00:00:00:01 is not managed.\n")
        recs = self.records()
        self.assertEqual((recs[NEW]["managed"], recs[AP2]["managed"]), (0, 0))
        self.assertEqual(managed(), b"Managed WTPs\t3")
        # An unmanaged WTP takes no configuration; an unknown one is not found.
        path = self.cfg_file({"wtp_cfg": {"name": "x"}})
        self.run_ok("cfg", "--mac", AP2 + ",02:00:00:00:00:03", "--file", path, status=1,
                    stderr=b"ERROR: Device 00:11:22:33:44:66 is not managed.\n"
                           b"ERROR: Device 02:00:00:00:00:03 was not found.\n")


class FullList(FleetCase):
    def setUp(self):
        with open(SAMPLE) as f:
            doc = json.load(f)
        doc["ac_info"]["max_wtps"] = 3
        self.status_path = tempfile.NamedTemporaryFile(suffix=".json", delete=False).name
        with open(self.status_path, "w") as f:
            json.dump(doc, f)
        self.status_args = ["--status", self.status_path]
        super().setUp()

    def tearDown(self):
        super().tearDown()
        os.unlink(self.status_path)

    def test_the_managed_maximum_stops_the_add(self):
        self.run_ok("cfg", "--add", "--mac", NEW + "," + UNMANAGED, status=1,
                    stderr=b"ERROR: Reach the maximum number of managed Devices.\n")
        self.assertNotIn(NEW, self.records())


class Saved(FleetCase):
    def setUp(self):
        self.saved = tempfile.NamedTemporaryFile(suffix=".json", delete=False).name
        os.unlink(self.saved)
        self.status_args = ["--status", SAMPLE, "--save", self.saved]
        super().setUp()

    def tearDown(self):
        super().tearDown()
        if os.path.exists(self.saved):
            os.unlink(self.saved)

    def test_changed_fleet_is_written_back(self):
        self.run_ok("cfg", "--mac", AP, "--file", self.cfg_file({"wtp_cfg": {"name": "kept"}}))
        self.run_ok("cfg", "--add", "--mac", NEW)
        printed = self.run_ok("wtps", "--json", "--password"), self.run_ok("ac", "--json")
        self.assertIn(b'"name":"kept"', printed[0])
        # A refused change writes nothing.
        stamp = os.stat(self.saved).st_mtime_ns
        self.run_ok("cfg", "--add", "--mac", NEW, status=1,
                    stderr=b"ERROR: Device 02:00:00:00:00:01 is already managed.\n")
        self.assertEqual(os.stat(self.saved).st_mtime_ns, stamp)
        with AcSim("", ["--status", self.saved]) as again:
            self.assertEqual((again.qor("wtps", "--json", "--password").stdout,
                              again.qor("ac", "--json").stdout), printed)


class CutReplies(unittest.TestCase):
    def test_replies_cut_or_reset(self):
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "bad.json")
            with open(path, "w") as f:
                f.write('{"wtp_cfg":{"name":"x"}}')
            runs = [["cfg", "--add", "--mac", NEW], ["cfg", "--del", "--mac", AP],
                    ["cfg", "--mac", SW, "--file", path]]
            reset = (b"ERROR: reading socket failed for reason: Connection reset by peer\n"
                     b"ERROR: writing socket failed for reason: Broken pipe\n")
            # The refused configuration's reply is result 19, its length and its message:
            # cut within the message, the entry is incomplete and fails without a message.
            cases = [(run, ["--cut", "0"], b"") for run in runs]
            cases += [(run, ["--cut", "0", "--reset"], reset) for run in runs]
            cases += [(runs[2], ["--cut", "5"], b"")]
            for args, cut, err in cases:
                with AcSim("", ["--status", SAMPLE] + cut) as sim:
                    r = sim.qor(*args)
                self.assertEqual((r.returncode, r.stdout, r.stderr), (1, b"", err), (args, cut))


if __name__ == "__main__":
    unittest.main()
