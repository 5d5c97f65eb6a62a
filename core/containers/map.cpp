// Ordered map: an AVL tree whose nodes carry the entry's value right after
// the tree node, so that the node's item and the value form the MVMapNode.
//
// A map whose keys it can order itself searches without calling its
// comparison function: integers held in the key pointer are compared inline;
// C strings ordered like strcmp are compared by a 64-bit slice kept in each
// node, the eight bytes that follow the start every key in the map shares,
// so that most levels are decided without reading a key, even for paths that
// share a long start.
#include <morven/map.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "core/base/error.h"
#include "core/containers/map_internal.h"
#include "core/containers/pool.h"
#include "core/containers/tree.h"

namespace {

struct MapNode {
    MVTreeNode tree;  // tree.item is the entry's key
    void *value;
    uint64_t slice;   // string keys: eight bytes after the shared start
};
static_assert(offsetof(MapNode, value) == offsetof(MVTreeNode, item) + sizeof(void *),
              "item and value must form an MVMapNode");
static_assert(sizeof(MVMapNode) == 2 * sizeof(void *) && offsetof(MVMapNode, value) == sizeof(void *),
              "MVMapNode layout is part of the ABI");

MapNode *mapNode(MVTreeNode *n) { return reinterpret_cast<MapNode *>(n); }

MVMapNode *entryOf(MVTreeNode *n) {
    return n ? reinterpret_cast<MVMapNode *>(&n->item) : nullptr;
}
MVTreeNode *treeOf(const MVMapNode *e) {
    return reinterpret_cast<MVTreeNode *>(reinterpret_cast<char *>(const_cast<MVMapNode *>(e)) -
                                          offsetof(MVTreeNode, item));
}

// The longest shared start that string slices skip.
constexpr size_t kMaxSkip = 48;

enum class KeyKind : unsigned char { Compared, Integers, Strings };

// The eight bytes of s from offset skip as a big-endian number, zero after
// its end, so that numeric order agrees with strcmp order of strings that
// share their first skip bytes. s holds at least skip bytes.
uint64_t sliceAt(const char *s, size_t skip) {
    s += skip;
    uint64_t v = 0;
    for (int i = 0; i < 8; i++) {
        v <<= 8;
        if (*s) v |= static_cast<unsigned char>(*s++);
    }
    return v;
}

// Orders strings that share their first `rest - 8` bytes by slice first; only
// equal slices of eight non-zero bytes need the rest of both strings.
struct ByString {
    const char *key;
    uint64_t slice;
    size_t rest;
    int operator()(const MVTreeNode *n) const {
        uint64_t other = reinterpret_cast<const MapNode *>(n)->slice;
        if (slice != other) return slice < other ? -1 : 1;
        if ((slice & 0xff) == 0) return 0;  // both ended inside the slice
        return std::strcmp(key + rest, static_cast<const char *>(n->item) + rest);
    }
};

struct ByInteger {
    intptr_t key;
    int operator()(const MVTreeNode *n) const {
        intptr_t other = reinterpret_cast<intptr_t>(n->item);
        return int(key > other) - int(key < other);
    }
};

}  // namespace

struct MVMap {
    MVTreeNode *root;
    MVCompareFunction cmp;
    void *data;
    size_t count;
    MVTreeNode *popped;  // last popped node, kept readable until the next change
    KeyKind kind;
    size_t skip;             // string keys: leading bytes every key shares
    char shared[kMaxSkip];   // those bytes
    MVNodePool pool;
};

namespace {

// False when s lacks the start that every key shares (so it is absent).
bool hasSharedStart(const MVMap *map, const char *s) {
    return map->skip == 0 || std::strncmp(s, map->shared, map->skip) == 0;
}

// The node whose key compares equal, or null; on a miss, *parent and *left
// tell where it would go (when parent is not null).
MVTreeNode *search(const MVMap *map, const void *key, MVTreeNode **parent, bool *left) {
    switch (map->kind) {
    case KeyKind::Integers: {
        ByInteger order{reinterpret_cast<intptr_t>(key)};
        return parent ? mvtree::locate(map->root, order, parent, left) : mvtree::find(map->root, order);
    }
    case KeyKind::Strings: {
        const char *s = static_cast<const char *>(key);
        ByString order{s, sliceAt(s, map->skip), map->skip + 8};
        return parent ? mvtree::locate(map->root, order, parent, left) : mvtree::find(map->root, order);
    }
    default: {
        mvtree::ByItem order{map->cmp, key};
        return parent ? mvtree::locate(map->root, order, parent, left) : mvtree::find(map->root, order);
    }
    }
}

MVTreeNode *findNode(const MVMap *map, const void *key) {
    if (map->kind == KeyKind::Strings && !hasSharedStart(map, static_cast<const char *>(key))) return nullptr;
    return search(map, key, nullptr, nullptr);
}

// Makes the shared start fit a new string key: the first key sets it; a key
// that lacks it cuts it to what they share, and every node's slice is taken
// anew. The start only ever shrinks while the map holds keys, so this walks
// the tree at most kMaxSkip times in the map's life between empties.
void fitSharedStart(MVMap *map, const char *s) {
    if (map->count == 0) {
        size_t n = 0;
        while (n < kMaxSkip && s[n]) n++;
        std::memcpy(map->shared, s, n);
        map->skip = n;
        return;
    }
    size_t n = 0;
    while (n < map->skip && s[n] == map->shared[n]) n++;
    if (n == map->skip) return;
    map->skip = n;
    for (MVTreeNode *t = mvtree::first(map->root); t; t = mvtree::next(t))
        mapNode(t)->slice = sliceAt(static_cast<const char *>(t->item), n);
}

// Every changing call first reclaims the node of the previous pop.
void settle(MVMap *map) {
    if (map->popped) {
        poolFree(&map->pool, map->popped);
        map->popped = nullptr;
    }
}

MVMapNode *pop(MVMap *map, MVTreeNode *n) {
    settle(map);
    if (!n) return nullptr;
    mvtree::erase(&map->root, n);
    map->count--;
    map->popped = n;
    return entryOf(n);
}

}  // namespace

void mapUseStringKeys(MVMap *map) {
    if (map->count || map->pool.chunks) return;
    map->kind = KeyKind::Strings;
}

MVTreeNode *mapTreeRoot(const MVMap *map) { return map->root; }

MVMapNode *mapLocate(const MVMap *map, const void *key, MVMapSlot *slot) {
    slot->outside = map->kind == KeyKind::Strings && !hasSharedStart(map, static_cast<const char *>(key));
    if (slot->outside) return nullptr;
    return entryOf(search(map, key, &slot->parent, &slot->left));
}

MVMapNode *mapInsertAt(MVMap *map, MVMapSlot *slot, void *key, void *value) {
    settle(map);
    MapNode *node = static_cast<MapNode *>(poolAlloc(&map->pool));
    if (!node) {
        setError("map: out of memory for an entry");
        return nullptr;
    }
    node->tree.item = key;
    node->value = value;
    node->slice = 0;
    if (map->kind == KeyKind::Strings) {
        const char *s = static_cast<const char *>(key);
        if (slot->outside || map->count == 0) {
            fitSharedStart(map, s);
            mapLocate(map, key, slot);
        }
        node->slice = sliceAt(s, map->skip);
    }
    mvtree::insert(&map->root, slot->parent, slot->left, &node->tree);
    map->count++;
    return entryOf(&node->tree);
}

void *mapRemoveNode(MVMap *map, MVMapNode *entry) {
    settle(map);
    MVTreeNode *n = treeOf(entry);
    void *value = entry->value;
    mvtree::erase(&map->root, n);
    map->count--;
    poolFree(&map->pool, n);
    return value;
}

MVMapNode *mapTake(MVMap *map, const void *key) { return pop(map, findNode(map, key)); }

extern "C" {

MV_API MVMap *mvMapCreate(MVCompareFunction cmp, void *data) {
    MVMap *map = static_cast<MVMap *>(std::malloc(sizeof(MVMap)));
    if (!map) {
        setError("map: out of memory");
        return nullptr;
    }
    map->root = nullptr;
    map->cmp = cmp;
    map->data = data;
    map->count = 0;
    map->popped = nullptr;
    map->kind = cmp == mvMapCompareIntegers  ? KeyKind::Integers
                : cmp == mvMapCompareStrings ? KeyKind::Strings
                                             : KeyKind::Compared;
    map->skip = 0;
    // One cache line per node: a search reads a single line per level.
    poolInit(&map->pool, 64);
    return map;
}

MV_API void mvMapDestroy(MVMap *map) {
    if (!map) return;
    poolRelease(&map->pool);
    std::free(map);
}

MV_API void *mvMapGetData(const MVMap *map) { return map->data; }
MV_API size_t mvMapCount(const MVMap *map) { return map->count; }

MV_API MVMapNode *mvMapFindNode(const MVMap *map, const void *key) { return entryOf(findNode(map, key)); }

MV_API void *mvMapFind(const MVMap *map, const void *key) {
    MVTreeNode *n = findNode(map, key);
    return n ? mapNode(n)->value : nullptr;
}

MV_API MVMapNode *mvMapAssignNode(MVMap *map, void *key, void *value) {
    MVMapSlot slot;
    if (MVMapNode *existing = mapLocate(map, key, &slot)) {
        // Callers add only absent keys; an equal key keeps its entry and takes the value.
        existing->value = value;
        return existing;
    }
    return mapInsertAt(map, &slot, key, value);
}

MV_API void *mvMapAssign(MVMap *map, void *key, void *value) {
    return mvMapAssignNode(map, key, value) ? value : nullptr;
}

MV_API void *mvMapRemove(MVMap *map, const void *key) {
    MVMapNode *e = mapTake(map, key);
    return e ? e->value : nullptr;
}

MV_API int mvMapCompareIntegers(const void *a, const void *b) {
    intptr_t x = intptr_t(a), y = intptr_t(b);
    return (x > y) - (x < y);
}

MV_API int mvMapCompareStrings(const void *a, const void *b) {
    return std::strcmp(static_cast<const char *>(a), static_cast<const char *>(b));
}

MV_API MVMapNode *mvMapGetRoot(const MVMap *map) { return entryOf(map->root); }
MV_API MVMapNode *mvMapGetFirst(const MVMap *map) { return entryOf(mvtree::first(map->root)); }
MV_API MVMapNode *mvMapGetLast(const MVMap *map) { return entryOf(mvtree::last(map->root)); }

MV_API MVMapNode *mvMapNext(const MVMap *, const MVMapNode *node) {
    return entryOf(mvtree::next(treeOf(node)));
}
MV_API MVMapNode *mvMapPrev(const MVMap *, const MVMapNode *node) {
    return entryOf(mvtree::prev(treeOf(node)));
}

MV_API MVMapNode *mvMapPopRoot(MVMap *map) { return pop(map, map->root); }
MV_API MVMapNode *mvMapPopFirst(MVMap *map) { return pop(map, mvtree::first(map->root)); }
MV_API MVMapNode *mvMapPopLast(MVMap *map) { return pop(map, mvtree::last(map->root)); }

}  // extern "C"
