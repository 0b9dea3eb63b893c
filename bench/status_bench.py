#!/usr/bin/env python3
"""WTP-list benchmark: qor's buffered receive against a field-by-field reader and a plain read loop.

    python3 bench/status_bench.py [--aps 1024] [--stations 20000] [--runs 5] [--bin build-bench/bin]

Needs a tree configured with -DBUILD_BENCH=ON (qor, qor_stats, qor_fieldwise, recv_floor,
ac_sim); without --bin it configures and builds build-bench/ itself. It generates a fleet
(bench/gen_fleet.py: access points with 2 radios of 8 WLANs, configuration copies, stations),
serves it with ac_sim on loopback and asks for the WTP list as `qor wtps --json` and as the
brief table `qor wtps --breif`. For each form, side by side: qor, qor_stats (qor counting its
recv() calls), qor_fieldwise (every field with its own recv() call) and recv_floor (the same
reply bytes received into /dev/null with a plain read loop). Prints the median wall time and
the largest max RSS of the runs, the receive calls per WTP record, and whether the goals hold:
at most one receive call per record on average; the brief table at least 10 times faster
than the field-by-field reader and within 3 times the floor; --json at least 3 times faster
than the field-by-field reader. ac_sim encodes each reply once, at an untimed warm-up run,
and then serves prepared bytes, so the simulator's encoding is not what is measured. Peak
memory comes from GNU time (/usr/bin/time).
Exit status 0 when every goal holds, 1 otherwise.
"""
import argparse
import json
import os
import re
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
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


def build(tree):
    subprocess.run(["cmake", "-S", TOP, "-B", tree, "-G", "Ninja", "-DBUILD_BENCH=ON",
                    "-DBUILD_TESTS=OFF", "-DCMAKE_BUILD_TYPE=Release"], check=True,
                   stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", tree, "--target", "qor", "qor_stats", "qor_fieldwise",
                    "recv_floor", "ac_sim"], check=True, stdout=subprocess.DEVNULL)
    return os.path.join(tree, "bin")


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--aps", type=int, default=1024)
    ap.add_argument("--stations", type=int, default=20000)
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--bin", default=None, help="bin folder of a -DBUILD_BENCH=ON tree")
    args = ap.parse_args()
    bindir = args.bin or build(os.path.join(TOP, "build-bench"))
    tool = {n: os.path.join(bindir, n)
            for n in ("qor", "qor_stats", "qor_fieldwise", "recv_floor", "ac_sim")}

    work = tempfile.mkdtemp(prefix="status_bench.")
    sim = None
    try:
        fleet = os.path.join(work, "fleet.json")
        subprocess.run([sys.executable, os.path.join(TOP, "bench", "gen_fleet.py"), "--aps",
                        str(args.aps), "--stations", str(args.stations), "--out", fleet],
                       check=True)
        port_file = os.path.join(work, "port")
        sim = subprocess.Popen([tool["ac_sim"], "--quiet", "--port", "0", "--port-file",
                                port_file, "--status", fleet], stdout=subprocess.DEVNULL)
        deadline = time.monotonic() + 60
        while not (os.path.exists(port_file) and os.path.getsize(port_file)):
            if sim.poll() is not None or time.monotonic() > deadline:
                sys.exit("status_bench: ac_sim did not start")
            time.sleep(0.05)
        with open(port_file) as f:
            port = f.read().strip()
        link = ["--acserver", "127.0.0.1", "--acport", port]

        print("fleet: %d access points, %d stations; median of %d runs" %
              (args.aps, args.stations, args.runs))
        print("%-6s %-14s %10s %12s %11s %12s" %
              ("form", "reader", "wall ms", "max RSS KiB", "recv calls", "calls/record"))
        ok = True
        for form, opts, flags in FORMS:
            # Warm-up, untimed: ac_sim encodes this reply now, and the floor learns its length
            # (unbounded, it waits for ac_sim to give up on the connection).
            _, _, err = run([tool["recv_floor"], port, str(flags)])
            size = counted(err, "reply bytes")
            cmds = {
                "qor": [tool["qor"], "wtps"] + opts + link,
                "qor_stats": [tool["qor_stats"], "wtps"] + opts + link,
                "qor_fieldwise": [tool["qor_fieldwise"], "wtps"] + opts + link,
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
            speedup = med["qor_fieldwise"] / med["qor"]
            goals = [("receive calls per record %.2f <= 1" % per_record, per_record <= 1)]
            if form == "brief":
                goals.append(("fieldwise / qor %.1f >= 10" % speedup, speedup >= 10))
                floor = med["qor"] / med["recv_floor"]
                goals.append(("qor / floor %.2f <= 3" % floor, floor <= 3))
            else:
                goals.append(("fieldwise / qor %.1f >= 3" % speedup, speedup >= 3))
            for text, held in goals:
                print("  %s: %s" % (text, "holds" if held else "MISSED"))
                ok = ok and held
        return 0 if ok else 1
    finally:
        if sim is not None:
            sim.terminate()
            sim.wait()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
