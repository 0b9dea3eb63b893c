"""wtps and ac against the simulated AC serving the sample status fleet: the brief table, JSON
that parses, the round trip (what qor prints is a fleet that prints the same again), the
selection the AC applies, station and topology texts, and replies cut at any point."""
import json
import os
import tempfile
import unittest

import harness
from simctl import AcSim

TOP = os.path.join(os.path.dirname(__file__), "../..")
SAMPLE = os.path.join(TOP, "sim/fleet.json")
SEP = b"-------------------------------------\n"


def status_sim(path, args=()):
    return AcSim("", ["--status", path] + list(args))


def document(*members):
    """The members qor prints, wrapped in braces as the appliance's scripts do."""
    return b"{" + b",".join(members) + b"}"


class SampleFleet(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.sim = status_sim(SAMPLE).__enter__()

    @classmethod
    def tearDownClass(cls):
        cls.sim.__exit__(None, None, None)

    def ok(self, *args):
        r = self.sim.qor(*args)
        self.assertEqual((r.returncode, r.stderr), (0, b""), args)
        return r.stdout

    def test_brief_table(self):
        self.assertEqual(self.ok("wtps", "--breif"),
                         b"mac\t\t   address\t\tmodel\t\tmg ip fw ug\tstate\tversion\t\tuptime\n"
                         b"00:11:22:33:44:55  192.168.10.21:5246\tWAP-2240\ty  o  o  0\t5/2\t"
                         b"3.4.1.7\t3d:4h:4m:5s\n"
                         b"00:11:22:33:44:66  192.168.10.57:5247\tWAP-1120\ty  x  o  2\t5/4\t"
                         b"3.3.9.2\t0d:23h:59m:59s\n"
                         b"00:11:22:33:44:77  192.168.10.40:5248\tGSW-2410P\ty  o  x  0\t5/3\t"
                         b"1.8.12\t58d:0h:19m:5s\n"
                         b"00:11:22:33:44:88  192.168.10.99:5249\tWAP-1120\tn  o  o  0\t2/0\t"
                         b"3.3.9.2\t0d:0h:6m:52s\n"
                         + SEP + b"WTP count\t4\n")

    def test_every_json_form_parses(self):
        ac = self.ok("ac", "--json")
        for args in ([], ["--password"], ["--basic"], ["--no_cfg"], ["--no_stainf"],
                     ["--managed"], ["--unmanaged"], ["--join"],
                     ["--mac=00:11:22:33:44:77,00:11:22:33:44:55"]):
            out = self.ok("wtps", "--json", *args)
            self.assertTrue(out.endswith(b"]\n"), args)
            doc = json.loads(document(ac, out[:-1]))
            self.assertIn("wtp_list", doc, args)

    def test_selection_as_the_ac_applies_it(self):
        def macs(*args):
            out = self.ok("wtps", "--json", *args)
            return [w["mac"] for w in json.loads(document(out))["wtp_list"]]
        every = ["00:11:22:33:44:55", "00:11:22:33:44:66", "00:11:22:33:44:77",
                 "00:11:22:33:44:88"]
        self.assertEqual(macs(), every)
        self.assertEqual(macs("--managed"), every[:3])
        self.assertEqual(macs("--unmanaged"), every[3:])
        self.assertEqual(macs("--mac=00:11:22:33:44:77"), every[2:3])
        self.assertEqual(self.ok("online"), b"online WTP: 3/4\n")
        records = json.loads(document(self.ok("wtps", "--json", "--basic")))["wtp_list"]
        self.assertFalse([w for w in records if "radio" in w or "wtp_cfg" in w])
        fleet = json.load(open(SAMPLE))["wtp_list"]
        self.assertEqual([w.get("flick_reboot_flag") for w in records if w["wtp_type"] == 2],
                         [w["flick_reboot_flag"] for w in fleet if w["wtp_type"] == 2])
        records = json.loads(document(self.ok("wtps", "--json", "--no_stainf")))["wtp_list"]
        self.assertFalse([s for w in records for r in w.get("radio", ()) for wl in r["wlan"]
                          for s in wl["sta"]])

    def test_texts_as_the_printers_treat_them(self):
        fleet = json.load(open(SAMPLE))
        printed = json.loads(document(self.ok("wtps", "--json")))["wtp_list"]
        sent = [d["model"] for w in fleet["wtp_list"] for d in w.get("dev_list", ())]
        shown = [d["model"] for w in printed for d in w.get("dev_list", ())]
        self.assertTrue([t for t in sent if "\r\n" in t], "the sample has a broken description")
        self.assertEqual(shown, [t.replace("\r", "").replace("\n", "") for t in sent])
        # The text form keeps the description on its own line: each line end shows as "?".
        text = self.ok("wtps")
        for t in sent:
            self.assertIn(b"    Dsec\t" + t.replace("\r", "?").replace("\n", "?").encode() + b"\n",
                          text)


class RoundTrip(unittest.TestCase):
    def printed(self, path):
        with status_sim(path) as sim:
            outs = []
            for args in (("ac", "--json"), ("wtps", "--json", "--password")):
                r = sim.qor(*args)
                self.assertEqual((r.returncode, r.stderr), (0, b""), args)
                outs.append(r.stdout)
        return outs[0], outs[1]

    def test_printed_fleet_serves_the_same_output(self):
        ac, wtps = self.printed(SAMPLE)
        with tempfile.TemporaryDirectory() as tmp:
            joined = os.path.join(tmp, "fleet.json")
            with open(joined, "wb") as f:
                f.write(document(ac, wtps[:-1]))
            self.assertEqual(self.printed(joined), (ac, wtps))


class CutReplies(unittest.TestCase):
    def test_a_reply_cut_anywhere_prints_nothing(self):
        for args in (("wtps",), ("wtps", "--json"), ("wtps", "--breif"), ("online",)):
            with status_sim(SAMPLE) as sim:
                self.assertEqual(sim.qor(*args).returncode, 0, args)
                whole = len(sim.next_block()["sent"]) - 4  # after the admission word
            for cut in (0, 1, 5, whole // 3, whole // 2, whole - 2, whole - 1):
                with status_sim(SAMPLE, ["--cut", str(cut)]) as sim:
                    r = sim.qor(*args)
                    self.assertEqual((r.returncode, r.stdout, r.stderr), (1, b"", b""),
                                     (cut, args))


if __name__ == "__main__":
    unittest.main()
