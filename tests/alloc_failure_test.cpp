// Allocation failure along whole scripted runs: each script is run once for
// every allocation index k, first with only allocation k refused, then with
// every allocation from k on refused, until a run makes fewer than k + 1
// allocations. After each operation the record must match a model that
// knows which operation had an allocation refused and what the documented
// result is then; the leak checkers that run this binary see anything lost.
#include <gtest/gtest.h>
#include <morven/bank.h>
#include <morven/gradient.h>
#include <morven/map.h>
#include <morven/set.h>
#include <morven/smap.h>
#include <morven/trail.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "alloc_fail.h"
#include "float_bits.h"
#include "map_model.h"
#include "recording_renderer.h"
#include "set_model.h"
#include "smap_model.h"
#include "tree_check.h"

namespace {

// Which allocations of the operation just run were refused.
struct Refusals : AllocWatch {
    long k;
    bool sticky;
    long before = 0;

    Refusals(long at, bool all) : k(at), sticky(all) {}
    void start() override { before = allocfail::counted(); }
    bool refused() const override { return hit(); }
    // The index, within the operation, of its first refused allocation; -1 when none was.
    long first() const {
        long after = allocfail::counted();
        long f = sticky ? std::max(before, k) : k;
        return f >= before && f < after ? f - before : -1;
    }
    bool hit() const { return first() >= 0; }
};

// Runs script for every k, single and sticky; returns the allocations of a
// run with nothing refused.
template <class Script>
long forEveryRefusal(Script script) {
    long total = -1;
    for (bool sticky : {false, true}) {
        for (long k = 0;; k++) {
            SCOPED_TRACE(testing::Message() << "allocation " << k << (sticky ? " and every later one" : ""));
            allocfail::failAt(k, sticky);
            Refusals refusals{k, sticky};
            script(refusals);
            long made = allocfail::disarm();
            if (made <= k) {
                EXPECT_TRUE(total < 0 || total == made);
                total = made;
                break;
            }
            if (testing::Test::HasFailure()) return total;
        }
    }
    return total;
}

const MVCompareFunction byString = compareStrings;

// Keys in a scrambled order, enough to need several node chunks.
std::vector<std::string> scrambledKeys(int n) {
    std::vector<std::string> keys;
    for (int i = 0; i < n; i++) keys.push_back("key" + std::to_string((i * 37) % n));
    return keys;
}

int values[64];

}  // namespace

TEST(AllocationFailure, StringMapAlongAScriptedRun) {
    StringKeys keys(scrambledKeys(40));
    long total = forEveryRefusal([&](Refusals &r) {
        r.start();
        MVSMap *map = mvSMapCreate();
        if (r.hit()) {
            EXPECT_EQ(map, nullptr);
            return;
        }
        ASSERT_NE(map, nullptr);
        // The driver checks each setter's documented result, with and without
        // a refused allocation, and the whole map after every operation.
        SMapModel driver(map, keys, failTest);
        driver.watch = &r;
        int v = 0;
        for (size_t i = 0; i < keys.size(); i++) {
            driver.set(i, SMapModel::Setter(i % 3), &values[v++ % 64]);
            driver.verify();
        }
        // Updates of present keys allocate nothing.
        for (size_t i = 0; i < keys.size(); i++)
            if (driver.model().count(keys.text(i))) driver.set(i, SMapModel::REPLACE, &values[63]);
        // Removals, then insertions that reuse freed nodes.
        for (size_t i = 0; i < keys.size(); i += 3) driver.remove(i);
        driver.verify();
        for (size_t i = 0; i < keys.size(); i += 3) {
            driver.set(i, SMapModel::ASSIGN_NODE, &values[i % 64]);
            driver.verify();
        }
        while (!driver.model().empty()) driver.pop(0);
        driver.pop(0);
        EXPECT_TRUE(driver.verify());
        mvSMapDestroy(map);
    });
    EXPECT_GT(total, 50);
}

TEST(AllocationFailure, MapAndSetNodesAlongAScriptedRun) {
    StringKeys keys(scrambledKeys(70));
    forEveryRefusal([&](Refusals &r) {
        r.start();
        MVMap *map = mvMapCreate(byString, nullptr);
        if (r.hit()) {
            EXPECT_EQ(map, nullptr);
            return;
        }
        ASSERT_NE(map, nullptr);
        MapModel driver(map, keys, failTest);
        driver.watch = &r;
        for (size_t i = 0; i < keys.size(); i++) {
            driver.assign(i, i % 2);
            driver.verify();
            if (i % 5 == 4) driver.remove(i - 2);  // a removal now and then frees a node for reuse
        }
        EXPECT_TRUE(driver.verify());
        mvMapDestroy(map);
    });

    forEveryRefusal([&](Refusals &r) {
        r.start();
        MVSet *set = mvSetCreate(byString, nullptr);
        if (r.hit()) {
            EXPECT_EQ(set, nullptr);
            return;
        }
        ASSERT_NE(set, nullptr);
        SetModel driver(set, keys, failTest);
        driver.watch = &r;
        for (size_t i = 0; i < keys.size(); i++) {
            driver.insert(i);
            if (i % 5 == 4) driver.remove(i - 2);
            driver.verify();
        }
        EXPECT_TRUE(driver.verify());
        mvSetDestroy(set);
    });
}

namespace {

// Yields a resource for "b/<name>" and for "a/<name>" when the name ends in an odd digit.
struct Shelf {
    std::map<std::string, int> resources;
    int loads = 0;
    int unloads = 0;
};
Shelf *shelf;

void *shelfLoad(const char *path, void *data) {
    EXPECT_EQ(data, shelf);
    shelf->loads++;
    std::string p = path;
    if (p.compare(0, 2, "b/") != 0 && !(p.compare(0, 2, "a/") == 0 && (p.back() - '0') % 2)) return nullptr;
    return &shelf->resources[p.substr(2)];
}

void shelfUnload(void *) { shelf->unloads++; }

}  // namespace

TEST(AllocationFailure, BankAlongAScriptedRun) {
    long total = forEveryRefusal([&](Refusals &r) {
        Shelf s;
        shelf = &s;
        r.start();
        MVBank *bank = mvBankCreate("a/%s|b/%s", shelfLoad, shelfUnload);
        if (r.hit()) {
            EXPECT_EQ(bank, nullptr);
            return;
        }
        ASSERT_NE(bank, nullptr);
        std::set<std::string> held;
        auto load = [&](const std::string &name) {
            int before = s.loads;
            r.start();
            void *resource = mvBankLoad(bank, name.c_str(), &s);
            long refused = r.first();
            bool wasHeld = held.count(name) == 1;
            if (wasHeld) {
                EXPECT_EQ(refused, -1) << "a held name allocates nothing";
                EXPECT_EQ(s.loads, before);
            } else if (refused == 0) {
                // The path buffer: no callback, nothing held.
                EXPECT_EQ(resource, nullptr);
                EXPECT_EQ(s.loads, before);
            } else {
                EXPECT_GT(s.loads, before);
                if (refused < 0) held.insert(name);  // a refused name copy still returns the resource, unheld
            }
            if (!(refused == 0 && !wasHeld)) {
                EXPECT_EQ(resource, &s.resources[name]);
            }
            EXPECT_EQ(mvSMapFind(bank->map, name.c_str()) != nullptr, held.count(name) == 1);
            EXPECT_EQ(mvMapCount(bank->map), held.size());
        };
        std::vector<std::string> names;
        for (int i = 0; i < 24; i++) names.push_back("n" + std::to_string(i));
        for (const std::string &n : names) load(n);
        for (const std::string &n : names) load(n);
        for (size_t i = 0; i < names.size(); i += 2) {
            int before = s.unloads;
            mvBankUnload(bank, names[i].c_str());
            EXPECT_EQ(s.unloads, before + int(held.erase(names[i])));
        }
        for (size_t i = 0; i < names.size(); i += 4) load(names[i]);
        EXPECT_EQ(mvMapCount(bank->map), held.size());
        mvBankDestroy(bank);
    });
    EXPECT_GT(total, 30);
}

TEST(AllocationFailure, GradientAlongAScriptedRun) {
    const float keys[] = {0.5f, -2.0f, 3.0f, 0.25f, 9.0f, -0.0f, 1.0f, 7.5f, -5.0f, 2.0f, NAN, 4.0f};
    long total = forEveryRefusal([&](Refusals &r) {
        r.start();
        MVGradient *g = mvGradientCreate();
        if (r.hit()) {
            EXPECT_EQ(g, nullptr);
            return;
        }
        ASSERT_NE(g, nullptr);
        std::vector<std::pair<float, float>> model = {{0.0f, 0.0f}, {1.0f, 1.0f}};
        auto expectStops = [&] {
            ASSERT_EQ(g->numvals, model.size());
            for (size_t i = 0; i < model.size(); i++) {
                EXPECT_EQ(floatBits(g->vals[i].x), floatBits(model[i].first)) << "stop " << i;
                EXPECT_EQ(floatBits(g->vals[i].y), floatBits(model[i].second)) << "stop " << i;
            }
        };
        auto setKey = [&](float key, float value) {
            size_t at = 0;
            while (at < model.size() && !(model[at].first > key)) at++;
            bool present = at > 0 && model[at - 1].first == key;
            r.start();
            mvGradientSetStopKey(g, key, value);
            if (present) {
                EXPECT_FALSE(r.hit());
                model[at - 1].second = value;
            } else if (!r.hit()) {
                model.insert(model.begin() + long(at), {key, value});
            }
            expectStops();
        };
        for (size_t i = 0; i < sizeof keys / sizeof keys[0]; i++) setKey(keys[i], float(i));
        setKey(3.0f, 33.0f);
        // Removals by index and by key; a refused shrink leaves the stops as they were.
        for (int attempt = 0; attempt < 20 && model.size() > 1; attempt++) {
            size_t index = model.size() / 2;
            bool byKey = attempt % 2 && !std::isnan(model[index].first);
            r.start();
            if (byKey)
                mvGradientRemoveStopKey(g, model[index].first);
            else
                mvGradientRemoveStopIndex(g, index);
            if (!r.hit()) model.erase(model.begin() + long(index));
            expectStops();
        }
        if (model.size() == 1) {
            r.start();
            mvGradientRemoveStopIndex(g, 0);  // shrinking to no stops cannot be refused
            EXPECT_FALSE(r.hit());
            EXPECT_EQ(g->numvals, 0u);
        }
        mvGradientDestroy(g);
    });
    EXPECT_GT(total, 15);
}

TEST(AllocationFailure, TrailAlongAScriptedRun) {
    long total = forEveryRefusal([&](Refusals &r) {
        r.start();
        MVTrail *trail = mvTrailCreate(5);
        if (r.hit()) {
            EXPECT_EQ(trail, nullptr);
            return;
        }
        ASSERT_NE(trail, nullptr);
        std::deque<std::pair<uint32_t, uint32_t>> model;
        auto expectEntries = [&] {
            ASSERT_EQ(trail->numpoints, model.size());
            for (size_t i = 0; i < model.size(); i++) {
                EXPECT_EQ(floatBits(trail->xpoints[i]), model[i].first);
                EXPECT_EQ(floatBits(trail->ypoints[i]), model[i].second);
            }
        };
        RecordingRenderer recorder;
        for (int i = 0; i < 16; i++) {
            float x = float(i), y = float(-i);
            r.start();
            if (i % 7 == 3)
                mvTrailAddBreak(trail);
            else
                mvTrailAddPoint2f(trail, x, y);
            long refused = r.first();
            // Growing x and y come first; refusing either drops the append.
            if (refused != 0 && refused != 1) {
                model.push_back(i % 7 == 3 ? std::make_pair(0x7FC00000u, 0x7FC00000u)
                                           : std::make_pair(floatBits(x), floatBits(y)));
                if (model.size() > 5) model.pop_front();
            }
            expectEntries();
            if (i % 4 == 1) {
                mvTrailDraw(trail);  // may drop a leading break
                if (!model.empty() && std::isnan(floatFromBits(model.front().first))) model.pop_front();
                expectEntries();
            }
            if (i % 6 == 5) {
                mvTrailPopPoint(trail);
                if (!model.empty()) model.pop_front();
                expectEntries();
            }
        }
        while (!model.empty()) {
            mvTrailPopPoint(trail);
            model.pop_front();
            expectEntries();
        }
        mvTrailAddPoint2f(trail, 1.0f, 2.0f);
        mvTrailDestroy(trail);
    });
    EXPECT_GT(total, 40);
}
