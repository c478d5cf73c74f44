// Column-major 4 x 4 matrices, as the GL stores them, built from the translation and rotation
// formulas so that tests can compare the GL's matrices with ones made independently of it.
#pragma once

#include <GL/gl.h>

#include <array>
#include <cmath>

namespace testsupport {

using Matrix = std::array<double, 16>;

inline Matrix Identity() { return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; }

inline Matrix Product(const Matrix& a, const Matrix& b) {
    Matrix m{};
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row)
            for (int k = 0; k < 4; ++k)
                m[column * 4 + row] += a[k * 4 + row] * b[column * 4 + k];
    return m;
}

inline Matrix Translation(double x, double y, double z) {
    Matrix m = Identity();
    m[12] = x;
    m[13] = y;
    m[14] = z;
    return m;
}

// Rotation by `degrees` about the unit axis u: cos I + (1 - cos) u u^T + sin [u]x.
inline Matrix Rotation(double degrees, std::array<double, 3> u) {
    const double angle = degrees * std::acos(-1.0) / 180.0;
    const double c = std::cos(angle), s = std::sin(angle);
    const double cross[3][3] = {{0, -u[2], u[1]}, {u[2], 0, -u[0]}, {-u[1], u[0], 0}};
    Matrix m = Identity();
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            m[column * 4 + row] = (row == column ? c : 0) + (1 - c) * u[row] * u[column] + s * cross[row][column];
    return m;
}

// The GL's current matrix of WHICH (GL_MODELVIEW_MATRIX, GL_TEXTURE_MATRIX, ...).
inline Matrix GlMatrix(GLenum which) {
    Matrix m{};
    glGetDoublev(which, m.data());
    return m;
}

} // namespace testsupport
