// Timers: a registry of every live timer plus a binary min-heap of the started
// ones, keyed on (due time, creation number). An update with nothing due costs
// one clock reading and one comparison with the heap's top. The registry is
// shared and unlocked: the calls belong to the engine's thread, which debug
// builds check.
#include <morven/timer.h>

#include <morven/clock.h>

#include <cstdlib>

#include "core/base/engine_thread.h"
#include "core/base/error.h"
#include "core/base/timer_internal.h"

namespace {

constexpr size_t kNotQueued = ~size_t(0);
constexpr uint64_t kNsPerMs = 1000000;

}  // namespace

struct MVTimer {
    uint64_t due;          // clock time of the next firing
    uint64_t period;       // nanoseconds
    uint64_t serial;       // creation number; breaks ties between equal due times
    MVTimerFunction function;
    void *data;
    MVTimer *prev, *next;  // the registry's list of live timers
    size_t slot;           // position in the heap, or kNotQueued when stopped
    int flags;
    bool coreOwned;        // single-shot: released by the core after firing
};

namespace {

struct Registry {
    MVTimer **heap;        // capacity always covers every live timer
    size_t heapSize;
    size_t heapCapacity;
    MVTimer *live;         // head of the list of live timers
    size_t liveCount;
    uint64_t nextSerial;
    uint64_t (*clock)();   // null: mvGetTime
    bool updating;
    uint64_t updateNow;    // the time the running update fires up to
    MVTimer *firing;       // the timer whose function runs now
    bool firingReleased;   // ... and whether that function released it
};

Registry reg = {nullptr, 0, 0, nullptr, 0, 0, nullptr, false, 0, nullptr, false};

uint64_t now() { return reg.clock ? reg.clock() : mvGetTime(); }

bool earlier(const MVTimer *a, const MVTimer *b) {
    return a->due < b->due || (a->due == b->due && a->serial < b->serial);
}

void place(MVTimer *t, size_t i) {
    reg.heap[i] = t;
    t->slot = i;
}

void siftUp(size_t i) {
    MVTimer *t = reg.heap[i];
    while (i > 0) {
        size_t up = (i - 1) / 2;
        if (!earlier(t, reg.heap[up])) break;
        place(reg.heap[up], i);
        i = up;
    }
    place(t, i);
}

void siftDown(size_t i) {
    MVTimer *t = reg.heap[i];
    for (;;) {
        size_t child = 2 * i + 1;
        if (child >= reg.heapSize) break;
        if (child + 1 < reg.heapSize && earlier(reg.heap[child + 1], reg.heap[child])) child++;
        if (!earlier(reg.heap[child], t)) break;
        place(reg.heap[child], i);
        i = child;
    }
    place(t, i);
}

void enqueue(MVTimer *t) {
    place(t, reg.heapSize++);
    siftUp(t->slot);
}

void dequeue(MVTimer *t) {
    size_t i = t->slot;
    t->slot = kNotQueued;
    MVTimer *last = reg.heap[--reg.heapSize];
    if (last == t) return;
    place(last, i);
    siftUp(i);
    siftDown(last->slot);
}

// The due time after a firing that was due at `due`, seen at time `at`.
uint64_t nextDue(const MVTimer *t, uint64_t at) {
    if (t->period == 0) return at + 1;
    uint64_t next = t->due + t->period;
    if (next > at || (t->flags & MV_TIMER_CATCH_UP)) return next;
    return t->due + ((at - t->due) / t->period + 1) * t->period;
}

// The heap's storage lives only while some timer does, so a program that
// has destroyed its timers holds nothing of the registry.
void dropStorageIfUnused() {
    if (reg.liveCount) return;
    std::free(reg.heap);
    reg.heap = nullptr;
    reg.heapSize = 0;
    reg.heapCapacity = 0;
}

void release(MVTimer *t) {
    if (t->slot != kNotQueued) dequeue(t);
    if (t->prev)
        t->prev->next = t->next;
    else
        reg.live = t->next;
    if (t->next) t->next->prev = t->prev;
    reg.liveCount--;
    if (t == reg.firing) reg.firingReleased = true;
    std::free(t);
    if (reg.liveCount == 0) {
        dropStorageIfUnused();
        engineThreadTimersGone();
    }
}

MVTimer *makeTimer(int flags, bool coreOwned) {
    if (reg.heapCapacity <= reg.liveCount) {
        size_t capacity = reg.heapCapacity ? 2 * reg.heapCapacity : 16;
        void *grown = std::realloc(reg.heap, capacity * sizeof(MVTimer *));
        if (!grown) return nullptr;
        reg.heap = static_cast<MVTimer **>(grown);
        reg.heapCapacity = capacity;
    }
    MVTimer *t = static_cast<MVTimer *>(std::malloc(sizeof(MVTimer)));
    if (!t) {
        dropStorageIfUnused();
        return nullptr;
    }
    t->due = 0;
    t->period = 0;
    t->serial = reg.nextSerial++;
    t->function = nullptr;
    t->data = nullptr;
    t->prev = nullptr;
    t->next = reg.live;
    if (reg.live) reg.live->prev = t;
    reg.live = t;
    reg.liveCount++;
    t->slot = kNotQueued;
    t->flags = flags;
    t->coreOwned = coreOwned;
    return t;
}

void start(MVTimer *t, uint32_t ms) {
    t->period = uint64_t(ms) * kNsPerMs;
    t->due = now() + t->period;
    // A timer started by a timer function waits for the next update.
    if (reg.updating && t->due <= reg.updateNow) t->due = reg.updateNow + 1;
    if (t->slot == kNotQueued) {
        enqueue(t);
    } else {
        siftUp(t->slot);
        siftDown(t->slot);
    }
}

}  // namespace

void timerReleaseAll() {
    while (reg.live) release(reg.live);
    dropStorageIfUnused();
}

void timerShutDown() {
    for (MVTimer *t = reg.live, *next; t; t = next) {
        next = t->next;
        if (t->coreOwned)
            release(t);
        else if (t->slot != kNotQueued)
            dequeue(t);
    }
}

void timerUseClock(uint64_t (*clock)()) { reg.clock = clock; }

size_t timerLiveCount() { return reg.liveCount; }

extern "C" {

MV_API MVTimer *mvTimerCreate(int flags) {
    engineThreadClaim(__func__);
    if (flags & ~(MV_TIMER_ONCE | MV_TIMER_CATCH_UP)) {
        refuseArgument(__func__, "flags", "0 or MV_TIMER_ flags", flags);
        return nullptr;
    }
    MVTimer *t = makeTimer(flags, false);
    if (!t) mvCoreSetError("mvTimerCreate: out of memory");
    return t;
}

MV_API void mvTimerSetFunction(MVTimer *timer, MVTimerFunction function, void *data) {
    engineThreadClaim(__func__);
    if (!timer) return;
    timer->function = function;
    timer->data = data;
}

MV_API bool mvTimerMStart(MVTimer *timer, uint32_t ms) {
    engineThreadClaim(__func__);
    if (!timer) {
        mvCoreSetError("mvTimerMStart: no timer");
        return false;
    }
    start(timer, ms);
    return true;
}

MV_API void mvTimerStop(MVTimer *timer) {
    engineThreadClaim(__func__);
    if (timer && timer->slot != kNotQueued) dequeue(timer);
}

MV_API bool mvTimerIsRunning(const MVTimer *timer) {
    engineThreadClaim(__func__);
    return timer && timer->slot != kNotQueued;
}

MV_API bool mvTimerMSingle(uint32_t ms, MVTimerFunction function, void *data, int flags) {
    engineThreadClaim(__func__);
    if (flags & ~MV_TIMER_ONCE) {
        refuseArgument(__func__, "flags", "0", flags);
        return false;
    }
    MVTimer *t = makeTimer(MV_TIMER_ONCE, true);
    if (!t) {
        mvCoreSetError("mvTimerMSingle: out of memory");
        return false;
    }
    t->function = function;
    t->data = data;
    start(t, ms);
    return true;
}

MV_API size_t mvTimerUpdateAll(size_t maxFirings, uint64_t budgetNs) {
    engineThreadClaim(__func__);
    if (reg.updating || reg.heapSize == 0) return 0;
    uint64_t at = now();
    if (reg.heap[0]->due > at) return 0;
    reg.updating = true;
    reg.updateNow = at;
    size_t fired = 0;
    while (reg.heapSize > 0 && reg.heap[0]->due <= at) {
        MVTimer *t = reg.heap[0];
        // Reschedule before calling, so the function sees a consistent timer
        // that it may stop, restart or destroy.
        if (t->flags & MV_TIMER_ONCE) {
            dequeue(t);
        } else {
            t->due = nextDue(t, at);
            siftDown(0);
        }
        reg.firing = t;
        reg.firingReleased = false;
        if (t->function) t->function(t, t->data);
        if (!reg.firingReleased && t->coreOwned && t->slot == kNotQueued) release(t);
        reg.firing = nullptr;
        fired++;
        if (maxFirings && fired >= maxFirings) break;
        if (budgetNs && now() - at >= budgetNs) break;
    }
    reg.updating = false;
    return fired;
}

MV_API void mvTimerDestroy(MVTimer *timer) {
    engineThreadClaim(__func__);
    if (timer) release(timer);
}

}  // extern "C"
