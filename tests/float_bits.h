// Bit-exact float comparison for tests: results are meant to be reproducible
// to the last bit, so they are compared as bit patterns, never with tolerances.
#ifndef MORVEN_TESTS_FLOAT_BITS_H
#define MORVEN_TESTS_FLOAT_BITS_H

#include <cstdint>
#include <cstring>

inline uint32_t floatBits(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

inline float floatFromBits(uint32_t bits) {
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

// Expects `actual` to have the very bit pattern of `expected`.
#define EXPECT_FLOAT_BITS(expected, actual) EXPECT_EQ(floatBits(expected), floatBits(actual)) << "value " << (actual)

#endif
