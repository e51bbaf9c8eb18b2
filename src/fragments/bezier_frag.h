// BezierFrag: a soft brush stroke of six translucent sprites strung along a cubic Bezier curve that
// morphs from a start shape to an end shape while the sprites play through the twenty blend frames.
#pragma once

#include "fragments/fragment.h"

// One curve: four control points at the start of the life and four at the end, in design units of
// the 8 x 6 view (x -4..4, y -3..3, origin at the screen centre); points outside lie off-screen.
struct BezierCurve {
    Point2 from[4];
    Point2 to[4];
};

constexpr int BezierCurveCount = 9;

constexpr BezierCurve BezierCurves[] = {
    //  start P0          start P1          start P2          start P3              end P0            end P1            end P2            end P3
    {{{-6.88f, -3.58f}, { 0.16f, -4.23f}, { 0.93f,  1.11f}, { 7.21f,  3.15f}}, {{-2.38f, -4.99f}, {-2.06f,  3.07f}, { 5.77f, -5.19f}, { 4.21f,  5.54f}}},  // 0
    {{{-6.88f, -3.58f}, { 0.16f, -4.23f}, { 0.93f,  1.11f}, { 7.21f,  3.15f}}, {{-2.38f, -4.99f}, {-3.21f,  5.10f}, { 5.77f, -5.19f}, { 6.01f,  2.49f}}},  // 1
    {{{ 1.92f, -4.97f}, { 0.55f,  0.93f}, { 0.05f, -2.80f}, {-0.10f,  4.07f}}, {{ 0.34f, -4.97f}, {-3.39f, -3.50f}, { 5.24f, -1.39f}, {-2.24f,  4.41f}}},  // 2
    {{{ 1.14f, -5.92f}, { 2.74f, -4.23f}, { 6.47f, -1.01f}, {-1.57f,  4.67f}}, {{-0.03f, -4.86f}, {-4.80f, -0.91f}, { 4.60f,  4.48f}, {-2.17f,  5.45f}}},  // 3
    {{{ 1.14f, -5.92f}, {-0.97f, -3.17f}, { 3.66f, -1.36f}, {-1.57f,  4.67f}}, {{-0.03f, -4.86f}, { 1.37f, -0.73f}, { 4.99f,  5.68f}, {-2.17f,  5.45f}}},  // 4
    {{{ 1.14f, -5.92f}, {-0.97f, -3.17f}, { 6.33f,  3.64f}, {-0.32f,  5.36f}}, {{-0.03f, -4.86f}, {-5.29f,  0.74f}, {-3.30f,  5.06f}, {-2.17f,  5.45f}}},  // 5
    {{{-3.61f, -0.76f}, { 1.95f, -0.41f}, { 5.65f, -1.05f}, { 4.36f, -5.01f}}, {{-5.31f, -3.62f}, {-5.58f, -0.06f}, { 2.85f,  2.10f}, { 3.62f, -3.78f}}},  // 6
    {{{-3.09f, -4.53f}, {-1.33f,  0.57f}, { 3.15f,  3.79f}, {-0.66f,  4.15f}}, {{-0.09f, -4.53f}, {-4.65f, -0.53f}, { 4.83f,  0.49f}, {-3.18f,  3.85f}}},  // 7
    {{{-7.30f,  0.67f}, {-4.78f, -1.72f}, { 3.44f,  3.77f}, { 1.71f,  4.27f}}, {{-6.66f,  1.37f}, {-1.21f, -1.96f}, { 1.77f, -5.25f}, { 1.30f,  5.13f}}},  // 8
};
static_assert(sizeof(BezierCurves) / sizeof(BezierCurves[0]) == BezierCurveCount, "nine curve shapes");

constexpr int BezierSpriteCount = 6;      // sprites along the curve, at u = 0, 0.2, ..., 1
constexpr float BezierOpacity = 0.4f;     // constant over the whole life
constexpr int BezierLastFrame = 19;       // texture frames 0..19 of BlendTextures

class BezierFrag : public Fragment {
public:
    explicit BezierFrag(float lifetime);  // start = demoTime(); no random draw
    void draw(float time) override;

    int curveIndex = 0;  // 0..8, entry of BezierCurves
    int colorIndex = 0;  // 0..4, cool colour
};

// --- Pure geometry (pixels of a w x h window, origin bottom-left)
Point2 bezierPoint(Point2 p0, Point2 p1, Point2 p2, Point2 p3, float u);  // u 0..1
void bezierControlPoints(int curveIndex, float p, int w, int h, Point2 out[4]);  // x moves linearly, y eased
int bezierFrame(float p);                // texture frame: p x 19 truncated, 0..19
float bezierSpriteU(int sprite);         // curve parameter of sprite 0..5: 0, 0.2, ..., 1
float bezierSpriteHalfSize(int sprite);  // pixels: 50 (2 + sin 3u), 100 .. 148.7
