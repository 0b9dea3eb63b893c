// ac_sim: the status fleet file (JSON): loading and checking it, and choosing the WTPs a
// WTP-list request asks for.
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
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    bool ok = !ferror(f);
    fclose(f);
    if (!ok) fprintf(stderr, "ac_sim: cannot read status fleet %s\n", path.c_str());
    return ok;
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
        doc = json::parse(text);
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
    cfg.status = next;
    if (cfg.save_file.empty()) return true;
    // Written whole to a new file that then takes the old one's place.
    std::string text = cfg.status->doc.dump(2) + "\n";
    std::string tmp = cfg.save_file + ".tmp";
    FILE *f = fopen(tmp.c_str(), "w");
    bool ok = f && fwrite(text.data(), 1, text.size(), f) == text.size();
    if (f && fclose(f) != 0) ok = false;
    if (!ok || rename(tmp.c_str(), cfg.save_file.c_str()) != 0) {
        fprintf(stderr, "ac_sim: cannot write %s: %s\n", cfg.save_file.c_str(), strerror(errno));
        remove(tmp.c_str());
    }
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
