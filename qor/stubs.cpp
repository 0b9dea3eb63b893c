// Handlers of commands that are not built yet. Each checks its options against its
// command-table row and refuses. Delete a stub when its command is implemented.
#include "ops.h"

int cmd_ac(const option_arg *args, int count) { return cmd_not_built("ac", args, count); }
int cmd_wtps(const option_arg *args, int count) { return cmd_not_built("wtps", args, count); }
int cmd_wtpflag(const option_arg *args, int count) { return cmd_not_built("wtpflag", args, count); }
int cmd_online(const option_arg *args, int count) { return cmd_not_built("online", args, count); }
