// ac_sim: the status fleet, a JSON document of WTP records and the AC summary, and the
// wire encoder that turns its records into the bytes of the WTP-list and AC-summary replies.
//
// The document has the shape of what qor prints: an object with "ac_info" (the summary) and
// "wtp_list" (an array of record objects with the member names of the JSON output, with
// "wtp_cfg" for the configuration copy). Missing members (and null ones) read as 0, as
// absent text or as empty arrays. A value that does not fit its wire field is an error that
// names its place in the document, e.g. "wtp_list[1].radio[0].wlan[2].bssid".
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "acsim.h"

namespace acsim {

using json = nlohmann::ordered_json;

// A value of the fleet that does not fit: where it is and what is wrong with it.
struct fleet_error {
    std::string where;
    std::string what;
};

// An object of the document (or a missing one, which reads as empty) with its name.
class place {
public:
    place(const json *value, std::string name);

    // The member's value; null when the member is missing or null.
    const json *get(const char *key) const;
    // A member that is an object; a missing one reads as empty.
    place object(const char *key) const;
    // A member that is an array of objects; a missing one has no elements.
    std::vector<place> objects(const char *key) const;
    // A member that is an array (of anything); null when missing.
    const json *array(const char *key) const;
    bool missing() const { return value_ == nullptr; }

    std::string name(const char *key) const;
    std::string name(const char *key, size_t index) const;
    [[noreturn]] void fail(const char *key, const std::string &what) const;

private:
    const json *value_;
    std::string name_;
};

// A whole number member within [lo, hi]; 0 when missing.
int64_t whole(const place &p, const char *key, int64_t lo, int64_t hi);

// Reads a rate text ("auto", "MCS7", "VHTMCS9", "54M", "5.5M") into its rate code.
bool text_to_rate(const std::string &text, uint32_t &code);

// Strict text forms of the fleet: "0A:1B:2C:3D:4E:5F" and "192.168.1.2".
bool mac_from_text(const std::string &text, mac_t &mac);
bool addr_from_text(const std::string &text, uint8_t out[4]);

// Selection flag bits of the WTP-list request.
enum : uint32_t {
    SEL_MANAGED = 1,
    SEL_UNMANAGED = 2,
    SEL_UNJOINED = 4,
    SEL_CFG = 8,
    SEL_DETAIL = 16,
    SEL_STA = 32,
};

// One WTP record (a member of "wtp_list") on the wire, without its 0 marker. Only the
// parts that `flags` ask for are included (SEL_DETAIL, SEL_STA, SEL_CFG). Throws fleet_error.
void encode_record(const place &record, uint32_t flags, std::vector<uint8_t> &out);
// The AC-summary reply from "ac_info". Throws fleet_error.
void encode_ac_info(const place &ac_info, std::vector<uint8_t> &out);

struct status_fleet {
    struct member {
        mac_t mac{};
        bool managed = false;
        bool joined = false;  // state 5 (online)
    };
    std::string path;
    json doc;
    std::vector<place> records;  // the members of "wtp_list", in document order
    std::vector<member> wtps;    // what the selection looks at, one per record
    bool has_ac_info = false;
    std::vector<uint8_t> ac_info_reply;
    // Encoded replies by selection (flags and MAC list), so that a repeated request is
    // answered with prepared bytes.
    std::map<std::string, std::vector<uint8_t>> replies;
};

// A status fleet made from `doc` (checked as at load time); null with the reason in `why`.
std::shared_ptr<status_fleet> status_from(json doc, const std::string &path, std::string &why);
// Puts `doc` in the place of the current status fleet when it passes the checks (and writes
// it to the save file, if any); false with the reason otherwise, the fleet unchanged.
bool commit_status(config &cfg, json doc, std::string &why);

// One configuration item as it arrived: type, index bytes, value.
struct tlv {
    uint16_t type = 0;
    std::string key;
    std::string value;
};

// The record of `mac` in the "wtp_list" of `doc`, or null.
json *find_record(json &doc, const mac_t &mac);
// The fixed IP settings of an add request (IP, mask, gateway, DNS1, DNS2) in the record's
// configuration copy.
void set_ip_settings(json &record, const uint8_t value[20]);
// Applies the items of a configuration request for device type `dev` (2 switch, any other
// an access point) to the record's configuration copy. False with what is wrong in `why`
// (the record may then be half changed: apply to a copy).
bool apply_items(json &record, uint8_t dev, const std::vector<tlv> &items, std::string &why);

// The whole WTP-list reply (markers, records, end marker) for a selection.
const std::vector<uint8_t> &wtp_list_reply(status_fleet &fleet, uint32_t flags,
                                           const std::vector<mac_t> &macs, size_t *records);

}  // namespace acsim
