// Online rectangle packing by maximal free rectangles with the
// best-short-side-fit rule: the free space is kept as the list of all
// maximal empty rectangles, and each request goes to the one it fills most
// tightly along its shorter leftover side.
#ifndef MORVEN_CORE_PACKER_H
#define MORVEN_CORE_PACKER_H

#include <cstddef>

struct PackRect {
    int x, y, w, h;
};

struct Packer {
    int w, h;
    PackRect *free;  // maximal free rectangles
    size_t freeCount;
};

// An empty w x h bin. False when out of memory.
bool packerInit(Packer *packer, int w, int h);
void packerRelease(Packer *packer);

// Places a w x h area with `padding` free pixels around it (not needed at the
// bin's border). On success fills area and footprint (the area with its
// padding, clipped to the bin: the part taken from the free space).
bool packerInsert(Packer *packer, int w, int h, int padding, PackRect *area, PackRect *footprint);

// Recomputes the free space from the footprints still in use (after a
// release). On failure (out of memory) the old, smaller free space stays.
bool packerRebuild(Packer *packer, const PackRect *used, size_t count);

#endif
