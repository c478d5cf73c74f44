// Latin-1 to UTF-8, and the UI font the stand-in draws its own controls with.
#include "nembra/platform/text.h"

namespace win {

std::string Latin1ToUtf8(const char* text) {
    std::string out;
    if (!text)
        return out;
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(text); *c; ++c) {
        if (*c < 0x80) {
            out += static_cast<char>(*c);
        } else {
            out += static_cast<char>(0xC0 | (*c >> 6));
            out += static_cast<char>(0x80 | (*c & 0x3F));
        }
    }
    return out;
}

} // namespace win

namespace win::x11 {

XftFont* UiFont(Display* dpy) {
    // Opening a face costs a fontconfig match and a file load: once, failures included.
    Platform& p = P();
    if (!dpy || dpy != p.display)
        return nullptr;
    if (!p.uiFontTried) {
        p.uiFontTried = true;
        // A pixel size rather than points, so the layout does not depend on the server's idea of its DPI.
        p.uiFont = XftFontOpen(dpy, DefaultScreen(dpy), XFT_FAMILY, XftTypeString, "sans-serif", XFT_PIXEL_SIZE,
                               XftTypeDouble, 13.0, nullptr);
    }
    return p.uiFont;
}

int UiLineHeight(XftFont* font) { return font ? font->ascent + font->descent : 15; }

int TextWidth(Display* dpy, XftFont* font, const std::string& utf8) {
    if (!font || utf8.empty())
        return 0;
    XGlyphInfo extents{};
    XftTextExtentsUtf8(dpy, font, reinterpret_cast<const FcChar8*>(utf8.data()), static_cast<int>(utf8.size()),
                       &extents);
    return extents.xOff;
}

void DrawText(XftDraw* draw, const XftColor& color, XftFont* font, int x, int y, const std::string& utf8) {
    if (!draw || !font || utf8.empty())
        return;
    XftDrawStringUtf8(draw, &color, font, x, y, reinterpret_cast<const FcChar8*>(utf8.data()),
                      static_cast<int>(utf8.size()));
}

TextColor::TextColor(Display* dpy, Visual* visual, Colormap colormap, std::uint32_t rgb)
    : dpy_(dpy), visual_(visual), colormap_(colormap) {
    XRenderColor value{};
    value.red = static_cast<unsigned short>(((rgb >> 16) & 0xFF) * 257);
    value.green = static_cast<unsigned short>(((rgb >> 8) & 0xFF) * 257);
    value.blue = static_cast<unsigned short>((rgb & 0xFF) * 257);
    value.alpha = 0xFFFF;
    allocated_ = XftColorAllocValue(dpy, visual, colormap, &value, &color_) != 0;
    if (!allocated_) {
        // A full colormap: black still draws something legible.
        color_.pixel = BlackPixel(dpy, DefaultScreen(dpy));
        color_.color = XRenderColor{0, 0, 0, 0xFFFF};
    }
}

TextColor::~TextColor() {
    if (allocated_)
        XftColorFree(dpy_, visual_, colormap_, &color_);
}

} // namespace win::x11
