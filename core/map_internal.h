// Engine-internal access to maps.
#ifndef MORVEN_CORE_MAP_INTERNAL_H
#define MORVEN_CORE_MAP_INTERNAL_H

#include <morven/map.h>
#include <morven/set.h>

// Declares that an empty map's keys are C strings ordered exactly like
// strcmp, so the map may order them itself without calling its comparison.
void mvMapUseStringKeys(MVMap *map);

// The root of the map's tree, for shape checks.
MVTreeNode *mvMapTreeRoot(const MVMap *map);

#endif
