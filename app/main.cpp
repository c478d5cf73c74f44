// The demonstration program: one question, the GL window, the column scene, and frames until the
// window goes away.
#include "scene.h"

#include <nembra/nembra.h>

int main() {
    using namespace nembra;

    const int answer = MessageBoxA(0, "Settare lo schermo intero?  ", "Video!", MB_YESNO | MB_ICONQUESTION);
    FULLSCREEN = answer != IDNO;
    OGLWINDOWSETTING(ARROW, "", GENERIC, "");
    CREATEOGLWINDOW("Dimostrazione di FX_TextureBumpMap e FX_Cartoon", 800, 600, 32, FULLSCREEN);
    OPENGL_INIT(1000.0, 0.0, 0.0, 0.0, 0.0);
    SETGLREFRACTIVE();
    SETGLLIGHT(GL_LIGHT0, 0.0f, 0.0f, 0.0f, 0.1f);
    demo::OPENGL_CREATELIST();

    // The test comes after the swap: the frame in progress when the window goes is still drawn.
    do {
        glClear(GL_COLOR_BUFFER_BIT);
        SETGLMSG();
        demo::OPENGL_DRAW();
        SwapBuffers(DCWINDOW);
    } while (ACTIVE);

    DELETEGLTEXT();
    DELETEOGLWINDOW();
    return 0;
}
