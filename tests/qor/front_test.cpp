// Front end: option-value parsers, formatters, option lookup and command-line parsing.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "front.h"

namespace {

mac_addr mac(std::initializer_list<int> b) {
    mac_addr m{};
    size_t i = 0;
    for (int v : b) m[i++] = static_cast<uint8_t>(v);
    return m;
}

TEST(ParseMac, AcceptsShortAndMixedCaseFieldsAndIgnoresTrailingText) {
    struct {
        const char *text;
        mac_addr want;
    } good[] = {
        {"0a:1:2:3:4:5", mac({0x0a, 1, 2, 3, 4, 5})},
        {"a:b:c:d:e:f", mac({0xa, 0xb, 0xc, 0xd, 0xe, 0xf})},
        {"AA:bb:Cc:00:11:ff", mac({0xaa, 0xbb, 0xcc, 0, 0x11, 0xff})},
        {"00:11:22:33:44:55:66", mac({0, 0x11, 0x22, 0x33, 0x44, 0x55})},
        {"1:2:3:4:5:6,7:8:9:a:b:c", mac({1, 2, 3, 4, 5, 6})},
        {"0000000ff:0:0:0:0:1", mac({0xff, 0, 0, 0, 0, 1})},
        {"01:02:03:04:05:06", mac({1, 2, 3, 4, 5, 6})},  // group addresses are a list rule
    };
    for (const auto &g : good) {
        uint8_t out[6] = {};
        ASSERT_TRUE(parse_mac(g.text, out)) << g.text;
        EXPECT_EQ(0, memcmp(out, g.want.data(), 6)) << g.text;
    }
}

TEST(ParseMac, RefusesMalformedOversizedAndZeroAddresses) {
    const char *bad[] = {
        "",  "00:00:00:00:00:00", "0:0:0:0:0:0", "100:0:0:0:0:1", "1:2:3:4:5", "1:2:3:4:5:",
        "1::2:3:4:5", "g:1:2:3:4:5", ":1:2:3:4:5:6", "1-2-3-4-5-6", "fffffffffffff:0:0:0:0:1",
        " 1:2:3:4:5:6", "1:2:3:4:5:1ff",
    };
    for (const char *t : bad) {
        uint8_t out[6] = {9, 9, 9, 9, 9, 9};
        EXPECT_FALSE(parse_mac(t, out)) << t;
        EXPECT_EQ(9, out[0]) << "output touched for " << t;
    }
    uint8_t out[6];
    EXPECT_FALSE(parse_mac(nullptr, out));
}

TEST(ParseMacList, SkipsEmptyPiecesAndDropsRepeats) {
    std::vector<mac_addr> list;
    ASSERT_TRUE(parse_mac_list("a:b:c:d:e:f,A:B:C:D:E:F", list));
    ASSERT_EQ(1u, list.size());
    EXPECT_EQ(mac({0xa, 0xb, 0xc, 0xd, 0xe, 0xf}), list[0]);

    ASSERT_TRUE(parse_mac_list(",,00:11:22:33:44:66,,00:11:22:33:44:55,0:11:22:33:44:66,", list));
    ASSERT_EQ(2u, list.size());
    EXPECT_EQ(mac({0, 0x11, 0x22, 0x33, 0x44, 0x66}), list[0]);  // first occurrence keeps its place
    EXPECT_EQ(mac({0, 0x11, 0x22, 0x33, 0x44, 0x55}), list[1]);

    for (const char *empty : {"", ",", ",,,"}) {
        ASSERT_TRUE(parse_mac_list(empty, list)) << empty;
        EXPECT_TRUE(list.empty()) << empty;
    }
}

TEST(ParseMacList, OneBadOrGroupPieceSpoilsTheWholeList) {
    std::vector<mac_addr> list;
    const char *bad[] = {
        "01:02:03:04:05:06",
        "02:00:00:00:00:01,03:00:00:00:00:01",
        "00:11:22:33:44:55,00:00:00:00:00:00",
        "00:11:22:33:44:55,zz",
        "00:11:22:33:44:55, 00:11:22:33:44:66",
        "ff:ff:ff:ff:ff:ff",
    };
    for (const char *t : bad) {
        list.assign(3, mac({2, 2, 2, 2, 2, 2}));
        EXPECT_FALSE(parse_mac_list(t, list)) << t;
        EXPECT_TRUE(list.empty()) << t;
    }
}

TEST(ParseIpv4, ExactlyFourFieldsInRange) {
    uint8_t a[4];
    ASSERT_TRUE(parse_ipv4("0.0.0.0", a));
    EXPECT_EQ(0, a[0] | a[1] | a[2] | a[3]);
    ASSERT_TRUE(parse_ipv4("192.168.10.255", a));
    EXPECT_EQ(192, a[0]);
    EXPECT_EQ(255, a[3]);
    ASSERT_TRUE(parse_ipv4("010.1.2.3", a));
    EXPECT_EQ(10, a[0]);
    for (const char *t : {"10.0.0.300", "1.2.3", "1.2.3.4.5", "1.2.3.4x", "1..2.3", "", "a.b.c.d",
                          "1.2.3.-4", "99999999999.1.1.1", "1.2.3.4 "})
        EXPECT_FALSE(parse_ipv4(t, a)) << t;
}

struct ip_case {
    const char *text;
    bool ok;
};

TEST(ParseIpSetting, AppliesEveryAddressRule) {
    const ip_case cases[] = {
        {"0.0.0.0/0.0.0.0/0.0.0.0", true},
        {"0.0.0.0/255.0.0.0/0.0.0.0", false},
        {"0.0.0.0/0.0.0.0/10.0.0.1", false},
        {"192.168.1.10/255.255.255.0/0.0.0.0", true},
        {"192.168.1.10/255.255.255.0/192.168.1.1", true},
        {"192.168.1.10/255.255.255.0/192.168.1.1 trailing", true},
        {"192.168.1.0/255.255.255.0/0.0.0.0", false},     // host part zero
        {"192.168.1.255/255.255.255.0/0.0.0.0", false},   // host part all ones
        {"192.168.1.10/255.0.255.0/0.0.0.0", false},      // mask not contiguous
        {"192.168.1.10/255.255.255.0/192.168.2.1", false}, // gateway in another subnet
        {"192.168.1.10/255.255.255.0/192.168.1.0", false}, // gateway host part zero
        {"192.168.1.10/255.255.255.0/192.168.1.255", false},
        {"192.168.1.10/255.255.255.0/255.255.255.255", false},
        {"192.168.1.10/0.0.0.0/0.0.0.0", false},
        {"192.168.1.10/255.255.255.255/0.0.0.0", false},
        {"255.255.255.255/255.255.255.0/0.0.0.0", false},
        {"127.0.0.1/255.0.0.0/0.0.0.0", false},
        {"224.1.1.1/255.255.255.0/0.0.0.0", false},
        {"239.1.1.1/255.255.255.0/0.0.0.0", false},
        {"240.1.1.1/255.255.255.0/0.0.0.0", true},
        {"223.1.1.1/255.255.255.0/0.0.0.0", true},
        {"0.1.1.1/255.255.255.0/0.0.0.0", false},
        {"191.255.1.1/255.255.0.0/0.0.0.0", false},
        {"191.254.1.1/255.255.0.0/0.0.0.0", true},
        {"10.0.0.5/255.0.0.0/10.127.0.1", true},
        {"10.1.0.5/255.255.0.0/10.1.0.1", true},
        {"192.168.1.10/255.255.255.0", false},             // fewer than twelve fields
        {"192.168.1.10/255.255.255.0/192.168.1.256", false},
        {"192.168.1.10/255.255.255.128/192.168.1.1", true},
        {"192.168.1.10/255.255.255.128/192.168.1.130", false},
    };
    for (const ip_case &c : cases) {
        uint32_t ip = 1, mask = 1, gw = 1;
        EXPECT_EQ(c.ok, parse_ip_setting(c.text, &ip, &mask, &gw)) << c.text;
    }
}

TEST(ParseIpSetting, ResultsAreInNetworkOrder) {
    uint32_t ip, mask, gw;
    ASSERT_TRUE(parse_ip_setting("192.168.1.10/255.255.255.0/192.168.1.1", &ip, &mask, &gw));
    uint8_t b[4];
    memcpy(b, &ip, 4);
    EXPECT_EQ(192, b[0]);
    EXPECT_EQ(10, b[3]);
    EXPECT_STREQ("255.255.255.0", ipv4_to_text(mask));
    EXPECT_STREQ("192.168.1.1", ipv4_to_text(gw));
    ASSERT_TRUE(parse_ip_setting("0.0.0.0/0.0.0.0/0.0.0.0", &ip, &mask, &gw));
    EXPECT_EQ(0u, ip | mask | gw);
}

TEST(ScanIpFields, CountsFieldsLikeAPatternScan) {
    uint32_t f[20];
    EXPECT_EQ(4, scan_ip_fields("1.2.3.4", f, 20));
    EXPECT_EQ(8, scan_ip_fields("1.2.3.4/255.0.0.0", f, 20));
    EXPECT_EQ(3, scan_ip_fields("1.2.3/4", f, 20));
    EXPECT_EQ(5, scan_ip_fields("1.2.3.4/5", f, 20));
    EXPECT_EQ(4, scan_ip_fields("1.2.3.4.5", f, 20));
    EXPECT_EQ(20, scan_ip_fields("1.1.1.1/2.2.2.2/3.3.3.3/4.4.4.4/5.5.5.5/6.6.6.6", f, 20));
    EXPECT_EQ(0, scan_ip_fields("x", f, 20));
    EXPECT_EQ(1, scan_ip_fields("4294967296999", f, 20));
    EXPECT_GT(f[0], 255u);  // huge numbers never wrap into range
}

TEST(Formatters, CaseAndSharedBuffers) {
    const uint8_t m[6] = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e};
    EXPECT_STREQ("00:1A:2B:3C:4D:5E", mac_to_text(m));
    const uint8_t a[4] = {10, 0, 200, 7};
    uint32_t net;
    memcpy(&net, a, 4);
    EXPECT_STREQ("10.0.200.7", ipv4_to_text(net));
    uint8_t d[16];
    for (int i = 0; i < 16; ++i) d[i] = static_cast<uint8_t>(i * 17);
    EXPECT_STREQ("00112233445566778899aabbccddeeff", md5_to_text(d));
    // Each call overwrites the formatter's one buffer.
    const char *first = mac_to_text(m);
    const uint8_t other[6] = {0xff, 0, 0, 0, 0, 1};
    EXPECT_EQ(first, mac_to_text(other));
    EXPECT_STREQ("FF:00:00:00:00:01", first);
}

TEST(Tables, EveryCodeHasOneNameAndCommandsFindTheirRows) {
    EXPECT_STREQ("acserver", option_name(OPT_ACSERVER));
    EXPECT_STREQ("flickreboot", option_name(OPT_FLICKREBOOT));
    for (int code = 0; code < 32; ++code) {
        int rows = 0;
        for (const long_option &o : long_options) rows += o.code == code;
        EXPECT_EQ(1, rows) << code;
    }
    EXPECT_EQ(nullptr, find_command("AC"));
    EXPECT_EQ(nullptr, find_command("rs"));
    ASSERT_NE(nullptr, find_command("rst"));
    EXPECT_TRUE(command_accepts(*find_command("rst"), OPT_FLICKREBOOT));
    EXPECT_FALSE(command_accepts(*find_command("rst"), OPT_JSON));
    EXPECT_TRUE(command_accepts(*find_command("nodc"), OPT_JSON));
    EXPECT_FALSE(command_accepts(*find_command("online"), OPT_MAC));
}

// Runs parse_command_line on a list of words; returns status, fills stderr text.
// The words stay alive (the vector borrows them) until the next call.
int parse(const std::vector<std::string> &words, parsed_command &pc, std::string &err) {
    static std::vector<std::string> keep;
    keep = words;
    keep.insert(keep.begin(), "qor");
    std::vector<char *> argv;
    for (std::string &w : keep) argv.push_back(w.data());
    argv.push_back(nullptr);
    testing::internal::CaptureStderr();
    int rc = parse_command_line(static_cast<int>(keep.size()), argv.data(), pc);
    err = testing::internal::GetCapturedStderr();
    return rc;
}

TEST(CommandLine, PrefixesValuesAndNonOptions) {
    parsed_command pc;
    std::string err;
    ASSERT_EQ(0, parse({"rst", "stray", "--wai", "5", "--mac=1:2:3:4:5:6", "-", "--fac", "--",
                        "--flickreboot"},
                       pc, err));
    EXPECT_EQ("", err);
    ASSERT_EQ(3, pc.count);
    EXPECT_EQ(OPT_WAIT, pc.args[0].code);
    EXPECT_STREQ("5", pc.args[0].value);
    EXPECT_EQ(OPT_MAC, pc.args[1].code);
    EXPECT_STREQ("1:2:3:4:5:6", pc.args[1].value);
    EXPECT_EQ(OPT_FACTORY, pc.args[2].code);
    EXPECT_EQ(nullptr, pc.args[2].value);

    // A value may be empty, and the next word is taken whatever it looks like.
    ASSERT_EQ(0, parse({"sh", "--cmd=", "--mac", "--factory"}, pc, err));
    ASSERT_EQ(2, pc.count);
    EXPECT_STREQ("", pc.args[0].value);
    EXPECT_STREQ("--factory", pc.args[1].value);
}

TEST(CommandLine, EntriesOutsideTheCommandsSetAreMarked) {
    parsed_command pc;
    std::string err;
    ASSERT_EQ(0, parse({"rst", "--mac=1:2:3:4:5:6", "--json", "--factory", "--cmd=x"}, pc, err));
    ASSERT_EQ(4, pc.count);
    EXPECT_FALSE(pc.args[0].refused);
    EXPECT_TRUE(pc.args[1].refused);
    EXPECT_FALSE(pc.args[2].refused);
    EXPECT_TRUE(pc.args[3].refused);
    // The handler's walk: an accepted entry passes silently, a refused one is named.
    testing::internal::CaptureStderr();
    EXPECT_EQ(0, option_refused(pc.args[0]));
    EXPECT_EQ(1, option_refused(pc.args[3]));
    EXPECT_EQ("ERROR: Unknown option --cmd.\n", testing::internal::GetCapturedStderr());
    ASSERT_EQ(0, parse({"nodc", "--json", "--cmd=x"}, pc, err));
    EXPECT_FALSE(pc.args[0].refused || pc.args[1].refused);
}

TEST(Tables, OnlyTheCommandsThatStopTheAcMayLoseItsConnection) {
    for (const command_def &c : command_table)
        EXPECT_EQ(strcmp(c.name, "exit") == 0 || strcmp(c.name, "kill") == 0, c.peer_may_close)
            << c.name;
}

TEST(CommandLine, ServerAndPortAreTakenByTheFrontEnd) {
    parsed_command pc;
    std::string err;
    ASSERT_EQ(0, parse({"online", "--acserver", "10.1.1.1", "--acport=99", "--acs=127.0.0.2",
                        "--acport", "x"},
                       pc, err));
    EXPECT_EQ(0, pc.count);
    EXPECT_STREQ("127.0.0.2", pc.server);
    EXPECT_EQ(0, pc.port);  // not a number
    ASSERT_EQ(0, parse({"online"}, pc, err));
    EXPECT_STREQ("127.0.0.1", pc.server);
    EXPECT_EQ(1235, pc.port);
}

TEST(CommandLine, ErrorMessages) {
    struct {
        std::vector<std::string> words;
        const char *err;
    } cases[] = {
        {{"--json", "ac"}, "ERROR: Wrong command specified '--json'\n"},
        {{"acx"}, "ERROR: Wrong command specified 'acx'\n"},
        {{""}, "ERROR: Wrong command specified ''\n"},
        {{"rst", "-x"}, "ERROR: Unknown option -x.\n"},
        {{"rst", "-mac"}, "ERROR: Unknown option -m.\n"},
        {{"rst", "-\x01"}, "ERROR: Unknown option character '\\x01'.\n"},
        {{"rst", "--mac"}, "ERROR: Option --mac requires an argument.\n"},
        {{"rst", "--wai"}, "ERROR: Option --wait requires an argument.\n"},
        {{"rst", "--foo"}, "ERROR: Unknown option `--foo'.\n"},
        {{"rst", "--foo=1"}, "ERROR: Unknown option `--foo=1'.\n"},
        {{"rst", "--no"}, "ERROR: Unknown option `--no'.\n"},
        {{"rst", "--f"}, "ERROR: Unknown option `--f'.\n"},
        {{"rst", "--=1"}, "ERROR: Unknown option `--=1'.\n"},
        {{"rst", "--macs=1"}, "ERROR: Unknown option `--macs=1'.\n"},
        {{"rst", "--json=1"}, "ERROR: Option --json doesn't allow an argument.\n"},
        {{"rst", "--factory", "--bad", "--mac"}, "ERROR: Unknown option `--bad'.\n"},
    };
    for (auto &c : cases) {
        parsed_command pc;
        std::string err;
        EXPECT_EQ(1, parse(c.words, pc, err)) << c.err;
        EXPECT_EQ(c.err, err);
    }
}

TEST(CommandLine, SixtyFourEntriesAtMost) {
    std::vector<std::string> words = {"rst", "--acport", "1"};
    for (int i = 0; i < 64; ++i) words.push_back("--factory");
    words.push_back("--acserver=127.0.0.1");
    parsed_command pc;
    std::string err;
    ASSERT_EQ(0, parse(words, pc, err));
    EXPECT_EQ(64, pc.count);
    words.push_back("--wait=1");
    EXPECT_EQ(1, parse(words, pc, err));
    EXPECT_EQ("ERROR: Too many arguments\n", err);
}

TEST(OptionErrors, SharedWording) {
    struct {
        int (*fn)();
        const char *err;
    } cases[] = {
        {[] { return opt_unknown(OPT_JSON); }, "ERROR: Unknown option --json.\n"},
        {[] { return opt_require(OPT_MAC); }, "ERROR: Require --mac.\n"},
        {[] { return opt_duplicate(OPT_IP); }, "ERROR: Specify more than one --ip.\n"},
        {[] { return opt_invalid(OPT_TYPE, "3"); }, "ERROR: Invalid --type argument '3'.\n"},
        {[] { return opt_invalid_keyword(OPT_RADIO); }, "ERROR: Invalid --radio argument.\n"},
        {[] { return opt_conflict(OPT_ADD, OPT_DEL); }, "ERROR: --add and --del conflict.\n"},
        {[] { return opt_cannot_specify(OPT_FILE, OPT_IP); },
         "ERROR: Could not specify --file and --ip.\n"},
        {[] { return opt_cannot_use(OPT_IP, OPT_DEL); },
         "ERROR: Could not use --ip when --del is specified.\n"},
        {[] { return opt_cannot_combine(OPT_JSON, OPT_BREIF); },
         "ERROR: --json cannot be specified with --breif.\n"},
    };
    for (auto &c : cases) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(1, c.fn());
        EXPECT_EQ(c.err, testing::internal::GetCapturedStderr());
    }
}

TEST(DecimalValue, BehavesLikeTheLibraryConversionWithoutOverflow) {
    EXPECT_EQ(0, decimal_value("abc"));
    EXPECT_EQ(0, decimal_value(""));
    EXPECT_EQ(1, decimal_value("1x"));
    EXPECT_EQ(-1, decimal_value("-1"));
    EXPECT_EQ(12, decimal_value("  12"));
    EXPECT_EQ(2147483647, decimal_value("99999999999999999999"));
}

}  // namespace
