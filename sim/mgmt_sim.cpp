// mgmt_sim: a stand-in for the central management server, on loopback only.
//
// Listens on one port number for TCP and UDP at 127.0.0.1, deciphers and checks every request
// and answers it with a configurable result, WAN address and encoding (or not at all). Each
// request can be logged as one JSON line (wire bytes, deciphered bytes, elements, reply) so
// tests compare exact bytes.
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "stop_wait.h"
#include "tea.h"

namespace {

constexpr int PKT = 512;
constexpr int HDR = 16;

enum class encode_mode { same, on, off };

struct settings {
    int port = 0;
    const char *port_file = nullptr;
    const char *log_file = nullptr;
    int result = 0;
    bool result_forced = false;
    struct in_addr wan = {};
    int wan_length = 4;  // value bytes of the address element; -1: no element
    encode_mode encode = encode_mode::same;
    bool silent = false;
    const char *magic = "123";
    int total_length = -1;  // override of the reply's total_length field
    bool header_only = false;
    uint8_t raw[PKT] = {};
    int raw_len = -1;  // verbatim reply when set
    const char *checkcode = nullptr;
    long max_requests = -1;
    int split = -1;  // TCP: send this many reply bytes first, the rest after a pause
    bool stall = false;  // with split: never send the rest
};

settings cfg;
volatile sig_atomic_t stop_requested = 0;

void on_signal(int)
{
    stop_requested = 1;
}

void usage(FILE *out)
{
    fputs("Usage: mgmt_sim [OPTION...]\n"
          "Management-server simulator on 127.0.0.1 (TCP and UDP on the same port).\n\n"
          "  --port N            port to bind (0: any free port; default 0)\n"
          "  --port-file FILE    write the bound port number to FILE once listening\n"
          "  --result N          result code of every reply (0-255; default: from the checks)\n"
          "  --wan A.B.C.D       WAN address sent back in the reply (default 203.0.113.7)\n"
          "  --wan-length N      value length of the address element (default 4)\n"
          "  --no-wan            send no address element\n"
          "  --encode MODE       reply encoding: same (as the request), on, off\n"
          "  --silent            read requests but never answer\n"
          "  --magic XYZ         three magic characters of the reply (default 123)\n"
          "  --total-length N    total_length written in the reply header\n"
          "  --header-only       reply with the 16-byte header only\n"
          "  --reply-hex HEX     send these bytes as the reply, verbatim\n"
          "  --checkcode HEX     expected check code; another one is answered with 26\n"
          "  --split N           TCP: send the first N reply bytes, the rest 0.3 s later\n"
          "  --stall             with --split: never send the rest, hold the connection\n"
          "  --max-requests N    exit after N requests\n"
          "  --log FILE          append one JSON line per request to FILE\n"
          "  --help              show this text\n",
          out);
}

bool parse_long(const char *text, long lo, long hi, long *out)
{
    char *end = nullptr;
    errno = 0;
    long v = strtol(text, &end, 10);
    if (errno || !*text || *end || v < lo || v > hi)
        return false;
    *out = v;
    return true;
}

int hex_value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool parse_hex(const char *text, uint8_t *out, int *len)
{
    size_t n = strlen(text);
    if (n % 2 || n / 2 > size_t(PKT))
        return false;
    for (size_t i = 0; i < n; i += 2) {
        int hi = hex_value(text[i]), lo = hex_value(text[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        out[i / 2] = uint8_t(hi << 4 | lo);
    }
    *len = int(n / 2);
    return true;
}

bool parse_args(int argc, char **argv)
{
    inet_aton("203.0.113.7", &cfg.wan);
    for (int i = 1; i < argc; i++) {
        const char *a = argv[i];
        const char *v = i + 1 < argc ? argv[i + 1] : nullptr;
        long n = 0;
        auto need = [&](bool ok) {
            if (!ok)
                fprintf(stderr, "mgmt_sim: bad or missing value for %s\n", a);
            return ok;
        };
        if (!strcmp(a, "--help")) {
            usage(stdout);
            exit(0);
        } else if (!strcmp(a, "--silent")) {
            cfg.silent = true;
        } else if (!strcmp(a, "--no-wan")) {
            cfg.wan_length = -1;
        } else if (!strcmp(a, "--header-only")) {
            cfg.header_only = true;
        } else if (!strcmp(a, "--stall")) {
            cfg.stall = true;
        } else if (!strcmp(a, "--port")) {
            if (!need(v && parse_long(v, 0, 65535, &n)))
                return false;
            cfg.port = int(n), i++;
        } else if (!strcmp(a, "--port-file") || !strcmp(a, "--log") ||
                   !strcmp(a, "--checkcode")) {
            if (!need(v != nullptr))
                return false;
            (!strcmp(a, "--port-file") ? cfg.port_file
             : !strcmp(a, "--log")     ? cfg.log_file
                                       : cfg.checkcode) = v;
            i++;
        } else if (!strcmp(a, "--result")) {
            if (!need(v && parse_long(v, 0, 255, &n)))
                return false;
            cfg.result = int(n), cfg.result_forced = true, i++;
        } else if (!strcmp(a, "--wan")) {
            if (!need(v && inet_aton(v, &cfg.wan)))
                return false;
            i++;
        } else if (!strcmp(a, "--wan-length")) {
            if (!need(v && parse_long(v, 0, 255, &n)))
                return false;
            cfg.wan_length = int(n), i++;
        } else if (!strcmp(a, "--encode")) {
            if (!need(v && (!strcmp(v, "same") || !strcmp(v, "on") || !strcmp(v, "off"))))
                return false;
            cfg.encode = !strcmp(v, "on") ? encode_mode::on
                         : !strcmp(v, "off") ? encode_mode::off
                                             : encode_mode::same;
            i++;
        } else if (!strcmp(a, "--magic")) {
            if (!need(v && strlen(v) == 3))
                return false;
            cfg.magic = v, i++;
        } else if (!strcmp(a, "--total-length")) {
            if (!need(v && parse_long(v, 0, 65535, &n)))
                return false;
            cfg.total_length = int(n), i++;
        } else if (!strcmp(a, "--reply-hex")) {
            if (!need(v && parse_hex(v, cfg.raw, &cfg.raw_len)))
                return false;
            i++;
        } else if (!strcmp(a, "--split")) {
            if (!need(v && parse_long(v, 1, PKT, &n)))
                return false;
            cfg.split = int(n), i++;
        } else if (!strcmp(a, "--max-requests")) {
            if (!need(v && parse_long(v, 1, 1000000, &n)))
                return false;
            cfg.max_requests = n, i++;
        } else {
            fprintf(stderr, "mgmt_sim: unknown option %s (try --help)\n", a);
            return false;
        }
    }
    return true;
}

int word_count(int payload)
{
    return payload / 4 + (payload % 4 ? 1 : 0);
}

// One received request, deciphered and walked.
struct request {
    uint8_t wire[PKT] = {};
    int wire_len = 0;
    uint8_t plain[PKT] = {};
    int plain_len = 0;
    int total_length = 0;
    int check = 0;  // result code the checks give
    const char *problem = "";
    uint8_t elem_type[PKT];
    uint8_t elem_len[PKT];
    int elem_at[PKT];
    int elems = 0;
};

void analyse(request &r)
{
    memcpy(r.plain, r.wire, size_t(r.wire_len));
    r.plain_len = r.wire_len;
    const uint8_t *h = r.wire;
    if (r.wire_len < HDR) {
        r.check = 15, r.problem = "short header";
        return;
    }
    r.total_length = h[14] << 8 | h[15];
    if (memcmp(h, "123", 3) != 0)
        r.check = 5, r.problem = "magic";
    else if (h[4] > 4)
        r.check = 6, r.problem = "version";
    else if (h[5] > 7)
        r.check = 7, r.problem = "type";
    else if (h[7] > 3)
        r.check = 8, r.problem = "encode_type";
    else if (h[8] > 25)
        r.check = 9, r.problem = "action";
    else if (h[3] != 0 || h[4] != 3 || h[5] != 2 || h[7] != 0 || h[8] != 16 || h[9] != 0 ||
             h[10] != '0' || h[11] || h[12] || h[13])
        r.check = 15, r.problem = "header fields";
    if (r.check)
        return;
    int payload = r.wire_len - HDR;
    int expect = h[6] == 1 ? 4 * word_count(r.total_length) : r.total_length;
    if (payload != expect || h[6] > 1) {
        r.check = 15, r.problem = "length";
        return;
    }
    if (h[6] == 1 && payload > 0) {
        uint32_t work[PKT / 4] = {};
        decryptBlock(work, r.plain + HDR, size_t(payload), size_t(word_count(payload)), TEAKey);
    }
    int at = HDR, end = HDR + r.total_length;
    while (at < end) {
        if (end - at < 2 || end - at < 2 + r.plain[at + 1]) {
            r.check = 15, r.problem = "element overrun";
            return;
        }
        r.elem_type[r.elems] = r.plain[at];
        r.elem_len[r.elems] = r.plain[at + 1];
        r.elem_at[r.elems++] = at + 2;
        at += 2 + r.plain[at + 1];
    }
    if (cfg.checkcode)
        for (int i = 0; i < r.elems; i++)
            if (r.elem_type[i] == 14 &&
                (r.elem_len[i] != strlen(cfg.checkcode) ||
                 memcmp(r.plain + r.elem_at[i], cfg.checkcode, r.elem_len[i]) != 0))
                r.check = 26, r.problem = "checkcode";
}

// Builds the reply to a request; returns its length.
int build_reply(const request &r, uint8_t *out)
{
    if (cfg.raw_len >= 0) {
        memcpy(out, cfg.raw, size_t(cfg.raw_len));
        return cfg.raw_len;
    }
    memset(out, 0, PKT);
    memcpy(out, cfg.magic, 3);
    bool encode = cfg.encode == encode_mode::on ||
                  (cfg.encode == encode_mode::same && r.wire_len > 6 && r.wire[6] == 1);
    out[4] = 3;
    out[5] = 2;
    out[6] = encode ? 1 : 0;
    out[8] = 16;
    out[9] = uint8_t(cfg.result_forced ? cfg.result : r.check);
    out[10] = '0';
    int len = HDR;
    if (!cfg.header_only && cfg.wan_length >= 0) {
        out[len++] = 5;
        out[len++] = uint8_t(cfg.wan_length);
        uint8_t addr[4];
        memcpy(addr, &cfg.wan.s_addr, 4);
        for (int i = 0; i < cfg.wan_length; i++)
            out[len++] = i < 4 ? addr[i] : 0;
    }
    int payload = len - HDR;
    int total = cfg.total_length >= 0 ? cfg.total_length : payload;
    out[14] = uint8_t(total >> 8);
    out[15] = uint8_t(total);
    if (encode && payload > 0) {
        uint32_t work[PKT / 4] = {};
        int words = word_count(payload);
        encryptBlock(out + HDR, size_t(payload), work, size_t(words), TEAKey);
        len = HDR + 4 * words;
    }
    return len;
}

void put_hex(FILE *f, const uint8_t *b, int n)
{
    for (int i = 0; i < n; i++)
        fprintf(f, "%02x", b[i]);
}

void log_request(const char *proto, const request &r, const uint8_t *reply, int reply_len)
{
    if (!cfg.log_file)
        return;
    FILE *f = fopen(cfg.log_file, "a");
    if (!f)
        return;
    fprintf(f, "{\"proto\": \"%s\", \"check\": %d, \"problem\": \"%s\", \"wire\": \"", proto,
            r.check, r.problem);
    put_hex(f, r.wire, r.wire_len);
    fputs("\", \"plain\": \"", f);
    put_hex(f, r.plain, r.plain_len);
    fputs("\", \"elements\": [", f);
    for (int i = 0; i < r.elems; i++) {
        fprintf(f, "%s[%d, \"", i ? ", " : "", r.elem_type[i]);
        put_hex(f, r.plain + r.elem_at[i], r.elem_len[i]);
        fputs("\"]", f);
    }
    fputs("], \"reply\": ", f);
    if (reply_len < 0)
        fputs("null", f);
    else {
        fputc('"', f);
        put_hex(f, reply, reply_len);
        fputc('"', f);
    }
    fputs("}\n", f);
    fclose(f);
}

// Reads one TCP request: the header, then as many bytes as its length fields announce.
int read_tcp_request(int fd, uint8_t *buf)
{
    int got = 0, want = HDR;
    while (got < want) {
        ssize_t n = read(fd, buf + got, size_t(PKT - got));
        if (n <= 0)
            break;
        got += int(n);
        if (got >= HDR) {
            int total = buf[14] << 8 | buf[15];
            int payload = buf[6] == 1 ? 4 * word_count(total) : total;
            want = HDR + payload > PKT ? PKT : HDR + payload;
        }
    }
    return got;
}

// Holds a connection open until the client gives up.
void hold_open(int fd)
{
    struct timeval wait = {0, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    uint8_t sink[PKT];
    while (!stop_requested && read(fd, sink, sizeof sink) > 0) {
    }
}

// Writes a TCP reply at once, or in two segments with --split.
void send_tcp_reply(int fd, const uint8_t *reply, int len)
{
    int first = cfg.split >= 0 && cfg.split < len ? cfg.split : len;
    (void)!write(fd, reply, size_t(first));
    if (first == len)
        return;
    if (cfg.stall) {
        hold_open(fd);
        return;
    }
    poll(nullptr, 0, 300);
    (void)!write(fd, reply + first, size_t(len - first));
}

void serve_tcp(int listener)
{
    int fd = accept(listener, nullptr, nullptr);
    if (fd < 0)
        return;
    struct timeval limit = {5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    request r;
    r.wire_len = read_tcp_request(fd, r.wire);
    analyse(r);
    uint8_t reply[PKT];
    int reply_len = -1;
    // Logged before answering, so the record is there by the time the client has its reply.
    if (!cfg.silent)
        reply_len = build_reply(r, reply);
    log_request("tcp", r, reply, reply_len);
    if (cfg.silent)
        hold_open(fd);
    else
        send_tcp_reply(fd, reply, reply_len);
    close(fd);
}

void serve_udp(int fd)
{
    request r;
    struct sockaddr_in peer;
    socklen_t peer_len = sizeof peer;
    ssize_t n = recvfrom(fd, r.wire, sizeof r.wire, 0,
                         reinterpret_cast<struct sockaddr *>(&peer), &peer_len);
    if (n < 0)
        return;
    r.wire_len = int(n);
    analyse(r);
    uint8_t reply[PKT];
    int reply_len = -1;
    if (!cfg.silent)
        reply_len = build_reply(r, reply);
    log_request("udp", r, reply, reply_len);
    if (!cfg.silent)
        sendto(fd, reply, size_t(reply_len), 0, reinterpret_cast<struct sockaddr *>(&peer),
               peer_len);
}

int open_socket(int type, uint16_t port)
{
    int fd = socket(AF_INET, type, 0);
    if (fd < 0)
        return -1;
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    struct sockaddr_in sa = {};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(fd, reinterpret_cast<struct sockaddr *>(&sa), sizeof sa) != 0 ||
        (type == SOCK_STREAM && listen(fd, 8) != 0)) {
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

int main(int argc, char **argv)
{
    if (!parse_args(argc, argv)) {
        usage(stderr);
        return 2;
    }
    struct sigaction sa = {};
    sa.sa_handler = on_signal;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);

    // With --port 0 take a free TCP port, then the same number for UDP (retry if taken).
    int tcp = -1, udp = -1;
    for (int attempt = 0; attempt < 50 && udp < 0; attempt++) {
        tcp = open_socket(SOCK_STREAM, uint16_t(cfg.port));
        if (tcp < 0)
            break;
        struct sockaddr_in bound = {};
        socklen_t len = sizeof bound;
        getsockname(tcp, reinterpret_cast<struct sockaddr *>(&bound), &len);
        udp = open_socket(SOCK_DGRAM, ntohs(bound.sin_port));
        if (udp < 0) {
            close(tcp);
            tcp = -1;
            if (cfg.port != 0)
                break;
        } else {
            cfg.port = ntohs(bound.sin_port);
        }
    }
    if (tcp < 0 || udp < 0) {
        fprintf(stderr, "mgmt_sim: cannot bind 127.0.0.1:%d: %s\n", cfg.port, strerror(errno));
        return 1;
    }
    if (cfg.port_file) {
        char tmp[4096];
        snprintf(tmp, sizeof tmp, "%s.tmp", cfg.port_file);
        FILE *f = fopen(tmp, "w");
        if (!f || fprintf(f, "%d\n", cfg.port) < 0 || fclose(f) != 0 ||
            rename(tmp, cfg.port_file) != 0) {
            fprintf(stderr, "mgmt_sim: cannot write %s\n", cfg.port_file);
            return 1;
        }
    }
    long served = 0;
    while (!stop_requested && (cfg.max_requests < 0 || served < cfg.max_requests)) {
        struct pollfd fds[2] = {{tcp, POLLIN, 0}, {udp, POLLIN, 0}};
        if (poll_unless_stopped(fds, 2, -1, stop_requested) < 0)
            continue;
        if (fds[0].revents & POLLIN)
            serve_tcp(tcp), served++;
        if (fds[1].revents & POLLIN)
            serve_udp(udp), served++;
    }
    close(tcp);
    close(udp);
    return 0;
}
