// ac_sim: command line, listening socket, the request table and the per-connection loop.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "acsim.h"
#include "stop_wait.h"

namespace acsim {

volatile sig_atomic_t stop_requested = 0;

namespace {

const request_row request_table[] = {
    {1, "wtp-list", handle_wtp_list},
    {2, "upgrade", handle_upgrade},
    {3, "add-wtp", handle_add_wtp},
    {4, "del-wtp", handle_del_wtp},
    {5, "config", handle_config},
    {6, "reset", handle_reset},
    {7, "ac-info", handle_ac_info},
    {8, "mem-info", handle_mem_info},
    {9, "init-fw", handle_init_fw},
    {10, "scan", handle_scan},
    {11, "bg-scan", handle_bg_scan},
    {12, "auto-channel", handle_auto_channel},
    {13, "auto-txpower", handle_auto_txpower},
    {14, "kick", handle_kick},
    {15, "debug", handle_debug},
    {16, "no-discovery", handle_no_discovery},
    {17, "change-ac", handle_change_ac},
    {18, "shell", handle_shell},
    {19, "fw-list", handle_fw_list},
};

void on_stop(int) { stop_requested = 1; }

const char usage_text[] =
    "usage: ac_sim [OPTIONS]\n"
    "A stand-in for the AC daemon: answers qor's requests from a fleet file.\n"
    "\n"
    "  --address ADDR         listen address (default 127.0.0.1)\n"
    "  --port PORT            listen port (default 1235; 0 picks a free one)\n"
    "  --port-file FILE       write the bound port to FILE once listening\n"
    "  --fleet FILE           fleet file: WTPs and their answers (see sim/fleet.sample)\n"
    "  --status FILE          status fleet (JSON): the WTP records and the AC summary\n"
    "                         (see sim/fleet.json); wins over a status line of the fleet file\n"
    "  --save FILE            write the status fleet to FILE after every change that\n"
    "                         management and configuration requests make\n"
    "  --log FILE             append what each connection received and sent, as hex\n"
    "  --admission WORD       admission word sent on connect (default 1; 4294967295 = busy)\n"
    "  --admission-bytes N    send only the first N bytes of the admission word, then close\n"
    "  --result CODE          answer CODE for every WTP of every request\n"
    "  --cut N                close the connection after N reply bytes\n"
    "  --reset                with --cut: reset the connection instead of closing it\n"
    "  --max-connections N    stop after N connections\n"
    "  --conn-time SECONDS    end a connection SECONDS after it was accepted (default 30;\n"
    "                         0: no limit); a peer silent for 10 s is let go in any case\n"
    "  --quiet                do not print a line per request on standard output\n"
    "  --help                 this text\n"
    "\n"
    "Status fleet: a JSON object of the form {AC JSON, WTP JSON} that qor prints, that is\n"
    "\"{\" + `qor ac --json` + \",\" + `qor wtps --json` + \"}\": \"ac_info\" (the AC summary;\n"
    "without it the summary comes from the fleet file) and \"wtp_list\" (the records, with\n"
    "\"wtp_cfg\" for the configuration copy). Missing members read as 0, absent text or no\n"
    "elements. Extra members carry what the JSON output leaves out: \"flick_reboot_flag\" and\n"
    "\"sw_max_port\" of a switch, \"sw_text\" (the switch copy's text), \"password_md5\",\n"
    "the wep and wpa (with radius) values of any WLAN, \"lan_port_count\" and a topology\n"
    "device's \"link_count\" (counts of 0 or less). A WTP-list request gets the records its\n"
    "flags choose: 1 managed, 2 unmanaged, 4 also WTPs that have not joined (joined = state 5),\n"
    "8 configuration copy, 16 detail part, 32 station lists; a MAC list keeps those WTPs only\n"
    "(fleet order). Each reply is encoded once and then served as prepared bytes.\n"
    "Management and configuration requests change the status fleet, unless the fleet file\n"
    "or --result fixes their answer: adding a WTP makes it managed (an unknown MAC becomes\n"
    "a record of type 0 that has not joined; 8 already managed, 7 when max_wtps are\n"
    "managed) and puts the fixed IP settings in its \"wtp_cfg\"; deleting makes it\n"
    "unmanaged (6 not found, 9 not managed); a configuration is decoded with its own key\n"
    "tables into \"wtp_cfg\" of a managed WTP as a whole, or refused with 19 and a message\n"
    "saying what is wrong; the AC summary's managed_wtps follows. Other requests answer for\n"
    "the status fleet's WTPs as for listed WTPs (result, default 0).\n"
    "A fleet value that does not fit stops the start with a message naming its place.\n"
    "\n"
    "Bounds: the fleet file and the status fleet hold at most 32 MiB (33554432 bytes), and\n"
    "the status fleet nests objects and arrays at most 64 levels deep (the outer object is\n"
    "the first); a file or a place beyond them stops the start with a message naming it,\n"
    "and a change beyond them (a deep hotspot20, a fleet that --save would write larger) is\n"
    "refused with 19. --save writes FILE.tmp, created afresh (an existing FILE.tmp, a link\n"
    "say, fails the write), syncs it and renames it to FILE. A configuration request's body\n"
    "length is at most 16 MiB (16777216) and bounds the items read; one beyond it, or items\n"
    "that go on past it, end the connection. At most 4096 bytes after the closing byte are\n"
    "read and logged; a connection's log keeps at most 64 MiB each way.\n"
    "\n"
    "Log blocks, one per connection: \"recv HEX\", \"sent HEX\", then \"note ...\" and\n"
    "\"error ...\" lines, then \"end\". SIGTERM or SIGINT stops the simulator.\n";

std::string hex(const std::vector<uint8_t> &bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (uint8_t b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

void write_log(const config &cfg, const conn &c) {
    if (cfg.log_file.empty()) return;
    FILE *f = fopen(cfg.log_file.c_str(), "a");
    if (!f) {
        fprintf(stderr, "ac_sim: cannot open log %s: %s\n", cfg.log_file.c_str(), strerror(errno));
        return;
    }
    std::string block = "recv " + hex(c.received()) + "\nsent " + hex(c.sent()) + "\n";
    for (const std::string &n : c.notes()) block += n + "\n";
    if (c.received_unlogged())
        block += "note " + std::to_string(c.received_unlogged()) + " received bytes not logged\n";
    if (c.sent_unlogged())
        block += "note " + std::to_string(c.sent_unlogged()) + " sent bytes not logged\n";
    block += "end\n";
    fputs(block.c_str(), f);
    fclose(f);
}

void serve(config &cfg, int fd, bool quiet) {
    // A client that neither sends nor closes, or sends slowly without end, must not hold
    // the simulator: the connection waits IDLE_SECONDS for a byte and conn_time in all.
    conn c(fd, cfg);
    session s{cfg, c};
    uint8_t word[4] = {static_cast<uint8_t>(cfg.admission >> 24),
                       static_cast<uint8_t>(cfg.admission >> 16),
                       static_cast<uint8_t>(cfg.admission >> 8), static_cast<uint8_t>(cfg.admission)};
    size_t wn = cfg.admission_bytes < 4 ? cfg.admission_bytes : 4;
    bool open = c.send_direct(word, wn) && wn == 4;
    bool closing_byte = false;
    while (open && !stop_requested) {
        uint8_t code;
        if (!c.u8(code)) break;
        if (code == 0) {
            closing_byte = true;
            break;
        }
        const request_row *row = find_request(code);
        if (!row) {
            c.error("unknown request code " + std::to_string(code));
            break;
        }
        size_t notes_before = c.notes().size();
        bool ok = row->fn(s);
        if (!quiet) {
            printf("request %u %s", code, row->name);
            for (size_t i = notes_before; i < c.notes().size(); ++i)
                printf("; %s", c.notes()[i].c_str());
            printf("\n");
            fflush(stdout);
        }
        if (!c.flush() || !ok) break;
    }
    if (closing_byte) {
        // Whatever follows the closing byte is logged, so that stray bytes show; only so
        // much of it, so that a peer that goes on sending does not hold the simulator.
        uint8_t b;
        size_t stray = 0;
        while (stray < STRAY_BYTES_MAX && c.u8(b)) ++stray;
        if (stray == STRAY_BYTES_MAX)
            c.note("stopped reading after " + std::to_string(stray) +
                   " bytes after the closing byte");
    }
    if (c.cut() && cfg.reset_on_cut) {
        linger lg{1, 0};
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &lg, sizeof lg);
    }
    close(fd);
    write_log(cfg, c);
}

bool arg_number(const char *opt, const char *text, long &out) {
    char *end = nullptr;
    errno = 0;
    long v = strtol(text, &end, 10);
    if (errno || !*text || *end) {
        fprintf(stderr, "ac_sim: %s needs a number, not '%s'\n", opt, text);
        return false;
    }
    out = v;
    return true;
}

}  // namespace

const request_row *find_request(uint8_t code) {
    for (const request_row &r : request_table)
        if (r.code == code) return &r;
    return nullptr;
}

int sim_main(int argc, char **argv) {
    config cfg;
    std::string fleet;
    std::string status;
    int64_t admission = -1;  // from the command line, wins over the fleet file
    bool quiet = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](const char *&out) {
            if (i + 1 >= argc) {
                fprintf(stderr, "ac_sim: %s needs a value\n", a.c_str());
                return false;
            }
            out = argv[++i];
            return true;
        };
        const char *v = nullptr;
        long num = 0;
        if (a == "--help" || a == "-h") {
            fputs(usage_text, stdout);
            return 0;
        } else if (a == "--quiet") {
            quiet = true;
        } else if (a == "--reset") {
            cfg.reset_on_cut = true;
        } else if (a == "--address") {
            if (!value(v)) return 2;
            cfg.address = v;
        } else if (a == "--port-file") {
            if (!value(v)) return 2;
            cfg.port_file = v;
        } else if (a == "--fleet") {
            if (!value(v)) return 2;
            fleet = v;
        } else if (a == "--status") {
            if (!value(v)) return 2;
            status = v;
        } else if (a == "--save") {
            if (!value(v)) return 2;
            cfg.save_file = v;
        } else if (a == "--log") {
            if (!value(v)) return 2;
            cfg.log_file = v;
        } else if (a == "--result") {
            uint32_t r;
            if (!value(v)) return 2;
            if (!parse_number(v, r) || r > 255) {
                fprintf(stderr, "ac_sim: --result needs a code 0..255\n");
                return 2;
            }
            cfg.globals["force_result"] = v;
        } else if (a == "--admission") {
            uint32_t w;
            if (!value(v)) return 2;
            if (!parse_number(v, w)) {
                fprintf(stderr, "ac_sim: --admission needs a 32-bit number\n");
                return 2;
            }
            admission = w;
        } else if (a == "--port" || a == "--admission-bytes" || a == "--cut" ||
                   a == "--max-connections" || a == "--conn-time") {
            if (!value(v) || !arg_number(a.c_str(), v, num) || num < 0) return 2;
            if (a == "--port") {
                if (num > 65535) {
                    fprintf(stderr, "ac_sim: --port out of range\n");
                    return 2;
                }
                cfg.port = static_cast<int>(num);
            } else if (a == "--admission-bytes") {
                cfg.admission_bytes = static_cast<size_t>(num);
            } else if (a == "--cut") {
                cfg.cut_after = num;
            } else if (a == "--conn-time") {
                if (num > 86400) {
                    fprintf(stderr, "ac_sim: --conn-time out of range\n");
                    return 2;
                }
                cfg.conn_time = static_cast<int>(num);
            } else {
                cfg.max_connections = static_cast<int>(num);
            }
        } else {
            fprintf(stderr, "ac_sim: unknown option %s (try --help)\n", a.c_str());
            return 2;
        }
    }
    if (!fleet.empty() && !load_fleet(fleet.c_str(), cfg)) return 2;
    // A status line of the fleet file names the status fleet relative to the fleet file.
    std::string status_line = global(cfg, "status");
    if (status.empty() && !status_line.empty()) {
        size_t slash = fleet.rfind('/');
        status = status_line[0] == '/' || slash == std::string::npos
                     ? status_line
                     : fleet.substr(0, slash + 1) + status_line;
    }
    if (!status.empty() && !(cfg.status = load_status(status))) return 2;
    // The command line wins over the fleet file.
    if (admission >= 0) cfg.admission = static_cast<uint32_t>(admission);

    int ls = socket(AF_INET, SOCK_STREAM, 0);
    if (ls < 0) {
        perror("ac_sim: socket");
        return 1;
    }
    int one = 1;
    setsockopt(ls, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    // A connection gone between the wait and accept() must not block the loop.
    fcntl(ls, F_SETFL, fcntl(ls, F_GETFL) | O_NONBLOCK);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(cfg.port));
    if (inet_pton(AF_INET, cfg.address.c_str(), &addr.sin_addr) != 1) {
        fprintf(stderr, "ac_sim: --address needs a dotted IPv4 address\n");
        return 2;
    }
    if (bind(ls, reinterpret_cast<sockaddr *>(&addr), sizeof addr) < 0 || listen(ls, 16) < 0) {
        fprintf(stderr, "ac_sim: cannot listen on %s:%d: %s\n", cfg.address.c_str(), cfg.port,
                strerror(errno));
        return 1;
    }
    socklen_t alen = sizeof addr;
    getsockname(ls, reinterpret_cast<sockaddr *>(&addr), &alen);
    int port = ntohs(addr.sin_port);
    std::string failed;
    if (!cfg.port_file.empty() &&
        !write_file_whole(cfg.port_file, std::to_string(port) + "\n", failed)) {
        fprintf(stderr, "ac_sim: cannot write %s\n", cfg.port_file.c_str());
        return 1;
    }

    struct sigaction sa{};
    sa.sa_handler = on_stop;  // no SA_RESTART: accept() returns so the loop can end
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);

    if (!quiet) {
        printf("ac_sim: listening on %s:%d with %zu WTP(s) and %zu WTP record(s)\n",
               cfg.address.c_str(), port, cfg.fleet.size(), status_size(cfg));
        fflush(stdout);
    }
    int served = 0;
    while (!stop_requested && (cfg.max_connections < 0 || served < cfg.max_connections)) {
        pollfd waiting{ls, POLLIN, 0};
        if (poll_unless_stopped(&waiting, 1, -1, stop_requested) <= 0) continue;
        int fd = accept(ls, nullptr, nullptr);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED || errno == EAGAIN) continue;
            perror("ac_sim: accept");
            break;
        }
        ++served;
        serve(cfg, fd, quiet);
    }
    close(ls);
    return 0;
}

}  // namespace acsim

int main(int argc, char **argv) { return acsim::sim_main(argc, argv); }
