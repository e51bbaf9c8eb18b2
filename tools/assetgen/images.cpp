// How the images are drawn. Every mask fades to black well before its border: the show draws them as
// alpha masks on squares that turn, so any grey left at an edge would show the square.
#include "images.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "utils/canvas.h"
#include "utils/typeset.h"

namespace {

constexpr float Pi = 3.14159265358979f;

float smoothstep(float e0, float e1, float x)
{
    float t = (x - e0) / (e1 - e0);
    t = t < 0 ? 0 : (t > 1 ? 1 : t);
    return t * t * (3 - 2 * t);
}

Vec2 polar(Vec2 centre, float radius, float degrees)
{
    const float a = degrees * Pi / 180.0f;
    return {centre.x + radius * std::cos(a), centre.y - radius * std::sin(a)};
}

// Compresses added light into [0, 1) the way film does, so overlapping glows saturate instead of clipping.
void toneMap(Canvas& c, float exposure)
{
    for (float& v : c.v) v = 1.0f - std::exp(-exposure * v);
}

// ---------------------------------------------------------------- sparks

// A jagged line from a to b by midpoint displacement; `jag` is the first displacement as a fraction of length.
std::vector<Vec2> jaggedLine(Dice& dice, Vec2 a, Vec2 b, float jag, int levels)
{
    std::vector<Vec2> pts = {a, b};
    float amount = jag;
    for (int level = 0; level < levels; ++level) {
        std::vector<Vec2> next;
        for (size_t i = 0; i + 1 < pts.size(); ++i) {
            const Vec2 p = pts[i], q = pts[i + 1];
            const float dx = q.x - p.x, dy = q.y - p.y;
            const float len = std::sqrt(dx * dx + dy * dy);
            const float off = dice.range(-1, 1) * amount * len;
            next.push_back(p);
            next.push_back({(p.x + q.x) * 0.5f - dy / std::max(len, 1e-3f) * off,
                            (p.y + q.y) * 0.5f + dx / std::max(len, 1e-3f) * off});
        }
        next.push_back(pts.back());
        pts.swap(next);
        amount *= 0.55f;
    }
    return pts;
}

struct SparkLayers {
    Canvas core, glow;
    explicit SparkLayers(int size) : core(size, size), glow(size, size) {}
};

// One bolt with forks: a bright thin core over a wide glow, thinning towards its far end.
void bolt(SparkLayers& s, Dice& dice, Vec2 a, Vec2 b, float width, float brightness, int forks)
{
    const std::vector<Vec2> pts = jaggedLine(dice, a, b, 0.22f, 6);
    std::vector<float> widths(pts.size());
    for (size_t i = 0; i < pts.size(); ++i) widths[i] = width * (1.0f - 0.7f * float(i) / float(pts.size() - 1));
    paintStroke(s.core, pts, widths, 1.0f, brightness, Blend::Max);
    std::vector<float> wide(widths);
    for (float& w : wide) w = w * 3.0f + 1.5f;
    paintStroke(s.glow, pts, wide, 2.0f, brightness * 0.8f, Blend::Add);
    for (int f = 0; f < forks; ++f) {
        const size_t at = size_t(dice.range(0.15f, 0.7f) * float(pts.size() - 1));
        const Vec2 from = pts[at];
        const float dx = b.x - a.x, dy = b.y - a.y;
        const float turn = dice.range(25, 55) * (dice.unit() < 0.5f ? -1.0f : 1.0f) * Pi / 180.0f;
        const float len = dice.range(0.25f, 0.5f);
        const Vec2 to = {from.x + len * (dx * std::cos(turn) - dy * std::sin(turn)),
                         from.y + len * (dx * std::sin(turn) + dy * std::cos(turn))};
        bolt(s, dice, from, to, width * 0.55f, brightness * 0.8f, forks > 1 ? 1 : 0);
    }
}

void streak(SparkLayers& s, Vec2 centre, float angle, float r0, float r1, float width, float brightness)
{
    const Vec2 a = polar(centre, r0, angle), b = polar(centre, r1, angle);
    paintStroke(s.core, {a, b}, {width, 0.3f}, 1.0f, brightness, Blend::Max);
    paintStroke(s.glow, {a, b}, {width * 3 + 1, 1.0f}, 2.0f, brightness * 0.6f, Blend::Add);
}

Canvas finishSpark(SparkLayers& s, float glowSigma, float coreGlow, float exposure)
{
    const int size = s.core.width;
    const Vec2 c = {size * 0.5f, size * 0.5f};
    if (coreGlow > 0) paintDisc(s.glow, c, size * 0.05f, size * 0.05f, coreGlow, Blend::Add);
    gaussianBlur(s.glow, glowSigma);
    Canvas out = s.core;
    combine(out, s.glow, 1.0f, Blend::Add);
    toneMap(out, exposure);
    radialFade(out, 0.55f, 0.9f);
    clampValues(out);
    return out;
}

// The two rare sparks (about one flash in ten) are the showpieces: a burst and a ball of lightning.
Canvas sparkBurst()
{
    SparkLayers s(SparkSize);
    Dice dice(1001);
    const Vec2 c = {SparkSize * 0.5f, SparkSize * 0.5f};
    for (int i = 0; i < 36; ++i) {
        const float angle = i * 10.0f + dice.range(-4, 4);
        const float len = (i % 3 == 0 ? 0.46f : 0.3f) * SparkSize * dice.range(0.7f, 1.0f);
        streak(s, c, angle, 6, len, i % 3 == 0 ? 2.2f : 1.3f, 1.0f);
    }
    paintRing(s.glow, c, SparkSize * 0.22f, 2.5f, 2.0f, 0.9f, Blend::Add);
    paintRing(s.core, c, SparkSize * 0.22f, 0.8f, 1.0f, 0.8f, Blend::Max);
    for (int i = 0; i < 40; ++i) {
        const Vec2 p = polar(c, dice.range(0.1f, 0.42f) * SparkSize, dice.range(0, 360));
        paintDisc(s.core, p, dice.range(0.8f, 2.2f), 1.0f, 1.0f, Blend::Max);
        paintDisc(s.glow, p, 4.0f, 2.0f, 0.5f, Blend::Add);
    }
    paintDisc(s.core, c, 9, 4, 1.0f, Blend::Max);
    return finishSpark(s, 5.0f, 3.0f, 2.2f);
}

Canvas sparkPlasmaBall()
{
    SparkLayers s(SparkSize);
    Dice dice(1002);
    const Vec2 c = {SparkSize * 0.5f, SparkSize * 0.5f};
    const float shell = SparkSize * 0.36f;
    paintRing(s.glow, c, shell, 3.0f, 3.0f, 0.6f, Blend::Add);
    for (int i = 0; i < 9; ++i) {
        const float angle = i * 40.0f + dice.range(-12, 12);
        bolt(s, dice, polar(c, 8, angle), polar(c, shell, angle + dice.range(-25, 25)), 1.8f, 1.0f, 1);
    }
    // Crackle along the shell where the tendrils land.
    for (int i = 0; i < 6; ++i) {
        const float a0 = dice.range(0, 360);
        bolt(s, dice, polar(c, shell, a0), polar(c, shell, a0 + dice.range(30, 60)), 1.0f, 0.8f, 0);
    }
    paintDisc(s.core, c, 10, 5, 1.0f, Blend::Max);
    return finishSpark(s, 6.0f, 4.0f, 2.0f);
}

Canvas sparkForkedBolt()
{
    SparkLayers s(SparkSize);
    Dice dice(1003);
    bolt(s, dice, {SparkSize * 0.18f, SparkSize * 0.2f}, {SparkSize * 0.8f, SparkSize * 0.78f}, 2.4f, 1.0f, 3);
    bolt(s, dice, {SparkSize * 0.3f, SparkSize * 0.72f}, {SparkSize * 0.55f, SparkSize * 0.45f}, 1.2f, 0.7f, 1);
    return finishSpark(s, 5.0f, 0.0f, 2.2f);
}

Canvas sparkShower()
{
    SparkLayers s(SparkSize);
    Dice dice(1004);
    const Vec2 c = {SparkSize * 0.5f, SparkSize * 0.5f};
    for (int i = 0; i < 46; ++i) {
        const float angle = dice.range(0, 360);
        const float r0 = dice.range(4, 30), r1 = r0 + dice.range(15, 80);
        streak(s, c, angle, r0, r1, dice.range(0.8f, 1.6f), dice.range(0.6f, 1.0f));
        paintDisc(s.core, polar(c, r1 + 3, angle), 1.4f, 1.0f, 1.0f, Blend::Max);
    }
    return finishSpark(s, 4.0f, 2.0f, 2.2f);
}

Canvas sparkArcs()
{
    SparkLayers s(SparkSize);
    Dice dice(1005);
    const Vec2 c = {SparkSize * 0.5f, SparkSize * 0.5f};
    for (int i = 0; i < 3; ++i) {
        const float r = SparkSize * (0.2f + 0.08f * i);
        const float a0 = i * 120.0f + dice.range(0, 40);
        float prev = a0;
        for (int k = 1; k <= 4; ++k) {
            const float next = a0 + k * 25.0f;
            bolt(s, dice, polar(c, r, prev), polar(c, r, next), 1.5f - 0.3f * i, 1.0f, 0);
            prev = next;
        }
    }
    paintDisc(s.core, c, 3.0f, 1.5f, 1.0f);
    return finishSpark(s, 4.0f, 0.8f, 2.2f);
}

Canvas sparkGlint()
{
    SparkLayers s(SparkSize);
    Dice dice(1006);
    const Vec2 c = {SparkSize * 0.5f, SparkSize * 0.5f};
    for (int i = 0; i < 4; ++i) streak(s, c, 45.0f + i * 90.0f, 0, SparkSize * 0.44f, 3.0f, 1.0f);
    for (int i = 0; i < 4; ++i) streak(s, c, i * 90.0f, 0, SparkSize * 0.2f, 1.5f, 0.8f);
    for (int i = 0; i < 14; ++i) {
        const Vec2 p = polar(c, dice.range(0.12f, 0.36f) * SparkSize, dice.range(0, 360));
        paintDisc(s.core, p, dice.range(0.8f, 1.8f), 1.0f, 0.9f, Blend::Max);
        paintDisc(s.glow, p, 3.0f, 2.0f, 0.6f, Blend::Add);
    }
    paintRing(s.glow, c, SparkSize * 0.12f, 4.0f, 4.0f, 0.35f, Blend::Add);
    return finishSpark(s, 7.0f, 4.0f, 1.8f);
}

// ---------------------------------------------------------------- ink blot

// One frame of a blot that lands as a dense drop, spreads with fingered edges, forms a darker rim
// as it dries, and breaks up into specks; `s` runs from 0 (first frame) to 1 (last).
Canvas inkBlot(float s)
{
    Canvas c(BlotSize, BlotSize);
    const float spread = 1.0f - (1.0f - s) * (1.0f - s);
    const Vec2 centre = {BlotSize * 0.5f + 7.0f * std::sin(s * 3.0f), BlotSize * 0.5f + 5.0f * std::cos(s * 2.3f)};
    const float radius = 28.0f + 46.0f * spread;
    const float fingering = 0.3f + 0.25f * s;
    const float soft = 0.07f + 0.1f * s;
    for (int y = 0; y < BlotSize; ++y)
        for (int x = 0; x < BlotSize; ++x) {
            const float px = x + 0.5f, py = y + 0.5f;
            const float qx = (px - centre.x) / radius, qy = (py - centre.y) / radius;
            // The edge wanders with noise that drifts a little per frame, so the blot grows rather than flickers.
            const float warp = fractalNoise(px * 0.021f + 1.5f * s, py * 0.021f - 1.1f * s, 4, 77) - 0.5f;
            // Splash spikes: a noise of the direction only, sharpened so a few rays stand out. They are
            // thrown at landing and soak back into the body as it spreads.
            const float len = std::sqrt(qx * qx + qy * qy) + 1e-6f;
            const float ray = valueNoise(qx / len * 3.1f + 7.0f, qy / len * 3.1f + 7.0f, 123);
            const float spikes = std::pow(ray, 4.0f) * (0.9f - 0.7f * s);
            const float d = len + warp * fingering * 2.0f - spikes * smoothstep(0.6f, 1.1f, len);
            const float body = smoothstep(1.0f + soft, 1.0f - soft, d);
            const float rim = std::exp(-((d - 0.9f) / 0.09f) * ((d - 0.9f) / 0.09f));
            const float grain = 0.72f + 0.28f * fractalNoise(px * 0.09f, py * 0.09f, 3, 91);
            // Wet ink pools unevenly: slow blotches of darker and lighter, fading as it dries.
            const float pooling = 0.8f + 0.4f * fractalNoise(px * 0.03f - 2.0f * s, py * 0.03f, 2, 808) * (1.0f - 0.5f * s);
            float ink = body * (1.0f - 0.6f * s) * pooling + rim * body * 0.55f * s;
            if (s > 0.45f) {
                const float holes = fractalNoise(px * 0.035f + s, py * 0.035f, 4, 55);
                ink *= smoothstep((s - 0.45f) * 0.9f, (s - 0.45f) * 0.9f + 0.12f, holes);
            }
            c.at(x, y) = ink * grain;
        }
    // Satellite drops thrown off the landing; they appear early and soak away late.
    Dice dice(4242);
    const float dropLife = smoothstep(0.05f, 0.2f, s) * (1.0f - smoothstep(0.75f, 1.0f, s));
    for (int i = 0; i < 12; ++i) {
        const float angle = dice.range(0, 360), dist = dice.range(1.05f, 1.45f), r = dice.range(2.0f, 7.0f);
        paintDisc(c, polar(centre, radius * dist, angle), r * (0.6f + 0.6f * spread), 1.5f, 0.8f * dropLife, Blend::Max);
    }
    gaussianBlur(c, 1.0f + 1.6f * s);
    radialFade(c, 0.7f, 0.9f);
    clampValues(c);
    return c;
}

// ---------------------------------------------------------------- typography textures

constexpr Vec2 PosterCentre = {PosterSize * 0.5f, PosterSize * 0.5f};

// A brush-drawn ring (thick where the brush lands, dry and broken where it lifts), a fine inner
// circle and a dial of ticks.
Canvas ring()
{
    Canvas c(PosterSize, PosterSize);
    const float startDeg = -100.0f, sweep = 330.0f;
    for (int y = 0; y < PosterSize; ++y)
        for (int x = 0; x < PosterSize; ++x) {
            const float dx = x + 0.5f - PosterCentre.x, dy = PosterCentre.y - (y + 0.5f);
            const float r = std::sqrt(dx * dx + dy * dy);
            if (r < 250 || r > 440) continue;
            float deg = std::atan2(dy, dx) * 180.0f / Pi - startDeg;
            while (deg < 0) deg += 360.0f;
            const float u = deg / sweep;
            if (u > 1.0f) continue;
            const float centreR = 352.0f + 10.0f * std::sin(u * 5.0f);
            const float halfW = 64.0f * (1.0f - 0.72f * u) * smoothstep(0.0f, 0.04f, u);
            const float across = std::fabs(r - centreR);
            const float cover = smoothstep(halfW + 1.5f, halfW - 1.5f, across);
            // Bristle streaks run along the stroke: noise stretched along the angle, sharp across it.
            const float bristle = fractalNoise(r * 0.22f, u * 6.0f, 3, 303);
            const float dry = smoothstep(0.0f, 1.0f, (u - 0.45f) / 0.55f) * 0.62f;
            const float ink = smoothstep(dry - 0.04f, dry + 0.04f, bristle);
            c.at(x, y) = cover * (0.82f + 0.18f * ink) * ink;
        }
    paintRing(c, PosterCentre, 262.0f, 3.0f, 1.0f, 1.0f);
    for (int i = 0; i < 72; ++i) {
        const float deg = i * 5.0f;
        const float outer = i % 6 == 0 ? 478.0f : 462.0f;
        paintSegment(c, polar(PosterCentre, 448.0f, deg), polar(PosterCentre, outer, deg), i % 6 == 0 ? 3.0f : 1.6f,
                     1.0f, 1.0f);
    }
    paintDisc(c, PosterCentre, 12.0f, 1.0f, 1.0f);
    clearBorder(c, 2);
    return c;
}

std::vector<Vec2> catmullRom(const std::vector<Vec2>& ctrl, int stepsPerSpan)
{
    std::vector<Vec2> out;
    for (size_t i = 0; i + 1 < ctrl.size(); ++i) {
        const Vec2 p0 = ctrl[i == 0 ? 0 : i - 1], p1 = ctrl[i], p2 = ctrl[i + 1];
        const Vec2 p3 = ctrl[std::min(i + 2, ctrl.size() - 1)];
        for (int k = 0; k < stepsPerSpan; ++k) {
            const float t = float(k) / stepsPerSpan, t2 = t * t, t3 = t2 * t;
            auto f = [&](float a, float b, float cc, float d) {
                return 0.5f * (2 * b + (-a + cc) * t + (2 * a - 5 * b + 4 * cc - d) * t2 + (-a + 3 * b - 3 * cc + d) * t3);
            };
            out.push_back({f(p0.x, p1.x, p2.x, p3.x), f(p0.y, p1.y, p2.y, p3.y)});
        }
    }
    out.push_back(ctrl.back());
    return out;
}

// A route drawn with a pen that swells and thins, a dashed echo beside it, and its marks.
Canvas path(Typesetter& type)
{
    Canvas c(PosterSize, PosterSize);
    const std::vector<Vec2> ctrl = {{150, 850}, {330, 760}, {250, 540}, {400, 360}, {620, 420}, {600, 640},
                                    {420, 600}, {560, 300}, {800, 240}, {880, 420}, {860, 620}};
    const std::vector<Vec2> pts = catmullRom(ctrl, 40);
    std::vector<float> widths(pts.size());
    for (size_t i = 0; i < pts.size(); ++i) {
        const float t = float(i) / float(pts.size() - 1);
        widths[i] = 5.0f + 17.0f * std::pow(std::sin(Pi * t), 0.7f) * (0.75f + 0.25f * std::sin(t * 19.0f));
    }
    paintStroke(c, pts, widths, 1.2f, 1.0f);
    // Dashes follow the normal of the path at a fixed distance.
    float run = 0;
    for (size_t i = 1; i + 1 < pts.size(); ++i) {
        const float dx = pts[i + 1].x - pts[i - 1].x, dy = pts[i + 1].y - pts[i - 1].y;
        const float len = std::sqrt(dx * dx + dy * dy);
        const Vec2 a = {pts[i].x - dy / len * 48.0f, pts[i].y + dx / len * 48.0f};
        const Vec2 b = {pts[i + 1].x - dy / len * 48.0f, pts[i + 1].y + dx / len * 48.0f};
        run += len * 0.5f;
        if (std::fmod(run, 34.0f) < 20.0f) paintSegment(c, a, b, 2.6f, 1.0f, 0.85f);
    }
    paintRing(c, ctrl.front(), 30.0f, 5.0f, 1.0f, 1.0f);
    paintDisc(c, ctrl.front(), 13.0f, 1.0f, 1.0f);
    const Vec2 end = ctrl.back(), before = pts[pts.size() - 6];
    const float ex = end.x - before.x, ey = end.y - before.y, el = std::sqrt(ex * ex + ey * ey);
    const Vec2 dir = {ex / el, ey / el}, side = {-dir.y, dir.x};
    paintPolygon(c, {{end.x + dir.x * 48, end.y + dir.y * 48},
                     {end.x + side.x * 30 - dir.x * 10, end.y + side.y * 30 - dir.y * 10},
                     {end.x - side.x * 30 - dir.x * 10, end.y - side.y * 30 - dir.y * 10}},
                 1.0f);
    const char* const labels[] = {"A", "B", "C"};
    const int marks[] = {3, 6, 8};
    for (int i = 0; i < 3; ++i) {
        const Vec2 m = ctrl[size_t(marks[i])];
        paintSegment(c, {m.x - 16, m.y - 16}, {m.x + 16, m.y + 16}, 3.0f, 1.0f, 1.0f);
        paintSegment(c, {m.x - 16, m.y + 16}, {m.x + 16, m.y - 16}, 3.0f, 1.0f, 1.0f);
        TextStyle label;
        label.font = FontStyle::MonoBold;
        label.size = 44;
        type.draw(c, labels[i], {m.x + 26, m.y - 22}, label);
    }
    clearBorder(c, 2);
    return c;
}

std::vector<Vec2> starPoints(Vec2 centre, float outer, float inner, int points, float rotationDeg)
{
    std::vector<Vec2> pts;
    for (int i = 0; i < points * 2; ++i)
        pts.push_back(polar(centre, i % 2 == 0 ? outer : inner, rotationDeg + 90.0f + i * 180.0f / points));
    return pts;
}

// A bold five-pointed star with an engraved inner line, a fine outer contour and a halo of points.
Canvas star()
{
    Canvas c(PosterSize, PosterSize);
    const Vec2 centre = {PosterCentre.x, PosterCentre.y + 30};
    paintPolygon(c, starPoints(centre, 380, 152, 5, 0), 1.0f);
    paintOutline(c, starPoints(centre, 318, 127, 5, 0), 6.0f, 1.0f, 1.0f, Blend::Erase);
    paintOutline(c, starPoints(centre, 446, 178, 5, 0), 2.5f, 1.0f, 1.0f);
    for (int i = 0; i < 5; ++i) {
        const Vec2 p = polar(centre, 250, 90.0f + 36.0f + i * 72.0f);
        paintDisc(c, p, 9, 1.0f, 1.0f);
        const Vec2 q = polar(centre, 470, 90.0f + 36.0f + i * 72.0f);
        paintPolygon(c, starPoints(q, 22, 8, 4, 0), 1.0f);
    }
    clearBorder(c, 2);
    return c;
}

// A monumental capital M with its outline echoed behind it.
Canvas letterM(Typesetter& type)
{
    Canvas c(PosterSize, PosterSize);
    TextStyle echo;
    echo.font = FontStyle::SansBold;
    echo.size = 760;
    echo.outline = 7;
    echo.value = 0.6f;
    type.drawCentred(c, "M", {PosterCentre.x + 44, PosterCentre.y - 50}, echo);
    TextStyle solid = echo;
    solid.outline = 0;
    solid.value = 1.0f;
    type.drawCentred(c, "M", {PosterCentre.x - 20, PosterCentre.y + 20}, solid);
    TextStyle tag;
    tag.font = FontStyle::MonoBold;
    tag.size = 40;
    type.draw(c, "m/0", {90, 960}, tag);
    clearBorder(c, 2);
    return c;
}

// An italic ampersand inside a fine circle: the mark that ties the words together.
Canvas ampersand(Typesetter& type)
{
    Canvas c(PosterSize, PosterSize);
    paintRing(c, PosterCentre, 440, 3.0f, 1.0f, 1.0f);
    paintRing(c, PosterCentre, 420, 1.2f, 1.0f, 0.7f);
    TextStyle amp;
    amp.font = FontStyle::SerifBoldItalic;
    amp.size = 760;
    type.drawCentred(c, "&", {PosterCentre.x - 10, PosterCentre.y + 10}, amp);
    TextStyle tag;
    tag.font = FontStyle::MonoBold;
    tag.size = 38;
    type.drawCentred(c, "N\xC2\xB0" "2", {PosterCentre.x, 905}, tag);
    clearBorder(c, 2);
    return c;
}

// Fits a run into `width` pixels by its advance.
TextStyle fitted(Typesetter& type, const std::string& text, TextStyle style, float width)
{
    style.size = style.size * width / type.advance(text, style);
    return style;
}

// Left-aligned run whose cap height tops out at `top`.
void drawFromTop(Typesetter& type, Canvas& c, const std::string& text, float left, float top, const TextStyle& s)
{
    type.draw(c, text, {left, top + type.capHeight(s)}, s);
}

Canvas posterBass(Typesetter& type)
{
    Canvas c(PosterSize, PosterSize);
    TextStyle big;
    big.font = FontStyle::SansBold;
    big = fitted(type, "BASS", big, 840);
    TextStyle ghost = big;
    ghost.outline = 5;
    ghost.value = 0.55f;
    drawFromTop(type, c, "BASS", 96, 110, ghost);
    drawFromTop(type, c, "BASS", 92, 330, big);
    const float below = 330 + type.capHeight(big) + 34;
    paintSegment(c, {92, below}, {932, below}, 9, 1.0f, 1.0f);
    TextStyle date;
    date.font = FontStyle::MonoBold;
    date = fitted(type, "30\xC2\xB7" "08\xC2\xB7" "08", date, 520);
    drawFromTop(type, c, "30\xC2\xB7" "08\xC2\xB7" "08", 92, below + 40, date);
    TextStyle small;
    small.font = FontStyle::SansLight;
    small.size = 40;
    const char* const lines[] = {"low end", "high voltage", "in F minor"};
    for (int i = 0; i < 3; ++i) {
        const float w = type.advance(lines[i], small);
        drawFromTop(type, c, lines[i], 932 - w, below + 42 + i * 52.0f, small);
    }
    for (int i = 0; i < 6; ++i) {
        const float x = 110 + i * 28.0f;
        paintSegment(c, {x, 70}, {x + 14, 70}, 2.0f, 1.0f, 1.0f);
    }
    clearBorder(c, 2);
    return c;
}

Canvas posterFragments(Typesetter& type)
{
    Canvas c(PosterSize, PosterSize);
    TextStyle vertical;
    vertical.font = FontStyle::SansCondensedBold;
    vertical = fitted(type, "FRAGMENTS", vertical, 860);
    vertical.angle = 90;
    type.draw(c, "FRAGMENTS", {250, 942}, vertical);
    paintSegment(c, {290, 82}, {290, 942}, 3.0f, 1.0f, 1.0f);
    TextStyle word;
    word.font = FontStyle::SansBold;
    word = fitted(type, "SOUND", word, 560);
    drawFromTop(type, c, "SOUND", 350, 150, word);
    TextStyle amp;
    amp.font = FontStyle::SerifBoldItalic;
    amp.size = 300;
    amp.outline = 6;
    drawFromTop(type, c, "&", 360, 360, amp);
    TextStyle light = word;
    light = fitted(type, "LIGHT", light, 560);
    drawFromTop(type, c, "LIGHT", 350, 640, light);
    TextStyle small;
    small.font = FontStyle::MonoBold;
    small.size = 30;
    drawFromTop(type, c, "real time", 640, 420, small);
    drawFromTop(type, c, "1024\xC3\x97" "768", 640, 465, small);
    drawFromTop(type, c, "36 images", 640, 510, small);
    drawFromTop(type, c, "1 track", 640, 555, small);
    clearBorder(c, 2);
    return c;
}

Canvas posterWords(Typesetter& type)
{
    Canvas c(PosterSize, PosterSize);
    TextStyle outline;
    outline.font = FontStyle::SansBold;
    outline = fitted(type, "LIGHT", outline, 820);
    outline.outline = 7;
    drawFromTop(type, c, "LIGHT", 110, 90, outline);
    paintSegment(c, {110, 355}, {930, 355}, 3.0f, 1.0f, 1.0f);
    TextStyle serif;
    serif.font = FontStyle::SerifBoldItalic;
    serif = fitted(type, "motion", serif, 640);
    drawFromTop(type, c, "motion", 290, 400, serif);
    paintSegment(c, {110, 630}, {930, 630}, 3.0f, 1.0f, 1.0f);
    TextStyle solid;
    solid.font = FontStyle::SansCondensedBold;
    solid = fitted(type, "SOUND", solid, 820);
    drawFromTop(type, c, "SOUND", 110, 670, solid);
    TextStyle num;
    num.font = FontStyle::MonoBold;
    num.size = 34;
    drawFromTop(type, c, "01", 110, 410, num);
    drawFromTop(type, c, "02", 110, 460, num);
    drawFromTop(type, c, "03", 110, 510, num);
    clearBorder(c, 2);
    return c;
}

Canvas posterTempo(Typesetter& type)
{
    Canvas c(PosterSize, PosterSize);
    const Vec2 ringCentre = {470, 470};
    paintRing(c, ringCentre, 390, 4.0f, 1.0f, 1.0f);
    for (int i = 0; i < 16; ++i)
        paintDisc(c, polar(ringCentre, 390, 90.0f - i * 22.5f), i % 4 == 0 ? 14.0f : 7.0f, 1.0f, 1.0f);
    TextStyle digits;
    digits.font = FontStyle::SansCondensedBold;
    digits = fitted(type, "187", digits, 640);
    type.drawCentred(c, "187", {ringCentre.x, ringCentre.y}, digits);
    TextStyle bpm;
    bpm.font = FontStyle::SansBold;
    bpm.size = 110;
    bpm.angle = 90;
    type.draw(c, "BPM", {960, 700}, bpm);
    TextStyle caption;
    caption.font = FontStyle::MonoBold;
    caption.size = 30;
    type.draw(c, "beats per minute \xC2\xB7 F minor \xC2\xB7 44.1 kHz", {120, 950}, caption);
    clearBorder(c, 2);
    return c;
}

// ---------------------------------------------------------------- closing card

ImageFile endCard(Typesetter& type)
{
    const int n = EndCardSize;
    std::vector<float> rgb(size_t(n) * size_t(n) * 3, 0.0f);
    const Vec2 centre = {n * 0.5f, n * 0.44f};

    Canvas glow(n, n);
    paintDisc(glow, centre, 150, 60, 0.55f);
    gaussianBlur(glow, 30);
    paintLayer(rgb, glow, {176, 62, 25}, true);

    Canvas ringLayer(n, n);
    paintRing(ringLayer, centre, 168, 1.6f, 1.0f, 1.0f);
    for (int i = 0; i < 48; ++i)
        paintSegment(ringLayer, polar(centre, 176, i * 7.5f), polar(centre, i % 4 == 0 ? 188.0f : 182.0f, i * 7.5f), 1.0f,
                     1.0f, 0.8f);
    paintLayer(rgb, ringLayer, {204, 136, 58}, false);

    Canvas sparks(n, n);
    Dice dice(5150);
    for (int i = 0; i < 26; ++i) {
        const Vec2 p = polar(centre, dice.range(185, 215), dice.range(20, 160));
        paintDisc(sparks, p, dice.range(0.8f, 2.0f), 1.0f, dice.range(0.5f, 1.0f));
    }
    paintLayer(rgb, sparks, {114, 187, 163}, true);

    Canvas title(n, n);
    TextStyle t;
    t.font = FontStyle::SansCondensedBold;
    t = fitted(type, "FRAGMENTS", t, 300);
    type.drawCentred(title, "FRAGMENTS", {centre.x, centre.y - 12}, t);
    paintLayer(rgb, title, {250, 236, 214}, false);

    Canvas ending(n, n);
    TextStyle e;
    e.font = FontStyle::SerifBoldItalic;
    e.size = 40;
    type.drawCentred(ending, "the end", {centre.x, centre.y + 52}, e);
    paintLayer(rgb, ending, {204, 136, 58}, false);

    Canvas sub(n, n);
    TextStyle s;
    s.font = FontStyle::MonoBold;
    s.size = 17;
    s.tracking = 2;
    type.drawCentred(sub, "bass \xC2\xB7 30.08.08", {centre.x, centre.y + 98}, s);
    paintLayer(rgb, sub, {114, 187, 163}, false);

    Canvas credits(n, n);
    paintSegment(credits, {n * 0.5f - 90, 432}, {n * 0.5f + 90, 432}, 0.8f, 1.0f, 0.6f);
    TextStyle cr;
    cr.font = FontStyle::SansCondensedBold;
    cr.size = 16;
    cr.tracking = 1;
    type.drawCentred(credits, "code, images & music by the fragments crew", {n * 0.5f, 458}, cr);
    paintLayer(rgb, credits, {178, 178, 178}, false);

    ImageFile out;
    out.name = "end.png";
    out.width = out.height = n;
    out.channels = 3;
    out.bytes.resize(rgb.size());
    for (size_t i = 0; i < rgb.size(); ++i)
        out.bytes[i] = uint8_t(std::lround(std::min(1.0f, std::max(0.0f, rgb[i])) * 255.0f));
    return out;
}

ImageFile fromCanvas(const std::string& name, const Canvas& c)
{
    ImageFile f;
    f.name = name;
    f.width = c.width;
    f.height = c.height;
    f.channels = 1;
    f.bytes = toGreyBytes(c);
    return f;
}

}  // namespace

std::vector<std::string> showImageNames()
{
    std::vector<std::string> names;
    for (int i = 0; i < 6; ++i) names.push_back("ec" + std::to_string(i) + ".png");
    for (int i = 0; i < 20; ++i) names.push_back(std::string("blend") + (i < 10 ? "0" : "") + std::to_string(i) + ".png");
    for (const char* n : {"big-circle.png", "path1.png", "typo1.png", "typo2.png", "typo3.png", "star.png", "typo0.png",
                          "m0.png", "l2.png", "end.png"})
        names.push_back(n);
    return names;
}

ImageFile drawShowImage(const std::string& name, Typesetter& type)
{
    if (name == "ec0.png") return fromCanvas(name, sparkBurst());
    if (name == "ec1.png") return fromCanvas(name, sparkPlasmaBall());
    if (name == "ec2.png") return fromCanvas(name, sparkForkedBolt());
    if (name == "ec3.png") return fromCanvas(name, sparkShower());
    if (name == "ec4.png") return fromCanvas(name, sparkArcs());
    if (name == "ec5.png") return fromCanvas(name, sparkGlint());
    if (name.size() == 11 && name.compare(0, 5, "blend") == 0) {
        const int frame = std::stoi(name.substr(5, 2));
        if (frame < 20) return fromCanvas(name, inkBlot(float(frame) / 19.0f));
    }
    if (name == "big-circle.png") return fromCanvas(name, ring());
    if (name == "path1.png") return fromCanvas(name, path(type));
    if (name == "star.png") return fromCanvas(name, star());
    if (name == "m0.png") return fromCanvas(name, letterM(type));
    if (name == "l2.png") return fromCanvas(name, ampersand(type));
    if (name == "typo0.png") return fromCanvas(name, posterBass(type));
    if (name == "typo1.png") return fromCanvas(name, posterFragments(type));
    if (name == "typo2.png") return fromCanvas(name, posterWords(type));
    if (name == "typo3.png") return fromCanvas(name, posterTempo(type));
    if (name == "end.png") return endCard(type);
    throw std::runtime_error("no drawing for " + name);
}

ImageFile contactSheet(const std::vector<ImageFile>& images, Typesetter& type)
{
    constexpr int Columns = 6, Cell = 200, Label = 26, Pad = 8;
    const int rows = (int(images.size()) + Columns - 1) / Columns;
    const int w = Columns * Cell, h = rows * (Cell + Label);
    std::vector<float> rgb(size_t(w) * size_t(h) * 3, 0.07f);
    for (size_t i = 0; i < images.size(); ++i) {
        const ImageFile& im = images[i];
        const int ox = int(i % Columns) * Cell + Pad, oy = int(i / Columns) * (Cell + Label) + Pad;
        const int side = Cell - 2 * Pad;
        // Masks in the colours the show gives them: cool sparks and blots, warm typography.
        const Tint tint = im.name.compare(0, 2, "ec") == 0      ? Tint{114, 187, 163}
                         : im.name.compare(0, 5, "blend") == 0 ? Tint{180, 225, 162}
                                                               : Tint{204, 136, 58};
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                // Area average over the source pixels that fall in this sheet pixel.
                const int sx0 = x * im.width / side, sx1 = std::max(sx0 + 1, (x + 1) * im.width / side);
                const int sy0 = y * im.height / side, sy1 = std::max(sy0 + 1, (y + 1) * im.height / side);
                float acc[3] = {0, 0, 0};
                for (int sy = sy0; sy < sy1; ++sy)
                    for (int sx = sx0; sx < sx1; ++sx) {
                        const uint8_t* p = &im.bytes[(size_t(sy) * size_t(im.width) + size_t(sx)) * size_t(im.channels)];
                        if (im.channels == 1) {
                            acc[0] += p[0] / 255.0f * tint.r / 255.0f;
                            acc[1] += p[0] / 255.0f * tint.g / 255.0f;
                            acc[2] += p[0] / 255.0f * tint.b / 255.0f;
                        } else {
                            for (int k = 0; k < 3; ++k) acc[k] += p[k] / 255.0f;
                        }
                    }
                const float n = float((sx1 - sx0) * (sy1 - sy0));
                float* px = &rgb[(size_t(oy + y) * size_t(w) + size_t(ox + x)) * 3];
                for (int k = 0; k < 3; ++k) px[k] = acc[k] / n;
            }
        Canvas label(Cell, Label);
        TextStyle s;
        s.font = FontStyle::MonoBold;
        s.size = 15;
        type.drawCentred(label, im.name, {Cell * 0.5f, Label * 0.45f}, s);
        const int ly = int(i / Columns) * (Cell + Label) + Cell;
        for (int y = 0; y < Label; ++y)
            for (int x = 0; x < Cell; ++x) {
                float* px = &rgb[(size_t(ly + y) * size_t(w) + size_t(int(i % Columns) * Cell + x)) * 3];
                for (int k = 0; k < 3; ++k) px[k] = std::max(px[k], label.at(x, y) * 0.85f);
            }
    }
    ImageFile sheet;
    sheet.name = "contact-sheet.png";
    sheet.width = w;
    sheet.height = h;
    sheet.channels = 3;
    sheet.bytes.resize(rgb.size());
    for (size_t i = 0; i < rgb.size(); ++i)
        sheet.bytes[i] = uint8_t(std::lround(std::min(1.0f, std::max(0.0f, rgb[i])) * 255.0f));
    return sheet;
}

ImageFile appIcon(int size)
{
    if (size < 16 || size > PosterSize) throw std::runtime_error("icon size wants 16..1024 pixels");
    // Drawn at poster size with premultiplied colour, then area-averaged down, so small sizes stay smooth.
    constexpr int n = PosterSize;
    const Canvas ringLayer = ring();
    Canvas starLayer(n, n);
    const Vec2 centre = {PosterCentre.x, PosterCentre.y + 12};
    paintPolygon(starLayer, starPoints(centre, 215, 86, 5, 0), 1.0f);
    paintOutline(starLayer, starPoints(centre, 178, 71, 5, 0), 5.0f, 1.0f, 1.0f, Blend::Erase);

    std::vector<float> rgba(size_t(n) * size_t(n) * 4, 0.0f);
    constexpr float Half = n * 0.5f - 16, Corner = 180;
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            // Distance outside the rounded square, negative inside.
            const float qx = std::fabs(x + 0.5f - PosterCentre.x) - (Half - Corner);
            const float qy = std::fabs(y + 0.5f - PosterCentre.y) - (Half - Corner);
            const float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f)) +
                                  std::min(std::max(qx, qy), 0.0f) - Corner;
            const size_t i = size_t(y) * size_t(n) + size_t(x);
            const float box = smoothstep(1.0f, -1.0f, outside);
            float* px = &rgba[i * 4];
            px[3] = box;
            const std::pair<float, Tint> layers[] = {{ringLayer.v[i], {114, 187, 163}}, {starLayer.v[i], {204, 136, 58}}};
            for (const auto& [cover, colour] : layers) {
                const float a = std::min(1.0f, std::max(0.0f, cover)) * box;
                const float col[3] = {colour.r / 255.0f, colour.g / 255.0f, colour.b / 255.0f};
                for (int k = 0; k < 3; ++k) px[k] = px[k] * (1 - a) + col[k] * a;
            }
        }

    ImageFile out;
    out.name = "show.png";
    out.width = out.height = size;
    out.channels = 4;
    out.bytes.resize(size_t(size) * size_t(size) * 4);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const int sx0 = x * n / size, sx1 = std::max(sx0 + 1, (x + 1) * n / size);
            const int sy0 = y * n / size, sy1 = std::max(sy0 + 1, (y + 1) * n / size);
            float acc[4] = {0, 0, 0, 0};
            for (int sy = sy0; sy < sy1; ++sy)
                for (int sx = sx0; sx < sx1; ++sx)
                    for (int k = 0; k < 4; ++k) acc[k] += rgba[(size_t(sy) * size_t(n) + size_t(sx)) * 4 + size_t(k)];
            const float count = float((sx1 - sx0) * (sy1 - sy0)), alpha = acc[3] / count;
            uint8_t* px = &out.bytes[(size_t(y) * size_t(size) + size_t(x)) * 4];
            for (int k = 0; k < 3; ++k)
                px[k] = alpha > 0 ? uint8_t(std::lround(std::min(1.0f, acc[k] / count / alpha) * 255.0f)) : 0;
            px[3] = uint8_t(std::lround(std::min(1.0f, alpha) * 255.0f));
        }
    return out;
}
