// The X connection, error handling, window-manager facts and the small system services.
#include "nembra/platform/x11.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>

#include <GL/glx.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <cstring>

#include <unistd.h>

namespace win::x11 {

Platform& P() {
    static Platform platform;
    return platform;
}

namespace {

int HandleXError(Display* dpy, XErrorEvent* error) {
    Platform& p = P();
    if (p.trapDepth > 0) {
        if (p.trappedError == 0)
            p.trappedError = error->error_code;
        return 0;
    }
    // An untrapped error is a failed request, not a reason to end the program.
    char text[256] = {};
    XGetErrorText(dpy, error->error_code, text, sizeof text);
    std::fprintf(stderr, "nembra: X error: %s (request %d.%d, resource 0x%lx)\n", text, error->request_code,
                 error->minor_code, error->resourceid);
    return 0;
}

[[noreturn]] int HandleIoError(Display*) {
    std::fputs("nembra: the connection to the X server was lost\n", stderr);
    std::fflush(stderr);
    std::_Exit(1);
}

void InternAtoms(Display* dpy, Atoms& a) {
    struct Entry {
        Atom* atom;
        const char* name;
    } entries[] = {
        {&a.WM_PROTOCOLS, "WM_PROTOCOLS"},
        {&a.WM_DELETE_WINDOW, "WM_DELETE_WINDOW"},
        {&a.UTF8_STRING, "UTF8_STRING"},
        {&a.NET_WM_NAME, "_NET_WM_NAME"},
        {&a.NET_WM_ICON_NAME, "_NET_WM_ICON_NAME"},
        {&a.NET_WM_ICON, "_NET_WM_ICON"},
        {&a.NET_WM_PID, "_NET_WM_PID"},
        {&a.NET_WM_STATE, "_NET_WM_STATE"},
        {&a.NET_WM_STATE_FULLSCREEN, "_NET_WM_STATE_FULLSCREEN"},
        {&a.NET_FRAME_EXTENTS, "_NET_FRAME_EXTENTS"},
        {&a.NET_REQUEST_FRAME_EXTENTS, "_NET_REQUEST_FRAME_EXTENTS"},
        {&a.NET_SUPPORTING_WM_CHECK, "_NET_SUPPORTING_WM_CHECK"},
        {&a.NET_SUPPORTED, "_NET_SUPPORTED"},
        {&a.NET_ACTIVE_WINDOW, "_NET_ACTIVE_WINDOW"},
        {&a.NET_WM_WINDOW_TYPE, "_NET_WM_WINDOW_TYPE"},
        {&a.NET_WM_WINDOW_TYPE_DIALOG, "_NET_WM_WINDOW_TYPE_DIALOG"},
        {&a.MOTIF_WM_HINTS, "_MOTIF_WM_HINTS"},
    };
    constexpr int count = sizeof entries / sizeof entries[0];
    char* names[count];
    Atom atoms[count];
    for (int i = 0; i < count; ++i)
        names[i] = const_cast<char*>(entries[i].name);
    XInternAtoms(dpy, names, count, XFalse, atoms);
    for (int i = 0; i < count; ++i)
        *entries[i].atom = atoms[i];
}

// Top-level windows are created with a visual that GLX can render to, so that a pixel format can be
// set on any of them later: the default visual when it has a double-buffered RGBA config with depth,
// otherwise the visual of the first such config.
void ChooseGlVisual(Platform& p) {
    p.glVisual = DefaultVisual(p.display, p.screen);
    p.glDepth = DefaultDepth(p.display, p.screen);
    int errorBase = 0, eventBase = 0;
    if (!glXQueryExtension(p.display, &errorBase, &eventBase))
        return;
    const int attributes[] = {GLX_X_RENDERABLE,
                              1,
                              GLX_DRAWABLE_TYPE,
                              GLX_WINDOW_BIT,
                              GLX_RENDER_TYPE,
                              GLX_RGBA_BIT,
                              GLX_DOUBLEBUFFER,
                              1,
                              GLX_DEPTH_SIZE,
                              1,
                              0};
    int count = 0;
    GLXFBConfig* configs = glXChooseFBConfig(p.display, p.screen, attributes, &count);
    if (!configs)
        return;
    const VisualID defaultId = XVisualIDFromVisual(p.glVisual);
    Visual* fallback = nullptr;
    int fallbackDepth = 0;
    bool defaultOk = false;
    for (int i = 0; i < count && !defaultOk; ++i) {
        XVisualInfo* info = glXGetVisualFromFBConfig(p.display, configs[i]);
        if (!info)
            continue;
        if (info->visualid == defaultId) {
            defaultOk = true;
        } else if (!fallback && info->depth >= 24) {
            fallback = info->visual; // owned by the display, valid after XFree(info)
            fallbackDepth = info->depth;
        }
        XFree(info);
    }
    if (!defaultOk && fallback) {
        p.glVisual = fallback;
        p.glDepth = fallbackDepth;
    }
    XFree(configs);
}

} // namespace

Display* Dpy() {
    Platform& p = P();
    if (p.display || p.displayTried)
        return p.display;
    p.displayTried = true;
    p.display = XOpenDisplay(nullptr);
    if (!p.display)
        return nullptr;
    XSetErrorHandler(HandleXError);
    XSetIOErrorHandler(HandleIoError);
    p.screen = DefaultScreen(p.display);
    p.root = RootWindow(p.display, p.screen);
    p.context = XUniqueContext();
    InternAtoms(p.display, p.atom);
    int supported = 0;
    XkbSetDetectableAutoRepeat(p.display, XTrue, &supported);
    p.detectableAutoRepeat = supported != 0;
    ChooseGlVisual(p);
    return p.display;
}

ErrorTrap::ErrorTrap() {
    Platform& p = P();
    if (p.display && p.trapDepth == 0) {
        XSync(p.display, XFalse); // earlier errors belong to earlier requests
        p.trappedError = 0;
    }
    ++p.trapDepth;
}

ErrorTrap::~ErrorTrap() {
    Platform& p = P();
    if (p.display)
        XSync(p.display, XFalse);
    if (--p.trapDepth == 0)
        p.trappedError = 0;
}

int ErrorTrap::sync() {
    Platform& p = P();
    if (p.display)
        XSync(p.display, XFalse);
    return p.trappedError;
}

std::string ProgramName() {
    char path[4096] = {};
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return "nembra";
    const char* slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

bool WmSupports(Atom hint) {
    Display* dpy = Dpy();
    if (!dpy)
        return false;
    Platform& p = P();
    auto readWindow = [&](::Window w, Atom property) -> ::Window {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        ::Window result = 0;
        ErrorTrap trap;
        if (XGetWindowProperty(dpy, w, property, 0, 1, XFalse, XA_WINDOW, &type, &format, &count, &after, &data) ==
                XSuccess &&
            data && count == 1 && format == 32)
            result = *reinterpret_cast<::Window*>(data);
        if (data)
            XFree(data);
        return result;
    };
    // The check window must point at itself, or the window manager that set it is gone.
    ::Window check = readWindow(p.root, p.atom.NET_SUPPORTING_WM_CHECK);
    if (!check || readWindow(check, p.atom.NET_SUPPORTING_WM_CHECK) != check)
        return false;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    bool found = false;
    if (XGetWindowProperty(dpy, p.root, p.atom.NET_SUPPORTED, 0, 4096, XFalse, XA_ATOM, &type, &format, &count, &after,
                           &data) == XSuccess &&
        data && format == 32) {
        const Atom* atoms = reinterpret_cast<const Atom*>(data);
        for (unsigned long i = 0; i < count && !found; ++i)
            found = atoms[i] == hint;
    }
    if (data)
        XFree(data);
    return found;
}

bool WaitViewable(::Window xid, int timeoutMs) {
    Display* dpy = Dpy();
    if (!dpy)
        return false;
    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    for (;;) {
        XWindowAttributes attributes{};
        {
            ErrorTrap trap;
            if (!XGetWindowAttributes(dpy, xid, &attributes))
                return false;
        }
        if (attributes.map_state == IsViewable)
            return true;
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const long elapsed = (now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000;
        if (elapsed >= timeoutMs)
            return false;
        timespec pause{0, 1000000};
        nanosleep(&pause, nullptr);
    }
}

} // namespace win::x11

namespace win {

using namespace x11;

bool HaveDisplay() { return Dpy() != nullptr; }

DWORD GetTickCount() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<DWORD>(static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                              static_cast<std::uint64_t>(now.tv_nsec) / 1000000u);
}

int GetSystemMetrics(int index) {
    Display* dpy = Dpy();
    if (!dpy)
        return 0;
    switch (index) {
    case SM_CXSCREEN: return DisplayWidth(dpy, P().screen);
    case SM_CYSCREEN: return DisplayHeight(dpy, P().screen);
    default: return 0;
    }
}

HINSTANCE GetModuleHandleA(const char*) { return 1; }

} // namespace win
