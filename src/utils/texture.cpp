// Texture upload. A grey image becomes an alpha-only texture: under GL's default modulate
// environment it is a coverage mask tinted by the current colour, which is how the effects use it.
#include "utils/texture.h"

#include <SDL_opengl.h>

#include <string>
#include <vector>

#include "utils/fatal.h"
#include "utils/gl_capabilities.h"

namespace {
std::vector<CoverMesh> covers;  // by texture name; GL hands names out small and in order
GLenum pixelFormat(int channels)
{
    switch (channels) {
    case 1: return GL_ALPHA;
    case 3: return GL_RGB;
    default: return GL_RGBA;
    }
}
}  // namespace

int maxTextureSize()
{
    GLint size = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
    return size;
}

uint32_t uploadTexture(const Image& image)
{
    GLuint name = 0;
    glGenTextures(1, &name);
    replaceTexture(name, image);
    return name;
}

void replaceTexture(uint32_t name, const Image& image)
{
    glBindTexture(GL_TEXTURE_2D, name);
    GLenum format = pixelFormat(image.channels);
    const uint8_t* pixels = image.pixels.data();
    // Where modulate also multiplies the colour by an alpha texture's black, the mask goes up as
    // luminance-alpha with white luminance, which modulates exactly as alpha does.
    std::vector<uint8_t> luminanceAlpha;
    if (format == GL_ALPHA && !glCapabilities().alphaTextures) {
        luminanceAlpha.resize(image.pixels.size() * 2);
        for (size_t i = 0; i < image.pixels.size(); ++i) {
            luminanceAlpha[2 * i] = 255;
            luminanceAlpha[2 * i + 1] = image.pixels[i];
        }
        format = GL_LUMINANCE_ALPHA;
        pixels = luminanceAlpha.data();
    }

    // Rows are tightly packed, so any row length must be accepted, not only multiples of four.
    GLint previousAlignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &previousAlignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GLint(format), image.width, image.height, 0, format, GL_UNSIGNED_BYTE, pixels);
    glPixelStorei(GL_UNPACK_ALIGNMENT, previousAlignment);

    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    setTextureCover(name, coverMesh(image));
}

void releaseTexture(uint32_t name)
{
    if (name == 0) return;
    const GLuint texture = name;
    glDeleteTextures(1, &texture);
    if (name < covers.size()) covers[name] = CoverMesh();
}

const CoverMesh& textureCover(uint32_t name)
{
    static const CoverMesh whole;
    return name < covers.size() ? covers[name] : whole;
}

void setTextureCover(uint32_t name, CoverMesh mesh)
{
    if (name >= covers.size()) covers.resize(size_t(name) + 1);
    covers[name] = std::move(mesh);
}

uint32_t loadTexture(const char* fileName)
{
    ImageLimits limits;
    if (const int glLimit = maxTextureSize(); glLimit > 0) limits.maxDimension = glLimit;
    Image image;
    std::string error;
    if (!decodePng(fileName, image, error, limits)) fatalExit(1, "%s\n", error.c_str());
    return uploadTexture(image);
}
