// The replies of the requests other than the WTP list, as qor receives them: each command
// handler runs with its socket connected to a peer that has sent the reply.
// Input: the request (first byte), the number of WTPs it names (second byte, 1 to 8), one
// byte of variations, then the AC's reply. The memory report's file holds the bytes after a
// zero byte of the reply part (its path reply is composed here: a fuzzed path could name
// any file, and qor removes the file it has read).
#include <string>
#include <vector>

#include "config.h"
#include "fuzz_util.h"
#include "ops.h"
#include "status.h"

namespace {

const char *const MAC_LISTS[] = {
    "00:11:22:33:44:01",
    "00:11:22:33:44:01,00:11:22:33:44:02",
    "00:11:22:33:44:01,00:11:22:33:44:02,00:11:22:33:44:03",
    "00:11:22:33:44:01,00:11:22:33:44:02,00:11:22:33:44:03,00:11:22:33:44:04",
    "00:11:22:33:44:01,00:11:22:33:44:02,00:11:22:33:44:03,00:11:22:33:44:04,"
    "00:11:22:33:44:05",
    "00:11:22:33:44:01,00:11:22:33:44:02,00:11:22:33:44:03,00:11:22:33:44:04,"
    "00:11:22:33:44:05,00:11:22:33:44:06",
    "00:11:22:33:44:01,00:11:22:33:44:02,00:11:22:33:44:03,00:11:22:33:44:04,"
    "00:11:22:33:44:05,00:11:22:33:44:06,00:11:22:33:44:07",
    "00:11:22:33:44:01,00:11:22:33:44:02,00:11:22:33:44:03,00:11:22:33:44:04,"
    "00:11:22:33:44:05,00:11:22:33:44:06,00:11:22:33:44:07,00:11:22:33:44:08",
};

std::string mem_path;

void remove_mem_file() {
    unlink(mem_path.c_str());
    rmdir(fuzz::scratch_dir().c_str());
}

int run_handler(cmd_handler h, std::initializer_list<option_arg> args) {
    std::vector<option_arg> v(args);
    return h(v.data(), static_cast<int>(v.size()));
}

// REQ_MEM_INFO: the path reply is made from the variation bits, the file from `content`.
void run_mem(uint8_t vary, const uint8_t *content, size_t len) {
    std::string reply;
    switch ((vary >> 1) & 3) {
    case 0: reply.assign("\0\0", 2); break;  // no file
    case 1:
    case 2: {
        size_t n = mem_path.size();
        reply.push_back(static_cast<char>(n >> 8));
        reply.push_back(static_cast<char>(n));
        // Variation 2 cuts the path short: the stream ends inside it.
        reply.append(mem_path, 0, ((vary >> 1) & 3) == 1 ? n : n / 2);
        break;
    }
    case 3: reply.assign("\0", 1); break;  // the stream ends inside the length
    }
    fuzz::write_file(mem_path, content, len);
    fuzz::reply_peer peer(reinterpret_cast<const uint8_t *>(reply.data()), reply.size());
    ac_sock = peer.fd();
    if (vary & 1)
        run_handler(cmd_mem, {{OPT_ALL, nullptr}});
    else
        run_handler(cmd_mem, {});
    unlink(mem_path.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::quiet_stdout();
    mem_path = fuzz::scratch_dir() + "/mem.txt";
    atexit(remove_mem_file);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 3) return 0;
    const uint8_t request = data[0];
    const char *macs = MAC_LISTS[data[1] % 8];
    const uint8_t vary = data[2];
    const uint8_t *reply = data + 3;
    size_t len = size - 3;

    if (request % 12 == 11) {
        const uint8_t *zero = static_cast<const uint8_t *>(memchr(reply, 0, len));
        const uint8_t *content = zero ? zero + 1 : reply + len;
        run_mem(vary, content, static_cast<size_t>(reply + len - content));
        return 0;
    }

    fuzz::reply_peer peer(reply, len);
    ac_sock = peer.fd();
    const option_arg mac{OPT_MAC, macs};
    switch (request % 12) {
    case 0: run_handler(cmd_upg, {mac}); break;
    case 1: run_handler(cmd_rst, {mac}); break;
    case 2: run_handler(cmd_scan, {mac, {OPT_RADIO, "5g"}}); break;
    case 3:
        run_handler(cmd_kick, {mac, {OPT_RADIO, "2g"}, {OPT_WLAN, "1"},
                               {OPT_CLIENT, "00:aa:bb:cc:dd:01,00:aa:bb:cc:dd:02"}});
        break;
    case 4: run_handler(cmd_cac, {mac, {OPT_IP, "192.168.1.2"}}); break;
    case 5: run_handler(cmd_cfg, {mac, {OPT_ADD, nullptr}}); break;
    case 6: run_handler(cmd_cfg, {mac, {OPT_DEL, nullptr}}); break;
    case 7: {
        // REQ_CONFIG: per-WTP results, each with its message.
        std::vector<mac_addr> list;
        parse_mac_list(macs, list);
        std::vector<tlv_list> lists(1);
        tlv_add_str(lists[0], 1, 0, nullptr, "name");
        request_config(peer.fd(), list, (vary & 1) ? WTP_TYPE_SWITCH : WTP_TYPE_AP, 0, false,
                       lists);
        break;
    }
    case 8: run_handler(cmd_sh, {mac, {OPT_CMD, "uptime"}}); break;
    case 9: run_handler(cmd_fwlist, {mac}); break;
    case 10:
        if (vary & 1)
            run_handler(cmd_bgscan, {{OPT_RADIO, "5g1"}, {OPT_ENABLE, "1"}});
        else if (vary & 2)
            run_handler(cmd_ac, {{OPT_JSON, nullptr}});
        else
            run_handler(cmd_ac, {});
        break;
    }
    return 0;
}
