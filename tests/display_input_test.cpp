// Gamepads and window controls through the real SDL module under a virtual
// display (test engine_window); skipped without a display.
#include <gtest/gtest.h>
#include <morven/engine.h>
#include <morven/input.h>
#include <morven/window.h>

#include <cstdlib>

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
        ASSERT_TRUE(mvLoadModule("SDL"));
        ASSERT_TRUE(mvInit(0));
        ASSERT_TRUE(mvWindowOpen(32, 24, 32, 0));
        sdl = dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_NOLOAD);
        ASSERT_NE(sdl, nullptr);
    }
    void TearDown() override {
        mvDeinit();
        if (sdl) dlclose(sdl);
        unsetenv("MORVEN_MODULE_PATH");
        unsetenv("SDL_JOYSTICK_ALLOW_BACKGROUND_EVENTS");
    }
    template <typename F> F get(const char *name) {
        return reinterpret_cast<F>(dlsym(sdl, name));
    }
};

// A virtual controller plugged in, pressed, moved and unplugged: every step
// reaches the engine's pad state by the standard names.
TEST_F(DisplayInput, VirtualGamepadsArePluggedPressedMovedAndUnplugged) {
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
#endif

}  // namespace
