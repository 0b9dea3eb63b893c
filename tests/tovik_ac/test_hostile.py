"""tovik_ac against a hostile management server on loopback: replies cut at every byte,
sent one byte at a time, oversized, mis-sized or later than the time limit, over TCP and
UDP. Every run ends within its time limit with its status and message, in little memory."""
import os
import socket
import subprocess
import tempfile
import threading
import time

import harness
import tovik_common as tc

MAX_RSS_KIB = 16 * 1024
# A sanitizer's shadow memory and quarantine are not the program's: its leak checks stand in.
MEASURE_RSS = not harness.EMULATOR and not os.environ.get("SANITIZER_PRELOAD")
WAN_ELEMENT = tc.elem(5, bytes([203, 0, 113, 7]))
SUCCESS = "Success, 203.0.113.7\n"


def reply(elements=(WAN_ELEMENT,), encode=False, total=None):
    """A reply as the server sends it; `total` overrides its total_length field."""
    r = bytearray(tc.packet(list(elements), encode=encode))
    if total is not None:
        r[14:16] = total.to_bytes(2, "big")
    return bytes(r)


class HostileServer:
    """Answers one request on a loopback port, over TCP or UDP: `data` in pieces of `chunk`
    bytes `pause` seconds apart, after `delay` seconds; TCP then closes."""

    def __init__(self, proto, data, chunk=0, pause=0.0, delay=0.0):
        self.proto, self.data, self.chunk, self.pause, self.delay = proto, data, chunk, pause, delay
        kind = socket.SOCK_STREAM if proto == "tcp" else socket.SOCK_DGRAM
        self.sock = socket.socket(socket.AF_INET, kind)
        self.sock.bind(("127.0.0.1", 0))
        self.sock.settimeout(30)
        if proto == "tcp":
            self.sock.listen(1)
        self.port = self.sock.getsockname()[1]
        self.thread = threading.Thread(target=self.serve, daemon=True)
        self.thread.start()

    def serve(self):
        try:
            if self.proto == "udp":
                _, peer = self.sock.recvfrom(65536)
                time.sleep(self.delay)
                self.sock.sendto(self.data, peer)
                return
            conn, _ = self.sock.accept()
            with conn:
                conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
                conn.recv(65536)
                time.sleep(self.delay)
                step = self.chunk or max(1, len(self.data))
                for i in range(0, len(self.data), step):
                    conn.sendall(self.data[i:i + step])
                    time.sleep(self.pause)
                conn.shutdown(socket.SHUT_WR)
                conn.settimeout(5)
                while conn.recv(65536):
                    pass
        except OSError:
            pass  # the client left first

    def client(self, args=()):
        """Runs the client; returns (status, stdout, stderr, seconds, max RSS in KiB or None)."""
        cmd = harness.prog("tovik_ac") + tc.BASE + ["-sp", str(self.port), "-p", self.proto] \
            + list(args)
        with tempfile.NamedTemporaryFile("r") as rss_file:
            if MEASURE_RSS:
                cmd = ["/usr/bin/time", "-o", rss_file.name, "-f", "%M"] + cmd
            start = time.monotonic()
            r = subprocess.run(cmd, capture_output=True, timeout=60)
            took = time.monotonic() - start
            rss = int(rss_file.read().split()[-1]) if MEASURE_RSS else None
        self.thread.join(30)
        self.sock.close()
        return r.returncode, r.stdout.decode("latin-1"), r.stderr, took, rss


class Hostile(tc.ClientTest):
    def run_client(self, proto, data, args=(), **kw):
        status, out, err, took, rss = HostileServer(proto, data, **kw).client(args)
        what = (proto, data.hex(), kw)
        self.assertEqual((status, err), (0, b""), what)
        if rss is not None:
            self.assertLess(rss, MAX_RSS_KIB, what)
        return out, took

    def expect_out(self, proto, data, out, args=(), **kw):
        self.assertEqual(self.run_client(proto, data, args, **kw)[0], out, (proto, data.hex(), kw))


class CutAndTrickled(Hostile):
    def test_plain_reply_closed_at_every_offset(self):
        whole = reply()
        for cut in range(len(whole) + 1):
            if cut == 0:
                out = "[ERR] Recv Timeout\n"  # nothing read at all
            elif cut < 3:
                out = "[ERR] Wrong Magic Number\n"  # the missing magic bytes read as zeros
            elif cut < len(whole):
                out = ""  # short of the header or inside the element: no success
            else:
                out = SUCCESS
            self.expect_out("tcp", whole[:cut], out)

    def test_enciphered_reply_closed_at_every_offset(self):
        # Deciphering a cut payload gives unforeseeable bytes: one line at most, never more.
        whole = reply(encode=True)
        for cut in range(len(whole)):
            out, _ = self.run_client("tcp", whole[:cut])
            self.assertLessEqual(out.count("\n"), 1, (cut, out))
            self.assertNotEqual(out, SUCCESS, cut)
        self.expect_out("tcp", whole, SUCCESS)

    def test_one_byte_at_a_time(self):
        for encode in (False, True):
            self.expect_out("tcp", reply(encode=encode), SUCCESS, ["-t", "5"], chunk=1, pause=0.02)

    def test_trickle_slower_than_the_time_limit(self):
        # Two bytes a second: the limit, counted from the first wait, ends the reading.
        out, took = self.run_client("tcp", reply(), ["-t", "1"], chunk=1, pause=0.5)
        self.assertIn(out, ("", "[ERR] Wrong Magic Number\n"))
        self.assertLess(took, 4)


class OversizedMisSizedLate(Hostile):
    def test_oversized_replies(self):
        # Past the 512-byte buffer nothing is read; what fits is walked.
        for proto in ("tcp", "udp"):
            self.expect_out(proto, reply() + b"\xee" * (64 << 10 if proto == "tcp" else 4000),
                            SUCCESS)
            # A total_length of 65535 over 4000 bytes of empty elements: the walk stops at
            # the buffer's end, short of what was announced.
            self.expect_out(proto, reply([b"\x01\x00"] * 2000, total=0xFFFF), "")

    def test_mis_sized_replies(self):
        for proto in ("tcp", "udp"):
            # total_length short of the elements: the walk ends there.
            self.expect_out(proto, reply([WAN_ELEMENT, b"\x07\xff"], total=6), SUCCESS)
            self.expect_out(proto, reply(total=0), "Success, 192.168.0.3\n")
            # An element longer than the bytes that follow it.
            self.expect_out(proto, reply([b"\x05\xc8" + bytes(10)], total=202), "")
            # Header alone where 300 bytes are announced.
            self.expect_out(proto, reply([], total=300), "")

    def test_replies_after_the_time_limit(self):
        for proto in ("tcp", "udp"):
            out, took = self.run_client(proto, reply(), ["-t", "1"], delay=2)
            self.assertEqual(out, "[ERR] Recv Timeout\n", proto)
            self.assertLess(took, 2, proto)


if __name__ == "__main__":
    tc.main()
