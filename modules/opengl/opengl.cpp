// The "OpenGL" module: a renderer for OpenGL 2.1 contexts (fixed-function
// pipeline, immediate mode), drawing in window pixels with the origin at the
// top left.
// Primitives are collected and handed to OpenGL whole when they end, so the
// context is never left inside glBegin: clearing, presenting, reading back
// and texture calls are always valid, and an unclosed primitive is drawn by
// the same rule as in the software renderer (draw.h).
// Sprites are collected in vertex arrays and drawn in one indexed call per
// run of sprites from the same texture (up to 4,096 a call).
#include <GL/gl.h>

#include <cstdlib>
#include <cstring>

#include <morven/draw.h>

#include "core/engine/plugin.h"
#include "core/render/primitive.h"

namespace {

struct TextureSize {
    GLuint id;
    int w, h;
};

// A sprite corner as OpenGL reads it: position and texture coordinate, interleaved.
struct SpriteVertex {
    float x, y, s, t;
};

// Sprites held back from one texture: four corners a sprite, drawn as two
// triangles through a shared index list. The colour of each corner is kept
// too, but handed over only when the sprites differ in colour; otherwise the
// current colour serves for all of them, and white leaves the texels as they are.
struct SpriteBatch {
    GLuint texture;
    size_t count, capacity;  // sprites
    SpriteVertex *vertices;  // 4 a sprite
    float *color;            // r, g, b, a for each corner
    GLushort *indices;       // 6 a sprite, for kBatchSprites sprites
    float first[4];          // the colour of the first sprite
    bool mixed;              // a later sprite had another colour
};

// Sprites per draw call at most; the arrays never grow beyond this, and the
// corners of a batch stay within reach of 16-bit indices.
constexpr size_t kBatchSprites = 4096;
static_assert(4 * kBatchSprites <= 65536, "corner indices are 16 bits");

struct GLRenderer {
    MVRenderer record;
    int w, h;
    float color[4];
    MVPrimitive primitive;
    TextureSize *sizes;  // of the live textures
    size_t sizeCount;
    SpriteBatch batch;
};

GLRenderer *gl(void *self) { return static_cast<GLRenderer *>(self); }

// Draws the sprites held back, so that what follows lands on top of them.
void flushSprites(GLRenderer *r) {
    SpriteBatch &b = r->batch;
    if (b.count == 0) return;
    bool white = !b.mixed && b.first[0] == 1.0f && b.first[1] == 1.0f && b.first[2] == 1.0f && b.first[3] == 1.0f;
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, b.texture);
    if (white) glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);  // texel times 1 is the texel
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(2, GL_FLOAT, sizeof(SpriteVertex), &b.vertices[0].x);
    glTexCoordPointer(2, GL_FLOAT, sizeof(SpriteVertex), &b.vertices[0].s);
    if (b.mixed) {
        glEnableClientState(GL_COLOR_ARRAY);
        glColorPointer(4, GL_FLOAT, 0, b.color);
    } else {
        glColor4fv(b.first);
    }
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(6 * b.count), GL_UNSIGNED_SHORT, b.indices);
    if (b.mixed) glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    if (white) glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glDisable(GL_TEXTURE_2D);
    glColor4fv(r->color);  // a colour array leaves the current colour undefined
    b.count = 0;
    b.mixed = false;
}

void emit(const MVDrawVertex &v) {
    glColor4f(v.r, v.g, v.b, v.a);
    glVertex2f(v.x, v.y);
}

// Draws the open primitive, if any, and closes it. Every piece goes to
// OpenGL on its own, so the pieces the assembly drops leave no gap in a
// strip; points and lines take the shift of the pixel rules.
void end(void *self) {
    GLRenderer *r = gl(self);
    if (!mvPrimitiveClose(r->primitive)) return;
    int mode = r->primitive.mode;
    bool shifted = mode == MV_DRAW_POINTS || mode == MV_DRAW_LINES || mode == MV_DRAW_LINE_LOOP ||
                   mode == MV_DRAW_LINE_STRIP;
    if (shifted) {
        glPushMatrix();
        glTranslatef(kMVPointLineShiftX, kMVPointLineShiftY, 0);
    }
    glBegin(mode == MV_DRAW_POINTS ? GL_POINTS : shifted ? GL_LINES : GL_TRIANGLES);
    mvAssemblePrimitive(
        mode, r->primitive.vertices, r->primitive.count, [](const MVDrawVertex &v) { emit(v); },
        [](const MVDrawVertex &a, const MVDrawVertex &b) {
            emit(a);
            emit(b);
        },
        [](const MVDrawVertex &a, const MVDrawVertex &b, const MVDrawVertex &c) {
            emit(a);
            emit(b);
            emit(c);
        });
    glEnd();
    if (shifted) glPopMatrix();
    glColor4fv(r->color);
}

void begin(void *self, int mode) {
    GLRenderer *r = gl(self);
    end(r);
    flushSprites(r);  // sprites drawn before the primitive lie under it
    mvPrimitiveStart(r->primitive, mode);
}

void vertex(void *self, float x, float y) {
    GLRenderer *r = gl(self);
    mvPrimitiveAdd(r->primitive, {x, y, r->color[0], r->color[1], r->color[2], r->color[3]});
}

// The drawing calls hand over colours already clamped to 0..1.
void color(void *self, float r, float g, float b, float a) {
    float *c = gl(self)->color;
    c[0] = r;
    c[1] = g;
    c[2] = b;
    c[3] = a;
    glColor4fv(c);
}

void clear(void *self) {
    end(self);
    flushSprites(gl(self));
    glClear(GL_COLOR_BUFFER_BIT);
}

void clearColor(void *, float r, float g, float b) { glClearColor(r, g, b, 1.0f); }

uint32_t textureCreate(void *self, int w, int h) {
    if (w <= 0 || h <= 0) return 0;
    GLRenderer *r = gl(self);
    void *grown = realloc(r->sizes, (r->sizeCount + 1) * sizeof(TextureSize));
    if (!grown) return 0;
    r->sizes = static_cast<TextureSize *>(grown);
    void *zero = calloc(static_cast<size_t>(w) * h, 4);
    if (!zero) return 0;
    GLuint tex = 0;
    // Errors left by earlier calls must not count against this texture (a
    // few at most: a lost context would report one for ever).
    for (int i = 0; i < 8 && glGetError() != GL_NO_ERROR; i++) continue;
    glGenTextures(1, &tex);
    glBindTexture(GL_TEXTURE_2D, tex);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, zero);
    free(zero);
    if (glGetError() != GL_NO_ERROR) {
        glDeleteTextures(1, &tex);
        return 0;
    }
    r->sizes[r->sizeCount++] = {tex, w, h};
    return tex;
}

const TextureSize *findSize(const GLRenderer *r, uint32_t tex) {
    for (size_t i = 0; i < r->sizeCount; i++)
        if (r->sizes[i].id == tex) return &r->sizes[i];
    return nullptr;
}

void textureUpdate(void *self, uint32_t tex, int x, int y, int w, int h, const uint8_t *rgba) {
    if (!tex || !rgba || w <= 0 || h <= 0) return;
    flushSprites(gl(self));
    glBindTexture(GL_TEXTURE_2D, tex);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexSubImage2D(GL_TEXTURE_2D, 0, x, y, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
}

void textureDestroy(void *self, uint32_t tex) {
    GLRenderer *r = gl(self);
    GLuint id = tex;
    if (!id) return;
    flushSprites(r);
    glDeleteTextures(1, &id);
    const TextureSize *size = findSize(r, tex);
    if (size) r->sizes[size - r->sizes] = r->sizes[--r->sizeCount];
}

void textureDraw(void *self, uint32_t tex, float x, float y, float w, float h) {
    end(self);
    if (!tex) return;
    flushSprites(gl(self));
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, tex);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(x, y);
    glTexCoord2f(1, 0);
    glVertex2f(x + w, y);
    glTexCoord2f(1, 1);
    glVertex2f(x + w, y + h);
    glTexCoord2f(0, 1);
    glVertex2f(x, y + h);
    glEnd();
    glDisable(GL_TEXTURE_2D);
}

// Every byte of rgba is written, with zeros when the read fails.
bool readPixels(void *self, uint8_t *rgba, int w, int h) {
    if (!rgba || w != gl(self)->w || h != gl(self)->h) return false;
    end(self);
    size_t row = static_cast<size_t>(w) * 4;
    memset(rgba, 0, row * h);
    // Errors that earlier calls left behind are not this read's.
    for (int i = 0; i < 32 && glGetError() != GL_NO_ERROR; i++) continue;
    flushSprites(gl(self));
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    uint8_t *tmp = static_cast<uint8_t *>(malloc(row));
    if (glGetError() != GL_NO_ERROR || !tmp) {
        free(tmp);
        memset(rgba, 0, row * h);
        return false;
    }
    // OpenGL counts rows from the bottom.
    for (int top = 0, bottom = h - 1; top < bottom; top++, bottom--) {
        memcpy(tmp, rgba + top * row, row);
        memcpy(rgba + top * row, rgba + bottom * row, row);
        memcpy(rgba + bottom * row, tmp, row);
    }
    free(tmp);
    return true;
}

// Room for more sprites, up to kBatchSprites; false when there is none.
bool growBatch(SpriteBatch &b) {
    if (!b.indices) {
        b.indices = static_cast<GLushort *>(malloc(6 * kBatchSprites * sizeof(GLushort)));
        if (!b.indices) return false;
        static const int corner[6] = {0, 1, 2, 0, 2, 3};  // two triangles of the quad
        for (size_t i = 0; i < kBatchSprites; i++)
            for (int k = 0; k < 6; k++) b.indices[6 * i + k] = static_cast<GLushort>(4 * i + corner[k]);
    }
    if (b.capacity == kBatchSprites) return false;
    size_t capacity = b.capacity ? b.capacity * 2 : 64;
    if (capacity > kBatchSprites) capacity = kBatchSprites;
    void *vertices = realloc(b.vertices, 4 * capacity * sizeof(SpriteVertex));
    if (vertices) b.vertices = static_cast<SpriteVertex *>(vertices);
    void *color = realloc(b.color, 4 * capacity * 4 * sizeof(float));
    if (color) b.color = static_cast<float *>(color);
    if (!vertices || !color) return false;
    b.capacity = capacity;
    return true;
}

void spriteDraw(void *self, uint32_t tex, const MVSprite *sprites, size_t count) {
    GLRenderer *r = gl(self);
    SpriteBatch &b = r->batch;
    const TextureSize *size = findSize(r, tex);
    if (!size || !sprites) return;
    end(r);  // a primitive still open lies under the sprites
    if (b.texture != tex) flushSprites(r);
    b.texture = tex;
    for (size_t i = 0; i < count; i++) {
        const MVSprite &sp = sprites[i];
        if (sp.sx < 0 || sp.sy < 0 || sp.sw <= 0 || sp.sh <= 0 || sp.sx > size->w - sp.sw || sp.sy > size->h - sp.sh)
            continue;
        if (b.count == b.capacity && !growBatch(b)) {
            flushSprites(r);
            if (b.capacity == 0) return;
        }
        if (b.count == 0)
            memcpy(b.first, r->color, sizeof b.first);
        else if (memcmp(b.first, r->color, sizeof b.first) != 0)
            b.mixed = true;
        float x[4], y[4];
        spriteCorners(sp, x, y);
        // Texture coordinates moved 1/512 texel, so that a pixel centre
        // mapping exactly onto a texel boundary takes the texel right of it
        // and above it on screen (draw.h), whichever way interpolation rounds.
        const double nudgeS = x[1] >= x[0] ? 1.0 / 512 : -1.0 / 512;
        const double nudgeT = y[3] >= y[0] ? -1.0 / 512 : 1.0 / 512;
        float s0 = float((sp.sx + nudgeS) / size->w), s1 = float((sp.sx + sp.sw + nudgeS) / size->w);
        float t0 = float((sp.sy + nudgeT) / size->h), t1 = float((sp.sy + sp.sh + nudgeT) / size->h);
        SpriteVertex *v = b.vertices + 4 * b.count;
        v[0] = {x[0], y[0], s0, t0};
        v[1] = {x[1], y[1], s1, t0};
        v[2] = {x[2], y[2], s1, t1};
        v[3] = {x[3], y[3], s0, t1};
        float *c = b.color + 16 * b.count;
        for (int k = 0; k < 4; k++) memcpy(c + 4 * k, r->color, 4 * sizeof(float));
        b.count++;
    }
}

void flush(void *self) { flushSprites(gl(self)); }

// Sprites still held back go with the renderer: their frame is never shown.
void destroy(void *self) {
    GLRenderer *r = gl(self);
    free(r->batch.vertices);
    free(r->batch.color);
    free(r->batch.indices);
    free(r->sizes);
    free(r->primitive.vertices);
    free(r);
}

MVRenderer *create(int w, int h) {
    const GLubyte *version = glGetString(GL_VERSION);
    if (!version || version[0] < '2' || (version[0] == '2' && version[1] == '.' && version[2] == '0')) return nullptr;
    GLRenderer *r = static_cast<GLRenderer *>(calloc(1, sizeof(GLRenderer)));
    if (!r) return nullptr;
    r->record = {r,           begin,         vertex,         color,       end,        clear,  textureCreate,
                 textureUpdate, textureDestroy, textureDraw, readPixels, destroy, clearColor, spriteDraw, flush};
    r->w = w;
    r->h = h;
    r->color[0] = r->color[1] = r->color[2] = r->color[3] = 1.0f;
    glViewport(0, 0, w, h);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, w, h, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor4f(1, 1, 1, 1);
    return &r->record;
}

const MVPluginRenderer renderer = {create};
const char *error() { return "the context offers no OpenGL 2.1"; }

const MVPlugin plugin = {MV_PLUGIN_ABI, "OpenGL", nullptr, &renderer, nullptr, error, nullptr, nullptr, nullptr};

}  // namespace

extern "C" __attribute__((visibility("default"))) const MVPlugin *mvPluginEntry() { return &plugin; }
