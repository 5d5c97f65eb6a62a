// Text and shapes on the software renderer, headless at 640 x 480:
// - TrueTypeGlyphs: a frame of 10,000 glyphs of DejaVu Sans at 16 pixels
//   (250 lines of 40 characters over the window), presented and cleared,
//   tinted (/0) and white (/1);
// - rectangles (16 x 16) and circles (radius 8), translucent, 1,000 a
//   round, beside SDL2's software renderer doing the same: SDL_RenderFillRect,
//   and a circle as SDL_RenderGeometry triangles with as many sides as
//   MORVEN gives that radius (13). Items per second / 1000 = per millisecond.
// The MORVEN and SDL cases alternate in the order they run.
#include <benchmark/benchmark.h>
#include <morven/draw.h>
#include <morven/engine.h>
#include <morven/error.h>
#include <morven/font.h>
#include <morven/window.h>

#include <cmath>
#include <cstdlib>
#include <vector>

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

// state.range(0): 1 draws the text in white (texels as they are), 0 tinted.
void TrueTypeGlyphs(benchmark::State &state) {
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
BENCHMARK(TrueTypeGlyphs)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void MorvenRects(benchmark::State &state) {
    if (!openHeadless(state)) return;
    for (auto _ : state) {
        mvDrawColor4f(0.9f, 0.3f, 0.2f, 0.5f);
        for (int i = 0; i < kShapes; i++) mvDrawRect(shapeX(i), shapeY(i), 16, 16);
        mvWindowSwapBuffers();  // the frame is drawn by the time it is presented
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kShapes);
    mvDeinit();
}

void MorvenCircles(benchmark::State &state) {
    if (!openHeadless(state)) return;
    for (auto _ : state) {
        mvDrawColor4f(0.2f, 0.4f, 0.9f, 0.5f);
        for (int i = 0; i < kShapes; i++) mvDrawCircle(shapeX(i) + 8, shapeY(i) + 8, 8);
        mvWindowSwapBuffers();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kShapes);
    mvDeinit();
}

#ifdef MORVEN_BENCH_SDL
// SDL2's software renderer on a 640 x 480 RGBA surface, blending on.
struct SdlTarget {
    SDL_Surface *surface = SDL_CreateRGBSurfaceWithFormat(0, W, H, 32, SDL_PIXELFORMAT_RGBA32);
    SDL_Renderer *renderer = surface ? SDL_CreateSoftwareRenderer(surface) : nullptr;
    ~SdlTarget() {
        if (renderer) SDL_DestroyRenderer(renderer);
        if (surface) SDL_FreeSurface(surface);
    }
};

void SdlRects(benchmark::State &state) {
    SdlTarget t;
    if (!t.renderer) {
        state.SkipWithError(SDL_GetError());
        return;
    }
    SDL_SetRenderDrawBlendMode(t.renderer, SDL_BLENDMODE_BLEND);
    for (auto _ : state) {
        SDL_SetRenderDrawColor(t.renderer, 230, 77, 51, 128);
        for (int i = 0; i < kShapes; i++) {
            SDL_FRect r = {shapeX(i), shapeY(i), 16, 16};
            SDL_RenderFillRectF(t.renderer, &r);
        }
        SDL_RenderFlush(t.renderer);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kShapes);
}

void SdlCircles(benchmark::State &state) {
    SdlTarget t;
    if (!t.renderer) {
        state.SkipWithError(SDL_GetError());
        return;
    }
    constexpr int sides = 13;
    std::vector<SDL_Vertex> vertices(size_t(3) * sides * kShapes);
    SDL_Color colour = {51, 102, 230, 128};
    for (auto _ : state) {
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
        SDL_RenderGeometry(t.renderer, nullptr, vertices.data(), int(vertices.size()), nullptr, 0);
        SDL_RenderFlush(t.renderer);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kShapes);
}
#endif

// MORVEN first for rectangles, SDL first for circles.
BENCHMARK(MorvenRects)->Unit(benchmark::kMicrosecond);
#ifdef MORVEN_BENCH_SDL
BENCHMARK(SdlRects)->Unit(benchmark::kMicrosecond);
BENCHMARK(SdlCircles)->Unit(benchmark::kMicrosecond);
#endif
BENCHMARK(MorvenCircles)->Unit(benchmark::kMicrosecond);

}  // namespace
