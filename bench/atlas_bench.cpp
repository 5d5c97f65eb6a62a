// Atlas reservation: the engine's packer (through mvAtlasAreaReserve) beside
// stb_rect_pack's skyline bottom-left packer fed one rectangle per call, and a
// textbook maximal-rectangles best-short-side-fit packer as the yardstick for
// occupancy. Padding p is emulated for the other two the usual way: requests
// grow by p and the bin by p, so neighbours keep p pixels apart and the
// border needs no gap, as in the engine.
#include <benchmark/benchmark.h>
#include <morven/atlas.h>

#include <algorithm>
#include <ctime>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "maxrects_reference.h"

#ifdef MORVEN_BENCH_STB  // the stb peer, when the build found stb
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#define STB_RECT_PACK_IMPLEMENTATION
#define STBRP_STATIC
#include <stb/stb_rect_pack.h>
#pragma GCC diagnostic pop
#endif

namespace {

struct Request {
    int w, h;
};

// Fills stop after this many failures in a row.
constexpr int kGiveUpAfter = 50;

std::vector<Request> requests(unsigned seed, int lo, int hi, size_t count) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> size(lo, hi);
    std::vector<Request> out(count);
    for (Request &r : out) {
        r.w = size(rng);
        r.h = size(rng);
    }
    return out;
}

class MorvenPacker {
public:
    MorvenPacker(int w, int h, int padding) : atlas_(mvAtlasCreate(w, h, 32)), padding_(padding) {}
    ~MorvenPacker() { mvAtlasDestroy(atlas_); }
    bool reserve(int w, int h) { return mvAtlasAreaReserve(atlas_, w, h, padding_) != nullptr; }

private:
    MVAtlas *atlas_;
    int padding_;
};

#ifdef MORVEN_BENCH_STB
class StbPacker {
public:
    StbPacker(int w, int h, int padding) : nodes_(static_cast<size_t>(w + padding)), padding_(padding) {
        stbrp_init_target(&context_, w + padding, h + padding, nodes_.data(), static_cast<int>(nodes_.size()));
    }
    bool reserve(int w, int h) {
        stbrp_rect r{};
        r.w = w + padding_;
        r.h = h + padding_;
        return stbrp_pack_rects(&context_, &r, 1) && r.was_packed;
    }

private:
    stbrp_context context_;
    std::vector<stbrp_node> nodes_;
    int padding_;
};
#endif

class ReferencePacker {
public:
    ReferencePacker(int w, int h, int padding) : packer_(w + padding, h + padding), padding_(padding) {}
    bool reserve(int w, int h) {
        MaxRectsReference::Rect placed;
        return packer_.insert(w + padding_, h + padding_, &placed);
    }

private:
    MaxRectsReference packer_;
    int padding_;
};

struct FillResult {
    double covered = 0;  // pixels of the placed areas, padding not counted
    size_t attempts = 0;
};

// Offers the requests in order until kGiveUpAfter fail in a row.
template <class Packer>
FillResult fill(Packer &packer, const std::vector<Request> &list) {
    FillResult result;
    int failures = 0;
    for (const Request &r : list) {
        result.attempts++;
        if (packer.reserve(r.w, r.h)) {
            result.covered += double(r.w) * r.h;
            failures = 0;
        } else if (++failures == kGiveUpAfter) {
            break;
        }
    }
    return result;
}

// Mean and lowest occupancy of a 256 x 256 atlas over 20 seeds.
template <class Packer>
void occupancy(benchmark::State &state, int lo, int hi, int padding) {
    constexpr int kSide = 256, kSeeds = 20;
    std::vector<std::vector<Request>> lists;
    for (unsigned seed = 1; seed <= kSeeds; seed++) lists.push_back(requests(seed, lo, hi, 20000));
    double sum = 0, lowest = 1;
    for (auto _ : state) {
        sum = 0;
        lowest = 1;
        for (const auto &list : lists) {
            Packer packer(kSide, kSide, padding);
            double occupied = fill(packer, list).covered / (double(kSide) * kSide);
            sum += occupied;
            if (occupied < lowest) lowest = occupied;
        }
    }
    state.counters["occupancy"] = sum / kSeeds;
    state.counters["occupancy_min"] = lowest;
}

// Time per reservation while filling a 2048 x 2048 atlas with sizes 4..64
// (failed requests near the end included, as a program would make them).
template <class Packer>
void reserveTime(benchmark::State &state) {
    constexpr int kSide = 2048;
    std::vector<std::vector<Request>> lists;
    for (unsigned seed = 1; seed <= 3; seed++) lists.push_back(requests(seed, 4, 64, 20000));
    size_t attempts = 0, round = 0;
    double covered = 0;
    for (auto _ : state) {
        // Making and freeing the atlas (a 16 MB image) is not packing.
        state.PauseTiming();
        auto packer = std::make_unique<Packer>(kSide, kSide, 0);
        state.ResumeTiming();
        FillResult r = fill(*packer, lists[round++ % lists.size()]);
        state.PauseTiming();
        packer.reset();
        state.ResumeTiming();
        attempts += r.attempts;
        covered += r.covered;
    }
    state.SetItemsProcessed(static_cast<int64_t>(attempts));
    state.counters["ns_per_reservation"] =
        benchmark::Counter(double(attempts) * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["occupancy"] = covered / (double(kSide) * kSide) / double(round ? round : 1);
}

// A 4096 x 4096 atlas holding `live` areas of sizes 4..48, in the order
// they were placed.
std::vector<MVAtlasArea *> fillLive(MVAtlas *atlas, size_t live, unsigned seed) {
    std::vector<MVAtlasArea *> areas;
    for (const Request &r : requests(seed, 4, 48, 4 * live)) {
        if (areas.size() == live) break;
        if (MVAtlasArea *a = mvAtlasAreaReserve(atlas, r.w, r.h, 0)) areas.push_back(a);
    }
    return areas;
}

double threadSeconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

// One release among 16,000 live areas (each released area is reserved again,
// untimed, so the count stays put). The time is the thread's CPU time, which
// other work on a shared machine does not inflate.
void releaseOne(benchmark::State &state) {
    MVAtlas *atlas = mvAtlasCreate(4096, 4096, 32);
    std::vector<MVAtlasArea *> areas = fillLive(atlas, 16000, 1);
    if (areas.size() < 16000) state.SkipWithError("the atlas did not take 16,000 areas");
    std::mt19937 rng(2);
    for (auto _ : state) {
        size_t victim = rng() % areas.size();
        int w = areas[victim]->w, h = areas[victim]->h;
        double start = threadSeconds();
        mvAtlasAreaRelease(atlas, areas[victim]);
        state.SetIterationTime(threadSeconds() - start);
        areas[victim] = mvAtlasAreaReserve(atlas, w, h, 0);
        if (!areas[victim]) state.SkipWithError("a released place was not found again");
    }
    state.counters["live"] = double(areas.size());
    mvAtlasDestroy(atlas);
}

// Releasing every one of `count` areas in random order.
void releaseAll(benchmark::State &state) {
    size_t count = static_cast<size_t>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        MVAtlas *atlas = mvAtlasCreate(4096, 4096, 32);
        std::vector<MVAtlasArea *> areas = fillLive(atlas, count, 3);
        std::shuffle(areas.begin(), areas.end(), std::mt19937(4));
        state.ResumeTiming();
        for (MVAtlasArea *a : areas) mvAtlasAreaRelease(atlas, a);
        state.PauseTiming();
        if (mvAtlasOccupancy(atlas) != 0) state.SkipWithError("areas left after releasing all");
        mvAtlasDestroy(atlas);
        state.ResumeTiming();
    }
}

template <class Packer>
void add(const std::string &who) {
    const struct {
        int lo, hi;
    } ranges[] = {{12, 16}, {4, 64}};
    for (auto range : ranges)
        for (int padding = 0; padding <= 1; padding++) {
            std::string name = "AtlasOccupancy256/" + who + "/sizes_" + std::to_string(range.lo) + "_" +
                               std::to_string(range.hi) + "/padding_" + std::to_string(padding);
            benchmark::RegisterBenchmark(name.c_str(), occupancy<Packer>, range.lo, range.hi, padding)
                ->Iterations(1)
                ->Unit(benchmark::kMillisecond);
        }
    benchmark::RegisterBenchmark(("AtlasReserve2048/" + who).c_str(), reserveTime<Packer>)
        ->Unit(benchmark::kMillisecond);
}

const bool registered = [] {
    add<MorvenPacker>("morven");
#ifdef MORVEN_BENCH_STB
    add<StbPacker>("stb_skyline");
#endif
    add<ReferencePacker>("maxrects_bssf");
    benchmark::RegisterBenchmark("AtlasRelease4096/16000_live", releaseOne)
        ->UseManualTime()
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("AtlasReleaseAll4096", releaseAll)->Arg(1000)->Arg(8000)->Unit(benchmark::kMillisecond);
    return true;
}();

}  // namespace
