// The GL window's life cycle on a real X server: creation as the X server sees it, the context, the
// message pump, destruction, the status bar and the fatal messages.
#include "xsupport.h"

#include <nembra/nembra.h>

#include "nembra/platform/win.h"
#include "nembra/window/internal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <unistd.h>

using namespace nembra;
using namespace std::chrono_literals;

namespace {

constexpr const char* kTitle = "Nembra window test \xE8";
constexpr const char* kTitleUtf8 = "Nembra window test \xC3\xA8";

// The shared window of this test process (a process may create it only once).
void EnsureWindow() {
    static bool created = false;
    if (!created) {
        OGLWINDOWSETTING(ARROW, "", GENERIC, "");
        CREATEOGLWINDOW(kTitle, 800, 600, 32, false);
        created = true;
    }
}

// Messages that reach the GL window's procedure, recorded by subclassing it the desktop way.
std::vector<UINT> g_seen;
WNDPROC g_original = nullptr;

LRESULT Recorder(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    g_seen.push_back(message);
    return win::CallWindowProcA(g_original, hwnd, message, wParam, lParam);
}

void RecordMessages() {
    g_seen.clear();
    g_original = reinterpret_cast<WNDPROC>(
        win::SetWindowLongPtrA(HWINDOW, win::GWLP_WNDPROC, reinterpret_cast<LRESULT>(&Recorder)));
}

int Count(UINT message) { return static_cast<int>(std::count(g_seen.begin(), g_seen.end(), message)); }

// Works off everything waiting (paint messages after mapping, for instance).
void Drain() {
    for (int i = 0; i < 1000 && win::PeekMessageA(nullptr, 0, 0, 0, win::PM_NOREMOVE); ++i)
        SETGLMSG();
}

std::string Program(const char* name) { return xsupport::buildDir() + "/" + name; }

} // namespace

TEST(GlWindow, WindowedKindAsTheXServerSeesIt) {
    EnsureWindow();
    // WM_CREATE ran inside creation.
    EXPECT_TRUE(ACTIVE);
    EXPECT_NE(HWINDOW, 0u);
    EXPECT_EQ(WIDTH, 800);
    EXPECT_EQ(HEIGHT, 600);
    EXPECT_EQ(HSTATUS, 0u); // no status bar unless asked for

    xsupport::XClient x(std::getenv("DISPLAY"));
    const unsigned long window = x.waitForWindow(kTitleUtf8, 5s);
    ASSERT_NE(window, 0ul) << "no window titled with the UTF-8 form of the Latin-1 title";
    EXPECT_EQ(x.wmClassName(window), "GLWindow");
    // The generic application icon reaches the window as _NET_WM_ICON: width, height, then pixels.
    Display* dpy = static_cast<Display*>(x.nativeDisplay());
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* icon = nullptr;
    XGetWindowProperty(dpy, window, XInternAtom(dpy, "_NET_WM_ICON", False), 0, 1 << 16, False, AnyPropertyType, &type,
                       &format, &count, &after, &icon);
    ASSERT_NE(icon, nullptr);
    const long* words = reinterpret_cast<const long*>(icon);
    EXPECT_EQ(count, 2 + static_cast<unsigned long>(words[0] * words[1]));
    XFree(icon);
    const auto geometry = x.geometry(window);
    ASSERT_TRUE(geometry);
    // No window manager under Xvfb: no frame, so the client area is the whole outer size.
    EXPECT_EQ(geometry->x, 0);
    EXPECT_EQ(geometry->y, 0);
    EXPECT_EQ(geometry->width, 800);
    EXPECT_EQ(geometry->height, 600);
    win::RECT rect;
    ASSERT_TRUE(win::GetWindowRect(HWINDOW, &rect));
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right, 800);
    EXPECT_EQ(rect.bottom, 600);
}

TEST(GlWindow, ContextIsCurrentDoubleBufferedRgbaWithDepth) {
    EnsureWindow();
    ASSERT_NE(glGetString(GL_VERSION), nullptr) << "no current context";
    GLboolean doubleBuffered = GL_FALSE, rgba = GL_FALSE;
    glGetBooleanv(GL_DOUBLEBUFFER, &doubleBuffered);
    glGetBooleanv(GL_RGBA_MODE, &rgba);
    GLint red = 0, green = 0, blue = 0, depth = 0;
    glGetIntegerv(GL_RED_BITS, &red);
    glGetIntegerv(GL_GREEN_BITS, &green);
    glGetIntegerv(GL_BLUE_BITS, &blue);
    glGetIntegerv(GL_DEPTH_BITS, &depth);
    EXPECT_TRUE(doubleBuffered);
    EXPECT_TRUE(rgba);
    EXPECT_EQ(red, 8);
    EXPECT_EQ(green, 8);
    EXPECT_EQ(blue, 8);
    EXPECT_GE(depth, 16);
}

// The frame's road to the screen: cleared, swapped, and read back from the X server.
TEST(GlWindow, SwappedFramesReachTheWindow) {
    EnsureWindow();
    Drain();
    xsupport::XClient x(std::getenv("DISPLAY"));
    const unsigned long window = x.waitForWindow(kTitleUtf8, 5s);
    ASSERT_NE(window, 0ul);
    auto centre = [&](std::uint8_t* rgb) {
        int w = 0, h = 0;
        const auto pixels = x.captureRgb(window, w, h);
        if (pixels.empty())
            return false;
        std::copy_n(&pixels[static_cast<std::size_t>(((h / 2) * w + w / 2) * 3)], 3, rgb);
        return true;
    };
    std::uint8_t rgb[3] = {};
    // Before the first swap the window shows its class background, the button-face grey.
    ASSERT_TRUE(centre(rgb));
    EXPECT_EQ(rgb[0], 0xF0);
    EXPECT_EQ(rgb[1], 0xF0);
    EXPECT_EQ(rgb[2], 0xF0);

    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    bool red = false;
    for (int attempt = 0; attempt < 100 && !red; ++attempt) {
        glClear(GL_COLOR_BUFFER_BIT);
        EXPECT_TRUE(SwapBuffers(DCWINDOW));
        SETGLMSG();
        red = centre(rgb) && rgb[0] == 255 && rgb[1] == 0 && rgb[2] == 0;
    }
    EXPECT_TRUE(red) << "centre pixel " << int(rgb[0]) << "," << int(rgb[1]) << "," << int(rgb[2]);
}

TEST(MessagePump, IdlePumpCallsNoWindowProcedure) {
    EnsureWindow();
    Drain();
    RecordMessages();
    SETGLMSG();
    EXPECT_TRUE(g_seen.empty()) << "first message seen: " << (g_seen.empty() ? 0 : g_seen[0]);
}

TEST(MessagePump, HandlesOnlyTheOldestMessagePerCall) {
    EnsureWindow();
    Drain();
    RecordMessages();
    for (UINT n = 1; n <= 3; ++n)
        ASSERT_TRUE(win::PostMessageA(HWINDOW, WM_USER + n, n, 0));
    SETGLMSG();
    EXPECT_EQ(g_seen, std::vector<UINT>{WM_USER + 1});
    EXPECT_EQ(MSG_.message, WM_USER + 1);
    EXPECT_EQ(MSG_.hwnd, HWINDOW);
    SETGLMSG();
    SETGLMSG();
    EXPECT_EQ(g_seen, (std::vector<UINT>{WM_USER + 1, WM_USER + 2, WM_USER + 3}));
}

// A pointer move with no button down takes the default path, which repaints the status bar first.
TEST(MessagePump, StatusBarRepaintedOnTheDefaultPath) {
    EXPECT_EXIT(
        {
            SHOWSTATUSBAR = true;
            MAXSTATUSITEM = 2;
            STATUSITEM[1] = 200;
            STATUSITEM[2] = -1;
            EnsureWindow();
            Drain();
            win::InvalidateRect(HSTATUS, nullptr, 0);
            const bool pendingBefore = win::PeekMessageA(nullptr, HSTATUS, WM_PAINT, WM_PAINT, win::PM_NOREMOVE);
            win::PostMessageA(HWINDOW, WM_MOUSEMOVE, 0, (20 << 16) | 10);
            SETGLMSG();
            const bool pendingAfter = win::PeekMessageA(nullptr, HSTATUS, WM_PAINT, WM_PAINT, win::PM_NOREMOVE);
            std::fprintf(stderr, "paint pending before=%d after=%d\n", pendingBefore, pendingAfter);
            std::exit(0);
        },
        testing::ExitedWithCode(0), "paint pending before=1 after=0");
}

// The menu-bar hook runs during creation when menus are on; a nil hook is skipped.
int g_menuBarCalls = 0;

void CreateWithMenuHook(bool withHook) {
    SHOWMENUBAR = true;
    CREATEMENUBAR = withHook ? +[] { ++g_menuBarCalls; } : nullptr;
    EnsureWindow();
    std::fprintf(stderr, "created=%d hook calls=%d\n", ACTIVE, g_menuBarCalls);
    std::exit(0);
}

TEST(GlWindow, MenuBarHookRunsOnceAndANilHookIsSkipped) {
    EXPECT_EXIT(CreateWithMenuHook(true), testing::ExitedWithCode(0), "created=1 hook calls=1");
    EXPECT_EXIT(CreateWithMenuHook(false), testing::ExitedWithCode(0), "created=1 hook calls=0");
}

TEST(StatusBar, CreatedWithTheWindowWithItsTextAndParts) {
    EXPECT_EXIT(
        {
            std::memset(FILENAME, 'x', sizeof FILENAME);
            SHOWSTATUSBAR = true;
            MAXSTATUSITEM = 3;
            STATUSITEM[1] = 150;
            STATUSITEM[2] = 400;
            STATUSITEM[3] = -1;
            EnsureWindow();
            std::int32_t parts[8] = {};
            const auto count = win::SendMessageA(HSTATUS, SB_GETPARTS, 8, reinterpret_cast<LPARAM>(parts));
            char text[64] = {};
            win::SendMessageA(HSTATUS, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text));
            const bool padded = std::all_of(FILENAME + 13, FILENAME + 261, [](char c) { return c == 0; });
            win::RECT client{};
            win::RECT bar{};
            win::GetClientRect(HWINDOW, &client);
            win::GetWindowRect(HSTATUS, &bar);
            std::fprintf(stderr, "same=%d parts=%d:%d,%d,%d text=%s filename=%s padded=%d id=%d bottom=%d/%d\n",
                         HSTATUS == AWND, static_cast<int>(count), parts[0], parts[1], parts[2], text, FILENAME, padded,
                         win::GetDlgCtrlID(HSTATUS), bar.bottom, client.bottom);
            std::exit(0);
        },
        testing::ExitedWithCode(0),
        "same=1 parts=3:150,400,-1 text=Percorso file filename=Percorso file padded=1 id=30482 bottom=600/600");
}

TEST(StatusBar, MorePartsThanTheTableHoldsStopsWithTheRangeCheck) {
    EXPECT_EXIT(
        {
            SHOWSTATUSBAR = true;
            MAXSTATUSITEM = 21;
            EnsureWindow();
        },
        testing::ExitedWithCode(201), "range check error: STATUSITEM\\[21\\]");
}

TEST(GlWindow, FullScreenTakesTheScreenSize) {
    EXPECT_EXIT(
        {
            xsupport::XvfbServer server(1920, 1080);
            setenv("DISPLAY", server.display().c_str(), 1);
            OGLWINDOWSETTING(ARROW, "", GENERIC, "");
            CREATEOGLWINDOW(kTitle, 800, 600, 32, true);
            xsupport::XClient x(server.display());
            const unsigned long window = x.waitForWindow(kTitleUtf8, 5s);
            const auto g = x.geometry(window);
            std::fprintf(stderr, "WIDTH=%d HEIGHT=%d window=%d,%d %dx%d\n", WIDTH, HEIGHT, g ? g->x : -1, g ? g->y : -1,
                         g ? g->width : -1, g ? g->height : -1);
            std::exit(0);
        },
        testing::ExitedWithCode(0), "WIDTH=1920 HEIGHT=1080 window=0,0 1920x1080");
}

// Under a window manager the frame counts into the outer size, and the window stands at (0, 0).
void UnderWindowManager(bool fullScreen) {
    xsupport::XvfbServer server(1024, 768);
    setenv("DISPLAY", server.display().c_str(), 1);
    xsupport::ChildProcess wm({"openbox", "--sm-disable"}, {"DISPLAY=" + server.display()});
    xsupport::XClient x(server.display());
    // The window manager is ready once it announces itself on the root window.
    Display* dpy = static_cast<Display*>(x.nativeDisplay());
    const Atom check = XInternAtom(dpy, "_NET_SUPPORTING_WM_CHECK", False);
    bool ready = false;
    for (int i = 0; i < 500 && !ready; ++i) {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(dpy, x.root(), check, 0, 1, False, AnyPropertyType, &type, &format, &count, &after, &data);
        ready = data && count == 1;
        if (data)
            XFree(data);
        if (!ready)
            usleep(10000);
    }
    CREATEOGLWINDOW(kTitle, 800, 600, 32, fullScreen);
    Drain();
    win::RECT outer{};
    win::RECT client{};
    win::GetWindowRect(HWINDOW, &outer);
    win::GetClientRect(HWINDOW, &client);
    std::fprintf(stderr, "wm=%d outer=%d,%d,%d,%d client=%dx%d framed=%d\n", ready, outer.left, outer.top, outer.right,
                 outer.bottom, client.right, client.bottom, client.right < outer.right - outer.left);
    // What the window manager lets the user do with the window, as it announces it.
    const unsigned long window = x.waitForWindow(kTitleUtf8, 5s);
    auto allowed = [&](const char* action) {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        const Atom wanted = XInternAtom(dpy, action, False);
        bool found = false;
        // The window manager sets the list once it manages the window; give it a moment.
        for (int i = 0; i < 200 && !data; ++i) {
            XGetWindowProperty(dpy, window, XInternAtom(dpy, "_NET_WM_ALLOWED_ACTIONS", False), 0, 64, False, XA_ATOM,
                               &type, &format, &count, &after, &data);
            if (!data)
                usleep(10000);
        }
        for (unsigned long i = 0; data && i < count; ++i)
            found = found || reinterpret_cast<const Atom*>(data)[i] == wanted;
        if (data)
            XFree(data);
        return found;
    };
    std::fprintf(stderr, "close=%d minimize=%d maximize=%d resize=%d\n", allowed("_NET_WM_ACTION_CLOSE"),
                 allowed("_NET_WM_ACTION_MINIMIZE"), allowed("_NET_WM_ACTION_MAXIMIZE_HORZ"),
                 allowed("_NET_WM_ACTION_RESIZE"));
    std::exit(0);
}

TEST(GlWindow, WindowedUnderAWindowManagerCountsTheFrame) {
    EXPECT_EXIT(UnderWindowManager(false), testing::ExitedWithCode(0),
                "wm=1 outer=0,0,800,600 client=[0-9]+x[0-9]+ framed=1\nclose=1 minimize=1 maximize=0 resize=0");
}

TEST(GlWindow, FullScreenUnderAWindowManagerHasNoFrame) {
    EXPECT_EXIT(UnderWindowManager(true), testing::ExitedWithCode(0),
                "wm=1 outer=0,0,1024,768 client=1024x768 framed=0");
}

// The window manager's close request and Alt+F4 are requests: WM_CLOSE's default destroys the window.
void CloseFromOutside(bool altF4) {
    EnsureWindow();
    RecordMessages();
    xsupport::XClient x(std::getenv("DISPLAY"));
    const unsigned long window = x.waitForWindow(kTitleUtf8, 5s);
    if (altF4) {
        x.setInputFocus(window);
        x.tapKeyWithModifier("Alt_L", "F4");
    } else {
        x.sendCloseRequest(window);
    }
    for (int i = 0; i < 5000 && ACTIVE; ++i) {
        SETGLMSG();
        usleep(1000);
    }
    const bool gone = x.waitForWindowGone(kTitleUtf8, 2s);
    std::fprintf(stderr, "close=%d destroy=%d active=%d gone=%d\n", Count(WM_CLOSE), Count(WM_DESTROY), ACTIVE, gone);
    // The frame in progress still swaps, quietly failing, and shutting down still works.
    const BOOL swapped = SwapBuffers(DCWINDOW);
    DELETEOGLWINDOW();
    std::fprintf(stderr, "swap after close=%d destroy after delete=%d\n", swapped, Count(WM_DESTROY));
    std::exit(0);
}

TEST(GlWindow, CloseRequestEndsInOneDestroy) {
    for (bool altF4 : {false, true}) {
        SCOPED_TRACE(altF4 ? "Alt+F4" : "WM_DELETE_WINDOW");
        EXPECT_EXIT(CloseFromOutside(altF4), testing::ExitedWithCode(0),
                    "close=1 destroy=1 active=0 gone=1\nswap after close=0 destroy after delete=1");
    }
}

TEST(GlWindow, DeleteGivesExactlyOneDestroy) {
    EXPECT_EXIT(
        {
            EnsureWindow();
            RecordMessages();
            DELETEOGLWINDOW();
            xsupport::XClient x(std::getenv("DISPLAY"));
            std::fprintf(stderr, "destroy=%d active=%d current=%d gone=%d\n", Count(WM_DESTROY), ACTIVE,
                         win::wglGetCurrentContext() != 0, x.waitForWindowGone(kTitleUtf8, 2s));
            std::exit(0);
        },
        testing::ExitedWithCode(0), "destroy=1 active=0 current=0 gone=1");
}

// The three fatal messages, each from a whole process: the box captioned "Error" appears, is
// answered with a real key press, and the program ends with exit code 1.
TEST(FatalMessages, ShownInABoxThenExitCodeOne) {
    xsupport::XvfbServer noGlx(640, 480, {"-extension", "GLX"});
    struct Case {
        const char* scenario;
        std::string display;
        const char* messageUtf8;
    } cases[] = {
        {"twice", std::getenv("DISPLAY"), "Errore di registro per la rispettiva applicazione!"},
        {"tiny", std::getenv("DISPLAY"), "Impossibile creare la finestra per la rispettiva applicazione!"},
        {"create", noGlx.display(), "la rispettiva applicazione non \xC3\xA8 stata inizilizata!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.scenario);
        xsupport::ChildProcess child({Program("nembra-window-probe"), c.scenario}, {"DISPLAY=" + c.display});
        xsupport::XClient x(c.display);
        const unsigned long box = x.waitForWindow("Error", 10s);
        ASSERT_NE(box, 0ul) << child.stderrText();
        x.setInputFocus(box);
        x.tapKey("Return");
        const auto code = child.wait(10s);
        ASSERT_TRUE(code) << "still running after the box was answered";
        EXPECT_EQ(*code, 1);
        EXPECT_NE(child.stderrText().find(std::string("Error: ") + c.messageUtf8), std::string::npos)
            << child.stderrText();
    }
}

// No display at all: nothing hangs; the fatal message goes to standard error.
TEST(FatalMessages, NoDisplayFailsWindowCreationWithExitCodeOne) {
    EXPECT_EXIT(
        {
            unsetenv("DISPLAY");
            CREATEOGLWINDOW(kTitle, 800, 600, 32, false);
        },
        testing::ExitedWithCode(1), "Error: Impossibile creare la finestra per la rispettiva applicazione!");
}
