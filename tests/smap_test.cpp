#include <gtest/gtest.h>
#include <morven/smap.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "alloc_fail.h"
#include "smap_model.h"
#include "tree_check.h"

namespace {

struct SMap : ::testing::Test {
    MVSMap *map = mvSMapCreate();
    int v1 = 1, v2 = 2;
    void TearDown() override {
        while (MVMapNode *e = mvSMapPopFirst(map)) std::free(e->key);
        mvSMapDestroy(map);
    }
};

}  // namespace

TEST_F(SMap, ReplaceReturnsThePreviousValue) {
    EXPECT_EQ(mvSMapReplace(map, "k", &v1), nullptr);
    EXPECT_EQ(mvSMapReplace(map, "k", &v2), &v1);
    EXPECT_EQ(mvSMapFind(map, "k"), &v2);
    // A stored null looks like an absent key to Replace and Find, not to FindNode.
    EXPECT_EQ(mvSMapReplace(map, "n", nullptr), nullptr);
    EXPECT_EQ(mvSMapReplace(map, "n", &v1), nullptr);
    EXPECT_EQ(mvSMapReplace(map, "n", nullptr), &v1);
    EXPECT_EQ(mvSMapFind(map, "n"), nullptr);
    EXPECT_NE(mvSMapFindNode(map, "n"), nullptr);
    EXPECT_EQ(mvSMapFindNode(map, "absent"), nullptr);
}

TEST_F(SMap, AssignNodeUpdatesTheExistingEntryInPlace) {
    MVMapNode *e = mvSMapAssignNode(map, "key", &v1);
    ASSERT_NE(e, nullptr);
    void *copy = e->key;
    EXPECT_EQ(mvSMapAssignNode(map, "key", &v2), e);
    EXPECT_EQ(mvSMapFindNode(map, "key"), e);
    EXPECT_EQ(e->key, copy);
    EXPECT_EQ(e->value, &v2);
    EXPECT_EQ(mvSMapAssign(map, "key", &v1), &v1);
    EXPECT_EQ(e->value, &v1);
}

TEST_F(SMap, KeysAreCopiedSoCallerBuffersMayChange) {
    char buffer[8] = "temp";
    mvSMapAssign(map, buffer, &v1);
    MVMapNode *e = mvSMapFindNode(map, "temp");
    ASSERT_NE(e, nullptr);
    EXPECT_NE(e->key, static_cast<void *>(buffer));
    std::strcpy(buffer, "zzzz");
    EXPECT_EQ(mvSMapFind(map, "temp"), &v1);
    EXPECT_EQ(mvSMapFind(map, "zzzz"), nullptr);
    EXPECT_STREQ(static_cast<char *>(e->key), "temp");
}

TEST_F(SMap, OrderIsByteOrder) {
    for (const char *k : {"abc", "a", "B", "ab", ""}) mvSMapAssign(map, k, &v1);
    EXPECT_STREQ(static_cast<char *>(mvSMapGetFirst(map)->key), "");
    EXPECT_STREQ(static_cast<char *>(mvSMapGetLast(map)->key), "abc");
    const char *expected[] = {"", "B", "a", "ab", "abc"};
    for (const char *k : expected) {
        MVMapNode *e = mvSMapPopFirst(map);
        ASSERT_NE(e, nullptr);
        EXPECT_STREQ(static_cast<char *>(e->key), k);
        std::free(e->key);
    }
    EXPECT_EQ(mvSMapGetRoot(map), nullptr);
}

TEST_F(SMap, RemoveReleasesTheCopyAndPopHandsItOver) {
    mvSMapAssign(map, "a", &v1);
    mvSMapAssign(map, "b", &v2);
    EXPECT_EQ(mvSMapRemove(map, "zz"), nullptr);
    EXPECT_EQ(mvSMapRemove(map, "b"), &v2);
    EXPECT_EQ(mvSMapFind(map, "b"), nullptr);
    MVMapNode *e = mvSMapPopFirst(map);
    ASSERT_NE(e, nullptr);
    EXPECT_STREQ(static_cast<char *>(e->key), "a");
    EXPECT_EQ(e->value, &v1);
    void *popped = e->key;
    // Popping left nothing behind: assigning again makes a fresh key copy.
    MVMapNode *again = mvSMapAssignNode(map, "a", &v2);
    EXPECT_EQ(mvSMapFind(map, "a"), &v2);
    EXPECT_STREQ(static_cast<char *>(again->key), "a");
    std::free(popped);
    mvSMapDestroy(nullptr);
}

TEST_F(SMap, AgreesWithStdMapOverRandomOperations) {
    std::mt19937 rng(99);
    std::uniform_int_distribution<int> len(0, 6), letter('a', 'd');
    std::vector<std::string> texts;
    for (int i = 0; i < 3000; i++) {
        std::string k;
        for (int n = len(rng); n > 0; n--) k += char(letter(rng));
        texts.push_back(k);
    }
    StringKeys keys(texts);
    SMapModel driver(map, keys, failTest);
    SeededOps ops(99);
    EXPECT_TRUE(driver.run(ops, 100000, 10000));
    EXPECT_GT(driver.model().size(), 50u);
}

// Each setter, with each of its allocations failing in turn: the documented
// result, the map unchanged, and (checked by the leak checkers) no key copy lost.
TEST_F(SMap, FailedAllocationsLeaveTheMapUnchanged) {
    void *result = &v1;
    allocfail::everyFailure([&] { result = mvSMapReplace(map, "new", &v1); },
                            [&](long) {
                                if (!mvSMapFindNode(map, "new")) {
                                    EXPECT_EQ(result, nullptr);
                                }
                            });
    EXPECT_EQ(mvSMapFind(map, "new"), &v1);
    mvSMapRemove(map, "new");

    // A fresh map: the key copy is the first allocation, the first node chunk the second.
    for (long k = 0; k < 2; k++) {
        allocfail::failAt(k);
        void *assigned = mvSMapAssign(map, "x", &v2);
        MVMapNode *node = mvSMapAssignNode(map, "y", &v2);
        void *replaced = mvSMapReplace(map, "z", &v2);
        allocfail::disarm();
        EXPECT_EQ(assigned, &v2);
        EXPECT_EQ(replaced, nullptr);
        EXPECT_EQ(mvMapCount(map), 2u) << "only the first call failed";
        EXPECT_EQ(mvSMapFindNode(map, "x"), nullptr);
        EXPECT_EQ(node, mvSMapFindNode(map, "y"));
        while (MVMapNode *e = mvSMapPopFirst(map)) std::free(e->key);
        mvSMapDestroy(map);
        map = mvSMapCreate();
    }
}

namespace {
std::multiset<int> freedValues;
void freeValue(void *value) {
    freedValues.insert(*static_cast<int *>(value));
    std::free(value);
}
}  // namespace

// Every key copy and every non-null value goes; the values each exactly once.
// (The memory checks see any key copy left behind.)
TEST_F(SMap, DestroyAllReleasesKeysAndHandsOverValues) {
    MVSMap *full = mvSMapCreate();
    std::multiset<int> expected;
    std::mt19937 rng(11);
    for (int i = 0; i < 500; i++) {
        std::string key = std::to_string(rng() % 300);
        int *value = nullptr;
        if (i % 7) {
            value = static_cast<int *>(std::malloc(sizeof(int)));
            *value = i;
        }
        std::free(mvSMapReplace(full, key.c_str(), value));
    }
    for (MVMapNode *e = mvSMapGetFirst(full); e; e = mvMapNext(full, e))
        if (e->value) expected.insert(*static_cast<int *>(e->value));
    // A popped entry is the caller's already and is left alone.
    MVMapNode *popped = mvSMapPopFirst(full);
    ASSERT_NE(popped, nullptr);
    void *poppedKey = popped->key, *poppedValue = popped->value;
    if (poppedValue) expected.erase(expected.find(*static_cast<int *>(poppedValue)));
    freedValues.clear();
    mvSMapDestroyAll(full, freeValue);
    EXPECT_EQ(freedValues, expected);
    std::free(poppedKey);
    std::free(poppedValue);

    // Without a value function only the keys go; a null map does nothing.
    MVSMap *plain = mvSMapCreate();
    mvSMapAssign(plain, "kept", &v1);
    mvSMapAssign(plain, "", &v2);
    mvSMapDestroyAll(plain, nullptr);
    mvSMapDestroyAll(nullptr, freeValue);
}
