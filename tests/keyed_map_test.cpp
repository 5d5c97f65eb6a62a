// Maps that order their keys themselves (integer keys compared inline, string
// keys by slices after the start all keys share): checked against std::map,
// with the tree's shape, through growth, removal to empty and regrowth, and
// with every entry keeping its address throughout.
#include <gtest/gtest.h>
#include <morven/map.h>
#include <morven/smap.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "alloc_fail.h"
#include "core/containers/map_internal.h"
#include "tree_check.h"

namespace {

void *asKey(intptr_t i) { return reinterpret_cast<void *>(i); }
intptr_t asInt(const void *p) { return reinterpret_cast<intptr_t>(p); }

template <class Model, class KeyOf>
void expectWalkMatches(const MVMap *map, const Model &model, KeyOf keyOf, MVCompareFunction cmp) {
    ASSERT_EQ(mvMapCount(map), model.size());
    auto it = model.begin();
    for (MVMapNode *e = mvMapGetFirst(map); e; e = mvMapNext(map, e), ++it) {
        ASSERT_NE(it, model.end());
        ASSERT_EQ(keyOf(e->key), it->first);
        ASSERT_EQ(e->value, it->second.value);
        ASSERT_EQ(e, it->second.entry) << "an entry moved";
    }
    ASSERT_EQ(it, model.end());
    checkTree(mapTreeRoot(map), cmp, model.size());
}

struct Held {
    void *value;
    MVMapNode *entry;
};

}  // namespace

// Keys around zero and at both ends of the range, where a comparison by
// subtraction or as unsigned numbers would go wrong.
TEST(KeyedMap, IntegerKeysAgreeWithStdMapAndKeepTheirEntries) {
    std::mt19937 rng(99);
    std::vector<intptr_t> keys = {INTPTR_MIN, INTPTR_MIN + 1, -1, 0, 1, INTPTR_MAX - 1, INTPTR_MAX};
    std::uniform_int_distribution<intptr_t> small(-3000, 3000);
    while (keys.size() < 3000) keys.push_back(small(rng) * 1000003);
    std::uniform_int_distribution<size_t> pick(0, keys.size() - 1);
    std::uniform_int_distribution<int> op(0, 9);
    MVMap *map = mvMapCreate(mvMapCompareIntegers, nullptr);
    ASSERT_NE(map, nullptr);
    std::map<intptr_t, Held> model;
    for (int step = 1; step < 120000; step++) {
        intptr_t k = keys[pick(rng)];
        int o = op(rng);
        // Grow first, then shrink to empty, then grow again.
        if (step > 40000 && step < 80000 && o < 4) o += 4;
        auto it = model.find(k);
        if (o < 4) {
            MVMapNode *e = mvMapFindNode(map, asKey(k));
            ASSERT_EQ(e != nullptr, it != model.end());
            if (!e) {
                e = mvMapAssignNode(map, asKey(k), asKey(step));
                ASSERT_NE(e, nullptr);
                model[k] = {asKey(step), e};
            } else {
                ASSERT_EQ(e, it->second.entry);
                e->value = asKey(step);
                it->second.value = e->value;
            }
        } else if (o < 7) {
            void *v = mvMapRemove(map, asKey(k));
            ASSERT_EQ(v, it == model.end() ? nullptr : it->second.value);
            if (it != model.end()) model.erase(it);
        } else if (o < 9) {
            ASSERT_EQ(mvMapFind(map, asKey(k)), it == model.end() ? nullptr : it->second.value);
        } else if (!model.empty()) {
            MVMapNode *e = step % 3 == 0 ? mvMapPopFirst(map) : step % 3 == 1 ? mvMapPopLast(map) : mvMapPopRoot(map);
            auto at = model.find(asInt(e->key));
            ASSERT_NE(at, model.end());
            if (step % 3 == 0) {
                ASSERT_EQ(at, model.begin());
            } else if (step % 3 == 1) {
                ASSERT_EQ(at, std::prev(model.end()));
            }
            ASSERT_EQ(e, at->second.entry);
            model.erase(at);
            ASSERT_EQ(mvMapFindNode(map, e->key), nullptr);
        }
        if (step % 10000 == 0) expectWalkMatches(map, model, asInt, mvMapCompareIntegers);
    }
    expectWalkMatches(map, model, asInt, mvMapCompareIntegers);
    for (intptr_t k : keys) ASSERT_EQ(mvMapFindNode(map, asKey(k)) != nullptr, model.count(k) == 1);
    mvMapDestroy(map);
}

// String keys are compared eight bytes at a time after the start that every
// key in the map shares (at most 48 bytes of it). Keys here share long starts that later keys cut
// short at every length (down to the empty key), end inside the shared start
// or right after it, and hold bytes above 0x7f.
TEST(KeyedMap, SharedStartsOfEveryLengthOrderLikeStrcmp) {
    std::mt19937 rng(2024);
    const std::string base = "/usr/share/game/data/levels/forest/tiles/summer/evening/a";  // 57 bytes
    std::vector<std::string> keys;
    std::map<std::string, bool> seen;
    std::uniform_int_distribution<int> tail(0, 6), byte(0, 4), cut(0, int(base.size()));
    const char bytes[] = {'0', '1', 'z', '\x7f', '\xe9'};
    auto add = [&](std::string k) {
        if (seen.emplace(k, true).second) keys.push_back(k);
    };
    for (int i = 0; i < 2500; i++) {
        std::string k = base;
        for (int j = tail(rng); j > 0; j--) k += bytes[byte(rng)];
        add(k);
    }
    const size_t baseKeys = keys.size();
    // Later keys: shorter shared starts, one length at a time, and prefixes.
    std::vector<std::string> breakers;
    for (int n = int(base.size()); n >= 0; n--) {
        breakers.push_back(base.substr(0, size_t(n)));
        if (n > 0) breakers.push_back(base.substr(0, size_t(n - 1)) + '\x01' + "x");
    }
    for (int i = 0; i < 500; i++) breakers.push_back(base.substr(0, size_t(cut(rng))) + bytes[byte(rng)]);

    MVSMap *map = mvSMapCreate();
    std::map<std::string, Held> model;
    auto check = [&] {
        expectWalkMatches(
            map, model, [](const void *k) { return std::string(static_cast<const char *>(k)); },
            mvMapCompareStrings);
    };
    auto insert = [&](const std::string &k, int v) {
        std::string probe = k;  // another buffer with the same text
        MVMapNode *e = mvSMapAssignNode(map, probe.c_str(), asKey(v));
        ASSERT_NE(e, nullptr);
        auto it = model.find(k);
        if (it != model.end()) {
            ASSERT_EQ(e, it->second.entry);
        }
        model[k] = {asKey(v), e};
    };
    int v = 1;
    for (size_t i = 0; i < baseKeys; i++) insert(keys[i], v++);
    check();
    // Keys that lack the start all present keys share, or end inside it.
    for (const std::string &absent : {std::string(), base.substr(0, 20), base.substr(0, 20) + "Z", std::string("~")}) {
        EXPECT_EQ(mvSMapFindNode(map, absent.c_str()), nullptr) << absent;
        EXPECT_EQ(mvSMapRemove(map, absent.c_str()), nullptr) << absent;
    }
    EXPECT_EQ(mvMapCount(map), model.size());
    // Each breaker cuts the shared start; every other key must still be found.
    for (size_t i = 0; i < breakers.size(); i++) {
        insert(breakers[i], v++);
        if (i % 40 == 0) {
            for (auto &m : model) ASSERT_EQ(mvSMapFindNode(map, std::string(m.first).c_str()), m.second.entry);
        }
    }
    check();
    // Absent keys near present ones, and outside every shared start.
    const std::string absents[] = {"", base.substr(0, base.size() - 1), "~", base + '\x01'};
    for (const std::string &absent : absents) {
        if (model.count(absent)) continue;
        EXPECT_EQ(mvSMapFindNode(map, absent.c_str()), nullptr) << absent;
        EXPECT_EQ(mvSMapRemove(map, absent.c_str()), nullptr);
    }
    // Remove in random order, checking as the map empties.
    std::vector<std::string> order;
    for (auto &m : model) order.push_back(m.first);
    std::shuffle(order.begin(), order.end(), rng);
    for (size_t i = 0; i < order.size(); i++) {
        void *expected = model.at(order[i]).value;
        ASSERT_EQ(mvSMapRemove(map, std::string(order[i]).c_str()), expected);
        model.erase(order[i]);
        if (i % 500 == 0) check();
    }
    check();
    EXPECT_EQ(mvSMapGetRoot(map), nullptr);
    // Emptied, the map takes a new shared start from its next key.
    insert("zzzzzzzzzzzzzzzz-1", 1);
    insert("zzzzzzzzzzzzzzzz-2", 2);
    insert("a", 3);
    check();
    while (MVMapNode *e = mvSMapPopFirst(map)) std::free(e->key);
    mvSMapDestroy(map);
}

// Adding an entry may need a new chunk of nodes; when it cannot be had,
// nothing changes and the entry can be added later.
TEST(KeyedMap, RunningOutOfMemoryForAnEntryChangesNothing) {
    MVMap *map = mvMapCreate(mvMapCompareIntegers, nullptr);
    std::map<intptr_t, Held> model;
    // Ascending keys: every insertion rotates at the right edge of the tree.
    long failures = 0;
    for (intptr_t k = 0; k < 5000; k++) {
        MVMapNode *e = nullptr;
        for (long at = 0;; at++) {
            allocfail::failAt(at);
            e = mvMapAssignNode(map, asKey(k), asKey(k + 1));
            long made = allocfail::disarm();
            if (made <= at) break;  // nothing failed
            failures++;
            ASSERT_EQ(e, nullptr);
            ASSERT_EQ(mvMapCount(map), model.size());
            ASSERT_EQ(mvMapFindNode(map, asKey(k)), nullptr);
            if (k > 0) {
                ASSERT_EQ(mvMapGetLast(map)->key, asKey(k - 1));
            }
        }
        ASSERT_NE(e, nullptr);
        ASSERT_EQ(mvMapFindNode(map, asKey(k)), e);
        model[k] = {asKey(k + 1), e};
        if (k % 1000 == 0) expectWalkMatches(map, model, asInt, mvMapCompareIntegers);
    }
    EXPECT_GT(failures, 3);  // the map took new chunks several times
    expectWalkMatches(map, model, asInt, mvMapCompareIntegers);
    mvMapDestroy(map);
}

// The two exported orders are what a caller's own would be.
TEST(KeyedMap, ExportedOrdersCompareLikeTheirModels) {
    EXPECT_LT(mvMapCompareIntegers(asKey(-5), asKey(3)), 0);
    EXPECT_GT(mvMapCompareIntegers(asKey(INTPTR_MAX), asKey(INTPTR_MIN)), 0);
    EXPECT_EQ(mvMapCompareIntegers(asKey(7), asKey(7)), 0);
    EXPECT_LT(mvMapCompareStrings("B", "a"), 0);
    EXPECT_LT(mvMapCompareStrings("ab", "abc"), 0);
    EXPECT_GT(mvMapCompareStrings("\xe9", "z"), 0);
    EXPECT_EQ(mvMapCompareStrings("same", "same"), 0);

    // A core map given the string order keeps the caller's key pointers and
    // orders them itself, the empty key first.
    MVMap *map = mvMapCreate(mvMapCompareStrings, nullptr);
    char b[] = "B", a[] = "a", ab[] = "ab", empty[] = "";
    for (char *k : {a, ab, b, empty}) EXPECT_EQ(mvMapAssignNode(map, k, k)->key, k);
    const char *order[] = {"", "B", "a", "ab"};
    int i = 0;
    for (MVMapNode *e = mvMapGetFirst(map); e && i < 4; e = mvMapNext(map, e))
        EXPECT_STREQ(static_cast<char *>(e->key), order[i++]);
    EXPECT_EQ(i, 4);
    EXPECT_EQ(mvMapFind(map, std::string("ab").c_str()), ab);
    EXPECT_EQ(mvMapFind(map, "abc"), nullptr);
    EXPECT_EQ(mvMapRemove(map, std::string("a").c_str()), a);
    EXPECT_EQ(mvMapFind(map, "a"), nullptr);
    EXPECT_EQ(mvMapCount(map), 3u);
    mvMapDestroy(map);
}
