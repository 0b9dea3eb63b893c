// An output file written beside its final name and put in place only once it is whole and on
// disk, so that a failure leaves whatever stood at the name as it was and no partial file.
#pragma once

#include <cstddef>
#include <string>
#include <sys/types.h>

namespace imglib {

// Writes all `len` bytes at `p` to `fd`. Returns 0 or a negative error number (-EIO when the
// file takes no more bytes without saying why).
int write_all(int fd, const void* p, std::size_t len);

// Reads exactly `len` bytes at `offset` of `fd` into `p`. Returns 0, a negative error number,
// or -EIO when the file ends first (it has become shorter).
int read_exact(int fd, void* p, std::size_t len, off_t offset);

class out_file {
public:
    out_file() = default;
    out_file(const out_file&) = delete;
    out_file& operator=(const out_file&) = delete;
    // Removes the temporary file unless it has been put in place.
    ~out_file() { discard(); }

    // Creates the temporary file "<name>.XXXXXX" beside `name`, exclusively (a link standing
    // there is not followed), permissions `mode`. Returns 0 or a negative error number.
    int create(const std::string& name, mode_t mode = 0600);
    int fd() const { return fd_; }
    // Writes all bytes at the current position: 0 or a negative error number.
    int write(const void* p, std::size_t len) { return write_all(fd_, p, len); }
    // Flushes the data to disk and closes the file: 0 or a negative error number.
    int finish();
    // Puts the finished file at its name: in place of whatever stands there (a link is
    // replaced, not followed) or, with `replace` false, only where nothing does (-EEXIST
    // otherwise). Returns 0 or a negative error number; on failure the temporary is removed.
    int place(bool replace = true);
    // finish() and place().
    int commit(bool replace = true);
    // Closes and removes the temporary file, if any.
    void discard();

private:
    std::string name_;
    std::string temp_;
    int fd_ = -1;
};

}  // namespace imglib
