/* Preloaded into tovik_ac by tests to make single system calls fail on demand:
 *   FAILSHIM_SOCKET=N          the N-th socket() call fails with EMFILE
 *   FAILSHIM_SETSOCKOPT=NAME   setsockopt of SO_RCVTIMEO or SO_SNDTIMEO fails with EINVAL
 *   FAILSHIM_HANG_LOOKUP=NAME  gethostbyname(NAME) never returns (until a signal ends it)
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <netdb.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

int socket(int domain, int type, int protocol)
{
    static int calls;
    static int (*real)(int, int, int);
    const char *fail = getenv("FAILSHIM_SOCKET");
    if (fail && ++calls == atoi(fail)) {
        errno = EMFILE;
        return -1;
    }
    if (!real)
        real = (int (*)(int, int, int))dlsym(RTLD_NEXT, "socket");
    return real(domain, type, protocol);
}

int setsockopt(int fd, int level, int name, const void *value, socklen_t len)
{
    static int (*real)(int, int, int, const void *, socklen_t);
    const char *fail = getenv("FAILSHIM_SETSOCKOPT");
    if (fail && level == SOL_SOCKET &&
        ((name == SO_RCVTIMEO && strcmp(fail, "SO_RCVTIMEO") == 0) ||
         (name == SO_SNDTIMEO && strcmp(fail, "SO_SNDTIMEO") == 0))) {
        errno = EINVAL;
        return -1;
    }
    if (!real)
        real = (int (*)(int, int, int, const void *, socklen_t))dlsym(RTLD_NEXT, "setsockopt");
    return real(fd, level, name, value, len);
}

struct hostent *gethostbyname(const char *name)
{
    static struct hostent *(*real)(const char *);
    const char *hang = getenv("FAILSHIM_HANG_LOOKUP");
    if (hang && name && strcmp(hang, name) == 0) {
        for (;;)
            pause();
    }
    if (!real)
        real = (struct hostent * (*)(const char *)) dlsym(RTLD_NEXT, "gethostbyname");
    return real(name);
}
