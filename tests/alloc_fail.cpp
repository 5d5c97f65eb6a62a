#include "alloc_fail.h"

#include <cstdlib>

extern "C" void *__real_malloc(size_t size);
extern "C" void *__real_realloc(void *p, size_t size);

namespace {
bool armed = false;
bool stickyFailure = false;
long failIndex = -1;
long count = 0;

bool shouldFail() {
    if (!armed) return false;
    long index = count++;
    return index == failIndex || (stickyFailure && index > failIndex);
}
}  // namespace

extern "C" void *__wrap_malloc(size_t size) { return shouldFail() ? nullptr : __real_malloc(size); }

extern "C" void *__wrap_realloc(void *p, size_t size) {
    if (size == 0) return __real_realloc(p, size);
    return shouldFail() ? nullptr : __real_realloc(p, size);
}

namespace allocfail {

void failAt(long k, bool sticky) {
    count = 0;
    failIndex = k;
    stickyFailure = sticky;
    armed = true;
}

long disarm() {
    armed = false;
    return count;
}

long counted() { return count; }

}  // namespace allocfail
