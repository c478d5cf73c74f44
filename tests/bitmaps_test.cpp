// Bitmaps and regions from BMP files: the regions BITMAPTOREGION cuts from small pictures, the palettes
// LOADBMPFROMFILE makes, and, on real windows, window shapes and bitmaps copied onto the screen.
#include <nembra/nembra.h>

#include "nembra/platform/win.h"

#include "bmpfile.h"
#include "regions.h"
#include "tempdir.h"
#include "xsupport.h"

// gtest before Xlib: Xlib defines None, Bool and friends as macros.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/shape.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using testsupport::BmpFile;
using testsupport::Bytes;

namespace {

constexpr std::uint32_t kMagenta = 0x00FF00FF; // COLORREF: red 255, green 0, blue 255

using testsupport::Box;
using testsupport::RectsOf;

// One region of all the rectangles, made in one ExtCreateRegion call.
win::HRGN RegionOf(const std::vector<Box>& boxes) {
    std::vector<std::uint8_t> bytes(sizeof(win::RGNDATAHEADER) + boxes.size() * sizeof(win::RECT));
    const win::RGNDATAHEADER header{sizeof header, win::RDH_RECTANGLES, static_cast<win::DWORD>(boxes.size()), 0, {}};
    std::memcpy(bytes.data(), &header, sizeof header);
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        const win::RECT r{boxes[i].left, boxes[i].top, boxes[i].right, boxes[i].bottom};
        std::memcpy(bytes.data() + sizeof header + i * sizeof r, &r, sizeof r);
    }
    return win::ExtCreateRegion(nullptr, static_cast<win::DWORD>(bytes.size()),
                                reinterpret_cast<const win::RGNDATA*>(bytes.data()));
}

std::string WriteFixture(const std::string& name, const Bytes& bytes) {
    const fs::path path = testsupport::TempDir() / name;
    EXPECT_TRUE(testsupport::WriteFile(path, bytes));
    return path.string();
}

// A 24-bit picture from rows of 0xRRGGBB colours, top row first; stored bottom-up, or top-down.
Bytes Picture24(const std::vector<std::vector<std::uint32_t>>& rows, bool topDown = false) {
    const int height = static_cast<int>(rows.size()), width = static_cast<int>(rows.front().size());
    auto colour = [&](int x, int y) { return rows[static_cast<std::size_t>(topDown ? height - 1 - y : y)][x]; };
    return BmpFile{
        .width = width, .height = topDown ? -height : height, .pixels = testsupport::Rows24(width, height, colour)}
        .Build();
}

// A paletted picture of `bits` per pixel from rows of indices, top row first.
Bytes PicturePaletted(int bits, const std::vector<std::uint32_t>& palette, const std::vector<std::vector<int>>& rows) {
    const int height = static_cast<int>(rows.size()), width = static_cast<int>(rows.front().size());
    const std::size_t stride = (static_cast<std::size_t>(width) * bits + 31) / 32 * 4;
    Bytes pixels(stride * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int bit = x * bits;
            pixels[static_cast<std::size_t>(height - 1 - y) * stride + bit / 8] |=
                static_cast<std::uint8_t>(rows[y][x] << (8 - bits - bit % 8));
        }
    Bytes table;
    for (const std::uint32_t rgb : palette)
        table.insert(table.end(), {static_cast<std::uint8_t>(rgb), static_cast<std::uint8_t>(rgb >> 8),
                                   static_cast<std::uint8_t>(rgb >> 16), 0});
    return BmpFile{.width = width,
                   .height = height,
                   .bits = static_cast<std::uint16_t>(bits),
                   .palette = table,
                   .pixels = pixels,
                   .colorsUsed = static_cast<std::uint32_t>(palette.size())}
        .Build();
}

constexpr std::uint32_t M = 0xFF00FF, W = 0xFFFFFF, K = 0x000000; // magenta, white, black (0xRRGGBB)

struct RegionCase {
    const char* name;
    Bytes file;
    std::uint32_t transColor;
    std::uint8_t tolerance;
    std::vector<Box> region; // as rectangles in any order; empty: an empty region
};

void PrintTo(const RegionCase& c, std::ostream* os) { *os << c.name; }

class BitmapToRegion : public testing::TestWithParam<RegionCase> {};

TEST_P(BitmapToRegion, CoversTheOpaquePixels) {
    const RegionCase& c = GetParam();
    const std::string file = WriteFixture(std::string(c.name) + ".bmp", c.file);
    const win::DWORD objects = win::GetGuiResources(win::GetCurrentProcess(), win::GR_GDIOBJECTS);
    const win::HRGN region = nembra::BITMAPTOREGION(file.c_str(), c.transColor, c.tolerance);
    ASSERT_NE(region, 0u) << "an empty region is still a region";
    EXPECT_EQ(win::GetGuiResources(win::GetCurrentProcess(), win::GR_GDIOBJECTS), objects + 1)
        << "everything but the result is deleted";
    const win::HRGN expected = RegionOf(c.region);
    EXPECT_TRUE(win::EqualRgn(region, expected)) << testing::PrintToString(RectsOf(region));
    win::RECT box;
    EXPECT_EQ(win::GetRgnBox(region, &box) == win::NULLREGION, c.region.empty());
    win::DeleteObject(expected);
    win::DeleteObject(region);
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, BitmapToRegion,
    testing::Values(
        RegionCase{"AllTransparent", Picture24({{M, M, M}, {M, M, M}}), kMagenta, 1, {}},
        RegionCase{"NoTransparentPixel", Picture24({{W, K, W}, {K, W, K}}), kMagenta, 1, {{0, 0, 3, 2}}},
        RegionCase{"RunsAroundATransparentPixel",
                   Picture24({{W, W, W, W}, {W, W, M, W}, {W, W, W, W}}),
                   kMagenta,
                   0,
                   {{0, 0, 4, 1}, {0, 1, 2, 2}, {3, 1, 4, 2}, {0, 2, 4, 3}}},
        // Magenta with tolerance 1: green 0 and 1 are transparent, green 2 and one step below red or
        // blue are not.
        RegionCase{"ButtonTolerance",
                   Picture24({{0xFF00FF, 0xFF01FF, 0xFF02FF, 0xFE00FF, 0xFF00FE, 0xFF00FF}}),
                   kMagenta,
                   1,
                   {{2, 0, 5, 1}}},
        RegionCase{"ToleranceZero", Picture24({{0xFF00FF, 0xFF01FF, 0xFF00FF}}), kMagenta, 0, {{1, 0, 2, 1}}},
        // Red 250, green 0x20, blue 0x10, tolerance 10: each from its value up to ten above (red capped
        // at 255), never below.
        RegionCase{"ToleranceRangeUpwardsOnly",
                   Picture24({{0xFA2010, 0xFF2A1A, 0xF92010, 0xFA1F10, 0xFA200F, 0xFA2B10, 0xFA2A1B, 0xFF2010}}),
                   0x001020FA,
                   10,
                   {{2, 0, 7, 1}}},
        RegionCase{"TopRowIsYZeroBottomUp",
                   Picture24({{M, W, W}, {W, W, W}, {W, W, W}}),
                   kMagenta,
                   1,
                   {{1, 0, 3, 1}, {0, 1, 3, 3}}},
        RegionCase{"TopRowIsYZeroTopDown",
                   Picture24({{M, W, W}, {W, W, W}, {W, W, W}}, true),
                   kMagenta,
                   1,
                   {{1, 0, 3, 1}, {0, 1, 3, 3}}},
        // Paletted pictures are judged by their colour table; an index past a short table is black.
        RegionCase{
            "EightBitThroughItsTable", PicturePaletted(8, {W, M}, {{1, 0, 200, 1}}), kMagenta, 0, {{1, 0, 3, 1}}},
        RegionCase{"IndexPastTheTableIsBlack",
                   PicturePaletted(8, {W, M}, {{1, 0, 200, 1}}),
                   0x000000,
                   0,
                   {{0, 0, 2, 1}, {3, 0, 4, 1}}},
        RegionCase{"FourBit",
                   PicturePaletted(4, {M, W, K}, {{0, 1, 2, 0, 1}, {2, 2, 0, 0, 0}}),
                   kMagenta,
                   0,
                   {{1, 0, 3, 1}, {4, 0, 5, 1}, {0, 1, 2, 2}}},
        RegionCase{"OneBit",
                   PicturePaletted(1, {W, M}, {{1, 0, 1, 1, 0, 0, 0, 0, 0, 1}}),
                   kMagenta,
                   0,
                   {{1, 0, 2, 1}, {4, 0, 9, 1}}}),
    [](const testing::TestParamInfo<RegionCase>& info) { return info.param.name; });

// 2,500 runs (50 rows of 50, a checkerboard, so no two rows coalesce) go through the rectangle buffer in batches: the
// same region as all runs given at once, from a buffer that grew to 2,000 rectangles and no further, and was freed.
TEST(BitmapToRegionBatches, SameRegionAsOneBatchFromABoundedBuffer) {
    constexpr int kSide = 100;
    const Bytes bytes = BmpFile{
        .width = kSide,
        .height = kSide / 2,
        .pixels = testsupport::Rows24(kSide, kSide / 2, [](int x, int y) {
            return (x + y) % 2 ? M : 0x123456u;
        })}.Build();
    const std::string file = WriteFixture("runs2500.bmp", bytes);
    std::vector<Box> runs;
    for (int y = 0; y < kSide / 2; ++y)
        for (int x = y % 2; x < kSide; x += 2)
            runs.push_back({x, y, x + 1, y + 1});
    ASSERT_EQ(runs.size(), 2500u);

    win::GlobalUsage(true);
    const win::HRGN region = nembra::BITMAPTOREGION(file.c_str(), kMagenta, 1);
    const win::GLOBALUSAGE usage = win::GlobalUsage(false);
    ASSERT_NE(region, 0u);
    const win::HRGN whole = RegionOf(runs);
    EXPECT_TRUE(win::EqualRgn(region, whole));
    EXPECT_EQ(RectsOf(region).size(), 2500u);
    EXPECT_EQ(usage.largest, sizeof(win::RGNDATAHEADER) + 2000 * sizeof(win::RECT));
    EXPECT_EQ(usage.blocks, 0u);
    win::DeleteObject(whole);
    win::DeleteObject(region);
}

TEST(BitmapToRegionDeath, TransColorWithBit31StopsWithTheBoundCheck) {
    const std::string file = WriteFixture("white.bmp", Picture24({{W, W}}));
    EXPECT_EXIT(nembra::BITMAPTOREGION(file.c_str(), 0x80000000u, 1), testing::ExitedWithCode(201),
                "range check error: TRANSCOLOR\\[2147483648\\]");
}

TEST(BitmapFiles, MissingFileGivesNothingAndLeavesThePalette) {
    const win::DWORD objects = win::GetGuiResources(win::GetCurrentProcess(), win::GR_GDIOBJECTS);
    const std::string missing = (testsupport::TempDir() / "missing.bmp").string();
    nembra::HPALETTE pal = 0xDEAD;
    EXPECT_EQ(nembra::LOADBMPFROMFILE(missing.c_str(), pal), 0u);
    EXPECT_EQ(pal, 0xDEADu);
    EXPECT_EQ(nembra::BITMAPTOREGION(missing.c_str(), kMagenta, 1), 0u);
    EXPECT_EQ(win::GetGuiResources(win::GetCurrentProcess(), win::GR_GDIOBJECTS), objects);
}

struct PaletteCase {
    const char* name;
    Bytes file;
    int bits;                           // of the loaded bitmap
    std::vector<std::uint32_t> leading; // the palette's first entries (0xRRGGBB); the rest are black
    bool halftone;
};

void PrintTo(const PaletteCase& c, std::ostream* os) { *os << c.name; }

class LoadBmpFromFile : public testing::TestWithParam<PaletteCase> {};

TEST_P(LoadBmpFromFile, KeepsTheDepthAndMakesAFittingPalette) {
    const PaletteCase& c = GetParam();
    const std::string file = WriteFixture(std::string(c.name) + ".bmp", c.file);
    nembra::HPALETTE pal = 0;
    const nembra::HBITMAP bitmap = nembra::LOADBMPFROMFILE(file.c_str(), pal);
    ASSERT_NE(bitmap, 0u);
    ASSERT_NE(pal, 0u);
    win::BITMAP bm{};
    ASSERT_EQ(win::GetObjectA(bitmap, sizeof bm, &bm), static_cast<int>(sizeof bm));
    EXPECT_EQ(bm.bmBitsPixel, c.bits);
    EXPECT_EQ(bm.bmWidthBytes, (bm.bmWidth * c.bits + 31) / 32 * 4);

    std::vector<win::PALETTEENTRY> entries(300, win::PALETTEENTRY{1, 2, 3, 4});
    ASSERT_EQ(win::GetPaletteEntries(pal, 0, 300, entries.data()), 256u);
    auto rgb = [&](int i) {
        const win::PALETTEENTRY& e = entries[static_cast<std::size_t>(i)];
        EXPECT_EQ(e.peFlags, 0) << "entry " << i;
        return std::uint32_t{e.peRed} << 16 | std::uint32_t{e.peGreen} << 8 | e.peBlue;
    };
    if (c.halftone) {
        // The colour cube, index 36 r + 6 g + b at steps of 51, then greys.
        for (const int i : {0, 5, 30, 180, 215})
            EXPECT_EQ(rgb(i), (i / 36 * 51u) << 16 | (i / 6 % 6 * 51u) << 8 | (i % 6 * 51u)) << "entry " << i;
        for (int i = 216; i < 256; ++i) {
            const std::uint32_t grey = rgb(i) & 0xFF;
            EXPECT_EQ(rgb(i), grey * 0x010101u) << "entry " << i;
            EXPECT_NE(grey % 51, 0u) << "entry " << i << " repeats a cube grey";
        }
    } else {
        for (int i = 0; i < 256; ++i)
            EXPECT_EQ(rgb(i), i < static_cast<int>(c.leading.size()) ? c.leading[static_cast<std::size_t>(i)] : 0u)
                << "entry " << i;
    }
    EXPECT_TRUE(win::DeleteObject(pal));
    EXPECT_TRUE(win::DeleteObject(bitmap));
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, LoadBmpFromFile,
    testing::Values(
        PaletteCase{
            "EightBit", PicturePaletted(8, {0x102030, M, 0xABCDEF}, {{0, 1, 2}}), 8, {0x102030, M, 0xABCDEF}, false},
        PaletteCase{"FourBit", PicturePaletted(4, {W, 0x405060}, {{1, 0}}), 4, {W, 0x405060}, false},
        PaletteCase{"TwentyFourBit", Picture24({{W, M}}), 24, {}, true}),
    [](const testing::TestParamInfo<PaletteCase>& info) { return info.param.name; });

// A bitmap goes into one memory context at a time, and neither it nor the palette is deleted while
// selected.
TEST(MemoryContexts, SelectionRulesAndDeletion) {
    const std::string file = WriteFixture("select.bmp", PicturePaletted(8, {W, M}, {{0, 1}}));
    nembra::HPALETTE pal = 0;
    const nembra::HBITMAP bitmap = nembra::LOADBMPFROMFILE(file.c_str(), pal);
    ASSERT_NE(bitmap, 0u);
    const win::HDC first = win::CreateCompatibleDC(0), second = win::CreateCompatibleDC(0);
    const win::HGDIOBJ stock = win::SelectObject(first, bitmap);
    EXPECT_NE(stock, 0u) << "a new memory context holds a stock bitmap";
    EXPECT_EQ(win::SelectObject(second, bitmap), 0u);
    EXPECT_EQ(win::GetCurrentObject(first, win::OBJ_BITMAP), bitmap);
    EXPECT_NE(win::SelectPalette(first, pal, 0), 0u);
    EXPECT_FALSE(win::DeleteObject(bitmap));
    EXPECT_FALSE(win::DeleteObject(pal));
    EXPECT_FALSE(win::DeleteObject(stock));
    EXPECT_EQ(win::SelectObject(first, stock), bitmap);
    EXPECT_EQ(win::SelectObject(second, bitmap), stock);
    EXPECT_TRUE(win::DeleteDC(second));
    EXPECT_TRUE(win::DeleteDC(first));
    EXPECT_TRUE(win::DeleteObject(bitmap));
    EXPECT_TRUE(win::DeleteObject(pal));
}

// ---------------------------------------------------------------------------------------------------
// Real windows: a parent and a child, their messages, and what the X server holds of them.

struct Clicks {
    std::map<win::HWND, int> downs;
};
Clicks g_clicks;

win::LRESULT RecordingProc(win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
    if (message == win::WM_LBUTTONDOWN)
        ++g_clicks.downs[hwnd];
    return win::DefWindowProcA(hwnd, message, wParam, lParam);
}

class WindowFixture : public testing::Test {
protected:
    static constexpr const char* kTitle = "Finestra delle regioni";

    void SetUp() override {
        win::WNDCLASSA wc{};
        wc.lpfnWndProc = RecordingProc;
        wc.hInstance = win::GetModuleHandleA(nullptr);
        wc.lpszClassName = "RegionTestWindow";
        static const win::ATOM atom = win::RegisterClassA(&wc);
        ASSERT_NE(atom, 0);
        parent_ = win::CreateWindowExA(0, wc.lpszClassName, kTitle, win::WS_POPUP | win::WS_VISIBLE, 0, 0, 200, 150, 0,
                                       0, wc.hInstance, nullptr);
        ASSERT_NE(parent_, 0u);
        child_ = win::CreateWindowExA(0, wc.lpszClassName, "", win::WS_CHILD | win::WS_VISIBLE, 20, 30, 40, 40, parent_,
                                      7, wc.hInstance, nullptr);
        ASSERT_NE(child_, 0u);
        client_ = std::make_unique<xsupport::XClient>(std::getenv("DISPLAY"));
        parentXid_ = client_->waitForWindow(kTitle, 5s);
        ASSERT_NE(parentXid_, 0u);
        const std::vector<unsigned long> children = client_->children(parentXid_);
        ASSERT_EQ(children.size(), 1u);
        childXid_ = children.front();
        Pump(100ms);
    }

    void TearDown() override {
        if (parent_)
            win::DestroyWindow(parent_);
    }

    // Dispatches what arrives for a while.
    void Pump(std::chrono::milliseconds time) {
        const auto end = std::chrono::steady_clock::now() + time;
        while (std::chrono::steady_clock::now() < end) {
            win::MSG msg;
            while (win::PeekMessageA(&msg, 0, 0, 0, win::PM_REMOVE))
                win::DispatchMessageA(&msg);
            std::this_thread::sleep_for(5ms);
        }
    }

    Display* dpy() { return static_cast<Display*>(client_->nativeDisplay()); }

    std::vector<Box> ShapeRects() {
        int count = 0, ordering = 0;
        XRectangle* rects = XShapeGetRectangles(dpy(), childXid_, ShapeBounding, &count, &ordering);
        std::vector<Box> boxes;
        for (int i = 0; i < count; ++i)
            boxes.push_back({rects[i].x, rects[i].y, rects[i].x + rects[i].width, rects[i].y + rects[i].height});
        if (rects)
            XFree(rects);
        return boxes;
    }

    win::HWND parent_ = 0, child_ = 0;
    std::unique_ptr<xsupport::XClient> client_;
    unsigned long parentXid_ = 0, childXid_ = 0;
};

// The child takes the shape of the region: the X server reports its rectangles, a click on a cut-away
// pixel reaches the parent and one inside the shape the child. The window owns the region until it is
// replaced or removed.
TEST_F(WindowFixture, WindowRegionShapesTheChildAndItsInput) {
    const std::vector<Box> shape = {{0, 0, 40, 20}, {0, 20, 20, 40}}; // an L: the lower right quarter is cut
    const win::DWORD objects = win::GetGuiResources(win::GetCurrentProcess(), win::GR_GDIOBJECTS);
    const win::HRGN region = RegionOf(shape);
    ASSERT_TRUE(win::SetWindowRgn(child_, region, 1));
    EXPECT_FALSE(win::DeleteObject(region)) << "the window owns its region";
    client_->sync();
    EXPECT_EQ(ShapeRects(), shape);
    const win::HRGN copy = win::CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(win::GetWindowRgn(child_, copy), win::COMPLEXREGION);
    EXPECT_TRUE(win::EqualRgn(copy, region));
    win::DeleteObject(copy);

    const std::optional<xsupport::XClient::Geometry> where = client_->geometry(childXid_);
    ASSERT_TRUE(where);
    g_clicks = {};
    client_->click(where->x + 30, where->y + 30); // cut away
    Pump(300ms);
    EXPECT_EQ(g_clicks.downs[parent_], 1);
    EXPECT_EQ(g_clicks.downs[child_], 0);
    client_->click(where->x + 10, where->y + 30); // inside the L
    Pump(300ms);
    EXPECT_EQ(g_clicks.downs[child_], 1);
    EXPECT_EQ(g_clicks.downs[parent_], 1);

    // A new region frees the old one; removing the shape frees that one and gives the whole window back.
    ASSERT_TRUE(win::SetWindowRgn(child_, win::CreateRectRgn(0, 0, 10, 10), 0));
    EXPECT_EQ(win::GetGuiResources(win::GetCurrentProcess(), win::GR_GDIOBJECTS), objects + 1);
    ASSERT_TRUE(win::SetWindowRgn(child_, 0, 0));
    EXPECT_EQ(win::GetGuiResources(win::GetCurrentProcess(), win::GR_GDIOBJECTS), objects);
    client_->sync();
    EXPECT_EQ(ShapeRects(), (std::vector<Box>{{0, 0, 40, 40}}));

    ASSERT_TRUE(win::SetWindowRgn(child_, win::CreateRectRgn(0, 0, 5, 5), 0));
    win::DestroyWindow(parent_);
    parent_ = 0;
    EXPECT_EQ(win::GetGuiResources(win::GetCurrentProcess(), win::GR_GDIOBJECTS), objects)
        << "the region goes with its window";
}

// Pictures of two depths copied into the child with BitBlt: the X server holds their colours, the second
// one clipped at the window's edge.
TEST_F(WindowFixture, BitBltPutsTheBitmapIntoTheWindow) {
    auto colourA = [](int x, int y) { return static_cast<std::uint32_t>((x * 6) << 16 | (y * 6) << 8 | 0x80); };
    const std::string fileA = WriteFixture(
        "blitA.bmp", BmpFile{.width = 40, .height = 40, .pixels = testsupport::Rows24(40, 40, colourA)}.Build());
    const std::vector<std::uint32_t> table = {0x112233, 0xFFEE00};
    std::vector<std::vector<int>> indices(30, std::vector<int>(30));
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x)
            indices[y][x] = (x + y) % 2;
    const std::string fileB = WriteFixture("blitB.bmp", PicturePaletted(4, table, indices));

    nembra::HPALETTE palA = 0, palB = 0;
    const nembra::HBITMAP a = nembra::LOADBMPFROMFILE(fileA.c_str(), palA);
    const nembra::HBITMAP b = nembra::LOADBMPFROMFILE(fileB.c_str(), palB);
    ASSERT_NE(a, 0u);
    ASSERT_NE(b, 0u);
    const win::HDC memA = win::CreateCompatibleDC(0), memB = win::CreateCompatibleDC(0);
    const win::HGDIOBJ oldA = win::SelectObject(memA, a), oldB = win::SelectObject(memB, b);
    win::PAINTSTRUCT ps;
    const win::HDC dc = win::BeginPaint(child_, &ps);
    ASSERT_NE(dc, 0u);
    EXPECT_TRUE(win::BitBlt(dc, 0, 0, 40, 40, memA, 0, 0, win::SRCCOPY));
    EXPECT_TRUE(win::BitBlt(dc, 25, 20, 30, 30, memB, 2, 0, win::SRCCOPY)); // runs past the window's edges
    win::EndPaint(child_, &ps);
    client_->sync();

    int width = 0, height = 0;
    const std::vector<std::uint8_t> rgb = client_->captureRgb(childXid_, width, height);
    ASSERT_EQ(width, 40);
    ASSERT_EQ(height, 40);
    int wrong = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) {
            const bool fromB = x >= 25 && y >= 20;
            const std::uint32_t want =
                fromB ? table[static_cast<std::size_t>((x - 25 + 2 + y - 20) % 2)] : colourA(x, y);
            const std::uint8_t* p = &rgb[(static_cast<std::size_t>(y) * 40 + x) * 3];
            const std::uint32_t got = std::uint32_t{p[0]} << 16 | std::uint32_t{p[1]} << 8 | p[2];
            if (got != want && wrong++ < 5)
                ADD_FAILURE() << "pixel " << x << "," << y << ": " << std::hex << got << " instead of " << want;
        }
    EXPECT_EQ(wrong, 0);

    win::SelectObject(memA, oldA);
    win::SelectObject(memB, oldB);
    win::DeleteDC(memA);
    win::DeleteDC(memB);
    for (const win::HGDIOBJ object : {a, b, palA, palB})
        win::DeleteObject(object);
}

} // namespace
