/* MORVEN: string map.
 *
 * A map from zero-terminated byte strings to untyped values, ordered by
 * strcmp (bytes compared as unsigned characters: "B" < "a", "ab" < "abc").
 * It is an ordinary MVMap whose entries' keys are heap copies made and owned
 * by the string map, so callers may pass keys held in temporary buffers.
 * Values are stored as passed and never read through; null is a valid value.
 * Keys must not be null; the map must not be null except for mvSMapDestroy.
 *
 * Threads: a string map may be used on any thread, by one thread at a time;
 * finds and gets may run on several threads at once while none changes it. */
#ifndef MORVEN_SMAP_H
#define MORVEN_SMAP_H

#include <morven/map.h>

MV_EXTERN_C_BEGIN

typedef MVMap MVSMap;

/** A new, empty string map, or null when out of memory. */
MV_API MVSMap *mvSMapCreate(void);

/** Destroys the map. The key copies of entries still in it are NOT released
 * (mvSMapDestroyAll releases them, or pop the entries first and free each
 * popped entry's key). Null is ignored. */
MV_API void mvSMapDestroy(MVSMap *map);

/** Destroys the map with everything it holds: releases every key copy and
 * hands every non-null value to freeValue (in key order) before the map goes.
 * A null freeValue leaves the values alone. Null map is ignored. */
MV_API void mvSMapDestroyAll(MVSMap *map, void (*freeValue)(void *));

/** Stores value under key. Returns the value the key held before, or null when
 * the key was absent (also when its key copy could not be allocated, in which
 * case nothing is stored). */
MV_API void *mvSMapReplace(MVSMap *map, const char *key, const void *value);

/** Stores value under key and returns value, on every path: also when the key
 * copy could not be allocated and nothing was stored. Callers who must detect
 * that failure use mvSMapAssignNode. */
MV_API void *mvSMapAssign(MVSMap *map, const char *key, const void *value);

/** The value stored under key, or null when absent (or when null is stored). */
MV_API void *mvSMapFind(const MVSMap *map, const char *key);

/** Removes key and releases its key copy. Returns the removed entry's value,
 * or null when the key is absent. */
MV_API void *mvSMapRemove(MVSMap *map, const char *key);

/** The entry for key, or null when absent. */
MV_API MVMapNode *mvSMapFindNode(const MVSMap *map, const char *key);

/** Stores value under key and returns the entry that holds it, or null when
 * out of memory (then nothing is stored). */
MV_API MVMapNode *mvSMapAssignNode(MVSMap *map, const char *key, const void *value);

/** The entry at the root, with the smallest key, with the largest key; null
 * when empty. */
MV_API MVMapNode *mvSMapGetRoot(const MVSMap *map);
MV_API MVMapNode *mvSMapGetFirst(const MVSMap *map);
MV_API MVMapNode *mvSMapGetLast(const MVSMap *map);

/** As the get functions, removing the entry. The caller takes over the key copy
 * (release it with free); the entry itself stays readable until the next call
 * that changes this map. Null when empty. */
MV_API MVMapNode *mvSMapPopRoot(MVSMap *map);
MV_API MVMapNode *mvSMapPopFirst(MVSMap *map);
MV_API MVMapNode *mvSMapPopLast(MVSMap *map);

MV_EXTERN_C_END

#endif
