// The demo's column scene in a real GL context: the lists it builds and the state a frame leaves.
#include <nembra/nembra.h>

#include "glrecorder.h"
#include "glwindow.h"
#include "matrices.h"
#include "scene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <vector>

using namespace nembra;

namespace {

using testsupport::GlMatrix;
using testsupport::Matrix;

// The demo's start-up after its question, once per test process.
void EnsureScene() {
    static bool built = false;
    if (built)
        return;
    OGLWINDOWSETTING(ARROW, "", GENERIC, "");
    testsupport::EnsureGlWindow("Nembra scene test", 800, 600);
    OPENGL_INIT(1000.0, 0.0, 0.0, 0.0, 0.0);
    SETGLREFRACTIVE();
    SETGLLIGHT(GL_LIGHT0, 0.0f, 0.0f, 0.0f, 0.1f);
    demo::OPENGL_CREATELIST();
    built = true;
}

GLint GetInt(GLenum which) {
    GLint value = 0;
    glGetIntegerv(which, &value);
    return value;
}

void ExpectMatrix(const Matrix& actual, const Matrix& expected, const char* what) {
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(actual[i], expected[i], 1e-4) << what << ", element " << i;
}

// The vertices a list sends, in object coordinates: feedback under identity matrices and a viewport
// whose window coordinates map back one to one.
std::vector<std::array<float, 3>> Vertices(std::uint32_t list) {
    constexpr float kHalf = 50; // object space -50..50 on every axis
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(-kHalf, kHalf, -kHalf, kHalf, -kHalf, kHalf);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    glViewport(0, 0, 100, 100);
    const GLboolean culled = glIsEnabled(GL_CULL_FACE);
    glDisable(GL_CULL_FACE);

    std::vector<GLfloat> buffer(1 << 20);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D, buffer.data());
    glRenderMode(GL_FEEDBACK);
    glCallList(list);
    const GLint used = glRenderMode(GL_RENDER);

    if (culled)
        glEnable(GL_CULL_FACE);
    glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);

    std::vector<std::array<float, 3>> vertices;
    auto vertex = [&](GLint at) {
        // Window x, y in 0..100 and depth 0..1 (glOrtho looks down -z) back to object coordinates.
        vertices.push_back({buffer[at] - kHalf, buffer[at + 1] - kHalf, (1 - 2 * buffer[at + 2]) * kHalf});
    };
    for (GLint i = 0; i < used;) {
        const auto token = static_cast<GLint>(buffer[i++]);
        if (token == GL_POLYGON_TOKEN) {
            const auto count = static_cast<GLint>(buffer[i++]);
            for (GLint v = 0; v < count; ++v, i += 3)
                vertex(i);
        } else if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
            vertex(i), vertex(i + 3), i += 6;
        } else if (token == GL_POINT_TOKEN) {
            vertex(i), i += 3;
        } else {
            ++i; // pass-through markers carry one value
        }
    }
    return vertices;
}

struct Extent {
    float low[3] = {1e9f, 1e9f, 1e9f};
    float high[3] = {-1e9f, -1e9f, -1e9f};
};

Extent ExtentOf(const std::vector<std::array<float, 3>>& vertices) {
    Extent e;
    for (const auto& v : vertices)
        for (int c = 0; c < 3; ++c) {
            e.low[c] = std::min(e.low[c], v[c]);
            e.high[c] = std::max(e.high[c], v[c]);
        }
    return e;
}

// Feedback coordinates pass through window space, so they carry a little of its rounding.
constexpr float kTolerance = 2e-3f * 50;

} // namespace

TEST(SceneLists, AreBuiltWithTheirImagesLoaded) {
    EnsureScene();
    EXPECT_NE(demo::BASE, 0u);
    EXPECT_NE(demo::CAPITELLO, 0u);
    EXPECT_NE(demo::COLONNA, 0u);
    EXPECT_NE(demo::BASE, demo::CAPITELLO);
    EXPECT_NE(demo::CAPITELLO, demo::COLONNA);
    EXPECT_NE(demo::BASE, demo::COLONNA);
    for (int slot = 0; slot <= 2; ++slot) {
        EXPECT_NE(TEXTUREID2[slot], 0u) << "texture slot " << slot;
        EXPECT_NE(TEXTUREBUMPMAP[slot], 0u) << "bump slot " << slot;
        EXPECT_NE(TEXTUREBUMPMAP2[slot], 0u) << "colour half of bump slot " << slot;
        EXPECT_TRUE(glIsTexture(TEXTUREID2[slot]));
    }
    EXPECT_NE(TORUS[0], 0u);
    EXPECT_NE(TORUS[1], 0u);
    // What the last bump upload leaves.
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(static_cast<GLuint>(GetInt(GL_TEXTURE_BINDING_2D)), TEXTUREBUMPMAP2[2]);
    EXPECT_EQ(GetInt(GL_MATRIX_MODE), GL_MODELVIEW);
}

TEST(SceneLists, BaseIsABlockOfHalfSizes22By22By1) {
    EnsureScene();
    const auto vertices = Vertices(demo::BASE);
    ASSERT_FALSE(vertices.empty());
    const float half[3] = {2.2f, 2.2f, 1.0f};
    for (const auto& v : vertices)
        for (int c = 0; c < 3; ++c)
            ASSERT_NEAR(std::fabs(v[c]), half[c], kTolerance) << "axis " << c << " of a vertex of the base";
    const Extent e = ExtentOf(vertices);
    for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(e.low[c], -half[c], kTolerance);
        EXPECT_NEAR(e.high[c], half[c], kTolerance);
    }
}

// The cone spans z 0..2; only the tori reach below 0 and above 2, each with its own ring radius.
TEST(SceneLists, TheCapitalDrawsBothTori) {
    EnsureScene();
    const auto vertices = Vertices(demo::CAPITELLO);
    const Extent e = ExtentOf(vertices);
    EXPECT_NEAR(e.low[2], -0.4f, kTolerance);
    EXPECT_NEAR(e.high[2], 2.4f, kTolerance);
    // The middle of the nearest and farthest vertices from the axis is the ring radius.
    float lowIn = 1e9f, lowOut = 0, highIn = 1e9f, highOut = 0;
    for (const auto& v : vertices) {
        const float r = std::hypot(v[0], v[1]);
        if (v[2] < -0.1f)
            lowIn = std::min(lowIn, r), lowOut = std::max(lowOut, r);
        if (v[2] > 2.1f)
            highIn = std::min(highIn, r), highOut = std::max(highOut, r);
    }
    EXPECT_NEAR((lowIn + lowOut) / 2, 1.75f, 0.02f) << "the lower torus rings at 1.75";
    EXPECT_NEAR((highIn + highOut) / 2, 1.25f, 0.02f) << "the upper torus rings at 1.25";
    const Extent shaft = ExtentOf(Vertices(demo::COLONNA));
    EXPECT_NEAR(shaft.low[2], 0, kTolerance);
    EXPECT_NEAR(shaft.high[2], 20, kTolerance);
    EXPECT_NEAR(shaft.high[0], 1.5f, 0.01f);
}

TEST(SceneLists, LeaveTheMatricesAndTheMatrixModeAsTheyFoundThem) {
    EnsureScene();
    for (const std::uint32_t list : {demo::BASE, demo::CAPITELLO, demo::COLONNA}) {
        SCOPED_TRACE(list);
        glMatrixMode(GL_TEXTURE);
        glLoadIdentity();
        glTranslatef(0.25f, 0.5f, 0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glTranslatef(1, 2, -30);
        glRotatef(33, 0, 1, 0);
        const Matrix modelview = GlMatrix(GL_MODELVIEW_MATRIX), texture = GlMatrix(GL_TEXTURE_MATRIX);
        const GLint modelviewDepth = GetInt(GL_MODELVIEW_STACK_DEPTH), textureDepth = GetInt(GL_TEXTURE_STACK_DEPTH);
        glCallList(list);
        EXPECT_EQ(GetInt(GL_MATRIX_MODE), GL_MODELVIEW);
        ExpectMatrix(GlMatrix(GL_MODELVIEW_MATRIX), modelview, "modelview");
        ExpectMatrix(GlMatrix(GL_TEXTURE_MATRIX), texture, "texture");
        EXPECT_EQ(GetInt(GL_MODELVIEW_STACK_DEPTH), modelviewDepth);
        EXPECT_EQ(GetInt(GL_TEXTURE_STACK_DEPTH), textureDepth);
    }
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
}

// The deepest the stacks go in a frame: with exactly ROOM free places left a frame fits, with one
// less the GL reports an overflow. Either way the frame ends at the depth it started from.
TEST(SceneFrame, UsesAtMostFiveModelviewAndOneTextureMatrixPushes) {
    EnsureScene();
    demo::OPENGL_DRAW();
    while (glGetError() != GL_NO_ERROR) {
    }
    struct Stack {
        GLenum mode, depth, maximum;
        int room;
    };
    for (const Stack& stack : {Stack{GL_MODELVIEW, GL_MODELVIEW_STACK_DEPTH, GL_MAX_MODELVIEW_STACK_DEPTH, 5},
                               Stack{GL_TEXTURE, GL_TEXTURE_STACK_DEPTH, GL_MAX_TEXTURE_STACK_DEPTH, 1}}) {
        for (const int room : {stack.room, stack.room - 1}) {
            SCOPED_TRACE(testing::Message() << "stack " << stack.mode << ", room " << room);
            glMatrixMode(stack.mode);
            const GLint before = GetInt(stack.depth);
            const int filled = GetInt(stack.maximum) - room - before;
            for (int i = 0; i < filled; ++i)
                glPushMatrix();
            glMatrixMode(GL_MODELVIEW);
            while (glGetError() != GL_NO_ERROR) {
            }
            demo::OPENGL_DRAW();
            const GLenum error = glGetError();
            glMatrixMode(stack.mode);
            const GLint after = GetInt(stack.depth) - filled;
            // A failed push makes its pop take one matrix too many; back to where the test began.
            while (GetInt(stack.depth) > before)
                glPopMatrix();
            glMatrixMode(GL_MODELVIEW);
            while (glGetError() != GL_NO_ERROR) {
            }
            if (room == stack.room) {
                EXPECT_EQ(error, static_cast<GLenum>(GL_NO_ERROR));
                EXPECT_EQ(after, before);
            } else {
                EXPECT_EQ(error, static_cast<GLenum>(GL_STACK_OVERFLOW)) << "the frame never needed its last place";
            }
        }
    }
}

// Texturing as the recorded frame switches it, starting from the state the previous frame left: off
// for every primitive the frame draws itself (light markers, floor, wall), on where each column starts.
TEST(SceneFrame, TexturingIsOffForFloorAndWallAndOnForEveryColumn) {
    EnsureScene();
    const std::vector<std::function<void()>> before = {[] { glEnable(GL_TEXTURE_2D); },
                                                       [] { glDisable(GL_TEXTURE_2D); }, [] { demo::OPENGL_DRAW(); }};
    for (std::size_t b = 0; b < before.size(); ++b) {
        SCOPED_TRACE(testing::Message() << "previous state " << b);
        before[b]();
        bool texturing = glIsEnabled(GL_TEXTURE_2D);
        glrecorder::Start();
        demo::OPENGL_DRAW();
        const auto calls = glrecorder::Stop();
        std::vector<bool> atQuads, atColumns;
        bool columnsStarted = false;
        for (const auto& call : calls) {
            if ((call.name == "glEnable" || call.name == "glDisable") && call.args[0] == GL_TEXTURE_2D)
                texturing = call.name == "glEnable";
            else if (call.name == "glBegin" && call.args[0] != GL_POINTS && !columnsStarted)
                atQuads.push_back(texturing);
            else if (call.name == "glTranslatef" && call.args[1] == 0 && call.args[2] == 0 &&
                     (std::fabs(call.args[0]) == 5 || std::fabs(call.args[0]) == 15)) {
                atColumns.push_back(texturing);
                columnsStarted = true;
            }
        }
        ASSERT_FALSE(atQuads.empty()) << "the floor and wall were not drawn in immediate mode";
        EXPECT_EQ(std::count(atQuads.begin(), atQuads.end(), true), 0) << "floor or wall textured";
        EXPECT_EQ(atColumns, std::vector<bool>(4, true));
    }
}

TEST(SceneFrame, LeavesTheStateTheNextFrameBuildsOn) {
    EnsureScene();
    XROT = YROT = DEPTH = 0;
    demo::OPENGL_DRAW();
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(static_cast<GLuint>(GetInt(GL_TEXTURE_BINDING_2D)), TEXTUREID2[demo::T_BASE]);
    EXPECT_TRUE(glIsEnabled(GL_FOG));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_EQ(GetInt(GL_BLEND_SRC), GL_SRC_COLOR);
    EXPECT_EQ(GetInt(GL_BLEND_DST), GL_ONE);
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_EQ(GetInt(GL_MATRIX_MODE), GL_MODELVIEW);
    std::array<float, 4> fog{};
    glGetFloatv(GL_FOG_COLOR, fog.data());
    EXPECT_FLOAT_EQ(fog[0], 0.65f);
    EXPECT_FLOAT_EQ(fog[3], 0.0f);
    // The camera: 40 ahead, 12 down, z turned upright; the navigation at rest adds nothing.
    ExpectMatrix(GlMatrix(GL_MODELVIEW_MATRIX),
                 testsupport::Product(testsupport::Translation(0, -12, -40), testsupport::Rotation(90, {-1, 0, 0})),
                 "camera");
    EXPECT_EQ(MSPEED, 2);
}
