// ac_sim: the configuration keys of both device types and the text forms of decoded values.
// Adding a key the AC understands is adding a row.
#include "acsim_keys.h"

#include <cstdio>
#include <cstring>

namespace acsim {

namespace {

constexpr int32_t MAX28 = 268435455;  // 2^28 - 1

// Device type 2. Columns: key path, item type, JSON type, index bytes, form, min, max.
const key_row switch_rows[] = {
    {"wtp_cfg.name", 1, STRING, 0, FORM_TEXT, 0, 255},
    {"wtp_cfg.location", 2, STRING, 0, FORM_TEXT, 0, 255},
    {"wtp_cfg.admin", 6, STRING, 0, FORM_TEXT, 1, 255},
    {"wtp_cfg.password", 7, STRING, 0, FORM_TEXT, 1, 255},
    {"wtp_cfg.ipv4", 3, STRING, 0, FORM_ADDR_TRIPLE, 23, 47},
    {"wtp_cfg.dns1", 4, STRING, 0, FORM_IPV4, 0, 15},
    {"wtp_cfg.dns2", 5, STRING, 0, FORM_IPV4, 0, 15},
    {"wtp_cfg.switch_port[].port", 9, INTEGER, 1, FORM_U32, 0, 65535},
    {"wtp_cfg.switch_port[].mode", 10, INTEGER, 1, FORM_U32, 0, 10},
    {"wtp_cfg.switch_port[].flow_control", 11, INTEGER, 1, FORM_U32, 0, 1},
    {"wtp_cfg.switch_port[].descp", 22, STRING, 1, FORM_TEXT, 0, 255},
    {"wtp_cfg.power_budget", 12, INTEGER, 0, FORM_U32, 0, 65535},
    {"wtp_cfg.poe_port[].port", 14, INTEGER, 1, FORM_U32, 0, 65535},
    {"wtp_cfg.poe_port[].enable", 15, INTEGER, 1, FORM_U32, 0, 1},
    {"wtp_cfg.poe_port[].priority", 16, INTEGER, 1, FORM_U32, 0, 3},
    {"wtp_cfg.poe_port[].power_limit_type", 17, INTEGER, 1, FORM_U32, 1, 2},
    {"wtp_cfg.poe_port[].user_power_limit", 18, INTEGER, 1, FORM_U32, 0, 65535},
    {"wtp_cfg.ac_list[]", 19, STRING, 0, FORM_NAME_LIST, 0, 255},
    {"wtp_cfg.manage_mac_list[]", 20, STRING, 0, FORM_MAC_LIST, 0, 17},
    {"wtp_cfg.redundancyMode", 21, INTEGER, 0, FORM_U32, 0, 1},
    {"wtp_cfg.pdl_enable", 23, INTEGER, 0, FORM_U32, 0, 1},
    {"wtp_cfg.pd_lifeguard[].port", 25, INTEGER, 1, FORM_U32, 0, 65535},
    {"wtp_cfg.pd_lifeguard[].enable", 26, INTEGER, 1, FORM_U32, 0, 1},
    {"wtp_cfg.pd_lifeguard[].mode", 27, INTEGER, 1, FORM_U32, 0, 2},
    {"wtp_cfg.pd_lifeguard[].action", 28, INTEGER, 1, FORM_U32, 0, 2},
    {"wtp_cfg.pd_lifeguard[].specified_ip", 29, STRING, 1, FORM_IPV4, 0, 15},
    {"wtp_cfg.pd_lifeguard[].ping_interval", 30, INTEGER, 1, FORM_U32, 1, 3600},
    {"wtp_cfg.pd_lifeguard[].ping_max_count", 31, INTEGER, 1, FORM_U32, 1, 255},
    {"wtp_cfg.pd_lifeguard[].power_recovery_interval", 32, INTEGER, 1, FORM_U32, 1, 600},
    {"wtp_cfg.pd_lifeguard[].reboot_max_retry_count", 33, INTEGER, 1, FORM_U32, 0, 20},
    {"wtp_cfg.pd_lifeguard[].reboot_count", 34, INTEGER, 1, FORM_U32, 0, 65535},
    {"wtp_cfg.pd_lifeguard[].pd_bootup_time", 35, INTEGER, 1, FORM_U32, 50, 1200},
    {"wtp_cfg.pd_lifeguard[].clear_reboot_count", 36, INTEGER, 1, FORM_U32, 0, 1},
    {"wtp_cfg.pd_lifeguard[].status", 37, STRING, 1, FORM_TEXT, 0, 255},
    {"wtp_cfg.pdl_status[].port", 39, INTEGER, 1, FORM_U32, 0, 65535},
    {"wtp_cfg.pdl_status[].state", 40, INTEGER, 1, FORM_U32, 0, 1},
    {"wtp_cfg.pdl_status[].mode", 41, INTEGER, 1, FORM_U32, 0, 2},
    {"wtp_cfg.pdl_status[].polling_method", 42, INTEGER, 1, FORM_U32, 0, 3},
    {"wtp_cfg.pdl_status[].mac", 43, STRING, 1, FORM_TEXT, 0, 17},
    {"wtp_cfg.pdl_status[].management_ip", 44, STRING, 1, FORM_IPV4, 0, 15},
    {"wtp_cfg.pdl_status[].action", 45, STRING, 1, FORM_TEXT, 0, 255},
};

// Device type 3 (and any code but 2). Columns as above.
const key_row ap_rows[] = {
    {"wtp_cfg.name", 1, STRING, 0, FORM_TEXT, 0, 255},
    {"wtp_cfg.location", 2, STRING, 0, FORM_TEXT, 0, 255},
    {"wtp_cfg.admin", 43, STRING, 0, FORM_TEXT, 1, 255},
    {"wtp_cfg.password", 44, STRING, 0, FORM_DIGEST, 1, 255},
    {"wtp_cfg.ipv4", 3, STRING, 0, FORM_ADDR_TRIPLE, 23, 47},
    {"wtp_cfg.dns1", 41, STRING, 0, FORM_IPV4, 0, 15},
    {"wtp_cfg.dns2", 42, STRING, 0, FORM_IPV4, 0, 15},
    {"wtp_cfg.bandsteer", 50, INTEGER, 0, FORM_U32, 0, 1},
    {"wtp_cfg.bandsteering.mode", 100, INTEGER, 0, FORM_U32, 0, 3},
    {"wtp_cfg.bandsteering.percent_en", 101, INTEGER, 0, FORM_U32, 0, 1},
    {"wtp_cfg.bandsteering.rssi_en", 102, INTEGER, 0, FORM_U32, 0, 1},
    {"wtp_cfg.bandsteering.rssi", 103, INTEGER, 0, FORM_U32, -80, -60},
    {"wtp_cfg.bandsteering.percent", 104, INTEGER, 0, FORM_U32, 0, 100},
    {"wtp_cfg.fasthandover.status", 51, INTEGER, 0, FORM_U32, 0, 1},
    {"wtp_cfg.fasthandover.rssi", 52, INTEGER, 0, FORM_U32, -100, -60},
    {"wtp_cfg.guest_network.addr", 57, STRING, 0, FORM_IPV4, 0, 15},
    {"wtp_cfg.guest_network.mask", 58, STRING, 0, FORM_IPV4, 0, 15},
    {"wtp_cfg.guest_network.start", 59, STRING, 0, FORM_IPV4, 0, 15},
    {"wtp_cfg.guest_network.end", 60, STRING, 0, FORM_IPV4, 0, 15},
    {"wtp_cfg.guest_network.wins", 61, STRING, 0, FORM_IPV4, 0, 15},
    {"wtp_cfg.led.power", 63, INTEGER, 0, FORM_U32, 0, 1},
    {"wtp_cfg.led.lan", 64, INTEGER, 0, FORM_U32, 0, 1},
    {"wtp_cfg.led.wlan0", 65, INTEGER, 0, FORM_U32, 0, 1},
    {"wtp_cfg.led.wlan1", 66, INTEGER, 0, FORM_U32, 0, 1},
    {"wtp_cfg.led.wlan2", 154, INTEGER, 0, FORM_U32, 0, 1},
    {"wtp_cfg.led.mesh", 67, INTEGER, 0, FORM_U32, 0, 1},
    {"wtp_cfg.manage_vlan_id", 89, INTEGER, 0, FORM_U32, 0, 4096},
    {"wtp_cfg.timezone", 157, INTEGER, 0, FORM_U32, -720, 780},
    {"wtp_cfg.log_remote_en", 155, INTEGER, 0, FORM_U32, 0, 1},
    {"wtp_cfg.log_traffic_en", 158, INTEGER, 0, FORM_U32, 0, 1},
    {"wtp_cfg.log_remote_conf", 156, STRING, 0, FORM_TEXT, 0, 128},
    {"wtp_cfg.lan_port[].en", 94, INTEGER, 1, FORM_U32, 0, 1},
    {"wtp_cfg.lan_port[].vid", 95, INTEGER, 1, FORM_U32, 0, 4094},
    {"wtp_cfg.ac_list[]", 90, STRING, 0, FORM_NAME_LIST, 0, 255},
    {"wtp_cfg.radio[].op_mode", 5, INTEGER, 1, FORM_U32, 0, 2},
    {"wtp_cfg.radio[].wl_mode", 6, INTEGER, 1, FORM_U32, 1, MAX28},
    {"wtp_cfg.radio[].country", 7, INTEGER, 1, FORM_U32, 0, MAX28},
    {"wtp_cfg.radio[].channel.ht", 8, INTEGER, 1, FORM_U32, 0, MAX28},
    {"wtp_cfg.radio[].channel.ext", 9, INTEGER, 1, FORM_U32, 0, MAX28},
    {"wtp_cfg.radio[].channel.val", 10, INTEGER, 1, FORM_U32, 0, MAX28},
    {"wtp_cfg.radio[].limited_clients.enable", 11, INTEGER, 1, FORM_U32, 0, 1},
    {"wtp_cfg.radio[].limited_clients.count", 12, INTEGER, 1, FORM_U32, 1, 127},
    {"wtp_cfg.radio[].tx_power", 13, INTEGER, 1, FORM_U32, 0, MAX28},
    {"wtp_cfg.radio[].obey_regulatory_power", 48, INTEGER, 1, FORM_U32, 0, 1},
    {"wtp_cfg.radio[].data_rate", 45, STRING, 1, FORM_RATE, 2, 7},
    {"wtp_cfg.radio[].bit_rate", 162, INTEGER, 1, FORM_U32, 1, 56},
    {"wtp_cfg.radio[].ax_enable", 163, INTEGER, 1, FORM_U32, 0, 1},
    {"wtp_cfg.radio[].rts_cts_threshold", 46, INTEGER, 1, FORM_U32, 1, 2346},
    {"wtp_cfg.radio[].aggregation.enable", 14, INTEGER, 1, FORM_U32, 0, 1},
    {"wtp_cfg.radio[].aggregation.frames", 15, INTEGER, 1, FORM_U32, 1, 64},
    {"wtp_cfg.radio[].aggregation.maxbytes", 16, INTEGER, 1, FORM_U32, 2304, 65535},
    {"wtp_cfg.radio[].portal.enable", 69, INTEGER, 1, FORM_U32, 0, 1},
    {"wtp_cfg.radio[].portal.login_type", 70, INTEGER, 1, FORM_U32, 0, 4},
    {"wtp_cfg.radio[].portal.radius_server", 71, STRING, 1, FORM_OPT_IPV4, 0, 15},
    {"wtp_cfg.radio[].portal.userurl", 72, STRING, 1, FORM_TEXT, 0, 200},
    {"wtp_cfg.radio[].portal.walled_garden.enable", 73, INTEGER, 1, FORM_U32, 0, 1},
    {"wtp_cfg.radio[].portal.walled_garden.pages", 74, STRING, 1, FORM_TEXT, 0, 3000},
    {"wtp_cfg.radio[].portal.radius_port", 75, INTEGER, 1, FORM_U16, 0, MAX28},
    {"wtp_cfg.radio[].portal.radius_secret", 76, STRING, 1, FORM_TEXT, 0, 64},
    {"wtp_cfg.radio[].portal.session_timeout", 77, INTEGER, 1, FORM_U32, 0, MAX28},
    {"wtp_cfg.radio[].portal.session_timeout_enable", 78, INTEGER, 1, FORM_U32, 0, 1},
    {"wtp_cfg.radio[].portal.idle_timeout", 79, INTEGER, 1, FORM_U32, 0, MAX28},
    {"wtp_cfg.radio[].portal.idle_timeout_enable", 80, INTEGER, 1, FORM_U32, 0, 1},
    {"wtp_cfg.radio[].portal.accounting_enable", 81, INTEGER, 1, FORM_U32, 0, 1},
    {"wtp_cfg.radio[].portal.accounting_time", 82, INTEGER, 1, FORM_U32, 0, MAX28},
    {"wtp_cfg.radio[].portal.auth_type", 83, INTEGER, 1, FORM_U32, 0, 1},
    {"wtp_cfg.radio[].portal.external_server", 84, STRING, 1, FORM_TEXT, 0, 100},
    {"wtp_cfg.radio[].portal.external_secret", 85, STRING, 1, FORM_TEXT, 0, 20},
    {"wtp_cfg.radio[].portal.account_server", 86, STRING, 1, FORM_OPT_IPV4, 0, 15},
    {"wtp_cfg.radio[].portal.accounting_port", 87, INTEGER, 1, FORM_U16, 0, MAX28},
    {"wtp_cfg.radio[].portal.accounting_secret", 88, STRING, 1, FORM_TEXT, 0, 64},
    {"wtp_cfg.radio[].portal.uamformat", 91, STRING, 1, FORM_TEXT, 0, 100},
    {"wtp_cfg.radio[].portal.local_auth", 92, STRING, 1, FORM_TEXT, 0, 100},
    {"wtp_cfg.radio[].portal.port", 96, INTEGER, 1, FORM_U16, 0, MAX28},
    {"wtp_cfg.radio[].portal.https_enable", 97, INTEGER, 1, FORM_U32, 0, 1},
    {"wtp_cfg.radio[].portal.radius_secret2", 98, STRING, 1, FORM_TEXT, 0, 20},
    {"wtp_cfg.radio[].portal.radius_server2", 99, STRING, 1, FORM_OPT_IPV4, 0, 15},
    {"wtp_cfg.radio[].fasthandover.status", 120, INTEGER, 1, FORM_U32, 0, 1},
    {"wtp_cfg.radio[].fasthandover.rssi", 121, INTEGER, 1, FORM_U32, -100, -60},
    {"wtp_cfg.radio[].distance", 62, INTEGER, 1, FORM_U32, 0, 32000},
    {"wtp_cfg.radio[].wlan[].enable", 18, INTEGER, 2, FORM_U32, 0, 1},
    {"wtp_cfg.radio[].wlan[].ssid", 19, STRING, 2, FORM_TEXT, 0, 32},
    {"wtp_cfg.radio[].wlan[].supr_ssid", 20, INTEGER, 2, FORM_U32, 0, 1},
    {"wtp_cfg.radio[].wlan[].sta_sep", 21, INTEGER, 2, FORM_U32, 0, 1},
    {"wtp_cfg.radio[].wlan[].layer2Isolation", 68, INTEGER, 2, FORM_U32, 0, 1},
    {"wtp_cfg.radio[].wlan[].isolation", 22, INTEGER, 2, FORM_U32, 0, 1},
    {"wtp_cfg.radio[].wlan[].vlan", 23, INTEGER, 2, FORM_U32, 0, 4094},
    {"wtp_cfg.radio[].wlan[].acl.mode", 39, INTEGER, 2, FORM_U32, 0, 2},
    {"wtp_cfg.radio[].wlan[].downloadlimit", 53, INTEGER, 2, FORM_U32, -1, 999999},
    {"wtp_cfg.radio[].wlan[].uploadlimit", 54, INTEGER, 2, FORM_U32, -1, 999999},
    {"wtp_cfg.radio[].wlan[].downperuser_en", 118, INTEGER, 2, FORM_U32, 0, 1},
    {"wtp_cfg.radio[].wlan[].uploadperuser_en", 119, INTEGER, 2, FORM_U32, 0, 1},
    {"wtp_cfg.radio[].wlan[].uploadMode", 160, INTEGER, 2, FORM_U32, 0, 1},
    {"wtp_cfg.radio[].wlan[].downloadMode", 159, INTEGER, 2, FORM_U32, 0, 1},
    {"wtp_cfg.radio[].wlan[].roaming.enable", 55, INTEGER, 2, FORM_U32, 0, 1},
    {"wtp_cfg.radio[].wlan[].roaming.adv_search", 56, INTEGER, 2, FORM_U32, 0, 1},
    {"wtp_cfg.radio[].wlan[].acl.mac[]", 40, STRING, 2, FORM_MAC_LIST, 0, 17},
    {"wtp_cfg.radio[].wlan[].l2macWlist[]", 161, STRING, 2, FORM_MAC_LIST, 0, 17},
    {"wtp_cfg.radio[].wlan[].sec_mode", 24, INTEGER, 2, FORM_U32, 0, MAX28},
    {"wtp_cfg.radio[].wlan[].wep.auth_type", 25, INTEGER, 2, FORM_U32, 0, MAX28},
    {"wtp_cfg.radio[].wlan[].wep.in_type", 49, INTEGER, 2, FORM_U32, 0, MAX28},
    {"wtp_cfg.radio[].wlan[].wep.key_len", 26, INTEGER, 2, FORM_U32, 0, MAX28},
    {"wtp_cfg.radio[].wlan[].wep.def_key", 27, INTEGER, 2, FORM_U32, 0, 3},
    {"wtp_cfg.radio[].wlan[].wep.key[]", 28, STRING, 3, FORM_TEXT, 0, 32},
    {"wtp_cfg.radio[].wlan[].wpa.enc_mode", 29, INTEGER, 2, FORM_U32, 0, MAX28},
    {"wtp_cfg.radio[].wlan[].wpa.suiteb_en", 165, INTEGER, 2, FORM_U32, 0, 1},
    {"wtp_cfg.radio[].wlan[].wpa.pmf_enable", 117, INTEGER, 2, FORM_U32, 0, 1},
    {"wtp_cfg.radio[].wlan[].wpa.passphrase", 30, STRING, 2, FORM_TEXT, 0, 64},
    {"wtp_cfg.radio[].wlan[].wpa.group_key_int", 31, INTEGER, 2, FORM_U32, 0, 3600},
    {"wtp_cfg.radio[].wlan[].wpa.radius.addr", 32, STRING, 2, FORM_IPV4, 0, 15},
    {"wtp_cfg.radio[].wlan[].wpa.radius.port", 33, INTEGER, 2, FORM_U16, 0, 65535},
    {"wtp_cfg.radio[].wlan[].wpa.radius.secret", 34, STRING, 2, FORM_TEXT, 0, 64},
    {"wtp_cfg.radio[].wlan[].acc.enable", 35, INTEGER, 2, FORM_U32, 0, 1},
    {"wtp_cfg.radio[].wlan[].acc.addr", 36, STRING, 2, FORM_IPV4, 0, 15},
    {"wtp_cfg.radio[].wlan[].acc.port", 37, INTEGER, 2, FORM_U16, 0, 65535},
    {"wtp_cfg.radio[].wlan[].acc.secret", 38, STRING, 2, FORM_TEXT, 0, 64},
    {"wtp_cfg.radio[].wlan[].acc.interval", 47, INTEGER, 2, FORM_U32, 0, 600},
    {"wtp_cfg.radio[].wlan[].nas.id_enable", 105, INTEGER, 2, FORM_U32, 0, 1},
    {"wtp_cfg.radio[].wlan[].nas.id", 106, STRING, 2, FORM_TEXT, 0, 32},
    {"wtp_cfg.radio[].wlan[].nas.ip_enable", 115, INTEGER, 2, FORM_U32, 0, 1},
    {"wtp_cfg.radio[].wlan[].nas.ip", 116, STRING, 2, FORM_IPV4, 0, 15},
    {"wtp_cfg.radio[].wlan[].nas.port_enable", 107, INTEGER, 2, FORM_U32, 0, 1},
    {"wtp_cfg.radio[].wlan[].nas.port", 108, INTEGER, 2, FORM_U16, 0, 65535},
    {"wtp_cfg.lan_port[].vlan_mode", 109, INTEGER, 1, FORM_U32, 0, 3},
    {"wtp_cfg.mesh.enable_total", 110, INTEGER, 0, FORM_U32, 0, 1},
    {"wtp_cfg.radio[].mesh.enable", 111, INTEGER, 1, FORM_U32, 0, 1},
    {"wtp_cfg.radio[].mesh.id", 112, STRING, 1, FORM_TEXT, 0, 32},
    {"wtp_cfg.radio[].mesh.wpa_key", 113, STRING, 1, FORM_TEXT, 8, 63},
    {"wtp_cfg.radio[].mesh.link_robust_threshold", 114, INTEGER, 1, FORM_U16, -96, 0},
    {"wtp_cfg.radio[].wlan[].portal.enable", 123, INTEGER, 2, FORM_U32, 0, 1},
    {"wtp_cfg.radio[].wlan[].portal.login_type", 124, INTEGER, 2, FORM_U32, 0, 4},
    {"wtp_cfg.radio[].wlan[].portal.radius_server", 125, STRING, 2, FORM_OPT_IPV4, 0, 15},
    {"wtp_cfg.radio[].wlan[].portal.userurl", 126, STRING, 2, FORM_TEXT, 0, 200},
    {"wtp_cfg.radio[].wlan[].portal.walled_garden.enable", 127, INTEGER, 2, FORM_U32, 0, 1},
    {"wtp_cfg.radio[].wlan[].portal.walled_garden.pages", 128, STRING, 2, FORM_TEXT, 0, 3000},
    {"wtp_cfg.radio[].wlan[].portal.radius_port", 129, INTEGER, 2, FORM_U16, 0, MAX28},
    {"wtp_cfg.radio[].wlan[].portal.radius_secret", 130, STRING, 2, FORM_TEXT, 0, 64},
    {"wtp_cfg.radio[].wlan[].portal.session_timeout", 131, INTEGER, 2, FORM_U32, 0, MAX28},
    {"wtp_cfg.radio[].wlan[].portal.session_timeout_enable", 132, INTEGER, 2, FORM_U32, 0, 1},
    {"wtp_cfg.radio[].wlan[].portal.idle_timeout", 133, INTEGER, 2, FORM_U32, 0, MAX28},
    {"wtp_cfg.radio[].wlan[].portal.idle_timeout_enable", 134, INTEGER, 2, FORM_U32, 0, 1},
    {"wtp_cfg.radio[].wlan[].portal.accounting_enable", 135, INTEGER, 2, FORM_U32, 0, 1},
    {"wtp_cfg.radio[].wlan[].portal.accounting_time", 136, INTEGER, 2, FORM_U32, 0, MAX28},
    {"wtp_cfg.radio[].wlan[].portal.auth_type", 137, INTEGER, 2, FORM_U32, 0, 1},
    {"wtp_cfg.radio[].wlan[].portal.external_server", 138, STRING, 2, FORM_TEXT, 0, 100},
    {"wtp_cfg.radio[].wlan[].portal.external_secret", 139, STRING, 2, FORM_TEXT, 0, 20},
    {"wtp_cfg.radio[].wlan[].portal.account_server", 140, STRING, 2, FORM_OPT_IPV4, 0, 15},
    {"wtp_cfg.radio[].wlan[].portal.accounting_port", 141, INTEGER, 2, FORM_U16, 0, MAX28},
    {"wtp_cfg.radio[].wlan[].portal.accounting_secret", 142, STRING, 2, FORM_TEXT, 0, 64},
    {"wtp_cfg.radio[].wlan[].portal.uamformat", 147, STRING, 2, FORM_TEXT, 0, 100},
    {"wtp_cfg.radio[].wlan[].portal.local_auth", 148, STRING, 2, FORM_TEXT, 0, 100},
    {"wtp_cfg.radio[].wlan[].portal.port", 143, INTEGER, 2, FORM_U16, 0, MAX28},
    {"wtp_cfg.radio[].wlan[].portal.https_enable", 144, INTEGER, 2, FORM_U32, 0, 1},
    {"wtp_cfg.radio[].wlan[].portal.radius_secret2", 145, STRING, 2, FORM_TEXT, 0, 20},
    {"wtp_cfg.radio[].wlan[].portal.radius_server2", 146, STRING, 2, FORM_OPT_IPV4, 0, 15},
    {"wtp_cfg.radio[].wlan[].portal.network_type", 122, INTEGER, 2, FORM_U32, 0, MAX28},
    {"wtp_cfg.radio[].wlan[].bandsteering.mode", 149, INTEGER, 2, FORM_U32, 0, 3},
    {"wtp_cfg.radio[].wlan[].bandsteering.percent_en", 150, INTEGER, 2, FORM_U32, 0, 1},
    {"wtp_cfg.radio[].wlan[].bandsteering.rssi_en", 151, INTEGER, 2, FORM_U32, 0, 1},
    {"wtp_cfg.radio[].wlan[].bandsteering.rssi", 152, INTEGER, 2, FORM_U32, -80, -60},
    {"wtp_cfg.radio[].wlan[].bandsteering.percent", 153, INTEGER, 2, FORM_U32, 0, 100},
    {"wtp_cfg.radio[].wlan[].hotspot20", 164, STRING, 2, FORM_TEXT, 0, NO_LIMIT},
};

const count_row count_rows[] = {
    {"wtp_cfg.radio[]", 4, 1},
    {"wtp_cfg.radio[].wlan[]", 17, 2},
    {"wtp_cfg.switch_port[]", 8, 1},
    {"wtp_cfg.poe_port[]", 13, 1},
    {"wtp_cfg.lan_port[]", 93, 1},
    {"wtp_cfg.pd_lifeguard[]", 24, 1},
    {"wtp_cfg.pdl_status[]", 38, 1},
};

static_assert(sizeof switch_rows / sizeof switch_rows[0] == 41, "switch keys");
static_assert(sizeof ap_rows / sizeof ap_rows[0] == 162, "access-point keys");

}  // namespace

key_table keys_of(uint8_t dev) {
    if (dev == DEV_SWITCH) return {switch_rows, sizeof switch_rows / sizeof switch_rows[0]};
    return {ap_rows, sizeof ap_rows / sizeof ap_rows[0]};
}

const key_row *find_key(key_table table, uint16_t type, size_t index_bytes) {
    for (size_t i = 0; i < table.count; ++i)
        if (table.rows[i].item == type && table.rows[i].index_bytes == index_bytes)
            return &table.rows[i];
    return nullptr;
}

const count_row *find_count(uint16_t type, size_t index_bytes) {
    for (const count_row &c : count_rows)
        if (c.item == type && c.index_bytes == index_bytes) return &c;
    return nullptr;
}

bool has_keys_under(key_table table, const char *path) {
    size_t n = strlen(path);
    for (size_t i = 0; i < table.count; ++i)
        if (strncmp(table.rows[i].path, path, n) == 0 && table.rows[i].path[n] == '.') return true;
    return false;
}

size_t form_size(item_form form) {
    switch (form) {
    case FORM_U32:
    case FORM_IPV4:
    case FORM_OPT_IPV4:
    case FORM_RATE: return 4;
    case FORM_U16: return 2;
    case FORM_ADDR_TRIPLE: return 12;
    case FORM_DIGEST: return 16;
    case FORM_MAC_LIST: return 6;
    case FORM_NAME_LIST: return 256;
    case FORM_TEXT: return 0;
    }
    return 0;
}

std::string mac_upper(const uint8_t mac[6]) {
    char buf[18];
    snprintf(buf, sizeof buf, "%02X:%02X:%02X:%02X:%02X:%02X", mac[0], mac[1], mac[2], mac[3],
             mac[4], mac[5]);
    return buf;
}

std::string digest_text(const uint8_t digest[16]) {
    char buf[33];
    for (int i = 0; i < 16; ++i) snprintf(buf + 2 * i, 3, "%02x", digest[i]);
    return buf;
}

// 0 auto; below 33 an HT MCS index + 1; from 111 on a legacy rate in 1/1000 Mbit/s (tenths
// shown when there are any); in between a VHT MCS index + 101.
std::string rate_text(int32_t code) {
    char buf[24];
    if (code == 0)
        snprintf(buf, sizeof buf, "auto");
    else if (code < 33)
        snprintf(buf, sizeof buf, "MCS%lld", static_cast<long long>(code) - 1);
    else if (code >= 111 && code % 1000 >= 100)
        snprintf(buf, sizeof buf, "%d.%dM", code / 1000, code % 1000 / 100);
    else if (code >= 111)
        snprintf(buf, sizeof buf, "%dM", code / 1000);
    else
        snprintf(buf, sizeof buf, "VHTMCS%d", code - 101);
    return buf;
}

}  // namespace acsim
