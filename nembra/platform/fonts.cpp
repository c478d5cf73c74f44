// Outline fonts: CreateFontA matches a scalable face with fontconfig, wglUseFontOutlinesA reads its
// glyphs with FreeType, flattens and tessellates them and compiles one display list per character.
#include "nembra/platform/outline.h"
#include "nembra/platform/x11.h"

#include <GL/glu.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <deque>
#include <memory>
#include <numbers>

namespace win {
namespace outline {

std::optional<char32_t> Cp1252ToUnicode(std::uint32_t code) {
    // 0x80..0x9F; 0 marks the codes the code page leaves undefined.
    static constexpr char16_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                           0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                           0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                           0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    if (code > 0xFF)
        return std::nullopt;
    if (code < 0x80 || code >= 0xA0)
        return static_cast<char32_t>(code);
    if (const char16_t c = kHigh[code - 0x80])
        return static_cast<char32_t>(c);
    return std::nullopt;
}

namespace {

Vec2 Mid(Vec2 a, Vec2 b) { return {(a.x + b.x) / 2, (a.y + b.y) / 2}; }

// Length of a - 2b + c: the second difference of three control points.
double SecondDifference(Vec2 a, Vec2 b, Vec2 c) { return std::hypot(a.x - 2 * b.x + c.x, a.y - 2 * b.y + c.y); }

// The distance between a polynomial curve and its chord, taken at equal parameters, is at most 1/8 of
// the largest second derivative: 2 * |d| for a conic, 6 * max(|d1|, |d2|) for a cubic.
void Conic(Vec2 p0, Vec2 c, Vec2 p1, double tolerance, int depth, std::vector<Vec2>& out) {
    if (depth >= kMaxSubdivisionDepth || SecondDifference(p0, c, p1) / 4 <= tolerance) {
        out.push_back(p1);
        return;
    }
    const Vec2 a = Mid(p0, c), b = Mid(c, p1), m = Mid(a, b);
    Conic(p0, a, m, tolerance, depth + 1, out);
    Conic(m, b, p1, tolerance, depth + 1, out);
}

void Cubic(Vec2 p0, Vec2 c1, Vec2 c2, Vec2 p1, double tolerance, int depth, std::vector<Vec2>& out) {
    if (depth >= kMaxSubdivisionDepth ||
        0.75 * std::max(SecondDifference(p0, c1, c2), SecondDifference(c1, c2, p1)) <= tolerance) {
        out.push_back(p1);
        return;
    }
    const Vec2 a = Mid(p0, c1), b = Mid(c1, c2), c = Mid(c2, p1);
    const Vec2 ab = Mid(a, b), bc = Mid(b, c), m = Mid(ab, bc);
    Cubic(p0, a, ab, m, tolerance, depth + 1, out);
    Cubic(m, bc, c, p1, tolerance, depth + 1, out);
}

} // namespace

void FlattenConic(Vec2 p0, Vec2 control, Vec2 p1, double tolerance, std::vector<Vec2>& out) {
    Conic(p0, control, p1, tolerance, 0, out);
}

void FlattenCubic(Vec2 p0, Vec2 control1, Vec2 control2, Vec2 p1, double tolerance, std::vector<Vec2>& out) {
    Cubic(p0, control1, control2, p1, tolerance, 0, out);
}

} // namespace outline

using namespace x11;
using outline::Vec2;

namespace {

// --- Face matching ---

struct PatternDeleter {
    void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
struct FontSetDeleter {
    void operator()(FcFontSet* set) const { FcFontSetDestroy(set); }
};
using Pattern = std::unique_ptr<FcPattern, PatternDeleter>;

// Takes the face of a matched font if FreeType can give its outlines here: TrueType or CFF.
bool TakeFace(FcPattern* match, FontObject& font) {
    FcChar8* format = nullptr;
    FcChar8* file = nullptr;
    int index = 0;
    if (FcPatternGetString(match, FC_FONTFORMAT, 0, &format) != FcResultMatch ||
        FcPatternGetString(match, FC_FILE, 0, &file) != FcResultMatch)
        return false;
    const char* name = reinterpret_cast<const char*>(format);
    if (std::strcmp(name, "TrueType") != 0 && std::strcmp(name, "CFF") != 0)
        return false;
    FcPatternGetInteger(match, FC_INDEX, 0, &index);
    font.file = reinterpret_cast<const char*>(file);
    font.faceIndex = index;
    return true;
}

bool MatchFace(FontObject& font) {
    Pattern pattern(FcPatternCreate());
    if (!pattern)
        return false;
    const std::string family = font.faceName.empty() ? "sans-serif" : Latin1ToUtf8(font.faceName.c_str());
    const auto text = [](const char* s) { return reinterpret_cast<const FcChar8*>(s); };
    FcPatternAddString(pattern.get(), FC_FAMILY, text(family.c_str()));
    // Weight 0 means "don't care": the regular one.
    FcPatternAddInteger(pattern.get(), FC_WEIGHT, FcWeightFromOpenType(font.weight > 0 ? font.weight : FW_NORMAL));
    FcPatternAddInteger(pattern.get(), FC_SLANT, font.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
    FcPatternAddBool(pattern.get(), FC_OUTLINE, FcTrue);
    FcPatternAddString(pattern.get(), FC_FONTFORMAT, text("TrueType"));
    FcPatternAddString(pattern.get(), FC_FONTFORMAT, text("CFF"));
    FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());

    FcResult result = FcResultNoMatch;
    if (Pattern match(FcFontMatch(nullptr, pattern.get(), &result)); match && TakeFace(match.get(), font))
        return true;
    // Matching only prefers the format; the best face may be a Type 1 or bitmap one. Take the best
    // outline face of the right format instead.
    std::unique_ptr<FcFontSet, FontSetDeleter> set(FcFontSort(nullptr, pattern.get(), FcFalse, nullptr, &result));
    if (set)
        for (int i = 0; i < set->nfont; ++i)
            if (TakeFace(set->fonts[i], font))
                return true;
    return false;
}

// --- Glyph outlines ---

struct FtLibrary {
    FT_Library handle = nullptr;
    FtLibrary() {
        if (FT_Init_FreeType(&handle) != 0)
            handle = nullptr;
    }
    ~FtLibrary() {
        if (handle)
            FT_Done_FreeType(handle);
    }
    FtLibrary(const FtLibrary&) = delete;
    FtLibrary& operator=(const FtLibrary&) = delete;
};

struct FtFace {
    FT_Face handle = nullptr;
    FtFace() = default;
    ~FtFace() {
        if (handle)
            FT_Done_Face(handle);
    }
    FtFace(const FtFace&) = delete;
    FtFace& operator=(const FtFace&) = delete;
};

struct TessDeleter {
    void operator()(GLUtesselator* tess) const { gluDeleteTess(tess); }
};

// Slant of the synthetic oblique (x grows by this much per unit of height), about 11 degrees, and
// the synthetic emboldening in ems.
constexpr double kObliqueShear = 0.2;
constexpr double kEmboldenStrength = 1.0 / 48.0;

// A glyph ready for GL, in em units, turned as the font asks.
struct Glyph {
    std::vector<std::vector<Vec2>> contours;
    std::vector<Vec2> triangles; // three vertices each, counter-clockwise
    Vec2 advance;
    bool fillOnLeft = true; // the filled side of every contour, walking along it
};

struct Decomposer {
    std::vector<std::vector<Vec2>>* contours;
    double tolerance; // font units
    Vec2 at;

    static Vec2 V(const FT_Vector* v) { return {static_cast<double>(v->x), static_cast<double>(v->y)}; }
    static Decomposer& Of(void* user) { return *static_cast<Decomposer*>(user); }
    static int MoveTo(const FT_Vector* to, void* user) {
        Decomposer& d = Of(user);
        d.at = V(to);
        d.contours->push_back({d.at});
        return 0;
    }
    static int LineTo(const FT_Vector* to, void* user) {
        Decomposer& d = Of(user);
        d.at = V(to);
        d.contours->back().push_back(d.at);
        return 0;
    }
    static int ConicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
        Decomposer& d = Of(user);
        outline::FlattenConic(d.at, V(control), V(to), d.tolerance, d.contours->back());
        d.at = V(to);
        return 0;
    }
    static int CubicTo(const FT_Vector* control1, const FT_Vector* control2, const FT_Vector* to, void* user) {
        Decomposer& d = Of(user);
        outline::FlattenCubic(d.at, V(control1), V(control2), V(to), d.tolerance, d.contours->back());
        d.at = V(to);
        return 0;
    }
};

double SignedArea(const std::vector<std::vector<Vec2>>& contours) {
    double area = 0;
    for (const auto& contour : contours)
        for (std::size_t i = 0, n = contour.size(); i < n; ++i) {
            const Vec2 a = contour[i], b = contour[(i + 1) % n];
            area += a.x * b.y - b.x * a.y;
        }
    return area / 2;
}

// Drops repeated points, the closing copy of the first point included, and contours that enclose nothing.
void Clean(std::vector<std::vector<Vec2>>& contours) {
    for (auto& contour : contours) {
        const auto same = [](Vec2 a, Vec2 b) { return a.x == b.x && a.y == b.y; };
        contour.erase(std::unique(contour.begin(), contour.end(), same), contour.end());
        while (contour.size() > 1 && same(contour.front(), contour.back()))
            contour.pop_back();
    }
    std::erase_if(contours, [](const std::vector<Vec2>& contour) { return contour.size() < 3; });
}

// A rectangle contour wound the way the glyph's own contours are, so that it adds to their fill.
std::vector<Vec2> Bar(double x0, double x1, double y0, double y1, bool fillOnLeft) {
    if (fillOnLeft)
        return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
    return {{x0, y0}, {x0, y1}, {x1, y1}, {x1, y0}};
}

struct TessOutput {
    std::vector<Vec2>* triangles = nullptr;
    std::deque<std::array<GLdouble, 3>> created; // vertices made at intersections
    GLenum type = GL_TRIANGLES;
    std::size_t start = 0;
    GLenum error = 0;
};

void TessBegin(GLenum type, void* data) {
    auto& out = *static_cast<TessOutput*>(data);
    out.type = type;
    out.start = out.triangles->size();
}

void TessVertex(void* vertex, void* data) {
    const auto* v = static_cast<const GLdouble*>(vertex);
    static_cast<TessOutput*>(data)->triangles->push_back({v[0], v[1]});
}

// Strips and fans, should the tessellator hand them out after all, become separate triangles.
void TessEnd(void* data) {
    auto& out = *static_cast<TessOutput*>(data);
    std::vector<Vec2>& t = *out.triangles;
    if (out.type == GL_TRIANGLES)
        return;
    const std::vector<Vec2> run(t.begin() + static_cast<std::ptrdiff_t>(out.start), t.end());
    t.resize(out.start);
    for (std::size_t i = 2; i < run.size(); ++i) {
        if (out.type == GL_TRIANGLE_FAN)
            t.insert(t.end(), {run[0], run[i - 1], run[i]});
        else if (i % 2 == 0)
            t.insert(t.end(), {run[i - 2], run[i - 1], run[i]});
        else
            t.insert(t.end(), {run[i - 1], run[i - 2], run[i]});
    }
}

void TessCombine(GLdouble coords[3], void* [4], GLfloat[4], void** result, void* data) {
    auto& out = *static_cast<TessOutput*>(data);
    out.created.push_back({coords[0], coords[1], coords[2]});
    *result = out.created.back().data();
}

void TessEdgeFlag(GLboolean, void*) {}

void TessError(GLenum error, void* data) { static_cast<TessOutput*>(data)->error = error; }

template <typename F>
_GLUfuncptr Callback(F* function) {
    return reinterpret_cast<_GLUfuncptr>(function);
}

class GlyphBuilder {
public:
    GlyphBuilder(FT_Face face, const FontObject& font, double deviation)
        : face_(face), font_(font), em_(face->units_per_EM) {
        tolerance_ = std::max(deviation, outline::kMinDeviation) * em_;
        oblique_ = font.italic && !(face->style_flags & FT_STYLE_FLAG_ITALIC);
        embolden_ = font.weight >= FW_BOLD && !(face->style_flags & FT_STYLE_FLAG_BOLD);
        const double orientation = font.orientation * std::numbers::pi / 1800.0;
        const double escapement = font.escapement * std::numbers::pi / 1800.0;
        turnCos_ = std::cos(orientation);
        turnSin_ = std::sin(orientation);
        baselineCos_ = std::cos(escapement);
        baselineSin_ = std::sin(escapement);
        // Symbol fonts have no Unicode map; they file their glyphs under U+F000 + code.
        symbolMap_ =
            FT_Select_Charmap(face, FT_ENCODING_UNICODE) != 0 && FT_Select_Charmap(face, FT_ENCODING_MS_SYMBOL) == 0;

        strength_ = embolden_ ? static_cast<FT_Pos>(std::lround(kEmboldenStrength * em_)) : 0;
        // Characters without a glyph still take the default glyph's room, so that text does not collapse.
        if (FT_Load_Glyph(face_, 0, kLoadFlags) == 0)
            missingAdvance_ = static_cast<double>(face_->glyph->metrics.horiAdvance + strength_);

        tess_.reset(gluNewTess());
        if (tess_) {
            gluTessCallback(tess_.get(), GLU_TESS_BEGIN_DATA, Callback(TessBegin));
            gluTessCallback(tess_.get(), GLU_TESS_VERTEX_DATA, Callback(TessVertex));
            gluTessCallback(tess_.get(), GLU_TESS_END_DATA, Callback(TessEnd));
            gluTessCallback(tess_.get(), GLU_TESS_COMBINE_DATA, Callback(TessCombine));
            // With an edge-flag callback the tessellator hands out separate triangles only.
            gluTessCallback(tess_.get(), GLU_TESS_EDGE_FLAG_DATA, Callback(TessEdgeFlag));
            gluTessCallback(tess_.get(), GLU_TESS_ERROR_DATA, Callback(TessError));
            gluTessNormal(tess_.get(), 0, 0, 1);
        }
    }

    bool ready() const { return tess_ != nullptr; }

    // The glyph of an ANSI code; contours and triangles are empty when it has none.
    Glyph Build(DWORD code, bool polygons) {
        Glyph glyph;
        double advance = missingAdvance_;
        bool evenOdd = false;
        if (const FT_UInt index = GlyphIndex(code); index != 0 && FT_Load_Glyph(face_, index, kLoadFlags) == 0 &&
                                                    face_->glyph->format == FT_GLYPH_FORMAT_OUTLINE) {
            FT_Outline& shape = face_->glyph->outline;
            advance = static_cast<double>(face_->glyph->metrics.horiAdvance);
            if (embolden_) {
                FT_Outline_Embolden(&shape, strength_);
                advance += static_cast<double>(strength_);
            }
            evenOdd = (shape.flags & FT_OUTLINE_EVEN_ODD_FILL) != 0;
            Decomposer decomposer{&glyph.contours, tolerance_, {}};
            const FT_Outline_Funcs funcs{
                &Decomposer::MoveTo, &Decomposer::LineTo, &Decomposer::ConicTo, &Decomposer::CubicTo, 0, 0};
            if (FT_Outline_Decompose(&shape, &funcs, &decomposer) != 0)
                glyph.contours.clear();
            Clean(glyph.contours);
            if (oblique_)
                for (auto& contour : glyph.contours)
                    for (Vec2& p : contour)
                        p.x += kObliqueShear * p.y;
            glyph.fillOnLeft = glyph.contours.empty() || SignedArea(glyph.contours) > 0;
            AddBars(glyph, advance);
        }

        // Into ems, turned by the orientation; the advance follows the baseline.
        for (auto& contour : glyph.contours)
            for (Vec2& p : contour)
                p = {(p.x * turnCos_ - p.y * turnSin_) / em_, (p.x * turnSin_ + p.y * turnCos_) / em_};
        glyph.advance = {advance * baselineCos_ / em_, advance * baselineSin_ / em_};
        if (polygons && !glyph.contours.empty())
            Tessellate(glyph, evenOdd);
        return glyph;
    }

private:
    static constexpr FT_Int32 kLoadFlags = FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP;

    FT_UInt GlyphIndex(DWORD code) const {
        if (symbolMap_)
            return code <= 0xFF ? FT_Get_Char_Index(face_, 0xF000 + code) : 0;
        const std::optional<char32_t> character = outline::Cp1252ToUnicode(code);
        return character ? FT_Get_Char_Index(face_, *character) : 0;
    }

    // Underline and strike-out: bars across the advance, level whatever the slant.
    void AddBars(Glyph& glyph, double advance) const {
        if (font_.underline) {
            const double thickness = face_->underline_thickness > 0 ? face_->underline_thickness : em_ / 20;
            const double centre = face_->underline_position;
            glyph.contours.push_back(Bar(0, advance, centre - thickness / 2, centre + thickness / 2, glyph.fillOnLeft));
        }
        if (font_.strikeOut) {
            const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face_, FT_SFNT_OS2));
            const bool known = os2 && os2->version != 0xFFFF && os2->yStrikeoutSize > 0;
            const double size = known ? os2->yStrikeoutSize : em_ / 20;
            const double top = known ? os2->yStrikeoutPosition : em_ * 0.3;
            glyph.contours.push_back(Bar(0, advance, top - size, top, glyph.fillOnLeft));
        }
    }

    void Tessellate(Glyph& glyph, bool evenOdd) {
        std::vector<std::array<GLdouble, 3>> points;
        std::size_t total = 0;
        for (const auto& contour : glyph.contours)
            total += contour.size();
        points.reserve(total); // the tessellator keeps pointers into it
        TessOutput out;
        out.triangles = &glyph.triangles;
        GLUtesselator* tess = tess_.get();
        gluTessProperty(tess, GLU_TESS_WINDING_RULE, evenOdd ? GLU_TESS_WINDING_ODD : GLU_TESS_WINDING_NONZERO);
        gluTessBeginPolygon(tess, &out);
        for (const auto& contour : glyph.contours) {
            gluTessBeginContour(tess);
            for (const Vec2& p : contour) {
                points.push_back({p.x, p.y, 0});
                gluTessVertex(tess, points.back().data(), points.back().data());
            }
            gluTessEndContour(tess);
        }
        gluTessEndPolygon(tess);
        if (out.error != 0)
            glyph.triangles.clear();
        // Front faces are counter-clockwise seen from +z, whatever order the tessellator chose.
        auto& t = glyph.triangles;
        for (std::size_t i = 0; i + 2 < t.size(); i += 3) {
            const double cross =
                (t[i + 1].x - t[i].x) * (t[i + 2].y - t[i].y) - (t[i + 1].y - t[i].y) * (t[i + 2].x - t[i].x);
            if (cross < 0)
                std::swap(t[i + 1], t[i + 2]);
        }
    }

    FT_Face face_;
    const FontObject& font_;
    double em_;
    double tolerance_ = 0;
    bool oblique_ = false;
    bool embolden_ = false;
    bool symbolMap_ = false;
    FT_Pos strength_ = 0; // synthetic emboldening, font units
    double turnCos_ = 1, turnSin_ = 0, baselineCos_ = 1, baselineSin_ = 0;
    double missingAdvance_ = 0;
    std::unique_ptr<GLUtesselator, TessDeleter> tess_;
};

// The whole solid as one run of triangles: Mesa 22's feedback mode drops quads compiled after
// triangles in the same list, and one primitive is cheaper to replay anyway.
void EmitSolid(const Glyph& glyph, float extrusion) {
    const auto& t = glyph.triangles;
    const double z = -extrusion;
    glBegin(GL_TRIANGLES);
    glNormal3f(0, 0, 1);
    for (const Vec2& p : t)
        glVertex3d(p.x, p.y, 0);
    if (extrusion > 0) {
        // The back face is the front one mirrored in depth: reversed, so it faces -z.
        glNormal3f(0, 0, -1);
        for (std::size_t i = t.size(); i-- > 0;)
            glVertex3d(t[i].x, t[i].y, z);
        // A wall per contour edge, each with its own flat normal pointing away from the filled side and
        // wound counter-clockwise seen from there.
        for (const auto& contour : glyph.contours)
            for (std::size_t i = 0, n = contour.size(); i < n; ++i) {
                Vec2 a = contour[i], b = contour[(i + 1) % n];
                if (!glyph.fillOnLeft)
                    std::swap(a, b);
                const double dx = b.x - a.x, dy = b.y - a.y, length = std::hypot(dx, dy);
                if (length == 0)
                    continue;
                glNormal3d(dy / length, -dx / length, 0);
                const double quad[4][3] = {{a.x, a.y, 0}, {a.x, a.y, z}, {b.x, b.y, z}, {b.x, b.y, 0}};
                for (int k : {0, 1, 2, 0, 2, 3})
                    glVertex3dv(quad[k]);
            }
    }
    glEnd();
}

void EmitLines(const Glyph& glyph) {
    for (const auto& contour : glyph.contours) {
        glBegin(GL_LINE_LOOP);
        for (const Vec2& p : contour)
            glVertex3d(p.x, p.y, 0);
        glEnd();
    }
}

GLYPHMETRICSFLOAT MetricsOf(const Glyph& glyph) {
    GLYPHMETRICSFLOAT m;
    m.gmfCellIncX = static_cast<float>(glyph.advance.x);
    m.gmfCellIncY = static_cast<float>(glyph.advance.y);
    if (glyph.contours.empty())
        return m;
    double left = HUGE_VAL, right = -HUGE_VAL, bottom = HUGE_VAL, top = -HUGE_VAL;
    for (const auto& contour : glyph.contours)
        for (const Vec2& p : contour) {
            left = std::min(left, p.x);
            right = std::max(right, p.x);
            bottom = std::min(bottom, p.y);
            top = std::max(top, p.y);
        }
    m.gmfBlackBoxX = static_cast<float>(right - left);
    m.gmfBlackBoxY = static_cast<float>(top - bottom);
    m.gmfptGlyphOrigin = {static_cast<float>(left), static_cast<float>(top)};
    return m;
}

} // namespace

HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic, DWORD underline,
                  DWORD strikeOut, DWORD charSet, DWORD, DWORD, DWORD, DWORD, const char* faceName) {
    FontObject font;
    font.height = height;
    font.width = width;
    font.escapement = escapement;
    font.orientation = orientation;
    font.weight = weight;
    font.italic = italic != 0;
    font.underline = underline != 0;
    font.strikeOut = strikeOut != 0;
    font.charSet = charSet;
    font.faceName = faceName ? faceName : "";
    if (!MatchFace(font))
        return 0;
    Platform& p = P();
    const HFONT handle = p.newHandle();
    p.fonts.emplace(handle, std::move(font));
    return handle;
}

BOOL wglUseFontOutlinesA(HDC dc, DWORD first, DWORD count, DWORD listBase, float deviation, float extrusion, int format,
                         GLYPHMETRICSFLOAT* metrics) {
    Platform& p = P();
    const auto dcIt = p.dcs.find(dc);
    if (dcIt == p.dcs.end())
        return 0;
    const auto fontIt = p.fonts.find(dcIt->second.font);
    if (fontIt == p.fonts.end())
        return 0;
    FtLibrary library;
    FtFace face;
    if (!library.handle ||
        FT_New_Face(library.handle, fontIt->second.file.c_str(), fontIt->second.faceIndex, &face.handle) != 0)
        return 0;
    if (!FT_IS_SCALABLE(face.handle) || face.handle->units_per_EM == 0)
        return 0;
    GlyphBuilder builder(face.handle, fontIt->second, deviation);
    if (!builder.ready())
        return 0;

    const bool polygons = format == WGL_FONT_POLYGONS;
    for (DWORD i = 0; i < count; ++i) {
        const Glyph glyph = builder.Build(first + i, polygons);
        glNewList(listBase + i, GL_COMPILE);
        if (!polygons)
            EmitLines(glyph);
        else if (!glyph.triangles.empty())
            EmitSolid(glyph, extrusion);
        // Exactly the cell increment of the metrics, so that layout by lists and by metrics agree.
        const GLYPHMETRICSFLOAT m = MetricsOf(glyph);
        glTranslatef(m.gmfCellIncX, m.gmfCellIncY, 0);
        glEndList();
        if (metrics)
            metrics[i] = m;
    }
    return 1;
}

} // namespace win
