#include <gtest/gtest.h>
#include <morven/map.h>
#include <morven/set.h>

#include <cstring>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "alloc_fail.h"
#include "core/containers/map_internal.h"
#include "map_model.h"
#include "set_model.h"
#include "tree_check.h"

namespace {

const MVCompareFunction byString = compareStrings;

// Random keys of 1 to 12 letters from a small alphabet, so that hits, misses
// and shared prefixes are all common.
std::vector<std::string> randomKeys(std::mt19937 &rng, size_t n) {
    std::vector<std::string> keys;
    std::uniform_int_distribution<int> len(1, 12), letter('a', 'f');
    std::set<std::string> seen;
    while (keys.size() < n) {
        std::string k;
        for (int i = len(rng); i > 0; i--) k += char(letter(rng));
        if (seen.insert(k).second) keys.push_back(k);
    }
    return keys;
}

}  // namespace

TEST(Containers, MapAgreesWithStdMapOverRandomOperations) {
    std::mt19937 rng(12345);
    StringKeys keys(randomKeys(rng, 4000));
    MVMap *map = mvMapCreate(byString, nullptr);
    ASSERT_NE(map, nullptr);
    MapModel driver(map, keys, failTest);
    SeededOps ops(12345);
    EXPECT_TRUE(driver.run(ops, 150000, 5000));
    EXPECT_GT(driver.model().size(), 100u);
    mvMapDestroy(map);
}

TEST(Containers, SetAgreesWithStdSetOverRandomOperations) {
    std::mt19937 rng(777);
    StringKeys keys(randomKeys(rng, 3000));
    MVSet *set = mvSetCreate(byString, nullptr);
    ASSERT_NE(set, nullptr);
    SetModel driver(set, keys, failTest);
    SeededOps ops(777);
    EXPECT_TRUE(driver.run(ops, 120000, 5000));
    EXPECT_GT(driver.model().size(), 100u);
    while (set->root) ASSERT_TRUE(mvSetRemoveItem(set, set->root->item));
    EXPECT_EQ(mvSetCount(set), 0u);
    mvSetDestroy(set);
}

// Sorted insertion is the classic way to degenerate an unbalanced tree.
TEST(Containers, AscendingAndDescendingInsertionsStayBalanced) {
    std::vector<std::string> keys;
    for (int i = 0; i < 20000; i++) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%08d", i);
        keys.push_back(buf);
    }
    MVSet *up = mvSetCreate(byString, nullptr);
    MVSet *down = mvSetCreate(byString, nullptr);
    for (size_t i = 0; i < keys.size(); i++) {
        mvSetInsert(up, const_cast<char *>(keys[i].c_str()));
        mvSetInsert(down, const_cast<char *>(keys[keys.size() - 1 - i].c_str()));
    }
    EXPECT_LE(checkTree(up->root, byString, keys.size()), 16);
    EXPECT_LE(checkTree(down->root, byString, keys.size()), 16);
    // Removing every other key keeps both balanced too.
    for (size_t i = 0; i < keys.size(); i += 2) {
        mvSetRemoveItem(up, keys[i].c_str());
        mvSetRemoveItem(down, keys[i].c_str());
    }
    checkTree(up->root, byString, keys.size() / 2);
    checkTree(down->root, byString, keys.size() / 2);
    mvSetDestroy(up);
    mvSetDestroy(down);
}

TEST(Containers, GetAndPopOnEmptyAndSmallMaps) {
    MVMap *map = mvMapCreate(byString, nullptr);
    EXPECT_EQ(mvMapGetRoot(map), nullptr);
    EXPECT_EQ(mvMapGetFirst(map), nullptr);
    EXPECT_EQ(mvMapGetLast(map), nullptr);
    EXPECT_EQ(mvMapPopRoot(map), nullptr);
    EXPECT_EQ(mvMapPopFirst(map), nullptr);
    EXPECT_EQ(mvMapPopLast(map), nullptr);
    EXPECT_EQ(mvMapRemove(map, "x"), nullptr);
    EXPECT_EQ(mvMapFind(map, "x"), nullptr);

    char a[] = "a", b[] = "b", c[] = "c";
    int va, vb, vc;
    mvMapAssign(map, b, &vb);
    EXPECT_EQ(mvMapGetRoot(map), mvMapGetFirst(map));
    EXPECT_EQ(mvMapGetRoot(map), mvMapGetLast(map));
    mvMapAssign(map, a, &va);
    mvMapAssign(map, c, &vc);
    EXPECT_EQ(mvMapGetRoot(map)->key, b);
    EXPECT_EQ(mvMapGetFirst(map)->key, a);
    EXPECT_EQ(mvMapGetLast(map)->key, c);

    // A popped entry stays readable until the map changes again.
    MVMapNode *first = mvMapPopFirst(map);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->key, a);
    EXPECT_EQ(first->value, &va);
    EXPECT_EQ(mvMapFind(map, "a"), nullptr);
    EXPECT_EQ(mvMapFind(map, "b"), &vb);
    EXPECT_EQ(first->key, a);
    MVMapNode *last = mvMapPopLast(map);
    EXPECT_EQ(last->key, c);
    MVMapNode *root = mvMapPopRoot(map);
    EXPECT_EQ(root->key, b);
    EXPECT_EQ(root->value, &vb);
    EXPECT_EQ(mvMapCount(map), 0u);
    EXPECT_EQ(mvMapPopRoot(map), nullptr);
    mvMapDestroy(map);
}

TEST(Containers, MapRemoveReturnsValueAndKeepsUserData) {
    int data;
    MVMap *map = mvMapCreate(byString, &data);
    EXPECT_EQ(mvMapGetData(map), &data);
    char k[] = "key";
    int v;
    EXPECT_EQ(mvMapAssign(map, k, &v), &v);
    EXPECT_EQ(mvMapRemove(map, "key"), &v);
    EXPECT_EQ(mvMapRemove(map, "key"), nullptr);
    mvMapDestroy(map);
    mvMapDestroy(nullptr);
    mvSetDestroy(nullptr);
}

TEST(Containers, InsertingAnEqualItemReturnsTheExistingNode) {
    MVSet *set = mvSetCreate(byString, nullptr);
    char one[] = "same", two[] = "same";
    MVTreeNode *n = mvSetInsert(set, one);
    EXPECT_EQ(mvSetInsert(set, two), n);
    EXPECT_EQ(n->item, one);
    EXPECT_EQ(mvSetCount(set), 1u);
    mvSetDestroy(set);
}

TEST(Containers, FailedNodeAllocationChangesNothing) {
    MVSet *set = mvSetCreate(byString, nullptr);
    MVMap *map = mvMapCreate(byString, nullptr);
    char k[] = "k";
    allocfail::failAt(0, true);
    MVTreeNode *n = mvSetInsert(set, k);
    MVMapNode *e = mvMapAssignNode(map, k, k);
    void *v = mvMapAssign(map, k, k);
    allocfail::disarm();
    EXPECT_EQ(n, nullptr);
    EXPECT_EQ(e, nullptr);
    EXPECT_EQ(v, nullptr);
    EXPECT_EQ(set->root, nullptr);
    EXPECT_EQ(mvMapCount(map), 0u);
    EXPECT_NE(mvSetInsert(set, k), nullptr);
    EXPECT_NE(mvMapAssignNode(map, k, k), nullptr);
    mvSetDestroy(set);
    mvMapDestroy(map);
}

// Maps told that their keys are strings order them by an eight-byte prefix
// first; keys that share long prefixes, end inside or right after the prefix,
// or hold bytes above 0x7f must still sort exactly like strcmp.
TEST(Containers, StringKeyedMapOrdersLikeStrcmp) {
    std::mt19937 rng(4242);
    const std::string stems[] = {"", "abcdefg", "abcdefgh", "abcdefghi", "\xff\x80zz", "ABCDEFGH\xe9"};
    std::uniform_int_distribution<int> stem(0, 5), len(0, 4), byte(0, 3);
    const char tails[] = {'a', 'b', '\x7f', '\x81'};
    std::vector<std::string> keys;
    std::set<std::string> seen;
    while (keys.size() < 2000) {
        std::string k = stems[stem(rng)];
        for (int i = len(rng); i > 0; i--) k += tails[byte(rng)];
        if (seen.insert(k).second) keys.push_back(k);
    }
    MVMap *map = mvMapCreate(byString, nullptr);
    mapUseStringKeys(map);
    StringKeys table(keys);  // the model orders by strcmp, bytes as unsigned
    MapModel driver(map, table, failTest);
    SeededOps ops(4242);
    EXPECT_TRUE(driver.run(ops, 40000, 4000));
    mvMapDestroy(map);
}
