// qor with a byte source of the bench laid over the AC's socket; built twice:
//   qor_stats      reads as qor does, counting the receive calls;
//   qor_fieldwise  asks each recv() for exactly what the next field (or run of fixed-size
//                  fields) needs, never more, as a reader without a buffer would.
// Both print "recv calls: N" on standard error when the command has ended.
#include <sys/socket.h>

#include <cerrno>
#include <cstdio>

#include "aclink.h"
#include "front.h"
#include "out_buf.h"
#include "stdout_check.h"

namespace {

class bench_source final : public byte_source {
public:
    ssize_t read(uint8_t *buf, size_t want, size_t room) override {
        ssize_t n;
        do {
            ++calls;
            n = recv(sock, buf, QOR_BENCH_FIELDWISE ? want : room, 0);
        } while (n < 0 && errno == EINTR);
        return n;
    }
    int sock = -1;
    unsigned long calls = 0;
};

bench_source source;

byte_source *layer(int sock) {
    source.sock = sock;
    return &source;
}

}  // namespace

int main(int argc, char **argv) {
    // As qor's own main: output that could not be written is a failed run.
    if (!stdout_check::check_at_exit(STDOUT_FAILED, 1)) return 1;
    ac_source_layer = layer;
    int rc = qor_main(argc, argv);
    fprintf(stderr, "recv calls: %lu\n", source.calls);
    return rc;
}
