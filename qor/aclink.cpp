// The link to the AC daemon.
#include "aclink.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <strings.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

int ac_sock = -1;

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
        n = recv(sock, buf, len, 0);
    } while (n < 0 && errno == EINTR);
    return n;
}

}  // namespace

byte_source *(*ac_source_layer)(int sock) = nullptr;

ssize_t socket_source::read(uint8_t *buf, size_t, size_t room) {
    return recv_once(sock_, buf, room);
}

ssize_t memory_source::read(uint8_t *buf, size_t, size_t room) {
    size_t n = std::min({room, left_, piece_});
    if (n) memcpy(buf, p_, n);
    p_ += n;
    left_ -= n;
    return static_cast<ssize_t>(n);
}

byte_source &ac_socket_source(int sock, socket_source &plain) {
    return ac_source_layer ? *ac_source_layer(sock) : plain;
}

namespace {

constexpr size_t COPY_FIRST = 256 * 1024;   // a copy's first block
constexpr size_t HUGE_PAGE = 2 * 1024 * 1024;
constexpr size_t COPY_READ_MIN = 16 * 1024;  // the least room a receive into a copy is given

}  // namespace

reply_copy::~reply_copy() {
    if (buf_) munmap(buf_, cap_);
}

uint8_t *reply_copy::tail(size_t n, size_t &room) {
    if (n > cap_ - size_) {
        if (n > SIZE_MAX - size_) throw std::bad_alloc();
        grow(size_ + n);
    }
    if (size_ + n > ready_) prepare(size_ + n);
    room = ready_ - size_;
    return buf_ + size_;
}

void reply_copy::grow(size_t upto) {
    size_t cap = cap_ ? cap_ : COPY_FIRST;
    while (cap < upto) {
        if (cap > SIZE_MAX / 2) throw std::bad_alloc();
        cap *= 2;
    }
    // A block of megabytes starts at a huge page's boundary, with the hint that the kernel
    // may back it with huge pages: then a fault (and at the end an unmapping) takes 2 MiB
    // instead of a page. Where the kernel has none, the hint does nothing.
    const size_t slack = cap >= HUGE_PAGE ? HUGE_PAGE : 0;
    if (cap > SIZE_MAX - slack) throw std::bad_alloc();
    void *m = mmap(nullptr, cap + slack, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                   -1, 0);
    if (m == MAP_FAILED) throw std::bad_alloc();
    uint8_t *const start = static_cast<uint8_t *>(m);
    uint8_t *block = start;
    if (slack) {
        const uintptr_t at = reinterpret_cast<uintptr_t>(start);
        block = start + (((at + HUGE_PAGE - 1) & ~uintptr_t{HUGE_PAGE - 1}) - at);
        if (block > start) munmap(start, static_cast<size_t>(block - start));
        if (block + cap < start + cap + slack)
            munmap(block + cap, static_cast<size_t>(start + cap + slack - (block + cap)));
#ifdef MADV_HUGEPAGE
        madvise(block, cap, MADV_HUGEPAGE);
#endif
    }
    if (buf_) {
        // The bytes held so far move by remapping their pages into the new block's head
        // (present as they were); where that is refused they are copied.
        bool moved = false;
#ifdef MREMAP_FIXED
        moved = mremap(buf_, cap_, cap_, MREMAP_MAYMOVE | MREMAP_FIXED, block) != MAP_FAILED;
#endif
        if (!moved) {
            memcpy(block, buf_, size_);
            munmap(buf_, cap_);
            ready_ = size_;
        }
    }
    buf_ = block;
    cap_ = cap;
}

void reply_copy::prepare(size_t upto) {
    // Where the kernel can, the pages the next bytes go to are made present in one call
    // per stretch instead of one fault per page. Only a hint: without it they fault in.
    constexpr size_t STRETCH = 256 * 1024;
    const size_t to = std::min(cap_, std::max(upto, ready_ + STRETCH));
#ifdef MADV_POPULATE_WRITE
    const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    uintptr_t from = reinterpret_cast<uintptr_t>(buf_) + ready_;
    const uintptr_t end = reinterpret_cast<uintptr_t>(buf_) + to;
    from = (from + page - 1) & ~(page - 1);  // pages wholly inside the block
    if (end > from) madvise(reinterpret_cast<void *>(from), (end - from) & ~(page - 1),
                            MADV_POPULATE_WRITE);
#endif
    ready_ = to;
}

ssize_t ac_recv_all(int sock, void *buf, size_t len) {
    socket_source plain(sock);
    byte_source &src = ac_socket_source(sock, plain);
    uint8_t *p = static_cast<uint8_t *>(buf);
    size_t done = 0;
    while (done < len) {
        ssize_t n = src.read(p + done, len - done, len - done);
        if (n < 0) return -1;
        if (n == 0) break;  // the AC closed: what came so far
        done += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

ssize_t ac_recv_u32(int sock, uint32_t *out) {
    uint8_t b[4];
    ssize_t n = ac_recv_all(sock, b, 4);
    if (n == 4) *out = get_be32(b);
    return n;
}

// ---- reply reader -------------------------------------------------------------------------

const uint8_t reply_reader::zero_run[reply_reader::MAX_RUN] = {};

namespace {

// Texts shorter than this fit in a string without an allocation.
constexpr size_t SHORT_TEXT = 16;

}  // namespace

reply_reader::reply_reader(int sock) : own_(sock) { src_ = &ac_socket_source(sock, own_); }

reply_reader::reply_reader(const uint8_t *data, size_t len)
    : src_(&none_), pos_(data), end_(data + len) {}

void reply_reader::fail() {
    failed_ = true;
    pos_ = end_ = data_;  // nothing held is handed out any more
}

void reply_reader::out_of_memory(const char *msg) {
    if (!failed_) fputs(msg, stderr);
    fail();
}

size_t reply_reader::pull(uint8_t *to, size_t want, size_t room) {
    const ssize_t got = src_->read(to, want, room);
    if (got > 0) return static_cast<size_t>(got);
    if (got < 0) perror(READ_FAILED);
    fail();  // an error, or the end of the stream before the bytes wanted
    return 0;
}

const uint8_t *reply_reader::need(size_t n) {
    if (failed_) return nullptr;
    if (copy_) return need_copied(n);
    size_t have = held();
    if (have && pos_ != data_) memmove(data_, pos_, have);
    pos_ = data_;
    end_ = data_ + have;
    while (have < n) {
        const size_t got = pull(data_ + have, n - have, CAPACITY - have);
        if (!got) return nullptr;
        have += got;
        end_ = data_ + have;
    }
    pos_ = data_ + n;
    return data_;
}

const uint8_t *reply_reader::need_copied(size_t n) {
    // The unread bytes are the copy's last ones: the source appends to them in place.
    size_t have = held();
    const size_t at = copy_->size() - have;
    try {
        while (have < n) {
            size_t room;
            uint8_t *to = copy_->tail(std::max(n - have, COPY_READ_MIN), room);
            const size_t got = pull(to, n - have, room);
            if (!got) return nullptr;
            copy_->grew(got);
            have += got;
        }
    } catch (const std::bad_alloc &) {
        out_of_memory();
        return nullptr;
    }
    const uint8_t *p = copy_->data() + at;
    pos_ = p + n;
    end_ = copy_->data() + copy_->size();
    return p;
}

void reply_reader::bytes(void *buf, size_t n) {
    uint8_t *out = static_cast<uint8_t *>(buf);
    size_t done = std::min(n, held());
    if (done) memcpy(out, pos_, done);
    pos_ += done;
    // What does not fit the reader goes from the source straight to the caller (unless
    // every byte is kept in a copy).
    while (!failed_ && !copy_ && n - done >= CAPACITY) {
        const size_t got = pull(out + done, n - done, n - done);
        if (!got) break;
        done += got;
    }
    if (done < n) {
        if (const uint8_t *p = take(n - done)) {
            memcpy(out + done, p, n - done);
            return;
        }
        memset(out, 0, n);
    }
}

void reply_reader::skip_more(size_t n) {
    while (n > CAPACITY) {
        if (!take(CAPACITY)) return;
        n -= CAPACITY;
    }
    take(n);
}

void reply_reader::present_text(std::string &out, const char *oom_msg) {
    const uint8_t *p = take(2);
    size_t len = p ? get_be16(p) : 0;
    if (len == 0) {
        out.clear();
        return;
    }
    try {
        if (held() >= len) {  // the usual case: copied straight from what is held
            const char *bytes = reinterpret_cast<const char *>(pos_);
            pos_ += len;
            if (len < SHORT_TEXT) {
                // Made anew in place: a short text needs no allocation that could fail, and
                // making a string takes a fraction of what replacing the contents of one takes.
                std::destroy_at(&out);
                std::construct_at(&out, bytes, len);
            } else {
                out.assign(bytes, len);
            }
            return;
        }
        out.clear();
        out.reserve(len);  // room first, then the bytes
    } catch (const std::bad_alloc &) {
        out.clear();
        out_of_memory(oom_msg);
        return;
    }
    if (const uint8_t *q = take(len)) out.assign(reinterpret_cast<const char *>(q), len);
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

int recv_bytes(reply_reader &in, void *buf, size_t len) {
    in.bytes(buf, len);
    return in.failed() ? 1 : 0;
}

int recv_u8(reply_reader &in, uint8_t *v) {
    *v = in.u8();
    return in.failed() ? 1 : 0;
}

int recv_u16(reply_reader &in, uint16_t *v) {
    *v = in.u16();
    return in.failed() ? 1 : 0;
}

int recv_u32(reply_reader &in, uint32_t *v) {
    *v = in.u32();
    return in.failed() ? 1 : 0;
}

int recv_text16(reply_reader &in, std::string &text, bool *present, const char *oom_msg) {
    if (present) *present = false;
    in.text(text, oom_msg);
    if (in.failed()) {
        text.clear();
        return 1;
    }
    if (present) *present = !text.empty();
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

int recv_results(reply_reader &in, const std::vector<mac_addr> &macs, bool count_failures) {
    int failed = 0;
    for (const mac_addr &m : macs) {
        uint8_t code;
        if (recv_u8(in, &code)) return 1;
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
