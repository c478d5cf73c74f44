// System cursors, the generic application icon and system colour brushes.
#include "nembra/platform/x11.h"

#include <X11/Xatom.h>
#include <X11/Xcursor/Xcursor.h>
#include <X11/cursorfont.h>

#include <vector>

namespace win::x11 {
namespace {

struct SystemCursor {
    UINT id;
    const char* themeName;  // name in the freedesktop cursor themes
    unsigned int fontShape; // fallback from the core cursor font
};

constexpr SystemCursor kSystemCursors[] = {
    {IDC_ARROW, "left_ptr", XC_left_ptr},
    {IDC_IBEAM, "xterm", XC_xterm},
    {IDC_WAIT, "watch", XC_watch},
    {IDC_CROSS, "crosshair", XC_crosshair},
    {IDC_UPARROW, "center_ptr", XC_center_ptr},
    {IDC_SIZE, "fleur", XC_fleur},
    {IDC_SIZENWSE, "bottom_right_corner", XC_bottom_right_corner},
    {IDC_SIZENESW, "bottom_left_corner", XC_bottom_left_corner},
    {IDC_SIZEWE, "sb_h_double_arrow", XC_sb_h_double_arrow},
    {IDC_SIZENS, "sb_v_double_arrow", XC_sb_v_double_arrow},
    {IDC_SIZEALL, "fleur", XC_fleur},
    {IDC_NO, "crossed_circle", XC_X_cursor},
    {IDC_HAND, "hand2", XC_hand2},
    {IDC_APPSTARTING, "left_ptr_watch", XC_watch},
    {IDC_HELP, "question_arrow", XC_question_arrow},
};

// The generic application icon: a small window with a blue title bar, drawn rather than shipped.
IconImage MakeApplicationIcon(int size) {
    IconImage icon;
    icon.width = icon.height = size;
    icon.argb.assign(static_cast<std::size_t>(size * size), 0x00000000u);
    const int margin = size / 8;
    const int titleBottom = margin + size / 5;
    for (int y = margin; y < size - margin; ++y) {
        for (int x = margin; x < size - margin; ++x) {
            const bool border = x == margin || y == margin || x == size - margin - 1 || y == size - margin - 1;
            std::uint32_t colour = 0xFFFFFFFFu; // client area
            if (border)
                colour = 0xFF1F3F7Fu;
            else if (y < titleBottom)
                colour = 0xFF3A6EC8u;
            icon.argb[static_cast<std::size_t>(y * size + x)] = colour;
        }
    }
    return icon;
}

} // namespace

void ApplyIcon(::Window xid, HICON icon) {
    Platform& p = P();
    auto it = p.icons.find(icon);
    if (it == p.icons.end() || !p.display)
        return;
    // _NET_WM_ICON is width, height, then ARGB pixels, each as a CARDINAL (a long in Xlib's format 32).
    const IconImage& image = it->second;
    std::vector<long> data;
    data.reserve(2 + image.argb.size());
    data.push_back(image.width);
    data.push_back(image.height);
    for (std::uint32_t pixel : image.argb)
        data.push_back(static_cast<long>(pixel));
    XChangeProperty(p.display, xid, p.atom.NET_WM_ICON, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(data.data()), static_cast<int>(data.size()));
}

} // namespace win::x11

namespace win {

using namespace x11;

HCURSOR LoadCursorA(HINSTANCE, UINT id) {
    Platform& p = P();
    auto cached = p.systemCursors.find(id);
    if (cached != p.systemCursors.end())
        return cached->second;
    Display* dpy = Dpy();
    if (!dpy)
        return 0;
    for (const SystemCursor& entry : kSystemCursors) {
        if (entry.id != id)
            continue;
        Cursor cursor = XcursorLibraryLoadCursor(dpy, entry.themeName);
        if (!cursor)
            cursor = XCreateFontCursor(dpy, entry.fontShape);
        if (!cursor)
            return 0;
        const HCURSOR handle = p.newHandle();
        p.cursors[handle] = cursor;
        p.systemCursors[id] = handle;
        return handle;
    }
    return 0;
}

HICON LoadIconA(HINSTANCE, UINT id) {
    Platform& p = P();
    if (id != IDI_APPLICATION)
        return 0;
    if (!p.applicationIcon) {
        p.applicationIcon = p.newHandle();
        p.icons[p.applicationIcon] = MakeApplicationIcon(32);
    }
    return p.applicationIcon;
}

HBRUSH GetSysColorBrush(int index) {
    if (index != COLOR_BTNFACE)
        return 0;
    Platform& p = P();
    if (!p.buttonFaceBrush) {
        p.buttonFaceBrush = p.newHandle();
        p.brushes[p.buttonFaceBrush] = 0xF0F0F0; // the button-face grey of current desktops
    }
    return p.buttonFaceBrush;
}

} // namespace win
