// Per-thread last failure message.
#include <morven/error.h>

#include <cstdarg>
#include <cstdio>

#include "core/base/error.h"

namespace {
thread_local char lastError[512];
}

void setError(const char *format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(lastError, sizeof lastError, format, args);
    va_end(args);
    for (char *c = lastError; *c; ++c)
        if (*c == '\n' || *c == '\r') *c = ' ';
}

extern "C" {

MV_API const char *mvGetError(void) { return lastError; }

MV_API void mvClearError(void) { lastError[0] = '\0'; }

}  // extern "C"
