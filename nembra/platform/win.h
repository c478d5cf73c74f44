// The desktop-services stand-in.
//
// Nembra was designed against a classic desktop windowing API: window classes and window procedures, a
// message queue, device and rendering contexts, bitmaps, regions and fonts. This folder provides those
// services on X11 + GLX, shaped like that API so that the library reads like a description of what it
// does on a desktop. Handles are 32-bit values (0 = none); message numbers and flag values are the
// desktop API's. Only files inside nembra/ include this header, and no Xlib header leaks out of it.
//
// Service by service, what each call stands in for and what it does on X11:
//
//   Window classes    RegisterClassA/RegisterClassExA/GetClassInfoExA: a table of classes by name.
//                     Registering a name twice fails (returns 0), as on the desktop.
//   Windows           CreateWindowExA makes an X window (a top-level one, or a child of the parent's X
//                     window for WS_CHILD) and calls the class's window procedure with WM_CREATE before
//                     it returns. Pop-up windows stand at (0, 0); a caption style asks the window
//                     manager for a title bar with close and minimise boxes, and a window without
//                     WS_THICKFRAME gets a fixed size (WM_NORMAL_HINTS min = max). The outer size
//                     includes the frame the window manager reports in _NET_FRAME_EXTENTS; with no
//                     window manager (Xvfb) the client area is the whole size.
//                     DestroyWindow sends WM_DESTROY to the window, then to its children, and frees
//                     them. If a GL context is current on the window, the X window is only unmapped
//                     until the context is released, so drawing into it stays harmless.
//   Messages          One queue per process (one thread uses the library). X events are translated
//                     into desktop messages when the queue is read: keys with virtual-key codes and
//                     detectable auto-repeat, mouse buttons and moves with client coordinates in
//                     lParam and MK_ flags in wParam, the window manager's close request as
//                     WM_SYSCOMMAND/SC_CLOSE. Pointer moves are coalesced: a move replaces a move still
//                     waiting at the end of the queue, so a burst never builds a backlog. WM_PAINT is
//                     synthesised for an invalid window when nothing else is waiting, and WM_QUIT after
//                     PostQuitMessage once the queue is empty.
//   Default handling  DefWindowProcA: WM_CLOSE destroys the window; WM_SYSCOMMAND/SC_CLOSE and Alt+F4
//                     send WM_CLOSE; a right-button release sends WM_CONTEXTMENU; WM_PAINT validates.
//   Input state       SetCapture/ReleaseCapture grab and release the pointer (a drag outside the window
//                     keeps reporting, with negative client coordinates); GetCursorPos/SetCursorPos
//                     query and warp the pointer (a warp produces one move message, as on the desktop);
//                     GetForegroundWindow/SetForegroundWindow follow the X input focus.
//   Properties        SetPropA/GetPropA/RemovePropA: named values per window.
//   Device contexts   GetDC/ReleaseDC/BeginPaint/EndPaint hand out context handles bound to a window.
//   GL                ChoosePixelFormat picks the closest GLX framebuffer config to the request among
//                     those the window's visual offers (RGBA and window-drawable are required; double
//                     buffering, depth, stencil, alpha, accumulation and aux buffers are matched as
//                     closely as the server allows). wglCreateContext/wglMakeCurrent/wglDeleteContext
//                     wrap GLX contexts; SwapBuffers swaps the window's buffers.
//   Message box       MessageBoxA: a modal X window with the text, the caption as its title and OK or
//                     Yes/No buttons, answering to the mouse and to the keyboard (Y/N, Enter for the
//                     default button, Tab to move, Space to press). Without a display it writes
//                     "caption: text" to standard error and returns the default button.
//   Status bar        The "msctls_statusbar32" class (CreateStatusWindowA): a child window along the
//                     bottom of its parent, drawing its parts' texts; SB_SETPARTS, SB_SETTEXTA,
//                     SB_GETPARTS, SB_GETTEXTA.
//   Bitmaps           LoadImageA(IMAGE_BITMAP, LR_LOADFROMFILE) reads a BMP file with the stand-in's own
//                     decoder (bmp.h) into a device-independent bitmap: 24 bits per pixel, blue-green-red,
//                     bottom row first, rows padded to 4 bytes, whatever the file's own depth. A file
//                     that cannot be read or decoded gives 0 and a one-line message on standard error
//                     naming the file and the reason. GetObjectA describes a bitmap (BITMAP, with the
//                     pixel pointer); DeleteObject frees it.
//   Fonts             CreateFontA matches the request to a TrueType face with fontconfig; SelectObject
//                     makes it the context's font; wglUseFontOutlinesA turns its glyphs, read with
//                     FreeType, into polygon display lists with float metrics.
//   Cursors, icons    LoadCursorA/LoadIconA with the system ids: X cursors from the cursor theme (or
//                     the core cursor font), and a generated application icon set as _NET_WM_ICON.
//   System            GetTickCount (monotonic milliseconds), GetSystemMetrics (screen size).
//
// Texts are 8-bit Latin-1, as the desktop API's "A" functions take them; they reach X (window titles,
// drawn text) and standard error as UTF-8.
//
// Errors: X protocol errors are trapped and reported as a failed call, never fatal; a lost connection
// to the X server ends the program with a message and exit code 1.
#pragma once

#include "nembra/nembra.h"

#include <string>

namespace win {

using namespace nembra::desktop;

// Window styles.
inline constexpr DWORD WS_OVERLAPPED = 0x00000000;
inline constexpr DWORD WS_POPUP = 0x80000000;
inline constexpr DWORD WS_CHILD = 0x40000000;
inline constexpr DWORD WS_MINIMIZE = 0x20000000;
inline constexpr DWORD WS_VISIBLE = 0x10000000;
inline constexpr DWORD WS_DISABLED = 0x08000000;
inline constexpr DWORD WS_CLIPSIBLINGS = 0x04000000;
inline constexpr DWORD WS_CLIPCHILDREN = 0x02000000;
inline constexpr DWORD WS_MAXIMIZE = 0x01000000;
inline constexpr DWORD WS_CAPTION = 0x00C00000;
inline constexpr DWORD WS_BORDER = 0x00800000;
inline constexpr DWORD WS_DLGFRAME = 0x00400000;
inline constexpr DWORD WS_SYSMENU = 0x00080000;
inline constexpr DWORD WS_THICKFRAME = 0x00040000;
inline constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
inline constexpr DWORD WS_MAXIMIZEBOX = 0x00010000;
inline constexpr DWORD WS_OVERLAPPEDWINDOW =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;

inline constexpr UINT CS_VREDRAW = 0x0001;
inline constexpr UINT CS_HREDRAW = 0x0002;
inline constexpr UINT CS_OWNDC = 0x0020;

inline constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000);

// ShowWindow commands.
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOW = 5;
inline constexpr int SW_SHOWNA = 8;
inline constexpr int SW_SHOWDEFAULT = 10;

// PeekMessage flags.
inline constexpr UINT PM_NOREMOVE = 0x0000;
inline constexpr UINT PM_REMOVE = 0x0001;

// GetSystemMetrics indices.
inline constexpr int SM_CXSCREEN = 0;
inline constexpr int SM_CYSCREEN = 1;

// GetSysColorBrush index of the button-face colour.
inline constexpr int COLOR_BTNFACE = 15;

// SetWindowLongPtr indices.
inline constexpr int GWLP_WNDPROC = -4;
inline constexpr int GWLP_ID = -12;

// System cursor and icon ids.
inline constexpr UINT IDC_ARROW = 32512;
inline constexpr UINT IDC_IBEAM = 32513;
inline constexpr UINT IDC_WAIT = 32514;
inline constexpr UINT IDC_CROSS = 32515;
inline constexpr UINT IDC_UPARROW = 32516;
inline constexpr UINT IDC_SIZE = 32640;
inline constexpr UINT IDC_SIZENWSE = 32642;
inline constexpr UINT IDC_SIZENESW = 32643;
inline constexpr UINT IDC_SIZEWE = 32644;
inline constexpr UINT IDC_SIZENS = 32645;
inline constexpr UINT IDC_SIZEALL = 32646;
inline constexpr UINT IDC_NO = 32648;
inline constexpr UINT IDC_HAND = 32649;
inline constexpr UINT IDC_APPSTARTING = 32650;
inline constexpr UINT IDC_HELP = 32651;
inline constexpr UINT IDI_APPLICATION = 32512;

// The status bar control.
inline constexpr const char* STATUSCLASSNAMEA = "msctls_statusbar32";

// Pixel format descriptor (40 bytes, as the desktop API lays it out).
struct PIXELFORMATDESCRIPTOR {
    std::uint16_t nSize;
    std::uint16_t nVersion;
    DWORD dwFlags;
    std::uint8_t iPixelType;
    std::uint8_t cColorBits;
    std::uint8_t cRedBits;
    std::uint8_t cRedShift;
    std::uint8_t cGreenBits;
    std::uint8_t cGreenShift;
    std::uint8_t cBlueBits;
    std::uint8_t cBlueShift;
    std::uint8_t cAlphaBits;
    std::uint8_t cAlphaShift;
    std::uint8_t cAccumBits;
    std::uint8_t cAccumRedBits;
    std::uint8_t cAccumGreenBits;
    std::uint8_t cAccumBlueBits;
    std::uint8_t cAccumAlphaBits;
    std::uint8_t cDepthBits;
    std::uint8_t cStencilBits;
    std::uint8_t cAuxBuffers;
    std::uint8_t iLayerType;
    std::uint8_t bReserved;
    DWORD dwLayerMask;
    DWORD dwVisibleMask;
    DWORD dwDamageMask;
};
static_assert(sizeof(PIXELFORMATDESCRIPTOR) == 40);

inline constexpr DWORD PFD_DOUBLEBUFFER = 0x00000001;
inline constexpr DWORD PFD_STEREO = 0x00000002;
inline constexpr DWORD PFD_DRAW_TO_WINDOW = 0x00000004;
inline constexpr DWORD PFD_SUPPORT_OPENGL = 0x00000020;
inline constexpr DWORD PFD_GENERIC_FORMAT = 0x00000040;
inline constexpr DWORD PFD_GENERIC_ACCELERATED = 0x00001000;
inline constexpr std::uint8_t PFD_TYPE_RGBA = 0;

struct CREATESTRUCTA {
    void* lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    DWORD style;
    const char* lpszName;
    const char* lpszClass;
    DWORD dwExStyle;
};

struct PAINTSTRUCT {
    HDC hdc = 0;
    BOOL fErase = 0;
    RECT rcPaint;
};

// --- Window classes ---
ATOM RegisterClassA(const WNDCLASSA* wc);
ATOM RegisterClassExA(const WNDCLASSEXA* wc);
BOOL GetClassInfoExA(HINSTANCE instance, const char* className, WNDCLASSEXA* out);
HINSTANCE GetModuleHandleA(const char* name); // the program's instance handle (1)

// --- Windows ---
HWND CreateWindowExA(DWORD exStyle, const char* className, const char* title, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menuOrId, HINSTANCE instance, void* param);
BOOL DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd);
BOOL ShowWindow(HWND hwnd, int command);
BOOL UpdateWindow(HWND hwnd);
BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);
HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps);
BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* ps);
BOOL GetWindowRect(HWND hwnd, RECT* rect); // outer rectangle, screen coordinates
BOOL GetClientRect(HWND hwnd, RECT* rect); // (0, 0, client width, client height)
BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
HWND GetParent(HWND hwnd);
int GetDlgCtrlID(HWND hwnd);
BOOL SetWindowTextA(HWND hwnd, const char* text);
int GetWindowTextA(HWND hwnd, char* buffer, int size);
LRESULT GetWindowLongPtrA(HWND hwnd, int index);
LRESULT SetWindowLongPtrA(HWND hwnd, int index, LRESULT value); // GWLP_WNDPROC subclasses the window
LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
BOOL SetPropA(HWND hwnd, const char* name, std::uintptr_t value);
std::uintptr_t GetPropA(HWND hwnd, const char* name);
std::uintptr_t RemovePropA(HWND hwnd, const char* name);

// --- Messages ---
BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags);
BOOL GetMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax); // blocks; 0 on WM_QUIT
BOOL TranslateMessage(const MSG* msg);                                 // WM_KEYDOWN -> WM_CHAR
LRESULT DispatchMessageA(const MSG* msg);
LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
LRESULT DefWindowProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// --- Input state ---
HWND SetCapture(HWND hwnd);
BOOL ReleaseCapture();
HWND GetCapture();
BOOL GetCursorPos(POINT* point);
BOOL SetCursorPos(int x, int y);
HWND GetForegroundWindow();
BOOL SetForegroundWindow(HWND hwnd);

// --- Device contexts and GL ---
HDC GetDC(HWND hwnd);
int ReleaseDC(HWND hwnd, HDC dc);
int ChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR* request);
int DescribePixelFormat(HDC dc, int format, UINT size, PIXELFORMATDESCRIPTOR* out); // returns the count
BOOL SetPixelFormat(HDC dc, int format, const PIXELFORMATDESCRIPTOR* request);
int GetPixelFormat(HDC dc);
HGLRC wglCreateContext(HDC dc);
BOOL wglMakeCurrent(HDC dc, HGLRC rc);
BOOL wglDeleteContext(HGLRC rc);
HGLRC wglGetCurrentContext();
BOOL SwapBuffers(HDC dc);

// --- GDI objects: bitmaps and fonts ---
// A bitmap as GetObjectA describes it. On this 64-bit build the record is 32 bytes.
struct BITMAP {
    std::int32_t bmType;
    std::int32_t bmWidth;
    std::int32_t bmHeight;
    std::int32_t bmWidthBytes;
    std::uint16_t bmPlanes;
    std::uint16_t bmBitsPixel;
    void* bmBits;
};

inline constexpr UINT IMAGE_BITMAP = 0;
inline constexpr UINT IMAGE_ICON = 1;
inline constexpr UINT IMAGE_CURSOR = 2;
inline constexpr UINT LR_LOADFROMFILE = 0x0010;
inline constexpr UINT LR_LOADTRANSPARENT = 0x0020;
inline constexpr UINT LR_CREATEDIBSECTION = 0x2000;

// Loads an image. Bitmaps come from BMP files (LR_LOADFROMFILE); the size must be 0 x 0 (the file's own
// size). LR_LOADTRANSPARENT is accepted and has no effect: colours stay as the file gives them.
HANDLE32 LoadImageA(HINSTANCE instance, const char* name, UINT type, int cx, int cy, UINT flags);
// Fills `out` (size bytes, at least sizeof(BITMAP) for a bitmap); returns the bytes written, 0 on failure.
int GetObjectA(HGDIOBJ object, int size, void* out);
// Makes a font the context's current one; returns the font selected before, 0 on failure.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
BOOL DeleteObject(HGDIOBJ object);

inline constexpr int FW_NORMAL = 400;
inline constexpr int FW_BOLD = 700;
inline constexpr DWORD ANSI_CHARSET = 0;
inline constexpr DWORD OUT_TT_PRECIS = 4;
inline constexpr DWORD CLIP_DEFAULT_PRECIS = 0;
inline constexpr DWORD ANTIALIASED_QUALITY = 4;
inline constexpr DWORD FF_DONTCARE = 0;
inline constexpr DWORD DEFAULT_PITCH = 0;

// height < 0: character height in logical units; escapement and orientation in tenths of a degree.
HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic, DWORD underline,
                  DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                  DWORD pitchAndFamily, const char* faceName);

inline constexpr int WGL_FONT_LINES = 0;
inline constexpr int WGL_FONT_POLYGONS = 1;

// Builds display lists listBase .. listBase + count - 1 from the glyphs of characters first ..
// first + count - 1 of the context's font, and their metrics into `metrics` (may be null).
BOOL wglUseFontOutlinesA(HDC dc, DWORD first, DWORD count, DWORD listBase, float deviation, float extrusion, int format,
                         GLYPHMETRICSFLOAT* metrics);

// --- Cursors, icons, brushes ---
HCURSOR LoadCursorA(HINSTANCE instance, UINT id);
HICON LoadIconA(HINSTANCE instance, UINT id);
HBRUSH GetSysColorBrush(int index);

// --- Message box and status bar ---
int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type);
HWND CreateStatusWindowA(DWORD style, const char* text, HWND parent, UINT id);

// --- System ---
DWORD GetTickCount();
int GetSystemMetrics(int index);
// True when an X display can be opened (the connection is then kept for the process).
bool HaveDisplay();

// Latin-1 text as UTF-8 (for X and for standard error).
std::string Latin1ToUtf8(const char* text);

} // namespace win
