// The configuration-file conversion of `qor cfg`: json-parser, then the walk over the
// parsed file with the key table of the device type, then the items in wire form.
// Input: one byte (bit 0: switch rather than access point; bit 1: the file twice, as two
// files of one run), then the file.
#include <memory>
#include <new>

#include "config.h"
#include "fuzz_util.h"

namespace {

int convert(const uint8_t *data, size_t size, uint8_t dev_type, tlv_list &list) {
    if (size == 0) return 0;  // an empty file is an empty list
    std::unique_ptr<char[]> text(new char[size + 1]);
    memcpy(text.get(), data, size);
    text[size] = '\0';
    return cfg_convert_text("fuzz.json", std::move(text), size, dev_type, list);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1) return 0;
    const uint8_t dev_type = (data[0] & 1) ? WTP_TYPE_SWITCH : WTP_TYPE_AP;
    const int files = (data[0] & 2) ? 2 : 1;
    std::vector<tlv_list> lists(files);
    int rc = 0;
    for (int i = 0; i < files && rc == 0; ++i) rc = convert(data + 1, size - 1, dev_type, lists[i]);
    if (rc == 0) {
        wire_buf out;
        for (const tlv_list &l : lists) tlv_write(out, l);
    }
    for (tlv_list &l : lists) tlv_list_free(l);
    cfg_lists_release();
    return 0;
}
