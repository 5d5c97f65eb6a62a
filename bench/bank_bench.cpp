// Bank hits: mvBankLoad of a name the bank holds (a string-map find, no
// callback), beside a std::map with std::string keys searched by C string
// and a std::unordered_map<std::string> (which builds a std::string per find).
#include <benchmark/benchmark.h>
#include <morven/bank.h>

#include <cstdio>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

int loaded;  // the resources: addresses of this object, never freed

void *load(const char *, void *) { return &loaded; }

// Names like a game's assets, and a shuffled order to ask for them in.
std::vector<std::string> names(int64_t n) {
    std::vector<std::string> out;
    char buffer[64];
    for (int64_t i = 0; i < n; i++) {
        snprintf(buffer, sizeof buffer, "sprites/enemy_%05lld_walk.png", static_cast<long long>(i * 7919 % 100003));
        out.push_back(buffer);
    }
    return out;
}

std::vector<const char *> probes(const std::vector<std::string> &held) {
    static std::vector<std::string> copies;  // separate buffers: no pointer-equal hits
    copies = held;
    std::shuffle(copies.begin(), copies.end(), std::mt19937(1));
    std::vector<const char *> out;
    for (const std::string &s : copies) out.push_back(s.c_str());
    return out;
}

void BankHit(benchmark::State &state) {
    std::vector<std::string> held = names(state.range(0));
    MVBank *bank = mvBankCreate("data/%s", load, nullptr);
    for (const std::string &s : held) mvBankLoad(bank, s.c_str(), nullptr);
    std::vector<const char *> ask = probes(held);
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(mvBankLoad(bank, ask[i], nullptr));
        if (++i == ask.size()) i = 0;
    }
    mvBankDestroy(bank);
}
BENCHMARK(BankHit)->Arg(100)->Arg(10000);

// A string-keyed lookup table as a peer would hold the same names.
template <class Map>
void PeerHit(benchmark::State &state) {
    std::vector<std::string> held = names(state.range(0));
    Map map;
    for (const std::string &s : held) map.emplace(s, &loaded);
    std::vector<const char *> ask = probes(held);
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(map.find(ask[i])->second);
        if (++i == ask.size()) i = 0;
    }
}

void StdMapHit(benchmark::State &state) { PeerHit<std::map<std::string, void *, std::less<>>>(state); }
BENCHMARK(StdMapHit)->Arg(100)->Arg(10000);

void StdUnorderedMapHit(benchmark::State &state) { PeerHit<std::unordered_map<std::string, void *>>(state); }
BENCHMARK(StdUnorderedMapHit)->Arg(100)->Arg(10000);

}  // namespace
