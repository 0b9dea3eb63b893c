// ac_sim: the configuration keys as the AC knows them, one table per device type, and the
// text forms the decoded values take in the status fleet.
//
// These tables are the simulator's own: a configuration request is decoded by them, not by
// the client's, so that a client row with a wrong item number, index depth, bound or
// encoding shows as a refusal or a wrong value instead of agreeing with itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace acsim {

// Device type codes of a configuration request and of a WTP record.
constexpr uint8_t DEV_SWITCH = 2;
constexpr uint8_t DEV_AP = 3;

// Elements an array may have: its index bytes are one byte each.
constexpr size_t ARRAY_ELEMENTS_MAX = 256;

// The JSON type of a key's value in a configuration file.
enum key_kind : uint8_t { INTEGER, STRING };

// How a value travels as an item value.
enum item_form : uint8_t {
    FORM_U32,          // 4 bytes, big-endian
    FORM_U16,          // 2 bytes, big-endian
    FORM_TEXT,         // the text's bytes, no terminator
    FORM_IPV4,         // 4 address bytes in text order
    FORM_OPT_IPV4,     // the same; 0.0.0.0 stands for "none"
    FORM_ADDR_TRIPLE,  // 12 bytes: address, mask, gateway
    FORM_RATE,         // u32 rate code
    FORM_DIGEST,       // 16-byte MD5 digest of the password and a line feed
    FORM_MAC_LIST,     // the whole array in one item, 6 bytes per entry
    FORM_NAME_LIST,    // the whole array in one item, 256 zero-padded bytes per entry
};

constexpr int32_t NO_LIMIT = -1;  // string rows: no longest length

// One key. `index_bytes` is the length of the item's key: one byte per array level of the
// path, one fewer for a list (its item stands for the whole array). Integer rows bound the
// value, string rows the text's byte length (max NO_LIMIT: none).
struct key_row {
    const char *path;
    uint16_t item;
    key_kind kind;
    uint8_t index_bytes;
    item_form form;
    int32_t min;
    int32_t max;
};

// An array whose element count travels as a u32 item of its own, for either device type;
// its key has one byte per array level of the path (the last selects nothing).
struct count_row {
    const char *path;
    uint16_t item;
    uint8_t index_bytes;
};

struct key_table {
    const key_row *rows;
    size_t count;
};

// The keys of a device type code: the switch's for DEV_SWITCH, the access point's for any
// other code.
key_table keys_of(uint8_t dev);
// The row of `table` for an item of `type` with `index_bytes` key bytes, or null.
const key_row *find_key(key_table table, uint16_t type, size_t index_bytes);
// The count row for an item of `type` with `index_bytes` key bytes, or null.
const count_row *find_count(uint16_t type, size_t index_bytes);
// Whether a row of `table` lies under the array `path` ("...[]").
bool has_keys_under(key_table table, const char *path);

// Value bytes of one entry of a form (every entry for the lists); 0 for the texts.
size_t form_size(item_form form);
inline bool is_list(item_form form) { return form == FORM_MAC_LIST || form == FORM_NAME_LIST; }

// Text forms of the fleet: "00:1A:2B:3C:4D:5E", 32 lower-case hex digits, and a rate code
// as "auto", "MCS7", "VHTMCS9", "54M" or "5.5M".
std::string mac_upper(const uint8_t mac[6]);
std::string digest_text(const uint8_t digest[16]);
std::string rate_text(int32_t code);

}  // namespace acsim
