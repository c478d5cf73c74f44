// Face normals, solids and tori: what reaches the GL, checked with the call recorder and GL state.
#include <nembra/nembra.h>

#include "glrecorder.h"

#include "glwindow.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

using namespace nembra;
using glrecorder::Call;

namespace {

constexpr double kPi = std::numbers::pi;

void EnsureWindow() { testsupport::EnsureGlWindow("Nembra geometry test", 160, 120); }

// One vertex as the GL got it, with the normal and texture coordinate current at that moment.
struct Vertex {
    double x, y, z;
    double nx, ny, nz;
    double s, t;
};

struct Primitive {
    GLenum mode = 0;
    std::vector<Vertex> vertices;
};

// Replays the recorded calls the way the GL would: current normal and texture coordinate per vertex,
// one Primitive per glBegin/glEnd pair.
std::vector<Primitive> Primitives(const std::vector<Call>& calls) {
    std::vector<Primitive> result;
    double normal[3] = {0, 0, 1}, tex[2] = {0, 0};
    for (const Call& call : calls) {
        if (call.name == "glBegin")
            result.push_back({static_cast<GLenum>(call.args[0]), {}});
        else if (call.name == "glNormal3f")
            std::copy(call.args.begin(), call.args.end(), normal);
        else if (call.name == "glTexCoord2f")
            std::copy(call.args.begin(), call.args.end(), tex);
        else if (call.name == "glVertex3f" && !result.empty())
            result.back().vertices.push_back(
                {call.args[0], call.args[1], call.args[2], normal[0], normal[1], normal[2], tex[0], tex[1]});
    }
    return result;
}

template <typename F>
std::vector<Call> Record(F draw) {
    glrecorder::Start();
    draw();
    return glrecorder::Stop();
}

void ExpectVertex(const Vertex& v, double x, double y, double z, double s, double t, double eps = 1e-6) {
    EXPECT_NEAR(v.x, x, eps);
    EXPECT_NEAR(v.y, y, eps);
    EXPECT_NEAR(v.z, z, eps);
    EXPECT_NEAR(v.s, s, eps);
    EXPECT_NEAR(v.t, t, eps);
}

void ExpectNormal(const Vertex& v, double nx, double ny, double nz, double eps = 1e-6) {
    EXPECT_NEAR(v.nx, nx, eps);
    EXPECT_NEAR(v.ny, ny, eps);
    EXPECT_NEAR(v.nz, nz, eps);
}

// --- Face normals ---

struct NormalCase {
    const char* name;
    double v[9];
    double expected[3];
};

class FindNormal : public testing::TestWithParam<NormalCase> {};

TEST_P(FindNormal, LeavesTheUnitNormalInFNORMAL) {
    const NormalCase& c = GetParam();
    FINDNORMAL(c.v[0], c.v[1], c.v[2], c.v[3], c.v[4], c.v[5], c.v[6], c.v[7], c.v[8]);
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(FNORMAL[i + 1], c.expected[i], 1e-12) << "component " << i + 1;
    const double length = std::sqrt(FNORMAL[1] * FNORMAL[1] + FNORMAL[2] * FNORMAL[2] + FNORMAL[3] * FNORMAL[3]);
    const bool degenerate = c.expected[0] == 0 && c.expected[1] == 0 && c.expected[2] == 0;
    EXPECT_NEAR(length, degenerate ? 0.0 : 1.0, 1e-15);
}

const double kInvSqrt2 = 1 / std::sqrt(2.0);

INSTANTIATE_TEST_SUITE_P(Cases, FindNormal,
                         testing::Values(NormalCase{"CounterClockwise", {0, 0, 0, 1, 0, 0, 1, 1, 0}, {0, 0, 1}},
                                         NormalCase{"Reversed", {0, 0, 0, 1, 1, 0, 1, 0, 0}, {0, 0, -1}},
                                         NormalCase{"Collinear", {0, 0, 0, 1, 1, 1, 3, 3, 3}, {0, 0, 0}},
                                         NormalCase{"TwoPointsEqual", {1, 2, 3, 1, 2, 3, 4, 5, 7}, {0, 0, 0}},
                                         NormalCase{"ScaledUp", {0, 0, 0, 1e6, 0, 0, 1e6, 1e6, 0}, {0, 0, 1}},
                                         NormalCase{"ScaledDown", {0, 0, 0, 1e-6, 0, 0, 1e-6, 1e-6, 0}, {0, 0, 1}},
                                         NormalCase{"Tilted", {0, 0, 0, 0, 1, 0, 1, 1, 1}, {kInvSqrt2, 0, -kInvSqrt2}},
                                         NormalCase{"LongThin", {0, 0, 0, 1e4, 0, 0, 1e4, 1e-4, 0}, {0, 0, 1}},
                                         NormalCase{
                                             "FirstBoxFaceMixedSigns", {1, -1, 1, -1, -1, 1, -1, 1, 1}, {0, 0, -1}}),
                         [](const testing::TestParamInfo<NormalCase>& info) { return info.param.name; });

// --- Solids ---

TEST(Solids, BoxEmitsItsFacesInOrder) {
    EnsureWindow();
    const auto calls = Record([] { CUBO(1, 2, 3, 2, 1, 3); });
    const auto prims = Primitives(calls);
    ASSERT_EQ(prims.size(), 1u);
    EXPECT_EQ(prims[0].mode, static_cast<GLenum>(GL_QUADS));
    EXPECT_EQ(glrecorder::Only(calls, "glNormal3f").size(), 6u);
    EXPECT_EQ(glrecorder::Only(calls, "glTexCoord2f").size(), 24u);
    ASSERT_EQ(prims[0].vertices.size(), 24u);

    // x from -1 to 3, y from 1 to 3, z from 0 to 6; texture coordinates run to the half sizes.
    const double x0 = -1, x1 = 3, y0 = 1, y1 = 3, z0 = 0, z1 = 6;
    const double expected[24][5] = {
        {x0, y0, z1, 0, 0}, {x1, y0, z1, 2, 0}, {x1, y1, z1, 2, 1}, {x0, y1, z1, 0, 1}, // z+
        {x0, y0, z0, 2, 0}, {x0, y1, z0, 2, 1}, {x1, y1, z0, 0, 1}, {x1, y0, z0, 0, 0}, // z-
        {x0, y1, z0, 0, 3}, {x0, y1, z1, 0, 0}, {x1, y1, z1, 2, 0}, {x1, y1, z0, 2, 3}, // y+
        {x0, y0, z0, 2, 3}, {x1, y0, z0, 0, 3}, {x1, y0, z1, 0, 0}, {x0, y0, z1, 2, 0}, // y-
        {x1, y0, z0, 3, 0}, {x1, y1, z0, 3, 1}, {x1, y1, z1, 0, 1}, {x1, y0, z1, 0, 0}, // x+
        {x0, y0, z0, 0, 0}, {x0, y0, z1, 3, 0}, {x0, y1, z1, 3, 1}, {x0, y1, z0, 0, 1}, // x-
    };
    for (int i = 0; i < 24; ++i) {
        SCOPED_TRACE("vertex " + std::to_string(i));
        const auto& e = expected[i];
        ExpectVertex(prims[0].vertices[i], e[0], e[1], e[2], e[3], e[4]);
    }
}

struct BoxNormalCase {
    const char* name;
    float sx, sy, sz;
    double normals[6][3]; // one per face, in drawing order
};

class BoxNormals : public testing::TestWithParam<BoxNormalCase> {};

// Each face normal is computed from the face's corners, so its sign follows the half sizes.
TEST_P(BoxNormals, FollowTheHalfSizes) {
    EnsureWindow();
    const BoxNormalCase& c = GetParam();
    const auto prims = Primitives(Record([&] { CUBO(0, 0, 0, c.sx, c.sy, c.sz); }));
    ASSERT_EQ(prims.size(), 1u);
    ASSERT_EQ(prims[0].vertices.size(), 24u);
    for (int face = 0; face < 6; ++face) {
        SCOPED_TRACE("face " + std::to_string(face + 1));
        for (int corner = 0; corner < 4; ++corner)
            ExpectNormal(prims[0].vertices[face * 4 + corner], c.normals[face][0], c.normals[face][1],
                         c.normals[face][2]);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BoxNormals,
    testing::Values(
        BoxNormalCase{"Positive", 1, 1, 1, {{0, 0, 1}, {0, 0, -1}, {0, 1, 0}, {0, -1, 0}, {1, 0, 0}, {-1, 0, 0}}},
        BoxNormalCase{"NegativeSX", -1, 1, 1, {{0, 0, -1}, {0, 0, 1}, {0, -1, 0}, {0, 1, 0}, {1, 0, 0}, {-1, 0, 0}}},
        BoxNormalCase{"ZeroSX", 0, 1, 1, {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {1, 0, 0}, {-1, 0, 0}}},
        BoxNormalCase{"ZeroSize", 0, 0, 0, {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}}}),
    [](const testing::TestParamInfo<BoxNormalCase>& info) { return info.param.name; });

TEST(Solids, TubeUsesThePositionAsNormal) {
    EnsureWindow();
    const auto prims = Primitives(Record([] { TUBO(0, 0, 0, 4, 1, 2); }));
    ASSERT_EQ(prims.size(), 1u);
    EXPECT_EQ(prims[0].mode, static_cast<GLenum>(GL_QUAD_STRIP));
    const auto& v = prims[0].vertices;
    ASSERT_EQ(v.size(), 10u);
    ExpectVertex(v[0], 1, 0, 2, 2, 2);
    ExpectVertex(v[1], 1, 0, 0, 2, 0);
    ExpectVertex(v[2], 0, 1, 2, 2 + kPi / 2, 2);
    // The last pair closes the side on the first positions, one turn of s further on.
    ExpectVertex(v[8], 1, 0, 2, 2 + 2 * kPi, 2);
    ExpectVertex(v[9], 1, 0, 0, 2 + 2 * kPi, 0);
    for (const Vertex& vertex : v)
        ExpectNormal(vertex, vertex.x, vertex.y, vertex.z);
}

TEST(Solids, ConeTurnsItsTopRing) {
    EnsureWindow();
    const auto prims = Primitives(Record([] { CONOTRONCO(0, 0, 0, 4, 1, 2, 3); }));
    ASSERT_EQ(prims.size(), 1u);
    EXPECT_EQ(prims[0].mode, static_cast<GLenum>(GL_QUAD_STRIP));
    const auto& v = prims[0].vertices;
    ASSERT_EQ(v.size(), 20u);
    const double a = kPi / 16; // half of a quarter step
    ExpectVertex(v[0], std::cos(a), std::sin(a), 3, kPi / 8, 4);
    ExpectNormal(v[0], std::cos(a), std::sin(a), 0);
    ExpectVertex(v[1], 2, 0, 0, 0, 0);
    ExpectNormal(v[1], 2, 0, 0);
    ExpectVertex(v[2], std::cos(5 * a), std::sin(5 * a), 3, 2 * 5 * a, 4);
    ExpectVertex(v[3], 2 * std::cos(6 * a), 2 * std::sin(6 * a), 0, 2 * 6 * a, 0);
    // The ring advances by 2 pi / 4.1, so the last pass reaches past a full turn.
    const double last = 2 * 4 * kPi / 4.1 + 6 * a;
    ExpectVertex(v[19], 2 * std::cos(last), 2 * std::sin(last), 0, 2 * last, 0, 1e-5);
}

struct SegmentCase {
    const char* name;
    void (*draw)();
    std::size_t primitives; // glBegin/glEnd pairs
    std::size_t vertices;
};

class SegmentCounts : public testing::TestWithParam<SegmentCase> {};

TEST_P(SegmentCounts, EmitTheirVertices) {
    EnsureWindow();
    const auto calls = Record(GetParam().draw);
    const auto prims = Primitives(calls);
    EXPECT_EQ(prims.size(), GetParam().primitives);
    EXPECT_EQ(glrecorder::Only(calls, "glEnd").size(), GetParam().primitives);
    EXPECT_EQ(glrecorder::Only(calls, "glVertex3f").size(), GetParam().vertices);
}

INSTANTIATE_TEST_SUITE_P(Cases, SegmentCounts,
                         testing::Values(SegmentCase{"TubeOneSegment", [] { TUBO(0, 0, 0, 1, 1, 1); }, 1, 4},
                                         SegmentCase{"TubeZeroSegments", [] { TUBO(0, 0, 0, 0, 1, 1); }, 0, 0},
                                         SegmentCase{"TubeNegative", [] { TUBO(0, 0, 0, -3, 1, 1); }, 1, 0},
                                         SegmentCase{"ConeTwenty", [] { CONOTRONCO(0, 0, 0, 20, 1.5, 2, 2); }, 1, 84},
                                         SegmentCase{"ConeZeroSegments", [] { CONOTRONCO(0, 0, 0, 0, 1, 1, 1); }, 0, 0},
                                         SegmentCase{"ConeNegative", [] { CONOTRONCO(0, 0, 0, -1, 1, 1, 1); }, 1, 0}),
                         [](const testing::TestParamInfo<SegmentCase>& info) { return info.param.name; });

TEST(Solids, LineFreeGivesTextureCoordinatesOnlyWhenAsked) {
    EnsureWindow();
    const auto plain = Record([] {
        glBegin(GL_LINES);
        LINEFREE(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, false);
        glEnd();
    });
    EXPECT_TRUE(glrecorder::Only(plain, "glTexCoord2f").empty());
    const auto vertices = glrecorder::Only(plain, "glVertex3f");
    ASSERT_EQ(vertices.size(), 2u);
    EXPECT_EQ(vertices[0].args, (std::vector<double>{5, 6, 7}));
    EXPECT_EQ(vertices[1].args, (std::vector<double>{8, 9, 10}));

    const auto textured = Record([] {
        glBegin(GL_LINES);
        LINEFREE(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, true);
        glEnd();
    });
    ASSERT_EQ(textured.size(), 6u);
    const char* order[] = {"glBegin", "glTexCoord2f", "glVertex3f", "glTexCoord2f", "glVertex3f", "glEnd"};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(textured[i].name, order[i]);
    EXPECT_EQ(textured[1].args, (std::vector<double>{1, 2}));
    EXPECT_EQ(textured[3].args, (std::vector<double>{3, 4}));
}

// --- Tori ---

TEST(Torus, CompilesSphereMappedStrips) {
    EnsureWindow();
    const auto calls = Record([] { TOROIDEPROP(0, 0.4f, 1.75f, 20, 20); });
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls.front().name, "glNewList");
    EXPECT_EQ(calls.front().args[0], TORUS[0]);
    EXPECT_EQ(calls.back().name, "glEndList");

    const std::vector<Call> generation(calls.begin() + 1, calls.begin() + 5);
    ASSERT_EQ(generation.size(), 4u);
    EXPECT_EQ(generation[0].name, "glTexGenf");
    EXPECT_EQ(generation[0].args, (std::vector<double>{GL_S, GL_TEXTURE_GEN_MODE, 9218.0}));
    EXPECT_EQ(generation[1].args, (std::vector<double>{GL_T, GL_TEXTURE_GEN_MODE, 9218.0}));
    EXPECT_EQ(generation[2].name, "glEnable");
    EXPECT_EQ(generation[2].args[0], GL_TEXTURE_GEN_S);
    EXPECT_EQ(generation[3].args[0], GL_TEXTURE_GEN_T);
    const Call& off1 = calls[calls.size() - 3];
    const Call& off2 = calls[calls.size() - 2];
    EXPECT_EQ(off1.name, "glDisable");
    EXPECT_EQ(off1.args[0], GL_TEXTURE_GEN_S);
    EXPECT_EQ(off2.args[0], GL_TEXTURE_GEN_T);

    const auto prims = Primitives(calls);
    ASSERT_EQ(prims.size(), 20u);
    for (const Primitive& strip : prims) {
        EXPECT_EQ(strip.mode, static_cast<GLenum>(GL_QUAD_STRIP));
        EXPECT_EQ(strip.vertices.size(), 42u);
        for (const Vertex& v : strip.vertices) // unit normals; the given coordinates are the vertex's (x, y)
            EXPECT_NEAR(v.nx * v.nx + v.ny * v.ny + v.nz * v.nz, 1.0, 1e-6);
        for (const Vertex& v : strip.vertices) {
            EXPECT_FLOAT_EQ(static_cast<float>(v.s), static_cast<float>(v.x));
            EXPECT_FLOAT_EQ(static_cast<float>(v.t), static_cast<float>(v.y));
        }
    }
}

TEST(Torus, FirstStripStartsOneStepIntoTheTube) {
    EnsureWindow();
    const auto prims = Primitives(Record([] { TOROIDEPROP(5, 1, 3, 4, 4); }));
    ASSERT_EQ(prims.size(), 4u);
    ASSERT_EQ(prims[0].vertices.size(), 10u);
    // At phi = pi/2 in single precision, whose cosine is about -4.37e-8, not 0.
    const double c = std::cos(static_cast<float>(kPi / 2));
    const Vertex& far = prims[0].vertices[0];
    EXPECT_NEAR(far.x, c * 3, 1e-9);
    EXPECT_NEAR(far.y, -3, 1e-6);
    EXPECT_NEAR(far.z, 1, 1e-6);
    EXPECT_NEAR(far.nx, c * c, 1e-12);
    EXPECT_NEAR(far.ny, -c, 1e-9);
    EXPECT_NEAR(far.nz, 1, 1e-6);
    ExpectVertex(prims[0].vertices[1], 3, 0, 1, 3, 0);
    // The last pair lies one step past a full turn, on the first pair's positions.
    ExpectVertex(prims[0].vertices[8], far.x, far.y, far.z, far.s, far.t, 1e-5);
}

TEST(Torus, ReplayGeneratesSphereMapCoordinatesThenSwitchesThemOff) {
    EnsureWindow();
    TOROIDEPROP(2, 0.4f, 1.75f, 8, 8);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    // The GL only generates coordinates for a texture unit in use.
    const GLubyte texel[3] = {255, 255, 255};
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, texel);
    glEnable(GL_TEXTURE_2D);

    // Feedback shows the texture coordinates the GL generated, not the (x, y) the list gives.
    std::vector<GLfloat> buffer(1 << 16);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-3, 3, -3, 3, -3, 3);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_CULL_FACE);
    TOROIDE(2, true);
    const GLint used = glRenderMode(GL_RENDER);
    ASSERT_GT(used, 0);

    // A vertex of GL_3D_COLOR_TEXTURE: x, y, z, r, g, b, a, s, t, r, q.
    int polygons = 0;
    double minS = 1e9, maxS = -1e9;
    for (GLint i = 0; i < used;) {
        const auto token = static_cast<GLint>(buffer[i++]);
        ASSERT_EQ(token, GL_POLYGON_TOKEN);
        const auto count = static_cast<GLint>(buffer[i++]);
        for (GLint k = 0; k < count; ++k, i += 11) {
            minS = std::min<double>(minS, buffer[i + 7]);
            maxS = std::max<double>(maxS, buffer[i + 7]);
        }
        ++polygons;
    }
    EXPECT_EQ(polygons, 8 * 8 * 2); // the quads reach feedback as triangles
    // Sphere-map coordinates stay within [0, 1]; the given ones reach 2.15 in magnitude.
    EXPECT_GE(minS, 0.0);
    EXPECT_LE(maxS, 1.0);

    // Off after the list, whatever it was before.
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
    TOROIDE(2, true);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_T));
}

TEST(Torus, InnerFacesSwapTheCulledSide) {
    EnsureWindow();
    TOROIDEPROP(1, 0.4f, 1.25f, 6, 6);
    const auto inner = Record([] { TOROIDE(1, false); });
    ASSERT_EQ(inner.size(), 3u);
    EXPECT_EQ(inner[0].name, "glCullFace");
    EXPECT_EQ(inner[0].args[0], GL_FRONT);
    EXPECT_EQ(inner[1].name, "glCallList");
    EXPECT_EQ(inner[1].args[0], TORUS[1]);
    EXPECT_EQ(inner[2].name, "glCullFace");
    EXPECT_EQ(inner[2].args[0], GL_BACK);
    GLint mode = 0;
    glGetIntegerv(GL_CULL_FACE_MODE, &mode);
    EXPECT_EQ(mode, GL_BACK);

    const auto outer = Record([] { TOROIDE(1, true); });
    ASSERT_EQ(outer.size(), 1u);
    EXPECT_EQ(outer[0].name, "glCallList");
}

TEST(Torus, RebuildingASlotKeepsTheOldList) {
    EnsureWindow();
    TOROIDEPROP(3, 0.4f, 1.75f, 4, 4);
    const GLuint first = TORUS[3];
    TOROIDEPROP(3, 0.4f, 1.75f, 4, 4);
    EXPECT_NE(TORUS[3], first);
    EXPECT_TRUE(glIsList(first));
    EXPECT_TRUE(glIsList(TORUS[3]));
}

struct DegenerateTorus {
    const char* name;
    std::int32_t sides, rings;
    std::size_t generationCalls; // glTexGenf calls compiled
    std::size_t strips;
};

class DegenerateTori : public testing::TestWithParam<DegenerateTorus> {};

TEST_P(DegenerateTori, BuildAListWithoutDividingByZero) {
    EnsureWindow();
    const auto& c = GetParam();
    const auto calls = Record([&] { TOROIDEPROP(4, 0.4f, 1.75f, c.sides, c.rings); });
    EXPECT_TRUE(glIsList(TORUS[4]));
    EXPECT_EQ(glrecorder::Only(calls, "glTexGenf").size(), c.generationCalls);
    const auto prims = Primitives(calls);
    EXPECT_EQ(prims.size(), c.strips);
    for (const Primitive& p : prims)
        EXPECT_TRUE(p.vertices.empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, DegenerateTori,
                         testing::Values(DegenerateTorus{"ZeroRings", 8, 0, 0, 0},
                                         DegenerateTorus{"ZeroSides", 0, 8, 0, 0},
                                         DegenerateTorus{"NegativeRings", 8, -2, 2, 0},
                                         DegenerateTorus{"NegativeSides", -1, 3, 2, 3}),
                         [](const testing::TestParamInfo<DegenerateTorus>& info) { return info.param.name; });

} // namespace
