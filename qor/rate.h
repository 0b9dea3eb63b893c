// Data-rate codes: the u32 a radio's fixed data rate travels as, and its text form.
//   0 "auto", 1..32 "MCS<code-1>", 101..110 "VHTMCS<code-101>",
//   111 and above a legacy rate in 1/1000 Mbit/s ("54M", "5.5M").
#pragma once

#include <cstdint>

// Text to code; false when the text is not a rate. Numbers are read as atoi would.
bool text_to_rate(const char *text, int32_t *code);

// Code to text, in a static buffer that the next call overwrites.
const char *rate_to_text(int32_t code);
