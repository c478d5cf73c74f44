// The bump-map and cartoon effects: their passes, the pixels they leave, and the GL state after them.
#include <nembra/nembra.h>
#include <nembra/window/internal.h>

#include "bmpfile.h"
#include "glrecorder.h"
#include "glwindow.h"
#include "tempdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

using namespace nembra;

namespace {

constexpr int kSide = 200; // the window: 200 x 200 client pixels (no window manager under Xvfb)

void EnsureWindow() { testsupport::EnsureGlWindow("Nembra effects test", kSide, kSide); }

using Rgb = std::array<float, 3>;

// A uniform picture of the given colour (components 0..255) as a 4 x 4 BMP file.
std::string UniformBmp(const std::string& name, std::array<int, 3> rgb) {
    const std::string path = testsupport::TempDir() / name;
    const std::uint32_t colour = static_cast<std::uint32_t>(rgb[0] << 16 | rgb[1] << 8 | rgb[2]);
    testsupport::WriteFile(path,
                           testsupport::BmpFile{.width = 4,
                                                .height = 4,
                                                .pixels = testsupport::Rows24(4, 4, [&](int, int) { return colour; })}
                               .Build());
    return path;
}

Rgb Bytes(std::array<int, 3> rgb) { return {rgb[0] / 255.0f, rgb[1] / 255.0f, rgb[2] / 255.0f}; }

Rgb Pixel(int x, int y) {
    GLubyte p[4] = {};
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return {p[0] / 255.0f, p[1] / 255.0f, p[2] / 255.0f};
}

void ExpectColour(const Rgb& actual, const Rgb& expected, float tolerance, const std::string& what) {
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(actual[c], expected[c], tolerance) << what << ", channel " << c;
}

float Clamp01(float v) { return std::clamp(v, 0.0f, 1.0f); }

// A square filling the view under identity matrices, at depth 0, with texture coordinates.
GLuint ScreenQuadList() {
    const GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    glBegin(GL_QUADS);
    glNormal3f(0, 0, 1);
    glTexCoord2f(0, 0);
    glVertex3f(-1, -1, 0);
    glTexCoord2f(1, 0);
    glVertex3f(1, -1, 0);
    glTexCoord2f(1, 1);
    glVertex3f(1, 1, 0);
    glTexCoord2f(0, 1);
    glVertex3f(-1, 1, 0);
    glEnd();
    glEndList();
    return list;
}

// The program's set-up: perspective view with the GL_LEQUAL depth test, back-face culling, a light
// shining along the view direction, texturing on; then a cleared frame.
void ProgramState() {
    EnsureWindow();
    OPENGL_INIT(100, 1, 0.2, 0.3, 0.4);
    SETGLREFRACTIVE();
    SETGLLIGHT(GL_LIGHT0, 0, 0, 1, 0);
    TEXTUREON();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

// ---------------------------------------------------------------------------------------------------
// Bump map: the arithmetic of the two passes against a model of it, with and without the combiner.
// ---------------------------------------------------------------------------------------------------

struct BumpCase {
    const char* name;
    Rgb lit;                   // the primary colour of both passes (lighting off, so exactly this)
    std::array<int, 3> colour; // the colour image's texel
    std::array<int, 3> bump;   // the bump image's texel; pass 1 is lit x bump under GL_MODULATE
};

// Pass 2's fragment is (1 - lit) + (1 - texel) - 0.5 with the combiner and the texel itself without
// it; the blend doubles it onto pass 1.
Rgb BumpModel(const BumpCase& c, bool combine) {
    const Rgb texel = Bytes(c.colour);
    const Rgb bump = Bytes(c.bump);
    Rgb out{};
    for (int i = 0; i < 3; ++i) {
        const float pass1 = c.lit[i] * bump[i];
        const float fragment = combine ? Clamp01(1.5f - c.lit[i] - texel[i]) : texel[i];
        out[i] = Clamp01(2.0f * fragment * pass1);
    }
    return out;
}

const BumpCase kBumpCases[] = {
    {"WhiteLightQuarterTexelHalvesPassOne", {1, 1, 1}, {64, 64, 64}, {200, 120, 60}},
    {"HalfOrMoreTexelGivesBlack", {1, 1, 1}, {128, 200, 255}, {255, 255, 255}},
    {"ChannelsStayApart", {1, 1, 1}, {64, 0, 128}, {180, 90, 250}},
    {"DimLightSaturatesTheFragment", {0.2f, 0.4f, 0.6f}, {25, 51, 76}, {128, 255, 64}},
    {"HalfLight", {0.5f, 0.5f, 0.5f}, {64, 0, 128}, {255, 255, 255}},
};

void RunBumpCases(bool combine) {
    EnsureWindow();
    OPENGL_INIT(100, 1, 0, 0, 0);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    const GLuint quad = ScreenQuadList();
    int slot = 10;
    for (const BumpCase& c : kBumpCases) {
        const std::string name = c.name;
        INITFX_TEXTUREBUMPMAP(UniformBmp(name + "-bump.bmp", c.bump).c_str(),
                              UniformBmp(name + "-colour.bmp", c.colour).c_str(), slot);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glColor3f(c.lit[0], c.lit[1], c.lit[2]);
        FX_TEXTUREBUMPMAP(0, 0, 0, quad, slot);
        ExpectColour(Pixel(kSide / 2, kSide / 2), BumpModel(c, combine), 3.0f / 255, name);
        ++slot;
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(BumpMap, PassesMatchTheCombinerModel) {
    EnsureWindow();
    ASSERT_TRUE(HAVECOMBINE()) << "Mesa offers the combine environment";
    RunBumpCases(true);
}

// Told that the GL has no combiner, the effect sends none of its settings (a GL without it would
// refuse them) and the colour image is multiplied onto pass 1 as it is.
TEST(BumpMap, WithoutTheCombinerTheColourImageIsDoubledOntoPassOne) {
    EnsureWindow();
    HAVECOMBINE(); // the record now belongs to this context
    GLCAPS.combine = false;
    RunBumpCases(false);
    GLint mode = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_COMBINE_RGB, &mode);
    EXPECT_EQ(mode, GL_MODULATE) << "the combiner keeps its initial function";
}

TEST(BumpMap, CombinerDecisionFromVersionAndExtensions) {
    struct Case {
        const char* version;
        const char* extensions;
        bool offered;
    };
    const Case cases[] = {
        {"1.1 Mesa 5.0", "GL_ARB_multitexture GL_EXT_texture_env_add", false},
        {"1.2.1", "GL_ARB_multitexture GL_ARB_texture_env_combine", true},
        {"1.2", "GL_EXT_texture_env_combine", true},
        {"1.2", "GL_ARB_texture_env_combine_plus GL_XGL_texture_env_combine", false}, // whole names only
        {"1.3", nullptr, true},
        {"2.1 Mesa 22.3.6", "", true},
        {"4.5 (Compatibility Profile) Mesa 22.3.6", "", true},
        {"10.0", "", true},
        {"OpenGL ES 2.0", "", false},
        {nullptr, nullptr, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(OFFERSCOMBINE(c.version, c.extensions), c.offered)
            << (c.version ? c.version : "(null)") << " / " << (c.extensions ? c.extensions : "(null)");
}

struct TexImage {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb;
};

TexImage BoundImage() {
    TexImage image;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &image.width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &image.height);
    image.rgb.resize(static_cast<std::size_t>(image.width * image.height * 3));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, image.rgb.data());
    return image;
}

GLint BoundTexture() {
    GLint name = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
    return name;
}

TEST(BumpMap, LoadFillsBothSlotTablesAndLeavesTheUnpackStateAlone) {
    EnsureWindow();
    TEXTUREOFF();
    glPixelStorei(GL_UNPACK_ALIGNMENT, 8); // 8 x 8 pixels: 24-byte rows suit it
    const std::string bump = testsupport::TempDir() / "load-bump.bmp";
    const std::string colour = testsupport::TempDir() / "load-colour.bmp";
    testsupport::WriteFile(
        bump,
        testsupport::BmpFile{.width = 8,
                             .height = 8,
                             .pixels = testsupport::Rows24(
                                 8, 8, [](int x, int y) { return static_cast<std::uint32_t>(x * 30 << 16 | y * 30); })}
            .Build());
    testsupport::WriteFile(
        colour,
        testsupport::BmpFile{.width = 8,
                             .height = 8,
                             .pixels = testsupport::Rows24(
                                 8, 8, [](int, int y) { return static_cast<std::uint32_t>(y * 31 << 8 | 0x40); })}
            .Build());
    INITFX_TEXTUREBUMPMAP(bump.c_str(), colour.c_str(), 3);

    const GLuint bumpName = TEXTUREBUMPMAP[3];
    const GLuint colourName = TEXTUREBUMPMAP2[3];
    ASSERT_NE(bumpName, 0u);
    ASSERT_NE(colourName, 0u);
    EXPECT_NE(bumpName, colourName);
    EXPECT_EQ(TEXTUREID2[3], 0u) << "the general slots are a table of their own";
    EXPECT_EQ(BoundTexture(), static_cast<GLint>(colourName));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    GLint alignment = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 8);

    // Texture row 0 is the picture's bottom row (y = 7 counted from the top).
    const TexImage colourImage = BoundImage();
    ASSERT_EQ(colourImage.width, 8);
    EXPECT_EQ(colourImage.rgb[0], 0);
    EXPECT_EQ(colourImage.rgb[1], 7 * 31);
    EXPECT_EQ(colourImage.rgb[2], 0x40);
    glBindTexture(GL_TEXTURE_2D, bumpName);
    const TexImage bumpImage = BoundImage();
    ASSERT_EQ(bumpImage.width, 8);
    const std::size_t lastPixel = (7 * 8 + 7) * 3; // x = 7 on the top row
    EXPECT_EQ(bumpImage.rgb[lastPixel], 7 * 30);
    EXPECT_EQ(bumpImage.rgb[lastPixel + 2], 0);

    // Loading again makes two new textures and keeps the old ones.
    INITFX_TEXTUREBUMPMAP(bump.c_str(), colour.c_str(), 3);
    EXPECT_NE(TEXTUREBUMPMAP[3], bumpName);
    EXPECT_NE(TEXTUREBUMPMAP2[3], colourName);
    EXPECT_TRUE(glIsTexture(bumpName) && glIsTexture(colourName));

    // A bump image that cannot be read leaves its slot as it was; the colour image still loads.
    const GLuint kept = TEXTUREBUMPMAP[3];
    INITFX_TEXTUREBUMPMAP((testsupport::TempDir() / "missing.bmp").c_str(), colour.c_str(), 3);
    EXPECT_EQ(TEXTUREBUMPMAP[3], kept);
    EXPECT_EQ(BoundTexture(), static_cast<GLint>(TEXTUREBUMPMAP2[3]));
}

// The passes and their settings, in order: the calls themselves are what the effect is.
TEST(BumpMap, CallsOfBothPassesInOrder) {
    EnsureWindow();
    ASSERT_TRUE(HAVECOMBINE());
    TEXTUREBUMPMAP[7] = 41;
    TEXTUREBUMPMAP2[7] = 42;
    glrecorder::Start();
    FX_TEXTUREBUMPMAP(1, 2, 3, 99, 7);
    const auto calls = glrecorder::Stop();

    const std::vector<glrecorder::Call> expected = {
        {"glBindTexture", {GL_TEXTURE_2D, 41}},
        {"glPushMatrix", {}},
        {"glTranslatef", {1, 2, 3}},
        {"glCallList", {99}},
        {"glPopMatrix", {}},
        {"glBindTexture", {GL_TEXTURE_2D, 42}},
        {"glBlendFunc", {GL_DST_COLOR, GL_SRC_COLOR}},
        {"glEnable", {GL_BLEND}},
        {"glTexEnvi", {GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE}},
        {"glTexEnvi", {GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE}},
        {"glTexEnvi", {GL_TEXTURE_ENV, GL_COMBINE_RGB, GL_ADD_SIGNED}},
        {"glTexEnvi", {GL_TEXTURE_ENV, GL_SOURCE0_RGB, GL_PRIMARY_COLOR}},
        {"glTexEnvi", {GL_TEXTURE_ENV, GL_SOURCE1_RGB, GL_TEXTURE}},
        {"glTexEnvi", {GL_TEXTURE_ENV, GL_OPERAND0_RGB, GL_ONE_MINUS_SRC_COLOR}},
        {"glTexEnvi", {GL_TEXTURE_ENV, GL_OPERAND1_RGB, GL_ONE_MINUS_SRC_COLOR}},
        {"glPushMatrix", {}},
        {"glTranslatef", {1, 2, 3}},
        {"glCallList", {99}},
        {"glDisable", {GL_BLEND}},
        {"glBlendFunc", {GL_SRC_ALPHA, GL_ONE}},
        {"glPopMatrix", {}},
        {"glTexEnvi", {GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE}},
    };
    ASSERT_EQ(calls.size(), expected.size());
    for (std::size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].name, expected[i].name) << "call " << i;
        EXPECT_EQ(calls[i].args, expected[i].args) << "call " << i << " " << calls[i].name;
    }

    // A slot never loaded binds texture 0 for both passes.
    glrecorder::Start();
    FX_TEXTUREBUMPMAP(0, 0, 0, 99, 8);
    for (const auto& bind : glrecorder::Only(glrecorder::Stop(), "glBindTexture"))
        EXPECT_EQ(bind.args[1], 0);
}

// ---------------------------------------------------------------------------------------------------
// Cartoon: the passes, the outline in pixels, the highlight, and the state left behind.
// ---------------------------------------------------------------------------------------------------

// The calls that tell the passes apart, as short words.
std::string CartoonTrace(const std::vector<glrecorder::Call>& calls) {
    std::ostringstream out;
    auto word = [&out](const std::string& w) { out << (out.tellp() > 0 ? " " : "") << w; };
    auto toggle = [&](const glrecorder::Call& c, const char* sign) {
        const auto cap = static_cast<GLenum>(c.args[0]);
        if (cap == GL_TEXTURE_2D)
            word(std::string("tex") + sign);
        else if (cap == GL_TEXTURE_GEN_S)
            word(std::string("gen") + sign);
        else if (cap == GL_LIGHTING)
            word(std::string("light") + sign);
        else if (cap == GL_BLEND)
            word(std::string("blend") + sign);
        else if (cap == GL_CULL_FACE)
            word(std::string("cull") + sign);
    };
    for (const auto& c : calls) {
        if (c.name == "glCallList")
            word("LIST");
        else if (c.name == "glEnable")
            toggle(c, "+");
        else if (c.name == "glDisable")
            toggle(c, "-");
        else if (c.name == "glShadeModel")
            word(c.args[0] == GL_FLAT ? "flat" : "smooth");
        else if (c.name == "glCullFace")
            word(c.args[0] == GL_FRONT ? "front" : "back");
        else if (c.name == "glLineWidth") {
            std::ostringstream w;
            w << "width" << c.args[0];
            word(w.str());
        } else if (c.name == "glColor3f") {
            std::ostringstream w;
            w << "rgb" << c.args[0];
            word(w.str());
        } else if (c.name == "glPolygonMode" && c.args[0] == GL_FRONT)
            word(c.args[1] == GL_LINE ? "lines" : "fill");
    }
    return out.str();
}

TEST(Cartoon, PassesForEachTextureAndShaderSetting) {
    EnsureWindow();
    struct Case {
        bool texture;
        bool shader;
        float size;
        const char* trace;
    };
    const Case cases[] = {
        {false, false, 1.0f,
         "tex- flat back LIST rgb0 width7 lines front light- LIST light+ fill rgb1 cull- blend+ "
         "fill width2 blend- rgb9.5 cull+ smooth back tex+"},
        {true, false, 0.0f,
         "flat back LIST rgb0 width6 lines front light- LIST light+ fill rgb1 cull- blend+ LIST "
         "fill width2 blend- rgb9.5 cull+ smooth back"},
        {false, true, 1.0f,
         "smooth gen+ tex- flat back LIST rgb0 width7 lines front light- LIST light+ fill rgb1 cull- blend+ "
         "fill width2 blend- rgb9.5 cull+ smooth back tex+ smooth gen-"},
        {true, true, 2.5f,
         "smooth gen+ flat smooth gen- back LIST rgb0 width8.5 lines front light- LIST light+ fill rgb1 "
         "smooth gen+ cull- blend+ tex- LIST tex+ fill width2 blend- rgb9.5 cull+ smooth back smooth gen-"},
    };
    for (const Case& c : cases) {
        ACTIVETEXTURESHADER = c.shader;
        glrecorder::Start();
        FX_CARTOON(1, 2, 3, c.size, 77, c.texture);
        const auto calls = glrecorder::Stop();
        EXPECT_EQ(CartoonTrace(calls), c.trace) << "TEXTURE " << c.texture << ", shader " << c.shader;
        // Every push has its pop, and every pass is translated once, by the outer matrix.
        EXPECT_EQ(glrecorder::Only(calls, "glPushMatrix").size(), 4u);
        EXPECT_EQ(glrecorder::Only(calls, "glPopMatrix").size(), 4u);
        const auto translations = glrecorder::Only(calls, "glTranslatef");
        ASSERT_EQ(translations.size(), 1u);
        EXPECT_EQ(translations[0].args, (std::vector<double>{1, 2, 3}));
    }
    ACTIVETEXTURESHADER = false;
}

// A width the GL cannot rasterise is brought into its range instead of being left to the driver.
TEST(Cartoon, OutlineWidthStaysInTheGlRange) {
    EnsureWindow();
    GLfloat range[2] = {};
    glGetFloatv(GL_ALIASED_LINE_WIDTH_RANGE, range);
    for (const float size : {1000.0f, -6.5f, -100.0f, std::nanf("")}) {
        glrecorder::Start();
        FX_CARTOON(0, 0, 0, size, 77, false);
        const auto widths = glrecorder::Only(glrecorder::Stop(), "glLineWidth");
        ASSERT_EQ(widths.size(), 2u);
        EXPECT_GE(widths[0].args[0], range[0]) << "SIZE " << size;
        EXPECT_LE(widths[0].args[0], range[1]) << "SIZE " << size;
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// A box of half size 1, 6 units in front of the eye.
GLuint BoxList() {
    const GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    CUBO(0, 0, -6, 1, 1, 1);
    glEndList();
    return list;
}

bool IsBlack(const Rgb& c) { return c[0] <= 2.0f / 255 && c[1] <= 2.0f / 255 && c[2] <= 2.0f / 255; }

struct Crossing {
    int black = 0; // length of the black run
    Rgb after{};   // the first pixel past it
};

// The black runs met when walking from each window edge towards the centre, along the middle row and
// column: the outline across the left, right, bottom and top silhouette edges.
std::vector<Crossing> OutlineCrossings() {
    std::vector<GLubyte> pixels(static_cast<std::size_t>(kSide * kSide * 4));
    glReadPixels(0, 0, kSide, kSide, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    auto at = [&](int x, int y) {
        const GLubyte* p = &pixels[static_cast<std::size_t>((y * kSide + x) * 4)];
        return Rgb{p[0] / 255.0f, p[1] / 255.0f, p[2] / 255.0f};
    };
    std::vector<Crossing> crossings;
    const int mid = kSide / 2;
    for (const auto& [dx, dy, x0, y0] : std::vector<std::array<int, 4>>{
             {1, 0, 0, mid}, {-1, 0, kSide - 1, mid}, {0, 1, mid, 0}, {0, -1, mid, kSide - 1}}) {
        int x = x0, y = y0, steps = 0;
        auto walk = [&] { x += dx, y += dy, ++steps; };
        while (steps < mid && !IsBlack(at(x, y)))
            walk();
        int run = 0;
        while (steps < mid && IsBlack(at(x, y)))
            walk(), ++run;
        crossings.push_back({run, at(x, y)});
    }
    return crossings;
}

TEST(Cartoon, OutlineIsSizePlusSixPixelsAndBlackOnlyAtTheSilhouette) {
    ProgramState();
    const GLuint box = BoxList();
    for (const float size : {1.0f, 0.0f}) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        FX_CARTOON(0, 0, 0, size, box, false);
        const int expected = static_cast<int>(size) + 6;
        for (const Crossing& crossing : OutlineCrossings())
            EXPECT_NEAR(crossing.black, expected, 1) << "SIZE " << size;
        // Inside the front face there is no line, only the lit face.
        for (const int offset : {-20, 0, 20}) {
            const Rgb inside = Pixel(kSide / 2 + offset, kSide / 2 - offset);
            EXPECT_FALSE(IsBlack(inside));
            EXPECT_GT(inside[0], 0.8f) << "the face lit head-on";
        }
        // Around the box, the clear colour.
        ExpectColour(Pixel(5, 5), {0.2f, 0.3f, 0.4f}, 1.0f / 255, "background");
    }
}

// With its texture, the box is first drawn as usual and then added onto itself: each channel c becomes
// c + c * c.
TEST(Cartoon, TexturedSurfaceBrightensByTheSquareOfItsColour) {
    ProgramState();
    const GLuint box = BoxList();
    TEXTURELOADID(UniformBmp("cartoon.bmp", {153, 115, 77}).c_str(), 5);

    TEXTURESELECTID(5);
    SETGLFLAT();
    glCallList(box);
    const Rgb plain = Pixel(kSide / 2, kSide / 2);
    ASSERT_GT(plain[0], 0.3f) << "the textured face is lit";

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    TEXTURESELECTID(5);
    FX_CARTOON(0, 0, 0, 1, box, true);
    Rgb expected{};
    for (int c = 0; c < 3; ++c)
        expected[c] = Clamp01(plain[c] + plain[c] * plain[c]);
    ExpectColour(Pixel(kSide / 2, kSide / 2), expected, 3.0f / 255, "highlighted face");
    // Outside the silhouette the outline stays black under the texture; the half of it that lies on
    // the face gets the highlight added onto black: the square of the face's colour.
    Rgb square{};
    for (int c = 0; c < 3; ++c)
        square[c] = plain[c] * plain[c];
    for (const Crossing& crossing : OutlineCrossings()) {
        EXPECT_NEAR(crossing.black, 3.5, 1);
        ExpectColour(crossing.after, square, 3.0f / 255, "outline on the face");
    }
}

int BlackPixels() {
    std::vector<GLubyte> pixels(static_cast<std::size_t>(kSide * kSide * 4));
    glReadPixels(0, 0, kSide, kSide, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    int count = 0;
    for (std::size_t i = 0; i < pixels.size(); i += 4)
        count += pixels[i] <= 2 && pixels[i + 1] <= 2 && pixels[i + 2] <= 2;
    return count;
}

// With culling off before the first call, the outline pass draws the edges between the visible faces
// too; from the second call on the effect has turned culling on itself and only the silhouette shows.
TEST(Cartoon, WithoutCullingTheFirstCallOutlinesTheEdgesBetweenFacesToo) {
    ProgramState();
    const GLuint box = glGenLists(1);
    glNewList(box, GL_COMPILE);
    glPushMatrix();
    glTranslatef(0, 0, -6);
    glRotatef(35, 1, 0, 0);
    glRotatef(40, 0, 1, 0);
    CUBO(0, 0, 0, 1, 1, 1);
    glPopMatrix();
    glEndList();

    glDisable(GL_CULL_FACE);
    FX_CARTOON(0, 0, 0, 1, box, false);
    const int first = BlackPixels();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    FX_CARTOON(0, 0, 0, 1, box, false);
    const int second = BlackPixels();
    // Three visible faces meet in three inner edges of about 50 pixels each, 7 pixels wide.
    EXPECT_GT(first, second + 3 * 40 * 6) << "first " << first << ", second " << second;
    EXPECT_GT(second, 0);
}

// ---------------------------------------------------------------------------------------------------
// State left behind, after calls made from several different prior states.
// ---------------------------------------------------------------------------------------------------

struct Prior {
    const char* name;
    std::function<void()> set;
};

const Prior kPriors[] = {
    {"ProgramState", [] {}},
    {"BlendOnTexturingOffCullingOff",
     [] {
         glEnable(GL_BLEND);
         glBlendFunc(GL_ONE, GL_ONE);
         TEXTUREOFF();
         glDisable(GL_CULL_FACE);
         glEnable(GL_TEXTURE_GEN_S);
         SETGLLINE(3);
         SETGLFLAT();
         glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
     }},
    {"FrontCullingUnlit",
     [] {
         glCullFace(GL_FRONT);
         glDisable(GL_LIGHTING);
         glColor3f(0.1f, 0.2f, 0.3f);
     }},
};

GLint Int(GLenum what) {
    GLint v = 0;
    glGetIntegerv(what, &v);
    return v;
}

std::array<float, 16> Modelview() {
    std::array<float, 16> m{};
    glGetFloatv(GL_MODELVIEW_MATRIX, m.data());
    return m;
}

TEST(EffectState, BumpMapLeavesBlendingOffAndModulate) {
    for (const Prior& prior : kPriors) {
        ProgramState();
        INITFX_TEXTUREBUMPMAP(UniformBmp("state-bump.bmp", {200, 200, 200}).c_str(),
                              UniformBmp("state-colour.bmp", {30, 60, 90}).c_str(), 0);
        prior.set();
        glTranslatef(0.5f, -1, -4);
        glRotatef(30, 0, 1, 0);
        const auto matrix = Modelview();
        const bool texturing = glIsEnabled(GL_TEXTURE_2D);
        const bool lighting = glIsEnabled(GL_LIGHTING);
        const GLuint list = BoxList();
        FX_TEXTUREBUMPMAP(0, 0, 1, list, 0);
        SCOPED_TRACE(prior.name);
        EXPECT_FALSE(glIsEnabled(GL_BLEND));
        EXPECT_EQ(Int(GL_BLEND_SRC), GL_SRC_ALPHA);
        EXPECT_EQ(Int(GL_BLEND_DST), GL_ONE);
        GLint mode = 0;
        glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
        EXPECT_EQ(mode, GL_MODULATE);
        glGetTexEnviv(GL_TEXTURE_ENV, GL_COMBINE_RGB, &mode);
        EXPECT_EQ(mode, GL_ADD_SIGNED) << "the combiner keeps its settings";
        EXPECT_EQ(BoundTexture(), static_cast<GLint>(TEXTUREBUMPMAP2[0]));
        EXPECT_EQ(glIsEnabled(GL_TEXTURE_2D), texturing);
        EXPECT_EQ(glIsEnabled(GL_LIGHTING), lighting);
        EXPECT_EQ(Int(GL_DEPTH_FUNC), GL_LEQUAL);
        EXPECT_EQ(Modelview(), matrix);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
}

TEST(EffectState, CartoonLeavesItsTableWhateverCameBefore) {
    for (const bool shader : {false, true}) {
        for (const bool texture : {false, true}) {
            for (const Prior& prior : kPriors) {
                ProgramState();
                prior.set();
                ACTIVETEXTURESHADER = shader;
                glTranslatef(0.5f, -1, -4);
                const auto matrix = Modelview();
                const bool texturing = glIsEnabled(GL_TEXTURE_2D);
                const bool generating = glIsEnabled(GL_TEXTURE_GEN_S);
                FX_CARTOON(0, 0, -2, 1, BoxList(), texture);
                SCOPED_TRACE(std::string(prior.name) + (texture ? ", textured" : ", untextured") +
                             (shader ? ", sphere map" : ""));
                GLint modes[2] = {};
                glGetIntegerv(GL_POLYGON_MODE, modes);
                EXPECT_EQ(modes[0], GL_FILL);
                EXPECT_EQ(modes[1], GL_FILL);
                GLfloat width = 0;
                glGetFloatv(GL_LINE_WIDTH, &width);
                EXPECT_EQ(width, 2.0f);
                GLfloat colour[4] = {};
                glGetFloatv(GL_CURRENT_COLOR, colour);
                EXPECT_EQ(colour[0], 9.5f);
                EXPECT_EQ(colour[2], 9.5f);
                EXPECT_FALSE(glIsEnabled(GL_BLEND));
                EXPECT_EQ(Int(GL_BLEND_SRC), GL_SRC_COLOR);
                EXPECT_EQ(Int(GL_BLEND_DST), GL_ONE);
                EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
                EXPECT_EQ(Int(GL_CULL_FACE_MODE), GL_BACK);
                EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
                EXPECT_EQ(Int(GL_SHADE_MODEL), GL_SMOOTH);
                // The highlight pass of the sphere-map path switches texturing back on after itself.
                EXPECT_EQ(glIsEnabled(GL_TEXTURE_2D), texture && !shader ? texturing : true);
                EXPECT_EQ(glIsEnabled(GL_TEXTURE_GEN_S), shader ? false : generating);
                EXPECT_EQ(Modelview(), matrix);
                EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
            }
        }
    }
    ACTIVETEXTURESHADER = false;
}

} // namespace
