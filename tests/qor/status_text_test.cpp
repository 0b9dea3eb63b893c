// Text forms of the WTP list: brief table, detailed listing and closing block, compared
// line for line with the output that the appliance's scripts parse.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "status.h"

namespace {

uint32_t ip4(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
    const uint8_t bytes[4] = {a, b, c, d};
    uint32_t v;
    memcpy(&v, bytes, 4);
    return v;
}

mac_addr mac(uint8_t last, uint8_t first = 0x00) { return {first, 0x11, 0x22, 0xAA, 0xBB, last}; }

template <class F> std::string capture(F f) {
    setenv("TZ", "UTC0", 1);
    tzset();
    testing::internal::CaptureStdout();
    f();
    fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

const std::string SEP = "-------------------------------------\n";
const std::string ZERO21 =
    "0x0 0x0 0x0 0x0 0x0 0x0 0x0 0x0 0x0 0x0 0x0 0x0 0x0 0x0 0x0 0x0 0x0 0x0 0x0 0x0 0x0 ";

// Common lines of a record with nothing but its MAC and type set.
std::string zero_common(const char *m, int type) {
    return SEP + "MAC\t\t" + m + "\nIP\t\t0.0.0.0:0\nModel\t\t\n" +
           (type == 3 ? "Capability Code\t0\nSKU\t\t\n" : "") +
           "SN\t\t\nManaged\t\t0\nUnavailable FW\t0\nUpgrade Image\t0\nwtp type\t\t" +
           std::to_string(type) +
           "\nImage Name\t\nImage Version\t\nUpgrade state\t0\nUnavailable IP\t0\nState\t\t0\n"
           "SubState\t0\nProgress\t0\nSw Ver\t\t\nCapwap Ver\t\nName\t\t\nUptime\t\t0d:0h:0m:0s\n"
           "Join Time\t\nLast Active\t\nState Change\t\nMemory Usage\t0/0\n";
}

const char DHCP_COPY[] =
    "Configuration:\n  Name\t\t\t\t\t\n  Location\t\t\t\t\n  Admin\t\t\t\t\t\n  DHCP mode\n";

TEST(StatusText, BriefTableMarksFlagsAndEndsWithTheCount) {
    wtp_list l;
    wtp_info &a = l.items.emplace_back();
    a.wtp_type = WTP_TYPE_AP;
    a.mac = mac(0xCC);
    a.ip = ip4(192, 168, 1, 10);
    a.port = 5246;
    a.model = "AP-200";
    a.managed = 1;
    a.upg_state = 2;
    a.state = 5;
    a.sub_state = 9;
    a.sw_ver = "1.2.3";
    a.uptime = 90061;
    wtp_info &b = l.items.emplace_back();
    b.wtp_type = WTP_TYPE_SWITCH;
    b.mac = {2, 0, 0, 0, 0, 1};
    b.ip = ip4(10, 0, 0, 2);
    b.unavaiable_addr = 1;
    b.unavaiable_fw = 1;
    b.state = 1;
    EXPECT_EQ("mac\t\t   address\t\tmodel\t\tmg ip fw ug\tstate\tversion\t\tuptime\n"
              "00:11:22:AA:BB:CC  192.168.1.10:5246\tAP-200\ty  o  o  2\t5/9\t1.2.3\t1d:1h:1m:1s\n"
              "02:00:00:00:00:01  10.0.0.2:0\t\tn  x  x  0\t1/0\t\t0d:0h:0m:0s\n" +
                  SEP + "WTP count\t2\n",
              capture([&] { print_wtp_brief(l); }));
}

TEST(StatusText, DetailedAccessPointWithStationsAndFullCopy) {
    wtp_list l;
    wtp_info &w = l.items.emplace_back();
    w.wtp_type = WTP_TYPE_AP;
    w.mac = mac(0xCC);
    w.ip = ip4(192, 168, 1, 10);
    w.port = 5246;
    w.model = "AP-200";
    w.cap_code = 7;
    w.sku = "SKU-1";
    w.sn = "SN123";
    w.managed = 1;
    w.upg_img = 1;
    w.new_fw_img = "img.bin";
    w.new_fw_ver = "2.0";
    w.upg_state = 3;
    w.state = 5;
    w.sub_state = 9;
    w.progress = 50;
    w.sw_ver = "1.2.3";
    w.cw_ver = "0.9";
    w.name = "lobby";
    w.uptime = 90061;
    w.join_time = 1700000000;
    w.last_time = 1700000060;
    w.change_time = 1700000120;
    w.mem = {512, 200};
    w.cfg_cap[0] = 1;
    w.cfg_cap[1] = 0xff;
    w.cfg_cap[20] = 10;
    radio_info &r = w.radio.emplace_back();
    r.mac = mac(0xD0);
    r.type = 2;
    r.channel = 36;
    wlan_info &wl = r.wlan.emplace_back();
    wl.bssid = mac(0xD1);
    wl.tx_pkt = 10, wl.tx_bytes = 1000, wl.rx_pkt = 20, wl.rx_bytes = 2000;
    wl.sta.push_back({{0x60, 0, 0, 0, 0, 1}, 5, 6, -70, "Android", "phone", ip4(192, 168, 1, 50)});
    wl.sta.push_back({{0x60, 0, 0, 0, 0, 2}, 0, 1, -45, "", "", ip4(192, 168, 1, 51)});

    auto c = std::make_unique<wtp_cfg>();
    c->address = ip4(192, 168, 1, 10), c->mask = ip4(255, 255, 255, 0);
    c->gateway = ip4(192, 168, 1, 1), c->dns1 = ip4(8, 8, 8, 8), c->dns2 = ip4(8, 8, 4, 4);
    c->name = "lobby-cfg", c->location = "hall", c->admin = "admin";
    for (int i = 0; i < 16; ++i) c->password_md5[i] = static_cast<uint8_t>(i);
    c->bandsteer = 1;
    c->bandsteering = {2, 1, 0, -75, 60};
    c->fasthandover = {1, -80};
    c->guest_network = {ip4(10, 10, 0, 1), ip4(255, 255, 0, 0), ip4(10, 10, 0, 100),
                        ip4(10, 10, 0, 200), 0};
    c->led = {1, 2, 3, 4, 5, 6};
    c->manage_vlan_id = 100;
    c->mesh_enable_total = 1;
    c->lan_port_count = 1;
    c->lan_port.push_back({1, 20, 7});
    radio_cfg &rc = c->radio.emplace_back();
    rc.country = 156, rc.op_mode = 1, rc.wl_mode = 9, rc.channel = {2, 1, 36};
    rc.tx_power = 20, rc.obey_regulatory_power = 8, rc.data_rate = 5500, rc.bit_rate = 3;
    rc.ax_enable = 1, rc.rts_cts_threshold = 2347, rc.distance = 4;
    rc.aggregation = {1, 32, 65535};
    rc.limited_clients = {1, 64};
    portal_cfg &p = rc.portal;
    p.enable = 1, p.login_type = 2, p.radius_server = ip4(10, 0, 0, 5), p.userurl = "http://x/";
    p.walled_garden_enable = 1, p.walled_garden_pages = "a.com", p.radius_port = 1812;
    p.radius_secret = "rs", p.session_timeout = 3600, p.session_timeout_enable = 1;
    p.idle_timeout = 600, p.idle_timeout_enable = 1, p.accounting_enable = 1;
    p.accounting_time = 300, p.auth_type = 4, p.external_server = "ext";
    p.external_secret = "es", p.account_server = ip4(10, 0, 0, 6), p.accounting_port = 1813;
    p.accounting_secret = "as", p.uamformat = "uf", p.local_auth = "la", p.port = 2060;
    p.https_enable = 1, p.radius_secret2 = "rs2", p.radius_server2 = ip4(10, 0, 0, 7);
    rc.mesh.enable = 1, rc.mesh.id = "m1", rc.mesh.wpa_key = "mk";
    rc.mesh.link_robust_threshold = -5;
    rc.fasthandover = {0, -70};
    wlan_cfg &wc = rc.wlan.emplace_back();
    wc.enable = 1, wc.ssid = "guest", wc.sta_sep = 1, wc.isolation = 2, wc.layer2Isolation = 3;
    wc.l2macWlist.push_back({0x70, 0, 0, 0, 0, 9});  // not shown in text
    wc.vlan = 10, wc.downloadlimit = 1000, wc.uploadlimit = 500, wc.downperuser_en = 1;
    wc.downloadMode = 2, wc.uploadMode = 3, wc.roaming = {1, 2};
    wc.acl.mode = 1;
    wc.acl.mac.push_back({0x70, 0, 0, 0, 0, 1});
    wc.sec_mode = 0;  // none: the WEP, WPA, RADIUS and NAS lines still print
    wc.wep.auth_type = 1, wc.wep.in_type = 2, wc.wep.key_len = 3, wc.wep.def_key = 4;
    wc.wep.key = {"k1", "", "k3", ""};
    wc.wpa.enc_mode = 5, wc.wpa.passphrase = "pass", wc.wpa.group_key_int = 3600;
    wc.wpa.pmf_enable = 1;
    wc.radius = {ip4(10, 0, 0, 8), 1812, "sec"};
    wc.acc = {1, ip4(10, 0, 0, 9), 1813, "asec", 60};
    wc.nas = {1, "nas1", 1, 99, 1, ip4(10, 0, 0, 10)};
    wc.hotspot20 = "{\"x\":1}";  // not shown in text
    w.cfg = std::move(c);

    const std::string want =
        SEP +
        "MAC\t\t00:11:22:AA:BB:CC\nIP\t\t192.168.1.10:5246\nModel\t\tAP-200\nCapability Code\t7\n"
        "SKU\t\tSKU-1\nSN\t\tSN123\nManaged\t\t1\nUnavailable FW\t0\nUpgrade Image\t1\n"
        "wtp type\t\t3\nImage Name\timg.bin\nImage Version\t2.0\nUpgrade state\t3\n"
        "Unavailable IP\t0\nState\t\t5\nSubState\t9\nProgress\t50\nSw Ver\t\t1.2.3\n"
        "Capwap Ver\t0.9\nName\t\tlobby\nUptime\t\t1d:1h:1m:1s\n"
        "Join Time\tTue Nov 14 22:13:20 2023\nLast Active\tTue Nov 14 22:14:20 2023\n"
        "State Change\tTue Nov 14 22:15:20 2023\nMemory Usage\t200/512\n"
        "Cfg Capability\t0x1 0xff 0x0 0x0 0x0 0x0 0x0 0x0 0x0 0x0 0x0 0x0 0x0 0x0 0x0 0x0 0x0 "
        "0x0 0x0 0x0 0xa \n"
        "Radio1 Info:\n  MAC\t\t00:11:22:AA:BB:D0\n  Type\t\t2\n  Cfg Capability\t" + ZERO21 + "\n"
        "  Wlan1 Info:\n    BSSID\t00:11:22:AA:BB:D1\n    Cfg Capability\t" + ZERO21 + "\n"
        "    Tx Pkts\t10\n    Tx Bytes\t1000\n    Rx Pkts\t20\n    Rx Bytes\t2000\n    Stations:\n"
        "      60:00:00:00:00:01 TX 5KB RX 6KB RSSI -70dBm\n"
        "      IP 192.168.1.50\n     OS Android\n     HostName phone\n"
        "      60:00:00:00:00:02 TX 0KB RX 1KB RSSI -45dBm\n"
        "      IP 192.168.1.51\n     OS \n     HostName \n"
        "\n"
        "Configuration:\n  Name\t\t\t\t\tlobby-cfg\n  Location\t\t\t\thall\n  Admin\t\t\t\t\tadmin\n"
        "  Password MD5\t\t\t\t000102030405060708090a0b0c0d0e0f\n"
        "  IP\t\t\t\t\t192.168.1.10\n  Mask\t\t\t\t\t255.255.255.0\n  Gateway\t\t\t\t192.168.1.1\n"
        "  DNS1\t\t\t\t\t8.8.8.8\n  DNS2\t\t\t\t\t8.8.4.4\n"
        "  Banstreering\t\t\t\t1\n  Banstreer:\n    mode\t\t\t\t2\n    percent_enable\t\t\t\t1\n"
        "    rssi_enable\t\t\t\t0\n    rssi\t\t\t\t-75\n    percent\t\t\t\t60\n"
        "  Fast Handover Status\t\t\t1\n  Fast Handover RSSI\t\t\t-80\n"
        "  Guest Network\n    Address\t\t\t\t10.10.0.1\n    Mask\t\t\t\t255.255.0.0\n"
        "    Start\t\t\t\t10.10.0.100\n    End\t\t\t\t\t10.10.0.200\n    WINS\t\t\t\t0.0.0.0\n"
        "  Led\n    Power\t\t\t\t1\n    Lan\t\t\t\t2\n    Wlan0\t\t\t\t3\n    Wlan1\t\t\t\t4\n"
        "    Wlan2\t\t\t\t5\n    Mesh\t\t\t\t6\n  Managed vlan id\t\t100\n"
        "  Mesh:\n    Mesh Enable Total\t\t\t\t1\n"
        "  Radio1:\n    Operation Mode\t\t\t1\n    Wireless Mode\t\t\t9\n"
        "    Country Code\t\t\t156\n    Channel:\n      HT Mode\t\t\t\t2\n"
        "      Extension\t\t\t\t1\n      Value\t\t\t\t36\n    Tx Power\t\t\t\t20\n"
        "    Obey Regulatory Power\t\t8\n    Data Rate\t\t\t\t5.5M\n    Bit Rate\t\t\t\t3\n"
        "    AX Enable\t\t\t\t1\n    RTS/CTS Threshold\t\t\t2347\n    Distance\t\t\t\t4\n"
        "    Aggregation:\n      Enable\t\t\t\t1\n      Frames\t\t\t\t32\n      Bytes\t\t\t\t65535\n"
        "    Max Clients:\n      Enable\t\t\t\t1\n      Clients\t\t\t\t64\n"
        "    Portal:\n      Enable\t\t\t\t1\n      Type\t\t\t\t2\n      Radius\t\t\t\t\t10.0.0.5\n"
        "      Redirect\t\t\t\t\thttp://x/\n      WalledGarden\t\t\t\t\t1\n"
        "      WalledGardenPage\t\t\t\t\ta.com\n\t  RadiusPort\t\t\t\t\t1812\n"
        "\t  RadiusSecret\t\t\t\t\trs\n"
        "\t  SessionTimeout\t\t\t\t\t3600\t  SessionTimeoutEnable\t\t\t\t\t1"
        "\t  IdleTimeout\t\t\t\t\t600\t  IdleTimeoutEnable1\t  AccountingEnable\t\t\t\t\t1"
        "\t  AccountingTime\t\t\t\t\t300\t  AuthType\t\t\t\t\t4\t  ExternalServer\t\t\t\t\text"
        "\t  ExternalSecret\t\t\t\t\tes\t  AccountingServer\t\t\t\t\t10.0.0.6"
        "\t  AccountingPort\t\t\t\t\t1813\t  AccountingSecret\t\t\t\t\tas"
        "      UamFormat\t\t\t\t\tuf\n      LocalAuth\t\t\t\t\tla\n      Port\t\t\t\t\t2060\n"
        "      HttpsEnable\t\t\t\t\t1\n\t  RadiusSecret2\t\t\t\t\trs2\n"
        "      Radius2\t\t\t\t\t10.0.0.7\n"
        "    Mesh:\n      Enable\t\t\t\t1\n      ID\t\t\t\tm1\n      WPA Key\t\t\t\tmk\n"
        "      Link Robust Threshold\t\t\t\t-5\n"
        "    Fast Handover Status\t\t\t0\n    Fast Handover RSSI\t\t\t-70\n"
        "    WLAN1:\n      Enable\t\t\t\t1\n      SSID\t\t\t\tguest\n      Suppressed SSID\t\t\t0\n"
        "      Station Separation\t\t1\n      layer2 Isolation\t\t3\n      Isolation\t\t\t\t2\n"
        "      VLAN\t\t\t\t10\n      Download Lmit\t\t\t1000\n      Upload Lmit\t\t\t\t500\n"
        "      Download Per User Enable\t\t\t1\n      Upload Per User Enable\t\t\t\t0\n"
        "      Download rate mode\t\t\t\t2\n      Upload rate mode\t\t\t\t3\n"
        "      Roaming Enable\t\t\t1\n      Roaming Adv Search\t\t2\n"
        "      Download Limit\t\t\t1000\n      Upload Limit\t\t\t500\n"
        "      ACL:\n        Mode\t\t\t\t1\n        70:00:00:00:00:01\n"
        "      Security Mode\t\t\t0\n"
        "      WEP:\n        Auth Type\t\t\t1\n        Input Method\t\t\t2\n"
        "        Key Length\t\t\t3\n        Default Key Id\t\t\t4\n"
        "        Key1\t\t\t\tk1\n        Key2\t\t\t\t\n        Key3\t\t\t\tk3\n        Key4\t\t\t\t\n"
        "      WPA:\n        Encrypt Mode\t\t\t5\n        Protected Management Frames\t1\n"
        "        Passphrase\t\t\tpass\n        Group Key Update Interval\t3600\n"
        "        Radius:\n          Address\t\t\t10.0.0.8\n          Port\t\t\t\t1812\n"
        "          Secret\t\t\tsec\n"
        "          Accounting:\n            Enable\t\t\t1\n            Address\t\t\t10.0.0.9\n"
        "            Port\t\t\t1813\n            Secret\t\t\tasec\n"
        "            Intermi Interval\t\t60\n"
        "        NAS:\n          ID Enable\t\t\t1\n          ID\t\t\tnas1\n"
        "          Port Enable\t\t\t1\n          Port\t\t\t\t99\n          IP Enable\t\t\t1\n"
        "          IP\t\t\t\t10.0.0.10\n"
        "  LanPort1:\n    Enable:\t\t\t1\n    VLAN ID:\t\t\t20\n" +
        SEP + "WTP count\t1\n";
    EXPECT_EQ(want, capture([&] { print_wtp_detail(l, true, false); }));
}

TEST(StatusText, DetailedSwitchWithPortsPoeTopologyAndDhcpCopy) {
    wtp_list l;
    wtp_info &w = l.items.emplace_back();
    w.wtp_type = WTP_TYPE_SWITCH;
    w.mac = {2, 0, 0, 0, 0, 1};
    w.ip = ip4(10, 0, 0, 2);
    w.port = 5247;
    w.model = "SW-8";
    w.sku = "never";  // access point lines are not printed for a switch
    w.cap_code = 9;
    w.sn = "SW1";
    w.managed = 1, w.unavaiable_fw = 1, w.unavaiable_addr = 1, w.state = 5;
    w.sw_ver = "3.1";
    w.name = "core";
    w.uptime = 65;
    w.join_time = 1700000000;
    w.mem = {128, 64};
    // Not part of the text form:
    w.switch_hw_port.push_back({1, 1});
    w.trunk_port.push_back({1, 2, "1", "1,2"});
    w.lldp_dev_list.push_back({mac(1), 1, "p", "n", "m"});
    w.switch_port.push_back({1, 1, 1000, 4, 5, 2, 3});
    w.power_budget = 370, w.allocated_power = 25;
    w.poe_port.push_back({1, 1, 4, 2, 6, 30, 3, 53, 400, 21, 40});
    topo_dev &d = w.dev_list.emplace_back();
    d.type = 3, d.system_time = 100, d.update_time = 200, d.link_info_last_time = 300;
    d.no_link_info_first_time = 400, d.mac = mac(0xCC), d.ip = ip4(192, 168, 1, 10);
    d.name = "ap1", d.description = "desc", d.link_count = 1;
    d.link.push_back({5, mac(0xCD), "eth0"});
    auto c = std::make_unique<wtp_cfg>();
    c->mask = ip4(255, 255, 255, 0), c->dns1 = ip4(8, 8, 8, 8);  // DHCP: not shown
    c->name = "core", c->location = "rack", c->admin = "root";
    c->switch_port.push_back({2, 1, 1, "uplink"});
    c->manage_mac_list.push_back(mac(2));
    c->power_budget = 370;
    c->poe_port.push_back({1, 1, 30, 6, 2});
    c->pd_lifeguard.emplace_back();
    w.cfg = std::move(c);

    EXPECT_EQ(SEP +
                  "MAC\t\t02:00:00:00:00:01\nIP\t\t10.0.0.2:5247\nModel\t\tSW-8\nSN\t\tSW1\n"
                  "Managed\t\t1\nUnavailable FW\t1\nUpgrade Image\t0\nwtp type\t\t2\nImage Name\t\n"
                  "Image Version\t\nUpgrade state\t0\nUnavailable IP\t1\nState\t\t5\nSubState\t0\n"
                  "Progress\t0\nSw Ver\t\t3.1\nCapwap Ver\t\nName\t\tcore\nUptime\t\t0d:0h:1m:5s\n"
                  "Join Time\tTue Nov 14 22:13:20 2023\nLast Active\t\nState Change\t\n"
                  "Memory Usage\t64/128\n"
                  "Port1 :\n    Speed\t1000\n    Status\t1\n    Link Status\t4\n"
                  "    Flow Control\t5\n    Duplex Mode\t2\n    Speed\t3\n"
                  "\nTotal Power Budget:\t370 Watts\nConsumed Power:\t25 Watts\n"
                  "Port1 PoE:\n    Enable\t1\n    Class\t4\n    Priority\t2\n"
                  "    Power Limit Type\t6\n    Power Limit\t30\n    Status\t3\n    Voltage\t53\n"
                  "    Current\t400\n    Power\t21\n    Temperature\t40\n"
                  "\nTopology\n    Device Type\t3\n    System Time\t100\n    Update Time\t200\n"
                  "    Link Last Time \t300\n    No Link First Time\t400\n"
                  "    MAC\t00:11:22:AA:BB:CC\n    IP\t192.168.1.10\n    Name\tap1\n    Dsec\tdesc\n"
                  "    Link Info:\n        Remote Port\teth0\n        Local Port\t5\n"
                  "        MAC\t00:11:22:AA:BB:CD\n"
                  "Configuration:\n  Name\t\t\t\t\tcore\n  Location\t\t\t\track\n"
                  "  Admin\t\t\t\t\troot\n  Password MD5\t\t\t\t00000000000000000000000000000000\n"
                  "  DHCP mode\n"
                  "  Port1\n    Speed Mode\t\t\t\t2\n    Flow Control\t\t\t\t1\n"
                  "  PoE PowerBudget\t\t370\n"
                  "  Port1 PoE\n    Enable\t\t\t\t1\n    Power Limit\t\t\t\t30\n"
                  "    Power Type\t\t\t\t6\n    Priority\t\t\t\t2\n" +
                  SEP + "WTP count\t1\n",
              capture([&] { print_wtp_detail(l, true, false); }));
}

TEST(StatusText, EdgeCasesEmptyListBasicRecordsAndOtherDeviceTypes) {
    wtp_list empty;
    EXPECT_EQ(SEP + "WTP count\t0\n", capture([&] { print_wtp_detail(empty, true, false); }));
    EXPECT_EQ("mac\t\t   address\t\tmodel\t\tmg ip fw ug\tstate\tversion\t\tuptime\n" + SEP +
                  "WTP count\t0\n",
              capture([&] { print_wtp_brief(empty); }));

    // Basic: the access point keeps its capability line but no radios and no empty line;
    // the switch shows no ports; both show their copies. Zero times print a bare line end.
    wtp_list basic;
    wtp_info &ap = basic.items.emplace_back();
    ap.wtp_type = WTP_TYPE_AP;
    ap.mac = {0, 0, 0, 0, 0, 0x0A};
    ap.radio.emplace_back().wlan.emplace_back();
    ap.cfg = std::make_unique<wtp_cfg>();
    ap.cfg->password_md5[15] = 0xff;
    wtp_info &sw = basic.items.emplace_back();
    sw.wtp_type = WTP_TYPE_SWITCH;
    sw.mac = {0, 0, 0, 0, 0, 0x0B};
    sw.switch_port.emplace_back();
    sw.dev_list.emplace_back();
    sw.cfg = std::make_unique<wtp_cfg>();
    EXPECT_EQ(zero_common("00:00:00:00:00:0A", 3) + "Cfg Capability\t" + ZERO21 + "\n" +
                  DHCP_COPY +
                  "  Banstreering\t\t\t\t0\n  Banstreer:\n    mode\t\t\t\t0\n"
                  "    percent_enable\t\t\t\t0\n    rssi_enable\t\t\t\t0\n    rssi\t\t\t\t0\n"
                  "    percent\t\t\t\t0\n  Fast Handover Status\t\t\t0\n"
                  "  Fast Handover RSSI\t\t\t0\n  Guest Network\n    Address\t\t\t\t0.0.0.0\n"
                  "    Mask\t\t\t\t0.0.0.0\n    Start\t\t\t\t0.0.0.0\n    End\t\t\t\t\t0.0.0.0\n"
                  "    WINS\t\t\t\t0.0.0.0\n  Led\n    Power\t\t\t\t0\n    Lan\t\t\t\t0\n"
                  "    Wlan0\t\t\t\t0\n    Wlan1\t\t\t\t0\n    Wlan2\t\t\t\t0\n    Mesh\t\t\t\t0\n"
                  "  Managed vlan id\t\t0\n  Mesh:\n    Mesh Enable Total\t\t\t\t0\n" +
                  zero_common("00:00:00:00:00:0B", 2) + DHCP_COPY + "  PoE PowerBudget\t\t0\n" +
                  SEP + "WTP count\t2\n",
              capture([&] { print_wtp_detail(basic, false, true); }));

    // Another device type prints the common lines and the common copy lines only, whatever
    // it carries; an access point without radios still ends its radio part with an empty
    // line, and without a copy prints no configuration.
    wtp_list other;
    wtp_info &t1 = other.items.emplace_back();
    t1.wtp_type = 1;
    t1.mac = {0, 0, 0, 0, 0, 0x0C};
    t1.radio.emplace_back();
    t1.switch_port.emplace_back();
    t1.cfg = std::make_unique<wtp_cfg>();
    t1.cfg->bandsteer = 1;
    t1.cfg->switch_port.emplace_back();
    wtp_info &bare = other.items.emplace_back();
    bare.wtp_type = WTP_TYPE_AP;
    bare.mac = {0, 0, 0, 0, 0, 0x0D};
    EXPECT_EQ(zero_common("00:00:00:00:00:0C", 1) + DHCP_COPY +
                  zero_common("00:00:00:00:00:0D", 3) + "Cfg Capability\t" + ZERO21 + "\n\n" +
                  SEP + "WTP count\t2\n",
              capture([&] { print_wtp_detail(other, false, false); }));
}

}  // namespace
