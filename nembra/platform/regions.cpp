// Region handles over the banded regions of region.h, and window shapes through the X Shape extension.
#include "nembra/platform/x11.h"

#include <X11/extensions/shape.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace win {

using namespace x11;

namespace {

rgn::Region* FindRegion(HRGN region) {
    auto it = P().regions.find(region);
    return it == P().regions.end() ? nullptr : &it->second;
}

int KindOf(const rgn::Region& r) { return r.Empty() ? NULLREGION : r.RectCount() == 1 ? SIMPLEREGION : COMPLEXREGION; }

HRGN NewRegion(rgn::Region region) {
    Platform& p = P();
    const HRGN handle = p.newHandle();
    p.regions.emplace(handle, std::move(region));
    return handle;
}

bool HaveShape(Display* dpy) {
    Platform& p = P();
    if (p.shapeExtension < 0) {
        int eventBase = 0, errorBase = 0;
        p.shapeExtension = XShapeQueryExtension(dpy, &eventBase, &errorBase) ? 1 : 0;
    }
    return p.shapeExtension == 1;
}

// X rectangles hold 16-bit coordinates: the part of a region they can say.
std::vector<XRectangle> ShapeRectangles(const rgn::Region& region, int dx, int dy) {
    constexpr std::int32_t kLow = std::numeric_limits<short>::min(), kHigh = std::numeric_limits<short>::max();
    const rgn::Region sayable = rgn::Region::Combine(
        region, rgn::Region::FromRect({kLow - dx, kLow - dy, kHigh - dx, kHigh - dy}), rgn::Op::And);
    std::vector<XRectangle> rects;
    rects.reserve(sayable.RectCount());
    for (const rgn::Rect& r : sayable.Rects())
        rects.push_back({static_cast<short>(r.left + dx), static_cast<short>(r.top + dy),
                         static_cast<unsigned short>(r.right - r.left), static_cast<unsigned short>(r.bottom - r.top)});
    return rects;
}

} // namespace

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
    return NewRegion(rgn::Region::FromRect({left, top, right, bottom}));
}

HRGN ExtCreateRegion(const XFORM* xform, DWORD size, const RGNDATA* data) {
    if (xform || !data || size < sizeof(RGNDATAHEADER))
        return 0;
    const RGNDATAHEADER header = data->rdh;
    if (header.dwSize != sizeof(RGNDATAHEADER) || header.iType != RDH_RECTANGLES ||
        std::uint64_t{header.nCount} * sizeof(RECT) > size - sizeof(RGNDATAHEADER))
        return 0;
    try {
        std::vector<rgn::Rect> rects(header.nCount);
        if (!rects.empty())
            std::memcpy(static_cast<void*>(rects.data()), reinterpret_cast<const std::uint8_t*>(data) + sizeof header,
                        rects.size() * sizeof(rgn::Rect));
        return NewRegion(rgn::Region::FromRects(rects.data(), rects.size()));
    } catch (const std::bad_alloc&) {
        return 0;
    }
}
static_assert(sizeof(rgn::Rect) == sizeof(RECT));

int CombineRgn(HRGN dst, HRGN src1, HRGN src2, int mode) {
    rgn::Region* target = FindRegion(dst);
    const rgn::Region* a = FindRegion(src1);
    const rgn::Region* b = mode == RGN_COPY ? a : FindRegion(src2);
    if (!target || !a || !b)
        return ERROR;
    try {
        switch (mode) {
        case RGN_COPY: *target = *a; break;
        case RGN_OR:
            // In place, a region grown batch by batch keeps the bands above the new batch untouched.
            if (target == a)
                target->UnionWith(*b);
            else if (target == b)
                target->UnionWith(*a);
            else
                *target = rgn::Region::Combine(*a, *b, rgn::Op::Or);
            break;
        case RGN_AND: *target = rgn::Region::Combine(*a, *b, rgn::Op::And); break;
        case RGN_XOR: *target = rgn::Region::Combine(*a, *b, rgn::Op::Xor); break;
        case RGN_DIFF: *target = rgn::Region::Combine(*a, *b, rgn::Op::Diff); break;
        default: return ERROR;
        }
    } catch (const std::bad_alloc&) {
        return ERROR;
    }
    return KindOf(*target);
}

BOOL PtInRegion(HRGN region, int x, int y) {
    const rgn::Region* r = FindRegion(region);
    return r && r->Contains(x, y);
}

int GetRgnBox(HRGN region, RECT* box) {
    const rgn::Region* r = FindRegion(region);
    if (!r || !box)
        return ERROR;
    const rgn::Rect bounds = r->Bounds();
    *box = RECT{bounds.left, bounds.top, bounds.right, bounds.bottom};
    return KindOf(*r);
}

DWORD GetRegionData(HRGN region, DWORD size, RGNDATA* data) {
    const rgn::Region* r = FindRegion(region);
    if (!r)
        return 0;
    const std::uint64_t needed = sizeof(RGNDATAHEADER) + std::uint64_t{r->RectCount()} * sizeof(RECT);
    if (needed > std::numeric_limits<DWORD>::max())
        return 0;
    if (!data)
        return static_cast<DWORD>(needed);
    if (size < needed)
        return 0;
    const rgn::Rect bounds = r->Bounds();
    const RGNDATAHEADER header{sizeof(RGNDATAHEADER), RDH_RECTANGLES, static_cast<DWORD>(r->RectCount()),
                               static_cast<DWORD>(r->RectCount() * sizeof(RECT)),
                               RECT{bounds.left, bounds.top, bounds.right, bounds.bottom}};
    data->rdh = header;
    const std::vector<rgn::Rect> rects = r->Rects();
    if (!rects.empty())
        std::memcpy(reinterpret_cast<std::uint8_t*>(data) + sizeof header, static_cast<const void*>(rects.data()),
                    rects.size() * sizeof(RECT));
    return size;
}

BOOL EqualRgn(HRGN a, HRGN b) {
    const rgn::Region* ra = FindRegion(a);
    const rgn::Region* rb = FindRegion(b);
    return ra && rb && *ra == *rb;
}

int SetWindowRgn(HWND hwnd, HRGN region, BOOL redraw) {
    WindowRecord* rec = FindWindow(hwnd);
    Display* dpy = P().display;
    const rgn::Region* shape = region ? FindRegion(region) : nullptr;
    if (!rec || !dpy || (region && !shape) || !HaveShape(dpy))
        return 0;
    for (const auto& [handle, other] : P().windows)
        if (region && other->shape == region && other.get() != rec)
            return 0; // another window's region
    ErrorTrap trap;
    if (shape) {
        // Region coordinates start at the outer corner; the X window is the client area inside the frame.
        int dx = 0, dy = 0;
        RECT outer{};
        if (!(rec->style & WS_CHILD) && GetWindowRect(hwnd, &outer)) {
            ::Window child = 0;
            int clientX = 0, clientY = 0;
            XTranslateCoordinates(dpy, rec->xid, P().root, 0, 0, &clientX, &clientY, &child);
            dx = outer.left - clientX;
            dy = outer.top - clientY;
        }
        std::vector<XRectangle> rects = ShapeRectangles(*shape, dx, dy);
        XShapeCombineRectangles(dpy, rec->xid, ShapeBounding, 0, 0, rects.data(), static_cast<int>(rects.size()),
                                ShapeSet, YXBanded);
    } else {
        XShapeCombineMask(dpy, rec->xid, ShapeBounding, 0, 0, XNone, ShapeSet);
    }
    if (trap.sync() != 0)
        return 0;
    const HRGN previous = rec->shape;
    rec->shape = region;
    if (previous && previous != region)
        P().regions.erase(previous);
    if (redraw)
        rec->invalid = true;
    return 1;
}

int GetWindowRgn(HWND hwnd, HRGN region) {
    const WindowRecord* rec = FindWindow(hwnd);
    rgn::Region* target = FindRegion(region);
    const rgn::Region* shape = rec && rec->shape ? FindRegion(rec->shape) : nullptr;
    if (!target || !shape)
        return ERROR;
    if (target != shape)
        *target = *shape;
    return KindOf(*target);
}

} // namespace win
