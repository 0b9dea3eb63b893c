// tovik_ac: registers the controller with the management server, or adds, deletes or looks up
// an AP there; one request and one reply per run.
#include <arpa/inet.h>
#include <cstdint>
#include <cstdio>

#include "stdout_check.h"
#include "tovik_ac.h"
#include "tovik_util.h"

int main(int argc, char **argv)
{
    // The results are printed: output that could not be written is a failed run. Standard
    // output is where the failure is, so it is told on standard error.
    if (!stdout_check::check_at_exit("[ERR] Writing standard output failed: %s\n", 1))
        return 1;
    init_config();
    if (int rc = checkoption(argc, argv))
        return rc;
    getselfIPMAC(ipAddr, macAddr, interface);
    inet_aton(ipAddr, &acLanAddr.sin_addr);
    DBG("Vornhelm Interface = %s\n", interface);
    DBG("Vornhelm MAC Addr  = %s\n", macAddr);
    DBG("Vornhelm IP  Addr  = %s\n", ipAddr);
    // Refuse before any traffic a request that the packet buffer cannot hold.
    uint8_t probe[PKT_SIZE];
    int probe_len = 0;
    if (ac_pkt_gen(probe, &probe_len) != 0) {
        printf("[ERR] Parameters too long, the request does not fit in %d bytes\n", PKT_SIZE);
        return RES_WRONG_PARAMETER;
    }
    ac_process();
    return 0;
}
