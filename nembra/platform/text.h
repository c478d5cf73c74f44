// Internal to the desktop stand-in: the UI font and text drawing shared by the message box and the
// status bar.
#pragma once

#include "nembra/platform/x11.h"

#include <cstdint>
#include <string>

namespace win::x11 {

// The stand-in's UI face (sans-serif, 13 px), opened on first use and kept for the process's display.
// nullptr only if no font at all can be opened; the helpers below then draw nothing and measure zero.
XftFont* UiFont(Display* dpy);

// Height of a line of UI text (ascent + descent), or a usual value when there is no font.
int UiLineHeight(XftFont* font);

// Advance width of UTF-8 text in pixels.
int TextWidth(Display* dpy, XftFont* font, const std::string& utf8);

// Draws UTF-8 text with its baseline at y.
void DrawText(XftDraw* draw, const XftColor& color, XftFont* font, int x, int y, const std::string& utf8);

// A colour of a drawable's visual and colormap, usable for Xft and (as .pixel) for core drawing.
// Owns its allocation.
class TextColor {
public:
    TextColor(Display* dpy, Visual* visual, Colormap colormap, std::uint32_t rgb);
    ~TextColor();
    TextColor(const TextColor&) = delete;
    TextColor& operator=(const TextColor&) = delete;

    const XftColor& xft() const { return color_; }
    unsigned long pixel() const { return color_.pixel; }

private:
    Display* dpy_;
    Visual* visual_;
    Colormap colormap_;
    XftColor color_{};
    bool allocated_ = false;
};

} // namespace win::x11
