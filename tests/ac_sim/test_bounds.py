"""ac_sim stays standing whatever it is fed: documents nested deeper than it keeps, files that
never end, request lengths that lie, peers that send too much or too slowly, and saves that
must neither follow a link nor leave an unsynced file.

Memory is checked by the simulator's largest resident size (/usr/bin/time), never by timing;
where there is no room for a wrong answer to finish, the run is capped in address space."""
import json
import os
import re
import resource
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "qor"))
import harness  # noqa: E402
from simctl import AcSim, mac_bytes  # noqa: E402

TOP = os.path.join(os.path.dirname(os.path.abspath(__file__)), "../..")
SAMPLE = os.path.join(TOP, "sim/fleet.json")
AP, NEW = "00:11:22:33:44:55", "02:00:00:00:00:01"

DEPTH_MAX = 64
FILE_MAX = 32 << 20
CONFIG_BODY_MAX = 16 << 20
STRAY_MAX = 4096
RSS_MAX_KIB = 256 << 10  # far below what the unbounded reads reach
DEEP = "nested more than 64 levels deep"


def u16(v):
    return struct.pack(">H", v)


def u32(v):
    return struct.pack(">I", v)


def cap_memory():
    # Without sanitizers or an emulator (both reserve large address ranges), a run that
    # takes memory without bound stops at 2 GiB instead of filling the machine.
    if not harness.EMULATOR and not os.environ.get("SANITIZER_PRELOAD"):
        resource.setrlimit(resource.RLIMIT_AS, (2 << 30, 2 << 30))


class Measured:
    """ac_sim under /usr/bin/time, ending by itself after `connections`; `rss()` waits for
    its end and gives its largest resident size in KiB."""

    def __init__(self, args, connections=1):
        self.seen = 0
        self.dir = tempfile.TemporaryDirectory()
        self.log = os.path.join(self.dir.name, "wire.log")
        self.time_file = os.path.join(self.dir.name, "time")
        port_file = os.path.join(self.dir.name, "port")
        self.stderr_path = os.path.join(self.dir.name, "stderr")
        with open(self.stderr_path, "wb") as err:
            self.proc = subprocess.Popen(
                ["/usr/bin/time", "-f", "%M", "-o", self.time_file] + harness.prog("ac_sim")
                + ["--quiet", "--port", "0", "--port-file", port_file, "--log", self.log,
                   "--max-connections", str(connections)] + list(args),
                stdout=subprocess.DEVNULL, stderr=err, preexec_fn=cap_memory,
                start_new_session=True)
        deadline = time.monotonic() + 30
        while not os.path.exists(port_file):
            if self.proc.poll() is not None or time.monotonic() > deadline:
                raise AssertionError("ac_sim did not start: " + self.stderr())
            time.sleep(0.02)
        with open(port_file) as f:
            self.port = int(f.read())

    def stderr(self):
        with open(self.stderr_path, "rb") as f:
            return f.read().decode(errors="replace")

    def rss(self):
        self.proc.wait(timeout=120)
        with open(self.time_file) as f:
            return int(f.read().split()[-1])

    def blocks(self):
        return AcSim.blocks(self)

    def close(self):
        end_group(self.proc)
        self.dir.cleanup()


def end_group(proc):
    """Ends a run started in a session of its own: the program and what runs it."""
    if proc.poll() is None:
        os.killpg(proc.pid, signal.SIGKILL)
        proc.wait()


def measured_run(args):
    """A run of ac_sim that ends by itself: (status, stderr, largest resident KiB)."""
    with tempfile.NamedTemporaryFile() as t:
        r = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", t.name] + harness.prog("ac_sim")
                           + args, capture_output=True, timeout=120, preexec_fn=cap_memory)
        with open(t.name) as f:
            return r.returncode, r.stderr.decode(errors="replace"), int(f.read().split()[-1])


def connect(port):
    c = socket.create_connection(("127.0.0.1", port))
    c.settimeout(60)
    admission = b""
    while len(admission) < 4:
        admission += c.recv(4 - len(admission))
    return c


def drain(c):
    """What the simulator sends until it closes (a reset counts as the close)."""
    data = b""
    try:
        while True:
            chunk = c.recv(65536)
            if not chunk:
                return data
            data += chunk
    except ConnectionResetError:
        return data


def send_all_it_takes(c, data):
    """Sends as much of `data` as the simulator takes before it closes."""
    try:
        c.sendall(data)
    except (BrokenPipeError, ConnectionResetError):
        pass


def status_doc(hotspot20_text):
    return ('{"wtp_list":[{"wtp_type":3,"mac":"02:00:00:00:00:09","wtp_cfg":{"radio":[{"wlan":'
            '[{"hotspot20":' + hotspot20_text + '}]}]}}]}')


class Nesting(unittest.TestCase):
    """A status fleet nests at most 64 levels (the outer object is the first)."""

    def test_deep_status_fleets_stop_the_start(self):
        cases = [
            # hotspot20 at level 9: its 57th bracket is the 65th level
            (status_doc("[" * 100000 + "]" * 100000),
             "wtp_list[0].wtp_cfg.radio[0].wlan[0].hotspot20" + "[0]" * 56 + ": " + DEEP),
            # a member nobody reads, 200,000 deep
            ('{"d":' * 200000 + "{}" + "}" * 200000, ".".join(["d"] * 64) + ": " + DEEP),
            ('{"a":[' * 33 + "]}" * 33, "a[0]" + ".a[0]" * 31 + ": " + DEEP),
            ('{"a":[1,{"b":2},' + "[" * 63 + "]" * 63 + "]}", "a[2]" + "[0]" * 62 + ": " + DEEP),
            # as deep as it goes
            ('{"d":' * 63 + "{}" + "}" * 63, None),
            (status_doc("[" * 56 + "]" * 56), None),
        ]
        with tempfile.TemporaryDirectory() as d:
            path = os.path.join(d, "fleet.json")
            for doc, message in cases:
                with self.subTest(message=message, size=len(doc)):
                    with open(path, "w") as f:
                        f.write(doc)
                    r = harness.run("ac_sim", ["--quiet", "--port", "0", "--max-connections", "0",
                                               "--status", path])
                    if message is None:
                        self.assertEqual((r.returncode, r.stderr), (0, b""))
                    else:
                        self.assertEqual((r.returncode, r.stderr.decode()),
                                         (2, "ac_sim: %s: %s\n" % (path, message)))

    def test_deep_hotspot20_from_qor_is_refused_and_not_saved(self):
        with tempfile.TemporaryDirectory() as d:
            saved, cfg = os.path.join(d, "out.json"), os.path.join(d, "cfg.json")
            sim = Measured(["--status", SAMPLE, "--save", saved], connections=2)
            try:
                place = "wtp_list[0].wtp_cfg.radio[0].wlan[0].hotspot20"
                cases = [
                    # 65,534 bytes of brackets, 32,767 levels
                    ("[" * 32767 + "]" * 32767, 1,
                     ("ERROR: Incorrect configuration for device %s.\nMsg: %s: %s.\n"
                      % (AP, place + "[0]" * 56, DEEP)).encode(), False),
                    ("[" * 56 + "]" * 56, 0, b"", True),
                ]
                for text, status, err, written in cases:
                    with self.subTest(levels=len(text) // 2):
                        with open(cfg, "w") as f:
                            json.dump({"wtp_cfg": {"radio": [{"wlan": [{"hotspot20": text}]}]}}, f)
                        r = harness.run("qor", ["cfg", "--acserver", "127.0.0.1", "--acport",
                                                str(sim.port), "--mac", AP, "--file", cfg])
                        self.assertEqual((r.returncode, r.stdout, r.stderr), (status, b"", err))
                        self.assertEqual(os.path.exists(saved), written)
                self.assertLess(sim.rss(), RSS_MAX_KIB, sim.stderr())
                self.assertEqual(sim.stderr(), "")
                # What was saved loads again, the hotspot20 value 56 levels deep.
                with open(saved) as f:
                    hotspot = json.load(f)["wtp_list"][0]["wtp_cfg"]["radio"][0]["wlan"][0]
                self.assertEqual(json.dumps(hotspot["hotspot20"]), "[" * 56 + "]" * 56)
                r = harness.run("ac_sim", ["--quiet", "--port", "0", "--max-connections", "0",
                                           "--status", saved])
                self.assertEqual((r.returncode, r.stderr), (0, b""))
            finally:
                sim.close()


class Inputs(unittest.TestCase):
    def test_files_that_never_end(self):
        with tempfile.TemporaryDirectory() as d:
            fleet = os.path.join(d, "fleet")
            with open(fleet, "w") as f:
                f.write("result 0\nstatus /dev/zero\n")
            big = os.path.join(d, "big.json")
            with open(big, "wb") as f:
                f.truncate(FILE_MAX + 1)
            status_msg = "ac_sim: status fleet %s is larger than 33554432 bytes\n"
            cases = [
                (["--status", "/dev/zero"], status_msg % "/dev/zero"),
                (["--status", big], status_msg % big),
                (["--fleet", fleet], status_msg % "/dev/zero"),
                (["--fleet", "/dev/zero"],
                 "ac_sim: fleet file /dev/zero is larger than 33554432 bytes (line 1)\n"),
            ]
            for args, message in cases:
                with self.subTest(args=args):
                    status, err, rss = measured_run(["--port", "0"] + args)
                    self.assertEqual((status, err), (2, message))
                    self.assertLess(rss, RSS_MAX_KIB)

    def test_configuration_body_length_bounds_what_is_read(self):
        head = b"\x05"
        fields = u16(1) + mac_bytes(AP) + b"\x03" + u32(0) + b"\x00"
        item = u16(7) + u16(0) + u16(4) + b"abcd"
        cases = [
            # a length no configuration needs, then items without an end: 24 MiB of them
            (head + u32(0xFFFFFFFF), fields + item * ((24 << 20) // 10),
             "error body length 4294967295, more than 16777216 bytes"),
            (head + u32(CONFIG_BODY_MAX + 1), fields,
             "error body length 16777217, more than 16777216 bytes"),
            # room for the fields and one item: the second item goes past it
            (head + u32(6 + 8 + 10) + fields + item, item + u16(0),
             "error TLV items go on past the body length 24"),
            (head + u32(6 + 8 + 1) + fields, u16(0),
             "error TLV items go on past the body length 15"),
        ]
        sim = Measured(["--status", SAMPLE], connections=len(cases))
        try:
            for read, unread, note in cases:
                with self.subTest(note=note):
                    with connect(sim.port) as c:
                        send_all_it_takes(c, read + unread)
                        self.assertEqual(drain(c), b"")
                    block = AcSim.next_block(sim)
                    self.assertEqual(block["recv"], read)
                    self.assertEqual(block["notes"], [note])
            self.assertLess(sim.rss(), RSS_MAX_KIB)
        finally:
            sim.close()

    def test_endless_and_slow_peers(self):
        sim = Measured(["--conn-time", "1"], connections=3)
        try:
            # Bytes after the closing byte: only so many are read, then the simulator closes.
            with connect(sim.port) as c:
                send_all_it_takes(c, b"\x10" + u32(0) + b"\x00" + b"\xaa" * (64 << 10))
                self.assertEqual(drain(c), b"")
            block = AcSim.next_block(sim)
            self.assertEqual(block["recv"], b"\x10" + u32(0) + b"\x00" + b"\xaa" * STRAY_MAX)
            self.assertEqual(block["notes"], ["note stopped reading after 4096 bytes after "
                                              "the closing byte"])

            # A sender of a byte every 0.1 s (never silent for long) is let go when its
            # connection's time is up, and the client waiting behind it is served.
            connected, cut = threading.Event(), threading.Event()

            def dribble():
                with connect(sim.port) as c:
                    connected.set()
                    c.setblocking(False)
                    for b in b"\x12\x00\x00\xff\xff" + bytes(595):  # 60 s of bytes at most
                        try:
                            c.send(bytes([b]))
                            time.sleep(0.1)
                            if c.recv(1) == b"":
                                break
                        except BlockingIOError:
                            continue
                        except (BrokenPipeError, ConnectionResetError):
                            break
                    else:
                        return
                    cut.set()

            slow = threading.Thread(target=dribble)
            slow.start()
            self.assertTrue(connected.wait(timeout=30))
            r = harness.run("qor", ["ac", "--acserver", "127.0.0.1", "--acport", str(sim.port)])
            self.assertEqual(r.returncode, 0, r.stderr)
            slow.join(timeout=90)
            self.assertTrue(cut.is_set())
            sim.rss()
            blocks = sim.blocks()
            self.assertEqual(len(blocks), 3)
            self.assertEqual(blocks[1]["notes"], ["error connection time limit of 1 s reached"])
            self.assertEqual(blocks[2]["recv"], b"\x07\x00")
        finally:
            sim.close()


def strace_works():
    """Whether the simulator's system calls can be traced here (native build, tracing allowed)."""
    if harness.EMULATOR or not os.path.exists("/usr/bin/strace"):
        return False
    r = subprocess.run(["/usr/bin/strace", "-qq", "-o", os.devnull, "true"], capture_output=True)
    return r.returncode == 0


class Saving(unittest.TestCase):
    def test_save_takes_no_link_and_syncs_before_the_rename(self):
        with tempfile.TemporaryDirectory() as d:
            saved, precious = os.path.join(d, "out.json"), os.path.join(d, "precious.txt")
            with open(precious, "w") as f:
                f.write("precious\n")
            os.symlink(precious, saved + ".tmp")
            trace = os.path.join(d, "trace")
            strace = (["strace", "-f", "-qq", "-e", "trace=openat,fsync,rename,renameat,renameat2",
                       "-o", trace] if strace_works() else [])
            args = ["--quiet", "--port", "0", "--port-file", os.path.join(d, "port"),
                    "--status", SAMPLE, "--save", saved, "--max-connections", "2"]
            err_path = os.path.join(d, "stderr")
            with open(err_path, "wb") as err:
                # The leak checker of a sanitizer build cannot run under a tracer.
                env = dict(os.environ, ASAN_OPTIONS=os.environ.get("ASAN_OPTIONS", "")
                           + ":detect_leaks=0") if strace else None
                proc = subprocess.Popen(strace + harness.prog("ac_sim") + args,
                                        stdout=subprocess.DEVNULL, stderr=err, env=env,
                                        start_new_session=True)
            try:
                while not os.path.exists(os.path.join(d, "port")):
                    self.assertIsNone(proc.poll())
                    time.sleep(0.02)
                with open(os.path.join(d, "port")) as f:
                    port = f.read().strip()

                def qor(*args):
                    return harness.run("qor", ["cfg", "--acserver", "127.0.0.1", "--acport",
                                               port] + list(args))

                # The change is made; the write fails at the link, which stays as it was.
                r = qor("--add", "--mac", NEW)
                self.assertEqual((r.returncode, r.stderr), (0, b""))
                with open(precious) as f:
                    self.assertEqual(f.read(), "precious\n")
                self.assertTrue(os.path.islink(saved + ".tmp"))
                self.assertFalse(os.path.exists(saved))
                os.unlink(saved + ".tmp")
                r = qor("--del", "--mac", NEW)
                self.assertEqual((r.returncode, r.stderr), (0, b""))
                proc.wait(timeout=60)
                with open(err_path) as f:
                    self.assertEqual(f.read(), "ac_sim: cannot write %s.tmp: File exists\n" % saved)
                with open(saved) as f:
                    self.assertEqual(json.load(f)["wtp_list"][-1]["managed"], 0)
                self.assertEqual([n for n in os.listdir(d) if n.endswith(".tmp")], [])
                if strace:
                    # "PID call(...) = result", in the order the calls were made
                    with open(trace) as f:
                        calls = [re.sub(r"\)\s+= ", ") = ", ln.split(" ", 1)[1].strip())
                                 for ln in f.read().splitlines()]
                    opened = [c for c in calls if c.startswith('openat(AT_FDCWD, "%s.tmp"' % saved)]
                    self.assertEqual(len(opened), 2, calls)
                    self.assertIn("O_EXCL", opened[1])
                    at = calls.index(opened[1])
                    fd = opened[1].rsplit("= ", 1)[1]
                    synced = calls.index("fsync(%s) = 0" % fd, at)
                    renamed = [i for i, c in enumerate(calls) if c.startswith("rename")
                               and '"%s.tmp", ' % saved in c and c.endswith("= 0")]
                    self.assertEqual(len(renamed), 1, calls)
                    self.assertLess(synced, renamed[0])
            finally:
                end_group(proc)


if __name__ == "__main__":
    unittest.main()
