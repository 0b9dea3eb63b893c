// The cfg command: adds WTPs to the management list (with fixed IP settings), removes them,
// or converts configuration files into item lists and sends them to be applied.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "bytes.h"
#include "config.h"
#include "ops.h"

namespace {

struct fd_guard {
    int fd;
    explicit fd_guard(int d) : fd(d) {}
    fd_guard(const fd_guard &) = delete;
    fd_guard &operator=(const fd_guard &) = delete;
    ~fd_guard() { reset(); }
    void reset() {
        if (fd >= 0) close(fd);
        fd = -1;
    }
};

struct json_freer {
    void operator()(json_value *v) const { json_value_free(v); }
};
using json_ptr = std::unique_ptr<json_value, json_freer>;

// Bytes of a configuration request after its length field.
uint64_t config_body_len(size_t n, const std::vector<tlv_list> &lists, bool several) {
    uint64_t len = 6 * uint64_t{n} + 8;
    size_t sent = several ? n : 1;
    for (size_t i = 0; i < sent && i < lists.size(); ++i) len += uint64_t{lists[i].total} + 2;
    return len;
}

constexpr uint64_t CONFIG_BODY_MAX = 0xFFFFFFFFu;  // a 32-bit length field
constexpr size_t WIRE_MAC_COUNT_MAX = 0xFFFF;      // a 16-bit MAC count

}  // namespace

// ---- requests ------------------------------------------------------------------------

int request_add_wtp(int sock, const std::vector<mac_addr> &macs, const tlv_list &items) {
    reply_reader in(sock);
    int failed = 0;
    for (const mac_addr &m : macs) {
        wire_buf req;
        req.u8(REQ_ADD_WTP);
        req.bytes(m.data(), m.size());
        req.u16(static_cast<uint16_t>(items.total));
        tlv_write(req, items);
        if (send_request(sock, req)) return 1;
        uint8_t code;
        if (recv_u8(in, &code)) return 1;
        if (code == 0) continue;
        report_result(code, m.data());
        if (code == RESULT_MAX_MANAGED) return 1;  // the AC takes no more
        failed = 1;
    }
    return failed;
}

int request_del_wtp(int sock, const std::vector<mac_addr> &macs) {
    reply_reader in(sock);
    int failed = 0;
    for (const mac_addr &m : macs) {
        wire_buf req;
        req.u8(REQ_DEL_WTP);
        req.bytes(m.data(), m.size());
        if (send_request(sock, req)) return 1;
        uint8_t code;
        if (recv_u8(in, &code)) return 1;
        if (code != 0) {
            report_result(code, m.data());
            failed = 1;
        }
    }
    return failed;
}

int request_config(int sock, const std::vector<mac_addr> &macs, uint8_t dev_type, uint32_t wait,
                   bool several, const std::vector<tlv_list> &lists) {
    size_t n = macs.size();
    size_t sent = several ? n : 1;
    if (lists.size() < sent) return 1;
    uint64_t len = config_body_len(n, lists, several);
    if (len > CONFIG_BODY_MAX || n > WIRE_MAC_COUNT_MAX) {
        fputs("ERROR: The configuration is too large to send.\n", stderr);
        return 1;
    }
    wire_buf req;
    req.u8(REQ_CONFIG);
    req.u32(static_cast<uint32_t>(len));
    req.u16(static_cast<uint16_t>(n));
    req.macs(macs);
    req.u8(dev_type);
    req.u32(wait);
    req.u8(several ? 1 : 0);
    for (size_t i = 0; i < sent; ++i) {
        tlv_write(req, lists[i]);
        req.u16(0);  // end of the list
    }
    if (send_request(sock, req)) return 1;
    reply_reader in(sock);
    int failed = 0;
    for (const mac_addr &m : macs) {
        uint8_t code, msg_len;
        char msg[256];
        if (recv_u8(in, &code) || recv_u8(in, &msg_len)) return 1;
        if (msg_len && recv_bytes(in, msg, msg_len)) return 1;
        msg[msg_len] = '\0';
        if (code != 0) {
            report_result(code, m.data());
            failed = 1;
        }
        if (msg_len) fprintf(stderr, "Msg: %s.\n", msg);
    }
    return failed;
}

// ---- configuration files ----------------------------------------------------------------

int cfg_convert_file(const char *name, uint8_t dev_type, tlv_list &list) {
    // Not blocking: a FIFO without a writer must not hold the run at the open.
    fd_guard fd(open(name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.fd < 0) {
        fprintf(stderr, "ERROR: Open %s failed.\n", name);
        return 1;
    }
    // A directory opens, but its size is no byte count: it cannot be read. Anything else
    // that is not a regular file (a FIFO, a device such as /dev/zero) has no size at all.
    struct stat info;
    if (fstat(fd.fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        fprintf(stderr, "ERROR: read %s failed.\n", name);
        return 1;
    }
    if (!S_ISREG(info.st_mode)) {
        fprintf(stderr, "ERROR: %s is not a regular file.\n", name);
        return 1;
    }
    if (info.st_size > CFG_FILE_MAX) {
        fprintf(stderr, "ERROR: %s is larger than %ld bytes.\n", name, CFG_FILE_MAX);
        return 1;
    }
    size_t size = static_cast<size_t>(info.st_size);
    if (size == 0) return 0;  // an empty file is an empty list

    std::unique_ptr<char[]> text(new (std::nothrow) char[size + 1]);
    if (!text) {
        fputs("ERROR: Out of memory.\n", stderr);
        return 1;
    }
    // The size taken at the open is what is read; a file cut short meanwhile fails.
    size_t got = 0;
    while (got < size) {
        ssize_t n = read(fd.fd, text.get() + got, size - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    fd.reset();
    if (got != size) {
        fprintf(stderr, "ERROR: read %s failed.\n", name);
        return 1;
    }
    // The parser may look at the byte after a text cut off in a literal: a zero is there.
    text[size] = '\0';
    return cfg_convert_text(name, std::move(text), static_cast<size_t>(size), dev_type, list);
}

int cfg_convert_text(const char *name, std::unique_ptr<char[]> text, size_t size,
                     uint8_t dev_type, tlv_list &list) {
    json_settings settings;
    memset(&settings, 0, sizeof settings);
    char parse_error[json_error_max];
    json_ptr doc(json_parse_ex(&settings, text.get(), size, parse_error));
    text.reset();
    if (!doc) {
        fprintf(stderr, "ERROR: Invalid config file %s.\n", name);
        return 1;
    }
    iter_stack st;
    iter_stack_clear(st);
    cfg_ctx ctx{&list, dev_type};
    return json_iter(st, doc.get(), cfg_value_handler, &ctx);
}

// ---- --ip --------------------------------------------------------------------------------

namespace {

// The address checks of a DNS server of the --ip setting (one that is not 0.0.0.0).
bool dns_valid(const uint8_t dns[4], const uint8_t mask[4]) {
    uint32_t d = get_be32(dns), m = get_be32(mask);
    if (d == 0xFFFFFFFFu) return false;
    if (dns[0] == 127 || dns[0] == 255 || (dns[0] >= 224 && dns[0] <= 239)) return false;
    if (dns[0] == 191 && dns[1] == 255) return false;
    uint32_t host = d & ~m;
    return host != 0 && host != ~m;
}

bool all_zero(const uint8_t *p, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (p[i]) return false;
    return true;
}

}  // namespace

bool parse_wtp_ip_setting(const char *text, uint8_t value[20]) {
    uint32_t f[20] = {};
    int k = scan_ip_fields(text, f, 20);
    if (k < 4) return false;
    if (k != 4 && k != 8 && k != 12 && k != 16 && k != 20) return false;
    uint8_t b[20] = {};  // addresses left out are 0.0.0.0
    for (int i = 0; i < k; ++i) {
        if (f[i] > 255) return false;
        b[i] = static_cast<uint8_t>(f[i]);
    }
    const uint8_t *ip = b, *mask = b + 4, *gw = b + 8, *dns1 = b + 12, *dns2 = b + 16;
    if (all_zero(ip, 4)) {
        if (!all_zero(b, 20)) return false;
    } else {
        if (k == 4 || !ip_setting_valid(ip, mask, gw)) return false;
        if (!all_zero(dns1, 4) && !dns_valid(dns1, mask)) return false;
        if (!all_zero(dns2, 4) && !dns_valid(dns2, mask)) return false;
    }
    memcpy(value, b, 20);
    return true;
}

// ---- the command -----------------------------------------------------------------------

namespace {

// Everything one cfg run gathers; released when the run ends, on success and failure.
// Options outside the command's row are refused (option_refused) before they get here.
struct cfg_run {
    mac_list_option mac;
    bool add = false, del = false;
    bool file_given = false, ip_given = false;
    std::vector<std::string> files;
    tlv_list ip_items;
    uint8_t dev_type = WTP_TYPE_AP;
    uint32_t wait = 0;
    std::vector<tlv_list> lists;

    ~cfg_run() { cfg_lists_release(); }
};

int take_files(cfg_run &run, const option_arg &a) {
    if (run.file_given) return opt_duplicate(a.code);
    if (run.ip_given) return opt_cannot_specify(OPT_FILE, OPT_IP);
    try {
        const char *p = a.value;
        for (;;) {
            const char *comma = strchr(p, ',');
            size_t len = comma ? static_cast<size_t>(comma - p) : strlen(p);
            if (len > 0) {
                if (run.files.size() == CFG_FILES_MAX) {
                    fprintf(stderr, "ERROR: More than %zu files in --%s.\n", CFG_FILES_MAX,
                            option_name(a.code));
                    return 1;
                }
                run.files.emplace_back(p, len);
            }
            if (!comma) break;
            p = comma + 1;
        }
    } catch (const std::bad_alloc &) {
        fputs("ERROR: Out of memory.\n", stderr);
        return 1;
    }
    if (run.files.empty()) return opt_invalid(a.code, a.value);  // only commas: no file
    run.file_given = true;
    return 0;
}

int take_ip(cfg_run &run, const option_arg &a) {
    if (run.ip_given) return opt_duplicate(a.code);
    if (run.file_given) return opt_cannot_specify(OPT_FILE, OPT_IP);
    uint8_t value[20];
    if (!parse_wtp_ip_setting(a.value, value)) return opt_invalid(a.code, a.value);
    if (tlv_add(run.ip_items, ADD_ITEM_IP, 0, nullptr, sizeof value, value)) return 1;
    run.ip_given = true;
    return 0;
}

int take_option(cfg_run &run, const option_arg &a) {
    switch (a.code) {
    case OPT_MAC: return run.mac.take(a);
    case OPT_ADD:
        if (run.del) return opt_conflict(OPT_ADD, OPT_DEL);
        run.add = true;
        return 0;
    case OPT_DEL:
        if (run.add) return opt_conflict(OPT_ADD, OPT_DEL);
        run.del = true;
        return 0;
    case OPT_FILE: return take_files(run, a);
    case OPT_IP: return take_ip(run, a);
    case OPT_TYPE:
        switch (decimal_value(a.value)) {
        case 0: run.dev_type = WTP_TYPE_AP; return 0;
        case 1: run.dev_type = WTP_TYPE_SWITCH; return 0;
        default: return opt_invalid(a.code, a.value);
        }
    case OPT_WAIT: run.wait = static_cast<uint32_t>(decimal_value(a.value)); return 0;
    }
    return 0;
}

}  // namespace

int cmd_cfg(const option_arg *args, int count) {
    cfg_run run;
    for (int i = 0; i < count; ++i)
        if (option_refused(args[i]) || take_option(run, args[i])) return 1;
    if (!run.mac.given()) return opt_require(OPT_MAC);
    const std::vector<mac_addr> &macs = run.mac.macs;

    if (!run.file_given) {
        if (run.add) return request_add_wtp(ac_sock, macs, run.ip_items);
        if (!run.del) return opt_require(OPT_FILE);
        if (run.ip_given) return opt_cannot_use(OPT_IP, OPT_DEL);
        return request_del_wtp(ac_sock, macs);
    }

    bool several = run.files.size() > 1;
    if (several && run.files.size() != macs.size()) {
        fputs("ERROR: File number is not equal to MAC number when multiple files are specified\n",
              stderr);
        return 1;
    }
    if (macs.size() > WIRE_MAC_COUNT_MAX) return opt_invalid(OPT_MAC, run.mac.text);
    try {
        run.lists.resize(run.files.size());
    } catch (const std::bad_alloc &) {
        fputs("ERROR: Out of memory.\n", stderr);
        return 1;
    }
    for (size_t i = 0; i < run.files.size(); ++i)
        if (cfg_convert_file(run.files[i].c_str(), run.dev_type, run.lists[i])) return 1;
    if (run.add) return opt_cannot_use(OPT_FILE, OPT_ADD);
    if (run.del) return opt_cannot_use(OPT_FILE, OPT_DEL);
    return request_config(ac_sock, macs, run.dev_type, run.wait, several, run.lists);
}
