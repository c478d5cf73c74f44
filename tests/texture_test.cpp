// Texture slots: BMP files as the GL holds them after the upload, binding, and sphere-map generation.
#include <nembra/nembra.h>

#include "bmpfile.h"
#include "xsupport.h"

#include "glwindow.h"
#include "tempdir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace nembra;
namespace fs = std::filesystem;

namespace {

const fs::path kSuite = NEMBRA_BMPSUITE_DIR;

void EnsureWindow() { testsupport::EnsureGlWindow("Nembra texture test", 64, 64); }

using testsupport::TempDir;

// A 24-bit bottom-up BMP whose pixel (x, y), y counted from the top, has colour rgb(x, y); its row
// padding holds bytes the reader must skip.
template <typename Colour>
fs::path WriteBmp24(const std::string& name, int width, int height, Colour rgb) {
    const fs::path path = TempDir() / name;
    testsupport::WriteFile(
        path,
        testsupport::BmpFile{.width = width, .height = height, .pixels = testsupport::Rows24(width, height, rgb, 0xEE)}
            .Build());
    return path;
}

struct TexImage {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb; // texture row 0 (the picture's bottom row) first, tightly packed
};

TexImage BoundTexture() {
    TexImage image;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &image.width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &image.height);
    image.rgb.resize(static_cast<std::size_t>(image.width) * image.height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    if (!image.rgb.empty())
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, image.rgb.data());
    return image;
}

GLint BoundName() {
    GLint name = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
    return name;
}

TEST(SwapRgb, ExchangesRedAndBlueOfEachPixel) {
    std::uint8_t bytes[] = {1, 2, 3, 4, 5, 6, 7};
    SWAPRGB(bytes, 2);
    const std::uint8_t swapped[] = {3, 2, 1, 6, 5, 4, 7};
    EXPECT_EQ(std::vector<std::uint8_t>(bytes, bytes + 7), std::vector<std::uint8_t>(swapped, swapped + 7));
    for (std::int32_t size : {0, -1, -100000}) {
        SWAPRGB(bytes, size);
        EXPECT_EQ(std::vector<std::uint8_t>(bytes, bytes + 7), std::vector<std::uint8_t>(swapped, swapped + 7))
            << "size " << size;
    }
}

// A file pixel of blue 255 shows as pure blue when the texture is drawn.
TEST(TextureSlots, BlueFileSamplesAsBlue) {
    EnsureWindow();
    const fs::path file = WriteBmp24("blue.bmp", 8, 8, [](int, int) { return 0x0000FFu; });
    glDisable(GL_TEXTURE_2D);
    TEXTURELOADID(file.c_str(), 7);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D)) << "loading switches 2D texturing on";
    EXPECT_NE(TEXTUREID2[7], 0u);
    EXPECT_EQ(BoundName(), static_cast<GLint>(TEXTUREID2[7]));
    GLint alignment = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 4);

    glViewport(0, 0, 64, 64);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glClearColor(0.5f, 0.5f, 0.5f, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glColor3f(1, 1, 1);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0), glVertex2f(-1, -1);
    glTexCoord2f(1, 0), glVertex2f(1, -1);
    glTexCoord2f(1, 1), glVertex2f(1, 1);
    glTexCoord2f(0, 1), glVertex2f(-1, 1);
    glEnd();
    std::uint8_t pixel[3] = {};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(32, 32, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, pixel);
    EXPECT_EQ(pixel[0], 0);
    EXPECT_EQ(pixel[1], 0);
    EXPECT_EQ(pixel[2], 255);
}

// Widths whose rows are padded: every row keeps its colours, and the picture's bottom row is texture row 0.
TEST(TextureSlots, PaddedRowsKeepTheirColours) {
    EnsureWindow();
    for (int width : {1, 2, 3, 127}) {
        SCOPED_TRACE("width " + std::to_string(width));
        const int height = 5;
        auto colour = [](int x, int y) { return static_cast<std::uint32_t>((x * 2) << 16 | (y * 40) << 8 | 0x11); };
        const fs::path file = WriteBmp24("padded" + std::to_string(width) + ".bmp", width, height, colour);
        TEXTURELOADID(file.c_str(), 1);
        const TexImage tex = BoundTexture();
        ASSERT_EQ(tex.width, width);
        ASSERT_EQ(tex.height, height);
        int wrong = 0;
        for (int t = 0; t < height; ++t)
            for (int x = 0; x < width; ++x) {
                const std::uint32_t c = colour(x, height - 1 - t);
                const std::uint8_t* p = &tex.rgb[(static_cast<std::size_t>(t) * width + x) * 3];
                wrong += p[0] != (c >> 16 & 0xFF) || p[1] != (c >> 8 & 0xFF) || p[2] != (c & 0xFF);
            }
        EXPECT_EQ(wrong, 0);
    }
}

TEST(TextureSlots, LoadingTwiceGivesTwoNames) {
    EnsureWindow();
    const fs::path file = WriteBmp24("twice.bmp", 4, 4, [](int x, int y) { return 0x102030u * (x + y); });
    TEXTURELOADID(file.c_str(), 3);
    const GLuint first = TEXTUREID2[3];
    TEXTURELOADID(file.c_str(), 3);
    EXPECT_NE(TEXTUREID2[3], first);
    EXPECT_TRUE(glIsTexture(first));
    EXPECT_TRUE(glIsTexture(TEXTUREID2[3]));
}

TEST(TextureSlots, SelectBindsTheSlotAndUnloadedSlotsBindZero) {
    EnsureWindow();
    const fs::path file = WriteBmp24("select.bmp", 2, 2, [](int, int) { return 0xFF0000u; });
    TEXTURELOADID(file.c_str(), 500);
    glBindTexture(GL_TEXTURE_2D, 0);
    TEXTURESELECTID(500);
    EXPECT_EQ(BoundName(), static_cast<GLint>(TEXTUREID2[500]));
    TEXTURESELECTID(0);
    EXPECT_EQ(BoundName(), 0);

    TEXTUREOFF();
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    TEXTUREON();
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
}

// A file that cannot be loaded leaves the slot and the GL alone and says why, naming the file.
TEST(TextureSlots, UnloadableFileLeavesTheSlot) {
    EnsureWindow();
    const fs::path good = WriteBmp24("keep.bmp", 2, 2, [](int, int) { return 0x00FF00u; });
    TEXTURELOADID(good.c_str(), 9);
    const GLuint kept = TEXTUREID2[9];
    const fs::path truncated = TempDir() / "truncated.bmp";
    {
        std::ifstream in(good, std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
        bytes.resize(60);
        std::ofstream(truncated, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    for (const fs::path& bad : {TempDir() / "missing.bmp", truncated, TempDir()}) {
        SCOPED_TRACE(bad.string());
        glDisable(GL_TEXTURE_2D);
        testing::internal::CaptureStderr();
        TEXTURELOADID(bad.c_str(), 9);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(TEXTUREID2[9], kept);
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
        EXPECT_NE(err.find(bad.string()), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    }
}

TEST(TextureSlots, SphereMapGenerationOnAndOff) {
    EnsureWindow();
    glShadeModel(GL_FLAT);
    EFFECTREALWATER();
    GLint mode[3] = {};
    glGetTexGeniv(GL_S, GL_TEXTURE_GEN_MODE, &mode[0]);
    glGetTexGeniv(GL_T, GL_TEXTURE_GEN_MODE, &mode[1]);
    glGetTexGeniv(GL_R, GL_TEXTURE_GEN_MODE, &mode[2]);
    EXPECT_EQ(mode[0], GL_SPHERE_MAP);
    EXPECT_EQ(mode[1], GL_SPHERE_MAP);
    EXPECT_EQ(mode[2], static_cast<GLint>(GL_MAP_REFLECTION));
    for (GLenum coord : {GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R})
        EXPECT_TRUE(glIsEnabled(coord));
    GLint shade = 0;
    glGetIntegerv(GL_SHADE_MODEL, &shade);
    EXPECT_EQ(shade, GL_SMOOTH);

    glShadeModel(GL_FLAT);
    EFFECTREALWATEROFF();
    for (GLenum coord : {GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R})
        EXPECT_FALSE(glIsEnabled(coord));
    glGetIntegerv(GL_SHADE_MODEL, &shade);
    EXPECT_EQ(shade, GL_SMOOTH);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// --- The BMP corpus ---

std::vector<fs::path> Files(const char* folder) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(kSuite / folder))
        if (entry.path().extension() == ".bmp")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

// 16-bit files hold 5- or 6-bit channels; scaling them to 0..255 by rounding or by bit replication
// differs by at most 1.
int Tolerance(const fs::path& file) { return file.filename().string().rfind("rgb16", 0) == 0 ? 1 : 0; }

TEST(BmpCorpus, GoodFilesShowTheirReferenceColours) {
    EnsureWindow();
    const auto files = Files("good");
    ASSERT_FALSE(files.empty());
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.filename().string());
        std::vector<std::uint8_t> reference;
        int width = 0, height = 0;
        ASSERT_TRUE(
            xsupport::readPng((kSuite / "good-reference" / file.stem()).string() + ".png", reference, width, height));
        TEXTUREID2[0] = 0;
        TEXTURELOADID(file.c_str(), 0);
        ASSERT_NE(TEXTUREID2[0], 0u);
        const TexImage tex = BoundTexture();
        ASSERT_EQ(tex.width, width);
        ASSERT_EQ(tex.height, height);
        int worst = 0, worstX = 0, worstY = 0;
        for (int y = 0; y < height; ++y) // PNG rows run top down, texture rows bottom up
            for (int x = 0; x < width; ++x)
                for (int c = 0; c < 3; ++c) {
                    const int want = reference[(static_cast<std::size_t>(y) * width + x) * 3 + c];
                    const int got = tex.rgb[(static_cast<std::size_t>(height - 1 - y) * width + x) * 3 + c];
                    if (std::abs(want - got) > worst)
                        worst = std::abs(want - got), worstX = x, worstY = y;
                }
        EXPECT_LE(worst, Tolerance(file)) << "at (" << worstX << ", " << worstY << ")";
    }
}

// Files that stretch or break the format are either loaded or refused with a message; the process
// stays sound (this suite also runs under AddressSanitizer).
TEST(BmpCorpus, QuestionableAndBadFilesLoadOrAreRefused) {
    EnsureWindow();
    for (const char* folder : {"questionable", "bad"}) {
        for (const fs::path& file : Files(folder)) {
            SCOPED_TRACE(file.filename().string());
            TEXTUREID2[0] = 0;
            testing::internal::CaptureStderr();
            TEXTURELOADID(file.c_str(), 0);
            const std::string err = testing::internal::GetCapturedStderr();
            if (TEXTUREID2[0] == 0) {
                EXPECT_NE(err.find(file.string()), std::string::npos) << "a refusal names the file";
            } else {
                EXPECT_EQ(err, "");
                const TexImage tex = BoundTexture();
                EXPECT_GT(tex.width, 0);
                EXPECT_GT(tex.height, 0);
            }
        }
    }
}

} // namespace
