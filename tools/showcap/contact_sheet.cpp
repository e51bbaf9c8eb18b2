// Contact sheet. Thumbnails are box-filtered (the average of each Shrink x Shrink block), so thin
// bright effects stay visible instead of aliasing away; labels use a built-in 3x5 digit font.
#include "contact_sheet.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "frame_sink.h"

namespace {
// 3x5 glyphs, one row of three bits a line, top row first.
struct Glyph {
    char c;
    uint8_t rows[5];
};
constexpr Glyph Font[] = {
    {'0', {7, 5, 5, 5, 7}}, {'1', {2, 6, 2, 2, 7}}, {'2', {7, 1, 7, 4, 7}}, {'3', {7, 1, 7, 1, 7}},
    {'4', {5, 5, 7, 1, 1}}, {'5', {7, 4, 7, 1, 7}}, {'6', {7, 4, 7, 5, 7}}, {'7', {7, 1, 1, 1, 1}},
    {'8', {7, 5, 7, 5, 7}}, {'9', {7, 5, 7, 1, 7}}, {':', {0, 2, 0, 2, 0}}, {'.', {0, 0, 0, 0, 2}},
};
static_assert(sizeof(Font) / sizeof(Font[0]) == 12, "digits, colon and point");

constexpr int LabelScale = 2;

void drawLabel(std::vector<uint8_t>& rgb, int width, int x0, int y0, const std::string& text)
{
    int x = x0;
    for (char c : text) {
        for (const Glyph& g : Font) {
            if (g.c != c) continue;
            for (int row = 0; row < 5; ++row)
                for (int col = 0; col < 3; ++col) {
                    if (!(g.rows[row] & (4 >> col))) continue;
                    for (int dy = 0; dy < LabelScale; ++dy)
                        for (int dx = 0; dx < LabelScale; ++dx) {
                            const size_t i = (size_t(y0 + row * LabelScale + dy) * size_t(width) +
                                              size_t(x + col * LabelScale + dx)) * 3;
                            rgb[i] = rgb[i + 1] = rgb[i + 2] = 230;
                        }
                }
        }
        x += 4 * LabelScale;
    }
}
}  // namespace

std::string timeLabel(double seconds)
{
    const long tenths = std::lround(seconds * 10);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld.%ld", tenths / 600, (tenths / 10) % 60, tenths % 10);
    return text;
}

ContactSheet::ContactSheet(int frameWidth, int frameHeight, int pictureX, int pictureY, int pictureWidth,
                           int pictureHeight, int thumbWidth, int thumbHeight)
    : frameWidth_(frameWidth), frameHeight_(frameHeight), pictureX_(pictureX), pictureY_(pictureY),
      pictureWidth_(pictureWidth), pictureHeight_(pictureHeight), thumbWidth_(thumbWidth), thumbHeight_(thumbHeight)
{
}

ContactSheet::ContactSheet(int frameWidth, int frameHeight)
    : ContactSheet(frameWidth, frameHeight, 0, 0, frameWidth, frameHeight, frameWidth / Shrink, frameHeight / Shrink)
{
}

// Each thumbnail pixel is the average of the picture's area under it, partial pixels weighted by how
// much of them it covers. Counted in units of 1/thumbWidth of a picture pixel across (and likewise
// down), so everything stays in whole numbers; a whole-number shrink is the plain block average.
void ContactSheet::add(const uint8_t* rgb, double seconds)
{
    Thumb thumb{std::vector<uint8_t>(size_t(thumbWidth_) * size_t(thumbHeight_) * 3), seconds};
    const int64_t area = int64_t(pictureWidth_) * pictureHeight_;
    auto overlap = [](int64_t a0, int64_t a1, int64_t b0, int64_t b1) { return std::max<int64_t>(0, std::min(a1, b1) - std::max(a0, b0)); };
    for (int ty = 0; ty < thumbHeight_; ++ty) {
        const int64_t top = int64_t(ty) * pictureHeight_, bottom = top + pictureHeight_;   // in 1/thumbHeight units
        const int y0 = int(top / thumbHeight_), y1 = int((bottom + thumbHeight_ - 1) / thumbHeight_);
        for (int tx = 0; tx < thumbWidth_; ++tx) {
            const int64_t left = int64_t(tx) * pictureWidth_, right = left + pictureWidth_;
            const int x0 = int(left / thumbWidth_), x1 = int((right + thumbWidth_ - 1) / thumbWidth_);
            uint64_t sum[3] = {0, 0, 0};
            for (int y = y0; y < y1; ++y) {
                const int64_t wy = overlap(top, bottom, int64_t(y) * thumbHeight_, int64_t(y + 1) * thumbHeight_);
                const uint8_t* row = &rgb[(size_t(pictureY_ + y) * size_t(frameWidth_) + size_t(pictureX_)) * 3];
                for (int x = x0; x < x1; ++x) {
                    const uint64_t w = uint64_t(wy * overlap(left, right, int64_t(x) * thumbWidth_, int64_t(x + 1) * thumbWidth_));
                    for (int c = 0; c < 3; ++c) sum[c] += w * row[size_t(x) * 3 + size_t(c)];
                }
            }
            for (int c = 0; c < 3; ++c)
                thumb.rgb[(size_t(ty) * size_t(thumbWidth_) + size_t(tx)) * 3 + size_t(c)] =
                    uint8_t((sum[c] + uint64_t(area) / 2) / uint64_t(area));
        }
    }
    thumbs_.push_back(std::move(thumb));
}

void ContactSheet::compose(std::vector<uint8_t>& rgb, int& width, int& height) const
{
    const int rows = (count() + Columns - 1) / Columns;
    const int labelHeight = 5 * LabelScale + 4;
    const int cellHeight = thumbHeight_ + labelHeight;
    width = Columns * thumbWidth_ + (Columns + 1) * Gap;
    height = std::max(1, rows * cellHeight + (rows + 1) * Gap);
    rgb.assign(size_t(width) * size_t(height) * 3, 24);  // dark grey, so black frames stand apart
    for (int i = 0; i < count(); ++i) {
        const int x0 = Gap + (i % Columns) * (thumbWidth_ + Gap);
        const int y0 = Gap + (i / Columns) * (cellHeight + Gap);
        for (int y = 0; y < thumbHeight_; ++y)
            std::copy_n(&thumbs_[size_t(i)].rgb[size_t(y) * size_t(thumbWidth_) * 3], size_t(thumbWidth_) * 3,
                        &rgb[(size_t(y0 + y) * size_t(width) + size_t(x0)) * 3]);
        drawLabel(rgb, width, x0, y0 + thumbHeight_ + 3, timeLabel(thumbs_[size_t(i)].seconds));
    }
}

bool ContactSheet::save(const std::string& path, std::string& error) const
{
    std::vector<uint8_t> rgb;
    int width = 0, height = 0;
    compose(rgb, width, height);
    return writeRgbPng(path, rgb.data(), width, height, 6, error);
}
