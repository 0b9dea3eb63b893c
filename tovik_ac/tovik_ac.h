// Management-server client: start-up, request composition, exchange and reply walk.
#pragma once
#include <cstdint>

// Sets the three socket addresses of the run configuration to their defaults.
void init_config();
// Composes the request the run configuration describes. Returns 0, or RES_WRONG_PARAMETER
// when the elements do not fit in the packet.
int ac_pkt_gen(uint8_t *packet, int *length);
// Checks and walks a reply of `length` bytes (as received, deciphered); prints the outcome
// and returns its result code.
int ac_pkt_access(const uint8_t *packet, int length);
// One exchange with the management server; returns a result code.
int ac_process();
