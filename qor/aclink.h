// The link to the AC daemon: connection and admission, byte-level send/receive helpers,
// request framing, TLV lists and per-WTP result reporting.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bytes.h"

// First byte of every request.
enum ac_request : uint8_t {
    REQ_CLOSE = 0,
    REQ_WTP_LIST = 1,
    REQ_UPGRADE = 2,
    REQ_ADD_WTP = 3,
    REQ_DEL_WTP = 4,
    REQ_CONFIG = 5,
    REQ_RESET = 6,
    REQ_AC_INFO = 7,
    REQ_MEM_INFO = 8,
    REQ_INIT_FW = 9,
    REQ_SCAN = 10,
    REQ_BG_SCAN = 11,
    REQ_AUTO_CHANNEL = 12,
    REQ_AUTO_TXPOWER = 13,
    REQ_KICK = 14,
    REQ_DEBUG = 15,
    REQ_NO_DISCOVERY = 16,
    REQ_CHANGE_AC = 17,
    REQ_SHELL = 18,
    REQ_FW_LIST = 19,
};

constexpr uint32_t AC_ADMIT_OK = 1;
constexpr uint32_t AC_ADMIT_BUSY = 0xFFFFFFFFu;

// The connected socket of this run (-1 before connecting).
extern int ac_sock;

// Connects and reads the admission word; returns the socket. Ends the process with
// status 1 after its message on any failure.
int ac_connect(const char *server, int port);

// Sends the closing byte and closes the socket. With `peer_may_close` (commands that stop
// the AC) the closing byte may meet a connection the AC has already dropped, which is
// expected and not reported.
void ac_disconnect(int sock, bool peer_may_close = false);

// Returns len when everything was sent, -1 on failure (never raises SIGPIPE).
ssize_t ac_send_all(int sock, const void *buf, size_t len);

// Returns len when the buffer is full, the count received so far when the peer
// closed first, -1 on failure. It asks the socket for exactly what is missing, so nothing
// after the field is taken (the admission word, read before any request's reader exists).
ssize_t ac_recv_all(int sock, void *buf, size_t len);

// The user that owns the AC's end of the connection `sock`, as the kernel's socket tables
// (/proc/net/tcp, /proc/net/tcp6) show it, or the peer's credentials of a local stream
// socket: false when that end is not found (an AC on another host, or no such tables).
bool ac_peer_uid(int sock, uid_t &uid);

// Reads a big-endian u32; returns what ac_recv_all returned.
ssize_t ac_recv_u32(int sock, uint32_t *out);

// ---- reading replies -----------------------------------------------------------------

// Where the bytes of a reply come from: the AC's socket, or bytes in memory.
class byte_source {
public:
    virtual ~byte_source() = default;
    // Reads at least one and at most `room` bytes into `buf`; the caller needs `want` of
    // them (1 <= want <= room) and a source may stop there. Returns the count, 0 at the end
    // of the stream, -1 on failure (errno says why).
    virtual ssize_t read(uint8_t *buf, size_t want, size_t room) = 0;
};

// The AC's socket: one recv() per call, taking whatever has arrived (up to `room`)
// without waiting for more than the first byte.
class socket_source final : public byte_source {
public:
    explicit socket_source(int sock) : sock_(sock) {}
    ssize_t read(uint8_t *buf, size_t want, size_t room) override;

private:
    int sock_;
};

// Bytes in memory, handed out at most `piece` at a time (as a socket hands out what has
// arrived so far), then the end of the stream.
class memory_source final : public byte_source {
public:
    memory_source(const void *data, size_t len, size_t piece = static_cast<size_t>(-1))
        : p_(static_cast<const uint8_t *>(data)), left_(len), piece_(piece ? piece : 1) {}
    ssize_t read(uint8_t *buf, size_t want, size_t room) override;

private:
    const uint8_t *p_;
    size_t left_;
    size_t piece_;
};

// A reply kept whole, byte for byte as its source delivered it (the WTP list is read twice:
// once to check every record before anything is printed, then record by record to print
// it). A reader constructed with it receives straight into its end and reads the bytes
// where they lie; the second reading takes them there too.
class reply_copy {
public:
    reply_copy() = default;
    reply_copy(const reply_copy &) = delete;
    reply_copy &operator=(const reply_copy &) = delete;
    ~reply_copy();

    const uint8_t *data() const { return buf_; }
    size_t size() const { return size_; }
    // Room at the end for at least `n` more bytes, the pages under it present: where they
    // go, with `room` set to how many may go there. The block may move. Throws
    // std::bad_alloc when there is no memory for it.
    uint8_t *tail(size_t n, size_t &room);
    // `n` bytes were stored at the tail.
    void grew(size_t n) { size_ += n; }

private:
    void grow(size_t upto);
    void prepare(size_t upto);
    uint8_t *buf_ = nullptr;
    size_t size_ = 0, cap_ = 0;
    size_t ready_ = 0;  // bytes from the start whose pages were made present
};

// Bench programs read the AC's socket through sources of their own (one that counts the
// receive calls, one that receives field by field): when set, it gives the source that
// stands for `sock`. Null in qor, which reads the socket itself.
extern byte_source *(*ac_source_layer)(int sock);

// The source that stands for the AC's socket `sock`: the bench's layer when one is set,
// else `plain` (a socket_source of `sock`).
byte_source &ac_socket_source(int sock, socket_source &plain);

// The reader of one reply, owned by the request that reads it. It holds what its source
// delivered ahead of the fields decoded so far (one recv() serves many fields), hands the
// fields out from there and never reads past what it holds. Its failure is sticky: the
// first read that fails prints "ERROR: reading socket failed for reason: ..." (a stream
// that ends short fails silently), an allocation failure prints its message, and from then
// on every field reads as zeros (texts empty) and failed() is true.
class reply_reader {
public:
    static constexpr size_t CAPACITY = 64 * 1024;  // the longest text (65535 bytes) fits

    explicit reply_reader(byte_source &src) : src_(&src) {}
    // Reads from `src` keeping every byte it receives in `copy`: the bytes arrive at the
    // copy's end and are read there (a copy that finds no memory ends reading with
    // "ERROR: Out of memory").
    reply_reader(byte_source &src, reply_copy &copy) : src_(&src), copy_(&copy) {}
    // The AC's socket (through ac_source_layer when a bench program set one).
    explicit reply_reader(int sock);
    // A reply held whole in memory, read where it lies (nothing is copied into the reader;
    // the bytes must outlive it). Its end is the end of the stream.
    reply_reader(const uint8_t *data, size_t len);
    reply_reader(const reply_reader &) = delete;
    reply_reader &operator=(const reply_reader &) = delete;

    bool failed() const { return failed_; }
    // Ends reading after an allocation failure, printing `msg` unless reading had failed.
    void out_of_memory(const char *msg = "ERROR: Out of memory\n");
    // Bytes delivered and not read yet: what a count may reserve room for.
    size_t held() const { return static_cast<size_t>(end_ - pos_); }
    // The first of them.
    const uint8_t *held_data() const { return pos_; }

    [[gnu::always_inline]] uint8_t u8() {
        if (pos_ < end_) return *pos_++;
        const uint8_t *p = need(1);
        return p ? *p : 0;
    }
    [[gnu::always_inline]] uint16_t u16() {
        const uint8_t *p = take(2);
        return p ? get_be16(p) : 0;
    }
    [[gnu::always_inline]] uint32_t u32() {
        const uint8_t *p = take(4);
        return p ? get_be32(p) : 0;
    }
    [[gnu::always_inline]] int32_t s32() { return static_cast<int32_t>(u32()); }
    [[gnu::always_inline]] int16_t s16() { return static_cast<int16_t>(u16()); }
    // An IPv4 address, kept in network byte order.
    [[gnu::always_inline]] uint32_t addr() {
        uint32_t v = 0;
        if (const uint8_t *p = take(4)) memcpy(&v, p, 4);
        return v;
    }
    [[gnu::always_inline]] void mac(mac_addr &m) {
        if (const uint8_t *p = take(6))
            memcpy(m.data(), p, 6);
        else
            m = mac_addr{};
    }
    // n raw bytes (zeros after a failure), also more than the reader holds at once.
    void bytes(void *buf, size_t n);
    // Steps over n bytes.
    [[gnu::always_inline]] void skip(size_t n) {
        if (static_cast<size_t>(end_ - pos_) >= n)
            pos_ += n;
        else
            skip_more(n);
    }
    // A presence byte: whether the part it announces follows.
    [[gnu::always_inline]] bool flag() { return u8() != 0; }
    // A counted text (u16 length, then the bytes) into `out`; length 0 leaves it empty.
    // When its bytes have not all arrived, room for it is taken before they are read
    // (`oom_msg` if it cannot be).
    [[gnu::always_inline]] void text(std::string &out,
                                     const char *oom_msg = "ERROR: Out of memory\n") {
        if (end_ - pos_ >= 2 && (pos_[0] | pos_[1]) == 0) {  // absent: many are
            pos_ += 2;
            out.clear();
            return;
        }
        present_text(out, oom_msg);
    }
    // Steps over a counted text.
    [[gnu::always_inline]] void skip_text() {
        if (end_ - pos_ >= 2) {
            size_t len = get_be16(pos_);
            if (static_cast<size_t>(end_ - pos_) >= 2 + len) {
                pos_ += 2 + len;
                return;
            }
        }
        skip(u16());
    }

    // A run of fixed-size fields taken from the reader at once and decoded in wire order
    // straight from the bytes held (all zeros once reading has failed).
    class run {
    public:
        explicit run(const uint8_t *p) : p_(p) {}
        uint8_t u8() { return *p_++; }
        uint16_t u16() {
            uint16_t v = get_be16(p_);
            p_ += 2;
            return v;
        }
        uint32_t u32() {
            uint32_t v = get_be32(p_);
            p_ += 4;
            return v;
        }
        int32_t s32() { return static_cast<int32_t>(u32()); }
        int16_t s16() { return static_cast<int16_t>(u16()); }
        uint32_t addr() {  // network byte order
            uint32_t v;
            memcpy(&v, p_, 4);
            p_ += 4;
            return v;
        }
        void mac(mac_addr &m) { bytes(m.data(), m.size()); }
        void bytes(void *buf, size_t n) {
            memcpy(buf, p_, n);
            p_ += n;
        }
        bool flag() { return u8() != 0; }

    private:
        const uint8_t *p_;
    };
    static constexpr size_t MAX_RUN = 128;
    // The next n (at most MAX_RUN) bytes as a run of fields.
    [[gnu::always_inline]] run fixed(size_t n) {
        if (static_cast<size_t>(end_ - pos_) >= n) {
            const uint8_t *p = pos_;
            pos_ += n;
            return run(p);
        }
        const uint8_t *p = need(n);
        return run(p ? p : zero_run);
    }

    // The next n (at most CAPACITY) bytes, consumed: read from the source as far as
    // needed. Null once reading has failed.
    [[gnu::always_inline]] const uint8_t *take(size_t n) {
        if (static_cast<size_t>(end_ - pos_) >= n) {
            const uint8_t *p = pos_;
            pos_ += n;
            return p;
        }
        return need(n);
    }

private:
    // text() past an absent one.
    void present_text(std::string &out, const char *oom_msg);
    // skip() past what is held.
    void skip_more(size_t n);
    // take() when fewer than n bytes are held: what is held moves to the front, then the
    // source fills the rest.
    const uint8_t *need(size_t n);
    // One read of the source (see byte_source::read): the count read, or 0 after the
    // failure it ended in (reported when it was an error).
    size_t pull(uint8_t *to, size_t want, size_t room);
    // need() with a copy: the source fills the copy's end.
    const uint8_t *need_copied(size_t n);
    void fail();

    static const uint8_t zero_run[MAX_RUN];

    byte_source *src_;
    reply_copy *copy_ = nullptr;
    socket_source own_{-1};
    memory_source none_{nullptr, 0};  // the source of a reply held in memory
    const uint8_t *pos_ = data_;  // the unread bytes are [pos_, end_)
    const uint8_t *end_ = data_;
    bool failed_ = false;
    uint8_t data_[CAPACITY];
};

// ---- request discipline ------------------------------------------------------------
// Each returns 0 on success, 1 on failure. A failed call prints
// "ERROR: writing/reading socket failed for reason: ..." ; a short transfer
// (peer closed) fails silently. The receiving ones read through the request's reader and
// fail at once when it failed before.

int send_bytes(int sock, const void *buf, size_t len);

int recv_bytes(reply_reader &in, void *buf, size_t len);
int recv_u8(reply_reader &in, uint8_t *v);
int recv_u16(reply_reader &in, uint16_t *v);
int recv_u32(reply_reader &in, uint32_t *v);

// Reads a u16-length text (a terminator is added). Length 0 leaves `text` empty and
// sets *present to false. `oom_msg` is printed if the buffer cannot be allocated.
int recv_text16(reply_reader &in, std::string &text, bool *present,
                const char *oom_msg = "ERROR: Out of memory\n");

// A request assembled field by field in wire order, sent with one call.
class wire_buf {
public:
    void u8(uint8_t v);
    void u16(uint16_t v);
    void u32(uint32_t v);
    void bytes(const void *p, size_t n);
    void macs(const std::vector<mac_addr> &list);  // the MACs only (no count)
    const std::vector<uint8_t> &data() const { return buf_; }
    bool failed() const { return oom_; }

private:
    std::vector<uint8_t> buf_;
    bool oom_ = false;
};

// Body-length fields are 16 bits: a request whose body would not fit is refused by its
// command rather than sent with a wrapped length.
constexpr size_t MAX_BODY_LEN = 0xFFFF;
inline bool body_len_fits(size_t body_len) { return body_len <= MAX_BODY_LEN; }

// Sends the assembled request: "ERROR: Out of memory\n" if assembling failed,
// the socket messages otherwise. Returns 0 or 1.
int send_request(int sock, const wire_buf &req);

// Reads one result byte per MAC in list order, reporting every non-zero code.
// Returns 1 on a transport failure, or when `count_failures` and any code was
// non-zero; else 0. Always reads all results unless the transport fails.
int recv_results(reply_reader &in, const std::vector<mac_addr> &macs,
                 bool count_failures = true);

// ---- TLV lists ---------------------------------------------------------------------

struct tlv_item {
    uint32_t type = 0;
    std::vector<uint8_t> key;    // index bytes, outermost array level first
    std::vector<uint8_t> value;
};

struct tlv_list {
    std::vector<tlv_item> items;  // in wire order
    uint32_t total = 0;           // sum over items of 6 + key length + value length
};

// Appends an item with copies of key and value. Returns 0, or 1 after
// "ERROR: Out of memory\n" (the list is then unchanged). Type and lengths that do
// not fit their 16-bit wire fields are refused ("ERROR: TLV item too long.\n").
int tlv_add(tlv_list &list, uint32_t type, uint32_t key_len, const uint8_t *key,
            uint32_t value_len, const void *value);
int tlv_add_u32(tlv_list &list, uint32_t type, uint32_t key_len, const uint8_t *key,
                uint32_t number);
int tlv_add_u16(tlv_list &list, uint32_t type, uint32_t key_len, const uint8_t *key,
                uint32_t number);
int tlv_add_str(tlv_list &list, uint32_t type, uint32_t key_len, const uint8_t *key,
                const char *text);

// Frees every item; total becomes 0.
void tlv_list_free(tlv_list &list);

// Appends the items in wire form (u16 type, u16 key length, key, u16 value length,
// value), without an end marker.
void tlv_write(wire_buf &out, const tlv_list &list);

// ---- result codes ------------------------------------------------------------------

// Prints the AC's message for a per-WTP result code (nothing for 0).
void report_result(uint8_t code, const uint8_t mac[6]);
