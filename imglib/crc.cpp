// Both CRC variants run on zlib's table-driven routine, which works through several bytes per
// step; the results equal the byte-at-a-time definition.
#include <cstring>
#include <zlib.h>

#include "imglib.h"

namespace imglib {

#if defined(__x86_64__)
uint32_t crc32_fold(uint32_t reg, const uint8_t* buf, std::size_t len);

static bool crc32_fold_available()
{
    static const bool ok = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    return ok;
}
#endif

uint32_t crc32(uint32_t start, const uint8_t* data, std::size_t len)
{
    if (data == nullptr)
        return 0;
#if defined(__x86_64__)
    // Large buffers go through the carry-less multiply fold, the tail through zlib.
    if (len >= 256 && crc32_fold_available()) {
        std::size_t bulk = len & ~static_cast<std::size_t>(15);
        start = ~crc32_fold(~start, data, bulk);
        data += bulk;
        len -= bulk;
    }
#endif
    // crc32_z takes the whole length, also beyond 4 GiB on 64-bit hosts.
    return static_cast<uint32_t>(::crc32_z(start, data, len));
}

uint32_t crc32_update(uint32_t start, const uint8_t* data, std::size_t len)
{
    return crc32(start, data, len);
}

uint32_t update_crc32(const uint8_t* data, std::size_t len, uint32_t reg)
{
    if (data == nullptr || len == 0)
        return reg;
    return ~crc32(~reg, data, len);
}

uint32_t continue_crc(crc_kind kind, uint32_t so_far, const uint8_t* data, std::size_t len)
{
    return kind == crc_kind::standard ? crc32(so_far, data, len) : update_crc32(data, len, so_far);
}

uint32_t header_crc(const uint8_t hdr[HEADER_SIZE], crc_kind kind)
{
    uint8_t copy[HEADER_SIZE];
    std::memcpy(copy, hdr, HEADER_SIZE);
    store_be32(copy + OFF_HCRC, 0);
    return continue_crc(kind, 0, copy, HEADER_SIZE);
}

}  // namespace imglib
