#!/usr/bin/env python3
"""Wall-clock benchmark of fwimg on one large file, side by side with cp.

    python3 bench/image_bench.py [--size-mib 256] [--runs 5] [--build build-release]

Builds fwimg in a Release tree (default build-release/ beside build/), makes a file of
--size-mib MiB in a private folder under /tmp, and times --runs runs each of cp of the file,
fwimg encapsulate of it and fwimg decapsulate of the image (with its image check), after one
untimed round of all three. Every input is read once before each timing, so that all steps are
measured with it in the page cache; written data is synced to disk between steps, outside the
timings. On a virtual machine the host may hand back memory that was freed a while ago only
when it is touched again, which would charge whichever step comes first after a delete; so,
just before each timing, the bench touches and frees twice the file's size of memory, giving
every step memory in the same state. Checks that the copy and the data taken out of the image
equal the file and that the image is the header followed by the file. Prints the medians, their
ratios to cp and each run's time; exits 1 when decapsulate takes more than 1.5 times as long as
cp or encapsulate more than 1.25 times, or when an output differs. The folder is removed at the
end. fwimg -d checks the image on a second thread, so measure on a quiet machine. Both fwimg
steps sync their output to disk before they put it in place and cp does not: on a slow disk
that sync is most of the difference.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
GOALS = {"fwimg encapsulate": 1.25, "fwimg decapsulate": 1.5}


def warm(path):
    with open(path, "rb") as f:
        while f.read(1 << 22):
            pass


def touch_memory(size):
    block = bytearray(size)
    block[::4096] = b"\1" * len(range(0, size, 4096))
    del block


def timed(cmd, warm_input, touch):
    # Each step starts without the previous step's dirty pages, whose write-back would
    # otherwise slow down whichever step comes next.
    warm(warm_input)
    os.sync()
    touch_memory(touch)
    start = time.perf_counter()
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


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--size-mib", type=int, default=256)
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--build", default=os.path.join(TOP, "build-release"))
    args = ap.parse_args()
    subprocess.run(["cmake", "-S", TOP, "-B", args.build, "-G", "Ninja",
                    "-DCMAKE_BUILD_TYPE=Release", "-DBUILD_TESTS=OFF"],
                   check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", args.build, "-j2", "--target", "fwimg"], check=True,
                   stdout=subprocess.DEVNULL)
    fwimg = os.path.join(args.build, "bin", "fwimg")

    work = tempfile.mkdtemp(prefix="image_bench.", dir="/tmp")
    try:
        src = os.path.join(work, "firmware.bin")
        with open(src, "wb") as f:
            chunk = os.urandom(1 << 20)
            for i in range(args.size_mib):
                f.write(chunk[i % 7:] + chunk[:i % 7])
        img_dir = os.path.join(work, "img")
        out_dir = os.path.join(work, "out")
        copy = os.path.join(work, "copy.bin")
        image = os.path.join(img_dir, "IMG-1.2.3_bench-1.2.3.img")
        data = os.path.join(out_dir, "IMG-1.2.3_bench-1.2.3.image")
        enc = [fwimg, "-i", "x", "-v", "1.2.3", "-c", "bench", "-m", "AP123", "-f", src, "-e",
               "-o", img_dir]
        dec = [fwimg, "-i", "x", "-d", image, "-o", out_dir]
        times = {"cp": [], "fwimg encapsulate": [], "fwimg decapsulate": []}
        same = True
        touch = 2 * args.size_mib << 20
        # One round first, untimed: the first touch of a new file's pages can cost a step
        # several times its usual time on a virtual machine.
        for run in range(args.runs + 1):
            for d in (img_dir, out_dir):
                shutil.rmtree(d, ignore_errors=True)
                os.mkdir(d)
            if os.path.exists(copy):
                os.unlink(copy)
            for name, cmd, warm_input in (("cp", ["cp", src, copy], src),
                                          ("fwimg encapsulate", enc, src),
                                          ("fwimg decapsulate", dec, image)):
                t = timed(cmd, warm_input, touch)
                if run > 0:
                    times[name].append(t)
            same = same and same_file(src, copy) and same_file(src, data)
            same = same and os.path.getsize(image) == os.path.getsize(src) + 64
            same = same and same_file(image, src, skip_a=64)
    finally:
        shutil.rmtree(work, ignore_errors=True)

    cp = statistics.median(times["cp"])
    print("file: %d MiB, median of %d runs, load average %.2f %.2f %.2f"
          % ((args.size_mib, args.runs) + os.getloadavg()))
    print("%-20s %9s %7s %6s  %s" % ("step", "median ms", "x cp", "goal", "each run, ms"))
    failed = not same
    for name, values in times.items():
        m = statistics.median(values)
        goal = GOALS.get(name)
        print("%-20s %9.1f %7.2f %6s  %s" % (name, m * 1000, m / cp, "%.2f" % goal if goal else "-",
                                             " ".join("%.0f" % (v * 1000) for v in values)))
        if goal and m / cp > goal:
            failed = True
    print("outputs byte for byte as expected: %s" % ("yes" if same else "NO"))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
