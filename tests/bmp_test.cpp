// The BMP decoder on the corpus's unusual and broken files and on hostile files made here: what it
// accepts must come out in the right colours and row order, what it refuses must be refused for the
// right reason, without touching memory outside the input.
#include "nembra/platform/bmp.h"

#include "bmpfile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using testsupport::BmpFile;
using testsupport::Bytes;

const fs::path kSuite = NEMBRA_BMPSUITE_DIR;

Bytes ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::uint32_t LittleEndian(const Bytes& b, std::size_t at, int count) {
    std::uint32_t v = 0;
    for (int i = 0; i < count; ++i)
        v |= std::uint32_t{b.at(at + i)} << (8 * i);
    return v;
}

using Bgr = std::array<std::uint8_t, 3>;

Bgr PixelAt(const win::bmp::Image& image, int x, int y) { // y counts from the bottom row
    const std::uint8_t* p = image.pixels.data() + y * image.stride() + x * 3;
    return {p[0], p[1], p[2]};
}

win::bmp::Image MustDecode(const Bytes& bytes) {
    win::bmp::Image image;
    std::string reason;
    EXPECT_TRUE(win::bmp::Decode(bytes.data(), bytes.size(), image, reason)) << reason;
    return image;
}

constexpr std::uint32_t kRle8 = 1, kRle4 = 2, kBitFields = 3;

// ---------------------------------------------------------------------------------------------------
// The corpus: every questionable/ and bad/ file, decoded right or refused.

// Pixels a decoded corpus file must show beyond matching another file.
enum class Extra {
    None,
    SingleColour,   // every pixel is palette entry 0
    Grey,           // every pixel has equal channels
    BackgroundHoles // pixels that differ from the other file show palette entry 0
};

struct CorpusCase {
    const char* file;              // under the corpus directory
    const char* refusal = nullptr; // substring of the refusal reason; null when the file must decode
    const char* sameAs = nullptr;  // a file showing the same picture, or null
    // Precision of the file's red, green and blue channels: against `sameAs` each channel may be off
    // by half a step of its own precision; channels of under 5 bits only have to use their levels.
    std::array<int, 3> channelBits = {8, 8, 8};
    Extra extra = Extra::None;
};

void PrintTo(const CorpusCase& c, std::ostream* os) { *os << c.file; }

std::string CaseName(const testing::TestParamInfo<CorpusCase>& info) {
    std::string name = info.param.file;
    std::replace_if(
        name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name.substr(0, name.size() - 4);
}

const CorpusCase kCorpus[] = {
    // Questionable files that are ordinary pictures stored in an unusual way.
    {"questionable/pal1p1.bmp", nullptr, nullptr, {8, 8, 8}, Extra::SingleColour}, // 1-entry palette, all index 0
    {"questionable/pal2.bmp", nullptr, nullptr, {2, 2, 2}, Extra::Grey},           // 2 bits per pixel, grey palette
    {"questionable/pal2color.bmp", nullptr, nullptr, {1, 1, 1}},                   // 2 bits, primaries and white
    {"questionable/pal4rlecut.bmp", nullptr, "good/pal4rle.bmp", {8, 8, 8}, Extra::BackgroundHoles},
    {"questionable/pal4rletrns.bmp", nullptr, "good/pal4rle.bmp", {8, 8, 8}, Extra::BackgroundHoles},
    {"questionable/pal8rlecut.bmp", nullptr, "good/pal8rle.bmp", {8, 8, 8}, Extra::BackgroundHoles},
    {"questionable/pal8rletrns.bmp", nullptr, "good/pal8rle.bmp", {8, 8, 8}, Extra::BackgroundHoles},
    {"questionable/pal8offs.bmp", nullptr, "good/pal8.bmp"},        // gap between palette and pixels
    {"questionable/pal8oversizepal.bmp", nullptr, "good/pal8.bmp"}, // 300 palette entries
    {"questionable/pal8os2-hs.bmp", nullptr, "good/pal8os2.bmp"},   // OS/2 1.x, odd size fields
    {"questionable/pal8os2-sz.bmp", nullptr, "good/pal8os2.bmp"},
    {"questionable/pal8os2sp.bmp", nullptr, "good/pal8os2.bmp"},    // OS/2 1.x, 252-entry palette
    {"questionable/pal8os2v2.bmp", nullptr, "good/pal8.bmp"},       // OS/2 2.x, 64-byte header
    {"questionable/pal8os2v2-16.bmp", nullptr, "good/pal8.bmp"},    // OS/2 2.x, 16-byte header
    {"questionable/pal8os2v2-40sz.bmp", nullptr, "good/pal8.bmp"},  // OS/2 2.x, 40-byte header
    {"questionable/pal8os2v2-sz.bmp", nullptr, "good/pal8.bmp"},    // OS/2 2.x, odd size fields
    {"questionable/rgb16faketrns.bmp", nullptr, "good/rgb16.bmp"},  // unused top bit set
    {"questionable/rgb24largepal.bmp", nullptr, "good/rgb24.bmp"},  // needless 300-entry palette
    {"questionable/rgb24lprof.bmp", nullptr, "good/rgb24.bmp"},     // V5, linked colour profile
    {"questionable/rgb32fakealpha.bmp", nullptr, "good/rgb32.bmp"}, // BI_RGB with a filled fourth byte
    {"questionable/rgb32h52.bmp", nullptr, "good/rgb32.bmp"},       // masks in a 52-byte header
    {"questionable/rgb32-xbgr.bmp", nullptr, "good/rgb32.bmp"},     // masks at the top of the word
    {"questionable/rgb32-111110.bmp", nullptr, "good/rgb24.bmp", {11, 11, 10}},
    {"questionable/rgb32-7187.bmp", nullptr, "good/rgb24.bmp", {7, 18, 7}},
    {"questionable/rgb16-231.bmp", nullptr, nullptr, {2, 3, 1}},
    {"questionable/rgb16-3103.bmp", nullptr, nullptr, {3, 10, 3}},
    // The alpha pictures: one image in several layouts, alpha dropped.
    {"questionable/rgba32-1.bmp", nullptr, "questionable/rgba32-2.bmp"},
    {"questionable/rgba32-2.bmp", nullptr, "questionable/rgba32h56.bmp"},
    {"questionable/rgba32h56.bmp", nullptr, "questionable/rgba32abf.bmp"}, // masks in a 56-byte header
    {"questionable/rgba32abf.bmp", nullptr, "questionable/rgba32-1.bmp"},  // BI_ALPHABITFIELDS
    {"questionable/rgba32-1010102.bmp", nullptr, "questionable/rgba32-1.bmp", {10, 10, 10}},
    {"questionable/rgba32-61754.bmp", nullptr, "questionable/rgba32-1.bmp", {6, 17, 5}},
    {"questionable/rgba32-81284.bmp", nullptr, "questionable/rgba32-1.bmp", {8, 12, 8}},
    {"questionable/rgba16-4444.bmp", nullptr, "questionable/rgba32-1.bmp", {4, 4, 4}},
    {"questionable/rgba16-1924.bmp", nullptr, nullptr, {1, 9, 2}},
    {"questionable/rgba16-5551.bmp", nullptr, "good/rgb16.bmp", {5, 5, 5}},
    // Questionable files in encodings this reader does not offer.
    {"questionable/pal1huffmsb.bmp", "unsupported compression"}, // OS/2 Huffman
    {"questionable/rgb24rle24.bmp", "unsupported compression"},  // OS/2 RLE24
    {"questionable/rgb24jpeg.bmp", "unsupported compression"},
    {"questionable/rgb24png.bmp", "unsupported compression"},
    {"questionable/rgba64.bmp", "unsupported bit count"},
    // Bad files whose only fault is in fields a reader does not need.
    {"bad/badbitssize.bmp", nullptr, "good/pal1.bmp"},
    {"bad/baddens1.bmp", nullptr, "good/pal1.bmp"},
    {"bad/baddens2.bmp", nullptr, "good/pal1.bmp"},
    {"bad/badfilesize.bmp", nullptr, "good/pal1.bmp"},
    // Indices past the 101-entry palette: shown black (checked against the file below).
    {"bad/pal8badindex.bmp", nullptr},
    // Bad files that must be refused.
    {"bad/badbitcount.bmp", "unsupported bit count"},
    {"bad/badheadersize.bmp", "unknown header size"},
    {"bad/badpalettesize.bmp", "palette does not fit"},
    {"bad/badplanes.bmp", "plane count"},
    {"bad/badrle.bmp", "RLE run past the end of a row"},
    {"bad/badrle4.bmp", "RLE run past the end of a row"},
    {"bad/badrlebis.bmp", "RLE delta past the image"},
    {"bad/badrleter.bmp", "RLE delta past the image"},
    {"bad/badrle4bis.bmp", "RLE delta past the image"},
    {"bad/badrle4ter.bmp", "RLE delta past the image"},
    {"bad/badwidth.bmp", "width is not positive"},
    {"bad/reallybig.bmp", "more than 16384 pixels on a side"},
    {"bad/rgb16-880.bmp", "zero bit-field mask"}, // no blue bits
    {"bad/rletopdown.bmp", "top-down RLE"},
    {"bad/shortfile.bmp", "truncated pixel data"},
};

TEST(BmpCorpus, EveryUnusualAndBadFileHasAnExpectation) {
    std::set<std::string> listed;
    for (const CorpusCase& c : kCorpus)
        listed.insert(c.file);
    for (const char* dir : {"questionable", "bad"})
        for (const auto& entry : fs::directory_iterator(kSuite / dir))
            EXPECT_TRUE(listed.count(std::string(dir) + "/" + entry.path().filename().string()))
                << entry.path() << " has no row in the table";
}

class BmpCorpus : public testing::TestWithParam<CorpusCase> {};

// The 8-bit levels an n-bit channel can take when it spans 0..255.
std::set<int> Levels(int bits) {
    std::set<int> levels;
    const int max = (1 << bits) - 1;
    for (int v = 0; v <= max; ++v)
        levels.insert((v * 255 + max / 2) / max);
    return levels;
}

// Each channel within half a step of its own precision of the other picture's; with holes, a pixel
// may instead show the background.
void ExpectSamePicture(const win::bmp::Image& image, const win::bmp::Image& other, const CorpusCase& c,
                       const Bgr& background) {
    ASSERT_EQ(other.pixels.size(), image.pixels.size());
    int holes = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const Bgr got = PixelAt(image, x, y), want = PixelAt(other, x, y);
            if (c.extra == Extra::BackgroundHoles && got != want) {
                ASSERT_EQ(got, background) << "at " << x << "," << y;
                ++holes;
                continue;
            }
            for (int ch = 0; ch < 3; ++ch) {
                const int bits = c.channelBits[2 - ch];
                const int tolerance = bits == 8 ? 0 : 255 / ((1 << std::min(bits, 8)) - 1) / 2 + 1;
                ASSERT_LE(std::abs(got[ch] - want[ch]), tolerance) << "at " << x << "," << y << " channel " << ch;
            }
        }
    if (c.extra == Extra::BackgroundHoles) {
        EXPECT_GT(holes, 0) << "the skipped pixels should show the background";
    }
}

// A channel of under 5 bits takes only its own levels, and both ends of 0..255.
void ExpectChannelLevels(const win::bmp::Image& image, int channel, int bits) {
    const std::set<int> levels = Levels(bits);
    std::set<int> seen;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            seen.insert(PixelAt(image, x, y)[channel]);
    EXPECT_TRUE(std::includes(levels.begin(), levels.end(), seen.begin(), seen.end())) << "channel " << channel;
    EXPECT_TRUE(seen.count(0) && seen.count(255)) << "channel " << channel << " should span 0..255";
}

TEST_P(BmpCorpus, DecodesRightOrRefuses) {
    const CorpusCase& c = GetParam();
    const Bytes bytes = ReadBytes(kSuite / c.file);
    ASSERT_FALSE(bytes.empty()) << "missing corpus file " << c.file;
    win::bmp::Image image;
    image.width = 5; // refusal must leave it empty
    image.pixels.assign(16, 1);
    std::string reason;
    const bool decoded = win::bmp::Decode(bytes.data(), bytes.size(), image, reason);
    if (c.refusal) {
        EXPECT_FALSE(decoded);
        EXPECT_NE(reason.find(c.refusal), std::string::npos) << "reason: " << reason;
        EXPECT_TRUE(image.pixels.empty());
        EXPECT_EQ(image.width, 0);
        return;
    }
    ASSERT_TRUE(decoded) << reason;
    ASSERT_EQ(image.width, 127);
    ASSERT_EQ(image.height, 64);
    ASSERT_EQ(image.pixels.size(), image.stride() * 64);

    const Bgr paletteEntry0 = {bytes.at(54), bytes.at(55), bytes.at(56)}; // these files have 40-byte headers
    if (c.sameAs) {
        ExpectSamePicture(image, MustDecode(ReadBytes(kSuite / c.sameAs)), c, paletteEntry0);
    }
    for (int ch = 0; ch < 3; ++ch) {
        if (c.channelBits[2 - ch] < 5)
            ExpectChannelLevels(image, ch, c.channelBits[2 - ch]);
    }
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const Bgr got = PixelAt(image, x, y);
            if (c.extra == Extra::SingleColour) {
                ASSERT_EQ(got, paletteEntry0) << "at " << x << "," << y;
            }
            if (c.extra == Extra::Grey) {
                ASSERT_TRUE(got[0] == got[1] && got[1] == got[2]) << "at " << x << "," << y;
            }
        }
}

INSTANTIATE_TEST_SUITE_P(Files, BmpCorpus, testing::ValuesIn(kCorpus), CaseName);

// Indices past a short palette show black, the rest their palette colour.
TEST(BmpCorpus, IndexPastThePaletteShowsBlack) {
    const Bytes bytes = ReadBytes(kSuite / "bad/pal8badindex.bmp");
    const win::bmp::Image image = MustDecode(bytes);
    ASSERT_EQ(image.width, 127);
    const std::uint32_t offset = LittleEndian(bytes, 10, 4), colours = LittleEndian(bytes, 46, 4);
    int pastPalette = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const std::uint8_t index = bytes.at(offset + y * 128 + x);
            const Bgr want = index < colours
                                 ? Bgr{bytes.at(54 + index * 4), bytes.at(55 + index * 4), bytes.at(56 + index * 4)}
                                 : Bgr{0, 0, 0};
            pastPalette += index >= colours;
            ASSERT_EQ(PixelAt(image, x, y), want) << "index " << int(index) << " at " << x << "," << y;
        }
    EXPECT_GT(pastPalette, 0);
}

// ---------------------------------------------------------------------------------------------------
// Hostile files made here: each refused for its own reason.

struct Hostile {
    const char* name;
    Bytes bytes;
    const char* reason;
};

Bytes Truncated(Bytes b, std::size_t size) {
    b.resize(size);
    return b;
}

Bytes Patched(Bytes b, std::size_t at, std::uint8_t value) {
    b.at(at) = value;
    return b;
}

std::vector<Hostile> HostileFiles() {
    const Bytes rgb2x2 = BmpFile{.width = 2, .height = 2, .pixels = Bytes(16, 0x40)}.Build();
    const Bytes palette2 = {0, 0, 0, 0, 255, 255, 255, 0};
    auto rle8 = [&](std::int32_t width, std::int32_t height, Bytes stream) {
        return BmpFile{.width = width,
                       .height = height,
                       .bits = 8,
                       .compression = kRle8,
                       .palette = palette2,
                       .pixels = std::move(stream)}
            .Build();
    };
    auto fields16 = [](std::vector<std::uint32_t> masks) {
        return BmpFile{.width = 1,
                       .height = 1,
                       .bits = 16,
                       .compression = kBitFields,
                       .masks = std::move(masks),
                       .pixels = Bytes(4, 0xFF)}
            .Build();
    };
    return {
        {"empty", {}, "truncated file header"},
        {"signature only", {'B', 'M'}, "truncated file header"},
        {"other signature", Patched(rgb2x2, 1, 'A'), "not a BMP file"},
        {"cut in the info header", Truncated(rgb2x2, 30), "truncated info header"},
        {"cut before the header size", Truncated(rgb2x2, 16), "truncated info header"},
        {"unknown header size", BmpFile{.pixels = Bytes(4), .headerSize = 44}.Build(), "unknown header size 44"},
        {"masks cut off", Truncated(fields16({0x7C00, 0x3E0, 0x1F}), 60), "truncated bit-field masks"},
        {"two planes", BmpFile{.pixels = Bytes(4), .planes = 2}.Build(), "plane count"},
        {"7 bits per pixel", BmpFile{.bits = 7, .pixels = Bytes(4)}.Build(), "unsupported bit count 7"},
        {"compression 7", BmpFile{.compression = 7, .pixels = Bytes(4)}.Build(), "unsupported compression 7"},
        {"RLE8 on 4 bits", BmpFile{.bits = 4, .compression = kRle8, .pixels = {0, 1}}.Build(), "does not suit"},
        {"RLE4 on 8 bits", BmpFile{.bits = 8, .compression = kRle4, .pixels = {0, 1}}.Build(), "does not suit"},
        {"bit fields on 24 bits",
         BmpFile{.compression = kBitFields, .masks = {0xFF0000, 0xFF00, 0xFF}, .pixels = Bytes(4)}.Build(),
         "does not suit"},
        {"zero width", BmpFile{.width = 0, .pixels = Bytes(4)}.Build(), "width is not positive"},
        {"negative width", BmpFile{.width = -2, .pixels = Bytes(4)}.Build(), "width is not positive"},
        {"zero height", BmpFile{.height = 0, .pixels = Bytes(4)}.Build(), "height is zero"},
        {"16385 wide", BmpFile{.width = 16385, .pixels = Bytes(4)}.Build(), "more than 16384 pixels on a side"},
        {"16385 high top-down", BmpFile{.height = -16385, .pixels = Bytes(4)}.Build(), "on a side"},
        {"most negative height", BmpFile{.height = INT32_MIN, .pixels = Bytes(4)}.Build(), "on a side"},
        // Products that wrap in 32 bits (65536 * 65536 * 4) or 64 bits (2^31 squared times 32 bits).
        {"32-bit size wrap", BmpFile{.width = 65536, .height = 65536, .bits = 32}.Build(), "on a side"},
        {"64-bit size wrap", BmpFile{.width = INT32_MAX, .height = INT32_MAX, .bits = 32}.Build(), "on a side"},
        // 16384 * 3 * 5462 is just over 256 MiB; one row fewer fits and fails only on the missing pixels.
        {"over 256 MiB", BmpFile{.width = 16384, .height = 5462}.Build(), "picture larger than 256 MiB"},
        {"16384 square at 32 bits", BmpFile{.width = 16384, .height = 16384, .bits = 32}.Build(), "256 MiB"},
        {"just under 256 MiB, no pixels", BmpFile{.width = 16384, .height = 5461}.Build(), "truncated pixel data"},
        {"RLE with no pixels, too big",
         BmpFile{.width = 16384, .height = 16384, .bits = 8, .compression = kRle8, .pixels = {0, 1}}.Build(),
         "256 MiB"},
        {"last row missing", Truncated(rgb2x2, rgb2x2.size() - 8), "truncated pixel data"},
        {"last padding byte missing", Truncated(rgb2x2, rgb2x2.size() - 1), "truncated pixel data"},
        {"pixel offset past the end", BmpFile{.pixels = Bytes(4), .pixelOffset = 4000}.Build(), "truncated pixel data"},
        {"pixel offset inside the header", BmpFile{.pixels = Bytes(4), .pixelOffset = 40}.Build(),
         "inside the headers"},
        {"palette past the end", BmpFile{.bits = 8, .palette = palette2, .pixels = Bytes(4), .colorsUsed = 200}.Build(),
         "palette does not fit in the file"},
        {"zero masks", fields16({0, 0, 0}), "zero bit-field mask"},
        {"zero green mask", fields16({0x7C00, 0, 0x1F}), "zero bit-field mask"},
        {"overlapping masks", fields16({0xF800, 0x0FE0, 0x001F}), "overlapping bit-field masks"},
        {"non-contiguous mask", fields16({0x7C00, 0x03E0, 0x0015}), "non-contiguous bit-field mask"},
        {"mask above 16 bits", fields16({0x1F0000, 0x03E0, 0x001F}), "bit-field mask wider than the pixel"},
        {"RLE8 run past the row", rle8(4, 1, {5, 1, 0, 1}), "RLE run past the end of a row"},
        {"RLE8 absolute run past the row", rle8(4, 1, {0, 5, 1, 1, 1, 1, 1, 0, 0, 1}), "RLE run past the end of a row"},
        {"RLE4 run past the row",
         BmpFile{.width = 3, .bits = 4, .compression = kRle4, .palette = palette2, .pixels = {4, 0x10, 0, 1}}.Build(),
         "RLE run past the end of a row"},
        {"RLE delta past the row end", rle8(4, 2, {2, 1, 0, 2, 3, 0, 0, 1}), "RLE delta past the image"},
        {"RLE delta past the top", rle8(4, 2, {0, 2, 0, 2, 0, 1}), "RLE delta past the image"},
        {"RLE pixels above the last row", rle8(2, 1, {2, 1, 0, 0, 1, 1, 0, 1}), "RLE data past the image"},
        {"RLE absolute run cut off", rle8(8, 1, {0, 6, 1, 1}), "truncated RLE data"},
        {"RLE delta cut off", rle8(8, 1, {0, 2, 1}), "truncated RLE data"},
        {"RLE ends half way", rle8(8, 2, {8, 1, 0, 0, 3, 1}), "truncated RLE data"},
        {"top-down RLE", rle8(2, -1, {2, 1, 0, 1}), "top-down RLE"},
    };
}

TEST(BmpHostile, RefusedForTheRightReason) {
    for (const Hostile& h : HostileFiles()) {
        SCOPED_TRACE(h.name);
        // An exact-size heap copy, so a read past the end trips the sanitizers.
        const Bytes exact(h.bytes);
        win::bmp::Image image;
        image.width = 3;
        image.pixels.assign(12, 7);
        std::string reason;
        EXPECT_FALSE(win::bmp::Decode(exact.data(), exact.size(), image, reason));
        EXPECT_NE(reason.find(h.reason), std::string::npos) << "reason: " << reason;
        EXPECT_TRUE(image.pixels.empty());
        EXPECT_EQ(image.width, 0);
        EXPECT_EQ(image.height, 0);
    }
}

// ---------------------------------------------------------------------------------------------------
// Layouts the corpus does not cover.

// Rows arrive top-down or bottom-up; the picture always comes out bottom row first, padded with zeros.
TEST(BmpLayout, OddWidthRowsLandBottomFirstWithZeroPadding) {
    constexpr int kWidth = 127, kHeight = 3, kStride = 384; // 381 bytes of pixels + 3 of padding
    for (const bool topDown : {false, true}) {
        SCOPED_TRACE(topDown ? "top-down" : "bottom-up");
        Bytes pixels(kStride * kHeight, 0xAA); // padding left as garbage
        for (int row = 0; row < kHeight; ++row) {
            const int pictureRow = topDown ? kHeight - 1 - row : row; // counted from the bottom
            for (int x = 0; x < kWidth; ++x) {
                std::uint8_t* p = &pixels[row * kStride + x * 3];
                p[0] = static_cast<std::uint8_t>(x);
                p[1] = static_cast<std::uint8_t>(pictureRow);
                p[2] = static_cast<std::uint8_t>(200 + pictureRow);
            }
        }
        const win::bmp::Image image =
            MustDecode(BmpFile{.width = kWidth, .height = topDown ? -kHeight : kHeight, .pixels = pixels}.Build());
        ASSERT_EQ(image.width, kWidth);
        ASSERT_EQ(image.height, kHeight);
        ASSERT_EQ(image.stride(), std::size_t{kStride});
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x)
                ASSERT_EQ(PixelAt(image, x, y), (Bgr{std::uint8_t(x), std::uint8_t(y), std::uint8_t(200 + y)}))
                    << x << "," << y;
            for (int pad = kWidth * 3; pad < kStride; ++pad)
                EXPECT_EQ(image.pixels[y * kStride + pad], 0) << "padding of row " << y;
        }
    }
}

// Bit-field channels span 0..255 whatever their width.
TEST(BmpLayout, BitFieldChannelsScaleToFullRange) {
    struct Case {
        std::uint16_t bits;
        std::uint32_t mask; // the red channel; green and blue take other bits
        std::uint32_t green, blue;
        std::uint32_t value; // red field value
        std::uint8_t red;    // expected 8-bit red
    };
    const Case cases[] = {
        {16, 0x7C00, 0x03E0, 0x001F, 31, 255},
        {16, 0x7C00, 0x03E0, 0x001F, 0, 0},
        {16, 0x7C00, 0x03E0, 0x001F, 16, 132}, // 10000 -> 10000100
        {16, 0x8000, 0x03E0, 0x001F, 1, 255},
        {16, 0xF800, 0x07E0, 0x001F, 1, 8},
        {32, 0x3FF00000, 0x000FFC00, 0x3FF, 1023, 255},
        {32, 0x3FF00000, 0x000FFC00, 0x3FF, 512, 128},
        {32, 0xFFFFFF00, 0x000000F0, 0x00F, 0xFFFFFF, 255}, // 24-bit red
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("mask " + std::to_string(c.mask) + " value " + std::to_string(c.value));
        const std::uint32_t pixel = c.value << std::countr_zero(c.mask);
        Bytes pixels(4, 0);
        for (int i = 0; i < c.bits / 8; ++i)
            pixels[i] = static_cast<std::uint8_t>(pixel >> (8 * i));
        const win::bmp::Image image = MustDecode(
            BmpFile{.bits = c.bits, .compression = kBitFields, .masks = {c.mask, c.green, c.blue}, .pixels = pixels}
                .Build());
        ASSERT_EQ(image.width, 1);
        EXPECT_EQ(PixelAt(image, 0, 0), (Bgr{0, 0, c.red}));
    }
}

// RLE streams: runs, odd absolute runs, deltas, line ends; what they skip shows palette entry 0.
TEST(BmpLayout, RleStreamsPaintWhatTheySayAndLeaveTheBackground) {
    const Bgr k0 = {1, 2, 3}, k1 = {10, 20, 30}, k2 = {40, 50, 60}, k3 = {70, 80, 90};
    const Bytes palette = {1, 2, 3, 0, 10, 20, 30, 0, 40, 50, 60, 0, 70, 80, 90, 0};
    struct Case {
        const char* name;
        std::uint16_t bits;
        std::int32_t width, height;
        Bytes stream;
        std::vector<Bgr> picture; // bottom row first
    };
    const Case cases[] = {
        {"RLE4 odd absolute run, then an odd run",
         4,
         6,
         1,
         {0, 3, 0x12, 0x30, 3, 0x12, 0, 1},
         {k1, k2, k3, k1, k2, k1}},
        {"RLE4 absolute run of 5 padded to a word",
         4,
         5,
         2,
         {0, 5, 0x12, 0x31, 0x20, 0, 0, 0, 5, 0x33, 0, 1},
         {k1, k2, k3, k1, k2, k3, k3, k3, k3, k3}},
        {"RLE8 odd absolute run padded", 8, 4, 1, {0, 3, 3, 2, 1, 0, 1, 1, 0, 1}, {k3, k2, k1, k1}},
        {"delta skips ahead and up", 8, 3, 2, {1, 1, 0, 2, 1, 1, 1, 3, 0, 1}, {k1, k0, k0, k0, k0, k3}},
        {"early line end and end of picture", 8, 3, 3, {1, 2, 0, 0, 3, 1, 0, 1}, {k2, k0, k0, k1, k1, k1, k0, k0, k0}},
        {"line end after the last row", 8, 2, 1, {2, 3, 0, 0, 0, 1}, {k3, k3}},
        {"no end marker once the picture is full", 8, 2, 1, {2, 1}, {k1, k1}},
        {"index past the palette", 8, 2, 1, {1, 9, 1, 3, 0, 1}, {{0, 0, 0}, k3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const win::bmp::Image image = MustDecode(BmpFile{.width = c.width,
                                                         .height = c.height,
                                                         .bits = c.bits,
                                                         .compression = c.bits == 4 ? kRle4 : kRle8,
                                                         .palette = palette,
                                                         .pixels = c.stream,
                                                         .colorsUsed = 4}
                                                     .Build());
        ASSERT_EQ(image.width, c.width);
        ASSERT_EQ(image.height, c.height);
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x)
                EXPECT_EQ(PixelAt(image, x, y), c.picture[y * c.width + x]) << x << "," << y;
    }
}

// ---------------------------------------------------------------------------------------------------
// The file's own depth: paletted files keep their indices and their colour table.

// Index of pixel (x, y), y counted from the bottom row.
unsigned IndexAt(const win::bmp::Image& image, int x, int y) {
    const unsigned bits = static_cast<unsigned>(image.bits), perByte = 8 / bits;
    const std::uint8_t byte = image.pixels.at(y * image.stride() + x / perByte);
    return (byte >> (8 - bits * (x % perByte + 1))) & ((1u << bits) - 1);
}

TEST(BmpIndexed, PalettedFilesKeepTheirIndices) {
    const Bytes palette = {1, 2, 3, 0, 10, 20, 30, 0, 40, 50, 60, 0, 70, 80, 90, 0};
    struct Case {
        const char* name;
        BmpFile file;
        int bits;                      // of the picture
        std::vector<unsigned> indices; // bottom row first
    };
    const Case cases[] = {
        // 10 pixels of 1 bit: the six bits after them in the second byte are garbage in the file.
        {"1 bit, padding bits set",
         BmpFile{.width = 10, .bits = 1, .palette = palette, .pixels = {0xA5, 0x7F, 0xFF, 0xFF}, .colorsUsed = 2},
         1,
         {1, 0, 1, 0, 0, 1, 0, 1, 0, 1}},
        {"2 bits widen to 4",
         BmpFile{.width = 5, .bits = 2, .palette = palette, .pixels = {0x1B, 0xC0, 0, 0}, .colorsUsed = 4},
         4,
         {0, 1, 2, 3, 3}},
        {"4 bits, odd width",
         BmpFile{.width = 3, .bits = 4, .palette = palette, .pixels = {0x21, 0x3F, 0, 0}, .colorsUsed = 4},
         4,
         {2, 1, 3}},
        {"8 bits top-down come out bottom row first",
         BmpFile{.width = 2,
                 .height = -2,
                 .bits = 8,
                 .palette = palette,
                 .pixels = {1, 2, 0, 0, 3, 0, 0, 0},
                 .colorsUsed = 4},
         8,
         {3, 0, 1, 2}},
        {"8 bits, index past the palette kept",
         BmpFile{.width = 2, .bits = 8, .palette = palette, .pixels = {200, 3, 0, 0}, .colorsUsed = 4},
         8,
         {200, 3}},
        {"RLE8, skipped pixels are index 0",
         BmpFile{.width = 3,
                 .height = 2,
                 .bits = 8,
                 .compression = kRle8,
                 .palette = palette,
                 .pixels = {1, 1, 0, 2, 1, 1, 1, 3, 0, 1},
                 .colorsUsed = 4},
         8,
         {1, 0, 0, 0, 0, 3}},
        {"RLE4 run alternates its nibbles",
         BmpFile{.width = 5,
                 .bits = 4,
                 .compression = kRle4,
                 .palette = palette,
                 .pixels = {5, 0x12, 0, 1},
                 .colorsUsed = 4},
         4,
         {1, 2, 1, 2, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes bytes = c.file.Build();
        win::bmp::Image image;
        std::string reason;
        ASSERT_TRUE(win::bmp::Decode(bytes.data(), bytes.size(), image, reason, win::bmp::Depth::File)) << reason;
        ASSERT_EQ(image.bits, c.bits);
        ASSERT_EQ(image.colours.size(), std::size_t{1} << c.bits);
        for (std::size_t i = 0; i < image.colours.size(); ++i) {
            const win::bmp::Colour want = i < 4
                                              ? win::bmp::Colour{palette[i * 4], palette[i * 4 + 1], palette[i * 4 + 2]}
                                              : win::bmp::Colour{0, 0, 0};
            EXPECT_EQ(image.colours[i], want) << "entry " << i;
        }
        const int width = image.width;
        ASSERT_EQ(static_cast<std::size_t>(width * image.height), c.indices.size());
        for (int y = 0; y < image.height; ++y) {
            for (int x = 0; x < width; ++x)
                EXPECT_EQ(IndexAt(image, x, y), c.indices[static_cast<std::size_t>(y * width + x)]) << x << "," << y;
            const std::size_t used = static_cast<std::size_t>(width) * c.bits;
            const std::uint8_t* row = image.pixels.data() + y * image.stride();
            if (used % 8) {
                EXPECT_EQ(row[used / 8] & (0xFF >> (used % 8)), 0) << "bits after the last pixel of row " << y;
            }
        }
    }
}

// Every corpus file: both layouts accept or refuse it alike, deeper files stay 24-bit, and each index
// shows through its table the colour of the 24-bit layout.
TEST(BmpIndexed, AgreesWithTheColourLayoutOnTheCorpus) {
    int indexed = 0;
    for (const char* dir : {"good", "questionable", "bad"})
        for (const auto& entry : fs::directory_iterator(kSuite / dir)) {
            SCOPED_TRACE(entry.path().string());
            const Bytes bytes = ReadBytes(entry.path());
            win::bmp::Image colour, own;
            std::string reason, ownReason;
            const bool decoded = win::bmp::Decode(bytes.data(), bytes.size(), colour, reason);
            ASSERT_EQ(win::bmp::Decode(bytes.data(), bytes.size(), own, ownReason, win::bmp::Depth::File), decoded);
            EXPECT_EQ(ownReason, reason);
            if (!decoded)
                continue;
            ASSERT_EQ(own.width, colour.width);
            ASSERT_EQ(own.height, colour.height);
            if (own.bits == 24) {
                EXPECT_EQ(own.pixels, colour.pixels);
                continue;
            }
            ++indexed;
            for (int y = 0; y < own.height; ++y)
                for (int x = 0; x < own.width; ++x)
                    ASSERT_EQ(own.colours.at(IndexAt(own, x, y)), PixelAt(colour, x, y)) << x << "," << y;
        }
    EXPECT_GT(indexed, 20);
}

// ---------------------------------------------------------------------------------------------------
// Files on disk.

class BmpFiles : public testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::path(testing::TempDir()) / ("nembra-bmp-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Refusal(const fs::path& path) {
        win::bmp::Image image;
        std::string reason;
        EXPECT_FALSE(win::bmp::LoadFile(path.c_str(), image, reason));
        EXPECT_TRUE(image.pixels.empty());
        return reason;
    }

    fs::path dir_;
};

TEST_F(BmpFiles, LoadsWhatDecodeDecodes) {
    const Bytes bytes = ReadBytes(kSuite / "good/pal4rle.bmp");
    win::bmp::Image loaded;
    std::string reason;
    ASSERT_TRUE(win::bmp::LoadFile((kSuite / "good/pal4rle.bmp").c_str(), loaded, reason)) << reason;
    const win::bmp::Image decoded = MustDecode(bytes);
    EXPECT_EQ(loaded.width, decoded.width);
    EXPECT_EQ(loaded.height, decoded.height);
    EXPECT_EQ(loaded.pixels, decoded.pixels);
}

TEST_F(BmpFiles, RefusesWhatCannotBeRead) {
    EXPECT_EQ(Refusal(dir_ / "absent.bmp"), "cannot open: No such file or directory");
    EXPECT_EQ(Refusal(dir_), "cannot read: Is a directory");
    { std::ofstream(dir_ / "empty.bmp"); }
    EXPECT_EQ(Refusal(dir_ / "empty.bmp"), "truncated file header");
}

// A huge file is refused from its size alone: sparse, so it costs no disk and would take long to read.
TEST_F(BmpFiles, RefusesAHugeFileBeforeReadingIt) {
    const fs::path path = dir_ / "huge.bmp";
    const Bytes header = BmpFile{.width = 16384, .height = 4096}.Build();
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(header.data()), static_cast<std::streamsize>(header.size()));
    }
    fs::resize_file(path, 2 * win::bmp::kMaxPixelBytes);
    EXPECT_EQ(Refusal(path), "file too large");
}

} // namespace
