// The message box as a user meets it: a dialog window found by its title, answered with real key presses,
// clicks and the window manager's close request; and the standard-error line it leaves without a display.
#include "nembra/platform/win.h"
#include "xsupport.h"

// gtest before Xlib: Xlib defines None, Bool and friends as macros.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

std::string ProbePath() { return xsupport::buildDir() + "/nembra-msgbox-probe"; }

std::string DisplayName() {
    const char* name = std::getenv("DISPLAY");
    return name ? name : "";
}

// Bytes of a window property, or nullopt if it is missing; `type` receives its type atom.
std::optional<std::string> ReadProperty(Display* dpy, Window window, const char* name, Atom& type) {
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(dpy, window, XInternAtom(dpy, name, False), 0, 4096, False, AnyPropertyType, &type, &format,
                           &count, &after, &data) != Success ||
        !data)
        return std::nullopt;
    const std::size_t bytes = format == 32 ? count * sizeof(long) : count * static_cast<std::size_t>(format / 8);
    std::string out(reinterpret_cast<const char*>(data), bytes);
    XFree(data);
    return out;
}

// The box takes the keyboard itself once it is viewable; typing before that would go elsewhere.
bool WaitFocused(xsupport::XClient& x, unsigned long window, std::chrono::milliseconds timeout) {
    Display* dpy = static_cast<Display*>(x.nativeDisplay());
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(dpy, &focus, &revert);
        if (focus == window)
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(10ms);
    }
}

struct Box {
    int x, y, width, height; // window coordinates
};

// The buttons as a user sees them: the lowest band of rows that differ from the bottom corner's colour,
// split into runs of such columns; left to right.
std::vector<Box> FindButtons(xsupport::XClient& x, unsigned long window) {
    int w = 0, h = 0;
    const std::vector<std::uint8_t> rgb = x.captureRgb(window, w, h);
    if (rgb.empty())
        return {};
    auto at = [&](int px, int py) { return &rgb[(static_cast<std::size_t>(py) * w + px) * 3]; };
    const std::uint8_t* background = at(1, h - 2);
    auto plain = [&](int px, int py) { return std::equal(background, background + 3, at(px, py)); };
    auto rowBusy = [&](int py) {
        for (int px = 0; px < w; ++px)
            if (!plain(px, py))
                return true;
        return false;
    };
    int bottom = h - 1;
    while (bottom >= 0 && !rowBusy(bottom))
        --bottom;
    int top = bottom;
    while (top > 0 && rowBusy(top - 1))
        --top;
    std::vector<Box> buttons;
    for (int px = 0; px < w && bottom >= 0; ++px) {
        bool busy = false;
        for (int py = top; py <= bottom && !busy; ++py)
            busy = !plain(px, py);
        if (!busy)
            continue;
        if (buttons.empty() || buttons.back().x + buttons.back().width != px)
            buttons.push_back({px, top, 0, bottom - top + 1});
        ++buttons.back().width;
    }
    return buttons;
}

struct Step {
    enum Kind { Key, KeyWithShift, Close, Press, Release, StillOpen } kind;
    std::string key; // Key, KeyWithShift
    int button = 0;  // Press, Release: index from the left
};

Step Key(const char* name) { return {Step::Key, name}; }
Step ShiftKey(const char* name) { return {Step::KeyWithShift, name}; }
Step Close() { return {Step::Close, {}}; }
Step Press(int button) { return {Step::Press, {}, button}; }
Step Release(int button) { return {Step::Release, {}, button}; }
// The input so far chose nothing: the box is still up.
Step StillOpen() { return {Step::StillOpen, {}}; }

struct AnswerCase {
    const char* name;
    win::UINT type;
    std::vector<Step> input;
    int expected;
};

void PrintTo(const AnswerCase& c, std::ostream* os) { *os << c.name; }

class MessageBoxAnswers : public testing::TestWithParam<AnswerCase> {};

TEST_P(MessageBoxAnswers, AnswersToUserInput) {
    const AnswerCase& c = GetParam();
    xsupport::XClient x(DisplayName());
    xsupport::ChildProcess probe({ProbePath(), "Settare lo schermo intero?", "Video!", std::to_string(c.type)});
    const unsigned long window = x.waitForWindow("Video!", 10s);
    ASSERT_NE(window, 0u) << probe.stderrText();
    ASSERT_TRUE(WaitFocused(x, window, 5s));
    const auto geometry = x.geometry(window);
    ASSERT_TRUE(geometry);

    std::vector<Box> buttons;
    for (const Step& step : c.input) {
        if ((step.kind == Step::Press || step.kind == Step::Release) && buttons.empty()) {
            buttons = FindButtons(x, window);
            ASSERT_EQ(buttons.size(), (c.type & 0xF) == win::MB_OK ? 1u : 2u);
        }
        auto pointAt = [&](int index) {
            const Box& b = buttons.at(static_cast<std::size_t>(index));
            x.movePointer(geometry->x + b.x + b.width / 2, geometry->y + b.y + b.height / 2);
        };
        switch (step.kind) {
        case Step::Key: x.tapKey(step.key); break;
        case Step::KeyWithShift: x.tapKeyWithModifier("Shift_L", step.key); break;
        case Step::Close: x.sendCloseRequest(window); break;
        case Step::Press:
            pointAt(step.button);
            x.buttonDown(1);
            break;
        case Step::Release:
            pointAt(step.button);
            x.buttonUp(1);
            break;
        case Step::StillOpen: ASSERT_FALSE(probe.wait(300ms)) << "answered " << probe.stdoutText(); break;
        }
    }
    const auto code = probe.wait(10s);
    ASSERT_EQ(code, 0) << probe.stderrText();
    EXPECT_EQ(probe.stdoutText(), std::to_string(c.expected) + "\n");
    EXPECT_TRUE(x.waitForWindowGone("Video!", 2s));
}

using win::MB_DEFBUTTON2;
using win::MB_ICONQUESTION;
using win::MB_OK;
using win::MB_OKCANCEL;
using win::MB_YESNO;

// Suites are named in lower case after the file, so that `ctest -R msgbox` selects them.
INSTANTIATE_TEST_SUITE_P(
    msgbox, MessageBoxAnswers,
    testing::Values(
        AnswerCase{"YesNoLetterN", MB_YESNO | MB_ICONQUESTION, {Key("n")}, win::IDNO},
        AnswerCase{"YesNoLetterY", MB_YESNO, {Key("y")}, win::IDYES},
        AnswerCase{"YesNoReturnTakesDefault", MB_YESNO, {Key("Return")}, win::IDYES},
        AnswerCase{"YesNoDefButton2Return", MB_YESNO | MB_DEFBUTTON2, {Key("Return")}, win::IDNO},
        AnswerCase{"YesNoTabThenSpace", MB_YESNO, {Key("Tab"), Key("space")}, win::IDNO},
        AnswerCase{"YesNoShiftTabMovesFocus", MB_YESNO, {ShiftKey("Tab"), Key("Return")}, win::IDNO},
        AnswerCase{"YesNoArrowsMoveFocus", MB_YESNO | MB_DEFBUTTON2, {Key("Left"), Key("space")}, win::IDYES},
        AnswerCase{"YesNoIgnoresEscapeAndClose", MB_YESNO, {Key("Escape"), Close(), StillOpen(), Key("n")}, win::IDNO},
        AnswerCase{"YesNoClickNo", MB_YESNO, {Press(1), Release(1)}, win::IDNO},
        AnswerCase{"YesNoPressAndReleaseOnDifferentButtons",
                   MB_YESNO,
                   {Press(0), Release(1), StillOpen(), Key("n")},
                   win::IDNO},
        AnswerCase{"OkReturn", MB_OK, {Key("Return")}, win::IDOK},
        AnswerCase{"OkEscape", MB_OK, {Key("Escape")}, win::IDOK},
        AnswerCase{"OkCloseRequest", MB_OK, {Close()}, win::IDOK},
        AnswerCase{"OkCancelEscape", MB_OKCANCEL, {Key("Escape")}, win::IDCANCEL},
        AnswerCase{"OkCancelCloseRequest", MB_OKCANCEL, {Close()}, win::IDCANCEL},
        AnswerCase{"OkCancelClickCancel", MB_OKCANCEL, {Press(1), Release(1)}, win::IDCANCEL}),
    [](const testing::TestParamInfo<AnswerCase>& info) { return std::string(info.param.name); });

TEST(msgbox, IsACentredFixedSizeDialogTitledInUtf8) {
    xsupport::XClient x(DisplayName());
    // The probe turns \xNN into bytes: the caption reaches MessageBoxA as Latin-1.
    xsupport::ChildProcess probe(
        {ProbePath(), "Qualit\\xe0 \\xe8 alta", "Perch\\xe8?", std::to_string(win::MB_OK | win::MB_ICONINFORMATION)});
    const unsigned long window = x.waitForWindow("Perch\xc3\xa8?", 10s);
    ASSERT_NE(window, 0u) << probe.stderrText();
    EXPECT_EQ(x.title(window), "Perch\xc3\xa8?");
    EXPECT_FALSE(x.wmClassName(window).empty());

    Display* dpy = static_cast<Display*>(x.nativeDisplay());
    Atom type = 0;
    EXPECT_EQ(ReadProperty(dpy, window, "_NET_WM_NAME", type), "Perch\xc3\xa8?");
    EXPECT_EQ(type, XInternAtom(dpy, "UTF8_STRING", False));
    EXPECT_EQ(ReadProperty(dpy, window, "WM_NAME", type), "Perch\xe8?"); // STRING is Latin-1 by ICCCM
    EXPECT_EQ(type, XA_STRING);
    const auto windowType = ReadProperty(dpy, window, "_NET_WM_WINDOW_TYPE", type);
    ASSERT_TRUE(windowType && windowType->size() == sizeof(long));
    EXPECT_EQ(*reinterpret_cast<const long*>(windowType->data()),
              static_cast<long>(XInternAtom(dpy, "_NET_WM_WINDOW_TYPE_DIALOG", False)));

    Atom* protocols = nullptr;
    int protocolCount = 0;
    ASSERT_TRUE(XGetWMProtocols(dpy, window, &protocols, &protocolCount));
    const Atom deleteWindow = XInternAtom(dpy, "WM_DELETE_WINDOW", False);
    EXPECT_NE(std::find(protocols, protocols + protocolCount, deleteWindow), protocols + protocolCount);
    XFree(protocols);

    const auto geometry = x.geometry(window);
    ASSERT_TRUE(geometry);
    XSizeHints hints{};
    long supplied = 0;
    ASSERT_TRUE(XGetWMNormalHints(dpy, window, &hints, &supplied));
    ASSERT_TRUE((hints.flags & PMinSize) && (hints.flags & PMaxSize));
    EXPECT_EQ(hints.min_width, geometry->width);
    EXPECT_EQ(hints.max_width, geometry->width);
    EXPECT_EQ(hints.min_height, geometry->height);
    EXPECT_EQ(hints.max_height, geometry->height);
    EXPECT_NEAR(geometry->x, (x.screenWidth() - geometry->width) / 2, 1);
    EXPECT_NEAR(geometry->y, (x.screenHeight() - geometry->height) / 2, 1);

    x.sendCloseRequest(window);
    EXPECT_EQ(probe.wait(10s), 0);
    EXPECT_EQ(probe.stdoutText(), "1\n");
}

win::LRESULT OwnerProc(win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
    return win::DefWindowProcA(hwnd, message, wParam, lParam);
}

// In this process, with a window of its own: the box stands over it, and a click the owner receives
// meanwhile is waiting in the queue when the box returns. A second thread plays the user on its own
// connection, since this one is blocked in the box.
TEST(msgbox, OwnerKeepsItsEventsAndGetsTheFocusBack) {
    win::WNDCLASSA wc{};
    wc.lpfnWndProc = OwnerProc;
    wc.hInstance = win::GetModuleHandleA(nullptr);
    wc.lpszClassName = "MsgBoxTestOwner";
    ASSERT_NE(win::RegisterClassA(&wc), 0);
    const win::HWND owner = win::CreateWindowExA(0, wc.lpszClassName, "Proprietario", win::WS_POPUP | win::WS_VISIBLE,
                                                 0, 0, 200, 200, 0, 0, wc.hInstance, nullptr);
    ASSERT_NE(owner, 0u);

    unsigned long ownerX = 0, transientFor = 0;
    bool focused = false;
    std::thread user([&] {
        xsupport::XClient x(DisplayName());
        ownerX = x.waitForWindow("Proprietario", 5s);
        const unsigned long box = x.waitForWindow("Domanda", 10s);
        Window transient = 0;
        if (box && XGetTransientForHint(static_cast<Display*>(x.nativeDisplay()), box, &transient))
            transientFor = transient;
        focused = box && WaitFocused(x, box, 5s);
        x.click(50, 60);
        x.tapKey("n"); // even after a failure, so the box cannot hold the test up
    });
    const int answer = win::MessageBoxA(owner, "Continuare?", "Domanda", MB_YESNO);
    user.join();
    EXPECT_EQ(answer, win::IDNO);
    EXPECT_NE(ownerX, 0u);
    EXPECT_EQ(transientFor, ownerX);
    EXPECT_TRUE(focused);
    EXPECT_EQ(win::GetForegroundWindow(), owner);

    bool clickSeen = false;
    win::MSG msg;
    while (win::PeekMessageA(&msg, 0, 0, 0, win::PM_REMOVE)) {
        clickSeen = clickSeen || (msg.hwnd == owner && msg.message == win::WM_LBUTTONDOWN &&
                                  (msg.lParam & 0xFFFF) == 50 && ((msg.lParam >> 16) & 0xFFFF) == 60);
        win::DispatchMessageA(&msg); // WM_PAINT keeps coming until it is handled
    }
    EXPECT_TRUE(clickSeen);
}

TEST(msgbox, WithoutDisplayWritesToStderrAndReturnsTheDefault) {
    struct {
        const char* text;
        const char* caption;
        win::UINT type;
        const char* expectedStderr;
        const char* expectedStdout;
    } const cases[] = {
        {"Settare lo schermo intero?  ", "Video!", MB_YESNO | MB_ICONQUESTION, "Video!: Settare lo schermo intero?  \n",
         "6\n"},
        {"Cos\\xec \\xe8", "Attenzione", MB_YESNO | MB_DEFBUTTON2, "Attenzione: Cos\xc3\xac \xc3\xa8\n", "7\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.caption);
        xsupport::ChildProcess probe({ProbePath(), c.text, c.caption, std::to_string(c.type)}, {"DISPLAY"});
        EXPECT_EQ(probe.wait(5s), 0);
        EXPECT_EQ(probe.stderrText(), c.expectedStderr);
        EXPECT_EQ(probe.stdoutText(), c.expectedStdout);
    }
}

// In this process: the library opens its display on first use, so without DISPLAY it has none.
TEST(msgbox, WithoutDisplayDefaultButtonsAndNullCaption) {
    const std::string display = DisplayName();
    unsetenv("DISPLAY");
    const bool haveDisplay = win::HaveDisplay();
    setenv("DISPLAY", display.c_str(), 1);
    if (haveDisplay)
        GTEST_SKIP() << "an earlier test in this process opened the display";
    const struct {
        win::UINT type;
        int expected;
    } defaults[] = {
        {MB_OK, win::IDOK},       {MB_OK | MB_DEFBUTTON2, win::IDOK},
        {MB_OKCANCEL, win::IDOK}, {MB_OKCANCEL | MB_DEFBUTTON2, win::IDCANCEL},
        {MB_YESNO, win::IDYES},   {MB_YESNO | MB_DEFBUTTON2, win::IDNO},
    };
    for (const auto& d : defaults) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(win::MessageBoxA(0, "x", "c", d.type), d.expected) << "type " << d.type;
        testing::internal::GetCapturedStderr();
    }
    testing::internal::CaptureStderr();
    EXPECT_EQ(win::MessageBoxA(0, "Qualcosa non va", nullptr, MB_OK), win::IDOK);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: Qualcosa non va\n");
}

TEST(msgbox, Latin1ToUtf8MapsEveryByteToTheSameCodePoint) {
    EXPECT_EQ(win::Latin1ToUtf8(nullptr), "");
    std::string all;
    for (int b = 1; b < 256; ++b)
        all += static_cast<char>(b);
    const std::string utf8 = win::Latin1ToUtf8(all.c_str());
    // Decode it back: one code point per input byte, equal to the byte.
    std::size_t i = 0;
    for (int b = 1; b < 256; ++b) {
        ASSERT_LT(i, utf8.size());
        const auto lead = static_cast<unsigned char>(utf8[i]);
        int codePoint = lead;
        if (b >= 0x80) {
            ASSERT_EQ(lead & 0xE0, 0xC0) << "byte " << b;
            ASSERT_LT(i + 1, utf8.size());
            codePoint = ((lead & 0x1F) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3F);
            ++i;
        }
        EXPECT_EQ(codePoint, b);
        ++i;
    }
    EXPECT_EQ(i, utf8.size());
}

} // namespace
