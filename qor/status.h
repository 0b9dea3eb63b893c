// Status queries of qor: the WTP record as the AC sends it (with the copy of the WTP's
// configuration at its end), the AC summary, and their text and JSON printers.
//
// Every record kind is a plain structure whose members are its wire fields; texts are
// owned strings (an absent text, sent with length 0, is the empty string) and nested
// sequences are vectors holding exactly the elements that arrived, so releasing a list
// releases everything. Addresses ("addr" fields) are kept in network byte order, as
// received; MACs and capability bytes as received.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "aclink.h"
#include "front.h"
#include "status_escape.h"

// ---- device types and selection flags ------------------------------------------------

constexpr uint8_t WTP_TYPE_SWITCH = 2;
constexpr uint8_t WTP_TYPE_AP = 3;

// Selection flags of the WTP list request: what the AC includes in its reply.
constexpr uint32_t WTP_SEL_MANAGED = 1;     // WTPs in the management list
constexpr uint32_t WTP_SEL_UNMANAGED = 2;   // WTPs not in the management list
constexpr uint32_t WTP_SEL_UNJOINED = 4;    // WTPs that have not joined
constexpr uint32_t WTP_SEL_CFG = 8;         // the configuration copy of each record
constexpr uint32_t WTP_SEL_DETAIL = 16;     // radios, WLANs, switch ports and the rest
constexpr uint32_t WTP_SEL_STA = 32;        // the station lists of the WLANs
constexpr uint32_t WTP_SEL_ALL = 63;

constexpr size_t CFG_CAP_LEN = 21;  // configuration capability bytes
constexpr size_t AC_NAME_LEN = 256; // one AC list entry on the wire
using cfg_cap_bytes = std::array<uint8_t, CFG_CAP_LEN>;

// ---- the status record ---------------------------------------------------------------

struct sta_info {
    mac_addr mac{};
    uint32_t tx = 0;  // kilobytes sent
    uint32_t rx = 0;  // kilobytes received
    int32_t rssi = 0; // dBm
    std::string os;
    std::string hostname;  // emptied when it holds a byte outside 0x20..0x7e
    uint32_t ip = 0;
};

struct wlan_info {
    mac_addr bssid{};
    cfg_cap_bytes cfg_cap{};
    uint32_t tx_pkt = 0;
    uint32_t tx_bytes = 0;
    uint32_t rx_pkt = 0;
    uint32_t rx_bytes = 0;
    std::vector<sta_info> sta;
};

struct radio_info {
    mac_addr mac{};
    uint32_t type = 0;
    uint32_t max_tx_power = 0;
    cfg_cap_bytes cfg_cap{};
    // "cur_cfg"
    int32_t channel = 0;
    uint32_t tx_power = 0;
    uint32_t tx_power_percent = 0;
    // "mesh"
    int32_t role = 0;
    mac_addr bssid{};
    std::vector<wlan_info> wlan;
};

struct hw_port {
    uint32_t port = 0;
    uint32_t port_type = 0;
};

struct sw_port_status {
    uint32_t port = 0;
    uint32_t enable = 0;
    uint32_t speed = 0;
    uint32_t link_status = 0;
    uint32_t flow_control = 0;
    uint32_t duplex = 0;
    uint32_t auto_neg = 0;
};

struct trunk_info {
    uint32_t id = 0;
    uint32_t mode = 0;
    std::string active_port;
    std::string port;  // member ports as text
};

struct lldp_dev {
    mac_addr mac{};
    uint32_t localPort = 0;
    std::string remotePort;
    std::string name;
    std::string model;
};

struct poe_port_status {
    uint32_t port = 0;
    uint32_t enable = 0;
    uint32_t poe_class = 0;
    uint32_t priority = 0;
    uint32_t power_limit_type = 0;
    uint32_t user_power_limit = 0;
    uint32_t status = 0;
    uint32_t output_voltage = 0;
    uint32_t output_current = 0;
    uint32_t output_power = 0;
    uint32_t temperature = 0;
};

struct topo_link {
    uint32_t local_port = 0;
    mac_addr mac{};
    std::string remote_port;
};

struct topo_dev {
    uint32_t type = 0;
    uint32_t system_time = 0;
    uint32_t update_time = 0;
    uint32_t link_info_last_time = 0;
    uint32_t no_link_info_first_time = 0;
    mac_addr mac{};
    uint32_t ip = 0;
    std::string name;
    std::string description;  // printed under the key "model"
    int32_t link_count = 0;   // as sent; links follow only when it is greater than 0
    std::vector<topo_link> link;
};

// ---- the configuration copy ----------------------------------------------------------

// Captive-portal settings, carried by radio and WLAN configurations alike (the WLAN's
// adds `network_type`).
struct portal_cfg {
    uint32_t enable = 0;
    uint32_t login_type = 0;
    uint32_t radius_server = 0;
    std::string userurl;
    uint32_t walled_garden_enable = 0;
    std::string walled_garden_pages;
    uint16_t radius_port = 0;
    std::string radius_secret;
    uint32_t session_timeout = 0;
    uint32_t session_timeout_enable = 0;
    uint32_t idle_timeout = 0;
    uint32_t idle_timeout_enable = 0;
    uint32_t accounting_enable = 0;
    uint32_t accounting_time = 0;
    uint32_t auth_type = 0;
    std::string external_server;
    std::string external_secret;
    uint32_t account_server = 0;
    uint16_t accounting_port = 0;
    std::string accounting_secret;
    std::string uamformat;
    std::string local_auth;
    uint16_t port = 0;
    uint32_t https_enable = 0;
    std::string radius_secret2;
    uint32_t radius_server2 = 0;
    uint32_t network_type = 0;  // WLAN configurations only
};

struct bandsteering_cfg {
    int32_t mode = 0;
    int32_t percent_en = 0;
    int32_t rssi_en = 0;
    int32_t rssi = 0;
    int32_t percent = 0;
};

struct fasthandover_cfg {
    int32_t status = 0;
    int32_t rssi = 0;
};

struct wlan_cfg {
    uint32_t enable = 0;
    std::string ssid;
    uint32_t supr_ssid = 0;
    uint32_t sta_sep = 0;
    uint32_t isolation = 0;
    uint32_t layer2Isolation = 0;
    std::vector<mac_addr> l2macWlist;
    uint32_t vlan = 0;
    int32_t downloadlimit = 0;
    int32_t uploadlimit = 0;
    int32_t downperuser_en = 0;
    int32_t uploadperuser_en = 0;
    int32_t downloadMode = 0;
    int32_t uploadMode = 0;
    struct {
        uint32_t enable = 0;
        uint32_t adv_search = 0;
    } roaming;
    struct {
        uint32_t mode = 0;
        std::vector<mac_addr> mac;
    } acl;
    uint32_t sec_mode = 0;  // 0 none, 1 WEP, 2 to 12 WPA variants
    struct {
        uint32_t auth_type = 0;
        uint32_t in_type = 0;
        uint32_t key_len = 0;
        uint32_t def_key = 0;
        std::array<std::string, 4> key;
    } wep;
    struct {
        uint32_t enc_mode = 0;
        uint32_t suiteb_en = 0;
        std::string passphrase;
        uint32_t group_key_int = 0;
        uint32_t pmf_enable = 0;
    } wpa;
    struct {
        uint32_t addr = 0;
        uint16_t port = 0;
        std::string secret;
    } radius;
    struct {
        uint32_t enable = 0;
        uint32_t addr = 0;
        uint16_t port = 0;
        std::string secret;
        uint32_t interval = 0;
    } acc;
    struct {
        uint32_t id_enable = 0;
        std::string id;
        uint32_t port_enable = 0;
        uint16_t port = 0;
        uint32_t ip_enable = 0;
        uint32_t ip = 0;
    } nas;
    portal_cfg portal;
    std::string hotspot20;  // a JSON text of its own; absent when empty
    bandsteering_cfg bandsteering;
};

struct radio_cfg {
    uint32_t country = 0;
    uint32_t op_mode = 0;
    uint32_t wl_mode = 0;
    struct {
        uint32_t ht = 0;
        uint32_t ext = 0;
        uint32_t val = 0;
    } channel;
    uint32_t tx_power = 0;
    uint32_t obey_regulatory_power = 0;
    int32_t data_rate = 0;  // rate code
    uint32_t bit_rate = 0;
    uint32_t ax_enable = 0;
    uint32_t rts_cts_threshold = 0;
    uint32_t distance = 0;
    struct {
        uint32_t enable = 0;
        uint32_t frames = 0;
        uint32_t maxbytes = 0;
    } aggregation;
    struct {
        uint32_t enable = 0;
        uint32_t count = 0;
    } limited_clients;
    portal_cfg portal;
    struct {
        int32_t enable = 0;
        std::string id;
        std::string wpa_key;
        int16_t link_robust_threshold = 0;
    } mesh;
    fasthandover_cfg fasthandover;
    std::vector<wlan_cfg> wlan;
};

struct lan_port_cfg {
    int32_t en = 0;
    int32_t vid = 0;
    int32_t vlan_mode = 0;
};

struct sw_port_cfg {
    uint32_t mode = 0;  // speed mode
    uint32_t flow_control = 0;
    uint32_t port = 0;
    std::string descp;
};

struct poe_port_cfg {
    uint32_t port = 0;
    uint32_t enable = 0;
    uint32_t user_power_limit = 0;
    uint32_t power_limit_type = 0;
    uint32_t priority = 0;
};

struct pd_lifeguard_cfg {
    uint32_t port = 0;
    uint32_t enable = 0;
    uint32_t mode = 0;
    uint32_t action = 0;
    uint32_t specified_ip = 0;
    uint32_t ping_interval = 0;
    uint32_t ping_max_count = 0;
    uint32_t power_recovery_interval = 0;
    uint32_t reboot_max_retry_count = 0;
    uint32_t reboot_count = 0;
    uint32_t pd_bootup_time = 0;
    std::string status;
};

struct pdl_status_info {
    uint32_t port = 0;
    uint32_t state = 0;
    uint32_t mode = 0;
    uint32_t polling_method = 0;
    std::string mac;  // a text, not a 6-byte MAC
    uint32_t management_ip = 0;
    std::string action;
};

// One structure for both device types; each fills its own members.
struct wtp_cfg {
    // common part
    uint32_t address = 0;  // 0.0.0.0: the WTP uses DHCP
    uint32_t mask = 0;
    uint32_t gateway = 0;
    uint32_t dns1 = 0;
    uint32_t dns2 = 0;
    std::string name;
    std::string location;
    std::string admin;
    int32_t timezone = 0;
    std::vector<std::string> ac_list;  // each entry cut at its NUL (at most 255 characters)

    // access point
    std::array<uint8_t, 16> password_md5{};
    int32_t bandsteer = 0;
    bandsteering_cfg bandsteering;
    fasthandover_cfg fasthandover;
    struct {
        uint32_t addr = 0;
        uint32_t mask = 0;
        uint32_t start = 0;
        uint32_t end = 0;
        uint32_t wins = 0;
    } guest_network;
    struct {
        int32_t power = 0;
        int32_t lan = 0;
        int32_t wlan0 = 0;
        int32_t wlan1 = 0;
        int32_t wlan2 = 0;
        int32_t mesh = 0;
    } led;
    int32_t manage_vlan_id = 0;
    int32_t log_remote_en = 0;
    int32_t log_traffic_en = 0;
    std::string log_remote_conf;
    int32_t lan_port_count = 0;  // as sent; ports follow only when it is greater than 0
    std::vector<lan_port_cfg> lan_port;
    int32_t mesh_enable_total = 0;
    std::vector<radio_cfg> radio;

    // switch (and any other type but the access point)
    std::string sw_text;  // stored, never printed
    std::vector<sw_port_cfg> switch_port;
    int32_t redundancyMode = 0;
    std::vector<mac_addr> manage_mac_list;
    uint32_t power_budget = 0;
    std::vector<poe_port_cfg> poe_port;
    uint32_t pdl_enable = 0;
    std::vector<pd_lifeguard_cfg> pd_lifeguard;
    std::vector<pdl_status_info> pdl_status;
};

struct wtp_info {
    uint8_t wtp_type = 0;
    mac_addr mac{};
    uint32_t ip = 0;
    uint16_t port = 0;
    std::string model;
    uint32_t flick_reboot_flag = 0;  // switch
    uint32_t cap_code = 0;           // access point
    std::string sku;                 // access point
    std::string sn;
    uint8_t managed = 0;
    uint8_t unavaiable_fw = 0;
    uint8_t upg_img = 0;
    std::string new_fw_img;
    std::string new_fw_ver;
    uint8_t upg_state = 0;
    uint8_t unavaiable_addr = 0;
    uint8_t state = 0;      // 5: online
    uint8_t sub_state = 0;  // 9: waiting, 4: upgrading
    uint8_t progress = 0;
    std::string sw_ver;
    std::string cw_ver;
    std::string name;
    uint32_t uptime = 0;
    uint32_t join_time = 0;
    uint32_t last_time = 0;
    uint32_t change_time = 0;
    cfg_cap_bytes cfg_cap{};
    struct {
        uint32_t ip = 0;
        uint32_t mask = 0;
        uint32_t gateway = 0;
        uint32_t dns1 = 0;
        uint32_t dns2 = 0;
    } cur_cfg;
    struct {
        uint32_t total = 0;
        uint32_t used = 0;
    } mem;

    // access point detail
    std::vector<radio_info> radio;

    // switch detail
    uint32_t sw_max_port = 0;  // also the number of hardware ports
    uint32_t sw_max_trunk = 0;
    uint32_t sw_max_vlan_num = 0;
    uint32_t sw_max_managed_ap = 0;
    uint32_t sw_max_mirror_num = 0;
    uint32_t sw_max_multicast_num = 0;
    uint32_t sw_max_power_budget = 0;
    uint32_t sw_min_power_budget = 0;
    uint32_t sw_max_static_mac_num = 0;
    uint32_t sw_max_trunk_member = 0;
    uint32_t sw_dev_suport_type = 0;
    std::vector<hw_port> switch_hw_port;
    std::vector<sw_port_status> switch_port;
    std::vector<trunk_info> trunk_port;
    std::vector<lldp_dev> lldp_dev_list;
    uint32_t power_budget = 0;
    uint32_t allocated_power = 0;
    std::vector<poe_port_status> poe_port;
    std::vector<topo_dev> dev_list;

    std::unique_ptr<wtp_cfg> cfg;  // null when the AC sent no copy
};

// The records in the order they arrived.
struct wtp_list {
    std::vector<wtp_info> items;
};

// ---- requests ------------------------------------------------------------------------

// What a caller keeps of each record: all of it, or the common part only (the detail part
// and the configuration copy are still read and checked, but stepped over without being
// stored, so that a printer of the common fields needs memory for those alone).
enum class wtp_keep { all, common };

// Sends REQ_WTP_LIST with the selection flags and MAC list (empty: all WTPs) and appends
// every record of the reply to `list`. Returns 0, or 1 after the reply failed (the whole
// list is then released).
int get_wtp_list(int sock, wtp_list &list, uint32_t flags, const std::vector<mac_addr> &macs,
                 wtp_keep keep = wtp_keep::all);

// The reply of REQ_WTP_LIST read from `in`: every record after a 0 marker is appended to
// `list` until a non-zero marker ends it. Returns 0, or 1 after the reply failed (the whole
// list is then released).
int read_wtp_list(reply_reader &in, wtp_list &list, wtp_keep keep = wtp_keep::all);

// Storage kept from one record for the next one decoded, which then needs no allocation for
// what a fleet's records are mostly made of: an access point's radios (with their WLANs and
// stations), its configuration copy and the copy's radio configurations (with their WLANs).
// A decoder that reads one of these lists takes the spare one and overwrites its elements
// in place; a record without them never sees them.
struct wtp_spares {
    std::vector<radio_info> radio;
    std::unique_ptr<wtp_cfg> cfg;  // as new
    std::vector<radio_cfg> cfg_radio;

    // Takes those of `rec` that it holds (the record is made afresh after).
    void keep_from(wtp_info &rec);
};

// Decodes one record (after its 0 marker) into a fresh `rec`; with wtp_keep::common the
// detail part and the configuration copy are stepped over. With `spares`, its lists are
// taken where the record has them. Returns 0 or 1.
int read_wtp_info(reply_reader &in, wtp_info &rec, wtp_keep keep = wtp_keep::all,
                  wtp_spares *spares = nullptr);

// The bytes that an access point's detail part, or a record's configuration copy (of a
// record of `wtp_type`), takes from its presence byte on, when all of them are among the
// `held` bytes at `p`; else 0. They read only the counts and text lengths, so that a part
// not kept is stepped over at once when it has arrived whole.
size_t ap_detail_size(const uint8_t *p, size_t held);
size_t cfg_copy_size(const uint8_t *p, size_t held, uint8_t wtp_type);

// Releases every record.
void wtp_list_free(wtp_list &list);

// Records handed to a printer one at a time: from a list, or decoded from a reply held
// whole as they are printed (so that a fleet's records are never all in memory at once).
class wtp_records {
public:
    virtual ~wtp_records() = default;
    // The next record (the printer may change it), or null after the last one or a failure.
    virtual wtp_info *next() = 0;
    // Whether a record could not be had (its message is on standard error).
    virtual bool failed() const = 0;
    // The number of records in all (read as they arrive: handed out so far).
    virtual size_t count() const = 0;
};

// Runs fill(out) with an output held in memory, then writes it: records read as they arrive
// then print nothing unless they all came whole. Returns 0, or 1 after the records failed,
// memory for the output ran out ("ERROR: Out of memory") or standard output could not be
// written.
template <class Fill>
int print_held(wtp_records &records, Fill &&fill) {
    try {
        out_buf out(STDOUT_FILENO, OUT_HELD_FIRST, out_buf::held);
        fill(out);
        if (records.failed()) return 1;
        return out.finish();
    } catch (const std::bad_alloc &) {
        fputs("ERROR: Out of memory\n", stderr);
        return 1;
    }
}

class wtp_list_records final : public wtp_records {
public:
    explicit wtp_list_records(wtp_list &list) : list_(list) {}
    wtp_info *next() override {
        return next_ < list_.items.size() ? &list_.items[next_++] : nullptr;
    }
    bool failed() const override { return false; }
    size_t count() const override { return list_.items.size(); }

private:
    wtp_list &list_;
    size_t next_ = 0;
};

// The reply of REQ_WTP_LIST received whole and checked record by record (nothing is kept of
// a record but its bytes); a reply that fails does so here, before anything is printed.
struct wtp_reply {
    reply_copy bytes;
    size_t records = 0;
};

// Sends REQ_WTP_LIST as get_wtp_list does and receives the reply into `reply`. Returns 0,
// or 1 after the reply failed (with get_wtp_list's messages).
int get_wtp_reply(int sock, wtp_reply &reply, uint32_t flags,
                  const std::vector<mac_addr> &macs);

// Reads a REQ_WTP_LIST reply from `in` to its end marker, checking every record as
// read_wtp_list would and counting them in `records`. Returns 0 or 1.
int check_wtp_reply(reply_reader &in, size_t &records);

// Sends REQ_WTP_LIST as get_wtp_list does, for a reply then read with wtp_reply_records
// from the socket. Returns 0 or 1.
int send_wtp_list_request(int sock, uint32_t flags, const std::vector<mac_addr> &macs);

// Records decoded one at a time into the one record handed out, each when the printer asks
// for it: from a checked reply held whole (in full), or from the AC's socket as they arrive
// (what `keep` says; a printer must then hold its output until the last one came whole).
class wtp_reply_records final : public wtp_records {
public:
    explicit wtp_reply_records(const wtp_reply &reply)
        : in_(reply.bytes.data(), reply.bytes.size()), total_(reply.records), known_(true) {}
    wtp_reply_records(int sock, wtp_keep keep) : in_(sock), keep_(keep) {}
    wtp_info *next() override;
    bool failed() const override { return failed_; }
    // From the socket: the records handed out so far (all of them once next() returned
    // null without a failure).
    size_t count() const override { return known_ ? total_ : handed_; }

private:
    reply_reader in_;
    wtp_keep keep_ = wtp_keep::all;
    wtp_info rec_;
    wtp_spares spares_;
    size_t total_ = 0, handed_ = 0;
    bool known_ = false, done_ = false, failed_ = false;
};

struct ac_info {
    std::string cw_ver;  // absent when sent empty
    uint32_t max_wtps = 0;
    uint32_t managed_wtps = 0;
    uint32_t active_wtps = 0;
    uint32_t total_sta = 0;
    uint32_t upg_wtps = 0;
    uint32_t redundant_mode = 0;
};

// REQ_AC_INFO: version text and six counters. Returns 0 or 1.
int get_ac_info(int sock, ac_info &out);

// The reply of REQ_AC_INFO read from `in`. Returns 0 or 1.
int read_ac_info(reply_reader &in, ac_info &out);

// ---- printers (standard output) ------------------------------------------------------
//
// Each returns 0, or 1 after standard output could not be written (a full disk, a closed
// pipe); the reason is then on standard error.

// The brief table (brief), the detailed text (neither), or the JSON member "wtp_list"
// (json). The JSON form removes line breaks from topology descriptions in place.
int print_wtp_list(wtp_list &list, bool json, bool password, bool brief, bool basic);

// Text forms (status_text.cpp). The brief table holds its output until the records have
// all come whole: what a failed reply gave prints nothing.
int print_wtp_brief(wtp_records &records);
int print_wtp_brief(wtp_list &list);

// The detailed text (status_text.cpp) and the JSON form (status_json.cpp) write their output
// in blocks as they go: their records come from a list, or from a reply checked whole
// before (wtp_reply_records of a wtp_reply), so that a failed reply prints nothing.
int print_wtp_detail(wtp_records &records, bool password, bool basic);
int print_wtp_detail(wtp_list &list, bool password, bool basic);
int print_wtp_json(wtp_records &records, bool password, bool basic);
int print_wtp_json(wtp_list &list, bool password, bool basic);

// "MAC=upgrade state" per record, held until the records have all come whole.
int print_fw_results(wtp_records &records);
int print_fw_results(wtp_list &list);

// The two counters of wtpflag (stdio), printed once the records have all come whole; 1
// (nothing printed) when they did not.
int print_upgrade_counts(wtp_records &records);
void print_upgrade_counts(wtp_list &list);
int print_upgrading_count(wtp_records &records);
void print_upgrading_count(wtp_list &list);

// Seven text lines, or the JSON member "ac_info" (no braces around it, no line end).
int print_ac_info(const ac_info &info, bool json);

// Replaces, in place, every occurrence of `old` by `repl`.
void strip_all(std::string &text, const char *old, const char *repl);
