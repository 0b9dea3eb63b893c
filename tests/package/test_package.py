"""The Debian packages of a built tree: cpack makes them from the install rules, the
programs' package is unpacked and its programs run (qor against the simulator of the
simulators' package), the dependencies are dpkg-shlibdeps' and lintian finds no error.

    python3 tests/package/test_package.py BUILD_DIR [--cpack CPACK] [unittest options]
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

_ap = argparse.ArgumentParser(add_help=False)
_ap.add_argument("build_dir")
_ap.add_argument("--cpack", default="cpack")
_args, _rest = _ap.parse_known_args()
BUILD_DIR, CPACK = os.path.abspath(_args.build_dir), _args.cpack
sys.argv[1:] = _rest

PROGRAMS = ["fwimg", "fwimg_ac", "lattermark", "qor", "tovik_ac"]
PAGES = ["usr/share/man/man8/%s.8.gz" % p for p in PROGRAMS] + ["usr/share/man/man5/qor-cfg.5.gz"]
SHARED = ["usr/share/qor/cfg-ap.schema.json", "usr/share/qor/cfg-switch.schema.json",
          "usr/share/bash-completion/completions/qor", "usr/share/doc/wlc-tools/copyright",
          "usr/share/doc/wlc-tools/changelog.gz"]
SIM_FILES = ["usr/bin/ac_sim", "usr/bin/mgmt_sim", "usr/share/wlc-tools-sim/fleet.sample",
             "usr/share/wlc-tools-sim/fleet.json", "usr/share/wlc-tools-sim/cfg-ap.json",
             "usr/share/wlc-tools-sim/cfg-switch.json",
             "usr/libexec/wlc-tools-sim/bootenv/fw_printenv",
             "usr/share/doc/wlc-tools-sim/copyright", "usr/share/man/man1/ac_sim.1.gz",
             "usr/share/man/man1/mgmt_sim.1.gz"]


def run(cmd, **kw):
    return subprocess.run(cmd, capture_output=True, timeout=kw.pop("timeout", 300), **kw)


def read_text(path):
    with open(path) as f:
        return f.read()


def files_of(deb):
    """Paths (without the leading ./) of the regular files and links of a package."""
    p = run(["dpkg-deb", "--fsys-tarfile", deb])
    assert p.returncode == 0, p.stderr
    t = run(["tar", "-tvf", "-"], input=p.stdout)
    return {line.split()[5][2:] for line in t.stdout.decode().splitlines()
            if line[0] in "-l"}


class Packages(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        out = os.path.join(cls.dir.name, "out")
        p = run([CPACK, "-G", "DEB", "-B", out, "--config",
                 os.path.join(BUILD_DIR, "CPackConfig.cmake")], cwd=BUILD_DIR)
        assert p.returncode == 0, p.stdout.decode(errors="replace") + p.stderr.decode()
        arch = run(["dpkg", "--print-architecture"]).stdout.decode().strip()
        cls.deb = os.path.join(out, "wlc-tools_1.0.0_%s.deb" % arch)
        cls.sim_deb = os.path.join(out, "wlc-tools-sim_1.0.0_%s.deb" % arch)
        cls.root = os.path.join(cls.dir.name, "root")
        for deb in (cls.deb, cls.sim_deb):
            p = run(["dpkg-deb", "-x", deb, cls.root])
            assert p.returncode == 0, p.stderr

    @classmethod
    def tearDownClass(cls):
        cls.dir.cleanup()

    def field(self, deb, name):
        return run(["dpkg-deb", "-f", deb, name]).stdout.decode().strip()

    def test_contents(self):
        # The pages of fwimg and fwimg_ac are one, through a link.
        self.assertEqual(set(["usr/bin/" + p for p in PROGRAMS] + PAGES + SHARED),
                         files_of(self.deb))
        sim = files_of(self.sim_deb)
        self.assertTrue(set(SIM_FILES) <= sim, set(SIM_FILES) - sim)
        self.assertFalse({"usr/bin/" + p for p in PROGRAMS} & sim)

    def test_dependencies_from_the_libraries(self):
        # qor links json-parser and libmd; the simulators need neither (they decode
        # configuration items with tables of their own).
        for deb, libs in ((self.deb, ("libc6", "libjsonparser1", "libmd0", "libstdc++6")),
                          (self.sim_deb, ("libc6", "libstdc++6"))):
            depends = self.field(deb, "Depends")
            for lib in libs:
                self.assertIn(lib, depends, deb)
        self.assertNotIn("libjsonparser", self.field(self.sim_deb, "Depends"))
        self.assertEqual("wlc-tools", self.field(self.deb, "Package"))
        self.assertEqual("wlc-tools-sim", self.field(self.sim_deb, "Package"))

    def prog(self, name, *args, **kw):
        return run([os.path.join(self.root, "usr/bin", name)] + list(args), timeout=60, **kw)

    def test_programs_run(self):
        p = self.prog("qor")
        self.assertEqual(1, p.returncode)
        self.assertTrue(p.stdout.startswith(b"usage: "), p.stdout[:80])
        p = self.prog("tovik_ac", "-v")
        self.assertEqual((0, b"tovik_ac version: 0.5.14\n"), (p.returncode, p.stdout))
        p = self.prog("lattermark", "encode", "AP123")
        self.assertEqual((0, b"\x0b\x68\x20\xc4\n"), (p.returncode, p.stdout))
        for fwimg in ("fwimg", "fwimg_ac"):
            p = self.prog(fwimg, "-h")
            self.assertEqual(b"-m: module name \n", p.stdout.splitlines(True)[0], fwimg)

    def test_qor_against_the_packaged_simulator(self):
        with tempfile.TemporaryDirectory() as d:
            port_file = os.path.join(d, "port")
            sim = subprocess.Popen([os.path.join(self.root, "usr/bin/ac_sim"), "--port", "0",
                                    "--port-file", port_file, "--quiet", "--status",
                                    os.path.join(self.root, "usr/share/wlc-tools-sim/fleet.json")],
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            try:
                deadline = time.monotonic() + 30
                while not (os.path.exists(port_file) and read_text(port_file).strip()):
                    self.assertLess(time.monotonic(), deadline, "ac_sim did not start")
                    self.assertIsNone(sim.poll(), "ac_sim ended")
                    time.sleep(0.02)
                port = read_text(port_file).strip()
                p = self.prog("qor", "online", "--acserver", "127.0.0.1", "--acport", port)
                self.assertEqual((0, b"online WTP: 3/4\n"), (p.returncode, p.stdout))
                p = self.prog("qor", "cfg", "--mac", "00:11:22:33:44:55", "--file",
                              os.path.join(self.root, "usr/share/wlc-tools-sim/cfg-ap.json"),
                              "--acserver", "127.0.0.1", "--acport", port)
                self.assertEqual((0, b"", b""), (p.returncode, p.stdout, p.stderr))
            finally:
                sim.terminate()
                sim.wait(timeout=10)

    @unittest.skipUnless(shutil.which("lintian"), "lintian not installed")
    def test_lintian_finds_no_error(self):
        for deb in (self.deb, self.sim_deb):
            p = run(["lintian", deb], timeout=280)
            errors = [l for l in p.stdout.decode().splitlines() if l.startswith("E:")]
            self.assertEqual([], errors, deb)


if __name__ == "__main__":
    unittest.main()
