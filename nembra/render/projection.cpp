// The 3D perspective view and the 2D orthographic view, made from the window size.
#include "nembra/nembra.h"

namespace nembra {

void OPENGL_INIT(double DEPTH, double A, double R, double G, double B) {
    glClearColor(static_cast<GLfloat>(R), static_cast<GLfloat>(G), static_cast<GLfloat>(B), static_cast<GLfloat>(A));
    glViewport(0, 0, WIDTH, HEIGHT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, static_cast<double>(WIDTH) / static_cast<double>(HEIGHT), 0.1, DEPTH);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearDepth(DEPTH); // GL clamps it to [0, 1]
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glColor4f(1.0f, 1.0f, 1.0f, 0.5f);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 1);
    glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    glHint(GL_POLYGON_SMOOTH_HINT, GL_NICEST);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glEnable(GL_AUTO_NORMAL);
    glEnable(GL_NORMALIZE);
}

void OPENGL_I2D(double A, double R, double G, double B) {
    // The integer quotient is 0 for every window wider than tall.
    const std::int32_t ratio = HEIGHT / WIDTH;
    OFFX = static_cast<float>(ratio - 2.05);
    OFFY = static_cast<float>(ratio - 1.45);
    glClearColor(static_cast<GLfloat>(R), static_cast<GLfloat>(G), static_cast<GLfloat>(B), static_cast<GLfloat>(A));
    glViewport(0, 0, WIDTH, HEIGHT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    const double halfHeight = static_cast<double>(2 * HEIGHT) / WIDTH;
    glOrtho(-2.0, 2.0, static_cast<double>(-2 * HEIGHT) / WIDTH, halfHeight, -2.0, 2.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_NORMALIZE);
}

} // namespace nembra
