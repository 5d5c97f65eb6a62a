/* MORVEN: bounded, breakable polyline trail.
 *
 * A trail records entries, oldest first, and draws them as white line strips
 * whose alpha rises linearly with the entry's index, from 0 at the oldest to 1
 * at the newest. An entry whose x or y is a NaN is a break: it ends the
 * current strip and starts a new one, and takes one step of the alpha ramp
 * without drawing a vertex. Breaks count towards the bound like points.
 *
 * Every function accepts a null trail and then does nothing. The coordinate
 * arrays are sized exactly to numpoints. When the allocator refuses to grow
 * them, an append is dropped and the trail stays as it was; when it refuses
 * to shrink them, the removal still happens and the arrays keep their larger
 * blocks. Either way numpoints and both arrays agree.
 *
 * Threads: a trail may be built and changed on any thread, by one thread at
 * a time; mvTrailDraw and mvTrailDrawColor3f draw, so they belong to the
 * engine's thread. */
#ifndef MORVEN_TRAIL_H
#define MORVEN_TRAIL_H

#include <morven/defs.h>

MV_EXTERN_C_BEGIN

/** A trail. Members may be read; change them only through the functions below. */
typedef struct MVTrail {
    uint32_t numpoints; /* entries held */
    float *xpoints;     /* numpoints x coordinates, index 0 the oldest; owned */
    float *ypoints;     /* numpoints y coordinates, parallel to xpoints; owned */
    uint32_t maxpoints; /* most entries held after an append; 0: no bound */
} MVTrail;

/** A new, empty trail holding at most maxpoints entries (0: unbounded), or null
 * when out of memory. Release it with mvTrailDestroy. */
MV_API MVTrail *mvTrailCreate(uint32_t maxpoints);

/** Releases both arrays and the trail. */
MV_API void mvTrailDestroy(MVTrail *trail);

/** Appends (x, y) as the newest entry, then removes the oldest entry if the
 * trail now holds more than maxpoints. A NaN in x or y makes the entry a
 * break. A trail already holding 2^32 - 1 entries ignores the append. */
MV_API void mvTrailAddPoint2f(MVTrail *trail, float x, float y);

/** Appends a break: the quiet NaN 0x7FC00000 in both coordinates. */
MV_API void mvTrailAddBreak(MVTrail *trail);

/** Removes the oldest entry, point or break; an empty trail stays empty. */
MV_API void mvTrailPopPoint(MVTrail *trail);

/** Removes the oldest entry if it is a break (only that one), then draws the
 * trail through the drawing calls (see <morven/draw.h>) as line strips
 * (MV_DRAW_LINE_STRIP). Entry i of n gets mvDrawColor2f(1, i / (n - 1)); a single remaining
 * point is drawn fully opaque. An empty trail makes no drawing call. */
MV_API void mvTrailDraw(MVTrail *trail);

/** Draws the trail as mvTrailDraw does (breaks and leading-break removal
 * included), in the colour (r, g, b) instead of white, each point with its
 * own alpha. Null draws nothing. Engine thread. */
MV_API void mvTrailDrawColor3f(MVTrail *trail, float r, float g, float b);

MV_EXTERN_C_END

#endif
