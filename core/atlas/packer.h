// Online rectangle packing by maximal free rectangles with the contact-point
// rule: the free space is kept as the list of all maximal empty rectangles,
// and each request goes to the top-left corner of the one where its edges touch
// the most of the areas already placed and of the border (ties: the place
// that leaves the shortest long side). Hugging what is there leaves fewer
// slivers than fitting the free rectangle most tightly.
//
// On a large bin that list grows to thousands of rectangles, and every
// request would scan and split it. So the bin is divided into cells of at
// most kPackCellSide pixels a side, taken from the bin (itself a list of
// maximal free rectangles) when a request fits no cell yet; each cell keeps
// its own short list and the footprints placed in it. Requests too large for
// a cell are placed in the bin directly. A bin no larger than one cell
// behaves exactly like the plain method.
//
// Removing a footprint works out again only the free space of the cell that
// held it (or of the bin outside the cells, for a large one), from the
// footprints that remain there: the cost depends on the cell, not on the
// number of areas in the bin. A cell left empty returns to the bin.
#ifndef MORVEN_CORE_ATLAS_PACKER_H
#define MORVEN_CORE_ATLAS_PACKER_H

#include <cstddef>
#include <cstdint>

#include "core/containers/growable.h"

constexpr int kPackCellSide = 256;
constexpr int kPackWidthStep = 1;  // width classes of a cell's fit test (1: exact)
constexpr int kPackWords = kPackCellSide / 64;  // words in a row of a cell's taken pixels

struct PackRect {
    int x, y, w, h;
};

// A list of rectangles with spare capacity.
using RectList = Growable<PackRect>;

struct PackCell {
    PackRect bounds;
    bool inUse;      // false: a slot for the next cell
    RectList free;   // the maximal free rectangles
    RectList feet;   // the footprints placed here
    // The pixels the footprints take, by rows and by columns (cell-relative),
    // so that what a place would touch is counted a word at a time.
    uint64_t *taken;
    // tallest[k]: the greatest height of a free rectangle at least
    // k * kPackWidthStep wide; a request taller than that cannot fit.
    int tallest[kPackCellSide / kPackWidthStep + 1];
    int failW, failH, failPadding;  // a request that did not fit (failW 0: none)
};

// Where a footprint lies: a cell's index, or kPackOutside.
constexpr int kPackOutside = -1;

struct Packer {
    int w, h;
    // The padding of the first request into the empty bin: every footprint
    // reaches at least this far right of and below its area.
    bool hasBase;
    int basePadding;
    size_t placed;    // footprints in the bin
    RectList top;     // the bin's free space outside the cells
    RectList topFeet; // the footprints placed outside the cells
    Growable<PackCell> cells;  // slots, used or not; an index stays valid while its cell lives
    // Working space for carving, kept between requests (only the room is used).
    Growable<PackRect> pieces;
    Growable<bool> keep;
    Growable<uint8_t> made;
    RectList spare;
};

// An empty w x h bin. False when out of memory.
bool packerInit(Packer *packer, int w, int h);
void packerRelease(Packer *packer);

// Places a w x h area that keeps at least `padding` free pixels (or its
// neighbour's padding, if larger) between it and every other area; none is
// needed at the bin's border. On success fills area, footprint (the area
// with the room kept beside it, clipped to the bin: the part taken from the
// free space) and where (to hand back to packerRemove).
bool packerInsert(Packer *packer, int w, int h, int padding, PackRect *area, PackRect *footprint, int *where);

// Gives back a footprint that packerInsert placed at `where`. When memory
// runs out while the free space is worked out again, part of it stays taken
// until a later removal from the same place succeeds; nothing overlaps.
void packerRemove(Packer *packer, const PackRect &footprint, int where);

// Removes `used` from a list of maximal free rectangles, keeping it exactly
// the list of maximal ones, in a stable order. False (list unchanged) when
// out of memory.
bool packerCarve(Packer *packer, RectList *list, const PackRect &used);

#endif
