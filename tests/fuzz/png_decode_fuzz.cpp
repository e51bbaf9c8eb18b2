// libFuzzer target for the PNG decoder. Each input, its chunk CRCs made right, goes into an in-memory
// file that is decoded by name, so the whole path runs: open, the file checks, libpng, the limits.
#include <sys/mman.h>
#include <unistd.h>
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "utils/image.h"

namespace {
// libpng stops at the first chunk whose CRC is wrong, which is nearly every mutated one; with the
// CRCs put right, mutations reach the inflater, the filters, interlacing and the transformations.
void fixChunkCrcs(std::vector<uint8_t>& png)
{
    size_t at = 8;  // after the signature
    while (at + 12 <= png.size()) {
        const uint32_t length = uint32_t(png[at]) << 24 | uint32_t(png[at + 1]) << 16 | uint32_t(png[at + 2]) << 8 | png[at + 3];
        if (length > png.size() - at - 12) return;  // the claimed length runs past the end: left as it is
        const uint32_t crc = uint32_t(crc32(0, &png[at + 4], uInt(length + 4)));
        uint8_t* out = &png[at + 8 + length];
        for (int i = 0; i < 4; ++i) out[i] = uint8_t(crc >> (24 - 8 * i));
        at += 12 + length;
    }
}

int inputFile()
{
    static const int fd = memfd_create("png-fuzz-input", MFD_CLOEXEC);
    return fd;
}

// Lower than the show's own limit, so headers that ask for hundreds of megabytes don't slow every
// run down; the limit checks themselves are the same code at any size.
ImageLimits fuzzLimits()
{
    ImageLimits limits;
    limits.maxBytes = size_t(16) * 1024 * 1024;
    return limits;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> png(data, data + size);
    fixChunkCrcs(png);
    const int fd = inputFile();
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, png.data(), size, 0) != ssize_t(size)) return 0;
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    static const ImageLimits limits = fuzzLimits();
    Image image;
    std::string error;
    const bool decoded = decodePng(path.c_str(), image, error, limits);
    // A decoded image always has the buffer its header promises; a refusal always has its one line.
    const size_t promised = size_t(image.width) * size_t(image.height) * size_t(image.channels);
    const bool consistent = decoded ? image.pixels.size() == promised && error.empty()
                                    : image.pixels.empty() && !error.empty() && error.find('\n') == std::string::npos;
    if (!consistent) __builtin_trap();
    return 0;
}
