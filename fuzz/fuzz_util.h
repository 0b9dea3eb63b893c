// Shared pieces of the fuzz targets: a peer that sends one prepared reply on a socket pair,
// in-memory files reachable by path, and quiet standard output.
#pragma once

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace fuzz {

// Everything the programs print goes nowhere: only the sanitizers' reports matter.
inline void quiet_stdout() {
    if (!freopen("/dev/null", "w", stdout)) abort();
}

// A connected socket pair whose far end has already sent `reply` and then closed its
// sending side, so the near end reads the reply and then the end of the stream. What the
// program sends on the near end is received and dropped with the pair.
class reply_peer {
public:
    reply_peer(const uint8_t *reply, size_t len) {
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fd_) != 0) abort();
        int big = 1 << 20;
        setsockopt(fd_[1], SOL_SOCKET, SO_SNDBUF, &big, sizeof big);
        setsockopt(fd_[0], SOL_SOCKET, SO_RCVBUF, &big, sizeof big);
        size_t done = 0;
        while (done < len) {
            ssize_t n = send(fd_[1], reply + done, len - done, MSG_DONTWAIT | MSG_NOSIGNAL);
            if (n <= 0) abort();  // the targets limit their inputs well below the buffer
            done += static_cast<size_t>(n);
        }
        shutdown(fd_[1], SHUT_WR);
    }
    ~reply_peer() {
        close(fd_[0]);
        close(fd_[1]);
    }
    reply_peer(const reply_peer &) = delete;
    reply_peer &operator=(const reply_peer &) = delete;

    int fd() const { return fd_[0]; }

private:
    int fd_[2];
};

// A file in memory, reachable by the path "/proc/self/fd/N" (an open through that path
// gives a regular file with the current contents).
class memory_file {
public:
    memory_file() {
        fd_ = memfd_create("fuzz-input", MFD_CLOEXEC);
        if (fd_ < 0) abort();
        snprintf(path_, sizeof path_, "/proc/self/fd/%d", fd_);
    }
    ~memory_file() { close(fd_); }
    memory_file(const memory_file &) = delete;
    memory_file &operator=(const memory_file &) = delete;

    // Replaces the contents.
    void set(const uint8_t *data, size_t len) {
        if (ftruncate(fd_, 0) != 0) abort();
        size_t done = 0;
        while (done < len) {
            ssize_t n = pwrite(fd_, data + done, len - done, static_cast<off_t>(done));
            if (n <= 0) abort();
            done += static_cast<size_t>(n);
        }
    }
    const char *path() const { return path_; }

private:
    int fd_;
    char path_[40];
};

// A private directory for files that must have a real name; removed at exit.
inline const std::string &scratch_dir() {
    static std::string dir = [] {
        const char *base = getenv("TMPDIR");
        std::string tmpl = std::string(base && *base ? base : "/tmp") + "/fuzz-XXXXXX";
        if (!mkdtemp(tmpl.data())) abort();
        return tmpl;
    }();
    return dir;
}

// Writes `data` to `path` (created or truncated).
inline void write_file(const std::string &path, const uint8_t *data, size_t len) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) abort();
    size_t done = 0;
    while (done < len) {
        ssize_t n = write(fd, data + done, len - done);
        if (n <= 0) abort();
        done += static_cast<size_t>(n);
    }
    close(fd);
}

// What print() writes to standard output (through stdio or straight to descriptor 1),
// caught in a file in memory instead of going nowhere.
template <class Print>
std::string stdout_of(Print &&print) {
    fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    const int mem = memfd_create("fuzz-stdout", MFD_CLOEXEC);
    if (saved < 0 || mem < 0 || dup2(mem, STDOUT_FILENO) < 0) abort();
    print();
    fflush(stdout);
    if (dup2(saved, STDOUT_FILENO) < 0) abort();
    close(saved);
    std::string out(static_cast<size_t>(lseek(mem, 0, SEEK_END)), '\0');
    if (pread(mem, out.data(), out.size(), 0) != static_cast<ssize_t>(out.size())) abort();
    close(mem);
    return out;
}

}  // namespace fuzz
