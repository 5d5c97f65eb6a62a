// POSIX threads, a mutex and two condition variables: nothing beyond
// POSIX.1-2008, so the pool builds wherever the engine does.
#include "core/base/workers.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace {

struct Crew;

struct Thread {
    Crew *crew;
    unsigned slot;
    pthread_t id;
};

// The threads of a pool and what they share.
struct Crew {
    Thread *threads = nullptr;
    unsigned started = 0;
    pthread_mutex_t lock;
    pthread_cond_t wake;    // a run started, or the crew is stopping
    pthread_cond_t idle;    // the last of the crew's threads finished its share
    uint64_t run = 0;       // runs started so far
    unsigned busy = 0;      // crew threads still on the current run
    bool stopping = false;
    // The current run; written under the lock before the threads are woken.
    size_t count = 0;
    void (*piece)(void *, size_t, unsigned) = nullptr;
    void *context = nullptr;
    std::atomic<size_t> next{0};  // the next index to hand out
};

// Counts the forks this process came from. A child of fork has only the
// thread that called it: a crew started before the fork has no threads in
// the child, and its lock may have been held by one of them.
std::atomic<unsigned> forkGeneration{0};
pthread_once_t forkHandlerOnce = PTHREAD_ONCE_INIT;

void countFork() { forkGeneration.fetch_add(1, std::memory_order_relaxed); }
void installForkHandler() { pthread_atfork(nullptr, nullptr, countFork); }

void share(Crew *c, unsigned slot) {
    for (size_t i; (i = c->next.fetch_add(1, std::memory_order_relaxed)) < c->count;) c->piece(c->context, i, slot);
}

void *loop(void *argument) {
    Thread *t = static_cast<Thread *>(argument);
    Crew *c = t->crew;
    uint64_t seen = 0;
    pthread_mutex_lock(&c->lock);
    for (;;) {
        while (!c->stopping && c->run == seen) pthread_cond_wait(&c->wake, &c->lock);
        if (c->stopping) break;
        seen = c->run;
        pthread_mutex_unlock(&c->lock);
        share(c, t->slot);
        pthread_mutex_lock(&c->lock);
        if (--c->busy == 0) pthread_cond_signal(&c->idle);
    }
    pthread_mutex_unlock(&c->lock);
    return nullptr;
}

void crewStop(Crew *c);

// Starts up to threads - 1 threads; null when not one could be started.
Crew *crewStart(unsigned threads) {
    Crew *c = new (std::nothrow) Crew;
    Thread *list = static_cast<Thread *>(calloc(threads - 1, sizeof(Thread)));
    bool locks = c && pthread_mutex_init(&c->lock, nullptr) == 0;
    bool wake = locks && pthread_cond_init(&c->wake, nullptr) == 0;
    bool idle = wake && pthread_cond_init(&c->idle, nullptr) == 0;
    if (!list || !idle) {
        if (idle) pthread_cond_destroy(&c->idle);
        if (wake) pthread_cond_destroy(&c->wake);
        if (locks) pthread_mutex_destroy(&c->lock);
        delete c;
        free(list);
        return nullptr;
    }
    c->threads = list;
    // The threads start with every signal blocked, so that the program's
    // handlers run on its own threads only.
    sigset_t all, previous;
    sigfillset(&all);
    bool masked = pthread_sigmask(SIG_SETMASK, &all, &previous) == 0;
    // Fewer threads than asked for still share the work.
    for (unsigned slot = 1; slot < threads; slot++) {
        Thread &t = list[c->started];
        t.crew = c;
        t.slot = slot;
        if (pthread_create(&t.id, nullptr, loop, &t) != 0) break;
        c->started++;
    }
    if (masked) pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (c->started == 0) {
        crewStop(c);
        return nullptr;
    }
    return c;
}

void crewStop(Crew *c) {
    if (!c) return;
    pthread_mutex_lock(&c->lock);
    c->stopping = true;
    pthread_cond_broadcast(&c->wake);
    pthread_mutex_unlock(&c->lock);
    for (unsigned i = 0; i < c->started; i++) pthread_join(c->threads[i].id, nullptr);
    pthread_cond_destroy(&c->idle);
    pthread_cond_destroy(&c->wake);
    pthread_mutex_destroy(&c->lock);
    free(c->threads);
    delete c;
}

// In a child of fork: the crew's threads are gone and its lock and
// conditions are in whatever state the fork caught them, so they are neither
// used nor destroyed; only the memory is given back.
void crewForget(Crew *c) {
    if (!c) return;
    free(c->threads);
    delete c;
}

}  // namespace

struct MVWorkers {
    Crew *crew;
    unsigned threads;     // taking part in a run, the caller's included
    unsigned generation;  // forkGeneration when the crew started
};

namespace {

// The pool's crew in this process: after a fork, a new one of at most the
// old size (so that slots stay below workersCount), started on first use.
Crew *currentCrew(MVWorkers *w) {
    unsigned generation = forkGeneration.load(std::memory_order_relaxed);
    if (w->generation != generation) {
        crewForget(w->crew);
        w->crew = w->threads >= 2 ? crewStart(w->threads) : nullptr;
        w->threads = w->crew ? w->crew->started + 1 : 1;
        w->generation = generation;
    }
    return w->crew;
}

}  // namespace

MVWorkers *workersCreate(unsigned threads) {
    if (threads < 2) return nullptr;
    pthread_once(&forkHandlerOnce, installForkHandler);
    MVWorkers *w = new (std::nothrow) MVWorkers;
    if (!w) return nullptr;
    w->generation = forkGeneration.load(std::memory_order_relaxed);
    w->crew = crewStart(threads);
    if (!w->crew) {
        delete w;
        return nullptr;
    }
    w->threads = w->crew->started + 1;
    return w;
}

void workersDestroy(MVWorkers *w) {
    if (!w) return;
    if (w->generation == forkGeneration.load(std::memory_order_relaxed))
        crewStop(w->crew);
    else
        crewForget(w->crew);
    delete w;
}

unsigned workersCount(const MVWorkers *w) { return w ? w->threads : 1; }

void workersRun(MVWorkers *w, size_t count, void (*piece)(void *, size_t, unsigned), void *context) {
    Crew *c = w && count >= 2 ? currentCrew(w) : nullptr;
    if (!c) {
        for (size_t i = 0; i < count; i++) piece(context, i, 0);
        return;
    }
    pthread_mutex_lock(&c->lock);
    c->count = count;
    c->piece = piece;
    c->context = context;
    c->next.store(0, std::memory_order_relaxed);
    c->busy = c->started;
    c->run++;
    pthread_cond_broadcast(&c->wake);
    pthread_mutex_unlock(&c->lock);
    share(c, 0);
    pthread_mutex_lock(&c->lock);
    while (c->busy != 0) pthread_cond_wait(&c->idle, &c->lock);
    pthread_mutex_unlock(&c->lock);
}

unsigned workersMachineThreads() {
#ifdef _SC_NPROCESSORS_ONLN
    long n = sysconf(_SC_NPROCESSORS_ONLN);
    return n > 0 ? static_cast<unsigned>(n < 64 ? n : 64) : 1;
#else
    return 1;
#endif
}
