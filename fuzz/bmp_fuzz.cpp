// Feeds arbitrary bytes to the BMP decoder in both of its layouts; the sanitizers catch stray memory
// access, the checks below a decoded picture that breaks the Image contract, a refusal that leaves
// something behind, or two layouts of one file that disagree.
#include "nembra/platform/bmp.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void Fail(const char* what) {
    std::fprintf(stderr, "bmp_fuzz: %s\n", what);
    std::abort();
}

void CheckImage(const win::bmp::Image& image) {
    if (image.width <= 0 || image.width > win::bmp::kMaxSide || image.height <= 0 || image.height > win::bmp::kMaxSide)
        Fail("side out of range");
    if (image.pixels.size() != image.stride() * static_cast<std::size_t>(image.height))
        Fail("pixel buffer does not match stride * height");
    if (image.pixels.size() > static_cast<std::size_t>(win::bmp::kMaxPixelBytes))
        Fail("picture above the size limit");
    const bool indexed = image.bits == 1 || image.bits == 4 || image.bits == 8;
    if (!indexed && image.bits != 24)
        Fail("unexpected depth");
    if (image.colours.size() != (indexed ? std::size_t{1} << image.bits : 0))
        Fail("colour table does not have 2^bits entries");
    // Row padding is part of the contract: always zero, so uploads and comparisons see no garbage.
    const std::size_t used = static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.bits);
    for (int y = 0; y < image.height; ++y) {
        const std::uint8_t* row = image.pixels.data() + y * image.stride();
        if (used % 8 && (row[used / 8] & (0xFF >> (used % 8))) != 0)
            Fail("non-zero bits after the last pixel");
        for (std::size_t i = (used + 7) / 8; i < image.stride(); ++i)
            if (row[i] != 0)
                Fail("non-zero row padding");
    }
}

// The colour of pixel (x, y) of an indexed picture, through its colour table.
const std::uint8_t* ColourAt(const win::bmp::Image& image, int x, int y) {
    const std::uint8_t* row = image.pixels.data() + y * image.stride();
    const unsigned bits = static_cast<unsigned>(image.bits), perByte = 8 / bits;
    const unsigned index = (row[x / perByte] >> (8 - bits * (x % perByte + 1))) & ((1u << bits) - 1);
    return image.colours[index].data();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    win::bmp::Image image, indexed;
    std::string reason, indexedReason;
    const bool decoded = win::bmp::Decode(data, size, image, reason);
    const bool indexedDecoded = win::bmp::Decode(data, size, indexed, indexedReason, win::bmp::Depth::File);
    if (decoded != indexedDecoded || reason != indexedReason)
        Fail("the two layouts disagree on refusal");
    if (!decoded) {
        if (reason.empty())
            Fail("refused without a reason");
        for (const win::bmp::Image* i : {&image, &indexed})
            if (i->width != 0 || i->height != 0 || !i->pixels.empty() || !i->colours.empty())
                Fail("refusal left a picture behind");
        return 0;
    }
    CheckImage(image);
    if (image.bits != 24)
        Fail("24-bit layout of another depth");
    CheckImage(indexed);
    if (indexed.width != image.width || indexed.height != image.height)
        Fail("the two layouts differ in size");
    if (indexed.bits == 24) {
        if (indexed.pixels != image.pixels)
            Fail("the two 24-bit layouts differ");
        return 0;
    }
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            if (std::memcmp(ColourAt(indexed, x, y), image.pixels.data() + y * image.stride() + x * 3, 3) != 0)
                Fail("an index shows another colour than the 24-bit layout");
    return 0;
}
