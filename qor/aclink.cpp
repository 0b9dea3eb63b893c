// The link to the AC daemon.
#include "aclink.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

int ac_sock = -1;

#ifdef QOR_RECV_STATS
// Bench builds count every recv() of the run and report the count when the process ends.
namespace {
unsigned long recv_calls = 0;
struct recv_stats_report {
    ~recv_stats_report() { fprintf(stderr, "recv calls: %lu\n", recv_calls); }
} recv_stats;
}  // namespace
#endif

namespace {

const char WRITE_FAILED[] = "ERROR: writing socket failed for reason";
const char READ_FAILED[] = "ERROR: reading socket failed for reason";

}  // namespace

int ac_connect(const char *server, int port) {
    int sock = socket(AF_INET, SOCK_STREAM, 0);
    if (sock < 0) {
        fprintf(stderr, "ERROR: create socket failed.\n");
        exit(1);
    }
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    // A server text that is not a dotted address leaves the address all zeros.
    if (inet_pton(AF_INET, server ? server : "", &addr.sin_addr) != 1) addr.sin_addr.s_addr = 0;
    int rc;
    do {
        rc = connect(sock, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
    } while (rc < 0 && errno == EINTR);
    if (rc < 0) {
        fprintf(stderr, "ERROR: AC is not running.\n");
        close(sock);
        exit(1);
    }
    ac_recv_drop(sock);  // nothing received earlier on this number belongs to this link
    uint32_t word = 0;
    ssize_t n = ac_recv_u32(sock, &word);
    if (n != 4) {
        if (n < 0) perror(READ_FAILED);
        close(sock);
        exit(1);
    }
    if (word == AC_ADMIT_BUSY) {
        fprintf(stderr,
                "ERROR: System is busy and cannot handle your request now, please try again "
                "later.\n");
        close(sock);
        exit(1);
    }
    if (word != AC_ADMIT_OK) {
        fprintf(stderr, "ERROR: Something Wrong Happened While Connecting To The AC Server.\n");
        close(sock);
        exit(1);
    }
    return sock;
}

namespace {

// An address and port as the kernel's socket tables print them: the address's 32-bit
// words as they lie in memory, each in 8 hexadecimal digits, then ':' and the port in 4.
void table_endpoint(char *out, size_t cap, const uint8_t *addr, size_t len, uint16_t port) {
    size_t n = 0;
    for (size_t i = 0; i + 4 <= len; i += 4) {
        uint32_t word;
        memcpy(&word, addr + i, 4);
        n += static_cast<size_t>(snprintf(out + n, cap - n, "%08X", word));
    }
    snprintf(out + n, cap - n, ":%04X", port);
}

// The uid column of the row of `table` whose local and remote endpoints are the given
// ones ("sl local remote st tx:rx tr:when retrnsmt uid ...").
bool table_uid(const char *table, const char *local, const char *remote, uid_t &uid) {
    FILE *f = fopen(table, "re");
    if (!f) return false;
    char line[512], l[64], r[64];
    unsigned long owner;
    bool found = false;
    while (!found && fgets(line, sizeof line, f)) {
        if (sscanf(line, "%*s %63s %63s %*s %*s %*s %*s %lu", l, r, &owner) == 3 &&
            strcasecmp(l, local) == 0 && strcasecmp(r, remote) == 0) {
            uid = static_cast<uid_t>(owner);
            found = true;
        }
    }
    fclose(f);
    return found;
}

}  // namespace

bool ac_peer_uid(int sock, uid_t &uid) {
    sockaddr_storage any{};
    socklen_t al = sizeof any;
    if (getsockname(sock, reinterpret_cast<sockaddr *>(&any), &al) == 0 &&
        any.ss_family == AF_UNIX) {
        // A local stream socket (the test peers' socket pairs): the kernel knows the peer.
        ucred cred{};
        socklen_t cl = sizeof cred;
        if (getsockopt(sock, SOL_SOCKET, SO_PEERCRED, &cred, &cl) != 0) return false;
        uid = cred.uid;
        return true;
    }
    sockaddr_in mine{}, peer{};
    socklen_t ml = sizeof mine, pl = sizeof peer;
    if (getsockname(sock, reinterpret_cast<sockaddr *>(&mine), &ml) != 0 ||
        getpeername(sock, reinterpret_cast<sockaddr *>(&peer), &pl) != 0 ||
        mine.sin_family != AF_INET || peer.sin_family != AF_INET)
        return false;
    // The AC's end has the peer's address as its local one and ours as its remote one.
    // An AC listening on an IPv6 socket holds it as an IPv4-mapped address.
    char local[64], remote[64];
    table_endpoint(local, sizeof local, reinterpret_cast<const uint8_t *>(&peer.sin_addr), 4,
                   ntohs(peer.sin_port));
    table_endpoint(remote, sizeof remote, reinterpret_cast<const uint8_t *>(&mine.sin_addr), 4,
                   ntohs(mine.sin_port));
    if (table_uid("/proc/net/tcp", local, remote, uid)) return true;
    uint8_t mapped[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    memcpy(mapped + 12, &peer.sin_addr, 4);
    table_endpoint(local, sizeof local, mapped, sizeof mapped, ntohs(peer.sin_port));
    memcpy(mapped + 12, &mine.sin_addr, 4);
    table_endpoint(remote, sizeof remote, mapped, sizeof mapped, ntohs(mine.sin_port));
    return table_uid("/proc/net/tcp6", local, remote, uid);
}

void ac_disconnect(int sock, bool peer_may_close) {
    uint8_t code = REQ_CLOSE;
    if (ac_send_all(sock, &code, 1) < 0 && !peer_may_close) perror(WRITE_FAILED);
    ac_recv_drop(sock);
    if (close(sock) < 0) perror("ERROR");
}

ssize_t ac_send_all(int sock, const void *buf, size_t len) {
    const uint8_t *p = static_cast<const uint8_t *>(buf);
    size_t done = 0;
    while (done < len) {
        // MSG_NOSIGNAL: a peer that has gone away gives EPIPE, not a fatal SIGPIPE.
        ssize_t n = send(sock, p + done, len - done, MSG_NOSIGNAL);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            return -1;
        }
    }
    return static_cast<ssize_t>(len);
}

namespace {

// One recv() call, repeated while it is interrupted.
ssize_t recv_once(int sock, void *buf, size_t len) {
    ssize_t n;
    do {
#ifdef QOR_RECV_STATS
        ++recv_calls;
#endif
        n = recv(sock, buf, len, 0);
    } while (n < 0 && errno == EINTR);
    return n;
}

#ifndef QOR_FIELDWISE_RECV
// What was received from the AC ahead of the fields decoded so far. A reply is decoded field
// by field; the buffer lets one recv() serve many fields. It belongs to one descriptor at a
// time: a call on another one forgets it.
constexpr size_t RECV_BUF_SIZE = 64 * 1024;

struct recv_buffer {
    int fd = -1;
    size_t head = 0, tail = 0;  // the unread bytes are data[head, tail)
    uint8_t data[RECV_BUF_SIZE];
};

recv_buffer rx;

// The next `len` bytes when all of them are already buffered for `sock` (taken), else null.
inline const uint8_t *rx_take(int sock, size_t len) {
    if (rx.fd != sock || rx.tail - rx.head < len) return nullptr;
    const uint8_t *p = rx.data + rx.head;
    rx.head += len;
    return p;
}
#else
inline const uint8_t *rx_take(int, size_t) { return nullptr; }
#endif

}  // namespace

void ac_recv_drop(int sock) {
#ifndef QOR_FIELDWISE_RECV
    if (rx.fd == sock) {
        rx.fd = -1;
        rx.head = rx.tail = 0;
    }
#else
    (void)sock;
#endif
}

#ifdef QOR_FIELDWISE_RECV

ssize_t ac_recv_all(int sock, void *buf, size_t len) {
    uint8_t *p = static_cast<uint8_t *>(buf);
    size_t done = 0;
    while (done < len) {
        ssize_t n = recv_once(sock, p + done, len - done);
        if (n < 0) return -1;
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

#else

ssize_t ac_recv_all(int sock, void *buf, size_t len) {
    uint8_t *p = static_cast<uint8_t *>(buf);
    if (rx.fd != sock) {
        rx.fd = sock;
        rx.head = rx.tail = 0;
    }
    size_t done = std::min(len, rx.tail - rx.head);
    if (done) memcpy(p, rx.data + rx.head, done);
    rx.head += done;
    // Each recv() takes what has arrived, and is made only while the caller still needs bytes.
    while (done < len) {
        size_t want = len - done;
        ssize_t n;
        if (want >= RECV_BUF_SIZE) {
            n = recv_once(sock, p + done, want);  // large reads go straight to the caller
            if (n > 0) done += static_cast<size_t>(n);
        } else {
            n = recv_once(sock, rx.data, RECV_BUF_SIZE);
            if (n > 0) {
                size_t k = std::min(want, static_cast<size_t>(n));
                memcpy(p + done, rx.data, k);
                done += k;
                rx.head = k;
                rx.tail = static_cast<size_t>(n);
            }
        }
        if (n < 0) return -1;
        if (n == 0) break;  // the AC closed: what came so far
    }
    return static_cast<ssize_t>(done);
}

#endif

ssize_t ac_recv_u32(int sock, uint32_t *out) {
    uint8_t b[4];
    ssize_t n = ac_recv_all(sock, b, 4);
    if (n == 4) *out = get_be32(b);
    return n;
}

// ---- request discipline -------------------------------------------------------------------

int send_bytes(int sock, const void *buf, size_t len) {
    ssize_t n = ac_send_all(sock, buf, len);
    if (n < 0) {
        perror(WRITE_FAILED);
        return 1;
    }
    return static_cast<size_t>(n) == len ? 0 : 1;
}

int recv_bytes(int sock, void *buf, size_t len) {
    ssize_t n = ac_recv_all(sock, buf, len);
    if (n < 0) {
        perror(READ_FAILED);
        return 1;
    }
    return static_cast<size_t>(n) == len ? 0 : 1;
}

// The fixed-size fields come straight from the buffer when it holds them.
int recv_u8(int sock, uint8_t *v) {
    if (const uint8_t *p = rx_take(sock, 1)) {
        *v = *p;
        return 0;
    }
    return recv_bytes(sock, v, 1);
}

int recv_u16(int sock, uint16_t *v) {
    if (const uint8_t *p = rx_take(sock, 2)) {
        *v = get_be16(p);
        return 0;
    }
    uint8_t b[2];
    if (recv_bytes(sock, b, 2)) return 1;
    *v = get_be16(b);
    return 0;
}

int recv_u32(int sock, uint32_t *v) {
    if (const uint8_t *p = rx_take(sock, 4)) {
        *v = get_be32(p);
        return 0;
    }
    uint8_t b[4];
    if (recv_bytes(sock, b, 4)) return 1;
    *v = get_be32(b);
    return 0;
}

int recv_text16(int sock, std::string &text, bool *present, const char *oom_msg) {
    text.clear();
    if (present) *present = false;
    uint16_t len;
    if (recv_u16(sock, &len)) return 1;
    if (len == 0) return 0;
    try {
        text.resize(len);  // std::string keeps the terminator after the bytes
    } catch (const std::bad_alloc &) {
        fputs(oom_msg, stderr);
        return 1;
    }
    if (recv_bytes(sock, text.data(), len)) {
        text.clear();
        return 1;
    }
    if (present) *present = true;
    return 0;
}

void wire_buf::u8(uint8_t v) { bytes(&v, 1); }

void wire_buf::u16(uint16_t v) {
    uint8_t b[2];
    put_be16(b, v);
    bytes(b, 2);
}

void wire_buf::u32(uint32_t v) {
    uint8_t b[4];
    put_be32(b, v);
    bytes(b, 4);
}

void wire_buf::bytes(const void *p, size_t n) {
    if (oom_ || n == 0) return;
    try {
        const uint8_t *b = static_cast<const uint8_t *>(p);
        buf_.insert(buf_.end(), b, b + n);
    } catch (const std::bad_alloc &) {
        oom_ = true;
    }
}

void wire_buf::macs(const std::vector<mac_addr> &list) {
    for (const mac_addr &m : list) bytes(m.data(), m.size());
}

int send_request(int sock, const wire_buf &req) {
    if (req.failed()) {
        fprintf(stderr, "ERROR: Out of memory\n");
        return 1;
    }
    return send_bytes(sock, req.data().data(), req.data().size());
}

int recv_results(int sock, const std::vector<mac_addr> &macs, bool count_failures) {
    int failed = 0;
    for (const mac_addr &m : macs) {
        uint8_t code;
        if (recv_u8(sock, &code)) return 1;
        if (code != 0) {
            report_result(code, m.data());
            if (count_failures) failed = 1;
        }
    }
    return failed;
}

// ---- TLV lists ----------------------------------------------------------------------------

int tlv_add(tlv_list &list, uint32_t type, uint32_t key_len, const uint8_t *key,
            uint32_t value_len, const void *value) {
    // Each of these travels in a 16-bit field; a larger one could not be written intact.
    if (type > 0xFFFF || key_len > 0xFFFF || value_len > 0xFFFF ||
        (key_len && !key) || (value_len && !value)) {
        fprintf(stderr, "ERROR: TLV item too long.\n");
        return 1;
    }
    try {
        tlv_item item;
        item.type = type;
        if (key_len) item.key.assign(key, key + key_len);
        if (value_len) {
            const uint8_t *v = static_cast<const uint8_t *>(value);
            item.value.assign(v, v + value_len);
        }
        list.items.push_back(std::move(item));
    } catch (const std::bad_alloc &) {
        fprintf(stderr, "ERROR: Out of memory\n");
        return 1;
    }
    list.total += 6 + key_len + value_len;
    return 0;
}

int tlv_add_u32(tlv_list &list, uint32_t type, uint32_t key_len, const uint8_t *key,
                uint32_t number) {
    uint8_t b[4];
    put_be32(b, number);
    return tlv_add(list, type, key_len, key, 4, b);
}

int tlv_add_u16(tlv_list &list, uint32_t type, uint32_t key_len, const uint8_t *key,
                uint32_t number) {
    uint8_t b[2];
    put_be16(b, static_cast<uint16_t>(number));
    return tlv_add(list, type, key_len, key, 2, b);
}

int tlv_add_str(tlv_list &list, uint32_t type, uint32_t key_len, const uint8_t *key,
                const char *text) {
    size_t len = text ? strlen(text) : 0;
    if (len > 0xFFFF) len = 0x10000;  // refused by tlv_add
    return tlv_add(list, type, key_len, key, static_cast<uint32_t>(len), text);
}

void tlv_list_free(tlv_list &list) {
    std::vector<tlv_item>().swap(list.items);
    list.total = 0;
}

void tlv_write(wire_buf &out, const tlv_list &list) {
    for (const tlv_item &it : list.items) {
        out.u16(static_cast<uint16_t>(it.type));
        out.u16(static_cast<uint16_t>(it.key.size()));
        out.bytes(it.key.data(), it.key.size());
        out.u16(static_cast<uint16_t>(it.value.size()));
        out.bytes(it.value.data(), it.value.size());
    }
}

// ---- result codes -------------------------------------------------------------------------

namespace {

struct result_text {
    uint8_t code;
    const char *format;  // "%s" is the WTP's MAC where the code concerns the device
};

const result_text result_texts[] = {
    {2, "ERROR: AC is out of memory.\n"},
    {3, "ERROR: Invalid argument.\n"},
    {5, "ERROR: Device %s has no available image.\n"},
    {6, "ERROR: Device %s was not found.\n"},
    {7, "ERROR: Reach the maximum number of managed Devices.\n"},
    {8, "ERROR: Device %s is already managed.\n"},
    {9, "ERROR: Device %s is not managed.\n"},
    {10, "ERROR: Device %s is busy.\n"},
    {11, "ERROR: Device %s failed to do this operation.\n"},
    {12, "ERROR: No response from device %s.\n"},
    {13, "ERROR: Device %s doesn't support this operation.\n"},
    {14, "ERROR: Device %s denied this operation.\n"},
    {15, "ERROR: Device %s is out of memory.\n"},
    {16, "ERROR: Device %s got an invalid argument.\n"},
    {17, "ERROR: Device %s is not ready.\n"},
    {18, "ERROR: Could not support this operation with the firmware version of device %s.\n"},
    {19, "ERROR: Incorrect configuration for device %s.\n"},
    {20, "ERROR: Device %s has aborted the operation.\n"},
};

}  // namespace

void report_result(uint8_t code, const uint8_t mac[6]) {
    char text[18];
    snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3],
             mac[4], mac[5]);
    if (code == 0) return;
    for (const result_text &r : result_texts) {
        if (r.code != code) continue;
        if (strstr(r.format, "%s")) {
            const char *at = strstr(r.format, "%s");
            fprintf(stderr, "%.*s%s%s", static_cast<int>(at - r.format), r.format, text, at + 2);
        } else {
            fputs(r.format, stderr);
        }
        return;
    }
    fputs("ERROR: Operation failed.\n", stderr);
}
