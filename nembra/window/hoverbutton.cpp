// The image hover button: a child window of the "IMAGEBUTTON" class that shows one of three pictures
// (normal, hover, pressed), takes the shape of its normal picture, and posts WM_COMMAND to its parent
// when clicked. All of a button's state lives in five window properties.
#include "nembra/nembra.h"
#include "nembra/platform/win.h"
#include "nembra/window/internal.h"

#include <string>

namespace nembra {
namespace {

constexpr std::uintptr_t NORMAL = 1;
constexpr std::uintptr_t HOVER = 2;
constexpr std::uintptr_t PRESSED = 3;

constexpr std::uint32_t MAGENTA = 0x00FF00FF;
constexpr std::uint8_t TOLERANCE = 1;

// A picture held ready for copying: a memory context with the bitmap and its palette selected into it.
// 0 when the file cannot be loaded.
HDC LOADPICTURE(const std::string& BMPNAME, win::BITMAP* BM) {
    HPALETTE PAL = 0;
    const HBITMAP BMP = LOADBMPFROMFILE(BMPNAME.c_str(), PAL);
    if (BMP == 0)
        return 0;
    if (BM)
        win::GetObjectA(BMP, sizeof *BM, BM);
    const HDC MEMDC = win::CreateCompatibleDC(0);
    win::SelectObject(MEMDC, BMP);
    win::SelectPalette(MEMDC, PAL, 0);
    win::RealizePalette(MEMDC);
    return MEMDC;
}

// Frees a picture made by LOADPICTURE: the context, then the bitmap and palette that were in it.
void RELEASEPICTURE(HDC MEMDC) {
    const HGDIOBJ BMP = win::GetCurrentObject(MEMDC, win::OBJ_BITMAP);
    const HGDIOBJ PAL = win::GetCurrentObject(MEMDC, win::OBJ_PAL);
    win::DeleteDC(MEMDC);
    win::DeleteObject(BMP);
    win::DeleteObject(PAL);
}

std::uintptr_t STATEOF(HWND WND) { return win::GetPropA(WND, HOVERMODE); }

void SETSTATE(HWND WND, std::uintptr_t HOVERSTATE) { win::SetPropA(WND, HOVERMODE, HOVERSTATE); }

void ONCREATE(HWND WND) {
    win::BITMAP BM{};
    const HDC NORMALDC = LOADPICTURE(BMPTYPE + "N" + ".BMP", &BM);

    // Placed at its own position relative to the parent's outer corner, less an allowance for the
    // parent's frame and caption, and sized to its picture. Without a normal picture there is no size
    // to take, so the button keeps the one it was created with.
    win::RECT R{};
    win::RECT R1{};
    win::GetWindowRect(WND, &R);
    win::GetWindowRect(win::GetParent(WND), &R1);
    const int width = NORMALDC ? BM.bmWidth : R.right - R.left;
    const int height = NORMALDC ? BM.bmHeight : R.bottom - R.top;
    win::MoveWindow(WND, R.left - R1.left - 3, R.top - R1.top - 19, width, height, 0);

    win::SetPropA(WND, NORMALBMP, NORMALDC);
    win::SetPropA(WND, HOVERBMP, LOADPICTURE(BMPTYPE + "H" + ".BMP", nullptr));
    win::SetPropA(WND, PRESSBMP, LOADPICTURE(BMPTYPE + "P" + ".BMP", nullptr));
    SETSTATE(WND, NORMAL);

    const std::string BMPNAME = BMPTYPE + "N" + ".BMP";
    HRGN RGN = BITMAPTOREGION(BMPNAME.c_str(), MAGENTA, TOLERANCE);
    if (RGN == 0)
        return;                     // no shape: the button stays rectangular and never hovers
    win::SetWindowRgn(WND, RGN, 0); // the window owns this one
    RGN = BITMAPTOREGION(BMPNAME.c_str(), MAGENTA, TOLERANCE);
    win::SetPropA(WND, BUTTONRGN, RGN);
}

void ONPAINT(HWND WND) {
    win::RECT R{};
    win::GetWindowRect(WND, &R);
    std::uintptr_t picture = 0;
    switch (STATEOF(WND)) {
    case NORMAL: picture = win::GetPropA(WND, NORMALBMP); break;
    case HOVER: picture = win::GetPropA(WND, HOVERBMP); break;
    case PRESSED: picture = win::GetPropA(WND, PRESSBMP); break;
    default: break;
    }
    if (picture == 0)
        picture = win::GetPropA(WND, NORMALBMP); // a missing hover or pressed picture shows the normal one
    // The window is validated even with nothing to draw, or it would be asked to paint again at once.
    win::PAINTSTRUCT PS;
    win::BeginPaint(WND, &PS);
    if (picture != 0)
        win::BitBlt(PS.hdc, 0, 0, R.right - R.left, R.bottom - R.top, static_cast<HDC>(picture), 0, 0, win::SRCCOPY);
    win::EndPaint(WND, &PS);
}

void ONMOUSEMOVE(HWND WND, WPARAM WPARAM_, LPARAM LPARAM_) {
    const auto RGN = static_cast<HRGN>(win::GetPropA(WND, BUTTONRGN));
    std::uintptr_t HOVERSTATE = STATEOF(WND);
    if (HOVERSTATE == 0 || RGN == 0)
        return;
    // Unsigned halves: a position left of or above the window, reported under the capture, lies far
    // outside the region.
    const int x = static_cast<int>(LPARAM_ & 0xFFFF);
    const int y = static_cast<int>((LPARAM_ >> 16) & 0xFFFF);
    if (win::PtInRegion(RGN, x, y)) {
        if (HOVERSTATE == NORMAL) {
            HOVERSTATE = (WPARAM_ & (MK_LBUTTON | MK_RBUTTON)) ? PRESSED : HOVER;
            SETSTATE(WND, HOVERSTATE);
            win::SetCapture(WND); // so that leaving is seen
            win::InvalidateRect(WND, nullptr, 0);
        }
    } else {
        SETSTATE(WND, NORMAL);
        win::ReleaseCapture();
        win::InvalidateRect(WND, nullptr, 0);
    }
}

void ONLBUTTONDOWN(HWND WND) {
    win::SetCapture(WND);
    SETSTATE(WND, PRESSED);
    win::InvalidateRect(WND, nullptr, 0);
}

void ONLBUTTONUP(HWND WND) {
    if (STATEOF(WND) == PRESSED)
        win::PostMessageA(win::GetParent(WND), WM_COMMAND, static_cast<WPARAM>(win::GetDlgCtrlID(WND)), 0);
    SETSTATE(WND, NORMAL);
    win::ReleaseCapture();
    win::InvalidateRect(WND, nullptr, 0);
}

void ONDESTROY(HWND WND) {
    win::RemovePropA(WND, HOVERMODE);
    if (const auto RGN = static_cast<HRGN>(win::GetPropA(WND, BUTTONRGN)))
        win::DeleteObject(RGN);
    win::RemovePropA(WND, BUTTONRGN);
    for (const char* name : {PRESSBMP, HOVERBMP, NORMALBMP}) {
        if (const auto picture = static_cast<HDC>(win::GetPropA(WND, name)))
            RELEASEPICTURE(picture);
        win::RemovePropA(WND, name);
    }
}

} // namespace

LRESULT HOVERBUTTONHANDLER(HWND WND, UINT IMSG, WPARAM WPARAM_, LPARAM LPARAM_) {
    switch (IMSG) {
    case WM_CREATE: ONCREATE(WND); return 0;
    case WM_DESTROY: ONDESTROY(WND); return 0;
    case WM_PAINT: ONPAINT(WND); return 0;
    case WM_MOUSEMOVE: ONMOUSEMOVE(WND, WPARAM_, LPARAM_); return 0;
    case WM_LBUTTONDOWN: ONLBUTTONDOWN(WND); return 0;
    case WM_LBUTTONUP: ONLBUTTONUP(WND); return 0;
    default: return win::DefWindowProcA(WND, IMSG, WPARAM_, LPARAM_);
    }
}

void REGISTERHOVERBUTTON() {
    if (win::GetClassInfoExA(0, SZHOVERCLASS, &WINDOWCLASSEX))
        return;
    WINDOWCLASSEX.cbSize = sizeof WINDOWCLASSEX;
    WINDOWCLASSEX.style = 0;
    WINDOWCLASSEX.lpfnWndProc = HOVERBUTTONHANDLER;
    WINDOWCLASSEX.cbClsExtra = 0;
    WINDOWCLASSEX.cbWndExtra = 0;
    WINDOWCLASSEX.hInstance = win::GetModuleHandleA(nullptr);
    WINDOWCLASSEX.hIcon = win::LoadIconA(0, win::IDI_APPLICATION);
    WINDOWCLASSEX.hIconSm = win::LoadIconA(0, win::IDI_APPLICATION);
    WINDOWCLASSEX.hCursor = win::LoadCursorA(0, win::IDC_ARROW);
    WINDOWCLASSEX.hbrBackground = static_cast<HBRUSH>(win::GetStockObject(win::NULL_BRUSH));
    WINDOWCLASSEX.lpszMenuName = nullptr;
    WINDOWCLASSEX.lpszClassName = SZHOVERCLASS;
    win::RegisterClassExA(&WINDOWCLASSEX); // a failure leaves the GL window's registration as it is
}

} // namespace nembra
