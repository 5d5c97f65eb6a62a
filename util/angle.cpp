// Angle differences wrapped into one turn, and unit conversions.
#include <morven/angle.h>

#include <cmath>
#include <limits>

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;

// Beyond these magnitudes one whole-turn step no longer changes a float.
constexpr float kRadStepLimit = 134217728.0f;   // 2^27
constexpr float kDegStepLimit = 8589934592.0f;  // 2^33

}  // namespace

extern "C" {

MV_API float mvAngleDifferenceRads(float a, float b) {
    float d = b - a;
    if (std::isnan(d)) return d;
    if (std::isinf(d)) return std::numeric_limits<float>::quiet_NaN();
    if (std::fabs(d) > kRadStepLimit) d = static_cast<float>(std::remainder(static_cast<double>(d), kTwoPi));
    while (static_cast<double>(d) < -kPi) d = static_cast<float>(static_cast<double>(d) + kTwoPi);
    while (static_cast<double>(d) > kPi) d = static_cast<float>(static_cast<double>(d) - kTwoPi);
    return d;
}

MV_API float mvAngleDifferenceDegs(float a, float b) {
    float d = b - a;
    if (std::isnan(d)) return d;
    if (std::isinf(d)) return std::numeric_limits<float>::quiet_NaN();
    if (std::fabs(d) > kDegStepLimit) d = std::remainder(d, 360.0f);
    while (d < -180.0f) d = d + 360.0f;
    while (d > 180.0f) d = d - 360.0f;
    return d;
}

MV_API float mvAngleRadToDeg(float rads) { return static_cast<float>(static_cast<double>(rads) * 180.0 / kPi); }

MV_API float mvAngleDegToRad(float degs) { return static_cast<float>(static_cast<double>(degs) * kPi / 180.0); }

}
