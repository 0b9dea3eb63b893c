"""Every configuration key of both device types, one row at a time: a file setting the key
goes through cfg to the simulated AC, which decodes it with its own key tables, and wtps
shows what arrived. Values at and between the bounds arrive as written (as far as the
key's encoding carries them); a number one past a bound, or a text one byte longer or shorter
than its length allows, is refused by cfg with its message and nothing is sent."""
import hashlib
import json
import os
import tempfile
import time
import unittest

import cfg_rows
from simctl import AcSim

TOP = os.path.join(os.path.dirname(os.path.abspath(__file__)), "../..")
SAMPLE = os.path.join(TOP, "sim/fleet.json")
WTP = {"ap": ("00:11:22:33:44:55", []), "switch": ("00:11:22:33:44:77", ["--type", "1"])}
# Keys the WTP record does not carry (the switch's password travels as text, a PD lifeguard
# entry has no clear_reboot_count): what arrived is read from the fleet the simulator saves.
UNSHOWN = {("switch", "wtp_cfg.password"), ("switch", "wtp_cfg.pd_lifeguard[].clear_reboot_count")}
# A WLAN's WEP and WPA settings are printed for its security mode only: WEP for 1, WPA with
# its RADIUS server for 5.
SEC_MODE = {"wtp_cfg.radio[].wlan[].wep.": 1, "wtp_cfg.radio[].wlan[].wpa.": 5}


def sample_text(n):
    return ("cfg-" + "0123456789abcdefghijklmnopqrstuvwxyz" * 100)[:n]


def accepted(row):
    """The in-bounds values a row is set to in turn."""
    if row.kind == "integer":
        return [row.min, row.max]
    if row.path.endswith(".hotspot20"):
        return ["", '{"enable":1,"venue":{"group":1,"type":8}}']
    return {
        "text": [sample_text(row.min), sample_text(row.max)],
        "password": [sample_text(row.min), sample_text(row.max)],
        "ipv4": ["10.1.2.3", "192.168.100.200"],
        "opt_ipv4": ["10.1.2.3", "192.168.100.200", ""],
        "ip_triple": ["192.168.10.30/255.255.255.0/192.168.10.1",
                      "192.168.100.200/255.255.255.0/192.168.100.254"],
        "rate": ["1M", "VHTMCS9", "5.5M", "auto", "MCS0"],
        "mac_list": [["0a:0b:0c:0d:0e:0f", "02:00:00:00:00:01"], []],
        "name_list": [["ac-1", sample_text(row.max)], []],
    }[row.encoding]


def refused(row):
    """(value, message) for each value one past a bound: numbers one below the minimum and
    one above the maximum, texts (list entries too) one byte shorter or longer."""
    if row.kind == "integer":
        return [(v, "ERROR: config value '%d' is out of range (%d to %d) for '%s'.\n"
                 % (v, row.min, row.max, row.path)) for v in (row.min - 1, row.max + 1)]
    lengths = ([row.min - 1] if row.min > 0 else []) + ([row.max + 1] if row.max is not None else [])
    return [(["x" * n] if row.entry else "x" * n,
             "ERROR: config string length '%d' is out of range (%d-%d) for '%s'.\n"
             % (n, row.min, row.max, row.path)) for n in lengths]


def shown(row, value):
    """What the WTP record shows for a value the file set."""
    if row.encoding == "u16":
        v = value & 0xFFFF
        return v - 0x10000 if row.min < 0 and v >= 0x8000 else v
    if row.encoding == "opt_ipv4":
        return value or "0.0.0.0"
    if row.encoding == "mac_list":
        return [m.upper() for m in value]
    if row.encoding == "password":
        return hashlib.md5(value.encode() + b"\n").hexdigest()
    if row.path.endswith(".hotspot20"):
        return json.loads(value) if value else None
    return value


def document(row, value):
    """A configuration file holding `value` at the row's key path, element 0 of every array."""
    parts = row.path.split(".")
    node = value
    for i, part in reversed(list(enumerate(parts))):
        if part.endswith("[]") and not (i == len(parts) - 1 and row.entry):
            node = [node]
        node = {part[:-2] if part.endswith("[]") else part: node}
        if part == "wlan[]":
            node["wlan"][0].update(("sec_mode", mode) for prefix, mode in SEC_MODE.items()
                                   if row.path.startswith(prefix))
    return node


def member(doc, row):
    """The value at the row's key path in a printed or saved WTP record."""
    parts = row.path.split(".")
    if row.encoding == "password":
        parts[-1] = "password_md5"
    node = doc
    for i, part in enumerate(parts):
        node = node[part[:-2]] if part.endswith("[]") else node[part]
        if part.endswith("[]") and not (i == len(parts) - 1 and row.entry):
            node = node[0]
    return node


class EveryKey(unittest.TestCase):
    def test_every_row_of_both_tables(self):
        self.assertEqual((len(cfg_rows.SWITCH_ROWS), len(cfg_rows.AP_ROWS)), (41, 162))
        # Within a table no key and no item type repeats, and the item types no row uses are
        # exactly the array count items.
        for device, counts in (("switch", {8, 13, 24, 38}), ("ap", {4, 17, 93})):
            rows = cfg_rows.rows_of(device)
            items = {r.item for r in rows}
            self.assertEqual((len(items), len({r.path for r in rows})), (len(rows), len(rows)))
            self.assertEqual(set(range(1, max(items) + 1)) - items, counts, device)
        checked = 0
        with tempfile.TemporaryDirectory() as tmp, \
                AcSim("", ["--status", SAMPLE, "--save", os.path.join(tmp, "saved.json")]) as sim:
            self.sim, self.file = sim, os.path.join(tmp, "cfg.json")
            self.saved = os.path.join(tmp, "saved.json")
            for row in cfg_rows.ROWS:
                with self.subTest(device=row.device, key=row.path):
                    for value in accepted(row):
                        r, block = self.cfg(row, value)
                        self.assertEqual((r.returncode, r.stderr), (0, b""), value)
                        self.assertEqual(block["recv"][:1], b"\x05", value)
                        self.assertEqual(self.arrived(row, shown(row, value)), shown(row, value),
                                         value)
                    for value, err in refused(row):
                        r, block = self.cfg(row, value)
                        self.assertEqual((r.returncode, r.stdout, r.stderr.decode()),
                                         (1, b"", err), value)
                        self.assertEqual(block["recv"], b"\x00", value)
                    checked += 1
        self.assertEqual(checked, 203)

    def cfg(self, row, value):
        """cfg with a file setting the row's key to `value`: the run and its logged bytes."""
        with open(self.file, "w") as f:
            json.dump(document(row, value), f)
        mac, extra = WTP[row.device]
        r = self.sim.qor("cfg", "--mac", mac, "--file", self.file, *extra)
        return r, self.sim.next_block()

    def arrived(self, row, want):
        """The row's value in the WTP's record as wtps prints it, or for a key the record
        does not carry, in the saved fleet (waiting for the simulator to have written it)."""
        mac = WTP[row.device][0]
        if (row.device, row.path) not in UNSHOWN:
            out = self.sim.qor("wtps", "--json", "--password", "--mac", mac).stdout
            self.sim.next_block()
            return member(json.loads(b"{" + out + b"}")["wtp_list"][0], row)
        deadline = time.monotonic() + 20
        while True:
            try:
                with open(self.saved) as f:
                    records = json.load(f)["wtp_list"]
                got = member(next(w for w in records if w["mac"] == mac), row)
            except (OSError, ValueError, KeyError, StopIteration):
                got = None
            if got == want or time.monotonic() > deadline:
                return got
            time.sleep(0.02)


if __name__ == "__main__":
    unittest.main()
