// The 36 committed images as the show will meet them: loaded with its own decoder, in a format it
// accepts, big enough for how they are drawn, and (for the masks) dark at the border, because the show
// draws them as tinted squares and any grey at an edge would show the square.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "support/show_files.h"
#include "support/temp_dir.h"
#include "utils/image.h"

namespace {

std::string dataPath(const std::string& name) { return std::string(SHOW_DATA_DIR) + "/" + name; }

bool startsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

Image load(const std::string& name)
{
    Image image;
    std::string error;
    EXPECT_TRUE(decodePng(dataPath(name).c_str(), image, error)) << error;
    return image;
}

std::vector<std::string> allNames()
{
    int count = 0;
    const char* const* names = showImageNames(count);
    return std::vector<std::string>(names, names + count);
}

// Largest value within `band` pixels of the border.
int borderMax(const Image& im, int band)
{
    int best = 0;
    for (int y = 0; y < im.height; ++y)
        for (int x = 0; x < im.width; ++x)
            if (x < band || y < band || x >= im.width - band || y >= im.height - band)
                best = std::max(best, int(im.pixels[size_t(y) * size_t(im.width) + size_t(x)]));
    return best;
}

double meanValue(const Image& im)
{
    double sum = 0;
    for (uint8_t v : im.pixels) sum += v;
    return sum / double(im.pixels.size());
}

}  // namespace

TEST(ShowImages, EveryFileIsAnEightBitGreyRgbOrRgbaPng)
{
    for (const std::string& name : allNames()) {
        SCOPED_TRACE(name);
        // The header itself, not just what the decoder makes of it: the show asks for no conversions.
        const std::string bytes = readFile(dataPath(name));
        ASSERT_GT(bytes.size(), 26u);
        EXPECT_EQ(uint8_t(bytes[24]), 8) << "bit depth";
        const int colorType = uint8_t(bytes[25]);
        EXPECT_TRUE(colorType == 0 || colorType == 2 || colorType == 6) << "colour type " << colorType;
        const Image im = load(name);
        EXPECT_EQ(im.channels, colorType == 0 ? 1 : colorType == 2 ? 3 : 4);
    }
}

TEST(ShowImages, SizesSuitHowEachIsDrawn)
{
    for (const std::string& name : allNames()) {
        SCOPED_TRACE(name);
        const Image im = load(name);
        EXPECT_EQ(im.width, im.height) << "every image is drawn on a square";
        if (name == "end.png") {
            EXPECT_EQ(im.width, 512);
            EXPECT_GE(im.channels, 3);
        } else if (startsWith(name, "ec") || startsWith(name, "blend")) {
            EXPECT_GE(im.width, 200) << "drawn up to 300-400 px wide";
            EXPECT_EQ(im.channels, 1);
        } else {
            EXPECT_GE(im.width, 1024) << "drawn up to 1.6 screen widths";
            EXPECT_EQ(im.channels, 1);
        }
    }
}

TEST(ShowImages, MasksAreBlackAtTheBorderAndCarryInk)
{
    for (const std::string& name : allNames()) {
        if (name == "end.png") continue;
        SCOPED_TRACE(name);
        const Image im = load(name);
        EXPECT_EQ(borderMax(im, 2), 0);
        // Glows and washes fade out well inside: no faint square around a spark or a blot.
        if (startsWith(name, "ec") || startsWith(name, "blend")) {
            EXPECT_LE(borderMax(im, im.width / 16), 2);
        }
        int brightest = 0;
        for (uint8_t v : im.pixels) brightest = std::max(brightest, int(v));
        EXPECT_GE(brightest, 150) << "a mask needs solid ink to read at 0.3..0.7 opacity";
        EXPECT_GT(meanValue(im), 2.0) << "nearly empty";
    }
}

TEST(ShowImages, TheBlotVisiblyEvolvesOverItsTwentyFrames)
{
    std::vector<Image> frames;
    for (int i = 0; i < 20; ++i) frames.push_back(load(std::string("blend") + (i < 10 ? "0" : "") + std::to_string(i) + ".png"));
    for (int i = 1; i < 20; ++i) {
        double change = 0;
        for (size_t p = 0; p < frames[size_t(i)].pixels.size(); ++p)
            change += std::abs(int(frames[size_t(i)].pixels[p]) - int(frames[size_t(i - 1)].pixels[p]));
        change /= double(frames[size_t(i)].pixels.size());
        EXPECT_GT(change, 0.5) << "frame " << i << " repeats the one before";
    }
    // It spreads: more of the square is touched by ink at mid-life than when it lands.
    auto inked = [](const Image& im) {
        int n = 0;
        for (uint8_t v : im.pixels) n += v > 40;
        return n;
    };
    EXPECT_GT(inked(frames[10]), 2 * inked(frames[0]));
}

TEST(ShowImages, TheRareSparksOutshineTheCommonOnes)
{
    // ec0 and ec1 come up in one flash in ten: they are the big ones.
    double common = 0;
    for (int i = 2; i <= 5; ++i) common = std::max(common, meanValue(load("ec" + std::to_string(i) + ".png")));
    EXPECT_GT(meanValue(load("ec0.png")), common);
    EXPECT_GT(meanValue(load("ec1.png")), common);
}

TEST(ShowImages, TheClosingCardIsLitTextOnBlack)
{
    const Image im = load("end.png");
    const int c = im.channels;
    auto luminance = [&](int x, int y) {
        const uint8_t* p = &im.pixels[(size_t(y) * size_t(im.width) + size_t(x)) * size_t(c)];
        return 0.3 * p[0] + 0.59 * p[1] + 0.11 * p[2];
    };
    // It sits in the corner of a black screen: its own edges must melt into that black.
    for (int y : {0, im.height - 1})
        for (int x = 0; x < im.width; ++x) EXPECT_LT(luminance(x, y), 8.0) << x << "," << y;
    int bright = 0;
    for (int y = 0; y < im.height; ++y)
        for (int x = 0; x < im.width; ++x) bright += luminance(x, y) > 200;
    EXPECT_GT(bright, 2000) << "the title should stand out";
}
