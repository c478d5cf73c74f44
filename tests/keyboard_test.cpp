// The GL window's keyboard as a user meets it: real key presses through XTest on the focused window under Xvfb, worked
// off by SETGLMSG; and the command, context-menu and system-command messages as SendMessageA delivers them to the
// window procedure.
#include "xsupport.h"
#include "pump.h"

#include <nembra/nembra.h>

#include "nembra/platform/win.h"
#include "nembra/window/internal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using namespace nembra;
using namespace std::chrono_literals;
using testsupport::PumpUntil;

namespace {

constexpr const char* kTitle = "Nembra keyboard test";

// What reached the GL window's procedure and what it answered, recorded by subclassing it.
struct Seen {
    UINT message;
    WPARAM wParam;
    LRESULT result;
};
std::vector<Seen> g_seen;
WNDPROC g_original = nullptr;

LRESULT Recorder(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const LRESULT result = win::CallWindowProcA(g_original, hwnd, message, wParam, lParam);
    g_seen.push_back({message, wParam, result});
    return result;
}

int Count(UINT message, std::optional<WPARAM> wParam = std::nullopt) {
    return static_cast<int>(std::count_if(g_seen.begin(), g_seen.end(), [&](const Seen& s) {
        return s.message == message && (!wParam || s.wParam == *wParam);
    }));
}

std::optional<LRESULT> Answer(UINT message, WPARAM wParam) {
    for (const Seen& s : g_seen)
        if (s.message == message && s.wParam == wParam)
            return s.result;
    return std::nullopt;
}

std::string KeysSeen() {
    std::string text;
    for (const Seen& s : g_seen)
        if (s.message >= WM_KEYDOWN && s.message <= WM_SYSKEYUP)
            text += " " + std::to_string(s.message) + ":" + std::to_string(s.wParam);
    return text;
}

std::vector<LONGBOOL> KeyTable() {
    std::vector<LONGBOOL> keys;
    for (int vk = 0; vk <= 500; ++vk)
        keys.push_back(SETKEY[vk]);
    return keys;
}

// The virtual-key codes whose SETKEY entry differs from `before`.
std::vector<int> ChangedKeys(const std::vector<LONGBOOL>& before) {
    std::vector<int> changed;
    for (int vk = 0; vk <= 500; ++vk)
        if (SETKEY[vk] != before[vk])
            changed.push_back(vk);
    return changed;
}

// Whether the status bar still waits for its repaint: the default path of GLWNDPROC repaints it for a message whose
// wParam is 0, so this tells whether a message went on to that path.
bool StatusBarPaintPending() { return win::PeekMessageA(nullptr, HSTATUS, WM_PAINT, WM_PAINT, win::PM_NOREMOVE); }

class Keyboard : public testing::Test {
protected:
    void SetUp() override {
        static bool created = false;
        if (!created) {
            SHOWSTATUSBAR = true;
            MAXSTATUSITEM = 1;
            STATUSITEM[1] = -1;
            OGLWINDOWSETTING(ARROW, "", GENERIC, "");
            CREATEOGLWINDOW(kTitle, 800, 600, 32, false);
            g_original = reinterpret_cast<WNDPROC>(
                win::SetWindowLongPtrA(HWINDOW, win::GWLP_WNDPROC, reinterpret_cast<LRESULT>(&Recorder)));
            created = true;
        }
        window_ = x_.waitForWindow(kTitle, 5s);
        ASSERT_NE(window_, 0ul);
        x_.setInputFocus(window_);
        PumpUntil([] { return false; }, 50ms);
        SHOWMENUBAR = false;
        CREATEMOUSEMENU = nullptr;
        GETINPUTCOMMAND = nullptr;
        MOUSEFREE = false;
        g_seen.clear();
    }

    // Presses (or releases) a key and works off messages until the window procedure has seen it.
    bool KeyDown(const char* keysym, UINT message, WPARAM vk) {
        const int before = Count(message, vk);
        x_.keyDown(keysym);
        return PumpUntil([&] { return Count(message, vk) > before; });
    }
    bool KeyUp(const char* keysym, UINT message, WPARAM vk) {
        const int before = Count(message, vk);
        x_.keyUp(keysym);
        return PumpUntil([&] { return Count(message, vk) > before; });
    }

    xsupport::XClient x_{std::getenv("DISPLAY")};
    unsigned long window_ = 0;
};

TEST_F(Keyboard, KeyIsDownWhileHeldAndItsReleaseEndsFreeLook) {
    MOUSEFREE = true;
    ASSERT_TRUE(KeyDown("a", WM_KEYDOWN, 'A')) << KeysSeen();
    EXPECT_EQ(SETKEY['A'], LONGTRUE);
    EXPECT_TRUE(MOUSEFREE);
    ASSERT_TRUE(KeyUp("a", WM_KEYUP, 'A')) << KeysSeen();
    EXPECT_EQ(SETKEY['A'], 0);
    EXPECT_FALSE(MOUSEFREE);
}

// The server's auto-repeat: repeated key-downs and no key-up between them.
TEST_F(Keyboard, AutoRepeatKeepsTheKeyDown) {
    MOUSEFREE = true;
    x_.keyDown("a");
    bool alwaysDown = true;
    const bool repeated = PumpUntil([&] {
        alwaysDown = alwaysDown && (Count(WM_KEYDOWN, 'A') == 0 || SETKEY['A'] == LONGTRUE);
        return Count(WM_KEYDOWN, 'A') >= 3;
    });
    ASSERT_TRUE(repeated) << "no auto-repeat within 3 s:" << KeysSeen();
    EXPECT_TRUE(alwaysDown);
    EXPECT_EQ(SETKEY['A'], LONGTRUE);
    EXPECT_EQ(Count(WM_KEYUP, 'A'), 0) << KeysSeen();
    EXPECT_TRUE(MOUSEFREE) << "a key-up came between the repeats";
    ASSERT_TRUE(KeyUp("a", WM_KEYUP, 'A'));
    EXPECT_EQ(SETKEY['A'], 0);
}

struct KeyCase {
    const char* keysym;
    WPARAM vk;
    bool numLock;
};

const KeyCase kKeys[] = {
    {"1", 0x31, false},   {"F5", 0x74, false},     {"Left", 0x25, false},    {"KP_5", 0x0C, false},
    {"KP_5", 0x65, true}, {"KP_Add", 0x6B, false}, {"Shift_L", 0x10, false}, {"Control_L", 0x11, false},
};

TEST_F(Keyboard, KeysReachTheTableAtTheirVirtualKeyCodes) {
    for (const KeyCase& c : kKeys) {
        SCOPED_TRACE(std::string(c.keysym) + (c.numLock ? " with Num Lock" : ""));
        if (c.numLock) {
            ASSERT_TRUE(KeyDown("Num_Lock", WM_KEYDOWN, VK_NUMLOCK));
            ASSERT_TRUE(KeyUp("Num_Lock", WM_KEYUP, VK_NUMLOCK));
        }
        const std::vector<LONGBOOL> before = KeyTable();
        ASSERT_TRUE(KeyDown(c.keysym, WM_KEYDOWN, c.vk)) << KeysSeen();
        EXPECT_EQ(ChangedKeys(before), std::vector<int>{static_cast<int>(c.vk)});
        EXPECT_EQ(SETKEY[static_cast<long long>(c.vk)], LONGTRUE);
        ASSERT_TRUE(KeyUp(c.keysym, WM_KEYUP, c.vk)) << KeysSeen();
        EXPECT_EQ(ChangedKeys(before), std::vector<int>{});
        if (c.numLock) {
            ASSERT_TRUE(KeyDown("Num_Lock", WM_KEYDOWN, VK_NUMLOCK));
            ASSERT_TRUE(KeyUp("Num_Lock", WM_KEYUP, VK_NUMLOCK));
        }
    }
}

// Alt and F10 arrive as system keys, which the key table does not follow.
TEST_F(Keyboard, SystemKeysLeaveTheTableAlone) {
    for (const KeyCase& c : {KeyCase{"Alt_L", VK_MENU, false}, KeyCase{"F10", VK_F1 + 9, false}}) {
        SCOPED_TRACE(c.keysym);
        const std::vector<LONGBOOL> before = KeyTable();
        ASSERT_TRUE(KeyDown(c.keysym, WM_SYSKEYDOWN, c.vk)) << KeysSeen();
        EXPECT_EQ(ChangedKeys(before), std::vector<int>{});
        ASSERT_TRUE(KeyUp(c.keysym, WM_SYSKEYUP, c.vk)) << KeysSeen();
        EXPECT_EQ(ChangedKeys(before), std::vector<int>{});
        EXPECT_EQ(Count(WM_KEYDOWN) + Count(WM_KEYUP), 0) << KeysSeen();
    }
}

// The menu hooks, called with the window procedure's own arguments.
struct HookCall {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<HookCall> g_commands;
int g_menus = 0;

LRESULT CommandHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    g_commands.push_back({window, message, wParam, lParam});
    return 77; // not what the window answers
}

struct HookCase {
    const char* name;
    bool menuBar;
    bool hook;
    int calls;
};

const HookCase kHooks[] = {
    {"menus on, hook set", true, true, 1},
    {"menus off", false, true, 0},
    {"menus on, no hook", true, false, 0},
};

TEST_F(Keyboard, CommandGoesToItsHookAndNeverToTheDefaultPath) {
    for (const HookCase& c : kHooks) {
        SCOPED_TRACE(c.name);
        g_commands.clear();
        SHOWMENUBAR = c.menuBar;
        GETINPUTCOMMAND = c.hook ? &CommandHook : nullptr;
        win::InvalidateRect(HSTATUS, nullptr, 0);
        EXPECT_EQ(win::SendMessageA(HWINDOW, WM_COMMAND, 0, 4321), 0);
        ASSERT_EQ(static_cast<int>(g_commands.size()), c.calls);
        if (c.calls) {
            EXPECT_EQ(g_commands[0].window, HWINDOW);
            EXPECT_EQ(g_commands[0].message, WM_COMMAND);
            EXPECT_EQ(g_commands[0].wParam, 0u);
            EXPECT_EQ(g_commands[0].lParam, 4321);
        }
        EXPECT_TRUE(StatusBarPaintPending());
    }
}

TEST_F(Keyboard, ContextMenuCallsItsHookThenTakesTheDefaultPath) {
    for (const HookCase& c : kHooks) {
        SCOPED_TRACE(c.name);
        g_menus = 0;
        SHOWMENUBAR = c.menuBar;
        CREATEMOUSEMENU = c.hook ? +[] { ++g_menus; } : nullptr;
        win::InvalidateRect(HSTATUS, nullptr, 0);
        EXPECT_EQ(win::SendMessageA(HWINDOW, WM_CONTEXTMENU, 0, 0), 0);
        EXPECT_EQ(g_menus, c.calls);
        EXPECT_FALSE(StatusBarPaintPending());
    }
}

TEST_F(Keyboard, ScreenSaverAndDisplayPowerDownAreRefused) {
    struct Case {
        const char* name;
        WPARAM command;
        LPARAM lParam;
    } cases[] = {
        {"screen saver", SC_SCREENSAVE, 0},
        {"display off", SC_MONITORPOWER, 2},
        {"display low power, low bits set", SC_MONITORPOWER | 0x2, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(SUPPRESSEDSYSCOMMAND(c.command));
        EXPECT_EQ(win::SendMessageA(HWINDOW, WM_SYSCOMMAND, c.command, c.lParam), 0);
    }
    EXPECT_FALSE(SUPPRESSEDSYSCOMMAND(SC_CLOSE));
    EXPECT_TRUE(ACTIVE);
    EXPECT_TRUE(win::IsWindow(HWINDOW));
    EXPECT_EQ(Count(WM_CLOSE), 0);
}

// Any other system command takes the default path: the system menu's Close ends the window.
TEST_F(Keyboard, OtherSystemCommandsTakeTheDefaultPath) {
    EXPECT_EXIT(
        {
            win::SendMessageA(HWINDOW, WM_SYSCOMMAND, SC_CLOSE, 0);
            std::fprintf(stderr, "close=%d destroy=%d active=%d window=%d\n", Count(WM_CLOSE), Count(WM_DESTROY),
                         ACTIVE, win::IsWindow(HWINDOW));
            std::exit(0);
        },
        testing::ExitedWithCode(0), "close=1 destroy=1 active=0 window=0");
}

// Last in the suite: after DELETEOGLWINDOW this process can make no other window.
TEST_F(Keyboard, EscapeEndsTheLoopButTheWindowStaysUntilDeleted) {
    ASSERT_TRUE(ACTIVE);
    ASSERT_TRUE(KeyDown("Escape", WM_KEYDOWN, VK_ESCAPE)) << KeysSeen();
    EXPECT_FALSE(ACTIVE);
    EXPECT_EQ(Count(WM_DESTROY), 1);
    EXPECT_EQ(Answer(WM_KEYDOWN, VK_ESCAPE), 0);
    EXPECT_EQ(SETKEY[VK_ESCAPE], 0);
    ASSERT_TRUE(KeyUp("Escape", WM_KEYUP, VK_ESCAPE));
    EXPECT_EQ(SETKEY[VK_ESCAPE], 0);

    EXPECT_TRUE(win::IsWindow(HWINDOW));
    EXPECT_NE(x_.waitForWindow(kTitle, 1s), 0ul) << "the window left the X server before DELETEOGLWINDOW";
    DELETEOGLWINDOW();
    EXPECT_TRUE(x_.waitForWindowGone(kTitle, 2s));
}

} // namespace
