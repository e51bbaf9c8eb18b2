// PNG decoding. libpng reports errors by longjmp; the jump lands in readImage, whose frame holds no
// object with a destructor, so nothing is skipped. Palette, grey+alpha, low bit depths and 16-bit
// samples are converted by libpng's own transformations, so the buffer always matches the header.
#include "utils/image.h"

#include <fcntl.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csetjmp>
#include <cstdio>
#include <memory>

#include "utils/fatal.h"
#include "utils/format.h"

namespace {
struct ErrorSink {
    char message[256] = "";
};

void onPngError(png_structp png, png_const_charp message)
{
    auto* sink = static_cast<ErrorSink*>(png_get_error_ptr(png));
    std::snprintf(sink->message, sizeof sink->message, "%s", message);
    png_longjmp(png, 1);
}

// The show prints nothing but its failure lines, so libpng's warnings are dropped.
void onPngWarning(png_structp, png_const_charp) {}

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};

enum class OpenResult { Ok, CantOpen, NotRegular };

// Opened without blocking, so a FIFO in an image's place is refused instead of waiting for a writer
// for ever; only regular files are read (a directory or /dev/zero is no image either).
OpenResult openImageFile(const char* fileName, std::unique_ptr<FILE, FileCloser>& file)
{
    const int fd = open(fileName, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return OpenResult::CantOpen;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return OpenResult::NotRegular;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    file.reset(fdopen(fd, "rb"));
    if (!file) {
        close(fd);
        return OpenResult::CantOpen;
    }
    return OpenResult::Ok;
}

// Ancillary chunks the show has no use for. libpng reads each of them whole into memory first, as
// long as its length field claims: 2 GiB allocated and zeroed for a 72-byte file, and its chunk
// malloc limit only turns that into a warning. Skipped, they are only read past, up to the file's end.
constexpr png_byte UnusedChunks[][5] = {
    "bKGD", "cHRM", "eXIf", "gAMA", "hIST", "iCCP", "iTXt", "oFFs", "pCAL",
    "pHYs", "sBIT", "sCAL", "sPLT", "sRGB", "sTER", "tEXt", "tIME", "zTXt",
};
static_assert(sizeof UnusedChunks / sizeof UnusedChunks[0] == 18, "every ancillary chunk but tRNS");

void skipUnusedChunks(png_structp png)
{
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, &UnusedChunks[0][0],
                                int(sizeof UnusedChunks / sizeof UnusedChunks[0]));
}

// Asks libpng for 8-bit grey, RGB or RGBA whatever the file stores.
void requestStandardFormat(png_structp png, png_infop info)
{
    const int colorType = png_get_color_type(png, info);
    const int bitDepth = png_get_bit_depth(png, info);
    if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    if (bitDepth == 16) png_set_strip_16(png);
    const bool greyWithAlpha = colorType == PNG_COLOR_TYPE_GRAY_ALPHA ||
                               (colorType == PNG_COLOR_TYPE_GRAY && png_get_valid(png, info, PNG_INFO_tRNS));
    if (greyWithAlpha) png_set_gray_to_rgb(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
}

enum class ReadResult { Ok, LibpngError, TooLarge, BadFormat };

// Runs every libpng call that may jump. Objects the jump could skip live in the caller.
ReadResult readImage(png_structp png, png_infop info, const ImageLimits& limits, Image& out,
                     std::vector<png_bytep>& rows)
{
    if (setjmp(png_jmpbuf(png))) return ReadResult::LibpngError;

    png_set_sig_bytes(png, 8);
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    if (width > png_uint_32(limits.maxDimension) || height > png_uint_32(limits.maxDimension))
        return ReadResult::TooLarge;
    requestStandardFormat(png, info);

    const int channels = png_get_channels(png, info);
    if (png_get_bit_depth(png, info) != 8 || (channels != 1 && channels != 3 && channels != 4))
        return ReadResult::BadFormat;
    const size_t rowBytes = size_t(width) * size_t(channels);
    if (png_get_rowbytes(png, info) != rowBytes) return ReadResult::BadFormat;
    if (rowBytes != 0 && height > limits.maxBytes / rowBytes) return ReadResult::TooLarge;

    out.width = int(width);
    out.height = int(height);
    out.channels = channels;
    out.pixels.resize(rowBytes * height);
    rows.resize(height);
    for (png_uint_32 i = 0; i < height; ++i) rows[i] = out.pixels.data() + size_t(height - 1 - i) * rowBytes;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    return ReadResult::Ok;
}
}  // namespace

bool decodePng(const char* fileName, Image& out, std::string& error, const ImageLimits& limits)
{
    out = Image();
    std::unique_ptr<FILE, FileCloser> file;
    switch (openImageFile(fileName, file)) {
    case OpenResult::Ok:
        break;
    case OpenResult::CantOpen:
        error = formatString("can't open texture %s", fileName);
        return false;
    case OpenResult::NotRegular:
        error = formatString("can't load texture %s: not a regular file", fileName);
        return false;
    }
    png_byte signature[8] = {};
    const size_t got = std::fread(signature, 1, sizeof signature, file.get());
    if (got != sizeof signature || png_sig_cmp(signature, 0, sizeof signature) != 0) {
        error = formatString("can't load texture %s: not a PNG file (signature check failed)", fileName);
        return false;
    }

    ErrorSink sink;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &sink, onPngError, onPngWarning);
    if (!png) {
        error = formatString("can't load texture %s: libpng could not create its read structure", fileName);
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        error = formatString("can't load texture %s: libpng could not create its info structure", fileName);
        return false;
    }
    png_init_io(png, file.get());
    skipUnusedChunks(png);

    std::vector<png_bytep> rows;
    const ReadResult result = readImage(png, info, limits, out, rows);
    png_destroy_read_struct(&png, &info, nullptr);

    switch (result) {
    case ReadResult::Ok:
        return true;
    case ReadResult::LibpngError:
        error = formatString("can't load texture %s: damaged PNG data (%s)", fileName, sink.message);
        break;
    case ReadResult::TooLarge:
        error = formatString("can't load texture %s: image too large", fileName);
        break;
    case ReadResult::BadFormat:
        error = formatString("can't load texture %s: unsupported PNG format", fileName);
        break;
    }
    out = Image();
    return false;
}

Image loadPng(const char* fileName)
{
    Image image;
    std::string error;
    if (!decodePng(fileName, image, error)) fatalExit(1, "%s\n", error.c_str());
    return image;
}
