#include <gtest/gtest.h>
#include <morven/trail.h>

#include <cmath>
#include <deque>
#include <limits>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "alloc_fail.h"
#include "float_bits.h"
#include "recording_renderer.h"

namespace {

using Calls = std::vector<DrawCall>;

const float kNaN = std::numeric_limits<float>::quiet_NaN();

struct Entry {
    float x, y;
};

// Owns a trail for one test.
struct TrailFixture : ::testing::Test {
    MVTrail *trail = nullptr;
    ~TrailFixture() override { mvTrailDestroy(trail); }

    void make(uint32_t maxpoints) {
        mvTrailDestroy(trail);
        trail = mvTrailCreate(maxpoints);
        ASSERT_NE(trail, nullptr);
    }
    void add(const std::vector<Entry> &entries) {
        for (const Entry &e : entries) mvTrailAddPoint2f(trail, e.x, e.y);
    }
    std::vector<Entry> entries() const {
        std::vector<Entry> out;
        for (uint32_t i = 0; i < trail->numpoints; i++) out.push_back({trail->xpoints[i], trail->ypoints[i]});
        return out;
    }
};

::testing::AssertionResult sameEntries(const std::vector<Entry> &expected, const std::vector<Entry> &actual) {
    if (expected.size() != actual.size())
        return ::testing::AssertionFailure() << expected.size() << " entries expected, " << actual.size() << " held";
    for (size_t i = 0; i < expected.size(); i++) {
        if (floatBits(expected[i].x) != floatBits(actual[i].x) || floatBits(expected[i].y) != floatBits(actual[i].y))
            return ::testing::AssertionFailure() << "entry " << i << ": expected (" << expected[i].x << ", "
                                                 << expected[i].y << "), held (" << actual[i].x << ", "
                                                 << actual[i].y << ")";
    }
    return ::testing::AssertionSuccess();
}

const Entry kBreak = {floatFromBits(0x7FC00000u), floatFromBits(0x7FC00000u)};

// The calls for one drawn point.
void point(Calls &calls, float alpha, Entry e) {
    calls.push_back(colorCall(1.0f, 1.0f, 1.0f, alpha));
    calls.push_back(vertexCall(e.x, e.y));
}
void strip(Calls &calls) { calls.push_back(beginCall(3)); }
void stripEnd(Calls &calls) { calls.push_back(endCall()); }

// The calls for a single line strip through the given (alpha, point) pairs.
Calls oneStrip(const std::vector<std::pair<float, Entry>> &points) {
    Calls calls;
    strip(calls);
    for (const auto &p : points) point(calls, p.first, p.second);
    stripEnd(calls);
    return calls;
}

// The calls one draw of the trail makes.
Calls drawn(MVTrail *trail) {
    RecordingRenderer recorder;
    mvTrailDraw(trail);
    return recorder.calls();
}

using TrailEditing = TrailFixture;
using TrailDrawing = TrailFixture;
using TrailAllocationFailure = TrailFixture;

}  // namespace

TEST_F(TrailEditing, NewTrailIsEmpty) {
    make(7);
    EXPECT_EQ(trail->numpoints, 0u);
    EXPECT_EQ(trail->xpoints, nullptr);
    EXPECT_EQ(trail->ypoints, nullptr);
    EXPECT_EQ(trail->maxpoints, 7u);
}

TEST_F(TrailEditing, NullTrailIsIgnoredEverywhere) {
    RecordingRenderer recorder;
    mvTrailAddPoint2f(nullptr, 1, 2);
    mvTrailAddBreak(nullptr);
    mvTrailPopPoint(nullptr);
    mvTrailDraw(nullptr);
    mvTrailDestroy(nullptr);
    EXPECT_TRUE(recorder.calls().empty());
}

TEST_F(TrailEditing, UnboundedTrailKeepsEverything) {
    make(0);
    std::vector<Entry> expected;
    for (int i = 0; i < 300; i++) expected.push_back({static_cast<float>(i), static_cast<float>(-i)});
    add(expected);
    EXPECT_TRUE(sameEntries(expected, entries()));
}

TEST_F(TrailEditing, BoundDropsTheOldestEntry) {
    make(3);
    add({{1, 1}, {2, 2}, {3, 3}, {4, 4}});
    EXPECT_TRUE(sameEntries({{2, 2}, {3, 3}, {4, 4}}, entries()));
    mvTrailAddBreak(trail);
    EXPECT_TRUE(sameEntries({{3, 3}, {4, 4}, kBreak}, entries()));
    make(1);
    add({{1, 1}, {2, 2}});
    EXPECT_TRUE(sameEntries({{2, 2}}, entries()));
    mvTrailAddBreak(trail);
    EXPECT_TRUE(sameEntries({kBreak}, entries()));
}

TEST_F(TrailEditing, BreaksAreTheCanonicalQuietNaN) {
    make(0);
    mvTrailAddBreak(trail);
    mvTrailAddPoint2f(trail, floatFromBits(0xFFC00005u), 1.0f);
    EXPECT_EQ(floatBits(trail->xpoints[0]), 0x7FC00000u);
    EXPECT_EQ(floatBits(trail->ypoints[0]), 0x7FC00000u);
    EXPECT_EQ(floatBits(trail->xpoints[1]), 0xFFC00005u);  // a caller's NaN is kept as given
}

TEST_F(TrailEditing, PopRemovesTheOldestAndEmptiesCleanly) {
    make(0);
    mvTrailPopPoint(trail);
    EXPECT_EQ(trail->numpoints, 0u);
    add({{1, 2}, {3, 4}});
    mvTrailPopPoint(trail);
    EXPECT_TRUE(sameEntries({{3, 4}}, entries()));
    mvTrailPopPoint(trail);
    EXPECT_EQ(trail->numpoints, 0u);
    mvTrailPopPoint(trail);
    EXPECT_EQ(trail->numpoints, 0u);
    add({{5, 6}});
    EXPECT_TRUE(sameEntries({{5, 6}}, entries()));
}

TEST_F(TrailEditing, RandomEditsMatchABoundedQueue) {
    for (uint32_t bound : {0u, 1u, 2u, 5u}) {
        std::mt19937 rng(bound + 1);
        make(bound);
        std::deque<Entry> model;
        for (int step = 0; step < 400; step++) {
            unsigned op = rng() % 6;
            if (op < 3) {
                Entry e{static_cast<float>(rng() % 100), static_cast<float>(rng() % 100)};
                mvTrailAddPoint2f(trail, e.x, e.y);
                model.push_back(e);
            } else if (op == 3) {
                mvTrailAddBreak(trail);
                model.push_back(kBreak);
            } else {
                mvTrailPopPoint(trail);
                if (!model.empty()) model.pop_front();
            }
            if (bound && model.size() > bound) model.pop_front();
            ASSERT_TRUE(sameEntries({model.begin(), model.end()}, entries())) << "bound " << bound << " step " << step;
        }
    }
}

TEST_F(TrailDrawing, WorkedExampleSplitsAtTheBreak) {
    make(0);
    Entry p0{1, 2}, p1{3, 4}, p3{5, 6}, p4{7, 8};
    add({p0, p1, kBreak, p3, p4});
    RecordingRenderer recorder;
    mvTrailDraw(trail);
    Calls expected;
    strip(expected);
    point(expected, 0.0f, p0);
    point(expected, 0.25f, p1);
    stripEnd(expected);
    strip(expected);
    point(expected, 0.75f, p3);
    point(expected, 1.0f, p4);
    stripEnd(expected);
    EXPECT_EQ(recorder.calls(), pieces(expected));
    EXPECT_EQ(trail->numpoints, 5u);  // an inner break stays
}

TEST_F(TrailDrawing, AlphaRisesLinearlyOverTheEntries) {
    make(0);
    add({{0, 0}, {1, 0}});
    EXPECT_EQ(drawn(trail), pieces(oneStrip({{0.0f, {0, 0}}, {1.0f, {1, 0}}})));
    make(0);
    add({{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}});
    std::vector<std::pair<float, Entry>> ramp;
    for (uint32_t i = 0; i < 7; i++) ramp.push_back({static_cast<float>(i) / 6.0f, {static_cast<float>(i), 0}});
    EXPECT_EQ(drawn(trail), pieces(oneStrip(ramp)));
}

TEST_F(TrailDrawing, SinglePointIsDrawnOpaque) {
    make(0);
    add({{9, -9}});
    EXPECT_EQ(drawn(trail), pieces(oneStrip({{1.0f, {9, -9}}})));
}

TEST_F(TrailDrawing, EmptyTrailsAndALoneBreakDrawNothing) {
    make(0);
    RecordingRenderer recorder;
    mvTrailDraw(trail);
    mvTrailAddBreak(trail);
    mvTrailDraw(trail);
    EXPECT_TRUE(recorder.calls().empty());
    EXPECT_EQ(trail->numpoints, 0u);
    mvTrailAddPoint2f(trail, 1, 1);
    EXPECT_TRUE(sameEntries({{1, 1}}, entries()));
}

TEST_F(TrailDrawing, LeadingBreakIsRemovedForGood) {
    make(0);
    mvTrailAddBreak(trail);
    add({{1, 1}, {2, 2}});
    EXPECT_EQ(drawn(trail), pieces(oneStrip({{0.0f, {1, 1}}, {1.0f, {2, 2}}})));
    EXPECT_TRUE(sameEntries({{1, 1}, {2, 2}}, entries()));
}

TEST_F(TrailDrawing, TwoLeadingBreaksTakeTwoDraws) {
    make(0);
    mvTrailAddBreak(trail);
    mvTrailAddBreak(trail);
    add({{1, 1}, {2, 2}});
    RecordingRenderer recorder;
    mvTrailDraw(trail);
    Calls first;
    strip(first);
    stripEnd(first);
    strip(first);
    point(first, 0.5f, {1, 1});
    point(first, 1.0f, {2, 2});
    stripEnd(first);
    EXPECT_EQ(recorder.calls(), pieces(first));
    EXPECT_EQ(trail->numpoints, 3u);
    recorder.calls().clear();
    mvTrailDraw(trail);
    Calls second;
    strip(second);
    point(second, 0.0f, {1, 1});
    point(second, 1.0f, {2, 2});
    stripEnd(second);
    EXPECT_EQ(recorder.calls(), pieces(second));
}

TEST_F(TrailDrawing, BreaksInARowAndAtTheNewestEndGiveEmptyStrips) {
    make(0);
    add({{1, 1}});
    mvTrailAddBreak(trail);
    mvTrailAddBreak(trail);
    add({{2, 2}});
    mvTrailAddBreak(trail);
    RecordingRenderer recorder;
    mvTrailDraw(trail);
    Calls expected;
    strip(expected);
    point(expected, 0.0f, {1, 1});
    stripEnd(expected);
    strip(expected);
    stripEnd(expected);
    strip(expected);
    point(expected, 0.75f, {2, 2});
    stripEnd(expected);
    strip(expected);
    stripEnd(expected);
    EXPECT_EQ(recorder.calls(), pieces(expected));
}

TEST_F(TrailDrawing, NaNInYAloneIsABreak) {
    make(0);
    add({{5, kNaN}, {1, 1}, {2, kNaN}, {3, 3}});
    RecordingRenderer recorder;
    mvTrailDraw(trail);
    Calls expected;
    strip(expected);
    point(expected, 0.0f, {1, 1});
    stripEnd(expected);
    strip(expected);
    point(expected, 1.0f, {3, 3});
    stripEnd(expected);
    EXPECT_EQ(recorder.calls(), pieces(expected));
    EXPECT_EQ(trail->numpoints, 3u);
}

TEST_F(TrailAllocationFailure, RefusedGrowthDropsTheAppend) {
    make(0);
    add({{1, 1}, {2, 2}});
    long allocations = allocfail::everyFailure([&] { mvTrailAddPoint2f(trail, 3, 3); },
                                               [&](long k) {
                                                   if (allocfail::counted() > k) {
                                                       EXPECT_TRUE(sameEntries({{1, 1}, {2, 2}}, entries()));
                                                   } else {
                                                       EXPECT_TRUE(sameEntries({{1, 1}, {2, 2}, {3, 3}}, entries()));
                                                   }
                                               });
    EXPECT_EQ(allocations, 2);
}

TEST_F(TrailAllocationFailure, RefusedGrowthOfAnEmptyTrailLeavesItEmpty) {
    make(0);
    for (long k = 0; k < 2; k++) {
        allocfail::failAt(k);
        mvTrailAddBreak(trail);
        allocfail::disarm();
        EXPECT_EQ(trail->numpoints, 0u) << "allocation " << k;
    }
    mvTrailAddPoint2f(trail, 4, 4);
    EXPECT_TRUE(sameEntries({{4, 4}}, entries()));
}

TEST_F(TrailAllocationFailure, AppendAtTheBoundStaysConsistentWhateverFails) {
    make(3);
    // Growing x and y, then shrinking them after the oldest entry goes: a
    // refused growth drops the append, a refused shrink keeps a larger block.
    make(3);
    add({{1, 1}, {2, 2}, {3, 3}});
    allocfail::failAt(1L << 40);  // counts without failing
    mvTrailAddPoint2f(trail, 4, 4);
    EXPECT_EQ(allocfail::disarm(), 4);
    for (long k = 0; k < 4; k++) {
        make(3);
        add({{1, 1}, {2, 2}, {3, 3}});
        allocfail::failAt(k);
        mvTrailAddPoint2f(trail, 4, 4);
        allocfail::disarm();
        if (k < 2) {
            EXPECT_TRUE(sameEntries({{1, 1}, {2, 2}, {3, 3}}, entries())) << "allocation " << k;
        } else {
            EXPECT_TRUE(sameEntries({{2, 2}, {3, 3}, {4, 4}}, entries())) << "allocation " << k;
        }
        // The trail keeps working after the failure.
        mvTrailAddPoint2f(trail, 5, 5);
        mvTrailPopPoint(trail);
        EXPECT_EQ(trail->numpoints, 2u);
        EXPECT_EQ(trail->xpoints[1], 5.0f);
    }
}

TEST_F(TrailAllocationFailure, RefusedShrinkStillRemoves) {
    make(0);
    add({{1, 1}, {2, 2}, {3, 3}});
    allocfail::failAt(0, true);
    mvTrailPopPoint(trail);
    allocfail::disarm();
    EXPECT_TRUE(sameEntries({{2, 2}, {3, 3}}, entries()));
    make(0);
    mvTrailAddBreak(trail);
    add({{3, 3}});
    RecordingRenderer recorder;
    allocfail::failAt(0, true);
    mvTrailDraw(trail);  // removes the leading break
    allocfail::disarm();
    Calls expected;
    strip(expected);
    point(expected, 1.0f, {3, 3});
    stripEnd(expected);
    EXPECT_EQ(recorder.calls(), pieces(expected));
    EXPECT_EQ(trail->numpoints, 1u);
}

// The coloured draw is the white one with (r, g, b) for the white: the same
// strips, alphas and vertices, and the same leading-break removal, draw after draw.
TEST_F(TrailDrawing, ColouredDrawIsTheWhiteDrawRecoloured) {
    const float r = 0.2f, g = 0.6f, b = 0.9f;
    std::mt19937 random(12);
    auto other = [](MVTrail *t) { mvTrailDestroy(t); };
    for (int round = 0; round < 300; round++) {
        make(random() % 3 ? 0 : 1 + random() % 6);
        std::unique_ptr<MVTrail, decltype(other)> coloured(mvTrailCreate(trail->maxpoints), other);
        ASSERT_NE(coloured, nullptr);
        for (int i = int(random() % 12); i > 0; i--) {
            unsigned kind = random() % 4;
            Entry e = kind == 0 ? kBreak : kind == 1 ? Entry{float(i), kNaN} : Entry{float(i), float(random() % 50)};
            mvTrailAddPoint2f(trail, e.x, e.y);
            mvTrailAddPoint2f(coloured.get(), e.x, e.y);
        }
        for (int draw = 0; draw < 2; draw++) {
            Calls white = drawn(trail), expected;
            for (DrawCall call : white) {
                if (call.kind == DrawCall::Color) {
                    ASSERT_EQ(call, colorCall(1, 1, 1, floatFromBits(call.floats[3])));
                    call = colorCall(r, g, b, floatFromBits(call.floats[3]));
                }
                expected.push_back(call);
            }
            RecordingRenderer recorder;
            mvTrailDrawColor3f(coloured.get(), r, g, b);
            ASSERT_EQ(recorder.calls(), pieces(expected)) << "round " << round << ", draw " << draw;
            std::vector<Entry> held;
            for (uint32_t i = 0; i < coloured->numpoints; i++)
                held.push_back({coloured->xpoints[i], coloured->ypoints[i]});
            ASSERT_TRUE(sameEntries(entries(), held));
        }
    }
    RecordingRenderer recorder;
    mvTrailDrawColor3f(nullptr, r, g, b);
    EXPECT_TRUE(recorder.calls().empty());
}
