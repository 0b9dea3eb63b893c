// Packet header, elements, enciphering steps and parameter checks.
#include <gtest/gtest.h>

#include <cstring>
#include <regex.h>
#include <string>

#include "tovik_util.h"

namespace {

std::string hex(const uint8_t *b, int n)
{
    std::string s;
    char tmp[4];
    for (int i = 0; i < n; i++) {
        snprintf(tmp, sizeof tmp, "%02x", b[i]);
        s += tmp;
    }
    return s;
}

TEST(Header, GeneratorWritesFixedFields)
{
    uint8_t pkt[PKT_SIZE];
    memset(pkt, 0xEE, sizeof pkt);
    header_generator(pkt, 0, 3, 2, 1, 0, 16, 0);
    EXPECT_EQ(hex(pkt, 16), "31323300030201001000300000000000");
    for (int i = 16; i < PKT_SIZE; i++)
        ASSERT_EQ(pkt[i], 0) << i;
    header_generator(pkt, 0, 9, 2, 0, 0, 16, 0);
    EXPECT_EQ(pkt[4], 3);  // any version above 2 goes out as 3
    EXPECT_EQ(pkt[6], 0);
    header_generator(pkt, 0, 2, 2, 0, 0, 16, 0);
    EXPECT_EQ(pkt[4], 2);
}

TEST(Elements, AppendSetsLengthAndTotal)
{
    uint8_t pkt[PKT_SIZE];
    header_generator(pkt, 0, 3, 2, 1, 0, 16, 0);
    int len = HEADER_SIZE;
    ASSERT_EQ(content_generator(pkt, &len, 8, 2, "ab"), 0);
    EXPECT_EQ(len, 20);
    EXPECT_EQ(hex(pkt + 14, 6), "000408026162");
    ASSERT_EQ(content_generator(pkt, &len, 13, 0, ""), 0);
    EXPECT_EQ(len, 22);
    EXPECT_EQ(hex(pkt + 14, 2), "0006");
    EXPECT_EQ(hex(pkt + 20, 2), "0d00");
}

TEST(Elements, RefusesWhatDoesNotFitAndFillsToTheLastByte)
{
    uint8_t pkt[PKT_SIZE + 8];
    memset(pkt + PKT_SIZE, 0x5A, 8);  // guard bytes past the packet
    header_generator(pkt, 0, 3, 2, 1, 0, 16, 0);
    char value[255];
    memset(value, 'x', sizeof value);
    int len = HEADER_SIZE;
    ASSERT_EQ(content_generator(pkt, &len, 18, 255, value), 0);  // 16 + 257 = 273
    EXPECT_EQ(content_generator(pkt, &len, 19, 238, value), RES_WRONG_PARAMETER);  // 513
    EXPECT_EQ(len, 273);
    EXPECT_EQ(hex(pkt + 14, 2), "0101");
    ASSERT_EQ(content_generator(pkt, &len, 19, 237, value), 0);  // exactly 512
    EXPECT_EQ(len, PKT_SIZE);
    EXPECT_EQ(content_generator(pkt, &len, 20, 0, ""), RES_WRONG_PARAMETER);
    for (int i = PKT_SIZE; i < PKT_SIZE + 8; i++)
        EXPECT_EQ(pkt[i], 0x5A);
}

TEST(Encode, SingleWordPayloadTravelsUnchanged)
{
    uint8_t pkt[PKT_SIZE];
    header_generator(pkt, 0, 3, 2, 1, 0, 16, 0);
    int len = HEADER_SIZE;
    content_generator(pkt, &len, 8, 2, "ab");
    uint8_t before[PKT_SIZE];
    memcpy(before, pkt, sizeof pkt);
    EXPECT_EQ(encode_buf(pkt, &len), 0);
    EXPECT_EQ(len, 20);
    EXPECT_EQ(memcmp(pkt, before, sizeof pkt), 0);
}

TEST(Encode, FiveBytePayloadIsPaddedKeepsTotalAndDecodes)
{
    uint8_t pkt[PKT_SIZE];
    header_generator(pkt, 0, 3, 2, 1, 0, 16, 0);
    int len = HEADER_SIZE;
    content_generator(pkt, &len, 8, 3, "abc");
    ASSERT_EQ(len, 21);
    uint8_t plain[PKT_SIZE];
    memcpy(plain, pkt, sizeof pkt);
    encode_buf(pkt, &len);
    EXPECT_EQ(len, 24);
    EXPECT_EQ(hex(pkt, 16), hex(plain, 16));  // header untouched, total_length still 5
    EXPECT_EQ(hex(pkt + 14, 2), "0005");
    EXPECT_NE(hex(pkt + 16, 8), hex(plain + 16, 8));
    decode_buf(pkt, &len);
    EXPECT_EQ(len, 24);
    EXPECT_EQ(hex(pkt, 24), hex(plain, 24));
}

TEST(Encode, HeaderOnlyPacketsStayAsTheyAre)
{
    uint8_t pkt[PKT_SIZE];
    header_generator(pkt, 0, 3, 2, 1, 0, 16, 0);
    int len = HEADER_SIZE;
    EXPECT_EQ(encode_buf(pkt, &len), 0);
    EXPECT_EQ(len, HEADER_SIZE);
    EXPECT_EQ(decode_buf(pkt, &len), 0);
    EXPECT_EQ(len, HEADER_SIZE);
}

pkt_header make_header(uint8_t result)
{
    uint8_t pkt[PKT_SIZE];
    header_generator(pkt, 0, 3, 2, 1, 0, 16, result);
    pkt_header h;
    memcpy(h.bytes, pkt, HEADER_SIZE);
    return h;
}

struct check_case {
    int offset;  // byte to change, -1: none
    uint8_t value;
    int code;
    const char *out;
};

TEST(HeaderCheck, CodesAndMessages)
{
    const check_case cases[] = {
        {-1, 0, 0, ""},
        {0, '0', 5, "[ERR] Wrong Magic Number\n"},
        {1, 'x', 5, "[ERR] Wrong Magic Number\n"},
        {2, 0, 5, "[ERR] Wrong Magic Number\n"},
        {4, 4, 0, ""},
        {4, 5, 6, "[ERR] Version not support\n"},
        {5, 7, 0, ""},
        {5, 8, 7, "[ERR] Type not support\n"},
        {7, 3, 0, ""},
        {7, 4, 8, "[ERR] Encode type not support\n"},
        {8, 25, 0, ""},
        {8, 26, 9, "[ERR] Action not support\n"},
        {9, 26, 26, "[ERR] result=26, Checkcode Error\n"},
        {9, 34, 34, "[ERR] result=34, REGISTERED_BY_OTHER\n"},
        {9, 35, 35, "[ERR] result=35, Tovik_ac version too old, please update it\n"},
        {9, 40, 40, "[ERR] result=40, Tovik_ac version too old, please update it\n"},
        {9, 255, 255, "[ERR] result=255, Tovik_ac version too old, please update it\n"},
    };
    for (const check_case &c : cases) {
        pkt_header h = make_header(0);
        if (c.offset >= 0)
            h.bytes[c.offset] = c.value;
        testing::internal::CaptureStdout();
        int code = header_check(h);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.out) << c.offset << "=" << int(c.value);
        EXPECT_EQ(code, c.code);
    }
}

TEST(HeaderCheck, FirstFailingTestWins)
{
    pkt_header h = make_header(0);
    h.bytes[0] = 'X';
    h.bytes[4] = 9;
    h.bytes[9] = 26;
    testing::internal::CaptureStdout();
    EXPECT_EQ(header_check(h), 5);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "[ERR] Wrong Magic Number\n");
    h.bytes[0] = '1';
    h.bytes[8] = 30;
    testing::internal::CaptureStdout();
    EXPECT_EQ(header_check(h), 6);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "[ERR] Version not support\n");
}

TEST(HeaderCheck, EveryResultTextReachesStdout)
{
    for (int code = 1; code < RES_COUNT; code++) {
        pkt_header h = make_header(uint8_t(code));
        testing::internal::CaptureStdout();
        EXPECT_EQ(header_check(h), code);
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  "[ERR] result=" + std::to_string(code) + ", " + error_string[code] + "\n");
    }
    EXPECT_STREQ(error_string[20], "malloc Failed");
    EXPECT_STREQ(error_string[31], "AP2AC Not Support UDP");
}

TEST(Parameters, PatternCompileFailureAndMismatch)
{
    regex_t re;
    int expect = regcomp(&re, "^(tcp$", REG_EXTENDED | REG_NOSUB);
    ASSERT_NE(expect, 0);
    testing::internal::CaptureStdout();
    EXPECT_EQ(check_parameter("^(tcp$", "tcp", "-p", "[tcp | udp]"), RES_WRONG_PARAMETER);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "regcomp() initial error!, errno[" + std::to_string(expect) + "]\n");

    testing::internal::CaptureStdout();
    EXPECT_EQ(check_parameter("^[0-3]$", "4", "-dbg", "[0-3]"), RES_WRONG_PARAMETER);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "[ERR] Wrong parameter [4] with option [-dbg], the parameter should like [0-3]\n");
    testing::internal::CaptureStdout();
    EXPECT_EQ(check_parameter("^[0-3]$", "3", "-dbg", "[0-3]"), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST(OwnAddresses, LoopbackAndMissingInterfaces)
{
    char ip[TEXT_SIZE], mac[TEXT_SIZE];
    getselfIPMAC(ip, mac, "lo");
    EXPECT_STREQ(ip, "127.0.0.1");
    EXPECT_STREQ(mac, "00:00:00:00:00:00");
    // No such interface, and a name longer than an interface name can be.
    for (const char *name : {"nosuchif9", "abcdefghijklmnopq"}) {
        memset(ip, 'x', sizeof ip);
        memset(mac, 'x', sizeof mac);
        getselfIPMAC(ip, mac, name);
        EXPECT_STREQ(ip, "0.0.0.0") << name;
        EXPECT_STREQ(mac, "00:00:00:00:00:00") << name;
    }
    getselfIPMAC(nullptr, mac, "lo");  // either output may be left out
    EXPECT_STREQ(mac, "00:00:00:00:00:00");
}

}  // namespace

namespace {

// Runs `body` at the given debug level and returns what it wrote to the TCP log; the log
// file that was there before comes back afterwards.
bool slurp(const char *path, std::string *out)
{
    FILE *f = fopen(path, "rb");
    if (!f)
        return false;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        out->append(buf, n);
    fclose(f);
    return true;
}

template <typename F>
std::string logged(int level, F body)
{
    const char *path = "/tmp/Tovik_tcp_debug.log";
    std::string saved, out;
    bool had = slurp(path, &saved);
    remove(path);
    int old_level = dbg_flag, old_proto = protocol_flag;
    dbg_flag = level;
    protocol_flag = PROTO_TCP;
    body();
    dbg_flag = old_level;
    protocol_flag = old_proto;
    slurp(path, &out);
    remove(path);
    if (had)
        if (FILE *f = fopen(path, "wb")) {
            fwrite(saved.data(), 1, saved.size(), f);
            fclose(f);
        }
    return out;
}

TEST(DebugLog, HexDumpLayout)
{
    uint8_t bytes[33];
    for (int i = 0; i < 33; i++)
        bytes[i] = uint8_t(0xA0 + i);
    EXPECT_EQ(logged(2, [&] { dbg_hex(2, bytes, 17); }),
              "A0-A1-A2-A3-A4-A5-A6-A7  A8-A9-AA-AB-AC-AD-AE-AF\nB0");
    EXPECT_EQ(logged(2, [&] { dbg_hex(2, bytes, 8); }), "A0-A1-A2-A3-A4-A5-A6-A7  ");
    EXPECT_EQ(logged(2, [&] { dbg_hex(2, bytes, 3); }), "A0-A1-A2");
    EXPECT_EQ(logged(1, [&] { dbg_hex(2, bytes, 3); }), "");
    EXPECT_EQ(logged(1, [&] { pkt_dump(bytes, 3); }), "");
    EXPECT_EQ(logged(2, [&] { pkt_dump(bytes, 16); }),
              "\n===============packet dump start===============\n"
              "A0-A1-A2-A3-A4-A5-A6-A7  A8-A9-AA-AB-AC-AD-AE-AF\n"
              "\n===============packet dump finished=============\n");
}

TEST(DebugLog, HeaderOnlyPacketIsNotEncoded)
{
    uint8_t pkt[PKT_SIZE];
    header_generator(pkt, 0, 3, 2, 1, 0, 16, 0);
    int len = HEADER_SIZE;
    EXPECT_EQ(logged(3, [&] { encode_buf(pkt, &len); }),
              "buf length less than 16 does not needed encode\n");
    EXPECT_EQ(logged(2, [&] { encode_buf(pkt, &len); }), "");
}

TEST(DebugLog, HeaderCheckRecordForUnknownResult)
{
    pkt_header h = make_header(40);
    testing::internal::CaptureStdout();
    std::string log = logged(1, [&] { header_check(h); });
    testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("] Header check:[40], message:\"Tovik_ac version too old, please update "
                       "it\" \n"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.rfind("[DBG][Func:header_check][Line:", 0), 0u) << log;
}

}  // namespace
