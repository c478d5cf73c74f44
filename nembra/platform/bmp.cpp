// BMP decoding for LoadImageA: the header generations users meet (OS/2 1.x and 2.x, Windows 3 to V5),
// paletted, direct-colour, bit-field and RLE pixel data, turned into one 24-bit layout or, for paletted
// files, into indices of the file's own depth.
#include "nembra/platform/bmp.h"
#include "nembra/platform/readfile.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace win::bmp {
namespace {

enum Compression : std::uint32_t { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6 };

constexpr std::uint64_t kFileHeaderSize = 14;

// A 32-bit file at the picture limit holds 4/3 of its decoded bytes; the extra MiB leaves room for
// headers, palette and an embedded colour profile.
constexpr std::int64_t kMaxFileBytes = kMaxPixelBytes + kMaxPixelBytes / 3 + (1 << 20);

// Always 256 entries: indices past the file's own palette read black, so row loops need no check.
using Palette = std::array<Colour, 256>;

bool Refuse(std::string& reason, std::string text) {
    reason = std::move(text);
    return false;
}

// Sequential little-endian reads that never leave the buffer: past the end they yield zero and the
// reader stays failed, so a header is checked once after all its fields are read.
class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t size, std::uint64_t pos)
        : data_(data), size_(size), pos_(std::min<std::uint64_t>(pos, size)), ok_(pos <= size) {}

    std::uint16_t U16() { return static_cast<std::uint16_t>(Take(2)); }
    std::uint32_t U32() { return static_cast<std::uint32_t>(Take(4)); }
    std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
    void Skip(std::size_t count) {
        if (ok_ && size_ - pos_ >= count)
            pos_ += count;
        else
            ok_ = false;
    }
    bool ok() const { return ok_; }

private:
    std::uint64_t Take(unsigned count) {
        if (!ok_ || size_ - pos_ < count) {
            ok_ = false;
            return 0;
        }
        std::uint64_t value = 0;
        for (unsigned i = 0; i < count; ++i)
            value |= std::uint64_t{data_[pos_ + i]} << (8 * i);
        pos_ += count;
        return value;
    }

    const std::uint8_t* data_;
    std::size_t size_;
    std::uint64_t pos_;
    bool ok_;
};

struct Header {
    std::uint64_t pixelOffset = 0;
    std::uint32_t headerSize = 0;
    bool os2v2 = false; // OS/2 2.x: compression 3 and 4 mean Huffman and RLE24 there
    std::int64_t width = 0;
    std::int64_t height = 0; // made positive; topDown keeps the sign
    bool topDown = false;
    std::uint32_t planes = 0;
    std::uint32_t bits = 0;
    std::uint32_t compression = kRgb;
    std::uint32_t colorsUsed = 0;
    std::array<std::uint32_t, 3> masks{}; // red, green, blue
    std::uint64_t paletteOffset = 0;
    unsigned paletteEntrySize = 4;
};

std::int64_t OutputStride(std::int64_t width) { return (width * 3 + 3) & ~std::int64_t{3}; }

bool ReadFileHeader(const std::uint8_t* data, std::size_t size, Header& h, std::string& reason) {
    if (size < 2 || data[0] != 'B' || data[1] != 'M')
        return Refuse(reason, size < 2 ? "truncated file header" : "not a BMP file");
    ByteReader r(data, size, 2);
    r.Skip(8); // file size and reserved words: writers fill them carelessly, nothing depends on them
    h.pixelOffset = r.U32();
    return r.ok() || Refuse(reason, "truncated file header");
}

bool ReadInfoHeader(const std::uint8_t* data, std::size_t size, Header& h, std::string& reason) {
    ByteReader r(data, size, kFileHeaderSize);
    h.headerSize = r.U32();
    if (!r.ok())
        return Refuse(reason, "truncated info header");
    switch (h.headerSize) {
    case 12:
    case 16:
    case 40:
    case 52:
    case 56:
    case 64:
    case 108:
    case 124: break;
    default: return Refuse(reason, "unknown header size " + std::to_string(h.headerSize));
    }
    if (size - kFileHeaderSize < h.headerSize)
        return Refuse(reason, "truncated info header");

    if (h.headerSize == 12) { // OS/2 1.x: 16-bit unsigned sizes, 3-byte palette entries
        h.width = r.U16();
        h.height = r.U16();
        h.planes = r.U16();
        h.bits = r.U16();
        h.paletteEntrySize = 3;
        h.paletteOffset = kFileHeaderSize + 12;
        return true;
    }
    h.os2v2 = h.headerSize == 16 || h.headerSize == 64;
    h.width = r.I32();
    h.height = r.I32();
    h.topDown = h.height < 0;
    h.height = h.topDown ? -h.height : h.height;
    h.planes = r.U16();
    h.bits = r.U16();
    if (h.headerSize >= 40) { // the 16-byte OS/2 form stops here, the rest reading as zero
        h.compression = r.U32();
        r.Skip(12); // image size (unreliable, and RLE is bounded by the file anyway), resolution
        h.colorsUsed = r.U32();
        r.Skip(4);
    }
    std::uint64_t maskBytes = 0;
    if (!h.os2v2 && (h.compression == kBitFields || h.compression == kAlphaBitFields)) {
        // Inside the header from V2 on; after a 40-byte header (alpha too, for the alpha variant).
        if (h.headerSize == 40)
            maskBytes = h.compression == kAlphaBitFields ? 16 : 12;
        for (auto& mask : h.masks)
            mask = r.U32();
        if (!r.ok())
            return Refuse(reason, "truncated bit-field masks");
    }
    h.paletteOffset = kFileHeaderSize + h.headerSize + maskBytes;
    return true;
}

bool CheckHeader(const Header& h, std::string& reason) {
    if (h.planes != 1)
        return Refuse(reason, "plane count is not 1");
    const bool known = h.compression == kRgb || h.compression == kRle8 || h.compression == kRle4 ||
                       ((h.compression == kBitFields || h.compression == kAlphaBitFields) && !h.os2v2);
    if (!known)
        return Refuse(reason, "unsupported compression " + std::to_string(h.compression));
    switch (h.bits) {
    case 1:
    case 2:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32: break;
    default: return Refuse(reason, "unsupported bit count " + std::to_string(h.bits));
    }
    if ((h.compression == kRle8 && h.bits != 8) || (h.compression == kRle4 && h.bits != 4) ||
        ((h.compression == kBitFields || h.compression == kAlphaBitFields) && h.bits != 16 && h.bits != 32))
        return Refuse(reason, "compression does not suit the bit count");
    if (h.width <= 0)
        return Refuse(reason, "width is not positive");
    if (h.height == 0)
        return Refuse(reason, "height is zero");
    if (h.width > kMaxSide || h.height > kMaxSide)
        return Refuse(reason, "more than 16384 pixels on a side");
    if (OutputStride(h.width) * h.height > kMaxPixelBytes)
        return Refuse(reason, "picture larger than 256 MiB");
    if (h.topDown && (h.compression == kRle8 || h.compression == kRle4))
        return Refuse(reason, "top-down RLE picture");
    if (h.pixelOffset < h.paletteOffset)
        return Refuse(reason, "pixel data offset inside the headers");
    return true;
}

// An oversized colour count is clamped when the file really holds that many entries (some writers
// pad the palette) and refused when it does not; entries past bfOffBits belong to the pixels.
bool ReadPalette(const std::uint8_t* data, std::size_t size, const Header& h, Palette& palette, std::string& reason) {
    palette.fill(Colour{0, 0, 0});
    const std::uint64_t full = std::uint64_t{1} << h.bits;
    const std::uint64_t claimed = h.colorsUsed ? h.colorsUsed : full;
    if (h.colorsUsed && h.paletteOffset + claimed * h.paletteEntrySize > size)
        return Refuse(reason, "palette does not fit in the file");
    const std::uint64_t room = (std::min<std::uint64_t>(h.pixelOffset, size) - h.paletteOffset) / h.paletteEntrySize;
    const std::uint64_t count = std::min({claimed, full, room});
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint8_t* entry = data + h.paletteOffset + i * h.paletteEntrySize;
        palette[i] = Colour{entry[0], entry[1], entry[2]};
    }
    return true;
}

// One colour channel of a bit-field pixel, scaled to 0..255. Narrow channels use bit replication
// (5-bit 3 -> 24, 31 -> 255), which is how 5- and 6-bit pictures are made from 8-bit ones; wide
// channels use v * 255 / (2^n - 1) rounded to nearest, the inverse of the usual widening from 8 bits.
class Channel {
public:
    explicit Channel(std::uint32_t mask)
        : mask_(mask), shift_(static_cast<unsigned>(std::countr_zero(mask))),
          bits_(static_cast<unsigned>(std::popcount(mask))) {
        const int n = static_cast<int>(bits_);
        for (unsigned v = 0; bits_ <= 8 && v < (1u << n); ++v) {
            unsigned scaled = 0;
            for (int pos = 8 - n; pos > -n; pos -= n)
                scaled |= pos >= 0 ? v << pos : v >> -pos;
            table_[v] = static_cast<std::uint8_t>(scaled);
        }
    }
    std::uint8_t operator()(std::uint32_t pixel) const {
        const std::uint32_t v = (pixel & mask_) >> shift_;
        if (bits_ <= 8)
            return table_[v];
        const std::uint64_t max = (std::uint64_t{1} << bits_) - 1;
        return static_cast<std::uint8_t>((v * std::uint64_t{255} + max / 2) / max);
    }

private:
    std::uint32_t mask_;
    unsigned shift_;
    unsigned bits_;
    std::array<std::uint8_t, 256> table_{};
};

struct Channels {
    Channel red, green, blue;
};

bool CheckMasks(const Header& h, std::string& reason) {
    const std::uint64_t limit = std::uint64_t{1} << h.bits;
    for (const std::uint32_t mask : h.masks) {
        if (mask == 0)
            return Refuse(reason, "zero bit-field mask");
        if (mask >= limit)
            return Refuse(reason, "bit-field mask wider than the pixel");
        const std::uint32_t run = mask >> std::countr_zero(mask);
        if (run & (run + 1))
            return Refuse(reason, "non-contiguous bit-field mask");
    }
    const auto [r, g, b] = h.masks;
    if ((r & g) || (r & b) || (g & b))
        return Refuse(reason, "overlapping bit-field masks");
    return true;
}

// Row decoders: `src` holds a whole file row (checked by the caller), `dst` width * 3 bytes.

void PalettedRow(const std::uint8_t* src, std::size_t width, unsigned bits, const Palette& palette, std::uint8_t* dst) {
    if (bits == 8) {
        for (std::size_t x = 0; x < width; ++x, dst += 3)
            std::memcpy(dst, palette[src[x]].data(), 3);
        return;
    }
    const unsigned perByte = 8 / bits;
    const unsigned indexMask = (1u << bits) - 1;
    for (std::size_t x = 0; x < width; ++x, dst += 3) {
        const unsigned shift = 8 - bits * (x % perByte + 1); // leftmost pixel in the high bits
        std::memcpy(dst, palette[(src[x / perByte] >> shift) & indexMask].data(), 3);
    }
}

void Bgr24Row(const std::uint8_t* src, std::size_t width, std::uint8_t* dst) { std::memcpy(dst, src, width * 3); }

void Bgrx32Row(const std::uint8_t* src, std::size_t width, std::uint8_t* dst) {
    for (std::size_t x = 0; x < width; ++x, src += 4, dst += 3) {
        dst[0] = src[0];
        dst[1] = src[1];
        dst[2] = src[2];
    }
}

template <unsigned kBytes>
void BitFieldRow(const std::uint8_t* src, std::size_t width, const Channels& c, std::uint8_t* dst) {
    for (std::size_t x = 0; x < width; ++x, src += kBytes, dst += 3) {
        std::uint32_t pixel = 0;
        for (unsigned i = 0; i < kBytes; ++i)
            pixel |= std::uint32_t{src[i]} << (8 * i);
        dst[0] = c.blue(pixel);
        dst[1] = c.green(pixel);
        dst[2] = c.red(pixel);
    }
}

// Indices of a paletted row, leftmost pixel in the high bits.
unsigned IndexAt(const std::uint8_t* row, std::size_t x, unsigned bits) {
    const unsigned perByte = 8 / bits;
    const unsigned shift = 8 - bits * (static_cast<unsigned>(x % perByte) + 1);
    return (row[x / perByte] >> shift) & ((1u << bits) - 1);
}

void PutIndex(std::uint8_t* row, std::size_t x, unsigned bits, unsigned index) {
    const unsigned perByte = 8 / bits;
    const unsigned shift = 8 - bits * (static_cast<unsigned>(x % perByte) + 1);
    const unsigned mask = ((1u << bits) - 1) << shift;
    std::uint8_t& byte = row[x / perByte];
    byte = static_cast<std::uint8_t>((byte & ~mask) | ((index << shift) & mask));
}

// A row of indices at the output depth; the bits past the last pixel stay zero.
void IndexRow(const std::uint8_t* src, std::size_t width, unsigned bits, unsigned outBits, std::uint8_t* dst) {
    if (bits == outBits) {
        const std::size_t whole = width * bits / 8, rest = width * bits % 8;
        std::memcpy(dst, src, whole);
        if (rest)
            dst[whole] = static_cast<std::uint8_t>(src[whole] & (0xFF << (8 - rest)));
        return;
    }
    for (std::size_t x = 0; x < width; ++x)
        PutIndex(dst, x, outBits, IndexAt(src, x, bits));
}

unsigned OutputBits(const Header& h, Depth depth) {
    if (depth == Depth::Bgr24 || h.bits > 8)
        return 24;
    return h.bits == 2 ? 4 : h.bits; // no bitmap format holds 2-bit indices
}

void AllocateOutput(const Header& h, unsigned bits, const Palette& palette, Image& out) {
    out.width = static_cast<int>(h.width);
    out.height = static_cast<int>(h.height);
    out.bits = static_cast<int>(bits);
    out.pixels.assign(out.stride() * static_cast<std::size_t>(h.height), 0);
    if (bits <= 8)
        out.colours.assign(palette.begin(), palette.begin() + (std::size_t{1} << bits));
}

bool DecodeRows(const std::uint8_t* data, std::size_t size, const Header& h, Depth depth, Image& out,
                std::string& reason) {
    const std::uint64_t fileStride = static_cast<std::uint64_t>((h.width * h.bits + 31) / 32 * 4);
    // Even a missing padding byte on the last row is refused: such a file was cut, not written short.
    if (h.pixelOffset > size || (size - h.pixelOffset) / fileStride < static_cast<std::uint64_t>(h.height))
        return Refuse(reason, "truncated pixel data");

    Palette palette;
    if (h.bits <= 8 && !ReadPalette(data, size, h, palette, reason))
        return false;
    std::array<std::uint32_t, 3> masks = h.masks;
    if (h.compression == kRgb)
        masks = h.bits == 16 ? std::array<std::uint32_t, 3>{0x7C00, 0x03E0, 0x001F}
                             : std::array<std::uint32_t, 3>{0xFF0000, 0x00FF00, 0x0000FF};
    else if (!CheckMasks(h, reason))
        return false;
    const bool bgrx = h.bits == 32 && masks == std::array<std::uint32_t, 3>{0xFF0000, 0x00FF00, 0x0000FF};
    const Channels channels{Channel(masks[0]), Channel(masks[1]), Channel(masks[2])};

    const unsigned outBits = OutputBits(h, depth);
    AllocateOutput(h, outBits, palette, out);
    const std::size_t width = static_cast<std::size_t>(h.width);
    const std::size_t rows = static_cast<std::size_t>(h.height);
    for (std::size_t y = 0; y < rows; ++y) {
        const std::uint8_t* src = data + h.pixelOffset + y * fileStride;
        std::uint8_t* dst = out.pixels.data() + (h.topDown ? rows - 1 - y : y) * out.stride();
        if (outBits <= 8) {
            IndexRow(src, width, h.bits, outBits, dst);
            continue;
        }
        switch (h.bits) {
        case 24: Bgr24Row(src, width, dst); break;
        case 32:
            if (bgrx)
                Bgrx32Row(src, width, dst);
            else
                BitFieldRow<4>(src, width, channels, dst);
            break;
        case 16: BitFieldRow<2>(src, width, channels, dst); break;
        default: PalettedRow(src, width, h.bits, palette, dst); break;
        }
    }
    return true;
}

// RLE runs are walked twice: once with a sink that paints nothing, so a bad stream is refused
// before the picture is allocated, then with one that paints.
struct RleCheck {
    void Run(std::int64_t, std::int64_t, unsigned, unsigned) {}
    void Literal(std::int64_t, std::int64_t, unsigned, const std::uint8_t*) {}
};

struct RlePaint {
    Image& out;
    const Palette& palette;
    bool fourBit;

    std::uint8_t* At(std::int64_t x, std::int64_t y) const {
        return out.pixels.data() + static_cast<std::size_t>(y) * out.stride() + static_cast<std::size_t>(x) * 3;
    }
    void Run(std::int64_t x, std::int64_t y, unsigned count, unsigned value) {
        // An RLE4 run alternates the byte's two nibbles; an RLE8 run repeats one index.
        const Colour& even = palette[fourBit ? value >> 4 : value];
        const Colour& odd = palette[fourBit ? value & 15 : value];
        std::uint8_t* dst = At(x, y);
        for (unsigned i = 0; i < count; ++i, dst += 3)
            std::memcpy(dst, (i & 1 ? odd : even).data(), 3);
    }
    void Literal(std::int64_t x, std::int64_t y, unsigned count, const std::uint8_t* src) {
        std::uint8_t* dst = At(x, y);
        for (unsigned i = 0; i < count; ++i, dst += 3) {
            const unsigned index = fourBit ? (i & 1 ? src[i / 2] & 15 : src[i / 2] >> 4) : src[i];
            std::memcpy(dst, palette[index].data(), 3);
        }
    }
};

// The same runs as indices of the stream's own depth.
struct RleIndexPaint {
    Image& out;
    bool fourBit;

    void Put(std::int64_t x, std::int64_t y, unsigned index) {
        PutIndex(out.pixels.data() + static_cast<std::size_t>(y) * out.stride(), static_cast<std::size_t>(x),
                 fourBit ? 4 : 8, index);
    }
    void Run(std::int64_t x, std::int64_t y, unsigned count, unsigned value) {
        for (unsigned i = 0; i < count; ++i)
            Put(x + i, y, fourBit ? (i & 1 ? value & 15 : value >> 4) : value);
    }
    void Literal(std::int64_t x, std::int64_t y, unsigned count, const std::uint8_t* src) {
        for (unsigned i = 0; i < count; ++i)
            Put(x + i, y, fourBit ? (i & 1 ? src[i / 2] & 15 : src[i / 2] >> 4) : src[i]);
    }
};

// Rows come bottom-up, like the output, so the stream's y is the output row.
template <class Sink>
bool WalkRle(const std::uint8_t* p, const std::uint8_t* end, const Header& h, Sink& sink, std::string& reason) {
    const bool fourBit = h.compression == kRle4;
    std::int64_t x = 0, y = 0;
    while (end - p >= 2) {
        const unsigned count = p[0], value = p[1];
        p += 2;
        if (count > 0) {
            if (y >= h.height)
                return Refuse(reason, "RLE data past the image");
            if (count > h.width - x)
                return Refuse(reason, "RLE run past the end of a row");
            sink.Run(x, y, count, value);
            x += count;
            continue;
        }
        switch (value) {
        case 0: // end of line
            if (y >= h.height)
                return Refuse(reason, "RLE data past the image");
            x = 0;
            ++y;
            break;
        case 1: return true; // end of bitmap
        case 2: {
            if (end - p < 2)
                return Refuse(reason, "truncated RLE data");
            const unsigned dx = p[0], dy = p[1];
            p += 2;
            if (dx > h.width - x || dy >= h.height - y)
                return Refuse(reason, "RLE delta past the image");
            x += dx;
            y += dy;
            break;
        }
        default: { // absolute run of `value` pixels, its bytes padded to 16 bits
            const std::ptrdiff_t bytes = fourBit ? (value + 1) / 2 : value;
            if (end - p < ((bytes + 1) & ~std::ptrdiff_t{1}))
                return Refuse(reason, "truncated RLE data");
            if (y >= h.height)
                return Refuse(reason, "RLE data past the image");
            if (value > h.width - x)
                return Refuse(reason, "RLE run past the end of a row");
            sink.Literal(x, y, value, p);
            x += value;
            p += (bytes + 1) & ~std::ptrdiff_t{1};
            break;
        }
        }
    }
    // A stream without its end marker is accepted only once it has covered the whole picture.
    return y >= h.height || (y == h.height - 1 && x == h.width) || Refuse(reason, "truncated RLE data");
}

bool DecodeRle(const std::uint8_t* data, std::size_t size, const Header& h, Depth depth, Image& out,
               std::string& reason) {
    if (h.pixelOffset > size)
        return Refuse(reason, "truncated pixel data");
    Palette palette;
    if (!ReadPalette(data, size, h, palette, reason))
        return false;
    const std::uint8_t* begin = data + h.pixelOffset;
    const std::uint8_t* end = data + size;
    RleCheck check;
    if (!WalkRle(begin, end, h, check, reason))
        return false;

    // Pixels the stream skips show palette entry 0, as in a freshly made bitmap of the file's own format.
    const unsigned outBits = OutputBits(h, depth);
    AllocateOutput(h, outBits, palette, out);
    if (outBits <= 8) {
        RleIndexPaint paint{out, h.compression == kRle4};
        return WalkRle(begin, end, h, paint, reason);
    }
    for (std::int64_t y = 0; y < h.height; ++y) {
        std::uint8_t* dst = out.pixels.data() + static_cast<std::size_t>(y) * out.stride();
        for (std::int64_t x = 0; x < h.width; ++x, dst += 3)
            std::memcpy(dst, palette[0].data(), 3);
    }
    RlePaint paint{out, palette, h.compression == kRle4};
    return WalkRle(begin, end, h, paint, reason);
}

} // namespace

bool Decode(const std::uint8_t* data, std::size_t size, Image& out, std::string& reason, Depth depth) {
    out = Image{};
    Header h;
    bool ok = ReadFileHeader(data, size, h, reason) && ReadInfoHeader(data, size, h, reason) && CheckHeader(h, reason);
    if (ok)
        ok = h.compression == kRle8 || h.compression == kRle4 ? DecodeRle(data, size, h, depth, out, reason)
                                                              : DecodeRows(data, size, h, depth, out, reason);
    if (!ok)
        out = Image{};
    return ok;
}

bool LoadFile(const char* path, Image& out, std::string& reason, Depth depth) {
    out = Image{};
    std::vector<std::uint8_t> bytes;
    if (!files::ReadWholeFile(path, kMaxFileBytes, bytes, reason))
        return false;
    return Decode(bytes.data(), bytes.size(), out, reason, depth);
}

} // namespace win::bmp
