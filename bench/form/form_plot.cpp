// Drawn on a plain RGB buffer; the lettering comes from the asset generator's Typesetter, so the
// picture needs nothing the project does not already build.
#include "form_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <memory>

#include "utils/canvas.h"
#include "utils/typeset.h"

namespace {

struct Rgb {
    uint8_t r, g, b;
};

// Plot area and the strips around it, in pixels.
constexpr int Left = 70, Right = 1580, Top = 40, Bottom = 420;
constexpr int StripTop = 425, StripBottom = 439;   // audible changes
constexpr int TickBottom = 446;

constexpr Rgb Background{12, 12, 16}, SectionA{44, 50, 66}, SectionB{20, 22, 28}, GridLine{62, 62, 72};
constexpr Rgb CueMark{150, 110, 40}, ChangeMark{255, 70, 200}, Curve{120, 220, 255}, Audible{255, 80, 60};
constexpr Rgb Ink{205, 205, 205};

struct Picture {
    std::vector<uint8_t> rgb = std::vector<uint8_t>(size_t(PictureWidth) * PictureHeight * 3);

    void put(int x, int y, Rgb c)
    {
        if (x < 0 || y < 0 || x >= PictureWidth || y >= PictureHeight) return;
        uint8_t* p = &rgb[(size_t(y) * PictureWidth + size_t(x)) * 3];
        p[0] = c.r, p[1] = c.g, p[2] = c.b;
    }
    void fill(int x0, int y0, int x1, int y1, Rgb c)   // [x0, x1) x [y0, y1)
    {
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) put(x, y, c);
    }
};

class Labels {
public:
    Labels()
    {
        try {
            type_ = std::make_unique<Typesetter>();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "track_form: picture without labels: %s\n", e.what());
        }
    }
    // Text with its baseline starting at (x, y), or centred on x.
    void write(Picture& p, const std::string& text, float x, float y, Rgb colour, bool centred = false)
    {
        if (!type_) return;
        TextStyle style;
        style.font = FontStyle::SansCondensedBold;
        style.size = 13;
        if (centred) x -= type_->advance(text, style) / 2;
        Canvas ink(PictureWidth, PictureHeight);
        type_->draw(ink, text, {x, y}, style);
        for (size_t i = 0; i < ink.v.size(); ++i) {
            const float a = std::min(1.0f, std::max(0.0f, ink.v[i]));
            if (a <= 0) continue;
            uint8_t* px = &p.rgb[i * 3];
            px[0] = uint8_t(std::lround(px[0] + (colour.r - px[0]) * a));
            px[1] = uint8_t(std::lround(px[1] + (colour.g - px[1]) * a));
            px[2] = uint8_t(std::lround(px[2] + (colour.b - px[2]) * a));
        }
    }

private:
    std::unique_ptr<Typesetter> type_;
};

}  // namespace

void writeFormPicture(const std::string& path, const FormPicture& f)
{
    Picture p;
    p.fill(0, 0, PictureWidth, PictureHeight, Background);
    const double seconds = std::max(f.seconds, 1e-9);
    auto xOf = [&](double t) { return Left + int(std::lround(t / seconds * (Right - Left))); };
    auto yOf = [&](double lufs) {
        const double v = std::min(PictureTopLufs, std::max(PictureBottomLufs, lufs));
        return Top + int(std::lround((PictureTopLufs - v) / (PictureTopLufs - PictureBottomLufs) * (Bottom - Top)));
    };

    // Sections as alternating bands behind everything.
    for (size_t i = 0; i < f.sections.size(); ++i)
        p.fill(xOf(f.sections[i].from), Top, xOf(f.sections[i].to), Bottom, i % 2 ? SectionB : SectionA);
    for (double lufs = PictureTopLufs; lufs >= PictureBottomLufs; lufs -= 10) p.fill(Left, yOf(lufs), Right, yOf(lufs) + 1, GridLine);
    for (double c : f.cues) p.fill(xOf(c), Top, xOf(c) + 1, Bottom, CueMark);
    for (double c : f.changeCues) p.fill(xOf(c) - 1, Top - 4, xOf(c) + 2, Bottom, ChangeMark);

    // The curve, each column joined to the last so steep steps stay continuous.
    int lastY = -1;
    for (size_t i = 0; i < f.shortTerm.size(); ++i) {
        const int x = xOf(double(i) * f.step), y = yOf(f.shortTerm[i]);
        const int from = lastY < 0 ? y : std::min(lastY, y), to = lastY < 0 ? y : std::max(lastY, y);
        p.fill(x, from, x + 2, to + 2, Curve);
        lastY = y;
    }
    for (double t : f.audibleMoments) p.fill(xOf(t), StripTop, xOf(t) + 1, StripBottom, Audible);

    // Axes: a tick every 10 s (labelled every 30 s) and every 10 LU.
    p.fill(Left, Bottom, Right, Bottom + 1, Ink);
    p.fill(Left - 1, Top, Left, Bottom, Ink);
    Labels labels;
    for (int s = 0; s <= int(seconds); s += 10) {
        p.fill(xOf(s), StripBottom + 1, xOf(s) + 1, TickBottom + (s % 30 ? 0 : 4), Ink);
        if (s % 30 == 0) labels.write(p, std::to_string(s) + " s", float(xOf(s)), 466, Ink, true);
    }
    for (double lufs = PictureTopLufs; lufs >= PictureBottomLufs; lufs -= 10) {
        p.fill(Left - 7, yOf(lufs), Left - 1, yOf(lufs) + 1, Ink);
        labels.write(p, std::to_string(int(lufs)), float(Left - 34), float(yOf(lufs) + 5), Ink);
    }
    labels.write(p, "LUFS", 20, float(Top - 8), Ink);
    for (size_t i = 0; i < f.changeCues.size() && i < f.changeNumbers.size(); ++i)
        labels.write(p, std::to_string(f.changeNumbers[i]), float(xOf(f.changeCues[i])), float(Top - 8), ChangeMark, true);
    labels.write(p, "short-term loudness (3 s)", float(Left), 490, Curve);
    labels.write(p, "cue", float(Left + 190), 490, CueMark);
    labels.write(p, "cue-list change (cue number above)", float(Left + 240), 490, ChangeMark);
    labels.write(p, "sections: alternating bands", float(Left + 500), 490, Ink);
    labels.write(p, "audible change (strip under the axis)", float(Left + 720), 490, Audible);
    writePng(path, PictureWidth, PictureHeight, 3, p.rgb);
}
