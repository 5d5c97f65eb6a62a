// Ordered map: an AVL tree whose nodes carry the entry's value right after
// the tree node, so that the node's item and the value form the MVMapNode.
//
// A map whose keys it can order itself (integers held in the key pointer,
// C strings ordered like strcmp) also keeps an ordered index of its nodes
// (core/containers/index.h) and searches that instead of the tree: the tree
// still links every node, in the same shape, for walks and the root. For
// string keys the index compares eight bytes taken after the part that every
// key in the map shares, so paths with a long common start are told apart
// without reading the keys.
#include <morven/map.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "core/base/error.h"
#include "core/containers/index.h"
#include "core/containers/map_internal.h"
#include "core/containers/pool.h"
#include "core/containers/tree.h"

namespace {

struct MapNode {
    MVTreeNode tree;  // tree.item is the entry's key
    void *value;
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

// The longest shared start the string index skips; longer shared starts are
// skipped this far only.
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

uint64_t nodeSlice(const MVTreeNode *n, size_t skip) { return sliceAt(static_cast<const char *>(n->item), skip); }

// Signed integers ordered as unsigned numbers.
uint64_t integerSlice(const void *key) {
    return uint64_t(intptr_t(key)) ^ (uint64_t(1) << 63);
}

}  // namespace

struct MVMap {
    MVTreeNode *root;
    MVCompareFunction cmp;
    void *data;
    size_t count;
    MVTreeNode *popped;  // last popped node, kept readable until the next change
    KeyKind kind;
    size_t skip;               // string keys: leading bytes every key shares
    char shared[kMaxSkip];     // those bytes
    mvindex::Index index;
    MVNodePool pool;
};

namespace {

// The index key for key, or false when key is a string that lacks the shared
// start (so it is absent, and adding it needs a shorter skip).
bool indexKey(const MVMap *map, const void *key, mvindex::Key *k) {
    if (map->kind == KeyKind::Integers) {
        *k = {integerSlice(key), nullptr, 0};
        return true;
    }
    const char *s = static_cast<const char *>(key);
    if (map->skip && std::strncmp(s, map->shared, map->skip) != 0) return false;
    *k = {sliceAt(s, map->skip), s, map->skip + 8};
    return true;
}

MVTreeNode *findNode(const MVMap *map, const void *key) {
    if (map->kind == KeyKind::Compared) return mvtree::find(map->root, mvtree::ByItem{map->cmp, key});
    mvindex::Key k;
    return indexKey(map, key, &k) ? mvindex::find(&map->index, k) : nullptr;
}

// Makes the shared start fit a new string key: the first key sets it, a key
// that lacks it cuts it to what they share and every slice is taken anew.
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
    mvindex::reslice(&map->index, nodeSlice, n);
}

// Every changing call first reclaims the node of the previous pop.
void settle(MVMap *map) {
    if (map->popped) {
        poolFree(&map->pool, map->popped);
        map->popped = nullptr;
    }
}

// Takes n out of the index, if the map keeps one.
void unindex(MVMap *map, MVTreeNode *n) {
    if (map->kind == KeyKind::Compared) return;
    mvindex::Key k;
    mvindex::Spot spot;
    indexKey(map, n->item, &k);
    mvindex::locate(&map->index, k, &spot);
    mvindex::eraseAt(&map->index, &spot);
}

MVMapNode *pop(MVMap *map, MVTreeNode *n) {
    settle(map);
    if (!n) return nullptr;
    unindex(map, n);
    mvtree::erase(&map->root, n);
    map->count--;
    map->popped = n;
    return entryOf(n);
}

// Where a node goes in the tree, given its neighbours in key order: below
// the one before on the right when that side is free, else below the one
// after on the left (one of them is always free for adjacent nodes).
void treeSlot(MVTreeNode *before, MVTreeNode *after, MVMapSlot *slot) {
    if (before && !before->right) {
        slot->parent = before;
        slot->left = false;
    } else if (after && !after->left) {
        slot->parent = after;
        slot->left = true;
    } else if (before) {  // the one after is the leftmost below before->right
        MVTreeNode *p = before->right;
        while (p->left) p = p->left;
        slot->parent = p;
        slot->left = true;
    } else if (after) {
        MVTreeNode *p = after->left;
        while (p->right) p = p->right;
        slot->parent = p;
        slot->left = false;
    } else {
        slot->parent = nullptr;
        slot->left = false;
    }
}

}  // namespace

void mapUseStringKeys(MVMap *map) {
    if (map->count || map->pool.chunks) return;
    map->kind = KeyKind::Strings;
}

MVTreeNode *mapTreeRoot(const MVMap *map) { return map->root; }

MVMapNode *mapLocate(const MVMap *map, const void *key, MVMapSlot *slot) {
    if (map->kind == KeyKind::Compared)
        return entryOf(mvtree::locate(map->root, mvtree::ByItem{map->cmp, key}, &slot->parent, &slot->left));
    mvindex::Key k;
    slot->outside = !indexKey(map, key, &k);
    if (slot->outside) return nullptr;
    slot->slice = k.slice;
    return entryOf(mvindex::locate(&map->index, k, &slot->spot));
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
    if (map->kind != KeyKind::Compared) {
        if (map->kind == KeyKind::Strings && (slot->outside || map->count == 0)) {
            fitSharedStart(map, static_cast<const char *>(key));
            mapLocate(map, key, slot);
        }
        MVTreeNode *before, *after;
        mvindex::neighbours(&slot->spot, &before, &after);
        if (!mvindex::insertAt(&map->index, &slot->spot, slot->slice, &node->tree)) {
            poolFree(&map->pool, node);
            setError("map: out of memory for an entry");
            return nullptr;
        }
        treeSlot(before, after, slot);
    }
    mvtree::insert(&map->root, slot->parent, slot->left, &node->tree);
    map->count++;
    return entryOf(&node->tree);
}

void *mapRemoveNode(MVMap *map, MVMapNode *entry) {
    settle(map);
    MVTreeNode *n = treeOf(entry);
    void *value = entry->value;
    unindex(map, n);
    mvtree::erase(&map->root, n);
    map->count--;
    poolFree(&map->pool, n);
    return value;
}

MVMapNode *mapTake(MVMap *map, const void *key) {
    settle(map);
    MVTreeNode *n;
    if (map->kind == KeyKind::Compared) {
        n = mvtree::find(map->root, mvtree::ByItem{map->cmp, key});
        if (!n) return nullptr;
    } else {
        mvindex::Key k;
        mvindex::Spot spot;
        if (!indexKey(map, key, &k)) return nullptr;
        n = mvindex::locate(&map->index, k, &spot);
        if (!n) return nullptr;
        mvindex::eraseAt(&map->index, &spot);
    }
    mvtree::erase(&map->root, n);
    map->count--;
    map->popped = n;
    return entryOf(n);
}

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
    mvindex::init(&map->index);
    // One cache line per node: a search reads a single line per level.
    poolInit(&map->pool, 64);
    return map;
}

MV_API void mvMapDestroy(MVMap *map) {
    if (!map) return;
    mvindex::release(&map->index);
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
