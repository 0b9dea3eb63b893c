#include "out_file.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace imglib {

int write_all(int fd, const void* p, std::size_t len)
{
    const char* b = static_cast<const char*>(p);
    while (len > 0) {
        ssize_t n = ::write(fd, b, len);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -errno;
        }
        if (n == 0)
            return -EIO;
        b += n;
        len -= static_cast<std::size_t>(n);
    }
    return 0;
}

int read_exact(int fd, void* p, std::size_t len, off_t offset)
{
    char* b = static_cast<char*>(p);
    while (len > 0) {
        ssize_t n = pread(fd, b, len, offset);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -errno;
        }
        if (n == 0)
            return -EIO;  // the file ends early
        b += n;
        offset += n;
        len -= static_cast<std::size_t>(n);
    }
    return 0;
}

int out_file::create(const std::string& name, mode_t mode)
{
    discard();
    std::string temp = name + ".XXXXXX";
    // mkostemp creates with O_CREAT | O_EXCL: nothing at the temporary name is followed.
    int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return -errno;
    if (mode != 0600 && fchmod(fd, mode) != 0) {
        int err = errno;
        close(fd);
        unlink(temp.c_str());
        return -err;
    }
    name_ = name;
    temp_ = std::move(temp);
    fd_ = fd;
    return 0;
}

int out_file::finish()
{
    if (fd_ < 0)
        return -EBADF;
    int ret = fsync(fd_) == 0 ? 0 : -errno;
    if (close(fd_) != 0 && ret == 0)
        ret = -errno;
    fd_ = -1;
    if (ret < 0)
        discard();
    return ret;
}

int out_file::place(bool replace)
{
    if (temp_.empty())
        return -EBADF;
    int ret = 0;
    if (replace) {
        if (rename(temp_.c_str(), name_.c_str()) != 0)
            ret = -errno;
    } else if (link(temp_.c_str(), name_.c_str()) == 0) {
        unlink(temp_.c_str());  // the file stays under its name
    } else if (errno == EEXIST) {
        ret = -EEXIST;
    } else {
        // A file system without hard links: take the name only while nothing stands there.
        struct stat st;
        if (lstat(name_.c_str(), &st) == 0)
            ret = -EEXIST;
        else if (errno != ENOENT || rename(temp_.c_str(), name_.c_str()) != 0)
            ret = -errno;
    }
    if (ret < 0) {
        discard();
        return ret;
    }
    temp_.clear();
    return 0;
}

int out_file::commit(bool replace)
{
    int ret = finish();
    return ret < 0 ? ret : place(replace);
}

void out_file::discard()
{
    if (fd_ >= 0)
        close(fd_);
    fd_ = -1;
    if (!temp_.empty())
        unlink(temp_.c_str());
    temp_.clear();
}

}  // namespace imglib
