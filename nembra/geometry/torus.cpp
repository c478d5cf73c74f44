// Tori compiled into display lists, replayed from their slots.
#include "nembra/nembra.h"

#include <cmath>
#include <numbers>

namespace nembra {

void TOROIDEPROP(std::int32_t NUMOBJ, float TUBER, float R, std::int32_t SIDES, std::int32_t RINGS) {
    std::uint32_t& slot = TORUS[NUMOBJ];
    slot = glGenLists(1);
    glNewList(slot, GL_COMPILE);
    if (SIDES == 0 || RINGS == 0) {
        glEndList(); // no angle step: an empty list
        return;
    }

    constexpr float kTwoPi = 2 * std::numbers::pi_v<float>;
    const float SIDEDELTA = kTwoPi / SIDES;
    const float RINGDELTA = kTwoPi / RINGS;
    float THETA = 0, COSTHETA = 1, SINTHETA = 0;

    glTexGenf(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexGenf(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
    for (std::int32_t I = RINGS - 1; I >= 0; --I) {
        const float THETA1 = THETA + RINGDELTA;
        const float COSTHETA1 = std::cos(THETA1), SINTHETA1 = std::sin(THETA1);
        glBegin(GL_QUAD_STRIP);
        // The angles grow by repeated single-precision addition; the first pair lies one step in.
        float PHI = 0;
        for (std::int32_t L = SIDES; L >= 0; --L) {
            PHI = PHI + SIDEDELTA;
            const float COSPHI = std::cos(PHI), SINPHI = std::sin(PHI);
            const float DIST = COSPHI * TUBER + R;
            glTexCoord2f(COSTHETA1 * DIST, -SINTHETA1 * DIST);
            glNormal3f(COSTHETA1 * COSPHI, -SINTHETA1 * COSPHI, SINPHI);
            glVertex3f(COSTHETA1 * DIST, -SINTHETA1 * DIST, TUBER * SINPHI);
            glTexCoord2f(COSTHETA * DIST, -SINTHETA * DIST);
            glNormal3f(COSTHETA * COSPHI, -SINTHETA * COSPHI, SINPHI);
            glVertex3f(COSTHETA * DIST, -SINTHETA * DIST, TUBER * SINPHI);
        }
        glEnd();
        THETA = THETA1;
        COSTHETA = COSTHETA1;
        SINTHETA = SINTHETA1;
    }
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glEndList();
}

void TOROIDE(std::int32_t NUMOBJ, BYTEBOOL ESTERNO) {
    const std::uint32_t list = TORUS[NUMOBJ];
    if (!ESTERNO)
        glCullFace(GL_FRONT);
    glCallList(list);
    if (!ESTERNO)
        glCullFace(GL_BACK);
}

} // namespace nembra
