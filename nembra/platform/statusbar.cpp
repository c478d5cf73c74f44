// The status-bar control: a child window along the bottom of its parent, split into parts that each
// show one line of text.
#include "nembra/platform/text.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace win::x11 {

namespace {

constexpr std::uint32_t kFaceColor = 0xF0F0F0;
constexpr std::uint32_t kEdgeColor = 0xD7D7D7;
constexpr std::uint32_t kSeparatorColor = 0xA0A0A0;
constexpr std::uint32_t kTextColor = 0x000000;
constexpr int kTextPadding = 4;
constexpr std::size_t kMaxParts = 256;

struct StatusBarData : ControlData {
    std::vector<std::int32_t> edges{-1}; // right edge of each part, client pixels; negative: to the right edge
    std::vector<std::string> texts{""};  // Latin-1, one per part
    std::vector<std::uint16_t> types{0}; // drawing-type bits of SB_SETTEXTA's wParam, given back by SB_GETTEXTA
    bool placing = false;                // our own MoveWindow reports back with WM_SIZE
};

StatusBarData* DataOf(HWND hwnd) {
    WindowRecord* rec = FindWindow(hwnd);
    return rec ? dynamic_cast<StatusBarData*>(rec->control.get()) : nullptr;
}

int BarHeight() { return std::max(20, UiLineHeight(UiFont(Dpy())) + 6); }

// Along the bottom of the parent's client area, full width, as the control keeps itself on the desktop.
void Place(HWND hwnd, StatusBarData& data) {
    RECT client;
    if (data.placing || !GetClientRect(GetParent(hwnd), &client))
        return;
    const int height = BarHeight();
    data.placing = true;
    MoveWindow(hwnd, 0, client.bottom - height, client.right, height, 1);
    data.placing = false;
}

LRESULT TextResult(const StatusBarData& data, std::size_t part) {
    const std::size_t length = std::min<std::size_t>(data.texts[part].size(), 0xFFFF);
    return static_cast<LRESULT>(length | (static_cast<std::size_t>(data.types[part]) << 16));
}

void Paint(WindowRecord* rec, const StatusBarData& data) {
    Display* dpy = Dpy();
    if (!dpy || !rec->xid)
        return;
    ErrorTrap trap;
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(dpy, rec->xid, &attributes))
        return;
    const int width = attributes.width, height = attributes.height;
    // The window's own visual and colormap: a child of a GL window need not use the screen's defaults.
    TextColor face(dpy, attributes.visual, attributes.colormap, kFaceColor);
    TextColor edge(dpy, attributes.visual, attributes.colormap, kEdgeColor);
    TextColor separator(dpy, attributes.visual, attributes.colormap, kSeparatorColor);
    TextColor ink(dpy, attributes.visual, attributes.colormap, kTextColor);
    GC gc = XCreateGC(dpy, rec->xid, 0, nullptr);
    XftDraw* draw = XftDrawCreate(dpy, rec->xid, attributes.visual, attributes.colormap);
    XftFont* font = UiFont(dpy);

    XSetForeground(dpy, gc, face.pixel());
    XFillRectangle(dpy, rec->xid, gc, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XSetForeground(dpy, gc, edge.pixel());
    XDrawLine(dpy, rec->xid, gc, 0, 0, width - 1, 0);

    const int baseline = (height - UiLineHeight(font)) / 2 + (font ? font->ascent : 12) + 1;
    int left = 0;
    for (std::size_t i = 0; i < data.edges.size() && left < width; ++i) {
        const bool toEdge = data.edges[i] < 0;
        const int right = toEdge ? width : std::clamp(data.edges[i], left, width);
        if (!toEdge && right < width) {
            XSetForeground(dpy, gc, separator.pixel());
            XDrawLine(dpy, rec->xid, gc, right - 1, 3, right - 1, height - 4);
        }
        const int textRight = right - kTextPadding;
        if (draw && textRight > left + kTextPadding) {
            XRectangle clip{static_cast<short>(left + kTextPadding), 0,
                            static_cast<unsigned short>(textRight - left - kTextPadding),
                            static_cast<unsigned short>(height)};
            XftDrawSetClipRectangles(draw, 0, 0, &clip, 1);
            DrawText(draw, ink.xft(), font, left + kTextPadding, baseline, Latin1ToUtf8(data.texts[i].c_str()));
        }
        left = right;
    }
    if (draw)
        XftDrawDestroy(draw);
    XFreeGC(dpy, gc);
    XFlush(dpy);
}

LRESULT StatusBarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    StatusBarData* data = DataOf(hwnd);
    switch (message) {
    case WM_CREATE: {
        WindowRecord* rec = FindWindow(hwnd);
        if (!rec)
            return -1;
        auto created = std::make_unique<StatusBarData>();
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        if (create && create->lpszName)
            created->texts[0] = create->lpszName;
        data = created.get();
        rec->control = std::move(created);
        Place(hwnd, *data);
        return 0;
    }
    case WM_SIZE:
        // The parent forwards its own WM_SIZE; the bar follows the parent's new client area.
        if (data)
            Place(hwnd, *data);
        return 0;
    default: break;
    }
    if (!data)
        return DefWindowProcA(hwnd, message, wParam, lParam);

    switch (message) {
    case SB_SETPARTS: {
        // Zero parts is allowed: the bar then shows only its face and holds no texts until parts are set.
        const std::size_t count = wParam;
        const auto* edges = reinterpret_cast<const std::int32_t*>(lParam);
        if (count > kMaxParts || (count > 0 && !edges))
            return 0;
        data->edges.assign(edges, edges + count);
        data->texts.resize(count);
        data->types.resize(count);
        InvalidateRect(hwnd, nullptr, 1);
        return 1;
    }
    case SB_GETPARTS: {
        if (auto* out = reinterpret_cast<std::int32_t*>(lParam)) {
            const std::size_t n = std::min<std::size_t>(wParam, data->edges.size());
            std::copy_n(data->edges.begin(), n, out);
        }
        return static_cast<LRESULT>(data->edges.size());
    }
    case SB_SETTEXTA: {
        const std::size_t part = wParam & 0xFF;
        if (part >= data->texts.size())
            return 0;
        const char* text = reinterpret_cast<const char*>(lParam);
        data->texts[part] = text ? text : "";
        data->types[part] = static_cast<std::uint16_t>(wParam & 0xFF00);
        InvalidateRect(hwnd, nullptr, 1);
        return 1;
    }
    case SB_GETTEXTA: {
        const std::size_t part = wParam;
        if (part >= data->texts.size())
            return 0;
        if (auto* buffer = reinterpret_cast<char*>(lParam))
            std::memcpy(buffer, data->texts[part].c_str(), data->texts[part].size() + 1);
        return TextResult(*data, part);
    }
    case SB_GETTEXTLENGTHA: return wParam < data->texts.size() ? TextResult(*data, wParam) : 0;
    case WM_SETTEXT:
        if (!data->texts.empty()) {
            const char* text = reinterpret_cast<const char*>(lParam);
            data->texts[0] = text ? text : "";
            InvalidateRect(hwnd, nullptr, 1);
        }
        return DefWindowProcA(hwnd, message, wParam, lParam);
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        if (WindowRecord* rec = FindWindow(hwnd))
            Paint(rec, *data);
        EndPaint(hwnd, &ps);
        return 0;
    }
    default: return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

} // namespace

void RegisterControlClasses() {
    static bool registered = false;
    if (registered)
        return;
    registered = true; // first, since class lookups themselves come back here
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = StatusBarProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = 0; // the parent's cursor shows through, whatever the program chose for it
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = STATUSCLASSNAMEA;
    RegisterClassExA(&wc);
}

} // namespace win::x11

namespace win {

HWND CreateStatusWindowA(DWORD style, const char* text, HWND parent, UINT id) {
    // The desktop creates it at 0 x 0, a size X refuses; the bar sizes itself in WM_CREATE anyway.
    return CreateWindowExA(0, STATUSCLASSNAMEA, text, style, 0, 0, 1, 1, parent, static_cast<HMENU>(id),
                           GetModuleHandleA(nullptr), nullptr);
}

} // namespace win
