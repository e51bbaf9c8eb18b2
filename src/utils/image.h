// PNG decoding into plain memory with libpng. No GL here: the texture code uploads what this makes.
// Every PNG comes out as 8-bit grey (1 channel), RGB (3) or RGBA (4), rows bottom first, as GL wants.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct Image {
    int width = 0;                 // pixels
    int height = 0;                // pixels
    int channels = 0;              // bytes per pixel: 1 grey, 3 RGB, 4 RGBA
    std::vector<uint8_t> pixels;   // height rows of width*channels bytes, bottom row first, no padding
};

// An image made in memory to stand in for the data file of this name (a listener's posters).
struct NamedImage {
    std::string fileName;
    Image image;
};

// Limits that keep a damaged or hostile header from asking for an absurd allocation.
struct ImageLimits {
    int maxDimension = 16384;                      // pixels, each side; the GL maximum texture size
    size_t maxBytes = size_t(256) * 1024 * 1024;   // decoded pixel bytes
};

// --- Decoding
bool decodePng(const char* fileName, Image& out, std::string& error,
               const ImageLimits& limits = ImageLimits());  // false with a one-line reason naming the file
Image loadPng(const char* fileName);                         // decodePng, or the process stops with its reason
