// Solids drawn in immediate mode: box, tube, truncated cone, and the two-vertex emitter.
#include "nembra/nembra.h"

#include <cmath>
#include <numbers>

namespace nembra {

namespace {
constexpr double kPi = std::numbers::pi;
}

void LINEFREE(float TX1, float TY1, float TX2, float TY2, float X1, float Y1, float Z1, float X2, float Y2, float Z2,
              BYTEBOOL TEXTURE) {
    if (TEXTURE)
        glTexCoord2f(TX1, TY1);
    glVertex3f(X1, Y1, Z1);
    if (TEXTURE)
        glTexCoord2f(TX2, TY2);
    glVertex3f(X2, Y2, Z2);
}

void CUBO(float X, float Y, float Z, float SX, float SY, float SZ) {
    const float x0 = X - SX, x1 = X + SX, y0 = Y - SY, y1 = Y + SY, z0 = Z - SZ, z1 = Z + SZ;

    struct Corner {
        float x, y, z, s, t;
    };
    // Each face's normal comes from its first three corners, so its sign follows the half sizes.
    const Corner faces[6][4] = {
        {{x0, y0, z1, 0, 0}, {x1, y0, z1, SX, 0}, {x1, y1, z1, SX, SY}, {x0, y1, z1, 0, SY}},  // z = Z + SZ
        {{x0, y0, z0, SX, 0}, {x0, y1, z0, SX, SY}, {x1, y1, z0, 0, SY}, {x1, y0, z0, 0, 0}},  // z = Z - SZ
        {{x0, y1, z0, 0, SZ}, {x0, y1, z1, 0, 0}, {x1, y1, z1, SX, 0}, {x1, y1, z0, SX, SZ}},  // y = Y + SY
        {{x0, y0, z0, SX, SZ}, {x1, y0, z0, 0, SZ}, {x1, y0, z1, 0, 0}, {x0, y0, z1, SX, 0}},  // y = Y - SY
        {{x1, y0, z0, SZ, 0}, {x1, y1, z0, SZ, SY}, {x1, y1, z1, 0, SY}, {x1, y0, z1, 0, 0}},  // x = X + SX
        {{x0, y0, z0, 0, 0}, {x0, y0, z1, SZ, 0}, {x0, y1, z1, SZ, SY}, {x0, y1, z0, 0, SY}}}; // x = X - SX

    glBegin(GL_QUADS);
    for (const auto& [a, b, c, d] : faces) {
        FINDNORMAL(a.x, a.y, a.z, b.x, b.y, b.z, c.x, c.y, c.z);
        glNormal3f(static_cast<float>(FNORMAL[1]), static_cast<float>(FNORMAL[2]), static_cast<float>(FNORMAL[3]));
        LINEFREE(a.s, a.t, b.s, b.t, a.x, a.y, a.z, b.x, b.y, b.z, true);
        LINEFREE(c.s, c.t, d.s, d.t, c.x, c.y, c.z, d.x, d.y, d.z, true);
    }
    glEnd();
}

void TUBO(float X, float Y, float Z, std::int32_t NUMPOINTS, float R, float H) {
    if (NUMPOINTS == 0)
        return; // no angle step; nothing to draw
    const float top = Z + H;
    glBegin(GL_QUAD_STRIP);
    for (std::int32_t I = 0; I <= NUMPOINTS; ++I) {
        const auto ANGLE = static_cast<float>(2 * kPi * I / NUMPOINTS);
        const auto cx = static_cast<float>(X + R * std::cos(static_cast<double>(ANGLE)));
        const auto cy = static_cast<float>(Y + R * std::sin(static_cast<double>(ANGLE)));
        const auto s = static_cast<float>(X + static_cast<double>(R) * (static_cast<double>(H) + ANGLE));
        // The normal is the vertex position itself; GL_NORMALIZE scales it to unit length.
        glNormal3f(cx, cy, top);
        glTexCoord2f(s, top);
        glVertex3f(cx, cy, top);
        glNormal3f(cx, cy, Z);
        glTexCoord2f(s, Z);
        glVertex3f(cx, cy, Z);
    }
    glEnd();
}

void CONOTRONCO(float X, float Y, float Z, std::int32_t NUMPOINTS, float RIN, float ROUT, float H) {
    if (NUMPOINTS == 0)
        return; // no angle step; nothing to draw
    const auto DA = static_cast<float>(2 * kPi / NUMPOINTS / 4);
    const double da = DA;
    const float top = Z + H;

    auto vertex = [&](double theta, float r, float z, float t) {
        const auto x = static_cast<float>(X + r * std::cos(theta));
        const auto y = static_cast<float>(Y + r * std::sin(theta));
        glNormal3f(x, y, 0);
        glTexCoord2f(static_cast<float>(X + 2 * theta), t);
        glVertex3f(x, y, z);
    };

    glBegin(GL_QUAD_STRIP);
    for (std::int32_t I = 0; I <= NUMPOINTS; ++I) {
        // The step is 2 pi / (NUMPOINTS + 0.1), so the last pass reaches a little past the first.
        const double ANGLE = static_cast<float>(2 * I * kPi / (NUMPOINTS + 0.1));
        vertex(ANGLE + da / 2, RIN, top, top + 1);
        vertex(ANGLE, ROUT, Z, Z);
        vertex(ANGLE + da * 5 / 2, RIN, top, top + 1);
        vertex(ANGLE + 3 * da, ROUT, Z, Z);
    }
    glEnd();
}

} // namespace nembra
