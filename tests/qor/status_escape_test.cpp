// Texts from the AC in JSON strings and in the text forms: what each byte becomes.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "status.h"

namespace {

std::string stored_json(const char *text) {
    testing::internal::CaptureStdout();
    json_put_stored(text);
    fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

#define FFFD "\xEF\xBF\xBD"

// Each text as json_escape gives it, as a stored text prints in JSON (the solidus stays),
// and as the text forms show it. Valid texts come back unchanged (json_escape then hands
// back the text itself).
TEST(TextEscapes, EveryControlByteAndIllFormedSequence) {
    struct row {
        const char *in, *json, *stored, *text;
    } rows[] = {
        // unchanged everywhere
        {"", "", "", ""},
        {"WAP-2240 3.4.1.7", "WAP-2240 3.4.1.7", "WAP-2240 3.4.1.7", "WAP-2240 3.4.1.7"},
        {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x93\xB6 \xF4\x8F\xBF\xBF \xED\x9F\xBF",
         "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x93\xB6 \xF4\x8F\xBF\xBF \xED\x9F\xBF",
         "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x93\xB6 \xF4\x8F\xBF\xBF \xED\x9F\xBF",
         "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x93\xB6 \xF4\x8F\xBF\xBF \xED\x9F\xBF"},
        // the characters JSON has short forms for
        {"a\"b\\c/d", "a\\\"b\\\\c\\/d", "a\\\"b\\\\c/d", "a\"b\\c/d"},
        {"\b\t\n\f\r", "\\b\\t\\n\\f\\r", "\\b\\t\\n\\f\\r", "?????"},
        // forged lines: a record row and a count line inside a model
        {"x\nWTP count\t9\n", "x\\nWTP count\\t9\\n", "x\\nWTP count\\t9\\n", "x?WTP count?9?"},
        {"2.1.0\r\nMax WTPs\t99999", "2.1.0\\r\\nMax WTPs\\t99999", "2.1.0\\r\\nMax WTPs\\t99999",
         "2.1.0??Max WTPs?99999"},
        // the other control bytes: \u00XX in JSON; DEL is no JSON matter
        {"\x01\x07\x0b\x0e\x1b[2J\x1f\x7f", "\\u0001\\u0007\\u000b\\u000e\\u001b[2J\\u001f\x7f",
         "\\u0001\\u0007\\u000b\\u000e\\u001b[2J\\u001f\x7f", "?????[2J??"},
        // bytes that are not UTF-8: one U+FFFD for each maximal ill-formed part
        {"\xff\xfe", FFFD FFFD, FFFD FFFD, "\xff\xfe"},
        {"a\x80z", "a" FFFD "z", "a" FFFD "z", "a\x80z"},
        {"\xC0\xAF\xC1\xBF", FFFD FFFD FFFD FFFD, FFFD FFFD FFFD FFFD, "\xC0\xAF\xC1\xBF"},
        {"\xC3", FFFD, FFFD, "\xC3"},                              // cut at the end
        {"\xE2\x82z", FFFD "z", FFFD "z", "\xE2\x82z"},            // cut before a letter
        {"\xF0\x9F\x93", FFFD, FFFD, "\xF0\x9F\x93"},              // three bytes, one U+FFFD
        {"\xE0\x80\x80", FFFD FFFD FFFD, FFFD FFFD FFFD, "\xE0\x80\x80"},  // overlong
        {"\xED\xA0\x80", FFFD FFFD FFFD, FFFD FFFD FFFD, "\xED\xA0\x80"},  // surrogate
        {"\xF4\x90\x80\x80", FFFD FFFD FFFD FFFD, FFFD FFFD FFFD FFFD, "\xF4\x90\x80\x80"},
        {"\xF5\xBF", FFFD FFFD, FFFD FFFD, "\xF5\xBF"},
        {"\xC3\n", FFFD "\\n", FFFD "\\n", "\xC3?"},               // a cut before a control
        {"\"\xff\"/\x01", "\\\"" FFFD "\\\"\\/\\u0001", "\\\"" FFFD "\\\"/\\u0001", "\"\xff\"/?"},
    };
    for (const row &r : rows) {
        SCOPED_TRACE(testing::PrintToString(std::string(r.in)));
        const char *e = json_escape(r.in);
        ASSERT_NE(nullptr, e);
        EXPECT_EQ(std::string(r.json), e);
        if (std::string(r.json) == r.in) {
            EXPECT_EQ(r.in, e) << "returned itself";
        }
        EXPECT_EQ(r.stored, stored_json(r.in));
        const std::string as_is = r.in;
        EXPECT_EQ(std::string(r.text), text_form(as_is).c_str());
        if (as_is == r.text) {
            EXPECT_EQ(as_is.c_str(), text_form(as_is).c_str()) << "no copy";
        }
    }
    EXPECT_STREQ("", json_escape(nullptr));
    EXPECT_STREQ("", text_form(static_cast<const char *>(nullptr)).c_str());
    // A previous result may be escaped again.
    EXPECT_STREQ("a\\\\\\\"b", json_escape(json_escape("a\"b")));
    // Every byte below 0x20 leaves as an escape and nothing else.
    for (int c = 1; c < 0x20; ++c) {
        const char in[] = {static_cast<char>(c), '\0'};
        std::string out = json_escape(in);
        EXPECT_EQ('\\', out[0]) << c;
        EXPECT_TRUE(out.size() == 2 || (out.size() == 6 && out.compare(0, 4, "\\u00") == 0)) << c;
        EXPECT_STREQ("?", text_form(in).c_str()) << c;
    }
}

}  // namespace
