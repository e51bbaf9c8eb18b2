// FreeType set-up and glyph compositing. Outlines come from FreeType's stroker, so they follow the
// real glyph contours rather than a blurred silhouette.
#include "typeset.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_GLYPH_H
#include FT_STROKER_H

#include <cmath>
#include <stdexcept>
#include <vector>

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
static_assert(sizeof(FontFiles) / sizeof(FontFiles[0]) == 6, "one file per FontStyle");

std::vector<uint32_t> decodeUtf8(const std::string& s)
{
    std::vector<uint32_t> out;
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : 3;
        uint32_t cp = extra == 0 ? c : extra == 1 ? (c & 0x1f) : extra == 2 ? (c & 0x0f) : (c & 0x07);
        for (int k = 1; k <= extra && i + size_t(k) < s.size(); ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + size_t(k)]) & 0x3f);
        out.push_back(cp);
        i += size_t(extra) + 1;
    }
    return out;
}

}  // namespace

struct Typesetter::Impl {
    FT_Library library = nullptr;
    FT_Face faces[6] = {};
    FT_Stroker stroker = nullptr;

    FT_Face face(FontStyle style, float size)
    {
        FT_Face f = faces[int(style)];
        FT_Set_Char_Size(f, 0, FT_F26Dot6(std::lround(size * 64)), 72, 72);
        return f;
    }
};

Typesetter::Typesetter() : impl_(new Impl)
{
    if (FT_Init_FreeType(&impl_->library)) throw std::runtime_error("FreeType failed to start");
    for (const FontFile& f : FontFiles) {
        const std::string path = std::string(FontDirectory) + "/" + f.file;
        if (FT_New_Face(impl_->library, path.c_str(), 0, &impl_->faces[int(f.style)]))
            throw std::runtime_error("missing font " + path + " (Debian: fonts-dejavu-core, fonts-dejavu-extra)");
    }
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
    FT_Face f = impl_->face(style.font, style.size);
    FT_Set_Transform(f, nullptr, nullptr);
    float total = 0;
    const std::vector<uint32_t> cps = decodeUtf8(utf8);
    for (size_t i = 0; i < cps.size(); ++i) {
        if (FT_Load_Char(f, cps[i], FT_LOAD_NO_HINTING)) continue;
        total += f->glyph->advance.x / 64.0f + (i + 1 < cps.size() ? style.tracking : 0.0f);
    }
    return total;
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
    FT_Face f = impl_->face(style.font, style.size);
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
        FT_Set_Transform(f, &m, &delta);
        if (FT_Load_Char(f, cp, FT_LOAD_NO_HINTING)) continue;
        FT_Glyph glyph = nullptr;
        if (FT_Get_Glyph(f->glyph, &glyph)) continue;
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
        FT_Load_Char(f, cp, FT_LOAD_NO_HINTING);
        pen += f->glyph->advance.x / 64.0f + style.tracking;
    }
    FT_Set_Transform(f, nullptr, nullptr);
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
