// The frame clock, recording, and the loop's switches, through a headless
// engine: replay scripts stand in for the keyboard and mouse.
#include <gtest/gtest.h>
#include <morven/clock.h>
#include <morven/engine.h>
#include <morven/error.h>
#include <morven/input.h>
#include <morven/timer.h>
#include <morven/window.h>

#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/engine/input_state.h"
#include "core/engine/recorder.h"
#include "core/engine/replay.h"

namespace {

std::string readFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::string &path, const std::string &text) {
    FILE *f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fwrite(text.data(), 1, text.size(), f);
    fclose(f);
}

void sleepMs(int ms) { usleep(static_cast<useconds_t>(ms) * 1000); }

class FrameClock : public ::testing::Test {
protected:
    std::string dir;

    void SetUp() override {
        for (const char *name : {"MORVEN_MAX_FRAMES", "MORVEN_SCREENSHOT", "MORVEN_INPUT_SCRIPT", "MORVEN_INPUT_RECORD"})
            unsetenv(name);
        char pattern[] = "/tmp/morven-clock-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        mvDeinit();
        for (const char *name : {"MORVEN_MAX_FRAMES", "MORVEN_INPUT_SCRIPT", "MORVEN_INPUT_RECORD"}) unsetenv(name);
        std::string command = "rm -rf '" + dir + "'";
        EXPECT_EQ(system(command.c_str()), 0);
    }

    // Starts a headless engine replaying text (none: no replay); returns its stderr.
    std::string start(const char *text) {
        if (text) {
            writeFile(dir + "/script", text);
            setenv("MORVEN_INPUT_SCRIPT", (dir + "/script").c_str(), 1);
        }
        testing::internal::CaptureStderr();
        EXPECT_TRUE(mvInit(0));
        EXPECT_TRUE(mvWindowOpen(16, 16, 32, 0));
        return testing::internal::GetCapturedStderr();
    }
};

struct Firings {
    int frame = 0;
    std::vector<int> repeating, single;
};

void onRepeating(MVTimer *, void *data) {
    auto *f = static_cast<Firings *>(data);
    f->repeating.push_back(f->frame);
}
void onSingle(MVTimer *, void *data) {
    auto *f = static_cast<Firings *>(data);
    f->single.push_back(f->frame);
}

// A replay moves the clock by one period per frame, however long the frames
// really take: the timers fire on the same frames on a slow machine.
TEST_F(FrameClock, ReplayedTimersFireOnFixedFrames) {
    start("");
    Firings f;
    MVTimer *t = mvTimerCreate(0);
    mvTimerSetFunction(t, onRepeating, &f);
    mvTimerMStart(t, 100);
    ASSERT_TRUE(mvTimerMSingle(250, onSingle, &f, 0));
    uint64_t begin = mvGetTime();
    for (f.frame = 0; f.frame < 30; f.frame++) {
        ASSERT_TRUE(mvLoop(0));
        uint64_t inFrame = mvGetTime();
        if (f.frame == 3) sleepMs(120);  // a stall longer than the period
        EXPECT_EQ(mvGetTime(), inFrame) << "the clock moved inside frame " << f.frame;
        EXPECT_EQ(mvFrameTime(), 1.0 / 60);
        mvTimerUpdateAll(0, 0);
        mvWindowSwapBuffers();
    }
    EXPECT_EQ(f.repeating, (std::vector<int>{5, 11, 17, 23, 29}));
    EXPECT_EQ(f.single, std::vector<int>{14});
    EXPECT_EQ(mvGetTime() - begin, 500000000u);  // 30 frames of 1/60 s, no drift from rounding
    mvTimerDestroy(t);
}

// Headless with a frame limit the clock counts frames as well, unpaced;
// handing back the system clock never makes time go backwards.
TEST_F(FrameClock, HeadlessFrameLimitRunsOnFramesAndTimeNeverGoesBack) {
    setenv("MORVEN_MAX_FRAMES", "900", 1);
    start(nullptr);
    mvLoopSetRate(30);
    uint64_t begin = mvGetTime();
    int frames = 0;
    while (mvLoop(0)) {
        mvWindowSwapBuffers();
        frames++;
    }
    EXPECT_EQ(frames, 900);
    uint64_t last = mvGetTime();
    EXPECT_EQ(last - begin, 30000000000u);  // 30 s of frames, run in far less
    mvDeinit();
    EXPECT_GE(mvGetTime(), last);
    uint64_t before = mvGetTime();
    sleepMs(5);
    EXPECT_GE(mvGetTime() - before, 5000000u) << "the system clock is back after shut-down";
}

// Live (no replay, no frame limit), time is real: it moves within a frame.
TEST_F(FrameClock, LiveTimeIsReal) {
    start(nullptr);
    ASSERT_TRUE(mvLoop(0));
    uint64_t before = mvGetTime();
    sleepMs(3);
    EXPECT_GE(mvGetTime() - before, 3000000u);
}

// "frametime" lines set single frames' lengths; bad ones are warned about.
TEST_F(FrameClock, FrameTimeLinesSetTheFramesLengths) {
    std::string err = start(
        "0 frametime 0\n"
        "1 frametime 5000000\n"
        "2 frametime 1000000000000\n"
        "3 frametime 1000000000001\n"
        "3 frametime -5\n"
        "3 frametime 2.5\n"
        "3 frametime\n");
    for (int line = 4; line <= 7; line++)
        EXPECT_NE(err.find("line " + std::to_string(line) + ": \"frametime\""), std::string::npos) << err;
    uint64_t t0 = mvGetTime();
    ASSERT_TRUE(mvLoop(0));
    EXPECT_EQ(mvFrameTime(), 0.0);
    EXPECT_EQ(mvGetTime(), t0);
    ASSERT_TRUE(mvLoop(0));
    EXPECT_EQ(mvFrameTime(), 0.005);
    EXPECT_EQ(mvGetTime() - t0, 5000000u);
    ASSERT_TRUE(mvLoop(0));
    EXPECT_EQ(mvFrameTime(), 1000.0);
    ASSERT_TRUE(mvLoop(0));
    EXPECT_EQ(mvFrameTime(), 1.0 / 60);  // the bad lines of frame 3 count for nothing
    EXPECT_EQ(mvGetTime() - t0, 1000005000000u + 16666666u);
}

// Escape and the close button end the loop by default; switched off, Escape
// is a key and the close button an event of one frame. mvDeinit restores
// the default.
TEST_F(FrameClock, EscapeAndCloseCanBeLeftToTheProgram) {
    const char *script = "1 press escape\n2 close\n4 quit\n";
    mvLoopSetEscapeQuits(false);
    start(script);
    ASSERT_TRUE(mvLoop(0));
    EXPECT_FALSE(mvWindowCloseRequested());
    ASSERT_TRUE(mvLoop(0));
    EXPECT_TRUE(mvInputKeyPressed(MV_KEY_ESCAPE));
    ASSERT_TRUE(mvLoop(0));
    EXPECT_TRUE(mvWindowCloseRequested());
    ASSERT_TRUE(mvLoop(0));
    EXPECT_FALSE(mvWindowCloseRequested());
    EXPECT_FALSE(mvLoop(0));
    mvDeinit();

    for (const char *ending : {"1 press escape\n", "1 close\n"}) {
        start(ending);
        ASSERT_TRUE(mvLoop(0));
        EXPECT_FALSE(mvLoop(0)) << ending;
        mvDeinit();
    }
}

// Which renderer draws; a module loaded after mvInit is refused, with a reason.
TEST_F(FrameClock, RendererNameAndLateModules) {
    testing::internal::CaptureStderr();
    ASSERT_TRUE(mvInit(0));
    EXPECT_EQ(mvWindowRenderer(), nullptr);
    ASSERT_TRUE(mvWindowOpen(8, 8, 32, 0));
    testing::internal::GetCapturedStderr();
    EXPECT_STREQ(mvWindowRenderer(), "software");
    EXPECT_FALSE(mvLoadModule("OpenGL"));
    EXPECT_NE(std::string(mvGetError()).find("before mvInit"), std::string::npos) << mvGetError();
    mvDeinit();
    EXPECT_EQ(mvWindowRenderer(), nullptr);
}

// Every kind of event written by the recorder reads back as the same event.
TEST_F(FrameClock, RecordedEventsReplayAsTheyHappened) {
    std::string path = dir + "/events.replay";
    Recorder *r = recorderStart(path.c_str());
    ASSERT_NE(r, nullptr);
    const MVPlatformEvent events[] = {
        {MV_PLATFORM_MOUSE_MOVE, 0, 0, 0.1f, -2.75f, nullptr},
        {MV_PLATFORM_KEY_DOWN, MV_KEY_F12, 0, 0, 0, nullptr},
        {MV_PLATFORM_KEY_DOWN, MV_KEY_SPACE, 0, 0, 0, nullptr},
        {MV_PLATFORM_MOUSE_DOWN, 0, MV_MOUSE_MIDDLE, 0, 0, nullptr},
        {MV_PLATFORM_WHEEL, 0, 0, 0, 1.2f, nullptr},
        {MV_PLATFORM_TEXT, 0, 0, 0, 0, "h\xC3\xA9 #1"},
        {MV_PLATFORM_TEXT, 0, 0, 0, 0, "bell\a"},  // not printable: left out
    };
    for (const MVPlatformEvent &e : events) recorderEvent(r, 3, e);
    recorderFrameTime(r, 3, 17000001);
    recorderEvent(r, 4, {MV_PLATFORM_KEY_UP, MV_KEY_SPACE, 0, 0, 0, nullptr});
    recorderEvent(r, 4, {MV_PLATFORM_MOUSE_UP, 0, MV_MOUSE_MIDDLE, 0, 0, nullptr});
    recorderWord(r, 4, "close");
    EXPECT_EQ(access(path.c_str(), F_OK), -1) << "the recording appears only when finished";
    ASSERT_TRUE(recorderFinish(r));

    std::string text = readFile(path);
    testing::internal::CaptureStderr();
    Replay *replay = replayParse(text.data(), text.size(), "recording", stderr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << text;
    ASSERT_NE(replay, nullptr);
    EXPECT_EQ(replayEventCount(replay), 10u) << text;
    inputReset();
    ReplayFrame asked;
    inputBeginFrame();
    replayApply(replay, 3, &asked);
    EXPECT_TRUE(asked.timed && asked.frameNs == 17000001u);
    float x, y;
    EXPECT_EQ(mvInputMouse(&x, &y), unsigned(MV_MOUSE_MIDDLE));
    EXPECT_EQ(x, 0.1f);
    EXPECT_EQ(y, -2.75f);
    EXPECT_TRUE(mvInputKeyPressed(MV_KEY_F12) && mvInputKeyPressed(MV_KEY_SPACE));
    EXPECT_EQ(mvInputWheel(), 1.2f);
    EXPECT_STREQ(mvInputText(), "h\xC3\xA9 #1");
    inputBeginFrame();
    replayApply(replay, 4, &asked);
    EXPECT_TRUE(asked.close && !asked.timed);
    EXPECT_TRUE(mvInputKeyReleased(MV_KEY_SPACE) && mvInputMouseReleased(MV_MOUSE_MIDDLE));
    replayFree(replay);
    inputReset();
}

// A recording whose writes fail leaves the file it was to replace as it was,
// says why, and leaves no partial file behind.
TEST_F(FrameClock, AFailedRecordingKeepsTheOldFile) {
    std::string path = dir + "/old.replay";
    writeFile(path, "0 quit\n");
    Recorder *r = recorderStart(path.c_str());
    ASSERT_NE(r, nullptr);
    struct rlimit old;
    getrlimit(RLIMIT_FSIZE, &old);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    void (*previous)(int) = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    testing::internal::CaptureStderr();
    for (uint64_t frame = 0; frame < 1000; frame++) recorderFrameTime(r, frame, 16666667);
    bool finished = recorderFinish(r);
    std::string err = testing::internal::GetCapturedStderr();
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, previous);
    EXPECT_FALSE(finished);
    EXPECT_NE(err.find("recording " + path), std::string::npos) << err;
    EXPECT_NE(std::string(mvGetError()).find(path), std::string::npos) << mvGetError();
    EXPECT_EQ(readFile(path), "0 quit\n");
    std::string leftovers = "ls '" + dir + "' | grep -c replay. > /dev/null";
    EXPECT_NE(system(leftovers.c_str()), 0) << "a partial file was left";
    EXPECT_EQ(recorderStart("/nonexistent/dir/x.replay"), nullptr);
    EXPECT_NE(std::string(mvGetError()).find("/nonexistent/dir/x.replay"), std::string::npos);
}

// A recorded run replays with the same frame times and clock readings.
TEST_F(FrameClock, ARecordedRunReplaysItsFrameTimes) {
    std::string path = dir + "/run.replay";
    setenv("MORVEN_INPUT_RECORD", path.c_str(), 1);
    start(nullptr);
    mvLoopSetRate(200);
    std::vector<double> frameTimes;
    std::vector<uint64_t> clock;
    uint64_t begin = mvGetTime();
    for (int i = 0; i < 6; i++) {
        ASSERT_TRUE(mvLoop(0));
        if (i == 2) sleepMs(20);
        frameTimes.push_back(mvFrameTime());
        clock.push_back(mvGetTime() - begin);
    }
    EXPECT_GE(frameTimes[3], 0.02);
    mvDeinit();
    unsetenv("MORVEN_INPUT_RECORD");

    start(readFile(path).c_str());
    begin = mvGetTime();
    for (int i = 0; i < 6; i++) {
        ASSERT_TRUE(mvLoop(0));
        EXPECT_EQ(mvFrameTime(), frameTimes[i]) << "frame " << i;
        EXPECT_EQ(mvGetTime() - begin, clock[i]) << "frame " << i;
    }
}

}  // namespace
