// qor_docgen: writes, at build time, what is read from qor's own tables instead of being
// typed a second time: the key reference of the configuration page, the JSON Schemas of
// access-point and switch configuration files, and qor's bash completion.
//
//   qor_docgen page TEMPLATE OUT      TEMPLATE with its line ".\" @KEY_REFERENCE@" replaced
//   qor_docgen schema ap|switch OUT   JSON Schema (draft 2020-12) of one device type's files
//   qor_docgen completion OUT         bash completion: commands and each command's options
//
// OUT is written beside its name and renamed into place when whole. Exit status 0, or 1
// after a message on standard error.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "config.h"
#include "front.h"
#include "status.h"

namespace {

// ---- output ------------------------------------------------------------------------------

struct file_closer {
    void operator()(FILE *f) const { fclose(f); }
};
using file_ptr = std::unique_ptr<FILE, file_closer>;

// Writes `text` to `path` through "path.tmp" and a rename; 0 or 1 after a message.
int write_whole(const char *path, const std::string &text) {
    std::string tmp = std::string(path) + ".tmp";
    FILE *raw = fopen(tmp.c_str(), "w");
    if (!raw) {
        fprintf(stderr, "qor_docgen: %s: %s\n", tmp.c_str(), strerror(errno));
        return 1;
    }
    file_ptr f(raw);
    bool ok = fwrite(text.data(), 1, text.size(), f.get()) == text.size();
    ok = fflush(f.get()) == 0 && ok;
    ok = fclose(f.release()) == 0 && ok;
    if (!ok || rename(tmp.c_str(), path) != 0) {
        fprintf(stderr, "qor_docgen: %s: %s\n", path, strerror(errno));
        remove(tmp.c_str());
        return 1;
    }
    return 0;
}

int read_whole(const char *path, std::string &text) {
    file_ptr f(fopen(path, "r"));
    if (!f) {
        fprintf(stderr, "qor_docgen: %s: %s\n", path, strerror(errno));
        return 1;
    }
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f.get())) > 0) text.append(buf, n);
    if (ferror(f.get())) {
        fprintf(stderr, "qor_docgen: %s: read error\n", path);
        return 1;
    }
    return 0;
}

std::string format(const char *fmt, long long a) {
    char buf[64];
    snprintf(buf, sizeof buf, fmt, a);
    return buf;
}

// ---- the key paths of one device type as a tree ----------------------------------------

enum device { DEV_SWITCH, DEV_AP };  // index of the per-device columns of the list keys

const char *encoding_name(cfg_encoding e) {
    switch (e) {
    case ENC_U32: return "u32";
    case ENC_U16: return "u16";
    case ENC_TEXT: return "text";
    case ENC_IPV4: return "IPv4 address";
    case ENC_OPT_IPV4: return "optional IPv4 address";
    case ENC_IP_TRIPLE: return "address triple";
    case ENC_RATE: return "rate code";
    case ENC_PASSWORD: return "password digest";
    case ENC_MAC_LIST: return "MAC list";
    case ENC_NAME_LIST: return "name list";
    }
    return "?";
}

// One member name of the paths: an object member, or an array member ("name[]") whose
// elements are the row's values or objects with members of their own.
struct key_node {
    std::string name;
    bool array = false;
    const cfg_key *row = nullptr;       // the member's (or its elements') row
    const cfg_list_key *list = nullptr; // the array gathers its entries into one item
    std::vector<std::unique_ptr<key_node>> members;

    key_node *member(const std::string &n, bool is_array) {
        for (auto &m : members)
            if (m->name == n && m->array == is_array) return m.get();
        members.push_back(std::make_unique<key_node>());
        members.back()->name = n;
        members.back()->array = is_array;
        return members.back().get();
    }
};

key_node *node_of_path(key_node &root, const char *path) {
    key_node *n = &root;
    const char *p = path;
    while (*p) {
        const char *dot = strchr(p, '.');
        std::string seg = dot ? std::string(p, dot) : std::string(p);
        bool is_array = seg.size() > 2 && seg.compare(seg.size() - 2, 2, "[]") == 0;
        if (is_array) seg.resize(seg.size() - 2);
        n = n->member(seg, is_array);
        if (!dot) break;
        p = dot + 1;
    }
    return n;
}

void build_tree(key_node &root, device dev) {
    const cfg_key *table = cfg_key_table(dev == DEV_SWITCH ? WTP_TYPE_SWITCH : WTP_TYPE_AP);
    for (const cfg_key *row = table; row->key; ++row) node_of_path(root, row->key)->row = row;
    for (const cfg_list_key &lk : cfg_list_keys) {
        // A list matters to a device type when its entries have rows there or when an
        // empty one is refused there.
        key_node *probe = nullptr;
        for (const cfg_key *row = table; row->key; ++row)
            if (strcmp(row->key, lk.key) == 0) probe = node_of_path(root, lk.key);
        if (!probe && lk.empty_item[dev] == LIST_EMPTY_REFUSED) probe = node_of_path(root, lk.key);
        if (probe) probe->list = &lk;
    }
}

// ---- JSON Schema --------------------------------------------------------------------------

std::string json_string(const std::string &s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            out += format("\\u%04llx", static_cast<unsigned char>(c));
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// A JSON object under construction: members in the order given, pretty-printed.
struct jobj {
    std::vector<std::pair<std::string, std::string>> members;  // name, JSON text

    jobj &add(const std::string &name, const std::string &json) {
        members.emplace_back(name, json);
        return *this;
    }
    jobj &str(const std::string &name, const std::string &s) { return add(name, json_string(s)); }
    jobj &num(const std::string &name, long long v) { return add(name, format("%lld", v)); }

    std::string text(int indent = 0) const {
        if (members.empty()) return "{}";
        std::string pad(static_cast<size_t>(indent) + 2, ' ');
        std::string out = "{\n";
        for (size_t i = 0; i < members.size(); ++i) {
            out += pad + json_string(members[i].first) + ": ";
            // Nested objects were made at indent 0: shift their lines.
            const std::string &v = members[i].second;
            for (char c : v) {
                out += c;
                if (c == '\n') out += pad;
            }
            out += i + 1 < members.size() ? ",\n" : "\n";
        }
        return out + std::string(static_cast<size_t>(indent), ' ') + "}";
    }
};

const char IGNORED[] = "{\"$ref\": \"#/$defs/ignored\"}";

// Forms of the texts some encodings read (ECMA-262 patterns, also read by Python's re).
// (?![\s\S]) is the end of the text: "$" would also match before a final line feed.
const char OCTET[] = "0*(25[0-5]|2[0-4][0-9]|1?[0-9]?[0-9])";
std::string ipv4_form() {
    return std::string("(") + OCTET + "\\.){3}" + OCTET;
}
// Six hex fields of at most 0xFF, the first even (no group address), not all zero; text
// after the sixth field is not read.
const char MAC_PATTERN[] =
    "^(?!(0+:){5}0+(?![0-9A-Fa-f]))0*[0-9A-Fa-f]?[02468ACEace](:0*[0-9A-Fa-f]{1,2}){5}"
    "(?![0-9A-Fa-f])";

// Schema of a value at a row's key. Objects and arrays there are walked like any unknown
// member (their members' paths name no row).
std::string leaf_schema(const cfg_key &row) {
    jobj v;
    std::string what = format("item %lld, ", row.item_type) + encoding_name(row.encoding);
    if (row.json_type == JT_INTEGER) {
        v.str("type", "integer").num("minimum", row.min).num("maximum", row.max);
    } else {
        v.str("type", "string").num("minLength", row.min);
        if (row.max >= 0) v.num("maxLength", row.max);
        switch (row.encoding) {
        case ENC_IPV4:
            v.str("pattern", "^" + ipv4_form() + "(?![\\s\\S])");
            break;
        case ENC_IP_TRIPLE:
            // The form only: mask, host part and gateway rules are qor's to check.
            v.str("pattern", "^" + ipv4_form() + "/" + ipv4_form() + "/" + ipv4_form() +
                                 "(?![0-9])");
            what += " (address/mask/gateway)";
            break;
        case ENC_RATE:
            v.str("pattern", "^auto(?![\\s\\S])|M");
            what += " (auto, MCSn, VHTMCSn, or a rate in Mbit/s such as 54M or 5.5M)";
            break;
        case ENC_MAC_LIST:
            v.str("pattern", MAC_PATTERN);
            break;
        default:
            break;
        }
    }
    jobj s;
    s.str("description", what)
        .add("if", "{\"type\": [\"object\", \"array\"]}")
        .add("then", IGNORED)
        .add("else", v.text());
    return s.text();
}

std::string member_schema(const key_node &n, device dev);

jobj object_node(const key_node &n, device dev, const std::string &description) {
    jobj props;
    for (const auto &m : n.members) props.add(m->name, member_schema(*m, dev));
    jobj then;
    then.num("minProperties", 1).add("properties", props.text()).add("additionalProperties",
                                                                      IGNORED);
    jobj s;
    if (!description.empty()) s.str("description", description);
    s.add("if", "{\"type\": \"object\"}").add("then", then.text()).add("else", IGNORED);
    return s;
}

std::string object_schema(const key_node &n, device dev, const std::string &description) {
    return object_node(n, dev, description).text();
}

std::string member_schema(const key_node &n, device dev) {
    if (!n.array) return n.row ? leaf_schema(*n.row) : object_schema(n, dev, "");
    jobj then;
    std::string description;
    if (n.list && !n.row && n.list->empty_item[dev] == LIST_EMPTY_REFUSED) {
        // Entries without a row are skipped, but an empty list is refused.
        then.num("minItems", 1);
        description = "refused when empty; its entries are not sent";
    }
    then.num("maxItems", static_cast<long long>(n.list && n.list->list == LIST_NAMES
                                                    ? NAME_LIST_MAX
                                                    : ARRAY_ELEMENTS_MAX));
    if (n.list && n.row && n.list->duplicate[dev]) then.add("uniqueItems", "true");
    if (n.row)
        then.add("items", leaf_schema(*n.row));
    else if (!n.members.empty())
        then.add("items", object_schema(n, dev, ""));
    else
        then.add("items", IGNORED);
    jobj s;
    if (!description.empty()) s.str("description", description);
    s.add("if", "{\"type\": \"array\"}").add("then", then.text()).add("else", IGNORED);
    return s.text();
}

std::string ignored_schema() {
    jobj arr;
    arr.num("maxItems", static_cast<long long>(ARRAY_ELEMENTS_MAX)).add("items", IGNORED);
    jobj not_obj;
    not_obj.add("if", "{\"type\": \"array\"}").add("then", arr.text());
    jobj obj;
    obj.num("minProperties", 1).add("additionalProperties", IGNORED);
    jobj s;
    s.str("description",
          "A member that names no configuration key: qor walks it and sends nothing, but "
          "refuses an empty object anywhere and an array of more than 256 elements.")
        .add("if", "{\"type\": \"object\"}")
        .add("then", obj.text())
        .add("else", not_obj.text());
    return s.text();
}

std::string schema(device dev) {
    key_node root;
    build_tree(root, dev);
    const char *what = dev == DEV_AP ? "access-point" : "switch";
    std::string title = std::string("qor cfg: ") + what + " configuration file";
    std::string description =
        std::string("What qor cfg accepts in ") + (dev == DEV_AP ? "an " : "a ") + what +
        " configuration file (" + (dev == DEV_AP ? "--type 0, the default" : "--type 1") +
        "): every key under wtp_cfg with its JSON type and bounds (string lengths count "
        "bytes in qor, characters here); members that name no key are walked and ignored. "
        "Beyond this schema qor also refuses 1.0 where an integer is due, an address triple "
        "whose mask, host part or gateway is not valid, two list entries that name the same "
        "MAC in different spellings, and documents nested more than 63 levels deep.";
    jobj out;
    out.str("$schema", "https://json-schema.org/draft/2020-12/schema")
        .str("$id", std::string("urn:wlc-tools:qor:cfg-") + (dev == DEV_AP ? "ap" : "switch"))
        .str("title", title);
    // The document is an object node whose member is wtp_cfg.
    for (auto &m : object_node(root, dev, description).members) out.members.push_back(m);
    jobj defs;
    defs.add("ignored", ignored_schema());
    out.add("$defs", defs.text());
    return out.text() + "\n";
}

// ---- the configuration page's key reference ---------------------------------------------

// A text for roff: backslashes doubled, hyphens as minus signs.
std::string roff(const std::string &s) {
    std::string out;
    for (char c : s) {
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out += c;
    }
    return out;
}

std::string bounds_text(const cfg_key &row) {
    if (row.json_type == JT_INTEGER)
        return roff(format("integer, %lld", row.min) + format(" to %lld", row.max));
    if (row.max < 0 && row.min == 0) return "string of any length";
    if (row.max < 0) return roff(format("string of at least %lld bytes", row.min));
    return format("string of %lld", row.min) + format(" to %lld bytes", row.max);
}

// Array levels on a path: "radio[], wlan[]".
std::string array_levels(const char *key, bool list_entry) {
    std::vector<std::string> levels;
    const char *p = key;
    while (const char *b = strstr(p, "[]")) {
        const char *start = b;
        while (start > key && start[-1] != '.') --start;
        levels.emplace_back(start, b + 2);
        p = b + 2;
    }
    if (list_entry && !levels.empty()) levels.pop_back();
    std::string out;
    for (size_t i = 0; i < levels.size(); ++i) out += (i ? ", " : "") + levels[i];
    return out;
}

std::string key_reference_of(device dev) {
    const cfg_key *table = cfg_key_table(dev == DEV_SWITCH ? WTP_TYPE_SWITCH : WTP_TYPE_AP);
    std::string out;
    for (const cfg_key *row = table; row->key; ++row) {
        bool list_entry = row->encoding == ENC_MAC_LIST || row->encoding == ENC_NAME_LIST;
        out += ".TP\n.B " + std::string(row->key) + "\n";
        out += bounds_text(*row) + "; " + encoding_name(row->encoding);
        out += format("; item %lld", row->item_type);
        if (list_entry) {
            const cfg_list_key *lk = cfg_find_list_key(row->key);
            size_t most = lk && lk->list == LIST_NAMES ? NAME_LIST_MAX : ARRAY_ELEMENTS_MAX;
            out += format(" for the whole array of at most %lld entries",
                          static_cast<long long>(most));
            out += format(", %lld bytes an entry", lk ? lk->entry_size : 0);
            if (lk && lk->duplicate[dev]) out += ", no two entries equal";
        }
        std::string levels = array_levels(row->key, list_entry);
        if (!levels.empty()) out += "; index bytes: " + levels;
        out += ".\n";
    }
    return out;
}

std::string key_reference() {
    std::string out;
    out += ".SS Access-point keys\n";
    out += format("%lld keys, read with \\-\\-type 0 (the default).\n", AP_KEY_COUNT);
    out += key_reference_of(DEV_AP);
    out += ".SS Switch keys\n";
    out += format("%lld keys, read with \\-\\-type 1.\n", SWITCH_KEY_COUNT);
    out += key_reference_of(DEV_SWITCH);
    out += ".SS Array counts\n";
    out += "When one of these arrays is reached, before its elements, its element count is "
           "sent as a u32 item, for either device type; the item's key holds the index "
           "bytes of the enclosing arrays and one byte more.\n";
    for (const cfg_count_item &c : cfg_count_items)
        out += ".TP\n.B " + std::string(c.key) + "\n" +
               format("item %lld", static_cast<long long>(c.item_type)) + ".\n";
    out += ".SS Lists\n";
    out += "The entries of these arrays travel as one item for the whole array, sent when "
           "its last entry has been read; an empty array sends an empty item.\n";
    for (const cfg_list_key &lk : cfg_list_keys) {
        out += ".TP\n.B " + std::string(lk.key) + "\n";
        out += format("%lld bytes an entry", lk.entry_size);
        for (int d = DEV_SWITCH; d <= DEV_AP; ++d) {
            out += d == DEV_SWITCH ? "; switch: " : "; access point: ";
            if (lk.empty_item[d] == LIST_EMPTY_REFUSED) {
                out += "an empty one is refused, the entries of another are not sent";
                continue;
            }
            const cfg_key *row = cfg_find_key(d == DEV_SWITCH ? switch_keys : ap_keys, lk.key);
            out += format("item %lld", row ? row->item_type : lk.empty_item[d]);
            if (!row) out += " when empty, entries not sent";
            if (row && lk.duplicate[d]) out += ", duplicates refused";
        }
        out += ".\n";
    }
    return out;
}

int page(const char *tmpl, const char *out_path) {
    std::string text;
    if (read_whole(tmpl, text)) return 1;
    const std::string marker = ".\\\" @KEY_REFERENCE@\n";
    size_t at = text.find(marker);
    if (at == std::string::npos) {
        fprintf(stderr, "qor_docgen: %s: no line .\\\" @KEY_REFERENCE@\n", tmpl);
        return 1;
    }
    text.replace(at, marker.size(), key_reference());
    return write_whole(out_path, text);
}

// ---- bash completion ----------------------------------------------------------------------

std::string completion() {
    std::string words, cases, value_opts;
    for (const command_def &c : command_table) {
        words += (words.empty() ? "" : " ") + std::string(c.name);
        std::string opts;
        // A command that ignores its options (accepts all) is offered none of them.
        if (c.accepts != OPT_ANY)
            for (const long_option &o : long_options)
                if (command_accepts(c, o.code))
                    opts += (opts.empty() ? "--" : " --") + std::string(o.name);
        cases += "        " + std::string(c.name) + ") opts='" + opts + "' ;;\n";
    }
    for (const long_option &o : long_options)
        if (o.has_value && o.code != OPT_FILE)
            value_opts += (value_opts.empty() ? "--" : "|--") + std::string(o.name);
    std::string s;
    s += "# bash completion for qor: its commands, then the options of the command given.\n";
    s += "# Written at build time from qor's command table.\n";
    s += "_qor()\n{\n";
    s += "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]} opts\n";
    s += "    COMPREPLY=()\n";
    s += "    if [[ $COMP_CWORD -eq 1 ]]; then\n";
    s += "        COMPREPLY=($(compgen -W '" + words + "' -- \"$cur\"))\n";
    s += "        return\n    fi\n";
    s += "    case $prev in\n";
    s += "        --file) COMPREPLY=($(compgen -f -- \"$cur\")); return ;;\n";
    s += "        " + value_opts + ") return ;;\n";
    s += "    esac\n";
    s += "    case ${COMP_WORDS[1]} in\n" + cases + "        *) return ;;\n    esac\n";
    s += "    COMPREPLY=($(compgen -W \"$opts --acserver --acport\" -- \"$cur\"))\n";
    s += "}\ncomplete -F _qor qor\n";
    return s;
}

int usage() {
    fputs("usage: qor_docgen page TEMPLATE OUT | schema ap|switch OUT | completion OUT\n",
          stderr);
    return 1;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc == 4 && strcmp(argv[1], "page") == 0) return page(argv[2], argv[3]);
    if (argc == 4 && strcmp(argv[1], "schema") == 0) {
        if (strcmp(argv[2], "ap") == 0) return write_whole(argv[3], schema(DEV_AP));
        if (strcmp(argv[2], "switch") == 0) return write_whole(argv[3], schema(DEV_SWITCH));
        return usage();
    }
    if (argc == 3 && strcmp(argv[1], "completion") == 0) return write_whole(argv[2], completion());
    return usage();
}
