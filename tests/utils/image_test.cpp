// PNG decoding: row order, channel counts, libpng's conversions of every colour type and depth, and
// every bad input (damaged, hostile or not a file at all) stopping the process with one line naming it.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/png_write.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "utils/image.h"

namespace {
class ImageTest : public ::testing::Test {
protected:
    TempDir dir;

    Image decodeOk(const std::string& name)
    {
        Image image;
        std::string error;
        EXPECT_TRUE(decodePng(dir.file(name).c_str(), image, error)) << error;
        EXPECT_EQ(image.pixels.size(), size_t(image.width) * size_t(image.height) * size_t(image.channels));
        return image;
    }

    std::string decodeError(const std::string& name, const ImageLimits& limits = ImageLimits())
    {
        Image image;
        std::string error;
        EXPECT_FALSE(decodePng(dir.file(name).c_str(), image, error, limits));
        EXPECT_TRUE(image.pixels.empty());
        return error;
    }

    // The fatal path: loadPng prints the reason on standard output and stops with a failure status.
    ProcessResult loadInChild(const std::string& name)
    {
        const std::string path = dir.file(name);
        return runInChild([&] { loadPng(path.c_str()); });
    }

    std::string validRgbPng(int width, int height)
    {
        const std::string path = dir.file("valid.png");
        writeSolidPng(path, width, height, 3, 90);
        return readFile(path);
    }
};

std::string chunk(const char* type, const std::string& data)
{
    std::string c;
    const uint32_t n = uint32_t(data.size());
    for (int shift = 24; shift >= 0; shift -= 8) c += char((n >> shift) & 0xFF);
    const std::string body = std::string(type) + data;
    c += body;
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()));
    for (int shift = 24; shift >= 0; shift -= 8) c += char((crc >> shift) & 0xFF);
    return c;
}

// A well-formed header announcing an enormous image, with a token of data behind it.
std::string hugeHeaderPng(uint32_t width, uint32_t height)
{
    std::string ihdr;
    for (uint32_t v : {width, height})
        for (int shift = 24; shift >= 0; shift -= 8) ihdr += char((v >> shift) & 0xFF);
    ihdr += std::string("\x08\x06\x00\x00\x00", 5);  // 8-bit RGBA
    return std::string("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", ihdr) + chunk("IDAT", std::string("\x78\x9c\x03\x00\x00\x00\x00\x01", 8)) +
           chunk("IEND", "");
}

// 72 bytes: a 16x16 grey header, then a chunk whose length field claims 2 GiB that never follow.
std::string claimedChunkPng(const char* type)
{
    std::string ihdr;
    for (uint32_t v : {16u, 16u})
        for (int shift = 24; shift >= 0; shift -= 8) ihdr += char((v >> shift) & 0xFF);
    ihdr += std::string("\x08\x00\x00\x00\x00", 5);
    std::string png = std::string("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", ihdr) + "\x7F\xFF\xFF\xFF" + type;
    png.resize(72, '\0');
    return png;
}
}  // namespace

TEST_F(ImageTest, RowsAreStoredBottomFirst)
{
    // Top row red, green; bottom row blue, white.
    writeRgbaPng(dir.file("a.png"), 2, 2,
                 {255, 0, 0, 255, 0, 255, 0, 255,  //
                  0, 0, 255, 255, 255, 255, 255, 255});
    const Image image = decodeOk("a.png");
    ASSERT_EQ(image.channels, 4);
    const std::vector<uint8_t> expected = {0, 0, 255, 255, 255, 255, 255, 255,  //
                                           255, 0, 0, 255, 0, 255, 0, 255};
    EXPECT_EQ(image.pixels, expected);
}

TEST_F(ImageTest, GreyRgbAndRgbaKeepTheirChannelCounts)
{
    writeSolidPng(dir.file("g.png"), 8, 4, 1, 7);
    writeSolidPng(dir.file("rgb.png"), 10, 3, 3, 7);
    writeSolidPng(dir.file("rgba.png"), 5, 5, 4, 7);
    const Image grey = decodeOk("g.png");
    EXPECT_EQ(grey.channels, 1);
    EXPECT_EQ(grey.pixels.size(), 32u);
    EXPECT_EQ(decodeOk("rgb.png").channels, 3);
    EXPECT_EQ(decodeOk("rgba.png").channels, 4);
}

TEST_F(ImageTest, OtherFormatsAreConvertedToEightBits)
{
    PngFixture palette;  // 2x1: entry 1 then entry 0
    palette.width = 2;
    palette.colorType = PNG_COLOR_TYPE_PALETTE;
    palette.palette = {10, 20, 30, 200, 100, 50};
    palette.rows = {1, 0};
    writePng(dir.file("palette.png"), palette);
    const Image p = decodeOk("palette.png");
    EXPECT_EQ(p.channels, 3);
    EXPECT_EQ(p.pixels, (std::vector<uint8_t>{200, 100, 50, 10, 20, 30}));

    palette.paletteAlpha = {0, 128};
    writePng(dir.file("palette-alpha.png"), palette);
    EXPECT_EQ(decodeOk("palette-alpha.png").pixels, (std::vector<uint8_t>{200, 100, 50, 128, 10, 20, 30, 0}));

    PngFixture greyAlpha;
    greyAlpha.width = 1;
    greyAlpha.colorType = PNG_COLOR_TYPE_GRAY_ALPHA;
    greyAlpha.rows = {60, 250};
    writePng(dir.file("ga.png"), greyAlpha);
    EXPECT_EQ(decodeOk("ga.png").pixels, (std::vector<uint8_t>{60, 60, 60, 250}));

    PngFixture sixteen;  // big-endian samples: the high byte survives
    sixteen.width = 1;
    sixteen.colorType = PNG_COLOR_TYPE_RGB;
    sixteen.bitDepth = 16;
    sixteen.rows = {0x12, 0x34, 0xAB, 0xCD, 0xFF, 0xFF};
    writePng(dir.file("16.png"), sixteen);
    EXPECT_EQ(decodeOk("16.png").pixels, (std::vector<uint8_t>{0x12, 0xAB, 0xFF}));

    PngFixture oneBit;  // 9 pixels wide: the row spills into a second byte
    oneBit.width = 9;
    oneBit.colorType = PNG_COLOR_TYPE_GRAY;
    oneBit.bitDepth = 1;
    oneBit.rows = {0xA0, 0x80};
    writePng(dir.file("1bit.png"), oneBit);
    EXPECT_EQ(decodeOk("1bit.png").pixels, (std::vector<uint8_t>{255, 0, 255, 0, 0, 0, 0, 0, 255}));

    PngFixture fourBit;
    fourBit.width = 2;
    fourBit.colorType = PNG_COLOR_TYPE_GRAY;
    fourBit.bitDepth = 4;
    fourBit.rows = {0xF1};
    writePng(dir.file("4bit.png"), fourBit);
    EXPECT_EQ(decodeOk("4bit.png").pixels, (std::vector<uint8_t>{255, 17}));
}

TEST_F(ImageTest, InterlacedImagesAreResolved)
{
    PngFixture fixture;
    fixture.width = 9;
    fixture.height = 9;
    fixture.colorType = PNG_COLOR_TYPE_GRAY;
    fixture.interlaced = true;
    for (int i = 0; i < 81; ++i) fixture.rows.push_back(uint8_t(i));
    writePng(dir.file("i.png"), fixture);
    const Image image = decodeOk("i.png");
    // File row 0 is the buffer's last row.
    EXPECT_EQ(image.pixels[8 * 9 + 4], 4);
    EXPECT_EQ(image.pixels[0 * 9 + 4], 8 * 9 + 4);
}

TEST_F(ImageTest, BadFilesGiveOneLineNamingTheFile)
{
    writeFile(dir.file("text.png"), "this is not an image at all\n");
    writeFile(dir.file("empty.png"), "");
    const std::string valid = validRgbPng(64, 64);
    writeFile(dir.file("truncated.png"), valid.substr(0, valid.size() / 2));
    std::string damaged = valid;
    for (size_t i = 60; i < damaged.size() - 20; ++i) damaged[i] = char(damaged[i] ^ 0x5A);
    writeFile(dir.file("damaged.png"), damaged);
    writeFile(dir.file("huge.png"), hugeHeaderPng(60000, 60000));
    std::filesystem::create_directory(dir.file("folder.png"));
    std::filesystem::create_symlink("/dev/zero", dir.file("zero.png"));
    std::filesystem::create_symlink("loop.png", dir.file("loop.png"));

    struct Case {
        const char* name;
        const char* reason;
    };
    const Case cases[] = {
        {"missing.png",   "can't open texture "},
        {"text.png",      "signature"},
        {"empty.png",     "signature"},
        {"truncated.png", "damaged"},
        {"damaged.png",   "damaged"},
        {"huge.png",      "too large"},
        {"folder.png",    "not a regular file"},
        {"zero.png",      "not a regular file"},
        {"loop.png",      "can't open texture "},
    };
    for (const Case& c : cases) {
        const std::string error = decodeError(c.name);
        EXPECT_NE(error.find(dir.file(c.name)), std::string::npos) << error;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
}

TEST_F(ImageTest, LimitsRefuseBeforeAllocating)
{
    writeFile(dir.file("wide.png"), validRgbPng(300, 2));
    ImageLimits narrow;
    narrow.maxDimension = 256;
    EXPECT_NE(decodeError("wide.png", narrow).find("too large"), std::string::npos);

    ImageLimits small;
    small.maxBytes = 300 * 2 * 3 - 1;
    EXPECT_NE(decodeError("wide.png", small).find("too large"), std::string::npos);
    small.maxBytes += 1;
    Image image;
    std::string error;
    EXPECT_TRUE(decodePng(dir.file("wide.png").c_str(), image, error, small)) << error;
}

TEST_F(ImageTest, LoadPngStopsTheProcessWithTheLine)
{
    const ProcessResult missing = loadInChild("nowhere.png");
    EXPECT_NE(missing.exitCode, 0);
    EXPECT_EQ(missing.out, "can't open texture " + dir.file("nowhere.png") + "\n");

    writeFile(dir.file("bad.png"), "GIF89a, not a png");
    const ProcessResult bad = loadInChild("bad.png");
    EXPECT_NE(bad.exitCode, 0);
    EXPECT_EQ(bad.signal, 0) << "stopped, not crashed";
    EXPECT_NE(bad.out.find(dir.file("bad.png")), std::string::npos) << bad.out;

    const std::string valid = validRgbPng(32, 32);
    writeFile(dir.file("cut.png"), valid.substr(0, valid.size() - 30));
    const ProcessResult cut = loadInChild("cut.png");
    EXPECT_NE(cut.exitCode, 0);
    EXPECT_EQ(cut.signal, 0);
    EXPECT_EQ(std::count(cut.out.begin(), cut.out.end(), '\n'), 1) << cut.out;

    // Opening a FIFO for reading waits for a writer; none ever comes.
    ASSERT_EQ(mkfifo(dir.file("fifo.png").c_str(), 0600), 0);
    const ProcessResult fifo = runInChild([&] { loadPng(dir.file("fifo.png").c_str()); }, 20);
    EXPECT_FALSE(fifo.timedOut);
    EXPECT_NE(fifo.exitCode, 0);
    EXPECT_EQ(fifo.out, "can't load texture " + dir.file("fifo.png") + ": not a regular file\n");
}

TEST_F(ImageTest, ChunkLengthClaimsAreNotAllocated)
{
    const ProcessResult r = runInChild([&] {
        for (const char* type : {"tEXt", "zTXt", "iTXt", "sPLT", "sCAL", "pCAL"}) {
            const std::string path = dir.file(std::string(type) + ".png");
            writeFile(path, claimedChunkPng(type));
            Image image;
            std::string error;
            if (!decodePng(path.c_str(), image, error)) std::printf("%s\n", error.c_str());
        }
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::printf("peak %ld KiB\n", usage.ru_maxrss);
    });
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 7) << r.out;
    for (const char* type : {"tEXt", "zTXt", "iTXt", "sPLT", "sCAL", "pCAL"})
        EXPECT_NE(r.out.find(dir.file(std::string(type) + ".png") + ": damaged"), std::string::npos) << r.out;
    long peakKiB = 0;
    ASSERT_EQ(std::sscanf(r.out.substr(r.out.rfind("peak")).c_str(), "peak %ld", &peakKiB), 1) << r.out;
    EXPECT_LT(peakKiB, 100 * 1024) << "a chunk's claimed length was allocated";
}
