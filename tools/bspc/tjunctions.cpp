#include "tools/bspc/tjunctions.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <tuple>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace {

// A vertex this near to an edge's line lies on the edge: well below PlaneEpsilon, well
// above the rounding of split vertices.
constexpr double OnEdgeDistance = PlaneEpsilon / 4;
// Edges whose bounding box covers more grid cells than this are left alone; no sensible
// scene has them, and the search must stay bounded.
constexpr int64_t MaxCellsPerEdge = 1 << 20;
// The grid is this many cells along the scene's longest side.
constexpr double GridCellsPerSide = 256;

// Vertex positions compare as floats.
bool SamePosition(const Point3& p, const Point3& q) {
    return p.x == q.x && p.y == q.y && p.z == q.z;
}

struct PositionHash {
    size_t operator()(const Point3& p) const {
        uint64_t h = std::bit_cast<uint32_t>(p.x);
        h = h * 0x9E3779B97F4A7C15ull ^ std::bit_cast<uint32_t>(p.y);
        h = h * 0x9E3779B97F4A7C15ull ^ std::bit_cast<uint32_t>(p.z);
        return size_t(h * 0x9E3779B97F4A7C15ull);
    }
};

struct PositionEqual {
    bool operator()(const Point3& p, const Point3& q) const { return SamePosition(p, q); }
};

using PositionSet = std::unordered_set<Point3, PositionHash, PositionEqual>;

struct Cell {
    int64_t x, y, z;
    bool operator==(const Cell& o) const { return x == o.x && y == o.y && z == o.z; }
};

struct CellHash {
    size_t operator()(const Cell& c) const {
        return size_t((uint64_t(c.x) * 73856093u) ^ (uint64_t(c.y) * 19349663u) ^
                      (uint64_t(c.z) * 83492791u));
    }
};

struct Grid {
    double size = 1;
    double origin[3] = {0, 0, 0};
    std::unordered_map<Cell, std::vector<Point3>, CellHash> cells;

    int64_t Index(double v, int axis) const {
        return int64_t(std::floor((v - origin[axis]) / size));
    }
};

void CollectPositions(const BspNode& node, PositionSet& out) {
    for (const BspTriangle& t : node.polygons)
        for (const MapVertex& v : t.v)
            out.insert({v.x, v.y, v.z});
    if (node.front) CollectPositions(*node.front, out);
    if (node.back) CollectPositions(*node.back, out);
}

struct EdgePoint {
    double t;
    MapVertex vertex;
};

// The vertices lying strictly inside edge a-b, ordered from a to b, with u and v taken
// from the edge.
std::vector<EdgePoint> PointsOnEdge(const Grid& grid, const MapVertex& a, const MapVertex& b) {
    std::vector<EdgePoint> points;
    const double d[3] = {double(b.x) - a.x, double(b.y) - a.y, double(b.z) - a.z};
    const double length2 = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
    if (!(length2 > 0)) return points;
    const double lo[3] = {std::fmin(a.x, b.x) - OnEdgeDistance,
                          std::fmin(a.y, b.y) - OnEdgeDistance,
                          std::fmin(a.z, b.z) - OnEdgeDistance};
    const double hi[3] = {std::fmax(a.x, b.x) + OnEdgeDistance,
                          std::fmax(a.y, b.y) + OnEdgeDistance,
                          std::fmax(a.z, b.z) + OnEdgeDistance};
    int64_t first[3], last[3];
    int64_t cells = 1;
    for (int k = 0; k < 3; ++k) {
        first[k] = grid.Index(lo[k], k);
        last[k] = grid.Index(hi[k], k);
        cells *= last[k] - first[k] + 1;
    }
    if (cells > MaxCellsPerEdge) return points;
    const Point3 pa = {a.x, a.y, a.z};
    const Point3 pb = {b.x, b.y, b.z};
    for (int64_t x = first[0]; x <= last[0]; ++x)
        for (int64_t y = first[1]; y <= last[1]; ++y)
            for (int64_t z = first[2]; z <= last[2]; ++z) {
                const auto found = grid.cells.find({x, y, z});
                if (found == grid.cells.end()) continue;
                for (const Point3& p : found->second) {
                    if (SamePosition(p, pa) || SamePosition(p, pb)) continue;
                    const double e[3] = {double(p.x) - a.x, double(p.y) - a.y, double(p.z) - a.z};
                    const double t = (e[0] * d[0] + e[1] * d[1] + e[2] * d[2]) / length2;
                    if (t <= 0 || t >= 1) continue;
                    double off2 = 0;
                    for (int k = 0; k < 3; ++k)
                        off2 += (e[k] - t * d[k]) * (e[k] - t * d[k]);
                    if (off2 > OnEdgeDistance * OnEdgeDistance) continue;
                    const float u = float(double(a.u) + t * (double(b.u) - a.u));
                    const float v = float(double(a.v) + t * (double(b.v) - a.v));
                    points.push_back({t, {p.x, p.y, p.z, u, v}});
                }
            }
    // Cells are visited in a fixed order, but ties in t need one too for equal output.
    std::sort(points.begin(), points.end(), [](const EdgePoint& l, const EdgePoint& r) {
        return std::tie(l.t, l.vertex.x, l.vertex.y, l.vertex.z) <
               std::tie(r.t, r.vertex.x, r.vertex.y, r.vertex.z);
    });
    return points;
}

void Emit(const BspTriangle& parent, const MapVertex& a, const MapVertex& b, const MapVertex& c,
          std::vector<BspTriangle>& out) {
    BspTriangle t = parent;
    t.v[0] = a;
    t.v[1] = b;
    t.v[2] = c;
    Plane check;
    if (TrianglePlane(a, b, c, check)) out.push_back(t);
}

int64_t MendNode(const Grid& grid, BspNode& node, BspStats& stats) {
    int64_t mended = 0;
    std::vector<BspTriangle> result;
    result.reserve(node.polygons.size());
    for (const BspTriangle& t : node.polygons) {
        std::vector<EdgePoint> edges[3];
        int withPoints = 0;
        int lastEdge = 0;
        for (int i = 0; i < 3; ++i) {
            edges[i] = PointsOnEdge(grid, t.v[i], t.v[(i + 1) % 3]);
            if (!edges[i].empty()) {
                ++withPoints;
                lastEdge = i;
            }
        }
        if (withPoints == 0) {
            result.push_back(t);
            continue;
        }
        ++mended;
        const size_t before = result.size();
        if (withPoints == 1) {
            // Fan from the corner opposite the edge: its pieces keep the edge's points.
            const MapVertex& apex = t.v[(lastEdge + 2) % 3];
            std::vector<MapVertex> chain = {t.v[lastEdge]};
            for (const EdgePoint& p : edges[lastEdge])
                chain.push_back(p.vertex);
            chain.push_back(t.v[(lastEdge + 1) % 3]);
            for (size_t k = 0; k + 1 < chain.size(); ++k)
                Emit(t, apex, chain[k], chain[k + 1], result);
        } else {
            // Points on several edges: fan from the centre, which lies strictly inside.
            std::vector<MapVertex> loop;
            for (int i = 0; i < 3; ++i) {
                loop.push_back(t.v[i]);
                for (const EdgePoint& p : edges[i])
                    loop.push_back(p.vertex);
            }
            MapVertex centre;
            auto mean = [&](float MapVertex::*f) {
                return float((double(t.v[0].*f) + double(t.v[1].*f) + double(t.v[2].*f)) / 3);
            };
            centre = {mean(&MapVertex::x), mean(&MapVertex::y), mean(&MapVertex::z),
                      mean(&MapVertex::u), mean(&MapVertex::v)};
            for (size_t k = 0; k < loop.size(); ++k)
                Emit(t, centre, loop[k], loop[(k + 1) % loop.size()], result);
        }
        stats.outputTriangles += int64_t(result.size() - before) - 1;
    }
    node.polygons = std::move(result);
    if (node.front) mended += MendNode(grid, *node.front, stats);
    if (node.back) mended += MendNode(grid, *node.back, stats);
    return mended;
}

} // namespace

int64_t MendTJunctions(BspNode& root, BspStats& stats) {
    PositionSet unique;
    CollectPositions(root, unique);
    if (unique.empty()) return 0;
    // Sorted, so that every cell lists its positions in one fixed order.
    std::vector<Point3> positions(unique.begin(), unique.end());
    std::sort(positions.begin(), positions.end(), [](const Point3& l, const Point3& r) {
        return std::tie(l.x, l.y, l.z) < std::tie(r.x, r.y, r.z);
    });
    Grid grid;
    double lo[3] = {positions[0].x, positions[0].y, positions[0].z};
    double hi[3] = {lo[0], lo[1], lo[2]};
    for (const Point3& p : positions) {
        const double c[3] = {p.x, p.y, p.z};
        for (int k = 0; k < 3; ++k) {
            lo[k] = std::fmin(lo[k], c[k]);
            hi[k] = std::fmax(hi[k], c[k]);
        }
    }
    const double extent = std::fmax(hi[0] - lo[0], std::fmax(hi[1] - lo[1], hi[2] - lo[2]));
    grid.size = std::fmax(extent / GridCellsPerSide, OnEdgeDistance * 4);
    for (int k = 0; k < 3; ++k)
        grid.origin[k] = lo[k];
    for (const Point3& p : positions)
        grid.cells[{grid.Index(p.x, 0), grid.Index(p.y, 1), grid.Index(p.z, 2)}].push_back(p);
    return MendNode(grid, root, stats);
}
