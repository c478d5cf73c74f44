// Mouse navigation: left drag turns, right drag moves along the view axis, free look turns with the
// cursor pinned to the window centre; SETGLMOUSEMOVE applies the result once per frame.
#include "nembra/platform/win.h"
#include "nembra/window/internal.h"

namespace nembra {
namespace {

// Client coordinates are packed as signed 16-bit halves: while the mouse is captured a pointer left
// of or above the window reports negative values, and a drag must keep turning smoothly there.
int ClientX(LPARAM lParam) { return static_cast<std::int16_t>(lParam & 0xFFFF); }
int ClientY(LPARAM lParam) { return static_cast<std::int16_t>((lParam >> 16) & 0xFFFF); }

// value + delta / divisor * MSPEED, carried in double and stored as single.
void Add(float& value, double delta, double divisor) { value = static_cast<float>(value + delta / divisor * MSPEED); }

float ClampedTo60(float value) { return value > 60.0f ? 60.0f : (value < -60.0f ? -60.0f : value); }

void FreeLook() {
    win::GetCursorPos(&MPOS);
    // The warp produces one more move, which then finds the cursor at the centre.
    win::SetCursorPos(WIDTH / 2, HEIGHT / 2);
    const double across = MPOS.x - WIDTH / 2;
    const double down = -(HEIGHT / 2 - MPOS.y);
    Add(XROT, across, 100.0);
    Add(YROT, down, 100.0);
    YROT = ClampedTo60(YROT);
    Add(XROT2, across, 100.0);
    Add(YROT2, down, 100.0);
    YROT2 = ClampedTo60(YROT2);
}

} // namespace

void ONLBUTTONDOWN(LPARAM LPARAM_) {
    win::ReleaseCapture();
    win::SetCapture(HWINDOW);
    LEFTMOUSEDOWN = LEFTMOUSEDOWN2 = true;
    XCOORD = SETMX = ClientX(LPARAM_);
    YCOORD = SETMY = ClientY(LPARAM_);
}

void ONLBUTTONUP() {
    win::ReleaseCapture();
    LEFTMOUSEDOWN = LEFTMOUSEDOWN2 = false;
    XCOORD = YCOORD = SETMX = SETMY = 0;
}

void ONRBUTTONDOWN(LPARAM LPARAM_) {
    win::ReleaseCapture();
    win::SetCapture(HWINDOW);
    RIGHTMOUSEDOWN = RIGHTMOUSEDOWN2 = true;
    ZCOORD = ClientY(LPARAM_);
}

void ONRBUTTONUP() {
    // One capture serves both buttons: releasing either ends it.
    win::ReleaseCapture();
    RIGHTMOUSEDOWN = RIGHTMOUSEDOWN2 = false;
}

void ONMOUSEMOVE(LPARAM LPARAM_) {
    const int x = ClientX(LPARAM_);
    const int y = ClientY(LPARAM_);
    SETOMX = x;
    SETOMY = y;
    if (LEFTMOUSEDOWN) {
        const double dy = y - YCOORD;
        const double dx = x - XCOORD;
        Add(XROT, dy, 2.0);
        Add(YROT, dx, 2.0);
        Add(XROT2, dy, 2.0);
        Add(YROT2, dx, 2.0);
        XCOORD = x;
        YCOORD = y;
    }
    if (RIGHTMOUSEDOWN && !MOUSEFREE) {
        const double dz = y - ZCOORD;
        Add(DEPTH, -dz, 10.0);
        Add(DEPTH2, -dz, 10.0);
        ZCOORD = y;
    }
    if (MOUSEFREE && win::GetForegroundWindow() == HWINDOW)
        FreeLook();
}

void SETGLMOUSEMOVE(std::int32_t XYZ, std::int32_t SPEED) {
    MSPEED = SPEED;
    // Per layout: the axis (0 x, 1 y, 2 z) the scene moves back along, and the axes of the XROT and
    // YROT turns.
    struct Layout {
        int along;
        float xrotAxis[3], yrotAxis[3];
    };
    static constexpr Layout kLayouts[] = {
        {2, {1, 0, 0}, {0, 1, 0}},  // GL_M0
        {1, {1, 0, 0}, {0, 0, 1}},  // GL_MX
        {0, {0, 0, -1}, {0, 1, 0}}, // GL_MY
        {2, {0, 1, 0}, {1, 0, 0}},  // GL_MZ
    };
    if (XYZ < GL_M0 || XYZ > GL_MZ)
        return; // an unknown layout only sets the speed
    const Layout& l = kLayouts[XYZ];
    float move[3] = {0, 0, 0};
    move[l.along] = -DEPTH;
    MY = {move[0], move[1], move[2]};
    glTranslatef(move[0], move[1], move[2]);
    glRotatef(XROT, l.xrotAxis[0], l.xrotAxis[1], l.xrotAxis[2]);
    glRotatef(YROT, l.yrotAxis[0], l.yrotAxis[1], l.yrotAxis[2]);
}

} // namespace nembra
