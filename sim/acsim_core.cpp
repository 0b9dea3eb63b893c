// ac_sim: connection I/O, the fleet file and the lookups handlers share.
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "acsim.h"
#include "stop_wait.h"

namespace acsim {

// ---- numbers and MACs ---------------------------------------------------------------

bool parse_number(const std::string &text, uint32_t &out) {
    if (text.empty()) return false;
    const char *s = text.c_str();
    int base = 10;
    if (text.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s += 2;
    }
    if (*s == '-' || *s == '+' || *s == ' ') return false;
    errno = 0;
    char *end = nullptr;
    unsigned long long v = strtoull(s, &end, base);
    if (errno || *end != '\0' || end == s || v > 0xFFFFFFFFull) return false;
    out = static_cast<uint32_t>(v);
    return true;
}

bool parse_mac_text(const std::string &text, mac_t &out) {
    unsigned v[6];
    char tail;
    if (sscanf(text.c_str(), "%2x:%2x:%2x:%2x:%2x:%2x%c", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5],
               &tail) != 6)
        return false;
    for (int i = 0; i < 6; ++i) out[i] = static_cast<uint8_t>(v[i]);
    return true;
}

std::string mac_text(const mac_t &m) {
    char buf[18];
    snprintf(buf, sizeof buf, "%02x:%02x:%02x:%02x:%02x:%02x", m[0], m[1], m[2], m[3], m[4], m[5]);
    return buf;
}

// ---- files ---------------------------------------------------------------------------

bool write_file_whole(const std::string &path, const std::string &text, std::string &failed) {
    std::string tmp = path + ".tmp";
    failed = tmp;
    // Exclusively: whatever already has the temporary name (a link, a stale file) is left
    // alone and the write fails.
    int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    size_t done = 0;
    bool ok = true;
    while (ok && done < text.size()) {
        ssize_t r = write(fd, text.data() + done, text.size() - done);
        if (r > 0)
            done += static_cast<size_t>(r);
        else if (!(r < 0 && errno == EINTR))
            ok = false;
    }
    ok = ok && fsync(fd) == 0;
    int saved = errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    if (ok) {
        failed = path;
        ok = rename(tmp.c_str(), path.c_str()) == 0;
        saved = errno;
    }
    if (!ok) {
        unlink(tmp.c_str());
        errno = saved;
        return false;
    }
    // The rename itself lasts once the folder is synced too.
    size_t slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    int dfd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        fsync(dfd);
        close(dfd);
    }
    return true;
}

// ---- fleet file ---------------------------------------------------------------------

namespace {

// Splits a line into words; "double quoted" words may hold blanks and the escapes
// \n \t \r \\ \" \xHH. Returns false on an unterminated quote or a bad escape.
bool split_words(const std::string &line, std::vector<std::string> &words) {
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i >= line.size() || line[i] == '#') break;
        std::string w;
        bool in_quote = false;
        while (i < line.size()) {
            char ch = line[i];
            if (!in_quote && (ch == ' ' || ch == '\t')) break;
            ++i;
            if (ch == '"') {
                in_quote = !in_quote;
                continue;
            }
            if (ch == '\\' && in_quote) {
                if (i >= line.size()) return false;
                char e = line[i++];
                switch (e) {
                case 'n': w += '\n'; break;
                case 't': w += '\t'; break;
                case 'r': w += '\r'; break;
                case '\\': w += '\\'; break;
                case '"': w += '"'; break;
                case 'x': {
                    if (i + 2 > line.size()) return false;
                    uint32_t v;
                    if (!parse_number("0x" + line.substr(i, 2), v)) return false;
                    w += static_cast<char>(v);
                    i += 2;
                    break;
                }
                default: return false;
                }
                continue;
            }
            w += ch;
        }
        if (in_quote) return false;
        words.push_back(w);
    }
    return true;
}

}  // namespace

bool load_fleet(const char *path, config &cfg) {
    FILE *f = fopen(path, "r");
    if (!f) {
        fprintf(stderr, "ac_sim: cannot open fleet file %s: %s\n", path, strerror(errno));
        return false;
    }
    std::string line;
    int lineno = 0;
    bool ok = true;
    size_t bytes = 0;
    for (;;) {
        int ch = fgetc(f);
        if (ch != EOF && ++bytes > FILE_BYTES_MAX) {
            // A device or a runaway file: what a fleet file could never be.
            fprintf(stderr, "ac_sim: fleet file %s is larger than %zu bytes (line %d)\n", path,
                    FILE_BYTES_MAX, lineno + 1);
            ok = false;
            break;
        }
        if (ch != EOF && ch != '\n') {
            line += static_cast<char>(ch);
            continue;
        }
        if (ch == EOF && line.empty()) break;
        ++lineno;
        std::vector<std::string> w;
        bool good = split_words(line, w);
        uint32_t num;
        if (!good) {
            ok = false;
        } else if (w.empty()) {
            // blank or comment
        } else if (w[0] == "wtp") {
            wtp entry;
            if (w.size() < 2 || !parse_mac_text(w[1], entry.mac)) {
                ok = false;
            } else {
                for (size_t k = 2; k < w.size() && ok; ++k) {
                    size_t eq = w[k].find('=');
                    if (eq == std::string::npos || eq == 0)
                        ok = false;
                    else
                        entry.attrs[w[k].substr(0, eq)] = w[k].substr(eq + 1);
                }
                if (ok) cfg.fleet.push_back(entry);
            }
        } else if (w[0] == "admission") {
            if (w.size() != 2 || !parse_number(w[1], num))
                ok = false;
            else
                cfg.admission = num;
        } else if (w.size() == 2) {
            cfg.globals[w[0]] = w[1];
        } else {
            ok = false;
        }
        if (!ok) {
            fprintf(stderr, "ac_sim: %s:%d: cannot read line: %s\n", path, lineno, line.c_str());
            break;
        }
        line.clear();
        if (ch == EOF) break;
    }
    fclose(f);
    return ok;
}

// ---- lookups ------------------------------------------------------------------------

const wtp *find_wtp(const config &cfg, const mac_t &mac) {
    for (const wtp &w : cfg.fleet)
        if (w.mac == mac) return &w;
    return nullptr;
}

std::string attr(const wtp *w, const char *key, const std::string &def) {
    if (!w) return def;
    auto it = w->attrs.find(key);
    return it == w->attrs.end() ? def : it->second;
}

std::string global(const config &cfg, const char *key, const std::string &def) {
    auto it = cfg.globals.find(key);
    return it == cfg.globals.end() ? def : it->second;
}

uint8_t result_for(const config &cfg, const mac_t &mac, const char *command) {
    uint32_t v = 0;
    std::string forced = global(cfg, "force_result");
    if (!forced.empty() && parse_number(forced, v)) return static_cast<uint8_t>(v);
    const wtp *w = find_wtp(cfg, mac);
    std::string text;
    if (w) {
        text = attr(w, command);
        if (text.empty()) text = attr(w, "result");
        if (text.empty()) text = global(cfg, "result", "0");
    } else if (status_knows(cfg, mac)) {
        text = global(cfg, "result", "0");
    } else {
        text = global(cfg, "unknown_result", "6");  // not found
    }
    if (!parse_number(text, v)) v = 1;
    return static_cast<uint8_t>(v);
}

bool result_fixed(const config &cfg, const mac_t &mac, const char *command) {
    if (!global(cfg, "force_result").empty() || !global(cfg, "result").empty()) return true;
    const wtp *w = find_wtp(cfg, mac);
    return w && (!attr(w, command).empty() || !attr(w, "result").empty());
}

void check_len(session &s, uint32_t got, uint32_t expected) {
    if (got != expected)
        s.c.error("body length " + std::to_string(got) + ", layout gives " +
                  std::to_string(expected));
}

bool read_mac_list(session &s, std::vector<mac_t> &macs) {
    uint16_t n;
    return s.c.u16(n) && s.c.macs(n, macs);
}

void put_results(session &s, const std::vector<mac_t> &macs, const char *command) {
    for (const mac_t &m : macs) s.c.put_u8(result_for(s.cfg, m, command));
}

// ---- connection ---------------------------------------------------------------------

namespace {

int64_t now_ms() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t{ts.tv_sec} * 1000 + ts.tv_nsec / 1000000;
}

}  // namespace

conn::conn(int fd, const config &cfg) : fd_(fd), cfg_(cfg) {
    if (cfg.conn_time > 0) deadline_ms_ = now_ms() + int64_t{cfg.conn_time} * 1000;
}

conn::~conn() = default;

bool conn::wait(short events, bool idle) {
    for (;;) {
        if (timed_out_) return false;
        int64_t left = deadline_ms_ < 0 ? INT_MAX : deadline_ms_ - now_ms();
        int64_t idle_ms = int64_t{IDLE_SECONDS} * 1000;
        bool by_deadline = !(idle && idle_ms < left);
        int wait_ms = static_cast<int>(by_deadline ? (left > 0 ? left : 0) : idle_ms);
        pollfd p{fd_, events, 0};
        int r = idle ? poll_unless_stopped(&p, 1, wait_ms, stop_requested)
                     : poll(&p, 1, wait_ms);
        if (r > 0) return true;
        if (r < 0 && errno == EINTR) {
            if (idle && stop_requested) return false;
            continue;
        }
        if (r == 0 && by_deadline && deadline_ms_ >= 0) {
            timed_out_ = true;
            error("connection time limit of " + std::to_string(cfg_.conn_time) + " s reached");
        } else if (r == 0) {
            // Said in the log, so that a client too slow for the rule shows as such.
            timed_out_ = true;
            error("nothing received for " + std::to_string(IDLE_SECONDS) + " s");
        }
        return false;
    }
}

void conn::log_in(const uint8_t *p, size_t n) {
    size_t keep = in_.size() < LOG_BYTES_MAX ? LOG_BYTES_MAX - in_.size() : 0;
    if (keep > n) keep = n;
    in_.insert(in_.end(), p, p + keep);
    in_dropped_ += n - keep;
}

void conn::log_out(const uint8_t *p, size_t n) {
    size_t keep = out_log_.size() < LOG_BYTES_MAX ? LOG_BYTES_MAX - out_log_.size() : 0;
    if (keep > n) keep = n;
    out_log_.insert(out_log_.end(), p, p + keep);
    out_dropped_ += n - keep;
}

bool conn::read(void *buf, size_t n) {
    uint8_t *p = static_cast<uint8_t *>(buf);
    size_t done = 0;
    while (done < n) {
        if (!wait(POLLIN, true)) return false;
        ssize_t r = recv(fd_, p + done, n - done, MSG_DONTWAIT);
        if (r > 0) {
            log_in(p + done, static_cast<size_t>(r));
            done += static_cast<size_t>(r);
        } else if (r < 0 && (errno == EINTR || errno == EAGAIN) && !stop_requested) {
            continue;
        } else {
            return false;
        }
    }
    return true;
}

bool conn::u8(uint8_t &v) { return read(&v, 1); }

bool conn::u16(uint16_t &v) {
    uint8_t b[2];
    if (!read(b, 2)) return false;
    v = static_cast<uint16_t>((b[0] << 8) | b[1]);
    return true;
}

bool conn::u32(uint32_t &v) {
    uint8_t b[4];
    if (!read(b, 4)) return false;
    v = (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
    return true;
}

bool conn::mac(mac_t &m) { return read(m.data(), 6); }

bool conn::macs(uint16_t n, std::vector<mac_t> &out) {
    out.clear();
    for (uint16_t i = 0; i < n; ++i) {
        mac_t m;
        if (!mac(m)) return false;
        out.push_back(m);
    }
    return true;
}

bool conn::text(size_t n, std::string &out) {
    out.assign(n, '\0');
    return n == 0 || read(out.data(), n);
}

void conn::put_u8(uint8_t v) { pending_.push_back(v); }

void conn::put_u16(uint16_t v) {
    pending_.push_back(static_cast<uint8_t>(v >> 8));
    pending_.push_back(static_cast<uint8_t>(v));
}

void conn::put_u32(uint32_t v) {
    put_u16(static_cast<uint16_t>(v >> 16));
    put_u16(static_cast<uint16_t>(v));
}

void conn::put_bytes(const void *p, size_t n) {
    const uint8_t *b = static_cast<const uint8_t *>(p);
    pending_.insert(pending_.end(), b, b + n);
}

void conn::put_mac(const mac_t &m) { put_bytes(m.data(), m.size()); }

void conn::put_prepared(const std::vector<uint8_t> &bytes) { prepared_ = &bytes; }

bool conn::flush() {
    bool ok = send_reply(pending_.data(), pending_.size());
    if (ok && prepared_) ok = send_reply(prepared_->data(), prepared_->size());
    pending_.clear();
    prepared_ = nullptr;
    return ok && !cut_;
}

// Sends reply bytes, up to the cut; false when cut or when the send failed.
bool conn::send_reply(const uint8_t *p, size_t n) {
    if (cut_) return false;
    if (cfg_.cut_after >= 0) {
        long room = cfg_.cut_after - reply_bytes_;
        if (room < 0) room = 0;
        if (static_cast<long>(n) >= room) {
            n = static_cast<size_t>(room);
            cut_ = true;
        }
    }
    size_t done = 0;
    bool ok = send_all(p, n, done);
    if (!cfg_.log_file.empty()) log_out(p, done);
    reply_bytes_ += static_cast<long>(done);
    return ok && !cut_;
}

// Sends until all is sent, the send fails or the connection's time is up.
bool conn::send_all(const uint8_t *p, size_t n, size_t &done) {
    done = 0;
    while (done < n) {
        ssize_t r = send(fd_, p + done, n - done, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (r > 0)
            done += static_cast<size_t>(r);
        else if (r < 0 && errno == EAGAIN && wait(POLLOUT, false))
            continue;
        else if (!(r < 0 && errno == EINTR))
            return false;
    }
    return true;
}

bool conn::send_direct(const void *p, size_t n) {
    size_t done = 0;
    bool ok = send_all(static_cast<const uint8_t *>(p), n, done);
    log_out(static_cast<const uint8_t *>(p), done);
    return ok;
}

namespace {

// Log lines stay one line each: bytes outside printable ASCII are written as \xHH.
std::string printable(const std::string &text) {
    std::string out;
    for (unsigned char ch : text) {
        if (ch >= 0x20 && ch < 0x7F && ch != '\\') {
            out += static_cast<char>(ch);
        } else {
            char buf[8];
            snprintf(buf, sizeof buf, "\\x%02x", ch);
            out += buf;
        }
    }
    return out;
}

}  // namespace

void conn::note(const std::string &text) { notes_.push_back("note " + printable(text)); }

void conn::error(const std::string &text) {
    notes_.push_back("error " + printable(text));
    fprintf(stderr, "ac_sim: %s\n", printable(text).c_str());
}

}  // namespace acsim
