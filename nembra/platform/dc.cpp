// Bitmaps in memory: memory contexts, DIB sections, palettes, and BitBlt into memory or onto windows.
#include "nembra/platform/x11.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <new>

namespace win {

using namespace x11;

namespace {

bool IsIndexed(int bits) { return bits == 1 || bits == 4 || bits == 8; }

std::size_t Stride(std::int64_t width, int bits) { return static_cast<std::size_t>((width * bits + 31) / 32 * 4); }

HBITMAP StockBitmap() {
    Platform& p = P();
    if (!p.stockBitmap) {
        Bitmap b;
        b.width = b.height = 1;
        b.bits = 1;
        b.pixels.assign(4, 0);
        b.colours = {{0, 0, 0}, {255, 255, 255}};
        p.stockBitmap = p.newHandle();
        p.bitmaps.emplace(p.stockBitmap, std::move(b));
    }
    return p.stockBitmap;
}

HPALETTE StockPalette() {
    Platform& p = P();
    if (!p.stockPalette) {
        p.stockPalette = p.newHandle();
        p.palettes[p.stockPalette] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    }
    return p.stockPalette;
}

DeviceContext* FindDc(HDC dc) {
    auto it = P().dcs.find(dc);
    return it == P().dcs.end() ? nullptr : &it->second;
}

Bitmap* FindBitmap(HBITMAP bitmap) {
    auto it = P().bitmaps.find(bitmap);
    return it == P().bitmaps.end() ? nullptr : &it->second;
}

Bitmap* BitmapOf(const DeviceContext* dc) { return dc && dc->memory ? FindBitmap(dc->bitmap) : nullptr; }

// A window's context has the stock palette until one is selected into it.
HPALETTE PaletteOf(const DeviceContext& dc) { return dc.palette ? dc.palette : StockPalette(); }

// Row y of a bottom-up bitmap, counted from the top.
std::uint8_t* RowFromTop(Bitmap& b, int y) {
    return b.pixels.data() + static_cast<std::size_t>(b.height - 1 - y) * b.stride();
}

// `count` pixels of row y (from the top) from x on, as blue-green-red triples.
void ReadBgr(Bitmap& b, int y, int x, int count, std::uint8_t* out) {
    const std::uint8_t* row = RowFromTop(b, y);
    switch (b.bits) {
    case 24: std::memcpy(out, row + static_cast<std::size_t>(x) * 3, static_cast<std::size_t>(count) * 3); return;
    case 32:
        for (int i = 0; i < count; ++i, out += 3)
            std::memcpy(out, row + static_cast<std::size_t>(x + i) * 4, 3);
        return;
    default: {
        const unsigned bits = static_cast<unsigned>(b.bits), perByte = 8 / bits, mask = (1u << bits) - 1;
        for (int i = 0; i < count; ++i, out += 3) {
            const unsigned px = static_cast<unsigned>(x + i);
            const unsigned index = (row[px / perByte] >> (8 - bits * (px % perByte + 1))) & mask;
            std::memcpy(out, b.colours[index].data(), 3); // the table always holds 2^bits entries
        }
        return;
    }
    }
}

void WriteBgr(Bitmap& b, int y, int x, int count, const std::uint8_t* in) {
    std::uint8_t* row = RowFromTop(b, y);
    if (b.bits == 24) {
        std::memcpy(row + static_cast<std::size_t>(x) * 3, in, static_cast<std::size_t>(count) * 3);
        return;
    }
    std::uint8_t* dst = row + static_cast<std::size_t>(x) * 4;
    for (int i = 0; i < count; ++i, dst += 4, in += 3) {
        std::memcpy(dst, in, 3);
        dst[3] = 0;
    }
}

// Narrows a copy of width x height from (srcX, srcY) to (x, y) to what lies inside both the source
// (srcW x srcH) and the destination (dstW x dstH). False when nothing is left.
bool Clip(int& x, int& y, int& width, int& height, int& srcX, int& srcY, int srcW, int srcH, int dstW, int dstH) {
    auto clipAxis = [](int& d, int& s, int& length, int sLimit, int dLimit) {
        const int shift = std::max({0, -d, -s});
        d += shift;
        s += shift;
        length -= shift;
        length = std::min({length, sLimit - s, dLimit - d});
    };
    clipAxis(x, srcX, width, srcW, dstW);
    clipAxis(y, srcY, height, srcH, dstH);
    return width > 0 && height > 0;
}

// Pixel values of a window's visual: from its channel masks on a true-colour visual, through the
// colormap (once per colour) on any other.
class VisualPixels {
public:
    explicit VisualPixels(WindowRecord* rec) : rec_(rec) {
        Visual* v = rec->visual;
        trueColour_ = v && (v->c_class == TrueColor || v->c_class == DirectColor);
        if (!trueColour_)
            return;
        masks_[0] = v->red_mask;
        masks_[1] = v->green_mask;
        masks_[2] = v->blue_mask;
        // The remaining bits of a 32-bit visual are alpha: opaque.
        if (rec->depth == 32)
            rest_ = 0xFFFFFFFFul & ~(v->red_mask | v->green_mask | v->blue_mask);
    }
    unsigned long operator()(const std::uint8_t* bgr) {
        if (!trueColour_) {
            const std::uint32_t rgb = std::uint32_t{bgr[2]} << 16 | std::uint32_t{bgr[1]} << 8 | bgr[0];
            auto it = cache_.find(rgb);
            if (it == cache_.end())
                it = cache_.emplace(rgb, PixelOf(rec_, rgb)).first;
            return it->second;
        }
        return Channel(masks_[0], bgr[2]) | Channel(masks_[1], bgr[1]) | Channel(masks_[2], bgr[0]) | rest_;
    }

private:
    static unsigned long Channel(unsigned long mask, unsigned value) {
        if (!mask)
            return 0;
        const int shift = std::countr_zero(mask);
        const unsigned long max = mask >> shift;
        return ((value * max + 127) / 255) << shift;
    }
    WindowRecord* rec_;
    bool trueColour_ = false;
    unsigned long masks_[3] = {};
    unsigned long rest_ = 0;
    std::unordered_map<std::uint32_t, unsigned long> cache_;
};

BOOL BlitToWindow(WindowRecord* rec, int x, int y, int width, int height, Bitmap& src, int srcX, int srcY) {
    Display* dpy = P().display;
    if (!dpy)
        return 0;
    ErrorTrap trap;
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(dpy, rec->xid, &attributes))
        return 0;
    if (!Clip(x, y, width, height, srcX, srcY, src.width, src.height, attributes.width, attributes.height))
        return 1;
    XImage* image = XCreateImage(dpy, rec->visual, static_cast<unsigned>(rec->depth), ZPixmap, 0, nullptr,
                                 static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
    if (!image)
        return 0;
    image->data = static_cast<char*>(std::malloc(static_cast<std::size_t>(image->bytes_per_line) * height));
    if (!image->data) {
        XDestroyImage(image);
        return 0;
    }
    VisualPixels pixelOf(rec);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * 3);
    const bool direct32 = image->bits_per_pixel == 32 && image->byte_order == LSBFirst;
    for (int r = 0; r < height; ++r) {
        ReadBgr(src, srcY + r, srcX, width, row.data());
        auto* line =
            reinterpret_cast<std::uint32_t*>(image->data + static_cast<std::size_t>(r) * image->bytes_per_line);
        for (int i = 0; i < width; ++i) {
            const unsigned long pixel = pixelOf(&row[static_cast<std::size_t>(i) * 3]);
            if (direct32)
                line[i] = static_cast<std::uint32_t>(pixel);
            else
                XPutPixel(image, i, r, pixel);
        }
    }
    GC gc = XCreateGC(dpy, rec->xid, 0, nullptr);
    XPutImage(dpy, rec->xid, gc, image, 0, 0, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XFreeGC(dpy, gc);
    XDestroyImage(image); // frees the pixels too
    return trap.sync() == 0;
}

} // namespace

HDC CreateCompatibleDC(HDC dc) {
    if (dc && !FindDc(dc))
        return 0;
    Platform& p = P();
    DeviceContext context;
    context.memory = true;
    context.bitmap = StockBitmap();
    context.palette = StockPalette();
    const HDC handle = p.newHandle();
    p.dcs.emplace(handle, context);
    return handle;
}

BOOL DeleteDC(HDC dc) {
    const DeviceContext* context = FindDc(dc);
    if (!context || !context->memory)
        return 0; // window contexts go back with ReleaseDC
    P().dcs.erase(dc);
    return 1;
}

HGDIOBJ GetCurrentObject(HDC dc, UINT type) {
    const DeviceContext* context = FindDc(dc);
    if (!context)
        return 0;
    switch (type) {
    case OBJ_BITMAP: return context->bitmap;
    case OBJ_PAL: return PaletteOf(*context);
    case OBJ_FONT: return context->font;
    default: return 0;
    }
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, HANDLE32 section, DWORD offset) {
    if (bits)
        *bits = nullptr;
    if (!info || usage != DIB_RGB_COLORS || section != 0 || offset != 0)
        return 0;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    const int depth = h.biBitCount;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biPlanes != 1 || h.biCompression != BI_RGB ||
        (!IsIndexed(depth) && depth != 24 && depth != 32))
        return 0;
    // Bottom-up only; the size limits are the decoder's.
    if (h.biWidth <= 0 || h.biHeight <= 0 || h.biWidth > bmp::kMaxSide || h.biHeight > bmp::kMaxSide ||
        static_cast<std::int64_t>(Stride(h.biWidth, depth)) * h.biHeight > bmp::kMaxPixelBytes)
        return 0;
    Bitmap b;
    try {
        b.width = h.biWidth;
        b.height = h.biHeight;
        b.bits = depth;
        b.pixels.assign(b.stride() * static_cast<std::size_t>(b.height), 0);
        if (IsIndexed(depth)) {
            const std::size_t full = std::size_t{1} << depth;
            const std::size_t given = h.biClrUsed ? std::min<std::size_t>(h.biClrUsed, full) : full;
            const auto* table = reinterpret_cast<const std::uint8_t*>(info) + h.biSize;
            b.colours.assign(full, bmp::Colour{0, 0, 0});
            for (std::size_t i = 0; i < given; ++i)
                b.colours[i] = {table[i * 4], table[i * 4 + 1], table[i * 4 + 2]};
        }
    } catch (const std::bad_alloc&) {
        return 0;
    }
    Platform& p = P();
    const HBITMAP handle = p.newHandle();
    Bitmap& stored = p.bitmaps.emplace(handle, std::move(b)).first->second;
    if (bits)
        *bits = stored.pixels.data();
    return handle;
}

int GetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFO* info, UINT usage) {
    Bitmap* b = FindBitmap(bitmap);
    if (!FindDc(dc) || !b || !info || usage != DIB_RGB_COLORS)
        return 0;
    BITMAPINFOHEADER& h = info->bmiHeader;
    if (!bits) {
        h = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER),
                             b->width,
                             b->height,
                             1,
                             static_cast<std::uint16_t>(b->bits),
                             BI_RGB,
                             static_cast<DWORD>(b->pixels.size()),
                             0,
                             0,
                             0,
                             0};
        return b->height;
    }
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biWidth != b->width || h.biPlanes != 1 || h.biCompression != BI_RGB ||
        (h.biBitCount != 24 && h.biBitCount != 32))
        return 0;
    if (start >= static_cast<UINT>(b->height))
        return 0;
    const int count = static_cast<int>(std::min<UINT>(lines, static_cast<UINT>(b->height) - start));
    const bool topDown = h.biHeight < 0;
    const std::size_t stride = Stride(b->width, h.biBitCount);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(b->width) * 3);
    for (int i = 0; i < count; ++i) {
        const int fromBottom = static_cast<int>(start) + (topDown ? count - 1 - i : i);
        ReadBgr(*b, b->height - 1 - fromBottom, 0, b->width, row.data());
        std::uint8_t* dst = static_cast<std::uint8_t*>(bits) + static_cast<std::size_t>(i) * stride;
        if (h.biBitCount == 24) {
            std::memcpy(dst, row.data(), row.size());
            std::memset(dst + row.size(), 0, stride - row.size());
        } else {
            for (int x = 0; x < b->width; ++x) {
                std::memcpy(dst + x * 4, &row[static_cast<std::size_t>(x) * 3], 3);
                dst[x * 4 + 3] = 0;
            }
        }
    }
    return count;
}

UINT GetDIBColorTable(HDC dc, UINT start, UINT count, RGBQUAD* colours) {
    const Bitmap* b = BitmapOf(FindDc(dc));
    if (!b || !colours || b->colours.size() <= start)
        return 0;
    const UINT copied = std::min<UINT>(count, static_cast<UINT>(b->colours.size()) - start);
    for (UINT i = 0; i < copied; ++i) {
        const bmp::Colour& c = b->colours[start + i];
        colours[i] = RGBQUAD{c[0], c[1], c[2], 0};
    }
    return copied;
}

HPALETTE CreatePalette(const LOGPALETTE* palette) {
    if (!palette || palette->palVersion != 0x300 || palette->palNumEntries == 0)
        return 0;
    std::vector<PALETTEENTRY> entries(palette->palNumEntries);
    std::memcpy(entries.data(), palette->palPalEntry, entries.size() * sizeof(PALETTEENTRY));
    Platform& p = P();
    const HPALETTE handle = p.newHandle();
    p.palettes.emplace(handle, std::move(entries));
    return handle;
}

HPALETTE CreateHalftonePalette(HDC dc) {
    if (!FindDc(dc))
        return 0;
    std::vector<PALETTEENTRY> entries;
    entries.reserve(256);
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                entries.push_back({static_cast<std::uint8_t>(r * 51), static_cast<std::uint8_t>(g * 51),
                                   static_cast<std::uint8_t>(b * 51), 0});
    // Greys between the cube's own six, evenly spread; none repeats a cube grey.
    for (int k = 1; k <= 40; ++k) {
        const auto grey = static_cast<std::uint8_t>((255 * k + 20) / 41);
        entries.push_back({grey, grey, grey, 0});
    }
    Platform& p = P();
    const HPALETTE handle = p.newHandle();
    p.palettes.emplace(handle, std::move(entries));
    return handle;
}

UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT count, PALETTEENTRY* entries) {
    auto it = P().palettes.find(palette);
    if (it == P().palettes.end())
        return 0;
    const std::vector<PALETTEENTRY>& all = it->second;
    if (!entries)
        return static_cast<UINT>(all.size());
    if (start >= all.size())
        return 0;
    const UINT copied = std::min<UINT>(count, static_cast<UINT>(all.size()) - start);
    std::copy_n(all.begin() + start, copied, entries);
    return copied;
}

HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL) {
    DeviceContext* context = FindDc(dc);
    if (!context || !P().palettes.count(palette))
        return 0;
    const HPALETTE previous = PaletteOf(*context);
    context->palette = palette;
    return previous;
}

UINT RealizePalette(HDC dc) {
    const DeviceContext* context = FindDc(dc);
    if (!context)
        return 0;
    auto it = P().palettes.find(PaletteOf(*context));
    return it == P().palettes.end() ? 0 : static_cast<UINT>(it->second.size());
}

BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop) {
    DeviceContext* to = FindDc(dst);
    Bitmap* from = BitmapOf(FindDc(src));
    if (!to || !from || rop != SRCCOPY)
        return 0;
    if (!to->memory) {
        WindowRecord* rec = FindWindow(to->hwnd);
        return rec ? BlitToWindow(rec, x, y, width, height, *from, srcX, srcY) : 0;
    }
    Bitmap* target = BitmapOf(to);
    if (!target || (target->bits != 24 && target->bits != 32))
        return 0;
    if (!Clip(x, y, width, height, srcX, srcY, from->width, from->height, target->width, target->height))
        return 1;
    std::vector<std::uint8_t> rows;
    if (target == from) {
        // Within one bitmap the areas may overlap: read all of the source first.
        rows.resize(static_cast<std::size_t>(width) * 3 * static_cast<std::size_t>(height));
        for (int r = 0; r < height; ++r)
            ReadBgr(*from, srcY + r, srcX, width, &rows[static_cast<std::size_t>(r) * width * 3]);
        for (int r = 0; r < height; ++r)
            WriteBgr(*target, y + r, x, width, &rows[static_cast<std::size_t>(r) * width * 3]);
        return 1;
    }
    rows.resize(static_cast<std::size_t>(width) * 3);
    for (int r = 0; r < height; ++r) {
        ReadBgr(*from, srcY + r, srcX, width, rows.data());
        WriteBgr(*target, y + r, x, width, rows.data());
    }
    return 1;
}

} // namespace win
