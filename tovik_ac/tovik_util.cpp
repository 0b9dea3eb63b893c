#include "tovik_util.h"

#include <arpa/inet.h>
#include <csetjmp>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <net/if.h>
#include <regex.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tea.h"

const char *const error_string[RES_COUNT] = {
    "Success",
    "Fail",
    "Mode Not Support",
    "Protocol Not Support",
    "Connection Timeout",
    "Wrong Magic Number",
    "Version not support",
    "Type not support",
    "Encode type not support",
    "Action not support",
    "AP Not Found",
    "AC Not Found",
    "Server Not Found",
    "Encode Error",
    "Decode Error",
    "Wrong Parameter",
    "Socket Create Error",
    "Socket Bind Error",
    "Socket Accept Error",
    "Socket Connect Error",
    "malloc Failed",
    "Database Access Failed",
    "Database Wrong Key",
    "Database Data Exist",
    "Database Data Not Found",
    "Database Data Duplicate",
    "Checkcode Error",
    "setsockopt Error",
    "pthread Create Error",
    "Wrong Test Mode",
    "AP2AC test failed",
    "AP2AC Not Support UDP",
    "REGISTERED",
    "NO_ONE_REGISTER",
    "REGISTERED_BY_OTHER",
};
const char *const history_string[6] = {"RegAC", "RegAP", "DelAP", "DelAC", "APReq", "SEARCHAP"};
const char *const protocol_string[3] = {"", "tcp", "udp"};

static const char TOO_OLD_TEXT[] = "Tovik_ac version too old, please update it";

int protocol_flag = PROTO_TCP;
char interface[TEXT_SIZE] = "eth0";
struct timeval timeout = {10, 0};
int dbg_flag = 0;
int encode_flag = 1;
int add_mac_flag = MODE_REG_AC;
int test_flag = 0;
struct sockaddr_in serverAddr, acLanAddr, acWanAddr;
char username[TEXT_SIZE], email[TEXT_SIZE], devmac[TEXT_SIZE], uuid[TEXT_SIZE],
    checkcode[TEXT_SIZE], cid[TEXT_SIZE], ipAddr[TEXT_SIZE], macAddr[TEXT_SIZE];
char extra_text[EXTRA_TEXTS][TEXT_SIZE];
char (&serverName)[TEXT_SIZE] = extra_text[0];
char (&description)[TEXT_SIZE] = extra_text[1];
char (&fullName)[TEXT_SIZE] = extra_text[2];
char (&companyName)[TEXT_SIZE] = extra_text[3];
char (&phoneNumber)[TEXT_SIZE] = extra_text[4];
char (&country)[TEXT_SIZE] = extra_text[5];

/* ---- debug log ---------------------------------------------------------------------- */

const char *debug_log_path()
{
    return protocol_flag == PROTO_UDP ? "/tmp/Tovik_udp_debug.log" : "/tmp/Tovik_tcp_debug.log";
}

// The logs lie at fixed paths in /tmp, which anyone may write: a link planted there would make
// a run as root write, or truncate, whatever file it names. Opens `path` like fopen with `mode`
// ("a+" or "w+") but never through a final link; null when refused or not opened.
static FILE *open_fixed_log(const char *path, const char *mode)
{
    const int how = mode[0] == 'w' ? O_TRUNC : O_APPEND;
    int fd = open(path, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | how, 0666);
    if (fd < 0)
        return nullptr;
    FILE *f = fdopen(fd, mode);
    if (!f)
        close(fd);
    return f;
}

// Each record opens, appends to and closes the log, so a crash loses nothing written.
static void log_record(const char *prefix_func, int line, const char *fmt, va_list ap)
{
    FILE *f = open_fixed_log(debug_log_path(), "a+");
    if (!f)
        return;
    if (prefix_func)
        fprintf(f, "[DBG][Func:%s][Line:%d] ", prefix_func, line);
    vfprintf(f, fmt, ap);
    fclose(f);
}

void dbg_trace(int level, const char *func, int line, const char *fmt, ...)
{
    if (dbg_flag < level)
        return;
    va_list ap;
    va_start(ap, fmt);
    log_record(func, line, fmt, ap);
    va_end(ap);
}

void dbg_raw(int level, const char *fmt, ...)
{
    if (dbg_flag < level)
        return;
    va_list ap;
    va_start(ap, fmt);
    log_record(nullptr, 0, fmt, ap);
    va_end(ap);
}

void dbg_hex(int level, const uint8_t *bytes, int size)
{
    for (int i = 0; i < size; i++) {
        int n = i + 1;
        const char *fmt = n % 16 == 0 ? "%02X\n" : n % 8 == 0 ? "%02X  " : n == size ? "%02X" : "%02X-";
        dbg_raw(level, fmt, bytes[i]);
    }
}

const char *result_text(int code)
{
    return code >= 0 && code < RES_COUNT ? error_string[code] : TOO_OLD_TEXT;
}

/* ---- packet ------------------------------------------------------------------------- */

static const uint8_t MAGIC[3] = {'1', '2', '3'};

void header_generator(uint8_t *packet, uint8_t seq, uint8_t version, uint8_t type,
                      uint8_t encode, uint8_t encode_type, uint8_t action, uint8_t result)
{
    memset(packet, 0, PKT_SIZE);
    memcpy(packet, MAGIC, sizeof MAGIC);
    packet[3] = seq;
    packet[4] = version > 2 ? 3 : version;
    packet[5] = type;
    packet[6] = encode;
    packet[7] = encode_type;
    packet[8] = action;
    packet[9] = result;
    // The peer expects the trailing field as the digit 0 and a terminating zero.
    packet[10] = '0';
    packet[11] = 0;
}

int content_generator(uint8_t *packet, int *length, uint8_t type, int value_length,
                      const void *value)
{
    int at = *length;
    if (at < HEADER_SIZE || value_length < 0 || at > PKT_SIZE - 2 ||
        value_length > PKT_SIZE - 2 - at)
        return RES_WRONG_PARAMETER;
    packet[at] = type;
    packet[at + 1] = uint8_t(value_length);
    if (value_length > 0)
        memcpy(packet + at + 2, value, size_t(value_length));
    *length = at + value_length + 2;
    int total = *length - HEADER_SIZE;
    packet[14] = uint8_t(total >> 8);
    packet[15] = uint8_t(total);
    return 0;
}

int magic_check(const uint8_t *header)
{
    return memcmp(header, MAGIC, sizeof MAGIC) == 0 ? RES_SUCCESS : RES_WRONG_MAGIC;
}

int header_check(pkt_header header)
{
    const uint8_t *h = header.bytes;
    int code = RES_SUCCESS;
    bool from_peer = false;
    if (magic_check(h) != RES_SUCCESS)
        code = RES_WRONG_MAGIC;
    else if (h[4] > 4)
        code = RES_VERSION;
    else if (h[5] > 7)
        code = RES_TYPE;
    else if (h[7] > 3)
        code = RES_ENCODE_TYPE;
    else if (h[8] > 25)
        code = RES_ACTION;
    else if (h[9] != 0) {
        code = h[9];
        from_peer = true;
    }
    if (from_peer)
        printf("[ERR] result=%d, %s\n", code, result_text(code));
    else if (code != RES_SUCCESS)
        printf("[ERR] %s\n", error_string[code]);
    DBG("Header check:[%d], message:\"%s\" \n", code, result_text(code));
    return code;
}

// Number of 32-bit words that hold `payload` bytes.
static int block_count(int payload)
{
    return payload / 4 + (payload % 4 ? 1 : 0);
}

static void dump_block(const char *title, const uint8_t *packet, int length)
{
    dbg_raw(3, "%s", title);
    dbg_hex(3, packet, length);
    dbg_raw(3, "\n--\n");
}

int encode_buf(uint8_t *packet, int *length)
{
    if (*length <= HEADER_SIZE) {
        dbg_raw(3, "buf length less than 16 does not needed encode\n");
        return 0;
    }
    if (*length > PKT_SIZE)
        return 0;
    dump_block("Send_buf no encoded:\n", packet, *length);
    int payload = *length - HEADER_SIZE;
    int words = block_count(payload);
    dbg_raw(3, "len(no header)=%d, blockNumb=%d\n", payload, words);
    uint32_t work[PKT_SIZE / 4] = {};
    encryptBlock(packet + HEADER_SIZE, size_t(payload), work, size_t(words), TEAKey);
    *length = 4 * words + HEADER_SIZE;
    dump_block("Send_buf after encoded:\n", packet, *length);
    return 0;
}

int decode_buf(uint8_t *packet, int *length)
{
    if (*length <= HEADER_SIZE || *length > PKT_SIZE)
        return 0;
    dump_block("Recv_buf no decoded:\n", packet, *length);
    int payload = *length - HEADER_SIZE;
    int words = block_count(payload);
    dbg_raw(3, "len(no header)=%d, blockNumb=%d\n", payload, words);
    uint32_t work[PKT_SIZE / 4] = {};
    decryptBlock(work, packet + HEADER_SIZE, size_t(payload), size_t(words), TEAKey);
    *length = 4 * words + HEADER_SIZE;
    dump_block("Recv_buf after decoded:\n", packet, *length);
    return 0;
}

void pkt_dump(const uint8_t *packet, int length)
{
    if (dbg_flag < 2)
        return;
    if (length > PKT_SIZE)
        length = PKT_SIZE;
    dbg_raw(2, "\n===============packet dump start===============\n");
    dbg_hex(2, packet, length);
    dbg_raw(2, "\n===============packet dump finished=============\n");
}

/* ---- options ------------------------------------------------------------------------ */

namespace {

enum option_id : int32_t {
    OPT_PROTOCOL = 0,
    OPT_INTERFACE = 1,
    OPT_TIMEOUT = 2,
    OPT_SERVER_PORT = 3,
    OPT_DEBUG = 4,
    OPT_VERSION = 5,
    OPT_HELP = 6,
    OPT_SERVER_ADDR = 8,
    OPT_NOENCODE = 9,
    OPT_AC_PORT = 10,
    OPT_USERNAME = 11,
    OPT_EMAIL = 13,
    OPT_ADDMAC = 14,
    OPT_DELMAC = 15,
    OPT_UUID = 16,
    OPT_CHECKCODE = 17,
    OPT_DELAC = 18,
    OPT_TEST = 19,
    OPT_SEARCHMAC = 20,
    OPT_SERVER_NAME = 21,
    OPT_DESCRIPTION = 22,
    OPT_FULL_NAME = 23,
    OPT_COMPANY_NAME = 24,
    OPT_PHONE_NUMBER = 25,
    OPT_COUNTRY = 26,
    OPT_CID = 27,
};

struct option_row {
    int32_t id;
    char text[16];
    const char *pattern;     // none: the option takes no parameter
    const char *param_name;  // carried in the table, shown nowhere
    char example[64];
    char help[64];
    char *dest = nullptr;            // text that takes the parameter; none: the id's own action
    const char *label = nullptr;     // name of that text in the option's debug record
    int mode = MODE_REG_AC;          // operation mode the option sets first (MODE_REG_AC: none)
    const char *conflict = nullptr;  // printed when a mode is set already
};

const char PAT_WORD[] = "^\\w+$";
const char PAT_MAC[] = "^(([0-9a-fA-F]{2}[:]){5}([0-9a-fA-F]{2}))$";
const char PAT_PORT[] =
    "^([1-5]?[0-9]{1,4}|6([0-4][0-9]{3}|5[0-4][0-9]{2}|55[0-2][0-9]|553[0-5]))$";
const char PAT_USER[] = "^([0-9a-zA-Z_~!@$^,.;*(){}<>=|+?%-]+)$";
const char PAT_EMAIL[] = "^\\w+([-+.]\\w+)*@\\w+([-+.]\\w+)*.\\w+([-+.]\\w+)*$";
const char PAT_TEXT[] = "^([][0-9a-zA-Z_~!@$^,.;*(){}<>=|#`: \\/\r\n-]+)$";

const option_row option_list[] = {
    {OPT_PROTOCOL, "-p", "^tcp|udp$", "<Protocol>", "[tcp | udp]", "Transmission protocol"},
    {OPT_INTERFACE, "-i", "^([a-zA-Z0-9_-]+)$", "<Interface>", "[eth0]", "Ethernet interface",
     interface, "interface"},
    {OPT_TIMEOUT, "-t", "^[0-9]{1,3}|1000$", "<Timeout>", "[0-1000]", "Maximum timeout time"},
    {OPT_SERVER_PORT, "-sp", PAT_PORT, "<Server Port>", "[0-65535]", "Server service port"},
    {OPT_DEBUG, "-dbg", "^[0-3]$", "<Debug Level>", "[0-3]", "Debug level setup"},
    {OPT_SERVER_ADDR, "-sa",
     "^(((([1]?[0-9]{1,2}|2([0-4][0-9]|5[0-5]))[\\.]){3}([1]?[0-9]{1,2}|2([0-4][0-9]|5[0-5])))"
     "|(\\w+([-+.]\\w+)*.\\w+([-+.]\\w+)*))$",
     "<Server Address>", "[IP address | domain name]", "Server service IP Address"},
    {OPT_NOENCODE, "-noencode", nullptr, nullptr, "", "Disable encode packet"},
    {OPT_AC_PORT, "-cp", PAT_PORT, "<Vornhelm Port>", "[0-65535]", "Vornhelm service port"},
    {OPT_USERNAME, "-un", PAT_USER, "<Username>", "[username]", "Username of Vornhelm", username,
     "username"},
    {OPT_EMAIL, "-email", PAT_EMAIL, "<Email Address>", "[admin@example.com]",
     "Email of Vornhelm administrator", email, "email"},
    {OPT_ADDMAC, "-addmac", PAT_MAC, "<MAC Address>", "[00:00:00:00:00:01]",
     "MAC address of being mananged AP", devmac, "addmac", MODE_REG_AP, "add failed"},
    {OPT_DELMAC, "-delmac", PAT_MAC, "<MAC Address>", "[00:00:00:00:00:01]",
     "MAC address of leaving mananged AP", devmac, "delmac", MODE_DEL_AP, "del failed"},
    {OPT_UUID, "-uuid", "^(([0-9a-fA-F]{8})(([-][0-9a-fA-F]{4}){3})[-]([0-9a-fA-F]{12}))$",
     "<Unique ID>", "[00000000-0000-0000-C000-000000000046]", "Unique ID of AP", uuid, "uuid"},
    {OPT_CHECKCODE, "-checkcode", "^([0-9a-fA-F]{8})$", "<Check Sum>", "[12345678]",
     "Hash code of AP MAC address", checkcode, "checkcode"},
    {OPT_DELAC, "-delac", nullptr, nullptr, "", "Delete Vornhelm", nullptr, nullptr, MODE_DEL_AC,
     "del failed"},
    {OPT_TEST, "-test", nullptr, nullptr, "", "Emulate connection of AP to Vornhelm"},
    {OPT_SEARCHMAC, "-searchmac", PAT_MAC, "<MAC Address>", "[00:00:00:00:00:01]",
     "Search the AP", devmac, "searchmac", MODE_SEARCH_AP, "search failed"},
    {OPT_SERVER_NAME, "-srvn", PAT_TEXT, "<Server Name>", "[server name]", "Extra Information",
     serverName, "serverName"},
    {OPT_DESCRIPTION, "-desc", PAT_TEXT, "<Description>", "[description]", "Extra Information",
     description, "description"},
    {OPT_FULL_NAME, "-fn", PAT_TEXT, "<Full Name>", "[full name]", "Extra Information", fullName,
     "fullName"},
    {OPT_COMPANY_NAME, "-cn", PAT_TEXT, "<Company Name>", "[company name]", "Extra Information",
     companyName, "companyName"},
    {OPT_PHONE_NUMBER, "-pn", PAT_TEXT, "<Phone Number>", "[phone number]", "Extra Information",
     phoneNumber, "phoneNumber"},
    {OPT_COUNTRY, "-country", PAT_WORD, "<Country>", "[country]", "Extra Information", country,
     "country"},
    {OPT_CID, "-cid", "^([1]?[0-9]{1,2}|2([0-4][0-9]|5[0-5]))$", "<Controller ID>", "[CID]",
     "CID", cid, "cid"},
    {OPT_VERSION, "-v", nullptr, "", "", "Show version"},
    {OPT_HELP, "-h", nullptr, "", "", "Help information"},
    {OPT_HELP, "--help", nullptr, "", "", "Help information"},
    {OPT_HELP, "?", nullptr, "", "", "Help information"},
};

const char VERSION[] = "0.5.14";

// The part of argv[0] after its last '/'.
const char *program_name(const char *argv0)
{
    const char *slash = strrchr(argv0, '/');
    return slash ? slash + 1 : argv0;
}

// Help and version cut the name further at the first '.' or '/'.
void short_name(const char *argv0, char *out, size_t size)
{
    const char *name = program_name(argv0);
    while (*name == '.' || *name == '/')
        name++;
    size_t n = strcspn(name, "./");
    if (n >= size)
        n = size - 1;
    memcpy(out, name, n);
    out[n] = 0;
}

[[noreturn]] void print_help(const char *argv0)
{
    char name[TEXT_SIZE];
    short_name(argv0, name, sizeof name);
    printf("Usage: %s [OPTION...] [PARAMETER]...\n\n", name);
    for (const option_row &row : option_list) {
        char text[sizeof row.text + 1];
        snprintf(text, sizeof text, "%s,", row.text);
        printf("    %-16s %-48s  Example : %s %s %s\n", text, row.help, name, row.text,
               row.example);
    }
    puts("\n");
    exit(0);
}

[[noreturn]] void print_version(const char *argv0)
{
    char name[TEXT_SIZE];
    short_name(argv0, name, sizeof name);
    printf("%s version: %s\n", name, VERSION);
    exit(0);
}

// Copies a checked parameter into a configuration text (the length was checked before).
void store_text(char *dest, const char *param)
{
    snprintf(dest, TEXT_SIZE, "%s", param);
}

// Leading decimal digits of a text, saturating; 0 when it starts with none.
long leading_number(const char *text)
{
    long value = 0;
    for (; *text >= '0' && *text <= '9'; text++) {
        value = value * 10 + (*text - '0');
        if (value > 0x7FFFFFFFL / 10)
            return 0x7FFFFFFFL;
    }
    return value;
}

sigjmp_buf jmpbuf;

void alarm_func(int)
{
    siglongjmp(jmpbuf, 1);
}

// Sets the operation mode unless one is set already.
int set_mode(int mode, const char *conflict)
{
    if (add_mac_flag != MODE_REG_AC) {
        puts(conflict);
        return RES_FAIL;
    }
    add_mac_flag = mode;
    return 0;
}

// Records of the option walk name the walk itself.
#define OPTION_DBG(...) dbg_trace(1, "checkoption", __LINE__, __VA_ARGS__)

// Runs the action of one option row; returns 0 or the exit code.
int apply_option(const option_row &row, const char *param, const char *argv0)
{
    if (row.mode != MODE_REG_AC)
        if (int rc = set_mode(row.mode, row.conflict))
            return rc;
    if (row.dest) {
        store_text(row.dest, param);
        OPTION_DBG("%s=%s\n", row.label, row.dest);
        return 0;
    }
    switch (row.id) {
    case OPT_PROTOCOL:
        if (strcmp(param, "tcp") == 0)
            protocol_flag = PROTO_TCP;
        else if (strcmp(param, "udp") == 0)
            protocol_flag = PROTO_UDP;
        else {
            puts("[ERR] Protocol not support");
            return RES_PROTOCOL_NOT_SUPPORT;
        }
        OPTION_DBG("protocol=%s\n", protocol_string[protocol_flag]);
        break;
    case OPT_TIMEOUT:
        timeout.tv_sec = leading_number(param);
        timeout.tv_usec = 0;
        OPTION_DBG("timeout=%ld\n", long(timeout.tv_sec));
        break;
    case OPT_SERVER_PORT:
        serverAddr.sin_port = htons(uint16_t(atoi(param)));
        OPTION_DBG("server port=%d\n", ntohs(serverAddr.sin_port));
        break;
    case OPT_DEBUG:
        dbg_flag = atoi(param);
        OPTION_DBG("debug level=%d\n", dbg_flag);
        break;
    case OPT_SERVER_ADDR: {
        struct hostent *host = timeGethostbyname(param, long(timeout.tv_sec));
        if (!host || host->h_addrtype != AF_INET || host->h_length != 4 ||
            !host->h_addr_list || !host->h_addr_list[0]) {
            puts("Host not found, please check your domain name service");
            if (FILE *f = open_fixed_log("/tmp/Tovik.log", "w+")) {
                fputs("Host not found, please check your domain name service\n", f);
                fclose(f);
            }
            return RES_WRONG_PARAMETER;
        }
        memcpy(&serverAddr.sin_addr, host->h_addr_list[0], 4);
        OPTION_DBG("server address=%s\n", inet_ntoa(serverAddr.sin_addr));
        break;
    }
    case OPT_NOENCODE:
        encode_flag = 0;
        OPTION_DBG("encode flag=%s\n", encode_flag ? "ENABLED" : "DISABLED");
        break;
    case OPT_AC_PORT:
        acLanAddr.sin_port = htons(uint16_t(atoi(param)));
        OPTION_DBG("ac port=%d\n", ntohs(acLanAddr.sin_port));
        break;
    case OPT_DELAC:
        OPTION_DBG("add_mac_flag=DEL_AC");
        break;
    case OPT_TEST:
        if (test_flag) {
            puts("test failed");
            return RES_FAIL;
        }
        test_flag = 1;
        OPTION_DBG("test_flag=AP2AC");
        break;
    case OPT_VERSION:
        print_version(argv0);
    case OPT_HELP:
        print_help(argv0);
    }
    return 0;
}

}  // namespace

int check_parameter(const char *pattern, const char *param, const char *option,
                    const char *example)
{
    regex_t re;
    int rc = regcomp(&re, pattern, REG_EXTENDED | REG_NOSUB);
    if (rc != 0) {
        printf("regcomp() initial error!, errno[%d]\n", rc);
        return RES_WRONG_PARAMETER;
    }
    rc = regexec(&re, param, 0, nullptr, 0);
    regfree(&re);
    if (rc == REG_NOMATCH) {
        printf("[ERR] Wrong parameter [%s] with option [%s], the parameter should like %s\n",
               param, option, example);
        return RES_WRONG_PARAMETER;
    }
    return 0;
}

int checkoption(int argc, char **argv)
{
    const char *argv0 = argc > 0 && argv[0] ? argv[0] : "";
    for (int i = 1; i < argc; i++) {
        const char *arg = argv[i];
        const option_row *row = nullptr;
        for (const option_row &r : option_list)
            if (strcmp(arg, r.text) == 0) {
                row = &r;
                break;
            }
        if (!row) {
            const char *name = program_name(argv0);
            printf("[ERR] Option [%s] not support\n", arg);
            printf("Try `%s ?' or `%s -h' or `%s --help' for more information.\n", name, name,
                   name);
            return RES_WRONG_PARAMETER;
        }
        DBG("Option [%s] matched\n", arg);
        const char *param = nullptr;
        if (row->pattern) {
            if (i + 1 >= argc) {
                printf("[ERR] Option [%s] should give parameter, Example: %s\n", row->text,
                       row->example);
                return RES_WRONG_PARAMETER;
            }
            param = argv[++i];
            // Every parameter lands in a fixed-size text; refuse what cannot fit whole.
            if (strlen(param) >= size_t(TEXT_SIZE)) {
                printf("[ERR] Parameter of option [%s] is too long, at most %d characters\n",
                       row->text, TEXT_SIZE - 1);
                return RES_WRONG_PARAMETER;
            }
            if (int rc = check_parameter(row->pattern, param, row->text, row->example))
                return rc;
        }
        if (int rc = apply_option(*row, param, argv0))
            return rc;
    }
    return 0;
}

struct hostent *timeGethostbyname(const char *name, long seconds)
{
    signal(SIGALRM, alarm_func);
    if (sigsetjmp(jmpbuf, 1) != 0) {
        alarm(0);
        signal(SIGALRM, SIG_IGN);
        return nullptr;
    }
    if (seconds > 0)
        alarm(unsigned(seconds));
    struct hostent *host = gethostbyname(name);
    alarm(0);
    signal(SIGALRM, SIG_IGN);
    return host;
}

/* ---- own addresses ------------------------------------------------------------------ */

void getselfIPMAC(char *ip_out, char *mac_out, const char *ifname)
{
    if (!ifname || !*ifname)
        ifname = "eth0";
    uint8_t mac[6] = {};
    struct in_addr addr = {};
    // A name the interface record cannot hold names no interface.
    int fd = strlen(ifname) < IFNAMSIZ ? socket(AF_INET, SOCK_STREAM, 0) : -1;
    if (fd >= 0) {
        struct ifreq ifr;
        memset(&ifr, 0, sizeof ifr);
        memcpy(ifr.ifr_name, ifname, strlen(ifname));
        if (ioctl(fd, SIOCGIFHWADDR, &ifr) == 0)
            memcpy(mac, ifr.ifr_hwaddr.sa_data, sizeof mac);
        memset(&ifr.ifr_addr, 0, sizeof ifr.ifr_addr);
        ifr.ifr_addr.sa_family = AF_INET;
        if (ioctl(fd, SIOCGIFADDR, &ifr) == 0) {
            struct sockaddr_in sin;
            memcpy(&sin, &ifr.ifr_addr, sizeof sin);
            addr = sin.sin_addr;
        }
        close(fd);
    }
    if (mac_out)
        snprintf(mac_out, TEXT_SIZE, "%02X:%02X:%02X:%02X:%02X:%02X", mac[0], mac[1], mac[2],
                 mac[3], mac[4], mac[5]);
    if (ip_out)
        snprintf(ip_out, TEXT_SIZE, "%s", inet_ntoa(addr));
}
