// tovik_ac's handling of a management server's reply: deciphered when its header says so,
// then the header check and the walk over its elements (ac_pkt_access).
// Input: the reply as received (at most one packet buffer).
#include "fuzz_util.h"
#include "tovik_ac.h"
#include "tovik_util.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::quiet_stdout();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0) return 0;  // nothing received: no reply to walk
    // The reply lands in a zero-filled packet buffer, at most a buffer's worth.
    uint8_t reply[PKT_SIZE] = {};
    int length = static_cast<int>(size < sizeof reply ? size : sizeof reply);
    memcpy(reply, data, static_cast<size_t>(length));
    init_config();
    if (reply[6] == 1) decode_buf(reply, &length);
    ac_pkt_access(reply, length);
    return 0;
}
