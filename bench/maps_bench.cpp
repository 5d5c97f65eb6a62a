// The string map beside std::map<std::string> and the integer-keyed core map
// beside std::map<int>, side by side in one run (bench/side_by_side.h): each
// sample fills both maps from empty with the same keys in the same random
// order, finds every key (separate copies, another order), then removes every
// key, each phase timed for both with the order alternating from sample to
// sample. Figures are thread CPU time per entry.
//
// Keys: "string", random printable strings of 8 to 24 bytes that mostly
// differ in their first bytes; "path", 38-byte paths that share their first
// 21 bytes; "integer", random distinct 32-bit integers.
#include <benchmark/benchmark.h>
#include <morven/map.h>
#include <morven/smap.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

#include "side_by_side.h"

namespace {

enum class Kind { String, Path, Integer };

struct Keys {
    std::vector<std::string> text;    // inserted, in insertion order
    std::vector<std::string> probes;  // the same texts in other buffers, another order
    std::vector<int> numbers;         // integer keys, in insertion order
    std::vector<int> numberProbes;
};

Keys makeKeys(Kind kind, size_t n) {
    Keys k;
    std::mt19937_64 rng(n * 3 + size_t(kind));
    if (kind == Kind::Integer) {
        std::unordered_set<int> seen;
        while (k.numbers.size() < n) {
            int v = int(uint32_t(rng()));
            if (seen.insert(v).second) k.numbers.push_back(v);
        }
        k.numberProbes = k.numbers;
        std::shuffle(k.numberProbes.begin(), k.numberProbes.end(), rng);
        return k;
    }
    std::unordered_set<std::string> seen;
    std::uniform_int_distribution<int> len(8, 24), byte('!', '~');
    while (k.text.size() < n) {
        std::string s;
        if (kind == Kind::String) {
            for (int i = len(rng); i > 0; i--) s += char(byte(rng));
        } else {
            char buf[64];
            uint64_t r = rng();
            std::snprintf(buf, sizeof buf, "/usr/share/game/data/%08x/%04x.png", unsigned(r >> 32),
                          unsigned(r & 0xffff));
            s = buf;
        }
        if (seen.insert(s).second) k.text.push_back(s);
    }
    k.probes = k.text;
    std::shuffle(k.probes.begin(), k.probes.end(), rng);
    return k;
}

void *valueOf(size_t i) { return reinterpret_cast<void *>(i + 1); }
void *keyOf(int v) { return reinterpret_cast<void *>(intptr_t(v)); }

// One sample of one kind: the three phases on both sides.
struct Phases {
    sideBySide::Samples insert, find, remove;
    size_t lost = 0;  // finds that failed or removes that left entries: must stay 0
};

void stringSample(const Keys &k, Phases &p) {
    MVSMap *ours = mvSMapCreate();
    auto peer = std::make_unique<std::map<std::string, void *, std::less<>>>();
    double n = double(k.text.size());
    p.insert.take(
        [&] {
            for (size_t i = 0; i < k.text.size(); i++) mvSMapAssign(ours, k.text[i].c_str(), valueOf(i));
        },
        [&] {
            for (size_t i = 0; i < k.text.size(); i++) peer->emplace(k.text[i], valueOf(i));
        },
        n, n);
    size_t hitsOurs = 0, hitsPeer = 0;
    p.find.take(
        [&] {
            for (const std::string &s : k.probes) hitsOurs += mvSMapFind(ours, s.c_str()) != nullptr;
        },
        [&] {
            for (const std::string &s : k.probes) {
                auto it = peer->find(std::string_view(s));
                hitsPeer += it != peer->end() && it->second;
            }
        },
        n, n);
    p.remove.take(
        [&] {
            for (const std::string &s : k.probes) mvSMapRemove(ours, s.c_str());
        },
        [&] {
            for (const std::string &s : k.probes) peer->erase(peer->find(std::string_view(s)));
        },
        n, n);
    p.lost += (k.text.size() - hitsOurs) + (k.text.size() - hitsPeer) + mvMapCount(ours) + peer->size();
    mvSMapDestroy(ours);
}

void integerSample(const Keys &k, Phases &p) {
    MVMap *ours = mvMapCreate(mvMapCompareIntegers, nullptr);
    auto peer = std::make_unique<std::map<int, void *>>();
    double n = double(k.numbers.size());
    p.insert.take(
        [&] {
            for (size_t i = 0; i < k.numbers.size(); i++) mvMapAssign(ours, keyOf(k.numbers[i]), valueOf(i));
        },
        [&] {
            for (size_t i = 0; i < k.numbers.size(); i++) peer->emplace(k.numbers[i], valueOf(i));
        },
        n, n);
    size_t hitsOurs = 0, hitsPeer = 0;
    p.find.take(
        [&] {
            for (int v : k.numberProbes) hitsOurs += mvMapFind(ours, keyOf(v)) != nullptr;
        },
        [&] {
            for (int v : k.numberProbes) {
                auto it = peer->find(v);
                hitsPeer += it != peer->end() && it->second;
            }
        },
        n, n);
    p.remove.take(
        [&] {
            for (int v : k.numberProbes) mvMapRemove(ours, keyOf(v));
        },
        [&] {
            for (int v : k.numberProbes) peer->erase(v);
        },
        n, n);
    p.lost += (k.numbers.size() - hitsOurs) + (k.numbers.size() - hitsPeer) + mvMapCount(ours) + peer->size();
    mvMapDestroy(ours);
}

void mapsBesideStd(benchmark::State &state, Kind kind, size_t n) {
    Keys keys = makeKeys(kind, n);
    Phases p;
    for (auto _ : state) {
        if (kind == Kind::Integer)
            integerSample(keys, p);
        else
            stringSample(keys, p);
    }
    if (p.lost) state.SkipWithError("a map lost entries");
    p.insert.report(state, 1e9, "insert_");
    p.find.report(state, 1e9, "find_");
    p.remove.report(state, 1e9, "remove_");
}

// MapsBesideStd/<kind>/<entries>, fewer samples for bigger maps; 10^7 entries
// only when MORVEN_BENCH_HUGE is set (about 3 GB and minutes per kind).
const int registered = [] {
    const std::pair<const char *, Kind> kinds[] = {
        {"string", Kind::String}, {"path", Kind::Path}, {"integer", Kind::Integer}};
    const std::pair<size_t, int> runs[] = {{1000, 201}, {10000, 41}, {100000, 11}, {1000000, 5}, {10000000, 3}};
    for (auto [name, kind] : kinds)
        for (auto [n, samples] : runs) {
            if (n > 1000000 && !std::getenv("MORVEN_BENCH_HUGE")) continue;
            std::string title = std::string("MapsBesideStd/") + name + "/" + std::to_string(n);
            Kind k = kind;
            size_t entries = n;
            benchmark::RegisterBenchmark(title.c_str(), [k, entries](benchmark::State &state) {
                mapsBesideStd(state, k, entries);
            })->Iterations(samples)->Unit(benchmark::kMillisecond);
        }
    return 0;
}();

}  // namespace
