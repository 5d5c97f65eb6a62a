// Online rectangle packing by maximal free rectangles with the
// best-short-side-fit rule: the free space is kept as the list of all
// maximal empty rectangles, and each request goes to the one it fills most
// tightly along its shorter leftover side.
//
// On a large bin that list grows to thousands of rectangles, and every
// request would scan and split it. So the bin is divided into cells of at
// most kPackCellSide pixels a side, taken from the bin (itself a list of
// maximal free rectangles) when a request fits no cell yet; each cell keeps
// its own short list. Requests too large for a cell are placed in the bin
// directly. A bin no larger than one cell behaves exactly like the plain
// method.
#ifndef MORVEN_CORE_PACKER_H
#define MORVEN_CORE_PACKER_H

#include <cstddef>

constexpr int kPackCellSide = 256;
constexpr int kPackWidthStep = 8;  // width classes of a cell's quick fit test

struct PackRect {
    int x, y, w, h;
};

// A list of maximal free rectangles with spare capacity.
struct FreeRects {
    PackRect *items;
    size_t count, capacity;
};

struct PackCell {
    PackRect bounds;
    FreeRects free;
    // tallest[k]: the greatest height of a free rectangle at least
    // k * kPackWidthStep wide; a request taller than that cannot fit.
    int tallest[kPackCellSide / kPackWidthStep + 1];
    int failW, failH, failPadding;  // a request that did not fit (failW 0: none)
};

struct Packer {
    int w, h;
    // The padding of the first request into the empty bin: every footprint
    // reaches at least this far right of and below its area.
    bool hasBase;
    int basePadding;
    FreeRects top;  // the bin's free space outside the cells
    PackCell *cells;
    size_t cellCount;
    // Working space for carving, kept between requests.
    PackRect *pieces;
    bool *keep;
    size_t piecesCapacity, keepCapacity;
    PackRect *spare;
    size_t spareCapacity;
};

// An empty w x h bin. False when out of memory.
bool packerInit(Packer *packer, int w, int h);
void packerRelease(Packer *packer);

// Places a w x h area that keeps at least `padding` free pixels (or its
// neighbour's padding, if larger) between it and every other area; none is
// needed at the bin's border. On success fills area and footprint (the area
// with the room kept beside it, clipped to the bin: the part taken from the
// free space).
bool packerInsert(Packer *packer, int w, int h, int padding, PackRect *area, PackRect *footprint);

// Recomputes the free space from the footprints still in use (after a
// release); cells left empty go back to the bin. On failure (out of memory)
// the old, smaller free space stays.
bool packerRebuild(Packer *packer, const PackRect *used, size_t count);

// Removes `used` from a list of maximal free rectangles, keeping it exactly
// the list of maximal ones, in a stable order. False (list unchanged) when
// out of memory.
bool packerCarve(Packer *packer, FreeRects *list, const PackRect &used);

#endif
