// CRC-32 by carry-less multiplication on x86-64: folds 64 bytes per step, then reduces to
// 32 bits (Barrett). This file alone is compiled for PCLMULQDQ and SSE4.1, and it is called only
// where the processor has both; the result is the same as the table routine's.
#if defined(__x86_64__)
#include <cstddef>
#include <cstdint>
#include <immintrin.h>

namespace imglib {

// Folds `len` bytes (a multiple of 16, at least 64) into the register `reg` (not complemented).
uint32_t crc32_fold(uint32_t reg, const uint8_t* buf, std::size_t len)
{
    alignas(16) static const uint64_t k1k2[] = {0x0154442bd4, 0x01c6e41596};
    alignas(16) static const uint64_t k3k4[] = {0x01751997d0, 0x00ccaa009e};
    alignas(16) static const uint64_t k5k0[] = {0x0163cd6124, 0x0000000000};
    alignas(16) static const uint64_t poly[] = {0x01db710641, 0x01f7011641};

    auto load = [](const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
    __m128i x1 = load(buf), x2 = load(buf + 16), x3 = load(buf + 32), x4 = load(buf + 48);
    x1 = _mm_xor_si128(x1, _mm_cvtsi32_si128(static_cast<int>(reg)));
    __m128i k = _mm_load_si128(reinterpret_cast<const __m128i*>(k1k2));
    buf += 64;
    len -= 64;

    auto fold = [&k](__m128i x, __m128i next) {
        __m128i lo = _mm_clmulepi64_si128(x, k, 0x00);
        __m128i hi = _mm_clmulepi64_si128(x, k, 0x11);
        return _mm_xor_si128(_mm_xor_si128(hi, lo), next);
    };
    while (len >= 64) {
        x1 = fold(x1, load(buf));
        x2 = fold(x2, load(buf + 16));
        x3 = fold(x3, load(buf + 32));
        x4 = fold(x4, load(buf + 48));
        buf += 64;
        len -= 64;
    }
    k = _mm_load_si128(reinterpret_cast<const __m128i*>(k3k4));
    x1 = fold(x1, x2);
    x1 = fold(x1, x3);
    x1 = fold(x1, x4);
    while (len >= 16) {
        x1 = fold(x1, load(buf));
        buf += 16;
        len -= 16;
    }

    // 128 to 64 bits.
    __m128i mask = _mm_setr_epi32(~0, 0, ~0, 0);
    x2 = _mm_clmulepi64_si128(x1, k, 0x10);
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), x2);
    k = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(k5k0));
    x2 = _mm_srli_si128(x1, 4);
    x1 = _mm_and_si128(x1, mask);
    x1 = _mm_xor_si128(_mm_clmulepi64_si128(x1, k, 0x00), x2);

    // Barrett reduction to 32 bits.
    k = _mm_load_si128(reinterpret_cast<const __m128i*>(poly));
    x2 = _mm_and_si128(x1, mask);
    x2 = _mm_clmulepi64_si128(x2, k, 0x10);
    x2 = _mm_and_si128(x2, mask);
    x2 = _mm_clmulepi64_si128(x2, k, 0x00);
    x1 = _mm_xor_si128(x1, x2);
    return static_cast<uint32_t>(_mm_extract_epi32(x1, 1));
}

}  // namespace imglib
#endif
