/* MORVEN: angle differences and unit conversions.
 *
 * Stateless functions on 32-bit floats; they allocate nothing and may be
 * called from any thread. Results are reproducible bit for bit: every
 * rounding from double to float is to nearest, ties to even.
 *
 * A difference is always b - a, the signed turn leading from a to b, wrapped
 * into one turn centred on zero by whole-turn steps:
 * - a NaN or infinite difference gives NaN;
 * - a finite difference too large for one-turn steps to change its float
 *   value (above 2^27 radians or 2^33 degrees in magnitude) is first reduced
 *   exactly with remainder() by one turn (in double for radians, in float for
 *   degrees) and then wrapped as usual, so the functions never hang and the
 *   result always lies in range. Below those magnitudes the time taken grows
 *   with the number of turns the difference lies outside the range. */
#ifndef MORVEN_ANGLE_H
#define MORVEN_ANGLE_H

#include <morven/defs.h>

MV_EXTERN_C_BEGIN

/** b - a in radians, wrapped by steps of the double 2*pi while it is below the
 * double -pi or above the double pi (each step computed in double and
 * rounded to float). The result lies in [-3.1415925, 3.1415925], the floats
 * just inside +-pi: the float nearest pi lies above pi, so it is wrapped. */
MV_API float mvAngleDifferenceRads(float a, float b);

/** b - a in degrees, wrapped in float by steps of 360 while below -180 or
 * above 180. The result lies in [-180, 180], both ends included. */
MV_API float mvAngleDifferenceDegs(float a, float b);

/** The angle in degrees: rads * 180 / pi, in double, rounded once. NaN stays NaN. */
MV_API float mvAngleRadToDeg(float rads);

/** The angle in radians: degs * pi / 180, in double, rounded once. NaN stays NaN. */
MV_API float mvAngleDegToRad(float degs);

MV_EXTERN_C_END

#endif
