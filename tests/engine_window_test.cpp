// The engine with a real display: these run under Xvfb (test engine_window)
// and skip where there is no display.
#include <gtest/gtest.h>
#include <morven/draw.h>
#include <morven/engine.h>
#include <morven/window.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifdef MORVEN_TEST_SDL
#include <SDL.h>
#include <dlfcn.h>
#endif

#include "core/platform/engine_state.h"
#include "core/render/renderer.h"
#include "core/render/soft_renderer.h"

namespace {

constexpr int W = 64, H = 48;

bool haveDisplay() {
    const char *display = getenv("DISPLAY");
    return display && *display;
}

// A scene using every kind of primitive, colours and blending.
void drawScene(MVRenderer *r) {
    r->clear(r->self);
    mvDrawBegin(MV_DRAW_TRIANGLES);
    mvDrawColor4f(0.2f, 0.4f, 1.0f, 1.0f);
    mvDrawVertex2f(4, 4);
    mvDrawVertex2f(40, 6);
    mvDrawColor4f(1.0f, 0.2f, 0.1f, 0.5f);
    mvDrawVertex2f(20, 40);
    mvDrawEnd();
    mvDrawColor4f(0, 1, 0, 0.5f);
    mvDrawBegin(MV_DRAW_TRIANGLE_FAN);
    mvDrawVertex2f(30, 20);
    mvDrawVertex2f(50, 10);
    mvDrawVertex2f(60, 30);
    mvDrawVertex2f(40, 44);
    mvDrawEnd();
    mvDrawBegin(MV_DRAW_LINE_STRIP);
    for (int i = 0; i < 8; i++) {
        mvDrawColor4f(1, 1, 1, i / 7.0f);
        mvDrawVertex2f(2.5f + 8 * i, 45.5f);
    }
    mvDrawEnd();
    uint32_t tex = r->textureCreate(r->self, 4, 4);
    std::vector<uint8_t> texels(64);
    for (int i = 0; i < 16; i++) {
        texels[4 * i] = uint8_t(i * 16);
        texels[4 * i + 1] = uint8_t(255 - i * 16);
        texels[4 * i + 2] = 60;
        texels[4 * i + 3] = i % 2 ? 255 : 128;
    }
    r->textureUpdate(r->self, tex, 0, 0, 4, 4, texels.data());
    mvDrawColor1f(1);
    r->textureDraw(r->self, tex, 44, 2, 16, 16);
    r->textureDestroy(r->self, tex);
}

// The cases the pixel rules make exact in every renderer: lines along the
// axes at whole and half coordinates in both directions, points, triangles
// with pixel centres on their edges, flat colours out of range, NaN and
// translucent, and a line strip still open when the frame is read.
void drawExactScene(MVRenderer *r) {
    r->clear(r->self);
    mvDrawColor3f(1, NAN, 2);  // magenta
    mvDrawBegin(MV_DRAW_LINES);
    for (int i = 0; i < 6; i++) {
        float x = 2.0f + 5 * i + (i % 2 ? 0.5f : 0.0f), y = 1.0f + 3 * i + (i % 3 ? 0.5f : 0.0f);
        mvDrawVertex2f(x, i < 3 ? 0 : H - 1);  // vertical, downwards then upwards
        mvDrawVertex2f(x, i < 3 ? 20 + i : 24 - i);
        mvDrawVertex2f(i < 3 ? 33 : 62, y);  // horizontal, rightwards then leftwards
        mvDrawVertex2f(i < 3 ? 62 - i : 34 + i, y);
    }
    mvDrawEnd();
    mvDrawColor4f(-1, 0.5f, 7, 0.5f);  // translucent cyan over both
    mvDrawBegin(MV_DRAW_TRIANGLE_FAN);
    mvDrawVertex2f(6.5f, 6.5f);
    mvDrawVertex2f(40.5f, 6.5f);
    mvDrawVertex2f(40.5f, 30.5f);
    mvDrawVertex2f(6.5f, 30.5f);
    mvDrawEnd();
    mvDrawBegin(MV_DRAW_TRIANGLES);
    mvDrawColor4f(INFINITY, -INFINITY, 0.25f, 1);
    mvDrawVertex2f(44, 30);
    mvDrawVertex2f(60.5f, 30);
    mvDrawVertex2f(44, 46.5f);
    mvDrawEnd();
    mvDrawBegin(MV_DRAW_POINTS);
    for (int i = 0; i < 10; i++) {
        mvDrawColor4f(NAN, 1, 0.25f * (i % 5), i % 2 ? 1.0f : 0.75f);
        mvDrawVertex2f(2.0f + 3 * i + 0.5f * (i % 2), 40.0f + 0.5f * (i % 3));
    }
    mvDrawEnd();
    mvDrawColor1f(1);
    mvDrawBegin(MV_DRAW_LINE_STRIP);  // never ended
    mvDrawVertex2f(1, 46);
    mvDrawVertex2f(30, 46);
    mvDrawVertex2f(30, 33);
}

// Red, green and blue of each pixel; OpenGL's window keeps no alpha.
std::vector<uint8_t> colours(const std::vector<uint8_t> &rgba) {
    std::vector<uint8_t> rgb;
    for (size_t i = 0; i < rgba.size(); i += 4) rgb.insert(rgb.end(), &rgba[i], &rgba[i] + 3);
    return rgb;
}

std::vector<uint8_t> readBack(MVRenderer *r) {
    std::vector<uint8_t> rgba(size_t(W) * H * 4);
    EXPECT_TRUE(r->readPixels(r->self, rgba.data(), W, H));
    return rgba;
}

double agreement(const std::vector<uint8_t> &a, const std::vector<uint8_t> &b) {
    size_t close = 0;
    for (size_t i = 0; i < a.size(); i += 4) {
        bool ok = true;
        for (int c = 0; c < 3; c++) ok = ok && std::abs(int(a[i + c]) - int(b[i + c])) <= 8;
        close += ok;
    }
    return double(close) / double(a.size() / 4);
}

class EngineWindow : public ::testing::Test {
protected:
    void SetUp() override {
        if (!haveDisplay()) GTEST_SKIP() << "no display";
        unsetenv("MORVEN_MAX_FRAMES");
        unsetenv("MORVEN_SCREENSHOT");
        setenv("MORVEN_MODULE_PATH", MORVEN_TEST_MODULE_DIR, 1);
    }
    void TearDown() override {
        mvDeinit();
        unsetenv("MORVEN_MODULE_PATH");
    }

    // The scene as the embedded software renderer draws it.
    std::vector<uint8_t> softScene(void (*scene)(MVRenderer *) = drawScene) {
        MVRenderer *soft = softRendererCreate(W, H);
        MVRenderer *previous = mvCoreSetRenderer(soft);
        scene(soft);
        std::vector<uint8_t> rgba = readBack(soft);
        mvCoreSetRenderer(previous);
        soft->destroy(soft->self);
        return rgba;
    }
};

TEST_F(EngineWindow, OpenGLAgreesWithTheSoftwareRenderer) {
    ASSERT_TRUE(mvLoadModule("SDL"));
    ASSERT_TRUE(mvLoadModule("OpenGL"));
    testing::internal::CaptureStderr();
    ASSERT_TRUE(mvInit(0));
    ASSERT_TRUE(mvWindowOpen(W, H, 32, 0));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    ASSERT_TRUE(engineState().gl);
    mvWindowSetTitle("engine test");
    MVRenderer *gl = mvCoreRenderer();
    drawScene(gl);
    std::vector<uint8_t> hardware = readBack(gl);
    mvWindowSwapBuffers();
    EXPECT_TRUE(mvLoop(0));
    std::vector<uint8_t> software = softScene();
    double agree = agreement(hardware, software);
    RecordProperty("agreement", std::to_string(agree));
    printf("OpenGL and software renderer agree on %.4f of the pixels\n", agree);
    EXPECT_GE(agree, 0.97);
    EXPECT_NEAR(hardware[4 * (10 * W + 20) + 2], software[4 * (10 * W + 20) + 2], 2);  // inside the triangle
    EXPECT_GT(hardware[4 * (10 * W + 20) + 2], 100);
}

TEST_F(EngineWindow, OpenGLFollowsThePixelRulesExactly) {
    ASSERT_TRUE(mvLoadModule("SDL"));
    ASSERT_TRUE(mvLoadModule("OpenGL"));
    ASSERT_TRUE(mvInit(0));
    ASSERT_TRUE(mvWindowOpen(W, H, 32, 0));
    ASSERT_TRUE(engineState().gl);
    drawExactScene(mvCoreRenderer());
    std::vector<uint8_t> hardware = colours(readBack(mvCoreRenderer()));
    std::vector<uint8_t> software = colours(softScene(drawExactScene));
    size_t lit = 0, differ = 0;
    for (size_t i = 0; i < software.size(); i += 3) {
        lit += software[i] || software[i + 1] || software[i + 2];
        differ += memcmp(&hardware[i], &software[i], 3) != 0;
    }
    EXPECT_GT(lit, 600u);
    EXPECT_EQ(differ, 0u);
}

// A frame presented with a primitive still open is kept whole: the
// primitive is drawn, and every byte of the screenshot comes from the frame.
TEST_F(EngineWindow, ScreenshotOfAFrameWithAnOpenPrimitive) {
    std::string shot = testing::TempDir() + "morven_open_primitive.png";
    setenv("MORVEN_SCREENSHOT", shot.c_str(), 1);
    ASSERT_TRUE(mvLoadModule("SDL"));
    ASSERT_TRUE(mvLoadModule("OpenGL"));
    ASSERT_TRUE(mvInit(0));
    ASSERT_TRUE(mvWindowOpen(W, H, 32, 0));
    ASSERT_TRUE(engineState().gl);
    drawExactScene(mvCoreRenderer());
    mvWindowSwapBuffers();
    ASSERT_TRUE(engineState().shotValid);
    std::vector<uint8_t> kept(engineState().shot, engineState().shot + size_t(W) * H * 4);
    EXPECT_EQ(colours(kept), colours(softScene(drawExactScene)));
    mvDrawVertex2f(5, 5);  // the strip ended with the frame
    mvDrawEnd();
    mvDeinit();
    unsetenv("MORVEN_SCREENSHOT");
    remove(shot.c_str());
}

TEST_F(EngineWindow, WithoutOpenGLTheSoftwareFramesAreShown) {
    ASSERT_TRUE(mvLoadModule("SDL"));
    testing::internal::CaptureStderr();
    ASSERT_TRUE(mvInit(0));
    ASSERT_TRUE(mvWindowOpen(W, H, 32, 0));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_FALSE(engineState().gl);
    EXPECT_NE(engineState().window, nullptr);
    drawScene(mvCoreRenderer());
    std::vector<uint8_t> shown = readBack(mvCoreRenderer());
    for (int i = 0; i < 3; i++) {
        ASSERT_TRUE(mvLoop(0));
        mvWindowSwapBuffers();
    }
    EXPECT_EQ(shown, softScene());
}

#ifdef MORVEN_TEST_SDL
// Events reach the loop through the very SDL library the module loaded.
TEST_F(EngineWindow, EscapeAndClosingEndTheLoop) {
    for (int kind = 0; kind < 4; kind++) {
        ASSERT_TRUE(mvLoadModule("SDL"));
        ASSERT_TRUE(mvInit(0));
        ASSERT_TRUE(mvWindowOpen(W, H, 32, 0));
        void *sdl = dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_NOLOAD);
        ASSERT_NE(sdl, nullptr);
        auto push = reinterpret_cast<int (*)(SDL_Event *)>(dlsym(sdl, "SDL_PushEvent"));
        ASSERT_NE(push, nullptr);
        SDL_Event e;
        memset(&e, 0, sizeof e);
        if (kind == 0) {
            e.type = SDL_QUIT;
        } else if (kind == 1) {
            e.type = SDL_WINDOWEVENT;
            e.window.event = SDL_WINDOWEVENT_CLOSE;
        } else {
            e.type = SDL_KEYDOWN;
            e.key.keysym.sym = kind == 2 ? SDLK_ESCAPE : SDLK_a;
        }
        EXPECT_TRUE(mvLoop(0));
        ASSERT_EQ(push(&e), 1);
        EXPECT_EQ(mvLoop(0), kind == 3) << "event " << kind;  // any other key goes on
        dlclose(sdl);
        mvDeinit();
    }
}
#endif

}  // namespace
