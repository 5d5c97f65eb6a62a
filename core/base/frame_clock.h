// Switching mvGetTime (and with it the timers) between the system's clock
// and a frame clock that only the main loop moves.
#ifndef MORVEN_CORE_BASE_FRAME_CLOCK_H
#define MORVEN_CORE_BASE_FRAME_CLOCK_H

#include <cstdint>

// From now on mvGetTime stands still between frameClockAdvance calls. It
// starts where the system clock is, so time keeps going forward.
void frameClockStart();

// Moves the frame clock on by ns; nothing when it is not running.
void frameClockAdvance(uint64_t ns);

// Back to the system clock, never behind the time the frame clock reached.
void frameClockStop();

bool frameClockRunning();

#endif
