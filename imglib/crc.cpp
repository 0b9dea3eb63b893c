// Both CRC variants run on zlib's table-driven routine, which works through several bytes per
// step (on x86-64 the bulk by carry-less multiplication); the results equal the byte-at-a-time
// definition. A large buffer is split between two threads and the two CRCs combined.
#include <cstring>
#include <thread>
#include <zlib.h>

#include "imglib.h"
#include "side_job.h"

namespace imglib {

#if defined(__x86_64__)
uint32_t crc32_fold(uint32_t reg, const uint8_t* buf, std::size_t len);

static bool crc32_fold_available()
{
    static const bool ok = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    return ok;
}
#endif

namespace {

uint32_t crc32_serial(uint32_t start, const uint8_t* data, std::size_t len)
{
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

// Below this a second thread costs more than it saves.
constexpr std::size_t SPLIT_MIN = 8u << 20;
// zlib's combine takes the second part's length as a signed long.
constexpr std::size_t SPLIT_MAX_PART = 1u << 30;

thread_local int unsplit_scopes = 0;

}  // namespace

crc_on_this_thread::crc_on_this_thread()
{
    ++unsplit_scopes;
}

crc_on_this_thread::~crc_on_this_thread()
{
    --unsplit_scopes;
}

uint32_t crc32(uint32_t start, const uint8_t* data, std::size_t len)
{
    if (data == nullptr)
        return 0;
    static const unsigned cores = std::thread::hardware_concurrency();
    if (len < SPLIT_MIN || unsplit_scopes > 0 || cores < 2)
        return crc32_serial(start, data, len);
    const std::size_t second = len / 2 < SPLIT_MAX_PART ? len / 2 : SPLIT_MAX_PART;
    const std::size_t first = len - second;
    uint32_t tail = 0;
    side_job worker([&tail, data, first, second] { tail = crc32_serial(0, data + first, second); });
    const uint32_t head = crc32_serial(start, data, first);
    worker.wait();
    return static_cast<uint32_t>(::crc32_combine(head, tail, static_cast<z_off_t>(second)));
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
