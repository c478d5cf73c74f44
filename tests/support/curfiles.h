// Cursor and icon files made in memory: .ico/.cur directories with DIB or PNG entries, and .ani
// animations. The cursor suite and the fuzzer's seed generator both build their files here.
#pragma once

#include <png.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace testsupport::cur {

using Bytes = std::vector<std::uint8_t>;

inline void Put(Bytes& b, std::uint32_t v, int count) {
    for (int i = 0; i < count; ++i)
        b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// A DIB entry. Pixels are given top row first: palette indices up to 8 bits, 0x0RGB 5-5-5 words at 16
// bits, 0xRRGGBB at 24 and 0xAARRGGBB at 32. Mask bits (1 = transparent) likewise, one per pixel.
struct Dib {
    int width = 1;
    int height = 1;
    std::uint16_t bits = 32;
    std::vector<std::uint32_t> palette = {}; // 0xRRGGBB
    std::vector<std::uint32_t> pixels = {};  // empty: all zero
    std::vector<std::uint8_t> mask = {};     // empty: all opaque
    bool withMask = true;                    // false leaves the AND rows out
    std::uint32_t colorsUsed = 0;
    std::optional<std::int32_t> heightField = {}; // default: twice the height
    std::uint32_t compression = 0;
    std::uint32_t headerSize = 40;
    std::uint16_t planes = 1;

    Bytes Build() const {
        Bytes b;
        Put(b, headerSize, 4);
        Put(b, static_cast<std::uint32_t>(width), 4);
        Put(b, static_cast<std::uint32_t>(heightField.value_or(height * 2)), 4);
        Put(b, planes, 2);
        Put(b, bits, 2);
        Put(b, compression, 4);
        Put(b, 0, 4);
        Put(b, 0, 4);
        Put(b, 0, 4);
        Put(b, colorsUsed, 4);
        Put(b, 0, 4);
        b.resize(headerSize > 40 ? headerSize : b.size());
        for (const std::uint32_t c : palette)
            Put(b, c, 4);
        const std::size_t xorStride = (static_cast<std::size_t>(width) * bits + 31) / 32 * 4;
        const std::size_t andStride = (static_cast<std::size_t>(width) + 31) / 32 * 4;
        auto pixel = [this](int x, int y) -> std::uint32_t {
            const std::size_t i = static_cast<std::size_t>(y) * width + x;
            return i < pixels.size() ? pixels[i] : 0;
        };
        for (int y = height - 1; y >= 0; --y) {
            Bytes row(xorStride, 0);
            for (int x = 0; x < width; ++x) {
                const std::uint32_t v = pixel(x, y);
                if (bits <= 8) {
                    const std::size_t bit = static_cast<std::size_t>(x) * bits;
                    row[bit / 8] |= static_cast<std::uint8_t>(v << (8 - bits - bit % 8));
                } else {
                    for (int k = 0; k < bits / 8; ++k)
                        row[static_cast<std::size_t>(x) * (bits / 8) + k] = static_cast<std::uint8_t>(v >> (8 * k));
                }
            }
            b.insert(b.end(), row.begin(), row.end());
        }
        if (!withMask)
            return b;
        for (int y = height - 1; y >= 0; --y) {
            Bytes row(andStride, 0);
            for (int x = 0; x < width; ++x) {
                const std::size_t i = static_cast<std::size_t>(y) * width + x;
                if (i < mask.size() && mask[i])
                    row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
            }
            b.insert(b.end(), row.begin(), row.end());
        }
        return b;
    }
};

// A PNG stream of straight ARGB pixels, top row first.
inline Bytes Png(int width, int height, const std::vector<std::uint32_t>& argb) {
    std::vector<std::uint8_t> rgba;
    for (const std::uint32_t p : argb)
        rgba.insert(rgba.end(), {static_cast<std::uint8_t>(p >> 16), static_cast<std::uint8_t>(p >> 8),
                                 static_cast<std::uint8_t>(p), static_cast<std::uint8_t>(p >> 24)});
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr))
        return {};
    Bytes out(size);
    if (!png_image_write_to_memory(&image, out.data(), &size, 0, rgba.data(), 0, nullptr))
        return {};
    out.resize(size);
    return out;
}

// One directory entry and its data. The size and offset fields default to the data's true ones.
struct Entry {
    Bytes data;
    std::uint16_t hotX = 0; // cursor hot spot (an icon's planes and bit count)
    std::uint16_t hotY = 0;
    std::uint8_t width = 0; // the directory's own idea of the size (0 = 256); the reader uses the data's
    std::uint8_t height = 0;
    std::optional<std::uint32_t> size = {};
    std::optional<std::uint32_t> offset = {};
};

inline constexpr std::uint16_t kIcon = 1;
inline constexpr std::uint16_t kCursor = 2;

inline Bytes Directory(std::uint16_t type, const std::vector<Entry>& entries) {
    Bytes b;
    Put(b, 0, 2);
    Put(b, type, 2);
    Put(b, static_cast<std::uint32_t>(entries.size()), 2);
    std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * entries.size());
    for (const Entry& e : entries) {
        b.insert(b.end(), {e.width, e.height, 0, 0});
        Put(b, e.hotX, 2);
        Put(b, e.hotY, 2);
        Put(b, e.size.value_or(static_cast<std::uint32_t>(e.data.size())), 4);
        Put(b, e.offset.value_or(offset), 4);
        offset += static_cast<std::uint32_t>(e.data.size());
    }
    for (const Entry& e : entries)
        b.insert(b.end(), e.data.begin(), e.data.end());
    return b;
}

// A RIFF chunk; `size` overrides the length field (the data stays as given).
inline Bytes Chunk(const char* id, const Bytes& data, std::optional<std::uint32_t> size = {}) {
    Bytes b(id, id + 4);
    Put(b, size.value_or(static_cast<std::uint32_t>(data.size())), 4);
    b.insert(b.end(), data.begin(), data.end());
    if (data.size() % 2)
        b.push_back(0);
    return b;
}

inline Bytes Words(const std::vector<std::uint32_t>& words) {
    Bytes b;
    for (const std::uint32_t w : words)
        Put(b, w, 4);
    return b;
}

inline constexpr std::uint32_t kAnihIcon = 1;
inline constexpr std::uint32_t kAnihSequence = 2;

// An animated cursor: "anih", optional "rate" and "seq ", then LIST "fram" with one "icon" per frame.
struct Ani {
    std::vector<Bytes> frames;                    // whole .cur or .ico files
    std::optional<std::uint32_t> frameCount = {}; // default: frames.size()
    std::uint32_t steps = 0;                      // default (0): frames.size()
    std::uint32_t jiffies = 6;
    std::uint32_t flags = kAnihIcon;
    std::optional<std::vector<std::uint32_t>> rate = {};
    std::optional<std::vector<std::uint32_t>> seq = {};
    Bytes extra = {}; // more chunks, placed before the frames

    Bytes Build() const {
        Bytes anih;
        Put(anih, 36, 4);
        Put(anih, frameCount.value_or(static_cast<std::uint32_t>(frames.size())), 4);
        Put(anih, steps ? steps : static_cast<std::uint32_t>(frames.size()), 4);
        for (int i = 0; i < 4; ++i)
            Put(anih, 0, 4); // width, height, bit count, planes: unused for icon frames
        Put(anih, jiffies, 4);
        Put(anih, flags, 4);
        Bytes body = {'A', 'C', 'O', 'N'};
        auto add = [&body](const Bytes& chunk) { body.insert(body.end(), chunk.begin(), chunk.end()); };
        add(Chunk("anih", anih));
        if (rate)
            add(Chunk("rate", Words(*rate)));
        if (seq)
            add(Chunk("seq ", Words(*seq)));
        add(extra);
        Bytes list = {'f', 'r', 'a', 'm'};
        for (const Bytes& f : frames) {
            const Bytes icon = Chunk("icon", f);
            list.insert(list.end(), icon.begin(), icon.end());
        }
        add(Chunk("LIST", list));
        return Chunk("RIFF", body);
    }
};

} // namespace testsupport::cur
