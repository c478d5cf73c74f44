// Lights, fog and raster modes as the GL reports them afterwards.
#include <nembra/nembra.h>

#include "glrecorder.h"

#include "glwindow.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>

using namespace nembra;

namespace {

void EnsureWindow() { testsupport::EnsureGlWindow("Nembra lights test", 160, 120); }

using Vec4 = std::array<float, 4>;

Vec4 Light(GLenum light, GLenum what) {
    Vec4 v{};
    glGetLightfv(light, what, v.data());
    return v;
}

Vec4 Floats(GLenum what) {
    Vec4 v{};
    glGetFloatv(what, v.data());
    return v;
}

float Float(GLenum what) {
    float v = 0;
    glGetFloatv(what, &v);
    return v;
}

GLint Int(GLenum what) {
    GLint v = 0;
    glGetIntegerv(what, &v);
    return v;
}

void ExpectVec(const Vec4& actual, const Vec4& expected) {
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(actual[i], expected[i], 1e-6) << "component " << i;
}

TEST(Lights, LightAtTheEyeWithTheLibraryColours) {
    EnsureWindow();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    SETGLLIGHT(GL_LIGHT0, 0, 0, 0, 0.1f);
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
    ExpectVec(Light(GL_LIGHT0, GL_AMBIENT), {0.5f, 0.5f, 0.5f, 1});
    ExpectVec(Light(GL_LIGHT0, GL_DIFFUSE), {1, 1, 1, 1});
    ExpectVec(Light(GL_LIGHT0, GL_SPECULAR), {1, 1, 1, 1});
    ExpectVec(Light(GL_LIGHT0, GL_POSITION), {0, 0, 0, 0.1f});
    ExpectVec({LIGHTPOSITION[0], LIGHTPOSITION[1], LIGHTPOSITION[2], LIGHTPOSITION[3]}, {0, 0, 0, 0.1f});
}

// The GL keeps light positions in eye space: the modelview matrix of the moment applies.
TEST(Lights, PositionIsTakenInEyeSpace) {
    EnsureWindow();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0, 0, -5);
    SETGLLIGHT(GL_LIGHT1, 1, 2, 3, 1);
    ExpectVec(Light(GL_LIGHT1, GL_POSITION), {1, 2, -2, 1});
    EXPECT_TRUE(glIsEnabled(GL_LIGHT1));

    glLoadIdentity();
    glRotatef(90, 0, 0, 1);
    PUTGLPOINTLIGHT(GL_LIGHT1, 2, 1, 0, 0, 0); // a direction turns with the matrix
    ExpectVec(Light(GL_LIGHT1, GL_POSITION), {0, 1, 0, 0});
}

TEST(Lights, PointLightMovesTheLightAndDrawsItsMarker) {
    EnsureWindow();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glDisable(GL_LIGHT0);
    glrecorder::Start();
    PUTGLPOINTLIGHT(GL_LIGHT0, 2, 0, -15, 22, 0);
    const auto calls = glrecorder::Stop();

    ExpectVec(Light(GL_LIGHT0, GL_POSITION), {0, -15, 22, 0});
    ExpectVec({LIGHTPOSITION[0], LIGHTPOSITION[1], LIGHTPOSITION[2], LIGHTPOSITION[3]}, {0, -15, 22, 0});
    EXPECT_FLOAT_EQ(Float(GL_POINT_SIZE), 2);
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING)) << "the light's switches are left alone";
    EXPECT_FALSE(glIsEnabled(GL_LIGHT0));

    // The marker: one point at the light's coordinates, not divided by w.
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[0].name, "glPointSize");
    EXPECT_EQ(calls[1].name, "glBegin");
    EXPECT_EQ(calls[1].args[0], GL_POINTS);
    EXPECT_EQ(calls[2].name, "glNormal3f");
    EXPECT_EQ(calls[2].args, (std::vector<double>{0, 0, 1}));
    EXPECT_EQ(calls[3].name, "glVertex3f");
    EXPECT_EQ(calls[3].args, (std::vector<double>{0, -15, 22}));
    EXPECT_EQ(calls[4].name, "glEnd");
}

void ExpectFog(float density, const Vec4& colour) {
    EXPECT_EQ(Int(GL_FOG_MODE), GL_EXP2);
    EXPECT_NEAR(Float(GL_FOG_DENSITY), density, 1e-7);
    ExpectVec(Floats(GL_FOG_COLOR), colour);
    ExpectVec({FOGCOLOR[0], FOGCOLOR[1], FOGCOLOR[2], FOGCOLOR[3]}, colour);
    EXPECT_FLOAT_EQ(Float(GL_FOG_START), 4.5f);
    EXPECT_FLOAT_EQ(Float(GL_FOG_END), 5.0f);
    EXPECT_EQ(Int(GL_FOG_HINT), GL_DONT_CARE);
    EXPECT_TRUE(glIsEnabled(GL_FOG));
    ExpectVec(Floats(GL_COLOR_CLEAR_VALUE), {0, 0, 0, 0});
}

TEST(Fog, DensityIsOffsetAndColourTakesEffect) {
    EnsureWindow();
    glClearColor(1, 1, 1, 1);
    SETGLFOG(0.01f, 0.65f, 0.65f, 0.65f, 0);
    ExpectFog(0.006f, {0.65f, 0.65f, 0.65f, 0});
}

// A density below 0.004 comes out negative; the GL refuses it and the previous one stays, while
// everything else still takes effect.
TEST(Fog, NegativeDensityKeepsThePreviousOne) {
    EnsureWindow();
    SETGLFOG(0.01f, 0.65f, 0.65f, 0.65f, 0);
    glDisable(GL_FOG);
    glFogi(GL_FOG_MODE, GL_LINEAR);
    glClearColor(1, 1, 1, 1);
    while (glGetError() != GL_NO_ERROR) {
    }
    SETGLFOG(0.002f, 0.1f, 0.2f, 0.3f, 0.4f);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_INVALID_VALUE));
    ExpectFog(0.006f, {0.1f, 0.2f, 0.3f, 0.4f});
}

struct RasterCase {
    const char* name;
    std::function<void()> run;
    GLint front, back, shade;
    float lineWidth;
};

class RasterModes : public testing::TestWithParam<RasterCase> {};

TEST_P(RasterModes, SetThePolygonModeAndShading) {
    EnsureWindow();
    glShadeModel(GL_SMOOTH);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glLineWidth(1);
    while (glGetError() != GL_NO_ERROR) {
    }
    GetParam().run();
    GLint modes[2] = {};
    glGetIntegerv(GL_POLYGON_MODE, modes);
    EXPECT_EQ(modes[0], GetParam().front);
    EXPECT_EQ(modes[1], GetParam().back);
    EXPECT_EQ(Int(GL_SHADE_MODEL), GetParam().shade);
    EXPECT_FLOAT_EQ(Float(GL_LINE_WIDTH), GetParam().lineWidth);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RasterModes,
    testing::Values(RasterCase{"Line", [] { SETGLLINE(3); }, GL_LINE, GL_LINE, GL_SMOOTH, 3},
                    // The outline width survives a return to filled polygons.
                    RasterCase{"LineThenFill", [] { SETGLLINE(3), SETGLFILL(); }, GL_FILL, GL_FILL, GL_SMOOTH, 3},
                    RasterCase{"Flat", [] { SETGLFLAT(); }, GL_FILL, GL_FILL, GL_FLAT, 1},
                    RasterCase{"FlatThenSmooth", [] { SETGLFLAT(), SETGLSMOOTH(); }, GL_FILL, GL_FILL, GL_SMOOTH, 1},
                    RasterCase{"HiSmooth", [] { SETGLFLAT(), SETGLHISMOOTH(); }, GL_FILL, GL_FILL, GL_SMOOTH, 1}),
    [](const testing::TestParamInfo<RasterCase>& info) { return info.param.name; });

TEST(Culling, BackFacesOfCounterClockwisePolygons) {
    EnsureWindow();
    glDisable(GL_CULL_FACE);
    glCullFace(GL_FRONT);
    glFrontFace(GL_CW);
    SETGLREFRACTIVE();
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_EQ(Int(GL_CULL_FACE_MODE), GL_BACK);
    EXPECT_EQ(Int(GL_FRONT_FACE), GL_CCW);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

} // namespace
