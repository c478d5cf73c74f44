// The status-bar control in a window of this process: where the X server shows it, what its parts and
// texts hold, and what it paints.
#include "nembra/platform/win.h"
#include "xsupport.h"

// gtest before Xlib-using headers: Xlib defines None, Bool and friends as macros.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

using namespace std::chrono_literals;

namespace {

constexpr const char* kParentTitle = "Finestra con barra di stato";
constexpr win::UINT kStatusId = 30482;

win::LRESULT ParentProc(win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
    return win::DefWindowProcA(hwnd, message, wParam, lParam);
}

class StatusBarFixture : public testing::Test {
protected:
    void SetUp() override {
        win::WNDCLASSA wc{};
        wc.lpfnWndProc = ParentProc;
        wc.hInstance = win::GetModuleHandleA(nullptr);
        wc.lpszClassName = "StatusBarTestParent";
        static const win::ATOM atom = win::RegisterClassA(&wc); // once per process, as the desktop allows
        ASSERT_NE(atom, 0);
        parent_ = win::CreateWindowExA(0, wc.lpszClassName, kParentTitle, win::WS_POPUP | win::WS_VISIBLE, 0, 0, 400,
                                       300, 0, 0, wc.hInstance, nullptr);
        ASSERT_NE(parent_, 0u);
        status_ = win::CreateStatusWindowA(win::WS_CHILD | win::WS_VISIBLE, "Percorso file", parent_, kStatusId);
        ASSERT_NE(status_, 0u);
    }

    void TearDown() override {
        if (parent_)
            win::DestroyWindow(parent_);
    }

    win::LRESULT send(win::UINT message, win::WPARAM wParam, const void* lParam) {
        return win::SendMessageA(status_, message, wParam, reinterpret_cast<win::LPARAM>(lParam));
    }

    std::string text(int part) {
        char buffer[512];
        std::memset(buffer, '#', sizeof buffer);
        const auto result = static_cast<std::uint32_t>(send(win::SB_GETTEXTA, static_cast<win::WPARAM>(part), buffer));
        const std::string got(buffer);
        EXPECT_EQ(result & 0xFFFF, got.size()) << "part " << part;
        EXPECT_EQ(static_cast<std::uint32_t>(send(win::SB_GETTEXTLENGTHA, static_cast<win::WPARAM>(part), nullptr)) &
                      0xFFFF,
                  got.size())
            << "part " << part;
        return got;
    }

    // Dispatches messages until the status bar has painted and nothing has been waiting for a while.
    bool pumpUntilPainted() {
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        auto lastActivity = std::chrono::steady_clock::now();
        bool painted = false;
        while (std::chrono::steady_clock::now() < deadline) {
            win::MSG msg;
            while (win::PeekMessageA(&msg, 0, 0, 0, win::PM_REMOVE)) {
                painted = painted || (msg.message == win::WM_PAINT && msg.hwnd == status_);
                win::DispatchMessageA(&msg);
                lastActivity = std::chrono::steady_clock::now();
            }
            if (painted && std::chrono::steady_clock::now() - lastActivity > 200ms &&
                !win::PeekMessageA(&msg, 0, win::WM_PAINT, win::WM_PAINT, win::PM_NOREMOVE))
                return true;
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

    win::HWND parent_ = 0;
    win::HWND status_ = 0;
};

// Named in lower case after the file, so that `ctest -R statusbar` selects the suite.
using statusbar = StatusBarFixture;

TEST_F(statusbar, SpansTheBottomOfItsParent) {
    EXPECT_EQ(win::GetParent(status_), parent_);
    EXPECT_EQ(win::GetDlgCtrlID(status_), static_cast<int>(kStatusId));

    xsupport::XClient x(std::getenv("DISPLAY"));
    const unsigned long parentX = x.waitForWindow(kParentTitle, 5s);
    ASSERT_NE(parentX, 0u);
    const auto children = x.children(parentX);
    ASSERT_EQ(children.size(), 1u);
    const auto parentGeometry = x.geometry(parentX);
    const auto bar = x.geometry(children[0]);
    ASSERT_TRUE(parentGeometry && bar);
    EXPECT_EQ(bar->x - parentGeometry->x, 0);
    EXPECT_EQ(bar->width, 400);
    EXPECT_EQ(bar->y - parentGeometry->y + bar->height, 300);
    EXPECT_GE(bar->height, 18);
    EXPECT_LE(bar->height, 26);
}

TEST_F(statusbar, PartsRoundTrip) {
    std::int32_t edges[4] = {0, 0, 0, 0};
    ASSERT_EQ(send(win::SB_GETPARTS, 4, edges), 1);
    EXPECT_EQ(edges[0], -1);

    const std::int32_t wanted[] = {100, 250, -1};
    ASSERT_EQ(send(win::SB_SETPARTS, 3, wanted), 1);
    std::int32_t got[4] = {7, 7, 7, 7};
    ASSERT_EQ(send(win::SB_GETPARTS, 4, got), 3);
    EXPECT_EQ(got[0], 100);
    EXPECT_EQ(got[1], 250);
    EXPECT_EQ(got[2], -1);
    EXPECT_EQ(got[3], 7);

    // A short buffer gets what fits; the answer is still the number of parts.
    std::int32_t two[3] = {7, 7, 7};
    EXPECT_EQ(send(win::SB_GETPARTS, 2, two), 3);
    EXPECT_EQ(two[1], 250);
    EXPECT_EQ(two[2], 7);
    EXPECT_EQ(send(win::SB_GETPARTS, 0, nullptr), 3);

    std::int32_t tooMany[257] = {};
    EXPECT_EQ(send(win::SB_SETPARTS, 257, tooMany), 0);
    EXPECT_EQ(send(win::SB_GETPARTS, 0, nullptr), 3);

    // No parts at all is a valid layout: nothing left to hold a text.
    EXPECT_EQ(send(win::SB_SETPARTS, 0, nullptr), 1);
    EXPECT_EQ(send(win::SB_GETPARTS, 4, got), 0);
    EXPECT_EQ(send(win::SB_SETTEXTA, 0, "x"), 0);
    EXPECT_EQ(send(win::SB_GETTEXTLENGTHA, 0, nullptr), 0);
}

TEST_F(statusbar, TextsRoundTripPerPartAsLatin1) {
    EXPECT_EQ(text(0), "Percorso file");
    const std::int32_t edges[] = {100, 250, -1};
    ASSERT_EQ(send(win::SB_SETPARTS, 3, edges), 1);
    EXPECT_EQ(text(0), "Percorso file"); // kept across a new layout
    EXPECT_EQ(text(1), "");

    const char* texts[] = {"C:\\Dati\\citt\xe0.bmp", "Qualit\xe0", "Velocit\xe0 \xe8 100%"};
    for (int part = 0; part < 3; ++part)
        ASSERT_EQ(send(win::SB_SETTEXTA, static_cast<win::WPARAM>(part), texts[part]), 1);
    for (int part = 0; part < 3; ++part)
        EXPECT_EQ(text(part), texts[part]);
    EXPECT_EQ(send(win::SB_SETTEXTA, 3, "fuori"), 0);

    // Only the low byte of wParam names the part; the byte above it is the drawing type.
    EXPECT_EQ(send(win::SB_SETTEXTA, 1 | 0x0200, "in rilievo"), 1);
    EXPECT_EQ(text(1), "in rilievo");

    EXPECT_TRUE(send(win::WM_SETTEXT, 0, "Nuovo percorso"));
    EXPECT_EQ(text(0), "Nuovo percorso");
}

TEST_F(statusbar, PaintsTextOnButtonFaceGrey) {
    const std::int32_t edges[] = {100, 250, -1};
    ASSERT_EQ(send(win::SB_SETPARTS, 3, edges), 1);
    ASSERT_TRUE(pumpUntilPainted());

    xsupport::XClient x(std::getenv("DISPLAY"));
    const unsigned long parentX = x.waitForWindow(kParentTitle, 5s);
    ASSERT_NE(parentX, 0u);
    const auto children = x.children(parentX);
    ASSERT_EQ(children.size(), 1u);
    int w = 0, h = 0;
    const auto rgb = x.captureRgb(children[0], w, h);
    ASSERT_EQ(w, 400);
    ASSERT_GT(h, 0);

    int grey = 0, darkInFirstPart = 0, darkElsewhere = 0;
    for (int py = 0; py < h; ++py) {
        for (int px = 0; px < w; ++px) {
            const std::uint8_t* p = &rgb[(static_cast<std::size_t>(py) * w + px) * 3];
            if (p[0] == 0xF0 && p[1] == 0xF0 && p[2] == 0xF0)
                ++grey;
            if (p[0] < 100 && p[1] < 100 && p[2] < 100)
                ++(px < 100 ? darkInFirstPart : darkElsewhere);
        }
    }
    EXPECT_GT(grey, w * h * 7 / 10);
    EXPECT_GT(darkInFirstPart, 20); // "Percorso file"
    EXPECT_EQ(darkElsewhere, 0);    // the other parts are empty
    // A separator closes each part that does not reach the right edge.
    for (int edge : {100, 250}) {
        bool separated = false;
        for (int px = edge - 2; px <= edge; ++px) {
            const std::uint8_t* p = &rgb[(static_cast<std::size_t>(h / 2) * w + px) * 3];
            separated = separated || p[0] < 0xE0;
        }
        EXPECT_TRUE(separated) << "edge " << edge;
    }
}

} // namespace
