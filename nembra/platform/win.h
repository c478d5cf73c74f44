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
//                     decoder (bmp.h) into a device-independent bitmap, bottom row first, rows padded to
//                     4 bytes. With LR_CREATEDIBSECTION it has the file's own depth: 1, 4 or 8 bits of
//                     palette indices with the file's colour table (2-bit files widen to 4 bits; the
//                     table is padded with black to 2^bits entries), 24-bit blue-green-red for deeper
//                     files; without it every file is 24-bit. A file that cannot be read or decoded
//                     gives 0 and a one-line message on standard error naming the file and the reason.
//                     GetObjectA describes a bitmap (BITMAP, with its real depth and pixel pointer);
//                     CreateDIBSection makes a zeroed bottom-up bitmap of 1, 4, 8, 24 or 32 bits;
//                     GetDIBits copies rows out as 24 or 32 bits; GetDIBColorTable reads the colour
//                     table of the bitmap selected into a memory context. DeleteObject frees bitmaps,
//                     palettes, regions and fonts, but refuses one still selected into a context (or a
//                     region a window owns) and the stock objects.
//   Memory contexts   CreateCompatibleDC makes a memory context (it needs no display) holding a stock
//                     1 x 1 bitmap until SelectObject puts a bitmap in; a bitmap is in one memory context
//                     at a time. BitBlt (SRCCOPY) copies from a memory context into a 24- or 32-bit
//                     memory context, or into a window's context (GetDC, BeginPaint; top-level or child)
//                     with XPutImage in the window's visual, clipped to the window and its bitmap.
//   Palettes          CreatePalette (LOGPALETTE, version 0x300), CreateHalftonePalette (256 entries: the
//                     6 x 6 x 6 colour cube at 0, 51, ..., 255, index 36 r + 6 g + b, then 40 greys
//                     between black and white), GetPaletteEntries, SelectPalette, RealizePalette. On the
//                     true-colour visuals of X a palette changes no colour: a bitmap shows the colours of
//                     its own table, and RealizePalette only reports the palette's size.
//   Regions           CreateRectRgn, ExtCreateRegion (RGNDATA rectangles, no transform), CombineRgn
//                     (AND, OR, XOR, DIFF, COPY), PtInRegion, GetRgnBox, GetRegionData, EqualRgn, over
//                     banded rectangle lists (region.h). An empty region is a valid handle. Uniting a
//                     region with one below it in place (CombineRgn(a, a, b, RGN_OR)) costs only b and
//                     the bands of a that b reaches, so a region built batch by batch grows in linear time.
//   Window shapes     SetWindowRgn sets the window's bounding shape with the X Shape extension (which
//                     also cuts input: a click on a cut-away pixel reaches the window beneath). Region
//                     coordinates are relative to the window's outer corner. The window owns the region:
//                     it is freed when replaced, when SetWindowRgn(hwnd, 0) removes the shape, and with
//                     the window. GetWindowRgn copies it.
//   Movable memory    GlobalAlloc(GMEM_MOVEABLE)/GlobalLock/GlobalUnlock/GlobalReAlloc/GlobalFree/
//                     GlobalSize: blocks behind handles; growing keeps the contents, and a locked block
//                     is not moved (GlobalReAlloc refuses). GlobalUsage reports blocks for tests.
//   Fonts             CreateFontA matches the request to a TrueType face with fontconfig; SelectObject
//                     makes it the context's font; wglUseFontOutlinesA turns its glyphs, read with
//                     FreeType, into polygon display lists with float metrics.
//   Cursors, icons    LoadCursorA/LoadIconA with the system ids: X cursors from the cursor theme (or
//                     the core cursor font), and a generated application icon set as _NET_WM_ICON.
//                     LoadCursorFromFileA reads .cur, .ico and animated .ani files (DIB entries at 1 to
//                     32 bits with their AND mask, or PNG entries) with the stand-in's own reader
//                     (curfile.h) into an Xcursor cursor: the entry nearest the theme's cursor size,
//                     with the file's hot spot (the centre for an .ico) and, for .ani, its frames and
//                     delays. The same handle serves as a class icon, every entry up to 256 pixels
//                     going into _NET_WM_ICON. A file that cannot be read or decoded gives 0 and a
//                     one-line message on standard error naming the file and the reason.
//                     DestroyCursor frees a file cursor; the shared system cursors stay.
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
// Makes a font the context's current one, or puts a bitmap into a memory context; returns the object of
// that kind selected before, 0 on failure (a bitmap already in another memory context is refused).
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
BOOL DeleteObject(HGDIOBJ object);

// Stock objects: NULL_BRUSH (a class background that paints nothing) and DEFAULT_PALETTE (what a new
// context has selected). They are never deleted.
inline constexpr int NULL_BRUSH = 5;
inline constexpr int DEFAULT_PALETTE = 15;
HGDIOBJ GetStockObject(int index);

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

// --- Bitmaps in memory: DIBs, memory contexts, palettes ---
struct RGBQUAD {
    std::uint8_t rgbBlue;
    std::uint8_t rgbGreen;
    std::uint8_t rgbRed;
    std::uint8_t rgbReserved;
};

struct BITMAPINFOHEADER {
    DWORD biSize;
    std::int32_t biWidth;
    std::int32_t biHeight; // positive: bottom row first
    std::uint16_t biPlanes;
    std::uint16_t biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    std::int32_t biXPelsPerMeter;
    std::int32_t biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

// The colour table follows the header (biClrUsed entries, or 2^biBitCount when that is 0).
struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};

struct PALETTEENTRY {
    std::uint8_t peRed;
    std::uint8_t peGreen;
    std::uint8_t peBlue;
    std::uint8_t peFlags;
};

// palNumEntries entries follow the header.
struct LOGPALETTE {
    std::uint16_t palVersion; // 0x300
    std::uint16_t palNumEntries;
    PALETTEENTRY palPalEntry[1];
};

inline constexpr DWORD BI_RGB = 0;
inline constexpr UINT DIB_RGB_COLORS = 0;
inline constexpr DWORD SRCCOPY = 0x00CC0020;
inline constexpr UINT OBJ_PAL = 5;
inline constexpr UINT OBJ_FONT = 6;
inline constexpr UINT OBJ_BITMAP = 7;

HDC CreateCompatibleDC(HDC dc); // 0: compatible with the screen
BOOL DeleteDC(HDC dc);
HGDIOBJ GetCurrentObject(HDC dc, UINT type);
// A zeroed bottom-up DIB (biHeight > 0) of 1, 4, 8, 24 or 32 bits, BI_RGB; *bits receives its pixels.
// No file section is offered: `section` must be 0.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE32 section, DWORD offset);
// Rows start .. start + lines - 1 (counted from the bottom) as 24 or 32 bits, bottom-up for a positive
// biHeight, top-down for a negative one; returns the rows copied. With bits null it only fills in the
// bitmap's own header.
int GetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFO* info, UINT usage);
// Entries of the colour table of the bitmap selected into a memory context; 0 for bitmaps without one.
UINT GetDIBColorTable(HDC dc, UINT start, UINT count, RGBQUAD* colours);
HPALETTE CreatePalette(const LOGPALETTE* palette);
HPALETTE CreateHalftonePalette(HDC dc);
// With entries null, the palette's size.
UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT count, PALETTEENTRY* entries);
HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL forceBackground); // returns the palette before
UINT RealizePalette(HDC dc);
BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop);

// --- Regions and window shapes ---
struct RGNDATAHEADER {
    DWORD dwSize; // 32
    DWORD iType;  // RDH_RECTANGLES
    DWORD nCount;
    DWORD nRgnSize;
    RECT rcBound;
};
static_assert(sizeof(RGNDATAHEADER) == 32);

// nCount RECTs follow the header.
struct RGNDATA {
    RGNDATAHEADER rdh;
    char Buffer[1];
};

struct XFORM {
    float eM11, eM12, eM21, eM22, eDx, eDy;
};

inline constexpr DWORD RDH_RECTANGLES = 1;
inline constexpr int RGN_AND = 1;
inline constexpr int RGN_OR = 2;
inline constexpr int RGN_XOR = 3;
inline constexpr int RGN_DIFF = 4;
inline constexpr int RGN_COPY = 5;
// Region kinds, as CombineRgn, GetRgnBox and GetWindowRgn return them.
inline constexpr int ERROR = 0;
inline constexpr int NULLREGION = 1;
inline constexpr int SIMPLEREGION = 2;
inline constexpr int COMPLEXREGION = 3;

HRGN CreateRectRgn(int left, int top, int right, int bottom);
// Only a null transform is offered. `size` must cover the header and its nCount rectangles; rcBound is
// not read.
HRGN ExtCreateRegion(const XFORM* xform, DWORD size, const RGNDATA* data);
int CombineRgn(HRGN dst, HRGN src1, HRGN src2, int mode); // src2 unused for RGN_COPY
BOOL PtInRegion(HRGN region, int x, int y);
int GetRgnBox(HRGN region, RECT* box);
// With data null, returns the size the region's data needs; with a buffer of at least that size, fills
// in the header and the rectangles (top band first, left to right) and returns `size`; otherwise 0.
DWORD GetRegionData(HRGN region, DWORD size, RGNDATA* data);
BOOL EqualRgn(HRGN a, HRGN b);
// Gives the window that shape (0 removes it); on success the window owns the region.
int SetWindowRgn(HWND hwnd, HRGN region, BOOL redraw);
int GetWindowRgn(HWND hwnd, HRGN region); // copies the window's region into `region`

// --- Movable memory ---
using HGLOBAL = HANDLE32;
inline constexpr UINT GMEM_MOVEABLE = 0x0002;
inline constexpr UINT GMEM_ZEROINIT = 0x0040;

HGLOBAL GlobalAlloc(UINT flags, std::size_t bytes); // GMEM_MOVEABLE is required
void* GlobalLock(HGLOBAL block);
BOOL GlobalUnlock(HGLOBAL block); // nonzero while still locked
HGLOBAL GlobalReAlloc(HGLOBAL block, std::size_t bytes, UINT flags);
HGLOBAL GlobalFree(HGLOBAL block); // 0 on success, the handle on failure
std::size_t GlobalSize(HGLOBAL block);

// The stand-in's own account of movable memory, for tests: blocks alive, and the largest size a block
// has been given since the last call with reset.
struct GLOBALUSAGE {
    std::size_t blocks = 0;
    std::size_t largest = 0;
};
GLOBALUSAGE GlobalUsage(bool reset);

// GDI objects alive in the process (bitmaps, palettes, regions, fonts, memory contexts; stock objects
// not counted), as GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS) reports them.
inline constexpr DWORD GR_GDIOBJECTS = 0;
HANDLE32 GetCurrentProcess();
DWORD GetGuiResources(HANDLE32 process, DWORD flags);

// --- Cursors, icons, brushes ---
HCURSOR LoadCursorA(HINSTANCE instance, UINT id);
HCURSOR LoadCursorFromFileA(const char* file); // also usable as an HICON
BOOL DestroyCursor(HCURSOR cursor);
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
