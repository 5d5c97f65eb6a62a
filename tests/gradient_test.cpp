#include <gtest/gtest.h>
#include <morven/gradient.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "alloc_fail.h"
#include "float_bits.h"

namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();

struct Stop {
    float key, value;
};

// Owns a gradient for one test.
struct GradientFixture : ::testing::Test {
    MVGradient *g = mvGradientCreate();
    ~GradientFixture() override { mvGradientDestroy(g); }

    void setStops(const std::vector<Stop> &stops) {
        while (g->numvals) mvGradientRemoveStopIndex(g, 0);
        for (const Stop &s : stops) mvGradientSetStopKey(g, s.key, s.value);
        ASSERT_EQ(g->numvals, stops.size());
    }

    std::vector<Stop> stops() const {
        std::vector<Stop> out;
        for (uint64_t i = 0; i < g->numvals; i++) out.push_back({g->vals[i].x, g->vals[i].y});
        return out;
    }
};

// Stops compared bit for bit, so -0 and +0 (and NaN payloads) differ.
::testing::AssertionResult sameStops(const std::vector<Stop> &expected, const std::vector<Stop> &actual) {
    if (expected.size() != actual.size())
        return ::testing::AssertionFailure() << expected.size() << " stops expected, " << actual.size() << " held";
    for (size_t i = 0; i < expected.size(); i++) {
        if (floatBits(expected[i].key) != floatBits(actual[i].key) ||
            floatBits(expected[i].value) != floatBits(actual[i].value))
            return ::testing::AssertionFailure() << "stop " << i << ": expected (" << expected[i].key << ", "
                                                 << expected[i].value << "), held (" << actual[i].key << ", "
                                                 << actual[i].value << ")";
    }
    return ::testing::AssertionSuccess();
}

const MVGradientInterpFunction kBuiltins[] = {_mvGradientInterpNearest, _mvGradientInterpLinear,
                                              _mvGradientInterpCosine, _mvGradientInterpCubic};

using GradientCreation = GradientFixture;
using GradientSampling = GradientFixture;
using GradientEditing = GradientFixture;
using GradientAllocationFailure = GradientFixture;

}  // namespace

TEST_F(GradientCreation, StartsWithTwoStopsAndLinearInterpolation) {
    ASSERT_NE(g, nullptr);
    EXPECT_TRUE(sameStops({{0.0f, 0.0f}, {1.0f, 1.0f}}, stops()));
    EXPECT_EQ(g->interp, _mvGradientInterpLinear);
    mvGradientDestroy(nullptr);
}

TEST_F(GradientSampling, NewGradientIsLinearAndHeldAtBothEnds) {
    const float positions[] = {-1.0f, 0.0f, 0.25f, 1.0f, 2.0f};
    const float expected[] = {0.0f, 0.0f, 0.25f, 1.0f, 1.0f};
    for (int i = 0; i < 5; i++) EXPECT_FLOAT_BITS(expected[i], mvGradientGetValue(g, positions[i])) << positions[i];
}

TEST_F(GradientSampling, NearestTakesTheUpperStopFromTheMidpointOn) {
    mvGradientSetInterp(g, MV_GRADIENT_NEAREST);
    EXPECT_FLOAT_BITS(0.0f, mvGradientGetValue(g, 0.25f));
    EXPECT_FLOAT_BITS(0.0f, mvGradientGetValue(g, std::nextafter(0.5f, 0.0f)));
    EXPECT_FLOAT_BITS(1.0f, mvGradientGetValue(g, 0.5f));
    EXPECT_FLOAT_BITS(1.0f, mvGradientGetValue(g, 0.75f));
}

TEST_F(GradientSampling, CosineMatchesTheDoubleWeightRoundedOnce) {
    mvGradientSetInterp(g, MV_GRADIENT_COSINE);
    EXPECT_FLOAT_BITS(0.1464466154575348f, mvGradientGetValue(g, 0.25f));
    EXPECT_FLOAT_BITS(0.5f, mvGradientGetValue(g, 0.5f));
    EXPECT_FLOAT_BITS(0.8535534143447876f, mvGradientGetValue(g, 0.75f));
}

TEST_F(GradientSampling, CubicUsesTheOuterNeighboursValues) {
    mvGradientSetInterp(g, MV_GRADIENT_CUBIC);
    setStops({{0, 0}, {1, 1}, {2, 0}});
    EXPECT_FLOAT_BITS(0.296875f, mvGradientGetValue(g, 0.25f));
    EXPECT_FLOAT_BITS(0.625f, mvGradientGetValue(g, 0.5f));
    EXPECT_FLOAT_BITS(0.625f, mvGradientGetValue(g, 1.5f));
    EXPECT_FLOAT_BITS(0.0f, mvGradientGetValue(g, 2.5f));
    setStops({{0, 0}, {1, 1}, {2, 4}, {3, 9}});
    EXPECT_FLOAT_BITS(0.125f, mvGradientGetValue(g, 0.5f));
    EXPECT_FLOAT_BITS(2.0f, mvGradientGetValue(g, 1.5f));
    EXPECT_FLOAT_BITS(6.875f, mvGradientGetValue(g, 2.5f));
    // The outer neighbours' keys play no part: only their values do.
    setStops({{-100, 0}, {1, 1}, {2, 4}, {50, 9}});
    EXPECT_FLOAT_BITS(2.0f, mvGradientGetValue(g, 1.5f));
}

TEST_F(GradientSampling, CubicWithTwoStopsEqualsLinear) {
    setStops({{-3.0f, 0.7f}, {5.5f, -2.25f}});
    for (float x = -4.0f; x < 6.0f; x += 0.3125f) {
        float linear = _mvGradientInterpLinear(g, x);
        EXPECT_FLOAT_BITS(linear, _mvGradientInterpCubic(g, x)) << x;
    }
}

TEST_F(GradientSampling, StopsBoundsAndNaNGiveStoredValuesInEveryMode) {
    setStops({{-1.0f, 3.0f}, {0.5f, -7.0f}, {4.0f, 0.125f}});
    for (MVGradientInterpFunction f : kBuiltins) {
        EXPECT_FLOAT_BITS(3.0f, f(g, -1.0f));
        EXPECT_FLOAT_BITS(3.0f, f(g, -1e30f));
        EXPECT_FLOAT_BITS(3.0f, f(g, -std::numeric_limits<float>::infinity()));
        EXPECT_FLOAT_BITS(-7.0f, f(g, 0.5f));
        EXPECT_FLOAT_BITS(0.125f, f(g, 4.0f));
        EXPECT_FLOAT_BITS(0.125f, f(g, 1e30f));
        EXPECT_FLOAT_BITS(0.125f, f(g, kNaN));
    }
}

TEST_F(GradientSampling, SingleStopHoldsEverywhereAndNoStopsGiveZero) {
    setStops({{2.0f, 0.375f}});
    for (MVGradientInterpFunction f : kBuiltins) {
        for (float x : {-5.0f, 2.0f, 9.0f, kNaN}) EXPECT_FLOAT_BITS(0.375f, f(g, x));
    }
    mvGradientRemoveStopIndex(g, 0);
    ASSERT_EQ(g->numvals, 0u);
    EXPECT_EQ(_mvGradientFindMin(g, 0.0f), nullptr);
    for (MVGradientInterpFunction f : kBuiltins) {
        for (float x : {-5.0f, 0.0f, kNaN}) EXPECT_FLOAT_BITS(0.0f, f(g, x));
    }
}

TEST_F(GradientSampling, FindMinReturnsTheGoverningStop) {
    setStops({{0, 0}, {1, 1}, {2, 4}});
    EXPECT_EQ(_mvGradientFindMin(g, -0.5f), nullptr);
    EXPECT_EQ(_mvGradientFindMin(g, 0.0f), &g->vals[0]);
    EXPECT_EQ(_mvGradientFindMin(g, -0.0f), &g->vals[0]);
    EXPECT_EQ(_mvGradientFindMin(g, 1.5f), &g->vals[1]);
    EXPECT_EQ(_mvGradientFindMin(g, 2.0f), &g->vals[2]);
    EXPECT_EQ(_mvGradientFindMin(g, 7.0f), &g->vals[2]);
    EXPECT_EQ(_mvGradientFindMin(g, kNaN), &g->vals[2]);
}

namespace {

// The sampling formulas written out for one segment, as a check on the
// rounding order of each built-in function.
float referenceSample(const std::vector<Stop> &stops, int mode, float x) {
    size_t below = stops.size();  // the greatest key not above x
    for (size_t i = stops.size(); i-- > 0;) {
        if (stops[i].key <= x) {
            below = i;
            break;
        }
    }
    if (std::isnan(x)) below = stops.size() - 1;
    if (below == stops.size()) return stops.front().value;
    if (below + 1 == stops.size()) return stops.back().value;
    float k1 = stops[below].key, k2 = stops[below + 1].key;
    float y1 = stops[below].value, y2 = stops[below + 1].value;
    float t = (x - k1) / (k2 - k1);
    switch (mode) {
        case MV_GRADIENT_NEAREST: return t < 0.5f ? y1 : y2;
        case MV_GRADIENT_LINEAR: return (y2 - y1) * t + y1;
        case MV_GRADIENT_COSINE: {
            double weight = (1.0 - std::cos(static_cast<double>(t) * 3.141592653589793)) * 0.5;
            return static_cast<float>(weight) * (y2 - y1) + y1;
        }
        default: {
            float y0 = below > 0 ? stops[below - 1].value : y1;
            float y3 = below + 2 < stops.size() ? stops[below + 2].value : y2;
            float a0 = (y3 - y2) - (y0 - y1), a1 = (y0 - y1) - a0, a2 = y2 - y0, a3 = y1;
            float cubicTerm = a0 * t;
            cubicTerm = cubicTerm * t;
            cubicTerm = cubicTerm * t;
            float squareTerm = a1 * t;
            squareTerm = squareTerm * t;
            return ((cubicTerm + squareTerm) + a2 * t) + a3;
        }
    }
}

}  // namespace

TEST_F(GradientSampling, RandomStopsAndPositionsFollowTheFormulasBitForBit) {
    std::mt19937 rng(7);
    auto randomValue = [&](float scale) {
        return (static_cast<float>(rng() % 2000001) / 1000000.0f - 1.0f) * scale;
    };
    for (int round = 0; round < 300; round++) {
        std::vector<Stop> model;
        float key = randomValue(10.0f);
        size_t count = 1 + rng() % 6;
        for (size_t i = 0; i < count; i++) {
            model.push_back({key, randomValue(100.0f)});
            key += 0.001f + std::fabs(randomValue(3.0f));
        }
        setStops(model);
        for (int probe = 0; probe < 40; probe++) {
            size_t p = static_cast<size_t>(probe);
            float x = p == 0 ? kNaN : p <= count ? model[p - 1].key : randomValue(20.0f);
            for (int mode = MV_GRADIENT_NEAREST; mode <= MV_GRADIENT_CUBIC; mode++) {
                float expected = referenceSample(model, mode, x);
                ASSERT_EQ(floatBits(expected), floatBits(kBuiltins[mode](g, x)))
                    << "mode " << mode << " x " << x << " round " << round;
            }
        }
    }
}

namespace {
MVGradient *seenGradient;
float seenPosition;
float answerSeven(MVGradient *gradient, float x) {
    seenGradient = gradient;
    seenPosition = x;
    return floatFromBits(0x7FC00123u);
}
}  // namespace

TEST_F(GradientSampling, InstalledFunctionGetsTheGradientAndItsResultIsPassedOn) {
    mvGradientSetInterpFunc(g, answerSeven);
    EXPECT_EQ(floatBits(mvGradientGetValue(g, -0.0f)), 0x7FC00123u);
    EXPECT_EQ(seenGradient, g);
    EXPECT_EQ(floatBits(seenPosition), 0x80000000u);
    mvGradientSetInterpFunc(g, nullptr);
    EXPECT_EQ(g->interp, _mvGradientInterpLinear);
}

TEST_F(GradientSampling, ModesOutsideTheTableLeaveTheFunction) {
    mvGradientSetInterp(g, MV_GRADIENT_CUBIC);
    mvGradientSetInterp(g, 4);
    mvGradientSetInterp(g, -1);
    EXPECT_EQ(g->interp, _mvGradientInterpCubic);
    mvGradientSetInterp(g, MV_GRADIENT_NEAREST);
    EXPECT_EQ(g->interp, _mvGradientInterpNearest);
    mvGradientSetInterp(g, MV_GRADIENT_COSINE);
    EXPECT_EQ(g->interp, _mvGradientInterpCosine);
    mvGradientSetInterp(g, MV_GRADIENT_LINEAR);
    EXPECT_EQ(g->interp, _mvGradientInterpLinear);
}

TEST_F(GradientEditing, InsertingBetweenAppendingAndPrepending) {
    mvGradientSetStopKey(g, 0.5f, 0.8f);
    EXPECT_TRUE(sameStops({{0, 0}, {0.5f, 0.8f}, {1, 1}}, stops()));
    EXPECT_FLOAT_BITS(0.4000000059604645f, mvGradientGetValue(g, 0.25f));
    mvGradientSetStopKey(g, 2.0f, 3.0f);
    EXPECT_FLOAT_BITS(2.0f, mvGradientGetValue(g, 1.5f));
    EXPECT_FLOAT_BITS(3.0f, mvGradientGetValue(g, 5.0f));
    mvGradientSetStopKey(g, -4.0f, 9.0f);
    EXPECT_TRUE(sameStops({{-4, 9}, {0, 0}, {0.5f, 0.8f}, {1, 1}, {2, 3}}, stops()));
}

TEST_F(GradientEditing, ExistingKeyKeepsItsStoredKey) {
    mvGradientSetStopKey(g, 1.0f, 0.5f);
    mvGradientSetStopKey(g, -0.0f, -2.0f);
    EXPECT_TRUE(sameStops({{0.0f, -2.0f}, {1.0f, 0.5f}}, stops()));
    mvGradientRemoveStopKey(g, -0.0f);
    EXPECT_TRUE(sameStops({{1.0f, 0.5f}}, stops()));
}

TEST_F(GradientEditing, NaNKeysEqualNothingAndAppend) {
    mvGradientSetStopKey(g, kNaN, 5.0f);
    mvGradientSetStopKey(g, kNaN, 6.0f);
    EXPECT_TRUE(sameStops({{0, 0}, {1, 1}, {kNaN, 5}, {kNaN, 6}}, stops()));
    mvGradientRemoveStopKey(g, kNaN);
    EXPECT_EQ(g->numvals, 4u);
}

TEST_F(GradientEditing, OutOfRangeRequestsChangeNothing) {
    setStops({{0, 0}, {1, 1}, {3, 2}});
    MVVec2 *before = g->vals;
    mvGradientSetStopIndex(g, 3, 9.0f);
    mvGradientSetStopIndex(g, UINT64_MAX, 9.0f);
    mvGradientRemoveStopIndex(g, 3);
    mvGradientRemoveStopIndex(g, UINT64_MAX);
    mvGradientRemoveStopKey(g, 2.0f);
    mvGradientRemoveStopKey(g, 7.0f);
    mvGradientRemoveStopKey(g, -7.0f);
    EXPECT_EQ(g->vals, before);
    EXPECT_TRUE(sameStops({{0, 0}, {1, 1}, {3, 2}}, stops()));
    mvGradientSetStopIndex(g, 2, 9.0f);
    EXPECT_TRUE(sameStops({{0, 0}, {1, 1}, {3, 9}}, stops()));
}

TEST_F(GradientEditing, EmptiedGradientCanBeRefilled) {
    mvGradientSetInterp(g, MV_GRADIENT_COSINE);
    mvGradientRemoveStopKey(g, 1.0f);
    mvGradientRemoveStopIndex(g, 0);
    EXPECT_EQ(g->numvals, 0u);
    mvGradientSetStopKey(g, 0.25f, 4.0f);
    EXPECT_TRUE(sameStops({{0.25f, 4.0f}}, stops()));
    EXPECT_EQ(g->interp, _mvGradientInterpCosine);
    EXPECT_FLOAT_BITS(4.0f, mvGradientGetValue(g, 100.0f));
}

// A plain model of the stop list: keys in the order the edits leave them,
// with NaN keys equal to nothing.
struct StopModel {
    std::vector<Stop> stops{{0, 0}, {1, 1}};

    void setKey(float key, float value) {
        size_t at = stops.size();
        for (size_t i = 0; i < stops.size(); i++) {
            if (!std::isnan(stops[i].key) && stops[i].key >= key) {
                at = i;
                break;
            }
        }
        if (at < stops.size() && stops[at].key == key)
            stops[at].value = value;
        else
            stops.insert(stops.begin() + static_cast<long>(at), Stop{key, value});
    }
    void removeKey(float key) {
        for (size_t i = 0; i < stops.size(); i++) {
            if (stops[i].key == key) {
                stops.erase(stops.begin() + static_cast<long>(i));
                return;
            }
        }
    }
    void removeIndex(uint64_t i) {
        if (i < stops.size()) stops.erase(stops.begin() + static_cast<long>(i));
    }
    void setIndex(uint64_t i, float value) {
        if (i < stops.size()) stops[i].value = value;
    }
};

TEST_F(GradientEditing, RandomEditSequencesMatchAModel) {
    const float keys[] = {0.0f, -0.0f, 1.0f, -1.0f, 0.5f, 2.0f, 3.5f, -7.0f, 1e-30f, 100.0f, kNaN};
    for (unsigned seed = 1; seed <= 40; seed++) {
        std::mt19937 rng(seed);
        StopModel model;
        setStops(model.stops);
        for (int step = 0; step < 200; step++) {
            float key = keys[rng() % (sizeof keys / sizeof keys[0])];
            if (rng() % 4 == 0) key = static_cast<float>(static_cast<int>(rng() % 41) - 20) / 4.0f;
            float value = static_cast<float>(static_cast<int>(rng() % 201) - 100) / 8.0f;
            uint64_t index = rng() % (model.stops.size() + 2);
            switch (rng() % 8) {
                case 0: case 1: case 2:
                    mvGradientSetStopKey(g, key, value);
                    model.setKey(key, value);
                    break;
                case 3: case 4:
                    mvGradientRemoveStopKey(g, key);
                    model.removeKey(key);
                    break;
                case 5: case 6:
                    mvGradientRemoveStopIndex(g, index);
                    model.removeIndex(index);
                    break;
                default:
                    mvGradientSetStopIndex(g, index, value);
                    model.setIndex(index, value);
            }
            ASSERT_TRUE(sameStops(model.stops, stops())) << "seed " << seed << " step " << step;
            float previous = -std::numeric_limits<float>::infinity();
            for (uint64_t i = 0; i < g->numvals; i++) {
                float k = g->vals[i].x;
                if (std::isnan(k)) continue;
                ASSERT_LT(previous, k) << "keys out of order, seed " << seed << " step " << step;
                previous = k;
                bool nextIsNaN = i + 1 < g->numvals && std::isnan(g->vals[i + 1].x);
                if (!nextIsNaN) {
                    ASSERT_EQ(g->vals[i].y, mvGradientGetValue(g, k));
                }
            }
        }
    }
}

TEST_F(GradientAllocationFailure, CreateReleasesEverythingWhenAnyAllocationFails) {
    // Leaks of the record when the stop array is refused show up under the
    // leak checkers that run this binary.
    MVGradient *made = nullptr;
    long allocations = allocfail::everyFailure([&] { made = mvGradientCreate(); },
                                               [&](long k) {
                                                   bool refused = allocfail::counted() > k;
                                                   EXPECT_EQ(refused, made == nullptr) << "allocation " << k;
                                                   mvGradientDestroy(made);
                                               });
    EXPECT_EQ(allocations, 2);
}

TEST_F(GradientAllocationFailure, RefusedGrowthLeavesTheStopsAsTheyWere) {
    setStops({{0, 0}, {1, 1}, {2, 4}});
    const std::vector<Stop> before = stops();
    const float insertKeys[] = {-1.0f, 0.5f, 1.5f, 9.0f, kNaN};
    for (float key : insertKeys) {
        allocfail::failAt(0);
        mvGradientSetStopKey(g, key, 7.0f);
        EXPECT_EQ(allocfail::disarm(), 1);
        EXPECT_TRUE(sameStops(before, stops())) << "key " << key;
    }
    allocfail::failAt(0);
    mvGradientSetStopKey(g, 1.0f, 7.0f);  // an update allocates nothing
    EXPECT_EQ(allocfail::disarm(), 0);
    EXPECT_EQ(g->vals[1].y, 7.0f);
}

TEST_F(GradientAllocationFailure, RefusedShrinkLeavesTheStopsAsTheyWere) {
    setStops({{0, 0}, {1, 1}, {2, 4}, {3, 9}});
    const std::vector<Stop> before = stops();
    for (uint64_t index = 0; index < 4; index++) {
        allocfail::failAt(0);
        mvGradientRemoveStopIndex(g, index);
        EXPECT_EQ(allocfail::disarm(), 1);
        EXPECT_TRUE(sameStops(before, stops())) << "index " << index;
        allocfail::failAt(0);
        mvGradientRemoveStopKey(g, before[index].key);
        allocfail::disarm();
        EXPECT_TRUE(sameStops(before, stops())) << "key " << before[index].key;
    }
    mvGradientRemoveStopIndex(g, 1);
    EXPECT_TRUE(sameStops({{0, 0}, {2, 4}, {3, 9}}, stops()));
}

TEST_F(GradientAllocationFailure, RemovingTheLastStopCannotFail) {
    setStops({{5, 6}});
    allocfail::failAt(0, true);
    mvGradientRemoveStopIndex(g, 0);
    allocfail::disarm();
    EXPECT_EQ(g->numvals, 0u);
    mvGradientSetStopKey(g, 1.0f, 2.0f);
    EXPECT_TRUE(sameStops({{1, 2}}, stops()));
}

TEST_F(GradientAllocationFailure, SamplingAllocatesNothing) {
    setStops({{0, 0}, {1, 1}, {2, 4}, {3, 9}});
    allocfail::failAt(0, true);
    float sum = 0.0f;
    for (MVGradientInterpFunction f : kBuiltins) sum += f(g, 1.25f) + f(g, -1.0f) + f(g, 7.0f);
    EXPECT_EQ(allocfail::disarm(), 0);
    EXPECT_FLOAT_BITS(g->vals[3].y, mvGradientGetValue(g, 9.0f));
    EXPECT_FALSE(std::isnan(sum));
}
