// Cursor and icon files for LoadCursorFromFileA: the icon directory of .ico and .cur files with DIB or
// PNG entries, and the RIFF "ACON" container of animated cursors.
#include "nembra/platform/curfile.h"
#include "nembra/platform/readfile.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace win::curfile {
namespace {

constexpr std::uint64_t kDirectoryHeader = 6;
constexpr std::uint64_t kDirectoryEntry = 16;
constexpr std::uint32_t kMaxImages = 16384; // far above any real file; bounds the bookkeeping of a hostile one
constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// The "anih" flags: frames are icon or cursor data (not raw bitmaps); a "seq " chunk orders them.
constexpr std::uint32_t kAnihIcon = 0x1;
constexpr std::uint32_t kAnihSequence = 0x2;

bool Refuse(std::string& reason, std::string text) {
    reason = std::move(text);
    return false;
}

std::uint32_t U16(const std::uint8_t* p) { return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8; }
std::uint32_t U32(const std::uint8_t* p) { return U16(p) | U16(p + 2) << 16; }
std::int32_t I32(const std::uint8_t* p) { return static_cast<std::int32_t>(U32(p)); }

// What one file may still allocate: decoded pixel bytes and images.
struct Budget {
    std::int64_t bytes = kMaxTotalBytes;
    std::uint32_t images = kMaxImages;

    bool take(std::int64_t width, std::int64_t height, std::string& reason) {
        if (images == 0)
            return Refuse(reason, "more than " + std::to_string(kMaxImages) + " images");
        if (width * height * 4 > bytes)
            return Refuse(reason, "images larger than 64 MiB in all");
        --images;
        bytes -= width * height * 4;
        return true;
    }
};

bool CheckSide(std::int64_t width, std::int64_t height, std::string& reason) {
    if (width <= 0 || height <= 0)
        return Refuse(reason, "image side is not positive");
    if (width > kMaxSide || height > kMaxSide)
        return Refuse(reason, "more than " + std::to_string(kMaxSide) + " pixels on a side");
    return true;
}

// A DIB entry: BITMAPINFOHEADER with the height of the XOR image and the AND mask together, a colour
// table for depths up to 8 bits, the XOR rows and the 1-bit AND rows, both bottom-up, rows padded to 4 bytes.
bool DecodeDib(const std::uint8_t* data, std::uint64_t size, Budget& budget, Image& out, std::string& reason) {
    if (size < 4)
        return Refuse(reason, "truncated bitmap header");
    const std::uint32_t headerSize = U32(data);
    if (headerSize != 40 && headerSize != 52 && headerSize != 56 && headerSize != 108 && headerSize != 124)
        return Refuse(reason, "unknown bitmap header size " + std::to_string(headerSize));
    if (size < headerSize)
        return Refuse(reason, "truncated bitmap header");
    const std::int64_t width = I32(data + 4);
    const std::int64_t doubled = I32(data + 8);
    const std::uint32_t planes = U16(data + 12);
    const std::uint32_t bits = U16(data + 14);
    const std::uint32_t compression = U32(data + 16);
    const std::uint64_t colorsUsed = U32(data + 32);
    if (doubled < 0)
        return Refuse(reason, "top-down bitmap");
    if (doubled % 2 != 0)
        return Refuse(reason, "bitmap height is not doubled for the AND mask");
    const std::int64_t height = doubled / 2;
    if (!CheckSide(width, height, reason))
        return false;
    if (planes > 1) // some writers leave it 0
        return Refuse(reason, "more than one plane");
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return Refuse(reason, "unsupported bit count " + std::to_string(bits));
    if (compression != 0)
        return Refuse(reason, "compressed bitmap (compression " + std::to_string(compression) + ")");
    // Above 8 bits a colour table is only a hint for paletted displays, but it still sits before the pixels.
    if (bits <= 8 && colorsUsed > (std::uint64_t{1} << bits))
        return Refuse(reason, "more colours than the bit count allows");
    const std::uint64_t colours = bits <= 8 && colorsUsed == 0 ? std::uint64_t{1} << bits : colorsUsed;
    const std::uint64_t xorStride = (static_cast<std::uint64_t>(width) * bits + 31) / 32 * 4;
    const std::uint64_t andStride = (static_cast<std::uint64_t>(width) + 31) / 32 * 4;
    const std::uint64_t xorOffset = headerSize + colours * 4;
    const std::uint64_t andOffset = xorOffset + xorStride * static_cast<std::uint64_t>(height);
    if (xorOffset > size)
        return Refuse(reason, "truncated colour table");
    if (andOffset > size)
        return Refuse(reason, "truncated XOR image");
    if (andOffset + andStride * static_cast<std::uint64_t>(height) > size)
        return Refuse(reason, "truncated AND mask");
    if (!budget.take(width, height, reason))
        return false;

    // Indices past the file's table read black, so the pixel loop needs no check.
    std::array<std::uint32_t, 256> palette{};
    if (bits <= 8)
        for (std::uint64_t i = 0; i < colours; ++i)
            palette[i] = U32(data + headerSize + i * 4) & 0x00FFFFFFu;

    const auto w = static_cast<std::size_t>(width);
    const auto h = static_cast<std::size_t>(height);
    out.width = static_cast<int>(width);
    out.height = static_cast<int>(height);
    out.bits = static_cast<int>(bits);
    out.argb.assign(w * h, 0);
    bool alpha = false;
    for (std::size_t row = 0; row < h; ++row) {
        const std::uint8_t* src = data + xorOffset + row * xorStride;
        std::uint32_t* dst = out.argb.data() + (h - 1 - row) * w;
        for (std::size_t x = 0; x < w; ++x) {
            std::uint32_t pixel = 0;
            switch (bits) {
            case 1:
            case 4:
            case 8: {
                const std::size_t bit = x * bits;
                const unsigned shift = 8 - bits - static_cast<unsigned>(bit % 8);
                pixel = palette[(src[bit / 8] >> shift) & ((1u << bits) - 1)];
                break;
            }
            case 16: {
                const std::uint32_t v = U16(src + x * 2);
                const std::uint32_t r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
                pixel = (r << 3 | r >> 2) << 16 | (g << 3 | g >> 2) << 8 | (b << 3 | b >> 2);
                break;
            }
            case 24: pixel = src[x * 3] | src[x * 3 + 1] << 8 | src[x * 3 + 2] << 16; break;
            default: pixel = U32(src + x * 4); alpha = alpha || (pixel >> 24) != 0;
            }
            dst[x] = pixel;
        }
    }
    if (alpha)
        return true; // the alpha channel is the transparency; the mask is only there for old systems

    for (std::size_t row = 0; row < h; ++row) {
        const std::uint8_t* mask = data + andOffset + row * andStride;
        std::uint32_t* dst = out.argb.data() + (h - 1 - row) * w;
        for (std::size_t x = 0; x < w; ++x) {
            const std::uint32_t colour = dst[x] & 0x00FFFFFFu;
            if (!((mask[x / 8] >> (7 - x % 8)) & 1))
                dst[x] = 0xFF000000u | colour;
            else if (bits == 1 && colour != 0)
                // A monochrome cursor's screen-inverting pixel (the I-beam is drawn that way): ARGB
                // cannot invert, and black keeps it visible on the light backgrounds most windows have.
                dst[x] = 0xFF000000u;
            else
                dst[x] = 0; // deeper images often keep stray colour under the mask: it is not shown
        }
    }
    return true;
}

bool DecodeEntry(const std::uint8_t* data, std::uint64_t size, Budget& budget, PngDecoder png, Image& out,
                 std::string& reason) {
    if (size >= sizeof kPngSignature && std::memcmp(data, kPngSignature, sizeof kPngSignature) == 0) {
        if (!png)
            return Refuse(reason, "PNG image and no PNG decoder");
        if (budget.images == 0)
            return Refuse(reason, "more than " + std::to_string(kMaxImages) + " images");
        const std::int64_t maxPixels = budget.bytes / 4;
        Image image;
        if (!png(data, static_cast<std::size_t>(size), maxPixels, image, reason))
            return false;
        // The decoder is trusted with the limits only as far as this check goes.
        if (!CheckSide(image.width, image.height, reason))
            return false;
        if (image.argb.size() != static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height))
            return Refuse(reason, "PNG decoder returned a wrong pixel count");
        if (!budget.take(image.width, image.height, reason))
            return false;
        out = std::move(image);
        out.png = true;
        out.bits = 32;
        return true;
    }
    return DecodeDib(data, size, budget, out, reason);
}

// An .ico or .cur file (or an .ani frame, which is one): ICONDIR, its entries, then their data.
bool DecodeDirectory(const std::uint8_t* data, std::uint64_t size, Budget& budget, PngDecoder png, Frame& frame,
                     Kind& kind, std::string& reason) {
    if (size < kDirectoryHeader)
        return Refuse(reason, "truncated icon directory");
    const std::uint32_t type = U16(data + 2);
    if (U16(data) != 0 || (type != 1 && type != 2))
        return Refuse(reason, "not an icon, cursor or animated cursor file");
    kind = type == 2 ? Kind::Cursor : Kind::Icon;
    const std::uint64_t count = U16(data + 4);
    if (count == 0)
        return Refuse(reason, "no images in the directory");
    const std::uint64_t directoryEnd = kDirectoryHeader + count * kDirectoryEntry;
    if (directoryEnd > size)
        return Refuse(reason, "truncated icon directory");
    frame.images.reserve(std::min<std::uint64_t>(count, budget.images));
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint8_t* entry = data + kDirectoryHeader + i * kDirectoryEntry;
        const std::uint64_t bytes = U32(entry + 8);
        const std::uint64_t offset = U32(entry + 12);
        const std::string which = count > 1 ? "image " + std::to_string(i + 1) + ": " : "";
        if (offset < directoryEnd)
            return Refuse(reason, which + "image data inside the directory");
        if (offset + bytes > size)
            return Refuse(reason, which + "image data past the end of the file");
        Image image;
        if (!DecodeEntry(data + offset, bytes, budget, png, image, reason)) {
            reason = which + reason;
            return false;
        }
        if (kind == Kind::Cursor) {
            image.cursor = true;
            // A hot spot outside the picture is a writer's slip; the nearest edge pixel is what it meant.
            image.hotX = static_cast<int>(std::min<std::uint32_t>(U16(entry + 4), image.width - 1));
            image.hotY = static_cast<int>(std::min<std::uint32_t>(U16(entry + 6), image.height - 1));
        }
        frame.images.push_back(std::move(image));
    }
    return true;
}

std::uint32_t DelayMs(std::uint32_t jiffies) {
    const std::uint64_t ms = (std::uint64_t{jiffies} * 1000 + 30) / 60;
    return static_cast<std::uint32_t>(std::clamp<std::uint64_t>(ms, 1, UINT32_MAX));
}

struct Chunk {
    char id[5] = {};
    const std::uint8_t* data = nullptr;
    std::uint64_t size = 0;
};

// Walks the chunks of a RIFF body (or of a LIST inside it). Every chunk must lie inside the body; the
// pad byte after an odd-sized chunk may be missing at the very end.
class ChunkWalker {
public:
    ChunkWalker(const std::uint8_t* data, std::uint64_t size) : data_(data), size_(size) {}

    // False at the end; false with a reason for a chunk that does not fit.
    bool next(Chunk& chunk, std::string& reason) {
        reason.clear();
        if (pos_ == size_)
            return false;
        if (size_ - pos_ < 8)
            return Refuse(reason, "truncated chunk header");
        std::memcpy(chunk.id, data_ + pos_, 4);
        for (int i = 0; i < 4; ++i)
            if (chunk.id[i] < 0x20 || chunk.id[i] > 0x7E)
                chunk.id[i] = '?';
        chunk.size = U32(data_ + pos_ + 4);
        if (chunk.size > size_ - pos_ - 8)
            return Refuse(reason, std::string("chunk \"") + chunk.id + "\" past the end of its container");
        chunk.data = data_ + pos_ + 8;
        pos_ += 8 + chunk.size;
        if (chunk.size % 2 != 0 && pos_ < size_)
            ++pos_;
        return true;
    }

private:
    const std::uint8_t* data_;
    std::uint64_t size_;
    std::uint64_t pos_ = 0;
};

struct Anih {
    std::uint32_t frames = 0;
    std::uint32_t steps = 0;
    std::uint32_t jiffies = 0;
    std::uint32_t flags = 0;
};

bool DecodeAni(const std::uint8_t* data, std::uint64_t size, PngDecoder png, File& out, std::string& reason) {
    if (size < 12 || std::memcmp(data + 8, "ACON", 4) != 0)
        return Refuse(reason, "RIFF file that is not an animated cursor");
    // Writers get the RIFF length wrong often enough (counting the header, or not) that it only limits
    // the body to the file, never the other way round.
    const std::uint64_t riffSize = std::min<std::uint64_t>(U32(data + 4), size - 8);
    if (riffSize < 4)
        return Refuse(reason, "truncated RIFF header");
    ChunkWalker body(data + 12, riffSize - 4);
    bool haveAnih = false;
    Anih anih;
    std::optional<Chunk> rate, seq;
    Chunk chunk;
    Budget budget;
    out.kind = Kind::Animated;
    while (body.next(chunk, reason)) {
        const std::string id = chunk.id;
        if (id == "anih") {
            if (haveAnih)
                return Refuse(reason, "two anih chunks");
            if (chunk.size < 36)
                return Refuse(reason, "anih chunk shorter than 36 bytes");
            haveAnih = true;
            anih.frames = U32(chunk.data + 4);
            anih.steps = U32(chunk.data + 8);
            anih.jiffies = U32(chunk.data + 28);
            anih.flags = U32(chunk.data + 32);
        } else if (id == "rate" || id == "seq ") {
            std::optional<Chunk>& slot = id == "rate" ? rate : seq;
            if (slot)
                return Refuse(reason, id == "rate" ? "two rate chunks" : "two seq chunks");
            slot = chunk;
        } else if (id == "LIST" && chunk.size >= 4 && std::memcmp(chunk.data, "fram", 4) == 0) {
            ChunkWalker list(chunk.data + 4, chunk.size - 4);
            Chunk icon;
            while (list.next(icon, reason)) {
                if (std::strcmp(icon.id, "icon") != 0)
                    continue;
                if (out.frames.size() == kMaxFrames)
                    return Refuse(reason, "more than " + std::to_string(kMaxFrames) + " frames");
                Frame frame;
                Kind kind = Kind::Icon;
                if (!DecodeDirectory(icon.data, icon.size, budget, png, frame, kind, reason)) {
                    reason = "frame " + std::to_string(out.frames.size() + 1) + ": " + reason;
                    return false;
                }
                out.frames.push_back(std::move(frame));
            }
            if (!reason.empty())
                return false;
        }
    }
    if (!reason.empty())
        return false;
    if (!haveAnih)
        return Refuse(reason, "no anih chunk");
    if (!(anih.flags & kAnihIcon))
        return Refuse(reason, "frames are raw bitmaps, not icons");
    if (anih.frames == 0 || anih.frames > kMaxFrames)
        return Refuse(reason, "frame count " + std::to_string(anih.frames) + " out of range");
    if (anih.frames != out.frames.size())
        return Refuse(reason, "header counts " + std::to_string(anih.frames) + " frames, the file holds " +
                                  std::to_string(out.frames.size()));
    const bool sequenced = (anih.flags & kAnihSequence) != 0;
    // Without a sequence every frame shows once, in order, whatever the step count says.
    const std::uint32_t steps = sequenced ? anih.steps : anih.frames;
    if (steps == 0 || steps > kMaxSteps)
        return Refuse(reason, "step count " + std::to_string(steps) + " out of range");
    if (sequenced && !seq)
        return Refuse(reason, "sequence flag without a seq chunk");
    if (sequenced && seq->size < std::uint64_t{steps} * 4)
        return Refuse(reason, "seq chunk shorter than the step count");
    if (rate && rate->size < std::uint64_t{steps} * 4)
        return Refuse(reason, "rate chunk shorter than the step count");
    for (std::uint32_t i = 0; i < steps; ++i) {
        Step step;
        step.frame = sequenced ? U32(seq->data + i * 4) : i;
        if (step.frame >= out.frames.size())
            return Refuse(reason, "step " + std::to_string(i + 1) + " shows frame " + std::to_string(step.frame) +
                                      " of " + std::to_string(out.frames.size()));
        // A zero rate would spin the animation; one jiffy is the shortest the format can mean.
        step.jiffies = std::max<std::uint32_t>(1, rate ? U32(rate->data + i * 4) : anih.jiffies);
        step.delayMs = DelayMs(step.jiffies);
        out.steps.push_back(step);
    }
    return true;
}

} // namespace

bool Decode(const std::uint8_t* data, std::size_t size, File& out, std::string& reason, PngDecoder png) {
    out = File{};
    bool ok = false;
    if (size >= 4 && std::memcmp(data, "RIFF", 4) == 0) {
        ok = DecodeAni(data, size, png, out, reason);
    } else {
        Budget budget;
        Frame frame;
        ok = DecodeDirectory(data, size, budget, png, frame, out.kind, reason);
        if (ok) {
            out.frames.push_back(std::move(frame));
            out.steps.push_back(Step{});
        }
    }
    if (!ok)
        out = File{};
    return ok;
}

bool LoadFile(const char* path, File& out, std::string& reason, PngDecoder png) {
    out = File{};
    std::vector<std::uint8_t> bytes;
    if (!files::ReadWholeFile(path, kMaxFileBytes, bytes, reason))
        return false;
    return Decode(bytes.data(), bytes.size(), out, reason, png);
}

std::size_t Choose(const Frame& frame, int size) {
    std::size_t best = 0;
    auto better = [size](const Image& a, const Image& b) {
        const int sideA = std::max(a.width, a.height), sideB = std::max(b.width, b.height);
        const int distA = std::abs(sideA - size), distB = std::abs(sideB - size);
        if (distA != distB)
            return distA < distB;
        if (sideA != sideB)
            return sideA > sideB;
        return a.bits > b.bits;
    };
    for (std::size_t i = 1; i < frame.images.size(); ++i)
        if (better(frame.images[i], frame.images[best]))
            best = i;
    return best;
}

} // namespace win::curfile
