"""The manual pages as built: lint-clean for mandoc and groff, readable with man -l, with the
sections a reader looks for, and a key reference in qor-cfg(5) that holds every key of both
device types with its bounds, encoding and item (rows of tests/lib/cfg_rows.py).

    python3 tests/docs/test_pages.py BUILD_DIR [unittest options]
"""
import os
import re
import shutil
import subprocess
import sys
import unittest

from cfg_rows import ROWS

BUILD_DIR = sys.argv.pop(1)
MAN_DIR = os.path.join(BUILD_DIR, "man")
PAGES = ["qor.8", "qor-cfg.5", "tovik_ac.8", "fwimg.8", "lattermark.8", "ac_sim.1",
         "mgmt_sim.1"]
SECTIONS = {
    "qor.8": ["NAME", "SYNOPSIS", "DESCRIPTION", "COMMANDS", "JSON OUTPUT", "EXIT STATUS",
              "FILES", "EXAMPLES"],
    "qor-cfg.5": ["NAME", "SYNOPSIS", "DESCRIPTION", "KEYS", "FILES", "EXAMPLES"],
    "tovik_ac.8": ["NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "EXIT STATUS", "FILES",
                   "EXAMPLES"],
    "fwimg.8": ["NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "EXIT STATUS", "FILES",
                "EXAMPLES"],
    "lattermark.8": ["NAME", "SYNOPSIS", "DESCRIPTION", "EXIT STATUS", "EXAMPLES"],
    "ac_sim.1": ["NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "FILES", "EXAMPLES"],
    "mgmt_sim.1": ["NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "EXAMPLES"],
}
ENCODING_WORDS = {"u32": "u32", "u16": "u16", "text": "text", "ipv4": "IPv4 address",
                  "opt_ipv4": "optional IPv4 address", "ip_triple": "address triple",
                  "rate": "rate code", "password": "password digest", "mac_list": "MAC list",
                  "name_list": "name list"}


def page_text(name):
    with open(os.path.join(MAN_DIR, name)) as f:
        return f.read()


def run(*cmd):
    return subprocess.run(list(cmd), capture_output=True, timeout=60)


def key_entries(text, heading):
    """Key path -> its line, from one subsection of the key reference, in page order."""
    part = text.split(".SS " + heading + "\n", 1)[1].split("\n.S", 1)[0]
    return [(m.group(1), m.group(2))
            for m in re.finditer(r"^\.TP\n\.B (\S+)\n(.*)$", part, re.M)]


def expected_line(row):
    """The reference's words for a row, written from the row."""
    if row.kind == "integer":
        bounds = "integer, %s to %s" % (row.min, row.max)
    elif row.max is None:
        bounds = "string of any length"
    else:
        bounds = "string of %d to %d bytes" % (row.min, row.max)
    return (bounds.replace("-", "\\-") + "; " + ENCODING_WORDS[row.encoding] +
            "; item %d" % row.item)


class Pages(unittest.TestCase):
    def test_lint_clean(self):
        for name in PAGES:
            with self.subTest(page=name):
                path = os.path.join(MAN_DIR, name)
                p = run("mandoc", "-T", "lint", "-W", "warning", path)
                self.assertEqual((0, b"", b""), (p.returncode, p.stdout, p.stderr))
                p = run("groff", "-ww", "-z", "-t", "-man", path)
                self.assertEqual((0, b"", b""), (p.returncode, p.stdout, p.stderr))

    def test_sections_and_wording(self):
        for name in PAGES:
            with self.subTest(page=name):
                text = page_text(name)
                headings = re.findall(r"^\.SH (.*)$", text, re.M)
                self.assertEqual(SECTIONS[name], [h.strip('"') for h in headings
                                                  if h.strip('"') in SECTIONS[name]])
                # The pages speak for the programs: no design documents behind them.
                self.assertIsNone(re.search(r"\b[Ss]pec(ification)?s?\b|\bPart [0-9]", text))
                # Every example talks to loopback only.
                examples = text.split(".SH EXAMPLES", 1)[1]
                for addr in re.findall(r"(?:acserver|\\-sa) (\S+)", examples):
                    self.assertEqual("127.0.0.1", addr)
                if "tovik_ac \\-" in examples:
                    self.assertEqual(examples.count("tovik_ac \\-sa 127.0.0.1 \\-i lo"),
                                     examples.count("tovik_ac \\-"))

    @unittest.skipUnless(shutil.which("man"), "man-db not installed")
    def test_man_reads_the_built_page(self):
        p = subprocess.run(["man", "-l", "-P", "cat", os.path.join(MAN_DIR, "qor.8")],
                           capture_output=True, timeout=60, env=dict(os.environ, MANWIDTH="80"))
        self.assertEqual(0, p.returncode, p.stderr)
        self.assertIn(b"NAME", p.stdout)
        self.assertIn(b"qor - client of the wireless LAN controller", p.stdout)

    def test_key_reference_holds_every_row(self):
        text = page_text("qor-cfg.5")
        self.assertNotIn("@KEY_REFERENCE@", text)
        for device, heading in (("ap", "Access-point keys"), ("switch", "Switch keys")):
            rows = [r for r in ROWS if r.device == device]
            entries = key_entries(text, heading)
            self.assertEqual([r.path for r in rows], [path for path, _ in entries], device)
            for row, (_, line) in zip(rows, entries):
                with self.subTest(device=device, path=row.path):
                    self.assertTrue(line.startswith(expected_line(row)), line)
                    if row.entry:
                        self.assertIn("%d bytes an entry" % row.entry, line)


if __name__ == "__main__":
    unittest.main()
