/* MORVEN: two-dimensional float vector.
 *
 * Threads: any thread. */
#ifndef MORVEN_VEC2_H
#define MORVEN_VEC2_H

#include <morven/defs.h>

MV_EXTERN_C_BEGIN

/** A point or direction: x then y, passed and returned by value. */
typedef struct MVVec2 {
    float x;
    float y;
} MVVec2;

/** Returns the vector (x, y). */
MV_API MVVec2 mvVec2f(float x, float y);

MV_EXTERN_C_END

#endif
