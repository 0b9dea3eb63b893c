// Status queries on the wire: the WTP list request and the decoding of its records
// (with the configuration copy at their end), and the AC summary.
//
// Every decoder reads its record's fields one line per field, in wire order, from the
// request's reply_reader, whose failure is sticky: after the first failed read every
// further read yields zeros, and every count loop stops. Fixed-size fields come straight
// from the bytes the reader holds; a text is copied once, from there into its string.
// Sequences reserve room only for the elements that the bytes already received can hold,
// so a count the AC announces never decides how much memory is taken.
//
// Each decoder is written once for two readers: reply_reader stores what it reads;
// skip_reader steps over a part that the caller does not keep (the detail part and the
// configuration copy behind the brief table and the counters): texts are skipped unread,
// and each sequence decodes its elements into one scratch element. Such a part that has
// arrived whole is first measured by a walk over the bytes held (ap_detail_size,
// cfg_copy_size) and stepped over in one step; skip_reader takes the parts still arriving.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>

#include "status.h"

namespace {

const char OUT_OF_MEMORY[] = "ERROR: Out of memory\n";

class skip_reader {
public:
    explicit skip_reader(reply_reader &r) : r_(r) {}

    bool failed() const { return r_.failed(); }
    void out_of_memory(const char *msg = OUT_OF_MEMORY) { r_.out_of_memory(msg); }
    size_t held() const { return r_.held(); }
    // Steps over a part in one step when `size` (ap_detail_size, cfg_copy_size) can measure
    // it over the bytes held; false when it has not arrived whole.
    template <class... Args>
    bool step_over_held(size_t (*size)(const uint8_t *, size_t, Args...), Args... args) {
        const size_t n = size(r_.held_data(), r_.held(), args...);
        r_.skip(n);
        return n != 0;
    }
    uint8_t u8() { return r_.u8(); }
    uint16_t u16() { return r_.u16(); }
    uint32_t u32() { return r_.u32(); }
    int32_t s32() { return r_.s32(); }
    int16_t s16() { return r_.s16(); }
    uint32_t addr() {
        r_.skip(4);
        return 0;
    }
    void mac(mac_addr &) { r_.skip(6); }
    void bytes(void *, size_t n) { r_.skip(n); }
    [[gnu::always_inline]] void text(std::string &, const char * = nullptr) { r_.skip_text(); }
    bool flag() { return r_.flag(); }
    // Runs are decoded (into scratch elements): they may hold counts.
    reply_reader::run fixed(size_t n) { return r_.fixed(n); }

private:
    reply_reader &r_;
};

template <class R>
constexpr bool stores = !std::is_same_v<R, skip_reader>;

// Makes `obj` as new where it lies: a fraction of what assigning a fresh one member by
// member takes, and it cannot fail.
template <class T>
void make_anew(T &obj) {
    static_assert(std::is_nothrow_default_constructible_v<T>);
    std::destroy_at(&obj);
    std::construct_at(&obj);
}

// Reads `count` elements with `read_one` into `out`, which then holds exactly the elements
// read. Elements it holds already (a spare list, see wtp_spares) are overwritten in place,
// so every element decoder stores each of its fields, whatever the bytes say; the rest are
// appended as they arrive. Room is reserved for as many as the bytes held can carry
// (`wire_min`: the fewest bytes an element takes on the wire), at least doubling what is
// there. Returns false when memory ran out.
template <class R, class T, class F>
bool read_seq(R &r, std::vector<T> &out, uint64_t count, F read_one, size_t wire_min) {
    if constexpr (!stores<R>) {
        (void)out;
        (void)wire_min;
        T scratch;
        for (uint64_t i = 0; i < count && !r.failed(); ++i) read_one(r, scratch);
        return true;
    } else {
        size_t done = 0;
        bool room = true;
        try {
            for (; done < count && !r.failed(); ++done) {
                if (done == out.size()) {
                    if (out.size() == out.capacity()) {
                        uint64_t more = std::max<uint64_t>({r.held() / wire_min, out.size(), 1});
                        out.reserve(out.size() + static_cast<size_t>(std::min(count - done, more)));
                    }
                    out.emplace_back();
                }
                read_one(r, out[done]);
            }
        } catch (const std::bad_alloc &) {
            room = false;
        }
        out.erase(out.begin() + static_cast<std::ptrdiff_t>(done), out.end());
        return room;
    }
}

// read_seq, with "ERROR: Out of memory" (or `oom_msg`) when memory ran out.
template <class R, class T, class F>
void read_list(R &r, std::vector<T> &out, uint64_t count, F read_one, size_t wire_min,
               const char *oom_msg = OUT_OF_MEMORY) {
    if (!read_seq(r, out, count, read_one, wire_min)) r.out_of_memory(oom_msg);
}

template <class R>
void read_macs(R &r, std::vector<mac_addr> &out, uint64_t count) {
    read_list(r, out, count, [](R &rr, mac_addr &m) { rr.mac(m); }, 6);
}

// A count the AC sends as a signed u32: a negative one announces as many elements as
// its unsigned value (the stream then ends long before).
uint64_t signed_count(int32_t c) { return static_cast<uint32_t>(c); }

// The fixed-size runs that the radio, WLAN and station elements start with: a radio's
// ends with its WLAN count, a WLAN's with the flag of its station list; a station's texts
// and address follow its run.
constexpr size_t RADIO_FIXED = 61;
constexpr size_t WLAN_FIXED = 44;
constexpr size_t STA_FIXED = 18;

// The fewest bytes an element of each sequence takes on the wire (every text empty, every
// inner sequence empty).
constexpr size_t STA_WIRE_MIN = STA_FIXED + 2 + 2 + 4;
constexpr size_t WLAN_WIRE_MIN = WLAN_FIXED;
constexpr size_t RADIO_WIRE_MIN = RADIO_FIXED;
constexpr size_t HW_PORT_WIRE_MIN = 8;
constexpr size_t SW_PORT_WIRE_MIN = 28;
constexpr size_t TRUNK_WIRE_MIN = 12;
constexpr size_t LLDP_WIRE_MIN = 16;
constexpr size_t POE_PORT_WIRE_MIN = 44;
constexpr size_t TOPO_LINK_WIRE_MIN = 12;
constexpr size_t TOPO_DEV_WIRE_MIN = 38;
constexpr size_t WLAN_CFG_WIRE_MIN = 200;
constexpr size_t RADIO_CFG_WIRE_MIN = 160;
constexpr size_t LAN_PORT_WIRE_MIN = 12;
constexpr size_t SW_PORT_CFG_WIRE_MIN = 14;
constexpr size_t POE_PORT_CFG_WIRE_MIN = 20;
constexpr size_t PD_LIFEGUARD_WIRE_MIN = 46;
constexpr size_t PDL_STATUS_WIRE_MIN = 24;

// ---- status record ----------------------------------------------------------------

// Host names are shown only when they are printable ASCII throughout.
void filter_hostname(std::string &name) {
    bool printable = true;
    for (char ch : name) printable &= static_cast<unsigned char>(ch - 0x20) <= 0x7E - 0x20;
    if (!printable) name.clear();
}

template <class R>
void read_sta(R &r, sta_info &s) {
    reply_reader::run f = r.fixed(STA_FIXED);
    f.mac(s.mac);
    s.tx = f.u32();
    s.rx = f.u32();
    s.rssi = f.s32();
    r.text(s.os);
    r.text(s.hostname);
    filter_hostname(s.hostname);
    s.ip = r.addr();
}

template <class R>
void read_wlan(R &r, wlan_info &w) {
    reply_reader::run f = r.fixed(WLAN_FIXED);
    f.mac(w.bssid);
    f.bytes(w.cfg_cap.data(), w.cfg_cap.size());
    w.tx_pkt = f.u32();
    w.tx_bytes = f.u32();
    w.rx_pkt = f.u32();
    w.rx_bytes = f.u32();
    uint32_t stations = f.flag() ? r.u32() : 0;
    read_list(r, w.sta, stations, read_sta<R>, STA_WIRE_MIN);
}

template <class R>
void read_radio(R &r, radio_info &ra) {
    reply_reader::run f = r.fixed(RADIO_FIXED);
    f.mac(ra.mac);
    ra.type = f.u32();
    ra.max_tx_power = f.u32();
    f.bytes(ra.cfg_cap.data(), ra.cfg_cap.size());
    ra.channel = f.s32();
    ra.tx_power = f.u32();
    ra.tx_power_percent = f.u32();
    ra.role = f.s32();
    f.mac(ra.bssid);
    uint32_t wlans = f.u32();
    read_list(r, ra.wlan, wlans, read_wlan<R>, WLAN_WIRE_MIN);
}

template <class R>
void read_hw_port(R &r, hw_port &p) {
    reply_reader::run f = r.fixed(8);
    p.port = f.u32();
    p.port_type = f.u32();
}

template <class R>
void read_sw_port(R &r, sw_port_status &p) {
    reply_reader::run f = r.fixed(28);
    p.port = f.u32();
    p.enable = f.u32();
    p.speed = f.u32();
    p.link_status = f.u32();
    p.flow_control = f.u32();
    p.duplex = f.u32();
    p.auto_neg = f.u32();
}

template <class R>
void read_trunk(R &r, trunk_info &t) {
    reply_reader::run f = r.fixed(8);
    t.id = f.u32();
    t.mode = f.u32();
    r.text(t.active_port);
    r.text(t.port);
}

template <class R>
void read_lldp(R &r, lldp_dev &d) {
    reply_reader::run f = r.fixed(10);
    f.mac(d.mac);
    d.localPort = f.u32();
    r.text(d.remotePort);
    r.text(d.name);
    r.text(d.model);
}

template <class R>
void read_poe_port(R &r, poe_port_status &p) {
    reply_reader::run f = r.fixed(44);
    p.port = f.u32();
    p.enable = f.u32();
    p.poe_class = f.u32();
    p.priority = f.u32();
    p.power_limit_type = f.u32();
    p.user_power_limit = f.u32();
    p.status = f.u32();
    p.output_voltage = f.u32();
    p.output_current = f.u32();
    p.output_power = f.u32();
    p.temperature = f.u32();
}

template <class R>
void read_topo_link(R &r, topo_link &l) {
    reply_reader::run f = r.fixed(10);
    l.local_port = f.u32();
    f.mac(l.mac);
    r.text(l.remote_port);
}

template <class R>
void read_topo_dev(R &r, topo_dev &d) {
    reply_reader::run f = r.fixed(30);
    d.type = f.u32();
    d.system_time = f.u32();
    d.update_time = f.u32();
    d.link_info_last_time = f.u32();
    d.no_link_info_first_time = f.u32();
    f.mac(d.mac);
    d.ip = f.addr();
    r.text(d.name);
    r.text(d.description);
    d.link_count = r.s32();
    if (!read_seq(r, d.link, static_cast<uint64_t>(std::max(d.link_count, 0)),
                  read_topo_link<R>, TOPO_LINK_WIRE_MIN)) {
        char msg[48];
        snprintf(msg, sizeof msg, "ERROR: Out of memory(linkCount=%d)\n", d.link_count);
        r.out_of_memory(msg);
    }
}

// The common part of every record (fields 1 to 30).
void read_common(reply_reader &r, wtp_info &w) {
    reply_reader::run f = r.fixed(13);
    w.wtp_type = f.u8();
    f.mac(w.mac);
    w.ip = f.addr();
    w.port = f.u16();
    r.text(w.model);
    r.text(w.sn);
    f = r.fixed(3);
    w.managed = f.u8();
    w.unavaiable_fw = f.u8();
    w.upg_img = f.u8();
    r.text(w.new_fw_img);
    r.text(w.new_fw_ver);
    f = r.fixed(5);
    w.upg_state = f.u8();
    w.unavaiable_addr = f.u8();
    w.state = f.u8();
    w.sub_state = f.u8();
    w.progress = f.u8();
    r.text(w.sw_ver);
    r.text(w.cw_ver);
    r.text(w.name);
    f = r.fixed(44);
    w.uptime = f.u32();
    w.join_time = f.u32();
    w.last_time = f.u32();
    w.change_time = f.u32();
    w.cur_cfg.ip = f.addr();
    w.cur_cfg.mask = f.addr();
    w.cur_cfg.gateway = f.addr();
    w.cur_cfg.dns1 = f.addr();
    w.cur_cfg.dns2 = f.addr();
    w.mem.total = f.u32();
    w.mem.used = f.u32();
}

}  // namespace

// Walks the layout that read_radio, read_wlan and read_sta decode, with its checks merged
// where a count or length allows. The detail part is most of what the brief table steps
// over.
size_t ap_detail_size(const uint8_t *p, size_t held) {
    const uint8_t *const start = p, *const end = p + held;
    auto room = [&](size_t n) { return static_cast<size_t>(end - p) >= n; };
    if (!room(1)) return 0;
    if (*p++ == 0) return 1;  // no detail part
    if (!room(1)) return 0;
    for (unsigned radios = *p++; radios > 0; --radios) {
        if (!room(RADIO_FIXED)) return 0;
        uint32_t wlans = get_be32(p + RADIO_FIXED - 4);
        p += RADIO_FIXED;
        for (; wlans > 0; --wlans) {
            if (!room(WLAN_FIXED)) return 0;
            const bool listed = p[WLAN_FIXED - 1] != 0;
            p += WLAN_FIXED;
            if (!listed) continue;
            if (!room(4)) return 0;
            uint32_t stations = get_be32(p);
            p += 4;
            for (; stations > 0; --stations) {
                if (!room(STA_FIXED + 2)) return 0;
                size_t os = get_be16(p + STA_FIXED);
                p += STA_FIXED + 2;
                if (!room(os + 2)) return 0;
                size_t hostname = get_be16(p + os);
                p += os + 2;
                if (!room(hostname + 4)) return 0;
                p += hostname + 4;  // and the address
            }
        }
    }
    return static_cast<size_t>(p - start);
}

namespace {

// The access point's detail part, after its capability bytes; its radios take the spare
// list, when there is one.
template <class R>
void read_ap_detail(R &r, wtp_info &w, wtp_spares *spares) {
    if constexpr (!stores<R>) {
        if (r.step_over_held(ap_detail_size)) return;
    }
    if (!r.flag()) return;
    uint8_t radios = r.u8();
    if (spares) w.radio.swap(spares->radio);
    read_list(r, w.radio, radios, read_radio<R>, RADIO_WIRE_MIN);
}

// The switch's detail part, after its reboot flag.
template <class R>
void read_switch_detail(R &r, wtp_info &w) {
    if (!r.flag()) return;
    reply_reader::run f = r.fixed(44);
    w.sw_max_port = f.u32();
    w.sw_max_trunk = f.u32();
    w.sw_max_vlan_num = f.u32();
    w.sw_max_managed_ap = f.u32();
    w.sw_max_mirror_num = f.u32();
    w.sw_max_multicast_num = f.u32();
    w.sw_max_power_budget = f.u32();
    w.sw_min_power_budget = f.u32();
    w.sw_max_static_mac_num = f.u32();
    w.sw_max_trunk_member = f.u32();
    w.sw_dev_suport_type = f.u32();
    read_list(r, w.switch_hw_port, w.sw_max_port, read_hw_port<R>, HW_PORT_WIRE_MIN);
    uint8_t ports = r.u8();
    read_list(r, w.switch_port, ports, read_sw_port<R>, SW_PORT_WIRE_MIN);
    uint8_t trunks = r.u8();
    read_list(r, w.trunk_port, trunks, read_trunk<R>, TRUNK_WIRE_MIN);
    uint16_t neighbours = r.u8();
    read_list(r, w.lldp_dev_list, neighbours, read_lldp<R>, LLDP_WIRE_MIN);
    f = r.fixed(8);
    w.power_budget = f.u32();
    w.allocated_power = f.u32();
    uint8_t poe_ports = r.u8();
    read_list(r, w.poe_port, poe_ports, read_poe_port<R>, POE_PORT_WIRE_MIN);
    uint16_t devices = r.u16();
    read_list(r, w.dev_list, devices, read_topo_dev<R>, TOPO_DEV_WIRE_MIN,
              "ERROR: Out of memory(switchTopoDevCount)\n");
}

// ---- configuration copy -----------------------------------------------------------

// The portal settings of radio and WLAN configurations; the WLAN's carry the network
// type after the second RADIUS server.
template <class R>
void read_portal(R &r, portal_cfg &p, bool with_network_type) {
    reply_reader::run f = r.fixed(12);
    p.enable = f.u32();
    p.login_type = f.u32();
    p.radius_server = f.addr();
    r.text(p.userurl);
    p.walled_garden_enable = r.u32();
    r.text(p.walled_garden_pages);
    p.radius_port = r.u16();
    r.text(p.radius_secret);
    f = r.fixed(28);
    p.session_timeout = f.u32();
    p.session_timeout_enable = f.u32();
    p.idle_timeout = f.u32();
    p.idle_timeout_enable = f.u32();
    p.accounting_enable = f.u32();
    p.accounting_time = f.u32();
    p.auth_type = f.u32();
    r.text(p.external_server);
    r.text(p.external_secret);
    f = r.fixed(6);
    p.account_server = f.addr();
    p.accounting_port = f.u16();
    r.text(p.accounting_secret);
    r.text(p.uamformat);
    r.text(p.local_auth);
    f = r.fixed(6);
    p.port = f.u16();
    p.https_enable = f.u32();
    r.text(p.radius_secret2);
    f = r.fixed(with_network_type ? 8 : 4);
    p.radius_server2 = f.addr();
    p.network_type = with_network_type ? f.u32() : 0;
}

void read_bandsteering(reply_reader::run &f, bandsteering_cfg &b) {
    b.mode = f.s32();
    b.percent_en = f.s32();
    b.rssi_en = f.s32();
    b.rssi = f.s32();
    b.percent = f.s32();
}

template <class R>
void read_wlan_cfg(R &r, wlan_cfg &w) {
    w.enable = r.u32();
    r.text(w.ssid);
    reply_reader::run f = r.fixed(20);
    w.supr_ssid = f.u32();
    w.sta_sep = f.u32();
    w.isolation = f.u32();
    w.layer2Isolation = f.u32();
    uint32_t white_list = f.u32();
    read_macs(r, w.l2macWlist, white_list);
    f = r.fixed(44);
    w.vlan = f.u32();
    w.downloadlimit = f.s32();
    w.uploadlimit = f.s32();
    w.downperuser_en = f.s32();
    w.uploadperuser_en = f.s32();
    w.downloadMode = f.s32();
    w.uploadMode = f.s32();
    w.roaming.enable = f.u32();
    w.roaming.adv_search = f.u32();
    w.acl.mode = f.u32();
    uint32_t acl_macs = f.u32();
    read_macs(r, w.acl.mac, acl_macs);
    f = r.fixed(20);
    w.sec_mode = f.u32();
    w.wep.auth_type = f.u32();
    w.wep.in_type = f.u32();
    w.wep.key_len = f.u32();
    w.wep.def_key = f.u32();
    for (std::string &key : w.wep.key) r.text(key);
    f = r.fixed(8);
    w.wpa.enc_mode = f.u32();
    w.wpa.suiteb_en = f.u32();
    r.text(w.wpa.passphrase);
    f = r.fixed(10);
    w.wpa.group_key_int = f.u32();
    w.radius.addr = f.addr();
    w.radius.port = f.u16();
    r.text(w.radius.secret);
    f = r.fixed(10);
    w.acc.enable = f.u32();
    w.acc.addr = f.addr();
    w.acc.port = f.u16();
    r.text(w.acc.secret);
    f = r.fixed(8);
    w.acc.interval = f.u32();
    w.nas.id_enable = f.u32();
    r.text(w.nas.id);
    f = r.fixed(18);
    w.nas.port_enable = f.u32();
    w.nas.port = f.u16();
    w.nas.ip_enable = f.u32();
    w.nas.ip = f.addr();
    w.wpa.pmf_enable = f.u32();
    read_portal(r, w.portal, true);
    r.text(w.hotspot20);
    f = r.fixed(20);
    read_bandsteering(f, w.bandsteering);
}

template <class R>
void read_radio_cfg(R &r, radio_cfg &c) {
    reply_reader::run f = r.fixed(72);
    c.country = f.u32();
    c.op_mode = f.u32();
    c.wl_mode = f.u32();
    c.channel.ht = f.u32();
    c.channel.ext = f.u32();
    c.channel.val = f.u32();
    c.tx_power = f.u32();
    c.obey_regulatory_power = f.u32();
    c.data_rate = f.s32();
    c.bit_rate = f.u32();
    c.ax_enable = f.u32();
    c.rts_cts_threshold = f.u32();
    c.distance = f.u32();
    c.aggregation.enable = f.u32();
    c.aggregation.frames = f.u32();
    c.aggregation.maxbytes = f.u32();
    c.limited_clients.enable = f.u32();
    c.limited_clients.count = f.u32();
    read_portal(r, c.portal, false);
    c.mesh.enable = r.s32();
    r.text(c.mesh.id);
    r.text(c.mesh.wpa_key);
    f = r.fixed(14);
    c.mesh.link_robust_threshold = f.s16();
    c.fasthandover.status = f.s32();
    c.fasthandover.rssi = f.s32();
    uint32_t wlans = f.u32();
    read_list(r, c.wlan, wlans, read_wlan_cfg<R>, WLAN_CFG_WIRE_MIN);
}

template <class R>
void read_lan_port(R &r, lan_port_cfg &p) {
    reply_reader::run f = r.fixed(12);
    p.en = f.s32();
    p.vid = f.s32();
    p.vlan_mode = f.s32();
}

template <class R>
void read_ap_cfg(R &r, wtp_cfg &c, wtp_spares *spares) {
    reply_reader::run f = r.fixed(104);
    f.bytes(c.password_md5.data(), c.password_md5.size());
    c.bandsteer = f.s32();
    read_bandsteering(f, c.bandsteering);
    c.fasthandover.status = f.s32();
    c.fasthandover.rssi = f.s32();
    c.guest_network.addr = f.addr();
    c.guest_network.mask = f.addr();
    c.guest_network.start = f.addr();
    c.guest_network.end = f.addr();
    c.guest_network.wins = f.addr();
    c.led.power = f.s32();
    c.led.lan = f.s32();
    c.led.wlan0 = f.s32();
    c.led.wlan1 = f.s32();
    c.led.wlan2 = f.s32();
    c.led.mesh = f.s32();
    c.manage_vlan_id = f.s32();
    c.log_remote_en = f.s32();
    c.log_traffic_en = f.s32();
    r.text(c.log_remote_conf);
    c.lan_port_count = r.s32();
    read_list(r, c.lan_port, static_cast<uint64_t>(std::max(c.lan_port_count, 0)),
              read_lan_port<R>, LAN_PORT_WIRE_MIN);
    f = r.fixed(8);
    c.mesh_enable_total = f.s32();
    uint32_t radios = f.u32();
    if (spares) c.radio.swap(spares->cfg_radio);
    read_list(r, c.radio, radios, read_radio_cfg<R>, RADIO_CFG_WIRE_MIN);
}

template <class R>
void read_sw_port_cfg(R &r, sw_port_cfg &p) {
    reply_reader::run f = r.fixed(12);
    p.mode = f.u32();
    p.flow_control = f.u32();
    p.port = f.u32();
    r.text(p.descp);
}

template <class R>
void read_poe_port_cfg(R &r, poe_port_cfg &p) {
    reply_reader::run f = r.fixed(20);
    p.port = f.u32();
    p.enable = f.u32();
    p.user_power_limit = f.u32();
    p.power_limit_type = f.u32();
    p.priority = f.u32();
}

template <class R>
void read_pd_lifeguard(R &r, pd_lifeguard_cfg &p) {
    reply_reader::run f = r.fixed(44);
    p.port = f.u32();
    p.enable = f.u32();
    p.mode = f.u32();
    p.action = f.u32();
    p.specified_ip = f.addr();
    p.ping_interval = f.u32();
    p.ping_max_count = f.u32();
    p.power_recovery_interval = f.u32();
    p.reboot_max_retry_count = f.u32();
    p.reboot_count = f.u32();
    p.pd_bootup_time = f.u32();
    r.text(p.status);
}

template <class R>
void read_pdl_status(R &r, pdl_status_info &p) {
    reply_reader::run f = r.fixed(16);
    p.port = f.u32();
    p.state = f.u32();
    p.mode = f.u32();
    p.polling_method = f.u32();
    r.text(p.mac);
    p.management_ip = r.addr();
    r.text(p.action);
}

template <class R>
void read_switch_cfg(R &r, wtp_cfg &c) {
    r.text(c.sw_text);
    int32_t ports = r.s32();
    read_list(r, c.switch_port, signed_count(ports), read_sw_port_cfg<R>, SW_PORT_CFG_WIRE_MIN);
    reply_reader::run f = r.fixed(8);
    c.redundancyMode = f.s32();
    int32_t manage_macs = f.s32();
    read_macs(r, c.manage_mac_list, signed_count(manage_macs));
    f = r.fixed(8);
    c.power_budget = f.u32();
    int32_t poe_ports = f.s32();
    read_list(r, c.poe_port, signed_count(poe_ports), read_poe_port_cfg<R>,
              POE_PORT_CFG_WIRE_MIN);
    f = r.fixed(8);
    c.pdl_enable = f.u32();
    int32_t lifeguards = f.s32();
    read_list(r, c.pd_lifeguard, signed_count(lifeguards), read_pd_lifeguard<R>,
              PD_LIFEGUARD_WIRE_MIN);
    int32_t statuses = r.s32();
    read_list(r, c.pdl_status, signed_count(statuses), read_pdl_status<R>, PDL_STATUS_WIRE_MIN);
}

template <class R>
void read_ac_name(R &r, std::string &name) {
    if constexpr (stores<R>) {
        if (const uint8_t *p = r.take(AC_NAME_LEN)) {
            const char *field = reinterpret_cast<const char *>(p);
            name.assign(field, strnlen(field, AC_NAME_LEN));
        } else {
            name.clear();
        }
    } else {
        r.bytes(nullptr, AC_NAME_LEN);
    }
}

// The steps of a walk over the bytes held up to `end` (for cfg_copy_size). Each takes a
// position and gives the position after what it steps over, or null when that is not all
// held; a step from null stays null. They read only counts and text lengths, and the
// position travels in a register.
class held_walk {
public:
    explicit held_walk(const uint8_t *end) : end_(end) {}

    const uint8_t *fixed(const uint8_t *p, uint64_t n) const {
        return p && static_cast<uint64_t>(end_ - p) >= n ? p + n : nullptr;
    }
    const uint8_t *text(const uint8_t *p) const {
        p = fixed(p, 2);
        return p ? fixed(p, get_be16(p - 2)) : nullptr;
    }
    // A byte or a u32 (0 when it is not held).
    const uint8_t *u8(const uint8_t *p, uint8_t &v) const {
        p = fixed(p, 1);
        v = p ? p[-1] : 0;
        return p;
    }
    const uint8_t *u32(const uint8_t *p, uint32_t &v) const {
        p = fixed(p, 4);
        v = p ? get_be32(p - 4) : 0;
        return p;
    }
    // `count` elements of `size` bytes each, or that `step` walks.
    const uint8_t *repeat(const uint8_t *p, uint32_t count, size_t size) const {
        return fixed(p, uint64_t{count} * size);
    }
    template <class F>
    const uint8_t *each(const uint8_t *p, uint32_t count, F step) const {
        for (; count > 0 && p; --count) p = step(p);
        return p;
    }

private:
    const uint8_t *end_;
};

// The size a walk from `start` took, or 0 when it stopped.
size_t walked(const uint8_t *start, const uint8_t *p) {
    return p ? static_cast<size_t>(p - start) : 0;
}

// The walks of the copy's parts, in the decoders' order; a line whose comment names a text
// ends with it.
const uint8_t *walk_portal(const held_walk &w, const uint8_t *p, bool with_network_type) {
    p = w.text(w.fixed(p, 12));                     // ... the user URL
    p = w.text(w.fixed(w.text(w.fixed(p, 4)), 2));  // ... the RADIUS secret
    p = w.text(w.text(w.fixed(p, 28)));             // ... the external secret
    p = w.text(w.text(w.text(w.fixed(p, 6))));      // ... the local authentication
    p = w.text(w.fixed(p, 6));                      // ... the second RADIUS secret
    return w.fixed(p, with_network_type ? 8 : 4);
}

const uint8_t *walk_wlan_cfg(const held_walk &w, const uint8_t *p) {
    uint32_t white, acl;
    p = w.u32(w.fixed(w.text(w.fixed(p, 4)), 16), white);
    p = w.u32(w.fixed(w.repeat(p, white, 6), 40), acl);
    p = w.fixed(w.repeat(p, acl, 6), 20);
    p = w.text(w.text(w.text(w.text(p))));  // the WEP keys
    p = w.text(w.fixed(p, 8));               // the passphrase
    p = w.text(w.fixed(p, 10));              // the RADIUS secret
    p = w.text(w.fixed(p, 10));              // the accounting secret
    p = w.text(w.fixed(p, 8));               // the NAS identifier
    p = walk_portal(w, w.fixed(p, 18), true);
    return w.fixed(w.text(p), 20);
}

const uint8_t *walk_radio_cfg(const held_walk &w, const uint8_t *p) {
    uint32_t wlans;
    p = walk_portal(w, w.fixed(p, 72), false);
    p = w.u32(w.fixed(w.text(w.text(w.fixed(p, 4))), 10), wlans);
    return w.each(p, wlans, [&](const uint8_t *q) { return walk_wlan_cfg(w, q); });
}

const uint8_t *walk_ap_cfg(const held_walk &w, const uint8_t *p) {
    uint32_t lan_ports, radios;
    p = w.u32(w.text(w.fixed(p, 104)), lan_ports);
    p = w.repeat(p, static_cast<uint32_t>(std::max(static_cast<int32_t>(lan_ports), 0)), 12);
    p = w.u32(w.fixed(p, 4), radios);
    return w.each(p, radios, [&](const uint8_t *q) { return walk_radio_cfg(w, q); });
}

const uint8_t *walk_switch_cfg(const held_walk &w, const uint8_t *p) {
    uint32_t ports, macs, poe_ports, lifeguards, statuses;
    p = w.u32(w.text(p), ports);
    p = w.each(p, ports, [&](const uint8_t *q) { return w.text(w.fixed(q, 12)); });
    p = w.u32(w.fixed(p, 4), macs);
    p = w.u32(w.fixed(w.repeat(p, macs, 6), 4), poe_ports);
    p = w.u32(w.fixed(w.repeat(p, poe_ports, 20), 4), lifeguards);
    p = w.each(p, lifeguards, [&](const uint8_t *q) { return w.text(w.fixed(q, 44)); });
    p = w.u32(p, statuses);
    return w.each(p, statuses,
                  [&](const uint8_t *q) { return w.text(w.fixed(w.text(w.fixed(q, 16)), 4)); });
}

}  // namespace

// Walks the layouts that read_cfg and the decoders it calls decode: the copy is most of
// what the check pass before printing steps over.
size_t cfg_copy_size(const uint8_t *start, size_t held, uint8_t wtp_type) {
    const held_walk w(start + held);
    uint8_t present;
    uint32_t ac_names;
    const uint8_t *p = w.u8(start, present);
    if (!present) return walked(start, p);
    p = w.text(w.text(w.text(w.fixed(p, 20))));
    p = w.u32(w.fixed(p, 4), ac_names);
    p = w.repeat(p, ac_names, AC_NAME_LEN);
    p = wtp_type == WTP_TYPE_AP ? walk_ap_cfg(w, p) : walk_switch_cfg(w, p);
    return walked(start, p);
}

namespace {

template <class R>
void read_cfg(R &r, wtp_cfg &c, uint8_t wtp_type, wtp_spares *spares) {
    reply_reader::run f = r.fixed(20);
    c.address = f.addr();
    c.mask = f.addr();
    c.gateway = f.addr();
    c.dns1 = f.addr();
    c.dns2 = f.addr();
    r.text(c.name);
    r.text(c.location);
    r.text(c.admin);
    f = r.fixed(8);
    c.timezone = f.s32();
    int32_t ac_names = f.s32();
    read_list(r, c.ac_list, signed_count(ac_names), read_ac_name<R>, AC_NAME_LEN);
    if (wtp_type == WTP_TYPE_AP)
        read_ap_cfg(r, c, spares);
    else
        read_switch_cfg(r, c);
}

// What follows the fixed head of a record: the detail part of its device type and the
// configuration copy (in the spare one, when there is one).
template <class R>
void read_record_rest(R &r, wtp_info &w, wtp_spares *spares) {
    if (w.wtp_type == WTP_TYPE_AP)
        read_ap_detail(r, w, spares);
    else if (w.wtp_type == WTP_TYPE_SWITCH)
        read_switch_detail(r, w);
    if (r.failed()) return;
    if constexpr (!stores<R>) {
        if (r.step_over_held(cfg_copy_size, w.wtp_type)) return;
    }
    if (!r.flag()) return;
    if constexpr (stores<R>) {
        if (spares && spares->cfg) {
            w.cfg = std::move(spares->cfg);
        } else {
            try {
                w.cfg = std::make_unique<wtp_cfg>();
            } catch (const std::bad_alloc &) {
                r.out_of_memory();
                return;
            }
        }
        read_cfg(r, *w.cfg, w.wtp_type, spares);
    } else {
        wtp_cfg scratch;
        read_cfg(r, scratch, w.wtp_type, nullptr);
    }
}

void read_record(reply_reader &r, wtp_info &w, wtp_keep keep, wtp_spares *spares) {
    read_common(r, w);
    if (w.wtp_type == WTP_TYPE_AP) {
        w.cap_code = r.u32();
        r.text(w.sku);
        r.bytes(w.cfg_cap.data(), w.cfg_cap.size());
    } else if (w.wtp_type == WTP_TYPE_SWITCH) {
        reply_reader::run f = r.fixed(CFG_CAP_LEN + 4);
        f.bytes(w.cfg_cap.data(), w.cfg_cap.size());
        w.flick_reboot_flag = f.u32();
    }
    if (keep == wtp_keep::all) {
        read_record_rest(r, w, spares);
    } else {
        skip_reader skip(r);
        read_record_rest(skip, w, nullptr);
    }
}

}  // namespace

// A call of its own wherever it is used: the status bench counts decoding as this call.
[[gnu::noinline]] int read_wtp_info(reply_reader &in, wtp_info &rec, wtp_keep keep,
                                    wtp_spares *spares) {
    try {
        read_record(in, rec, keep, spares);
    } catch (const std::bad_alloc &) {
        in.out_of_memory();
    }
    return in.failed() ? 1 : 0;
}

int read_wtp_list(reply_reader &in, wtp_list &list, wtp_keep keep) {
    for (;;) {
        uint8_t marker;
        if (recv_u8(in, &marker)) break;
        if (marker != 0) return 0;
        try {
            list.items.emplace_back();  // grows with the records that arrive
        } catch (const std::bad_alloc &) {
            fputs(OUT_OF_MEMORY, stderr);
            break;
        }
        if (read_wtp_info(in, list.items.back(), keep)) break;
    }
    wtp_list_free(list);
    return 1;
}

int get_wtp_list(int sock, wtp_list &list, uint32_t flags, const std::vector<mac_addr> &macs,
                 wtp_keep keep) {
    if (send_wtp_list_request(sock, flags, macs)) return 1;
    reply_reader in(sock);
    return read_wtp_list(in, list, keep);
}

int check_wtp_reply(reply_reader &in, size_t &records) {
    records = 0;
    try {
        // Each record's common part, as a list of common parts would hold it; nothing of it
        // is looked at, so one serves them all.
        wtp_info scratch;
        for (;;) {
            const uint8_t marker = in.u8();
            if (in.failed()) return 1;
            if (marker != 0) return 0;
            read_record(in, scratch, wtp_keep::common, nullptr);
            if (in.failed()) return 1;
            ++records;
        }
    } catch (const std::bad_alloc &) {
        in.out_of_memory();  // a text of a record
    }
    return 1;
}

int send_wtp_list_request(int sock, uint32_t flags, const std::vector<mac_addr> &macs) {
    wire_buf req;
    req.u8(REQ_WTP_LIST);
    req.u32(flags);
    req.u16(static_cast<uint16_t>(macs.size()));
    req.macs(macs);
    return send_request(sock, req);
}

int get_wtp_reply(int sock, wtp_reply &reply, uint32_t flags,
                  const std::vector<mac_addr> &macs) {
    if (send_wtp_list_request(sock, flags, macs)) return 1;
    socket_source plain(sock);
    reply_reader in(ac_socket_source(sock, plain), reply.bytes);
    return check_wtp_reply(in, reply.records);
}

wtp_info *wtp_reply_records::next() {
    if (done_ || failed_) return nullptr;
    const uint8_t marker = in_.u8();
    if (in_.failed() || marker != 0) {
        failed_ = in_.failed();
        done_ = true;
        return nullptr;
    }
    spares_.keep_from(rec_);
    make_anew(rec_);
    if (read_wtp_info(in_, rec_, keep_, &spares_)) {
        failed_ = true;
        return nullptr;
    }
    ++handed_;
    return &rec_;
}

void wtp_spares::keep_from(wtp_info &rec) {
    if (!rec.radio.empty()) radio.swap(rec.radio);
    if (!rec.cfg) return;
    if (!rec.cfg->radio.empty()) cfg_radio.swap(rec.cfg->radio);
    make_anew(*rec.cfg);  // for the next copy to fill
    cfg = std::move(rec.cfg);
}

void wtp_list_free(wtp_list &list) { std::vector<wtp_info>().swap(list.items); }

int read_ac_info(reply_reader &in, ac_info &out) {
    in.text(out.cw_ver);
    out.max_wtps = in.u32();
    out.managed_wtps = in.u32();
    out.active_wtps = in.u32();
    out.total_sta = in.u32();
    out.upg_wtps = in.u32();
    out.redundant_mode = in.u32();
    return in.failed() ? 1 : 0;
}

int get_ac_info(int sock, ac_info &out) {
    wire_buf req;
    req.u8(REQ_AC_INFO);
    if (send_request(sock, req)) return 1;
    reply_reader in(sock);
    return read_ac_info(in, out);
}
