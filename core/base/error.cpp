// Per-thread last failure message.
#include <morven/error.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/base/error.h"

namespace {
thread_local char lastError[512];
}

void mvCoreSetError(const char *format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(lastError, sizeof lastError, format, args);
    va_end(args);
    for (char *c = lastError; *c; ++c)
        if (*c == '\n' || *c == '\r') *c = ' ';
}

void refuseArgument(const char *call, const char *what, const char *allowed, long value) {
    mvCoreSetError("%s: %s must be %s, not %ld", call, what, allowed, value);
}

void ignoreArgument(int *once, const char *call, const char *what, const char *allowed, long value) {
    // Atomic, so that a warning is given once even when calls of any-thread
    // functions race for it.
    if (__atomic_exchange_n(once, 1, __ATOMIC_RELAXED)) return;
    fprintf(stderr, "MORVEN: %s: %s must be %s, not %ld; ignored\n", call, what, allowed, value);
}

void setSystemError(int error, const char *format, ...) {
    char what[384];
    va_list args;
    va_start(args, format);
    std::vsnprintf(what, sizeof what, format, args);
    va_end(args);
    mvCoreSetError("%s: %s", what, strerror(error));
}

extern "C" {

MV_API const char *mvGetError(void) { return lastError; }

MV_API void mvClearError(void) { lastError[0] = '\0'; }

}  // extern "C"
