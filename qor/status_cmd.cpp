// Status commands: wtps, wtpflag, ac and online, and the small printers they share.
#include <cstdio>
#include <string>

#include "ops.h"
#include "status.h"

namespace {

// A MAC list option that a later occurrence replaces.
int take_mac_list(const option_arg &a, std::vector<mac_addr> &macs, const char *&text) {
    if (!parse_mac_list(a.value, macs)) return opt_invalid(OPT_MAC, a.value);
    text = a.value;
    return 0;
}

// The request carries the MAC count in 16 bits.
bool mac_count_fits(const std::vector<mac_addr> &macs) { return macs.size() <= 0xFFFF; }

}  // namespace

int print_wtp_list(wtp_list &list, bool json, bool password, bool brief, bool basic) {
    if (json) return print_wtp_json(list, password, basic);
    if (brief) return print_wtp_brief(list);
    return print_wtp_detail(list, password, basic);
}

int print_fw_results(wtp_records &records) {
    return print_held(records, [&](out_buf &out) {
        while (const wtp_info *w = records.next()) {
            put_mac(out, w->mac.data());
            out.put_char('=');
            out.put_i32(w->upg_state);
            out.put_char('\n');
        }
    });
}

int print_fw_results(wtp_list &list) {
    wtp_list_records records(list);
    return print_fw_results(records);
}

int print_upgrade_counts(wtp_records &records) {
    int all = 0, waiting = 0, offline = 0;
    while (const wtp_info *w = records.next()) {
        if (w->upg_img == 0) continue;
        ++all;
        if (w->sub_state == 9) ++waiting;
        if (w->state == 0 && w->sub_state == 0) ++offline;
    }
    if (records.failed()) return 1;
    printf("Waiting WTPs=%d\n", waiting);
    printf("All WTPs=%d\n", all);
    printf("Offline WTPs=%d\n", offline);
    return 0;
}

void print_upgrade_counts(wtp_list &list) {
    wtp_list_records records(list);
    print_upgrade_counts(records);
}

int print_upgrading_count(wtp_records &records) {
    int n = 0;
    while (const wtp_info *w = records.next())
        if (w->sub_state == 4 || w->upg_img != 0) ++n;
    if (records.failed()) return 1;
    printf("%d\n", n);
    return 0;
}

void print_upgrading_count(wtp_list &list) {
    wtp_list_records records(list);
    print_upgrading_count(records);
}

int cmd_wtps(const option_arg *args, int count) {
    uint32_t flags = WTP_SEL_ALL;
    std::vector<mac_addr> macs;
    const char *mac_text = nullptr;
    bool json = false, managed = false, unmanaged = false, password = false, fwresult = false;
    bool no_cfg = false, brief = false, basic = false;
    for (int i = 0; i < count; ++i) {
        if (option_refused(args[i])) return 1;
        switch (args[i].code) {
        case OPT_MAC:
            if (take_mac_list(args[i], macs, mac_text)) return 1;
            break;
        case OPT_JSON: json = true; break;
        case OPT_MANAGED: managed = true; break;
        case OPT_UNMANAGED: unmanaged = true; break;
        case OPT_JOIN: flags &= ~WTP_SEL_UNJOINED; break;
        case OPT_PASSWORD: password = true; break;
        case OPT_FWRESULT:
            fwresult = true;
            flags &= ~(WTP_SEL_CFG | WTP_SEL_DETAIL);
            break;
        case OPT_NO_CFG:
            no_cfg = true;
            flags &= ~WTP_SEL_CFG;
            break;
        case OPT_BREIF:
            brief = true;
            flags &= ~WTP_SEL_CFG;
            break;
        case OPT_BASIC:
            basic = true;
            flags &= ~(WTP_SEL_CFG | WTP_SEL_DETAIL);
            break;
        case OPT_NO_STAINF: flags &= ~WTP_SEL_STA; break;
        default: break;
        }
    }
    if (json && brief) return opt_cannot_combine(OPT_JSON, OPT_BREIF);
    if (basic && no_cfg) return opt_cannot_combine(OPT_BASIC, OPT_NO_CFG);
    if (managed != unmanaged) flags &= managed ? ~WTP_SEL_UNMANAGED : ~WTP_SEL_MANAGED;
    if (!mac_count_fits(macs)) return opt_invalid(OPT_MAC, mac_text);

    if (brief || fwresult) {
        // These print the common fields alone, a short line per record: each record is
        // decoded as it arrives and its line held until the reply has come whole.
        if (send_wtp_list_request(ac_sock, flags, macs)) return 1;
        wtp_reply_records records(ac_sock, wtp_keep::common);
        return fwresult ? print_fw_results(records) : print_wtp_brief(records);
    }
    // The full forms hold the reply's bytes, checked whole, and decode each record only
    // when it is printed: a fleet's decoded records take several times the reply's size.
    wtp_reply reply;
    if (get_wtp_reply(ac_sock, reply, flags, macs)) return 1;
    wtp_reply_records records(reply);
    return json ? print_wtp_json(records, password, basic)
                : print_wtp_detail(records, password, basic);
}

int cmd_wtpflag(const option_arg *args, int count) {
    std::vector<mac_addr> macs;
    const char *mac_text = nullptr;
    int flag = 0;
    for (int i = 0; i < count; ++i) {
        if (option_refused(args[i])) return 1;
        switch (args[i].code) {
        case OPT_MAC:
            if (take_mac_list(args[i], macs, mac_text)) return 1;
            break;
        case OPT_FLAG: flag = decimal_value(args[i].value); break;
        default: break;
        }
    }
    if (!mac_count_fits(macs)) return opt_invalid(OPT_MAC, mac_text);

    if (send_wtp_list_request(
            ac_sock, WTP_SEL_MANAGED | WTP_SEL_UNMANAGED | WTP_SEL_UNJOINED | WTP_SEL_CFG, macs))
        return 1;
    wtp_reply_records records(ac_sock, wtp_keep::common);
    if (flag == 1) return print_upgrade_counts(records);
    if (flag == 2) return print_upgrading_count(records);
    // The reply is still read whole first: a failed one says so instead.
    while (records.next()) {
    }
    if (records.failed()) return 1;
    fprintf(stderr, "ERROR: Unknown flag %d.\n", flag);
    return 1;
}

int cmd_online(const option_arg *args, int count) {
    for (int i = 0; i < count; ++i)
        if (option_refused(args[i])) return 1;
    if (send_wtp_list_request(ac_sock, WTP_SEL_MANAGED | WTP_SEL_UNMANAGED | WTP_SEL_UNJOINED,
                              {}))
        return 1;
    wtp_reply_records records(ac_sock, wtp_keep::common);
    unsigned online = 0;
    while (const wtp_info *w = records.next())
        if (w->state == 5) ++online;
    if (records.failed()) return 1;
    printf("online WTP: %u/%u\n", online, static_cast<unsigned>(records.count()));
    return 0;
}

namespace {

// The AC's counters in the order both forms print them: the redundancy mode comes before the
// upgrading count, although it arrives after it.
struct ac_counter_row {
    const char *label;  // text form
    const char *key;    // JSON form
    uint32_t ac_info::*field;
};
constexpr ac_counter_row ac_counters[] = {
    {"Max WTPs", "max_wtps", &ac_info::max_wtps},
    {"Managed WTPs", "managed_wtps", &ac_info::managed_wtps},
    {"Active WTPs", "active_wtps", &ac_info::active_wtps},
    {"Total Stations", "total_sta", &ac_info::total_sta},
    {"Redundant Mode", "redundant_mode", &ac_info::redundant_mode},
    {"Upgrading WTPs", "upg_wtps", &ac_info::upg_wtps},
};

}  // namespace

int print_ac_info(const ac_info &info, bool json) {
    out_buf out;
    if (!json) {
        out.put_literal("Capwap Ver\t");
        text_form_put(out, info.cw_ver.c_str());
        out.put_char('\n');
        for (const ac_counter_row &r : ac_counters) {
            out.put_cstr(r.label);
            out.put_char('\t');
            out.put_u32(info.*r.field);
            out.put_char('\n');
        }
        return out.finish();
    }
    // One member without braces around it and without a line end; the version text as it
    // came (stored).
    out.put_literal("\"ac_info\":{\"cw_ver\":\"");
    json_put_stored(out, info.cw_ver.c_str());
    out.put_char('"');
    for (const ac_counter_row &r : ac_counters) {
        out.put_literal(",\"");
        out.put_cstr(r.key);
        out.put_literal("\":");
        out.put_u32(info.*r.field);
    }
    out.put_char('}');
    return out.finish();
}

int cmd_ac(const option_arg *args, int count) {
    for (int i = 0; i < count; ++i)
        if (option_refused(args[i])) return 1;
    ac_info info;
    if (get_ac_info(ac_sock, info)) return 1;
    return print_ac_info(info, count > 0);
}
