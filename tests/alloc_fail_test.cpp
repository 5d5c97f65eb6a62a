#include <gtest/gtest.h>
#include <morven/smap.h>

#include <cstdlib>

#include "alloc_fail.h"

// The wrapper must reach the library's own allocations, or no injection test means anything.
TEST(AllocFail, ReachesLibraryAllocations) {
    allocfail::failAt(0);
    MVSMap *map = mvSMapCreate();
    EXPECT_EQ(allocfail::disarm(), 1);
    EXPECT_EQ(map, nullptr);
    map = mvSMapCreate();
    ASSERT_NE(map, nullptr);
    mvSMapDestroy(map);
}
