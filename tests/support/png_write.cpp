// PNG writing with libpng for test fixtures.
#include "support/png_write.h"

#include <png.h>

#include <cstdio>
#include <stdexcept>

void writePng(const std::string& path, const PngFixture& fixture)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) throw std::runtime_error("can't write " + path);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        throw std::runtime_error("libpng failed writing " + path);
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, png_uint_32(fixture.width), png_uint_32(fixture.height), fixture.bitDepth,
                 fixture.colorType, fixture.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!fixture.palette.empty()) {
        std::vector<png_color> colors;
        for (size_t i = 0; i + 2 < fixture.palette.size(); i += 3)
            colors.push_back({fixture.palette[i], fixture.palette[i + 1], fixture.palette[i + 2]});
        png_set_PLTE(png, info, colors.data(), int(colors.size()));
    }
    if (!fixture.paletteAlpha.empty())
        png_set_tRNS(png, info, fixture.paletteAlpha.data(), int(fixture.paletteAlpha.size()), nullptr);
    png_write_info(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);
    if (fixture.rows.size() < rowBytes * size_t(fixture.height)) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        throw std::runtime_error("too few row bytes for " + path);
    }
    std::vector<png_bytep> rows(size_t(fixture.height));
    png_bytep first = const_cast<png_bytep>(fixture.rows.data());
    for (int y = 0; y < fixture.height; ++y) rows[size_t(y)] = first + size_t(y) * rowBytes;
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
}

void writeRgbaPng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgbaTopFirst)
{
    PngFixture fixture;
    fixture.width = width;
    fixture.height = height;
    fixture.colorType = PNG_COLOR_TYPE_RGBA;
    fixture.rows = rgbaTopFirst;
    writePng(path, fixture);
}

void writeSolidPng(const std::string& path, int width, int height, int channels, uint8_t value)
{
    PngFixture fixture;
    fixture.width = width;
    fixture.height = height;
    fixture.colorType = channels == 1 ? PNG_COLOR_TYPE_GRAY : channels == 3 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGBA;
    fixture.rows.assign(size_t(width) * size_t(height) * size_t(channels), value);
    writePng(path, fixture);
}
