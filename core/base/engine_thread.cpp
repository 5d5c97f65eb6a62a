// Record of the engine's thread.
#include "core/base/engine_thread.h"

#ifdef MORVEN_THREAD_CHECKS

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace {

// A thread is known by the address of its own copy of this marker, which no
// other live thread shares; null: nobody holds the engine.
thread_local char threadMarker;
std::atomic<const void *> owner{nullptr};
std::atomic<bool> engineRunning{false};

[[noreturn]] void misuse(const char *call) {
    std::fprintf(stderr, "MORVEN: %s called from a thread that is not the engine's thread\n", call);
    std::abort();
}

}  // namespace

void engineThreadClaim(const char *call) {
    const void *self = &threadMarker;
    const void *expected = nullptr;
    if (!owner.compare_exchange_strong(expected, self) && expected != self) misuse(call);
}

void engineThreadCheck(const char *call) {
    const void *held = owner.load();
    if (held && held != &threadMarker) misuse(call);
}

void engineThreadStarted() { engineRunning = true; }

void engineThreadStopped(bool timersLeft) {
    engineRunning = false;
    if (!timersLeft) owner = nullptr;
}

void engineThreadTimersGone() {
    if (!engineRunning) owner = nullptr;
}

#endif
