// A few threads that share one job with the thread that hands it over: the
// software renderer draws a frame's sprites in bands this way. A pool
// belongs to one thread at a time (the one calling workersRun); the job's
// pieces run on that thread and the pool's own, all at once.
//
// fork: a child has none of the pool's threads. It may go on using and
// destroying a pool made before the fork; the first run in the child starts
// new threads (no more than before), and destroying it there only gives back
// its memory.
#ifndef MORVEN_CORE_BASE_WORKERS_H
#define MORVEN_CORE_BASE_WORKERS_H

#include <cstddef>

struct MVWorkers;

// A pool in which `threads` threads take part: the caller's and threads - 1
// of the pool's own (fewer where the system will not start more). Null when
// threads is below 2, when not one thread could be started, or out of memory.
MVWorkers *workersCreate(unsigned threads);

// Stops and joins the threads; null is ignored.
void workersDestroy(MVWorkers *workers);

// How many threads take part in a run, the caller's included.
unsigned workersCount(const MVWorkers *workers);

// Calls piece(context, index, slot) once for every index in [0, count), the
// pieces shared out among the caller and the pool as each becomes free, and
// returns when all are done. slot, below workersCount, tells the threads
// apart: no two pieces run at once with the same slot. With a null pool
// every piece runs on the caller, in order, with slot 0.
void workersRun(MVWorkers *workers, size_t count, void (*piece)(void *context, size_t index, unsigned slot),
                void *context);

// The number of threads the machine runs at once (at least 1).
unsigned workersMachineThreads();

#endif
