// Lights, fog, raster modes and culling.
#include "nembra/nembra.h"

namespace nembra {

void SETGLLIGHT(GLenum NLIGHT, float L0, float L1, float L2, float L3) {
    glEnable(GL_LIGHTING);
    glLightfv(NLIGHT, GL_AMBIENT, AMBIENTLIGHT);
    glLightfv(NLIGHT, GL_DIFFUSE, DIFFUSELIGHT);
    glLightfv(NLIGHT, GL_SPECULAR, SPECULARLIGHT);
    glEnable(NLIGHT);
    LIGHTPOSITION[0] = L0;
    LIGHTPOSITION[1] = L1;
    LIGHTPOSITION[2] = L2;
    LIGHTPOSITION[3] = L3;
    glLightfv(NLIGHT, GL_POSITION, LIGHTPOSITION); // transformed by the modelview matrix of this moment
}

void PUTGLPOINTLIGHT(GLenum NLIGHT, float SIZE, float LX, float LY, float LZ, float LVAL) {
    LIGHTPOSITION[0] = LX;
    LIGHTPOSITION[1] = LY;
    LIGHTPOSITION[2] = LZ;
    LIGHTPOSITION[3] = LVAL;
    glLightfv(NLIGHT, GL_POSITION, LIGHTPOSITION);
    glPointSize(SIZE);
    // The marker stands at the given point even for a directional light (LVAL 0).
    glBegin(GL_POINTS);
    glNormal3f(0, 0, 1);
    glVertex3f(LX, LY, LZ);
    glEnd();
}

void SETGLFOG(float D, float F1, float F2, float F3, float F4) {
    FOGCOLOR[0] = F1;
    FOGCOLOR[1] = F2;
    FOGCOLOR[2] = F3;
    FOGCOLOR[3] = F4;
    const auto density = static_cast<float>(static_cast<double>(D) - 0.004);
    glFogi(GL_FOG_MODE, GL_EXP2);
    glFogfv(GL_FOG_COLOR, FOGCOLOR);
    glFogf(GL_FOG_DENSITY, density); // a negative density is refused by the GL and the old one stays
    glHint(GL_FOG_HINT, GL_DONT_CARE);
    glFogf(GL_FOG_START, 4.5f); // start and end only matter in linear mode
    glFogf(GL_FOG_END, 5.0f);
    glClearColor(0, 0, 0, 0);
    glEnable(GL_FOG);
}

void SETGLFILL() {
    glPolygonMode(GL_BACK, GL_FILL);
    glPolygonMode(GL_FRONT, GL_FILL);
}

void SETGLLINE(float SIZE) {
    glLineWidth(SIZE);
    glPolygonMode(GL_BACK, GL_LINE);
    glPolygonMode(GL_FRONT, GL_LINE);
}

void SETGLFLAT() { glShadeModel(GL_FLAT); }

void SETGLSMOOTH() { glShadeModel(GL_SMOOTH); }

// Fixed-function GL has no shade model finer than Gouraud shading, so that is what the sphere-map
// effect gets; asking for anything else would only raise GL_INVALID_ENUM.
void SETGLHISMOOTH() { glShadeModel(GL_SMOOTH); }

void SETGLREFRACTIVE() {
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glFrontFace(GL_CCW);
}

} // namespace nembra
