"""Runs a test on a file system of its own: a tmpfs of a given size mounted on a temporary
folder, which can be filled up or made read-only, and is unmounted and removed again at the
end. Where mounting is not permitted (no root, a container without the capability) the test
is skipped, with the reason.

    with SmallFs("2m") as fs:
        fs.fill()                       # nothing more fits
        run(..., ["-o", fs.path])       # the program meets a full file system
"""
import errno
import os
import subprocess
import tempfile
import unittest


class SmallFs:
    def __init__(self, size="2m"):
        self.size = size
        self.path = None

    def __enter__(self):
        self.path = tempfile.mkdtemp(prefix="smallfs.")
        p = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=%s,mode=0755" % self.size,
                            "tmpfs", self.path], capture_output=True)
        if p.returncode != 0:
            os.rmdir(self.path)
            raise unittest.SkipTest("a tmpfs cannot be mounted here: %s"
                                    % p.stderr.decode(errors="replace").strip())
        return self

    def __exit__(self, *exc):
        subprocess.run(["umount", self.path], check=True)
        os.rmdir(self.path)
        return False

    def join(self, *names):
        return os.path.join(self.path, *names)

    def fill(self, name=".filler"):
        """Takes every free block with one file, so that the next write fails with ENOSPC."""
        block = b"\0" * 4096
        with open(self.join(name), "wb", buffering=0) as f:
            while True:
                try:
                    f.write(block)
                except OSError as e:
                    if e.errno != errno.ENOSPC:
                        raise
                    break
            # A smaller tail of the last block, if any fits.
            for size in (2048, 1024, 512, 1):
                try:
                    while True:
                        f.write(b"\0" * size)
                except OSError as e:
                    if e.errno != errno.ENOSPC:
                        raise

    def read_only(self):
        """Makes the file system read-only from now on."""
        subprocess.run(["mount", "-o", "remount,ro", self.path], check=True)

    def listing(self, skip=(".filler",)):
        """Names and contents of every file, the filler left out."""
        out = {}
        for name in os.listdir(self.path):
            if name not in skip:
                full = self.join(name)
                if os.path.islink(full):
                    out[name] = os.readlink(full)
                else:
                    with open(full, "rb") as f:
                        out[name] = f.read()
        return out
