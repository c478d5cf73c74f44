// The stand-in's BMP decoder: the library's only image reader. It depends on nothing but the C++
// standard library, so the fuzzing harness can build it alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace win::bmp {

// Refusal limits: no side above this many pixels, no decoded picture above this many bytes.
inline constexpr std::int64_t kMaxSide = 16384;
inline constexpr std::int64_t kMaxPixelBytes = 256ll * 1024 * 1024;

// A decoded picture: 24 bits per pixel, blue-green-red, bottom row first, each row padded to a
// multiple of 4 bytes, whatever the file's own depth and row order.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bgr;
    std::size_t stride() const { return (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3}; }
};

// Decodes a whole BMP file held in memory. On refusal returns false, leaves `out` empty and sets
// `reason` to a short phrase ("truncated pixel data", "RLE run past the end of a row", ...).
bool Decode(const std::uint8_t* data, std::size_t size, Image& out, std::string& reason);

// Reads the file and decodes it; a file that cannot be opened or read is refused with the system's reason.
bool LoadFile(const char* path, Image& out, std::string& reason);

} // namespace win::bmp
