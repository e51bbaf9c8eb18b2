// TexFrag: a textured square sprite that glides in a straight line while it turns, grows and fades.
// It draws in its own 8 x 6 view centred on the screen, so it covers the same share of any window.
#pragma once
#include <string>

#include "fragments/fragment.h"

// The sprite view: x from -4 (left edge) to 4, y from -3 (bottom) to 3, origin at the screen centre.
constexpr float SpriteViewHalfWidth = 4.0f;
constexpr float SpriteViewHalfHeight = 3.0f;

class TexFrag : public Fragment {
public:
    explicit TexFrag(float lifetime);  // start = demoTime(); one randomFloat(5) for colorIndex
    void draw(float time) override;

    int colorIndex;          // 0..4, colour WarmColorBase + colorIndex
    float fromX = 0;         // view units, centre at progress 0
    float fromY = 0;
    float toX = 0;           // view units, centre at progress 1
    float toY = 0;
    float angle = 0;         // degrees counter-clockwise at progress 0
    float spin = 0;          // degrees added over the whole life
    float scale = 1;         // edge in view units at progress 0; every creator sets it
    float growth = 0;        // edge added over the whole life
    float alpha = 0.7f;      // peak opacity, 0..1
    std::string textureName; // TextureLibrary file name; unknown names draw untextured
};

// Where and how the sprite stands at one moment: the values its draw hands to GL.
struct SpritePose {
    float x, y;      // centre, view units
    float angle;     // degrees
    float size;      // edge, view units
    float opacity;   // 0..1
};

// --- Pure pose (no GL)
SpritePose texFragPose(const TexFrag& sprite, float time);  // time: demoTime() seconds
