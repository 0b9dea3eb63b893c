#!/usr/bin/env python3
"""WTP-list benchmark: qor against a reader without buffer and a plain read loop.

    python3 bench/status_bench.py [--aps 1024] [--stations 20000] [--runs 5] [--bin build-bench/bin]
                                  [--cg-aps 256] [--no-callgrind] [--no-wall]

Needs a tree configured with -DBUILD_BENCH=ON (qor, qor_stats, qor_fieldwise,
qor_static_cxx, recv_floor, ac_sim); without --bin it configures and builds build-bench/
itself. It generates a fleet (bench/gen_fleet.py: access points with 2 radios of 8 WLANs,
configuration copies, stations), serves it with ac_sim on loopback and asks for the WTP
list as `qor wtps --json` and as the brief table `qor wtps --breif`. For each form, side by
side: qor, qor_stats (qor over a byte source of the bench that counts its recv() calls),
qor_fieldwise (over a source whose every recv() asks for exactly what the next field, or
run of fixed-size fields, needs), qor_static_cxx (qor with the C++ runtime linked in
rather than loaded at its start: the difference is what loading the shared C++ runtime
adds to each run) and recv_floor (the same reply bytes received into /dev/null with a plain
read loop, linked against the C library alone). Prints the median wall time and the
largest max RSS of the runs, the receive calls per WTP record, and whether the goals hold:
at most one receive call per record on average; --json within 4 times the floor and its
peak memory at most 25 MB (25600 KiB); the brief table within 1.5 times the floor. ac_sim
encodes each reply once, at an untimed warm-up run, and then serves prepared bytes, so the
simulator's encoding is not what is measured. Peak memory comes from GNU time
(/usr/bin/time), which starts every run: each wall time includes its start.

Beside the wall times, instruction counts (valgrind --tool=callgrind, which a busy machine
does not disturb) on a fleet of --cg-aps access points (stations in proportion): the reply
with everything (flags 63: configuration copies, detail parts, stations) is taken from
ac_sim once and then replayed for every request, whatever its flags, as an AC may send it;
so `--json`, the detailed text and the brief table read the same bytes, and the brief
table has to step over copies and details it does not print. For each form: instructions
per record, per byte of output and per byte of reply; per byte of reply, what receiving the
whole reply and checking every record took before anything was printed (get_wtp_reply,
inclusive; the full forms) and what decoding the records took (read_wtp_info, inclusive:
in full for --json and the detailed text, the common part and the rest stepped over for
the brief table, which decodes as the records arrive); and the plain read loop's instructions
for the same reply.
Exit status 0 when every goal holds, 1 otherwise.
"""
import argparse
import json
import os
import re
import resource
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FORMS = [("json", ["--json"], 63), ("brief", ["--breif"], 55)]  # selection flags qor sends


def run(cmd):
    """Runs cmd with its output to /dev/null; returns (seconds, max RSS in KiB, stderr).

    GNU time takes the peak: os.wait4 here would count this interpreter's pages, which the
    child holds until it starts the program."""
    with tempfile.NamedTemporaryFile("r") as rss_file, tempfile.TemporaryFile() as err:
        start = time.perf_counter()
        p = subprocess.run(["/usr/bin/time", "-o", rss_file.name, "-f", "%M"] + cmd,
                           stdout=subprocess.DEVNULL, stderr=err)
        took = time.perf_counter() - start
        err.seek(0)
        text = err.read().decode(errors="replace")
        if p.returncode != 0:
            sys.exit("status_bench: %s failed (%d): %s" % (" ".join(cmd), p.returncode,
                                                         text[-400:]))
        return took, int(rss_file.read().split()[-1]), text


def counted(text, what):
    m = re.search(what + r": (\d+)", text)
    return int(m.group(1)) if m else None


class replay_ac:
    """A stand-in AC on loopback that answers every WTP-list request with the same bytes."""

    def __init__(self, reply):
        self.reply = reply
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.sock.bind(("127.0.0.1", 0))
        self.sock.listen(4)
        self.port = self.sock.getsockname()[1]
        self.thread = threading.Thread(target=self.serve, daemon=True)
        self.thread.start()

    def serve(self):
        while True:
            try:
                conn, _ = self.sock.accept()
            except OSError:
                return
            with conn:
                try:
                    conn.sendall(b"\0\0\0\1")
                    need, got = 7, b""  # code, flags, MAC count 0
                    while len(got) < need:
                        part = conn.recv(need - len(got))
                        if not part:
                            break
                        got += part
                    conn.sendall(self.reply)
                    while conn.recv(4096):  # the closing byte, then the close
                        pass
                except OSError:
                    pass

    def close(self):
        self.sock.close()


PHASES = ("get_wtp_reply(", "read_wtp_info(")  # receiving and checking; decoding


def serve_fleet(tool, work, name, aps, stations):
    """Generates a fleet of `aps` access points and `stations` stations and serves it with
    ac_sim on loopback; returns (the ac_sim process, its port as text)."""
    fleet = os.path.join(work, name + "_fleet.json")
    subprocess.run([sys.executable, os.path.join(TOP, "bench", "gen_fleet.py"), "--aps",
                    str(aps), "--stations", str(stations), "--out", fleet], check=True)
    port_file = os.path.join(work, name + "_port")
    sim = subprocess.Popen([tool["ac_sim"], "--quiet", "--port", "0", "--port-file", port_file,
                            "--status", fleet], stdout=subprocess.DEVNULL)
    deadline = time.monotonic() + 60
    while not (os.path.exists(port_file) and os.path.getsize(port_file)):
        if sim.poll() is not None or time.monotonic() > deadline:
            sim.terminate()
            sim.wait()
            sys.exit("status_bench: ac_sim did not start")
        time.sleep(0.05)
    with open(port_file) as f:
        return sim, f.read().strip()


def callgrind(cmd, work, phases=()):
    """Runs cmd under callgrind; returns (instructions, stdout bytes, the inclusive count of
    each function of `phases`, None for one that did not run)."""
    out_file = os.path.join(work, "cg.out")
    stdout_file = os.path.join(work, "cg.stdout")
    with open(stdout_file, "wb") as out:
        p = subprocess.run(["valgrind", "--tool=callgrind", "--callgrind-out-file=" + out_file]
                           + cmd, stdout=out, stderr=subprocess.PIPE)
    err = p.stderr.decode(errors="replace")
    if p.returncode != 0:
        sys.exit("status_bench: %s failed under callgrind: %s" % (" ".join(cmd), err[-400:]))
    total = int(re.search(r"Collected : (\d+)", err).group(1))
    counts = [None] * len(phases)
    if phases:
        ann = subprocess.run(["callgrind_annotate", "--inclusive=yes", out_file],
                             stdout=subprocess.PIPE, check=True).stdout.decode(errors="replace")
        for line in ann.splitlines():
            for i, fn in enumerate(phases):
                if fn in line and counts[i] is None:
                    counts[i] = int(line.split()[0].replace(",", ""))
    return total, os.path.getsize(stdout_file), counts


CG_FORMS = [("json", ["--json"]), ("text", []), ("brief", ["--breif"])]


def instruction_table(tool, args, work):
    """The callgrind table; returns whether its goals hold."""
    aps = args.cg_aps
    stations = args.stations * aps // max(args.aps, 1)
    sim, sim_port = serve_fleet(tool, work, "cg", aps, stations)
    try:
        reply = subprocess.run([tool["recv_floor"], sim_port, "63"], stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL, check=True).stdout
    finally:
        sim.terminate()
        sim.wait()
    ac = replay_ac(reply)
    try:
        port = str(ac.port)
        link = ["--acserver", "127.0.0.1", "--acport", port]
        floor, _, _ = callgrind([tool["recv_floor"], port, "63", str(len(reply))], work)
        print()
        print("instructions (callgrind): %d access points, %d stations, every record with its "
              "configuration copy and detail part, reply of %d bytes" % (aps, stations, len(reply)))
        print("plain read loop: %d instructions, %.2f per byte of reply" %
              (floor, floor / len(reply)))
        print("%-6s %12s %14s %12s %10s %11s %12s %12s" %
              ("form", "output bytes", "instructions", "per record", "per out B",
               "per reply B", "check/rep B", "decode/rep B"))
        per = {}
        for form, opts in CG_FORMS:
            total, out_bytes, (checking, decoding) = callgrind(
                [tool["qor"], "wtps"] + opts + link, work, PHASES)
            per[form] = (total, out_bytes, decoding)
            print("%-6s %12d %14d %12.0f %10.2f %11.2f %12s %12s" %
                  (form, out_bytes, total, total / aps, total / max(out_bytes, 1),
                   total / len(reply),
                   "-" if checking is None else "%.2f" % (checking / len(reply)),
                   "-" if decoding is None else "%.2f" % (decoding / len(reply))))
    finally:
        ac.close()
    goals = []
    total, out_bytes, decoding = per["json"]
    goals.append(("--json instructions per output byte %.1f <= 15" % (total / out_bytes),
                  total / out_bytes <= 15))
    if decoding is not None:
        goals.append(("decoding full records: instructions per reply byte %.2f <= 5" %
                      (decoding / len(reply)), decoding / len(reply) <= 5))
    ok = True
    for text, held in goals:
        print("  %s: %s" % (text, "holds" if held else "MISSED"))
        ok = ok and held
    return ok


def build(tree):
    subprocess.run(["cmake", "-S", TOP, "-B", tree, "-G", "Ninja", "-DBUILD_BENCH=ON",
                    "-DBUILD_TESTS=OFF", "-DCMAKE_BUILD_TYPE=Release"], check=True,
                   stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", tree, "--target", "qor", "qor_stats", "qor_fieldwise",
                    "qor_static_cxx", "recv_floor", "ac_sim"], check=True,
                   stdout=subprocess.DEVNULL)
    return os.path.join(tree, "bin")


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--aps", type=int, default=1024)
    ap.add_argument("--stations", type=int, default=20000)
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--bin", default=None, help="bin folder of a -DBUILD_BENCH=ON tree")
    ap.add_argument("--cg-aps", type=int, default=256,
                    help="access points of the fleet that callgrind counts on")
    ap.add_argument("--no-callgrind", action="store_true", help="wall times only")
    ap.add_argument("--no-wall", action="store_true", help="instruction counts only")
    args = ap.parse_args()
    bindir = args.bin or build(os.path.join(TOP, "build-bench"))
    tool = {n: os.path.join(bindir, n)
            for n in ("qor", "qor_stats", "qor_fieldwise", "qor_static_cxx", "recv_floor",
                      "ac_sim")}

    work = tempfile.mkdtemp(prefix="status_bench.")
    sim = None
    try:
        sim, port = serve_fleet(tool, work, "wall", args.aps, args.stations)
        link = ["--acserver", "127.0.0.1", "--acport", port]

        print("fleet: %d access points, %d stations; median of %d runs" %
              (args.aps, args.stations, args.runs))
        print("%-6s %-14s %10s %12s %11s %12s" %
              ("form", "reader", "wall ms", "max RSS KiB", "recv calls", "calls/record"))
        ok = True
        for form, opts, flags in ([] if args.no_wall else FORMS):
            # Warm-up, untimed: ac_sim encodes this reply now, and the floor learns its length
            # (unbounded, it waits for ac_sim to give up on the connection).
            _, _, err = run([tool["recv_floor"], port, str(flags)])
            size = counted(err, "reply bytes")
            cmds = {
                "qor": [tool["qor"], "wtps"] + opts + link,
                "qor_stats": [tool["qor_stats"], "wtps"] + opts + link,
                "qor_fieldwise": [tool["qor_fieldwise"], "wtps"] + opts + link,
                "qor_static_cxx": [tool["qor_static_cxx"], "wtps"] + opts + link,
                "recv_floor": [tool["recv_floor"], port, str(flags), str(size)],
            }
            print("%-6s reply of %d bytes" % (form, size))
            if form == "json":
                # What the fleet prints must stay valid JSON once wrapped in braces.
                out = subprocess.run(cmds["qor"], stdout=subprocess.PIPE, check=True).stdout
                json.loads(b"{" + out + b"}")
            times = {n: [] for n in cmds}
            rss = {n: 0 for n in cmds}
            calls = {}
            for _ in range(args.runs):
                for name, cmd in cmds.items():
                    took, maxrss, err = run(cmd)
                    times[name].append(took)
                    rss[name] = max(rss[name], maxrss)
                    calls[name] = counted(err, "recv calls")
            med = {n: statistics.median(t) for n, t in times.items()}
            for name in cmds:
                c = calls[name]
                print("%-6s %-14s %10.1f %12d %11s %12s" %
                      (form, name, med[name] * 1000, rss[name], "-" if c is None else c,
                       "-" if c is None else "%.2f" % (c / args.aps)))
            per_record = calls["qor_stats"] / args.aps
            floor = med["qor"] / med["recv_floor"]
            goals = [("receive calls per record %.2f <= 1" % per_record, per_record <= 1)]
            if form == "brief":
                goals.append(("qor / floor %.2f <= 1.5" % floor, floor <= 1.5))
            else:
                goals.append(("qor / floor %.2f <= 4" % floor, floor <= 4))
                goals.append(("max RSS %d KiB <= 25600" % rss["qor"], rss["qor"] <= 25600))
            for text, held in goals:
                print("  %s: %s" % (text, "holds" if held else "MISSED"))
                ok = ok and held
            print("  qor_static_cxx / floor %.2f (no goal: the programs load the C++ runtime)" %
                  (med["qor_static_cxx"] / med["recv_floor"]))
        if not args.no_callgrind:
            ok = instruction_table(tool, args, work) and ok
        return 0 if ok else 1
    finally:
        if sim is not None:
            sim.terminate()
            sim.wait()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
