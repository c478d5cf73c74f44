// The 3D and 2D views as GL reports them, for a wide and a tall window size.
#include <nembra/nembra.h>

#include "glwindow.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace nembra;

namespace {

void EnsureWindow() { testsupport::EnsureGlWindow("Nembra projection test", 800, 600); }

struct Matrix {
    GLdouble m[16];
};

Matrix Get(GLenum which) {
    Matrix result{};
    glGetDoublev(which, result.m);
    return result;
}

void ExpectMatrix(const Matrix& actual, const double (&expected)[16]) {
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(actual.m[i], expected[i], 1e-5) << "element " << i;
}

void ExpectIdentityModelview() {
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    const double identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    ExpectMatrix(Get(GL_MODELVIEW_MATRIX), identity);
}

void ExpectPerspective(double aspect, double farPlane) {
    const double f = 1.0 / std::tan(22.5 * M_PI / 180.0), nearPlane = 0.1;
    const double expected[16] = {f / aspect,
                                 0,
                                 0,
                                 0,
                                 0,
                                 f,
                                 0,
                                 0,
                                 0,
                                 0,
                                 (farPlane + nearPlane) / (nearPlane - farPlane),
                                 -1,
                                 0,
                                 0,
                                 2 * farPlane * nearPlane / (nearPlane - farPlane),
                                 0};
    ExpectMatrix(Get(GL_PROJECTION_MATRIX), expected);
}

void ExpectViewport(int width, int height) {
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[0], 0);
    EXPECT_EQ(viewport[1], 0);
    EXPECT_EQ(viewport[2], width);
    EXPECT_EQ(viewport[3], height);
}

struct Size {
    int width, height;
    float offx, offy; // what OPENGL_I2D computes
};

class Projection : public testing::TestWithParam<Size> {
protected:
    void SetUp() override {
        EnsureWindow();
        // The routines read the window size from the library's variables.
        WIDTH = GetParam().width;
        HEIGHT = GetParam().height;
    }
};

} // namespace

TEST_P(Projection, PerspectiveView) {
    OPENGL_INIT(1000.0, 0.0, 0.0, 0.0, 0.0);
    ExpectViewport(WIDTH, HEIGHT);
    ExpectPerspective(static_cast<double>(WIDTH) / HEIGHT, 1000.0);
    ExpectIdentityModelview();

    GLfloat clear[4] = {-1, -1, -1, -1}, colour[4] = {};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    glGetFloatv(GL_CURRENT_COLOR, colour);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(clear[i], 0.0f);
    EXPECT_FLOAT_EQ(colour[0], 1.0f);
    EXPECT_FLOAT_EQ(colour[3], 0.5f);
    GLdouble clearDepth = 0;
    glGetDoublev(GL_DEPTH_CLEAR_VALUE, &clearDepth);
    EXPECT_EQ(clearDepth, 1.0); // 1000 clamped to the far value

    GLint depthFunc = 0, blendSrc = 0, blendDst = 0, localViewer = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
    glGetIntegerv(GL_BLEND_SRC, &blendSrc);
    glGetIntegerv(GL_BLEND_DST, &blendDst);
    glGetIntegerv(GL_LIGHT_MODEL_LOCAL_VIEWER, &localViewer);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_EQ(depthFunc, GL_LEQUAL);
    EXPECT_EQ(blendSrc, GL_SRC_ALPHA);
    EXPECT_EQ(blendDst, GL_ONE);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_EQ(localViewer, 1);
    EXPECT_TRUE(glIsEnabled(GL_AUTO_NORMAL));
    EXPECT_TRUE(glIsEnabled(GL_NORMALIZE));
    for (GLenum hint : {GL_LINE_SMOOTH_HINT, GL_POLYGON_SMOOTH_HINT, GL_PERSPECTIVE_CORRECTION_HINT}) {
        GLint value = 0;
        glGetIntegerv(hint, &value);
        EXPECT_EQ(value, GL_NICEST) << "hint " << hint;
    }
}

TEST_P(Projection, OrthographicViewAndBackToPerspective) {
    OPENGL_INIT(1000.0, 0.0, 0.0, 0.0, 0.0);
    glColor4f(0.25f, 0.5f, 0.75f, 1.0f);
    OPENGL_I2D(1.0, 0.2, 0.4, 0.6);
    EXPECT_FLOAT_EQ(OFFX, GetParam().offx);
    EXPECT_FLOAT_EQ(OFFY, GetParam().offy);
    ExpectViewport(WIDTH, HEIGHT);
    const double top = 2.0 * HEIGHT / WIDTH;
    const double ortho[16] = {0.5, 0, 0, 0, 0, 1.0 / top, 0, 0, 0, 0, -0.5, 0, 0, 0, 0, 1};
    ExpectMatrix(Get(GL_PROJECTION_MATRIX), ortho);
    ExpectIdentityModelview();
    GLfloat clear[4] = {}, colour[4] = {};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(clear[0], 0.2f); // arguments come alpha first, reach GL red first
    EXPECT_FLOAT_EQ(clear[1], 0.4f);
    EXPECT_FLOAT_EQ(clear[2], 0.6f);
    EXPECT_FLOAT_EQ(clear[3], 1.0f);
    EXPECT_FLOAT_EQ(colour[0], 0.25f); // the 2D view leaves the current colour alone

    OPENGL_INIT(1000.0, 0.0, 0.0, 0.0, 0.0);
    ExpectPerspective(static_cast<double>(WIDTH) / HEIGHT, 1000.0);
    ExpectIdentityModelview();
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(clear[0], 0.0f);
}

INSTANTIATE_TEST_SUITE_P(WindowShapes, Projection,
                         testing::Values(Size{800, 600, -2.05f, -1.45f}, Size{600, 800, -1.05f, -0.45f}),
                         [](const testing::TestParamInfo<Size>& info) {
                             return std::to_string(info.param.width) + "x" + std::to_string(info.param.height);
                         });

TEST(ProjectionDepth, FarPlaneBelowOneIsAlsoTheClearDepth) {
    EnsureWindow();
    WIDTH = 800;
    HEIGHT = 600;
    OPENGL_INIT(0.5, 0.0, 0.0, 0.0, 0.0);
    ExpectPerspective(800.0 / 600.0, 0.5);
    GLdouble clearDepth = 0;
    glGetDoublev(GL_DEPTH_CLEAR_VALUE, &clearDepth);
    EXPECT_DOUBLE_EQ(clearDepth, 0.5);
}
