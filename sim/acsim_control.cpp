// ac_sim: WTP control requests (reset, debug, change AC, shell).
#include <string>

#include "acsim.h"

namespace acsim {

bool handle_reset(session &s) {
    uint16_t len, n;
    uint8_t factory, flick;
    uint32_t wait;
    std::vector<mac_t> macs;
    if (!s.c.u16(len) || !s.c.u8(factory) || !s.c.u8(flick) || !s.c.u32(wait) || !s.c.u16(n) ||
        !s.c.macs(n, macs))
        return false;
    check_len(s, len, 6u * n + 8);
    s.c.note("wtps=" + std::to_string(n) + " factory=" + std::to_string(factory) +
             " flickreboot=" + std::to_string(flick) + " wait=" + std::to_string(wait));
    put_results(s, macs, "rst");
    return true;
}

bool handle_debug(session &s) {
    uint32_t enable, wtp_flag;
    mac_t mac;
    if (!s.c.u32(enable) || !s.c.u32(wtp_flag) || !s.c.mac(mac)) return false;
    s.c.note("enable=" + std::to_string(enable) + " wtp=" + std::to_string(wtp_flag) +
             " mac=" + mac_text(mac));
    return true;
}

bool handle_change_ac(session &s) {
    uint16_t len;
    uint8_t tlen;
    std::vector<mac_t> macs;
    std::string address;
    if (!s.c.u16(len) || !read_mac_list(s, macs) || !s.c.u8(tlen) || !s.c.text(tlen, address))
        return false;
    check_len(s, len, 6u * static_cast<uint32_t>(macs.size()) + 3 + tlen);
    s.c.note("wtps=" + std::to_string(macs.size()) + " ac=" + address);
    put_results(s, macs, "cac");
    return true;
}

bool handle_shell(session &s) {
    uint16_t len, tlen;
    uint8_t type;
    uint32_t timeout;
    std::vector<mac_t> macs;
    std::string command;
    if (!s.c.u16(len) || !read_mac_list(s, macs) || !s.c.u8(type) || !s.c.u32(timeout) ||
        !s.c.u16(tlen) || !s.c.text(tlen, command))
        return false;
    check_len(s, len, (6u * static_cast<uint32_t>(macs.size()) + 9 + tlen) & 0xFFFF);
    s.c.note("wtps=" + std::to_string(macs.size()) + " type=" + std::to_string(type) +
             " timeout=" + std::to_string(timeout) + " cmd=" + command);
    for (const mac_t &m : macs) {
        uint8_t r = result_for(s.cfg, m, "sh");
        s.c.put_u8(r);
        if (r != 0) continue;
        std::string out = attr(find_wtp(s.cfg, m), "output");
        if (out.size() > 0xFFFF) out.resize(0xFFFF);
        s.c.put_u16(static_cast<uint16_t>(out.size()));
        s.c.put_bytes(out.data(), out.size());
    }
    return true;
}

}  // namespace acsim
