// The generator's drawing layer: PNG files the show's decoder reads back exactly, shapes whose
// anti-aliased coverage adds up to their true area, and lettering placed where it is asked to be.
#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

#include "utils/canvas.h"
#include "images.h"
#include "support/temp_dir.h"
#include "utils/typeset.h"
#include "utils/image.h"

namespace {

double sum(const Canvas& c)
{
    double s = 0;
    for (float v : c.v) s += v;
    return s;
}

// Ink-weighted centre of a canvas, pixels.
Vec2 centroid(const Canvas& c)
{
    double sx = 0, sy = 0, s = 0;
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x) {
            sx += c.at(x, y) * (x + 0.5);
            sy += c.at(x, y) * (y + 0.5);
            s += c.at(x, y);
        }
    return {float(sx / s), float(sy / s)};
}

}  // namespace

TEST(GeneratorPng, WrittenFilesReadBackThroughTheShowsDecoder)
{
    TempDir dir;
    // Top row first in the writer; the show's decoder hands rows bottom first.
    const std::vector<uint8_t> grey = {0, 50, 100, 150, 200, 250};
    writePng(dir.file("g.png"), 3, 2, 1, grey);
    Image im;
    std::string error;
    ASSERT_TRUE(decodePng(dir.file("g.png").c_str(), im, error)) << error;
    EXPECT_EQ(im.channels, 1);
    EXPECT_EQ(im.pixels, (std::vector<uint8_t>{150, 200, 250, 0, 50, 100}));

    const std::vector<uint8_t> rgb = {255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 9, 9};
    writePng(dir.file("c.png"), 2, 2, 3, rgb);
    ASSERT_TRUE(decodePng(dir.file("c.png").c_str(), im, error)) << error;
    EXPECT_EQ(im.channels, 3);
    EXPECT_EQ(im.pixels, (std::vector<uint8_t>{0, 0, 255, 9, 9, 9, 255, 0, 0, 0, 255, 0}));

    EXPECT_THROW(writePng(dir.file("x.png"), 2, 2, 2, std::vector<uint8_t>(8)), std::runtime_error);
    EXPECT_THROW(writePng(dir.file("y.png"), 3, 2, 1, std::vector<uint8_t>(5)), std::runtime_error);
    EXPECT_THROW(writePng(dir.file("missing/z.png"), 1, 1, 1, std::vector<uint8_t>(1)), std::runtime_error);
}

TEST(GeneratorCanvas, SoftShapesCoverTheirTrueArea)
{
    Canvas disc(64, 64);
    paintDisc(disc, {32.3f, 31.7f}, 12, 1.0f, 1.0f);
    EXPECT_NEAR(sum(disc), M_PI * 144, M_PI * 144 * 0.02);

    Canvas square(64, 64);
    paintPolygon(square, {{10.5f, 10.5f}, {40.5f, 10.5f}, {40.5f, 30.5f}, {10.5f, 30.5f}}, 1.0f);
    EXPECT_NEAR(sum(square), 600, 6);

    // A thin line's coverage is its length times its width, whatever its slope.
    Canvas line(128, 128);
    paintSegment(line, {20, 20}, {100, 80}, 1.5f, 1.0f, 1.0f);
    EXPECT_NEAR(sum(line), 100 * 3 + M_PI * 1.5 * 1.5, 12);
}

TEST(GeneratorCanvas, BlendModesCombineAsNamed)
{
    Canvas c(32, 32);
    paintDisc(c, {16, 16}, 8, 1.0f, 0.6f, Blend::Max);
    paintDisc(c, {16, 16}, 8, 1.0f, 0.5f, Blend::Max);
    EXPECT_FLOAT_EQ(c.at(16, 16), 0.6f);
    paintDisc(c, {16, 16}, 8, 1.0f, 0.3f, Blend::Add);
    EXPECT_FLOAT_EQ(c.at(16, 16), 0.9f);
    paintDisc(c, {16, 16}, 4, 1.0f, 1.0f, Blend::Erase);
    EXPECT_FLOAT_EQ(c.at(16, 16), 0.0f);
    EXPECT_FLOAT_EQ(c.at(16, 22), 0.9f) << "outside the erased disc";
}

TEST(GeneratorCanvas, RadialFadeAndBlurKeepMasksDarkAtTheEdge)
{
    Canvas c(100, 100);
    for (float& v : c.v) v = 1.0f;
    radialFade(c, 0.5f, 0.95f);
    EXPECT_FLOAT_EQ(c.at(50, 50), 1.0f);
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(c.at(i, 0), 0.0f);
        EXPECT_EQ(c.at(0, i), 0.0f);
    }
    // Blurring spreads ink without creating or losing it while it stays inside.
    Canvas dot(100, 100);
    paintDisc(dot, {50, 50}, 5, 1.0f, 1.0f);
    const double before = sum(dot);
    gaussianBlur(dot, 4.0f);
    EXPECT_NEAR(sum(dot), before, before * 0.01);
    // The centre of a blurred disc of radius r: 1 - exp(-r^2 / (2 sigma^2)).
    EXPECT_NEAR(dot.at(50, 50), 1 - std::exp(-25.0 / 32.0), 0.03);
}

TEST(GeneratorCanvas, NoiseIsSeededAndBounded)
{
    float lo = 1, hi = 0;
    for (int i = 0; i < 2000; ++i) {
        const float v = fractalNoise(i * 0.37f, i * 0.11f, 4, 9);
        lo = std::min(lo, v);
        hi = std::max(hi, v);
        EXPECT_EQ(v, fractalNoise(i * 0.37f, i * 0.11f, 4, 9));
    }
    EXPECT_GE(lo, 0.0f);
    EXPECT_LT(hi, 1.0f);
    EXPECT_GT(hi - lo, 0.3f) << "noise with no contrast";
    EXPECT_NE(valueNoise(3.5f, 2.5f, 1), valueNoise(3.5f, 2.5f, 2));
}

TEST(GeneratorLettering, RunsScaleWithSizeAndCentreWhereAsked)
{
    Typesetter type;
    TextStyle s;
    s.size = 50;
    const float small = type.advance("FRAGMENTS", s);
    s.size = 100;
    EXPECT_NEAR(type.advance("FRAGMENTS", s), 2 * small, 2.0f);

    Canvas c(400, 200);
    type.drawCentred(c, "HOH", {200, 100}, s);
    const Vec2 m = centroid(c);
    EXPECT_NEAR(m.x, 200, 4);
    EXPECT_NEAR(m.y, 100, 4);

    Canvas turned(400, 400);
    s.angle = 90;
    type.drawCentred(turned, "HOH", {200, 200}, s);
    const Vec2 t = centroid(turned);
    EXPECT_NEAR(t.x, 200, 4);
    EXPECT_NEAR(t.y, 200, 4);

    Canvas outlined(400, 200);
    s.angle = 0;
    s.outline = 3;
    type.drawCentred(outlined, "HOH", {200, 100}, s);
    EXPECT_LT(sum(outlined), sum(c)) << "an outline carries less ink than the solid letters";
    EXPECT_GT(sum(outlined), 0.1 * sum(c));
}

TEST(GeneratorImages, EachImageIsAPureFunctionOfItsName)
{
    Typesetter type;
    const ImageFile a = drawShowImage("typo3.png", type);
    const ImageFile b = drawShowImage("typo3.png", type);
    EXPECT_EQ(a.bytes, b.bytes);
    EXPECT_EQ(drawShowImage("blend07.png", type).bytes, drawShowImage("blend07.png", type).bytes);
    EXPECT_NE(drawShowImage("blend07.png", type).bytes, drawShowImage("blend08.png", type).bytes);
    EXPECT_THROW(drawShowImage("blend20.png", type), std::runtime_error);
    EXPECT_EQ(showImageNames().size(), size_t(ShowImageCount));
}
