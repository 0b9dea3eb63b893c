// The output of the status printers (`wtps`, `ac`): one buffer that members are formatted
// straight into, written out in large blocks as it fills and flushed once at the end.
//
// A fleet's JSON runs to megabytes, and a printf or putchar per member costs a format parse
// and a locked stdio call each; here a member is a few stores. Write errors (a full disk, a
// closed pipe) are kept: the first one stops all further writing, and `finish` reports it
// once on standard error and returns 1, so the command fails instead of ending with a
// truncated success.
#pragma once

#include <signal.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

// What qor says when standard output cannot be written (printf format: the reason).
inline constexpr char STDOUT_FAILED[] = "ERROR: Writing standard output failed: %s.\n";

// Bytes written per block: a fleet's megabytes of JSON leave in a few hundred writes, and the
// buffer stays small beside the decoded records the printers walk.
constexpr size_t OUT_BUF_SIZE = 32 * 1024;

// The first size of a held output: a fleet's brief table fits it without growing, and its
// pages are taken only as they are written.
constexpr size_t OUT_HELD_FIRST = 256 * 1024;

// The longest decimal form of a 32-bit integer: "-2147483648".
constexpr size_t OUT_INT_MAX_LEN = 11;

// Copies `n` bytes; the short ones most texts and member names are with a few overlapping
// moves instead of a call, never touching a byte outside either range.
inline void copy_bytes(char *d, const char *s, size_t n) {
    if (n >= 8) {
        if (n > 16) {
            memcpy(d, s, n);
            return;
        }
        uint64_t a, b;
        memcpy(&a, s, 8);
        memcpy(&b, s + n - 8, 8);
        memcpy(d, &a, 8);
        memcpy(d + n - 8, &b, 8);
    } else if (n >= 4) {
        uint32_t a, b;
        memcpy(&a, s, 4);
        memcpy(&b, s + n - 4, 4);
        memcpy(d, &a, 4);
        memcpy(d + n - 4, &b, 4);
    } else {
        for (size_t i = 0; i < n; ++i) d[i] = s[i];
    }
}

// The decimal form of `v` at `p` (room for OUT_INT_MAX_LEN bytes); returns its end.
char *format_u32_digits(char *p, uint32_t v);  // any v (format_u32 takes 0 to 9 itself)
inline char *format_u32(char *p, uint32_t v) {
    if (v < 10) {  // most status values: flags, states, small counts
        *p = static_cast<char>('0' + v);
        return p + 1;
    }
    return format_u32_digits(p, v);
}
inline char *format_i32(char *p, int32_t v) {
    if (v >= 0) return format_u32(p, static_cast<uint32_t>(v));
    *p = '-';
    // The magnitude in unsigned arithmetic, so that INT32_MIN needs no special case.
    return format_u32_digits(p + 1, 0u - static_cast<uint32_t>(v));
}

class out_buf {
public:
    // Writes to `fd` in blocks of `size` bytes (at least OUT_INT_MAX_LEN). Whatever stdio
    // still holds for standard output is flushed first, so that the order of the output
    // stays as printed. While the buffer lives, SIGPIPE is ignored: a closed pipe is a write
    // error to report, not a silent end of the process.
    explicit out_buf(int fd = STDOUT_FILENO, size_t size = OUT_BUF_SIZE);
    // The same, but everything is held in memory (the buffer grows, throwing std::bad_alloc
    // when it cannot) and written only by `finish`: for a short output that must not appear
    // at all unless it was made whole.
    enum held_t { held };
    out_buf(int fd, size_t size, held_t);
    // Releases the buffer; what `finish` did not write is lost.
    ~out_buf();
    out_buf(const out_buf &) = delete;
    out_buf &operator=(const out_buf &) = delete;

    void put(const char *s, size_t n) {
        if (n <= static_cast<size_t>(end_ - pos_)) {
            copy_bytes(pos_, s, n);
            pos_ += n;
        } else {
            put_long(s, n);
        }
    }
    void put(const std::string &s) { put(s.data(), s.size()); }
    // A text up to its terminating zero.
    void put_cstr(const char *s) { put(s, strlen(s)); }
    // A string literal: its length is known when compiling.
    template <size_t N>
    void put_literal(const char (&lit)[N]) {
        put(lit, N - 1);
    }
    void put_char(char c) {
        if (pos_ == end_) drain();
        *pos_++ = c;
    }
    // Decimal, as printf's "%u" and "%d" write them.
    void put_u32(uint32_t v) {
        if (static_cast<size_t>(end_ - pos_) >= OUT_INT_MAX_LEN)
            pos_ = format_u32(pos_, v);
        else
            put_int_slow(static_cast<int64_t>(v));
    }
    void put_i32(int32_t v) {
        if (static_cast<size_t>(end_ - pos_) >= OUT_INT_MAX_LEN)
            pos_ = format_i32(pos_, v);
        else
            put_int_slow(v);
    }

    // For a writer that places several pieces at once: where `n` bytes (at most the block
    // size) may be stored now, or null when the room left is smaller (then put them one by
    // one). `commit` takes the end of what was stored.
    char *room(size_t n) {
        if (!pos_) __builtin_unreachable();  // the buffer always exists: one test, not two
        return static_cast<size_t>(end_ - pos_) >= n ? pos_ : nullptr;
    }
    void commit(char *end) { pos_ = end; }

    // Writes what is left. Returns 0 when every byte was written; otherwise prints
    // "ERROR: Writing standard output failed: <reason>.\n" on standard error (once, however
    // many writes failed and however often it is called) and returns 1.
    int finish();

    // True once a write has failed; from then on nothing more is written.
    bool failed() const { return err_ != 0; }

private:
    void put_long(const char *s, size_t n);
    void put_int_slow(int64_t v);
    friend void put_aside(out_buf &out, const char *s, size_t n);
    void drain();  // writes the full buffer and empties it (held: makes it larger)
    void grow();   // held: doubles the buffer
    void write_out(const char *p, size_t n);  // one block, retried until whole

    int fd_;
    std::unique_ptr<char[]> buf_;
    char *pos_, *end_;
    int err_ = 0;  // errno of the first failed write
    bool reported_ = false;
    struct sigaction old_pipe_{};
    bool pipe_changed_ = false;
    bool held_ = false;
};

// Formatters of front.h into the buffer, byte for byte the same texts: a MAC upper case
// ("%02X:...", 17 characters), an IPv4 address in network byte order ("%u.%u.%u.%u"), a
// digest as 32 lower-case hex digits, and a byte as printf's "0x%x".
void put_mac(out_buf &out, const uint8_t mac[6]);
void put_ipv4(out_buf &out, uint32_t addr_net);
// The same two stored at `p` (room for OUT_MAC_LEN or OUT_IPV4_MAX_LEN bytes, which an
// address may use beyond its end); they return the end of what they stored.
constexpr size_t OUT_MAC_LEN = 17;
constexpr size_t OUT_IPV4_MAX_LEN = 15;
char *format_mac(char *p, const uint8_t mac[6]);
char *format_ipv4(char *p, uint32_t addr_net);
void put_md5(out_buf &out, const uint8_t digest[16]);
void put_hex_byte(out_buf &out, uint8_t b);

// Puts a few bytes formatted aside near the end of the buffer (the slow path of the
// formatters above).
void put_aside(out_buf &out, const char *s, size_t n);

// Bytes as decimal numbers separated by commas ("%u" each, no spaces).
void put_u8_list(out_buf &out, const uint8_t *bytes, size_t n);
