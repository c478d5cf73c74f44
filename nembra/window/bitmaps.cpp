// Bitmaps and regions from BMP files: a picture with a palette that fits it, and the region of its
// opaque pixels that gives an image button its shape.
#include "nembra/nembra.h"
#include "nembra/platform/win.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace nembra {

namespace {

constexpr std::uint32_t ALLOC_UNIT = 100; // rectangles the buffer starts with and grows by
constexpr std::uint32_t BATCH = 2000;     // rectangles turned into a region at a time
constexpr std::int32_t MAXINT = 0x7FFFFFFF;

// A LOGPALETTE with room for all 256 entries.
struct LOGPALETTE256 {
    std::uint16_t palVersion;
    std::uint16_t palNumEntries;
    win::PALETTEENTRY palPalEntry[256];
};
static_assert(offsetof(LOGPALETTE256, palPalEntry) == offsetof(win::LOGPALETTE, palPalEntry));

std::size_t BUFFERSIZE(std::uint32_t MAXRECTS) {
    return sizeof(win::RGNDATAHEADER) + sizeof(win::RECT) * std::size_t{MAXRECTS};
}

void EMPTYBUFFER(win::RGNDATA* PDATA) {
    PDATA->rdh.nCount = 0;
    PDATA->rdh.rcBound = win::RECT{MAXINT, MAXINT, 0, 0};
}

// The rectangle buffer of BITMAPTOREGION and the region accumulated from it.
struct RECTBUFFER {
    win::HGLOBAL HDATA = 0;
    win::RGNDATA* PDATA = nullptr;
    std::uint32_t MAXRECTS = ALLOC_UNIT;
    HRGN RSLT = 0;

    // Turns what the buffer holds into a region, merges it into RSLT and empties the buffer.
    bool FLUSH() {
        const HRGN H = win::ExtCreateRegion(nullptr, static_cast<DWORD>(BUFFERSIZE(MAXRECTS)), PDATA);
        if (H == 0)
            return false;
        if (RSLT != 0) {
            const int KIND = win::CombineRgn(RSLT, RSLT, H, win::RGN_OR);
            win::DeleteObject(H);
            if (KIND == win::ERROR)
                return false;
        } else {
            RSLT = H;
        }
        EMPTYBUFFER(PDATA);
        return true;
    }

    bool ADDRECT(std::int32_t X0, std::int32_t Y, std::int32_t X) {
        if (PDATA->rdh.nCount >= MAXRECTS) {
            win::GlobalUnlock(HDATA);
            const win::HGLOBAL HNEW = win::GlobalReAlloc(HDATA, BUFFERSIZE(MAXRECTS + ALLOC_UNIT), win::GMEM_MOVEABLE);
            if (HNEW != 0) {
                HDATA = HNEW;
                MAXRECTS += ALLOC_UNIT;
            }
            PDATA = static_cast<win::RGNDATA*>(win::GlobalLock(HDATA));
            // A buffer that cannot grow is emptied early: the batches unite into the same region.
            if (HNEW == 0 && !FLUSH())
                return false;
        }
        const win::RECT R{X0, Y, X, Y + 1};
        std::memcpy(PDATA->Buffer + sizeof(win::RECT) * PDATA->rdh.nCount, &R, sizeof R);
        win::RECT& BOUND = PDATA->rdh.rcBound;
        BOUND.left = std::min(BOUND.left, X0);
        BOUND.top = std::min(BOUND.top, Y);
        BOUND.right = std::max(BOUND.right, X);
        BOUND.bottom = std::max(BOUND.bottom, Y + 1);
        ++PDATA->rdh.nCount;
        return PDATA->rdh.nCount < BATCH || FLUSH();
    }
};

// Scans the 32-bit work copy, top row first, into runs of non-transparent pixels; returns the region
// they make, 0 when the buffer or a region cannot be made.
HRGN SCANWORKCOPY(const win::BITMAP& BM32, std::uint32_t TRANSCOLOR, std::uint8_t TOLERANCE) {
    RECTBUFFER BUF;
    BUF.HDATA = win::GlobalAlloc(win::GMEM_MOVEABLE, BUFFERSIZE(BUF.MAXRECTS));
    BUF.PDATA = static_cast<win::RGNDATA*>(win::GlobalLock(BUF.HDATA));
    if (BUF.PDATA == nullptr) {
        win::GlobalFree(BUF.HDATA);
        return 0;
    }
    BUF.PDATA->rdh = win::RGNDATAHEADER{sizeof(win::RGNDATAHEADER), win::RDH_RECTANGLES, 0, 0, {}};
    EMPTYBUFFER(BUF.PDATA);

    const auto COLOR = static_cast<std::uint32_t>(RANGECHECK("TRANSCOLOR", TRANSCOLOR, 0, 0x7FFFFFFF));
    const unsigned LR = COLOR & 0xFF, LG = (COLOR >> 8) & 0xFF, LB = (COLOR >> 16) & 0xFF;
    const unsigned HR = std::min(LR + TOLERANCE, 255u), HG = std::min(LG + TOLERANCE, 255u),
                   HB = std::min(LB + TOLERANCE, 255u);

    bool OK = true;
    const auto* BITS = static_cast<const std::uint8_t*>(BM32.bmBits);
    for (std::int32_t Y = 0; Y < BM32.bmHeight && OK; ++Y) {
        // The work copy is bottom-up: the picture's top row is its last.
        const std::uint8_t* ROW = BITS + static_cast<std::ptrdiff_t>(BM32.bmHeight - 1 - Y) * BM32.bmWidthBytes;
        auto TRANSPARENT = [ROW, LR, HR, LG, HG, LB, HB](std::int32_t X) {
            const std::uint8_t* PIXEL = ROW + 4 * static_cast<std::ptrdiff_t>(X); // blue, green, red, unused
            return LR <= PIXEL[2] && PIXEL[2] <= HR && LG <= PIXEL[1] && PIXEL[1] <= HG && LB <= PIXEL[0] &&
                   PIXEL[0] <= HB;
        };
        for (std::int32_t X = 0; X < BM32.bmWidth && OK; ++X) { // ++X steps over the pixel that ended a run
            const std::int32_t X0 = X;
            while (X < BM32.bmWidth && !TRANSPARENT(X))
                ++X;
            if (X > X0)
                OK = BUF.ADDRECT(X0, Y, X);
        }
    }
    OK = OK && BUF.FLUSH(); // also when the buffer is empty: an all-transparent picture is an empty region
    win::GlobalUnlock(BUF.HDATA);
    win::GlobalFree(BUF.HDATA);
    if (!OK) {
        win::DeleteObject(BUF.RSLT);
        return 0;
    }
    return BUF.RSLT;
}

} // namespace

HBITMAP LOADBMPFROMFILE(const char* FILENAME, HPALETTE& PAL) {
    const HBITMAP BMP = win::LoadImageA(win::GetModuleHandleA(nullptr), FILENAME, win::IMAGE_BITMAP, 0, 0,
                                        win::LR_LOADFROMFILE | win::LR_CREATEDIBSECTION);
    if (BMP == 0)
        return 0;
    win::BITMAP BM{};
    win::GetObjectA(BMP, sizeof BM, &BM);
    if (BM.bmPlanes * BM.bmBitsPixel <= 8) {
        const HDC MEMDC = win::CreateCompatibleDC(0);
        const HGDIOBJ OLDBMP = win::SelectObject(MEMDC, BMP);
        win::RGBQUAD TABLE[256] = {}; // entries past a shorter colour table stay black
        win::GetDIBColorTable(MEMDC, 0, 256, TABLE);
        LOGPALETTE256 LOGPAL{0x300, 256, {}};
        for (int I = 0; I < 256; ++I)
            LOGPAL.palPalEntry[I] = win::PALETTEENTRY{TABLE[I].rgbRed, TABLE[I].rgbGreen, TABLE[I].rgbBlue, 0};
        PAL = win::CreatePalette(reinterpret_cast<const win::LOGPALETTE*>(&LOGPAL));
        win::SelectObject(MEMDC, OLDBMP);
        win::DeleteDC(MEMDC);
    } else {
        const HDC SCREEN = win::GetDC(0);
        PAL = win::CreateHalftonePalette(SCREEN);
        win::ReleaseDC(0, SCREEN);
    }
    return BMP;
}

HRGN BITMAPTOREGION(const char* BMPNAME, std::uint32_t TRANSCOLOR, std::uint8_t TOLERANCE) {
    HRGN RSLT = 0;
    HPALETTE PAL = 0;
    const HBITMAP BMP = LOADBMPFROMFILE(BMPNAME, PAL);
    if (BMP == 0)
        return 0;
    const HDC MEMDC = win::CreateCompatibleDC(0);
    if (MEMDC != 0) {
        win::BITMAP BM{};
        win::GetObjectA(BMP, sizeof BM, &BM);
        // The work copy: 32 bits, bottom-up, the picture's size.
        win::BITMAPINFO BI{};
        BI.bmiHeader = {sizeof(win::BITMAPINFOHEADER), BM.bmWidth, BM.bmHeight, 1, 32, win::BI_RGB, 0, 0, 0, 0, 0};
        void* PBITS32 = nullptr;
        const HBITMAP HBM32 = win::CreateDIBSection(MEMDC, &BI, win::DIB_RGB_COLORS, &PBITS32, 0, 0);
        if (HBM32 != 0) {
            const HGDIOBJ HOLDBMP = win::SelectObject(MEMDC, HBM32);
            const HDC HDC2 = win::CreateCompatibleDC(0);
            bool COPIED = false;
            if (HDC2 != 0) {
                const HGDIOBJ HOLDBMP2 = win::SelectObject(HDC2, BMP);
                const HPALETTE HOLDPAL = win::SelectPalette(HDC2, PAL, 1);
                win::RealizePalette(HDC2);
                COPIED = win::BitBlt(MEMDC, 0, 0, BM.bmWidth, BM.bmHeight, HDC2, 0, 0, win::SRCCOPY) != 0;
                win::SelectPalette(HDC2, HOLDPAL, 0);
                win::SelectObject(HDC2, HOLDBMP2);
                win::DeleteDC(HDC2);
            }
            // Without the copy the work copy is black, not the picture: no region rather than a wrong one.
            if (COPIED) {
                win::BITMAP BM32{};
                win::GetObjectA(HBM32, sizeof BM32, &BM32);
                BM32.bmWidthBytes = (BM32.bmWidthBytes + 3) & ~3;
                RSLT = SCANWORKCOPY(BM32, TRANSCOLOR, TOLERANCE);
            }
            win::SelectObject(MEMDC, HOLDBMP);
            win::DeleteObject(HBM32);
        }
        win::DeleteDC(MEMDC);
    }
    win::DeleteObject(PAL);
    win::DeleteObject(BMP);
    return RSLT;
}

} // namespace nembra
