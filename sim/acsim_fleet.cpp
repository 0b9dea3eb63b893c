// ac_sim: the status fleet file (JSON): loading and checking it, and choosing the WTPs a
// WTP-list request asks for.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "acsim_json.h"

namespace acsim {

namespace {

constexpr uint32_t ALL_BITS = SEL_MANAGED | SEL_UNMANAGED | SEL_UNJOINED | SEL_CFG | SEL_DETAIL |
                              SEL_STA;

std::string selection_key(uint32_t flags, const std::vector<mac_t> &macs) {
    std::string key;
    for (int shift = 24; shift >= 0; shift -= 8) key += static_cast<char>(flags >> shift);
    for (const mac_t &m : macs) key.append(reinterpret_cast<const char *>(m.data()), m.size());
    return key;
}

bool read_file(const std::string &path, std::string &text) {
    FILE *f = fopen(path.c_str(), "rb");
    if (!f) {
        fprintf(stderr, "ac_sim: cannot open status fleet %s: %s\n", path.c_str(), strerror(errno));
        return false;
    }
    // At most one byte more than the bound is read: a device or a runaway file is not
    // taken in whole.
    struct stat st {};
    bool large = fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode) &&
                 static_cast<uint64_t>(st.st_size) > FILE_BYTES_MAX;
    char buf[65536];
    size_t n;
    while (!large && (n = fread(buf, 1, sizeof buf, f)) > 0) {
        text.append(buf, n);
        large = text.size() > FILE_BYTES_MAX;
    }
    bool ok = !large && !ferror(f);
    fclose(f);
    if (large)
        fprintf(stderr, "ac_sim: status fleet %s is larger than %zu bytes\n", path.c_str(),
                FILE_BYTES_MAX);
    else if (!ok)
        fprintf(stderr, "ac_sim: cannot read status fleet %s\n", path.c_str());
    return ok;
}

// Where a value sits in the document, e.g. "wtp_list[1].wtp_cfg.radio[0]": one step per
// enclosing object or array, naming the member or the element the value is.
struct step {
    bool array = false;
    size_t index = 0;
    std::string key;
    size_t next = 0;  // while parsing an array: the index of its next element
};

std::string place_of(const std::vector<step> &steps) {
    std::string where;
    for (const step &s : steps) {
        if (s.array)
            where += "[" + std::to_string(s.index) + "]";
        else
            where += (where.empty() ? "" : ".") + s.key;
    }
    return where;
}

std::string too_deep(const std::string &where) {
    return (where.empty() ? "" : where + ": ") + "nested more than " + std::to_string(DEPTH_MAX) +
           " levels deep";
}

// Builds the document as the library's own parser does, but stops at the first object or
// array that would lie more than DEPTH_MAX levels deep, so that nothing later (copies, the
// saved text, the hotspot20 text) recurses further than that.
class bounded_parser {
public:
    using number_integer_t = json::number_integer_t;
    using number_unsigned_t = json::number_unsigned_t;
    using number_float_t = json::number_float_t;
    using string_t = json::string_t;
    using binary_t = json::binary_t;

    explicit bounded_parser(json &doc) : dom_(doc) {}

    bool null() { return value() && dom_.null(); }
    bool boolean(bool v) { return value() && dom_.boolean(v); }
    bool number_integer(number_integer_t v) { return value() && dom_.number_integer(v); }
    bool number_unsigned(number_unsigned_t v) { return value() && dom_.number_unsigned(v); }
    bool number_float(number_float_t v, const string_t &s) {
        return value() && dom_.number_float(v, s);
    }
    bool string(string_t &v) { return value() && dom_.string(v); }
    bool binary(binary_t &v) { return value() && dom_.binary(v); }
    bool start_object(std::size_t n) { return open(false) && dom_.start_object(n); }
    bool key(string_t &k) {
        steps_.back().key = k;
        return dom_.key(k);
    }
    bool end_object() {
        steps_.pop_back();
        return dom_.end_object();
    }
    bool start_array(std::size_t n) { return open(true) && dom_.start_array(n); }
    bool end_array() {
        steps_.pop_back();
        return dom_.end_array();
    }
    template <class Exception>
    bool parse_error(std::size_t at, const std::string &token, const Exception &e) {
        return dom_.parse_error(at, token, e);
    }

    // The place of the value that went too deep; empty while none did.
    const std::string &too_deep_at() const { return deep_; }
    bool went_too_deep() const { return deep_set_; }

private:
    // A value begins: in an array it is the next element.
    bool value() {
        if (!steps_.empty() && steps_.back().array) steps_.back().index = steps_.back().next++;
        return true;
    }
    bool open(bool array) {
        value();
        if (steps_.size() >= DEPTH_MAX) {
            deep_ = place_of(steps_);
            deep_set_ = true;
            return false;
        }
        step s;
        s.array = array;
        steps_.push_back(s);
        return true;
    }

    nlohmann::detail::json_sax_dom_parser<json> dom_;
    std::vector<step> steps_;
    std::string deep_;
    bool deep_set_ = false;
};

// The place of the first object or array of `doc` that lies more than DEPTH_MAX levels
// deep; false when none does. Walks with a stack of its own, not by recursion.
bool nested_too_deep(const json &doc, std::string &where) {
    struct frame {
        const json *node;
        json::const_iterator it;
        size_t index;
    };
    if (!doc.is_structured()) return false;
    std::vector<frame> stack{{&doc, doc.cbegin(), 0}};
    while (!stack.empty()) {
        frame &top = stack.back();
        if (top.it == top.node->cend()) {
            stack.pop_back();
            continue;
        }
        const json &child = *top.it;
        ++top.it;
        ++top.index;
        if (!child.is_structured()) continue;
        if (stack.size() >= DEPTH_MAX) {
            std::vector<step> steps;
            for (const frame &f : stack) {
                step s;
                s.array = f.node->is_array();
                s.index = f.index - 1;
                if (!s.array) s.key = std::prev(f.it).key();
                steps.push_back(s);
            }
            where = place_of(steps);
            return true;
        }
        stack.push_back({&child, child.cbegin(), 0});
    }
    return false;
}

// Checks every record by encoding it with every part, and notes what the selection needs.
// The reply to a request for everything is made on the way.
void check_fleet(status_fleet &fleet) {
    place top(&fleet.doc, "");
    place ac = top.object("ac_info");
    fleet.has_ac_info = !ac.missing();
    if (fleet.has_ac_info) encode_ac_info(ac, fleet.ac_info_reply);
    fleet.records = top.objects("wtp_list");
    std::vector<uint8_t> &all = fleet.replies[selection_key(ALL_BITS, {})];
    for (const place &rec : fleet.records) {
        status_fleet::member m;
        all.push_back(0);
        size_t start = all.size();
        encode_record(rec, SEL_CFG | SEL_DETAIL | SEL_STA, all);
        // The record begins with the type byte and the MAC.
        memcpy(m.mac.data(), all.data() + start + 1, 6);
        m.managed = whole(rec, "managed", 0, 255) != 0;
        m.joined = whole(rec, "state", 0, 255) == 5;
        fleet.wtps.push_back(m);
    }
    all.push_back(1);
}

}  // namespace

std::shared_ptr<status_fleet> status_from(json doc, const std::string &path, std::string &why) {
    if (!doc.is_object()) {
        why = "not a JSON object";
        return nullptr;
    }
    std::string deep;
    if (nested_too_deep(doc, deep)) {
        why = too_deep(deep);
        return nullptr;
    }
    auto fleet = std::make_shared<status_fleet>();
    fleet->path = path;
    fleet->doc = std::move(doc);
    try {
        check_fleet(*fleet);
    } catch (const fleet_error &e) {
        why = e.where + ": " + e.what;
        return nullptr;
    }
    return fleet;
}

std::shared_ptr<status_fleet> load_status(const std::string &path) {
    std::string text;
    if (!read_file(path, text)) return nullptr;
    json doc;
    try {
        bounded_parser parser(doc);
        json::sax_parse(text, &parser);
        if (parser.went_too_deep()) {
            fprintf(stderr, "ac_sim: %s: %s\n", path.c_str(),
                    too_deep(parser.too_deep_at()).c_str());
            return nullptr;
        }
    } catch (const json::parse_error &e) {
        // "[json.exception.parse_error.101] parse error at line 1, column 2: ..."
        const char *what = e.what();
        const char *msg = strstr(what, "] ");
        fprintf(stderr, "ac_sim: %s: %s\n", path.c_str(), msg ? msg + 2 : what);
        return nullptr;
    }
    std::string why;
    auto fleet = status_from(std::move(doc), path, why);
    if (!fleet) fprintf(stderr, "ac_sim: %s: %s\n", path.c_str(), why.c_str());
    return fleet;
}

bool commit_status(config &cfg, json doc, std::string &why) {
    std::shared_ptr<status_fleet> next = status_from(std::move(doc), cfg.status->path, why);
    if (!next) return false;
    if (cfg.save_file.empty()) {
        cfg.status = next;
        return true;
    }
    // What is saved must load again.
    std::string text = next->doc.dump(2) + "\n";
    if (text.size() > FILE_BYTES_MAX) {
        why = "the status fleet would be larger than " + std::to_string(FILE_BYTES_MAX) +
              " bytes";
        return false;
    }
    cfg.status = next;
    // Written whole to a new file that then takes the old one's place.
    std::string failed;
    if (!write_file_whole(cfg.save_file, text, failed))
        fprintf(stderr, "ac_sim: cannot write %s: %s\n", failed.c_str(), strerror(errno));
    return true;
}

bool status_knows(const config &cfg, const mac_t &mac) {
    if (!cfg.status) return false;
    for (const status_fleet::member &m : cfg.status->wtps)
        if (m.mac == mac) return true;
    return false;
}

size_t status_size(const config &cfg) { return cfg.status ? cfg.status->wtps.size() : 0; }

// As an AC selects: bits 1 and 2 choose managed and unmanaged WTPs, a clear bit 4 keeps
// the joined ones (state 5) only, a MAC list keeps those WTPs only (in fleet order).
// Bits 8, 16 and 32 choose the parts of each record; the other bits mean nothing.
const std::vector<uint8_t> &wtp_list_reply(status_fleet &fleet, uint32_t flags,
                                           const std::vector<mac_t> &macs, size_t *records) {
    flags &= ALL_BITS;
    std::string key = selection_key(flags, macs);
    std::vector<size_t> chosen;
    for (size_t i = 0; i < fleet.wtps.size(); ++i) {
        const status_fleet::member &m = fleet.wtps[i];
        if (!(flags & (m.managed ? SEL_MANAGED : SEL_UNMANAGED))) continue;
        if (!(flags & SEL_UNJOINED) && !m.joined) continue;
        bool listed = macs.empty();
        for (const mac_t &x : macs) listed = listed || x == m.mac;
        if (listed) chosen.push_back(i);
    }
    *records = chosen.size();
    auto it = fleet.replies.find(key);
    if (it != fleet.replies.end()) return it->second;
    if (fleet.replies.size() > 32) {
        // Keep the one made at load time; drop the others.
        std::string full = selection_key(ALL_BITS, {});
        std::vector<uint8_t> all = std::move(fleet.replies[full]);
        fleet.replies.clear();
        fleet.replies[full] = std::move(all);
    }
    std::vector<uint8_t> &out = fleet.replies[key];
    for (size_t i : chosen) {
        out.push_back(0);
        encode_record(fleet.records[i], flags, out);  // checked at load: does not throw
    }
    out.push_back(1);
    return out;
}

}  // namespace acsim
