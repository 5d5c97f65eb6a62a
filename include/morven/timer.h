/* MORVEN: timers.
 *
 * Timers live in the engine core and fire only inside mvTimerUpdateAll, on
 * the thread that calls it, earliest due time first; timers due at the same
 * time fire in the order they were created. Periods are in milliseconds of
 * the monotonic clock (mvGetTime).
 *
 * A repeating timer's next due time is its previous due time plus its
 * period, so it does not drift however late the updates come. After a stall
 * longer than a period it fires once and then skips ahead to the first
 * period boundary still in the future (unless it was made with
 * MV_TIMER_CATCH_UP). A timer fires at most once per update otherwise, and a
 * timer started during an update waits for the next one.
 *
 * Timer functions may start, stop, create and destroy timers, their own
 * included. mvDeinit releases the single-shot timers of mvTimerMSingle, which
 * the core owns, and stops every other timer: a timer from mvTimerCreate
 * stays the caller's, valid and stopped, until mvTimerDestroy, and may be
 * started again. Every function accepts a null timer and then does nothing.
 *
 * Threads: the timers share one unlocked registry, so every timer call
 * belongs to the engine's thread (the one that called mvInit or, in a
 * program that never calls it, the one thread that uses timers). Debug
 * builds abort on a timer call from another thread. */
#ifndef MORVEN_TIMER_H
#define MORVEN_TIMER_H

#include <morven/defs.h>

MV_EXTERN_C_BEGIN

/** Opaque timer handle. */
typedef struct MVTimer MVTimer;

/** Called as function(timer, data) each time timer fires. */
typedef void (*MVTimerFunction)(MVTimer *timer, void *data);

/** Flags for mvTimerCreate and mvTimerMSingle; 0 makes a repeating timer. */
enum {
    MV_TIMER_ONCE = 1,     /* fire once per start, then stop (the timer stays alive) */
    MV_TIMER_CATCH_UP = 2  /* after a stall, fire once for every missed period */
};

/** Creates a stopped timer without a function. flags: 0 or MV_TIMER_... flags.
 * The caller owns it and releases it with mvTimerDestroy. Null when out of
 * memory or for other flag bits. */
MV_API MVTimer *mvTimerCreate(int flags);

/** Sets what the timer calls when it fires; data is passed through untouched
 * and stays the caller's. A null function makes firing do nothing. */
MV_API void mvTimerSetFunction(MVTimer *timer, MVTimerFunction function, void *data);

/** (Re)starts the timer: it falls due ms milliseconds from now and, unless it
 * fires only once, every ms milliseconds after that. A period of 0 fires at
 * every update. Returns false for a null timer. */
MV_API bool mvTimerMStart(MVTimer *timer, uint32_t ms);

/** Stops the timer; it keeps its function and can be started again. */
MV_API void mvTimerStop(MVTimer *timer);

/** True while the timer is started and has a firing ahead. */
MV_API bool mvTimerIsRunning(const MVTimer *timer);

/** Makes a single-shot timer that calls function(timer, data) once, ms
 * milliseconds from now. The core owns it and releases it right after it has
 * fired (or, unfired, at mvDeinit). flags: 0 (MV_TIMER_ONCE is implied and
 * may be given). Returns false when out of memory or for other flag bits. */
MV_API bool mvTimerMSingle(uint32_t ms, MVTimerFunction function, void *data, int flags);

/** Fires every timer that is due now. maxFirings bounds the number of firings
 * in this call and budgetNs the clock time spent (checked after each firing);
 * 0 means no bound, and timers left due fire at the next call. Calls from
 * inside a timer function do nothing. Returns the number of firings. */
MV_API size_t mvTimerUpdateAll(size_t maxFirings, uint64_t budgetNs);

/** Stops and releases the timer. A timer function may destroy its own timer. */
MV_API void mvTimerDestroy(MVTimer *timer);

MV_EXTERN_C_END

#endif
