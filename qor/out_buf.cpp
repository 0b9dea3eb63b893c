// The status printers' output buffer (see out_buf.h).
#include "out_buf.h"

#include <cerrno>
#include <cstdio>

namespace {

// "00" "01" ... "99": two digits per division by 100.
constexpr char DIGIT_PAIRS[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

constexpr char HEX_UPPER[] = "0123456789ABCDEF";
constexpr char HEX_LOWER[] = "0123456789abcdef";

unsigned decimal_digits(uint32_t v) {
    if (v < 10) return 1;
    if (v < 100) return 2;
    if (v < 1000) return 3;
    if (v < 10000) return 4;
    if (v < 100000) return 5;
    if (v < 1000000) return 6;
    if (v < 10000000) return 7;
    if (v < 100000000) return 8;
    if (v < 1000000000) return 9;
    return 10;
}

}  // namespace

char *format_u32(char *p, uint32_t v) {
    if (v < 10) {  // most status values: flags, states, small counts
        *p = static_cast<char>('0' + v);
        return p + 1;
    }
    char *end = p + decimal_digits(v);
    char *q = end;
    while (v >= 100) {
        const uint32_t pair = v % 100;
        v /= 100;
        q -= 2;
        memcpy(q, DIGIT_PAIRS + 2 * pair, 2);
    }
    if (v >= 10) {
        memcpy(q - 2, DIGIT_PAIRS + 2 * v, 2);
    } else {
        q[-1] = static_cast<char>('0' + v);
    }
    return end;
}

char *format_i32(char *p, int32_t v) {
    if (v >= 0) return format_u32(p, static_cast<uint32_t>(v));
    *p = '-';
    // The magnitude in unsigned arithmetic, so that INT32_MIN needs no special case.
    return format_u32(p + 1, 0u - static_cast<uint32_t>(v));
}

out_buf::out_buf(int fd, size_t size)
    : fd_(fd), buf_(new char[size < OUT_INT_MAX_LEN ? OUT_INT_MAX_LEN : size]) {
    pos_ = buf_.get();
    end_ = pos_ + (size < OUT_INT_MAX_LEN ? OUT_INT_MAX_LEN : size);
    if (fd_ == STDOUT_FILENO) fflush(stdout);  // stdio's own failures are its own to report
    struct sigaction ign {};
    ign.sa_handler = SIG_IGN;
    sigemptyset(&ign.sa_mask);
    pipe_changed_ = sigaction(SIGPIPE, &ign, &old_pipe_) == 0;
}

out_buf::~out_buf() {
    if (pipe_changed_) sigaction(SIGPIPE, &old_pipe_, nullptr);
}

void out_buf::write_out(const char *p, size_t n) {
    while (n > 0 && !err_) {
        const ssize_t r = write(fd_, p, n);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) {
            err_ = r < 0 && errno ? errno : EIO;
            return;
        }
        p += r;
        n -= static_cast<size_t>(r);
    }
}

void out_buf::drain() {
    write_out(buf_.get(), static_cast<size_t>(pos_ - buf_.get()));
    pos_ = buf_.get();
}

void out_buf::put_long(const char *s, size_t n) {
    // Fill the buffer up and write it; what is left of `s` then either fits, or is a whole
    // number of blocks that leaves from where it is.
    size_t room = static_cast<size_t>(end_ - pos_);
    memcpy(pos_, s, room);
    pos_ = end_;
    s += room;
    n -= room;
    drain();
    const size_t size = static_cast<size_t>(end_ - buf_.get());
    if (n >= size) {
        const size_t direct = n - n % size;
        write_out(s, direct);
        s += direct;
        n -= direct;
    }
    memcpy(pos_, s, n);
    pos_ += n;
}

void out_buf::put_u32(uint32_t v) {
    if (static_cast<size_t>(end_ - pos_) >= OUT_INT_MAX_LEN) {
        pos_ = format_u32(pos_, v);
        return;
    }
    char tmp[OUT_INT_MAX_LEN];
    put(tmp, static_cast<size_t>(format_u32(tmp, v) - tmp));
}

void out_buf::put_i32(int32_t v) {
    if (static_cast<size_t>(end_ - pos_) >= OUT_INT_MAX_LEN) {
        pos_ = format_i32(pos_, v);
        return;
    }
    char tmp[OUT_INT_MAX_LEN];
    put(tmp, static_cast<size_t>(format_i32(tmp, v) - tmp));
}

int out_buf::finish() {
    drain();
    if (!err_) return 0;
    if (!reported_) {
        fprintf(stderr, "ERROR: Writing standard output failed: %s.\n", strerror(err_));
        reported_ = true;
    }
    return 1;
}

void put_mac(out_buf &out, const uint8_t mac[6]) {
    char text[17];
    for (int i = 0; i < 6; ++i) {
        text[3 * i] = HEX_UPPER[mac[i] >> 4];
        text[3 * i + 1] = HEX_UPPER[mac[i] & 15];
        if (i < 5) text[3 * i + 2] = ':';
    }
    out.put(text, sizeof text);
}

void put_ipv4(out_buf &out, uint32_t addr_net) {
    uint8_t b[4];
    memcpy(b, &addr_net, 4);
    char text[16];
    char *p = text;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) *p++ = '.';
        p = format_u32(p, b[i]);
    }
    out.put(text, static_cast<size_t>(p - text));
}

void put_md5(out_buf &out, const uint8_t digest[16]) {
    char text[32];
    for (int i = 0; i < 16; ++i) {
        text[2 * i] = HEX_LOWER[digest[i] >> 4];
        text[2 * i + 1] = HEX_LOWER[digest[i] & 15];
    }
    out.put(text, sizeof text);
}

void put_hex_byte(out_buf &out, uint8_t b) {
    char text[4] = {'0', 'x'};
    size_t n = 2;
    if (b >= 16) text[n++] = HEX_LOWER[b >> 4];
    text[n++] = HEX_LOWER[b & 15];
    out.put(text, n);
}
