// System cursors, cursors and icons from files, the generic application icon and system colour brushes.
#include "nembra/platform/curfile.h"
#include "nembra/platform/x11.h"

#include <X11/Xatom.h>
#include <X11/Xcursor/Xcursor.h>
#include <X11/extensions/Xrender.h>
#include <X11/cursorfont.h>

#include <cstdio>
#include <map>
#include <utility>
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

// Window managers draw icons at most 256 pixels on a side (the largest an icon directory names), so the
// sizes offered are those up to that, each in its deepest entry, or the smallest entry if all are larger.
std::vector<IconImage> IconSizes(const curfile::Frame& frame) {
    constexpr int kLargestIcon = 256;
    std::map<std::pair<int, int>, const curfile::Image*> best;
    const curfile::Image* smallest = &frame.images.front();
    for (const curfile::Image& image : frame.images) {
        if (image.width * image.height < smallest->width * smallest->height)
            smallest = &image;
        if (image.width > kLargestIcon || image.height > kLargestIcon)
            continue;
        const curfile::Image*& slot = best[{image.width, image.height}];
        if (!slot || image.bits > slot->bits)
            slot = &image;
    }
    std::vector<IconImage> sizes;
    if (best.empty())
        best[{smallest->width, smallest->height}] = smallest;
    // A hostile file may hold hundreds of sizes; a property of a few MiB is all a server takes in one request.
    constexpr std::size_t kMaxPixels = 1 << 20;
    std::size_t pixels = 0;
    for (const auto& [size, image] : best) {
        pixels += image->argb.size();
        if (!sizes.empty() && pixels > kMaxPixels)
            break;
        sizes.push_back(IconImage{image->width, image->height, image->argb});
    }
    return sizes;
}

// Xcursor wants premultiplied alpha; the files (and _NET_WM_ICON) have straight alpha.
XcursorPixel Premultiplied(std::uint32_t argb) {
    const std::uint32_t a = argb >> 24;
    auto scale = [a](std::uint32_t c) { return (c * a + 127) / 255; };
    return a << 24 | scale((argb >> 16) & 0xFF) << 16 | scale((argb >> 8) & 0xFF) << 8 | scale(argb & 0xFF);
}

// The cursor of one frame: its entry nearest the theme's cursor size. An icon has no hot spot of its
// own, so it points with its centre.
Cursor FrameCursor(Display* dpy, const curfile::Frame& frame, int size) {
    const curfile::Image& image = frame.images[curfile::Choose(frame, size)];
    XcursorImage* x = XcursorImageCreate(image.width, image.height);
    if (!x)
        return XNone;
    x->xhot = static_cast<XcursorDim>(image.cursor ? image.hotX : image.width / 2);
    x->yhot = static_cast<XcursorDim>(image.cursor ? image.hotY : image.height / 2);
    for (std::size_t i = 0; i < image.argb.size(); ++i)
        x->pixels[i] = Premultiplied(image.argb[i]);
    const Cursor cursor = XcursorImageLoadCursor(dpy, x);
    XcursorImageDestroy(x);
    return cursor;
}

// One X cursor for the whole file. An animation is made of one cursor per frame, not per step: a
// sequence may show the same large frame thousands of times, and Xcursor's own animation loader would
// upload a copy for every step.
Cursor CreateXCursor(Display* dpy, const curfile::File& file) {
    const int size = XcursorGetDefaultSize(dpy);
    ErrorTrap trap;
    std::vector<Cursor> frames(file.frames.size(), XNone);
    auto frameCursor = [&](std::size_t index) {
        if (!frames[index])
            frames[index] = FrameCursor(dpy, file.frames[index], size);
        return frames[index];
    };
    Cursor cursor = XNone;
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    // Animated cursors came with Render 0.8; without them the first step stands still.
    const bool animate = file.steps.size() > 1 && XRenderQueryExtension(dpy, &eventBase, &errorBase) &&
                         XRenderQueryVersion(dpy, &major, &minor) && (major > 0 || minor >= 8);
    if (animate) {
        std::vector<XAnimCursor> steps;
        for (const curfile::Step& step : file.steps) {
            const Cursor frame = frameCursor(step.frame);
            if (!frame)
                break;
            steps.push_back(XAnimCursor{frame, step.delayMs});
        }
        if (steps.size() == file.steps.size())
            cursor = XRenderCreateAnimCursor(dpy, static_cast<int>(steps.size()), steps.data());
        // The animation holds its frames on the server; their own ids are not needed.
        for (const Cursor frame : frames)
            if (frame)
                XFreeCursor(dpy, frame);
    } else {
        cursor = frameCursor(file.steps.front().frame);
    }
    if (trap.sync() != 0) {
        if (cursor)
            XFreeCursor(dpy, cursor);
        cursor = XNone;
    }
    return cursor;
}

} // namespace

void ApplyIcon(::Window xid, HICON icon) {
    Platform& p = P();
    auto it = p.icons.find(icon);
    if (it == p.icons.end() || it->second.empty() || !p.display)
        return;
    // _NET_WM_ICON is, for each size, width, height, then ARGB pixels, each as a CARDINAL (a long in
    // Xlib's format 32).
    std::vector<long> data;
    for (const IconImage& image : it->second) {
        data.push_back(image.width);
        data.push_back(image.height);
        for (std::uint32_t pixel : image.argb)
            data.push_back(static_cast<long>(pixel));
    }
    // Several large sizes can exceed a server's request limit: then the window simply has no icon.
    ErrorTrap trap;
    XChangeProperty(p.display, xid, p.atom.NET_WM_ICON, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(data.data()), static_cast<int>(data.size()));
    trap.sync();
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

HCURSOR LoadCursorFromFileA(const char* file) {
    if (!file) {
        std::fprintf(stderr, "nembra: cannot load cursor: no file name\n");
        return 0;
    }
    auto refuse = [file](const std::string& reason) -> HCURSOR {
        std::fprintf(stderr, "nembra: cannot load cursor \"%s\": %s\n", Latin1ToUtf8(file).c_str(), reason.c_str());
        return 0;
    };
    curfile::File parsed;
    std::string reason;
    if (!curfile::LoadFile(file, parsed, reason, &curfile::DecodePng))
        return refuse(reason);
    Display* dpy = Dpy();
    if (!dpy)
        return refuse("no X display");
    const Cursor cursor = CreateXCursor(dpy, parsed);
    if (!cursor)
        return refuse("the X server refused the cursor");
    Platform& p = P();
    const HCURSOR handle = p.newHandle();
    p.cursors[handle] = cursor;
    p.icons[handle] = IconSizes(parsed.frames[parsed.steps.front().frame]);
    return handle;
}

BOOL DestroyCursor(HCURSOR cursor) {
    Platform& p = P();
    for (const auto& [id, shared] : p.systemCursors)
        if (shared == cursor)
            return 0; // shared cursors live as long as the process
    auto it = p.cursors.find(cursor);
    if (it == p.cursors.end())
        return 0;
    if (p.display)
        XFreeCursor(p.display, it->second); // windows showing it keep it until they change cursor
    p.cursors.erase(it);
    p.icons.erase(cursor);
    return 1;
}

HICON LoadIconA(HINSTANCE, UINT id) {
    Platform& p = P();
    if (id != IDI_APPLICATION)
        return 0;
    if (!p.applicationIcon) {
        p.applicationIcon = p.newHandle();
        p.icons[p.applicationIcon] = {MakeApplicationIcon(32)};
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
