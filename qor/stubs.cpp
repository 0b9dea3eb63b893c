// Handlers of commands that are not built yet. Each checks its options against its
// command-table row and refuses. Delete a stub when its command is implemented.
#include "ops.h"

int cmd_ac(const option_arg *args, int count) { return cmd_not_built("ac", args, count); }
int cmd_wtps(const option_arg *args, int count) { return cmd_not_built("wtps", args, count); }
int cmd_wtpflag(const option_arg *args, int count) { return cmd_not_built("wtpflag", args, count); }
int cmd_cfg(const option_arg *args, int count) { return cmd_not_built("cfg", args, count); }
int cmd_upg(const option_arg *args, int count) { return cmd_not_built("upg", args, count); }
int cmd_initfw(const option_arg *args, int count) { return cmd_not_built("initfw", args, count); }
int cmd_fwlist(const option_arg *args, int count) { return cmd_not_built("fwlist", args, count); }
int cmd_scan(const option_arg *args, int count) { return cmd_not_built("scan", args, count); }
int cmd_bgscan(const option_arg *args, int count) { return cmd_not_built("bgscan", args, count); }
int cmd_autoch(const option_arg *args, int count) { return cmd_not_built("autoch", args, count); }
int cmd_autotp(const option_arg *args, int count) { return cmd_not_built("autotp", args, count); }
int cmd_kick(const option_arg *args, int count) { return cmd_not_built("kick", args, count); }
int cmd_mem(const option_arg *args, int count) { return cmd_not_built("mem", args, count); }
int cmd_online(const option_arg *args, int count) { return cmd_not_built("online", args, count); }
int cmd_exit(const option_arg *args, int count) { return cmd_not_built("exit", args, count); }
int cmd_kill(const option_arg *args, int count) { return cmd_not_built("kill", args, count); }
int cmd_nodc(const option_arg *args, int count) { return cmd_not_built("nodc", args, count); }
