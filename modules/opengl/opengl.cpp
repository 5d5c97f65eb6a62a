// The "OpenGL" module: a renderer for OpenGL 2.1 contexts (fixed-function
// pipeline, immediate mode), drawing in window pixels with the origin at the
// top left.
#include <GL/gl.h>

#include <cstdlib>
#include <cstring>

#include <morven/draw.h>

#include "core/platform/plugin.h"

namespace {

struct GLRenderer {
    MVRenderer record;
    int w, h;
    bool drawing;  // inside glBegin/glEnd
};

GLRenderer *gl(void *self) { return static_cast<GLRenderer *>(self); }

void begin(void *self, int mode) {
    static const GLenum modes[] = {GL_POINTS,    GL_LINES,          GL_LINE_LOOP,      GL_LINE_STRIP,
                                   GL_TRIANGLES, GL_TRIANGLE_STRIP, GL_TRIANGLE_FAN};
    if (mode < MV_DRAW_POINTS || mode > MV_DRAW_TRIANGLE_FAN || gl(self)->drawing) return;
    glBegin(modes[mode]);
    gl(self)->drawing = true;
}

void vertex(void *self, float x, float y) {
    if (gl(self)->drawing) glVertex2f(x, y);
}

void color(void *, float r, float g, float b, float a) { glColor4f(r, g, b, a); }

void end(void *self) {
    if (!gl(self)->drawing) return;
    glEnd();
    gl(self)->drawing = false;
}

void clear(void *) { glClear(GL_COLOR_BUFFER_BIT); }

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

void textureDraw(void *, uint32_t tex, float x, float y, float w, float h) {
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

bool readPixels(void *self, uint8_t *rgba, int w, int h) {
    if (!rgba || w != gl(self)->w || h != gl(self)->h) return false;
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    if (glGetError() != GL_NO_ERROR) return false;
    // OpenGL counts rows from the bottom.
    size_t row = static_cast<size_t>(w) * 4;
    uint8_t *tmp = static_cast<uint8_t *>(malloc(row));
    if (!tmp) return false;
    for (int top = 0, bottom = h - 1; top < bottom; top++, bottom--) {
        memcpy(tmp, rgba + top * row, row);
        memcpy(rgba + top * row, rgba + bottom * row, row);
        memcpy(rgba + bottom * row, tmp, row);
    }
    free(tmp);
    return true;
}

void destroy(void *self) { free(self); }

MVRenderer *create(int w, int h) {
    const GLubyte *version = glGetString(GL_VERSION);
    if (!version || version[0] < '2' || (version[0] == '2' && version[1] == '.' && version[2] == '0')) return nullptr;
    GLRenderer *r = static_cast<GLRenderer *>(calloc(1, sizeof(GLRenderer)));
    if (!r) return nullptr;
    r->record = {r,           begin,         vertex,         color,       end,        clear,  textureCreate,
                 textureUpdate, textureDestroy, textureDraw, readPixels, destroy};
    r->w = w;
    r->h = h;
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

const MVPlugin plugin = {MV_PLUGIN_ABI, "OpenGL", nullptr, &renderer, nullptr, error};

}  // namespace

extern "C" __attribute__((visibility("default"))) const MVPlugin *mvPluginEntry() { return &plugin; }
