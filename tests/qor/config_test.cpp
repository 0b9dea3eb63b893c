// Configuration: the key tables' numbering, the walk's key paths and index bytes, its
// limits, the --ip setting and the password digest (computed without starting anything).
#include <gtest/gtest.h>
#include <glob.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "alloc_hook.h"
#include "config.h"
#include "ops.h"
#include "spawn_hook.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

struct json_doc {
    json_value *v;
    explicit json_doc(const std::string &text) {
        json_settings s{};
        char err[json_error_max];
        v = json_parse_ex(&s, text.c_str(), text.size(), err);
    }
    ~json_doc() {
        if (v) json_value_free(v);
    }
};

const char *type_name(json_type t) {
    switch (t) {
    case json_array: return "array";
    case json_integer: return "int";
    case json_string: return "string";
    case json_boolean: return "bool";
    default: return "other";
    }
}

// Every visit as "path|index bytes in hex|type".
std::vector<std::string> visits;
int stop_at = -1;

int record(const char *path, uint32_t n, const uint8_t *index, const json_value *v, void *) {
    std::string s = std::string(path) + "|";
    for (uint32_t i = 0; i < n; ++i) {
        char b[3];
        snprintf(b, sizeof b, "%02x", index[i]);
        s += b;
    }
    visits.push_back(s + "|" + type_name(v->type));
    return static_cast<int>(visits.size()) == stop_at ? 7 : 0;
}

// Walks `text` with the recording handler; returns the walk's result.
int walk(const std::string &text) {
    visits.clear();
    json_doc doc(text);
    EXPECT_NE(nullptr, doc.v) << text;
    if (!doc.v) return -1;
    iter_stack st;
    iter_stack_clear(st);
    int rc = json_iter(st, doc.v, record, nullptr);
    EXPECT_EQ(0, st.depth);
    return rc;
}


TEST(KeyTables, NumberingOfBothTables) {
    struct expect {
        const cfg_key *table;
        size_t rows;
        std::set<int32_t> unused;  // the count items' numbers, up to the highest used
    } tables[] = {{switch_keys, 41, {8, 13, 24, 38}}, {ap_keys, 162, {4, 17, 93}}};
    for (const expect &t : tables) {
        std::set<std::string> keys;
        std::set<int32_t> types;
        size_t rows = 0;
        for (const cfg_key *r = t.table; r->key; ++r, ++rows) {
            EXPECT_TRUE(keys.insert(r->key).second) << r->key;
            EXPECT_TRUE(types.insert(r->item_type).second) << r->key;
            EXPECT_TRUE(r->json_type == JT_INTEGER || r->json_type == JT_STRING) << r->key;
        }
        EXPECT_EQ(t.rows, rows);
        std::set<int32_t> unused;
        for (int32_t i = 1; i <= *types.rbegin(); ++i)
            if (!types.count(i)) unused.insert(i);
        EXPECT_EQ(t.unused, unused);
    }
    EXPECT_EQ(switch_keys, cfg_key_table(2));
    EXPECT_EQ(ap_keys, cfg_key_table(3));
    EXPECT_EQ(ap_keys, cfg_key_table(0));
}

TEST(Walk, KeyPathsAndIndexBytesWithTheSlotByteOfArrays) {
    // An array's own visit ends in the index its stack entry still holds from the member
    // or element walked last at that depth (scalars leave it alone).
    EXPECT_EQ(0, walk(R"({"a":{"x":1,"y":2,"z":"s"},"b":[[5,6],[]],"c":[{"d":[]}],"e":true})"));
    std::vector<std::string> want = {
        "a.x||int",         "a.y||int",           "a.z||string",
        "b[]|02|array",     "b[][]|0000|array",   "b[][]|0000|int",
        "b[][]|0001|int",   "b[][]|0101|array",   "c[]|01|array",
        "c[].d[]|0000|array", "e||bool",
    };
    EXPECT_EQ(want, visits);
}

TEST(Walk, EmptyArraysAndStopping) {
    EXPECT_EQ(0, walk(R"({"a":[]})"));
    EXPECT_EQ(std::vector<std::string>{"a[]|00|array"}, visits);
    // The handler's non-zero result ends the walk and is passed on as it is.
    stop_at = 2;
    EXPECT_EQ(7, walk("[1,2,3]"));
    stop_at = -1;
    EXPECT_EQ(2u, visits.size());
}

TEST(Walk, TheLastIndexByteAndNamesHoldingAZeroByte) {
    std::string elems = "0";
    for (int i = 1; i < 256; ++i) elems += ",0";
    EXPECT_EQ(0, walk("{\"a\":[" + elems + "]}"));
    EXPECT_EQ("a[]|ff|int", visits.back());
    // A member name holding a zero byte names no key: its values are not handed over.
    EXPECT_EQ(0, walk(R"({"na\u0000me":"x","name":"y"})"));
    EXPECT_EQ(std::vector<std::string>{"name||string"}, visits);
}

// Converts a document with cfg_value_handler; the items in wire form as hex.
int convert(const std::string &text, uint8_t dev, std::string &hex) {
    json_doc doc(text);
    EXPECT_NE(nullptr, doc.v);
    if (!doc.v) return -1;
    tlv_list list;
    cfg_ctx ctx{&list, dev};
    iter_stack st;
    iter_stack_clear(st);
    int rc = json_iter(st, doc.v, cfg_value_handler, &ctx);
    cfg_lists_release();
    wire_buf w;
    tlv_write(w, list);
    hex.clear();
    for (uint8_t b : w.data()) {
        char c[3];
        snprintf(c, sizeof c, "%02x", b);
        hex += c;
    }
    return rc;
}

TEST(ValueHandler, NameListsOfMoreThan255EntriesAreRefused) {
    std::string names = "\"n0\"";
    for (int i = 1; i < 255; ++i) names += ",\"n" + std::to_string(i) + "\"";
    std::string hex;
    EXPECT_EQ(0, convert("{\"wtp_cfg\":{\"ac_list\":[" + names + "]}}", 3, hex));
    EXPECT_EQ("005a0000ff00", hex.substr(0, 12));  // 255 x 256 bytes
    CaptureStderr();
    EXPECT_EQ(1, convert("{\"wtp_cfg\":{\"ac_list\":[" + names + ",\"x\"]}}", 2, hex));
    EXPECT_EQ("ERROR: More than 255 names in 'wtp_cfg.ac_list[]'.\n", GetCapturedStderr());
    EXPECT_EQ("", hex);
}

TEST(OutOfMemory, FileNameCopyFileTextAndListBuffer) {
    // A file name copy.
    std::string name(200, 'f');
    option_arg args[] = {{OPT_MAC, "00:11:22:33:44:55"}, {OPT_FILE, name.c_str()}};
    CaptureStderr();
    {
        failing_allocations fail(200);
        EXPECT_EQ(1, cmd_cfg(args, 2));
    }
    EXPECT_EQ("ERROR: Out of memory.\n", GetCapturedStderr());

    // The text of a file: its size and a terminating zero.
    char path[] = "/tmp/qor_config_test.XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    std::string text = "[" + std::string(99998, ' ') + "]";
    ASSERT_EQ(ssize_t(text.size()), write(fd, text.data(), text.size()));
    close(fd);
    tlv_list list;
    CaptureStderr();
    {
        failing_allocations fail(100001);
        EXPECT_EQ(1, cfg_convert_file(path, 3, list));
    }
    EXPECT_EQ("ERROR: Out of memory.\n", GetCapturedStderr());
    EXPECT_EQ(0, cfg_convert_file(path, 3, list));
    unlink(path);

    // A list's buffer, reserved when its array is reached.
    std::string names = "\"n0\"";
    for (int i = 1; i < 200; ++i) names += ",\"n" + std::to_string(i) + "\"";
    std::string hex;
    CaptureStderr();
    {
        failing_allocations fail(200 * 256);
        EXPECT_EQ(1, convert("{\"wtp_cfg\":{\"ac_list\":[" + names + "]}}", 3, hex));
    }
    EXPECT_EQ("ERROR: Out of memory\n", GetCapturedStderr());
}

TEST(IpSetting, AddressesMaskGatewayAndDnsServers) {
    uint8_t v[20];
    ASSERT_TRUE(parse_wtp_ip_setting("192.168.1.10/255.255.255.0", v));
    const uint8_t two[20] = {192, 168, 1, 10, 255, 255, 255, 0};
    EXPECT_EQ(0, memcmp(two, v, 20));
    ASSERT_TRUE(parse_wtp_ip_setting("1.2.3.4/255.255.255.0/1.2.3.1/8.8.8.8/1.2.3.9x", v));
    const uint8_t five[20] = {1, 2, 3, 4, 255, 255, 255, 0, 1, 2, 3, 1, 8, 8, 8, 8, 1, 2, 3, 9};
    EXPECT_EQ(0, memcmp(five, v, 20));
    ASSERT_TRUE(parse_wtp_ip_setting("0.0.0.0", v));
    EXPECT_EQ(0, memcmp(std::vector<uint8_t>(20, 0).data(), v, 20));
    EXPECT_TRUE(parse_wtp_ip_setting("0.0.0.0/0.0.0.0/0.0.0.0/0.0.0.0/0.0.0.0", v));
    for (const char *bad : {"0.0.0.1", "1.2.3", "1.2.3.4", "1.2.3.4/255.255.255.0/1.2.3.1/1.2",
                            "0.0.0.0/0.0.0.0/0.0.0.0/8.8.8.8",
                            "1.2.3.4/255.255.255.0/1.2.3.1/1.2.3.0",    // host part zero
                            "1.2.3.4/255.255.255.0/1.2.3.1/8.8.8.255",  // host part ones
                            "1.2.3.4/255.255.255.0/0.0.0.0/0.0.0.0/127.0.0.1",
                            "1.2.3.4/255.255.255.0/0.0.0.0/230.1.1.1",
                            "1.2.3.4/255.255.255.0/0.0.0.0/191.255.1.1",
                            "1.2.3.4/255.255.255.0/0.0.0.0/255.255.255.255",
                            "1.2.3.4/255.255.255.0/1.2.4.1", "1.2.3.256/255.255.255.0", ""})
        EXPECT_FALSE(parse_wtp_ip_setting(bad, v)) << bad;
}

TEST(PasswordDigest, AnyContentAndLengthWithoutAProcessOrAFile) {
    // 300 characters (305 bytes) with quotes, backslashes, a command substitution, spaces
    // and non-ASCII bytes. Expected: printf '%s\n' "$pw" | md5sum.
    std::string pw = "quote' dq\" back\\slash \\n $(touch /tmp/qor-pwned) `id` ; rm -rf x | "
                     "\xc3\xbc\xe2\x82\xac\xe6\xbc\xa2 ";
    pw += std::string(300 - 71, 'x');  // 71 characters (76 bytes) so far
    ASSERT_EQ(305u, pw.size());
    glob_t before{}, after{};
    glob("/tmp/qor.*.tmp", 0, nullptr, &before);
    spawn_calls = 0;
    uint8_t d[16];
    ASSERT_TRUE(password_digest(pw.c_str(), d));
    EXPECT_STREQ("6f0e1d8f13882b18186e3fa44f97814d", md5_to_text(d));
    // Through the access-point password row as well: item 44, the 16 digest bytes.
    std::string hex;
    EXPECT_EQ(0, convert(R"({"wtp_cfg":{"password":"a'b\\c $(id) \u00fc"}})", 3, hex));
    EXPECT_EQ("002c00000010" "dd19f816f5daf34a89fb2f9859af8e1f", hex);
    EXPECT_EQ(0, spawn_calls);
    glob("/tmp/qor.*.tmp", 0, nullptr, &after);
    EXPECT_EQ(before.gl_pathc, after.gl_pathc);
    globfree(&before);
    globfree(&after);
}

}  // namespace
