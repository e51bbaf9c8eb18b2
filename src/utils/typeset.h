// Lettering onto a Canvas: FreeType renders glyphs of the DejaVu fonts (anti-aliased, unhinted so that
// sizes and angles scale smoothly), solid or as outlines. The asset generator sets the show's images
// with it and the show a listener's posters, so both look alike. A character the run's font lacks
// comes from DejaVu Sans Bold, and one neither has is drawn as the replacement character, a
// visible mark where it was.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "utils/canvas.h"

// The Debian packages fonts-dejavu-core and fonts-dejavu-extra; their licence is in data/README.md.
constexpr const char* FontDirectory = "/usr/share/fonts/truetype/dejavu";

enum class FontStyle { SansBold, SansCondensedBold, SansLight, SerifBoldItalic, SerifCondensedBold, MonoBold };
constexpr int FontStyleCount = 6;

struct TextStyle {
    FontStyle font = FontStyle::SansBold;
    float size = 100;           // pixels per em
    float tracking = 0;         // extra pixels between letters
    float angle = 0;            // degrees, counter-clockwise
    float outline = 0;          // > 0: only the outline, this many pixels wide
    float value = 1;            // grey level of the ink
    Blend blend = Blend::Max;
};

// --- Font files and the renderer
const char* fontFileName(FontStyle style);   // "DejaVuSans-Bold.ttf" ...
std::string freetypeVersion();               // "2.12.1"

class Typesetter {
public:
    // Opens FreeType; each font file is opened from fontDirectory when a run first needs it, and a
    // missing one throws std::runtime_error naming it.
    explicit Typesetter(const std::string& fontDirectory = FontDirectory);
    ~Typesetter();
    Typesetter(const Typesetter&) = delete;
    Typesetter& operator=(const Typesetter&) = delete;

    // --- Layout (pixels)
    float advance(const std::string& utf8, const TextStyle& style);   // width of the run along its baseline
    float capHeight(const TextStyle& style);                           // height of "H"
    // Each code point's advance at 1 pixel per em, without tracking: what words/line_fit.h lays out.
    std::vector<float> unitAdvances(const std::vector<uint32_t>& codePoints, FontStyle font);

    // --- Drawing: origin is the start of the baseline; the run goes along `angle`
    void draw(Canvas& c, const std::string& utf8, Vec2 origin, const TextStyle& style);
    // Centred on `centre` (the middle of the run's advance and of its cap height)
    void drawCentred(Canvas& c, const std::string& utf8, Vec2 centre, const TextStyle& style);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
