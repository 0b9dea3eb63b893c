// AC link: byte helpers over a socket pair, request framing, TLV lists, result texts,
// and what happens when memory runs out.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "aclink.h"
#include "alloc_hook.h"
#include "ops.h"

namespace {

using bytes = std::vector<uint8_t>;

// A connected pair: `ours` is qor's end, `peer` plays the AC.
struct sock_pair {
    int ours = -1, peer = -1;
    sock_pair() {
        int fds[2];
        if (socketpair(AF_UNIX, SOCK_STREAM, 0, fds) == 0) {
            ours = fds[0];
            peer = fds[1];
        }
    }
    ~sock_pair() {
        if (ours >= 0) close(ours);
        if (peer >= 0) close(peer);
    }
    void close_peer() {
        close(peer);
        peer = -1;
    }
    void peer_send(const bytes &b) const { ASSERT_EQ(ssize_t(b.size()), write(peer, b.data(), b.size())); }
    // Everything qor wrote so far (our end is shut for writing first).
    bytes peer_drain() const {
        shutdown(ours, SHUT_WR);
        bytes out;
        uint8_t buf[4096];
        ssize_t n;
        while ((n = read(peer, buf, sizeof buf)) > 0) out.insert(out.end(), buf, buf + n);
        return out;
    }
};

bytes tlv_wire(const tlv_list &list) {
    wire_buf w;
    tlv_write(w, list);
    return w.data();
}

TEST(Tlv, TotalsAndWireForm) {
    tlv_list list;
    EXPECT_EQ(0u, list.total);
    uint8_t value[20];
    for (int i = 0; i < 20; ++i) value[i] = static_cast<uint8_t>(0xA0 + i);
    ASSERT_EQ(0, tlv_add(list, 3, 0, nullptr, 20, value));
    EXPECT_EQ(26u, list.total);
    bytes want = {0x00, 0x03, 0x00, 0x00, 0x00, 0x14};
    want.insert(want.end(), value, value + 20);
    EXPECT_EQ(want, tlv_wire(list));

    tlv_list_free(list);
    EXPECT_EQ(0u, list.total);
    EXPECT_TRUE(list.items.empty());
    EXPECT_TRUE(tlv_wire(list).empty());

    for (int i = 0; i < 3; ++i) ASSERT_EQ(0, tlv_add_u32(list, 7, 0, nullptr, 0x01020304u + i));
    EXPECT_EQ(30u, list.total);
    tlv_list_free(list);
    EXPECT_EQ(0u, list.total);
}

TEST(Tlv, VariantsKeysAndOwnedCopies) {
    tlv_list list;
    uint8_t key[2] = {1, 4};
    char text[] = "ssid";
    ASSERT_EQ(0, tlv_add_u16(list, 0x1234, 2, key, 0xABCDEF));
    ASSERT_EQ(0, tlv_add_str(list, 9, 1, key, text));
    ASSERT_EQ(0, tlv_add_u32(list, 0xFFFF, 0, nullptr, 0xDEADBEEF));
    ASSERT_EQ(0, tlv_add(list, 2, 0, nullptr, 0, nullptr));
    key[0] = 99;  // the list holds its own copies
    text[0] = 'X';
    EXPECT_EQ((6u + 2 + 2) + (6 + 1 + 4) + (6 + 4) + 6, list.total);
    bytes want = {0x12, 0x34, 0x00, 0x02, 1,    4,    0x00, 0x02, 0xCD, 0xEF,      // low 16 bits
                  0x00, 0x09, 0x00, 0x01, 1,    0x00, 0x04, 's',  's',  'i',  'd', // no terminator
                  0xFF, 0xFF, 0x00, 0x00, 0x00, 0x04, 0xDE, 0xAD, 0xBE, 0xEF,
                  0x00, 0x02, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(want, tlv_wire(list));
}

TEST(Tlv, RefusalsLeaveTheListUnchanged) {
    tlv_list list;
    ASSERT_EQ(0, tlv_add_u32(list, 1, 0, nullptr, 5));
    std::vector<uint8_t> big(0x10000, 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(1, tlv_add(list, 1, 0, nullptr, 0x10000, big.data()));
    EXPECT_EQ(1, tlv_add(list, 0x10000, 0, nullptr, 1, big.data()));
    EXPECT_EQ("ERROR: TLV item too long.\nERROR: TLV item too long.\n",
              testing::internal::GetCapturedStderr());
    EXPECT_EQ(1u, list.items.size());
    EXPECT_EQ(10u, list.total);

    testing::internal::CaptureStderr();
    {
        failing_allocations oom(1000);
        EXPECT_EQ(1, tlv_add(list, 1, 0, nullptr, 2000, big.data()));
        EXPECT_EQ(1, tlv_add(list, 1, 1500, big.data(), 1, big.data()));
    }
    EXPECT_EQ("ERROR: Out of memory\nERROR: Out of memory\n", testing::internal::GetCapturedStderr());
    EXPECT_EQ(1u, list.items.size());
    EXPECT_EQ(10u, list.total);
}

TEST(Link, SendAndReceiveWholeBuffers) {
    sock_pair sp;
    ASSERT_GE(sp.ours, 0);
    EXPECT_EQ(0, ac_send_all(sp.ours, "x", 0));
    uint8_t buf[8];
    EXPECT_EQ(0, ac_recv_all(sp.ours, buf, 0));
    EXPECT_EQ(5, ac_send_all(sp.ours, "hello", 5));
    sp.peer_send({0xFF, 0xFF, 0xFF, 0xFE, 7, 8});
    uint32_t v = 0;
    EXPECT_EQ(4, ac_recv_u32(sp.ours, &v));
    EXPECT_EQ(0xFFFFFFFEu, v);
    ASSERT_EQ(5, read(sp.peer, buf, 5));
    sp.close_peer();
    // The peer closed after two more bytes: the count so far comes back.
    EXPECT_EQ(2, ac_recv_all(sp.ours, buf, 8));
    EXPECT_EQ(7, buf[0]);
    EXPECT_EQ(0, ac_recv_u32(sp.ours, &v));
}

TEST(Link, FailedTransfersPrintTheSystemsReason) {
    sock_pair sp;
    sp.close_peer();
    // Without MSG_NOSIGNAL this would kill the test program with SIGPIPE.
    EXPECT_EQ(-1, ac_send_all(sp.ours, "x", 1));
    testing::internal::CaptureStderr();
    EXPECT_EQ(1, send_bytes(sp.ours, "\0\0\0\1", 4));
    EXPECT_EQ("ERROR: writing socket failed for reason: Broken pipe\n",
              testing::internal::GetCapturedStderr());

    int p[2];
    ASSERT_EQ(0, pipe(p));
    uint8_t b;
    testing::internal::CaptureStderr();
    {
        reply_reader in(p[0]);
        EXPECT_EQ(1, recv_u8(in, &b));
    }
    EXPECT_EQ("ERROR: reading socket failed for reason: Socket operation on non-socket\n",
              testing::internal::GetCapturedStderr());
    close(p[0]);
    close(p[1]);

    // A short read (peer closed) fails without a message.
    sock_pair sp2;
    sp2.peer_send({0x12});
    sp2.close_peer();
    uint16_t v16;
    testing::internal::CaptureStderr();
    reply_reader in2(sp2.ours);
    EXPECT_EQ(1, recv_u16(in2, &v16));
    EXPECT_EQ("", testing::internal::GetCapturedStderr());
}

// ---- reply reader ----------------------------------------------------------------------

// A reader over `b`, delivered `piece` bytes at a time.
struct mem_reply {
    bytes data;
    memory_source src;
    reply_reader in;
    explicit mem_reply(bytes b, size_t piece = static_cast<size_t>(-1))
        : data(std::move(b)), src(data.data(), data.size(), piece), in(src) {}
};

TEST(ReplyReader, FieldsSplitAcrossArrivals) {
    const bytes reply = {0x01, 0x02, 0x03, 0x04, 0xAB, 0xCD, 0x07, 0x00, 0x03, 'a', 'b', 'c',
                         0xC0, 0xA8, 0x01, 0x02, 0, 1, 2, 3, 4, 5, 0xFF, 0xFF, 0xFF, 0xB2};
    for (size_t piece : {1, 2, 3, 5, 7, 64}) {
        mem_reply m(reply, piece);
        uint32_t v32 = 0;
        uint16_t v16 = 0;
        uint8_t v8 = 0;
        std::string text;
        bool present = false;
        EXPECT_EQ(0, recv_u32(m.in, &v32)) << piece;
        EXPECT_EQ(0, recv_u16(m.in, &v16));
        EXPECT_EQ(0, recv_u8(m.in, &v8));
        EXPECT_EQ(0, recv_text16(m.in, text, &present));
        uint32_t addr = m.in.addr();
        mac_addr mac;
        m.in.mac(mac);
        EXPECT_EQ(-78, m.in.s32());
        EXPECT_FALSE(m.in.failed());
        EXPECT_EQ(0x01020304u, v32);
        EXPECT_EQ(0xABCD, v16);
        EXPECT_EQ(7, v8);
        EXPECT_TRUE(present);
        EXPECT_EQ("abc", text);
        EXPECT_EQ(0, memcmp(&addr, "\xC0\xA8\x01\x02", 4));  // kept in network order
        EXPECT_EQ((mac_addr{0, 1, 2, 3, 4, 5}), mac);
        EXPECT_EQ(1, recv_u8(m.in, &v8));  // the end of the stream
    }
}

TEST(ReplyReader, FailureIsStickyAndAShortStreamIsSilent) {
    mem_reply m({0x00, 0x00, 0x00, 0x01, 0x12, 0x34, 0x0A, 0x56, 0x78, 0x9A});
    uint32_t v32 = 0;
    uint16_t v16 = 0;
    uint8_t v8 = 0;
    testing::internal::CaptureStderr();
    EXPECT_EQ(0, recv_u32(m.in, &v32));
    EXPECT_EQ(0, recv_u16(m.in, &v16));
    EXPECT_EQ(0, recv_u8(m.in, &v8));
    EXPECT_EQ(10, v8);
    EXPECT_EQ(1, recv_u32(m.in, &v32));  // three bytes, then the AC closed: no message
    EXPECT_EQ(0u, v32);
    EXPECT_EQ(1, recv_u8(m.in, &v8));  // nothing more after a failure
    EXPECT_EQ(0, v8);
    mac_addr mac{1, 1, 1, 1, 1, 1};
    m.in.mac(mac);
    EXPECT_EQ(mac_addr{}, mac);
    uint8_t buf[3] = {9, 9, 9};
    EXPECT_EQ(1, recv_bytes(m.in, buf, 3));
    EXPECT_EQ((bytes{0, 0, 0}), bytes(buf, buf + 3));
    EXPECT_EQ("", testing::internal::GetCapturedStderr());
    EXPECT_TRUE(m.in.failed());
    EXPECT_EQ(0x1234, v16);
}

TEST(ReplyReader, AFailingReadAfterHeldBytesIsReported) {
    sock_pair sp;
    timeval limit{0, 50 * 1000};
    ASSERT_EQ(0, setsockopt(sp.ours, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit));
    sp.peer_send({0x00, 0x05, 0x01, 0x02});
    reply_reader in(sp.ours);
    uint16_t len = 0;
    ASSERT_EQ(0, recv_u16(in, &len));
    uint8_t text[5];
    testing::internal::CaptureStderr();
    EXPECT_EQ(1, recv_bytes(in, text, len));  // two of five, then the read fails
    EXPECT_EQ(1, recv_bytes(in, text, 1));    // reported once
    EXPECT_EQ("ERROR: reading socket failed for reason: Resource temporarily unavailable\n",
              testing::internal::GetCapturedStderr());
}

TEST(ReplyReader, NothingIsTakenAheadOfTheAdmissionWord) {
    // The admission word and a reply arrive together: the word takes its four bytes only,
    // and the request's reader gets the rest.
    sock_pair sp;
    sp.peer_send({0, 0, 0, 1, 0x0A, 0x0B});
    sp.close_peer();
    uint32_t word = 0;
    ASSERT_EQ(4, ac_recv_u32(sp.ours, &word));
    EXPECT_EQ(1u, word);
    reply_reader in(sp.ours);
    uint16_t v16 = 0;
    EXPECT_EQ(0, recv_u16(in, &v16));
    EXPECT_EQ(0x0A0B, v16);
}

TEST(ReplyReader, ReadsLargerThanItHolds) {
    // A 2-byte field, 300000 bytes, a 4-byte field, a text of 65535 bytes, a skipped text
    // and 200000 skipped bytes: more than the reader (and the socket) holds at once.
    bytes reply = {0x04, 0x93};
    for (size_t i = 0; i < 300000; ++i) reply.push_back(static_cast<uint8_t>(i * 7 + (i >> 9)));
    for (uint8_t b : {0xDE, 0xAD, 0xBE, 0xEF, 0xFF, 0xFF}) reply.push_back(b);
    reply.insert(reply.end(), 0xFFFF, 'x');
    for (uint8_t b : bytes{0x00, 0x03, 'a', 'b', 'c'}) reply.push_back(b);
    reply.insert(reply.end(), 200000, 0x55);
    reply.push_back(0x42);
    auto check = [&](reply_reader &in) {
        uint16_t head = 0;
        uint32_t tail = 0;
        bytes big(300000);
        std::string text;
        EXPECT_EQ(0, recv_u16(in, &head));
        EXPECT_EQ(0, recv_bytes(in, big.data(), big.size()));
        EXPECT_EQ(0, recv_u32(in, &tail));
        in.text(text);
        in.skip_text();
        in.skip(200000);
        EXPECT_EQ(0x42, in.u8());
        EXPECT_FALSE(in.failed());
        EXPECT_EQ(0x0493, head);
        EXPECT_TRUE(std::equal(big.begin(), big.end(), reply.begin() + 2));
        EXPECT_EQ(0xDEADBEEFu, tail);
        EXPECT_EQ(std::string(0xFFFF, 'x'), text);
    };
    for (size_t piece : {size_t{70000}, size_t{4096}, size_t{1} << 30}) {
        mem_reply m(reply, piece);
        check(m.in);
    }
    sock_pair sp;
    std::thread ac([&] {
        size_t off = 0;
        while (off < reply.size()) {
            ssize_t n = write(sp.peer, reply.data() + off, std::min<size_t>(70000, reply.size() - off));
            ASSERT_GT(n, 0);
            off += static_cast<size_t>(n);
        }
    });
    reply_reader in(sp.ours);
    check(in);
    ac.join();
}

// A source laid over the socket, as the bench programs lay theirs: it counts the calls.
struct counting_layer : byte_source {
    socket_source inner{-1};
    int calls = 0;
    ssize_t read(uint8_t *buf, size_t want, size_t room) override {
        ++calls;
        return inner.read(buf, want, room);
    }
};
counting_layer layer;

TEST(ReplyReader, BenchLayersStandForTheSocket) {
    sock_pair sp;
    sp.peer_send({0, 0, 0, 1, 0, 2, 'o', 'k'});
    ac_source_layer = [](int sock) -> byte_source * {
        layer.inner = socket_source(sock);
        return &layer;
    };
    uint32_t word = 0;
    EXPECT_EQ(4, ac_recv_u32(sp.ours, &word));
    reply_reader in(sp.ours);
    std::string text;
    in.text(text);
    ac_source_layer = nullptr;
    EXPECT_EQ("ok", text);
    EXPECT_EQ(2, layer.calls);
}

// While set, socket() fails as in a process out of descriptors. Taking every descriptor
// away (a zero RLIMIT_NOFILE) would also starve the test framework and a sanitizer runtime,
// which need descriptors of their own to report.
bool sockets_exhausted = false;

extern "C" int socket(int domain, int type, int protocol) {
    if (sockets_exhausted) {
        errno = EMFILE;
        return -1;
    }
    return static_cast<int>(syscall(SYS_socket, domain, type, protocol));
}

// Connects with no descriptor left to make the socket from.
void connect_without_descriptors() {
    sockets_exhausted = true;
    ac_connect("127.0.0.1", 1);
}

TEST(LinkDeathTest, NoDescriptorLeftForTheSocket) {
    EXPECT_EXIT(connect_without_descriptors(), testing::ExitedWithCode(1), "^ERROR: create socket failed\\.\n$");
}

TEST(Link, DisconnectSendsOneClosingByte) {
    sock_pair sp;
    int ours = sp.ours;
    sp.ours = -1;  // ac_disconnect closes it
    testing::internal::CaptureStderr();
    ac_disconnect(ours);
    EXPECT_EQ("", testing::internal::GetCapturedStderr());
    bytes got;
    uint8_t buf[16];
    ssize_t n;
    while ((n = read(sp.peer, buf, sizeof buf)) > 0) got.insert(got.end(), buf, buf + n);
    EXPECT_EQ(bytes{0}, got);
}

TEST(Link, DisconnectReportsSendAndCloseFailures) {
    testing::internal::CaptureStderr();
    ac_disconnect(-1);  // not a descriptor
    EXPECT_EQ(
        "ERROR: writing socket failed for reason: Bad file descriptor\n"
        "ERROR: Bad file descriptor\n",
        testing::internal::GetCapturedStderr());
}

TEST(Framing, WireBufferIsBigEndianAndRequestsGoOutWhole) {
    wire_buf w;
    w.u8(6);
    w.u16(0x000E);
    w.u32(0x01020304);
    w.macs({mac_addr{0, 0x11, 0x22, 0x33, 0x44, 0x55}});
    sock_pair sp;
    ASSERT_EQ(0, send_request(sp.ours, w));
    EXPECT_EQ((bytes{6, 0, 0x0E, 1, 2, 3, 4, 0, 0x11, 0x22, 0x33, 0x44, 0x55}), sp.peer_drain());
}

TEST(Framing, RequestThatCannotBeAssembledIsNotSent) {
    wire_buf w;
    w.u8(1);
    std::vector<uint8_t> big(4000, 0);
    {
        failing_allocations oom(2000);
        w.bytes(big.data(), big.size());
    }
    EXPECT_TRUE(w.failed());
    sock_pair sp;
    testing::internal::CaptureStderr();
    EXPECT_EQ(1, send_request(sp.ours, w));
    EXPECT_EQ("ERROR: Out of memory\n", testing::internal::GetCapturedStderr());
    EXPECT_TRUE(sp.peer_drain().empty());
}

TEST(Framing, ResultLoopReadsEveryResult) {
    std::vector<mac_addr> macs = {mac_addr{0, 1, 1, 1, 1, 1}, mac_addr{0, 2, 2, 2, 2, 0xAB},
                                  mac_addr{0, 3, 3, 3, 3, 3}};
    mem_reply m({0, 10, 0, 0, 12, 0, 0});
    testing::internal::CaptureStderr();
    EXPECT_EQ(1, recv_results(m.in, macs));
    EXPECT_EQ("ERROR: Device 00:02:02:02:02:ab is busy.\n", testing::internal::GetCapturedStderr());
    // Reported but not counted (firmware-list style).
    testing::internal::CaptureStderr();
    EXPECT_EQ(0, recv_results(m.in, macs, false));
    EXPECT_EQ("ERROR: No response from device 00:02:02:02:02:ab.\n",
              testing::internal::GetCapturedStderr());
    // An early close ends the loop without a message.
    testing::internal::CaptureStderr();
    EXPECT_EQ(1, recv_results(m.in, macs));
    EXPECT_EQ("", testing::internal::GetCapturedStderr());
    mem_reply none({});
    EXPECT_EQ(0, recv_results(none.in, {}));  // nothing to read for no MACs
}

TEST(Framing, LengthPrefixedTexts) {
    mem_reply m({0, 0, 0, 3, 'a', 'b', 'c', 0, 5, 'x'});
    std::string t = "old";
    bool present = true;
    ASSERT_EQ(0, recv_text16(m.in, t, &present));
    EXPECT_FALSE(present);
    EXPECT_EQ("", t);
    ASSERT_EQ(0, recv_text16(m.in, t, &present));
    EXPECT_TRUE(present);
    EXPECT_EQ("abc", t);
    EXPECT_EQ('\0', t.c_str()[3]);
    EXPECT_EQ(1, recv_text16(m.in, t, &present));  // 5 announced, 1 sent
    EXPECT_FALSE(present);
}

TEST(Framing, TextBufferThatCannotBeAllocated) {
    mem_reply m({0x13, 0x88});  // 5000 bytes announced, none sent: the room comes first
    std::string t;
    testing::internal::CaptureStderr();
    {
        failing_allocations oom(4096);
        EXPECT_EQ(1, recv_text16(m.in, t, nullptr));
    }
    EXPECT_EQ("ERROR: Out of memory\n", testing::internal::GetCapturedStderr());
}

TEST(ShellRequest, OutputBufferThatCannotBeAllocated) {
    sock_pair sp;
    std::vector<mac_addr> macs = {mac_addr{0, 0x11, 0x22, 0x33, 0x44, 0x55}};
    sp.peer_send({0, 0x13, 0x88});
    std::vector<std::string> out;
    std::vector<bool> present;
    testing::internal::CaptureStderr();
    {
        failing_allocations oom(4096);
        EXPECT_EQ(1, request_shell(sp.ours, macs, 0, 0, "ls", out, present));
    }
    EXPECT_EQ("ERROR: Out of memory.\n", testing::internal::GetCapturedStderr());
}

TEST(ShellRequest, NoRoomForTheOutputSlots) {
    sock_pair sp;
    std::vector<mac_addr> macs(100, mac_addr{0, 0x11, 0x22, 0x33, 0x44, 0x55});
    std::vector<std::string> out;
    std::vector<bool> present;
    testing::internal::CaptureStderr();
    {
        failing_allocations oom(100 * sizeof(std::string));
        EXPECT_EQ(1, request_shell(sp.ours, macs, 0, 0, "ls", out, present));
    }
    EXPECT_EQ("ERROR: Out of memory\n", testing::internal::GetCapturedStderr());
    EXPECT_TRUE(sp.peer_drain().empty());  // nothing was sent
}

TEST(Results, EveryCodeInTheAcsWords) {
    const uint8_t m[6] = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e};
    const char *dev = "00:1a:2b:3c:4d:5e";
    struct {
        int code;
        std::string text;
    } cases[] = {
        {0, ""},
        {1, "ERROR: Operation failed.\n"},
        {2, "ERROR: AC is out of memory.\n"},
        {3, "ERROR: Invalid argument.\n"},
        {4, "ERROR: Operation failed.\n"},
        {5, "ERROR: Device " + std::string(dev) + " has no available image.\n"},
        {6, "ERROR: Device " + std::string(dev) + " was not found.\n"},
        {7, "ERROR: Reach the maximum number of managed Devices.\n"},
        {8, "ERROR: Device " + std::string(dev) + " is already managed.\n"},
        {9, "ERROR: Device " + std::string(dev) + " is not managed.\n"},
        {10, "ERROR: Device " + std::string(dev) + " is busy.\n"},
        {11, "ERROR: Device " + std::string(dev) + " failed to do this operation.\n"},
        {12, "ERROR: No response from device " + std::string(dev) + ".\n"},
        {13, "ERROR: Device " + std::string(dev) + " doesn't support this operation.\n"},
        {14, "ERROR: Device " + std::string(dev) + " denied this operation.\n"},
        {15, "ERROR: Device " + std::string(dev) + " is out of memory.\n"},
        {16, "ERROR: Device " + std::string(dev) + " got an invalid argument.\n"},
        {17, "ERROR: Device " + std::string(dev) + " is not ready.\n"},
        {18, "ERROR: Could not support this operation with the firmware version of device " +
                 std::string(dev) + ".\n"},
        {19, "ERROR: Incorrect configuration for device " + std::string(dev) + ".\n"},
        {20, "ERROR: Device " + std::string(dev) + " has aborted the operation.\n"},
        {21, "ERROR: Operation failed.\n"},
        {255, "ERROR: Operation failed.\n"},
    };
    for (auto &c : cases) {
        testing::internal::CaptureStderr();
        report_result(static_cast<uint8_t>(c.code), m);
        EXPECT_EQ(c.text, testing::internal::GetCapturedStderr()) << c.code;
    }
}

}  // namespace
