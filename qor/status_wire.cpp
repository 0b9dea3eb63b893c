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
// and each sequence decodes its elements into one scratch element.
#include <algorithm>
#include <cstdio>
#include <cstring>
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
    void text(std::string &, const char * = nullptr) { r_.skip_text(); }
    bool flag() { return r_.flag(); }

private:
    reply_reader &r_;
};

template <class R>
constexpr bool stores = !std::is_same_v<R, skip_reader>;

// Reads `count` elements with `read_one`, appending each as it arrives. Room is reserved
// for as many as the bytes held can carry (`wire_min`: the fewest bytes an element takes
// on the wire), at least doubling what is there. Returns false when memory ran out.
template <class R, class T, class F>
bool read_seq(R &r, std::vector<T> &out, uint64_t count, F read_one, size_t wire_min) {
    if constexpr (!stores<R>) {
        (void)out;
        (void)wire_min;
        T scratch;
        for (uint64_t i = 0; i < count && !r.failed(); ++i) read_one(r, scratch);
        return true;
    } else {
        try {
            for (uint64_t i = 0; i < count && !r.failed(); ++i) {
                if (out.size() == out.capacity()) {
                    uint64_t room = std::max<uint64_t>({r.held() / wire_min, out.size(), 1});
                    out.reserve(out.size() + static_cast<size_t>(std::min(count - i, room)));
                }
                out.emplace_back();
                read_one(r, out.back());
            }
        } catch (const std::bad_alloc &) {
            return false;
        }
        return true;
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

// The fewest bytes an element of each sequence takes on the wire (every text empty, every
// inner sequence empty).
constexpr size_t STA_WIRE_MIN = 26;
constexpr size_t WLAN_WIRE_MIN = 44;
constexpr size_t RADIO_WIRE_MIN = 61;
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
    for (size_t i = 0; i < name.size() && i <= 0xFFFF; ++i) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        if (c < 0x20 || c > 0x7E) {
            name.clear();
            return;
        }
    }
}

template <class R>
void read_sta(R &r, sta_info &s) {
    r.mac(s.mac);
    s.tx = r.u32();
    s.rx = r.u32();
    s.rssi = r.s32();
    r.text(s.os);
    r.text(s.hostname);
    filter_hostname(s.hostname);
    s.ip = r.addr();
}

template <class R>
void read_wlan(R &r, wlan_info &w) {
    r.mac(w.bssid);
    r.bytes(w.cfg_cap.data(), w.cfg_cap.size());
    w.tx_pkt = r.u32();
    w.tx_bytes = r.u32();
    w.rx_pkt = r.u32();
    w.rx_bytes = r.u32();
    if (!r.flag()) return;
    uint32_t stations = r.u32();
    read_list(r, w.sta, stations, read_sta<R>, STA_WIRE_MIN);
}

template <class R>
void read_radio(R &r, radio_info &ra) {
    r.mac(ra.mac);
    ra.type = r.u32();
    ra.max_tx_power = r.u32();
    r.bytes(ra.cfg_cap.data(), ra.cfg_cap.size());
    ra.channel = r.s32();
    ra.tx_power = r.u32();
    ra.tx_power_percent = r.u32();
    ra.role = r.s32();
    r.mac(ra.bssid);
    uint32_t wlans = r.u32();
    read_list(r, ra.wlan, wlans, read_wlan<R>, WLAN_WIRE_MIN);
}

template <class R>
void read_hw_port(R &r, hw_port &p) {
    p.port = r.u32();
    p.port_type = r.u32();
}

template <class R>
void read_sw_port(R &r, sw_port_status &p) {
    p.port = r.u32();
    p.enable = r.u32();
    p.speed = r.u32();
    p.link_status = r.u32();
    p.flow_control = r.u32();
    p.duplex = r.u32();
    p.auto_neg = r.u32();
}

template <class R>
void read_trunk(R &r, trunk_info &t) {
    t.id = r.u32();
    t.mode = r.u32();
    r.text(t.active_port);
    r.text(t.port);
}

template <class R>
void read_lldp(R &r, lldp_dev &d) {
    r.mac(d.mac);
    d.localPort = r.u32();
    r.text(d.remotePort);
    r.text(d.name);
    r.text(d.model);
}

template <class R>
void read_poe_port(R &r, poe_port_status &p) {
    p.port = r.u32();
    p.enable = r.u32();
    p.poe_class = r.u32();
    p.priority = r.u32();
    p.power_limit_type = r.u32();
    p.user_power_limit = r.u32();
    p.status = r.u32();
    p.output_voltage = r.u32();
    p.output_current = r.u32();
    p.output_power = r.u32();
    p.temperature = r.u32();
}

template <class R>
void read_topo_link(R &r, topo_link &l) {
    l.local_port = r.u32();
    r.mac(l.mac);
    r.text(l.remote_port);
}

template <class R>
void read_topo_dev(R &r, topo_dev &d) {
    d.type = r.u32();
    d.system_time = r.u32();
    d.update_time = r.u32();
    d.link_info_last_time = r.u32();
    d.no_link_info_first_time = r.u32();
    r.mac(d.mac);
    d.ip = r.addr();
    r.text(d.name);
    r.text(d.description);
    d.link_count = r.s32();
    if (d.link_count <= 0) return;
    if (!read_seq(r, d.link, static_cast<uint64_t>(d.link_count), read_topo_link<R>,
                  TOPO_LINK_WIRE_MIN)) {
        char msg[48];
        snprintf(msg, sizeof msg, "ERROR: Out of memory(linkCount=%d)\n", d.link_count);
        r.out_of_memory(msg);
    }
}

template <class R>
void read_common(R &r, wtp_info &w) {
    w.wtp_type = r.u8();
    r.mac(w.mac);
    w.ip = r.addr();
    w.port = r.u16();
    r.text(w.model);
    r.text(w.sn);
    w.managed = r.u8();
    w.unavaiable_fw = r.u8();
    w.upg_img = r.u8();
    r.text(w.new_fw_img);
    r.text(w.new_fw_ver);
    w.upg_state = r.u8();
    w.unavaiable_addr = r.u8();
    w.state = r.u8();
    w.sub_state = r.u8();
    w.progress = r.u8();
    r.text(w.sw_ver);
    r.text(w.cw_ver);
    r.text(w.name);
    w.uptime = r.u32();
    w.join_time = r.u32();
    w.last_time = r.u32();
    w.change_time = r.u32();
    w.cur_cfg.ip = r.addr();
    w.cur_cfg.mask = r.addr();
    w.cur_cfg.gateway = r.addr();
    w.cur_cfg.dns1 = r.addr();
    w.cur_cfg.dns2 = r.addr();
    w.mem.total = r.u32();
    w.mem.used = r.u32();
}

// The access point's detail part, after its capability bytes.
template <class R>
void read_ap_detail(R &r, wtp_info &w) {
    if (!r.flag()) return;
    uint8_t radios = r.u8();
    read_list(r, w.radio, radios, read_radio<R>, RADIO_WIRE_MIN);
}

// The switch's detail part, after its reboot flag.
template <class R>
void read_switch_detail(R &r, wtp_info &w) {
    if (!r.flag()) return;
    w.sw_max_port = r.u32();
    w.sw_max_trunk = r.u32();
    w.sw_max_vlan_num = r.u32();
    w.sw_max_managed_ap = r.u32();
    w.sw_max_mirror_num = r.u32();
    w.sw_max_multicast_num = r.u32();
    w.sw_max_power_budget = r.u32();
    w.sw_min_power_budget = r.u32();
    w.sw_max_static_mac_num = r.u32();
    w.sw_max_trunk_member = r.u32();
    w.sw_dev_suport_type = r.u32();
    read_list(r, w.switch_hw_port, w.sw_max_port, read_hw_port<R>, HW_PORT_WIRE_MIN);
    uint8_t ports = r.u8();
    read_list(r, w.switch_port, ports, read_sw_port<R>, SW_PORT_WIRE_MIN);
    uint8_t trunks = r.u8();
    read_list(r, w.trunk_port, trunks, read_trunk<R>, TRUNK_WIRE_MIN);
    uint16_t neighbours = r.u8();
    read_list(r, w.lldp_dev_list, neighbours, read_lldp<R>, LLDP_WIRE_MIN);
    w.power_budget = r.u32();
    w.allocated_power = r.u32();
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
    p.enable = r.u32();
    p.login_type = r.u32();
    p.radius_server = r.addr();
    r.text(p.userurl);
    p.walled_garden_enable = r.u32();
    r.text(p.walled_garden_pages);
    p.radius_port = r.u16();
    r.text(p.radius_secret);
    p.session_timeout = r.u32();
    p.session_timeout_enable = r.u32();
    p.idle_timeout = r.u32();
    p.idle_timeout_enable = r.u32();
    p.accounting_enable = r.u32();
    p.accounting_time = r.u32();
    p.auth_type = r.u32();
    r.text(p.external_server);
    r.text(p.external_secret);
    p.account_server = r.addr();
    p.accounting_port = r.u16();
    r.text(p.accounting_secret);
    r.text(p.uamformat);
    r.text(p.local_auth);
    p.port = r.u16();
    p.https_enable = r.u32();
    r.text(p.radius_secret2);
    p.radius_server2 = r.addr();
    if (with_network_type) p.network_type = r.u32();
}

template <class R>
void read_bandsteering(R &r, bandsteering_cfg &b) {
    b.mode = r.s32();
    b.percent_en = r.s32();
    b.rssi_en = r.s32();
    b.rssi = r.s32();
    b.percent = r.s32();
}

template <class R>
void read_wlan_cfg(R &r, wlan_cfg &w) {
    w.enable = r.u32();
    r.text(w.ssid);
    w.supr_ssid = r.u32();
    w.sta_sep = r.u32();
    w.isolation = r.u32();
    w.layer2Isolation = r.u32();
    uint32_t white_list = r.u32();
    read_macs(r, w.l2macWlist, white_list);
    w.vlan = r.u32();
    w.downloadlimit = r.s32();
    w.uploadlimit = r.s32();
    w.downperuser_en = r.s32();
    w.uploadperuser_en = r.s32();
    w.downloadMode = r.s32();
    w.uploadMode = r.s32();
    w.roaming.enable = r.u32();
    w.roaming.adv_search = r.u32();
    w.acl.mode = r.u32();
    uint32_t acl_macs = r.u32();
    read_macs(r, w.acl.mac, acl_macs);
    w.sec_mode = r.u32();
    w.wep.auth_type = r.u32();
    w.wep.in_type = r.u32();
    w.wep.key_len = r.u32();
    w.wep.def_key = r.u32();
    for (std::string &key : w.wep.key) r.text(key);
    w.wpa.enc_mode = r.u32();
    w.wpa.suiteb_en = r.u32();
    r.text(w.wpa.passphrase);
    w.wpa.group_key_int = r.u32();
    w.radius.addr = r.addr();
    w.radius.port = r.u16();
    r.text(w.radius.secret);
    w.acc.enable = r.u32();
    w.acc.addr = r.addr();
    w.acc.port = r.u16();
    r.text(w.acc.secret);
    w.acc.interval = r.u32();
    w.nas.id_enable = r.u32();
    r.text(w.nas.id);
    w.nas.port_enable = r.u32();
    w.nas.port = r.u16();
    w.nas.ip_enable = r.u32();
    w.nas.ip = r.addr();
    w.wpa.pmf_enable = r.u32();
    read_portal(r, w.portal, true);
    r.text(w.hotspot20);
    read_bandsteering(r, w.bandsteering);
}

template <class R>
void read_radio_cfg(R &r, radio_cfg &c) {
    c.country = r.u32();
    c.op_mode = r.u32();
    c.wl_mode = r.u32();
    c.channel.ht = r.u32();
    c.channel.ext = r.u32();
    c.channel.val = r.u32();
    c.tx_power = r.u32();
    c.obey_regulatory_power = r.u32();
    c.data_rate = r.s32();
    c.bit_rate = r.u32();
    c.ax_enable = r.u32();
    c.rts_cts_threshold = r.u32();
    c.distance = r.u32();
    c.aggregation.enable = r.u32();
    c.aggregation.frames = r.u32();
    c.aggregation.maxbytes = r.u32();
    c.limited_clients.enable = r.u32();
    c.limited_clients.count = r.u32();
    read_portal(r, c.portal, false);
    c.mesh.enable = r.s32();
    r.text(c.mesh.id);
    r.text(c.mesh.wpa_key);
    c.mesh.link_robust_threshold = r.s16();
    c.fasthandover.status = r.s32();
    c.fasthandover.rssi = r.s32();
    uint32_t wlans = r.u32();
    read_list(r, c.wlan, wlans, read_wlan_cfg<R>, WLAN_CFG_WIRE_MIN);
}

template <class R>
void read_lan_port(R &r, lan_port_cfg &p) {
    p.en = r.s32();
    p.vid = r.s32();
    p.vlan_mode = r.s32();
}

template <class R>
void read_ap_cfg(R &r, wtp_cfg &c) {
    r.bytes(c.password_md5.data(), c.password_md5.size());
    c.bandsteer = r.s32();
    read_bandsteering(r, c.bandsteering);
    c.fasthandover.status = r.s32();
    c.fasthandover.rssi = r.s32();
    c.guest_network.addr = r.addr();
    c.guest_network.mask = r.addr();
    c.guest_network.start = r.addr();
    c.guest_network.end = r.addr();
    c.guest_network.wins = r.addr();
    c.led.power = r.s32();
    c.led.lan = r.s32();
    c.led.wlan0 = r.s32();
    c.led.wlan1 = r.s32();
    c.led.wlan2 = r.s32();
    c.led.mesh = r.s32();
    c.manage_vlan_id = r.s32();
    c.log_remote_en = r.s32();
    c.log_traffic_en = r.s32();
    r.text(c.log_remote_conf);
    c.lan_port_count = r.s32();
    if (c.lan_port_count > 0)
        read_list(r, c.lan_port, static_cast<uint64_t>(c.lan_port_count), read_lan_port<R>, LAN_PORT_WIRE_MIN);
    c.mesh_enable_total = r.s32();
    uint32_t radios = r.u32();
    read_list(r, c.radio, radios, read_radio_cfg<R>, RADIO_CFG_WIRE_MIN);
}

template <class R>
void read_sw_port_cfg(R &r, sw_port_cfg &p) {
    p.mode = r.u32();
    p.flow_control = r.u32();
    p.port = r.u32();
    r.text(p.descp);
}

template <class R>
void read_poe_port_cfg(R &r, poe_port_cfg &p) {
    p.port = r.u32();
    p.enable = r.u32();
    p.user_power_limit = r.u32();
    p.power_limit_type = r.u32();
    p.priority = r.u32();
}

template <class R>
void read_pd_lifeguard(R &r, pd_lifeguard_cfg &p) {
    p.port = r.u32();
    p.enable = r.u32();
    p.mode = r.u32();
    p.action = r.u32();
    p.specified_ip = r.addr();
    p.ping_interval = r.u32();
    p.ping_max_count = r.u32();
    p.power_recovery_interval = r.u32();
    p.reboot_max_retry_count = r.u32();
    p.reboot_count = r.u32();
    p.pd_bootup_time = r.u32();
    r.text(p.status);
}

template <class R>
void read_pdl_status(R &r, pdl_status_info &p) {
    p.port = r.u32();
    p.state = r.u32();
    p.mode = r.u32();
    p.polling_method = r.u32();
    r.text(p.mac);
    p.management_ip = r.addr();
    r.text(p.action);
}

template <class R>
void read_switch_cfg(R &r, wtp_cfg &c) {
    r.text(c.sw_text);
    int32_t ports = r.s32();
    read_list(r, c.switch_port, signed_count(ports), read_sw_port_cfg<R>, SW_PORT_CFG_WIRE_MIN);
    c.redundancyMode = r.s32();
    int32_t manage_macs = r.s32();
    read_macs(r, c.manage_mac_list, signed_count(manage_macs));
    c.power_budget = r.u32();
    int32_t poe_ports = r.s32();
    read_list(r, c.poe_port, signed_count(poe_ports), read_poe_port_cfg<R>, POE_PORT_CFG_WIRE_MIN);
    c.pdl_enable = r.u32();
    int32_t lifeguards = r.s32();
    read_list(r, c.pd_lifeguard, signed_count(lifeguards), read_pd_lifeguard<R>, PD_LIFEGUARD_WIRE_MIN);
    int32_t statuses = r.s32();
    read_list(r, c.pdl_status, signed_count(statuses), read_pdl_status<R>, PDL_STATUS_WIRE_MIN);
}

template <class R>
void read_ac_name(R &r, std::string &name) {
    if constexpr (stores<R>) {
        if (const uint8_t *p = r.take(AC_NAME_LEN)) {
            const char *field = reinterpret_cast<const char *>(p);
            name.assign(field, strnlen(field, AC_NAME_LEN));
        }
    } else {
        r.bytes(nullptr, AC_NAME_LEN);
    }
}

template <class R>
void read_cfg(R &r, wtp_cfg &c, uint8_t wtp_type) {
    c.address = r.addr();
    c.mask = r.addr();
    c.gateway = r.addr();
    c.dns1 = r.addr();
    c.dns2 = r.addr();
    r.text(c.name);
    r.text(c.location);
    r.text(c.admin);
    c.timezone = r.s32();
    int32_t ac_names = r.s32();
    read_list(r, c.ac_list, signed_count(ac_names), read_ac_name<R>, AC_NAME_LEN);
    if (wtp_type == WTP_TYPE_AP)
        read_ap_cfg(r, c);
    else
        read_switch_cfg(r, c);
}

// What follows the fixed head of a record: the detail part of its device type and the
// configuration copy.
template <class R>
void read_record_rest(R &r, wtp_info &w) {
    if (w.wtp_type == WTP_TYPE_AP)
        read_ap_detail(r, w);
    else if (w.wtp_type == WTP_TYPE_SWITCH)
        read_switch_detail(r, w);
    if (r.failed() || !r.flag()) return;
    if constexpr (stores<R>) {
        try {
            w.cfg = std::make_unique<wtp_cfg>();
        } catch (const std::bad_alloc &) {
            r.out_of_memory();
            return;
        }
        read_cfg(r, *w.cfg, w.wtp_type);
    } else {
        wtp_cfg scratch;
        read_cfg(r, scratch, w.wtp_type);
    }
}

void read_record(reply_reader &r, wtp_info &w, wtp_keep keep) {
    read_common(r, w);
    if (w.wtp_type == WTP_TYPE_AP) {
        w.cap_code = r.u32();
        r.text(w.sku);
        r.bytes(w.cfg_cap.data(), w.cfg_cap.size());
    } else if (w.wtp_type == WTP_TYPE_SWITCH) {
        r.bytes(w.cfg_cap.data(), w.cfg_cap.size());
        w.flick_reboot_flag = r.u32();
    }
    if (keep == wtp_keep::all) {
        read_record_rest(r, w);
    } else {
        skip_reader skip(r);
        read_record_rest(skip, w);
    }
}

}  // namespace

int read_wtp_info(reply_reader &in, wtp_info &rec, wtp_keep keep) {
    try {
        read_record(in, rec, keep);
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
            list.items.emplace_back();
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
    wire_buf req;
    req.u8(REQ_WTP_LIST);
    req.u32(flags);
    req.u16(static_cast<uint16_t>(macs.size()));
    req.macs(macs);
    if (send_request(sock, req)) return 1;
    reply_reader in(sock);
    return read_wtp_list(in, list, keep);
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
