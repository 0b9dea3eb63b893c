// fwimg's boot-loader image check and header printer (-a and -r): the magic number, length
// and CRC-32 checks, then the header print with its check flag.
// Input: one byte (bit 0: headers only, as -s; bit 1: the configured magic number is the
// image's own), then the image file.
#include "fuzz_util.h"
#include "pack.h"
#include "util.h"

namespace {
fuzz::memory_file *image;
}

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::quiet_stdout();
    image = new fuzz::memory_file;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1) return 0;
    const uint8_t choice = data[0];
    image->set(data + 1, size - 1);
    fwimg::extractheader_only = choice & 1;
    fwimg::gu4magic_num = fwimg::DEFAULT_MAGIC;
    if ((choice & 2) && size >= 5) fwimg::gu4magic_num = imglib::load_be32(data + 1);
    if (fwimg::extractheader_only == 0) fwimg::check_file_crc32_uboot(image->path());
    fwimg::decapsulate_uboot(image->path());  // -r prints whatever the check said
    return 0;
}
