// XXTEA block routines: published vectors and the byte packing around them.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tea.h"

namespace {

struct xxtea_vector {
    uint32_t key[4];
    std::vector<uint32_t> plain;
    std::vector<uint32_t> cipher;
};

// Published XXTEA vectors (TeaCrypt, L. J. Drews), as 32-bit words.
const xxtea_vector VECTORS[] = {
    {{0, 0, 0, 0}, {0, 0}, {0x053704AB, 0x575D8C80}},
    {{0, 0, 0, 0}, {0x01020304, 0x05060708}, {0xE6911910, 0x0C35DCDA}},
    {{0x00112233, 0x44556677, 0x8899AABB, 0xCCDDEEFF}, {0x01020304, 0x05060708},
     {0x961D49FC, 0x61FF12D6}},
    {{0x00112233, 0x44556677, 0x8899AABB, 0xCCDDEEFF}, {0x01234567, 0x89ABCDEF},
     {0x34354989, 0xDD7D1A7A}},
    {{0, 0, 0, 0}, {0, 0, 0}, {0x5E3CD3F0, 0xE109E3CE, 0x79D7C945}},
    {{0, 0, 0, 0}, {0x00010203, 0x04050607, 0x08090A0B}, {0x5A545AAC, 0x684EB2CB, 0x3E1B8AA0}},
    {{0x00112233, 0x44556677, 0x8899AABB, 0xCCDDEEFF},
     {0x00010203, 0x04050607, 0x08090A0B},
     {0x2E77CCEC, 0x674F5149, 0xA0E56496}},
    {{0x00112233, 0x44556677, 0x8899AABB, 0xCCDDEEFF},
     {0x01234567, 0x89ABCDEF, 0x01234567},
     {0xEBC5DD46, 0xBE0FEE71, 0xC6BF7193}},
    {{0, 0, 0, 0}, {0, 0, 0, 0}, {0xE6C8D5FF, 0x070FB6E4, 0x98A534F7, 0xAC03E399}},
    {{0, 0, 0, 0},
     {0x00010203, 0x04050607, 0x08090A0B, 0x0C0D0E0F},
     {0xAF5CFB0E, 0xAE73552B, 0x1D968A9F, 0x5CB94509}},
    {{0x00112233, 0x44556677, 0x8899AABB, 0xCCDDEEFF},
     {0x00010203, 0x04050607, 0x08090A0B, 0x0C0D0E0F},
     {0x3EA0E16C, 0x9969535A, 0xE4796D50, 0xF217EEEA}},
    {{0x00112233, 0x44556677, 0x8899AABB, 0xCCDDEEFF},
     {0x01234567, 0x89ABCDEF, 0x01234567, 0x89ABCDEF},
     {0x2B4AB1A4, 0x0E487B6D, 0x9A3AACC7, 0xE4132216}},
};

TEST(Btea, PublishedVectorsBothWays)
{
    for (size_t i = 0; i < std::size(VECTORS); i++) {
        const xxtea_vector &t = VECTORS[i];
        std::vector<uint32_t> v = t.plain;
        btea(v.data(), int(v.size()), t.key);
        EXPECT_EQ(v, t.cipher) << "vector " << i;
        btea(v.data(), -int(v.size()), t.key);
        EXPECT_EQ(v, t.plain) << "vector " << i;
    }
}

TEST(Btea, FewerThanTwoWordsUnchanged)
{
    uint32_t v[2] = {0x08026162, 0xDEADBEEF};
    for (int n : {1, 0, -1}) {
        btea(v, n, TEAKey);
        EXPECT_EQ(v[0], 0x08026162u);
        EXPECT_EQ(v[1], 0xDEADBEEFu);
    }
}

TEST(Btea, LongBlockRoundTripUnderFixedKey)
{
    uint32_t v[124], orig[124];
    for (uint32_t i = 0; i < 124; i++)
        v[i] = orig[i] = i * 0x01010101u;
    btea(v, 124, TEAKey);
    EXPECT_NE(memcmp(v, orig, sizeof v), 0);
    btea(v, -124, TEAKey);
    EXPECT_EQ(memcmp(v, orig, sizeof v), 0);
}

TEST(Packing, TailBytesGoIntoHighEndOfLastWord)
{
    const uint8_t bytes[5] = {0x01, 0x02, 0x03, 0x04, 0x05};
    uint32_t words[2] = {};
    ArrayToInt(bytes, 5, words, 2);
    EXPECT_EQ(words[0], 0x01020304u);
    EXPECT_EQ(words[1], 0x05000000u);
    uint8_t back[8];
    IntToArray(words, back, 2);
    const uint8_t expect[8] = {1, 2, 3, 4, 5, 0, 0, 0};
    EXPECT_EQ(memcmp(back, expect, 8), 0);

    const uint8_t seven[7] = {0xA0, 0xA1, 0xA2, 0xA3, 0xB0, 0xB1, 0xB2};
    uint32_t w7[2] = {};
    ArrayToInt(seven, 7, w7, 2);
    EXPECT_EQ(w7[1], 0xB0B1B200u);
    const uint8_t eight[8] = {0xA0, 0xA1, 0xA2, 0xA3, 0xB0, 0xB1, 0xB2, 0xB3};
    uint32_t w8[2] = {};
    ArrayToInt(eight, 8, w8, 2);
    EXPECT_EQ(w8[1], 0xB0B1B2B3u);
}

TEST(Blocks, OddSizesPadAndRoundTrip)
{
    for (size_t size : {5u, 6u, 7u, 8u, 9u, 33u, 496u}) {
        uint8_t buf[512] = {}, orig[512] = {};
        for (size_t i = 0; i < size; i++)
            buf[i] = orig[i] = uint8_t(i * 7 + 1);
        size_t words = (size + 3) / 4;
        uint32_t work[128] = {};
        encryptBlock(buf, size, work, words, TEAKey);
        EXPECT_NE(memcmp(buf, orig, size), 0) << size;
        uint32_t work2[128] = {};
        decryptBlock(work2, buf, 4 * words, words, TEAKey);
        EXPECT_EQ(memcmp(buf, orig, 4 * words), 0) << size;  // the padding comes back as zero
    }
}

}  // namespace
