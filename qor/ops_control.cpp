// WTP control commands: rst, sh, cac, dbg.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <new>

#include "ops.h"

namespace {

// Body lengths (bytes after the length field) of the requests that carry one; `s` is the
// length of the request's text.
size_t reset_body_len(size_t n) { return 6 * n + 8; }
size_t shell_body_len(size_t n, size_t s) { return 6 * n + 9 + s; }
size_t change_ac_body_len(size_t n, size_t s) { return 6 * n + 3 + s; }

// The address text of a change-AC request travels with an 8-bit length.
constexpr size_t CHANGE_AC_TEXT_MAX = 0xFF;

}  // namespace

// ---- requests --------------------------------------------------------------------------

int request_reset(int sock, const std::vector<mac_addr> &macs, uint8_t factory, uint32_t wait,
                  uint8_t flick_reboot) {
    size_t n = macs.size();
    wire_buf req;
    req.u8(REQ_RESET);
    req.u16(static_cast<uint16_t>(reset_body_len(n)));
    req.u8(factory);
    req.u8(flick_reboot);
    req.u32(wait);
    req.u16(static_cast<uint16_t>(n));
    req.macs(macs);
    if (send_request(sock, req)) return 1;
    reply_reader in(sock);
    return recv_results(in, macs);
}

int request_shell(int sock, const std::vector<mac_addr> &macs, uint8_t output_type,
                  uint32_t timeout, const std::string &command, std::vector<std::string> &outputs,
                  std::vector<bool> &present) {
    size_t n = macs.size();
    size_t s = command.size();
    try {
        outputs.assign(n, std::string());
        present.assign(n, false);
    } catch (const std::bad_alloc &) {
        fprintf(stderr, "ERROR: Out of memory\n");
        return 1;
    }
    wire_buf req;
    req.u8(REQ_SHELL);
    req.u16(static_cast<uint16_t>(shell_body_len(n, s)));
    req.u16(static_cast<uint16_t>(n));
    req.macs(macs);
    req.u8(output_type);
    req.u32(timeout);
    req.u16(static_cast<uint16_t>(s));
    req.bytes(command.data(), s);
    if (send_request(sock, req)) return 1;
    reply_reader in(sock);
    for (size_t i = 0; i < n; ++i) {
        uint8_t code;
        if (recv_u8(in, &code)) return 1;
        if (code != 0) {
            report_result(code, macs[i].data());
            continue;
        }
        // A zero length is an empty output, not a missing one.
        if (recv_text16(in, outputs[i], nullptr, "ERROR: Out of memory.\n")) return 1;
        present[i] = true;
    }
    return 0;
}

int request_change_ac(int sock, const std::vector<mac_addr> &macs, const std::string &address) {
    size_t n = macs.size();
    size_t s = address.size() & CHANGE_AC_TEXT_MAX;
    wire_buf req;
    req.u8(REQ_CHANGE_AC);
    req.u16(static_cast<uint16_t>(change_ac_body_len(n, s)));
    req.u16(static_cast<uint16_t>(n));
    req.macs(macs);
    req.u8(static_cast<uint8_t>(s));
    req.bytes(address.data(), s);
    if (send_request(sock, req)) return 1;
    reply_reader in(sock);
    return recv_results(in, macs);
}

int request_debug(int sock, uint32_t enable, uint32_t wtp_flag, const uint8_t mac[6]) {
    wire_buf req;
    req.u8(REQ_DEBUG);
    req.u32(enable);
    req.u32(wtp_flag);
    req.bytes(mac, 6);
    return send_request(sock, req);
}

// ---- handlers --------------------------------------------------------------------------

int cmd_rst(const option_arg *args, int count) {
    mac_list_option mac;
    uint8_t factory = 0, flick = 0;
    uint32_t wait = 0;
    for (int i = 0; i < count; ++i) {
        const option_arg &a = args[i];
        if (option_refused(a)) return 1;
        switch (a.code) {
        case OPT_MAC:
            if (mac.take(a)) return 1;
            break;
        case OPT_FACTORY: factory = 1; break;
        case OPT_WAIT: wait = static_cast<uint32_t>(decimal_value(a.value)); break;
        case OPT_FLICKREBOOT: flick = 1; break;
        }
    }
    if (!mac.given()) return opt_require(OPT_MAC);
    if (!body_len_fits(reset_body_len(mac.macs.size()))) return opt_invalid(OPT_MAC, mac.text);
    return request_reset(ac_sock, mac.macs, factory, wait, flick);
}

int cmd_sh(const option_arg *args, int count) {
    mac_list_option mac;
    const char *command = nullptr;
    uint8_t type = 0;
    uint32_t timeout = 0;
    for (int i = 0; i < count; ++i) {
        const option_arg &a = args[i];
        if (option_refused(a)) return 1;
        switch (a.code) {
        case OPT_MAC:
            if (mac.take(a)) return 1;
            break;
        case OPT_TYPE: {
            int v = decimal_value(a.value);
            if (v < 0 || v > 2) return opt_invalid(a.code, a.value);
            type = static_cast<uint8_t>(v);
            break;
        }
        case OPT_CMD: command = a.value; break;
        case OPT_TIMEOUT: {
            int v = decimal_value(a.value);
            if (v < 0) return opt_invalid(a.code, a.value);
            timeout = static_cast<uint32_t>(v);
            break;
        }
        }
    }
    if (!mac.given()) return opt_require(OPT_MAC);
    if (!command) return opt_require(OPT_CMD);
    // The body length and the text length are 16-bit fields: refuse what would wrap.
    if (!body_len_fits(shell_body_len(mac.macs.size(), strlen(command))))
        return opt_invalid(OPT_CMD, command);

    std::vector<std::string> outputs;
    std::vector<bool> present;
    if (request_shell(ac_sock, mac.macs, type, timeout, command, outputs, present)) return 1;
    for (size_t i = 0; i < mac.macs.size(); ++i) {
        if (!present[i]) continue;
        const mac_addr &m = mac.macs[i];
        printf("WTP %02x:%02x:%02x:%02x:%02x:%02x output:\n", m[0], m[1], m[2], m[3], m[4], m[5]);
        fwrite(outputs[i].data(), 1, outputs[i].size(), stdout);
        putchar('\n');
        std::string().swap(outputs[i]);
    }
    return 0;
}

int cmd_cac(const option_arg *args, int count) {
    mac_list_option mac;
    const char *address = nullptr;
    for (int i = 0; i < count; ++i) {
        const option_arg &a = args[i];
        if (option_refused(a)) return 1;
        switch (a.code) {
        case OPT_MAC:
            if (mac.take(a)) return 1;
            break;
        case OPT_IP: {
            if (address) return opt_duplicate(a.code);
            if (strlen(a.value) > CHANGE_AC_TEXT_MAX) {
                fprintf(stderr, "ERROR: Invalid addr value '%s'.\n", a.value);
                return 1;
            }
            uint8_t ip[4];
            if (isdigit(static_cast<unsigned char>(a.value[0])) && !parse_ipv4(a.value, ip)) {
                fprintf(stderr, "ERROR: Invalid ip value '%s'.\n", a.value);
                return 1;
            }
            address = a.value;  // a host name is passed on untested
            break;
        }
        }
    }
    if (!mac.given()) return opt_require(OPT_MAC);
    if (!address) return opt_require(OPT_IP);
    if (!body_len_fits(change_ac_body_len(mac.macs.size(), strlen(address)))) return opt_invalid(OPT_MAC, mac.text);
    return request_change_ac(ac_sock, mac.macs, address);
}

int cmd_dbg(const option_arg *args, int count) {
    bool have_enable = false;
    uint32_t enable = 0, wtp = 0;
    uint8_t mac[6] = {0, 0, 0, 0, 0, 0};
    for (int i = 0; i < count; ++i) {
        const option_arg &a = args[i];
        if (option_refused(a)) return 1;
        switch (a.code) {
        case OPT_ENABLE:
            enable = decimal_value(a.value) != 0 ? 1 : 0;
            have_enable = true;
            break;
        case OPT_WTP: wtp = 1; break;
        case OPT_MAC: {
            uint8_t m[6];
            if (!parse_mac(a.value, m) || (m[0] & 1)) return opt_invalid(a.code, a.value);
            memcpy(mac, m, 6);
            break;
        }
        }
    }
    if (!have_enable) return opt_require(OPT_ENABLE);
    return request_debug(ac_sock, enable, wtp, mac);
}
