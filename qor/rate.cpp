// Data-rate codes.
#include "rate.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

bool text_to_rate(const char *text, int32_t *code) {
    if (strcmp(text, "auto") == 0) {
        *code = 0;
        return true;
    }
    if (const char *p = strstr(text, "VHTMCS")) {
        *code = static_cast<int32_t>(static_cast<uint32_t>(atoi(p + 6)) + 101u);
        return true;
    }
    if (const char *p = strstr(text, "MCS")) {
        *code = static_cast<int32_t>(static_cast<uint32_t>(atoi(p + 3)) + 1u);
        return true;
    }
    if (strchr(text, 'M')) {
        // Out-of-range numbers wrap as the 32-bit code they travel in.
        uint32_t c = static_cast<uint32_t>(atoi(text)) * 1000u;
        if (const char *dot = strchr(text, '.')) c += static_cast<uint32_t>(atoi(dot + 1)) * 100u;
        *code = static_cast<int32_t>(c);
        return true;
    }
    return false;
}

const char *rate_to_text(int32_t code) {
    static char buf[16];
    if (code == 0)
        snprintf(buf, sizeof buf, "auto");
    else if (code < 33)
        snprintf(buf, sizeof buf, "MCS%lld", static_cast<long long>(code) - 1);
    else if (code >= 111 && code % 1000 >= 100)
        snprintf(buf, sizeof buf, "%d.%dM", code / 1000, code % 1000 / 100);
    else if (code >= 111)
        snprintf(buf, sizeof buf, "%dM", code / 1000);
    else
        snprintf(buf, sizeof buf, "VHTMCS%d", code - 101);
    return buf;
}
