// Command handlers of qor (one per row of the command table) and the requests of the
// WTP-operation commands. Each handler takes the argument vector and its count and
// returns the exit status (0 or 1).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "aclink.h"
#include "front.h"

// Status queries.
int cmd_ac(const option_arg *args, int count);
int cmd_wtps(const option_arg *args, int count);
int cmd_wtpflag(const option_arg *args, int count);

// WTP configuration.
int cmd_cfg(const option_arg *args, int count);

// Firmware upgrade commands (ops_firmware.cpp).
int cmd_upg(const option_arg *args, int count);
int cmd_initfw(const option_arg *args, int count);
int cmd_fwlist(const option_arg *args, int count);

// Radio operations (ops_radio.cpp).
int cmd_scan(const option_arg *args, int count);
int cmd_bgscan(const option_arg *args, int count);
int cmd_autoch(const option_arg *args, int count);
int cmd_autotp(const option_arg *args, int count);
int cmd_kick(const option_arg *args, int count);

// AC daemon commands (ops_daemon.cpp).
int cmd_mem(const option_arg *args, int count);
int cmd_online(const option_arg *args, int count);
int cmd_exit(const option_arg *args, int count);
int cmd_kill(const option_arg *args, int count);
int cmd_nodc(const option_arg *args, int count);

// WTP control commands (ops_control.cpp).
int cmd_rst(const option_arg *args, int count);
int cmd_dbg(const option_arg *args, int count);
int cmd_cac(const option_arg *args, int count);
int cmd_sh(const option_arg *args, int count);

// ---- requests of the firmware commands; each returns 0 or 1 --------------------------

// REQ_UPGRADE: n result bytes are read and reported.
int request_upgrade(int sock, const std::vector<mac_addr> &macs, uint32_t period, uint32_t type);

// REQ_INIT_FW: no reply.
int request_init_fw(int sock, uint32_t state);

// REQ_FW_LIST: result bytes are reported without failing the request; then the one-step
// and two-step lists.
int request_fw_list(int sock, const std::vector<mac_addr> &macs, std::vector<mac_addr> &one_step,
                    std::vector<mac_addr> &two_step);

// ---- requests of the radio operations; each returns 0 or 1 ----------------------------

// REQ_SCAN: n result bytes are read and reported.
int request_scan(int sock, const std::vector<mac_addr> &macs, uint8_t radio);

// REQ_BG_SCAN, REQ_AUTO_CHANNEL, REQ_AUTO_TXPOWER (`code`). With `reads_status` a u32
// count and that many status bytes are read; any non-zero status fails the request.
int request_radio_auto(int sock, uint8_t code, uint32_t radio, uint8_t enable, uint32_t period,
                       bool reads_status);

// REQ_KICK: one result byte per WTP MAC is read and reported.
int request_kick(int sock, const std::vector<mac_addr> &wtps, uint8_t radio, uint8_t wlan,
                 const std::vector<mac_addr> &clients);

// ---- requests of the daemon commands; each returns 0 or 1 -----------------------------

// REQ_MEM_INFO: the path of the memory record file the AC wrote (*present false: none).
int request_mem_info(int sock, std::string &path, bool *present);

// REQ_NO_DISCOVERY: no reply.
int request_no_discovery(int sock, uint32_t value);

// ---- requests of the WTP control commands; each returns 0 or 1 ----------------------

// REQ_RESET: n result bytes are read and reported.
int request_reset(int sock, const std::vector<mac_addr> &macs, uint8_t factory, uint32_t wait,
                  uint8_t flick_reboot);

// REQ_SHELL: `outputs` gets one slot per MAC; a slot is filled (present[i] true) for
// WTPs that answered 0. Non-zero results are reported but do not fail the request.
int request_shell(int sock, const std::vector<mac_addr> &macs, uint8_t output_type,
                  uint32_t timeout, const std::string &command, std::vector<std::string> &outputs,
                  std::vector<bool> &present);

// REQ_CHANGE_AC: the address text is sent as typed.
int request_change_ac(int sock, const std::vector<mac_addr> &macs, const std::string &address);

// REQ_DEBUG: no reply.
int request_debug(int sock, uint32_t enable, uint32_t wtp_flag, const uint8_t mac[6]);
