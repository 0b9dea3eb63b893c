"""The configuration keys of both device types, one row per key, as the tests see them.

Written from the key tables of the configuration schema (switch table: 41 rows, access-point
table: 162 rows, each in table order), not from qor's sources, so that a test built on these
rows checks qor and the AC simulator instead of agreeing with them.

ROWS holds one `Row` per key, switch rows first, each table in its own order. Fields:

  device    "switch" (device type code 2, `qor cfg --type 1`) or "ap" (code 3, the default)
  path      the JSON key path, member names joined with "." from the top-level object, "[]"
            after an array member ("wtp_cfg.radio[].wlan[].ssid"); the element rows of a
            scalar array end in "[]" ("wtp_cfg.ac_list[]")
  item      the item type number sent on the wire (u16); the same number means different
            settings for the two device types
  kind      the JSON type the value must have: "integer" or "string"
  min, max  integer rows: the smallest and largest value accepted (both inclusive);
            string rows: the shortest and longest byte length accepted; max None is no limit
  encoding  how the value travels as the item's value:
              "u32"        the integer's low 32 bits, big-endian (negatives in two's complement)
              "u16"        the integer's low 16 bits, big-endian
              "text"       the string's bytes, no terminating zero
              "ipv4"       4 bytes of a dotted IPv4 address; any other text is refused
              "opt_ipv4"   4 bytes of a dotted IPv4 address; any other text (or "") is 0.0.0.0
              "ip_triple"  12 bytes: address, mask and gateway of "a.b.c.d/a.b.c.d/a.b.c.d"
              "rate"       u32 rate code of a rate text ("auto", "MCS7", "VHTMCS9", "54M", "5.5M")
              "password"   16-byte MD5 digest of the password followed by a line feed
              "mac_list"   one item for the whole array: 6 bytes per entry
              "name_list"  one item for the whole array: 256 bytes per entry (zero-padded)
            No row takes an enumerated set of texts: a string row is bounded by its length,
            and the encodings above say which forms a text must have.
  depth     index bytes in the item's key: one per array level on the path ("[]"),
            outermost first; a list item (mac_list, name_list) stands for its whole array
            and carries one byte fewer
  entry     bytes per entry of a list item (6 or 256), 0 for every other row

COUNT_ROWS: the arrays whose element count travels as a u32 item of its own, sent when the
array is reached, for either device type: (path, item); the item's key carries one index
byte per array level of the path (the last one selects nothing).

LIST_ROWS: the arrays whose entries are gathered into one item: (device, path, item, entry,
duplicate message or None).
"""
from collections import namedtuple

Row = namedtuple("Row", "device path item kind min max encoding depth entry")

_LIST_ENTRY = {"mac_list": 6, "name_list": 256}


def _row(device, path, item, kind, lo, hi, encoding):
    entry = _LIST_ENTRY.get(encoding, 0)
    depth = path.count("[]") - (1 if entry else 0)
    return Row(device, path, item, kind, lo, hi, encoding, depth, entry)


# (device, path, item, kind, min, max, encoding)
_TABLE = [
    # switch key table, 41 rows
    ('switch', 'wtp_cfg.name', 1, 'string', 0, 255, 'text'),
    ('switch', 'wtp_cfg.location', 2, 'string', 0, 255, 'text'),
    ('switch', 'wtp_cfg.admin', 6, 'string', 1, 255, 'text'),
    ('switch', 'wtp_cfg.password', 7, 'string', 1, 255, 'text'),
    ('switch', 'wtp_cfg.ipv4', 3, 'string', 23, 47, 'ip_triple'),
    ('switch', 'wtp_cfg.dns1', 4, 'string', 0, 15, 'ipv4'),
    ('switch', 'wtp_cfg.dns2', 5, 'string', 0, 15, 'ipv4'),
    ('switch', 'wtp_cfg.switch_port[].port', 9, 'integer', 0, 65535, 'u32'),
    ('switch', 'wtp_cfg.switch_port[].mode', 10, 'integer', 0, 10, 'u32'),
    ('switch', 'wtp_cfg.switch_port[].flow_control', 11, 'integer', 0, 1, 'u32'),
    ('switch', 'wtp_cfg.switch_port[].descp', 22, 'string', 0, 255, 'text'),
    ('switch', 'wtp_cfg.power_budget', 12, 'integer', 0, 65535, 'u32'),
    ('switch', 'wtp_cfg.poe_port[].port', 14, 'integer', 0, 65535, 'u32'),
    ('switch', 'wtp_cfg.poe_port[].enable', 15, 'integer', 0, 1, 'u32'),
    ('switch', 'wtp_cfg.poe_port[].priority', 16, 'integer', 0, 3, 'u32'),
    ('switch', 'wtp_cfg.poe_port[].power_limit_type', 17, 'integer', 1, 2, 'u32'),
    ('switch', 'wtp_cfg.poe_port[].user_power_limit', 18, 'integer', 0, 65535, 'u32'),
    ('switch', 'wtp_cfg.ac_list[]', 19, 'string', 0, 255, 'name_list'),
    ('switch', 'wtp_cfg.manage_mac_list[]', 20, 'string', 0, 17, 'mac_list'),
    ('switch', 'wtp_cfg.redundancyMode', 21, 'integer', 0, 1, 'u32'),
    ('switch', 'wtp_cfg.pdl_enable', 23, 'integer', 0, 1, 'u32'),
    ('switch', 'wtp_cfg.pd_lifeguard[].port', 25, 'integer', 0, 65535, 'u32'),
    ('switch', 'wtp_cfg.pd_lifeguard[].enable', 26, 'integer', 0, 1, 'u32'),
    ('switch', 'wtp_cfg.pd_lifeguard[].mode', 27, 'integer', 0, 2, 'u32'),
    ('switch', 'wtp_cfg.pd_lifeguard[].action', 28, 'integer', 0, 2, 'u32'),
    ('switch', 'wtp_cfg.pd_lifeguard[].specified_ip', 29, 'string', 0, 15, 'ipv4'),
    ('switch', 'wtp_cfg.pd_lifeguard[].ping_interval', 30, 'integer', 1, 3600, 'u32'),
    ('switch', 'wtp_cfg.pd_lifeguard[].ping_max_count', 31, 'integer', 1, 255, 'u32'),
    ('switch', 'wtp_cfg.pd_lifeguard[].power_recovery_interval', 32, 'integer', 1, 600, 'u32'),
    ('switch', 'wtp_cfg.pd_lifeguard[].reboot_max_retry_count', 33, 'integer', 0, 20, 'u32'),
    ('switch', 'wtp_cfg.pd_lifeguard[].reboot_count', 34, 'integer', 0, 65535, 'u32'),
    ('switch', 'wtp_cfg.pd_lifeguard[].pd_bootup_time', 35, 'integer', 50, 1200, 'u32'),
    ('switch', 'wtp_cfg.pd_lifeguard[].clear_reboot_count', 36, 'integer', 0, 1, 'u32'),
    ('switch', 'wtp_cfg.pd_lifeguard[].status', 37, 'string', 0, 255, 'text'),
    ('switch', 'wtp_cfg.pdl_status[].port', 39, 'integer', 0, 65535, 'u32'),
    ('switch', 'wtp_cfg.pdl_status[].state', 40, 'integer', 0, 1, 'u32'),
    ('switch', 'wtp_cfg.pdl_status[].mode', 41, 'integer', 0, 2, 'u32'),
    ('switch', 'wtp_cfg.pdl_status[].polling_method', 42, 'integer', 0, 3, 'u32'),
    ('switch', 'wtp_cfg.pdl_status[].mac', 43, 'string', 0, 17, 'text'),
    ('switch', 'wtp_cfg.pdl_status[].management_ip', 44, 'string', 0, 15, 'ipv4'),
    ('switch', 'wtp_cfg.pdl_status[].action', 45, 'string', 0, 255, 'text'),
    # access-point key table, 162 rows
    ('ap', 'wtp_cfg.name', 1, 'string', 0, 255, 'text'),
    ('ap', 'wtp_cfg.location', 2, 'string', 0, 255, 'text'),
    ('ap', 'wtp_cfg.admin', 43, 'string', 1, 255, 'text'),
    ('ap', 'wtp_cfg.password', 44, 'string', 1, 255, 'password'),
    ('ap', 'wtp_cfg.ipv4', 3, 'string', 23, 47, 'ip_triple'),
    ('ap', 'wtp_cfg.dns1', 41, 'string', 0, 15, 'ipv4'),
    ('ap', 'wtp_cfg.dns2', 42, 'string', 0, 15, 'ipv4'),
    ('ap', 'wtp_cfg.bandsteer', 50, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.bandsteering.mode', 100, 'integer', 0, 3, 'u32'),
    ('ap', 'wtp_cfg.bandsteering.percent_en', 101, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.bandsteering.rssi_en', 102, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.bandsteering.rssi', 103, 'integer', -80, -60, 'u32'),
    ('ap', 'wtp_cfg.bandsteering.percent', 104, 'integer', 0, 100, 'u32'),
    ('ap', 'wtp_cfg.fasthandover.status', 51, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.fasthandover.rssi', 52, 'integer', -100, -60, 'u32'),
    ('ap', 'wtp_cfg.guest_network.addr', 57, 'string', 0, 15, 'ipv4'),
    ('ap', 'wtp_cfg.guest_network.mask', 58, 'string', 0, 15, 'ipv4'),
    ('ap', 'wtp_cfg.guest_network.start', 59, 'string', 0, 15, 'ipv4'),
    ('ap', 'wtp_cfg.guest_network.end', 60, 'string', 0, 15, 'ipv4'),
    ('ap', 'wtp_cfg.guest_network.wins', 61, 'string', 0, 15, 'ipv4'),
    ('ap', 'wtp_cfg.led.power', 63, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.led.lan', 64, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.led.wlan0', 65, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.led.wlan1', 66, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.led.wlan2', 154, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.led.mesh', 67, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.manage_vlan_id', 89, 'integer', 0, 4096, 'u32'),
    ('ap', 'wtp_cfg.timezone', 157, 'integer', -720, 780, 'u32'),
    ('ap', 'wtp_cfg.log_remote_en', 155, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.log_traffic_en', 158, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.log_remote_conf', 156, 'string', 0, 128, 'text'),
    ('ap', 'wtp_cfg.lan_port[].en', 94, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.lan_port[].vid', 95, 'integer', 0, 4094, 'u32'),
    ('ap', 'wtp_cfg.ac_list[]', 90, 'string', 0, 255, 'name_list'),
    ('ap', 'wtp_cfg.radio[].op_mode', 5, 'integer', 0, 2, 'u32'),
    ('ap', 'wtp_cfg.radio[].wl_mode', 6, 'integer', 1, 268435455, 'u32'),
    ('ap', 'wtp_cfg.radio[].country', 7, 'integer', 0, 268435455, 'u32'),
    ('ap', 'wtp_cfg.radio[].channel.ht', 8, 'integer', 0, 268435455, 'u32'),
    ('ap', 'wtp_cfg.radio[].channel.ext', 9, 'integer', 0, 268435455, 'u32'),
    ('ap', 'wtp_cfg.radio[].channel.val', 10, 'integer', 0, 268435455, 'u32'),
    ('ap', 'wtp_cfg.radio[].limited_clients.enable', 11, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.radio[].limited_clients.count', 12, 'integer', 1, 127, 'u32'),
    ('ap', 'wtp_cfg.radio[].tx_power', 13, 'integer', 0, 268435455, 'u32'),
    ('ap', 'wtp_cfg.radio[].obey_regulatory_power', 48, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.radio[].data_rate', 45, 'string', 2, 7, 'rate'),
    ('ap', 'wtp_cfg.radio[].bit_rate', 162, 'integer', 1, 56, 'u32'),
    ('ap', 'wtp_cfg.radio[].ax_enable', 163, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.radio[].rts_cts_threshold', 46, 'integer', 1, 2346, 'u32'),
    ('ap', 'wtp_cfg.radio[].aggregation.enable', 14, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.radio[].aggregation.frames', 15, 'integer', 1, 64, 'u32'),
    ('ap', 'wtp_cfg.radio[].aggregation.maxbytes', 16, 'integer', 2304, 65535, 'u32'),
    ('ap', 'wtp_cfg.radio[].portal.enable', 69, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.radio[].portal.login_type', 70, 'integer', 0, 4, 'u32'),
    ('ap', 'wtp_cfg.radio[].portal.radius_server', 71, 'string', 0, 15, 'opt_ipv4'),
    ('ap', 'wtp_cfg.radio[].portal.userurl', 72, 'string', 0, 200, 'text'),
    ('ap', 'wtp_cfg.radio[].portal.walled_garden.enable', 73, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.radio[].portal.walled_garden.pages', 74, 'string', 0, 3000, 'text'),
    ('ap', 'wtp_cfg.radio[].portal.radius_port', 75, 'integer', 0, 268435455, 'u16'),
    ('ap', 'wtp_cfg.radio[].portal.radius_secret', 76, 'string', 0, 64, 'text'),
    ('ap', 'wtp_cfg.radio[].portal.session_timeout', 77, 'integer', 0, 268435455, 'u32'),
    ('ap', 'wtp_cfg.radio[].portal.session_timeout_enable', 78, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.radio[].portal.idle_timeout', 79, 'integer', 0, 268435455, 'u32'),
    ('ap', 'wtp_cfg.radio[].portal.idle_timeout_enable', 80, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.radio[].portal.accounting_enable', 81, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.radio[].portal.accounting_time', 82, 'integer', 0, 268435455, 'u32'),
    ('ap', 'wtp_cfg.radio[].portal.auth_type', 83, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.radio[].portal.external_server', 84, 'string', 0, 100, 'text'),
    ('ap', 'wtp_cfg.radio[].portal.external_secret', 85, 'string', 0, 20, 'text'),
    ('ap', 'wtp_cfg.radio[].portal.account_server', 86, 'string', 0, 15, 'opt_ipv4'),
    ('ap', 'wtp_cfg.radio[].portal.accounting_port', 87, 'integer', 0, 268435455, 'u16'),
    ('ap', 'wtp_cfg.radio[].portal.accounting_secret', 88, 'string', 0, 64, 'text'),
    ('ap', 'wtp_cfg.radio[].portal.uamformat', 91, 'string', 0, 100, 'text'),
    ('ap', 'wtp_cfg.radio[].portal.local_auth', 92, 'string', 0, 100, 'text'),
    ('ap', 'wtp_cfg.radio[].portal.port', 96, 'integer', 0, 268435455, 'u16'),
    ('ap', 'wtp_cfg.radio[].portal.https_enable', 97, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.radio[].portal.radius_secret2', 98, 'string', 0, 20, 'text'),
    ('ap', 'wtp_cfg.radio[].portal.radius_server2', 99, 'string', 0, 15, 'opt_ipv4'),
    ('ap', 'wtp_cfg.radio[].fasthandover.status', 120, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.radio[].fasthandover.rssi', 121, 'integer', -100, -60, 'u32'),
    ('ap', 'wtp_cfg.radio[].distance', 62, 'integer', 0, 32000, 'u32'),
    ('ap', 'wtp_cfg.radio[].wlan[].enable', 18, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.radio[].wlan[].ssid', 19, 'string', 0, 32, 'text'),
    ('ap', 'wtp_cfg.radio[].wlan[].supr_ssid', 20, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.radio[].wlan[].sta_sep', 21, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.radio[].wlan[].layer2Isolation', 68, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.radio[].wlan[].isolation', 22, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.radio[].wlan[].vlan', 23, 'integer', 0, 4094, 'u32'),
    ('ap', 'wtp_cfg.radio[].wlan[].acl.mode', 39, 'integer', 0, 2, 'u32'),
    ('ap', 'wtp_cfg.radio[].wlan[].downloadlimit', 53, 'integer', -1, 999999, 'u32'),
    ('ap', 'wtp_cfg.radio[].wlan[].uploadlimit', 54, 'integer', -1, 999999, 'u32'),
    ('ap', 'wtp_cfg.radio[].wlan[].downperuser_en', 118, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.radio[].wlan[].uploadperuser_en', 119, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.radio[].wlan[].uploadMode', 160, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.radio[].wlan[].downloadMode', 159, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.radio[].wlan[].roaming.enable', 55, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.radio[].wlan[].roaming.adv_search', 56, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.radio[].wlan[].acl.mac[]', 40, 'string', 0, 17, 'mac_list'),
    ('ap', 'wtp_cfg.radio[].wlan[].l2macWlist[]', 161, 'string', 0, 17, 'mac_list'),
    ('ap', 'wtp_cfg.radio[].wlan[].sec_mode', 24, 'integer', 0, 268435455, 'u32'),
    ('ap', 'wtp_cfg.radio[].wlan[].wep.auth_type', 25, 'integer', 0, 268435455, 'u32'),
    ('ap', 'wtp_cfg.radio[].wlan[].wep.in_type', 49, 'integer', 0, 268435455, 'u32'),
    ('ap', 'wtp_cfg.radio[].wlan[].wep.key_len', 26, 'integer', 0, 268435455, 'u32'),
    ('ap', 'wtp_cfg.radio[].wlan[].wep.def_key', 27, 'integer', 0, 3, 'u32'),
    ('ap', 'wtp_cfg.radio[].wlan[].wep.key[]', 28, 'string', 0, 32, 'text'),
    ('ap', 'wtp_cfg.radio[].wlan[].wpa.enc_mode', 29, 'integer', 0, 268435455, 'u32'),
    ('ap', 'wtp_cfg.radio[].wlan[].wpa.suiteb_en', 165, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.radio[].wlan[].wpa.pmf_enable', 117, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.radio[].wlan[].wpa.passphrase', 30, 'string', 0, 64, 'text'),
    ('ap', 'wtp_cfg.radio[].wlan[].wpa.group_key_int', 31, 'integer', 0, 3600, 'u32'),
    ('ap', 'wtp_cfg.radio[].wlan[].wpa.radius.addr', 32, 'string', 0, 15, 'ipv4'),
    ('ap', 'wtp_cfg.radio[].wlan[].wpa.radius.port', 33, 'integer', 0, 65535, 'u16'),
    ('ap', 'wtp_cfg.radio[].wlan[].wpa.radius.secret', 34, 'string', 0, 64, 'text'),
    ('ap', 'wtp_cfg.radio[].wlan[].acc.enable', 35, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.radio[].wlan[].acc.addr', 36, 'string', 0, 15, 'ipv4'),
    ('ap', 'wtp_cfg.radio[].wlan[].acc.port', 37, 'integer', 0, 65535, 'u16'),
    ('ap', 'wtp_cfg.radio[].wlan[].acc.secret', 38, 'string', 0, 64, 'text'),
    ('ap', 'wtp_cfg.radio[].wlan[].acc.interval', 47, 'integer', 0, 600, 'u32'),
    ('ap', 'wtp_cfg.radio[].wlan[].nas.id_enable', 105, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.radio[].wlan[].nas.id', 106, 'string', 0, 32, 'text'),
    ('ap', 'wtp_cfg.radio[].wlan[].nas.ip_enable', 115, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.radio[].wlan[].nas.ip', 116, 'string', 0, 15, 'ipv4'),
    ('ap', 'wtp_cfg.radio[].wlan[].nas.port_enable', 107, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.radio[].wlan[].nas.port', 108, 'integer', 0, 65535, 'u16'),
    ('ap', 'wtp_cfg.lan_port[].vlan_mode', 109, 'integer', 0, 3, 'u32'),
    ('ap', 'wtp_cfg.mesh.enable_total', 110, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.radio[].mesh.enable', 111, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.radio[].mesh.id', 112, 'string', 0, 32, 'text'),
    ('ap', 'wtp_cfg.radio[].mesh.wpa_key', 113, 'string', 8, 63, 'text'),
    ('ap', 'wtp_cfg.radio[].mesh.link_robust_threshold', 114, 'integer', -96, 0, 'u16'),
    ('ap', 'wtp_cfg.radio[].wlan[].portal.enable', 123, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.radio[].wlan[].portal.login_type', 124, 'integer', 0, 4, 'u32'),
    ('ap', 'wtp_cfg.radio[].wlan[].portal.radius_server', 125, 'string', 0, 15, 'opt_ipv4'),
    ('ap', 'wtp_cfg.radio[].wlan[].portal.userurl', 126, 'string', 0, 200, 'text'),
    ('ap', 'wtp_cfg.radio[].wlan[].portal.walled_garden.enable', 127, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.radio[].wlan[].portal.walled_garden.pages', 128, 'string', 0, 3000, 'text'),
    ('ap', 'wtp_cfg.radio[].wlan[].portal.radius_port', 129, 'integer', 0, 268435455, 'u16'),
    ('ap', 'wtp_cfg.radio[].wlan[].portal.radius_secret', 130, 'string', 0, 64, 'text'),
    ('ap', 'wtp_cfg.radio[].wlan[].portal.session_timeout', 131, 'integer', 0, 268435455, 'u32'),
    ('ap', 'wtp_cfg.radio[].wlan[].portal.session_timeout_enable', 132, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.radio[].wlan[].portal.idle_timeout', 133, 'integer', 0, 268435455, 'u32'),
    ('ap', 'wtp_cfg.radio[].wlan[].portal.idle_timeout_enable', 134, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.radio[].wlan[].portal.accounting_enable', 135, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.radio[].wlan[].portal.accounting_time', 136, 'integer', 0, 268435455, 'u32'),
    ('ap', 'wtp_cfg.radio[].wlan[].portal.auth_type', 137, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.radio[].wlan[].portal.external_server', 138, 'string', 0, 100, 'text'),
    ('ap', 'wtp_cfg.radio[].wlan[].portal.external_secret', 139, 'string', 0, 20, 'text'),
    ('ap', 'wtp_cfg.radio[].wlan[].portal.account_server', 140, 'string', 0, 15, 'opt_ipv4'),
    ('ap', 'wtp_cfg.radio[].wlan[].portal.accounting_port', 141, 'integer', 0, 268435455, 'u16'),
    ('ap', 'wtp_cfg.radio[].wlan[].portal.accounting_secret', 142, 'string', 0, 64, 'text'),
    ('ap', 'wtp_cfg.radio[].wlan[].portal.uamformat', 147, 'string', 0, 100, 'text'),
    ('ap', 'wtp_cfg.radio[].wlan[].portal.local_auth', 148, 'string', 0, 100, 'text'),
    ('ap', 'wtp_cfg.radio[].wlan[].portal.port', 143, 'integer', 0, 268435455, 'u16'),
    ('ap', 'wtp_cfg.radio[].wlan[].portal.https_enable', 144, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.radio[].wlan[].portal.radius_secret2', 145, 'string', 0, 20, 'text'),
    ('ap', 'wtp_cfg.radio[].wlan[].portal.radius_server2', 146, 'string', 0, 15, 'opt_ipv4'),
    ('ap', 'wtp_cfg.radio[].wlan[].portal.network_type', 122, 'integer', 0, 268435455, 'u32'),
    ('ap', 'wtp_cfg.radio[].wlan[].bandsteering.mode', 149, 'integer', 0, 3, 'u32'),
    ('ap', 'wtp_cfg.radio[].wlan[].bandsteering.percent_en', 150, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.radio[].wlan[].bandsteering.rssi_en', 151, 'integer', 0, 1, 'u32'),
    ('ap', 'wtp_cfg.radio[].wlan[].bandsteering.rssi', 152, 'integer', -80, -60, 'u32'),
    ('ap', 'wtp_cfg.radio[].wlan[].bandsteering.percent', 153, 'integer', 0, 100, 'u32'),
    ('ap', 'wtp_cfg.radio[].wlan[].hotspot20', 164, 'string', 0, None, 'text'),
]

ROWS = [_row(*r) for r in _TABLE]
SWITCH_ROWS = [r for r in ROWS if r.device == "switch"]
AP_ROWS = [r for r in ROWS if r.device == "ap"]

COUNT_ROWS = [
    ("wtp_cfg.radio[]", 4),
    ("wtp_cfg.radio[].wlan[]", 17),
    ("wtp_cfg.switch_port[]", 8),
    ("wtp_cfg.poe_port[]", 13),
    ("wtp_cfg.lan_port[]", 93),
    ("wtp_cfg.pd_lifeguard[]", 24),
    ("wtp_cfg.pdl_status[]", 38),
]

LIST_ROWS = [
    ("switch", "wtp_cfg.manage_mac_list[]", 20, 6, "ERROR: Duplicate MACs in '%s'.\n"),
    ("ap", "wtp_cfg.radio[].wlan[].acl.mac[]", 40, 6, "ERROR: Duplicate MACs in '%s'.\n"),
    ("ap", "wtp_cfg.radio[].wlan[].l2macWlist[]", 161, 6, "ERROR: Duplicate MACs in '%s'.\n"),
    ("switch", "wtp_cfg.ac_list[]", 19, 256, None),
    ("ap", "wtp_cfg.ac_list[]", 90, 256, "ERROR: Duplicate hostname in '%s'.\n"),
]


def rows_of(device):
    """The rows of one device type ("switch" or "ap"), in table order."""
    return [r for r in ROWS if r.device == device]
