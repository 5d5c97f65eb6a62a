// Allocation-failure injection for tests. The test binary is linked with
// --wrap=malloc,--wrap=realloc, so every malloc and realloc made by the
// library's objects goes through a counter that can be told to fail.
#ifndef MORVEN_TESTS_ALLOC_FAIL_H
#define MORVEN_TESTS_ALLOC_FAIL_H

#include <cstddef>

namespace allocfail {

// From now on, the allocation with index k (0 = the next one) fails, and so
// does every later one when `sticky` is set. realloc to size 0 never fails.
void failAt(long k, bool sticky = false);
// Stops failing; returns how many allocations were counted since failAt.
long disarm();
// Allocations counted since failAt (or the last disarm).
long counted();

// Runs op with allocation k failing for k = 0, 1, 2, ... until op gets through
// with no allocation failed; check(k) runs after each attempt, disarmed.
// Returns the number of allocations op made when nothing failed.
template <class Op, class Check>
long everyFailure(Op op, Check check) {
    for (long k = 0;; k++) {
        failAt(k);
        op();
        long made = disarm();
        check(k);
        if (made <= k) return made;
    }
}

}  // namespace allocfail

#endif
