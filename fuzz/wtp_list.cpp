// The WTP list reply (records with their configuration copies) as qor receives it, decoded
// by get_wtp_list through the request's reply reader, then printed in every form. The same
// bytes are also held and checked whole, as the full forms read them: the check must accept
// exactly the replies the list accepts, and a reply it accepted must then decode record by
// record (each into storage the records before it left) without a failure, printing byte
// for byte what the list printed. The brief table's reading (common parts kept, the rest
// stepped over) accepts the same replies and gives the same table whether the reply is held
// whole (stepped over at once) or arrives a byte at a time (field by field).
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
    const int listed =
        get_wtp_list(peer.fd(), list, WTP_SEL_ALL, (choice & 8) ? macs : std::vector<mac_addr>{});
    const bool password = choice & 1, basic = choice & 2;
    std::string list_text, list_json;
    if (listed == 0) {
        print_wtp_list(list, false, password, true, basic);
        list_text = fuzz::stdout_of([&] { print_wtp_list(list, false, password, false, basic); });
        list_json = fuzz::stdout_of([&] { print_wtp_list(list, true, password, false, basic); });
        print_fw_results(list);
        print_upgrade_counts(list);
        print_upgrading_count(list);
    }
    wtp_list_free(list);

    std::string brief[2];
    for (int i = 0; i < 2; ++i) {
        memory_source src(data + 1, size - 1, i == 0 ? size : 1);
        reply_reader in(src);
        wtp_list common;
        if (read_wtp_list(in, common, wtp_keep::common) != listed) __builtin_trap();
        if (listed == 0)
            brief[i] = fuzz::stdout_of([&] { print_wtp_list(common, false, password, true, basic); });
    }
    if (brief[0] != brief[1]) __builtin_trap();

    wtp_reply held;
    memory_source src(data + 1, size - 1, 1 + choice % 61);  // pieces as a socket gives them
    reply_reader in(src, held.bytes);
    const int checked = check_wtp_reply(in, held.records);
    if (checked != listed) __builtin_trap();
    if (checked == 0) {
        wtp_reply_records json_records(held);
        int status = 0;
        const std::string json =
            fuzz::stdout_of([&] { status = print_wtp_json(json_records, password, basic); });
        if (status != 0 || json != list_json) __builtin_trap();
        wtp_reply_records text_records(held);
        const std::string text =
            fuzz::stdout_of([&] { status = print_wtp_detail(text_records, password, basic); });
        if (status != 0 || text != list_text) __builtin_trap();
        if (json_records.count() != held.records) __builtin_trap();
    }
    return 0;
}
