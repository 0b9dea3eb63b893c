// The link to the AC daemon: connection and admission, byte-level send/receive helpers,
// request framing, TLV lists and per-WTP result reporting.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
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
// closed first, -1 on failure. Receiving is buffered: one recv() takes whatever the AC has
// sent so far (never waiting for more than this call needs) and later calls on the same
// socket are served from it. A call on another socket forgets what was buffered.
ssize_t ac_recv_all(int sock, void *buf, size_t len);

// The user that owns the AC's end of the connection `sock`, as the kernel's socket tables
// (/proc/net/tcp, /proc/net/tcp6) show it, or the peer's credentials of a local stream
// socket: false when that end is not found (an AC on another host, or no such tables).
bool ac_peer_uid(int sock, uid_t &uid);

// Forgets what was received ahead on `sock`; called before the socket is closed, since a
// later socket may get the same number.
void ac_recv_drop(int sock);

// Reads a big-endian u32; returns what ac_recv_all returned.
ssize_t ac_recv_u32(int sock, uint32_t *out);

// ---- request discipline ------------------------------------------------------------
// Each returns 0 on success, 1 on failure. A failed call prints
// "ERROR: writing/reading socket failed for reason: ..." ; a short transfer
// (peer closed) fails silently.

int send_bytes(int sock, const void *buf, size_t len);

int recv_bytes(int sock, void *buf, size_t len);
int recv_u8(int sock, uint8_t *v);
int recv_u16(int sock, uint16_t *v);
int recv_u32(int sock, uint32_t *v);

// Reads a u16-length text (a terminator is added). Length 0 leaves `text` empty and
// sets *present to false. `oom_msg` is printed if the buffer cannot be allocated.
int recv_text16(int sock, std::string &text, bool *present,
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
int recv_results(int sock, const std::vector<mac_addr> &macs, bool count_failures = true);

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
