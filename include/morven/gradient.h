/* MORVEN: keyed one-dimensional gradient.
 *
 * A gradient maps a position to a value through stops: (key, value) pairs
 * held in strictly increasing key order (-0 and +0 are the same key). Below
 * the first key the first value holds, at or beyond the last key the last
 * value holds; in between, the installed interpolation function decides.
 * All arithmetic is 32-bit float, each operation rounded as written, so
 * results are reproducible bit for bit.
 *
 * The gradient pointer must not be null, except for mvGradientDestroy.
 * Editing functions report nothing: requests that do not apply (an index out
 * of range, a key with no equal stop, an unknown mode) are ignored, and so is
 * an edit whose stop-array resize the allocator refuses; the gradient is then
 * left exactly as it was.
 *
 * Threads: a gradient may be used on any thread, by one thread at a time;
 * the interpolation function runs on the calling thread. */
#ifndef MORVEN_GRADIENT_H
#define MORVEN_GRADIENT_H

#include <morven/defs.h>
#include <morven/vec2.h>

MV_EXTERN_C_BEGIN

typedef struct MVGradient MVGradient;

/** Returns the gradient's value at position x. Receives the gradient, whose
 * stops it may read. */
typedef float (*MVGradientInterpFunction)(MVGradient *gradient, float x);

/** A gradient. Members may be read; change them only through the functions
 * below. */
struct MVGradient {
    uint64_t numvals;                /* number of stops */
    MVVec2 *vals;                    /* numvals stops, x the key and y the value; owned, exact size */
    MVGradientInterpFunction interp; /* called by mvGradientGetValue; never null */
};

/** Built-in interpolation modes for mvGradientSetInterp. */
enum {
    MV_GRADIENT_NEAREST = 0, /* the lower stop's value below the midpoint, the upper one from it on */
    MV_GRADIENT_LINEAR = 1,
    MV_GRADIENT_COSINE = 2,  /* eased with (1 - cos(t * pi)) / 2 */
    MV_GRADIENT_CUBIC = 3    /* through the values of the two stops on either side */
};

/** A new gradient with stops (0, 0) and (1, 1) and linear interpolation, or
 * null when out of memory (then nothing stays allocated). Release it with
 * mvGradientDestroy. */
MV_API MVGradient *mvGradientCreate(void);

/** Releases the stop array and the gradient. Null is ignored. */
MV_API void mvGradientDestroy(MVGradient *gradient);

/** Installs the built-in function of mode (MV_GRADIENT_...); any other number
 * leaves the current function installed. */
MV_API void mvGradientSetInterp(MVGradient *gradient, int32_t mode);

/** Installs a caller's interpolation function; null installs linear. */
MV_API void mvGradientSetInterpFunc(MVGradient *gradient, MVGradientInterpFunction func);

/** Sets the value of the stop at index; its key stays. An index at or beyond
 * numvals is ignored. */
MV_API void mvGradientSetStopIndex(MVGradient *gradient, uint64_t index, float value);

/** Sets the value of the stop whose key equals key (its stored key stays, so
 * -0 updates the stop at +0), or inserts a new stop in key order. A NaN key
 * equals no key and is appended after the last stop. */
MV_API void mvGradientSetStopKey(MVGradient *gradient, float key, float value);

/** Removes the stop at index; an index at or beyond numvals is ignored.
 * Removing the last remaining stop leaves a gradient with no stops, which
 * mvGradientSetStopKey can fill again. */
MV_API void mvGradientRemoveStopIndex(MVGradient *gradient, uint64_t index);

/** Removes the stop whose key equals key; no such stop: nothing happens. */
MV_API void mvGradientRemoveStopKey(MVGradient *gradient, float key);

/** The gradient's value at position x: the installed function's result. */
MV_API float mvGradientGetValue(MVGradient *gradient, float x);

/** The stop governing position x: the stop with the greatest key not above x,
 * scanning from index 0 and stopping at the first key equal to x or above it.
 * Null when x lies below the first key or there are no stops; a NaN position
 * yields the last stop. The pointer is valid until the next insertion or
 * removal. */
MV_API MVVec2 *_mvGradientFindMin(MVGradient *gradient, float x);

/** The built-in interpolation functions. Each returns the first stop's value
 * below the first key, the last stop's value at or beyond the last key (and
 * for a NaN position), and 0 for a gradient with no stops. */
MV_API float _mvGradientInterpNearest(MVGradient *gradient, float x);
MV_API float _mvGradientInterpLinear(MVGradient *gradient, float x);
MV_API float _mvGradientInterpCosine(MVGradient *gradient, float x);
MV_API float _mvGradientInterpCubic(MVGradient *gradient, float x);

MV_EXTERN_C_END

#endif
