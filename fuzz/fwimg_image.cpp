// fwimg's firmware image checks and header printer: the CRC and length check of -d, then
// the header print of an image taken apart without an output directory. Built twice, for
// fwimg and for the controller-package build (which checks the magic number as well).
// Input: one byte (bit 0: headers only, as -s; bit 1: quiet, as -i; bit 2: the configured
// magic number is the image's own), then the image file.
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
    fwimg::header_reset();
    fwimg::extractheader_only = choice & 1;
    fwimg::ignore_flag = (choice & 2) ? 0 : 1;
    fwimg::gu4magic_num = fwimg::DEFAULT_MAGIC;
    if ((choice & 4) && size >= 5) fwimg::gu4magic_num = imglib::load_be32(data + 1);
    if (fwimg::extractheader_only == 1 || fwimg::check_file_crc32(image->path()) == 0)
        fwimg::decapsulate(image->path(), nullptr);
    return 0;
}
