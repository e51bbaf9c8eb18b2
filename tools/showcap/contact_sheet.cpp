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

ContactSheet::ContactSheet(int frameWidth, int frameHeight)
    : frameWidth_(frameWidth), frameHeight_(frameHeight), thumbWidth_(frameWidth / Shrink),
      thumbHeight_(frameHeight / Shrink)
{
}

void ContactSheet::add(const uint8_t* rgb, double seconds)
{
    Thumb thumb{std::vector<uint8_t>(size_t(thumbWidth_) * size_t(thumbHeight_) * 3), seconds};
    for (int ty = 0; ty < thumbHeight_; ++ty)
        for (int tx = 0; tx < thumbWidth_; ++tx)
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int dy = 0; dy < Shrink; ++dy)
                    for (int dx = 0; dx < Shrink; ++dx)
                        sum += rgb[(size_t(ty * Shrink + dy) * size_t(frameWidth_) + size_t(tx * Shrink + dx)) * 3 + size_t(c)];
                thumb.rgb[(size_t(ty) * size_t(thumbWidth_) + size_t(tx)) * 3 + size_t(c)] =
                    uint8_t((sum + Shrink * Shrink / 2) / (Shrink * Shrink));
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
