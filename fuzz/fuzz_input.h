// Bytes from the fuzzer turned into the values drawing calls take: special
// floats (huge, infinite, NaN, denormal, the frame's edges), quarter pixels
// on and around the frame, and raw bit patterns.
#ifndef MORVEN_FUZZ_INPUT_H
#define MORVEN_FUZZ_INPUT_H

#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

struct FuzzInput {
    const uint8_t *data;
    size_t size;
    float w, h;  // the frame's size, among the special values

    uint8_t byte() {
        if (!size) return 0;
        size--;
        return *data++;
    }
    float value() {
        const float special[] = {0.0f,   0.5f,     1.0f,     -1.0f,       w,       h,      3e9f,
                                 -3e9f,  1e30f,    -1e30f,   FLT_MAX,     -FLT_MAX, INFINITY, -INFINITY,
                                 NAN,    FLT_MIN,  1e-45f,   16777218.0f, -0.0f,   0.375f, 0.3125f,
                                 2.5e9f, -2.2e9f,  65536.5f, 1.0e-7f,     -0.625f};
        constexpr unsigned kSpecial = sizeof special / sizeof special[0];
        uint8_t kind = byte();
        if (kind < kSpecial) return special[kind];
        if (kind < 240) return (kind - kSpecial) * 0.25f - 8.0f;  // on and around the frame, quarter pixels
        uint32_t bits = uint32_t(byte()) | uint32_t(byte()) << 8 | uint32_t(byte()) << 16 | uint32_t(byte()) << 24;
        float f;
        memcpy(&f, &bits, sizeof f);
        return f;
    }
};

#endif
