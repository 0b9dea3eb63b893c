// Decoding of the status replies from bytes in memory: one WTP record of each kind (access
// point, switch, any other type, each with detail part and configuration copy) and the AC
// summary, whole, in small pieces, cut at every offset, and with hostile counts. The
// records are written field by field in the documented wire order.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "alloc_hook.h"
#include "status.h"

namespace {

using bytes = std::vector<uint8_t>;

// A reply written field by field; `mark` remembers where a count field starts.
struct wire {
    bytes b;
    std::map<std::string, size_t> marks;

    wire &u8(uint8_t v) {
        b.push_back(v);
        return *this;
    }
    wire &u16(uint16_t v) { return u8(static_cast<uint8_t>(v >> 8)).u8(static_cast<uint8_t>(v)); }
    wire &u32(uint32_t v) { return u16(static_cast<uint16_t>(v >> 16)).u16(static_cast<uint16_t>(v)); }
    wire &raw(const std::string &s) {
        b.insert(b.end(), s.begin(), s.end());
        return *this;
    }
    wire &fill(size_t n, uint8_t v) {
        b.insert(b.end(), n, v);
        return *this;
    }
    wire &text(const std::string &s) { return u16(static_cast<uint16_t>(s.size())).raw(s); }
    wire &mac(uint8_t last) { return u8(0).u8(0x11).u8(0x22).u8(0x33).u8(0x44).u8(last); }
    wire &addr(uint8_t a, uint8_t b2, uint8_t c, uint8_t d) { return u8(a).u8(b2).u8(c).u8(d); }
    wire &mark(const std::string &name) {
        marks[name] = b.size();
        return *this;
    }
};

mac_addr mac_of(uint8_t last) { return {0, 0x11, 0x22, 0x33, 0x44, last}; }

uint32_t ip4(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
    const uint8_t x[4] = {a, b, c, d};
    uint32_t v;
    memcpy(&v, x, 4);
    return v;
}

void common_part(wire &w, uint8_t type) {
    w.u8(type).mac(0x55).addr(10, 0, 0, 7).u16(5246).text("WAP-2240").text("SN0042");
    w.u8(1).u8(0).u8(1).text("img-2.bin").text("2.0.1");
    w.u8(3).u8(0).u8(5).u8(9).u8(40);
    w.text("1.9.7").text("2.0").text("lobby");
    w.u32(3661).u32(1700000000).u32(1700000100).u32(0);
    w.addr(10, 0, 0, 7).addr(255, 255, 255, 0).addr(10, 0, 0, 1).addr(8, 8, 8, 8).addr(0, 0, 0, 0);
    w.u32(65536).u32(32768);
}

void portal_part(wire &w, bool wlan) {
    w.u32(1).u32(2).addr(10, 9, 0, 5).text("http://p.example/a").u32(1).text("www.example.net");
    w.u16(1812).text("rs-secret");
    w.u32(3600).u32(1).u32(900).u32(0).u32(1).u32(300).u32(1);
    w.text("").text("ext-secret").addr(10, 9, 0, 6).u16(1813).text("as").text("json").text("off");
    w.u16(3990).u32(1).text("").addr(0, 0, 0, 0);
    if (wlan) w.u32(2);
}

void cfg_common(wire &w) {
    w.addr(192, 168, 1, 20).addr(255, 255, 255, 0).addr(192, 168, 1, 1).addr(1, 1, 1, 1).addr(0, 0, 0, 0);
    w.text("ap-lobby").text("Hall").text("admin").u32(static_cast<uint32_t>(-5));
    w.mark("ac_count").u32(2);
    std::string ac1 = "ac1.example.net";
    w.raw(ac1).fill(256 - ac1.size(), 0);
    w.fill(256, 'z');  // no terminator: cut at 255
}

// What an access point record carries besides its common part.
struct ap_shape {
    int radios = 1;         // each with one WLAN, in the detail part and in the copy
    bool stations = true;   // two on each WLAN
    bool detail = true;
    bool copy = true;
};

// An access point record (by default one radio, one WLAN and two stations), and its copy
// with one LAN port and a radio configuration of one WLAN configuration per radio.
bytes ap_record(std::map<std::string, size_t> *marks = nullptr, ap_shape shape = {}) {
    wire w;
    common_part(w, WTP_TYPE_AP);
    w.u32(0xC0DE).text("SKU-1").fill(CFG_CAP_LEN, 7);
    w.mark("detail").u8(shape.detail ? 1 : 0);
    if (shape.detail) w.mark("radio_count").u8(static_cast<uint8_t>(shape.radios));
    for (int radio = 0; shape.detail && radio < shape.radios; ++radio) {
        w.mac(0xA0).u32(1).u32(27).fill(CFG_CAP_LEN, 1).u32(static_cast<uint32_t>(-1)).u32(20)
            .u32(100);
        w.u32(static_cast<uint32_t>(-2)).mac(0xB0).mark("wlan_count").u32(1);
        w.mac(0xB1).fill(CFG_CAP_LEN, 2).u32(11).u32(12).u32(13).u32(14);
        if (!shape.stations) {
            w.u8(0);
            continue;
        }
        w.u8(1).mark("sta_count").u32(2);
        w.mac(0xC1).u32(100).u32(200).u32(static_cast<uint32_t>(-70)).text("iOS 17").text("phone")
            .addr(10, 0, 1, 2);
        w.mac(0xC2).u32(1).u32(2).u32(static_cast<uint32_t>(-40)).text("Linux").text("bad\x7fname")
            .addr(10, 0, 1, 3);
    }
    w.mark("copy").u8(shape.copy ? 1 : 0);  // configuration copy
    if (!shape.copy) {
        if (marks) *marks = w.marks;
        return w.b;
    }
    cfg_common(w);
    w.fill(16, 0xAB).u32(1).u32(2).u32(1).u32(0).u32(static_cast<uint32_t>(-75)).u32(30);
    w.u32(1).u32(static_cast<uint32_t>(-80));
    w.addr(172, 16, 0, 1).addr(255, 255, 0, 0).addr(172, 16, 0, 10).addr(172, 16, 0, 99).addr(0, 0, 0, 0);
    w.u32(1).u32(1).u32(0).u32(1).u32(0).u32(1).u32(100).u32(1).u32(0).text("10.0.0.9:514");
    w.mark("lan_count").u32(1).u32(1).u32(20).u32(0).u32(3);
    w.mark("radio_cfg_count").u32(static_cast<uint32_t>(shape.radios));
    for (int radio = 0; radio < shape.radios; ++radio) {
        w.u32(156).u32(1).u32(7).u32(1).u32(0).u32(36).u32(20).u32(0).u32(5).u32(0).u32(1)
            .u32(2347).u32(0);
        w.u32(1).u32(32).u32(65535).u32(1).u32(64);
        portal_part(w, false);
        w.u32(1).text("mesh-id").text("mesh-key").u16(static_cast<uint16_t>(-3)).u32(1)
            .u32(static_cast<uint32_t>(-72));
        w.mark("wlan_cfg_count").u32(1);
        w.u32(1).text("guest \"wifi\"").u32(0).u32(1).u32(0).u32(1);
        w.mark("white_count").u32(1).mac(0xD1);
        w.u32(20).u32(1024).u32(512).u32(0).u32(1).u32(0).u32(1).u32(1).u32(0).u32(1);
        w.mark("acl_count").u32(1).mac(0xD2);
        w.u32(5).u32(1).u32(1).u32(13).u32(1).text("k1").text("").text("k3").text("");
        w.u32(2).u32(0).text("passphrase").u32(3600).addr(10, 9, 0, 8).u16(1812).text("rad");
        w.u32(1).addr(10, 9, 0, 8).u16(1813).text("acc").u32(600);
        w.u32(1).text("nas-1").u32(0).u16(0).u32(0).addr(0, 0, 0, 0).u32(2);
        portal_part(w, true);
        w.text("{\"enable\":1}").u32(1).u32(0).u32(1).u32(static_cast<uint32_t>(-70)).u32(50);
    }
    if (marks) *marks = w.marks;
    return w.b;
}

void switch_cfg(wire &w) {
    w.text("sw-text").mark("sw_port_cfg_count").u32(1).u32(2).u32(1).u32(8).text("uplink");
    w.u32(static_cast<uint32_t>(-1)).mark("manage_mac_count").u32(1).mac(0xE1).u32(370);
    w.mark("poe_cfg_count").u32(1).u32(3).u32(1).u32(300).u32(1).u32(2).u32(1);
    w.mark("lifeguard_count").u32(1).u32(4).u32(1).u32(0).u32(2).addr(10, 0, 0, 50).u32(10).u32(3)
        .u32(60).u32(3).u32(0).u32(120).text("ok");
    w.mark("pdl_count").u32(1).u32(5).u32(1).u32(0).u32(1).text("00:aa").addr(10, 0, 0, 51).text("none");
}

// A switch record with the whole detail part (one of each element) and its copy.
bytes switch_record(std::map<std::string, size_t> *marks = nullptr) {
    wire w;
    common_part(w, WTP_TYPE_SWITCH);
    w.fill(CFG_CAP_LEN, 9).u32(1).u8(1);
    w.mark("hw_port_count").u32(2);
    for (uint32_t v = 1; v <= 10; ++v) w.u32(v * 10);
    w.u32(1).u32(0).u32(2).u32(1);  // two hardware ports
    w.mark("port_count").u8(1).u32(1).u32(1).u32(1000).u32(1).u32(0).u32(1).u32(1);
    w.u8(1).u32(1).u32(2).text("1").text("1,2");
    w.u8(1).mac(0xF1).u32(3).text("gi0/1").text("core").text("SW-9");
    w.u32(370).u32(25);
    w.u8(1);
    for (uint32_t v = 1; v <= 11; ++v) w.u32(v);
    w.mark("topo_count").u16(1).u32(3).u32(1000).u32(1001).u32(1002).u32(1003).mac(0xF2)
        .addr(10, 0, 0, 60).text("ap-2").text("WAP\r\nX");
    w.mark("link_count").u32(1).u32(7).mac(0xF3).text("eth0");
    w.mark("copy").u8(1);
    cfg_common(w);
    switch_cfg(w);
    if (marks) *marks = w.marks;
    return w.b;
}

// A record of device type 1: the common part, then its copy (read as a switch's).
bytes other_record(std::map<std::string, size_t> *marks = nullptr) {
    wire w;
    common_part(w, 1);
    w.mark("copy").u8(1);
    cfg_common(w);
    switch_cfg(w);
    if (marks) *marks = w.marks;
    return w.b;
}

// The reply: marker 0, the record, end marker 1.
bytes reply_of(const bytes &record) {
    bytes r(record.size() + 2, 0);
    std::copy(record.begin(), record.end(), r.begin() + 1);
    r.back() = 1;
    return r;
}

struct decoded {
    int status;
    wtp_list list;
    std::string out, err;
};

decoded decode(const bytes &reply, wtp_keep keep = wtp_keep::all,
               size_t piece = static_cast<size_t>(-1)) {
    decoded d;
    memory_source src(reply.data(), reply.size(), piece);
    reply_reader in(src);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    d.status = read_wtp_list(in, d.list, keep);
    d.err = testing::internal::GetCapturedStderr();
    d.out = testing::internal::GetCapturedStdout();
    return d;
}

void expect_common(const wtp_info &w, uint8_t type) {
    EXPECT_EQ(type, w.wtp_type);
    EXPECT_EQ(mac_of(0x55), w.mac);
    EXPECT_EQ(ip4(10, 0, 0, 7), w.ip);
    EXPECT_EQ(5246, w.port);
    EXPECT_EQ("WAP-2240", w.model);
    EXPECT_EQ("SN0042", w.sn);
    EXPECT_EQ(1, w.managed);
    EXPECT_EQ(1, w.upg_img);
    EXPECT_EQ("img-2.bin", w.new_fw_img);
    EXPECT_EQ("2.0.1", w.new_fw_ver);
    EXPECT_EQ(3, w.upg_state);
    EXPECT_EQ(5, w.state);
    EXPECT_EQ(9, w.sub_state);
    EXPECT_EQ(40, w.progress);
    EXPECT_EQ("lobby", w.name);
    EXPECT_EQ(3661u, w.uptime);
    EXPECT_EQ(1700000100u, w.last_time);
    EXPECT_EQ(ip4(8, 8, 8, 8), w.cur_cfg.dns1);
    EXPECT_EQ(65536u, w.mem.total);
    EXPECT_EQ(32768u, w.mem.used);
}

void expect_cfg_common(const wtp_cfg &c) {
    EXPECT_EQ(ip4(192, 168, 1, 20), c.address);
    EXPECT_EQ(ip4(1, 1, 1, 1), c.dns1);
    EXPECT_EQ("ap-lobby", c.name);
    EXPECT_EQ("admin", c.admin);
    EXPECT_EQ(-5, c.timezone);
    ASSERT_EQ(2u, c.ac_list.size());
    EXPECT_EQ("ac1.example.net", c.ac_list[0]);
    EXPECT_EQ(std::string(255, 'z'), c.ac_list[1].substr(0, 255));
}

void expect_switch_cfg(const wtp_cfg &c) {
    expect_cfg_common(c);
    EXPECT_EQ("sw-text", c.sw_text);
    ASSERT_EQ(1u, c.switch_port.size());
    EXPECT_EQ(2u, c.switch_port[0].mode);
    EXPECT_EQ(8u, c.switch_port[0].port);
    EXPECT_EQ("uplink", c.switch_port[0].descp);
    EXPECT_EQ(-1, c.redundancyMode);
    EXPECT_EQ(std::vector<mac_addr>{mac_of(0xE1)}, c.manage_mac_list);
    EXPECT_EQ(370u, c.power_budget);
    ASSERT_EQ(1u, c.poe_port.size());
    EXPECT_EQ(300u, c.poe_port[0].user_power_limit);
    EXPECT_EQ(2u, c.poe_port[0].priority);
    EXPECT_EQ(1u, c.pdl_enable);
    ASSERT_EQ(1u, c.pd_lifeguard.size());
    EXPECT_EQ(ip4(10, 0, 0, 50), c.pd_lifeguard[0].specified_ip);
    EXPECT_EQ(120u, c.pd_lifeguard[0].pd_bootup_time);
    EXPECT_EQ("ok", c.pd_lifeguard[0].status);
    ASSERT_EQ(1u, c.pdl_status.size());
    EXPECT_EQ("00:aa", c.pdl_status[0].mac);
    EXPECT_EQ(ip4(10, 0, 0, 51), c.pdl_status[0].management_ip);
    EXPECT_EQ("none", c.pdl_status[0].action);
}

void expect_ap(const wtp_info &w) {
    expect_common(w, WTP_TYPE_AP);
    EXPECT_EQ(0xC0DEu, w.cap_code);
    EXPECT_EQ("SKU-1", w.sku);
    EXPECT_EQ(7, w.cfg_cap[20]);
    ASSERT_EQ(1u, w.radio.size());
    const radio_info &r = w.radio[0];
    EXPECT_EQ(mac_of(0xA0), r.mac);
    EXPECT_EQ(27u, r.max_tx_power);
    EXPECT_EQ(-1, r.channel);
    EXPECT_EQ(100u, r.tx_power_percent);
    EXPECT_EQ(-2, r.role);
    EXPECT_EQ(mac_of(0xB0), r.bssid);
    ASSERT_EQ(1u, r.wlan.size());
    const wlan_info &l = r.wlan[0];
    EXPECT_EQ(mac_of(0xB1), l.bssid);
    EXPECT_EQ(11u, l.tx_pkt);
    EXPECT_EQ(14u, l.rx_bytes);
    ASSERT_EQ(2u, l.sta.size());
    EXPECT_EQ(mac_of(0xC1), l.sta[0].mac);
    EXPECT_EQ(200u, l.sta[0].rx);
    EXPECT_EQ(-70, l.sta[0].rssi);
    EXPECT_EQ("iOS 17", l.sta[0].os);
    EXPECT_EQ("phone", l.sta[0].hostname);
    EXPECT_EQ(ip4(10, 0, 1, 2), l.sta[0].ip);
    EXPECT_EQ("Linux", l.sta[1].os);
    EXPECT_EQ("", l.sta[1].hostname);  // a byte outside the printable range
    ASSERT_TRUE(w.cfg);
    const wtp_cfg &c = *w.cfg;
    expect_cfg_common(c);
    EXPECT_EQ(0xAB, c.password_md5[15]);
    EXPECT_EQ(1, c.bandsteer);
    EXPECT_EQ(-75, c.bandsteering.rssi);
    EXPECT_EQ(30, c.bandsteering.percent);
    EXPECT_EQ(-80, c.fasthandover.rssi);
    EXPECT_EQ(ip4(172, 16, 0, 99), c.guest_network.end);
    EXPECT_EQ(1, c.led.mesh);
    EXPECT_EQ(100, c.manage_vlan_id);
    EXPECT_EQ("10.0.0.9:514", c.log_remote_conf);
    ASSERT_EQ(1u, c.lan_port.size());
    EXPECT_EQ(20, c.lan_port[0].vid);
    EXPECT_EQ(0, c.lan_port[0].vlan_mode);
    EXPECT_EQ(3, c.mesh_enable_total);
    ASSERT_EQ(1u, c.radio.size());
    const radio_cfg &rc = c.radio[0];
    EXPECT_EQ(156u, rc.country);
    EXPECT_EQ(36u, rc.channel.val);
    EXPECT_EQ(5, rc.data_rate);
    EXPECT_EQ(65535u, rc.aggregation.maxbytes);
    EXPECT_EQ(64u, rc.limited_clients.count);
    EXPECT_EQ("http://p.example/a", rc.portal.userurl);
    EXPECT_EQ(1812, rc.portal.radius_port);
    EXPECT_EQ(ip4(10, 9, 0, 6), rc.portal.account_server);
    EXPECT_EQ(3990, rc.portal.port);
    EXPECT_EQ(0u, rc.portal.network_type);
    EXPECT_EQ("mesh-key", rc.mesh.wpa_key);
    EXPECT_EQ(-3, rc.mesh.link_robust_threshold);
    EXPECT_EQ(-72, rc.fasthandover.rssi);
    ASSERT_EQ(1u, rc.wlan.size());
    const wlan_cfg &wc = rc.wlan[0];
    EXPECT_EQ("guest \"wifi\"", wc.ssid);
    EXPECT_EQ(std::vector<mac_addr>{mac_of(0xD1)}, wc.l2macWlist);
    EXPECT_EQ(20u, wc.vlan);
    EXPECT_EQ(1024, wc.downloadlimit);
    EXPECT_EQ(1u, wc.roaming.enable);
    EXPECT_EQ(std::vector<mac_addr>{mac_of(0xD2)}, wc.acl.mac);
    EXPECT_EQ(5u, wc.sec_mode);
    EXPECT_EQ("k1", wc.wep.key[0]);
    EXPECT_EQ("", wc.wep.key[1]);
    EXPECT_EQ("k3", wc.wep.key[2]);
    EXPECT_EQ("passphrase", wc.wpa.passphrase);
    EXPECT_EQ(1812, wc.radius.port);
    EXPECT_EQ("acc", wc.acc.secret);
    EXPECT_EQ(600u, wc.acc.interval);
    EXPECT_EQ("nas-1", wc.nas.id);
    EXPECT_EQ(2u, wc.wpa.pmf_enable);
    EXPECT_EQ(2u, wc.portal.network_type);
    EXPECT_EQ("{\"enable\":1}", wc.hotspot20);
    EXPECT_EQ(50, wc.bandsteering.percent);
}

void expect_switch(const wtp_info &w) {
    expect_common(w, WTP_TYPE_SWITCH);
    EXPECT_EQ(9, w.cfg_cap[0]);
    EXPECT_EQ(1u, w.flick_reboot_flag);
    EXPECT_EQ(2u, w.sw_max_port);
    EXPECT_EQ(100u, w.sw_dev_suport_type);
    ASSERT_EQ(2u, w.switch_hw_port.size());
    EXPECT_EQ(2u, w.switch_hw_port[1].port);
    ASSERT_EQ(1u, w.switch_port.size());
    EXPECT_EQ(1000u, w.switch_port[0].speed);
    ASSERT_EQ(1u, w.trunk_port.size());
    EXPECT_EQ("1,2", w.trunk_port[0].port);
    ASSERT_EQ(1u, w.lldp_dev_list.size());
    EXPECT_EQ("SW-9", w.lldp_dev_list[0].model);
    EXPECT_EQ(370u, w.power_budget);
    EXPECT_EQ(25u, w.allocated_power);
    ASSERT_EQ(1u, w.poe_port.size());
    EXPECT_EQ(11u, w.poe_port[0].temperature);
    ASSERT_EQ(1u, w.dev_list.size());
    const topo_dev &d = w.dev_list[0];
    EXPECT_EQ(1003u, d.no_link_info_first_time);
    EXPECT_EQ("WAP\r\nX", d.description);
    EXPECT_EQ(1, d.link_count);
    ASSERT_EQ(1u, d.link.size());
    EXPECT_EQ("eth0", d.link[0].remote_port);
    ASSERT_TRUE(w.cfg);
    expect_switch_cfg(*w.cfg);
}

struct record_kind {
    const char *name;
    bytes record;
    void (*check)(const wtp_info &);
};

std::vector<record_kind> record_kinds() {
    return {
        {"access point", ap_record(), expect_ap},
        {"switch", switch_record(), expect_switch},
        {"type 1", other_record(),
         [](const wtp_info &w) {
             expect_common(w, 1);
             EXPECT_TRUE(w.radio.empty());
             ASSERT_TRUE(w.cfg);
             expect_switch_cfg(*w.cfg);
         }},
    };
}

TEST(WtpRecord, EachKindWholeAndInPieces) {
    for (const record_kind &k : record_kinds()) {
        for (size_t piece : {size_t{1}, size_t{3}, size_t{7}, static_cast<size_t>(-1)}) {
            decoded d = decode(reply_of(k.record), wtp_keep::all, piece);
            EXPECT_EQ(0, d.status) << k.name << " piece " << piece;
            EXPECT_EQ("", d.err);
            EXPECT_EQ("", d.out);
            ASSERT_EQ(1u, d.list.items.size());
            k.check(d.list.items[0]);
        }
    }
}

// The rest of a record is stepped over at once when it is held whole, else field by field
// as its bytes arrive: for every kind and shape, both leave the reader at the next record.
TEST(WtpRecord, CommonPartAloneStepsOverTheRest) {
    std::vector<std::pair<std::string, bytes>> shapes;
    for (const record_kind &k : record_kinds()) shapes.emplace_back(k.name, k.record);
    shapes.emplace_back("two radios", ap_record(nullptr, {.radios = 2}));
    shapes.emplace_back("no radios", ap_record(nullptr, {.radios = 0}));
    shapes.emplace_back("no stations", ap_record(nullptr, {.stations = false}));
    shapes.emplace_back("no detail", ap_record(nullptr, {.detail = false}));
    for (const auto &[name, record] : shapes) {
        bytes two = reply_of(record);
        two.pop_back();
        bytes again = reply_of(record);
        two.insert(two.end(), again.begin(), again.end());
        for (size_t piece : {size_t{1}, size_t{5}, static_cast<size_t>(-1)}) {
            decoded d = decode(two, wtp_keep::common, piece);
            EXPECT_EQ(0, d.status) << name << " piece " << piece;
            EXPECT_EQ("", d.err);
            ASSERT_EQ(2u, d.list.items.size()) << name << " piece " << piece;
            for (const wtp_info &w : d.list.items) {
                expect_common(w, record[0]);
                EXPECT_TRUE(w.radio.empty());
                EXPECT_TRUE(w.dev_list.empty());
                EXPECT_FALSE(w.cfg);
            }
            if (record[0] == WTP_TYPE_AP) {
                EXPECT_EQ("SKU-1", d.list.items[1].sku);
            }
            if (record[0] == WTP_TYPE_SWITCH) {
                EXPECT_EQ(1u, d.list.items[1].flick_reboot_flag);
            }
        }
    }
}

// The parts that the brief table and the check pass step over at once (an access point's
// detail part, every kind's copy) are measured when they are held whole, and not before; a
// count that announces more than follows leaves them unmeasured.
TEST(WtpRecord, PartSizesOnlyWhenHeldWhole) {
    struct part {
        std::string name;
        bytes record;
        std::map<std::string, size_t> marks;
        bool detail;  // else the copy
        size_t start() const { return marks.at(detail ? "detail" : "copy"); }
    };
    auto ap = [](const std::string &name, ap_shape shape, bool detail) {
        part p{name, {}, {}, detail};
        p.record = ap_record(&p.marks, shape);
        return p;
    };
    std::vector<part> parts = {
        ap("detail", {}, true),
        ap("detail, two radios", {.radios = 2}, true),
        ap("detail, no radios", {.radios = 0}, true),
        ap("detail, no stations", {.stations = false}, true),
        ap("no detail", {.detail = false}, true),
        ap("copy", {}, false),
        ap("copy, two radios", {.radios = 2}, false),
        ap("no copy", {.copy = false}, false),
        {"switch copy", {}, {}, false},
        {"type 1 copy", {}, {}, false},
    };
    parts[8].record = switch_record(&parts[8].marks);
    parts[9].record = other_record(&parts[9].marks);
    // What the part's measure gives over `held` bytes of `record` (p's record, or a changed
    // copy of it) from the part's start.
    auto size_of = [](const part &p, const bytes &record, size_t held) {
        const uint8_t *at = record.data() + p.start();
        return p.detail ? ap_detail_size(at, held) : cfg_copy_size(at, held, record[0]);
    };
    for (const part &p : parts) {
        const size_t size = (p.detail ? p.marks.at("copy") : p.record.size()) - p.start();
        for (size_t held = 0; held <= p.record.size() - p.start(); ++held)
            ASSERT_EQ(held < size ? 0 : size, size_of(p, p.record, held))
                << p.name << ", held " << held;
    }
    const std::pair<const char *, size_t> counts[] = {
        {"radio_count", 0}, {"wlan_count", 0}, {"sta_count", 0}, {"ac_count", 5},
        {"lan_count", 5}, {"radio_cfg_count", 5}, {"wlan_cfg_count", 5}, {"white_count", 5},
        {"acl_count", 5}, {"sw_port_cfg_count", 8}, {"manage_mac_count", 8},
        {"poe_cfg_count", 8}, {"lifeguard_count", 8}, {"pdl_count", 8}, {"ac_count", 9},
    };
    for (const auto &[count, row] : counts) {
        const part &p = parts[row];
        bytes record = p.record;
        record[p.marks.at(count)] = 0x7F;  // an u8 count of 127, or an u32 one of over 2^30
        EXPECT_EQ(0u, size_of(p, record, record.size() - p.start())) << p.name << ", " << count;
    }
}

TEST(WtpRecord, CutAtEveryOffsetFailsSilently) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    for (const record_kind &k : record_kinds()) {
        const bytes reply = reply_of(k.record);
        for (wtp_keep keep : {wtp_keep::all, wtp_keep::common}) {
            for (size_t cut = 0; cut < reply.size(); ++cut) {
                memory_source src(reply.data(), cut);
                reply_reader in(src);
                wtp_list list;
                EXPECT_EQ(1, read_wtp_list(in, list, keep)) << k.name << " cut at " << cut;
                EXPECT_TRUE(list.items.empty());
            }
        }
        for (size_t cut = 0; cut < reply.size(); ++cut) {  // the check before printing
            memory_source src(reply.data(), cut);
            wtp_reply held;
            reply_reader in(src, held.bytes);
            EXPECT_EQ(1, check_wtp_reply(in, held.records)) << k.name << " cut at " << cut;
        }
    }
    EXPECT_EQ("", testing::internal::GetCapturedStderr());
    EXPECT_EQ("", testing::internal::GetCapturedStdout());
}

// A reply copied whole as a socket delivers it (in pieces of any size), checked, then
// decoded a record at a time into storage the records before it left: the printers give
// what they give for the list of records decoded afresh. Every sequence of three records of
// every kind and shape (more radios, then fewer; stations, then none; a copy, then none).
TEST(WtpRecord, HeldReplyPrintsAsTheList) {
    auto printed = [](auto &&print) {
        testing::internal::CaptureStdout();
        EXPECT_EQ(0, print());
        return testing::internal::GetCapturedStdout();
    };
    std::vector<std::pair<std::string, bytes>> shapes;
    for (const record_kind &k : record_kinds()) shapes.emplace_back(k.name, k.record);
    shapes.emplace_back("two radios", ap_record(nullptr, {.radios = 2}));
    shapes.emplace_back("no stations", ap_record(nullptr, {.stations = false}));
    shapes.emplace_back("bare", ap_record(nullptr, {.detail = false, .copy = false}));
    const size_t pieces[] = {1, 7, 4096};
    size_t n = 0;
    for (const auto &a : shapes)
        for (const auto &b : shapes)
            for (const auto &c : shapes) {
                const std::string name = a.first + ", " + b.first + ", " + c.first;
                bytes reply;
                for (const bytes *rec : {&a.second, &b.second, &c.second}) {
                    reply.push_back(0);
                    reply.insert(reply.end(), rec->begin(), rec->end());
                }
                reply.push_back(3);  // the end marker: any byte but 0
                wtp_reply held;
                memory_source src(reply.data(), reply.size(), pieces[n++ % 3]);
                reply_reader in(src, held.bytes);
                ASSERT_EQ(0, check_wtp_reply(in, held.records)) << name;
                EXPECT_EQ(3u, held.records);
                EXPECT_EQ(reply, bytes(held.bytes.data(), held.bytes.data() + held.bytes.size()));
                for (bool json : {true, false}) {
                    decoded d = decode(reply);  // afresh: the JSON form changes texts in place
                    ASSERT_EQ(0, d.status);
                    wtp_reply_records records(held);
                    const std::string got = printed([&] {
                        return json ? print_wtp_json(records, true, false)
                                    : print_wtp_detail(records, true, false);
                    });
                    const std::string want = printed([&] {
                        return json ? print_wtp_json(d.list, true, false)
                                    : print_wtp_detail(d.list, true, false);
                    });
                    EXPECT_EQ(want, got) << name << (json ? " json" : " text");
                    EXPECT_EQ(3u, records.count());
                }
            }
}

// A reply of megabytes is kept whole as its block grows (and moves) many times over.
TEST(WtpRecord, LongReplyIsHeldByteForByte) {
    const bytes rec = ap_record();
    bytes reply;
    size_t records = 0;
    for (; reply.size() < 5 * 1024 * 1024; ++records) {
        reply.push_back(0);
        reply.insert(reply.end(), rec.begin(), rec.end());
    }
    reply.push_back(2);
    for (size_t piece : {size_t{4093}, size_t{1} << 20}) {
        memory_source src(reply.data(), reply.size(), piece);
        wtp_reply held;
        reply_reader in(src, held.bytes);
        ASSERT_EQ(0, check_wtp_reply(in, held.records)) << piece;
        EXPECT_EQ(records, held.records);
        ASSERT_EQ(reply.size(), held.bytes.size());
        EXPECT_EQ(0, memcmp(reply.data(), held.bytes.data(), reply.size())) << piece;
    }
}

TEST(WtpRecord, EmptyListAndNoRecords) {
    decoded d = decode({7});
    EXPECT_EQ(0, d.status);
    EXPECT_TRUE(d.list.items.empty());
    d = decode({});
    EXPECT_EQ(1, d.status);
    EXPECT_EQ("", d.err);
}

// A count the AC announces far beyond what it sends takes memory for what arrived only:
// no allocation of a megabyte or more is made for it, and the reply fails silently.
TEST(WtpRecord, HostileCountsTakeMemoryForWhatArrivedOnly) {
    struct hostile {
        const char *mark;
        bool ap;
        size_t width;
        uint32_t value;
    } cases[] = {
        {"radio_count", true, 1, 0xFF},
        {"wlan_count", true, 4, 0xFFFFFFFF},
        {"sta_count", true, 4, 0xFFFFFFFF},
        {"ac_count", true, 4, 0xFFFFFFFF},
        {"lan_count", true, 4, 0x7FFFFFFF},
        {"radio_cfg_count", true, 4, 0xFFFFFFFF},
        {"wlan_cfg_count", true, 4, 0xFFFFFFFF},
        {"white_count", true, 4, 0xFFFFFFFF},
        {"acl_count", true, 4, 0xFFFFFFFF},
        {"hw_port_count", false, 4, 0xFFFFFFFF},
        {"port_count", false, 1, 0xFF},
        {"topo_count", false, 2, 0xFFFF},
        {"link_count", false, 4, 0x7FFFFFFF},
        {"sw_port_cfg_count", false, 4, 0xFFFFFFFF},
        {"manage_mac_count", false, 4, 0x80000000},
        {"poe_cfg_count", false, 4, 0xFFFFFFFF},
        {"lifeguard_count", false, 4, 0xFFFFFFFF},
        {"pdl_count", false, 4, 0xFFFFFFFF},
    };
    for (const hostile &h : cases) {
        std::map<std::string, size_t> marks;
        bytes record = h.ap ? ap_record(&marks) : switch_record(&marks);
        ASSERT_TRUE(marks.count(h.mark)) << h.mark;
        size_t at = marks[h.mark];
        for (size_t i = 0; i < h.width; ++i)
            record[at + i] = static_cast<uint8_t>(h.value >> (8 * (h.width - 1 - i)));
        bytes reply = reply_of(record);
        // The rest of the record follows as elements until the stream ends; and once more
        // with nothing after the count.
        for (size_t len : {reply.size(), 1 + at + h.width}) {
            for (wtp_keep keep : {wtp_keep::all, wtp_keep::common}) {
                decoded d;
                {
                    failing_allocations oom(1 << 20);
                    d = decode(bytes(reply.begin(), reply.begin() + len), keep);
                }
                EXPECT_EQ(1, d.status) << h.mark << " " << len;
                EXPECT_EQ("", d.err) << h.mark << " " << len;
                EXPECT_TRUE(d.list.items.empty());
            }
        }
    }
}

TEST(WtpRecord, TextsThatCannotBeStoredEndTheReply) {
    wire w;
    w.u8(0);
    common_part(w, 1);
    w.u8(0).u8(1);
    const std::string big(5000, 'm');
    // The same record with a model name of 5000 bytes.
    const size_t model_at = 1 + 1 + 6 + 4 + 2;
    wire t;
    t.b.assign(w.b.begin(), w.b.begin() + model_at);
    t.text(big);
    t.b.insert(t.b.end(), w.b.begin() + model_at + 2 + 8, w.b.end());
    const bytes reply = t.b;
    decoded d = decode(reply);
    EXPECT_EQ(0, d.status);
    ASSERT_EQ(1u, d.list.items.size());
    EXPECT_EQ(big, d.list.items[0].model);
    {
        failing_allocations oom(4096);
        d = decode(reply);
    }
    EXPECT_EQ(1, d.status);
    EXPECT_EQ("ERROR: Out of memory\n", d.err);
    EXPECT_TRUE(d.list.items.empty());
}

TEST(AcInfo, WholeAndCutAtEveryOffset) {
    wire w;
    w.text("2.1.0").u32(1024).u32(300).u32(280).u32(5000).u32(3).u32(1);
    {
        memory_source src(w.b.data(), w.b.size(), 2);
        reply_reader in(src);
        ac_info info;
        ASSERT_EQ(0, read_ac_info(in, info));
        EXPECT_EQ("2.1.0", info.cw_ver);
        EXPECT_EQ(1024u, info.max_wtps);
        EXPECT_EQ(300u, info.managed_wtps);
        EXPECT_EQ(280u, info.active_wtps);
        EXPECT_EQ(5000u, info.total_sta);
        EXPECT_EQ(3u, info.upg_wtps);
        EXPECT_EQ(1u, info.redundant_mode);
    }
    for (size_t cut = 0; cut < w.b.size(); ++cut) {
        memory_source src(w.b.data(), cut);
        reply_reader in(src);
        ac_info info;
        testing::internal::CaptureStderr();
        EXPECT_EQ(1, read_ac_info(in, info)) << cut;
        EXPECT_EQ("", testing::internal::GetCapturedStderr());
    }
}

}  // namespace
