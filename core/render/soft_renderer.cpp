// Software rasteriser, following the pixel rules written down in draw.h:
// the same ones the OpenGL module gets from the graphics driver. Every
// primitive is clipped to the frame in double precision before a coordinate
// becomes an integer, so its cost is bounded by the pixels it covers on
// screen, whatever its coordinates.
#include "core/render/soft_renderer.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include <morven/draw.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/render/primitive.h"

namespace {

using Vertex = MVDrawVertex;

struct Texture {
    int w, h;
    uint8_t *pixels;  // null: free slot
};

struct Soft {
    MVRenderer record;  // first member: the record's address is the renderer's
    int w, h;
    uint8_t *frame;
    float color[4];
    uint8_t clearRgba[4];
    MVPrimitive primitive;
    Texture *textures;
    size_t textureCount;
    int *columns;  // textureDraw's working space
    size_t columnCapacity;
    uint64_t work;  // candidate pixels examined so far
};

Soft *soft(void *self) { return static_cast<Soft *>(self); }

// NaN goes to 0 with the values below 0.
float clamp01(float v) { return v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f; }
// Nearest byte, ties to even: adding and taking away 1.5 * 2^23 leaves no
// fraction bits, so the float addition itself does the rounding.
unsigned toByte(float v) {
    constexpr float kRound = 12582912.0f;
    return static_cast<unsigned>((clamp01(v) * 255.0f + kRound) - kRound);
}

// a * b / 255, rounded to nearest.
unsigned mul255(unsigned a, unsigned b) {
    unsigned t = a * b + 128;
    return (t + (t >> 8)) >> 8;
}

// byteUnit[i] == i / 255.0f, without the division.
struct ByteUnits {
    float value[256];
    ByteUnits() {
        for (int i = 0; i < 256; i++) value[i] = static_cast<float>(i) / 255.0f;
    }
};
const ByteUnits byteUnit;

float unit(uint8_t byte) { return byteUnit.value[byte]; }

// "Source over" on a pixel inside the frame, in the 8-bit arithmetic of an
// 8-bit framebuffer: colour and alpha are taken to bytes first, and each
// product is rounded on its own.
inline void blendAt(uint8_t *p, float r, float g, float b, float a) {
    unsigned alpha = toByte(a);
    if (alpha == 0) return;
    if (alpha == 255) {  // what the general case gives, only sooner
        p[0] = static_cast<uint8_t>(toByte(r));
        p[1] = static_cast<uint8_t>(toByte(g));
        p[2] = static_cast<uint8_t>(toByte(b));
        p[3] = 255;
        return;
    }
    unsigned keep = 255 - alpha;
    p[0] = static_cast<uint8_t>(mul255(toByte(r), alpha) + mul255(p[0], keep));
    p[1] = static_cast<uint8_t>(mul255(toByte(g), alpha) + mul255(p[1], keep));
    p[2] = static_cast<uint8_t>(mul255(toByte(b), alpha) + mul255(p[2], keep));
    p[3] = static_cast<uint8_t>(mul255(alpha, alpha) + mul255(p[3], keep));
}

inline void blend(Soft *s, int x, int y, float r, float g, float b, float a) {
    blendAt(s->frame + 4 * (static_cast<size_t>(y) * s->w + x), r, g, b, a);
}

void point(Soft *s, const Vertex &v) {
    double x = std::floor(double(v.x) + kMVPointLineShiftX), y = std::floor(double(v.y) + kMVPointLineShiftY);
    s->work++;
    if (x >= 0 && x < s->w && y >= 0 && y < s->h) blend(s, int(x), int(y), v.r, v.g, v.b, v.a);
}

// OpenGL's "diamond exit" rule on the shifted end points: a pixel is lit
// when the segment passes through its diamond |dx| + |dy| < 1/2 around the
// pixel centre and does not end inside it. Walking the major axis there is
// one candidate pixel per column (or row): the one whose diamond the line
// crosses at the centre line; it is lit when the point where the line
// leaves that diamond lies on the segment, past its start.
void line(Soft *s, const Vertex &a, const Vertex &b) {
    double ax = double(a.x) + kMVPointLineShiftX, ay = double(a.y) + kMVPointLineShiftY;
    double bx = double(b.x) + kMVPointLineShiftX, by = double(b.y) + kMVPointLineShiftY;
    double dx = bx - ax, dy = by - ay;
    if (dx == 0 && dy == 0) return;
    bool xMajor = std::fabs(dx) >= std::fabs(dy);
    double p0 = xMajor ? ax : ay, p1 = xMajor ? bx : by;  // along the major axis
    double q0 = xMajor ? ay : ax;                         // across it, at p0
    double slope = (xMajor ? dy : dx) / (p1 - p0);        // between -1 and 1
    double majorCount = xMajor ? s->w : s->h, minorCount = xMajor ? s->h : s->w;
    bool forward = p1 > p0;
    // Candidate centres: within one pixel of the segment, and where the
    // line's minor coordinate is within one pixel of the frame.
    double lo = std::fmin(p0, p1) - 1, hi = std::fmax(p0, p1) + 1;
    if (slope != 0) {
        double c0 = p0 + (-1 - q0) / slope, c1 = p0 + (minorCount + 1 - q0) / slope;
        lo = std::fmax(lo, std::fmin(c0, c1));
        hi = std::fmin(hi, std::fmax(c0, c1));
    } else if (!(q0 >= 0 && q0 < minorCount)) {
        return;
    }
    double first = std::fmax(std::ceil(lo - 0.5), 0.0), last = std::fmin(std::floor(hi - 0.5), majorCount - 1);
    if (!(first <= last)) return;
    double k = forward ? slope : -slope;  // minor change per unit step in the line's direction
    for (int i = int(first), stop = int(last); i <= stop; i++) {
        s->work++;
        double c = i + 0.5;
        double q = q0 + (c - p0) * slope;
        if (!(q >= 0 && q < minorCount)) continue;
        double j = std::floor(q);
        double v = q - (j + 0.5);  // across, from the diamond's centre
        // The line leaves the diamond u further on along the major axis,
        // through one of the two far sides: |u| + |v + k u| = 1/2.
        double u = (0.5 - v) / (1 + k);
        if (!(v + k * u >= 0)) u = (0.5 + v) / (1 - k);
        double exit = forward ? c + u : c - u;
        if (forward ? !(p0 < exit && exit <= p1) : !(p1 <= exit && exit < p0)) continue;
        float t = static_cast<float>(std::fmin(std::fmax((c - p0) / (p1 - p0), 0.0), 1.0));
        float r = a.r + t * (b.r - a.r), g = a.g + t * (b.g - a.g);
        float bl = a.b + t * (b.b - a.b), al = a.a + t * (b.a - a.a);
        if (xMajor)
            blend(s, i, int(j), r, g, bl, al);
        else
            blend(s, int(j), i, r, g, bl, al);
    }
}

// Twice the signed area of (u, v, p); exact for coordinates of moderate size
// with few fraction bits, so ties on edges are decided exactly.
double edge(const Vertex &u, const Vertex &v, double px, double py) {
    return (double(v.x) - u.x) * (py - u.y) - (double(v.y) - u.y) * (px - u.x);
}

// With the corners ordered so that edge() is positive inside, a pixel whose
// centre lies exactly on an edge is drawn when the edge is a left edge
// (going up the screen) or a bottom edge (horizontal, going left).
bool ownsEdge(const Vertex &u, const Vertex &v) { return v.y < u.y || (v.y == u.y && v.x < u.x); }

bool inside(double w, bool owned) { return w > 0 || (w == 0 && owned); }

void triangle(Soft *s, const Vertex &a, Vertex b, Vertex c) {
    double area = edge(a, b, c.x, c.y);
    if (area == 0) return;
    if (area < 0) {
        Vertex t = b;
        b = c;
        c = t;
        area = -area;
    }
    double minX = std::fmax(std::floor(std::fmin(a.x, std::fmin(b.x, c.x))), 0.0);
    double maxX = std::fmin(std::ceil(std::fmax(a.x, std::fmax(b.x, c.x))), s->w - 1.0);
    double minY = std::fmax(std::floor(std::fmin(a.y, std::fmin(b.y, c.y))), 0.0);
    double maxY = std::fmin(std::ceil(std::fmax(a.y, std::fmax(b.y, c.y))), s->h - 1.0);
    if (!(minX <= maxX && minY <= maxY)) return;
    bool ownA = ownsEdge(b, c), ownB = ownsEdge(c, a), ownC = ownsEdge(a, b);
    // One colour at all corners: the interpolation below gives exactly it.
    bool flat = a.r == b.r && a.r == c.r && a.g == b.g && a.g == c.g && a.b == b.b && a.b == c.b && a.a == b.a &&
                a.a == c.a;
    int x0 = int(minX), x1 = int(maxX), y0 = int(minY), y1 = int(maxY);
    s->work += uint64_t(x1 - x0 + 1) * uint64_t(y1 - y0 + 1);
    for (int y = y0; y <= y1; y++) {
        double py = y + 0.5;
        for (int x = x0; x <= x1; x++) {
            double px = x + 0.5;
            double wa = edge(b, c, px, py), wb = edge(c, a, px, py), wc = edge(a, b, px, py);
            if (!inside(wa, ownA) || !inside(wb, ownB) || !inside(wc, ownC)) continue;
            if (flat) {
                blend(s, x, y, a.r, a.g, a.b, a.a);
                continue;
            }
            // Relative to a, so that a colour shared by all three corners comes out exact.
            float lb = static_cast<float>(wb / area), lc = static_cast<float>(wc / area);
            blend(s, x, y, a.r + lb * (b.r - a.r) + lc * (c.r - a.r), a.g + lb * (b.g - a.g) + lc * (c.g - a.g),
                  a.b + lb * (b.b - a.b) + lc * (c.b - a.b), a.a + lb * (b.a - a.a) + lc * (c.a - a.a));
        }
    }
}

// Draws the open primitive, if any, and closes it.
void end(void *self) {
    Soft *s = soft(self);
    if (!mvPrimitiveClose(s->primitive)) return;
    mvAssemblePrimitive(
        s->primitive.mode, s->primitive.vertices, s->primitive.count, [s](const Vertex &v) { point(s, v); },
        [s](const Vertex &a, const Vertex &b) { line(s, a, b); },
        [s](const Vertex &a, const Vertex &b, const Vertex &c) { triangle(s, a, b, c); });
}

void begin(void *self, int mode) {
    Soft *s = soft(self);
    end(s);
    mvPrimitiveStart(s->primitive, mode);
}

void vertex(void *self, float x, float y) {
    Soft *s = soft(self);
    mvPrimitiveAdd(s->primitive, {x, y, s->color[0], s->color[1], s->color[2], s->color[3]});
}

void color(void *self, float r, float g, float b, float a) {
    Soft *s = soft(self);
    s->color[0] = clamp01(r);
    s->color[1] = clamp01(g);
    s->color[2] = clamp01(b);
    s->color[3] = clamp01(a);
}

void clear(void *self) {
    Soft *s = soft(self);
    end(s);
    uint32_t pixel;
    memcpy(&pixel, s->clearRgba, 4);
    size_t n = static_cast<size_t>(s->w) * s->h;
    uint32_t *p = reinterpret_cast<uint32_t *>(s->frame);  // malloc'd: aligned for any type
    for (size_t i = 0; i < n; i++) p[i] = pixel;
}

Texture *findTexture(Soft *s, uint32_t id) {
    if (id == 0 || id > s->textureCount) return nullptr;
    Texture *t = &s->textures[id - 1];
    return t->pixels ? t : nullptr;
}

uint32_t textureCreate(void *self, int w, int h) {
    Soft *s = soft(self);
    if (w <= 0 || h <= 0 || w > 65535 || h > 65535) return 0;
    uint8_t *pixels = static_cast<uint8_t *>(calloc(static_cast<size_t>(w) * h, 4));
    if (!pixels) return 0;
    size_t slot = 0;
    while (slot < s->textureCount && s->textures[slot].pixels) slot++;
    if (slot == s->textureCount) {
        void *grown = realloc(s->textures, (s->textureCount + 1) * sizeof(Texture));
        if (!grown) {
            free(pixels);
            return 0;
        }
        s->textures = static_cast<Texture *>(grown);
        s->textureCount++;
    }
    s->textures[slot] = {w, h, pixels};
    return static_cast<uint32_t>(slot + 1);
}

void textureUpdate(void *self, uint32_t id, int x, int y, int w, int h, const uint8_t *rgba) {
    Texture *t = findTexture(soft(self), id);
    if (!t || !rgba || x < 0 || y < 0 || w <= 0 || h <= 0 || x > t->w - w || y > t->h - h) return;
    for (int row = 0; row < h; row++)
        memcpy(t->pixels + 4 * (static_cast<size_t>(y + row) * t->w + x), rgba + 4 * static_cast<size_t>(row) * w,
               4 * static_cast<size_t>(w));
}

void textureDestroy(void *self, uint32_t id) {
    Texture *t = findTexture(soft(self), id);
    if (!t) return;
    free(t->pixels);
    *t = {0, 0, nullptr};
}

// A pixel is covered when its centre lies in [x, x + w) across and in
// (y, y + h] down: the triangle rule for the quad's two triangles.
void textureDraw(void *self, uint32_t id, float x, float y, float w, float h) {
    Soft *s = soft(self);
    end(s);
    Texture *t = findTexture(s, id);
    if (!t || !(w > 0) || !(h > 0) || !std::isfinite(x) || !std::isfinite(y) || !std::isfinite(w) ||
        !std::isfinite(h))
        return;
    double x0 = std::fmax(0.0, std::ceil(x - 0.5)), x1 = std::fmin(s->w, std::ceil(double(x) + w - 0.5));
    double y0 = std::fmax(0.0, std::floor(y - 0.5) + 1), y1 = std::fmin(s->h, std::floor(double(y) + h - 0.5) + 1);
    if (!(x0 < x1 && y0 < y1)) return;
    const float *c = s->color;
    int first = static_cast<int>(x0), columns = static_cast<int>(x1) - first;
    // The texel column of each pixel column, worked out once for all rows.
    if (static_cast<size_t>(columns) > s->columnCapacity) {
        void *grown = realloc(s->columns, static_cast<size_t>(columns) * sizeof(int));
        if (!grown) return;
        s->columns = static_cast<int *>(grown);
        s->columnCapacity = static_cast<size_t>(columns);
    }
    for (int i = 0; i < columns; i++) {
        double tx = std::floor((first + i + 0.5 - x) / w * t->w);
        s->columns[i] = tx < 0 ? 0 : tx >= t->w ? t->w - 1 : int(tx);
    }
    s->work += uint64_t(columns) * uint64_t(y1 - y0);
    for (int py = static_cast<int>(y0); py < y1; py++) {
        double ty = std::floor((py + 0.5 - y) / h * t->h);
        const uint8_t *row = t->pixels + 4 * static_cast<size_t>(ty < 0 ? 0 : ty >= t->h ? t->h - 1 : int(ty)) * t->w;
        for (int i = 0; i < columns; i++) {
            const uint8_t *texel = row + 4 * s->columns[i];
            blend(s, first + i, py, unit(texel[0]) * c[0], unit(texel[1]) * c[1], unit(texel[2]) * c[2],
                  unit(texel[3]) * c[3]);
        }
    }
}

void clearColor(void *self, float r, float g, float b) {
    Soft *s = soft(self);
    s->clearRgba[0] = toByte(r);
    s->clearRgba[1] = toByte(g);
    s->clearRgba[2] = toByte(b);
}

bool readPixels(void *self, uint8_t *rgba, int w, int h) {
    Soft *s = soft(self);
    end(s);
    if (!rgba || w != s->w || h != s->h) return false;
    memcpy(rgba, s->frame, static_cast<size_t>(w) * h * 4);
    return true;
}

void destroy(void *self) {
    Soft *s = soft(self);
    for (size_t i = 0; i < s->textureCount; i++) free(s->textures[i].pixels);
    free(s->textures);
    free(s->columns);
    free(s->primitive.vertices);
    free(s->frame);
    free(s);
}


// Sprites. Coverage and texel positions are worked out in double from the
// float corners, where an edge function's sign at a pixel centre is exact
// for any sprite on screen and a texel position that is whole comes out
// whole. Along a row the texel position steps in 32.32 fixed point, which
// strays from the double by less than 1e-8 of a texel over a whole row.

// Beyond this a corner is off any framebuffer by far; such sprites are dropped
// rather than risk overflowing the edge functions.
constexpr double kSpriteLimit = 1e9;

struct SpriteEdge {
    double ux, uy;  // start corner
    double dx, dy;  // to the end corner
    double slope;   // dx / dy: how far the edge moves right per row down
    bool owned;     // centres exactly on the edge are inside
};

bool insideEdge(const SpriteEdge &e, double px, double py) {
    double w = e.dx * (py - e.uy) - e.dy * (px - e.ux);
    return w > 0 || (w == 0 && e.owned);
}

// floor for values well inside the range of long long, without a library call.
inline double floorSmall(double v) {
    double t = static_cast<double>(static_cast<long long>(v));
    return t > v ? t - 1 : t;
}

int clampIndex(double v, int size) {
    if (!(v > 0)) return 0;
    if (v >= size - 1) return size - 1;
    return static_cast<int>(v);
}

// A sprite's quad, ready to be cut into rows.
struct SpriteQuad {
    SpriteEdge edges[4];
    const SpriteEdge *fromLeft[4], *fromRight[4], *level[4];  // edges that bound a row's span, and flat ones
    int lefts = 0, rights = 0, levels = 0;
    double tol;                // how far a computed crossing may stray
    double left, right;        // pixel columns of the frame the quad may touch

    bool inside(double px, double py) const {
        return insideEdge(edges[0], px, py) && insideEdge(edges[1], px, py) && insideEdge(edges[2], px, py) &&
               insideEdge(edges[3], px, py);
    }

    // The pixel columns [*first, *last] of the row at centre height py whose
    // centres lie inside all edges; false when none. The span comes from where
    // the edges cross the row; a centre within rounding distance of a crossing
    // is decided by the edge functions themselves.
    bool span(double py, int *first, int *last) const {
        for (int k = 0; k < levels; k++)
            if (!insideEdge(*level[k], 0.0, py)) return false;  // a flat edge does not depend on x
        double lo = left - 1, hi = right + 1;  // kept within reach of the frame
        for (int k = 0; k < lefts; k++) {
            double cross = fromLeft[k]->ux + (py - fromLeft[k]->uy) * fromLeft[k]->slope;
            if (cross > lo) lo = cross;
        }
        for (int k = 0; k < rights; k++) {
            double cross = fromRight[k]->ux + (py - fromRight[k]->uy) * fromRight[k]->slope;
            if (cross < hi) hi = cross;
        }
        if (!(lo <= hi + 1)) return false;
        // The first centre at or after lo, the last at or before hi.
        double i = -floorSmall(0.5 - lo), j = floorSmall(hi - 0.5);
        if (i - 0.5 >= lo - tol) {
            if (inside(i - 0.5, py)) i -= 1;
        } else if (i + 0.5 <= lo + tol && !inside(i + 0.5, py)) {
            i += 1;
        }
        if (j + 1.5 <= hi + tol) {
            if (inside(j + 1.5, py)) j += 1;
        } else if (j + 0.5 >= hi - tol && !inside(j + 0.5, py)) {
            j -= 1;
        }
        if (i < left) i = left;
        if (j > right) j = right;
        if (i > j) return false;
        *first = static_cast<int>(i);
        *last = static_cast<int>(j);
        return true;
    }
};

// x * a / 255 rounded to nearest, for two bytes at once: x holds them in
// bits 0-7 and 16-23, and each 16-bit lane works as (t + (t >> 8)) >> 8 on
// t = x * a + 128 without reaching the next lane.
inline uint32_t scalePair(uint32_t x, uint32_t a) {
    uint32_t t = x * a + 0x00800080u;
    return ((t + ((t >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
}

// "Source over" of an untinted texel t onto p in 8-bit arithmetic, two
// channels at a time: each channel becomes t * a / 255 + p * (255 - a) / 255,
// each product rounded on its own, a being the texel's alpha: what an 8-bit
// framebuffer does in OpenGL, and the rule of the drawing calls.
inline void blendTexel(uint8_t *p, const uint8_t *t) {
    uint32_t src, dst;
    memcpy(&src, t, 4);
    memcpy(&dst, p, 4);
    uint32_t a = t[3], keep = 255 - a;
    uint32_t even = (scalePair(src & 0x00FF00FFu, a) + scalePair(dst & 0x00FF00FFu, keep)) & 0x00FF00FFu;
    uint32_t odd = (scalePair((src >> 8) & 0x00FF00FFu, a) + scalePair((dst >> 8) & 0x00FF00FFu, keep)) & 0x00FF00FFu;
    uint32_t out = even | (odd << 8);
    memcpy(p, &out, 4);
}

// Writes one sprite pixel: the texel times the colour c, blended. Untinted
// (white), an opaque texel is copied and a clear one skipped.
template <bool white>
inline void spritePixel(uint8_t *p, const uint8_t *t, const float *c) {
    if (white) {
        if (t[3] == 255)
            memcpy(p, t, 4);
        else if (t[3] != 0)
            blendTexel(p, t);
    } else {
        blendAt(p, unit(t[0]) * c[0], unit(t[1]) * c[1], unit(t[2]) * c[2], unit(t[3]) * c[3]);
    }
}

// The alpha of a texel read as a 32-bit word: its fourth byte in memory,
// whatever the byte order (a shift, once compiled).
inline unsigned alphaOf(uint32_t word) {
    uint8_t bytes[4];
    memcpy(bytes, &word, 4);
    return bytes[3];
}

// Four untinted texels (32-bit words as read from memory) blended over the
// four pixels from p on: the 8-bit arithmetic of blendTexel, which gives the
// texel itself where it is opaque and leaves the pixel where it is clear.
// With SSE2 the four go through together, each channel in a 16-bit lane,
// where x * a + 128 and the rounding step stay below 2^16.
inline void blendTexels4(uint8_t *p, uint32_t w0, uint32_t w1, uint32_t w2, uint32_t w3) {
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128(), c255 = _mm_set1_epi16(255), c128 = _mm_set1_epi16(128);
    __m128i src = _mm_setr_epi32(static_cast<int>(w0), static_cast<int>(w1), static_cast<int>(w2), static_cast<int>(w3));
    __m128i dst = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
    auto scale = [&](__m128i x, __m128i a) {
        __m128i t = _mm_add_epi16(_mm_mullo_epi16(x, a), c128);
        return _mm_srli_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), 8);
    };
    auto half = [&](__m128i s8, __m128i d8) {  // two pixels
        __m128i a = _mm_shufflehi_epi16(_mm_shufflelo_epi16(s8, 0xFF), 0xFF);  // each pixel's alpha in its four lanes
        return _mm_add_epi16(scale(s8, a), scale(d8, _mm_sub_epi16(c255, a)));
    };
    __m128i lo = half(_mm_unpacklo_epi8(src, zero), _mm_unpacklo_epi8(dst, zero));
    __m128i hi = half(_mm_unpackhi_epi8(src, zero), _mm_unpackhi_epi8(dst, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(p), _mm_packus_epi16(lo, hi));
#else
    const uint32_t w[4] = {w0, w1, w2, w3};
    for (int k = 0; k < 4; k++) blendTexel(p + 4 * k, reinterpret_cast<const uint8_t *>(&w[k]));
#endif
}

inline uint32_t texelWord(const uint8_t *t) {
    uint32_t w;
    memcpy(&w, t, 4);
    return w;
}

// Four untinted texels over the four pixels from p on: four clear ones
// leave the pixels alone, four opaque ones are copied, anything else is blended.
inline void untinted4(uint8_t *p, uint32_t w0, uint32_t w1, uint32_t w2, uint32_t w3) {
    if (alphaOf(w0 | w1 | w2 | w3) == 0) return;
    if (alphaOf(w0 & w1 & w2 & w3) == 255) {
        memcpy(p, &w0, 4);
        memcpy(p + 4, &w1, 4);
        memcpy(p + 8, &w2, 4);
        memcpy(p + 12, &w3, 4);
        return;
    }
    blendTexels4(p, w0, w1, w2, w3);
}

// n untinted pixels of a row from p on, next() giving each one's texel in
// turn, four at a time. The last one to three go as a group of four too,
// made up with clear texels, where `room` says the frame goes on for three
// more pixels after the row: blending a clear texel gives the pixel back.
template <class Next>
inline void untintedRow(uint8_t *p, int n, bool room, Next next) {
    int i = 0;
    for (; i + 4 <= n; i += 4, p += 16) {
        uint32_t w0 = texelWord(next()), w1 = texelWord(next()), w2 = texelWord(next()), w3 = texelWord(next());
        untinted4(p, w0, w1, w2, w3);
    }
    int rest = n - i;
    if (rest == 0) return;
    if (!room) {
        for (; i < n; i++, p += 4) spritePixel<true>(p, next(), nullptr);
        return;
    }
    uint32_t w0 = texelWord(next()), w1 = rest > 1 ? texelWord(next()) : 0, w2 = rest > 2 ? texelWord(next()) : 0;
    untinted4(p, w0, w1, w2, 0);
}

// n pixels of a row from p on, their texels stepping through the source in
// 32.32 fixed point; `clamp` when a step may leave the source (by rounding).
template <bool white, bool clamp>
void spriteRow(uint8_t *p, int n, bool room, const uint8_t *origin, size_t stride, int64_t u, int64_t v, int64_t du,
               int64_t dv, int64_t uMax, int64_t vMax, const float *c) {
    auto next = [&] {
        int64_t uc = u, vc = v;
        if (clamp) {
            uc = uc < 0 ? 0 : (uc > uMax ? uMax : uc);
            vc = vc < 0 ? 0 : (vc > vMax ? vMax : vc);
        }
        u += du;
        v += dv;
        return origin + stride * static_cast<size_t>(vc >> 32) + 4 * static_cast<size_t>(uc >> 32);
    };
    if (white) {
        untintedRow(p, n, room, next);
        return;
    }
    for (int i = 0; i < n; i++, p += 4) spritePixel<white>(p, next(), c);
}

template <bool white>
void spriteRows(Soft *s, const Texture *t, const MVSprite &sp, const double *x, const double *y,
                const SpriteQuad &quad, double top, double bottom) {
    const float *c = s->color;
    const uint8_t *origin = t->pixels + 4 * (static_cast<size_t>(sp.sy) * t->w + sp.sx);
    size_t stride = 4 * static_cast<size_t>(t->w);
    // The source image's axes on screen.
    double e1x = x[1] - x[0], e1y = y[1] - y[0], e2x = x[3] - x[0], e2y = y[3] - y[0];
    double det = e1x * e2y - e1y * e2x;
    bool upright = e1y == 0 && e2x == 0;
    int base = static_cast<int>(quad.left);
    if (upright) {
        // Unrotated: one texel column per pixel column, worked out once, exactly.
        int columns = static_cast<int>(quad.right) - base + 1;
        if (static_cast<size_t>(columns) > s->columnCapacity) {
            void *grown = realloc(s->columns, static_cast<size_t>(columns) * sizeof(int));
            if (!grown) return;
            s->columns = static_cast<int *>(grown);
            s->columnCapacity = static_cast<size_t>(columns);
        }
        for (int i = 0; i < columns; i++) s->columns[i] = clampIndex((base + i + 0.5 - x[0]) * sp.sw / e1x, sp.sw);
    }
    const double fix = 4294967296.0;  // 2^32
    double uScale = sp.sw / det, vScale = sp.sh / det;
    // A step of more than a million texels a pixel only happens in sprites
    // too thin to cover two pixels of a row: it is never taken.
    double duStep = std::fmin(std::fmax(e2y * uScale, -1e6), 1e6), dvStep = std::fmin(std::fmax(-e1y * vScale, -1e6), 1e6);
    int64_t du = static_cast<int64_t>(duStep * fix), dv = static_cast<int64_t>(dvStep * fix);
    int64_t uMax = (static_cast<int64_t>(sp.sw) << 32) - 1, vMax = (static_cast<int64_t>(sp.sh) << 32) - 1;
    for (int row = static_cast<int>(top); row <= bottom; row++) {
        double py = row + 0.5;
        int first, last;
        if (!quad.span(py, &first, &last)) continue;
        uint8_t *p = s->frame + 4 * (static_cast<size_t>(row) * s->w + first);
        int n = last - first + 1;
        bool room = static_cast<size_t>(row) * s->w + last + 3 < static_cast<size_t>(s->w) * s->h;
        if (upright) {
            const uint8_t *texRow = origin + stride * clampIndex((py - y[0]) * sp.sh / e2y, sp.sh);
            const int *column = s->columns + (first - base);
            if (white) {
                untintedRow(p, n, room, [&] { return texRow + 4 * *column++; });
                continue;
            }
            for (int i = 0; i < n; i++, p += 4) spritePixel<white>(p, texRow + 4 * column[i], c);
            continue;
        }
        double cx = first + 0.5 - x[0], cy = py - y[0];
        double u0 = (cx * e2y - cy * e2x) * uScale, v0 = (cy * e1x - cx * e1y) * vScale;
        // Kept near the source in double, so that the fixed point cannot overflow.
        u0 = u0 < -1 ? -1 : (u0 > sp.sw + 1 ? sp.sw + 1 : u0);
        v0 = v0 < -1 ? -1 : (v0 > sp.sh + 1 ? sp.sh + 1 : v0);
        int64_t u = static_cast<int64_t>(u0 * fix), v = static_cast<int64_t>(v0 * fix);
        int64_t uEnd = u + (n - 1) * du, vEnd = v + (n - 1) * dv;
        bool within = u >= 0 && u <= uMax && uEnd >= 0 && uEnd <= uMax && v >= 0 && v <= vMax && vEnd >= 0 &&
                      vEnd <= vMax;
        if (within)
            spriteRow<white, false>(p, n, room, origin, stride, u, v, du, dv, uMax, vMax, c);
        else
            spriteRow<white, true>(p, n, room, origin, stride, u, v, du, dv, uMax, vMax, c);
    }
}

void sprite(Soft *s, const Texture *t, const MVSprite &sp, bool white) {
    if (sp.sx < 0 || sp.sy < 0 || sp.sw <= 0 || sp.sh <= 0 || sp.sx > t->w - sp.sw || sp.sy > t->h - sp.sh) return;
    float fx[4], fy[4];
    spriteCorners(sp, fx, fy);
    double x[4], y[4], reach = 0;
    for (int k = 0; k < 4; k++) {
        x[k] = fx[k];
        y[k] = fy[k];
        if (!(std::fabs(x[k]) < kSpriteLimit) || !(std::fabs(y[k]) < kSpriteLimit)) return;
        reach = std::fmax(reach, std::fmax(std::fabs(x[k]), std::fabs(y[k])));
    }
    double orientation = (x[1] - x[0]) * (y[3] - y[0]) - (y[1] - y[0]) * (x[3] - x[0]);
    if (orientation == 0) return;
    // The edges in the orientation the triangles use (inside to the right of
    // each, going round), with which of them keep the centres lying on them.
    static const int forward[4] = {0, 1, 2, 3}, backward[4] = {0, 3, 2, 1};
    const int *order = orientation > 0 ? forward : backward;
    SpriteQuad quad;
    for (int k = 0; k < 4; k++) {
        int a = order[k], b = order[(k + 1) % 4];
        double dx = x[b] - x[a], dy = y[b] - y[a];
        SpriteEdge &e = quad.edges[k];
        // A left edge (going up the screen) or a bottom edge (flat, going left)
        // keeps the centres on it, as OpenGL's rule does in a window.
        e = {x[a], y[a], dx, dy, dy != 0 ? dx / dy : 0, y[b] < y[a] || (y[b] == y[a] && x[b] < x[a])};
        if (dy < 0)
            quad.fromLeft[quad.lefts++] = &e;
        else if (dy > 0)
            quad.fromRight[quad.rights++] = &e;
        else
            quad.level[quad.levels++] = &e;
    }
    quad.tol = 1e-12 * (1 + s->w + 2 * reach);
    double minX = std::fmin(std::fmin(x[0], x[1]), std::fmin(x[2], x[3]));
    double maxX = std::fmax(std::fmax(x[0], x[1]), std::fmax(x[2], x[3]));
    double minY = std::fmin(std::fmin(y[0], y[1]), std::fmin(y[2], y[3]));
    double maxY = std::fmax(std::fmax(y[0], y[1]), std::fmax(y[2], y[3]));
    quad.left = std::fmax(0.0, std::floor(minX));
    quad.right = std::fmin(s->w - 1.0, std::ceil(maxX));
    double top = std::fmax(0.0, std::floor(minY)), bottom = std::fmin(s->h - 1.0, std::ceil(maxY));
    if (top > bottom || quad.left > quad.right) return;
    if (white)
        spriteRows<true>(s, t, sp, x, y, quad, top, bottom);
    else
        spriteRows<false>(s, t, sp, x, y, quad, top, bottom);
}

void spriteDraw(void *self, uint32_t id, const MVSprite *sprites, size_t count) {
    Soft *s = soft(self);
    end(s);  // a primitive still open lies under the sprites
    const Texture *t = findTexture(s, id);
    if (!t || !sprites) return;
    const float *c = s->color;
    bool white = c[0] == 1.0f && c[1] == 1.0f && c[2] == 1.0f && c[3] == 1.0f;
    for (size_t i = 0; i < count; i++) sprite(s, t, sprites[i], white);
}

void flush(void *) {}

}  // namespace

MVRenderer *softRendererCreate(int w, int h) {
    if (w <= 0 || h <= 0 || w > 16384 || h > 16384) return nullptr;
    Soft *s = static_cast<Soft *>(calloc(1, sizeof(Soft)));
    if (!s) return nullptr;
    s->frame = static_cast<uint8_t *>(malloc(static_cast<size_t>(w) * h * 4));
    if (!s->frame) {
        free(s);
        return nullptr;
    }
    s->record = {s,           begin,         vertex,         color,       end,        clear,  textureCreate,
                 textureUpdate, textureDestroy, textureDraw, readPixels, destroy, clearColor, spriteDraw, flush};
    s->w = w;
    s->h = h;
    s->color[0] = s->color[1] = s->color[2] = s->color[3] = 1.0f;
    s->clearRgba[3] = 255;  // black until told otherwise
    clear(s);
    return &s->record;
}

const uint8_t *softRendererPixels(const MVRenderer *renderer) {
    return static_cast<const Soft *>(renderer->self)->frame;
}

uint64_t softRendererWork(const MVRenderer *renderer) { return static_cast<const Soft *>(renderer->self)->work; }
