// GL textures from decoded images. Textures are made at start-up and never deleted.
#pragma once
#include <cstdint>

#include "utils/image.h"

// --- Upload (needs a current GL context)
uint32_t uploadTexture(const Image& image);  // new texture name; 1 channel -> alpha mask, 3 RGB, 4 RGBA
uint32_t loadTexture(const char* fileName);  // decode + upload; the process stops if the file can't be used
int maxTextureSize();                        // pixels, the GL implementation's limit on a side
