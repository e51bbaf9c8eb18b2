// A grey drawing surface for the generator's images and a listener's posters: float coverage in
// [0, 1], soft-edged shapes, blur, seeded noise and 8-bit PNG output. Everything is a pure function of
// its arguments, so the same calls always give the same bytes; only the blur's kernel goes through
// the C library (exp), whose last bit may differ between libraries, so the posters leave it out.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct Vec2 {
    float x = 0, y = 0;
};

// Pixel (x, y) covers [x, x+1) x [y, y+1); y runs down, the first row is the image's top.
struct Canvas {
    int width = 0;
    int height = 0;
    std::vector<float> v;

    Canvas() = default;
    Canvas(int w, int h) : width(w), height(h), v(size_t(w) * size_t(h), 0.0f) {}
    float& at(int x, int y) { return v[size_t(y) * size_t(width) + size_t(x)]; }
    float at(int x, int y) const { return v[size_t(y) * size_t(width) + size_t(x)]; }
};

// How a shape's value meets what is already there.
enum class Blend { Max, Add, Erase, Over };

// --- Shapes (pixel units; soft = width in pixels of the anti-aliased edge, >= 0.5 for crisp)
void paintDisc(Canvas& c, Vec2 centre, float radius, float soft, float value, Blend mode = Blend::Max);
void paintRing(Canvas& c, Vec2 centre, float radius, float halfWidth, float soft, float value,
               Blend mode = Blend::Max);
void paintSegment(Canvas& c, Vec2 a, Vec2 b, float halfWidth, float soft, float value, Blend mode = Blend::Max);
// A line through points whose half-width varies per point (same count as points); round joins.
void paintStroke(Canvas& c, const std::vector<Vec2>& points, const std::vector<float>& halfWidths, float soft,
                 float value, Blend mode = Blend::Max);
// Filled polygon (non-zero winding) with an anti-aliased edge of about one pixel.
void paintPolygon(Canvas& c, const std::vector<Vec2>& points, float value, Blend mode = Blend::Max);
// The band of half-width halfWidth around a closed polygon's outline.
void paintOutline(Canvas& c, const std::vector<Vec2>& points, float halfWidth, float soft, float value,
                  Blend mode = Blend::Max);

// --- Whole-canvas operations
void gaussianBlur(Canvas& c, float sigma);                 // sigma in pixels, > 0
void combine(Canvas& dst, const Canvas& src, float gain, Blend mode);  // same size
void scaleValues(Canvas& c, float gain);
// Multiplies by a smooth radial window: 1 inside innerRadius, 0 from outerRadius on (fractions of half the
// side). Keeps masks black at their border so a drawn square never shows its edge.
void radialFade(Canvas& c, float innerRadius, float outerRadius);
void clearBorder(Canvas& c, int pixels);                   // forces the outermost rows and columns to 0
void clampValues(Canvas& c);                               // into [0, 1]

// --- Colour: an RGB image as floats, three a pixel, top row first, the size of its layers
struct Tint {
    float r, g, b;   // 0..255
};
// Lays a grey layer on the image in one colour: its value, clamped to [0, 1], is the colour's opacity
// (additive: the colour times the value is added, for glows and sparks).
void paintLayer(std::vector<float>& rgb, const Canvas& layer, Tint colour, bool additive);

// --- Noise (deterministic, seeded)
uint32_t hash32(uint32_t x);
float hashUnit(uint32_t seed, uint32_t index);             // [0, 1)
float valueNoise(float x, float y, uint32_t seed);          // smooth, [0, 1), lattice spacing 1
float fractalNoise(float x, float y, int octaves, uint32_t seed);  // [0, 1), sum of halving octaves

// A small deterministic generator for layout choices (xorshift; not the show's generator).
class Dice {
public:
    explicit Dice(uint32_t seed) : state_(hash32(seed) | 1u) {}
    uint32_t next();
    float unit();                        // [0, 1)
    float range(float lo, float hi);     // [lo, hi)
    int below(int n);                    // [0, n)

private:
    uint32_t state_;
};

// --- Output
std::vector<uint8_t> toGreyBytes(const Canvas& c);  // rounds [0, 1] to 0..255, top row first
// channels 1, 3 or 4; bytes top row first. Written with fixed settings and no time stamp, so equal pixels
// give equal files. Throws std::runtime_error when the file can't be written.
void writePng(const std::string& path, int width, int height, int channels, const std::vector<uint8_t>& bytes);
