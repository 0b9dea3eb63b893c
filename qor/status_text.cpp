// Text forms of the WTP list: the brief one-line-per-WTP table and the detailed listing,
// each followed by the closing block with the record count.
//
// Scripts on the appliance parse these lines, so every literal is kept exactly as the
// tools have always printed it (tabs, spaces, missing line ends and spellings included).
// One print() per printed literal, its pieces in the order they appear on the line, all
// formatted straight into the output buffer (out_buf.h). Texts that came from the AC go
// through text(), so a control byte in one can neither end a line nor start a column.
#include <ctime>

#include "front.h"
#include "rate.h"
#include "status.h"

namespace {

const char SEPARATOR[] = "-------------------------------------\n";

unsigned u(uint32_t v) { return static_cast<unsigned>(v); }
int s(uint32_t v) { return static_cast<int>(v); }

// ---- pieces of a line ------------------------------------------------------------------

struct mac_piece {
    const mac_addr &mac;
};
struct ipv4_piece {
    uint32_t addr;  // network byte order
};
struct md5_piece {
    const std::array<uint8_t, 16> &digest;
};
struct text_piece {  // a text from the AC
    const std::string &text;
};
struct cstr {  // a text made here (formatters, ctime): printed as it is
    const char *text;
};

mac_piece mac(const mac_addr &m) { return {m}; }
ipv4_piece ipv4(uint32_t addr) { return {addr}; }
md5_piece md5(const std::array<uint8_t, 16> &d) { return {d}; }
text_piece text(const std::string &t) { return {t}; }

// Each piece is a call: a line is then a few calls, not a copy of the formatting code.
[[gnu::noinline]] void put_piece(out_buf &o, const char *s, size_t n) { o.put(s, n); }
template <size_t N>
void piece(out_buf &o, const char (&literal)[N]) {
    put_piece(o, literal, N - 1);
}
[[gnu::noinline]] void piece(out_buf &o, unsigned v) { o.put_u32(v); }  // "%u"
[[gnu::noinline]] void piece(out_buf &o, int v) { o.put_i32(v); }       // "%d"
void piece(out_buf &o, mac_piece m) { put_mac(o, m.mac.data()); }
void piece(out_buf &o, ipv4_piece a) { put_ipv4(o, a.addr); }
void piece(out_buf &o, md5_piece d) { put_md5(o, d.digest.data()); }
void piece(out_buf &o, text_piece t) { text_form_put(o, t.text.c_str()); }
[[gnu::noinline]] void piece(out_buf &o, cstr t) { o.put_cstr(t.text); }
// Characters and switches are no numbers here.
void piece(out_buf &o, char) = delete;
void piece(out_buf &o, bool) = delete;

template <class... Pieces>
void print(out_buf &o, const Pieces &...pieces) {
    (piece(o, pieces), ...);
}

// A time in seconds since the epoch: the ctime text (which ends with a line feed), or a
// bare line feed for 0 (unset) or a time the C library cannot convert.
const char *time_text(uint32_t secs) {
    if (secs == 0) return "\n";
    time_t t = static_cast<time_t>(secs);
    const char *text = ctime(&t);
    return text ? text : "\n";
}

// "<label>0x.. 0x.. ... \n" for the 21 configuration capability bytes.
template <size_t N>
void print_cfg_cap(out_buf &o, const char (&label)[N], const cfg_cap_bytes &cap) {
    o.put_literal(label);
    for (uint8_t b : cap) {
        put_hex_byte(o, b);
        o.put_char(' ');
    }
    o.put_char('\n');
}

// A duration "%ud:%uh:%um:%us".
void print_uptime(out_buf &o, uint32_t up) {
    print(o, u(up / 86400), "d:", u(up % 86400 / 3600), "h:", u(up % 3600 / 60), "m:",
          u(up % 60), "s");
}

// ---- detailed text: the record itself ------------------------------------------------

void print_common(out_buf &o, const wtp_info &w) {
    const bool ap = w.wtp_type == WTP_TYPE_AP;
    print(o, "MAC\t\t", mac(w.mac), "\n");
    print(o, "IP\t\t", ipv4(w.ip), ":", u(w.port), "\n");
    print(o, "Model\t\t", text(w.model), "\n");
    if (ap) print(o, "Capability Code\t", u(w.cap_code), "\n");
    if (ap) print(o, "SKU\t\t", text(w.sku), "\n");
    print(o, "SN\t\t", text(w.sn), "\n");
    print(o, "Managed\t\t", u(w.managed), "\n");
    print(o, "Unavailable FW\t", u(w.unavaiable_fw), "\n");
    print(o, "Upgrade Image\t", u(w.upg_img), "\n");
    print(o, "wtp type\t\t", s(w.wtp_type), "\n");
    print(o, "Image Name\t", text(w.new_fw_img), "\n");
    print(o, "Image Version\t", text(w.new_fw_ver), "\n");
    print(o, "Upgrade state\t", s(w.upg_state), "\n");
    print(o, "Unavailable IP\t", u(w.unavaiable_addr), "\n");
    print(o, "State\t\t", u(w.state), "\n");
    print(o, "SubState\t", u(w.sub_state), "\n");
    print(o, "Progress\t", u(w.progress), "\n");
    print(o, "Sw Ver\t\t", text(w.sw_ver), "\n");
    print(o, "Capwap Ver\t", text(w.cw_ver), "\n");
    print(o, "Name\t\t", text(w.name), "\n");
    print(o, "Uptime\t\t");
    print_uptime(o, w.uptime);
    print(o, "\n");
    print(o, "Join Time\t", cstr{time_text(w.join_time)});
    print(o, "Last Active\t", cstr{time_text(w.last_time)});
    print(o, "State Change\t", cstr{time_text(w.change_time)});
    print(o, "Memory Usage\t", u(w.mem.used), "/", u(w.mem.total), "\n");
}

void print_ap_radios(out_buf &o, const wtp_info &w, bool basic) {
    print_cfg_cap(o, "Cfg Capability\t", w.cfg_cap);
    if (basic) return;
    unsigned i = 0;
    for (const radio_info &r : w.radio) {
        print(o, "Radio", ++i, " Info:\n");
        print(o, "  MAC\t\t", mac(r.mac), "\n");
        print(o, "  Type\t\t", u(r.type), "\n");
        print_cfg_cap(o, "  Cfg Capability\t", r.cfg_cap);
        unsigned j = 0;
        for (const wlan_info &wl : r.wlan) {
            print(o, "  Wlan", ++j, " Info:\n");
            print(o, "    BSSID\t", mac(wl.bssid), "\n");
            print_cfg_cap(o, "    Cfg Capability\t", wl.cfg_cap);
            print(o, "    Tx Pkts\t", u(wl.tx_pkt), "\n");
            print(o, "    Tx Bytes\t", u(wl.tx_bytes), "\n");
            print(o, "    Rx Pkts\t", u(wl.rx_pkt), "\n");
            print(o, "    Rx Bytes\t", u(wl.rx_bytes), "\n");
            print(o, "    Stations:\n");
            for (const sta_info &st : wl.sta) {
                print(o, "      ", mac(st.mac), " TX ", u(st.tx), "KB RX ", u(st.rx), "KB RSSI ",
                      st.rssi, "dBm\n");
                print(o, "      IP ", ipv4(st.ip), "\n     OS ", text(st.os), "\n     HostName ",
                      text(st.hostname), "\n");
            }
        }
    }
    print(o, "\n");
}

void print_switch_detail(out_buf &o, const wtp_info &w) {
    for (const sw_port_status &p : w.switch_port) {
        print(o, "Port", u(p.port), " :\n");
        print(o, "    Speed\t", u(p.speed), "\n");
        print(o, "    Status\t", u(p.enable), "\n");
        print(o, "    Link Status\t", u(p.link_status), "\n");
        print(o, "    Flow Control\t", u(p.flow_control), "\n");
        print(o, "    Duplex Mode\t", u(p.duplex), "\n");
        print(o, "    Speed\t", u(p.auto_neg), "\n");
    }
    print(o, "\n");
    print(o, "Total Power Budget:\t", u(w.power_budget), " Watts\n");
    print(o, "Consumed Power:\t", u(w.allocated_power), " Watts\n");
    for (const poe_port_status &p : w.poe_port) {
        print(o, "Port", u(p.port), " PoE:\n");
        print(o, "    Enable\t", u(p.enable), "\n");
        print(o, "    Class\t", u(p.poe_class), "\n");
        print(o, "    Priority\t", u(p.priority), "\n");
        print(o, "    Power Limit Type\t", u(p.power_limit_type), "\n");
        print(o, "    Power Limit\t", u(p.user_power_limit), "\n");
        print(o, "    Status\t", u(p.status), "\n");
        print(o, "    Voltage\t", u(p.output_voltage), "\n");
        print(o, "    Current\t", u(p.output_current), "\n");
        print(o, "    Power\t", u(p.output_power), "\n");
        print(o, "    Temperature\t", u(p.temperature), "\n");
    }
    print(o, "\n");
    print(o, "Topology\n");
    for (const topo_dev &d : w.dev_list) {
        print(o, "    Device Type\t", u(d.type), "\n");
        print(o, "    System Time\t", u(d.system_time), "\n");
        print(o, "    Update Time\t", u(d.update_time), "\n");
        print(o, "    Link Last Time \t", u(d.link_info_last_time), "\n");
        print(o, "    No Link First Time\t", u(d.no_link_info_first_time), "\n");
        print(o, "    MAC\t", mac(d.mac), "\n");
        print(o, "    IP\t", ipv4(d.ip), "\n");
        print(o, "    Name\t", text(d.name), "\n");
        print(o, "    Dsec\t", text(d.description), "\n");
        print(o, "    Link Info:\n");
        for (const topo_link &l : d.link) {
            print(o, "        Remote Port\t", text(l.remote_port), "\n");
            print(o, "        Local Port\t", u(l.local_port), "\n");
            print(o, "        MAC\t", mac(l.mac), "\n");
        }
    }
}

// ---- detailed text: the configuration copy -------------------------------------------

void print_cfg_common(out_buf &o, const wtp_cfg &c, bool password) {
    print(o, "Configuration:\n");
    print(o, "  Name\t\t\t\t\t", text(c.name), "\n");
    print(o, "  Location\t\t\t\t", text(c.location), "\n");
    print(o, "  Admin\t\t\t\t\t", text(c.admin), "\n");
    if (password) print(o, "  Password MD5\t\t\t\t", md5(c.password_md5), "\n");
    if (c.address != 0) {
        print(o, "  IP\t\t\t\t\t", ipv4(c.address), "\n");
        print(o, "  Mask\t\t\t\t\t", ipv4(c.mask), "\n");
        print(o, "  Gateway\t\t\t\t", ipv4(c.gateway), "\n");
        print(o, "  DNS1\t\t\t\t\t", ipv4(c.dns1), "\n");
        print(o, "  DNS2\t\t\t\t\t", ipv4(c.dns2), "\n");
    } else {
        print(o, "  DHCP mode\n");
    }
}

void print_radio_cfg(out_buf &o, const radio_cfg &r, unsigned i) {
    const portal_cfg &p = r.portal;
    print(o, "  Radio", i, ":\n");
    print(o, "    Operation Mode\t\t\t", u(r.op_mode), "\n");
    print(o, "    Wireless Mode\t\t\t", u(r.wl_mode), "\n");
    print(o, "    Country Code\t\t\t", u(r.country), "\n");
    print(o, "    Channel:\n");
    print(o, "      HT Mode\t\t\t\t", u(r.channel.ht), "\n");
    print(o, "      Extension\t\t\t\t", u(r.channel.ext), "\n");
    print(o, "      Value\t\t\t\t", u(r.channel.val), "\n");
    print(o, "    Tx Power\t\t\t\t", u(r.tx_power), "\n");
    print(o, "    Obey Regulatory Power\t\t", u(r.obey_regulatory_power), "\n");
    print(o, "    Data Rate\t\t\t\t", cstr{rate_to_text(r.data_rate)}, "\n");
    print(o, "    Bit Rate\t\t\t\t", u(r.bit_rate), "\n");
    print(o, "    AX Enable\t\t\t\t", u(r.ax_enable), "\n");
    print(o, "    RTS/CTS Threshold\t\t\t", u(r.rts_cts_threshold), "\n");
    print(o, "    Distance\t\t\t\t", u(r.distance), "\n");
    print(o, "    Aggregation:\n");
    print(o, "      Enable\t\t\t\t", u(r.aggregation.enable), "\n");
    print(o, "      Frames\t\t\t\t", u(r.aggregation.frames), "\n");
    print(o, "      Bytes\t\t\t\t", u(r.aggregation.maxbytes), "\n");
    print(o, "    Max Clients:\n");
    print(o, "      Enable\t\t\t\t", u(r.limited_clients.enable), "\n");
    print(o, "      Clients\t\t\t\t", u(r.limited_clients.count), "\n");
    print(o, "    Portal:\n");
    print(o, "      Enable\t\t\t\t", u(p.enable), "\n");
    print(o, "      Type\t\t\t\t", u(p.login_type), "\n");
    print(o, "      Radius\t\t\t\t\t", ipv4(p.radius_server), "\n");
    print(o, "      Redirect\t\t\t\t\t", text(p.userurl), "\n");
    print(o, "      WalledGarden\t\t\t\t\t", u(p.walled_garden_enable), "\n");
    print(o, "      WalledGardenPage\t\t\t\t\t", text(p.walled_garden_pages), "\n");
    print(o, "\t  RadiusPort\t\t\t\t\t", u(p.radius_port), "\n");
    print(o, "\t  RadiusSecret\t\t\t\t\t", text(p.radius_secret), "\n");
    // These portal values have always been printed without line ends.
    print(o, "\t  SessionTimeout\t\t\t\t\t", u(p.session_timeout));
    print(o, "\t  SessionTimeoutEnable\t\t\t\t\t", u(p.session_timeout_enable));
    print(o, "\t  IdleTimeout\t\t\t\t\t", u(p.idle_timeout));
    print(o, "\t  IdleTimeoutEnable", u(p.idle_timeout_enable));
    print(o, "\t  AccountingEnable\t\t\t\t\t", u(p.accounting_enable));
    print(o, "\t  AccountingTime\t\t\t\t\t", u(p.accounting_time));
    print(o, "\t  AuthType\t\t\t\t\t", u(p.auth_type));
    print(o, "\t  ExternalServer\t\t\t\t\t", text(p.external_server));
    print(o, "\t  ExternalSecret\t\t\t\t\t", text(p.external_secret));
    print(o, "\t  AccountingServer\t\t\t\t\t", ipv4(p.account_server));
    print(o, "\t  AccountingPort\t\t\t\t\t", u(p.accounting_port));
    print(o, "\t  AccountingSecret\t\t\t\t\t", text(p.accounting_secret));
    print(o, "      UamFormat\t\t\t\t\t", text(p.uamformat), "\n");
    print(o, "      LocalAuth\t\t\t\t\t", text(p.local_auth), "\n");
    print(o, "      Port\t\t\t\t\t", u(p.port), "\n");
    print(o, "      HttpsEnable\t\t\t\t\t", u(p.https_enable), "\n");
    print(o, "\t  RadiusSecret2\t\t\t\t\t", text(p.radius_secret2), "\n");
    print(o, "      Radius2\t\t\t\t\t", ipv4(p.radius_server2), "\n");
    print(o, "    Mesh:\n");
    print(o, "      Enable\t\t\t\t", r.mesh.enable, "\n");
    print(o, "      ID\t\t\t\t", text(r.mesh.id), "\n");
    print(o, "      WPA Key\t\t\t\t", text(r.mesh.wpa_key), "\n");
    print(o, "      Link Robust Threshold\t\t\t\t", r.mesh.link_robust_threshold, "\n");
    print(o, "    Fast Handover Status\t\t\t", r.fasthandover.status, "\n");
    print(o, "    Fast Handover RSSI\t\t\t", r.fasthandover.rssi, "\n");
}

void print_wlan_cfg(out_buf &o, const wlan_cfg &w, unsigned j) {
    print(o, "    WLAN", j, ":\n");
    print(o, "      Enable\t\t\t\t", u(w.enable), "\n");
    print(o, "      SSID\t\t\t\t", text(w.ssid), "\n");
    print(o, "      Suppressed SSID\t\t\t", u(w.supr_ssid), "\n");
    print(o, "      Station Separation\t\t", u(w.sta_sep), "\n");
    print(o, "      layer2 Isolation\t\t", u(w.layer2Isolation), "\n");
    print(o, "      Isolation\t\t\t\t", u(w.isolation), "\n");
    print(o, "      VLAN\t\t\t\t", u(w.vlan), "\n");
    print(o, "      Download Lmit\t\t\t", w.downloadlimit, "\n");
    print(o, "      Upload Lmit\t\t\t\t", w.uploadlimit, "\n");
    print(o, "      Download Per User Enable\t\t\t", w.downperuser_en, "\n");
    print(o, "      Upload Per User Enable\t\t\t\t", w.uploadperuser_en, "\n");
    print(o, "      Download rate mode\t\t\t\t", w.downloadMode, "\n");
    print(o, "      Upload rate mode\t\t\t\t", w.uploadMode, "\n");
    print(o, "      Roaming Enable\t\t\t", u(w.roaming.enable), "\n");
    print(o, "      Roaming Adv Search\t\t", u(w.roaming.adv_search), "\n");
    print(o, "      Download Limit\t\t\t", w.downloadlimit, "\n");
    print(o, "      Upload Limit\t\t\t", w.uploadlimit, "\n");
    print(o, "      ACL:\n");
    print(o, "        Mode\t\t\t\t", u(w.acl.mode), "\n");
    for (const mac_addr &m : w.acl.mac) print(o, "        ", mac(m), "\n");
    // WEP, WPA, RADIUS and NAS settings print whatever the security mode.
    print(o, "      Security Mode\t\t\t", u(w.sec_mode), "\n");
    print(o, "      WEP:\n");
    print(o, "        Auth Type\t\t\t", u(w.wep.auth_type), "\n");
    print(o, "        Input Method\t\t\t", u(w.wep.in_type), "\n");
    print(o, "        Key Length\t\t\t", u(w.wep.key_len), "\n");
    print(o, "        Default Key Id\t\t\t", u(w.wep.def_key), "\n");
    for (int k = 0; k < 4; ++k)
        print(o, "        Key", k + 1, "\t\t\t\t", text(w.wep.key[k]), "\n");
    print(o, "      WPA:\n");
    print(o, "        Encrypt Mode\t\t\t", u(w.wpa.enc_mode), "\n");
    print(o, "        Protected Management Frames\t", u(w.wpa.pmf_enable), "\n");
    print(o, "        Passphrase\t\t\t", text(w.wpa.passphrase), "\n");
    print(o, "        Group Key Update Interval\t", u(w.wpa.group_key_int), "\n");
    print(o, "        Radius:\n");
    print(o, "          Address\t\t\t", ipv4(w.radius.addr), "\n");
    print(o, "          Port\t\t\t\t", u(w.radius.port), "\n");
    print(o, "          Secret\t\t\t", text(w.radius.secret), "\n");
    print(o, "          Accounting:\n");
    print(o, "            Enable\t\t\t", u(w.acc.enable), "\n");
    print(o, "            Address\t\t\t", ipv4(w.acc.addr), "\n");
    print(o, "            Port\t\t\t", u(w.acc.port), "\n");
    print(o, "            Secret\t\t\t", text(w.acc.secret), "\n");
    print(o, "            Intermi Interval\t\t", u(w.acc.interval), "\n");
    print(o, "        NAS:\n");
    print(o, "          ID Enable\t\t\t", u(w.nas.id_enable), "\n");
    print(o, "          ID\t\t\t", text(w.nas.id), "\n");
    print(o, "          Port Enable\t\t\t", u(w.nas.port_enable), "\n");
    print(o, "          Port\t\t\t\t", u(w.nas.port), "\n");
    print(o, "          IP Enable\t\t\t", u(w.nas.ip_enable), "\n");
    print(o, "          IP\t\t\t\t", ipv4(w.nas.ip), "\n");
}

void print_ap_cfg(out_buf &o, const wtp_cfg &c) {
    print(o, "  Banstreering\t\t\t\t", c.bandsteer, "\n");
    print(o, "  Banstreer:\n");
    print(o, "    mode\t\t\t\t", c.bandsteering.mode, "\n");
    print(o, "    percent_enable\t\t\t\t", c.bandsteering.percent_en, "\n");
    print(o, "    rssi_enable\t\t\t\t", c.bandsteering.rssi_en, "\n");
    print(o, "    rssi\t\t\t\t", c.bandsteering.rssi, "\n");
    print(o, "    percent\t\t\t\t", c.bandsteering.percent, "\n");
    print(o, "  Fast Handover Status\t\t\t", c.fasthandover.status, "\n");
    print(o, "  Fast Handover RSSI\t\t\t", c.fasthandover.rssi, "\n");
    print(o, "  Guest Network\n");
    print(o, "    Address\t\t\t\t", ipv4(c.guest_network.addr), "\n");
    print(o, "    Mask\t\t\t\t", ipv4(c.guest_network.mask), "\n");
    print(o, "    Start\t\t\t\t", ipv4(c.guest_network.start), "\n");
    print(o, "    End\t\t\t\t\t", ipv4(c.guest_network.end), "\n");
    print(o, "    WINS\t\t\t\t", ipv4(c.guest_network.wins), "\n");
    print(o, "  Led\n");
    print(o, "    Power\t\t\t\t", c.led.power, "\n");
    print(o, "    Lan\t\t\t\t", c.led.lan, "\n");
    print(o, "    Wlan0\t\t\t\t", c.led.wlan0, "\n");
    print(o, "    Wlan1\t\t\t\t", c.led.wlan1, "\n");
    print(o, "    Wlan2\t\t\t\t", c.led.wlan2, "\n");
    print(o, "    Mesh\t\t\t\t", c.led.mesh, "\n");
    print(o, "  Managed vlan id\t\t", c.manage_vlan_id, "\n");
    print(o, "  Mesh:\n");
    print(o, "    Mesh Enable Total\t\t\t\t", c.mesh_enable_total, "\n");
    unsigned i = 0;
    for (const radio_cfg &r : c.radio) {
        print_radio_cfg(o, r, ++i);
        unsigned j = 0;
        for (const wlan_cfg &w : r.wlan) print_wlan_cfg(o, w, ++j);
    }
    unsigned k = 0;
    for (const lan_port_cfg &l : c.lan_port) {
        print(o, "  LanPort", ++k, ":\n");
        print(o, "    Enable:\t\t\t", l.en, "\n");
        print(o, "    VLAN ID:\t\t\t", l.vid, "\n");
    }
}

void print_switch_cfg(out_buf &o, const wtp_cfg &c) {
    for (const sw_port_cfg &p : c.switch_port) {
        print(o, "  Port", s(p.port), "\n");
        print(o, "    Speed Mode\t\t\t\t", s(p.mode), "\n");
        print(o, "    Flow Control\t\t\t\t", s(p.flow_control), "\n");
    }
    print(o, "  PoE PowerBudget\t\t", s(c.power_budget), "\n");
    for (const poe_port_cfg &p : c.poe_port) {
        print(o, "  Port", s(p.port), " PoE\n");
        print(o, "    Enable\t\t\t\t", s(p.enable), "\n");
        print(o, "    Power Limit\t\t\t\t", s(p.user_power_limit), "\n");
        print(o, "    Power Type\t\t\t\t", s(p.power_limit_type), "\n");
        print(o, "    Priority\t\t\t\t", s(p.priority), "\n");
    }
}

void print_closing(out_buf &o, size_t count) {
    print(o, SEPARATOR);
    print(o, "WTP count\t", u(static_cast<uint32_t>(count)), "\n");
}

}  // namespace

int print_wtp_brief(wtp_records &records) {
    return print_held(records, [&](out_buf &o) {
        print(o, "mac\t\t   address\t\tmodel\t\tmg ip fw ug\tstate\tversion\t\tuptime\n");
        while (const wtp_info *rec = records.next()) {
            const wtp_info &w = *rec;
            // The marks "y "/"n " and "o "/"x " each with a space after them.
            print(o, mac(w.mac), "  ", ipv4(w.ip), ":", u(w.port), "\t", text(w.model), "\t",
                  cstr{w.managed ? "y " : "n "}, " ", cstr{w.unavaiable_addr ? "x " : "o "}, " ",
                  cstr{w.unavaiable_fw ? "x " : "o "}, " ", s(w.upg_state), "\t", s(w.state),
                  "/", s(w.sub_state), "\t", text(w.sw_ver), "\t");
            print_uptime(o, w.uptime);
            print(o, "\n");
        }
        print_closing(o, records.count());
    });
}

int print_wtp_brief(wtp_list &list) {
    wtp_list_records records(list);
    return print_wtp_brief(records);
}

int print_wtp_detail(wtp_records &records, bool password, bool basic) {
    out_buf o;
    while (const wtp_info *rec = records.next()) {
        const wtp_info &w = *rec;
        print(o, SEPARATOR);
        print_common(o, w);
        if (w.wtp_type == WTP_TYPE_AP) print_ap_radios(o, w, basic);
        if (w.wtp_type == WTP_TYPE_SWITCH && !basic) print_switch_detail(o, w);
        if (w.cfg) {
            print_cfg_common(o, *w.cfg, password);
            if (w.wtp_type == WTP_TYPE_AP) print_ap_cfg(o, *w.cfg);
            if (w.wtp_type == WTP_TYPE_SWITCH) print_switch_cfg(o, *w.cfg);
        }
    }
    if (records.failed()) return 1;  // what the buffer still holds is dropped
    print_closing(o, records.count());
    return o.finish();
}

int print_wtp_detail(wtp_list &list, bool password, bool basic) {
    wtp_list_records records(list);
    return print_wtp_detail(records, password, basic);
}
