// Command-line front end of qor: command and option tables, the argument vector,
// option-value parsers, address formatters and the shared wording of option errors.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "bytes.h"

// Option codes, as carried in the argument vector (values of the `long_options` rows).
enum option_code : int32_t {
    OPT_ACSERVER = 0,
    OPT_ACPORT = 1,
    OPT_MAC = 2,
    OPT_ADD = 3,
    OPT_DEL = 4,
    OPT_JSON = 5,
    OPT_MANAGED = 6,
    OPT_UNMANAGED = 7,
    OPT_JOIN = 8,
    OPT_PERIOD = 9,
    OPT_FILE = 10,
    OPT_IP = 11,
    OPT_PASSWORD = 12,
    OPT_FACTORY = 13,
    OPT_FWSTAT = 14,
    OPT_FWRESULT = 15,
    OPT_FLAG = 16,
    OPT_ALL = 17,
    OPT_RADIO = 18,
    OPT_WLAN = 19,
    OPT_CLIENT = 20,
    OPT_NO_CFG = 21,
    OPT_TYPE = 22,
    OPT_BREIF = 23,
    OPT_ENABLE = 24,
    OPT_BASIC = 25,
    OPT_CMD = 26,
    OPT_WTP = 27,
    OPT_NO_STAINF = 28,
    OPT_TIMEOUT = 29,
    OPT_WAIT = 30,
    OPT_FLICKREBOOT = 31,
};

// One row of the long-option table: no short options exist.
struct long_option {
    const char *name;
    bool has_value;  // the option requires a value
    int32_t code;
};

constexpr size_t LONG_OPTION_COUNT = 32;
extern const std::array<long_option, LONG_OPTION_COUNT> long_options;

// One entry of the argument vector; `value` points into argv (nullptr for options without value).
// `refused` marks an option the command's row does not accept: the front end sets it from
// the row's mask, and the handler's walk over its entries ends there (option_refused).
struct option_arg {
    int32_t code;
    const char *value;
    bool refused = false;
};

constexpr size_t MAX_OPTION_ARGS = 64;

// A command handler: returns the process exit status (0 success, 1 failure).
// It runs with `ac_sock` connected.
using cmd_handler = int (*)(const option_arg *args, int count);

// Bit for option code `c` in a command's accepted-option mask.
constexpr uint32_t opt_bit(int32_t c) { return uint32_t{1} << c; }
constexpr uint32_t OPT_ANY = 0xFFFFFFFFu;  // accepts (and ignores) everything

struct command_def {
    const char *name;
    const char *help;
    const char *const *option_help;  // nullptr-terminated list, or nullptr
    cmd_handler handler;
    uint32_t accepts;  // mask of option codes the command accepts (opt_bit): the one list
    // The command stops the AC: its closing byte may find the connection already dropped.
    bool peer_may_close = false;
};

constexpr size_t COMMAND_COUNT = 21;
extern const std::array<command_def, COMMAND_COUNT> command_table;

// Row of `command_table` named exactly `name`, or nullptr.
const command_def *find_command(const char *name);

// Whether the command accepts option `code` (its row's mask).
bool command_accepts(const command_def &cmd, int32_t code);

// Name of the first `long_options` row whose code is `code` ("?" if none).
const char *option_name(int32_t code);

// Runs one qor invocation (usage, command lookup, options, connect, handler,
// disconnect); returns the exit status.
int qor_main(int argc, char **argv);

// Prints the usage listing to standard output.
void print_usage(const char *prog);

// Result of option parsing, without side effects on the connection.
struct parsed_command {
    const command_def *cmd = nullptr;
    const char *server = "127.0.0.1";
    int port = 1235;
    std::array<option_arg, MAX_OPTION_ARGS> args{};
    int count = 0;
};

// Parses argv (argv[1] the command word, the rest long options). Prints the
// error message and returns 1 on failure (usage is printed for a missing command).
int parse_command_line(int argc, char **argv, parsed_command &out);

// ---- option values ----------------------------------------------------------------

// Six colon-separated hex fields, each at most 0xFF, not all zero; trailing text ignored.
bool parse_mac(const char *text, uint8_t mac[6]);

// Comma-separated MACs: empty pieces skipped, group addresses refused, repeats dropped
// (first occurrence kept). Replaces `list`; false (and `list` empty) on any bad piece.
bool parse_mac_list(const char *text, std::vector<mac_addr> &list);

// Dotted quad of four decimal fields, each at most 255; bytes in text order.
bool parse_ipv4(const char *text, uint8_t addr[4]);

// IP/mask/gateway, each returned in network byte order (as held in memory).
bool parse_ip_setting(const char *text, uint32_t *ip, uint32_t *mask, uint32_t *gw);

// The address checks of the IP setting on three addresses given as bytes in text order
// (shared with the five-address setting of the configuration command).
bool ip_setting_valid(const uint8_t ip[4], const uint8_t mask[4], const uint8_t gw[4]);

// Reads up to `max_fields` decimal numbers of the form a.b.c.d/a.b.c.d/... (four per
// address, '.' inside an address, '/' between addresses); returns how many were read,
// as a scanf of that pattern would. Trailing text is ignored; huge numbers read as > 255.
int scan_ip_fields(const char *text, uint32_t *fields, int max_fields);

// Formatters: each returns its own static buffer, overwritten by the next call.
const char *mac_to_text(const uint8_t mac[6]);  // upper case
const char *ipv4_to_text(uint32_t addr_net);    // network byte order in memory
const char *md5_to_text(const uint8_t digest[16]);

// C library decimal conversion (atoi semantics, no validation; 0 for non-numbers).
int decimal_value(const char *text);

// ---- shared option-error wording; each prints one line on standard error, returns 1 --

int opt_unknown(int32_t code);                        // Unknown option --%s.
int opt_require(int32_t code);                        // Require --%s.
int opt_duplicate(int32_t code);                      // Specify more than one --%s.
int opt_invalid(int32_t code, const char *value);     // Invalid --%s argument '%s'.
int opt_invalid_keyword(int32_t code);                // Invalid --%s argument.
int opt_conflict(int32_t a, int32_t b);               // --%s and --%s conflict.
int opt_cannot_specify(int32_t a, int32_t b);         // Could not specify --%s and --%s.
int opt_cannot_use(int32_t a, int32_t b);             // Could not use --%s when --%s is specified.
int opt_cannot_combine(int32_t a, int32_t b);         // --%s cannot be specified with --%s.

// A MAC-list option (`mac`, `client`) that may be given once.
struct mac_list_option {
    std::vector<mac_addr> macs;
    const char *text = nullptr;  // the value as typed; nullptr until given

    bool given() const { return text != nullptr; }
    // A second one gives the "Specify more than one" message, a value parse_mac_list
    // refuses the "Invalid" one. Returns 0 (list parsed) or 1.
    int take(const option_arg &a);
};

// Every handler examines its entries in order and calls this on each one before using it:
// for an entry outside the command's accepted set it prints "ERROR: Unknown option --%s.\n"
// and returns 1 (the handler then returns 1), else 0. Errors of earlier entries thus come
// first, and the row's mask stays the only list of what a command takes.
int option_refused(const option_arg &a);
