// The free space of a region around the rectangles that take part of it.
#ifndef MORVEN_CORE_ATLAS_FREE_SPACE_H
#define MORVEN_CORE_ATLAS_FREE_SPACE_H

#include <cstddef>

#include "core/atlas/packer.h"

// Fills `out` (emptied first) with every maximal empty rectangle of `whole`
// around the obstacles: nGroups arrays of counts[g] rectangles that lie
// inside it (they may overlap). The cost grows with the square of the
// number of distinct edges and with the region's width plus height, not with
// its area. False when out of memory.
bool maximalFreeRects(RectList *out, const PackRect &whole, const PackRect *const *groups, const size_t *counts,
                      size_t nGroups);

#endif
