"""ac_sim serves WTP records and the AC summary from a status fleet (JSON).

The expected replies are written field by field from the record layouts: common part,
access point part, switch part, configuration copy; the fleet documents use the member
names of qor's JSON output.
"""
import copy
import json
import os
import struct
import tempfile
import unittest

import harness
from simctl import AcSim, mac_bytes, talk
from wire import addr, text, u8, u16, u32


def mac(s):
    return mac_bytes(s)


def caps(first):
    return bytes(range(first, first + 21))


AP_MAC, SW_MAC, T1_MAC = "02:00:00:00:00:01", "02:00:00:00:00:02", "02:00:00:00:00:03"

AP = {
    "wtp_type": 3, "mac": AP_MAC, "ip": "10.0.0.1", "port": 5246, "model": "M1", "sn": "S1",
    "managed": 1, "unavaiable_fw": 2, "upg_img": 3, "new_fw_img": "img", "new_fw_ver": "v2",
    "upg_state": 4, "unavaiable_addr": 6, "state": 5, "sub_state": 7, "progress": 8,
    "sw_ver": "sw", "cw_ver": "cw", "name": "ap", "uptime": 9, "join_time": 10,
    "last_time": 11, "change_time": 12,
    "cur_cfg": {"ip": "10.0.0.2", "mask": "255.0.0.0", "gateway": "10.0.0.3",
                "dns1": "10.0.0.4", "dns2": "10.0.0.5"},
    "mem": {"total": 13, "used": 14},
    "cap_code": 15, "sku": "sku", "cfg_cap": list(range(1, 22)),
    "radio": [{
        "mac": "02:00:00:00:01:00", "type": 16, "max_tx_power": 17, "cfg_cap": list(range(30, 51)),
        "cur_cfg": {"channel": -18, "tx_power": 19, "tx_power_percent": 20},
        "mesh": {"role": -21, "bssid": "02:00:00:00:01:01"},
        "wlan": [{
            "bssid": "02:00:00:00:01:02", "cfg_cap": list(range(60, 81)), "tx_pkt": 22,
            "tx_bytes": 23, "rx_pkt": 24, "rx_bytes": 25,
            "sta": [{"mac": "02:00:00:00:01:03", "tx": 26, "rx": 27, "rssi": "-70", "os": "os",
                     "hostname": "host", "ip": "10.0.0.6"}]}]}],
    "wtp_cfg": {
        "name": "n", "location": "loc", "admin": "adm", "timezone": -60,
        "ipv4": "10.1.0.1/255.255.0.0/10.1.0.254", "dns1": "10.1.0.2", "dns2": "10.1.0.3",
        "ac_list": ["ac1"], "password_md5": "00112233445566778899aabbccddeeff",
        "bandsteer": 31,
        "bandsteering": {"mode": 32, "percent_en": 33, "rssi_en": 34, "rssi": -35, "percent": 36},
        "manage_vlan_id": 45, "log_remote_en": 46, "log_traffic_en": 47, "log_remote_conf": "log",
        "lan_port": [{"po": 0, "en": 48, "vlan_mode": 49, "vid": 50}],
        "fasthandover": {"status": 37, "rssi": -38},
        "guest_network": {"addr": "10.2.0.1", "mask": "255.255.255.0", "start": "10.2.0.10",
                          "end": "10.2.0.20", "wins": "10.2.0.2"},
        "led": {"power": 39, "lan": 40, "wlan0": 41, "wlan1": 42, "wlan2": 43, "mesh": 44},
        "mesh": {"enable_total": 51},
        "radio": [{
            "op_mode": 53, "wl_mode": 54, "country": 52,
            "channel": {"ht": 55, "ext": 56, "val": 57}, "tx_power": 58,
            "obey_regulatory_power": 59, "data_rate": "5.5M", "bit_rate": 60, "ax_enable": 61,
            "rts_cts_threshold": 62, "distance": 63,
            "aggregation": {"enable": 64, "frames": 65, "maxbytes": 66},
            "limited_clients": {"enable": 67, "count": 68},
            "portal": {"enable": 69, "login_type": 70, "radius_server": "10.3.0.1",
                       "userurl": "url", "walled_garden": {"enable": 71, "pages": "pg"},
                       "radius_port": 72, "radius_secret": "rs", "session_timeout": 73,
                       "session_timeout_enable": 74, "idle_timeout": 75,
                       "idle_timeout_enable": 76, "accounting_enable": 77,
                       "accounting_time": 78, "auth_type": 79, "external_server": "es",
                       "external_secret": "ex", "account_server": "10.3.0.2",
                       "accounting_port": 80, "accounting_secret": "as", "uamformat": "uf",
                       "local_auth": "la", "port": 81, "https_enable": 82,
                       "radius_secret2": "r2", "radius_server2": "10.3.0.3"},
            "mesh": {"enable": -83, "id": "mid", "wpa_key": "mk", "link_robust_threshold": -84},
            "fasthandover": {"status": 85, "rssi": -86},
            "wlan": [{
                "enable": 87, "ssid": "ssid", "supr_ssid": 88, "sta_sep": 89,
                "layer2Isolation": 90, "l2macWlist": ["02:00:00:00:02:01"], "isolation": 91,
                "vlan": 92, "downloadlimit": -93, "uploadlimit": 94, "downperuser_en": 95,
                "uploadperuser_en": 96, "downloadMode": 97, "uploadMode": 98,
                "roaming": {"enable": 99, "adv_search": 100},
                "acl": {"mode": 101, "mac": ["02:00:00:00:02:02", "02:00:00:00:02:03"]},
                "sec_mode": 5,
                "nas": {"id_enable": 102, "id": "nid", "ip_enable": 103, "ip": "10.4.0.1",
                        "port_enable": 104, "port": 105},
                "acc": {"enable": 106, "addr": "10.4.0.2", "port": 107, "secret": "acs",
                        "interval": 108},
                "portal": {"enable": 109, "https_enable": 110, "network_type": 111,
                           "radius_secret2": "w2"},
                "hotspot20": {"b": 1, "a": [True, None, "x y"]},
                "bandsteering": {"mode": 112, "percent_en": 113, "rssi_en": 114, "rssi": -115,
                                 "percent": 116},
                # WEP values of a WPA WLAN: not in the JSON output, still on the wire
                "wep": {"auth_type": 117, "in_type": 118, "key_len": 119, "def_key": 120,
                        "key": ["k1", "", "k3"]},
                "wpa": {"enc_mode": 121, "suiteb_en": 122, "pmf_enable": 123,
                        "passphrase": "pp", "group_key_int": 124,
                        "radius": {"addr": "10.4.0.3", "port": 125, "secret": "rsec"}}}]}]}}

SWITCH = {
    "wtp_type": 2, "mac": SW_MAC, "ip": "10.0.1.1", "port": 5247, "model": "SW", "sn": "S2",
    "managed": 0, "state": 5, "sw_ver": "1.8", "name": "sw", "uptime": 130,
    "cfg_cap": list(range(100, 121)), "flick_reboot_flag": 201,
    "sw_max_port": 1, "sw_max_trunk": 202, "sw_max_trunk_member": 210, "sw_max_vlan_num": 203,
    "sw_max_managed_ap": 204, "sw_max_mirror_num": 205, "sw_max_multicast_num": 206,
    "sw_max_power_budget": 207, "sw_min_power_budget": 208, "sw_max_static_mac_num": 209,
    "sw_dev_suport_type": 211,
    "switch_hw_port": [{"port": 212, "port_type": 213}],
    "switch_port": [{"port": 214, "speed": 215, "enable": 216, "link_status": 217,
                     "flow_control": 218, "auto_neg": 219, "duplex": 220}],
    "trunk_port": [{"id": 221, "mode": 222, "active_port": "ap", "port": "1,2"}],
    "lldp_dev_list": [{"mac": "02:00:00:00:03:00", "localPort": 223, "remotePort": "rp",
                       "name": "ln", "model": "lm"}],
    "poe_global": {"power_budget": 224, "allocated_power": 225},
    "poe_port": [{"port": 226, "enable": 227, "poe_class": 228, "priority": 229,
                  "power_limit_type": 230, "user_power_limit": 231, "status": 232,
                  "output_voltage": 233, "output_current": 234, "output_power": 235,
                  "temperature": 236}],
    "dev_list": [{"type": 237, "mac": "02:00:00:00:03:01", "ip": "10.0.1.2", "name": "tn",
                  "model": "d\r\nx", "system_time": 238, "update_time": 239,
                  "link_info_last_time": 240, "no_link_info_first_time": 241,
                  "link": [{"local_port": 242, "mac": "02:00:00:00:03:02",
                            "remote_port": "rp2"}]}],
    "wtp_cfg": {
        "name": "swn", "location": "", "admin": "root", "timezone": 120,
        "ipv4": "0.0.0.0/0.0.0.0/0.0.0.0", "dns1": "0.0.0.0", "dns2": "0.0.0.0",
        "ac_list": ["ac2", "ac-3"], "sw_text": "swt", "redundancyMode": -246,
        "manage_mac_list": ["02:00:00:00:04:01"],
        "switch_port": [{"port": 243, "mode": 244, "flow_control": 245, "descp": "dp"}],
        "power_budget": 247,
        "poe_port": [{"port": 248, "enable": 249, "power_limit_type": 250,
                      "user_power_limit": 251, "priority": 252}],
        "pdl_enable": 253,
        "pd_lifeguard": [{"port": 254, "enable": 255, "mode": 256, "action": 257,
                          "specified_ip": "10.5.0.1", "ping_interval": 258,
                          "ping_max_count": 259, "power_recovery_interval": 260,
                          "reboot_max_retry_count": 261, "reboot_count": 262,
                          "pd_bootup_time": 263, "status": "st"}],
        "pdl_status": [{"port": 264, "state": 265, "mode": 266, "polling_method": 267,
                        "mac": "aa-bb", "management_ip": "10.5.0.2", "action": "act"}]}}

# Another device type: the common part, and a copy whose branch after the AC list is the
# switch's (every member missing: zeros).
OTHER = {"wtp_type": 1, "mac": T1_MAC, "managed": 1, "state": 2, "model": "X",
         "wtp_cfg": {"name": "t1", "timezone": 7, "ac_list": ["ac3"]}}

AC_INFO = {"cw_ver": "2.1.0", "max_wtps": 300, "managed_wtps": 301, "active_wtps": 302,
           "total_sta": 303, "redundant_mode": 304, "upg_wtps": 305}
FLEET = {"ac_info": AC_INFO, "wtp_list": [AP, SWITCH, OTHER]}


def common(wtp_type, m, ip, port, model, sn, managed, fw, upg_img, img, ver, upg_state, una,
           state, sub, progress, sw_ver, cw_ver, name, times, cur, mem):
    return (u8(wtp_type) + mac(m) + addr(ip) + u16(port) + text(model) + text(sn) + u8(managed)
            + u8(fw) + u8(upg_img) + text(img) + text(ver) + u8(upg_state) + u8(una) + u8(state)
            + u8(sub) + u8(progress) + text(sw_ver) + text(cw_ver) + text(name)
            + b"".join(u32(t) for t in times) + b"".join(addr(a) for a in cur)
            + u32(mem[0]) + u32(mem[1]))


def portal(enable, login, radius, url, wg, pages, rport, rsecret, nums, ext_srv, ext_sec,
           acct_srv, acct_port, acct_sec, uam, local, port, https, secret2, radius2):
    return (u32(enable) + u32(login) + addr(radius) + text(url) + u32(wg) + text(pages)
            + u16(rport) + text(rsecret) + b"".join(u32(n) for n in nums) + text(ext_srv)
            + text(ext_sec) + addr(acct_srv) + u16(acct_port) + text(acct_sec) + text(uam)
            + text(local) + u16(port) + u32(https) + text(secret2) + addr(radius2))


def ap_record(detail=True, sta=True, cfg=True, rate=5500, hotspot='{"b":1,"a":[true,null,"x y"]}',
              m=AP_MAC):
    out = common(3, m, "10.0.0.1", 5246, "M1", "S1", 1, 2, 3, "img", "v2", 4, 6, 5, 7, 8, "sw",
                 "cw", "ap", (9, 10, 11, 12),
                 ("10.0.0.2", "255.0.0.0", "10.0.0.3", "10.0.0.4", "10.0.0.5"), (13, 14))
    out += u32(15) + text("sku") + caps(1)
    if detail:
        out += u8(1) + u8(1)  # detail flag, radio count
        out += (mac("02:00:00:00:01:00") + u32(16) + u32(17) + caps(30) + u32(-18) + u32(19)
                + u32(20) + u32(-21) + mac("02:00:00:00:01:01") + u32(1))
        out += mac("02:00:00:00:01:02") + caps(60) + u32(22) + u32(23) + u32(24) + u32(25)
        if sta:
            out += (u8(1) + u32(1) + mac("02:00:00:00:01:03") + u32(26) + u32(27) + u32(-70)
                    + text("os") + text("host") + addr("10.0.0.6"))
        else:
            out += u8(0)
    else:
        out += u8(0)
    if not cfg:
        return out + u8(0)
    out += u8(1)
    out += (addr("10.1.0.1") + addr("255.255.0.0") + addr("10.1.0.254") + addr("10.1.0.2")
            + addr("10.1.0.3") + text("n") + text("loc") + text("adm") + u32(-60)
            + u32(1) + b"ac1" + bytes(253))
    out += bytes.fromhex("00112233445566778899aabbccddeeff")
    out += u32(31) + u32(32) + u32(33) + u32(34) + u32(-35) + u32(36) + u32(37) + u32(-38)
    out += b"".join(addr(a) for a in ("10.2.0.1", "255.255.255.0", "10.2.0.10", "10.2.0.20",
                                      "10.2.0.2"))
    out += b"".join(u32(v) for v in (39, 40, 41, 42, 43, 44, 45, 46, 47))
    out += text("log") + u32(1) + u32(48) + u32(50) + u32(49) + u32(51)
    out += u32(1)  # radio configurations
    out += b"".join(u32(v) for v in (52, 53, 54, 55, 56, 57, 58, 59, rate, 60, 61, 62, 63, 64,
                                     65, 66, 67, 68))
    out += portal(69, 70, "10.3.0.1", "url", 71, "pg", 72, "rs", (73, 74, 75, 76, 77, 78, 79),
                  "es", "ex", "10.3.0.2", 80, "as", "uf", "la", 81, 82, "r2", "10.3.0.3")
    out += u32(-83) + text("mid") + text("mk") + u16(-84) + u32(85) + u32(-86)
    out += u32(1)  # WLAN configurations
    out += (u32(87) + text("ssid") + u32(88) + u32(89) + u32(91) + u32(90)
            + u32(1) + mac("02:00:00:00:02:01") + u32(92)
            + b"".join(u32(v) for v in (-93, 94, 95, 96, 97, 98, 99, 100, 101))
            + u32(2) + mac("02:00:00:00:02:02") + mac("02:00:00:00:02:03") + u32(5))
    out += u32(117) + u32(118) + u32(119) + u32(120) + text("k1") + text("") + text("k3") + text("")
    out += u32(121) + u32(122) + text("pp") + u32(124)
    out += addr("10.4.0.3") + u16(125) + text("rsec")
    out += u32(106) + addr("10.4.0.2") + u16(107) + text("acs") + u32(108)
    out += u32(102) + text("nid") + u32(104) + u16(105) + u32(103) + addr("10.4.0.1")
    out += u32(123)  # pmf_enable
    out += portal(109, 0, "0.0.0.0", "", 0, "", 0, "", (0,) * 7, "", "", "0.0.0.0", 0, "", "",
                  "", 0, 110, "w2", "0.0.0.0")
    out += u32(111) + text(hotspot) + u32(112) + u32(113) + u32(114) + u32(-115) + u32(116)
    return out


def switch_record(detail=True, cfg=True):
    out = common(2, SW_MAC, "10.0.1.1", 5247, "SW", "S2", 0, 0, 0, "", "", 0, 0, 5, 0, 0, "1.8",
                 "", "sw", (130, 0, 0, 0), ("0.0.0.0",) * 5, (0, 0))
    out += caps(100) + u32(201)
    if detail:
        out += u8(1) + u32(1) + b"".join(u32(v) for v in range(202, 212))
        out += u32(212) + u32(213)
        out += u8(1) + b"".join(u32(v) for v in (214, 216, 215, 217, 218, 220, 219))
        out += u8(1) + u32(221) + u32(222) + text("ap") + text("1,2")
        out += u8(1) + mac("02:00:00:00:03:00") + u32(223) + text("rp") + text("ln") + text("lm")
        out += u32(224) + u32(225)
        out += u8(1) + b"".join(u32(v) for v in range(226, 237))
        out += (u16(1) + u32(237) + u32(238) + u32(239) + u32(240) + u32(241)
                + mac("02:00:00:00:03:01") + addr("10.0.1.2") + text("tn") + text("d\r\nx")
                + u32(1) + u32(242) + mac("02:00:00:00:03:02") + text("rp2"))
    else:
        out += u8(0)
    if not cfg:
        return out + u8(0)
    out += (u8(1) + bytes(20) + text("swn") + text("") + text("root") + u32(120)
            + u32(2) + b"ac2" + bytes(253) + b"ac-3" + bytes(252))
    out += text("swt") + u32(1) + u32(244) + u32(245) + u32(243) + text("dp")
    out += u32(-246) + u32(1) + mac("02:00:00:00:04:01") + u32(247)
    out += u32(1) + u32(248) + u32(249) + u32(251) + u32(250) + u32(252)
    out += u32(253) + u32(1) + b"".join(u32(v) for v in (254, 255, 256, 257))
    out += addr("10.5.0.1") + b"".join(u32(v) for v in range(258, 264)) + text("st")
    out += (u32(1) + b"".join(u32(v) for v in (264, 265, 266, 267)) + text("aa-bb")
            + addr("10.5.0.2") + text("act"))
    return out


def other_record(cfg=True):
    out = common(1, T1_MAC, "0.0.0.0", 0, "X", "", 1, 0, 0, "", "", 0, 0, 2, 0, 0, "", "", "",
                 (0, 0, 0, 0), ("0.0.0.0",) * 5, (0, 0))
    if not cfg:
        return out + u8(0)
    return (out + u8(1) + bytes(20) + text("t1") + text("") + text("") + u32(7)
            + u32(1) + b"ac3" + bytes(253) + text("") + bytes(32))


def wtp_list(flags, *macs):
    return (u8(1) + u32(flags) + u16(len(macs)) + b"".join(mac(m) for m in macs))


def reply(*records):
    return b"".join(b"\0" + r for r in records) + b"\1"


class Records(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.sim = AcSim("result 3\nwtp %s rst=9\n" % SW_MAC, status=FLEET).__enter__()

    @classmethod
    def tearDownClass(cls):
        cls.sim.__exit__(None, None, None)

    def test_every_record_kind_on_the_wire(self):
        self.assertEqual(self.sim.ask(wtp_list(63)), reply(ap_record(), switch_record(),
                                                          other_record()))
        self.assertIn("note flags=63 wtps=0 records=3", self.sim.last_block["notes"][0])
        # a second time from the prepared bytes
        self.assertEqual(self.sim.ask(wtp_list(63)), reply(ap_record(), switch_record(),
                                                          other_record()))

    def test_selection_flags_and_mac_list(self):
        ap, sw, other = ap_record(), switch_record(), other_record()
        cases = [
            (wtp_list(61), reply(ap, other)),             # managed only
            (wtp_list(62), reply(sw)),                    # unmanaged only
            (wtp_list(59), reply(ap, sw)),                # joined (state 5) only
            (wtp_list(0), reply()),
            (wtp_list(63, T1_MAC, AP_MAC), reply(ap, other)),  # fleet order
            (wtp_list(63, "02:00:00:00:00:09"), reply()),
            (wtp_list(62, AP_MAC), reply()),
            (wtp_list(55), reply(ap_record(cfg=False), switch_record(cfg=False),
                                 other_record(cfg=False))),
            (wtp_list(47), reply(ap_record(detail=False), switch_record(detail=False), other)),
            (wtp_list(31), reply(ap_record(sta=False), sw, other)),
            (wtp_list(7), reply(ap_record(False, False, False), switch_record(False, False),
                                other_record(False))),
            (wtp_list(63 | 0x100, SW_MAC), reply(sw)),      # other bits mean nothing
        ]
        for request, expected in cases:
            with self.subTest(request=request.hex()):
                self.assertEqual(self.sim.ask(request), expected)

    def test_ac_summary_from_the_fleet(self):
        self.assertEqual(self.sim.ask(b"\x07"), text("2.1.0") + b"".join(
            u32(v) for v in (300, 301, 302, 303, 305, 304)))

    def test_other_requests_answer_for_fleet_wtps(self):
        # rst: the JSON fleet's AP takes the text fleet's default result; the switch is also
        # listed in the text fleet with its own; an unknown MAC is not found
        macs = [AP_MAC, SW_MAC, "02:00:00:00:00:09"]
        body = struct.pack(">HBBIH", 6 * 3 + 8, 0, 0, 0, 3) + b"".join(mac(m) for m in macs)
        self.assertEqual(self.sim.ask(b"\x06" + body), b"\x03\x09\x06")


class Values(unittest.TestCase):
    def test_rates_hotspot20_and_counts_of_zero_or_less(self):
        cases = [("auto", 0, None, ""), ("MCS0", 1, "plain", '"plain"'),
                 ("MCS7", 8, [], "[]"), ("VHTMCS9", 110, {"z": {"y": 1, "x": "é"}},
                                         '{"z":{"y":1,"x":"é"}}'),
                 ("54M", 54000, 2.5, "2.5"), ("1.25M", 3500, False, "false")]
        records, expected = [], []
        for i, (rate, code, hotspot, hotspot_text) in enumerate(cases):
            r = copy.deepcopy(AP)
            r["mac"] = "02:00:00:00:10:%02X" % i
            r["wtp_cfg"]["radio"][0]["data_rate"] = rate
            r["wtp_cfg"]["radio"][0]["wlan"][0]["hotspot20"] = hotspot
            records.append(r)
            expected.append(ap_record(rate=code, hotspot=hotspot_text, m=r["mac"]))
        # a LAN port count and a link count of 0 or less travel as they are, without elements
        r = copy.deepcopy(AP)
        r["mac"] = "02:00:00:00:10:FF"
        del r["wtp_cfg"]["lan_port"]
        r["wtp_cfg"]["lan_port_count"] = -2
        records.append(r)
        expected.append(ap_record(m=r["mac"]).replace(
            text("log") + u32(1) + u32(48) + u32(50) + u32(49), text("log") + u32(-2)))
        s = copy.deepcopy(SWITCH)
        s["dev_list"][0]["link"] = []
        s["dev_list"][0]["link_count"] = -1
        records.append(s)
        expected.append(switch_record().replace(
            u32(1) + u32(242) + mac("02:00:00:00:03:02") + text("rp2"), u32(-1)))
        with AcSim(status={"wtp_list": records}) as sim:
            self.assertEqual(sim.ask(wtp_list(63)), reply(*expected))
            # without "ac_info" the summary comes from the fleet file's settings
            self.assertEqual(sim.ask(b"\x07"), text("1.0") + b"".join(
                u32(v) for v in (512, 0, 0, 0, 0, 0)))

    def test_status_line_of_the_fleet_file(self):
        with tempfile.TemporaryDirectory() as d:
            os.mkdir(os.path.join(d, "sub"))
            with open(os.path.join(d, "sub", "s.json"), "w") as f:
                json.dump({"wtp_list": [OTHER]}, f)
            with open(os.path.join(d, "fleet"), "w") as f:
                f.write("status sub/s.json\ncw_ver v7\n")
            server = harness.Server("ac_sim", ["--quiet", "--fleet", os.path.join(d, "fleet")])
            with server:
                data = talk(server.port, wtp_list(63) + b"\0")
            self.assertEqual(data, u32(1) + reply(other_record()))


class Malformed(unittest.TestCase):
    """A fleet value that does not fit: one message naming its place, no start."""

    def check(self, doc, message):
        with tempfile.TemporaryDirectory() as d:
            path = os.path.join(d, "fleet.json")
            with open(path, "w") as f:
                f.write(doc if isinstance(doc, str) else json.dumps(doc))
            r = harness.run("ac_sim", ["--port", "0", "--max-connections", "0", "--status", path])
            err = r.stderr.decode()
            self.assertNotEqual(r.returncode, 0, message)
            self.assertEqual(r.stdout, b"")
            self.assertTrue(err.startswith("ac_sim: %s: %s" % (path, message)), err)
            self.assertEqual(err.count("\n"), 1, err)

    def test_messages(self):
        def ap_with(change):
            r = copy.deepcopy(AP)
            change(r)
            return {"wtp_list": [OTHER, r]}

        def three_wlans(r):
            w = r["radio"][0]["wlan"]
            w += [copy.deepcopy(w[0]), copy.deepcopy(w[0])]
            w[2]["bssid"] = "02:00:00:00:01:0G"

        cases = [
            ('{"wtp_list": [', "parse error at line 1, column 15"),
            ("[]", "not a JSON object"),
            ({"wtp_list": {}}, "wtp_list: not an array"),
            ({"wtp_list": [3]}, "wtp_list[0]: not an object"),
            ({"ac_info": {"max_wtps": -1}}, "ac_info.max_wtps: not a whole number from 0 to 4294967295"),
            (ap_with(three_wlans), "wtp_list[1].radio[0].wlan[2].bssid: not a MAC address\n"),
            (ap_with(lambda r: r["cur_cfg"].update(dns2="10.0.0.256")),
             "wtp_list[1].cur_cfg.dns2: not a dotted IPv4 address\n"),
            (ap_with(lambda r: r["wtp_cfg"]["radio"][0].update(data_rate="11")),
             "wtp_list[1].wtp_cfg.radio[0].data_rate: not a rate"),
            (ap_with(lambda r: r.update(radio=[{}] * 256)),
             "wtp_list[1].radio: holds 256 elements; its count holds at most 255\n"),
            (ap_with(lambda r: r.update(managed=256)),
             "wtp_list[1].managed: not a whole number from 0 to 255\n"),
            (ap_with(lambda r: r.update(port=1.5)),
             "wtp_list[1].port: not a whole number from 0 to 65535\n"),
            (ap_with(lambda r: r.update(model=5)), "wtp_list[1].model: not a text\n"),
            (ap_with(lambda r: r["radio"][0]["wlan"][0]["sta"][0].update(rssi="-70dBm")),
             "wtp_list[1].radio[0].wlan[0].sta[0].rssi: not a decimal number"),
            (ap_with(lambda r: r.update(cfg_cap=[0] * 20)), "wtp_list[1].cfg_cap: not 21 numbers\n"),
            (ap_with(lambda r: r["wtp_cfg"].update(ipv4="10.1.0.1/255.255.0.0")),
             "wtp_list[1].wtp_cfg.ipv4: not three dotted IPv4 addresses"),
            (ap_with(lambda r: r["wtp_cfg"].update(password_md5="0011")),
             "wtp_list[1].wtp_cfg.password_md5: not 32 hex digits\n"),
            (ap_with(lambda r: r["wtp_cfg"].update(ac_list=["a" * 256])),
             "wtp_list[1].wtp_cfg.ac_list[0]: not a text of at most 255 bytes\n"),
            (ap_with(lambda r: r["wtp_cfg"]["radio"][0]["wlan"][0]["acl"]["mac"].append("x")),
             "wtp_list[1].wtp_cfg.radio[0].wlan[0].acl.mac[2]: not a MAC address\n"),
            ({"wtp_list": [dict(SWITCH, sw_max_port=2)]},
             "wtp_list[0].sw_max_port: is not the number of elements of switch_hw_port (1)\n"),
            ({"wtp_list": [dict(SWITCH, dev_list=[{}] * 65536)]},
             "wtp_list[0].dev_list: holds 65536 elements; its count holds at most 65535\n"),
        ]
        for doc, message in cases:
            with self.subTest(message=message):
                self.check(doc, message)

    def test_missing_file(self):
        r = harness.run("ac_sim", ["--port", "0", "--status", "/nonexistent/fleet.json"])
        self.assertEqual((r.returncode, r.stderr.decode()), (2, "ac_sim: cannot open status fleet "
                         "/nonexistent/fleet.json: No such file or directory\n"))


if __name__ == "__main__":
    unittest.main()
