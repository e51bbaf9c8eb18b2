// Compares two folders of captured PNG frames (showcap --format png) pixel by pixel: for the frames
// both hold, the largest difference of any channel and how many pixels differ at all.
//   frame_diff DIR_A DIR_B
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "utils/image.h"

namespace fs = std::filesystem;

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: frame_diff DIR_A DIR_B\n");
        return 2;
    }
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(argv[1]))
        if (entry.path().extension() == ".png" && fs::exists(fs::path(argv[2]) / entry.path().filename()))
            names.insert(entry.path().filename().string());
    long frames = 0, framesDiffering = 0, pixels = 0, pixelsDiffering = 0, histogram[256] = {};
    int worst = 0;
    std::string worstFrame;
    for (const std::string& name : names) {
        Image a, b;
        std::string error;
        if (!decodePng((fs::path(argv[1]) / name).c_str(), a, error) ||
            !decodePng((fs::path(argv[2]) / name).c_str(), b, error)) {
            std::fprintf(stderr, "frame_diff: %s\n", error.c_str());
            return 1;
        }
        if (a.width != b.width || a.height != b.height || a.channels != b.channels) {
            std::fprintf(stderr, "frame_diff: %s differs in size or format\n", name.c_str());
            return 1;
        }
        int frameWorst = 0;
        const size_t channels = size_t(a.channels);
        for (size_t p = 0; p < a.pixels.size(); p += channels) {
            int d = 0;
            for (size_t c = 0; c < channels; ++c) d = std::max(d, std::abs(int(a.pixels[p + c]) - int(b.pixels[p + c])));
            ++histogram[d];
            pixelsDiffering += d != 0;
            frameWorst = std::max(frameWorst, d);
        }
        pixels += long(a.pixels.size() / channels);
        ++frames;
        framesDiffering += frameWorst != 0;
        if (frameWorst > worst) {
            worst = frameWorst;
            worstFrame = name;
        }
    }
    std::printf("%ld frames compared, %ld with a difference; %ld of %ld pixels differ (%.4f %%)\n", frames,
                framesDiffering, pixelsDiffering, pixels, pixels ? 100.0 * double(pixelsDiffering) / double(pixels) : 0.0);
    std::printf("largest difference: %d levels%s%s\n", worst, worstFrame.empty() ? "" : ", in ", worstFrame.c_str());
    for (int d = 1; d < 256; ++d)
        if (histogram[d]) std::printf("  %3d levels: %ld pixels\n", d, histogram[d]);
    return 0;
}
