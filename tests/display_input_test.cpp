// Gamepads and window controls through the real SDL module under a virtual
// display (test engine_window); skipped without a display.
#include <gtest/gtest.h>
#include <morven/draw.h>
#include <morven/engine.h>
#include <morven/error.h>
#include <morven/input.h>
#include <morven/window.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include <unistd.h>

#include "core/engine/engine_state.h"
#include "core/render/frontend.h"

#ifdef MORVEN_TEST_SDL
#include <SDL.h>
#include <dlfcn.h>
#endif

namespace {

#ifdef MORVEN_TEST_SDL
class DisplayInput : public ::testing::Test {
protected:
    void *sdl = nullptr;

    void SetUp() override {
        const char *display = getenv("DISPLAY");
        if (!display || !*display) GTEST_SKIP() << "no display";
        unsetenv("MORVEN_MAX_FRAMES");
        unsetenv("MORVEN_SCREENSHOT");
        unsetenv("MORVEN_INPUT_SCRIPT");
        // The window of a test need not have the focus for pads to count.
        setenv("SDL_JOYSTICK_ALLOW_BACKGROUND_EVENTS", "1", 1);
        setenv("MORVEN_MODULE_PATH", MORVEN_TEST_MODULE_DIR, 1);
    }
    void TearDown() override {
        stop();
        unsetenv("MORVEN_MODULE_PATH");
        unsetenv("SDL_JOYSTICK_ALLOW_BACKGROUND_EVENTS");
    }
    // Starts the engine with a window on the display, with or without OpenGL.
    void start(bool gl, int w, int h, int flags) {
        ASSERT_TRUE(mvLoadModule("SDL"));
        if (gl) {
            ASSERT_TRUE(mvLoadModule("OpenGL"));
        }
        ASSERT_TRUE(mvInit(0));
        ASSERT_TRUE(mvWindowOpen(w, h, 32, flags));
        ASSERT_NE(engineState().window, nullptr) << mvGetError();
        sdl = dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_NOLOAD);
        ASSERT_NE(sdl, nullptr);
    }
    // The SDL library goes with the module, so that the next start loads it
    // afresh (as the other window tests do).
    void stop() {
        if (sdl) dlclose(sdl);
        sdl = nullptr;
        mvDeinit();
    }
    template <typename F> F get(const char *name) {
        return reinterpret_cast<F>(dlsym(sdl, name));
    }
    // The engine's one SDL window (window ids grow with every window made).
    SDL_Window *sdlWindow() {
        auto fromId = get<SDL_Window *(*)(Uint32)>("SDL_GetWindowFromID");
        SDL_Window *window = nullptr;
        for (Uint32 id = 1; id < 100000 && !window; id++) window = fromId(id);
        return window;
    }
};

// A virtual controller plugged in, pressed, moved and unplugged: every step
// reaches the engine's pad state by the standard names.
TEST_F(DisplayInput, VirtualGamepadsArePluggedPressedMovedAndUnplugged) {
    start(false, 32, 24, 0);
    auto attach = get<int (*)(SDL_JoystickType, int, int, int)>("SDL_JoystickAttachVirtual");
    auto detach = get<int (*)(int)>("SDL_JoystickDetachVirtual");
    auto open = get<SDL_Joystick *(*)(int)>("SDL_JoystickOpen");
    auto close = get<void (*)(SDL_Joystick *)>("SDL_JoystickClose");
    auto setButton = get<int (*)(SDL_Joystick *, int, Uint8)>("SDL_JoystickSetVirtualButton");
    auto setAxis = get<int (*)(SDL_Joystick *, int, Sint16)>("SDL_JoystickSetVirtualAxis");
    if (!attach || !setButton || !setAxis) GTEST_SKIP() << "SDL without virtual joysticks";
    ASSERT_TRUE(mvLoop(0));
    EXPECT_EQ(mvInputPadCount(), 0);
    int first = attach(SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX, SDL_CONTROLLER_BUTTON_MAX, 0);
    int second = attach(SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX, SDL_CONTROLLER_BUTTON_MAX, 0);
    ASSERT_GE(first, 0);
    ASSERT_GE(second, 0);
    SDL_Joystick *a = open(first), *b = open(second);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    ASSERT_TRUE(mvLoop(0));
    EXPECT_EQ(mvInputPadCount(), 2);
    EXPECT_TRUE(mvInputPadConnected(0) && mvInputPadConnected(1));

    setButton(b, SDL_CONTROLLER_BUTTON_START, 1);
    setButton(a, SDL_CONTROLLER_BUTTON_A, 1);
    setAxis(a, SDL_CONTROLLER_AXIS_LEFTX, -32768);
    setAxis(a, SDL_CONTROLLER_AXIS_RIGHTY, 16384);
    setAxis(a, SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 32767);
    setAxis(a, SDL_CONTROLLER_AXIS_LEFTY, 3000);  // inside the dead zone
    ASSERT_TRUE(mvLoop(0));
    EXPECT_TRUE(mvInputPadPressed(0, MV_PAD_A) && mvInputPadDown(0, MV_PAD_A));
    EXPECT_FALSE(mvInputPadDown(0, MV_PAD_START));
    EXPECT_TRUE(mvInputPadPressed(1, MV_PAD_START));
    EXPECT_FALSE(mvInputPadDown(1, MV_PAD_A));
    EXPECT_EQ(mvInputPadAxis(0, MV_PAD_LEFTX), -1.0f);
    EXPECT_NEAR(mvInputPadAxis(0, MV_PAD_RIGHTY), (16384 / 32767.0f - MV_PAD_DEAD_ZONE) / (1 - MV_PAD_DEAD_ZONE),
                1e-6);
    EXPECT_EQ(mvInputPadAxis(0, MV_PAD_TRIGGERRIGHT), 1.0f);
    EXPECT_EQ(mvInputPadAxis(0, MV_PAD_LEFTY), 0.0f);

    setButton(a, SDL_CONTROLLER_BUTTON_A, 0);
    ASSERT_TRUE(mvLoop(0));
    EXPECT_TRUE(mvInputPadReleased(0, MV_PAD_A));
    EXPECT_FALSE(mvInputPadDown(0, MV_PAD_A) || mvInputPadPressed(0, MV_PAD_A));
    EXPECT_TRUE(mvInputPadDown(1, MV_PAD_START));

    // Unplugging the first pad lets go of its buttons; the second keeps its number.
    setButton(a, SDL_CONTROLLER_BUTTON_DPAD_LEFT, 1);
    ASSERT_TRUE(mvLoop(0));
    EXPECT_TRUE(mvInputPadDown(0, MV_PAD_DPAD_LEFT));
    close(a);
    ASSERT_EQ(detach(first), 0);
    ASSERT_TRUE(mvLoop(0));
    EXPECT_EQ(mvInputPadCount(), 1);
    EXPECT_FALSE(mvInputPadConnected(0));
    EXPECT_TRUE(mvInputPadReleased(0, MV_PAD_DPAD_LEFT));
    EXPECT_EQ(mvInputPadAxis(0, MV_PAD_LEFTX), 0.0f);
    EXPECT_TRUE(mvInputPadDown(1, MV_PAD_START));
    close(b);
    detach(second > first ? second - 1 : second);
}

namespace {

constexpr int kWindowW = 1280, kWindowH = 720, kLogicalW = 320, kLogicalH = 180;

// A scene with edges on odd pixels, so that a scale that is off by a pixel shows.
void drawLogicalScene() {
    mvDrawClearColor(0.0f, 0.2f, 0.4f);
    mvDrawClear();
    mvDrawColor3f(1, 0.5f, 0);
    mvDrawBegin(MV_DRAW_TRIANGLES);
    mvDrawVertex2f(3, 5);
    mvDrawVertex2f(301, 7);
    mvDrawVertex2f(150, 177);
    mvDrawEnd();
    mvDrawColor3f(1, 1, 1);
    mvDrawBegin(MV_DRAW_LINES);
    mvDrawVertex2f(0.5f, 90.5f);
    mvDrawVertex2f(319.5f, 90.5f);
    mvDrawEnd();
}

}  // namespace

// 320 x 180 in a 1280 x 720 window: the software renderer's window image and
// OpenGL's back buffer are the frame scaled four times, pixel for pixel the
// same; the pointer at a window pixel reads the frame pixel under it.
TEST_F(DisplayInput, LogicalSizeScalesTheFrameAlikeOnBothRenderers) {
    std::vector<uint8_t> images[2];
    for (int useGL = 0; useGL < 2; useGL++) {
        start(useGL, kWindowW, kWindowH, 0);
        ASSERT_STREQ(mvWindowRenderer(), useGL ? "OpenGL" : "software");
        ASSERT_TRUE(mvWindowSetLogicalSize(kLogicalW, kLogicalH)) << mvGetError();
        EngineState &s = engineState();
        drawLogicalScene();
        std::vector<uint8_t> small(size_t(kLogicalW) * kLogicalH * 4);
        ASSERT_TRUE(frontEnd().readPixels(small.data(), kLogicalW, kLogicalH));
        std::vector<uint8_t> &image = images[useGL];
        image.resize(size_t(kWindowW) * kWindowH * 4);
        if (useGL) {
            s.modules[MODULE_OPENGL].plugin->renderer->present(s.renderer, kWindowW, kWindowH, 0, 0, kWindowW,
                                                                kWindowH);
            void *gl = dlopen("libGL.so.1", RTLD_NOW | RTLD_NOLOAD);
            ASSERT_NE(gl, nullptr);
            auto readPixels = reinterpret_cast<void (*)(int, int, int, int, unsigned, unsigned, void *)>(
                dlsym(gl, "glReadPixels"));
            ASSERT_NE(readPixels, nullptr);
            std::vector<uint8_t> up(image.size());
            readPixels(0, 0, kWindowW, kWindowH, 0x1908 /* GL_RGBA */, 0x1401 /* GL_UNSIGNED_BYTE */, up.data());
            for (int y = 0; y < kWindowH; y++)
                memcpy(&image[size_t(y) * kWindowW * 4], &up[size_t(kWindowH - 1 - y) * kWindowW * 4], kWindowW * 4);
            dlclose(gl);
        } else {
            mvWindowSwapBuffers();
            ASSERT_NE(s.scaled, nullptr);
            memcpy(image.data(), s.scaled, image.size());
        }
        for (size_t i = 3; i < image.size(); i += 4) image[i] = 255;
        int wrong = 0;
        for (int y = 0; y < kWindowH; y++)
            for (int x = 0; x < kWindowW; x++)
                for (int c = 0; c < 3; c++)
                    wrong += image[(size_t(y) * kWindowW + x) * 4 + c] !=
                             small[(size_t(y / 4) * kLogicalW + x / 4) * 4 + c];
        EXPECT_EQ(wrong, 0) << (useGL ? "OpenGL" : "software");

        auto warp = get<void (*)(SDL_Window *, int, int)>("SDL_WarpMouseInWindow");
        SDL_Window *window = sdlWindow();
        ASSERT_NE(window, nullptr);
        warp(window, 641, 359);
        float x = 0, y = 0;
        for (int i = 0; i < 100 && x != 160.25f; i++) {
            ASSERT_TRUE(mvLoop(0));
            mvInputMouse(&x, &y);
            usleep(10000);
        }
        EXPECT_EQ(x, 160.25f);
        EXPECT_EQ(y, 89.75f);
        stop();
    }
    EXPECT_TRUE(images[0] == images[1]);
}

// A resizable window resized on the display reports its new size, and the
// frame follows it.
TEST_F(DisplayInput, AResizedWindowReportsItsNewSize) {
    start(false, 64, 48, MV_WINDOW_RESIZABLE);
    auto setSize = get<void (*)(SDL_Window *, int, int)>("SDL_SetWindowSize");
    SDL_Window *window = sdlWindow();
    ASSERT_NE(window, nullptr);
    setSize(window, 100, 70);
    int w = 0, h = 0;
    for (int i = 0; i < 100 && w != 100; i++) {
        ASSERT_TRUE(mvLoop(0));
        mvWindowSwapBuffers();
        mvWindowGetSize(&w, &h);
        usleep(10000);
    }
    EXPECT_EQ(w * 1000 + h, 100070);
    mvWindowGetLogicalSize(&w, &h);
    EXPECT_EQ(w * 1000 + h, 100070);
}
#endif

}  // namespace
