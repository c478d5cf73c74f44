// A program that drives the GL window through one scenario, for tests that must watch a whole
// process: fatal messages with their box and exit code, or a window that a test closes from outside.
//   nembra-window-probe create     create the window, report, pump until the window goes, exit 0
//   nembra-window-probe twice      create the window a second time (the registration failure)
//   nembra-window-probe tiny       ask for a window the X server cannot make (0 x 0)
#include <nembra/nembra.h>

#include <cstdio>
#include <cstring>

using namespace nembra;

int main(int argc, char** argv) {
    const char* scenario = argc > 1 ? argv[1] : "";
    const char* title = "nembra probe";
    OGLWINDOWSETTING(ARROW, "", GENERIC, "");
    if (std::strcmp(scenario, "tiny") == 0)
        CREATEOGLWINDOW(title, 0, 0, 32, false);
    CREATEOGLWINDOW(title, 320, 240, 32, false);
    std::printf("created %dx%d\n", WIDTH, HEIGHT);
    std::fflush(stdout);
    if (std::strcmp(scenario, "twice") == 0)
        CREATEOGLWINDOW(title, 320, 240, 32, false);
    while (ACTIVE) {
        SETGLMSG();
        glClear(GL_COLOR_BUFFER_BIT);
        SwapBuffers(DCWINDOW);
    }
    DELETEOGLWINDOW();
    std::printf("ended\n");
    return 0;
}
