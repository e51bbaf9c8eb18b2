// The show's 36 images: electric sparks (ec*), the evolving ink blot of the brush strokes (blend*),
// the nine typography textures and the closing card. Grey images are masks the show tints.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

class Typesetter;

struct ImageFile {
    std::string name;             // file name in the show's working directory
    int width = 0, height = 0;    // pixels
    int channels = 0;             // 1 grey mask, 3 RGB
    std::vector<uint8_t> bytes;   // top row first
};

// --- The set, in the order the show loads them
constexpr int ShowImageCount = 36;
std::vector<std::string> showImageNames();
ImageFile drawShowImage(const std::string& name, Typesetter& type);  // throws on an unknown name

// --- Sizes (pixels, square)
constexpr int SparkSize = 256;     // drawn at 100..410 px
constexpr int BlotSize = 256;      // drawn at 200..300 px
constexpr int PosterSize = 1024;   // drawn up to 1.6 screen widths
constexpr int EndCardSize = 512;   // drawn 1:1

// --- Menu icon: the ring and the star, tinted as the show tints them, on a rounded black square
ImageFile appIcon(int size);  // size x size RGBA, size 16..1024

// --- Contact sheet: every image on one RGB page, masks tinted as the show tints them
ImageFile contactSheet(const std::vector<ImageFile>& images, Typesetter& type);
