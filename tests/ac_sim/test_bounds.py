"""ac_sim stays standing whatever it is fed: deep documents, endless files, lying lengths,
endless or slow peers, and a link at the save's temporary name. Memory is checked by the
simulator's largest resident size (/usr/bin/time), never by timing."""
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
from simctl import AcSim, mac_bytes, talk  # noqa: E402

SAMPLE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../sim/fleet.json")
AP, NEW = "00:11:22:33:44:55", "02:00:00:00:00:01"
DEEP = ": nested more than 64 levels deep"
RSS_MAX_KIB = 256 << 10
ASAN = bool(os.environ.get("SANITIZER_PRELOAD"))


def cap_memory():
    # An unbounded run stops at 2 GiB rather than filling the machine (sanitizers and
    # emulators reserve large address ranges: not there).
    os.setsid()
    if not harness.EMULATOR and not ASAN:
        resource.setrlimit(resource.RLIMIT_AS, (2 << 30, 2 << 30))


class Sim:
    """ac_sim (under /usr/bin/time, or a tracer) until it ends by itself; `end()` gives its
    status, standard error and largest resident KiB."""

    def __init__(self, args, wrap=None, env=None):
        self.dir = tempfile.TemporaryDirectory()
        self.log, port_file, self.time_file = (os.path.join(self.dir.name, n)
                                               for n in ("log", "port", "time"))
        self.seen, self.logged, self.log_pos = 0, [], 0
        wrap = wrap or ["/usr/bin/time", "-f", "%M", "-o", self.time_file]
        self.err = open(os.path.join(self.dir.name, "err"), "w+b")
        self.proc = subprocess.Popen(wrap + harness.prog("ac_sim") + [
            "--port", "0", "--port-file", port_file, "--log", self.log] + args,
            stdout=subprocess.DEVNULL, stderr=self.err, preexec_fn=cap_memory, env=env)
        while not os.path.exists(port_file) and self.proc.poll() is None:
            time.sleep(0.02)
        if os.path.exists(port_file):
            with open(port_file) as f:
                self.port = int(f.read())

    blocks, next_block = AcSim.blocks, AcSim.next_block

    def kill(self):
        if self.proc.poll() is None:
            os.killpg(self.proc.pid, signal.SIGKILL)  # the session it was started in
            self.proc.wait()

    def end(self):
        status = self.proc.wait(timeout=120)
        self.err.seek(0)
        err = self.err.read().decode(errors="replace")
        self.err.close()
        rss = 0
        if os.path.exists(self.time_file):
            with open(self.time_file) as f:
                rss = int(f.read().split()[-1])
        self.dir.cleanup()
        return status, err, rss

    def exchange(self, data):
        """Sends what the simulator takes of `data`; what it answered before closing, and the
        connection's log block."""
        return talk(self.port, data, end=False)[4:], self.next_block()

    def qor(self, *args):
        return harness.run("qor", args[:1] + ("--acserver", "127.0.0.1", "--acport",
                                              str(self.port)) + args[1:])


def u32(v):
    return struct.pack(">I", v)


class Bounds(unittest.TestCase):
    def sim(self, *args, **kw):
        sim = Sim(*args, **kw)
        self.addCleanup(sim.kill)
        return sim

    def test_deep_status_fleets_stop_the_start(self):
        h20 = ('{"wtp_list":[{"wtp_type":3,"mac":"02:00:00:00:00:09","wtp_cfg":{"radio":[{"wlan":[{'
               '"hotspot20":%s}]}]}}]}')
        cases = [(h20 % ("[" * 100000 + "]" * 100000),
                  "wtp_list[0].wtp_cfg.radio[0].wlan[0].hotspot20" + "[0]" * 56 + DEEP),
                 ('{"d":' * 200000 + "{}" + "}" * 200000, ".".join("d" * 64) + DEEP),
                 ('{"a":[' * 33 + "]}" * 33, "a[0]" + ".a[0]" * 31 + DEEP),
                 ('{"a":[1,{},' + "[" * 63 + "]" * 63 + "]}", "a[2]" + "[0]" * 62 + DEEP),
                 ('{"d":' * 63 + "{}" + "}" * 63, None), (h20 % ("[" * 56 + "]" * 56), None)]
        with tempfile.NamedTemporaryFile("w") as f:
            for doc, place in cases:
                f.seek(0)
                f.truncate()
                f.write(doc)
                f.flush()
                r = harness.run("ac_sim", ["--quiet", "--port", "0", "--max-connections", "0",
                                           "--status", f.name])
                self.assertEqual((r.returncode, r.stderr.decode()),
                                 (2, "ac_sim: %s: %s\n" % (f.name, place)) if place else (0, ""))

    def test_deep_hotspot20_from_qor_is_refused_and_not_saved(self):
        with tempfile.TemporaryDirectory() as d:
            saved, cfg = os.path.join(d, "out.json"), os.path.join(d, "cfg.json")
            sim = self.sim(["--status", SAMPLE, "--save", saved, "--max-connections", "2"])
            place = "wtp_list[0].wtp_cfg.radio[0].wlan[0].hotspot20" + "[0]" * 56
            for levels, status, err in ((32767, 1, "ERROR: Incorrect configuration for device "
                                         "%s.\nMsg: %s%s.\n" % (AP, place, DEEP)), (56, 0, "")):
                with open(cfg, "w") as f:
                    json.dump({"wtp_cfg": {"radio": [{"wlan": [{
                        "hotspot20": "[" * levels + "]" * levels}]}]}}, f)
                r = sim.qor("cfg", "--mac", AP, "--file", cfg)
                self.assertEqual((r.returncode, r.stderr.decode()), (status, err))
                self.assertEqual(os.path.exists(saved), status == 0)
            status, err, rss = sim.end()
            self.assertEqual((status, err), (0, ""))
            self.assertLess(rss, RSS_MAX_KIB)
            with open(saved) as f:  # loads again
                wlan = json.load(f)["wtp_list"][0]["wtp_cfg"]["radio"][0]["wlan"][0]
            self.assertEqual(json.dumps(wlan["hotspot20"]), "[" * 56 + "]" * 56)

    def test_files_that_never_end(self):
        with tempfile.TemporaryDirectory() as d:
            fleet, big = os.path.join(d, "fleet"), os.path.join(d, "big.json")
            with open(fleet, "w") as f:
                f.write("result 0\nstatus /dev/zero\n")
            with open(big, "wb") as f:
                f.truncate((32 << 20) + 1)
            status_msg = "ac_sim: status fleet %s is larger than 33554432 bytes\n"
            for args, message in (
                    (["--status", "/dev/zero"], status_msg % "/dev/zero"),
                    (["--status", big], status_msg % big),
                    (["--fleet", fleet], status_msg % "/dev/zero"),
                    (["--fleet", "/dev/zero"],
                     "ac_sim: fleet file /dev/zero is larger than 33554432 bytes (line 1)\n")):
                status, err, rss = self.sim(args).end()
                self.assertEqual((status, err), (2, message))
                self.assertLess(rss, RSS_MAX_KIB)

    def test_lengths_endless_and_slow_peers(self):
        fields = struct.pack(">H", 1) + mac_bytes(AP) + b"\x03" + u32(0) + b"\x00"
        item = bytes.fromhex("0007 0000 0004") + b"abcd"
        cases = [  # what is read, what is not, the log's note
            (b"\x05" + u32(0xFFFFFFFF), fields + item * (2400 << 10),  # 24 MiB, no end
             "error body length 4294967295, more than 16777216 bytes"),
            (b"\x05" + u32((16 << 20) + 1), fields,
             "error body length 16777217, more than 16777216 bytes"),
            (b"\x05" + u32(24) + fields + item, item + b"\0\0",
             "error TLV items go on past the body length 24"),
            (b"\x05" + u32(15) + fields, b"\0\0", "error TLV items go on past the body length 15"),
            (b"\x10" + u32(0) + b"\0" + b"\xaa" * 4096, b"\xaa" * 60000,
             "note stopped reading after 4096 bytes after the closing byte")]
        sim = self.sim(["--quiet", "--status", SAMPLE, "--conn-time", "1",
                        "--max-connections", "7"])
        for read, unread, note in cases:
            self.assertEqual(sim.exchange(read + unread), (b"", {"recv": read, "sent": u32(1),
                                                                  "notes": [note]}))
        # A byte every 0.1 s is never silent for long; its time still runs out, and the
        # client waiting behind it is served.
        cut, c = [], socket.create_connection(("127.0.0.1", sim.port))
        self.assertEqual(c.recv(4), u32(1))

        def dribble():
            for b in b"\x12\0\0\xff\xff" + bytes(595):  # 60 s at most
                try:
                    c.send(bytes([b]))
                    time.sleep(0.1)
                    if c.recv(1, socket.MSG_DONTWAIT) == b"":
                        break
                except BlockingIOError:
                    continue
                except OSError:
                    break
            else:
                return
            cut.append(1)

        slow = threading.Thread(target=dribble)
        slow.start()
        self.assertEqual(sim.qor("ac").returncode, 0)
        slow.join(timeout=90)
        c.close()
        self.assertEqual(cut, [1])
        self.assertEqual(sim.next_block()["notes"],
                         ["error connection time limit of 1 s reached"])
        self.assertLess(sim.end()[2], RSS_MAX_KIB)

    def test_save_takes_no_link_and_syncs_before_the_rename(self):
        with tempfile.TemporaryDirectory() as d:
            saved, precious, trace = (os.path.join(d, n) for n in ("o.json", "precious", "trace"))
            with open(precious, "w") as f:
                f.write("precious\n")
            os.symlink(precious, saved + ".tmp")
            traced = not harness.EMULATOR and subprocess.run(
                ["strace", "-o", os.devnull, "true"], capture_output=True).returncode == 0
            sim = self.sim(["--status", SAMPLE, "--save", saved, "--max-connections", "2"],
                      wrap=["strace", "-f", "-qq", "-e", "trace=openat,fsync,rename,renameat,"
                            "renameat2", "-o", trace] if traced else None,
                      env=dict(os.environ, ASAN_OPTIONS="detect_leaks=0"))  # none under a tracer
            self.assertEqual(sim.qor("cfg", "--add", "--mac", NEW).returncode, 0)
            self.assertTrue(os.path.islink(saved + ".tmp") and not os.path.exists(saved))
            os.unlink(saved + ".tmp")
            self.assertEqual(sim.qor("cfg", "--del", "--mac", NEW).returncode, 0)
            self.assertEqual(sim.end()[:2],
                             (0, "ac_sim: cannot write %s.tmp: File exists\n" % saved))
            with open(precious) as f, open(saved) as g:
                self.assertEqual((f.read(), json.load(g)["wtp_list"][-1]["managed"]),
                                 ("precious\n", 0))
            self.assertFalse(os.path.exists(saved + ".tmp"))
            if traced:  # "PID call(...) = result", in order: open exclusively, sync, rename
                with open(trace) as f:
                    calls = [re.sub(r"^\d+ +|\)\s+= ", lambda m: ") = " if ")" in m[0] else "", ln)
                             for ln in f.read().splitlines()]
                opened = [i for i, c in enumerate(calls)
                          if '"%s.tmp"' % saved in c and "O_EXCL" in c]
                fd = calls[opened[-1]].rsplit("= ", 1)[1]
                self.assertLess(calls.index("fsync(%s) = 0" % fd, opened[-1]),
                                calls.index('rename("%s.tmp", "%s") = 0' % (saved, saved)))


if __name__ == "__main__":
    unittest.main()
