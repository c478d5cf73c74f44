// X events turned into desktop messages: one small function per kind of event.
#include "nembra/platform/x11.h"

#include <X11/XKBlib.h>
#include <X11/keysym.h>

namespace win::x11 {
namespace {

constexpr UINT VK_UNKNOWN = 0xFF; // a key the desktop API has no code for

LPARAM PackPoint(int x, int y) { return static_cast<LPARAM>((x & 0xFFFF) | ((y & 0xFFFF) << 16)); }

WPARAM MouseFlags(unsigned int state) {
    WPARAM flags = 0;
    if (state & Button1Mask)
        flags |= MK_LBUTTON;
    if (state & Button3Mask)
        flags |= MK_RBUTTON;
    if (state & Button2Mask)
        flags |= MK_MBUTTON;
    if (state & ShiftMask)
        flags |= MK_SHIFT;
    if (state & ControlMask)
        flags |= MK_CONTROL;
    return flags;
}

struct KeyCode {
    UINT vk;
    bool extended; // the desktop API's extended-key flag (bit 24 of lParam)
};

// Virtual-key code of a keysym from the keyboard's first level.
KeyCode VirtualKeyFromKeysym(KeySym sym) {
    if (sym >= XK_a && sym <= XK_z)
        return {static_cast<UINT>('A' + (sym - XK_a)), false};
    if (sym >= XK_A && sym <= XK_Z)
        return {static_cast<UINT>(sym), false};
    if (sym >= XK_0 && sym <= XK_9)
        return {static_cast<UINT>(sym), false};
    if (sym >= XK_F1 && sym <= XK_F24)
        return {static_cast<UINT>(VK_F1 + (sym - XK_F1)), false};
    switch (sym) {
    case XK_Escape: return {VK_ESCAPE, false};
    case XK_Return: return {VK_RETURN, false};
    case XK_KP_Enter: return {VK_RETURN, true};
    case XK_Tab:
    case XK_ISO_Left_Tab: return {VK_TAB, false};
    case XK_BackSpace: return {VK_BACK, false};
    case XK_space: return {VK_SPACE, false};
    case XK_Delete: return {VK_DELETE, true};
    case XK_Insert: return {VK_INSERT, true};
    case XK_Home: return {VK_HOME, true};
    case XK_End: return {VK_END, true};
    case XK_Prior: return {VK_PRIOR, true};
    case XK_Next: return {VK_NEXT, true};
    case XK_Left: return {VK_LEFT, true};
    case XK_Up: return {VK_UP, true};
    case XK_Right: return {VK_RIGHT, true};
    case XK_Down: return {VK_DOWN, true};
    case XK_KP_Delete: return {VK_DELETE, false};
    case XK_KP_Insert: return {VK_INSERT, false};
    case XK_KP_Home: return {VK_HOME, false};
    case XK_KP_End: return {VK_END, false};
    case XK_KP_Prior: return {VK_PRIOR, false};
    case XK_KP_Next: return {VK_NEXT, false};
    case XK_KP_Left: return {VK_LEFT, false};
    case XK_KP_Up: return {VK_UP, false};
    case XK_KP_Right: return {VK_RIGHT, false};
    case XK_KP_Down: return {VK_DOWN, false};
    case XK_KP_Begin: return {VK_CLEAR, false};
    case XK_KP_Multiply: return {VK_MULTIPLY, false};
    case XK_KP_Add: return {VK_ADD, false};
    case XK_KP_Separator: return {VK_SEPARATOR, false};
    case XK_KP_Subtract: return {VK_SUBTRACT, false};
    case XK_KP_Decimal: return {VK_DECIMAL, false};
    case XK_KP_Divide: return {VK_DIVIDE, true};
    case XK_Shift_L:
    case XK_Shift_R: return {VK_SHIFT, false};
    case XK_Control_L: return {VK_CONTROL, false};
    case XK_Control_R: return {VK_CONTROL, true};
    case XK_Alt_L:
    case XK_Meta_L: return {VK_MENU, false};
    case XK_Alt_R:
    case XK_Meta_R:
    case XK_ISO_Level3_Shift: return {VK_MENU, true};
    case XK_Super_L: return {VK_LWIN, true};
    case XK_Super_R: return {VK_RWIN, true};
    case XK_Menu: return {VK_APPS, true};
    case XK_Caps_Lock: return {VK_CAPITAL, false};
    case XK_Num_Lock: return {VK_NUMLOCK, true};
    case XK_Scroll_Lock: return {VK_SCROLL, false};
    case XK_Pause: return {VK_PAUSE, false};
    case XK_Print: return {VK_SNAPSHOT, true};
    case XK_semicolon: return {VK_OEM_1, false};
    case XK_equal: return {VK_OEM_PLUS, false};
    case XK_comma: return {VK_OEM_COMMA, false};
    case XK_minus: return {VK_OEM_MINUS, false};
    case XK_period: return {VK_OEM_PERIOD, false};
    case XK_slash: return {VK_OEM_2, false};
    case XK_grave: return {VK_OEM_3, false};
    case XK_bracketleft: return {VK_OEM_4, false};
    case XK_backslash: return {VK_OEM_5, false};
    case XK_bracketright: return {VK_OEM_6, false};
    case XK_apostrophe: return {VK_OEM_7, false};
    case XK_less: return {VK_OEM_102, false};
    default: return {VK_UNKNOWN, false};
    }
}

// The keypad is tried first: with Num Lock on its keys are digits whatever the first level says.
KeyCode VirtualKeyOf(Display* dpy, const XKeyEvent& key) {
    const KeySym keypad = XkbKeycodeToKeysym(dpy, static_cast<::KeyCode>(key.keycode), 0, 1);
    if ((key.state & Mod2Mask) && keypad >= XK_KP_0 && keypad <= XK_KP_9)
        return {static_cast<UINT>(VK_NUMPAD0 + (keypad - XK_KP_0)), false};
    if ((key.state & Mod2Mask) && (keypad == XK_KP_Decimal || keypad == XK_KP_Separator))
        return {VK_DECIMAL, false};
    return VirtualKeyFromKeysym(XkbKeycodeToKeysym(dpy, static_cast<::KeyCode>(key.keycode), 0, 0));
}

void Post(const QueuedMessage& queued) { P().queue.push_back(queued); }

QueuedMessage Message(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, int rootX, int rootY) {
    QueuedMessage queued;
    queued.msg.hwnd = hwnd;
    queued.msg.message = message;
    queued.msg.wParam = wParam;
    queued.msg.lParam = lParam;
    queued.msg.time = GetTickCount(); // the same clock as posted messages, not the server's
    queued.msg.pt = {rootX, rootY};
    P().lastPointer = queued.msg.pt;
    return queued;
}

// Auto-repeat without detectable auto-repeat arrives as release + press with the same time stamp;
// the release is dropped so a held key only repeats its key-down.
bool IsRepeatRelease(Display* dpy, const XKeyEvent& release) {
    if (P().detectableAutoRepeat || !XEventsQueued(dpy, QueuedAfterReading))
        return false;
    XEvent next;
    XPeekEvent(dpy, &next);
    return next.type == KeyPress && next.xkey.window == release.window && next.xkey.keycode == release.keycode &&
           next.xkey.time == release.time;
}

void OnKeyPress(WindowRecord* rec, XKeyEvent& key) {
    Platform& p = P();
    const KeyCode code = VirtualKeyOf(p.display, key);
    const bool repeat = p.keyDown[key.keycode & 0xFF];
    p.keyDown[key.keycode & 0xFF] = true;
    // The state of an event is the state before it: Alt held means Mod1 is already set.
    const bool alt = (key.state & Mod1Mask) != 0 && !(key.state & ControlMask);
    const bool system = alt || code.vk == VK_F1 + 9 || (code.vk == VK_MENU && !(key.state & ControlMask));
    LPARAM lParam = 1 | ((static_cast<LPARAM>(key.keycode - 8) & 0xFF) << 16);
    if (code.extended)
        lParam |= 1L << 24;
    if (alt)
        lParam |= 1L << 29;
    if (repeat)
        lParam |= 1L << 30;
    QueuedMessage queued =
        Message(rec->handle, system ? WM_SYSKEYDOWN : WM_KEYDOWN, code.vk, lParam, key.x_root, key.y_root);
    char text[8] = {};
    KeySym sym = 0;
    if (XLookupString(&key, text, sizeof text, &sym, nullptr) == 1)
        queued.character = static_cast<unsigned char>(text[0]); // Latin-1, as XLookupString gives it
    Post(queued);
}

void OnKeyRelease(WindowRecord* rec, XKeyEvent& key) {
    Platform& p = P();
    if (IsRepeatRelease(p.display, key))
        return;
    p.keyDown[key.keycode & 0xFF] = false;
    const KeyCode code = VirtualKeyOf(p.display, key);
    const bool alt = (key.state & Mod1Mask) != 0 && !(key.state & ControlMask);
    const bool system = alt || code.vk == VK_F1 + 9;
    LPARAM lParam = 1 | ((static_cast<LPARAM>(key.keycode - 8) & 0xFF) << 16) | (1L << 30) | (1L << 31);
    if (code.extended)
        lParam |= 1L << 24;
    if (alt)
        lParam |= 1L << 29;
    Post(Message(rec->handle, system ? WM_SYSKEYUP : WM_KEYUP, code.vk, lParam, key.x_root, key.y_root));
}

void OnButton(WindowRecord* rec, XButtonEvent& button, bool press) {
    const WPARAM held = MouseFlags(button.state);
    if (button.button == Button4 || button.button == Button5) {
        if (!press)
            return;
        // The wheel reports whole notches of 120, with the pointer's screen position.
        const int delta = button.button == Button4 ? 120 : -120;
        const WPARAM wParam = (held & 0xFFFF) | (static_cast<WPARAM>(static_cast<std::uint16_t>(delta)) << 16);
        Post(Message(rec->handle, WM_MOUSEWHEEL, wParam, PackPoint(button.x_root, button.y_root), button.x_root,
                     button.y_root));
        return;
    }
    UINT message = 0;
    WPARAM flag = 0;
    switch (button.button) {
    case Button1:
        message = press ? WM_LBUTTONDOWN : WM_LBUTTONUP;
        flag = MK_LBUTTON;
        break;
    case Button2:
        message = press ? WM_MBUTTONDOWN : WM_MBUTTONUP;
        flag = MK_MBUTTON;
        break;
    case Button3:
        message = press ? WM_RBUTTONDOWN : WM_RBUTTONUP;
        flag = MK_RBUTTON;
        break;
    default: return;
    }
    // wParam tells the buttons held after the event.
    const WPARAM wParam = press ? (held | flag) : (held & ~flag);
    Post(Message(rec->handle, message, wParam, PackPoint(button.x, button.y), button.x_root, button.y_root));
}

void OnMotion(WindowRecord* rec, XMotionEvent& motion) {
    auto& queue = P().queue;
    QueuedMessage move = Message(rec->handle, WM_MOUSEMOVE, MouseFlags(motion.state), PackPoint(motion.x, motion.y),
                                 motion.x_root, motion.y_root);
    // At most one move waits at the end of the queue; it carries the latest position.
    if (!queue.empty() && queue.back().msg.message == WM_MOUSEMOVE && queue.back().msg.hwnd == rec->handle)
        queue.back() = move;
    else
        queue.push_back(move);
}

void OnExpose(WindowRecord* rec, XExposeEvent&) { rec->invalid = true; }

void OnClientMessage(WindowRecord* rec, XClientMessageEvent& client) {
    const Atoms& atom = P().atom;
    if (client.message_type == atom.WM_PROTOCOLS && client.format == 32 &&
        static_cast<Atom>(client.data.l[0]) == atom.WM_DELETE_WINDOW) {
        // The close box: a request, handled like the system menu's Close.
        const POINT pt = P().lastPointer;
        Post(Message(rec->handle, WM_SYSCOMMAND, SC_CLOSE, 0, pt.x, pt.y));
    }
}

} // namespace

void TranslateXEvent(XEvent& event) {
    if (event.type == MappingNotify) {
        XRefreshKeyboardMapping(&event.xmapping);
        return;
    }
    WindowRecord* rec = FindWindowByXid(event.xany.window);
    if (!rec)
        return; // not one of ours, or already destroyed
    switch (event.type) {
    case KeyPress: OnKeyPress(rec, event.xkey); break;
    case KeyRelease: OnKeyRelease(rec, event.xkey); break;
    case ButtonPress: OnButton(rec, event.xbutton, true); break;
    case ButtonRelease: OnButton(rec, event.xbutton, false); break;
    case MotionNotify: OnMotion(rec, event.xmotion); break;
    case Expose: OnExpose(rec, event.xexpose); break;
    case ClientMessage: OnClientMessage(rec, event.xclient); break;
    default: break;
    }
}

void PumpXEvents() {
    Display* dpy = P().display;
    if (!dpy)
        return;
    while (XPending(dpy)) {
        XEvent event;
        XNextEvent(dpy, &event);
        TranslateXEvent(event);
    }
}

} // namespace win::x11
