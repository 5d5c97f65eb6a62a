#include <morven/vec2.h>

#include <cstddef>

static_assert(sizeof(MVVec2) == 8 && offsetof(MVVec2, x) == 0 && offsetof(MVVec2, y) == 4,
              "MVVec2 layout is part of the ABI");

extern "C" MV_API MVVec2 mvVec2f(float x, float y) { return MVVec2{x, y}; }
