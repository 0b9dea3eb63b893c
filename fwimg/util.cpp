#include "util.h"

#include <atomic>
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
    mtime = {};
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
    f.mtime = st.st_mtim;
    return 0;
}

int input_unchanged(const input_file& f)
{
    struct stat st;
    if (fstat(f.fd, &st) != 0)
        return -EIO;
    const bool same = static_cast<uint64_t>(st.st_size) == f.len &&
                      st.st_mtim.tv_sec == f.mtime.tv_sec && st.st_mtim.tv_nsec == f.mtime.tv_nsec;
    return same ? 0 : -EIO;
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

namespace {

// At most this much per copy_file_range call: a count that fits ssize_t on every target, and
// the step in which the write-back of an output is started.
constexpr uint64_t KERNEL_COPY_STEP = 16u << 20;

// Outputs are synced before they are put in place. Their write-back is started step by step
// while they are written, beside the rest of the copy, so that the sync at the end finds
// little left to wait for. A hint to the kernel only: a failure here is the sync's to tell.
class write_back {
public:
    // From the current position of `fd` on.
    explicit write_back(int fd) : fd_(fd), from_(lseek(fd, 0, SEEK_CUR)), to_(from_) {}
    // `n` more bytes have been written.
    void wrote(uint64_t n)
    {
        to_ += static_cast<off_t>(n);
        if (from_ >= 0 && static_cast<uint64_t>(to_ - from_) >= KERNEL_COPY_STEP) {
            sync_file_range(fd_, from_, to_ - from_, SYNC_FILE_RANGE_WRITE);
            from_ = to_;
        }
    }

private:
    int fd_;
    off_t from_;  // negative: the position is not known, no hints
    off_t to_;
};

// One copy_file_range call from `offset` of `in` to the current position of `out`, at most
// `len` bytes; `offset` advances by what was copied. Returns that count (0 at the input's end)
// or a negative error number, among them the refusal of file systems that cannot copy between
// these two files.
ssize_t kernel_copy(int in, off_t& offset, int out, uint64_t len)
{
    const auto want = static_cast<std::size_t>(len < KERNEL_COPY_STEP ? len : KERNEL_COPY_STEP);
    // The kernel takes the offset as a 64-bit loff_t, whatever the width of off_t here.
    loff_t from = offset;
    ssize_t n;
    do {
        n = copy_file_range(in, &from, out, nullptr, want, 0);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        return -errno;
    offset += n;
    return n;
}

// Reads `len` bytes of `in` from `offset` and writes them to the current position of `out`,
// each piece taken into the image CRC `crc` (continued) on its way when `crc` is not null.
int read_write(int in, off_t offset, int out, uint64_t len, uint32_t* crc, write_back& wb,
               bool& read_failed)
{
    int wret = 0;
    int ret = read_pieces(in, offset, len, [out, crc, &wb, &wret](const uint8_t* p, std::size_t n) {
        if (crc)
            *crc = update_crc32(p, n, *crc);
        wret = imglib::write_all(out, p, n);
        wb.wrote(n);
        return wret;
    });
    read_failed = ret < 0 && wret == 0;
    return ret;
}

// copy_data with the write-back hints of `wb`.
int copy_data(int in, off_t offset, int out, uint64_t len, write_back& wb, bool& read_failed)
{
    while (len > 0) {
        ssize_t n = kernel_copy(in, offset, out, len);
        if (n <= 0)
            break;  // not between these two files, or a failure: the buffered way tells which
        len -= static_cast<uint64_t>(n);
        wb.wrote(static_cast<uint64_t>(n));
    }
    return read_write(in, offset, out, len, nullptr, wb, read_failed);
}

}  // namespace

int copy_data(int in, off_t offset, int out, uint64_t len, bool& read_failed)
{
    write_back wb(out);
    return copy_data(in, offset, out, len, wb, read_failed);
}

int copy_with_crc(int in, uint64_t len, int out, uint32_t& crc, bool& read_failed)
{
    crc = 0;
    read_failed = false;
    // A first small step tells whether the kernel copies between these two files; where it
    // does not, the data passes through here once, taken into the CRC on its way.
    write_back wb(out);
    off_t offset = 0;
    const ssize_t first = len > 0 ? kernel_copy(in, offset, out, len < PIECE ? len : PIECE) : 0;
    if (first <= 0)
        return read_write(in, 0, out, len, &crc, wb, read_failed);
    wb.wrote(static_cast<uint64_t>(first));

    // The data stays in the kernel: its CRC comes from a second read of the input, on the
    // other thread meanwhile. A failed copy stops that read at its next piece.
    std::atomic<bool> stop{false};
    uint32_t reg = 0;
    int crc_ret = 0;
    side_job crc_job([in, len, &stop, &reg, &crc_ret] {
        imglib::crc_on_this_thread one;  // the copy has the other core
        crc_ret = read_pieces(in, 0, len, [&stop, &reg](const uint8_t* p, std::size_t n) {
            if (stop.load(std::memory_order_relaxed))
                return -ECANCELED;
            reg = update_crc32(p, n, reg);
            return 0;
        });
    });
    int ret = copy_data(in, offset, out, len - static_cast<uint64_t>(first), wb, read_failed);
    if (ret < 0)
        stop.store(true, std::memory_order_relaxed);
    crc_job.wait();
    if (ret < 0)
        return ret;
    if (crc_ret < 0) {
        read_failed = true;  // the input ended early, say
        return crc_ret;
    }
    crc = reg;
    return 0;
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
