// qor: the operator's client of the AC daemon.
#include "front.h"

int main(int argc, char **argv) { return qor_main(argc, argv); }
