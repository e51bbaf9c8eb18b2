// assetgen: writes the show's 36 images and its track into a directory, or checks them.
//   assetgen OUTDIR                 all 37 files (what data/ holds)
//   assetgen --images OUTDIR        only the images
//   assetgen --sheet DIR OUT.png    a contact sheet of the 36 images found in DIR
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "canvas.h"
#include "images.h"
#include "typeset.h"
#include "utils/image.h"

namespace {

void writeImages(const std::string& dir)
{
    Typesetter type;
    for (const std::string& name : showImageNames()) {
        const ImageFile f = drawShowImage(name, type);
        writePng(dir + "/" + name, f.width, f.height, f.channels, f.bytes);
    }
}

int writeSheet(const std::string& dir, const std::string& out)
{
    std::vector<ImageFile> images;
    for (const std::string& name : showImageNames()) {
        Image decoded;
        std::string error;
        if (!decodePng((dir + "/" + name).c_str(), decoded, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        ImageFile f;
        f.name = name;
        f.width = decoded.width;
        f.height = decoded.height;
        f.channels = decoded.channels;
        // The show's loader hands rows bottom first; the sheet wants them as the file has them.
        const size_t row = size_t(f.width) * size_t(f.channels);
        f.bytes.resize(decoded.pixels.size());
        for (int y = 0; y < f.height; ++y)
            std::memcpy(&f.bytes[size_t(y) * row], &decoded.pixels[size_t(f.height - 1 - y) * row], row);
        images.push_back(std::move(f));
    }
    Typesetter type;
    const ImageFile sheet = contactSheet(images, type);
    writePng(out, sheet.width, sheet.height, sheet.channels, sheet.bytes);
    return 0;
}

int usage()
{
    std::fprintf(stderr,
                 "usage: assetgen OUTDIR | --images OUTDIR | --sheet DIR OUT.png\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.size() == 2 && args[0] == "--images") {
            writeImages(args[1]);
            return 0;
        }
        if (args.size() == 3 && args[0] == "--sheet") return writeSheet(args[1], args[2]);
        if (args.size() == 1 && args[0][0] != '-') {
            writeImages(args[0]);
            return 0;
        }
        return usage();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "assetgen: %s\n", e.what());
        return 1;
    }
}
