"""The configuration schemas held to qor cfg: for every key of both device types, a file with
the value at each bound, one past it and of a wrong type is judged by the installed JSON Schema
(python3-jsonschema) and by `qor cfg` against the AC simulator; the two verdicts must agree.

    python3 tests/docs/test_cfg_schema.py BUILD_DIR [unittest options]

The rows come from tests/lib/cfg_rows.py (written from the key tables, not from qor).
"""
import json
import os
import sys
import tempfile
import unittest

import jsonschema

import harness
from cfg_rows import ROWS

BUILD_DIR = sys.argv.pop(1)
SOURCE_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "../..")
FLEET = os.path.join(SOURCE_DIR, "sim/fleet.json")
# The AC simulator answers success for every WTP (--result 0): the verdict is qor's alone.
MAC = "00:11:22:33:44:55"
TYPE_ARG = {"ap": "0", "switch": "1"}


def load_schema(device):
    with open(os.path.join(BUILD_DIR, "share", "cfg-%s.schema.json" % device)) as f:
        schema = json.load(f)
    jsonschema.Draft202012Validator.check_schema(schema)
    return jsonschema.Draft202012Validator(schema)


def document(path, value):
    """The smallest document that holds `value` at key path `path`: one element per array."""
    node = value
    for seg in reversed(path.split(".")):
        if seg.endswith("[]"):
            node = {seg[:-2]: [node]}
        else:
            node = {seg: node}
    return node


def ipv4_of_length(n):
    """A dotted address of n characters (7 to 15), or a text of n characters that is none."""
    if not 7 <= n <= 15:
        return "1" * n
    octets = ["1", "1", "1", "1"]
    extra = n - 7
    for i in range(4):
        grow = min(2, extra)
        octets[i] = "1" * (1 + grow)
        extra -= grow
    return ".".join(octets)


# Well-formed texts at the bounds of the encodings whose texts have a form.
TRIPLE = {23: "0.0.0.0/0.0.0.0/0.0.0.0",
          47: "192.168.100.200/255.255.255.000/192.168.100.001"}
RATE = {2: "1M", 7: "VHTMCS9"}
MAC_TEXT = {17: "00:11:22:33:44:a2", 0: ""}


def text_of_length(row, n):
    if row.encoding == "ipv4":
        return ipv4_of_length(n)
    if row.encoding == "ip_triple" and n in TRIPLE:
        return TRIPLE[n]
    if row.encoding == "ip_triple":
        return ("0" * 48 + "0.0.0.0/0.0.0.0/0.0.0.0")[-n:] if n > 0 else ""
    if row.encoding == "rate" and n in RATE:
        return RATE[n]
    if row.encoding == "rate":
        return ("VHTMCS99" if n > 7 else "M")[:n].rjust(n, "1")
    if row.encoding == "mac_list" and n in MAC_TEXT:
        return MAC_TEXT[n]
    if row.encoding == "mac_list":
        return "0" + MAC_TEXT[17] if n == 18 else "0" * n
    return "a" * n


def cases(row):
    """(label, value) for the row: each bound, one past it, and a value of another type."""
    out = []
    if row.kind == "integer":
        out += [("min", row.min), ("max", row.max), ("min-1", row.min - 1),
                ("max+1", row.max + 1), ("text", str(row.min)), ("boolean", True)]
    else:
        out += [("min", text_of_length(row, row.min)), ("number", 1)]
        if row.min > 0:
            out.append(("min-1", text_of_length(row, row.min - 1)))
        if row.max is not None:
            out += [("max", text_of_length(row, row.max)),
                    ("max+1", text_of_length(row, row.max + 1))]
        else:
            out.append(("long", text_of_length(row, 4000)))
    return out


# Whole documents beside the rows: the rules that lie outside single values.
DOCUMENTS = [
    ("ap", "unknown members", {"wtp_cfg": {"status": {"up": 1}, "name": "x"}, "extra": [1]}),
    ("ap", "empty object", {"wtp_cfg": {"led": {}}}),
    ("ap", "empty object of an unknown member", {"wtp_cfg": {"other": {}}}),
    ("ap", "empty document", {}),
    ("ap", "257 radios", {"wtp_cfg": {"radio": [{"op_mode": 0}] * 257}}),
    ("ap", "256 radios", {"wtp_cfg": {"radio": [{"op_mode": 0}] * 256}}),
    ("ap", "empty manage_mac_list", {"wtp_cfg": {"manage_mac_list": []}}),
    ("ap", "manage_mac_list entries", {"wtp_cfg": {"manage_mac_list": ["x"]}}),
    ("switch", "empty manage_mac_list", {"wtp_cfg": {"manage_mac_list": []}}),
    ("switch", "manage_mac_list twice one MAC",
     {"wtp_cfg": {"manage_mac_list": ["00:11:22:33:44:55", "00:11:22:33:44:55"]}}),
    ("ap", "ACL group address",
     {"wtp_cfg": {"radio": [{"wlan": [{"acl": {"mac": ["01:00:5e:00:00:01"]}}]}]}}),
    ("ap", "ACL zero address",
     {"wtp_cfg": {"radio": [{"wlan": [{"acl": {"mac": ["00:00:00:00:00:00"]}}]}]}}),
    ("ap", "ACL two MACs",
     {"wtp_cfg": {"radio": [{"wlan": [{"acl": {"mac": ["00:11:22:33:44:a1",
                                                       "0a:1:2:3:4:5"]}}]}]}}),
    ("ap", "ac_list twice one name", {"wtp_cfg": {"ac_list": ["ac1", "ac1"]}}),
    ("switch", "ac_list twice one name", {"wtp_cfg": {"ac_list": ["ac1", "ac1"]}}),
    ("ap", "256 controller names", {"wtp_cfg": {"ac_list": ["ac%d" % i for i in range(256)]}}),
    ("ap", "gateway after a full triple",
     {"wtp_cfg": {"ipv4": "192.168.1.10/255.255.255.0/192.168.1.1999"}}),
    ("ap", "dns1 with a line end", {"wtp_cfg": {"dns1": "1.2.3.4\n"}}),
    ("ap", "rate auto", {"wtp_cfg": {"radio": [{"data_rate": "auto"}]}}),
    ("ap", "rate 11", {"wtp_cfg": {"radio": [{"data_rate": "11"}]}}),
    ("ap", "object at a key", {"wtp_cfg": {"name": {"first": "x"}}}),
    ("ap", "text at an array", {"wtp_cfg": {"radio": "none"}}),
    ("switch", "radio keys in a switch file", {"wtp_cfg": {"radio": [{"op_mode": 99}]}}),
]


class Schemas(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.validators = {d: load_schema(d) for d in ("ap", "switch")}
        cls.sim = harness.Server("ac_sim", ["--status", FLEET, "--result", "0", "--quiet"]).start()
        cls.dir = tempfile.TemporaryDirectory()

    @classmethod
    def tearDownClass(cls):
        cls.sim.stop()
        cls.dir.cleanup()

    def qor_accepts(self, device, doc):
        """qor cfg's verdict on the document; a refusal must be qor's own message."""
        path = os.path.join(self.dir.name, "cfg.json")
        with open(path, "w") as f:
            json.dump(doc, f)
        p = harness.run("qor", ["cfg", "--mac", MAC, "--type", TYPE_ARG[device], "--file", path,
                                "--acserver", "127.0.0.1", "--acport", str(self.sim.port)])
        if p.returncode != 0:
            # qor's own refusal (an empty object is refused without a word), not the AC's.
            self.assertTrue(p.stderr == b"" or p.stderr.startswith(b"ERROR: "), p.stderr)
            self.assertNotIn(b"Msg:", p.stderr)
        return p.returncode == 0, p.stderr.decode(errors="replace")

    def verdicts_agree(self, device, label, doc):
        schema_ok = self.validators[device].is_valid(doc)
        qor_ok, err = self.qor_accepts(device, doc)
        self.assertEqual(qor_ok, schema_ok, "%s %s: qor %s, schema %s; %s; %s" % (
            device, label, qor_ok, schema_ok, json.dumps(doc)[:200], err.strip()))
        return qor_ok

    def test_every_row_at_and_past_its_bounds(self):
        accepted = refused = 0
        for row in ROWS:
            for label, value in cases(row):
                with self.subTest(device=row.device, path=row.path, case=label):
                    ok = self.verdicts_agree(row.device, "%s %s" % (row.path, label),
                                             document(row.path, value))
                    # The bounds themselves are accepted (but for the empty text where an
                    # address is due); a wrong type never is.
                    if label in ("min", "max", "long") and value != "":
                        self.assertTrue(ok, "%s %s refused" % (row.path, label))
                    if label in ("text", "boolean", "number", "min-1", "max+1"):
                        self.assertFalse(ok, "%s %s accepted" % (row.path, label))
                    accepted += ok
                    refused += not ok
        self.assertEqual(203, len(ROWS))
        print("%d files accepted, %d refused by both" % (accepted, refused), file=sys.stderr)

    def test_documents(self):
        for device, label, doc in DOCUMENTS:
            with self.subTest(device=device, case=label):
                self.verdicts_agree(device, label, doc)

    def test_the_shipped_files_validate(self):
        for device in ("ap", "switch"):
            with open(os.path.join(SOURCE_DIR, "sim/cfg-%s.json" % device)) as f:
                doc = json.load(f)
            errors = [e.message for e in self.validators[device].iter_errors(doc)]
            self.assertEqual([], errors, device)
            self.assertTrue(self.qor_accepts(device, doc)[0], device)


if __name__ == "__main__":
    unittest.main()
