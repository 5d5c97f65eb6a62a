// Engine-internal access to the timer registry.
#ifndef MORVEN_CORE_BASE_TIMER_INTERNAL_H
#define MORVEN_CORE_BASE_TIMER_INTERNAL_H

#include <cstddef>
#include <cstdint>

// Releases every timer still alive, single-shot and caller-owned alike, and the
// registry's storage. For tests and benchmarks; safe to call at any time.
void timerReleaseAll();

// Engine shut-down: releases the single-shot timers, which the core owns, and
// stops the caller's timers, which stay valid until mvTimerDestroy. Safe to
// call at any time, also from a timer function.
void timerShutDown();

// Makes the timers read time from now() instead of mvGetTime; null restores
// the real clock. Lets tests drive the timers with a fake clock.
void timerUseClock(uint64_t (*now)());

// Number of timers alive, single-shot ones included.
size_t timerLiveCount();

#endif
