// Request composition per operation and the walk over replies.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cstring>
#include <string>
#include <vector>

#include "tovik_ac.h"
#include "tovik_util.h"

namespace {

void reset_config()
{
    init_config();
    protocol_flag = PROTO_TCP;
    dbg_flag = 0;
    encode_flag = 1;
    add_mac_flag = MODE_REG_AC;
    test_flag = 0;
    for (char *t : {username, email, devmac, uuid, checkcode, cid, ipAddr, macAddr})
        t[0] = 0;
    for (auto &t : extra_text)
        t[0] = 0;
    strcpy(macAddr, "00:11:22:33:44:55");
    inet_aton("10.1.2.3", &acLanAddr.sin_addr);
}

// The element types of a composed request, in order; checks the walk adds up.
std::vector<int> element_types(const uint8_t *pkt, int len)
{
    std::vector<int> types;
    int at = HEADER_SIZE;
    while (at < len) {
        types.push_back(pkt[at]);
        at += 2 + pkt[at + 1];
    }
    EXPECT_EQ(at, len);
    EXPECT_EQ(pkt[14] << 8 | pkt[15], len - HEADER_SIZE);
    return types;
}

class Compose : public testing::Test {
  protected:
    void SetUp() override { reset_config(); }
    std::vector<int> compose()
    {
        len = 0;
        EXPECT_EQ(ac_pkt_gen(pkt, &len), 0);
        return element_types(pkt, len);
    }
    uint8_t pkt[PKT_SIZE];
    int len = 0;
};

const std::vector<int> TAIL = {18, 19, 20, 21, 22, 23};

std::vector<int> with_tail(std::vector<int> head)
{
    head.insert(head.end(), TAIL.begin(), TAIL.end());
    return head;
}

TEST_F(Compose, RegisterCarriesEmail)
{
    strcpy(email, "a@b.cd");
    EXPECT_EQ(compose(), with_tail({4, 5, 6, 8, 10, 13}));
    const uint8_t header[14] = {'1', '2', '3', 0, 3, 2, 1, 0, 16, 0, '0', 0, 0, 0};
    EXPECT_EQ(memcmp(pkt, header, sizeof header), 0);
    // MAC text, then address and port in network byte order.
    EXPECT_EQ(std::string(reinterpret_cast<char *>(pkt) + 16, 19),
              std::string("\x04\x11" "00:11:22:33:44:55"));
    const uint8_t addr_port[] = {5, 4, 10, 1, 2, 3, 6, 2, 0x04, 0xD2};
    EXPECT_EQ(memcmp(pkt + 35, addr_port, sizeof addr_port), 0);
}

TEST_F(Compose, TestRunReplacesModeElements)
{
    test_flag = 1;
    add_mac_flag = MODE_REG_AP;
    strcpy(devmac, "00:00:00:00:00:01");
    strcpy(checkcode, "12345678");
    EXPECT_EQ(compose(), with_tail({4, 5, 6, 8, 13, 16}));
    add_mac_flag = MODE_REG_AC;
    EXPECT_EQ(compose(), with_tail({4, 5, 6, 8, 13, 16}));
}

TEST_F(Compose, RequestThatCannotFitIsRefused)
{
    for (auto &t : extra_text) {
        memset(t, 'x', 255);
        t[255] = 0;
    }
    len = 0;
    EXPECT_EQ(ac_pkt_gen(pkt, &len), RES_WRONG_PARAMETER);
    EXPECT_LE(len, PKT_SIZE);
}

// A reply: header with result 0 and the given payload, total_length as given (or the size).
std::vector<uint8_t> reply(std::vector<uint8_t> payload, int total = -1)
{
    std::vector<uint8_t> r = {'1', '2', '3', 0, 3, 2, 0, 0, 16, 0, '0', 0, 0, 0, 0, 0};
    if (total < 0)
        total = int(payload.size());
    r[14] = uint8_t(total >> 8);
    r[15] = uint8_t(total);
    for (uint8_t b : payload)
        r.push_back(b);
    return r;
}

class Walk : public testing::Test {
  protected:
    void SetUp() override { reset_config(); }
    // Runs the walk on a zero-filled 512-byte buffer as the client does.
    int walk(const std::vector<uint8_t> &r, std::string *out)
    {
        uint8_t buf[PKT_SIZE] = {};
        memcpy(buf, r.data(), r.size());
        testing::internal::CaptureStdout();
        int rc = ac_pkt_access(buf, int(r.size()));
        *out = testing::internal::GetCapturedStdout();
        return rc;
    }
};

TEST_F(Walk, AddressElementSetsWanAddress)
{
    std::string out;
    EXPECT_EQ(walk(reply({1, 2, 'h', 'i', 5, 4, 198, 51, 100, 9, 9, 0}), &out), 0);
    EXPECT_EQ(out, "Success, 198.51.100.9\n");
}

TEST_F(Walk, NeverPassesTheBytesReceived)
{
    std::string out;
    // total_length claims more than arrived: the walk stops at the received end.
    EXPECT_EQ(walk(reply({5, 4, 1, 2, 3, 4}, 300), &out), RES_WRONG_PARAMETER);
    EXPECT_EQ(out, "");
    EXPECT_EQ(walk(reply({}, 10), &out), RES_WRONG_PARAMETER);
    EXPECT_EQ(out, "");
    // A claimed element that would reach past the 512-byte buffer.
    std::vector<uint8_t> big(496, 0);
    big[0] = 1;
    big[1] = 0;
    for (size_t i = 2; i + 1 < big.size(); i += 2) {
        big[i] = 1;
        big[i + 1] = 0;
    }
    big[494] = 5;
    big[495] = 200;
    EXPECT_EQ(walk(reply(big, 65535), &out), RES_WRONG_PARAMETER);
    EXPECT_EQ(out, "");
    // A reply shorter than a header is not taken as success.
    EXPECT_EQ(walk({'1', '2', '3'}, &out), RES_WRONG_PARAMETER);
    EXPECT_EQ(out, "");
}

}  // namespace
