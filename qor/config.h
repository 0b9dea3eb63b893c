// WTP configuration: the key tables that say which JSON values a configuration file may
// carry and how each travels, the walk over a parsed file that turns its values into TLV
// items, and the cfg command that adds, removes and configures WTPs.
#pragma once

#include <json-parser/json.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "aclink.h"
#include "bytes.h"
#include "front.h"
#include "status.h"

// ---- key tables (config_keys.cpp) ------------------------------------------------------

// How a value travels as an item value.
enum cfg_encoding : uint8_t {
    ENC_U32,        // the integer's low 32 bits, big-endian
    ENC_U16,        // the integer's low 16 bits, big-endian
    ENC_TEXT,       // the string's bytes up to its first zero byte, no terminator
    ENC_IPV4,       // 4 bytes of a dotted address; anything else is refused
    ENC_OPT_IPV4,   // 4 bytes of a dotted address; anything else gives 0.0.0.0
    ENC_IP_TRIPLE,  // 12 bytes: address, mask and gateway of "a.b.c.d/a.b.c.d/a.b.c.d"
    ENC_RATE,       // u32 rate code of a rate text (text_to_rate)
    ENC_PASSWORD,   // 16-byte MD5 digest of the password and a line feed
    ENC_MAC_LIST,   // an entry of a MAC list: one item for the array, 6 bytes an entry
    ENC_NAME_LIST,  // an entry of a name list: one item for the array, 256 bytes an entry
};

// JSON types a row may ask for: json-parser's own type numbers.
constexpr int32_t JT_INTEGER = json_integer;  // 3
constexpr int32_t JT_STRING = json_string;    // 5

// One key: the value at `key` must be of `json_type`, lie within min..max (integers) or
// have a byte length within min..max (strings; max -1 is no limit), and becomes an item of
// `item_type` encoded by `encoding`. A row with a null key ends its table.
struct cfg_key {
    int32_t item_type;
    int32_t json_type;
    int32_t min;
    int32_t max;
    const char *key;
    cfg_encoding encoding;
};

constexpr size_t SWITCH_KEY_COUNT = 41;
constexpr size_t AP_KEY_COUNT = 162;
extern const cfg_key switch_keys[SWITCH_KEY_COUNT + 1];
extern const cfg_key ap_keys[AP_KEY_COUNT + 1];

// The table of a device type code: the switch table for 2, the access-point table for
// every other code.
const cfg_key *cfg_key_table(uint8_t dev_type);

// First row of `table` whose key is `path`, or nullptr.
const cfg_key *cfg_find_key(const cfg_key *table, const char *path);

// Arrays whose element count travels as an item of its own, sent when the array is reached.
struct cfg_count_item {
    const char *key;  // the array's key path
    uint32_t item_type;
};
constexpr size_t COUNT_ITEM_COUNT = 7;
extern const cfg_count_item cfg_count_items[COUNT_ITEM_COUNT];
const cfg_count_item *cfg_find_count_item(const char *path);

// The four list accumulators.
enum cfg_list_id : uint8_t { LIST_MANAGE_MAC, LIST_ACL_MAC, LIST_L2_MAC, LIST_NAMES, LIST_COUNT };

// Item of an empty list array that is refused instead ("Only support Switch device").
constexpr int32_t LIST_EMPTY_REFUSED = -1;

// Arrays whose entries are gathered into one item. Index [0] of the per-device members is
// for switch files, [1] for access-point files.
struct cfg_list_key {
    const char *key;          // the array's key path (also the key of its entry rows)
    cfg_list_id list;         // accumulator the entries are gathered in
    uint32_t entry_size;      // bytes per entry in the item value
    int32_t empty_item[2];    // item type sent for an empty array, or LIST_EMPTY_REFUSED
    const char *duplicate[2]; // message for two equal entries (with the key path), or nullptr
};
constexpr size_t LIST_KEY_COUNT = 4;
extern const cfg_list_key cfg_list_keys[LIST_KEY_COUNT];
const cfg_list_key *cfg_find_list_key(const char *path);
// The list whose element holds the value at `path` when that element is an array or an
// object (the path goes on below the list's own key), or nullptr.
const cfg_list_key *cfg_find_list_of_inner_value(const char *path);

// "json config value is not matched" for `path`; returns 1.
int cfg_type_mismatch(const char *path);

// Checks `value` against the row's JSON type and bounds; prints the rule's message with
// the key path and returns 1 when it fails, else 0.
int cfg_validate(const cfg_key &row, const char *path, const json_value *value);

// ---- the walk (config_walk.cpp) --------------------------------------------------------

constexpr int ITER_STACK_SIZE = 64;
constexpr int ITER_DEPTH_MAX = 63;        // entries ever used
constexpr size_t KEY_PATH_MAX = 255;      // characters of a key path
constexpr size_t ARRAY_ELEMENTS_MAX = 256; // more would wrap the 8-bit index bytes
constexpr size_t NAME_LIST_MAX = 255;     // 256-byte names that fit a 16-bit item length

// One level of the walk: the value and the member or element number being walked below
// it. The number stays in place when the entry is popped: the next array pushed at the
// same depth sends it as the extra index byte of its count item.
struct iter_entry {
    const json_value *value = nullptr;
    uint32_t index = 0;
};

struct iter_stack {
    iter_entry entry[ITER_STACK_SIZE];
    int32_t depth = 0;
};

// Clears every entry and the depth (before each file).
void iter_stack_clear(iter_stack &st);

// Called for every value that is not an object (arrays before their elements) with its
// key path, its index bytes (one per array level, outermost first; the array itself adds
// the byte of its own entry), the value and the walk's context. Non-zero stops the walk.
using json_value_handler = int (*)(const char *path, uint32_t index_count, const uint8_t *index,
                                   const json_value *value, void *ctx);

// Walks `value` depth-first in document order. Returns 0, or 1 when the handler stopped
// it, an object is empty (no message), the stack is full, a key path grows past 255
// characters or an array has more than 256 elements (with their messages).
int json_iter(iter_stack &st, const json_value *value, json_value_handler handler, void *ctx);

// What cfg_value_handler fills: one file's item list for one device type.
struct cfg_ctx {
    tlv_list *list;
    uint8_t dev_type;
};

// Looks every value up in the key table of the context's device type, validates and
// encodes it into the context's list; arrays go to the count items and list keys.
int cfg_value_handler(const char *path, uint32_t index_count, const uint8_t *index,
                      const json_value *value, void *ctx);

// Releases the list accumulators (they live across the files of one run).
void cfg_lists_release();

// MD5 digest of the password's bytes followed by one line feed.
bool password_digest(const char *password, uint8_t digest[16]);

// ---- the cfg command (config_cmd.cpp) ----------------------------------------------------

constexpr size_t CFG_FILES_MAX = 1000;
// Bytes of one configuration file: a file of every key with the longest values and lists
// is far smaller, and the parsed tree takes several times the text.
constexpr long CFG_FILE_MAX = 1L << 20;

// Reads, parses and converts one configuration file into `list` (an empty file gives an
// empty list). Returns 0, or 1 after its message.
int cfg_convert_file(const char *name, uint8_t dev_type, tlv_list &list);

// The same for a file's `size` bytes already read into `text` (which holds a zero byte
// after them); `name` is the file's name in messages. The text is released once parsed.
int cfg_convert_text(const char *name, std::unique_ptr<char[]> text, size_t size,
                     uint8_t dev_type, tlv_list &list);

// The --ip value IP/MSK/GW/DNS1/DNS2 (trailing addresses may be left out) as 20 bytes,
// each address in text order; false when it is not a valid setting.
bool parse_wtp_ip_setting(const char *text, uint8_t value[20]);

// Item type of the --ip setting in an add request.
constexpr uint32_t ADD_ITEM_IP = 3;
// Result of an add request after which no further WTP is sent.
constexpr uint8_t RESULT_MAX_MANAGED = 7;

// REQ_ADD_WTP once per MAC with the items (the --ip item, or none). Returns 0 when every
// WTP succeeded.
int request_add_wtp(int sock, const std::vector<mac_addr> &macs, const tlv_list &items);
// REQ_DEL_WTP once per MAC.
int request_del_wtp(int sock, const std::vector<mac_addr> &macs);
// REQ_CONFIG: one list per MAC (`several`) or one list for all.
int request_config(int sock, const std::vector<mac_addr> &macs, uint8_t dev_type, uint32_t wait,
                   bool several, const std::vector<tlv_list> &lists);
