// CRCs, image checks and small text helpers of fwimg.
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <sys/stat.h>

#include "build.h"
#include "imglib.h"
#include "side_job.h"

namespace fwimg {

using imglib::crc32;
using imglib::side_job;
using imglib::update_crc32;

// 0 for an intact image, 1 when its length, a CRC or (controller-package build) its magic
// number does not match, -EIO when it cannot be opened, examined or mapped.
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

// A read-only mapping of a whole regular file, released on scope exit.
struct mapped_file {
    int fd = -1;
    const uint8_t* data = nullptr;
    std::size_t len = 0;
    mapped_file() = default;
    mapped_file(const mapped_file&) = delete;
    mapped_file& operator=(const mapped_file&) = delete;
    ~mapped_file();
    // Unmaps and closes without a word; the object is empty again.
    void reset();
    // The same, reporting a failure with a "munmap" or "close" system-error line: 0 or -EIO.
    int release();
};

// Whether the opening and mapping helpers below report their failures on the error stream, or
// leave that to a caller who will try again the reporting way.
enum class map_report { errors, quiet };

// Opens `path` read-only and requires a regular file: leaves the descriptor in `m` (nothing
// mapped yet) and the file's status in `st`. Returns 0, `open_error` when it cannot be opened,
// -EIO when it cannot be examined or is not a regular file; each failure is reported on the
// error stream.
int open_regular(const char* path, mapped_file& m, struct stat& st, int open_error,
                 map_report report = map_report::errors);

// What a mapping is for: the header alone (the data, if used, is copied inside the kernel), or
// reading all of the data, which is then set up at once instead of page by page.
enum class map_use { header, all_data };

// Maps the first `m.len` bytes of the file opened by open_regular (nothing when it is 0).
// Returns 0, or -EIO after an "mmap" system-error line.
int map_whole(mapped_file& m, map_use use, map_report report = map_report::errors);

// Opens and maps `path`. Returns 0, `open_error` when it cannot be opened, -EIO when it is
// not a regular file or cannot be examined or mapped. A file shorter than a header is left
// unmapped (data null, len its size).
int map_image(const char* path, mapped_file& m, int open_error, map_use use,
              map_report report = map_report::errors);

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
