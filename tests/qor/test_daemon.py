"""AC daemon commands: mem, nodc against ac_sim; exit and kill against processes this test
starts itself.

exit and kill act on real processes: the AC's pid file /var/run/ac.pid and the `ps x` list.
When it can (as root, with unshare), the test runs itself in new pid and mount namespaces
with a private /run, so the pid file is its own and the process list holds only its own
processes (QOR_TEST_IN_NAMESPACE=0 keeps it out of them). Otherwise it writes the pid file only where none exists, and runs kill only when
its own stand-in is the first AC-like line of the process list.
"""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

import harness
from simctl import AcSim

NS_FLAG = "QOR_TEST_IN_NAMESPACE"
PID_FILE = "/var/run/ac.pid"
RUN_DIR = os.path.realpath(os.path.dirname(PID_FILE))
IN_NAMESPACE = os.environ.get(NS_FLAG) == "1"


def rerun_in_namespaces():
    """Runs this file again in new pid and mount namespaces; None when that is not possible."""
    if IN_NAMESPACE or os.environ.get(NS_FLAG) == "0" or os.geteuid() != 0 \
            or not shutil.which("unshare"):
        return None
    cmd = ["unshare", "--pid", "--fork", "--mount-proc", "--propagation", "private"]
    probe = subprocess.run(cmd + ["mount", "-t", "tmpfs", "tmpfs", RUN_DIR], capture_output=True)
    if probe.returncode != 0:
        return None
    env = dict(os.environ, **{NS_FLAG: "1"})
    return subprocess.run(cmd + [sys.executable, os.path.abspath(__file__)] + sys.argv[1:],
                          env=env).returncode


def ctime(t):
    """The C library's ctime text in UTC, with its newline."""
    return time.asctime(time.gmtime(t)) + "\n"


class Memory(unittest.TestCase):
    RECORDS = "a.c:10:100:1000\na.c:10:50:2000\nthree:fields:only\nb.c:5:10:1500\n"

    def mem(self, records, *args, env=None, keep_path=None):
        """qor mem against an AC that writes `records` (None: names a missing file)."""
        with tempfile.TemporaryDirectory() as tmp:
            path = keep_path or os.path.join(tmp, "mem.txt")
            fleet = 'mem_file "%s"\n' % path
            if records is not None:
                fleet += 'mem_records "%s"\n' % records.replace("\\", "\\\\").replace(
                    "\n", "\\n").replace('"', '\\"')
            with AcSim(fleet) as sim:
                r = harness.run("qor", ["mem", "--acserver", "127.0.0.1", "--acport", str(sim.port)]
                                + list(args), env=env or {"TZ": "UTC0"})
                block = sim.next_block()
            self.assertEqual(block["recv"], b"\x08\x00")
            self.assertFalse(os.path.exists(path), "the memory file is removed")
            return r.returncode, r.stdout.decode(), r.stderr.decode()

    def test_summary_merges_records_of_one_place(self):
        self.assertEqual(self.mem(self.RECORDS), (0, "a.c:10 | size 150 | count 2 | time " + ctime(2000)
                                                  + "b.c:5 | size 10 | count 1 | time " + ctime(1500)
                                                  + "Total 160 bytes, 3 entries\n", ""))

    def test_all_lists_every_record(self):
        self.assertEqual(self.mem(self.RECORDS, "--all", "--all"),
                         (0, "a.c:10 | size 100 | time " + ctime(1000)
                          + "a.c:10 | size 50 | time " + ctime(2000)
                          + "b.c:5 | size 10 | time " + ctime(1500)
                          + "Total 160 bytes, 3 entries\n", ""))

    def test_record_fields(self):
        long_name = "n" * 70
        records = ("::x.c::7:1:5::\n"                 # empty fields are skipped
                   "x.c:7:2:-5\n"                     # times compare as signed numbers
                   "x.c:8:3:2147483647\n"
                   "x.c:8:4:-2147483648\n"
                   + long_name + ":1:1:0\n"           # names keep 63 characters
                   + long_name[:63] + ":1:1:0\n"
                   "y.c:1:4294967295:0\n"             # decimal conversion saturates
                   "z.c:2:2\n")
        code, out, err = self.mem(records)
        self.assertEqual((code, err), (0, ""))
        self.assertEqual(out, "x.c:7 | size 3 | count 2 | time " + ctime(5)
                         + "x.c:8 | size 7 | count 2 | time " + ctime(2147483647)
                         + "n" * 63 + ":1 | size 2 | count 2 | time " + ctime(0)
                         + "y.c:1 | size 2147483647 | count 1 | time " + ctime(0)
                         + "Total 2147483659 bytes, 7 entries\n")

    def test_long_lines_are_read_in_pieces(self):
        # 300 characters: the first 255 are one line (dropped, one field), the rest another.
        records = "q" * 255 + "r.c:3:9:1000\n"
        self.assertEqual(self.mem(records), (0, "r.c:3 | size 9 | count 1 | time " + ctime(1000)
                                             + "Total 9 bytes, 1 entries\n", ""))

    def test_times_follow_the_local_zone(self):
        code, out, _ = self.mem("a.c:1:1:0\n", "--all", env={"TZ": "EST5"})
        self.assertEqual(out, "a.c:1 | size 1 | time Wed Dec 31 19:00:00 1969\nTotal 1 bytes, 1 entries\n")

    def test_missing_or_empty_files_give_zero_totals(self):
        zero = (0, "Total 0 bytes, 0 entries\n", "")
        self.assertEqual(self.mem(None), zero)
        self.assertEqual(self.mem(""), zero)
        self.assertEqual(self.mem("a:b:c\n\n"), zero)
        self.assertEqual(self.mem("", "--all"), zero)

    def mem_of_path(self, path):
        """qor mem against an AC that names `path` as it is."""
        with AcSim('mem_file "%s"\n' % path) as sim:
            r = harness.run("qor", ["mem", "--acserver", "127.0.0.1", "--acport", str(sim.port)],
                            env={"TZ": "UTC0"}, timeout=20)
            self.assertEqual(sim.next_block()["recv"], b"\x08\x00")
        return r.returncode, r.stdout.decode(), r.stderr.decode()

    def test_only_a_regular_file_is_read_and_removed(self):
        # A pipe, a device, a directory and a symbolic link are not memory records: each
        # gives the zero totals at once and stays where it is, with a warning (and so does a
        # link's target).
        zero = "Total 0 bytes, 0 entries\n"
        with tempfile.TemporaryDirectory() as tmp:
            fifo = os.path.join(tmp, "fifo")
            os.mkfifo(fifo)
            target = os.path.join(tmp, "records")
            with open(target, "w") as f:
                f.write("a.c:10:100:1000\n")
            link = os.path.join(tmp, "link")
            os.symlink(target, link)
            empty_dir = os.path.join(tmp, "dir")
            os.mkdir(empty_dir)
            for path in (fifo, "/dev/zero", link, empty_dir, tmp):
                with self.subTest(path=path):
                    self.assertEqual(self.mem_of_path(path), (
                        0, zero, "WARNING: memory record file '%s' left in place: not a regular "
                        "file.\n" % path))
            self.assertTrue(os.path.exists(fifo) and os.path.isdir(empty_dir))
            self.assertTrue(os.path.islink(link))
            with open(target) as f:
                self.assertEqual(f.read(), "a.c:10:100:1000\n")
            self.assertTrue(os.path.exists("/dev/zero"))
            # The regular file itself is read and removed.
            self.assertEqual(self.mem_of_path(target),
                             (0, "a.c:10 | size 100 | count 1 | time " + ctime(1000)
                              + "Total 100 bytes, 1 entries\n", ""))
            self.assertFalse(os.path.lexists(target))
            self.assertTrue(os.path.islink(link))

    def test_reading_stops_after_sixty_four_mebibytes(self):
        # A sparse file: one record at the start, one just inside the limit, one past it.
        limit = 64 << 20
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "big")
            with open(path, "wb") as f:
                f.write(b"a.c:1:1:0\n")
                f.seek(limit - 12)
                f.write(b"\nb.c:2:2:0\n")
                f.write(b"c.c:3:4:0\n")
            self.assertEqual(self.mem_of_path(path),
                             (0, "a.c:1 | size 1 | count 1 | time " + ctime(0)
                              + "b.c:2 | size 2 | count 1 | time " + ctime(0)
                              + "Total 3 bytes, 2 entries\n", ""))
            self.assertFalse(os.path.lexists(path))

    def test_no_path_in_the_reply(self):
        with AcSim('mem_file ""\n') as sim:
            r = sim.qor("mem")
            self.assertEqual((r.returncode, r.stdout, r.stderr), (0, b"Total 0 bytes, 0 entries\n", b""))
            self.assertEqual(sim.next_block()["sent"].hex(), "00000001" "0000")

    def test_default_records_of_the_simulator(self):
        # Without settings the simulator writes a file of its own; qor reads and removes it.
        with tempfile.TemporaryDirectory() as tmp:
            with harness.Server("ac_sim", ["--quiet"], env={"TMPDIR": tmp}) as server:
                r = harness.run("qor", ["mem", "--acport", str(server.port)])
            self.assertEqual(r.returncode, 0)
            self.assertRegex(r.stdout.decode(), r"^ac_main\.c:112 \| size 65536 \| count 1 \| time .*\n"
                                                 r"Total 65536 bytes, 1 entries\n$")
            self.assertEqual(os.listdir(tmp), [])

    def test_options_and_a_cut_reply(self):
        with AcSim("") as sim:
            r = sim.qor("mem", "--all", "--json")
            self.assertEqual((r.returncode, r.stdout, r.stderr), (1, b"", b"ERROR: Unknown option --json.\n"))
            self.assertEqual(sim.next_block()["recv"], b"\x00")
        with AcSim('mem_file "/nonexistent/mem"\n', ["--cut", "3"]) as sim:
            r = sim.qor("mem")
            self.assertEqual((r.returncode, r.stdout, r.stderr), (1, b"", b""))


class Discovery(unittest.TestCase):
    def test_nodc_ignores_its_options(self):
        with AcSim("") as sim:
            for args in ([], ["--mac", "bad", "--json", "--period=1"]):
                r = sim.qor("nodc", *args)
                self.assertEqual((r.returncode, r.stdout, r.stderr), (0, b"", b""))
                self.assertEqual(sim.next_block()["recv"].hex(), "10" "00000000" "00")


def alive(proc):
    return proc.poll() is None


class StopTheAc(unittest.TestCase):
    """exit and kill, each against a process started here."""

    @classmethod
    def setUpClass(cls):
        cls.sim = AcSim("").__enter__()
        cls.tmp = tempfile.TemporaryDirectory()
        # A stand-in whose process line reads ".../ac 600", as the AC's does.
        cls.ac_program = os.path.join(cls.tmp.name, "ac")
        os.symlink(shutil.which("sleep"), cls.ac_program)

    @classmethod
    def tearDownClass(cls):
        cls.sim.__exit__(None, None, None)
        cls.tmp.cleanup()

    def setUp(self):
        self.procs = []

    def tearDown(self):
        for p in self.procs:
            if alive(p):
                p.kill()
            p.wait()

    def start(self, argv):
        p = subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.procs.append(p)
        return p

    def qor(self, *args, env=None):
        args = list(args)
        r = harness.run("qor", args[:1] + ["--acport", str(self.sim.port)] + args[1:], env=env)
        self.sim.next_block()
        return r.returncode, r.stdout, r.stderr.decode()

    # ---- exit ----------------------------------------------------------------------

    def with_pid_file(self, content):
        """Writes the AC's pid file for one case; outside a namespace only where none exists."""
        if not IN_NAMESPACE:
            if os.path.lexists(PID_FILE):
                self.skipTest(PID_FILE + " exists: it belongs to a running AC")
            if not os.access(os.path.dirname(PID_FILE), os.W_OK):
                self.skipTest(PID_FILE + " cannot be written")
        with open(PID_FILE, "w") as f:
            f.write(content)
        self.addCleanup(os.remove, PID_FILE)

    def test_exit_signals_the_process_in_the_pid_file(self):
        victim = self.start(["sleep", "600"])
        self.with_pid_file("%d\n" % victim.pid)
        self.assertEqual(self.qor("exit"), (0, b"", ""))
        self.assertEqual(victim.wait(timeout=20), -signal.SIGTERM)

    def test_exit_refuses_options_before_signalling(self):
        victim = self.start(["sleep", "600"])
        self.with_pid_file("%d\n" % victim.pid)
        self.assertEqual(self.qor("exit", "--all"), (1, b"", "ERROR: Unknown option --all.\n"))
        time.sleep(0.2)
        self.assertTrue(alive(victim))

    def test_exit_refuses_a_pid_file_without_one_positive_id(self):
        victim = self.start(["sleep", "600"])
        for content in ("", "\n", "0\n", "-1\n", "-%d\n" % victim.pid, "abc\n", "%d %d\n" % (victim.pid, victim.pid),
                        "%dx\n" % victim.pid, "99999999999\n", "%d;reboot\n" % victim.pid):
            with self.subTest(content=content):
                self.with_pid_file(content)
                self.assertEqual(self.qor("exit"), (1, b"", ""))
                self.doCleanups()
        time.sleep(0.2)
        self.assertTrue(alive(victim))

    def test_exit_without_a_pid_file_or_process(self):
        if not IN_NAMESPACE and os.path.lexists(PID_FILE):
            self.skipTest(PID_FILE + " exists: it belongs to a running AC")
        self.assertEqual(self.qor("exit"), (1, b"", ""))
        gone = self.start(["true"])
        gone.wait()
        self.with_pid_file(" %d \n" % gone.pid)
        self.assertEqual(self.qor("exit"), (1, b"", ""))

    def test_exit_of_the_ac_it_is_connected_to(self):
        # The AC goes away while qor still holds its connection: the closing byte may then
        # fail, quietly; the status stands.
        with tempfile.TemporaryDirectory() as tmp:
            with harness.Server("ac_sim", ["--quiet", "--log", os.path.join(tmp, "log")]) as server:
                self.with_pid_file("%d\n" % server.proc.pid)
                r = harness.run("qor", ["exit", "--acport", str(server.port)])
                self.assertEqual((r.returncode, r.stdout, r.stderr), (0, b"", b""))
                server.proc.wait(timeout=20)

    # ---- kill ----------------------------------------------------------------------

    def ac_lines(self):
        """Process-list lines that kill takes for the AC, in list order."""
        ps = subprocess.run(["ps", "x"], capture_output=True, text=True).stdout
        return [l for l in ps.splitlines() if any(m in l + "\n" for m in ("/ac ", " ac ", "\tac "))]

    def start_stand_in(self):
        ac = self.start([self.ac_program, "600"])
        for _ in range(200):   # until its line shows the new program
            lines = self.ac_lines()
            if lines and lines[0].split()[0] == str(ac.pid):
                return ac
            time.sleep(0.01)
        if IN_NAMESPACE:
            self.fail("stand-in not listed: %r" % lines)
        self.skipTest("another process line looks like the AC's: %r" % lines[:1])

    def test_kill_ends_the_first_ac_process(self):
        ac = self.start_stand_in()
        self.assertEqual(self.qor("kill"), (0, b"", ""))
        self.assertEqual(ac.wait(timeout=20), -signal.SIGKILL)

    def test_kill_refuses_options(self):
        ac = self.start_stand_in()
        self.assertEqual(self.qor("kill", "--json"), (1, b"", "ERROR: Unknown option --json.\n"))
        time.sleep(0.2)
        self.assertTrue(alive(ac))

    def test_kill_without_an_ac_process_does_nothing(self):
        if not IN_NAMESPACE:
            self.skipTest("needs a process list of its own")
        # Near misses: a program named "acd", and "ac" at the end of a line.
        near = os.path.join(self.tmp.name, "acd")
        os.symlink(shutil.which("sleep"), near)
        others = [self.start([near, "600"]), self.start([sys.executable, "-c", "import time; time.sleep(600)", "ac"])]
        self.assertEqual(self.ac_lines(), [])
        self.assertEqual(self.qor("kill"), (0, b"", ""))
        time.sleep(0.2)
        self.assertTrue(all(alive(p) for p in others))

    def test_kill_writes_no_file_and_reports_a_failing_process_list(self):
        before = set(os.listdir("/tmp"))
        # Without ps on the PATH the shell says so and reports 127.
        code, out, err = self.qor("kill", env={"PATH": self.tmp.name})
        self.assertEqual((code, out), (1, b""))
        self.assertTrue(err.endswith("\nERROR: execute 'ps x' error=127\n"), err)
        self.assertFalse([n for n in set(os.listdir("/tmp")) - before if n.startswith("qor.ps")])


if __name__ == "__main__":
    code = rerun_in_namespaces()
    if code is not None:
        sys.exit(code)
    if IN_NAMESPACE:
        # A private /run: the pid file written here is seen by nothing outside.
        subprocess.run(["mount", "-t", "tmpfs", "tmpfs", RUN_DIR], check=True)
    unittest.main()
