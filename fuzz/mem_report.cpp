// The memory report file that `qor mem` reads, merges and prints: the AC names the file in
// its reply (composed here, naming the file this target writes) and qor reads it.
// Input: one byte (bit 0: every record on its own, as with --all), then the file.
#include <string>
#include <vector>

#include "fuzz_util.h"
#include "ops.h"

namespace {

std::string mem_path;
std::string reply;

void remove_mem_file() {
    unlink(mem_path.c_str());
    rmdir(fuzz::scratch_dir().c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::quiet_stdout();
    mem_path = fuzz::scratch_dir() + "/mem.txt";
    atexit(remove_mem_file);
    reply.push_back(static_cast<char>(mem_path.size() >> 8));
    reply.push_back(static_cast<char>(mem_path.size()));
    reply += mem_path;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1) return 0;
    fuzz::write_file(mem_path, data + 1, size - 1);
    fuzz::reply_peer peer(reinterpret_cast<const uint8_t *>(reply.data()), reply.size());
    ac_sock = peer.fd();
    option_arg all{OPT_ALL, nullptr};
    cmd_mem(&all, (data[0] & 1) ? 1 : 0);
    unlink(mem_path.c_str());
    return 0;
}
