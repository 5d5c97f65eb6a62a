// Gradient sampling and editing, trail appends and drawing, angle
// differences; beside the containers a C++ programmer would otherwise reach
// for (a sorted std::vector searched with upper_bound, a std::deque).
#include <benchmark/benchmark.h>
#include <morven/angle.h>
#include <morven/gradient.h>
#include <morven/trail.h>

#include <algorithm>
#include <deque>
#include <random>
#include <vector>

namespace {

// A gradient with n stops at keys 0..n-1 and random values.
MVGradient *gradientWith(int64_t n) {
    MVGradient *g = mvGradientCreate();
    std::mt19937 rng(static_cast<unsigned>(n));
    mvGradientSetStopIndex(g, 0, static_cast<float>(rng() % 100));
    mvGradientSetStopIndex(g, 1, static_cast<float>(rng() % 100));
    for (int64_t i = 2; i < n; i++) mvGradientSetStopKey(g, static_cast<float>(i), static_cast<float>(rng() % 100));
    return g;
}

std::vector<float> positions(int64_t n) {
    std::mt19937 rng(42);
    std::uniform_real_distribution<float> pos(-0.5f, static_cast<float>(n) - 0.5f);
    std::vector<float> out(1024);
    for (float &x : out) x = pos(rng);
    return out;
}

// Sampling: one linear scan from the first stop, then fixed arithmetic.
void GradientSample(benchmark::State &state, int32_t mode) {
    MVGradient *g = gradientWith(state.range(0));
    mvGradientSetInterp(g, mode);
    std::vector<float> xs = positions(state.range(0));
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(mvGradientGetValue(g, xs[i++ & 1023]));
    }
    mvGradientDestroy(g);
}
BENCHMARK_CAPTURE(GradientSample, nearest, MV_GRADIENT_NEAREST)->Arg(8)->Arg(64);
BENCHMARK_CAPTURE(GradientSample, linear, MV_GRADIENT_LINEAR)->Arg(8)->Arg(64);
BENCHMARK_CAPTURE(GradientSample, cosine, MV_GRADIENT_COSINE)->Arg(8)->Arg(64);
BENCHMARK_CAPTURE(GradientSample, cubic, MV_GRADIENT_CUBIC)->Arg(8)->Arg(64);

// The peer: stops in a sorted vector, found by binary search, lerped.
void SortedVectorLerp(benchmark::State &state) {
    struct Stop {
        float key, value;
    };
    std::vector<Stop> stops;
    std::mt19937 rng(static_cast<unsigned>(state.range(0)));
    for (int64_t i = 0; i < state.range(0); i++) stops.push_back({static_cast<float>(i), static_cast<float>(rng() % 100)});
    std::vector<float> xs = positions(state.range(0));
    size_t i = 0;
    for (auto _ : state) {
        float x = xs[i++ & 1023];
        auto above = std::upper_bound(stops.begin(), stops.end(), x, [](float v, const Stop &s) { return v < s.key; });
        float y;
        if (above == stops.begin()) y = stops.front().value;
        else if (above == stops.end()) y = stops.back().value;
        else {
            const Stop &a = above[-1], &b = above[0];
            y = (b.value - a.value) * ((x - a.key) / (b.key - a.key)) + a.value;
        }
        benchmark::DoNotOptimize(y);
    }
}
BENCHMARK(SortedVectorLerp)->Arg(8)->Arg(64);

// Editing: every insertion and removal resizes the array to the exact count.
void GradientInsertRemove(benchmark::State &state) {
    MVGradient *g = gradientWith(state.range(0));
    for (auto _ : state) {
        mvGradientSetStopKey(g, 0.5f, 1.0f);
        mvGradientRemoveStopKey(g, 0.5f);
    }
    mvGradientDestroy(g);
}
BENCHMARK(GradientInsertRemove)->Arg(2)->Arg(64)->Arg(1024);

// An append at the bound: two grows, two moves of maxpoints floats, two shrinks.
void TrailAppendAtBound(benchmark::State &state) {
    MVTrail *trail = mvTrailCreate(static_cast<uint32_t>(state.range(0)));
    float t = 0.0f;
    for (auto _ : state) {
        mvTrailAddPoint2f(trail, t, -t);
        t += 1.0f;
    }
    mvTrailDestroy(trail);
}
BENCHMARK(TrailAppendAtBound)->Arg(64)->Arg(4096);

void DequeAppendAtBound(benchmark::State &state) {
    struct Point {
        float x, y;
    };
    std::deque<Point> points;
    size_t bound = static_cast<size_t>(state.range(0));
    float t = 0.0f;
    for (auto _ : state) {
        points.push_back({t, -t});
        if (points.size() > bound) points.pop_front();
        t += 1.0f;
    }
    benchmark::DoNotOptimize(points.back());
}
BENCHMARK(DequeAppendAtBound)->Arg(64)->Arg(4096);

// Drawing into the engine's do-nothing renderer: the cost of walking the trail.
void TrailDraw(benchmark::State &state) {
    MVTrail *trail = mvTrailCreate(0);
    for (int64_t i = 0; i < state.range(0); i++) {
        if (i % 50 == 49) mvTrailAddBreak(trail);
        else mvTrailAddPoint2f(trail, static_cast<float>(i), 1.0f);
    }
    for (auto _ : state) mvTrailDraw(trail);
    state.SetItemsProcessed(state.iterations() * state.range(0));
    mvTrailDestroy(trail);
}
BENCHMARK(TrailDraw)->Arg(64)->Arg(4096);

// One step for differences less than a turn outside the range; the huge ones
// take the exact reduction instead of stepping.
void AngleDifferenceRads(benchmark::State &state) {
    float b = static_cast<float>(state.range(0));
    for (auto _ : state) {
        benchmark::DoNotOptimize(mvAngleDifferenceRads(0.25f, b));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(AngleDifferenceRads)->Arg(1)->Arg(5)->Arg(1000)->Arg(1 << 30);

void AngleDifferenceDegs(benchmark::State &state) {
    float b = static_cast<float>(state.range(0));
    for (auto _ : state) {
        benchmark::DoNotOptimize(mvAngleDifferenceDegs(10.0f, b));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(AngleDifferenceDegs)->Arg(90)->Arg(300)->Arg(100000);

}  // namespace
