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

#include "core/render/soft_pixels.h"
#include "core/render/soft_sprites.h"
#include "core/base/workers.h"

namespace {

using Vertex = MVDrawVertex;

struct Texture {
    int w, h;
    uint8_t *pixels;  // null: free slot
};

// Tint tables kept for colours that sprites share; a colour seen once on a
// small sprite keeps to the float path, where a table would cost more.
constexpr int kTintTables = 8;
constexpr uint64_t kTintTablePixels = 256;

struct TintTable {
    float color[4];
    uint8_t bytes[kTintTableBytes];
};

struct Soft {
    MVRenderer record;  // first member: the record's address is the renderer's
    // Where drawing goes: the window's frame, or a copy of the target's
    // rectangle of a texture (which itself stays as it is).
    int w, h;
    uint8_t *frame;
    int windowW, windowH;
    uint8_t *window;
    uint32_t targetTexture;  // 0: the frame is the window's
    int targetX, targetY;
    uint8_t *scratch;        // the target's pixels while it is drawn into
    size_t scratchBytes;
    bool drawNothing;        // a target that cannot be drawn into: drawing is dropped
    uint32_t mode;           // MVBlend
    Texture *textures;
    size_t textureCount;
    int *columns;  // working space of the engine's thread: columnsWidth column indices
    int columnsWidth;
    // The sprites of one command, prepared, to be drawn together on several threads.
    SoftSprite *queue;
    size_t queued, queueCapacity;
    unsigned threads;    // threads that may draw sprites, the engine's included
    uint64_t sharedPixels;  // the least pixels of bounding boxes a shared batch has
    MVWorkers *workers;  // started by the first batch worth sharing
    int *bandColumns;    // working space of the pool's threads: w column indices each
    uint64_t work;  // candidate pixels examined so far
    TintTable tints[kTintTables];
    int tintCount;
    float lastMiss[4];  // the last colour passed over for a table
};

Soft *soft(void *self) { return static_cast<Soft *>(self); }

inline void blend(Soft *s, int x, int y, float r, float g, float b, float a) {
    blendModeAt(s->frame + 4 * (static_cast<size_t>(y) * s->w + x), r, g, b, a, s->mode);
}

void point(Soft *s, const Vertex &v) {
    double x = std::floor(double(v.x) + kPointLineShiftX), y = std::floor(double(v.y) + kPointLineShiftY);
    s->work++;
    if (x >= 0 && x < s->w && y >= 0 && y < s->h) blend(s, int(x), int(y), v.r, v.g, v.b, v.a);
}

// A line by the rule of lineWalk, in the colours it gives.
void line(Soft *s, const Vertex &a, const Vertex &b) {
    s->work += lineWalk(a, b, s->w, s->h, [&](int x, int y, float t) {
        float k[4];
        lineColor(a, b, t, k);
        blend(s, x, y, k[0], k[1], k[2], k[3]);
    });
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

// The least x in [lo, hi] where pred holds, or hi + 1; pred turns from
// false to true once along the range. The search starts at guess and gallops
// away from it, so a good guess costs two or three calls and a poor one (far
// coordinates lose the crossing's precision) still costs a logarithm.
template <class Pred>
int firstWhere(int lo, int hi, double guess, Pred pred) {
    int g = !(guess >= lo) ? lo : guess > hi ? hi : static_cast<int>(guess);
    int no = lo - 1, yes = hi + 1;  // known to fail, known to hold
    if (pred(g)) {
        yes = g;
        for (int d = 1; yes - d > no; d *= 2) {
            if (!pred(yes - d)) {
                no = yes - d;
                break;
            }
            yes -= d;
        }
    } else {
        no = g;
        for (int d = 1; no + d < yes; d *= 2) {
            if (pred(no + d)) {
                yes = no + d;
                break;
            }
            no += d;
        }
    }
    while (yes - no > 1) {
        int m = no + (yes - no) / 2;
        if (pred(m))
            yes = m;
        else
            no = m;
    }
    return yes;
}

// One edge of a triangle as rows meet it: where the edge crosses a row is
// worked out from the slope for a first guess only; the pixels inside are
// decided by edge() itself.
struct EdgeRows {
    Vertex u, v;
    bool owned;
    double dy, slope;  // dx / dy, for dy != 0
};

EdgeRows edgeRows(const Vertex &u, const Vertex &v, bool owned) {
    double dy = double(v.y) - u.y;
    return {u, v, owned, dy, dy != 0 ? (double(v.x) - u.x) / dy : 0.0};
}

// Narrows [*left, *right] on row centre py to the pixels inside edge e.
// The edge function, as edge() rounds it, is monotonic along a row, so the
// pixels inside form one run found with a handful of exact evaluations.
void clipSpan(const EdgeRows &e, double py, int *left, int *right) {
    if (*left > *right) return;
    auto in = [&](int x) { return inside(edge(e.u, e.v, x + 0.5, py), e.owned); };
    if (e.dy == 0) {
        if (!in(*left)) *right = *left - 1;
        return;
    }
    double guess = double(e.u.x) + e.slope * (py - e.u.y) - 0.5;
    if (e.dy < 0)
        *left = firstWhere(*left, *right, guess, in);
    else
        *right = firstWhere(*left, *right, guess, [&](int x) { return !in(x); }) - 1;
}

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
    const EdgeRows edgeA = edgeRows(b, c, ownsEdge(b, c)), edgeB = edgeRows(c, a, ownsEdge(c, a)),
                   edgeC = edgeRows(a, b, ownsEdge(a, b));
    // One colour at all corners: the interpolation below gives exactly it,
    // so the source bytes are worked out once.
    bool flat = a.r == b.r && a.r == c.r && a.g == b.g && a.g == c.g && a.b == b.b && a.b == c.b && a.a == b.a &&
                a.a == c.a;
    SpanColor flatColor = spanColor(a.r, a.g, a.b, a.a);
    int x0 = int(minX), x1 = int(maxX), y0 = int(minY), y1 = int(maxY);
    for (int y = y0; y <= y1; y++) {
        double py = y + 0.5;
        int left = x0, right = x1;
        clipSpan(edgeA, py, &left, &right);
        clipSpan(edgeB, py, &left, &right);
        clipSpan(edgeC, py, &left, &right);
        if (left > right) continue;
        s->work += uint64_t(right - left + 1);
        uint8_t *row = s->frame + 4 * static_cast<size_t>(y) * s->w;
        if (flat && s->mode == MV_BLEND_MODE_ALPHA) {
            blendSpan(row + 4 * static_cast<size_t>(left), right - left + 1, flatColor);
            continue;
        }
        if (flat) {
            const unsigned k[4] = {toByte(a.r), toByte(a.g), toByte(a.b), toByte(a.a)};
            for (int x = left; x <= right; x++) blendBytes(row + 4 * static_cast<size_t>(x), k[0], k[1], k[2], k[3], s->mode);
            continue;
        }
        for (int x = left; x <= right; x++) {
            double px = x + 0.5;
            double wb = edge(c, a, px, py), wc = edge(a, b, px, py);
            // Relative to a, so that a colour shared by all three corners comes out exact.
            float lb = static_cast<float>(wb / area), lc = static_cast<float>(wc / area);
            blendModeAt(row + 4 * static_cast<size_t>(x), a.r + lb * (b.r - a.r) + lc * (c.r - a.r),
                        a.g + lb * (b.g - a.g) + lc * (c.g - a.g), a.b + lb * (b.b - a.b) + lc * (c.b - a.b),
                        a.a + lb * (b.a - a.a) + lc * (c.a - a.a), s->mode);
        }
    }
}

Texture *findTexture(Soft *s, uint32_t id) {
    if (id == 0 || id > s->textureCount) return nullptr;
    Texture *t = &s->textures[id - 1];
    return t->pixels ? t : nullptr;
}

// Sprites prepared and drawn together at most; a batch this size is long
// worth sharing out.
constexpr size_t kQueueLimit = 16384;
// Below this many pixels of bounding boxes, waking the other threads costs
// more than it saves, and the engine's thread draws the batch alone.
constexpr uint64_t kSharedPixels = 1 << 15;
// Bands a thread takes on average: more even shares, against more sprites
// that straddle two bands and are set up twice.
constexpr unsigned kBandsPerThread = 3;

// The pool, started when first wanted; null when the sprites stay on the
// engine's thread (one thread allowed, or the threads would not start).
MVWorkers *spriteWorkers(Soft *s) {
    if (s->workers || s->threads < 2) return s->workers;
    s->bandColumns = static_cast<int *>(malloc(sizeof(int) * (s->threads - 1) * static_cast<size_t>(s->columnsWidth)));
    if (s->bandColumns) s->workers = workersCreate(s->threads);
    if (!s->workers) {
        free(s->bandColumns);
        s->bandColumns = nullptr;
        s->threads = 1;  // not tried again
    }
    return s->workers;
}

struct SpriteBatch {
    const Soft *soft;
    SoftImage image;
    const SoftSprite *sprites;
    size_t count;
    int rows;  // a band's height
};

// One band of a batch: every sprite that reaches it, in order, on its rows.
void drawBand(void *context, size_t index, unsigned slot) {
    const SpriteBatch &b = *static_cast<const SpriteBatch *>(context);
    const Soft *s = b.soft;
    int top = static_cast<int>(index) * b.rows, bottom = top + b.rows - 1;
    if (bottom > s->h - 1) bottom = s->h - 1;
    SoftBand band = {s->frame, s->w, s->h, top, bottom,
                     slot == 0 ? s->columns : s->bandColumns + static_cast<size_t>(slot - 1) * s->columnsWidth,
                     s->mode};
    for (size_t i = 0; i < b.count; i++) {
        const SoftSprite &sp = b.sprites[i];
        if (sp.bottom >= top && sp.top <= bottom) softSpriteDraw(band, b.image, sp);
    }
}

// Draws the sprites prepared in the queue, in bands of rows shared out among
// the threads: each pixel gets its sprites in the order they came, as if
// one thread had drawn them.
void drawQueue(Soft *s, const Texture *t) {
    if (s->queued == 0) return;
    size_t count = s->queued;
    s->queued = 0;
    SpriteBatch batch = {s, {t->pixels, t->w, t->h}, s->queue, count, s->h};
    uint64_t pixels = 0;
    for (size_t i = 0; i < count; i++) {
        const SoftSprite &sp = s->queue[i];
        pixels += uint64_t(sp.right - sp.left + 1) * uint64_t(sp.bottom - sp.top + 1);
    }
    MVWorkers *workers = pixels >= s->sharedPixels ? spriteWorkers(s) : nullptr;
    unsigned bands = workers ? kBandsPerThread * workersCount(workers) : 1;
    batch.rows = (s->h + static_cast<int>(bands) - 1) / static_cast<int>(bands);
    bands = static_cast<unsigned>((s->h + batch.rows - 1) / batch.rows);
    workersRun(workers, bands, drawBand, &batch);
}

// Room in the queue for up to want sprites; false when there is none at all.
bool reserveQueue(Soft *s, size_t want) {
    if (want > kQueueLimit) want = kQueueLimit;
    if (s->queueCapacity >= want) return true;
    void *queue = realloc(s->queue, want * sizeof(SoftSprite));
    if (queue) {
        s->queue = static_cast<SoftSprite *>(queue);
        s->queueCapacity = want;
    }
    return s->queueCapacity > 0;
}

bool sameColor(const float *a, const float *b) {
    return a[0] == b[0] && a[1] == b[1] && a[2] == b[2] && a[3] == b[3];
}

// The tint table of a colour, made when the sprite is large or the colour
// comes again; null for the float path. Tables stay from frame to frame and
// are made anew only when no queued sprite can still point at them.
const uint8_t *tintFor(Soft *s, const float *color, const SoftSprite &sp) {
    for (int i = 0; i < s->tintCount; i++)
        if (sameColor(s->tints[i].color, color)) return s->tints[i].bytes;
    uint64_t pixels = uint64_t(sp.right - sp.left + 1) * uint64_t(sp.bottom - sp.top + 1);
    if (pixels < kTintTablePixels && !sameColor(s->lastMiss, color)) {
        memcpy(s->lastMiss, color, sizeof s->lastMiss);
        return nullptr;
    }
    if (s->tintCount == kTintTables) {
        if (s->queued) return nullptr;
        s->tintCount = 0;
    }
    TintTable &t = s->tints[s->tintCount++];
    memcpy(t.color, color, sizeof t.color);
    softTintTable(color, t.bytes);
    return t.bytes;
}

// A sprite command: prepared into the queue and drawn in batches of what the
// queue holds, or one by one on the engine's thread when memory is short.
void runSprites(Soft *s, const MVSpriteCommand &c, const MVSprite *sprites, const MVColor *colors) {
    const Texture *t = findTexture(s, c.texture);
    if (!t) return;
    bool queue = reserveQueue(s, c.count);
    for (size_t i = 0; i < c.count; i++) {
        const MVColor &k = colors[c.oneColor ? 0 : i];
        const float color[4] = {k.r, k.g, k.b, k.a};
        SoftSprite sp;
        if (!softSpritePrepare(sprites[i], t->w, t->h, color, s->w, s->h, &sp)) continue;
        if (!(k.r == 1.0f && k.g == 1.0f && k.b == 1.0f && k.a == 1.0f)) sp.tint = tintFor(s, color, sp);
        if (!queue) {
            SoftBand band = {s->frame, s->w, s->h, 0, s->h - 1, s->columns, s->mode};
            softSpriteDraw(band, {t->pixels, t->w, t->h}, sp);
            continue;
        }
        if (s->queued == s->queueCapacity) drawQueue(s, t);
        s->queue[s->queued++] = sp;
    }
    drawQueue(s, t);
}

void fill(Soft *s, const MVClearCommand &c) {
    uint8_t rgba[4] = {uint8_t(toByte(c.r)), uint8_t(toByte(c.g)), uint8_t(toByte(c.b)), 255};
    uint32_t pixel;
    memcpy(&pixel, rgba, 4);
    size_t n = static_cast<size_t>(s->w) * s->h;
    uint32_t *p = reinterpret_cast<uint32_t *>(s->frame);  // malloc'd: aligned for any type
    for (size_t i = 0; i < n; i++) p[i] = pixel;
}

void runPrimitive(Soft *s, const MVPrimitiveCommand &c, const Vertex *v) {
    switch (c.pieces) {
    case MV_PIECES_POINTS:
        for (size_t i = 0; i < c.count; i++) point(s, v[i]);
        break;
    case MV_PIECES_LINES:
        for (size_t i = 0; i + 1 < c.count; i += 2) line(s, v[i], v[i + 1]);
        break;
    case MV_PIECES_TRIANGLES:
        for (size_t i = 0; i + 2 < c.count; i += 3) triangle(s, v[i], v[i + 1], v[i + 2]);
        break;
    default:
        break;
    }
}

void textureUpdate(void *self, uint32_t id, int x, int y, int w, int h, const uint8_t *rgba) {
    Texture *t = findTexture(soft(self), id);
    if (!t || !rgba || x < 0 || y < 0 || w <= 0 || h <= 0 || x > t->w - w || y > t->h - h) return;
    for (int row = 0; row < h; row++)
        memcpy(t->pixels + 4 * (static_cast<size_t>(y + row) * t->w + x), rgba + 4 * static_cast<size_t>(row) * w,
               4 * static_cast<size_t>(w));
}

// Copies the rectangle at (x, y) of a texture into a w x h frame.
void copyRect(const Texture *t, int x, int y, uint8_t *frame, int w, int h) {
    for (int row = 0; row < h; row++)
        memcpy(frame + 4 * static_cast<size_t>(row) * w, t->pixels + 4 * (static_cast<size_t>(y + row) * t->w + x),
               4 * static_cast<size_t>(w));
}

// Stops the sprite threads and frees their working space; the next batch
// worth sharing starts them again.
void stopPool(Soft *s) {
    workersDestroy(s->workers);
    free(s->bandColumns);
    s->workers = nullptr;
    s->bandColumns = nullptr;
}

// Working space for frames up to w pixels wide; false when out of memory.
bool columnsFor(Soft *s, int w) {
    if (w <= s->columnsWidth) return true;
    int *columns = static_cast<int *>(realloc(s->columns, sizeof(int) * static_cast<size_t>(w)));
    if (!columns) return false;
    s->columns = columns;
    s->columnsWidth = w;
    stopPool(s);  // its working space is sized by the width: made again when wanted
    return true;
}

// Back to the window's frame; what was drawn into the target goes.
void endTarget(Soft *s) {
    s->targetTexture = 0;
    s->drawNothing = false;
    s->frame = s->window;
    s->w = s->windowW;
    s->h = s->windowH;
}

void setTarget(Soft *s, const MVTargetCommand &c) {
    endTarget(s);
    if (c.texture == 0) return;
    s->targetTexture = c.texture;
    s->drawNothing = true;  // until the copy is made
    Texture *t = findTexture(s, c.texture);
    if (!t || c.x < 0 || c.y < 0 || c.w <= 0 || c.h <= 0 || c.x > t->w - c.w || c.y > t->h - c.h) return;
    size_t bytes = 4 * static_cast<size_t>(c.w) * static_cast<size_t>(c.h);
    if (bytes > s->scratchBytes) {
        void *grown = realloc(s->scratch, bytes);
        if (!grown) return;
        s->scratch = static_cast<uint8_t *>(grown);
        s->scratchBytes = bytes;
    }
    if (!columnsFor(s, c.w)) return;
    copyRect(t, c.x, c.y, s->scratch, c.w, c.h);
    s->drawNothing = false;
    s->frame = s->scratch;
    s->w = c.w;
    s->h = c.h;
    s->targetX = c.x;
    s->targetY = c.y;
}

void run(void *self, const MVCommandList *list) {
    Soft *s = soft(self);
    for (size_t i = 0; i < list->count; i++) {
        const MVCommand &c = list->commands[i];
        bool drawing = c.kind == MV_COMMAND_CLEAR || c.kind == MV_COMMAND_PRIMITIVE || c.kind == MV_COMMAND_SPRITES;
        if (drawing && s->drawNothing) continue;
        switch (c.kind) {
        case MV_COMMAND_CLEAR:
            fill(s, c.clear);
            break;
        case MV_COMMAND_PRIMITIVE:
            runPrimitive(s, c.primitive, list->vertices + c.primitive.first);
            break;
        case MV_COMMAND_SPRITES:
            runSprites(s, c.sprites, list->sprites + c.sprites.first, list->colors + c.sprites.first);
            break;
        case MV_COMMAND_TEXTURE_UPDATE:
            textureUpdate(s, c.update.texture, c.update.x, c.update.y, c.update.w, c.update.h,
                          list->bytes + c.update.offset);
            break;
        case MV_COMMAND_BLEND:
            s->mode = c.blend.mode <= MV_BLEND_MODE_NONE ? c.blend.mode : MV_BLEND_MODE_ALPHA;
            break;
        case MV_COMMAND_TARGET:
            setTarget(s, c.target);
            break;
        default:
            break;
        }
    }
}

uint32_t textureCreate(void *self, int w, int h) {
    Soft *s = soft(self);
    if (w <= 0 || h <= 0 || w > kSoftMaxSide || h > kSoftMaxSide) return 0;
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

void textureDestroy(void *self, uint32_t id) {
    Texture *t = findTexture(soft(self), id);
    if (!t) return;
    free(t->pixels);
    *t = {0, 0, nullptr};
}

bool readPixels(void *self, uint8_t *rgba, int w, int h) {
    Soft *s = soft(self);
    if (!rgba || w != s->w || h != s->h || s->drawNothing) return false;
    memcpy(rgba, s->frame, static_cast<size_t>(w) * h * 4);
    return true;
}

int maxTextureSize(void *) { return kSoftMaxSide; }

void destroy(void *self) {
    Soft *s = soft(self);
    for (size_t i = 0; i < s->textureCount; i++) free(s->textures[i].pixels);
    free(s->textures);
    free(s->columns);
    workersDestroy(s->workers);
    free(s->bandColumns);
    free(s->queue);
    free(s->window);
    free(s->scratch);
    free(s);
}

}  // namespace

MVRenderer *softRendererCreate(int w, int h) {
    if (w <= 0 || h <= 0 || w > kSoftMaxSide || h > kSoftMaxSide) return nullptr;
    Soft *s = static_cast<Soft *>(calloc(1, sizeof(Soft)));
    if (!s) return nullptr;
    s->window = static_cast<uint8_t *>(malloc(static_cast<size_t>(w) * h * 4));
    s->columns = static_cast<int *>(malloc(sizeof(int) * static_cast<size_t>(w)));
    if (!s->window || !s->columns) {
        free(s->window);
        free(s->columns);
        free(s);
        return nullptr;
    }
    s->record = {s, textureCreate, textureUpdate, textureDestroy, run, readPixels, maxTextureSize, destroy};
    s->frame = s->window;
    s->w = s->windowW = w;
    s->h = s->windowH = h;
    s->columnsWidth = w;
    s->sharedPixels = kSharedPixels;
    s->threads = workersMachineThreads() < kSoftMaxThreads ? workersMachineThreads() : kSoftMaxThreads;
    fill(s, {0.0f, 0.0f, 0.0f});
    return &s->record;
}

const uint8_t *softRendererPixels(const MVRenderer *renderer) {
    return static_cast<const Soft *>(renderer->self)->window;
}

void softRendererSetThreads(MVRenderer *renderer, unsigned threads) {
    Soft *s = soft(renderer->self);
    stopPool(s);
    s->threads = threads < 1 ? 1 : threads > kSoftMaxThreads ? kSoftMaxThreads : threads;
}

void softRendererSetSharedPixels(MVRenderer *renderer, uint64_t pixels) { soft(renderer->self)->sharedPixels = pixels; }

uint64_t softRendererWork(const MVRenderer *renderer) { return static_cast<const Soft *>(renderer->self)->work; }

bool softRendererResize(MVRenderer *renderer, int w, int h) {
    Soft *s = soft(renderer->self);
    if (w <= 0 || h <= 0 || w > kSoftMaxSide || h > kSoftMaxSide) return false;
    uint8_t *frame = static_cast<uint8_t *>(malloc(static_cast<size_t>(w) * h * 4));
    int *columns = static_cast<int *>(malloc(sizeof(int) * static_cast<size_t>(w)));
    if (!frame || !columns) {
        free(frame);
        free(columns);
        return false;
    }
    endTarget(s);
    free(s->window);
    free(s->columns);
    s->frame = s->window = frame;
    s->columns = columns;
    s->columnsWidth = w;
    stopPool(s);  // its working space is sized by the width: made again when wanted
    s->w = s->windowW = w;
    s->h = s->windowH = h;
    fill(s, {0.0f, 0.0f, 0.0f});
    return true;
}
