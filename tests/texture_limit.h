// What both renderers must do at their largest texture, checked with the
// window open on whichever renderer the test chose. Header-only.
#ifndef MORVEN_TESTS_TEXTURE_LIMIT_H
#define MORVEN_TESTS_TEXTURE_LIMIT_H

#include <gtest/gtest.h>
#include <morven/atlas.h>
#include <morven/error.h>
#include <morven/window.h>

#include <string>

#include "core/render/frontend.h"

// An atlas over the limit is refused with a reason, one at the limit is
// made, and early (made before the window, wider than the limit) is not
// drawn silently: its first draw says why, on stderr and in mvGetError.
inline void expectTextureLimitSaid(MVAtlas *early) {
    int most = frontEnd().maxTextureSize();
    ASSERT_GT(most, 0);
    EXPECT_EQ(rendererTextureLimit(), most);
    if (most < 65535) {
        EXPECT_EQ(mvAtlasCreate(most + 1, 1, 32), nullptr);
        EXPECT_NE(std::string(mvGetError()).find("largest texture (" + std::to_string(most)), std::string::npos)
            << mvGetError();
        EXPECT_EQ(mvAtlasCreate(1, most + 1, 32), nullptr);
    }
    MVAtlas *edge = mvAtlasCreate(most, 1, 32);
    EXPECT_NE(edge, nullptr);
    mvAtlasDestroy(edge);
    ASSERT_NE(early, nullptr);
    MVAtlasArea *area = mvAtlasAreaReserve(early, 4, 1, 0);
    ASSERT_NE(area, nullptr);
    testing::internal::CaptureStderr();
    mvAtlasDrawDBG(early, 0, 0, 0, MV_ATLAS_DRAW_IMAGE);
    mvWindowSwapBuffers();
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("largest texture"), std::string::npos) << said;
    EXPECT_NE(std::string(mvGetError()).find("is not drawn"), std::string::npos) << mvGetError();
    testing::internal::CaptureStderr();
    mvAtlasDrawArea(early, area, 10, 10, 4, 1, 0);
    mvWindowSwapBuffers();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");  // said once
}

#endif
