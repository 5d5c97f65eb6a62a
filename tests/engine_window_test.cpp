// The engine with a real display: these run under Xvfb (test engine_window)
// and skip where there is no display.
#include <gtest/gtest.h>
#include <morven/atlas.h>
#include <morven/draw.h>
#include <morven/engine.h>
#include <morven/input.h>
#include <morven/trail.h>
#include <morven/window.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#ifdef MORVEN_TEST_SDL
#include <SDL.h>
#include <dlfcn.h>
#endif

#include "core/engine/engine_state.h"
#include "core/render/renderer.h"
#include "front_of.h"
#include "core/render/soft_renderer.h"
#include "texture_limit.h"

namespace {

constexpr int W = 64, H = 48;

bool haveDisplay() {
    const char *display = getenv("DISPLAY");
    return display && *display;
}

// A scene using every kind of primitive, colours and blending.
void drawScene(MVRenderer *r) {
    frontOf(r).clear();
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
    uint32_t tex = frontOf(r).textureCreate(4, 4);
    std::vector<uint8_t> texels(64);
    for (int i = 0; i < 16; i++) {
        texels[4 * i] = uint8_t(i * 16);
        texels[4 * i + 1] = uint8_t(255 - i * 16);
        texels[4 * i + 2] = 60;
        texels[4 * i + 3] = i % 2 ? 255 : 128;
    }
    frontOf(r).textureUpdate(tex, 0, 0, 4, 4, texels.data());
    mvDrawColor1f(1);
    drawWhole(frontOf(r), tex, 4, 4, 44, 2, 16, 16);
    frontOf(r).textureDestroy(tex);
}

// The cases the pixel rules make exact in every renderer: lines along the
// axes at whole and half coordinates in both directions, points, triangles
// with pixel centres on their edges, flat colours out of range, NaN and
// translucent, and a line strip still open when the frame is read.
void drawExactScene(MVRenderer *r) {
    frontOf(r).clear();
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
    EXPECT_TRUE(frontOf(r).readPixels(rgba.data(), W, H));
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

// Sprites from one atlas image with clear, translucent and opaque texels,
// upright with corners on whole pixels (and two with edges through pixel
// centres), at scales 1, 2 and 3 x 1, white and apart. More: tinted, translucent and overlapping ones, and turned ones.
enum SpriteScene { SPRITES_PLAIN, SPRITES_BLENDED, SPRITES_TURNED };

void drawSprites(MVRenderer *r, SpriteScene scene) {
    frontOf(r).clear();
    MVAtlas *atlas = mvAtlasCreate(32, 32, 32);
    mvAtlasAreaReserve(atlas, 5, 7, 0);
    std::vector<uint8_t> texels(8 * 6 * 4);
    for (int i = 0; i < 48; i++) {
        texels[4 * i] = uint8_t(i * 5);
        texels[4 * i + 1] = uint8_t(255 - i * 3);
        texels[4 * i + 2] = uint8_t(40 + (i % 7) * 30);
        static const uint8_t alpha[] = {255, 0, 128, 255, 77, 255, 200, 255};
        texels[4 * i + 3] = alpha[i % 8];
    }
    MVImage image = {8, 6, texels.data()};
    MVAtlasArea *area = mvAtlasAreaFromImage(atlas, &image, 1);
    mvDrawColor1f(1);
    mvAtlasDrawArea(atlas, area, 6, 5, 8, 6, 0);
    mvAtlasDrawArea(atlas, area, 26, 11, 16, 12, 0);
    mvAtlasDrawArea(atlas, area, 16, 40, 24, 6, 0);
    mvAtlasDrawArea(atlas, area, 54.5f, 6, 9, 6, 0);  // an odd width: corners still whole
    mvAtlasDrawArea(atlas, area, 46, 26, 8, 5, 0);      // top and bottom edges through pixel centres
    mvAtlasDrawArea(atlas, area, 40.5f, 36, 8, 6, 0);   // left and right edges through pixel centres
    if (scene == SPRITES_BLENDED) {
        mvDrawColor4f(1, 0.5f, 0.25f, 1);
        mvAtlasDrawArea(atlas, area, 40, 30, 24, 6, 0);
        mvDrawColor4f(0.2f, 1, 0.6f, 0.6f);
        mvAtlasDrawArea(atlas, area, 44, 33, 16, 18, 0);
        mvAtlasDrawArea(atlas, area, 10, 8, 8, 6, 0);
    }
    if (scene == SPRITES_TURNED) {
        mvAtlasDrawArea(atlas, area, 50, 30, 20, 14, 0.6f);
        mvAtlasDrawArea(atlas, area, 20, 24, 16, 12, -2.0f);
    }
    mvAtlasDestroy(atlas);
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
    // Starts the engine with a w x h window drawn by OpenGL.
    void openOpenGLWindow(int w, int h) {
        ASSERT_TRUE(mvLoadModule("SDL"));
        ASSERT_TRUE(mvLoadModule("OpenGL"));
        ASSERT_TRUE(mvInit(0));
        ASSERT_TRUE(mvWindowOpen(w, h, 32, 0));
        ASSERT_TRUE(engineState().gl);
    }

    // The scene as the embedded software renderer draws it.
    std::vector<uint8_t> softScene(void (*scene)(MVRenderer *) = drawScene) {
        MVRenderer *soft = softRendererCreate(W, H);
        MVRenderer *previous = frontEnd().install(soft);
        scene(soft);
        std::vector<uint8_t> rgba = readBack(soft);
        frontEnd().install(previous);
        destroyRenderer(soft);
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
    MVRenderer *gl = frontEnd().renderer();
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

// OpenGL says its largest texture and refuses what exceeds it as the
// software renderer does (engine_test), instead of drawing nothing silently.
TEST_F(EngineWindow, OpenGLSaysItsLargestTexture) {
    MVAtlas *early = mvAtlasCreate(65535, 2, 32);  // wider than llvmpipe's 16384
    ASSERT_TRUE(mvLoadModule("SDL"));
    ASSERT_TRUE(mvLoadModule("OpenGL"));
    ASSERT_TRUE(mvInit(0));
    ASSERT_TRUE(mvWindowOpen(W, H, 32, 0));
    ASSERT_TRUE(engineState().gl);
    if (frontEnd().maxTextureSize() < 65535) expectTextureLimitSaid(early);
    mvAtlasDestroy(early);
}

TEST_F(EngineWindow, OpenGLFollowsThePixelRulesExactly) {
    ASSERT_NO_FATAL_FAILURE(openOpenGLWindow(W, H));
    drawExactScene(frontEnd().renderer());
    std::vector<uint8_t> hardware = colours(readBack(frontEnd().renderer()));
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
    ASSERT_NO_FATAL_FAILURE(openOpenGLWindow(W, H));
    drawExactScene(frontEnd().renderer());
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

// Colour channels that differ by more than `slack` between two frames.
size_t differences(const std::vector<uint8_t> &a, const std::vector<uint8_t> &b, int slack) {
    size_t n = 0;
    for (size_t i = 0; i < a.size(); i++) n += i % 4 != 3 && std::abs(a[i] - b[i]) > slack;
    return n;
}

// Which pixels a sprite covers and which texel each shows is the same in
// both; so is the colour, blended and tinted: the software renderer takes a
// texel to a float as OpenGL does (times the float nearest 1/255), and
// rounds each term of the blend to 8 bits as OpenGL does.
TEST_F(EngineWindow, SpritesAreTheSameInOpenGLAndSoftware) {
    ASSERT_NO_FATAL_FAILURE(openOpenGLWindow(W, H));
    MVRenderer *gl = frontEnd().renderer();
    auto plain = [](MVRenderer *r) { drawSprites(r, SPRITES_PLAIN); };
    plain(gl);
    std::vector<uint8_t> hardware = readBack(gl), software = softScene(plain);
    EXPECT_EQ(differences(hardware, software, 0), 0u);
    EXPECT_GT(differences(hardware, std::vector<uint8_t>(hardware.size(), 0), 0), 1000u);  // something was drawn

    auto blended = [](MVRenderer *r) { drawSprites(r, SPRITES_BLENDED); };
    blended(gl);
    hardware = readBack(gl);
    software = softScene(blended);
    EXPECT_EQ(differences(hardware, software, 0), 0u);
    EXPECT_GT(differences(hardware, softScene(plain), 1), 500u);

    // Turned sprites may differ where a centre lies within rounding of an edge or a texel border.
    auto turned = [](MVRenderer *r) { drawSprites(r, SPRITES_TURNED); };
    turned(gl);
    hardware = readBack(gl);
    software = softScene(turned);
    double agree = agreement(hardware, software);
    printf("turned sprites: OpenGL and software renderer agree on %.4f of the pixels\n", agree);
    EXPECT_GE(agree, 0.99);
}

TEST_F(EngineWindow, WithoutOpenGLTheSoftwareFramesAreShown) {
    ASSERT_TRUE(mvLoadModule("SDL"));
    testing::internal::CaptureStderr();
    ASSERT_TRUE(mvInit(0));
    ASSERT_TRUE(mvWindowOpen(W, H, 32, 0));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_FALSE(engineState().gl);
    EXPECT_NE(engineState().window, nullptr);
    drawScene(frontEnd().renderer());
    std::vector<uint8_t> shown = readBack(frontEnd().renderer());
    for (int i = 0; i < 3; i++) {
        ASSERT_TRUE(mvLoop(0));
        mvWindowSwapBuffers();
    }
    EXPECT_EQ(shown, softScene());
}

// Text and a coloured trail over a coloured clear: the same bytes from both
// renderers. Colours are whole bytes: renderers may round other values differently.
void drawTextAndTrail() {
    mvDrawClearColor(26 / 255.0f, 51 / 255.0f, 77 / 255.0f);
    mvDrawClear();
    mvDrawColor4f(1.0f, 204 / 255.0f, 51 / 255.0f, 1.0f);
    mvDrawText(2, 2, 8, "Frame 60 fps\nAbc xyz {|}~");
    // Font edges on pixel centres, vertical and horizontal, half transparent.
    mvDrawColor4f(51 / 255.0f, 1.0f, 153 / 255.0f, 0.5f);
    mvDrawText(3.5f, 20.5f, 16, "Wg#@");
    mvDrawColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    mvDrawText(100, 2.0f, 12, "Q\x01!");  // scale 1.5
    MVTrail *trail = mvTrailCreate(0);
    for (int i = 0; i < 24; i++) {
        if (i == 9) mvTrailAddBreak(trail);
        mvTrailAddPoint2f(trail, 4.5f + 6 * i, 58.5f + float(i % 3) * 2);
    }
    mvTrailDrawColor3f(trail, 1.0f, 0.2f, 0.0f);
    mvTrailDestroy(trail);
}

TEST_F(EngineWindow, TextAndColouredTrailArePixelIdenticalOnOpenGL) {
    constexpr int TW = 160, TH = 64;
    ASSERT_NO_FATAL_FAILURE(openOpenGLWindow(TW, TH));
    MVRenderer *gl = frontEnd().renderer();
    drawTextAndTrail();
    std::vector<uint8_t> hardware(size_t(TW) * TH * 4), software(hardware.size());
    ASSERT_TRUE(frontOf(gl).readPixels(hardware.data(), TW, TH));

    MVRenderer *soft = softRendererCreate(TW, TH);
    frontEnd().install(soft);
    drawTextAndTrail();
    ASSERT_TRUE(frontOf(soft).readPixels(software.data(), TW, TH));
    frontEnd().install(gl);
    destroyRenderer(soft);

    size_t differ = 0, textDiffer = 0;
    for (int y = 0; y < TH; y++) {
        for (int x = 0; x < TW; x++) {
            size_t i = 4 * (size_t(y) * TW + x);
            bool same = hardware[i] == software[i] && hardware[i + 1] == software[i + 1] &&
                        hardware[i + 2] == software[i + 2];
            if (same) continue;
            differ++;
            if (y < 54 && textDiffer++ < 5)
                ADD_FAILURE() << "text pixel (" << x << ", " << y << "): OpenGL " << int(hardware[i]) << " "
                              << int(hardware[i + 1]) << " " << int(hardware[i + 2]) << ", software "
                              << int(software[i]) << " " << int(software[i + 1]) << " " << int(software[i + 2]);
        }
    }
    printf("text and coloured trail: %zu of %d pixels differ (%zu in the text)\n", differ, TW * TH, textDiffer);
    EXPECT_EQ(differ, 0u);
}

TEST_F(EngineWindow, AReplayDrivesARealWindow) {
    char path[] = "/tmp/morven-window-script-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    const char script[] = "1 press right\n2 mouse 40 30\n30 quit\n";
    ASSERT_EQ(write(fd, script, sizeof script - 1), ssize_t(sizeof script - 1));
    close(fd);
    setenv("MORVEN_INPUT_SCRIPT", path, 1);
    ASSERT_TRUE(mvLoadModule("SDL"));
    ASSERT_TRUE(mvLoadModule("OpenGL"));
    bool started = mvInit(0);
    unsetenv("MORVEN_INPUT_SCRIPT");
    unlink(path);
    ASSERT_TRUE(started);
    ASSERT_TRUE(mvWindowOpen(W, H, 32, 0));
    ASSERT_NE(engineState().window, nullptr);
    int frames = 0;
    while (mvLoop(0)) {
        if (frames == 1) {
            EXPECT_TRUE(mvInputKeyPressed(MV_KEY_RIGHT));
        }
        if (frames == 2) {
            float x = 0, y = 0;
            mvInputMouse(&x, &y);
            EXPECT_EQ(x * 1000 + y, 40030.0f);
        }
        EXPECT_EQ(mvFrameTime(), 1.0 / 60);
        mvWindowSwapBuffers();
        frames++;
    }
    EXPECT_EQ(frames, 30);
    EXPECT_TRUE(mvInputKeyDown(MV_KEY_RIGHT));
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
            e.key.keysym.scancode = kind == 2 ? SDL_SCANCODE_ESCAPE : SDL_SCANCODE_A;
        }
        EXPECT_TRUE(mvLoop(0));
        ASSERT_EQ(push(&e), 1);
        EXPECT_EQ(mvLoop(0), kind == 3) << "event " << kind;  // any other key goes on
        dlclose(sdl);
        mvDeinit();
    }
}

TEST_F(EngineWindow, SdlEventsReachTheInputState) {
    ASSERT_TRUE(mvLoadModule("SDL"));
    ASSERT_TRUE(mvInit(0));
    ASSERT_TRUE(mvWindowOpen(W, H, 32, 0));
    ASSERT_TRUE(mvLoop(0));  // the window's own first events
    void *sdl = dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(sdl, nullptr);
    auto push = reinterpret_cast<int (*)(SDL_Event *)>(dlsym(sdl, "SDL_PushEvent"));
    ASSERT_NE(push, nullptr);
    auto send = [&](SDL_Event e) { ASSERT_EQ(push(&e), 1); };
    auto keyEvent = [](Uint32 type, SDL_Scancode code, Uint8 repeat = 0) {
        SDL_Event e;
        memset(&e, 0, sizeof e);
        e.type = type;
        e.key.type = type;
        e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.key.repeat = repeat;
        e.key.keysym.scancode = code;
        return e;
    };
    SDL_Event e;
    send(keyEvent(SDL_KEYDOWN, SDL_SCANCODE_A));
    send(keyEvent(SDL_KEYDOWN, SDL_SCANCODE_LSHIFT));
    send(keyEvent(SDL_KEYDOWN, SDL_SCANCODE_RSHIFT));
    send(keyEvent(SDL_KEYUP, SDL_SCANCODE_LSHIFT));  // the right one still holds shift down
    send(keyEvent(SDL_KEYDOWN, SDL_SCANCODE_F5));
    send(keyEvent(SDL_KEYDOWN, SDL_SCANCODE_KP_ENTER));
    send(keyEvent(SDL_KEYDOWN, SDL_SCANCODE_F24));
    send(keyEvent(SDL_KEYDOWN, SDL_SCANCODE_SEMICOLON));
    send(keyEvent(SDL_KEYDOWN, SDL_SCANCODE_PAGEDOWN));
    send(keyEvent(SDL_KEYDOWN, SDL_SCANCODE_KP_7));
    memset(&e, 0, sizeof e);
    e.type = SDL_MOUSEBUTTONDOWN;
    e.button.button = SDL_BUTTON_RIGHT;
    e.button.x = 5;
    e.button.y = 7;
    send(e);
    memset(&e, 0, sizeof e);
    e.type = SDL_MOUSEWHEEL;
    e.wheel.y = 2;
#if SDL_VERSION_ATLEAST(2, 0, 18)
    e.wheel.preciseY = 2.0f;
#endif
    send(e);
    memset(&e, 0, sizeof e);
    e.type = SDL_TEXTINPUT;
    strcpy(e.text.text, "z\xC3\xA9");
    send(e);
    ASSERT_TRUE(mvLoop(0));
    EXPECT_TRUE(mvInputKeyPressed(MV_KEY_A) && mvInputKeyDown(MV_KEY_A));
    EXPECT_TRUE(mvInputKeyPressed(MV_KEY_SHIFT) && mvInputKeyDown(MV_KEY_SHIFT));
    EXPECT_FALSE(mvInputKeyReleased(MV_KEY_SHIFT));
    EXPECT_TRUE(mvInputKeyPressed(MV_KEY_F5));
    EXPECT_TRUE(mvInputKeyDown(MV_KEY_RSHIFT) && !mvInputKeyDown(MV_KEY_LSHIFT));
    EXPECT_TRUE(mvInputKeyPressed(MV_KEY_LSHIFT) && mvInputKeyReleased(MV_KEY_LSHIFT));
    EXPECT_TRUE(mvInputKeyPressed(MV_KEY_KP_ENTER));
    EXPECT_FALSE(mvInputKeyPressed(MV_KEY_ENTER));  // keys by place: the keypad's Enter is its own
    EXPECT_TRUE(mvInputKeyPressed(MV_KEY_F24) && mvInputKeyPressed(MV_KEY_SEMICOLON));
    EXPECT_TRUE(mvInputKeyPressed(MV_KEY_PAGEDOWN) && mvInputKeyPressed(MV_KEY_KP_7));
    // What the keys type, from the layout the display has (US under Xvfb).
    EXPECT_EQ(mvInputKeyCharacter(MV_KEY_A), uint32_t('a'));
    EXPECT_EQ(mvInputKeyCharacter(MV_KEY_SEMICOLON), uint32_t(';'));
    EXPECT_EQ(mvInputKeyCharacter(MV_KEY_KP_7), uint32_t('7'));
    EXPECT_EQ(mvInputKeyCharacter(MV_KEY_F24), 0u);
    float x = 0, y = 0;
    EXPECT_EQ(mvInputMouse(&x, &y), unsigned(MV_MOUSE_RIGHT));
    EXPECT_EQ(x, 5.0f);
    EXPECT_EQ(y, 7.0f);
    EXPECT_TRUE(mvInputMousePressed(MV_MOUSE_RIGHT));
    EXPECT_EQ(mvInputWheel(), 2.0f);
    EXPECT_STREQ(mvInputText(), "z\xC3\xA9");

    send(keyEvent(SDL_KEYDOWN, SDL_SCANCODE_A, 1));  // a repeat is no new press
    send(keyEvent(SDL_KEYUP, SDL_SCANCODE_RSHIFT));
    memset(&e, 0, sizeof e);
    e.type = SDL_MOUSEMOTION;
    e.motion.x = 30;
    e.motion.y = 20;
    send(e);
    ASSERT_TRUE(mvLoop(0));
    EXPECT_TRUE(mvInputKeyDown(MV_KEY_A));
    EXPECT_FALSE(mvInputKeyPressed(MV_KEY_A));
    EXPECT_TRUE(mvInputKeyReleased(MV_KEY_SHIFT));
    EXPECT_FALSE(mvInputKeyDown(MV_KEY_SHIFT));
    EXPECT_EQ(mvInputMouse(&x, &y), unsigned(MV_MOUSE_RIGHT));
    EXPECT_EQ(x, 30.0f);
    EXPECT_FALSE(mvInputMousePressed(MV_MOUSE_RIGHT));
    EXPECT_EQ(mvInputWheel(), 0.0f);
    EXPECT_STREQ(mvInputText(), "");
    dlclose(sdl);
}
#endif

}  // namespace
