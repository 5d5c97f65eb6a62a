// The "OpenGL" module: a renderer for OpenGL 2.1 contexts (fixed-function
// pipeline), drawing in window pixels with the origin at the top left. It
// runs the front end's command lists: points, lines and triangles arrive cut
// into pieces, sprites in runs from one texture, which are drawn in one
// indexed call per 4,096 sprites.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdlib>
#include <cstring>

#include "core/engine/plugin.h"

namespace {

struct TextureSize {
    GLuint id;
    int w, h;
};

// A sprite corner as OpenGL reads it: position and texture coordinate, interleaved.
struct SpriteVertex {
    float x, y, s, t;
};

// The vertex arrays of one draw call: four corners a sprite, drawn as two
// triangles through a shared index list, with the colour of each corner
// when the sprites differ in colour.
struct SpriteBatch {
    size_t count, capacity;  // sprites
    SpriteVertex *vertices;  // 4 a sprite
    float *color;            // r, g, b, a for each corner
    GLushort *indices;       // 6 a sprite, for kBatchSprites sprites
};

// Sprites per draw call at most; the arrays never grow beyond this, and the
// corners of a batch stay within reach of 16-bit indices.
constexpr size_t kBatchSprites = 4096;
static_assert(4 * kBatchSprites <= 65536, "corner indices are 16 bits");

struct GLRenderer {
    MVRenderer record;
    int w, h;
    int maxTexture;
    TextureSize *sizes;  // of the live textures
    size_t sizeCount;
    SpriteBatch batch;
    GLuint frameTexture;  // the frame copied for scaling to the window; 0: none yet
    uint32_t mode;        // MVBlend
    // Drawing into a copy of a texture's rectangle: a texture of its size
    // behind a framebuffer object, drawn in the frame's orientation.
    bool framebuffers;        // the context has framebuffer objects
    GLuint targetFbo, targetTexture;
    int targetW, targetH;     // of targetTexture
    bool targeting;           // the framebuffer object is bound
    bool drawNothing;         // a target that cannot be drawn into
};

GLRenderer *gl(void *self) { return static_cast<GLRenderer *>(self); }

// Draws the sprites gathered in the batch, in the one colour c or (null) with a colour per corner.
void drawBatch(SpriteBatch &b, GLuint texture, const float *c) {
    if (b.count == 0) return;
    bool white = c && c[0] == 1.0f && c[1] == 1.0f && c[2] == 1.0f && c[3] == 1.0f;
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    if (white) glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);  // texel times 1 is the texel
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(2, GL_FLOAT, sizeof(SpriteVertex), &b.vertices[0].x);
    glTexCoordPointer(2, GL_FLOAT, sizeof(SpriteVertex), &b.vertices[0].s);
    if (!c) {
        glEnableClientState(GL_COLOR_ARRAY);
        glColorPointer(4, GL_FLOAT, 0, b.color);
    } else {
        glColor4fv(c);
    }
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(6 * b.count), GL_UNSIGNED_SHORT, b.indices);
    if (!c) glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    if (white) glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glDisable(GL_TEXTURE_2D);
    b.count = 0;
}

void emit(const MVDrawVertex &v) {
    glColor4f(v.r, v.g, v.b, v.a);
    glVertex2f(v.x, v.y);
}

bool sameColor(const MVDrawVertex &a, const MVDrawVertex &b) {
    return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a;
}

// Every piece goes to OpenGL on its own, so the pieces the front end dropped
// leave no gap in a strip; points and lines take the shift of the pixel rules.
// A line whose ends differ in colour is drawn as the points of its pixels
// (lineWalk) in the colours the rule gives them, where OpenGL's own
// interpolation along a line rounds differently; lines of one colour are
// OpenGL's.
void runPrimitive(const MVPrimitiveCommand &c, const MVDrawVertex *v, int w, int h) {
    static const GLenum modes[] = {GL_POINTS, GL_LINES, GL_TRIANGLES};
    if (c.pieces > MV_PIECES_TRIANGLES) return;
    bool shifted = c.pieces != MV_PIECES_TRIANGLES;
    if (shifted) {
        glPushMatrix();
        glTranslatef(kPointLineShiftX, kPointLineShiftY, 0);
    }
    if (c.pieces != MV_PIECES_LINES) {
        glBegin(modes[c.pieces]);
        for (size_t i = 0; i < c.count; i++) emit(v[i]);
        glEnd();
    } else {
        GLenum open = GL_LINES;
        glBegin(open);
        for (size_t i = 0; i + 1 < c.count; i += 2) {
            GLenum want = sameColor(v[i], v[i + 1]) ? GL_LINES : GL_POINTS;
            if (want != open) {
                glEnd();
                glBegin(open = want);
            }
            if (want == GL_LINES) {
                emit(v[i]);
                emit(v[i + 1]);
                continue;
            }
            lineWalk(v[i], v[i + 1], w, h, [&](int x, int y, float t) {
                float k[4];
                lineColor(v[i], v[i + 1], t, k);
                glColor4fv(k);
                // On the pixel's centre once shifted.
                glVertex2f(float(x) + (0.5f - kPointLineShiftX), float(y) + (0.5f - kPointLineShiftY));
            });
        }
        glEnd();
    }
    if (shifted) glPopMatrix();
}

// The blend equation of a mode (draw.h): OpenGL rounds each product of it
// to 8 bits, as the software renderer does.
void applyBlend(uint32_t mode) {
    if (mode == MV_BLEND_MODE_NONE) {
        glDisable(GL_BLEND);
        return;
    }
    glEnable(GL_BLEND);
    if (mode == MV_BLEND_MODE_ADD)
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    else if (mode == MV_BLEND_MODE_MULTIPLY)
        glBlendFuncSeparate(GL_DST_COLOR, GL_ZERO, GL_ZERO, GL_ONE);
    else
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void clear(const MVClearCommand &c) {
    glClearColor(c.r, c.g, c.b, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

uint32_t textureCreate(void *self, int w, int h) {
    GLRenderer *r = gl(self);
    if (w <= 0 || h <= 0 || w > r->maxTexture || h > r->maxTexture) return 0;
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
    const TextureSize *size = findSize(gl(self), tex);
    if (!size || !rgba || x < 0 || y < 0 || w <= 0 || h <= 0 || x > size->w - w || y > size->h - h) return;
    glBindTexture(GL_TEXTURE_2D, tex);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexSubImage2D(GL_TEXTURE_2D, 0, x, y, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
}

void textureDestroy(void *self, uint32_t tex) {
    GLRenderer *r = gl(self);
    GLuint id = tex;
    if (!id) return;
    glDeleteTextures(1, &id);
    const TextureSize *size = findSize(r, tex);
    if (size) r->sizes[size - r->sizes] = r->sizes[--r->sizeCount];
}

// Every byte of rgba is written, with zeros when the read fails.
bool readPixels(void *self, uint8_t *rgba, int w, int h) {
    GLRenderer *r = gl(self);
    if (r->drawNothing) return false;
    if (!rgba || w != (r->targeting ? r->targetW : r->w) || h != (r->targeting ? r->targetH : r->h)) return false;
    size_t row = static_cast<size_t>(w) * 4;
    memset(rgba, 0, row * h);
    // Errors that earlier calls left behind are not this read's.
    for (int i = 0; i < 32 && glGetError() != GL_NO_ERROR; i++) continue;
    glReadBuffer(r->targeting ? GL_COLOR_ATTACHMENT0 : GL_BACK);
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
// The module sees only the plugin and renderer headers, so it cannot share
// the core's growable array; and a std::vector would throw on a refused
// allocation inside calls made through the renderer's C table, where running
// short must instead draw what the batch holds and go on. Two arrays grow
// together with realloc, each kept when the other's growth is refused.
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

// A sprite command, in draw calls of up to kBatchSprites sprites.
void runSprites(GLRenderer *r, const MVSpriteCommand &c, const MVSprite *sprites, const MVColor *colors) {
    SpriteBatch &b = r->batch;
    const TextureSize *size = findSize(r, c.texture);
    if (!size) return;
    const float *one = c.oneColor ? &colors[0].r : nullptr;
    for (size_t i = 0; i < c.count; i++) {
        const MVSprite &sp = sprites[i];
        if (sp.sx < 0 || sp.sy < 0 || sp.sw <= 0 || sp.sh <= 0 || sp.sx > size->w - sp.sw || sp.sy > size->h - sp.sh)
            continue;
        if (b.count == b.capacity && !growBatch(b)) {
            drawBatch(b, size->id, one);
            if (b.capacity == 0) return;
        }
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
        if (!one) {
            float *k = b.color + 16 * b.count;
            for (int corner = 0; corner < 4; corner++) memcpy(k + 4 * corner, &colors[i], 4 * sizeof(float));
        }
        b.count++;
    }
    drawBatch(b, size->id, one);
}

// The projection that maps w x h frame pixels (origin top left) onto the
// window's bottom left w x h pixels.
void project(int w, int h) {
    glViewport(0, 0, w, h);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, w, h, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
}

void endTarget(GLRenderer *r) {
    if (r->targeting) {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        project(r->w, r->h);
    }
    r->targeting = r->drawNothing = false;
}

// A w x h texture behind the framebuffer object; false when the context
// will not make it.
bool targetSurface(GLRenderer *r, int w, int h) {
    if (r->targetTexture && r->targetW == w && r->targetH == h) return true;
    for (int i = 0; i < 8 && glGetError() != GL_NO_ERROR; i++) continue;
    if (!r->targetFbo) glGenFramebuffers(1, &r->targetFbo);
    if (r->targetTexture) glDeleteTextures(1, &r->targetTexture);
    glGenTextures(1, &r->targetTexture);
    glBindTexture(GL_TEXTURE_2D, r->targetTexture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glBindFramebuffer(GL_FRAMEBUFFER, r->targetFbo);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, r->targetTexture, 0);
    bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    if (glGetError() != GL_NO_ERROR || !complete) {
        glDeleteTextures(1, &r->targetTexture);
        r->targetTexture = 0;
        return false;
    }
    r->targetW = w;
    r->targetH = h;
    return true;
}

// Draws into a copy of the rectangle: the surface gets the rectangle's
// texels, one texel centre on each pixel centre, without blending.
void setTarget(GLRenderer *r, const MVTargetCommand &c) {
    endTarget(r);
    if (c.texture == 0) return;
    r->drawNothing = true;
    const TextureSize *size = findSize(r, c.texture);
    if (!r->framebuffers || !size || c.x < 0 || c.y < 0 || c.w <= 0 || c.h <= 0 || c.x > size->w - c.w ||
        c.y > size->h - c.h || !targetSurface(r, c.w, c.h))
        return;
    glBindFramebuffer(GL_FRAMEBUFFER, r->targetFbo);
    r->targeting = true;
    r->drawNothing = false;
    project(c.w, c.h);
    glDisable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, c.texture);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    float s0 = float(double(c.x) / size->w), s1 = float(double(c.x + c.w) / size->w);
    float t0 = float(double(c.y) / size->h), t1 = float(double(c.y + c.h) / size->h);
    float w = float(c.w), h = float(c.h);
    glBegin(GL_QUADS);
    glTexCoord2f(s0, t0);
    glVertex2f(0, 0);
    glTexCoord2f(s1, t0);
    glVertex2f(w, 0);
    glTexCoord2f(s1, t1);
    glVertex2f(w, h);
    glTexCoord2f(s0, t1);
    glVertex2f(0, h);
    glEnd();
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glDisable(GL_TEXTURE_2D);
    applyBlend(r->mode);
}

void run(void *self, const MVCommandList *list) {
    GLRenderer *r = gl(self);
    for (size_t i = 0; i < list->count; i++) {
        const MVCommand &c = list->commands[i];
        bool drawing = c.kind == MV_COMMAND_CLEAR || c.kind == MV_COMMAND_PRIMITIVE || c.kind == MV_COMMAND_SPRITES;
        if (drawing && r->drawNothing) continue;
        switch (c.kind) {
        case MV_COMMAND_CLEAR:
            clear(c.clear);
            break;
        case MV_COMMAND_PRIMITIVE:
            runPrimitive(c.primitive, list->vertices + c.primitive.first, r->targeting ? r->targetW : r->w,
                         r->targeting ? r->targetH : r->h);
            break;
        case MV_COMMAND_SPRITES:
            runSprites(r, c.sprites, list->sprites + c.sprites.first, list->colors + c.sprites.first);
            break;
        case MV_COMMAND_TEXTURE_UPDATE:
            textureUpdate(r, c.update.texture, c.update.x, c.update.y, c.update.w, c.update.h,
                          list->bytes + c.update.offset);
            break;
        case MV_COMMAND_BLEND:
            r->mode = c.blend.mode <= MV_BLEND_MODE_NONE ? c.blend.mode : MV_BLEND_MODE_ALPHA;
            applyBlend(r->mode);
            break;
        case MV_COMMAND_TARGET:
            setTarget(r, c.target);
            break;
        default:
            break;
        }
    }
}

int maxTextureSize(void *self) { return gl(self)->maxTexture; }

void destroy(void *self) {
    GLRenderer *r = gl(self);
    if (r->frameTexture) glDeleteTextures(1, &r->frameTexture);
    endTarget(r);
    if (r->targetTexture) glDeleteTextures(1, &r->targetTexture);
    if (r->targetFbo) glDeleteFramebuffers(1, &r->targetFbo);
    free(r->batch.vertices);
    free(r->batch.color);
    free(r->batch.indices);
    free(r->sizes);
    free(r);
}

MVRenderer *create(int w, int h) {
    const GLubyte *version = glGetString(GL_VERSION);
    if (!version || version[0] < '2' || (version[0] == '2' && version[1] == '.' && version[2] == '0')) return nullptr;
    GLRenderer *r = static_cast<GLRenderer *>(calloc(1, sizeof(GLRenderer)));
    if (!r) return nullptr;
    r->record = {r, textureCreate, textureUpdate, textureDestroy, run, readPixels, maxTextureSize, destroy};
    r->w = w;
    r->h = h;
    GLint most = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &most);
    r->maxTexture = most > 0 ? most : 64;  // the least every OpenGL implementation offers
    const char *extensions = reinterpret_cast<const char *>(glGetString(GL_EXTENSIONS));
    r->framebuffers = version[0] >= '3' || (extensions && strstr(extensions, "GL_ARB_framebuffer_object"));
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

void resize(MVRenderer *record, int w, int h) {
    GLRenderer *r = gl(record->self);
    endTarget(r);
    r->w = w;
    r->h = h;
    project(w, h);
    if (r->frameTexture) glDeleteTextures(1, &r->frameTexture);
    r->frameTexture = 0;
}

// Copies the frame out of the bottom left corner into a texture and draws
// it back scaled with GL_NEAREST into the letterbox, on black.
void present(MVRenderer *record, int windowW, int windowH, int dx, int dy, int dw, int dh) {
    GLRenderer *r = gl(record->self);
    glEnable(GL_TEXTURE_2D);
    if (!r->frameTexture) {
        glGenTextures(1, &r->frameTexture);
        glBindTexture(GL_TEXTURE_2D, r->frameTexture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, r->w, r->h, 0, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
    }
    glBindTexture(GL_TEXTURE_2D, r->frameTexture);
    glReadBuffer(GL_BACK);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, r->w, r->h);
    GLfloat clearColor[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColor);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(clearColor[0], clearColor[1], clearColor[2], clearColor[3]);
    project(windowW, windowH);
    glDisable(GL_BLEND);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    // Texture rows run bottom up, window rows top down.
    float x0 = static_cast<float>(dx), y0 = static_cast<float>(dy);
    float x1 = static_cast<float>(dx + dw), y1 = static_cast<float>(dy + dh);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 1);
    glVertex2f(x0, y0);
    glTexCoord2f(1, 1);
    glVertex2f(x1, y0);
    glTexCoord2f(1, 0);
    glVertex2f(x1, y1);
    glTexCoord2f(0, 0);
    glVertex2f(x0, y1);
    glEnd();
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    applyBlend(r->mode);
    glDisable(GL_TEXTURE_2D);
    glColor4f(1, 1, 1, 1);
    project(r->w, r->h);
}

const MVPluginRenderer renderer = {create, resize, present};
const char *error() { return "the context offers no OpenGL 2.1"; }

const MVPlugin plugin = {MV_PLUGIN_ABI, "OpenGL", nullptr, &renderer, nullptr, error, nullptr, nullptr, nullptr};

}  // namespace

extern "C" __attribute__((visibility("default"))) const MVPlugin *mvPluginEntry() { return &plugin; }
