"""The EXAMPLES of the manual pages, run: every command line of our programs in them is run
(as an argument list, no shell) in the order written, against the simulator the page starts,
on loopback, in a scratch folder; each must end with status 0. Installed paths are mapped to
the source and build trees.

    python3 tests/docs/test_examples.py BUILD_DIR [unittest options]
"""
import os
import shlex
import sys
import tempfile
import unittest

import harness

BUILD_DIR = os.path.abspath(sys.argv.pop(1))
SOURCE_DIR = os.path.abspath(os.path.join(os.path.dirname(__file__), "../.."))
PATHS = [("/usr/share/wlc-tools-sim/", os.path.join(SOURCE_DIR, "sim") + "/"),
         ("/usr/share/qor/", os.path.join(BUILD_DIR, "share") + "/")]
PROGRAMS = {"qor", "tovik_ac", "fwimg", "fwimg_ac", "lattermark"}
SIMULATORS = {"ac_sim", "mgmt_sim"}
PAGES = ["qor.8", "qor-cfg.5", "tovik_ac.8", "fwimg.8", "lattermark.8", "ac_sim.1",
         "mgmt_sim.1"]


def example_lines(page):
    """The command lines of a page's example blocks, roff escapes undone, continuations joined."""
    with open(os.path.join(BUILD_DIR, "man", page)) as f:
        text = f.read()
    lines, block = [], None
    for raw in text.splitlines():
        if raw == ".EX":
            block = ""
        elif raw == ".EE":
            block = None
        elif block is not None:
            line = raw.replace("\\-", "-").replace("\\e", "\\")
            if line.endswith("\\"):
                block += line[:-1]
                continue
            lines.append(block + line)
            block = ""
    return lines


def argv_of(line):
    words = shlex.split(line)
    for old, new in PATHS:
        words = [w.replace(old, new) for w in words]
    return words


class Examples(unittest.TestCase):
    def run_page(self, page):
        ran = 0
        with tempfile.TemporaryDirectory() as scratch:
            with open(os.path.join(scratch, "app.bin"), "wb") as f:
                f.write(b"firmware data\n")
            os.mkdir(os.path.join(scratch, "out"))
            sim, port = None, None
            try:
                for line in example_lines(page):
                    if "$(" in line or "|" in line:
                        continue  # shell plumbing around the programs
                    words = argv_of(line)
                    if not words:
                        continue
                    if words[0] in SIMULATORS and words[-1] == "&":
                        # The page's simulator, on a free port instead of the page's own.
                        i = words.index("--port")
                        port = words[i + 1]
                        sim = harness.Server(words[0], words[1:i] + words[i + 2:-1]).start()
                        continue
                    if words[0] not in PROGRAMS or words[0].startswith("fwimg") and "-a" in words:
                        continue  # other commands; -a wants the appliance's /tmp/app
                    if port:
                        words = [str(sim.port) if w == port else w for w in words]
                    p = harness.run(words[0], words[1:], cwd=scratch)
                    self.assertEqual(0, p.returncode, "%s: %s\n%s" % (page, line, p.stderr))
                    for addr in ("--acserver", "-sa"):
                        if addr in words:
                            self.assertEqual("127.0.0.1", words[words.index(addr) + 1])
                    ran += 1
            finally:
                if sim:
                    sim.__exit__(None, None, None)
        return ran

    def test_every_page(self):
        counts = {}
        for page in PAGES:
            with self.subTest(page=page):
                counts[page] = self.run_page(page)
                self.assertGreater(counts[page], 0, page)
        print(counts, file=sys.stderr)


if __name__ == "__main__":
    unittest.main()
