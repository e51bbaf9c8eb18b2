// Lettering for the generator's images: FreeType renders glyphs of a font file (anti-aliased, unhinted
// so that sizes and angles scale smoothly) onto a Canvas, solid or as outlines.
#pragma once
#include <memory>
#include <string>

#include "canvas.h"

// The Debian package fonts-dejavu-core/-extra; its license is in data/README.md.
constexpr const char* FontDirectory = "/usr/share/fonts/truetype/dejavu";

enum class FontStyle { SansBold, SansCondensedBold, SansLight, SerifBoldItalic, SerifCondensedBold, MonoBold };

struct TextStyle {
    FontStyle font = FontStyle::SansBold;
    float size = 100;           // pixels per em
    float tracking = 0;         // extra pixels between letters
    float angle = 0;            // degrees, counter-clockwise
    float outline = 0;          // > 0: only the outline, this many pixels wide
    float value = 1;            // grey level of the ink
    Blend blend = Blend::Max;
};

class Typesetter {
public:
    Typesetter();    // opens the fonts; throws std::runtime_error when one is missing
    ~Typesetter();
    Typesetter(const Typesetter&) = delete;
    Typesetter& operator=(const Typesetter&) = delete;

    // --- Layout (pixels)
    float advance(const std::string& utf8, const TextStyle& style);  // width of the run along its baseline
    float capHeight(const TextStyle& style);                          // height of "H"

    // --- Drawing: origin is the start of the baseline; the run goes along `angle`
    void draw(Canvas& c, const std::string& utf8, Vec2 origin, const TextStyle& style);
    // Centred on `centre` (the middle of the run's advance and of its cap height)
    void drawCentred(Canvas& c, const std::string& utf8, Vec2 centre, const TextStyle& style);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
