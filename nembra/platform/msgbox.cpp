// The message box: a modal dialog the stand-in draws itself, or a line on standard error when there is
// no display to show it on.
#include "nembra/platform/text.h"

#include <X11/Xatom.h>
#include <X11/keysym.h>

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace win::x11 {

namespace {

struct Button {
    int answer;
    const char* label;
    int x = 0, y = 0, width = 0, height = 0;

    bool contains(int px, int py) const { return px >= x && px < x + width && py >= y && py < y + height; }
};

// Left to right, as the desktop orders them.
std::vector<Button> ButtonsFor(UINT type) {
    switch (type & 0xF) {
    case MB_OKCANCEL: return {{IDOK, "OK"}, {IDCANCEL, "Cancel"}};
    case MB_YESNO: return {{IDYES, "Yes"}, {IDNO, "No"}};
    default: // the other button sets are not offered; they fall back to a plain OK box
        return {{IDOK, "OK"}};
    }
}

std::size_t DefaultIndex(UINT type, std::size_t count) {
    const std::size_t index = (type >> 8) & 0xF; // MB_DEFBUTTON2 = 1, ...
    return index < count ? index : 0;
}

int DefaultAnswer(UINT type) {
    const std::vector<Button> buttons = ButtonsFor(type);
    return buttons[DefaultIndex(type, buttons.size())].answer;
}

// What Escape and the close box answer; 0 when the box cannot be dismissed that way (Yes/No).
int CancelAnswer(UINT type) {
    switch (type & 0xF) {
    case MB_OKCANCEL: return IDCANCEL;
    case MB_YESNO: return 0;
    default: return IDOK;
    }
}

// When the box goes away without the user choosing: what dismissing it would say, else the default.
int FallbackAnswer(UINT type) { return CancelAnswer(type) ? CancelAnswer(type) : DefaultAnswer(type); }

void WriteToStderr(const char* text, const char* caption) {
    const std::string line = Latin1ToUtf8(caption) + ": " + Latin1ToUtf8(text) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

// Splits on '\n' and wraps each paragraph at spaces to maxWidth; a word wider than that is cut between
// characters.
std::vector<std::string> WrapLines(Display* dpy, XftFont* font, const std::string& utf8, int maxWidth) {
    std::vector<std::string> lines;
    auto fits = [&](const std::string& s) { return TextWidth(dpy, font, s) <= maxWidth; };
    auto wrapParagraph = [&](const std::string& para) {
        std::string line;
        std::size_t i = 0;
        while (i < para.size()) {
            const std::size_t wordStart = para.find_first_not_of(' ', i);
            if (wordStart == std::string::npos)
                break; // trailing spaces draw nothing
            std::size_t wordEnd = para.find(' ', wordStart);
            if (wordEnd == std::string::npos)
                wordEnd = para.size();
            std::string word = para.substr(wordStart, wordEnd - wordStart);
            const std::string candidate = line + para.substr(i, wordStart - i) + word;
            i = wordEnd;
            if (fits(candidate)) {
                line = candidate;
                continue;
            }
            if (!line.empty())
                lines.push_back(line);
            while (!fits(word)) {
                // Longest prefix that fits, ending on a character boundary; at least one character.
                std::size_t cut = 0;
                for (std::size_t b = 1; b <= word.size(); ++b) {
                    if (b < word.size() && (static_cast<unsigned char>(word[b]) & 0xC0) == 0x80)
                        continue;
                    if (cut != 0 && !fits(word.substr(0, b)))
                        break;
                    cut = b;
                }
                if (cut >= word.size())
                    break;
                lines.push_back(word.substr(0, cut));
                word.erase(0, cut);
            }
            line = word;
        }
        lines.push_back(line);
    };
    std::size_t start = 0;
    for (;;) {
        const std::size_t newline = utf8.find('\n', start);
        std::string para = utf8.substr(start, newline == std::string::npos ? std::string::npos : newline - start);
        if (!para.empty() && para.back() == '\r')
            para.pop_back();
        wrapParagraph(para);
        if (newline == std::string::npos)
            break;
        start = newline + 1;
    }
    return lines;
}

enum class Icon { Absent, Error, Question, Warning, Information };

Icon IconFor(UINT type) {
    switch (type & 0xF0) {
    case MB_ICONERROR: return Icon::Error;
    case MB_ICONQUESTION: return Icon::Question;
    case MB_ICONWARNING: return Icon::Warning;
    case MB_ICONINFORMATION: return Icon::Information;
    default: return Icon::Absent;
    }
}

struct Palette {
    Palette(Display* d, Visual* v, Colormap c)
        : content(d, v, c, 0xFFFFFF), footer(d, v, c, 0xF0F0F0), footerLine(d, v, c, 0xDFDFDF), text(d, v, c, 0x000000),
          face(d, v, c, 0xE1E1E1), pressedFace(d, v, c, 0xCCE4F7), border(d, v, c, 0xADADAD), focus(d, v, c, 0x0078D7),
          red(d, v, c, 0xE81123), yellow(d, v, c, 0xFFB900), blue(d, v, c, 0x0063B1) {}
    TextColor content, footer, footerLine, text, face, pressedFace, border, focus, red, yellow, blue;
};

constexpr int kMargin = 16;
constexpr int kIconSize = 32;
constexpr int kIconGap = 12;
constexpr int kButtonGap = 8;
constexpr int kFooterPadding = 12;

class MessageBoxWindow {
public:
    MessageBoxWindow(Display* dpy, HWND owner, const char* text, const char* caption, UINT type)
        : dpy_(dpy), screen_(DefaultScreen(dpy)), type_(type), owner_(owner),
          palette_(dpy, DefaultVisual(dpy, screen_), DefaultColormap(dpy, screen_)), font_(UiFont(dpy)),
          icon_(IconFor(type)), buttons_(ButtonsFor(type)), caption_(caption) {
        focus_ = DefaultIndex(type, buttons_.size());
        layout(Latin1ToUtf8(text));
    }

    ~MessageBoxWindow() {
        if (draw_)
            XftDrawDestroy(draw_);
        if (gc_)
            XFreeGC(dpy_, gc_);
    }

    MessageBoxWindow(const MessageBoxWindow&) = delete;
    MessageBoxWindow& operator=(const MessageBoxWindow&) = delete;

    bool create();
    int run();
    void destroy();

private:
    void layout(const std::string& textUtf8);
    void setProperties();
    void draw();
    void drawIcon(int x, int y);
    void handle(XEvent& event);
    void onKey(XKeyEvent& key, bool press);
    int hit(int x, int y) const;
    void moveFocus(int step);

    Display* dpy_;
    int screen_;
    UINT type_;
    HWND owner_;
    Palette palette_;
    XftFont* font_;
    Icon icon_;
    std::vector<Button> buttons_;
    std::string caption_; // Latin-1
    std::vector<std::string> lines_;
    int lineHeight_ = 0;
    int textX_ = 0, textY_ = 0;
    int iconY_ = 0;
    int footerY_ = 0;
    int width_ = 0, height_ = 0;

    ::Window xid_ = 0;
    ::Window previousFocus_ = 0;
    GC gc_ = nullptr;
    XftDraw* draw_ = nullptr;
    std::size_t focus_ = 0;
    int mousePressed_ = -1; // button under a left-button press, until release
    bool mouseInside_ = false;
    bool spaceDown_ = false;
    bool dirty_ = true;
    bool gone_ = false; // destroyed by someone else
    int answer_ = 0;
};

void MessageBoxWindow::layout(const std::string& textUtf8) {
    const int screenWidth = DisplayWidth(dpy_, screen_);
    const int screenHeight = DisplayHeight(dpy_, screen_);
    // Wide enough for a sentence per line, narrow enough to read comfortably, and never off-screen.
    const int maxTextWidth = std::clamp(screenWidth * 2 / 5, 160, 480);
    lines_ = WrapLines(dpy_, font_, textUtf8, maxTextWidth);
    lineHeight_ = UiLineHeight(font_) + 2;

    int textWidth = 0;
    for (const std::string& line : lines_)
        textWidth = std::max(textWidth, TextWidth(dpy_, font_, line));
    const int textHeight = static_cast<int>(lines_.size()) * lineHeight_;

    const bool hasIcon = icon_ != Icon::Absent;
    const int iconWidth = hasIcon ? kIconSize + kIconGap : 0;
    const int contentHeight = std::max(textHeight, hasIcon ? kIconSize : 0);
    textX_ = kMargin + iconWidth;
    textY_ = kMargin + (contentHeight - textHeight) / 2;
    iconY_ = kMargin + (contentHeight - (hasIcon ? kIconSize : 0)) / 2;

    const int buttonHeight = UiLineHeight(font_) + 10;
    int buttonsWidth = 0;
    for (Button& b : buttons_) {
        b.width = std::max(80, TextWidth(dpy_, font_, Latin1ToUtf8(b.label)) + 24);
        b.height = buttonHeight;
        buttonsWidth += b.width;
    }
    buttonsWidth += kButtonGap * static_cast<int>(buttons_.size() - 1);

    width_ = std::max({kMargin + iconWidth + textWidth + kMargin, buttonsWidth + 2 * kFooterPadding, 200});
    footerY_ = kMargin + contentHeight + kMargin;
    height_ = footerY_ + buttonHeight + 2 * kFooterPadding;
    width_ = std::min(width_, screenWidth);
    height_ = std::min(height_, screenHeight);

    // Right-aligned in the footer, in their left-to-right order.
    int x = width_ - kFooterPadding - buttonsWidth;
    for (Button& b : buttons_) {
        b.x = x;
        b.y = footerY_ + kFooterPadding;
        x += b.width + kButtonGap;
    }
}

bool MessageBoxWindow::create() {
    XSetWindowAttributes attributes{};
    attributes.background_pixel = palette_.content.pixel();
    attributes.border_pixel = 0;
    attributes.colormap = DefaultColormap(dpy_, screen_);
    attributes.event_mask = ExposureMask | KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                            Button1MotionMask | StructureNotifyMask;
    const int x = (DisplayWidth(dpy_, screen_) - width_) / 2;
    const int y = (DisplayHeight(dpy_, screen_) - height_) / 2;
    ErrorTrap trap;
    xid_ = XCreateWindow(dpy_, RootWindow(dpy_, screen_), x, y, static_cast<unsigned>(width_),
                         static_cast<unsigned>(height_), 0, DefaultDepth(dpy_, screen_), InputOutput,
                         DefaultVisual(dpy_, screen_), CWBackPixel | CWBorderPixel | CWColormap | CWEventMask,
                         &attributes);
    if (trap.sync() != 0 || !xid_) {
        xid_ = 0;
        return false;
    }
    setProperties();
    gc_ = XCreateGC(dpy_, xid_, 0, nullptr);
    draw_ = XftDrawCreate(dpy_, xid_, DefaultVisual(dpy_, screen_), DefaultColormap(dpy_, screen_));

    int revert = 0;
    XGetInputFocus(dpy_, &previousFocus_, &revert);
    XMapRaised(dpy_, xid_);
    if (trap.sync() != 0)
        return false;
    WaitViewable(xid_, 2000);
    draw();
    // No window manager may be there to hand out focus, so the box takes it; under one that refuses,
    // the request fails harmlessly.
    XSetInputFocus(dpy_, xid_, RevertToParent, CurrentTime);
    trap.sync();
    return true;
}

void MessageBoxWindow::setProperties() {
    Platform& p = P();
    // A title bar with a close box; no resizing, no maximising.
    SetTopLevelProperties(dpy_, xid_, caption_, "MessageBox", WS_CAPTION | WS_SYSMENU);
    XSizeHints* sizeHints = XAllocSizeHints();
    if (sizeHints) {
        sizeHints->flags = PPosition | PSize | PMinSize | PMaxSize;
        sizeHints->x = (DisplayWidth(dpy_, screen_) - width_) / 2;
        sizeHints->y = (DisplayHeight(dpy_, screen_) - height_) / 2;
        sizeHints->width = sizeHints->min_width = sizeHints->max_width = width_;
        sizeHints->height = sizeHints->min_height = sizeHints->max_height = height_;
        XSetWMNormalHints(dpy_, xid_, sizeHints);
        XFree(sizeHints);
    }
    Atom windowType[] = {p.atom.NET_WM_WINDOW_TYPE_DIALOG};
    XChangeProperty(dpy_, xid_, p.atom.NET_WM_WINDOW_TYPE, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(windowType), 1);

    if (WindowRecord* ownerRec = owner_ ? TopLevelOf(FindWindow(owner_)) : nullptr) {
        XSetTransientForHint(dpy_, xid_, ownerRec->xid);
        Atom modal = XInternAtom(dpy_, "_NET_WM_STATE_MODAL", XFalse);
        XChangeProperty(dpy_, xid_, p.atom.NET_WM_STATE, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&modal), 1);
    }
}

void MessageBoxWindow::drawIcon(int x, int y) {
    auto fill = [&](const TextColor& c) { XSetForeground(dpy_, gc_, c.pixel()); };
    auto disc = [&](int dx, int dy, int size) { XFillArc(dpy_, xid_, gc_, x + dx, y + dy, size, size, 0, 360 * 64); };
    auto rect = [&](int dx, int dy, int w, int h) {
        XFillRectangle(dpy_, xid_, gc_, x + dx, y + dy, static_cast<unsigned>(w), static_cast<unsigned>(h));
    };
    switch (icon_) {
    case Icon::Error:
        fill(palette_.red);
        disc(0, 0, kIconSize);
        fill(palette_.content);
        XSetLineAttributes(dpy_, gc_, 3, LineSolid, CapRound, JoinRound);
        XDrawLine(dpy_, xid_, gc_, x + 10, y + 10, x + 22, y + 22);
        XDrawLine(dpy_, xid_, gc_, x + 22, y + 10, x + 10, y + 22);
        break;
    case Icon::Warning: {
        fill(palette_.yellow);
        XPoint triangle[] = {{static_cast<short>(x + 16), static_cast<short>(y + 1)},
                             {static_cast<short>(x + 31), static_cast<short>(y + 30)},
                             {static_cast<short>(x + 1), static_cast<short>(y + 30)}};
        XFillPolygon(dpy_, xid_, gc_, triangle, 3, Convex, CoordModeOrigin);
        fill(palette_.text);
        rect(15, 10, 3, 12);
        rect(15, 24, 3, 3);
        break;
    }
    case Icon::Information:
        fill(palette_.blue);
        disc(0, 0, kIconSize);
        fill(palette_.content);
        disc(14, 6, 5);
        rect(14, 13, 4, 13);
        break;
    case Icon::Question:
        fill(palette_.blue);
        disc(0, 0, kIconSize);
        fill(palette_.content);
        XSetLineAttributes(dpy_, gc_, 3, LineSolid, CapRound, JoinRound);
        // The hook of the question mark: from nine o'clock over the top round to six o'clock.
        XDrawArc(dpy_, xid_, gc_, x + 11, y + 6, 10, 10, 180 * 64, -270 * 64);
        XDrawLine(dpy_, xid_, gc_, x + 16, y + 16, x + 16, y + 19);
        disc(14, 22, 5);
        break;
    case Icon::Absent: break;
    }
    XSetLineAttributes(dpy_, gc_, 0, LineSolid, CapButt, JoinMiter);
}

void MessageBoxWindow::draw() {
    if (!xid_ || !gc_)
        return;
    auto fillRect = [&](const TextColor& c, int x, int y, int w, int h) {
        XSetForeground(dpy_, gc_, c.pixel());
        XFillRectangle(dpy_, xid_, gc_, x, y, static_cast<unsigned>(std::max(w, 0)),
                       static_cast<unsigned>(std::max(h, 0)));
    };
    fillRect(palette_.content, 0, 0, width_, footerY_);
    fillRect(palette_.footerLine, 0, footerY_, width_, 1);
    fillRect(palette_.footer, 0, footerY_ + 1, width_, height_ - footerY_ - 1);
    if (icon_ != Icon::Absent)
        drawIcon(kMargin, iconY_);

    const int ascent = font_ ? font_->ascent : 12;
    for (std::size_t i = 0; i < lines_.size(); ++i)
        DrawText(draw_, palette_.text.xft(), font_, textX_, textY_ + static_cast<int>(i) * lineHeight_ + ascent + 1,
                 lines_[i]);

    for (std::size_t i = 0; i < buttons_.size(); ++i) {
        const Button& b = buttons_[i];
        const bool focused = i == focus_;
        const bool pressed = (static_cast<int>(i) == mousePressed_ && mouseInside_) || (focused && spaceDown_);
        const TextColor& edge = focused ? palette_.focus : palette_.border;
        fillRect(edge, b.x, b.y, b.width, b.height);
        const int inset = focused ? 2 : 1; // the focused button wears a thicker, blue border
        fillRect(pressed ? palette_.pressedFace : palette_.face, b.x + inset, b.y + inset, b.width - 2 * inset,
                 b.height - 2 * inset);
        const std::string label = Latin1ToUtf8(b.label);
        const int labelX = b.x + (b.width - TextWidth(dpy_, font_, label)) / 2;
        const int labelY = b.y + (b.height - UiLineHeight(font_)) / 2 + ascent;
        DrawText(draw_, palette_.text.xft(), font_, labelX, labelY, label);
    }
    dirty_ = false;
}

int MessageBoxWindow::hit(int x, int y) const {
    for (std::size_t i = 0; i < buttons_.size(); ++i)
        if (buttons_[i].contains(x, y))
            return static_cast<int>(i);
    return -1;
}

void MessageBoxWindow::moveFocus(int step) {
    const int count = static_cast<int>(buttons_.size());
    focus_ = static_cast<std::size_t>((static_cast<int>(focus_) + step + count) % count);
    spaceDown_ = false;
    dirty_ = true;
}

void MessageBoxWindow::onKey(XKeyEvent& key, bool press) {
    const KeySym sym = XLookupKeysym(&key, 0);
    const bool shift = (key.state & ShiftMask) != 0;
    if (!press) {
        // Space acts on release, as a pushbutton does, so the press can show the button going down.
        if (sym == XK_space && spaceDown_)
            answer_ = buttons_[focus_].answer;
        return;
    }
    switch (sym) {
    case XK_y:
        if ((type_ & 0xF) == MB_YESNO)
            answer_ = IDYES;
        break;
    case XK_n:
        if ((type_ & 0xF) == MB_YESNO)
            answer_ = IDNO;
        break;
    case XK_Return:
    case XK_KP_Enter: answer_ = buttons_[focus_].answer; break;
    case XK_Tab: moveFocus(shift ? -1 : 1); break;
    case XK_ISO_Left_Tab:
    case XK_Left: moveFocus(-1); break;
    case XK_Right: moveFocus(1); break;
    case XK_space:
        spaceDown_ = true;
        dirty_ = true;
        break;
    case XK_Escape: answer_ = CancelAnswer(type_); break;
    case XK_F4:
        if (key.state & Mod1Mask) // Alt+F4 is the close box
            answer_ = CancelAnswer(type_);
        break;
    default: break;
    }
}

void MessageBoxWindow::handle(XEvent& event) {
    Platform& p = P();
    switch (event.type) {
    case Expose:
        if (event.xexpose.count == 0)
            dirty_ = true;
        break;
    case KeyPress:
    case KeyRelease: onKey(event.xkey, event.type == KeyPress); break;
    case ButtonPress:
        if (event.xbutton.button == Button1) {
            mousePressed_ = hit(event.xbutton.x, event.xbutton.y);
            mouseInside_ = mousePressed_ >= 0;
            if (mousePressed_ >= 0) {
                focus_ = static_cast<std::size_t>(mousePressed_);
                spaceDown_ = false;
            }
            dirty_ = true;
        }
        break;
    case MotionNotify:
        if (mousePressed_ >= 0) {
            const bool inside = hit(event.xmotion.x, event.xmotion.y) == mousePressed_;
            dirty_ = dirty_ || inside != mouseInside_;
            mouseInside_ = inside;
        }
        break;
    case ButtonRelease:
        if (event.xbutton.button == Button1 && mousePressed_ >= 0) {
            if (hit(event.xbutton.x, event.xbutton.y) == mousePressed_)
                answer_ = buttons_[static_cast<std::size_t>(mousePressed_)].answer;
            mousePressed_ = -1;
            mouseInside_ = false;
            dirty_ = true;
        }
        break;
    case ClientMessage:
        if (event.xclient.message_type == p.atom.WM_PROTOCOLS && event.xclient.format == 32 &&
            static_cast<Atom>(event.xclient.data.l[0]) == p.atom.WM_DELETE_WINDOW)
            answer_ = CancelAnswer(type_);
        break;
    case DestroyNotify:
        if (event.xdestroywindow.window == xid_) {
            gone_ = true;
            answer_ = FallbackAnswer(type_);
        }
        break;
    default: break;
    }
}

int MessageBoxWindow::run() {
    const int fd = ConnectionNumber(dpy_);
    while (!answer_) {
        while (!answer_ && XPending(dpy_)) {
            XEvent event;
            XNextEvent(dpy_, &event);
            if (event.xany.window == xid_)
                handle(event);
            else
                TranslateXEvent(event); // the rest of the program's windows keep their events
        }
        if (answer_)
            break;
        if (dirty_) {
            ErrorTrap trap; // the window may be gone already, with its DestroyNotify still on the way
            draw();
            continue;
        }
        pollfd pfd{fd, POLLIN, 0};
        if (poll(&pfd, 1, -1) < 0 && errno != EINTR) {
            answer_ = FallbackAnswer(type_);
            break;
        }
    }
    return answer_;
}

void MessageBoxWindow::destroy() {
    if (!xid_)
        return;
    {
        ErrorTrap trap;
        if (draw_) {
            XftDrawDestroy(draw_);
            draw_ = nullptr;
        }
        if (!gone_)
            XDestroyWindow(dpy_, xid_);
        // Give the keyboard back to whoever had it, unless that was "nobody" or the pointer's window.
        if (previousFocus_ > PointerRoot && previousFocus_ != RootWindow(dpy_, screen_))
            XSetInputFocus(dpy_, previousFocus_, RevertToParent, CurrentTime);
        trap.sync();
    }
    // Whatever the server still had to say about the box would only confuse the message pump.
    XEvent event;
    auto isOurs = [](Display*, XEvent* e, XPointer arg) -> int {
        return e->xany.window == *reinterpret_cast<::Window*>(arg);
    };
    while (XCheckIfEvent(dpy_, &event, isOurs, reinterpret_cast<XPointer>(&xid_))) {
    }
    xid_ = 0;
    XFlush(dpy_);
}

} // namespace

int RunMessageBox(Display* dpy, HWND owner, const char* text, const char* caption, UINT type) {
    MessageBoxWindow box(dpy, owner, text, caption, type);
    if (!box.create()) {
        box.destroy();
        WriteToStderr(text, caption);
        return DefaultAnswer(type);
    }
    const int answer = box.run();
    box.destroy();
    return answer;
}

} // namespace win::x11

namespace win {

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type) {
    if (!text)
        text = "";
    if (!caption)
        caption = "Error"; // as the desktop titles a box without a caption
    Display* dpy = x11::Dpy();
    if (!dpy) {
        x11::WriteToStderr(text, caption);
        return x11::DefaultAnswer(type);
    }
    return x11::RunMessageBox(dpy, owner, text, caption, type);
}

} // namespace win
