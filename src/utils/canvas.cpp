// Soft shapes are drawn from exact distances (to a point, a segment, a polygon edge) turned into
// coverage over a ramp of `soft` pixels: that keeps edges smooth at any size without supersampling.
#include "utils/canvas.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <stdexcept>

namespace {

float clamp01(float x) { return x < 0 ? 0 : (x > 1 ? 1 : x); }

// Coverage of a pixel whose centre lies `distance` inside the shape's edge (negative: outside).
float edgeCoverage(float inside, float soft) { return clamp01(inside / soft + 0.5f); }

void apply(float& dst, float coverage, float value, Blend mode)
{
    if (coverage <= 0) return;
    switch (mode) {
    case Blend::Max: dst = std::max(dst, coverage * value); break;
    case Blend::Add: dst += coverage * value; break;
    case Blend::Erase: dst *= 1.0f - coverage * value; break;
    case Blend::Over: dst += (value - dst) * coverage; break;
    }
}

struct Box {
    int x0, y0, x1, y1;  // inclusive-exclusive, clipped
};

Box boxAround(const Canvas& c, float minX, float minY, float maxX, float maxY)
{
    Box b;
    b.x0 = std::max(0, int(std::floor(minX)));
    b.y0 = std::max(0, int(std::floor(minY)));
    b.x1 = std::min(c.width, int(std::ceil(maxX)) + 1);
    b.y1 = std::min(c.height, int(std::ceil(maxY)) + 1);
    return b;
}

float segmentDistance(float px, float py, Vec2 a, Vec2 b, float& along)
{
    const float dx = b.x - a.x, dy = b.y - a.y;
    const float len2 = dx * dx + dy * dy;
    float t = len2 > 0 ? ((px - a.x) * dx + (py - a.y) * dy) / len2 : 0.0f;
    t = clamp01(t);
    along = t;
    const float ex = px - (a.x + dx * t), ey = py - (a.y + dy * t);
    return std::sqrt(ex * ex + ey * ey);
}

// Signed distance to a closed polygon: positive inside (non-zero winding).
float polygonDistance(float px, float py, const std::vector<Vec2>& pts)
{
    float best = 1e30f;
    int winding = 0;
    const size_t n = pts.size();
    for (size_t i = 0; i < n; ++i) {
        const Vec2 a = pts[i], b = pts[(i + 1) % n];
        float along;
        best = std::min(best, segmentDistance(px, py, a, b, along));
        const float cross = (b.x - a.x) * (py - a.y) - (px - a.x) * (b.y - a.y);
        if (a.y <= py) {
            if (b.y > py && cross > 0) ++winding;
        } else if (b.y <= py && cross < 0) {
            --winding;
        }
    }
    return winding != 0 ? best : -best;
}

}  // namespace

void paintDisc(Canvas& c, Vec2 centre, float radius, float soft, float value, Blend mode)
{
    const float reach = radius + soft;
    const Box b = boxAround(c, centre.x - reach, centre.y - reach, centre.x + reach, centre.y + reach);
    for (int y = b.y0; y < b.y1; ++y)
        for (int x = b.x0; x < b.x1; ++x) {
            const float dx = x + 0.5f - centre.x, dy = y + 0.5f - centre.y;
            apply(c.at(x, y), edgeCoverage(radius - std::sqrt(dx * dx + dy * dy), soft), value, mode);
        }
}

void paintRing(Canvas& c, Vec2 centre, float radius, float halfWidth, float soft, float value, Blend mode)
{
    const float reach = radius + halfWidth + soft;
    const Box b = boxAround(c, centre.x - reach, centre.y - reach, centre.x + reach, centre.y + reach);
    for (int y = b.y0; y < b.y1; ++y)
        for (int x = b.x0; x < b.x1; ++x) {
            const float dx = x + 0.5f - centre.x, dy = y + 0.5f - centre.y;
            const float off = std::fabs(std::sqrt(dx * dx + dy * dy) - radius);
            apply(c.at(x, y), edgeCoverage(halfWidth - off, soft), value, mode);
        }
}

void paintSegment(Canvas& c, Vec2 a, Vec2 b, float halfWidth, float soft, float value, Blend mode)
{
    const float reach = halfWidth + soft;
    const Box box = boxAround(c, std::min(a.x, b.x) - reach, std::min(a.y, b.y) - reach,
                              std::max(a.x, b.x) + reach, std::max(a.y, b.y) + reach);
    for (int y = box.y0; y < box.y1; ++y)
        for (int x = box.x0; x < box.x1; ++x) {
            float along;
            const float d = segmentDistance(x + 0.5f, y + 0.5f, a, b, along);
            apply(c.at(x, y), edgeCoverage(halfWidth - d, soft), value, mode);
        }
}

void paintStroke(Canvas& c, const std::vector<Vec2>& points, const std::vector<float>& halfWidths, float soft,
                 float value, Blend mode)
{
    if (points.empty() || halfWidths.size() != points.size()) return;
    // Coverage is the maximum over segments, gathered first so overlapping joins are not counted twice.
    float minX = 1e30f, minY = 1e30f, maxX = -1e30f, maxY = -1e30f, widest = 0;
    for (size_t i = 0; i < points.size(); ++i) {
        minX = std::min(minX, points[i].x);
        minY = std::min(minY, points[i].y);
        maxX = std::max(maxX, points[i].x);
        maxY = std::max(maxY, points[i].y);
        widest = std::max(widest, halfWidths[i]);
    }
    const float reach = widest + soft;
    const Box box = boxAround(c, minX - reach, minY - reach, maxX + reach, maxY + reach);
    if (box.x1 <= box.x0 || box.y1 <= box.y0) return;
    const int bw = box.x1 - box.x0;
    std::vector<float> cover(size_t(bw) * size_t(box.y1 - box.y0), 0.0f);
    for (size_t i = 0; i + 1 < points.size() || i == 0; ++i) {
        const Vec2 a = points[i], b = points[std::min(i + 1, points.size() - 1)];
        const float wa = halfWidths[i], wb = halfWidths[std::min(i + 1, points.size() - 1)];
        const float r = std::max(wa, wb) + soft;
        const Box seg = boxAround(c, std::min(a.x, b.x) - r, std::min(a.y, b.y) - r, std::max(a.x, b.x) + r,
                                  std::max(a.y, b.y) + r);
        for (int y = seg.y0; y < seg.y1; ++y)
            for (int x = seg.x0; x < seg.x1; ++x) {
                float along;
                const float d = segmentDistance(x + 0.5f, y + 0.5f, a, b, along);
                const float w = wa + (wb - wa) * along;
                float& slot = cover[size_t(y - box.y0) * size_t(bw) + size_t(x - box.x0)];
                slot = std::max(slot, edgeCoverage(w - d, soft));
            }
        if (points.size() == 1) break;
    }
    for (int y = box.y0; y < box.y1; ++y)
        for (int x = box.x0; x < box.x1; ++x)
            apply(c.at(x, y), cover[size_t(y - box.y0) * size_t(bw) + size_t(x - box.x0)], value, mode);
}

void paintPolygon(Canvas& c, const std::vector<Vec2>& points, float value, Blend mode)
{
    if (points.size() < 3) return;
    float minX = 1e30f, minY = 1e30f, maxX = -1e30f, maxY = -1e30f;
    for (const Vec2& p : points) {
        minX = std::min(minX, p.x);
        minY = std::min(minY, p.y);
        maxX = std::max(maxX, p.x);
        maxY = std::max(maxY, p.y);
    }
    const Box b = boxAround(c, minX - 1, minY - 1, maxX + 1, maxY + 1);
    for (int y = b.y0; y < b.y1; ++y)
        for (int x = b.x0; x < b.x1; ++x)
            apply(c.at(x, y), edgeCoverage(polygonDistance(x + 0.5f, y + 0.5f, points), 1.0f), value, mode);
}

void paintOutline(Canvas& c, const std::vector<Vec2>& points, float halfWidth, float soft, float value, Blend mode)
{
    std::vector<Vec2> closed = points;
    if (!points.empty()) closed.push_back(points.front());
    paintStroke(c, closed, std::vector<float>(closed.size(), halfWidth), soft, value, mode);
}

void gaussianBlur(Canvas& c, float sigma)
{
    const int radius = std::max(1, int(std::ceil(sigma * 3)));
    std::vector<float> kernel(size_t(2 * radius + 1));
    float sum = 0;
    for (int i = -radius; i <= radius; ++i) sum += kernel[size_t(i + radius)] = std::exp(-0.5f * i * i / (sigma * sigma));
    for (float& k : kernel) k /= sum;

    std::vector<float> tmp(c.v.size(), 0.0f);
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x) {
            float acc = 0;
            const int lo = std::max(-radius, -x), hi = std::min(radius, c.width - 1 - x);
            for (int i = lo; i <= hi; ++i) acc += kernel[size_t(i + radius)] * c.at(x + i, y);
            tmp[size_t(y) * size_t(c.width) + size_t(x)] = acc;
        }
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x) {
            float acc = 0;
            const int lo = std::max(-radius, -y), hi = std::min(radius, c.height - 1 - y);
            for (int i = lo; i <= hi; ++i) acc += kernel[size_t(i + radius)] * tmp[size_t(y + i) * size_t(c.width) + size_t(x)];
            c.at(x, y) = acc;
        }
}

void combine(Canvas& dst, const Canvas& src, float gain, Blend mode)
{
    for (size_t i = 0; i < dst.v.size() && i < src.v.size(); ++i) apply(dst.v[i], src.v[i], gain, mode);
}

void scaleValues(Canvas& c, float gain)
{
    for (float& x : c.v) x *= gain;
}

void radialFade(Canvas& c, float innerRadius, float outerRadius)
{
    const float half = 0.5f * std::min(c.width, c.height);
    const float cx = 0.5f * c.width, cy = 0.5f * c.height;
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x) {
            const float dx = x + 0.5f - cx, dy = y + 0.5f - cy;
            const float r = std::sqrt(dx * dx + dy * dy) / half;
            float w = clamp01((outerRadius - r) / (outerRadius - innerRadius));
            w = w * w * (3 - 2 * w);
            c.at(x, y) *= w;
        }
}

void clearBorder(Canvas& c, int pixels)
{
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x)
            if (x < pixels || y < pixels || x >= c.width - pixels || y >= c.height - pixels) c.at(x, y) = 0;
}

void clampValues(Canvas& c)
{
    for (float& x : c.v) x = clamp01(x);
}

uint32_t hash32(uint32_t x)
{
    x ^= x >> 16;
    x *= 0x7feb352du;
    x ^= x >> 15;
    x *= 0x846ca68bu;
    x ^= x >> 16;
    return x;
}

float hashUnit(uint32_t seed, uint32_t index)
{
    return float(hash32(seed * 0x9e3779b9u + hash32(index)) >> 8) * (1.0f / 16777216.0f);
}

float valueNoise(float x, float y, uint32_t seed)
{
    const float fx = std::floor(x), fy = std::floor(y);
    const int ix = int(fx), iy = int(fy);
    float tx = x - fx, ty = y - fy;
    tx = tx * tx * tx * (tx * (tx * 6 - 15) + 10);
    ty = ty * ty * ty * (ty * (ty * 6 - 15) + 10);
    auto corner = [seed](int cx, int cy) {
        return hashUnit(seed, uint32_t(cx) * 0x8da6b343u ^ uint32_t(cy) * 0xd8163841u);
    };
    const float a = corner(ix, iy), b = corner(ix + 1, iy), c = corner(ix, iy + 1), d = corner(ix + 1, iy + 1);
    return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

float fractalNoise(float x, float y, int octaves, uint32_t seed)
{
    float sum = 0, amp = 0.5f, norm = 0;
    for (int o = 0; o < octaves; ++o) {
        sum += amp * valueNoise(x, y, seed + uint32_t(o) * 7919u);
        norm += amp;
        x = x * 2.03f + 17.1f;
        y = y * 2.03f - 5.3f;
        amp *= 0.5f;
    }
    return sum / norm;
}

uint32_t Dice::next()
{
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
}

float Dice::unit() { return float(next() >> 8) * (1.0f / 16777216.0f); }
float Dice::range(float lo, float hi) { return lo + (hi - lo) * unit(); }
int Dice::below(int n) { return n <= 0 ? 0 : int(next() % uint32_t(n)); }

std::vector<uint8_t> toGreyBytes(const Canvas& c)
{
    std::vector<uint8_t> out(c.v.size());
    for (size_t i = 0; i < c.v.size(); ++i) out[i] = uint8_t(std::lround(clamp01(c.v[i]) * 255.0f));
    return out;
}

void writePng(const std::string& path, int width, int height, int channels, const std::vector<uint8_t>& bytes)
{
    const int colorType = channels == 1 ? PNG_COLOR_TYPE_GRAY
                          : channels == 3 ? PNG_COLOR_TYPE_RGB
                          : channels == 4 ? PNG_COLOR_TYPE_RGBA
                                          : -1;
    if (colorType < 0 || bytes.size() != size_t(width) * size_t(height) * size_t(channels))
        throw std::runtime_error("writePng: bad image layout for " + path);
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!file) throw std::runtime_error("can't write " + path);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        throw std::runtime_error("libpng: no write structures");
    }
    std::vector<png_bytep> rows(static_cast<size_t>(height));
    for (int y = 0; y < height; ++y)
        rows[size_t(y)] = const_cast<png_bytep>(bytes.data() + size_t(y) * size_t(width) * size_t(channels));
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("libpng failed writing " + path);
    }
    png_init_io(png, file.get());
    png_set_compression_level(png, 9);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, colorType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fflush(file.get()) != 0) throw std::runtime_error("can't write " + path);
}

void paintLayer(std::vector<float>& rgb, const Canvas& layer, Tint colour, bool additive)
{
    const float col[3] = {colour.r / 255.0f, colour.g / 255.0f, colour.b / 255.0f};
    for (size_t i = 0; i < layer.v.size(); ++i) {
        const float a = std::min(1.0f, std::max(0.0f, layer.v[i]));
        float* px = &rgb[i * 3];
        for (int k = 0; k < 3; ++k) px[k] = additive ? px[k] + col[k] * a : px[k] * (1 - a) + col[k] * a;
    }
}
