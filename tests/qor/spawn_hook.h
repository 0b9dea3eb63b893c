// Test hook: the process-starting functions of the C library, replaced in the test program
// by versions that only count their calls and fail.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

extern int spawn_calls;

#ifdef __cplusplus
}
#endif
