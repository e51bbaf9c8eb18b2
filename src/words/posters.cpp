// The posters follow the built-in ones' grid (tools/assetgen/images.cpp): the same margins, rule,
// ring, dots and colours, with the listener's words fitted into the boxes the show's own words take.
// Where the generator blurs and uses the C library's trigonometry, these draw the glow as a smooth
// ramp and take angles from a short series of their own, so the bytes cannot depend on the libm of
// the machine (the page's wasm has another one).
#include "words/posters.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "utils/canvas.h"
#include "utils/format.h"
#include "utils/typeset.h"
#include "utils/utf8.h"
#include "words/line_fit.h"

namespace {
constexpr int PosterSide = 1024;
constexpr int CardSide = 512;
constexpr const char* Ellipsis = "\xE2\x80\xA6";
constexpr const char* MiddleDot = " \xC2\xB7 ";

// cos and sin of an angle in degrees by range reduction to +-45 degrees and Taylor series: only
// IEEE-exact operations, so every machine gets the same bits.
Vec2 onCircle(Vec2 centre, float radius, double degrees)
{
    double d = std::fmod(degrees, 360.0);
    if (d < 0) d += 360;
    const int quarter = int((d + 45) / 90);   // the nearest multiple of 90 degrees, 0..4
    const int octant = quarter % 4;           // 0: near 0, 1: near 90, 2: near 180, 3: near 270
    const double x = (d - 90.0 * quarter) * 3.14159265358979323846 / 180.0;
    const double x2 = x * x;
    double s = 0, c = 0, termS = x, termC = 1;
    for (int k = 0; k < 9; ++k) {
        s += termS;
        c += termC;
        termS *= -x2 / ((2 * k + 2) * (2 * k + 3));
        termC *= -x2 / ((2 * k + 1) * (2 * k + 2));
    }
    const double cs[4][2] = {{c, s}, {-s, c}, {-c, -s}, {s, -c}};
    // Canvas y runs down: counter-clockwise on screen is minus y.
    return {float(centre.x + radius * cs[octant][0]), float(centre.y - radius * cs[octant][1])};
}

// The run laid out in a box: its lines' text (the last with an ellipsis where cut) and size.
struct Set {
    std::vector<std::string> lines;
    TextStyle style;
};

Set fitted(Typesetter& type, const std::string& text, TextStyle style, const FitBox& box)
{
    const std::vector<uint32_t> cps = decodeUtf8(text);
    const std::vector<float> unit = type.unitAdvances(cps, style.font);
    const float ellipsis = type.unitAdvances(decodeUtf8(Ellipsis), style.font)[0];
    const FittedLines f = fitLines(cps, unit, ellipsis, box);
    Set out;
    out.style = style;
    out.style.size = f.size > 0 ? f.size : box.size;
    for (size_t i = 0; i < f.lines.size(); ++i) {
        std::string line = encodeUtf8(cps, f.lines[i].first, f.lines[i].last);
        if (f.ellipsis && i + 1 == f.lines.size()) line += Ellipsis;
        out.lines.push_back(line);
    }
    return out;
}

FitBox box(float width, float size, float twoLineSize, float minSize, int maxLines)
{
    FitBox b;
    b.width = width;
    b.size = size;
    b.twoLineSize = twoLineSize;
    b.minSize = minSize;
    b.maxLines = maxLines;
    return b;
}

Image greyImage(const Canvas& c)
{
    Image im;
    im.width = c.width;
    im.height = c.height;
    im.channels = 1;
    const std::vector<uint8_t> top = toGreyBytes(c);
    im.pixels.resize(top.size());
    const size_t row = size_t(c.width);
    for (int y = 0; y < c.height; ++y)
        std::copy_n(&top[size_t(y) * row], row, &im.pixels[size_t(c.height - 1 - y) * row]);
    return im;
}

void drawFromTop(Typesetter& type, Canvas& c, const std::string& text, float left, float top, const TextStyle& s)
{
    type.draw(c, text, {left, top + type.capHeight(s)}, s);
}

// The little words under the title poster's rule: what of album, year and length is known (sound
// heard live has no length).
std::vector<std::string> sideLines(const TrackWords& w)
{
    std::vector<std::string> out;
    for (const std::string& s : {w.album, w.year, w.lengthMs > 0 ? lengthText(w.lengthMs) : std::string()})
        if (!s.empty()) out.push_back(s);
    return out;
}
}  // namespace

std::string lengthText(uint32_t ms)
{
    const uint32_t s = ms / 1000;
    if (s >= 3600) return formatString("%u:%02u:%02u", s / 3600, s / 60 % 60, s % 60);
    return formatString("%u:%02u", s / 60, s % 60);
}

std::string creditsLine(const TrackWords& w)
{
    std::string line = w.artist.empty() ? "" : "music by " + w.artist;
    if (!w.licence.empty()) line += (line.empty() ? "music: " : MiddleDot) + w.licence;
    return line;
}

Image titlePoster(const TrackWords& words, Typesetter& type)
{
    Canvas c(PosterSide, PosterSide);
    // The title stands on the rule, its lines stacked upwards with the first line's outline echo above
    // them, as "BASS" stands over its echo on the show's own; a title set smaller than that leaves room
    // for more echoes, each fainter, up to the top margin.
    constexpr float Left = 92, Right = 932, RuleY = 576, RuleHalf = 9, TopMost = 110;
    constexpr float Descent = 0.26f, Leading = 0.30f;   // em below the baseline; em between a cap line and the baseline above
    TextStyle big;
    big.font = FontStyle::SansBold;
    big.size = 100;
    const float cap = type.capHeight(big) / big.size;   // em
    const float room = RuleY - RuleHalf - 8 - TopMost;
    const float oneLine = room / (Descent + cap + Leading + cap);
    const float twoLines = room / (Descent + 2 * (cap + Leading) + cap);
    const Set title = fitted(type, words.title, big, box(Right - Left, oneLine, twoLines, 64, 2));
    const float size = title.style.size, pitch = (cap + Leading) * size;
    float baseline = RuleY - RuleHalf - 8 - Descent * size - pitch * float(title.lines.size() - 1);
    if (!title.lines.empty()) {
        TextStyle echo = title.style;
        echo.outline = std::max(2.0f, 5 * size / oneLine);
        echo.value = 0.55f;
        for (float at = baseline - pitch; at - cap * size >= TopMost - 1 && echo.value > 0.1f; at -= pitch) {
            type.draw(c, title.lines[0], {Left + 4, at}, echo);
            echo.value *= 0.6f;
        }
    }
    for (const std::string& line : title.lines) {
        type.draw(c, line, {Left, baseline}, title.style);
        baseline += pitch;
    }
    paintSegment(c, {Left, RuleY}, {Right, RuleY}, RuleHalf, 1.0f, 1.0f);

    // Under the rule: the artist large in mono on the left; album, year and length small and
    // right-aligned beside it where they fit, else below it.
    std::vector<std::string> side = sideLines(words);
    std::string lead = words.artist;
    if (lead.empty() && !side.empty()) {
        lead = side.size() > 1 && side.back() == lengthText(words.lengthMs) ? side[side.size() - 2] : side.back();
        side.erase(std::find(side.begin(), side.end(), lead));
    }
    TextStyle mono;
    mono.font = FontStyle::MonoBold;
    const Set artist = fitted(type, lead, mono, box(Right - Left, 108, 60, 36, 2));
    float top = RuleY + 40, widest = 0;
    for (const std::string& line : artist.lines) {
        drawFromTop(type, c, line, Left, top, artist.style);
        top += type.capHeight(artist.style) * 1.4f;
        widest = std::max(widest, type.advance(line, artist.style));
    }
    TextStyle small;
    small.font = FontStyle::SansLight;
    small.size = 40;
    float sideWidth = 0;
    for (const std::string& line : side) sideWidth = std::max(sideWidth, type.advance(line, small));
    const bool beside = widest + 40 + std::min(sideWidth, 320.0f) <= Right - Left;
    const float sideRoom = beside ? std::min(Right - Left - widest - 40, std::max(sideWidth, 320.0f)) : Right - Left;
    float sideTop = beside ? RuleY + 42 : top + 12;
    for (const std::string& line : side) {
        const Set s = fitted(type, line, small, box(sideRoom, 40, 40, 26, 1));
        if (s.lines.empty()) continue;
        drawFromTop(type, c, s.lines[0], Right - type.advance(s.lines[0], s.style), sideTop, s.style);
        sideTop += 52;
    }
    for (int i = 0; i < 6; ++i) {
        const float x = 110 + i * 28.0f;
        paintSegment(c, {x, 70}, {x + 14, 70}, 2.0f, 1.0f, 1.0f);
    }
    clearBorder(c, 2);
    return greyImage(c);
}

Image tempoPoster(const TrackWords& words, Typesetter& type)
{
    Canvas c(PosterSide, PosterSide);
    const Vec2 centre = {470, 470};
    paintRing(c, centre, 390, 4.0f, 1.0f, 1.0f);
    for (int i = 0; i < 16; ++i) paintDisc(c, onCircle(centre, 390, 90.0 - i * 22.5), i % 4 == 0 ? 14.0f : 7.0f, 1.0f, 1.0f);

    // The tempo where the beat is sure; else the length, which is always true; heard live, no length
    // is known, and LIVE is what is true.
    const bool tempo = words.tempo > 0, live = !tempo && words.lengthMs == 0;
    const std::string figure = tempo ? std::to_string(words.tempo) : live ? "LIVE" : lengthText(words.lengthMs);
    TextStyle digits;
    digits.font = FontStyle::SansCondensedBold;
    digits.size = 100;
    // As wide as the show's "187" at most, so two digits are not set larger than three.
    const float threeDigits = 640 * digits.size / type.advance("188", digits);
    digits.size = std::min(threeDigits, 640 * digits.size / type.advance(figure, digits));
    type.drawCentred(c, figure, centre, digits);

    TextStyle unit;
    unit.font = FontStyle::SansBold;
    unit.size = 110;
    unit.angle = 90;
    type.draw(c, tempo ? "BPM" : live ? "NOW" : "TIME", {960, 700}, unit);

    TextStyle caption;
    caption.font = FontStyle::MonoBold;
    caption.size = 30;
    const std::string lead = tempo ? "beats per minute" : live ? "heard as it plays" : "minutes : seconds";
    const Set rest = fitted(type, words.title, caption, box(780 - type.advance(lead + MiddleDot, caption), 30, 30, 30, 1));
    type.draw(c, lead + (rest.lines.empty() ? "" : MiddleDot + rest.lines[0]), {120, 950}, caption);
    clearBorder(c, 2);
    return greyImage(c);
}

Image closingCard(const TrackWords& words, Typesetter& type)
{
    const int n = CardSide;
    std::vector<float> rgb(size_t(n) * size_t(n) * 3, 0.0f);
    const Vec2 centre = {n * 0.5f, n * 0.44f};

    // The warm glow: full to 90 px from the centre, then a smooth ramp to nothing at 240 px.
    Canvas glow(n, n);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const float dx = x + 0.5f - centre.x, dy = y + 0.5f - centre.y;
            float t = (std::sqrt(dx * dx + dy * dy) - 90) / 150;
            t = std::min(1.0f, std::max(0.0f, t));
            glow.at(x, y) = 0.55f * (1 - t * t * (3 - 2 * t));
        }
    paintLayer(rgb, glow, {176, 62, 25}, true);

    Canvas ringLayer(n, n);
    paintRing(ringLayer, centre, 168, 1.6f, 1.0f, 1.0f);
    for (int i = 0; i < 48; ++i)
        paintSegment(ringLayer, onCircle(centre, 176, i * 7.5), onCircle(centre, i % 4 == 0 ? 188.0f : 182.0f, i * 7.5),
                     1.0f, 1.0f, 0.8f);
    paintLayer(rgb, ringLayer, {204, 136, 58}, false);

    Canvas sparks(n, n);
    Dice dice(5150);
    for (int i = 0; i < 26; ++i) {
        // One draw a statement: the order of a call's arguments is the compiler's (GCC's and the
        // page's clang differ), the order of statements is not.
        const float radius = dice.range(185, 215);
        const float angle = dice.range(20, 160);
        const float size = dice.range(0.8f, 2.0f);
        const float brightness = dice.range(0.5f, 1.0f);
        paintDisc(sparks, onCircle(centre, radius, angle), size, 1.0f, brightness);
    }
    paintLayer(rgb, sparks, {114, 187, 163}, true);

    // The title where FRAGMENTS stands, on two lines where it must.
    Canvas title(n, n);
    TextStyle t;
    t.font = FontStyle::SansCondensedBold;
    t.size = 100;
    const float one = 300 * t.size / type.advance("FRAGMENTS", t);
    const Set lines = fitted(type, words.title, t, box(300, one, 34, 20, 2));
    const float pitch = type.capHeight(lines.style) * 1.3f;
    float y = centre.y - 12 - pitch * 0.5f * float(lines.lines.size() - 1);
    for (const std::string& line : lines.lines) {
        type.drawCentred(title, line, {centre.x, y}, lines.style);
        y += pitch;
    }
    paintLayer(rgb, title, {250, 236, 214}, false);

    Canvas ending(n, n);
    TextStyle e;
    e.font = FontStyle::SerifBoldItalic;
    e.size = 40;
    type.drawCentred(ending, "the end", {centre.x, centre.y + 52}, e);
    paintLayer(rgb, ending, {204, 136, 58}, false);

    Canvas sub(n, n);
    TextStyle s;
    s.font = FontStyle::MonoBold;
    s.size = 17;
    s.tracking = 2;
    const std::string byline = words.artist.empty() ? words.year : words.artist + (words.year.empty() ? "" : MiddleDot + words.year);
    // 250 px: the ring's chord at this height is 272 px, and the line must stay inside it.
    const Set who = fitted(type, byline, s, box(250, 17, 17, 12, 1));
    if (!who.lines.empty()) type.drawCentred(sub, who.lines[0], {centre.x, centre.y + 98}, who.style);
    paintLayer(rgb, sub, {114, 187, 163}, false);

    // Credits under the rule: the music's, where tagged, then the show's.
    Canvas credits(n, n);
    paintSegment(credits, {n * 0.5f - 90, 432}, {n * 0.5f + 90, 432}, 0.8f, 1.0f, 0.6f);
    TextStyle cr;
    cr.font = FontStyle::SansCondensedBold;
    cr.size = 16;
    std::vector<std::string> lines2;
    if (!creditsLine(words).empty()) lines2.push_back(creditsLine(words));
    lines2.push_back(ShowCredit);
    float cy = lines2.size() > 1 ? 452 : 458;
    for (const std::string& line : lines2) {
        const Set fit = fitted(type, line, cr, box(460, 16, 16, 12, 1));
        if (!fit.lines.empty()) type.drawCentred(credits, fit.lines[0], {n * 0.5f, cy}, fit.style);
        cy += 22;
    }
    paintLayer(rgb, credits, {178, 178, 178}, false);

    Image out;
    out.width = out.height = n;
    out.channels = 3;
    out.pixels.resize(rgb.size());
    const size_t row = size_t(n) * 3;
    for (int yy = 0; yy < n; ++yy)
        for (size_t k = 0; k < row; ++k) {
            const float v = rgb[size_t(yy) * row + k];
            out.pixels[size_t(n - 1 - yy) * row + k] = uint8_t(std::lround(std::min(1.0f, std::max(0.0f, v)) * 255.0f));
        }
    return out;
}

bool writePosters(const std::vector<NamedImage>& posters, const std::string& directory, std::string& error)
{
    for (const NamedImage& p : posters) {
        const Image& im = p.image;
        const size_t row = size_t(im.width) * size_t(im.channels);
        std::vector<uint8_t> top(im.pixels.size());
        for (int y = 0; y < im.height; ++y)
            std::copy_n(&im.pixels[size_t(im.height - 1 - y) * row], row, &top[size_t(y) * row]);
        try {
            writePng(directory + "/" + p.fileName, im.width, im.height, im.channels, top);
        } catch (const std::runtime_error& e) {
            error = e.what();
            return false;
        }
    }
    return true;
}

std::vector<NamedImage> listenerPosters(const TrackWords& words, Typesetter& type)
{
    return {{TitlePosterFile, titlePoster(words, type)},
            {TempoPosterFile, tempoPoster(words, type)},
            {ClosingCardFile, closingCard(words, type)}};
}
