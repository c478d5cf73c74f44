// Outline text: glyphs of the matched face drawn from their display lists, their depth and faces,
// their metrics, the bookkeeping of the 256 list names, and the curve flattening they are made of.
#include <nembra/nembra.h>

#include "nembra/platform/outline.h"
#include "nembra/platform/win.h"

#include "glwindow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

using namespace nembra;

namespace {

// The window is kSize pixels square and shows ems -1..1 in x and y, z from 1 (near) to -1 (far).
constexpr int kSize = 256;
constexpr double kPixelsPerEm = kSize / 2.0;

void EnsureWindow() { testsupport::EnsureGlWindow("Nembra text test", kSize, kSize); }

// The pixel row or column holding an em coordinate of the view.
int PixelOf(double em) { return static_cast<int>(std::floor((em + 1.0) * kPixelsPerEm)); }

struct Box {
    int left = kSize, bottom = kSize, right = -1, top = -1; // inclusive; empty while right < left
    bool empty() const { return right < left; }
};

// The red channel of a frame, bottom row first.
struct Frame {
    std::vector<std::uint8_t> red;
    std::uint8_t at(int x, int y) const { return red[static_cast<std::size_t>(y * kSize + x)]; }
    bool filled(int x, int y) const { return at(x, y) > 127; }
    int count() const {
        int n = 0;
        for (std::uint8_t v : red)
            n += v > 127;
        return n;
    }
    Box box() const {
        Box b;
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x)
                if (filled(x, y)) {
                    b.left = std::min(b.left, x);
                    b.right = std::max(b.right, x);
                    b.bottom = std::min(b.bottom, y);
                    b.top = std::max(b.top, y);
                }
        return b;
    }
    // Mean column of the filled pixels of a row.
    double rowCentre(int y) const {
        double sum = 0;
        int n = 0;
        for (int x = 0; x < kSize; ++x)
            if (filled(x, y)) {
                sum += x;
                ++n;
            }
        return n ? sum / n : -1;
    }
};

// A polygon as feedback mode reports it: window x, y and eye-space z.
using Polygon = std::vector<std::array<double, 3>>;

class Text : public testing::Test {
protected:
    void SetUp() override {
        EnsureWindow();
        glViewport(0, 0, kSize, kSize);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-1, 1, -1, 1, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_LIGHTING);
        glDisable(GL_CULL_FACE);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_BLEND);
        glClearColor(0, 0, 0, 1);
        glColor3f(1, 1, 1);
    }

    static Frame Render(const std::function<void()>& draw) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glPushMatrix();
        draw();
        glPopMatrix();
        glFinish();
        std::vector<std::uint8_t> rgba(kSize * kSize * 4);
        glReadPixels(0, 0, kSize, kSize, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        Frame frame;
        frame.red.resize(kSize * kSize);
        for (std::size_t i = 0; i < frame.red.size(); ++i)
            frame.red[i] = rgba[i * 4];
        return frame;
    }

    static std::vector<Polygon> Feedback(const std::function<void()>& draw) {
        std::vector<GLfloat> buffer(1 << 20);
        glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D, buffer.data());
        glRenderMode(GL_FEEDBACK);
        glPushMatrix();
        draw();
        glPopMatrix();
        const GLint used = glRenderMode(GL_RENDER);
        EXPECT_GE(used, 0) << "feedback buffer overflow";
        std::vector<Polygon> polygons;
        for (GLint i = 0; i < used;) {
            const auto token = static_cast<GLint>(buffer[i++]);
            if (token == GL_POLYGON_TOKEN) {
                Polygon polygon(static_cast<std::size_t>(buffer[i++]));
                for (auto& v : polygon) {
                    // glOrtho(..., -1, 1) maps eye z to window depth (1 - z) / 2.
                    v = {buffer[i], buffer[i + 1], 1.0 - 2.0 * buffer[i + 2]};
                    i += 3;
                }
                polygons.push_back(polygon);
            } else if (token == GL_PASS_THROUGH_TOKEN) {
                i += 1;
            } else if (token == GL_POINT_TOKEN || token == GL_BITMAP_TOKEN || token == GL_DRAW_PIXEL_TOKEN ||
                       token == GL_COPY_PIXEL_TOKEN) {
                i += 3;
            } else {
                i += 6; // a line
            }
        }
        return polygons;
    }

    // Moves the pen so that the black box of `code` sits in the middle of the view.
    static void CentreOn(int code) {
        const GLYPHMETRICSFLOAT& m = GMF[code];
        glTranslated(-(m.gmfptGlyphOrigin.x + m.gmfBlackBoxX / 2), -(m.gmfptGlyphOrigin.y - m.gmfBlackBoxY / 2), 0);
    }

    static void DrawCentred(int code) {
        CentreOn(code);
        glCallList(BASE + code);
    }

    // The filled pixels of a centred glyph cover exactly its black box.
    static void ExpectPixelsFillBlackBox(const Frame& frame, int code) {
        const GLYPHMETRICSFLOAT& m = GMF[code];
        const Box box = frame.box();
        ASSERT_FALSE(box.empty());
        EXPECT_NEAR(box.left, PixelOf(-m.gmfBlackBoxX / 2), 1);
        EXPECT_NEAR(box.right, PixelOf(m.gmfBlackBoxX / 2), 1);
        EXPECT_NEAR(box.bottom, PixelOf(-m.gmfBlackBoxY / 2), 1);
        EXPECT_NEAR(box.top, PixelOf(m.gmfBlackBoxY / 2), 1);
    }
};

// --- Shapes ---

// A point of a glyph's black box (0..1 across, 0..1 up) and whether it is inside the letter.
struct Probe {
    double across, up;
    bool inside;
};

struct ShapeCase {
    const char* name;
    int code;
    std::vector<Probe> probes;
};

class GlyphShape : public Text, public testing::WithParamInterface<ShapeCase> {};

} // namespace

TEST_P(GlyphShape, FillsTheLetterAndKeepsItsHoles) {
    INITTEXT(0, 0, 0, 0);
    const int code = GetParam().code;
    const Frame frame = Render([&] { DrawCentred(code); });
    ExpectPixelsFillBlackBox(frame, code);
    const GLYPHMETRICSFLOAT& m = GMF[code];
    for (const Probe& probe : GetParam().probes) {
        const int x = PixelOf((probe.across - 0.5) * m.gmfBlackBoxX);
        const int y = PixelOf((probe.up - 0.5) * m.gmfBlackBoxY);
        EXPECT_EQ(frame.filled(x, y), probe.inside) << "at " << probe.across << ", " << probe.up;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Letters, GlyphShape,
    testing::Values(
        // Between the legs of A is open; its feet and apex are ink.
        ShapeCase{"A", 'A', {{0.5, 0.03, false}, {0.05, 0.03, true}, {0.95, 0.03, true}, {0.5, 0.97, true}}},
        // The counter of O stays empty inside its stroke; the box corners are outside the round.
        ShapeCase{"O",
                  'O',
                  {{0.5, 0.5, false},
                   {0.04, 0.5, true},
                   {0.96, 0.5, true},
                   {0.5, 0.03, true},
                   {0.5, 0.97, true},
                   {0.03, 0.03, false}}},
        // The euro sign comes through the ANSI code 0x80.
        ShapeCase{"Euro", 0x80, {{0.97, 0.5, false}, {0.5, 0.03, true}}}),
    [](const testing::TestParamInfo<ShapeCase>& info) { return info.param.name; });

TEST_F(Text, ConsecutiveListsSetLettersSideBySide) {
    INITTEXT(0, 0, 0, 0);
    const double start = -(GMF['A'].gmfCellIncX + GMF['V'].gmfCellIncX) / 2;
    const auto pen = [&] { glTranslated(start, -0.35, 0); };
    const Frame a = Render([&] {
        pen();
        glCallList(BASE + 'A');
    });
    const Frame v = Render([&] {
        pen();
        glTranslatef(GMF['A'].gmfCellIncX, 0, 0);
        glCallList(BASE + 'V');
    });
    const Frame both = Render([&] {
        pen();
        glCallList(BASE + 'A');
        glCallList(BASE + 'V');
    });
    ASSERT_GT(a.count(), 0);
    ASSERT_GT(v.count(), 0);
    int overlap = 0, mismatched = 0;
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            overlap += a.filled(x, y) && v.filled(x, y);
            mismatched += both.filled(x, y) != (a.filled(x, y) || v.filled(x, y));
        }
    EXPECT_EQ(overlap, 0);
    EXPECT_EQ(mismatched, 0); // the A list moved the pen by exactly its cell increment
}

// --- Depth and faces ---

namespace {

class Extrusion : public Text, public testing::WithParamInterface<float> {};

} // namespace

TEST_P(Extrusion, SpansTheDepthWithWallsBetweenTheFaces) {
    const float depth = GetParam();
    INITTEXT(depth, 0, 0, 0);
    // An oblique view keeps eye z equal to the glyph's z and gives the walls an area to report.
    const GLdouble oblique[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0.5, 0.3, 1, 0, 0, 0, 0, 1};
    const std::vector<Polygon> polygons = Feedback([&] {
        glMultMatrixd(oblique);
        DrawCentred('O');
    });
    ASSERT_FALSE(polygons.empty());
    double nearest = -HUGE_VAL, farthest = HUGE_VAL;
    int front = 0, back = 0, walls = 0;
    for (const Polygon& polygon : polygons) {
        bool atFront = false, atBack = false;
        for (const auto& v : polygon) {
            nearest = std::max(nearest, v[2]);
            farthest = std::min(farthest, v[2]);
            atFront |= std::abs(v[2]) < 1e-4;
            atBack |= std::abs(v[2] + depth) < 1e-4;
        }
        if (atFront && atBack && depth > 0)
            ++walls;
        else if (atFront)
            ++front;
        else if (atBack)
            ++back;
    }
    EXPECT_NEAR(nearest, 0, 1e-4);
    EXPECT_NEAR(farthest, -depth, 1e-4);
    EXPECT_GT(front, 0);
    if (depth > 0) {
        EXPECT_EQ(back, front);
        EXPECT_GT(walls, 0);
    } else {
        EXPECT_EQ(walls, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, Extrusion, testing::Values(0.0f, 0.2f));

namespace {

// An extruded I seen from one side, lit head-on, with back faces culled: the surface facing the
// viewer is drawn and lit as much as its outward normal faces the light.
struct ViewCase {
    const char* name;
    float angle;
    float axisX, axisY;
    std::array<double, 3> point; // on the I: fractions of its black box across, up, and of the depth back
    double brightness;           // cosine between that surface's normal and the view
};

class FaceOrientation : public Text, public testing::WithParamInterface<ViewCase> {};

} // namespace

TEST_P(FaceOrientation, SurfaceTowardsTheViewerIsDrawnAndLit) {
    const float depth = 0.2f;
    INITTEXT(depth, 0, 0, 0);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    const GLfloat none[4] = {0, 0, 0, 1}, white[4] = {1, 1, 1, 1}, towardsViewer[4] = {0, 0, 1, 0};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, none);
    glLightfv(GL_LIGHT0, GL_AMBIENT, none);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
    glLightfv(GL_LIGHT0, GL_SPECULAR, none);
    glLightfv(GL_LIGHT0, GL_POSITION, towardsViewer);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, white);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, none);

    const ViewCase& view = GetParam();
    const GLYPHMETRICSFLOAT& m = GMF['I'];
    const double point[4] = {m.gmfptGlyphOrigin.x + view.point[0] * m.gmfBlackBoxX,
                             m.gmfptGlyphOrigin.y - m.gmfBlackBoxY + view.point[1] * m.gmfBlackBoxY,
                             -view.point[2] * depth, 1};
    GLdouble matrix[16];
    const auto place = [&] {
        glRotatef(view.angle, view.axisX, view.axisY, 0);
        glTranslated(-(m.gmfptGlyphOrigin.x + m.gmfBlackBoxX / 2), -(m.gmfptGlyphOrigin.y - m.gmfBlackBoxY / 2),
                     depth / 2);
        glGetDoublev(GL_MODELVIEW_MATRIX, matrix);
    };
    const Frame frame = Render([&] {
        place();
        glCallList(BASE + 'I');
    });
    double eye[2] = {};
    for (int row = 0; row < 2; ++row)
        for (int k = 0; k < 4; ++k)
            eye[row] += matrix[k * 4 + row] * point[k];
    EXPECT_NEAR(frame.at(PixelOf(eye[0]), PixelOf(eye[1])) / 255.0, view.brightness, 0.05);
}

INSTANTIATE_TEST_SUITE_P(Views, FaceOrientation,
                         testing::Values(ViewCase{"Front", 0, 0, 1, {0.5, 0.5, 0}, 1.0},
                                         ViewCase{"Behind", 180, 0, 1, {0.5, 0.5, 1}, 1.0},
                                         ViewCase{"RightWall", -60, 0, 1, {1, 0.5, 0.5}, std::sqrt(3) / 2},
                                         ViewCase{"LeftWall", 60, 0, 1, {0, 0.5, 0.5}, std::sqrt(3) / 2},
                                         ViewCase{"TopWall", 60, 1, 0, {0.5, 1, 0.5}, std::sqrt(3) / 2},
                                         ViewCase{"BottomWall", -60, 1, 0, {0.5, 0, 0.5}, std::sqrt(3) / 2}),
                         [](const testing::TestParamInfo<ViewCase>& info) { return info.param.name; });

// --- Metrics ---

TEST_F(Text, MetricsFollowTheGlyphs) {
    INITTEXT(0, 0, 0, 0);
    EXPECT_GT(GMF['W'].gmfCellIncX, GMF['i'].gmfCellIncX);
    EXPECT_GT(GMF['i'].gmfCellIncX, GMF['i'].gmfBlackBoxX);
    EXPECT_EQ(GMF['W'].gmfCellIncY, 0.0f);
    // The black box is measured from the baseline, y up: p rises above it and reaches below it.
    EXPECT_GT(GMF['p'].gmfptGlyphOrigin.y, 0.0f);
    EXPECT_LT(GMF['p'].gmfptGlyphOrigin.y - GMF['p'].gmfBlackBoxY, 0.0f);

    const GLYPHMETRICSFLOAT& space = GMF[' '];
    EXPECT_GT(space.gmfCellIncX, 0.0f);
    EXPECT_EQ(space.gmfBlackBoxX, 0.0f);
    EXPECT_EQ(space.gmfBlackBoxY, 0.0f);

    // A code the code page leaves undefined draws nothing but still takes room.
    const GLYPHMETRICSFLOAT& undefined = GMF[0x81];
    EXPECT_EQ(undefined.gmfBlackBoxX, 0.0f);
    EXPECT_GT(undefined.gmfCellIncX, 0.0f);
    EXPECT_TRUE(Feedback([] { glCallList(BASE + 0x81); }).empty());
}

TEST_F(Text, ListsMoveThePenByTheCellIncrement) {
    for (std::int32_t angle : {0, 900, 300}) {
        INITTEXT(0.2f, angle, 0, 0);
        for (int code : std::initializer_list<int>{'A', 'W', 'i', ' ', 0x80, 0x81, 0xFF}) {
            SCOPED_TRACE(testing::Message() << "angle " << angle << " code " << code);
            glLoadIdentity();
            glCallList(BASE + code);
            GLfloat matrix[16];
            glGetFloatv(GL_MODELVIEW_MATRIX, matrix);
            EXPECT_FLOAT_EQ(matrix[12], GMF[code].gmfCellIncX);
            EXPECT_FLOAT_EQ(matrix[13], GMF[code].gmfCellIncY);
            EXPECT_FLOAT_EQ(matrix[14], 0);
        }
    }
}

TEST_F(Text, TurnedFontRunsUpwards) {
    INITTEXT(0.2f, 0, 0, 0);
    const GLYPHMETRICSFLOAT upW = GMF['W'], upI = GMF['I'];
    INITTEXT(0.2f, 900, 0, 0);
    const GLYPHMETRICSFLOAT& w = GMF['W'];
    EXPECT_NEAR(w.gmfCellIncX, 0, 1e-5);
    EXPECT_NEAR(w.gmfCellIncY, upW.gmfCellIncX, 1e-5);

    // A quarter turn counter-clockwise takes (x, y) to (-y, x).
    const GLYPHMETRICSFLOAT& i = GMF['I'];
    EXPECT_GT(i.gmfBlackBoxX, i.gmfBlackBoxY);
    EXPECT_NEAR(i.gmfBlackBoxX, upI.gmfBlackBoxY, 1e-5);
    EXPECT_NEAR(i.gmfBlackBoxY, upI.gmfBlackBoxX, 1e-5);
    EXPECT_NEAR(i.gmfptGlyphOrigin.x, -upI.gmfptGlyphOrigin.y, 1e-5);
    EXPECT_NEAR(i.gmfptGlyphOrigin.y, upI.gmfptGlyphOrigin.x + upI.gmfBlackBoxX, 1e-5);
    ExpectPixelsFillBlackBox(Render([] { DrawCentred('I'); }), 'I');
}

// --- Italic and underline ---

namespace {

// A private font configuration holding one face. It must be in place before anything opens
// fontconfig, which holds as each test runs in a process of its own.
class OnlyFace {
public:
    explicit OnlyFace(const std::filesystem::path& file)
        : dir_(std::filesystem::temp_directory_path() / ("nembra-text-" + std::to_string(getpid()))) {
        std::filesystem::create_directories(dir_ / "fonts");
        std::filesystem::create_symlink(file, dir_ / "fonts" / file.filename());
        std::ofstream(dir_ / "fonts.conf")
            << "<?xml version=\"1.0\"?>\n<fontconfig><dir>" << (dir_ / "fonts").string() << "</dir><cachedir>"
            << (dir_ / "cache").string() << "</cachedir></fontconfig>\n";
        setenv("FONTCONFIG_FILE", (dir_ / "fonts.conf").c_str(), 1);
    }
    ~OnlyFace() { std::filesystem::remove_all(dir_); }
    OnlyFace(const OnlyFace&) = delete;
    OnlyFace& operator=(const OnlyFace&) = delete;

private:
    std::filesystem::path dir_;
};

constexpr const char* kBoldFace = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
constexpr const char* kRegularFace = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// Either the system's faces, or one upright bold face, so that italic can only come from the
// synthetic slant.
struct FaceSet {
    const char* name;
    const char* onlyFile; // nullptr: the system's faces
};

class Italic : public Text, public testing::WithParamInterface<FaceSet> {
protected:
    void SetUp() override {
        if (const char* file = GetParam().onlyFile) {
            if (!std::filesystem::exists(file))
                GTEST_SKIP() << file << " is not installed";
            faces_.emplace(file);
        }
        Text::SetUp();
    }

    // How far the middle of the I's top row lies right of the middle of its bottom row, per pixel of height.
    static double Lean() {
        const Frame frame = Render([] { DrawCentred('I'); });
        const Box box = frame.box();
        EXPECT_FALSE(box.empty());
        return (frame.rowCentre(box.top - 1) - frame.rowCentre(box.bottom + 1)) / (box.top - box.bottom - 2);
    }

private:
    std::optional<OnlyFace> faces_;
};

// Only a regular face: bold can only come from synthetic emboldening.
class RegularFaceOnly : public Text {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(kRegularFace))
            GTEST_SKIP() << kRegularFace << " is not installed";
        faces_.emplace(kRegularFace);
        Text::SetUp();
    }

private:
    std::optional<OnlyFace> faces_;
};

} // namespace

TEST_P(Italic, SlantsRightWhileUprightStaysUpright) {
    INITTEXT(0, 0, 0, 0);
    EXPECT_NEAR(Lean(), 0, 0.02);
    INITTEXT(0, 0, 1, 0);
    EXPECT_GT(Lean(), 0.1);
}

INSTANTIATE_TEST_SUITE_P(Faces, Italic,
                         testing::Values(FaceSet{"SystemFaces", nullptr}, FaceSet{"UprightFaceOnly", kBoldFace}),
                         [](const testing::TestParamInfo<FaceSet>& info) { return info.param.name; });

TEST_F(RegularFaceOnly, BoldIsEmboldenedFromTheRegularFace) {
    INITTEXT(0, 0, 0, 0);
    const GLYPHMETRICSFLOAT bold = GMF['I'];
    const HFONT regular = win::CreateFontA(-12, 0, 0, 0, win::FW_NORMAL, 0, 0, 0, win::ANSI_CHARSET, win::OUT_TT_PRECIS,
                                           win::CLIP_DEFAULT_PRECIS, win::ANTIALIASED_QUALITY, 0, nullptr);
    ASSERT_NE(regular, 0u);
    win::SelectObject(DCWINDOW, regular);
    std::vector<GLYPHMETRICSFLOAT> metrics(256);
    ASSERT_TRUE(
        win::wglUseFontOutlinesA(DCWINDOW, 0, 256, glGenLists(256), 0, 0, win::WGL_FONT_POLYGONS, metrics.data()));
    EXPECT_GT(bold.gmfBlackBoxX, metrics['I'].gmfBlackBoxX);
    EXPECT_GT(bold.gmfCellIncX, metrics['I'].gmfCellIncX);
}

TEST_F(Text, UnderlineRunsAcrossTheAdvanceBelowTheBaseline) {
    // p's stem crosses the bar, so a bar wound against the glyph would cut a gap there.
    const auto draw = [] {
        glTranslated(-0.4, 0, 0);
        glCallList(BASE + 'p');
    };
    INITTEXT(0, 0, 0, 0);
    const Frame plain = Render(draw);
    const float advance = GMF['p'].gmfCellIncX;
    INITTEXT(0, 0, 0, 1);
    const Frame underlined = Render(draw);
    EXPECT_FLOAT_EQ(GMF['p'].gmfCellIncX, advance);

    const int baseline = PixelOf(0), first = PixelOf(-0.4) + 1, last = PixelOf(-0.4 + advance) - 1;
    const auto fullRow = [&](const Frame& frame, int y) {
        for (int x = first; x <= last; ++x)
            if (!frame.filled(x, y))
                return false;
        return true;
    };
    int plainRows = 0, underlinedRows = 0;
    for (int y = 0; y < baseline; ++y) {
        plainRows += fullRow(plain, y);
        underlinedRows += fullRow(underlined, y);
    }
    EXPECT_EQ(plainRows, 0);
    EXPECT_GT(underlinedRows, 0);
    // Above the baseline the letter is the same: underline changes nothing else, the weight included.
    int differing = 0;
    for (int y = baseline + 1; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x)
            differing += plain.filled(x, y) != underlined.filled(x, y);
    EXPECT_EQ(differing, 0);
}

// --- List names ---

TEST_F(Text, LastNameIsReservedButEmptyAndDeletionFreesAll) {
    GMF[255].gmfCellIncX = 42;
    INITTEXT(0, 0, 0, 0);
    ASSERT_NE(BASE, 0u);
    EXPECT_EQ(GMF[255].gmfCellIncX, 42);
    // glGenLists makes every name it hands out a list; only codes 0..254 were compiled.
    EXPECT_TRUE(glIsList(BASE + 255));
    EXPECT_TRUE(Feedback([] { glCallList(BASE + 255); }).empty());
    EXPECT_FALSE(Feedback([] { glCallList(BASE + 254); }).empty());
    glLoadIdentity();
    glCallList(BASE + 255);
    GLfloat matrix[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, matrix);
    EXPECT_EQ(matrix[12], 0);
    const GLuint next = glGenLists(1);
    EXPECT_TRUE(next < BASE || next > BASE + 255) << next;

    DELETEGLTEXT();
    for (GLuint name = BASE; name < BASE + 256; ++name)
        EXPECT_FALSE(glIsList(name)) << name;
}

TEST_F(Text, SecondInitTakesNewNamesAndKeepsTheOldLists) {
    INITTEXT(0, 0, 0, 0);
    const GLuint first = BASE;
    INITTEXT(0.2f, 0, 0, 0);
    EXPECT_TRUE(BASE >= first + 256 || BASE + 256 <= first);
    EXPECT_TRUE(glIsList(first + 'A'));
    EXPECT_FALSE(Feedback([&] { glCallList(first + 'A'); }).empty());
}

TEST_F(Text, DeleteBeforeAnyFontLeavesOtherListsAlone) {
    ASSERT_EQ(BASE, 0u);
    const GLuint other = glGenLists(1);
    ASSERT_LT(other, 256u); // inside the range a delete from BASE 0 would take
    glNewList(other, GL_COMPILE);
    glEndList();
    DELETEGLTEXT();
    EXPECT_TRUE(glIsList(other));
}

namespace {

struct NegativeFlag {
    std::int32_t ital, gras;
    const char* message;
};

class NegativeFlags : public Text, public testing::WithParamInterface<NegativeFlag> {};

} // namespace

TEST_P(NegativeFlags, StopWithTheRangeCheck) {
    EXPECT_EXIT(INITTEXT(0, 0, GetParam().ital, GetParam().gras), testing::ExitedWithCode(201), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(Flags, NegativeFlags,
                         testing::Values(NegativeFlag{-1, 0, "range check error: ITAL\\[-1\\]"},
                                         NegativeFlag{0, -5, "range check error: GRAS\\[-5\\]"}));

// --- Curve flattening ---

namespace {

namespace outline = win::outline;
using outline::Vec2;

struct Curve {
    const char* name;
    std::vector<Vec2> points; // three for a conic, four for a cubic
};

Vec2 PointAt(const Curve& curve, double t) {
    const auto& p = curve.points;
    const double s = 1 - t;
    if (p.size() == 3)
        return {s * s * p[0].x + 2 * s * t * p[1].x + t * t * p[2].x,
                s * s * p[0].y + 2 * s * t * p[1].y + t * t * p[2].y};
    return {s * s * s * p[0].x + 3 * s * s * t * p[1].x + 3 * s * t * t * p[2].x + t * t * t * p[3].x,
            s * s * s * p[0].y + 3 * s * s * t * p[1].y + 3 * s * t * t * p[2].y + t * t * t * p[3].y};
}

std::vector<Vec2> Flatten(const Curve& curve, double tolerance) {
    std::vector<Vec2> out{curve.points.front()};
    const auto& p = curve.points;
    if (p.size() == 3)
        outline::FlattenConic(p[0], p[1], p[2], tolerance, out);
    else
        outline::FlattenCubic(p[0], p[1], p[2], p[3], tolerance, out);
    return out;
}

double DistanceToSegment(Vec2 q, Vec2 a, Vec2 b) {
    const double dx = b.x - a.x, dy = b.y - a.y, length2 = dx * dx + dy * dy;
    const double t = length2 > 0 ? std::clamp(((q.x - a.x) * dx + (q.y - a.y) * dy) / length2, 0.0, 1.0) : 0.0;
    return std::hypot(q.x - (a.x + t * dx), q.y - (a.y + t * dy));
}

double DistanceToPolyline(Vec2 q, const std::vector<Vec2>& line) {
    double best = HUGE_VAL;
    for (std::size_t i = 0; i + 1 < line.size(); ++i)
        best = std::min(best, DistanceToSegment(q, line[i], line[i + 1]));
    return best;
}

class Flattening : public testing::TestWithParam<Curve> {};

} // namespace

TEST_P(Flattening, StaysWithinTheToleranceAndEndsOnTheCurve) {
    const Curve& curve = GetParam();
    std::size_t coarser = 0;
    for (double tolerance : {0.05, 0.01, 0.001}) {
        SCOPED_TRACE(tolerance);
        const std::vector<Vec2> line = Flatten(curve, tolerance);
        ASSERT_GE(line.size(), 2u);
        EXPECT_EQ(line.back().x, curve.points.back().x);
        EXPECT_EQ(line.back().y, curve.points.back().y);
        EXPECT_GE(line.size(), coarser);
        coarser = line.size();
        // Every point of the curve is near the line, and every point of the line near the curve.
        std::vector<Vec2> dense;
        for (int k = 0; k <= 4000; ++k)
            dense.push_back(PointAt(curve, k / 4000.0));
        double worst = 0;
        for (const Vec2& q : dense)
            worst = std::max(worst, DistanceToPolyline(q, line));
        for (std::size_t i = 0; i + 1 < line.size(); ++i)
            for (double f : {0.0, 0.25, 0.5, 0.75}) {
                const Vec2 q{line[i].x + f * (line[i + 1].x - line[i].x), line[i].y + f * (line[i + 1].y - line[i].y)};
                worst = std::max(worst, DistanceToPolyline(q, dense));
            }
        EXPECT_LE(worst, tolerance + 1e-5); // the dense samples stand in for the curve
    }
}

TEST_P(Flattening, ZeroToleranceStopsAtTheDepthLimit) {
    const std::vector<Vec2> line = Flatten(GetParam(), 0);
    EXPECT_LE(line.size() - 1, std::size_t{1} << outline::kMaxSubdivisionDepth);
    EXPECT_EQ(line.back().x, GetParam().points.back().x);
    EXPECT_EQ(line.back().y, GetParam().points.back().y);
}

INSTANTIATE_TEST_SUITE_P(Curves, Flattening,
                         testing::Values(Curve{"ConicArc", {{0, 0}, {0.5, 1}, {1, 0}}},
                                         Curve{"ConicStraight", {{0, 0}, {0.4, 0}, {1, 0}}},
                                         Curve{"CubicS", {{0, 0}, {0.3, 1}, {0.7, -1}, {1, 0}}},
                                         Curve{"CubicLoop", {{0, 0}, {1.2, 1}, {-0.2, 1}, {1, 0}}},
                                         Curve{"CubicCusp", {{0, 0}, {1, 1}, {0, 1}, {1, 0}}}),
                         [](const testing::TestParamInfo<Curve>& info) { return info.param.name; });

TEST(Cp1252, HighCodesMapToTheirCharactersAndTheUndefinedToNone) {
    struct Case {
        std::uint32_t code;
        std::optional<char32_t> character;
    };
    for (const Case& c :
         {Case{'A', U'A'}, Case{0x7F, U'\x7F'}, Case{0x80, U'\u20AC'}, Case{0x81, std::nullopt}, Case{0x8A, U'\u0160'},
          Case{0x8D, std::nullopt}, Case{0x8F, std::nullopt}, Case{0x90, std::nullopt}, Case{0x99, U'\u2122'},
          Case{0x9D, std::nullopt}, Case{0x9F, U'\u0178'}, Case{0xA0, U'\u00A0'}, Case{0xFF, U'\u00FF'},
          Case{0x100, std::nullopt}})
        EXPECT_EQ(outline::Cp1252ToUnicode(c.code), c.character) << std::hex << c.code;
}
