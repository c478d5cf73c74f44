// GDI objects: bitmaps loaded from files, selection into contexts, object queries and deletion.
#include "nembra/platform/x11.h"

#include <cstdio>
#include <cstring>

namespace win {

using namespace x11;

namespace {

bool SelectedAnywhere(HGDIOBJ object) {
    for (const auto& [handle, dc] : P().dcs)
        if (dc.font == object || dc.bitmap == object || dc.palette == object)
            return true;
    return false;
}

bool OwnedByWindow(HRGN region) {
    for (const auto& [handle, rec] : P().windows)
        if (rec->shape == region)
            return true;
    return false;
}

} // namespace

HANDLE32 LoadImageA(HINSTANCE, const char* name, UINT type, int cx, int cy, UINT flags) {
    if (type != IMAGE_BITMAP || !(flags & LR_LOADFROMFILE) || !name || cx != 0 || cy != 0)
        return 0; // cursor and icon files, resources and scaled loads are not offered
    // A DIB section keeps the file's depth; without one the picture comes as the screen would hold it.
    const bmp::Depth depth = flags & LR_CREATEDIBSECTION ? bmp::Depth::File : bmp::Depth::Bgr24;
    bmp::Image image;
    std::string reason;
    if (!bmp::LoadFile(name, image, reason, depth)) {
        std::fprintf(stderr, "nembra: cannot load image \"%s\": %s\n", Latin1ToUtf8(name).c_str(), reason.c_str());
        return 0;
    }
    Platform& p = P();
    const HBITMAP handle = p.newHandle();
    p.bitmaps.emplace(handle, std::move(image));
    return handle;
}

int GetObjectA(HGDIOBJ object, int size, void* out) {
    Platform& p = P();
    if (auto it = p.bitmaps.find(object); it != p.bitmaps.end()) {
        if (!out || size < static_cast<int>(sizeof(BITMAP)))
            return 0;
        Bitmap& b = it->second;
        BITMAP record{};
        record.bmWidth = b.width;
        record.bmHeight = b.height;
        record.bmWidthBytes = static_cast<std::int32_t>(b.stride());
        record.bmPlanes = 1;
        record.bmBitsPixel = static_cast<std::uint16_t>(b.bits);
        record.bmBits = b.pixels.data();
        std::memcpy(out, &record, sizeof record);
        return sizeof record;
    }
    if (auto it = p.palettes.find(object); it != p.palettes.end()) {
        if (!out || size < 2)
            return 0;
        const auto count = static_cast<std::uint16_t>(it->second.size());
        std::memcpy(out, &count, sizeof count);
        return sizeof count;
    }
    return 0;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    Platform& p = P();
    auto it = p.dcs.find(dc);
    if (it == p.dcs.end())
        return 0;
    DeviceContext& context = it->second;
    if (p.fonts.count(object)) {
        const HGDIOBJ previous = context.font;
        context.font = object;
        return previous;
    }
    if (p.bitmaps.count(object) && context.memory) {
        if (object != p.stockBitmap && object != context.bitmap)
            for (const auto& [handle, other] : p.dcs)
                if (other.bitmap == object)
                    return 0; // a bitmap draws into one memory context at a time
        const HGDIOBJ previous = context.bitmap;
        context.bitmap = object;
        return previous;
    }
    return 0; // palettes go through SelectPalette; window contexts take no bitmap
}

BOOL DeleteObject(HGDIOBJ object) {
    Platform& p = P();
    // An object still selected into a context, a window's own region and the stock objects stay, as on
    // the desktop.
    if (!object || object == p.stockBitmap || object == p.stockPalette || SelectedAnywhere(object))
        return 0;
    if (p.regions.count(object) && OwnedByWindow(object))
        return 0;
    return p.bitmaps.erase(object) + p.fonts.erase(object) + p.palettes.erase(object) + p.regions.erase(object) > 0;
}

HGDIOBJ GetStockObject(int index) {
    switch (index) {
    case NULL_BRUSH: {
        Platform& p = P();
        if (!p.nullBrush)
            p.nullBrush = p.newHandle();
        return p.nullBrush;
    }
    case DEFAULT_PALETTE: {
        const HDC dc = CreateCompatibleDC(0);
        const HGDIOBJ palette = GetCurrentObject(dc, OBJ_PAL);
        DeleteDC(dc);
        return palette;
    }
    default: return 0;
    }
}

HANDLE32 GetCurrentProcess() { return 0xFFFFFFFF; }

DWORD GetGuiResources(HANDLE32 process, DWORD flags) {
    const Platform& p = P();
    if (process != GetCurrentProcess() || flags != GR_GDIOBJECTS)
        return 0;
    std::size_t count = p.bitmaps.size() + p.palettes.size() + p.regions.size() + p.fonts.size();
    count -= (p.stockBitmap != 0) + (p.stockPalette != 0);
    for (const auto& [handle, dc] : p.dcs)
        count += dc.memory;
    return static_cast<DWORD>(count);
}

} // namespace win
