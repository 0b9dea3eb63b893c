#!/usr/bin/env python3
"""Writes a large status fleet for ac_sim (the WTP-list benchmark's fleet).

    python3 bench/gen_fleet.py [--aps 1024] [--stations 20000] [--out FILE] [--seed 1]

Access points with 2 radios of 8 WLANs each, every one with a configuration copy of 2 radio
configurations x 8 WLAN configurations, and the stations spread over all WLANs (about
20,000 in total by default). The records have the members of qor's JSON output, with varied
values; the same seed writes the same file. Without --out the fleet goes to standard output.
"""
import argparse
import json
import random
import sys

RADIOS = 2
WLANS = 8
OSES = ["iOS 17.5", "Android 14", "Windows 11", "macOS 14.5", "Linux", "ChromeOS", ""]
RATES = ["auto", "MCS7", "MCS15", "VHTMCS9", "54M", "5.5M", "11M", "VHTMCS4"]
MODELS = ["WAP-2240", "WAP-1120", "WAP-3360", "WAP-2250-OD"]


def mac(*parts):
    return ":".join("%02X" % (p & 0xFF) for p in parts)


def ip(a, b, c, d):
    return "%d.%d.%d.%d" % (a, b & 0xFF, c & 0xFF, d & 0xFF)


def portal(rnd, wlan):
    p = {"enable": rnd.randint(0, 1), "login_type": rnd.randint(0, 3),
         "radius_server": ip(10, 9, rnd.randint(0, 255), rnd.randint(1, 254)),
         "userurl": "http://portal.example.net/p%d" % rnd.randint(1, 999),
         "walled_garden": {"enable": rnd.randint(0, 1), "pages": "www.example.net"},
         "radius_port": 1812, "radius_secret": "rs-%06d" % rnd.randint(0, 999999),
         "session_timeout": rnd.choice([0, 1800, 3600, 7200]), "session_timeout_enable": 1,
         "idle_timeout": 900, "idle_timeout_enable": rnd.randint(0, 1),
         "accounting_enable": rnd.randint(0, 1), "accounting_time": 300, "auth_type": 1,
         "external_server": "", "external_secret": "", "account_server": "10.9.0.6",
         "accounting_port": 1813, "accounting_secret": "as-%04d" % rnd.randint(0, 9999),
         "uamformat": "json", "local_auth": "off", "port": 3990, "https_enable": 1}
    if wlan:
        p["network_type"] = rnd.randint(0, 3)
    p["radius_secret2"] = ""
    p["radius_server2"] = "0.0.0.0"
    return p


def steering(rnd):
    return {"mode": rnd.randint(0, 2), "percent_en": rnd.randint(0, 1),
            "rssi_en": rnd.randint(0, 1), "rssi": -rnd.randint(60, 85),
            "percent": rnd.randint(10, 90)}


def wlan_cfg(rnd, n, r, j):
    sec = (0, 1, 3, 5, 3, 4, 7, 0)[j]
    w = {"enable": 1, "ssid": "site%d-r%d-w%d" % (n % 97, r, j), "supr_ssid": j % 2,
         "sta_sep": rnd.randint(0, 1), "layer2Isolation": 0, "l2macWlist": [],
         "isolation": rnd.randint(0, 1), "vlan": 10 + 10 * j + r,
         "downloadlimit": rnd.choice([0, 1024, 4096]), "uploadlimit": rnd.choice([0, 512, 2048]),
         "downperuser_en": 0, "uploadperuser_en": 0, "downloadMode": 0, "uploadMode": 0,
         "roaming": {"enable": rnd.randint(0, 1), "adv_search": 0},
         "acl": {"mode": 0, "mac": []}, "sec_mode": sec,
         "nas": {"id_enable": 1, "id": "ap%04d" % n, "ip_enable": 0, "ip": "0.0.0.0",
                 "port_enable": 0, "port": 0},
         "acc": {"enable": 0, "addr": "0.0.0.0", "port": 0, "secret": "", "interval": 600},
         "portal": portal(rnd, True),
         "hotspot20": {"enable": 1, "venue": {"group": 2, "type": j}} if j == 7 else None,
         "bandsteering": steering(rnd)}
    if sec == 1:
        w["wep"] = {"auth_type": 1, "in_type": 1, "key_len": 13, "def_key": 1,
                    "key": ["wepkey%07d" % rnd.randint(0, 9999999), "", "", ""]}
    elif 2 <= sec <= 12:
        w["wpa"] = {"enc_mode": rnd.randint(1, 3), "suiteb_en": 0, "pmf_enable": rnd.randint(0, 2),
                    "passphrase": "pass-%08d" % rnd.randint(0, 99999999), "group_key_int": 3600}
        if sec in (5, 6, 7, 11, 12):
            w["wpa"]["radius"] = {"addr": "10.9.0.8", "port": 1812, "secret": "radius-secret"}
    return w


def radio_cfg(rnd, n, r):
    return {"op_mode": 1, "wl_mode": (9, 14)[r], "country": 276,
            "channel": {"ht": r * 2 + 1, "ext": 0, "val": rnd.choice(((1, 6, 11), (36, 44, 149))[r])},
            "tx_power": rnd.randint(10, 27), "obey_regulatory_power": 1,
            "data_rate": rnd.choice(RATES), "bit_rate": 0, "ax_enable": r,
            "rts_cts_threshold": 2347, "distance": 0,
            "aggregation": {"enable": 1, "frames": 32, "maxbytes": 50000},
            "limited_clients": {"enable": 1, "count": rnd.choice([32, 64, 128])},
            "portal": portal(rnd, False),
            "mesh": {"enable": 0, "id": "", "wpa_key": "", "link_robust_threshold": 0},
            "fasthandover": {"status": 1, "rssi": -rnd.randint(70, 85)},
            "wlan": [wlan_cfg(rnd, n, r, j) for j in range(WLANS)]}


def access_point(rnd, n, stations_of):
    hi, lo = n >> 8, n & 0xFF
    dhcp = n % 5 == 0
    addr = ip(10, 20 + hi, lo, 10)
    radios = []
    for r in range(RADIOS):
        wlans = []
        for j in range(WLANS):
            stas = []
            for k in range(stations_of(r, j)):
                stas.append({"mac": mac(0x3C, hi, lo, r, j, k), "tx": rnd.randint(0, 5000000),
                             "rx": rnd.randint(0, 900000), "rssi": str(-rnd.randint(35, 90)),
                             "os": rnd.choice(OSES),
                             "hostname": "host-%d-%d-%d-%d" % (n, r, j, k) if k % 3 else "",
                             "ip": ip(10, 100 + r * 8 + j, n, 10 + k)})
            wlans.append({"bssid": mac(0x02, 0xAA, hi, lo, r, j),
                          "cfg_cap": [rnd.randint(0, 255) for _ in range(21)],
                          "tx_pkt": rnd.randint(0, 10 ** 7), "tx_bytes": rnd.randint(0, 4 * 10 ** 9),
                          "rx_pkt": rnd.randint(0, 10 ** 7), "rx_bytes": rnd.randint(0, 4 * 10 ** 9),
                          "sta": stas})
        radios.append({"mac": mac(0x02, 0xAA, hi, lo, r, 0xFF), "type": r + 1,
                       "max_tx_power": (23, 27)[r], "cfg_cap": [rnd.randint(0, 255) for _ in range(21)],
                       "cur_cfg": {"channel": rnd.choice(((1, 6, 11), (36, 44, 149))[r]),
                                   "tx_power": rnd.randint(10, 27),
                                   "tx_power_percent": rnd.randint(40, 100)},
                       "mesh": {"role": rnd.choice([-1, 0, 1]), "bssid": "00:00:00:00:00:00"},
                       "wlan": wlans})
    name = "ap-%04d" % n
    return {
        "wtp_type": 3, "mac": mac(0x02, 0x10, 0, 0, hi, lo), "ip": addr, "port": 5246,
        "model": MODELS[n % len(MODELS)], "sn": "SN%08d" % (n * 7919), "managed": int(n % 50 != 0),
        "unavaiable_fw": 0, "upg_img": int(n % 40 == 0), "new_fw_img": "", "new_fw_ver": "",
        "upg_state": 0, "unavaiable_addr": 0, "state": 5 if n % 60 else 2,
        "sub_state": rnd.randint(0, 9), "progress": rnd.randint(0, 100), "sw_ver": "3.4.%d" % (n % 9),
        "cw_ver": "2.1.0", "name": name, "uptime": rnd.randint(0, 10 ** 7),
        "join_time": 1717000000 + n, "last_time": 1717600000 + n, "change_time": 1716900000 + n,
        "cur_cfg": {"ip": addr, "mask": "255.255.0.0", "gateway": "10.20.0.1",
                    "dns1": "10.20.0.1", "dns2": "9.9.9.9"},
        "mem": {"total": 262144, "used": rnd.randint(50000, 250000)},
        "cap_code": rnd.randint(0, 2 ** 32 - 1), "sku": MODELS[n % len(MODELS)] + "-EU",
        "cfg_cap": [rnd.randint(0, 255) for _ in range(21)],
        "radio": radios,
        "wtp_cfg": {
            "name": name, "location": "floor %d, room %d" % (n // 64, n % 64), "admin": "admin",
            "timezone": 60, "ipv4": "0.0.0.0/0.0.0.0/0.0.0.0" if dhcp else addr + "/255.255.0.0/10.20.0.1",
            "dns1": "10.20.0.1", "dns2": "9.9.9.9", "ac_list": ["10.20.0.2"],
            "bandsteer": 1, "bandsteering": steering(rnd), "manage_vlan_id": 1,
            "log_remote_en": 0, "log_traffic_en": 0, "log_remote_conf": "",
            "lan_port": [{"po": 0, "en": 1, "vlan_mode": 0, "vid": 1}],
            "fasthandover": {"status": 1, "rssi": -78},
            "guest_network": {"addr": "10.77.0.1", "mask": "255.255.252.0", "start": "10.77.0.10",
                              "end": "10.77.3.250", "wins": "0.0.0.0"},
            "led": {"power": 1, "lan": 1, "wlan0": 1, "wlan1": 1, "wlan2": 0, "mesh": 0},
            "mesh": {"enable_total": 0},
            "radio": [radio_cfg(rnd, n, r) for r in range(RADIOS)]}}


def fleet(aps, stations, seed):
    rnd = random.Random(seed)
    wlans = aps * RADIOS * WLANS
    records = []
    for n in range(aps):
        def stations_of(r, j, n=n):
            i = (n * RADIOS + r) * WLANS + j  # spread evenly: WLAN i gets its share
            return (i + 1) * stations // wlans - i * stations // wlans
        records.append(access_point(rnd, n, stations_of))
    managed = sum(r["managed"] for r in records)
    return {"ac_info": {"cw_ver": "2.1.0", "max_wtps": 2048, "managed_wtps": managed,
                        "active_wtps": sum(r["state"] == 5 for r in records),
                        "total_sta": stations, "redundant_mode": 0,
                        "upg_wtps": sum(r["upg_img"] for r in records)},
            "wtp_list": records}


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--aps", type=int, default=1024)
    ap.add_argument("--stations", type=int, default=20000)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--out", default=None)
    args = ap.parse_args()
    if not 0 < args.aps <= 65536:
        sys.exit("gen_fleet: --aps takes 1 to 65536")
    doc = fleet(args.aps, args.stations, args.seed)
    out = open(args.out, "w") if args.out else sys.stdout
    json.dump(doc, out, separators=(",", ":"), ensure_ascii=False)
    out.write("\n")
    if args.out:
        out.close()


if __name__ == "__main__":
    main()
