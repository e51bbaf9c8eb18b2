// PNG writing with libpng for test fixtures.
#include "support/png_write.h"

#include <png.h>

#include <cstdio>
#include <stdexcept>

void writePng(const std::string& path, const PngSpec& spec)
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
    png_set_IHDR(png, info, png_uint_32(spec.width), png_uint_32(spec.height), spec.bitDepth, spec.colorType,
                 spec.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!spec.palette.empty()) {
        std::vector<png_color> colors;
        for (size_t i = 0; i + 2 < spec.palette.size(); i += 3)
            colors.push_back({spec.palette[i], spec.palette[i + 1], spec.palette[i + 2]});
        png_set_PLTE(png, info, colors.data(), int(colors.size()));
    }
    if (!spec.paletteAlpha.empty())
        png_set_tRNS(png, info, spec.paletteAlpha.data(), int(spec.paletteAlpha.size()), nullptr);
    png_write_info(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);
    if (spec.rows.size() < rowBytes * size_t(spec.height)) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        throw std::runtime_error("too few row bytes for " + path);
    }
    std::vector<png_bytep> rows(size_t(spec.height));
    for (int y = 0; y < spec.height; ++y) rows[size_t(y)] = const_cast<png_bytep>(spec.rows.data()) + size_t(y) * rowBytes;
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
}

void writeRgbaPng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgbaTopFirst)
{
    PngSpec spec;
    spec.width = width;
    spec.height = height;
    spec.colorType = PNG_COLOR_TYPE_RGBA;
    spec.rows = rgbaTopFirst;
    writePng(path, spec);
}

void writeSolidPng(const std::string& path, int width, int height, int channels, uint8_t value)
{
    PngSpec spec;
    spec.width = width;
    spec.height = height;
    spec.colorType = channels == 1 ? PNG_COLOR_TYPE_GRAY : channels == 3 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGBA;
    spec.rows.assign(size_t(width) * size_t(height) * size_t(channels), value);
    writePng(path, spec);
}
