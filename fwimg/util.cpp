#include "util.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "build.h"
#include "pack.h"

#ifndef MADV_POPULATE_READ
#define MADV_POPULATE_READ 22  // Linux 5.14 and later
#endif

namespace fwimg {

mapped_file::~mapped_file()
{
    reset();
}

void mapped_file::reset()
{
    if (data)
        munmap(const_cast<uint8_t*>(data), len);
    if (fd >= 0)
        close(fd);
    data = nullptr;
    fd = -1;
    len = 0;
}

int mapped_file::release()
{
    int ret = 0;
    if (data && munmap(const_cast<uint8_t*>(data), len) != 0) {
        perror("munmap");
        ret = -EIO;
    }
    data = nullptr;
    if (fd >= 0 && close(fd) != 0) {
        perror("close");
        ret = -EIO;
    }
    fd = -1;
    len = 0;
    return ret;
}

namespace {

void report_error(map_report report, const char* what)
{
    if (report == map_report::errors)
        perror(what);
}

}  // namespace

int open_regular(const char* path, mapped_file& m, struct stat& st, int open_error,
                 map_report report)
{
    m.reset();
    // Without blocking: a FIFO or a device must reach the regular-file check below.
    m.fd = open(path, O_RDONLY | O_NONBLOCK);
    if (m.fd < 0) {
        report_error(report, "open");
        return open_error;
    }
    if (fstat(m.fd, &st) != 0) {
        report_error(report, "fstat");
        return -EIO;
    }
    if (!S_ISREG(st.st_mode)) {
        if (report == map_report::errors)
            fprintf(stderr, "%s is not a file\n", path);
        return -EIO;
    }
    return 0;
}

int map_whole(mapped_file& m, map_use use, map_report report)
{
    if (m.len == 0)
        return 0;
    void* p = mmap(nullptr, m.len, PROT_READ, MAP_PRIVATE, m.fd, 0);
    if (p == MAP_FAILED) {
        report_error(report, "mmap");
        return -EIO;
    }
    m.data = static_cast<const uint8_t*>(p);
    madvise(p, m.len, MADV_SEQUENTIAL);
    // Data read through a fresh mapping would stop at a page fault every few pages: have the
    // kernel set up the whole mapping at once (a kernel that does not know the advice reads
    // ahead instead).
    if (use == map_use::all_data && madvise(p, m.len, MADV_POPULATE_READ) != 0)
        madvise(p, m.len, MADV_WILLNEED);
    return 0;
}

int map_image(const char* path, mapped_file& m, int open_error, map_use use, map_report report)
{
    struct stat st;
    int ret = open_regular(path, m, st, open_error, report);
    if (ret < 0)
        return ret;
    if (static_cast<unsigned long long>(st.st_size) > SIZE_MAX) {
        errno = EFBIG;
        report_error(report, "mmap");
        return -EIO;
    }
    m.len = static_cast<std::size_t>(st.st_size);
    return m.len < imglib::HEADER_SIZE ? 0 : map_whole(m, use, report);
}

namespace {

// Which magic number an image must carry to pass its check.
enum class magic_rule { any, configured };

int check_image(const char* path, imglib::crc_kind kind, magic_rule magic)
{
    mapped_file m;
    int ret = map_image(path, m, -EIO, map_use::all_data);
    if (ret < 0)
        return ret;
    if (m.data == nullptr)
        return 1;  // shorter than a header
    if (magic == magic_rule::configured &&
        imglib::load_be32(m.data + imglib::OFF_MAGIC) != gu4magic_num)
        return 1;
    const uint32_t size = imglib::load_be32(m.data + imglib::OFF_SIZE);
    if (m.len - imglib::HEADER_SIZE != size)
        return 1;
    const uint32_t dcrc = imglib::continue_crc(kind, 0, m.data + imglib::HEADER_SIZE, size);
    if (dcrc != imglib::load_be32(m.data + imglib::OFF_DCRC))
        return 1;
    if (imglib::header_crc(m.data, kind) != imglib::load_be32(m.data + imglib::OFF_HCRC))
        return 1;
    return 0;
}

}  // namespace

int check_file_crc32(const char* path)
{
    // The controller-package build accepts only images of the configured magic number.
    return check_image(path, imglib::crc_kind::image,
                       ac_build ? magic_rule::configured : magic_rule::any);
}

int check_file_crc32_uboot(const char* path)
{
    return check_image(path, imglib::crc_kind::standard, magic_rule::configured);
}

void background_check::check_job::operator()() const
{
    imglib::crc_on_this_thread one;  // the caller copies the data out meanwhile: one core each
    self->result_ = check_file_crc32(self->path_);
}

void background_check::start(const char* path)
{
    result();
    path_ = path;
    job_.emplace(check_job{this});
}

int background_check::result()
{
    if (job_) {
        job_->wait();
        job_.reset();
    }
    return result_;
}

int strtodec(char* text, uint8_t out[4], const char* delims)
{
    std::memset(out, 0, 4);
    int n = 0;
    char* save = nullptr;
    for (char* tok = strtok_r(text, delims, &save); tok && n < 4;
         tok = strtok_r(nullptr, delims, &save))
        out[n++] = static_cast<uint8_t>(strtoul(tok, nullptr, 10));
    return n;
}

int copy_text(char* dst, std::size_t size, const char* src)
{
    std::size_t len = strlen(src);
    if (len >= size)
        return -ENAMETOOLONG;
    std::memcpy(dst, src, len + 1);
    return 0;
}

int parser_filename(const char* path, char* out)
{
    if (path == nullptr || *path == '\0')
        return -EINVAL;
    const char* slash = std::strrchr(path, '/');
    return copy_text(out, FILENAME_SIZE, slash ? slash + 1 : path);
}

}  // namespace fwimg
