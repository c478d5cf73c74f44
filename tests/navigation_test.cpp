// Mouse navigation as a user drives it: real pointer input through XTest on the GL window under Xvfb, worked off by
// SETGLMSG, and the modelview matrix SETGLMOUSEMOVE builds from the result.
#include "glwindow.h"
#include "xsupport.h"
#include "matrices.h"
#include "pump.h"

#include <nembra/nembra.h>

#include "nembra/platform/win.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <array>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <thread>

using namespace nembra;
using namespace std::chrono_literals;
using testsupport::Identity;
using testsupport::Matrix;
using testsupport::Product;
using testsupport::PumpUntil;
using testsupport::Rotation;
using testsupport::Translation;

namespace {

constexpr const char* kTitle = "Nembra navigation test";
constexpr int kWidth = 800;
constexpr int kHeight = 600;
// Free look pins the cursor to (WIDTH / 2, HEIGHT / 2) on the screen; the window stands at (0, 0).
constexpr int kCentreX = kWidth / 2;
constexpr int kCentreY = kHeight / 2;
constexpr int kLeft = 1;
constexpr int kRight = 3;

void SetSpeed(int speed) {
    glPushMatrix();
    SETGLMOUSEMOVE(GL_MX, speed);
    glPopMatrix();
}

struct Angles {
    float xrot, yrot, depth;
};

void SetAngles(Angles a, Angles copies) {
    XROT = a.xrot;
    YROT = a.yrot;
    DEPTH = a.depth;
    XROT2 = copies.xrot;
    YROT2 = copies.yrot;
    DEPTH2 = copies.depth;
}

class Navigation : public testing::Test {
protected:
    void SetUp() override {
        testsupport::EnsureGlWindow(kTitle, kWidth, kHeight);
        // A test that moved the window may have run before in this process.
        win::MoveWindow(HWINDOW, 0, 0, kWidth, kHeight, 0);
        origin_ = {0, 0};
        window_ = x_.waitForWindow(kTitle, 5s);
        ASSERT_NE(window_, 0ul);
        x_.setInputFocus(window_);
        MOUSEFREE = false;
        SetAngles({0, 0, 0}, {0, 0, 0});
        SetSpeed(2);
        PumpUntil([] { return false; }, 50ms);
    }

    // A failed drag must not leave a button held for the next test of this process.
    void TearDown() override {
        for (int button : {kLeft, kRight})
            if (button == kLeft ? LEFTMOUSEDOWN : RIGHTMOUSEDOWN)
                Release(button);
    }

    POINT PointerOnScreen() {
        auto* dpy = static_cast<Display*>(x_.nativeDisplay());
        Window root = 0, child = 0;
        int rootX = 0, rootY = 0, winX = 0, winY = 0;
        unsigned int mask = 0;
        XQueryPointer(dpy, DefaultRootWindow(dpy), &root, &child, &rootX, &rootY, &winX, &winY, &mask);
        return {rootX, rootY};
    }

    // Moves the pointer to client point (x, y) and works off messages until the window has seen the move.
    bool MoveTo(int x, int y) {
        const POINT now = PointerOnScreen();
        if (now.x == origin_.x + x && now.y == origin_.y + y)
            return true; // no motion, no message
        x_.movePointer(origin_.x + x, origin_.y + y);
        return PumpUntil([&] { return SETOMX == x && SETOMY == y; });
    }

    bool Press(int button) {
        x_.buttonDown(button);
        return PumpUntil([&] { return button == kLeft ? LEFTMOUSEDOWN : RIGHTMOUSEDOWN; });
    }

    bool Release(int button) {
        x_.buttonUp(button);
        return PumpUntil([&] { return !(button == kLeft ? LEFTMOUSEDOWN : RIGHTMOUSEDOWN); });
    }

    xsupport::XClient x_{std::getenv("DISPLAY")};
    unsigned long window_ = 0;
    POINT origin_{};
};

constexpr Angles kStart{1.5f, -2.5f, 7.0f};
constexpr Angles kStartCopies{-20.0f, 30.0f, -4.0f};

struct DragCase {
    const char* name;
    int button;
    int speed;
    bool mouseFree; // free look on, with the input focus elsewhere so that no warp interferes
    int dx, dy;
    Angles change; // of XROT, YROT, DEPTH and of each copy
};

const DragCase kDrags[] = {
    {"left 10 down", kLeft, 2, false, 0, 10, {10, 0, 0}},
    {"left 10 right", kLeft, 2, false, 10, 0, {0, 10, 0}},
    {"left 6 left and 4 up", kLeft, 2, false, -6, -4, {-4, -6, 0}},
    {"left 10 down at speed 4", kLeft, 4, false, 0, 10, {20, 0, 0}},
    {"left 10 down in free look", kLeft, 2, true, 0, 10, {10, 0, 0}},
    {"right 10 down", kRight, 2, false, 0, 10, {0, 0, -2}},
    {"right 25 up", kRight, 2, false, 0, -25, {0, 0, 5}},
    {"right 10 across", kRight, 2, false, 10, 0, {0, 0, 0}},
    {"right 10 down at speed 3", kRight, 3, false, 0, 10, {0, 0, -3}},
    {"right 10 down in free look", kRight, 2, true, 0, 10, {0, 0, 0}},
};

TEST_F(Navigation, DragsTurnAndMoveTheScene) {
    for (const DragCase& c : kDrags) {
        SCOPED_TRACE(c.name);
        MOUSEFREE = false;
        x_.setInputFocus(window_);
        ASSERT_TRUE(MoveTo(kCentreX, kCentreY));
        SetSpeed(c.speed);
        SetAngles(kStart, kStartCopies);
        if (c.mouseFree) {
            x_.setInputFocus(x_.root());
            MOUSEFREE = true;
        }

        ASSERT_TRUE(Press(c.button));
        EXPECT_EQ(win::GetCapture(), HWINDOW);
        if (c.button == kLeft) {
            EXPECT_EQ(XCOORD, kCentreX);
            EXPECT_EQ(YCOORD, kCentreY);
            EXPECT_EQ(SETMX, kCentreX);
            EXPECT_EQ(SETMY, kCentreY);
        } else {
            EXPECT_EQ(ZCOORD, kCentreY);
        }
        ASSERT_TRUE(MoveTo(kCentreX + c.dx, kCentreY + c.dy));
        EXPECT_FLOAT_EQ(XROT, kStart.xrot + c.change.xrot);
        EXPECT_FLOAT_EQ(YROT, kStart.yrot + c.change.yrot);
        EXPECT_FLOAT_EQ(DEPTH, kStart.depth + c.change.depth);
        EXPECT_FLOAT_EQ(XROT2, kStartCopies.xrot + c.change.xrot);
        EXPECT_FLOAT_EQ(YROT2, kStartCopies.yrot + c.change.yrot);
        EXPECT_FLOAT_EQ(DEPTH2, kStartCopies.depth + c.change.depth);

        ASSERT_TRUE(Release(c.button));
        EXPECT_EQ(win::GetCapture(), 0u);
        if (c.button == kLeft) {
            EXPECT_EQ(XCOORD, 0);
            EXPECT_EQ(YCOORD, 0);
            EXPECT_EQ(SETMX, 0);
            EXPECT_EQ(SETMY, 0);
        }
    }
}

TEST_F(Navigation, ReleasedLeftButtonStartsTheNextDragAfresh) {
    ASSERT_TRUE(MoveTo(100, 100));
    ASSERT_TRUE(Press(kLeft));
    ASSERT_TRUE(MoveTo(100, 120));
    EXPECT_FLOAT_EQ(XROT, 20);
    ASSERT_TRUE(Release(kLeft));
    EXPECT_EQ(XCOORD, 0);
    EXPECT_EQ(YCOORD, 0);

    // A move with no button held turns nothing; the next drag counts from its own press.
    ASSERT_TRUE(MoveTo(500, 400));
    EXPECT_FLOAT_EQ(XROT, 20);
    EXPECT_FLOAT_EQ(YROT, 0);
    ASSERT_TRUE(Press(kLeft));
    ASSERT_TRUE(MoveTo(504, 410));
    EXPECT_FLOAT_EQ(XROT, 30);
    EXPECT_FLOAT_EQ(YROT, 4);
    ASSERT_TRUE(Release(kLeft));
}

// Client coordinates left of or above a captured window are negative: the angle keeps following the pointer step by
// step, with no jump of 65536 / 2 * MSPEED where the 16-bit halves wrap.
TEST_F(Navigation, CapturedDragPastTheLeftAndTopEdgesTurnsSmoothly) {
    // Moved away from the screen's corner so that the pointer can leave the window up and left.
    origin_ = {200, 150};
    ASSERT_TRUE(win::MoveWindow(HWINDOW, origin_.x, origin_.y, kWidth, kHeight, 0));
    const auto geometry = x_.geometry(window_);
    ASSERT_TRUE(geometry);
    ASSERT_EQ(geometry->x, origin_.x);
    ASSERT_EQ(geometry->y, origin_.y);

    struct Case {
        const char* name;
        int x, y;   // client point of the press
        int dx, dy; // one step
    } cases[] = {{"leftwards", 20, 300, -10, 0}, {"upwards", 400, 20, 0, -10}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetAngles({0, 0, 0}, {0, 0, 0});
        ASSERT_TRUE(MoveTo(c.x, c.y));
        ASSERT_TRUE(Press(kLeft));
        // Out five steps and back; at MSPEED 2 a pixel of drag is a degree.
        for (int n : {1, 2, 3, 4, 5, 4, 3, 2, 1, 0}) {
            const float xrot = XROT, yrot = YROT;
            const int x = c.x + n * c.dx, y = c.y + n * c.dy;
            const int dx = x - SETOMX, dy = y - SETOMY;
            ASSERT_TRUE(MoveTo(x, y)) << "step to " << x << ", " << y << "; the window saw " << SETOMX << ", "
                                      << SETOMY;
            EXPECT_FLOAT_EQ(XROT - xrot, dy) << "at " << x << ", " << y;
            EXPECT_FLOAT_EQ(YROT - yrot, dx) << "at " << x << ", " << y;
            if (n == 5) {
                EXPECT_TRUE(SETOMX < 0 || SETOMY < 0) << "the pointer never left the window";
            }
        }
        EXPECT_FLOAT_EQ(XROT, 0);
        EXPECT_FLOAT_EQ(YROT, 0);
        EXPECT_FLOAT_EQ(XROT2, 0);
        EXPECT_FLOAT_EQ(YROT2, 0);
        ASSERT_TRUE(Release(kLeft));
    }
}

struct FreeLookCase {
    const char* name;
    Angles start;
    int x, y; // where the pointer goes, screen pixels
    bool focused;
    float xrot, yrot;
};

const FreeLookCase kFreeLook[] = {
    {"50 right turns XROT by 1", {0, 0, 0}, kCentreX + 50, kCentreY, true, 1, 0},
    {"50 left and 25 up", {10, 10, 0}, kCentreX - 50, kCentreY - 25, true, 9, 9.5f},
    {"XROT is never clamped", {59.5f, 0, 0}, kCentreX + 50, kCentreY, true, 60.5f, 0},
    {"YROT stops at 60", {0, 59.5f, 0}, kCentreX, kCentreY + 50, true, 0, 60},
    {"a big step down stays at 60", {0, 60, 0}, kCentreX, kHeight - 10, true, 0, 60},
    {"a big step up stops at -60", {0, -59.5f, 0}, kCentreX, 10, true, 0, -60},
    {"without the input focus nothing turns", {0, 0, 0}, kCentreX + 50, kCentreY + 50, false, 0, 0},
};

TEST_F(Navigation, FreeLookTurnsWithTheCursorPinnedToTheCentre) {
    for (const FreeLookCase& c : kFreeLook) {
        SCOPED_TRACE(c.name);
        MOUSEFREE = false;
        ASSERT_TRUE(MoveTo(kCentreX, kCentreY));
        SetAngles(c.start, c.start);
        x_.setInputFocus(c.focused ? window_ : x_.root());
        MOUSEFREE = true;

        ASSERT_TRUE(MoveTo(c.x, c.y));
        if (c.focused) {
            // The warp back to the centre is one more move, which must turn nothing.
            ASSERT_TRUE(PumpUntil([] { return SETOMX == kCentreX && SETOMY == kCentreY; }));
        }
        EXPECT_FLOAT_EQ(XROT, c.xrot);
        EXPECT_FLOAT_EQ(YROT, c.yrot);
        EXPECT_FLOAT_EQ(XROT2, c.xrot);
        EXPECT_FLOAT_EQ(YROT2, c.yrot);
        EXPECT_FLOAT_EQ(DEPTH, 0);

        const POINT expected = c.focused ? POINT{kCentreX, kCentreY} : POINT{c.x, c.y};
        const POINT seen = PointerOnScreen();
        EXPECT_EQ(seen.x, expected.x);
        EXPECT_EQ(seen.y, expected.y);
        POINT cursor{};
        ASSERT_TRUE(win::GetCursorPos(&cursor));
        EXPECT_EQ(cursor.x, expected.x);
        EXPECT_EQ(cursor.y, expected.y);
    }
}

struct LayoutCase {
    const char* name;
    std::int32_t layout;
    std::int32_t speed;
    bool moves; // false: the layout is unknown and only the speed is set
    TGLVERTEX translation;
    std::array<double, 3> xrotAxis, yrotAxis;
};

constexpr float kDepth = 5, kXrot = 30, kYrot = 45;

const LayoutCase kLayouts[] = {
    {"GL_M0", GL_M0, 2, true, {0, 0, -kDepth}, {1, 0, 0}, {0, 1, 0}},
    {"GL_MX", GL_MX, 4, true, {0, -kDepth, 0}, {1, 0, 0}, {0, 0, 1}},
    {"GL_MY", GL_MY, 1, true, {-kDepth, 0, 0}, {0, 0, -1}, {0, 1, 0}},
    {"GL_MZ", GL_MZ, 5, true, {0, 0, -kDepth}, {0, 1, 0}, {1, 0, 0}},
    {"7", 7, 3, false, {}, {}, {}},
};

TEST_F(Navigation, SetGlMouseMoveMultipliesTheLayoutsMatrix) {
    for (const LayoutCase& c : kLayouts) {
        SCOPED_TRACE(c.name);
        SetAngles({kXrot, kYrot, kDepth}, {-11, 22, -33}); // the copies play no part
        MSPEED = 0;
        MY = {9, 8, 7};
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        SETGLMOUSEMOVE(c.layout, c.speed);
        float gl[16];
        glGetFloatv(GL_MODELVIEW_MATRIX, gl);

        const Matrix expected = c.moves
                                    ? Product(Product(Translation(c.translation.X, c.translation.Y, c.translation.Z),
                                                      Rotation(kXrot, c.xrotAxis)),
                                              Rotation(kYrot, c.yrotAxis))
                                    : Identity();
        for (int i = 0; i < 16; ++i)
            EXPECT_NEAR(gl[i], expected[i], 1e-5)
                << "element " << i << " (column " << i / 4 << ", row " << i % 4 << ")";
        EXPECT_EQ(MSPEED, c.speed);
        const TGLVERTEX my = c.moves ? c.translation : TGLVERTEX{9, 8, 7};
        EXPECT_FLOAT_EQ(MY.X, my.X);
        EXPECT_FLOAT_EQ(MY.Y, my.Y);
        EXPECT_FLOAT_EQ(MY.Z, my.Z);
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

} // namespace
