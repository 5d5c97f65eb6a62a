/* MORVEN: clock.
 *
 * Threads: any thread. */
#ifndef MORVEN_CLOCK_H
#define MORVEN_CLOCK_H

#include <morven/defs.h>

MV_EXTERN_C_BEGIN

/** Nanoseconds of the engine's clock. Never decreases; the origin is
 * arbitrary, so only differences between two readings mean anything. It is
 * the system's monotonic clock, except while the engine runs on its frame
 * clock (a replay, a headless run with MORVEN_MAX_FRAMES, a recording; see
 * <morven/window.h>): then it stands still between mvLoop calls and moves
 * on by each frame's length, so do not wait for it to pass a time inside a
 * frame. */
MV_API uint64_t mvGetTime(void);

MV_EXTERN_C_END

#endif
