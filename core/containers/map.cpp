// Ordered map: an AVL tree whose nodes carry the entry's value right after
// the tree node, so that the node's item and the value form the MVMapNode.
//
// A map whose keys are known to be C strings ordered by strcmp (the string
// map's) also keeps the first eight bytes of each key in its node, so most
// comparisons are decided without touching the key's own memory.
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
    uint64_t prefix;  // string keys: first eight bytes, big-endian, zero-padded
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

// The first eight bytes of s as a big-endian number, zero after its end, so
// that numeric order of prefixes agrees with strcmp order of the strings.
uint64_t prefixOf(const char *s) {
    uint64_t v = 0;
    for (int i = 0; i < 8; i++) {
        v <<= 8;
        if (*s) v |= static_cast<unsigned char>(*s++);
    }
    return v;
}

// Orders strings by prefix first; only equal prefixes of eight non-zero
// bytes need the rest of both strings.
struct ByString {
    const char *key;
    uint64_t prefix;
    int operator()(const MVTreeNode *n) const {
        uint64_t other = reinterpret_cast<const MapNode *>(n)->prefix;
        if (prefix != other) return prefix < other ? -1 : 1;
        if ((prefix & 0xff) == 0) return 0;  // both ended inside the prefix
        return std::strcmp(key + 8, static_cast<const char *>(n->item) + 8);
    }
};

}  // namespace

struct MVMap {
    MVTreeNode *root;
    MVCompareFunction cmp;
    void *data;
    size_t count;
    MVTreeNode *popped;  // last popped node, kept readable until the next change
    bool stringKeys;
    MVNodePool pool;
};

namespace {

MVTreeNode *findNode(const MVMap *map, const void *key) {
    if (map->stringKeys) {
        const char *s = static_cast<const char *>(key);
        return mvtree::find(map->root, ByString{s, prefixOf(s)});
    }
    return mvtree::find(map->root, mvtree::ByItem{map->cmp, key});
}

// Every changing call first reclaims the node of the previous pop.
void settle(MVMap *map) {
    if (map->popped) {
        mvPoolFree(&map->pool, map->popped);
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

void mvMapUseStringKeys(MVMap *map) {
    if (map->count || map->pool.chunks) return;
    map->stringKeys = true;
    // One cache line per node: a comparison then reads a single line.
    mvPoolInit(&map->pool, 64);
}

MVTreeNode *mvMapTreeRoot(const MVMap *map) { return map->root; }

MVMapNode *mvMapLocate(const MVMap *map, const void *key, MVMapSlot *slot) {
    MVTreeNode *found;
    if (map->stringKeys) {
        const char *s = static_cast<const char *>(key);
        slot->prefix = prefixOf(s);
        found = mvtree::locate(map->root, ByString{s, slot->prefix}, &slot->parent, &slot->left);
    } else {
        slot->prefix = 0;
        found = mvtree::locate(map->root, mvtree::ByItem{map->cmp, key}, &slot->parent, &slot->left);
    }
    return entryOf(found);
}

MVMapNode *mvMapInsertAt(MVMap *map, const MVMapSlot *slot, void *key, void *value) {
    settle(map);
    MapNode *node = static_cast<MapNode *>(mvPoolAlloc(&map->pool));
    if (!node) {
        mvCoreSetError("map: out of memory for an entry");
        return nullptr;
    }
    node->tree.item = key;
    node->value = value;
    node->prefix = slot->prefix;
    mvtree::insert(&map->root, slot->parent, slot->left, &node->tree);
    map->count++;
    return entryOf(&node->tree);
}

void *mvMapRemoveNode(MVMap *map, MVMapNode *entry) {
    settle(map);
    MVTreeNode *n = treeOf(entry);
    void *value = entry->value;
    mvtree::erase(&map->root, n);
    map->count--;
    mvPoolFree(&map->pool, n);
    return value;
}

extern "C" {

MV_API MVMap *mvMapCreate(MVCompareFunction cmp, void *data) {
    MVMap *map = static_cast<MVMap *>(std::malloc(sizeof(MVMap)));
    if (!map) {
        mvCoreSetError("map: out of memory");
        return nullptr;
    }
    map->root = nullptr;
    map->cmp = cmp;
    map->data = data;
    map->count = 0;
    map->popped = nullptr;
    map->stringKeys = false;
    mvPoolInit(&map->pool, 64);
    return map;
}

MV_API void mvMapDestroy(MVMap *map) {
    if (!map) return;
    mvPoolRelease(&map->pool);
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
    if (MVMapNode *existing = mvMapLocate(map, key, &slot)) {
        // Callers add only absent keys; an equal key keeps its entry and takes the value.
        existing->value = value;
        return existing;
    }
    return mvMapInsertAt(map, &slot, key, value);
}

MV_API void *mvMapAssign(MVMap *map, void *key, void *value) {
    return mvMapAssignNode(map, key, value) ? value : nullptr;
}

MV_API void *mvMapRemove(MVMap *map, const void *key) {
    settle(map);
    MVTreeNode *n = findNode(map, key);
    return n ? mvMapRemoveNode(map, entryOf(n)) : nullptr;
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
