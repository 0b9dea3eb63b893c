// ac_sim: WTP records and the AC summary on the wire, encoded from the status fleet.
//
// One function per record kind, one line per wire field in wire order; each field names the
// member of the fleet document it comes from (the names of qor's JSON output).
#include <arpa/inet.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "acsim_json.h"

namespace acsim {

// ---- places in the document ---------------------------------------------------------

place::place(const json *value, std::string name)
    : value_(value && !value->is_null() ? value : nullptr), name_(std::move(name)) {}

std::string place::name(const char *key) const {
    return name_.empty() ? std::string(key) : name_ + "." + key;
}

std::string place::name(const char *key, size_t index) const {
    return name(key) + "[" + std::to_string(index) + "]";
}

void place::fail(const char *key, const std::string &what) const {
    throw fleet_error{key ? name(key) : name_, what};
}

const json *place::get(const char *key) const {
    if (!value_) return nullptr;
    auto it = value_->find(key);
    if (it == value_->end() || it->is_null()) return nullptr;
    return &*it;
}

place place::object(const char *key) const {
    const json *v = get(key);
    if (v && !v->is_object()) fail(key, "not an object");
    return place(v, name(key));
}

const json *place::array(const char *key) const {
    const json *v = get(key);
    if (v && !v->is_array()) fail(key, "not an array");
    return v;
}

std::vector<place> place::objects(const char *key) const {
    std::vector<place> out;
    const json *v = array(key);
    if (!v) return out;
    out.reserve(v->size());
    for (size_t i = 0; i < v->size(); ++i) {
        const json &e = (*v)[i];
        if (!e.is_object()) throw fleet_error{name(key, i), "not an object"};
        out.emplace_back(&e, name(key, i));
    }
    return out;
}

// ---- value forms ----------------------------------------------------------------------

namespace {

bool whole_value(const json &v, int64_t lo, int64_t hi, int64_t &out) {
    if (v.is_number_unsigned()) {
        uint64_t u = v.get<uint64_t>();
        if (u > static_cast<uint64_t>(hi)) return false;
        out = static_cast<int64_t>(u);
    } else if (v.is_number_integer()) {
        out = v.get<int64_t>();
    } else {
        return false;
    }
    return out >= lo && out <= hi;
}

std::string range_text(int64_t lo, int64_t hi) {
    return "not a whole number from " + std::to_string(lo) + " to " + std::to_string(hi);
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Leading decimal number as atoi reads it (blanks, a sign, digits); false past 32 bits.
bool leading_number(const char *s, int64_t &out) {
    while (*s == ' ' || (*s >= '\t' && *s <= '\r')) ++s;
    bool neg = *s == '-';
    if (*s == '-' || *s == '+') ++s;
    int64_t v = 0;
    for (; *s >= '0' && *s <= '9'; ++s) {
        v = v * 10 + (*s - '0');
        if (v > 0xFFFFFFFFll) return false;
    }
    out = neg ? -v : v;
    return true;
}

}  // namespace

int64_t whole(const place &p, const char *key, int64_t lo, int64_t hi) {
    const json *v = p.get(key);
    int64_t out = 0;
    if (v && !whole_value(*v, lo, hi, out)) p.fail(key, range_text(lo, hi));
    return out;
}

bool mac_from_text(const std::string &text, mac_t &mac) {
    if (text.size() != 17) return false;
    for (int i = 0; i < 6; ++i) {
        int hi = hex_digit(text[3 * i]), lo = hex_digit(text[3 * i + 1]);
        if (hi < 0 || lo < 0 || (i < 5 && text[3 * i + 2] != ':')) return false;
        mac[i] = static_cast<uint8_t>(hi * 16 + lo);
    }
    return true;
}

bool addr_from_text(const std::string &text, uint8_t out[4]) {
    return text.find('\0') == std::string::npos && inet_pton(AF_INET, text.c_str(), out) == 1;
}

bool text_to_rate(const std::string &text, uint32_t &code) {
    const char *t = text.c_str();
    int64_t n = 0, tenths = 0;
    if (text == "auto") {
        n = 0;
    } else if (const char *v = strstr(t, "VHTMCS")) {
        if (!leading_number(v + 6, n)) return false;
        n += 101;
    } else if (const char *m = strstr(t, "MCS")) {
        if (!leading_number(m + 3, n)) return false;
        n += 1;
    } else if (strchr(t, 'M')) {
        const char *dot = strchr(t, '.');
        if (!leading_number(t, n) || (dot && !leading_number(dot + 1, tenths))) return false;
        n = n * 1000 + tenths * 100;
    } else {
        return false;
    }
    if (n < 0 || n > std::numeric_limits<int32_t>::max()) return false;
    code = static_cast<uint32_t>(n);
    return true;
}

// ---- the wire writer ------------------------------------------------------------------

namespace {

constexpr int64_t I32_MIN = std::numeric_limits<int32_t>::min();
constexpr int64_t I32_MAX = std::numeric_limits<int32_t>::max();

class wire {
public:
    explicit wire(std::vector<uint8_t> &out) : out_(out) {}

    void put_u8(uint8_t v) { out_.push_back(v); }
    void put_u16(uint16_t v) {
        put_u8(static_cast<uint8_t>(v >> 8));
        put_u8(static_cast<uint8_t>(v));
    }
    void put_u32(uint32_t v) {
        put_u16(static_cast<uint16_t>(v >> 16));
        put_u16(static_cast<uint16_t>(v));
    }
    void put_bytes(const void *p, size_t n) {
        const uint8_t *b = static_cast<const uint8_t *>(p);
        out_.insert(out_.end(), b, b + n);
    }
    void put_text(const std::string &t) {
        put_u16(static_cast<uint16_t>(t.size()));
        put_bytes(t.data(), t.size());
    }

    void u8(const place &p, const char *key) { put_u8(static_cast<uint8_t>(whole(p, key, 0, 0xFF))); }
    void u16(const place &p, const char *key) {
        put_u16(static_cast<uint16_t>(whole(p, key, 0, 0xFFFF)));
    }
    void s16(const place &p, const char *key) {
        put_u16(static_cast<uint16_t>(whole(p, key, -32768, 32767)));
    }
    void u32(const place &p, const char *key) {
        put_u32(static_cast<uint32_t>(whole(p, key, 0, 0xFFFFFFFFll)));
    }
    void s32(const place &p, const char *key) {
        put_u32(static_cast<uint32_t>(whole(p, key, I32_MIN, I32_MAX)));
    }

    // Text member as it travels: u16 length, bytes; missing or "" = length 0 (absent).
    void text(const place &p, const char *key) { put_text(string(p, key, 0xFFFF)); }

    void mac(const place &p, const char *key) {
        mac_t m{};
        const json *v = p.get(key);
        if (v && (!v->is_string() || !mac_from_text(v->get<std::string>(), m)))
            p.fail(key, "not a MAC address");
        put_bytes(m.data(), m.size());
    }

    void addr(const place &p, const char *key) {
        uint8_t a[4] = {0, 0, 0, 0};
        const json *v = p.get(key);
        if (v && (!v->is_string() || !addr_from_text(v->get<std::string>(), a)))
            p.fail(key, "not a dotted IPv4 address");
        put_bytes(a, 4);
    }

    // "addr/mask/gateway": three addresses.
    void ipv4(const place &p, const char *key) {
        uint8_t a[12] = {};
        const json *v = p.get(key);
        if (v) {
            std::string t = v->is_string() ? v->get<std::string>() : std::string();
            size_t s1 = t.find('/'), s2 = s1 == std::string::npos ? s1 : t.find('/', s1 + 1);
            if (s2 == std::string::npos || !addr_from_text(t.substr(0, s1), a) ||
                !addr_from_text(t.substr(s1 + 1, s2 - s1 - 1), a + 4) ||
                !addr_from_text(t.substr(s2 + 1), a + 8))
                p.fail(key, "not three dotted IPv4 addresses address/mask/gateway");
        }
        put_bytes(a, sizeof a);
    }

    // The 21 capability bytes, an array of 21 numbers.
    void cfg_cap(const place &p, const char *key) {
        uint8_t b[21] = {};
        const json *v = p.array(key);
        if (v) {
            if (v->size() != 21) p.fail(key, "not 21 numbers");
            for (size_t i = 0; i < 21; ++i) {
                int64_t n;
                if (!whole_value((*v)[i], 0, 255, n))
                    throw fleet_error{p.name(key, i), range_text(0, 255)};
                b[i] = static_cast<uint8_t>(n);
            }
        }
        put_bytes(b, sizeof b);
    }

    // 16 digest bytes from 32 hex digits.
    void md5(const place &p, const char *key) {
        uint8_t b[16] = {};
        const json *v = p.get(key);
        if (v) {
            std::string t = v->is_string() ? v->get<std::string>() : std::string();
            if (t.size() != 32) p.fail(key, "not 32 hex digits");
            for (size_t i = 0; i < 16; ++i) {
                int hi = hex_digit(t[2 * i]), lo = hex_digit(t[2 * i + 1]);
                if (hi < 0 || lo < 0) p.fail(key, "not 32 hex digits");
                b[i] = static_cast<uint8_t>(hi * 16 + lo);
            }
        }
        put_bytes(b, sizeof b);
    }

    // A rate text as its rate code; missing = 0 (auto).
    void rate(const place &p, const char *key) {
        uint32_t code = 0;
        const json *v = p.get(key);
        if (v && (!v->is_string() || !text_to_rate(v->get<std::string>(), code)))
            p.fail(key, "not a rate (auto, MCSn, VHTMCSn, nM or n.nM)");
        put_u32(code);
    }

    // Any JSON value, travelling as its compact JSON text; missing or null = absent.
    void json_text(const place &p, const char *key) {
        const json *v = p.get(key);
        std::string t = v ? v->dump() : std::string();
        if (t.size() > 0xFFFF) p.fail(key, "longer than 65535 bytes as JSON text");
        put_text(t);
    }

    // Count of an array of `n` elements in a field that holds at most `max`.
    void count(const place &p, const char *key, size_t n, uint32_t max, int width) {
        if (n > max)
            p.fail(key, "holds " + std::to_string(n) + " elements; its count holds at most " +
                            std::to_string(max));
        if (width == 1)
            put_u8(static_cast<uint8_t>(n));
        else if (width == 2)
            put_u16(static_cast<uint16_t>(n));
        else
            put_u32(static_cast<uint32_t>(n));
    }

    // An array of MAC texts: u32 count (signed or not, either way it fits), then the MACs.
    void mac_list(const place &p, const char *key) {
        const json *v = p.array(key);
        size_t n = v ? v->size() : 0;
        count(p, key, n, static_cast<uint32_t>(I32_MAX), 4);
        for (size_t i = 0; i < n; ++i) {
            mac_t m{};
            const json &e = (*v)[i];
            if (!e.is_string() || !mac_from_text(e.get<std::string>(), m))
                throw fleet_error{p.name(key, i), "not a MAC address"};
            put_bytes(m.data(), m.size());
        }
    }

    // A text member of at most `max` bytes; "" when missing.
    static std::string string(const place &p, const char *key, size_t max) {
        const json *v = p.get(key);
        if (!v) return {};
        if (!v->is_string()) p.fail(key, "not a text");
        const std::string &t = v->get_ref<const std::string &>();
        if (t.size() > max) p.fail(key, "longer than " + std::to_string(max) + " bytes");
        return t;
    }

private:
    std::vector<uint8_t> &out_;
};

// ---- access point detail --------------------------------------------------------------

void station(wire &w, const place &s) {
    w.mac(s, "mac");
    w.u32(s, "tx");
    w.u32(s, "rx");
    // The JSON output quotes the RSSI; a plain number is taken too.
    const json *rssi = s.get("rssi");
    int64_t v = 0;
    if (rssi && rssi->is_string()) {
        const std::string &t = rssi->get_ref<const std::string &>();
        char *end = nullptr;
        errno = 0;
        long long n = strtoll(t.c_str(), &end, 10);
        if (t.empty() || *end || errno || isspace(static_cast<unsigned char>(t[0])) ||
            n < I32_MIN || n > I32_MAX)
            s.fail("rssi", "not a decimal number of dBm");
        v = n;
    } else {
        v = whole(s, "rssi", I32_MIN, I32_MAX);
    }
    w.put_u32(static_cast<uint32_t>(v));
    w.text(s, "os");
    w.text(s, "hostname");
    w.addr(s, "ip");
}

void wlan_status(wire &w, const place &l, uint32_t flags) {
    w.mac(l, "bssid");
    w.cfg_cap(l, "cfg_cap");
    w.u32(l, "tx_pkt");
    w.u32(l, "tx_bytes");
    w.u32(l, "rx_pkt");
    w.u32(l, "rx_bytes");
    if (!(flags & SEL_STA)) {
        w.put_u8(0);  // no station list
        return;
    }
    std::vector<place> stas = l.objects("sta");
    w.put_u8(1);
    w.count(l, "sta", stas.size(), 0xFFFFFFFFu, 4);
    for (const place &s : stas) station(w, s);
}

void radio_status(wire &w, const place &r, uint32_t flags) {
    w.mac(r, "mac");
    w.u32(r, "type");
    w.u32(r, "max_tx_power");
    w.cfg_cap(r, "cfg_cap");
    place cur = r.object("cur_cfg");
    w.s32(cur, "channel");
    w.u32(cur, "tx_power");
    w.u32(cur, "tx_power_percent");
    place mesh = r.object("mesh");
    w.s32(mesh, "role");
    w.mac(mesh, "bssid");
    std::vector<place> wlans = r.objects("wlan");
    w.count(r, "wlan", wlans.size(), 0xFFFFFFFFu, 4);
    for (const place &l : wlans) wlan_status(w, l, flags);
}

void ap_part(wire &w, const place &rec, uint32_t flags) {
    w.u32(rec, "cap_code");
    w.text(rec, "sku");
    w.cfg_cap(rec, "cfg_cap");
    if (!(flags & SEL_DETAIL)) {
        w.put_u8(0);  // no detail part
        return;
    }
    w.put_u8(1);
    std::vector<place> radios = rec.objects("radio");
    w.count(rec, "radio", radios.size(), 0xFF, 1);
    for (const place &r : radios) radio_status(w, r, flags);
}

// ---- switch detail --------------------------------------------------------------------

void topo_device(wire &w, const place &d) {
    w.u32(d, "type");
    w.u32(d, "system_time");
    w.u32(d, "update_time");
    w.u32(d, "link_info_last_time");
    w.u32(d, "no_link_info_first_time");
    w.mac(d, "mac");
    w.addr(d, "ip");
    w.text(d, "name");
    w.text(d, "model");  // the description
    std::vector<place> links = d.objects("link");
    // The link count is signed; "link_count" may carry one of 0 or less (no links follow).
    if (d.get("link_count")) {
        int64_t n = whole(d, "link_count", I32_MIN, I32_MAX);
        if (n > 0 && static_cast<size_t>(n) != links.size())
            d.fail("link_count", "is " + std::to_string(n) + " but link holds " +
                                     std::to_string(links.size()));
        if (n <= 0 && !links.empty()) d.fail("link_count", "is 0 or less but link is not empty");
        w.put_u32(static_cast<uint32_t>(n));
    } else {
        w.count(d, "link", links.size(), static_cast<uint32_t>(I32_MAX), 4);
    }
    for (const place &k : links) {
        w.u32(k, "local_port");
        w.mac(k, "mac");
        w.text(k, "remote_port");
    }
}

void switch_part(wire &w, const place &rec, uint32_t flags) {
    w.cfg_cap(rec, "cfg_cap");
    w.u32(rec, "flick_reboot_flag");
    if (!(flags & SEL_DETAIL)) {
        w.put_u8(0);
        return;
    }
    w.put_u8(1);
    // sw_max_port is also the count of the hardware ports.
    std::vector<place> hw = rec.objects("switch_hw_port");
    if (rec.get("sw_max_port") &&
        whole(rec, "sw_max_port", 0, 0xFFFFFFFFll) != static_cast<int64_t>(hw.size()))
        rec.fail("sw_max_port", "is not the number of elements of switch_hw_port (" +
                                    std::to_string(hw.size()) + ")");
    w.count(rec, "switch_hw_port", hw.size(), 0xFFFFFFFFu, 4);
    w.u32(rec, "sw_max_trunk");
    w.u32(rec, "sw_max_vlan_num");
    w.u32(rec, "sw_max_managed_ap");
    w.u32(rec, "sw_max_mirror_num");
    w.u32(rec, "sw_max_multicast_num");
    w.u32(rec, "sw_max_power_budget");
    w.u32(rec, "sw_min_power_budget");
    w.u32(rec, "sw_max_static_mac_num");
    w.u32(rec, "sw_max_trunk_member");
    w.u32(rec, "sw_dev_suport_type");
    for (const place &h : hw) {
        w.u32(h, "port");
        w.u32(h, "port_type");
    }
    std::vector<place> ports = rec.objects("switch_port");
    w.count(rec, "switch_port", ports.size(), 0xFF, 1);
    for (const place &p : ports) {
        w.u32(p, "port");
        w.u32(p, "enable");
        w.u32(p, "speed");
        w.u32(p, "link_status");
        w.u32(p, "flow_control");
        w.u32(p, "duplex");
        w.u32(p, "auto_neg");
    }
    std::vector<place> trunks = rec.objects("trunk_port");
    w.count(rec, "trunk_port", trunks.size(), 0xFF, 1);
    for (const place &t : trunks) {
        w.u32(t, "id");
        w.u32(t, "mode");
        w.text(t, "active_port");
        w.text(t, "port");
    }
    std::vector<place> lldp = rec.objects("lldp_dev_list");
    w.count(rec, "lldp_dev_list", lldp.size(), 0xFF, 1);
    for (const place &n : lldp) {
        w.mac(n, "mac");
        w.u32(n, "localPort");
        w.text(n, "remotePort");
        w.text(n, "name");
        w.text(n, "model");
    }
    place poe = rec.object("poe_global");
    w.u32(poe, "power_budget");
    w.u32(poe, "allocated_power");
    std::vector<place> poe_ports = rec.objects("poe_port");
    w.count(rec, "poe_port", poe_ports.size(), 0xFF, 1);
    for (const place &p : poe_ports) {
        for (const char *key : {"port", "enable", "poe_class", "priority", "power_limit_type",
                                "user_power_limit", "status", "output_voltage", "output_current",
                                "output_power", "temperature"})
            w.u32(p, key);
    }
    std::vector<place> devs = rec.objects("dev_list");
    w.count(rec, "dev_list", devs.size(), 0xFFFF, 2);
    for (const place &d : devs) topo_device(w, d);
}

// ---- configuration copy ---------------------------------------------------------------

// The portal settings a radio and a WLAN share (a WLAN adds its network type).
void portal_cfg(wire &w, const place &p) {
    w.u32(p, "enable");
    w.u32(p, "login_type");
    w.addr(p, "radius_server");
    w.text(p, "userurl");
    place garden = p.object("walled_garden");
    w.u32(garden, "enable");
    w.text(garden, "pages");
    w.u16(p, "radius_port");
    w.text(p, "radius_secret");
    w.u32(p, "session_timeout");
    w.u32(p, "session_timeout_enable");
    w.u32(p, "idle_timeout");
    w.u32(p, "idle_timeout_enable");
    w.u32(p, "accounting_enable");
    w.u32(p, "accounting_time");
    w.u32(p, "auth_type");
    w.text(p, "external_server");
    w.text(p, "external_secret");
    w.addr(p, "account_server");
    w.u16(p, "accounting_port");
    w.text(p, "accounting_secret");
    w.text(p, "uamformat");
    w.text(p, "local_auth");
    w.u16(p, "port");
    w.u32(p, "https_enable");
    w.text(p, "radius_secret2");
    w.addr(p, "radius_server2");
}

void band_steering(wire &w, const place &b) {
    for (const char *key : {"mode", "percent_en", "rssi_en", "rssi", "percent"}) w.s32(b, key);
}

// The WEP, WPA, RADIUS, accounting and NAS values travel whatever the security mode.
void wlan_cfg(wire &w, const place &l) {
    w.u32(l, "enable");
    w.text(l, "ssid");
    w.u32(l, "supr_ssid");
    w.u32(l, "sta_sep");
    w.u32(l, "isolation");
    w.u32(l, "layer2Isolation");
    w.mac_list(l, "l2macWlist");
    w.u32(l, "vlan");
    w.s32(l, "downloadlimit");
    w.s32(l, "uploadlimit");
    w.s32(l, "downperuser_en");
    w.s32(l, "uploadperuser_en");
    w.s32(l, "downloadMode");
    w.s32(l, "uploadMode");
    place roaming = l.object("roaming");
    w.u32(roaming, "enable");
    w.u32(roaming, "adv_search");
    place acl = l.object("acl");
    w.u32(acl, "mode");
    w.mac_list(acl, "mac");
    w.u32(l, "sec_mode");
    place wep = l.object("wep");
    w.u32(wep, "auth_type");
    w.u32(wep, "in_type");
    w.u32(wep, "key_len");
    w.u32(wep, "def_key");
    const json *keys = wep.array("key");
    if (keys && keys->size() > 4) wep.fail("key", "holds more than 4 keys");
    for (size_t k = 0; k < 4; ++k) {
        std::string t;
        if (keys && k < keys->size() && !(*keys)[k].is_null()) {
            const json &e = (*keys)[k];
            if (!e.is_string()) throw fleet_error{wep.name("key", k), "not a text"};
            t = e.get<std::string>();
            if (t.size() > 0xFFFF) throw fleet_error{wep.name("key", k), "longer than 65535 bytes"};
        }
        w.put_text(t);
    }
    place wpa = l.object("wpa");
    w.u32(wpa, "enc_mode");
    w.u32(wpa, "suiteb_en");
    w.text(wpa, "passphrase");
    w.u32(wpa, "group_key_int");
    place radius = wpa.object("radius");
    w.addr(radius, "addr");
    w.u16(radius, "port");
    w.text(radius, "secret");
    place acc = l.object("acc");
    w.u32(acc, "enable");
    w.addr(acc, "addr");
    w.u16(acc, "port");
    w.text(acc, "secret");
    w.u32(acc, "interval");
    place nas = l.object("nas");
    w.u32(nas, "id_enable");
    w.text(nas, "id");
    w.u32(nas, "port_enable");
    w.u16(nas, "port");
    w.u32(nas, "ip_enable");
    w.addr(nas, "ip");
    w.u32(wpa, "pmf_enable");
    place portal = l.object("portal");
    portal_cfg(w, portal);
    w.u32(portal, "network_type");
    w.json_text(l, "hotspot20");
    band_steering(w, l.object("bandsteering"));
}

void radio_cfg(wire &w, const place &r) {
    w.u32(r, "country");
    w.u32(r, "op_mode");
    w.u32(r, "wl_mode");
    place ch = r.object("channel");
    w.u32(ch, "ht");
    w.u32(ch, "ext");
    w.u32(ch, "val");
    w.u32(r, "tx_power");
    w.u32(r, "obey_regulatory_power");
    w.rate(r, "data_rate");
    w.u32(r, "bit_rate");
    w.u32(r, "ax_enable");
    w.u32(r, "rts_cts_threshold");
    w.u32(r, "distance");
    place agg = r.object("aggregation");
    w.u32(agg, "enable");
    w.u32(agg, "frames");
    w.u32(agg, "maxbytes");
    place lim = r.object("limited_clients");
    w.u32(lim, "enable");
    w.u32(lim, "count");
    portal_cfg(w, r.object("portal"));
    place mesh = r.object("mesh");
    w.s32(mesh, "enable");
    w.text(mesh, "id");
    w.text(mesh, "wpa_key");
    w.s16(mesh, "link_robust_threshold");
    place fh = r.object("fasthandover");
    w.s32(fh, "status");
    w.s32(fh, "rssi");
    std::vector<place> wlans = r.objects("wlan");
    w.count(r, "wlan", wlans.size(), 0xFFFFFFFFu, 4);
    for (const place &l : wlans) wlan_cfg(w, l);
}

void ap_cfg(wire &w, const place &c) {
    w.md5(c, "password_md5");
    w.s32(c, "bandsteer");
    band_steering(w, c.object("bandsteering"));
    place fh = c.object("fasthandover");
    w.s32(fh, "status");
    w.s32(fh, "rssi");
    place guest = c.object("guest_network");
    for (const char *key : {"addr", "mask", "start", "end", "wins"}) w.addr(guest, key);
    place led = c.object("led");
    for (const char *key : {"power", "lan", "wlan0", "wlan1", "wlan2", "mesh"}) w.s32(led, key);
    w.s32(c, "manage_vlan_id");
    w.s32(c, "log_remote_en");
    w.s32(c, "log_traffic_en");
    w.text(c, "log_remote_conf");
    // The LAN port count is signed; "lan_port_count" may carry one of 0 or less.
    std::vector<place> lan = c.objects("lan_port");
    if (c.get("lan_port_count")) {
        int64_t n = whole(c, "lan_port_count", I32_MIN, I32_MAX);
        if (n > 0 && static_cast<size_t>(n) != lan.size())
            c.fail("lan_port_count", "is " + std::to_string(n) + " but lan_port holds " +
                                         std::to_string(lan.size()));
        if (n <= 0 && !lan.empty())
            c.fail("lan_port_count", "is 0 or less but lan_port is not empty");
        w.put_u32(static_cast<uint32_t>(n));
    } else {
        w.count(c, "lan_port", lan.size(), static_cast<uint32_t>(I32_MAX), 4);
    }
    for (const place &p : lan) {
        w.s32(p, "en");
        w.s32(p, "vid");
        w.s32(p, "vlan_mode");
    }
    w.s32(c.object("mesh"), "enable_total");
    std::vector<place> radios = c.objects("radio");
    w.count(c, "radio", radios.size(), 0xFFFFFFFFu, 4);
    for (const place &r : radios) radio_cfg(w, r);
}

// The branch read for a switch and for any device type other than an access point.
void switch_cfg(wire &w, const place &c) {
    w.text(c, "sw_text");
    std::vector<place> ports = c.objects("switch_port");
    w.count(c, "switch_port", ports.size(), static_cast<uint32_t>(I32_MAX), 4);
    for (const place &p : ports) {
        w.u32(p, "mode");
        w.u32(p, "flow_control");
        w.u32(p, "port");
        w.text(p, "descp");
    }
    w.s32(c, "redundancyMode");
    w.mac_list(c, "manage_mac_list");
    w.u32(c, "power_budget");
    std::vector<place> poe = c.objects("poe_port");
    w.count(c, "poe_port", poe.size(), static_cast<uint32_t>(I32_MAX), 4);
    for (const place &p : poe) {
        for (const char *key : {"port", "enable", "user_power_limit", "power_limit_type", "priority"})
            w.u32(p, key);
    }
    w.u32(c, "pdl_enable");
    std::vector<place> pdl = c.objects("pd_lifeguard");
    w.count(c, "pd_lifeguard", pdl.size(), static_cast<uint32_t>(I32_MAX), 4);
    for (const place &p : pdl) {
        for (const char *key : {"port", "enable", "mode", "action"}) w.u32(p, key);
        w.addr(p, "specified_ip");
        for (const char *key : {"ping_interval", "ping_max_count", "power_recovery_interval",
                                "reboot_max_retry_count", "reboot_count", "pd_bootup_time"})
            w.u32(p, key);
        w.text(p, "status");
    }
    std::vector<place> st = c.objects("pdl_status");
    w.count(c, "pdl_status", st.size(), static_cast<uint32_t>(I32_MAX), 4);
    for (const place &p : st) {
        for (const char *key : {"port", "state", "mode", "polling_method"}) w.u32(p, key);
        w.text(p, "mac");
        w.addr(p, "management_ip");
        w.text(p, "action");
    }
}

void wtp_cfg(wire &w, const place &c, unsigned type) {
    w.ipv4(c, "ipv4");
    w.addr(c, "dns1");
    w.addr(c, "dns2");
    w.text(c, "name");
    w.text(c, "location");
    w.text(c, "admin");
    w.s32(c, "timezone");
    // Each AC list entry is a NUL-terminated text in a 256-byte field.
    const json *acs = c.array("ac_list");
    size_t n = acs ? acs->size() : 0;
    w.count(c, "ac_list", n, static_cast<uint32_t>(I32_MAX), 4);
    for (size_t i = 0; i < n; ++i) {
        const json &e = (*acs)[i];
        if (!e.is_string()) throw fleet_error{c.name("ac_list", i), "not a text"};
        const std::string &t = e.get_ref<const std::string &>();
        if (t.size() > 255 || t.find('\0') != std::string::npos)
            throw fleet_error{c.name("ac_list", i), "not a text of at most 255 bytes"};
        uint8_t field[256] = {};
        memcpy(field, t.data(), t.size());
        w.put_bytes(field, sizeof field);
    }
    if (type == 3)
        ap_cfg(w, c);
    else
        switch_cfg(w, c);
}

}  // namespace

// ---- records ----------------------------------------------------------------------------

void encode_record(const place &rec, uint32_t flags, std::vector<uint8_t> &out) {
    wire w(out);
    unsigned type = static_cast<unsigned>(whole(rec, "wtp_type", 0, 0xFF));
    w.put_u8(static_cast<uint8_t>(type));
    w.mac(rec, "mac");
    w.addr(rec, "ip");
    w.u16(rec, "port");
    w.text(rec, "model");
    w.text(rec, "sn");
    w.u8(rec, "managed");
    w.u8(rec, "unavaiable_fw");
    w.u8(rec, "upg_img");
    w.text(rec, "new_fw_img");
    w.text(rec, "new_fw_ver");
    w.u8(rec, "upg_state");
    w.u8(rec, "unavaiable_addr");
    w.u8(rec, "state");
    w.u8(rec, "sub_state");
    w.u8(rec, "progress");
    w.text(rec, "sw_ver");
    w.text(rec, "cw_ver");
    w.text(rec, "name");
    w.u32(rec, "uptime");
    w.u32(rec, "join_time");
    w.u32(rec, "last_time");
    w.u32(rec, "change_time");
    place cur = rec.object("cur_cfg");
    for (const char *key : {"ip", "mask", "gateway", "dns1", "dns2"}) w.addr(cur, key);
    place mem = rec.object("mem");
    w.u32(mem, "total");
    w.u32(mem, "used");
    if (type == 3)
        ap_part(w, rec, flags);
    else if (type == 2)
        switch_part(w, rec, flags);
    place cfg = rec.object("wtp_cfg");
    if ((flags & SEL_CFG) && !cfg.missing()) {
        w.put_u8(1);
        wtp_cfg(w, cfg, type);
    } else {
        w.put_u8(0);
    }
}

void encode_ac_info(const place &ac, std::vector<uint8_t> &out) {
    wire w(out);
    w.text(ac, "cw_ver");
    for (const char *key :
         {"max_wtps", "managed_wtps", "active_wtps", "total_sta", "upg_wtps", "redundant_mode"})
        w.u32(ac, key);
}

}  // namespace acsim
