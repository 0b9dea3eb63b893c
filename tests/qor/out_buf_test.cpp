// The status printers' output buffer: integers as printf writes them over their whole
// ranges, the formatters of front.h byte for byte, blocks of exactly the buffer's size,
// and write errors (a full device, a closed pipe) reported once.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "status.h"

namespace {

// What a buffer of `size` bytes writes to a record-keeping socket: each write(2) arrives
// as one record, so the blocks can be told apart.
class block_sink {
public:
    block_sink() { EXPECT_EQ(0, socketpair(AF_UNIX, SOCK_SEQPACKET, 0, fd_)); }
    ~block_sink() {
        close(fd_[0]);
        close(fd_[1]);
    }
    int fd() const { return fd_[0]; }

    // The records that arrived so far.
    std::vector<std::string> blocks() {
        std::vector<std::string> out;
        char buf[1 << 16];
        for (;;) {
            ssize_t n = recv(fd_[1], buf, sizeof buf, MSG_DONTWAIT);
            if (n <= 0) break;
            out.emplace_back(buf, static_cast<size_t>(n));
        }
        return out;
    }

private:
    int fd_[2] = {-1, -1};
};

std::string joined(const std::vector<std::string> &blocks) {
    std::string all;
    for (const std::string &b : blocks) all += b;
    return all;
}

// Whatever `fill` puts, through a buffer of `size` bytes, as one string.
template <class Fill>
std::string printed(size_t size, Fill &&fill) {
    block_sink sink;
    {
        out_buf out(sink.fd(), size);
        fill(out);
        EXPECT_EQ(0, out.finish());
    }
    return joined(sink.blocks());
}

std::string printf_u(uint32_t v) {
    char buf[16];
    snprintf(buf, sizeof buf, "%u", v);
    return buf;
}
std::string printf_d(int32_t v) {
    char buf[16];
    snprintf(buf, sizeof buf, "%d", v);
    return buf;
}

TEST(OutBuf, IntegersAsPrintfWritesThem) {
    struct {
        int64_t v;
        const char *text;
    } rows[] = {
        {0, "0"},
        {7, "7"},
        {9, "9"},
        {10, "10"},
        {99, "99"},
        {100, "100"},
        {101, "101"},
        {999, "999"},
        {1000, "1000"},
        {65535, "65535"},
        {99999, "99999"},
        {100000, "100000"},
        {1234567, "1234567"},
        {99999999, "99999999"},
        {100000000, "100000000"},
        {999999999, "999999999"},
        {1000000000, "1000000000"},
        {2147483647, "2147483647"},
        {2147483648, "2147483648"},
        {4000000000, "4000000000"},
        {4294967295, "4294967295"},
        {-1, "-1"},
        {-9, "-9"},
        {-10, "-10"},
        {-70, "-70"},
        {-100, "-100"},
        {-999999999, "-999999999"},
        {-1000000000, "-1000000000"},
        {-2147483647, "-2147483647"},
        {-2147483648, "-2147483648"},
    };
    for (const auto &r : rows) {
        char buf[OUT_INT_MAX_LEN];
        if (r.v >= 0 && r.v <= UINT32_MAX) {
            const uint32_t v = static_cast<uint32_t>(r.v);
            EXPECT_EQ(r.text, std::string(buf, format_u32(buf, v))) << r.v;
        }
        if (r.v >= INT32_MIN && r.v <= INT32_MAX) {
            const int32_t v = static_cast<int32_t>(r.v);
            EXPECT_EQ(r.text, std::string(buf, format_i32(buf, v))) << r.v;
        }
    }

    // Every power of ten and its neighbours, and a spread over the whole ranges, against
    // the C library.
    std::vector<uint32_t> values = {0, UINT32_MAX, UINT32_MAX - 1, 0x80000000u, 0x7FFFFFFFu};
    for (uint64_t p = 1; p <= UINT32_MAX; p *= 10)
        for (int64_t d = -1; d <= 1; ++d) values.push_back(static_cast<uint32_t>(p + d));
    for (uint64_t v = 0; v <= UINT32_MAX; v += 999983) values.push_back(static_cast<uint32_t>(v));
    for (uint32_t v : values) {
        char buf[OUT_INT_MAX_LEN];
        ASSERT_EQ(printf_u(v), std::string(buf, format_u32(buf, v))) << v;
        const int32_t s = static_cast<int32_t>(v);
        ASSERT_EQ(printf_d(s), std::string(buf, format_i32(buf, s))) << s;
    }
}

TEST(OutBuf, IntegersAtEveryPlaceOfABlock) {
    // A buffer hardly larger than the longest number: each number lands at every offset,
    // also across the end of a block.
    const int32_t values[] = {INT32_MIN, -1, 0, 5, 42, 4096, INT32_MAX};
    for (size_t size : {OUT_INT_MAX_LEN, OUT_INT_MAX_LEN + 1, size_t{16}, size_t{23}}) {
        for (size_t lead = 0; lead < size; ++lead) {
            std::string want(lead, '.');
            for (int32_t v : values)
                want += printf_d(v) + "|" + printf_u(static_cast<uint32_t>(v)) + "|";
            const std::string got = printed(size, [&](out_buf &out) {
                for (size_t i = 0; i < lead; ++i) out.put_char('.');
                for (int32_t v : values) {
                    out.put_i32(v);
                    out.put_char('|');
                    out.put_u32(static_cast<uint32_t>(v));
                    out.put_char('|');
                }
            });
            ASSERT_EQ(want, got) << "size " << size << ", lead " << lead;
        }
    }
}

TEST(OutBuf, FormattersMatchFrontEnd) {
    const mac_addr macs[] = {{0, 0, 0, 0, 0, 0},
                             {0x00, 0x11, 0x22, 0x33, 0x44, 0x55},
                             {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
                             {0x0a, 0xb0, 0x0c, 0xd0, 0x0e, 0xf0}};
    const uint8_t addrs[][4] = {
        {0, 0, 0, 0}, {255, 255, 255, 255}, {10, 9, 100, 1}, {1, 22, 199, 200}};
    const uint8_t digests[][16] = {{0},
                                   {0x00, 0x01, 0x0f, 0x10, 0x7f, 0x80, 0xab, 0xcd, 0xef, 0xff,
                                    0x12, 0x34, 0x56, 0x78, 0x9a, 0xbc}};
    // Several of each, so that they also meet the end of a small block.
    for (size_t size : {OUT_BUF_SIZE, size_t{20}, size_t{33}}) {
        std::string want;
        const std::string got = printed(size, [&](out_buf &out) {
            for (const mac_addr &m : macs) {
                put_mac(out, m.data());
                want += mac_to_text(m.data());
            }
            for (const auto &a : addrs) {
                uint32_t net;
                memcpy(&net, a, 4);
                put_ipv4(out, net);
                want += ipv4_to_text(net);
            }
            for (const auto &d : digests) {
                put_md5(out, d);
                want += md5_to_text(d);
            }
        });
        EXPECT_EQ(want, got) << size;
    }

    struct {
        uint8_t b;
        const char *hex;
    } hex_rows[] = {{0, "0x0"}, {9, "0x9"}, {10, "0xa"}, {15, "0xf"}, {16, "0x10"}, {0xAB, "0xab"},
                    {255, "0xff"}};
    for (const auto &r : hex_rows)
        EXPECT_EQ(r.hex, printed(OUT_BUF_SIZE, [&](out_buf &out) { put_hex_byte(out, r.b); }));

    const uint8_t bytes[] = {0, 1, 9, 10, 99, 100, 255, 7};
    for (size_t size : {OUT_BUF_SIZE, size_t{11}, size_t{13}})
        EXPECT_EQ("0,1,9,10,99,100,255,7",
                  printed(size, [&](out_buf &out) { put_u8_list(out, bytes, sizeof bytes); }));
    EXPECT_EQ("", printed(OUT_BUF_SIZE, [&](out_buf &out) { put_u8_list(out, bytes, 0); }));
}

TEST(OutBuf, WholeBlocksButTheLast) {
    // Pieces of these lengths through a buffer of 16 bytes: every block but the last is
    // exactly 16 bytes, what a long piece has beyond filling the buffer leaves in one write
    // of whole blocks, and nothing is lost or repeated.
    struct {
        std::vector<size_t> pieces;
        std::vector<size_t> blocks;
    } rows[] = {
        {{}, {}},
        {{1}, {1}},
        {{16}, {16}},
        {{15, 1}, {16}},
        {{15, 2}, {16, 1}},
        {{17}, {16, 1}},
        {{3, 40}, {16, 16, 11}},
        {{48}, {16, 32}},
        {{5, 5, 5, 5, 5, 5, 5}, {16, 16, 3}},
        {{0, 16, 0, 16, 0}, {16, 16}},
        {{1, 100, 1}, {16, 80, 6}},
    };
    for (const auto &r : rows) {
        std::string want;
        block_sink sink;
        {
            out_buf out(sink.fd(), 16);
            char next = 'a';
            for (size_t n : r.pieces) {
                std::string piece;
                for (size_t i = 0; i < n; ++i, next = next == 'z' ? 'a' : next + 1) piece += next;
                out.put(piece);
                want += piece;
            }
            EXPECT_EQ(0, out.finish());
        }
        const std::vector<std::string> blocks = sink.blocks();
        std::vector<size_t> sizes;
        for (const std::string &b : blocks) sizes.push_back(b.size());
        EXPECT_EQ(r.blocks, sizes) << r.pieces.size() << " pieces";
        EXPECT_EQ(want, joined(blocks));
    }
}

TEST(OutBuf, HeldOutputLeavesWholeAtFinish) {
    // Pieces of every kind, past several doublings of a small held buffer: nothing is written
    // before finish, then one write with what a writing buffer gives.
    const uint8_t mac[6] = {0x02, 0xAB, 0, 0x10, 0xFF, 9};
    const uint8_t octets[40] = {0, 9, 10, 99, 100, 255};
    auto fill = [&](out_buf &out) {
        for (uint32_t i = 0; i < 60; ++i) {
            out.put_literal("ap-");
            out.put_u32(i * 104729u);
            out.put_char(' ');
            out.put_i32(-static_cast<int32_t>(i) * 7919);
            put_mac(out, mac);
            put_ipv4(out, htonl(0x0A000001u + i));
            put_u8_list(out, octets, i % 41);
            out.put(std::string(i * 3, 'x'));
        }
    };
    const std::string want = printed(OUT_BUF_SIZE, fill);
    for (size_t size : {size_t{1}, size_t{16}, size_t{100}, OUT_BUF_SIZE}) {
        block_sink sink;
        out_buf out(sink.fd(), size, out_buf::held);
        fill(out);
        EXPECT_TRUE(sink.blocks().empty()) << size;
        EXPECT_EQ(0, out.finish());
        EXPECT_EQ(std::vector<std::string>{want}, sink.blocks()) << size;
    }
}

TEST(OutBuf, WriteErrorReportedOnceWithStatusOne) {
    int closed_pipe[2];
    ASSERT_EQ(0, pipe(closed_pipe));
    close(closed_pipe[0]);
    const int full = open("/dev/full", O_WRONLY);
    ASSERT_GE(full, 0);
    struct {
        int fd;
        const char *message;
    } rows[] = {
        {full, "ERROR: Writing standard output failed: No space left on device.\n"},
        // Without SIGPIPE ignored this would end the test program.
        {closed_pipe[1], "ERROR: Writing standard output failed: Broken pipe.\n"},
    };
    for (const auto &r : rows) {
        for (size_t blocks : {0, 1, 10}) {  // fails at the end, at the first block, at many
            struct sigaction before {};
            sigaction(SIGPIPE, nullptr, &before);
            testing::internal::CaptureStderr();
            {
                out_buf out(r.fd, 64);
                for (size_t i = 0; i < blocks * 64 + 5; ++i) out.put_char('x');
                EXPECT_EQ(blocks > 0, out.failed());
                EXPECT_EQ(1, out.finish());
                EXPECT_TRUE(out.failed());
                out.put_literal("more");
                EXPECT_EQ(1, out.finish());  // still failed, and not told again
            }
            EXPECT_EQ(r.message, testing::internal::GetCapturedStderr()) << blocks;
            struct sigaction after {};
            sigaction(SIGPIPE, nullptr, &after);
            EXPECT_EQ(before.sa_handler, after.sa_handler);  // given back as it was
        }
    }
    close(full);
    close(closed_pipe[1]);
}

TEST(OutBuf, TextsFromTheAcIntoTheBuffer) {
    // The appending forms of the escapes give what the copying forms give.
    const char *texts[] = {"",
                           "WAP-2240 3.4.1.7",
                           "http://portal.example.net/p1",
                           "a\"b\\c/d",
                           "x\nWTP count\t9\n",
                           "\x7F del \x01",
                           "caf\xC3\xA9 \xFF\xC0\xAF end",
                           "\xE2\x82"};
    for (const char *t : texts) {
        const char *escaped = json_escape(t);
        ASSERT_NE(nullptr, escaped);
        const std::string want_json = escaped;
        EXPECT_EQ(want_json, printed(OUT_BUF_SIZE, [&](out_buf &out) { json_put_escaped(out, t); }))
            << t;
        EXPECT_EQ(text_form(t).c_str(),
                  printed(OUT_BUF_SIZE, [&](out_buf &out) { text_form_put(out, t); }))
            << t;
    }
    EXPECT_EQ("", printed(OUT_BUF_SIZE, [](out_buf &out) {
                  json_put_escaped(out, nullptr);
                  json_put_stored(out, nullptr);
                  text_form_put(out, nullptr);
              }));
}

}  // namespace
