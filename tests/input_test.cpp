// Input, frame time and the clear colour, driven end to end through a
// headless engine: replay scripts stand in for the keyboard and mouse.
#include <gtest/gtest.h>
#include <morven/draw.h>
#include <morven/engine.h>
#include <morven/error.h>
#include <morven/input.h>
#include <morven/window.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "core/engine/engine_state.h"
#include "core/engine/replay_format.h"
#include "front_of.h"
#include "headless_replay.h"

namespace {

constexpr int W = 32, H = 24;

class Replayed : public HeadlessReplay {
protected:
    std::string start(const std::string &text) { return startReplay(text, W, H, 0); }

    // The keys that are down, pressed and released, as one string.
    static std::string keys() {
        std::string s;
        for (int key = 0; key < MV_KEY_COUNT + 2; key++) {
            if (mvInputKeyDown(key)) s += "d" + std::to_string(key) + " ";
            if (mvInputKeyPressed(key)) s += "p" + std::to_string(key) + " ";
            if (mvInputKeyReleased(key)) s += "r" + std::to_string(key) + " ";
        }
        return s;
    }
};

std::string key(char kind, int code) { return std::string(1, kind) + std::to_string(code) + " "; }

TEST_F(Replayed, KeysMouseWheelAndTextFollowTheScriptFrameByFrame) {
    std::string err = start(
        "# keys: a tap held over frames, a tap inside one frame\n"
        "0 mouse 10.5 -2\n"
        "0 press a\n"
        "1 release a\n"
        "2 press space\n"
        "2 release space   # both edges in one frame\n"
        "3 press mouse1\n"
        "3 text h\xC3\xA9llo\n"
        "3 text  #1\n"
        "4 release mouse1\n"
        "4 press mouse3\n"
        "4 wheel -1.5\n"
        "4 wheel 0.25\n"
        "5 press f12\r\n"
        "5 press a\n"
        "6 quit\n"
        // Out of frame order: sorted, but within frame 5 after "press a".
        "5 release a\n");
    EXPECT_EQ(err.find("input script"), std::string::npos) << err;

    ASSERT_TRUE(mvLoop(0));  // frame 0
    EXPECT_EQ(keys(), key('d', MV_KEY_A) + key('p', MV_KEY_A));
    float x = -1, y = -1;
    EXPECT_EQ(mvInputMouse(&x, &y), 0u);
    EXPECT_EQ(x, 10.5f);
    EXPECT_EQ(y, -2.0f);
    EXPECT_STREQ(mvInputText(), "");
    EXPECT_EQ(mvFrameTime(), 1.0 / 60);

    ASSERT_TRUE(mvLoop(0));  // frame 1
    EXPECT_EQ(keys(), key('r', MV_KEY_A));
    mvLoopSetRate(30);

    ASSERT_TRUE(mvLoop(0));  // frame 2
    EXPECT_EQ(keys(), key('p', MV_KEY_SPACE) + key('r', MV_KEY_SPACE));
    EXPECT_EQ(mvFrameTime(), 1.0 / 30);
    mvLoopSetRate(0);  // unpaced: a replay still steps by the default period

    ASSERT_TRUE(mvLoop(0));  // frame 3
    EXPECT_EQ(keys(), "");
    EXPECT_EQ(mvInputMouse(nullptr, nullptr), unsigned(MV_MOUSE_LEFT));
    EXPECT_TRUE(mvInputMousePressed(MV_MOUSE_LEFT));
    EXPECT_FALSE(mvInputMouseReleased(MV_MOUSE_LEFT));
    EXPECT_FALSE(mvInputMousePressed(MV_MOUSE_LEFT | MV_MOUSE_RIGHT));
    EXPECT_STREQ(mvInputText(), "h\xC3\xA9llo #1");
    EXPECT_EQ(mvFrameTime(), 1.0 / 60);

    ASSERT_TRUE(mvLoop(0));  // frame 4
    EXPECT_EQ(mvInputMouse(&x, &y), unsigned(MV_MOUSE_MIDDLE));
    EXPECT_EQ(x, 10.5f);
    EXPECT_FALSE(mvInputMousePressed(MV_MOUSE_LEFT));
    EXPECT_TRUE(mvInputMouseReleased(MV_MOUSE_LEFT));
    EXPECT_TRUE(mvInputMousePressed(MV_MOUSE_MIDDLE));
    EXPECT_FALSE(mvInputMouseReleased(MV_MOUSE_MIDDLE));
    EXPECT_EQ(mvInputWheel(), -1.25f);
    EXPECT_STREQ(mvInputText(), "");

    ASSERT_TRUE(mvLoop(0));  // frame 5
    EXPECT_EQ(keys(), key('p', MV_KEY_A) + key('r', MV_KEY_A) + key('d', MV_KEY_F12) + key('p', MV_KEY_F12));
    EXPECT_EQ(mvInputWheel(), 0.0f);
    EXPECT_FALSE(mvInputMousePressed(MV_MOUSE_MIDDLE));
    EXPECT_FALSE(mvInputMouseReleased(MV_MOUSE_LEFT));

    EXPECT_FALSE(mvLoop(0));  // frame 6: quit
    EXPECT_FALSE(mvLoop(0));
    EXPECT_FALSE(mvInputKeyDown(MV_KEY_COUNT));
    EXPECT_FALSE(mvInputKeyDown(-1));
}

TEST_F(Replayed, MalformedLinesAreSkippedWithOneWarningEach) {
    std::string err = start(
        "0 press a\n"                        // 1
        "x press b\n"                        // 2: no frame number
        "0 press nokey\n"                    // 3
        "0 mouse 1\n"                        // 4
        "0 jump\n"                           // 5
        "0 text\n"                           // 6
        "\n"                                 // 7: blank, fine
        "0 quit now\n"                       // 8
        "0 text \x01\n"                      // 9: control character
        "0 mouse 1e3 2\n"                    // 10
        "99999999999999999999999 press c\n"  // 11: frame too large
        "   # an indented comment\n"         // 12
        "0 text \xC3\x28\n"                  // 13: broken UTF-8
        "0 press f25\n"                      // 14
        "0 press mouse4\n"                   // 15
        "0 release b c\n"                    // 16
        "0 press 9\n"                        // 17
        "-1 press d\n"                       // 18
        "0 press 8# a comment at once\n"     // 19
        "0 text#x\n"                         // 20
        "1 quit");                           // 21: no line end
    std::vector<int> warned;
    for (size_t at = 0; (at = err.find(", line ", at)) != std::string::npos; at += 7)
        warned.push_back(atoi(err.c_str() + at + 7));
    EXPECT_EQ(warned, (std::vector<int>{2, 3, 4, 5, 6, 8, 9, 10, 11, 13, 14, 15, 16, 18, 20})) << err;
    EXPECT_NE(err.find("MORVEN: input script " + script + ", line 2:"), std::string::npos) << err;

    ASSERT_TRUE(mvLoop(0));
    EXPECT_EQ(keys(), key('d', MV_KEY_8) + key('p', MV_KEY_8) + key('d', MV_KEY_9) + key('p', MV_KEY_9) +
                          key('d', MV_KEY_A) + key('p', MV_KEY_A));
    EXPECT_EQ(mvInputMouse(nullptr, nullptr), 0u);
    EXPECT_STREQ(mvInputText(), "");
    EXPECT_FALSE(mvLoop(0));
}

TEST_F(Replayed, FramesAreUnpacedAndEscapeEndsTheLoop) {
    start("400 press escape\n");
    auto begin = std::chrono::steady_clock::now();
    int frames = 0;
    while (mvLoop(0)) {
        mvWindowSwapBuffers();
        frames++;
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    EXPECT_EQ(frames, 400);
    EXPECT_LT(seconds, 3.0);  // paced at 60 frames a second it would take 6.7 s
    EXPECT_TRUE(mvInputKeyPressed(MV_KEY_ESCAPE));
}

TEST_F(Replayed, TextBeyondAFramesRoomIsCutAtACharacter) {
    std::string text;
    for (int i = 0; i < 600; i++) text += "0 text \xC3\xA9\xE2\x82\xAC\n";  // 5 bytes a line
    start(text + "1 text ok\n");
    ASSERT_TRUE(mvLoop(0));
    std::string typed = mvInputText();
    EXPECT_EQ(typed.size(), 1022u);  // 204 whole lines and the two bytes of the next one's first character
    EXPECT_EQ(typed.substr(1015), "\xC3\xA9\xE2\x82\xAC\xC3\xA9");
    ASSERT_TRUE(mvLoop(0));
    EXPECT_STREQ(mvInputText(), "ok");
}

TEST_F(Replayed, AMissingScriptStopsTheStart) {
    setenv("MORVEN_INPUT_SCRIPT", "/nonexistent/morven-script", 1);
    EXPECT_FALSE(mvInit(0));
    EXPECT_NE(std::string(mvGetError()).find("/nonexistent/morven-script"), std::string::npos) << mvGetError();
}

// A script that is not a regular file, or is too large, is refused before
// a byte is read: a FIFO used to block mvInit for ever and /dev/zero to
// grow until memory ran out.
TEST_F(Replayed, ScriptsThatAreNotPlainFilesOrTooLargeAreRefused) {
    std::string fifo = script + ".fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // Exactly the limit is read; one byte more is not. Sparse: no disk used.
    ASSERT_EQ(truncate(script.c_str(), off_t(MV_INPUT_SCRIPT_MAX_BYTES) + 1), 0);
    const struct {
        std::string path, reason;
    } cases[] = {{fifo, "not a regular file"}, {"/dev/zero", "not a regular file"}, {"/tmp", "not a regular file"},
                 {script, "larger than 16777216 bytes"}};
    alarm(10);  // a blocking open ends the test binary instead of hanging it
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path);
        setenv("MORVEN_INPUT_SCRIPT", c.path.c_str(), 1);
        mvClearError();
        EXPECT_FALSE(mvInit(0));
        std::string why = mvGetError();
        EXPECT_NE(why.find(c.path), std::string::npos) << why;
        EXPECT_NE(why.find(c.reason), std::string::npos) << why;
    }
    ASSERT_EQ(truncate(script.c_str(), off_t(MV_INPUT_SCRIPT_MAX_BYTES)), 0);
    setenv("MORVEN_INPUT_SCRIPT", script.c_str(), 1);
    testing::internal::CaptureStderr();
    EXPECT_TRUE(mvInit(0)) << mvGetError();
    testing::internal::GetCapturedStderr();
    alarm(0);
    unlink(fifo.c_str());
}

// Without a replay: a measured frame time, the window's size and the clear colour.
TEST_F(Replayed, FrameTimeWindowSizeAndClearColour) {
    mvDrawClearColor(1.0f, 0.5f, -3.0f);  // before the engine starts: kept
    testing::internal::CaptureStderr();
    ASSERT_TRUE(mvInit(0));
    int w = -1, h = -1;
    mvWindowGetSize(&w, &h);
    EXPECT_EQ(w * 1000 + h, 0);
    ASSERT_TRUE(mvWindowOpen(W, H, 32, 0));
    testing::internal::GetCapturedStderr();
    mvWindowGetSize(&w, nullptr);
    mvWindowGetSize(nullptr, &h);
    EXPECT_EQ(w, W);
    EXPECT_EQ(h, H);

    MVRenderer *r = engineState().renderer;
    std::vector<uint8_t> rgba(size_t(W) * H * 4);
    ASSERT_TRUE(frontOf(r).readPixels(rgba.data(), W, H));
    for (size_t i = 0; i < rgba.size(); i += 4)
        ASSERT_EQ((std::vector<int>{rgba[i], rgba[i + 1], rgba[i + 2], rgba[i + 3]}),
                  (std::vector<int>{255, 128, 0, 255}));
    mvDrawClearColor(0.0f, 0.0f, 1.0f);
    mvDrawClear();
    ASSERT_TRUE(frontOf(r).readPixels(rgba.data(), W, H));
    EXPECT_EQ((std::vector<int>{rgba[0], rgba[1], rgba[2]}), (std::vector<int>{0, 0, 255}));

    EXPECT_EQ(mvFrameTime(), 0.0);
    mvLoopSetRate(100);
    ASSERT_TRUE(mvLoop(0));
    EXPECT_EQ(mvFrameTime(), 0.0);  // no previous frame yet
    ASSERT_TRUE(mvLoop(0));
    EXPECT_GE(mvFrameTime(), 0.01);
    EXPECT_LT(mvFrameTime(), 1.0);

    // A new run starts black, at the default rate, with no frame time.
    mvDeinit();
    testing::internal::CaptureStderr();
    ASSERT_TRUE(mvInit(0));
    ASSERT_TRUE(mvWindowOpen(W, H, 32, 0));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(mvFrameTime(), 0.0);
    EXPECT_FALSE(engineState().rateSet);
    r = engineState().renderer;
    ASSERT_TRUE(frontOf(r).readPixels(rgba.data(), W, H));
    EXPECT_EQ((std::vector<int>{rgba[0], rgba[1], rgba[2], rgba[3]}), (std::vector<int>{0, 0, 0, 255}));
}

}  // namespace

namespace {

// Every key has a script name that reads back to it, and the two sides of a
// modifier make the combined key: down with the first, up with the last.
TEST_F(Replayed, EveryKeyHasANameAndModifierSidesCombine) {
    int named = 0;
    for (int k = 1; k < MV_KEY_COUNT; k++) {
        const char *name = keyName(k);
        if (!name) continue;
        named++;
        EXPECT_EQ(keyFromName(name, strlen(name)), k) << name;
    }
    EXPECT_EQ(named, 121);
    EXPECT_EQ(keyFromName("kp_enter", 8), MV_KEY_KP_ENTER);
    EXPECT_EQ(keyFromName("f24", 3), MV_KEY_F24);
    EXPECT_EQ(keyFromName("pagedown", 7), 0);  // a prefix is no name

    start("0 press lshift\n"
          "1 press rshift\n"
          "2 release lshift\n"
          "3 release rshift\n"
          "3 press pagedown\n"
          "3 press semicolon\n");
    ASSERT_TRUE(mvLoop(0));
    EXPECT_EQ(keys(), key('d', MV_KEY_SHIFT) + key('p', MV_KEY_SHIFT) + key('d', MV_KEY_LSHIFT) +
                          key('p', MV_KEY_LSHIFT));
    ASSERT_TRUE(mvLoop(0));
    EXPECT_EQ(keys(), key('d', MV_KEY_SHIFT) + key('d', MV_KEY_LSHIFT) + key('d', MV_KEY_RSHIFT) +
                          key('p', MV_KEY_RSHIFT));
    ASSERT_TRUE(mvLoop(0));
    EXPECT_EQ(keys(), key('d', MV_KEY_SHIFT) + key('r', MV_KEY_LSHIFT) + key('d', MV_KEY_RSHIFT));
    ASSERT_TRUE(mvLoop(0));
    EXPECT_EQ(keys(), key('d', MV_KEY_SEMICOLON) + key('p', MV_KEY_SEMICOLON) + key('r', MV_KEY_SHIFT) +
                          key('r', MV_KEY_RSHIFT) + key('d', MV_KEY_PAGEDOWN) + key('p', MV_KEY_PAGEDOWN));
}

// Headless, a key types what it types on a US keyboard.
TEST_F(Replayed, KeysTypeTheirUsCharactersHeadless) {
    start("");
    EXPECT_EQ(mvInputKeyCharacter(MV_KEY_Q), uint32_t('q'));
    EXPECT_EQ(mvInputKeyCharacter(MV_KEY_SLASH), uint32_t('/'));
    EXPECT_EQ(mvInputKeyCharacter(MV_KEY_KP_3), uint32_t('3'));
    EXPECT_EQ(mvInputKeyCharacter(MV_KEY_KP_PLUS), uint32_t('+'));
    EXPECT_EQ(mvInputKeyCharacter(MV_KEY_SPACE), uint32_t(' '));
    EXPECT_EQ(mvInputKeyCharacter(MV_KEY_F1), 0u);
    EXPECT_EQ(mvInputKeyCharacter(MV_KEY_ENTER), 0u);
    EXPECT_EQ(mvInputKeyCharacter('!'), 0u);  // not a key code
    EXPECT_EQ(mvInputKeyCharacter(MV_KEY_COUNT), 0u);
}

// Gamepads replayed: plugging in, buttons, axes with the dead zone,
// unplugging that lets go of held buttons, and bad lines warned about.
TEST_F(Replayed, GamepadsFollowTheScript) {
    std::string err = start(
        "0 padadd 0\n"
        "0 padadd 2\n"
        "0 padpress 0 a\n"
        "0 padaxis 0 leftx -0.575\n"
        "0 padaxis 0 lefty 0.1\n"
        "0 padaxis 2 triggerleft 1\n"
        "0 padpress 3 start\n"     // pad 3 is not plugged in: ignored
        "1 padpress 0 dpad_up\n"
        "1 padrelease 0 a\n"
        "2 padremove 0\n"
        "2 padaxis 0 leftx 2\n"    // 11: out of range
        "2 padpress 8 a\n"         // 12: no such pad
        "2 padpress 0 z\n"         // 13: no such button
        "2 padaxis 0 leftz 0\n");  // 14: no such axis
    std::vector<int> warned;
    for (size_t at = 0; (at = err.find(", line ", at)) != std::string::npos; at += 7)
        warned.push_back(atoi(err.c_str() + at + 7));
    EXPECT_EQ(warned, (std::vector<int>{11, 12, 13, 14})) << err;

    ASSERT_TRUE(mvLoop(0));
    EXPECT_EQ(mvInputPadCount(), 2);
    EXPECT_TRUE(mvInputPadConnected(2) && !mvInputPadConnected(1) && !mvInputPadConnected(3));
    EXPECT_TRUE(mvInputPadPressed(0, MV_PAD_A) && mvInputPadDown(0, MV_PAD_A));
    EXPECT_FALSE(mvInputPadDown(3, MV_PAD_START));
    EXPECT_FLOAT_EQ(mvInputPadAxis(0, MV_PAD_LEFTX), -0.5f);
    EXPECT_EQ(mvInputPadAxis(0, MV_PAD_LEFTY), 0.0f);
    EXPECT_EQ(mvInputPadAxis(2, MV_PAD_TRIGGERLEFT), 1.0f);
    EXPECT_EQ(mvInputPadAxis(0, MV_PAD_AXIS_COUNT), 0.0f);
    EXPECT_FALSE(mvInputPadDown(0, MV_PAD_BUTTON_COUNT));
    EXPECT_FALSE(mvInputPadDown(-1, MV_PAD_A));

    ASSERT_TRUE(mvLoop(0));
    EXPECT_TRUE(mvInputPadReleased(0, MV_PAD_A) && !mvInputPadPressed(0, MV_PAD_A));
    EXPECT_TRUE(mvInputPadPressed(0, MV_PAD_DPAD_UP));

    ASSERT_TRUE(mvLoop(0));
    EXPECT_EQ(mvInputPadCount(), 1);
    EXPECT_FALSE(mvInputPadConnected(0));
    EXPECT_TRUE(mvInputPadReleased(0, MV_PAD_DPAD_UP));
    EXPECT_FALSE(mvInputPadDown(0, MV_PAD_DPAD_UP));
    EXPECT_EQ(mvInputPadAxis(0, MV_PAD_LEFTX), 0.0f);
    ASSERT_TRUE(mvLoop(0));
    EXPECT_FALSE(mvInputPadReleased(0, MV_PAD_DPAD_UP));
}

}  // namespace
