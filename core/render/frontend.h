// The renderer front end: the drawing calls, the atlas, text and trails
// record what they draw here, as an ordered list of commands
// (core/render/renderer.h) that a renderer runs whole. The front end alone
// keeps the drawing state (colour, clear colour), cuts primitives into
// pieces, clamps colours and gathers sprites into batches; renderers only
// run commands and keep textures.
#ifndef MORVEN_CORE_RENDER_FRONTEND_H
#define MORVEN_CORE_RENDER_FRONTEND_H

#include <cstddef>
#include <cstdint>

#include "core/containers/growable.h"
#include "core/render/renderer.h"

class FrontEnd {
public:
    // Records for r; null stands for the do-nothing renderer.
    explicit FrontEnd(MVRenderer *r = nullptr);
    ~FrontEnd();
    FrontEnd(const FrontEnd &) = delete;
    FrontEnd &operator=(const FrontEnd &) = delete;

    // The renderer the commands go to; never null.
    MVRenderer *renderer() const { return renderer_; }
    // Ends the open primitive and runs what is recorded on the present
    // renderer, then records for r (null: the do-nothing renderer) with a
    // white colour, blending "source over" into the frame, as a new renderer
    // starts. Returns the previous one.
    MVRenderer *install(MVRenderer *r);

    // A primitive: vertices between begin and the end take the colour of the
    // moment. A begin, any other command and submit end the open primitive;
    // with an unknown mode the vertices are dropped. When memory runs out
    // the primitive is drawn whole or not at all (with a reason), never
    // with a vertex missing.
    void begin(int mode);
    void vertex(float x, float y);
    void end();

    // Components are clamped to 0..1 here, NaN becoming 0.
    void color(float r, float g, float b, float a);
    void clearColor(float r, float g, float b);
    void clear();
    // The blend mode (MVBlend) of what is drawn from now on; recorded when it
    // changes, ending the open primitive.
    void blend(uint32_t mode);
    uint32_t blendMode() const { return blend_; }
    // Where what follows is drawn: the w x h pixels at (x, y) of texture tex,
    // or (tex 0) the frame.
    void target(uint32_t tex, int x, int y, int w, int h);

    // Sprites of texture tex (not 0) in the colour of the moment; those
    // following each other from one texture make one command.
    void sprites(uint32_t tex, const MVSprite *sprites, size_t count);

    uint32_t textureCreate(int w, int h);
    // Recorded with a copy of the pixels, so the update lands between the
    // commands before and after it.
    void textureUpdate(uint32_t tex, int x, int y, int w, int h, const uint8_t *rgba);
    // Runs what is recorded first: it may draw from the texture.
    void textureDestroy(uint32_t tex);
    int maxTextureSize();

    // Ends the open primitive and hands everything recorded to the renderer.
    void submit();
    // Submits, then copies the frame into rgba (w * h * 4 bytes, top row first).
    bool readPixels(uint8_t *rgba, int w, int h);

    // What is recorded and not yet run (valid until the next call).
    MVCommandList pending() const;
    // Back to a white colour, a black clear colour and "source over".
    void resetState();

private:
    bool record(const MVCommand &c);
    void run();
    void runAlone(const MVCommand &c, const MVSprite *sprites, const MVColor *colors);
    void runWhenFull();

    MVRenderer *renderer_;
    MVColor color_;
    uint32_t blend_;
    float clear_[3];
    // The open primitive: the vertices as given, cut into pieces at its end.
    bool open_;
    int mode_;
    Growable<MVDrawVertex> primitive_;
    // The list.
    Growable<MVCommand> commands_;
    Growable<MVDrawVertex> vertices_;
    Growable<MVSprite> sprites_;
    Growable<MVColor> colors_;
    Growable<uint8_t> bytes_;
};

// The largest texture side of the drawing calls' renderer, 0 without a
// window; any thread may ask (it is set when a renderer is installed).
int rendererTextureLimit();

// The front end of the drawing calls; its renderer is the window's, or the
// do-nothing one without a window. Engine thread only.
FrontEnd &frontEnd();

#endif
