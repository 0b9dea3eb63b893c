// ac_sim: management-list and configuration requests (add, delete, apply).
#include <string>

#include "acsim_json.h"
#include "acsim_keys.h"

namespace acsim {

namespace {

bool past_length(session &s, uint32_t len) {
    s.c.error("TLV items go on past the body length " + std::to_string(len));
    return false;
}

// Result codes the AC answers with.
constexpr uint8_t RESULT_FAILED = 1;
constexpr uint8_t RESULT_NOT_FOUND = 6;
constexpr uint8_t RESULT_MAX_MANAGED = 7;
constexpr uint8_t RESULT_ALREADY_MANAGED = 8;
constexpr uint8_t RESULT_NOT_MANAGED = 9;
constexpr uint8_t RESULT_INCORRECT_CONFIG = 19;

// Item type of the fixed IP settings in an add request (20 bytes: IP, mask, gateway, DNS).
constexpr uint16_t ADD_ITEM_IP = 3;

// Reads TLV items until a u16 type of 0, within the `*left` bytes that the body length
// leaves them (the end marker included); adds the bytes of the items to *total. Items that
// go on past the body length end the request.
bool read_tlv_list(session &s, uint32_t len, uint32_t *left, uint32_t *total,
                   std::vector<tlv> &items) {
    for (;;) {
        tlv it;
        uint16_t klen, vlen;
        if (*left < 2) return past_length(s, len);
        if (!s.c.u16(it.type)) return false;
        *left -= 2;
        if (it.type == 0) return true;
        if (*left < 4 || !s.c.u16(klen) || *left < 4u + klen) return past_length(s, len);
        if (!s.c.text(klen, it.key) || !s.c.u16(vlen)) return false;
        if (*left < 4u + klen + vlen) return past_length(s, len);
        if (!s.c.text(vlen, it.value)) return false;
        *left -= 4u + klen + vlen;
        *total += 6u + klen + vlen;
        items.push_back(std::move(it));
    }
}

bool managed(const json &rec) {
    auto m = rec.find("managed");
    return m != rec.end() && m->is_number() && *m != 0;
}

size_t managed_count(const json &doc) {
    size_t n = 0;
    auto list = doc.find("wtp_list");
    if (list != doc.end() && list->is_array())
        for (const json &rec : *list) n += managed(rec);
    return n;
}

// Makes the change to a copy of the status fleet and puts it in place; the AC summary's
// count of managed WTPs follows. Result 0, or `failed` with the reason noted.
template <typename Change>
uint8_t change_fleet(session &s, uint8_t failed, std::string &why, Change change) {
    json doc = s.cfg.status->doc;
    if (!change(doc)) return failed;
    auto ac = doc.find("ac_info");
    if (ac != doc.end() && ac->is_object()) (*ac)["managed_wtps"] = managed_count(doc);
    if (!commit_status(s.cfg, std::move(doc), why)) return failed;
    return 0;
}

// Adds `mac` to the management list (with the fixed IP settings when given): a WTP of the
// status fleet becomes managed, an unknown one is listed as not yet joined.
uint8_t add_to_fleet(session &s, const mac_t &mac, const std::vector<tlv> &items) {
    const uint8_t *ip = nullptr;
    for (const tlv &it : items)
        if (it.type == ADD_ITEM_IP && it.key.empty() && it.value.size() == 20)
            ip = reinterpret_cast<const uint8_t *>(it.value.data());
    std::string why;
    uint8_t code = RESULT_FAILED;
    uint8_t r = change_fleet(s, RESULT_FAILED, why, [&](json &doc) {
        json *rec = find_record(doc, mac);
        if (rec && managed(*rec)) {
            code = RESULT_ALREADY_MANAGED;
            why = "already managed";
            return false;
        }
        if (!rec) {
            uint32_t max = 512;
            auto ac = doc.find("ac_info");
            if (ac != doc.end() && ac->is_object() && ac->contains("max_wtps") &&
                (*ac)["max_wtps"].is_number_unsigned())
                max = (*ac)["max_wtps"].get<uint32_t>();
            if (managed_count(doc) >= max) {
                code = RESULT_MAX_MANAGED;
                why = "the management list is full";
                return false;
            }
            doc["wtp_list"].push_back({{"wtp_type", 0}, {"mac", mac_upper(mac.data())},
                                       {"managed", 1}, {"state", 0}});
            rec = &doc["wtp_list"].back();
        }
        (*rec)["managed"] = 1;
        if (ip) set_ip_settings(*rec, ip);
        return true;
    });
    if (r) s.c.note("refused: " + why);
    return r ? code : 0;
}

uint8_t delete_from_fleet(session &s, const mac_t &mac) {
    std::string why;
    uint8_t code = RESULT_FAILED;
    uint8_t r = change_fleet(s, RESULT_FAILED, why, [&](json &doc) {
        json *rec = find_record(doc, mac);
        if (!rec || !managed(*rec)) {
            code = rec ? RESULT_NOT_MANAGED : RESULT_NOT_FOUND;
            why = rec ? "not managed" : "not found";
            return false;
        }
        (*rec)["managed"] = 0;
        return true;
    });
    if (r) s.c.note("refused: " + why);
    return r ? code : 0;
}

// Applies one list to the WTP; the reason of a refusal becomes the reply's message.
uint8_t configure(session &s, const mac_t &mac, uint8_t dev, const std::vector<tlv> &items,
                  std::string &msg) {
    uint8_t code = RESULT_INCORRECT_CONFIG;
    uint8_t r = change_fleet(s, code, msg, [&](json &doc) {
        json *rec = find_record(doc, mac);
        if (!rec || !managed(*rec)) {
            code = rec ? RESULT_NOT_MANAGED : RESULT_NOT_FOUND;
            return false;
        }
        return apply_items(*rec, dev, items, msg);
    });
    if (r) s.c.note(mac_text(mac) + " refused: " + (msg.empty() ? "result" : msg));
    return r ? code : 0;
}

}  // namespace

// One MAC per request; the TLV bytes count is followed by exactly that many bytes of items.
bool handle_add_wtp(session &s) {
    mac_t mac;
    uint16_t bytes;
    if (!s.c.mac(mac) || !s.c.u16(bytes)) return false;
    uint32_t left = bytes;
    std::vector<tlv> items;
    while (left > 0) {
        tlv it;
        uint16_t klen, vlen;
        if (left < 6 || !s.c.u16(it.type) || !s.c.u16(klen) || left < 6u + klen ||
            !s.c.text(klen, it.key) || !s.c.u16(vlen) || left < 6u + klen + vlen ||
            !s.c.text(vlen, it.value)) {
            s.c.error("TLV items do not fill the announced " + std::to_string(bytes) + " bytes");
            return false;
        }
        left -= 6u + klen + vlen;
        items.push_back(std::move(it));
    }
    s.c.note("mac=" + mac_text(mac) + " items=" + std::to_string(items.size()));
    bool fleet = s.cfg.status && !result_fixed(s.cfg, mac, "add");
    s.c.put_u8(fleet ? add_to_fleet(s, mac, items) : result_for(s.cfg, mac, "add"));
    return true;
}

bool handle_del_wtp(session &s) {
    mac_t mac;
    if (!s.c.mac(mac)) return false;
    s.c.note("mac=" + mac_text(mac));
    bool fleet = s.cfg.status && !result_fixed(s.cfg, mac, "del");
    s.c.put_u8(fleet ? delete_from_fleet(s, mac) : result_for(s.cfg, mac, "del"));
    return true;
}

// Reply per MAC: result, message length and message (attribute cfg_msg of the WTP, else
// what was wrong with the configuration).
bool handle_config(session &s) {
    uint32_t len, wait;
    uint8_t type, several;
    std::vector<mac_t> macs;
    if (!s.c.u32(len)) return false;
    // The body length bounds what is read: no more than it announces, and it announces
    // no more than a real configuration could need.
    if (len > CONFIG_BODY_MAX) {
        s.c.error("body length " + std::to_string(len) + ", more than " +
                  std::to_string(CONFIG_BODY_MAX) + " bytes");
        return false;
    }
    if (!read_mac_list(s, macs) || !s.c.u8(type) || !s.c.u32(wait) || !s.c.u8(several))
        return false;
    uint64_t fields = 6u * uint64_t{macs.size()} + 8;
    uint32_t left = len > fields ? static_cast<uint32_t>(len - fields) : 0;
    std::vector<std::vector<tlv>> lists(several ? macs.size() : 1);
    uint32_t sum = 0;
    size_t items = 0;
    for (std::vector<tlv> &list : lists) {
        uint32_t total = 0;
        if (!read_tlv_list(s, len, &left, &total, list)) return false;
        sum += total + 2;
        items += list.size();
    }
    check_len(s, len, 6u * static_cast<uint32_t>(macs.size()) + 8 + sum);
    s.c.note("wtps=" + std::to_string(macs.size()) + " type=" + std::to_string(type) +
             " wait=" + std::to_string(wait) + " several=" + std::to_string(several) +
             " items=" + std::to_string(items));
    for (size_t i = 0; i < macs.size(); ++i) {
        const mac_t &m = macs[i];
        std::string msg;
        uint8_t r;
        if (s.cfg.status && !result_fixed(s.cfg, m, "cfg"))
            r = configure(s, m, type, lists[several ? i : 0], msg);
        else
            r = result_for(s.cfg, m, "cfg");
        std::string fixed = attr(find_wtp(s.cfg, m), "cfg_msg");
        if (!fixed.empty()) msg = fixed;
        if (msg.size() > 255) msg.resize(255);
        s.c.put_u8(r);
        s.c.put_u8(static_cast<uint8_t>(msg.size()));
        s.c.put_bytes(msg.data(), msg.size());
    }
    return true;
}

}  // namespace acsim
