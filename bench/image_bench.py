#!/usr/bin/env python3
"""Wall-clock benchmark of fwimg on one large file, side by side with cp.

    python3 bench/image_bench.py [--size-mib 256] [--runs 5] [--mode both|prepared|plain]
                                 [--dir /tmp] [--build build-release | --fwimg PATH]

Builds fwimg in a Release tree (default build-release/ beside build/; --fwimg times a given
build instead, an earlier one say), makes a file of --size-mib MiB in a private folder under
--dir, reads it once, and times --runs rounds of six steps, one after the other:

  cp                       cp of the file to a new copy
  cp + sync                the same, then `sync -d` of the copy
  cp + sync, over a copy   the same onto the copy of the step before (which cp truncates)
  fwimg encapsulate        the image of the file, into an empty folder
  fwimg decapsulate        the data out of the image, with its image check, into an empty folder
  fwimg decapsulate again  the same into the folder that holds the outputs of the step before

One untimed round comes first: the first touch of a new file's pages can cost a step several
times its usual time on a virtual machine. Written data is synced to disk before every step,
outside the timings, so that no step pays for the write-back of the one before.

Two modes, both run by default:
  prepared  before each timing, the step's input is read again and twice the file's size of
            memory is touched and freed: every step starts with its input in the page cache and
            with memory in the same state (on a virtual machine the host may hand back memory
            freed a while ago only when it is touched again, which charges whichever step comes
            first after a delete).
  plain     what a user meets: the input is read once when it is made, nothing more is warmed
            and no memory is touched before a timing.

Both fwimg steps sync their outputs to disk before they put them in place (an output that is
in place is whole, also after a crash); cp does not. So the goals are judged against cp
followed by a sync of its copy, in both modes: encapsulate at most 1.25 times "cp + sync",
decapsulate at most 1.5 times "cp + sync", and decapsulate into a folder that holds an earlier
run's outputs at most 1.5 times "cp + sync, over a copy" (replacing a file frees the blocks of
the one it replaces, for cp as for fwimg). The ratios to plain cp are printed beside them.

Checks that the copies and the data taken out of the image equal the file and that the image is
the header followed by the file. Prints the kernel, the file system of the folder, the load
average before and after, the medians with their ratios and each run's time; says so when the
machine was not quiet (a load average of 0.5 per core or more): fwimg puts a second thread to
work, and shared cores make the figures noisy. Exits 1 when a goal is missed in either mode or
an output differs. The folder is removed at the end.
"""
import argparse
import os
import platform
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BASE = "cp + sync"
BASE_OVER = "cp + sync, over a copy"
# (step, what it is judged against, goal): the ratio of the step's median to its base's must not
# exceed the goal. Each base makes the same kind of output as its steps: a new file, or one in
# place of an earlier file of the same size.
ROWS = (("cp", None, None),
        (BASE, None, None),
        (BASE_OVER, None, None),
        ("fwimg encapsulate", BASE, 1.25),
        ("fwimg decapsulate", BASE, 1.5),
        ("fwimg decapsulate again", BASE_OVER, 1.5))
QUIET_LOAD_PER_CORE = 0.5


def warm(path):
    with open(path, "rb") as f:
        while f.read(1 << 22):
            pass


def touch_memory(size):
    block = bytearray(size)
    block[::4096] = b"\1" * len(range(0, size, 4096))
    del block


def timed(cmds, prepare):
    os.sync()
    if prepare:
        prepare()
    start = time.perf_counter()
    for cmd in cmds:
        subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.perf_counter() - start


def same_file(a, b, skip_a=0):
    with open(a, "rb") as fa, open(b, "rb") as fb:
        fa.seek(skip_a)
        while True:
            x, y = fa.read(1 << 22), fb.read(1 << 22)
            if x != y:
                return False
            if not x:
                return True


def file_system(path):
    """Type and device of the mount that holds `path`."""
    path = os.path.realpath(path)
    best = ("?", "?", "")
    with open("/proc/self/mounts") as f:
        for line in f:
            dev, mnt, fstype = line.split()[:3]
            mnt = mnt.replace("\\040", " ")
            inside = path == mnt or path.startswith(mnt.rstrip("/") + "/")
            if inside and len(mnt) >= len(best[2]):
                best = (fstype, dev, mnt)
    return "%s (%s on %s)" % best


def run_mode(mode, args, fwimg, work, src):
    """Times `args.runs` rounds in `mode`; returns ({step: [seconds]}, outputs all as expected)."""
    img_dir = os.path.join(work, "img")
    out_dir = os.path.join(work, "out")
    copy = os.path.join(work, "copy.bin")
    image = os.path.join(img_dir, "IMG-1.2.3_bench-1.2.3.img")
    data = os.path.join(out_dir, "IMG-1.2.3_bench-1.2.3.image")
    enc = [fwimg, "-i", "x", "-v", "1.2.3", "-c", "bench", "-m", "AP123", "-f", src, "-e",
           "-o", img_dir]
    dec = [fwimg, "-i", "x", "-d", image, "-o", out_dir]
    touch = 2 * args.size_mib << 20

    def prepared(path):
        if mode != "prepared":
            return None
        return lambda: (warm(path), touch_memory(touch))

    # name: (commands, their input, whether the copy is removed first)
    steps = {"cp": ([["cp", src, copy]], src, True),
             BASE: ([["cp", src, copy], ["sync", "-d", copy]], src, True),
             BASE_OVER: ([["cp", src, copy], ["sync", "-d", copy]], src, False),
             "fwimg encapsulate": ([enc], src, False),
             "fwimg decapsulate": ([dec], image, False),
             "fwimg decapsulate again": ([dec], image, False)}
    times = {name: [] for name, _, _ in ROWS}
    same = True
    for run in range(args.runs + 1):
        for d in (img_dir, out_dir):
            shutil.rmtree(d, ignore_errors=True)
            os.mkdir(d)
        for name, _, _ in ROWS:
            cmds, step_input, fresh = steps[name]
            if fresh and os.path.exists(copy):
                os.unlink(copy)
            t = timed(cmds, prepared(step_input))
            if run > 0:
                times[name].append(t)
        same = same and same_file(src, copy) and same_file(src, data)
        same = same and os.path.getsize(image) == os.path.getsize(src) + 64
        same = same and same_file(image, src, skip_a=64)
    return times, same


def report(mode, times, runs):
    """Prints one mode's table; returns whether every goal is met."""
    median = {name: statistics.median(values) for name, values in times.items()}
    print("\nmode %s: median of %d runs" % (mode, runs))
    print("%-23s %9s %6s %7s %6s  %s" % ("step", "median ms", "x cp", "x base", "goal",
                                         "each run, ms"))
    met = True
    for name, base, goal in ROWS:
        m = median[name]
        ratio = m / median[base] if base else None
        print("%-23s %9.1f %6.2f %7s %6s  %s"
              % (name, m * 1000, m / median["cp"], "%.2f" % ratio if base else "-",
                 "%.2f" % goal if goal else "-",
                 " ".join("%.0f" % (v * 1000) for v in times[name])))
        if goal and ratio > goal:
            met = False
    return met


def build_fwimg(build):
    """Builds fwimg in the Release tree `build`; its path."""
    subprocess.run(["cmake", "-S", TOP, "-B", build, "-G", "Ninja",
                    "-DCMAKE_BUILD_TYPE=Release", "-DBUILD_TESTS=OFF"],
                   check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", build, "-j2", "--target", "fwimg"], check=True,
                   stdout=subprocess.DEVNULL)
    return os.path.join(build, "bin", "fwimg")


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--size-mib", type=int, default=256)
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--mode", choices=("both", "prepared", "plain"), default="both")
    ap.add_argument("--dir", default="/tmp", help="where the files are made (default /tmp)")
    ap.add_argument("--build", default=os.path.join(TOP, "build-release"))
    ap.add_argument("--fwimg", help="time this fwimg instead of building one (an earlier "
                    "build, say)")
    args = ap.parse_args()
    if args.fwimg:
        fwimg = os.path.abspath(args.fwimg)
    else:
        fwimg = build_fwimg(args.build)
    modes = ("prepared", "plain") if args.mode == "both" else (args.mode,)

    work = tempfile.mkdtemp(prefix="image_bench.", dir=args.dir)
    results = {}
    try:
        src = os.path.join(work, "firmware.bin")
        with open(src, "wb") as f:
            chunk = os.urandom(1 << 20)
            for i in range(args.size_mib):
                f.write(chunk[i % 7:] + chunk[:i % 7])
        os.sync()
        warm(src)  # the one read a user's file has had
        fs = file_system(work)
        load_before = os.getloadavg()
        for mode in modes:
            results[mode] = run_mode(mode, args, fwimg, work, src)
        load_after = os.getloadavg()
    finally:
        shutil.rmtree(work, ignore_errors=True)

    cores = os.cpu_count() or 1
    print("kernel %s, %d cores, file system %s" % (platform.release(), cores, fs))
    print("file: %d MiB; load average before %.2f %.2f %.2f, after %.2f %.2f %.2f"
          % ((args.size_mib,) + load_before + load_after))
    if max(load_before[0], load_after[0]) >= QUIET_LOAD_PER_CORE * cores:
        print("the machine was NOT quiet: the figures are noisy and the goals are not judged "
              "fairly")
    print("goals: each fwimg step at most its multiple of its base, in every mode; the base is "
          "\"%s\" (of a new file, or \"%s\" in place of an earlier one): fwimg syncs "
          "its outputs, cp does not" % (BASE, BASE_OVER))
    ok = True
    for mode in modes:
        times, same = results[mode]
        met = report(mode, times, args.runs)
        print("goals met: %s; outputs byte for byte as expected: %s"
              % ("yes" if met else "NO", "yes" if same else "NO"))
        ok = ok and met and same
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
