"""ac_sim parses every request code field by field and answers with the layouts qor reads."""
import socket
import struct
import unittest

from simctl import AcSim, mac_bytes
from wire import item as tlv

A, B = "00:11:22:33:44:55", "00:11:22:33:44:66"
MA, MB = mac_bytes(A), mac_bytes(B)
FLEET = """
unknown_result 6
bgscan_status 0,3
mem_file /tmp/mem.txt
cw_ver "v9"
max_wtps 64
wtp 00:11:22:33:44:55 output="hi" fwstep=1 cfg_msg="ok"
wtp 00:11:22:33:44:66 result=9 sh=12 fwstep=2
"""


def macs(*m):
    return struct.pack(">H", len(m)) + b"".join(m)


ITEMS = tlv(3, b"", bytes(20)) + tlv(7, b"\x01\x02", b"ab")
# code, body after the code byte, expected reply
CASES = [
    (1, struct.pack(">I", 63) + macs(MA), b"\x01"),
    (2, struct.pack(">HHII", 22, 2, 60, 1) + MA + MB, b"\x00\x09"),
    (3, MA + struct.pack(">H", len(ITEMS)) + ITEMS, b"\x00"),
    (3, MB + struct.pack(">H", 0), b"\x09"),
    (4, MB, b"\x09"),
    (5, struct.pack(">I", 6 + 8 + len(ITEMS) + 2) + macs(MA) + b"\x03" + struct.pack(">I", 5)
     + b"\x00" + ITEMS + b"\x00\x00", b"\x00\x02ok"),
    (5, struct.pack(">I", 12 + 8 + 2 + len(ITEMS) + 2) + macs(MA, MB) + b"\x02\0\0\0\0\x01"
     + b"\x00\x00" + ITEMS + b"\x00\x00", b"\x00\x02ok\x09\x00"),
    (6, struct.pack(">HBBIH", 14, 1, 1, 0, 1) + MA, b"\x00"),
    (7, b"", struct.pack(">H", 2) + b"v9" + struct.pack(">6I", 64, 2, 2, 0, 0, 0)),
    (8, b"", struct.pack(">H", 12) + b"/tmp/mem.txt"),
    (9, struct.pack(">I", 0xFFFFFFFF), b""),
    (10, struct.pack(">HB", 9, 1) + macs(MA), b"\x00"),
    (11, struct.pack(">HIBI", 9, 2, 1, 30), struct.pack(">I", 2) + b"\x00\x03"),
    (12, struct.pack(">HIBI", 9, 0, 0, 0), b""),
    (13, struct.pack(">HIBI", 9, 1, 1, 10), b""),
    (14, struct.pack(">HBB", 18, 0, 3) + macs(MB) + macs(MA), b"\x00"),
    (15, struct.pack(">II", 1, 1) + MA, b""),
    (16, struct.pack(">I", 0), b""),
    (17, struct.pack(">H", 12 + 3 + 2) + macs(MA, MB) + b"\x02ac", b"\x00\x09"),
    (18, struct.pack(">H", 12 + 9 + 2) + macs(MA, MB) + b"\x01" + struct.pack(">IH", 3, 2) + b"id",
     b"\x00\x00\x02hi\x0c"),
    (19, struct.pack(">H", 14) + macs(MA, MB), b"\x00\x09" + macs(MA) + macs(MB)),
    (19, struct.pack(">H", 2) + macs(), macs(MA) + macs(MB)),
]


def recv_exactly(sock, n):
    data = b""
    while len(data) < n:
        chunk = sock.recv(n - len(data))
        if not chunk:
            break
        data += chunk
    return data


class Requests(unittest.TestCase):
    def test_every_request_code(self):
        with AcSim(FLEET) as sim:
            for code, body, reply in CASES:
                with self.subTest(code=code):
                    with socket.create_connection(("127.0.0.1", sim.port)) as c:
                        self.assertEqual(recv_exactly(c, 4), b"\0\0\0\1")
                        c.sendall(bytes([code]) + body)
                        self.assertEqual(recv_exactly(c, len(reply)), reply)
                        c.sendall(b"\0")
                        c.shutdown(socket.SHUT_WR)
                        self.assertEqual(c.recv(1), b"")  # nothing more, then closed
                    block = sim.next_block()
                    self.assertEqual(block["recv"], bytes([code]) + body + b"\0")
                    self.assertEqual([n for n in block["notes"] if n.startswith("error")], [])

    def test_wrong_body_length_and_unknown_code_are_logged(self):
        with AcSim(FLEET) as sim:
            for data, note in ((struct.pack(">BHBBIH", 6, 15, 0, 0, 0, 1) + MA,
                                "error body length 15, layout gives 14"),
                               (b"\x14", "error unknown request code 20")):
                with socket.create_connection(("127.0.0.1", sim.port)) as c:
                    recv_exactly(c, 4)
                    c.sendall(data)
                    c.shutdown(socket.SHUT_WR)
                    while c.recv(64):
                        pass
                self.assertIn(note, sim.next_block()["notes"])


if __name__ == "__main__":
    unittest.main()
