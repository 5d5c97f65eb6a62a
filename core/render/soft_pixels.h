// The software renderer's pixel arithmetic: colours to bytes and the blend
// modes in the 8-bit arithmetic of an 8-bit framebuffer, shared by its
// primitives and its sprites.
#ifndef MORVEN_CORE_RENDER_SOFT_PIXELS_H
#define MORVEN_CORE_RENDER_SOFT_PIXELS_H

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/numeric/clamp.h"
#include "core/render/renderer.h"

// Nearest byte, ties to even: adding and taking away 1.5 * 2^23 leaves no
// fraction bits, so the float addition itself does the rounding.
inline unsigned toByte(float v) {
    constexpr float kRound = 12582912.0f;
    return static_cast<unsigned>((clamp01(v) * 255.0f + kRound) - kRound);
}

// a * b / 255, rounded to nearest.
inline unsigned mul255(unsigned a, unsigned b) {
    unsigned t = a * b + 128;
    return (t + (t >> 8)) >> 8;
}

// A byte as a float in 0..1 the way OpenGL takes a texel: i times the float
// nearest 1/255, which is not always i / 255.0f. What a tint gives depends
// on it: a texel of 13 tinted by 0.5 lands just above the tie 6.5, giving 7,
// where 13 / 255.0f would land on the tie and give 6.
struct ByteUnits {
    float value[256];
    constexpr ByteUnits() : value() {
        for (int i = 0; i < 256; i++) value[i] = static_cast<float>(i) * (1.0f / 255.0f);
    }
};
inline constexpr ByteUnits kByteUnits{};

inline float unit(uint8_t byte) { return kByteUnits.value[byte]; }

// "Source over" on a pixel inside the frame: colour and alpha are taken to
// bytes first, and each product is rounded on its own.
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

// The bytes of a source pixel onto p in the given mode (draw.h):
//   ADD       colour min(255, s * a / 255 + d), alpha min(255, a * a / 255 + dA)
//   MULTIPLY  colour s * d / 255, alpha dA
//   NONE      colour s, alpha a
//   otherwise "source over", as blendAt.
inline void blendBytes(uint8_t *p, unsigned r, unsigned g, unsigned b, unsigned alpha, uint32_t mode) {
    switch (mode) {
    case MV_BLEND_MODE_ADD: {
        if (alpha == 0) return;
        unsigned v[4] = {mul255(r, alpha) + p[0], mul255(g, alpha) + p[1], mul255(b, alpha) + p[2],
                         mul255(alpha, alpha) + p[3]};
        for (int k = 0; k < 4; k++) p[k] = static_cast<uint8_t>(v[k] > 255 ? 255 : v[k]);
        return;
    }
    case MV_BLEND_MODE_MULTIPLY:
        p[0] = static_cast<uint8_t>(mul255(r, p[0]));
        p[1] = static_cast<uint8_t>(mul255(g, p[1]));
        p[2] = static_cast<uint8_t>(mul255(b, p[2]));
        return;
    case MV_BLEND_MODE_NONE:
        p[0] = static_cast<uint8_t>(r);
        p[1] = static_cast<uint8_t>(g);
        p[2] = static_cast<uint8_t>(b);
        p[3] = static_cast<uint8_t>(alpha);
        return;
    default: {
        if (alpha == 0) return;
        unsigned keep = 255 - alpha;
        p[0] = static_cast<uint8_t>(mul255(r, alpha) + mul255(p[0], keep));
        p[1] = static_cast<uint8_t>(mul255(g, alpha) + mul255(p[1], keep));
        p[2] = static_cast<uint8_t>(mul255(b, alpha) + mul255(p[2], keep));
        p[3] = static_cast<uint8_t>(mul255(alpha, alpha) + mul255(p[3], keep));
        return;
    }
    }
}

// A colour (components in 0..1) onto p in the given mode.
inline void blendModeAt(uint8_t *p, float r, float g, float b, float a, uint32_t mode) {
    if (mode == MV_BLEND_MODE_ALPHA) {
        blendAt(p, r, g, b, a);
        return;
    }
    blendBytes(p, toByte(r), toByte(g), toByte(b), toByte(a), mode);
}

// A flat colour worked out for blendSpan: its bytes already scaled by alpha.
struct SpanColor {
    unsigned alpha;
    uint32_t opaque;           // the pixel itself, for alpha 255
    unsigned scaled[4];        // each byte times alpha / 255, rounded
};

inline SpanColor spanColor(float r, float g, float b, float a) {
    SpanColor c;
    c.alpha = toByte(a);
    const unsigned bytes[4] = {toByte(r), toByte(g), toByte(b), 255};
    const uint8_t pixel[4] = {uint8_t(bytes[0]), uint8_t(bytes[1]), uint8_t(bytes[2]), 255};
    memcpy(&c.opaque, pixel, 4);
    for (int i = 0; i < 3; i++) c.scaled[i] = mul255(bytes[i], c.alpha);
    c.scaled[3] = mul255(c.alpha, c.alpha);
    return c;
}

// blendAt of one colour on n pixels in a row from p: the same bytes. With
// SSE2, four pixels go through together, a channel in each 16-bit lane,
// where (t + (t >> 8)) >> 8 is the high half of t * 257.
inline void blendSpan(uint8_t *p, int n, const SpanColor &c) {
    if (c.alpha == 0) return;
    if (c.alpha == 255) {
        for (int i = 0; i < n; i++) memcpy(p + 4 * i, &c.opaque, 4);
        return;
    }
    unsigned keep = 255 - c.alpha;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128(), c128 = _mm_set1_epi16(128), c257 = _mm_set1_epi16(257);
    const __m128i k = _mm_set1_epi16(static_cast<short>(keep));
    const __m128i add = _mm_setr_epi16(short(c.scaled[0]), short(c.scaled[1]), short(c.scaled[2]), short(c.scaled[3]),
                                       short(c.scaled[0]), short(c.scaled[1]), short(c.scaled[2]), short(c.scaled[3]));
    auto two = [&](__m128i d) {
        return _mm_add_epi16(_mm_mulhi_epu16(_mm_add_epi16(_mm_mullo_epi16(d, k), c128), c257), add);
    };
    for (; n >= 4; n -= 4, p += 16) {
        __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        __m128i out = _mm_packus_epi16(two(_mm_unpacklo_epi8(d, zero)), two(_mm_unpackhi_epi8(d, zero)));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(p), out);
    }
#endif
    for (; n > 0; n--, p += 4) {
        p[0] = static_cast<uint8_t>(c.scaled[0] + mul255(p[0], keep));
        p[1] = static_cast<uint8_t>(c.scaled[1] + mul255(p[1], keep));
        p[2] = static_cast<uint8_t>(c.scaled[2] + mul255(p[2], keep));
        p[3] = static_cast<uint8_t>(c.scaled[3] + mul255(p[3], keep));
    }
}

#endif
