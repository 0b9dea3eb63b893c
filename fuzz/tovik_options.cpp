// tovik_ac's option walk (checkoption) over a fuzzed command line, then the request the
// walk's configuration composes, enciphered as it is sent.
// Input: the arguments after the program name, separated by zero bytes. The server address
// is always 127.0.0.1 (a name would be looked up), the debug level 0 (records would grow the
// log files in /tmp), and help and version are dropped (they end the process).
#include <string>
#include <vector>

#include "fuzz_util.h"
#include "tovik_ac.h"
#include "tovik_util.h"

namespace {

// The run configuration as the program starts with it.
void reset_config() {
    protocol_flag = PROTO_TCP;
    snprintf(interface, sizeof interface, "%s", "eth0");
    timeout = {10, 0};
    dbg_flag = 0;
    encode_flag = 1;
    add_mac_flag = MODE_REG_AC;
    test_flag = 0;
    for (char *t : {username, email, devmac, uuid, checkcode, cid, ipAddr, macAddr})
        memset(t, 0, TEXT_SIZE);
    memset(extra_text, 0, sizeof extra_text);
    init_config();
}

bool ends_run(const std::string &a) { return a == "-v" || a == "-h" || a == "--help" || a == "?"; }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::quiet_stdout();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::vector<std::string> args{"tovik_ac"};
    const char *p = reinterpret_cast<const char *>(data);
    const char *end = p + size;
    while (p < end && args.size() < 64) {
        const char *z = static_cast<const char *>(memchr(p, 0, static_cast<size_t>(end - p)));
        std::string a(p, z ? z : end);
        p = z ? z + 1 : end;
        if (ends_run(a)) continue;
        const std::string &prev = args.back();
        if (prev == "-sa") a = "127.0.0.1";
        if (prev == "-dbg") a = "0";
        args.push_back(std::move(a));
    }
    std::vector<char *> argv;
    for (std::string &a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    reset_config();
    if (checkoption(static_cast<int>(args.size()), argv.data()) == 0) {
        snprintf(ipAddr, sizeof ipAddr, "%s", "127.0.0.1");
        snprintf(macAddr, sizeof macAddr, "%s", "00:11:22:33:44:55");
        uint8_t packet[PKT_SIZE] = {};
        int length = 0;
        if (ac_pkt_gen(packet, &length) == 0 && packet[6] == 1) encode_buf(packet, &length);
    }
    return 0;
}
