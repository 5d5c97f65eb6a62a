// Ordered string-keyed maps: MORVEN's string map and core map against
// std::map (C string keys compared through a function pointer, and
// std::string keys), GLib's GTree and BSD <sys/tree.h> red-black trees.
#include <benchmark/benchmark.h>
#include <morven/map.h>
#include <morven/set.h>
#include <morven/smap.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#ifdef MORVEN_BENCH_PEERS
#ifndef __unused
#define __unused __attribute__((unused))
#endif
#ifdef MORVEN_BENCH_LIBBSD_TREE
#include <bsd/sys/tree.h>
#else
#include <sys/tree.h>  // the BSD base system's own
#endif
#include <glib.h>
#endif

namespace {

// Random keys of 8 to 24 bytes, distinct, with separate "probe" copies so
// that no lookup can succeed by comparing pointers.
struct Keys {
    std::vector<std::string> present, absent;
    std::vector<const char *> probes, misses;
};

const Keys &keysFor(size_t n) {
    static std::map<size_t, Keys> cache;
    auto it = cache.find(n);
    if (it != cache.end()) return it->second;
    Keys &k = cache[n];
    std::mt19937_64 rng(n);
    std::uniform_int_distribution<int> len(8, 24), byte('!', '~');
    std::vector<std::string> all;
    std::vector<std::string> sorted;
    while (all.size() < 2 * n) {
        std::string s;
        for (int i = len(rng); i > 0; i--) s += char(byte(rng));
        all.push_back(s);
    }
    std::sort(all.begin(), all.end());
    all.erase(std::unique(all.begin(), all.end()), all.end());
    std::shuffle(all.begin(), all.end(), rng);
    k.present.assign(all.begin(), all.begin() + n);
    k.absent.assign(all.begin() + n, all.begin() + std::min(all.size(), 2 * n));
    static std::vector<std::vector<std::string>> copies;
    copies.push_back(k.present);
    std::shuffle(copies.back().begin(), copies.back().end(), rng);
    for (auto &s : copies.back()) k.probes.push_back(s.c_str());
    for (auto &s : k.absent) k.misses.push_back(s.c_str());
    return k;
}

char *copyOf(const char *s) {
    size_t n = std::strlen(s) + 1;
    return static_cast<char *>(std::memcpy(std::malloc(n), s, n));
}

int byBytes(const void *a, const void *b) {
    return std::strcmp(static_cast<const char *>(a), static_cast<const char *>(b));
}

// ---- adapters: insert (copying the key), find, remove (releasing it), walk, clear

struct MorvenSMap {
    MVSMap *m = mvSMapCreate();
    ~MorvenSMap() {
        while (MVMapNode *e = mvSMapPopFirst(m)) std::free(e->key);
        mvSMapDestroy(m);
    }
    void insert(const char *k, void *v) { mvSMapAssign(m, k, v); }
    void *find(const char *k) { return mvSMapFind(m, k); }
    void remove(const char *k) { mvSMapRemove(m, k); }
    size_t walk() {
        size_t n = 0;
        for (MVMapNode *e = mvMapGetFirst(m); e; e = mvMapNext(m, e)) n += e->value != nullptr;
        return n;
    }
};

struct MorvenMap {
    MVMap *m = mvMapCreate(byBytes, nullptr);
    ~MorvenMap() {
        while (MVMapNode *e = mvMapPopFirst(m)) std::free(e->key);
        mvMapDestroy(m);
    }
    void insert(const char *k, void *v) {
        if (MVMapNode *e = mvMapFindNode(m, k))
            e->value = v;
        else
            mvMapAssign(m, copyOf(k), v);
    }
    void *find(const char *k) { return mvMapFind(m, k); }
    void remove(const char *k) {
        if (MVMapNode *e = mvMapFindNode(m, k)) {
            void *key = e->key;
            mvMapRemove(m, key);
            std::free(key);
        }
    }
    size_t walk() {
        size_t n = 0;
        for (MVMapNode *e = mvMapGetFirst(m); e; e = mvMapNext(m, e)) n += e->value != nullptr;
        return n;
    }
};

struct Less {
    int (*cmp)(const void *, const void *) = byBytes;
    bool operator()(const char *a, const char *b) const { return cmp(a, b) < 0; }
};

struct StdMapCString {
    std::map<const char *, void *, Less> m;
    ~StdMapCString() {
        for (auto &e : m) std::free(const_cast<char *>(e.first));
    }
    void insert(const char *k, void *v) {
        auto it = m.lower_bound(k);
        if (it != m.end() && std::strcmp(it->first, k) == 0)
            it->second = v;
        else
            m.emplace_hint(it, copyOf(k), v);
    }
    void *find(const char *k) {
        auto it = m.find(k);
        return it == m.end() ? nullptr : it->second;
    }
    void remove(const char *k) {
        auto it = m.find(k);
        if (it == m.end()) return;
        const char *key = it->first;
        m.erase(it);
        std::free(const_cast<char *>(key));
    }
    size_t walk() {
        size_t n = 0;
        for (auto &e : m) n += e.second != nullptr;
        return n;
    }
};

struct StdMapString {
    std::map<std::string, void *, std::less<>> m;
    void insert(const char *k, void *v) { m[k] = v; }
    void *find(const char *k) {
        auto it = m.find(std::string_view(k));
        return it == m.end() ? nullptr : it->second;
    }
    void remove(const char *k) {
        auto it = m.find(std::string_view(k));
        if (it != m.end()) m.erase(it);
    }
    size_t walk() {
        size_t n = 0;
        for (auto &e : m) n += e.second != nullptr;
        return n;
    }
};

#ifdef MORVEN_BENCH_PEERS
struct GTreeMap {
    GTree *t = g_tree_new_full(reinterpret_cast<GCompareDataFunc>(+[](const void *a, const void *b, void *) {
                                   return std::strcmp(static_cast<const char *>(a), static_cast<const char *>(b));
                               }),
                               nullptr, std::free, nullptr);
    ~GTreeMap() { g_tree_destroy(t); }
    void insert(const char *k, void *v) {
        if (g_tree_lookup_extended(t, k, nullptr, nullptr))
            g_tree_insert(t, copyOf(k), v);  // replaces the value, frees the new key
        else
            g_tree_insert(t, copyOf(k), v);
    }
    void *find(const char *k) { return g_tree_lookup(t, k); }
    void remove(const char *k) { g_tree_remove(t, k); }
    size_t walk() {
        size_t n = 0;
        g_tree_foreach(
            t, [](void *, void *v, void *count) -> int {
                *static_cast<size_t *>(count) += v != nullptr;
                return 0;
            },
            &n);
        return n;
    }
};

struct BsdNode {
    RB_ENTRY(BsdNode) link;
    char *key;
    void *value;
};
int bsdCompare(BsdNode *a, BsdNode *b) { return std::strcmp(a->key, b->key); }
RB_HEAD(BsdTree, BsdNode);
RB_GENERATE_STATIC(BsdTree, BsdNode, link, bsdCompare)

struct BsdRbTree {
    BsdTree head = RB_INITIALIZER(&head);
    ~BsdRbTree() {
        BsdNode *n, *next;
        for (n = RB_MIN(BsdTree, &head); n; n = next) {
            next = RB_NEXT(BsdTree, &head, n);
            RB_REMOVE(BsdTree, &head, n);
            std::free(n->key);
            std::free(n);
        }
    }
    BsdNode *lookup(const char *k) {
        BsdNode probe;
        probe.key = const_cast<char *>(k);
        return RB_FIND(BsdTree, &head, &probe);
    }
    void insert(const char *k, void *v) {
        if (BsdNode *n = lookup(k)) {
            n->value = v;
            return;
        }
        BsdNode *n = static_cast<BsdNode *>(std::malloc(sizeof(BsdNode)));
        n->key = copyOf(k);
        n->value = v;
        RB_INSERT(BsdTree, &head, n);
    }
    void *find(const char *k) {
        BsdNode *n = lookup(k);
        return n ? n->value : nullptr;
    }
    void remove(const char *k) {
        if (BsdNode *n = lookup(k)) {
            RB_REMOVE(BsdTree, &head, n);
            std::free(n->key);
            std::free(n);
        }
    }
    size_t walk() {
        size_t n = 0;
        BsdNode *e;
        RB_FOREACH(e, BsdTree, &head) n += e->value != nullptr;
        return n;
    }
};
#endif

void *valueOf(size_t i) { return reinterpret_cast<void *>(i + 1); }

template <class M>
void fill(M &m, const Keys &k) {
    for (size_t i = 0; i < k.present.size(); i++) m.insert(k.present[i].c_str(), valueOf(i));
}

// ---- workloads

template <class M>
void Insert(benchmark::State &state) {
    const Keys &k = keysFor(size_t(state.range(0)));
    for (auto _ : state) {
        M *m = new M;
        fill(*m, k);
        state.PauseTiming();
        delete m;
        state.ResumeTiming();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * state.range(0));
}

template <class M>
void FindHit(benchmark::State &state) {
    const Keys &k = keysFor(size_t(state.range(0)));
    M m;
    fill(m, k);
    for (auto _ : state)
        for (const char *p : k.probes) benchmark::DoNotOptimize(m.find(p));
    state.SetItemsProcessed(int64_t(state.iterations()) * state.range(0));
}

template <class M>
void FindMiss(benchmark::State &state) {
    const Keys &k = keysFor(size_t(state.range(0)));
    M m;
    fill(m, k);
    for (auto _ : state)
        for (const char *p : k.misses) benchmark::DoNotOptimize(m.find(p));
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(k.misses.size()));
}

template <class M>
void Iterate(benchmark::State &state) {
    const Keys &k = keysFor(size_t(state.range(0)));
    M m;
    fill(m, k);
    for (auto _ : state) benchmark::DoNotOptimize(m.walk());
    state.SetItemsProcessed(int64_t(state.iterations()) * state.range(0));
}

// Steady state over a universe of 2N keys: 50% find, 25% insert, 25% remove.
template <class M>
void Mixed(benchmark::State &state) {
    const Keys &k = keysFor(size_t(state.range(0)));
    std::vector<const char *> universe(k.probes);
    universe.insert(universe.end(), k.misses.begin(), k.misses.end());
    std::mt19937 rng(7);
    std::vector<std::pair<int, const char *>> ops(1 << 16);
    for (auto &op : ops) op = {int(rng() % 4), universe[rng() % universe.size()]};
    M m;
    fill(m, k);
    size_t i = 0;
    for (auto _ : state) {
        for (int j = 0; j < 1024; j++, i = (i + 1) & (ops.size() - 1)) {
            const auto &op = ops[i];
            if (op.first < 2)
                benchmark::DoNotOptimize(m.find(op.second));
            else if (op.first == 2)
                m.insert(op.second, valueOf(i));
            else
                m.remove(op.second);
        }
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * 1024);
}

template <class M>
void RemoveAll(benchmark::State &state) {
    const Keys &k = keysFor(size_t(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        M *m = new M;
        fill(*m, k);
        state.ResumeTiming();
        for (const char *p : k.probes) m->remove(p);
        state.PauseTiming();
        delete m;
        state.ResumeTiming();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * state.range(0));
}

void sizes(benchmark::internal::Benchmark *b) {
    b->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
}

#define MAP_BENCHMARKS(M)                          \
    BENCHMARK_TEMPLATE(Insert, M)->Apply(sizes);   \
    BENCHMARK_TEMPLATE(FindHit, M)->Apply(sizes);  \
    BENCHMARK_TEMPLATE(FindMiss, M)->Apply(sizes); \
    BENCHMARK_TEMPLATE(Iterate, M)->Apply(sizes);  \
    BENCHMARK_TEMPLATE(Mixed, M)->Apply(sizes);    \
    BENCHMARK_TEMPLATE(RemoveAll, M)->Apply(sizes)

MAP_BENCHMARKS(MorvenSMap);
MAP_BENCHMARKS(MorvenMap);
MAP_BENCHMARKS(StdMapCString);
MAP_BENCHMARKS(StdMapString);
#ifdef MORVEN_BENCH_PEERS
MAP_BENCHMARKS(GTreeMap);
MAP_BENCHMARKS(BsdRbTree);
#endif

// ---- ordered sets of C strings, ordered by the set exerciser's comparison:
// the same pointer is equal at once, otherwise strcmp.

int exerciserOrder(const void *a, const void *b) {
    if (a == b) return 0;
    return std::strcmp(static_cast<const char *>(a), static_cast<const char *>(b));
}

struct MorvenSet {
    MVSet *s = mvSetCreate(exerciserOrder, nullptr);
    ~MorvenSet() {
        while (s->root) {
            void *item = s->root->item;
            mvSetRemoveItem(s, item);
            std::free(item);
        }
        mvSetDestroy(s);
    }
    void insert(const char *k) {
        if (mvSetSearch(s, k)) return;
        mvSetInsert(s, copyOf(k));
    }
    bool search(const char *k) { return mvSetSearch(s, k) != nullptr; }
    void remove(const char *k) {
        if (MVTreeNode *n = mvSetSearch(s, k)) {
            void *item = n->item;
            mvSetRemoveItem(s, item);
            std::free(item);
        }
    }
};

struct SetLess {
    int (*cmp)(const void *, const void *) = exerciserOrder;
    bool operator()(const char *a, const char *b) const { return cmp(a, b) < 0; }
};

struct StdSetCString {
    std::set<const char *, SetLess> s;
    ~StdSetCString() {
        for (const char *k : s) std::free(const_cast<char *>(k));
    }
    void insert(const char *k) {
        auto it = s.lower_bound(k);
        if (it == s.end() || std::strcmp(*it, k) != 0) s.emplace_hint(it, copyOf(k));
    }
    bool search(const char *k) { return s.find(k) != s.end(); }
    void remove(const char *k) {
        auto it = s.find(k);
        if (it == s.end()) return;
        const char *key = *it;
        s.erase(it);
        std::free(const_cast<char *>(key));
    }
};

template <class S>
void SetInsert(benchmark::State &state) {
    const Keys &k = keysFor(size_t(state.range(0)));
    for (auto _ : state) {
        S *s = new S;
        for (const std::string &key : k.present) s->insert(key.c_str());
        state.PauseTiming();
        delete s;
        state.ResumeTiming();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * state.range(0));
}

template <class S>
void SetSearch(benchmark::State &state) {
    const Keys &k = keysFor(size_t(state.range(0)));
    S s;
    for (const std::string &key : k.present) s.insert(key.c_str());
    for (auto _ : state)
        for (const char *p : k.probes) benchmark::DoNotOptimize(s.search(p));
    state.SetItemsProcessed(int64_t(state.iterations()) * state.range(0));
}

template <class S>
void SetRemove(benchmark::State &state) {
    const Keys &k = keysFor(size_t(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        S *s = new S;
        for (const std::string &key : k.present) s->insert(key.c_str());
        state.ResumeTiming();
        for (const char *p : k.probes) s->remove(p);
        state.PauseTiming();
        delete s;
        state.ResumeTiming();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * state.range(0));
}

#define SET_BENCHMARKS(S)                           \
    BENCHMARK_TEMPLATE(SetInsert, S)->Apply(sizes); \
    BENCHMARK_TEMPLATE(SetSearch, S)->Apply(sizes); \
    BENCHMARK_TEMPLATE(SetRemove, S)->Apply(sizes)

SET_BENCHMARKS(MorvenSet);
SET_BENCHMARKS(StdSetCString);

}  // namespace
