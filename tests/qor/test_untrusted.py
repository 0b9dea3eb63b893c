"""What qor takes from outside and must not trust: texts the WTPs report about themselves
(through the AC) in the JSON and text outputs, the memory record file a peer on the AC's
port names, and list elements of configuration files that are not texts."""
import json
import os
import socket
import tempfile
import unittest

import harness
from simctl import SimTestCase
from standin_ac import ScriptedAc
from test_status_cmds import common
from wire import text, u8, u32

os.environ["TZ"] = "UTC0"  # for the qor runs: ctime texts in UTC

SEP = b"-------------------------------------\n"
M1 = "00:11:22:33:44:55"
NOBODY = 65534


def scripted(reply, request_len, *args):
    (status, out, err), _ = ScriptedAc(reply, request_len).qor(*args)
    return status, out, err


def member(out):
    """A JSON member as qor prints it, read as python reads a whole document."""
    return json.loads(b"{" + out + b"}")


class ForgedTexts(unittest.TestCase):
    """Texts holding line ends, tabs, other control bytes and bytes that are not UTF-8:
    JSON output still parses (each text reads back with U+FFFD for the bad bytes), and in
    the text forms every control byte shows as "?", so each record keeps its own lines."""

    FAKE_ROW = "\n00:00:00:00:00:01  10.0.0.1:1\tFAKE\ty  o  o  0\t5/0\t1.0\t0d:0h:0m:0s"
    TEXTS = dict(model=FAKE_ROW, sn=b"SN\xff\xfe", sw_ver="1.0\nWTP count\t9",
                 cw_ver="2.0\x1b[2J\x7f", name="x\nWTP count\t9\n")
    SHOWN = dict(model=b"?00:00:00:00:00:01  10.0.0.1:1?FAKE?y  o  o  0?5/0?1.0?0d:0h:0m:0s",
                 sn=b"SN\xff\xfe", sw_ver=b"1.0?WTP count?9", cw_ver=b"2.0?[2J?",
                 name=b"x?WTP count?9?")
    LIST_REQUEST_LEN = 7

    def wtps(self, *args):
        reply = u8(0) + common(1, "00:11:22:33:44:01", **self.TEXTS) + u8(0) + u8(1)
        return scripted(reply, self.LIST_REQUEST_LEN, "wtps", *args)

    def test_wtp_texts_in_every_output(self):
        s = self.SHOWN
        status, out, err = self.wtps("--breif")
        self.assertEqual((status, err), (0, b""))
        self.assertEqual(out, b"mac\t\t   address\t\tmodel\t\tmg ip fw ug\tstate\tversion\t\tuptime\n"
                         b"00:11:22:33:44:01  10.0.0.2:5246\t" + s["model"] + b"\ty  o  o  0\t5/0\t"
                         + s["sw_ver"] + b"\t0d:0h:1m:1s\n" + SEP + b"WTP count\t1\n")

        status, out, err = self.wtps()
        self.assertEqual((status, err), (0, b""))
        self.assertEqual(out, SEP + b"MAC\t\t00:11:22:33:44:01\nIP\t\t10.0.0.2:5246\nModel\t\t"
                         + s["model"] + b"\nSN\t\t" + s["sn"] + b"\nManaged\t\t1\n"
                         b"Unavailable FW\t0\nUpgrade Image\t0\nwtp type\t\t1\nImage Name\t\n"
                         b"Image Version\t\nUpgrade state\t0\nUnavailable IP\t0\nState\t\t5\n"
                         b"SubState\t0\nProgress\t0\nSw Ver\t\t" + s["sw_ver"] + b"\nCapwap Ver\t"
                         + s["cw_ver"] + b"\nName\t\t" + s["name"] + b"\nUptime\t\t0d:0h:1m:1s\n"
                         b"Join Time\t\nLast Active\t\nState Change\t\nMemory Usage\t500/1000\n"
                         + SEP + b"WTP count\t1\n")

        status, out, err = self.wtps("--json")
        self.assertEqual((status, err), (0, b""))
        record = member(out)["wtp_list"][0]
        self.assertEqual({k: record[k] for k in self.TEXTS},
                         dict(self.TEXTS, sn="SN\ufffd\ufffd"))
        # Each control byte leaves as its short form or as \u00XX.
        self.assertIn(b'"cw_ver":"2.0\\u001b[2J\x7f"', out)
        self.assertIn(b'"name":"x\\nWTP count\\t9\\n"', out)

    def test_ac_version_text(self):
        counters = u32(512) + u32(3) + u32(2) + u32(17) + u32(1) + u32(4)
        reply = text(b"2.1.0\nMax WTPs\t99999\xff\xfe") + counters
        self.assertEqual(scripted(reply, 1, "ac"),
                         (0, b"Capwap Ver\t2.1.0?Max WTPs?99999\xff\xfe\nMax WTPs\t512\n"
                             b"Managed WTPs\t3\nActive WTPs\t2\nTotal Stations\t17\n"
                             b"Redundant Mode\t4\nUpgrading WTPs\t1\n", b""))
        status, out, err = scripted(reply, 1, "ac", "--json")
        self.assertEqual((status, err), (0, b""))
        self.assertEqual(member(out), {"ac_info": {
            "cw_ver": "2.1.0\nMax WTPs\t99999\ufffd\ufffd", "max_wtps": 512, "managed_wtps": 3,
            "active_wtps": 2, "total_sta": 17, "redundant_mode": 4, "upg_wtps": 1}})


def peer_as_user(uid, path, ipv6):
    """A stand-in AC in a child process of user `uid` (on an IPv4 socket, or on an IPv6 one
    holding 127.0.0.1 as a mapped address): admits one connection and names `path` as the
    memory record file. Returns (pid, port)."""
    listener = socket.socket(socket.AF_INET6 if ipv6 else socket.AF_INET)
    if ipv6:
        listener.setsockopt(socket.IPPROTO_IPV6, socket.IPV6_V6ONLY, 0)
    listener.bind(("::ffff:127.0.0.1", 0) if ipv6 else ("127.0.0.1", 0))
    listener.listen(1)
    port = listener.getsockname()[1]
    pid = os.fork()
    if pid:
        listener.close()
        return pid, port
    try:  # the child: the listening socket becomes the other user's before it accepts
        os.setgroups([])
        os.setgid(uid)
        os.setuid(uid)
        listener.settimeout(60)
        conn, _ = listener.accept()
        conn.settimeout(60)
        conn.sendall(u32(1))
        conn.recv(1)
        conn.sendall(text(path.encode()))
        while conn.recv(65536):
            pass
    finally:
        os._exit(0)


class UnsafeRequests(SimTestCase):
    """A memory record file is removed only when it is a regular file with one link owned
    by the user of the AC's end of the connection; a list element that is not a text is
    refused with its list's message before anything is sent."""

    fleet = "wtp %s\n" % M1
    RECORDS = "a.c:10:100:1000\n"
    READ = b"a.c:10 | size 100 | count 1 | time Thu Jan  1 00:16:40 1970\nTotal 100 bytes, 1 entries\n"
    ZERO = b"Total 0 bytes, 0 entries\n"

    def mem(self, path, peer_uid, ipv6=False):
        if peer_uid == 0:  # this test's own process: the AC run as root
            return scripted(text(path.encode()), 1, "mem")
        pid, port = peer_as_user(peer_uid, path, ipv6)
        try:
            r = harness.run("qor", ["mem", "--acserver", "127.0.0.1", "--acport", str(port)])
        finally:
            os.waitpid(pid, 0)
        return r.returncode, r.stdout, r.stderr

    @unittest.skipUnless(os.geteuid() == 0, "needs root: files and peers of other users")
    def test_memory_file_of_another_user_or_with_other_links_stays(self):
        kept = "WARNING: memory record file '%s' left in place: %s.\n"
        with tempfile.TemporaryDirectory() as tmp:
            os.chmod(tmp, 0o755)

            def records(name, owner=0):
                path = os.path.join(tmp, name)
                with open(path, "w") as f:
                    f.write(self.RECORDS)
                os.chown(path, owner, owner)
                return path

            linked = records("linked")
            os.link(linked, os.path.join(tmp, "second-name"))
            link = os.path.join(tmp, "symlink")
            os.symlink(records("target"), link)
            root, nobody, nobody6 = (0, False), (NOBODY, False), (NOBODY, True)
            rows = [
                # path, the peer's user and socket, removed, stdout, reason kept
                (records("passwd", NOBODY), root, False, self.READ, "not owned by the AC's user"),
                (linked, root, False, self.READ, "it has more than one link"),
                (link, root, False, self.ZERO, "not a regular file"),
                (records("of-root"), root, True, self.READ, None),
                (records("root-for-nobody"), nobody, False, self.READ,
                 "not owned by the AC's user"),
                (records("nobody-for-nobody", NOBODY), nobody, True, self.READ, None),
                (records("root-for-nobody6"), nobody6, False, self.READ,
                 "not owned by the AC's user"),
                (records("nobody-for-nobody6", NOBODY), nobody6, True, self.READ, None),
                (records("x\nWARNING: y", NOBODY), root, False, self.READ,
                 "not owned by the AC's user"),
            ]
            for path, peer, removed, out, reason in rows:
                with self.subTest(path=path, peer=peer):
                    err = b"" if reason is None else (
                        kept % (path.replace("\n", "?"), reason)).encode()
                    self.assertEqual(self.mem(path, *peer), (0, out, err))
                    self.assertEqual(os.path.lexists(path), not removed)
            self.assertTrue(os.path.exists(os.path.join(tmp, "second-name")))
            self.assertTrue(os.path.exists(os.path.join(tmp, "target")))

    def test_list_elements_that_are_not_texts(self):
        acl = "wtp_cfg.radio[].wlan[].acl.mac[]"
        names = "wtp_cfg.ac_list[]"

        def wlans(*macs):
            return {"wtp_cfg": {"radio": [{"wlan": [{"acl": {"mac": m}} for m in macs]}]}}

        rows = [
            # document, --type, the list named in the message
            (wlans(["00:11:22:33:44:56", ["x"], "00:11:22:33:44:58"]), [], acl),
            (wlans(["00:11:22:33:44:56", {"m": "00:11:22:33:44:57"}]), [], acl),
            (wlans(["00:11:22:33:44:56", ["x"]], ["00:11:22:33:44:57"]), [], acl),
            ({"wtp_cfg": {"radio": [{"wlan": [{"l2macWlist": [["00:11:22:33:44:56"]]}]}]}}, [],
             "wtp_cfg.radio[].wlan[].l2macWlist[]"),
            ({"wtp_cfg": {"ac_list": ["ac1", ["x"], "ac3"]}}, [], names),
            ({"wtp_cfg": {"ac_list": ["ac1", ["x"], ["y"]]}}, [], names),
            ({"wtp_cfg": {"manage_mac_list": ["00:11:22:33:44:56", ["x"]]}}, ["--type", "1"],
             "wtp_cfg.manage_mac_list[]"),
        ]
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "cfg.json")
            for doc, extra, key in rows:
                with self.subTest(doc=doc, extra=extra):
                    with open(path, "w") as f:
                        json.dump(doc, f)
                    self.refused(["cfg", "--mac", M1, "--file", path] + extra,
                                 "ERROR: json config value is not matched for '%s'\n" % key)


if __name__ == "__main__":
    unittest.main()
