// Text forms of the WTP list: the brief one-line-per-WTP table and the detailed listing,
// each followed by the closing block with the record count.
//
// Scripts on the appliance parse these lines, so every literal is kept exactly as the
// tools have always printed it (tabs, spaces, missing line ends and spellings included).
// One printf per printed literal; each formatter of front.h is called at most once per
// printf because it returns its own static buffer. Texts that came from the AC go through
// text_form, so a control byte in one can neither end a line nor start a column.
#include <cstdio>
#include <ctime>

#include "front.h"
#include "rate.h"
#include "status.h"

namespace {

const char SEPARATOR[] = "-------------------------------------\n";

unsigned u(uint32_t v) { return static_cast<unsigned>(v); }
int s(uint32_t v) { return static_cast<int>(v); }

// A time in seconds since the epoch: the ctime text (which ends with a line feed), or a
// bare line feed for 0 (unset) or a time the C library cannot convert.
const char *time_text(uint32_t secs) {
    if (secs == 0) return "\n";
    time_t t = static_cast<time_t>(secs);
    const char *text = ctime(&t);
    return text ? text : "\n";
}

// "<label>0x.. 0x.. ... \n" for the 21 configuration capability bytes.
void print_cfg_cap(const char *label, const cfg_cap_bytes &cap) {
    printf("%s", label);
    for (uint8_t b : cap) printf("0x%x ", u(b));
    printf("\n");
}

// ---- detailed text: the record itself ------------------------------------------------

void print_common(const wtp_info &w) {
    const bool ap = w.wtp_type == WTP_TYPE_AP;
    printf("MAC\t\t%s\n", mac_to_text(w.mac.data()));
    printf("IP\t\t%s:%u\n", ipv4_to_text(w.ip), u(w.port));
    printf("Model\t\t%s\n", text_form(w.model).c_str());
    if (ap) printf("Capability Code\t%u\n", u(w.cap_code));
    if (ap) printf("SKU\t\t%s\n", text_form(w.sku).c_str());
    printf("SN\t\t%s\n", text_form(w.sn).c_str());
    printf("Managed\t\t%u\n", u(w.managed));
    printf("Unavailable FW\t%u\n", u(w.unavaiable_fw));
    printf("Upgrade Image\t%u\n", u(w.upg_img));
    printf("wtp type\t\t%d\n", w.wtp_type);
    printf("Image Name\t%s\n", text_form(w.new_fw_img).c_str());
    printf("Image Version\t%s\n", text_form(w.new_fw_ver).c_str());
    printf("Upgrade state\t%d\n", w.upg_state);
    printf("Unavailable IP\t%u\n", u(w.unavaiable_addr));
    printf("State\t\t%u\n", u(w.state));
    printf("SubState\t%u\n", u(w.sub_state));
    printf("Progress\t%u\n", u(w.progress));
    printf("Sw Ver\t\t%s\n", text_form(w.sw_ver).c_str());
    printf("Capwap Ver\t%s\n", text_form(w.cw_ver).c_str());
    printf("Name\t\t%s\n", text_form(w.name).c_str());
    printf("Uptime\t\t%ud:%uh:%um:%us\n", u(w.uptime / 86400), u(w.uptime % 86400 / 3600),
           u(w.uptime % 3600 / 60), u(w.uptime % 60));
    printf("Join Time\t%s", time_text(w.join_time));
    printf("Last Active\t%s", time_text(w.last_time));
    printf("State Change\t%s", time_text(w.change_time));
    printf("Memory Usage\t%u/%u\n", u(w.mem.used), u(w.mem.total));
}

void print_ap_radios(const wtp_info &w, bool basic) {
    print_cfg_cap("Cfg Capability\t", w.cfg_cap);
    if (basic) return;
    unsigned i = 0;
    for (const radio_info &r : w.radio) {
        printf("Radio%u Info:\n", ++i);
        printf("  MAC\t\t%s\n", mac_to_text(r.mac.data()));
        printf("  Type\t\t%u\n", u(r.type));
        print_cfg_cap("  Cfg Capability\t", r.cfg_cap);
        unsigned j = 0;
        for (const wlan_info &wl : r.wlan) {
            printf("  Wlan%u Info:\n", ++j);
            printf("    BSSID\t%s\n", mac_to_text(wl.bssid.data()));
            print_cfg_cap("    Cfg Capability\t", wl.cfg_cap);
            printf("    Tx Pkts\t%u\n", u(wl.tx_pkt));
            printf("    Tx Bytes\t%u\n", u(wl.tx_bytes));
            printf("    Rx Pkts\t%u\n", u(wl.rx_pkt));
            printf("    Rx Bytes\t%u\n", u(wl.rx_bytes));
            printf("    Stations:\n");
            for (const sta_info &st : wl.sta) {
                printf("      %s TX %uKB RX %uKB RSSI %ddBm\n", mac_to_text(st.mac.data()), u(st.tx),
                       u(st.rx), st.rssi);
                printf("      IP %s\n     OS %s\n     HostName %s\n", ipv4_to_text(st.ip),
                       text_form(st.os).c_str(), text_form(st.hostname).c_str());
            }
        }
    }
    printf("\n");
}

void print_switch_detail(const wtp_info &w) {
    for (const sw_port_status &p : w.switch_port) {
        printf("Port%u :\n", u(p.port));
        printf("    Speed\t%u\n", u(p.speed));
        printf("    Status\t%u\n", u(p.enable));
        printf("    Link Status\t%u\n", u(p.link_status));
        printf("    Flow Control\t%u\n", u(p.flow_control));
        printf("    Duplex Mode\t%u\n", u(p.duplex));
        printf("    Speed\t%u\n", u(p.auto_neg));
    }
    printf("\n");
    printf("Total Power Budget:\t%u Watts\n", u(w.power_budget));
    printf("Consumed Power:\t%u Watts\n", u(w.allocated_power));
    for (const poe_port_status &p : w.poe_port) {
        printf("Port%u PoE:\n", u(p.port));
        printf("    Enable\t%u\n", u(p.enable));
        printf("    Class\t%u\n", u(p.poe_class));
        printf("    Priority\t%u\n", u(p.priority));
        printf("    Power Limit Type\t%u\n", u(p.power_limit_type));
        printf("    Power Limit\t%u\n", u(p.user_power_limit));
        printf("    Status\t%u\n", u(p.status));
        printf("    Voltage\t%u\n", u(p.output_voltage));
        printf("    Current\t%u\n", u(p.output_current));
        printf("    Power\t%u\n", u(p.output_power));
        printf("    Temperature\t%u\n", u(p.temperature));
    }
    printf("\n");
    printf("Topology\n");
    for (const topo_dev &d : w.dev_list) {
        printf("    Device Type\t%u\n", u(d.type));
        printf("    System Time\t%u\n", u(d.system_time));
        printf("    Update Time\t%u\n", u(d.update_time));
        printf("    Link Last Time \t%u\n", u(d.link_info_last_time));
        printf("    No Link First Time\t%u\n", u(d.no_link_info_first_time));
        printf("    MAC\t%s\n", mac_to_text(d.mac.data()));
        printf("    IP\t%s\n", ipv4_to_text(d.ip));
        printf("    Name\t%s\n", text_form(d.name).c_str());
        printf("    Dsec\t%s\n", text_form(d.description).c_str());
        printf("    Link Info:\n");
        for (const topo_link &l : d.link) {
            printf("        Remote Port\t%s\n", text_form(l.remote_port).c_str());
            printf("        Local Port\t%u\n", u(l.local_port));
            printf("        MAC\t%s\n", mac_to_text(l.mac.data()));
        }
    }
}

// ---- detailed text: the configuration copy -------------------------------------------

void print_cfg_common(const wtp_cfg &c, bool password) {
    printf("Configuration:\n");
    printf("  Name\t\t\t\t\t%s\n", text_form(c.name).c_str());
    printf("  Location\t\t\t\t%s\n", text_form(c.location).c_str());
    printf("  Admin\t\t\t\t\t%s\n", text_form(c.admin).c_str());
    if (password) printf("  Password MD5\t\t\t\t%s\n", md5_to_text(c.password_md5.data()));
    if (c.address != 0) {
        printf("  IP\t\t\t\t\t%s\n", ipv4_to_text(c.address));
        printf("  Mask\t\t\t\t\t%s\n", ipv4_to_text(c.mask));
        printf("  Gateway\t\t\t\t%s\n", ipv4_to_text(c.gateway));
        printf("  DNS1\t\t\t\t\t%s\n", ipv4_to_text(c.dns1));
        printf("  DNS2\t\t\t\t\t%s\n", ipv4_to_text(c.dns2));
    } else {
        printf("  DHCP mode\n");
    }
}

void print_radio_cfg(const radio_cfg &r, unsigned i) {
    const portal_cfg &p = r.portal;
    printf("  Radio%u:\n", i);
    printf("    Operation Mode\t\t\t%u\n", u(r.op_mode));
    printf("    Wireless Mode\t\t\t%u\n", u(r.wl_mode));
    printf("    Country Code\t\t\t%u\n", u(r.country));
    printf("    Channel:\n");
    printf("      HT Mode\t\t\t\t%u\n", u(r.channel.ht));
    printf("      Extension\t\t\t\t%u\n", u(r.channel.ext));
    printf("      Value\t\t\t\t%u\n", u(r.channel.val));
    printf("    Tx Power\t\t\t\t%u\n", u(r.tx_power));
    printf("    Obey Regulatory Power\t\t%u\n", u(r.obey_regulatory_power));
    printf("    Data Rate\t\t\t\t%s\n", rate_to_text(r.data_rate));
    printf("    Bit Rate\t\t\t\t%u\n", u(r.bit_rate));
    printf("    AX Enable\t\t\t\t%u\n", u(r.ax_enable));
    printf("    RTS/CTS Threshold\t\t\t%u\n", u(r.rts_cts_threshold));
    printf("    Distance\t\t\t\t%u\n", u(r.distance));
    printf("    Aggregation:\n");
    printf("      Enable\t\t\t\t%u\n", u(r.aggregation.enable));
    printf("      Frames\t\t\t\t%u\n", u(r.aggregation.frames));
    printf("      Bytes\t\t\t\t%u\n", u(r.aggregation.maxbytes));
    printf("    Max Clients:\n");
    printf("      Enable\t\t\t\t%u\n", u(r.limited_clients.enable));
    printf("      Clients\t\t\t\t%u\n", u(r.limited_clients.count));
    printf("    Portal:\n");
    printf("      Enable\t\t\t\t%u\n", u(p.enable));
    printf("      Type\t\t\t\t%u\n", u(p.login_type));
    printf("      Radius\t\t\t\t\t%s\n", ipv4_to_text(p.radius_server));
    printf("      Redirect\t\t\t\t\t%s\n", text_form(p.userurl).c_str());
    printf("      WalledGarden\t\t\t\t\t%u\n", u(p.walled_garden_enable));
    printf("      WalledGardenPage\t\t\t\t\t%s\n", text_form(p.walled_garden_pages).c_str());
    printf("\t  RadiusPort\t\t\t\t\t%u\n", u(p.radius_port));
    printf("\t  RadiusSecret\t\t\t\t\t%s\n", text_form(p.radius_secret).c_str());
    // These portal values have always been printed without line ends.
    printf("\t  SessionTimeout\t\t\t\t\t%u", u(p.session_timeout));
    printf("\t  SessionTimeoutEnable\t\t\t\t\t%u", u(p.session_timeout_enable));
    printf("\t  IdleTimeout\t\t\t\t\t%u", u(p.idle_timeout));
    printf("\t  IdleTimeoutEnable%u", u(p.idle_timeout_enable));
    printf("\t  AccountingEnable\t\t\t\t\t%u", u(p.accounting_enable));
    printf("\t  AccountingTime\t\t\t\t\t%u", u(p.accounting_time));
    printf("\t  AuthType\t\t\t\t\t%u", u(p.auth_type));
    printf("\t  ExternalServer\t\t\t\t\t%s", text_form(p.external_server).c_str());
    printf("\t  ExternalSecret\t\t\t\t\t%s", text_form(p.external_secret).c_str());
    printf("\t  AccountingServer\t\t\t\t\t%s", ipv4_to_text(p.account_server));
    printf("\t  AccountingPort\t\t\t\t\t%u", u(p.accounting_port));
    printf("\t  AccountingSecret\t\t\t\t\t%s", text_form(p.accounting_secret).c_str());
    printf("      UamFormat\t\t\t\t\t%s\n", text_form(p.uamformat).c_str());
    printf("      LocalAuth\t\t\t\t\t%s\n", text_form(p.local_auth).c_str());
    printf("      Port\t\t\t\t\t%u\n", u(p.port));
    printf("      HttpsEnable\t\t\t\t\t%u\n", u(p.https_enable));
    printf("\t  RadiusSecret2\t\t\t\t\t%s\n", text_form(p.radius_secret2).c_str());
    printf("      Radius2\t\t\t\t\t%s\n", ipv4_to_text(p.radius_server2));
    printf("    Mesh:\n");
    printf("      Enable\t\t\t\t%d\n", r.mesh.enable);
    printf("      ID\t\t\t\t%s\n", text_form(r.mesh.id).c_str());
    printf("      WPA Key\t\t\t\t%s\n", text_form(r.mesh.wpa_key).c_str());
    printf("      Link Robust Threshold\t\t\t\t%d\n", r.mesh.link_robust_threshold);
    printf("    Fast Handover Status\t\t\t%d\n", r.fasthandover.status);
    printf("    Fast Handover RSSI\t\t\t%d\n", r.fasthandover.rssi);
}

void print_wlan_cfg(const wlan_cfg &w, unsigned j) {
    printf("    WLAN%u:\n", j);
    printf("      Enable\t\t\t\t%u\n", u(w.enable));
    printf("      SSID\t\t\t\t%s\n", text_form(w.ssid).c_str());
    printf("      Suppressed SSID\t\t\t%u\n", u(w.supr_ssid));
    printf("      Station Separation\t\t%u\n", u(w.sta_sep));
    printf("      layer2 Isolation\t\t%u\n", u(w.layer2Isolation));
    printf("      Isolation\t\t\t\t%u\n", u(w.isolation));
    printf("      VLAN\t\t\t\t%u\n", u(w.vlan));
    printf("      Download Lmit\t\t\t%d\n", w.downloadlimit);
    printf("      Upload Lmit\t\t\t\t%d\n", w.uploadlimit);
    printf("      Download Per User Enable\t\t\t%d\n", w.downperuser_en);
    printf("      Upload Per User Enable\t\t\t\t%d\n", w.uploadperuser_en);
    printf("      Download rate mode\t\t\t\t%d\n", w.downloadMode);
    printf("      Upload rate mode\t\t\t\t%d\n", w.uploadMode);
    printf("      Roaming Enable\t\t\t%u\n", u(w.roaming.enable));
    printf("      Roaming Adv Search\t\t%u\n", u(w.roaming.adv_search));
    printf("      Download Limit\t\t\t%d\n", w.downloadlimit);
    printf("      Upload Limit\t\t\t%d\n", w.uploadlimit);
    printf("      ACL:\n");
    printf("        Mode\t\t\t\t%u\n", u(w.acl.mode));
    for (const mac_addr &m : w.acl.mac) printf("        %s\n", mac_to_text(m.data()));
    // WEP, WPA, RADIUS and NAS settings print whatever the security mode.
    printf("      Security Mode\t\t\t%u\n", u(w.sec_mode));
    printf("      WEP:\n");
    printf("        Auth Type\t\t\t%u\n", u(w.wep.auth_type));
    printf("        Input Method\t\t\t%u\n", u(w.wep.in_type));
    printf("        Key Length\t\t\t%u\n", u(w.wep.key_len));
    printf("        Default Key Id\t\t\t%u\n", u(w.wep.def_key));
    for (int k = 0; k < 4; ++k)
        printf("        Key%d\t\t\t\t%s\n", k + 1, text_form(w.wep.key[k]).c_str());
    printf("      WPA:\n");
    printf("        Encrypt Mode\t\t\t%u\n", u(w.wpa.enc_mode));
    printf("        Protected Management Frames\t%u\n", u(w.wpa.pmf_enable));
    printf("        Passphrase\t\t\t%s\n", text_form(w.wpa.passphrase).c_str());
    printf("        Group Key Update Interval\t%u\n", u(w.wpa.group_key_int));
    printf("        Radius:\n");
    printf("          Address\t\t\t%s\n", ipv4_to_text(w.radius.addr));
    printf("          Port\t\t\t\t%u\n", u(w.radius.port));
    printf("          Secret\t\t\t%s\n", text_form(w.radius.secret).c_str());
    printf("          Accounting:\n");
    printf("            Enable\t\t\t%u\n", u(w.acc.enable));
    printf("            Address\t\t\t%s\n", ipv4_to_text(w.acc.addr));
    printf("            Port\t\t\t%u\n", u(w.acc.port));
    printf("            Secret\t\t\t%s\n", text_form(w.acc.secret).c_str());
    printf("            Intermi Interval\t\t%u\n", u(w.acc.interval));
    printf("        NAS:\n");
    printf("          ID Enable\t\t\t%u\n", u(w.nas.id_enable));
    printf("          ID\t\t\t%s\n", text_form(w.nas.id).c_str());
    printf("          Port Enable\t\t\t%u\n", u(w.nas.port_enable));
    printf("          Port\t\t\t\t%u\n", u(w.nas.port));
    printf("          IP Enable\t\t\t%u\n", u(w.nas.ip_enable));
    printf("          IP\t\t\t\t%s\n", ipv4_to_text(w.nas.ip));
}

void print_ap_cfg(const wtp_cfg &c) {
    printf("  Banstreering\t\t\t\t%d\n", c.bandsteer);
    printf("  Banstreer:\n");
    printf("    mode\t\t\t\t%d\n", c.bandsteering.mode);
    printf("    percent_enable\t\t\t\t%d\n", c.bandsteering.percent_en);
    printf("    rssi_enable\t\t\t\t%d\n", c.bandsteering.rssi_en);
    printf("    rssi\t\t\t\t%d\n", c.bandsteering.rssi);
    printf("    percent\t\t\t\t%d\n", c.bandsteering.percent);
    printf("  Fast Handover Status\t\t\t%d\n", c.fasthandover.status);
    printf("  Fast Handover RSSI\t\t\t%d\n", c.fasthandover.rssi);
    printf("  Guest Network\n");
    printf("    Address\t\t\t\t%s\n", ipv4_to_text(c.guest_network.addr));
    printf("    Mask\t\t\t\t%s\n", ipv4_to_text(c.guest_network.mask));
    printf("    Start\t\t\t\t%s\n", ipv4_to_text(c.guest_network.start));
    printf("    End\t\t\t\t\t%s\n", ipv4_to_text(c.guest_network.end));
    printf("    WINS\t\t\t\t%s\n", ipv4_to_text(c.guest_network.wins));
    printf("  Led\n");
    printf("    Power\t\t\t\t%d\n", c.led.power);
    printf("    Lan\t\t\t\t%d\n", c.led.lan);
    printf("    Wlan0\t\t\t\t%d\n", c.led.wlan0);
    printf("    Wlan1\t\t\t\t%d\n", c.led.wlan1);
    printf("    Wlan2\t\t\t\t%d\n", c.led.wlan2);
    printf("    Mesh\t\t\t\t%d\n", c.led.mesh);
    printf("  Managed vlan id\t\t%d\n", c.manage_vlan_id);
    printf("  Mesh:\n");
    printf("    Mesh Enable Total\t\t\t\t%d\n", c.mesh_enable_total);
    unsigned i = 0;
    for (const radio_cfg &r : c.radio) {
        print_radio_cfg(r, ++i);
        unsigned j = 0;
        for (const wlan_cfg &w : r.wlan) print_wlan_cfg(w, ++j);
    }
    unsigned k = 0;
    for (const lan_port_cfg &l : c.lan_port) {
        printf("  LanPort%u:\n", ++k);
        printf("    Enable:\t\t\t%d\n", l.en);
        printf("    VLAN ID:\t\t\t%d\n", l.vid);
    }
}

void print_switch_cfg(const wtp_cfg &c) {
    for (const sw_port_cfg &p : c.switch_port) {
        printf("  Port%d\n", s(p.port));
        printf("    Speed Mode\t\t\t\t%d\n", s(p.mode));
        printf("    Flow Control\t\t\t\t%d\n", s(p.flow_control));
    }
    printf("  PoE PowerBudget\t\t%d\n", s(c.power_budget));
    for (const poe_port_cfg &p : c.poe_port) {
        printf("  Port%d PoE\n", s(p.port));
        printf("    Enable\t\t\t\t%d\n", s(p.enable));
        printf("    Power Limit\t\t\t\t%d\n", s(p.user_power_limit));
        printf("    Power Type\t\t\t\t%d\n", s(p.power_limit_type));
        printf("    Priority\t\t\t\t%d\n", s(p.priority));
    }
}

void print_closing(const wtp_list &list) {
    printf("%s", SEPARATOR);
    printf("WTP count\t%u\n", u(static_cast<uint32_t>(list.items.size())));
}

}  // namespace

void print_wtp_brief(const wtp_list &list) {
    printf("mac\t\t   address\t\tmodel\t\tmg ip fw ug\tstate\tversion\t\tuptime\n");
    for (const wtp_info &w : list.items) {
        printf("%s  %s:%u\t%s\t%s %s %s %d\t%d/%d\t%s\t%ud:%uh:%um:%us\n", mac_to_text(w.mac.data()),
               ipv4_to_text(w.ip), u(w.port), text_form(w.model).c_str(),
               w.managed ? "y " : "n ", w.unavaiable_addr ? "x " : "o ",
               w.unavaiable_fw ? "x " : "o ", w.upg_state, w.state, w.sub_state,
               text_form(w.sw_ver).c_str(), u(w.uptime / 86400), u(w.uptime % 86400 / 3600),
               u(w.uptime % 3600 / 60), u(w.uptime % 60));
    }
    print_closing(list);
}

void print_wtp_detail(const wtp_list &list, bool password, bool basic) {
    for (const wtp_info &w : list.items) {
        printf("%s", SEPARATOR);
        print_common(w);
        if (w.wtp_type == WTP_TYPE_AP) print_ap_radios(w, basic);
        if (w.wtp_type == WTP_TYPE_SWITCH && !basic) print_switch_detail(w);
        if (w.cfg) {
            print_cfg_common(*w.cfg, password);
            if (w.wtp_type == WTP_TYPE_AP) print_ap_cfg(*w.cfg);
            if (w.wtp_type == WTP_TYPE_SWITCH) print_switch_cfg(*w.cfg);
        }
    }
    print_closing(list);
}
