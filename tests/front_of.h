// Front ends for renderers a test drives by hand: frontOf(r) records for r,
// so that tests draw on several renderers side by side the way the drawing
// calls do on the window's. Header-only.
#ifndef MORVEN_TESTS_FRONT_OF_H
#define MORVEN_TESTS_FRONT_OF_H

#include <map>
#include <memory>

#include "core/render/frontend.h"

inline std::map<MVRenderer *, std::unique_ptr<FrontEnd>> &frontEnds() {
    static std::map<MVRenderer *, std::unique_ptr<FrontEnd>> all;
    return all;
}

// The drawing calls' front end when r is installed there, else one kept for r.
inline FrontEnd &frontOf(MVRenderer *r) {
    if (frontEnd().renderer() == r) return frontEnd();
    std::unique_ptr<FrontEnd> &f = frontEnds()[r];
    if (!f) f.reset(new FrontEnd(r));
    return *f;
}

// Destroys r and forgets its front end, with whatever it had not run.
inline void destroyRenderer(MVRenderer *r) {
    frontEnds().erase(r);
    r->destroy(r->self);
}

// Draws the whole texture tex (tw x th) at (x, y), w x h pixels, as a sprite.
inline void drawWhole(FrontEnd &f, uint32_t tex, int tw, int th, float x, float y, float w, float h) {
    MVSprite s = {0, 0, tw, th, x + w * 0.5f, y + h * 0.5f, w, h, 0.0f};
    f.sprites(tex, &s, 1);
}

#endif
