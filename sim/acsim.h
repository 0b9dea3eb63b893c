// ac_sim: a stand-in for the AC daemon, for tests and for trying qor without hardware.
//
// One connection at a time: send the admission word, then read requests (code byte and
// fields) and answer each from the fleet, until the closing byte 0 or the peer's close.
// Every request is parsed field by field; what arrived and what was answered can be
// logged as hex, one block per connection.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <csignal>

namespace acsim {

// Set by SIGTERM/SIGINT: reads give up instead of retrying, the accept loop ends.
extern volatile sig_atomic_t stop_requested;

// Bounds that keep the simulator standing whatever it is fed, generous for any real fleet.
constexpr size_t FILE_BYTES_MAX = size_t{32} << 20;  // fleet file, status fleet, saved fleet
constexpr size_t DEPTH_MAX = 64;  // nesting of the status fleet's objects and arrays
constexpr uint32_t CONFIG_BODY_MAX = uint32_t{16} << 20;  // body of a configuration request
constexpr size_t STRAY_BYTES_MAX = 4096;  // read (and logged) after the closing byte
constexpr size_t LOG_BYTES_MAX = size_t{64} << 20;  // each direction of a connection's log
constexpr int CONN_TIME_DEFAULT = 30;  // seconds a connection may last
constexpr int IDLE_SECONDS = 10;  // a peer that sends nothing for this long is let go

using mac_t = std::array<uint8_t, 6>;

// One WTP of the fleet. Attributes are free-form `key=value` pairs from the fleet file:
//   result=N           result code for every request naming this WTP
//   <command>=N        result code for one request kind (upg add del cfg rst scan kick cac sh fwlist)
//   output=TEXT        what `sh` returns for this WTP
//   fwstep=1|2         listed as a one-step or two-step upgrade in the firmware-list reply
// Later request handlers read further attributes (records, states) the same way.
struct wtp {
    mac_t mac{};
    std::map<std::string, std::string> attrs;
};

// The status fleet: WTP records and the AC summary from a JSON file (acsim_json.h).
struct status_fleet;

struct config {
    std::string address = "127.0.0.1";
    int port = 1235;
    std::string port_file;
    std::string log_file;
    uint32_t admission = 1;       // word sent on connect
    size_t admission_bytes = 4;   // send only the first N bytes of it, then close
    long cut_after = -1;          // close after this many reply bytes (-1: never)
    bool reset_on_cut = false;    // end a cut connection with a reset, not a close
    int max_connections = -1;     // stop after this many connections (-1: never)
    int conn_time = CONN_TIME_DEFAULT;  // seconds a connection may last (0: no limit)
    std::map<std::string, std::string> globals;  // other `key value` lines of the fleet file
    std::vector<wtp> fleet;
    std::shared_ptr<status_fleet> status;  // null without a status fleet
    std::string save_file;  // the status fleet is written here after every change
};

// Reads a fleet file into cfg (see sample fleet file). Returns false after printing
// the offending line to stderr.
bool load_fleet(const char *path, config &cfg);
// Reads and checks a status fleet file; null after printing what is wrong and where.
std::shared_ptr<status_fleet> load_status(const std::string &path);
// Whether the status fleet has a record of `mac`, and how many records it has.
bool status_knows(const config &cfg, const mac_t &mac);
size_t status_size(const config &cfg);

// Writes `text` whole to `path`: into "PATH.tmp", created exclusively (never through a
// link left there), synced, then renamed into place. False with errno set and the name
// that failed in `failed`; the temporary is then gone and `path` as it was.
bool write_file_whole(const std::string &path, const std::string &text, std::string &failed);

// Number from text (decimal or 0x hex); false if not a number.
bool parse_number(const std::string &text, uint32_t &out);
bool parse_mac_text(const std::string &text, mac_t &out);
std::string mac_text(const mac_t &mac);

// One client connection: reads fields, writes replies, keeps the hex log.
class conn {
public:
    conn(int fd, const config &cfg);
    ~conn();
    conn(const conn &) = delete;
    conn &operator=(const conn &) = delete;

    // Reads; false when the peer closed or failed before all bytes arrived.
    bool read(void *buf, size_t n);
    bool u8(uint8_t &v);
    bool u16(uint16_t &v);
    bool u32(uint32_t &v);
    bool mac(mac_t &m);
    bool macs(uint16_t n, std::vector<mac_t> &out);
    bool text(size_t n, std::string &out);

    // Replies (buffered until flush(); cut_after applies to them).
    void put_u8(uint8_t v);
    void put_u16(uint16_t v);
    void put_u32(uint32_t v);
    void put_bytes(const void *p, size_t n);
    void put_mac(const mac_t &m);
    // Prepared bytes that end the reply, sent from where they are at flush(); they must
    // stay in place until then, and nothing may be queued after them.
    void put_prepared(const std::vector<uint8_t> &bytes);
    bool flush();  // false when the connection was cut or the send failed
    // Sends at once, outside the reply count (the admission word).
    bool send_direct(const void *p, size_t n);

    // A note that goes into the log block of this connection ("note ..." line).
    void note(const std::string &text);
    // A protocol error found while parsing ("error ..." line, also on stderr).
    void error(const std::string &text);

    const std::vector<uint8_t> &received() const { return in_; }
    const std::vector<uint8_t> &sent() const { return out_log_; }
    const std::vector<std::string> &notes() const { return notes_; }
    bool cut() const { return cut_; }

    // Bytes of each direction beyond what the log keeps.
    size_t received_unlogged() const { return in_dropped_; }
    size_t sent_unlogged() const { return out_dropped_; }

private:
    bool send_reply(const uint8_t *p, size_t n);
    bool send_all(const uint8_t *p, size_t n, size_t &done);
    // Waits until the socket is ready for `events` (POLLIN, POLLOUT); false when the
    // connection's time is up (logged once), when `idle` and the peer is silent for
    // IDLE_SECONDS, or on a failure or a stop request.
    bool wait(short events, bool idle);
    void log_in(const uint8_t *p, size_t n);
    void log_out(const uint8_t *p, size_t n);

    int fd_;
    const config &cfg_;
    int64_t deadline_ms_ = -1;  // monotonic clock; -1: no limit
    bool timed_out_ = false;
    size_t in_dropped_ = 0;
    size_t out_dropped_ = 0;
    std::vector<uint8_t> in_;
    std::vector<uint8_t> pending_;
    const std::vector<uint8_t> *prepared_ = nullptr;
    std::vector<uint8_t> out_log_;
    std::vector<std::string> notes_;
    long reply_bytes_ = 0;
    bool cut_ = false;
};

// The state a handler works on: the configuration (fleet) and the connection.
struct session {
    config &cfg;
    conn &c;
};

// Result code for `mac` in a request of kind `command` (the qor command word).
uint8_t result_for(const config &cfg, const mac_t &mac, const char *command);
// Whether the fleet file (a result of the WTP's line or a global result) or --result fixes
// that code; otherwise management and configuration requests act on the status fleet.
bool result_fixed(const config &cfg, const mac_t &mac, const char *command);
// The fleet entry of `mac`, or nullptr.
const wtp *find_wtp(const config &cfg, const mac_t &mac);
// Attribute of a fleet entry or a global, with a default.
std::string attr(const wtp *w, const char *key, const std::string &def = "");
std::string global(const config &cfg, const char *key, const std::string &def = "");

// Checks a body-length field against the length the layout gives; logs an error if not.
void check_len(session &s, uint32_t got, uint32_t expected);

// A request handler reads the request's fields (the code byte is already read) and
// queues its reply. Returns false to end the connection (peer gone or bad request).
using handler = bool (*)(session &s);

struct request_row {
    uint8_t code;
    const char *name;
    handler fn;
};

// Handlers by request code; each file of handlers defines its own.
bool handle_wtp_list(session &s);     // acsim_status.cpp
bool handle_ac_info(session &s);      // acsim_status.cpp
bool handle_add_wtp(session &s);      // acsim_config.cpp
bool handle_del_wtp(session &s);      // acsim_config.cpp
bool handle_config(session &s);       // acsim_config.cpp
bool handle_upgrade(session &s);      // acsim_firmware.cpp
bool handle_init_fw(session &s);      // acsim_firmware.cpp
bool handle_fw_list(session &s);      // acsim_firmware.cpp
bool handle_scan(session &s);         // acsim_radio.cpp
bool handle_bg_scan(session &s);      // acsim_radio.cpp
bool handle_auto_channel(session &s); // acsim_radio.cpp
bool handle_auto_txpower(session &s); // acsim_radio.cpp
bool handle_kick(session &s);         // acsim_radio.cpp
bool handle_mem_info(session &s);     // acsim_daemon.cpp
bool handle_no_discovery(session &s); // acsim_daemon.cpp
bool handle_reset(session &s);        // acsim_control.cpp
bool handle_debug(session &s);        // acsim_control.cpp
bool handle_change_ac(session &s);    // acsim_control.cpp
bool handle_shell(session &s);        // acsim_control.cpp

// The request table (acsim_main.cpp); code 0 ends the connection.
const request_row *find_request(uint8_t code);

// Reads a u16 count and that many MACs; false if the peer went away.
bool read_mac_list(session &s, std::vector<mac_t> &macs);
// Queues one result byte per MAC for request kind `command`.
void put_results(session &s, const std::vector<mac_t> &macs, const char *command);

}  // namespace acsim
