// ac_sim: status requests (WTP list, AC summary).
#include <string>

#include "acsim_json.h"

namespace acsim {

// Reply: WTP records, each after a 0 marker, then an end marker, from the status fleet as
// the selection flags and the MAC list choose them; without a status fleet the list is empty.
bool handle_wtp_list(session &s) {
    uint32_t flags;
    std::vector<mac_t> macs;
    if (!s.c.u32(flags) || !read_mac_list(s, macs)) return false;
    std::string note = "flags=" + std::to_string(flags) + " wtps=" + std::to_string(macs.size());
    if (s.cfg.status) {
        size_t records = 0;
        const std::vector<uint8_t> &reply = wtp_list_reply(*s.cfg.status, flags, macs, &records);
        note += " records=" + std::to_string(records) + " bytes=" + std::to_string(reply.size());
        s.c.put_prepared(reply);
    } else {
        s.c.put_u8(1);
    }
    s.c.note(note);
    return true;
}

// Reply: version text and six counters, from the status fleet's "ac_info" when it has one,
// else from globals (cw_ver, max_wtps, managed_wtps, active_wtps, total_sta, upg_wtps,
// redundant_mode).
bool handle_ac_info(session &s) {
    if (s.cfg.status && s.cfg.status->has_ac_info) {
        s.c.put_prepared(s.cfg.status->ac_info_reply);
        return true;
    }
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
