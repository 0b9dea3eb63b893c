// lattermark show_info or decode (LATTERMARK_COMMAND, set per target): the program's own
// command table and handler, run on a fuzzed file.
// Input: the file.
#include "fuzz_util.h"

// The program itself, its entry point renamed so that the fuzzer's takes its place.
#define main lattermark_main
#include "../lattermark/lattermark.cpp"
#undef main

namespace {
fuzz::memory_file *input;
}

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::quiet_stdout();
    input = new fuzz::memory_file;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    input->set(data, size);
    char prog[] = "lattermark", word[] = LATTERMARK_COMMAND;
    char *argv[] = {prog, word, const_cast<char *>(input->path()), nullptr};
    run(3, argv);
    return 0;
}
