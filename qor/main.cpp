// qor: the operator's client of the AC daemon.
#include "front.h"
#include "stdout_check.h"

int main(int argc, char **argv) {
    // Output that could not be written is a failed run, whatever the command's status.
    if (!stdout_check::check_at_exit("ERROR: Writing standard output failed: %s.\n", 1)) return 1;
    return qor_main(argc, argv);
}
