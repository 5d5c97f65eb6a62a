#include <gtest/gtest.h>
#include <morven/draw.h>

#include "recording_renderer.h"

using Calls = std::vector<DrawCall>;

TEST(DrawCalls, ColourShorthandsFillInTheMissingComponents) {
    RecordingRenderer recorder;
    mvDrawColor1f(0.25f);
    mvDrawColor2f(0.5f, 0.75f);
    mvDrawColor3f(0.1f, 0.2f, 0.3f);
    mvDrawColor4f(0.4f, 0.6f, 0.8f, 0.125f);
    EXPECT_EQ(recorder.calls, (Calls{colorCall(0.25f, 0.25f, 0.25f, 1.0f), colorCall(0.5f, 0.5f, 0.5f, 0.75f),
                                     colorCall(0.1f, 0.2f, 0.3f, 1.0f), colorCall(0.4f, 0.6f, 0.8f, 0.125f)}));
}

TEST(DrawCalls, ColoursReachTheRendererClampedToZeroAndOne) {
    RecordingRenderer recorder;
    const float nan = floatFromBits(0x7FC00000u), inf = floatFromBits(0x7F800000u);
    mvDrawColor4f(nan, -1e-30f, 1.0000001f, inf);
    mvDrawColor2f(-inf, nan);
    mvDrawColor3f(-0.0f, 0.5f, 1e30f);
    EXPECT_EQ(recorder.calls, (Calls{colorCall(0, 0, 1, 1), colorCall(0, 0, 0, 0), colorCall(0, 0.5f, 1, 1)}));
}

TEST(DrawCalls, PassModesVerticesAndClearsThroughUnchanged) {
    RecordingRenderer recorder;
    mvDrawClear();
    for (int mode = MV_DRAW_POINTS; mode <= MV_DRAW_TRIANGLE_FAN; mode++) mvDrawBegin(mode);
    mvDrawVertex2f(-0.0f, 1e30f);
    mvDrawVertex2f(floatFromBits(0x7FC00001u), 3.5f);
    mvDrawEnd();
    EXPECT_EQ(recorder.calls, (Calls{clearCall(), beginCall(0), beginCall(1), beginCall(2), beginCall(3),
                                     beginCall(4), beginCall(5), beginCall(6), vertexCall(-0.0f, 1e30f),
                                     vertexCall(floatFromBits(0x7FC00001u), 3.5f), endCall()}));
}

TEST(DrawCalls, StopBeingRecordedOnceTheRecorderIsRemoved) {
    Calls seen;
    MVRenderer *before = mvCoreRenderer();
    {
        RecordingRenderer recorder;
        mvDrawBegin(MV_DRAW_LINES);
        seen = recorder.calls;
    }
    EXPECT_EQ(mvCoreRenderer(), before);
    EXPECT_EQ(seen, Calls{beginCall(1)});
}

TEST(DrawCalls, NestedRecordersRestoreInOrder) {
    RecordingRenderer outer;
    {
        RecordingRenderer inner;
        mvDrawEnd();
        EXPECT_EQ(inner.calls, Calls{endCall()});
    }
    mvDrawClear();
    EXPECT_EQ(outer.calls, Calls{clearCall()});
}
