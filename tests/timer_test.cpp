#include <gtest/gtest.h>
#include <morven/clock.h>
#include <morven/timer.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "alloc_fail.h"
#include "core/base/timer_internal.h"

namespace {

constexpr uint64_t kMs = 1000000;

uint64_t fakeNow = 0;
uint64_t fakeClock() { return fakeNow; }

// Drives the timers with a fake clock and records which labels fired.
class Timers : public ::testing::Test {
protected:
    void SetUp() override {
        fakeNow = 1000 * kMs;
        timerUseClock(fakeClock);
        log.clear();
    }
    void TearDown() override {
        timerReleaseAll();
        timerUseClock(nullptr);
        EXPECT_EQ(timerLiveCount(), 0u);
    }
    // Moves the clock to `ms` past the start and updates.
    size_t at(uint64_t ms) {
        fakeNow = 1000 * kMs + ms * kMs;
        return mvTimerUpdateAll(0, 0);
    }
    std::string fired() {
        std::string s;
        for (auto &e : log) s += e;
        log.clear();
        return s;
    }

public:
    static std::vector<std::string> log;
};
std::vector<std::string> Timers::log;

void record(MVTimer *, void *data) { Timers::log.push_back(static_cast<const char *>(data)); }

MVTimer *started(const char *label, uint32_t ms, int flags = 0) {
    MVTimer *t = mvTimerCreate(flags);
    mvTimerSetFunction(t, record, const_cast<char *>(label));
    mvTimerMStart(t, ms);
    return t;
}

TEST_F(Timers, FireEarliestDueFirst) {
    started("c", 30);
    started("a", 10);
    started("b", 20);
    EXPECT_EQ(at(9), 0u);
    EXPECT_EQ(fired(), "");
    EXPECT_EQ(at(35), 3u);  // all three late: still in due order
    EXPECT_EQ(fired(), "abc");
}

TEST_F(Timers, EqualDueTimesFireInCreationOrder) {
    MVTimer *a = mvTimerCreate(0);
    MVTimer *b = mvTimerCreate(0);
    MVTimer *c = mvTimerCreate(0);
    mvTimerSetFunction(a, record, const_cast<char *>("a"));
    mvTimerSetFunction(b, record, const_cast<char *>("b"));
    mvTimerSetFunction(c, record, const_cast<char *>("c"));
    mvTimerMStart(c, 10);
    mvTimerMStart(a, 10);
    mvTimerMStart(b, 10);
    mvTimerMSingle(10, record, const_cast<char *>("s"), 0);
    at(10);
    EXPECT_EQ(fired(), "abcs");
    at(20);
    EXPECT_EQ(fired(), "abc");
}

TEST_F(Timers, RepeatingPeriodDoesNotDrift) {
    started("t", 10);
    // Updates come late, but each due time stays a multiple of the period.
    std::vector<std::pair<uint64_t, size_t>> steps = {
        {9, 0}, {13, 1}, {19, 0}, {20, 1}, {29, 0}, {31, 1}, {39, 0}, {40, 1}};
    for (auto [ms, n] : steps) EXPECT_EQ(at(ms), n) << "at " << ms << " ms";
}

TEST_F(Timers, StallFiresOnceThenSkipsToNextFuturePeriod) {
    MVTimer *t = started("t", 10);
    EXPECT_EQ(at(55), 1u);
    EXPECT_EQ(at(59), 0u);
    EXPECT_EQ(at(60), 1u);
    EXPECT_EQ(at(70), 1u);
    // A stall ending exactly on a period boundary: that boundary is past.
    EXPECT_EQ(at(100), 1u);
    EXPECT_EQ(at(109), 0u);
    EXPECT_EQ(at(110), 1u);
    EXPECT_TRUE(mvTimerIsRunning(t));
}

TEST_F(Timers, CatchUpFiresEveryMissedPeriod) {
    started("t", 10, MV_TIMER_CATCH_UP);
    EXPECT_EQ(at(55), 5u);
    EXPECT_EQ(at(59), 0u);
    EXPECT_EQ(at(60), 1u);
}

TEST_F(Timers, UpdateLimitsLeaveTheRestDue) {
    started("a", 10);
    started("b", 10);
    started("c", 10);
    EXPECT_EQ(at(10), 3u);
    fakeNow += 10 * kMs;
    EXPECT_EQ(mvTimerUpdateAll(2, 0), 2u);
    EXPECT_EQ(fired(), "abcab");
    EXPECT_EQ(mvTimerUpdateAll(2, 0), 1u);
    EXPECT_EQ(fired(), "c");
}

void slowRecord(MVTimer *timer, void *data) {
    record(timer, data);
    fakeNow += 3;
}

TEST_F(Timers, UpdateStopsWhenItsTimeBudgetIsSpent) {
    for (const char *label : {"a", "b", "c", "d"}) {
        MVTimer *t = mvTimerCreate(0);
        mvTimerSetFunction(t, slowRecord, const_cast<char *>(label));
        mvTimerMStart(t, 10);
    }
    fakeNow += 10 * kMs;
    EXPECT_EQ(mvTimerUpdateAll(0, 5), 2u);  // 3 ns, then 6 ns spent
    EXPECT_EQ(fired(), "ab");
    EXPECT_EQ(mvTimerUpdateAll(0, 0), 2u);
    EXPECT_EQ(fired(), "cd");
}

TEST_F(Timers, SingleShotFiresOnceAndIsReleased) {
    mvTimerMSingle(50, record, const_cast<char *>("s"), 0);
    EXPECT_EQ(timerLiveCount(), 1u);
    at(49);
    EXPECT_EQ(timerLiveCount(), 1u);
    at(50);
    EXPECT_EQ(fired(), "s");
    EXPECT_EQ(timerLiveCount(), 0u);
    EXPECT_EQ(at(100), 0u);
}

TEST_F(Timers, OnceTimerStopsButStaysAlive) {
    MVTimer *t = started("o", 10, MV_TIMER_ONCE);
    at(10);
    EXPECT_FALSE(mvTimerIsRunning(t));
    EXPECT_EQ(timerLiveCount(), 1u);
    EXPECT_EQ(at(30), 0u);
    mvTimerMStart(t, 5);
    EXPECT_EQ(at(35), 1u);
    EXPECT_EQ(fired(), "oo");
    mvTimerDestroy(t);
}

TEST_F(Timers, StopAndRestart) {
    MVTimer *t = started("t", 10);
    mvTimerStop(t);
    EXPECT_FALSE(mvTimerIsRunning(t));
    EXPECT_EQ(at(50), 0u);
    mvTimerMStart(t, 10);  // counts from now: due at 60
    EXPECT_EQ(at(59), 0u);
    EXPECT_EQ(at(60), 1u);
    mvTimerMStart(t, 100);  // restarting a running timer moves it
    EXPECT_EQ(at(159), 0u);
    EXPECT_EQ(at(160), 1u);
}

TEST_F(Timers, ZeroPeriodFiresOncePerUpdate) {
    started("z", 0);
    EXPECT_EQ(at(0), 1u);
    EXPECT_EQ(mvTimerUpdateAll(0, 0), 0u);  // same instant: already fired
    EXPECT_EQ(at(1), 1u);
}

MVTimer *victim;

void destroySelf(MVTimer *timer, void *data) {
    record(timer, data);
    mvTimerDestroy(timer);
}

void destroyVictim(MVTimer *timer, void *data) {
    record(timer, data);
    mvTimerDestroy(victim);
    victim = nullptr;
}

TEST_F(Timers, FunctionMayDestroyItsOwnTimer) {
    started("x", 10);
    MVTimer *t = mvTimerCreate(0);
    mvTimerSetFunction(t, destroySelf, const_cast<char *>("d"));
    mvTimerMStart(t, 10);
    EXPECT_EQ(timerLiveCount(), 2u);
    at(10);
    EXPECT_EQ(fired(), "xd");
    EXPECT_EQ(timerLiveCount(), 1u);
    at(20);
    EXPECT_EQ(fired(), "x");
}

TEST_F(Timers, SingleShotMayDestroyItselfWhileFiring) {
    mvTimerMSingle(10, destroySelf, const_cast<char *>("s"), 0);
    at(10);
    EXPECT_EQ(fired(), "s");
    EXPECT_EQ(timerLiveCount(), 0u);
}

TEST_F(Timers, FunctionMayDestroyAnotherDueTimer) {
    MVTimer *killer = mvTimerCreate(0);
    mvTimerSetFunction(killer, destroyVictim, const_cast<char *>("k"));
    mvTimerMStart(killer, 10);
    victim = started("v", 10);  // due at the same time, after the killer
    started("w", 10);
    at(10);
    EXPECT_EQ(fired(), "kw");
    EXPECT_EQ(timerLiveCount(), 2u);
}

void spawn(MVTimer *timer, void *data) {
    record(timer, data);
    mvTimerMSingle(0, record, const_cast<char *>("n"), 0);
}

TEST_F(Timers, TimersMadeWhileFiringWaitForTheNextUpdate) {
    MVTimer *t = mvTimerCreate(MV_TIMER_ONCE);
    mvTimerSetFunction(t, spawn, const_cast<char *>("p"));
    mvTimerMStart(t, 10);
    EXPECT_EQ(at(10), 1u);
    EXPECT_EQ(fired(), "p");
    EXPECT_EQ(at(11), 1u);
    EXPECT_EQ(fired(), "n");
}

void restartSelf(MVTimer *timer, void *data) {
    record(timer, data);
    mvTimerMStart(timer, 0);
}

TEST_F(Timers, RestartFromItsOwnFunctionCannotLoop) {
    mvTimerMSingle(10, restartSelf, const_cast<char *>("r"), 0);
    EXPECT_EQ(at(10), 1u);
    EXPECT_EQ(timerLiveCount(), 1u);  // restarted, so the core keeps it
    EXPECT_EQ(at(11), 1u);
    EXPECT_EQ(fired(), "rr");
}

void nestedUpdate(MVTimer *timer, void *data) {
    record(timer, data);
    EXPECT_EQ(mvTimerUpdateAll(0, 0), 0u);
}

TEST_F(Timers, UpdateInsideATimerFunctionDoesNothing) {
    started("a", 10);
    MVTimer *t = mvTimerCreate(0);
    mvTimerSetFunction(t, nestedUpdate, const_cast<char *>("n"));
    mvTimerMStart(t, 5);
    started("b", 10);
    EXPECT_EQ(at(10), 3u);
    EXPECT_EQ(fired(), "nab");
}

void shutDown(MVTimer *timer, void *data) {
    record(timer, data);
    timerReleaseAll();
}

TEST_F(Timers, ReleaseAllWhileFiringEndsTheUpdate) {
    mvTimerMSingle(10, shutDown, const_cast<char *>("s"), 0);
    started("a", 10);
    EXPECT_EQ(at(10), 1u);
    EXPECT_EQ(fired(), "s");
    EXPECT_EQ(timerLiveCount(), 0u);
}

TEST_F(Timers, NullHandlesAreIgnored) {
    mvTimerSetFunction(nullptr, record, nullptr);
    EXPECT_FALSE(mvTimerMStart(nullptr, 10));
    mvTimerStop(nullptr);
    EXPECT_FALSE(mvTimerIsRunning(nullptr));
    mvTimerDestroy(nullptr);
    MVTimer *t = mvTimerCreate(0);  // no function: fires quietly
    mvTimerMStart(t, 10);
    EXPECT_EQ(at(10), 1u);
}

TEST_F(Timers, FailedAllocationsLeaveNothingBehind) {
    allocfail::everyFailure(
        [] {
            MVTimer *t = mvTimerCreate(0);
            bool single = mvTimerMSingle(10, record, const_cast<char *>("s"), 0);
            mvTimerDestroy(t);
            (void)single;
        },
        [this](long) {
            fakeNow += 10 * kMs;
            mvTimerUpdateAll(0, 0);
            fired();
            EXPECT_EQ(timerLiveCount(), 0u);
            timerReleaseAll();
        });
}

// Many timers started, stopped, restarted and destroyed at random fire in the
// order a plain sort of (due, creation) gives.
TEST_F(Timers, RandomScheduleMatchesSortedModel) {
    struct Model {
        MVTimer *timer;
        int id;
        bool running;
        uint64_t due, period;
    };
    std::mt19937 rng(12345);
    std::vector<Model> timers;
    std::vector<int> seen;
    auto note = [](MVTimer *, void *data) {
        Timers::log.push_back(std::to_string(reinterpret_cast<intptr_t>(data)));
    };
    uint64_t nowMs = 0;
    for (int id = 0; id < 300; id++) {
        MVTimer *t = mvTimerCreate(0);
        mvTimerSetFunction(t, note, reinterpret_cast<void *>(intptr_t(id)));
        timers.push_back({t, id, false, 0, 0});
    }
    for (int round = 0; round < 200; round++) {
        for (int k = 0; k < 20; k++) {
            Model &m = timers[rng() % timers.size()];
            if (!m.timer) continue;
            switch (rng() % 6) {
            case 0:
                mvTimerStop(m.timer);
                m.running = false;
                break;
            case 1:
                mvTimerDestroy(m.timer);
                m.timer = nullptr;
                m.running = false;
                break;
            default: {
                uint32_t ms = 1 + rng() % 40;
                mvTimerMStart(m.timer, ms);
                m.running = true;
                m.period = ms;
                m.due = nowMs + ms;
            }
            }
        }
        nowMs += 1 + rng() % 15;
        std::vector<std::tuple<uint64_t, int>> expected;
        for (Model &m : timers)
            if (m.running && m.due <= nowMs) {
                expected.emplace_back(m.due, m.id);
                m.due += m.period;
                if (m.due <= nowMs) m.due += ((nowMs - m.due) / m.period + 1) * m.period;
            }
        std::sort(expected.begin(), expected.end());
        at(nowMs);
        std::vector<std::string> want;
        for (auto &[due, id] : expected) want.push_back(std::to_string(id));
        ASSERT_EQ(log, want) << "round " << round;
        log.clear();
    }
}

TEST(Clock, NeverDecreasesAndCountsNanoseconds) {
    uint64_t a = mvGetTime();
    uint64_t b = mvGetTime();
    EXPECT_LE(a, b);
    struct timespec pause = {0, 2000000};
    nanosleep(&pause, nullptr);
    EXPECT_GE(mvGetTime() - b, 2000000u);
}

}  // namespace
