/* MORVEN: clock.
 *
 * Threads: any thread. */
#ifndef MORVEN_CLOCK_H
#define MORVEN_CLOCK_H

#include <morven/defs.h>

MV_EXTERN_C_BEGIN

/** Nanoseconds of the system's monotonic clock. Never decreases; the origin is
 * arbitrary, so only differences between two readings mean anything. */
MV_API uint64_t mvGetTime(void);

MV_EXTERN_C_END

#endif
