// The "OpenGL" module: a renderer for OpenGL 2.1 contexts (fixed-function
// pipeline, immediate mode), drawing in window pixels with the origin at the
// top left.
// Primitives are collected and handed to OpenGL whole when they end, so the
// context is never left inside glBegin: clearing, presenting, reading back
// and texture calls are always valid, and an unclosed primitive is drawn by
// the same rule as in the software renderer (draw.h).
#include <GL/gl.h>

#include <cstdlib>
#include <cstring>

#include <morven/draw.h>

#include "core/platform/plugin.h"
#include "core/render/primitive.h"

namespace {

struct GLRenderer {
    MVRenderer record;
    int w, h;
    float color[4];
    bool open;  // between mvDrawBegin and the end of the primitive
    int mode;
    MVDrawVertex *vertices;
    size_t count, capacity;
};

GLRenderer *gl(void *self) { return static_cast<GLRenderer *>(self); }

void emit(const MVDrawVertex &v) {
    glColor4f(v.r, v.g, v.b, v.a);
    glVertex2f(v.x, v.y);
}

// Draws the open primitive, if any, and closes it. Every piece goes to
// OpenGL on its own, so the pieces the assembly drops leave no gap in a
// strip; points and lines take the shift of the pixel rules.
void end(void *self) {
    GLRenderer *r = gl(self);
    if (!r->open) return;
    r->open = false;
    bool shifted = r->mode == MV_DRAW_POINTS || r->mode == MV_DRAW_LINES || r->mode == MV_DRAW_LINE_LOOP ||
                   r->mode == MV_DRAW_LINE_STRIP;
    if (shifted) {
        glPushMatrix();
        glTranslatef(kMVPointLineShiftX, kMVPointLineShiftY, 0);
    }
    glBegin(r->mode == MV_DRAW_POINTS ? GL_POINTS : shifted ? GL_LINES : GL_TRIANGLES);
    mvAssemblePrimitive(
        r->mode, r->vertices, r->count, [](const MVDrawVertex &v) { emit(v); },
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
    r->count = 0;
}

void begin(void *self, int mode) {
    GLRenderer *r = gl(self);
    end(r);
    r->open = mvDrawModeKnown(mode);
    r->mode = mode;
    r->count = 0;
}

void vertex(void *self, float x, float y) {
    GLRenderer *r = gl(self);
    if (!r->open) return;
    if (r->count == r->capacity) {
        size_t capacity = r->capacity ? r->capacity * 2 : 64;
        void *grown = realloc(r->vertices, capacity * sizeof(MVDrawVertex));
        if (!grown) return;
        r->vertices = static_cast<MVDrawVertex *>(grown);
        r->capacity = capacity;
    }
    r->vertices[r->count++] = {x, y, r->color[0], r->color[1], r->color[2], r->color[3]};
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
    glClear(GL_COLOR_BUFFER_BIT);
}

void clearColor(void *, float r, float g, float b) { glClearColor(r, g, b, 1.0f); }

uint32_t textureCreate(void *, int w, int h) {
    if (w <= 0 || h <= 0) return 0;
    void *zero = calloc(static_cast<size_t>(w) * h, 4);
    if (!zero) return 0;
    GLuint tex = 0;
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
    return tex;
}

void textureUpdate(void *, uint32_t tex, int x, int y, int w, int h, const uint8_t *rgba) {
    if (!tex || !rgba || w <= 0 || h <= 0) return;
    glBindTexture(GL_TEXTURE_2D, tex);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexSubImage2D(GL_TEXTURE_2D, 0, x, y, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
}

void textureDestroy(void *, uint32_t tex) {
    GLuint id = tex;
    if (id) glDeleteTextures(1, &id);
}

void textureDraw(void *self, uint32_t tex, float x, float y, float w, float h) {
    end(self);
    if (!tex) return;
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

void destroy(void *self) {
    free(gl(self)->vertices);
    free(self);
}

MVRenderer *create(int w, int h) {
    const GLubyte *version = glGetString(GL_VERSION);
    if (!version || version[0] < '2' || (version[0] == '2' && version[1] == '.' && version[2] == '0')) return nullptr;
    GLRenderer *r = static_cast<GLRenderer *>(calloc(1, sizeof(GLRenderer)));
    if (!r) return nullptr;
    r->record = {r,           begin,         vertex,         color,       end,        clear,  textureCreate,
                 textureUpdate, textureDestroy, textureDraw, readPixels, destroy, clearColor};
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
const MVPlugin plugin = {MV_PLUGIN_ABI, "OpenGL", nullptr, &renderer, nullptr};

}  // namespace

extern "C" __attribute__((visibility("default"))) const MVPlugin *mvPluginEntry() { return &plugin; }
