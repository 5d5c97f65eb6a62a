// Cost of a timer update with nothing due, and of firing, with many live timers.
#include <benchmark/benchmark.h>
#include <morven/timer.h>

#include <vector>

#include "core/timer_internal.h"

namespace {

uint64_t frozenNow = 1000000000;
uint64_t frozenClock() { return frozenNow; }

void makeIdleTimers(int count) {
    for (int i = 0; i < count; i++) {
        MVTimer *t = mvTimerCreate(0);
        mvTimerMStart(t, 60000 + i % 1000);
    }
}

// Real clock: one clock reading plus one comparison.
void BM_TimerUpdateNothingDue(benchmark::State &state) {
    makeIdleTimers(int(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(mvTimerUpdateAll(0, 0));
    timerReleaseAll();
}
BENCHMARK(BM_TimerUpdateNothingDue)->Arg(0)->Arg(10000);

// Frozen clock: the registry's own share of an idle update.
void BM_TimerUpdateNothingDueFrozenClock(benchmark::State &state) {
    timerUseClock(frozenClock);
    makeIdleTimers(int(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(mvTimerUpdateAll(0, 0));
    timerReleaseAll();
    timerUseClock(nullptr);
}
BENCHMARK(BM_TimerUpdateNothingDueFrozenClock)->Arg(10000);

void noop(MVTimer *, void *) {}

// One repeating timer due at every update among 10,000 idle ones.
void BM_TimerUpdateOneFiring(benchmark::State &state) {
    timerUseClock(frozenClock);
    makeIdleTimers(int(state.range(0)));
    MVTimer *t = mvTimerCreate(0);
    mvTimerSetFunction(t, noop, nullptr);
    mvTimerMStart(t, 1);
    for (auto _ : state) {
        frozenNow += 1000000;
        benchmark::DoNotOptimize(mvTimerUpdateAll(0, 0));
    }
    timerReleaseAll();
    timerUseClock(nullptr);
}
BENCHMARK(BM_TimerUpdateOneFiring)->Arg(10000);

}  // namespace
