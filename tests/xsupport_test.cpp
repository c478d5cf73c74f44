// The test-support layer checked against a plain Xlib window of our own: if these fail, every
// other suite's findings about windows, pixels and input are suspect.
#include "xsupport.h"

// gtest first: Xlib defines None, Bool and friends as macros.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <poll.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

using namespace std::chrono_literals;

namespace {

class XsupportTest : public testing::Test {
protected:
    void SetUp() override {
        const char* name = std::getenv("DISPLAY");
        ASSERT_TRUE(name && *name);
        display_ = name;
        dpy_ = XOpenDisplay(name);
        ASSERT_NE(dpy_, nullptr);
    }
    void TearDown() override {
        if (dpy_)
            XCloseDisplay(dpy_);
    }

    // A mapped top-level window with a solid background; without a window manager it stays where it is put.
    Window makeWindow(const char* latin1Title, int x, int y, int w, int h, unsigned long pixel, long eventMask) {
        XSetWindowAttributes attrs{};
        attrs.background_pixel = pixel;
        attrs.event_mask = eventMask | StructureNotifyMask;
        Window win = XCreateWindow(dpy_, DefaultRootWindow(dpy_), x, y, w, h, 0, CopyFromParent, InputOutput,
                                   CopyFromParent, CWBackPixel | CWEventMask, &attrs);
        XStoreName(dpy_, win, latin1Title);
        XClassHint hint{const_cast<char*>("xsupport-test"), const_cast<char*>("XsupportTest")};
        XSetClassHint(dpy_, win, &hint);
        XMapWindow(dpy_, win);
        XEvent ev;
        EXPECT_TRUE(waitEvent(win, MapNotify, ev));
        return win;
    }

    bool waitEvent(Window win, int type, XEvent& ev, std::chrono::milliseconds timeout = 2s) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            while (XPending(dpy_)) {
                XNextEvent(dpy_, &ev);
                if (ev.type == type && ev.xany.window == win)
                    return true;
            }
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left <= 0ms)
                return false;
            pollfd p{ConnectionNumber(dpy_), POLLIN, 0};
            poll(&p, 1, static_cast<int>(left.count()));
        }
    }

    std::string display_;
    Display* dpy_ = nullptr;
};

TEST_F(XsupportTest, FindsWindowAndReadsItBack) {
    XColor colour{};
    colour.red = 0x3333;
    colour.green = 0x6666;
    colour.blue = 0xCCCC;
    ASSERT_TRUE(XAllocColor(dpy_, DefaultColormap(dpy_, DefaultScreen(dpy_)), &colour));
    Window win = makeWindow("Fen\xEAtre", 40, 30, 120, 80, colour.pixel, 0);

    xsupport::XClient client(display_);
    ASSERT_EQ(client.waitForWindow("Fenêtre", 2s), win); // WM_NAME is Latin-1, the query UTF-8
    EXPECT_EQ(client.waitForWindow("No such window", 50ms), 0UL);
    EXPECT_EQ(client.wmClassName(win), "XsupportTest");

    auto geometry = client.geometry(win);
    ASSERT_TRUE(geometry);
    EXPECT_EQ(geometry->x, 40);
    EXPECT_EQ(geometry->y, 30);
    EXPECT_EQ(geometry->width, 120);
    EXPECT_EQ(geometry->height, 80);

    int w = 0, h = 0;
    auto rgb = client.captureRgb(win, w, h);
    ASSERT_EQ(w, 120);
    ASSERT_EQ(h, 80);
    ASSERT_EQ(rgb.size(), 120u * 80u * 3u);
    for (std::size_t i = 0; i < rgb.size(); i += 3)
        ASSERT_TRUE(rgb[i] == 0x33 && rgb[i + 1] == 0x66 && rgb[i + 2] == 0xCC) << "pixel " << i / 3;

    const std::string png = testing::TempDir() + "xsupport_capture_" + std::to_string(getpid()) + ".png";
    ASSERT_TRUE(xsupport::writePng(png, rgb, w, h));
    std::ifstream file(png, std::ios::binary);
    char signature[8] = {};
    file.read(signature, 8);
    EXPECT_EQ(std::memcmp(signature, "\x89PNG\r\n\x1a\n", 8), 0);
    std::remove(png.c_str());

    // _NET_WM_NAME, when present, is the title a user sees.
    const char utf8[] = "Fenêtre – UTF-8";
    XChangeProperty(dpy_, win, XInternAtom(dpy_, "_NET_WM_NAME", False), XInternAtom(dpy_, "UTF8_STRING", False), 8,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(utf8), std::strlen(utf8));
    XSync(dpy_, False);
    EXPECT_EQ(client.title(win), utf8);

    XUnmapWindow(dpy_, win);
    XSync(dpy_, False);
    EXPECT_TRUE(client.waitForWindowGone(utf8, 2s));
    XDestroyWindow(dpy_, win);
    XSync(dpy_, False);
    EXPECT_FALSE(client.geometry(win)); // a vanished window is an answer, not a crash
}

TEST_F(XsupportTest, InjectedInputReachesWindow) {
    Window win = makeWindow("xsupport input", 100, 100, 200, 150, BlackPixel(dpy_, DefaultScreen(dpy_)),
                            KeyPressMask | ButtonPressMask);
    xsupport::XClient client(display_);
    client.setInputFocus(win);

    client.tapKey("a");
    XEvent ev;
    ASSERT_TRUE(waitEvent(win, KeyPress, ev));
    EXPECT_EQ(ev.xkey.keycode, XKeysymToKeycode(dpy_, XK_a));

    client.click(150, 175, 3);
    ASSERT_TRUE(waitEvent(win, ButtonPress, ev));
    EXPECT_EQ(ev.xbutton.button, 3u);
    EXPECT_EQ(ev.xbutton.x, 50);
    EXPECT_EQ(ev.xbutton.y, 75);

    EXPECT_THROW(client.tapKey("NoSuchKeysym"), std::runtime_error);
    XDestroyWindow(dpy_, win);
}

TEST_F(XsupportTest, CloseRequestArrivesAsWmDeleteWindow) {
    Window win = makeWindow("xsupport close", 10, 10, 50, 50, BlackPixel(dpy_, DefaultScreen(dpy_)), 0);
    Atom wmDelete = XInternAtom(dpy_, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(dpy_, win, &wmDelete, 1);
    XSync(dpy_, False);

    xsupport::XClient client(display_);
    client.sendCloseRequest(win);
    XEvent ev;
    ASSERT_TRUE(waitEvent(win, ClientMessage, ev));
    EXPECT_EQ(ev.xclient.message_type, XInternAtom(dpy_, "WM_PROTOCOLS", False));
    EXPECT_EQ(ev.xclient.format, 32);
    EXPECT_EQ(static_cast<Atom>(ev.xclient.data.l[0]), wmDelete);
    XDestroyWindow(dpy_, win);
}

TEST(ChildProcessTest, CapturesOutputExitCodeEnvironmentAndTimeout) {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr);
    xsupport::ChildProcess shell({"/bin/sh", "-c", "echo ${DISPLAY-unset} >&2; echo \"$EXTRA\"; exit 3"},
                                 {"DISPLAY", "EXTRA=added"});
    EXPECT_EQ(shell.wait(5s), 3);
    EXPECT_EQ(shell.stderrText(), "unset\n");
    EXPECT_EQ(shell.stdoutText(), "added\n");

    xsupport::ChildProcess inDir({"pwd"}, {}, "/tmp");
    EXPECT_EQ(inDir.wait(5s), 0);
    EXPECT_EQ(inDir.stdoutText(), "/tmp\n");

    xsupport::ChildProcess sleeper({"sleep", "5"});
    EXPECT_EQ(sleeper.wait(200ms), std::nullopt);
    EXPECT_TRUE(sleeper.running());
    sleeper.kill(SIGTERM);
    EXPECT_EQ(sleeper.wait(5s), 128 + SIGTERM);
}

} // namespace
