"""Stand-in ACs on loopback for one connection each, written in the test itself: a scripted
one that answers a request with bytes written by hand, and a hostile one that sends a stream
in pieces whatever qor asks. Each serves in a thread from construction on; `run_qor` runs qor
against it and then ends the stand-in."""
import os
import socket
import subprocess
import tempfile
import threading
import time

import harness
from wire import u32

# A sanitizer's shadow memory and quarantine are not the program's: its leak checks stand in.
MEASURE_RSS = not harness.EMULATOR and not os.environ.get("SANITIZER_PRELOAD")


class LoopbackAc:
    """A stand-in AC for one connection on loopback: `serve` (a subclass's) runs in a thread
    from construction on; `run_qor` runs qor against it and then ends the stand-in."""

    def __init__(self):
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(1)
        self.listener.settimeout(60)
        self.port = self.listener.getsockname()[1]
        self.thread = threading.Thread(target=self.serve, daemon=True)
        self.thread.start()

    def serve(self):
        """Accepts the one connection and hands it to `talk` (a subclass's)."""
        try:
            conn, _ = self.listener.accept()
        except OSError:
            return
        with conn:
            conn.settimeout(60)
            self.talk(conn)

    def run_qor(self, args, measure, timeout):
        """Runs qor; returns (the finished process, max RSS in KiB or None).

        GNU time measures the run natively: a peak taken by this test's own process
        (os.wait4 on a forked child) would count the interpreter the child started as."""
        cmd = harness.prog("qor") + [args[0], "--acserver", "127.0.0.1", "--acport",
                                     str(self.port)] + list(args[1:])
        with tempfile.NamedTemporaryFile("r") as rss_file:
            if measure:
                cmd = ["/usr/bin/time", "-o", rss_file.name, "-f", "%M"] + cmd
            r = subprocess.run(cmd, capture_output=True, timeout=timeout)
            rss = int(rss_file.read().split()[-1]) if measure else None
        self.thread.join(60)
        self.listener.close()
        return r, rss


class ScriptedAc(LoopbackAc):
    """Accepts one connection on loopback, sends the admission word and `reply` once the
    request has arrived, then closes (or waits for the closing byte when `linger`)."""

    def __init__(self, reply, request_len, linger=True):
        self.reply, self.request_len, self.linger = reply, request_len, linger
        self.received = b""
        super().__init__()

    def talk(self, conn):
        conn.sendall(u32(1))
        while len(self.received) < self.request_len:
            chunk = conn.recv(65536)
            if not chunk:
                return
            self.received += chunk
        try:
            conn.sendall(self.reply)
            while self.linger:
                chunk = conn.recv(65536)
                if not chunk:
                    break
                self.received += chunk
        except OSError:
            pass

    def qor(self, *args):
        """Runs qor; returns ((status, stdout, stderr), max RSS in KiB or None)."""
        r, rss = self.run_qor(args, measure=not harness.EMULATOR, timeout=120)
        return (r.returncode, r.stdout, r.stderr), rss


class HostileAc(LoopbackAc):
    """One connection on loopback: sends `stream` (the admission word first) in pieces of
    `chunk` bytes, then closes its side and reads whatever qor sends until qor closes."""

    def __init__(self, stream, chunk=0, pause=0.0):
        self.stream, self.chunk, self.pause = stream, chunk, pause
        super().__init__()

    def talk(self, conn):
        conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        try:
            step = self.chunk or max(1, len(self.stream))
            for i in range(0, len(self.stream), step):
                conn.sendall(self.stream[i:i + step])
                if self.pause:
                    time.sleep(self.pause)
            conn.shutdown(socket.SHUT_WR)
            while conn.recv(65536):
                pass
        except OSError:
            pass  # qor left before the reply ended

    def qor(self, args):
        """Runs qor; returns (status, stdout, stderr, max RSS in KiB or None)."""
        r, rss = self.run_qor(args, measure=MEASURE_RSS, timeout=60)
        return r.returncode, r.stdout, r.stderr, rss
