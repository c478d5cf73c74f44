// The demo's six generated column images, read back with the library's own decoder: what the bump-map
// effect needs of them (24-bit, power-of-two sides, grey height maps that match their colour images,
// seamless wrap), that the generator always writes the same bytes, and where the demo finds them.
#include "images.h"
#include "nembra/platform/bmp.h"
#include "scene.h"

#include "tempdir.h"
#include "xsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

struct Part {
    const char* colour;
    const char* height;
    bool tinted; // stone colours, not grey
};

constexpr Part kParts[] = {{demo::STONEBLOCKS_BMP, demo::STONEBLOCKS_BMAP_BMP, true},
                           {demo::PIETRE_BMP, demo::PIETRE_BMAP_BMP, true},
                           {demo::GRAY11_BMP, demo::GRAY11_BMAP_BMP, false}};

std::vector<const char*> AllImages() {
    std::vector<const char*> names;
    for (const Part& part : kParts)
        names.insert(names.end(), {part.colour, part.height});
    return names;
}

fs::path Built(const char* name) { return (fs::path(xsupport::buildDir()) / name).lexically_normal(); }

std::vector<char> Bytes(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// A decoded image with the brightness of each pixel, which is what the tiling and agreement checks compare.
struct Picture {
    win::bmp::Image image;
    std::array<int, 3> rgb(int x, int y) const {
        const std::uint8_t* p = &image.pixels[static_cast<std::size_t>(y) * image.stride() + 3u * x];
        return {p[2], p[1], p[0]};
    }
    double light(int x, int y) const {
        const auto c = rgb(x, y);
        return (c[0] + c[1] + c[2]) / 3.0;
    }
};

Picture Load(const char* name) {
    Picture picture;
    std::string reason;
    EXPECT_TRUE(win::bmp::LoadFile(Built(name).c_str(), picture.image, reason)) << name << ": " << reason;
    return picture;
}

double Percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1))];
}

// Mean brightness step between column x and column x + distance (wrapping), or between rows when `rows`.
double Step(const Picture& p, int at, int distance, bool rows) {
    const int w = p.image.width, h = p.image.height, across = rows ? w : h;
    double sum = 0;
    for (int i = 0; i < across; ++i)
        sum += rows ? std::abs(p.light(i, at) - p.light(i, (at + distance) % h))
                    : std::abs(p.light(at, i) - p.light((at + distance) % w, i));
    return sum / across;
}

// Runs the generator into DIR and returns its exit code.
int Generate(const fs::path& dir) {
    xsupport::ChildProcess generator({NEMBRA_TEXTURE_GENERATOR, dir.string()});
    return generator.wait(60s).value_or(-1);
}

// Works in DIR for the life of the object.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const fs::path& dir) : previous_(fs::current_path()) {
        fs::create_directories(dir);
        fs::current_path(dir);
    }
    ~WorkingDirectory() { fs::current_path(previous_); }

private:
    fs::path previous_;
};

void Touch(const fs::path& path) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "BM";
}

} // namespace

class EveryImage : public testing::TestWithParam<const char*> {};

// An uncompressed 24-bit file with the 40-byte header, power-of-two sides that GL 1.1 accepts as a texture.
TEST_P(EveryImage, IsAnUncompressed24BitBmpWithPowerOfTwoSides) {
    const std::vector<char> bytes = Bytes(Built(GetParam()));
    ASSERT_GE(bytes.size(), 54u);
    auto u16 = [&](std::size_t at) {
        return static_cast<unsigned>(static_cast<unsigned char>(bytes[at])) |
               static_cast<unsigned>(static_cast<unsigned char>(bytes[at + 1])) << 8;
    };
    EXPECT_EQ(std::string(bytes.data(), 2), "BM");
    EXPECT_EQ(u16(14), 40u) << "header size";
    EXPECT_EQ(u16(28), 24u) << "bits per pixel";
    EXPECT_EQ(u16(30), 0u) << "compression";

    const Picture p = Load(GetParam());
    EXPECT_EQ(p.image.bits, 24);
    EXPECT_TRUE(std::has_single_bit(static_cast<unsigned>(p.image.width))) << p.image.width;
    EXPECT_TRUE(std::has_single_bit(static_cast<unsigned>(p.image.height))) << p.image.height;
    EXPECT_LE(std::max(p.image.width, p.image.height), 512);
    EXPECT_EQ(bytes.size(), 54 + p.image.stride() * static_cast<std::size_t>(p.image.height));
}

// Across the wrap edge the picture steps like between neighbouring pixels, not like between unrelated
// columns (half the picture apart), which is what a seam would look like.
TEST_P(EveryImage, TilesWithoutASeam) {
    const Picture p = Load(GetParam());
    ASSERT_GT(p.image.width, 0);
    for (const bool rows : {false, true}) {
        const int n = rows ? p.image.height : p.image.width;
        std::vector<double> neighbours, unrelated;
        for (int at = 0; at + 1 < n; ++at) {
            neighbours.push_back(Step(p, at, 1, rows));
            unrelated.push_back(Step(p, at, n / 2, rows));
        }
        const double typical = Percentile(neighbours, 0.5), far = Percentile(unrelated, 0.5);
        const double seam = Step(p, n - 1, 1, rows);
        EXPECT_LT(typical * 1.5, far) << (rows ? "rows" : "columns") << ": the picture is too noisy to tell";
        EXPECT_LE(seam, (typical + far) / 2)
            << (rows ? "rows" : "columns") << ": neighbours step " << typical << ", unrelated " << far;
    }
}

INSTANTIATE_TEST_SUITE_P(Generated, EveryImage, testing::ValuesIn(AllImages()),
                         [](const testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             std::replace(name.begin(), name.end(), '.', '_');
                             return name;
                         });

class EveryPart : public testing::TestWithParam<Part> {};

// Grey (the effect reads one channel), with dark joints or gaps and light stone faces both present.
TEST_P(EveryPart, HeightMapIsGreyAndUsesAWideRange) {
    const Picture colour = Load(GetParam().colour), height = Load(GetParam().height);
    ASSERT_EQ(height.image.width, colour.image.width);
    ASSERT_EQ(height.image.height, colour.image.height);
    std::vector<double> levels;
    int coloured = 0;
    for (int y = 0; y < height.image.height; ++y)
        for (int x = 0; x < height.image.width; ++x) {
            const auto c = height.rgb(x, y);
            coloured += c[0] != c[1] || c[1] != c[2];
            levels.push_back(c[0]);
        }
    ASSERT_FALSE(levels.empty());
    EXPECT_EQ(coloured, 0);
    EXPECT_LE(Percentile(levels, 0.02), 60);
    EXPECT_GE(Percentile(levels, 0.98), 180);
}

// Many distinct colours; the stone pictures clearly coloured, the granite grey.
TEST_P(EveryPart, ColourImageIsVaried) {
    const Picture p = Load(GetParam().colour);
    std::set<std::array<int, 3>> distinct;
    double chroma = 0;
    for (int y = 0; y < p.image.height; ++y)
        for (int x = 0; x < p.image.width; ++x) {
            const auto c = p.rgb(x, y);
            distinct.insert(c);
            chroma += *std::max_element(c.begin(), c.end()) - *std::min_element(c.begin(), c.end());
        }
    ASSERT_GT(p.image.width, 0);
    chroma /= p.image.width * p.image.height;
    EXPECT_GE(distinct.size(), 1000u);
    if (GetParam().tinted)
        EXPECT_GE(chroma, 12) << "mean difference between a pixel's channels";
    else
        EXPECT_LE(chroma, 8) << "mean difference between a pixel's channels";
}

// The height map draws the colour image's layout: where it is lowest (joints, gaps, pits) the colour
// image is clearly darker than where it is highest.
TEST_P(EveryPart, ColourIsDarkerWhereTheHeightMapIsLow) {
    const Picture colour = Load(GetParam().colour), height = Load(GetParam().height);
    ASSERT_EQ(height.image.width, colour.image.width);
    ASSERT_EQ(height.image.height, colour.image.height);
    std::vector<std::pair<int, double>> pixels; // height, colour brightness
    for (int y = 0; y < height.image.height; ++y)
        for (int x = 0; x < height.image.width; ++x)
            pixels.emplace_back(height.rgb(x, y)[0], colour.light(x, y));
    std::sort(pixels.begin(), pixels.end());
    const std::size_t tenth = pixels.size() / 10;
    ASSERT_GT(tenth, 0u);
    double low = 0, high = 0;
    for (std::size_t i = 0; i < tenth; ++i) {
        low += pixels[i].second;
        high += pixels[pixels.size() - 1 - i].second;
    }
    EXPECT_GE((high - low) / static_cast<double>(tenth), 30);
}

INSTANTIATE_TEST_SUITE_P(Generated, EveryPart, testing::ValuesIn(kParts), [](const testing::TestParamInfo<Part>& info) {
    return std::string(info.param.colour).substr(0, std::string(info.param.colour).find('.'));
});

// Two runs write the same bytes, and they are the bytes the build put beside the executables.
TEST(ImageGenerator, WritesTheSameBytesEveryTime) {
    const fs::path first = testsupport::TempDir() / "first", second = testsupport::TempDir() / "second";
    ASSERT_EQ(Generate(first), 0);
    ASSERT_EQ(Generate(second), 0);
    for (const char* name : AllImages()) {
        const std::vector<char> made = Bytes(first / name);
        EXPECT_FALSE(made.empty()) << name;
        EXPECT_TRUE(made == Bytes(second / name)) << name;
        EXPECT_TRUE(made == Bytes(Built(name))) << name;
    }
}

struct SearchCase {
    const char* name;
    bool inCwd, inExeDir, inDataDir;
    const char* found; // "cwd", "exe", "data" or "none"
};

class ImageSearch : public testing::TestWithParam<SearchCase> {};

// An installed layout in a temporary prefix: the first folder that has the file wins.
TEST_P(ImageSearch, TakesTheCurrentDirectoryThenTheExecutablesThenTheDataFolder) {
    const SearchCase& c = GetParam();
    const fs::path root = testsupport::TempDir() / c.name;
    const fs::path cwd = root / "cwd", bin = root / "prefix" / NEMBRA_INSTALL_BINDIR,
                   data = root / "prefix" / NEMBRA_INSTALL_DATADIR / "nembra-demo";
    const char* file = "probe.bmp";
    if (c.inCwd)
        Touch(cwd / file);
    if (c.inExeDir)
        Touch(bin / file);
    if (c.inDataDir)
        Touch(data / file);
    fs::create_directories(bin);
    WorkingDirectory work(cwd);

    const std::string found = c.found;
    const std::string expected = found == "exe"    ? (bin / file).lexically_normal().string()
                                 : found == "data" ? (data / file).lexically_normal().string()
                                                   : file;
    EXPECT_EQ(demo::FINDIMAGEIN(file, bin.string()), expected);
}

INSTANTIATE_TEST_SUITE_P(Layouts, ImageSearch,
                         testing::Values(SearchCase{"everywhere", true, true, true, "cwd"},
                                         SearchCase{"cwd_and_data", true, false, true, "cwd"},
                                         SearchCase{"exe_and_data", false, true, true, "exe"},
                                         SearchCase{"data_only", false, false, true, "data"},
                                         SearchCase{"nowhere", false, false, false, "none"}),
                         [](const testing::TestParamInfo<SearchCase>& info) { return info.param.name; });

// FINDIMAGE itself looks beside the running executable, where the build put the images.
TEST(ImageSearch, FindsTheBuiltImagesBesideTheExecutable) {
    WorkingDirectory work(testsupport::TempDir() / "empty");
    for (const char* name : AllImages())
        EXPECT_EQ(fs::path(demo::FINDIMAGE(name)), Built(name));
    EXPECT_EQ(demo::FINDIMAGE("no-such-image.bmp"), "no-such-image.bmp");

    Touch(fs::current_path() / demo::PIETRE_BMP);
    EXPECT_EQ(demo::FINDIMAGE(demo::PIETRE_BMP), demo::PIETRE_BMP);
}
