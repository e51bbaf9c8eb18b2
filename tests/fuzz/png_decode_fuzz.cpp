// libFuzzer target for the PNG decoder. Each input goes into an in-memory file that is decoded by
// name, so the whole path runs: open, the regular-file check, libpng and the size limits.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "utils/image.h"

namespace {
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
    const int fd = inputFile();
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != ssize_t(size)) return 0;
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
