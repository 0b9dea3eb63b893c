"""ac_sim driven from the integration tests: fleet files, qor runs against it, wire log."""
import json
import os
import socket
import tempfile
import time
import unittest

import harness

SAMPLE_FLEET = os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../sim/fleet.json")


def talk(port, data, end=True):
    """Sends `data` to the simulator on 127.0.0.1:`port` on a connection of its own (and then
    ends the sending side when `end`); returns all it sent until it closed or reset."""
    out = b""
    with socket.create_connection(("127.0.0.1", port)) as c:
        try:
            c.sendall(data)
            if end:
                c.shutdown(socket.SHUT_WR)
            while chunk := c.recv(65536):
                out += chunk
        except (BrokenPipeError, ConnectionResetError):
            pass
    return out


class AcSim:
    """ac_sim on 127.0.0.1 with an ephemeral port, a fleet text and a hex wire log.

    `status`, when given, is the status fleet (WTP records and AC summary): a JSON text, or
    an object that is written as JSON; it is passed with --status."""

    def __init__(self, fleet="", args=(), status=None):
        self.tmp = tempfile.TemporaryDirectory()
        self.log = os.path.join(self.tmp.name, "wire.log")
        fleet_path = os.path.join(self.tmp.name, "fleet")
        with open(fleet_path, "w") as f:
            f.write(fleet)
        if status is not None:
            status_path = os.path.join(self.tmp.name, "status.json")
            with open(status_path, "w") as f:
                f.write(status if isinstance(status, str) else json.dumps(status))
            args = ["--status", status_path] + list(args)
        if harness.EMULATOR and "--conn-time" not in args:
            # Under an emulator a run takes many times as long as on the machine it was
            # built for: the connection's time limit is stretched alike.
            args = ["--conn-time", "600"] + list(args)
        self.server = harness.Server("ac_sim", ["--quiet", "--log", self.log, "--fleet",
                                                fleet_path] + list(args))
        self.seen = 0
        self.logged = []  # whole blocks read so far, and where the next one starts
        self.log_pos = 0

    def __enter__(self):
        self.server.start()
        self.port = self.server.port
        return self

    def __exit__(self, *exc):
        self.server.__exit__(*exc)
        self.tmp.cleanup()
        return False

    def qor(self, *args):
        """Runs qor with the command word first and the simulator's address right after it."""
        args = list(args)
        return harness.run("qor", args[:1] + ["--acserver", "127.0.0.1", "--acport",
                                              str(self.port)] + args[1:])

    def ask(self, request):
        """Sends one request (code byte and fields) and the closing byte on a connection of
        its own; returns everything the simulator sent after the admission word (the log
        block of the connection is then `last_block`)."""
        data = talk(self.port, request + b"\0")
        self.last_block = self.next_block()
        return data[4:]

    def blocks(self):
        """Every whole block logged so far; the log is read on from the last whole block."""
        try:
            with open(self.log, "rb") as f:
                f.seek(self.log_pos)
                data = f.read()
        except FileNotFoundError:
            return self.logged
        # The simulator may be writing a block at this moment (a long one in several
        # pieces): only whole blocks count.
        cut = data.rfind(b"\nend\n")
        if cut < 0:
            return self.logged
        self.log_pos += cut + 5
        text = data[:cut + 5].decode(errors="replace")
        out, cur = self.logged, {"notes": []}
        for line in text.splitlines():
            if line == "end":
                out.append(cur)
                cur = {"notes": []}
            elif line.startswith("recv "):
                cur["recv"] = bytes.fromhex(line[5:])
            elif line.startswith("sent "):
                cur["sent"] = bytes.fromhex(line[5:])
            else:
                cur["notes"].append(line)
        return out

    def next_block(self, timeout=20):
        """The log block of the next connection (waits until the simulator wrote it)."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            b = self.blocks()
            if len(b) > self.seen:
                self.seen += 1
                return b[self.seen - 1]
            time.sleep(0.01)
        raise AssertionError("ac_sim logged no connection: " + self.server.read_stderr())

    def no_new_block(self, settle=0.2):
        time.sleep(settle)
        return len(self.blocks()) == self.seen


class SimTestCase(unittest.TestCase):
    """One ac_sim per test class (its `fleet` text and `sim_args`); each qor run is one
    logged connection, checked in order."""
    fleet = ""
    sim_args = ()
    status = None

    @classmethod
    def setUpClass(cls):
        cls.sim = AcSim(cls.fleet, cls.sim_args, cls.status).__enter__()

    @classmethod
    def tearDownClass(cls):
        cls.sim.__exit__(None, None, None)

    def qor(self, *args):
        return self.sim.qor(*args)

    def exchange(self, args, recv_hex, sent_hex="", status=0, stdout=b"", stderr=""):
        """A run that reaches the AC: its status and output, the bytes each side sent."""
        r = self.qor(*args)
        if isinstance(stderr, bytes):
            stderr = stderr.decode()
        self.assertEqual((r.returncode, r.stdout, r.stderr.decode()), (status, stdout, stderr), args)
        block = self.sim.next_block()
        self.assertEqual(block["recv"].hex(), recv_hex.replace(" ", ""), args)
        self.assertEqual(block["sent"].hex(), "00000001" + sent_hex.replace(" ", ""), args)
        self.assertFalse([n for n in block["notes"] if n.startswith("error")], block["notes"])

    def refused(self, args, err):
        """An option error: the message, status 1, and only the closing byte on the wire."""
        r = self.qor(*args)
        self.assertEqual((r.returncode, r.stdout, r.stderr.decode()), (1, b"", err), args)
        self.assertEqual(self.sim.next_block()["recv"], b"\x00", args)


class FleetCase(unittest.TestCase):
    """A fresh ac_sim for every test, serving `status_args` (by default the sample status
    fleet, sim/fleet.json); qor runs against it and configuration files beside it."""
    status_args = ["--status", SAMPLE_FLEET]

    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.sim = AcSim("", self.status_args).__enter__()

    def tearDown(self):
        self.sim.__exit__(None, None, None)
        self.tmp.cleanup()

    def run_ok(self, *args, status=0, stderr=b""):
        r = self.sim.qor(*args)
        self.assertEqual((r.returncode, r.stderr), (status, stderr), args)
        return r.stdout

    def records(self, *extra):
        """The WTP records `wtps --json --password` prints, by MAC."""
        out = self.run_ok("wtps", "--json", "--password", *extra)
        return {w["mac"]: w for w in json.loads(b"{" + out + b"}")["wtp_list"]}

    def cfg_file(self, doc, name="cfg.json"):
        path = os.path.join(self.tmp.name, name)
        with open(path, "w") as f:
            json.dump(doc, f)
        return path


class ClosedPort:
    """A loopback port that is bound but not listening: connecting to it is refused."""

    def __enter__(self):
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.sock.bind(("127.0.0.1", 0))
        self.port = self.sock.getsockname()[1]
        return self

    def __exit__(self, *exc):
        self.sock.close()
        return False


def mac_bytes(text):
    return bytes(int(x, 16) for x in text.split(":"))


def distinct_macs(count, tag=0):
    """`count` (at most 65536) distinct individual MACs 02:TAG:..., short enough that ten
    thousand fit one argument."""
    return ["2:%x:%x:%x:%x:%x" % (tag, (i >> 12) & 15, (i >> 8) & 15, (i >> 4) & 15, i & 15)
            for i in range(count)]
