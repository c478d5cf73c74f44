// GDI objects: bitmaps loaded from files, font selection, object queries and deletion.
#include "nembra/platform/x11.h"

#include <cstdio>
#include <cstring>

namespace win {

using namespace x11;

HANDLE32 LoadImageA(HINSTANCE, const char* name, UINT type, int cx, int cy, UINT flags) {
    if (type != IMAGE_BITMAP || !(flags & LR_LOADFROMFILE) || !name || cx != 0 || cy != 0)
        return 0; // cursor and icon files, resources and scaled loads are not offered
    bmp::Image image;
    std::string reason;
    if (!bmp::LoadFile(name, image, reason)) {
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
        const Bitmap& b = it->second;
        BITMAP record{};
        record.bmWidth = b.width;
        record.bmHeight = b.height;
        record.bmWidthBytes = static_cast<std::int32_t>(b.stride());
        record.bmPlanes = 1;
        record.bmBitsPixel = 24;
        record.bmBits = const_cast<std::uint8_t*>(b.bgr.data());
        std::memcpy(out, &record, sizeof record);
        return sizeof record;
    }
    return 0;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    Platform& p = P();
    auto it = p.dcs.find(dc);
    if (it == p.dcs.end())
        return 0;
    if (!p.fonts.count(object))
        return 0; // only fonts are selected into contexts here
    const HGDIOBJ previous = it->second.font;
    it->second.font = object;
    return previous;
}

BOOL DeleteObject(HGDIOBJ object) {
    Platform& p = P();
    // An object still selected into a context is not deleted, as on the desktop.
    for (const auto& [handle, dc] : p.dcs)
        if (dc.font == object)
            return 0;
    return p.bitmaps.erase(object) + p.fonts.erase(object) > 0;
}

} // namespace win
