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

// Bytes written per block; a pipe on the appliance takes 64 KiB.
constexpr size_t OUT_BUF_SIZE = 32 * 1024;

// The longest decimal form of a 32-bit integer: "-2147483648".
constexpr size_t OUT_INT_MAX_LEN = 11;

class out_buf {
public:
    // Writes to `fd` in blocks of `size` bytes (at least OUT_INT_MAX_LEN). Whatever stdio
    // still holds for standard output is flushed first, so that the order of the output
    // stays as printed. While the buffer lives, SIGPIPE is ignored: a closed pipe is a write
    // error to report, not a silent end of the process.
    explicit out_buf(int fd = STDOUT_FILENO, size_t size = OUT_BUF_SIZE);
    // Releases the buffer; what `finish` did not write is lost.
    ~out_buf();
    out_buf(const out_buf &) = delete;
    out_buf &operator=(const out_buf &) = delete;

    void put(const char *s, size_t n) {
        if (n <= static_cast<size_t>(end_ - pos_)) {
            memcpy(pos_, s, n);
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
    void put_u32(uint32_t v);
    void put_i32(int32_t v);

    // Writes what is left. Returns 0 when every byte was written; otherwise prints
    // "ERROR: Writing standard output failed: <reason>.\n" on standard error (once, however
    // many writes failed and however often it is called) and returns 1.
    int finish();

    // True once a write has failed; from then on nothing more is written.
    bool failed() const { return err_ != 0; }

private:
    void put_long(const char *s, size_t n);
    void drain();                            // writes the full buffer and empties it
    void write_out(const char *p, size_t n);  // one block, retried until whole

    int fd_;
    std::unique_ptr<char[]> buf_;
    char *pos_, *end_;
    int err_ = 0;  // errno of the first failed write
    bool reported_ = false;
    struct sigaction old_pipe_{};
    bool pipe_changed_ = false;
};

// The decimal form of `v` at `p` (room for OUT_INT_MAX_LEN bytes); returns its end.
char *format_u32(char *p, uint32_t v);
char *format_i32(char *p, int32_t v);

// Formatters of front.h into the buffer, byte for byte the same texts: a MAC upper case
// ("%02X:...", 17 characters), an IPv4 address in network byte order ("%u.%u.%u.%u"), a
// digest as 32 lower-case hex digits, and a byte as printf's "0x%x".
void put_mac(out_buf &out, const uint8_t mac[6]);
void put_ipv4(out_buf &out, uint32_t addr_net);
void put_md5(out_buf &out, const uint8_t digest[16]);
void put_hex_byte(out_buf &out, uint8_t b);
