// The calls that may run on any thread, run on several at once: each thread
// works on its own maps, sets, string maps, banks, gradients, trails and
// directory handles, and keeps its own last error; shared containers are read
// by all of them together. Every result is checked against a plain model or
// against the same work done on one thread. The ThreadSanitizer build runs
// these tests (their names contain "AnyThread") and sees any hidden shared
// state.
#include <gtest/gtest.h>
#include <morven/angle.h>
#include <morven/bank.h>
#include <morven/clock.h>
#include <morven/directory.h>
#include <morven/error.h>
#include <morven/gradient.h>
#include <morven/map.h>
#include <morven/set.h>
#include <morven/smap.h>
#include <morven/text.h>
#include <morven/trail.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "core/base/error.h"
#include "map_model.h"
#include "set_model.h"
#include "smap_model.h"

namespace {

constexpr int kThreads = 4;

// Collects what went wrong on one thread; checked on the main thread.
struct Failures {
    std::string text;
    void check(bool ok, const std::string &what) {
        if (!ok) text += what + "\n";
    }
};

const MVCompareFunction compareInts = compareIntptrs;
void *asKey(intptr_t k) { return reinterpret_cast<void *>(k); }

// Holds all threads until each has arrived, so their work overlaps.
class StartLine {
    std::atomic<int> waiting{kThreads};

public:
    void arrive() {
        waiting--;
        while (waiting.load() > 0) std::this_thread::yield();
    }
};

// Runs work(t, failures, start) on kThreads threads at once and expects no
// thread to have recorded a failure; each body calls start.arrive() when ready.
template <typename Work>
void runTogether(Work work) {
    StartLine start;
    std::vector<Failures> failures(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; t++) threads.emplace_back([&, t] { work(t, failures[t], start); });
    for (std::thread &t : threads) t.join();
    for (int t = 0; t < kThreads; t++) EXPECT_EQ(failures[t].text, "") << "thread " << t;
}

Report reportTo(Failures &f) {
    return [&f](const std::string &what) { f.check(false, what); };
}

void mapAndSetWork(uint32_t seed, Failures &f) {
    IntKeys keys(1, 500);
    MVMap *map = mvMapCreate(compareInts, nullptr);
    MVSet *set = mvSetCreate(compareInts, nullptr);
    MapModel mapDriver(map, keys, reportTo(f));
    SetModel setDriver(set, keys, reportTo(f));
    SeededOps ops(seed);
    mapDriver.run(ops, 3000);
    setDriver.run(ops, 3000);
    mvMapDestroy(map);
    mvSetDestroy(set);
}

void stringMapWork(uint32_t seed, Failures &f) {
    std::vector<std::string> names;
    for (int i = 0; i < 400; i++) names.push_back("k" + std::to_string(i));
    StringKeys keys(names);
    MVSMap *map = mvSMapCreate();
    SMapModel driver(map, keys, reportTo(f));
    SeededOps ops(seed);
    driver.run(ops, 2000);
    mvSMapDestroyAll(map, nullptr);
}

// Bank resources remember the thread's counter, so unloading counts per thread.
struct BankCounts {
    int loads = 0, unloads = 0;
};
struct Resource {
    BankCounts *counts;
};
void *loadResource(const char *path, void *data) {
    if (std::strncmp(path, "miss/", 5) == 0) return nullptr;
    BankCounts *counts = static_cast<BankCounts *>(data);
    counts->loads++;
    return new Resource{counts};
}
void unloadResource(void *resource) {
    Resource *r = static_cast<Resource *>(resource);
    r->counts->unloads++;
    delete r;
}

void bankWork(uint32_t seed, Failures &f) {
    std::mt19937 rng(seed);
    BankCounts counts;
    MVBank *bank = mvBankCreate("miss/%s|hit/%s", loadResource, unloadResource);
    std::set<std::string> held;
    for (int i = 0; i < 1000; i++) {
        std::string name = std::to_string(rng() % 100);
        if (rng() % 3) {
            f.check(mvBankLoad(bank, name.c_str(), &counts) != nullptr, "bank load failed");
            held.insert(name);
        } else {
            mvBankUnload(bank, name.c_str());
            held.erase(name);
        }
    }
    int beforeAll = counts.unloads;
    mvBankUnloadAll(bank);
    f.check(counts.unloads - beforeAll == int(held.size()), "bank unloaded the wrong number at the end");
    f.check(counts.loads == counts.unloads, "bank loads and unloads differ");
    mvBankDestroy(bank);
}

// Pure results: gradients, angles, line ends. The same seed gives the same
// bits on every thread.
std::vector<float> numericWork(uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> d(-10.0f, 10.0f);
    std::vector<float> out;
    for (int mode = MV_GRADIENT_NEAREST; mode <= MV_GRADIENT_CUBIC; mode++) {
        MVGradient *g = mvGradientCreate();
        mvGradientSetInterp(g, mode);
        for (int i = 0; i < 20; i++) mvGradientSetStopKey(g, d(rng), d(rng));
        mvGradientRemoveStopIndex(g, 3);
        for (int i = 0; i < 200; i++) out.push_back(mvGradientGetValue(g, d(rng)));
        mvGradientDestroy(g);
    }
    for (int i = 0; i < 200; i++) {
        float a = d(rng) * 100.0f, b = d(rng) * 100.0f;
        out.push_back(mvAngleDifferenceRads(a, b));
        out.push_back(mvAngleDifferenceDegs(a, b));
        out.push_back(mvAngleRadToDeg(a));
    }
    const char *text = "line one\r\nline two";
    out.push_back(float(mvLineEnd(text) - text));
    return out;
}

void trailWork(uint32_t seed, Failures &f) {
    std::mt19937 rng(seed);
    MVTrail *trail = mvTrailCreate(64);
    std::deque<float> xs;
    for (int i = 0; i < 2000; i++) {
        switch (rng() % 4) {
        case 0:
            mvTrailPopPoint(trail);
            if (!xs.empty()) xs.pop_front();
            break;
        case 1:
            mvTrailAddBreak(trail);
            xs.push_back(NAN);
            break;
        default:
            mvTrailAddPoint2f(trail, float(i), -float(i));
            xs.push_back(float(i));
        }
        if (xs.size() > 64) xs.pop_front();
    }
    bool same = trail->numpoints == xs.size();
    for (uint32_t i = 0; same && i < trail->numpoints; i++)
        same = std::isnan(xs[i]) ? std::isnan(trail->xpoints[i]) : trail->xpoints[i] == xs[i];
    f.check(same, "trail differs from the model");
    mvTrailDestroy(trail);
}

std::vector<std::string> listDirectory(const std::string &path) {
    std::vector<std::string> names;
    if (MVDirectory *dir = mvDirectoryOpen(path.c_str())) {
        while (const char *name = mvDirectoryNext(dir, nullptr, MV_DIRECTORY_SKIP_DOTS)) names.push_back(name);
        mvDirectoryClose(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A scratch directory of a few files, removed again by the destructor.
struct SampleDirectory {
    std::string path;
    std::vector<std::string> names;
    SampleDirectory() {
        char pattern[] = "/tmp/morven-anythread-XXXXXX";
        if (mkdtemp(pattern)) path = pattern;
        for (int i = 0; i < 40; i++) {
            names.push_back("file" + std::to_string(i));
            if (FILE *file = std::fopen((path + "/" + names.back()).c_str(), "w")) std::fclose(file);
        }
        std::sort(names.begin(), names.end());
    }
    ~SampleDirectory() {
        for (const std::string &n : names) unlink((path + "/" + n).c_str());
        rmdir(path.c_str());
    }
};

}  // namespace

TEST(AnyThread, UtilitiesAndContainersOnTheirOwnObjects) {
    SampleDirectory sample;
    ASSERT_EQ(listDirectory(sample.path), sample.names);
    std::vector<std::vector<float>> expected;
    for (int t = 0; t < kThreads; t++) expected.push_back(numericWork(100 + t));

    runTogether([&](int t, Failures &f, StartLine &start) {
        std::string mine = "failure on thread " + std::to_string(t);
        setError("%s", mine.c_str());
        start.arrive();
        uint64_t before = mvGetTime();
        for (int round = 0; round < 3; round++) {
            uint32_t seed = uint32_t(1000 * t + round);
            mapAndSetWork(seed, f);
            stringMapWork(seed, f);
            bankWork(seed, f);
            trailWork(seed, f);
            std::vector<float> numbers = numericWork(100 + t);
            f.check(numbers.size() == expected[t].size() &&
                        std::memcmp(numbers.data(), expected[t].data(), numbers.size() * sizeof(float)) == 0,
                    "numeric results differ from one thread's");
            f.check(listDirectory(sample.path) == sample.names, "directory listing differs");
        }
        f.check(mvGetTime() >= before, "clock went back");
        f.check(mine == mvGetError(), std::string("last error became '") + mvGetError() + "'");
    });
}

// Containers filled once and then only read may be read by several threads together.
TEST(AnyThread, SharedContainersReadTogether) {
    MVMap *map = mvMapCreate(compareInts, nullptr);
    MVSet *set = mvSetCreate(compareInts, nullptr);
    MVSMap *smap = mvSMapCreate();
    for (intptr_t k = 1; k <= 1000; k++) {
        mvMapAssign(map, asKey(k), asKey(-k));
        mvSetInsert(set, asKey(k));
        mvSMapAssign(smap, std::to_string(k).c_str(), asKey(k));
    }
    runTogether([&](int, Failures &f, StartLine &start) {
        start.arrive();
        for (intptr_t k = 1; k <= 1000; k++) {
            f.check(mvMapFind(map, asKey(k)) == asKey(-k), "map find");
            f.check(mvSetSearch(set, asKey(k)) != nullptr, "set search");
            f.check(mvSMapFind(smap, std::to_string(k).c_str()) == asKey(k), "string map find");
        }
        intptr_t previous = 0;
        for (MVMapNode *e = mvMapGetFirst(map); e; e = mvMapNext(map, e)) {
            f.check(reinterpret_cast<intptr_t>(e->key) == previous + 1, "map walk");
            previous = reinterpret_cast<intptr_t>(e->key);
        }
        f.check(previous == 1000 && mvSetCount(set) == 1000, "walk or count");
    });
    mvMapDestroy(map);
    mvSetDestroy(set);
    mvSMapDestroyAll(smap, nullptr);
}
