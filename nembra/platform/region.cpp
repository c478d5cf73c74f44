// Banded regions: one sweep from top to bottom combines two regions band by band, and one sweep over
// the rows of a rectangle list builds a region.
#include "nembra/platform/region.h"

#include <algorithm>
#include <iterator>
#include <limits>

namespace win::rgn {
namespace {

constexpr std::int64_t kEnd = std::numeric_limits<std::int64_t>::max();

bool Keeps(Op op, bool inA, bool inB) {
    switch (op) {
    case Op::And: return inA && inB;
    case Op::Or: return inA || inB;
    case Op::Xor: return inA != inB;
    case Op::Diff: return inA && !inB;
    }
    return false;
}

using Span = Region::Span;

// The spans of one row under `op`, appended to `out`. Both inputs are sorted and neither overlap nor touch.
void MergeSpans(const Span* a, std::size_t na, const Span* b, std::size_t nb, Op op, std::vector<Span>& out) {
    if (nb == 0 || na == 0) {
        const bool keepA = op != Op::And, keepB = op == Op::Or || op == Op::Xor;
        if (nb == 0 && keepA)
            out.insert(out.end(), a, a + na);
        else if (na == 0 && keepB)
            out.insert(out.end(), b, b + nb);
        return;
    }
    std::size_t i = 0, j = 0;
    bool inA = false, inB = false, open = false;
    std::int32_t start = 0;
    for (;;) {
        const std::int64_t nextA = i < na ? (inA ? a[i].right : a[i].left) : kEnd;
        const std::int64_t nextB = j < nb ? (inB ? b[j].right : b[j].left) : kEnd;
        const std::int64_t x = std::min(nextA, nextB);
        if (x == kEnd)
            break;
        if (nextA == x) {
            i += inA;
            inA = !inA;
        }
        if (nextB == x) {
            j += inB;
            inB = !inB;
        }
        const bool in = Keeps(op, inA, inB);
        if (in != open) {
            if (in)
                start = static_cast<std::int32_t>(x);
            else
                out.push_back({start, static_cast<std::int32_t>(x)});
            open = in;
        }
    }
}

} // namespace

Region Region::FromRect(Rect r) {
    Region region;
    const Rect n{std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
                 std::max(r.top, r.bottom)};
    if (n.left == n.right || n.top == n.bottom)
        return region;
    region.spans_.push_back({n.left, n.right});
    region.bands_.push_back({n.top, n.bottom, 0});
    return region;
}

Region Region::FromRects(const Rect* rects, std::size_t count) {
    std::vector<Rect> rs;
    rs.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const Rect& r = rects[i];
        const Rect n{std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
                     std::max(r.top, r.bottom)};
        if (n.left != n.right && n.top != n.bottom)
            rs.push_back(n);
    }
    Region region;
    if (rs.empty())
        return region;
    // Rows between consecutive edges: the rectangles covering such a row are the same all the way down it.
    // Lists usually come in rows already (scans, region data): then the sorts are skipped.
    auto byTop = [](const Rect& a, const Rect& b) { return a.top < b.top; };
    if (!std::is_sorted(rs.begin(), rs.end(), byTop))
        std::stable_sort(rs.begin(), rs.end(), byTop);
    std::vector<std::int32_t> tops, bottoms, edges;
    tops.reserve(rs.size());
    bottoms.reserve(rs.size());
    for (const Rect& r : rs) {
        tops.push_back(r.top);
        bottoms.push_back(r.bottom);
    }
    if (!std::is_sorted(bottoms.begin(), bottoms.end()))
        std::sort(bottoms.begin(), bottoms.end());
    edges.reserve(rs.size() * 2);
    std::merge(tops.begin(), tops.end(), bottoms.begin(), bottoms.end(), std::back_inserter(edges));
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());

    std::vector<const Rect*> active;
    std::vector<Span> row;
    std::size_t next = 0;
    region.spans_.reserve(rs.size());
    for (std::size_t e = 0; e + 1 < edges.size(); ++e) {
        const std::int32_t top = edges[e], bottom = edges[e + 1];
        std::erase_if(active, [top](const Rect* r) { return r->bottom <= top; });
        while (next < rs.size() && rs[next].top == top)
            active.push_back(&rs[next++]);
        if (active.empty())
            continue;
        row.clear();
        for (const Rect* r : active)
            row.push_back({r->left, r->right});
        auto byLeft = [](const Span& a, const Span& b) { return a.left < b.left; };
        if (!std::is_sorted(row.begin(), row.end(), byLeft))
            std::sort(row.begin(), row.end(), byLeft);
        const std::size_t first = region.spans_.size();
        for (const Span& s : row) {
            if (region.spans_.size() > first && s.left <= region.spans_.back().right)
                region.spans_.back().right = std::max(region.spans_.back().right, s.right);
            else
                region.spans_.push_back(s);
        }
        region.CloseBand(top, bottom, first);
    }
    return region;
}

void Region::CloseBand(std::int32_t top, std::int32_t bottom, std::size_t first) {
    if (first == spans_.size())
        return;
    if (!bands_.empty()) {
        Band& above = bands_.back();
        const std::size_t count = spans_.size() - first;
        if (above.bottom == top && first - above.first == count &&
            std::equal(spans_.begin() + static_cast<std::ptrdiff_t>(above.first),
                       spans_.begin() + static_cast<std::ptrdiff_t>(first),
                       spans_.begin() + static_cast<std::ptrdiff_t>(first))) {
            above.bottom = bottom;
            spans_.resize(first);
            return;
        }
    }
    bands_.push_back({top, bottom, first});
}

void Region::AppendCombined(const Region& a, std::size_t fromA, const Region& b, Op op) {
    std::size_t ia = fromA, ib = 0;
    const std::size_t na = a.bands_.size(), nb = b.bands_.size();
    std::int64_t y = std::numeric_limits<std::int64_t>::min(); // everything above y is done
    while (ia < na || ib < nb) {
        const std::int64_t topA = ia < na ? std::max<std::int64_t>(a.bands_[ia].top, y) : kEnd;
        const std::int64_t topB = ib < nb ? std::max<std::int64_t>(b.bands_[ib].top, y) : kEnd;
        const std::int64_t top = std::min(topA, topB);
        const bool inA = topA == top, inB = topB == top;
        // The rows down to the next edge of either side.
        std::int64_t bottom = 0;
        if (inA && inB)
            bottom = std::min(a.bands_[ia].bottom, b.bands_[ib].bottom);
        else if (inA)
            bottom = std::min<std::int64_t>(a.bands_[ia].bottom, topB);
        else
            bottom = std::min<std::int64_t>(b.bands_[ib].bottom, topA);

        // Bands of one side only: with And there is nothing, with Diff nothing where only b is.
        if ((inA && inB) || Keeps(op, inA, inB)) {
            const std::size_t first = spans_.size();
            const Span* sa = inA ? a.spans_.data() + a.bands_[ia].first : nullptr;
            const Span* sb = inB ? b.spans_.data() + b.bands_[ib].first : nullptr;
            MergeSpans(sa, inA ? a.SpanEnd(ia) - a.bands_[ia].first : 0, sb,
                       inB ? b.SpanEnd(ib) - b.bands_[ib].first : 0, op, spans_);
            CloseBand(static_cast<std::int32_t>(top), static_cast<std::int32_t>(bottom), first);
        }
        y = bottom;
        if (inA && a.bands_[ia].bottom == bottom)
            ++ia;
        if (inB && b.bands_[ib].bottom == bottom)
            ++ib;
        if (op == Op::And && (ia == na || ib == nb))
            break;
        if (op == Op::Diff && ia == na)
            break;
    }
}

Region Region::Combine(const Region& a, const Region& b, Op op) {
    Region result;
    result.bands_.reserve(a.bands_.size() + b.bands_.size());
    result.spans_.reserve(op == Op::And ? std::min(a.spans_.size(), b.spans_.size())
                                        : a.spans_.size() + b.spans_.size());
    result.AppendCombined(a, 0, b, op);
    return result;
}

void Region::UnionWith(const Region& other) {
    if (&other == this || other.Empty())
        return;
    if (Empty()) {
        *this = other;
        return;
    }
    // Bands that end at or above other's top cannot change; only the rest is merged, after them.
    const std::int32_t top = other.bands_.front().top;
    const auto firstTouched =
        std::partition_point(bands_.begin(), bands_.end(), [top](const Band& b) { return b.bottom <= top; });
    const std::size_t kept = static_cast<std::size_t>(firstTouched - bands_.begin());
    Region tail;
    if (kept < bands_.size()) {
        const std::size_t spanStart = bands_[kept].first;
        tail.spans_.assign(spans_.begin() + static_cast<std::ptrdiff_t>(spanStart), spans_.end());
        for (std::size_t i = kept; i < bands_.size(); ++i)
            tail.bands_.push_back({bands_[i].top, bands_[i].bottom, bands_[i].first - spanStart});
        spans_.resize(spanStart);
        bands_.resize(kept);
    }
    AppendCombined(tail, 0, other, Op::Or);
}

bool Region::Contains(std::int64_t x, std::int64_t y) const {
    const auto band = std::partition_point(bands_.begin(), bands_.end(), [y](const Band& b) { return b.bottom <= y; });
    if (band == bands_.end() || band->top > y)
        return false;
    const std::size_t index = static_cast<std::size_t>(band - bands_.begin());
    const auto begin = spans_.begin() + static_cast<std::ptrdiff_t>(band->first);
    const auto end = spans_.begin() + static_cast<std::ptrdiff_t>(SpanEnd(index));
    const auto span = std::partition_point(begin, end, [x](const Span& s) { return s.right <= x; });
    return span != end && span->left <= x;
}

Rect Region::Bounds() const {
    if (bands_.empty())
        return {};
    Rect r{std::numeric_limits<std::int32_t>::max(), bands_.front().top, std::numeric_limits<std::int32_t>::min(),
           bands_.back().bottom};
    for (std::size_t i = 0; i < bands_.size(); ++i) {
        r.left = std::min(r.left, spans_[bands_[i].first].left);
        r.right = std::max(r.right, spans_[SpanEnd(i) - 1].right);
    }
    return r;
}

std::vector<Rect> Region::Rects() const {
    std::vector<Rect> rects;
    rects.reserve(spans_.size());
    for (std::size_t i = 0; i < bands_.size(); ++i)
        for (std::size_t s = bands_[i].first; s < SpanEnd(i); ++s)
            rects.push_back({spans_[s].left, bands_[i].top, spans_[s].right, bands_[i].bottom});
    return rects;
}

} // namespace win::rgn
