// Internal to the desktop stand-in: the X11 state behind the handles. Nothing outside
// nembra/platform/ includes this header.
#pragma once

#include "nembra/platform/bmp.h"
#include "nembra/platform/region.h"
#include "nembra/platform/win.h"

#include <X11/Xlib.h>
#include <X11/Xresource.h>
#include <X11/Xutil.h>
#include <X11/Xft/Xft.h>
#include <GL/glx.h>

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace win::x11 {

// Xlib's True, False, None and Success are macros; these names read better beside the desktop API's.
inline constexpr int XTrue = 1;
inline constexpr int XFalse = 0;
inline constexpr unsigned long XNone = 0L;
inline constexpr int XSuccess = 0;

struct WindowClass {
    WNDCLASSEXA info;
    std::string name; // as registered; lookups ignore letter case
    ATOM atom = 0;
};

// Per-window data of a built-in control (the status bar); owned by its window record.
struct ControlData {
    virtual ~ControlData() = default;
};

struct WindowRecord {
    HWND handle = 0;
    ::Window xid = 0;
    HWND parent = 0;
    std::vector<HWND> children;
    const WindowClass* cls = nullptr;
    WNDPROC proc = nullptr;
    DWORD style = 0;
    int id = 0; // control identifier of a child window
    std::string title;
    bool invalid = false;    // needs WM_PAINT
    bool destroying = false; // DestroyWindow is under way
    Visual* visual = nullptr;
    int depth = 0;
    Colormap colormap = 0; // created for a non-default visual, freed with the window
    HCURSOR cursor = 0;
    std::map<std::string, std::uintptr_t> props;
    // GL
    int pixelFormat = 0;
    GLXFBConfig fbconfig = nullptr;
    GLXWindow glxWindow = 0;
    std::unique_ptr<ControlData> control;
    HRGN shape = 0; // the window region SetWindowRgn gave it; the window owns it
};

struct DeviceContext {
    HWND hwnd = 0; // 0: the screen
    HFONT font = 0;
    bool memory = false;  // made by CreateCompatibleDC: draws into its bitmap
    HBITMAP bitmap = 0;   // of a memory context
    HPALETTE palette = 0; // selected with SelectPalette; the stock palette until then
};

// A device-independent bitmap, bottom row first, rows padded to 4 bytes: the decoder's picture (indices
// of 1, 4 or 8 bits with their colour table, or 24-bit blue-green-red) or one that CreateDIBSection made
// (also 32 bits: blue, green, red, unused).
using Bitmap = bmp::Image;

// A block of movable global memory.
struct GlobalBlock {
    std::vector<std::uint8_t> bytes;
    int locks = 0;
};

// A logical font as CreateFontA asked for it, and the face that fontconfig matched to it.
struct FontObject {
    int height = 0;
    int width = 0;
    int escapement = 0;  // tenths of a degree
    int orientation = 0; // tenths of a degree
    int weight = 0;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    DWORD charSet = 0;
    std::string faceName; // as asked for; empty for none
    std::string file;     // the matched face's font file
    int faceIndex = 0;    // the face inside that file
};

struct GlContext {
    GLXContext context = nullptr;
};

// An X window whose destruction waits until no GL context is current on it any more.
struct DeferredWindow {
    ::Window xid = 0;
    GLXWindow glxWindow = 0;
    Colormap colormap = 0;
};

struct IconImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> argb; // top row first
};

struct Atoms {
    Atom WM_PROTOCOLS, WM_DELETE_WINDOW, UTF8_STRING, NET_WM_NAME, NET_WM_ICON_NAME, NET_WM_ICON, NET_WM_PID,
        NET_WM_STATE, NET_WM_STATE_FULLSCREEN, NET_FRAME_EXTENTS, NET_REQUEST_FRAME_EXTENTS, NET_SUPPORTING_WM_CHECK,
        NET_SUPPORTED, NET_ACTIVE_WINDOW, NET_WM_WINDOW_TYPE, NET_WM_WINDOW_TYPE_DIALOG, MOTIF_WM_HINTS;
};

struct QueuedMessage {
    MSG msg;
    std::uint32_t character = 0; // Latin-1 character of a key press, for TranslateMessage
};

// All mutable state of the stand-in.
struct Platform {
    Display* display = nullptr;
    bool displayTried = false;
    int screen = 0;
    ::Window root = 0;
    XContext context = 0; // X window -> WindowRecord*
    Atoms atom{};
    bool detectableAutoRepeat = false;
    Visual* glVisual = nullptr; // visual for top-level windows: one that GLX can render to
    int glDepth = 0;

    HANDLE32 nextHandle = 0x100;
    std::map<std::string, WindowClass> classes; // key: lower-case name
    ATOM nextAtom = 0xC000;
    std::unordered_map<HWND, std::unique_ptr<WindowRecord>> windows;
    std::unordered_map<HDC, DeviceContext> dcs;
    std::unordered_map<HGLRC, GlContext> glContexts;
    HGLRC currentContext = 0;
    ::Window currentDrawableXid = 0; // X window the current context draws to
    std::vector<DeferredWindow> deferred;
    std::unordered_map<HCURSOR, Cursor> cursors;
    std::unordered_map<UINT, HCURSOR> systemCursors;
    // Every size an icon has; _NET_WM_ICON carries them all.
    std::unordered_map<HICON, std::vector<IconImage>> icons;
    std::unordered_map<HBRUSH, std::uint32_t> brushes; // 0x00RRGGBB
    std::unordered_map<HBITMAP, Bitmap> bitmaps;
    std::unordered_map<HFONT, FontObject> fonts;
    std::unordered_map<HPALETTE, std::vector<PALETTEENTRY>> palettes;
    std::unordered_map<HRGN, rgn::Region> regions;
    std::unordered_map<HGLOBAL, GlobalBlock> globals;
    std::size_t largestGlobal = 0; // since the last GlobalUsage(true)
    HBITMAP stockBitmap = 0;       // 1 x 1, 1 bit: what a new memory context holds
    HPALETTE stockPalette = 0;     // what a new context has selected
    int shapeExtension = -1;       // X Shape extension: -1 not asked yet, 0 absent, 1 present
    HICON applicationIcon = 0;
    HBRUSH buttonFaceBrush = 0;
    HBRUSH nullBrush = 0;      // GetStockObject(NULL_BRUSH): no colour, so windows of its class are never erased
    XftFont* uiFont = nullptr; // the face the stand-in draws its own controls with
    bool uiFontTried = false;

    std::deque<QueuedMessage> queue;
    struct PendingCharacter {
        HWND hwnd = 0;
        LPARAM lParam = 0;
        std::uint32_t character = 0;
    } pendingCharacter; // of the key press last taken, for TranslateMessage
    bool quitPosted = false;
    int quitCode = 0;
    HWND capture = 0;
    POINT lastPointer; // screen position of the last pointer or key event
    bool keyDown[256] = {};

    // X error trap (see ErrorTrap).
    int trapDepth = 0;
    int trappedError = 0;

    HANDLE32 newHandle() { return nextHandle++; }
};

Platform& P();

// The display, opened on first use; nullptr when none can be opened (then every call that needs it
// fails the way the desktop API fails).
Display* Dpy();

// Traps X protocol errors for its lifetime: errors are recorded, not printed. sync() flushes the
// requests made so far and returns the first error code seen (0 for none).
class ErrorTrap {
public:
    ErrorTrap();
    ~ErrorTrap();
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;
    int sync();
};

WindowRecord* FindWindow(HWND hwnd);
WindowRecord* FindWindowByXid(::Window xid);
WindowRecord* TopLevelOf(WindowRecord* rec);

// What a window manager reads of a top-level window: the title (WM_NAME, _NET_WM_NAME and the icon
// names), WM_CLASS (program name, resClass), WM_HINTS, the WM_DELETE_WINDOW protocol, _NET_WM_PID and
// the decorations that the desktop style asks for (_MOTIF_WM_HINTS).
void SetTopLevelProperties(Display* dpy, ::Window xid, const std::string& titleLatin1, const char* resClass,
                           DWORD style);

// The program's file name, for WM_CLASS.
std::string ProgramName();

// Window-manager facts, read from the root window (_NET_SUPPORTING_WM_CHECK, _NET_SUPPORTED).
bool WmSupports(Atom hint);

// Takes every pending X event and turns it into queued messages (events.cpp).
void PumpXEvents();
// Handles one X event for the stand-in; the message box's own loop hands other windows' events here.
void TranslateXEvent(XEvent& event);

// A colour as a pixel value of the given window's visual and colormap.
unsigned long PixelOf(WindowRecord* rec, std::uint32_t rgb);
std::uint32_t BrushColor(HBRUSH brush, bool* known);

// Applies the class icon to a top-level X window (_NET_WM_ICON).
void ApplyIcon(::Window xid, HICON icon);

// Called by wglMakeCurrent and wglDeleteContext when no context is current on a deferred window any more.
void DestroyDeferredWindows();

// Registers the built-in control classes (the status bar) once.
void RegisterControlClasses();

// Runs the modal message box on an open display (msgbox.cpp). Texts are Latin-1 and not null; owner may be 0.
int RunMessageBox(Display* dpy, HWND owner, const char* text, const char* caption, UINT type);

// Waits (bounded) until a mapped window is viewable; false if it did not become viewable in time.
bool WaitViewable(::Window xid, int timeoutMs);

} // namespace win::x11
