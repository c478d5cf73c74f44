// A first Nembra program: a torus drawn with the cartoon effect in an 800 x 600 window.
// Left drag turns it, right drag moves it nearer or farther, Escape or the close box ends the program.
#include <nembra/nembra.h>

int main() {
    using namespace nembra;

    // The window class's cursor and icon, then the window itself with a current GL context. Creation
    // failures end the program with a message, so there is nothing to check.
    OGLWINDOWSETTING(ARROW, "", GENERIC, "");
    CREATEOGLWINDOW("Nembra: cartoon torus", 800, 600, 32, false);

    // A perspective view reaching 100 units deep, cleared to a slate blue (alpha first, then R, G, B)
    // so that the black outline shows. Back faces are culled; light 0 shines from the upper right, over
    // the viewer's shoulder (w = 0: a direction, fixed to the eye because the modelview is still identity).
    OPENGL_INIT(100.0, 0.0, 0.2, 0.3, 0.5);
    SETGLREFRACTIVE();
    SETGLLIGHT(GL_LIGHT0, 1.0f, 1.0f, 1.0f, 0.0f);

    // A torus compiled once into a display list, named in TORUS[0]: tube radius 0.5, ring radius 1.5.
    TOROIDEPROP(0, 0.5f, 1.5f, 24, 48);
    // The navigation state is plain variables: start with the ring tipped back, the mouse turns it on
    // from there.
    XROT = -60.0f;

    do {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        // One window message per frame: mouse drags update the navigation, Escape and the close box
        // clear ACTIVE.
        SETGLMSG();

        // The camera: step back from the torus, then apply the mouse navigation (turns and depth).
        glLoadIdentity();
        glTranslatef(0.0f, 0.0f, -8.0f);
        SETGLMOUSEMOVE(GL_M0, 2);

        // Flat faces and a black outline 1 + 6 pixels wide, untextured. The effect takes a display
        // list; TORUS[0] is one.
        FX_CARTOON(0.0f, 0.0f, 0.0f, 1.0f, TORUS[0], false);

        SwapBuffers(DCWINDOW);
    } while (ACTIVE);

    DELETEOGLWINDOW();
    return 0;
}
