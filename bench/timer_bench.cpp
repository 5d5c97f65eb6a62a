// Cost of a timer update with nothing due, and of firing, with many live
// timers; and how late timers fire in a busy-polling program.
#include <benchmark/benchmark.h>
#include <morven/clock.h>
#include <morven/timer.h>

#include <time.h>

#include <algorithm>
#include <random>
#include <vector>

#include "core/base/timer_internal.h"

namespace {

uint64_t frozenNow = 1000000000;
uint64_t frozenClock() { return frozenNow; }

void makeIdleTimers(int count) {
    for (int i = 0; i < count; i++) {
        MVTimer *t = mvTimerCreate(0);
        mvTimerMStart(t, 60000 + i % 1000);
    }
}

// The floor of an update that reads the clock.
void BM_ClockRead(benchmark::State &state) {
    for (auto _ : state) benchmark::DoNotOptimize(mvGetTime());
}
BENCHMARK(BM_ClockRead);

// Real clock: one clock reading plus one comparison.
void BM_TimerUpdateNothingDue(benchmark::State &state) {
    makeIdleTimers(int(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(mvTimerUpdateAll(0, 0));
    timerReleaseAll();
}
BENCHMARK(BM_TimerUpdateNothingDue)->Arg(0)->Arg(10)->Arg(10000);

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
BENCHMARK(BM_TimerUpdateOneFiring)->Arg(10)->Arg(10000);

// Real clock, one timer due at every update (period 0: due again at once).
void BM_TimerUpdateOneDue(benchmark::State &state) {
    makeIdleTimers(int(state.range(0)) - 1);
    MVTimer *t = mvTimerCreate(0);
    mvTimerSetFunction(t, noop, nullptr);
    mvTimerMStart(t, 0);
    for (auto _ : state) benchmark::DoNotOptimize(mvTimerUpdateAll(0, 0));
    timerReleaseAll();
}
BENCHMARK(BM_TimerUpdateOneDue)->Arg(10)->Arg(10000);

// Lateness: a program that polls mvTimerUpdateAll for two seconds, with 100
// repeating timers of periods 1..50 ms among 10,000 idle ones. Each firing
// is compared with the time it was due (start + k periods).
uint64_t threadCpuNs() {
    struct timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return uint64_t(ts.tv_sec) * 1000000000u + uint64_t(ts.tv_nsec);
}

std::vector<double> lateness;  // nanoseconds, every firing of the run
// What the timers themselves add, apart from time spent off the processor:
// the delay from the start of the update that fired (or the due time, if
// later) to the call, and firings that an earlier update should have made.
uint64_t pollReading, previousPollReading, longestInUpdate, missedPolls;

// The real clock, remembering what the timers last read.
uint64_t lastReading;
uint64_t recordingClock() { return lastReading = mvGetTime(); }

struct Watched {
    uint64_t period, due;
};

void recordLateness(MVTimer *, void *data) {
    Watched *w = static_cast<Watched *>(data);
    uint64_t now = mvGetTime();
    lateness.push_back(now > w->due ? double(now - w->due) : 0.0);
    if (pollReading == UINT64_MAX) pollReading = lastReading;  // first firing of this update
    uint64_t from = std::max(w->due, pollReading);
    if (now > from) longestInUpdate = std::max(longestInUpdate, now - from);
    if (w->due <= previousPollReading) missedPolls++;
    w->due += w->period;
    if (w->due <= now) w->due += ((now - w->due) / w->period + 1) * w->period;  // missed periods are skipped
}

void BM_TimerLatenessBusyPoll(benchmark::State &state) {
    for (auto _ : state) {
        timerUseClock(recordingClock);
        makeIdleTimers(10000);
        std::vector<Watched> watched(100);
        std::mt19937 rng(7);
        for (Watched &w : watched) {
            uint32_t ms = 1 + rng() % 50;
            MVTimer *t = mvTimerCreate(0);
            mvTimerSetFunction(t, recordLateness, &w);
            w.period = uint64_t(ms) * 1000000;
            mvTimerMStart(t, ms);
            w.due = lastReading + w.period;
        }
        lateness.clear();
        lateness.reserve(100000);
        uint64_t cpuStart = threadCpuNs(), start = mvGetTime(), end = start + 2000000000u;
        // The longest stretch between two polls: the process was off the
        // processor for about that long, and a timer due then fires that late.
        uint64_t previous = start, longestGap = 0;
        longestInUpdate = missedPolls = 0;
        previousPollReading = 0;
        for (uint64_t now = start; now < end; now = mvGetTime()) {
            longestGap = std::max(longestGap, now - previous);
            previous = now;
            pollReading = UINT64_MAX;  // set by the update's own clock reading
            lastReading = 0;
            mvTimerUpdateAll(0, 0);
            if (lastReading) previousPollReading = lastReading;
        }
        double offCpu = 1.0 - double(threadCpuNs() - cpuStart) / double(mvGetTime() - start);
        timerReleaseAll();
        timerUseClock(nullptr);
        std::sort(lateness.begin(), lateness.end());
        double sum = 0, over = 0;
        for (double l : lateness) {
            sum += l;
            over += l > 1e6;
        }
        size_t n = lateness.size();
        state.counters["firings"] = double(n);
        state.counters["max_lateness_us"] = n ? lateness.back() / 1000.0 : 0.0;
        state.counters["mean_lateness_us"] = n ? sum / double(n) / 1000.0 : 0.0;
        state.counters["p99_lateness_us"] = n ? lateness[n * 99 / 100] / 1000.0 : 0.0;
        state.counters["late_over_1ms"] = over;
        // Time the process spent off the processor shows up as lateness.
        state.counters["off_cpu_share"] = offCpu;
        state.counters["longest_poll_gap_us"] = double(longestGap) / 1000.0;
        state.counters["longest_in_update_us"] = double(longestInUpdate) / 1000.0;
        state.counters["missed_by_earlier_poll"] = double(missedPolls);
    }
}
BENCHMARK(BM_TimerLatenessBusyPoll)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
