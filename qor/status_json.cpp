// JSON form of the WTP list: the member "wtp_list" (no braces around it), one object per
// record with its status, its radios or switch detail, and its configuration copy under
// "wtp_cfg". Also strip_all; the escaping of texts is in status_escape.cpp.
//
// A small writer places every separator and every bracket, so the printers below only
// name members in their order and never spell a comma. Everything goes into one output
// buffer (out_buf.h): numbers, addresses and MACs are formatted straight into it.
#include <array>
#include <cstdint>
#include <cstring>
#include <exception>
#include <string>

#include "rate.h"
#include "status.h"

// ---- text helpers --------------------------------------------------------------------

void strip_all(std::string &text, const char *old, const char *repl) {
    if (!old || !*old) return;  // an empty pattern occurs nowhere worth replacing
    if (!repl) repl = "";
    const size_t lo = strlen(old), lr = strlen(repl);
    size_t hit = text.find(old, 0, lo);
    if (hit == std::string::npos) return;

    if (lr <= lo) {
        // The text does not grow: compact it in place. The write position never passes
        // the read position, so the part still to be searched is untouched.
        char *d = text.data();
        size_t w = hit, r = hit;
        while (hit != std::string::npos) {
            memmove(d + w, d + r, hit - r);  // the run before the occurrence
            w += hit - r;
            memcpy(d + w, repl, lr);
            w += lr;
            r = hit + lo;
            hit = text.find(old, r, lo);
        }
        memmove(d + w, d + r, text.size() - r);
        text.resize(w + (text.size() - r));
        return;
    }

    // The text grows: build the result beside it; without memory it stays as it was.
    try {
        std::string out;
        size_t r = 0;
        while (hit != std::string::npos) {
            out.append(text, r, hit - r).append(repl, lr);
            r = hit + lo;
            hit = text.find(old, r, lo);
        }
        out.append(text, r, std::string::npos);
        text.swap(out);
    } catch (const std::exception &) {
    }
}

// ---- the writer ----------------------------------------------------------------------

namespace {

enum class text_kind {
    stored,   // a stored text through json_put_stored (a solidus stays as it is)
    escaped,  // a stored text passed through json_escape (empty if that fails)
};

// A member name: a string literal, its length known when compiling.
struct json_key {
    template <size_t N>
    constexpr json_key(const char (&name)[N]) : text(name), len(N - 1) {}
    const char *text;
    size_t len;
};

// The writer's members are kept out of line: each call site is then a call, not a copy of
// the formatting, and one check for room covers a whole member.
#define JSON_WRITER_CALL [[gnu::noinline]]

class json_writer {
public:
    // The writer owns the output buffer: its members are then reached at a fixed place from
    // the writer, not through a pointer read again after every store.
    json_writer() = default;

    [[gnu::always_inline]] void begin_object() { open('{'); }
    JSON_WRITER_CALL void begin_object(json_key key) { open(key, '{'); }
    [[gnu::always_inline]] void end_object() { close('}'); }
    [[gnu::always_inline]] void begin_array() { open('['); }
    JSON_WRITER_CALL void begin_array(json_key key) { open(key, '['); }
    [[gnu::always_inline]] void end_array() { close(']'); }

    // The members named by a literal are formatted in place at their call: the key's
    // length is then known when compiling, and the key is a few stores. Near the end of the
    // buffer they take the general forms below.
    template <size_t N>
    [[gnu::always_inline]] void member_u(const char (&key)[N], uint32_t v) {
        if (char *p = key_room(key, OUT_INT_MAX_LEN))
            out_.commit(format_u32(p, v));
        else
            member_u(json_key(key), v);
    }
    template <size_t N>
    [[gnu::always_inline]] void member_d(const char (&key)[N], int32_t v) {
        if (char *p = key_room(key, OUT_INT_MAX_LEN))
            out_.commit(format_i32(p, v));
        else
            member_d(json_key(key), v);
    }
    template <size_t N>
    [[gnu::always_inline]] void member_mac(const char (&key)[N], const mac_addr &mac) {
        if (char *p = key_room(key, OUT_MAC_LEN + 2)) {
            *p++ = '"';
            p = format_mac(p, mac.data());
            *p++ = '"';
            out_.commit(p);
        } else {
            member_mac(json_key(key), mac);
        }
    }
    template <size_t N>
    [[gnu::always_inline]] void member_ipv4(const char (&key)[N], uint32_t addr_net) {
        if (char *p = key_room(key, OUT_IPV4_MAX_LEN + 2)) {
            *p++ = '"';
            p = format_ipv4(p, addr_net);
            *p++ = '"';
            out_.commit(p);
        } else {
            member_ipv4(json_key(key), addr_net);
        }
    }
    template <size_t N>
    [[gnu::always_inline]] void member_s(const char (&key)[N], const std::string &text,
                                         text_kind kind) {
        if (char *p = key_room(key, 2)) {
            *p++ = '"';
            if (text.empty()) {  // many are
                *p++ = '"';
                out_.commit(p);
                return;
            }
            out_.commit(p);
            put_text(text, kind);
            end_string();
        } else {
            member_s(json_key(key), text, kind);
        }
    }
    template <size_t N>
    [[gnu::always_inline]] void begin_object(const char (&key)[N]) {
        open_key(key, '{');
    }
    template <size_t N>
    [[gnu::always_inline]] void begin_array(const char (&key)[N]) {
        open_key(key, '[');
    }

    JSON_WRITER_CALL void member_u(json_key key, uint32_t v) {
        if (char *p = out_.room(key.len + KEY_EXTRA + OUT_INT_MAX_LEN))
            out_.commit(format_u32(key_at(p, key), v));
        else
            member_u_near_end(key, v);
    }
    JSON_WRITER_CALL void member_d(json_key key, int32_t v) {
        if (char *p = out_.room(key.len + KEY_EXTRA + OUT_INT_MAX_LEN))
            out_.commit(format_i32(key_at(p, key), v));
        else
            member_d_near_end(key, v);
    }
    // A signed number as a quoted string.
    JSON_WRITER_CALL void member_quoted_d(json_key key, int32_t v) {
        begin_string(key);
        out_.put_i32(v);
        end_string();
    }
    JSON_WRITER_CALL void member_mac(json_key key, const mac_addr &mac) {
        if (char *p = out_.room(key.len + KEY_EXTRA + OUT_MAC_LEN + 2)) {
            p = key_at(p, key);
            *p++ = '"';
            p = format_mac(p, mac.data());
            *p++ = '"';
            out_.commit(p);
            return;
        }
        begin_string(key);
        put_mac(out_, mac.data());
        end_string();
    }
    JSON_WRITER_CALL void member_ipv4(json_key key, uint32_t addr_net) {
        if (char *p = out_.room(key.len + KEY_EXTRA + OUT_IPV4_MAX_LEN + 2)) {
            p = key_at(p, key);
            *p++ = '"';
            p = format_ipv4(p, addr_net);
            *p++ = '"';
            out_.commit(p);
            return;
        }
        begin_string(key);
        put_ipv4(out_, addr_net);
        end_string();
    }
    JSON_WRITER_CALL void member_md5(json_key key, const uint8_t digest[16]) {
        begin_string(key);
        put_md5(out_, digest);
        end_string();
    }
    // A text made by a formatter, printed as it is.
    JSON_WRITER_CALL void member_formatted(json_key key, const char *text) {
        begin_string(key);
        out_.put_cstr(text);
        end_string();
    }
    JSON_WRITER_CALL void member_s(json_key key, const std::string &text, text_kind kind) {
        begin_string(key);
        put_text(text, kind);
        end_string();
    }
    // A value that is JSON text already.
    JSON_WRITER_CALL void member_raw(json_key key, const char *json) {
        start(key);
        out_.put_cstr(json);
    }
    JSON_WRITER_CALL void element_mac(const mac_addr &mac) {
        start();
        out_.put_char('"');
        put_mac(out_, mac.data());
        out_.put_char('"');
    }
    JSON_WRITER_CALL void element_s(const std::string &text, text_kind kind) {
        start();
        out_.put_char('"');
        put_text(text, kind);
        out_.put_char('"');
    }

    // A string member whose value the caller appends to out() in between.
    JSON_WRITER_CALL void begin_string(json_key key) {
        if (char *p = out_.room(key.len + KEY_EXTRA + 1)) {
            p = key_at(p, key);
            *p++ = '"';
            out_.commit(p);
        } else {
            begin_string_near_end(key);
        }
    }
    void end_string() { out_.put_char('"'); }
    out_buf &out() { return out_; }

private:
    // What a member adds to its name: the comma before it, quotes, the colon.
    static constexpr size_t KEY_EXTRA = 4;

    void put_text(const std::string &text, text_kind kind) {
        if (kind == text_kind::stored)
            json_put_stored(out_, text.c_str());
        else
            json_put_escaped(out_, text.c_str());
    }
    // Room for the key and `value_max` bytes after it: the key is stored and the place of
    // its value returned, or null when the buffer has less room left.
    template <size_t N>
    [[gnu::always_inline]] char *key_room(const char (&key)[N], size_t value_max) {
        char *p = out_.room(N - 1 + KEY_EXTRA + value_max);
        return p ? key_at(p, key) : nullptr;
    }
    template <size_t N>
    [[gnu::always_inline]] char *key_at(char *p, const char (&key)[N]) {
        *p = ',';
        p += comma_;
        comma_ = true;
        *p++ = '"';
        memcpy(p, key, N - 1);
        p += N - 1;
        *p++ = '"';
        *p++ = ':';
        return p;
    }
    // The key and an opening bracket.
    template <size_t N>
    [[gnu::always_inline]] void open_key(const char (&key)[N], char bracket) {
        if (char *p = key_room(key, 1)) {
            *p++ = bracket;
            out_.commit(p);
            comma_ = false;
        } else {
            open(key, bracket);
        }
    }
    // The separator and the key stored at `p` (room for key.len + KEY_EXTRA); returns
    // their end.
    char *key_at(char *p, json_key key) {
        *p = ',';
        p += comma_;
        comma_ = true;
        *p++ = '"';
        copy_bytes(p, key.text, key.len);
        p += key.len;
        *p++ = '"';
        *p++ = ':';
        return p;
    }
    // Before a value: "," unless it is the first of its container.
    void start() {
        if (comma_) out_.put_char(',');
        comma_ = true;
    }
    // The same, then the key.
    void start(json_key key) {
        if (char *p = out_.room(key.len + KEY_EXTRA))
            out_.commit(key_at(p, key));
        else
            start_near_end(key);
    }

    // Near the end of the buffer, piece by piece (kept apart, so that the usual path above
    // stays short).
    JSON_WRITER_CALL void start_near_end(json_key key) {
        start();
        out_.put_char('"');
        out_.put(key.text, key.len);
        out_.put_literal("\":");
    }
    JSON_WRITER_CALL void member_u_near_end(json_key key, uint32_t v) {
        start_near_end(key);
        out_.put_u32(v);
    }
    JSON_WRITER_CALL void member_d_near_end(json_key key, int32_t v) {
        start_near_end(key);
        out_.put_i32(v);
    }
    JSON_WRITER_CALL void begin_string_near_end(json_key key) {
        start_near_end(key);
        out_.put_char('"');
    }
    void opened(char bracket) {
        out_.put_char(bracket);
        comma_ = false;  // the first value inside goes without one
    }
    void open(char bracket) {
        start();
        opened(bracket);
    }
    void open(json_key key, char bracket) {
        start(key);
        opened(bracket);
    }
    void close(char bracket) {
        out_.put_char(bracket);
        comma_ = true;  // the container closed is a value of the one around it
    }

    out_buf out_;
    // Whether the next value needs a comma before it: false at the start of the document
    // and right after an opening bracket, true after any value, a container's closing
    // bracket included. One flag does for every level, as containers nest strictly.
    bool comma_ = false;
};

// Rows for runs of members that share one kind.
template <class T>
struct u32_row {
    json_key key;
    uint32_t T::*field;
};
template <class T>
struct i32_row {
    json_key key;
    int32_t T::*field;
};
template <class T>
struct addr_row {  // an IPv4 address in network order
    json_key key;
    uint32_t T::*field;
};

template <class T, size_t N>
void put_rows(json_writer &w, const T &obj, const u32_row<T> (&rows)[N]) {
    for (const auto &r : rows) w.member_u(r.key, obj.*r.field);
}
template <class T, size_t N>
void put_rows(json_writer &w, const T &obj, const i32_row<T> (&rows)[N]) {
    for (const auto &r : rows) w.member_d(r.key, obj.*r.field);
}
template <class T, size_t N>
void put_rows(json_writer &w, const T &obj, const addr_row<T> (&rows)[N]) {
    for (const auto &r : rows) w.member_ipv4(r.key, obj.*r.field);
}

constexpr text_kind stored = text_kind::stored;
constexpr text_kind escaped = text_kind::escaped;

void put_cfg_cap(json_writer &w, const cfg_cap_bytes &cap) {
    w.begin_array("cfg_cap");
    put_u8_list(w.out(), cap.data(), cap.size());
    w.end_array();
}

void put_mac_list(json_writer &w, json_key key, const std::vector<mac_addr> &macs) {
    w.begin_array(key);
    for (const mac_addr &m : macs) w.element_mac(m);
    w.end_array();
}

// ---- status part ---------------------------------------------------------------------

using cur_cfg_t = decltype(wtp_info::cur_cfg);
constexpr addr_row<cur_cfg_t> cur_cfg_rows[] = {
    {"ip", &cur_cfg_t::ip},     {"mask", &cur_cfg_t::mask}, {"gateway", &cur_cfg_t::gateway},
    {"dns1", &cur_cfg_t::dns1}, {"dns2", &cur_cfg_t::dns2},
};

void put_common(json_writer &w, const wtp_info &rec) {
    w.member_u("wtp_type", rec.wtp_type);
    w.member_mac("mac", rec.mac);
    w.member_ipv4("ip", rec.ip);
    w.member_u("port", rec.port);
    w.member_s("model", rec.model, stored);
    w.member_s("sn", rec.sn, stored);
    w.member_u("managed", rec.managed);
    w.member_u("unavaiable_fw", rec.unavaiable_fw);
    w.member_u("upg_img", rec.upg_img);
    w.member_s("new_fw_img", rec.new_fw_img, stored);
    w.member_s("new_fw_ver", rec.new_fw_ver, stored);
    w.member_d("upg_state", rec.upg_state);
    w.member_u("unavaiable_addr", rec.unavaiable_addr);
    w.member_u("state", rec.state);
    w.member_u("sub_state", rec.sub_state);
    w.member_u("progress", rec.progress);
    w.member_s("sw_ver", rec.sw_ver, stored);
    w.member_s("cw_ver", rec.cw_ver, stored);
    w.member_s("name", rec.name, stored);
    w.member_u("uptime", rec.uptime);
    w.member_u("join_time", rec.join_time);
    w.member_u("last_time", rec.last_time);
    w.member_u("change_time", rec.change_time);
    w.begin_object("cur_cfg");
    put_rows(w, rec.cur_cfg, cur_cfg_rows);
    w.end_object();
    w.begin_object("mem");
    w.member_u("total", rec.mem.total);
    w.member_u("used", rec.mem.used);
    w.end_object();
}

void put_station(json_writer &w, const sta_info &sta) {
    w.begin_object();
    w.member_mac("mac", sta.mac);
    w.member_u("tx", sta.tx);
    w.member_u("rx", sta.rx);
    w.member_quoted_d("rssi", sta.rssi);
    w.member_s("os", sta.os, stored);
    w.member_s("hostname", sta.hostname, escaped);
    w.member_ipv4("ip", sta.ip);
    w.end_object();
}

void put_ap_status(json_writer &w, const wtp_info &rec, bool basic) {
    w.member_u("cap_code", rec.cap_code);
    w.member_s("sku", rec.sku, stored);
    put_cfg_cap(w, rec.cfg_cap);
    if (basic) return;
    w.begin_array("radio");
    for (const radio_info &r : rec.radio) {
        w.begin_object();
        w.member_mac("mac", r.mac);
        w.member_u("type", r.type);
        w.member_u("max_tx_power", r.max_tx_power);
        put_cfg_cap(w, r.cfg_cap);
        w.begin_object("cur_cfg");
        w.member_d("channel", r.channel);
        w.member_u("tx_power", r.tx_power);
        w.member_u("tx_power_percent", r.tx_power_percent);
        w.end_object();
        w.begin_object("mesh");
        w.member_d("role", r.role);
        w.member_mac("bssid", r.bssid);
        w.end_object();
        w.begin_array("wlan");
        for (const wlan_info &wl : r.wlan) {
            w.begin_object();
            w.member_mac("bssid", wl.bssid);
            put_cfg_cap(w, wl.cfg_cap);
            w.member_u("tx_pkt", wl.tx_pkt);
            w.member_u("tx_bytes", wl.tx_bytes);
            w.member_u("rx_pkt", wl.rx_pkt);
            w.member_u("rx_bytes", wl.rx_bytes);
            w.begin_array("sta");
            for (const sta_info &sta : wl.sta) put_station(w, sta);
            w.end_array();
            w.end_object();
        }
        w.end_array();
        w.end_object();
    }
    w.end_array();
}

constexpr u32_row<wtp_info> switch_limit_rows[] = {
    {"sw_max_port", &wtp_info::sw_max_port},
    {"sw_max_trunk", &wtp_info::sw_max_trunk},
    {"sw_max_trunk_member", &wtp_info::sw_max_trunk_member},
    {"sw_max_vlan_num", &wtp_info::sw_max_vlan_num},
    {"sw_max_managed_ap", &wtp_info::sw_max_managed_ap},
    {"sw_max_mirror_num", &wtp_info::sw_max_mirror_num},
    {"sw_max_multicast_num", &wtp_info::sw_max_multicast_num},
    {"sw_max_power_budget", &wtp_info::sw_max_power_budget},
    {"sw_min_power_budget", &wtp_info::sw_min_power_budget},
    {"sw_max_static_mac_num", &wtp_info::sw_max_static_mac_num},
    {"sw_dev_suport_type", &wtp_info::sw_dev_suport_type},
};
constexpr u32_row<hw_port> hw_port_rows[] = {
    {"port", &hw_port::port},
    {"port_type", &hw_port::port_type},
};
constexpr u32_row<sw_port_status> sw_port_rows[] = {
    {"port", &sw_port_status::port},
    {"speed", &sw_port_status::speed},
    {"enable", &sw_port_status::enable},
    {"link_status", &sw_port_status::link_status},
    {"flow_control", &sw_port_status::flow_control},
    {"auto_neg", &sw_port_status::auto_neg},
    {"duplex", &sw_port_status::duplex},
};
constexpr u32_row<poe_port_status> poe_status_rows[] = {
    {"port", &poe_port_status::port},
    {"enable", &poe_port_status::enable},
    {"poe_class", &poe_port_status::poe_class},
    {"priority", &poe_port_status::priority},
    {"power_limit_type", &poe_port_status::power_limit_type},
    {"user_power_limit", &poe_port_status::user_power_limit},
    {"status", &poe_port_status::status},
    {"output_voltage", &poe_port_status::output_voltage},
    {"output_current", &poe_port_status::output_current},
    {"output_power", &poe_port_status::output_power},
    {"temperature", &poe_port_status::temperature},
};
constexpr u32_row<topo_dev> topo_time_rows[] = {
    {"system_time", &topo_dev::system_time},
    {"update_time", &topo_dev::update_time},
    {"link_info_last_time", &topo_dev::link_info_last_time},
    {"no_link_info_first_time", &topo_dev::no_link_info_first_time},
};

// A whole array of objects made of one row table.
template <class T, class Rows>
void put_row_array(json_writer &w, json_key key, const std::vector<T> &items,
                   const Rows &rows) {
    w.begin_array(key);
    for (const T &item : items) {
        w.begin_object();
        put_rows(w, item, rows);
        w.end_object();
    }
    w.end_array();
}

void put_topology_device(json_writer &w, topo_dev &dev) {
    // Line breaks would break the JSON text; they are removed from the record itself.
    strip_all(dev.description, "\r", "");
    strip_all(dev.description, "\n", "");
    w.begin_object();
    w.member_u("type", dev.type);
    w.member_mac("mac", dev.mac);
    w.member_ipv4("ip", dev.ip);
    w.member_s("name", dev.name, stored);
    w.member_s("model", dev.description, stored);
    put_rows(w, dev, topo_time_rows);
    w.begin_array("link");
    for (const topo_link &l : dev.link) {
        w.begin_object();
        w.member_u("local_port", l.local_port);
        w.member_mac("mac", l.mac);
        w.member_s("remote_port", l.remote_port, stored);
        w.end_object();
    }
    w.end_array();
    w.end_object();
}

void put_switch_status(json_writer &w, wtp_info &rec, bool basic) {
    put_cfg_cap(w, rec.cfg_cap);
    if (basic) {
        w.member_u("flick_reboot_flag", rec.flick_reboot_flag);
        return;
    }
    put_rows(w, rec, switch_limit_rows);
    put_row_array(w, "switch_hw_port", rec.switch_hw_port, hw_port_rows);
    put_row_array(w, "switch_port", rec.switch_port, sw_port_rows);
    w.begin_array("trunk_port");
    for (const trunk_info &t : rec.trunk_port) {
        w.begin_object();
        w.member_u("id", t.id);
        w.member_u("mode", t.mode);
        w.member_s("active_port", t.active_port, stored);
        w.member_s("port", t.port, stored);
        w.end_object();
    }
    w.end_array();
    w.begin_array("lldp_dev_list");
    for (const lldp_dev &d : rec.lldp_dev_list) {
        w.begin_object();
        w.member_mac("mac", d.mac);
        w.member_u("localPort", d.localPort);
        w.member_s("remotePort", d.remotePort, stored);
        w.member_s("name", d.name, stored);
        w.member_s("model", d.model, stored);
        w.end_object();
    }
    w.end_array();
    w.begin_object("poe_global");
    w.member_u("power_budget", rec.power_budget);
    w.member_u("allocated_power", rec.allocated_power);
    w.end_object();
    put_row_array(w, "poe_port", rec.poe_port, poe_status_rows);
    w.begin_array("dev_list");
    for (topo_dev &dev : rec.dev_list) put_topology_device(w, dev);
    w.end_array();
}

// ---- configuration copy --------------------------------------------------------------

constexpr i32_row<bandsteering_cfg> bandsteering_rows[] = {
    {"mode", &bandsteering_cfg::mode},       {"percent_en", &bandsteering_cfg::percent_en},
    {"rssi_en", &bandsteering_cfg::rssi_en}, {"rssi", &bandsteering_cfg::rssi},
    {"percent", &bandsteering_cfg::percent},
};
constexpr i32_row<fasthandover_cfg> fasthandover_rows[] = {
    {"status", &fasthandover_cfg::status},
    {"rssi", &fasthandover_cfg::rssi},
};
using guest_t = decltype(wtp_cfg::guest_network);
constexpr addr_row<guest_t> guest_rows[] = {
    {"addr", &guest_t::addr},   {"mask", &guest_t::mask}, {"start", &guest_t::start},
    {"end", &guest_t::end},     {"wins", &guest_t::wins},
};
using led_t = decltype(wtp_cfg::led);
constexpr i32_row<led_t> led_rows[] = {
    {"power", &led_t::power}, {"lan", &led_t::lan},   {"wlan0", &led_t::wlan0},
    {"wlan1", &led_t::wlan1}, {"wlan2", &led_t::wlan2}, {"mesh", &led_t::mesh},
};
constexpr u32_row<poe_port_cfg> poe_cfg_rows[] = {
    {"port", &poe_port_cfg::port},
    {"enable", &poe_port_cfg::enable},
    {"power_limit_type", &poe_port_cfg::power_limit_type},
    {"user_power_limit", &poe_port_cfg::user_power_limit},
    {"priority", &poe_port_cfg::priority},
};
constexpr u32_row<pd_lifeguard_cfg> pd_head_rows[] = {
    {"port", &pd_lifeguard_cfg::port},
    {"enable", &pd_lifeguard_cfg::enable},
    {"mode", &pd_lifeguard_cfg::mode},
    {"action", &pd_lifeguard_cfg::action},
};
constexpr u32_row<pd_lifeguard_cfg> pd_timer_rows[] = {
    {"ping_interval", &pd_lifeguard_cfg::ping_interval},
    {"ping_max_count", &pd_lifeguard_cfg::ping_max_count},
    {"power_recovery_interval", &pd_lifeguard_cfg::power_recovery_interval},
    {"reboot_max_retry_count", &pd_lifeguard_cfg::reboot_max_retry_count},
    {"reboot_count", &pd_lifeguard_cfg::reboot_count},
    {"pd_bootup_time", &pd_lifeguard_cfg::pd_bootup_time},
};
constexpr u32_row<pdl_status_info> pdl_head_rows[] = {
    {"port", &pdl_status_info::port},
    {"state", &pdl_status_info::state},
    {"mode", &pdl_status_info::mode},
    {"polling_method", &pdl_status_info::polling_method},
};

// The captive-portal object of a radio or WLAN configuration; only the WLAN's carries
// `network_type`.
void put_portal(json_writer &w, const portal_cfg &p, bool wlan) {
    w.begin_object("portal");
    w.member_u("enable", p.enable);
    w.member_u("login_type", p.login_type);
    w.member_ipv4("radius_server", p.radius_server);
    w.member_s("userurl", p.userurl, escaped);
    w.begin_object("walled_garden");
    w.member_u("enable", p.walled_garden_enable);
    w.member_s("pages", p.walled_garden_pages, escaped);
    w.end_object();
    w.member_u("radius_port", p.radius_port);
    w.member_s("radius_secret", p.radius_secret, escaped);
    w.member_u("session_timeout", p.session_timeout);
    w.member_u("session_timeout_enable", p.session_timeout_enable);
    w.member_u("idle_timeout", p.idle_timeout);
    w.member_u("idle_timeout_enable", p.idle_timeout_enable);
    w.member_u("accounting_enable", p.accounting_enable);
    w.member_u("accounting_time", p.accounting_time);
    w.member_u("auth_type", p.auth_type);
    w.member_s("external_server", p.external_server, escaped);
    w.member_s("external_secret", p.external_secret, escaped);
    w.member_ipv4("account_server", p.account_server);
    w.member_u("accounting_port", p.accounting_port);
    w.member_s("accounting_secret", p.accounting_secret, escaped);
    w.member_s("uamformat", p.uamformat, escaped);
    w.member_s("local_auth", p.local_auth, escaped);
    w.member_u("port", p.port);
    w.member_u("https_enable", p.https_enable);
    if (wlan) w.member_u("network_type", p.network_type);
    w.member_s("radius_secret2", p.radius_secret2, escaped);
    w.member_ipv4("radius_server2", p.radius_server2);
    w.end_object();
}

// Security modes whose WPA variant authenticates against a RADIUS server.
bool sec_mode_uses_radius(uint32_t mode) {
    return mode == 5 || mode == 6 || mode == 7 || mode == 11 || mode == 12;
}

void put_wlan_cfg(json_writer &w, const wlan_cfg &c) {
    w.begin_object();
    w.member_u("enable", c.enable);
    w.member_s("ssid", c.ssid, escaped);
    w.member_u("supr_ssid", c.supr_ssid);
    w.member_u("sta_sep", c.sta_sep);
    w.member_u("layer2Isolation", c.layer2Isolation);
    put_mac_list(w, "l2macWlist", c.l2macWlist);
    w.member_u("isolation", c.isolation);
    w.member_u("vlan", c.vlan);
    w.member_d("downloadlimit", c.downloadlimit);
    w.member_d("uploadlimit", c.uploadlimit);
    w.member_d("downperuser_en", c.downperuser_en);
    w.member_d("uploadperuser_en", c.uploadperuser_en);
    w.member_d("downloadMode", c.downloadMode);
    w.member_d("uploadMode", c.uploadMode);
    w.begin_object("roaming");
    w.member_u("enable", c.roaming.enable);
    w.member_u("adv_search", c.roaming.adv_search);
    w.end_object();
    w.begin_object("acl");
    w.member_u("mode", c.acl.mode);
    put_mac_list(w, "mac", c.acl.mac);
    w.end_object();
    w.member_u("sec_mode", c.sec_mode);
    w.begin_object("nas");
    w.member_u("id_enable", c.nas.id_enable);
    w.member_s("id", c.nas.id, escaped);
    w.member_u("ip_enable", c.nas.ip_enable);
    w.member_ipv4("ip", c.nas.ip);
    w.member_u("port_enable", c.nas.port_enable);
    w.member_u("port", c.nas.port);
    w.end_object();
    w.begin_object("acc");
    w.member_u("enable", c.acc.enable);
    w.member_ipv4("addr", c.acc.addr);
    w.member_u("port", c.acc.port);
    w.member_s("secret", c.acc.secret, escaped);
    w.member_u("interval", c.acc.interval);
    w.end_object();
    put_portal(w, c.portal, true);
    // A JSON value of its own, inserted as it came; absent, or no JSON value a reader
    // takes (it would break the document or add members of its own), it is null.
    w.member_raw("hotspot20", json_is_value(c.hotspot20.c_str()) ? c.hotspot20.c_str() : "null");
    w.begin_object("bandsteering");
    put_rows(w, c.bandsteering, bandsteering_rows);
    w.end_object();
    if (c.sec_mode == 1) {
        w.begin_object("wep");
        w.member_u("auth_type", c.wep.auth_type);
        w.member_u("in_type", c.wep.in_type);
        w.member_u("key_len", c.wep.key_len);
        w.member_u("def_key", c.wep.def_key);
        w.begin_array("key");
        for (const std::string &k : c.wep.key) w.element_s(k, escaped);
        w.end_array();
        w.end_object();
    } else if (c.sec_mode >= 2 && c.sec_mode <= 12) {
        w.begin_object("wpa");
        w.member_u("enc_mode", c.wpa.enc_mode);
        w.member_u("suiteb_en", c.wpa.suiteb_en);
        w.member_u("pmf_enable", c.wpa.pmf_enable);
        w.member_s("passphrase", c.wpa.passphrase, escaped);
        w.member_u("group_key_int", c.wpa.group_key_int);
        if (sec_mode_uses_radius(c.sec_mode)) {
            w.begin_object("radius");
            w.member_ipv4("addr", c.radius.addr);
            w.member_u("port", c.radius.port);
            w.member_s("secret", c.radius.secret, escaped);
            w.end_object();
        }
        w.end_object();
    }
    w.end_object();
}

void put_radio_cfg(json_writer &w, const radio_cfg &r) {
    w.begin_object();
    w.member_u("op_mode", r.op_mode);
    w.member_u("wl_mode", r.wl_mode);
    w.member_u("country", r.country);
    w.begin_object("channel");
    w.member_u("ht", r.channel.ht);
    w.member_u("ext", r.channel.ext);
    w.member_u("val", r.channel.val);
    w.end_object();
    w.member_u("tx_power", r.tx_power);
    w.member_u("obey_regulatory_power", r.obey_regulatory_power);
    w.member_formatted("data_rate", rate_to_text(r.data_rate));
    w.member_u("bit_rate", r.bit_rate);
    w.member_u("ax_enable", r.ax_enable);
    w.member_u("rts_cts_threshold", r.rts_cts_threshold);
    w.member_u("distance", r.distance);
    w.begin_object("aggregation");
    w.member_u("enable", r.aggregation.enable);
    w.member_u("frames", r.aggregation.frames);
    w.member_u("maxbytes", r.aggregation.maxbytes);
    w.end_object();
    w.begin_object("limited_clients");
    w.member_u("enable", r.limited_clients.enable);
    w.member_u("count", r.limited_clients.count);
    w.end_object();
    put_portal(w, r.portal, false);
    w.begin_object("mesh");
    w.member_d("enable", r.mesh.enable);
    w.member_s("id", r.mesh.id, escaped);
    w.member_s("wpa_key", r.mesh.wpa_key, escaped);
    w.member_d("link_robust_threshold", r.mesh.link_robust_threshold);
    w.end_object();
    w.begin_object("fasthandover");
    put_rows(w, r.fasthandover, fasthandover_rows);
    w.end_object();
    w.begin_array("wlan");
    for (const wlan_cfg &c : r.wlan) put_wlan_cfg(w, c);
    w.end_array();
    w.end_object();
}

void put_ap_cfg(json_writer &w, const wtp_cfg &c, bool password) {
    if (password) w.member_md5("password_md5", c.password_md5.data());
    w.member_d("bandsteer", c.bandsteer);
    w.begin_object("bandsteering");
    put_rows(w, c.bandsteering, bandsteering_rows);
    w.end_object();
    w.member_d("manage_vlan_id", c.manage_vlan_id);
    w.member_d("log_remote_en", c.log_remote_en);
    w.member_d("log_traffic_en", c.log_traffic_en);
    w.member_s("log_remote_conf", c.log_remote_conf, stored);
    if (c.lan_port_count > 0) {
        w.begin_array("lan_port");
        int32_t po = 0;
        for (const lan_port_cfg &p : c.lan_port) {
            w.begin_object();
            w.member_d("po", po++);
            w.member_d("en", p.en);
            w.member_d("vlan_mode", p.vlan_mode);
            w.member_d("vid", p.vid);
            w.end_object();
        }
        w.end_array();
    }
    w.begin_object("fasthandover");
    put_rows(w, c.fasthandover, fasthandover_rows);
    w.end_object();
    w.begin_object("guest_network");
    put_rows(w, c.guest_network, guest_rows);
    w.end_object();
    w.begin_object("led");
    put_rows(w, c.led, led_rows);
    w.end_object();
    w.begin_object("mesh");
    w.member_d("enable_total", c.mesh_enable_total);
    w.end_object();
    w.begin_array("radio");
    for (const radio_cfg &r : c.radio) put_radio_cfg(w, r);
    w.end_array();
}

void put_switch_cfg(json_writer &w, const wtp_cfg &c) {
    w.member_d("redundancyMode", c.redundancyMode);
    put_mac_list(w, "manage_mac_list", c.manage_mac_list);
    w.begin_array("switch_port");
    for (const sw_port_cfg &p : c.switch_port) {
        w.begin_object();
        w.member_u("port", p.port);
        w.member_u("mode", p.mode);
        w.member_u("flow_control", p.flow_control);
        w.member_s("descp", p.descp, stored);
        w.end_object();
    }
    w.end_array();
    w.member_u("power_budget", c.power_budget);
    put_row_array(w, "poe_port", c.poe_port, poe_cfg_rows);
    w.member_u("pdl_enable", c.pdl_enable);
    w.begin_array("pd_lifeguard");
    for (const pd_lifeguard_cfg &p : c.pd_lifeguard) {
        w.begin_object();
        put_rows(w, p, pd_head_rows);
        w.member_ipv4("specified_ip", p.specified_ip);
        put_rows(w, p, pd_timer_rows);
        w.member_s("status", p.status, stored);
        w.end_object();
    }
    w.end_array();
    w.begin_array("pdl_status");
    for (const pdl_status_info &p : c.pdl_status) {
        w.begin_object();
        put_rows(w, p, pdl_head_rows);
        w.member_s("mac", p.mac, stored);
        w.member_ipv4("management_ip", p.management_ip);
        w.member_s("action", p.action, stored);
        w.end_object();
    }
    w.end_array();
}

void put_cfg(json_writer &w, uint8_t wtp_type, const wtp_cfg &c, bool password) {
    w.begin_object("wtp_cfg");
    w.member_s("name", c.name, stored);
    w.member_s("location", c.location, stored);
    w.member_s("admin", c.admin, stored);
    w.member_d("timezone", c.timezone);
    w.begin_string("ipv4");  // "address/mask/gateway"
    put_ipv4(w.out(), c.address);
    w.out().put_char('/');
    put_ipv4(w.out(), c.mask);
    w.out().put_char('/');
    put_ipv4(w.out(), c.gateway);
    w.end_string();
    w.member_ipv4("dns1", c.dns1);
    w.member_ipv4("dns2", c.dns2);
    w.begin_array("ac_list");
    for (const std::string &ac : c.ac_list) w.element_s(ac, stored);
    w.end_array();
    if (wtp_type == WTP_TYPE_AP)
        put_ap_cfg(w, c, password);
    else if (wtp_type == WTP_TYPE_SWITCH)
        put_switch_cfg(w, c);
    w.end_object();
}

void put_record(json_writer &w, wtp_info &rec, bool password, bool basic) {
    w.begin_object();
    put_common(w, rec);
    if (rec.wtp_type == WTP_TYPE_AP)
        put_ap_status(w, rec, basic);
    else if (rec.wtp_type == WTP_TYPE_SWITCH)
        put_switch_status(w, rec, basic);
    if (rec.cfg) put_cfg(w, rec.wtp_type, *rec.cfg, password);
    w.end_object();
}

}  // namespace

int print_wtp_json(wtp_records &records, bool password, bool basic) {
    json_writer w;
    w.begin_array("wtp_list");
    while (wtp_info *rec = records.next()) put_record(w, *rec, password, basic);
    if (records.failed()) return 1;  // what the buffer still holds is dropped
    w.end_array();
    w.out().put_char('\n');
    return w.out().finish();
}

int print_wtp_json(wtp_list &list, bool password, bool basic) {
    wtp_list_records records(list);
    return print_wtp_json(records, password, basic);
}
