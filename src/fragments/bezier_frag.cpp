// BezierFrag. Everything is recomputed from the table on each draw: the window size may be read
// afresh, and six sprites cost less than any cache would save.
#include "fragments/bezier_frag.h"

#include <algorithm>
#include <cmath>

#include "utils/draw.h"
#include "utils/texture.h"
#include "utils/texture_library.h"
#include "utils/video.h"

namespace {
// Exact literals rather than an accumulated step: the last sprite must sit at u = 1.
constexpr float SpriteU[BezierSpriteCount] = {0.0f, 0.2f, 0.4f, 0.6f, 0.8f, 1.0f};

float designToPixelX(float v, int w) { return (v + 4.0f) * 0.125f * float(w); }
float designToPixelY(float v, int h) { return (v + 3.0f) / 6.0f * float(h); }
}  // namespace

BezierFrag::BezierFrag(float life) : Fragment(life) {}

Point2 bezierPoint(Point2 p0, Point2 p1, Point2 p2, Point2 p3, float u)
{
    const float v = 1.0f - u;
    const float b0 = v * v * v;
    const float b1 = 3.0f * u * v * v;
    const float b2 = 3.0f * u * u * v;
    const float b3 = u * u * u;
    return {b0 * p0.x + b1 * p1.x + b2 * p2.x + b3 * p3.x, b0 * p0.y + b1 * p1.y + b2 * p2.y + b3 * p3.y};
}

void bezierControlPoints(int curveIndex, float p, int w, int h, Point2 out[4])
{
    const BezierCurve& curve = BezierCurves[curveIndex];
    const float e = easeOut(p);
    for (int i = 0; i < 4; ++i) {
        const float fx = designToPixelX(curve.from[i].x, w), tx = designToPixelX(curve.to[i].x, w);
        const float fy = designToPixelY(curve.from[i].y, h), ty = designToPixelY(curve.to[i].y, h);
        out[i] = {fx + (tx - fx) * p, fy + (ty - fy) * e};
    }
}

int bezierFrame(float p)
{
    // Progress stays in [0, 1] while the list draws a fragment; the clamp only keeps a clock that
    // ran backwards from indexing outside the blend set.
    return std::clamp(int(p * float(BezierLastFrame)), 0, BezierLastFrame);
}

float bezierSpriteU(int sprite) { return SpriteU[sprite]; }

float bezierSpriteHalfSize(int sprite) { return 50.0f * (2.0f + std::sin(3.0f * SpriteU[sprite])); }

void BezierFrag::draw(float time)
{
    const float p = progress(*this, time);
    Point2 c[4];
    bezierControlPoints(curveIndex, p, screenWidth(), screenHeight(), c);
    setFragmentColor(colorIndex, BezierOpacity);
    const uint32_t texture = BlendTextures[bezierFrame(p)];
    bindTexture(texture);
    const CoverMesh& cover = textureCover(texture);
    for (int i = 0; i < BezierSpriteCount; ++i) {
        const Point2 at = bezierPoint(c[0], c[1], c[2], c[3], SpriteU[i]);
        const float half = bezierSpriteHalfSize(i);
        drawTexturedMesh(cover, at.x - half, at.y - half, at.x + half, at.y + half);
    }
    disableTexturing();
}
