// The walk over a parsed configuration file: key paths and index bytes, the conversion of
// every value into TLV items, the MAC and name lists, and the password digest.
#include <md5.h>

#include <cstdio>
#include <cstring>
#include <new>

#include "config.h"
#include "rate.h"

void iter_stack_clear(iter_stack &st) {
    for (iter_entry &e : st.entry) e = iter_entry{};
    st.depth = 0;
}

namespace {

// A key path and the index bytes of one visited value.
struct key_path {
    char text[KEY_PATH_MAX + 1];
    size_t len = 0;
    uint8_t index[ITER_STACK_SIZE];
    uint32_t index_count = 0;

    // Appends what fits; false when not all of it did (the text then holds 255 characters).
    bool append(const char *p, size_t n) {
        size_t room = KEY_PATH_MAX - len;
        size_t take = n < room ? n : room;
        memcpy(text + len, p, take);
        len += take;
        text[len] = '\0';
        return take == n;
    }
};

enum path_result { PATH_OK, PATH_TOO_LONG, PATH_NO_KEY };

// Builds the path of the stack's entries, bottom to top: objects add the name of the
// member being walked (after a "." unless they are the bottom entry), arrays add "[]" and
// their index as one byte. A member name holding a zero byte can name no key.
path_result build_path(const iter_stack &st, key_path &kp) {
    kp.text[0] = '\0';
    for (int32_t k = 0; k < st.depth; ++k) {
        const iter_entry &e = st.entry[k];
        if (e.value->type == json_object) {
            const json_object_entry &m = e.value->u.object.values[e.index];
            if (memchr(m.name, '\0', m.name_length)) return PATH_NO_KEY;
            if ((k > 0 && !kp.append(".", 1)) || !kp.append(m.name, m.name_length))
                return PATH_TOO_LONG;
        } else if (e.value->type == json_array) {
            if (!kp.append("[]", 2)) return PATH_TOO_LONG;
            kp.index[kp.index_count++] = static_cast<uint8_t>(e.index);  // modulo 256
        }
    }
    return PATH_OK;
}

int path_too_long(const key_path &kp) {
    fprintf(stderr, "ERROR: json key path '%s...' is longer than %zu characters.\n", kp.text,
            KEY_PATH_MAX);
    return 1;
}

// Hands the top value to the handler with its path and index bytes.
int visit(const iter_stack &st, json_value_handler handler, void *ctx) {
    key_path kp;
    switch (build_path(st, kp)) {
    case PATH_TOO_LONG: return path_too_long(kp);
    case PATH_NO_KEY: return 0;
    case PATH_OK: break;
    }
    return handler(kp.text, kp.index_count, kp.index, st.entry[st.depth - 1].value, ctx);
}

// Index bytes hold 8 bits: an array with more elements would give two elements one index.
int array_too_long(const iter_stack &st) {
    key_path kp;
    if (build_path(st, kp) == PATH_TOO_LONG) return path_too_long(kp);
    fprintf(stderr, "ERROR: json array '%s' has more than %zu elements.\n", kp.text,
            ARRAY_ELEMENTS_MAX);
    return 1;
}

}  // namespace

int json_iter(iter_stack &st, const json_value *value, json_value_handler handler, void *ctx) {
    if (st.depth >= ITER_DEPTH_MAX) {
        fputs("ERROR: json iter stack is full.\n", stderr);
        return 1;
    }
    iter_entry &top = st.entry[st.depth];
    top.value = value;  // the index keeps what the last entry at this depth left there
    ++st.depth;
    int rc = 0;
    switch (value->type) {
    case json_none:
    case json_integer:
    case json_double:
    case json_string:
    case json_boolean:
    case json_null:
        rc = visit(st, handler, ctx);
        break;
    case json_object:
        if (value->u.object.length == 0) {
            rc = 1;  // an empty object fails the walk, without a message
            break;
        }
        for (unsigned i = 0; i < value->u.object.length && rc == 0; ++i) {
            top.index = i;
            rc = json_iter(st, value->u.object.values[i].value, handler, ctx);
        }
        break;
    case json_array:
        if (value->u.array.length > ARRAY_ELEMENTS_MAX) {
            rc = array_too_long(st);
            break;
        }
        rc = visit(st, handler, ctx);
        for (unsigned i = 0; i < value->u.array.length && rc == 0; ++i) {
            top.index = i;
            rc = json_iter(st, value->u.array.values[i], handler, ctx);
        }
        break;
    default:
        rc = 1;
        break;
    }
    --st.depth;
    return rc;
}

// ---- list accumulators ---------------------------------------------------------------

namespace {

// One list being gathered: `n` entries expected, `buf` n entries of the list's size.
struct list_acc {
    std::vector<uint8_t> buf;
    uint32_t n = 0;

    void release() {
        std::vector<uint8_t>().swap(buf);
        n = 0;
    }
};

// Process-wide: a list is open from its array's hook until its last entry is stored, and
// the accumulators live across the files of a run.
list_acc lists[LIST_COUNT];

int out_of_memory() {
    fputs("ERROR: Out of memory\n", stderr);
    return 1;
}

int invalid_value(const json_value *value, const char *path) {
    fprintf(stderr, "ERROR: Invalid config value '%s' for '%s'.\n", value->u.string.ptr, path);
    return 1;
}

int list_reserve(const cfg_list_key &lk, uint32_t n, const char *path) {
    if (lk.list == LIST_NAMES && n > NAME_LIST_MAX) {
        // 256 bytes a name: more would not fit the item's 16-bit value length.
        fprintf(stderr, "ERROR: More than %zu names in '%s'.\n", NAME_LIST_MAX, path);
        return 1;
    }
    list_acc &acc = lists[lk.list];
    acc.release();
    try {
        acc.buf.assign(static_cast<size_t>(n) * lk.entry_size, 0);
    } catch (const std::bad_alloc &) {
        return out_of_memory();
    }
    acc.n = n;
    return 0;
}

// Stores a list entry at its position (the last index byte); the last entry completes
// the list, which is then checked for duplicates and sent as one item.
int list_store(const cfg_key &row, const char *path, uint32_t index_count, const uint8_t *index,
               const json_value *value, const cfg_ctx &c) {
    const cfg_list_key *lk = cfg_find_list_key(path);
    if (!lk || index_count == 0) return invalid_value(value, path);
    list_acc &acc = lists[lk->list];
    uint32_t p = index[index_count - 1];
    if (p >= acc.n) return invalid_value(value, path);  // no open list holds this position
    uint8_t *slot = acc.buf.data() + static_cast<size_t>(p) * lk->entry_size;
    if (row.encoding == ENC_MAC_LIST) {
        mac_addr m;
        if (!parse_mac(value->u.string.ptr, m.data()) || (m[0] & 1))
            return invalid_value(value, path);
        memcpy(slot, m.data(), m.size());
    } else {
        // The length check keeps a name within 255 bytes: the slot stays terminated.
        size_t len = strnlen(value->u.string.ptr, lk->entry_size - 1);
        memset(slot, 0, lk->entry_size);
        memcpy(slot, value->u.string.ptr, len);
    }
    if (p != acc.n - 1) return 0;

    int dev = c.dev_type == WTP_TYPE_SWITCH ? 0 : 1;
    int rc = 0;
    if (const char *dup = lk->duplicate[dev]) {
        for (uint32_t i = 0; i < acc.n && rc == 0; ++i)
            for (uint32_t j = i + 1; j < acc.n && rc == 0; ++j)
                if (memcmp(acc.buf.data() + i * lk->entry_size,
                           acc.buf.data() + j * lk->entry_size, lk->entry_size) == 0) {
                    fprintf(stderr, dup, path);
                    rc = 1;
                }
    }
    if (rc == 0)
        rc = tlv_add(*c.list, static_cast<uint32_t>(row.item_type), index_count - 1, index,
                     static_cast<uint32_t>(acc.buf.size()), acc.buf.data());
    acc.release();
    return rc;
}

// An array: its count item, the opening of a list, or nothing.
int array_hook(const char *path, uint32_t index_count, const uint8_t *index,
               const json_value *value, const cfg_ctx &c) {
    uint32_t n = value->u.array.length;
    if (const cfg_count_item *ci = cfg_find_count_item(path))
        return tlv_add_u32(*c.list, ci->item_type, index_count, index, n);
    const cfg_list_key *lk = cfg_find_list_key(path);
    if (!lk) return 0;
    if (n > 0) return list_reserve(*lk, n, path);
    int32_t item = lk->empty_item[c.dev_type == WTP_TYPE_SWITCH ? 0 : 1];
    if (item == LIST_EMPTY_REFUSED) {
        fputs("ERROR: Only support Switch device\n", stderr);
        return 1;
    }
    // The array's own index byte does not travel with a list.
    return tlv_add(*c.list, static_cast<uint32_t>(item), index_count - 1, index, 0, nullptr);
}

int encode(const cfg_key &row, const char *path, uint32_t index_count, const uint8_t *index,
           const json_value *value, const cfg_ctx &c) {
    tlv_list &list = *c.list;
    uint32_t type = static_cast<uint32_t>(row.item_type);
    const char *text = row.json_type == JT_STRING ? value->u.string.ptr : nullptr;
    switch (row.encoding) {
    case ENC_U32:
        return tlv_add_u32(list, type, index_count, index, static_cast<uint32_t>(value->u.integer));
    case ENC_U16:
        return tlv_add_u16(list, type, index_count, index, static_cast<uint32_t>(value->u.integer));
    case ENC_TEXT:
        return tlv_add_str(list, type, index_count, index, text);
    case ENC_IPV4:
    case ENC_OPT_IPV4: {
        uint8_t addr[4];
        if (!parse_ipv4(text, addr)) {
            if (row.encoding == ENC_IPV4) return invalid_value(value, path);
            memset(addr, 0, sizeof addr);
        }
        return tlv_add(list, type, index_count, index, sizeof addr, addr);
    }
    case ENC_IP_TRIPLE: {
        uint32_t ip, mask, gw;  // network byte order: the bytes in text order
        if (!parse_ip_setting(text, &ip, &mask, &gw)) return invalid_value(value, path);
        uint8_t v[12];
        memcpy(v, &ip, 4);
        memcpy(v + 4, &mask, 4);
        memcpy(v + 8, &gw, 4);
        return tlv_add(list, type, index_count, index, sizeof v, v);
    }
    case ENC_RATE: {
        int32_t code;
        if (!text_to_rate(text, &code)) return invalid_value(value, path);
        return tlv_add_u32(list, type, index_count, index, static_cast<uint32_t>(code));
    }
    case ENC_PASSWORD: {
        uint8_t digest[16];
        if (!password_digest(text, digest)) return 1;
        return tlv_add(list, type, index_count, index, sizeof digest, digest);
    }
    case ENC_MAC_LIST:
    case ENC_NAME_LIST:
        return list_store(row, path, index_count, index, value, c);
    }
    return 1;
}

}  // namespace

int cfg_value_handler(const char *path, uint32_t index_count, const uint8_t *index,
                      const json_value *value, void *ctx) {
    const cfg_ctx &c = *static_cast<const cfg_ctx *>(ctx);
    // A list element that is an array or an object holds no text: its own values match no
    // row, and its slot would be sent empty (a zero MAC, an empty name) or never filled.
    if (const cfg_list_key *lk = cfg_find_list_of_inner_value(path))
        if (cfg_find_key(cfg_key_table(c.dev_type), lk->key)) return cfg_type_mismatch(lk->key);
    if (value->type == json_array) return array_hook(path, index_count, index, value, c);
    const cfg_key *row = cfg_find_key(cfg_key_table(c.dev_type), path);
    if (!row) return 0;  // keys outside the table are ignored
    if (cfg_validate(*row, path, value)) return 1;
    return encode(*row, path, index_count, index, value, c);
}

void cfg_lists_release() {
    for (list_acc &acc : lists) acc.release();
}

bool password_digest(const char *password, uint8_t digest[16]) {
    // In-process: the password never reaches a shell or a file, whatever it holds.
    MD5_CTX md5;
    MD5Init(&md5);
    MD5Update(&md5, reinterpret_cast<const uint8_t *>(password), strlen(password));
    const uint8_t line_feed = '\n';
    MD5Update(&md5, &line_feed, 1);
    MD5Final(digest, &md5);
    return true;
}
