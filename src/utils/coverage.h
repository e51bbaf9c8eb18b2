// Which parts of a texture can ever show. Where linear filtering (with GL_REPEAT's wrap at the edges)
// reads only zero-alpha texels, a blended draw leaves the framebuffer as it was; the rest is covered
// by a mesh on a grid of cells, so a sprite need only fill that. Pure: made from the decoded Image.
#pragma once
#include <cstdint>
#include <vector>

#include "utils/image.h"

// Cell edge in texels; chosen by measuring fill against triangle cost on the show's images
// (bench/README.md, "Cover meshes").
constexpr int CoverCellTexels = 16;

// A mesh point in texture coordinates, (0, 0) at the image's bottom-left and (1, 1) at its top-right.
struct TexPoint {
    float s, t;
};
static_assert(sizeof(TexPoint) == 2 * sizeof(float), "packed, so a mesh's points are a GL texcoord array");

// Cells [x0, x1) x [y0, y1) of a CellGrid.
struct CellRect {
    int x0, y0, x1, y1;
};

// The cells of an image, bottom row first like its pixels; the last column and row may be narrower.
struct CellGrid {
    int width = 0, height = 0;   // texels of the image
    int cellTexels = 1;          // cell edge, texels
    int columns = 0, rows = 0;
    std::vector<uint8_t> covered;  // columns * rows: 1 where filtering may give non-zero alpha

    bool at(int column, int row) const { return covered[size_t(row) * size_t(columns) + size_t(column)] != 0; }
    int texelX(int column) const;  // texel column where cell column `column` starts (width past the last)
    int texelY(int row) const;
};

// What a sprite with this texture draws: the whole square, or triangles over the covered cells.
// Neighbouring triangles meet only at shared points (no T-junctions): a seam's pixels are drawn
// exactly once, as inside one quad.
struct CoverMesh {
    bool whole = true;                // every cell may show: draw the one quad
    std::vector<TexPoint> points;     // when not whole
    std::vector<uint32_t> triangles;  // indices into points, three per triangle; empty: nothing shows
};

// --- Coverage
CellGrid coveredCells(const Image& image, int cellTexels);  // alpha of grey/RGBA images; RGB: all covered
std::vector<CellRect> mergeCells(const CellGrid& grid);     // runs along each row, merged with equal runs above
CoverMesh buildCoverMesh(const CellGrid& grid, const std::vector<CellRect>& rects);
CoverMesh coverMesh(const Image& image, int cellTexels = CoverCellTexels);  // all three steps

// --- Measures (benchmarks, tests)
double coveredShare(const CoverMesh& mesh);  // share of the unit square the triangles cover, 0..1
