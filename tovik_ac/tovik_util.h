// Management-server client: packet format, debug log, options and transport helpers.
#pragma once
#include <cstddef>
#include <cstdint>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/time.h>

// Every packet is built in, and received into, a zero-filled buffer of this size.
constexpr int PKT_SIZE = 512;
constexpr int HEADER_SIZE = 16;
// Size of every text of the run configuration, terminating zero included.
constexpr int TEXT_SIZE = 256;

constexpr int PROTO_TCP = 1;
constexpr int PROTO_UDP = 2;

// Result codes, indexed like error_string.
enum result_code : int {
    RES_SUCCESS = 0,
    RES_FAIL = 1,
    RES_PROTOCOL_NOT_SUPPORT = 3,
    RES_WRONG_MAGIC = 5,
    RES_VERSION = 6,
    RES_TYPE = 7,
    RES_ENCODE_TYPE = 8,
    RES_ACTION = 9,
    RES_WRONG_PARAMETER = 15,
    RES_SOCKET_CREATE = 16,
    RES_SOCKET_CONNECT = 19,
    RES_SETSOCKOPT = 27,
    RES_COUNT = 35,
};

// Operation modes (add_mac_flag), indexed like history_string.
enum op_mode : int {
    MODE_REG_AC = 0,
    MODE_REG_AP = 1,
    MODE_DEL_AP = 2,
    MODE_DEL_AC = 3,
    MODE_AP_REQ = 4,
    MODE_SEARCH_AP = 5,
};

// Element types of the payload.
enum element_type : uint8_t {
    ELEM_AC_MAC = 4,
    ELEM_AC_IP = 5,
    ELEM_AC_PORT = 6,
    ELEM_USERNAME = 8,
    ELEM_EMAIL = 10,
    ELEM_ADD_AP = 11,
    ELEM_DEL_AP = 12,
    ELEM_UUID = 13,
    ELEM_CHECKCODE = 14,
    ELEM_DEL_AC = 15,
    ELEM_TEST = 16,
    ELEM_SEARCH_AP = 17,
    ELEM_SERVER_NAME = 18,
    ELEM_CID = 24,
};

extern const char *const error_string[RES_COUNT];
extern const char *const history_string[6];
extern const char *const protocol_string[3];

// Run configuration.
extern int protocol_flag;
extern char interface[TEXT_SIZE];
extern struct timeval timeout;
extern int dbg_flag;
extern int encode_flag;
extern int add_mac_flag;
extern int test_flag;
extern struct sockaddr_in serverAddr, acLanAddr, acWanAddr;
extern char username[TEXT_SIZE], email[TEXT_SIZE], devmac[TEXT_SIZE], uuid[TEXT_SIZE],
    checkcode[TEXT_SIZE], cid[TEXT_SIZE], ipAddr[TEXT_SIZE], macAddr[TEXT_SIZE];
// serverName, description, fullName, companyName, phoneNumber and country, in this order:
// the request writer walks them as consecutive slots.
constexpr int EXTRA_TEXTS = 6;
extern char extra_text[EXTRA_TEXTS][TEXT_SIZE];
extern char (&serverName)[TEXT_SIZE];
extern char (&description)[TEXT_SIZE];
extern char (&fullName)[TEXT_SIZE];
extern char (&companyName)[TEXT_SIZE];
extern char (&phoneNumber)[TEXT_SIZE];
extern char (&country)[TEXT_SIZE];

// Debug log, in the file of the transport in force when the record is written.
const char *debug_log_path();
// Trace record at `level` or above, with the function/line prefix.
void dbg_trace(int level, const char *func, int line, const char *fmt, ...)
    __attribute__((format(printf, 4, 5)));
// Record without prefix at `level` or above (dumps, encode/decode records).
void dbg_raw(int level, const char *fmt, ...) __attribute__((format(printf, 2, 3)));
// Hex dump of size bytes at `level` or above, one open/append/close per byte.
void dbg_hex(int level, const uint8_t *bytes, int size);
#define DBG(...) dbg_trace(1, __func__, __LINE__, __VA_ARGS__)

// Text of a result code; codes past the table name the too-old-client text.
const char *result_text(int code);

struct pkt_header {
    uint8_t bytes[HEADER_SIZE];
};

// Zero-fills the packet and writes the header; total_length is left zero.
void header_generator(uint8_t *packet, uint8_t seq, uint8_t version, uint8_t type,
                      uint8_t encode, uint8_t encode_type, uint8_t action, uint8_t result);
// Appends one element at *length and updates total_length. Returns 0, or
// RES_WRONG_PARAMETER (writing nothing) when the element does not fit in the packet.
int content_generator(uint8_t *packet, int *length, uint8_t type, int value_length,
                      const void *value);
// 0 when the magic is right, else RES_WRONG_MAGIC.
int magic_check(const uint8_t *header);
// Checks a reply header and prints any failure; returns the result code.
int header_check(pkt_header header);
// Encipher / decipher the payload in place and update *length; both return 0.
int encode_buf(uint8_t *packet, int *length);
int decode_buf(uint8_t *packet, int *length);
// Packet dump to the debug log at level 2 and above.
void pkt_dump(const uint8_t *packet, int length);

// Walks the command line into the run configuration. Returns 0, or the exit code
// (15, 3 or 1); exits itself after help and version.
int checkoption(int argc, char **argv);
// Host lookup bounded by `seconds` (0: unbounded); nullptr on failure or time-out.
struct hostent *timeGethostbyname(const char *name, long seconds);
// Matches a parameter against an option's pattern, printing any failure.
// Returns 0 or RES_WRONG_PARAMETER.
int check_parameter(const char *pattern, const char *param, const char *option,
                    const char *example);

// Own IPv4 address and MAC address of the interface (outputs TEXT_SIZE bytes; either may be
// null). What cannot be learnt reads 0.0.0.0 / 00:00:00:00:00:00.
void getselfIPMAC(char *ip_out, char *mac_out, const char *ifname);
