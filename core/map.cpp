// Ordered map: an AVL tree whose nodes carry the entry's value right after
// the tree node, so that the node's item and the value form the MVMapNode.
#include <morven/map.h>

#include <cstddef>
#include <cstdlib>

#include "core/pool.h"
#include "core/tree.h"

namespace {

struct MapNode {
    MVTreeNode tree;  // tree.item is the entry's key
    void *value;
};
static_assert(offsetof(MapNode, value) == offsetof(MVTreeNode, item) + sizeof(void *),
              "item and value must form an MVMapNode");
static_assert(sizeof(MVMapNode) == 2 * sizeof(void *) && offsetof(MVMapNode, value) == sizeof(void *),
              "MVMapNode layout is part of the ABI");

MVMapNode *entryOf(MVTreeNode *n) {
    return n ? reinterpret_cast<MVMapNode *>(&n->item) : nullptr;
}
MVTreeNode *treeOf(const MVMapNode *e) {
    return reinterpret_cast<MVTreeNode *>(reinterpret_cast<char *>(const_cast<MVMapNode *>(e)) -
                                          offsetof(MVTreeNode, item));
}
const void *keyOf(const MVTreeNode *n) { return n->item; }

}  // namespace

struct MVMap {
    MVTreeNode *root;
    MVCompareFunction cmp;
    void *data;
    size_t count;
    MVTreeNode *popped;  // last popped node, kept readable until the next change
    MVNodePool pool;
};

namespace {

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

extern "C" {

MV_API MVMap *mvMapCreate(MVCompareFunction cmp, void *data) {
    MVMap *map = static_cast<MVMap *>(std::malloc(sizeof(MVMap)));
    if (!map) return nullptr;
    map->root = nullptr;
    map->cmp = cmp;
    map->data = data;
    map->count = 0;
    map->popped = nullptr;
    mvPoolInit(&map->pool, sizeof(MapNode));
    return map;
}

MV_API void mvMapDestroy(MVMap *map) {
    if (!map) return;
    mvPoolRelease(&map->pool);
    std::free(map);
}

MV_API void *mvMapGetData(const MVMap *map) { return map->data; }
MV_API size_t mvMapCount(const MVMap *map) { return map->count; }

MV_API MVMapNode *mvMapFindNode(const MVMap *map, const void *key) {
    return entryOf(mvtree::find(map->root, key, map->cmp, keyOf));
}

MV_API void *mvMapFind(const MVMap *map, const void *key) {
    MVTreeNode *n = mvtree::find(map->root, key, map->cmp, keyOf);
    return n ? reinterpret_cast<MapNode *>(n)->value : nullptr;
}

MV_API MVMapNode *mvMapAssignNode(MVMap *map, void *key, void *value) {
    settle(map);
    MVTreeNode *parent;
    bool left;
    if (MVTreeNode *existing = mvtree::locate(map->root, key, map->cmp, keyOf, &parent, &left)) {
        // Callers add only absent keys; an equal key keeps its entry and takes the value.
        reinterpret_cast<MapNode *>(existing)->value = value;
        return entryOf(existing);
    }
    MapNode *node = static_cast<MapNode *>(mvPoolAlloc(&map->pool));
    if (!node) return nullptr;
    node->tree.item = key;
    node->value = value;
    mvtree::insert(&map->root, parent, left, &node->tree);
    map->count++;
    return entryOf(&node->tree);
}

MV_API void *mvMapAssign(MVMap *map, void *key, void *value) {
    return mvMapAssignNode(map, key, value) ? value : nullptr;
}

MV_API void *mvMapRemove(MVMap *map, const void *key) {
    settle(map);
    MVTreeNode *n = mvtree::find(map->root, key, map->cmp, keyOf);
    if (!n) return nullptr;
    void *value = reinterpret_cast<MapNode *>(n)->value;
    mvtree::erase(&map->root, n);
    map->count--;
    mvPoolFree(&map->pool, n);
    return value;
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

// Internal: the root tree node, for checks of the tree's shape.
MVTreeNode *mvMapTreeRoot(const MVMap *map) { return map->root; }
