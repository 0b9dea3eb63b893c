// Radio operations: scan, bgscan, autoch, autotp, kick.
#include <cctype>
#include <cstdio>
#include <cstring>

#include "ops.h"

namespace {

// Radio keywords and the commands that take each one.
enum radio_use : unsigned {
    RADIO_SCAN = 1u << 0,
    RADIO_BGSCAN = 1u << 1,
    RADIO_AUTOCH = 1u << 2,
    RADIO_AUTOTP = 1u << 3,
    RADIO_KICK = 1u << 4,
};

struct radio_keyword {
    const char *text;
    uint8_t number;
    unsigned accepted_by;
};

constexpr radio_keyword radio_keywords[] = {
    {"2g", 0, RADIO_SCAN | RADIO_BGSCAN | RADIO_AUTOCH | RADIO_AUTOTP | RADIO_KICK},
    {"5g", 1, RADIO_SCAN | RADIO_BGSCAN | RADIO_AUTOCH | RADIO_AUTOTP | RADIO_KICK},
    {"5g1", 2, RADIO_BGSCAN | RADIO_AUTOTP | RADIO_KICK},
};

constexpr int RADIO_UNSET = -1;

// Body lengths (bytes after the length field) of the requests that carry one.
size_t scan_body_len(size_t n) { return 6 * n + 3; }
size_t kick_body_len(size_t clients, size_t wtps) { return 6 * (clients + 1 + wtps); }

// The radio number of keyword `text` for command `use`, or RADIO_UNSET.
int radio_number(const char *text, radio_use use) {
    for (const radio_keyword &k : radio_keywords)
        if ((k.accepted_by & use) && strcmp(text, k.text) == 0) return k.number;
    return RADIO_UNSET;
}

// The request behind each of the three radio-automation commands.
struct radio_auto_def {
    ac_request code;
    radio_use use;
    bool reads_status;  // the background survey answers with status bytes
};

constexpr radio_auto_def bgscan_def{REQ_BG_SCAN, RADIO_BGSCAN, true};
constexpr radio_auto_def autoch_def{REQ_AUTO_CHANNEL, RADIO_AUTOCH, false};
constexpr radio_auto_def autotp_def{REQ_AUTO_TXPOWER, RADIO_AUTOTP, false};

// Reads a u32 count and that many status bytes in pieces (the count is the AC's word,
// nothing is allocated for it). Returns 1 on a transport failure or a non-zero status.
int recv_status_bytes(reply_reader &in) {
    uint32_t count;
    if (recv_u32(in, &count)) return 1;
    int failed = 0;
    uint8_t chunk[256];
    while (count > 0) {
        size_t n = count < sizeof chunk ? count : sizeof chunk;
        if (recv_bytes(in, chunk, n)) return 1;
        for (size_t i = 0; i < n; ++i)
            if (chunk[i] != 0) failed = 1;
        count -= static_cast<uint32_t>(n);
    }
    return failed;
}

int run_radio_auto(const radio_auto_def &def, const option_arg *args, int count) {
    int radio = RADIO_UNSET;
    int enable = -1;
    uint32_t period = 0;
    for (int i = 0; i < count; ++i) {
        const option_arg &a = args[i];
        if (option_refused(a)) return 1;
        switch (a.code) {
        case OPT_RADIO: radio = radio_number(a.value, def.use); break;
        case OPT_ENABLE:
            if (strcmp(a.value, "0") != 0 && strcmp(a.value, "1") != 0)
                return opt_invalid_keyword(a.code);
            enable = a.value[0] - '0';
            break;
        case OPT_PERIOD: period = static_cast<uint32_t>(decimal_value(a.value)); break;
        }
    }
    if (radio == RADIO_UNSET) return opt_invalid_keyword(OPT_RADIO);
    if (enable < 0) return opt_invalid_keyword(OPT_ENABLE);
    return request_radio_auto(ac_sock, def.code, static_cast<uint32_t>(radio),
                              static_cast<uint8_t>(enable), period, def.reads_status);
}

}  // namespace

// ---- requests --------------------------------------------------------------------------

int request_scan(int sock, const std::vector<mac_addr> &macs, uint8_t radio) {
    size_t n = macs.size();
    wire_buf req;
    req.u8(REQ_SCAN);
    req.u16(static_cast<uint16_t>(scan_body_len(n)));
    req.u8(radio);
    req.u16(static_cast<uint16_t>(n));
    req.macs(macs);
    if (send_request(sock, req)) return 1;
    reply_reader in(sock);
    return recv_results(in, macs);
}

int request_radio_auto(int sock, uint8_t code, uint32_t radio, uint8_t enable, uint32_t period,
                       bool reads_status) {
    wire_buf req;
    req.u8(code);
    req.u16(9);
    req.u32(radio);
    req.u8(enable);
    req.u32(period);
    if (send_request(sock, req)) return 1;
    if (!reads_status) return 0;
    reply_reader in(sock);
    return recv_status_bytes(in);
}

int request_kick(int sock, const std::vector<mac_addr> &wtps, uint8_t radio, uint8_t wlan,
                 const std::vector<mac_addr> &clients) {
    size_t n = wtps.size(), c = clients.size();
    wire_buf req;
    req.u8(REQ_KICK);
    req.u16(static_cast<uint16_t>(kick_body_len(c, n)));
    req.u8(radio);
    req.u8(wlan);
    req.u16(static_cast<uint16_t>(c));
    req.macs(clients);
    req.u16(static_cast<uint16_t>(n));
    req.macs(wtps);
    if (send_request(sock, req)) return 1;
    reply_reader in(sock);
    return recv_results(in, wtps);
}

// ---- handlers --------------------------------------------------------------------------

int cmd_scan(const option_arg *args, int count) {
    mac_list_option mac;
    int radio = RADIO_UNSET;
    for (int i = 0; i < count; ++i) {
        const option_arg &a = args[i];
        if (option_refused(a)) return 1;
        switch (a.code) {
        case OPT_MAC:
            if (mac.take(a)) return 1;
            break;
        case OPT_RADIO: radio = radio_number(a.value, RADIO_SCAN); break;
        }
    }
    if (!mac.given()) return opt_require(OPT_MAC);
    if (radio == RADIO_UNSET) return opt_require(OPT_RADIO);
    if (!body_len_fits(scan_body_len(mac.macs.size()))) return opt_invalid(OPT_MAC, mac.text);
    return request_scan(ac_sock, mac.macs, static_cast<uint8_t>(radio));
}

int cmd_bgscan(const option_arg *args, int count) { return run_radio_auto(bgscan_def, args, count); }
int cmd_autoch(const option_arg *args, int count) { return run_radio_auto(autoch_def, args, count); }
int cmd_autotp(const option_arg *args, int count) { return run_radio_auto(autotp_def, args, count); }

int cmd_kick(const option_arg *args, int count) {
    mac_list_option mac, client;
    bool have_wlan = false;
    int radio = RADIO_UNSET;
    uint8_t wlan = 0;
    for (int i = 0; i < count; ++i) {
        const option_arg &a = args[i];
        if (option_refused(a)) return 1;
        switch (a.code) {
        case OPT_MAC:
            if (mac.take(a)) return 1;
            break;
        case OPT_RADIO: radio = radio_number(a.value, RADIO_KICK); break;
        case OPT_WLAN:
            if (!isdigit(static_cast<unsigned char>(a.value[0]))) {
                fprintf(stderr, "ERROR:  Invalid --%s argument '%s'.\n", option_name(a.code), a.value);
                return 1;
            }
            wlan = static_cast<uint8_t>(decimal_value(a.value));  // the low 8 bits travel
            have_wlan = true;
            break;
        case OPT_CLIENT:
            if (client.take(a)) return 1;
            break;
        }
    }
    if (!mac.given()) return opt_require(OPT_MAC);
    if (radio == RADIO_UNSET) return opt_require(OPT_RADIO);
    if (!have_wlan) return opt_require(OPT_WLAN);
    if (!client.given()) return opt_require(OPT_CLIENT);
    if (!body_len_fits(kick_body_len(client.macs.size(), mac.macs.size()))) {
        // Name the list that makes the request too long.
        if (client.macs.size() > mac.macs.size()) return opt_invalid(OPT_CLIENT, client.text);
        return opt_invalid(OPT_MAC, mac.text);
    }
    return request_kick(ac_sock, mac.macs, static_cast<uint8_t>(radio), wlan, client.macs);
}
