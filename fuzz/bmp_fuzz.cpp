// Feeds arbitrary bytes to the BMP decoder; the sanitizers catch stray memory access, the checks
// below a decoded picture that breaks the Image contract or a refusal that leaves something behind.
#include "nembra/platform/bmp.h"

#include <cstdio>
#include <cstdlib>

namespace {

void Fail(const char* what) {
    std::fprintf(stderr, "bmp_fuzz: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    win::bmp::Image image;
    std::string reason;
    if (!win::bmp::Decode(data, size, image, reason)) {
        if (reason.empty())
            Fail("refused without a reason");
        if (image.width != 0 || image.height != 0 || !image.bgr.empty())
            Fail("refusal left a picture behind");
        return 0;
    }
    if (image.width <= 0 || image.width > win::bmp::kMaxSide || image.height <= 0 || image.height > win::bmp::kMaxSide)
        Fail("side out of range");
    if (image.bgr.size() != image.stride() * static_cast<std::size_t>(image.height))
        Fail("pixel buffer does not match stride * height");
    if (image.bgr.size() > static_cast<std::size_t>(win::bmp::kMaxPixelBytes))
        Fail("picture above the size limit");
    // Row padding is part of the contract: always zero, so uploads and comparisons see no garbage.
    for (int y = 0; y < image.height; ++y)
        for (std::size_t i = static_cast<std::size_t>(image.width) * 3; i < image.stride(); ++i)
            if (image.bgr[y * image.stride() + i] != 0)
                Fail("non-zero row padding");
    return 0;
}
