// JSON form of the WTP list, and the escape and strip helpers behind it. The expected
// outputs are written out from the documented layout, member by member.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "alloc_hook.h"
#include "status.h"

extern char **environ;

// Records are built with designated initializers; members left out keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

uint32_t ip4(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
    const uint8_t bytes[4] = {a, b, c, d};
    uint32_t v;
    memcpy(&v, bytes, 4);
    return v;
}

mac_addr mac(uint8_t a, uint8_t b, uint8_t c, uint8_t d, uint8_t e, uint8_t f) {
    return {a, b, c, d, e, f};
}

std::string json_of(wtp_list &list, bool password, bool basic) {
    testing::internal::CaptureStdout();
    print_wtp_json(list, password, basic);
    fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

// True when python's strict JSON reader accepts the member wrapped in braces.
bool parses_as_json(const std::string &member) {
    std::string path = testing::TempDir() + "status_json_XXXXXX";
    std::vector<char> name(path.begin(), path.end());
    name.push_back('\0');
    int fd = mkstemp(name.data());
    if (fd < 0) return false;
    const std::string doc = "{" + member + "}";
    const bool written = write(fd, doc.data(), doc.size()) == ssize_t(doc.size());
    close(fd);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    char prog[] = "python3", opt[] = "-m", mod[] = "json.tool";
    char *argv[] = {prog, opt, mod, name.data(), nullptr};
    pid_t pid;
    int status = -1;
    const int rc = posix_spawnp(&pid, prog, &actions, nullptr, argv, environ);
    if (rc == 0) waitpid(pid, &status, 0);
    posix_spawn_file_actions_destroy(&actions);
    unlink(name.data());
    return written && rc == 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// ---- pieces of expected output ---------------------------------------------------------

const char zeros21[] = "0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0";

// Status members of a record whose fields are all zero or empty.
std::string zero_common(int type) {
    return R"("wtp_type":)" + std::to_string(type) +
           R"(,"mac":"00:00:00:00:00:00","ip":"0.0.0.0","port":0,"model":"","sn":"",)"
           R"("managed":0,"unavaiable_fw":0,"upg_img":0,"new_fw_img":"","new_fw_ver":"",)"
           R"("upg_state":0,"unavaiable_addr":0,"state":0,"sub_state":0,"progress":0,)"
           R"("sw_ver":"","cw_ver":"","name":"","uptime":0,"join_time":0,"last_time":0,)"
           R"("change_time":0,"cur_cfg":{"ip":"0.0.0.0","mask":"0.0.0.0","gateway":"0.0.0.0",)"
           R"("dns1":"0.0.0.0","dns2":"0.0.0.0"},"mem":{"total":0,"used":0})";
}

const char zero_cfg_common[] =
    R"("name":"","location":"","admin":"","timezone":0,"ipv4":"0.0.0.0/0.0.0.0/0.0.0.0",)"
    R"("dns1":"0.0.0.0","dns2":"0.0.0.0",)";

// The captive-portal object of a WLAN configuration left at zero.
const char zero_wlan_portal[] =
    R"("portal":{"enable":0,"login_type":0,"radius_server":"0.0.0.0","userurl":"",)"
    R"("walled_garden":{"enable":0,"pages":""},"radius_port":0,"radius_secret":"",)"
    R"("session_timeout":0,"session_timeout_enable":0,"idle_timeout":0,)"
    R"("idle_timeout_enable":0,"accounting_enable":0,"accounting_time":0,"auth_type":0,)"
    R"("external_server":"","external_secret":"","account_server":"0.0.0.0",)"
    R"("accounting_port":0,"accounting_secret":"","uamformat":"","local_auth":"","port":0,)"
    R"("https_enable":0,"network_type":0,"radius_secret2":"","radius_server2":"0.0.0.0"})";

// ---- an access point with everything -------------------------------------------------

wtp_info full_access_point() {
    wtp_info r{.wtp_type = WTP_TYPE_AP, .mac = mac(0x00, 0x11, 0x22, 0xaa, 0xbb, 0xcc),
               .ip = ip4(192, 168, 1, 20), .port = 5246, .model = "AP-7\"x", .cap_code = 7,
               .sku = "SKU-1", .sn = "SN\\01", .managed = 1, .upg_img = 1,
               .new_fw_img = "fw/img.bin", .upg_state = 2, .state = 5, .sub_state = 9,
               .progress = 40, .sw_ver = "1.2.3", .cw_ver = "2", .name = "lobby",
               .uptime = 3600, .join_time = 1700000000, .last_time = 1700000100};
    r.cur_cfg = {ip4(192, 168, 1, 20), ip4(255, 255, 255, 0), ip4(192, 168, 1, 1),
                 ip4(8, 8, 8, 8), 0};
    r.mem = {65536, 1024};
    for (size_t i = 0; i < CFG_CAP_LEN; ++i) r.cfg_cap[i] = uint8_t(i);

    radio_info &ra = r.radio.emplace_back(radio_info{
        .mac = mac(0x00, 0x11, 0x22, 0xaa, 0xbb, 0xd0), .type = 2, .max_tx_power = 20,
        .channel = 36, .tx_power = 17, .tx_power_percent = 100, .role = -1});
    ra.cfg_cap[20] = 255;
    wlan_info &wl = ra.wlan.emplace_back(wlan_info{.bssid = mac(0x00, 0x11, 0x22, 0xaa, 0xbb, 0xd1),
                                                   .tx_pkt = 10, .tx_bytes = 2000,
                                                   .rx_pkt = 30, .rx_bytes = 4000});
    wl.cfg_cap.fill(1);
    wl.sta.push_back({.mac = mac(0x10, 0x20, 0x30, 0x40, 0x50, 0x60), .tx = 5, .rx = 6,
                      .rssi = -70, .os = "Win\"10", .hostname = "pc/\"1\"\\",
                      .ip = ip4(192, 168, 1, 50)});

    auto c = std::make_unique<wtp_cfg>(wtp_cfg{
        .address = ip4(192, 168, 1, 20), .mask = ip4(255, 255, 255, 0),
        .gateway = ip4(192, 168, 1, 1), .dns1 = ip4(1, 1, 1, 1), .dns2 = ip4(9, 9, 9, 9),
        .name = "ap\\1", .admin = "admin", .timezone = -5, .ac_list = {"10.0.0.1", "ac.local"},
        .bandsteer = 1, .bandsteering = {2, 1, 0, -75, 50}, .fasthandover = {1, -80},
        .guest_network = {ip4(10, 10, 0, 1), ip4(255, 255, 0, 0), ip4(10, 10, 0, 10),
                          ip4(10, 10, 0, 200), 0},
        .led = {1, 0, 1, 1, 0, -1}, .manage_vlan_id = 100, .log_remote_en = 1,
        .log_remote_conf = "udp://10.0.0.9:514", .lan_port_count = 1,
        .lan_port = {{.en = 1, .vid = 20, .vlan_mode = 2}}});
    for (int i = 0; i < 16; ++i) c->password_md5[i] = uint8_t(i);

    radio_cfg &rc = c->radio.emplace_back(radio_cfg{
        .country = 156, .op_mode = 1, .wl_mode = 9, .channel = {1, 0, 36}, .tx_power = 17,
        .obey_regulatory_power = 1, .data_rate = 5500, .ax_enable = 1,
        .rts_cts_threshold = 2347, .distance = 1, .aggregation = {1, 32, 65535},
        .limited_clients = {1, 64},
        .portal = {.enable = 1, .login_type = 2, .radius_server = ip4(10, 0, 0, 5),
                   .userurl = "http://x/y", .walled_garden_enable = 1,
                   .walled_garden_pages = "a.com", .radius_port = 1812,
                   .radius_secret = "s\"1", .session_timeout = 3600,
                   .session_timeout_enable = 1, .idle_timeout = 600, .accounting_enable = 1,
                   .accounting_time = 300, .account_server = ip4(10, 0, 0, 6),
                   .accounting_port = 1813, .accounting_secret = "acc", .port = 8080,
                   .network_type = 9},  // a radio's portal has none to print
        .mesh = {0, "m\\1", "k", -3}, .fasthandover = {0, -70}});

    wlan_cfg &w1 = rc.wlan.emplace_back(wlan_cfg{
        .enable = 1, .ssid = "Cafe \"Bar\"", .sta_sep = 1, .layer2Isolation = 1,
        .l2macWlist = {mac(0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0x01)}, .vlan = 10,
        .downloadlimit = 1024, .uploadlimit = 512, .downperuser_en = 1, .downloadMode = 2,
        .uploadMode = 1, .roaming = {1, 0},
        .acl = {1, {mac(0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0x02), mac(0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0x03)}},
        .sec_mode = 1, .wep = {1, 0, 64, 1, {"12345", "", "ab\\c", "x/y"}},
        .wpa = {.passphrase = "unused"},
        .nas = {1, "nas1", 1, 3799, 1, ip4(10, 0, 0, 7)}, .hotspot20 = "{\"enable\":1}"});
    w1.portal.network_type = 3;

    rc.wlan.push_back(wlan_cfg{
        .ssid = "guest", .sec_mode = 5, .wep = {.key = {"unused", "", "", ""}},
        .wpa = {2, 0, "p@ss\"w", 3600, 1}, .radius = {ip4(10, 0, 0, 5), 1812, "rad"},
        .acc = {1, ip4(10, 0, 0, 6), 1813, "a/c", 60}});

    r.cfg = std::move(c);
    return r;
}

TEST(WtpJson, AccessPointWithRadioStationAndConfiguration) {
    wtp_list list;
    list.items.push_back(full_access_point());
    const std::string want =
        std::string(R"("wtp_list":[{"wtp_type":3,"mac":"00:11:22:AA:BB:CC","ip":"192.168.1.20",)")
        + R"("port":5246,"model":"AP-7\"x","sn":"SN\\01","managed":1,"unavaiable_fw":0,)"
        R"("upg_img":1,"new_fw_img":"fw/img.bin","new_fw_ver":"","upg_state":2,)"
        R"("unavaiable_addr":0,"state":5,"sub_state":9,"progress":40,"sw_ver":"1.2.3",)"
        R"("cw_ver":"2","name":"lobby","uptime":3600,"join_time":1700000000,)"
        R"("last_time":1700000100,"change_time":0,"cur_cfg":{"ip":"192.168.1.20",)"
        R"("mask":"255.255.255.0","gateway":"192.168.1.1","dns1":"8.8.8.8","dns2":"0.0.0.0"},)"
        R"("mem":{"total":65536,"used":1024})"
        // access point status
        R"(,"cap_code":7,"sku":"SKU-1",)"
        R"("cfg_cap":[0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20],)"
        R"("radio":[{"mac":"00:11:22:AA:BB:D0","type":2,"max_tx_power":20,)"
        R"("cfg_cap":[0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,255],)"
        R"("cur_cfg":{"channel":36,"tx_power":17,"tx_power_percent":100},)"
        R"("mesh":{"role":-1,"bssid":"00:00:00:00:00:00"},)"
        R"("wlan":[{"bssid":"00:11:22:AA:BB:D1","cfg_cap":[1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1],)"
        R"("tx_pkt":10,"tx_bytes":2000,"rx_pkt":30,"rx_bytes":4000,)"
        R"("sta":[{"mac":"10:20:30:40:50:60","tx":5,"rx":6,"rssi":"-70","os":"Win\"10",)"
        R"("hostname":"pc\/\"1\"\\","ip":"192.168.1.50"}]}]}])"
        // configuration copy
        R"(,"wtp_cfg":{"name":"ap\\1","location":"","admin":"admin","timezone":-5,)"
        R"("ipv4":"192.168.1.20/255.255.255.0/192.168.1.1","dns1":"1.1.1.1","dns2":"9.9.9.9",)"
        R"("ac_list":["10.0.0.1","ac.local"],"password_md5":"000102030405060708090a0b0c0d0e0f",)"
        R"("bandsteer":1,"bandsteering":{"mode":2,"percent_en":1,"rssi_en":0,"rssi":-75,"percent":50},)"
        R"("manage_vlan_id":100,"log_remote_en":1,"log_traffic_en":0,)"
        R"("log_remote_conf":"udp://10.0.0.9:514","lan_port":[{"po":0,"en":1,"vlan_mode":2,"vid":20}],)"
        R"("fasthandover":{"status":1,"rssi":-80},"guest_network":{"addr":"10.10.0.1",)"
        R"("mask":"255.255.0.0","start":"10.10.0.10","end":"10.10.0.200","wins":"0.0.0.0"},)"
        R"("led":{"power":1,"lan":0,"wlan0":1,"wlan1":1,"wlan2":0,"mesh":-1},)"
        R"("mesh":{"enable_total":0},)"
        // radio configuration
        R"("radio":[{"op_mode":1,"wl_mode":9,"country":156,"channel":{"ht":1,"ext":0,"val":36},)"
        R"("tx_power":17,"obey_regulatory_power":1,"data_rate":"5.5M","bit_rate":0,"ax_enable":1,)"
        R"("rts_cts_threshold":2347,"distance":1,)"
        R"("aggregation":{"enable":1,"frames":32,"maxbytes":65535},)"
        R"("limited_clients":{"enable":1,"count":64},)"
        R"("portal":{"enable":1,"login_type":2,"radius_server":"10.0.0.5",)"
        R"("userurl":"http:\/\/x\/y","walled_garden":{"enable":1,"pages":"a.com"},)"
        R"("radius_port":1812,"radius_secret":"s\"1","session_timeout":3600,)"
        R"("session_timeout_enable":1,"idle_timeout":600,"idle_timeout_enable":0,)"
        R"("accounting_enable":1,"accounting_time":300,"auth_type":0,"external_server":"",)"
        R"("external_secret":"","account_server":"10.0.0.6","accounting_port":1813,)"
        R"("accounting_secret":"acc","uamformat":"","local_auth":"","port":8080,)"
        R"("https_enable":0,"radius_secret2":"","radius_server2":"0.0.0.0"},)"
        R"("mesh":{"enable":0,"id":"m\\1","wpa_key":"k","link_robust_threshold":-3},)"
        R"("fasthandover":{"status":0,"rssi":-70},)"
        // first WLAN: WEP
        R"("wlan":[{"enable":1,"ssid":"Cafe \"Bar\"","supr_ssid":0,"sta_sep":1,)"
        R"("layer2Isolation":1,"l2macWlist":["AA:BB:CC:DD:EE:01"],"isolation":0,"vlan":10,)"
        R"("downloadlimit":1024,"uploadlimit":512,"downperuser_en":1,"uploadperuser_en":0,)"
        R"("downloadMode":2,"uploadMode":1,"roaming":{"enable":1,"adv_search":0},)"
        R"("acl":{"mode":1,"mac":["AA:BB:CC:DD:EE:02","AA:BB:CC:DD:EE:03"]},"sec_mode":1,)"
        R"("nas":{"id_enable":1,"id":"nas1","ip_enable":1,"ip":"10.0.0.7","port_enable":1,"port":3799},)"
        R"("acc":{"enable":0,"addr":"0.0.0.0","port":0,"secret":"","interval":0},)"
        R"("portal":{"enable":0,"login_type":0,"radius_server":"0.0.0.0","userurl":"",)"
        R"("walled_garden":{"enable":0,"pages":""},"radius_port":0,"radius_secret":"",)"
        R"("session_timeout":0,"session_timeout_enable":0,"idle_timeout":0,)"
        R"("idle_timeout_enable":0,"accounting_enable":0,"accounting_time":0,"auth_type":0,)"
        R"("external_server":"","external_secret":"","account_server":"0.0.0.0",)"
        R"("accounting_port":0,"accounting_secret":"","uamformat":"","local_auth":"","port":0,)"
        R"("https_enable":0,"network_type":3,"radius_secret2":"","radius_server2":"0.0.0.0"},)"
        R"("hotspot20":{"enable":1},)"
        R"("bandsteering":{"mode":0,"percent_en":0,"rssi_en":0,"rssi":0,"percent":0},)"
        R"("wep":{"auth_type":1,"in_type":0,"key_len":64,"def_key":1,"key":["12345","","ab\\c","x\/y"]}})"
        // second WLAN: WPA with RADIUS, no hotspot text
        R"(,{"enable":0,"ssid":"guest","supr_ssid":0,"sta_sep":0,"layer2Isolation":0,)"
        R"("l2macWlist":[],"isolation":0,"vlan":0,"downloadlimit":0,"uploadlimit":0,)"
        R"("downperuser_en":0,"uploadperuser_en":0,"downloadMode":0,"uploadMode":0,)"
        R"("roaming":{"enable":0,"adv_search":0},"acl":{"mode":0,"mac":[]},"sec_mode":5,)"
        R"("nas":{"id_enable":0,"id":"","ip_enable":0,"ip":"0.0.0.0","port_enable":0,"port":0},)"
        R"("acc":{"enable":1,"addr":"10.0.0.6","port":1813,"secret":"a\/c","interval":60},)"
        + zero_wlan_portal +
        R"(,"hotspot20":null,)"
        R"("bandsteering":{"mode":0,"percent_en":0,"rssi_en":0,"rssi":0,"percent":0},)"
        R"("wpa":{"enc_mode":2,"suiteb_en":0,"pmf_enable":1,"passphrase":"p@ss\"w",)"
        R"("group_key_int":3600,"radius":{"addr":"10.0.0.5","port":1812,"secret":"rad"}}})"
        R"(]}]}}])"
        "\n";
    const std::string got = json_of(list, true, false);
    EXPECT_EQ(want, got);
    EXPECT_TRUE(parses_as_json(got));

    // Without the password switch the digest is left out, nothing else changes.
    const std::string digest = R"("password_md5":"000102030405060708090a0b0c0d0e0f",)";
    std::string no_password = want;
    no_password.erase(no_password.find(digest), digest.size());
    EXPECT_EQ(no_password, json_of(list, false, false));
}

// ---- a switch with one element in every section ----------------------------------------

wtp_info full_switch() {
    wtp_info r;
    r.wtp_type = WTP_TYPE_SWITCH;
    r.mac = mac(0x00, 0xaa, 0, 0, 0, 0x01);
    r.ip = ip4(10, 1, 0, 2);
    r.port = 5246;
    r.model = "SW-8";
    r.sn = "S1";
    r.managed = 1;
    r.sw_ver = "3.0";
    r.name = "core";
    r.flick_reboot_flag = 1;  // shown only in the basic form
    r.cfg_cap[0] = 1;
    r.sw_max_port = 1;
    r.sw_max_trunk = 2;
    r.sw_max_vlan_num = 3;
    r.sw_max_managed_ap = 4;
    r.sw_max_mirror_num = 5;
    r.sw_max_multicast_num = 6;
    r.sw_max_power_budget = 7;
    r.sw_min_power_budget = 8;
    r.sw_max_static_mac_num = 9;
    r.sw_max_trunk_member = 10;
    r.sw_dev_suport_type = 11;
    r.switch_hw_port = {{1, 2}};
    r.switch_port = {{1, 2, 3, 4, 5, 6, 7}};  // port enable speed link flow duplex auto_neg
    r.trunk_port = {{1, 2, "1,2", "1-2"}};
    r.lldp_dev_list = {{mac(0, 0xbb, 0, 0, 0, 0x02), 3, "ge\"1", "n", "m"}};
    r.power_budget = 150;
    r.allocated_power = 30;
    r.poe_port = {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}};
    topo_dev &d = r.dev_list.emplace_back();
    d.type = 3;
    d.system_time = 100;
    d.update_time = 200;
    d.link_info_last_time = 300;
    d.no_link_info_first_time = 400;
    d.mac = mac(0, 0xcc, 0, 0, 0, 0x03);
    d.ip = ip4(10, 1, 0, 9);
    d.name = "ap";
    d.description = "a\r\nb";
    d.link_count = 1;
    d.link = {{4, mac(0, 0xdd, 0, 0, 0, 0x04), "eth0"}};

    auto c = std::make_unique<wtp_cfg>();
    c->name = "sw";
    c->location = "rack \"2\"";
    c->timezone = 8;
    c->ac_list = {"10.0.0.1"};
    c->password_md5.fill(0xab);  // an access point's member: never shown for a switch
    c->sw_text = "hidden";
    c->redundancyMode = 1;
    c->manage_mac_list = {mac(0, 0xee, 0, 0, 0, 0x05)};
    c->switch_port = {{2, 1, 3, "up\\link"}};  // mode flow_control port descp
    c->power_budget = 120;
    c->poe_port = {{1, 1, 15, 2, 3}};  // port enable user_power_limit power_limit_type priority
    c->pdl_enable = 1;
    c->pd_lifeguard = {{2, 1, 0, 1, ip4(10, 1, 0, 50), 10, 3, 30, 5, 0, 60, "ok"}};
    c->pdl_status = {{2, 1, 0, 1, "00:ff:00:00:00:06", ip4(10, 1, 0, 50), "none"}};
    r.cfg = std::move(c);
    return r;
}

TEST(WtpJson, SwitchWithEverySectionAndConfiguration) {
    wtp_list list;
    list.items.push_back(full_switch());
    const std::string want =
        std::string(R"("wtp_list":[{"wtp_type":2,"mac":"00:AA:00:00:00:01","ip":"10.1.0.2",)")
        + R"("port":5246,"model":"SW-8","sn":"S1","managed":1,"unavaiable_fw":0,"upg_img":0,)"
        R"("new_fw_img":"","new_fw_ver":"","upg_state":0,"unavaiable_addr":0,"state":0,)"
        R"("sub_state":0,"progress":0,"sw_ver":"3.0","cw_ver":"","name":"core","uptime":0,)"
        R"("join_time":0,"last_time":0,"change_time":0,"cur_cfg":{"ip":"0.0.0.0",)"
        R"("mask":"0.0.0.0","gateway":"0.0.0.0","dns1":"0.0.0.0","dns2":"0.0.0.0"},)"
        R"("mem":{"total":0,"used":0})"
        R"(,"cfg_cap":[1,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0])"
        R"(,"sw_max_port":1,"sw_max_trunk":2,"sw_max_trunk_member":10,"sw_max_vlan_num":3,)"
        R"("sw_max_managed_ap":4,"sw_max_mirror_num":5,"sw_max_multicast_num":6,)"
        R"("sw_max_power_budget":7,"sw_min_power_budget":8,"sw_max_static_mac_num":9,)"
        R"("sw_dev_suport_type":11,)"
        R"("switch_hw_port":[{"port":1,"port_type":2}],)"
        R"("switch_port":[{"port":1,"speed":3,"enable":2,"link_status":4,"flow_control":5,)"
        R"("auto_neg":7,"duplex":6}],)"
        R"("trunk_port":[{"id":1,"mode":2,"active_port":"1,2","port":"1-2"}],)"
        R"("lldp_dev_list":[{"mac":"00:BB:00:00:00:02","localPort":3,"remotePort":"ge\"1",)"
        R"("name":"n","model":"m"}])"
        R"(,"poe_global":{"power_budget":150,"allocated_power":30})"
        R"(,"poe_port":[{"port":1,"enable":2,"poe_class":3,"priority":4,"power_limit_type":5,)"
        R"("user_power_limit":6,"status":7,"output_voltage":8,"output_current":9,)"
        R"("output_power":10,"temperature":11}])"
        R"(,"dev_list":[{"type":3,"mac":"00:CC:00:00:00:03","ip":"10.1.0.9","name":"ap",)"
        R"("model":"ab","system_time":100,"update_time":200,"link_info_last_time":300,)"
        R"("no_link_info_first_time":400,)"
        R"("link":[{"local_port":4,"mac":"00:DD:00:00:00:04","remote_port":"eth0"}]}])"
        R"(,"wtp_cfg":{"name":"sw","location":"rack \"2\"","admin":"","timezone":8,)"
        R"("ipv4":"0.0.0.0/0.0.0.0/0.0.0.0","dns1":"0.0.0.0","dns2":"0.0.0.0",)"
        R"("ac_list":["10.0.0.1"],"redundancyMode":1,"manage_mac_list":["00:EE:00:00:00:05"],)"
        R"("switch_port":[{"port":3,"mode":2,"flow_control":1,"descp":"up\\link"}],)"
        R"("power_budget":120,)"
        R"("poe_port":[{"port":1,"enable":1,"power_limit_type":2,"user_power_limit":15,"priority":3}],)"
        R"("pdl_enable":1,)"
        R"("pd_lifeguard":[{"port":2,"enable":1,"mode":0,"action":1,"specified_ip":"10.1.0.50",)"
        R"("ping_interval":10,"ping_max_count":3,"power_recovery_interval":30,)"
        R"("reboot_max_retry_count":5,"reboot_count":0,"pd_bootup_time":60,"status":"ok"}],)"
        R"("pdl_status":[{"port":2,"state":1,"mode":0,"polling_method":1,)"
        R"("mac":"00:ff:00:00:00:06","management_ip":"10.1.0.50","action":"none"}]}})"
        R"(])"
        "\n";
    const std::string got = json_of(list, true, false);
    EXPECT_EQ(want, got);
    EXPECT_TRUE(parses_as_json(got));
    // The line breaks are gone from the record itself.
    EXPECT_EQ("ab", list.items[0].dev_list[0].description);
}

// ---- edge cases ------------------------------------------------------------------------

TEST(WtpJson, EmptyListBasicFormsAndOtherDeviceTypes) {
    wtp_list empty;
    EXPECT_EQ("\"wtp_list\":[]\n", json_of(empty, true, false));
    EXPECT_EQ("\"wtp_list\":[]\n", json_of(empty, false, true));

    wtp_list list;
    wtp_info &ap = list.items.emplace_back();  // basic: no radios, even when it has some
    ap.wtp_type = WTP_TYPE_AP;
    ap.radio.emplace_back();
    ap.cfg = std::make_unique<wtp_cfg>();  // no LAN ports, no radios
    ap.cfg->lan_port_count = -1;
    wtp_info &sw = list.items.emplace_back();  // basic: the flag instead of the detail
    sw.wtp_type = WTP_TYPE_SWITCH;
    sw.flick_reboot_flag = 7;
    sw.switch_port.emplace_back();
    wtp_info &other = list.items.emplace_back();  // common part and the AC list only
    other.wtp_type = 1;
    other.cfg = std::make_unique<wtp_cfg>();
    other.cfg->ac_list = {"a", "b"};
    other.cfg->radio.emplace_back();
    other.cfg->switch_port.emplace_back();

    const std::string want =
        "\"wtp_list\":[{" + zero_common(3) + R"(,"cap_code":0,"sku":"","cfg_cap":[)" + zeros21 +
        R"(],"wtp_cfg":{)" + zero_cfg_common +
        R"("ac_list":[],"bandsteer":0,)"
        R"("bandsteering":{"mode":0,"percent_en":0,"rssi_en":0,"rssi":0,"percent":0},)"
        R"("manage_vlan_id":0,"log_remote_en":0,"log_traffic_en":0,"log_remote_conf":"",)"
        R"("fasthandover":{"status":0,"rssi":0},"guest_network":{"addr":"0.0.0.0",)"
        R"("mask":"0.0.0.0","start":"0.0.0.0","end":"0.0.0.0","wins":"0.0.0.0"},)"
        R"("led":{"power":0,"lan":0,"wlan0":0,"wlan1":0,"wlan2":0,"mesh":0},)"
        R"("mesh":{"enable_total":0},"radio":[]}})"
        ",{" + zero_common(2) + R"(,"cfg_cap":[)" + zeros21 + R"(],"flick_reboot_flag":7})"
        ",{" + zero_common(1) + R"(,"wtp_cfg":{)" + zero_cfg_common + R"("ac_list":["a","b"]}})"
        "]\n";
    const std::string got = json_of(list, false, true);
    EXPECT_EQ(want, got);
    EXPECT_TRUE(parses_as_json(got));
    EXPECT_TRUE(parses_as_json(R"("a":[])"));  // the checker itself
    EXPECT_FALSE(parses_as_json(R"("a":{"ac_list":[],})"));

    // Without basic, the access point shows an empty radio array and the switch its
    // detail in place of the flag.
    const std::string full = json_of(list, false, false);
    EXPECT_NE(std::string::npos, full.find(std::string(zeros21) + R"(],"radio":[{"mac":)"));
    EXPECT_NE(std::string::npos, full.find(std::string(zeros21) + R"(],"sw_max_port":0,)"));
    EXPECT_EQ(std::string::npos, full.find("flick_reboot_flag"));
    EXPECT_TRUE(parses_as_json(full));
}

// The tail of a WLAN configuration object by security mode: nothing, "wep", "wpa", or
// "wpa" with "radius", then the closing brackets of WLAN, radio and record.
TEST(WtpJson, SecurityObjectFollowsTheSecurityMode) {
    const std::string none = "}]}]}}]\n";
    const std::string wep = R"(,"wep":{"auth_type":1,"in_type":2,"key_len":128,"def_key":3,)"
                            R"("key":["k1","","k\"3",""]})" + none;
    const std::string wpa = R"(,"wpa":{"enc_mode":4,"suiteb_en":1,"pmf_enable":2,)"
                            R"("passphrase":"pw","group_key_int":60})" + none;
    const std::string radius = R"(,"wpa":{"enc_mode":4,"suiteb_en":1,"pmf_enable":2,)"
                               R"("passphrase":"pw","group_key_int":60,)"
                               R"("radius":{"addr":"10.0.0.5","port":1812,"secret":"r\/s"}})" +
                               none;
    const std::string want[] = {none, wep,    wpa, wpa,    wpa,    radius, radius,
                                radius, wpa, wpa, wpa, radius, radius, none, none};
    const std::string marker =
        R"("bandsteering":{"mode":1,"percent_en":2,"rssi_en":3,"rssi":4,"percent":5})";
    for (uint32_t mode = 0; mode < std::size(want); ++mode) {
        wtp_list list;
        wtp_info &ap = list.items.emplace_back();
        ap.wtp_type = WTP_TYPE_AP;
        ap.cfg = std::make_unique<wtp_cfg>();
        wlan_cfg &w = ap.cfg->radio.emplace_back().wlan.emplace_back();
        w.sec_mode = mode;
        w.bandsteering = {1, 2, 3, 4, 5};
        w.wep = {1, 2, 128, 3, {"k1", "", "k\"3", ""}};
        w.wpa = {4, 1, "pw", 60, 2};
        w.radius = {ip4(10, 0, 0, 5), 1812, "r/s"};
        const std::string got = json_of(list, false, false);
        const size_t at = got.find(marker);
        ASSERT_NE(std::string::npos, at) << mode;
        EXPECT_EQ(want[mode], got.substr(at + marker.size())) << "sec_mode " << mode;
        EXPECT_NE(std::string::npos, got.find(R"("sec_mode":)" + std::to_string(mode) + ","));
        EXPECT_EQ(std::string::npos, got.find("lan_port")) << "LAN port count 0";
        EXPECT_TRUE(parses_as_json(got)) << mode;
    }
}

// The WLAN's hotspot text is inserted as a value of its own only when it is one JSON value
// a strict reader takes; anything else (which would break the document or forge members)
// prints as null.
TEST(WtpJson, HotspotTextPrintsOnlyWhenItIsOneJsonValue) {
    const std::string deep64 = std::string(64, '[') + std::string(64, ']');
    const std::string deep65 = std::string(65, '[') + std::string(65, ']');
    const std::string digits4000 = std::string(4000, '7');
    const std::string digits4001 = std::string(4001, '7');
    struct {
        std::string text;
        bool kept;
    } rows[] = {
        {R"({"enable":1,"venue":{"group":1,"name":"Caf\u00e9 \"x\""}})", true},
        {" [1, -2.5e+3, 0.5E-1, -0, true, false, null, \"caf\xC3\xA9\\n\", {}, []]\r\n", true},
        {deep64, true},
        {digits4000, true},
        {"", false},
        {"{nope", false},
        {R"({"enable":1},"sw_ver":"9.9")", false},
        {"{\"a\":\"x\ny\"}", false},   // a line end inside a string
        {"{\"a\":\"\xff\"}", false},    // not UTF-8
        {"{\"a\":\"\x01\"}", false},
        {"01", false},
        {"1.", false},
        {"1e", false},
        {"[1,]", false},
        {R"({"a" 1})", false},
        {R"({1:2})", false},
        {"NaN", false},
        {R"("\u12")", false},
        {"1 2", false},
        {deep65, false},
        {digits4001, false},
    };
    // One WLAN for each text, in one document.
    wtp_list list;
    wtp_info &ap = list.items.emplace_back();
    ap.wtp_type = WTP_TYPE_AP;
    ap.cfg = std::make_unique<wtp_cfg>();
    radio_cfg &radio = ap.cfg->radio.emplace_back();
    for (const auto &r : rows) {
        EXPECT_EQ(r.kept, json_is_value(r.text.c_str())) << r.text.substr(0, 80);
        radio.wlan.emplace_back().hotspot20 = r.text;
    }
    const std::string got = json_of(list, false, false);
    size_t at = 0;
    for (const auto &r : rows) {
        const std::string want = "\"hotspot20\":" + (r.kept ? r.text : "null") + ",";
        at = got.find(want, at);
        ASSERT_NE(std::string::npos, at) << r.text.substr(0, 80);
        at += want.size();
    }
    EXPECT_TRUE(parses_as_json(got));
}

TEST(JsonEscape, FailedGrowthPrintsTheEmptyText) {
    const std::string big = std::string(200000, 'x') + "\"";
    wtp_list list;
    wtp_info &ap = list.items.emplace_back();
    ap.wtp_type = WTP_TYPE_AP;
    ap.cfg = std::make_unique<wtp_cfg>();
    wlan_cfg &w = ap.cfg->radio.emplace_back().wlan.emplace_back();
    w.ssid = big;
    w.nas.id = "n\"";
    std::string got;
    {
        testing::internal::CaptureStdout();
        {
            failing_allocations oom(100000);
            EXPECT_EQ(nullptr, json_escape(big.c_str()));
            print_wtp_json(list, false, false);
            fflush(stdout);
        }
        got = testing::internal::GetCapturedStdout();
    }
    EXPECT_NE(std::string::npos, got.find(R"("ssid":"",)"));
    EXPECT_NE(std::string::npos, got.find(R"("id":"n\"",)"));  // small ones still escape
    EXPECT_TRUE(parses_as_json(got));
    const char *again = json_escape(big.c_str());  // memory back: it works again
    ASSERT_NE(nullptr, again);
    EXPECT_EQ(big.size() + 1, strlen(again));
}

TEST(StripAll, DeletesAndReplacesWithoutLengthLimit) {
    std::string text;
    std::string want;
    for (int i = 0; i < 3000; ++i) {
        text += "line\r\n";
        want += "line";
    }
    strip_all(text, "\r", "");
    strip_all(text, "\n", "");
    EXPECT_EQ(want, text);

    std::string grow(3000, 'a');
    strip_all(grow, "a", "xyz");
    EXPECT_EQ(9000u, grow.size());
    EXPECT_EQ(std::string::npos, grow.find('a'));
    EXPECT_EQ("xyzxyz", grow.substr(8994));

    struct {
        const char *text, *old, *repl, *want;
    } cases[] = {
        {"aaa", "aa", "b", "ba"},        // occurrences do not overlap
        {"ab", "a", "aa", "aab"},        // the replacement is not searched again
        {"xAyAz", "A", "BC", "xBCyBCz"}, // grows in the middle
        {"abcabc", "bc", "XY", "aXYaXY"},
        {"\r\r\n", "\r", "", "\n"},
        {"none here", "\r", "", "none here"},
        {"keep", "", "x", "keep"},       // an empty pattern changes nothing
        {"", "a", "", ""},
    };
    for (const auto &c : cases) {
        std::string s = c.text;
        strip_all(s, c.old, c.repl);
        EXPECT_EQ(c.want, s) << c.text << " / " << c.old;
    }
}

}  // namespace
