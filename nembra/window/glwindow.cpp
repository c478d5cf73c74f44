// The GL window: its class, creation, pixel format and rendering context, status bar, window
// procedure and the per-frame message pump.
#include "nembra/platform/win.h"
#include "nembra/window/internal.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace nembra {
namespace {

constexpr DWORD STYLE_WINDOWED = 0x96CA0000;   // pop-up, visible, clipping, caption, system menu, minimise box
constexpr DWORD STYLE_FULLSCREEN = 0x96880000; // pop-up, visible, clipping, thin border, system menu
constexpr UINT STATUSBAR_ID = 30482;
constexpr const char* GLWINDOW_CLASS = "GLWindow";

// The system cursor of each cursor kind (index = kind); 0 for FILECURSOR, which is loaded from a file.
constexpr UINT kCursorIds[17] = {0,
                                 win::IDC_ARROW,
                                 win::IDC_IBEAM,
                                 win::IDC_WAIT,
                                 win::IDC_CROSS,
                                 win::IDC_UPARROW,
                                 win::IDC_SIZE,
                                 0,
                                 win::IDC_SIZENWSE,
                                 win::IDC_SIZENESW,
                                 win::IDC_SIZEWE,
                                 win::IDC_SIZENS,
                                 win::IDC_SIZEALL,
                                 win::IDC_NO,
                                 win::IDC_HAND,
                                 win::IDC_APPSTARTING,
                                 win::IDC_HELP};

// A cursor or icon file that cannot be loaded leaves the arrow or the generic icon; the stand-in has
// already said why, so the line here only says what the window gets instead.
std::string Quoted(const char* file) {
    if (!file)
        return "(no file name)";
    // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) about "\"" + std::string.
    std::string quoted(1, '"');
    quoted += win::Latin1ToUtf8(file);
    quoted += '"';
    return quoted;
}

HCURSOR CursorFromFile(const char* file) {
    if (const HCURSOR cursor = win::LoadCursorFromFileA(file))
        return cursor;
    std::fprintf(stderr, "nembra: using the arrow cursor instead of %s\n", Quoted(file).c_str());
    return win::LoadCursorA(0, win::IDC_ARROW);
}

HICON IconFromFile(const char* file) {
    if (const HICON icon = win::LoadCursorFromFileA(file))
        return icon;
    std::fprintf(stderr, "nembra: using the generic icon instead of %s\n", Quoted(file).c_str());
    return win::LoadIconA(0, win::IDI_APPLICATION);
}

// Every message that no handler claims ends here.
LRESULT DefaultPath(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (wParam == 0)
        win::UpdateWindow(HSTATUS);
    return win::DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

BYTEBOOL WINDOWREGISTER() {
    WNDCLASSA wc;
    wc.style = win::CS_VREDRAW | win::CS_HREDRAW;
    wc.lpfnWndProc = GLWNDPROC;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 0;
    wc.hInstance = win::GetModuleHandleA(nullptr);
    // A kind outside the tables leaves the field unset: no icon, and the cursor the X server gives a
    // window without one (the arrow of its parent).
    if (SETTYPEICON == GENERIC)
        wc.hIcon = win::LoadIconA(0, win::IDI_APPLICATION);
    else if (SETTYPEICON == FILEICON)
        wc.hIcon = IconFromFile(ICONFILE);
    if (SETTYPECURSOR == FILECURSOR)
        wc.hCursor = CursorFromFile(CURSORFILE);
    else if (SETTYPECURSOR >= ARROW && SETTYPECURSOR <= HELP)
        wc.hCursor = win::LoadCursorA(0, kCursorIds[SETTYPECURSOR]);
    wc.hbrBackground = win::GetSysColorBrush(win::COLOR_BTNFACE);
    wc.lpszMenuName = nullptr;
    wc.lpszClassName = GLWINDOW_CLASS;
    const bool registered = win::RegisterClassA(&wc) != 0;
    REGISTERHOVERBUTTON();
    return registered;
}

HWND WINDOWCREATE(const char* PCAPPLICATIONNAME) {
    if (FULLSCREEN) {
        WIDTH = win::GetSystemMetrics(win::SM_CXSCREEN);
        HEIGHT = win::GetSystemMetrics(win::SM_CYSCREEN);
    }
    const HWND handle = win::CreateWindowExA(
        0, GLWINDOW_CLASS, PCAPPLICATIONNAME, FULLSCREEN ? STYLE_FULLSCREEN : STYLE_WINDOWED, win::CW_USEDEFAULT,
        win::CW_USEDEFAULT, WIDTH, HEIGHT, 0, 0, win::GetModuleHandleA(nullptr), nullptr);
    if (handle) {
        win::ShowWindow(handle, win::SW_SHOWDEFAULT);
        win::UpdateWindow(handle);
    }
    return handle;
}

BYTEBOOL WINDOWINIT(HWND HPARENT) {
    int errorCode = 0;
    DCWINDOW = win::GetDC(HPARENT);
    // BITS goes into byte fields; a value outside 0..255 fails the bound check instead of wrapping.
    const auto bits = static_cast<std::uint8_t>(RANGECHECK("BITS", BITS, 0, 255));
    win::PIXELFORMATDESCRIPTOR request;
    std::memset(&request, 0, sizeof request);
    request.nSize = sizeof request;
    request.nVersion = 1;
    request.dwFlags = win::PFD_DOUBLEBUFFER | win::PFD_STEREO | win::PFD_DRAW_TO_WINDOW | win::PFD_SUPPORT_OPENGL |
                      win::PFD_GENERIC_FORMAT | win::PFD_GENERIC_ACCELERATED;
    request.iPixelType = win::PFD_TYPE_RGBA;
    request.cColorBits = bits;
    request.cAlphaBits = bits;
    request.cAccumBits = bits;
    request.cDepthBits = bits;
    request.cStencilBits = bits;
    request.cAuxBuffers = bits;
    request.iLayerType = 1;
    const int format = win::ChoosePixelFormat(DCWINDOW, &request);
    if (format == 0)
        errorCode = 1;
    win::SetPixelFormat(DCWINDOW, format, &request);
    RCWINDOW = win::wglCreateContext(DCWINDOW);
    if (RCWINDOW == 0)
        errorCode = 2;
    win::wglMakeCurrent(DCWINDOW, RCWINDOW);
    return errorCode == 0;
}

BYTEBOOL CREATEOGLWINDOW(const char* APPNAME, std::int32_t APPWIDTH, std::int32_t APPHEIGHT, std::int32_t APPBITS,
                         BYTEBOOL APPFULLSCREEN) {
    WIDTH = APPWIDTH;
    HEIGHT = APPHEIGHT;
    BITS = APPBITS;
    FULLSCREEN = APPFULLSCREEN;
    if (!WINDOWREGISTER())
        THROWERROR(MSG_REGISTER_FAILED);
    HWINDOW = WINDOWCREATE(APPNAME);
    if (SHOWMENUBAR && CREATEMENUBAR)
        CREATEMENUBAR();
    if (SHOWSTATUSBAR)
        HSTATUS = CREATESTATUSBAR(HWINDOW);
    if (HWINDOW == 0)
        THROWERROR(MSG_WINDOW_FAILED);
    if (!WINDOWINIT(HWINDOW))
        THROWERROR(MSG_INIT_FAILED);
    return true;
}

void DELETEOGLWINDOW() {
    win::wglMakeCurrent(DCWINDOW, 0);
    win::wglDeleteContext(RCWINDOW);
    win::ReleaseDC(HWINDOW, DCWINDOW);
    win::DestroyWindow(HWINDOW);
}

HWND CREATESTATUSBAR(HWND PARENT) {
    std::memset(FILENAME, 0, sizeof FILENAME);
    std::strcpy(FILENAME, "Percorso file");
    AWND = win::CreateStatusWindowA(win::WS_CHILD | win::WS_VISIBLE, FILENAME, PARENT, STATUSBAR_ID);
    if (AWND != 0) {
        for (std::int32_t i = 1; i <= MAXSTATUSITEM; ++i)
            EDGES[i] = STATUSITEM[i];
        win::SendMessageA(AWND, SB_SETPARTS, static_cast<WPARAM>(MAXSTATUSITEM),
                          reinterpret_cast<LPARAM>(EDGES.data()));
    }
    return AWND;
}

LRESULT GLWNDPROC(HWND WINDOW, UINT AMESSAGE, WPARAM WPARAM_, LPARAM LPARAM_) {
    switch (AMESSAGE) {
    case WM_CREATE: ACTIVE = true; return 0;
    case WM_DESTROY:
        ACTIVE = false;
        win::PostQuitMessage(0);
        return 0;
    case WM_PAINT: {
        // Nothing is drawn here: the frame loop draws.
        win::PAINTSTRUCT ps;
        win::BeginPaint(WINDOW, &ps);
        win::UpdateWindow(HSTATUS);
        win::EndPaint(WINDOW, &ps);
        return 0;
    }
    case WM_KEYDOWN:
        if (ONKEYDOWN(WPARAM_))
            return 0;
        break;
    case WM_KEYUP: ONKEYUP(WPARAM_); break;
    case WM_CONTEXTMENU: ONCONTEXTMENU(); break;
    case WM_COMMAND: ONCOMMAND(WINDOW, AMESSAGE, WPARAM_, LPARAM_); return 0;
    case WM_SYSCOMMAND:
        if (SUPPRESSEDSYSCOMMAND(WPARAM_))
            return 0;
        break;
    case WM_LBUTTONDOWN: ONLBUTTONDOWN(LPARAM_); break;
    case WM_LBUTTONUP: ONLBUTTONUP(); break;
    case WM_RBUTTONDOWN: ONRBUTTONDOWN(LPARAM_); break;
    case WM_RBUTTONUP: ONRBUTTONUP(); break;
    case WM_MOUSEMOVE: ONMOUSEMOVE(LPARAM_); break;
    default: break;
    }
    return DefaultPath(WINDOW, AMESSAGE, WPARAM_, LPARAM_);
}

void SETGLMSG() {
    if (!win::PeekMessageA(&MSG_, 0, 0, 0, win::PM_NOREMOVE))
        return;
    win::GetMessageA(&MSG_, 0, 0, 0); // WM_QUIT is taken like any other; the loop ends through ACTIVE
    win::TranslateMessage(&MSG_);
    win::DispatchMessageA(&MSG_);
}

void OGLWINDOWSETTING(std::int32_t TYPECURSOR, const char* CURFILE, std::int32_t TYPEICON, const char* ICOFILE) {
    if (MOUSEFREE) {
        START = win::GetTickCount();
        win::SetCursorPos(WIDTH / 2, HEIGHT / 2);
    }
    FOGONOFF = true;
    SETTYPECURSOR = TYPECURSOR;
    CURSORFILE = CURFILE;
    SETTYPEICON = TYPEICON;
    ICONFILE = ICOFILE;
    // Before the window exists no context is current and there is nothing to make a list in.
    OBJNULL = 0;
    if (win::wglGetCurrentContext()) {
        OBJNULL = glGenLists(1);
        glNewList(OBJNULL, GL_COMPILE);
        glEndList();
    }
}

} // namespace nembra
