// The demonstration's column scene: its display lists and the drawing of one frame.
#pragma once

#include <nembra/nembra.h>

#include <cstdint>

namespace demo {

// Texture and bump slots of the three column parts.
inline constexpr std::int32_t T_BASE = 0;
inline constexpr std::int32_t T_CAPITELLO = 1;
inline constexpr std::int32_t T_COLONNA = 2;

// The six images: a colour image and a height map for each part.
inline constexpr const char* STONEBLOCKS_BMP = "stoneblocks.bmp";
inline constexpr const char* STONEBLOCKS_BMAP_BMP = "stoneblocks_bmap.bmp";
inline constexpr const char* PIETRE_BMP = "pietre.bmp";
inline constexpr const char* PIETRE_BMAP_BMP = "pietre_bmap.bmp";
inline constexpr const char* GRAY11_BMP = "gray11.bmp";
inline constexpr const char* GRAY11_BMAP_BMP = "gray11_bmap.bmp";

// Display lists of the column parts: base block, capital, shaft (not the library's font BASE).
extern std::uint32_t BASE;
extern std::uint32_t CAPITELLO;
extern std::uint32_t COLONNA;

// Loads the images and builds the lists; needs the GL window's context.
void OPENGL_CREATELIST();
// Draws one frame.
void OPENGL_DRAW();
// The 2D pass at the start of every frame, and the two empty per-frame hooks after it.
void OPENGL_DRAW2D();
void OPENGL_MOUSE2D();
void OPENGL_KEYBOARD();

// How columns 2 to 4 draw their parts. OPENGL_DRAW uses the two effects; the benchmarks swap in a
// plain call of the list to see what the effects cost.
struct PARTDRAWERS {
    void (*bump)(float X, float Y, float Z, std::uint32_t OBJNAME, std::int32_t NUM);
    void (*cartoon)(float X, float Y, float Z, float SIZE, std::uint32_t OBJNAME, nembra::BYTEBOOL TEXTURE);
};
inline constexpr PARTDRAWERS EFFECTS = {nembra::FX_TEXTUREBUMPMAP, nembra::FX_CARTOON};
// OPENGL_DRAW with columns 2 to 4 drawn by DRAWERS.
void DRAWFRAME(const PARTDRAWERS& DRAWERS);

} // namespace demo
