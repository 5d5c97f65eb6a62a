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

#include "core/containers/map_internal.h"
#include "tree_invariants.h"

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

int byString(const void *a, const void *b) {
    return std::strcmp(static_cast<const char *>(a), static_cast<const char *>(b));
}

void *tag(uint64_t v) { return reinterpret_cast<void *>(static_cast<uintptr_t>(v)); }

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

template <class Model>
void expectMapMatches(const MVMap *map, const Model &model) {
    ASSERT_EQ(mvMapCount(map), model.size());
    auto it = model.begin();
    for (MVMapNode *e = mvMapGetFirst(map); e; e = mvMapNext(map, e), ++it) {
        ASSERT_NE(it, model.end());
        ASSERT_EQ(it->first, static_cast<const char *>(e->key));
        ASSERT_EQ(it->second, e->value);
    }
    int h = checkedHeight(mapTreeRoot(map), nullptr, byString);
    ASSERT_TRUE(h >= 0 && heightWithinBound(h, model.size()));
}

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

    std::map<std::string, void *> mapModel, smapModel;
    std::set<std::string> setModel, held;
    long expectedLoads = 0, expectedUnloads = 0;

    std::mt19937_64 rng(20261208);
    char buffer[32];
    for (long i = 0; i < operations; i++) {
        uint64_t r = rng();
        const std::string &name = names[(r >> 8) % names.size()];
        void *key = const_cast<char *>(name.c_str());
        void *value = tag(r | 1);
        switch (r % 16) {
        case 0:
        case 1:
            if (!mvMapFindNode(map, key)) {
                ASSERT_NE(mvMapAssignNode(map, key, value), nullptr);
                mapModel[name] = value;
            }
            break;
        case 2: {
            auto it = mapModel.find(name);
            ASSERT_EQ(mvMapRemove(map, key), it == mapModel.end() ? nullptr : it->second);
            if (it != mapModel.end()) mapModel.erase(it);
            break;
        }
        case 3: {
            auto it = mapModel.find(name);
            ASSERT_EQ(mvMapFind(map, key), it == mapModel.end() ? nullptr : it->second);
            break;
        }
        case 4:
            ASSERT_NE(mvSetInsert(set, key), nullptr);
            setModel.insert(name);
            break;
        case 5:
            ASSERT_EQ(mvSetRemoveItem(set, key), setModel.erase(name) == 1);
            break;
        case 6:
            ASSERT_EQ(mvSetSearch(set, key) != nullptr, setModel.count(name) == 1);
            break;
        case 7:
        case 8: {
            // Keys come from a scratch buffer that is overwritten afterwards.
            std::snprintf(buffer, sizeof buffer, "%s", name.c_str());
            auto it = smapModel.find(name);
            ASSERT_EQ(mvSMapReplace(smap, buffer, value), it == smapModel.end() ? nullptr : it->second);
            smapModel[name] = value;
            std::memset(buffer, '#', sizeof buffer - 1);
            break;
        }
        case 9: {
            auto it = smapModel.find(name);
            ASSERT_EQ(mvSMapRemove(smap, name.c_str()), it == smapModel.end() ? nullptr : it->second);
            if (it != smapModel.end()) smapModel.erase(it);
            break;
        }
        case 10:
            if (MVMapNode *e = (r & 256) ? mvSMapPopFirst(smap) : mvSMapPopLast(smap)) {
                auto it = (r & 256) ? smapModel.begin() : std::prev(smapModel.end());
                ASSERT_EQ(it->first, static_cast<char *>(e->key));
                smapModel.erase(it);
                std::free(e->key);
            } else {
                ASSERT_TRUE(smapModel.empty());
            }
            break;
        case 11:
        case 12:
        case 13: {
            int number = std::atoi(name.c_str() + 1);
            bool wasHeld = held.count(name) == 1;
            void *resource = mvBankLoad(bank, name.c_str(), &s);
            if (!wasHeld) {
                expectedLoads += number % 3 == 0 && number % 7 != 0 ? 1 : 2;
                if (number % 7 != 0) held.insert(name);
            }
            ASSERT_EQ(resource, number % 7 == 0 ? nullptr : &s.resources[name]);
            break;
        }
        default:
            mvBankUnload(bank, name.c_str());
            expectedUnloads += long(held.erase(name));
        }
    }

    expectMapMatches(map, mapModel);
    expectMapMatches(smap, smapModel);
    ASSERT_EQ(mvSetCount(set), setModel.size());
    auto it = setModel.begin();
    for (MVTreeNode *n = mvSetFirst(set); n; n = mvSetNext(n), ++it) ASSERT_EQ(*it, static_cast<char *>(n->item));
    int h = checkedHeight(set->root, nullptr, byString);
    ASSERT_TRUE(h >= 0 && heightWithinBound(h, setModel.size()));
    EXPECT_EQ(s.loads, expectedLoads);
    EXPECT_EQ(s.unloads, expectedUnloads);
    EXPECT_EQ(mvMapCount(bank->map), held.size());
    for (const std::string &name : held) EXPECT_EQ(mvSMapFind(bank->map, name.c_str()), &s.resources[name]);

    while (MVMapNode *e = mvSMapPopFirst(smap)) std::free(e->key);
    mvSMapDestroy(smap);
    mvBankDestroy(bank);
    mvSetDestroy(set);
    mvMapDestroy(map);
}
