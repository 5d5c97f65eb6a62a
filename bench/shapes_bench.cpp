// Text and shapes on the software renderer, headless at 640 x 480:
// - TrueTypeGlyphs: a frame of 10,000 glyphs of DejaVu Sans at 16 pixels
//   (250 lines of 40 characters over the window), presented and cleared,
//   tinted (/0) and white (/1), wall clock with the renderer's threads and
//   CPU time on the engine's thread alone;
// - ShapesBesideSdl: rectangles (16 x 16, /0) and circles (radius 8, /1),
//   translucent, 1,000 a round, beside SDL2's software renderer doing the
//   same (SDL_RenderFillRectF; a circle as SDL_RenderGeometry triangles with
//   as many sides as MORVEN gives that radius, 13), side by side in one run
//   with the order alternating per round, thread CPU time.
#include <benchmark/benchmark.h>
#include <morven/draw.h>
#include <morven/engine.h>
#include <morven/error.h>
#include <morven/font.h>
#include <morven/window.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "side_by_side.h"

#ifdef MORVEN_BENCH_SDL
#include <SDL.h>
#endif

namespace {

constexpr int W = 640, H = 480, kShapes = 1000;
constexpr const char *kFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// Where the i-th shape of a round goes: spread over the window.
float shapeX(int i) { return float((i * 37) % (W - 16)); }
float shapeY(int i) { return float((i * 53) % (H - 16)); }

bool openHeadless(benchmark::State &state) {
    unsetenv("MORVEN_SCREENSHOT");
    mvInit(0);  // no SDL module: headless, the software renderer
    if (!mvWindowOpen(W, H, 32, 0)) {
        state.SkipWithError("no window");
        return false;
    }
    return true;
}

// state.range(0): 1 draws the text in white (texels as they are), 0 tinted;
// state.range(1): the renderer's threads (0: its own choice).
void TrueTypeGlyphs(benchmark::State &state) {
    if (state.range(1))
        setenv("MORVEN_THREADS", std::to_string(state.range(1)).c_str(), 1);
    else
        unsetenv("MORVEN_THREADS");
#ifdef MORVEN_BENCH_MODULE_DIR
    setenv("MORVEN_MODULE_PATH", MORVEN_BENCH_MODULE_DIR, 1);
#endif
    if (!openHeadless(state)) return;
    MVFont *font = mvFontLoad(kFont, 16);
    if (!font) {
        state.SkipWithError(mvGetError());
        mvDeinit();
        return;
    }
    const char *line = "The quick brown fox jumps over a lazy do";  // 40 glyphs
    for (auto _ : state) {
        if (state.range(0))
            mvDrawColor1f(1.0f);
        else
            mvDrawColor3f(1.0f, 0.9f, 0.6f);
        for (int i = 0; i < 250; i++) mvFontDraw(font, float((i % 2) * 300), float((i * 19) % (H - 16)), line);
        mvWindowSwapBuffers();
        mvDrawClear();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * 10000);
    mvFontFree(font);
    mvDeinit();
}
// Wall-clock time with the renderer's own threads (what a frame takes), and
// thread CPU time with the engine's thread alone.
BENCHMARK(TrueTypeGlyphs)->Name("TrueTypeGlyphs")->Args({0, 0})->Args({1, 0})->UseRealTime()->Unit(
    benchmark::kMicrosecond);
BENCHMARK(TrueTypeGlyphs)->Name("TrueTypeGlyphsOneThread")->Args({0, 1})->Args({1, 1})->MeasureProcessCPUTime()->Unit(
    benchmark::kMicrosecond);

// One round of MORVEN's shapes, drawn and flushed.
void morvenRects() {
    mvDrawColor4f(0.9f, 0.3f, 0.2f, 0.5f);
    for (int i = 0; i < kShapes; i++) mvDrawRect(shapeX(i), shapeY(i), 16, 16);
    mvWindowSwapBuffers();  // the frame is drawn by the time it is presented
}

void morvenCircles() {
    mvDrawColor4f(0.2f, 0.4f, 0.9f, 0.5f);
    for (int i = 0; i < kShapes; i++) mvDrawCircle(shapeX(i) + 8, shapeY(i) + 8, 8);
    mvWindowSwapBuffers();
}

#ifdef MORVEN_BENCH_SDL
// SDL2's software renderer on a 640 x 480 RGBA surface, blending on.
struct SdlTarget {
    SDL_Surface *surface = SDL_CreateRGBSurfaceWithFormat(0, W, H, 32, SDL_PIXELFORMAT_RGBA32);
    SDL_Renderer *renderer = surface ? SDL_CreateSoftwareRenderer(surface) : nullptr;
    std::vector<SDL_Vertex> vertices;
    SdlTarget() {
        if (renderer) SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_BLEND);
    }
    ~SdlTarget() {
        if (renderer) SDL_DestroyRenderer(renderer);
        if (surface) SDL_FreeSurface(surface);
    }
    void rects() {
        SDL_SetRenderDrawColor(renderer, 230, 77, 51, 128);
        for (int i = 0; i < kShapes; i++) {
            SDL_FRect r = {shapeX(i), shapeY(i), 16, 16};
            SDL_RenderFillRectF(renderer, &r);
        }
        SDL_RenderFlush(renderer);
    }
    // A circle as triangles from its centre, as many sides as MORVEN gives it.
    void circles() {
        constexpr int sides = 13;
        vertices.resize(size_t(3) * sides * kShapes);
        SDL_Color colour = {51, 102, 230, 128};
        SDL_Vertex *v = vertices.data();
        for (int i = 0; i < kShapes; i++) {
            float cx = shapeX(i) + 8, cy = shapeY(i) + 8;
            for (int k = 0; k < sides; k++) {
                double a0 = 2 * M_PI * k / sides, a1 = 2 * M_PI * (k + 1) / sides;
                *v++ = {{cx, cy}, colour, {0, 0}};
                *v++ = {{cx + 8 * float(std::cos(a0)), cy + 8 * float(std::sin(a0))}, colour, {0, 0}};
                *v++ = {{cx + 8 * float(std::cos(a1)), cy + 8 * float(std::sin(a1))}, colour, {0, 0}};
            }
        }
        SDL_RenderGeometry(renderer, nullptr, vertices.data(), int(vertices.size()), nullptr, 0);
        SDL_RenderFlush(renderer);
    }
};

// state.range(0): 0 rectangles, 1 circles. Both sides on this thread, side
// by side; the figures are microseconds a round of 1,000 shapes.
void ShapesBesideSdl(benchmark::State &state) {
    SdlTarget sdl;
    if (!sdl.renderer) {
        state.SkipWithError(SDL_GetError());
        return;
    }
    if (!openHeadless(state)) return;
    bool circles = state.range(0) == 1;
    sideBySide::Samples samples;
    for (auto _ : state)
        samples.take([&] { circles ? morvenCircles() : morvenRects(); },
                     [&] { circles ? sdl.circles() : sdl.rects(); });
    samples.report(state, 1e6);
    mvDeinit();
}
BENCHMARK(ShapesBesideSdl)->Arg(0)->Arg(1)->Iterations(101)->Unit(benchmark::kMicrosecond);
#endif

}  // namespace
