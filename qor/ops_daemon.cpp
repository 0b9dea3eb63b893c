// AC daemon commands: mem, nodc, exit, kill.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>

#include "ops.h"
#include "status_escape.h"

namespace {

// Where the AC keeps its process id.
constexpr const char AC_PID_FILE[] = "/var/run/ac.pid";
// The process list that `kill` searches, and the marks of the AC's line in it.
constexpr const char PS_COMMAND[] = "ps x";
constexpr const char *AC_PROCESS_MARKS[] = {"/ac ", " ac ", "\tac "};

// ---- memory records ----------------------------------------------------------------------

constexpr size_t MEM_NAME_MAX = 63;
constexpr size_t MEM_LINE_MAX = 255;  // longer lines are taken in pieces of this size

struct mem_record {
    char name[MEM_NAME_MAX + 1];
    uint32_t line;
    uint32_t size;
    int32_t time;
    uint32_t count = 1;
    bool merged = false;
};

// Splits `line` at ':' (empty fields skipped) into a record; false with fewer than four fields.
bool parse_mem_line(char *line, mem_record &rec) {
    const char *fields[4];
    int n = 0;
    char *save = nullptr;
    for (char *tok = strtok_r(line, ":", &save); tok && n < 4; tok = strtok_r(nullptr, ":", &save))
        fields[n++] = tok;
    if (n < 4) return false;
    snprintf(rec.name, sizeof rec.name, "%s", fields[0]);
    rec.line = static_cast<uint32_t>(decimal_value(fields[1]));
    rec.size = static_cast<uint32_t>(decimal_value(fields[2]));
    rec.time = decimal_value(fields[3]);
    return true;
}

// The C library's text of a record time (it ends with a newline).
const char *time_text(int32_t t) {
    time_t when = t;
    const char *text = ctime(&when);
    return text ? text : "?\n";
}

// Folds every later record with the same name and line into the first one: sizes add up,
// counts grow, the latest time stays. Merged records are marked, not removed.
void merge_records(std::vector<mem_record> &records) {
    std::unordered_map<std::string, size_t> first;  // "line:name" -> index of first record
    for (size_t i = 0; i < records.size(); ++i) {
        mem_record &r = records[i];
        std::string key = std::to_string(r.line) + ':' + r.name;
        auto [it, inserted] = first.emplace(std::move(key), i);
        if (inserted) continue;
        mem_record &head = records[it->second];
        head.size += r.size;
        head.count++;
        if (r.time > head.time) head.time = r.time;
        r.merged = true;
    }
}

struct file_closer {
    void operator()(FILE *f) const { fclose(f); }
};

// ---- the memory record file ------------------------------------------------------------

// The most of the memory record file that is read; the rest is left unread.
constexpr size_t MEM_FILE_MAX = 64u << 20;

// Why a memory record file the AC named stays where it is.
enum keep_reason { KEEP_NOT_REGULAR, KEEP_REPLACED, KEEP_LINKS, KEEP_AC_USER_UNKNOWN, KEEP_OWNER };
constexpr const char *KEEP_TEXTS[] = {
    "not a regular file",
    "not the file that was read",
    "it has more than one link",
    "the AC's user is unknown",
    "not owned by the AC's user",
};

void warn_kept(const char *path, keep_reason why) {
    fprintf(stderr, "WARNING: memory record file '%s' left in place: %s.\n",
            text_form(path).c_str(), KEEP_TEXTS[why]);
}

// Removes the memory record file `path` when it is a regular file with a single link whose
// owner is the user that owns the AC's end of `sock`, and (with `was_read`) still the file
// that was read; anything else named there stays, with a warning. A path that names
// nothing is left alone silently. The AC writes the file for this request: a file of
// anyone else (a program listening on the AC's port while the AC is down may name any)
// is not the AC's to have removed.
void remove_mem_file(const char *path, int sock, const struct stat *was_read) {
    // The entry is checked and removed through its directory, opened once, so that both
    // steps see the same directory whatever happens to the path's other components.
    if (!*path) return;
    const char *slash = strrchr(path, '/');
    std::string dir = !slash ? "." : slash == path ? "/" : std::string(path, slash);
    const char *base = slash ? slash + 1 : path;
    int dfd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd < 0) return;
    struct stat now;
    if (fstatat(dfd, *base ? base : ".", &now, AT_SYMLINK_NOFOLLOW) != 0) {
        close(dfd);
        return;  // nothing there (any more)
    }
    keep_reason why;
    uid_t ac_uid;
    if (!*base || !S_ISREG(now.st_mode))
        why = KEEP_NOT_REGULAR;
    else if (was_read && (now.st_dev != was_read->st_dev || now.st_ino != was_read->st_ino))
        why = KEEP_REPLACED;
    else if (now.st_nlink != 1)
        why = KEEP_LINKS;
    else if (!ac_peer_uid(sock, ac_uid))
        why = KEEP_AC_USER_UNKNOWN;
    else if (now.st_uid != ac_uid)
        why = KEEP_OWNER;
    else {
        unlinkat(dfd, base, 0);
        close(dfd);
        return;
    }
    close(dfd);
    warn_kept(path, why);
}

// The memory record file the AC named, opened only if it is a regular file reached without
// a final symbolic link (opening never blocks, whatever the path names).
struct mem_file {
    int fd = -1;
    struct stat st {};
    size_t read_total = 0;  // bytes read so far, at most MEM_FILE_MAX
    char buf[4096];
    size_t head = 0, tail = 0;

    bool open_regular(const char *path) {
        fd = open(path, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) return false;
        if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) return true;
        close_file();
        return false;
    }

    void close_file() {
        if (fd >= 0) close(fd);
        fd = -1;
    }

    ~mem_file() { close_file(); }

    // Like fgets: up to cap - 1 bytes, ending after a newline; false at the end of the file
    // (or of the part that is read) with nothing taken.
    bool next_line(char *out, size_t cap) {
        size_t n = 0;
        while (n + 1 < cap) {
            if (head == tail && !fill()) break;
            char ch = buf[head++];
            out[n++] = ch;
            if (ch == '\n') break;
        }
        out[n] = '\0';
        return n > 0;
    }

    // Removes the file that was read (see remove_mem_file).
    void remove(const char *path, int sock) const { remove_mem_file(path, sock, &st); }

private:
    bool fill() {
        if (read_total >= MEM_FILE_MAX) return false;
        size_t want = std::min(sizeof buf, MEM_FILE_MAX - read_total);
        ssize_t n;
        do {
            n = read(fd, buf, want);
        } while (n < 0 && errno == EINTR);
        if (n <= 0) return false;
        read_total += static_cast<size_t>(n);
        head = 0;
        tail = static_cast<size_t>(n);
        return true;
    }
};

// ---- processes -------------------------------------------------------------------------

// A process id as a pid file or a process line holds it: decimal digits only, 1 to INT_MAX.
bool parse_pid(std::string_view digits, pid_t &pid) {
    if (digits.empty() || digits.size() > 10) return false;
    long long v = 0;
    for (char ch : digits) {
        if (ch < '0' || ch > '9') return false;
        v = v * 10 + (ch - '0');
    }
    if (v < 1 || v > INT_MAX) return false;
    pid = static_cast<pid_t>(v);
    return true;
}

// The process id in the AC's pid file: one number, blanks and line ends around it allowed.
bool read_pid_file(const char *path, pid_t &pid) {
    std::unique_ptr<FILE, file_closer> f(fopen(path, "r"));
    if (!f) return false;
    char buf[64];
    size_t n = fread(buf, 1, sizeof buf, f.get());
    if (n == sizeof buf || ferror(f.get())) return false;  // no pid file is this long
    std::string_view text(buf, n);
    size_t start = text.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos) return false;
    size_t end = text.find_last_not_of(" \t\r\n");
    return parse_pid(text.substr(start, end - start + 1), pid);
}

// Exit status of a finished child as a shell reports it.
int shell_status(int wait_status) {
    if (wait_status == -1) return -1;
    if (WIFEXITED(wait_status)) return WEXITSTATUS(wait_status);
    if (WIFSIGNALED(wait_status)) return 128 + WTERMSIG(wait_status);
    return wait_status;
}

// Runs the fixed process-list command and keeps all of its output. Returns the command's
// status (0 success; -1 when it could not be started).
int read_process_list(std::string &out) {
    FILE *p = popen(PS_COMMAND, "r");
    if (!p) return -1;
    char buf[4096];
    size_t n;
    try {
        while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    } catch (const std::bad_alloc &) {
        pclose(p);
        return -1;
    }
    return shell_status(pclose(p));
}

// The process id of the first line of `list` that names the AC's program, or 0.
pid_t find_ac_process(const std::string &list) {
    size_t pos = 0;
    while (pos < list.size()) {
        size_t end = list.find('\n', pos);
        if (end == std::string::npos) end = list.size();
        std::string_view line(list.data() + pos, end - pos);
        pos = end + 1;
        bool marked = false;
        for (const char *mark : AC_PROCESS_MARKS)
            if (line.find(mark) != std::string_view::npos) marked = true;
        if (!marked) continue;
        size_t d = line.find_first_of("0123456789");
        if (d == std::string_view::npos) continue;  // no id on it: not a process line
        size_t e = line.find_first_not_of("0123456789", d);
        pid_t pid;
        if (parse_pid(line.substr(d, e == std::string_view::npos ? e : e - d), pid)) return pid;
    }
    return 0;
}

}  // namespace

// ---- requests --------------------------------------------------------------------------

int request_mem_info(int sock, std::string &path, bool *present) {
    wire_buf req;
    req.u8(REQ_MEM_INFO);
    if (send_request(sock, req)) return 1;
    reply_reader in(sock);
    return recv_text16(in, path, present);
}

int request_no_discovery(int sock, uint32_t value) {
    wire_buf req;
    req.u8(REQ_NO_DISCOVERY);
    req.u32(value);
    return send_request(sock, req);
}

// ---- handlers --------------------------------------------------------------------------

int cmd_mem(const option_arg *args, int count) {
    bool all = false;
    for (int i = 0; i < count; ++i) {
        if (option_refused(args[i])) return 1;
        all = true;  // `all` is its only option
    }
    std::string path;
    bool have_path = false;
    if (request_mem_info(ac_sock, path, &have_path)) return 1;

    // The AC wrote the file for this request; once read it is removed (remove_mem_file says
    // when). A path that names anything but a regular file (a pipe, a device, a directory, a
    // symbolic link) is neither read nor removed.
    mem_file f;
    if (!have_path || !f.open_regular(path.c_str())) {
        if (have_path) remove_mem_file(path.c_str(), ac_sock, nullptr);
        printf("Total %u bytes, %u entries\n", 0u, 0u);
        return 0;
    }
    std::vector<mem_record> records;
    char line[MEM_LINE_MAX + 1];
    while (f.next_line(line, sizeof line)) {
        mem_record rec;
        if (!parse_mem_line(line, rec)) continue;
        try {
            records.push_back(rec);
        } catch (const std::bad_alloc &) {
            fprintf(stderr, "ERROR: Out of memory.\n");
            f.remove(path.c_str(), ac_sock);
            return 1;
        }
    }
    f.close_file();
    f.remove(path.c_str(), ac_sock);

    // The total counts every record as read, whether or not it is printed on its own.
    uint32_t total = 0;
    for (const mem_record &r : records) total += r.size;
    uint32_t entries = static_cast<uint32_t>(records.size());

    if (all) {
        for (const mem_record &r : records)
            printf("%s:%u | size %u | time %s", r.name, r.line, r.size, time_text(r.time));
    } else {
        try {
            merge_records(records);
        } catch (const std::bad_alloc &) {
            fprintf(stderr, "ERROR: Out of memory.\n");
            return 1;
        }
        for (const mem_record &r : records) {
            if (r.merged) continue;
            printf("%s:%u | size %u | count %u | time %s", r.name, r.line, r.size, r.count,
                   time_text(r.time));
        }
    }
    printf("Total %u bytes, %u entries\n", total, entries);
    return 0;
}

int cmd_nodc(const option_arg *, int) { return request_no_discovery(ac_sock, 0); }

// Ends the AC politely: SIGTERM to the process its pid file names. The pid file is read
// here and the signal sent directly, so nothing in the file can reach a shell.
int cmd_exit(const option_arg *args, int count) {
    for (int i = 0; i < count; ++i)
        if (option_refused(args[i])) return 1;
    pid_t pid;
    if (!read_pid_file(AC_PID_FILE, pid)) return 1;
    return kill(pid, SIGTERM) == 0 ? 0 : 1;
}

// Ends the AC by force: SIGKILL to the first process of the process list whose line
// names the AC's program. The list is read through a pipe; no file is written.
int cmd_kill(const option_arg *args, int count) {
    for (int i = 0; i < count; ++i)
        if (option_refused(args[i])) return 1;
    std::string list;
    int status = read_process_list(list);
    if (status != 0) {
        fprintf(stderr, "ERROR: execute '%s' error=%d\n", PS_COMMAND, status);
        return 1;
    }
    pid_t pid = find_ac_process(list);
    if (pid == 0) return 0;  // the AC is not running
    if (kill(pid, SIGKILL) != 0) {
        // What the shell's kill would report: exit status 1.
        fprintf(stderr, "ERROR: execute 'kill -9 %d' error=%d\n", static_cast<int>(pid), 1);
        return 1;
    }
    return 0;
}
