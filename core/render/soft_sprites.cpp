// Sprites. Coverage and texel positions are worked out in double from the
// float corners, where an edge function's sign at a pixel centre is exact
// for any sprite on screen and a texel position that is whole comes out
// whole. Along a row the texel position steps in 32.32 fixed point, which
// strays from the double by less than 1e-8 of a texel over a whole row.
// Nothing here depends on the band but which rows are written, so a pixel
// comes out the same whichever band draws it.
#include "core/render/soft_sprites.h"

#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__AVX2__)
#include <immintrin.h>
#endif

#include "core/render/soft_pixels.h"

namespace {
// Beyond this a corner is off any framebuffer by far; such sprites are dropped
// rather than risk overflowing the edge functions.
constexpr double kSpriteLimit = 1e9;

struct SpriteEdge {
    double ux, uy;  // start corner
    double dx, dy;  // to the end corner
    double slope;   // dx / dy: how far the edge moves right per row down
    bool owned;     // centres exactly on the edge are inside
};

// The larger and the smaller of two values, in a compare and a move (the
// library's fmax and fmin are calls).
inline double larger(double a, double b) { return b > a ? b : a; }
inline double smaller(double a, double b) { return b < a ? b : a; }

// Where the edge (not flat) crosses the row at centre height py.
inline double crossing(const SpriteEdge &e, double py) { return e.ux + (py - e.uy) * e.slope; }

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

// The texel before a whole position, the one holding it otherwise (ceil(v) -
// 1), clamped: for a texel position that grows leftwards or downwards on
// screen, where a centre on a boundary takes the texel right of or above it.
int clampIndexBefore(double v, int size) {
    if (!(v > 0)) return 0;
    if (v >= size) return size - 1;
    int i = static_cast<int>(v);
    return static_cast<double>(i) == v ? i - 1 : i;
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

    // Whether the row at centre height py lies inside the level edges.
    bool levelsHold(double py) const {
        for (int k = 0; k < levels; k++)
            if (!insideEdge(*level[k], 0.0, py)) return false;
        return true;
    }

    // The pixel columns [*first, *last] of the row at centre height py whose
    // centres lie inside all edges; false when none. The span comes from where
    // the edges cross the row; a centre within rounding distance of a crossing
    // is decided by the edge functions themselves.
    bool span(double py, int *first, int *last) const {
        double lo = left - 1, hi = right + 1;  // kept within reach of the frame
        if (levels == 0 && lefts == 2 && rights == 2) {  // any turned sprite
            lo = larger(lo, larger(crossing(*fromLeft[0], py), crossing(*fromLeft[1], py)));
            hi = smaller(hi, smaller(crossing(*fromRight[0], py), crossing(*fromRight[1], py)));
        } else {
            for (int k = 0; k < levels; k++)
                if (!insideEdge(*level[k], 0.0, py)) return false;  // a flat edge does not depend on x
            for (int k = 0; k < lefts; k++) lo = larger(lo, crossing(*fromLeft[k], py));
            for (int k = 0; k < rights; k++) hi = smaller(hi, crossing(*fromRight[k], py));
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

// Writes one sprite pixel: the texel times the colour c, blended in the
// mode. Untinted (white) in MV_BLEND_MODE_ALPHA, an opaque texel is copied
// and a clear one skipped.
template <bool white>
inline void spritePixel(uint8_t *p, const uint8_t *t, const float *c, uint32_t mode = MV_BLEND_MODE_ALPHA) {
    if (white) {
        if (t[3] == 255)
            memcpy(p, t, 4);
        else if (t[3] != 0)
            blendTexel(p, t);
    } else {
        blendModeAt(p, unit(t[0]) * c[0], unit(t[1]) * c[1], unit(t[2]) * c[2], unit(t[3]) * c[3], mode);
    }
}

inline uint32_t texelWord(const uint8_t *t) {
    uint32_t w;
    memcpy(&w, t, 4);
    return w;
}

// Four texels as 32-bit words read from memory: in an SSE2 register where
// there is one, so that they never pass through memory on their way.
#if defined(__SSE2__)
using Texels4 = __m128i;
inline Texels4 texels4(uint32_t w0, uint32_t w1, uint32_t w2, uint32_t w3) {
    return _mm_setr_epi32(static_cast<int>(w0), static_cast<int>(w1), static_cast<int>(w2), static_cast<int>(w3));
}
#else
struct Texels4 {
    uint32_t w[4];
};
inline Texels4 texels4(uint32_t w0, uint32_t w1, uint32_t w2, uint32_t w3) { return {{w0, w1, w2, w3}}; }
#endif

// Four untinted texels over the four pixels from p on: four opaque ones are
// copied, four clear ones leave the pixels alone, and anything else goes
// through the 8-bit arithmetic of blendTexel, which gives the same for such
// texels. With SSE2 the four go through together, each channel of a blend in
// a 16-bit lane, where x * a + 128 and the rounding step stay below 2^16.
inline void untinted4(uint8_t *p, Texels4 src) {
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128(), c255 = _mm_set1_epi16(255), c128 = _mm_set1_epi16(128);
    const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));  // the fourth byte, on x86
    __m128i a = _mm_and_si128(src, alpha);
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(a, alpha)) == 0xFFFF) {
        _mm_storeu_si128(reinterpret_cast<__m128i *>(p), src);
        return;
    }
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(a, zero)) == 0xFFFF) return;
    // (t + (t >> 8)) >> 8 equals (t * 257) >> 16 for every t below 2^16:
    // the high half of one unsigned multiply.
    const __m128i c257 = _mm_set1_epi16(257);
    auto scale = [&](__m128i x, __m128i f) {
        return _mm_mulhi_epu16(_mm_add_epi16(_mm_mullo_epi16(x, f), c128), c257);
    };
    auto half = [&](__m128i s8, __m128i d8) {  // two pixels
        __m128i f = _mm_shufflehi_epi16(_mm_shufflelo_epi16(s8, 0xFF), 0xFF);  // each pixel's alpha in its four lanes
        return _mm_add_epi16(scale(s8, f), scale(d8, _mm_sub_epi16(c255, f)));
    };
    __m128i dst = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
    __m128i lo = half(_mm_unpacklo_epi8(src, zero), _mm_unpacklo_epi8(dst, zero));
    __m128i hi = half(_mm_unpackhi_epi8(src, zero), _mm_unpackhi_epi8(dst, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(p), _mm_packus_epi16(lo, hi));
#else
    for (int k = 0; k < 4; k++) spritePixel<true>(p + 4 * k, reinterpret_cast<const uint8_t *>(&src.w[k]), nullptr);
#endif
}

// Four texels through a tint table (softTintTable): the bytes blendAt takes
// from texel times colour, so that blending them as untinted texels gives
// what blendAt gives. Four clear texels stay clear, and so does a clear word.
inline Texels4 tinted4(Texels4 four, const uint8_t *table) {
    const uint32_t white = uint32_t(table[255]) | uint32_t(table[511]) << 8 | uint32_t(table[767]) << 16;
#if defined(__SSE2__)
    // An opaque colour keeps the alpha bytes; when each texel is white or
    // clear (glyphs, particles), only the colour bytes change.
    if (table[kTintAlphaKept]) {
        const __m128i alphaMask = _mm_set1_epi32(static_cast<int>(0xFF000000u));
        __m128i whiteOrClear = _mm_or_si128(_mm_cmpeq_epi32(_mm_or_si128(four, alphaMask), _mm_set1_epi32(-1)),
                                            _mm_cmpeq_epi32(_mm_and_si128(four, alphaMask), _mm_setzero_si128()));
        if (_mm_movemask_epi8(whiteOrClear) == 0xFFFF)
            return _mm_or_si128(_mm_and_si128(four, alphaMask), _mm_set1_epi32(static_cast<int>(white)));
    }
#endif
    uint32_t w[4];
    memcpy(w, &four, sizeof w);
    if ((w[0] | w[1] | w[2] | w[3]) >> 24 == 0) return texels4(0, 0, 0, 0);
    for (uint32_t &x : w) {
        uint32_t alpha = uint32_t(table[768 + (x >> 24)]) << 24;
        if ((x & 0xFFFFFFu) == 0xFFFFFFu)
            x = white | alpha;  // white texels share their colour bytes
        else
            x = uint32_t(table[x & 0xFF]) | uint32_t(table[256 + ((x >> 8) & 0xFF)]) << 8 |
                uint32_t(table[512 + ((x >> 16) & 0xFF)]) << 16 | alpha;
    }
    return texels4(w[0], w[1], w[2], w[3]);
}

// n pixels of a row from p on, untinted or through a tint table (null:
// untinted), next(k) giving the texels of the next k pixels (1 to 4; clear
// words after them). The last one to three go as a group of four too, where
// `room` says the row goes on for three more pixels: blending a clear texel
// gives the pixel back.
#if defined(__AVX2__)
// x * f / 255 rounded in each 16-bit lane, as in untinted4.
inline __m256i scale16(__m256i x, __m256i f) {
    return _mm256_mulhi_epu16(_mm256_add_epi16(_mm256_mullo_epi16(x, f), _mm256_set1_epi16(128)),
                              _mm256_set1_epi16(257));
}

// untinted4 on eight pixels, lane for lane the same arithmetic.
inline void untinted8(uint8_t *p, Texels4 first, Texels4 second) {
    __m256i src = _mm256_inserti128_si256(_mm256_castsi128_si256(first), second, 1);
    const __m256i alpha = _mm256_set1_epi32(static_cast<int>(0xFF000000u)), zero = _mm256_setzero_si256();
    __m256i a = _mm256_and_si256(src, alpha);
    if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(a, alpha)) == -1) {
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(p), src);
        return;
    }
    if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(a, zero)) == -1) return;
    auto over = [](__m256i s8, __m256i d8) {
        __m256i f = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(s8, 0xFF), 0xFF);
        return _mm256_add_epi16(scale16(s8, f), scale16(d8, _mm256_sub_epi16(_mm256_set1_epi16(255), f)));
    };
    __m256i dst = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p));
    // Unpacking works within each 128-bit half, and packing undoes it alike.
    __m256i lo = over(_mm256_unpacklo_epi8(src, zero), _mm256_unpacklo_epi8(dst, zero));
    __m256i hi = over(_mm256_unpackhi_epi8(src, zero), _mm256_unpackhi_epi8(dst, zero));
    _mm256_storeu_si256(reinterpret_cast<__m256i *>(p), _mm256_packus_epi16(lo, hi));
}
#endif

template <class Next>
inline void untintedRow(uint8_t *p, int n, bool room, const uint8_t *tint, Next next) {
#if defined(__AVX2__)
    for (; n >= 8; n -= 8, p += 32) {
        Texels4 first = tint ? tinted4(next(4), tint) : next(4);
        Texels4 second = tint ? tinted4(next(4), tint) : next(4);
        untinted8(p, first, second);
    }
#endif
    for (; n >= 4; n -= 4, p += 16) untinted4(p, tint ? tinted4(next(4), tint) : next(4));
    if (n == 0) return;
    Texels4 last = tint ? tinted4(next(n), tint) : next(n);
    if (room) {
        untinted4(p, last);
        return;
    }
    uint32_t words[4];
    memcpy(words, &last, sizeof words);
    for (int k = 0; k < n; k++) spritePixel<true>(p + 4 * k, reinterpret_cast<const uint8_t *>(&words[k]), nullptr);
}

// k texels (1 to 4) from fetch(0), fetch(1), ..., clear words after them.
template <class Fetch>
inline Texels4 upToFour(int k, Fetch fetch) {
    uint32_t w0 = texelWord(fetch(0));
    uint32_t w1 = k > 1 ? texelWord(fetch(1)) : 0;
    uint32_t w2 = k > 2 ? texelWord(fetch(2)) : 0;
    uint32_t w3 = k > 3 ? texelWord(fetch(3)) : 0;
    return texels4(w0, w1, w2, w3);
}

// Texel positions step through the source in 32.32 fixed point.
struct TexelWalk {
    const uint8_t *origin;  // the source rectangle's first texel
    size_t stride;          // bytes a source row
    int64_t u, v, du, dv;
    int64_t uMax, vMax;  // the last position inside the rectangle
};

// The texel under the walk's position, the position kept inside the
// rectangle where `clamp` says that rounding may take it out; then one step on.
template <bool clamp>
inline const uint8_t *nextTexel(TexelWalk &w) {
    int64_t uc = w.u, vc = w.v;
    if (clamp) {
        uc = uc < 0 ? 0 : (uc > w.uMax ? w.uMax : uc);
        vc = vc < 0 ? 0 : (vc > w.vMax ? w.vMax : vc);
    }
    w.u += w.du;
    w.v += w.dv;
    return w.origin + w.stride * static_cast<size_t>(vc >> 32) + 4 * static_cast<size_t>(uc >> 32);
}

#if defined(__SSE2__)
// nextTexel<false> four pixels at a time: the four positions go in 64-bit
// lanes, their whole parts are gathered into 32-bit lanes, and a texel's
// offset u + v * (stride / 4) is one multiply-add of 16-bit halves, for
// rectangles and source rows of fewer than 2^15 texels.
struct WalkFour {
    const uint8_t *origin;
    __m128i u01, u23, v01, v23;  // positions of the next four pixels
    __m128i stepU, stepV, weights;

    explicit WalkFour(const TexelWalk &w)
        : origin(w.origin),
          u01(_mm_set_epi64x(w.u + w.du, w.u)),
          u23(_mm_set_epi64x(w.u + 3 * w.du, w.u + 2 * w.du)),
          v01(_mm_set_epi64x(w.v + w.dv, w.v)),
          v23(_mm_set_epi64x(w.v + 3 * w.dv, w.v + 2 * w.dv)),
          stepU(_mm_set1_epi64x(4 * w.du)),
          stepV(_mm_set1_epi64x(4 * w.dv)),
          weights(_mm_set1_epi32(static_cast<int>((w.stride / 4) << 16 | 1))) {}

    // Whether a source rectangle of sw x sh texels in rows of `stride` bytes
    // stays within the 16-bit halves.
    static bool fits(int sw, int sh, size_t stride) { return sw < 32768 && sh < 32768 && stride / 4 < 32768; }

    // The texels of the next k pixels (1 to 4), then four steps on.
    Texels4 next(int k) {
        auto wholeParts = [](__m128i a, __m128i b) {  // the high halves of four 64-bit lanes
            return _mm_castps_si128(_mm_shuffle_ps(_mm_castsi128_ps(a), _mm_castsi128_ps(b), _MM_SHUFFLE(3, 1, 3, 1)));
        };
        __m128i uv = _mm_or_si128(wholeParts(u01, u23), _mm_slli_epi32(wholeParts(v01, v23), 16));
        __m128i offset = _mm_madd_epi16(uv, weights);
        u01 = _mm_add_epi64(u01, stepU);
        u23 = _mm_add_epi64(u23, stepU);
        v01 = _mm_add_epi64(v01, stepV);
        v23 = _mm_add_epi64(v23, stepV);
        // Lanes past the k-th read the first texel, then are cleared: no branch.
        __m128i keep = _mm_cmplt_epi32(_mm_setr_epi32(0, 1, 2, 3), _mm_set1_epi32(k));
        alignas(16) int32_t at[4];  // read back from memory: fewer steps than taking the lanes apart
        _mm_store_si128(reinterpret_cast<__m128i *>(at), _mm_and_si128(offset, keep));
        auto texel = [&](int lane) { return texelWord(origin + 4 * static_cast<ptrdiff_t>(at[lane])); };
        return _mm_and_si128(texels4(texel(0), texel(1), texel(2), texel(3)), keep);
    }
};
#endif

// n pixels of a row from p on, their texels from the walk; `clamp` when a
// step may leave the source (by rounding); `four` when WalkFour fits the source.
template <bool white, bool clamp>
void spriteRow(uint8_t *p, int n, bool room, TexelWalk w, const float *c, const uint8_t *tint, bool four,
               uint32_t mode) {
    (void)four;
    if (white) {
#if defined(__SSE2__)
        if (!clamp && four) {
            WalkFour walk(w);
            untintedRow(p, n, room, tint, [&](int k) { return walk.next(k); });
            return;
        }
#endif
        untintedRow(p, n, room, tint, [&](int k) { return upToFour(k, [&](int) { return nextTexel<clamp>(w); }); });
        return;
    }
    for (int i = 0; i < n; i++, p += 4) spritePixel<white>(p, nextTexel<clamp>(w), c, mode);
}

// Whether v * s / e gives v back exactly for every v = (k + 0.5) - c with
// 0 <= k < limit, so that the division can be left out: e is s, and v
// (a multiple of 2^-16 below 2^22 when c is one below 2^20) times s (below
// 2^15) fits the 53 bits of a double, with nothing rounded.
inline bool unitScale(double c, double e, int s, int limit) {
    double scaled = c * 65536.0;
    return e == s && s < 32768 && limit < (1 << 20) && std::fabs(c) < 1048576.0 && floorSmall(scaled) == scaled;
}

// Four texels that lie one after another in the source.
inline Texels4 fourInARow(const uint8_t *t) {
#if defined(__SSE2__)
    return _mm_loadu_si128(reinterpret_cast<const __m128i *>(t));
#else
    return texels4(texelWord(t), texelWord(t + 4), texelWord(t + 8), texelWord(t + 12));
#endif
}

// The rows of an unrotated sprite, its texel columns in b.columns from
// column `base` of the frame on. When its side edges are vertical and the
// others level (boxed), every row that the level edges let through has the
// same span, worked out once. Where the span's texel columns follow one another (a
// sprite drawn at its own size), a row's texels are read four at a time
// straight from the source row.
template <bool white>
void uprightRows(const SoftBand &b, const SoftSprite &sp, const SpriteQuad &quad, const uint8_t *origin,
                 size_t stride, const double *y, int top, int bottom, int base, int roomUpTo) {
    const float *c = sp.color;
    const uint8_t *tint = sp.tint;
    double e2y = y[3] - y[0];
    bool unitY = unitScale(y[0], e2y, sp.sh, b.h);
    bool boxed = quad.levels == 2 && quad.lefts == 1 && quad.rights == 1 && quad.fromLeft[0]->dx == 0 &&
                 quad.fromRight[0]->dx == 0;
    int first = 0, last = -1;
    bool known = false, inARow = false;
    if (boxed) {
        // The level edges let through one run of rows: each is a half-plane
        // bounded by a row.
        while (top <= bottom && !quad.levelsHold(top + 0.5)) top++;
        while (bottom >= top && !quad.levelsHold(bottom + 0.5)) bottom--;
    }
    for (int row = top; row <= bottom; row++) {
        double py = row + 0.5;
        if (!boxed) {
            if (!quad.span(py, &first, &last)) continue;
            known = false;
        }
        if (!known) {
            known = boxed;
            if (boxed && !quad.span(py, &first, &last)) return;
            const int *column = b.columns + (first - base);
            inARow = true;
            for (int i = 1; i <= last - first && inARow; i++) inARow = column[i] == column[0] + i;
        }
        uint8_t *p = b.frame + 4 * (static_cast<size_t>(row) * b.w + first);
        int n = last - first + 1;
        bool room = last <= roomUpTo;
        // A centre on a texel boundary takes the texel above it (draw.h).
        double down = py - y[0], v = unitY ? down : down * sp.sh / e2y;
        const uint8_t *texRow = origin + stride * (e2y > 0 ? clampIndexBefore(v, sp.sh) : clampIndex(v, sp.sh));
        const int *column = b.columns + (first - base);
        if (!white) {
            for (int i = 0; i < n; i++, p += 4) spritePixel<white>(p, texRow + 4 * column[i], c, b.mode);
        } else if (inARow) {
            const uint8_t *t = texRow + 4 * column[0];
            untintedRow(p, n, room, tint, [&](int k) {
                Texels4 four = k == 4 ? fourInARow(t) : upToFour(k, [&](int i) { return t + 4 * i; });
                t += 16;
                return four;
            });
        } else {
            untintedRow(p, n, room, tint, [&](int k) {
                Texels4 four = upToFour(k, [&](int i) { return texRow + 4 * column[i]; });
                column += 4;
                return four;
            });
        }
    }
}

template <bool white>
void spriteRows(const SoftBand &b, const SoftImage &t, const SoftSprite &sp, const double *x, const double *y,
                const SpriteQuad &quad, int top, int bottom) {
    const float *c = sp.color;
    const uint8_t *origin = t.pixels + 4 * (static_cast<size_t>(sp.sy) * t.w + sp.sx);
    size_t stride = 4 * static_cast<size_t>(t.w);
    // The source image's axes on screen.
    double e1x = x[1] - x[0], e1y = y[1] - y[0], e2x = x[3] - x[0], e2y = y[3] - y[0];
    double det = e1x * e2y - e1y * e2x;
    bool upright = e1y == 0 && e2x == 0;
    int base = static_cast<int>(quad.left);
    if (upright) {
        // Unrotated: one texel column per pixel column, worked out once, exactly.
        int columns = static_cast<int>(quad.right) - base + 1;
        // A centre on a texel boundary takes the texel right of it (draw.h).
        bool unitX = unitScale(x[0], e1x, sp.sw, b.w);
        for (int i = 0; i < columns; i++) {
            double u = unitX ? base + i + 0.5 - x[0] : (base + i + 0.5 - x[0]) * sp.sw / e1x;
            b.columns[i] = e1x > 0 ? clampIndex(u, sp.sw) : clampIndexBefore(u, sp.sw);
        }
    }
    const double fix = 4294967296.0;  // 2^32
    double uScale = sp.sw / det, vScale = sp.sh / det;
    // A step of more than a million texels a pixel only happens in sprites
    // too thin to cover two pixels of a row: it is never taken.
    double duStep = smaller(larger(e2y * uScale, -1e6), 1e6), dvStep = smaller(larger(-e1y * vScale, -1e6), 1e6);
    int64_t du = static_cast<int64_t>(duStep * fix), dv = static_cast<int64_t>(dvStep * fix);
    int64_t uMax = (static_cast<int64_t>(sp.sw) << 32) - 1, vMax = (static_cast<int64_t>(sp.sh) << 32) - 1;
#if defined(__SSE2__)
    bool four = WalkFour::fits(sp.sw, sp.sh, stride);
#else
    bool four = false;
#endif
    // Whether the rows go on for three more pixels after a span's end, for
    // the made-up clear texels of untintedRow: within the row, so that no
    // pixel of another band is ever read or written.
    int roomUpTo = b.w - 4;
    if (upright) {
        uprightRows<white>(b, sp, quad, origin, stride, y, top, bottom, base, roomUpTo);
        return;
    }
    for (int row = top; row <= bottom; row++) {
        double py = row + 0.5;
        int first, last;
        if (!quad.span(py, &first, &last)) continue;
        uint8_t *p = b.frame + 4 * (static_cast<size_t>(row) * b.w + first);
        int n = last - first + 1;
        bool room = last <= roomUpTo;
        double cx = first + 0.5 - x[0], cy = py - y[0];
        double u0 = (cx * e2y - cy * e2x) * uScale, v0 = (cy * e1x - cx * e1y) * vScale;
        // Kept near the source in double, so that the fixed point cannot overflow.
        u0 = u0 < -1 ? -1 : (u0 > sp.sw + 1 ? sp.sw + 1 : u0);
        v0 = v0 < -1 ? -1 : (v0 > sp.sh + 1 ? sp.sh + 1 : v0);
        int64_t u = static_cast<int64_t>(u0 * fix), v = static_cast<int64_t>(v0 * fix);
        int64_t uEnd = u + (n - 1) * du, vEnd = v + (n - 1) * dv;
        bool within = u >= 0 && u <= uMax && uEnd >= 0 && uEnd <= uMax && v >= 0 && v <= vMax && vEnd >= 0 &&
                      vEnd <= vMax;
        TexelWalk walk = {origin, stride, u, v, du, dv, uMax, vMax};
        if (within)
            spriteRow<white, false>(p, n, room, walk, c, sp.tint, four, b.mode);
        else
            spriteRow<white, true>(p, n, room, walk, c, sp.tint, four, b.mode);
    }
}

}  // namespace

#if !defined(MORVEN_SOFT_SPRITES_AVX2)
void softTintTable(const float color[4], uint8_t table[kTintTableBytes]) {
    for (int k = 0; k < 4; k++)
        for (int i = 0; i < 256; i++) table[256 * k + i] = static_cast<uint8_t>(toByte(unit(uint8_t(i)) * color[k]));
    bool kept = true;
    for (int i = 0; i < 256; i++) kept = kept && table[768 + i] == i;
    table[kTintAlphaKept] = kept;
}

bool softSpritePrepare(const MVSprite &sp, int imageW, int imageH, const float color[4], int frameW, int frameH,
                       SoftSprite *out) {
    if (sp.sx < 0 || sp.sy < 0 || sp.sw <= 0 || sp.sh <= 0 || sp.sx > imageW - sp.sw || sp.sy > imageH - sp.sh)
        return false;
    SoftSprite &s = *out;
    spriteCorners(sp, s.x, s.y);
    for (int k = 0; k < 4; k++)
        if (!(std::fabs(double(s.x[k])) < kSpriteLimit) || !(std::fabs(double(s.y[k])) < kSpriteLimit)) return false;
    double minX = smaller(smaller(s.x[0], s.x[1]), smaller(s.x[2], s.x[3]));
    double maxX = larger(larger(s.x[0], s.x[1]), larger(s.x[2], s.x[3]));
    double minY = smaller(smaller(s.y[0], s.y[1]), smaller(s.y[2], s.y[3]));
    double maxY = larger(larger(s.y[0], s.y[1]), larger(s.y[2], s.y[3]));
    double left = larger(0.0, std::floor(minX)), right = smaller(frameW - 1.0, std::ceil(maxX));
    double top = larger(0.0, std::floor(minY)), bottom = smaller(frameH - 1.0, std::ceil(maxY));
    if (top > bottom || left > right) return false;
    s.left = static_cast<int>(left);
    s.right = static_cast<int>(right);
    s.top = static_cast<int>(top);
    s.bottom = static_cast<int>(bottom);
    s.sx = sp.sx;
    s.sy = sp.sy;
    s.sw = sp.sw;
    s.sh = sp.sh;
    for (int k = 0; k < 4; k++) s.color[k] = color[k];
    s.tint = nullptr;
    return true;
}

#endif

#if defined(MORVEN_SOFT_SPRITES_AVX2)
void softSpriteDrawAvx2(const SoftBand &band, const SoftImage &image, const SoftSprite &sp) {
#else
void softSpriteDraw(const SoftBand &band, const SoftImage &image, const SoftSprite &sp) {
#if defined(MORVEN_HAVE_AVX2_SPRITES)
    if (softSpritesAvx2()) {
        softSpriteDrawAvx2(band, image, sp);
        return;
    }
#endif
#endif
    int top = sp.top > band.top ? sp.top : band.top, bottom = sp.bottom < band.bottom ? sp.bottom : band.bottom;
    if (top > bottom) return;
    double x[4], y[4], reach = 0;
    for (int k = 0; k < 4; k++) {
        x[k] = sp.x[k];
        y[k] = sp.y[k];
        reach = larger(reach, larger(std::fabs(x[k]), std::fabs(y[k])));
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
    quad.tol = 1e-12 * (1 + band.w + 2 * reach);
    quad.left = sp.left;
    quad.right = sp.right;
    // White, or tinted through a table: the 8-bit path of untinted texels,
    // which is that of "source over".
    bool white = sp.color[0] == 1.0f && sp.color[1] == 1.0f && sp.color[2] == 1.0f && sp.color[3] == 1.0f;
    if ((white || sp.tint) && band.mode == MV_BLEND_MODE_ALPHA)
        spriteRows<true>(band, image, sp, x, y, quad, top, bottom);
    else
        spriteRows<false>(band, image, sp, x, y, quad, top, bottom);
}
