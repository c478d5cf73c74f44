// Device contexts, pixel formats and GL rendering contexts on GLX.
//
// A pixel format number is the 1-based index of a GLX framebuffer config in the display's config list.
// The formats a window can take are the configs of its visual that render RGBA into windows.
#include "nembra/platform/x11.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

namespace win::x11 {
namespace {

struct ConfigInfo {
    int format = 0; // 1-based index into the display's configs
    GLXFBConfig config = nullptr;
    int red = 0, green = 0, blue = 0, alpha = 0, depth = 0, stencil = 0;
    int accumRed = 0, accumGreen = 0, accumBlue = 0, accumAlpha = 0, aux = 0, samples = 0;
    bool doubleBuffer = false, stereo = false;
    int caveat = 0;
    VisualID visual = 0;
};

int Attribute(Display* dpy, GLXFBConfig config, int attribute) {
    int value = 0;
    glXGetFBConfigAttrib(dpy, config, attribute, &value);
    return value;
}

// Every config of the display, described; the windowFormats filter below picks a window's.
std::vector<ConfigInfo> AllConfigs(Display* dpy) {
    std::vector<ConfigInfo> result;
    int errorBase = 0, eventBase = 0;
    if (!glXQueryExtension(dpy, &errorBase, &eventBase))
        return result;
    int count = 0;
    GLXFBConfig* configs = glXGetFBConfigs(dpy, P().screen, &count);
    if (!configs)
        return result;
    for (int i = 0; i < count; ++i) {
        ConfigInfo c;
        c.format = i + 1;
        c.config = configs[i];
        const int renderType = Attribute(dpy, configs[i], GLX_RENDER_TYPE);
        const int drawableType = Attribute(dpy, configs[i], GLX_DRAWABLE_TYPE);
        c.visual = static_cast<VisualID>(Attribute(dpy, configs[i], GLX_VISUAL_ID));
        if (!(renderType & GLX_RGBA_BIT) || !(drawableType & GLX_WINDOW_BIT))
            c.visual = 0; // not a format for windows
        c.red = Attribute(dpy, configs[i], GLX_RED_SIZE);
        c.green = Attribute(dpy, configs[i], GLX_GREEN_SIZE);
        c.blue = Attribute(dpy, configs[i], GLX_BLUE_SIZE);
        c.alpha = Attribute(dpy, configs[i], GLX_ALPHA_SIZE);
        c.depth = Attribute(dpy, configs[i], GLX_DEPTH_SIZE);
        c.stencil = Attribute(dpy, configs[i], GLX_STENCIL_SIZE);
        c.accumRed = Attribute(dpy, configs[i], GLX_ACCUM_RED_SIZE);
        c.accumGreen = Attribute(dpy, configs[i], GLX_ACCUM_GREEN_SIZE);
        c.accumBlue = Attribute(dpy, configs[i], GLX_ACCUM_BLUE_SIZE);
        c.accumAlpha = Attribute(dpy, configs[i], GLX_ACCUM_ALPHA_SIZE);
        c.aux = Attribute(dpy, configs[i], GLX_AUX_BUFFERS);
        c.samples = Attribute(dpy, configs[i], GLX_SAMPLES);
        c.doubleBuffer = Attribute(dpy, configs[i], GLX_DOUBLEBUFFER) != 0;
        c.stereo = Attribute(dpy, configs[i], GLX_STEREO) != 0;
        c.caveat = Attribute(dpy, configs[i], GLX_CONFIG_CAVEAT);
        result.push_back(c);
    }
    XFree(configs);
    return result;
}

std::vector<ConfigInfo> WindowFormats(Display* dpy, const WindowRecord* rec) {
    std::vector<ConfigInfo> all = AllConfigs(dpy);
    const VisualID visual = XVisualIDFromVisual(rec->visual);
    std::vector<ConfigInfo> result;
    for (const ConfigInfo& c : all)
        if (c.visual && c.visual == visual)
            result.push_back(c);
    return result;
}

WindowRecord* WindowOfDc(HDC dc) {
    auto it = P().dcs.find(dc);
    return it == P().dcs.end() ? nullptr : FindWindow(it->second.hwnd);
}

// How far a config is from the request, compared in order: buffers asked for and missing (double
// buffering counts most), then the colour channels, then the sizes of everything else. The same
// order of judgement as good GL window libraries use when no config matches exactly.
struct Distance {
    long missing = 0;
    long colour = 0;
    long extra = 0;
    bool operator<(const Distance& other) const {
        if (missing != other.missing)
            return missing < other.missing;
        if (colour != other.colour)
            return colour < other.colour;
        return extra < other.extra;
    }
};

Distance Measure(const PIXELFORMATDESCRIPTOR& request, const ConfigInfo& c) {
    Distance d;
    const bool wantDouble = (request.dwFlags & PFD_DOUBLEBUFFER) != 0;
    if (wantDouble != c.doubleBuffer)
        d.missing += 1000;
    if ((request.dwFlags & PFD_STEREO) && !c.stereo)
        d.missing += 1;
    if (request.cAlphaBits && !c.alpha)
        d.missing += 1;
    if (request.cDepthBits && !c.depth)
        d.missing += 10; // a depth buffer matters more than the rest
    if (request.cStencilBits && !c.stencil)
        d.missing += 1;
    if (request.cAccumBits && !(c.accumRed + c.accumGreen + c.accumBlue + c.accumAlpha))
        d.missing += 1;
    if (request.cAuxBuffers && !c.aux)
        d.missing += 1;
    if (c.caveat == GLX_SLOW_CONFIG)
        d.missing += 100;
    // cColorBits counts the colour planes; 24 and more mean 8 bits a channel.
    const int channel = request.cColorBits >= 24 ? 8 : request.cColorBits / 3;
    auto square = [](long v) { return v * v; };
    d.colour = square(c.red - channel) + square(c.green - channel) + square(c.blue - channel);
    d.extra = square(c.alpha - request.cAlphaBits) + square(c.depth - request.cDepthBits) +
              square(c.stencil - request.cStencilBits) +
              square(c.accumRed + c.accumGreen + c.accumBlue + c.accumAlpha - request.cAccumBits) +
              square(c.aux - request.cAuxBuffers) + square(c.samples) * 4;
    return d;
}

void Describe(const ConfigInfo& c, PIXELFORMATDESCRIPTOR* out) {
    std::memset(out, 0, sizeof *out);
    out->nSize = sizeof *out;
    out->nVersion = 1;
    out->dwFlags =
        PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | (c.doubleBuffer ? PFD_DOUBLEBUFFER : 0) | (c.stereo ? PFD_STEREO : 0);
    out->iPixelType = PFD_TYPE_RGBA;
    out->cColorBits = static_cast<std::uint8_t>(c.red + c.green + c.blue);
    out->cRedBits = static_cast<std::uint8_t>(c.red);
    out->cGreenBits = static_cast<std::uint8_t>(c.green);
    out->cBlueBits = static_cast<std::uint8_t>(c.blue);
    out->cAlphaBits = static_cast<std::uint8_t>(c.alpha);
    out->cBlueShift = 0;
    out->cGreenShift = static_cast<std::uint8_t>(c.blue);
    out->cRedShift = static_cast<std::uint8_t>(c.blue + c.green);
    out->cAlphaShift = static_cast<std::uint8_t>(c.alpha ? c.red + c.green + c.blue : 0);
    out->cAccumRedBits = static_cast<std::uint8_t>(c.accumRed);
    out->cAccumGreenBits = static_cast<std::uint8_t>(c.accumGreen);
    out->cAccumBlueBits = static_cast<std::uint8_t>(c.accumBlue);
    out->cAccumAlphaBits = static_cast<std::uint8_t>(c.accumAlpha);
    out->cAccumBits = static_cast<std::uint8_t>(c.accumRed + c.accumGreen + c.accumBlue + c.accumAlpha);
    out->cDepthBits = static_cast<std::uint8_t>(c.depth);
    out->cStencilBits = static_cast<std::uint8_t>(c.stencil);
    out->cAuxBuffers = static_cast<std::uint8_t>(c.aux);
}

void ReleaseCurrent(Platform& p) {
    glXMakeContextCurrent(p.display, 0, 0, nullptr);
    p.currentContext = 0;
    p.currentDrawableXid = 0;
    DestroyDeferredWindows();
}

} // namespace
} // namespace win::x11

namespace win {

using namespace x11;

HDC GetDC(HWND hwnd) {
    if (hwnd && !FindWindow(hwnd))
        return 0;
    if (!hwnd && !Dpy())
        return 0;
    const HDC dc = P().newHandle();
    P().dcs[dc] = DeviceContext{hwnd};
    return dc;
}

int ReleaseDC(HWND hwnd, HDC dc) {
    auto it = P().dcs.find(dc);
    if (it == P().dcs.end() || it->second.hwnd != hwnd)
        return 0;
    P().dcs.erase(it);
    return 1;
}

int ChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR* request) {
    WindowRecord* rec = WindowOfDc(dc);
    Display* dpy = P().display;
    if (!rec || !dpy || !request)
        return 0;
    const std::vector<ConfigInfo> formats = WindowFormats(dpy, rec);
    const ConfigInfo* best = nullptr;
    Distance bestDistance;
    for (const ConfigInfo& c : formats) {
        const Distance d = Measure(*request, c);
        if (!best || d < bestDistance) {
            best = &c;
            bestDistance = d;
        }
    }
    return best ? best->format : 0;
}

int DescribePixelFormat(HDC dc, int format, UINT size, PIXELFORMATDESCRIPTOR* out) {
    Display* dpy = P().display;
    if (!dpy || !P().dcs.count(dc))
        return 0;
    const std::vector<ConfigInfo> all = AllConfigs(dpy);
    if (out && size >= sizeof *out && format >= 1 && format <= static_cast<int>(all.size()))
        Describe(all[static_cast<std::size_t>(format - 1)], out);
    return static_cast<int>(all.size());
}

BOOL SetPixelFormat(HDC dc, int format, const PIXELFORMATDESCRIPTOR*) {
    WindowRecord* rec = WindowOfDc(dc);
    Display* dpy = P().display;
    if (!rec || !dpy || format <= 0)
        return 0;
    if (rec->pixelFormat)
        return rec->pixelFormat == format; // a window's format is set once
    for (const ConfigInfo& c : WindowFormats(dpy, rec)) {
        if (c.format != format)
            continue;
        ErrorTrap trap;
        const GLXWindow glxWindow = glXCreateWindow(dpy, c.config, rec->xid, nullptr);
        if (trap.sync() != 0 || !glxWindow)
            return 0;
        rec->pixelFormat = format;
        rec->fbconfig = c.config;
        rec->glxWindow = glxWindow;
        return 1;
    }
    return 0;
}

int GetPixelFormat(HDC dc) {
    WindowRecord* rec = WindowOfDc(dc);
    return rec ? rec->pixelFormat : 0;
}

HGLRC wglCreateContext(HDC dc) {
    WindowRecord* rec = WindowOfDc(dc);
    Display* dpy = P().display;
    if (!rec || !dpy || !rec->fbconfig)
        return 0;
    ErrorTrap trap;
    GLXContext context = glXCreateNewContext(dpy, rec->fbconfig, GLX_RGBA_TYPE, nullptr, 1);
    if (trap.sync() != 0 || !context)
        return 0;
    const HGLRC rc = P().newHandle();
    P().glContexts[rc] = GlContext{context};
    return rc;
}

BOOL wglMakeCurrent(HDC dc, HGLRC rc) {
    Platform& p = P();
    if (!p.display)
        return 0;
    if (!rc) {
        // Releasing needs no device context, so it works after the window is gone.
        ReleaseCurrent(p);
        return 1;
    }
    auto it = p.glContexts.find(rc);
    WindowRecord* rec = WindowOfDc(dc);
    if (it == p.glContexts.end() || !rec || !rec->glxWindow)
        return 0;
    ErrorTrap trap;
    const bool ok = glXMakeContextCurrent(p.display, rec->glxWindow, rec->glxWindow, it->second.context);
    if (trap.sync() != 0 || !ok)
        return 0;
    p.currentContext = rc;
    p.currentDrawableXid = rec->xid;
    DestroyDeferredWindows();
    return 1;
}

BOOL wglDeleteContext(HGLRC rc) {
    Platform& p = P();
    auto it = p.glContexts.find(rc);
    if (it == p.glContexts.end() || !p.display)
        return 0;
    if (p.currentContext == rc)
        ReleaseCurrent(p);
    glXDestroyContext(p.display, it->second.context);
    p.glContexts.erase(it);
    return 1;
}

HGLRC wglGetCurrentContext() { return P().currentContext; }

BOOL SwapBuffers(HDC dc) {
    WindowRecord* rec = WindowOfDc(dc);
    Display* dpy = P().display;
    if (!rec || !dpy || !rec->glxWindow)
        return 0; // the window is gone: the swap fails quietly
    glXSwapBuffers(dpy, rec->glxWindow);
    return 1;
}

} // namespace win
