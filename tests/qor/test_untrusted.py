"""What qor takes from outside and must not trust: texts the WTPs report about themselves
(through the AC) in the JSON and text outputs."""
import json
import os
import tempfile
import unittest

import harness
from test_status_cmds import ScriptedAc, common, text, u8, u32

os.environ["TZ"] = "UTC0"  # for the qor runs: ctime texts in UTC

SEP = b"-------------------------------------\n"


def scripted(reply, request_len, *args):
    (status, out, err), _ = ScriptedAc(reply, request_len).qor(*args)
    return status, out, err


def member(out):
    """A JSON member as qor prints it, read as python reads a whole document."""
    return json.loads(b"{" + out + b"}")


class ForgedTexts(unittest.TestCase):
    """Texts holding line ends, tabs, other control bytes and bytes that are not UTF-8:
    JSON output still parses (each text reads back with U+FFFD for the bad bytes), and in
    the text forms every control byte shows as "?", so each record keeps its own lines."""

    FAKE_ROW = "\n00:00:00:00:00:01  10.0.0.1:1\tFAKE\ty  o  o  0\t5/0\t1.0\t0d:0h:0m:0s"
    TEXTS = dict(model=FAKE_ROW, sn=b"SN\xff\xfe", sw_ver="1.0\nWTP count\t9",
                 cw_ver="2.0\x1b[2J\x7f", name="x\nWTP count\t9\n")
    SHOWN = dict(model=b"?00:00:00:00:00:01  10.0.0.1:1?FAKE?y  o  o  0?5/0?1.0?0d:0h:0m:0s",
                 sn=b"SN\xff\xfe", sw_ver=b"1.0?WTP count?9", cw_ver=b"2.0?[2J?",
                 name=b"x?WTP count?9?")
    LIST_REQUEST_LEN = 7

    def wtps(self, *args):
        reply = u8(0) + common(1, "00:11:22:33:44:01", **self.TEXTS) + u8(0) + u8(1)
        return scripted(reply, self.LIST_REQUEST_LEN, "wtps", *args)

    def test_wtp_texts_in_every_output(self):
        s = self.SHOWN
        status, out, err = self.wtps("--breif")
        self.assertEqual((status, err), (0, b""))
        self.assertEqual(out, b"mac\t\t   address\t\tmodel\t\tmg ip fw ug\tstate\tversion\t\tuptime\n"
                         b"00:11:22:33:44:01  10.0.0.2:5246\t" + s["model"] + b"\ty  o  o  0\t5/0\t"
                         + s["sw_ver"] + b"\t0d:0h:1m:1s\n" + SEP + b"WTP count\t1\n")

        status, out, err = self.wtps()
        self.assertEqual((status, err), (0, b""))
        self.assertEqual(out, SEP + b"MAC\t\t00:11:22:33:44:01\nIP\t\t10.0.0.2:5246\nModel\t\t"
                         + s["model"] + b"\nSN\t\t" + s["sn"] + b"\nManaged\t\t1\n"
                         b"Unavailable FW\t0\nUpgrade Image\t0\nwtp type\t\t1\nImage Name\t\n"
                         b"Image Version\t\nUpgrade state\t0\nUnavailable IP\t0\nState\t\t5\n"
                         b"SubState\t0\nProgress\t0\nSw Ver\t\t" + s["sw_ver"] + b"\nCapwap Ver\t"
                         + s["cw_ver"] + b"\nName\t\t" + s["name"] + b"\nUptime\t\t0d:0h:1m:1s\n"
                         b"Join Time\t\nLast Active\t\nState Change\t\nMemory Usage\t500/1000\n"
                         + SEP + b"WTP count\t1\n")

        status, out, err = self.wtps("--json")
        self.assertEqual((status, err), (0, b""))
        record = member(out)["wtp_list"][0]
        self.assertEqual({k: record[k] for k in self.TEXTS},
                         dict(self.TEXTS, sn="SN\ufffd\ufffd"))
        # Each control byte leaves as its short form or as \u00XX.
        self.assertIn(b'"cw_ver":"2.0\\u001b[2J\x7f"', out)
        self.assertIn(b'"name":"x\\nWTP count\\t9\\n"', out)

    def test_ac_version_text(self):
        counters = u32(512) + u32(3) + u32(2) + u32(17) + u32(1) + u32(4)
        reply = text(b"2.1.0\nMax WTPs\t99999\xff\xfe") + counters
        self.assertEqual(scripted(reply, 1, "ac"),
                         (0, b"Capwap Ver\t2.1.0?Max WTPs?99999\xff\xfe\nMax WTPs\t512\n"
                             b"Managed WTPs\t3\nActive WTPs\t2\nTotal Stations\t17\n"
                             b"Redundant Mode\t4\nUpgrading WTPs\t1\n", b""))
        status, out, err = scripted(reply, 1, "ac", "--json")
        self.assertEqual((status, err), (0, b""))
        self.assertEqual(member(out), {"ac_info": {
            "cw_ver": "2.1.0\nMax WTPs\t99999\ufffd\ufffd", "max_wtps": 512, "managed_wtps": 3,
            "active_wtps": 2, "total_sta": 17, "redundant_mode": 4, "upg_wtps": 1}})


if __name__ == "__main__":
    unittest.main()
