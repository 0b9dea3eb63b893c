// How texts that came from the AC (and through it from the WTPs: models, versions, names,
// SSIDs, secrets) leave qor, in JSON strings and in the text forms.
//
// The WTPs report these texts themselves, so they may hold any byte. JSON output always
// parses: every byte below 0x20 is escaped and bytes that are not UTF-8 become U+FFFD. The
// text forms keep one line per field: a control byte shows as TEXT_FORM_REPLACEMENT. A text
// without such bytes prints exactly as it is stored.
#pragma once

#include <cstddef>
#include <string>

#include "out_buf.h"

// ---- JSON strings ----------------------------------------------------------------------

// A JSON-safe copy of `text` (null: the empty text) in a shared buffer that the next call
// overwrites, or `text` itself when nothing needs escaping; null if the buffer cannot grow.
// Escapes '"', '/' and '\', every byte below 0x20 (b, t, n, f, r or u00XX), and writes
// U+FFFD for each ill-formed UTF-8 sequence.
const char *json_escape(const char *text);

// Appends `text` as JSON prints a stored text (no quotes around it): like json_escape, but a
// solidus stays as it is. Runs of plain ASCII are copied as they are.
void json_put_stored(out_buf &out, const char *text);

// The same on standard output, through a buffer of its own. Returns 0, or 1 after a write
// error (reported on standard error).
int json_put_stored(const char *text);

// Appends json_escape(text) (no quotes around it; null: nothing). A text that needs no
// escaping is copied straight in; one that does goes through json_escape's shared buffer,
// and when that cannot grow nothing is appended for it.
void json_put_escaped(out_buf &out, const char *text);

// True when `text` is one JSON value, whitespace around it allowed, that any strict
// reader takes: the grammar of RFC 8259 with well-formed UTF-8 and no control byte in its
// strings, nested at most JSON_VALUE_DEPTH_MAX levels, integer parts of at most
// JSON_VALUE_DIGITS_MAX digits. A text the AC hands on to be inserted as a value of its
// own is printed only when this holds.
constexpr int JSON_VALUE_DEPTH_MAX = 64;
constexpr size_t JSON_VALUE_DIGITS_MAX = 4000;
bool json_is_value(const char *text);

// ---- text forms ------------------------------------------------------------------------

// What a control byte of a text from the AC shows as in the text forms: one visible ASCII
// character, so that columns and lines stay where they are in any locale.
constexpr char TEXT_FORM_REPLACEMENT = '?';

// True for the bytes the text forms replace: below 0x20 (line ends and tabs included)
// and DEL.
inline bool text_form_control(unsigned char c) { return c < 0x20 || c == 0x7F; }

// Appends `text` (null: nothing) as the text forms show it: each control byte as
// TEXT_FORM_REPLACEMENT, every other byte as it is.
void text_form_put(out_buf &out, const char *text);

// A text from the AC as the text forms print it: the stored text itself when it holds no
// control byte (the usual case), else a copy with each one replaced. Use it within one
// printf: `printf("Model\t\t%s\n", text_form(w.model).c_str())`.
class text_form {
public:
    explicit text_form(const std::string &text) : text_(text.c_str()) { fix(); }
    explicit text_form(const char *text) : text_(text ? text : "") { fix(); }
    text_form(const text_form &) = delete;
    text_form &operator=(const text_form &) = delete;

    const char *c_str() const { return text_; }

private:
    void fix();

    const char *text_;
    std::string copy_;
};
