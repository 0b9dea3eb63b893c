// ac_sim: configuration items applied to the status fleet, decoded with the simulator's own
// key tables (acsim_keys.h), not the client's.
//
// An item is found by its type and its number of index bytes: a key row (one index byte
// per array level of its key path, a list one byte fewer) or an array count item (one
// byte per array level, the last one the slot byte that selects nothing). Its value is
// decoded by the row's encoding and put where the key path and the index bytes point
// inside "wtp_cfg", in the member names of the JSON output; a count item sizes its array.
#include <cstdio>
#include <cstring>

#include "acsim_json.h"
#include "acsim_keys.h"

namespace acsim {

namespace {

uint32_t be32(const std::string &v) {
    const auto *b = reinterpret_cast<const uint8_t *>(v.data());
    return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
}

std::string dotted(const std::string &v, size_t at) {
    const auto *b = reinterpret_cast<const uint8_t *>(v.data()) + at;
    char buf[16];
    snprintf(buf, sizeof buf, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
    return buf;
}

// A text the fleet can hold (its JSON form is UTF-8).
bool holds_text(const std::string &t) {
    try {
        (void)json(t).dump();
        return true;
    } catch (const json::exception &) {
        return false;
    }
}

// Walks from "wtp_cfg" down the key path, creating objects that are missing. The last
// member is returned as is (an array member when `whole_array`, else its element).
// `where` names the place, e.g. "wtp_cfg.radio[1].wlan[0].ssid".
class locator {
public:
    locator(json &cfg, std::string &why) : cfg_(cfg), why_(why) {}

    json *find(const char *path, const std::string &index, bool whole_array, std::string &where) {
        const char *p = path + strlen("wtp_cfg.");
        json *at = &cfg_;
        size_t used = 0;
        where = "wtp_cfg";
        for (;;) {
            const char *dot = strchr(p, '.');
            std::string seg = dot ? std::string(p, dot) : std::string(p);
            bool array = seg.size() > 2 && seg.compare(seg.size() - 2, 2, "[]") == 0;
            if (array) seg.resize(seg.size() - 2);
            if (!at->is_object()) return fail(where, "is not an object");
            where += "." + seg;
            json &member = (*at)[seg];
            if (!array) {
                if (!dot) return &member;
                if (member.is_null()) member = json::object();
                at = &member;
                p = dot + 1;
                continue;
            }
            if (member.is_null()) member = json::array();
            if (!member.is_array()) return fail(where, "is not an array");
            if (!dot && whole_array) return &member;
            size_t i = static_cast<uint8_t>(index[used++]);
            where += "[" + std::to_string(i) + "]";
            if (!dot) {
                // An element of a scalar array (a WEP key): the array grows to it.
                while (member.size() <= i) member.push_back("");
                return &member[i];
            }
            if (i >= member.size()) return fail(where, "does not exist");
            at = &member[i];
            p = dot + 1;
        }
    }

private:
    json *fail(const std::string &where, const char *what) {
        why_ = where + " " + what;
        return nullptr;
    }

    json &cfg_;
    std::string &why_;
};

bool out_of_range(const key_row &row, int64_t v, const std::string &where, std::string &why) {
    if (v >= row.min && v <= row.max) return false;
    why = where + ": " + std::to_string(v) + " is out of range (" + std::to_string(row.min) +
          " to " + std::to_string(row.max) + ")";
    return true;
}

// The value of one item by its row's encoding; false with the reason.
bool decode(const key_row &row, const std::string &v, const std::string &where, json &out,
            std::string &why) {
    size_t size = form_size(row.form);
    bool multiple = is_list(row.form);
    if (size && (multiple ? v.size() % size != 0 : v.size() != size)) {
        why = where + ": " + std::to_string(v.size()) + " value bytes for " +
              (multiple ? "entries of " : "") + std::to_string(size);
        return false;
    }
    switch (row.form) {
    case FORM_U32:
    case FORM_U16: {
        uint32_t raw = row.form == FORM_U32 ? be32(v) : be32(std::string(2, '\0') + v);
        // Rows that take negative numbers hold signed ones.
        int64_t n = row.min >= 0 ? int64_t{raw}
                    : row.form == FORM_U32 ? int64_t{static_cast<int32_t>(raw)}
                                           : int64_t{static_cast<int16_t>(raw)};
        if (out_of_range(row, n, where, why)) return false;
        out = n;
        return true;
    }
    case FORM_TEXT:
        if (v.size() < static_cast<uint32_t>(row.min) || v.size() > static_cast<uint32_t>(row.max)) {
            why = where + ": " + std::to_string(v.size()) + " bytes of text, out of range (" +
                  std::to_string(row.min) + "-" + std::to_string(row.max) + ")";
            return false;
        }
        if (!holds_text(v)) {
            why = where + ": the text is not UTF-8";
            return false;
        }
        out = v;
        return true;
    case FORM_IPV4:
    case FORM_OPT_IPV4: out = dotted(v, 0); return true;
    case FORM_ADDR_TRIPLE: out = dotted(v, 0) + "/" + dotted(v, 4) + "/" + dotted(v, 8); return true;
    case FORM_RATE: out = rate_text(static_cast<int32_t>(be32(v))); return true;
    case FORM_DIGEST: out = digest_text(reinterpret_cast<const uint8_t *>(v.data())); return true;
    case FORM_MAC_LIST:
        out = json::array();
        for (size_t at = 0; at < v.size(); at += 6)
            out.push_back(mac_upper(reinterpret_cast<const uint8_t *>(v.data()) + at));
        return true;
    case FORM_NAME_LIST:
        out = json::array();
        for (size_t at = 0; at < v.size(); at += 256) {
            std::string name(v.c_str() + at, strnlen(v.data() + at, 256));
            if (name.size() == 256 || !holds_text(name)) {
                why = where + ": entry " + std::to_string(at / 256) +
                      " is not a UTF-8 text with its terminating zero";
                return false;
            }
            out.push_back(name);
        }
        return true;
    }
    return false;
}

bool apply_row(json &cfg, const key_row &row, const tlv &it, std::string &why) {
    std::string where;
    locator loc(cfg, why);
    json value;
    if (row.form == FORM_DIGEST) {
        // The access point keeps the digest only, and shows it as password_md5.
        json *slot = loc.find("wtp_cfg.password_md5", it.key, false, where);
        if (!slot || !decode(row, it.value, where, value, why)) return false;
        *slot = value;
        return true;
    }
    json *slot = loc.find(row.path, it.key, is_list(row.form), where);
    if (!slot || !decode(row, it.value, where, value, why)) return false;
    if (strcmp(row.path, "wtp_cfg.radio[].wlan[].hotspot20") == 0) {
        // hotspot20 is a JSON text of its own; an empty one is absent.
        const std::string &t = value.get_ref<const std::string &>();
        if (t.empty()) {
            *slot = nullptr;
            return true;
        }
        try {
            *slot = json::parse(t);
        } catch (const json::parse_error &) {
            why = where + ": not a JSON text";
            return false;
        }
        return true;
    }
    *slot = std::move(value);
    return true;
}

// A count item: its array gets that many elements (new ones empty objects).
bool apply_count(json &cfg, const count_row &count, const tlv &it, std::string &why) {
    std::string where;
    locator loc(cfg, why);
    json *array = loc.find(count.path, it.key, true, where);
    if (!array) return false;
    if (it.value.size() != 4) {
        why = where + ": " + std::to_string(it.value.size()) + " value bytes for a count of 4";
        return false;
    }
    uint32_t n = be32(it.value);
    if (n > ARRAY_ELEMENTS_MAX) {
        why = where + ": " + std::to_string(n) + " elements, more than index bytes reach";
        return false;
    }
    while (array->size() > n) array->erase(array->size() - 1);
    while (array->size() < n) array->push_back(json::object());
    // The LAN port count the fleet may carry beside the array gives way.
    if (strcmp(count.path, "wtp_cfg.lan_port[]") == 0) cfg.erase("lan_port_count");
    return true;
}

}  // namespace

json *find_record(json &doc, const mac_t &mac) {
    auto list = doc.find("wtp_list");
    if (list == doc.end() || !list->is_array()) return nullptr;
    for (json &rec : *list) {
        mac_t m{};
        auto it = rec.find("mac");
        if (it != rec.end() && it->is_string() && mac_from_text(it->get<std::string>(), m) &&
            m == mac)
            return &rec;
    }
    return nullptr;
}

void set_ip_settings(json &record, const uint8_t value[20]) {
    std::string v(reinterpret_cast<const char *>(value), 20);
    json &cfg = record["wtp_cfg"];
    if (!cfg.is_object()) cfg = json::object();
    cfg["ipv4"] = dotted(v, 0) + "/" + dotted(v, 4) + "/" + dotted(v, 8);
    cfg["dns1"] = dotted(v, 12);
    cfg["dns2"] = dotted(v, 16);
}

bool apply_items(json &record, uint8_t dev, const std::vector<tlv> &items, std::string &why) {
    uint8_t type = 0;
    auto t = record.find("wtp_type");
    if (t != record.end() && t->is_number_unsigned()) type = t->get<uint8_t>();
    bool switch_file = dev == DEV_SWITCH;
    if ((type == DEV_SWITCH || type == DEV_AP) && switch_file != (type == DEV_SWITCH)) {
        why = switch_file ? "a switch configuration for an access point"
                          : "an access-point configuration for a switch";
        return false;
    }
    json &cfg = record["wtp_cfg"];
    if (!cfg.is_object()) cfg = json::object();
    key_table table = keys_of(dev);
    key_table other = keys_of(switch_file ? DEV_AP : DEV_SWITCH);
    for (const tlv &it : items) {
        if (const key_row *row = find_key(table, it.type, it.key.size())) {
            if (!apply_row(cfg, *row, it, why)) return false;
            continue;
        }
        const count_row *count = find_count(it.type, it.key.size());
        if (count && has_keys_under(table, count->path)) {
            if (!apply_count(cfg, *count, it, why)) return false;
            continue;
        }
        // What qor sends whatever the device type is skipped: the count of an array the
        // device does not have, an empty list of the other device type's table.
        const key_row *theirs = find_key(other, it.type, it.key.size());
        if (count || (theirs && is_list(theirs->form) && it.value.empty())) continue;
        char key[3 * 64 + 1] = "";
        for (size_t i = 0; i < it.key.size() && i < 64; ++i)
            snprintf(key + 3 * i, 4, " %02x", static_cast<uint8_t>(it.key[i]));
        why = "item " + std::to_string(it.type) + " with index bytes" + (*key ? key : " (none)") +
              " has no key";
        return false;
    }
    return true;
}

}  // namespace acsim
