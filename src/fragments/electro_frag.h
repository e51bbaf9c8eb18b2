// ElectroFrag: a short flash of one electro texture, a translucent square centred on one of the
// fixed anchor points, turning a little, swelling and fading within its life.
#pragma once

#include "fragments/fragment.h"

constexpr float ElectroPeakOpacity = 0.4f;
constexpr float ElectroHalfEdge = 50.0f;  // pixels before scaling

class ElectroFrag : public Fragment {
public:
    explicit ElectroFrag(float lifetime);  // start = demoTime(); no random draw
    void draw(float time) override;

    int pointIndex = 0;    // entry of ElectroPoints
    int textureIndex = 0;  // 0..5, entry of ElectroTextures
    int colorIndex = 0;    // 0..4, cool colour
    float angle = 0;       // degrees at progress 0
    float spin = 0;        // degrees added over the life, linear
    float scale = 1;       // scale factor at progress 0
    float growth = 0;      // scale added over the life, eased
};

// How the flash stands at one moment: the values its draw hands to GL.
struct ElectroPose {
    float angle;    // degrees
    float scale;    // factor on the 100 x 100 pixel square
    float opacity;  // 0..0.4
};

// --- Pure pose (no GL)
ElectroPose electroPose(const ElectroFrag& flash, float time);  // time: demoTime() seconds
