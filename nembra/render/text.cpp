// Outline-font display lists.
#include "nembra/platform/win.h"

#include <cstdint>

namespace nembra {

void INITTEXT(float DEPTH, std::int32_t ANG, std::int32_t ITAL, std::int32_t GRAS) {
    BASE = glGenLists(256);
    // The flags are unsigned on the desktop: a negative one fails the bound check instead of wrapping.
    const auto italic = static_cast<DWORD>(RANGECHECK("ITAL", ITAL, 0, UINT32_MAX));
    const auto underline = static_cast<DWORD>(RANGECHECK("GRAS", GRAS, 0, UINT32_MAX));
    const HFONT FONT = win::CreateFontA(-12, 0, ANG, ANG, win::FW_BOLD, italic, underline, 0, win::ANSI_CHARSET,
                                        win::OUT_TT_PRECIS, win::CLIP_DEFAULT_PRECIS, win::ANTIALIASED_QUALITY,
                                        win::FF_DONTCARE | win::DEFAULT_PITCH, nullptr);
    win::SelectObject(DCWINDOW, FONT);
    // Codes 0..254 only: list BASE + 255 stays reserved and empty, and GMF[255] is left alone.
    win::wglUseFontOutlinesA(DCWINDOW, 0, 255, BASE, 0.0f, DEPTH, win::WGL_FONT_POLYGONS, &GMF[0]);
}

void DELETEGLTEXT() {
    // With no font built, BASE is 0 and the names 0..255 belong to somebody else.
    if (BASE != 0)
        glDeleteLists(BASE, 256);
}

} // namespace nembra
