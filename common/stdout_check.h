// Standard output is an output like any other: a program whose results could not all be
// written (full disk, closed pipe) must not end with success. Each program registers the check
// once at start; at exit standard output is flushed and closed, and a failure prints the
// program's message on standard error and turns the exit status into a failure.
#pragma once

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace stdout_check {

inline const char* g_format = nullptr;  // one "%s" for the system's error text
inline int g_status = 1;

inline void at_exit()
{
    errno = 0;
    bool failed = fflush(stdout) != 0 || ferror(stdout);
    int err = errno;
    // A standard output that was closed before the run and never written is no failure.
    if (fclose(stdout) != 0 && errno != EBADF && !failed) {
        failed = true;
        err = errno;
    }
    if (!failed)
        return;
    fprintf(stderr, g_format, strerror(err ? err : EIO));
    _exit(g_status);
}

// Checks standard output at exit; a failure prints `format` (one "%s", the error text) on
// standard error and ends the process with `status`. Returns false when the check could not
// be registered.
inline bool check_at_exit(const char* format, int status)
{
    g_format = format;
    g_status = status;
    return atexit(at_exit) == 0;
}

}  // namespace stdout_check
