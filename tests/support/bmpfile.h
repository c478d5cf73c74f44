// BMP files made in memory for the tests and benchmarks: the decoder's fixtures, texture files and
// benchmark pictures all come from this one builder.
#pragma once

#include <cstdint>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

using Bytes = std::vector<std::uint8_t>;

// A BMP file with a 40-byte (or differently sized, zero-filled) info header; masks, palette and
// pixels follow it in that order.
struct BmpFile {
    std::int32_t width = 1;
    std::int32_t height = 1;
    std::uint16_t bits = 24;
    std::uint32_t compression = 0;
    std::vector<std::uint32_t> masks = {}; // written after the header
    std::vector<std::uint8_t> palette = {};
    std::vector<std::uint8_t> pixels = {};
    std::uint32_t colorsUsed = 0;
    std::uint16_t planes = 1;
    std::uint32_t headerSize = 40;
    std::optional<std::uint32_t> pixelOffset = {};

    Bytes Build() const {
        Bytes b;
        auto put = [&b](std::uint32_t v, int count) {
            for (int i = 0; i < count; ++i)
                b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        };
        const auto offset = static_cast<std::uint32_t>(14 + headerSize + masks.size() * 4 + palette.size());
        b = {'B', 'M'};
        put(static_cast<std::uint32_t>(offset + pixels.size()), 4);
        put(0, 4);
        put(pixelOffset.value_or(offset), 4);
        put(headerSize, 4);
        put(static_cast<std::uint32_t>(width), 4);
        put(static_cast<std::uint32_t>(height), 4);
        put(planes, 2);
        put(bits, 2);
        put(compression, 4);
        put(static_cast<std::uint32_t>(pixels.size()), 4);
        put(2835, 4);
        put(2835, 4);
        put(colorsUsed, 4);
        put(0, 4);
        b.resize(14 + headerSize);
        for (const std::uint32_t m : masks)
            put(m, 4);
        b.insert(b.end(), palette.begin(), palette.end());
        b.insert(b.end(), pixels.begin(), pixels.end());
        return b;
    }
};

// The pixel bytes of a bottom-up 24-bit picture whose pixel (x, y), y counted from the top, has the
// colour rgb(x, y) (0xRRGGBB); each row is padded to 4 bytes with `pad`.
template <typename Colour>
Bytes Rows24(int width, int height, Colour rgb, std::uint8_t pad = 0) {
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
    Bytes pixels;
    pixels.reserve(stride * static_cast<std::size_t>(height));
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            const std::uint32_t c = rgb(x, y);
            pixels.insert(pixels.end(), {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8),
                                         static_cast<std::uint8_t>(c >> 16)});
        }
        pixels.resize(pixels.size() + (stride - static_cast<std::size_t>(width) * 3), pad);
    }
    return pixels;
}

inline bool WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

} // namespace testsupport
