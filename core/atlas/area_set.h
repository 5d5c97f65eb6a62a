// The areas of one atlas: a set of pointers, so that a release or a write
// finds out in constant time whether an area belongs to the atlas.
#ifndef MORVEN_CORE_ATLAS_AREA_SET_H
#define MORVEN_CORE_ATLAS_AREA_SET_H

#include <cstddef>

// Open addressing with linear probing; capacity is 0 or a power of two, at
// most half full. A null slot is empty.
struct AreaSet {
    void **slots;
    size_t capacity, count;
};

// Makes room for one more pointer. False (set unchanged) when out of memory.
bool areaSetReserve(AreaSet *set);
// Adds a pointer that is not in the set, after areaSetReserve.
void areaSetAdd(AreaSet *set, void *item);
bool areaSetHas(const AreaSet *set, const void *item);
// Removes the pointer; false when it was not in the set.
bool areaSetRemove(AreaSet *set, const void *item);
void areaSetRelease(AreaSet *set);

#endif
