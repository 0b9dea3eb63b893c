// Header setters and image checks; built once per build of fwimg.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "pack.h"
#include "util.h"

namespace {

using namespace fwimg;

const std::string prefix = MODULE_PREFIX;

std::string model_bytes()
{
    return std::string(imglib::name_model(_core_header.name));
}

class Setters : public ::testing::Test {
protected:
    void SetUp() override
    {
        header_reset();
        gu4magic_num = DEFAULT_MAGIC;
    }
};

TEST_F(Setters, Company)
{
    EXPECT_EQ(0, set_company("ABCDEFG"));
    EXPECT_EQ(0, std::memcmp(_core_header.company, "ABCDEFG\0", 8));
    EXPECT_EQ(-EINVAL, set_company("ABCDEFGH"));
    EXPECT_EQ(0, set_company("AB"));
    EXPECT_EQ(0, std::memcmp(_core_header.company, "AB\0\0\0\0\0\0", 8));
}

TEST_F(Setters, VersionAndControllerVersion)
{
    EXPECT_EQ(0, set_version("1.2.3"));
    EXPECT_EQ(prefix + "1.2.3", module_text());
    EXPECT_EQ(0, set_controller_version("4.5"));
    EXPECT_EQ(prefix + "1.2.3-4.5", std::string(imglib::name_module(_core_header.name)));
    // Module text, its zero and the (empty) model's zero must fit 32 bytes.
    const std::size_t longest = 30 - prefix.size();
    EXPECT_EQ(0, set_version(std::string(longest, '9').c_str()));
    EXPECT_EQ(-EINVAL, set_version(std::string(longest + 1, '9').c_str()));
    EXPECT_EQ(-EINVAL, set_version(std::string(VERSION_TEXT_MAX + 1, '9').c_str()));
    EXPECT_EQ(prefix + std::string(longest, '9'), module_text());  // refusals change nothing
    EXPECT_EQ(-EINVAL, set_controller_version(""));  // the "-" needs room too
    EXPECT_EQ(0, set_version("1"));
    EXPECT_EQ(0, set_controller_version(std::string(30 - prefix.size() - 2, 'c').c_str()));
    EXPECT_EQ(30u, module_text().size());
}

TEST_F(Setters, VersionBytes)
{
    struct {
        const char* text;
        uint8_t expect[4];
        int count;
    } cases[] = {
        {"1.2.3", {1, 2, 3, 0}, 3},
        {"1.2.3.4.5", {1, 2, 3, 4}, 4},
        {"1.300", {1, 0x2C, 0, 0}, 2},
        {"7", {7, 0, 0, 0}, 1},
    };
    for (const auto& c : cases) {
        char buf[32];
        std::strcpy(buf, c.text);
        uint8_t out[4] = {9, 9, 9, 9};
        EXPECT_EQ(c.count, strtodec(buf, out, "."));
        EXPECT_EQ(0, std::memcmp(c.expect, out, 4)) << c.text;
    }
}

TEST_F(Setters, ModelPlacedAfterModuleInAnyOrder)
{
    ASSERT_EQ(0, set_version("1.2.3"));
    ASSERT_EQ(0, set_modulename("AP123"));
    uint8_t first[32];
    std::memcpy(first, _core_header.name, 32);
    header_reset();
    ASSERT_EQ(0, set_modulename("AP123"));
    ASSERT_EQ(0, set_version("1.2.3"));
    EXPECT_EQ(0, std::memcmp(first, _core_header.name, 32));
#ifdef FWIMG_AC
    EXPECT_EQ("AP123", model_bytes());
#else
    EXPECT_EQ("\x0b\x68\x20\xc4", model_bytes());
#endif
}

TEST_F(Setters, ModelRefusals)
{
    ASSERT_EQ(0, set_version("1.2.3"));
#ifdef FWIMG_AC
    EXPECT_EQ(0, set_modulename("ABCDEFGHIJKLMNO"));  // 15
    EXPECT_EQ(-EINVAL, set_modulename("ABCDEFGHIJKLMNOP"));
    EXPECT_EQ(0, set_modulename("AP_1 x"));  // plain text, stored as given
#else
    EXPECT_EQ(-EINVAL, set_modulename("AP_1"));
    EXPECT_EQ(-EINVAL, set_modulename("ABCDEFGHIJKLMNOPQR"));
    EXPECT_EQ(-EINVAL, set_modulename("AxF0z"));
    EXPECT_EQ(0, set_modulename("ABCDEFGHIJKLMNOPQ"));
#endif
    // The model may take what the module text leaves, less the two zeros.
    header_reset();
    ASSERT_EQ(0, set_version(std::string(30 - prefix.size() - 1, '1').c_str()));
    EXPECT_EQ(0, set_modulename("A"));
    EXPECT_EQ(-EINVAL, set_modulename("AB"));
    EXPECT_EQ(ac_build ? "A" : "\x0b", model_bytes());
    EXPECT_EQ(-EINVAL, set_controller_version("x"));
}

TEST(ParserFilename, LastComponent)
{
    char out[FILENAME_SIZE];
    EXPECT_EQ(0, parser_filename("/a/b/c.img", out));
    EXPECT_STREQ("c.img", out);
    EXPECT_EQ(0, parser_filename("c.img", out));
    EXPECT_STREQ("c.img", out);
    EXPECT_EQ(0, parser_filename("dir/", out));
    EXPECT_STREQ("", out);
    EXPECT_EQ(-EINVAL, parser_filename("", out));
    EXPECT_EQ(0, parser_filename(("/x/" + std::string(127, 'n')).c_str(), out));
    EXPECT_EQ(-ENAMETOOLONG, parser_filename(("/x/" + std::string(128, 'n')).c_str(), out));
}

// Image files for the checks, in a private folder.
class Checks : public ::testing::Test {
protected:
    std::string dir;
    void SetUp() override
    {
        char tmpl[] = "/tmp/fwimg_checkXXXXXX";
        ASSERT_NE(nullptr, mkdtemp(tmpl));
        dir = tmpl;
        gu4magic_num = DEFAULT_MAGIC;
    }
    void TearDown() override
    {
        for (const std::string& f : files)
            unlink(f.c_str());
        rmdir(dir.c_str());
    }
    std::vector<std::string> files;

    std::string write(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        std::string path = dir + "/" + name;
        FILE* f = fopen(path.c_str(), "wb");
        if (!bytes.empty())
            fwrite(bytes.data(), 1, bytes.size(), f);
        fclose(f);
        files.push_back(path);
        return path;
    }

    // An image of `data` with either CRC variant.
    static std::vector<uint8_t> image(const std::string& data, uint32_t magic, bool standard)
    {
        imglib::image_header h;
        h.magic = magic;
        h.size = static_cast<uint32_t>(data.size());
        const auto* p = reinterpret_cast<const uint8_t*>(data.data());
        h.dcrc = standard ? imglib::crc32(0, p, data.size()) : imglib::update_crc32(p, data.size());
        std::vector<uint8_t> out(64);
        imglib::header_to_bytes(h, out.data());
        imglib::store_be32(out.data() + 4, imglib::header_crc(out.data(), standard));
        out.insert(out.end(), data.begin(), data.end());
        return out;
    }
};

TEST_F(Checks, OwnImage)
{
    auto good = image("firmware bytes", DEFAULT_MAGIC, false);
    EXPECT_EQ(0, check_file_crc32(write("good", good).c_str()));
    EXPECT_EQ(0, check_file_crc32(write("empty", image("", DEFAULT_MAGIC, false)).c_str()));

    auto longer = good;
    longer.push_back(0);
    EXPECT_EQ(1, check_file_crc32(write("longer", longer).c_str()));
    auto shorter = good;
    shorter.pop_back();
    EXPECT_EQ(1, check_file_crc32(write("shorter", shorter).c_str()));
    auto data_bad = good;
    data_bad[70] ^= 1;
    EXPECT_EQ(1, check_file_crc32(write("data_bad", data_bad).c_str()));
    auto hdr_bad = good;
    hdr_bad[40] ^= 1;
    EXPECT_EQ(1, check_file_crc32(write("hdr_bad", hdr_bad).c_str()));
    EXPECT_EQ(1, check_file_crc32(write("tiny", {1, 2, 3}).c_str()));
    EXPECT_EQ(1, check_file_crc32(write("zero", {}).c_str()));
    EXPECT_EQ(1, check_file_crc32(write("std", image("x", DEFAULT_MAGIC, true)).c_str()));

    // Another magic number: only the controller-package build minds.
    auto other = image("firmware bytes", 0x12345678, false);
    EXPECT_EQ(ac_build ? 1 : 0, check_file_crc32(write("other", other).c_str()));

    EXPECT_EQ(-EIO, check_file_crc32((dir + "/missing").c_str()));
    EXPECT_EQ(-EIO, check_file_crc32(dir.c_str()));
}

TEST_F(Checks, BootLoaderImage)
{
    const uint32_t legacy = 0x27051956;
    auto good = image("kernel", legacy, true);
    std::string path = write("uimage", good);
    EXPECT_EQ(1, check_file_crc32_uboot(path.c_str()));  // not the configured magic number
    gu4magic_num = legacy;
    EXPECT_EQ(0, check_file_crc32_uboot(path.c_str()));
    auto bad = good;
    bad.back() ^= 0x80;
    EXPECT_EQ(1, check_file_crc32_uboot(write("bad", bad).c_str()));
    EXPECT_EQ(1, check_file_crc32_uboot(write("own", image("kernel", legacy, false)).c_str()));
    EXPECT_EQ(-EIO, check_file_crc32_uboot((dir + "/missing").c_str()));
}

// The image CRC by its definition, one bit at a time: register from 0, no final complement.
uint32_t image_crc_by_bits(const std::vector<uint8_t>& data)
{
    uint32_t reg = 0;
    for (uint8_t b : data) {
        reg ^= b;
        for (int i = 0; i < 8; ++i)
            reg = (reg >> 1) ^ (0xEDB88320u & (0u - (reg & 1u)));
    }
    return reg;
}

// The data part of an image is copied in behind its header, inside the kernel or (where the
// output refuses that: a file opened for appending) read and written, and its CRC taken on the
// way or from a second read; an input that ends before its length is a read failure either way.
TEST_F(Checks, CopyBehindTheHeaderWithItsCrc)
{
    struct row {
        std::size_t size;     // bytes in the input
        std::size_t claimed;  // bytes to copy
        bool append;          // the output refuses the kernel's copy
    };
    const std::size_t step = 16u << 20;  // one copy_file_range call
    const row rows[] = {
        {0, 0, false},           {1, 1, false},
        {PIECE - 1, PIECE - 1, false}, {PIECE + 1, PIECE + 1, false},
        {step + 3, step + 3, false},   {0, 0, true},
        {PIECE + 1, PIECE + 1, true},  {5, 6, false},
        {PIECE + 1, PIECE + 2, false}, {1, 2 * PIECE, false},
        {PIECE + 1, PIECE + 2, true},  {0, 1, true},
    };
    std::vector<uint8_t> all(step + 3);
    uint32_t seed = 12345;
    for (uint8_t& b : all) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<uint8_t>(seed >> 24);
    }
    for (const row& r : rows) {
        SCOPED_TRACE(testing::Message() << "size " << r.size << " claimed " << r.claimed
                                        << (r.append ? " append" : ""));
        const std::vector<uint8_t> data(all.begin(), all.begin() + static_cast<long>(r.size));
        const std::string in_path = write("in", data);
        const std::vector<uint8_t> header(64, 0xAA);
        for (int with_crc = 0; with_crc < 2; ++with_crc) {
            const std::string out_path = write("out", header);
            int in = open(in_path.c_str(), O_RDONLY);
            int out = open(out_path.c_str(), O_WRONLY | (r.append ? O_APPEND : 0));
            ASSERT_GE(in, 0);
            ASSERT_GE(out, 0);
            ASSERT_EQ(64, lseek(out, 64, SEEK_SET));
            bool read_failed = false;
            uint32_t crc = 1;
            int ret = with_crc ? copy_with_crc(in, r.claimed, out, crc, read_failed)
                               : copy_data(in, 0, out, r.claimed, read_failed);
            close(in);
            close(out);
            const bool whole = r.claimed == r.size;
            EXPECT_EQ(whole ? 0 : -EIO, ret);
            EXPECT_EQ(!whole, read_failed);
            if (with_crc && whole) {
                EXPECT_EQ(image_crc_by_bits(data), crc);
            }
            FILE* f = fopen(out_path.c_str(), "rb");
            ASSERT_NE(nullptr, f);
            std::vector<uint8_t> got(64 + r.size + 1);
            got.resize(fread(got.data(), 1, got.size(), f));
            fclose(f);
            if (whole) {
                std::vector<uint8_t> expected(header);
                expected.insert(expected.end(), data.begin(), data.end());
                EXPECT_TRUE(expected == got) << "output of " << got.size() << " bytes";
            }
        }
    }
}

// A copy and a CRC beside it read the input twice: an input that has changed meanwhile (its
// length or its modification time) fails the run.
TEST_F(Checks, InputChangedWhileRead)
{
    enum class change { none, shorter, longer, rewritten, touched };
    for (change c : {change::none, change::shorter, change::longer, change::rewritten,
                     change::touched}) {
        SCOPED_TRACE(static_cast<int>(c));
        const std::string path = write("input", {1, 2, 3, 4});
        struct timespec old_times[2] = {{1000, 0}, {1000, 0}};
        ASSERT_EQ(0, utimensat(AT_FDCWD, path.c_str(), old_times, 0));
        input_file f;
        struct stat st;
        ASSERT_EQ(0, open_regular(path.c_str(), f, st, -ENOENT));
        EXPECT_EQ(0, input_unchanged(f));
        int w = open(path.c_str(), O_WRONLY);
        ASSERT_GE(w, 0);
        const uint8_t b = 9;
        struct timespec new_times[2] = {{1000, 0}, {1000, 1}};
        int done = 0;
        switch (c) {
        case change::none: break;
        case change::shorter: done = ftruncate(w, 3) == 0; break;
        case change::longer: done = pwrite(w, &b, 1, 4) == 1; break;
        case change::rewritten: done = pwrite(w, &b, 1, 0) == 1; break;
        case change::touched: done = futimens(w, new_times) == 0; break;
        }
        EXPECT_EQ(c != change::none, done != 0);
        close(w);
        EXPECT_EQ(c == change::none ? 0 : -EIO, input_unchanged(f));
    }
}

}  // namespace
