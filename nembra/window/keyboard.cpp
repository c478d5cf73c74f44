// The GL window's keyboard and command messages: the key table, Escape, and the menu hooks.
#include "nembra/platform/win.h"
#include "nembra/window/internal.h"

namespace nembra {

bool ONKEYDOWN(WPARAM KEY) {
    if (KEY == VK_ESCAPE) {
        // The destroy handler ends the frame loop; the window itself stays until DELETEOGLWINDOW.
        win::SendMessageA(HWINDOW, WM_DESTROY, 0, 0);
        return true;
    }
    SETKEY[static_cast<long long>(KEY)] = LONGTRUE; // auto-repeat sets it again
    return false;
}

void ONKEYUP(WPARAM KEY) {
    SETKEY[static_cast<long long>(KEY)] = false;
    MOUSEFREE = false; // any key release ends free look
}

void ONCONTEXTMENU() {
    if (SHOWMENUBAR && CREATEMOUSEMENU)
        CREATEMOUSEMENU();
}

void ONCOMMAND(HWND WINDOW, UINT AMESSAGE, WPARAM WPARAM_, LPARAM LPARAM_) {
    if (SHOWMENUBAR && GETINPUTCOMMAND)
        GETINPUTCOMMAND(WINDOW, AMESSAGE, WPARAM_, LPARAM_);
}

bool SUPPRESSEDSYSCOMMAND(WPARAM COMMAND) {
    // A running real-time scene keeps the screen: no screen saver, no display power-down.
    const WPARAM command = COMMAND & 0xFFF0; // the low four bits are the system's own
    return command == SC_SCREENSAVE || command == SC_MONITORPOWER;
}

} // namespace nembra
