/* Timer demo: two repeating timers (1.5 s and 2.0 s) and one single-shot
 * timer (5.0 s) print their labels as they fire during ten seconds. */
#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <morven/clock.h>
#include <morven/timer.h>

#define PROGRAM "morven-timer"
#define RUN_NS 10000000000ull

static int writeError; /* errno of the first label that could not be written */

/* Each label leaves at once, so a file or pipe sees it as it fires and an
 * interrupted run has lost nothing it printed. */
static void func(MVTimer *timer, void *data) {
    (void)timer;
    if (writeError) return;
    if (puts((const char *)data) == EOF || fflush(stdout) == EOF) writeError = errno ? errno : EIO;
}

int main(void) {
    MVTimer *timer15 = mvTimerCreate(0);
    MVTimer *timer20 = mvTimerCreate(0);
    uint64_t start;

    mvTimerSetFunction(timer15, func, "1.5 second timer");
    mvTimerSetFunction(timer20, func, "2.0 second timer");
    mvTimerMStart(timer15, 1500);
    mvTimerMStart(timer20, 2000);
    mvTimerMSingle(5000, func, "5.0 second timer", 0);

    start = mvGetTime();
    while (!writeError && mvGetTime() - start <= RUN_NS) mvTimerUpdateAll(0, 0);

    mvTimerDestroy(timer20);
    mvTimerDestroy(timer15);
    if (writeError) {
        fprintf(stderr, PROGRAM ": write error: %s\n", strerror(writeError));
        return 1;
    }
    return 0;
}
