// ac_sim: requests that concern the daemon itself (memory report, discovery off).
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "acsim.h"

namespace acsim {

namespace {

// Records of the simulator's own tables, one per WTP of the fleet, as the AC would list
// its allocations: name:line:size:time.
std::string default_records(const config &cfg) {
    std::string out;
    long now = static_cast<long>(time(nullptr));
    out += "ac_main.c:112:65536:" + std::to_string(now) + "\n";
    for (size_t i = 0; i < cfg.fleet.size(); ++i)
        out += "wtp_table.c:57:2048:" + std::to_string(now) + "\n";
    return out;
}

bool write_all(int fd, const std::string &text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

// Reply: the path of a memory record file written for this request.
//   mem_file PATH, mem_records TEXT: TEXT is written to PATH;
//   mem_file PATH alone: PATH is named as it is (it may be missing);
//   mem_records TEXT alone, or neither: a new file in $TMPDIR (or /tmp) holds TEXT, or
//   a record per fleet WTP when TEXT is not given.
//   mem_file "" (empty): the reply names no file.
bool handle_mem_info(session &s) {
    auto file_it = s.cfg.globals.find("mem_file");
    auto recs_it = s.cfg.globals.find("mem_records");
    std::string path;
    if (file_it != s.cfg.globals.end()) {
        path = file_it->second;
        if (!path.empty() && recs_it != s.cfg.globals.end()) {
            int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
            if (fd < 0 || !write_all(fd, recs_it->second))
                s.c.error("cannot write " + path + ": " + strerror(errno));
            if (fd >= 0) close(fd);
        }
    } else {
        const char *dir = getenv("TMPDIR");
        std::string tmpl = std::string(dir && *dir ? dir : "/tmp") + "/ac_sim.mem.XXXXXX";
        int fd = mkostemp(tmpl.data(), O_CLOEXEC);
        if (fd < 0) {
            s.c.error("cannot create " + tmpl + ": " + strerror(errno));
        } else {
            std::string text = recs_it != s.cfg.globals.end() ? recs_it->second
                                                              : default_records(s.cfg);
            if (!write_all(fd, text)) s.c.error("cannot write " + tmpl + ": " + strerror(errno));
            close(fd);
            path = tmpl;
        }
    }
    if (path.size() > 0xFFFF) path.resize(0xFFFF);
    s.c.note("path=" + path);
    s.c.put_u16(static_cast<uint16_t>(path.size()));
    s.c.put_bytes(path.data(), path.size());
    return true;
}

bool handle_no_discovery(session &s) {
    uint32_t v;
    if (!s.c.u32(v)) return false;
    if (v != 0) s.c.error("no-discovery value " + std::to_string(v) + ", expected 0");
    return true;
}

}  // namespace acsim
