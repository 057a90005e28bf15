/* Wickport: hooks for tests that watch the report traffic in-process. */
#ifndef WICKPORT_TEST_H
#define WICKPORT_TEST_H

#include "wickport.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Receives every trace line (the same text WICKPORT_TRACE writes, without the
 * line end). Called with the library's lock held: it must not call back into
 * Wickport. NULL removes the hook. */
typedef void (*WpTraceCallback)(const char* line, void* user);
WICKPORT_API void WpSetTraceCallback(WpTraceCallback callback, void* user);

/* The milliseconds reads have waited for replies that never came and WpPause
 * has paused on virtual adapters, summed over every adapter since the library
 * was loaded: real time with speed=real, the
 * adapter's own clock with speed=max. Tests compare two readings. */
WICKPORT_API int WpGetWaitedMs(uint64_t* milliseconds);

#ifdef __cplusplus
}
#endif

#endif
