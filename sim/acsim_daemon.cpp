// ac_sim: requests that concern the daemon itself (memory report, discovery off).
#include <string>

#include "acsim.h"

namespace acsim {

// Reply: the path of the memory record file, from the global mem_file (none by default).
bool handle_mem_info(session &s) {
    std::string path = global(s.cfg, "mem_file");
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
