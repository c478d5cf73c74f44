// PNG entries of icon files (the form icon editors use for large sizes), decoded with libpng's
// simplified reader, which reports errors through its control record instead of a long jump.
#include "nembra/platform/curfile.h"

#include <png.h>

namespace win::curfile {

bool DecodePng(const std::uint8_t* data, std::size_t size, std::int64_t maxPixels, Image& out, std::string& reason) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, data, size)) {
        reason = std::string("bad PNG image: ") + image.message;
        png_image_free(&image);
        return false;
    }
    const std::int64_t width = image.width, height = image.height;
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) {
        png_image_free(&image);
        reason = "more than " + std::to_string(kMaxSide) + " pixels on a side";
        return false;
    }
    if (width * height > maxPixels) {
        png_image_free(&image);
        reason = "images larger than 64 MiB in all";
        return false;
    }
    // 8-bit straight RGBA in sRGB, whatever the stream's own type, depth and gamma.
    image.format = PNG_FORMAT_RGBA;
    std::vector<std::uint8_t> rgba(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) {
        reason = std::string("bad PNG image: ") + image.message;
        png_image_free(&image);
        return false;
    }
    out.width = static_cast<int>(width);
    out.height = static_cast<int>(height);
    out.bits = 32;
    out.argb.resize(static_cast<std::size_t>(width * height));
    for (std::size_t i = 0; i < out.argb.size(); ++i) {
        const std::uint8_t* p = &rgba[i * 4];
        out.argb[i] = std::uint32_t{p[3]} << 24 | std::uint32_t{p[0]} << 16 | std::uint32_t{p[1]} << 8 | p[2];
    }
    return true;
}

} // namespace win::curfile
