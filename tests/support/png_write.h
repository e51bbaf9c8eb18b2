// Writes small PNG files for tests, in any of libpng's colour types and bit depths.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct PngFixture {
    int width = 1;
    int height = 1;
    int colorType = 0;           // PNG_COLOR_TYPE_*
    int bitDepth = 8;
    bool interlaced = false;
    std::vector<uint8_t> rows;   // packed file rows, top row first, as libpng wants them
    std::vector<uint8_t> palette;  // RGB triples, for palette images
    std::vector<uint8_t> paletteAlpha;  // tRNS entries, for palette images
};

// --- Writing
void writePng(const std::string& path, const PngFixture& fixture);
void writeRgbaPng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgbaTopFirst);
void writeSolidPng(const std::string& path, int width, int height, int channels, uint8_t value);  // 1, 3 or 4
