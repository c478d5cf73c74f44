// Internal to the desktop stand-in: the GL-free pieces of outline fonts (fonts.cpp), kept apart so
// that tests reach them directly.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace win::outline {

struct Vec2 {
    double x = 0;
    double y = 0;
};

// The Unicode character of an ANSI (Windows-1252) code; none for the five codes the code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) and for codes above 255.
std::optional<char32_t> Cp1252ToUnicode(std::uint32_t code);

// Curve flattening. Each curve is cut in halves until the straight line between its ends stays within
// `tolerance` of it (tolerance in the curve's own units); subdivision stops at kMaxSubdivisionDepth
// whatever the tolerance, so at most 2^kMaxSubdivisionDepth segments come from one curve. The points
// after the start are appended to `out`; the last one is exactly the end point.
inline constexpr int kMaxSubdivisionDepth = 10;
void FlattenConic(Vec2 p0, Vec2 control, Vec2 p1, double tolerance, std::vector<Vec2>& out);
void FlattenCubic(Vec2 p0, Vec2 control1, Vec2 control2, Vec2 p1, double tolerance, std::vector<Vec2>& out);

// The finest chord deviation outline fonts use, in em units: a deviation of 0 means this one.
inline constexpr double kMinDeviation = 1.0 / 1000.0;

} // namespace win::outline
