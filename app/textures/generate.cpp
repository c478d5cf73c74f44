// nembra-demo-textures OUTDIR: writes the demo's six column images, a colour image and a height map
// for each column part, as uncompressed 24-bit BMP files. Every picture wraps at its edges, since the
// columns repeat it, and the same build always writes the same bytes: the randomness is a hash of
// pixel coordinates and fixed seeds, not <random>, whose distributions differ between libraries.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <tuple>
#include <vector>

namespace {

constexpr int kSize = 256;

struct Rgb {
    double r = 0, g = 0, b = 0;
};

Rgb operator*(Rgb c, double k) { return {c.r * k, c.g * k, c.b * k}; }
Rgb operator+(Rgb c, double k) { return {c.r + k, c.g + k, c.b + k}; }

struct Picture {
    std::vector<Rgb> pixels = std::vector<Rgb>(kSize * kSize); // top row first
    Rgb& at(int x, int y) { return pixels[static_cast<std::size_t>(y) * kSize + static_cast<std::size_t>(x)]; }
};

std::uint32_t Hash(std::uint32_t x, std::uint32_t y, std::uint32_t seed) {
    std::uint32_t h = seed * 0x9E3779B9u ^ x * 0x85EBCA6Bu ^ y * 0xC2B2AE35u;
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}

// A value in [0, 1) for a lattice point.
double Unit(int x, int y, std::uint32_t seed) {
    return Hash(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), seed) / 4294967296.0;
}

int Wrap(int v, int period) { return ((v % period) + period) % period; }

double Clamp01(double v) { return std::clamp(v, 0.0, 1.0); }

double SmoothStep(double edge0, double edge1, double v) {
    const double t = Clamp01((v - edge0) / (edge1 - edge0));
    return t * t * (3 - 2 * t);
}

// Value noise with `period` lattice cells across the picture, so it wraps with it.
double ValueNoise(double x, double y, int period, std::uint32_t seed) {
    const double fx = x * period / kSize, fy = y * period / kSize;
    const int x0 = static_cast<int>(std::floor(fx)), y0 = static_cast<int>(std::floor(fy));
    const double tx = SmoothStep(0, 1, fx - x0), ty = SmoothStep(0, 1, fy - y0);
    auto corner = [&](int i, int j) { return Unit(Wrap(x0 + i, period), Wrap(y0 + j, period), seed); };
    const double top = corner(0, 0) + (corner(1, 0) - corner(0, 0)) * tx;
    const double bottom = corner(0, 1) + (corner(1, 1) - corner(0, 1)) * tx;
    return top + (bottom - top) * ty;
}

// Octaves of value noise from `period` cells up, each twice as fine and half as strong; about [0, 1].
double Fbm(double x, double y, int period, int octaves, std::uint32_t seed) {
    double sum = 0, weight = 0, amplitude = 1;
    for (int octave = 0; octave < octaves && period <= kSize; ++octave, period *= 2, amplitude *= 0.5) {
        sum += amplitude * ValueNoise(x, y, period, seed + static_cast<std::uint32_t>(octave) * 101u);
        weight += amplitude;
    }
    return sum / weight;
}

// Noise with its contrast stretched back to about [0, 1]: averaging octaves pulls values toward 0.5.
double Grain(double x, double y, int period, int octaves, std::uint32_t seed) {
    return Clamp01(0.5 + (Fbm(x, y, period, octaves, seed) - 0.5) * 2.2);
}

// Polynomial smooth minimum: rounds the corners where two edge distances meet.
double SmoothMin(double a, double b, double k) {
    const double h = std::max(k - std::abs(a - b), 0.0) / k;
    return std::min(a, b) - h * h * k / 4;
}

Rgb Pick(const std::vector<Rgb>& palette, std::uint32_t hash) { return palette[hash % palette.size()]; }

// Laid blocks in running bond: 8 courses of 32 pixels, 4 blocks of varied width to a course.
void StoneBlocks(Picture& colour, Picture& height) {
    constexpr int kCourses = 8, kCourse = kSize / kCourses, kBlocks = 4, kBlock = kSize / kBlocks;
    // Joints clear of the picture's edges, so the seam crosses stone like any other column of pixels.
    constexpr int kCourseOffset = 10, kBondOffset = 20;
    constexpr double kJoint = 2.0, kBevel = 6.0, kCorner = 5.0;
    const std::vector<Rgb> stones = {{178, 168, 150}, {192, 168, 124}, {162, 152, 140},
                                     {186, 158, 118}, {170, 160, 146}, {198, 182, 150}};
    std::array<std::array<int, kBlocks>, kCourses> joints{};
    for (int c = 0; c < kCourses; ++c)
        for (int k = 0; k < kBlocks; ++k)
            joints[c][k] = kBondOffset + (c % 2) * kBlock / 2 + k * kBlock +
                           static_cast<int>(std::lround((Unit(k, c, 11) - 0.5) * 24));

    for (int y = 0; y < kSize; ++y) {
        const int fromCourse = Wrap(y - kCourseOffset, kSize);
        const int c = fromCourse / kCourse;
        const double dy = fromCourse - c * kCourse + 0.5;
        const double dv = std::min(dy, kCourse - dy);
        for (int x = 0; x < kSize; ++x) {
            // The block is the one whose left joint is nearest on the left.
            double dh = kSize;
            int block = 0;
            for (int k = 0; k < kBlocks; ++k) {
                const double across = std::abs(x + 0.5 - joints[c][k]);
                dh = std::min({dh, across, kSize - across});
                if (Wrap(x - joints[c][k], kSize) < Wrap(x - joints[c][block], kSize))
                    block = k;
            }
            // Distance into a block with rounded corners, worn a little unevenly.
            double d = std::min(dh, dv);
            if (dh < kCorner && dv < kCorner)
                d = kCorner - std::sqrt((kCorner - dh) * (kCorner - dh) + (kCorner - dv) * (kCorner - dv));
            d += (Fbm(x, y, 32, 3, 12) - 0.5) * 3.0;

            const std::uint32_t id = Hash(static_cast<std::uint32_t>(block), static_cast<std::uint32_t>(c), 13);
            const double grain = Grain(x, y, 32, 4, 14);
            const double speckle = Unit(x, y, 15) - 0.5;
            if (d < kJoint) {
                const double mortar = 0.8 + 0.4 * Grain(x, y, 64, 3, 16);
                colour.at(x, y) = Rgb{72, 66, 60} * mortar + speckle * 8;
                height.at(x, y) = Rgb{} + (28 + 24 * Clamp01(d / kJoint + 0.3) * mortar);
                continue;
            }
            const double t = Clamp01((d - kJoint) / kBevel);
            const double rounding = t * (2 - t);
            const double mottle = Fbm(x, y, 8, 2, 17);
            const double shade = (0.88 + 0.12 * (Hash(id, 0, 18) % 100) / 100.0) * (0.78 + 0.22 * rounding) *
                                 (0.86 + 0.16 * grain + 0.1 * mottle);
            colour.at(x, y) = Pick(stones, id) * shade + speckle * 14;
            height.at(x, y) = Rgb{} + (80 + 130 * rounding + 36 * (grain - 0.5) + 12 * (mottle - 0.5));
        }
    }
}

// Irregular rounded stones: a jittered 8 x 8 grid of centres, its Voronoi cells warped by noise and
// their corners rounded, with dark gaps between them.
void Pietre(Picture& colour, Picture& height) {
    constexpr int kCells = 8, kCell = kSize / kCells;
    constexpr double kGap = 2.2, kRound = 9.0, kDome = 11.0, kWarp = 10.0;
    const std::vector<Rgb> stones = {{152, 142, 128}, {172, 152, 120}, {146, 114, 92}, {124, 124, 130},
                                     {178, 168, 152}, {158, 128, 96},  {118, 106, 98}, {164, 160, 150}};
    auto centre = [](int i, int j, double& cx, double& cy) {
        const int wi = Wrap(i, kCells), wj = Wrap(j, kCells);
        cx = (i + 0.2 + 0.6 * Unit(wi, wj, 21)) * kCell;
        cy = (j + 0.2 + 0.6 * Unit(wi, wj, 22)) * kCell;
    };
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            const double px = x + 0.5 + (Fbm(x, y, 8, 3, 23) - 0.5) * 2 * kWarp;
            const double py = y + 0.5 + (Fbm(x, y, 8, 3, 24) - 0.5) * 2 * kWarp;
            const int ci = static_cast<int>(std::floor(px / kCell)), cj = static_cast<int>(std::floor(py / kCell));
            // The nearest centre, then the rounded distance to the bisectors with all its neighbours.
            double best = 1e9, bx = 0, by = 0;
            int bi = 0, bj = 0;
            for (int j = cj - 2; j <= cj + 2; ++j)
                for (int i = ci - 2; i <= ci + 2; ++i) {
                    double cx, cy;
                    centre(i, j, cx, cy);
                    const double dist = (px - cx) * (px - cx) + (py - cy) * (py - cy);
                    if (dist < best) {
                        best = dist, bx = cx, by = cy, bi = i, bj = j;
                    }
                }
            double edge = 1e9;
            for (int j = bj - 2; j <= bj + 2; ++j)
                for (int i = bi - 2; i <= bi + 2; ++i) {
                    if (i == bi && j == bj)
                        continue;
                    double cx, cy;
                    centre(i, j, cx, cy);
                    const double nx = cx - bx, ny = cy - by, length = std::sqrt(nx * nx + ny * ny);
                    const double toBisector = ((bx + cx) / 2 - px) * nx / length + ((by + cy) / 2 - py) * ny / length;
                    edge = SmoothMin(edge, toBisector, kRound);
                }

            const std::uint32_t id =
                Hash(static_cast<std::uint32_t>(Wrap(bi, kCells)), static_cast<std::uint32_t>(Wrap(bj, kCells)), 25);
            const double grain = Grain(x, y, 32, 4, 26);
            const double speckle = Unit(x, y, 27) - 0.5;
            if (edge < kGap) {
                const double dirt = 0.75 + 0.5 * Grain(x, y, 64, 3, 28);
                colour.at(x, y) = Rgb{40, 36, 32} * dirt + speckle * 6;
                height.at(x, y) = Rgb{} + (18 + 20 * dirt * Clamp01(edge / kGap + 0.5));
                continue;
            }
            const double t = Clamp01((edge - kGap) / kDome);
            const double dome = std::sqrt(t * (2 - t));
            const double shade =
                (0.85 + 0.15 * (Hash(id, 0, 29) % 100) / 100.0) * (0.62 + 0.38 * dome) * (0.88 + 0.2 * grain);
            colour.at(x, y) = Pick(stones, id) * shade + speckle * 12;
            height.at(x, y) = Rgb{} + (56 + 170 * dome + 28 * (grain - 0.5));
        }
    }
}

// Fine grey granite: a grain of small crystals, dark and light specks, and a few soft darker veins.
void Gray11(Picture& colour, Picture& height) {
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            const double grain = Grain(x, y, 32, 4, 31);
            const double crystals = ValueNoise(x, y, 128, 32);
            // Warping the veins' noise hides its lattice, which straight value noise shows at this scale.
            const double wx = x + 24 * (Fbm(x, y, 8, 3, 36) - 0.5), wy = y + 24 * (Fbm(x, y, 8, 3, 37) - 0.5);
            const double vein = 1 - SmoothStep(0.0, 0.05, std::abs(Fbm(wx, wy, 4, 5, 33) - 0.5));
            double light = 150 + 46 * (grain - 0.5) + 30 * (crystals - 0.5) - 28 * vein;
            double relief = 130 + 120 * (grain - 0.5) + 50 * (crystals - 0.5) - 36 * vein;
            const double speck = Unit(x, y, 34);
            if (speck < 0.05) {
                light *= 0.45;
                relief -= 70;
            } else if (speck > 0.97) {
                light += 50;
                relief += 30;
            }
            const double tint = (Unit(x, y, 35) - 0.5) * 4;
            colour.at(x, y) = {light + tint, light + tint, light * 1.03 - tint};
            height.at(x, y) = Rgb{} + relief;
        }
    }
}

std::uint8_t Byte(double v) { return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0, 255.0))); }

void Put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    Put16(out, v & 0xFFFFu);
    Put16(out, v >> 16);
}

// BITMAPFILEHEADER, a 40-byte BITMAPINFOHEADER, then blue-green-red rows, bottom row first.
bool WriteBmp(const std::filesystem::path& path, Picture& picture, bool grey) {
    const std::uint32_t stride = (kSize * 3 + 3) / 4 * 4, pixelBytes = stride * kSize;
    std::vector<std::uint8_t> out;
    out.reserve(54 + pixelBytes);
    out.push_back('B');
    out.push_back('M');
    Put32(out, 54 + pixelBytes);
    Put32(out, 0);
    Put32(out, 54);
    Put32(out, 40);
    Put32(out, kSize);
    Put32(out, kSize);
    Put16(out, 1);
    Put16(out, 24);
    Put32(out, 0); // BI_RGB
    Put32(out, pixelBytes);
    Put32(out, 2835); // 72 dpi
    Put32(out, 2835);
    Put32(out, 0);
    Put32(out, 0);
    for (int y = kSize - 1; y >= 0; --y) {
        for (int x = 0; x < kSize; ++x) {
            const Rgb c = picture.at(x, y);
            if (grey) {
                out.insert(out.end(), 3, Byte(c.r));
                continue;
            }
            out.push_back(Byte(c.b));
            out.push_back(Byte(c.g));
            out.push_back(Byte(c.r));
        }
        out.resize(out.size() + (stride - kSize * 3), 0);
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
    return static_cast<bool>(file.flush());
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: nembra-demo-textures OUTDIR\n");
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::error_code error;
    std::filesystem::create_directories(dir, error);

    struct Part {
        const char* colourName;
        const char* heightName;
        void (*draw)(Picture& colour, Picture& height);
    };
    const Part parts[] = {{"stoneblocks.bmp", "stoneblocks_bmap.bmp", StoneBlocks},
                          {"pietre.bmp", "pietre_bmap.bmp", Pietre},
                          {"gray11.bmp", "gray11_bmap.bmp", Gray11}};
    for (const Part& part : parts) {
        Picture colour, height;
        part.draw(colour, height);
        for (const auto& [name, picture, grey] :
             {std::tuple{part.colourName, &colour, false}, std::tuple{part.heightName, &height, true}}) {
            if (!WriteBmp(dir / name, *picture, grey)) {
                std::fprintf(stderr, "nembra-demo-textures: cannot write %s\n", (dir / name).c_str());
                return 1;
            }
        }
    }
    return 0;
}
