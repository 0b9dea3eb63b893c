// Configuration key tables: which values a configuration file may carry, their bounds and
// how each travels; the array count items, the list keys and the validation rules.
// Adding a key is adding a row.
#include <cstdio>
#include <cstring>

#include "config.h"

namespace {

constexpr int32_t NO_LIMIT = -1;       // string rows: no longest length
constexpr int32_t MAX28 = 268435455;   // 2^28 - 1

const char DUPLICATE_MACS[] = "ERROR: Duplicate MACs in '%s'.\n";
const char DUPLICATE_NAMES[] = "ERROR: Duplicate hostname in '%s'.\n";

}  // namespace

// Device type code 2. Columns: item type, JSON type, min, max, key path, encoding.
const cfg_key switch_keys[SWITCH_KEY_COUNT + 1] = {
    {1, JT_STRING, 0, 255, "wtp_cfg.name", ENC_TEXT},
    {2, JT_STRING, 0, 255, "wtp_cfg.location", ENC_TEXT},
    {6, JT_STRING, 1, 255, "wtp_cfg.admin", ENC_TEXT},
    {7, JT_STRING, 1, 255, "wtp_cfg.password", ENC_TEXT},
    {3, JT_STRING, 23, 47, "wtp_cfg.ipv4", ENC_IP_TRIPLE},
    {4, JT_STRING, 0, 15, "wtp_cfg.dns1", ENC_IPV4},
    {5, JT_STRING, 0, 15, "wtp_cfg.dns2", ENC_IPV4},
    {9, JT_INTEGER, 0, 65535, "wtp_cfg.switch_port[].port", ENC_U32},
    {10, JT_INTEGER, 0, 10, "wtp_cfg.switch_port[].mode", ENC_U32},
    {11, JT_INTEGER, 0, 1, "wtp_cfg.switch_port[].flow_control", ENC_U32},
    {22, JT_STRING, 0, 255, "wtp_cfg.switch_port[].descp", ENC_TEXT},
    {12, JT_INTEGER, 0, 65535, "wtp_cfg.power_budget", ENC_U32},
    {14, JT_INTEGER, 0, 65535, "wtp_cfg.poe_port[].port", ENC_U32},
    {15, JT_INTEGER, 0, 1, "wtp_cfg.poe_port[].enable", ENC_U32},
    {16, JT_INTEGER, 0, 3, "wtp_cfg.poe_port[].priority", ENC_U32},
    {17, JT_INTEGER, 1, 2, "wtp_cfg.poe_port[].power_limit_type", ENC_U32},
    {18, JT_INTEGER, 0, 65535, "wtp_cfg.poe_port[].user_power_limit", ENC_U32},
    {19, JT_STRING, 0, 255, "wtp_cfg.ac_list[]", ENC_NAME_LIST},
    {20, JT_STRING, 0, 17, "wtp_cfg.manage_mac_list[]", ENC_MAC_LIST},
    {21, JT_INTEGER, 0, 1, "wtp_cfg.redundancyMode", ENC_U32},
    {23, JT_INTEGER, 0, 1, "wtp_cfg.pdl_enable", ENC_U32},
    {25, JT_INTEGER, 0, 65535, "wtp_cfg.pd_lifeguard[].port", ENC_U32},
    {26, JT_INTEGER, 0, 1, "wtp_cfg.pd_lifeguard[].enable", ENC_U32},
    {27, JT_INTEGER, 0, 2, "wtp_cfg.pd_lifeguard[].mode", ENC_U32},
    {28, JT_INTEGER, 0, 2, "wtp_cfg.pd_lifeguard[].action", ENC_U32},
    {29, JT_STRING, 0, 15, "wtp_cfg.pd_lifeguard[].specified_ip", ENC_IPV4},
    {30, JT_INTEGER, 1, 3600, "wtp_cfg.pd_lifeguard[].ping_interval", ENC_U32},
    {31, JT_INTEGER, 1, 255, "wtp_cfg.pd_lifeguard[].ping_max_count", ENC_U32},
    {32, JT_INTEGER, 1, 600, "wtp_cfg.pd_lifeguard[].power_recovery_interval", ENC_U32},
    {33, JT_INTEGER, 0, 20, "wtp_cfg.pd_lifeguard[].reboot_max_retry_count", ENC_U32},
    {34, JT_INTEGER, 0, 65535, "wtp_cfg.pd_lifeguard[].reboot_count", ENC_U32},
    {35, JT_INTEGER, 50, 1200, "wtp_cfg.pd_lifeguard[].pd_bootup_time", ENC_U32},
    {36, JT_INTEGER, 0, 1, "wtp_cfg.pd_lifeguard[].clear_reboot_count", ENC_U32},
    {37, JT_STRING, 0, 255, "wtp_cfg.pd_lifeguard[].status", ENC_TEXT},
    {39, JT_INTEGER, 0, 65535, "wtp_cfg.pdl_status[].port", ENC_U32},
    {40, JT_INTEGER, 0, 1, "wtp_cfg.pdl_status[].state", ENC_U32},
    {41, JT_INTEGER, 0, 2, "wtp_cfg.pdl_status[].mode", ENC_U32},
    {42, JT_INTEGER, 0, 3, "wtp_cfg.pdl_status[].polling_method", ENC_U32},
    {43, JT_STRING, 0, 17, "wtp_cfg.pdl_status[].mac", ENC_TEXT},
    {44, JT_STRING, 0, 15, "wtp_cfg.pdl_status[].management_ip", ENC_IPV4},
    {45, JT_STRING, 0, 255, "wtp_cfg.pdl_status[].action", ENC_TEXT},
    {0, 0, 0, 0, nullptr, ENC_U32},
};

// Every other device type code (the access point, 3). Same columns.
const cfg_key ap_keys[AP_KEY_COUNT + 1] = {
    {1, JT_STRING, 0, 255, "wtp_cfg.name", ENC_TEXT},
    {2, JT_STRING, 0, 255, "wtp_cfg.location", ENC_TEXT},
    {43, JT_STRING, 1, 255, "wtp_cfg.admin", ENC_TEXT},
    {44, JT_STRING, 1, 255, "wtp_cfg.password", ENC_PASSWORD},
    {3, JT_STRING, 23, 47, "wtp_cfg.ipv4", ENC_IP_TRIPLE},
    {41, JT_STRING, 0, 15, "wtp_cfg.dns1", ENC_IPV4},
    {42, JT_STRING, 0, 15, "wtp_cfg.dns2", ENC_IPV4},
    {50, JT_INTEGER, 0, 1, "wtp_cfg.bandsteer", ENC_U32},
    {100, JT_INTEGER, 0, 3, "wtp_cfg.bandsteering.mode", ENC_U32},
    {101, JT_INTEGER, 0, 1, "wtp_cfg.bandsteering.percent_en", ENC_U32},
    {102, JT_INTEGER, 0, 1, "wtp_cfg.bandsteering.rssi_en", ENC_U32},
    {103, JT_INTEGER, -80, -60, "wtp_cfg.bandsteering.rssi", ENC_U32},
    {104, JT_INTEGER, 0, 100, "wtp_cfg.bandsteering.percent", ENC_U32},
    {51, JT_INTEGER, 0, 1, "wtp_cfg.fasthandover.status", ENC_U32},
    {52, JT_INTEGER, -100, -60, "wtp_cfg.fasthandover.rssi", ENC_U32},
    {57, JT_STRING, 0, 15, "wtp_cfg.guest_network.addr", ENC_IPV4},
    {58, JT_STRING, 0, 15, "wtp_cfg.guest_network.mask", ENC_IPV4},
    {59, JT_STRING, 0, 15, "wtp_cfg.guest_network.start", ENC_IPV4},
    {60, JT_STRING, 0, 15, "wtp_cfg.guest_network.end", ENC_IPV4},
    {61, JT_STRING, 0, 15, "wtp_cfg.guest_network.wins", ENC_IPV4},
    {63, JT_INTEGER, 0, 1, "wtp_cfg.led.power", ENC_U32},
    {64, JT_INTEGER, 0, 1, "wtp_cfg.led.lan", ENC_U32},
    {65, JT_INTEGER, 0, 1, "wtp_cfg.led.wlan0", ENC_U32},
    {66, JT_INTEGER, 0, 1, "wtp_cfg.led.wlan1", ENC_U32},
    {154, JT_INTEGER, 0, 1, "wtp_cfg.led.wlan2", ENC_U32},
    {67, JT_INTEGER, 0, 1, "wtp_cfg.led.mesh", ENC_U32},
    {89, JT_INTEGER, 0, 4096, "wtp_cfg.manage_vlan_id", ENC_U32},
    {157, JT_INTEGER, -720, 780, "wtp_cfg.timezone", ENC_U32},
    {155, JT_INTEGER, 0, 1, "wtp_cfg.log_remote_en", ENC_U32},
    {158, JT_INTEGER, 0, 1, "wtp_cfg.log_traffic_en", ENC_U32},
    {156, JT_STRING, 0, 128, "wtp_cfg.log_remote_conf", ENC_TEXT},
    {94, JT_INTEGER, 0, 1, "wtp_cfg.lan_port[].en", ENC_U32},
    {95, JT_INTEGER, 0, 4094, "wtp_cfg.lan_port[].vid", ENC_U32},
    {90, JT_STRING, 0, 255, "wtp_cfg.ac_list[]", ENC_NAME_LIST},
    {5, JT_INTEGER, 0, 2, "wtp_cfg.radio[].op_mode", ENC_U32},
    {6, JT_INTEGER, 1, MAX28, "wtp_cfg.radio[].wl_mode", ENC_U32},
    {7, JT_INTEGER, 0, MAX28, "wtp_cfg.radio[].country", ENC_U32},
    {8, JT_INTEGER, 0, MAX28, "wtp_cfg.radio[].channel.ht", ENC_U32},
    {9, JT_INTEGER, 0, MAX28, "wtp_cfg.radio[].channel.ext", ENC_U32},
    {10, JT_INTEGER, 0, MAX28, "wtp_cfg.radio[].channel.val", ENC_U32},
    {11, JT_INTEGER, 0, 1, "wtp_cfg.radio[].limited_clients.enable", ENC_U32},
    {12, JT_INTEGER, 1, 127, "wtp_cfg.radio[].limited_clients.count", ENC_U32},
    {13, JT_INTEGER, 0, MAX28, "wtp_cfg.radio[].tx_power", ENC_U32},
    {48, JT_INTEGER, 0, 1, "wtp_cfg.radio[].obey_regulatory_power", ENC_U32},
    {45, JT_STRING, 2, 7, "wtp_cfg.radio[].data_rate", ENC_RATE},
    {162, JT_INTEGER, 1, 56, "wtp_cfg.radio[].bit_rate", ENC_U32},
    {163, JT_INTEGER, 0, 1, "wtp_cfg.radio[].ax_enable", ENC_U32},
    {46, JT_INTEGER, 1, 2346, "wtp_cfg.radio[].rts_cts_threshold", ENC_U32},
    {14, JT_INTEGER, 0, 1, "wtp_cfg.radio[].aggregation.enable", ENC_U32},
    {15, JT_INTEGER, 1, 64, "wtp_cfg.radio[].aggregation.frames", ENC_U32},
    {16, JT_INTEGER, 2304, 65535, "wtp_cfg.radio[].aggregation.maxbytes", ENC_U32},
    {69, JT_INTEGER, 0, 1, "wtp_cfg.radio[].portal.enable", ENC_U32},
    {70, JT_INTEGER, 0, 4, "wtp_cfg.radio[].portal.login_type", ENC_U32},
    {71, JT_STRING, 0, 15, "wtp_cfg.radio[].portal.radius_server", ENC_OPT_IPV4},
    {72, JT_STRING, 0, 200, "wtp_cfg.radio[].portal.userurl", ENC_TEXT},
    {73, JT_INTEGER, 0, 1, "wtp_cfg.radio[].portal.walled_garden.enable", ENC_U32},
    {74, JT_STRING, 0, 3000, "wtp_cfg.radio[].portal.walled_garden.pages", ENC_TEXT},
    {75, JT_INTEGER, 0, MAX28, "wtp_cfg.radio[].portal.radius_port", ENC_U16},
    {76, JT_STRING, 0, 64, "wtp_cfg.radio[].portal.radius_secret", ENC_TEXT},
    {77, JT_INTEGER, 0, MAX28, "wtp_cfg.radio[].portal.session_timeout", ENC_U32},
    {78, JT_INTEGER, 0, 1, "wtp_cfg.radio[].portal.session_timeout_enable", ENC_U32},
    {79, JT_INTEGER, 0, MAX28, "wtp_cfg.radio[].portal.idle_timeout", ENC_U32},
    {80, JT_INTEGER, 0, 1, "wtp_cfg.radio[].portal.idle_timeout_enable", ENC_U32},
    {81, JT_INTEGER, 0, 1, "wtp_cfg.radio[].portal.accounting_enable", ENC_U32},
    {82, JT_INTEGER, 0, MAX28, "wtp_cfg.radio[].portal.accounting_time", ENC_U32},
    {83, JT_INTEGER, 0, 1, "wtp_cfg.radio[].portal.auth_type", ENC_U32},
    {84, JT_STRING, 0, 100, "wtp_cfg.radio[].portal.external_server", ENC_TEXT},
    {85, JT_STRING, 0, 20, "wtp_cfg.radio[].portal.external_secret", ENC_TEXT},
    {86, JT_STRING, 0, 15, "wtp_cfg.radio[].portal.account_server", ENC_OPT_IPV4},
    {87, JT_INTEGER, 0, MAX28, "wtp_cfg.radio[].portal.accounting_port", ENC_U16},
    {88, JT_STRING, 0, 64, "wtp_cfg.radio[].portal.accounting_secret", ENC_TEXT},
    {91, JT_STRING, 0, 100, "wtp_cfg.radio[].portal.uamformat", ENC_TEXT},
    {92, JT_STRING, 0, 100, "wtp_cfg.radio[].portal.local_auth", ENC_TEXT},
    {96, JT_INTEGER, 0, MAX28, "wtp_cfg.radio[].portal.port", ENC_U16},
    {97, JT_INTEGER, 0, 1, "wtp_cfg.radio[].portal.https_enable", ENC_U32},
    {98, JT_STRING, 0, 20, "wtp_cfg.radio[].portal.radius_secret2", ENC_TEXT},
    {99, JT_STRING, 0, 15, "wtp_cfg.radio[].portal.radius_server2", ENC_OPT_IPV4},
    {120, JT_INTEGER, 0, 1, "wtp_cfg.radio[].fasthandover.status", ENC_U32},
    {121, JT_INTEGER, -100, -60, "wtp_cfg.radio[].fasthandover.rssi", ENC_U32},
    {62, JT_INTEGER, 0, 32000, "wtp_cfg.radio[].distance", ENC_U32},
    {18, JT_INTEGER, 0, 1, "wtp_cfg.radio[].wlan[].enable", ENC_U32},
    {19, JT_STRING, 0, 32, "wtp_cfg.radio[].wlan[].ssid", ENC_TEXT},
    {20, JT_INTEGER, 0, 1, "wtp_cfg.radio[].wlan[].supr_ssid", ENC_U32},
    {21, JT_INTEGER, 0, 1, "wtp_cfg.radio[].wlan[].sta_sep", ENC_U32},
    {68, JT_INTEGER, 0, 1, "wtp_cfg.radio[].wlan[].layer2Isolation", ENC_U32},
    {22, JT_INTEGER, 0, 1, "wtp_cfg.radio[].wlan[].isolation", ENC_U32},
    {23, JT_INTEGER, 0, 4094, "wtp_cfg.radio[].wlan[].vlan", ENC_U32},
    {39, JT_INTEGER, 0, 2, "wtp_cfg.radio[].wlan[].acl.mode", ENC_U32},
    {53, JT_INTEGER, -1, 999999, "wtp_cfg.radio[].wlan[].downloadlimit", ENC_U32},
    {54, JT_INTEGER, -1, 999999, "wtp_cfg.radio[].wlan[].uploadlimit", ENC_U32},
    {118, JT_INTEGER, 0, 1, "wtp_cfg.radio[].wlan[].downperuser_en", ENC_U32},
    {119, JT_INTEGER, 0, 1, "wtp_cfg.radio[].wlan[].uploadperuser_en", ENC_U32},
    {160, JT_INTEGER, 0, 1, "wtp_cfg.radio[].wlan[].uploadMode", ENC_U32},
    {159, JT_INTEGER, 0, 1, "wtp_cfg.radio[].wlan[].downloadMode", ENC_U32},
    {55, JT_INTEGER, 0, 1, "wtp_cfg.radio[].wlan[].roaming.enable", ENC_U32},
    {56, JT_INTEGER, 0, 1, "wtp_cfg.radio[].wlan[].roaming.adv_search", ENC_U32},
    {40, JT_STRING, 0, 17, "wtp_cfg.radio[].wlan[].acl.mac[]", ENC_MAC_LIST},
    {161, JT_STRING, 0, 17, "wtp_cfg.radio[].wlan[].l2macWlist[]", ENC_MAC_LIST},
    {24, JT_INTEGER, 0, MAX28, "wtp_cfg.radio[].wlan[].sec_mode", ENC_U32},
    {25, JT_INTEGER, 0, MAX28, "wtp_cfg.radio[].wlan[].wep.auth_type", ENC_U32},
    {49, JT_INTEGER, 0, MAX28, "wtp_cfg.radio[].wlan[].wep.in_type", ENC_U32},
    {26, JT_INTEGER, 0, MAX28, "wtp_cfg.radio[].wlan[].wep.key_len", ENC_U32},
    {27, JT_INTEGER, 0, 3, "wtp_cfg.radio[].wlan[].wep.def_key", ENC_U32},
    {28, JT_STRING, 0, 32, "wtp_cfg.radio[].wlan[].wep.key[]", ENC_TEXT},
    {29, JT_INTEGER, 0, MAX28, "wtp_cfg.radio[].wlan[].wpa.enc_mode", ENC_U32},
    {165, JT_INTEGER, 0, 1, "wtp_cfg.radio[].wlan[].wpa.suiteb_en", ENC_U32},
    {117, JT_INTEGER, 0, 1, "wtp_cfg.radio[].wlan[].wpa.pmf_enable", ENC_U32},
    {30, JT_STRING, 0, 64, "wtp_cfg.radio[].wlan[].wpa.passphrase", ENC_TEXT},
    {31, JT_INTEGER, 0, 3600, "wtp_cfg.radio[].wlan[].wpa.group_key_int", ENC_U32},
    {32, JT_STRING, 0, 15, "wtp_cfg.radio[].wlan[].wpa.radius.addr", ENC_IPV4},
    {33, JT_INTEGER, 0, 65535, "wtp_cfg.radio[].wlan[].wpa.radius.port", ENC_U16},
    {34, JT_STRING, 0, 64, "wtp_cfg.radio[].wlan[].wpa.radius.secret", ENC_TEXT},
    {35, JT_INTEGER, 0, 1, "wtp_cfg.radio[].wlan[].acc.enable", ENC_U32},
    {36, JT_STRING, 0, 15, "wtp_cfg.radio[].wlan[].acc.addr", ENC_IPV4},
    {37, JT_INTEGER, 0, 65535, "wtp_cfg.radio[].wlan[].acc.port", ENC_U16},
    {38, JT_STRING, 0, 64, "wtp_cfg.radio[].wlan[].acc.secret", ENC_TEXT},
    {47, JT_INTEGER, 0, 600, "wtp_cfg.radio[].wlan[].acc.interval", ENC_U32},
    {105, JT_INTEGER, 0, 1, "wtp_cfg.radio[].wlan[].nas.id_enable", ENC_U32},
    {106, JT_STRING, 0, 32, "wtp_cfg.radio[].wlan[].nas.id", ENC_TEXT},
    {115, JT_INTEGER, 0, 1, "wtp_cfg.radio[].wlan[].nas.ip_enable", ENC_U32},
    {116, JT_STRING, 0, 15, "wtp_cfg.radio[].wlan[].nas.ip", ENC_IPV4},
    {107, JT_INTEGER, 0, 1, "wtp_cfg.radio[].wlan[].nas.port_enable", ENC_U32},
    {108, JT_INTEGER, 0, 65535, "wtp_cfg.radio[].wlan[].nas.port", ENC_U16},
    {109, JT_INTEGER, 0, 3, "wtp_cfg.lan_port[].vlan_mode", ENC_U32},
    {110, JT_INTEGER, 0, 1, "wtp_cfg.mesh.enable_total", ENC_U32},
    {111, JT_INTEGER, 0, 1, "wtp_cfg.radio[].mesh.enable", ENC_U32},
    {112, JT_STRING, 0, 32, "wtp_cfg.radio[].mesh.id", ENC_TEXT},
    {113, JT_STRING, 8, 63, "wtp_cfg.radio[].mesh.wpa_key", ENC_TEXT},
    {114, JT_INTEGER, -96, 0, "wtp_cfg.radio[].mesh.link_robust_threshold", ENC_U16},
    {123, JT_INTEGER, 0, 1, "wtp_cfg.radio[].wlan[].portal.enable", ENC_U32},
    {124, JT_INTEGER, 0, 4, "wtp_cfg.radio[].wlan[].portal.login_type", ENC_U32},
    {125, JT_STRING, 0, 15, "wtp_cfg.radio[].wlan[].portal.radius_server", ENC_OPT_IPV4},
    {126, JT_STRING, 0, 200, "wtp_cfg.radio[].wlan[].portal.userurl", ENC_TEXT},
    {127, JT_INTEGER, 0, 1, "wtp_cfg.radio[].wlan[].portal.walled_garden.enable", ENC_U32},
    {128, JT_STRING, 0, 3000, "wtp_cfg.radio[].wlan[].portal.walled_garden.pages", ENC_TEXT},
    {129, JT_INTEGER, 0, MAX28, "wtp_cfg.radio[].wlan[].portal.radius_port", ENC_U16},
    {130, JT_STRING, 0, 64, "wtp_cfg.radio[].wlan[].portal.radius_secret", ENC_TEXT},
    {131, JT_INTEGER, 0, MAX28, "wtp_cfg.radio[].wlan[].portal.session_timeout", ENC_U32},
    {132, JT_INTEGER, 0, 1, "wtp_cfg.radio[].wlan[].portal.session_timeout_enable", ENC_U32},
    {133, JT_INTEGER, 0, MAX28, "wtp_cfg.radio[].wlan[].portal.idle_timeout", ENC_U32},
    {134, JT_INTEGER, 0, 1, "wtp_cfg.radio[].wlan[].portal.idle_timeout_enable", ENC_U32},
    {135, JT_INTEGER, 0, 1, "wtp_cfg.radio[].wlan[].portal.accounting_enable", ENC_U32},
    {136, JT_INTEGER, 0, MAX28, "wtp_cfg.radio[].wlan[].portal.accounting_time", ENC_U32},
    {137, JT_INTEGER, 0, 1, "wtp_cfg.radio[].wlan[].portal.auth_type", ENC_U32},
    {138, JT_STRING, 0, 100, "wtp_cfg.radio[].wlan[].portal.external_server", ENC_TEXT},
    {139, JT_STRING, 0, 20, "wtp_cfg.radio[].wlan[].portal.external_secret", ENC_TEXT},
    {140, JT_STRING, 0, 15, "wtp_cfg.radio[].wlan[].portal.account_server", ENC_OPT_IPV4},
    {141, JT_INTEGER, 0, MAX28, "wtp_cfg.radio[].wlan[].portal.accounting_port", ENC_U16},
    {142, JT_STRING, 0, 64, "wtp_cfg.radio[].wlan[].portal.accounting_secret", ENC_TEXT},
    {147, JT_STRING, 0, 100, "wtp_cfg.radio[].wlan[].portal.uamformat", ENC_TEXT},
    {148, JT_STRING, 0, 100, "wtp_cfg.radio[].wlan[].portal.local_auth", ENC_TEXT},
    {143, JT_INTEGER, 0, MAX28, "wtp_cfg.radio[].wlan[].portal.port", ENC_U16},
    {144, JT_INTEGER, 0, 1, "wtp_cfg.radio[].wlan[].portal.https_enable", ENC_U32},
    {145, JT_STRING, 0, 20, "wtp_cfg.radio[].wlan[].portal.radius_secret2", ENC_TEXT},
    {146, JT_STRING, 0, 15, "wtp_cfg.radio[].wlan[].portal.radius_server2", ENC_OPT_IPV4},
    {122, JT_INTEGER, 0, MAX28, "wtp_cfg.radio[].wlan[].portal.network_type", ENC_U32},
    {149, JT_INTEGER, 0, 3, "wtp_cfg.radio[].wlan[].bandsteering.mode", ENC_U32},
    {150, JT_INTEGER, 0, 1, "wtp_cfg.radio[].wlan[].bandsteering.percent_en", ENC_U32},
    {151, JT_INTEGER, 0, 1, "wtp_cfg.radio[].wlan[].bandsteering.rssi_en", ENC_U32},
    {152, JT_INTEGER, -80, -60, "wtp_cfg.radio[].wlan[].bandsteering.rssi", ENC_U32},
    {153, JT_INTEGER, 0, 100, "wtp_cfg.radio[].wlan[].bandsteering.percent", ENC_U32},
    {164, JT_STRING, 0, NO_LIMIT, "wtp_cfg.radio[].wlan[].hotspot20", ENC_TEXT},
    {0, 0, 0, 0, nullptr, ENC_U32},
};

const cfg_count_item cfg_count_items[COUNT_ITEM_COUNT] = {
    {"wtp_cfg.radio[]", 4},          // radios
    {"wtp_cfg.radio[].wlan[]", 17},  // WLANs of one radio
    {"wtp_cfg.switch_port[]", 8},    // switch port entries
    {"wtp_cfg.poe_port[]", 13},      // PoE port entries
    {"wtp_cfg.lan_port[]", 93},      // LAN port entries
    {"wtp_cfg.pd_lifeguard[]", 24},  // PD lifeguard entries
    {"wtp_cfg.pdl_status[]", 38},    // PD lifeguard status entries
};

// Columns: key path, accumulator, entry size, item of an empty array {switch, access
// point}, duplicate message {switch, access point}. The item of a full list is its entry
// row's item type.
const cfg_list_key cfg_list_keys[LIST_KEY_COUNT] = {
    {"wtp_cfg.manage_mac_list[]", LIST_MANAGE_MAC, 6, {20, LIST_EMPTY_REFUSED},
     {DUPLICATE_MACS, DUPLICATE_MACS}},
    {"wtp_cfg.radio[].wlan[].acl.mac[]", LIST_ACL_MAC, 6, {40, 40},
     {DUPLICATE_MACS, DUPLICATE_MACS}},
    {"wtp_cfg.radio[].wlan[].l2macWlist[]", LIST_L2_MAC, 6, {161, 161},
     {DUPLICATE_MACS, DUPLICATE_MACS}},
    {"wtp_cfg.ac_list[]", LIST_NAMES, 256, {19, 90}, {nullptr, DUPLICATE_NAMES}},
};

const cfg_key *cfg_key_table(uint8_t dev_type) {
    return dev_type == WTP_TYPE_SWITCH ? switch_keys : ap_keys;
}

const cfg_key *cfg_find_key(const cfg_key *table, const char *path) {
    for (const cfg_key *row = table; row->key; ++row)
        if (strcmp(row->key, path) == 0) return row;
    return nullptr;
}

const cfg_count_item *cfg_find_count_item(const char *path) {
    for (const cfg_count_item &c : cfg_count_items)
        if (strcmp(c.key, path) == 0) return &c;
    return nullptr;
}

const cfg_list_key *cfg_find_list_key(const char *path) {
    for (const cfg_list_key &l : cfg_list_keys)
        if (strcmp(l.key, path) == 0) return &l;
    return nullptr;
}

const cfg_list_key *cfg_find_list_of_inner_value(const char *path) {
    for (const cfg_list_key &l : cfg_list_keys) {
        size_t n = strlen(l.key);
        if (strncmp(path, l.key, n) == 0 && (path[n] == '.' || path[n] == '[')) return &l;
    }
    return nullptr;
}

int cfg_type_mismatch(const char *path) {
    fprintf(stderr, "ERROR: json config value is not matched for '%s'\n", path);
    return 1;
}

int cfg_validate(const cfg_key &row, const char *path, const json_value *value) {
    // A boolean, null, object or a number with a fraction or exponent matches no row.
    if (static_cast<int32_t>(value->type) != row.json_type) return cfg_type_mismatch(path);
    if (row.json_type == JT_INTEGER) {
        int64_t v = value->u.integer;
        if (v < int64_t{row.min} || v > int64_t{row.max}) {
            fprintf(stderr, "ERROR: config value '%lld' is out of range (%d to %d) for '%s'.\n",
                    static_cast<long long>(v), row.min, row.max, path);
            return 1;
        }
        return 0;
    }
    // Unsigned: a max of -1 never refuses.
    uint32_t len = value->u.string.length;
    if (len < static_cast<uint32_t>(row.min) || len > static_cast<uint32_t>(row.max)) {
        fprintf(stderr, "ERROR: config string length '%u' is out of range (%d-%d) for '%s'.\n",
                len, row.min, row.max, path);
        return 1;
    }
    return 0;
}
