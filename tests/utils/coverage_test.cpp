// Cover meshes without GL: which cells linear filtering can reach from a lit texel (wrapping at the
// edges), and that the mesh over them covers exactly those cells with no point inside another edge.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "utils/coverage.h"

namespace {
// An 8 x 8 image with one texel lit (or none), in grid cells of 4: 2 x 2 cells.
Image oneTexel(int channels, int x, int y, uint8_t value = 200)
{
    Image image;
    image.width = image.height = 8;
    image.channels = channels;
    image.pixels.assign(size_t(8 * 8 * channels), 0);
    if (x >= 0) image.pixels[size_t((y * 8 + x) * channels + channels - 1)] = value;
    return image;
}

std::string coveredText(const CellGrid& grid)
{
    std::string text;
    for (int r = 0; r < grid.rows; ++r)
        for (int c = 0; c < grid.columns; ++c) text += grid.at(c, r) ? '#' : '.';
    return text;  // bottom row first
}

// Does triangle (a, b, c) hold point p (counter-clockwise or not)?
bool holds(TexPoint a, TexPoint b, TexPoint c, TexPoint p)
{
    auto side = [](TexPoint u, TexPoint v, TexPoint w) { return (v.s - u.s) * (w.t - u.t) - (v.t - u.t) * (w.s - u.s); };
    const float d1 = side(a, b, p), d2 = side(b, c, p), d3 = side(c, a, p);
    return !((d1 < 0 || d2 < 0 || d3 < 0) && (d1 > 0 || d2 > 0 || d3 > 0));
}

bool strictlyInside(TexPoint a, TexPoint b, TexPoint p)
{
    const float cross = (b.s - a.s) * (p.t - a.t) - (b.t - a.t) * (p.s - a.s);
    const float dot = (p.s - a.s) * (b.s - a.s) + (p.t - a.t) * (b.t - a.t);
    const float length2 = (b.s - a.s) * (b.s - a.s) + (b.t - a.t) * (b.t - a.t);
    return std::fabs(cross) < 1e-6f && dot > 1e-6f && dot < length2 - 1e-6f;
}
}  // namespace

TEST(Coverage, CellsReachedByFilteringALitTexel)
{
    struct Case {
        const char* what;
        int channels, x, y;
        const char* covered;  // cells, bottom row first
    };
    const Case cases[] = {
        {"inside the first cell",            1,  1, 1, "#..."},
        {"last texel before the next cell",  1,  3, 1, "##.."},
        {"first texel of the next cell",     1,  4, 1, "##.."},
        {"one row below the top cells",      1,  1, 3, "#.#."},
        {"left edge wraps to the right",     1,  0, 1, "##.."},
        {"corner wraps to every cell",       1,  7, 7, "####"},
        {"RGBA counts its alpha",            4,  5, 6, "...#"},
        {"nothing lit",                      1, -1, 0, "...."},
        {"RGB has no transparency",          3, -1, 0, "####"},
    };
    for (const Case& c : cases) {
        const CellGrid grid = coveredCells(oneTexel(c.channels, c.x, c.y), 4);
        EXPECT_EQ(coveredText(grid), c.covered) << c.what;
    }
    Image colourOnly = oneTexel(4, -1, 0);
    colourOnly.pixels[0] = colourOnly.pixels[1] = colourOnly.pixels[2] = 255;  // red, green, blue, no alpha
    EXPECT_EQ(coveredText(coveredCells(colourOnly, 4)), "....") << "colour with zero alpha never shows";
}

TEST(Coverage, MeshCoversExactlyTheCoveredCellsWithoutTJunctions)
{
    EXPECT_TRUE(coverMesh(oneTexel(3, -1, 0)).whole);
    const CoverMesh none = coverMesh(oneTexel(1, -1, 0));
    EXPECT_FALSE(none.whole);
    EXPECT_TRUE(none.triangles.empty());

    std::mt19937 random(12345);
    for (int pattern = 0; pattern < 20; ++pattern) {
        CellGrid grid;
        grid.width = grid.height = 40;  // 10 x 10 cells of 4 texels, about half of them covered
        grid.cellTexels = 4;
        grid.columns = grid.rows = 10;
        grid.covered.resize(100);
        int coveredCount = 0;
        for (uint8_t& cell : grid.covered) coveredCount += cell = uint8_t(random() & 1);
        const CoverMesh mesh = buildCoverMesh(grid, mergeCells(grid));
        ASSERT_FALSE(mesh.whole);
        EXPECT_NEAR(coveredShare(mesh), coveredCount / 100.0, 1e-6) << "pattern " << pattern;
        for (int r = 0; r < 10; ++r)
            for (int c = 0; c < 10; ++c) {
                // Off the centre, where no fan or diagonal edge passes.
                const TexPoint inside{(c + 0.313f) / 10, (r + 0.571f) / 10};
                int holding = 0;
                for (size_t i = 0; i < mesh.triangles.size(); i += 3)
                    holding += holds(mesh.points[mesh.triangles[i]], mesh.points[mesh.triangles[i + 1]],
                                     mesh.points[mesh.triangles[i + 2]], inside);
                EXPECT_EQ(holding, grid.at(c, r) ? 1 : 0) << "pattern " << pattern << ", cell " << c << "," << r;
            }
        for (size_t i = 0; i < mesh.triangles.size(); ++i) {
            const TexPoint a = mesh.points[mesh.triangles[i]];
            const TexPoint b = mesh.points[mesh.triangles[i % 3 == 2 ? i - 2 : i + 1]];
            for (const TexPoint& p : mesh.points)
                ASSERT_FALSE(strictlyInside(a, b, p))
                    << "pattern " << pattern << ": point (" << p.s << ", " << p.t << ") splits an edge";
        }
    }
}
