/* Replaces the C library's ways of starting a process (and a shell) in the test program:
 * each call is counted and fails, so a test can show that code under test starts none. */
#include <errno.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include "spawn_hook.h"

int spawn_calls = 0;

static int refuse(void) {
    ++spawn_calls;
    errno = ENOSYS;
    return -1;
}

int system(const char *command) { (void)command; return refuse(); }
FILE *popen(const char *command, const char *mode) { (void)command; (void)mode; refuse(); return NULL; }
pid_t fork(void) { return refuse(); }
pid_t vfork(void) { return refuse(); }
int execve(const char *path, char *const argv[], char *const envp[]) {
    (void)path; (void)argv; (void)envp;
    return refuse();
}
int execv(const char *path, char *const argv[]) { (void)path; (void)argv; return refuse(); }
int execvp(const char *file, char *const argv[]) { (void)file; (void)argv; return refuse(); }
int posix_spawn(pid_t *pid, const char *path, const posix_spawn_file_actions_t *actions,
                const posix_spawnattr_t *attr, char *const argv[], char *const envp[]) {
    (void)pid; (void)path; (void)actions; (void)attr; (void)argv; (void)envp;
    return refuse(), ENOSYS;
}
int posix_spawnp(pid_t *pid, const char *file, const posix_spawn_file_actions_t *actions,
                 const posix_spawnattr_t *attr, char *const argv[], char *const envp[]) {
    (void)pid; (void)file; (void)actions; (void)attr; (void)argv; (void)envp;
    return refuse(), ENOSYS;
}
