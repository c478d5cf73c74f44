// Nembra: a small library for fixed-function OpenGL programs.
//
// This is the library's one public header. It declares every library variable, constant, type and
// operation. The library keeps all of its state in the process-wide variables below (there is one GL
// window per process, so there is one copy of that state); a calling program reads and writes some of
// them directly (the hooks, the status-bar layout, MOUSEFREE, SETKEY, BMPTYPE).
//
// Only standard and GL headers are included here. The desktop services the library is built on
// (windows, messages, device and rendering contexts) come from nembra/platform/, which a calling
// program never includes; the few records and numbers a caller needs from it are defined below.
#pragma once

#include <GL/gl.h>
#include <GL/glu.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace nembra {

// ---------------------------------------------------------------------------------------------------
// Desktop records and numbers.
//
// Handles are 32-bit values, 0 meaning none. Message parameters are pointer-sized, as on 64-bit
// desktops, so that a message can carry an address (the status bar's SB_SETPARTS does); the values the
// library packs into them (virtual-key codes, client coordinates) use the low 32 bits.
// ---------------------------------------------------------------------------------------------------
inline namespace desktop {

using HANDLE32 = std::uint32_t;
using HWND = HANDLE32;
using HDC = HANDLE32;
using HGLRC = HANDLE32;
using HINSTANCE = HANDLE32;
using HICON = HANDLE32;
using HCURSOR = HANDLE32;
using HBRUSH = HANDLE32;
using HMENU = HANDLE32;
using HGDIOBJ = HANDLE32;
using HBITMAP = HANDLE32;
using HPALETTE = HANDLE32;
using HRGN = HANDLE32;
using HFONT = HANDLE32;
using ATOM = std::uint16_t;
using UINT = std::uint32_t;
using DWORD = std::uint32_t;
using BOOL = std::int32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

struct POINT {
    std::int32_t x = 0;
    std::int32_t y = 0;
};

struct RECT {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

// A message as the message pump takes it from the queue.
struct MSG {
    HWND hwnd = 0;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    DWORD time = 0;
    POINT pt;
};

struct WNDCLASSA {
    UINT style = 0;
    WNDPROC lpfnWndProc = nullptr;
    int cbClsExtra = 0;
    int cbWndExtra = 0;
    HINSTANCE hInstance = 0;
    HICON hIcon = 0;
    HCURSOR hCursor = 0;
    HBRUSH hbrBackground = 0;
    const char* lpszMenuName = nullptr;
    const char* lpszClassName = nullptr;
};

struct WNDCLASSEXA {
    UINT cbSize = 0;
    UINT style = 0;
    WNDPROC lpfnWndProc = nullptr;
    int cbClsExtra = 0;
    int cbWndExtra = 0;
    HINSTANCE hInstance = 0;
    HICON hIcon = 0;
    HCURSOR hCursor = 0;
    HBRUSH hbrBackground = 0;
    const char* lpszMenuName = nullptr;
    const char* lpszClassName = nullptr;
    HICON hIconSm = 0;
};

struct POINTFLOAT {
    float x = 0;
    float y = 0;
};

// Metrics of one outline-font glyph, in em units (the em square is 1.0).
struct GLYPHMETRICSFLOAT {
    float gmfBlackBoxX = 0;
    float gmfBlackBoxY = 0;
    POINTFLOAT gmfptGlyphOrigin;
    float gmfCellIncX = 0;
    float gmfCellIncY = 0;
};

// Window messages.
inline constexpr UINT WM_NULL = 0x0000;
inline constexpr UINT WM_CREATE = 0x0001;
inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_MOVE = 0x0003;
inline constexpr UINT WM_SIZE = 0x0005;
inline constexpr UINT WM_ACTIVATE = 0x0006;
inline constexpr UINT WM_SETFOCUS = 0x0007;
inline constexpr UINT WM_KILLFOCUS = 0x0008;
inline constexpr UINT WM_SETTEXT = 0x000C;
inline constexpr UINT WM_PAINT = 0x000F;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_QUIT = 0x0012;
inline constexpr UINT WM_ERASEBKGND = 0x0014;
inline constexpr UINT WM_NCDESTROY = 0x0082;
inline constexpr UINT WM_CONTEXTMENU = 0x007B;
inline constexpr UINT WM_KEYDOWN = 0x0100;
inline constexpr UINT WM_KEYUP = 0x0101;
inline constexpr UINT WM_CHAR = 0x0102;
inline constexpr UINT WM_SYSKEYDOWN = 0x0104;
inline constexpr UINT WM_SYSKEYUP = 0x0105;
inline constexpr UINT WM_SYSCHAR = 0x0106;
inline constexpr UINT WM_COMMAND = 0x0111;
inline constexpr UINT WM_SYSCOMMAND = 0x0112;
inline constexpr UINT WM_MOUSEMOVE = 0x0200;
inline constexpr UINT WM_LBUTTONDOWN = 0x0201;
inline constexpr UINT WM_LBUTTONUP = 0x0202;
inline constexpr UINT WM_RBUTTONDOWN = 0x0204;
inline constexpr UINT WM_RBUTTONUP = 0x0205;
inline constexpr UINT WM_MBUTTONDOWN = 0x0207;
inline constexpr UINT WM_MBUTTONUP = 0x0208;
inline constexpr UINT WM_MOUSEWHEEL = 0x020A;
inline constexpr UINT WM_CAPTURECHANGED = 0x0215;
inline constexpr UINT WM_USER = 0x0400;

// System commands (wParam of WM_SYSCOMMAND).
inline constexpr WPARAM SC_CLOSE = 0xF060;
inline constexpr WPARAM SC_SCREENSAVE = 0xF140;
inline constexpr WPARAM SC_MONITORPOWER = 0xF170;

// Key and button state flags of mouse messages (wParam).
inline constexpr WPARAM MK_LBUTTON = 0x0001;
inline constexpr WPARAM MK_RBUTTON = 0x0002;
inline constexpr WPARAM MK_SHIFT = 0x0004;
inline constexpr WPARAM MK_CONTROL = 0x0008;
inline constexpr WPARAM MK_MBUTTON = 0x0010;

// Virtual-key codes (wParam of key messages; the index of SETKEY). Letters and digits are their
// upper-case ASCII codes ('A' = 65, '0' = 48).
inline constexpr UINT VK_BACK = 0x08;
inline constexpr UINT VK_TAB = 0x09;
inline constexpr UINT VK_CLEAR = 0x0C;
inline constexpr UINT VK_RETURN = 0x0D;
inline constexpr UINT VK_SHIFT = 0x10;
inline constexpr UINT VK_CONTROL = 0x11;
inline constexpr UINT VK_MENU = 0x12; // Alt
inline constexpr UINT VK_PAUSE = 0x13;
inline constexpr UINT VK_CAPITAL = 0x14;
inline constexpr UINT VK_ESCAPE = 0x1B;
inline constexpr UINT VK_SPACE = 0x20;
inline constexpr UINT VK_PRIOR = 0x21;
inline constexpr UINT VK_NEXT = 0x22;
inline constexpr UINT VK_END = 0x23;
inline constexpr UINT VK_HOME = 0x24;
inline constexpr UINT VK_LEFT = 0x25;
inline constexpr UINT VK_UP = 0x26;
inline constexpr UINT VK_RIGHT = 0x27;
inline constexpr UINT VK_DOWN = 0x28;
inline constexpr UINT VK_SNAPSHOT = 0x2C;
inline constexpr UINT VK_INSERT = 0x2D;
inline constexpr UINT VK_DELETE = 0x2E;
inline constexpr UINT VK_LWIN = 0x5B;
inline constexpr UINT VK_RWIN = 0x5C;
inline constexpr UINT VK_APPS = 0x5D;
inline constexpr UINT VK_NUMPAD0 = 0x60; // VK_NUMPAD0 + n for keypad digit n
inline constexpr UINT VK_MULTIPLY = 0x6A;
inline constexpr UINT VK_ADD = 0x6B;
inline constexpr UINT VK_SEPARATOR = 0x6C;
inline constexpr UINT VK_SUBTRACT = 0x6D;
inline constexpr UINT VK_DECIMAL = 0x6E;
inline constexpr UINT VK_DIVIDE = 0x6F;
inline constexpr UINT VK_F1 = 0x70; // VK_F1 + n - 1 for Fn, up to F24
inline constexpr UINT VK_NUMLOCK = 0x90;
inline constexpr UINT VK_SCROLL = 0x91;
inline constexpr UINT VK_LSHIFT = 0xA0;
inline constexpr UINT VK_RSHIFT = 0xA1;
inline constexpr UINT VK_LCONTROL = 0xA2;
inline constexpr UINT VK_RCONTROL = 0xA3;
inline constexpr UINT VK_LMENU = 0xA4;
inline constexpr UINT VK_RMENU = 0xA5;
inline constexpr UINT VK_OEM_1 = 0xBA;      // ;:
inline constexpr UINT VK_OEM_PLUS = 0xBB;   // =+
inline constexpr UINT VK_OEM_COMMA = 0xBC;  // ,<
inline constexpr UINT VK_OEM_MINUS = 0xBD;  // -_
inline constexpr UINT VK_OEM_PERIOD = 0xBE; // .>
inline constexpr UINT VK_OEM_2 = 0xBF;      // /?
inline constexpr UINT VK_OEM_3 = 0xC0;      // `~
inline constexpr UINT VK_OEM_4 = 0xDB;      // [{
inline constexpr UINT VK_OEM_5 = 0xDC;      // backslash |
inline constexpr UINT VK_OEM_6 = 0xDD;      // ]}
inline constexpr UINT VK_OEM_7 = 0xDE;      // '"
inline constexpr UINT VK_OEM_102 = 0xE2;    // <> on ISO keyboards

// Message boxes.
inline constexpr UINT MB_OK = 0x00000000;
inline constexpr UINT MB_OKCANCEL = 0x00000001;
inline constexpr UINT MB_YESNO = 0x00000004;
inline constexpr UINT MB_ICONERROR = 0x00000010;
inline constexpr UINT MB_ICONQUESTION = 0x00000020;
inline constexpr UINT MB_ICONWARNING = 0x00000030;
inline constexpr UINT MB_ICONINFORMATION = 0x00000040;
inline constexpr UINT MB_DEFBUTTON2 = 0x00000100;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// Status bar messages.
inline constexpr UINT SB_SETTEXTA = WM_USER + 1;
inline constexpr UINT SB_GETTEXTA = WM_USER + 2;
inline constexpr UINT SB_GETTEXTLENGTHA = WM_USER + 3;
inline constexpr UINT SB_SETPARTS = WM_USER + 4;
inline constexpr UINT SB_GETPARTS = WM_USER + 6;

} // namespace desktop

// ---------------------------------------------------------------------------------------------------
// The fatal bound check. Every index into one of the library's fixed-size tables goes through it; an
// index outside the table's bounds stops the program at once with "range check error: NAME[INDEX]" on
// standard error and exit code 201 (the classic runtime-error code of a range check). Nothing is
// released on that path.
// ---------------------------------------------------------------------------------------------------
namespace detail {

[[noreturn]] void RangeCheckFailed(const char* name, long long index);

template <std::size_t N>
struct TableName {
    constexpr TableName(const char (&text)[N]) {
        for (std::size_t i = 0; i < N; ++i)
            chars[i] = text[i];
    }
    char chars[N];
};

} // namespace detail

// Checks `index` against [low, high] with the fatal bound check; `name` is what the message names.
inline long long RANGECHECK(const char* name, long long index, long long low, long long high) {
    if (index < low || index > high)
        detail::RangeCheckFailed(name, index);
    return index;
}

// A fixed-size table indexed from LOW to HIGH inclusive, as the library's interface declares them.
// Elements are stored contiguously, so data() can be handed to GL or to a message.
template <typename T, long long LOW, long long HIGH, detail::TableName NAME>
struct BoundedTable {
    static_assert(HIGH >= LOW);
    static constexpr long long low = LOW;
    static constexpr long long high = HIGH;
    static constexpr std::size_t size = static_cast<std::size_t>(HIGH - LOW + 1);

    T& operator[](long long index) { return elements[RANGECHECK(NAME.chars, index, LOW, HIGH) - LOW]; }
    const T& operator[](long long index) const { return elements[RANGECHECK(NAME.chars, index, LOW, HIGH) - LOW]; }
    T* data() { return elements; }
    const T* data() const { return elements; }
    T* begin() { return elements; }
    T* end() { return elements + size; }
    const T* begin() const { return elements; }
    const T* end() const { return elements + size; }

    T elements[size]{};
};

// ---------------------------------------------------------------------------------------------------
// Types.
// ---------------------------------------------------------------------------------------------------
using BYTEBOOL = bool; // one byte: false 0, true 1
static_assert(sizeof(BYTEBOOL) == 1);
using LONGBOOL = std::int32_t; // four bytes: false 0, true stored as -1
inline constexpr LONGBOOL LONGTRUE = -1;

struct TGLVERTEX {
    float X = 0;
    float Y = 0;
    float Z = 0;
};

using TFILENAME = char[261];

// ---------------------------------------------------------------------------------------------------
// Constants.
// ---------------------------------------------------------------------------------------------------

// Cursor kinds (SETTYPECURSOR) and icon kinds (SETTYPEICON), chosen with OGLWINDOWSETTING.
inline constexpr std::int32_t ARROW = 1;
inline constexpr std::int32_t IBEAM = 2;
inline constexpr std::int32_t WAIT = 3;
inline constexpr std::int32_t CROSS = 4;
inline constexpr std::int32_t UPARROW = 5;
inline constexpr std::int32_t SIZE = 6;
inline constexpr std::int32_t FILECURSOR = 7;
inline constexpr std::int32_t SIZENWSE = 8;
inline constexpr std::int32_t SIZENESW = 9;
inline constexpr std::int32_t SIZEWE = 10;
inline constexpr std::int32_t SIZENS = 11;
inline constexpr std::int32_t SIZEALL = 12;
inline constexpr std::int32_t NOCURSOR = 13;
inline constexpr std::int32_t HAND = 14;
inline constexpr std::int32_t APPSTARTING = 15;
inline constexpr std::int32_t HELP = 16;
inline constexpr std::int32_t GENERIC = 1;
inline constexpr std::int32_t FILEICON = 2;

// Navigation layouts of SETGLMOUSEMOVE.
inline constexpr std::int32_t GL_M0 = 0;
inline constexpr std::int32_t GL_MX = 1;
inline constexpr std::int32_t GL_MY = 2;
inline constexpr std::int32_t GL_MZ = 3;

// Image hover buttons: class name and window-property names.
inline constexpr const char* SZHOVERCLASS = "IMAGEBUTTON";
inline constexpr const char* NORMALBMP = "NORMALBITMAP";
inline constexpr const char* HOVERBMP = "HOVERBITMAP";
inline constexpr const char* PRESSBMP = "PRESSBITMAP";
inline constexpr const char* BUTTONRGN = "HOVERBUTTONREGION";
inline constexpr const char* HOVERMODE = "HOVERMODEBYTE";

// GL's reflection-map texture-generation mode, under the library's own name.
inline constexpr GLenum GL_MAP_REFLECTION = 34066;

// For calling programs; no library routine uses them. GL_CLAMP_TO_EDGE and GL_BGR come from GL's own
// headers with the same values.
inline constexpr std::int32_t GL_ML = 1;
inline constexpr std::int32_t GL_MR = 2;
inline constexpr std::int32_t GL_MOFF = 3;
inline constexpr std::uint16_t GL_FILL_LINE = 0xFFFF;
inline constexpr std::uint16_t GL_POINT_LINE = 0x0101;
inline constexpr std::uint16_t GL_SEG_LINE = 0x00FF;
inline constexpr std::uint16_t GL_SEG_LINE2 = 0xF8F8;
inline constexpr std::uint16_t GL_SEG_POINT_LINE = 0x1C47;
inline constexpr GLenum GL_3D_TEXTURE = 32880;
inline constexpr std::uint32_t WS_TOOLS = 1389303808; // 0x52CF1800
static_assert(GL_CLAMP_TO_EDGE == 33071 && GL_BGR == 32992);

// ---------------------------------------------------------------------------------------------------
// Library state. Everything starts zero, false, nil or empty except where an initial value is given.
// ---------------------------------------------------------------------------------------------------

// Window, context and mode.
extern HWND HWINDOW;       // the GL window
extern HDC DCWINDOW;       // its device context, held from context set-up until DELETEOGLWINDOW
extern HGLRC RCWINDOW;     // the GL rendering context
extern std::int32_t WIDTH; // window size as passed to creation (outer size); the screen's in full screen
extern std::int32_t HEIGHT;
extern std::int32_t BITS;   // bit count asked of the pixel format (0 to 255)
extern BYTEBOOL FULLSCREEN; // full-screen mode for window creation
extern BYTEBOOL ACTIVE;     // true from the window's WM_CREATE to its first WM_DESTROY
extern std::int32_t SETTYPECURSOR;
extern std::int32_t SETTYPEICON;
extern const char* CURSORFILE; // the caller's text, kept as a pointer
extern const char* ICONFILE;
extern MSG MSG_;                  // the message last taken by SETGLMSG
extern WNDCLASSEXA WINDOWCLASSEX; // description of the IMAGEBUTTON class

// Menus and status bar: hooks and layout that the calling program supplies before CREATEOGLWINDOW.
extern BYTEBOOL SHOWMENUBAR;
extern void (*CREATEMENUBAR)();
extern void (*CREATEMOUSEMENU)();
extern WNDPROC GETINPUTCOMMAND;
extern BYTEBOOL SHOWSTATUSBAR;
extern HWND HSTATUS; // the status bar; 0 when there is none
extern HWND AWND;    // the status bar as CREATESTATUSBAR made it
extern TFILENAME FILENAME;
extern BoundedTable<std::int32_t, 1, 20, "STATUSITEM"> STATUSITEM; // right edge of each part, client pixels
extern BoundedTable<std::int32_t, 1, 20, "EDGES"> EDGES;           // the copy handed to the status bar
extern std::int32_t MAXSTATUSITEM;                                 // number of parts, at most 20

// Keyboard and mouse.
extern BoundedTable<LONGBOOL, 0, 500, "SETKEY"> SETKEY; // by virtual-key code: true while the key is down
extern BYTEBOOL LEFTMOUSEDOWN;
extern BYTEBOOL RIGHTMOUSEDOWN;
extern BYTEBOOL LEFTMOUSEDOWN2;
extern BYTEBOOL RIGHTMOUSEDOWN2;
extern BYTEBOOL MOUSEFREE; // free look: the cursor is re-centred after every move
extern float XROT;
extern float YROT;
extern float DEPTH;
extern float XROT2;
extern float YROT2;
extern float DEPTH2;
extern std::int32_t XCOORD;
extern std::int32_t YCOORD;
extern std::int32_t ZCOORD;
extern std::int32_t SETMX;
extern std::int32_t SETMY;
extern std::int32_t SETOMX;
extern std::int32_t SETOMY;
extern POINT MPOS;
extern std::int32_t MSPEED;
extern TGLVERTEX MY;
extern std::uint32_t START;

// Render state.
extern float AMBIENTLIGHT[4];  // (0.5, 0.5, 0.5, 1.0)
extern float DIFFUSELIGHT[4];  // (1, 1, 1, 1)
extern float SPECULARLIGHT[4]; // (1, 1, 1, 1)
extern float LIGHTPOSITION[4];
extern float FOGCOLOR[4];
extern BYTEBOOL FOGONOFF;
extern float OFFX;
extern float OFFY;
extern std::uint32_t OBJNULL;
extern BoundedTable<double, 1, 3, "FNORMAL"> FNORMAL;
extern BYTEBOOL ACTIVETEXTURESHADER;

// Slot tables: a GL texture or display-list name per slot, 0 while empty.
extern BoundedTable<std::uint32_t, 0, 500, "TEXTUREID2"> TEXTUREID2;
extern BoundedTable<std::uint32_t, 0, 500, "TEXTUREBUMPMAP"> TEXTUREBUMPMAP;
extern BoundedTable<std::uint32_t, 0, 500, "TEXTUREBUMPMAP2"> TEXTUREBUMPMAP2;
extern BoundedTable<std::uint32_t, 0, 100, "TORUS"> TORUS;
extern std::uint32_t BASE; // first display list of the outline font
extern BoundedTable<GLYPHMETRICSFLOAT, 0, 255, "GMF"> GMF;

// Strings.
extern std::string NEMBRAVERSION; // "1.0"
extern std::string BMPTYPE;       // file-name prefix of the image hover buttons

// ---------------------------------------------------------------------------------------------------
// Operations.
// ---------------------------------------------------------------------------------------------------

// Records the cursor and icon of the GL window class; call it before CREATEOGLWINDOW. The file names
// are kept as pointers. Also sets FOGONOFF and makes OBJNULL, an empty display list (0 when no GL
// context is current yet).
void OGLWINDOWSETTING(std::int32_t TYPECURSOR, const char* CURFILE, std::int32_t TYPEICON, const char* ICOFILE);

// Creates the GL window and its rendering context, current on the calling thread. Returns true; on
// failure it shows one of the library's fatal messages and ends the program with exit code 1. One
// window per process: a second call ends the program with the registration message.
BYTEBOOL CREATEOGLWINDOW(const char* APPNAME, std::int32_t APPWIDTH, std::int32_t APPHEIGHT, std::int32_t APPBITS,
                         BYTEBOOL APPFULLSCREEN);
// Releases the rendering and device contexts and destroys the window (one WM_DESTROY).
void DELETEOGLWINDOW();
// Creates a status bar ("Percorso file", MAXSTATUSITEM parts) in PARENT; returns it, also in AWND.
HWND CREATESTATUSBAR(HWND PARENT);
// Handles at most one waiting window message; the frame loop calls it once per frame.
void SETGLMSG();

// Mouse navigation. Left drag turns the scene (XROT, YROT), right drag moves it (DEPTH), free look
// (MOUSEFREE) turns it with the cursor pinned to the window centre. Once per frame: sets MSPEED to
// SPEED and applies the navigation to the current matrix as one translation and two rotations in the
// layout XYZ (GL_M0, GL_MX, GL_MY, GL_MZ); another XYZ only sets MSPEED.
void SETGLMOUSEMOVE(std::int32_t XYZ, std::int32_t SPEED);

// The 3D perspective view: 45 degrees, near plane 0.1, far plane DEPTH; clear colour (R, G, B, A).
void OPENGL_INIT(double DEPTH, double A, double R, double G, double B);
// The 2D orthographic view, 4 units wide; clear colour (R, G, B, A).
void OPENGL_I2D(double A, double R, double G, double B);

// Render state: lights, fog, raster modes.
// Back-face culling with counter-clockwise front faces.
void SETGLREFRACTIVE();
// Lighting and light NLIGHT on, with the library's light colours, at position (L0, L1, L2, L3).
void SETGLLIGHT(GLenum NLIGHT, float L0, float L1, float L2, float L3);
// Moves light NLIGHT to (LX, LY, LZ, LVAL) and draws a marker point of SIZE pixels at (LX, LY, LZ).
void PUTGLPOINTLIGHT(GLenum NLIGHT, float SIZE, float LX, float LY, float LZ, float LVAL);
// Exponential-squared fog of density D - 0.004 in colour (F1, F2, F3, F4); also clears to black.
void SETGLFOG(float D, float F1, float F2, float F3, float F4);
void SETGLFILL();           // polygons filled, front and back
void SETGLLINE(float SIZE); // polygons as outlines SIZE pixels wide, front and back
void SETGLFLAT();           // flat shading
void SETGLSMOOTH();         // smooth shading
void SETGLHISMOOTH();       // the finest shading the GL offers (smooth), for the sphere-map effect

// Texture slots.
// Exchanges bytes 0 and 2 of each of SIZE consecutive 3-byte pixels at DATA; nothing for SIZE < 1.
void SWAPRGB(std::uint8_t* DATA, std::int32_t SIZE);
// Loads a BMP file into a new texture named in TEXTUREID2[NUM] (0..500), leaving it bound and 2D
// texturing on. A file that cannot be loaded leaves the slot as it was (the reason is on stderr).
void TEXTURELOADID(const char* BMPFILE, std::int32_t NUM);
void TEXTURESELECTID(std::int32_t NUM); // binds the texture of slot NUM (0 for a slot never loaded)
void TEXTUREON();
void TEXTUREOFF();
void EFFECTREALWATER();    // sphere-map texture coordinates on
void EFFECTREALWATEROFF(); // sphere-map texture coordinates off, smooth shading

// Bitmaps and regions from BMP files (the image hover buttons' pictures and shapes).
// Loads a BMP file as a bitmap of its own depth and gives PAL a palette that fits it: its colour table
// (256 entries, those past a shorter table black) up to 8 bits per pixel, a halftone palette above.
// Returns 0 and leaves PAL as it was when the file cannot be loaded. The caller deletes both.
HBITMAP LOADBMPFROMFILE(const char* FILENAME, HPALETTE& PAL);
// A new region of the picture's pixels that are not transparent, in picture coordinates (top-left pixel
// (0, 0)). Transparent: each component from that of TRANSCOLOR (0x00BBGGRR) up to TOLERANCE above it.
// 0 when the file cannot be loaded or the work copy, the rectangle buffer or a region cannot be made.
// TRANSCOLOR above 0x7FFFFFFF fails the bound check.
HRGN BITMAPTOREGION(const char* BMPNAME, std::uint32_t TRANSCOLOR, std::uint8_t TOLERANCE);

// Geometry.
// The unit normal of the plane through V1, V2, V3 (right-hand rule), left in FNORMAL; (0, 0, 0) for
// degenerate points.
void FINDNORMAL(double V1X, double V1Y, double V1Z, double V2X, double V2Y, double V2Z, double V3X, double V3Y,
                double V3Z);
// Two vertices inside the caller's glBegin/glEnd, each after its texture coordinate when TEXTURE is true.
void LINEFREE(float TX1, float TY1, float TX2, float TY2, float X1, float Y1, float Z1, float X2, float Y2, float Z2,
              BYTEBOOL TEXTURE);
// A box centred on (X, Y, Z) with half sizes SX, SY, SZ: six textured quads.
void CUBO(float X, float Y, float Z, float SX, float SY, float SZ);
// The open side of a tube around the axis through (X, Y) parallel to z, from z = Z to Z + H.
void TUBO(float X, float Y, float Z, std::int32_t NUMPOINTS, float R, float H);
// The side of a truncated cone, bottom radius ROUT at z = Z, top radius RIN at z = Z + H, its top ring
// turned against the bottom one.
void CONOTRONCO(float X, float Y, float Z, std::int32_t NUMPOINTS, float RIN, float ROUT, float H);
// Compiles a torus (tube radius TUBER, ring radius R) into a new display list in TORUS[NUMOBJ] (0..100).
void TOROIDEPROP(std::int32_t NUMOBJ, float TUBER, float R, std::int32_t SIDES, std::int32_t RINGS);
// Replays torus NUMOBJ: its outer faces when ESTERNO is true, its inner ones otherwise.
void TOROIDE(std::int32_t NUMOBJ, BYTEBOOL ESTERNO);

// Bold outline font in 256 new lists from BASE and GMF: DEPTH deep, ANG/10 degrees, ITAL italic, GRAS underlined.
void INITTEXT(float DEPTH, std::int32_t ANG, std::int32_t ITAL, std::int32_t GRAS);
// Frees the 256 outline-font display lists from BASE; does nothing while BASE is 0.
void DELETEGLTEXT();

// Effects.
// Loads the bump image BMPBUMP into TEXTUREBUMPMAP[NUM] and the colour image BMPFILE into
// TEXTUREBUMPMAP2[NUM] (0..500), leaving the colour texture bound and 2D texturing on.
void INITFX_TEXTUREBUMPMAP(const char* BMPBUMP, const char* BMPFILE, std::int32_t NUM);
// Draws list OBJNAME translated by (X, Y, Z) with the bump image of slot NUM, then with its colour image
// combined with the lit colour and multiplied onto the first pass. Needs 2D texturing on and the
// GL_LEQUAL depth test; leaves blending off (GL_SRC_ALPHA, GL_ONE), GL_MODULATE and the colour texture bound.
void FX_TEXTUREBUMPMAP(float X, float Y, float Z, std::uint32_t OBJNAME, std::int32_t NUM);
// Draws list OBJNAME translated by (X, Y, Z) flat-shaded with a black outline SIZE + 6 pixels wide and,
// when TEXTURE is true, an additive pass over the caller's texture. Leaves fill mode, line width 2,
// colour (9.5, 9.5, 9.5), blending off with GL_SRC_COLOR, GL_ONE, back-face culling, lighting on,
// smooth shading, and 2D texturing on (when TEXTURE is false) or as the caller left it.
void FX_CARTOON(float X, float Y, float Z, float SIZE, std::uint32_t OBJNAME, BYTEBOOL TEXTURE);

// Image hover buttons.
// The window procedure of the IMAGEBUTTON class, which CREATEOGLWINDOW registers. A button is a child
// window of that class, created with the control identifier of the caller's choice; it shows the
// pictures BMPTYPE + "N.BMP" (normal), "H.BMP" (hover) and "P.BMP" (pressed), takes the normal
// picture's size and its shape without the magenta pixels, and posts WM_COMMAND (identifier, 0) to
// its parent when clicked.
LRESULT HOVERBUTTONHANDLER(HWND WND, UINT IMSG, WPARAM WPARAM_, LPARAM LPARAM_);

// Desktop services a calling program uses directly.
// A modal message box; returns the button chosen (IDOK, IDYES, IDNO). Texts are Latin-1. With no
// display it writes "caption: text" to standard error and returns the default button.
int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type);
// Shows the back buffer of the window of `dc`; false when that window no longer exists.
BOOL SwapBuffers(HDC dc);

} // namespace nembra
