// FreeType set-up and glyph compositing. Outlines come from FreeType's stroker, so they follow the
// real glyph contours rather than a blurred silhouette. Glyphs are placed with integer (26.6 and
// 16.16 fixed-point) arithmetic wherever FreeType takes over, so the same run gives the same pixels
// on every machine, the browser's wasm included.
#include "utils/typeset.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_GLYPH_H
#include FT_STROKER_H

#include <cmath>
#include <stdexcept>
#include <vector>

#include "utils/utf8.h"

namespace {

struct FontFile {
    FontStyle style;
    const char* file;
};

constexpr FontFile FontFiles[] = {
    {FontStyle::SansBold,           "DejaVuSans-Bold.ttf"},
    {FontStyle::SansCondensedBold,  "DejaVuSansCondensed-Bold.ttf"},
    {FontStyle::SansLight,          "DejaVuSans-ExtraLight.ttf"},
    {FontStyle::SerifBoldItalic,    "DejaVuSerif-BoldItalic.ttf"},
    {FontStyle::SerifCondensedBold, "DejaVuSerifCondensed-Bold.ttf"},
    {FontStyle::MonoBold,           "DejaVuSansMono-Bold.ttf"},
};
static_assert(sizeof(FontFiles) / sizeof(FontFiles[0]) == FontStyleCount, "one file per FontStyle");

}  // namespace

const char* fontFileName(FontStyle style) { return FontFiles[int(style)].file; }

std::string freetypeVersion()
{
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library)) return "?";
    FT_Int major = 0, minor = 0, patch = 0;
    FT_Library_Version(library, &major, &minor, &patch);
    FT_Done_FreeType(library);
    return std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(patch);
}

struct Typesetter::Impl {
    std::string directory;
    FT_Library library = nullptr;
    FT_Face faces[FontStyleCount] = {};
    FT_Stroker stroker = nullptr;

    FT_Face open(FontStyle style)
    {
        FT_Face& f = faces[int(style)];
        if (!f) {
            const std::string path = directory + "/" + fontFileName(style);
            if (FT_New_Face(library, path.c_str(), 0, &f)) {
                f = nullptr;
                throw std::runtime_error("missing font " + path + " (Debian: fonts-dejavu-core, fonts-dejavu-extra)");
            }
        }
        return f;
    }
    FT_Face face(FontStyle style, float size)
    {
        FT_Face f = open(style);
        FT_Set_Char_Size(f, 0, FT_F26Dot6(std::lround(size * 64)), 72, 72);
        return f;
    }

    // Where a code point's glyph comes from: the run's font, else Sans Bold, else the run's font's
    // replacement character (every DejaVu face has U+FFFD), else its .notdef box.
    struct Glyph {
        FT_Face face;
        FT_UInt index;
    };
    Glyph glyph(FontStyle style, float size, uint32_t cp)
    {
        FT_Face own = face(style, size);
        if (FT_UInt i = FT_Get_Char_Index(own, cp)) return {own, i};
        if (style != FontStyle::SansBold) {
            FT_Face fallback = face(FontStyle::SansBold, size);
            if (FT_UInt i = FT_Get_Char_Index(fallback, cp)) return {fallback, i};
        }
        return {own, FT_Get_Char_Index(own, ReplacementCharacter)};
    }
};

Typesetter::Typesetter(const std::string& fontDirectory) : impl_(new Impl)
{
    impl_->directory = fontDirectory;
    if (FT_Init_FreeType(&impl_->library)) throw std::runtime_error("FreeType failed to start");
    FT_Stroker_New(impl_->library, &impl_->stroker);
}

Typesetter::~Typesetter()
{
    if (impl_->stroker) FT_Stroker_Done(impl_->stroker);
    for (FT_Face f : impl_->faces)
        if (f) FT_Done_Face(f);
    if (impl_->library) FT_Done_FreeType(impl_->library);
}

float Typesetter::advance(const std::string& utf8, const TextStyle& style)
{
    const std::vector<uint32_t> cps = decodeUtf8(utf8);
    float total = 0;
    for (size_t i = 0; i < cps.size(); ++i) {
        const Impl::Glyph g = impl_->glyph(style.font, style.size, cps[i]);
        FT_Set_Transform(g.face, nullptr, nullptr);
        if (FT_Load_Glyph(g.face, g.index, FT_LOAD_NO_HINTING)) continue;
        total += g.face->glyph->advance.x / 64.0f + (i + 1 < cps.size() ? style.tracking : 0.0f);
    }
    return total;
}

std::vector<float> Typesetter::unitAdvances(const std::vector<uint32_t>& codePoints, FontStyle font)
{
    // Measured at 1000 pixels per em, where the 26.6 advances keep three decimals of an em.
    constexpr float Size = 1000;
    std::vector<float> out;
    out.reserve(codePoints.size());
    for (uint32_t cp : codePoints) {
        const Impl::Glyph g = impl_->glyph(font, Size, cp);
        FT_Set_Transform(g.face, nullptr, nullptr);
        out.push_back(FT_Load_Glyph(g.face, g.index, FT_LOAD_NO_HINTING) ? 0.0f : g.face->glyph->advance.x / 64.0f / Size);
    }
    return out;
}

float Typesetter::capHeight(const TextStyle& style)
{
    FT_Face f = impl_->face(style.font, style.size);
    FT_Set_Transform(f, nullptr, nullptr);
    if (FT_Load_Char(f, 'H', FT_LOAD_NO_HINTING)) return style.size * 0.7f;
    return f->glyph->metrics.height / 64.0f;
}

void Typesetter::draw(Canvas& c, const std::string& utf8, Vec2 origin, const TextStyle& style)
{
    const double a = style.angle * M_PI / 180.0;
    const double ca = std::cos(a), sa = std::sin(a);
    // FreeType's y axis points up, the canvas's down: rotate by the angle, then flip on the way out.
    FT_Matrix m;
    m.xx = FT_Fixed(std::lround(ca * 65536));
    m.xy = FT_Fixed(std::lround(-sa * 65536));
    m.yx = FT_Fixed(std::lround(sa * 65536));
    m.yy = FT_Fixed(std::lround(ca * 65536));
    float pen = 0;
    for (uint32_t cp : decodeUtf8(utf8)) {
        // Sub-pixel placement: hand FreeType the fractional part of the pen position.
        const double px = origin.x + pen * ca, py = origin.y - pen * sa;
        const double fx = std::floor(px), fy = std::floor(py);
        FT_Vector delta;
        delta.x = FT_Pos(std::lround((px - fx) * 64));
        delta.y = FT_Pos(std::lround(-(py - fy) * 64));
        const Impl::Glyph g = impl_->glyph(style.font, style.size, cp);
        FT_Face f = g.face;
        FT_Set_Transform(f, &m, &delta);
        if (FT_Load_Glyph(f, g.index, FT_LOAD_NO_HINTING)) {
            FT_Set_Transform(f, nullptr, nullptr);
            continue;
        }
        FT_Glyph glyph = nullptr;
        if (FT_Get_Glyph(f->glyph, &glyph)) {
            FT_Set_Transform(f, nullptr, nullptr);
            continue;
        }
        if (style.outline > 0) {
            FT_Stroker_Set(impl_->stroker, FT_Fixed(std::lround(style.outline * 32)), FT_STROKER_LINECAP_ROUND,
                           FT_STROKER_LINEJOIN_ROUND, 0);
            FT_Glyph_Stroke(&glyph, impl_->stroker, 1);
        }
        if (FT_Glyph_To_Bitmap(&glyph, FT_RENDER_MODE_NORMAL, nullptr, 1) == 0) {
            auto* bg = reinterpret_cast<FT_BitmapGlyph>(glyph);
            const FT_Bitmap& bm = bg->bitmap;
            const int left = int(fx) + bg->left, top = int(fy) - bg->top;
            for (unsigned row = 0; row < bm.rows; ++row)
                for (unsigned col = 0; col < bm.width; ++col) {
                    const int x = left + int(col), y = top + int(row);
                    if (x < 0 || y < 0 || x >= c.width || y >= c.height) continue;
                    const float cover = bm.buffer[row * unsigned(bm.pitch) + col] / 255.0f;
                    float& dst = c.at(x, y);
                    switch (style.blend) {
                    case Blend::Max: dst = std::max(dst, cover * style.value); break;
                    case Blend::Add: dst += cover * style.value; break;
                    case Blend::Erase: dst *= 1.0f - cover * style.value; break;
                    case Blend::Over: dst += (style.value - dst) * cover; break;
                    }
                }
        }
        FT_Done_Glyph(glyph);
        FT_Set_Transform(f, nullptr, nullptr);
        FT_Load_Glyph(f, g.index, FT_LOAD_NO_HINTING);
        pen += f->glyph->advance.x / 64.0f + style.tracking;
    }
}

void Typesetter::drawCentred(Canvas& c, const std::string& utf8, Vec2 centre, const TextStyle& style)
{
    const float w = advance(utf8, style), h = capHeight(style);
    const double a = style.angle * M_PI / 180.0;
    const float ca = float(std::cos(a)), sa = float(std::sin(a));
    // From the centre back half the advance along the run and down half the cap height across it.
    Vec2 origin;
    origin.x = centre.x - 0.5f * w * ca + 0.5f * h * sa;
    origin.y = centre.y + 0.5f * w * sa + 0.5f * h * ca;
    draw(c, utf8, origin, style);
}
