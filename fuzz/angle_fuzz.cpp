// Fuzzes the angle functions with arbitrary float pairs (NaN, infinities,
// huge values included): every call returns, results lie in the documented
// range, and they agree bit for bit with a step-by-step reference inside the
// stepping domain and with the documented exact reduction beyond it.
#include <morven/angle.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "float_bits.h"
#include "fuzz_check.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;
const float kLargestBelowPi = 3.14159250259399414f;

float referenceRads(float a, float b) {
    float d = b - a;
    if (std::isnan(d) || std::isinf(d)) return NAN;
    if (std::fabs(d) > 134217728.0f) d = static_cast<float>(std::remainder(static_cast<double>(d), kTwoPi));
    while (static_cast<double>(d) < -kPi) d = static_cast<float>(static_cast<double>(d) + kTwoPi);
    while (static_cast<double>(d) > kPi) d = static_cast<float>(static_cast<double>(d) - kTwoPi);
    return d;
}

float referenceDegs(float a, float b) {
    float d = b - a;
    if (std::isnan(d) || std::isinf(d)) return NAN;
    if (std::fabs(d) > 8589934592.0f) d = std::remainder(d, 360.0f);
    while (d < -180.0f) d = d + 360.0f;
    while (d > 180.0f) d = d - 360.0f;
    return d;
}

void checkSame(float expected, float actual) {
    if (std::isnan(expected))
        FUZZ_CHECK(std::isnan(actual));
    else
        FUZZ_CHECK(floatBits(expected) == floatBits(actual));
}

void checkPair(float a, float b) {
    float d = b - a;
    bool defined = !std::isnan(d) && !std::isinf(d);

    float r = mvAngleDifferenceRads(a, b);
    FUZZ_CHECK(std::isnan(r) == !defined);
    if (defined) FUZZ_CHECK(r >= -kLargestBelowPi && r <= kLargestBelowPi);
    checkSame(referenceRads(a, b), r);

    float g = mvAngleDifferenceDegs(a, b);
    FUZZ_CHECK(std::isnan(g) == !defined);
    if (defined) FUZZ_CHECK(g >= -180.0f && g <= 180.0f);
    checkSame(referenceDegs(a, b), g);

    // Wrapping is by whole turns. Degree steps are exact at these sizes; each
    // radian step rounds, so only a few steps are compared.
    if (defined && std::fabs(d) < 1e6f) {
        double turns = (static_cast<double>(d) - g) / 360.0;
        FUZZ_CHECK(turns == std::nearbyint(turns));
    }
    if (defined && std::fabs(d) < 100.0f) {
        double turns = (static_cast<double>(d) - r) / kTwoPi;
        FUZZ_CHECK(std::fabs(turns - std::nearbyint(turns)) < 1e-3);
    }

    for (float x : {a, b}) {
        checkSame(static_cast<float>(static_cast<double>(x) * 180.0 / kPi), mvAngleRadToDeg(x));
        checkSame(static_cast<float>(static_cast<double>(x) * kPi / 180.0), mvAngleDegToRad(x));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // Each pair is eight bytes; a short tail is padded with zeros. A pair
    // inside the stepping domain may take millions of steps, so inputs are
    // limited to a few pairs.
    for (size_t pos = 0; pos < size && pos < 8 * 8; pos += 8) {
        uint8_t bytes[8] = {};
        std::memcpy(bytes, data + pos, size - pos < 8 ? size - pos : 8);
        uint32_t a, b;
        std::memcpy(&a, bytes, 4);
        std::memcpy(&b, bytes + 4, 4);
        checkPair(floatFromBits(a), floatFromBits(b));
    }
    return 0;
}
