"""qor's bash completion as built: bash itself is asked for the completions of a few command
lines, and the answers are those of the command table and the option matrix.

    python3 tests/docs/test_completion.py BUILD_DIR [unittest options]
"""
import os
import subprocess
import sys
import tempfile
import unittest

BUILD_DIR = sys.argv.pop(1)
SCRIPT = os.path.join(BUILD_DIR, "share", "qor.bash-completion")
ADDRESS = ["--acserver", "--acport"]
COMMANDS = ["ac", "wtps", "cfg", "upg", "rst", "mem", "initfw", "wtpflag", "scan", "bgscan",
            "autoch", "autotp", "kick", "online", "exit", "kill", "dbg", "nodc", "cac", "sh",
            "fwlist"]

# (words typed, the word being completed last) -> completions, in any order.
CASES = [
    (["qor", ""], COMMANDS),
    (["qor", "c"], ["cfg", "cac"]),
    (["qor", "w"], ["wtps", "wtpflag"]),
    (["qor", "au"], ["autoch", "autotp"]),
    (["qor", "x"], []),
    (["qor", "cfg", "--"], ["--mac", "--type", "--add", "--del", "--file", "--ip", "--wait"]
     + ADDRESS),
    (["qor", "ac", "--"], ["--json"] + ADDRESS),
    (["qor", "wtps", "--n"], ["--no_cfg", "--no_stainf"]),
    (["qor", "wtps", "--json", "--b"], ["--breif", "--basic"]),
    (["qor", "rst", "--mac", "00:11:22:33:44:55", "--f"], ["--factory", "--flickreboot"]),
    (["qor", "kick", "--"], ["--mac", "--radio", "--wlan", "--client"] + ADDRESS),
    (["qor", "dbg", "--"], ["--enable", "--wtp", "--mac"] + ADDRESS),
    (["qor", "upg", "--"], ["--mac", "--period", "--type"] + ADDRESS),
    (["qor", "bgscan", "--"], ["--radio", "--enable", "--period"] + ADDRESS),
    (["qor", "sh", "--t"], ["--type", "--timeout"]),
    (["qor", "online", "--"], ADDRESS),
    (["qor", "nodc", "--"], ADDRESS),
    (["qor", "mem", "--acp"], ["--acport"]),
    (["qor", "cfg", "--mac", ""], []),      # a value: nothing to offer
    (["qor", "sh", "--cmd", "--"], []),
    (["qor", "bogus", "--"], []),
]


def complete(words):
    script = ('source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); '
              'COMP_LINE="$*"; _qor; printf "%s\\n" "${COMPREPLY[@]}"; complete -p qor')
    p = subprocess.run(["bash", "--norc", "--noprofile", "-c", script, "bash", SCRIPT] + words,
                       capture_output=True, timeout=30, text=True)
    if p.returncode != 0:
        raise AssertionError(p.stderr)
    lines = p.stdout.splitlines()
    return [w for w in lines[:-1] if w], lines[-1]


class Completion(unittest.TestCase):
    def test_command_lines(self):
        for words, expected in CASES:
            with self.subTest(line=" ".join(words)):
                got, registered = complete(words)
                self.assertEqual(sorted(expected), sorted(got))
                self.assertEqual("complete -F _qor qor", registered)

    def test_file_names_after_file(self):
        with tempfile.TemporaryDirectory() as d:
            for name in ("ap.json", "switch.json", "other.txt"):
                open(os.path.join(d, name), "w").close()
            got, _ = complete(["qor", "cfg", "--file", os.path.join(d, "a")])
            self.assertEqual([os.path.join(d, "ap.json")], got)
            got, _ = complete(["qor", "cfg", "--file", d + "/"])
            self.assertEqual(sorted(os.path.join(d, n) for n in
                                    ("ap.json", "switch.json", "other.txt")), sorted(got))


if __name__ == "__main__":
    unittest.main()
