// The demonstration's column scene: its display lists and the drawing of one frame.
#pragma once

#include <cstdint>

namespace demo {

// Texture and bump slots of the three column parts.
inline constexpr std::int32_t T_BASE = 0;
inline constexpr std::int32_t T_CAPITELLO = 1;
inline constexpr std::int32_t T_COLONNA = 2;

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

} // namespace demo
