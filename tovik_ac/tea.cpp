#include "tea.h"

const uint32_t TEAKey[4] = {0x5E1B7A03u, 0xC4D92F6Au, 0x0B8E33D1u, 0x76A1F4C8u};

namespace {
constexpr uint32_t DELTA = 0x9E3779B9u;

inline uint32_t mx(uint32_t y, uint32_t z, uint32_t sum, unsigned p, unsigned e,
                   const uint32_t key[4])
{
    return ((z >> 5 ^ y << 2) + (y >> 3 ^ z << 4)) ^ ((sum ^ y) + (key[(p & 3) ^ e] ^ z));
}
}  // namespace

void btea(uint32_t *v, int n, const uint32_t key[4])
{
    if (n > 1) {
        unsigned words = static_cast<unsigned>(n);
        unsigned rounds = 6 + 52 / words;
        uint32_t sum = 0, y, z = v[words - 1];
        do {
            sum += DELTA;
            unsigned e = (sum >> 2) & 3, p;
            for (p = 0; p < words - 1; p++) {
                y = v[p + 1];
                z = v[p] += mx(y, z, sum, p, e, key);
            }
            y = v[0];
            z = v[words - 1] += mx(y, z, sum, p, e, key);
        } while (--rounds);
    } else if (n < -1) {
        // -(n + 1) + 1 avoids overflowing on the most negative int.
        unsigned words = static_cast<unsigned>(-(n + 1)) + 1;
        unsigned rounds = 6 + 52 / words;
        uint32_t sum = rounds * DELTA, y = v[0], z;
        do {
            unsigned e = (sum >> 2) & 3, p;
            for (p = words - 1; p > 0; p--) {
                z = v[p - 1];
                y = v[p] -= mx(y, z, sum, p, e, key);
            }
            z = v[words - 1];
            y = v[0] -= mx(y, z, sum, p, e, key);
            sum -= DELTA;
        } while (--rounds);
    }
}

void ArrayToInt(const uint8_t *bytes, size_t byte_count, uint32_t *words, size_t word_count)
{
    if (word_count == 0)
        return;
    size_t i = 0;
    for (; i + 1 < word_count; i++)
        words[i] = uint32_t(bytes[4 * i]) << 24 | uint32_t(bytes[4 * i + 1]) << 16 |
                   uint32_t(bytes[4 * i + 2]) << 8 | bytes[4 * i + 3];
    // The last word takes what is left, at most four bytes, into its high end.
    size_t at = 4 * i;
    uint32_t w = 0;
    for (unsigned shift = 24, k = 0; k < 4 && at + k < byte_count; k++, shift -= 8)
        w |= uint32_t(bytes[at + k]) << shift;
    words[i] = w;
}

void IntToArray(const uint32_t *words, uint8_t *bytes, size_t word_count)
{
    for (size_t i = 0; i < word_count; i++) {
        bytes[4 * i] = uint8_t(words[i] >> 24);
        bytes[4 * i + 1] = uint8_t(words[i] >> 16);
        bytes[4 * i + 2] = uint8_t(words[i] >> 8);
        bytes[4 * i + 3] = uint8_t(words[i]);
    }
}

uint32_t *encryptBlock(uint8_t *bytes, size_t byte_count, uint32_t *work, size_t word_count,
                       const uint32_t key[4])
{
    ArrayToInt(bytes, byte_count, work, word_count);
    btea(work, static_cast<int>(word_count), key);
    IntToArray(work, bytes, word_count);
    return work;
}

uint32_t *decryptBlock(uint32_t *work, uint8_t *bytes, size_t byte_count, size_t word_count,
                       const uint32_t key[4])
{
    ArrayToInt(bytes, byte_count, work, word_count);
    btea(work, -static_cast<int>(word_count), key);
    IntToArray(work, bytes, word_count);
    return work;
}
