// Status queries on the wire: the WTP list request and the decoding of its records
// (with the configuration copy at their end), and the AC summary.
//
// Every decoder reads its record's fields one line per field, in wire order, through a
// reader whose failure is sticky: after the first failed read every further read yields
// zeros, and every count loop stops. Sequences grow with the elements that actually
// arrive, so a count the AC announces never decides how much memory is taken.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "status.h"

namespace {

// How many elements a sequence reserves ahead of what has arrived.
constexpr size_t RESERVE_AHEAD = 16;

const char OUT_OF_MEMORY[] = "ERROR: Out of memory\n";

class field_reader {
public:
    explicit field_reader(int sock) : sock_(sock) {}

    bool failed() const { return failed_; }

    // Ends decoding after an allocation failure, with its message.
    void out_of_memory(const char *msg = OUT_OF_MEMORY) {
        if (!failed_) fputs(msg, stderr);
        failed_ = true;
    }

    uint8_t u8() {
        uint8_t v = 0;
        if (!failed_ && recv_u8(sock_, &v)) fail();
        return failed_ ? 0 : v;
    }
    uint16_t u16() {
        uint16_t v = 0;
        if (!failed_ && recv_u16(sock_, &v)) fail();
        return failed_ ? 0 : v;
    }
    uint32_t u32() {
        uint32_t v = 0;
        if (!failed_ && recv_u32(sock_, &v)) fail();
        return failed_ ? 0 : v;
    }
    int32_t s32() { return static_cast<int32_t>(u32()); }
    int16_t s16() { return static_cast<int16_t>(u16()); }
    // An IPv4 address, kept in network byte order.
    uint32_t addr() {
        uint32_t v = 0;
        bytes(&v, sizeof v);
        return v;
    }
    void mac(mac_addr &m) { bytes(m.data(), m.size()); }
    void bytes(void *buf, size_t n) {
        if (!failed_ && recv_bytes(sock_, buf, n)) fail();
        if (failed_) memset(buf, 0, n);
    }
    // A counted text; length 0 leaves it empty (absent).
    void text(std::string &out) {
        if (!failed_ && recv_text16(sock_, out, nullptr, OUT_OF_MEMORY)) fail();
        if (failed_) out.clear();
    }
    // A presence byte: whether the part it announces follows.
    bool flag() { return u8() != 0; }

private:
    void fail() { failed_ = true; }

    int sock_;
    bool failed_ = false;
};

// Reads `count` elements with `read_one`, appending each as it arrives.
template <class T, class F>
void read_seq(field_reader &r, std::vector<T> &out, uint64_t count, F read_one,
              const char *oom_msg = OUT_OF_MEMORY) {
    try {
        out.reserve(static_cast<size_t>(std::min<uint64_t>(count, RESERVE_AHEAD)));
        for (uint64_t i = 0; i < count && !r.failed(); ++i) {
            out.emplace_back();
            read_one(r, out.back());
        }
    } catch (const std::bad_alloc &) {
        r.out_of_memory(oom_msg);
    }
}

void read_macs(field_reader &r, std::vector<mac_addr> &out, uint64_t count) {
    read_seq(r, out, count, [](field_reader &rr, mac_addr &m) { rr.mac(m); });
}

// A count the AC sends as a signed u32: a negative one announces as many elements as
// its unsigned value (the stream then ends long before).
uint64_t signed_count(int32_t c) { return static_cast<uint32_t>(c); }

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

void read_sta(field_reader &r, sta_info &s) {
    r.mac(s.mac);
    s.tx = r.u32();
    s.rx = r.u32();
    s.rssi = r.s32();
    r.text(s.os);
    r.text(s.hostname);
    filter_hostname(s.hostname);
    s.ip = r.addr();
}

void read_wlan(field_reader &r, wlan_info &w) {
    r.mac(w.bssid);
    r.bytes(w.cfg_cap.data(), w.cfg_cap.size());
    w.tx_pkt = r.u32();
    w.tx_bytes = r.u32();
    w.rx_pkt = r.u32();
    w.rx_bytes = r.u32();
    if (!r.flag()) return;
    uint32_t stations = r.u32();
    read_seq(r, w.sta, stations, read_sta);
}

void read_radio(field_reader &r, radio_info &ra) {
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
    read_seq(r, ra.wlan, wlans, read_wlan);
}

void read_hw_port(field_reader &r, hw_port &p) {
    p.port = r.u32();
    p.port_type = r.u32();
}

void read_sw_port(field_reader &r, sw_port_status &p) {
    p.port = r.u32();
    p.enable = r.u32();
    p.speed = r.u32();
    p.link_status = r.u32();
    p.flow_control = r.u32();
    p.duplex = r.u32();
    p.auto_neg = r.u32();
}

void read_trunk(field_reader &r, trunk_info &t) {
    t.id = r.u32();
    t.mode = r.u32();
    r.text(t.active_port);
    r.text(t.port);
}

void read_lldp(field_reader &r, lldp_dev &d) {
    r.mac(d.mac);
    d.localPort = r.u32();
    r.text(d.remotePort);
    r.text(d.name);
    r.text(d.model);
}

void read_poe_port(field_reader &r, poe_port_status &p) {
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

void read_topo_link(field_reader &r, topo_link &l) {
    l.local_port = r.u32();
    r.mac(l.mac);
    r.text(l.remote_port);
}

void read_topo_dev(field_reader &r, topo_dev &d) {
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
    char msg[48];
    snprintf(msg, sizeof msg, "ERROR: Out of memory(linkCount=%d)\n", d.link_count);
    read_seq(r, d.link, static_cast<uint64_t>(d.link_count), read_topo_link, msg);
}

void read_common(field_reader &r, wtp_info &w) {
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

void read_ap_part(field_reader &r, wtp_info &w) {
    w.cap_code = r.u32();
    r.text(w.sku);
    r.bytes(w.cfg_cap.data(), w.cfg_cap.size());
    if (!r.flag()) return;
    uint8_t radios = r.u8();
    read_seq(r, w.radio, radios, read_radio);
}

void read_switch_part(field_reader &r, wtp_info &w) {
    r.bytes(w.cfg_cap.data(), w.cfg_cap.size());
    w.flick_reboot_flag = r.u32();
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
    read_seq(r, w.switch_hw_port, w.sw_max_port, read_hw_port);
    uint8_t ports = r.u8();
    read_seq(r, w.switch_port, ports, read_sw_port);
    uint8_t trunks = r.u8();
    read_seq(r, w.trunk_port, trunks, read_trunk);
    uint16_t neighbours = r.u8();
    read_seq(r, w.lldp_dev_list, neighbours, read_lldp);
    w.power_budget = r.u32();
    w.allocated_power = r.u32();
    uint8_t poe_ports = r.u8();
    read_seq(r, w.poe_port, poe_ports, read_poe_port);
    uint16_t devices = r.u16();
    read_seq(r, w.dev_list, devices, read_topo_dev,
             "ERROR: Out of memory(switchTopoDevCount)\n");
}

// ---- configuration copy -----------------------------------------------------------

// The portal settings of radio and WLAN configurations; the WLAN's carry the network
// type after the second RADIUS server.
void read_portal(field_reader &r, portal_cfg &p, bool with_network_type) {
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

void read_bandsteering(field_reader &r, bandsteering_cfg &b) {
    b.mode = r.s32();
    b.percent_en = r.s32();
    b.rssi_en = r.s32();
    b.rssi = r.s32();
    b.percent = r.s32();
}

void read_wlan_cfg(field_reader &r, wlan_cfg &w) {
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

void read_radio_cfg(field_reader &r, radio_cfg &c) {
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
    read_seq(r, c.wlan, wlans, read_wlan_cfg);
}

void read_lan_port(field_reader &r, lan_port_cfg &p) {
    p.en = r.s32();
    p.vid = r.s32();
    p.vlan_mode = r.s32();
}

void read_ap_cfg(field_reader &r, wtp_cfg &c) {
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
        read_seq(r, c.lan_port, static_cast<uint64_t>(c.lan_port_count), read_lan_port);
    c.mesh_enable_total = r.s32();
    uint32_t radios = r.u32();
    read_seq(r, c.radio, radios, read_radio_cfg);
}

void read_sw_port_cfg(field_reader &r, sw_port_cfg &p) {
    p.mode = r.u32();
    p.flow_control = r.u32();
    p.port = r.u32();
    r.text(p.descp);
}

void read_poe_port_cfg(field_reader &r, poe_port_cfg &p) {
    p.port = r.u32();
    p.enable = r.u32();
    p.user_power_limit = r.u32();
    p.power_limit_type = r.u32();
    p.priority = r.u32();
}

void read_pd_lifeguard(field_reader &r, pd_lifeguard_cfg &p) {
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

void read_pdl_status(field_reader &r, pdl_status_info &p) {
    p.port = r.u32();
    p.state = r.u32();
    p.mode = r.u32();
    p.polling_method = r.u32();
    r.text(p.mac);
    p.management_ip = r.addr();
    r.text(p.action);
}

void read_switch_cfg(field_reader &r, wtp_cfg &c) {
    r.text(c.sw_text);
    int32_t ports = r.s32();
    read_seq(r, c.switch_port, signed_count(ports), read_sw_port_cfg);
    c.redundancyMode = r.s32();
    int32_t manage_macs = r.s32();
    read_macs(r, c.manage_mac_list, signed_count(manage_macs));
    c.power_budget = r.u32();
    int32_t poe_ports = r.s32();
    read_seq(r, c.poe_port, signed_count(poe_ports), read_poe_port_cfg);
    c.pdl_enable = r.u32();
    int32_t lifeguards = r.s32();
    read_seq(r, c.pd_lifeguard, signed_count(lifeguards), read_pd_lifeguard);
    int32_t statuses = r.s32();
    read_seq(r, c.pdl_status, signed_count(statuses), read_pdl_status);
}

void read_ac_name(field_reader &r, std::string &name) {
    char field[AC_NAME_LEN];
    r.bytes(field, sizeof field);
    name.assign(field, strnlen(field, sizeof field));
}

void read_cfg(field_reader &r, wtp_cfg &c, uint8_t wtp_type) {
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
    read_seq(r, c.ac_list, signed_count(ac_names), read_ac_name);
    if (wtp_type == WTP_TYPE_AP)
        read_ap_cfg(r, c);
    else
        read_switch_cfg(r, c);
}

void read_record(field_reader &r, wtp_info &w) {
    read_common(r, w);
    if (w.wtp_type == WTP_TYPE_AP)
        read_ap_part(r, w);
    else if (w.wtp_type == WTP_TYPE_SWITCH)
        read_switch_part(r, w);
    if (r.failed() || !r.flag()) return;
    try {
        w.cfg = std::make_unique<wtp_cfg>();
    } catch (const std::bad_alloc &) {
        r.out_of_memory();
        return;
    }
    read_cfg(r, *w.cfg, w.wtp_type);
}

}  // namespace

int read_wtp_info(int sock, wtp_info &rec) {
    field_reader r(sock);
    try {
        read_record(r, rec);
    } catch (const std::bad_alloc &) {
        r.out_of_memory();
    }
    return r.failed() ? 1 : 0;
}

int get_wtp_list(int sock, wtp_list &list, uint32_t flags, const std::vector<mac_addr> &macs,
                 wtp_keep keep) {
    wire_buf req;
    req.u8(REQ_WTP_LIST);
    req.u32(flags);
    req.u16(static_cast<uint16_t>(macs.size()));
    req.macs(macs);
    if (send_request(sock, req)) return 1;
    for (;;) {
        uint8_t marker;
        if (recv_u8(sock, &marker)) break;
        if (marker != 0) return 0;
        try {
            list.items.emplace_back();
        } catch (const std::bad_alloc &) {
            fputs(OUT_OF_MEMORY, stderr);
            break;
        }
        if (read_wtp_info(sock, list.items.back())) break;
        if (keep == wtp_keep::common) list.items.back().drop_detail();
    }
    wtp_list_free(list);
    return 1;
}

void wtp_list_free(wtp_list &list) { std::vector<wtp_info>().swap(list.items); }

int get_ac_info(int sock, ac_info &out) {
    wire_buf req;
    req.u8(REQ_AC_INFO);
    if (send_request(sock, req)) return 1;
    field_reader r(sock);
    r.text(out.cw_ver);
    out.max_wtps = r.u32();
    out.managed_wtps = r.u32();
    out.active_wtps = r.u32();
    out.total_sta = r.u32();
    out.upg_wtps = r.u32();
    out.redundant_mode = r.u32();
    return r.failed() ? 1 : 0;
}
