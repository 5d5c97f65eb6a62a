// The front end: what the drawing calls hand to the renderer, as commands.
#include <gtest/gtest.h>
#include <morven/draw.h>

#include <cstring>

#include "core/render/frontend.h"
#include "recording_renderer.h"

using Calls = std::vector<DrawCall>;

TEST(DrawCalls, ColourShorthandsFillInTheMissingComponents) {
    RecordingRenderer recorder;
    mvDrawBegin(MV_DRAW_POINTS);
    mvDrawColor1f(0.25f);
    mvDrawVertex2f(1, 1);
    mvDrawColor2f(0.5f, 0.75f);
    mvDrawVertex2f(2, 1);
    mvDrawColor3f(0.1f, 0.2f, 0.3f);
    mvDrawVertex2f(3, 1);
    mvDrawColor4f(0.4f, 0.6f, 0.8f, 0.125f);
    mvDrawVertex2f(4, 1);
    mvDrawEnd();
    EXPECT_EQ(recorder.calls(), (Calls{beginCall(0), colorCall(0.25f, 0.25f, 0.25f, 1.0f), vertexCall(1, 1),
                                       colorCall(0.5f, 0.5f, 0.5f, 0.75f), vertexCall(2, 1),
                                       colorCall(0.1f, 0.2f, 0.3f, 1.0f), vertexCall(3, 1),
                                       colorCall(0.4f, 0.6f, 0.8f, 0.125f), vertexCall(4, 1), endCall()}));
}

TEST(DrawCalls, ColoursReachTheRendererClampedToZeroAndOne) {
    RecordingRenderer recorder;
    const float nan = floatFromBits(0x7FC00000u), inf = floatFromBits(0x7F800000u);
    mvDrawBegin(MV_DRAW_POINTS);
    mvDrawColor4f(nan, -1e-30f, 1.0000001f, inf);
    mvDrawVertex2f(0, 0);
    mvDrawColor2f(-inf, nan);
    mvDrawVertex2f(1, 0);
    mvDrawColor3f(-0.0f, 0.5f, 1e30f);
    mvDrawVertex2f(2, 0);
    mvDrawClearColor(-1, nan, 2);
    mvDrawClear();
    EXPECT_EQ(recorder.calls(), (Calls{beginCall(0), colorCall(0, 0, 1, 1), vertexCall(0, 0), colorCall(0, 0, 0, 0),
                                       vertexCall(1, 0), colorCall(0, 0.5f, 1, 1), vertexCall(2, 0), endCall(),
                                       clearCall(0, 0, 1)}));
    mvDrawClearColor(0, 0, 0);
}

// Every mode against the reference cut, with pieces that hold a NaN or an
// infinity dropped whole and unknown modes dropping their vertices.
TEST(DrawCalls, PrimitivesAreCutIntoPiecesTheSameWayForEveryMode) {
    const float nan = floatFromBits(0x7FC00001u), inf = floatFromBits(0x7F800000u);
    const float xs[] = {0, 10, nan, 20, 30, 40, -0.0f, 50};
    const float ys[] = {0, 5, 3, inf, 7, 9, 1e30f, 2};
    for (int mode = -1; mode <= MV_DRAW_TRIANGLE_FAN + 1; mode++) {
        for (int n = 0; n <= 8; n++) {
            RecordingRenderer recorder;
            Calls given = {beginCall(mode)};
            mvDrawBegin(mode);
            for (int i = 0; i < n; i++) {
                float a = 0.125f * float(i);
                mvDrawColor2f(1, a);
                mvDrawVertex2f(xs[i], ys[i]);
                given.push_back(colorCall(1, 1, 1, a));
                given.push_back(vertexCall(xs[i], ys[i]));
            }
            mvDrawEnd();
            given.push_back(endCall());
            EXPECT_EQ(recorder.calls(), pieces(given)) << "mode " << mode << ", " << n << " vertices";
        }
    }
}

TEST(DrawCalls, StopBeingRecordedOnceTheRecorderIsRemoved) {
    Calls seen;
    MVRenderer *before = frontEnd().renderer();
    {
        RecordingRenderer recorder;
        mvDrawBegin(MV_DRAW_LINES);
        mvDrawVertex2f(0, 0);
        mvDrawVertex2f(1, 1);
        seen = recorder.calls();  // the open primitive is ended
        mvDrawVertex2f(2, 2);     // outside any primitive now: dropped
        mvDrawEnd();
        EXPECT_EQ(recorder.calls(), seen);
    }
    EXPECT_EQ(frontEnd().renderer(), before);
    EXPECT_EQ(seen, (Calls{beginCall(1), colorCall(1, 1, 1, 1), vertexCall(0, 0), vertexCall(1, 1), endCall()}));
}

TEST(DrawCalls, NestedRecordersRestoreInOrder) {
    RecordingRenderer outer;
    {
        RecordingRenderer inner;
        mvDrawClear();
        EXPECT_EQ(inner.calls(), Calls{clearCall()});
    }
    mvDrawClear();
    mvDrawClear();
    EXPECT_EQ(outer.calls(), (Calls{clearCall(), clearCall()}));
}

// Sprites in a row from one texture are one command, whatever colours they
// take; another texture, a primitive or a texture update starts another,
// and an open primitive is ended before the sprites (it lies under them).
TEST(FrontEnd, GathersSpritesIntoCommandsInDrawingOrder) {
    FrontEnd f;
    MVSprite s = {0, 0, 1, 1, 5, 5, 2, 2, 0};
    f.begin(MV_DRAW_TRIANGLES);
    f.vertex(0, 0);
    f.vertex(4, 0);
    f.vertex(0, 4);
    f.sprites(7, &s, 1);
    f.color(0.5f, 0.5f, 0.5f, 1);
    MVSprite two[2] = {s, s};
    two[1].x = 9;
    f.sprites(7, two, 2);
    f.sprites(8, &s, 1);
    const uint8_t texel[4] = {1, 2, 3, 4};
    f.textureUpdate(8, 0, 0, 1, 1, texel);
    f.sprites(8, &s, 1);
    f.sprites(0, &s, 1);        // no texture: nothing
    f.sprites(8, nullptr, 1);   // no sprites: nothing
    MVCommandList l = f.pending();
    ASSERT_EQ(l.count, 5u);
    EXPECT_EQ(l.commands[0].kind, MV_COMMAND_PRIMITIVE);
    EXPECT_EQ(l.commands[0].primitive.count, 3u);
    const MVSpriteCommand &first = l.commands[1].sprites;
    EXPECT_EQ(l.commands[1].kind, MV_COMMAND_SPRITES);
    EXPECT_EQ(first.texture, 7u);
    ASSERT_EQ(first.count, 3u);
    EXPECT_EQ(first.oneColor, 0u);
    EXPECT_EQ(l.colors[first.first].r, 1.0f);
    EXPECT_EQ(l.colors[first.first + 2].r, 0.5f);
    EXPECT_EQ(l.sprites[first.first + 2].x, 9.0f);
    EXPECT_EQ(l.commands[2].sprites.texture, 8u);
    EXPECT_EQ(l.commands[2].sprites.oneColor, 1u);
    ASSERT_EQ(l.commands[3].kind, MV_COMMAND_TEXTURE_UPDATE);
    EXPECT_EQ(memcmp(l.bytes + l.commands[3].update.offset, texel, 4), 0);
    EXPECT_EQ(l.commands[4].kind, MV_COMMAND_SPRITES);
    EXPECT_EQ(l.commands[4].sprites.count, 1u);
    f.submit();
    EXPECT_EQ(f.pending().count, 0u);
}
