// Monotonic clock in nanoseconds.
#include <morven/clock.h>

#include <time.h>

extern "C" {

MV_API uint64_t mvGetTime(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1000000000u + uint64_t(ts.tv_nsec);
}

}  // extern "C"
