// qor: the operator's client of the AC daemon.
#include "front.h"
#include "out_buf.h"
#include "stdout_check.h"

int main(int argc, char **argv) {
    // Output that could not be written is a failed run, whatever the command's status.
    if (!stdout_check::check_at_exit(STDOUT_FAILED, 1)) return 1;
    return qor_main(argc, argv);
}
