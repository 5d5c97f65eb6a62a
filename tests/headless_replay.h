// A headless engine driven by a replay script written to a scratch file:
// the fixture of the tests that play input and window events end to end.
#ifndef MORVEN_TESTS_HEADLESS_REPLAY_H
#define MORVEN_TESTS_HEADLESS_REPLAY_H

#include <gtest/gtest.h>
#include <morven/engine.h>
#include <morven/window.h>
#include <cstdio>
#include <cstdlib>
#include <string>

class HeadlessReplay : public ::testing::Test {
protected:
    std::string script;  // the scratch file's path

    void SetUp() override {
        for (const char *name :
             {"MORVEN_MAX_FRAMES", "MORVEN_SCREENSHOT", "MORVEN_INPUT_SCRIPT", "MORVEN_INPUT_RECORD"})
            unsetenv(name);
        char pattern[] = "/tmp/morven-replay-XXXXXX";
        int fd = mkstemp(pattern);
        ASSERT_GE(fd, 0);
        close(fd);
        script = pattern;
    }
    void TearDown() override {
        mvDeinit();
        unsetenv("MORVEN_INPUT_SCRIPT");
        unlink(script.c_str());
    }

    // Starts the engine replaying text, with a w x h window of the given
    // flags; returns what it wrote to stderr.
    std::string startReplay(const std::string &text, int w, int h, int flags) {
        FILE *f = fopen(script.c_str(), "wb");
        EXPECT_NE(f, nullptr);
        if (f) {
            EXPECT_EQ(fwrite(text.data(), 1, text.size(), f), text.size());
            fclose(f);
        }
        setenv("MORVEN_INPUT_SCRIPT", script.c_str(), 1);
        testing::internal::CaptureStderr();
        EXPECT_TRUE(mvInit(0));
        EXPECT_TRUE(mvWindowOpen(w, h, 32, flags));
        return testing::internal::GetCapturedStderr();
    }
};

#endif
