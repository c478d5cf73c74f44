// The stand-in's BMP decoder: the library's only image reader. It depends on nothing but the C++
// standard library, so the fuzzing harness can build it alone.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace win::bmp {

// Refusal limits: no side above this many pixels, no decoded picture above this many bytes.
inline constexpr std::int64_t kMaxSide = 16384;
inline constexpr std::int64_t kMaxPixelBytes = 256ll * 1024 * 1024;

using Colour = std::array<std::uint8_t, 3>; // blue, green, red

// The layout a picture is decoded into.
enum class Depth {
    Bgr24, // every file as 24-bit blue-green-red
    File,  // paletted files keep their indices (1, 4 or 8 bits; 2-bit files widen to 4), deeper ones 24-bit
};

// A decoded picture, bottom row first, each row padded to a multiple of 4 bytes whatever the file's own
// row order. At 24 bits a pixel is blue, green, red; at 1, 4 or 8 bits it is an index into `colours`
// (leftmost pixel in the high bits), which then holds 2^bits entries: the file's palette, padded with
// black, so any index is safe. Bits past the last pixel of a row are zero.
struct Image {
    int width = 0;
    int height = 0;
    int bits = 24;
    std::vector<std::uint8_t> pixels;
    std::vector<Colour> colours; // empty at 24 bits
    std::size_t stride() const {
        return (static_cast<std::size_t>(width) * static_cast<std::size_t>(bits) + 31) / 32 * 4;
    }
};

// Decodes a whole BMP file held in memory. On refusal returns false, leaves `out` empty and sets
// `reason` to a short phrase ("truncated pixel data", "RLE run past the end of a row", ...). The checks
// and refusals do not depend on `depth`.
bool Decode(const std::uint8_t* data, std::size_t size, Image& out, std::string& reason, Depth depth = Depth::Bgr24);

// Reads the file and decodes it; a file that cannot be opened or read is refused with the system's reason.
bool LoadFile(const char* path, Image& out, std::string& reason, Depth depth = Depth::Bgr24);

} // namespace win::bmp
