// A bounded soak: millions of random operations spread over a map, a set, a
// string map and a bank, each shadowed by a standard container, with the
// bank's callbacks counted. Finds are checked as they happen; contents, tree
// shapes and callback counts are compared in full at the end. The count is
// scaled down under AddressSanitizer and valgrind.
#include <gtest/gtest.h>
#include <morven/bank.h>
#include <morven/map.h>
#include <morven/set.h>
#include <morven/smap.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "map_model.h"
#include "set_model.h"
#include "smap_model.h"
#include "tree_check.h"

#if __has_include(<valgrind/valgrind.h>)
#include <valgrind/valgrind.h>
#else
#define RUNNING_ON_VALGRIND 0
#endif

namespace {

long soakOperations() {
    long n = 3000000;
#if defined(__SANITIZE_ADDRESS__)
    n /= 10;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    n /= 10;
#endif
#endif
    if (RUNNING_ON_VALGRIND) n /= 100;
    return n;
}

const MVCompareFunction byString = compareStrings;

// The bank's world: a name loads from "y/<name>", and also from "x/<name>"
// when its number is divisible by three; names divisible by seven load nowhere.
struct Store {
    std::map<std::string, int> resources;
    long loads = 0;    // load callback calls
    long unloads = 0;  // unload callback calls
};
Store *store;

void *storeLoad(const char *path, void *data) {
    EXPECT_EQ(data, store);
    store->loads++;
    int number = std::atoi(path + 3);
    bool x = path[0] == 'x' && number % 3 == 0;
    bool y = path[0] == 'y';
    if (number % 7 == 0 || !(x || y)) return nullptr;
    return &store->resources[path + 2];
}

void storeUnload(void *) { store->unloads++; }

}  // namespace

TEST(Soak, MillionsOfRandomOperationsAgreeWithTheModels) {
    const long operations = soakOperations();
    std::vector<std::string> names;
    for (int i = 0; i < 3000; i++) names.push_back("k" + std::to_string(i * 7919 % 100000));

    MVMap *map = mvMapCreate(byString, nullptr);
    MVSet *set = mvSetCreate(byString, nullptr);
    MVSMap *smap = mvSMapCreate();
    Store s;
    store = &s;
    MVBank *bank = mvBankCreate("x/%s|y/%s", storeLoad, storeUnload);
    ASSERT_TRUE(map && set && smap && bank);

    // Each container has its own driver; one generator decides which moves.
    StringKeys keys(names);
    MapModel mapDriver(map, keys, failTest);
    SetModel setDriver(set, keys, failTest);
    SMapModel smapDriver(smap, keys, failTest);
    std::set<std::string> held;
    long expectedLoads = 0, expectedUnloads = 0;

    SeededOps ops(20261208);
    for (long i = 0; i < operations && mapDriver.ok() && setDriver.ok() && smapDriver.ok(); i++) {
        size_t which = ops.pick(16);
        if (which < 4) {
            mapDriver.step(ops);
        } else if (which < 7) {
            setDriver.step(ops);
        } else if (which < 11) {
            smapDriver.step(ops);
        } else {
            const std::string &name = names[ops.pick(names.size())];
            if (which < 14) {
                int number = std::atoi(name.c_str() + 1);
                bool wasHeld = held.count(name) == 1;
                void *resource = mvBankLoad(bank, name.c_str(), &s);
                if (!wasHeld) {
                    expectedLoads += number % 3 == 0 && number % 7 != 0 ? 1 : 2;
                    if (number % 7 != 0) held.insert(name);
                }
                ASSERT_EQ(resource, number % 7 == 0 ? nullptr : &s.resources[name]);
            } else {
                mvBankUnload(bank, name.c_str());
                expectedUnloads += long(held.erase(name));
            }
        }
    }

    EXPECT_TRUE(mapDriver.verify());
    EXPECT_TRUE(setDriver.verify());
    EXPECT_TRUE(smapDriver.verify());
    EXPECT_EQ(s.loads, expectedLoads);
    EXPECT_EQ(s.unloads, expectedUnloads);
    EXPECT_EQ(mvMapCount(bank->map), held.size());
    for (const std::string &name : held) EXPECT_EQ(mvSMapFind(bank->map, name.c_str()), &s.resources[name]);

    smapDriver.empty();
    mvSMapDestroy(smap);
    mvBankDestroy(bank);
    mvSetDestroy(set);
    mvMapDestroy(map);
}
