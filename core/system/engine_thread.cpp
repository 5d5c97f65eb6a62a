// Debug-build record of the engine's thread.
#include "core/system/engine_thread.h"

#ifndef NDEBUG

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

std::atomic<std::thread::id> owner{std::thread::id()};  // default id: nobody
std::atomic<bool> engineRunning{false};

[[noreturn]] void misuse(const char *call) {
    std::fprintf(stderr, "MORVEN: %s called from a thread that is not the engine's thread\n", call);
    std::abort();
}

}  // namespace

void engineThreadClaim(const char *call) {
    std::thread::id self = std::this_thread::get_id();
    std::thread::id expected = std::thread::id();
    if (!owner.compare_exchange_strong(expected, self) && expected != self) misuse(call);
}

void engineThreadCheck(const char *call) {
    std::thread::id held = owner.load();
    if (held != std::thread::id() && held != std::this_thread::get_id()) misuse(call);
}

void engineThreadStarted() { engineRunning = true; }

void engineThreadStopped(bool timersLeft) {
    engineRunning = false;
    if (!timersLeft) owner = std::thread::id();
}

void engineThreadTimersGone() {
    if (!engineRunning) owner = std::thread::id();
}

#endif
