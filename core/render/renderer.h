// The renderer record and the command lists it runs. The drawing calls do
// not reach a renderer one by one: the front end (core/render/frontend.h)
// records them as an ordered list of commands and hands the list over
// whole, so that a backend (the embedded software renderer, the OpenGL
// module, a test recorder) only runs commands and keeps textures. Modules
// are built from this header and core/engine/plugin.h only.
#ifndef MORVEN_CORE_RENDER_RENDERER_H
#define MORVEN_CORE_RENDER_RENDERER_H

#include <cmath>
#include <cstddef>
#include <cstdint>

// One sprite: the texels (sx, sy) to (sx + sw, sy + sh) of a texture drawn
// into a w x h rectangle centred at (x, y), turned by angle radians (+x
// towards +y). A negative w or h mirrors the image across that axis; the
// source lies inside the texture.
struct MVSprite {
    int sx, sy, sw, sh;
    float x, y, w, h;
    float angle;
};
static_assert(sizeof(MVSprite) == 36 && offsetof(MVSprite, x) == 16 && offsetof(MVSprite, angle) == 32,
              "modules built against this header share the layout");

// The sprite's corners in window pixels: top-left, top-right, bottom-right,
// bottom-left of the source image. Both renderers start from these very
// floats; where a GPU snaps them to its sub-pixel grid (whole pixels stay
// whole), a pixel centre within that snap of an edge may fall either way.
inline void spriteCorners(const MVSprite &s, float cx[4], float cy[4]) {
    float c = static_cast<float>(std::cos(static_cast<double>(s.angle)));
    float sn = static_cast<float>(std::sin(static_cast<double>(s.angle)));
    float hw = s.w * 0.5f, hh = s.h * 0.5f;
    float ux = c * hw, uy = sn * hw;   // centre to the middle of the right side
    float vx = -sn * hh, vy = c * hh;  // centre to the middle of the bottom side
    cx[0] = s.x - ux - vx, cy[0] = s.y - uy - vy;
    cx[1] = s.x + ux - vx, cy[1] = s.y + uy - vy;
    cx[2] = s.x + ux + vx, cy[2] = s.y + uy + vy;
    cx[3] = s.x - ux + vx, cy[3] = s.y - uy + vy;
}

// A colour, each component in 0..1 (the front end clamps once).
struct MVColor {
    float r, g, b, a;
};
static_assert(sizeof(MVColor) == 16, "modules built against this header share the layout");

// A corner of a point, line or triangle, with its colour.
struct MVDrawVertex {
    float x, y;
    float r, g, b, a;
};
static_assert(sizeof(MVDrawVertex) == 24, "modules built against this header share the layout");

// Points and lines are drawn with every vertex moved this much right and
// down (see draw.h). No vertex on a quarter-pixel grid then lies within 1/16
// pixel of a tie of OpenGL's point and line rules (a pixel border, or the
// edge of a pixel's diamond), so every renderer decides them alike.
constexpr float kPointLineShiftX = 0.375f, kPointLineShiftY = 0.3125f;

// OpenGL's "diamond exit" rule on the shifted end points of the line a to b
// on a w x h frame: a pixel is lit when the segment passes through its
// diamond |dx| + |dy| < 1/2 around the pixel centre and does not end inside
// it. Walking the major axis there is one candidate pixel per column (or
// row): the one whose diamond the line crosses at the centre line; it is lit
// when the point where the line leaves that diamond lies on the segment,
// past its start. Calls lit(x, y, t) for each lit pixel, t being the pixel
// centre's place along the major axis from a (0) to b (1), clamped; returns
// the candidates examined. Shared by the renderers, so that a line whose
// ends differ in colour takes the same colour at each pixel in all of them.
template <class Lit>
inline uint64_t lineWalk(const MVDrawVertex &a, const MVDrawVertex &b, int w, int h, Lit lit) {
    double ax = double(a.x) + kPointLineShiftX, ay = double(a.y) + kPointLineShiftY;
    double bx = double(b.x) + kPointLineShiftX, by = double(b.y) + kPointLineShiftY;
    double dx = bx - ax, dy = by - ay;
    if (dx == 0 && dy == 0) return 0;
    bool xMajor = std::fabs(dx) >= std::fabs(dy);
    double p0 = xMajor ? ax : ay, p1 = xMajor ? bx : by;  // along the major axis
    double q0 = xMajor ? ay : ax;                         // across it, at p0
    double slope = (xMajor ? dy : dx) / (p1 - p0);        // between -1 and 1
    double majorCount = xMajor ? w : h, minorCount = xMajor ? h : w;
    bool forward = p1 > p0;
    // Candidate centres: within one pixel of the segment, and where the
    // line's minor coordinate is within one pixel of the frame.
    double lo = std::fmin(p0, p1) - 1, hi = std::fmax(p0, p1) + 1;
    if (slope != 0) {
        double c0 = p0 + (-1 - q0) / slope, c1 = p0 + (minorCount + 1 - q0) / slope;
        lo = std::fmax(lo, std::fmin(c0, c1));
        hi = std::fmin(hi, std::fmax(c0, c1));
    } else if (!(q0 >= 0 && q0 < minorCount)) {
        return 0;
    }
    double first = std::fmax(std::ceil(lo - 0.5), 0.0), last = std::fmin(std::floor(hi - 0.5), majorCount - 1);
    if (!(first <= last)) return 0;
    double k = forward ? slope : -slope;  // minor change per unit step in the line's direction
    uint64_t examined = 0;
    for (int i = int(first), stop = int(last); i <= stop; i++) {
        examined++;
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
        if (xMajor)
            lit(i, int(j), t);
        else
            lit(int(j), i, t);
    }
    return examined;
}

// The colour of a line from a to b at place t (lineWalk), in float.
inline void lineColor(const MVDrawVertex &a, const MVDrawVertex &b, float t, float rgba[4]) {
    rgba[0] = a.r + t * (b.r - a.r);
    rgba[1] = a.g + t * (b.g - a.g);
    rgba[2] = a.b + t * (b.b - a.b);
    rgba[3] = a.a + t * (b.a - a.a);
}

// What a primitive command's vertices make, taken in order: one vertex per
// point, two per line, three per triangle. Strips, loops and fans are cut
// into these by the front end, and pieces with a coordinate that is not
// finite are left out.
enum MVPieces : uint32_t { MV_PIECES_POINTS, MV_PIECES_LINES, MV_PIECES_TRIANGLES };

// Kinds of command. A backend runs the commands of a list in order and
// passes over a kind it does not know. New kinds (state such as a transform
// or a blend mode) get a number here and a member of MVCommand's union.
enum MVCommandKind : uint32_t {
    // Every pixel of the frame becomes the opaque colour clear (r, g, b).
    MV_COMMAND_CLEAR,
    // Points, lines or triangles (MVPieces) over what is there, blended in
    // the blend mode (MV_COMMAND_BLEND), colours interpolated between the
    // corners (draw.h; along lines as lineWalk says).
    MV_COMMAND_PRIMITIVE,
    // count sprites of texture, each texel multiplied by its sprite's colour
    // and blended in the blend mode. A pixel is covered when its centre lies
    // inside the sprite's quad (spriteCorners; centres exactly on an edge by
    // the top-left rule of triangles); it takes the texel holding the centre
    // mapped back into the source rectangle, clamped to the rectangle; a
    // centre on a texel boundary of an upright sprite takes the texel right
    // of and above it on screen (draw.h). A negative w or h mirrors the
    // sprite. Sprites whose source lies outside the texture are skipped.
    MV_COMMAND_SPRITES,
    // The w x h pixels at (x, y) of texture become the RGBA bytes at
    // bytes + offset (top row first, no gaps); a rectangle outside the
    // texture changes nothing.
    MV_COMMAND_TEXTURE_UPDATE,
    // State: how the commands after it combine a source pixel with the one
    // drawn over (MVBlend). A renderer starts in MV_BLEND_MODE_ALPHA.
    MV_COMMAND_BLEND,
    // State: where the commands after it draw. Texture 0 is the frame (where
    // a renderer starts); otherwise a copy of the w x h pixels at (x, y) of
    // texture, which then stands in for the frame: coordinates count from
    // its top left, nothing outside it is drawn, a clear fills it, and
    // readPixels copies it out. The texture itself does not change (the
    // front end reads the pixels back and updates it). A rectangle outside
    // the texture, or a renderer that cannot draw into a copy, draws nothing
    // and reads nothing back until the next target.
    MV_COMMAND_TARGET,
};

// Blend modes, the values of MV_BLEND_* in <morven/draw.h>, whose pixel
// arithmetic every renderer follows.
enum MVBlend : uint32_t { MV_BLEND_MODE_ALPHA, MV_BLEND_MODE_ADD, MV_BLEND_MODE_MULTIPLY, MV_BLEND_MODE_NONE };

struct MVClearCommand {
    float r, g, b;
};

struct MVPrimitiveCommand {
    uint32_t pieces;     // MVPieces
    size_t first, count;  // vertices[first] onwards
};

struct MVSpriteCommand {
    uint32_t texture;
    uint32_t oneColor;    // non-zero: every colour of the command is colors[first]
    size_t first, count;  // sprites[first] and colors[first] onwards
};

struct MVTextureUpdateCommand {
    uint32_t texture;
    int x, y, w, h;
    size_t offset;  // into bytes
};

struct MVBlendCommand {
    uint32_t mode;  // MVBlend; unknown values count as MV_BLEND_MODE_ALPHA
};

struct MVTargetCommand {
    uint32_t texture;  // 0: the frame
    int x, y, w, h;
};

struct MVCommand {
    uint32_t kind;  // MVCommandKind
    union {
        MVClearCommand clear;
        MVPrimitiveCommand primitive;
        MVSpriteCommand sprites;
        MVTextureUpdateCommand update;
        MVBlendCommand blend;
        MVTargetCommand target;
    };
};

// A frame's commands (or the part of one recorded so far) with the records
// they point into by index. Everything belongs to the front end and stays
// valid until run returns.
struct MVCommandList {
    const MVCommand *commands;
    size_t count;
    const MVDrawVertex *vertices;
    const MVSprite *sprites;
    const MVColor *colors;  // one per sprite
    const uint8_t *bytes;
};

// A backend. Every member is called on the engine's thread only.
struct MVRenderer {
    void *self;
    // Textures are RGBA8 images known by a non-zero id, cleared at first;
    // 0 when the size is not positive, exceeds maxTextureSize or memory runs out.
    uint32_t (*textureCreate)(void *self, int w, int h);
    // As MV_COMMAND_TEXTURE_UPDATE, at once; rgba is w * h * 4 bytes.
    void (*textureUpdate)(void *self, uint32_t tex, int x, int y, int w, int h, const uint8_t *rgba);
    // Ids not in use are ignored.
    void (*textureDestroy)(void *self, uint32_t tex);
    // Draws the commands into the frame, in order; done when it returns.
    void (*run)(void *self, const MVCommandList *list);
    // Copies the frame drawn so far into rgba (w * h * 4 bytes, top row first),
    // or the target's rectangle while a texture is the target.
    // False when the renderer has no pixels to give or the size differs.
    bool (*readPixels)(void *self, uint8_t *rgba, int w, int h);
    // The largest width and height of a texture this renderer makes.
    int (*maxTextureSize)(void *self);
    // Releases the renderer with its textures; the record is invalid afterwards.
    void (*destroy)(void *self);
};

#endif
