// ac_sim: radio requests (site survey, background survey, automatic channel and power,
// client kick).
#include <string>

#include "acsim.h"

namespace acsim {

bool handle_scan(session &s) {
    uint16_t len;
    uint8_t radio;
    std::vector<mac_t> macs;
    if (!s.c.u16(len) || !s.c.u8(radio) || !read_mac_list(s, macs)) return false;
    check_len(s, len, 6u * static_cast<uint32_t>(macs.size()) + 3);
    s.c.note("wtps=" + std::to_string(macs.size()) + " radio=" + std::to_string(radio));
    put_results(s, macs, "scan");
    return true;
}

namespace {

// The common body of the background-survey, channel and power requests.
bool read_radio_auto(session &s) {
    uint16_t len;
    uint32_t radio, period;
    uint8_t enable;
    if (!s.c.u16(len) || !s.c.u32(radio) || !s.c.u8(enable) || !s.c.u32(period)) return false;
    check_len(s, len, 9);
    s.c.note("radio=" + std::to_string(radio) + " enable=" + std::to_string(enable) +
             " period=" + std::to_string(period));
    return true;
}

}  // namespace

// Reply: u32 count and that many status bytes, from the global bgscan_status
// (comma-separated codes; none by default).
bool handle_bg_scan(session &s) {
    if (!read_radio_auto(s)) return false;
    std::vector<uint8_t> status;
    std::string list = global(s.cfg, "bgscan_status");
    size_t pos = 0;
    while (pos < list.size()) {
        size_t comma = list.find(',', pos);
        if (comma == std::string::npos) comma = list.size();
        uint32_t v = 0;
        if (parse_number(list.substr(pos, comma - pos), v)) status.push_back(static_cast<uint8_t>(v));
        pos = comma + 1;
    }
    s.c.put_u32(static_cast<uint32_t>(status.size()));
    s.c.put_bytes(status.data(), status.size());
    return true;
}

bool handle_auto_channel(session &s) { return read_radio_auto(s); }

bool handle_auto_txpower(session &s) { return read_radio_auto(s); }

bool handle_kick(session &s) {
    uint16_t len;
    uint8_t radio, wlan;
    std::vector<mac_t> clients, macs;
    if (!s.c.u16(len) || !s.c.u8(radio) || !s.c.u8(wlan) || !read_mac_list(s, clients) ||
        !read_mac_list(s, macs))
        return false;
    check_len(s, len, (6u * static_cast<uint32_t>(clients.size() + 1 + macs.size())) & 0xFFFF);
    s.c.note("wtps=" + std::to_string(macs.size()) + " clients=" + std::to_string(clients.size()) +
             " radio=" + std::to_string(radio) + " wlan=" + std::to_string(wlan));
    put_results(s, macs, "kick");
    return true;
}

}  // namespace acsim
