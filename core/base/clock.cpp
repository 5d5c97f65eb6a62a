// The engine's clock: the system's monotonic clock, or a frame clock that
// the main loop advances by whole frames (replays, headless runs, recording).
#include <morven/clock.h>

#include <time.h>

#include <atomic>

#include "core/base/frame_clock.h"

namespace {

// While frameClockOn, mvGetTime reads frameNs. Otherwise it reads the system
// clock plus offsetNs: the amount a frame clock ran ahead of the system's,
// kept so that time never goes back when the frame clock is handed back.
std::atomic<bool> frameClockOn{false};
std::atomic<uint64_t> frameNs{0};
std::atomic<uint64_t> offsetNs{0};

uint64_t systemNs() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1000000000u + uint64_t(ts.tv_nsec);
}

}  // namespace

void frameClockStart() {
    if (frameClockOn.load()) return;
    frameNs.store(systemNs() + offsetNs.load());
    frameClockOn.store(true);
}

void frameClockAdvance(uint64_t ns) {
    if (frameClockOn.load()) frameNs.fetch_add(ns);
}

void frameClockStop() {
    if (!frameClockOn.load()) return;
    uint64_t frame = frameNs.load(), real = systemNs() + offsetNs.load();
    if (frame > real) offsetNs.fetch_add(frame - real);
    frameClockOn.store(false);
}

bool frameClockRunning() { return frameClockOn.load(); }

extern "C" {

MV_API uint64_t mvGetTime(void) {
    if (frameClockOn.load()) return frameNs.load();
    return systemNs() + offsetNs.load();
}

}  // extern "C"
