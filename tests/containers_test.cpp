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
#include "tree_check.h"

namespace {

int byString(const void *a, const void *b) {
    return std::strcmp(static_cast<const char *>(a), static_cast<const char *>(b));
}

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

void expectMapMatches(const MVMap *map, const std::map<std::string, intptr_t> &model) {
    ASSERT_EQ(mvMapCount(map), model.size());
    auto it = model.begin();
    for (MVMapNode *e = mvMapGetFirst(map); e; e = mvMapNext(map, e), ++it) {
        ASSERT_NE(it, model.end());
        ASSERT_STREQ(static_cast<const char *>(e->key), it->first.c_str());
        ASSERT_EQ(reinterpret_cast<intptr_t>(e->value), it->second);
    }
    ASSERT_EQ(it, model.end());
    checkTree(mapTreeRoot(map), byString, model.size());
}

void expectSetMatches(const MVSet *set, const std::set<std::string> &model) {
    ASSERT_EQ(mvSetCount(set), model.size());
    auto it = model.begin();
    for (MVTreeNode *n = mvSetFirst(set); n; n = mvSetNext(n), ++it) {
        ASSERT_NE(it, model.end());
        ASSERT_STREQ(static_cast<const char *>(n->item), it->c_str());
    }
    ASSERT_EQ(it, model.end());
    checkTree(set->root, byString, model.size());
}

}  // namespace

TEST(Containers, MapAgreesWithStdMapOverRandomOperations) {
    std::mt19937 rng(12345);
    std::vector<std::string> keys = randomKeys(rng, 4000);
    std::uniform_int_distribution<size_t> pick(0, keys.size() - 1);
    std::uniform_int_distribution<int> op(0, 9);
    MVMap *map = mvMapCreate(byString, nullptr);
    ASSERT_NE(map, nullptr);
    std::map<std::string, intptr_t> model;
    for (int step = 0; step < 150000; step++) {
        const std::string &k = keys[pick(rng)];
        char *key = const_cast<char *>(k.c_str());
        int o = op(rng);
        if (o < 4) {  // insert, or overwrite the value in place
            if (MVMapNode *found = mvMapFindNode(map, key)) {
                found->value = reinterpret_cast<void *>(intptr_t(step));
            } else {
                MVMapNode *e = mvMapAssignNode(map, key, reinterpret_cast<void *>(intptr_t(step)));
                ASSERT_NE(e, nullptr);
                ASSERT_EQ(e->key, key);
            }
            model[k] = step;
        } else if (o < 7) {  // remove
            auto it = model.find(k);
            void *value = mvMapRemove(map, key);
            if (it == model.end()) {
                ASSERT_EQ(value, nullptr);
            } else {
                ASSERT_EQ(reinterpret_cast<intptr_t>(value), it->second);
                model.erase(it);
            }
        } else if (o < 9) {  // find
            auto it = model.find(k);
            MVMapNode *e = mvMapFindNode(map, std::string(k).c_str());
            ASSERT_EQ(e != nullptr, it != model.end());
            if (e) {
                ASSERT_EQ(reinterpret_cast<intptr_t>(mvMapFind(map, key)), it->second);
            }
        } else if (!model.empty()) {  // pop one end or the root
            MVMapNode *e = step % 3 == 0   ? mvMapPopFirst(map)
                           : step % 3 == 1 ? mvMapPopLast(map)
                                           : mvMapPopRoot(map);
            ASSERT_NE(e, nullptr);
            auto it = model.find(static_cast<const char *>(e->key));
            ASSERT_NE(it, model.end());
            if (step % 3 == 0) {
                ASSERT_EQ(it, model.begin());
            } else if (step % 3 == 1) {
                ASSERT_EQ(it, std::prev(model.end()));
            }
            ASSERT_EQ(reinterpret_cast<intptr_t>(e->value), it->second);
            model.erase(it);
        }
        if (step % 5000 == 0) expectMapMatches(map, model);
    }
    expectMapMatches(map, model);
    mvMapDestroy(map);
}

TEST(Containers, SetAgreesWithStdSetOverRandomOperations) {
    std::mt19937 rng(777);
    std::vector<std::string> keys = randomKeys(rng, 3000);
    std::uniform_int_distribution<size_t> pick(0, keys.size() - 1);
    std::uniform_int_distribution<int> op(0, 2);
    MVSet *set = mvSetCreate(byString, nullptr);
    ASSERT_NE(set, nullptr);
    std::set<std::string> model;
    for (int step = 0; step < 120000; step++) {
        const std::string &k = keys[pick(rng)];
        char *item = const_cast<char *>(k.c_str());
        switch (op(rng)) {
        case 0: {
            MVTreeNode *n = mvSetInsert(set, item);
            ASSERT_NE(n, nullptr);
            ASSERT_STREQ(static_cast<char *>(n->item), item);
            model.insert(k);
            break;
        }
        case 1:
            ASSERT_EQ(mvSetRemoveItem(set, item), model.erase(k) == 1);
            break;
        default:
            ASSERT_EQ(mvSetSearch(set, std::string(k).c_str()) != nullptr, model.count(k) == 1);
        }
        if (step % 5000 == 0) expectSetMatches(set, model);
    }
    expectSetMatches(set, model);
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
    std::map<std::string, intptr_t> model;
    std::uniform_int_distribution<size_t> pick(0, keys.size() - 1);
    for (int step = 0; step < 40000; step++) {
        const std::string &k = keys[pick(rng)];
        std::string probe = k;  // a separate buffer with the same text
        if (step % 3 == 0) {
            void *removed = mvMapRemove(map, probe.c_str());
            auto it = model.find(k);
            ASSERT_EQ(removed != nullptr, it != model.end());
            if (it != model.end()) model.erase(it);
        } else if (!mvMapFindNode(map, probe.c_str())) {
            ASSERT_EQ(model.count(k), 0u);
            mvMapAssign(map, const_cast<char *>(k.c_str()), reinterpret_cast<void *>(intptr_t(step + 1)));
            model[k] = step + 1;
        } else {
            ASSERT_EQ(reinterpret_cast<intptr_t>(mvMapFind(map, probe.c_str())), model.at(k));
        }
    }
    expectMapMatches(map, model);  // std::string orders bytes as unsigned, like strcmp
    mvMapDestroy(map);
}
