#include "tovik_ac.h"

#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tovik_util.h"

namespace {

// Closes the socket when the exchange ends, whichever way.
struct socket_guard {
    int fd;
    explicit socket_guard(int f) : fd(f) {}
    ~socket_guard()
    {
        if (fd >= 0)
            close(fd);
    }
    socket_guard(const socket_guard &) = delete;
    socket_guard &operator=(const socket_guard &) = delete;
};

void set_addr(struct sockaddr_in &sa, const char *dotted, uint16_t port)
{
    memset(&sa, 0, sizeof sa);
    sa.sin_family = AF_INET;
    inet_aton(dotted, &sa.sin_addr);
    sa.sin_port = htons(port);
}

int add_text(uint8_t *packet, int *length, uint8_t type, const char *text)
{
    return content_generator(packet, length, type, int(strlen(text)), text);
}

// The two time limits of the exchange, set in this order.
const struct {
    int option;
    const char *name;
} TIME_LIMITS[] = {{SO_RCVTIMEO, "SO_RCVTIMEO"}, {SO_SNDTIMEO, "SO_SNDTIMEO"}};

// Milliseconds on the monotonic clock.
int64_t now_ms()
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return int64_t(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

// Waits until the socket is readable or the clock passes `deadline` (ms; -1: no limit).
bool wait_readable(int fd, int64_t deadline)
{
    for (;;) {
        int64_t left = deadline < 0 ? -1 : deadline - now_ms();
        if (deadline >= 0 && left <= 0)
            return false;
        struct pollfd p = {fd, POLLIN, 0};
        int rc = poll(&p, 1, left < 0 ? -1 : int(left < INT_MAX ? left : INT_MAX));
        if (rc > 0)
            return true;
        if (rc < 0 && errno != EINTR)
            return false;
    }
}

// Bytes of a TCP reply to wait for once `got` have arrived: the header, then the payload it
// announces (enciphered, padded to whole words), within the packet buffer. A reply whose
// magic is not ours is not waited for.
int reply_wanted(const uint8_t *reply, ssize_t got)
{
    if (got < HEADER_SIZE)
        return HEADER_SIZE;
    if (magic_check(reply) != RES_SUCCESS)
        return int(got);
    int payload = reply[14] << 8 | reply[15];
    if (reply[6] == 1)
        payload = (payload + 3) / 4 * 4;
    return payload > PKT_SIZE - HEADER_SIZE ? PKT_SIZE : HEADER_SIZE + payload;
}

// Reads a TCP reply, which may arrive in several segments. The first read waits as the
// receive time limit allows; then reading goes on until the reply is whole, the peer closes
// or the time limit, counted from the first wait, has passed. Returns the bytes read, or what
// the first read returned when it brought nothing.
ssize_t read_reply(int fd, uint8_t *reply)
{
    const bool limited = timeout.tv_sec > 0 || timeout.tv_usec > 0;
    const int64_t deadline =
        limited ? now_ms() + int64_t(timeout.tv_sec) * 1000 + timeout.tv_usec / 1000 : -1;
    ssize_t got = read(fd, reply, PKT_SIZE);
    if (got <= 0)
        return got;
    while (got < reply_wanted(reply, got) && wait_readable(fd, deadline)) {
        ssize_t n = read(fd, reply + got, size_t(PKT_SIZE - got));
        if (n <= 0)
            break;
        got += n;
    }
    return got;
}

}  // namespace

void init_config()
{
    set_addr(serverAddr, "192.168.0.1", 80);
    set_addr(acLanAddr, "192.168.0.3", 1234);
    set_addr(acWanAddr, "192.168.0.3", 1234);
}

int ac_pkt_gen(uint8_t *packet, int *length)
{
    header_generator(packet, 0, 3, 2, uint8_t(encode_flag), 0, 16, 0);
    *length = HEADER_SIZE;
    const uint8_t one = 0x01;
    const bool plain_mode = !test_flag;
    int rc = add_text(packet, length, ELEM_AC_MAC, macAddr);
    if (!rc)
        rc = content_generator(packet, length, ELEM_AC_IP, 4, &acLanAddr.sin_addr.s_addr);
    if (!rc)
        rc = content_generator(packet, length, ELEM_AC_PORT, 2, &acLanAddr.sin_port);
    if (!rc)
        rc = add_text(packet, length, ELEM_USERNAME, username);
    if (!rc && plain_mode && add_mac_flag == MODE_REG_AC && !*cid)
        rc = add_text(packet, length, ELEM_EMAIL, email);
    if (!rc && plain_mode && add_mac_flag == MODE_REG_AP)
        rc = add_text(packet, length, ELEM_ADD_AP, devmac);
    if (!rc && plain_mode && add_mac_flag == MODE_DEL_AP)
        rc = add_text(packet, length, ELEM_DEL_AP, devmac);
    if (!rc)
        rc = add_text(packet, length, ELEM_UUID, uuid);
    if (!rc && plain_mode && (add_mac_flag == MODE_REG_AP || add_mac_flag == MODE_DEL_AP))
        rc = add_text(packet, length, ELEM_CHECKCODE, checkcode);
    if (!rc && plain_mode && add_mac_flag == MODE_DEL_AC)
        rc = content_generator(packet, length, ELEM_DEL_AC, 1, &one);
    if (!rc && test_flag)
        rc = content_generator(packet, length, ELEM_TEST, 1, &one);
    if (!rc && plain_mode && add_mac_flag == MODE_SEARCH_AP)
        rc = add_text(packet, length, ELEM_SEARCH_AP, devmac);
    for (int i = 0; !rc && i < EXTRA_TEXTS; i++)
        rc = add_text(packet, length, uint8_t(ELEM_SERVER_NAME + i), extra_text[i]);
    if (!rc && *cid) {
        const uint8_t id = uint8_t(atoi(cid));
        rc = content_generator(packet, length, ELEM_CID, 1, &id);
    }
    return rc;
}

int ac_pkt_access(const uint8_t *packet, int length)
{
    pkt_header header;
    memcpy(header.bytes, packet, HEADER_SIZE);
    DBG("BEGIN header_check()\n");
    int rc = header_check(header);
    DBG("FINISH header_check()\n");
    if (rc)
        return rc;
    // A reply shorter than its header carries nothing to walk; do not take it as success.
    if (length < HEADER_SIZE || length > PKT_SIZE)
        return RES_WRONG_PARAMETER;
    int remaining = packet[14] << 8 | packet[15];
    DBG("%s[%d], ver=%d, type=%d, encode_type=%d, action=%d, total_length=%d\n", __func__,
        __LINE__, packet[4], packet[5], packet[7], packet[8], remaining);
    // The walk ends at total_length and never passes the bytes received.
    int at = HEADER_SIZE;
    while (remaining != 0) {
        if (length - at < 2)
            return RES_WRONG_PARAMETER;
        uint8_t type = packet[at];
        int value_length = packet[at + 1];
        DBG("%s[%d]\n", __func__, __LINE__);
        if (remaining < value_length + 2 || length - at < value_length + 2)
            return RES_WRONG_PARAMETER;
        // Only a full four-byte value is an address.
        if (type == ELEM_AC_IP && value_length >= 4)
            memcpy(&acWanAddr.sin_addr.s_addr, packet + at + 2, 4);
        at += value_length + 2;
        remaining -= value_length + 2;
    }
    printf("Success, %s\n", inet_ntoa(acWanAddr.sin_addr));
    return 0;
}

int ac_process()
{
    uint8_t request[PKT_SIZE] = {};
    uint8_t reply[PKT_SIZE] = {};
    int req_len = 0;
    const bool tcp = protocol_flag == PROTO_TCP;
    if (!tcp && protocol_flag != PROTO_UDP) {
        puts("[ERR] Protocol not support");
        return RES_PROTOCOL_NOT_SUPPORT;
    }
    socket_guard sock(socket(AF_INET, tcp ? SOCK_STREAM : SOCK_DGRAM, 0));
    if (sock.fd < 0) {
        int err = errno;
        if (tcp) {
            printf("[ERR] Could not create TCP socket, errno=%d\n", err);
            DBG("%s, errno=%d\n", "Could not create TCP socket", err);
        } else {
            printf("[ERR] Could not create UDP socket, errno=%d\n", err);
            DBG("Could not create UDP socket, errno=%d", err);
        }
        return RES_SOCKET_CREATE;
    }
    if (tcp && connect(sock.fd, reinterpret_cast<const struct sockaddr *>(&serverAddr),
                       sizeof serverAddr) != 0) {
        int err = errno;
        printf("[ERR] Socket connect error, errno=%d\n", err);
        DBG("Socket connect error, errno=%d\n", err);
        return RES_SOCKET_CONNECT;
    }
    DBG("BEGIN ac_pkt_gen()\n");
    if (int rc = ac_pkt_gen(request, &req_len))
        return rc;
    DBG("FINISH ac_pkt_gen()\n");
    pkt_dump(request, req_len);
    for (const auto &limit : TIME_LIMITS)
        if (setsockopt(sock.fd, SOL_SOCKET, limit.option, &timeout, sizeof timeout) != 0) {
            printf("[ERR] setsockopt %s failed\n", limit.name);
            DBG("setsockopt %s failed\n", limit.name);
            return RES_SETSOCKOPT;
        }
    if (tcp)
        DBG("len=%d\n", req_len);
    if (request[6] == 1)
        encode_buf(request, &req_len);
    ssize_t got;
    if (tcp) {
        // A peer that has gone away must not end the run by SIGPIPE.
        (void)!send(sock.fd, request, size_t(req_len), MSG_NOSIGNAL);
        got = read_reply(sock.fd, reply);
    } else {
        (void)!sendto(sock.fd, request, size_t(req_len), 0,
                      reinterpret_cast<const struct sockaddr *>(&serverAddr), sizeof serverAddr);
        got = recvfrom(sock.fd, reply, sizeof reply, 0, nullptr, nullptr);
    }
    if (got <= 0) {
        puts("[ERR] Recv Timeout");
        DBG("Recv Timeout\n");
        return 0;
    }
    int reply_len = int(got);
    DBG("read_size=%d\n", reply_len);
    pkt_dump(request, req_len);
    if (reply[6] == 1)
        decode_buf(reply, &reply_len);
    ac_pkt_access(reply, reply_len);
    return 0;
}
