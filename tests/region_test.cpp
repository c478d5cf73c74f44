// Regions: unions, point tests and bounds through the stand-in's calls, and every operation of the
// banded representation against a plain set of pixels.
#include "nembra/platform/region.h"
#include "nembra/platform/win.h"

#include "regions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace {

using win::rgn::Op;
using win::rgn::Rect;
using win::rgn::Region;

std::vector<std::uint8_t> RegionBytes(const std::vector<win::RECT>& rects, std::uint32_t extra = 0) {
    std::vector<std::uint8_t> bytes(sizeof(win::RGNDATAHEADER) + (rects.size() + extra) * sizeof(win::RECT));
    win::RGNDATAHEADER header{sizeof(win::RGNDATAHEADER), win::RDH_RECTANGLES, static_cast<win::DWORD>(rects.size()), 0,
                              win::RECT{0x7FFFFFFF, 0x7FFFFFFF, 0, 0}};
    std::memcpy(bytes.data(), &header, sizeof header);
    if (!rects.empty())
        std::memcpy(bytes.data() + sizeof header, rects.data(), rects.size() * sizeof(win::RECT));
    return bytes;
}

win::HRGN MakeRegion(const std::vector<win::RECT>& rects) {
    const std::vector<std::uint8_t> bytes = RegionBytes(rects);
    return win::ExtCreateRegion(nullptr, static_cast<win::DWORD>(bytes.size()),
                                reinterpret_cast<const win::RGNDATA*>(bytes.data()));
}

using testsupport::Box;
using testsupport::RectsOf;

struct UnionCase {
    const char* name;
    std::vector<win::RECT> a, b;
    std::vector<Box> rects; // the union, top band first, left to right
    int kind;
};

class RegionUnion : public testing::TestWithParam<UnionCase> {};

// The in-place union (the destination is the first source) and the union into a third region give the
// same bands, bounds and point answers.
TEST_P(RegionUnion, InPlaceAndIntoAnotherRegionAgree) {
    const UnionCase& c = GetParam();
    const win::HRGN a = MakeRegion(c.a), b = MakeRegion(c.b), into = win::CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(a, 0u);
    ASSERT_NE(b, 0u);
    EXPECT_EQ(win::CombineRgn(into, a, b, win::RGN_OR), c.kind);
    EXPECT_EQ(win::CombineRgn(a, a, b, win::RGN_OR), c.kind);
    EXPECT_EQ(RectsOf(a), c.rects);
    EXPECT_EQ(RectsOf(into), c.rects);
    EXPECT_TRUE(win::EqualRgn(a, into));

    Box bounds{0, 0, 0, 0};
    if (!c.rects.empty()) {
        bounds = c.rects.front();
        for (const Box& r : c.rects)
            bounds = {std::min(bounds.left, r.left), std::min(bounds.top, r.top), std::max(bounds.right, r.right),
                      std::max(bounds.bottom, r.bottom)};
    }
    win::RECT box{};
    EXPECT_EQ(win::GetRgnBox(a, &box), c.kind);
    EXPECT_EQ((Box{box.left, box.top, box.right, box.bottom}), bounds);
    for (int y = -1; y <= 12; ++y)
        for (int x = -1; x <= 12; ++x) {
            const bool inside = std::any_of(c.rects.begin(), c.rects.end(), [x, y](const Box& r) {
                return r.left <= x && x < r.right && r.top <= y && y < r.bottom;
            });
            ASSERT_EQ(win::PtInRegion(a, x, y) != 0, inside) << x << "," << y;
        }
    for (win::HRGN r : {a, b, into})
        EXPECT_TRUE(win::DeleteObject(r));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RegionUnion,
    testing::Values(
        UnionCase{"BothEmpty", {}, {}, {}, win::NULLREGION},
        UnionCase{"EmptyFirst", {}, {{1, 2, 3, 4}}, {{1, 2, 3, 4}}, win::SIMPLEREGION},
        UnionCase{"EmptySecond", {{1, 2, 3, 4}}, {}, {{1, 2, 3, 4}}, win::SIMPLEREGION},
        UnionCase{"SideBySideMerge", {{0, 0, 2, 2}}, {{2, 0, 4, 2}}, {{0, 0, 4, 2}}, win::SIMPLEREGION},
        UnionCase{"StackedCoalesce", {{0, 0, 4, 2}}, {{0, 2, 4, 5}}, {{0, 0, 4, 5}}, win::SIMPLEREGION},
        UnionCase{
            "StackedDifferentSpans", {{0, 0, 4, 2}}, {{0, 2, 3, 5}}, {{0, 0, 4, 2}, {0, 2, 3, 5}}, win::COMPLEXREGION},
        UnionCase{"Inside", {{0, 0, 8, 8}}, {{2, 2, 4, 4}}, {{0, 0, 8, 8}}, win::SIMPLEREGION},
        UnionCase{"Overlapping",
                  {{0, 0, 3, 3}},
                  {{1, 1, 4, 4}},
                  {{0, 0, 3, 1}, {0, 1, 4, 3}, {1, 3, 4, 4}},
                  win::COMPLEXREGION},
        // The new rectangle cuts through the last (tall) band of the destination: only that band is split.
        UnionCase{"TailBandSplit",
                  {{0, 0, 2, 1}, {0, 1, 4, 10}},
                  {{6, 5, 8, 6}},
                  {{0, 0, 2, 1}, {0, 1, 4, 5}, {0, 5, 4, 6}, {6, 5, 8, 6}, {0, 6, 4, 10}},
                  win::COMPLEXREGION},
        // Filling the gap in the band the two share makes it equal to the band above: they coalesce.
        UnionCase{"SharedBandCoalescesAtTheSeam",
                  {{0, 0, 4, 1}, {0, 1, 2, 2}},
                  {{2, 1, 4, 2}},
                  {{0, 0, 4, 2}},
                  win::SIMPLEREGION},
        UnionCase{"SecondAboveFirst", {{0, 5, 2, 6}}, {{0, 0, 2, 1}}, {{0, 0, 2, 1}, {0, 5, 2, 6}}, win::COMPLEXREGION},
        UnionCase{
            "SecondBelowWithGap", {{0, 0, 2, 1}}, {{0, 3, 2, 4}}, {{0, 0, 2, 1}, {0, 3, 2, 4}}, win::COMPLEXREGION}),
    [](const testing::TestParamInfo<UnionCase>& info) { return info.param.name; });

// What ExtCreateRegion takes: only nCount rectangles, a size that covers them, no transform; rcBound
// and the order of the rectangles do not matter.
TEST(RegionCalls, ExtCreateRegionReadsWhatTheHeaderCounts) {
    const std::vector<win::RECT> rects = {{4, 4, 6, 6}, {0, 0, 2, 2}, {1, 1, 3, 3}};
    std::vector<std::uint8_t> bytes = RegionBytes(rects, 5); // room past nCount, filled with garbage
    std::fill(bytes.end() - 5 * sizeof(win::RECT), bytes.end(), 0x5A);
    const auto* data = reinterpret_cast<const win::RGNDATA*>(bytes.data());
    const auto size = static_cast<win::DWORD>(bytes.size());
    const win::HRGN region = win::ExtCreateRegion(nullptr, size, data);
    ASSERT_NE(region, 0u);
    EXPECT_EQ(RectsOf(region), (std::vector<Box>{{0, 0, 2, 1}, {0, 1, 3, 2}, {1, 2, 3, 3}, {4, 4, 6, 6}}));

    const win::XFORM identity{1, 0, 0, 1, 0, 0};
    EXPECT_EQ(win::ExtCreateRegion(&identity, size, data), 0u);
    EXPECT_EQ(win::ExtCreateRegion(nullptr, sizeof(win::RGNDATAHEADER) + 2 * sizeof(win::RECT), data), 0u);
    EXPECT_EQ(win::ExtCreateRegion(nullptr, 16, data), 0u);

    const std::vector<std::uint8_t> none = RegionBytes({});
    const win::HRGN empty = win::ExtCreateRegion(nullptr, static_cast<win::DWORD>(none.size()),
                                                 reinterpret_cast<const win::RGNDATA*>(none.data()));
    ASSERT_NE(empty, 0u) << "an empty region is a valid handle";
    win::RECT box{1, 1, 1, 1};
    EXPECT_EQ(win::GetRgnBox(empty, &box), win::NULLREGION);
    EXPECT_FALSE(win::PtInRegion(empty, 0, 0));
    EXPECT_EQ(win::CombineRgn(region, region, region, win::RGN_COPY), win::COMPLEXREGION);
    EXPECT_EQ(win::CombineRgn(region, region, 0, win::RGN_OR), win::ERROR);
    win::DeleteObject(region);
    win::DeleteObject(empty);
}

// ---------------------------------------------------------------------------------------------------
// The banded representation against a set of pixels.

constexpr int kLow = -3, kHigh = 27; // every coordinate used lies inside

using Pixels = std::vector<bool>;

bool At(const Pixels& p, int x, int y) { return p[static_cast<std::size_t>((y - kLow) * (kHigh - kLow) + (x - kLow))]; }

Pixels Paint(const std::vector<Rect>& rects) {
    Pixels p(static_cast<std::size_t>((kHigh - kLow) * (kHigh - kLow)));
    for (const Rect& r : rects)
        for (int y = std::min(r.top, r.bottom); y < std::max(r.top, r.bottom); ++y)
            for (int x = std::min(r.left, r.right); x < std::max(r.left, r.right); ++x)
                p[static_cast<std::size_t>((y - kLow) * (kHigh - kLow) + (x - kLow))] = true;
    return p;
}

// The form equality relies on: bands in order, apart, not empty; spans sorted, apart; and no two
// touching bands with the same spans.
void ExpectCanonical(const Region& r) {
    const auto& bands = r.bands();
    const auto& spans = r.spans();
    for (std::size_t i = 0; i < bands.size(); ++i) {
        const std::size_t end = i + 1 < bands.size() ? bands[i + 1].first : spans.size();
        ASSERT_LT(bands[i].top, bands[i].bottom);
        ASSERT_LT(bands[i].first, end) << "empty band";
        for (std::size_t s = bands[i].first; s < end; ++s) {
            ASSERT_LT(spans[s].left, spans[s].right);
            if (s > bands[i].first) {
                ASSERT_LT(spans[s - 1].right, spans[s].left) << "spans overlap or touch";
            }
        }
        if (i > 0) {
            ASSERT_LE(bands[i - 1].bottom, bands[i].top);
            const std::size_t before = bands[i].first - bands[i - 1].first;
            const bool same = before == end - bands[i].first &&
                              std::equal(spans.begin() + static_cast<std::ptrdiff_t>(bands[i - 1].first),
                                         spans.begin() + static_cast<std::ptrdiff_t>(bands[i].first),
                                         spans.begin() + static_cast<std::ptrdiff_t>(bands[i].first));
            ASSERT_FALSE(bands[i - 1].bottom == bands[i].top && same) << "touching bands not coalesced";
        }
    }
}

void ExpectPixels(const Region& r, const Pixels& want) {
    ExpectCanonical(r);
    for (int y = kLow; y < kHigh; ++y)
        for (int x = kLow; x < kHigh; ++x)
            ASSERT_EQ(r.Contains(x, y), At(want, x, y)) << x << "," << y;
    EXPECT_EQ(r, Region::FromRects(r.Rects().data(), r.RectCount())) << "a region rebuilt from its rectangles";
}

std::vector<Rect> RandomRects(std::mt19937& random) {
    std::uniform_int_distribution<int> coordinate(kLow + 1, kHigh - 1), count(0, 7);
    std::vector<Rect> rects(static_cast<std::size_t>(count(random)));
    for (Rect& r : rects) // right-to-left and empty rectangles included
        r = {coordinate(random), coordinate(random), coordinate(random), coordinate(random)};
    return rects;
}

TEST(RegionModel, EveryOperationMatchesThePixelSet) {
    std::mt19937 random(20260212);
    const struct {
        Op op;
        bool (*keeps)(bool, bool);
    } ops[] = {{Op::And, [](bool a, bool b) { return a && b; }},
               {Op::Or, [](bool a, bool b) { return a || b; }},
               {Op::Xor, [](bool a, bool b) { return a != b; }},
               {Op::Diff, [](bool a, bool b) { return a && !b; }}};
    for (int round = 0; round < 400; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const std::vector<Rect> ra = RandomRects(random), rb = RandomRects(random);
        const Region a = Region::FromRects(ra.data(), ra.size()), b = Region::FromRects(rb.data(), rb.size());
        const Pixels pa = Paint(ra), pb = Paint(rb);
        ASSERT_NO_FATAL_FAILURE(ExpectPixels(a, pa));
        for (const auto& [op, keeps] : ops) {
            Pixels want(pa.size());
            for (std::size_t i = 0; i < want.size(); ++i)
                want[i] = keeps(pa[i], pb[i]);
            ASSERT_NO_FATAL_FAILURE(ExpectPixels(Region::Combine(a, b, op), want)) << "op " << static_cast<int>(op);
        }
        Region grown = a;
        grown.UnionWith(b);
        EXPECT_EQ(grown, Region::Combine(a, b, Op::Or));
    }
}

// A region grown batch by batch, each batch starting where the last ended (sometimes in the same row),
// is the region of all rectangles at once.
TEST(RegionModel, BatchByBatchUnionIsTheWholeUnion) {
    std::mt19937 random(7);
    std::vector<Rect> all;
    Region grown;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 40;) {
            const int length = 1 + static_cast<int>(random() % 5);
            if (random() % 3)
                all.push_back({x, y, std::min(40, x + length), y + 1});
            x += length + 1;
        }
    for (std::size_t start = 0; start < all.size(); start += 37) {
        const std::size_t count = std::min<std::size_t>(37, all.size() - start);
        grown.UnionWith(Region::FromRects(all.data() + start, count));
    }
    ExpectCanonical(grown);
    EXPECT_EQ(grown, Region::FromRects(all.data(), all.size()));
}

} // namespace
