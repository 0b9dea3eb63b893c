// Texts from the AC in JSON strings and in the text forms (see status_escape.h).
#include "status_escape.h"

#include <array>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <utility>

namespace {

// U+FFFD in UTF-8: what an ill-formed sequence becomes in JSON.
constexpr char REPLACEMENT_UTF8[] = "\xEF\xBF\xBD";

constexpr char HEX_LOWER[] = "0123456789abcdef";

// The length (2 to 4) of the well-formed UTF-8 sequence that starts at the lead byte `p`,
// or 0 when it is ill-formed; then `skip` is how many bytes one U+FFFD stands for: the
// lead byte and the continuation bytes that still fitted it (the maximal subpart). The
// text's terminating zero is never a continuation byte, so nothing is read past it.
size_t utf8_sequence(const unsigned char *p, size_t &skip) {
    const unsigned c = p[0];
    size_t need;                   // continuation bytes after the lead byte
    unsigned lo = 0x80, hi = 0xBF; // the range of the first continuation byte
    if (c >= 0xC2 && c <= 0xDF) {
        need = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
        need = 2;
        if (c == 0xE0) lo = 0xA0;  // no overlong forms
        if (c == 0xED) hi = 0x9F;  // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        need = 3;
        if (c == 0xF0) lo = 0x90;
        if (c == 0xF4) hi = 0x8F;  // nothing above U+10FFFF
    } else {
        skip = 1;  // a continuation byte without a lead, C0, C1 or F5 to FF
        return 0;
    }
    for (size_t i = 1; i <= need; ++i) {
        const unsigned b = p[i];
        if (b < lo || b > hi) {
            skip = i;
            return 0;
        }
        lo = 0x80, hi = 0xBF;
    }
    return need + 1;
}

// What each byte is in the three forms: bytes with the bit set leave as they are.
constexpr uint8_t PLAIN_JSON = 1;    // in json_escape: ASCII from the space up but quotes, solidi
constexpr uint8_t PLAIN_STORED = 2;  // in a stored JSON text: the same, '/' included
constexpr uint8_t PLAIN_TEXT = 4;    // in the text forms: every byte but controls and DEL

constexpr std::array<uint8_t, 256> byte_classes() {
    std::array<uint8_t, 256> t{};
    for (unsigned c = 0x20; c < 0x80; ++c) {
        if (c != '"' && c != '\\') t[c] |= PLAIN_STORED;
        if (c != '"' && c != '\\' && c != '/') t[c] |= PLAIN_JSON;
    }
    for (unsigned c = 0x20; c < 0x100; ++c)
        if (c != 0x7F) t[c] |= PLAIN_TEXT;
    return t;
}
constexpr std::array<uint8_t, 256> BYTE_CLASS = byte_classes();

// The end of the run of bytes of `cls` that starts at `p`; the terminating zero is in no
// class, so the run never passes it.
const unsigned char *plain_run(const unsigned char *p, uint8_t cls) {
    while (BYTE_CLASS[*p] & cls) ++p;
    return p;
}

// The letter JSON writes after a reverse solidus for `c`, or 0 when it has no short form.
char escape_letter(unsigned c) {
    switch (c) {
    case '\b': return 'b';
    case '\t': return 't';
    case '\n': return 'n';
    case '\f': return 'f';
    case '\r': return 'r';
    case '"': return '"';
    case '/': return '/';
    case '\\': return '\\';
    default: return 0;
    }
}

// Hands the JSON string form of `text` (without quotes) to out(bytes, length), in
// pieces: runs that stay as they are, and the replacement of each byte or ill-formed
// sequence that does not. Returns whether anything was replaced.
template <class Out>
bool json_pieces(const char *text, bool escape_solidus, Out &&out) {
    const uint8_t plain = escape_solidus ? PLAIN_JSON : PLAIN_STORED;
    const unsigned char *p = reinterpret_cast<const unsigned char *>(text);
    const unsigned char *run = p;  // first byte not handed out yet
    char esc[8];
    bool changed = false;
    for (;;) {
        p = plain_run(p, plain);
        const unsigned c = *p;
        if (!c) break;
        const char *rep;
        size_t rep_len, skip = 1;
        if (c >= 0x80) {
            if (size_t n = utf8_sequence(p, skip)) {
                p += n;
                continue;
            }
            rep = REPLACEMENT_UTF8;
            rep_len = sizeof REPLACEMENT_UTF8 - 1;
        } else {  // a control byte, '"', '\\', or '/' when it is escaped
            esc[0] = '\\';
            if (char letter = escape_letter(c)) {
                esc[1] = letter;
                rep_len = 2;
            } else {
                memcpy(esc + 1, "u00", 3);
                esc[4] = HEX_LOWER[c >> 4];
                esc[5] = HEX_LOWER[c & 15];
                rep_len = 6;
            }
            rep = esc;
        }
        if (p > run) out(reinterpret_cast<const char *>(run), static_cast<size_t>(p - run));
        out(rep, rep_len);
        changed = true;
        p += skip;
        run = p;
    }
    if (p > run) out(reinterpret_cast<const char *>(run), static_cast<size_t>(p - run));
    return changed;
}

// A strict reader of one JSON value (see json_is_value); `p` moves over what it took.
struct json_value_reader {
    const unsigned char *p;

    static bool digit(unsigned c) { return c >= '0' && c <= '9'; }

    void space() {
        while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r') ++p;
    }
    bool word(const char *w) {
        size_t n = strlen(w);
        if (strncmp(reinterpret_cast<const char *>(p), w, n) != 0) return false;
        p += n;
        return true;
    }
    // Digits, at least one; false for none or more than `max`.
    bool digits(size_t max) {
        const unsigned char *start = p;
        while (digit(*p)) ++p;
        return p > start && static_cast<size_t>(p - start) <= max;
    }
    bool number() {
        if (*p == '-') ++p;
        if (*p == '0')
            ++p;  // no leading zeros
        else if (!digit(*p) || !digits(JSON_VALUE_DIGITS_MAX))
            return false;
        if (*p == '.') {
            ++p;
            if (!digits(SIZE_MAX)) return false;
        }
        if (*p == 'e' || *p == 'E') {
            ++p;
            if (*p == '+' || *p == '-') ++p;
            if (!digits(SIZE_MAX)) return false;
        }
        return true;
    }
    bool string() {
        ++p;  // the opening quotation mark
        for (;;) {
            const unsigned c = *p;
            if (c == '"') {
                ++p;
                return true;
            }
            if (c < 0x20) return false;  // a control byte, or the text ended inside
            if (c == '\\') {
                ++p;
                if (*p == 'u') {
                    for (int i = 1; i <= 4; ++i)
                        if (!isxdigit(p[i])) return false;
                    p += 5;
                } else if (*p && strchr("\"\\/bfnrt", *p)) {
                    ++p;
                } else {
                    return false;
                }
            } else if (c >= 0x80) {
                size_t skip, n = utf8_sequence(p, skip);
                if (!n) return false;
                p += n;
            } else {
                ++p;
            }
        }
    }
    // Elements of an array or members of an object up to `close`, the opening bracket read.
    bool elements(char close, bool members, int depth) {
        space();
        if (*p == close) {
            ++p;
            return true;
        }
        for (;;) {
            if (members) {
                space();
                if (*p != '"' || !string()) return false;
                space();
                if (*p++ != ':') return false;
            }
            if (!value(depth)) return false;
            space();
            if (*p == close) {
                ++p;
                return true;
            }
            if (*p++ != ',') return false;
        }
    }
    bool value(int depth) {
        space();
        switch (*p) {
        case '{': ++p; return depth > 0 && elements('}', true, depth - 1);
        case '[': ++p; return depth > 0 && elements(']', false, depth - 1);
        case '"': return string();
        case 't': return word("true");
        case 'f': return word("false");
        case 'n': return word("null");
        default: return number();
        }
    }
};

}  // namespace

bool json_is_value(const char *text) {
    if (!text) return false;
    json_value_reader r{reinterpret_cast<const unsigned char *>(text)};
    if (!r.value(JSON_VALUE_DEPTH_MAX)) return false;
    r.space();
    return *r.p == '\0';
}

namespace {

// A buffer that only grows, keeping the size it reached.
struct escape_buffer {
    std::unique_ptr<char[]> data;
    size_t size = 0;

    // Room for `n` bytes; false when it cannot grow. It grows to at least ESCAPE_BUFFER_MIN
    // bytes when it can, so that the short texts that follow need no growing at all.
    bool hold(size_t n) {
        if (n <= size) return true;
        size_t want = n < ESCAPE_BUFFER_MIN ? ESCAPE_BUFFER_MIN : n;
        char *p = new (std::nothrow) char[want];
        if (!p && want > n) p = new (std::nothrow) char[want = n];
        if (!p) return false;
        data.reset(p);
        size = want;
        return true;
    }
    static constexpr size_t ESCAPE_BUFFER_MIN = 1024;
};

// The most a byte grows by in JSON: a control byte leaves as "\\u00XX".
constexpr size_t ESCAPE_GROWTH_MAX = 6;

// `shared` holds the result json_escape hands out; `work` is filled first, so a text that
// points into the previous result is still intact while it is read.
escape_buffer shared, work;

}  // namespace

// json_escape of a text whose first `plain` bytes need no change (all of them when it
// ends there); `len` is the result's length.
static const char *escape_after(const char *text, size_t plain, size_t &len) {
    const char *rest = text + plain;
    const size_t in_len = plain + strlen(rest);
    len = in_len;
    if (plain == in_len) return text;
    if (in_len >= work.size / ESCAPE_GROWTH_MAX) {
        // The work space may be too small: count exactly what the copy needs first.
        size_t n = plain;
        if (!json_pieces(rest, true, [&](const char *, size_t k) { n += k; })) return text;
        if (!work.hold(n + 1)) return nullptr;
    }
    char *d = work.data.get();
    memcpy(d, text, plain);
    d += plain;
    if (!json_pieces(rest, true, [&](const char *s, size_t k) {
            memcpy(d, s, k);
            d += k;
        }))
        return text;
    *d = '\0';
    len = static_cast<size_t>(d - work.data.get());
    std::swap(shared, work);
    return shared.data.get();
}

const char *json_escape(const char *text) {
    if (!text) return "";
    const unsigned char *p = reinterpret_cast<const unsigned char *>(text);
    size_t len;
    return escape_after(text, static_cast<size_t>(plain_run(p, PLAIN_JSON) - p), len);
}

void json_put_stored(out_buf &out, const char *text) {
    if (!text) return;
    const unsigned char *p = reinterpret_cast<const unsigned char *>(text);
    const unsigned char *end = plain_run(p, PLAIN_STORED);
    out.put(text, static_cast<size_t>(end - p));
    if (*end)  // the rest, from the first byte that may change, piece by piece
        json_pieces(reinterpret_cast<const char *>(end), false,
                    [&](const char *s, size_t n) { out.put(s, n); });
}

int json_put_stored(const char *text) {
    out_buf out;
    json_put_stored(out, text);
    return out.finish();
}

void json_put_escaped(out_buf &out, const char *text) {
    if (!text) return;
    const unsigned char *p = reinterpret_cast<const unsigned char *>(text);
    const unsigned char *end = plain_run(p, PLAIN_JSON);
    const size_t plain = static_cast<size_t>(end - p);
    if (!*end) {
        out.put(text, plain);
        return;
    }
    const char *rest = reinterpret_cast<const char *>(end);
    if (plain + strlen(rest) < work.size / ESCAPE_GROWTH_MAX) {
        // The work space holds its escaped form already, so that cannot fail: the pieces
        // go straight into the output instead of through the shared buffer.
        out.put(text, plain);
        json_pieces(rest, true, [&](const char *s, size_t n) { out.put(s, n); });
        return;
    }
    size_t len;
    if (const char *e = escape_after(text, plain, len)) out.put(e, len);
}

void text_form_put(out_buf &out, const char *text) {
    if (!text) return;
    const unsigned char *p = reinterpret_cast<const unsigned char *>(text);
    for (;;) {
        const unsigned char *end = plain_run(p, PLAIN_TEXT);
        out.put(reinterpret_cast<const char *>(p), static_cast<size_t>(end - p));
        if (!*end) return;
        out.put_char(TEXT_FORM_REPLACEMENT);
        p = end + 1;
    }
}

void text_form::fix() {
    const char *p = text_;
    while (*p && !text_form_control(static_cast<unsigned char>(*p))) ++p;
    if (!*p) return;
    try {
        copy_.assign(text_);
    } catch (const std::exception &) {
        text_ = "";  // no room for the copy: the text is left out rather than shown broken
        return;
    }
    for (char &c : copy_)
        if (text_form_control(static_cast<unsigned char>(c))) c = TEXT_FORM_REPLACEMENT;
    text_ = copy_.c_str();
}
