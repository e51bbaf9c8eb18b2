// Cover meshes. A fragment whose texture coordinate lies in a cell reads, under linear filtering,
// texels from one before the cell's first to one past its last (u - 0.5 rounded down, and the next);
// GL_REPEAT wraps those to the far edge. A cell is therefore covered when any texel of that widened,
// wrapped range is non-zero. Outside the covered cells, the filtered alpha is exactly zero.
#include "utils/coverage.h"

#include <algorithm>
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

class MeshBuilder {
public:
    MeshBuilder(const CellGrid& grid, CoverMesh& mesh) : grid_(grid), mesh_(mesh) {}

    // The index of the grid point at (column, row), made once so shared points are one vertex.
    uint32_t gridPoint(int column, int row)
    {
        const auto key = std::make_pair(column, row);
        const auto found = indices_.find(key);
        if (found != indices_.end()) return found->second;
        const uint32_t index = add({texelS(grid_.texelX(column)), texelT(grid_.texelY(row))});
        indices_.emplace(key, index);
        return index;
    }

    uint32_t add(TexPoint p)
    {
        mesh_.points.push_back(p);
        return uint32_t(mesh_.points.size() - 1);
    }

    float texelS(double x) const { return float(x / grid_.width); }
    float texelT(double y) const { return float(y / grid_.height); }

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
    LinePoints onRow, onColumn;  // row -> columns, column -> rows
    for (const CellRect& r : rects) {
        const std::pair<int, int> corners[] = {{r.x0, r.y0}, {r.x1, r.y0}, {r.x1, r.y1}, {r.x0, r.y1}};
        for (const auto& [c, w] : corners) {
            addPoint(onRow, w, c);
            addPoint(onColumn, c, w);
        }
    }
    sortLines(onRow);
    sortLines(onColumn);

    MeshBuilder builder(grid, mesh);
    std::vector<uint32_t> ring;
    for (const CellRect& r : rects) {
        // The outline, counter-clockwise from the bottom-left corner.
        ring.clear();
        ring.push_back(builder.gridPoint(r.x0, r.y0));
        for (int c : pointsBetween(onRow, r.y0, r.x0, r.x1)) ring.push_back(builder.gridPoint(c, r.y0));
        ring.push_back(builder.gridPoint(r.x1, r.y0));
        for (int w : pointsBetween(onColumn, r.x1, r.y0, r.y1)) ring.push_back(builder.gridPoint(r.x1, w));
        ring.push_back(builder.gridPoint(r.x1, r.y1));
        const std::vector<int> top = pointsBetween(onRow, r.y1, r.x0, r.x1);
        for (auto c = top.rbegin(); c != top.rend(); ++c) ring.push_back(builder.gridPoint(*c, r.y1));
        ring.push_back(builder.gridPoint(r.x0, r.y1));
        const std::vector<int> left = pointsBetween(onColumn, r.x0, r.y0, r.y1);
        for (auto w = left.rbegin(); w != left.rend(); ++w) ring.push_back(builder.gridPoint(r.x0, *w));

        if (ring.size() == 4) {
            mesh.triangles.insert(mesh.triangles.end(), {ring[0], ring[1], ring[2], ring[0], ring[2], ring[3]});
            continue;
        }
        // A fan from the centre: no triangle is degenerate, and the outline keeps every edge point.
        const double cx = (grid.texelX(r.x0) + grid.texelX(r.x1)) / 2.0;
        const double cy = (grid.texelY(r.y0) + grid.texelY(r.y1)) / 2.0;
        const uint32_t centre = builder.add({builder.texelS(cx), builder.texelT(cy)});
        for (size_t i = 0; i < ring.size(); ++i)
            mesh.triangles.insert(mesh.triangles.end(), {centre, ring[i], ring[(i + 1) % ring.size()]});
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
