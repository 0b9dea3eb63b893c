#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "imglib.h"
#include "out_file.h"

namespace {

using imglib::pack_result;

const uint8_t* bytes(const char* s)
{
    return reinterpret_cast<const uint8_t*>(s);
}

// Byte-at-a-time reference: register from `reg`, no complements.
uint32_t reference_register(uint32_t reg, const uint8_t* p, std::size_t n)
{
    for (std::size_t i = 0; i < n; i++) {
        reg ^= p[i];
        for (int k = 0; k < 8; k++)
            reg = (reg >> 1) ^ (0xEDB88320u & (0u - (reg & 1u)));
    }
    return reg;
}

struct crc_case {
    uint32_t start;
    const char* data;
    std::size_t len;
    uint32_t expected;
};

TEST(Crc32, StandardTable)
{
    const crc_case cases[] = {
        {0, "", 0, 0},
        {0, "123456789", 9, 0xCBF43926},
        {0, "a", 1, 0xE8B7BE43},
        {0, "The quick brown fox jumps over the lazy dog", 43, 0x414FA339},
        {0xCBF43926, "", 0, 0xCBF43926},  // nothing to add keeps the value
        {0x9BE3E0A3, "56789", 5, 0xCBF43926},  // continues crc32 of "1234"
    };
    for (const crc_case& c : cases)
        EXPECT_EQ(c.expected, imglib::crc32(c.start, bytes(c.data), c.len)) << c.data;
    EXPECT_EQ(0x9BE3E0A3u, imglib::crc32(0, bytes("1234"), 4));
    EXPECT_EQ(0u, imglib::crc32_update(0x12345678, nullptr, 10));
}

TEST(Crc32, ImageTable)
{
    const crc_case cases[] = {
        {0, "", 0, 0},
        {0, "123456789", 9, 0x2DFD2D88},
    };
    for (const crc_case& c : cases)
        EXPECT_EQ(c.expected, imglib::update_crc32(bytes(c.data), c.len, c.start)) << c.data;
    // The image CRC is the complement of the standard routine started from 0xFFFFFFFF.
    EXPECT_EQ(~imglib::crc32(0xFFFFFFFF, bytes("123456789"), 9), 0x2DFD2D88u);
    // Continued over two pieces.
    uint32_t reg = imglib::update_crc32(bytes("1234"), 4);
    EXPECT_EQ(0x2DFD2D88u, imglib::update_crc32(bytes("56789"), 5, reg));
}

TEST(Crc32, LongBuffersMatchByteAtATime)
{
    std::mt19937 rng(7);
    std::vector<uint8_t> buf(70000);
    for (auto& b : buf)
        b = static_cast<uint8_t>(rng());
    const std::size_t lengths[] = {0, 1, 15, 63, 64, 65, 255, 256, 257, 1000, 4099, 65536, 69990};
    for (std::size_t off : {0, 1, 7}) {
        for (std::size_t len : lengths) {
            const uint8_t* p = buf.data() + off;
            EXPECT_EQ(~reference_register(0xFFFFFFFF, p, len), imglib::crc32(0, p, len))
                << off << "+" << len;
            EXPECT_EQ(reference_register(0, p, len), imglib::update_crc32(p, len)) << off << "+" << len;
        }
    }
    // Split anywhere, the continued computation gives the same value.
    uint32_t whole = imglib::crc32(0, buf.data(), 5000);
    for (std::size_t cut : {0, 1, 300, 4999, 5000})
        EXPECT_EQ(whole, imglib::crc32(imglib::crc32(0, buf.data(), cut), buf.data() + cut, 5000 - cut));
}

TEST(Header, BytesAreBigEndianFieldByField)
{
    imglib::image_header h;
    h.magic = 0x80800002;
    h.hcrc = 0x11223344;
    h.date = 0x6553F100;
    h.size = 5;
    std::memcpy(h.company, "ACME", 4);
    h.dcrc = 0xF032519B;
    const uint8_t v[4] = {1, 2, 3, 0};
    std::memcpy(h.version, v, 4);
    std::memcpy(h.name, "IMG-1\0\x0b", 7);
    uint8_t out[64];
    imglib::header_to_bytes(h, out);
    const uint8_t expect[32] = {0x80, 0x80, 0x00, 0x02, 0x11, 0x22, 0x33, 0x44, 0x65, 0x53, 0xF1,
                                0x00, 0x00, 0x00, 0x00, 0x05, 'A',  'C',  'M',  'E',  0,    0,
                                0,    0,    0xF0, 0x32, 0x51, 0x9B, 1,    2,    3,    0};
    EXPECT_EQ(0, std::memcmp(expect, out, 32));
    EXPECT_EQ(0, std::memcmp("IMG-1\0\x0b", out + 32, 7));
    imglib::image_header back = imglib::header_from_bytes(out);
    uint8_t again[64];
    imglib::header_to_bytes(back, again);
    EXPECT_EQ(0, std::memcmp(out, again, 64));
    EXPECT_EQ(0x11223344u, back.hcrc);
}

TEST(Header, CrcCountsItsOwnFieldAsZero)
{
    uint8_t hdr[64];
    for (int i = 0; i < 64; i++)
        hdr[i] = static_cast<uint8_t>(i * 7);
    uint8_t zeroed[64];
    std::memcpy(zeroed, hdr, 64);
    std::memset(zeroed + 4, 0, 4);
    EXPECT_EQ(imglib::update_crc32(zeroed, 64), imglib::header_crc(hdr, false));
    EXPECT_EQ(imglib::crc32(0, zeroed, 64), imglib::header_crc(hdr, true));
}

std::string hex(const std::string& s)
{
    std::string out;
    char buf[4];
    for (unsigned char c : s) {
        snprintf(buf, sizeof buf, "%02X ", c);
        out += buf;
    }
    return out;
}

TEST(Model, Alphabet)
{
    EXPECT_EQ(1, imglib::model_code('0'));
    EXPECT_EQ(11, imglib::model_code('A'));
    EXPECT_EQ(37, imglib::model_code('a'));
    EXPECT_EQ(63, imglib::model_code('-'));
    EXPECT_EQ(0, imglib::model_code('_'));
    EXPECT_EQ(0, imglib::model_code(' '));
    EXPECT_EQ('-', imglib::model_char(63));
    EXPECT_EQ('\0', imglib::model_char(0));
}

TEST(Model, PackingExamples)
{
    struct {
        const char* model;
        const char* packed_hex;
    } cases[] = {
        {"AP123", "0B 68 20 C4 "},
        {"ab", "25 98 "},  // the group's second byte is zero and ends it
        {"A", "0B "},
        {"", ""},
        {"-", "3F "},
    };
    for (const auto& c : cases) {
        std::string out;
        ASSERT_EQ(pack_result::ok, imglib::encode_model(c.model, out)) << c.model;
        EXPECT_EQ(c.packed_hex, hex(out)) << c.model;
    }
    EXPECT_EQ("68 20 C4 ", hex(imglib::encode_model_group("P123")));
}

TEST(Model, RefusesWhatCannotBeStored)
{
    std::string out;
    EXPECT_EQ(pack_result::bad_char, imglib::encode_model("AP_1", out));
    EXPECT_EQ(pack_result::bad_char, imglib::encode_model("_", out));
    EXPECT_EQ(pack_result::bad_char, imglib::encode_model("AP 1", out));
    EXPECT_EQ(pack_result::ok, imglib::encode_model("ABCDEFGHIJKLMNOPQ", out));  // 17
    EXPECT_EQ(13u, out.size());
    EXPECT_EQ(pack_result::too_long, imglib::encode_model("ABCDEFGHIJKLMNOPQR", out));
    // 'F' (code 16) followed by '0' makes the group's second byte zero mid-model.
    EXPECT_EQ(pack_result::not_representable, imglib::encode_model("AxF0z", out));
    EXPECT_EQ(pack_result::not_representable, imglib::encode_model("AxF1", out));
}

TEST(Model, UnpackingReversesPacking)
{
    const char* models[] = {"A",     "ab",          "AP123",  "aF",           "LS2024P-4F",
                            "x9-zZ", "ABCDEFGHIJKLMNOPQ", "0000", "zzzzzzzzzzzzzzzzz", "S1F"};
    for (const char* m : models) {
        std::string packed;
        ASSERT_EQ(pack_result::ok, imglib::encode_model(m, packed)) << m;
        EXPECT_EQ(m, imglib::decode_model(packed)) << m;
    }
    int tag = -1;
    EXPECT_EQ("A", imglib::decode_model("\xCB", &tag));
    EXPECT_EQ(3, tag);
    EXPECT_EQ("", imglib::decode_model("", &tag));
    EXPECT_EQ("P123", imglib::decode_model_group(0x68, 0x20, 0xC4, 3));
    EXPECT_EQ("P12", imglib::decode_model_group(0x68, 0x20, 0xC4, 2));
}

TEST(NameField, BothZerosStayInside)
{
    uint8_t name[32];
    EXPECT_TRUE(imglib::compose_name(std::string(30, 'm'), "", name));
    EXPECT_FALSE(imglib::compose_name(std::string(31, 'm'), "", name));
    EXPECT_TRUE(imglib::compose_name("IMG-1", std::string(25, 'x'), name));
    EXPECT_FALSE(imglib::compose_name("IMG-1", std::string(26, 'x'), name));
    EXPECT_EQ("IMG-1", imglib::name_module(name));
    EXPECT_EQ(std::string(25, 'x'), imglib::name_model(name));

    std::memset(name, 'A', sizeof name);  // no zero at all: bounded by the field
    EXPECT_EQ(32u, imglib::name_module(name).size());
    EXPECT_EQ(0u, imglib::name_model(name).size());
    name[31] = 0;
    EXPECT_EQ(31u, imglib::name_module(name).size());
    EXPECT_EQ(0u, imglib::name_model(name).size());
}

TEST(SwitchModels, RowsArePlausible)
{
    for (std::size_t i = 0; i < imglib::SWITCH_MODEL_COUNT; i++) {
        const auto& row = imglib::switch_models[i];
        std::string name = row.name;
        EXPECT_GE(name.size(), 1u);
        EXPECT_LE(name.size(), 12u);
        std::string packed;
        EXPECT_EQ(pack_result::ok, imglib::encode_model(name, packed)) << name;
        for (std::size_t j = 0; j < i; j++)
            EXPECT_NE(row.magic, imglib::switch_models[j].magic) << name;
        EXPECT_STREQ(row.name, imglib::switch_model_name(row.magic));
    }
    EXPECT_EQ(nullptr, imglib::switch_model_name(0x80800002));
}

// What stands at an output's name before it is put in place, and what each way of placing it
// must leave there: the new bytes in a regular file of its own, or the old state untouched.
TEST(OutFile, PlacesOnlyWholeFilesAndNeverFollowsLinks)
{
    enum class before { nothing, file, link, dangling_link, directory };
    struct place_case {
        before at_name;
        bool replace;
        int expected;
    };
    const place_case cases[] = {
        {before::nothing, true, 0},        {before::nothing, false, 0},
        {before::file, true, 0},           {before::file, false, -EEXIST},
        {before::link, true, 0},           {before::link, false, -EEXIST},
        {before::dangling_link, true, 0},  {before::dangling_link, false, -EEXIST},
        {before::directory, true, -EISDIR}, {before::directory, false, -EEXIST},
    };
    auto slurp = [](const std::string& path) {
        std::string out;
        int fd = open(path.c_str(), O_RDONLY);
        char buf[64];
        for (ssize_t n; fd >= 0 && (n = read(fd, buf, sizeof buf)) > 0;)
            out.append(buf, static_cast<std::size_t>(n));
        if (fd >= 0)
            close(fd);
        return out;
    };
    auto entries = [](const std::string& dir) {
        std::vector<std::string> names;
        DIR* d = opendir(dir.c_str());
        for (dirent* e; d && (e = readdir(d));)
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                names.push_back(e->d_name);
        if (d)
            closedir(d);
        std::sort(names.begin(), names.end());
        return names;
    };
    for (const place_case& c : cases) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(c.at_name) << " replace " << c.replace);
        char tmpl[] = "/tmp/out_file_test.XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(tmpl));
        const std::string dir = tmpl, name = dir + "/out", victim = dir + "/victim";
        std::vector<std::string> listing = {"out"};
        {
            int fd = open(victim.c_str(), O_WRONLY | O_CREAT, 0600);
            ASSERT_EQ(3, write(fd, "old", 3));
            close(fd);
            listing.push_back("victim");
        }
        if (c.at_name == before::file)
            ASSERT_EQ(0, link(victim.c_str(), name.c_str()));
        else if (c.at_name == before::link)
            ASSERT_EQ(0, symlink(victim.c_str(), name.c_str()));
        else if (c.at_name == before::dangling_link)
            ASSERT_EQ(0, symlink((dir + "/none").c_str(), name.c_str()));
        else if (c.at_name == before::directory)
            ASSERT_EQ(0, mkdir(name.c_str(), 0700));
        else
            listing.erase(listing.begin());

        imglib::out_file f;
        ASSERT_EQ(0, f.create(name));
        ASSERT_EQ(0, f.write("new", 3));
        EXPECT_EQ(c.expected, f.commit(c.replace));
        struct stat st;
        if (c.expected == 0) {
            ASSERT_EQ(0, lstat(name.c_str(), &st));
            EXPECT_TRUE(S_ISREG(st.st_mode));
            EXPECT_EQ(0600u, st.st_mode & 07777);
            EXPECT_EQ("new", slurp(name));
            if (c.at_name == before::nothing)
                listing.insert(listing.begin(), "out");
        } else if (c.at_name == before::dangling_link) {
            EXPECT_EQ(0, lstat(name.c_str(), &st));
            EXPECT_TRUE(S_ISLNK(st.st_mode));
        }
        // The old file is never written through, and no temporary file is left behind.
        EXPECT_EQ("old", slurp(victim));
        EXPECT_EQ(listing, entries(dir));
        rmdir(name.c_str());
        unlink(name.c_str());
        unlink(victim.c_str());
        ASSERT_EQ(0, rmdir(dir.c_str()));
    }
}

// A temporary file never put in place leaves nothing behind.
TEST(OutFile, DiscardedWhenNotPlaced)
{
    char tmpl[] = "/tmp/out_file_test.XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(tmpl));
    const std::string name = std::string(tmpl) + "/out";
    {
        imglib::out_file f;
        ASSERT_EQ(0, f.create(name));
        ASSERT_EQ(0, f.write("partial", 7));
    }
    EXPECT_EQ(0, rmdir(tmpl));  // empty again
}

}  // namespace
