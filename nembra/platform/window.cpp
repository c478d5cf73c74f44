// Window classes, windows and their X counterparts, painting state, properties, capture and focus.
#include "nembra/platform/x11.h"

#include <X11/Xatom.h>

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace win::x11 {

namespace {

std::string Lower(const char* text) {
    std::string result = text ? text : "";
    for (char& c : result)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return result;
}

const WindowClass* FindClass(const char* name) {
    auto it = P().classes.find(Lower(name));
    return it == P().classes.end() ? nullptr : &it->second;
}

// _MOTIF_WM_HINTS: the de-facto way to ask a window manager for a given set of decorations.
struct MotifHints {
    unsigned long flags;
    unsigned long functions;
    unsigned long decorations;
    long inputMode;
    unsigned long status;
};
constexpr unsigned long MWM_HINTS_FUNCTIONS = 1, MWM_HINTS_DECORATIONS = 2;
constexpr unsigned long MWM_FUNC_RESIZE = 2, MWM_FUNC_MOVE = 4, MWM_FUNC_MINIMIZE = 8, MWM_FUNC_MAXIMIZE = 16,
                        MWM_FUNC_CLOSE = 32;
constexpr unsigned long MWM_DECOR_BORDER = 2, MWM_DECOR_RESIZEH = 4, MWM_DECOR_TITLE = 8, MWM_DECOR_MENU = 16,
                        MWM_DECOR_MINIMIZE = 32, MWM_DECOR_MAXIMIZE = 64;

void SetDecorations(Display* dpy, ::Window xid, DWORD style) {
    MotifHints hints{};
    hints.flags = MWM_HINTS_FUNCTIONS | MWM_HINTS_DECORATIONS;
    hints.functions = MWM_FUNC_MOVE;
    if ((style & WS_CAPTION) == WS_CAPTION) {
        hints.decorations = MWM_DECOR_BORDER | MWM_DECOR_TITLE;
        if (style & WS_SYSMENU) {
            hints.decorations |= MWM_DECOR_MENU;
            hints.functions |= MWM_FUNC_CLOSE;
        }
        if (style & WS_MINIMIZEBOX) {
            hints.decorations |= MWM_DECOR_MINIMIZE;
            hints.functions |= MWM_FUNC_MINIMIZE;
        }
        if (style & WS_MAXIMIZEBOX) {
            hints.decorations |= MWM_DECOR_MAXIMIZE;
            hints.functions |= MWM_FUNC_MAXIMIZE;
        }
        if (style & WS_THICKFRAME) {
            hints.decorations |= MWM_DECOR_RESIZEH;
            hints.functions |= MWM_FUNC_RESIZE;
        }
    } else {
        // A pop-up without caption (the full-screen kind) gets no frame at all.
        hints.decorations = 0;
        if (style & WS_SYSMENU)
            hints.functions |= MWM_FUNC_CLOSE;
    }
    XChangeProperty(dpy, xid, P().atom.MOTIF_WM_HINTS, P().atom.MOTIF_WM_HINTS, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&hints), 5);
}

void SetSizeHints(Display* dpy, ::Window xid, DWORD style, int x, int y, int width, int height) {
    XSizeHints* hints = XAllocSizeHints();
    hints->flags = PPosition | USPosition | PWinGravity;
    hints->x = x;
    hints->y = y;
    hints->win_gravity = NorthWestGravity; // the requested position is the frame's top-left corner
    if (!(style & WS_THICKFRAME)) {
        hints->flags |= PMinSize | PMaxSize;
        hints->min_width = hints->max_width = width;
        hints->min_height = hints->max_height = height;
    }
    XSetWMNormalHints(dpy, xid, hints);
    XFree(hints);
}

void SetTitle(Display* dpy, ::Window xid, const std::string& latin1) {
    // WM_NAME is a STRING property, which ICCCM defines as Latin-1: the bytes go as they are.
    for (Atom name : {XA_WM_NAME, XA_WM_ICON_NAME})
        XChangeProperty(dpy, xid, name, XA_STRING, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(latin1.data()), static_cast<int>(latin1.size()));
    const std::string utf8 = Latin1ToUtf8(latin1.c_str());
    XChangeProperty(dpy, xid, P().atom.NET_WM_NAME, P().atom.UTF8_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(utf8.data()), static_cast<int>(utf8.size()));
    XChangeProperty(dpy, xid, P().atom.NET_WM_ICON_NAME, P().atom.UTF8_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(utf8.data()), static_cast<int>(utf8.size()));
}

// Frame extents the window manager will put around a decorated window: left, right, top, bottom.
// Asked for before mapping with _NET_REQUEST_FRAME_EXTENTS; the wait is bounded because some window
// managers never answer. Two seconds: a window manager that is busy starting up (or a loaded machine)
// can take longer than half a second.
bool RequestFrameExtents(Display* dpy, ::Window xid, long extents[4]) {
    Platform& p = P();
    if (!WmSupports(p.atom.NET_REQUEST_FRAME_EXTENTS))
        return false;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = xid;
    event.xclient.message_type = p.atom.NET_REQUEST_FRAME_EXTENTS;
    event.xclient.format = 32;
    XSendEvent(dpy, p.root, XFalse, SubstructureNotifyMask | SubstructureRedirectMask, &event);
    for (int waited = 0; waited < 2000; waited += 5) {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        bool got = false;
        if (XGetWindowProperty(dpy, xid, p.atom.NET_FRAME_EXTENTS, 0, 4, XFalse, XA_CARDINAL, &type, &format, &count,
                               &after, &data) == XSuccess &&
            data && count == 4 && format == 32) {
            const long* values = reinterpret_cast<const long*>(data);
            std::copy(values, values + 4, extents);
            got = true;
        }
        if (data)
            XFree(data);
        if (got)
            return true;
        usleep(5000);
    }
    return false;
}

// Frame extents currently reported for a top-level window (all zero without a window manager).
void FrameExtents(Display* dpy, ::Window xid, long extents[4]) {
    std::fill(extents, extents + 4, 0L);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    ErrorTrap trap;
    if (XGetWindowProperty(dpy, xid, P().atom.NET_FRAME_EXTENTS, 0, 4, XFalse, XA_CARDINAL, &type, &format, &count,
                           &after, &data) == XSuccess &&
        data && count == 4 && format == 32) {
        const long* values = reinterpret_cast<const long*>(data);
        std::copy(values, values + 4, extents);
    }
    if (data)
        XFree(data);
}

void DestroyXWindow(Display* dpy, ::Window xid, GLXWindow glxWindow, Colormap colormap) {
    ErrorTrap trap;
    if (glxWindow)
        glXDestroyWindow(dpy, glxWindow);
    XDestroyWindow(dpy, xid);
    if (colormap)
        XFreeColormap(dpy, colormap);
    trap.sync();
}

void SendCaptureChanged(HWND loser, HWND winner) {
    if (loser && loser != winner)
        SendMessageA(loser, WM_CAPTURECHANGED, 0, static_cast<LPARAM>(winner));
}

} // namespace

void SetTopLevelProperties(Display* dpy, ::Window xid, const std::string& titleLatin1, const char* resClass,
                           DWORD style) {
    SetTitle(dpy, xid, titleLatin1);
    std::string resName = ProgramName();
    std::string className = resClass;
    XClassHint classHint{resName.data(), className.data()};
    XSetClassHint(dpy, xid, &classHint);
    XWMHints wmHints{};
    wmHints.flags = InputHint | StateHint;
    wmHints.input = XTrue;
    wmHints.initial_state = NormalState;
    XSetWMHints(dpy, xid, &wmHints);
    Atom protocols[] = {P().atom.WM_DELETE_WINDOW};
    XSetWMProtocols(dpy, xid, protocols, 1);
    const long pid = static_cast<long>(getpid());
    XChangeProperty(dpy, xid, P().atom.NET_WM_PID, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pid), 1);
    SetDecorations(dpy, xid, style);
}

WindowRecord* FindWindow(HWND hwnd) {
    auto it = P().windows.find(hwnd);
    return it == P().windows.end() ? nullptr : it->second.get();
}

WindowRecord* FindWindowByXid(::Window xid) {
    Display* dpy = P().display;
    if (!dpy || !xid)
        return nullptr;
    XPointer data = nullptr;
    if (XFindContext(dpy, xid, P().context, &data) != 0)
        return nullptr;
    return reinterpret_cast<WindowRecord*>(data);
}

WindowRecord* TopLevelOf(WindowRecord* rec) {
    while (rec && (rec->style & WS_CHILD) && rec->parent)
        rec = FindWindow(rec->parent);
    return rec;
}

unsigned long PixelOf(WindowRecord* rec, std::uint32_t rgb) {
    Display* dpy = Dpy();
    XColor color{};
    color.red = static_cast<unsigned short>(((rgb >> 16) & 0xFF) * 257);
    color.green = static_cast<unsigned short>(((rgb >> 8) & 0xFF) * 257);
    color.blue = static_cast<unsigned short>((rgb & 0xFF) * 257);
    color.flags = DoRed | DoGreen | DoBlue;
    Colormap colormap = rec && rec->colormap ? rec->colormap : DefaultColormap(dpy, P().screen);
    if (XAllocColor(dpy, colormap, &color))
        return color.pixel;
    return BlackPixel(dpy, P().screen);
}

std::uint32_t BrushColor(HBRUSH brush, bool* known) {
    auto it = P().brushes.find(brush);
    *known = it != P().brushes.end();
    return *known ? it->second : 0;
}

void DestroyDeferredWindows() {
    Platform& p = P();
    if (!p.display)
        return;
    for (const DeferredWindow& w : p.deferred)
        DestroyXWindow(p.display, w.xid, w.glxWindow, w.colormap);
    p.deferred.clear();
}

} // namespace win::x11

namespace win {

using namespace x11;

// --- Window classes ---

ATOM RegisterClassExA(const WNDCLASSEXA* wc) {
    if (!wc || !wc->lpszClassName || !*wc->lpszClassName || !wc->lpfnWndProc)
        return 0;
    Platform& p = P();
    const std::string key = Lower(wc->lpszClassName);
    if (p.classes.count(key))
        return 0; // the class already exists
    WindowClass& cls = p.classes[key];
    cls.info = *wc;
    cls.name = wc->lpszClassName;
    cls.info.lpszClassName = cls.name.c_str();
    cls.info.lpszMenuName = nullptr;
    cls.atom = p.nextAtom++;
    return cls.atom;
}

ATOM RegisterClassA(const WNDCLASSA* wc) {
    if (!wc)
        return 0;
    WNDCLASSEXA ex;
    ex.cbSize = sizeof ex;
    ex.style = wc->style;
    ex.lpfnWndProc = wc->lpfnWndProc;
    ex.cbClsExtra = wc->cbClsExtra;
    ex.cbWndExtra = wc->cbWndExtra;
    ex.hInstance = wc->hInstance;
    ex.hIcon = wc->hIcon;
    ex.hCursor = wc->hCursor;
    ex.hbrBackground = wc->hbrBackground;
    ex.lpszMenuName = wc->lpszMenuName;
    ex.lpszClassName = wc->lpszClassName;
    ex.hIconSm = 0;
    return RegisterClassExA(&ex);
}

BOOL GetClassInfoExA(HINSTANCE, const char* className, WNDCLASSEXA* out) {
    RegisterControlClasses();
    const WindowClass* cls = FindClass(className);
    if (!cls || !out)
        return 0;
    *out = cls->info;
    return 1;
}

// --- Windows ---

HWND CreateWindowExA(DWORD exStyle, const char* className, const char* title, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menuOrId, HINSTANCE instance, void* param) {
    RegisterControlClasses();
    const WindowClass* cls = FindClass(className);
    if (!cls)
        return 0;
    Display* dpy = Dpy();
    if (!dpy)
        return 0;
    Platform& p = P();
    const bool child = (style & WS_CHILD) != 0;
    WindowRecord* parentRec = parent ? FindWindow(parent) : nullptr;
    if (child && !parentRec)
        return 0;

    auto rec = std::make_unique<WindowRecord>();
    rec->handle = p.newHandle();
    rec->parent = parentRec ? parent : 0;
    rec->cls = cls;
    rec->proc = cls->info.lpfnWndProc;
    rec->style = style;
    rec->id = child ? static_cast<int>(menuOrId) : 0;
    rec->title = title ? title : "";
    rec->cursor = cls->info.hCursor;

    if (x == CW_USEDEFAULT)
        x = y = 0; // a pop-up (and, here, any window) without a position stands at the top-left corner
    if (width == CW_USEDEFAULT)
        width = height = 1;

    XSetWindowAttributes attributes{};
    unsigned long mask = CWEventMask | CWBorderPixel;
    attributes.border_pixel = 0;
    // OwnerGrabButtonMask: while a button is held without a capture, X would report every pointer event
    // to the window where the press began; with it, events go to whichever of our windows is under the
    // pointer, as on the desktop (a press carried onto another window is seen there).
    attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                            StructureNotifyMask | EnterWindowMask | LeaveWindowMask | OwnerGrabButtonMask;
    if (!child)
        attributes.event_mask |= KeyPressMask | KeyReleaseMask | FocusChangeMask | PropertyChangeMask;
    ::Window xparent = p.root;
    if (child) {
        xparent = parentRec->xid;
        rec->visual = parentRec->visual;
        rec->depth = parentRec->depth;
        attributes.colormap = parentRec->colormap ? parentRec->colormap : DefaultColormap(dpy, p.screen);
    } else {
        rec->visual = p.glVisual;
        rec->depth = p.glDepth;
        if (rec->visual != DefaultVisual(dpy, p.screen)) {
            rec->colormap = XCreateColormap(dpy, p.root, rec->visual, AllocNone);
            attributes.colormap = rec->colormap;
        } else {
            attributes.colormap = DefaultColormap(dpy, p.screen);
        }
    }
    mask |= CWColormap;
    bool brushKnown = false;
    const std::uint32_t background = BrushColor(cls->info.hbrBackground, &brushKnown);
    if (brushKnown) {
        attributes.background_pixel = PixelOf(rec.get(), background);
        mask |= CWBackPixel;
    } else {
        attributes.background_pixmap = XNone; // nothing erases: the window draws all of itself
        mask |= CWBackPixmap;
    }

    // The outer size of a framed top-level window includes the window manager's frame.
    long extents[4] = {0, 0, 0, 0};
    int clientWidth = width, clientHeight = height;
    {
        ErrorTrap trap;
        rec->xid = XCreateWindow(dpy, xparent, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
                                 rec->depth, InputOutput, rec->visual, mask, &attributes);
        if (trap.sync() != 0 || !rec->xid) {
            if (rec->colormap)
                XFreeColormap(dpy, rec->colormap);
            return 0;
        }
    }
    if (!child) {
        SetTopLevelProperties(dpy, rec->xid, rec->title, cls->name.c_str(), style);
        if ((style & WS_CAPTION) == WS_CAPTION && RequestFrameExtents(dpy, rec->xid, extents)) {
            clientWidth = std::max(1, width - static_cast<int>(extents[0] + extents[1]));
            clientHeight = std::max(1, height - static_cast<int>(extents[2] + extents[3]));
            XResizeWindow(dpy, rec->xid, static_cast<unsigned>(clientWidth), static_cast<unsigned>(clientHeight));
        }
        SetSizeHints(dpy, rec->xid, style, x, y, clientWidth, clientHeight);
        const bool coversScreen = width >= DisplayWidth(dpy, p.screen) && height >= DisplayHeight(dpy, p.screen);
        if (!(style & WS_CAPTION) && coversScreen && WmSupports(p.atom.NET_WM_STATE_FULLSCREEN)) {
            Atom state[] = {p.atom.NET_WM_STATE_FULLSCREEN};
            XChangeProperty(dpy, rec->xid, p.atom.NET_WM_STATE, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<unsigned char*>(state), 1);
        }
        HICON icon = cls->info.hIcon ? cls->info.hIcon : cls->info.hIconSm;
        if (icon)
            ApplyIcon(rec->xid, icon);
    }
    auto cursorIt = p.cursors.find(rec->cursor);
    if (cursorIt != p.cursors.end())
        XDefineCursor(dpy, rec->xid, cursorIt->second);

    WindowRecord* raw = rec.get();
    XSaveContext(dpy, raw->xid, p.context, reinterpret_cast<XPointer>(raw));
    const HWND hwnd = raw->handle;
    p.windows.emplace(hwnd, std::move(rec));
    if (parentRec)
        parentRec->children.push_back(hwnd);

    CREATESTRUCTA create{param, instance, menuOrId, parent, height, width, y, x, style, title, className, exStyle};
    if (SendMessageA(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
        DestroyWindow(hwnd);
        return 0;
    }
    if (IsWindow(hwnd) && (style & WS_VISIBLE))
        ShowWindow(hwnd, SW_SHOW);
    return IsWindow(hwnd) ? hwnd : 0;
}

BOOL IsWindow(HWND hwnd) { return FindWindow(hwnd) != nullptr; }

BOOL DestroyWindow(HWND hwnd) {
    WindowRecord* rec = FindWindow(hwnd);
    if (!rec || rec->destroying)
        return 0;
    Platform& p = P();
    Display* dpy = p.display;
    rec->destroying = true;
    if (p.capture == hwnd)
        ReleaseCapture();
    // The window hears of its destruction before its children do, as on the desktop.
    SendMessageA(hwnd, WM_DESTROY, 0, 0);
    const std::vector<HWND> children = rec->children;
    for (HWND childHwnd : children)
        DestroyWindow(childHwnd);
    SendMessageA(hwnd, WM_NCDESTROY, 0, 0);

    if (WindowRecord* parentRec = FindWindow(rec->parent)) {
        auto& siblings = parentRec->children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), hwnd), siblings.end());
    }
    if (dpy) {
        XDeleteContext(dpy, rec->xid, p.context);
        const bool drawnInto = p.currentContext && p.currentDrawableXid == rec->xid;
        if (drawnInto) {
            // A GL context is still current on this window: hide it now and free it once the context is
            // released, so that drawing the frame in progress stays harmless.
            ErrorTrap trap;
            XUnmapWindow(dpy, rec->xid);
            p.deferred.push_back({rec->xid, rec->glxWindow, rec->colormap});
        } else {
            DestroyXWindow(dpy, rec->xid, rec->glxWindow, rec->colormap);
        }
        XFlush(dpy);
    }
    for (auto it = p.dcs.begin(); it != p.dcs.end();)
        it = it->second.hwnd == hwnd ? p.dcs.erase(it) : std::next(it);
    p.regions.erase(rec->shape); // the window's region goes with it
    p.windows.erase(hwnd);
    return 1;
}

BOOL ShowWindow(HWND hwnd, int command) {
    WindowRecord* rec = FindWindow(hwnd);
    Display* dpy = P().display;
    if (!rec || !dpy)
        return 0;
    XWindowAttributes attributes{};
    XGetWindowAttributes(dpy, rec->xid, &attributes);
    const BOOL wasVisible = attributes.map_state != IsUnmapped;
    if (command == SW_HIDE) {
        XUnmapWindow(dpy, rec->xid);
        rec->style &= ~WS_VISIBLE;
        XFlush(dpy);
        return wasVisible;
    }
    rec->style |= WS_VISIBLE;
    rec->invalid = true;
    if (rec->style & WS_CHILD) {
        XMapWindow(dpy, rec->xid);
        XFlush(dpy);
        return wasVisible;
    }
    XMapRaised(dpy, rec->xid);
    // Grabs and focus fail on a window that is not viewable yet, so showing waits for it.
    WaitViewable(rec->xid, 2000);
    if (command != SW_SHOWNA)
        SetForegroundWindow(hwnd);
    return wasVisible;
}

BOOL UpdateWindow(HWND hwnd) {
    WindowRecord* rec = FindWindow(hwnd);
    if (!rec)
        return 0;
    if (rec->invalid && (rec->style & WS_VISIBLE))
        SendMessageA(hwnd, WM_PAINT, 0, 0);
    return 1;
}

BOOL InvalidateRect(HWND hwnd, const RECT*, BOOL) {
    WindowRecord* rec = FindWindow(hwnd);
    if (!rec)
        return 0;
    rec->invalid = true;
    return 1;
}

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps) {
    WindowRecord* rec = FindWindow(hwnd);
    if (!rec)
        return 0;
    rec->invalid = false;
    const HDC dc = GetDC(hwnd);
    if (ps) {
        ps->hdc = dc;
        ps->fErase = 0;
        GetClientRect(hwnd, &ps->rcPaint);
    }
    return dc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* ps) {
    if (ps)
        ReleaseDC(hwnd, ps->hdc);
    return 1;
}

BOOL GetClientRect(HWND hwnd, RECT* rect) {
    WindowRecord* rec = FindWindow(hwnd);
    Display* dpy = P().display;
    if (!rec || !dpy || !rect)
        return 0;
    XWindowAttributes attributes{};
    ErrorTrap trap;
    if (!XGetWindowAttributes(dpy, rec->xid, &attributes))
        return 0;
    *rect = {0, 0, attributes.width, attributes.height};
    return 1;
}

BOOL GetWindowRect(HWND hwnd, RECT* rect) {
    WindowRecord* rec = FindWindow(hwnd);
    Display* dpy = P().display;
    if (!rec || !dpy || !rect)
        return 0;
    ErrorTrap trap;
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(dpy, rec->xid, &attributes))
        return 0;
    int rootX = 0, rootY = 0;
    ::Window childReturn = 0;
    XTranslateCoordinates(dpy, rec->xid, P().root, 0, 0, &rootX, &rootY, &childReturn);
    long extents[4] = {0, 0, 0, 0};
    if (!(rec->style & WS_CHILD))
        FrameExtents(dpy, rec->xid, extents);
    rect->left = rootX - static_cast<int>(extents[0]);
    rect->top = rootY - static_cast<int>(extents[2]);
    rect->right = rootX + attributes.width + static_cast<int>(extents[1]);
    rect->bottom = rootY + attributes.height + static_cast<int>(extents[3]);
    return 1;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
    WindowRecord* rec = FindWindow(hwnd);
    Display* dpy = P().display;
    if (!rec || !dpy || width <= 0 || height <= 0)
        return 0;
    long extents[4] = {0, 0, 0, 0};
    if (!(rec->style & WS_CHILD))
        FrameExtents(dpy, rec->xid, extents);
    const int clientWidth = std::max(1, width - static_cast<int>(extents[0] + extents[1]));
    const int clientHeight = std::max(1, height - static_cast<int>(extents[2] + extents[3]));
    ErrorTrap trap;
    if (!(rec->style & WS_CHILD))
        SetSizeHints(dpy, rec->xid, rec->style, x, y, clientWidth, clientHeight);
    XMoveResizeWindow(dpy, rec->xid, x, y, static_cast<unsigned>(clientWidth), static_cast<unsigned>(clientHeight));
    if (trap.sync() != 0)
        return 0;
    if (repaint)
        rec->invalid = true;
    SendMessageA(hwnd, WM_SIZE, 0, static_cast<LPARAM>((clientWidth & 0xFFFF) | ((clientHeight & 0xFFFF) << 16)));
    return 1;
}

HWND GetParent(HWND hwnd) {
    WindowRecord* rec = FindWindow(hwnd);
    return rec ? rec->parent : 0;
}

int GetDlgCtrlID(HWND hwnd) {
    WindowRecord* rec = FindWindow(hwnd);
    return rec ? rec->id : 0;
}

BOOL SetWindowTextA(HWND hwnd, const char* text) {
    WindowRecord* rec = FindWindow(hwnd);
    if (!rec)
        return 0;
    rec->title = text ? text : "";
    if (!(rec->style & WS_CHILD) && P().display) {
        SetTitle(P().display, rec->xid, rec->title);
        XFlush(P().display);
    }
    return 1;
}

int GetWindowTextA(HWND hwnd, char* buffer, int size) {
    WindowRecord* rec = FindWindow(hwnd);
    if (!rec || !buffer || size <= 0)
        return 0;
    const int length = std::min(static_cast<int>(rec->title.size()), size - 1);
    std::memcpy(buffer, rec->title.data(), static_cast<std::size_t>(length));
    buffer[length] = '\0';
    return length;
}

LRESULT GetWindowLongPtrA(HWND hwnd, int index) {
    WindowRecord* rec = FindWindow(hwnd);
    if (!rec)
        return 0;
    if (index == GWLP_WNDPROC)
        return reinterpret_cast<LRESULT>(rec->proc);
    if (index == GWLP_ID)
        return rec->id;
    return 0;
}

LRESULT SetWindowLongPtrA(HWND hwnd, int index, LRESULT value) {
    WindowRecord* rec = FindWindow(hwnd);
    if (!rec)
        return 0;
    LRESULT previous = GetWindowLongPtrA(hwnd, index);
    if (index == GWLP_WNDPROC && value)
        rec->proc = reinterpret_cast<WNDPROC>(value);
    else if (index == GWLP_ID)
        rec->id = static_cast<int>(value);
    return previous;
}

LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return proc ? proc(hwnd, message, wParam, lParam) : 0;
}

BOOL SetPropA(HWND hwnd, const char* name, std::uintptr_t value) {
    WindowRecord* rec = FindWindow(hwnd);
    if (!rec || !name)
        return 0;
    rec->props[name] = value;
    return 1;
}

std::uintptr_t GetPropA(HWND hwnd, const char* name) {
    WindowRecord* rec = FindWindow(hwnd);
    if (!rec || !name)
        return 0;
    auto it = rec->props.find(name);
    return it == rec->props.end() ? 0 : it->second;
}

std::uintptr_t RemovePropA(HWND hwnd, const char* name) {
    WindowRecord* rec = FindWindow(hwnd);
    if (!rec || !name)
        return 0;
    auto it = rec->props.find(name);
    if (it == rec->props.end())
        return 0;
    const std::uintptr_t value = it->second;
    rec->props.erase(it);
    return value;
}

// --- Input state ---

HWND SetCapture(HWND hwnd) {
    Platform& p = P();
    WindowRecord* rec = FindWindow(hwnd);
    const HWND previous = p.capture;
    if (!rec || !p.display)
        return previous;
    // owner_events false: every pointer event is reported to the capturing window, in its coordinates.
    {
        ErrorTrap trap;
        XGrabPointer(p.display, rec->xid, XFalse, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                     GrabModeAsync, GrabModeAsync, XNone, XNone, CurrentTime);
    }
    p.capture = hwnd;
    SendCaptureChanged(previous, hwnd);
    return previous;
}

BOOL ReleaseCapture() {
    Platform& p = P();
    const HWND previous = p.capture;
    if (p.display) {
        XUngrabPointer(p.display, CurrentTime);
        XFlush(p.display);
    }
    p.capture = 0;
    SendCaptureChanged(previous, 0);
    return 1;
}

HWND GetCapture() { return P().capture; }

BOOL GetCursorPos(POINT* point) {
    Display* dpy = Dpy();
    if (!dpy || !point)
        return 0;
    ::Window rootReturn = 0, childReturn = 0;
    int rootX = 0, rootY = 0, winX = 0, winY = 0;
    unsigned int mask = 0;
    if (!XQueryPointer(dpy, P().root, &rootReturn, &childReturn, &rootX, &rootY, &winX, &winY, &mask))
        return 0;
    point->x = rootX;
    point->y = rootY;
    return 1;
}

BOOL SetCursorPos(int x, int y) {
    Display* dpy = Dpy();
    if (!dpy)
        return 0;
    XWarpPointer(dpy, XNone, P().root, 0, 0, 0, 0, x, y);
    XFlush(dpy);
    return 1;
}

HWND GetForegroundWindow() {
    Display* dpy = P().display;
    if (!dpy)
        return 0;
    ::Window focus = 0;
    int revert = 0;
    XGetInputFocus(dpy, &focus, &revert);
    // The focus may sit on a window manager's frame or on one of our children: walk up to a top level.
    ErrorTrap trap;
    for (int depth = 0; focus && focus != P().root && focus != PointerRoot && depth < 64; ++depth) {
        if (WindowRecord* rec = FindWindowByXid(focus))
            return TopLevelOf(rec)->handle;
        ::Window rootReturn = 0, parentReturn = 0, *children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(dpy, focus, &rootReturn, &parentReturn, &children, &count))
            break;
        if (children)
            XFree(children);
        focus = parentReturn;
    }
    return 0;
}

BOOL SetForegroundWindow(HWND hwnd) {
    WindowRecord* rec = TopLevelOf(FindWindow(hwnd));
    Platform& p = P();
    if (!rec || !p.display)
        return 0;
    ErrorTrap trap;
    if (WmSupports(p.atom.NET_ACTIVE_WINDOW)) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = rec->xid;
        event.xclient.message_type = p.atom.NET_ACTIVE_WINDOW;
        event.xclient.format = 32;
        event.xclient.data.l[0] = 1; // a normal application
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(p.display, p.root, XFalse, SubstructureNotifyMask | SubstructureRedirectMask, &event);
    } else {
        // NOTE: with no window manager (Xvfb) nobody else hands out the focus.
        XRaiseWindow(p.display, rec->xid);
        XSetInputFocus(p.display, rec->xid, RevertToParent, CurrentTime);
    }
    return trap.sync() == 0;
}

} // namespace win
