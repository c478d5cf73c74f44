// The stand-in's reader of cursor and icon files (.cur, .ico, .ani). Like the BMP decoder it depends on
// nothing but the C++ standard library, so the fuzzing harness can build it alone; PNG entries are
// handed to a decoder the caller passes in (curfile_png.cpp has the libpng one).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace win::curfile {

// Refusal limits: no image side above this many pixels, no more decoded ARGB bytes than this in one
// file (all entries of all frames together), no file larger than kMaxFileBytes.
inline constexpr std::int64_t kMaxSide = 1024;
inline constexpr std::int64_t kMaxTotalBytes = 64ll * 1024 * 1024;
inline constexpr std::int64_t kMaxFileBytes = 64ll * 1024 * 1024;
// An animation has at most this many frames and steps.
inline constexpr std::uint32_t kMaxFrames = 1024;
inline constexpr std::uint32_t kMaxSteps = 4096;

// One entry of an icon or cursor: straight (not premultiplied) ARGB, top row first.
struct Image {
    int width = 0;
    int height = 0;
    int hotX = 0; // inside the image; from the file for cursors, 0 for icons
    int hotY = 0;
    bool cursor = false; // came from a cursor directory, so the hot spot is the file's
    bool png = false;    // stored as PNG rather than as a DIB
    int bits = 0;        // the entry's own colour depth (32 for PNG)
    std::vector<std::uint32_t> argb;
};

// One icon or cursor: its entries, in directory order.
struct Frame {
    std::vector<Image> images;
};

// One step of an animation: which frame shows, and for how long.
struct Step {
    std::size_t frame = 0;
    std::uint32_t jiffies = 0; // 1/60 s, as the file counts
    std::uint32_t delayMs = 0; // the same, rounded to milliseconds (at least 1)
};

enum class Kind { Icon, Cursor, Animated };

// A decoded file. An .ico or .cur has one frame and one step (delay 0); an .ani has its frames and the
// sequence the file gives (or every frame in order).
struct File {
    Kind kind = Kind::Icon;
    std::vector<Frame> frames;
    std::vector<Step> steps;
};

// Decodes one PNG stream into straight ARGB; on refusal returns false with a short reason. The image's
// width, height, bits and argb are filled; the reader checks the side and total limits itself before
// the pixels are decoded, through `maxPixels`.
using PngDecoder = bool (*)(const std::uint8_t* data, std::size_t size, std::int64_t maxPixels, Image& out,
                            std::string& reason);

// Decodes a whole file held in memory. A PNG entry needs `png`; without one it is refused. On refusal
// returns false, leaves `out` empty and sets `reason` to a short phrase ("entry data past the end of
// the file", "truncated AND mask", ...).
bool Decode(const std::uint8_t* data, std::size_t size, File& out, std::string& reason, PngDecoder png = nullptr);

// Reads the file and decodes it; a file that cannot be opened or read is refused with the system's reason.
bool LoadFile(const char* path, File& out, std::string& reason, PngDecoder png = nullptr);

// The entry of a frame that best suits a cursor or icon of `size` pixels: the nearest in side (the
// larger side of each entry), a larger one before a smaller one at the same distance, then the deeper
// colour, then the first. The frame must not be empty.
std::size_t Choose(const Frame& frame, int size);

// libpng's decoder for PNG entries (curfile_png.cpp).
bool DecodePng(const std::uint8_t* data, std::size_t size, std::int64_t maxPixels, Image& out, std::string& reason);

} // namespace win::curfile
