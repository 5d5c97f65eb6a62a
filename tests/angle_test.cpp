#include <gtest/gtest.h>
#include <morven/angle.h>

#include <cmath>
#include <limits>
#include <random>

#include "float_bits.h"

namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();
const float kFloatPi = 3.1415927410125732f;       // the float nearest pi, above it
const float kBelowPi = 3.141592502593994f;        // the largest float below pi
const float kMaxFloat = std::numeric_limits<float>::max();

// The wrap steps written out one by one: float difference, tested and stepped
// in double, each step rounded back to float.
float referenceRads(float a, float b) {
    const double pi = 3.141592653589793, turn = 6.283185307179586;
    float d = b - a;
    for (;;) {
        double wide = d;
        if (wide < -pi)
            d = static_cast<float>(wide + turn);
        else
            break;
    }
    for (;;) {
        double wide = d;
        if (wide > pi)
            d = static_cast<float>(wide - turn);
        else
            break;
    }
    return d;
}

float referenceDegs(float a, float b) {
    float d = b - a;
    while (d < -180.0f) d += 360.0f;
    while (d > 180.0f) d -= 360.0f;
    return d;
}

// A float with random sign, mantissa and an exponent giving magnitudes below 2^maxExponent.
float randomFloat(std::mt19937 &rng, int minExponent, int maxExponent) {
    int exponent = minExponent + static_cast<int>(rng() % static_cast<unsigned>(maxExponent - minExponent));
    uint32_t bits = (rng() & 0x80000000u) | (static_cast<uint32_t>(exponent + 127) << 23) | (rng() & 0x7FFFFFu);
    return floatFromBits(bits);
}

}  // namespace

TEST(AngleDifferenceRads, WrapsTheFloatNearestPi) {
    EXPECT_FLOAT_BITS(-kBelowPi, mvAngleDifferenceRads(0.0f, kFloatPi));
    EXPECT_FLOAT_BITS(kBelowPi, mvAngleDifferenceRads(0.0f, -kFloatPi));
    EXPECT_FLOAT_BITS(kBelowPi, mvAngleDifferenceRads(kFloatPi, 0.0f));
    EXPECT_FLOAT_BITS(kBelowPi, mvAngleDifferenceRads(0.0f, kBelowPi));
    EXPECT_FLOAT_BITS(-kBelowPi, mvAngleDifferenceRads(0.0f, -kBelowPi));
}

TEST(AngleDifferenceRads, StepsByWholeTurns) {
    EXPECT_FLOAT_BITS(3.0f, mvAngleDifferenceRads(0.0f, 3.0f));
    EXPECT_FLOAT_BITS(-2.2831852436065674f, mvAngleDifferenceRads(0.0f, 4.0f));
    EXPECT_FLOAT_BITS(0.7168146967887878f, mvAngleDifferenceRads(0.0f, 7.0f));
    EXPECT_FLOAT_BITS(-0.7168146967887878f, mvAngleDifferenceRads(0.0f, -7.0f));
    EXPECT_FLOAT_BITS(-2.5663704872131348f, mvAngleDifferenceRads(0.0f, 10.0f));
    EXPECT_FLOAT_BITS(-0.5f, mvAngleDifferenceRads(1.0f, 0.5f));
    EXPECT_FLOAT_BITS(-kBelowPi, mvAngleDifferenceRads(0.0f, mvAngleDegToRad(180.0f)));
}

TEST(AngleDifferenceDegs, KeepsBothEndsAndStepsByWholeTurns) {
    const float b[] = {180, -180, 190, -190, 540, -540, 720, 1000};
    const float expected[] = {180, -180, -170, 170, 180, -180, 0, -80};
    for (int i = 0; i < 8; i++) EXPECT_FLOAT_BITS(expected[i], mvAngleDifferenceDegs(0.0f, b[i])) << b[i];
    EXPECT_FLOAT_BITS(-180.0f, mvAngleDifferenceDegs(180.0f, 0.0f));
    EXPECT_FLOAT_BITS(-20.0f, mvAngleDifferenceDegs(10.0f, 350.0f));
    EXPECT_FLOAT_BITS(20.0f, mvAngleDifferenceDegs(350.0f, 10.0f));
}

TEST(AngleConversion, RoundsTheDoubleQuotientOnce) {
    EXPECT_FLOAT_BITS(180.0f, mvAngleRadToDeg(kFloatPi));
    EXPECT_FLOAT_BITS(57.295780181884766f, mvAngleRadToDeg(1.0f));
    EXPECT_FLOAT_BITS(kFloatPi, mvAngleDegToRad(180.0f));
    EXPECT_FLOAT_BITS(1.5707963705062866f, mvAngleDegToRad(90.0f));
    EXPECT_FLOAT_BITS(0.01745329238474369f, mvAngleDegToRad(1.0f));
    EXPECT_FLOAT_BITS(-0.0f, mvAngleDegToRad(-0.0f));
    EXPECT_TRUE(std::isnan(mvAngleRadToDeg(kNaN)));
    EXPECT_TRUE(std::isnan(mvAngleDegToRad(kNaN)));
    // The product is formed in double, so it cannot overflow on the way.
    EXPECT_TRUE(std::isfinite(mvAngleDegToRad(kMaxFloat)));
    EXPECT_FLOAT_BITS(kInf, mvAngleRadToDeg(kMaxFloat));
}

TEST(AngleDifference, NaNAndInfiniteDifferencesGiveNaN) {
    const float cases[][2] = {{kNaN, 0}, {0, kNaN}, {0, kInf}, {0, -kInf}, {kInf, 0}, {kInf, kInf}, {-kMaxFloat, kMaxFloat}};
    for (const auto &c : cases) {
        EXPECT_TRUE(std::isnan(mvAngleDifferenceRads(c[0], c[1]))) << c[0] << " " << c[1];
        EXPECT_TRUE(std::isnan(mvAngleDifferenceDegs(c[0], c[1]))) << c[0] << " " << c[1];
    }
}

TEST(AngleDifference, HugeDifferencesAreReducedExactlyThenWrapped) {
    const float huge[] = {std::nextafter(134217728.0f, kInf), 1e10f, 3.0e38f, kMaxFloat};
    const double turn = 6.283185307179586;
    for (float d : huge) {
        for (float sign : {1.0f, -1.0f}) {
            float reduced = static_cast<float>(std::remainder(static_cast<double>(sign * d), turn));
            EXPECT_FLOAT_BITS(referenceRads(0.0f, reduced), mvAngleDifferenceRads(0.0f, sign * d)) << sign * d;
            float r = mvAngleDifferenceRads(0.0f, sign * d);
            EXPECT_LE(std::fabs(r), kBelowPi);
        }
    }
    const float hugeDegs[] = {std::nextafter(8589934592.0f, kInf), 1e20f, kMaxFloat};
    for (float d : hugeDegs) {
        for (float sign : {1.0f, -1.0f}) {
            float r = mvAngleDifferenceDegs(0.0f, sign * d);
            EXPECT_FLOAT_BITS(referenceDegs(0.0f, std::remainder(sign * d, 360.0f)), r) << sign * d;
            EXPECT_LE(std::fabs(r), 180.0f);
        }
    }
    // 2^33 + 1024 lies 96 above a multiple of 360; the float remainder is exact.
    EXPECT_FLOAT_BITS(96.0f, mvAngleDifferenceDegs(0.0f, 8589935616.0f));
}

TEST(AngleDifference, LargeDifferencesInsideTheDomainStillStepTurnByTurn) {
    // Near the limits the stepped results drift from the exact remainder:
    // these pin the step-by-step path below the reduction thresholds.
    const float rads[] = {1e6f, -1e6f, 3.0e6f};
    for (float b : rads) EXPECT_FLOAT_BITS(referenceRads(0.0f, b), mvAngleDifferenceRads(0.0f, b)) << b;
    const float degs[] = {1e8f, -1e8f, 4.0e8f};
    for (float b : degs) EXPECT_FLOAT_BITS(referenceDegs(0.0f, b), mvAngleDifferenceDegs(0.0f, b)) << b;
}

TEST(AngleDifference, RandomAnglesAgreeWithTheStepByStepReference) {
    std::mt19937 rng(20261208);
    for (int i = 0; i < 20000; i++) {
        float a = randomFloat(rng, -30, 9);  // below 512 in magnitude
        float b = randomFloat(rng, -30, 9);
        float rads = mvAngleDifferenceRads(a, b);
        ASSERT_EQ(floatBits(referenceRads(a, b)), floatBits(rads)) << a << " " << b;
        ASSERT_LE(std::fabs(rads), kBelowPi);
        float degs = mvAngleDifferenceDegs(a, b);
        ASSERT_EQ(floatBits(referenceDegs(a, b)), floatBits(degs)) << a << " " << b;
        ASSERT_LE(std::fabs(degs), 180.0f);
        float c = randomFloat(rng, -126, 100);
        ASSERT_EQ(floatBits(static_cast<float>(static_cast<double>(c) * 180.0 / 3.141592653589793)),
                  floatBits(mvAngleRadToDeg(c)))
            << c;
        ASSERT_EQ(floatBits(static_cast<float>(static_cast<double>(c) * 3.141592653589793 / 180.0)),
                  floatBits(mvAngleDegToRad(c)))
            << c;
    }
}
