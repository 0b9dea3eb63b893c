// The simulators' waits that a stop signal (SIGTERM or SIGINT) ends, however close to the
// wait it arrives.
#pragma once

#include <poll.h>
#include <signal.h>

#include <cerrno>

// poll(), unless `stop` is set: the test and the wait are one step (the stop signals stay
// blocked until ppoll() unblocks them), so a signal that arrives just before the wait still
// ends it. -1 with EINTR when stopped.
inline int poll_unless_stopped(pollfd *fds, nfds_t nfds, int timeout_ms,
                               const volatile sig_atomic_t &stop) {
    sigset_t stops, before;
    sigemptyset(&stops);
    sigaddset(&stops, SIGTERM);
    sigaddset(&stops, SIGINT);
    sigprocmask(SIG_BLOCK, &stops, &before);
    int r;
    if (stop) {
        r = -1;
        errno = EINTR;
    } else {
        timespec ts{timeout_ms / 1000, (timeout_ms % 1000) * 1000000L};
        r = ppoll(fds, nfds, timeout_ms < 0 ? nullptr : &ts, &before);
    }
    const int saved = errno;
    sigprocmask(SIG_SETMASK, &before, nullptr);
    errno = saved;
    return r;
}
