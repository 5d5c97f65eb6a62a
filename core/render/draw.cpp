// Immediate-mode drawing calls, recorded by the front end.
#include <morven/draw.h>

#include "core/base/engine_thread.h"
#include "core/render/frame_size.h"
#include "core/render/frontend.h"

namespace {

int frameWidth, frameHeight;  // 0 x 0: unknown

}  // namespace

void drawSetFrameSize(int w, int h) {
    bool known = w > 0 && h > 0;
    frameWidth = known ? w : 0;
    frameHeight = known ? h : 0;
}

bool drawFrameSize(int *w, int *h) {
    *w = frameWidth;
    *h = frameHeight;
    return frameWidth > 0;
}

extern "C" {

MV_API void mvDrawBegin(int mode) { engineThreadCheck(__func__); frontEnd().begin(mode); }
MV_API void mvDrawVertex2f(float x, float y) { engineThreadCheck(__func__); frontEnd().vertex(x, y); }
MV_API void mvDrawEnd(void) { engineThreadCheck(__func__); frontEnd().end(); }
MV_API void mvDrawColor1f(float grey) { engineThreadCheck(__func__); frontEnd().color(grey, grey, grey, 1.0f); }
MV_API void mvDrawColor2f(float grey, float alpha) { engineThreadCheck(__func__); frontEnd().color(grey, grey, grey, alpha); }
MV_API void mvDrawColor3f(float r, float g, float b) { engineThreadCheck(__func__); frontEnd().color(r, g, b, 1.0f); }
MV_API void mvDrawColor4f(float r, float g, float b, float a) { engineThreadCheck(__func__); frontEnd().color(r, g, b, a); }
MV_API void mvDrawClear(void) { engineThreadCheck(__func__); frontEnd().clear(); }
MV_API void mvDrawClearColor(float r, float g, float b) { engineThreadCheck(__func__); frontEnd().clearColor(r, g, b); }

}
