// ac_sim: management-list and configuration requests (add, delete, apply).
#include <string>

#include "acsim.h"

namespace acsim {

namespace {

// Reads TLV items until a u16 type of 0; adds the bytes of the items to *total.
bool read_tlv_list(session &s, uint32_t *total, size_t *items) {
    for (;;) {
        uint16_t type, klen, vlen;
        if (!s.c.u16(type)) return false;
        if (type == 0) return true;
        std::string key, value;
        if (!s.c.u16(klen) || !s.c.text(klen, key) || !s.c.u16(vlen) || !s.c.text(vlen, value))
            return false;
        *total += 6u + klen + vlen;
        ++*items;
    }
}

}  // namespace

// One MAC per request; the TLV bytes count is followed by exactly that many bytes of items.
bool handle_add_wtp(session &s) {
    mac_t mac;
    uint16_t bytes;
    if (!s.c.mac(mac) || !s.c.u16(bytes)) return false;
    uint32_t left = bytes;
    size_t items = 0;
    while (left > 0) {
        uint16_t type, klen, vlen;
        std::string key, value;
        if (left < 6 || !s.c.u16(type) || !s.c.u16(klen) || left < 6u + klen ||
            !s.c.text(klen, key) || !s.c.u16(vlen) || left < 6u + klen + vlen ||
            !s.c.text(vlen, value)) {
            s.c.error("TLV items do not fill the announced " + std::to_string(bytes) + " bytes");
            return false;
        }
        left -= 6u + klen + vlen;
        ++items;
    }
    s.c.note("mac=" + mac_text(mac) + " items=" + std::to_string(items));
    s.c.put_u8(result_for(s.cfg, mac, "add"));
    return true;
}

bool handle_del_wtp(session &s) {
    mac_t mac;
    if (!s.c.mac(mac)) return false;
    s.c.note("mac=" + mac_text(mac));
    s.c.put_u8(result_for(s.cfg, mac, "del"));
    return true;
}

// Reply per MAC: result, message length and message (attribute cfg_msg of the WTP).
bool handle_config(session &s) {
    uint32_t len, wait;
    uint8_t type, several;
    std::vector<mac_t> macs;
    if (!s.c.u32(len) || !read_mac_list(s, macs) || !s.c.u8(type) || !s.c.u32(wait) ||
        !s.c.u8(several))
        return false;
    size_t lists = several ? macs.size() : 1;
    uint32_t sum = 0;
    size_t items = 0;
    for (size_t i = 0; i < lists; ++i) {
        uint32_t total = 0;
        if (!read_tlv_list(s, &total, &items)) return false;
        sum += total + 2;
    }
    check_len(s, len, 6u * static_cast<uint32_t>(macs.size()) + 8 + sum);
    s.c.note("wtps=" + std::to_string(macs.size()) + " type=" + std::to_string(type) +
             " wait=" + std::to_string(wait) + " several=" + std::to_string(several) +
             " items=" + std::to_string(items));
    for (const mac_t &m : macs) {
        s.c.put_u8(result_for(s.cfg, m, "cfg"));
        std::string msg = attr(find_wtp(s.cfg, m), "cfg_msg");
        if (msg.size() > 255) msg.resize(255);
        s.c.put_u8(static_cast<uint8_t>(msg.size()));
        s.c.put_bytes(msg.data(), msg.size());
    }
    return true;
}

}  // namespace acsim
