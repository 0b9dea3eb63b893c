// CRCs, image checks and small text helpers of fwimg.
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <sys/stat.h>

#include "build.h"
#include "imglib.h"
#include "out_file.h"
#include "side_job.h"

namespace fwimg {

using imglib::crc32;
using imglib::side_job;
using imglib::update_crc32;

// 0 for an intact image, 1 when its length, a CRC or (controller-package build) its magic
// number does not match, -EIO when it cannot be opened, examined or read.
int check_file_crc32(const char* path);
// The same for a boot-loader image: configured magic number first, standard CRC-32 values.
int check_file_crc32_uboot(const char* path);

// Splits `text` at any of `delims` into up to four unsigned decimal components, each cut to
// 8 bits; missing components are 0. Overwrites the delimiters. Returns the count stored.
int strtodec(char* text, uint8_t out[4], const char* delims);

// Copies the last path component of `path` into `out` (FILENAME_SIZE bytes). Returns 0,
// -EINVAL for an empty path, -ENAMETOOLONG when it does not fit.
int parser_filename(const char* path, char* out);

// Copies `src` into the `size`-byte buffer `dst`; -ENAMETOOLONG (dst untouched) if it does not fit.
int copy_text(char* dst, std::size_t size, const char* src);

// A regular file opened read-only, closed on scope exit. Its data is read, never mapped: a
// file that becomes shorter while it is read gives a short read (an I/O error), not a signal.
struct input_file {
    int fd = -1;
    uint64_t len = 0;  // its length when opened
    input_file() = default;
    input_file(const input_file&) = delete;
    input_file& operator=(const input_file&) = delete;
    ~input_file();
    // Closes without a word; the object is empty again.
    void reset();
    // The same, reporting a failure with a "close" system-error line: 0 or -EIO.
    int release();
};

// Whether the opening helpers below report their failures on the error stream, or leave that
// to a caller who will try again the reporting way.
enum class open_report { errors, quiet };

// Opens `path` read-only and requires a regular file: leaves the descriptor and length in `f`
// and the file's status in `st`. Returns 0, `open_error` when it cannot be opened, -EIO when
// it cannot be examined or is not a regular file; each failure is reported on the error stream.
int open_regular(const char* path, input_file& f, struct stat& st, int open_error,
                 open_report report = open_report::errors);

// Opens the image at `path` and reads its header into `hdr`. Returns 0, `open_error` when it
// cannot be opened, -EIO when it is not a regular file, cannot be examined or read, or is
// shorter than a header.
int open_image(const char* path, input_file& f, uint8_t hdr[imglib::HEADER_SIZE], int open_error,
               open_report report = open_report::errors);

// Pieces of this size carry data between files: large enough for few system calls, small
// enough to stay in the cache.
inline constexpr std::size_t PIECE = 1024 * 1024;

// Reads `len` bytes of `fd` from `offset` in pieces and hands each to `take` (bytes, count),
// which returns 0 to go on or a negative error number to stop. Returns 0, -ENOMEM, read_exact's
// error (-EIO when the file ends first) or take's.
template <class Take>
int read_pieces(int fd, off_t offset, uint64_t len, Take take)
{
    const std::size_t size = len < PIECE ? static_cast<std::size_t>(len) : PIECE;
    std::unique_ptr<uint8_t[]> buf(new (std::nothrow) uint8_t[size ? size : 1]);
    if (!buf)
        return -ENOMEM;
    while (len > 0) {
        const std::size_t n = len < size ? static_cast<std::size_t>(len) : size;
        int ret = imglib::read_exact(fd, buf.get(), n, offset);
        if (ret < 0)
            return ret;
        ret = take(static_cast<const uint8_t*>(buf.get()), n);
        if (ret < 0)
            return ret;
        offset += static_cast<off_t>(n);
        len -= n;
    }
    return 0;
}

// The CRC of that kind of `len` bytes of `fd` from `offset`, into `crc`: 0 or read_pieces's error.
int crc_of_file(imglib::crc_kind kind, int fd, off_t offset, uint64_t len, uint32_t& crc);

// Copies `len` bytes of `in` from `offset` to the current position of `out`, inside the kernel
// where the file systems allow it. Returns 0 or a negative error number; `read_failed` tells
// whether reading (the input ended early, say) or writing failed.
int copy_data(int in, off_t offset, int out, uint64_t len, bool& read_failed);

// Prints "read fail: " or "write fail: " with the text of the error number `err` (negative).
void report_io(int err, bool read_failed);

// An image check (check_file_crc32) that runs on a second thread while the options are still
// being walked and the data is copied out; result() waits for it. Where no thread can be had,
// the check runs in result(). Messages of the check go to the error stream as it meets them.
class background_check {
public:
    background_check() = default;
    background_check(const background_check&) = delete;
    background_check& operator=(const background_check&) = delete;
    ~background_check() { result(); }

    // Starts checking `path`, which stays as it is until result(); a check still running is
    // waited for first.
    void start(const char* path);
    bool pending() const { return job_.has_value(); }
    // Waits for the check and takes its value (check_file_crc32's); 0 when none is pending.
    int result();

private:
    struct check_job {
        background_check* self;
        void operator()() const;
    };
    const char* path_ = nullptr;
    int result_ = 0;
    std::optional<side_job<check_job>> job_;
};

}  // namespace fwimg
