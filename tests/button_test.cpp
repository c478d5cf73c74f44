// Image hover buttons as a user meets them: real windows under Xvfb, real pointer input through XTest,
// pictures read back from the X server, clicks as the parent window receives them.
#include <nembra/nembra.h>

#include "nembra/platform/win.h"

#include "bmpfile.h"
#include "glwindow.h"
#include "tempdir.h"
#include "xsupport.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/shape.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

using namespace nembra;
using namespace std::chrono_literals;

namespace {

constexpr const char* kTitle = "Nembra button test";
constexpr int kWidth = 40;
constexpr int kHeight = 30;
constexpr int kCorner = 8; // the normal picture's top-left kCorner x kCorner pixels are magenta
constexpr std::uint32_t kNormal = 0x2040C0;
constexpr std::uint32_t kHover = 0x20C040;
constexpr std::uint32_t kPressed = 0xC02020;
constexpr int kId = 4321;

// Messages that reach the parent (the GL window), recorded by subclassing it.
struct Seen {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Seen> g_parentSeen;
WNDPROC g_parentProc = nullptr;

LRESULT ParentRecorder(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND || message == WM_LBUTTONDOWN || message == WM_LBUTTONUP || message == WM_MOUSEMOVE)
        g_parentSeen.push_back({message, wParam, lParam});
    return win::CallWindowProcA(g_parentProc, hwnd, message, wParam, lParam);
}

std::vector<Seen> ParentSeen(UINT message) {
    std::vector<Seen> out;
    for (const Seen& s : g_parentSeen)
        if (s.message == message)
            out.push_back(s);
    return out;
}

void EnsureParent() {
    static bool made = false;
    if (made)
        return;
    testsupport::EnsureGlWindow(kTitle, 320, 240);
    g_parentProc = reinterpret_cast<WNDPROC>(
        win::SetWindowLongPtrA(HWINDOW, win::GWLP_WNDPROC, reinterpret_cast<LRESULT>(&ParentRecorder)));
    made = true;
}

// Dispatches every message that arrives until `done` holds or the time is up; true if it held.
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 2000ms) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        MSG msg;
        // Bounded, so that a window that never stops asking to be painted fails instead of hanging.
        for (int i = 0; i < 1000 && win::PeekMessageA(&msg, 0, 0, 0, win::PM_REMOVE); ++i) {
            win::TranslateMessage(&msg);
            win::DispatchMessageA(&msg);
        }
        if (done())
            return true;
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(2ms);
    }
}

void PumpFor(std::chrono::milliseconds time) {
    PumpUntil([] { return false; }, time);
}

// The three pictures of a button, under `prefix` + N/H/P + ".BMP".
void WritePictures(const std::string& prefix, bool withHover = true) {
    auto write = [&](const char* letter, std::uint32_t colour, bool corner) {
        testsupport::WriteFile(prefix + letter + ".BMP",
                               testsupport::BmpFile{.width = kWidth,
                                                    .height = kHeight,
                                                    .pixels = testsupport::Rows24(kWidth, kHeight,
                                                                                  [&](int x, int y) {
                                                                                      return corner && x < kCorner &&
                                                                                                     y < kCorner
                                                                                                 ? 0xFF00FFu
                                                                                                 : colour;
                                                                                  })}
                                   .Build());
    };
    write("N", kNormal, true);
    if (withHover)
        write("H", kHover, false);
    write("P", kPressed, false);
}

HWND MakeButton(const std::string& bmpType, int width = 10, int height = 10) {
    EnsureParent();
    BMPTYPE = bmpType;
    const HWND button =
        win::CreateWindowExA(0, SZHOVERCLASS, "", win::WS_CHILD | win::WS_VISIBLE, 50, 60, width, height, HWINDOW,
                             static_cast<HMENU>(kId), win::GetModuleHandleA(nullptr), nullptr);
    PumpFor(100ms);
    return button;
}

std::uintptr_t State(HWND button) { return win::GetPropA(button, HOVERMODE); }

struct Screen {
    xsupport::XClient x{std::getenv("DISPLAY")};

    // The X window of a child of the GL window with the given size.
    unsigned long ChildOfSize(int width, int height) {
        const unsigned long top = x.waitForWindow(kTitle, 5s);
        for (unsigned long child : x.children(top)) {
            const auto g = x.geometry(child);
            if (g && g->width == width && g->height == height)
                return child;
        }
        return 0;
    }

    // The colour of a window's pixel as the X server holds it.
    std::uint32_t PixelOf(unsigned long window, int px, int py) {
        int w = 0, h = 0;
        const auto rgb = x.captureRgb(window, w, h);
        if (rgb.empty() || px >= w || py >= h)
            return 0xFFFFFFFF;
        const std::size_t i = (static_cast<std::size_t>(py) * w + px) * 3;
        return static_cast<std::uint32_t>(rgb[i] << 16 | rgb[i + 1] << 8 | rgb[i + 2]);
    }

    void MoveTo(HWND button, int cx, int cy) {
        win::RECT r{};
        win::GetWindowRect(button, &r);
        x.movePointer(r.left + cx, r.top + cy);
        x.sync();
    }
};

std::string Prefix(const std::string& name) { return (testsupport::TempDir() / name).string(); }

TEST(HoverButton, TakesItsPictureSizeAndTheShapeOfItsOpaquePixels) {
    WritePictures(Prefix("ok"));
    const HWND button = MakeButton(Prefix("ok"));
    ASSERT_NE(button, 0u);
    win::RECT r{};
    win::GetWindowRect(button, &r);
    EXPECT_EQ(r.right - r.left, kWidth);
    EXPECT_EQ(r.bottom - r.top, kHeight);
    EXPECT_EQ(State(button), 1u);
    for (const char* name : {NORMALBMP, HOVERBMP, PRESSBMP, BUTTONRGN})
        EXPECT_NE(win::GetPropA(button, name), 0u) << name;

    Screen screen;
    const unsigned long xid = screen.ChildOfSize(kWidth, kHeight);
    ASSERT_NE(xid, 0u);
    // The bounding shape, as the X server reports it, covers exactly the opaque pixels.
    auto* dpy = static_cast<Display*>(screen.x.nativeDisplay());
    int count = 0, ordering = 0;
    XRectangle* rects = XShapeGetRectangles(dpy, xid, ShapeBounding, &count, &ordering);
    std::vector<int> covered(kWidth * kHeight, 0);
    for (int i = 0; i < count; ++i)
        for (int y = rects[i].y; y < rects[i].y + rects[i].height; ++y)
            for (int x = rects[i].x; x < rects[i].x + rects[i].width; ++x)
                if (x >= 0 && y >= 0 && x < kWidth && y < kHeight)
                    ++covered[y * kWidth + x];
    XFree(rects);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            ASSERT_EQ(covered[y * kWidth + x], x < kCorner && y < kCorner ? 0 : 1) << "pixel " << x << ", " << y;
    EXPECT_EQ(screen.PixelOf(xid, kWidth / 2, kHeight / 2), kNormal);

    // With BMPTYPE empty the pictures come from the current directory.
    const std::string cwd = std::filesystem::current_path();
    std::filesystem::current_path(testsupport::TempDir());
    testsupport::WriteFile("N.BMP",
                           testsupport::BmpFile{.width = 24,
                                                .height = 12,
                                                .pixels = testsupport::Rows24(24, 12, [](int, int) { return kNormal; })}
                               .Build());
    const HWND plain = MakeButton("");
    std::filesystem::current_path(cwd);
    win::GetWindowRect(plain, &r);
    EXPECT_EQ(r.right - r.left, 24);
    EXPECT_EQ(r.bottom - r.top, 12);
}

TEST(HoverButton, HoverShowsItsPictureAndLeavingReleasesTheCapture) {
    WritePictures(Prefix("hover"));
    const HWND button = MakeButton(Prefix("hover"));
    Screen screen;
    const unsigned long xid = screen.ChildOfSize(kWidth, kHeight);
    ASSERT_NE(xid, 0u);

    screen.MoveTo(button, kWidth / 2, kHeight / 2);
    ASSERT_TRUE(PumpUntil([&] { return State(button) == 2; }));
    EXPECT_EQ(win::GetCapture(), button);
    EXPECT_TRUE(PumpUntil([&] { return screen.PixelOf(xid, 30, 20) == kHover; }));

    screen.MoveTo(button, kWidth + 20, kHeight / 2); // over the parent
    ASSERT_TRUE(PumpUntil([&] { return State(button) == 1; }));
    EXPECT_EQ(win::GetCapture(), 0u);
    EXPECT_TRUE(PumpUntil([&] { return screen.PixelOf(xid, 30, 20) == kNormal; }));

    // Coming back over the cut-away corner is not coming back over the button.
    screen.MoveTo(button, 2, 2);
    PumpFor(100ms);
    EXPECT_EQ(State(button), 1u);
}

TEST(HoverButton, ClickOnACutAwayCornerReachesTheParent) {
    WritePictures(Prefix("corner"));
    const HWND button = MakeButton(Prefix("corner"));
    Screen screen;
    g_parentSeen.clear();
    screen.MoveTo(button, 2, 2);
    screen.x.buttonDown(1);
    screen.x.buttonUp(1);
    screen.x.sync();
    ASSERT_TRUE(PumpUntil([] { return !ParentSeen(WM_LBUTTONUP).empty(); }));
    EXPECT_EQ(ParentSeen(WM_LBUTTONDOWN).size(), 1u);
    EXPECT_TRUE(ParentSeen(WM_COMMAND).empty());
    EXPECT_EQ(State(button), 1u);
}

TEST(HoverButton, AClickIsAPressAndAReleaseOverTheButton) {
    WritePictures(Prefix("click"));
    const HWND button = MakeButton(Prefix("click"));
    Screen screen;
    const unsigned long xid = screen.ChildOfSize(kWidth, kHeight);
    auto settle = [] { PumpFor(150ms); };

    // Press, drag off, release elsewhere: nothing is reported.
    g_parentSeen.clear();
    screen.MoveTo(button, 20, 15);
    settle();
    screen.x.buttonDown(1);
    screen.x.sync();
    ASSERT_TRUE(PumpUntil([&] { return State(button) == 3; }));
    EXPECT_TRUE(PumpUntil([&] { return screen.PixelOf(xid, 30, 20) == kPressed; }));
    screen.MoveTo(button, kWidth + 30, 15);
    ASSERT_TRUE(PumpUntil([&] { return State(button) == 1; }));
    EXPECT_EQ(win::GetCapture(), 0u);
    screen.x.buttonUp(1);
    screen.x.sync();
    settle();
    EXPECT_TRUE(ParentSeen(WM_COMMAND).empty());

    // Press and release over the button: exactly one WM_COMMAND with the identifier and lParam 0.
    g_parentSeen.clear();
    screen.MoveTo(button, 20, 15);
    settle();
    screen.x.buttonDown(1);
    screen.x.buttonUp(1);
    screen.x.sync();
    ASSERT_TRUE(PumpUntil([] { return !ParentSeen(WM_COMMAND).empty(); }));
    settle();
    ASSERT_EQ(ParentSeen(WM_COMMAND).size(), 1u);
    EXPECT_EQ(ParentSeen(WM_COMMAND)[0].wParam, static_cast<WPARAM>(kId));
    EXPECT_EQ(ParentSeen(WM_COMMAND)[0].lParam, 0);
    // Released, the button shows its normal picture although the cursor is still over it.
    EXPECT_EQ(State(button), 1u);
    EXPECT_TRUE(PumpUntil([&] { return screen.PixelOf(xid, 30, 20) == kNormal; }));

    // A press that begins over the GL window starts its drag: the window holds the mouse capture, so
    // the button carried over stays normal and the release there is no click.
    g_parentSeen.clear();
    screen.MoveTo(button, kWidth + 30, 15);
    settle();
    screen.x.buttonDown(1);
    screen.x.sync();
    settle();
    ASSERT_TRUE(LEFTMOUSEDOWN);
    g_parentSeen.clear();
    screen.MoveTo(button, 20, 15);
    ASSERT_TRUE(PumpUntil([] { return !ParentSeen(WM_MOUSEMOVE).empty(); }))
        << "the move over the button went elsewhere";
    settle();
    EXPECT_EQ(State(button), 1u);
    screen.x.buttonUp(1);
    screen.x.sync();
    ASSERT_TRUE(PumpUntil([] { return !LEFTMOUSEDOWN; }));
    settle();
    EXPECT_TRUE(ParentSeen(WM_COMMAND).empty());
}

// What the button holds is released with it; the properties are checked from inside its own
// WM_DESTROY, once the button's procedure has handled it, while the window still exists.
WNDPROC g_buttonProc = nullptr;
std::vector<std::string> g_leftAfterDestroy;

LRESULT DestroySpy(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const LRESULT result = win::CallWindowProcA(g_buttonProc, hwnd, message, wParam, lParam);
    if (message == WM_DESTROY)
        for (const char* name : {NORMALBMP, HOVERBMP, PRESSBMP, BUTTONRGN, HOVERMODE})
            if (win::GetPropA(hwnd, name) != 0)
                g_leftAfterDestroy.push_back(name);
    return result;
}

TEST(HoverButton, DestructionReleasesPicturesAndPropertiesAndRegion) {
    WritePictures(Prefix("gone"));
    const HWND button = MakeButton(Prefix("gone"));
    const auto normal = static_cast<HDC>(win::GetPropA(button, NORMALBMP));
    const HGDIOBJ bitmap = win::GetCurrentObject(normal, win::OBJ_BITMAP);
    const HGDIOBJ palette = win::GetCurrentObject(normal, win::OBJ_PAL);
    const auto region = static_cast<HRGN>(win::GetPropA(button, BUTTONRGN));
    win::BITMAP bm{};
    ASSERT_NE(win::GetObjectA(bitmap, sizeof bm, &bm), 0);
    ASSERT_NE(win::GetPaletteEntries(palette, 0, 0, nullptr), 0u);
    ASSERT_TRUE(win::PtInRegion(region, 20, 15));

    g_buttonProc = reinterpret_cast<WNDPROC>(
        win::SetWindowLongPtrA(button, win::GWLP_WNDPROC, reinterpret_cast<LRESULT>(&DestroySpy)));
    ASSERT_TRUE(win::DestroyWindow(button));
    EXPECT_TRUE(g_leftAfterDestroy.empty()) << "left: " << g_leftAfterDestroy.front();
    EXPECT_EQ(win::GetObjectA(bitmap, sizeof bm, &bm), 0) << "the normal picture's bitmap is freed";
    EXPECT_EQ(win::GetPaletteEntries(palette, 0, 0, nullptr), 0u) << "and its palette";
    EXPECT_FALSE(win::PtInRegion(region, 20, 15)) << "and the hit-test region";
}

// Without its normal picture the button keeps its size, has no shape, never hovers and still clicks;
// a missing hover picture shows the normal one.
TEST(HoverButton, MissingPicturesKeepTheButtonUsable) {
    Screen screen;
    const HWND bare = MakeButton(Prefix("nothing-here"), 30, 20);
    win::RECT r{};
    win::GetWindowRect(bare, &r);
    EXPECT_EQ(r.right - r.left, 30);
    EXPECT_EQ(r.bottom - r.top, 20);
    EXPECT_EQ(win::GetPropA(bare, BUTTONRGN), 0u);
    PumpFor(100ms);
    EXPECT_FALSE(win::PeekMessageA(nullptr, bare, WM_PAINT, WM_PAINT, win::PM_NOREMOVE))
        << "painting nothing still validates the window";

    g_parentSeen.clear();
    screen.MoveTo(bare, 10, 10);
    PumpFor(100ms);
    EXPECT_EQ(State(bare), 1u) << "no region, no hover";
    screen.x.buttonDown(1);
    screen.x.buttonUp(1);
    screen.x.sync();
    ASSERT_TRUE(PumpUntil([] { return !ParentSeen(WM_COMMAND).empty(); }));
    // A release over it that follows a press elsewhere is no click.
    g_parentSeen.clear();
    screen.MoveTo(bare, 40, 10);
    screen.x.buttonDown(1);
    screen.x.sync();
    PumpFor(100ms);
    screen.MoveTo(bare, 10, 10);
    screen.x.buttonUp(1);
    screen.x.sync();
    PumpFor(200ms);
    EXPECT_TRUE(ParentSeen(WM_COMMAND).empty());
    win::DestroyWindow(bare);

    WritePictures(Prefix("nohover"), false);
    const HWND button = MakeButton(Prefix("nohover"));
    const unsigned long xid = screen.ChildOfSize(kWidth, kHeight);
    screen.MoveTo(button, 20, 15);
    ASSERT_TRUE(PumpUntil([&] { return State(button) == 2; }));
    PumpFor(100ms);
    EXPECT_EQ(screen.PixelOf(xid, 30, 20), kNormal);
}

} // namespace
