#include "scene.h"

#include <nembra/nembra.h>

namespace demo {

std::uint32_t BASE = 0;
std::uint32_t CAPITELLO = 0;
std::uint32_t COLONNA = 0;

void OPENGL_CREATELIST() {
    // The scene's textures and lists are built here once the texture, torus and solid routines exist.
}

void OPENGL_DRAW2D() {
    nembra::OPENGL_I2D(0.0, 0.0, 0.0, 0.0);
    nembra::OPENGL_INIT(1000.0, 0.0, 0.0, 0.0, 0.0);
}

void OPENGL_MOUSE2D() {}

void OPENGL_KEYBOARD() {}

void OPENGL_DRAW() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    OPENGL_DRAW2D();
    OPENGL_MOUSE2D();
    OPENGL_KEYBOARD();
}

} // namespace demo
