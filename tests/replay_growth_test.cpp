// The replay's arrays as they grow: many events and texts, scripts read past
// the size the file claims, and allocations refused on the way.
#include <gtest/gtest.h>
#include <morven/error.h>
#include <morven/input.h>
#include <cstdio>
#include <fstream>
#include <string>

#include <unistd.h>

#include "alloc_fail.h"
#include "core/engine/input_state.h"
#include "core/engine/replay.h"

namespace {

// Text events for frames count-1 down to 0, each typing "word<frame>".
std::string textScript(int count) {
    std::string script;
    for (int frame = count - 1; frame >= 0; frame--)
        script += std::to_string(frame) + " text word" + std::to_string(frame) + "\n";
    return script;
}

// Applies frames 0..count-1 and checks each types its own word.
void expectWords(Replay *replay, int count) {
    inputReset();
    for (int frame = 0; frame < count; frame++) {
        inputBeginFrame();
        ReplayFrame asked;
        replayApply(replay, uint64_t(frame), &asked);
        ASSERT_EQ(std::string(mvInputText()), "word" + std::to_string(frame)) << "frame " << frame;
    }
}

}  // namespace

// Hundreds of events given in reverse: sorted into frame order, each keeping
// its own text after the pool has moved many times.
TEST(ReplayGrowth, ManyTextEventsKeepTheirTextsInFrameOrder) {
    const int count = 700;
    std::string script = textScript(count);
    Replay *replay = replayParse(script.data(), script.size(), "many", stderr);
    ASSERT_NE(replay, nullptr);
    EXPECT_EQ(replayEventCount(replay), size_t(count));
    expectWords(replay, count);
    replayFree(replay);
}

// Every allocation of a parse refused in turn: null exactly when one was
// refused, and otherwise the whole replay.
TEST(ReplayGrowth, RefusedAllocationsGiveNullOrTheWholeReplay) {
    const int count = 120;
    std::string script = textScript(count);
    long k = 0;
    for (;; k++) {
        allocfail::failAt(k);
        Replay *replay = replayParse(script.data(), script.size(), "refused", stderr);
        long made = allocfail::disarm();
        EXPECT_EQ(replay != nullptr, made <= k) << "allocation " << k << " of " << made;
        if (replay) {
            EXPECT_EQ(replayEventCount(replay), size_t(count));
            expectWords(replay, count);
        }
        replayFree(replay);
        if (made <= k || testing::Test::HasFailure()) break;
    }
    EXPECT_GT(k, 2);
}

// A file that claims no size (as /proc files do) is read to its end anyway:
// every line of it is seen, each skipped with a warning.
TEST(ReplayGrowth, ScriptsLongerThanTheirClaimedSizeAreReadWhole) {
    std::ifstream file("/proc/self/status");
    if (!file) GTEST_SKIP() << "no /proc/self/status";
    size_t lines = 0;
    for (std::string line; std::getline(file, line);) lines++;
    ASSERT_GT(lines, 10u);
    testing::internal::CaptureStderr();
    Replay *replay = replayLoad("/proc/self/status");
    std::string warnings = testing::internal::GetCapturedStderr();
    ASSERT_NE(replay, nullptr) << mvGetError();
    size_t warned = 0;
    for (size_t at = 0; (at = warnings.find("; line skipped\n", at)) != std::string::npos; at++) warned++;
    EXPECT_EQ(warned, lines) << warnings;
    EXPECT_EQ(replayEventCount(replay), 0u);
    replayFree(replay);
}

// Reading a script with its allocations refused fails with the reason, and
// leaves nothing behind (the leak checkers run this binary).
TEST(ReplayGrowth, RefusedAllocationsWhileReadingSayWhy) {
    char path[] = "/tmp/morven-replay-growth-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    std::string script = textScript(40);
    ASSERT_EQ(write(fd, script.data(), script.size()), ssize_t(script.size()));
    close(fd);
    long k = 0;
    for (;; k++) {
        allocfail::failAt(k);
        Replay *replay = replayLoad(path);
        long made = allocfail::disarm();
        EXPECT_EQ(replay != nullptr, made <= k) << "allocation " << k << " of " << made;
        if (replay) {
            EXPECT_EQ(replayEventCount(replay), 40u);
        } else {
            EXPECT_NE(std::string(mvGetError()).find("out of memory reading input script"), std::string::npos)
                << mvGetError();
        }
        replayFree(replay);
        if (made <= k || testing::Test::HasFailure()) break;
    }
    EXPECT_GT(k, 1);
    unlink(path);
}
