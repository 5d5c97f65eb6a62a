// Primitive assembly shared by the renderers: the vertices given between
// mvDrawBegin and the end of the primitive are cut into points, segments and
// triangles the same way in every renderer, and a piece with a NaN or
// infinite coordinate is dropped whole (see draw.h).
#ifndef MORVEN_CORE_RENDER_PRIMITIVE_H
#define MORVEN_CORE_RENDER_PRIMITIVE_H

#include <cmath>
#include <cstddef>
#include <cstdlib>

#include <morven/draw.h>

struct MVDrawVertex {
    float x, y;
    float r, g, b, a;
};

// Points and lines are drawn with every vertex moved this much right and
// down (see draw.h). No vertex on a quarter-pixel grid then lies within 1/16
// pixel of a tie of OpenGL's point and line rules (a pixel border, or the
// edge of a pixel's diamond), so every renderer decides them alike.
constexpr float kMVPointLineShiftX = 0.375f, kMVPointLineShiftY = 0.3125f;

inline bool mvDrawVertexFinite(const MVDrawVertex &v) { return std::isfinite(v.x) && std::isfinite(v.y); }

// Calls point(v), line(a, b) or triangle(a, b, c) for each piece of a
// primitive of the given mode, in drawing order. Unknown modes give nothing.
template <typename Point, typename Line, typename Triangle>
void mvAssemblePrimitive(int mode, const MVDrawVertex *v, size_t n, Point point, Line line, Triangle triangle) {
    auto seg = [&](size_t i, size_t j) {
        if (mvDrawVertexFinite(v[i]) && mvDrawVertexFinite(v[j])) line(v[i], v[j]);
    };
    auto tri = [&](size_t i, size_t j, size_t k) {
        if (mvDrawVertexFinite(v[i]) && mvDrawVertexFinite(v[j]) && mvDrawVertexFinite(v[k])) triangle(v[i], v[j], v[k]);
    };
    switch (mode) {
    case MV_DRAW_POINTS:
        for (size_t i = 0; i < n; i++)
            if (mvDrawVertexFinite(v[i])) point(v[i]);
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

inline bool mvDrawModeKnown(int mode) { return mode >= MV_DRAW_POINTS && mode <= MV_DRAW_TRIANGLE_FAN; }

// The vertices of the primitive being collected, drawn whole when it ends.
struct MVPrimitive {
    bool open;  // between mvDrawBegin and the end of the primitive
    int mode;
    MVDrawVertex *vertices;
    size_t count, capacity;
};

// Starts collecting a primitive; with an unknown mode nothing is collected.
inline void mvPrimitiveStart(MVPrimitive &p, int mode) {
    p.open = mvDrawModeKnown(mode);
    p.mode = mode;
    p.count = 0;
}

// Adds a vertex to the open primitive; outside one, or when memory runs out, it is dropped.
inline void mvPrimitiveAdd(MVPrimitive &p, const MVDrawVertex &v) {
    if (!p.open) return;
    if (p.count == p.capacity) {
        size_t capacity = p.capacity ? p.capacity * 2 : 64;
        void *grown = std::realloc(p.vertices, capacity * sizeof(MVDrawVertex));
        if (!grown) return;
        p.vertices = static_cast<MVDrawVertex *>(grown);
        p.capacity = capacity;
    }
    p.vertices[p.count++] = v;
}

// Closes the primitive; true when one was open, its vertices then ready to draw.
inline bool mvPrimitiveClose(MVPrimitive &p) {
    bool wasOpen = p.open;
    p.open = false;
    return wasOpen;
}

#endif
