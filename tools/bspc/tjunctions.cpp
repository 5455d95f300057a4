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
// Positions this many units in the last place apart are one point that rounding split in two.
// Measured on the test models by the length of the map's unmatched edges beyond the scene's
// own openings: 4 left such cracks in 24 of 24 sampled models, 16 in 20, 32 in 15 (most of the
// rest are slivers too thin to keep, which no pixel shows); 1024 began to merge real points.
constexpr double WeldUlps = 32;
// Polygons whose normals are this near to parallel lie in one plane, for telling whether a
// point on an edge belongs to the surface there: planes of one model's faces meeting at an
// edge differ far more, split pieces of one face not at all.
constexpr double CoplanarCosine = 0.9999;
// Mending cuts edges, whose pieces can have further vertices inside; passes repeat until
// none do, at most this many times (a point that lies within reach of an edge but too near
// to cut it off as a triangle with area would otherwise be found again and again).
constexpr int MaxMendPasses = 8;

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
using PositionMap = std::unordered_map<Point3, Point3, PositionHash, PositionEqual>;

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

// An edge of a polygon, seen from one of its end points.
struct Incident {
    Point3 other;
    Plane plane; // the polygon's
};

struct Grid {
    double size = 1;
    double origin[3] = {0, 0, 0};
    std::unordered_map<Cell, std::vector<Point3>, CellHash> cells;
    std::unordered_map<Point3, std::vector<Incident>, PositionHash, PositionEqual> incident;

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

void CountTriangles(const BspNode& node, int64_t& count) {
    count += int64_t(node.polygons.size());
    if (node.front) CountTriangles(*node.front, count);
    if (node.back) CountTriangles(*node.back, count);
}

struct EdgePoint {
    double t;
    MapVertex vertex;
};

// Whether p, lying inside the edge a-b of a polygon in `plane`, leaves a crack there. Only a
// polygon that continues the surface across the edge does: one with an edge from p along
// the line, or one in the same plane. A surface that merely passes through the edge's line,
// as where one part of a model pierces another, touches it at points that no pixel can fall
// through; cutting the edge there would only add triangles.
bool LeavesCrack(const Grid& grid, const Point3& p, const MapVertex& a, const MapVertex& b,
                 const Plane& plane) {
    const auto found = grid.incident.find(p);
    if (found == grid.incident.end()) return true;
    const double d[3] = {double(b.x) - a.x, double(b.y) - a.y, double(b.z) - a.z};
    const double length2 = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
    for (const Incident& e : found->second) {
        const double q[3] = {double(e.other.x) - a.x, double(e.other.y) - a.y,
                             double(e.other.z) - a.z};
        const double t = (q[0] * d[0] + q[1] * d[1] + q[2] * d[2]) / length2;
        double off2 = 0;
        for (int k = 0; k < 3; ++k)
            off2 += (q[k] - t * d[k]) * (q[k] - t * d[k]);
        if (off2 <= OnEdgeDistance * OnEdgeDistance) return true;
        const double cosine = double(e.plane.a) * plane.a + double(e.plane.b) * plane.b +
                              double(e.plane.c) * plane.c;
        if (std::fabs(cosine) >= CoplanarCosine) return true;
    }
    return false;
}

// The vertices lying strictly inside edge a-b of a polygon in `plane` where they leave a
// crack, ordered from a to b, with u and v taken from the edge.
std::vector<EdgePoint> PointsOnEdge(const Grid& grid, const MapVertex& a, const MapVertex& b,
                                    const Plane& plane) {
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
                    // A point this near an end is that end, split off by rounding: cutting
                    // there would leave slivers, whose edges pass near it again.
                    const double along = t * std::sqrt(length2);
                    if (along <= OnEdgeDistance || std::sqrt(length2) - along <= OnEdgeDistance)
                        continue;
                    double off2 = 0;
                    for (int k = 0; k < 3; ++k)
                        off2 += (e[k] - t * d[k]) * (e[k] - t * d[k]);
                    if (off2 > OnEdgeDistance * OnEdgeDistance) continue;
                    if (!LeavesCrack(grid, p, a, b, plane)) continue;
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

// A vertex of a triangle's outline, with the triangle's edges it lies on (bit i: edge from
// corner i to corner i + 1).
struct OutlinePoint {
    MapVertex vertex;
    uint8_t edges;
};

// Cuts the outline along a diagonal between two points on no common edge (a diagonal between
// points of one edge would run along that edge), the most even cut first, down to triangles.
void Triangulate(const BspTriangle& parent, const std::vector<OutlinePoint>& outline,
                 std::vector<BspTriangle>& out) {
    const size_t n = outline.size();
    if (n == 3) {
        Emit(parent, outline[0].vertex, outline[1].vertex, outline[2].vertex, out);
        return;
    }
    size_t bestI = 0;
    size_t bestJ = 0;
    size_t bestSmaller = 0;
    for (size_t i = 0; i < n; ++i)
        for (size_t j = i + 2; j < n; ++j) {
            if (i == 0 && j == n - 1) continue; // neighbours
            if (outline[i].edges & outline[j].edges) continue;
            const size_t smaller = std::min(j - i, n - (j - i));
            if (smaller > bestSmaller) {
                bestSmaller = smaller;
                bestI = i;
                bestJ = j;
            }
        }
    if (bestSmaller == 0) return; // all on one line: nothing to draw
    const std::vector<OutlinePoint> first(outline.begin() + ptrdiff_t(bestI),
                                          outline.begin() + ptrdiff_t(bestJ) + 1);
    std::vector<OutlinePoint> second(outline.begin() + ptrdiff_t(bestJ), outline.end());
    second.insert(second.end(), outline.begin(), outline.begin() + ptrdiff_t(bestI) + 1);
    Triangulate(parent, first, out);
    Triangulate(parent, second, out);
}

// Which polygons of each node a pass cut: only those can have further points on their edges,
// since the points looked for stay the same.
using FreshPieces = std::unordered_map<const BspNode*, std::vector<bool>>;

int64_t MendNode(const Grid& grid, BspNode& node, BspStats& stats, FreshPieces& fresh) {
    int64_t mended = 0;
    std::vector<BspTriangle> result;
    result.reserve(node.polygons.size());
    const auto previous = fresh.find(&node);
    const std::vector<bool> check =
        previous == fresh.end() ? std::vector<bool>(node.polygons.size(), true) : previous->second;
    std::vector<bool> cut;
    cut.reserve(node.polygons.size());
    for (size_t index = 0; index < node.polygons.size(); ++index) {
        const BspTriangle& t = node.polygons[index];
        if (!check[index]) {
            result.push_back(t);
            cut.push_back(false);
            continue;
        }
        std::vector<EdgePoint> edges[3];
        int withPoints = 0;
        int lastEdge = 0;
        for (int i = 0; i < 3; ++i) {
            edges[i] = PointsOnEdge(grid, t.v[i], t.v[(i + 1) % 3], t.plane);
            if (!edges[i].empty()) {
                ++withPoints;
                lastEdge = i;
            }
        }
        if (withPoints == 0) {
            result.push_back(t);
            cut.push_back(false);
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
            // Points on several edges: the outline, every corner and point on it, is cut
            // along diagonals into as many triangles as it has corners less two.
            std::vector<OutlinePoint> outline;
            for (int i = 0; i < 3; ++i) {
                outline.push_back({t.v[i], uint8_t(1u << i | 1u << ((i + 2) % 3))});
                for (const EdgePoint& p : edges[i])
                    outline.push_back({p.vertex, uint8_t(1u << i)});
            }
            Triangulate(t, outline, result);
        }
        stats.outputTriangles += int64_t(result.size() - before) - 1;
        cut.resize(result.size(), true);
    }
    node.polygons = std::move(result);
    fresh[&node] = std::move(cut);
    if (node.front) mended += MendNode(grid, *node.front, stats, fresh);
    if (node.back) mended += MendNode(grid, *node.back, stats, fresh);
    return mended;
}

void CollectIncident(const BspNode& node, Grid& grid) {
    for (const BspTriangle& t : node.polygons)
        for (int i = 0; i < 3; ++i) {
            const MapVertex& a = t.v[i];
            const MapVertex& b = t.v[(i + 1) % 3];
            grid.incident[{a.x, a.y, a.z}].push_back({{b.x, b.y, b.z}, t.plane});
            grid.incident[{b.x, b.y, b.z}].push_back({{a.x, a.y, a.z}, t.plane});
        }
    if (node.front) CollectIncident(*node.front, grid);
    if (node.back) CollectIncident(*node.back, grid);
}

// The grid of every position the tree holds now, and the edges meeting at each.
Grid BuildGrid(const BspNode& root) {
    Grid grid;
    PositionSet unique;
    CollectPositions(root, unique);
    if (unique.empty()) return grid;
    // Sorted, so that every cell lists its positions in one fixed order.
    std::vector<Point3> positions(unique.begin(), unique.end());
    std::sort(positions.begin(), positions.end(), [](const Point3& l, const Point3& r) {
        return std::tie(l.x, l.y, l.z) < std::tie(r.x, r.y, r.z);
    });
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
    CollectIncident(root, grid);
    return grid;
}

// |a - b| within WeldUlps units in the last place of the larger of the two.
bool WithinUlps(float a, float b) {
    const float larger = std::fmax(std::fabs(a), std::fabs(b));
    const double ulp = double(std::nextafter(larger, HUGE_VALF)) - larger;
    return std::fabs(double(a) - b) <= WeldUlps * ulp;
}

void MovePositions(BspNode& node, const PositionMap& moved) {
    std::vector<BspTriangle> kept;
    kept.reserve(node.polygons.size());
    for (BspTriangle& t : node.polygons) {
        for (MapVertex& v : t.v) {
            const auto found = moved.find({v.x, v.y, v.z});
            if (found == moved.end()) continue;
            v.x = found->second.x;
            v.y = found->second.y;
            v.z = found->second.z;
        }
        Plane check;
        if (TrianglePlane(t.v[0], t.v[1], t.v[2], check)) kept.push_back(t);
    }
    node.polygons = std::move(kept);
    if (node.front) MovePositions(*node.front, moved);
    if (node.back) MovePositions(*node.back, moved);
}

} // namespace

int64_t WeldNearPositions(BspNode& root, BspStats& stats) {
    PositionSet unique;
    CollectPositions(root, unique);
    std::vector<Point3> positions(unique.begin(), unique.end());
    std::sort(positions.begin(), positions.end(), [](const Point3& l, const Point3& r) {
        return std::tie(l.x, l.y, l.z) < std::tie(r.x, r.y, r.z);
    });
    // Cells a little larger than the widest tolerance anywhere in the scene, so that near
    // pairs lie in the same or neighbouring cells.
    float largest = 0.0f;
    for (const Point3& p : positions)
        largest = std::fmax(largest, std::fmax(std::fabs(p.x), std::fmax(std::fabs(p.y),
                                                                         std::fabs(p.z))));
    const double cell = 2 * WeldUlps * (double(std::nextafter(largest, HUGE_VALF)) - largest);
    if (!(cell > 0)) return 0;
    std::unordered_map<Cell, std::vector<uint32_t>, CellHash> cells;
    auto cellOf = [cell](const Point3& p) {
        return Cell{int64_t(std::floor(p.x / cell)), int64_t(std::floor(p.y / cell)),
                    int64_t(std::floor(p.z / cell))};
    };
    for (uint32_t i = 0; i < positions.size(); ++i)
        cells[cellOf(positions[i])].push_back(i);
    // Each position moves onto the first (in sorted order) of the near ones found before it.
    PositionMap moved;
    std::vector<uint32_t> target(positions.size());
    for (uint32_t i = 0; i < positions.size(); ++i) {
        target[i] = i;
        const Point3& p = positions[i];
        const Cell c = cellOf(p);
        for (int64_t dx = -1; dx <= 1; ++dx)
            for (int64_t dy = -1; dy <= 1; ++dy)
                for (int64_t dz = -1; dz <= 1; ++dz) {
                    const auto found = cells.find({c.x + dx, c.y + dy, c.z + dz});
                    if (found == cells.end()) continue;
                    for (uint32_t j : found->second) {
                        const Point3& q = positions[j];
                        if (j < i && target[j] == j && target[j] < target[i] &&
                            WithinUlps(p.x, q.x) && WithinUlps(p.y, q.y) && WithinUlps(p.z, q.z))
                            target[i] = j;
                    }
                }
        if (target[i] != i) moved.emplace(p, positions[target[i]]);
    }
    if (moved.empty()) return 0;
    MovePositions(root, moved);
    int64_t triangles = 0;
    CountTriangles(root, triangles);
    stats.outputTriangles = triangles;
    return int64_t(moved.size());
}

int64_t MendTJunctions(BspNode& root, BspStats& stats) {
    // Only the positions of the tree before mending are inserted, in every pass: a pass cuts
    // edges, and the new edges may pass through further of those positions. The centres that
    // fans add are never inserted elsewhere, which would cascade through slivers.
    const Grid grid = BuildGrid(root);
    if (grid.cells.empty()) return 0;
    int64_t mended = 0;
    FreshPieces fresh;
    for (int pass = 0; pass < MaxMendPasses; ++pass) {
        const int64_t found = MendNode(grid, root, stats, fresh);
        mended += found;
        if (found == 0) break;
    }
    return mended;
}
