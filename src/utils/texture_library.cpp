// The texture sets. Load order decides the texture names GL hands out, so it is fixed: electro,
// blend, library, then (after the cue list) the closing image.
#include "utils/texture_library.h"

#include <algorithm>
#include <iterator>

#include "utils/format.h"
#include "utils/texture.h"

const char* const LibraryFileNames[LibraryTextureCount] = {
    "big-circle.png", "path1.png", "typo1.png", "typo2.png", "typo3.png",
    "star.png",       "typo0.png", "m0.png",    "l2.png",
};

namespace {
const Image* standInFor(const std::string& fileName, const std::vector<NamedImage>& standIns)
{
    for (const NamedImage& s : standIns)
        if (s.fileName == fileName) return &s.image;
    return nullptr;
}

uint32_t loadOrStandIn(const std::string& fileName, const std::vector<NamedImage>& standIns)
{
    const Image* image = standInFor(fileName, standIns);
    return image ? uploadTexture(*image) : loadTexture(fileName.c_str());
}
}  // namespace

void loadTextureLibrary(const std::vector<NamedImage>& standIns)
{
    // Every name is listed before the first load, so a failed load leaves the names complete.
    TextureLibrary = TextureTable();
    for (const char* name : LibraryFileNames) TextureLibrary.fileNames.emplace_back(name);
    for (const std::string& name : TextureLibrary.fileNames) TextureLibrary.textures.push_back(loadOrStandIn(name, standIns));
}

namespace {
std::string electroFileName(int i) { return formatString("ec%d.png", i); }
std::string blendFileName(int i) { return formatString("blend%02d.png", i); }
constexpr const char* EndFileName = "end.png";
}  // namespace

void loadNumberedTextures()
{
    for (int i = 0; i < ElectroTextureCount; ++i) ElectroTextures[i] = loadTexture(electroFileName(i).c_str());
    for (int i = 0; i < BlendTextureCount; ++i) BlendTextures[i] = loadTexture(blendFileName(i).c_str());
}

void loadEndTexture(const std::vector<NamedImage>& standIns) { EndTexture = loadOrStandIn(EndFileName, standIns); }

void replaceLibraryTextures(const std::vector<NamedImage>& standIns)
{
    for (const NamedImage& s : standIns) {
        const uint32_t name = s.fileName == EndFileName ? EndTexture : findTexture(s.fileName);
        if (name != NoTexture) replaceTexture(name, s.image);
    }
}

void releaseShowTextures()
{
    for (uint32_t name : TextureLibrary.textures) releaseTexture(name);
    for (uint32_t name : ElectroTextures) releaseTexture(name);
    for (uint32_t name : BlendTextures) releaseTexture(name);
    releaseTexture(EndTexture);
    TextureLibrary = TextureTable();
    std::fill(std::begin(ElectroTextures), std::end(ElectroTextures), NoTexture);
    std::fill(std::begin(BlendTextures), std::end(BlendTextures), NoTexture);
    EndTexture = NoTexture;
}

std::vector<std::string> textureFileNames()
{
    std::vector<std::string> names;
    for (int i = 0; i < ElectroTextureCount; ++i) names.push_back(electroFileName(i));
    for (int i = 0; i < BlendTextureCount; ++i) names.push_back(blendFileName(i));
    names.insert(names.end(), std::begin(LibraryFileNames), std::end(LibraryFileNames));
    names.emplace_back(EndFileName);
    return names;
}

uint32_t findTexture(const std::string& fileName)
{
    for (size_t i = 0; i < TextureLibrary.fileNames.size() && i < TextureLibrary.textures.size(); ++i)
        if (TextureLibrary.fileNames[i] == fileName) return TextureLibrary.textures[i];
    return NoTexture;
}
