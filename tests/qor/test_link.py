"""The link to the AC: admission, refused connections, cut and reset replies, result codes."""
import socket
import time
import unittest

import harness
from simctl import AcSim, ClosedPort, mac_bytes

MAC = "00:1a:2b:3c:4d:5e"
BUSY = b"ERROR: System is busy and cannot handle your request now, please try again later.\n"
WRONG = b"ERROR: Something Wrong Happened While Connecting To The AC Server.\n"


def rst_request(*macs):
    body = bytes([0, 0, 0, 0, 0, 0]) + len(macs).to_bytes(2, "big") + b"".join(map(mac_bytes, macs))
    return bytes([6]) + (len(body)).to_bytes(2, "big") + body


class Admission(unittest.TestCase):
    def run_with(self, args, cmd=("rst", "--mac=" + MAC)):
        with AcSim("", args) as sim:
            r = sim.qor(*cmd)
            return r, sim.next_block()

    def test_busy_and_unexpected_words_end_the_run_before_the_handler(self):
        for word, err in ((0xFFFFFFFF, BUSY), (2, WRONG), (0, WRONG), (0x100, WRONG)):
            r, block = self.run_with(["--admission", str(word)])
            self.assertEqual((r.returncode, r.stdout, r.stderr), (1, b"", err), word)
            self.assertEqual(block["recv"], b"")  # not even the closing byte

    def test_busy_also_for_commands_that_send_nothing(self):
        r, _ = self.run_with(["--admission", "4294967295"], ("rst",))
        self.assertEqual((r.returncode, r.stderr), (1, BUSY))

    def test_admission_cut_short_fails_silently(self):
        for n in (0, 3):
            r, block = self.run_with(["--admission-bytes", str(n)])
            self.assertEqual((r.returncode, r.stdout, r.stderr), (1, b"", b""), n)
            self.assertEqual(block["recv"], b"")

    def test_ac_not_running(self):
        with ClosedPort() as p:
            r = harness.run("qor", ["rst", "--mac=" + MAC, "--acport", str(p.port)])
        self.assertEqual((r.returncode, r.stdout, r.stderr), (1, b"", b"ERROR: AC is not running.\n"))


class BrokenReplies(unittest.TestCase):
    def test_close_in_the_middle_of_a_reply(self):
        macs = ["00:11:22:33:44:55", "00:11:22:33:44:66", "00:11:22:33:44:77"]
        with AcSim("result 10\n" + "".join("wtp %s\n" % m for m in macs), ["--cut", "1"]) as sim:
            r = sim.qor("rst", "--mac=" + ",".join(macs))
            block = sim.next_block()
        # The first result is read and reported, then the reply ends: status 1, no message.
        self.assertEqual((r.returncode, r.stdout, r.stderr),
                         (1, b"", b"ERROR: Device 00:11:22:33:44:55 is busy.\n"))
        self.assertEqual(block["recv"], rst_request(*macs))
        self.assertEqual(block["sent"], bytes.fromhex("00000001" "0a"))

    def test_close_before_any_reply(self):
        with AcSim("wtp %s\n" % MAC, ["--cut", "0"]) as sim:
            r = sim.qor("sh", "--mac=" + MAC, "--cmd", "ls")
        self.assertEqual((r.returncode, r.stdout, r.stderr), (1, b"", b""))

    def test_reset_connection(self):
        # The read fails, and the closing byte then meets a dead connection: both are
        # reported and qor is not killed by a broken pipe.
        with AcSim("wtp %s\n" % MAC, ["--cut", "0", "--reset"]) as sim:
            r = sim.qor("rst", "--mac=" + MAC)
        self.assertEqual(r.returncode, 1)
        self.assertEqual(r.stderr,
                         b"ERROR: reading socket failed for reason: Connection reset by peer\n"
                         b"ERROR: writing socket failed for reason: Broken pipe\n")


class ResultCodes(unittest.TestCase):
    TEXTS = {
        0: "",
        1: "ERROR: Operation failed.\n",
        2: "ERROR: AC is out of memory.\n",
        3: "ERROR: Invalid argument.\n",
        4: "ERROR: Operation failed.\n",
        5: "ERROR: Device %s has no available image.\n",
        6: "ERROR: Device %s was not found.\n",
        7: "ERROR: Reach the maximum number of managed Devices.\n",
        8: "ERROR: Device %s is already managed.\n",
        9: "ERROR: Device %s is not managed.\n",
        10: "ERROR: Device %s is busy.\n",
        11: "ERROR: Device %s failed to do this operation.\n",
        12: "ERROR: No response from device %s.\n",
        13: "ERROR: Device %s doesn't support this operation.\n",
        14: "ERROR: Device %s denied this operation.\n",
        15: "ERROR: Device %s is out of memory.\n",
        16: "ERROR: Device %s got an invalid argument.\n",
        17: "ERROR: Device %s is not ready.\n",
        18: "ERROR: Could not support this operation with the firmware version of device %s.\n",
        19: "ERROR: Incorrect configuration for device %s.\n",
        20: "ERROR: Device %s has aborted the operation.\n",
        21: "ERROR: Operation failed.\n",
        128: "ERROR: Operation failed.\n",
        255: "ERROR: Operation failed.\n",
    }

    def test_every_code_with_its_exit_status(self):
        fleet = "".join("wtp 00:1a:2b:3c:4d:%02x result=%d\n" % (code, code) for code in self.TEXTS)
        with AcSim(fleet) as sim:
            for code, text in self.TEXTS.items():
                with self.subTest(code=code):
                    mac = "00:1a:2b:3c:4d:%02x" % code
                    for cmd in (["rst", "--mac=" + mac.upper()], ["cac", "--mac=" + mac, "--ip=ac"]):
                        r = sim.qor(*cmd)
                        expect = text.replace("%s", mac) if "%s" in text else text
                        self.assertEqual(r.stderr.decode(), expect)
                        self.assertEqual(r.returncode, 0 if code == 0 else 1)
                        self.assertEqual(r.stdout, b"")

    def test_every_result_is_read_and_reported(self):
        macs = ["00:1a:2b:3c:4d:01", "00:1a:2b:3c:4d:02", "00:1a:2b:3c:4d:03", "00:1a:2b:3c:4d:04"]
        fleet = "wtp %s\nwtp %s result=10\nwtp %s\nwtp %s result=99\n" % tuple(macs)
        with AcSim(fleet) as sim:
            r = sim.qor("rst", "--mac=" + ",".join(macs[:3]))
            self.assertEqual((r.returncode, r.stderr.decode()),
                             (1, "ERROR: Device 00:1a:2b:3c:4d:02 is busy.\n"))
            r = sim.qor("rst", "--mac=" + ",".join(reversed(macs)))
            self.assertEqual(r.stderr.decode(), "ERROR: Operation failed.\n"
                             "ERROR: Device 00:1a:2b:3c:4d:02 is busy.\n")

    def test_empty_mac_list_sends_count_zero_and_reads_nothing(self):
        # --result 10 would fail any WTP: with no MAC nothing is read.
        with AcSim("", ["--result", "10"]) as sim:
            for cmd, want in ((["rst", "--mac=,"], "06" "0008" "00" "00" "00000000" "0000"),
                              (["cac", "--mac=", "--ip", "ac1"], "11" "0006" "0000" "03" "616331"),
                              (["sh", "--mac=,,", "--cmd", "id"], "12" "000b" "0000" "00" "00000000"
                               "0002" "6964")):
                r = sim.qor(*cmd)
                self.assertEqual((r.returncode, r.stdout, r.stderr), (0, b"", b""), cmd)
                block = sim.next_block()
                self.assertEqual(block["recv"], bytes.fromhex(want + "00"))
                self.assertEqual(block["sent"], bytes.fromhex("00000001"))


class Simulator(unittest.TestCase):
    def test_sigterm_ends_it_cleanly_while_a_client_waits(self):
        with AcSim("") as sim:
            c = socket.create_connection(("127.0.0.1", sim.port))
            self.assertEqual(c.recv(4), b"\0\0\0\1")
            start = time.monotonic()
            sim.server.proc.terminate()
            self.assertEqual(sim.server.proc.wait(timeout=10), 0)
            self.assertLess(time.monotonic() - start, 5)
            c.close()

    def test_serves_connection_after_connection(self):
        with AcSim("", ["--result", "0"]) as sim:
            for _ in range(3):
                r = sim.qor("rst", "--mac=" + MAC)
                self.assertEqual((r.returncode, r.stderr), (0, b""))
            self.assertEqual(len([sim.next_block() for _ in range(3)]), 3)


if __name__ == "__main__":
    unittest.main()
