// Regions for the stand-in: sets of pixels kept as y-x banded rectangles. Standard C++ only, so the
// unit tests and fuzzing can use it alone.
//
// A region is a list of bands, top to bottom, that neither overlap nor leave an empty band: each band
// covers the rows [top, bottom) and holds x-sorted spans [left, right) that neither overlap nor touch.
// Two bands that touch vertically never hold the same spans (they are coalesced into one), so every set
// of pixels has exactly one representation and equality is a plain comparison.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace win::rgn {

struct Rect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

enum class Op { And, Or, Xor, Diff };

class Region {
public:
    struct Span {
        std::int32_t left, right;
        friend bool operator==(const Span&, const Span&) = default;
    };
    struct Band {
        std::int32_t top, bottom;
        std::size_t first; // index of its first span; the spans run to the next band's first
        friend bool operator==(const Band&, const Band&) = default;
    };

    Region() = default;
    // One rectangle; a rectangle given right to left or bottom to top is the same rectangle, and one
    // with no width or height is the empty region.
    static Region FromRect(Rect r);
    // The union of any number of rectangles in any order; empty ones add nothing.
    static Region FromRects(const Rect* rects, std::size_t count);

    static Region Combine(const Region& a, const Region& b, Op op);
    // *this = *this | other. Costs time in proportion to `other` and to the bands of *this that reach
    // below other's top: the bands wholly above it are left where they are.
    void UnionWith(const Region& other);

    bool Empty() const { return bands_.empty(); }
    bool Contains(std::int64_t x, std::int64_t y) const;
    // The smallest rectangle holding the region; all zero when empty.
    Rect Bounds() const;
    std::size_t RectCount() const { return spans_.size(); }
    // One rectangle per span, top band first, left to right within a band.
    std::vector<Rect> Rects() const;

    const std::vector<Band>& bands() const { return bands_; }
    const std::vector<Span>& spans() const { return spans_; }

    friend bool operator==(const Region&, const Region&) = default;

private:
    std::size_t SpanEnd(std::size_t band) const {
        return band + 1 < bands_.size() ? bands_[band + 1].first : spans_.size();
    }
    // Appends a band whose spans are spans_[first..]; drops it when empty, coalesces it with the band
    // above when they touch and hold the same spans.
    void CloseBand(std::int32_t top, std::int32_t bottom, std::size_t first);
    // Merges the bands of `a` from band `fromA` on with all of `b` into the end of *this.
    void AppendCombined(const Region& a, std::size_t fromA, const Region& b, Op op);

    std::vector<Band> bands_;
    std::vector<Span> spans_;
};

} // namespace win::rgn
