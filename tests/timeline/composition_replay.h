// What a composition must draw, replayed from the generator in the documented order: per sprite its
// colour (randomFloat(5)) and then its list position (randomFloat(n), n the length before it).
#pragma once
#include <cstddef>
#include <vector>

#include "utils/random.h"

// Sprites per composition type 0..7.
constexpr int SpritesOfType[8] = {5, 3, 3, 2, 5, 3, 5, 5};

struct ReplayedSprite {
    int colorIndex;
    size_t index;
};

inline std::vector<ReplayedSprite> replayComposition(int type, size_t listLength)
{
    std::vector<ReplayedSprite> out;
    for (int i = 0; i < SpritesOfType[type]; ++i) {
        const int colour = int(randomFloat(5));
        const size_t index = size_t(randomFloat(float(listLength)));
        out.push_back({colour, index});
        ++listLength;
    }
    return out;
}
