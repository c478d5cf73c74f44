// Texture slots: BMP files uploaded as 2D textures, binding, texturing and sphere-map generation.
#include "nembra/nembra.h"
#include "nembra/platform/win.h"
#include "nembra/window/internal.h"

#include <vector>

namespace nembra {

void SWAPRGB(std::uint8_t* DATA, std::int32_t SIZE) {
    for (std::int32_t i = 0; i < SIZE; ++i, DATA += 3) {
        const std::uint8_t blue = DATA[0];
        DATA[0] = DATA[2];
        DATA[2] = blue;
    }
}

bool LOADBMPTEXTURE(const char* BMPFILE, std::uint32_t& SLOT, bool SETUNPACK) {
    constexpr UINT kFlags = win::LR_LOADFROMFILE | win::LR_LOADTRANSPARENT | win::LR_CREATEDIBSECTION;
    const HBITMAP BMP = win::LoadImageA(win::GetModuleHandleA(nullptr), BMPFILE, win::IMAGE_BITMAP, 0, 0, kFlags);
    win::BITMAP SBITMAP{};
    if (BMP == 0 || win::GetObjectA(BMP, sizeof SBITMAP, &SBITMAP) == 0) {
        win::DeleteObject(BMP);
        return false; // the slot keeps what it held; the loader has said why on standard error
    }

    // Paletted pictures keep their file's depth: their rows come out as 24-bit colours.
    std::vector<std::uint8_t> converted;
    if (SBITMAP.bmBitsPixel != 24) {
        win::BITMAPINFO info{};
        info.bmiHeader = {sizeof info.bmiHeader, SBITMAP.bmWidth, SBITMAP.bmHeight, 1, 24, win::BI_RGB, 0, 0, 0, 0, 0};
        const std::int32_t stride = (SBITMAP.bmWidth * 3 + 3) & ~3;
        converted.resize(static_cast<std::size_t>(stride) * SBITMAP.bmHeight);
        const HDC dc = win::CreateCompatibleDC(0);
        const int rows = win::GetDIBits(dc, BMP, 0, static_cast<UINT>(SBITMAP.bmHeight), converted.data(), &info,
                                        win::DIB_RGB_COLORS);
        win::DeleteDC(dc);
        if (rows != SBITMAP.bmHeight) {
            win::DeleteObject(BMP);
            return false;
        }
        SBITMAP.bmBits = converted.data();
        SBITMAP.bmWidthBytes = stride;
    }

    // Row by row, so that the padding at the end of each row is not taken for pixel bytes.
    auto* row = static_cast<std::uint8_t*>(SBITMAP.bmBits);
    for (std::int32_t y = 0; y < SBITMAP.bmHeight; ++y, row += SBITMAP.bmWidthBytes)
        SWAPRGB(row, SBITMAP.bmWidth);

    glEnable(GL_TEXTURE_2D);
    glGenTextures(1, &SLOT);
    glBindTexture(GL_TEXTURE_2D, SLOT);
    if (SETUNPACK) {
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4); // the bitmap's rows are padded to 4 bytes
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
        glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexImage2D(GL_TEXTURE_2D, 0, 3, SBITMAP.bmWidth, SBITMAP.bmHeight, 0, GL_RGB, GL_UNSIGNED_BYTE, SBITMAP.bmBits);

    win::DeleteObject(BMP); // the GL holds its own copy now
    return true;
}

void TEXTURELOADID(const char* BMPFILE, std::int32_t NUM) {
    std::uint32_t& slot = TEXTUREID2[NUM]; // the bound check comes before any file or GL work
    LOADBMPTEXTURE(BMPFILE, slot, true);
}

void TEXTURESELECTID(std::int32_t NUM) { glBindTexture(GL_TEXTURE_2D, TEXTUREID2[NUM]); }

void TEXTUREON() { glEnable(GL_TEXTURE_2D); }

void TEXTUREOFF() { glDisable(GL_TEXTURE_2D); }

void EFFECTREALWATER() {
    SETGLHISMOOTH();
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexGeni(GL_R, GL_TEXTURE_GEN_MODE, GL_MAP_REFLECTION);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
    glEnable(GL_TEXTURE_GEN_R);
}

void EFFECTREALWATEROFF() {
    SETGLSMOOTH();
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glDisable(GL_TEXTURE_GEN_R);
}

} // namespace nembra
