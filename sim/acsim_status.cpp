// ac_sim: status requests (WTP list, AC summary).
#include <string>

#include "acsim.h"

namespace acsim {

// Reply: WTP records, each after a 0 marker, then an end marker. Records are not
// served yet: the list is always empty.
bool handle_wtp_list(session &s) {
    uint32_t flags;
    std::vector<mac_t> macs;
    if (!s.c.u32(flags) || !read_mac_list(s, macs)) return false;
    s.c.note("flags=" + std::to_string(flags) + " wtps=" + std::to_string(macs.size()));
    s.c.put_u8(1);
    return true;
}

// Reply: version text and six counters, from globals (cw_ver, max_wtps, managed_wtps,
// active_wtps, total_sta, upg_wtps, redundant_mode).
bool handle_ac_info(session &s) {
    std::string ver = global(s.cfg, "cw_ver", "1.0");
    if (ver.size() > 0xFFFF) ver.resize(0xFFFF);
    s.c.put_u16(static_cast<uint16_t>(ver.size()));
    s.c.put_bytes(ver.data(), ver.size());
    std::string fleet_size = std::to_string(s.cfg.fleet.size());
    const char *keys[] = {"max_wtps", "managed_wtps", "active_wtps", "total_sta", "upg_wtps",
                          "redundant_mode"};
    const std::string defaults[] = {"512", fleet_size, fleet_size, "0", "0", "0"};
    for (int i = 0; i < 6; ++i) {
        uint32_t v = 0;
        parse_number(global(s.cfg, keys[i], defaults[i]), v);
        s.c.put_u32(v);
    }
    return true;
}

}  // namespace acsim
