// Primitive assembly: the vertices given between mvDrawBegin and the end of
// the primitive are cut into points, segments and triangles, and a piece
// with a NaN or infinite coordinate is dropped whole (see draw.h). Only the
// front end assembles; renderers get the pieces.
#ifndef MORVEN_CORE_RENDER_PRIMITIVE_H
#define MORVEN_CORE_RENDER_PRIMITIVE_H

#include <cmath>
#include <cstddef>

#include <morven/draw.h>

#include "core/render/renderer.h"

inline bool drawVertexFinite(const MVDrawVertex &v) { return std::isfinite(v.x) && std::isfinite(v.y); }

inline bool drawModeKnown(int mode) { return mode >= MV_DRAW_POINTS && mode <= MV_DRAW_TRIANGLE_FAN; }

// The pieces a known mode is cut into.
inline MVPieces piecesOf(int mode) {
    return mode == MV_DRAW_POINTS ? MV_PIECES_POINTS
           : mode <= MV_DRAW_LINE_STRIP ? MV_PIECES_LINES
                                        : MV_PIECES_TRIANGLES;
}

// Calls point(v), line(a, b) or triangle(a, b, c) for each piece of a
// primitive of the given mode, in drawing order. Unknown modes give nothing.
template <typename Point, typename Line, typename Triangle>
void assemblePrimitive(int mode, const MVDrawVertex *v, size_t n, Point point, Line line, Triangle triangle) {
    auto seg = [&](size_t i, size_t j) {
        if (drawVertexFinite(v[i]) && drawVertexFinite(v[j])) line(v[i], v[j]);
    };
    auto tri = [&](size_t i, size_t j, size_t k) {
        if (drawVertexFinite(v[i]) && drawVertexFinite(v[j]) && drawVertexFinite(v[k])) triangle(v[i], v[j], v[k]);
    };
    switch (mode) {
    case MV_DRAW_POINTS:
        for (size_t i = 0; i < n; i++)
            if (drawVertexFinite(v[i])) point(v[i]);
        break;
    case MV_DRAW_LINES:
        for (size_t i = 0; i + 1 < n; i += 2) seg(i, i + 1);
        break;
    case MV_DRAW_LINE_STRIP:
    case MV_DRAW_LINE_LOOP:
        for (size_t i = 0; i + 1 < n; i++) seg(i, i + 1);
        if (mode == MV_DRAW_LINE_LOOP && n > 2) seg(n - 1, 0);
        break;
    case MV_DRAW_TRIANGLES:
        for (size_t i = 0; i + 2 < n; i += 3) tri(i, i + 1, i + 2);
        break;
    case MV_DRAW_TRIANGLE_STRIP:
        for (size_t i = 0; i + 2 < n; i++) tri(i, i + 1, i + 2);
        break;
    case MV_DRAW_TRIANGLE_FAN:
        for (size_t i = 1; i + 1 < n; i++) tri(0, i, i + 1);
        break;
    default:
        break;
    }
}

#endif
