// Ordered set: an AVL tree of MVTreeNode records from a per-set pool.
#include <morven/set.h>

#include <cstddef>
#include <cstdlib>

#include "core/base/error.h"
#include "core/containers/pool.h"
#include "core/containers/tree.h"

static_assert(offsetof(MVTreeNode, left) == 0 && offsetof(MVTreeNode, right) == sizeof(void *) &&
                  offsetof(MVTreeNode, link) == 2 * sizeof(void *) &&
                  offsetof(MVTreeNode, item) == 3 * sizeof(void *) && sizeof(MVTreeNode) == 4 * sizeof(void *),
              "MVTreeNode layout is part of the ABI");
static_assert(offsetof(MVSet, root) == 0, "the root is the set's first member");

extern "C" {

MV_API MVSet *mvSetCreate(MVCompareFunction cmp, void *data) {
    MVSet *set = static_cast<MVSet *>(std::malloc(sizeof(MVSet)));
    if (set) set->pool = static_cast<MVNodePool *>(std::malloc(sizeof(MVNodePool)));
    if (!set || !set->pool) {
        std::free(set);
        mvCoreSetError("set: out of memory");
        return nullptr;
    }
    mvPoolInit(set->pool, sizeof(MVTreeNode));
    set->root = nullptr;
    set->cmp = cmp;
    set->data = data;
    set->count = 0;
    return set;
}

MV_API void mvSetDestroy(MVSet *set) {
    if (!set) return;
    mvPoolRelease(set->pool);
    std::free(set->pool);
    std::free(set);
}

MV_API MVTreeNode *mvSetSearch(const MVSet *set, const void *item) {
    return mvtree::find(set->root, mvtree::ByItem{set->cmp, item});
}

MV_API MVTreeNode *mvSetInsert(MVSet *set, void *item) {
    MVTreeNode *parent;
    bool left;
    if (MVTreeNode *existing = mvtree::locate(set->root, mvtree::ByItem{set->cmp, item}, &parent, &left))
        return existing;
    MVTreeNode *node = static_cast<MVTreeNode *>(mvPoolAlloc(set->pool));
    if (!node) {
        mvCoreSetError("set: out of memory for an item");
        return nullptr;
    }
    node->item = item;
    mvtree::insert(&set->root, parent, left, node);
    set->count++;
    return node;
}

MV_API bool mvSetRemoveItem(MVSet *set, const void *item) {
    MVTreeNode *n = mvtree::find(set->root, mvtree::ByItem{set->cmp, item});
    if (!n) return false;
    mvtree::erase(&set->root, n);
    set->count--;
    mvPoolFree(set->pool, n);
    return true;
}

MV_API size_t mvSetCount(const MVSet *set) { return set->count; }
MV_API MVTreeNode *mvSetFirst(const MVSet *set) { return mvtree::first(set->root); }
MV_API MVTreeNode *mvSetNext(const MVTreeNode *node) { return mvtree::next(node); }

}  // extern "C"
