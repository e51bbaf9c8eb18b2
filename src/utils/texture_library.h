// Every texture of the show, loaded at start-up in a fixed order and kept until the show stops:
// the nine library textures found by file name, the electro and blend sets found by index, and the
// closing image.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "utils/image.h"

// The nine typography textures, found by the PNG file name they were loaded from.
struct TextureTable {
    std::vector<std::string> fileNames;   // in load order
    std::vector<uint32_t> textures;       // textures[i] was made from fileNames[i]
};

constexpr int ElectroTextureCount = 6;
constexpr int BlendTextureCount = 20;
constexpr int LibraryTextureCount = 9;

// The four sets together, as one show holds them (timeline/show_state.h); the names below refer to its.
struct ShowTextures {
    TextureTable library;
    uint32_t electro[ElectroTextureCount] = {};
    uint32_t blend[BlendTextureCount] = {};
    uint32_t end = 0;
};

extern TextureTable& TextureLibrary;
extern uint32_t (&ElectroTextures)[ElectroTextureCount];  // ec0.png .. ec5.png
extern uint32_t (&BlendTextures)[BlendTextureCount];      // blend00.png .. blend19.png
extern uint32_t& EndTexture;                              // end.png

// The library's file names, in load order.
extern const char* const LibraryFileNames[LibraryTextureCount];

// --- Loading (start-up, needs a GL context; any failure stops the process)
// standIns: images uploaded in place of the files of their names (a listener's posters), in the same
// order, so every texture keeps its name; a file with no stand-in is read as always.
void loadTextureLibrary(const std::vector<NamedImage>& standIns = {});   // fills TextureLibrary from LibraryFileNames, replacing what it held
void loadNumberedTextures();                                             // fills ElectroTextures, then BlendTextures
void loadEndTexture(const std::vector<NamedImage>& standIns = {});       // fills EndTexture
// The stand-ins uploaded into the textures already made from the files of their names (a host that
// learns its track after start-up).
void replaceLibraryTextures(const std::vector<NamedImage>& standIns);

// --- Releasing (needs the context the textures were made in)
void releaseShowTextures();    // deletes every texture of the four sets and empties them

// --- Files
std::vector<std::string> textureFileNames();   // every image the textures are loaded from, in load order

// --- Lookup
constexpr uint32_t NoTexture = 0;  // GL never hands out 0 as a texture name
uint32_t findTexture(const std::string& fileName);  // first exact match in TextureLibrary, else NoTexture
