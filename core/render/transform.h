// The current 2-D transform of the drawing calls: world coordinates to
// window pixels, x' = a x + c y + e, y' = b x + d y + f.
#ifndef MORVEN_CORE_RENDER_TRANSFORM_H
#define MORVEN_CORE_RENDER_TRANSFORM_H

#include "core/render/renderer.h"

struct Transform {
    double a, b, c, d, e, f;
};

// The transform in force.
const Transform &drawTransform();
// True while it is the identity, so callers may skip the arithmetic.
bool drawTransformIsIdentity();
// A point of the world in window pixels, through the current transform; the
// results are rounded to float once.
void drawTransformPoint(float x, float y, float *outX, float *outY);
// A sprite given in world coordinates, in window pixels: its centre moved,
// its sides scaled and turned with the transform's axes (a transform that
// shears keeps the sprite a rectangle, its sides as long as the images of
// its axes); a mirroring transform gives a negative height.
void drawTransformSprite(MVSprite *sprite);
// Makes t the transform in force; the stack stays.
void drawTransformSet(const Transform &t);
// Back to the identity with an empty stack, for a new engine run.
void drawTransformReset();
// The drawing calls' own state back to its start: the transform, a line
// width of 1, white for wide lines. With the front end's resetState.
void drawStateReset();

#endif
