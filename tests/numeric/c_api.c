/* Gradient, angle functions and trail called from C99 through libMORVEN.so,
 * with their record layouts pinned as the C compiler sees them. */
#include <morven/angle.h>
#include <morven/draw.h>
#include <morven/gradient.h>
#include <morven/trail.h>

#include <math.h>
#include <stddef.h>
#include <stdio.h>

#define PIN(name, cond) typedef char pin_##name[(cond) ? 1 : -1]
PIN(gradient, offsetof(MVGradient, numvals) == 0 && offsetof(MVGradient, vals) == 8 &&
                  offsetof(MVGradient, interp) == 16 && sizeof(MVGradient) == 24);
PIN(trail, offsetof(MVTrail, numpoints) == 0 && offsetof(MVTrail, xpoints) == 8 &&
               offsetof(MVTrail, ypoints) == 16 && offsetof(MVTrail, maxpoints) == 24 && sizeof(MVTrail) == 32);
PIN(modes, MV_GRADIENT_NEAREST == 0 && MV_GRADIENT_LINEAR == 1 && MV_GRADIENT_COSINE == 2 &&
               MV_GRADIENT_CUBIC == 3 && MV_DRAW_LINE_STRIP == 3);

static float half(MVGradient *gradient, float x) {
    (void)x;
    return (float)gradient->numvals / 2.0f;
}

int main(void) {
    int failures = 0;
    MVGradient *g = mvGradientCreate();
    MVTrail *trail = mvTrailCreate(2);

    if (!g || !trail) return 1;
    failures += mvGradientGetValue(g, 0.25f) != 0.25f;
    failures += _mvGradientInterpNearest(g, 0.5f) != 1.0f;
    failures += _mvGradientInterpCosine(g, 0.5f) != 0.5f;
    failures += _mvGradientInterpCubic(g, 0.5f) != 0.5f;
    failures += _mvGradientInterpLinear(g, 2.0f) != 1.0f;
    mvGradientSetStopKey(g, 0.5f, 0.8f);
    failures += _mvGradientFindMin(g, 0.75f) != &g->vals[1];
    mvGradientSetStopIndex(g, 2, 3.0f);
    mvGradientRemoveStopKey(g, 0.0f);
    mvGradientRemoveStopIndex(g, 0);
    mvGradientSetInterp(g, MV_GRADIENT_CUBIC);
    failures += g->numvals != 1 || g->vals[0].y != 3.0f || g->interp != _mvGradientInterpCubic;
    mvGradientSetInterpFunc(g, half);
    failures += mvGradientGetValue(g, 0.0f) != 0.5f;
    mvGradientDestroy(g);

    failures += mvAngleDifferenceDegs(350.0f, 10.0f) != 20.0f;
    failures += mvAngleDifferenceRads(0.0f, 7.0f) != 0.7168146967887878f;
    failures += mvAngleRadToDeg(3.1415927410125732f) != 180.0f;
    failures += mvAngleDegToRad(90.0f) != 1.5707963705062866f;
    failures += !isnan(mvAngleDifferenceRads(0.0f, INFINITY));

    mvTrailAddPoint2f(trail, 1.0f, 2.0f);
    mvTrailAddBreak(trail);
    mvTrailAddPoint2f(trail, 3.0f, 4.0f);
    failures += trail->numpoints != 2 || !isnan(trail->xpoints[0]) || trail->ypoints[1] != 4.0f;
    mvTrailDraw(trail); /* drops the leading break */
    failures += trail->numpoints != 1 || trail->xpoints[0] != 3.0f;
    mvTrailPopPoint(trail);
    failures += trail->numpoints != 0;
    mvTrailDestroy(trail);

    mvDrawClear();
    mvDrawColor1f(1.0f);
    mvDrawColor3f(1.0f, 0.5f, 0.0f);

    if (failures) fprintf(stderr, "%d checks failed\n", failures);
    return failures != 0;
}
