// ac_sim: requests that concern the daemon itself (memory report, discovery off).
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
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

// Writes `text` to `f` and closes it; false (errno set) if either fails.
bool write_and_close(FILE *f, const std::string &text) {
    bool ok = fwrite(text.data(), 1, text.size(), f) == text.size();
    return fclose(f) == 0 && ok;
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
            FILE *f = fopen(path.c_str(), "we");
            if (!f || !write_and_close(f, recs_it->second))
                s.c.error("cannot write " + path + ": " + strerror(errno));
        }
    } else {
        const char *dir = getenv("TMPDIR");
        std::string tmpl = std::string(dir && *dir ? dir : "/tmp") + "/ac_sim.mem.XXXXXX";
        int fd = mkostemp(tmpl.data(), O_CLOEXEC);
        FILE *f = fd < 0 ? nullptr : fdopen(fd, "w");
        std::string text = recs_it != s.cfg.globals.end() ? recs_it->second : default_records(s.cfg);
        if (!f || !write_and_close(f, text)) {
            s.c.error("cannot write " + tmpl + ": " + strerror(errno));
            if (fd >= 0 && !f) close(fd);
        }
        if (fd >= 0) path = tmpl;  // named even when cut short, so qor removes it
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
