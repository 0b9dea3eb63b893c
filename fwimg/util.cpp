#include "util.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <climits>
#include <sys/stat.h>
#include <unistd.h>

#include "build.h"
#include "pack.h"

namespace fwimg {

input_file::~input_file()
{
    reset();
}

void input_file::reset()
{
    if (fd >= 0)
        close(fd);
    fd = -1;
    len = 0;
}

int input_file::release()
{
    int ret = 0;
    if (fd >= 0 && close(fd) != 0) {
        perror("close");
        ret = -EIO;
    }
    fd = -1;
    len = 0;
    return ret;
}

namespace {

void report_error(open_report report, const char* what)
{
    if (report == open_report::errors)
        perror(what);
}

}  // namespace

int open_regular(const char* path, input_file& f, struct stat& st, int open_error,
                 open_report report)
{
    f.reset();
    // Without blocking: a FIFO or a device must reach the regular-file check below.
    f.fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (f.fd < 0) {
        report_error(report, "open");
        return open_error;
    }
    if (fstat(f.fd, &st) != 0) {
        report_error(report, "fstat");
        return -EIO;
    }
    if (!S_ISREG(st.st_mode)) {
        if (report == open_report::errors)
            fprintf(stderr, "%s is not a file\n", path);
        return -EIO;
    }
    f.len = static_cast<uint64_t>(st.st_size);
    return 0;
}

int open_image(const char* path, input_file& f, uint8_t hdr[imglib::HEADER_SIZE], int open_error,
               open_report report)
{
    struct stat st;
    int ret = open_regular(path, f, st, open_error, report);
    if (ret < 0)
        return ret;
    if (f.len < imglib::HEADER_SIZE) {
        if (report == open_report::errors)
            fprintf(stderr, "%s is too short for an image\n", path);
        return -EIO;
    }
    ret = imglib::read_exact(f.fd, hdr, imglib::HEADER_SIZE, 0);
    if (ret < 0) {
        if (report == open_report::errors)
            report_io(ret, true);
        return -EIO;
    }
    return 0;
}

int crc_of_file(imglib::crc_kind kind, int fd, off_t offset, uint64_t len, uint32_t& crc)
{
    uint32_t reg = 0;
    int ret = read_pieces(fd, offset, len, [kind, &reg](const uint8_t* p, std::size_t n) {
        reg = imglib::continue_crc(kind, reg, p, n);
        return 0;
    });
    crc = reg;
    return ret;
}

int copy_data(int in, off_t offset, int out, uint64_t len, bool& read_failed)
{
    read_failed = false;
    while (len > 0) {
        const std::size_t want = len < SSIZE_MAX ? static_cast<std::size_t>(len) : SSIZE_MAX;
        off_t from = offset;
        ssize_t n = copy_file_range(in, &from, out, nullptr, want, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;  // not between these two files, or a failure: the buffered way tells which
        offset += n;
        len -= static_cast<uint64_t>(n);
    }
    int wret = 0;
    int ret = read_pieces(in, offset, len, [out, &wret](const uint8_t* p, std::size_t n) {
        return wret = imglib::write_all(out, p, n);
    });
    read_failed = ret < 0 && wret == 0;
    return ret;
}

void report_io(int err, bool read_failed)
{
    fprintf(stderr, "%s: %s\n", read_failed ? "read fail" : "write fail", strerror(-err));
}

namespace {

// Which magic number an image must carry to pass its check.
enum class magic_rule { any, configured };

int check_image(const char* path, imglib::crc_kind kind, magic_rule magic)
{
    input_file f;
    struct stat st;
    int ret = open_regular(path, f, st, -EIO);
    if (ret < 0)
        return ret;
    uint8_t hdr[imglib::HEADER_SIZE];
    if (f.len < imglib::HEADER_SIZE)
        return 1;  // shorter than a header
    uint32_t dcrc = 0;
    ret = imglib::read_exact(f.fd, hdr, sizeof hdr, 0);
    if (ret == 0) {
        if (magic == magic_rule::configured &&
            imglib::load_be32(hdr + imglib::OFF_MAGIC) != gu4magic_num)
            return 1;
        const uint32_t size = imglib::load_be32(hdr + imglib::OFF_SIZE);
        if (f.len - imglib::HEADER_SIZE != size)
            return 1;
        ret = crc_of_file(kind, f.fd, imglib::HEADER_SIZE, size, dcrc);
    }
    if (ret < 0) {
        report_io(ret, true);  // among others an image that became shorter meanwhile
        return -EIO;
    }
    if (dcrc != imglib::load_be32(hdr + imglib::OFF_DCRC))
        return 1;
    if (imglib::header_crc(hdr, kind) != imglib::load_be32(hdr + imglib::OFF_HCRC))
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
