// The floor of the WTP-list benchmark: receives a WTP-list reply with a plain read loop and
// writes it to standard output (the benchmark points that at /dev/null), decoding nothing.
//
//   recv_floor PORT FLAGS [BYTES]
//
// Connects to 127.0.0.1:PORT, reads the admission word, sends the WTP-list request with the
// selection FLAGS and no MAC list. With BYTES (the reply's length) it reads that many bytes,
// then sends the closing byte, as a client does; without it, it sends the closing byte
// at once and reads until the peer closes. Prints "recv calls: N" and "reply bytes: N" on
// standard error; exit status 0, or 1 when the reply is short or a call fails.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool send_all(int fd, const unsigned char *p, size_t n) {
    while (n > 0) {
        ssize_t r = send(fd, p, n, MSG_NOSIGNAL);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        p += r;
        n -= static_cast<size_t>(r);
    }
    return true;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 3 || argc > 4) {
        fprintf(stderr, "usage: recv_floor PORT FLAGS [BYTES]\n");
        return 2;
    }
    unsigned long port = strtoul(argv[1], nullptr, 10);
    unsigned long flags = strtoul(argv[2], nullptr, 10);
    bool bounded = argc == 4;
    unsigned long long want = bounded ? strtoull(argv[3], nullptr, 10) : 0;

    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) < 0) {
        perror("recv_floor: connect");
        return 1;
    }
    static unsigned char buf[1 << 16];
    unsigned long calls = 0;
    size_t have = 0;
    while (have < 4) {  // the admission word
        ssize_t r = recv(fd, buf + have, 4 - have, 0);
        ++calls;
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return 1;
        have += static_cast<size_t>(r);
    }
    unsigned char req[8] = {1,
                            static_cast<unsigned char>(flags >> 24),
                            static_cast<unsigned char>(flags >> 16),
                            static_cast<unsigned char>(flags >> 8),
                            static_cast<unsigned char>(flags),
                            0,
                            0,
                            0};  // code, flags, MAC count 0, then the closing byte
    if (!send_all(fd, req, bounded ? 7 : 8)) return 1;
    unsigned long long got = 0;
    while (!bounded || got < want) {
        size_t room = sizeof buf;
        if (bounded && want - got < room) room = static_cast<size_t>(want - got);
        ssize_t r = recv(fd, buf, room, 0);
        ++calls;
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) {
            perror("recv_floor: recv");
            return 1;
        }
        if (r == 0) break;
        got += static_cast<unsigned long long>(r);
        if (write(1, buf, static_cast<size_t>(r)) != r) return 1;
    }
    if (bounded && !send_all(fd, req + 7, 1)) return 1;
    close(fd);
    fprintf(stderr, "recv calls: %lu\nreply bytes: %llu\n", calls, got);
    return bounded && got < want ? 1 : 0;
}
