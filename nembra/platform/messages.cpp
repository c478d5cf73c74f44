// The message queue and default message handling.
//
// Order of retrieval, as on the desktop: posted and input messages in the order they arrived, then
// WM_QUIT once PostQuitMessage was called, then WM_PAINT for a window that needs painting. WM_PAINT is
// not removed by taking it; it stops when the window is validated (BeginPaint).
#include "nembra/platform/x11.h"

#include <poll.h>

namespace win::x11 {
namespace {

// A filter range of (0, 0) takes every message.
bool InRange(UINT message, UINT filterMin, UINT filterMax) {
    return (filterMin == 0 && filterMax == 0) || (message >= filterMin && message <= filterMax);
}

bool Matches(const MSG& msg, HWND hwnd, UINT filterMin, UINT filterMax) {
    return (!hwnd || msg.hwnd == hwnd) && InRange(msg.message, filterMin, filterMax);
}

// A message made here carries the time and the pointer position last reported by the server.
void Stamp(MSG& msg) {
    msg.time = GetTickCount();
    msg.pt = P().lastPointer;
}

// Blocks until the X connection has something to read; false when there is no connection.
bool WaitForXEvent() {
    Display* dpy = P().display;
    if (!dpy)
        return false;
    if (XPending(dpy))
        return true;
    pollfd fd{ConnectionNumber(dpy), POLLIN, 0};
    poll(&fd, 1, -1);
    return true;
}

} // namespace
} // namespace win::x11

namespace win {

using namespace x11;

BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags) {
    Platform& p = P();
    PumpXEvents();
    for (auto it = p.queue.begin(); it != p.queue.end(); ++it) {
        if (!Matches(it->msg, hwnd, filterMin, filterMax))
            continue;
        if (msg)
            *msg = it->msg;
        if (removeFlags & PM_REMOVE) {
            // TranslateMessage needs the character of a key press; it travels beside the message.
            if (it->character && msg)
                p.pendingCharacter = {it->msg.hwnd, it->msg.lParam, it->character};
            p.queue.erase(it);
        }
        return 1;
    }
    if (p.quitPosted && !hwnd && InRange(WM_QUIT, filterMin, filterMax)) {
        if (msg) {
            *msg = MSG{};
            msg->message = WM_QUIT;
            msg->wParam = static_cast<WPARAM>(p.quitCode);
            Stamp(*msg);
        }
        if (removeFlags & PM_REMOVE)
            p.quitPosted = false;
        return 1;
    }
    if (InRange(WM_PAINT, filterMin, filterMax)) {
        for (auto& [handle, rec] : p.windows) {
            if (!rec->invalid || !(rec->style & WS_VISIBLE) || (hwnd && handle != hwnd))
                continue;
            if (msg) {
                *msg = MSG{};
                msg->hwnd = handle;
                msg->message = WM_PAINT;
                Stamp(*msg);
            }
            return 1;
        }
    }
    return 0;
}

BOOL GetMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax) {
    MSG local;
    MSG* out = msg ? msg : &local;
    for (;;) {
        if (PeekMessageA(out, hwnd, filterMin, filterMax, PM_REMOVE))
            return out->message == WM_QUIT ? 0 : 1;
        // Nothing can ever arrive without a display; an error instead of a hang.
        if (!WaitForXEvent())
            return -1;
    }
}

BOOL TranslateMessage(const MSG* msg) {
    Platform& p = P();
    if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN))
        return 0;
    const auto pending = p.pendingCharacter;
    p.pendingCharacter = {};
    if (!pending.character || pending.hwnd != msg->hwnd || pending.lParam != msg->lParam)
        return 0;
    // The character goes to the front: it belongs right after the key press that made it.
    QueuedMessage character;
    character.msg = *msg;
    character.msg.message = msg->message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR;
    character.msg.wParam = pending.character;
    p.queue.push_front(character);
    return 1;
}

LRESULT DispatchMessageA(const MSG* msg) {
    if (!msg)
        return 0;
    WindowRecord* rec = FindWindow(msg->hwnd);
    if (!rec)
        return 0; // thread messages and messages of windows that are gone
    return rec->proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowRecord* rec = FindWindow(hwnd);
    if (!rec)
        return 0;
    return rec->proc(hwnd, message, wParam, lParam);
}

BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (hwnd && !FindWindow(hwnd))
        return 0;
    QueuedMessage queued;
    queued.msg.hwnd = hwnd;
    queued.msg.message = message;
    queued.msg.wParam = wParam;
    queued.msg.lParam = lParam;
    Stamp(queued.msg);
    P().queue.push_back(queued);
    return 1;
}

void PostQuitMessage(int exitCode) {
    P().quitPosted = true;
    P().quitCode = exitCode;
}

LRESULT DefWindowProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE: DestroyWindow(hwnd); return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE)
            SendMessageA(hwnd, WM_CLOSE, 0, 0);
        return 0;
    case WM_SYSKEYDOWN: {
        const bool altDown = (lParam & (1L << 29)) != 0;
        if (wParam == VK_F1 + 3 && altDown) {
            WindowRecord* top = TopLevelOf(FindWindow(hwnd));
            if (top)
                SendMessageA(top->handle, WM_SYSCOMMAND, SC_CLOSE, 0);
        }
        return 0;
    }
    case WM_RBUTTONUP: {
        // The context menu request carries the pointer's screen position.
        POINT pt;
        if (!GetCursorPos(&pt))
            pt = {};
        const LPARAM screen = static_cast<LPARAM>((pt.x & 0xFFFF) | ((pt.y & 0xFFFF) << 16));
        SendMessageA(hwnd, WM_CONTEXTMENU, hwnd, screen);
        return 0;
    }
    case WM_CONTEXTMENU: {
        // Unhandled by a child: its parent may want it.
        WindowRecord* rec = FindWindow(hwnd);
        if (rec && (rec->style & WS_CHILD) && rec->parent)
            return SendMessageA(rec->parent, WM_CONTEXTMENU, wParam, lParam);
        return 0;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_ERASEBKGND: return 1;
    case WM_SETTEXT: return SetWindowTextA(hwnd, reinterpret_cast<const char*>(lParam));
    default: return 0;
    }
}

} // namespace win
