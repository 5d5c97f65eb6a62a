// Atlas reservation: the engine's packer (through mvAtlasAreaReserve) beside
// stb_rect_pack's skyline bottom-left packer fed one rectangle per call (the
// time per placed area side by side, on several streams and sizes), and a
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
#include "side_by_side.h"

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
    size_t attempts = 0, placed = 0;
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
            result.placed++;
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

// The streams of requests the reservation time is measured on: sizes drawn
// uniformly from lo..hi, or (lo 0) a sprite-sheet mix: frames of 8 to 128
// pixels a side in steps of 8, most of them small (half at most 32, a
// quarter 40 to 64, a quarter 72 to 128).
struct Stream {
    const char *name;
    int lo, hi;
};
const Stream kStreams[] = {{"4-64", 4, 64}, {"12-16", 12, 16}, {"2-12", 2, 12}, {"sheet-8-128", 0, 0}};

std::vector<Request> stream(const Stream &s, unsigned seed, int side) {
    // Enough requests to fill the atlas twice over.
    double mean = s.lo ? (s.lo + s.hi) / 2.0 : 48.0;
    size_t count = static_cast<size_t>(2.0 * side * side / (mean * mean)) + 1000;
    if (s.lo) return requests(seed, s.lo, s.hi, count);
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> pick(0, 3), small(1, 4), middle(5, 8), large(9, 16);
    auto side8 = [&] {
        int k = pick(rng);
        return 8 * (k < 2 ? small(rng) : k == 2 ? middle(rng) : large(rng));
    };
    std::vector<Request> out(count);
    for (Request &r : out) {
        r.w = side8();
        r.h = side8();
    }
    return out;
}

#ifdef MORVEN_BENCH_STB
// Filling a side x side atlas from empty, by the engine's packer and by
// stb_rect_pack's bottom-left skyline, side by side (order alternating from
// sample to sample, a new stream seed each sample). The figures are time per
// placed area (the failed requests near the end count in the time, not in the
// divisor) and the share of the atlas the placed areas cover.
void reserveBesideStb(benchmark::State &state, Stream s, int side) {
    sideBySide::Samples samples;
    double oursCovered = 0, peerCovered = 0, lowestShare = 1e9;
    unsigned seed = 1;
    for (auto _ : state) {
        std::vector<Request> list = stream(s, seed++, side);
        auto ours = std::make_unique<MorvenPacker>(side, side, 0);
        auto peer = std::make_unique<StbPacker>(side, side, 0);
        FillResult a, b;
        samples.take([&] { a = fill(*ours, list); }, [&] { b = fill(*peer, list); }, 1, 1);
        // Per placed area.
        samples.ours.back() /= double(a.placed ? a.placed : 1);
        samples.peer.back() /= double(b.placed ? b.placed : 1);
        oursCovered += a.covered;
        peerCovered += b.covered;
        if (b.covered > 0 && a.covered / b.covered < lowestShare) lowestShare = a.covered / b.covered;
    }
    samples.report(state, 1e9);
    double pixels = double(side) * side * double(samples.ours.size());
    state.counters["occupancy"] = oursCovered / pixels;
    state.counters["occupancy_peer"] = peerCovered / pixels;
    state.counters["occupancy_ratio_min"] = lowestShare;
}
#endif

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
}

const bool registered = [] {
    add<MorvenPacker>("morven");
#ifdef MORVEN_BENCH_STB
    add<StbPacker>("stb_skyline");
#endif
    add<ReferencePacker>("maxrects_bssf");
#ifdef MORVEN_BENCH_STB
    for (int side : {1024, 2048, 4096})
        for (const Stream &s : kStreams) {
            std::string name = "AtlasReserveBesideStb/" + std::string(s.name) + "/" + std::to_string(side);
            benchmark::RegisterBenchmark(name.c_str(), reserveBesideStb, s, side)
                ->Iterations(side <= 1024 ? 9 : 7)
                ->Unit(benchmark::kMillisecond);
        }
#endif
    benchmark::RegisterBenchmark("AtlasRelease4096/16000_live", releaseOne)
        ->UseManualTime()
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("AtlasReleaseAll4096", releaseAll)->Arg(1000)->Arg(8000)->Unit(benchmark::kMillisecond);
    return true;
}();

}  // namespace
