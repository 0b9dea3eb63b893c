// Command-line front end of qor.
#include "front.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <new>

#include "aclink.h"
#include "ops.h"

namespace {

const char *const help_json[] = {"--json\t\t\tprint in json format", nullptr};

const char *const help_wtps[] = {
    "--json\t\t\tprint in json format",
    "--managed\t\tprint managed wtps only",
    "--unmanaged\t\tprint unmanaged wtps only",
    "--join\t\t\tprint joined wtps only",
    "--password\t\tprint password MD5",
    "--mac MAC\t\tprint the wtp specified by mac address list",
    "--fwresult\t\tprint the result of upgrading firmware",
    "--breif\t\t\tprint a breif list",
    "--no_cfg\t\tfilter out configuration",
    "--basic\t\t\tprint wtp's basic info",
    "--no_stainf\t\tfilter out station info",
    nullptr,
};

const char *const help_cfg[] = {
    "--mac MAC\t\tthe wtp's mac address list",
    "--type TYPE\t\tspecify the type of cfg file. 0:AP 1:Switch",
    "--add\t\t\tadd the wtp to management list",
    "--del\t\t\tdelete the wtp from management list",
    "--file FILE\t\tspecify the json config file",
    "--ip IP/MSK/GW/DNS1/DNS2 specify ip setting when the wtp joins",
    "--wait SEC\t\thow many seconds to wait before applying config",
    nullptr,
};

const char *const help_upg[] = {
    "--mac MAC\t\tthe wtp's mac address list",
    "--period SEC\t\toffline timeout value for upgrading",
    nullptr,
};

const char *const help_rst[] = {
    "--mac MAC\t\tthe wtp's mac address list",
    "--factory\t\treset to factory settings",
    "--wait SEC\t\thow many seconds to wait before reset",
    nullptr,
};

const char *const help_mem[] = {"--all\t\t\tlist every memory info instead of a summary", nullptr};

const char *const help_initfw[] = {"--fwstat\t\tlist initialize WTPs status of firmware", nullptr};

const char *const help_wtpflag[] = {
    "--mac MAC\t\tthe wtp's mac address list",
    "--flag\t\t\tlist Display the WTP information according to the following flag:",
    "\t\t\t1: show 2step upgrading AP infomation according to mac list",
    "\t\t\t2: show number of upgrading AP according to mac list",
    nullptr,
};

const char *const help_scan[] = {
    "--mac MAC\t\tthe wtp's mac address list",
    "--radio 2g/5g\t\tthe radio type",
    nullptr,
};

const char *const help_radio_auto[] = {
    "--radio 2g/5g\t\tradio type",
    "--enable 0/1\t\tenable or not",
    "--period \t\tinterval in seconds",
    nullptr,
};

const char *const help_kick[] = {
    "--mac MAC\t\tthe wtp's mac address list",
    "--radio 2g/5g\t\tthe sitesurvey radio",
    "--wlan NUM\t\tthe wlan number",
    "--client MAC\t\tthe client's mac address list",
    nullptr,
};

const char *const help_dbg[] = {
    "--enable 0/1\t\tenable or not",
    "--wtp\t\t\tset wtp debug log",
    "--mac MAC\t\t\tthe wtp's MAC to be set",
    nullptr,
};

const char *const help_cac[] = {
    "--mac MAC\t\tthe wtp's mac address list",
    "--ip ADDR\t\tAC IP address or host name",
    nullptr,
};

const char *const help_sh[] = {
    "--mac MAC\t\tthe wtp's mac address list",
    "--cmd COMMAND\t\tshell commag\t\t",
    "--type 0/1/2\t\tspecify output type. 0:all 1:stdout 2:stderr",
    "--timeout SEC\t\tspecify how many seconds to wait for commmand execution",
    nullptr,
};

const char *const help_fwlist[] = {"--mac MAC\t\tthe wtp's mac address list", nullptr};

constexpr uint32_t bits(std::initializer_list<int32_t> codes) {
    uint32_t m = 0;
    for (int32_t c : codes) m |= opt_bit(c);
    return m;
}

constexpr uint32_t RADIO_AUTO_OPTS = bits({OPT_RADIO, OPT_ENABLE, OPT_PERIOD});

}  // namespace

const std::array<command_def, COMMAND_COUNT> command_table = {{
    {"ac", "Print AC information", help_json, cmd_ac, bits({OPT_JSON})},
    {"wtps", "Print WTP information", help_wtps, cmd_wtps,
     bits({OPT_MAC, OPT_JSON, OPT_MANAGED, OPT_UNMANAGED, OPT_JOIN, OPT_PASSWORD, OPT_FWRESULT,
           OPT_NO_CFG, OPT_BREIF, OPT_BASIC, OPT_NO_STAINF})},
    {"cfg", "Update WTP setting", help_cfg, cmd_cfg,
     bits({OPT_MAC, OPT_TYPE, OPT_ADD, OPT_DEL, OPT_FILE, OPT_IP, OPT_WAIT})},
    {"upg", "Upgrade WTP image", help_upg, cmd_upg, bits({OPT_MAC, OPT_PERIOD, OPT_TYPE})},
    {"rst", "Reset WTP", help_rst, cmd_rst,
     bits({OPT_MAC, OPT_FACTORY, OPT_WAIT, OPT_FLICKREBOOT})},
    {"mem", "Show AC memory info", help_mem, cmd_mem, bits({OPT_ALL})},
    {"initfw", "Set Upgrading state", help_initfw, cmd_initfw, bits({OPT_FWSTAT})},
    {"wtpflag", "Show filter WTPs", help_wtpflag, cmd_wtpflag, bits({OPT_MAC, OPT_FLAG})},
    {"scan", "Do sitesurvey", help_scan, cmd_scan, bits({OPT_MAC, OPT_RADIO})},
    {"bgscan", "Do background sitesurvey", help_radio_auto, cmd_bgscan, RADIO_AUTO_OPTS},
    {"autoch", "Do auto channel selection", help_radio_auto, cmd_autoch, RADIO_AUTO_OPTS},
    {"autotp", "Do auto tx power", help_radio_auto, cmd_autotp, RADIO_AUTO_OPTS},
    {"kick", "Kick wireless client", help_kick, cmd_kick,
     bits({OPT_MAC, OPT_RADIO, OPT_WLAN, OPT_CLIENT})},
    {"online", "Show the number of online wtps", nullptr, cmd_online, 0},
    {"exit", "Terminate AC", nullptr, cmd_exit, 0, true},
    {"kill", "Kill AC", nullptr, cmd_kill, 0, true},
    {"dbg", "Enable/Disable Debug Log", help_dbg, cmd_dbg, bits({OPT_ENABLE, OPT_WTP, OPT_MAC})},
    {"nodc", "Disable AC discovery", nullptr, cmd_nodc, OPT_ANY},
    {"cac", "Let WTP connect to specific AC", help_cac, cmd_cac, bits({OPT_MAC, OPT_IP})},
    {"sh", "Do shell command", help_sh, cmd_sh, bits({OPT_MAC, OPT_CMD, OPT_TYPE, OPT_TIMEOUT})},
    {"fwlist", "Show firmware upgrade list", help_fwlist, cmd_fwlist, bits({OPT_MAC})},
}};

const std::array<long_option, LONG_OPTION_COUNT> long_options = {{
    {"file", true, OPT_FILE},
    {"ip", true, OPT_IP},
    {"acserver", true, OPT_ACSERVER},
    {"acport", true, OPT_ACPORT},
    {"mac", true, OPT_MAC},
    {"add", false, OPT_ADD},
    {"del", false, OPT_DEL},
    {"json", false, OPT_JSON},
    {"managed", false, OPT_MANAGED},
    {"unmanaged", false, OPT_UNMANAGED},
    {"join", false, OPT_JOIN},
    {"period", true, OPT_PERIOD},
    {"password", false, OPT_PASSWORD},
    {"factory", false, OPT_FACTORY},
    {"all", false, OPT_ALL},
    {"fwstat", true, OPT_FWSTAT},
    {"fwresult", false, OPT_FWRESULT},
    {"flag", true, OPT_FLAG},
    {"no_cfg", false, OPT_NO_CFG},
    {"radio", true, OPT_RADIO},
    {"wlan", true, OPT_WLAN},
    {"client", true, OPT_CLIENT},
    {"type", true, OPT_TYPE},
    {"breif", false, OPT_BREIF},
    {"enable", true, OPT_ENABLE},
    {"basic", false, OPT_BASIC},
    {"cmd", true, OPT_CMD},
    {"wtp", false, OPT_WTP},
    {"no_stainf", false, OPT_NO_STAINF},
    {"timeout", true, OPT_TIMEOUT},
    {"wait", true, OPT_WAIT},
    {"flickreboot", false, OPT_FLICKREBOOT},
}};

const command_def *find_command(const char *name) {
    for (const command_def &c : command_table)
        if (strcmp(c.name, name) == 0) return &c;
    return nullptr;
}

bool command_accepts(const command_def &cmd, int32_t code) {
    if (code < 0 || code > 31) return false;
    return (cmd.accepts & opt_bit(code)) != 0;
}

const char *option_name(int32_t code) {
    for (const long_option &o : long_options)
        if (o.code == code) return o.name;
    return "?";
}

void print_usage(const char *prog) {
    printf("usage: %s COMMAND [ARGS]\n\nAvailable COMMAND type:\n", prog);
    for (const command_def &c : command_table) {
        printf("%s\t%s\n", c.name, c.help);
        if (c.option_help)
            for (const char *const *h = c.option_help; *h; ++h) printf("\t%s\n", *h);
    }
}

namespace {

// Looks up a long option as getopt_long does: an exact name wins, otherwise a prefix
// that matches exactly one row. Returns nullptr for unknown or ambiguous names.
const long_option *match_long_option(const char *name, size_t len) {
    const long_option *found = nullptr;
    int prefix_hits = 0;
    for (const long_option &o : long_options) {
        if (strncmp(o.name, name, len) != 0) continue;
        if (strlen(o.name) == len) return &o;
        found = &o;
        ++prefix_hits;
    }
    return prefix_hits == 1 ? found : nullptr;
}

}  // namespace

int parse_command_line(int argc, char **argv, parsed_command &out) {
    const char *prog = (argc > 0 && argv[0]) ? argv[0] : "qor";
    out = parsed_command{};
    if (argc < 2) {
        print_usage(prog);
        return 1;
    }
    out.cmd = find_command(argv[1]);
    if (!out.cmd) {
        fprintf(stderr, "ERROR: Wrong command specified '%s'\n", argv[1]);
        return 1;
    }
    for (int i = 2; i < argc; ++i) {
        const char *word = argv[i];
        if (word[0] != '-' || word[1] == '\0') continue;  // not an option: skipped
        if (word[1] != '-') {
            // There are no short options; the first letter of the cluster is reported.
            unsigned char c = static_cast<unsigned char>(word[1]);
            if (isprint(c))
                fprintf(stderr, "ERROR: Unknown option -%c.\n", c);
            else
                fprintf(stderr, "ERROR: Unknown option character '\\x%02x'.\n", c);
            return 1;
        }
        if (word[2] == '\0') break;  // "--" ends the options
        const char *name = word + 2;
        const char *eq = strchr(name, '=');
        size_t len = eq ? static_cast<size_t>(eq - name) : strlen(name);
        const long_option *opt = match_long_option(name, len);
        if (!opt) {
            fprintf(stderr, "ERROR: Unknown option `%s'.\n", word);
            return 1;
        }
        const char *value = nullptr;
        if (opt->has_value) {
            if (eq) {
                value = eq + 1;
            } else if (i + 1 < argc) {
                value = argv[++i];
            } else {
                fprintf(stderr, "ERROR: Option --%s requires an argument.\n", opt->name);
                return 1;
            }
        } else if (eq) {
            fprintf(stderr, "ERROR: Option --%s doesn't allow an argument.\n", opt->name);
            return 1;
        }
        if (opt->code == OPT_ACSERVER) {
            out.server = value;
        } else if (opt->code == OPT_ACPORT) {
            out.port = decimal_value(value);
        } else {
            if (out.count >= static_cast<int>(MAX_OPTION_ARGS)) {
                fprintf(stderr, "ERROR: Too many arguments\n");
                return 1;
            }
            out.args[out.count++] =
                option_arg{opt->code, value, !command_accepts(*out.cmd, opt->code)};
        }
    }
    return 0;
}

int qor_main(int argc, char **argv) {
    parsed_command pc;
    if (parse_command_line(argc, argv, pc) != 0) return 1;
    ac_sock = ac_connect(pc.server, pc.port);
    int rc;
    try {
        rc = pc.cmd->handler(pc.args.data(), pc.count);
    } catch (const std::bad_alloc &) {
        // A handler that ran out of memory fails; the AC still gets its closing byte.
        fprintf(stderr, "ERROR: Out of memory\n");
        rc = 1;
    }
    ac_disconnect(ac_sock, pc.cmd->peer_may_close);
    ac_sock = -1;
    return rc;
}

// ---- option values ---------------------------------------------------------------------

int decimal_value(const char *text) {
    if (!text) return 0;
    errno = 0;
    long v = strtol(text, nullptr, 10);
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

namespace {

// Reads one field of 1 or more digits in `base`; saturates instead of overflowing.
bool read_number(const char *&p, int base, uint32_t &out) {
    uint32_t v = 0;
    const char *start = p;
    for (;;) {
        int d;
        char ch = *p;
        if (ch >= '0' && ch <= '9')
            d = ch - '0';
        else if (base == 16 && ch >= 'a' && ch <= 'f')
            d = ch - 'a' + 10;
        else if (base == 16 && ch >= 'A' && ch <= 'F')
            d = ch - 'A' + 10;
        else
            break;
        if (v < 0x10000000u) v = v * static_cast<uint32_t>(base) + static_cast<uint32_t>(d);
        ++p;
    }
    out = v;
    return p != start;
}

}  // namespace

bool parse_mac(const char *text, uint8_t mac[6]) {
    if (!text) return false;
    const char *p = text;
    uint8_t tmp[6];
    for (int i = 0; i < 6; ++i) {
        if (i > 0) {
            if (*p != ':') return false;
            ++p;
        }
        uint32_t v;
        if (!read_number(p, 16, v) || v > 0xFF) return false;
        tmp[i] = static_cast<uint8_t>(v);
    }
    // Text after the sixth field is ignored.
    bool all_zero = true;
    for (uint8_t b : tmp)
        if (b) all_zero = false;
    if (all_zero) return false;
    memcpy(mac, tmp, 6);
    return true;
}

namespace {

// Keeps the first of each address, in the order given. A list may hold ten thousand
// addresses, typed while the AC's connection is open: sorted, not compared pairwise.
void drop_repeated(std::vector<mac_addr> &list) {
    std::vector<std::pair<uint64_t, uint32_t>> order;
    order.reserve(list.size());
    for (size_t i = 0; i < list.size(); ++i) {
        uint64_t key = 0;
        for (uint8_t b : list[i]) key = key << 8 | b;
        order.emplace_back(key, static_cast<uint32_t>(i));
    }
    std::sort(order.begin(), order.end());
    std::vector<bool> repeated(list.size());
    for (size_t k = 1; k < order.size(); ++k)
        if (order[k].first == order[k - 1].first) repeated[order[k].second] = true;
    size_t kept = 0;
    for (size_t i = 0; i < list.size(); ++i)
        if (!repeated[i]) list[kept++] = list[i];
    list.resize(kept);
}

} // namespace

bool parse_mac_list(const char *text, std::vector<mac_addr> &list) {
    list.clear();
    if (!text) return false;
    try {
        std::string copy(text);
        size_t pos = 0;
        while (pos <= copy.size()) {
            size_t comma = copy.find(',', pos);
            if (comma == std::string::npos) comma = copy.size();
            std::string piece = copy.substr(pos, comma - pos);
            pos = comma + 1;
            if (piece.empty()) continue;
            mac_addr m;
            if (!parse_mac(piece.c_str(), m.data()) || (m[0] & 1)) {
                list.clear();
                return false;
            }
            list.push_back(m);
        }
        drop_repeated(list);
        return true;
    } catch (const std::bad_alloc &) {
        list.clear();
        return false;
    }
}

namespace {

int scan_fields(const char *text, uint32_t *fields, int max_fields, const char **end) {
    const char *p = text;
    int k = 0;
    while (k < max_fields) {
        const char *field = p;
        if (k > 0) {
            char sep = (k % 4 == 0) ? '/' : '.';
            if (*p != sep) break;
            ++p;
        }
        uint32_t v;
        if (!read_number(p, 10, v)) {
            p = field;
            break;
        }
        fields[k++] = v;
    }
    *end = p;
    return k;
}

}  // namespace

int scan_ip_fields(const char *text, uint32_t *fields, int max_fields) {
    if (!text) return 0;
    const char *end;
    return scan_fields(text, fields, max_fields, &end);
}

bool parse_ipv4(const char *text, uint8_t addr[4]) {
    uint32_t f[4];
    const char *end;
    if (!text || scan_fields(text, f, 4, &end) != 4 || *end != '\0') return false;
    for (int i = 0; i < 4; ++i)
        if (f[i] > 255) return false;
    for (int i = 0; i < 4; ++i) addr[i] = static_cast<uint8_t>(f[i]);
    return true;
}

namespace {

// First-octet rules shared by the address and the gateway.
bool bad_first_octets(const uint8_t a[4]) {
    if (a[0] == 127 || a[0] == 255 || (a[0] >= 224 && a[0] <= 239)) return true;
    return a[0] == 191 && a[1] == 255;
}

}  // namespace

bool ip_setting_valid(const uint8_t ip8[4], const uint8_t mask8[4], const uint8_t gw8[4]) {
    uint32_t ip = get_be32(ip8), mask = get_be32(mask8), gw = get_be32(gw8);
    if (ip == 0) return mask == 0 && gw == 0;
    if (ip == 0xFFFFFFFFu || mask == 0 || mask == 0xFFFFFFFFu || gw == 0xFFFFFFFFu) return false;
    // Contiguous mask: the inverted mask plus one is a power of two.
    uint32_t inv = ~mask;
    if ((inv & (inv + 1)) != 0) return false;
    if (ip8[0] == 0 || bad_first_octets(ip8)) return false;
    uint32_t host = ip & inv;
    if (host == 0 || host == inv) return false;
    if (gw == 0) return true;
    if (bad_first_octets(gw8)) return false;
    uint32_t gw_host = gw & inv;
    if (gw_host == 0 || gw_host == inv) return false;
    return ((ip ^ gw) & mask) == 0;
}

bool parse_ip_setting(const char *text, uint32_t *ip, uint32_t *mask, uint32_t *gw) {
    uint32_t f[12];
    if (scan_ip_fields(text, f, 12) != 12) return false;
    uint8_t b[12];
    for (int i = 0; i < 12; ++i) {
        if (f[i] > 255) return false;
        b[i] = static_cast<uint8_t>(f[i]);
    }
    if (!ip_setting_valid(b, b + 4, b + 8)) return false;
    memcpy(ip, b, 4);
    memcpy(mask, b + 4, 4);
    memcpy(gw, b + 8, 4);
    return true;
}

const char *mac_to_text(const uint8_t mac[6]) {
    static char buf[18];
    snprintf(buf, sizeof buf, "%02X:%02X:%02X:%02X:%02X:%02X", mac[0], mac[1], mac[2], mac[3],
             mac[4], mac[5]);
    return buf;
}

const char *ipv4_to_text(uint32_t addr_net) {
    static char buf[16];
    uint8_t b[4];
    memcpy(b, &addr_net, 4);
    snprintf(buf, sizeof buf, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
    return buf;
}

const char *md5_to_text(const uint8_t digest[16]) {
    static char buf[33];
    for (int i = 0; i < 16; ++i) snprintf(buf + 2 * i, 3, "%02x", digest[i]);
    return buf;
}

// ---- option errors -----------------------------------------------------------------------

int opt_unknown(int32_t code) {
    fprintf(stderr, "ERROR: Unknown option --%s.\n", option_name(code));
    return 1;
}

int opt_require(int32_t code) {
    fprintf(stderr, "ERROR: Require --%s.\n", option_name(code));
    return 1;
}

int opt_duplicate(int32_t code) {
    fprintf(stderr, "ERROR: Specify more than one --%s.\n", option_name(code));
    return 1;
}

int opt_invalid(int32_t code, const char *value) {
    fprintf(stderr, "ERROR: Invalid --%s argument '%s'.\n", option_name(code), value ? value : "");
    return 1;
}

int opt_invalid_keyword(int32_t code) {
    fprintf(stderr, "ERROR: Invalid --%s argument.\n", option_name(code));
    return 1;
}

int opt_conflict(int32_t a, int32_t b) {
    fprintf(stderr, "ERROR: --%s and --%s conflict.\n", option_name(a), option_name(b));
    return 1;
}

int opt_cannot_specify(int32_t a, int32_t b) {
    fprintf(stderr, "ERROR: Could not specify --%s and --%s.\n", option_name(a), option_name(b));
    return 1;
}

int opt_cannot_use(int32_t a, int32_t b) {
    fprintf(stderr, "ERROR: Could not use --%s when --%s is specified.\n", option_name(a),
            option_name(b));
    return 1;
}

int opt_cannot_combine(int32_t a, int32_t b) {
    fprintf(stderr, "ERROR: --%s cannot be specified with --%s.\n", option_name(a),
            option_name(b));
    return 1;
}

int mac_list_option::take(const option_arg &a) {
    if (given()) return opt_duplicate(a.code);
    if (!parse_mac_list(a.value, macs)) return opt_invalid(a.code, a.value);
    text = a.value;
    return 0;
}

int option_refused(const option_arg &a) { return a.refused ? opt_unknown(a.code) : 0; }

