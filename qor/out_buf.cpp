// The status printers' output buffer (see out_buf.h).
#include "out_buf.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <new>
#include <utility>

namespace {

// "00" "01" ... "99": two digits per division by 100.
constexpr char DIGIT_PAIRS[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

constexpr char HEX_UPPER[] = "0123456789ABCDEF";
constexpr char HEX_LOWER[] = "0123456789abcdef";

// 0 to 9999 without leading zeros.
char *format_small(char *p, uint32_t v) {
    if (v < 100) {
        if (v < 10) {
            *p = static_cast<char>('0' + v);
            return p + 1;
        }
        memcpy(p, DIGIT_PAIRS + 2 * v, 2);
        return p + 2;
    }
    const uint32_t hi = v / 100, lo = v % 100;
    if (hi < 10) {
        *p++ = static_cast<char>('0' + hi);
    } else {
        memcpy(p, DIGIT_PAIRS + 2 * hi, 2);
        p += 2;
    }
    memcpy(p, DIGIT_PAIRS + 2 * lo, 2);
    return p + 2;
}

// 0 to 9999 as exactly four digits.
char *format_four(char *p, uint32_t v) {
    memcpy(p, DIGIT_PAIRS + 2 * (v / 100), 2);
    memcpy(p + 2, DIGIT_PAIRS + 2 * (v % 100), 2);
    return p + 4;
}

}  // namespace

char *format_u32_digits(char *p, uint32_t v) {
    // Groups of four digits: each division is by a constant (a multiplication), and no
    // loop or count of digits is needed.
    if (v < 10000) return format_small(p, v);  // the magnitude of -1 to -9 included
    if (v < 100000000) return format_four(format_small(p, v / 10000), v % 10000);
    const uint32_t low8 = v % 100000000;
    p = format_small(p, v / 100000000);  // 1 to 42
    p = format_four(p, low8 / 10000);
    return format_four(p, low8 % 10000);
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

out_buf::out_buf(int fd, size_t size, held_t) : out_buf(fd, size) { held_ = true; }

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

void out_buf::grow() {
    const size_t used = static_cast<size_t>(pos_ - buf_.get());
    const size_t size = static_cast<size_t>(end_ - buf_.get());
    if (size > SIZE_MAX / 2) throw std::bad_alloc();
    std::unique_ptr<char[]> larger(new char[size * 2]);
    memcpy(larger.get(), buf_.get(), used);
    buf_ = std::move(larger);
    pos_ = buf_.get() + used;
    end_ = buf_.get() + size * 2;
}

void out_buf::drain() {
    if (held_) {
        grow();
        return;
    }
    write_out(buf_.get(), static_cast<size_t>(pos_ - buf_.get()));
    pos_ = buf_.get();
}

void out_buf::put_long(const char *s, size_t n) {
    if (held_) {
        while (static_cast<size_t>(end_ - pos_) < n) grow();
        memcpy(pos_, s, n);
        pos_ += n;
        return;
    }
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

void out_buf::put_int_slow(int64_t v) {
    // Near the end of the buffer: formatted aside, so that a block stays a whole block.
    char tmp[OUT_INT_MAX_LEN];
    char *end = v < 0 ? format_i32(tmp, static_cast<int32_t>(v))
                      : format_u32(tmp, static_cast<uint32_t>(v));
    put_aside(*this, tmp, static_cast<size_t>(end - tmp));
}

void put_aside(out_buf &out, const char *s, size_t n) {
    if (n <= static_cast<size_t>(out.end_ - out.pos_)) {
        memcpy(out.pos_, s, n);
        out.pos_ += n;
    } else {
        out.put_long(s, n);
    }
}

int out_buf::finish() {
    write_out(buf_.get(), static_cast<size_t>(pos_ - buf_.get()));
    pos_ = buf_.get();
    if (!err_) return 0;
    if (!reported_) {
        fprintf(stderr, STDOUT_FAILED, strerror(err_));
        reported_ = true;
    }
    return 1;
}

namespace {

// Each byte's decimal form after a separator (",0" to ",255", or ".0" to ".255"), stored
// whole in four bytes: a list element or the octet of an address is one four-byte copy, of
// which the form's length is kept.
struct octet_form {
    char text[4];
    uint8_t len;
};

constexpr std::array<octet_form, 256> octet_forms(char separator) {
    std::array<octet_form, 256> t{};
    for (unsigned v = 0; v < 256; ++v) {
        octet_form &f = t[v];
        f.text[0] = separator;
        unsigned n = 1;
        if (v >= 100) f.text[n++] = static_cast<char>('0' + v / 100);
        if (v >= 10) f.text[n++] = static_cast<char>('0' + v / 10 % 10);
        f.text[n++] = static_cast<char>('0' + v % 10);
        f.len = static_cast<uint8_t>(n);
    }
    return t;
}
constexpr std::array<octet_form, 256> OCTET_FORMS = octet_forms(',');
constexpr std::array<octet_form, 256> DOTTED_FORMS = octet_forms('.');

// Runs `format(p)` (which stores at most `max` bytes at p and returns their end) straight
// into the buffer when it has the room, else aside and then put.
template <size_t max, class Format>
void put_formatted(out_buf &out, Format &&format) {
    if (char *p = out.room(max)) {
        out.commit(format(p));
        return;
    }
    char tmp[max];
    put_aside(out, tmp, static_cast<size_t>(format(tmp) - tmp));
}

}  // namespace

char *format_mac(char *p, const uint8_t mac[6]) {
    for (int i = 0; i < 6; ++i) {
        if (i > 0) *p++ = ':';
        *p++ = HEX_UPPER[mac[i] >> 4];
        *p++ = HEX_UPPER[mac[i] & 15];
    }
    return p;
}

char *format_ipv4(char *p, uint32_t addr_net) {
    uint8_t b[4];
    memcpy(b, &addr_net, 4);
    const octet_form &first = DOTTED_FORMS[b[0]];
    memcpy(p, first.text + 1, 3);
    p += first.len - 1;
    for (int i = 1; i < 4; ++i) {
        const octet_form &f = DOTTED_FORMS[b[i]];
        memcpy(p, f.text, 4);
        p += f.len;
    }
    return p;
}

void put_mac(out_buf &out, const uint8_t mac[6]) {
    put_formatted<OUT_MAC_LEN>(out, [mac](char *p) { return format_mac(p, mac); });
}

void put_ipv4(out_buf &out, uint32_t addr_net) {
    put_formatted<OUT_IPV4_MAX_LEN>(out,
                                    [addr_net](char *p) { return format_ipv4(p, addr_net); });
}

void put_md5(out_buf &out, const uint8_t digest[16]) {
    put_formatted<32>(out, [digest](char *p) {
        for (int i = 0; i < 16; ++i) {
            *p++ = HEX_LOWER[digest[i] >> 4];
            *p++ = HEX_LOWER[digest[i] & 15];
        }
        return p;
    });
}

void put_hex_byte(out_buf &out, uint8_t b) {
    put_formatted<4>(out, [b](char *p) {
        *p++ = '0';
        *p++ = 'x';
        if (b >= 16) *p++ = HEX_LOWER[b >> 4];
        *p++ = HEX_LOWER[b & 15];
        return p;
    });
}


void put_u8_list(out_buf &out, const uint8_t *bytes, size_t n) {
    if (n == 0) return;
    char *p = out.room(n * 4);  // ",255" at the most each
    if (!p) {
        // Near the end of the buffer (or a list longer than a block): element by element.
        for (size_t k = 0; k < n; ++k) {
            const octet_form &f = OCTET_FORMS[bytes[k]];
            const size_t comma = k == 0 ? 1 : 0;  // the first goes without one
            put_aside(out, f.text + comma, f.len - comma);
        }
        return;
    }
    const octet_form &first = OCTET_FORMS[bytes[0]];
    memcpy(p, first.text + 1, 3);
    p += first.len - 1;
    for (size_t k = 1; k < n; ++k) {
        const octet_form &f = OCTET_FORMS[bytes[k]];
        memcpy(p, f.text, 4);
        p += f.len;
    }
    out.commit(p);
}
