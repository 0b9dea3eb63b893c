#!/usr/bin/env python3
"""Wall-clock benchmark of the image tools on one large file, side by side with mkimage and cp.

    python3 bench/image_bench.py [--size-mib 256] [--runs 5] [--dir /work/tmp] [--bin build/bin]

Per run: cp of the file, fwimg encapsulate, fwimg decapsulate (with its image check),
lattermark show_info of the image, and mkimage wrapping the same file. Prints the median of
each and the ratios to cp. The input stays in the page cache; written data is synced to disk
between steps (outside the timings). Works in a private temporary folder that it removes at the end.
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


def timed(cmd, cwd):
    # Each step starts without the previous step's dirty pages, whose write-back would
    # otherwise slow down whichever step comes next.
    os.sync()
    start = time.perf_counter()
    subprocess.run(cmd, cwd=cwd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.perf_counter() - start


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--size-mib", type=int, default=256)
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--dir", default=None, help="folder for the temporary files (default: /tmp)")
    ap.add_argument("--bin", default=os.path.join(TOP, "build", "bin"))
    args = ap.parse_args()
    fwimg = os.path.join(args.bin, "fwimg")
    lattermark = os.path.join(args.bin, "lattermark")
    if shutil.which("mkimage") is None:
        sys.exit("mkimage not found (u-boot-tools)")

    work = tempfile.mkdtemp(prefix="image_bench.", dir=args.dir)
    try:
        src = os.path.join(work, "firmware.bin")
        with open(src, "wb") as f:
            chunk = os.urandom(1 << 20)
            for i in range(args.size_mib):
                f.write(chunk[i % 7:] + chunk[:i % 7])
        img_dir = os.path.join(work, "img")
        out_dir = os.path.join(work, "out")
        image = os.path.join(img_dir, "IMG-1.2.3_bench-1.2.3.img")
        steps = {
            "cp": (["cp", src, os.path.join(work, "copy.bin")], None),
            "fwimg encapsulate": ([fwimg, "-i", "x", "-v", "1.2.3", "-c", "bench", "-m", "AP123",
                                   "-f", src, "-e", "-o", img_dir], None),
            "fwimg decapsulate": ([fwimg, "-i", "x", "-d", image, "-o", out_dir], "quiet"),
            "lattermark show_info": ([lattermark, "show_info", image], None),
            "mkimage": (["mkimage", "-A", "arm", "-O", "linux", "-T", "firmware", "-C", "none",
                         "-n", "bench", "-d", src, os.path.join(work, "u.img")], None),
        }
        times = {name: [] for name in steps}
        for _ in range(args.runs):
            for d in (img_dir, out_dir):
                shutil.rmtree(d, ignore_errors=True)
                os.mkdir(d)
            for name in ("copy.bin", "u.img"):
                if os.path.exists(os.path.join(work, name)):
                    os.unlink(os.path.join(work, name))
            for name, (cmd, _) in steps.items():
                times[name].append(timed(cmd, work))
        with open(src, "rb") as a, open(os.path.join(out_dir, "IMG-1.2.3_bench-1.2.3.image"), "rb") as b:
            same = all(x == y for x, y in iter(lambda: (a.read(1 << 22), b.read(1 << 22)), (b"", b"")))
    finally:
        shutil.rmtree(work, ignore_errors=True)

    cp = statistics.median(times["cp"])
    print("file: %d MiB, median of %d runs" % (args.size_mib, args.runs))
    print("%-22s %9s %9s" % ("step", "median s", "x cp"))
    for name, values in times.items():
        m = statistics.median(values)
        print("%-22s %9.3f %9.2f" % (name, m, m / cp))
    enc = statistics.median(times["fwimg encapsulate"])
    mk = statistics.median(times["mkimage"])
    print("encapsulate / cp = %.2f (goal <= 1.5), encapsulate / mkimage = %.2f (goal < 1)"
          % (enc / cp, enc / mk))
    print("round trip byte for byte: %s" % ("yes" if same else "NO"))


if __name__ == "__main__":
    main()
