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

int print_fw_results(const wtp_list &list) {
    out_buf out;
    for (const wtp_info &w : list.items) {
        put_mac(out, w.mac.data());
        out.put_char('=');
        out.put_i32(w.upg_state);
        out.put_char('\n');
    }
    return out.finish();
}

void print_upgrade_counts(const wtp_list &list) {
    int all = 0, waiting = 0, offline = 0;
    for (const wtp_info &w : list.items) {
        if (w.upg_img == 0) continue;
        ++all;
        if (w.sub_state == 9) ++waiting;
        if (w.state == 0 && w.sub_state == 0) ++offline;
    }
    printf("Waiting WTPs=%d\n", waiting);
    printf("All WTPs=%d\n", all);
    printf("Offline WTPs=%d\n", offline);
}

void print_upgrading_count(const wtp_list &list) {
    int n = 0;
    for (const wtp_info &w : list.items)
        if (w.sub_state == 4 || w.upg_img != 0) ++n;
    printf("%d\n", n);
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
        // These print the common fields alone: a list of common parts.
        wtp_list list;
        if (get_wtp_list(ac_sock, list, flags, macs, wtp_keep::common)) return 1;
        const int rc = fwresult ? print_fw_results(list) : print_wtp_brief(list);
        wtp_list_free(list);
        return rc;
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

    wtp_list list;
    if (get_wtp_list(ac_sock, list,
                     WTP_SEL_MANAGED | WTP_SEL_UNMANAGED | WTP_SEL_UNJOINED | WTP_SEL_CFG, macs,
                     wtp_keep::common))
        return 1;
    int rc = 0;
    if (flag == 1) {
        print_upgrade_counts(list);
    } else if (flag == 2) {
        print_upgrading_count(list);
    } else {
        fprintf(stderr, "ERROR: Unknown flag %d.\n", flag);
        rc = 1;
    }
    wtp_list_free(list);
    return rc;
}

int cmd_online(const option_arg *args, int count) {
    for (int i = 0; i < count; ++i)
        if (option_refused(args[i])) return 1;
    wtp_list list;
    if (get_wtp_list(ac_sock, list, WTP_SEL_MANAGED | WTP_SEL_UNMANAGED | WTP_SEL_UNJOINED, {},
                     wtp_keep::common))
        return 1;
    unsigned online = 0;
    for (const wtp_info &w : list.items)
        if (w.state == 5) ++online;
    printf("online WTP: %u/%u\n", online, static_cast<unsigned>(list.items.size()));
    wtp_list_free(list);
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
