// Lights and culling.
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

void SETGLREFRACTIVE() {
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glFrontFace(GL_CCW);
}

} // namespace nembra
