// Engine-internal access to maps.
#ifndef MORVEN_CORE_CONTAINERS_MAP_INTERNAL_H
#define MORVEN_CORE_CONTAINERS_MAP_INTERNAL_H

#include <morven/map.h>
#include <morven/set.h>

// Declares that an empty map's keys are C strings ordered exactly like
// strcmp, so the map may order them itself without calling its comparison.
void mapUseStringKeys(MVMap *map);

// Where an absent key goes: filled in by mapLocate, used by mapInsertAt
// while the map is unchanged in between. Saves a second search.
struct MVMapSlot {
    MVTreeNode *parent;
    bool left;
    bool outside;  // string keys: the key lacks the start all keys share
};

// The entry whose key compares equal to key; when there is none, null, with
// *slot telling where key belongs.
MVMapNode *mapLocate(const MVMap *map, const void *key, MVMapSlot *slot);

// Adds an entry at a slot from mapLocate. Null when out of memory.
MVMapNode *mapInsertAt(MVMap *map, MVMapSlot *slot, void *key, void *value);

// Removes an entry of this map and returns its value.
void *mapRemoveNode(MVMap *map, MVMapNode *entry);

// Removes the entry whose key compares equal to key and returns it, readable
// (key and value) until the next call that changes the map; null when absent.
MVMapNode *mapTake(MVMap *map, const void *key);

// The root of the map's tree, for shape checks.
MVTreeNode *mapTreeRoot(const MVMap *map);

#endif
