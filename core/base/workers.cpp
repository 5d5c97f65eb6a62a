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

struct Thread {
    MVWorkers *pool;
    unsigned slot;
    pthread_t id;
};

}  // namespace

struct MVWorkers {
    Thread *threads = nullptr;
    unsigned started = 0;
    pthread_mutex_t lock;
    pthread_cond_t wake;    // a run started, or the pool is stopping
    pthread_cond_t idle;    // the last of the pool's threads finished its share
    uint64_t run = 0;       // runs started so far
    unsigned busy = 0;      // pool threads still on the current run
    bool stopping = false;
    // The current run; written under the lock before the threads are woken.
    size_t count = 0;
    void (*piece)(void *, size_t, unsigned) = nullptr;
    void *context = nullptr;
    std::atomic<size_t> next{0};  // the next index to hand out
};

namespace {

void share(MVWorkers *w, unsigned slot) {
    for (size_t i; (i = w->next.fetch_add(1, std::memory_order_relaxed)) < w->count;) w->piece(w->context, i, slot);
}

void *loop(void *argument) {
    Thread *t = static_cast<Thread *>(argument);
    MVWorkers *w = t->pool;
    uint64_t seen = 0;
    pthread_mutex_lock(&w->lock);
    for (;;) {
        while (!w->stopping && w->run == seen) pthread_cond_wait(&w->wake, &w->lock);
        if (w->stopping) break;
        seen = w->run;
        pthread_mutex_unlock(&w->lock);
        share(w, t->slot);
        pthread_mutex_lock(&w->lock);
        if (--w->busy == 0) pthread_cond_signal(&w->idle);
    }
    pthread_mutex_unlock(&w->lock);
    return nullptr;
}

}  // namespace

MVWorkers *workersCreate(unsigned threads) {
    if (threads < 2) return nullptr;
    MVWorkers *w = new (std::nothrow) MVWorkers;
    Thread *list = static_cast<Thread *>(calloc(threads - 1, sizeof(Thread)));
    bool locks = w && pthread_mutex_init(&w->lock, nullptr) == 0;
    bool wake = locks && pthread_cond_init(&w->wake, nullptr) == 0;
    bool idle = wake && pthread_cond_init(&w->idle, nullptr) == 0;
    if (!list || !idle) {
        if (idle) pthread_cond_destroy(&w->idle);
        if (wake) pthread_cond_destroy(&w->wake);
        if (locks) pthread_mutex_destroy(&w->lock);
        delete w;
        free(list);
        return nullptr;
    }
    w->threads = list;
    // The threads start with every signal blocked, so that the program's
    // handlers run on its own threads only.
    sigset_t all, previous;
    sigfillset(&all);
    bool masked = pthread_sigmask(SIG_SETMASK, &all, &previous) == 0;
    // Fewer threads than asked for still share the work.
    for (unsigned slot = 1; slot < threads; slot++) {
        Thread &t = list[w->started];
        t.pool = w;
        t.slot = slot;
        if (pthread_create(&t.id, nullptr, loop, &t) != 0) break;
        w->started++;
    }
    if (masked) pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (w->started == 0) {
        workersDestroy(w);
        return nullptr;
    }
    return w;
}

void workersDestroy(MVWorkers *w) {
    if (!w) return;
    pthread_mutex_lock(&w->lock);
    w->stopping = true;
    pthread_cond_broadcast(&w->wake);
    pthread_mutex_unlock(&w->lock);
    for (unsigned i = 0; i < w->started; i++) pthread_join(w->threads[i].id, nullptr);
    pthread_cond_destroy(&w->idle);
    pthread_cond_destroy(&w->wake);
    pthread_mutex_destroy(&w->lock);
    free(w->threads);
    delete w;
}

unsigned workersCount(const MVWorkers *w) { return w ? w->started + 1 : 1; }

void workersRun(MVWorkers *w, size_t count, void (*piece)(void *, size_t, unsigned), void *context) {
    if (!w || count < 2) {
        for (size_t i = 0; i < count; i++) piece(context, i, 0);
        return;
    }
    pthread_mutex_lock(&w->lock);
    w->count = count;
    w->piece = piece;
    w->context = context;
    w->next.store(0, std::memory_order_relaxed);
    w->busy = w->started;
    w->run++;
    pthread_cond_broadcast(&w->wake);
    pthread_mutex_unlock(&w->lock);
    share(w, 0);
    pthread_mutex_lock(&w->lock);
    while (w->busy != 0) pthread_cond_wait(&w->idle, &w->lock);
    pthread_mutex_unlock(&w->lock);
}

unsigned workersMachineThreads() {
#ifdef _SC_NPROCESSORS_ONLN
    long n = sysconf(_SC_NPROCESSORS_ONLN);
    return n > 0 ? static_cast<unsigned>(n < 64 ? n : 64) : 1;
#else
    return 1;
#endif
}
