// String map: a core map ordered by strcmp whose keys are the map's own copies.
#include <morven/smap.h>

#include <cstdlib>
#include <cstring>

#include "core/base/error.h"
#include "core/containers/map_internal.h"

namespace {

int _mvSMapMapCmp(const void *a, const void *b) {
    return std::strcmp(static_cast<const char *>(a), static_cast<const char *>(b));
}

char *copyKey(const char *key) {
    size_t size = std::strlen(key) + 1;
    char *copy = static_cast<char *>(std::malloc(size));
    if (copy) std::memcpy(copy, key, size);
    return copy;
}

// Stores value under key: in place when the key is present, else in a new
// entry under a fresh key copy, which is released again when the core map
// cannot take it. Sets *previous to the value replaced (null for a new key)
// and returns the entry, or null when out of memory.
MVMapNode *store(MVSMap *map, const char *key, const void *value, void **previous) {
    MVMapSlot slot;
    if (MVMapNode *node = mapLocate(map, key, &slot)) {
        *previous = node->value;
        node->value = const_cast<void *>(value);
        return node;
    }
    *previous = nullptr;
    char *copy = copyKey(key);
    if (!copy) {
        setError("string map: out of memory for a key");
        return nullptr;
    }
    MVMapNode *node = mapInsertAt(map, &slot, copy, const_cast<void *>(value));
    if (!node) std::free(copy);
    return node;
}

}  // namespace

extern "C" {

MV_API MVSMap *mvSMapCreate(void) {
    MVSMap *map = mvMapCreate(_mvSMapMapCmp, nullptr);
    if (map)
        mapUseStringKeys(map);
    else
        setError("string map: out of memory");
    return map;
}

MV_API void mvSMapDestroy(MVSMap *map) {
    if (map) mvMapDestroy(map);
}

MV_API void mvSMapDestroyAll(MVSMap *map, void (*freeValue)(void *)) {
    if (!map) return;
    // The walk follows tree links, never keys, so each key may go as soon as
    // its successor is known.
    for (MVMapNode *entry = mvMapGetFirst(map), *next; entry; entry = next) {
        next = mvMapNext(map, entry);
        std::free(entry->key);
        if (freeValue && entry->value) freeValue(entry->value);
    }
    mvMapDestroy(map);
}

MV_API void *mvSMapReplace(MVSMap *map, const char *key, const void *value) {
    void *previous;
    store(map, key, value, &previous);
    return previous;
}

MV_API void *mvSMapAssign(MVSMap *map, const char *key, const void *value) {
    void *previous;
    store(map, key, value, &previous);
    return const_cast<void *>(value);
}

MV_API MVMapNode *mvSMapAssignNode(MVSMap *map, const char *key, const void *value) {
    void *previous;
    return store(map, key, value, &previous);
}

MV_API void *mvSMapFind(const MVSMap *map, const char *key) { return mvMapFind(map, key); }
MV_API MVMapNode *mvSMapFindNode(const MVSMap *map, const char *key) { return mvMapFindNode(map, key); }

MV_API void *mvSMapRemove(MVSMap *map, const char *key) {
    // The entry stays readable until the map changes again: long enough to
    // release its key copy after the core map is done with it.
    MVMapNode *node = mapTake(map, key);
    if (!node) return nullptr;
    std::free(node->key);
    return node->value;
}

MV_API MVMapNode *mvSMapGetRoot(const MVSMap *map) { return mvMapGetRoot(map); }
MV_API MVMapNode *mvSMapGetFirst(const MVSMap *map) { return mvMapGetFirst(map); }
MV_API MVMapNode *mvSMapGetLast(const MVSMap *map) { return mvMapGetLast(map); }
MV_API MVMapNode *mvSMapPopRoot(MVSMap *map) { return mvMapPopRoot(map); }
MV_API MVMapNode *mvSMapPopFirst(MVSMap *map) { return mvMapPopFirst(map); }
MV_API MVMapNode *mvSMapPopLast(MVSMap *map) { return mvMapPopLast(map); }

}  // extern "C"
