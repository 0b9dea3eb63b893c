"""Shared pieces of the tovik_ac integration tests: a reference packet builder with its own
XXTEA, the debug-log guard, helpers to run the client against mgmt_sim on loopback, and the
private /tmp that each test file runs in where it can."""
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "lib"))
import harness  # noqa: E402

# Every run names loopback as the server and lo as the interface.
BASE = ["-sa", "127.0.0.1", "-i", "lo"]
TCP_LOG = "/tmp/Tovik_tcp_debug.log"
UDP_LOG = "/tmp/Tovik_udp_debug.log"
HOST_LOG = "/tmp/Tovik.log"
LOGS = (TCP_LOG, UDP_LOG, HOST_LOG)

# Set in a test file run again in its own mount namespace (0 keeps it out of one).
NS_FLAG = "TOVIK_TEST_PRIVATE_TMP"
PRIVATE_TMP = os.environ.get(NS_FLAG) == "1"

KEY = (0x5E1B7A03, 0xC4D92F6A, 0x0B8E33D1, 0x76A1F4C8)
DELTA = 0x9E3779B9
M32 = 0xFFFFFFFF

# What lo gives: a zero hardware address and the loopback address.
OWN_MAC = b"00:00:00:00:00:00"
OWN_IP = bytes([127, 0, 0, 1])
WAN = "203.0.113.7"


def _mx(y, z, s, p, e, k):
    return ((((z >> 5) ^ (y << 2) & M32) + ((y >> 3) ^ (z << 4) & M32)) & M32) ^ \
        (((s ^ y) + (k[(p & 3) ^ e] ^ z)) & M32)


def xxtea(words, n, k=KEY):
    """Reference XXTEA on a list of 32-bit words: n > 1 enciphers, n < -1 deciphers."""
    v = list(words)
    if n > 1:
        rounds, s, z = 6 + 52 // n, 0, v[n - 1]
        for _ in range(rounds):
            s = (s + DELTA) & M32
            e = (s >> 2) & 3
            for p in range(n):
                y = v[(p + 1) % n]
                v[p] = (v[p] + _mx(y, z, s, p, e, k)) & M32
                z = v[p]
    elif n < -1:
        n = -n
        rounds = 6 + 52 // n
        s, y = (rounds * DELTA) & M32, v[0]
        for _ in range(rounds):
            e = (s >> 2) & 3
            for p in range(n - 1, -1, -1):
                z = v[p - 1] if p > 0 else v[n - 1]
                v[p] = (v[p] - _mx(y, z, s, p, e, k)) & M32
                y = v[p]
            s = (s - DELTA) & M32
    return v


def encipher_payload(payload):
    """The payload padded to whole words and enciphered (one word stays as it is)."""
    n = (len(payload) + 3) // 4
    padded = payload + bytes(4 * n - len(payload))
    words = list(struct.unpack(">%dI" % n, padded))
    return struct.pack(">%dI" % n, *xxtea(words, n))


def elem(etype, value):
    if isinstance(value, str):
        value = value.encode()
    return bytes([etype, len(value) & 0xFF]) + value


def packet(elements, encode=True, result=0, magic=b"123"):
    """A request as the client sends it: header, elements, enciphered when asked."""
    payload = b"".join(elements)
    header = magic + bytes([0, 3, 2, 1 if encode else 0, 0, 16, result]) + b"0\0\0\0" + \
        struct.pack(">H", len(payload))
    if encode and payload:
        payload = encipher_payload(payload)
    return header + payload


def head(username=b"", port=1234):
    """Elements every request starts with: own MAC, address, port and the user name."""
    return [elem(4, OWN_MAC), elem(5, OWN_IP), elem(6, struct.pack(">H", port)),
            elem(8, username)]


def tail(texts=("", "", "", "", "", "")):
    return [elem(18 + i, t) for i, t in enumerate(texts)]


def hexdump(data):
    """The client's dump format: 8-byte groups joined by '-', two blanks between groups."""
    out = []
    for i, b in enumerate(data):
        n = i + 1
        if n % 16 == 0:
            out.append("%02X\n" % b)
        elif n % 8 == 0:
            out.append("%02X  " % b)
        elif n == len(data):
            out.append("%02X" % b)
        else:
            out.append("%02X-" % b)
    return "".join(out)


def normalise(log):
    """Source line numbers are not part of what the log promises: mask them."""
    log = re.sub(r"\[Line:\d+\]", "[Line:N]", log)
    return re.sub(r"(ac_pkt_access)\[\d+\]", r"\1[N]", log)


def client(args, env=None, timeout=60):
    return harness.run("tovik_ac", BASE + list(args), env=env, timeout=timeout)


def read_requests(path):
    """The requests the management-server simulator has logged so far (whole lines only:
    it may be writing one at this moment)."""
    if not os.path.exists(path):
        return []
    with open(path) as f:
        text = f.read()
    return [json.loads(line) for line in text[:text.rfind("\n") + 1].splitlines() if line.strip()]


def wait_requests(path, count=1, timeout=20):
    """The logged requests once there are `count` of them, or what there is after `timeout`."""
    harness.wait_for(lambda: len(read_requests(path)) >= count, timeout)
    return read_requests(path)


class LogGuard:
    """Saves the client's fixed-path logs, lets a test start from none, restores them."""

    def __init__(self):
        self.saved = {}

    def save(self):
        for p in LOGS:
            self.saved[p] = open(p, "rb").read() if os.path.exists(p) else None

    def clear(self):
        for p in LOGS:
            if os.path.exists(p):
                os.remove(p)

    def restore(self):
        self.clear()
        for p, data in self.saved.items():
            if data is not None:
                with open(p, "wb") as f:
                    f.write(data)


def read_text(path):
    if not os.path.exists(path):
        return None
    with open(path, "rb") as f:
        return f.read().decode("latin-1")


def under_emulator():
    return bool(harness.EMULATOR)


def shim_env(test, **values):
    """The environment that preloads the failing-call stand-in (with `values` for it) into
    the client; skips `test` where it cannot be preloaded. A sanitizer runtime the build
    names (SANITIZER_PRELOAD) goes first: it must be the first library of the process."""
    shim = os.environ.get("TOVIK_FAILSHIM", "")
    if under_emulator() or not os.path.exists(shim):
        test.skipTest("needs the preload stand-in on a native build")
    runtime = os.environ.get("SANITIZER_PRELOAD", "")
    env = {"LD_PRELOAD": " ".join(p for p in (runtime, shim) if p)}
    env.update(values)
    return env


class ClientTest(unittest.TestCase):
    """Each test starts with no client logs; the originals come back at the end."""

    @classmethod
    def setUpClass(cls):
        cls.guard = LogGuard()
        cls.guard.save()

    @classmethod
    def tearDownClass(cls):
        cls.guard.restore()

    def setUp(self):
        self.guard.clear()

    def expect(self, proc, stdout, code=0):
        self.assertEqual(proc.stdout.decode("latin-1"), stdout)
        self.assertEqual(proc.stderr, b"")
        self.assertEqual(proc.returncode, code)


def lookup_may_leave_host():
    """True where a failing lookup inside an empty network namespace could still be carried
    out by some daemon over a local socket."""
    for sock in ("/run/nscd/socket", "/var/run/nscd/socket"):
        if os.path.exists(sock):
            return True
    try:
        with open("/etc/nsswitch.conf") as f:
            for line in f:
                words = line.split("#")[0].split()
                if words and words[0] == "hosts:":
                    return any(w not in ("files", "dns", "myhostname") for w in words[1:])
    except OSError:
        return True
    return False


def failing_lookup(test, args=()):
    """Runs the client with a server name that cannot resolve, in an empty network namespace
    so that no lookup leaves the machine; skips `test` where that is not possible."""
    unshare = shutil.which("unshare")
    if not unshare or lookup_may_leave_host():
        test.skipTest("no private network namespace for a failing lookup")
    if subprocess.run([unshare, "-n", "true"], capture_output=True).returncode != 0:
        test.skipTest("unshare -n not permitted here")
    return subprocess.run([unshare, "-n"] + harness.prog("tovik_ac") + BASE +
                          ["-sa", "nohost.invalid"] + list(args), capture_output=True, timeout=60)


def _uses_tmp():
    """True when the programs, the tests or the working folder lie under /tmp, which a private
    /tmp would hide."""
    paths = [harness.BIN_DIR, harness.SHELL_BIN_DIR, os.environ.get("TOVIK_FAILSHIM"),
             sys.argv[0], os.getcwd()] + sys.path
    tmp = os.path.realpath("/tmp")
    return any(os.path.realpath(os.path.abspath(p)).startswith(tmp + os.sep)
               for p in paths if p)


def main():
    """unittest.main, where possible (as root, with unshare) in a new mount namespace with a
    private /tmp: the client's logs have fixed paths there, so the test runs of another
    checkout cannot mix records into this one's, and links planted at those paths are seen by
    nothing outside."""
    if PRIVATE_TMP:
        subprocess.run(["mount", "-t", "tmpfs", "tmpfs", "/tmp"], check=True)
    elif os.environ.get(NS_FLAG) != "0" and os.geteuid() == 0 and shutil.which("unshare") \
            and not _uses_tmp():
        cmd = ["unshare", "--mount", "--propagation", "private"]
        probe = subprocess.run(cmd + ["mount", "-t", "tmpfs", "tmpfs", "/tmp"],
                               capture_output=True)
        if probe.returncode == 0:
            env = dict(os.environ, **{NS_FLAG: "1"})
            script = os.path.abspath(sys.argv[0])
            sys.exit(subprocess.run(cmd + [sys.executable, script] + sys.argv[1:],
                                    env=env).returncode)
    unittest.main(module="__main__")
