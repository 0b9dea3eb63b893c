// The WTP list reply (records with their configuration copies) as qor receives it, decoded
// by get_wtp_list through the request's reply reader, then printed in every form.
// Input: one byte of printer choices, then the AC's reply.
#include "fuzz_util.h"
#include "status.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::quiet_stdout();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1) return 0;
    const uint8_t choice = data[0];
    fuzz::reply_peer peer(data + 1, size - 1);
    wtp_list list;
    const std::vector<mac_addr> macs = {mac_addr{0x00, 0x11, 0x22, 0x33, 0x44, 0x55}};
    if (get_wtp_list(peer.fd(), list, WTP_SEL_ALL, (choice & 8) ? macs : std::vector<mac_addr>{}) ==
        0) {
        const bool password = choice & 1, basic = choice & 2;
        print_wtp_list(list, false, password, true, basic);
        print_wtp_list(list, false, password, false, basic);
        print_wtp_list(list, true, password, false, basic);
        print_fw_results(list);
        print_upgrade_counts(list);
        print_upgrading_count(list);
    }
    wtp_list_free(list);
    return 0;
}
