"""wtps and ac when standard output cannot take what they print: a full device and a closed
pipe each end in status 1 with one message on standard error (never a silent success, never
an end by SIGPIPE), and the AC still gets its closing byte. The same runs into a pipe that is
read print whole."""
import json
import os
import subprocess
import tempfile
import unittest

import harness
from simctl import AcSim

TOP = os.path.join(os.path.dirname(__file__), "../..")
SAMPLE = os.path.join(TOP, "sim/fleet.json")

FULL = b"ERROR: Writing standard output failed: No space left on device.\n"
BROKEN = b"ERROR: Writing standard output failed: Broken pipe.\n"

# Every form of wtps and ac.
FORMS = [
    ["wtps", "--json"],
    ["wtps", "--json", "--basic"],
    ["wtps", "--breif"],
    ["wtps"],
    ["wtps", "--fwresult"],
    ["ac"],
    ["ac", "--json"],
]


def large_fleet(path, copies):
    """The sample fleet's records again and again under new MACs: a reply whose JSON runs to
    many blocks of output."""
    with open(SAMPLE) as f:
        fleet = json.load(f)
    records = []
    for _ in range(copies):
        for rec in fleet["wtp_list"]:
            rec = dict(rec)
            n = len(records)
            rec["mac"] = "02:00:00:00:%02X:%02X" % (n >> 8, n & 0xFF)
            records.append(rec)
    fleet["wtp_list"] = records
    with open(path, "w") as f:
        json.dump(fleet, f)


class Unwritable(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        big = os.path.join(cls.tmp.name, "large.json")
        large_fleet(big, 40)
        cls.sims = [AcSim("", ["--status", SAMPLE]).__enter__(),
                    AcSim("", ["--status", big]).__enter__()]

    @classmethod
    def tearDownClass(cls):
        for sim in cls.sims:
            sim.__exit__(None, None, None)
        cls.tmp.cleanup()

    def run_qor(self, sim, args, stdout):
        cmd = harness.prog("qor") + args[:1] + ["--acserver", "127.0.0.1", "--acport",
                                                 str(sim.port)] + args[1:]
        return subprocess.run(cmd, stdout=stdout, stderr=subprocess.PIPE, timeout=120)

    def closed_at_end(self, sim, args):
        """The run's connection ended with the closing byte."""
        block = sim.next_block()
        self.assertEqual(block["recv"][-1:], b"\0", args)

    def test_readable_pipe_takes_everything(self):
        for sim in self.sims:
            for args in FORMS:
                r = self.run_qor(sim, args, subprocess.PIPE)
                self.assertEqual((r.returncode, r.stderr), (0, b""), args)
                self.assertTrue(r.stdout, args)
                self.closed_at_end(sim, args)
        # The large fleet's JSON takes many blocks and still parses whole.
        r = self.run_qor(self.sims[1], ["wtps", "--json"], subprocess.PIPE)
        self.assertGreater(len(r.stdout), 8 * 32 * 1024)
        self.assertEqual(len(json.loads(b"{" + r.stdout + b"}")["wtp_list"]), 160)
        self.sims[1].next_block()

    def test_full_device(self):
        for sim in self.sims:
            for args in FORMS:
                with open("/dev/full", "wb") as full:
                    r = self.run_qor(sim, args, full)
                self.assertEqual((r.returncode, r.stderr), (1, FULL), args)
                self.closed_at_end(sim, args)

    def test_closed_pipe(self):
        for sim in self.sims:
            for args in FORMS:
                read_end, write_end = os.pipe()
                os.close(read_end)
                try:
                    r = self.run_qor(sim, args, write_end)
                finally:
                    os.close(write_end)
                # 1, not the -13 of a process ended by SIGPIPE.
                self.assertEqual((r.returncode, r.stderr), (1, BROKEN), args)
                self.closed_at_end(sim, args)


if __name__ == "__main__":
    unittest.main()
