// GL textures from decoded images, made at start-up and released when the show stops. Each keeps the
// cover mesh of its image, the part a sprite drawn with it can change, made at upload from the pixels.
#pragma once
#include <cstdint>

#include "utils/coverage.h"
#include "utils/image.h"

// --- Upload (needs a current GL context)
uint32_t uploadTexture(const Image& image);  // new texture name; 1 channel -> alpha mask, 3 RGB, 4 RGBA
void replaceTexture(uint32_t name, const Image& image);   // the same name made from another image, cover and all
uint32_t loadTexture(const char* fileName);  // decode + upload; the process stops if the file can't be used
int maxTextureSize();                        // pixels, the GL implementation's limit on a side
void releaseTexture(uint32_t name);          // deletes the texture and its cover mesh; 0 is ignored

// --- Coverage (what a sprite with the texture can show)
const CoverMesh& textureCover(uint32_t name);       // made by uploadTexture; the whole square for other names
void setTextureCover(uint32_t name, CoverMesh mesh);  // replaces it (tests, and benchmarks of full quads)
