// Cover meshes. A fragment whose texture coordinate lies in a cell reads, under linear filtering,
// texels from one before the cell's first to one past its last (u - 0.5 rounded down, and the next);
// GL_REPEAT wraps those to the far edge. A cell is therefore covered when any texel of that widened,
// wrapped range is non-zero. Outside the covered cells, the filtered alpha is exactly zero.
#include "utils/coverage.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <utility>

namespace {
int wrap(int v, int n) { return ((v % n) + n) % n; }

// Which byte of a pixel is its opacity: grey images are alpha masks; RGB has none (-1).
int alphaOffset(int channels)
{
    switch (channels) {
    case 1: return 0;
    case 2: return 1;
    case 4: return 3;
    default: return -1;
    }
}

// Grid points by line, so the points lying on a rectangle's edge are found by a range search.
using LinePoints = std::map<int, std::vector<int>>;  // line coordinate -> sorted coordinates along it

void addPoint(LinePoints& lines, int line, int along) { lines[line].push_back(along); }

void sortLines(LinePoints& lines)
{
    for (auto& [line, along] : lines) {
        std::sort(along.begin(), along.end());
        along.erase(std::unique(along.begin(), along.end()), along.end());
    }
}

// Points on `line` strictly between `from` and `to`, in ascending order.
std::vector<int> pointsBetween(const LinePoints& lines, int line, int from, int to)
{
    const auto found = lines.find(line);
    if (found == lines.end()) return {};
    const std::vector<int>& along = found->second;
    return {std::upper_bound(along.begin(), along.end(), from), std::lower_bound(along.begin(), along.end(), to)};
}

// Mesh points on the cell grid, each made once so that neighbours share the very same vertex.
class GridPoints {
public:
    GridPoints(const CellGrid& grid, CoverMesh& mesh) : grid_(grid), mesh_(mesh) {}

    uint32_t at(int column, int row)
    {
        const auto [found, added] = indices_.try_emplace({column, row}, uint32_t(mesh_.points.size()));
        if (added)
            mesh_.points.push_back({float(double(grid_.texelX(column)) / grid_.width),
                                    float(double(grid_.texelY(row)) / grid_.height)});
        return found->second;
    }

private:
    const CellGrid& grid_;
    CoverMesh& mesh_;
    std::map<std::pair<int, int>, uint32_t> indices_;
};
}  // namespace

int CellGrid::texelX(int column) const { return std::min(column * cellTexels, width); }
int CellGrid::texelY(int row) const { return std::min(row * cellTexels, height); }

CellGrid coveredCells(const Image& image, int cellTexels)
{
    CellGrid grid;
    grid.width = image.width;
    grid.height = image.height;
    grid.cellTexels = std::max(1, cellTexels);
    grid.columns = (image.width + grid.cellTexels - 1) / grid.cellTexels;
    grid.rows = (image.height + grid.cellTexels - 1) / grid.cellTexels;
    const int offset = alphaOffset(image.channels);
    grid.covered.assign(size_t(grid.columns) * size_t(grid.rows), offset < 0 ? 1 : 0);
    if (offset < 0 || grid.covered.empty()) return grid;

    const int w = image.width, h = image.height;
    const size_t stride = size_t(image.channels);
    // rowHits[y][c]: texel row y has a non-zero alpha within cell column c's widened range.
    std::vector<uint8_t> rowHits(size_t(h) * size_t(grid.columns));
    std::vector<uint8_t> nonZero(static_cast<size_t>(w));
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = &image.pixels[size_t(y) * size_t(w) * stride + size_t(offset)];
        for (int x = 0; x < w; ++x) nonZero[size_t(x)] = row[size_t(x) * stride] != 0;
        for (int c = 0; c < grid.columns; ++c) {
            bool hit = false;
            for (int x = grid.texelX(c) - 1; x <= grid.texelX(c + 1) && !hit; ++x) hit = nonZero[size_t(wrap(x, w))];
            rowHits[size_t(y) * size_t(grid.columns) + size_t(c)] = hit;
        }
    }
    for (int r = 0; r < grid.rows; ++r)
        for (int c = 0; c < grid.columns; ++c) {
            bool hit = false;
            for (int y = grid.texelY(r) - 1; y <= grid.texelY(r + 1) && !hit; ++y)
                hit = rowHits[size_t(wrap(y, h)) * size_t(grid.columns) + size_t(c)];
            grid.covered[size_t(r) * size_t(grid.columns) + size_t(c)] = hit;
        }
    return grid;
}

std::vector<CellRect> mergeCells(const CellGrid& grid)
{
    std::vector<CellRect> rects;
    std::map<int, size_t> open;  // first column of a run in the row below -> its rectangle
    for (int r = 0; r < grid.rows; ++r) {
        std::map<int, size_t> next;
        for (int c = 0; c < grid.columns;) {
            if (!grid.at(c, r)) {
                ++c;
                continue;
            }
            const int first = c;
            while (c < grid.columns && grid.at(c, r)) ++c;
            const auto below = open.find(first);
            if (below != open.end() && rects[below->second].x1 == c) {
                rects[below->second].y1 = r + 1;
                next.emplace(first, below->second);
            } else {
                rects.push_back({first, r, c, r + 1});
                next.emplace(first, rects.size() - 1);
            }
        }
        open = std::move(next);
    }
    return rects;
}

CoverMesh buildCoverMesh(const CellGrid& grid, const std::vector<CellRect>& rects)
{
    CoverMesh mesh;
    const bool everything = rects.size() == 1 && rects[0].x0 == 0 && rects[0].y0 == 0 &&
                            rects[0].x1 == grid.columns && rects[0].y1 == grid.rows;
    if (everything || grid.columns == 0 || grid.rows == 0) return mesh;
    mesh.whole = false;

    // Every corner of every rectangle; a corner that lies inside another rectangle's edge must
    // become a point of that edge too, or the seam would be a T-junction.
    LinePoints onRow;  // row -> columns of corners on it
    for (const CellRect& r : rects) {
        for (int c : {r.x0, r.x1}) {
            addPoint(onRow, r.y0, c);
            addPoint(onRow, r.y1, c);
        }
    }
    sortLines(onRow);

    // Rectangles of one row never touch (a run ends at an uncovered cell), so neighbours' points can
    // only lie on a rectangle's bottom and top edges. The band between those two chains of points is
    // cut into triangles zig-zag, each spanning the band's height: no point is added or skipped.
    GridPoints points(grid, mesh);
    std::vector<uint32_t> bottom, top;
    std::vector<int> bottomX, topX;
    auto chain = [&](const CellRect& r, int row, std::vector<uint32_t>& indices, std::vector<int>& xs) {
        xs = pointsBetween(onRow, row, r.x0, r.x1);
        xs.insert(xs.begin(), r.x0);
        xs.push_back(r.x1);
        indices.clear();
        for (int c : xs) indices.push_back(points.at(c, row));
    };
    for (const CellRect& r : rects) {
        chain(r, r.y0, bottom, bottomX);
        chain(r, r.y1, top, topX);
        size_t i = 0, j = 0;
        while (i + 1 < bottom.size() || j + 1 < top.size()) {
            // Each step closes the triangle with the shorter of the two possible diagonals, which keeps
            // slivers (and their coarse texture-coordinate slopes) rare. Counter-clockwise either way.
            const bool alongBottom =
                j + 1 == top.size() ||
                (i + 1 < bottom.size() && std::abs(bottomX[i + 1] - topX[j]) <= std::abs(topX[j + 1] - bottomX[i]));
            if (alongBottom) {
                mesh.triangles.insert(mesh.triangles.end(), {bottom[i], bottom[i + 1], top[j]});
                ++i;
            } else {
                mesh.triangles.insert(mesh.triangles.end(), {bottom[i], top[j + 1], top[j]});
                ++j;
            }
        }
    }
    return mesh;
}

CoverMesh coverMesh(const Image& image, int cellTexels)
{
    const CellGrid grid = coveredCells(image, cellTexels);
    return buildCoverMesh(grid, mergeCells(grid));
}

double coveredShare(const CoverMesh& mesh)
{
    if (mesh.whole) return 1.0;
    double area = 0;
    for (size_t i = 0; i + 2 < mesh.triangles.size(); i += 3) {
        const TexPoint a = mesh.points[mesh.triangles[i]], b = mesh.points[mesh.triangles[i + 1]],
                       c = mesh.points[mesh.triangles[i + 2]];
        area += 0.5 * ((double(b.s) - a.s) * (double(c.t) - a.t) - (double(c.s) - a.s) * (double(b.t) - a.t));
    }
    return area;
}
