// Firmware upgrade commands: upg, initfw, fwlist.
#include <cstdio>
#include <new>

#include "ops.h"

namespace {

// Body lengths (bytes after the length field) of the requests that carry one.
size_t upgrade_body_len(size_t n) { return 6 * n + 10; }
size_t fw_list_body_len(size_t n) { return 6 * n + 2; }

}  // namespace

// ---- requests --------------------------------------------------------------------------

int request_upgrade(int sock, const std::vector<mac_addr> &macs, uint32_t period, uint32_t type) {
    size_t n = macs.size();
    wire_buf req;
    req.u8(REQ_UPGRADE);
    req.u16(static_cast<uint16_t>(upgrade_body_len(n)));
    req.u16(static_cast<uint16_t>(n));
    req.u32(period);
    req.u32(type);
    req.macs(macs);
    if (send_request(sock, req)) return 1;
    reply_reader in(sock);
    return recv_results(in, macs);
}

int request_init_fw(int sock, uint32_t state) {
    wire_buf req;
    req.u8(REQ_INIT_FW);
    req.u32(state);
    return send_request(sock, req);
}

namespace {

// A u16 count and that many MACs.
int recv_mac_list(reply_reader &in, std::vector<mac_addr> &list) {
    uint16_t count;
    if (recv_u16(in, &count)) return 1;
    try {
        list.assign(count, mac_addr{});
    } catch (const std::bad_alloc &) {
        fprintf(stderr, "ERROR: Out of memory\n");
        return 1;
    }
    for (mac_addr &m : list)
        if (recv_bytes(in, m.data(), m.size())) return 1;
    return 0;
}

// "LABEL" and the first MAC, then ",MAC" for each further one; nothing for an empty list.
void print_step_list(const char *label, const std::vector<mac_addr> &list) {
    for (size_t i = 0; i < list.size(); ++i) {
        if (i == 0)
            printf("%s%s", label, mac_to_text(list[i].data()));
        else
            printf(",%s", mac_to_text(list[i].data()));
    }
}

}  // namespace

int request_fw_list(int sock, const std::vector<mac_addr> &macs, std::vector<mac_addr> &one_step,
                    std::vector<mac_addr> &two_step) {
    size_t n = macs.size();
    wire_buf req;
    req.u8(REQ_FW_LIST);
    req.u16(static_cast<uint16_t>(fw_list_body_len(n)));
    req.u16(static_cast<uint16_t>(n));
    req.macs(macs);
    if (send_request(sock, req)) return 1;
    // Per-WTP errors are reported but the lists that follow are still the answer.
    reply_reader in(sock);
    if (recv_results(in, macs, false)) return 1;
    if (recv_mac_list(in, one_step)) return 1;
    return recv_mac_list(in, two_step);
}

// ---- handlers --------------------------------------------------------------------------

int cmd_upg(const option_arg *args, int count) {
    mac_list_option mac;
    uint32_t period = 0, type = 0;
    for (int i = 0; i < count; ++i) {
        const option_arg &a = args[i];
        if (option_refused(a)) return 1;
        switch (a.code) {
        case OPT_PERIOD: period = static_cast<uint32_t>(decimal_value(a.value)); break;
        case OPT_TYPE: {
            // The AC knows types 0 to 2; negative numbers are passed on as they are.
            int v = decimal_value(a.value);
            if (v > 2) return opt_invalid(a.code, a.value);
            type = static_cast<uint32_t>(v);
            break;
        }
        case OPT_MAC:
            if (mac.take(a)) return 1;
            break;
        }
    }
    if (!mac.given()) return opt_require(OPT_MAC);
    if (!body_len_fits(upgrade_body_len(mac.macs.size()))) return opt_invalid(OPT_MAC, mac.text);
    return request_upgrade(ac_sock, mac.macs, period, type);
}

int cmd_initfw(const option_arg *args, int count) {
    uint32_t state = 0;
    for (int i = 0; i < count; ++i) {
        const option_arg &a = args[i];
        if (option_refused(a)) return 1;
        state = static_cast<uint32_t>(decimal_value(a.value));
    }
    return request_init_fw(ac_sock, state);
}

int cmd_fwlist(const option_arg *args, int count) {
    mac_list_option mac;
    for (int i = 0; i < count; ++i) {
        const option_arg &a = args[i];
        if (option_refused(a) || mac.take(a)) return 1;  // mac is its only option
    }
    if (!mac.given()) return opt_require(OPT_MAC);
    if (!body_len_fits(fw_list_body_len(mac.macs.size()))) return opt_invalid(OPT_MAC, mac.text);

    std::vector<mac_addr> one_step, two_step;
    if (request_fw_list(ac_sock, mac.macs, one_step, two_step)) return 1;
    // One run of text, no separators: scripts split it at the "step=" labels.
    print_step_list("one step=", one_step);
    print_step_list("two step=", two_step);
    return 0;
}
