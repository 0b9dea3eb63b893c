// CRCs, image checks and small text helpers of fwimg.
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <sys/stat.h>
#include <thread>
#include <utility>

#include "build.h"
#include "imglib.h"

namespace fwimg {

using imglib::crc32;
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

// Opens `path` read-only and requires a regular file: leaves the descriptor in `m` (nothing
// mapped yet) and the file's status in `st`. Returns 0, `open_error` when it cannot be opened,
// -EIO when it cannot be examined or is not a regular file; each failure is reported on the
// error stream.
int open_regular(const char* path, mapped_file& m, struct stat& st, int open_error);

// What a mapping is for: the header alone (the data, if used, is copied inside the kernel), or
// reading all of the data, which is then set up at once instead of page by page.
enum class map_use { header, all_data };

// Maps the first `m.len` bytes of the file opened by open_regular (nothing when it is 0).
// Returns 0, or -EIO after an "mmap" system-error line.
int map_whole(mapped_file& m, map_use use);

// Opens and maps `path`. Returns 0, `open_error` when it cannot be opened, -EIO when it is
// not a regular file or cannot be examined or mapped. A file shorter than a header is left
// unmapped (data null, len its size).
int map_image(const char* path, mapped_file& m, int open_error, map_use use);

// An image check (check_file_crc32) that runs on a second thread while the options are still
// being walked and the data is copied out; result() waits for it. Where no thread can be had,
// the check runs in start(). Messages of the check go to the error stream as it meets them.
class background_check {
public:
    background_check() = default;
    background_check(const background_check&) = delete;
    background_check& operator=(const background_check&) = delete;
    ~background_check() { result(); }

    // Starts checking `path`; a check still running is waited for first.
    void start(const char* path);
    bool pending() const { return pending_; }
    // Waits for the check and takes its value (check_file_crc32's); 0 when none is pending.
    int result();

private:
    char path_[PATH_SIZE] = "";
    int result_ = 0;
    bool pending_ = false;
    std::thread thread_;
};

// Runs `job` on a second thread while the caller goes on; wait() returns once it has run. Where
// no thread can be had, the job runs in wait() instead.
template <class Job>
class side_job {
public:
    explicit side_job(Job job) : job_(std::move(job))
    {
        try {
            thread_ = std::thread([this] { job_(); });
        } catch (const std::exception&) {
            // no second thread: wait() runs the job
        }
    }
    side_job(const side_job&) = delete;
    side_job& operator=(const side_job&) = delete;
    ~side_job() { wait(); }

    void wait()
    {
        if (thread_.joinable())
            thread_.join();
        else if (!done_)
            job_();
        done_ = true;
    }

private:
    Job job_;
    std::thread thread_;
    bool done_ = false;
};

}  // namespace fwimg
