// The library's state: the fatal bound check of its tables, and OGLWINDOWSETTING before a window.
#include <nembra/nembra.h>

#include "nembra/platform/win.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

using namespace nembra;

namespace {

struct BoundCase {
    const char* name;
    std::function<void()> access;
    const char* message; // regular expression for standard error
};

class BoundCheck : public testing::TestWithParam<BoundCase> {};

} // namespace

// Each table accepts its declared bounds and stops the program just past them.
TEST_P(BoundCheck, StopsWithTheTableAndIndex) {
    EXPECT_EXIT(GetParam().access(), testing::ExitedWithCode(201), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Tables, BoundCheck,
    testing::Values(
        BoundCase{"SetkeyPastEnd", [] { SETKEY[501] = LONGTRUE; }, "^range check error: SETKEY\\[501\\]\n$"},
        BoundCase{"SetkeyNegative", [] { (void)SETKEY[-1]; }, "range check error: SETKEY\\[-1\\]"},
        BoundCase{"StatusItemZero", [] { STATUSITEM[0] = 1; }, "range check error: STATUSITEM\\[0\\]"},
        BoundCase{"EdgesPastEnd", [] { EDGES[21] = 1; }, "range check error: EDGES\\[21\\]"},
        BoundCase{"TexturePastEnd", [] { (void)TEXTUREID2[501]; }, "range check error: TEXTUREID2\\[501\\]"},
        BoundCase{"TorusPastEnd", [] { (void)TORUS[101]; }, "range check error: TORUS\\[101\\]"},
        BoundCase{"GlyphMetricsNegative", [] { (void)GMF[-1]; }, "range check error: GMF\\[-1\\]"},
        BoundCase{"TextureLoadPastEnd", [] { TEXTURELOADID("any.bmp", 501); },
                  "range check error: TEXTUREID2\\[501\\]"},
        BoundCase{"TextureLoadNegative", [] { TEXTURELOADID("any.bmp", -1); }, "range check error: TEXTUREID2\\[-1\\]"},
        BoundCase{"TextureSelectNegative", [] { TEXTURESELECTID(-1); }, "range check error: TEXTUREID2\\[-1\\]"},
        BoundCase{"TorusBuildPastEnd", [] { TOROIDEPROP(101, 1, 2, 4, 4); }, "range check error: TORUS\\[101\\]"},
        BoundCase{"TorusDrawNegative", [] { TOROIDE(-1, true); }, "range check error: TORUS\\[-1\\]"},
        BoundCase{"BumpLoadPastEnd", [] { INITFX_TEXTUREBUMPMAP("bump.bmp", "colour.bmp", 501); },
                  "range check error: TEXTUREBUMPMAP\\[501\\]"},
        BoundCase{"BumpLoadNegative", [] { INITFX_TEXTUREBUMPMAP("bump.bmp", "colour.bmp", -1); },
                  "range check error: TEXTUREBUMPMAP\\[-1\\]"},
        BoundCase{"BumpDrawPastEnd", [] { FX_TEXTUREBUMPMAP(0, 0, 0, 1, 501); },
                  "range check error: TEXTUREBUMPMAP\\[501\\]"},
        BoundCase{"BumpDrawNegative", [] { FX_TEXTUREBUMPMAP(0, 0, 0, 1, -1); },
                  "range check error: TEXTUREBUMPMAP\\[-1\\]"},
        BoundCase{"PixelFormatBits", [] { CREATEOGLWINDOW("bits", 320, 240, 256, false); },
                  "range check error: BITS\\[256\\]"}),
    [](const testing::TestParamInfo<BoundCase>& info) { return info.param.name; });

TEST(BoundCheck, DeclaredBoundsAreUsable) {
    SETKEY[0] = LONGTRUE;
    SETKEY[500] = LONGTRUE;
    STATUSITEM[1] = 1;
    STATUSITEM[20] = 20;
    TORUS[100] = 7;
    EXPECT_EQ(SETKEY[500], -1);
    EXPECT_EQ(SETKEY.size, 501u);
    EXPECT_EQ(STATUSITEM[20], 20);
    EXPECT_EQ(EDGES.size, 20u);
    EXPECT_EQ(TORUS[100], 7u);
    // The status bar receives the address of the first edge.
    EXPECT_EQ(&EDGES[1], EDGES.data());
}

TEST(WindowSetting, BeforeAnyWindowRecordsTheChoiceAndMakesNoList) {
    static const char cursorFile[] = "pointer.cur";
    START = 12345;
    OGLWINDOWSETTING(CROSS, cursorFile, FILEICON, "");
    EXPECT_EQ(SETTYPECURSOR, CROSS);
    EXPECT_EQ(CURSORFILE, cursorFile); // the pointer itself is kept
    EXPECT_EQ(SETTYPEICON, FILEICON);
    EXPECT_TRUE(FOGONOFF);
    EXPECT_EQ(OBJNULL, 0u);
    EXPECT_EQ(START, 12345u); // free look is off: neither the tick count nor the cursor is touched
}

TEST(WindowSetting, FreeLookTakesTheTickAndCentresTheCursor) {
    win::SetCursorPos(300, 200);
    MOUSEFREE = true;
    WIDTH = 640;
    HEIGHT = 481;
    const DWORD before = win::GetTickCount();
    OGLWINDOWSETTING(ARROW, "", GENERIC, "");
    EXPECT_GE(START, before);
    EXPECT_LE(START, win::GetTickCount());
    POINT cursor;
    ASSERT_TRUE(win::GetCursorPos(&cursor));
    EXPECT_EQ(cursor.x, 320);
    EXPECT_EQ(cursor.y, 240);
}
