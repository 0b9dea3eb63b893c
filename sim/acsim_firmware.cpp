// ac_sim: firmware upgrade requests (upgrade, upgrading state, firmware list).
#include <string>

#include "acsim.h"

namespace acsim {

bool handle_upgrade(session &s) {
    uint16_t len, n;
    uint32_t period, type;
    std::vector<mac_t> macs;
    if (!s.c.u16(len) || !s.c.u16(n) || !s.c.u32(period) || !s.c.u32(type) || !s.c.macs(n, macs))
        return false;
    check_len(s, len, 6u * n + 10);
    s.c.note("wtps=" + std::to_string(n) + " period=" + std::to_string(period) +
             " type=" + std::to_string(type));
    put_results(s, macs, "upg");
    return true;
}

bool handle_init_fw(session &s) {
    uint32_t state;
    if (!s.c.u32(state)) return false;
    s.c.note("state=" + std::to_string(state));
    return true;
}

// One-step and two-step lists: fleet WTPs with fwstep=1 or fwstep=2, among the
// requested ones when a list was given.
bool handle_fw_list(session &s) {
    uint16_t len;
    std::vector<mac_t> macs;
    if (!s.c.u16(len) || !read_mac_list(s, macs)) return false;
    check_len(s, len, 6u * static_cast<uint32_t>(macs.size()) + 2);
    s.c.note("wtps=" + std::to_string(macs.size()));
    put_results(s, macs, "fwlist");
    for (const char *step : {"1", "2"}) {
        std::vector<mac_t> picked;
        for (const wtp &w : s.cfg.fleet) {
            if (attr(&w, "fwstep") != step) continue;
            bool wanted = macs.empty();
            for (const mac_t &m : macs)
                if (m == w.mac) wanted = true;
            if (wanted) picked.push_back(w.mac);
        }
        s.c.put_u16(static_cast<uint16_t>(picked.size()));
        for (const mac_t &m : picked) s.c.put_mac(m);
    }
    return true;
}

}  // namespace acsim
