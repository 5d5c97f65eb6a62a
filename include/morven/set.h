/* MORVEN: ordered set.
 *
 * A balanced binary search tree of items, ordered by the caller's comparison
 * function. The set never copies or frees items. Callers may walk the tree
 * read-only from `root` through `left`, `right` and `item`; an in-order walk
 * meets the items in ascending order.
 *
 * Threads: a set may be used on any thread, by one thread at a time. Calls
 * that only read (search, first, next, count) may run on several threads at
 * once while no thread changes the set. */
#ifndef MORVEN_SET_H
#define MORVEN_SET_H

#include <morven/defs.h>

MV_EXTERN_C_BEGIN

/** A tree node. */
typedef struct MVTreeNode {
    struct MVTreeNode *left;   /* subtree of smaller items, or null */
    struct MVTreeNode *right;  /* subtree of greater items, or null */
    uintptr_t link;            /* internal: parent pointer and balance; never read it */
    void *item;                /* the caller's item */
} MVTreeNode;

struct MVNodePool;

/** A set. Only `root` is for callers to read; the rest is internal. */
typedef struct MVSet {
    MVTreeNode *root;          /* null when the set is empty */
    MVCompareFunction cmp;
    void *data;
    size_t count;
    struct MVNodePool *pool;
} MVSet;

/** Creates an empty set ordered by cmp (called as cmp(a, b) on two items).
 * data is kept for the caller. Returns null when out of memory. */
MV_API MVSet *mvSetCreate(MVCompareFunction cmp, void *data);

/** Releases the set and its nodes, not the items. Null is ignored. */
MV_API void mvSetDestroy(MVSet *set);

/** The node whose item compares equal to item, or null. */
MV_API MVTreeNode *mvSetSearch(const MVSet *set, const void *item);

/** Adds item. Returns its new node, the existing node when an equal item is
 * already present, or null when out of memory. */
MV_API MVTreeNode *mvSetInsert(MVSet *set, void *item);

/** Removes the node whose item compares equal to item. Returns true when one
 * was removed. The set does not touch the item after it returns. */
MV_API bool mvSetRemoveItem(MVSet *set, const void *item);

/** Number of items. */
MV_API size_t mvSetCount(const MVSet *set);

/** The node with the smallest item, the one following node, or null. */
MV_API MVTreeNode *mvSetFirst(const MVSet *set);
MV_API MVTreeNode *mvSetNext(const MVTreeNode *node);

MV_EXTERN_C_END

#endif
