// 10,000 sprites of 32 x 32 pixels a frame at 640 x 480, at random positions
// and angles, all from one atlas. On the software renderer (headless) and,
// where there is a display, on OpenGL through the "SDL" and "OpenGL" modules
// (run it under xvfb-run for Mesa's software OpenGL).
//
// What a frame counts: clearing, handing over the 10,000 sprites, flushing
// the sprites held back, and on OpenGL waiting with glFinish until the
// driver has drawn them all; nothing is read back. Presenting the frame
// (mvWindowSwapBuffers) happens after each one with the clock stopped, so a
// wait for the display's refresh never counts. "Time" is wall-clock time; "CPU" is
// the CPU time of the whole process, so an OpenGL driver drawing on threads of
// its own (Mesa's llvmpipe) is counted in full. Before timing, one frame is
// read back to make sure the sprites really reach the pixels: a frame that
// draws nothing would time only the clear.
#include <benchmark/benchmark.h>
#include <morven/atlas.h>
#include <morven/draw.h>
#include <morven/engine.h>
#include <morven/window.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#ifdef MORVEN_BENCH_GL
#include <GL/gl.h>
#endif
#ifdef MORVEN_BENCH_SDL  // SDL2's software renderer as the peer
#include <SDL.h>
#endif

#include "core/engine/engine_state.h"
#include "core/render/renderer.h"
#include "core/render/frontend.h"
#include "core/render/soft_renderer.h"
#include "side_by_side.h"

namespace {

constexpr int kSprites = 10000, kSize = 32, kWidth = 640, kHeight = 480;

struct Placement {
    float x, y, angle;
};

// A ball: opaque inside, a translucent rim one pixel wide, clear outside.
std::vector<unsigned char> ballImage() {
    std::vector<unsigned char> rgba(kSize * kSize * 4);
    for (int j = 0; j < kSize; j++)
        for (int i = 0; i < kSize; i++) {
            float dx = i + 0.5f - kSize / 2.0f, dy = j + 0.5f - kSize / 2.0f;
            float edge = kSize / 2.0f - std::sqrt(dx * dx + dy * dy);
            unsigned char *p = &rgba[4 * (j * kSize + i)];
            p[0] = static_cast<unsigned char>(120 + 4 * i);
            p[1] = static_cast<unsigned char>(60 + 6 * j);
            p[2] = 200;
            p[3] = edge >= 1 ? 255 : edge <= 0 ? 0 : static_cast<unsigned char>(edge * 255);
        }
    return rgba;
}

// The share of the frame's pixels that differ from the black clear colour.
double coveredShare(const std::vector<unsigned char> &rgba) {
    size_t covered = 0;
    for (size_t i = 0; i < rgba.size(); i += 4) covered += (rgba[i] | rgba[i + 1] | rgba[i + 2]) != 0;
    return static_cast<double>(covered) / static_cast<double>(rgba.size() / 4);
}

// threads: how many threads the software renderer may draw sprites on (0: its own choice).
void SpriteFrame(benchmark::State &state, bool gl, unsigned threads = 0) {
    unsetenv("MORVEN_SCREENSHOT");
    unsetenv("MORVEN_MAX_FRAMES");
    if (gl) {
        if (!getenv("MORVEN_MODULE_PATH")) setenv("MORVEN_MODULE_PATH", MORVEN_BENCH_MODULE_DIR, 1);
        mvLoadModule("SDL");
        mvLoadModule("OpenGL");
    }
    mvInit(0);
    if (!mvWindowOpen(kWidth, kHeight, 32, 0) || engineState().gl != gl) {
        state.SkipWithError(gl ? "no OpenGL window" : "no window");
        mvDeinit();
        return;
    }
    if (threads) softRendererSetThreads(engineState().renderer, threads);
    MVAtlas *atlas = mvAtlasCreate(256, 256, 32);
    std::vector<unsigned char> pixels = ballImage();
    MVImage image = {kSize, kSize, pixels.data()};
    const MVAtlasArea *area = mvAtlasAreaFromImage(atlas, &image, 1);
    std::mt19937 random(12345);
    std::uniform_real_distribution<float> across(0, kWidth), down(0, kHeight), turn(-3.14159f, 3.14159f);
    std::vector<Placement> sprites(kSprites);
    for (Placement &p : sprites) p = {across(random), down(random), turn(random)};
    mvDrawColor1f(1);
    auto frame = [&] {
        mvDrawClear();
        for (const Placement &p : sprites) mvAtlasDrawArea(atlas, area, p.x, p.y, kSize, kSize, p.angle);
        frontEnd().submit();
#ifdef MORVEN_BENCH_GL
        if (gl) glFinish();
#endif
    };
    frame();
    std::vector<unsigned char> shown(4 * kWidth * kHeight);
    if (!frontEnd().readPixels(shown.data(), kWidth, kHeight) || coveredShare(shown) < 0.9) {
        state.SkipWithError("the sprites did not reach the frame");
        mvAtlasDestroy(atlas);
        mvDeinit();
        return;
    }
    mvWindowSwapBuffers();
    for (auto _ : state) {
        frame();
        state.PauseTiming();
        mvWindowSwapBuffers();
        state.ResumeTiming();
    }
    state.counters["sprites"] = kSprites;
    mvAtlasDestroy(atlas);
    mvDeinit();
}

void SoftwareSprites10k(benchmark::State &state) { SpriteFrame(state, false); }
BENCHMARK(SoftwareSprites10k)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

// The same on the engine's thread alone.
void SoftwareSprites10kOneThread(benchmark::State &state) { SpriteFrame(state, false, 1); }
BENCHMARK(SoftwareSprites10kOneThread)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

#ifdef MORVEN_BENCH_SDL
// Sprites of 32 x 32 pixels at random positions, upright or turned, drawn
// into a 640 x 480 RGBA frame by the software renderer on the engine's
// thread alone, and by SDL2's software renderer (SDL_CreateSoftwareRenderer
// on a surface of the same format, the texture blended) side by side. A
// sample is one frame of each: clearing, handing over every sprite and
// flushing; the times are thread CPU time, per frame.
void SpritesBesideSdl(benchmark::State &state, int count, bool turned) {
    unsetenv("MORVEN_SCREENSHOT");
    unsetenv("MORVEN_MAX_FRAMES");
    mvInit(0);
    if (!mvWindowOpen(kWidth, kHeight, 32, 0) || engineState().gl) {
        state.SkipWithError("no window");
        mvDeinit();
        return;
    }
    MVRenderer *renderer = engineState().renderer;
    softRendererSetThreads(renderer, 1);
    MVAtlas *atlas = mvAtlasCreate(256, 256, 32);
    std::vector<unsigned char> pixels = ballImage();
    MVImage image = {kSize, kSize, pixels.data()};
    const MVAtlasArea *area = mvAtlasAreaFromImage(atlas, &image, 1);

    SDL_Surface *target = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 32, SDL_PIXELFORMAT_RGBA32);
    SDL_Renderer *sdl = target ? SDL_CreateSoftwareRenderer(target) : nullptr;
    SDL_Texture *ball = sdl ? SDL_CreateTexture(sdl, SDL_PIXELFORMAT_RGBA32, SDL_TEXTUREACCESS_STATIC, kSize, kSize)
                            : nullptr;
    if (!ball || SDL_UpdateTexture(ball, nullptr, pixels.data(), 4 * kSize) != 0 ||
        SDL_SetTextureBlendMode(ball, SDL_BLENDMODE_BLEND) != 0) {
        state.SkipWithError(SDL_GetError());
    } else {
        std::mt19937 random(12345);
        std::uniform_real_distribution<float> across(0, kWidth), down(0, kHeight), turn(-3.14159f, 3.14159f);
        std::vector<Placement> sprites(static_cast<size_t>(count));
        for (Placement &p : sprites) p = {across(random), down(random), turned ? turn(random) : 0.0f};
        mvDrawColor1f(1);
        auto ours = [&] {
            mvDrawClear();
            for (const Placement &p : sprites) mvAtlasDrawArea(atlas, area, p.x, p.y, kSize, kSize, p.angle);
            frontEnd().submit();
        };
        auto peer = [&] {
            SDL_SetRenderDrawColor(sdl, 0, 0, 0, 255);
            SDL_RenderClear(sdl);
            for (const Placement &p : sprites) {
                // The engine draws a sprite around its position; so does this.
                SDL_FRect to = {p.x - kSize / 2.0f, p.y - kSize / 2.0f, float(kSize), float(kSize)};
                if (turned)
                    SDL_RenderCopyExF(sdl, ball, nullptr, &to, p.angle * 57.29578f, nullptr, SDL_FLIP_NONE);
                else
                    SDL_RenderCopyF(sdl, ball, nullptr, &to);
            }
            SDL_RenderFlush(sdl);
        };
        ours();
        peer();
        std::vector<unsigned char> shown(4 * kWidth * kHeight);
        double want = count >= kSprites ? 0.9 : 0.05;
        std::vector<unsigned char> peerShown(static_cast<unsigned char *>(target->pixels),
                                             static_cast<unsigned char *>(target->pixels) + shown.size());
        if (!frontEnd().readPixels(shown.data(), kWidth, kHeight) || coveredShare(shown) < want ||
            coveredShare(peerShown) < want) {
            state.SkipWithError("the sprites did not reach the frame");
        } else {
            sideBySide::Samples samples;
            for (auto _ : state) samples.take(ours, peer);
            samples.report(state, 1e3);
        }
    }
    if (ball) SDL_DestroyTexture(ball);
    if (sdl) SDL_DestroyRenderer(sdl);
    SDL_FreeSurface(target);
    mvAtlasDestroy(atlas);
    mvDeinit();
}

const bool sdlRegistered = [] {
    for (bool turned : {false, true})
        for (int count : {1000, 10000}) {
            std::string name = std::string("SpritesBesideSdl/") + (turned ? "turned" : "upright") + "/" +
                               std::to_string(count);
            benchmark::RegisterBenchmark(name.c_str(), SpritesBesideSdl, count, turned)
                ->Iterations(count >= kSprites ? 15 : 41)
                ->Unit(benchmark::kMillisecond);
        }
    return true;
}();
#endif

#ifdef MORVEN_BENCH_GL
void OpenGLSprites10k(benchmark::State &state) { SpriteFrame(state, true); }

// The OpenGL case needs a display; without one it is left out, with a note.
const bool openGLRegistered = [] {
    const char *display = getenv("DISPLAY");
    if (!display || !*display) {
        fprintf(stderr, "sprite_bench: no display, OpenGLSprites10k skipped (run under xvfb-run)\n");
        return false;
    }
    benchmark::RegisterBenchmark("OpenGLSprites10k", OpenGLSprites10k)
        ->Unit(benchmark::kMillisecond)
        ->MeasureProcessCPUTime()
        ->UseRealTime();
    return true;
}();
#endif

}  // namespace
