/* MORVEN: ordered map.
 *
 * A balanced binary search tree of entries {key, value}, ordered by the
 * caller's comparison function. The map never copies, frees or reads through
 * keys and values: it only compares keys. Entries handed out by the map stay
 * valid until that entry is removed.
 *
 * Threads: a map may be used on any thread, by one thread at a time. Calls
 * that only read (find, get, next, previous, count) may run on several
 * threads at once while no thread changes the map. */
#ifndef MORVEN_MAP_H
#define MORVEN_MAP_H

#include <morven/defs.h>

MV_EXTERN_C_BEGIN

/** Opaque map handle. */
typedef struct MVMap MVMap;

/** One entry: callers read both members and may overwrite `value` in place. */
typedef struct MVMapNode {
    void *key;
    void *value;
} MVMapNode;

/** Creates an empty map ordered by cmp (called as cmp(a, b) on two keys).
 * data is kept for the caller (see mvMapGetData). Returns null when out of memory.
 * Given mvMapCompareIntegers or mvMapCompareStrings, the map orders the keys
 * itself in the same way without calling cmp, and finds them much faster. */
MV_API MVMap *mvMapCreate(MVCompareFunction cmp, void *data);

/** Orders keys that are integers held in the key pointer itself
 * ((void *)(intptr_t)i), as signed numbers: -1, 0 or 1. */
MV_API int mvMapCompareIntegers(const void *a, const void *b);

/** Orders keys that are zero-terminated strings: strcmp of the two. */
MV_API int mvMapCompareStrings(const void *a, const void *b);

/** Releases the map and its entries, not the keys and values. Null is ignored. */
MV_API void mvMapDestroy(MVMap *map);

/** The user-data pointer given to mvMapCreate. */
MV_API void *mvMapGetData(const MVMap *map);

/** Number of entries. */
MV_API size_t mvMapCount(const MVMap *map);

/** The value stored under a key that compares equal to key, or null. */
MV_API void *mvMapFind(const MVMap *map, const void *key);

/** The entry whose key compares equal to key, or null. */
MV_API MVMapNode *mvMapFindNode(const MVMap *map, const void *key);

/** Adds an entry holding this very key pointer and value; the key must be
 * absent. Returns the value, or null when out of memory. */
MV_API void *mvMapAssign(MVMap *map, void *key, void *value);

/** As mvMapAssign, returning the new entry, or null when out of memory. */
MV_API MVMapNode *mvMapAssignNode(MVMap *map, void *key, void *value);

/** Removes the entry whose key compares equal to key and returns its value;
 * null when absent. The map does not touch the key after it returns. */
MV_API void *mvMapRemove(MVMap *map, const void *key);

/** The entry at the tree's root, with the smallest key, with the largest key;
 * null when the map is empty. */
MV_API MVMapNode *mvMapGetRoot(const MVMap *map);
MV_API MVMapNode *mvMapGetFirst(const MVMap *map);
MV_API MVMapNode *mvMapGetLast(const MVMap *map);

/** The entry following or preceding node in key order, or null at the end. */
MV_API MVMapNode *mvMapNext(const MVMap *map, const MVMapNode *node);
MV_API MVMapNode *mvMapPrev(const MVMap *map, const MVMapNode *node);

/** As the get functions, but the entry is also removed from the map. The
 * returned entry stays readable until the next call that changes this map,
 * or its destroy. Null when the map is empty. */
MV_API MVMapNode *mvMapPopRoot(MVMap *map);
MV_API MVMapNode *mvMapPopFirst(MVMap *map);
MV_API MVMapNode *mvMapPopLast(MVMap *map);

MV_EXTERN_C_END

#endif
