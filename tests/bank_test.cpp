#include <gtest/gtest.h>
#include <morven/bank.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "alloc_fail.h"
#include "bank_reference.h"

namespace {

// Records every path the bank tries; yields a resource for the paths in `hits`.
struct Loader {
    std::vector<std::string> paths;
    std::vector<void *> datas;
    std::vector<std::string> hits;
    int resource = 0;
    int unloads = 0;
};

Loader *current;

void *load(const char *path, void *data) {
    current->paths.push_back(path);
    current->datas.push_back(data);
    for (const std::string &h : current->hits)
        if (h == path) return &current->resource;
    return nullptr;
}

void unload(void *resource) {
    EXPECT_EQ(resource, &current->resource);
    current->unloads++;
}

struct Bank : ::testing::Test {
    Loader loader;
    void SetUp() override { current = &loader; }
};

}  // namespace

TEST_F(Bank, ExpandsPatternsLikeTheReference) {
    std::mt19937 rng(2024);
    const std::string alphabet = "%%%%||sss  \t\v\r\n\fab";
    std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
    std::uniform_int_distribution<int> len(0, 14), nameLen(0, 5);
    for (int round = 0; round < 3000; round++) {
        std::string list, name;
        for (int i = len(rng); i > 0; i--) list += alphabet[pick(rng)];
        for (int i = nameLen(rng); i > 0; i--) name += "%|sx"[pick(rng) % 4];
        MVBank *bank = mvBankCreate(list.c_str(), load, unload);
        loader.paths.clear();
        EXPECT_EQ(mvBankLoad(bank, name.c_str(), nullptr), nullptr);
        ASSERT_EQ(loader.paths, referencePaths(list, name)) << "list '" << list << "' name '" << name << "'";
        mvBankDestroy(bank);
    }
}

TEST_F(Bank, PatternEdgeCases) {
    struct Case {
        const char *list;
        std::vector<std::string> paths;
    } cases[] = {
        {"%%", {"%"}},
        {"% s", {"nm"}},
        {"a%", {"a"}},
        {"a% \t", {"a"}},
        {"|x", {"", "x"}},
        {"x||y", {"x", "", "y"}},
        {"x|", {"x"}},
        {"|", {""}},
        {"", {""}},
        {"%s/%s", {"nm/nm"}},
        {"%d%\fs", {"%d%\fs"}},  // unknown escapes pass through unchanged
        {"%|s", {"", "s"}},      // "|" ends an alternative even inside an escape
    };
    for (const Case &c : cases) {
        MVBank *bank = mvBankCreate(c.list, load, nullptr);
        loader.paths.clear();
        mvBankLoad(bank, "nm", nullptr);
        EXPECT_EQ(loader.paths, c.paths) << "list '" << c.list << "'";
        mvBankDestroy(bank);
    }
}

TEST_F(Bank, LongNamesNeverOverflowThePathBuffer) {
    std::string name(10000, 'n');
    name[17] = '%';
    name[9000] = '|';
    MVBank *bank = mvBankCreate("%s%s% s%\ts/%s|%s", load, nullptr);
    loader.hits = {name};
    EXPECT_EQ(mvBankLoad(bank, name.c_str(), nullptr), &loader.resource);
    ASSERT_EQ(loader.paths.size(), 2u);
    EXPECT_TRUE(loader.paths[0] == name + name + name + name + "/" + name);
    EXPECT_TRUE(loader.paths[1] == name);
    mvBankDestroy(bank);
}

TEST_F(Bank, HoldsLoadedResourcesUntilUnloaded) {
    MVBank *bank = mvBankCreate("a/%s|b/%s", load, unload);
    int data1, data2;
    loader.hits = {"b/tex"};
    EXPECT_EQ(mvBankLoad(bank, "tex", &data1), &loader.resource);
    EXPECT_EQ(loader.paths, (std::vector<std::string>{"a/tex", "b/tex"}));
    EXPECT_EQ(loader.datas, (std::vector<void *>{&data1, &data1}));

    // Held: answered without a callback, whatever the data.
    EXPECT_EQ(mvBankLoad(bank, "tex", &data2), &loader.resource);
    EXPECT_EQ(loader.paths.size(), 2u);

    mvBankUnload(bank, "other");
    mvBankUnload(bank, nullptr);
    EXPECT_EQ(loader.unloads, 0);
    mvBankUnload(bank, "tex");
    EXPECT_EQ(loader.unloads, 1);
    mvBankUnload(bank, "tex");
    EXPECT_EQ(loader.unloads, 1);

    // Unloaded: the next request loads again; the first hit wins.
    loader.hits = {"a/tex", "b/tex"};
    EXPECT_EQ(mvBankLoad(bank, "tex", &data2), &loader.resource);
    EXPECT_EQ(loader.paths.size(), 3u);
    EXPECT_EQ(loader.datas.back(), &data2);

    // A miss is not remembered.
    EXPECT_EQ(mvBankLoad(bank, "none", nullptr), nullptr);
    EXPECT_EQ(mvBankLoad(bank, "none", nullptr), nullptr);
    EXPECT_EQ(loader.paths.size(), 7u);

    // Destroy hands nothing to the unload callback.
    mvBankDestroy(bank);
    EXPECT_EQ(loader.unloads, 1);
    mvBankDestroy(nullptr);
}

TEST_F(Bank, DefaultsAndMissingCallbacks) {
    MVBank *plain = mvBankCreate(nullptr, load, nullptr);
    EXPECT_STREQ(plain->path, "%s");
    loader.hits = {"name"};
    EXPECT_EQ(mvBankLoad(plain, "name", nullptr), &loader.resource);
    EXPECT_EQ(loader.paths, std::vector<std::string>{"name"});
    mvBankUnload(plain, "name");  // no unload callback: simply forgotten
    EXPECT_EQ(mvBankLoad(plain, "name", nullptr), &loader.resource);
    EXPECT_EQ(loader.paths.size(), 2u);
    mvBankDestroy(plain);

    MVBank *noLoad = mvBankCreate("%s", nullptr, unload);
    EXPECT_EQ(mvBankLoad(noLoad, "x", nullptr), nullptr);
    mvBankDestroy(noLoad);
}

TEST_F(Bank, PatternListIsCopied) {
    char list[] = "%s.png";
    MVBank *bank = mvBankCreate(list, load, nullptr);
    list[0] = 'X';
    mvBankLoad(bank, "a", nullptr);
    EXPECT_EQ(loader.paths, std::vector<std::string>{"a.png"});
    mvBankDestroy(bank);
}

TEST_F(Bank, FailedAllocations) {
    // Creation: every partial failure releases what was made (the leak
    // checkers see the rest) and returns null.
    long made = allocfail::everyFailure(
        [&] {
            MVBank *b = mvBankCreate("x", load, unload);
            if (b) mvBankDestroy(b);
        },
        [](long) {});
    EXPECT_EQ(made, 3);
    for (long k = 0; k < 3; k++) {
        allocfail::failAt(k);
        MVBank *b = mvBankCreate("x", load, unload);
        allocfail::disarm();
        EXPECT_EQ(b, nullptr);
    }

    // Loading: the path buffer failing means no callback and nothing held;
    // the name copy failing still returns the resource, unheld.
    MVBank *bank = mvBankCreate("%s", load, unload);
    loader.hits = {"r"};
    allocfail::failAt(0);
    void *r = mvBankLoad(bank, "r", nullptr);
    allocfail::disarm();
    EXPECT_EQ(r, nullptr);
    EXPECT_TRUE(loader.paths.empty());
    allocfail::failAt(1);
    r = mvBankLoad(bank, "r", nullptr);
    allocfail::disarm();
    EXPECT_EQ(r, &loader.resource);
    EXPECT_EQ(mvSMapFind(bank->map, "r"), nullptr);
    mvBankUnload(bank, "r");
    EXPECT_EQ(loader.unloads, 0);
    EXPECT_EQ(mvBankLoad(bank, "r", nullptr), &loader.resource);
    EXPECT_EQ(loader.paths.size(), 2u);
    EXPECT_EQ(mvSMapFind(bank->map, "r"), &loader.resource);
    mvBankDestroy(bank);
}

namespace {
// Resources are heap copies of their paths; unloading frees them and records
// the path, so a resource unloaded twice or never shows in the record and in
// the memory checks.
std::vector<std::string> unloadedPaths;
void *loadCopy(const char *path, void *) { return strdup(path); }
void unloadCopy(void *resource) {
    unloadedPaths.push_back(static_cast<char *>(resource));
    std::free(resource);
}
}  // namespace

TEST_F(Bank, UnloadAllHandsEveryResourceOverAndKeepsTheBank) {
    MVBank *bank = mvBankCreate("r/%s", loadCopy, unloadCopy);
    unloadedPaths.clear();
    for (const char *name : {"b", "a", "c", "a"}) ASSERT_NE(mvBankLoad(bank, name, nullptr), nullptr);
    mvBankUnloadAll(bank);
    EXPECT_EQ(unloadedPaths, (std::vector<std::string>{"r/a", "r/b", "r/c"}));
    EXPECT_EQ(mvSMapGetFirst(bank->map), nullptr);

    // Still usable: a request loads anew, and an empty bank unloads nothing.
    void *again = mvBankLoad(bank, "a", nullptr);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(mvBankLoad(bank, "a", nullptr), again);
    mvBankUnloadAll(bank);
    mvBankUnloadAll(bank);
    EXPECT_EQ(unloadedPaths.size(), 4u);
    mvBankDestroy(bank);
    mvBankUnloadAll(nullptr);

    // Without an unload callback the names are forgotten, the resources left.
    loader.hits = {"x"};
    MVBank *keeping = mvBankCreate(nullptr, load, nullptr);
    mvBankLoad(keeping, "x", nullptr);
    mvBankUnloadAll(keeping);
    EXPECT_EQ(loader.unloads, 0);
    mvBankLoad(keeping, "x", nullptr);
    EXPECT_EQ(loader.paths.size(), 2u);
    mvBankDestroy(keeping);
}
